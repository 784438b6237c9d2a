#include "support/fault_fixture.h"

#include <cstring>

#include "store/data_file_header.h"
#include "store/display_file.h"
#include "store/display_record.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/process_counts.h"
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

// Data files as the library saves them: two tips, one with its picture,
// and the history entries of two tips that ended at once.
RealDataFiles WriteRealFiles() {
    CShowDataList store;
    for (TipRecord tip : {MakeTip(801, "picture", TipsFolder() + "801.gif"), MakeTip(802, "text"),
                          MakeTip(803, "ended"), MakeTip(804, "ended too")}) {
        tip.bPicReady = 1;
        if (tip.nMessageID > 802) tip.tBeginTime = tip.tEndTime = 0;
        store.AddOneShowData(new TipRecord(tip));
    }
    const std::string tips = TipsFolder() + "real.dat", history = TipsFolder() + "real-history.dat";
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    SaveTipFile(tips.c_str(), &store);
    SaveDisplayFile(history.c_str(), &store);
    RealDataFiles files{ReadWholeFile(tips), ReadWholeFile(history)};
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
    ASSERT_TRUE(dll_.Loaded());
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
