// The panels in-process on the test's own clock: the tips they take, layout
// and cuts, elements, slide and hover. Real input is in the soak (bench/soak.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "panels/full_screen.h"
#include "panels/library_module.h"
#include "panels/stat_mess_panel.h"
#include "platform/handles.h"
#include "support/panel_fixture.h"

// Rectangles compared and printed by their edges.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

using PanelShow = PanelTest;

RECT Of(const CDrawer& d) { return d.IsShown() ? d.Bounds() : RECT{}; }
RECT ButtonAt(int x) { return x ? RECT{x, 139, x + 30, 157} : RECT{}; }  // 0: none
using Lines = std::vector<std::string>;

Lines LinesAfter(const std::string& marker) {
    const Lines logged = LineCapture::Lines();
    Lines after;
    for (size_t i = 0; i + 1 < logged.size(); ++i)
        if (logged[i] == marker) after.push_back(logged[i + 1]);
    return after;
}

// Layouts by what a tip holds, texts too short to count, the layout
// kinds (byStyle 11-20 hide the picture, 21-30 the text and buttons), and
// the buttons 30 x 18 and 6 apart, centred, up to the first captioned one
// without a command.
TEST_F(PanelShow, EachCombinationOfContentsAndLayoutKindGetsItsLayout) {
    const RECT narrow{2, 25, 102, 158}, wide{2, 25, 258, 158}, beside{117, 25, 237, 135}, full{20, 25, 240, 135},
        fullAlone{20, 25, 240, 215};
    struct Button {
        const char *caption, *action;
    };
    const Button open{"Open", "OPENURL"}, noCommand{"Open", ""}, noCaption{"", "OPENURL"};
    const Button tooShort{"Go", "OPENURL"}, download{"Download", "OPENURL"};  // 2 bytes: not a caption
    struct Case {
        uint8_t style;
        const char *picture, *text;
        std::vector<Button> buttons;
        int32_t shown;
        RECT pictureRect, textRect;
        int buttonXs[3];
        const char* title = "Weekly tip";
        std::vector<std::string> cuts = {};  // the elements the painter cuts, in lines a preview reads
    };
    // 24 bold Ws fit the box, yet not when measured in the regular font.
    const std::string longTitle(127, 'W'), longText(1000, 'w'), boldTitle(24, 'W');
    const char* const pic = "C:\\1.gif";
    const Case cases[] = {
        {0, pic, "Some text", {open}, 1, narrow, beside, {168}},
        {0, pic, "", {open}, 1, wide, {}, {168}},
        {0, "", "Some text", {open}, 1, {}, full, {121}},
        {0, "", "abc", {tooShort}, 1, {}, fullAlone, {}},
        {0, "a.b", "ab", {open}, 0, {}, {}, {}},  // 3 bytes of path, 2 of text: nothing
        {10, pic, "Some text", {open}, 1, narrow, beside, {168}},
        {11, pic, "Some text", {open}, 1, {}, full, {121}},
        {20, pic, "Some text", {open}, 1, {}, full, {121}},
        {21, pic, "Some text", {open}, 1, wide, {}, {}},
        {30, pic, "Some text", {open}, 1, wide, {}, {}},
        {31, pic, "Some text", {open}, 1, narrow, beside, {168}},
        {0, "", "Some text", {open, open, open}, 1, {}, full, {85, 121, 157}},
        {0, "", "Some text", {open, noCommand, open}, 1, {}, full, {121}},
        {0, "", "Some text", {open, noCaption, open}, 1, {}, full, {103, 0, 139}},
        {0, "", longText.c_str(), {download}, 1, {}, full, {121}, longTitle.c_str(), {"title", "text", "button 1"}},
        {0, "", "Some text", {}, 1, {}, fullAlone, {}, boldTitle.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << int(c.style) << ", picture \"" << c.picture << "\", text \""
                                        << std::string(c.text).substr(0, 12) << "\", " << c.buttons.size()
                                        << " buttons");
        TipContent content{1, c.title, c.picture, c.text, "", {}, {}, {}, c.style};
        for (size_t k = 0; k < c.buttons.size(); ++k) {
            content.captions[k] = c.buttons[k].caption;
            content.actions[k] = c.buttons[k].action;
        }
        LineCapture lines;
        EXPECT_EQ(Show(panel_, content), c.shown);
        EXPECT_EQ(lines.Contains("text picture not exist"), c.shown == 0);
        EXPECT_EQ(LinesAfter("CMessPanel text cut"), c.cuts);
        if (!c.shown) continue;
        EXPECT_EQ(Of(panel_.Picture()), c.pictureRect);
        EXPECT_EQ(Of(panel_.Text()), c.textRect);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(Of(panel_.Buttons().Button(k)), ButtonAt(c.buttonXs[k])) << "button " << k;
    }
    // Fields that fill their whole buffer are read no further.
    std::unique_ptr<TipRecord> tip = MakeTip(TipContent{});
    memset(tip->szText, 'x', sizeof tip->szText);
    memset(tip->szTitle, 't', sizeof tip->szTitle);
    memset(tip->szLinkURL, 'l', sizeof tip->szLinkURL);
    ASSERT_EQ(panel_.ShowTip(*tip, 0), 1);
    EXPECT_EQ(std::string(panel_.Text().Text()), std::string(100, 'x'));
    EXPECT_EQ(std::string(panel_.Text().Title()), std::string(40, 't'));
    EXPECT_EQ(std::string(panel_.Text().Link()), std::string(1023, 'l'));
}

