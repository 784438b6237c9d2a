// What the benchmarks that run under Wine share. The host gets a window of
// its own, as a real host has one (without it the library's first window
// would also pay for the thread's input-method window), and every figure is
// printed with its spread, never as one number.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// A visible top-level window of the host's own, its messages served.
HWND MakeHostWindow();

// Milliseconds that `step` took.
double TimeMs(const std::function<void()>& step);

// The value below which `percent` of the sorted values lie.
double Percentile(const std::vector<double>& sorted, size_t percent);

// "<what>  median M ms  p10 A  p90 B  min C  max D ms  (N runs)"
void ReportSpread(const char* what, std::vector<double> ms);
