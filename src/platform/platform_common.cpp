#include "platform/platform.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<ClockFn> g_clock{nullptr};
std::atomic<LineSinkFn> g_sink{nullptr};
}  // namespace

// Per-system, in platform_<os>.cpp.
void SystemDebugLine(const char* text);
int32_t SystemNow();

int32_t Now() {
    if (ClockFn clock = g_clock.load()) return clock();
    return SystemNow();
}

void DebugLine(const char* text) {
    if (text == nullptr) text = "";
    if (LineSinkFn sink = g_sink.load()) {
        sink(text);
        return;
    }
    SystemDebugLine(text);
}

void SetClockForTest(ClockFn clock) { g_clock.store(clock); }
void SetLineSinkForTest(LineSinkFn sink) { g_sink.store(sink); }

}  // namespace platform
