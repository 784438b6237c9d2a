#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "store/data_file_header.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

namespace {

using coretest::DrainSlideQueue;
using coretest::Exists;
using coretest::FixedClock;
using coretest::MakeTip;
using coretest::ReadBytes;
using coretest::ScratchFolder;
using coretest::WriteBytes;

constexpr int32_t kNow = 1650000000;

template <typename Record>
std::vector<uint8_t> DataFile(int32_t version, int32_t count, uint32_t stride, const std::vector<Record>& records) {
    DataFileHeader header{version, count, stride, 0, 0};
    std::vector<uint8_t> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = 0; i < records.size(); ++i) {
        bytes.resize(sizeof header + i * stride, 0xAB);  // filler between records
        const auto* raw = reinterpret_cast<const uint8_t*>(&records[i]);
        bytes.insert(bytes.end(), raw, raw + sizeof(Record));
    }
    return bytes;
}

TipRecord StoredTip(uint32_t id, uint8_t showFirst = 0) {
    auto tip = MakeTip(id, kNow - 100, kNow + 100, ("tip " + std::to_string(id)).c_str());
    tip->byShowFirst = showFirst;
    tip->nButtonCount = 1;
    SetFieldText(tip->aButtons[0].szCaption, "Go");
    SetFieldText(tip->aButtons[0].szAction, "OPENURL");
    std::memset(tip->szTitle, 'H', sizeof tip->szTitle);  // full field, no NUL
    return *tip;
}

DisplayRecord Entry(uint32_t id, int32_t end, const std::string& picture = "") {
    DisplayRecord record{};
    record.nMessageID = id;
    record.tEndTime = end;
    record.bPicReady = 1;
    SetFieldText(record.szPicture, picture);
    return record;
}

// first..last, then `more`.
std::vector<uint32_t> Ids(uint32_t first, uint32_t last, std::vector<uint32_t> more = {}) {
    std::vector<uint32_t> ids;
    for (uint32_t id = first; id <= last; ++id) ids.push_back(id);
    ids.insert(ids.end(), more.begin(), more.end());
    return ids;
}

std::vector<uint32_t> HistoryIds(CShowDataList& store) {
    int32_t count = store.GetDisplayDataCount();
    std::vector<DisplayRecord> all(size_t(count > 0 ? count : 1));
    store.GetAllDisplayData(all.data(), count);
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < count; ++i) ids.push_back(all[i].nMessageID);
    return ids;
}

class DataFilesTest : public testing::Test {
protected:
    DataFilesTest() { store_.SetPictureFolder(folder_.Folder().c_str()); }

    std::string Picture(uint32_t id) {
        const std::string path = folder_.File(std::to_string(id) + ".gif");
        WriteBytes(path, {'G'});
        return path;
    }

    FixedClock clock_{kNow};
    coretest::LineCapture lines_;
    ScratchFolder folder_;
    const std::string tipFile_ = folder_.File("message.dat");
    const std::string historyFile_ = folder_.File("messdisplay.dat");
    CShowDataList store_;
};

TEST_F(DataFilesTest, TipFileRoundTripIsByteIdentical) {
    std::vector<TipRecord> saved;
    for (uint32_t id : {9u, 3u, 200u}) {
        saved.push_back(StoredTip(id));
        auto tip = NewTipRecord();
        *tip = saved.back();
        ASSERT_EQ(store_.AddOneShowData(tip.release()), 1);
    }
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    const auto bytes = ReadBytes(tipFile_);
    ASSERT_EQ(bytes.size(), 20u + 3 * 5407);
    DataFileHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(int32_t{header.nVersion}, 11);
    EXPECT_EQ(int32_t{header.nCount}, 3);
    EXPECT_EQ(uint32_t{header.nRecordSize}, 5407u);
    EXPECT_EQ(uint32_t(header.nReserved1 | header.nReserved2), 0u);
    // Ascending ids, each record exactly as it was held.
    const std::vector<size_t> order = {1, 0, 2};
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(std::memcmp(bytes.data() + 20 + i * 5407, &saved[order[i]], 5407), 0) << i;
    }

    CShowDataList reloaded;
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &reloaded), 3);
    const std::string again = folder_.File("again.dat");
    ASSERT_TRUE(SaveTipFile(again.c_str(), &reloaded));
    EXPECT_EQ(ReadBytes(again), bytes);
    EXPECT_FALSE(Exists(tipFile_ + ".tmp"));
}

