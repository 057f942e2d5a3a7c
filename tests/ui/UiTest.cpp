// The dialog helpers on real windows. Every test shares one dialog of the device's dialog class;
// the children a test adds go after it.
#include <kxcommon/kxcommon.h>

#include "DeviceFixture.h"
#include "Strings.h"
#include "UiTestIds.h"

#include <commctrl.h>

// Rectangles compared and shown as the library's callers see them.
static bool operator==(const RECT& left, const RECT& right) { return ::EqualRect(&left, &right); }
static void PrintTo(const RECT& rect, std::ostream* out) {
    *out << "{" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom
         << "}";
}

namespace {

HWND g_dialog = nullptr;
std::vector<WPARAM> g_appCodes;     // the WM_APP codes the dialog received
std::wstring g_copy;                // the last WM_COPYDATA: "identifier bytes text"
const void* g_copyData = nullptr;   // where the last WM_COPYDATA's text was
std::vector<std::wstring> g_boxes;  // the message boxes shown: "title|body", "|yes/no" added

INT_PTR CALLBACK DialogProc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) g_appCodes.push_back(wp);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (msg == WM_COPYDATA) g_copyData = data->lpData;
    if (msg == WM_COPYDATA)
        g_copy = std::to_wstring(data->dwData) + L" " + std::to_wstring(data->cbData) + L" " +
                 std::wstring(static_cast<const wchar_t*>(data->lpData), data->cbData / 2);
    return msg == WM_APP || msg == WM_COPYDATA;
}

// Reads each message box (the only dialogs this thread starts) once it is filled in, and answers
// it No.
LRESULT CALLBACK BoxHook(int code, WPARAM wp, LPARAM lp) {
    wchar_t title[2048] = L"", body[2048] = L"";
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lp);
    HWND box = call->hwnd;
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        ::GetWindowTextW(box, title, 2048);
        ::GetDlgItemTextW(box, 0xFFFF, body, 2048);  // the box's text control
        g_boxes.push_back(std::wstring(title) + L"|" + body +
                          (::GetDlgItem(box, IDYES) ? L"|yes/no" : L""));
        ::PostMessageW(box, WM_COMMAND, IDNO, 0);
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

// A window's rectangle in the dialog's client coordinates (`to` null: on the screen).
RECT At(HWND hwnd, HWND to = g_dialog) {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    ::MapWindowPoints(nullptr, to, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
HWND Add(const wchar_t* cls, DWORD style, int id, int x, int y, int w, int h) {
    return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, g_dialog,
                             reinterpret_cast<HMENU>(INT_PTR(id)), nullptr, nullptr);
}

// A body of `length` characters whose head and tail are recognisable, and its shortened form.
std::wstring Body(size_t length) {
    return length ? Body(length - 1) + wchar_t(L'a' + (length - 1) % 26) : L"";
}
std::wstring Shortened(const std::wstring& body, size_t limit) {
    return body.substr(0, limit - 20) + L"..." + body.substr(body.size() - 20);
}

struct UiTest : kxtest::DeviceTest {
    static void SetUpTestSuite() {
        ::InitCommonControls();
        ::SetWindowsHookExW(WH_CALLWNDPROCRET, BoxHook, nullptr, ::GetCurrentThreadId());
        WinceRegisterDialogClass(::GetModuleHandleW(nullptr));
        g_dialog = ::CreateWindowExW(0, L"Dialog", L"kxtest", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300,
                                     nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ::SetWindowLongPtrW(g_dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
    }
    static void TearDownTestSuite() { ::DestroyWindow(g_dialog); }
    void SetUp() override {
        DeviceTest::SetUp();
        g_boxes.clear();
        g_appCodes.clear();
    }
    void TearDown() override {
        while (HWND child = ::GetWindow(g_dialog, GW_CHILD)) ::DestroyWindow(child);
        ::SetWindowPos(g_dialog, nullptr, 0, 0, 300, 300, SWP_NOZORDER);
        ::SetWindowTextW(g_dialog, L"kxtest");
    }
};

TEST_F(UiTest, MessageBoxesShowTheirTitleAndFormattedBody) {
    HMODULE res = ::LoadLibraryW(L"KXSC_SP_Res.dll");
    const std::wstring body = Body(1500);
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_SCAN_DONE, MB_OK, 12, 3), IDNO);
    UI_MsgBox(nullptr, 0u, IDS_VIRUS_FOUND, MB_OK, L"EICAR");  // untitled: the platform's title
    UI_MsgBox(nullptr, 9999u, IDS_REALTIME_ON, MB_OK);         // a title without text
    UI_MsgBox(nullptr, res, IDS_PRODUCT_NAME, IDS_CONFIRM_DELETE, MB_YESNO, L"a.txt");
    UI_MsgBox(nullptr, L"Title", L"%d-%s", MB_OK, 7, L"x");
    UI_MsgBox(nullptr, static_cast<LPCWSTR>(nullptr), L"plain", MB_OK);
    // Cut at 1023 characters, then trimmed: the tail kept is the cut body's.
    UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, body.c_str());
    // No format, or an empty body: no box.
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, 9999u, MB_OK), 0);
    EXPECT_EQ(UI_MsgBox(nullptr, res, IDS_PRODUCT_NAME, 9999u, MB_OK), 0);
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, L""), 0);
    EXPECT_EQ(g_boxes, (std::vector<std::wstring>{
                           L"Scutara|Scan finished: 12 files scanned, 3 infected.",
                           L"Error|Virus found: EICAR", L"|Real-time scanning is on.",
                           L"Scutara|Delete a.txt?|yes/no", L"Title|7-x", L"Error|plain",
                           L"Scutara|" + Shortened(body.substr(0, 1023), 256)}));
}

