// Window helpers on real windows: the menu bar following its dialog, dialogs found and
// commanded by title, enabling neighbours, text, bitmaps and the two guards.
#include <kxcommon/UIWindows.h>
#include <wince/wince.h>

#include "DeviceFixture.h"
#include "Strings.h"
#include "UiTestIds.h"
#include "UiTestSupport.h"

namespace {

using kxtest::TestDialog;

class WindowsTest : public kxtest::DeviceTest {};

TEST_F(WindowsTest, HideAndShowMoveTheMenuBar) {
    TestDialog dialog;
    HWND bar = dialog.AddMenuBar(IDR_TEST_MENUBAR);
    ASSERT_NE(bar, nullptr);
    const int height = kxtest::WindowRect(bar).bottom - kxtest::WindowRect(bar).top;
    ASSERT_GT(height, 0);
    const RECT client = kxtest::ScreenClientRect(dialog.hwnd());

    UI_HideWindow(dialog.hwnd());
    EXPECT_FALSE(::IsWindowVisible(dialog.hwnd()));
    EXPECT_FALSE(::IsWindowEnabled(bar));
    EXPECT_EQ(kxtest::WindowRect(bar).top, client.bottom + height);
    EXPECT_EQ(kxtest::WindowRect(bar).bottom - kxtest::WindowRect(bar).top, height);

    UI_ShowWindow(dialog.hwnd());
    EXPECT_TRUE(::IsWindowVisible(dialog.hwnd()));
    EXPECT_TRUE(::IsWindowEnabled(bar));
    EXPECT_EQ(kxtest::WindowRect(bar).top, client.bottom);

    // Any other command shows or minimises the dialog but leaves the bar disabled in place.
    UI_ShowWindow(dialog.hwnd(), SW_SHOWNA);
    EXPECT_FALSE(::IsWindowEnabled(bar));
    EXPECT_EQ(kxtest::WindowRect(bar).top, client.bottom);
}

TEST_F(WindowsTest, DialogsFoundAndCommandedByTitle) {
    EXPECT_EQ(UI_FindWindow(IDS_SCANNING_TITLE), nullptr);
    TestDialog scanning(L"Scanning");
    EXPECT_EQ(UI_FindWindow(IDS_SCANNING_TITLE), scanning.hwnd());
    EXPECT_EQ(UI_FindWindow(9999u), nullptr);

    UI_ActiveWindow(scanning.hwnd(), true);
    ASSERT_EQ(scanning.appCodes.size(), 1u);
    EXPECT_EQ(scanning.appCodes[0], static_cast<WPARAM>(UI_CMD_ACTIVATE));
    UI_DestroyWindow(scanning.hwnd(), false);  // posted: arrives with the next messages
    EXPECT_EQ(scanning.appCodes.size(), 1u);
    kxtest::PumpMessages();
    ASSERT_EQ(scanning.appCodes.size(), 2u);
    EXPECT_EQ(scanning.appCodes[1], static_cast<WPARAM>(UI_CMD_CLOSE));

    UI_DestroyWindow(IDS_SCANNING_TITLE, true);
    UI_DestroyWindow(0u, true);                // no identifier: nothing
    UI_DestroyWindow(IDS_PRODUCT_NAME, true);  // no such dialog: nothing
    kxtest::PumpMessages();
    ASSERT_EQ(scanning.appCodes.size(), 3u);
    EXPECT_EQ(scanning.appCodes[2], static_cast<WPARAM>(UI_CMD_CLOSE));
    UI_ActiveWindow(nullptr, true);

    EXPECT_TRUE(UI_SetForegroundWindow(scanning.hwnd()));
    EXPECT_EQ(::GetForegroundWindow(), scanning.hwnd());
}

// The device's task bar, told when a dialog's title changed.
struct Tray {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_USER) {
            ++told;
            lastCode = wp;
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
    Tray() {
        WNDCLASSW cls{};
        cls.lpfnWndProc = Proc;
        cls.hInstance = ::GetModuleHandleW(nullptr);
        cls.lpszClassName = L"tray";
        ::RegisterClassW(&cls);
        hwnd = ::CreateWindowExW(0, L"tray", L"tray", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 cls.hInstance, nullptr);
        told = 0;
    }
    ~Tray() { ::DestroyWindow(hwnd); }
    HWND hwnd;
    static int told;
    static WPARAM lastCode;
};
int Tray::told = 0;
WPARAM Tray::lastCode = 0;

TEST_F(WindowsTest, TitlesAndTextsFromTheResourceModule) {
    Tray tray;
    ASSERT_NE(tray.hwnd, nullptr);
    TestDialog dialog;
    HWND label = dialog.AddChild(L"STATIC", 0, 20, 0, 0, 80, 20);
    wchar_t text[64];

    UI_SetDlgTitle(dialog.hwnd(), IDS_SETTINGS_TITLE);
    kxtest::PumpMessages();
    ::GetWindowTextW(dialog.hwnd(), text, 64);
    EXPECT_STREQ(text, L"Scan settings");
    EXPECT_EQ(Tray::told, 1);
    EXPECT_EQ(Tray::lastCode, 4u);
    UI_SetDlgTitle(dialog.hwnd(), 0u);  // nothing: no identifier
    UI_SetDlgTitle(nullptr, IDS_PRODUCT_NAME);
    kxtest::PumpMessages();
    EXPECT_EQ(Tray::told, 1);
    UI_SetDlgTitle(dialog.hwnd(), L"Given");
    kxtest::PumpMessages();
    ::GetWindowTextW(dialog.hwnd(), text, 64);
    EXPECT_STREQ(text, L"Given");
    EXPECT_EQ(Tray::told, 2);

    UI_SetDlgItemText(dialog.hwnd(), 20, IDS_SCAN_LEVEL);
    ::GetWindowTextW(label, text, 64);
    EXPECT_STREQ(text, L"Scan level:");
    UI_SetWindowText(label, IDS_LEVEL_HIGH);
    ::GetWindowTextW(label, text, 64);
    EXPECT_STREQ(text, L"High");
    UI_SetWindowText(nullptr, IDS_LEVEL_HIGH);
}

TEST_F(WindowsTest, MoveMeasureAndEnableNeighbours) {
    TestDialog dialog;
    HWND label = dialog.AddChild(L"STATIC", 0, 30, 0, 0, 50, 20);
    HWND list = dialog.AddChild(L"LISTBOX", LBS_NOINTEGRALHEIGHT, 31, 0, 20, 100, 60);
    HWND spin = dialog.AddChild(UPDOWN_CLASSW, 0, 32, 100, 20, 16, 60);
    HWND other = dialog.AddChild(L"BUTTON", 0, 33, 0, 90, 50, 20);

    EXPECT_TRUE(UI_MoveWindow(list, RECT{5, 25, 85, 75}, FALSE));
    RECT at = kxtest::WindowRect(list);
    ::MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&at), 2);
    EXPECT_EQ(at.left, 5);
    EXPECT_EQ(at.top, 25);
    EXPECT_EQ(at.right, 85);
    EXPECT_EQ(at.bottom, 75);

    EnableSPLB(dialog.hwnd(), 31, FALSE);
    EXPECT_FALSE(::IsWindowEnabled(list));
    EXPECT_FALSE(::IsWindowEnabled(spin));
    EXPECT_TRUE(::IsWindowEnabled(label));
    EnableSPLBAndStatic(dialog.hwnd(), 31, FALSE);
    EXPECT_FALSE(::IsWindowEnabled(label));
    EXPECT_TRUE(::IsWindowEnabled(other));
    EnableSPLBAndStatic(dialog.hwnd(), 31, TRUE);
    EXPECT_TRUE(::IsWindowEnabled(label) && ::IsWindowEnabled(list) && ::IsWindowEnabled(spin));
    EnablePair(spin, FALSE, true);  // the spin control and the list before it
    EXPECT_FALSE(::IsWindowEnabled(list));
    EXPECT_FALSE(::IsWindowEnabled(spin));
    EXPECT_TRUE(::IsWindowEnabled(other));
    EnablePair(other, FALSE, false);  // the last child has no next sibling
    EXPECT_FALSE(::IsWindowEnabled(other));
    EnableSPLB(dialog.hwnd(), 4242, FALSE);

    // Measuring: one line is one line high; a wider text is wider. The window keeps its font.
    RECT one{0, 0, 500, 0}, longer{0, 0, 500, 0}, wrapped{0, 0, 40, 0};
    const int h = UI_GetTextSize(dialog.hwnd(), nullptr, L"Scan", one, DT_SINGLELINE);
    ASSERT_GT(h, 0);
    EXPECT_EQ(one.bottom - one.top, h);
    UI_GetTextSize(dialog.hwnd(), nullptr, L"Scan settings", longer, DT_SINGLELINE);
    EXPECT_GT(longer.right, one.right);
    UI_GetTextSize(dialog.hwnd(), nullptr, L"Scan the whole device now", wrapped, DT_WORDBREAK);
    EXPECT_GT(wrapped.bottom - wrapped.top, h);
    HDC dc = ::GetDC(dialog.hwnd());
    HFONT big =
        ::CreateFontW(40, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ before = ::GetCurrentObject(dc, OBJ_FONT);
    RECT large{0, 0, 500, 0};
    EXPECT_GT(UI_GetTextSize(dc, big, L"Scan", large, DT_SINGLELINE), h);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), before);
    RECT untouched{1, 2, 3, 4};
    EXPECT_EQ(UI_GetTextSize(dc, big, nullptr, untouched, 0), 0);
    EXPECT_EQ(untouched.right, 3);
    ::ReleaseDC(dialog.hwnd(), dc);
    ::DeleteObject(big);
    UI_TraceFont(dialog.hwnd());
}

