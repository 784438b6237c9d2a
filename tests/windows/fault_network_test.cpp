// The real library against servers that fail while it runs: a tips server
// that dies in the middle of its answer, a picture server that stops in the
// middle of a body, and msg_exit at random moments of the query cycle.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/network_timeout_win.h"
#include "support/fault_fixture.h"
#include "support/loopback_http_server.h"
#include "support/pump_until.h"
#include "support/scripted_server.h"
#include "support/tips_answer.h"

namespace {

void PointSettingsAt(uint16_t port) {
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(port));
    WriteIni("LASTTIME", "PID", "77");
}

// A picture server that sends the head and the first part of a body, then
// neither sends more nor closes.
ScriptedServer::Script HangMidBody(const std::string& body, std::atomic<int>* hanging) {
    return [body, hanging](SOCKET client, const std::atomic<bool>& stopping) {
        ReadHttpHead(client, stopping);
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n";
        const std::string sent = head + body.substr(0, body.size() / 2);
        send(client, sent.data(), static_cast<int>(sent.size()), 0);
        ++*hanging;
        while (!stopping) PauseUnlessStopping(1000, stopping);
    };
}

class FaultNetwork : public FaultTest {};

TEST_F(FaultNetwork, AServerKilledMidAnswerChangesNoDataFileAndNoSetting) {
    const std::string answer =
        NewTipsAnswer(0, 900, {MakeTip(811, "one"), MakeTip(812, "two"), MakeTip(813, "three")}, 45);
    const size_t record = (answer.size() - 27 - 16) / 3;
    struct Cut {
        const char* where;
        size_t bytes;
    };
    const Cut cuts[] = {
        {"inside the header", 6},
        {"after the command name", 27},
        {"after the status", 31},
        {"inside the first record", 27 + 12 + record / 2},
        {"between two records", 27 + 12 + record},
        {"inside the last record", 27 + 12 + 3 * record - 1},
        {"before the panel interval", answer.size() - 4},
        {"one byte short", answer.size() - 1},
    };
    for (const Cut& cut : cuts) {
        for (const bool reset : {false, true}) {
            const std::string what = std::string(cut.where) + (reset ? ", reset" : ", closed");
            SCOPED_TRACE(what);
            PlaceDataFiles(RealFiles().tips, RealFiles().history);
            std::atomic<int> answered{0};
            ScriptedServer server([&](SOCKET client, const std::atomic<bool>& stopping) {
                ReadWholePacket(client, stopping);
                send(client, answer.data(), static_cast<int>(cut.bytes), 0);
                if (reset) ResetOnClose(client);
                ++answered;
            });
            PointSettingsAt(server.Port());
            ASSERT_EQ(dll_.msg_init(), 1);
            ASSERT_TRUE(PumpUntil([&] { return answered > 0 && LibraryThreads() == 0; }, 10000));
            ExpectCleanExit(TimedExit(dll_), what);
            EXPECT_TRUE(ReadWholeFile(TipFile()) == RealFiles().tips) << "a failed exchange saves no tip file";
            ExpectIntactOrWhole(HistoryFile(), RealFiles().history, false);
            EXPECT_EQ(ReadIni("LASTTIME", "PID"), "77");
            EXPECT_EQ(ReadIni("NEXTPANEL", "INTERVAL"), "");
        }
    }
}