TEST_F(UiTest, TrimLimitsFollowTheButtonsAndTheScreen) {
    const struct {
        unsigned width, height, length, style, limit;  // limit 0: shown whole
    } rows[] = {
        // clang-format off
        {.width = 240, .height = 320, .length = 255, .style = MB_OK,       .limit = 0},
        {.width = 240, .height = 320, .length = 256, .style = MB_OK,       .limit = 256},
        {.width = 240, .height = 320, .length = 199, .style = MB_YESNO,    .limit = 0},
        {.width = 240, .height = 320, .length = 200, .style = MB_YESNO,    .limit = 200},
        {.width = 240, .height = 320, .length = 300, .style = MB_OKCANCEL, .limit = 200},
        {.width = 320, .height = 240, .length = 235, .style = MB_OK,       .limit = 0},  // landscape: 20 less
        {.width = 320, .height = 240, .length = 236, .style = MB_OK,       .limit = 236},
        {.width = 480, .height = 319, .length = 180, .style = MB_YESNO,    .limit = 180},  // by its height
        // clang-format on
    };
    for (const auto& row : rows) {
        kxtest::StageProfileNumber(L"ScreenWidth", row.width);
        kxtest::StageProfileNumber(L"ScreenHeight", row.height);
        const std::wstring body = Body(row.length);
        g_boxes.clear();
        UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, row.style, body.c_str());
        const std::wstring shown = row.limit ? Shortened(body, row.limit) : body;
        EXPECT_EQ(g_boxes, std::vector<std::wstring>{L"Scutara|" + shown +
                                                     (row.style == MB_YESNO ? L"|yes/no" : L"")})
            << row.length << " style " << row.style << " on " << row.width;
    }
}

TEST_F(UiTest, PortraitTurnsAStagedLandscapeScreen) {
    kxtest::StageProfileNumber(L"ScreenWidth", 320);
    kxtest::StageProfileNumber(L"ScreenHeight", 240);
    for (int twice = 0; twice < 2; ++twice) {  // the second time: already portrait
        EXPECT_EQ(ChangeToPortrait(), DISP_CHANGE_SUCCESSFUL);
        EXPECT_EQ(kxtest::ProfileNumber(L"ScreenWidth", 0), 240u);
        EXPECT_EQ(kxtest::ProfileNumber(L"ScreenHeight", 0), 320u);
    }
}

TEST_F(UiTest, ListBoxGetsTheTextsOfItsIdentifiers) {
    HWND list = Add(L"LISTBOX", 0, 10, 0, 0, 100, 100);
    UI_AddStringToLB(list, 0u, IDS_LEVEL_LOW, 0u);  // the identifiers end at the first 0
    UI_AddStringToLB(list, IDS_LEVEL_LOW, IDS_LEVEL_NORMAL, 9999u, IDS_LEVEL_HIGH, 0u);
    wchar_t text[64];
    std::wstring items;
    for (int i = 0; ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text)) >= 0; ++i)
        items += std::wstring(text) + L"|";
    EXPECT_EQ(items, L"Low|Normal||High|");
}