TEST_F(DataFilesTest, TipFileHeaderChecks) {
    struct Case {
        int32_t version;
        int32_t count;
        int handed;
    };
    std::vector<TipRecord> tips;
    for (uint32_t id = 1; id <= 100; ++id) tips.push_back(StoredTip(id));
    for (const Case c : {Case{11, 0, 0}, Case{11, 99, 99}, Case{11, 100, 0}, Case{11, -1, 0}, Case{10, 1, 0},
                         Case{12, 1, 0}}) {
        const size_t present = size_t(c.count > 0 ? c.count : 0);
        WriteBytes(tipFile_, DataFile(c.version, c.count, 5407,
                                      std::vector<TipRecord>(tips.begin(), tips.begin() + present)));
        CShowDataList store;
        EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &store), c.handed) << c.version << "/" << c.count;
        EXPECT_EQ(store.GetShowDataCount(), c.handed) << c.version << "/" << c.count;
    }
    CShowDataList store;
    EXPECT_EQ(LoadTipFile(folder_.File("missing.dat").c_str(), &store), 0);
    WriteBytes(tipFile_, {11, 0, 0});  // shorter than a header
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &store), 0);
}

TEST_F(DataFilesTest, TipFileStrideSkipsGapsAndZeroStrideRereadsTheFirstRecord) {
    const std::vector<TipRecord> tips = {StoredTip(1), StoredTip(2), StoredTip(3)};
    WriteBytes(tipFile_, DataFile(11, 3, 5407 + 13, tips));
    CShowDataList wide;
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &wide), 3);
    EXPECT_EQ(DrainSlideQueue(wide), (std::vector<uint32_t>{1, 2, 3}));

    auto bytes = DataFile(11, 3, 5407, tips);
    std::memset(bytes.data() + 8, 0, 4);  // record size 0
    WriteBytes(tipFile_, bytes);
    coretest::LineCapture::Clear();
    CShowDataList zero;
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &zero), 3);
    EXPECT_EQ(coretest::LineCapture::Count("AddOneShowData but data exist"), 2);
    EXPECT_EQ(DrainSlideQueue(zero), std::vector<uint32_t>{1});
}

TEST_F(DataFilesTest, ShortFileHandsOverTheCutRecordZeroFilled) {
    auto bytes = DataFile(11, 3, 5407, std::vector<TipRecord>{StoredTip(1), StoredTip(2)});
    bytes.resize(20 + 5407 + 2000);  // the second record ends inside its text
    WriteBytes(tipFile_, bytes);
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &store_), 3);
    // The cut record lost its version byte, so the store refuses it.
    EXPECT_EQ(DrainSlideQueue(store_), std::vector<uint32_t>{1});
}

TEST_F(DataFilesTest, ReloadPutsShowFirstTipsInFrontInDescendingOrder) {
    std::vector<TipRecord> tips;
    for (uint32_t id = 1; id <= 5; ++id) tips.push_back(StoredTip(id, id % 2 == 0 ? 1 : 0));
    WriteBytes(tipFile_, DataFile(11, 5, 5407, tips));
    LoadTipFile(tipFile_.c_str(), &store_);
    EXPECT_EQ(DrainSlideQueue(store_), (std::vector<uint32_t>{4, 2, 1, 3, 5}));
}

TEST_F(DataFilesTest, TipWaitingForItsPictureWaitsAgainAfterAReload) {
    TipRecord waiting = StoredTip(8);
    waiting.bPicReady = 0;
    SetFieldText(waiting.szPicture, "http://pictures/8.gif");
    WriteBytes(tipFile_, DataFile(11, 1, 5407, std::vector<TipRecord>{waiting}));
    LoadTipFile(tipFile_.c_str(), &store_);
    std::unique_ptr<TipRecord> tip(store_.GetWaitPicData());
    ASSERT_TRUE(tip);
    EXPECT_EQ(std::memcmp(tip.get(), &waiting, sizeof waiting), 0);
}

TEST_F(DataFilesTest, NothingToSaveRemovesTheFile) {
    WriteBytes(tipFile_, {1, 2, 3});
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_FALSE(Exists(tipFile_));

    // Every known tip handed out: a header alone, which loads nothing.
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    delete store_.GetOneShowData(1);
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), DataFile(11, 0, 5407, std::vector<TipRecord>{}));

    WriteBytes(historyFile_, {1, 2, 3});
    CShowDataList empty;
    EXPECT_TRUE(SaveDisplayFile(historyFile_.c_str(), &empty));
    EXPECT_FALSE(Exists(historyFile_));
}

