// Picture files decoded into bitmaps of their natural size.
#include <windows.h>

#include <gtest/gtest.h>

#include "panels/picture_bitmap.h"
#include "support/host_folder.h"
#include "support/panel_support.h"

namespace {

class PanelPicture : public HostFolderTest {
protected:
    void SetUp() override {
        HostFolderTest::SetUp();
        CreateDirectoryA(TipsFolder().c_str(), nullptr);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = TipsFolder() + name;
        WriteWholeFile(path, bytes);
        return path;
    }
};

TEST_F(PanelPicture, JpegOf100By133DecodesToExactlyThatSize) {
    const std::string jpeg = JpegBytes(100, 133, RGB(200, 40, 40));
    ASSERT_FALSE(jpeg.empty()) << "no JPEG encoder";
    CPictureBitmap picture;
    ASSERT_NE(picture.LoadFile(Write("1.gif", jpeg).c_str(), RGB(0, 0, 0)), 0);
    BITMAP info{};
    ASSERT_NE(GetObjectA(picture.Get(), sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 100);
    EXPECT_EQ(info.bmHeight, 133);
    const Capture pixels = CaptureBitmap(picture.Get());
    EXPECT_TRUE(Near(pixels.At(50, 66), RGB(200, 40, 40), 12)) << ColourText(pixels.At(50, 66));
}

TEST_F(PanelPicture, TransparentGifPixelsComeOutInTheBackgroundColour) {
    // A 4 x 2 picture: the left half red, the right half transparent.
    const std::vector<uint8_t> indices = {1, 1, 0, 0, 1, 1, 0, 0};
    const std::string gif = GifBytes(4, 2, indices, {RGB(0, 255, 0), RGB(255, 0, 0)}, 0);
    const std::string path = Write("2.gif", gif);
    for (COLORREF background : {RGB(0, 0, 0), RGB(10, 20, 30)}) {
        CPictureBitmap picture;
        ASSERT_NE(picture.LoadFile(path.c_str(), background), 0);
        const Capture pixels = CaptureBitmap(picture.Get());
        ASSERT_EQ(pixels.width, 4);
        ASSERT_EQ(pixels.height, 2);
        for (int y = 0; y < 2; ++y) {
            EXPECT_EQ(pixels.At(0, y), RGB(255, 0, 0));
            EXPECT_EQ(pixels.At(1, y), RGB(255, 0, 0));
            EXPECT_EQ(pixels.At(2, y), background) << ColourText(pixels.At(2, y));
            EXPECT_EQ(pixels.At(3, y), background) << ColourText(pixels.At(3, y));
        }
    }
}

TEST_F(PanelPicture, GifWithoutTransparencyKeepsEveryColour) {
    const std::vector<uint8_t> indices = {0, 1, 2, 3};
    const std::vector<COLORREF> palette = {RGB(0, 255, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    CPictureBitmap picture;
    ASSERT_NE(picture.LoadFile(Write("3.gif", GifBytes(4, 1, indices, palette, -1)).c_str(), 0), 0);
    const Capture pixels = CaptureBitmap(picture.Get());
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixels.At(x, 0), palette[x]) << x;
}

TEST_F(PanelPicture, FilesThatAreNoPictureYieldNoBitmap) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"text", "this is not a picture at all"},
        {"truncated gif", GifBytes(4, 2, {1, 1, 0, 0, 1, 1, 0, 0}, {0, 255}, 0).substr(0, 20)},
        {"gif header only", "GIF89a"},
    };
    for (const Case& c : cases) {
        CPictureBitmap picture;
        EXPECT_EQ(picture.LoadFile(Write("bad.gif", c.bytes).c_str(), 0), 0) << c.name;
        EXPECT_EQ(picture.Get(), nullptr) << c.name;
    }
    CPictureBitmap missing;
    EXPECT_EQ(missing.LoadFile((TipsFolder() + "missing.gif").c_str(), 0), 0);
    EXPECT_EQ(missing.LoadFile("", 0), 0);
    EXPECT_EQ(missing.LoadFile(nullptr, 0), 0);
}

TEST_F(PanelPicture, ASecondLoadIsRefusedAndKeepsTheFirstBitmap) {
    const std::string first = Write("4.gif", GifBytes(4, 2, {1, 1, 1, 1, 1, 1, 1, 1}, {0, RGB(255, 0, 0)}, -1));
    const std::string second = Write("5.gif", GifBytes(2, 2, {0, 0, 0, 0}, {RGB(0, 0, 255)}, -1));
    CPictureBitmap picture;
    ASSERT_NE(picture.LoadFile(first.c_str(), 0), 0);
    HBITMAP held = picture.Get();
    EXPECT_EQ(picture.LoadFile(second.c_str(), 0), 0);
    EXPECT_EQ(picture.Get(), held);
    EXPECT_EQ(picture.Size().cx, 4);
}

TEST_F(PanelPicture, AFileLargerThanAnyTipPictureIsNotRead) {
    std::string huge = GifBytes(4, 2, {1, 1, 0, 0, 1, 1, 0, 0}, {0, RGB(255, 0, 0)}, -1);
    huge.resize(CPictureBitmap::kMaxFileBytes + 1, '\0');
    CPictureBitmap picture;
    EXPECT_EQ(picture.LoadFile(Write("6.gif", huge).c_str(), 0), 0);
}

}  // namespace
