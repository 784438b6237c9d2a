// soak: a host that starts and stops the real tiprelay.dll again and again
// against a live tips server, shows every tip it gets and clicks it with
// real input, and prints what the process holds at the start and every few
// cycles. Nothing it holds may grow. bench/soak.sh sets up the server, the
// pictures, the test browser and the test download agent around it.
//
//   soak.exe --port N [--cycles 200] [--shows 5] [--every 50] [--check]
//            [--keep-files] [--stay MS]
//
// Each cycle: message.ini pointed at the server (last-time value 0, so the
// server sends its tips again; panel interval below zero, so the sliding
// panel may show at every poll), the display history removed (so the tips
// may show again), every other cycle the tip file too (so the pictures are
// fetched again), msg_init, identity, then for each show a poll tick, the
// tip rising, one click (a button, the text, the picture or the close box
// in turn) and the panel gone again; then msg_exit. With --check the exit
// code is 1 when a count grew from the first report after warm-up to the
// last, a show or click failed, or a msg_exit took longer than its bound or
// left a thread of the library behind. --keep-files leaves the data files
// alone (for fault runs that prepared them); --stay keeps each start running
// that much longer before msg_exit.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "real_input.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "process_snapshot.h"

namespace {

// The sliding panel's poll timer and its action buttons' colours and row.
constexpr UINT_PTR kPollTimer = 2;
constexpr COLORREF kButtonFill = RGB(191, 226, 255);
constexpr int kButtonProbeRow = 141;
constexpr DWORD kShowWaitMs = 20000;
// The stop waits at most 500 ms for the worker; the rest is the history save
// and the windows going.
constexpr double kExitBoundMs = 650;

struct Options {
    int port = 0;
    int cycles = 200;
    int shows = 5;
    int every = 50;
    int stayMs = 0;
    bool check = false;
    bool keepFiles = false;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--check" || arg == "--keep-files") {
            (arg == "--check" ? options->check : options->keepFiles) = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const int value = std::atoi(argv[++i]);
        if (arg == "--port") {
            options->port = value;
        } else if (arg == "--cycles") {
            options->cycles = value;
        } else if (arg == "--shows") {
            options->shows = value;
        } else if (arg == "--every") {
            options->every = value;
        } else if (arg == "--stay") {
            options->stayMs = value;
        } else {
            return false;
        }
    }
    return options->port > 0 && options->cycles > 0 && options->shows >= 0 && options->every > 0 &&
           options->stayMs >= 0;
}

struct Tally {
    int shows = 0;
    int clicks = 0;
    int clicksThatSentThePanelAway = 0;
    int failures = 0;
    std::vector<double> initMs;
    std::vector<double> exitMs;
};

double NowMs() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Fail(Tally& tally, int cycle, const char* what) {
    ++tally.failures;
    std::printf("cycle %d: %s\n", cycle, what);
    std::fflush(stdout);
}

HWND SlidingPanel() { return FindWindowA("slipzemtraMessPanelClass", nullptr); }

RECT RectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// Risen: its bottom edge on the work area's, and no longer moving.
bool IsUp(HWND panel) {
    if (!IsWindowVisible(panel)) return false;
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const RECT before = RectOf(panel);
    if (before.bottom != work.bottom) return false;
    PumpMessages(40);
    return RectOf(panel).top == before.top;
}

// The first action button on screen: the middle of the first run of its
// fill colour across the probe row.
bool FirstButton(HWND panel, POINT* at) {
    const RECT r = RectOf(panel);
    const handles::WindowDC screen(nullptr);
    int runStart = -1;
    bool found = false;
    for (int x = 0; x < r.right - r.left && !found; ++x) {
        const COLORREF c = GetPixel(screen.get(), r.left + x, r.top + kButtonProbeRow);
        const bool fill = std::abs(GetRValue(c) - GetRValue(kButtonFill)) <= 8 &&
                          std::abs(GetGValue(c) - GetGValue(kButtonFill)) <= 8 &&
                          std::abs(GetBValue(c) - GetBValue(kButtonFill)) <= 8;
        if (fill && runStart < 0) runStart = x;
        if (!fill && runStart >= 0) {
            // As wide as a button: a picture may hold the same colour.
            *at = POINT{(runStart + x) / 2, kButtonProbeRow + 7};
            found = x - runStart >= 24 && x - runStart <= 31;
            runStart = -1;
        }
    }
    return found;
}

// Which part of the tip the n-th click goes to, in turn.
POINT ClickTarget(HWND panel, int n, const char** name) {
    switch (n % 4) {
        case 0: {
            POINT button{};
            *name = "button";
            if (FirstButton(panel, &button)) return button;
            break;
        }
        case 1:
            *name = "text";
            return POINT{180, 60};
        case 2:
            *name = "picture";
            return POINT{40, 70};
        default:
            break;
    }
    *name = "close box";
    return POINT{243, 11};
}

// Real input: the pointer moves onto the panel, rests, presses, releases,
// and leaves again so that it holds no later panel up.
void ClickAt(HWND panel, POINT at) {
    const RECT r = RectOf(panel);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, r.left + at.x - 10, r.top + at.y - 5);
    PumpMessages(80);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, r.left + at.x, r.top + at.y);
    PumpMessages(250);
    SendMouse(MOUSEEVENTF_LEFTDOWN, 0, 0);
    PumpMessages(60);
    SendMouse(MOUSEEVENTF_LEFTUP, 0, 0);
    PumpMessages(60);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 5, 5);
}

