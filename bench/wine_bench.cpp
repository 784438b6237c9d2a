#include "wine_bench.h"

#include <algorithm>
#include <cstdio>

HWND MakeHostWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BenchHostWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "bench host", WS_OVERLAPPEDWINDOW, 10, 10, 320, 200,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return window;
}

double TimeMs(const std::function<void()>& step) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    step();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Percentile(const std::vector<double>& sorted, size_t percent) {
    return sorted.empty() ? 0 : sorted[(sorted.size() - 1) * percent / 100];
}

void ReportSpread(const char* what, std::vector<double> ms) {
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    auto at = [&ms](size_t percent) { return Percentile(ms, percent); };
    std::printf("%-58s median %8.3f ms  p10 %8.3f  p90 %8.3f  min %8.3f  max %8.3f ms  (%zu runs)\n", what,
                at(50), at(10), at(90), ms.front(), ms.back(), ms.size());
    std::fflush(stdout);
}
