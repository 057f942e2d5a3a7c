#include "kxcommon/UILayout.h"

#include "kxcommon/UI.h"
#include "kxcommon/UIWindows.h"

#include "../internal/kxplatform.h"
#include "../internal/NameCompare.h"

#include <cstring>

namespace {

constexpr int kKeep = -1;
// A dialog's height once it no longer has to fit the screen: room to scroll its page.
constexpr int kPageHeight = 640;
// Space kept free for the dialog's vertical scroll bar.
constexpr int kScrollBarRoom = 4;
constexpr int kListBoxLeft = 2;

int Pick(int value, int current) { return value == kKeep ? current : value; }

HWND Item(HWND dialog, int id) { return dialog ? ::GetDlgItem(dialog, id) : nullptr; }

template <typename Rule>
void Apply(HWND dialog, HWND control, const Rule& rule) {
    if (dialog == nullptr || control == nullptr) return;
    RECT current{}, client{};
    GetRelativeRect(dialog, control, current);
    ::GetClientRect(dialog, &client);
    UI_MoveWindow(control, rule(current, client), FALSE);
}

void Resize(HWND hwnd, int width, int height) {
    ::SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ClientWidth(HWND hwnd) {
    RECT r{};
    ::GetClientRect(hwnd, &r);
    return r.right - r.left;
}

}  // namespace

LONG ChangeToPortrait() {
    DEVMODEW mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_DEFAULT;
    // The device reads its orientation from dmOrientation as well.
    mode.dmOrientation = DMORIENT_PORTRAIT;
    return ::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
}

void GetRelativeRect(HWND dialog, HWND control, RECT& rect) {
    rect = RECT{0, 0, 0, 0};
    if (dialog == nullptr || control == nullptr) return;
    RECT r{};
    if (!::GetClientRect(control, &r)) return;
    ::MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&r), 2);
    rect = r;
}

void GetRelativeRect(HWND dialog, int controlId, RECT& rect) {
    GetRelativeRect(dialog, Item(dialog, controlId), rect);
}

GeneralAdjustCtlLayout::GeneralAdjustCtlLayout(int x, int y, int width, int height)
    : m_x(x), m_y(y), m_width(width), m_height(height) {}

RECT GeneralAdjustCtlLayout::operator()(const RECT& current, const RECT&) const {
    RECT r;
    r.left = Pick(m_x, current.left);
    r.top = Pick(m_y, current.top);
    r.right = r.left + Pick(m_width, current.right - current.left);
    r.bottom = r.top + Pick(m_height, current.bottom - current.top);
    return r;
}

GeneralAdjustCtlLayoutByPos::GeneralAdjustCtlLayoutByPos(int left, int top, int right, int bottom)
    : m_left(left), m_top(top), m_right(right), m_bottom(bottom) {}

RECT GeneralAdjustCtlLayoutByPos::operator()(const RECT& current, const RECT&) const {
    return RECT{Pick(m_left, current.left), Pick(m_top, current.top), Pick(m_right, current.right),
                Pick(m_bottom, current.bottom)};
}

void LayoutCtl(HWND dialog, HWND control, int x, int y, int width, int height) {
    Apply(dialog, control, GeneralAdjustCtlLayout(x, y, width, height));
}

void LayoutCtl(HWND dialog, int controlId, int x, int y, int width, int height) {
    LayoutCtl(dialog, Item(dialog, controlId), x, y, width, height);
}

void LayoutCtlByPos(HWND dialog, HWND control, int left, int top, int right, int bottom) {
    Apply(dialog, control, GeneralAdjustCtlLayoutByPos(left, top, right, bottom));
}

void LayoutCtlByPos(HWND dialog, int controlId, int left, int top, int right, int bottom) {
    LayoutCtlByPos(dialog, Item(dialog, controlId), left, top, right, bottom);
}

void LayoutSpin(HWND dialog, HWND list, HWND spin, int x, int y, int width, int height) {
    if (dialog == nullptr || list == nullptr || spin == nullptr) return;
    const int spinWidth = ClientWidth(spin);
    LayoutCtl(dialog, list, x, y, width - spinWidth, height);
    LayoutCtl(dialog, spin, x + width - spinWidth, y, kKeep, height);
}

void LayoutSpin(HWND dialog, int listId, int spinId, int x, int y, int width, int height) {
    LayoutSpin(dialog, Item(dialog, listId), Item(dialog, spinId), x, y, width, height);
}

void ChangeSpinWidth(HWND dialog, HWND list, HWND spin, int x, int width) {
    if (dialog == nullptr || list == nullptr || spin == nullptr) return;
    RECT spinRect{};
    GetRelativeRect(dialog, spin, spinRect);
    const int spinWidth = spinRect.right - spinRect.left;
    LayoutCtl(dialog, list, x, spinRect.top, width - spinWidth, spinRect.bottom - spinRect.top);
    int spinLeft = x + width - spinWidth;
    // The spin control covers a bordered list's right border.
    if (::GetWindowLongW(list, GWL_STYLE) & WS_BORDER) spinLeft -= 1;
    ::SetWindowPos(spin, nullptr, spinLeft, spinRect.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ChangeSpinWidth(HWND dialog, int listId, int spinId, int x, int width) {
    ChangeSpinWidth(dialog, Item(dialog, listId), Item(dialog, spinId), x, width);
}

RelayoutChildCtrls::RelayoutChildCtrls(HWND dialog, int width, bool scrollBar)
    : m_dialog(dialog),
      m_listBox(nullptr),
      m_listLeft(kListBoxLeft),
      m_width(scrollBar ? width - kScrollBarRoom : width) {}

bool RelayoutChildCtrls::operator()(HWND child) {
    wchar_t cls[64] = L"";
    if (child == nullptr || ::GetClassNameW(child, cls, 64) == 0) return false;
    if (kx::SameIgnoringCase(cls, UPDOWN_CLASSW) && m_listBox != nullptr) {
        ChangeSpinWidth(m_dialog, m_listBox, child, m_listLeft, m_width);
    } else if (!kx::SameIgnoringCase(cls, L"listbox")) {
        RECT r{};
        ::GetWindowRect(child, &r);
        Resize(child, m_width, r.bottom - r.top);
    } else {
        // Sized together with its spin control, which follows it.
        m_listBox = child;
    }
    return false;
}

AvoidScrollBar::AvoidScrollBar(HWND dialog) : m_dialog(dialog) {
    if (m_dialog == nullptr) return;
    RECT work{}, bar{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND menuBar = SHFindMenuBar(m_dialog);
    if (menuBar != nullptr) ::GetWindowRect(menuBar, &bar);
    Resize(m_dialog, work.right - work.left, (work.bottom - work.top) - (bar.bottom - bar.top));
}

AvoidScrollBar::~AvoidScrollBar() {
    if (m_dialog == nullptr) return;
    Resize(m_dialog, ClientWidth(m_dialog), kPageHeight);
}
