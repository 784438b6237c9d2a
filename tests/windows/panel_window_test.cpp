// The panel window: its class and style, the slide animation and its
// timing in ticks, the hover rule, closing and sending away.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "panels/library_module.h"
#include "panels/panel_action.h"
#include "panels/slip_mess_panel.h"
#include "panels/stat_mess_panel.h"
#include "support/dll_under_test.h"
#include "support/panel_fixture.h"
#include "support/panel_support.h"

namespace {

class PanelWindow : public PanelTest {};

TipContent TextTip() {
    TipContent content;
    content.title = "Title";
    content.text = "A tip to read";
    return content;
}

std::string ClassOf(HWND window) {
    char name[64] = {0};
    GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(PanelWindow, CreateMakesAHiddenTopmostToolWindowOfItsOwnClass) {
    CSlipMessPanel sliding;
    CStatMessPanel stat;
    struct Case {
        CMessPanel* panel;
        const char* className;
    } cases[] = {{&sliding, "slipzemtraMessPanelClass"}, {&stat, "statzemtraMessPanelClass"}};
    for (const Case& c : cases) {
        ASSERT_EQ(c.panel->Create(), 1) << c.className;
        HWND w = c.panel->Window();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(ClassOf(w), c.className);
        EXPECT_FALSE(IsWindowVisible(w));
        const LONG_PTR ex = GetWindowLongPtrA(w, GWL_EXSTYLE);
        EXPECT_EQ(ex & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
        const LONG_PTR style = GetWindowLongPtrA(w, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_VISIBLE));
        const RECT r = WindowRect(w);
        EXPECT_EQ(r.right - r.left, 260);
        EXPECT_EQ(r.bottom - r.top, 160);
        // The class belongs to the module the panel code lives in.
        EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetClassLongPtrA(w, GCLP_HMODULE)), LibraryModule());
        LOGBRUSH brush{};
        GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(w, GCLP_HBRBACKGROUND)), sizeof brush, &brush);
        EXPECT_EQ(brush.lbColor, RGB(199, 210, 229));
        EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(c.panel));
    }
}

// The classes used to stay registered after a stop, so the next start in
// the same process failed to register them and never showed a panel.
TEST_F(PanelWindow, ASecondStartInTheSameProcessShowsPanelsAgain) {
    for (int start = 0; start < 3; ++start) {
        CSlipMessPanel sliding;
        CStatMessPanel stat;
        ASSERT_EQ(sliding.Create(), 1) << start;
        ASSERT_EQ(stat.Create(), 1) << start;
        EXPECT_EQ(ShowContent(sliding, TextTip(), 0), 1);
        EXPECT_TRUE(IsWindowVisible(sliding.Window()));
        sliding.Destroy();
        stat.Destroy();
        EXPECT_EQ(sliding.Window(), nullptr);
    }
    // A class still registered by a live panel of the same kind is shared.
    CSlipMessPanel first, second;
    EXPECT_EQ(first.Create(), 1);
    EXPECT_EQ(second.Create(), 1);
    first.Destroy();
    EXPECT_EQ(ShowContent(second, TextTip(), 0), 1);
    EXPECT_TRUE(IsWindowVisible(second.Window()));
}

TEST_F(PanelWindow, RisesInElevenTicksToTheWorkAreasCornerStaysAndSinksInSeventeen) {
    for (int stay : {1, 2}) {
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        const RECT work = WorkArea();
        ASSERT_EQ(ShowContent(panel, TextTip(), stay), 1);
        RECT r = WindowRect(panel.Window());
        EXPECT_EQ(r.top, work.bottom) << "starts just below the work area";
        EXPECT_EQ(r.right, work.right);
        EXPECT_EQ(panel.State(), PANEL_SLIDING_IN);

        EXPECT_EQ(RaisePanel(panel), 11);
        r = WindowRect(panel.Window());
        EXPECT_EQ(r.left, work.right - 260);
        EXPECT_EQ(r.top, work.bottom - 160);
        EXPECT_EQ(r.right, work.right);
        EXPECT_EQ(r.bottom, work.bottom);
        EXPECT_EQ(panel.State(), PANEL_SHOWN);

        // s seconds stay: the (50 s + 1)-th tick in PANEL_SHOWN leaves it.
        Tick(panel, 50 * stay);
        EXPECT_EQ(panel.State(), PANEL_SHOWN) << stay;
        Tick(panel);
        EXPECT_EQ(panel.State(), PANEL_SLIDING_OUT) << stay;

        Tick(panel, 16);
        EXPECT_TRUE(IsWindowVisible(panel.Window()));
        EXPECT_EQ(WindowRect(panel.Window()).top, work.bottom);
        Tick(panel);
        EXPECT_FALSE(IsWindowVisible(panel.Window()));
        EXPECT_EQ(panel.State(), PANEL_HIDDEN);
    }
}

