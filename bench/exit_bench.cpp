// Prints how long the host's thread waits in the library's start and stop
// (run under Wine or on Windows, beside tiprelay.dll):
// - msg_exit while the worker waits on a tips server that never answers;
// - msg_exit while the worker is in the middle of a slow picture download;
// - msg_init with a full message.dat (99 tips) and messdisplay.dat (99
//   entries) to load, and without data files for comparison.
// The stop's bound is 500 ms; the host's thread should wait far less.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_http_server.h"
#include "support/loopback_tips_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

constexpr int kRuns = 20;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Time(const std::function<void()>& step) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    step();
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-58s median %7.2f ms  worst %7.2f ms  (%zu runs)\n", what, times[times.size() / 2],
                times.back(), times.size());
}

void CleanHostFolder() {
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
}

double ExitWhileServerHangs(const DllUnderTest& dll) {
    CleanHostFolder();
    LoopbackTipsServer server(TipsFault::kHang);
    server.PointSettingsHere();
    dll.msg_init();
    if (!PumpUntil([&] { return !server.Queries().empty(); }, 10000)) std::printf("no query arrived\n");
    return Time([&] { dll.msg_exit(); });
}

double ExitDuringSlowPicture(const DllUnderTest& dll) {
    CleanHostFolder();
    LoopbackHttpServer http;
    HttpAnswer slow;
    slow.body = SampleGif();
    slow.trickle = true;
    http.Set("/slow.gif", slow);
    LoopbackTipsServer server(TipsFault::kAnswer,
                              NewTipsAnswer(0, 1, {MakeTip(60, "slow", http.Url("/slow.gif"))}, 30));
    server.PointSettingsHere();
    dll.msg_init();
    if (!PumpUntil([&] { return !http.Requests().empty(); }, 10000)) std::printf("no download began\n");
    PumpMessages(50);
    return Time([&] { dll.msg_exit(); });
}

// 99 tips and 99 history entries, as full as the files get.
void WriteFullDataFiles() {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    CShowDataList store;
    for (uint32_t id = 1; id <= 99; ++id) {
        auto* tip = new TipRecord(MakeTip(id, "tip number " + std::to_string(id)));
        tip->bPicReady = 1;
        store.AddOneShowData(tip);
        auto* seen = new DisplayRecord{};
        seen->nMessageID = 1000 + id;
        store.AddDisplayData(seen);
    }
    SaveTipFile((TipsFolder() + "message.dat").c_str(), &store);
    SaveDisplayFile((TipsFolder() + "messdisplay.dat").c_str(), &store);
}

double TimeInit(const DllUnderTest& dll, bool fullDataFiles) {
    CleanHostFolder();
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    refusing.PointSettingsHere();
    if (fullDataFiles) WriteFullDataFiles();
    const double took = Time([&] { dll.msg_init(); });
    PumpMessages(20);
    dll.msg_exit();
    return took;
}

}  // namespace

int main() {
    DllUnderTest dll;
    if (!dll.Loaded()) {
        std::printf("tiprelay.dll not found beside the bench\n");
        return 1;
    }
    std::vector<double> hang, slow, init, bare;
    for (int i = 0; i < kRuns; ++i) hang.push_back(ExitWhileServerHangs(dll));
    for (int i = 0; i < kRuns; ++i) slow.push_back(ExitDuringSlowPicture(dll));
    for (int i = 0; i < kRuns; ++i) init.push_back(TimeInit(dll, true));
    for (int i = 0; i < kRuns; ++i) bare.push_back(TimeInit(dll, false));
    Report("msg_exit, worker waiting on a server that never answers", hang);
    Report("msg_exit, worker in a slow picture download", slow);
    Report("msg_init, 99 tips and 99 history entries to load", init);
    Report("msg_init, no data files (panels and worker start only)", bare);
    CleanHostFolder();
    return 0;
}
