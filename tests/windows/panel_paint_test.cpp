// What the user sees of a shown panel, read back from the screen: the
// skin, a button, a picture in its cell, the title and the text.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "panels/slip_mess_panel.h"
#include "support/dll_under_test.h"
#include "support/panel_support.h"

namespace {

constexpr COLORREF kFrame = RGB(80, 157, 219);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlue = RGB(0, 69, 146);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class PanelPaint : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        ASSERT_EQ(panel_.Create(), 1);
        TipContent bare;
        bare.text = "   ";  // shows the skin alone
        skin_ = ShowAndCapture(bare);
    }
    Capture ShowAndCapture(const TipContent& content) {
        EXPECT_EQ(Show(panel_, content, 0), 1);
        RaisePanel(panel_);
        return Capture_();
    }
    Capture Capture_() {
        PumpMessages(200);
        GdiFlush();
        return CaptureScreen(WindowRect(panel_.Window()));
    }
    // The box around the pixels in `area` that differ from the skin, and
    // how many of them are near `colour`.
    RECT InkIn(const Capture& shot, const RECT& area, COLORREF colour, int* nearColour = nullptr) const {
        RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                if (Near(shot.At(x, y), skin_.At(x, y), 6)) continue;
                box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                           std::max<LONG>(box.bottom, y + 1)};
                if (nearColour) *nearColour += Near(shot.At(x, y), colour, 40);
            }
        return box;
    }
    CSlipMessPanel panel_;
    Capture skin_;
};

struct Probe {
    int x, y;
    COLORREF colour;
};

TEST_F(PanelPaint, TheSkinAndAButtonShowInTheirColours) {
    const Probe skin[] = {{0, 0, kFrame}, {259, 159, kFrame}, {130, 1, RGB(213, 237, 252)}, {130, 23, kFrame},
                          {130, 24, kWhite}, {10, 100, RGB(195, 229, 251)}, {244, 11, kWhite}};
    for (const Probe& p : skin) EXPECT_EQ(skin_.At(p.x, p.y), p.colour) << p.x << "," << p.y;

    TipContent content;
    content.text = "A button below";
    content.captions[0] = "Buy";
    content.actions[0] = "OPENURL";
    const Capture shot = ShowAndCapture(content);
    // The button at (121, 139), 30 x 18: border, fill, nothing of it beyond.
    const Probe button[] = {{123, 148, RGB(191, 226, 255)}, {148, 148, RGB(191, 226, 255)},
                            {121, 148, RGB(126, 208, 205)}, {150, 148, RGB(126, 208, 205)},
                            {136, 139, RGB(126, 208, 205)}, {136, 156, RGB(126, 208, 205)},
                            {152, 148, skin_.At(152, 148)}, {136, 158, skin_.At(136, 158)}};
    for (const Probe& p : button) EXPECT_EQ(shot.At(p.x, p.y), p.colour) << p.x << "," << p.y;
    int dark = 0;
    InkIn(shot, RECT{123, 141, 149, 155}, kBlack, &dark);
    EXPECT_GT(dark, 5) << "a black caption";
}

TEST_F(PanelPaint, APictureShowsAtItsNaturalSizeCutToItsCellWithTransparencyInBlack) {
    // 120 x 140 in the 100 x 133 cell beside a text: its top-left part.
    const std::string path = TipsFolder() + "7.gif";
    WriteWholeFile(path, JpegBytes(120, 140, RGB(200, 40, 40)));
    TipContent content;
    content.picture = path;
    content.text = "Beside the picture";
    Capture shot = ShowAndCapture(content);
    for (const POINT p : {POINT{2, 25}, POINT{101, 157}})
        EXPECT_TRUE(Near(shot.At(p.x, p.y), RGB(200, 40, 40), 16)) << p.x << "," << p.y;
    for (const POINT p : {POINT{1, 90}, POINT{102, 90}, POINT{50, 24}, POINT{50, 158}})
        EXPECT_EQ(shot.At(p.x, p.y), skin_.At(p.x, p.y)) << p.x << "," << p.y;

    // 40 x 20 alone in the wide cell, its right half transparent.
    std::vector<uint8_t> indices;
    for (int i = 0; i < 40 * 20; ++i) indices.push_back(i % 40 < 20);
    WriteWholeFile(path, GifBytes(40, 20, indices, {RGB(0, 255, 0), RGB(0, 0, 255)}, 0));
    content.text.clear();
    shot = ShowAndCapture(content);
    const Probe wide[] = {{7, 30, RGB(0, 0, 255)}, {32, 30, kBlack}, {41, 44, kBlack}, {42, 30, skin_.At(42, 30)},
                          {7, 45, skin_.At(7, 45)}};
    for (const Probe& p : wide) EXPECT_EQ(shot.At(p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST_F(PanelPaint, ABlueTitleOverACentredTextThatTurnsBlueUnderThePointer) {
    TipContent content;
    content.title = "Title";
    content.text = "Centred";
    Capture shot = ShowAndCapture(content);
    int blue = 0, black = 0;
    const RECT all = InkIn(shot, RECT{20, 25, 240, 135}, kBlue, &blue);
    EXPECT_GT(blue, 5);
    EXPECT_NEAR((all.left + all.right) / 2, 130, 3);
    EXPECT_NEAR((all.top + all.bottom) / 2, 80, 4);
    const RECT lower{20, (all.top + all.bottom) / 2 + 1, 240, 135};
    const RECT body = InkIn(shot, lower, kBlack, &black);
    EXPECT_NEAR((body.left + body.right) / 2, 130, 3);
    EXPECT_GT(black, 5);

    SendMessageA(panel_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(130, 80));
    shot = Capture_();
    int hotBlue = 0, hotBlack = 0;
    InkIn(shot, lower, kBlue, &hotBlue);
    InkIn(shot, lower, kBlack, &hotBlack);
    EXPECT_GT(hotBlue, 5);
    EXPECT_EQ(hotBlack, 0);

    // A long title over a short text gets the width it needs, centred.
    content.title = "A rather long title for a tip";
    content.text = "Hi!";
    const RECT wide = InkIn(ShowAndCapture(content), RECT{20, 25, 240, 135}, 0);
    EXPECT_GT(wide.right - wide.left, 100);
    EXPECT_NEAR((wide.left + wide.right) / 2, 130, 3);
}

}  // namespace