TEST_F(PanelWindow, WithoutAStayTheSlidingPanelAndTheStaticPanelStayUp) {
    CSlipMessPanel sliding;
    CStatMessPanel stat;
    ASSERT_EQ(sliding.Create(), 1);
    ASSERT_EQ(stat.Create(), 1);
    ASSERT_EQ(ShowContent(sliding, TextTip(), 0), 1);
    ASSERT_EQ(ShowContent(stat, TextTip(), 5), 1);
    RaisePanel(sliding);
    RaisePanel(stat);
    Tick(sliding, 600);
    Tick(stat, 600);
    EXPECT_EQ(sliding.State(), PANEL_SHOWN);
    EXPECT_EQ(sliding.StayCounter(), 1);
    // The static panel never counts: it holds in PANEL_SLIDING_IN.
    EXPECT_EQ(stat.State(), PANEL_SLIDING_IN);
    EXPECT_EQ(stat.CurrentTop(), stat.ShownTop());
    EXPECT_TRUE(IsWindowVisible(sliding.Window()));
    EXPECT_TRUE(IsWindowVisible(stat.Window()));
}

TEST_F(PanelWindow, HoverBringsASinkingPanelBackAndLeavingRestartsTheWholeStay) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    ASSERT_EQ(ShowContent(panel, TextTip(), 1), 1);
    RaisePanel(panel);
    Tick(panel, 51);
    ASSERT_EQ(panel.State(), PANEL_SLIDING_OUT);
    Tick(panel, 5);
    EXPECT_EQ(panel.CurrentTop(), panel.ShownTop() + 50);

    SendMessageA(panel.Window(), WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(panel.State(), PANEL_SLIDING_IN);
    EXPECT_FALSE(panel.PointerOutside());
    EXPECT_EQ(RaisePanel(panel), 4);
    // Under the pointer it holds without counting.
    Tick(panel, 200);
    EXPECT_EQ(panel.State(), PANEL_SLIDING_IN);
    EXPECT_EQ(panel.CurrentTop(), panel.ShownTop());

    SendMessageA(panel.Window(), WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(panel.PointerOutside());
    Tick(panel);
    EXPECT_EQ(panel.State(), PANEL_SHOWN);
    EXPECT_EQ(panel.StayCounter(), 0);
    Tick(panel, 50);
    EXPECT_EQ(panel.State(), PANEL_SHOWN);
    Tick(panel);
    EXPECT_EQ(panel.State(), PANEL_SLIDING_OUT);

    // A hover while shown stops the count as well.
    SendMessageA(panel.Window(), WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(panel.State(), PANEL_SLIDING_IN);
}

TEST_F(PanelWindow, SentAwayItSinksAndThePointerNoLongerHoldsIt) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    ASSERT_EQ(ShowContent(panel, TextTip(), 0), 1);
    RaisePanel(panel);
    SendMessageA(panel.Window(), WM_PANEL_ACTION, kPanelActionLeave, 0);
    EXPECT_EQ(panel.State(), PANEL_LEAVING);
    Tick(panel, 3);
    SendMessageA(panel.Window(), WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(panel.State(), PANEL_LEAVING);
    Tick(panel, 13);
    EXPECT_TRUE(IsWindowVisible(panel.Window()));
    Tick(panel);
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
}

TEST_F(PanelWindow, TheCloseButtonHidesAtOnceAndTheNextTipRisesFromBelowAgain) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    ASSERT_EQ(ShowContent(panel, TextTip(), 0), 1);
    RaisePanel(panel);
    const LPARAM closeBox = MAKELPARAM(243, 11);
    SendMessageA(panel.Window(), WM_MOUSEMOVE, 0, closeBox);
    SendMessageA(panel.Window(), WM_LBUTTONDOWN, MK_LBUTTON, closeBox);
    SendMessageA(panel.Window(), WM_LBUTTONUP, 0, closeBox);
    PumpMessages(50);
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    EXPECT_EQ(panel.State(), PANEL_SHOWN) << "a close leaves the state as it was";

    ASSERT_EQ(ShowContent(panel, TextTip(), 0), 1);
    EXPECT_EQ(panel.State(), PANEL_SLIDING_IN);
    EXPECT_EQ(WindowRect(panel.Window()).top, WorkArea().bottom);
    EXPECT_EQ(RaisePanel(panel), 11);
}

TEST_F(PanelWindow, APressOnOneElementAndAReleaseElsewhereClicksNothing) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    ASSERT_EQ(ShowContent(panel, TextTip(), 0), 1);
    RaisePanel(panel);
    SendMessageA(panel.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(243, 11));
    SendMessageA(panel.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(243, 11));
    SendMessageA(panel.Window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 80));
    SendMessageA(panel.Window(), WM_LBUTTONUP, 0, MAKELPARAM(100, 80));
    PumpMessages(50);
    EXPECT_TRUE(IsWindowVisible(panel.Window()));
    EXPECT_FALSE(panel.Buttons().CloseButton().IsPressed());
}

