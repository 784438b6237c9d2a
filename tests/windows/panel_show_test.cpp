// When the panels take a tip from the store, and how ShowPanel lays a tip
// out: the contents rules, the six layouts, the layout kinds by byStyle.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>

#include "panels/full_screen.h"
#include "panels/slip_mess_panel.h"
#include "panels/stat_mess_panel.h"
#include "platform/platform.h"
#include "support/dll_under_test.h"
#include "support/panel_fixture.h"
#include "support/panel_support.h"

namespace {

int32_t g_clock = 0;
int32_t TestClock() { return g_clock; }

class PanelShow : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        g_clock = platform::Now();
        // The system clock reads the same seconds since 1970 as time().
        ASSERT_LE(std::abs(g_clock - static_cast<int32_t>(std::time(nullptr))), 1);
        platform::SetClockForTest(&TestClock);
    }
    void Queue(uint32_t id, const std::string& text) {
        TipContent content;
        content.id = id;
        content.text = text;
        ASSERT_EQ(Store()->AddOneShowData(MakeTip(content).release()), 1);
    }
    static void HideAtOnce(CMessPanel& panel) {
        SendMessageA(panel.Window(), WM_CLOSE, 0, 0);
        ASSERT_FALSE(IsWindowVisible(panel.Window()));
    }
};

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};
Rect Of(const CDrawer& d) {
    const RECT r = d.Bounds();
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}
void PrintTo(const Rect& r, std::ostream* os) { *os << r.x << "," << r.y << " " << r.w << "x" << r.h; }

TEST_F(PanelShow, EachCombinationOfContentsGetsItsLayout) {
    struct Case {
        const char* name;
        bool picture, text, buttons;
        Rect pictureRect, textRect, firstButton;
    };
    const Rect none{0, 0, 0, 0};
    const Case cases[] = {
        {"picture, text, buttons", true, true, true, {2, 25, 100, 133}, {117, 25, 120, 110}, {168, 139, 30, 18}},
        {"picture, text", true, true, false, {2, 25, 100, 133}, {117, 25, 120, 190}, none},
        {"picture, buttons", true, false, true, {2, 25, 256, 133}, none, {168, 139, 30, 18}},
        {"picture", true, false, false, {2, 25, 256, 133}, none, none},
        {"text, buttons", false, true, true, none, {20, 25, 220, 110}, {121, 139, 30, 18}},
        {"text", false, true, false, none, {20, 25, 220, 190}, none},
    };
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    for (const Case& c : cases) {
        TipContent content;
        content.picture = c.picture ? "C:\\tips\\1.gif" : "";
        content.text = c.text ? "Some text" : "";
        content.captions[0] = c.buttons ? "Open" : "";
        content.actions[0] = "OPENURL";
        ASSERT_EQ(ShowContent(panel, content, 0), 1) << c.name;
        EXPECT_EQ(panel.Picture().IsShown(), c.picture) << c.name;
        EXPECT_EQ(panel.Text().IsShown(), c.text) << c.name;
        EXPECT_EQ(panel.Buttons().Button(0).IsShown(), c.buttons) << c.name;
        if (c.picture) {
            EXPECT_EQ(Of(panel.Picture()), c.pictureRect) << c.name;
        }
        if (c.text) {
            EXPECT_EQ(Of(panel.Text()), c.textRect) << c.name;
        }
        if (c.buttons) {
            EXPECT_EQ(Of(panel.Buttons().Button(0)), c.firstButton) << c.name;
        }
        EXPECT_TRUE(IsWindowVisible(panel.Window())) << c.name;
    }
}

TEST_F(PanelShow, ShortPathsTextsAndCaptionsCountAsMissing) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    // A path of 3 bytes is no picture, a text of 2 bytes no text.
    TipContent content;
    content.picture = "a.b";
    content.text = "ab";
    {
        LineCapture lines;
        EXPECT_EQ(ShowContent(panel, content, 0), 0);
        EXPECT_TRUE(lines.Contains("text picture not exist"));
    }
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    // A single double-byte character is no text either.
    content.text = "\xCC\xE1";
    EXPECT_EQ(ShowContent(panel, content, 0), 0);

    // A first caption of 2 bytes means no buttons, whatever the others say.
    content.text = "abc";
    content.captions[0] = "Go";
    content.actions[0] = "OPENURL";
    content.captions[1] = "Download";
    content.actions[1] = "DOWNLOAD";
    ASSERT_EQ(ShowContent(panel, content, 0), 1);
    EXPECT_TRUE(panel.Text().IsShown());
    for (int k = 0; k < 3; ++k) EXPECT_FALSE(panel.Buttons().Button(k).IsShown()) << k;
    EXPECT_EQ(Of(panel.Text()), (Rect{20, 25, 220, 190}));
}

