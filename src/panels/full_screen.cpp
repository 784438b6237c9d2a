#include "panels/full_screen.h"

#include <shellapi.h>

namespace {

bool IsShellBackground(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    char name[16] = {0};
    GetClassNameA(window, name, sizeof name);
    // The desktop's own windows cover the screen whenever the user clicks
    // on the desktop; that is not a full-screen program.
    return lstrcmpA(name, "Progman") == 0 || lstrcmpA(name, "WorkerW") == 0;
}

}  // namespace

bool CoversMonitor(const RECT& client, const RECT& monitor) {
    return client.left <= monitor.left && client.top <= monitor.top && client.right >= monitor.right &&
           client.bottom >= monitor.bottom;
}

bool IsForegroundFullScreen() {
    HWND foreground = GetForegroundWindow();
    if (foreground == nullptr || IsShellBackground(foreground)) return false;
    if (GetSystemMetrics(SM_CXSCREEN) < 1 || GetSystemMetrics(SM_CYSCREEN) < 1) return false;
    RECT client{};
    if (!GetClientRect(foreground, &client)) return false;
    POINT topLeft{client.left, client.top};
    POINT bottomRight{client.right, client.bottom};
    if (!ClientToScreen(foreground, &topLeft) || !ClientToScreen(foreground, &bottomRight)) return false;
    // Compare with the monitor the window is on, so a full-screen program on
    // a second monitor counts as well as one on the primary screen.
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST);
    if (monitor == nullptr || !GetMonitorInfoA(monitor, &info)) return false;
    return CoversMonitor(RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}, info.rcMonitor);
}

bool IsUserBusy() {
    using QueryFn = HRESULT(WINAPI*)(QUERY_USER_NOTIFICATION_STATE*);
    // Looked up at run time: older systems do not have it.
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (shell == nullptr) return false;
    auto query = reinterpret_cast<QueryFn>(GetProcAddress(shell, "SHQueryUserNotificationState"));
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (query == nullptr || FAILED(query(&state))) return false;
    switch (state) {
    case QUNS_NOT_PRESENT:
    case QUNS_BUSY:
    case QUNS_RUNNING_D3D_FULL_SCREEN:
    case QUNS_PRESENTATION_MODE:
    case QUNS_QUIET_TIME:
        return true;
    default:
        return false;
    }
}
