// The real library against servers that fail while it runs: a picture
// server that stops in the middle of a body, and msg_exit at random moments
// of the query cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/network_timeout_win.h"
#include "support/fault_fixture.h"
#include "support/loopback_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

class FaultNetwork : public FaultTest {
protected:
    void StartAgainst(uint16_t port) {
        PlaceDataFiles(RealFiles().tips, RealFiles().history);
        WriteIni("TCPSERVER", "HOST", "127.0.0.1");
        WriteIni("TCPSERVER", "PORT", std::to_string(port));
        WriteIni("LASTTIME", "PID", "77");
        ASSERT_EQ(dll_.msg_init(), 1);
    }
    void ExpectFilesIntactOrWhole() {
        ExpectIntactOrWhole(TipFile(), RealFiles().tips);
        ExpectIntactOrWhole(HistoryFile(), RealFiles().history);
    }
};

// Regression: WinInet's own connection for InternetOpenUrl had no receive
// time-out under Wine, so a stalled body held the download's thread, its
// socket and its partial file for ever after msg_exit.
TEST_F(FaultNetwork, APictureServerThatHangsMidBodyHoldsNoThreadPastTheNetworkTimeOut) {
    std::atomic<int> hanging{0};
    const std::string body = SampleGif();
    ScriptedServer pictures([&](SOCKET client, const std::atomic<bool>& stopping) {
        ReadHttpHead(client, stopping);
        SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 4000));
        ++hanging;
        PauseUnlessStopping(INFINITE, stopping);
    });
    LoopbackTipsServer tips(TipsFault::kAnswer,
                            NewTipsAnswer(0, 901, {MakeTip(821, "hanging picture", pictures.Url("/821.gif"))}, 45));
    StartAgainst(tips.Port());
    ASSERT_TRUE(PumpUntil([&] { return hanging > 0; }, 10000));
    PumpMessages(100);
    EXPECT_LE(TimedExit(), kExitBoundMs);
    // Where closing its handles does not end a blocked read (Wine's
    // WinInet), the download's helper lives on until the time-out of one
    // network step, and no longer; it takes its partial file with it.
    const DWORD stopped = GetTickCount();
    EXPECT_TRUE(PumpUntil([] { return LibraryThreads() == 0; }, kNetworkTimeoutMs + 5000));
    std::printf("the stalled download's helper ended %lu ms after msg_exit\n", GetTickCount() - stopped);
    EXPECT_FALSE(PathExists(TipsFolder() + "821.gif")) << "the part of the picture that came is not kept";
    ExpectFilesIntactOrWhole();
    EXPECT_EQ(ReadIni("LASTTIME", "PID"), "901") << "the answer itself was whole";
}

// The query cycle stretched out (the answer in pieces, two pictures
// trickling) and msg_exit at a random moment of it, a hundred times.
TEST_F(FaultNetwork, MsgExitAtAHundredRandomMomentsOfTheQueryCycle) {
    const std::string body = SampleGif();
    ScriptedServer pictures([&](SOCKET client, const std::atomic<bool>& stopping) {
        ReadHttpHead(client, stopping);
        SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n");
        for (size_t at = 0; at < body.size() && !stopping; at += body.size() / 3 + 1) {
            PauseUnlessStopping(25, stopping);
            SendAll(client, body.substr(at, body.size() / 3 + 1));
        }
    });
    LoopbackTipsServer tips(TipsFault::kSegments,
                            NewTipsAnswer(0, 902,
                                          {MakeTip(831, "first", pictures.Url("/831.gif")), MakeTip(832, "second"),
                                           MakeTip(833, "third", pictures.Url("/833.gif"))},
                                          45));
    std::mt19937 random(20240806);
    int saved = 0, kept = 0;
    std::vector<double> exits;
    for (int run = 0; run < 100 && !HasFailure(); ++run) {
        const int delay = std::uniform_int_distribution<int>(0, 400)(random);
        const std::string what = "run " + std::to_string(run) + ", msg_exit after " + std::to_string(delay) + " ms";
        RemoveTree(TipsFolder());
        StartAgainst(tips.Port());
        PumpMessages(static_cast<DWORD>(delay));
        exits.push_back(ExpectCleanExit(what));
        ExpectFilesIntactOrWhole();
        ++(ReadWholeFile(TipFile()) == RealFiles().tips ? kept : saved);
    }
    std::sort(exits.begin(), exits.end());
    std::printf("msg_exit at random moments: median %.1f ms, worst %.1f ms; tip file kept %d times, saved anew %d times\n",
                exits[exits.size() / 2], exits.back(), kept, saved);
    EXPECT_GT(kept, 0) << "some stops came before the save";
    EXPECT_GT(saved, 0) << "some stops came after the save";
}

}  // namespace