TEST_F(PanelShow, TheLayoutKindHidesThePictureOrTheTextAndButtons) {
    struct Case {
        uint8_t style;
        bool picture, text, buttons;
    };
    const Case cases[] = {
        {0, true, true, true},   {10, true, true, true},    {11, false, true, true}, {20, false, true, true},
        {21, true, false, false}, {30, true, false, false}, {31, true, true, true},   {255, true, true, true},
    };
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    for (const Case& c : cases) {
        TipContent content;
        content.style = c.style;
        content.picture = "C:\\tips\\1.gif";
        content.text = "Some text";
        content.captions[0] = "Open";
        content.actions[0] = "OPENURL";
        ASSERT_EQ(panel.ShowTip(*MakeTip(content), 0), 1) << int(c.style);
        EXPECT_EQ(panel.Picture().IsShown(), c.picture) << int(c.style);
        EXPECT_EQ(panel.Text().IsShown(), c.text) << int(c.style);
        EXPECT_EQ(panel.Buttons().Button(0).IsShown(), c.buttons) << int(c.style);
        // Without a text beside it the picture gets the wide cell.
        EXPECT_EQ(Of(panel.Picture()).w, c.picture ? (c.text ? 100 : 256) : 0) << int(c.style);
    }
    // A tip whose only content is hidden by its kind is refused.
    TipContent textOnly;
    textOnly.style = 21;
    textOnly.text = "Some text";
    EXPECT_EQ(panel.ShowTip(*MakeTip(textOnly), 0), 0);
}

TEST_F(PanelShow, TextFieldsThatFillTheirWholeBufferAreReadNoFurther) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    std::unique_ptr<TipRecord> tip = MakeTip(TipContent{});
    memset(tip->szText, 'x', sizeof tip->szText);      // no NUL inside
    memset(tip->szTitle, 't', sizeof tip->szTitle);    // no NUL inside
    memset(tip->szLinkURL, 'l', sizeof tip->szLinkURL);
    ASSERT_EQ(panel.ShowTip(*tip, 0), 1);
    EXPECT_EQ(std::string(panel.Text().Text()), std::string(100, 'x'));
    EXPECT_EQ(std::string(panel.Text().Title()), std::string(40, 't'));
    EXPECT_EQ(std::string(panel.Text().Link()).size(), 1023u) << "cut to its field";
}

TEST_F(PanelShow, TheSlidingPanelWaitsForTheReadyFlag) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    Queue(1, "First tip");
    panel.TryShowTip();
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    Store()->SetReady();
    // The poll timer's tick is what runs TryShowTip.
    SendMessageA(panel.Window(), WM_TIMER, TIMER_POLL, 0);
    EXPECT_TRUE(IsWindowVisible(panel.Window()));
    EXPECT_STREQ(panel.Text().Text(), "First tip");
    EXPECT_EQ(panel.LastShowTime(), g_clock);
}

TEST_F(PanelShow, TheSlidingPanelKeepsItsIntervalAndZeroMeansThirtyMinutes) {
    struct Case {
        int32_t configured;
        int32_t minutes;
    };
    for (const Case c : {Case{0, 30}, Case{2, 2}}) {
        CShowDataList::DestroyInstance();
        CSlipMessPanel panel;
        ASSERT_EQ(panel.Create(), 1);
        panel.SetInterval(c.configured);
        Store()->SetReady();
        Queue(1, "First tip");
        Queue(2, "Second tip");
        panel.TryShowTip();
        ASSERT_STREQ(panel.Text().Text(), "First tip");
        EXPECT_EQ(panel.Interval(), c.minutes);
        HideAtOnce(panel);

        const int32_t shown = g_clock;
        g_clock = shown + c.minutes * 60 - 1;
        panel.TryShowTip();
        EXPECT_FALSE(IsWindowVisible(panel.Window())) << c.configured;
        g_clock = shown + c.minutes * 60;
        panel.TryShowTip();
        EXPECT_TRUE(IsWindowVisible(panel.Window())) << c.configured;
        EXPECT_STREQ(panel.Text().Text(), "Second tip");
        g_clock = shown;
    }
}