// A button after the first one without a command once stayed laid out from the tip before.
TEST_F(PanelShow, AButtonAfterOneWithoutACommandKeepsNoLayoutFromTheTipBefore) {
    TipContent tip{1, "Title", "", "Some text", "", {"Open", "Open", "Open"}, {"OPENURL", "OPENURL", "OPENURL"}};
    ASSERT_EQ(Show(panel_, tip), 1);
    tip.actions[1] = "";
    ASSERT_EQ(Show(panel_, tip), 1);
    EXPECT_EQ(Of(panel_.Buttons().Button(0)), ButtonAt(121));
    EXPECT_EQ(Of(panel_.Buttons().Button(2)), RECT{});
}

// Each row: a first tip (or none) taken at a poll tick, the panel closed
// or left up, a second tip queued, the clock moved on, another poll tick:
// is the second shown? A static panel beside it takes only from its own queue.
TEST_F(PanelShow, TheSlidingPanelTakesATipOnlyWhenReadyNotShownAndTheIntervalHasPassed) {
    const struct {
        bool ready;
        int32_t interval;
        const char* first;
        bool close;
        int32_t after;
        bool shown;
    } cases[] = {
        {false, 2, "First tip", true, 120, false},
        {true, 0, "First tip", true, 30 * 60 - 1, false},  // 0: 30 minutes
        {true, 0, "First tip", true, 30 * 60, true},
        {true, 2, "First tip", true, 120, true},
        {true, 2, "First tip", false, 3600, false},  // still up
        // A refused tip restarts the interval; no tip does not start it.
        {true, 2, "ab", true, 119, false},
        {true, 2, nullptr, true, 0, true},
    };
    panel_.Destroy();  // it keeps the store that each row replaces
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ready << c.interval << (c.first ? c.first : "none") << c.after);
        CShowDataList::DestroyInstance();
        CSlipMessPanel panel;
        CStatMessPanel stat;
        ASSERT_EQ(panel.Create() + stat.Create(), 2);
        panel.SetInterval(c.interval);
        if (c.ready) CShowDataList::GetInstance()->SetReady();
        if (c.first) Queue(1, c.first);
        SendMessageA(panel.Window(), WM_TIMER, TIMER_POLL, 0);
        if (c.close) SendMessageA(panel.Window(), WM_CLOSE, 0, 0);
        Queue(2, "Second tip");
        g_clock += c.after;
        LineCapture lines;
        for (HWND w : {panel.Window(), stat.Window()}) SendMessageA(w, WM_TIMER, TIMER_POLL, 0);
        EXPECT_EQ(IsWindowVisible(panel.Window()) != 0, c.shown || !c.close);
        EXPECT_FALSE(IsWindowVisible(stat.Window()));
        EXPECT_EQ(LinesAfter("CMessPanel show tip:"), c.shown ? Lines{"2"} : Lines{}) << "names the tip";
    }
}

