// The panels in-process, tick by tick on the test's own clock: the tips they
// take, layout and cuts, elements, slide and hover, paint, and clicks down to
// the stand-ins' logs. Real input clicks buttons in tests/e2e/clicks.sh.
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "actions/agent_interface.h"
#include "panels/full_screen.h"
#include "panels/library_module.h"
#include "panels/panel_action.h"
#include "panels/picture_bitmap.h"
#include "panels/slip_mess_panel.h"
#include "panels/stat_mess_panel.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "protocol/tip_record.h"
#include "screen_capture.h"
#include "store/show_data_list.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/test_pictures.h"

namespace {

struct TipContent {
    uint32_t id = 1;
    std::string title, picture, text, link;
    std::string captions[3], actions[3], urls[3];
    uint8_t style = 0;  // the layout kind
};

// A record valid from an hour ago until tomorrow, its picture ready.
std::unique_ptr<TipRecord> MakeTip(const TipContent& content) {
    std::unique_ptr<TipRecord> tip = NewTipRecord();
    tip->nMessageID = content.id;
    tip->byStyle = content.style;
    tip->tBeginTime = platform::Now() - 3600;
    tip->tEndTime = platform::Now() + 24 * 3600;
    tip->bPicReady = 1;
    tip->byVersion = kTipRecordVersion;
    SetFieldText(tip->szTitle, content.title);
    SetFieldText(tip->szPicture, content.picture);
    SetFieldText(tip->szText, content.text);
    SetFieldText(tip->szLinkURL, content.link);
    for (int k = 0; k < 3; ++k) {
        SetFieldText(tip->aButtons[k].szCaption, content.captions[k]);
        SetFieldText(tip->aButtons[k].szAction, content.actions[k]);
        SetFieldText(tip->aButtons[k].szURL, content.urls[k]);
        if (!content.captions[k].empty()) tip->nButtonCount = k + 1;
    }
    return tip;
}
int32_t Show(CMessPanel& panel, const TipContent& content, int32_t staySeconds = 0) {
    return panel.ShowTip(*MakeTip(content), staySeconds);
}

// Animation ticks as the timer delivers them; RaisePanel ticks until the
// panel is up (at most 100) and returns how many it took.
void Tick(CMessPanel& panel, int count = 1) {
    for (int i = 0; i < count; ++i) SendMessageA(panel.Window(), WM_TIMER, TIMER_ANIMATE, 0);
}
int RaisePanel(CMessPanel& panel) {
    int ticks = 0;
    for (; ticks < 100 && panel.CurrentTop() > panel.ShownTop(); ++ticks) Tick(panel);
    return ticks;
}
RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// The test's clock starts at the real time. The pointer is parked away from
// the panels' corner, so that the system's own hover tracking keeps out.
int32_t g_clock = 0;
class PanelTest : public HostFolderTest {
protected:
    void SetUp() override {
        HostFolderTest::SetUp();
        CreateDirectoryA(TipsFolder().c_str(), nullptr);
        CShowDataList::DestroyInstance();
        g_clock = platform::Now();
        platform::SetClockForTest([] { return g_clock; });
        SetCursorPos(10, 10);
        ASSERT_EQ(panel_.Create(), 1);
    }
    void TearDown() override {
        panel_.Destroy();
        platform::SetClockForTest(nullptr);
        PumpMessages(20);
        CShowDataList::DestroyInstance();
        HostFolderTest::TearDown();
    }
    CShowDataList* Store() { return CShowDataList::GetInstance(); }
    void Queue(uint32_t id, const char* text) {
        ASSERT_EQ(Store()->AddOneShowData(MakeTip(TipContent{id, "", "", text}).release()), 1);
    }
    CSlipMessPanel panel_;
};

using PanelShow = PanelTest;

bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
RECT Of(const CDrawer& d) { return d.IsShown() ? d.Bounds() : RECT{}; }
RECT ButtonAt(int x) { return x ? RECT{x, 139, x + 30, 157} : RECT{}; }  // 0: none

// Six layouts by what a tip holds, texts too short to count, the layout
// kinds (byStyle 11-20 hide the picture, 21-30 the text and buttons), and
// the buttons 30 x 18 and 6 apart, centred, up to the first captioned one
// without a command (that once let an earlier tip's buttons stay laid out).
TEST_F(PanelShow, EachCombinationOfContentsAndLayoutKindGetsItsLayout) {
    const RECT narrow{2, 25, 102, 158}, wide{2, 25, 258, 158}, beside{117, 25, 237, 135}, besideAlone{117, 25, 237, 215},
        full{20, 25, 240, 135}, fullAlone{20, 25, 240, 215};
    // buttons: a letter each, O captioned with a command, - without one, blank: no caption; cuts: the
    // elements the painter cuts, named in lines a preview reads.
    struct Case { uint8_t style; const char *picture, *text; std::string buttons; int32_t shown;
                  RECT pictureRect, textRect; int buttonXs[3]; const char *title, *cuts; };
    // 24 bold Ws fit the box, yet not when measured in the regular font.
    const std::string longTitle(127, 'W'), longText(1000, 'w'), boldTitle(24, 'W');
    const Case cases[] = {
        {0, "C:\\1.gif", "Some text", "O", 1, narrow, beside, {168}},
        {0, "C:\\1.gif", "Some text", "", 1, narrow, besideAlone, {}},
        {0, "C:\\1.gif", "", "O", 1, wide, {}, {168}},
        {0, "C:\\1.gif", "", "", 1, wide, {}, {}},
        {0, "", "Some text", "O", 1, {}, full, {121}},
        {0, "", "Some text", "", 1, {}, fullAlone, {}},
        {0, "", "abc", "g", 1, {}, fullAlone, {}},  // g: a caption of 2 bytes, no buttons
        {0, "a.b", "ab", "O", 0, {}, {}, {}},       // 3 bytes of path, 2 of text: nothing
        {10, "C:\\1.gif", "Some text", "O", 1, narrow, beside, {168}},
        {11, "C:\\1.gif", "Some text", "O", 1, {}, full, {121}},
        {20, "C:\\1.gif", "Some text", "O", 1, {}, full, {121}},
        {21, "C:\\1.gif", "Some text", "O", 1, wide, {}, {}},
        {30, "C:\\1.gif", "Some text", "O", 1, wide, {}, {}},
        {31, "C:\\1.gif", "Some text", "O", 1, narrow, beside, {168}},
        {21, "", "Some text", "O", 0, {}, {}, {}},
        {0, "C:\\1.gif", "Some text", "OO", 1, narrow, beside, {150, 186}},
        {0, "", "Some text", "OOO", 1, {}, full, {85, 121, 157}},
        {0, "", "Some text", "O-O", 1, {}, full, {121}},
        {0, "", "Some text", "O O", 1, {}, full, {103, 0, 139}},
        {0, "", longText.c_str(), "L", 1, {}, full, {121}, longTitle.c_str(), "title text button 1 "},
        {0, "", "Some text", "", 1, {}, fullAlone, {}, boldTitle.c_str(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.style) + "|" + c.picture + "|" + std::string(c.text).substr(0, 12) + "|" + c.buttons);
        TipContent content{1, c.title ? c.title : "Weekly tip", c.picture, c.text, "", {}, {}, {}, c.style};
        for (size_t k = 0; k < c.buttons.size(); ++k) {
            const char letter = c.buttons[k];
            content.captions[k] = letter == 'g' ? "Go" : letter == 'L' ? "Download" : letter == ' ' ? "" : "Open";
            content.actions[k] = letter == '-' ? "" : "OPENURL";
        }
        LineCapture lines;
        EXPECT_EQ(Show(panel_, content), c.shown);
        EXPECT_EQ(lines.Contains("text picture not exist"), c.shown == 0);
        std::string cuts;
        const std::vector<std::string> logged = lines.Lines();
        for (size_t i = 0; i + 1 < logged.size(); ++i)
            if (logged[i] == "CMessPanel text cut") cuts += logged[i + 1] + " ";
        EXPECT_EQ(cuts, c.cuts ? c.cuts : "");
        if (!c.shown) continue;
        EXPECT_TRUE(Of(panel_.Picture()) == c.pictureRect && Of(panel_.Text()) == c.textRect);
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(Of(panel_.Buttons().Button(k)) == ButtonAt(c.buttonXs[k])) << k;
    }
    // Fields that fill their whole buffer are read no further.
    std::unique_ptr<TipRecord> tip = MakeTip(TipContent{});
    memset(tip->szText, 'x', sizeof tip->szText);
    memset(tip->szTitle, 't', sizeof tip->szTitle);
    memset(tip->szLinkURL, 'l', sizeof tip->szLinkURL);
    ASSERT_EQ(panel_.ShowTip(*tip, 0), 1);
    EXPECT_EQ(std::string(panel_.Text().Text()) + "|" + panel_.Text().Title() + "|" + panel_.Text().Link(),
              std::string(100, 'x') + "|" + std::string(40, 't') + "|" + std::string(1023, 'l'));
}

// Each row: a first tip (or none) taken at a poll tick, the panel closed
// or left up, a second tip queued, the clock moved on, another poll tick:
// is the second shown? A static panel beside it takes only from its own queue.
TEST_F(PanelShow, TheSlidingPanelTakesATipOnlyWhenReadyNotShownAndTheIntervalHasPassed) {
    const struct { bool ready; int32_t interval; const char* first; bool close; int32_t after; bool shown; } cases[] = {
        {false, 2, "First tip", true, 120, false},
        {true, 0, "First tip", true, 30 * 60 - 1, false},  // 0 means 30 minutes
        {true, 0, "First tip", true, 30 * 60, true},
        {true, 2, "First tip", true, 119, false},
        {true, 2, "First tip", true, 120, true},
        {true, 2, "First tip", false, 3600, false},  // still up
        {true, 2, "ab", true, 119, false},           // a refused tip restarts the interval
        {true, 2, nullptr, true, 0, true},           // no tip does not start it
    };
    panel_.Destroy();  // it keeps the store that each row replaces
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.ready) + std::to_string(c.interval) + (c.first ? c.first : "none") +
                     std::to_string(c.after));
        CShowDataList::DestroyInstance();
        CSlipMessPanel panel;
        CStatMessPanel stat;
        ASSERT_EQ(panel.Create() + stat.Create(), 2);
        panel.SetInterval(c.interval);
        if (c.ready) Store()->SetReady();
        if (c.first) Queue(1, c.first);
        SendMessageA(panel.Window(), WM_TIMER, TIMER_POLL, 0);
        if (c.close) SendMessageA(panel.Window(), WM_CLOSE, 0, 0);
        Queue(2, "Second tip");
        g_clock += c.after;
        for (HWND w : {panel.Window(), stat.Window()}) SendMessageA(w, WM_TIMER, TIMER_POLL, 0);
        EXPECT_EQ(std::make_tuple(std::string(panel.Text().Text()) == "Second tip", IsWindowVisible(panel.Window()) != 0,
                                  IsWindowVisible(stat.Window()) != 0),
                  std::make_tuple(c.shown, c.shown || !c.close, false));
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
    SetForegroundWindow(program);
    PumpMessages(50);
    panel_.TryShowTip();
    EXPECT_FALSE(IsWindowVisible(panel_.Window()));
    SetWindowPos(program, nullptr, 0, 0, 600, 400, SWP_NOZORDER);
    PumpMessages(50);
    panel_.TryShowTip();
    EXPECT_STREQ(panel_.Text().Text(), "Waiting tip");  // held back, the tip stayed queued
    // Covering the monitor the window is on, however far beyond it.
    const RECT primary{0, 0, 1920, 1080}, second{1920, 0, 3200, 1024};
    EXPECT_TRUE(CoversMonitor(RECT{-8, -8, 1928, 1088}, primary) && CoversMonitor(second, second));
    EXPECT_FALSE(CoversMonitor(RECT{0, 0, 1920, 1040}, primary) || CoversMonitor(second, primary));
}