TEST_F(UiTest, ControlsArePlacedByRulesInsideTheirBorder) {
    const RECT now{10, 20, 110, 70}, client{0, 0, 240, 200};  // -1 keeps what is
    EXPECT_EQ(GeneralAdjustCtlLayout(5, -1, 50, -1)(now, client), (RECT{5, 20, 55, 70}));
    EXPECT_EQ(GeneralAdjustCtlLayout(-1, 0, -1, 10)(now, client), (RECT{10, 0, 110, 10}));
    EXPECT_EQ(GeneralAdjustCtlLayoutByPos(-1, -1, -1, -1)(now, client), now);
    EXPECT_EQ(GeneralAdjustCtlLayoutByPos(2, -1, 238, -1)(now, client), (RECT{2, 20, 238, 70}));

    HWND plain = Add(L"STATIC", 0, 50, 10, 20, 100, 30);
    HWND framed = Add(L"LISTBOX", WS_BORDER | LBS_NOINTEGRALHEIGHT, 51, 10, 60, 100, 50);
    const RECT nothing{0, 0, 0, 0};
    RECT rect{}, none{1, 1, 1, 1};
    GetRelativeRect(g_dialog, plain, rect);
    EXPECT_EQ(rect, (RECT{10, 20, 110, 50}));
    GetRelativeRect(g_dialog, 51, rect);
    EXPECT_EQ(rect, (RECT{11, 61, 109, 109}));  // inside the border
    GetRelativeRect(nullptr, plain, none);
    EXPECT_EQ(none, nothing);
    GetRelativeRect(g_dialog, 4242, rect);
    EXPECT_EQ(rect, nothing);
    LayoutCtl(g_dialog, plain, -1, -1, -1, -1);
    EXPECT_EQ(At(plain), (RECT{10, 20, 110, 50}));
    // A bordered control takes its client rectangle as its new window rectangle.
    LayoutCtl(g_dialog, 51, -1, -1, -1, -1);
    EXPECT_EQ(At(framed), (RECT{11, 61, 109, 109}));
    LayoutCtl(g_dialog, 50, 0, -1, 200, -1);
    EXPECT_EQ(At(plain), (RECT{0, 20, 200, 50}));
    LayoutCtlByPos(g_dialog, plain, -1, 5, 150, -1);
    EXPECT_EQ(At(plain), (RECT{0, 5, 150, 50}));
    LayoutCtlByPos(g_dialog, 50, 3, -1, -1, 40);
    EXPECT_EQ(At(plain), (RECT{3, 5, 150, 40}));
}

TEST_F(UiTest, SpinSitsAtTheListsRightEdge) {
    HWND list = Add(L"LISTBOX", LBS_NOINTEGRALHEIGHT, 60, 0, 0, 80, 20);
    HWND spin = Add(UPDOWN_CLASSW, 0, 61, 90, 0, 16, 20);
    const int spinWidth = At(spin).right - At(spin).left;  // borderless: its client width
    LayoutSpin(g_dialog, list, spin, 10, 40, 150, 24);
    EXPECT_EQ(At(list), (RECT{10, 40, 160 - spinWidth, 64}));
    EXPECT_EQ(At(spin), (RECT{160 - spinWidth, 40, 160, 64}));
    ChangeSpinWidth(g_dialog, 60, 61, 2, 200);
    EXPECT_EQ(At(list), (RECT{2, 40, 202 - spinWidth, 64}));
    EXPECT_EQ(At(spin), (RECT{202 - spinWidth, 40, 202, 64}));

    // Every child refitted to 4 pixels less than 200, for the scroll bar: a spin control after a
    // list box follows it (list boxes known by their class name in any case); one before any
    // list box is only widened.
    HWND lone = Add(UPDOWN_CLASSW, 0, 70, 100, 0, 16, 20);
    HWND label = Add(L"STATIC", 0, 71, 10, 30, 50, 16);
    ::MoveWindow(list, 10, 50, 60, 20, FALSE);
    ::MoveWindow(spin, 80, 52, 16, 22, FALSE);
    RelayoutChildCtrls fit(g_dialog, 200, true);
    for (HWND child : {lone, label, list, spin}) EXPECT_FALSE(fit(child));
    EXPECT_EQ(At(lone), (RECT{100, 0, 296, 20}));
    EXPECT_EQ(At(label), (RECT{10, 30, 206, 46}));
    EXPECT_EQ(At(list), (RECT{2, 52, 198 - spinWidth, 74}));
    EXPECT_EQ(At(spin).left, 198 - spinWidth) << "the spin control's left edge after the list";
    EXPECT_EQ(At(spin).top, 52) << "the spin control's top beside the list";
    RelayoutChildCtrls narrow(g_dialog, 120, false);
    narrow(label);
    EXPECT_EQ(At(label), (RECT{10, 30, 130, 46}));
}

