// tippreview: shows each tip of a tips server in the library's own panel,
// one after another, and photographs it. It fetches every tip with the
// library's service (so texts and pictures arrive as a user gets them) and
// paints it with the library's panel code, both linked in from the same
// static library the DLL is made of.
//
//   tippreview.exe OUT_FOLDER ID:SECOND [ID:SECOND]...
//
// Run from a folder whose message.ini names the tips server; SECOND is a
// moment inside the tip's window. Writes OUT_FOLDER\<id>.png (the panel's
// client area) and prints one line per tip, fields split by tabs:
//   tip  ID  BEGIN  END  PNG  CUT  TITLE
// BEGIN and END in seconds since 1970, PNG "-" when the tip could not be
// shown, CUT the elements the painter cut ("title", "text", "button N",
// comma-separated, or "-"), TITLE in the clients' code page. A tip that
// did not arrive prints "missing ID". Exit code 0 when every tip was
// photographed, 1 when some were not, 2 for a bad command line.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "panels/slip_mess_panel.h"
#include "platform/platform.h"
#include "png_file.h"
#include "preview_fetch.h"
#include "screen_capture.h"
#include "store/show_data_list.h"

namespace {

constexpr DWORD kFetchBoundMs = 20000;
constexpr DWORD kRiseBoundMs = 5000;
constexpr int kSteadyAttempts = 50;
constexpr DWORD kSteadyPauseMs = 40;
constexpr char kCutLine[] = "CMessPanel text cut";

struct Request {
    uint32_t id = 0;
    int32_t moment = 0;
};

bool ParseRequest(const char* arg, Request* request) {
    char* end = nullptr;
    const unsigned long id = std::strtoul(arg, &end, 10);
    if (end == arg || *end != ':' || id == 0 || id > 0xFFFFFFFFul) return false;
    const char* moment = end + 1;
    const long second = std::strtol(moment, &end, 10);
    if (end == moment || *end != '\0' || second <= 0) return false;
    request->id = static_cast<uint32_t>(id);
    request->moment = static_cast<int32_t>(second);
    return true;
}

// The panel names each element it cuts in the line after kCutLine; the
// lines still reach the debugger as before.
std::mutex g_linesLock;
std::vector<std::string> g_lines;
void CollectLine(const char* text) {
    {
        std::lock_guard<std::mutex> hold(g_linesLock);
        g_lines.emplace_back(text);
    }
    OutputDebugStringA(text);
}

std::string TakeCutElements() {
    std::lock_guard<std::mutex> hold(g_linesLock);
    std::string cut;
    for (size_t i = 0; i + 1 < g_lines.size(); ++i) {
        if (g_lines[i] != kCutLine) continue;
        if (!cut.empty()) cut += ",";
        cut += g_lines[++i];
    }
    g_lines.clear();
    return cut.empty() ? "-" : cut;
}

void RunPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The panel rises on its own animation timer, as on a user's screen.
bool WaitUntilUp(CMessPanel& panel) {
    const DWORD start = GetTickCount();
    while (panel.State() != PANEL_SHOWN) {
        if (GetTickCount() - start > kRiseBoundMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        RunPendingMessages();
    }
    // Painted whole once more where it stopped: parts that were below the
    // screen's edge during the rise may not have been repainted.
    RedrawWindow(panel.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RunPendingMessages();
    return true;
}

// The display server may still show part of the rise for a moment after
// the last move: the photograph is taken once two in a row agree.
bool Photograph(CMessPanel& panel, const std::string& path) {
    RECT client{};
    GetClientRect(panel.Window(), &client);
    POINT origin{0, 0};
    ClientToScreen(panel.Window(), &origin);
    OffsetRect(&client, origin.x, origin.y);
    Capture shot = CaptureScreen(client);
    for (int attempt = 0; attempt < kSteadyAttempts; ++attempt) {
        Sleep(kSteadyPauseMs);
        RunPendingMessages();
        Capture again = CaptureScreen(client);
        if (again.pixels == shot.pixels) break;
        shot = std::move(again);
    }
    return WritePng(path, shot.width, shot.height, std::vector<uint32_t>(shot.pixels.begin(), shot.pixels.end()));
}

// Tabs and line breaks would break the line's fields.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Request> requests(argc > 2 ? argc - 2 : 0);
    bool usable = argc > 2;
    for (size_t i = 0; i < requests.size(); ++i) usable = usable && ParseRequest(argv[i + 2], &requests[i]);
    if (!usable) {
        std::fprintf(stderr, "usage: tippreview OUT_FOLDER ID:SECOND [ID:SECOND]...\n");
        return 2;
    }
    const std::string out = argv[1];
    // As a DPI-aware host: the panel is drawn at the screen's DPI.
    SetProcessDPIAware();

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        std::fprintf(stderr, "tippreview: no Windows Sockets\n");
        return 1;
    }
    std::vector<std::unique_ptr<TipRecord>> tips;
    for (const Request& request : requests) tips.push_back(FetchTip(request.id, request.moment, kFetchBoundMs));
    WSACleanup();

    // Off the panel, so that no element is drawn in its hover colour.
    SetCursorPos(0, 0);
    platform::SetLineSinkForTest(&CollectLine);
    CSlipMessPanel panel;
    int failures = 0;
    if (panel.Create() != 1) {
        std::fprintf(stderr, "tippreview: the panel cannot be made\n");
        failures = static_cast<int>(tips.size());
        tips.clear();
    }
    for (size_t i = 0; i < tips.size(); ++i) {
        const TipRecord* tip = tips[i].get();
        if (tip == nullptr) {
            std::printf("missing %lu\n", static_cast<unsigned long>(requests[i].id));
            ++failures;
            continue;
        }
        TakeCutElements();
        const std::string png = std::to_string(tip->nMessageID) + ".png";
        const bool shown = panel.ShowTip(*tip, 0) == 1 && WaitUntilUp(panel) && Photograph(panel, out + "\\" + png);
        if (!shown) ++failures;
        std::printf("tip\t%lu\t%ld\t%ld\t%s\t%s\t%s\n", static_cast<unsigned long>(tip->nMessageID),
                    static_cast<long>(tip->tBeginTime), static_cast<long>(tip->tEndTime),
                    shown ? png.c_str() : "-", TakeCutElements().c_str(), OneLine(FieldText(tip->szTitle)).c_str());
        std::fflush(stdout);
    }
    panel.Destroy();
    platform::SetLineSinkForTest(nullptr);
    CShowDataList::DestroyInstance();
    return failures == 0 ? 0 : 1;
}
