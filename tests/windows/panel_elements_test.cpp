// The drawing elements on their own: hit testing, press and release into
// clicks, what a click posts, the button layout, the text mark-up.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panels/button_bar.h"
#include "panels/panel_action.h"
#include "panels/picture_drawer.h"
#include "panels/text_drawer.h"

namespace {

class CountingDrawer : public CDrawer {
public:
    void OnClick() override { ++clicks; }
    int clicks = 0;
};

// A message-only window that collects the panel action messages posted to it.
class ActionSink {
public:
    ActionSink() { window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr); }
    ~ActionSink() { DestroyWindow(window_); }
    HWND get() const { return window_; }

    struct Action {
        WPARAM command;
        LPARAM element;
    };
    std::vector<Action> Take() {
        std::vector<Action> actions;
        MSG msg;
        while (PeekMessageA(&msg, window_, WM_PANEL_ACTION, WM_PANEL_ACTION, PM_REMOVE))
            actions.push_back(Action{msg.wParam, msg.lParam});
        return actions;
    }

private:
    HWND window_;
};

TEST(PanelElements, HitTestingIncludesBothEdgesAndNeedsAShownElement) {
    CountingDrawer d;
    d.SetRect(10, 20, 30, 40);
    struct Case {
        int x, y;
        bool hot;
    };
    const Case cases[] = {{10, 20, true},  {40, 60, true},  {25, 40, true},  {9, 20, false},
                          {10, 19, false}, {41, 60, false}, {40, 61, false}, {-1, -1, false}};
    for (const Case& c : cases) {
        d.HitTest(c.x, c.y);
        EXPECT_EQ(d.IsHot(), c.hot ? 1 : 0) << c.x << "," << c.y;
    }
    d.SetRect(10, 20, 0, 40);  // no width: not shown
    d.HitTest(10, 20);
    EXPECT_EQ(d.IsHot(), 0);
    d.SetRect(10, 20, 30, 40);
    d.Reset();
    d.HitTest(0, 0);
    EXPECT_EQ(d.IsHot(), 0) << "a reset element covers nothing, not even its old corner";
}

TEST(PanelElements, APressAndAReleaseOverTheElementClickOnce) {
    CountingDrawer d;
    d.SetRect(0, 0, 10, 10);
    d.HitTest(5, 5);
    d.Press();
    d.Release();
    EXPECT_EQ(d.clicks, 1);
    d.Release();
    EXPECT_EQ(d.clicks, 1) << "a release without a press";

    // Pressed, then the pointer leaves: no click, and the press is over.
    d.Press();
    d.HitTest(50, 50);
    d.Release();
    EXPECT_EQ(d.clicks, 1);
    EXPECT_FALSE(d.IsPressed());

    // A press outside the element does not arm it.
    d.Press();
    d.HitTest(5, 5);
    d.Release();
    EXPECT_EQ(d.clicks, 1);
}

TEST(PanelElements, TheCloseZonePostsTenAndAnActionButtonItsCommandThenEleven) {
    ActionSink sink;
    CButtonBar bar;
    bar.SetOwnerWindow(sink.get());
    CButtonDrawer& close = bar.CloseButton();
    close.HitTest(243, 11);
    close.Press();
    close.Release();
    std::vector<ActionSink::Action> posted = sink.Take();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].command, kPanelActionClose);
    EXPECT_EQ(posted[0].element, reinterpret_cast<LPARAM>(&close));

    const char* captions[] = {"Open", "", ""};
    const char* commands[] = {"OPENURL", "", ""};
    const char* urls[] = {"http://example.test/", "", ""};
    bar.SetButtons(captions, commands, urls);
    bar.LayoutButtons(20, 133, 220, 80);
    CButtonDrawer& open = bar.Button(0);
    bar.HitTest(125, 145);
    EXPECT_EQ(bar.IsHot(), 1);
    bar.Press();
    bar.Release();
    posted = sink.Take();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].command, kPanelActionRun);
    EXPECT_EQ(posted[0].element, reinterpret_cast<LPARAM>(&open));
    EXPECT_EQ(posted[1].command, kPanelActionLeave);
    EXPECT_STREQ(open.Command(), "OPENURL");
    EXPECT_STREQ(open.Url(), "http://example.test/");
}

