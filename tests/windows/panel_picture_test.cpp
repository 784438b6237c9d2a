// Picture files decoded into bitmaps of their natural size.
#include <windows.h>

#include <gtest/gtest.h>

#include "panels/picture_bitmap.h"
#include "support/panel_support.h"

namespace {

class PanelPicture : public PanelTest {};

TEST_F(PanelPicture, PicturesDecodeAtTheirSizeWithTransparencyInTheBackgroundAndNoPictureIntoNothing) {
    const std::vector<COLORREF> palette = {RGB(0, 255, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    const std::string halfClear = GifBytes(4, 2, {1, 1, 0, 0, 1, 1, 0, 0}, palette, 0);
    std::string huge = halfClear;
    huge.resize(CPictureBitmap::kMaxFileBytes + 1, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        COLORREF background;
        int width, height;  // 0: no bitmap
        std::vector<COLORREF> firstRow;
    };
    const Case cases[] = {
        {"jpeg", JpegBytes(100, 133, RGB(200, 40, 40)), 0, 100, 133, {}},
        {"transparent gif", halfClear, RGB(10, 20, 30), 4, 2, {palette[1], palette[1], RGB(10, 20, 30), RGB(10, 20, 30)}},
        {"opaque gif", GifBytes(4, 1, {0, 1, 2, 3}, palette, -1), 0, 4, 1, palette},
        {"empty", "", 0, 0, 0, {}},
        {"text", "this is not a picture at all", 0, 0, 0, {}},
        {"cut gif", halfClear.substr(0, 20), 0, 0, 0, {}},
        {"larger than any tip picture", huge, 0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        const std::string path = TipsFolder() + "1.gif";
        WriteWholeFile(path, c.bytes);
        CPictureBitmap picture;
        EXPECT_EQ(picture.LoadFile(path.c_str(), c.background), c.width ? 1 : 0) << c.name;
        if (!c.width) continue;
        const Capture pixels = CaptureBitmap(picture.Get());
        EXPECT_EQ(pixels.width, c.width) << c.name;
        EXPECT_EQ(pixels.height, c.height) << c.name;
        for (size_t x = 0; x < c.firstRow.size(); ++x) EXPECT_EQ(pixels.At(x, 0), c.firstRow[x]) << c.name << " " << x;
        // A second load is refused and keeps the first bitmap.
        const HBITMAP held = picture.Get();
        EXPECT_EQ(picture.LoadFile(path.c_str(), 0), 0) << c.name;
        EXPECT_EQ(picture.Get(), held) << c.name;
    }
    CPictureBitmap missing;
    EXPECT_EQ(missing.LoadFile((TipsFolder() + "missing.gif").c_str(), 0), 0);
    EXPECT_EQ(missing.LoadFile(nullptr, 0), 0);
}

}  // namespace
