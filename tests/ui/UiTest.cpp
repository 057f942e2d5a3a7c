// The dialog helpers on real windows. Every test shares one dialog of the device's dialog class;
// the children a test adds go after it.
#include <kxcommon/kxcommon.h>

#include "DeviceFixture.h"
#include "Strings.h"
#include "UiTestIds.h"

#include <commctrl.h>

#include <functional>
#include <optional>

// Rectangles compared and shown as the library's callers see them.
static bool operator==(const RECT& left, const RECT& right) { return ::EqualRect(&left, &right); }
static void PrintTo(const RECT& rect, std::ostream* out) {
    *out << "{" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom
         << "}";
}

namespace {

// A message box as the user saw it.
struct Box {
    std::wstring title, body;
    bool yesNo = false;  // it offered Yes and No
    bool operator==(const Box&) const = default;
};
void PrintTo(const Box& box, std::ostream* out) {
    *out << "a box titled " << testing::PrintToString(box.title) << " saying "
         << testing::PrintToString(box.body) << (box.yesNo ? " with Yes and No" : "");
}

// What a WM_COPYDATA handed the dialog.
struct Handed {
    ULONG_PTR identifier;
    DWORD bytes;
    std::wstring text;
    bool operator==(const Handed&) const = default;
};
void PrintTo(const Handed& handed, std::ostream* out) {
    *out << "identifier 0x" << std::hex << handed.identifier << std::dec << ", " << handed.bytes
         << " bytes, the text " << testing::PrintToString(handed.text);
}

HWND g_dialog = nullptr;
std::vector<WPARAM> g_appCodes;    // the WM_APP codes the dialog received
std::optional<Handed> g_handed;    // the last WM_COPYDATA
const void* g_handedAt = nullptr;  // where its text was
std::vector<Box> g_boxes;          // the message boxes shown

INT_PTR CALLBACK DialogProc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) g_appCodes.push_back(wp);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (msg == WM_COPYDATA) {
        g_handedAt = data->lpData;
        g_handed = Handed{
            .identifier = data->dwData,
            .bytes = data->cbData,
            .text = std::wstring(static_cast<const wchar_t*>(data->lpData), data->cbData / 2)};
    }
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
        g_boxes.push_back(
            {.title = title, .body = body, .yesNo = ::GetDlgItem(box, IDYES) != nullptr});
        ::PostMessageW(box, WM_COMMAND, IDNO, 0);
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

