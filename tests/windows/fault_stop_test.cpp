// The real library stopped at a hundred random moments of a query cycle
// stretched out (the answer in pieces, a picture to fetch): each msg_exit
// returns within its bound and leaves no thread of the library, and each
// data file is the earlier run's or a whole new one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "store/display_file.h"
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
    std::vector<DWORD> exits;
    int kept = 0;
    for (int run = 0; run < 100 && !HasFailure(); ++run) {
        const DWORD delay = std::uniform_int_distribution<DWORD>(0, 400)(random);
        SCOPED_TRACE("run " + std::to_string(run) + ", msg_exit after " + std::to_string(delay) + " ms");
        SetUp();
        SaveEarlierRun({5, 6}, {5});
        const std::string tips = ReadWholeFile(TipFile()), history = ReadWholeFile(HistoryFile());
        server.PointSettingsHere();
        ASSERT_EQ(dll.msg_init(), 1);
        PumpMessages(delay);
        const DWORD start = GetTickCount();
        dll.msg_exit();
        exits.push_back(GetTickCount() - start);
        EXPECT_LE(exits.back(), kExitBoundMs);
        EXPECT_EQ(CountThreadsStartedIn(GetModuleHandleA("tiprelay.dll")), 0) << "a thread outlived msg_exit";
        // Whole: exactly as long as the records the library's own loader takes from it.
        CShowDataList store;
        const std::string newTips = ReadWholeFile(TipFile()), newHistory = ReadWholeFile(HistoryFile());
        kept += newTips == tips;
        EXPECT_TRUE(newTips == tips || newTips.size() == 20 + sizeof(TipRecord) * LoadTipFile(TipFile().c_str(), &store));
        EXPECT_TRUE(newHistory == history ||
                    newHistory.size() == 20 + sizeof(DisplayRecord) * LoadDisplayFile(HistoryFile().c_str(), &store));
    }
    std::sort(exits.begin(), exits.end());
    std::printf("msg_exit at random moments: median %lu ms, worst %lu ms; tip file kept %d times of 100\n",
                exits[exits.size() / 2], exits.back(), kept);
    EXPECT_TRUE(kept > 0 && kept < 100) << "stops came before and after the save";
}

}  // namespace
