// What the user sees of a shown panel, read back from the screen: the
// skin, the buttons at the layout table's places, the picture at its
// natural size, the title and the text centred; and one screenshot of each
// of the six layouts, and of a tip that overflows, in screenshots\ beside
// the test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "panels/library_module.h"
#include "panels/slip_mess_panel.h"
#include "support/dll_under_test.h"
#include "support/panel_fixture.h"
#include "support/panel_support.h"

namespace {

constexpr COLORREF kFrame = RGB(80, 157, 219);
constexpr COLORREF kButtonFill = RGB(191, 226, 255);
constexpr COLORREF kButtonBorder = RGB(126, 208, 205);
constexpr COLORREF kTitleBlue = RGB(0, 69, 146);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Pixels drawn over the skin inside a rectangle of the panel.
struct Ink {
    int count = 0;
    RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};

class PanelPaint : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_EQ(panel_.Create(), 1);
        HBITMAP skin = LoadBitmapA(LibraryModule(), MAKEINTRESOURCEA(1004));
        ASSERT_NE(skin, nullptr);
        skin_ = CaptureBitmap(skin);
        DeleteObject(skin);
    }

    // Shows `content`, lets it rise and paint, and reads the panel back.
    Capture ShowAndCapture(const TipContent& content) {
        EXPECT_EQ(ShowContent(panel_, content, 0), 1);
        RaisePanel(panel_);
        SettlePaint();
        return CaptureScreen(WindowRect(panel_.Window()));
    }

    // Pixels in `area` that differ from the skin, and how many are near `colour`.
    Ink InkIn(const Capture& shot, const RECT& area, COLORREF colour, int* nearCount) const {
        Ink ink;
        int nearColour = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const COLORREF p = shot.At(x, y);
                if (Near(p, skin_.At(x, y), 6)) continue;
                ++ink.count;
                ink.box.left = std::min<LONG>(ink.box.left, x);
                ink.box.top = std::min<LONG>(ink.box.top, y);
                ink.box.right = std::max<LONG>(ink.box.right, x + 1);
                ink.box.bottom = std::max<LONG>(ink.box.bottom, y + 1);
                if (Near(p, colour, 40)) ++nearColour;
            }
        if (nearCount) *nearCount = nearColour;
        return ink;
    }

    std::string Picture(const char* name, const std::string& bytes) {
        const std::string path = TipsFolder() + name;
        WriteWholeFile(path, bytes);
        return path;
    }

    CSlipMessPanel panel_;
    Capture skin_;
};

TEST_F(PanelPaint, TheSkinShowsItsFrameBandAndBody) {
    ASSERT_EQ(skin_.width, 260);
    ASSERT_EQ(skin_.height, 160);
    TipContent content;
    content.text = "Skin check";
    const Capture shot = ShowAndCapture(content);
    ASSERT_EQ(shot.width, 260);
    struct Probe {
        const char* what;
        int x, y;
        COLORREF colour;
        int tolerance;
    };
    const Probe probes[] = {
        {"frame, top left", 0, 0, kFrame, 0},
        {"frame, bottom right", 259, 159, kFrame, 0},
        {"frame, left edge", 0, 80, kFrame, 0},
        {"frame, right edge", 259, 80, kFrame, 0},
        {"band, top", 130, 1, RGB(213, 237, 252), 0},
        {"band, bottom", 130, 22, RGB(88, 163, 221), 0},
        {"line under the band", 130, 23, kFrame, 0},
        {"inner frame, top", 130, 24, kWhite, 0},
        {"inner frame, left", 1, 100, kWhite, 0},
        {"body, top", 10, 25, RGB(232, 245, 254), 0},
        {"body, row 100", 10, 100, RGB(195, 229, 251), 0},
        {"body, row 140", 10, 140, RGB(186, 225, 250), 0},
        {"body, row 157", 10, 157, RGB(222, 241, 254), 0},
        {"close box frame", 237, 4, kWhite, 0},
        {"close box cross", 244, 11, kWhite, 0},
    };
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(shot.At(p.x, p.y), p.colour, p.tolerance)) << p.what << ": " << ColourText(shot.At(p.x, p.y));
    // The caption of the band is white text at its left.
    int white = 0;
    for (int y = 5; y < 20; ++y)
        for (int x = 12; x < 61; ++x) white += shot.At(x, y) == kWhite;
    EXPECT_GT(white, 50);
}

