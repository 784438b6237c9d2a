// The panel window: its class and style, the slide in ticks, the hover
// rule, closing and sending away, and a destroy from another thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "panels/library_module.h"
#include "panels/panel_action.h"
#include "panels/stat_mess_panel.h"
#include "support/panel_support.h"

namespace {

using PanelWindow = PanelTest;
const TipContent kTip{1, "Title", "", "A tip to read"};

// A hidden topmost popup of the panel's size and background. Without a
// stay the sliding panel stays up; the static panel never counts its stay
// at all: it holds in PANEL_SLIDING_IN.
TEST_F(PanelWindow, RisesInElevenTicksToTheCornerStaysFiftyTicksASecondAndSinksInSeventeen) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    for (int stay : {1, 2, 0, -5}) {
        SCOPED_TRACE(stay);
        std::unique_ptr<CMessPanel> panel(stay < 0 ? static_cast<CMessPanel*>(new CStatMessPanel) : new CSlipMessPanel);
        ASSERT_EQ(panel->Create(), 1);
        const HWND w = panel->Window();
        LOGBRUSH brush{};
        GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(w, GCLP_HBRBACKGROUND)), sizeof brush, &brush);
        EXPECT_EQ(GetWindowLongPtrA(w, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
        EXPECT_EQ(GetWindowLongPtrA(w, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_VISIBLE), WS_POPUP);
        EXPECT_EQ(brush.lbColor, RGB(199, 210, 229));
        ASSERT_EQ(Show(*panel, kTip, stay < 0 ? -stay : stay), 1);
        EXPECT_EQ(WindowRect(w).top, work.bottom);
        EXPECT_EQ(RaisePanel(*panel), 11);
        const RECT r = WindowRect(w);
        EXPECT_TRUE(r.right == work.right && r.bottom == work.bottom && r.right - r.left == 260 && r.top == work.bottom - 160);
        Tick(*panel, stay > 0 ? 50 * stay : 600);
        EXPECT_EQ(panel->State(), stay < 0 ? PANEL_SLIDING_IN : PANEL_SHOWN);
        if (stay <= 0) continue;
        Tick(*panel, 17);
        EXPECT_TRUE(IsWindowVisible(w));
        Tick(*panel);
        EXPECT_TRUE(!IsWindowVisible(w) && panel->State() == PANEL_HIDDEN);
    }
}

TEST_F(PanelWindow, HoverBringsASinkingPanelBackLeavingRestartsTheStayAndSentAwayIgnoresIt) {
    ASSERT_EQ(Show(panel_, kTip, 1), 1);
    RaisePanel(panel_);
    Tick(panel_, 56);
    ASSERT_EQ(panel_.CurrentTop(), panel_.ShownTop() + 50);
    SendMessageA(panel_.Window(), WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(RaisePanel(panel_), 4);
    Tick(panel_, 200);
    EXPECT_EQ(panel_.State(), PANEL_SLIDING_IN) << "held under the pointer";
    SendMessageA(panel_.Window(), WM_MOUSELEAVE, 0, 0);
    Tick(panel_, 51);
    EXPECT_EQ(panel_.State(), PANEL_SHOWN) << "the whole stay again";
    Tick(panel_);
    EXPECT_EQ(panel_.State(), PANEL_SLIDING_OUT);
    SendMessageA(panel_.Window(), WM_PANEL_ACTION, kPanelActionLeave, 0);
    SendMessageA(panel_.Window(), WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(panel_.State(), PANEL_LEAVING);
}

// Only the window's own thread can destroy it: from another, the window is
// left to default handling and never reaches the deleted panel.
TEST_F(PanelWindow, DestroyFromAnotherThreadDetachesTheWindow) {
    const HWND window = panel_.Window();
    LineCapture lines;
    std::thread([this] { panel_.Destroy(); }).join();
    EXPECT_TRUE(lines.Contains("CMessPanel DestroyWindow failed, window detached"));
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
    SendMessageA(window, WM_TIMER, TIMER_POLL, 0);
    SendMessageA(window, WM_PANEL_ACTION, kPanelActionLeave, 0);
    EXPECT_TRUE(DestroyWindow(window));
    UnregisterClassA("slipzemtraMessPanelClass", LibraryModule());
}

TEST_F(PanelWindow, OnItsOwnTimersItRisesHoldsUnderTheRealPointerAndSinksWhenItLeaves) {
    ASSERT_EQ(Show(panel_, kTip, 1), 1);
    ASSERT_TRUE(PumpUntil([&] { return panel_.State() == PANEL_SHOWN; }, 3000));
    const RECT r = WindowRect(panel_.Window());
    SetCursorPos(r.left + 60, r.top + 80);
    EXPECT_TRUE(PumpUntil([&] { return !panel_.PointerOutside(); }, 3000)) << "no hover";
    PumpMessages(1500);
    EXPECT_EQ(panel_.State(), PANEL_SLIDING_IN);
    SetCursorPos(10, 10);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(panel_.Window()); }, 6000));
}

}  // namespace
