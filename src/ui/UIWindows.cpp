#include "kxcommon/UIWindows.h"

#include "kxcommon/UI.h"

#include "../internal/PlatformBuffer.h"
#include "../internal/ScopedHandle.h"
#include "../internal/kxplatform.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr int kTextChars = 1024;
constexpr wchar_t kDialogClass[] = L"Dialog";
constexpr wchar_t kTray[] = L"tray";
// What the task bar is asked when a dialog's title changed.
constexpr WPARAM kTrayTitleChanged = 4;

// The window device context for a scope.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(hwnd ? ::GetDC(hwnd) : nullptr) {}
    ~WindowDC() {
        if (dc_ != nullptr) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

void Command(HWND hwnd, WPARAM code, bool send) {
    if (hwnd == nullptr) return;
    if (send)
        ::SendMessageW(hwnd, WM_APP, code, 0);
    else
        ::PostMessageW(hwnd, WM_APP, code, 0);
}

void EnableIf(HWND hwnd, BOOL enable) {
    if (hwnd != nullptr) ::EnableWindow(hwnd, enable);
}

int CALLBACK CountFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return 1;
}

}  // namespace

void UI_ShowWindow(HWND hwnd, int cmd) {
    ::ShowWindow(hwnd, cmd);
    HWND bar = SHFindMenuBar(hwnd);
    if (bar == nullptr) return;
    ::EnableWindow(bar, cmd == SW_SHOW);
    RECT client{}, barRect{};
    ::GetClientRect(hwnd, &client);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::GetWindowRect(bar, &barRect);
    int top = client.bottom;
    // A hidden dialog's bar goes below the client area, out of view.
    if (cmd == SW_HIDE) top += barRect.bottom - barRect.top;
    ::SetWindowPos(bar, nullptr, barRect.left, top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void UI_ShowWindow(HWND hwnd) { UI_ShowWindow(hwnd, SW_SHOW); }

void UI_HideWindow(HWND hwnd) { UI_ShowWindow(hwnd, SW_HIDE); }

BOOL UI_SetForegroundWindow(HWND hwnd) {
    // The lowest bit asks for the window's last active pop-up.
    return ::SetForegroundWindow(
        reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(hwnd) | static_cast<ULONG_PTR>(1)));
}

HWND UI_FindWindow(UINT titleId) {
    wchar_t title[kTextChars];
    UI_LoadString(titleId, title, kTextChars);
    return ::FindWindowW(kDialogClass, title);
}

void UI_ActiveWindow(HWND hwnd, bool send) { Command(hwnd, UI_CMD_ACTIVATE, send); }

void UI_DestroyWindow(HWND hwnd, bool send) { Command(hwnd, UI_CMD_CLOSE, send); }

void UI_DestroyWindow(UINT titleId, bool) {
    if (titleId == 0) return;
    Command(UI_FindWindow(titleId), UI_CMD_CLOSE, false);
}

void UI_SetWindowText(HWND hwnd, UINT textId) {
    if (hwnd == nullptr) return;
    wchar_t text[kTextChars];
    UI_LoadString(textId, text, kTextChars);
    ::SetWindowTextW(hwnd, text);
}

void UI_SetDlgTitle(HWND hwnd, LPCWSTR title) {
    ::SetWindowTextW(hwnd, title);
    HWND tray = ::FindWindowW(kTray, kTray);
    if (tray != nullptr) ::PostMessageW(tray, WM_USER, kTrayTitleChanged, 0);
}

void UI_SetDlgTitle(HWND hwnd, UINT titleId) {
    if (hwnd == nullptr || titleId == 0) return;
    wchar_t title[kTextChars];
    UI_LoadString(titleId, title, kTextChars);
    UI_SetDlgTitle(hwnd, title);
}

void UI_SetDlgItemText(HWND dialog, int controlId, UINT textId) {
    UI_SetWindowText(dialog ? ::GetDlgItem(dialog, controlId) : nullptr, textId);
}

BOOL UI_MoveWindow(HWND hwnd, const RECT& rect, BOOL repaint) {
    return ::MoveWindow(hwnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                        repaint);
}

int UI_GetTextSize(HDC dc, HFONT font, LPCWSTR text, RECT& rect, UINT format) {
    if (dc == nullptr || text == nullptr) return 0;
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    RECT extent = rect;
    const int height = ::DrawTextW(dc, text, -1, &extent, format | DT_CALCRECT);
    if (previous != nullptr) ::SelectObject(dc, previous);
    if (height != 0) rect = extent;
    return height;
}

int UI_GetTextSize(HWND hwnd, HFONT font, LPCWSTR text, RECT& rect, UINT format) {
    WindowDC dc(hwnd);
    return UI_GetTextSize(dc.Get(), font, text, rect, format);
}

void EnablePair(HWND control, BOOL enable, bool previous) {
    if (control == nullptr) return;
    ::EnableWindow(control, enable);
    EnableIf(::GetWindow(control, previous ? GW_HWNDPREV : GW_HWNDNEXT), enable);
}

void EnableSPLB(HWND dialog, int controlId, BOOL enable) {
    if (dialog == nullptr) return;
    EnablePair(::GetDlgItem(dialog, controlId), enable, false);
}

void EnableSPLBAndStatic(HWND dialog, int controlId, BOOL enable) {
    if (dialog == nullptr) return;
    HWND control = ::GetDlgItem(dialog, controlId);
    if (control == nullptr) return;
    EnablePair(control, enable, false);
    EnableIf(::GetWindow(control, GW_HWNDPREV), enable);
}

BOOL BmpBlt(HDC target, int x, int y, HDC memoryDC, HBITMAP bitmap) {
    if (target == nullptr || memoryDC == nullptr || bitmap == nullptr) return FALSE;
    BITMAP info{};
    if (::GetObjectW(bitmap, sizeof info, &info) == 0) return FALSE;
    HGDIOBJ previous = ::SelectObject(memoryDC, bitmap);
    if (previous == nullptr || previous == HGDI_ERROR) return FALSE;
    const BOOL copied =
        ::BitBlt(target, x, y, info.bmWidth, info.bmHeight, memoryDC, 0, 0, SRCCOPY);
    ::SelectObject(memoryDC, previous);
    return copied;
}

HANDLE ActivatePreviousInstance(UINT mainTitleId, UINT closeTitleId, LPCWSTR commandLine,
                                UINT secondTitleId) {
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    const wchar_t* name = slash ? slash + 1 : path;

    kx::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name));
    if (!mutex) return nullptr;
    // The first instance keeps the mutex for its lifetime.
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return mutex.Release();

    HWND dialog = UI_FindWindow(mainTitleId);
    if (dialog == nullptr && secondTitleId != 0) dialog = UI_FindWindow(secondTitleId);
    if (dialog == nullptr) return nullptr;
    UI_ActiveWindow(dialog, true);
    if (commandLine != nullptr && commandLine[0] != L'\0') {
        // The running instance is handed a copy of the command line, never the caller's own
        // text; without memory for the copy it is only activated.
        const size_t bytes = std::wcslen(commandLine) * sizeof(wchar_t);
        const kx::PlatformBuffer copy(bytes <= MAXDWORD ? bytes : 0);
        if (copy && copy.size() == bytes) {
            std::memcpy(copy.data(), commandLine, bytes);
            COPYDATASTRUCT data{};
            data.dwData = UI_COPYDATA_CMDLINE;
            data.cbData = static_cast<DWORD>(bytes);
            data.lpData = copy.data();
            ::SendMessageW(dialog, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        }
    }
    UI_DestroyWindow(closeTitleId, true);
    return nullptr;
}

void UI_TraceFont(HWND hwnd) {
    WindowDC dc(hwnd);
    if (dc.Get() == nullptr) return;
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    int count = 0;
    ::EnumFontFamiliesExW(dc.Get(), &all, CountFont, reinterpret_cast<LPARAM>(&count), 0);
}

WaitCursor::WaitCursor(HCURSOR restore) : m_restore(restore ? restore : ::GetCursor()) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

WaitCursor::~WaitCursor() { ::SetCursor(m_restore); }

SDC::SDC(HDC dc) : m_dc(dc && ::SaveDC(dc) != 0 ? dc : nullptr) {}

SDC::~SDC() {
    if (m_dc != nullptr) ::RestoreDC(m_dc, -1);
    m_dc = nullptr;
}