TEST_F(PanelWindow, PanelActionsRunOnlyOnTheButtonsOfTheirOwnPanel) {
    CSlipMessPanel panel, other;
    ASSERT_EQ(panel.Create(), 1);
    EXPECT_TRUE(panel.OwnsButton(&panel.Buttons().CloseButton()));
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(panel.OwnsButton(&panel.Buttons().Button(k)));
    EXPECT_TRUE(panel.OwnsButton(&panel.Picture().Spare()));
    EXPECT_TRUE(panel.OwnsButton(&panel.Text().Spare()));
    EXPECT_FALSE(panel.OwnsButton(nullptr));
    EXPECT_FALSE(panel.OwnsButton(&other.Buttons().Button(0)));
    // Another program may post the message with any lParam at all.
    PostMessageA(panel.Window(), WM_PANEL_ACTION, 0, 0x12345678);
    PumpMessages(20);
    EXPECT_EQ(panel.State(), PANEL_HIDDEN);
}

// Only the window's own thread can destroy it: from another, the window is
// left to default handling and never reaches the deleted panel.
TEST_F(PanelWindow, DestroyFromAnotherThreadDetachesTheWindow) {
    HWND window = nullptr;
    {
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        window = panel.Window();
        LineCapture lines;
        std::thread([&panel] { panel.Destroy(); }).join();
        EXPECT_TRUE(lines.Contains("CMessPanel DestroyWindow failed, window detached"));
        EXPECT_EQ(panel.Window(), nullptr);
    }
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
    SendMessageA(window, WM_TIMER, TIMER_POLL, 0);
    SendMessageA(window, WM_PANEL_ACTION, kPanelActionLeave, 0);
    EXPECT_TRUE(DestroyWindow(window));
    UnregisterClassA("slipzemtraMessPanelClass", LibraryModule());
}

TEST_F(PanelWindow, TheRealPointerRestingOnThePanelHoldsItAndLeavingLetsItGo) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    ASSERT_EQ(ShowContent(panel, TextTip(), 1), 1);
    RaisePanel(panel);
    ASSERT_EQ(panel.State(), PANEL_SHOWN);
    const RECT r = WindowRect(panel.Window());
    SetCursorPos(r.left + 60, r.top + 80);
    const DWORD start = GetTickCount();
    while (panel.PointerOutside() && GetTickCount() - start < 3000) PumpMessages(20);
    EXPECT_FALSE(panel.PointerOutside()) << "no hover reported";
    EXPECT_EQ(panel.State(), PANEL_SLIDING_IN);
    SetCursorPos(10, 10);
    while (!panel.PointerOutside() && GetTickCount() - start < 6000) PumpMessages(20);
    EXPECT_TRUE(panel.PointerOutside()) << "no leave reported";
}

TEST_F(PanelWindow, OnItsOwnTimersAOneSecondTipRisesStaysAndSinks) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    ASSERT_EQ(ShowContent(panel, TextTip(), 1), 1);
    PumpMessages(600);
    EXPECT_TRUE(IsWindowVisible(panel.Window()));
    EXPECT_EQ(WindowRect(panel.Window()).top, WorkArea().bottom - 160);
    const DWORD start = GetTickCount();
    while (IsWindowVisible(panel.Window()) && GetTickCount() - start < 8000) PumpMessages(50);
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    EXPECT_EQ(panel.State(), PANEL_HIDDEN);
}

}  // namespace
