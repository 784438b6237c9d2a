// What a raised panel paints, read back from the screen: the skin, texts in
// their colours, pictures in their cell.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "panels/picture_bitmap.h"
#include "screen_capture.h"
#include "support/panel_fixture.h"
#include "support/test_pictures.h"

namespace {

constexpr COLORREF kFrame = RGB(80, 157, 219), kWhite = RGB(255, 255, 255), kBlue = RGB(0, 69, 146), kBlack = 0,
                   kRed = RGB(255, 0, 0);
// 4 x 2, each row red, red and twice the transparent index 0.
const std::string kHalfClearGif(
    "GIF89a\x04\0\x02\0\xf1\0\0\0\xff\0\xff\0\0\0\0\xff\xff\xff\xff\x21\xf9\x04\x01\0\0\0\0"
    ",\0\0\0\0\x04\0\x02\0\0\x02\x05\x4c\x08\x30\x21\x50\0;",
    52);

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
    EXPECT_GT(blue, 5) << "the title";
    EXPECT_GT(black, 5) << "the text";
    EXPECT_GT(caption, 5) << "the caption";
    EXPECT_NEAR((all.left + all.right) / 2, 130, 3);
    EXPECT_NEAR((all.top + all.bottom) / 2, 80, 4);
    EXPECT_NEAR((body.left + body.right) / 2, 130, 3);
    SendMessageA(panel_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(130, 80));
    shot = Screen();
    InkIn(shot, lower, kBlue, &hotBlue);
    InkIn(shot, lower, kBlack, &hotBlack);
    EXPECT_GT(hotBlue, 5) << "the text under the pointer";
    EXPECT_EQ(hotBlack, 0) << "the text under the pointer";
}

// A point of a capture and the colour it must show; kSkin: the skin's own there.
constexpr COLORREF kSkin = 1;
struct Probe {
    int x, y;
    COLORREF colour;
};

// Pictures at their natural size, cut to their cell, transparent parts in
// black; what is no picture (empty, cut short, too large) leaves the cell
// to the skin.
TEST_F(PanelPaint, TheSkinAndAPictureAtItsNaturalSizeCutToItsCellWithTransparencyInBlack) {
    std::string huge = kHalfClearGif;
    huge.resize(CPictureBitmap::kMaxFileBytes + 1, '\0');
    const COLORREF jpeg = RGB(200, 40, 40);  // the JPEG's one colour
    const struct {
        std::string bytes, text;
        std::vector<Probe> probes;
    } cases[] = {
        // 120 x 140 in the 100 x 133 cell beside a text: its top-left part.
        {JpegBytes(120, 140, jpeg), "Text", {{2, 25, jpeg}, {101, 157, jpeg}, {102, 90, kSkin}, {50, 158, kSkin}}},
        {kHalfClearGif, "", {{3, 26, kRed}, {4, 25, kBlack}, {5, 26, kBlack}, {6, 25, kSkin}, {2, 27, kSkin}}},
        {"", "", {{2, 25, kSkin}}},
        {kHalfClearGif.substr(0, 20), "", {{3, 26, kSkin}}},
        {huge, "", {{3, 26, kSkin}}},
    };
    // The skin alone: its frame, title band, body and close box.
    const Probe skin[] = {{0, 0, kFrame},    {259, 159, kFrame}, {130, 1, RGB(213, 237, 252)},
                          {130, 23, kFrame}, {130, 24, kWhite},  {10, 100, RGB(195, 229, 251)},
                          {244, 11, kWhite}};
    for (const Probe& p : skin) EXPECT_TRUE(Near(skin_.At(p.x, p.y), p.colour, 16)) << p.x << "," << p.y;
    const std::string path = TipsFolder() + "7.gif";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        WriteWholeFile(path, c.bytes);
        const Capture shot = ShowAndCapture(TipContent{1, "", path, c.text});
        for (const Probe& p : c.probes)
            EXPECT_TRUE(Near(shot.At(p.x, p.y), p.colour == kSkin ? skin_.At(p.x, p.y) : p.colour, 16))
                << p.x << "," << p.y;
    }
}

}  // namespace
