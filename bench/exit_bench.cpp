// Prints how long the host's thread waits in the library's start and stop
// (run under Wine or on Windows, beside tiprelay.dll):
// - msg_exit while the worker waits on a tips server that never answers;
// - msg_exit while the worker is in the middle of a slow picture download;
// - msg_init with a full message.dat (99 tips) and messdisplay.dat (99
//   entries) to load, and without data files for comparison.
// The stop's bound is 500 ms; the host's thread should wait far less.
// The cases take turns round by round, so that whatever else the machine
// does falls on all of them alike; the two starts also give their ratio per
// round.
//   exit_bench.exe [--runs 20]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"
#include "support/tips_answer.h"
#include "wine_bench.h"

namespace {

void CleanHostFolder() {
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
}

double ExitWhileServerHangs(const DllUnderTest& dll) {
    CleanHostFolder();
    LoopbackTipsServer server(TipsFault::kHang);
    server.PointSettingsHere();
    dll.msg_init();
    if (!PumpUntil([&] { return !server.Query().empty(); }, 10000)) std::printf("no query arrived\n");
    return TimeMs([&] { dll.msg_exit(); });
}

double ExitDuringSlowPicture(const DllUnderTest& dll) {
    CleanHostFolder();
    LoopbackHttpServer http;
    HttpAnswer slow;
    slow.body = SampleGif();
    slow.sent = HttpBody::kStall;
    http.Set("/slow.gif", slow);
    LoopbackTipsServer server(TipsFault::kAnswer,
                              NewTipsAnswer(0, 1, {MakeTip(60, "slow", http.Url("/slow.gif"))}, 30));
    server.PointSettingsHere();
    dll.msg_init();
    if (!PumpUntil([&] { return !http.Requests().empty(); }, 10000)) std::printf("no download began\n");
    PumpMessages(50);
    return TimeMs([&] { dll.msg_exit(); });
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
    const double took = TimeMs([&] { dll.msg_init(); });
    PumpMessages(20);
    dll.msg_exit();
    return took;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc == 3 && std::strcmp(argv[1], "--runs") == 0 ? std::max(1, std::atoi(argv[2])) : 20;
    MakeHostWindow();
    DllUnderTest dll;
    if (!dll.Loaded()) {
        std::printf("tiprelay.dll not found beside the bench\n");
        return 1;
    }
    std::vector<double> hang, slow, init, bare, ratio;
    for (int i = 0; i < runs; ++i) {
        hang.push_back(ExitWhileServerHangs(dll));
        slow.push_back(ExitDuringSlowPicture(dll));
        // Which start goes first alternates too.
        const bool fullFirst = i % 2 == 0;
        const double first = TimeInit(dll, fullFirst);
        const double second = TimeInit(dll, !fullFirst);
        init.push_back(fullFirst ? first : second);
        bare.push_back(fullFirst ? second : first);
        ratio.push_back(init.back() / bare.back());
    }
    ReportSpread("msg_exit, worker waiting on a server that never answers", hang);
    ReportSpread("msg_exit, worker in a slow picture download", slow);
    ReportSpread("msg_init, 99 tips and 99 history entries to load", init);
    ReportSpread("msg_init, no data files (panels and worker start only)", bare);
    std::sort(ratio.begin(), ratio.end());
    std::printf("msg_init with data files / without, per round: median %.2f  p10 %.2f  p90 %.2f  (%zu rounds)\n",
                Percentile(ratio, 50), Percentile(ratio, 10), Percentile(ratio, 90), ratio.size());
    CleanHostFolder();
    return 0;
}
