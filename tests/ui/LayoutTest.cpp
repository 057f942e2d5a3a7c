// Layout of real controls in a dialog: rules, lists with their spin controls, refitting every
// child to a width, and the dialog sized to the screen.
#include <kxcommon/UILayout.h>
#include <wince/wince.h>

#include "DeviceFixture.h"
#include "UiTestIds.h"
#include "UiTestSupport.h"

namespace {

class LayoutTest : public kxtest::DeviceTest {
protected:
    // The control's window rectangle in the dialog's client coordinates.
    RECT Placed(HWND control) const {
        RECT r = kxtest::WindowRect(control);
        ::MapWindowPoints(nullptr, dialog_.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static void ExpectRect(const RECT& r, int left, int top, int right, int bottom) {
        EXPECT_EQ(r.left, left);
        EXPECT_EQ(r.top, top);
        EXPECT_EQ(r.right, right);
        EXPECT_EQ(r.bottom, bottom);
    }
    kxtest::TestDialog dialog_{L"layout", 300, 300};
};

TEST_F(LayoutTest, RulesKeepWhatIsMinusOne) {
    const RECT current{10, 20, 110, 70}, client{0, 0, 240, 200};
    ExpectRect(GeneralAdjustCtlLayout(-1, -1, -1, -1)(current, client), 10, 20, 110, 70);
    ExpectRect(GeneralAdjustCtlLayout(5, -1, 50, -1)(current, client), 5, 20, 55, 70);
    ExpectRect(GeneralAdjustCtlLayout(-1, 0, -1, 10)(current, client), 10, 0, 110, 10);
    ExpectRect(GeneralAdjustCtlLayoutByPos(-1, -1, -1, -1)(current, client), 10, 20, 110, 70);
    ExpectRect(GeneralAdjustCtlLayoutByPos(2, -1, 238, -1)(current, client), 2, 20, 238, 70);
}

TEST_F(LayoutTest, ControlsWithAndWithoutBorder) {
    HWND plain = dialog_.AddChild(L"STATIC", 0, 50, 10, 20, 100, 30);
    HWND framed =
        dialog_.AddChild(L"LISTBOX", WS_BORDER | LBS_NOINTEGRALHEIGHT, 51, 10, 60, 100, 50);
    RECT relative{};
    GetRelativeRect(dialog_.hwnd(), plain, relative);
    ExpectRect(relative, 10, 20, 110, 50);
    GetRelativeRect(dialog_.hwnd(), 51, relative);
    ExpectRect(relative, 11, 61, 109, 109);  // inside the one-pixel border
    relative = RECT{1, 1, 1, 1};
    GetRelativeRect(nullptr, plain, relative);
    ExpectRect(relative, 0, 0, 0, 0);
    relative = RECT{1, 1, 1, 1};
    GetRelativeRect(dialog_.hwnd(), 4242, relative);
    ExpectRect(relative, 0, 0, 0, 0);

    LayoutCtl(dialog_.hwnd(), plain, -1, -1, -1, -1);
    ExpectRect(Placed(plain), 10, 20, 110, 50);
    // A bordered control takes its client rectangle as its new window rectangle.
    LayoutCtl(dialog_.hwnd(), 51, -1, -1, -1, -1);
    ExpectRect(Placed(framed), 11, 61, 109, 109);

    LayoutCtl(dialog_.hwnd(), 50, 0, -1, 200, -1);
    ExpectRect(Placed(plain), 0, 20, 200, 50);
    LayoutCtlByPos(dialog_.hwnd(), plain, -1, 5, 150, -1);
    ExpectRect(Placed(plain), 0, 5, 150, 50);
    LayoutCtlByPos(dialog_.hwnd(), 50, 3, -1, -1, 40);
    ExpectRect(Placed(plain), 3, 5, 150, 40);
}

TEST_F(LayoutTest, SpinSitsAtTheListsRightEdge) {
    HWND list = dialog_.AddChild(L"LISTBOX", LBS_NOINTEGRALHEIGHT, 60, 0, 0, 80, 20);
    HWND spin = dialog_.AddChild(UPDOWN_CLASSW, 0, 61, 90, 0, 16, 20);
    RECT spinClient{};
    ::GetClientRect(spin, &spinClient);
    const int spinWidth = spinClient.right;
    ASSERT_GT(spinWidth, 0);

    LayoutSpin(dialog_.hwnd(), list, spin, 10, 40, 150, 24);
    ExpectRect(Placed(list), 10, 40, 160 - spinWidth, 64);
    ExpectRect(Placed(spin), 160 - spinWidth, 40, 160, 64);
    EXPECT_EQ(Placed(spin).left, Placed(list).right);

    ChangeSpinWidth(dialog_.hwnd(), 60, 61, 2, 200);
    ExpectRect(Placed(list), 2, 40, 202 - spinWidth, 64);
    ExpectRect(Placed(spin), 202 - spinWidth, 40, 202, 64);

    // Over a bordered list the spin control moves onto the list's border.
    HWND framed =
        dialog_.AddChild(L"LISTBOX", WS_BORDER | LBS_NOINTEGRALHEIGHT, 62, 0, 100, 80, 20);
    HWND framedSpin = dialog_.AddChild(UPDOWN_CLASSW, 0, 63, 90, 100, 16, 20);
    ChangeSpinWidth(dialog_.hwnd(), framed, framedSpin, 2, 200);
    EXPECT_EQ(Placed(framedSpin).left, 202 - spinWidth - 1);
    EXPECT_EQ(Placed(framed).right, 202 - spinWidth);
    EXPECT_EQ(Placed(framedSpin).top, 100);
}

TEST_F(LayoutTest, ChildrenRefittedToOneWidth) {
    HWND lone = dialog_.AddChild(UPDOWN_CLASSW, 0, 70, 100, 0, 16, 20);  // before any list box
    HWND label = dialog_.AddChild(L"STATIC", 0, 71, 10, 30, 50, 16);
    HWND list = dialog_.AddChild(L"LISTBOX", LBS_NOINTEGRALHEIGHT, 72, 10, 50, 60, 20);
    HWND spin = dialog_.AddChild(UPDOWN_CLASSW, 0, 73, 80, 52, 16, 22);
    RECT spinClient{};
    ::GetClientRect(spin, &spinClient);

    RelayoutChildCtrls fit(dialog_.hwnd(), 200, true);
    for (HWND child = ::GetWindow(dialog_.hwnd(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        EXPECT_FALSE(fit(child));

    // Fitted 4 pixels narrower than 200, for the scroll bar.
    ExpectRect(Placed(lone), 100, 0, 296, 20);
    ExpectRect(Placed(label), 10, 30, 206, 46);
    ExpectRect(Placed(list), 2, 52, 198 - spinClient.right, 74);
    EXPECT_EQ(Placed(spin).left, 198 - spinClient.right);
    EXPECT_EQ(Placed(spin).top, 52);

    RelayoutChildCtrls wide(dialog_.hwnd(), 120, false);
    wide(label);
    EXPECT_EQ(Placed(label).right - Placed(label).left, 120);
}

TEST_F(LayoutTest, DialogFitsTheWorkAreaAboveItsMenuBar) {
    HWND bar = dialog_.AddMenuBar(IDR_TEST_MENUBAR);
    ASSERT_NE(bar, nullptr);
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const RECT barRect = kxtest::WindowRect(bar);
    const RECT before = kxtest::WindowRect(dialog_.hwnd());
    RECT client{};
    {
        AvoidScrollBar guard(dialog_.hwnd());
        const RECT r = kxtest::WindowRect(dialog_.hwnd());
        EXPECT_EQ(r.left, before.left);
        EXPECT_EQ(r.top, before.top);
        EXPECT_EQ(r.right - r.left, work.right - work.left);
        EXPECT_EQ(r.bottom - r.top, (work.bottom - work.top) - (barRect.bottom - barRect.top));
        ::GetClientRect(dialog_.hwnd(), &client);
    }
    // Afterwards: the client width it had, and the height of a scrolling page.
    const RECT after = kxtest::WindowRect(dialog_.hwnd());
    EXPECT_EQ(after.right - after.left, client.right);
    EXPECT_EQ(after.bottom - after.top, 640);
    EXPECT_EQ(after.left, before.left);
}

TEST_F(LayoutTest, PortraitTurnsAStagedLandscapeScreen) {
    kxtest::StageProfileNumber(L"ScreenWidth", 320);
    kxtest::StageProfileNumber(L"ScreenHeight", 240);
    EXPECT_EQ(ChangeToPortrait(), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(kxtest::ProfileNumber(L"ScreenWidth", 0), 240u);
    EXPECT_EQ(kxtest::ProfileNumber(L"ScreenHeight", 0), 320u);
    EXPECT_EQ(ChangeToPortrait(), DISP_CHANGE_SUCCESSFUL);  // already portrait: unchanged
    EXPECT_EQ(kxtest::ProfileNumber(L"ScreenWidth", 0), 240u);
}

}  // namespace