TEST_F(DataFilesTest, TooManyTipsKeepTheShowableOnesThePanelWouldGetFirst) {
    const auto add = [](CShowDataList& store, uint32_t id, int32_t end, uint8_t showFirst = 0) {
        auto tip = MakeTip(id, kNow - 1, end);
        tip->byShowFirst = showFirst;
        store.AddOneShowData(tip.release());
    };
    struct Case {
        const char* name;
        std::function<void(CShowDataList&)> fill;
        std::vector<uint32_t> kept;
    };
    const Case cases[] = {
        {"a zero-time record ends the highest id",
         [&](CShowDataList& s) {
             for (uint32_t id = 1; id <= 100; ++id) add(s, id, kNow + 1);
             s.AddOneShowData(MakeTip(100, 0, 0).release());
         },
         Ids(1, 99)},
        {"queue order, show-first in front",
         [&](CShowDataList& s) {
             for (uint32_t id = 1; id <= 150; ++id) add(s, id, kNow + 1, id > 100 ? 1 : 0);
         },
         Ids(1, 49, Ids(101, 150))},
        {"ended and already shown ids are left out",
         [&](CShowDataList& s) {
             for (uint32_t id = 1; id <= 110; ++id) add(s, id, id <= 5 ? kNow : kNow + 9);
             for (uint32_t id = 6; id <= 10; ++id) s.AddDisplayData(new DisplayRecord(Entry(id, 0)));
             clock_.Set(kNow + 1);
         },
         Ids(11, 109)},
    };
    for (const Case& c : cases) {
        clock_.Set(kNow);
        CShowDataList store;
        c.fill(store);
        ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store)) << c.name;
        clock_.Set(kNow);
        CShowDataList reloaded;
        EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &reloaded), int(c.kept.size())) << c.name;
        int32_t count = reloaded.GetShowDataCount();
        std::vector<TipRecord> held(static_cast<size_t>(count));
        reloaded.GetAllShowData(held.data(), count);
        std::vector<uint32_t> ids;
        for (const TipRecord& tip : held) ids.push_back(uint32_t{tip.nMessageID});
        EXPECT_EQ(ids, c.kept) << c.name;
    }
}

TEST_F(DataFilesTest, FailedSaveKeepsTheOldFileWhole) {
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    const auto before = ReadBytes(tipFile_);
    store_.AddOneShowData(MakeTip(2, kNow - 1, kNow + 1).release());

    std::filesystem::create_directory(tipFile_ + ".tmp");  // the temporary file cannot be made
    EXPECT_FALSE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), before);

    std::filesystem::remove(tipFile_ + ".tmp");
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_).size(), 20u + 2 * 5407);
}

TEST_F(DataFilesTest, ExpiredSavedTipIsDroppedOnLoadAndItsPictureStays) {
    TipRecord old = StoredTip(4);
    old.tEndTime = kNow - 1;
    const std::string picture = Picture(4);
    SetFieldText(old.szPicture, picture);
    WriteBytes(tipFile_, DataFile(11, 1, 5407, std::vector<TipRecord>{old}));
    LoadTipFile(tipFile_.c_str(), &store_);
    EXPECT_EQ(store_.GetShowDataCount(), 0);
    EXPECT_TRUE(Exists(picture));
}

TEST_F(DataFilesTest, HistoryRoundTripIsByteIdentical) {
    const std::vector<DisplayRecord> entries = {Entry(2, 0, Picture(2)), Entry(5, kNow + 50), Entry(40, kNow)};
    WriteBytes(historyFile_, DataFile(11, 3, 1036, entries));
    EXPECT_EQ(LoadDisplayFile(historyFile_.c_str(), &store_), 3);
    const std::string again = folder_.File("again.dat");
    ASSERT_TRUE(SaveDisplayFile(again.c_str(), &store_));
    EXPECT_EQ(ReadBytes(again), ReadBytes(historyFile_));
}

TEST_F(DataFilesTest, HistoryFileHeaderChecks) {
    struct Case {
        int32_t version;
        int32_t count;
        int offered;
    };
    std::vector<DisplayRecord> entries;
    for (uint32_t id = 1; id <= 100; ++id) entries.push_back(Entry(id, 0));
    for (const Case c : {Case{10, 1, 1}, Case{50, 1, 1}, Case{9, 1, 0}, Case{51, 1, 0}, Case{11, 99, 99},
                         Case{11, 0, 0}, Case{11, -1, 0}, Case{11, 100, 0}}) {
        const size_t present = size_t(c.count > 0 ? c.count : 0);
        WriteBytes(historyFile_, DataFile(c.version, c.count, 1036,
                                          std::vector<DisplayRecord>(entries.begin(), entries.begin() + present)));
        CShowDataList store;
        EXPECT_EQ(LoadDisplayFile(historyFile_.c_str(), &store), c.offered) << c.version << "/" << c.count;
        EXPECT_EQ(store.GetDisplayDataCount(), c.offered) << c.version << "/" << c.count;
    }
}