// Both edges count, an element without width never; one click only for a
// press and a release over it, none for a release alone, a press whose
// pointer leaves, or a press outside that the pointer then enters.
TEST(PanelElements, HitTestingTakesBothEdgesAndAPressAndReleaseOverItClickOnce) {
    struct : CDrawer {
        void OnClick() override { ++clicks; }
        int clicks = 0;
    } d;
    const auto hot = [&d](int x, int y) { return d.HitTest(x, y), d.IsHot() ? '1' : '0'; };
    std::string hits;
    d.SetRect(10, 20, 30, 40);
    for (POINT p : {POINT{10, 20}, {40, 60}, {25, 40}, {9, 20}, {10, 19}, {41, 60}, {40, 61}}) hits += hot(p.x, p.y);
    d.SetRect(10, 20, 0, 40);
    hits += hot(10, 20);
    d.Reset();
    EXPECT_EQ(hits + hot(0, 0), "111000000");
    d.SetRect(0, 0, 10, 10);
    hot(5, 5), d.Press(), d.Release(), d.Release();
    d.Press(), hot(50, 50), d.Release();
    d.Press(), hot(5, 5), d.Release();
    EXPECT_EQ(d.clicks, 1);
}

TEST(PanelElements, PairsOfSquareBracketsBreakTheTextAndEveryCopyIsCutToItsField) {
    const std::string longText(3000, 'x'), breakAtTheEnd = std::string(1022, 'y') + "[]";
    const struct { std::string in, out; } cases[] = {
        {"one[]two", "one\r\ntwo"}, {"[[]]", "[\r\n]"}, {"a[]b[]c", "a\r\nb\r\nc"}, {"[ ] [x] ][", "[ ] [x] ]["},
        {longText, longText.substr(0, 1023)}, {breakAtTheEnd, std::string(1022, 'y')}};
    CTextDrawer text;
    for (const auto& c : cases) {
        text.SetText(c.in.c_str(), longText.c_str());
        EXPECT_EQ(std::string(text.Text()), c.out) << c.in.substr(0, 20);
    }
    text.SetTitle(longText.c_str());
    CButtonDrawer button;
    button.SetTexts(longText.c_str(), longText.c_str(), longText.c_str());
    EXPECT_EQ(std::to_string(strlen(text.Link())) + " " + std::to_string(strlen(text.Title())) + " " + button.Caption() +
                  " " + button.Command() + " " + std::to_string(strlen(button.Url())),
              "1023 127 " + std::string(19, 'x') + " " + std::string(19, 'x') + " 1023");
    text.SetTitle("A [] title");
    EXPECT_STREQ(text.Title(), "A [] title");
}