TEST_F(PanelPaint, ButtonsSitWhereTheLayoutTableSays) {
    struct Case {
        bool picture;
        int count;
        int xs[3];
    };
    const Case cases[] = {
        {true, 1, {168}},          {true, 2, {150, 186}},      {true, 3, {132, 168, 204}},
        {false, 1, {121}},         {false, 2, {103, 139}},     {false, 3, {85, 121, 157}},
    };
    for (const Case& c : cases) {
        TipContent content;
        content.picture = c.picture ? TipsFolder() + "none.gif" : "";
        content.text = "Buttons below";
        for (int k = 0; k < c.count; ++k) {
            content.captions[k] = "Buy";
            content.actions[k] = "OPENURL";
            content.urls[k] = "http://example.test/";
        }
        const Capture shot = ShowAndCapture(content);
        for (int k = 0; k < c.count; ++k) {
            const int x = c.xs[k], y = 139;
            const std::string where = std::to_string(c.count) + " buttons, x " + std::to_string(x);
            EXPECT_EQ(shot.At(x + 2, y + 9), kButtonFill) << where << ": " << ColourText(shot.At(x + 2, y + 9));
            EXPECT_EQ(shot.At(x + 27, y + 9), kButtonFill) << where;
            EXPECT_EQ(shot.At(x + 2, y + 2), kButtonFill) << where;
            EXPECT_EQ(shot.At(x, y + 9), kButtonBorder) << where << ": " << ColourText(shot.At(x, y + 9));
            EXPECT_EQ(shot.At(x + 29, y + 9), kButtonBorder) << where;
            EXPECT_EQ(shot.At(x + 15, y), kButtonBorder) << where;
            EXPECT_EQ(shot.At(x + 15, y + 17), kButtonBorder) << where;
            // 30 x 18: nothing of the button right of it or below it.
            EXPECT_NE(shot.At(x + 31, y + 9), kButtonFill) << where;
            EXPECT_NE(shot.At(x + 15, y + 19), kButtonFill) << where;
            // The caption is drawn in black inside the button.
            int dark = 0;
            for (int py = y + 2; py < y + 16; ++py)
                for (int px = x + 2; px < x + 28; ++px) dark += Near(shot.At(px, py), RGB(0, 0, 0), 90);
            EXPECT_GT(dark, 5) << where;
        }
    }
}

TEST_F(PanelPaint, APictureShowsAtItsNaturalSizeAndTransparencyAsBlack) {
    const std::string jpeg = JpegBytes(100, 133, RGB(200, 40, 40));
    ASSERT_FALSE(jpeg.empty());
    TipContent content;
    content.picture = Picture("7.gif", jpeg);
    content.text = "Beside the picture";
    Capture shot = ShowAndCapture(content);
    for (const POINT p : {POINT{2, 25}, POINT{50, 90}, POINT{101, 157}})
        EXPECT_TRUE(Near(shot.At(p.x, p.y), RGB(200, 40, 40), 16)) << p.x << "," << p.y;
    EXPECT_EQ(shot.At(1, 90), skin_.At(1, 90)) << "left of the cell";
    EXPECT_EQ(shot.At(102, 90), skin_.At(102, 90)) << "right of the cell";
    EXPECT_EQ(shot.At(50, 24), skin_.At(50, 24)) << "above the cell";

    // A 40 x 20 picture in the wide cell: its own size, the rest is skin;
    // its transparent right half comes out black.
    std::vector<uint8_t> indices;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) indices.push_back(x < 20 ? 1 : 0);
    content.picture = Picture("8.gif", GifBytes(40, 20, indices, {RGB(0, 255, 0), RGB(0, 0, 255)}, 0));
    content.text.clear();
    shot = ShowAndCapture(content);
    EXPECT_EQ(shot.At(2 + 5, 25 + 5), RGB(0, 0, 255));
    EXPECT_EQ(shot.At(2 + 30, 25 + 5), RGB(0, 0, 0));
    EXPECT_EQ(shot.At(2 + 39, 25 + 19), RGB(0, 0, 0));
    EXPECT_EQ(shot.At(2 + 40, 25 + 5), skin_.At(42, 30));
    EXPECT_EQ(shot.At(2 + 5, 25 + 20), skin_.At(7, 45));
}