TEST_F(PanelShow, ARefusedTipIsDroppedAndStillRestartsTheInterval) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    Store()->SetReady();
    Queue(1, "ab");  // the store keeps it; the panel finds it too short
    Queue(2, "A real tip");
    {
        LineCapture lines;
        panel.TryShowTip();
        EXPECT_TRUE(lines.Contains("CSlipMessPanel begin to GetOneShowData"));
        EXPECT_TRUE(lines.Contains("text picture not exist"));
        EXPECT_TRUE(lines.Contains("CSlipMessPanel ShowPanel Finish"));
    }
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    EXPECT_EQ(panel.LastShowTime(), g_clock);
    panel.TryShowTip();
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    g_clock += 30 * 60;
    panel.TryShowTip();
    EXPECT_STREQ(panel.Text().Text(), "A real tip");
}

TEST_F(PanelShow, AVisiblePanelTakesNoTipAndWithNoneTheIntervalDoesNotRestart) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    Store()->SetReady();
    panel.TryShowTip();
    EXPECT_EQ(panel.LastShowTime(), 0) << "no tip: asks again at the next tick";
    Queue(1, "First tip");
    Queue(2, "Second tip");
    panel.TryShowTip();
    g_clock += 3600;
    panel.TryShowTip();  // still up: the second tip waits
    EXPECT_STREQ(panel.Text().Text(), "First tip");
    HideAtOnce(panel);
    panel.TryShowTip();
    EXPECT_STREQ(panel.Text().Text(), "Second tip");
}

TEST_F(PanelShow, TheStaticPanelTakesOnlyFromTheStaticQueue) {
    CStatMessPanel stat;
    CSlipMessPanel sliding;
    ASSERT_EQ(stat.Create(), 1);
    ASSERT_EQ(sliding.Create(), 1);
    Queue(1, "For the sliding panel");
    // No ready flag, no interval: the static panel would not care, but its
    // queue is empty.
    SendMessageA(stat.Window(), WM_TIMER, TIMER_POLL, 0);
    EXPECT_FALSE(IsWindowVisible(stat.Window()));
    Store()->SetReady();
    sliding.TryShowTip();
    EXPECT_STREQ(sliding.Text().Text(), "For the sliding panel");
}

TEST_F(PanelShow, AFullScreenProgramHoldsTheSlidingPanelBackAndTheTipStaysQueued) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    Store()->SetReady();
    Queue(1, "Waiting tip");
    // One window, made smaller afterwards: unmapping a full-screen window
    // costs seconds under a display without a window manager.
    HWND program = CreateWindowExA(0, "STATIC", "full screen", WS_POPUP | WS_VISIBLE, 0, 0,
                                   GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(program, nullptr);
    SetForegroundWindow(program);
    PumpMessages(50);
    ASSERT_EQ(GetForegroundWindow(), program);
    EXPECT_TRUE(IsForegroundFullScreen());
    panel.TryShowTip();
    EXPECT_FALSE(IsWindowVisible(panel.Window()));
    EXPECT_EQ(panel.LastShowTime(), 0);

    SetWindowPos(program, nullptr, 0, 0, 600, 400, SWP_NOZORDER);
    PumpMessages(50);
    EXPECT_FALSE(IsForegroundFullScreen());
    panel.TryShowTip();
    EXPECT_STREQ(panel.Text().Text(), "Waiting tip");
    DestroyWindow(program);
}

TEST_F(PanelShow, FullScreenMeansCoveringTheMonitorTheWindowIsOn) {
    struct Case {
        const char* name;
        RECT client, monitor;
        bool covers;
    };
    const RECT primary{0, 0, 1920, 1080};
    const RECT second{1920, 0, 3200, 1024};
    const Case cases[] = {
        {"primary, exactly", {0, 0, 1920, 1080}, primary, true},
        {"primary, larger", {-8, -8, 1928, 1088}, primary, true},
        {"primary, maximised window", {0, 0, 1920, 1040}, primary, false},
        {"second monitor, exactly", {1920, 0, 3200, 1024}, second, true},
        {"second monitor, smaller", {1920, 0, 3200, 1000}, second, false},
        {"second monitor's program against the primary", {1920, 0, 3200, 1024}, primary, false},
    };
    for (const Case& c : cases) EXPECT_EQ(CoversMonitor(c.client, c.monitor), c.covers) << c.name;
}

}  // namespace
