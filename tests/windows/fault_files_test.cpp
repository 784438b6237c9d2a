// The real library starting from broken files: message.dat and
// messdisplay.dat cut at every byte length of real files, and message.ini
// full of garbage.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/tip_record.h"
#include "store/display_record.h"
#include "support/fault_fixture.h"
#include "support/loopback_tips_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

class FaultFiles : public FaultTest {
protected:
    // One start and stop with the server refusing, so that nothing but the
    // library's own start and stop touches the files.
    void StartAndStop(const std::string& what) {
        ASSERT_EQ(dll_.msg_init(), 1) << what;
        ASSERT_TRUE(PumpUntil([] { return LibraryThreads() == 0; }, 5000)) << what << ": the worker never ended";
        ExpectCleanExit(TimedExit(dll_), what);
    }
};

// Every length from empty to whole when TIPRELAY_FAULT_EVERY_LENGTH is set
// (some 13000 starts, minutes under Wine); otherwise the lengths around the
// header, around every record's start and end, and every 41st.
std::vector<size_t> LengthsToCut(size_t whole, size_t recordSize) {
    char every[8] = {};
    const bool all = GetEnvironmentVariableA("TIPRELAY_FAULT_EVERY_LENGTH", every, sizeof every) > 0;
    std::vector<size_t> lengths;
    for (size_t length = 0; length <= whole; ++length) {
        const size_t intoRecord = length < 20 ? 0 : (length - 20) % recordSize;
        if (all || length <= 24 || intoRecord <= 4 || intoRecord >= recordSize - 4 || length % 41 == 0) {
            lengths.push_back(length);
        }
    }
    return lengths;
}

// Each length from empty to whole: the library starts and stops cleanly,
// never saves the tip file (no exchange) and leaves a history file that is
// the one it found, a whole one, or none when it found nothing to load.
TEST_F(FaultFiles, DataFilesCutAtEveryByteLengthNeverHurtTheHost) {
    LoopbackTipsServer refusing(TipsFault::kRefuse);
    refusing.PointSettingsHere();
    struct File {
        const char* name;
        std::string whole;
        size_t recordSize;
        bool tipFile;
    };
    const File files[] = {{"message.dat", RealFiles().tips, sizeof(TipRecord), true},
                          {"messdisplay.dat", RealFiles().history, sizeof(DisplayRecord), false}};
    const auto started = std::chrono::steady_clock::now();
    int runs = 0;
    for (const File& file : files) {
        for (const size_t length : LengthsToCut(file.whole.size(), file.recordSize)) {
            const std::string cut = file.whole.substr(0, length);
            const std::string what = std::string(file.name) + " cut to " + std::to_string(length) + " bytes";
            if (file.tipFile) {
                PlaceDataFiles(cut, RealFiles().history);
            } else {
                PlaceDataFiles(RealFiles().tips, cut);
            }
            StartAndStop(what);
            ++runs;
            const std::string tipsNow = ReadWholeFile(TipFile());
            const std::string historyNow = ReadWholeFile(HistoryFile());
            EXPECT_TRUE(tipsNow == (file.tipFile ? cut : RealFiles().tips)) << what << ": the tip file changed";
            const std::string& historyBefore = file.tipFile ? RealFiles().history : cut;
            if (PathExists(HistoryFile())) {
                EXPECT_TRUE(historyNow == historyBefore || IsWholeHistoryFile(historyNow))
                    << what << ": a broken history file of " << historyNow.size() << " bytes";
            } else {
                EXPECT_FALSE(IsWholeHistoryFile(historyBefore)) << what << ": a whole history file was lost";
            }
            if (HasFailure()) return;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d starts and stops over cut data files of %zu and %zu bytes in %.1f s\n", runs,
                RealFiles().tips.size(), RealFiles().history.size(), seconds);
}

// Garbage where message.ini should be: the library starts with whatever it
// makes of it, stops in time, and leaves the data files as they were or
// whole. Where the garbage still names the loopback server, the query runs
// and its answer is written back into the garbage.
TEST_F(FaultFiles, GarbageSettingsNeverHurtTheHost) {
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 31, {MakeTip(841, "from the server")}, 45));
    const std::string port = std::to_string(server.Port());
    const std::string here = "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=" + port + "\r\n";
    std::string noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise.push_back(static_cast<char>(seed >> 24));
    }
    std::string utf16 = "\xFF\xFE";
    for (const char c : here + "[NEXTPANEL]\r\nINTERVAL=5\r\n") utf16 += std::string{c, '\0'};
    static const char kNulInValue[] = "[NEXTPANEL]\r\nINTERVAL=1\0" "5\r\n[LASTTIME]\r\nPID=\0\r\n";
    struct Case {
        const char* what;
        std::string ini;
    };
    const Case cases[] = {
        {"random bytes", noise},
        {"random bytes after a good server", here + noise},
        {"NULs inside values", here + std::string(kNulInValue, sizeof kNulInValue - 1)},
        {"UTF-16 text", utf16},
        {"ports out of range", "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=99999999999999999999\r\n"},
        {"a negative port", "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=-1\r\n"},
        {"a port past 65535 that wraps onto the server", "[TCPSERVER]\r\nHOST=127.0.0.1\r\nPORT=" +
                                                              std::to_string(65536 + server.Port()) + "\r\n"},
        {"a host name of 10000 bytes", "[TCPSERVER]\r\nHOST=" + std::string(10000, 'A') + "\r\nPORT=" + port + "\r\n"},
        {"a dotted host out of range", "[TCPSERVER]\r\nHOST=256.300.1.1\r\nPORT=" + port + "\r\n"},
        {"a host with controls", "[TCPSERVER]\r\nHOST=\x01\x02\x7F bad\r\nPORT=" + port + "\r\n"},
        {"an empty host", "[TCPSERVER]\r\nHOST=\r\nPORT=" + port + "\r\n"},
        {"numbers that are words", here + "[LASTTIME]\r\nPID=abc\r\n[NEXTPANEL]\r\nINTERVAL=soon\r\n[TESTMESSAGE]\r\nID=x\r\n"},
        {"numbers far out of range", here + "[LASTTIME]\r\nPID=-99999999999\r\n[NEXTPANEL]\r\nINTERVAL=4294967295\r\n"},
        {"a negative message ID", here + "[TESTMESSAGE]\r\nID=-7\r\n"},
        {"the largest message ID", here + "[TESTMESSAGE]\r\nID=4294967295\r\n"},
        {"sections twice, keys without values", here + "[TCPSERVER]\r\nPORT\r\nHOST=\r\n[NEXTPANEL]\r\n=\r\n==\r\n[]\r\n"},
        {"one line of 200000 bytes", here + "[NEXTPANEL]\r\nINTERVAL=" + std::string(200000, '9') + "\r\n"},
        {"no line ends", "[TCPSERVER]HOST=127.0.0.1PORT=" + port},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlaceDataFiles(RealFiles().tips, RealFiles().history);
        WriteWholeFile(HostFile("message.ini"), c.ini);
        StartAndStop(c.what);
        ExpectIntactOrWhole(TipFile(), RealFiles().tips, true);
        ExpectIntactOrWhole(HistoryFile(), RealFiles().history, false);
        RemoveTree(HostFile("message.ini"));
    }
    // A folder where the file should be: nothing can be read or written.
    CreateDirectoryA(HostFile("message.ini").c_str(), nullptr);
    PlaceDataFiles(RealFiles().tips, RealFiles().history);
    StartAndStop("message.ini is a folder");
    ExpectIntactOrWhole(TipFile(), RealFiles().tips, true);
}

}  // namespace