// Regression: WinInet's own connection for InternetOpenUrl had no receive
// time-out under Wine, so a stalled body held the download's thread, its
// socket and its partial file for ever after msg_exit.
TEST_F(FaultNetwork, APictureServerThatHangsMidBodyHoldsNoThreadPastTheNetworkTimeOut) {
    PlaceDataFiles(RealFiles().tips, RealFiles().history);
    std::atomic<int> hanging{0};
    ScriptedServer pictures(HangMidBody(SampleGif(), &hanging));
    ScriptedServer tips([&](SOCKET client, const std::atomic<bool>& stopping) {
        ReadWholePacket(client, stopping);
        const std::string answer =
            NewTipsAnswer(0, 901, {MakeTip(821, "hanging picture", pictures.Url("/821.gif"))}, 45);
        send(client, answer.data(), static_cast<int>(answer.size()), 0);
    });
    PointSettingsAt(tips.Port());
    ASSERT_EQ(dll_.msg_init(), 1);
    ASSERT_TRUE(PumpUntil([&] { return hanging > 0; }, 10000));
    PumpMessages(100);
    EXPECT_LE(TimedExit(dll_), kExitBoundMs);
    // Where closing its handles does not end a blocked read (Wine's
    // WinInet), the download's helper lives on until the time-out of one
    // network step, and no longer; it takes its partial file with it.
    const DWORD stopped = GetTickCount();
    EXPECT_TRUE(PumpUntil([] { return LibraryThreads() == 0; }, kNetworkTimeoutMs + 5000));
    std::printf("the stalled download's helper ended %lu ms after msg_exit\n", GetTickCount() - stopped);
    EXPECT_FALSE(PathExists(TipsFolder() + "821.gif")) << "the part of the picture that came is not kept";
    ExpectIntactOrWhole(TipFile(), RealFiles().tips, true);
    ExpectIntactOrWhole(HistoryFile(), RealFiles().history, false);
    EXPECT_EQ(ReadIni("LASTTIME", "PID"), "901") << "the answer itself was whole";
}

// The query cycle stretched out (the answer in pieces, two pictures in
// pieces) and msg_exit at a random moment of it, a hundred times.
TEST_F(FaultNetwork, MsgExitAtAHundredRandomMomentsOfTheQueryCycle) {
    const std::string body = SampleGif();
    ScriptedServer pictures([&](SOCKET client, const std::atomic<bool>& stopping) {
        ReadHttpHead(client, stopping);
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
        send(client, head.data(), static_cast<int>(head.size()), 0);
        for (size_t at = 0; at < body.size() && !stopping; at += body.size() / 3 + 1) {
            PauseUnlessStopping(25, stopping);
            send(client, body.data() + at, static_cast<int>(std::min(body.size() - at, body.size() / 3 + 1)), 0);
        }
    });
    std::string answer = NewTipsAnswer(0, 902,
                                       {MakeTip(831, "first", pictures.Url("/831.gif")), MakeTip(832, "second"),
                                        MakeTip(833, "third", pictures.Url("/833.gif"))},
                                       45);
    ScriptedServer tips([&](SOCKET client, const std::atomic<bool>& stopping) {
        ReadWholePacket(client, stopping);
        const size_t third = answer.size() / 3 + 1;
        for (size_t at = 0; at < answer.size() && !stopping; at += third) {
            PauseUnlessStopping(60, stopping);
            send(client, answer.data() + at, static_cast<int>(std::min(third, answer.size() - at)), 0);
        }
    });

    std::mt19937 random(20240806);
    std::uniform_int_distribution<int> moment(0, 400);
    int savedTips = 0, keptTips = 0;
    std::vector<double> exits;
    for (int run = 0; run < 100; ++run) {
        const int delay = moment(random);
        const std::string what = "run " + std::to_string(run) + ", msg_exit after " + std::to_string(delay) + " ms";
        SCOPED_TRACE(what);
        RemoveTree(TipsFolder());
        PlaceDataFiles(RealFiles().tips, RealFiles().history);
        PointSettingsAt(tips.Port());
        ASSERT_EQ(dll_.msg_init(), 1);
        PumpMessages(static_cast<DWORD>(delay));
        const double exitMs = TimedExit(dll_);
        exits.push_back(exitMs);
        ExpectCleanExit(exitMs, what);
        ExpectIntactOrWhole(TipFile(), RealFiles().tips, true);
        ExpectIntactOrWhole(HistoryFile(), RealFiles().history, false);
        (ReadWholeFile(TipFile()) == RealFiles().tips ? keptTips : savedTips) += 1;
        if (HasFailure()) break;
    }
    std::sort(exits.begin(), exits.end());
    std::printf("msg_exit at random moments: median %.1f ms, worst %.1f ms; tip file kept %d times, saved anew %d times\n",
                exits[exits.size() / 2], exits.back(), keptTips, savedTips);
    EXPECT_GT(keptTips, 0) << "some stops came before the save";
    EXPECT_GT(savedTips, 0) << "some stops came after the save";
}

}  // namespace
