// The dialog's menu bar (the platform layer's) and the soft-key and menu helpers over it.
#include <kxcommon/UIMenuBar.h>
#include <kxcommon/UIWindows.h>
#include <wince/wince.h>

#include "DeviceFixture.h"
#include "UiTestIds.h"
#include "UiTestSupport.h"

#include <string>

namespace {

using kxtest::TestDialog;

class MenuBarTest : public kxtest::DeviceTest {
protected:
    static BYTE KeyState(HWND bar, int command) {
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_STATE;
        if (::SendMessageW(bar, TB_GETBUTTONINFOW, command, reinterpret_cast<LPARAM>(&info)) < 0)
            return 0xFF;
        return info.fsState;
    }
    static std::wstring KeyLabel(HWND bar, int command) {
        wchar_t text[64] = L"";
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_TEXT;
        info.pszText = text;
        info.cchText = 64;
        if (::SendMessageW(bar, TB_GETBUTTONINFOW, command, reinterpret_cast<LPARAM>(&info)) < 0)
            return L"(no key)";
        return text;
    }
    static UINT ItemState(HMENU menu, UINT id) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE;
        return ::GetMenuItemInfoW(menu, id, FALSE, &info) ? info.fState : 0xFFFFFFFFu;
    }
    // Clicks the soft key with `command` as the user would.
    static void Press(HWND bar, int command) {
        const LRESULT index = ::SendMessageW(bar, TB_COMMANDTOINDEX, command, 0);
        RECT r{};
        ::SendMessageW(bar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ::SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(bar, WM_LBUTTONUP, 0, at);
        kxtest::PumpMessages();
    }
};

TEST_F(MenuBarTest, CreatedFromTheDeviceResourceAndFound) {
    TestDialog dialog;
    EXPECT_EQ(SHFindMenuBar(dialog.hwnd()), nullptr);
    HWND bar = dialog.AddMenuBar(IDR_TEST_MENUBAR);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SHFindMenuBar(dialog.hwnd()), bar);
    EXPECT_EQ(::GetWindow(bar, GW_OWNER), dialog.hwnd());
    EXPECT_EQ(::SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 2);
    EXPECT_EQ(KeyLabel(bar, IDM_DONE), L"Done");
    EXPECT_EQ(KeyLabel(bar, IDM_MENU), L"Menu");
    // The bar lies right under the dialog's client area, across the work area.
    const RECT client = kxtest::ScreenClientRect(dialog.hwnd());
    const RECT at = kxtest::WindowRect(bar);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(at.top, client.bottom);
    EXPECT_EQ(at.left, work.left);
    EXPECT_EQ(at.right, work.right);

    HMENU popup = reinterpret_cast<HMENU>(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDM_MENU));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(::GetMenuItemID(popup, 0), static_cast<UINT>(IDM_CHECKED));
    EXPECT_EQ(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDM_DONE), 0);  // a key without menu
    EXPECT_EQ(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 4242), 0);      // no such key

    // A plain key sends its command to the dialog.
    Press(bar, IDM_DONE);
    ASSERT_EQ(dialog.commands.size(), 1u);
    EXPECT_EQ(dialog.commands[0], IDM_DONE);

    // The bar goes with its dialog.
    ::DestroyWindow(dialog.hwnd());
    EXPECT_FALSE(::IsWindow(bar));
}

TEST_F(MenuBarTest, MenuKeysEmptyBarsAndBadResources) {
    TestDialog dialog;
    HWND bar = dialog.AddMenuBar(IDR_TEST_HMENU, SHCMBF_HMENU);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(KeyLabel(bar, IDM_DONE), L"Done");
    HMENU popup = reinterpret_cast<HMENU>(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDM_MENU));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(::GetMenuItemID(popup, 0), static_cast<UINT>(IDM_PLAIN));

    // A second bar replaces the first.
    HWND empty = dialog.AddMenuBar(0, SHCMBF_EMPTYBAR);
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(::IsWindow(bar));
    EXPECT_EQ(SHFindMenuBar(dialog.hwnd()), empty);
    EXPECT_EQ(::SendMessageW(empty, TB_BUTTONCOUNT, 0, 0), 0);

    // A malformed or missing resource makes no bar and leaves the current one.
    EXPECT_EQ(dialog.AddMenuBar(IDR_BAD_MENUBAR), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(dialog.AddMenuBar(4242), nullptr);
    EXPECT_EQ(SHFindMenuBar(dialog.hwnd()), empty);
    EXPECT_FALSE(SHCreateMenuBar(nullptr));
    EXPECT_EQ(SHFindMenuBar(nullptr), nullptr);
}