TEST_F(UiTest, ListViewColumnsItemsAndSelection) {
    HWND list = Add(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL, 40, 0, 0, 200, 150);
    EXPECT_EQ(InsertListColumn(list, 0, 120, IDS_COLUMN_FILE, LVCFMT_LEFT), 0);
    EXPECT_EQ(InsertListColumn(list, 1, 60, L"Result", LVCFMT_RIGHT), 1);
    EXPECT_EQ(InsertListColumn(nullptr, 0, 10, L"x", LVCFMT_LEFT), -1);
    EXPECT_TRUE(SetListColumnWidth(list, 1, 75));
    EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 75);
    wchar_t text[32] = L"";
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, 0, text, 32};
    ::SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(std::wstring(text) + L" " + std::to_wstring(column.cx), L"File 120");
    // The column may take the client width while the items fit one page.
    const int page = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_EQ(GetListColumnWidth(list, page), 200);  // its client width: it has no border
    EXPECT_EQ(GetListColumnWidth(list, page + 1), 200 - ::GetSystemMetrics(SM_CXVSCROLL));

    for (int i = 0; i < 4; ++i) {
        LVITEMW item{LVIF_TEXT | LVIF_PARAM, i, 0, 0, 0, text, 0, 0, 100 + i};
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_EQ(GetListItemLPARAM(list, 7), 0);
    EXPECT_EQ(GetListSelectedItem(list), -1);
    EXPECT_TRUE(SetListSelectedItem(list, 1));
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMSTATE, 1, LVIS_FOCUSED), LVIS_FOCUSED);
    EXPECT_EQ(GetListItemLPARAM(list, 2), 102) << "GetListItemLPARAM of the third item";
}

// Deleting keeps a selection. Each row starts from items 100 to 103 with the item `select`
// selected, deletes `item` (`flag` 0: deletes nothing) and says what is left.
struct DeleteRow {
    const char* name;
    int select, item, flag;
    int count, selected, data;  // the items left, the one selected (-1: none) and its data
};

::testing::AssertionResult DeletesKeepingASelection(HWND list, const DeleteRow& row) {
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < 4; ++i) {
        LVITEMW item{LVIF_PARAM, i, 0, 0, 0, nullptr, 0, 0, 100 + i};
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetListSelectedItem(list, row.select);
    DelListItem(list, row.item, row.flag);
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const int selected = GetListSelectedItem(list), data = GetListItemLPARAM(list, selected);
    if (count == row.count && selected == row.selected && data == row.data)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "DelListItem for " << row.name << " left " << count << " items with item " << selected
           << " (data " << data << ") selected, expected " << row.count << " items with item "
           << row.selected << " (data " << row.data << ")";
}

TEST_F(UiTest, DeletingAListItemKeepsASelection) {
    HWND list = Add(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL, 40, 0, 0, 200, 150);
    InsertListColumn(list, 0, 120, L"File", LVCFMT_LEFT);
    // clang-format off
    const DeleteRow rows[] = {
        {.name = "a middle item",            .select = 1, .item = 1,  .flag = 1, .count = 3, .selected = 1,  .data = 102},
        {.name = "the last item",            .select = 3, .item = 3,  .flag = 1, .count = 3, .selected = 2,  .data = 102},
        {.name = "nothing, past the end",    .select = 0, .item = 5,  .flag = 0, .count = 4, .selected = 3,  .data = 103},
        {.name = "no such item",             .select = 1, .item = -1, .flag = 1, .count = 4, .selected = 1,  .data = 101},
    };
    // clang-format on
    for (const DeleteRow& row : rows) EXPECT_TRUE(DeletesKeepingASelection(list, row));
    for (int left = 3; left >= 0; --left) DelListItem(list, 0, 1);
    EXPECT_EQ(GetListSelectedItem(list), -1) << "GetListSelectedItem with no item left";
}

