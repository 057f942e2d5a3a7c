// Real windows for the user-interface tests: dialogs of the device's dialog class that record
// what they are sent, and a catcher that answers the message boxes this thread shows.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace kxtest {

// A visible top-level window of class "Dialog", destroyed with the object.
class TestDialog {
public:
    explicit TestDialog(const wchar_t* title = L"kxtest dialog", int width = 240, int height = 240);
    ~TestDialog();
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND hwnd() const { return hwnd_; }
    // A menu bar from the test executable's resources (UiTestIds.h).
    HWND AddMenuBar(UINT id, DWORD flags = 0);
    // A child control of `cls` at (x, y, width, height) with `id`.
    HWND AddChild(const wchar_t* cls, DWORD style, int id, int x, int y, int width, int height);

    // What the dialog received: WM_COMMAND identifiers, WM_APP codes, WM_COPYDATA records.
    std::vector<int> commands;
    std::vector<WPARAM> appCodes;
    std::vector<std::pair<ULONG_PTR, std::wstring>> copies;

private:
    static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_;
};

// Dispatches the messages waiting for this thread's windows.
void PumpMessages();

struct CaughtBox {
    std::wstring title;
    std::wstring body;
    UINT buttons;  // MB_OK, MB_YESNO...: the box's style AND 0x0F, as seen by its buttons
};

// While it lives, every message box this thread shows is read and answered with `answer`.
class BoxCatcher {
public:
    explicit BoxCatcher(int answer = IDOK);
    ~BoxCatcher();
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;

    const std::vector<CaughtBox>& boxes() const { return boxes_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
    HHOOK hook_;
    int answer_;
    std::vector<CaughtBox> boxes_;
};

// The window rectangle in screen coordinates.
RECT WindowRect(HWND hwnd);
// The client rectangle in screen coordinates.
RECT ScreenClientRect(HWND hwnd);

}  // namespace kxtest
