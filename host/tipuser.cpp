// tipuser: plays the user in front of the screen while tiphost.exe runs.
// It waits until a tip panel has risen into the lower-right corner, takes
// a PNG screenshot of it, clicks it with real input events (the pointer is
// moved onto the panel and the button pressed through the window system),
// watches what the panel does, and can then ask the host to stop.
//
//   tipuser.exe [--wait SECONDS] [--screenshot FILE.png] [--click TARGET]...
//               [--settle MS] [--quit-host] [--dpi-unaware]
//
// TARGET is "button:N" (the N-th action button, found by its colour),
// "text" (the middle of the text area), "close" (the close box), both at
// the panel's scale, or "at:X,Y" (panel client pixels). It measures in
// device pixels, as the user's eyes do (it is DPI-aware), unless told to
// look as a DPI-unaware program does, at a DPI-unaware host's panel. Each line of output is "what: detail".
// Exit codes: 0 done, 2 bad command line, 3 no panel came up, 4 a click
// target is not on the panel, 5 the screenshot could not be written.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "real_input.h"
#include "png_file.h"
#include "screen_capture.h"

namespace {

const char* const kPanelClasses[] = {"slipzemtraMessPanelClass", "statzemtraMessPanelClass"};

struct Options {
    double waitSeconds = 60;
    std::string screenshot;
    std::vector<std::string> clicks;
    DWORD settleMs = 3000;
    bool quitHost = false;
    bool dpiUnaware = false;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quit-host") {
            options->quitHost = true;
            continue;
        }
        if (arg == "--dpi-unaware") {
            options->dpiUnaware = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "--wait") {
            options->waitSeconds = std::atof(value.c_str());
        } else if (arg == "--screenshot") {
            options->screenshot = value;
        } else if (arg == "--click") {
            options->clicks.push_back(value);
        } else if (arg == "--settle") {
            options->settleMs = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        } else {
            return false;
        }
    }
    return options->waitSeconds > 0;
}

void Say(const char* what, const std::string& detail) {
    std::printf("%s: %s\n", what, detail.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

HWND VisiblePanel() {
    for (const char* name : kPanelClasses) {
        HWND window = FindWindowA(name, nullptr);
        if (window != nullptr && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

RECT WindowRectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// Fully up: its bottom edge sits on the work area's, and it has stopped.
bool IsUp(HWND window) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const RECT before = WindowRectOf(window);
    if (before.bottom != work.bottom) return false;
    Sleep(60);
    const RECT after = WindowRectOf(window);
    return IsWindowVisible(window) && after.top == before.top;
}

HWND WaitForPanel(double seconds, DWORD* waitedMs) {
    const DWORD start = GetTickCount();
    const DWORD limit = static_cast<DWORD>(seconds * 1000);
    while (GetTickCount() - start < limit) {
        HWND panel = VisiblePanel();
        if (panel != nullptr && IsUp(panel)) {
            *waitedMs = GetTickCount() - start;
            return panel;
        }
        Sleep(50);
    }
    return nullptr;
}

bool ResolveTarget(const std::string& target, HWND panel, POINT* at) {
    // The panel is 260 pixels wide at 96 DPI.
    const RECT r = WindowRectOf(panel);
    const auto scaled = [&r](int x, int y) {
        return POINT{MulDiv(x, r.right - r.left, 260), MulDiv(y, r.right - r.left, 260)};
    };
    if (target == "close") {
        *at = scaled(243, 11);
        return true;
    }
    if (target == "text") {
        *at = scaled(180, 60);
        return true;
    }
    if (target.rfind("at:", 0) == 0) {
        return std::sscanf(target.c_str() + 3, "%ld,%ld", &at->x, &at->y) == 2;
    }
    if (target.rfind("button:", 0) == 0) {
        const int n = std::atoi(target.c_str() + 7);
        const std::vector<POINT> buttons = FindButtons(CaptureScreen(WindowRectOf(panel)));
        if (n < 1 || static_cast<size_t>(n) > buttons.size()) return false;
        *at = buttons[static_cast<size_t>(n) - 1];
        return true;
    }
    return false;
}

// Moves the pointer onto the panel point, rests, and clicks.
void ClickAt(HWND panel, POINT at) {
    const RECT r = WindowRectOf(panel);
    const int x = r.left + at.x;
    const int y = r.top + at.y;
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x - 20, y - 10);
    Sleep(80);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    Sleep(250);
    SendMouse(MOUSEEVENTF_LEFTDOWN, 0, 0);
    Sleep(60);
    SendMouse(MOUSEEVENTF_LEFTUP, 0, 0);
}

// What the panel does in the `ms` after a click.
std::string WatchPanel(HWND panel, DWORD ms) {
    const RECT start = WindowRectOf(panel);
    const DWORD begin = GetTickCount();
    bool moved = false;
    while (GetTickCount() - begin < ms) {
        if (!IsWindowVisible(panel)) {
            const DWORD after = GetTickCount() - begin;
            return moved ? Format("slid away (hidden after %lu ms)", after)
                         : Format("hidden at once (after %lu ms)", after);
        }
        if (WindowRectOf(panel).top != start.top) moved = true;
        Sleep(10);
    }
    return moved ? "moving, still visible" : "stayed up";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: tipuser [--wait SECONDS] [--screenshot FILE.png] [--click "
                     "button:N|text|close|at:X,Y]... [--settle MS] [--quit-host] [--dpi-unaware]\n");
        return 2;
    }
    if (options.dpiUnaware) {
        using SetContext = HANDLE(WINAPI*)(HANDLE);
        const auto set = reinterpret_cast<SetContext>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext"));
        if (set != nullptr) set(reinterpret_cast<HANDLE>(-1));  // DPI_AWARENESS_CONTEXT_UNAWARE
    } else {
        SetProcessDPIAware();
    }
    DWORD waited = 0;
    HWND panel = WaitForPanel(options.waitSeconds, &waited);
    if (panel == nullptr) {
        Say("panel", Format("none came up within %.0f s", options.waitSeconds));
        return 3;
    }
    char className[64] = {};
    GetClassNameA(panel, className, sizeof className);
    const RECT r = WindowRectOf(panel);
    Say("panel", Format("%s up at %ld,%ld size %ldx%ld after %.1f s", className, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, waited / 1000.0));
    const DWORD thread = GetWindowThreadProcessId(panel, nullptr);

    if (!options.screenshot.empty()) {
        const int width = r.right - r.left;
        const int height = r.bottom - r.top;
        const Capture shot = CaptureScreen(r);
        if (!WritePng(options.screenshot, width, height,
                      std::vector<uint32_t>(shot.pixels.begin(), shot.pixels.end()))) {
            Say("screenshot", "cannot write " + options.screenshot);
            return 5;
        }
        Say("screenshot", Format("%s (%dx%d)", options.screenshot.c_str(), width, height));
    }

    for (const std::string& target : options.clicks) {
        POINT at{};
        if (!IsWindowVisible(panel) || !ResolveTarget(target, panel, &at)) {
            Say("click", target + " is not on the panel");
            return 4;
        }
        Say("click", Format("%s at %ld,%ld", target.c_str(), at.x, at.y));
        ClickAt(panel, at);
        Say("panel", WatchPanel(panel, options.settleMs));
    }

    if (options.quitHost) {
        PostThreadMessageA(thread, WM_QUIT, 0, 0);
        Say("host", "asked to stop");
    }
    return 0;
}