// `what` came back as `got`; `expected` was expected.
template <typename Value>
::testing::AssertionResult Is(const char* what, const Value& got, const Value& expected) {
    if (got == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << what << ": " << testing::PrintToString(got)
                                         << ", expected " << testing::PrintToString(expected);
}

// A window's rectangle in the dialog's client coordinates (`to` null: on the screen).
RECT At(HWND hwnd, HWND to = g_dialog) {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    ::MapWindowPoints(nullptr, to, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
HWND Add(const wchar_t* windowClass, DWORD style, int id, int left, int top, int width,
         int height) {
    return ::CreateWindowExW(0, windowClass, L"", WS_CHILD | WS_VISIBLE | style, left, top, width,
                             height, g_dialog, reinterpret_cast<HMENU>(INT_PTR(id)), nullptr,
                             nullptr);
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
        g_appCodes.clear();
    }
    void TearDown() override {
        while (HWND child = ::GetWindow(g_dialog, GW_CHILD)) ::DestroyWindow(child);
        ::SetWindowPos(g_dialog, nullptr, 0, 0, 300, 300, SWP_NOZORDER);
        ::SetWindowTextW(g_dialog, L"kxtest");
    }
};

// A call that may show a message box, and the box it shows (none: it answers 0; a box shown is
// answered No).
struct BoxRow {
    const char* call;
    std::function<int()> show;
    std::vector<Box> shown;
};

::testing::AssertionResult Shows(const BoxRow& row) {
    g_boxes.clear();
    const int answer = row.show(), expected = row.shown.empty() ? 0 : IDNO;
    if (answer == expected && g_boxes == row.shown) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.call << " answered " << answer << " showing " << testing::PrintToString(g_boxes)
           << ", expected " << expected << " showing " << testing::PrintToString(row.shown);
}

// Titles and formats by identifier come from the resource module (or the given module), texts
// are formatted; no title shows the platform's own, no format or an empty body shows no box.
TEST_F(UiTest, MessageBoxesShowTheirTitleAndFormattedBody) {
    static const HMODULE res = ::LoadLibraryW(L"KXSC_SP_Res.dll");
    // clang-format off
    const BoxRow rows[] = {
        {.call = "UI_MsgBox of a title and format by identifier", .show = [] { return UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_SCAN_DONE, MB_OK, 12, 3); },
         .shown = {Box{.title = L"Scutara", .body = L"Scan finished: 12 files scanned, 3 infected."}}},
        {.call = "UI_MsgBox without a title", .show = [] { return UI_MsgBox(nullptr, 0u, IDS_VIRUS_FOUND, MB_OK, L"EICAR"); },
         .shown = {Box{.title = L"Error", .body = L"Virus found: EICAR"}}},
        {.call = "UI_MsgBox of a title without text", .show = [] { return UI_MsgBox(nullptr, 9999u, IDS_REALTIME_ON, MB_OK); },
         .shown = {Box{.title = L"", .body = L"Real-time scanning is on."}}},
        {.call = "UI_MsgBox of the given module's texts", .show = [] { return UI_MsgBox(nullptr, res, IDS_PRODUCT_NAME, IDS_CONFIRM_DELETE, MB_YESNO, L"a.txt"); },
         .shown = {Box{.title = L"Scutara", .body = L"Delete a.txt?", .yesNo = true}}},
        {.call = "UI_MsgBox of a title and format as texts", .show = [] { return UI_MsgBox(nullptr, L"Title", L"%d-%s", MB_OK, 7, L"x"); },
         .shown = {Box{.title = L"Title", .body = L"7-x"}}},
        {.call = "UI_MsgBox of a format text without a title", .show = [] { return UI_MsgBox(nullptr, static_cast<LPCWSTR>(nullptr), L"plain", MB_OK); },
         .shown = {Box{.title = L"Error", .body = L"plain"}}},
        {.call = "UI_MsgBox of a missing format", .show = [] { return UI_MsgBox(nullptr, IDS_PRODUCT_NAME, 9999u, MB_OK); }, .shown = {}},
        {.call = "UI_MsgBox of an empty body", .show = [] { return UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, L""); }, .shown = {}},
    };
    // clang-format on
    for (const BoxRow& row : rows) EXPECT_TRUE(Shows(row));
}

// A body of the limit's length or more is shortened to its head, "..." and its last 20
// characters; a box with buttons has a lower limit than an OK box, a landscape screen (one less
// than 320 pixels high) 20 less. The body was cut at 1023 characters before.
struct TrimRow {
    const char* name;
    unsigned width, height, length, style;
    unsigned limit;  // 0: shown whole
};