using PanelWindow = PanelTest;
const TipContent kTip{1, "Title", "", "A tip to read"};

// A hidden topmost popup of the panel's size and background. Without a
// stay the sliding panel stays up; the static panel never counts its stay
// at all: it holds in PANEL_SLIDING_IN.
TEST_F(PanelWindow, RisesInElevenTicksToTheCornerStaysFiftyTicksASecondUnlessHoveredAndSinksInSeventeen) {
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
        EXPECT_TRUE(r.right == work.right && r.bottom == work.bottom && r.left == work.right - 260 &&
                    r.top == work.bottom - 160);
        Tick(*panel, stay > 0 ? 50 * stay : 600);
        EXPECT_EQ(panel->State(), stay < 0 ? PANEL_SLIDING_IN : PANEL_SHOWN);
        if (stay <= 0) continue;
        if (stay == 1) {  // hover brings a sinking panel back, and leaving restarts the whole stay
            Tick(*panel, 6);
            SendMessageA(w, WM_MOUSEHOVER, 0, 0);
            EXPECT_EQ(RaisePanel(*panel), 4);
            SendMessageA(w, WM_MOUSELEAVE, 0, 0);
            Tick(*panel, 51);
            EXPECT_EQ(panel->State(), PANEL_SHOWN);
        }
        Tick(*panel, 17);
        EXPECT_TRUE(IsWindowVisible(w));
        Tick(*panel);
        EXPECT_TRUE(!IsWindowVisible(w) && panel->State() == PANEL_HIDDEN);
    }
}