TEST(PanelElements, LinksOfThePictureAndTheTextPostWhatTheirPrefixSays) {
    ActionSink sink;
    CPictureDrawer picture;
    CTextDrawer text;
    picture.SetOwnerWindow(sink.get());
    text.SetOwnerWindow(sink.get());
    struct Case {
        const char* link;
        std::vector<WPARAM> posted;
        const char* spareUrl;  // null: the spare stays untouched
    };
    // Plain links also start the browser; the click-action tests, which
    // put a recorder in the browser's place, cover those.
    const Case cases[] = {
        {"QUILLONBUTTON:DOWNLOAD:http://example.test/setup.exe", {kPanelActionRun}, "http://example.test/setup.exe"},
        {"QUILLONBUTTON:DOWNLOAD:", {kPanelActionRun}, ""},
        {"QUILLONBUTTON:OPEN", {}, nullptr},
        {"QUILLONBUTTON:download:http://x/", {}, nullptr},
    };
    for (const Case& c : cases) {
        for (CLinkDrawer* element : {static_cast<CLinkDrawer*>(&picture), static_cast<CLinkDrawer*>(&text)}) {
            element->Spare().SetAction("", "");
            if (element == &picture)
                picture.SetPicture("C:\\tips\\1.gif", c.link);
            else
                text.SetText("Some text", c.link);
            element->SetRect(0, 0, 50, 50);
            element->HitTest(1, 1);
            element->Press();
            element->Release();
            const std::vector<ActionSink::Action> posted = sink.Take();
            ASSERT_EQ(posted.size(), c.posted.size()) << c.link;
            for (size_t i = 0; i < posted.size(); ++i) EXPECT_EQ(posted[i].command, c.posted[i]) << c.link;
            if (c.spareUrl != nullptr) {
                EXPECT_STREQ(element->Spare().Command(), "DOWNLOAD");
                EXPECT_STREQ(element->Spare().Url(), c.spareUrl);
                EXPECT_EQ(posted[0].element, reinterpret_cast<LPARAM>(&element->Spare()));
            } else {
                EXPECT_STREQ(element->Spare().Command(), "") << c.link;
            }
        }
    }
}

TEST(PanelElements, ButtonsAreLaidOutCentredThirtyByEighteenSixApart) {
    struct Case {
        int areaX, areaWidth, count;
        int xs[3];
    };
    const Case cases[] = {
        {117, 120, 1, {168}}, {117, 120, 2, {150, 186}}, {117, 120, 3, {132, 168, 204}},
        {20, 220, 1, {121}},  {20, 220, 2, {103, 139}},  {20, 220, 3, {85, 121, 157}},
    };
    for (const Case& c : cases) {
        CButtonBar bar;
        const char* captions[3] = {"", "", ""};
        const char* commands[3] = {"", "", ""};
        const char* urls[3] = {"", "", ""};
        for (int k = 0; k < c.count; ++k) {
            captions[k] = "Go!";
            commands[k] = "OPENURL";
        }
        bar.SetButtons(captions, commands, urls);
        EXPECT_EQ(bar.ButtonCount(), c.count);
        bar.LayoutButtons(c.areaX, 133, c.areaWidth, 80);
        for (int k = 0; k < 3; ++k) {
            const RECT r = bar.Button(k).Bounds();
            if (k >= c.count) {
                EXPECT_FALSE(bar.Button(k).IsShown());
                continue;
            }
            EXPECT_EQ(r.left, c.xs[k]) << c.areaX << " " << c.count << " " << k;
            EXPECT_EQ(r.top, 139);
            EXPECT_EQ(r.right - r.left, 30);
            EXPECT_EQ(r.bottom - r.top, 18);
        }
    }
}