TEST_F(PanelPaint, TheTitleIsBlueAndTheTextIsCentredAndTurnsBlueUnderThePointer) {
    TipContent content;
    content.title = "Title";
    content.text = "Centred";
    Capture shot = ShowAndCapture(content);
    const RECT textArea{20, 25, 240, 135};
    int blue = 0, black = 0;
    const Ink all = InkIn(shot, textArea, kTitleBlue, &blue);
    ASSERT_GT(all.count, 20);
    EXPECT_GT(blue, 5) << "the title is drawn in RGB(0, 69, 146)";
    // Title above the text, the block centred in the box.
    const int middle = (all.box.left + all.box.right) / 2;
    EXPECT_NEAR(middle, 130, 3);
    EXPECT_NEAR((all.box.top + all.box.bottom) / 2, 25 + 55, 4);
    const RECT lower{20, (all.box.top + all.box.bottom) / 2 + 1, 240, 135};
    const Ink body = InkIn(shot, lower, RGB(0, 0, 0), &black);
    EXPECT_GT(black, 5) << "the body text is black";
    EXPECT_NEAR((body.box.left + body.box.right) / 2, 130, 3);

    // The pointer over the text: the body turns blue at once.
    SendMessageA(panel_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(130, 80));
    SettlePaint();
    shot = CaptureScreen(WindowRect(panel_.Window()));
    int hotBlue = 0, hotBlack = 0;
    InkIn(shot, lower, kTitleBlue, &hotBlue);
    InkIn(shot, lower, RGB(0, 0, 0), &hotBlack);
    EXPECT_GT(hotBlue, 5);
    EXPECT_EQ(hotBlack, 0);

    // A long title over a short text gets the width it needs, centred.
    content.title = "A rather long title for a tip";
    content.text = "Hi!";
    const Ink wide = InkIn(ShowAndCapture(content), textArea, 0, nullptr);
    EXPECT_GT(wide.box.right - wide.box.left, 100);
    EXPECT_NEAR((wide.box.left + wide.box.right) / 2, 130, 3);
}

TEST_F(PanelPaint, APairOfSquareBracketsBreaksTheLine) {
    TipContent content;
    content.text = "First";
    const Ink one = InkIn(ShowAndCapture(content), RECT{20, 25, 240, 158}, 0, nullptr);
    content.text = "First[]Second";
    const Ink two = InkIn(ShowAndCapture(content), RECT{20, 25, 240, 158}, 0, nullptr);
    const int oneHeight = one.box.bottom - one.box.top;
    EXPECT_GE(two.box.bottom - two.box.top, 2 * oneHeight);
    EXPECT_STREQ(panel_.Text().Text(), "First\r\nSecond");
}

// Each layout, and a tip that overflows every place it has, names exactly
// the elements the painter cuts, once however often it paints.
TEST_F(PanelPaint, EachLayoutIsSavedAsAScreenshotAndNamesWhatItCuts) {
    const std::string narrow = JpegBytes(100, 133, 0, true);
    const std::string wide = JpegBytes(256, 133, 0, true);
    ASSERT_FALSE(narrow.empty());
    ASSERT_FALSE(wide.empty());
    const std::string narrowPath = Picture("narrow.gif", narrow);
    const std::string widePath = Picture("wide.gif", wide);
    const std::string folder = ExeFolder() + "\\screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);

    struct Layout {
        const char* file;
        bool picture, text;
        int buttons;
        bool overflow;
    };
    const Layout layouts[] = {
        {"1_picture_text_buttons.bmp", true, true, 2, false},
        {"2_picture_text.bmp", true, true, 0, false},
        {"3_picture_buttons.bmp", true, false, 1, false},
        {"4_picture.bmp", true, false, 0, false},
        {"5_text_buttons.bmp", false, true, 3, false},
        {"6_text.bmp", false, true, 0, false},
        {"7_text_buttons_cut.bmp", false, true, 2, true},
    };
    const char* captions[] = {"&Open", "Get", "More"};
    for (const Layout& l : layouts) {
        TipContent content;
        content.title = l.overflow ? std::string(127, 'W') : "Weekly tip";
        content.picture = l.picture ? (l.text ? narrowPath : widePath) : "";
        content.text = l.text ? "Pause a download and pick it up later[]where you left off." : "";
        if (l.overflow) content.text.assign(1000, 'w');
        for (int k = 0; k < l.buttons; ++k) {
            content.captions[k] = l.overflow && k == 1 ? "Download" : captions[k];
            content.actions[k] = "OPENURL";
            content.urls[k] = "http://example.test/";
        }
        LineCapture lines;
        const Capture shot = ShowAndCapture(content);
        EXPECT_TRUE(SaveBmp(folder + "\\" + l.file, shot)) << l.file;
        // Something is drawn where the layout puts the tip.
        EXPECT_GT(InkIn(shot, RECT{2, 25, 258, 158}, 0, nullptr).count, 100) << l.file;
        std::vector<std::string> cuts;
        const std::vector<std::string> logged = lines.Lines();
        for (size_t i = 0; i + 1 < logged.size(); ++i)
            if (logged[i] == "CMessPanel text cut") cuts.push_back(logged[i + 1]);
        const std::vector<std::string> named = {"title", "text", "button 2"};
        EXPECT_EQ(cuts, l.overflow ? named : std::vector<std::string>()) << l.file;
    }
}

}  // namespace