TEST_F(UiTest, TrimLimitsFollowTheButtonsAndTheScreen) {
    // clang-format off
    const TrimRow rows[] = {
        {.name = "an OK box below its limit",   .width = 240, .height = 320, .length = 255,  .style = MB_OK,       .limit = 0},
        {.name = "an OK box at its limit",      .width = 240, .height = 320, .length = 256,  .style = MB_OK,       .limit = 256},
        {.name = "a body cut at 1023 first",    .width = 240, .height = 320, .length = 1500, .style = MB_OK,       .limit = 256},
        {.name = "a box with buttons",          .width = 240, .height = 320, .length = 200,  .style = MB_OKCANCEL, .limit = 200},
        {.name = "an OK box on a landscape screen",       .width = 320, .height = 240, .length = 236, .style = MB_OK,    .limit = 236},
        {.name = "a Yes/No box landscape by its height",  .width = 480, .height = 319, .length = 180, .style = MB_YESNO, .limit = 180},
    };
    // clang-format on
    for (const TrimRow& row : rows) {
        kxtest::StageProfileNumber(L"ScreenWidth", row.width);
        kxtest::StageProfileNumber(L"ScreenHeight", row.height);
        const std::wstring body = Body(row.length), cut = body.substr(0, 1023);
        EXPECT_TRUE(Shows({.call = row.name,
                           .show =
                               [&] {
                                   return UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE,
                                                         row.style, body.c_str());
                               },
                           .shown = {Box{.title = L"Scutara",
                                         .body = row.limit ? Shortened(cut, row.limit) : cut,
                                         .yesNo = row.style == MB_YESNO}}}));
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

// The identifiers end at the first 0; a missing text adds an empty item.
TEST_F(UiTest, ListBoxGetsTheTextsOfItsIdentifiers) {
    HWND list = Add(L"LISTBOX", 0, 10, 0, 0, 100, 100);
    UI_AddStringToLB(list, 0u, IDS_LEVEL_LOW, 0u);
    UI_AddStringToLB(list, IDS_LEVEL_LOW, IDS_LEVEL_NORMAL, 9999u, IDS_LEVEL_HIGH, 0u);
    wchar_t text[64];
    std::vector<std::wstring> items;
    for (int i = 0; ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text)) >= 0; ++i)
        items.push_back(text);
    EXPECT_TRUE(Is("the list box's items after UI_AddStringToLB", items,
                   std::vector<std::wstring>{L"Low", L"Normal", L"", L"High"}));
}

TEST_F(UiTest, ControlsArePlacedByRulesInsideTheirBorder) {
    HWND plain = Add(L"STATIC", 0, 50, 10, 20, 100, 30);
    HWND framed = Add(L"LISTBOX", WS_BORDER | LBS_NOINTEGRALHEIGHT, 51, 10, 60, 100, 50);
    const RECT nothing{0, 0, 0, 0};
    RECT rect{}, none{1, 1, 1, 1};
    GetRelativeRect(g_dialog, 51, rect);
    EXPECT_TRUE(Is("GetRelativeRect of the bordered list, inside its border", rect,
                   RECT{11, 61, 109, 109}));
    GetRelativeRect(nullptr, plain, none);
    EXPECT_TRUE(Is("GetRelativeRect without a dialog", none, nothing));
    GetRelativeRect(g_dialog, 4242, rect);
    EXPECT_TRUE(Is("GetRelativeRect of a missing control", rect, nothing));
    // -1 keeps what is; a bordered control takes its client rectangle as its new window
    // rectangle.
    LayoutCtl(g_dialog, 51, -1, -1, -1, -1);
    EXPECT_TRUE(Is("the bordered list after LayoutCtl keeping every edge", At(framed),
                   RECT{11, 61, 109, 109}));
    LayoutCtl(g_dialog, 50, 0, 5, 200, 40);
    EXPECT_TRUE(Is("the label after LayoutCtl to 0, 5, 200 by 40", At(plain), RECT{0, 5, 200, 45}));
    LayoutCtlByPos(g_dialog, plain, -1, 8, 150, -1);
    EXPECT_TRUE(
        Is("the label after LayoutCtlByPos of its top and width", At(plain), RECT{0, 8, 150, 45}));
    LayoutCtlByPos(g_dialog, 50, 3, -1, -1, 40);
    EXPECT_TRUE(Is("the label after LayoutCtlByPos of its left and height", At(plain),
                   RECT{3, 8, 150, 40}));
}

