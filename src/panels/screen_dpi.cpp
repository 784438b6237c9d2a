#include "panels/screen_dpi.h"

#include "panels/panel_scale.h"
#include "platform/handles.h"

namespace {

// The awareness and per-monitor calls came with later systems than the
// library runs on, so they are looked up rather than linked.
enum class Awareness { kUnaware, kSystem, kPerMonitor };
// Values of the system's DPI_AWARENESS, and kSearchSystemFolder.
constexpr int kSystemAware = 1;
constexpr int kPerMonitorAware = 2;
constexpr DWORD kSearchSystemFolder = 0x800;

Awareness ThreadAwareness() {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    using ContextFn = HANDLE(WINAPI*)();
    using AwarenessFn = int(WINAPI*)(HANDLE);
    const auto context = reinterpret_cast<ContextFn>(GetProcAddress(user32, "GetThreadDpiAwarenessContext"));
    const auto awareness = reinterpret_cast<AwarenessFn>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext"));
    if (context == nullptr || awareness == nullptr) return IsProcessDPIAware() ? Awareness::kSystem : Awareness::kUnaware;
    switch (awareness(context())) {
    case kSystemAware:
        return Awareness::kSystem;
    case kPerMonitorAware:
        return Awareness::kPerMonitor;
    default:
        return Awareness::kUnaware;
    }
}

int32_t SystemDpi() {
    const handles::WindowDC screen(nullptr);
    return screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : CPanelScale::kBaseDpi;
}

// 0 when the system cannot tell a monitor's own DPI.
int32_t MonitorDpi(HMONITOR monitor) {
    const handles::Module shcore(LoadLibraryExA("shcore.dll", nullptr, kSearchSystemFolder));
    if (!shcore || monitor == nullptr) return 0;
    // MDT_EFFECTIVE_DPI is 0.
    using DpiFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    const auto dpiFor = reinterpret_cast<DpiFn>(GetProcAddress(shcore.get(), "GetDpiForMonitor"));
    UINT x = 0, y = 0;
    if (dpiFor == nullptr || FAILED(dpiFor(monitor, 0, &x, &y))) return 0;
    return static_cast<int32_t>(y);
}

}  // namespace

int32_t PanelDpiOn(HMONITOR monitor) {
    switch (ThreadAwareness()) {
    case Awareness::kUnaware:
        return CPanelScale::kBaseDpi;
    case Awareness::kPerMonitor: {
        const int32_t dpi = MonitorDpi(monitor);
        return dpi > 0 ? dpi : SystemDpi();
    }
    default:
        return SystemDpi();
    }
}