TEST_F(DataFilesTest, HistoryLoadPrunesExpiredEntriesAndDuplicatesWithTheirPictures) {
    const std::string expired = Picture(1), kept = Picture(2), duplicate = Picture(3), forever = Picture(4);
    const std::vector<DisplayRecord> entries = {Entry(1, kNow - 1, expired), Entry(2, kNow + 9, kept),
                                                Entry(2, kNow + 9, duplicate), Entry(4, 0, forever)};
    WriteBytes(historyFile_, DataFile(11, 4, 1036 + 7, entries));
    LoadDisplayFile(historyFile_.c_str(), &store_);
    EXPECT_EQ(HistoryIds(store_), (std::vector<uint32_t>{2, 4}));
    EXPECT_FALSE(Exists(expired));
    EXPECT_FALSE(Exists(duplicate));
    EXPECT_TRUE(Exists(kept));
    EXPECT_TRUE(Exists(forever));

    ASSERT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store_));
    CShowDataList reloaded;
    EXPECT_EQ(LoadDisplayFile(historyFile_.c_str(), &reloaded), 2);
}

TEST_F(DataFilesTest, ZeroTimeTipFromTheTipFileMakesTheHistoryRecordADuplicate) {
    TipRecord ended = StoredTip(6);
    ended.tBeginTime = 0;
    ended.tEndTime = 0;
    WriteBytes(tipFile_, DataFile(11, 1, 5407, std::vector<TipRecord>{ended}));
    const std::string picture = Picture(6);
    WriteBytes(historyFile_, DataFile(11, 1, 1036, std::vector<DisplayRecord>{Entry(6, kNow + 5, picture)}));
    LoadTipFile(tipFile_.c_str(), &store_);
    LoadDisplayFile(historyFile_.c_str(), &store_);
    EXPECT_EQ(HistoryIds(store_), std::vector<uint32_t>{6});
    EXPECT_FALSE(Exists(picture));
}

TEST_F(DataFilesTest, LongHistoryKeepsTheEntriesThatStillHoldATipBack) {
    const auto entry = [](CShowDataList& s, uint32_t id, int32_t end) {
        s.AddDisplayData(new DisplayRecord(Entry(id, end)));
    };
    struct Case {
        const char* name;
        std::function<void(CShowDataList&)> fill;
        std::vector<uint32_t> kept;
    };
    const Case cases[] = {
        {"a tip shown this run outranks never-expiring entries",
         [&](CShowDataList& s) {
             for (uint32_t id = 1; id <= 99; ++id) entry(s, id, 0);
             s.AddOneShowData(MakeTip(500, kNow - 1, kNow + 30 * 86400).release());
             delete s.GetOneShowData(1);
         },
         Ids(1, 98, {500})},
        {"a known tip's entry outranks later end times",
         [&](CShowDataList& s) {
             for (uint32_t id = 2; id <= 100; ++id) entry(s, id, kNow + 100 + int32_t(id));
             s.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
             delete s.GetOneShowData(1);
         },
         Ids(1, 1, Ids(3, 100))},
        {"end time ahead, then never-expiring",
         [&](CShowDataList& s) {
             for (uint32_t id = 1; id <= 150; ++id) entry(s, id, id % 3 == 0 ? 0 : kNow + int32_t(id));
         },
         [] {
             std::vector<uint32_t> ids;
             for (uint32_t id = 2; id <= 150; ++id) {
                 if (id % 3 != 0) ids.push_back(id);
             }
             return ids;
         }()},
        {"a record of zeros goes last",
         [&](CShowDataList& s) {
             s.AddDisplayData(new DisplayRecord{});  // what a short read makes
             for (uint32_t id = 1; id <= 99; ++id) entry(s, id, 0);
         },
         Ids(1, 99)},
    };
    for (const Case& c : cases) {
        CShowDataList store;
        c.fill(store);
        ASSERT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store)) << c.name;
        CShowDataList reloaded;
        EXPECT_EQ(LoadDisplayFile(historyFile_.c_str(), &reloaded), 99) << c.name;
        EXPECT_EQ(HistoryIds(reloaded), c.kept) << c.name;
    }
}

}  // namespace