TEST_F(UiTest, SpinSitsAtTheListsRightEdge) {
    HWND list = Add(L"LISTBOX", LBS_NOINTEGRALHEIGHT, 60, 0, 0, 80, 20);
    HWND spin = Add(UPDOWN_CLASSW, 0, 61, 90, 0, 16, 20);
    const int spinWidth = At(spin).right - At(spin).left;  // borderless: its client width
    LayoutSpin(g_dialog, list, spin, 10, 40, 150, 24);
    EXPECT_TRUE(Is("the list after LayoutSpin", At(list), RECT{10, 40, 160 - spinWidth, 64}));
    EXPECT_TRUE(Is("the spin after LayoutSpin", At(spin), RECT{160 - spinWidth, 40, 160, 64}));
    ChangeSpinWidth(g_dialog, 60, 61, 2, 200);
    EXPECT_TRUE(Is("the list after ChangeSpinWidth", At(list), RECT{2, 40, 202 - spinWidth, 64}));
    EXPECT_TRUE(Is("the spin after ChangeSpinWidth", At(spin), RECT{202 - spinWidth, 40, 202, 64}));

    // Every child refitted to 4 pixels less than 200, for the scroll bar: a spin control after a
    // list box follows it (list boxes known by their class name in any case); one before any
    // list box is only widened.
    HWND lone = Add(UPDOWN_CLASSW, 0, 70, 100, 0, 16, 20);
    HWND label = Add(L"STATIC", 0, 71, 10, 30, 50, 16);
    ::MoveWindow(list, 10, 50, 60, 20, FALSE);
    ::MoveWindow(spin, 80, 52, 16, 22, FALSE);
    RelayoutChildCtrls fit(g_dialog, 200, true);
    for (HWND child : {lone, label, list, spin}) EXPECT_FALSE(fit(child));
    EXPECT_TRUE(Is("a spin before any list, refitted", At(lone), RECT{100, 0, 296, 20}));
    EXPECT_TRUE(Is("the label refitted to 200 with room for the scroll bar", At(label),
                   RECT{10, 30, 206, 46}));
    EXPECT_TRUE(Is("the list refitted", At(list), RECT{2, 52, 198 - spinWidth, 74}));
    EXPECT_EQ(At(spin).left, 198 - spinWidth) << "the spin control's left edge after the list";
    EXPECT_EQ(At(spin).top, 52) << "the spin control's top beside the list";
    RelayoutChildCtrls narrow(g_dialog, 120, false);
    narrow(label);
    EXPECT_TRUE(
        Is("the label refitted to 120 without the scroll bar", At(label), RECT{10, 30, 130, 46}));
}

// A list view column as the list shows it.
struct Column {
    std::wstring title;
    int width;
    bool operator==(const Column&) const = default;
};
void PrintTo(const Column& column, std::ostream* out) {
    *out << testing::PrintToString(column.title) << " " << column.width << " pixels wide";
}
Column ColumnOf(HWND list, int index) {
    wchar_t text[32] = L"";
    LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, 0, text, 32};
    ::SendMessageW(list, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    return {.title = text, .width = column.cx};
}

// The column may take the client width while the items fit one page.
TEST_F(UiTest, ListViewColumns) {
    HWND list = Add(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL, 40, 0, 0, 200, 150);
    EXPECT_EQ(InsertListColumn(list, 0, 120, IDS_COLUMN_FILE, LVCFMT_LEFT), 0);
    EXPECT_EQ(InsertListColumn(list, 1, 60, L"Result", LVCFMT_RIGHT), 1);
    EXPECT_EQ(InsertListColumn(nullptr, 0, 10, L"x", LVCFMT_LEFT), -1);
    EXPECT_TRUE(SetListColumnWidth(list, 1, 75));
    EXPECT_TRUE(Is("the column inserted by identifier", ColumnOf(list, 0),
                   Column{.title = L"File", .width = 120}));
    EXPECT_TRUE(Is("the column given its width by SetListColumnWidth", ColumnOf(list, 1),
                   Column{.title = L"Result", .width = 75}));
    const int page = static_cast<int>(::SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    EXPECT_EQ(GetListColumnWidth(list, page), 200);  // its client width: it has no border
    EXPECT_EQ(GetListColumnWidth(list, page + 1), 200 - ::GetSystemMetrics(SM_CXVSCROLL));
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

TEST_F(UiTest, ListItemsSelectedAndDeleted) {
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
    EXPECT_EQ(GetListItemLPARAM(list, 7), 0) << "GetListItemLPARAM of a missing item";
    EXPECT_TRUE(SetListSelectedItem(list, 2));
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMSTATE, 2, LVIS_FOCUSED), LVIS_FOCUSED)
        << "SetListSelectedItem left the item without the focus";
    for (int left = 3; left >= 0; --left) DelListItem(list, 0, 1);
    EXPECT_EQ(GetListSelectedItem(list), -1) << "GetListSelectedItem with no item left";
}

