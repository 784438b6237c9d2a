// The real library starting from broken files: message.dat and
// messdisplay.dat cut at their edges, and message.ini full of garbage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fault_fixture.h"
#include "support/loopback_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

class FaultFiles : public FaultTest {};

// One start and stop each. A start that cannot reach the server saves no
// tip file; every file left is the one found, or whole.
TEST_F(FaultFiles, BrokenFilesNeverHurtTheHost) {
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 31, {MakeTip(841, "from the server")}, 45));
    const std::string port = std::to_string(server.Port()), here = "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=" + port + "\r\n";
    const std::string refused = "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=1\r\n";
    const std::string& tips = RealFiles().tips;
    const std::string& history = RealFiles().history;
    std::string noise, utf16 = "\xFF\xFE";
    for (uint32_t i = 0, seed = 12345; i < 4096; ++i) noise.push_back(char((seed = seed * 1103515245u + 12345u) >> 24));
    for (const char c : here + "[NEXTPANEL]\r\nINTERVAL=5\r\n") utf16 += std::string{c, '\0'};
    static const char kNulInValue[] = "[NEXTPANEL]\r\nINTERVAL=1\0" "5\r\n[LASTTIME]\r\nPID=\0\r\n";
    const std::string nulInValue(kNulInValue, sizeof kNulInValue - 1);
    const size_t record = (tips.size() - 20) / 2, entry = (history.size() - 20) / 2;
    const struct {
        std::string what, tipFile, historyFile, ini;
    } cases[] = {
        {"empty tip file", "", history, refused},
        {"tip file of a header alone", tips.substr(0, 20), history, refused},
        {"tip file cut inside a record", tips.substr(0, 20 + record + 1), history, refused},
        {"history cut inside a record", tips, history.substr(0, 20 + entry + 4), refused},
        {"random bytes after a good server", tips, history, here + noise},
        {"NULs inside values", tips, history, here + nulInValue},
        {"UTF-16 text", tips, history, utf16},
        {"a port past 65535 that wraps onto the server", tips, history,
         "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=" + std::to_string(65536 + server.Port()) + "\r\n"},
        {"a host name of 10000 bytes", tips, history, "[TCPSERVER]\r\nHOST=" + std::string(10000, 'A') + "\r\nPORT=" + port},
        {"numbers that are words", tips, history, here + "[LASTTIME]\r\nPID=abc\r\n[NEXTPANEL]\r\nINTERVAL=soon\r\n"},
        {"numbers far out of range", tips, history, here + "[LASTTIME]\r\nPID=-99999999999\r\n[TESTMESSAGE]\r\nID=4294967295\r\n"},
        {"one line of 200000 bytes", tips, history, here + "[NEXTPANEL]\r\nINTERVAL=" + std::string(200000, '9')},
        {"message.ini is a folder", tips, history, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlaceDataFiles(c.tipFile, c.historyFile);
        if (!c.ini.empty()) WriteWholeFile(HostFile("message.ini"), c.ini);
        if (c.ini.empty()) CreateDirectoryA(HostFile("message.ini").c_str(), nullptr);
        ASSERT_EQ(dll_.msg_init(), 1);
        ASSERT_TRUE(PumpUntil([] { return LibraryThreads() == 0; }, 5000)) << "the worker never ended";
        ExpectCleanExit(c.what);
        if (c.ini == refused) EXPECT_TRUE(ReadWholeFile(TipFile()) == c.tipFile) << "the tip file changed";
        ExpectIntactOrWhole(TipFile(), c.tipFile);
        ExpectIntactOrWhole(HistoryFile(), c.historyFile);
        RemoveTree(HostFile("message.ini"));
    }
}

}  // namespace