// Only the window's own thread can destroy it: from another, the window is
// left to default handling and never reaches the panel again.
TEST_F(PanelWindow, DestroyFromAnotherThreadDetachesTheWindow) {
    const HWND window = panel_.Window();
    LineCapture lines;
    std::thread([this] { panel_.Destroy(); }).join();
    EXPECT_TRUE(lines.Contains("CMessPanel DestroyWindow failed, window detached"));
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
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

constexpr COLORREF kFrame = RGB(80, 157, 219), kWhite = RGB(255, 255, 255), kBlue = RGB(0, 69, 146), kBlack = 0,
                   kGreen = RGB(0, 255, 0), kRed = RGB(255, 0, 0), kPaletteBlue = RGB(0, 0, 255);
// Palette green, red, blue, white. 4 x 2, each row red, red and twice the
// transparent index 0; 4 x 1 without transparency, each palette colour once.
const std::string kHalfClearGif("GIF89a\x04\0\x02\0\xf1\0\0\0\xff\0\xff\0\0\0\0\xff\xff\xff\xff\x21\xf9\x04\x01\0\0\0\0"
                                ",\0\0\0\0\x04\0\x02\0\0\x02\x05\x4c\x08\x30\x21\x50\0;", 52);
const std::string kOpaqueGif("GIF89a\x04\0\x01\0\xf1\0\0\0\xff\0\xff\0\0\0\0\xff\xff\xff\xff"
                             ",\0\0\0\0\x04\0\x01\0\0\x02\x03\x44\xa8\x15\0;", 42);

class PanelPaint : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        skin_ = ShowAndCapture(TipContent{1, "", "", "   "});  // the skin alone
    }
    Capture ShowAndCapture(const TipContent& content) {
        EXPECT_EQ(Show(panel_, content), 1);
        RaisePanel(panel_);
        return Screen();
    }
    Capture Screen() {
        PumpMessages(200);
        GdiFlush();
        return CaptureScreen(WindowRect(panel_.Window()));
    }
    // The box around the pixels in `area` that differ from the skin, and
    // how many of them are near `colour`.
    RECT InkIn(const Capture& shot, const RECT& area, COLORREF colour, int* nearColour) const {
        RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                if (Near(shot.At(x, y), skin_.At(x, y), 6)) continue;
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                           std::max<LONG>(box.bottom, y + 1)};
                *nearColour += Near(shot.At(x, y), colour, 40);
            }
        return box;
    }
    Capture skin_;
};