// One tip: a poll tick until the panel rises, a click, the panel gone.
void ShowAndClick(Tally& tally, int cycle) {
    HWND panel = SlidingPanel();
    if (panel == nullptr) return Fail(tally, cycle, "no sliding panel");
    const bool rose = PumpUntil(
        [&] {
            if (!IsWindowVisible(panel)) SendMessageA(panel, WM_TIMER, kPollTimer, 0);
            return IsUp(panel);
        },
        kShowWaitMs);
    if (!rose) return Fail(tally, cycle, "no tip rose");
    ++tally.shows;

    const char* name = "";
    const POINT at = ClickTarget(panel, tally.clicks, &name);
    ++tally.clicks;
    ClickAt(panel, at);
    if (PumpUntil([&] { return !IsWindowVisible(panel); }, 3000)) {
        ++tally.clicksThatSentThePanelAway;
        return;
    }
    char what[96];
    std::snprintf(what, sizeof what, "a click on the %s left the panel up", name);
    Fail(tally, cycle, what);
    SendMessageA(panel, WM_CLOSE, 0, 0);
    PumpUntil([&] { return !IsWindowVisible(panel); }, 3000);
}

// Every other start finds no tip file, so that it fetches its pictures
// again; the others load the tips and their pictures saved before.
void PrepareHostFolder(const Options& options, int cycle) {
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(options.port));
    WriteIni("LASTTIME", "PID", "0");
    WriteIni("NEXTPANEL", "INTERVAL", "-1");
    if (options.keepFiles) return;
    DeleteFileA((TipsFolder() + "messdisplay.dat").c_str());
    if (cycle % 2 == 1) DeleteFileA((TipsFolder() + "message.dat").c_str());
}

void RunCycle(const DllUnderTest& dll, const Options& options, int cycle, Tally& tally) {
    PrepareHostFolder(options, cycle);
    const double beforeInit = NowMs();
    dll.msg_init();
    tally.initMs.push_back(NowMs() - beforeInit);
    dll.set_clinettype("STD", 3);
    dll.set_username("soak", 4);
    // The soak sends the poll ticks itself: a tick of the panel's own 10 s
    // timer could show the next tip while the last one is still watched.
    if (HWND panel = SlidingPanel()) KillTimer(panel, kPollTimer);
    for (int i = 0; i < options.shows; ++i) ShowAndClick(tally, cycle);
    PumpMessages(20 + static_cast<DWORD>(options.stayMs));
    const double beforeExit = NowMs();
    if (dll.msg_exit() != 1) Fail(tally, cycle, "msg_exit did not return 1");
    tally.exitMs.push_back(NowMs() - beforeExit);
    if (tally.exitMs.back() > kExitBoundMs) Fail(tally, cycle, "msg_exit took longer than its bound");
    if (SlidingPanel() != nullptr) Fail(tally, cycle, "a panel outlived msg_exit");
    if (CountThreadsStartedIn(GetModuleHandleA("tiprelay.dll")) != 0) {
        Fail(tally, cycle, "a thread of the library outlived msg_exit");
    }
}

void Report(int cycle, const ProcessCounts& counts) {
    std::printf("soak: after %4d cycles  %s\n", cycle, counts.ToString().c_str());
    std::fflush(stdout);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// What may differ between two reports without anything having leaked: the
// system's own caches settle within a few objects and a few pages.
bool Grew(const ProcessCounts& from, const ProcessCounts& to) {
    const int threadsFrom = from.threads - from.wininetThreads;
    const int threadsTo = to.threads - to.wininetThreads;
    return threadsTo > threadsFrom || to.libraryThreads != 0 || to.windows > from.windows ||
           to.kernelHandles > from.kernelHandles + 8 ||
           to.gdiObjects > from.gdiObjects + 8 || to.privateBytes > from.privateBytes + 4 * 1024 * 1024;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: soak --port N [--cycles N] [--shows N] [--every N] [--check] [--keep-files] "
                             "[--stay MS]\n");
        return 2;
    }
    // A host initialises COM on its thread: the download agent needs it.
    CoInitialize(nullptr);
    DllUnderTest dll;
    if (!dll.Loaded()) {
        std::printf("soak: tiprelay.dll not found beside soak.exe\n");
        return 2;
    }
    Tally tally;
    // The first cycles load what the system keeps once per process (the
    // Internet and COM libraries, the agent, the shell, fonts), until every
    // kind of click has been made once: counted before and after.
    const int warmUp = std::min(options.cycles, std::max(2, (4 + options.shows - 1) / std::max(1, options.shows)));
    Report(0, CountProcess());
    for (int cycle = 1; cycle <= warmUp; ++cycle) RunCycle(dll, options, cycle, tally);
    PumpMessages(200);
    const ProcessCounts start = CountProcess();
    Report(warmUp, start);
    ProcessCounts last = start;
    for (int cycle = warmUp + 1; cycle <= options.cycles; ++cycle) {
        RunCycle(dll, options, cycle, tally);
        if (cycle % options.every == 0 || cycle == options.cycles) {
            PumpMessages(200);
            last = CountProcess();
            Report(cycle, last);
        }
    }
    const bool grew = Grew(start, last);
    std::printf("soak: %d cycles, %d shows, %d clicks (%d sent the panel away), %d failures\n", options.cycles,
                tally.shows, tally.clicks, tally.clicksThatSentThePanelAway, tally.failures);
    std::printf("soak: msg_init median %.2f ms worst %.2f ms; msg_exit median %.2f ms worst %.2f ms\n",
                Median(tally.initMs), Worst(tally.initMs), Median(tally.exitMs), Worst(tally.exitMs));
    std::printf("soak: start (after cycle %d) %s\n", warmUp, start.ToString().c_str());
    std::printf("soak: end   (after cycle %d) %s\n", options.cycles, last.ToString().c_str());
    std::printf("soak: %s\n", grew ? "GREW" : "flat");
    CoUninitialize();
    if (!options.check) return 0;
    return grew || tally.failures != 0 ? 1 : 0;
}