// A soft key as the user sees it.
struct SoftKey {
    bool exists = true;  // false: no key has the command
    std::wstring label;
    bool enabled = true;
    bool operator==(const SoftKey&) const = default;
};
void PrintTo(const SoftKey& key, std::ostream* out) {
    if (!key.exists) *out << "no key";
    if (key.exists) *out << testing::PrintToString(key.label) << (key.enabled ? "" : ", disabled");
}
SoftKey KeyOf(HWND bar, int command) {
    wchar_t text[64] = L"";
    TBBUTTONINFOW info{sizeof info, TBIF_TEXT | TBIF_STATE, 0, 0, 0, 0, 0, 0, text, 64};
    if (::SendMessageW(bar, TB_GETBUTTONINFOW, command, reinterpret_cast<LPARAM>(&info)) < 0)
        return {.exists = false};
    return {.label = text, .enabled = (info.fsState & TBSTATE_ENABLED) != 0};
}

// The marks of a menu item.
struct ItemMarks {
    bool checked, isDefault, grayed;
    bool operator==(const ItemMarks&) const = default;
};
void PrintTo(const ItemMarks& marks, std::ostream* out) {
    *out << (marks.checked ? "checked" : "not checked") << (marks.isDefault ? ", default" : "")
         << (marks.grayed ? ", grayed" : ", enabled");
}

// Where the menu bar lies below the dialog's client area, and what can be used.
struct BarPlace {
    int below;  // pixels from the client area's bottom to the bar's top
    bool barEnabled, dialogVisible;
    bool operator==(const BarPlace&) const = default;
};
void PrintTo(const BarPlace& place, std::ostream* out) {
    *out << "the bar " << place.below << " pixels below the client area, "
         << (place.barEnabled ? "enabled" : "disabled") << ", the dialog "
         << (place.dialogVisible ? "visible" : "hidden");
}