TEST_F(PanelPaint, ABlackCaptionAndABlueTitleOverACentredTextThatTurnsBlueUnderThePointer) {
    Capture shot = ShowAndCapture(TipContent{1, "Title", "", "Centred", "", {"Buy"}, {"OPENURL"}});
    int blue = 0, black = 0, caption = 0, hotBlue = 0, hotBlack = 0;
    InkIn(shot, RECT{123, 141, 149, 155}, kBlack, &caption);
    const RECT all = InkIn(shot, RECT{20, 25, 240, 135}, kBlue, &blue);
    const RECT lower{20, (all.top + all.bottom) / 2 + 1, 240, 135};
    const RECT body = InkIn(shot, lower, kBlack, &black);
    EXPECT_TRUE(blue > 5 && black > 5 && caption > 5) << blue << " " << black << " " << caption;
    EXPECT_NEAR((all.left + all.right) / 2, 130, 3);
    EXPECT_NEAR((all.top + all.bottom) / 2, 80, 4);
    EXPECT_NEAR((body.left + body.right) / 2, 130, 3);
    SendMessageA(panel_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(130, 80));
    shot = Screen();
    InkIn(shot, lower, kBlue, &hotBlue);
    InkIn(shot, lower, kBlack, &hotBlack);
    EXPECT_TRUE(hotBlue > 5 && hotBlack == 0) << hotBlue << " " << hotBlack;
}