// A captioned button without a command used to stop the bar from taking
// any of the new tip's texts while its buttons were still laid out, so the
// panel showed buttons that ran an earlier tip's actions.
TEST(PanelElements, ACaptionedButtonWithoutACommandEndsTheBarAndNoEarlierTextsSurvive) {
    CButtonBar bar;
    const char* oldCaptions[] = {"Old1", "Old2", "Old3"};
    const char* oldCommands[] = {"OPENURL", "OPENURL", "OPENURL"};
    const char* oldUrls[] = {"http://old/1", "http://old/2", "http://old/3"};
    bar.SetButtons(oldCaptions, oldCommands, oldUrls);
    bar.ResetButtons();

    const char* captions[] = {"New1", "New2", "New3"};
    const char* commands[] = {"DOWNLOAD", "", "OPENURL"};
    const char* urls[] = {"http://new/1", "http://new/2", "http://new/3"};
    bar.SetButtons(captions, commands, urls);
    bar.LayoutButtons(20, 133, 220, 80);
    EXPECT_EQ(bar.ButtonCount(), 1);
    EXPECT_TRUE(bar.Button(0).IsShown());
    EXPECT_EQ(bar.Button(0).Bounds().left, 121) << "one button, centred";
    EXPECT_FALSE(bar.Button(1).IsShown());
    EXPECT_FALSE(bar.Button(2).IsShown());
    for (int k = 0; k < 3; ++k) {
        EXPECT_STREQ(bar.Button(k).Caption(), captions[k]);
        EXPECT_STREQ(bar.Button(k).Command(), commands[k]);
        EXPECT_STREQ(bar.Button(k).Url(), urls[k]);
    }
    // A button without a caption is skipped, not an end.
    const char* gap[] = {"One", "", "Three"};
    const char* gapCommands[] = {"OPENURL", "", "OPENURL"};
    bar.ResetButtons();
    bar.SetButtons(gap, gapCommands, urls);
    bar.LayoutButtons(20, 133, 220, 80);
    EXPECT_EQ(bar.ButtonCount(), 2);
    EXPECT_EQ(bar.Button(0).Bounds().left, 103);
    EXPECT_FALSE(bar.Button(1).IsShown());
    EXPECT_EQ(bar.Button(2).Bounds().left, 139);
}

TEST(PanelElements, SquareBracketPairsBecomeLineBreaks) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"one[]two", "one\r\ntwo"},
        {"[[]]", "[\r\n]"},
        {"[]", "\r\n"},
        {"a[]b[]c", "a\r\nb\r\nc"},
        {"[ ] [x] ][", "[ ] [x] ]["},
        {"no marks", "no marks"},
    };
    CTextDrawer text;
    for (const Case& c : cases) {
        text.SetText(c.in, "link");
        EXPECT_STREQ(text.Text(), c.out) << c.in;
    }
    text.SetTitle("A [] title");
    EXPECT_STREQ(text.Title(), "A [] title") << "the title is copied unchanged";
    text.SetTitle(nullptr);
    EXPECT_STREQ(text.Title(), "");
}

TEST(PanelElements, CopiesAreCutToTheirFields) {
    CButtonDrawer button;
    const std::string longText(3000, 'x');
    button.SetTexts(longText.c_str(), longText.c_str(), longText.c_str());
    EXPECT_EQ(std::string(button.Caption()), std::string(19, 'x'));
    EXPECT_EQ(std::string(button.Command()), std::string(19, 'x'));
    EXPECT_EQ(std::string(button.Url()), std::string(1023, 'x'));
    CTextDrawer text;
    text.SetText(longText.c_str(), longText.c_str());
    text.SetTitle(longText.c_str());
    EXPECT_EQ(std::string(text.Text()).size(), 1023u);
    EXPECT_EQ(std::string(text.Link()).size(), 1023u);
    EXPECT_EQ(std::string(text.Title()).size(), 127u);
    // A break that would straddle the end of the field is left out whole.
    const std::string marks = std::string(1022, 'y') + "[]";
    text.SetText(marks.c_str(), "");
    EXPECT_EQ(std::string(text.Text()), std::string(1022, 'y'));
}

}  // namespace
