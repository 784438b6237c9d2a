// When the panels take a tip from the store, how a tip is laid out, and
// what of it the painter cuts.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "panels/full_screen.h"
#include "panels/slip_mess_panel.h"
#include "panels/stat_mess_panel.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "support/dll_under_test.h"
#include "support/panel_support.h"

namespace {

int32_t g_clock = 0;
int32_t TestClock() { return g_clock; }

class PanelShow : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        g_clock = platform::Now();
        platform::SetClockForTest(&TestClock);
        ASSERT_EQ(panel_.Create(), 1);
    }
    void Queue(uint32_t id, const char* text) {
        TipContent content;
        content.id = id;
        content.text = text;
        ASSERT_EQ(Store()->AddOneShowData(MakeTip(content).release()), 1);
    }
    CSlipMessPanel panel_;
};

RECT Of(const CDrawer& d) { return d.IsShown() ? d.Bounds() : RECT{0, 0, 0, 0}; }
bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

// Six layouts by what a tip holds, texts too short to count, and the
// layout kinds (byStyle 11-20 hide the picture, 21-30 the text and buttons).
TEST_F(PanelShow, EachCombinationOfContentsAndLayoutKindGetsItsLayout) {
    const RECT narrow{2, 25, 102, 158}, wide{2, 25, 258, 158}, beside{117, 25, 237, 135}, besideAlone{117, 25, 237, 215},
        full{20, 25, 240, 135}, fullAlone{20, 25, 240, 215}, right{168, 139, 198, 157}, middle{121, 139, 151, 157};
    struct Case {
        uint8_t style;
        const char *picture, *text, *caption;
        int32_t shown;
        RECT pictureRect, textRect, buttonRect;
        const char *title, *cuts;  // the elements the painter cuts, named in lines a preview reads
    };
    const std::string longTitle(127, 'W'), longText(1000, 'w');
    const Case cases[] = {
        {0, "C:\\1.gif", "Some text", "Open", 1, narrow, beside, right},
        {0, "C:\\1.gif", "Some text", "", 1, narrow, besideAlone, {}},
        {0, "C:\\1.gif", "", "Open", 1, wide, {}, right},
        {0, "C:\\1.gif", "", "", 1, wide, {}, {}},
        {0, "", "Some text", "Open", 1, {}, full, middle},
        {0, "", "Some text", "", 1, {}, fullAlone, {}},
        {0, "", "abc", "Go", 1, {}, fullAlone, {}},  // a caption of 2 bytes: no buttons
        {0, "a.b", "ab", "Open", 0, {}, {}, {}},     // 3 bytes of path, 2 of text: nothing
        {10, "C:\\1.gif", "Some text", "Open", 1, narrow, beside, right},
        {11, "C:\\1.gif", "Some text", "Open", 1, {}, full, middle},
        {20, "C:\\1.gif", "Some text", "Open", 1, {}, full, middle},
        {21, "C:\\1.gif", "Some text", "Open", 1, wide, {}, {}},
        {30, "C:\\1.gif", "Some text", "Open", 1, wide, {}, {}},
        {31, "C:\\1.gif", "Some text", "Open", 1, narrow, beside, right},
        {21, "", "Some text", "Open", 0, {}, {}, {}},
        {0, "", longText.c_str(), "Download", 1, {}, full, middle, longTitle.c_str(), "title text button 1 "},
    };
    for (const Case& c : cases) {
        TipContent content;
        content.style = c.style;
        content.picture = c.picture;
        content.text = c.text;
        content.captions[0] = c.caption;
        content.actions[0] = "OPENURL";
        content.title = c.title ? c.title : "Weekly tip";
        const std::string row =
            std::to_string(c.style) + "|" + c.picture + "|" + std::string(c.text).substr(0, 12) + "|" + c.caption;
        LineCapture lines;
        EXPECT_EQ(Show(panel_, content, 0), c.shown) << row;
        EXPECT_EQ(lines.Contains("text picture not exist"), c.shown == 0) << row;
        std::string cuts;
        const std::vector<std::string> logged = lines.Lines();
        for (size_t i = 0; i + 1 < logged.size(); ++i)
            if (logged[i] == "CMessPanel text cut") cuts += logged[i + 1] + " ";
        EXPECT_EQ(cuts, c.cuts ? c.cuts : "") << row;
        if (!c.shown) continue;
        EXPECT_TRUE(Of(panel_.Picture()) == c.pictureRect) << row;
        EXPECT_TRUE(Of(panel_.Text()) == c.textRect) << row;
        EXPECT_TRUE(Of(panel_.Buttons().Button(0)) == c.buttonRect) << row;
    }
}