// Pictures at their natural size, cut to their cell, transparent parts in
// black; what is no picture (empty, not one, cut short, too large) leaves
// the cell to the skin.
TEST_F(PanelPaint, TheSkinAndAPictureAtItsNaturalSizeCutToItsCellWithTransparencyInBlack) {
    std::string huge = kHalfClearGif;
    huge.resize(CPictureBitmap::kMaxFileBytes + 1, '\0');
    const COLORREF skin = 1;  // the skin's own colour at that point
    const struct { std::string bytes, text; std::vector<std::pair<POINT, COLORREF>> probes; } cases[] = {
        // 120 x 140 in the 100 x 133 cell beside a text: its top-left part.
        {JpegBytes(120, 140, RGB(200, 40, 40)), "Beside the picture",
         {{{2, 25}, RGB(200, 40, 40)}, {{101, 157}, RGB(200, 40, 40)}, {{1, 90}, skin}, {{102, 90}, skin},
          {{50, 24}, skin}, {{50, 158}, skin}}},
        {kHalfClearGif, "", {{{3, 26}, kRed}, {{4, 25}, kBlack}, {{5, 26}, kBlack}, {{6, 25}, skin}, {{2, 27}, skin}}},
        {kOpaqueGif, "", {{{2, 25}, kGreen}, {{3, 25}, kRed}, {{4, 25}, kPaletteBlue}, {{5, 25}, kWhite}, {{2, 26}, skin}}},
        {"", "", {{{2, 25}, skin}, {{0, 0}, kFrame}, {{259, 159}, kFrame}, {{130, 1}, RGB(213, 237, 252)},  // the skin's
                  {{130, 23}, kFrame}, {{130, 24}, kWhite}, {{10, 100}, RGB(195, 229, 251)}, {{244, 11}, kWhite}}},
        {"this is not a picture at all", "", {{{2, 25}, skin}}},
        {kHalfClearGif.substr(0, 20), "", {{{3, 26}, skin}}},
        {huge, "", {{{3, 26}, skin}}},
    };
    const std::string path = TipsFolder() + "7.gif";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        WriteWholeFile(path, c.bytes);
        const Capture shot = ShowAndCapture(TipContent{1, "", path, c.text});
        for (const auto& [p, colour] : c.probes)
            EXPECT_TRUE(Near(shot.At(p.x, p.y), colour == skin ? skin_.At(p.x, p.y) : colour, 16)) << p.x << "," << p.y;
    }
}

using Lines = std::vector<std::string>;
const std::string kPage = "http://tips.test/page?id=7&x=1", kFile = "http://tips.test/files/setup.zip";

bool BrowserRunning() {
    const handles::Kernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{sizeof entry};
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        if (lstrcmpiA(entry.szExeFile, "iexplore.exe") == 0) return true;
    return false;
}

