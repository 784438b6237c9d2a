// Shows and paints leave nothing behind: no GDI object (counted by our own
// wrappers and in the whole process), no kernel handle, no memory.
#include <windows.h>

#include <gtest/gtest.h>

#include "panels/slip_mess_panel.h"
#include "platform/handles.h"
#include "support/dll_under_test.h"
#include "support/panel_support.h"
#include "support/process_counts.h"

namespace {

class PanelLeaks : public PanelTest {};

TEST_F(PanelLeaks, AHundredAndFiftyShowsAndPaintsWithAPictureLeaveNothingBehind) {
    CSlipMessPanel panel;
    ASSERT_EQ(panel.Create(), 1);
    TipContent content;
    content.title = "Title";
    content.text = "A tip with a picture";
    content.picture = TipsFolder() + "1.gif";
    content.captions[0] = "Open";
    content.actions[0] = "OPENURL";
    WriteWholeFile(content.picture, JpegBytes(100, 133, 0, true));
    const auto showAndPaint = [&](int times) {
        for (int i = 0; i < times; ++i) {
            ASSERT_EQ(Show(panel, content, 0), 1);
            UpdateWindow(panel.Window());
            InvalidateRect(panel.Window(), nullptr, FALSE);
            UpdateWindow(panel.Window());
            SendMessageA(panel.Window(), WM_CLOSE, 0, 0);
        }
        PumpMessages(50);
    };
    // The first decode and paint load what the system caches.
    showAndPaint(3);
    CountKernelHandles();
    const long gdiBefore = handles::LiveGdiObjects();
    const int gdiCountBefore = CountGdiObjects(), handlesBefore = CountKernelHandles();
    const SIZE_T bytesBefore = PrivateBytes();
    showAndPaint(150);
    EXPECT_EQ(handles::LiveGdiObjects(), gdiBefore);
    // A few objects the system makes once may appear; a leak per show or
    // per paint adds hundreds, a 100 x 133 bitmap per paint over 15 MB.
    EXPECT_LE(CountGdiObjects(), gdiCountBefore + 8);
    EXPECT_LE(CountKernelHandles(), handlesBefore + 8);
    EXPECT_LT(PrivateBytes(), bytesBefore + 8 * 1024 * 1024);
}

}  // namespace