TEST_F(WindowsTest, BitmapCopiedWholeAndGuardsRestore) {
    HDC screen = ::GetDC(nullptr);
    HDC target = ::CreateCompatibleDC(screen);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP canvas = ::CreateCompatibleBitmap(screen, 40, 40);
    HBITMAP picture = ::CreateCompatibleBitmap(screen, 8, 6);
    HGDIOBJ oldCanvas = ::SelectObject(target, canvas);
    ::PatBlt(target, 0, 0, 40, 40, BLACKNESS);
    {
        HGDIOBJ old = ::SelectObject(memory, picture);
        ::PatBlt(memory, 0, 0, 8, 6, WHITENESS);
        ::SelectObject(memory, old);
    }
    const HGDIOBJ memoryBitmap = ::GetCurrentObject(memory, OBJ_BITMAP);
    EXPECT_TRUE(BmpBlt(target, 10, 20, memory, picture));
    EXPECT_EQ(::GetCurrentObject(memory, OBJ_BITMAP), memoryBitmap);
    EXPECT_EQ(::GetPixel(target, 10, 20), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(target, 17, 25), RGB(255, 255, 255));
    EXPECT_EQ(::GetPixel(target, 18, 25), RGB(0, 0, 0));
    EXPECT_EQ(::GetPixel(target, 17, 26), RGB(0, 0, 0));
    EXPECT_EQ(::GetPixel(target, 9, 20), RGB(0, 0, 0));
    EXPECT_FALSE(BmpBlt(target, 0, 0, memory, nullptr));
    EXPECT_FALSE(BmpBlt(nullptr, 0, 0, memory, picture));

    // SDC: what the code in its scope changes in the context is undone.
    ::SetTextColor(target, RGB(1, 2, 3));
    {
        SDC saved(target);
        ::SetTextColor(target, RGB(9, 9, 9));
    }
    EXPECT_EQ(::GetTextColor(target), RGB(1, 2, 3));
    { SDC none(nullptr); }

    ::SelectObject(target, oldCanvas);
    ::DeleteObject(canvas);
    ::DeleteObject(picture);
    ::DeleteDC(target);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);

    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
    ::SetCursor(arrow);
    {
        WaitCursor busy;
        EXPECT_EQ(::GetCursor(), wait);
    }
    EXPECT_EQ(::GetCursor(), arrow);
    HCURSOR cross = ::LoadCursorW(nullptr, IDC_CROSS);
    {
        WaitCursor busy(cross);
        EXPECT_EQ(::GetCursor(), wait);
    }
    EXPECT_EQ(::GetCursor(), cross);
}

}  // namespace
