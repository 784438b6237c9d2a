// The real library stopped at a hundred random moments of a query cycle
// stretched out (the answer in pieces, a picture to fetch): each msg_exit
// returns within its bound and leaves no thread of the library, and the tip
// file is the earlier run's or a whole new one.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"
#include "support/process_counts.h"
#include "support/tips_answer.h"

namespace {

// The stop waits at most 500 ms for the worker; the rest is the history
// save and the windows going, on a slow machine under Wine.
constexpr DWORD kExitBoundMs = 650;

class FaultStop : public HostFolderTest {};

TEST_F(FaultStop, MsgExitAtAHundredRandomMomentsOfTheQueryCycle) {
    DllUnderTest dll;
    LoopbackHttpServer http;
    http.Set("/831.gif", HttpAnswer{200, SampleGif()});
    const std::vector<TipRecord> answer = {MakeTip(831, "first", http.Url("/831.gif")), MakeTip(832, "second")};
    LoopbackTipsServer server(TipsFault::kSegments, NewTipsAnswer(0, 902, answer, 45));
    std::mt19937 random(20240806);
    int kept = 0;
    for (int run = 0; run < 100 && !HasFailure(); ++run) {
        const DWORD delay = std::uniform_int_distribution<DWORD>(0, 400)(random);
        SCOPED_TRACE("run " + std::to_string(run) + ", msg_exit after " + std::to_string(delay) + " ms");
        SetUp();
        SaveEarlierRun({5, 6}, {5});
        const std::string tips = ReadWholeFile(TipFile());
        server.PointSettingsHere();
        ASSERT_EQ(dll.msg_init(), 1);
        PumpMessages(delay);
        const DWORD start = GetTickCount();
        dll.msg_exit();
        EXPECT_LE(GetTickCount() - start, kExitBoundMs);  // its figures: bench/exit_bench
        EXPECT_EQ(CountThreadsStartedIn(GetModuleHandleA("tiprelay.dll")), 0) << "a thread outlived msg_exit";
        // Whole: exactly as long as the records the library's own loader takes
        // from it. (The history is saved on the host's thread, after the worker.)
        CShowDataList store;
        const std::string now = ReadWholeFile(TipFile());
        kept += now == tips;
        EXPECT_TRUE(now == tips || now.size() == 20 + sizeof(TipRecord) * LoadTipFile(TipFile().c_str(), &store));
    }
    EXPECT_TRUE(kept > 0 && kept < 100) << kept << " of the stops came before the save, all others after";
}

}  // namespace