// The agent's lines, then the browsers'. A browser the shell started
// exists once the call has returned; when none runs any more, each has
// written its line.
Lines Calls() {
    PumpUntil([] { return !BrowserRunning(); }, 10000);
    Lines lines;
    std::istringstream in(ReadWholeFile(HostFile("calls.log")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string TaskLine(const std::string& url) {
    return "task\t\"" + url + "\"\t\"\"\t\"C:\\QLDOWNLOAD\\\"\t\"\"\t\"\"\t1\t1\t10";
}

// The agent registered and failing `step` ("create", "task", "commit"),
// or "none": not registered; an empty log.
void StartRow(const std::string& step) {
    const handles::Module agent(LoadLibraryA(HostFile("test_agent.dll").c_str()));
    const auto entry = reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(agent.get(), "DllRegisterServer"));
    EXPECT_TRUE(entry != nullptr && SUCCEEDED(entry()));
    if (step == "none") RegDeleteTreeW(HKEY_CLASSES_ROOT, kDownloadAgentProgID);
    SetEnvironmentVariableA("TIPRELAY_AGENT_FAIL", step.c_str());
    DeleteFileA(HostFile("calls.log").c_str());
}

using ActionClick = PanelTest;

TEST_F(ActionClick, EachPartOfATipDoesWhatItsLinkOrActionSays) {
    // The test browser over the system folder's iexplore.exe, which the shell
    // starts, and Wine told to load that file rather than its built-in
    // stand-in, which never ends.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string source = HostFile("test_browser.exe"), target = std::string(system) + "\\iexplore.exe";
    ASSERT_TRUE(ReadWholeFile(target) == ReadWholeFile(source) || CopyFileA(source.c_str(), target.c_str(), FALSE));
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "iexplore.exe", REG_SZ, "native", 7),
              ERROR_SUCCESS);
    for (const char* log : {"TIPRELAY_BROWSER_LOG", "TIPRELAY_AGENT_LOG"})
        SetEnvironmentVariableA(log, HostFile("calls.log").c_str());
    const POINT picture{50, 90}, text{170, 60}, button{183, 148}, close{243, 11};
    const std::string download = "QUILLONBUTTON:DOWNLOAD:" + kFile, longUrl = "http://tips.test/" + std::string(1006, 'a');
    const Lines agentRun = {"create", TaskLine(kFile), "commit", "release"};
    // agent: as StartRow takes it, or "no COM": the host never started COM, so the library
    // cannot reach the agent; after: the panel then (S)hown, (L)eaving or (C)losed.
    struct Case { const char* name; POINT at; std::string link, action, url; const char* agent; char after; Lines calls; };
    const Case cases[] = {
        {"plain link on the picture", picture, kPage, "", "", "", 'L', {kPage}},
        {"plain link on the text", text, kPage, "", "", "", 'L', {kPage}},
        {"empty link", picture, "", "", "", "", 'L', {""}},
        {"prefix in other case", text, "quillonbutton:DOWNLOAD:x", "", "", "", 'L', {"quillonbutton:DOWNLOAD:x"}},
        {"download link on the text", text, download, "", "", "", 'L', agentRun},
        {"download link on the picture", picture, download, "", "", "none", 'L', {kFile}},
        {"download link without an address", text, "QUILLONBUTTON:DOWNLOAD:", "", "", "", 'S', {}},
        {"another library command", picture, "QUILLONBUTTON:CLOSE", "", "", "", 'S', {}},
        {"close zone", close, kPage, "OPENURL", kPage, "", 'C', {}},
        {"agent refuses creation", button, kPage, "DOWNLOAD", kFile, "create", 'L', {"refuse", kFile}},
        {"agent task fails", button, kPage, "DOWNLOAD", kFile, "task", 'L', {"create", TaskLine(kFile), "release"}},
        {"agent commit fails", button, kPage, "DOWNLOAD", kFile, "commit", 'L', agentRun},
        {"keyword in other case", button, kPage, "OpenURL", kPage, "", 'L', {}},
        {"download keyword in other case", button, kPage, "download", kFile, "", 'L', {}},
        {"a caption without a keyword is no button", button, kPage, "", kPage, "", 'S', {}},
        {"no address", button, kPage, "OPENURL", "", "", 'L', {}},
        {"address like a dash switch", button, kPage, "OPENURL", "-k http://x/", "", 'L', {}},
        {"address like a slash switch", button, kPage, "OPENURL", "/kiosk", "", 'L', {}},
        {"blanks, quotes and controls", button, kPage, "OPENURL", "http://t/a b\"c\td", "", 'L', {"http://t/a%20b%22c%09d"}},
        {"no COM for the agent", button, kPage, "DOWNLOAD", kFile, "no COM", 'L', {kFile}},
        {"an address in the ANSI code page", button, kPage, "DOWNLOAD", "http://tips.test/caf\xe9.zip", "", 'L',
         {"create", TaskLine("http://tips.test/caf\xc3\xa9.zip"), "commit", "release"}},
        {"a full-length address", button, kPage, "DOWNLOAD", longUrl, "", 'L',
         {"create", TaskLine(longUrl), "commit", "release"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartRow(c.agent);
        const bool com = c.agent != std::string("no COM") && SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_EQ(Show(panel_, TipContent{1, "", "C:\\no\\such\\picture.gif", "Some tip text", c.link, {"Get"}, {c.action},
                                          {c.url}}), 1);
        RaisePanel(panel_);
        panel_.Text().Spare().SetAction("OPENURL", "http://stale/");
        panel_.Picture().Spare().SetAction("OPENURL", "http://stale/");
        for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
            SendMessageA(panel_.Window(), message, 0, MAKELPARAM(c.at.x, c.at.y));
        PumpMessages(30);
        if (c.after == 'L') SendMessageA(panel_.Window(), WM_MOUSEHOVER, 0, 0);  // sent away, it stays away
        const char after = !IsWindowVisible(panel_.Window()) ? 'C' : panel_.State() == PANEL_LEAVING ? 'L' : 'S';
        EXPECT_EQ(std::make_pair(after, Calls()), std::make_pair(c.after, c.calls));
        SendMessageA(panel_.Window(), WM_MOUSELEAVE, 0, 0);
        if (com) CoUninitialize();
        if (c.after != 'C') continue;
        // The close leaves the state as it was, and the next tip rises from
        // below again; another program may send the action with any lParam.
        SendMessageA(panel_.Window(), WM_PANEL_ACTION, kPanelActionRun, 0x12345678);
        EXPECT_TRUE(panel_.State() == PANEL_SHOWN && Show(panel_, TipContent{1, "", "", "Next"}) == 1 &&
                    RaisePanel(panel_) == 11);
    }
    StartRow("");
}

}  // namespace
