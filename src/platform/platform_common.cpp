#include "platform/platform.h"

#include <atomic>
#include <ctime>

namespace platform {
namespace {
std::atomic<ClockFn> g_clock{nullptr};
std::atomic<LineSinkFn> g_sink{nullptr};
}  // namespace

void SystemDebugLine(const char* text);  // per-system, in platform_<os>.cpp

int32_t Now() {
    if (ClockFn clock = g_clock.load()) return clock();
    return static_cast<int32_t>(std::time(nullptr));
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
