// Windows of the product's dialogs: showing and hiding a dialog with its menu bar, finding and
// commanding dialogs by their titles, handing a second start of a program to the first, list
// views, enabling a control with its neighbours, text measurement, bitmaps, and two guards.
//
// The product's dialogs have the window class "Dialog" and accept the command message WM_APP
// with a code in wParam (UI_CMD_ACTIVATE, UI_CMD_CLOSE) and 0 in lParam. Titles and other texts
// given by identifier come from the resource module (UI_LoadString), at most 1023 characters.
#pragma once

#include "KxExport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#define UI_CMD_ACTIVATE 1
#define UI_CMD_CLOSE 2
// dwData of the WM_COPYDATA that carries a second start's command line to the first.
#define UI_COPYDATA_CMDLINE 0x5678

// ShowWindow with `cmd`, then the menu bar follows: enabled and placed right under the client
// area for SW_SHOW; disabled otherwise, and for SW_HIDE moved one bar height further down, out
// of view.
KXCOMMON_API void UI_ShowWindow(HWND hwnd, int cmd);
KXCOMMON_API void UI_ShowWindow(HWND hwnd);  // SW_SHOW
KXCOMMON_API void UI_HideWindow(HWND hwnd);  // SW_HIDE
// Brings the window's last active pop-up (the window itself when it has none) to the front.
KXCOMMON_API BOOL UI_SetForegroundWindow(HWND hwnd);

// The dialog whose title is the text `titleId`, or null.
KXCOMMON_API HWND UI_FindWindow(UINT titleId);
// The command message with UI_CMD_ACTIVATE / UI_CMD_CLOSE, sent (waiting for the dialog) when
// `send` is true, else posted.
KXCOMMON_API void UI_ActiveWindow(HWND hwnd, bool send);
KXCOMMON_API void UI_DestroyWindow(HWND hwnd, bool send);
// Posts UI_CMD_CLOSE to the dialog titled `titleId`, if there is one (`send` is not used).
KXCOMMON_API void UI_DestroyWindow(UINT titleId, bool send);

// Sets the window's text to the text `textId`; nothing for a null window.
KXCOMMON_API void UI_SetWindowText(HWND hwnd, UINT textId);
// Sets the dialog's title and asks the device's task bar (class and name "tray") to show it.
KXCOMMON_API void UI_SetDlgTitle(HWND hwnd, LPCWSTR title);
// The same with the text `titleId`; nothing when the window or the identifier is 0.
KXCOMMON_API void UI_SetDlgTitle(HWND hwnd, UINT titleId);
KXCOMMON_API void UI_SetDlgItemText(HWND dialog, int controlId, UINT textId);
// MoveWindow to `rect` (edges in the parent's client coordinates).
KXCOMMON_API BOOL UI_MoveWindow(HWND hwnd, const RECT& rect, BOOL repaint);

// Measures `text` drawn with `font` (null: the context's current font) and DrawTextW `format`:
// `rect` gives the available width on entry and receives the text's extent. The context keeps
// its font. Returns the text's height, 0 on failure (rect unchanged).
KXCOMMON_API int UI_GetTextSize(HDC dc, HFONT font, LPCWSTR text, RECT& rect, UINT format);
KXCOMMON_API int UI_GetTextSize(HWND hwnd, HFONT font, LPCWSTR text, RECT& rect, UINT format);

// Enables or disables `control` and its previous sibling (`previous` true) or its next one.
KXCOMMON_API void EnablePair(HWND control, BOOL enable, bool previous);
// A list box and the spin control after it.
KXCOMMON_API void EnableSPLB(HWND dialog, int controlId, BOOL enable);
// A list box, the spin control after it and the label before it.
KXCOMMON_API void EnableSPLBAndStatic(HWND dialog, int controlId, BOOL enable);

// Copies the whole bitmap to (x, y) of `target` through `memoryDC`, which keeps the object it
// had selected. FALSE when a handle is null or the copy fails.
KXCOMMON_API BOOL BmpBlt(HDC target, int x, int y, HDC memoryDC, HBITMAP bitmap);

// Single-instance start. The first instance of an executable gets the instance mutex (named by
// the executable's file name), which it keeps open for its lifetime. A later start finds the
// first one's dialog by `mainTitleId` (else by `secondTitleId` when nonzero), activates it,
// hands it a non-empty `commandLine` by WM_COPYDATA (dwData UI_COPYDATA_CMDLINE, the text
// without its terminator), closes the dialog titled `closeTitleId` and returns null; it also
// returns null when no such dialog is found.
KXCOMMON_API HANDLE ActivatePreviousInstance(UINT mainTitleId, UINT closeTitleId,
                                             LPCWSTR commandLine, UINT secondTitleId = 0);

// Enumerates the fonts of the window's device context; it has no visible effect.
KXCOMMON_API void UI_TraceFont(HWND hwnd);

// Shows the wait cursor for the object's lifetime, then `restore` (null: the cursor shown at
// construction).
class KXCOMMON_API WaitCursor {
public:
    explicit WaitCursor(HCURSOR restore = nullptr);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_restore;
};

// Saves a device context's state for the object's lifetime (nothing for a null context).
class KXCOMMON_API SDC {
public:
    explicit SDC(HDC dc);
    ~SDC();
    SDC(const SDC&) = delete;
    SDC& operator=(const SDC&) = delete;

private:
    HDC m_dc;
};

// ---- List views -------------------------------------------------------------------------------

// The item's lParam; 0 when there is no such item.
KXCOMMON_API LPARAM GetListItemLPARAM(HWND list, int item);
// Inserts a column with a text (by identifier or given), width and format (LVCFMT_*): the new
// column's index, or -1.
KXCOMMON_API int InsertListColumn(HWND list, int column, int width, UINT textId, int format);
KXCOMMON_API int InsertListColumn(HWND list, int column, int width, LPCWSTR text, int format);
// The width a single column may take for `itemCount` items: the client width, less the
// vertical scroll bar when the items do not fit one page.
KXCOMMON_API int GetListColumnWidth(HWND list, int itemCount);
KXCOMMON_API BOOL SetListColumnWidth(HWND list, int column, int width);
// The first selected item, or -1.
KXCOMMON_API int GetListSelectedItem(HWND list);
// Selects and focuses the item.
KXCOMMON_API BOOL SetListSelectedItem(HWND list, int item);
// With `deleteFlag` 1, deletes the item. Then, when items remain, selects the item now at
// `item`, or the last one when `item` is past the end. Null lists and negative items are
// ignored.
KXCOMMON_API void DelListItem(HWND list, int item, int deleteFlag);
// Adds extended list-view style bits to those the list has.
KXCOMMON_API void AddListStyle(HWND list, DWORD exStyle);
