// The drawing elements on their own: hit testing, press and release into
// a click, the button layout, the text mark-up and the fields' limits.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "panels/button_bar.h"
#include "panels/text_drawer.h"

namespace {

class CountingDrawer : public CDrawer {
public:
    void OnClick() override { ++clicks; }
    int clicks = 0;
};

TEST(PanelElements, HitTestingTakesBothEdgesAndAPressAndReleaseOverItClickOnce) {
    CountingDrawer d;
    d.SetRect(10, 20, 30, 40);
    const POINT hot[] = {{10, 20}, {40, 60}, {25, 40}}, cold[] = {{9, 20}, {10, 19}, {41, 60}, {40, 61}};
    const auto isHot = [&d](POINT p) {
        d.HitTest(p.x, p.y);
        return d.IsHot() == 1;
    };
    for (POINT p : hot) EXPECT_TRUE(isHot(p)) << p.x << "," << p.y;
    for (POINT p : cold) EXPECT_FALSE(isHot(p)) << p.x << "," << p.y;
    d.SetRect(10, 20, 0, 40);
    EXPECT_FALSE(isHot(POINT{10, 20})) << "no width: not shown";
    d.Reset();
    EXPECT_FALSE(isHot(POINT{0, 0})) << "a reset element covers nothing";

    // Press, release: one click; then a release alone, a press whose
    // pointer leaves, and a press outside that the pointer then enters.
    d.SetRect(0, 0, 10, 10);
    d.HitTest(5, 5);
    d.Press();
    d.Release();
    d.Release();
    d.Press();
    d.HitTest(50, 50);
    d.Release();
    d.Press();
    d.HitTest(5, 5);
    d.Release();
    EXPECT_EQ(d.clicks, 1);
}

// A captioned button without a command once let an earlier tip's buttons
// stay laid out with their old actions; it ends the bar now.
TEST(PanelElements, ButtonsAreCentredThirtyByEighteenSixApartUpToTheFirstWithoutACommand) {
    struct Case {
        int areaX, areaWidth;
        const char *captions[3], *commands[3];
        int xs[3];  // 0: not shown
    };
    const Case cases[] = {
        {117, 120, {"Go!", "", ""}, {"OPENURL", "", ""}, {168, 0, 0}},
        {117, 120, {"Go!", "Go!", ""}, {"OPENURL", "DOWNLOAD", ""}, {150, 186, 0}},
        {117, 120, {"Go!", "Go!", "Go!"}, {"OPENURL", "X", "Y"}, {132, 168, 204}},
        {20, 220, {"Go!", "", ""}, {"OPENURL", "", ""}, {121, 0, 0}},
        {20, 220, {"Go!", "Go!", ""}, {"OPENURL", "OPENURL", ""}, {103, 139, 0}},
        {20, 220, {"Go!", "Go!", "Go!"}, {"A", "B", "C"}, {85, 121, 157}},
        {20, 220, {"New1", "New2", "New3"}, {"DOWNLOAD", "", "OPENURL"}, {121, 0, 0}},
        {20, 220, {"One", "", "Three"}, {"OPENURL", "", "OPENURL"}, {103, 0, 139}},
    };
    CButtonBar bar;
    for (const Case& c : cases) {
        const char* urls[3] = {"http://u/1", "http://u/2", "http://u/3"};
        bar.ResetButtons();
        bar.SetButtons(c.captions, c.commands, urls);
        bar.LayoutButtons(c.areaX, 133, c.areaWidth, 80);
        for (int k = 0; k < 3; ++k) {
            const RECT r = bar.Button(k).Bounds();
            const RECT expected = c.xs[k] ? RECT{c.xs[k], 139, c.xs[k] + 30, 157} : RECT{0, 0, 0, 0};
            EXPECT_TRUE(EqualRect(&r, &expected)) << c.captions[k] << " " << k << " at " << r.left;
            EXPECT_STREQ(bar.Button(k).Command(), c.commands[k]) << "no earlier text survives";
        }
    }
}

TEST(PanelElements, PairsOfSquareBracketsBreakTheTextAndEveryCopyIsCutToItsField) {
    const std::string longText(3000, 'x'), breakAtTheEnd = std::string(1022, 'y') + "[]";
    const struct {
        std::string in, out;
    } cases[] = {{"one[]two", "one\r\ntwo"}, {"[[]]", "[\r\n]"}, {"a[]b[]c", "a\r\nb\r\nc"},
                 {"[ ] [x] ][", "[ ] [x] ]["}, {longText, longText.substr(0, 1023)},
                 {breakAtTheEnd, std::string(1022, 'y')}};
    CTextDrawer text;
    for (const auto& c : cases) {
        text.SetText(c.in.c_str(), longText.c_str());
        EXPECT_EQ(std::string(text.Text()), c.out) << c.in.substr(0, 20);
    }
    EXPECT_EQ(std::string(text.Link()).size(), 1023u);
    text.SetTitle(longText.c_str());
    EXPECT_EQ(std::string(text.Title()).size(), 127u);
    text.SetTitle("A [] title");
    EXPECT_STREQ(text.Title(), "A [] title");
    CButtonDrawer button;
    button.SetTexts(longText.c_str(), longText.c_str(), longText.c_str());
    EXPECT_EQ(std::string(button.Caption()) + "|" + button.Command(), std::string(19, 'x') + "|" + std::string(19, 'x'));
    EXPECT_EQ(std::string(button.Url()).size(), 1023u);
}

}  // namespace
