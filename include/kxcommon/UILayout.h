// Layout of dialog controls for portrait and landscape screens. Rectangles are in the dialog's
// client coordinates; -1 in a layout value keeps the control's current one. A control's
// current rectangle is its client rectangle placed in the dialog, so a control with a border
// laid out with every value -1 shrinks to its client area.
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Turns the display back to portrait (orientation 0): ChangeDisplaySettingsEx's result.
KXCOMMON_API LONG ChangeToPortrait();

// The control's client rectangle in the dialog's client coordinates; all zero when the dialog
// or the control is null.
KXCOMMON_API void GetRelativeRect(HWND dialog, HWND control, RECT& rect);
KXCOMMON_API void GetRelativeRect(HWND dialog, int controlId, RECT& rect);

// New origin and size.
class KXCOMMON_API GeneralAdjustCtlLayout {
public:
    GeneralAdjustCtlLayout(int x, int y, int width, int height);
    RECT operator()(const RECT& current, const RECT& dialogClient) const;

private:
    int m_x, m_y, m_width, m_height;
};

// New edges.
class KXCOMMON_API GeneralAdjustCtlLayoutByPos {
public:
    GeneralAdjustCtlLayoutByPos(int left, int top, int right, int bottom);
    RECT operator()(const RECT& current, const RECT& dialogClient) const;

private:
    int m_left, m_top, m_right, m_bottom;
};

// Moves the control (without repainting) to what the rule gives for its current rectangle.
KXCOMMON_API void LayoutCtl(HWND dialog, HWND control, int x, int y, int width, int height);
KXCOMMON_API void LayoutCtl(HWND dialog, int controlId, int x, int y, int width, int height);
KXCOMMON_API void LayoutCtlByPos(HWND dialog, HWND control, int left, int top, int right,
                                 int bottom);
KXCOMMON_API void LayoutCtlByPos(HWND dialog, int controlId, int left, int top, int right,
                                 int bottom);

// A list and its spin control side by side in the box (x, y, width, height): the spin control
// keeps its width and sits at the list's right edge.
KXCOMMON_API void LayoutSpin(HWND dialog, HWND list, HWND spin, int x, int y, int width,
                             int height);
KXCOMMON_API void LayoutSpin(HWND dialog, int listId, int spinId, int x, int y, int width,
                             int height);
// Refits a list and its spin control to start at x and span `width`, on the spin's row and at
// its height; the spin control moves one pixel left onto a bordered list's edge.
KXCOMMON_API void ChangeSpinWidth(HWND dialog, HWND list, HWND spin, int x, int width);
KXCOMMON_API void ChangeSpinWidth(HWND dialog, int listId, int spinId, int x, int width);

// Fits a dialog's children, visited in order, to one width: a list box is fitted together with
// the spin control that follows it (from the left edge 2), every other control keeps its place
// and height. With `scrollBar` the width is 4 pixels less, room for the dialog's scroll bar.
class KXCOMMON_API RelayoutChildCtrls {
public:
    RelayoutChildCtrls(HWND dialog, int width, bool scrollBar);
    // Refits one child; always false.
    bool operator()(HWND child);

private:
    HWND m_dialog;
    HWND m_listBox;
    int m_listLeft;
    int m_width;
};

// Sizes the dialog, for the guard's lifetime, to the work area's width and the work area's
// height less its menu bar, keeping its position; afterwards it takes its client width and a
// height of 640 pixels.
class KXCOMMON_API AvoidScrollBar {
public:
    explicit AvoidScrollBar(HWND dialog);
    ~AvoidScrollBar();
    AvoidScrollBar(const AvoidScrollBar&) = delete;
    AvoidScrollBar& operator=(const AvoidScrollBar&) = delete;

private:
    HWND m_dialog;
};
