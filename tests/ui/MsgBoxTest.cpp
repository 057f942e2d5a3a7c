// Message boxes on real windows: each box is read and answered by a catcher on this thread.
#include <kxcommon/UI.h>

#include "DeviceFixture.h"
#include "Strings.h"
#include "UiTestSupport.h"

#include <string>

namespace {

using kxtest::BoxCatcher;

class MsgBoxTest : public kxtest::DeviceTest {
protected:
    // The handset's screen: portrait (240 x 320) or landscape (320 x 240).
    void StageScreen(DWORD width, DWORD height) {
        kxtest::StageProfileNumber(L"ScreenWidth", width);
        kxtest::StageProfileNumber(L"ScreenHeight", height);
    }
    // A body of `length` characters whose head and tail are recognisable.
    static std::wstring Body(size_t length) {
        std::wstring text;
        for (size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(L'a' + i % 26);
        return text;
    }
    static std::wstring Shortened(const std::wstring& body, size_t limit) {
        return body.substr(0, limit - 20) + L"..." + body.substr(body.size() - 20);
    }
};

TEST_F(MsgBoxTest, ResourceFormsShowTitleAndFormattedBody) {
    BoxCatcher catcher(IDOK);
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_SCAN_DONE, MB_OK, 12, 3), IDOK);
    // No title identifier: the platform's untitled box ("Error").
    EXPECT_EQ(UI_MsgBox(nullptr, 0u, IDS_VIRUS_FOUND, MB_OK, L"EICAR"), IDOK);
    // A title identifier without text gives an empty title.
    EXPECT_EQ(UI_MsgBox(nullptr, 9999u, IDS_REALTIME_ON, MB_OK), IDOK);
    ASSERT_EQ(catcher.boxes().size(), 3u);
    EXPECT_EQ(catcher.boxes()[0].title, L"Scutara");
    EXPECT_EQ(catcher.boxes()[0].body, L"Scan finished: 12 files scanned, 3 infected.");
    EXPECT_EQ(catcher.boxes()[1].title, L"Error");
    EXPECT_EQ(catcher.boxes()[1].body, L"Virus found: EICAR");
    EXPECT_EQ(catcher.boxes()[2].title, L"");
    EXPECT_EQ(catcher.boxes()[2].body, L"Real-time scanning is on.");
}

TEST_F(MsgBoxTest, GivenInstanceAndGivenTexts) {
    HMODULE res = ::LoadLibraryW(L"KXSC_SP_Res.dll");
    ASSERT_NE(res, nullptr);
    BoxCatcher catcher(IDNO);
    EXPECT_EQ(UI_MsgBox(nullptr, res, IDS_PRODUCT_NAME, IDS_CONFIRM_DELETE, MB_YESNO, L"a.txt"),
              IDNO);
    EXPECT_EQ(UI_MsgBox(nullptr, L"Title", L"%d-%s", MB_YESNO, 7, L"x"), IDNO);
    EXPECT_EQ(UI_MsgBox(nullptr, static_cast<LPCWSTR>(nullptr), L"plain", MB_OK), IDNO);
    ASSERT_EQ(catcher.boxes().size(), 3u);
    EXPECT_EQ(catcher.boxes()[0].title, L"Scutara");
    EXPECT_EQ(catcher.boxes()[0].body, L"Delete a.txt?");
    EXPECT_EQ(catcher.boxes()[0].buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(catcher.boxes()[1].title, L"Title");
    EXPECT_EQ(catcher.boxes()[1].body, L"7-x");
    EXPECT_EQ(catcher.boxes()[2].body, L"plain");
    ::FreeLibrary(res);
}

TEST_F(MsgBoxTest, MissingFormatOrEmptyBodyShowsNoBox) {
    HMODULE res = ::LoadLibraryW(L"KXSC_SP_Res.dll");
    ASSERT_NE(res, nullptr);
    BoxCatcher catcher(IDOK);
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, 9999u, MB_OK), 0);
    EXPECT_EQ(UI_MsgBox(nullptr, res, IDS_PRODUCT_NAME, 9999u, MB_OK), 0);
    EXPECT_EQ(UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, 9999u, MB_OK), 0);
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, L""), 0);
    EXPECT_EQ(UI_MsgBox(nullptr, L"Title", static_cast<LPCWSTR>(nullptr), MB_OK), 0);
    EXPECT_TRUE(catcher.boxes().empty());
    ::FreeLibrary(res);
}

