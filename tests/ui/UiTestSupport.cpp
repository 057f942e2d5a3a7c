#include "UiTestSupport.h"

#include <wince/wince.h>

namespace kxtest {

namespace {

BoxCatcher* g_catcher = nullptr;

}  // namespace

TestDialog::TestDialog(const wchar_t* title, int width, int height) : hwnd_(nullptr) {
    HINSTANCE inst = ::GetModuleHandleW(nullptr);
    WinceRegisterDialogClass(inst);
    hwnd_ = ::CreateWindowExW(0, L"Dialog", title, WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                              nullptr, nullptr, inst, nullptr);
    if (hwnd_ == nullptr) return;
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(hwnd_, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&TestDialog::Proc));
}

TestDialog::~TestDialog() {
    if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
    PumpMessages();
}

HWND TestDialog::AddMenuBar(UINT id, DWORD flags) {
    SHMENUBARINFO info{};
    info.cbSize = sizeof info;
    info.hwndParent = hwnd_;
    info.dwFlags = flags;
    info.nToolBarId = id;
    info.hInstRes = ::GetModuleHandleW(nullptr);
    return SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
}

HWND TestDialog::AddChild(const wchar_t* cls, DWORD style, int id, int x, int y, int width,
                          int height) {
    return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, width, height, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

INT_PTR CALLBACK TestDialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TestDialog*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    switch (msg) {
    case WM_COMMAND:
        self->commands.push_back(LOWORD(wp));
        return TRUE;
    case WM_APP:
        self->appCodes.push_back(wp);
        return TRUE;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        self->copies.emplace_back(data->dwData,
                                  std::wstring(static_cast<const wchar_t*>(data->lpData),
                                               data->cbData / sizeof(wchar_t)));
        return TRUE;
    }
    }
    return FALSE;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

BoxCatcher::BoxCatcher(int answer)
    : hook_(::SetWindowsHookExW(WH_CBT, &BoxCatcher::Hook, nullptr, ::GetCurrentThreadId())),
      answer_(answer) {
    g_catcher = this;
}

BoxCatcher::~BoxCatcher() {
    if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
    g_catcher = nullptr;
}

LRESULT CALLBACK BoxCatcher::Hook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && g_catcher != nullptr) {
        HWND box = reinterpret_cast<HWND>(wp);
        wchar_t cls[32] = L"";
        ::GetClassNameW(box, cls, 32);
        if (std::wstring(cls) == L"#32770") {
            CaughtBox caught;
            wchar_t text[2048] = L"";
            ::GetWindowTextW(box, text, 2048);
            caught.title = text;
            text[0] = L'\0';
            // The message box's text control has the identifier 0xFFFF.
            ::GetDlgItemTextW(box, 0xFFFF, text, 2048);
            caught.body = text;
            caught.buttons = ::GetDlgItem(box, IDYES) != nullptr ? MB_YESNO : MB_OK;
            g_catcher->boxes_.push_back(caught);
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(g_catcher->answer_), 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

RECT ScreenClientRect(HWND hwnd) {
    RECT r{};
    ::GetClientRect(hwnd, &r);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace kxtest