TEST_F(PanelShow, AFullScreenProgramOnItsMonitorHoldsTheSlidingPanelBack) {
    CShowDataList::GetInstance()->SetReady();
    Queue(1, "Waiting tip");
    // One window, made smaller afterwards: unmapping a full-screen window
    // costs seconds under a display without a window manager.
    const handles::Window owned(CreateWindowExA(0, "STATIC", "full screen", WS_POPUP | WS_VISIBLE, 0, 0,
                                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                                nullptr, nullptr, nullptr));
    SetForegroundWindow(owned.get());
    PumpMessages(50);
    panel_.TryShowTip();
    EXPECT_FALSE(IsWindowVisible(panel_.Window()));
    SetWindowPos(owned.get(), nullptr, 0, 0, 600, 400, SWP_NOZORDER);
    PumpMessages(50);
    panel_.TryShowTip();
    EXPECT_STREQ(panel_.Text().Text(), "Waiting tip");  // held back, the tip stayed queued
    // Covering the monitor the window is on, however far beyond it.
    const RECT primary{0, 0, 1920, 1080}, second{1920, 0, 3200, 1024};
    EXPECT_TRUE(CoversMonitor(RECT{-8, -8, 1928, 1088}, primary));
    EXPECT_TRUE(CoversMonitor(second, second));
    EXPECT_FALSE(CoversMonitor(RECT{0, 0, 1920, 1040}, primary));
    EXPECT_FALSE(CoversMonitor(second, primary));
}

// Both edges count, an element without width never; one click only for a
// press and a release over it, none for a release alone, a press whose
// pointer leaves, or a press outside that the pointer then enters.
TEST(PanelElements, HitTestingTakesBothEdgesAndAPressAndReleaseOverItClickOnce) {
    struct : CDrawer {
        void OnClick() override { ++clicks; }
        int clicks = 0;
    } d;
    const auto hot = [&d](int x, int y) {
        d.HitTest(x, y);
        return d.IsHot() != 0;
    };
    d.SetRect(10, 20, 30, 40);
    for (const POINT& p : {POINT{10, 20}, POINT{40, 60}}) EXPECT_TRUE(hot(p.x, p.y)) << p.x << "," << p.y;
    for (const POINT& p : {POINT{9, 20}, POINT{10, 19}, POINT{41, 60}, POINT{40, 61}})
        EXPECT_FALSE(hot(p.x, p.y)) << p.x << "," << p.y;
    d.SetRect(10, 20, 0, 40);
    EXPECT_FALSE(hot(10, 20)) << "no width";
    d.SetRect(0, 0, 10, 10);
    hot(5, 5);
    d.Press();
    d.Release();
    d.Release();
    EXPECT_EQ(d.clicks, 1);
    d.Press();
    hot(50, 50);
    d.Release();
    EXPECT_EQ(d.clicks, 1) << "the pointer left before the release";
    d.Press();
    hot(5, 5);
    d.Release();
    EXPECT_EQ(d.clicks, 1) << "pressed outside, released over it";
}

TEST(PanelElements, PairsOfSquareBracketsBreakTheTextAndEveryCopyIsCutToItsField) {
    const std::string longText(3000, 'x'), breakAtTheEnd = std::string(1022, 'y') + "[]";
    const struct {
        std::string in, out;
    } cases[] = {{"one[]two", "one\r\ntwo"},           {"[[]]", "[\r\n]"},
                 {"a[]b[]c", "a\r\nb\r\nc"},           {"[ ] [x] ][", "[ ] [x] ]["},
                 {longText, longText.substr(0, 1023)}, {breakAtTheEnd, std::string(1022, 'y')}};
    CTextDrawer text;
    for (const auto& c : cases) {
        text.SetText(c.in.c_str(), longText.c_str());
        EXPECT_EQ(std::string(text.Text()), c.out) << c.in.substr(0, 20);
    }
    text.SetTitle(longText.c_str());
    CButtonDrawer button;
    button.SetTexts(longText.c_str(), longText.c_str(), longText.c_str());
    EXPECT_EQ(strlen(text.Link()), 1023u);
    EXPECT_EQ(strlen(text.Title()), 127u);
    EXPECT_EQ(std::string(button.Caption()), std::string(19, 'x'));
    EXPECT_EQ(std::string(button.Command()), std::string(19, 'x'));
    EXPECT_EQ(strlen(button.Url()), 1023u);
    text.SetTitle("A [] title");
    EXPECT_STREQ(text.Title(), "A [] title");
}