TEST_F(PanelShow, FieldsThatFillTheirWholeBufferAreReadNoFurther) {
    std::unique_ptr<TipRecord> tip = MakeTip(TipContent{});
    memset(tip->szText, 'x', sizeof tip->szText);
    memset(tip->szTitle, 't', sizeof tip->szTitle);
    memset(tip->szLinkURL, 'l', sizeof tip->szLinkURL);
    ASSERT_EQ(panel_.ShowTip(*tip, 0), 1);
    EXPECT_EQ(std::string(panel_.Text().Text()), std::string(100, 'x'));
    EXPECT_EQ(std::string(panel_.Text().Title()), std::string(40, 't'));
    EXPECT_EQ(std::string(panel_.Text().Link()).size(), 1023u);
}

// Each row: a first tip (or none) taken at a poll tick, the panel closed
// or left up, a second tip queued, the clock moved on, another poll tick.
TEST_F(PanelShow, TheSlidingPanelTakesATipOnlyWhenReadyNotShownAndTheIntervalHasPassed) {
    CStatMessPanel stat;
    ASSERT_EQ(stat.Create(), 1);
    Queue(100, "For the sliding panel");
    SendMessageA(panel_.Window(), WM_TIMER, TIMER_POLL, 0);
    SendMessageA(stat.Window(), WM_TIMER, TIMER_POLL, 0);
    EXPECT_FALSE(IsWindowVisible(panel_.Window())) << "the store is not ready";
    EXPECT_FALSE(IsWindowVisible(stat.Window())) << "the static panel takes only from its own queue";
    // Both keep the store that each row replaces.
    stat.Destroy();
    panel_.Destroy();
    struct Case {
        const char* name;
        int32_t interval;
        const char* first;
        bool close;
        int32_t after;
        bool secondShown;
    };
    const Case cases[] = {
        {"0 means 30 minutes: early", 0, "First tip", true, 30 * 60 - 1, false},
        {"0 means 30 minutes: on time", 0, "First tip", true, 30 * 60, true},
        {"2 minutes: early", 2, "First tip", true, 119, false},
        {"2 minutes: on time", 2, "First tip", true, 120, true},
        {"still up", 2, "First tip", false, 3600, false},
        {"a refused tip restarts the interval", 2, "ab", true, 119, false},
        {"no tip does not start it", 2, nullptr, true, 0, true},
    };
    for (const Case& c : cases) {
        CShowDataList::DestroyInstance();
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        panel.SetInterval(c.interval);
        Store()->SetReady();
        if (c.first) Queue(1, c.first);
        SendMessageA(panel.Window(), WM_TIMER, TIMER_POLL, 0);
        if (c.close) SendMessageA(panel.Window(), WM_CLOSE, 0, 0);
        Queue(2, "Second tip");
        g_clock += c.after;
        SendMessageA(panel.Window(), WM_TIMER, TIMER_POLL, 0);
        EXPECT_EQ(std::string(panel.Text().Text()) == "Second tip", c.secondShown) << c.name;
        EXPECT_EQ(IsWindowVisible(panel.Window()) != 0, c.secondShown || !c.close) << c.name;
    }
}

TEST_F(PanelShow, AFullScreenProgramOnItsMonitorHoldsTheSlidingPanelBack) {
    Store()->SetReady();
    Queue(1, "Waiting tip");
    // One window, made smaller afterwards: unmapping a full-screen window
    // costs seconds under a display without a window manager.
    const handles::Window owned(CreateWindowExA(0, "STATIC", "full screen", WS_POPUP | WS_VISIBLE, 0, 0,
                                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                                nullptr, nullptr, nullptr, nullptr));
    const HWND program = owned.get();
    ASSERT_NE(program, nullptr);
    SetForegroundWindow(program);
    PumpMessages(50);
    panel_.TryShowTip();
    EXPECT_FALSE(IsWindowVisible(panel_.Window()));
    SetWindowPos(program, nullptr, 0, 0, 600, 400, SWP_NOZORDER);
    PumpMessages(50);
    panel_.TryShowTip();
    EXPECT_STREQ(panel_.Text().Text(), "Waiting tip") << "held back, the tip stayed queued";

    // Covering the monitor the window is on, however far beyond it.
    const RECT primary{0, 0, 1920, 1080}, second{1920, 0, 3200, 1024};
    EXPECT_TRUE(CoversMonitor(RECT{-8, -8, 1928, 1088}, primary) && CoversMonitor(second, second));
    EXPECT_FALSE(CoversMonitor(RECT{0, 0, 1920, 1040}, primary) || CoversMonitor(second, primary));
}

}  // namespace
