// What a panel paints, read back from the screen (the skin, a button's
// caption, a picture in its cell, the title and the text), and the
// pictures it decodes. The buttons' colours: tipuser finds them by those.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "panels/picture_bitmap.h"
#include "platform/handles.h"
#include "support/panel_support.h"

namespace {

constexpr COLORREF kFrame = RGB(80, 157, 219), kWhite = RGB(255, 255, 255), kBlue = RGB(0, 69, 146), kBlack = 0;
// Palette green, red, blue, white. 4 x 2, each row red, red and twice the
// transparent index 0; 4 x 1 without transparency, each palette colour once.
const std::string kHalfClearGif("GIF89a\x04\0\x02\0\xf1\0\0\0\xff\0\xff\0\0\0\0\xff\xff\xff\xff\x21\xf9\x04\x01\0\0\0\0"
                                ",\0\0\0\0\x04\0\x02\0\0\x02\x05\x4c\x08\x30\x21\x50\0;", 52);
const std::string kOpaqueGif("GIF89a\x04\0\x01\0\xf1\0\0\0\xff\0\xff\0\0\0\0\xff\xff\xff\xff"
                             ",\0\0\0\0\x04\0\x01\0\0\x02\x03\x44\xa8\x15\0;", 42);
const COLORREF kGreen = RGB(0, 255, 0), kRed = RGB(255, 0, 0);

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
    void ExpectColours(const Capture& shot, std::initializer_list<std::pair<POINT, COLORREF>> probes) {
        for (const auto& [p, colour] : probes) EXPECT_EQ(shot.At(p.x, p.y), colour) << p.x << "," << p.y;
    }
    Capture skin_;
};

TEST_F(PanelPaint, TheSkinAndAButtonCaptionShowInTheirColours) {
    ExpectColours(skin_, {{{0, 0}, kFrame}, {{259, 159}, kFrame}, {{130, 1}, RGB(213, 237, 252)}, {{130, 23}, kFrame},
                          {{130, 24}, kWhite}, {{10, 100}, RGB(195, 229, 251)}, {{244, 11}, kWhite}});
    int dark = 0;
    InkIn(ShowAndCapture(TipContent{1, "", "", "A button below", "", {"Buy"}, {"OPENURL"}}), RECT{123, 141, 149, 155},
          kBlack, &dark);
    EXPECT_GT(dark, 5) << "a black caption";
}

TEST_F(PanelPaint, APictureShowsAtItsNaturalSizeCutToItsCellWithTransparencyInBlack) {
    // 120 x 140 in the 100 x 133 cell beside a text: its top-left part.
    const std::string path = TipsFolder() + "7.gif";
    WriteWholeFile(path, JpegBytes(120, 140, RGB(200, 40, 40)));
    TipContent content{1, "", path, "Beside the picture"};
    Capture shot = ShowAndCapture(content);
    for (const POINT p : {POINT{2, 25}, POINT{101, 157}})
        EXPECT_TRUE(Near(shot.At(p.x, p.y), RGB(200, 40, 40), 16)) << p.x << "," << p.y;
    for (const POINT p : {POINT{1, 90}, POINT{102, 90}, POINT{50, 24}, POINT{50, 158}})
        EXPECT_EQ(shot.At(p.x, p.y), skin_.At(p.x, p.y)) << p.x << "," << p.y;
    // 4 x 2 alone in the wide cell, its right half transparent.
    WriteWholeFile(path, kHalfClearGif);
    content.text.clear();
    ExpectColours(ShowAndCapture(content), {{{3, 26}, kRed}, {{4, 25}, kBlack}, {{5, 26}, kBlack},
                                            {{6, 25}, skin_.At(6, 25)}, {{2, 27}, skin_.At(2, 27)}});
}

TEST_F(PanelPaint, ABlueTitleOverACentredTextThatTurnsBlueUnderThePointer) {
    Capture shot = ShowAndCapture(TipContent{1, "Title", "", "Centred"});
    int blue = 0, black = 0, hotBlue = 0, hotBlack = 0;
    const RECT all = InkIn(shot, RECT{20, 25, 240, 135}, kBlue, &blue);
    const RECT lower{20, (all.top + all.bottom) / 2 + 1, 240, 135};
    const RECT body = InkIn(shot, lower, kBlack, &black);
    EXPECT_TRUE(blue > 5 && black > 5) << blue << " " << black;
    EXPECT_NEAR((all.left + all.right) / 2, 130, 3);
    EXPECT_NEAR((all.top + all.bottom) / 2, 80, 4);
    EXPECT_NEAR((body.left + body.right) / 2, 130, 3);
    SendMessageA(panel_.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(130, 80));
    shot = Screen();
    InkIn(shot, lower, kBlue, &hotBlue);
    InkIn(shot, lower, kBlack, &hotBlack);
    EXPECT_TRUE(hotBlue > 5 && hotBlack == 0) << hotBlue << " " << hotBlack;
}

TEST_F(PanelPaint, PicturesDecodeAtTheirSizeWithTransparencyInTheBackgroundAndNoPictureIntoNothing) {
    std::string huge = kHalfClearGif;
    huge.resize(CPictureBitmap::kMaxFileBytes + 1, '\0');
    const COLORREF back = RGB(10, 20, 30);
    const struct {
        std::string bytes;
        COLORREF background;
        int width, height;  // 0: no bitmap
        std::vector<COLORREF> firstRow;
    } cases[] = {
        {JpegBytes(100, 133, RGB(200, 40, 40)), 0, 100, 133, {}},
        {kHalfClearGif, back, 4, 2, {kRed, kRed, back, back}},
        {kOpaqueGif, 0, 4, 1, {kGreen, kRed, RGB(0, 0, 255), kWhite}},
        {"", 0, 0, 0, {}},
        {"this is not a picture at all", 0, 0, 0, {}},
        {kHalfClearGif.substr(0, 20), 0, 0, 0, {}},
        {huge, 0, 0, 0, {}},
    };
    const std::string path = TipsFolder() + "1.gif";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        WriteWholeFile(path, c.bytes);
        CPictureBitmap picture;
        EXPECT_EQ(picture.LoadFile(path.c_str(), c.background), c.width ? 1 : 0);
        if (!c.width) continue;
        BITMAP info{};
        GetObjectA(picture.Get(), sizeof info, &info);
        const handles::MemoryDC source(CreateCompatibleDC(nullptr));
        const handles::Select selected(source.get(), picture.Get());
        const Capture pixels = CaptureDC(source.get(), 0, 0, info.bmWidth, info.bmHeight);
        EXPECT_TRUE(info.bmWidth == c.width && info.bmHeight == c.height) << info.bmWidth << "x" << info.bmHeight;
        for (size_t x = 0; x < c.firstRow.size(); ++x) EXPECT_EQ(pixels.At(x, 0), c.firstRow[x]) << x;
        // A second load is refused and keeps the first bitmap.
        const HBITMAP held = picture.Get();
        EXPECT_EQ(picture.LoadFile(path.c_str(), 0), 0);
        EXPECT_EQ(picture.Get(), held);
    }
    CPictureBitmap missing;
    EXPECT_EQ(missing.LoadFile((TipsFolder() + "missing.gif").c_str(), 0) + missing.LoadFile(nullptr, 0), 0);
}

}  // namespace