TEST_F(MsgBoxTest, OverlongBodyIsCutAt1023Characters) {
    const std::wstring body = Body(1500);
    BoxCatcher catcher(IDOK);
    EXPECT_EQ(UI_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, body.c_str()), IDOK);
    EXPECT_EQ(UI_MsgBox(nullptr, L"T", L"%s", MB_OK, body.c_str()), IDOK);
    // Trimming works on the cut body: its head, "..." and the last 20 of the 1023.
    EXPECT_EQ(UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, body.c_str()), IDOK);
    ASSERT_EQ(catcher.boxes().size(), 3u);
    EXPECT_EQ(catcher.boxes()[0].body, body.substr(0, 1023));
    EXPECT_EQ(catcher.boxes()[1].body, body.substr(0, 1023));
    EXPECT_EQ(catcher.boxes()[2].body, Shortened(body.substr(0, 1023), 256));
}

TEST_F(MsgBoxTest, TrimLimitsOnPortraitScreen) {
    StageScreen(240, 320);
    ASSERT_FALSE(IsWideMode());
    struct Case {
        size_t length;
        UINT style;
        size_t limit;  // 0: shown whole
    } const cases[] = {
        {255, MB_OK, 0},      {256, MB_OK, 256}, {199, MB_YESNO, 0},
        {200, MB_YESNO, 200}, {200, MB_OK, 0},   {300, MB_OKCANCEL, 200},
    };
    for (const Case& c : cases) {
        const std::wstring body = Body(c.length);
        BoxCatcher catcher(IDOK);
        UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, c.style, body.c_str());
        ASSERT_EQ(catcher.boxes().size(), 1u) << c.length;
        const std::wstring expected = c.limit ? Shortened(body, c.limit) : body;
        EXPECT_EQ(catcher.boxes()[0].body, expected) << c.length << " style " << c.style;
        EXPECT_EQ(catcher.boxes()[0].title, L"Scutara");
        if (c.limit) {
            EXPECT_EQ(catcher.boxes()[0].body.size(), c.limit + 3);
        }
    }
}

TEST_F(MsgBoxTest, TrimLimitsAre20LessOnWideScreen) {
    StageScreen(320, 240);
    ASSERT_TRUE(IsWideMode());
    const std::wstring ok235 = Body(235), ok236 = Body(236), yes179 = Body(179), yes180 = Body(180);
    BoxCatcher catcher(IDYES);
    UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, ok235.c_str());
    UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_OK, ok236.c_str());
    UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_YESNO, yes179.c_str());
    EXPECT_EQ(UI_Trim_MsgBox(nullptr, IDS_PRODUCT_NAME, IDS_MESSAGE, MB_YESNO, yes180.c_str()),
              IDYES);
    ASSERT_EQ(catcher.boxes().size(), 4u);
    EXPECT_EQ(catcher.boxes()[0].body, ok235);
    EXPECT_EQ(catcher.boxes()[1].body, Shortened(ok236, 236));
    EXPECT_EQ(catcher.boxes()[2].body, yes179);
    EXPECT_EQ(catcher.boxes()[3].body, Shortened(yes180, 180));
}

TEST_F(MsgBoxTest, AddStringToListBox) {
    kxtest::TestDialog dialog;
    HWND list = dialog.AddChild(L"LISTBOX", 0, 10, 0, 0, 100, 100);
    ASSERT_NE(list, nullptr);
    UI_AddStringToLB(list, 0u, IDS_LEVEL_LOW, 0u);
    EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
    UI_AddStringToLB(list, IDS_LEVEL_LOW, IDS_LEVEL_NORMAL, 9999u, IDS_LEVEL_HIGH, 0u);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 4);
    const wchar_t* expected[] = {L"Low", L"Normal", L"", L"High"};
    for (int i = 0; i < 4; ++i) {
        wchar_t text[64] = L"?";
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, expected[i]) << i;
    }
    UI_AddStringToLB(nullptr, IDS_LEVEL_LOW, 0u);  // nothing to add to, and no fault
}

TEST_F(MsgBoxTest, WideModeFollowsTheScreenHeight) {
    StageScreen(240, 320);
    EXPECT_FALSE(IsWideMode());
    StageScreen(320, 240);
    EXPECT_TRUE(IsWideMode());
    StageScreen(480, 319);
    EXPECT_TRUE(IsWideMode());
}

}  // namespace