using PanelWindow = PanelTest;
const TipContent kTip{1, "Title", "", "A tip to read"};

// A hidden topmost popup of the panel's size and background that rises from
// below the work area into its corner and hides once it has sunk away (the
// slide's ticks are counted natively); the static panel holds when up.
TEST_F(PanelWindow, RisesFromBelowTheWorkAreaIntoItsCornerAndHidesWhenItHasSunk) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    for (const bool sliding : {true, false}) {
        SCOPED_TRACE(sliding ? "sliding" : "static");
        std::unique_ptr<CMessPanel> panel(sliding ? static_cast<CMessPanel*>(new CSlipMessPanel) : new CStatMessPanel);
        ASSERT_EQ(panel->Create(), 1);
        const HWND w = panel->Window();
        LOGBRUSH brush{};
        GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(w, GCLP_HBRBACKGROUND)), sizeof brush, &brush);
        EXPECT_EQ(GetWindowLongPtrA(w, GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
                  WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
        EXPECT_EQ(GetWindowLongPtrA(w, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_VISIBLE), WS_POPUP);
        EXPECT_EQ(brush.lbColor, RGB(199, 210, 229));
        ASSERT_EQ(Show(*panel, kTip, 1), 1);
        EXPECT_EQ(WindowRect(w).top, work.bottom);
        EXPECT_EQ(RaisePanel(*panel), 11);
        EXPECT_TRUE((WindowRect(w) == RECT{work.right - 260, work.bottom - 160, work.right, work.bottom}));
        Tick(*panel, 51 + 16);
        EXPECT_TRUE(IsWindowVisible(w));
        Tick(*panel);
        EXPECT_EQ(IsWindowVisible(w) != 0, !sliding);
        EXPECT_EQ(panel->State(), sliding ? PANEL_HIDDEN : PANEL_SLIDING_IN);
    }
}

// Only the window's own thread can destroy it: from another, the window is
// hidden, left to default handling and never reaches the panel again.
TEST_F(PanelWindow, DestroyFromAnotherThreadHidesAndDetachesTheWindow) {
    const HWND window = panel_.Window();
    ASSERT_EQ(Show(panel_, kTip, 1), 1);
    LineCapture lines;
    std::thread([this] { panel_.Destroy(); }).join();
    EXPECT_TRUE(lines.Contains("CMessPanel DestroyWindow failed, window detached"));
    EXPECT_TRUE(PumpUntil([window] { return !IsWindowVisible(window); }, 5000)) << "left on screen";
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
    EXPECT_TRUE(DestroyWindow(window));
    UnregisterClassA("slipzemtraMessPanelClass", LibraryModule());
}

// A start from a thread that then ends loses its panels with the thread
// (the library hears of it at the thread's end): it says so, and the stop
// that follows has nothing left to destroy.
TEST(PanelWindowThread, AWindowLostWithItsThreadIsLogged) {
    CSlipMessPanel panel;
    LineCapture lines;
    std::thread([&panel] {
        panel.Create();
        panel.ForgetAtThreadEnd();
    }).join();
    EXPECT_TRUE(lines.Contains("CMessPanel window destroyed outside msg_exit"));
    EXPECT_EQ(panel.Window(), nullptr);
    lines.Clear();
    panel.Destroy();
    panel.ForgetAtThreadEnd();
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{});
}

TEST_F(PanelWindow, OnItsOwnTimersItRisesHoldsUnderTheRealPointerAndSinksWhenItLeaves) {
    ASSERT_EQ(Show(panel_, kTip, 1), 1);
    ASSERT_TRUE(PumpUntil([&] { return panel_.State() == PANEL_SHOWN; }, 3000));
    const RECT r = WindowRect(panel_.Window());
    SetCursorPos(r.left + 60, r.top + 80);
    EXPECT_TRUE(PumpUntil([&] { return !panel_.Slide().PointerOutside(); }, 3000)) << "no hover";
    PumpMessages(1500);
    EXPECT_EQ(panel_.State(), PANEL_SLIDING_IN);
    SetCursorPos(10, 10);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(panel_.Window()); }, 6000));
}

}  // namespace
