// Prints what painting a tip panel costs (run under Wine or on Windows):
// - the whole paint of a tip with a 100 x 133 JPEG picture, a title, a text
//   and two buttons: the picture file read and decoded, the skin copied, the
//   elements drawn, all off screen and copied once;
// - the same paint through the window (WM_PAINT onto the display);
// - the picture loading alone, and the paint of a tip with a text only.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "panels/mess_panel.h"
#include "panels/picture_bitmap.h"
#include "panels/slip_mess_panel.h"
#include "support/test_pictures.h"

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(const char* what, int runs, const std::function<void()>& step) {
    for (int i = 0; i < 10; ++i) step();  // warm caches and lazy loads
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        step();
        QueryPerformanceCounter(&end);
        times.push_back(Milliseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    std::printf("%-44s runs %4d  median %7.3f ms  mean %7.3f ms  p95 %7.3f ms  max %7.3f ms\n", what, runs,
                times[times.size() / 2], sum / times.size(), times[times.size() * 95 / 100], times.back());
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

int32_t Show(CMessPanel& panel, const std::string& picture, const char* text) {
    return panel.ShowPanel("Weekly tip", picture.c_str(), text, "http://example.test/", "Open", "OPENURL",
                           "http://example.test/open", "Get", "DOWNLOAD", "http://example.test/get", "", "", "",
                           0);
}

}  // namespace

int main() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string picture = std::string(folder) + "paint_bench.gif";
    const std::string jpeg = JpegBytes(100, 133, 0, true);
    if (jpeg.empty() || !WriteFile(picture, jpeg)) {
        std::fprintf(stderr, "paint_bench: no JPEG encoder or no temporary folder\n");
        return 1;
    }
    CSlipMessPanel panel;
    if (!panel.Create()) {
        std::fprintf(stderr, "paint_bench: the panel could not be created\n");
        return 1;
    }
    const int runs = 500;
    HDC screen = GetDC(nullptr);
    HDC target = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, kPanelWidth, kPanelHeight);
    HGDIOBJ old = SelectObject(target, canvas);

    std::printf("JPEG of %zu bytes, 100 x 133\n", jpeg.size());
    Measure("picture loading alone (read, decode, render)", runs, [&] {
        CPictureBitmap bitmap;
        bitmap.LoadFile(picture.c_str(), 0);
    });
    Show(panel, picture, "Pause a download and pick it up later[]where you left off.");
    Measure("paint, picture + text + buttons, off screen", runs, [&] { panel.Render(target); });
    Measure("paint, picture + text + buttons, WM_PAINT", runs, [&] {
        InvalidateRect(panel.Window(), nullptr, FALSE);
        UpdateWindow(panel.Window());
    });
    Show(panel, "", "Pause a download and pick it up later[]where you left off.");
    Measure("paint, text + buttons, off screen", runs, [&] { panel.Render(target); });

    SelectObject(target, old);
    DeleteObject(canvas);
    DeleteDC(target);
    ReleaseDC(nullptr, screen);
    panel.Destroy();
    DeleteFileA(picture.c_str());
    return 0;
}