// The soft key of `command`: its label, " (off)" when disabled; "(no key)" when there is none.
std::wstring Key(HWND bar, int command) {
    wchar_t text[64] = L"";
    TBBUTTONINFOW info{sizeof info, TBIF_TEXT | TBIF_STATE, 0, 0, 0, 0, 0, 0, text, 64};
    if (::SendMessageW(bar, TB_GETBUTTONINFOW, command, reinterpret_cast<LPARAM>(&info)) < 0)
        return L"(no key)";
    return text + std::wstring(info.fsState & TBSTATE_ENABLED ? L"" : L" (off)");
}

TEST_F(UiTest, MenuBarKeysMenusAndPlace) {
    SHMENUBARINFO info{sizeof info, g_dialog, 0, IDR_TEST_MENUBAR, ::GetModuleHandleW(nullptr)};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND old = info.hwndMB, bar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
    EXPECT_FALSE(::IsWindow(old)) << "a new menu bar replaces the old one";
    EnableMBButton(g_dialog, IDM_DONE, FALSE);
    EXPECT_EQ(Key(bar, IDM_DONE) + L"|" + Key(bar, IDM_MENU), L"Done (off)|Menu");
    EnableMBButton(g_dialog, IDM_DONE, TRUE);
    SwitchSoftKey(g_dialog, IDM_SCAN, ::GetModuleHandleW(nullptr), IDS_KEY_SCAN, IDM_DONE);
    EnableMBButton(g_dialog, IDM_DONE, FALSE);  // the old command no longer finds the key
    EXPECT_EQ(Key(bar, IDM_SCAN) + L"|" + Key(bar, IDM_DONE), L"Scan|(no key)");

    // Menu items change their grey state only.
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDM_MENU));
    ::SetMenuDefaultItem(menu, IDM_CHECKED, FALSE);
    const auto state = [menu](UINT id) { return ::GetMenuState(menu, id, MF_BYCOMMAND); };
    const UINT was = MFS_CHECKED | MFS_DEFAULT;
    ASSERT_EQ(state(IDM_CHECKED), was);
    EnableMBMenuItem(g_dialog, IDM_MENU, IDM_CHECKED, TRUE);
    EXPECT_EQ(state(IDM_CHECKED), was);
    EnableMBMenuItem(g_dialog, IDM_MENU, IDM_CHECKED, FALSE);
    EXPECT_EQ(state(IDM_CHECKED), was | MF_GRAYED);
    EnableMBMenuItem(menu, IDM_CHECKED, TRUE);
    EXPECT_EQ(state(IDM_CHECKED), was);
    EnableMBMenuItem(g_dialog, IDM_MENU, IDM_GRAYED, TRUE);
    EXPECT_EQ(state(IDM_GRAYED), 0u);
    InsertMBMenuItem(g_dialog, IDM_MENU, 1, IDM_INSERTED, L"Inserted", MF_BYPOSITION | MF_STRING);
    RemoveMBMenuItem(g_dialog, IDM_MENU, IDM_PLAIN, MF_BYCOMMAND);
    RemoveMBMenuItem(g_dialog, IDM_DONE, 0, MF_BYPOSITION);  // a key without a menu: nothing
    std::vector<UINT> ids;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) ids.push_back(::GetMenuItemID(menu, i));
    EXPECT_EQ(ids, (std::vector<UINT>{IDM_CHECKED, IDM_INSERTED, IDM_GRAYED}));

    // Hidden, the dialog takes its menu bar, disabled, one bar's height further down.
    // where(): how far below the dialog's client area the bar's top lies.
    RECT client{};
    ::GetClientRect(g_dialog, &client);
    ::MapWindowPoints(g_dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const int height = At(bar, nullptr).bottom - At(bar, nullptr).top;
    const auto where = [bar, bottom = client.bottom] {
        return std::to_string(At(bar, nullptr).top - bottom) +
               (::IsWindowEnabled(bar) ? "" : " off") +
               (::IsWindowVisible(g_dialog) ? "" : " hidden");
    };
    UI_HideWindow(g_dialog);
    EXPECT_EQ(where(), std::to_string(height) + " off hidden");
    UI_ShowWindow(g_dialog);
    EXPECT_EQ(where(), "0");
    // Any other command shows the dialog but leaves the bar disabled in place.
    UI_ShowWindow(g_dialog, SW_SHOWNA);
    EXPECT_EQ(where(), "0 off");

    // While the guard lives the dialog fits the work area above its menu bar; afterwards it has
    // the client width it had then and the height of a scrolling page.
    RECT work{}, inside{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT before = At(g_dialog, nullptr);
    auto guard = std::make_unique<AvoidScrollBar>(g_dialog);
    EXPECT_EQ(At(g_dialog, nullptr),
              (RECT{before.left, before.top, before.left + work.right - work.left,
                    before.top + work.bottom - work.top - height}));
    ::GetClientRect(g_dialog, &inside);
    guard.reset();
    EXPECT_EQ(At(g_dialog, nullptr),
              (RECT{before.left, before.top, before.left + inside.right, before.top + 640}));
    ::DestroyWindow(bar);
}

TEST_F(UiTest, TitlesAndTextsComeFromTheResourceModule) {
    // The device's task bar is told (WM_USER 4 posted) when a dialog's title changed.
    WNDCLASSW cls{0, ::DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"tray"};
    ::RegisterClassW(&cls);
    HWND tray = ::CreateWindowW(L"tray", L"tray", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0);
    const auto now = [tray](HWND hwnd = g_dialog) {
        std::wstring told(64, L'\0');
        told.resize(::GetWindowTextW(hwnd, &told[0], 64));
        for (MSG msg; ::PeekMessageW(&msg, tray, WM_USER, WM_USER, PM_REMOVE);)
            told += L" told " + std::to_wstring(msg.wParam);
        return told;
    };
    UI_SetDlgTitle(g_dialog, IDS_SETTINGS_TITLE);
    EXPECT_EQ(now(), L"Scan settings told 4");
    UI_SetDlgTitle(g_dialog, 0u);
    EXPECT_EQ(now(), L"Scan settings");  // no identifier
    UI_SetDlgTitle(g_dialog, L"Given");
    EXPECT_EQ(now(), L"Given told 4");
    HWND label = Add(L"STATIC", 0, 20, 0, 0, 80, 20);
    UI_SetDlgItemText(g_dialog, 20, IDS_SCAN_LEVEL);
    EXPECT_EQ(now(label), L"Scan level:");
    UI_SetWindowText(label, IDS_LEVEL_HIGH);
    EXPECT_EQ(now(label), L"High");
    ::DestroyWindow(tray);
}

// Which of the neighbours are enabled: a label, the list box after it, the spin control after
// that, and another control after them, the dialog's last child.
struct Enabled {
    bool label, list, spin, other;
    bool operator==(const Enabled&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Enabled& enabled) {
    const auto state = [](bool on) { return on ? "enabled" : "disabled"; };
    return out << "label " << state(enabled.label) << ", list " << state(enabled.list)
               << ", spin control " << state(enabled.spin) << ", other " << state(enabled.other);
}

struct NeighboursRow {
    const char* call;
    bool startEnabled;  // every neighbour enabled before the call, or every one disabled
    void (*enable)();
    Enabled after;
};

// The spin control and the list before it; the last child, which has no next sibling.
TEST_F(UiTest, NeighboursEnabledTogether) {
    HWND label = Add(L"STATIC", 0, 30, 0, 0, 50, 20);
    HWND list = Add(L"LISTBOX", LBS_NOINTEGRALHEIGHT, 31, 0, 20, 100, 60);
    HWND spin = Add(UPDOWN_CLASSW, 0, 32, 100, 20, 16, 60);
    HWND other = Add(L"BUTTON", 0, 33, 0, 90, 50, 20);
    // clang-format off
    const NeighboursRow rows[] = {
        {.call = "EnableSPLB off",          .startEnabled = true,  .enable = [] { EnableSPLB(g_dialog, 31, FALSE); },
         .after = {.label = true,  .list = false, .spin = false, .other = true}},
        {.call = "EnableSPLBAndStatic off", .startEnabled = true,  .enable = [] { EnableSPLBAndStatic(g_dialog, 31, FALSE); },
         .after = {.label = false, .list = false, .spin = false, .other = true}},
        {.call = "EnableSPLBAndStatic on",  .startEnabled = false, .enable = [] { EnableSPLBAndStatic(g_dialog, 31, TRUE); },
         .after = {.label = true,  .list = true,  .spin = true,  .other = false}},
        {.call = "EnablePair of the spin",  .startEnabled = true,  .enable = [] { EnablePair(::GetDlgItem(g_dialog, 32), FALSE, true); },
         .after = {.label = true,  .list = false, .spin = false, .other = true}},
        {.call = "EnablePair of the last",  .startEnabled = true,  .enable = [] { EnablePair(::GetDlgItem(g_dialog, 33), FALSE, false); },
         .after = {.label = true,  .list = true,  .spin = true,  .other = false}},
    };
    // clang-format on
    for (const NeighboursRow& row : rows) {
        for (HWND child : {label, list, spin, other}) ::EnableWindow(child, row.startEnabled);
        row.enable();
        const Enabled got{.label = ::IsWindowEnabled(label) != FALSE,
                          .list = ::IsWindowEnabled(list) != FALSE,
                          .spin = ::IsWindowEnabled(spin) != FALSE,
                          .other = ::IsWindowEnabled(other) != FALSE};
        EXPECT_EQ(got, row.after) << row.call << " left these enabled";
    }
}

// A later instance hands its command line to the first; then dialogs are found and commanded
// by their titles (the codes of both parts checked together at the end).
TEST_F(UiTest, DialogsFoundAndCommandedByTitle) {
    HANDLE first = ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_SCANNING_TITLE, L"");
    ASSERT_NE(first, nullptr) << "the first instance keeps a mutex named after the program";
    EXPECT_TRUE(::CloseHandle(::OpenMutexW(SYNCHRONIZE, FALSE, L"kxtest_ui.exe")));
    // No dialog has either title: nothing to hand over.
    EXPECT_EQ(ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_SCANNING_TITLE, L"/x", 9999), nullptr);
    // The main dialog (here also the one to close) is activated, given the command line in
    // bytes without its terminator (a copy of it, not the caller's text), and closed; found by
    // its second title too.
    ::SetWindowTextW(g_dialog, L"Scutara");
    const wchar_t commandLine[] = L"/scan \\My Docs";
    EXPECT_FALSE(ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_PRODUCT_NAME, commandLine));
    EXPECT_EQ(g_copy, std::to_wstring(UI_COPYDATA_CMDLINE) + L" 28 /scan \\My Docs");
    EXPECT_NE(g_copyData, commandLine) << "the caller's own text was handed to the dialog";
    for (MSG msg; ::PeekMessageW(&msg, g_dialog, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
    EXPECT_EQ(ActivatePreviousInstance(9999, 0, L"", IDS_PRODUCT_NAME), nullptr);
    ::CloseHandle(first);
    // The mutex went with the first instance.
    EXPECT_TRUE(::CloseHandle(ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_SCANNING_TITLE, L"")));
    // Dialogs found and commanded by their titles.
    EXPECT_EQ(UI_FindWindow(IDS_SCANNING_TITLE), nullptr);
    ::SetWindowTextW(g_dialog, L"Scanning");
    EXPECT_EQ(UI_FindWindow(IDS_SCANNING_TITLE), g_dialog);
    EXPECT_EQ(UI_FindWindow(9999u), nullptr);
    UI_ActiveWindow(g_dialog, true);
    UI_DestroyWindow(g_dialog, false);  // posted: arrives with the next messages
    UI_DestroyWindow(IDS_SCANNING_TITLE, true);
    UI_DestroyWindow(0u, true);                // no identifier: nothing
    UI_DestroyWindow(IDS_PRODUCT_NAME, true);  // no such dialog: nothing
    for (MSG msg; ::PeekMessageW(&msg, g_dialog, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
    EXPECT_EQ(g_appCodes, (std::vector<WPARAM>{UI_CMD_ACTIVATE, UI_CMD_CLOSE, UI_CMD_ACTIVATE,
                                               UI_CMD_ACTIVATE, UI_CMD_CLOSE, UI_CMD_CLOSE}));
}

}  // namespace