TEST_F(MenuBarTest, SoftKeysEnabledDisabledAndRelabelled) {
    TestDialog dialog;
    HWND bar = dialog.AddMenuBar(IDR_TEST_MENUBAR);
    ASSERT_NE(bar, nullptr);
    EnableMBButton(dialog.hwnd(), IDM_DONE, FALSE);
    EXPECT_EQ(KeyState(bar, IDM_DONE) & TBSTATE_ENABLED, 0);
    EXPECT_NE(KeyState(bar, IDM_MENU) & TBSTATE_ENABLED, 0);
    Press(bar, IDM_DONE);
    EXPECT_TRUE(dialog.commands.empty());
    EnableMBButton(dialog.hwnd(), IDM_DONE, TRUE);
    EXPECT_NE(KeyState(bar, IDM_DONE) & TBSTATE_ENABLED, 0);

    SwitchSoftKey(dialog.hwnd(), IDM_SCAN, ::GetModuleHandleW(nullptr), IDS_KEY_SCAN, IDM_DONE);
    EXPECT_EQ(KeyLabel(bar, IDM_SCAN), L"Scan");
    EXPECT_EQ(KeyLabel(bar, IDM_DONE), L"(no key)");
    EXPECT_EQ(::SendMessageW(bar, TB_COMMANDTOINDEX, IDM_SCAN, 0), 0);
    Press(bar, IDM_SCAN);
    ASSERT_EQ(dialog.commands.size(), 1u);
    EXPECT_EQ(dialog.commands[0], IDM_SCAN);
    // The old command no longer finds the key.
    EnableMBButton(dialog.hwnd(), IDM_DONE, FALSE);
    EXPECT_NE(KeyState(bar, IDM_SCAN) & TBSTATE_ENABLED, 0);
    EnableMBButton(dialog.hwnd(), IDM_SCAN, FALSE);
    EXPECT_EQ(KeyState(bar, IDM_SCAN) & TBSTATE_ENABLED, 0);
}

TEST_F(MenuBarTest, MenuItemsKeepTheirOtherState) {
    TestDialog dialog;
    HWND bar = dialog.AddMenuBar(IDR_TEST_MENUBAR);
    ASSERT_NE(bar, nullptr);
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDM_MENU));
    ASSERT_NE(menu, nullptr);
    ::SetMenuDefaultItem(menu, IDM_CHECKED, FALSE);
    const UINT before = ItemState(menu, IDM_CHECKED);
    ASSERT_EQ(before & (MFS_CHECKED | MFS_DEFAULT), static_cast<UINT>(MFS_CHECKED | MFS_DEFAULT));

    EnableMBMenuItem(dialog.hwnd(), IDM_MENU, IDM_CHECKED, TRUE);  // already enabled
    EXPECT_EQ(ItemState(menu, IDM_CHECKED), before);
    EnableMBMenuItem(dialog.hwnd(), IDM_MENU, IDM_CHECKED, FALSE);
    EXPECT_EQ(ItemState(menu, IDM_CHECKED), before | MF_GRAYED);
    EnableMBMenuItem(menu, IDM_CHECKED, TRUE);
    EXPECT_EQ(ItemState(menu, IDM_CHECKED), before);
    EnableMBMenuItem(dialog.hwnd(), IDM_MENU, IDM_GRAYED, TRUE);
    EXPECT_EQ(ItemState(menu, IDM_GRAYED) & MF_GRAYED, 0u);

    InsertMBMenuItem(dialog.hwnd(), IDM_MENU, 1, IDM_INSERTED, L"Inserted",
                     MF_BYPOSITION | MF_STRING);
    ASSERT_EQ(::GetMenuItemCount(menu), 4);
    EXPECT_EQ(::GetMenuItemID(menu, 1), static_cast<UINT>(IDM_INSERTED));
    RemoveMBMenuItem(dialog.hwnd(), IDM_MENU, IDM_PLAIN, MF_BYCOMMAND);
    ASSERT_EQ(::GetMenuItemCount(menu), 3);
    EXPECT_EQ(::GetMenuItemID(menu, 2), static_cast<UINT>(IDM_GRAYED));
    // A key without a menu has nothing to change.
    RemoveMBMenuItem(dialog.hwnd(), IDM_DONE, 0, MF_BYPOSITION);
    EXPECT_EQ(::GetMenuItemCount(menu), 3);
}

TEST_F(MenuBarTest, EveryHelperIsANoOpWithoutMenuBar) {
    TestDialog dialog;
    EnableMBButton(dialog.hwnd(), IDM_DONE, FALSE);
    EnableMBMenuItem(dialog.hwnd(), IDM_MENU, IDM_CHECKED, FALSE);
    RemoveMBMenuItem(dialog.hwnd(), IDM_MENU, 0, MF_BYPOSITION);
    InsertMBMenuItem(dialog.hwnd(), IDM_MENU, 0, IDM_INSERTED, L"x", MF_BYPOSITION);
    SwitchSoftKey(dialog.hwnd(), IDM_SCAN, ::GetModuleHandleW(nullptr), IDS_KEY_SCAN, IDM_DONE);
    UI_HideWindow(dialog.hwnd());
    EnableMBMenuItem(static_cast<HMENU>(nullptr), IDM_CHECKED, FALSE);
    EnableMBButton(nullptr, IDM_DONE, FALSE);
    EXPECT_EQ(SHFindMenuBar(dialog.hwnd()), nullptr);
    EXPECT_FALSE(::IsWindowVisible(dialog.hwnd()));
}

}  // namespace
