// tipuser: plays the user in front of the screen while tiphost.exe runs.
// It waits until a tip panel has risen into the lower-right corner, takes
// a PNG screenshot of it, clicks it with real input events (the pointer is
// moved onto the panel and the button pressed through the window system),
// watches what the panel does, and can then ask the host to stop.
//
//   tipuser.exe [--wait SECONDS] [--screenshot FILE.png] [--click TARGET]...
//               [--settle MS] [--quit-host]
//
// TARGET is "button:N" (the N-th action button, found by its colour),
// "text" (the middle of the text area), "close" (the close box) or
// "at:X,Y" (panel client pixels). Each line of output is "what: detail".
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

namespace {

const char* const kPanelClasses[] = {"slipzemtraMessPanelClass", "statzemtraMessPanelClass"};
constexpr COLORREF kButtonFill = RGB(191, 226, 255);
constexpr COLORREF kButtonBorder = RGB(126, 208, 205);
// Action buttons are 30 x 18 with their top edge on row 139; row 141 runs
// through the fill just above the caption.
constexpr int kButtonTopRow = 139;
constexpr int kButtonProbeRow = 141;

struct Options {
    double waitSeconds = 60;
    std::string screenshot;
    std::vector<std::string> clicks;
    DWORD settleMs = 3000;
    bool quitHost = false;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quit-host") {
            options->quitHost = true;
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

// The panel's pixels as on screen, row by row from the top.
std::vector<uint32_t> Capture(const RECT& r) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const auto* bgra = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < pixels.size(); ++i) {
            const uint32_t p = bgra[i];
            pixels[i] = RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool NearColour(uint32_t a, COLORREF b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
        if (d > 8 || d < -8) return false;
    }
    return true;
}

// Centres of the action buttons, left to right: a run of the fill colour
// as wide as a button, under a border of the border colour.
std::vector<POINT> FindButtons(const std::vector<uint32_t>& pixels, int width, int height) {
    std::vector<POINT> centres;
    if (kButtonProbeRow >= height) return centres;
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
    int runStart = -1;
    for (int x = 0; x <= width; ++x) {
        const bool fill = x < width && NearColour(at(x, kButtonProbeRow), kButtonFill);
        if (fill && runStart < 0) runStart = x;
        if (fill || runStart < 0) continue;
        const int middle = (runStart + x) / 2;
        if (x - runStart >= 24 && x - runStart <= 30 && NearColour(at(middle, kButtonTopRow), kButtonBorder)) {
            centres.push_back(POINT{middle, kButtonTopRow + 9});
        }
        runStart = -1;
    }
    return centres;
}

bool ResolveTarget(const std::string& target, HWND panel, POINT* at) {
    if (target == "close") {
        *at = POINT{243, 11};
        return true;
    }
    if (target == "text") {
        *at = POINT{180, 60};
        return true;
    }
    if (target.rfind("at:", 0) == 0) {
        return std::sscanf(target.c_str() + 3, "%ld,%ld", &at->x, &at->y) == 2;
    }
    if (target.rfind("button:", 0) == 0) {
        const int n = std::atoi(target.c_str() + 7);
        const RECT r = WindowRectOf(panel);
        const int width = r.right - r.left;
        const std::vector<POINT> buttons = FindButtons(Capture(r), width, r.bottom - r.top);
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
                     "button:N|text|close|at:X,Y]... [--settle MS] [--quit-host]\n");
        return 2;
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
    Say("panel", Format("%s up at %ld,%ld size %ldx%ld after %.1f s", className, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, waited / 1000.0));
    const DWORD thread = GetWindowThreadProcessId(panel, nullptr);

    if (!options.screenshot.empty()) {
        const int width = r.right - r.left;
        const int height = r.bottom - r.top;
        if (!WritePng(options.screenshot, width, height, Capture(r))) {
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
