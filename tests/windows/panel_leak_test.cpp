// Paints and shows leave nothing behind: no GDI object (counted by our own
// wrappers and in the whole process), no kernel handle, no growing memory.
#include <windows.h>

#include <gtest/gtest.h>

#include "panels/gdi_object.h"
#include "panels/slip_mess_panel.h"
#include "platform/platform.h"
#include "support/dll_under_test.h"
#include "support/panel_fixture.h"
#include "support/panel_support.h"
#include "support/process_counts.h"

namespace {

int32_t g_clock = 0;
int32_t TestClock() { return g_clock; }

class PanelLeaks : public PanelTest {};

TEST_F(PanelLeaks, AThousandPaintsAndTwoHundredShowsWithPicturesLeaveNothingBehind) {
    g_clock = platform::Now();
    platform::SetClockForTest(&TestClock);
    const std::string jpeg = JpegBytes(100, 133, 0, true);
    ASSERT_FALSE(jpeg.empty());
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    panel.SetInterval(1);
    Store()->SetReady();

    auto showOne = [&](uint32_t id) {
        TipContent content;
        content.id = id;
        content.title = "Title";
        content.text = "A tip with a picture";
        content.picture = TipsFolder() + std::to_string(id) + ".gif";
        content.captions[0] = "Open";
        content.actions[0] = "OPENURL";
        content.urls[0] = "http://example.test/";
        WriteWholeFile(content.picture, jpeg);
        ASSERT_EQ(Store()->AddOneShowData(MakeTip(content).release()), 1);
        g_clock += 60;
        panel.TryShowTip();
        ASSERT_TRUE(IsWindowVisible(panel.Window())) << id;
        UpdateWindow(panel.Window());
        SendMessageA(panel.Window(), WM_CLOSE, 0, 0);
    };
    auto paint = [&] {
        InvalidateRect(panel.Window(), nullptr, FALSE);
        UpdateWindow(panel.Window());
    };

    // Warm up: the first decode and paint load what the system caches.
    showOne(1);
    ShowContent(panel, TipContent{}, 0);
    for (int i = 0; i < 5; ++i) paint();
    PumpMessages(50);
    CountKernelHandles();

    const long gdiBefore = gdi::LiveObjects();
    const int gdiCountBefore = CountGdiObjects();
    const int handlesBefore = CountKernelHandles();
    const SIZE_T bytesBefore = PrivateBytes();

    for (uint32_t id = 2; id < 202; ++id) showOne(id);
    TipContent last;
    last.text = "Painted a thousand times";
    last.picture = TipsFolder() + "2.gif";
    WriteWholeFile(last.picture, jpeg);
    ASSERT_EQ(ShowContent(panel, last, 0), 1);
    RaisePanel(panel);
    for (int i = 0; i < 1000; ++i) paint();
    PumpMessages(50);

    EXPECT_EQ(gdi::LiveObjects(), gdiBefore);
    // A few objects the system creates once on first use may appear; a leak
    // per show or per paint would add hundreds.
    EXPECT_LE(CountGdiObjects(), gdiCountBefore + 8);
    EXPECT_LE(CountKernelHandles(), handlesBefore + 8);
    // One leaked 100 x 133 bitmap per paint alone would be over 50 MB.
    EXPECT_LT(PrivateBytes(), bytesBefore + 8 * 1024 * 1024)
        << "grew by " << (PrivateBytes() - bytesBefore) / 1024 << " KB";
}

}  // namespace