TEST_F(UiTest, MenuBarKeysMenusAndPlace) {
    SHMENUBARINFO info{sizeof info, g_dialog, 0, IDR_TEST_MENUBAR, ::GetModuleHandleW(nullptr)};
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND old = info.hwndMB, bar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
    EXPECT_FALSE(::IsWindow(old)) << "a new menu bar replaces the old one";
    EnableMBButton(g_dialog, IDM_DONE, FALSE);
    EXPECT_TRUE(Is("the Done key after EnableMBButton(FALSE)", KeyOf(bar, IDM_DONE),
                   SoftKey{.label = L"Done", .enabled = false}));
    EnableMBButton(g_dialog, IDM_DONE, TRUE);
    SwitchSoftKey(g_dialog, IDM_SCAN, ::GetModuleHandleW(nullptr), IDS_KEY_SCAN, IDM_DONE);
    EnableMBButton(g_dialog, IDM_DONE, FALSE);  // the old command no longer finds the key
    EXPECT_TRUE(Is("the key SwitchSoftKey gave the Scan command", KeyOf(bar, IDM_SCAN),
                   SoftKey{.label = L"Scan"}));
    EXPECT_TRUE(
        Is("the key of the Done command it had", KeyOf(bar, IDM_DONE), SoftKey{.exists = false}));

    // Menu items change their grey state only.
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(bar, SHCMBM_GETSUBMENU, 0, IDM_MENU));
    ::SetMenuDefaultItem(menu, IDM_CHECKED, FALSE);
    const auto marks = [menu] {
        const UINT state = ::GetMenuState(menu, IDM_CHECKED, MF_BYCOMMAND);
        return ItemMarks{.checked = (state & MF_CHECKED) != 0,
                         .isDefault = (state & MFS_DEFAULT) != 0,
                         .grayed = (state & MF_GRAYED) != 0};
    };
    EnableMBMenuItem(g_dialog, IDM_MENU, IDM_CHECKED, FALSE);
    EXPECT_TRUE(Is("the checked item after EnableMBMenuItem(FALSE)", marks(),
                   ItemMarks{.checked = true, .isDefault = true, .grayed = true}));
    EnableMBMenuItem(menu, IDM_CHECKED, TRUE);
    EXPECT_TRUE(Is("the checked item after EnableMBMenuItem(TRUE) of its menu", marks(),
                   ItemMarks{.checked = true, .isDefault = true, .grayed = false}));
    InsertMBMenuItem(g_dialog, IDM_MENU, 1, IDM_INSERTED, L"Inserted", MF_BYPOSITION | MF_STRING);
    RemoveMBMenuItem(g_dialog, IDM_MENU, IDM_PLAIN, MF_BYCOMMAND);
    RemoveMBMenuItem(g_dialog, IDM_DONE, 0, MF_BYPOSITION);  // a key without a menu: nothing
    std::vector<UINT> ids;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) ids.push_back(::GetMenuItemID(menu, i));
    EXPECT_TRUE(Is("the menu's item identifiers after inserting one and removing one", ids,
                   std::vector<UINT>{IDM_CHECKED, IDM_INSERTED, IDM_GRAYED}));

    // Hidden, the dialog takes its menu bar, disabled, one bar's height further down.
    RECT client{};
    ::GetClientRect(g_dialog, &client);
    ::MapWindowPoints(g_dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const int height = At(bar, nullptr).bottom - At(bar, nullptr).top;
    const auto place = [bar, bottom = client.bottom] {
        return BarPlace{.below = At(bar, nullptr).top - bottom,
                        .barEnabled = ::IsWindowEnabled(bar) != FALSE,
                        .dialogVisible = ::IsWindowVisible(g_dialog) != FALSE};
    };
    UI_HideWindow(g_dialog);
    EXPECT_TRUE(Is("after UI_HideWindow", place(),
                   BarPlace{.below = height, .barEnabled = false, .dialogVisible = false}));
    UI_ShowWindow(g_dialog);
    EXPECT_TRUE(Is("after UI_ShowWindow", place(),
                   BarPlace{.below = 0, .barEnabled = true, .dialogVisible = true}));
    // Any other command shows the dialog but leaves the bar disabled in place.
    UI_ShowWindow(g_dialog, SW_SHOWNA);
    EXPECT_TRUE(Is("after UI_ShowWindow(SW_SHOWNA)", place(),
                   BarPlace{.below = 0, .barEnabled = false, .dialogVisible = true}));

    // While the guard lives the dialog fits the work area above its menu bar; afterwards it has
    // the client width it had then and the height of a scrolling page.
    RECT work{}, inside{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT before = At(g_dialog, nullptr);
    auto guard = std::make_unique<AvoidScrollBar>(g_dialog);
    EXPECT_TRUE(Is("the dialog while AvoidScrollBar lives", At(g_dialog, nullptr),
                   RECT{before.left, before.top, before.left + work.right - work.left,
                        before.top + work.bottom - work.top - height}));
    ::GetClientRect(g_dialog, &inside);
    guard.reset();
    EXPECT_TRUE(Is("the dialog after AvoidScrollBar ended", At(g_dialog, nullptr),
                   RECT{before.left, before.top, before.left + inside.right, before.top + 640}));
    ::DestroyWindow(bar);
}

// A text set by identifier comes from the resource module; the device's task bar is told
// (WM_USER 4 posted) when a dialog's title changed. Each row starts from the dialog's title
// "kxtest" and an empty label.
struct TextRow {
    const char* call;
    void (*set)();
    bool ofLabel;  // the label's text changes, else the dialog's title
    std::wstring text;
    bool trayTold;
};

::testing::AssertionResult Sets(HWND tray, HWND label, const TextRow& row) {
    ::SetWindowTextW(g_dialog, L"kxtest");
    ::SetWindowTextW(label, L"");
    row.set();
    wchar_t text[64] = L"";
    ::GetWindowTextW(row.ofLabel ? label : g_dialog, text, 64);
    std::vector<WPARAM> told, expected;
    for (MSG msg; ::PeekMessageW(&msg, tray, WM_USER, WM_USER, PM_REMOVE);)
        told.push_back(msg.wParam);
    if (row.trayTold) expected.push_back(4);
    if (text == row.text && told == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << row.call << " left the text " << testing::PrintToString(std::wstring(text))
           << " and told the task bar " << testing::PrintToString(told) << ", expected "
           << testing::PrintToString(row.text) << " and " << testing::PrintToString(expected);
}

TEST_F(UiTest, TitlesAndTextsComeFromTheResourceModule) {
    WNDCLASSW cls{0, ::DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"tray"};
    ::RegisterClassW(&cls);
    HWND tray = ::CreateWindowW(L"tray", L"tray", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0);
    HWND label = Add(L"STATIC", 0, 20, 0, 0, 80, 20);
    // clang-format off
    const TextRow rows[] = {
        {.call = "UI_SetDlgTitle by identifier",  .set = [] { UI_SetDlgTitle(g_dialog, IDS_SETTINGS_TITLE); },
         .ofLabel = false, .text = L"Scan settings", .trayTold = true},
        {.call = "UI_SetDlgTitle of identifier 0", .set = [] { UI_SetDlgTitle(g_dialog, 0u); },
         .ofLabel = false, .text = L"kxtest",        .trayTold = false},
        {.call = "UI_SetDlgTitle of a text",       .set = [] { UI_SetDlgTitle(g_dialog, L"Given"); },
         .ofLabel = false, .text = L"Given",         .trayTold = true},
        {.call = "UI_SetDlgItemText",              .set = [] { UI_SetDlgItemText(g_dialog, 20, IDS_SCAN_LEVEL); },
         .ofLabel = true,  .text = L"Scan level:",   .trayTold = false},
    };
    // clang-format on
    for (const TextRow& row : rows) EXPECT_TRUE(Sets(tray, label, row));
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

// The list with the spin control after it, the label before them too; the spin control with the
// list before it.
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
    };
    // clang-format on
    for (const NeighboursRow& row : rows) {
        for (HWND child : {label, list, spin, other}) ::EnableWindow(child, row.startEnabled);
        row.enable();
        const Enabled got{.label = ::IsWindowEnabled(label) != FALSE,
                          .list = ::IsWindowEnabled(list) != FALSE,
                          .spin = ::IsWindowEnabled(spin) != FALSE,
                          .other = ::IsWindowEnabled(other) != FALSE};
        EXPECT_TRUE(Is(row.call, got, row.after));
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
    g_handed.reset();
    EXPECT_FALSE(ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_PRODUCT_NAME, commandLine));
    EXPECT_TRUE(
        Is("what ActivatePreviousInstance handed the first instance's dialog", g_handed,
           std::optional(Handed{
               .identifier = UI_COPYDATA_CMDLINE, .bytes = 28, .text = L"/scan \\My Docs"})));
    EXPECT_NE(g_handedAt, commandLine) << "the caller's own text was handed to the dialog";
    for (MSG msg; ::PeekMessageW(&msg, g_dialog, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
    EXPECT_EQ(ActivatePreviousInstance(9999, 0, L"", IDS_PRODUCT_NAME), nullptr);
    ::CloseHandle(first);
    // The mutex went with the first instance.
    EXPECT_TRUE(::CloseHandle(ActivatePreviousInstance(IDS_PRODUCT_NAME, IDS_SCANNING_TITLE, L"")));
    // Dialogs found and commanded by their titles.
    ::SetWindowTextW(g_dialog, L"Scanning");
    EXPECT_EQ(UI_FindWindow(IDS_SCANNING_TITLE), g_dialog);
    UI_ActiveWindow(g_dialog, true);
    UI_DestroyWindow(g_dialog, false);  // posted: arrives with the next messages
    UI_DestroyWindow(IDS_SCANNING_TITLE, true);
    UI_DestroyWindow(0u, true);                // no identifier: nothing
    UI_DestroyWindow(IDS_PRODUCT_NAME, true);  // no such dialog: nothing
    for (MSG msg; ::PeekMessageW(&msg, g_dialog, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
    EXPECT_TRUE(Is("the commands the dialog received", g_appCodes,
                   std::vector<WPARAM>{UI_CMD_ACTIVATE, UI_CMD_CLOSE, UI_CMD_ACTIVATE,
                                       UI_CMD_ACTIVATE, UI_CMD_CLOSE, UI_CMD_CLOSE}));
}

}  // namespace
