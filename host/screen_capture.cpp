#include "screen_capture.h"

#include <cstdint>
#include <cstdlib>

#include "platform/handles.h"

namespace {

constexpr COLORREF kButtonFill = RGB(191, 226, 255);
constexpr COLORREF kButtonBorder = RGB(126, 208, 205);
// Action buttons are 30 x 18 with their top edge on row 139; row 141 runs
// through the fill just above the caption.
constexpr int kButtonTopRow = 139;
constexpr int kButtonProbeRow = 141;

}  // namespace

Capture CaptureDC(HDC source, int x, int y, int width, int height) {
    Capture capture;
    capture.width = width;
    capture.height = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const handles::Bitmap dib(CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const handles::MemoryDC memory(CreateCompatibleDC(source));
    if (!dib || !memory) {
        capture.width = capture.height = 0;
        return capture;
    }
    const handles::Select selected(memory.get(), dib.get());
    BitBlt(memory.get(), 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint8_t*>(bits);
    capture.pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < capture.pixels.size(); ++i) capture.pixels[i] = RGB(p[i * 4 + 2], p[i * 4 + 1], p[i * 4]);
    return capture;
}

Capture CaptureScreen(const RECT& rect) {
    const handles::WindowDC screen(nullptr);
    return CaptureDC(screen.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::vector<POINT> FindButtons(const Capture& panel) {
    std::vector<POINT> centres;
    if (kButtonProbeRow >= panel.height) return centres;
    int runStart = -1;
    for (int x = 0; x <= panel.width; ++x) {
        const bool fill = x < panel.width && Near(panel.At(x, kButtonProbeRow), kButtonFill, 8);
        if (fill && runStart < 0) runStart = x;
        if (fill || runStart < 0) continue;
        const int middle = (runStart + x) / 2;
        if (x - runStart >= 24 && x - runStart <= 30 && Near(panel.At(middle, kButtonTopRow), kButtonBorder, 8)) {
            centres.push_back(POINT{middle, kButtonTopRow + 9});
        }
        runStart = -1;
    }
    return centres;
}
