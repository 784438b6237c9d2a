#include "support/fault_fixture.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "protocol/tip_record.h"
#include "store/data_file_header.h"
#include "store/display_record.h"
#include "support/loopback_http_server.h"
#include "support/loopback_tips_server.h"
#include "support/process_counts.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

std::string TipFile() { return TipsFolder() + "message.dat"; }
std::string HistoryFile() { return TipsFolder() + "messdisplay.dat"; }

int LibraryThreads() { return CountThreadsStartedIn(GetModuleHandleA("tiprelay.dll")); }

double TimedExit(const DllUnderTest& dll) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    dll.msg_exit();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

namespace {

bool IsWholeDataFile(const std::string& bytes, uint32_t recordSize, int32_t minCount,
                     bool (*recordOk)(const char*)) {
    DataFileHeader header{};
    if (bytes.size() < sizeof header) return false;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.nVersion != kDataFileVersion || header.nRecordSize != recordSize) return false;
    if (header.nCount < minCount || header.nCount > kMaxDataFileRecords) return false;
    if (bytes.size() != sizeof header + size_t(header.nCount) * recordSize) return false;
    for (int32_t i = 0; i < header.nCount; ++i) {
        if (!recordOk(bytes.data() + sizeof header + size_t(i) * recordSize)) return false;
    }
    return true;
}

}  // namespace

bool IsWholeTipFile(const std::string& bytes) {
    return IsWholeDataFile(bytes, sizeof(TipRecord), 0, [](const char* record) {
        return uint8_t(record[offsetof(TipRecord, byVersion)]) == kTipRecordVersion;
    });
}

bool IsWholeHistoryFile(const std::string& bytes) {
    return IsWholeDataFile(bytes, sizeof(DisplayRecord), 1, [](const char*) { return true; });
}

namespace {

// One run of the real library: two tips (one with a picture) and two tips
// that end at once, which go straight into the display history.
RealDataFiles WriteRealFiles() {
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
    LoopbackHttpServer http;
    http.Set("/801.gif", HttpAnswer{200, SampleGif(), "", false, false});
    TipRecord ended1 = MakeTip(803, "ended");
    TipRecord ended2 = MakeTip(804, "ended too");
    ended1.tBeginTime = ended1.tEndTime = 0;
    ended2.tBeginTime = ended2.tEndTime = 0;
    LoopbackTipsServer server(TipsFault::kAnswer,
                              NewTipsAnswer(0, 5, {MakeTip(801, "picture", http.Url("/801.gif")),
                                                   MakeTip(802, "text"), ended1, ended2},
                                            30));
    server.PointSettingsHere();
    RealDataFiles files;
    {
        DllUnderTest dll;
        dll.msg_init();
        PumpUntil([] { return PathExists(TipFile()) && LibraryThreads() == 0; }, 10000);
        dll.msg_exit();
    }
    files.tips = ReadWholeFile(TipFile());
    files.history = ReadWholeFile(HistoryFile());
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
    return files;
}

}  // namespace

const RealDataFiles& RealFiles() {
    static const RealDataFiles files = WriteRealFiles();
    return files;
}

void PlaceDataFiles(const std::string& tips, const std::string& history) {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    WriteWholeFile(TipFile(), tips);
    WriteWholeFile(HistoryFile(), history);
}

void FaultTest::SetUp() {
    const RealDataFiles& files = RealFiles();
    HostFolderTest::SetUp();
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_EQ(files.tips.size(), 20 + 2 * sizeof(TipRecord)) << "the real run saved two tips";
    ASSERT_EQ(files.history.size(), 20 + 2 * sizeof(DisplayRecord)) << "the real run kept two history entries";
}

void FaultTest::ExpectIntactOrWhole(const std::string& path, const std::string& before, bool tipFile) const {
    if (!PathExists(path)) {
        ADD_FAILURE() << path << " is gone";
        return;
    }
    const std::string now = ReadWholeFile(path);
    if (now == before) return;
    EXPECT_TRUE(tipFile ? IsWholeTipFile(now) : IsWholeHistoryFile(now))
        << path << " was replaced by a broken file of " << now.size() << " bytes";
}

void FaultTest::ExpectCleanExit(double exitMs, const std::string& what) const {
    EXPECT_LE(exitMs, kExitBoundMs) << what;
    EXPECT_EQ(LibraryThreads(), 0) << what << ": a thread of the library outlived msg_exit";
}
