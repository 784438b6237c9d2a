#include "support/fault_fixture.h"

#include <cstring>

#include "store/data_file_header.h"
#include "store/display_record.h"
#include "support/loopback_server.h"
#include "support/process_counts.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

int LibraryThreads() { return CountThreadsStartedIn(GetModuleHandleA("tiprelay.dll")); }

namespace {

// A header as the library writes it, then exactly its count of records of
// the size the file's name calls for, each tip with its version byte.
bool IsWholeDataFile(const std::string& path, const std::string& bytes) {
    const bool tips = path == TipFile();
    const uint32_t size = tips ? sizeof(TipRecord) : sizeof(DisplayRecord);
    DataFileHeader header{};
    std::memcpy(&header, bytes.data(), bytes.size() < sizeof header ? 0 : sizeof header);
    if (header.nVersion != kDataFileVersion || header.nRecordSize != size || header.nCount < (tips ? 0 : 1) ||
        header.nCount > kMaxDataFileRecords || bytes.size() != sizeof header + size_t(header.nCount) * size) {
        return false;
    }
    for (int32_t i = 0; tips && i < header.nCount; ++i) {
        if (uint8_t(bytes[sizeof header + i * size + offsetof(TipRecord, byVersion)]) != kTipRecordVersion) return false;
    }
    return true;
}

// One run of the real library: two tips (one with a picture) and two that
// end at once, which go straight into the display history.
RealDataFiles WriteRealFiles() {
    LoopbackHttpServer http;
    http.Set("/801.gif", HttpAnswer{200, SampleGif()});
    std::vector<TipRecord> tips = {MakeTip(801, "picture", http.Url("/801.gif")), MakeTip(802, "text"),
                                   MakeTip(803, "ended"), MakeTip(804, "ended too")};
    tips[2].tBeginTime = tips[2].tEndTime = tips[3].tBeginTime = tips[3].tEndTime = 0;
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 5, tips, 30));
    server.PointSettingsHere();
    {
        DllUnderTest dll;
        dll.msg_init();
        PumpUntil([] { return PathExists(TipFile()) && LibraryThreads() == 0; }, 10000);
        dll.msg_exit();
    }
    RealDataFiles files{ReadWholeFile(TipFile()), ReadWholeFile(HistoryFile())};
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
    HostFolderTest::SetUp();
    const RealDataFiles& files = RealFiles();
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_EQ(files.tips.size(), 20 + 2 * sizeof(TipRecord)) << "the real run saved two tips";
    ASSERT_EQ(files.history.size(), 20 + 2 * sizeof(DisplayRecord)) << "the real run kept two history entries";
}

double FaultTest::TimedExit() {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    dll_.msg_exit();
    QueryPerformanceCounter(&end);
    return 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

double FaultTest::ExpectCleanExit(const std::string& what) {
    const double ms = TimedExit();
    EXPECT_LE(ms, kExitBoundMs) << what;
    EXPECT_EQ(LibraryThreads(), 0) << what << ": a thread of the library outlived msg_exit";
    return ms;
}

void FaultTest::ExpectIntactOrWhole(const std::string& path, const std::string& before) const {
    const std::string now = ReadWholeFile(path);
    if (!PathExists(path)) {
        EXPECT_FALSE(IsWholeDataFile(path, before)) << path << ": a whole file was lost";
    } else if (now != before) {
        EXPECT_TRUE(IsWholeDataFile(path, now)) << path << " was replaced by a broken file of " << now.size() << " bytes";
    }
}
