#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "store/data_file_header.h"
#include "store/display_file.h"
#include "store/tip_file.h"

namespace {

using namespace coretest;

constexpr int32_t kNow = 1650000000;

// A data file: header, then `count` records of tips (ids 1..) or history
// entries, `stride` apart with filler between, cut to `cutTo` bytes.
std::vector<uint8_t> DataFile(bool tips, int32_t version, int32_t count, uint32_t stride, size_t cutTo = SIZE_MAX) {
    const DataFileHeader header{version, count, stride, 0, 0};
    std::vector<uint8_t> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (int32_t i = 0; i < count; ++i) {
        bytes.resize(sizeof header + size_t(i) * stride, 0xAB);
        auto tip = MakeTip(uint32_t(i + 1), kNow - 100, kNow + 100);
        DisplayRecord entry{uint32_t(i + 1), 0, 1, {}};
        const auto* raw = tips ? reinterpret_cast<const uint8_t*>(tip.get()) : reinterpret_cast<const uint8_t*>(&entry);
        bytes.insert(bytes.end(), raw, raw + (tips ? sizeof(TipRecord) : sizeof entry));
    }
    if (cutTo < bytes.size()) bytes.resize(cutTo);
    return bytes;
}

// Ids of the tips (or history entries) a store holds, ascending.
std::vector<uint32_t> HeldIds(CShowDataList& store, bool tips) {
    int32_t count = 200;
    std::vector<TipRecord> held(200);
    std::vector<DisplayRecord> entries(200);
    tips ? store.GetAllShowData(held.data(), count) : store.GetAllDisplayData(entries.data(), count);
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < count; ++i) ids.push_back(tips ? uint32_t{held[i].nMessageID} : uint32_t{entries[i].nMessageID});
    return ids;
}

std::vector<uint32_t> Ids(uint32_t first, uint32_t last, std::vector<uint32_t> more = {}) {
    std::vector<uint32_t> ids;
    for (uint32_t id = first; id <= last; ++id) ids.push_back(id);
    ids.insert(ids.end(), more.begin(), more.end());
    return ids;
}

class DataFilesTest : public testing::Test {
protected:
    FixedClock clock_{kNow};
    LineCapture lines_;
    ScratchFolder folder_;
    const std::string tipFile_ = folder_.File("message.dat");
    const std::string historyFile_ = folder_.File("messdisplay.dat");
    CShowDataList store_;
};

TEST_F(DataFilesTest, LoadChecksTheHeaderAndReadsEachRecordAtItsStride) {
    struct Case {
        bool tips;
        int32_t version, count;
        uint32_t stride;
        size_t cutTo;
        int handed, held;
    };
    constexpr uint32_t kTip = sizeof(TipRecord), kEntry = sizeof(DisplayRecord);
    const Case cases[] = {
        {true, 11, 0, kTip, SIZE_MAX, 0, 0},   {true, 11, 99, kTip, SIZE_MAX, 99, 99}, {true, 11, 100, kTip, SIZE_MAX, 0, 0},
        {true, 11, -1, kTip, SIZE_MAX, 0, 0},  {true, 10, 1, kTip, SIZE_MAX, 0, 0},    {true, 12, 1, kTip, SIZE_MAX, 0, 0},
        {true, 11, 3, kTip + 13, SIZE_MAX, 3, 3}, {true, 11, 3, 0, SIZE_MAX, 3, 1},    {true, 11, 0, kTip, 3, 0, 0},
        {true, 11, 3, kTip, 20 + kTip + 2000, 3, 1},  // a cut record is zero-filled, loses its version and is refused
        {false, 10, 1, kEntry, SIZE_MAX, 1, 1},  {false, 50, 1, kEntry, SIZE_MAX, 1, 1}, {false, 9, 1, kEntry, SIZE_MAX, 0, 0},
        {false, 51, 1, kEntry, SIZE_MAX, 0, 0},  {false, 11, 0, kEntry, SIZE_MAX, 0, 0}, {false, 11, -1, kEntry, SIZE_MAX, 0, 0},
        {false, 11, 100, kEntry, SIZE_MAX, 0, 0}, {false, 11, 99, kEntry + 7, SIZE_MAX, 99, 99},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string& path = c.tips ? tipFile_ : historyFile_;
        WriteBytes(path, DataFile(c.tips, c.version, c.count, c.stride, c.cutTo));
        CShowDataList store;
        EXPECT_EQ(c.tips ? LoadTipFile(path.c_str(), &store) : LoadDisplayFile(path.c_str(), &store), c.handed) << i;
        EXPECT_EQ(c.tips ? int(DrainSlideQueue(store).size()) : store.GetDisplayDataCount(), c.held) << i;
    }
    EXPECT_EQ(LoadTipFile(folder_.File("missing.dat").c_str(), &store_), 0);
}

TEST_F(DataFilesTest, SavedFilesHoldTheRecordsByteForByteInIdOrder) {
    std::vector<TipRecord> sent;
    for (uint32_t id : {9u, 3u, 200u}) {
        auto tip = MakeTip(id, kNow - 100, kNow + 100);
        std::memset(tip->szTitle, 'H', sizeof tip->szTitle);  // a full field, no NUL
        sent.push_back(*tip);
        store_.AddOneShowData(tip.release());
    }
    store_.AddDisplayData(new DisplayRecord{40, kNow, 1, "pic"});
    store_.AddDisplayData(new DisplayRecord{2, 0, 0, {}});
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    ASSERT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store_));
    const auto bytes = ReadBytes(tipFile_);
    ASSERT_EQ(bytes.size(), 20u + 3 * 5407);
    const DataFileHeader expected{11, 3, 5407, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), &expected, 20), 0);
    const size_t order[] = {1, 0, 2};
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(bytes.data() + 20 + i * 5407, &sent[order[i]], 5407), 0);
    EXPECT_EQ(ReadBytes(historyFile_).size(), 20u + 2 * 1036);

    CShowDataList reloaded;
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &reloaded), 3);
    EXPECT_EQ(LoadDisplayFile(historyFile_.c_str(), &reloaded), 2);
    for (const std::string& path : {tipFile_, historyFile_}) {
        const std::string again = folder_.File("again.dat");
        ASSERT_TRUE((path == tipFile_ ? SaveTipFile : SaveDisplayFile)(again.c_str(), &reloaded));
        EXPECT_EQ(ReadBytes(again), ReadBytes(path)) << path;
        EXPECT_FALSE(Exists(path + ".tmp"));
    }
}

TEST_F(DataFilesTest, ATipSavedBeforeItsPictureWaitsAgainAndAnExpiredOneLeavesItsPictureAlone) {
    store_.SetPictureFolder(folder_.Folder().c_str());
    const std::string picture = folder_.File("4.gif");
    WriteBytes(picture, {'G'});
    auto waiting = MakeTip(8, kNow - 1, kNow + 100), expired = MakeTip(4, kNow - 9, kNow - 1);
    waiting->bPicReady = 0;
    SetFieldText(waiting->szPicture, "http://pictures/8.gif");
    SetFieldText(expired->szPicture, picture);
    std::vector<uint8_t> bytes = DataFile(true, 11, 0, 5407);
    bytes[4] = 2;
    for (const TipRecord* tip : {waiting.get(), expired.get()}) {
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(tip), reinterpret_cast<const uint8_t*>(tip + 1));
    }
    WriteBytes(tipFile_, bytes);
    LoadTipFile(tipFile_.c_str(), &store_);
    std::unique_ptr<TipRecord> tip(store_.GetWaitPicData());
    ASSERT_TRUE(tip);
    EXPECT_EQ(std::memcmp(tip.get(), waiting.get(), sizeof(TipRecord)), 0);
    EXPECT_EQ(store_.GetShowDataCount(), 0);
    EXPECT_TRUE(Exists(picture));
}

TEST_F(DataFilesTest, NothingToSaveRemovesTheFileAndAFailedSaveKeepsTheOldOne) {
    WriteBytes(tipFile_, {1, 2, 3});
    WriteBytes(historyFile_, {1, 2, 3});
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store_));
    EXPECT_FALSE(Exists(tipFile_));
    EXPECT_FALSE(Exists(historyFile_));

    // Every known tip handed out: a header alone.
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    delete store_.GetOneShowData(1);
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), DataFile(true, 11, 0, 5407));

    const auto before = ReadBytes(tipFile_);
    store_.AddOneShowData(MakeTip(2, kNow - 1, kNow + 1).release());
    std::filesystem::create_directory(tipFile_ + ".tmp");  // the temporary file cannot be made
    EXPECT_FALSE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), before);
}

TEST_F(DataFilesTest, AFullFileKeepsWhatCanStillBeShownOrStillHoldsATipBack) {
    using Fill = std::function<void(CShowDataList&)>;
    const auto tips = [](uint32_t first, uint32_t last, std::function<int32_t(uint32_t)> end, uint32_t firstFrom = 999) {
        return [=](CShowDataList& s) {
            for (uint32_t id = first; id <= last; ++id) {
                auto t = MakeTip(id, kNow - 1, end(id));
                t->byShowFirst = id >= firstFrom;
                s.AddOneShowData(t.release());
            }
        };
    };
    const auto entries = [](uint32_t first, uint32_t last, std::function<int32_t(uint32_t)> end) {
        return [=](CShowDataList& s) {
            for (uint32_t id = first; id <= last; ++id) s.AddDisplayData(new DisplayRecord{id, end(id), 1, {}});
        };
    };
    const auto shown = [](uint32_t id, int32_t end) {
        return [=](CShowDataList& s) {
            s.AddOneShowData(MakeTip(id, kNow - 1, end).release());
            delete s.GetOneShowData(1);
        };
    };
    const auto ahead = [](uint32_t) { return kNow + 9; };
    const auto never = [](uint32_t) { return 0; };
    struct Case {
        const char* name;
        bool tips;
        std::vector<Fill> fill;
        std::vector<uint32_t> kept;
    };
    const Case cases[] = {
        {"a zero-time record ends the highest id", true, {tips(1, 100, ahead), [](CShowDataList& s) { s.AddOneShowData(MakeTip(100, 0, 0).release()); }}, Ids(1, 99)},
        {"queue order, show-first in front", true, {tips(1, 150, ahead, 101)}, Ids(1, 49, Ids(101, 150))},
        {"ended and shown ids left out", true,
         {tips(1, 110, [](uint32_t id) { return id <= 5 ? kNow : kNow + 9; }), entries(6, 10, never),
          [this](CShowDataList&) { clock_.Set(kNow + 1); }},
         Ids(11, 109)},
        {"a tip shown this run outranks never-expiring entries", false,
         {entries(1, 99, never), shown(500, kNow + 30 * 86400)}, Ids(1, 98, {500})},
        {"a known tip's entry outranks later end times", false,
         {entries(2, 100, [](uint32_t id) { return kNow + 100 + int32_t(id); }), shown(1, kNow + 1)}, Ids(1, 1, Ids(3, 100))},
        {"end time ahead, then never-expiring", false, {entries(1, 1, never), entries(2, 100, ahead)}, Ids(2, 100)},
        {"a record of zeros goes last", false, {[](CShowDataList& s) { s.AddDisplayData(new DisplayRecord{}); }, entries(1, 99, never)}, Ids(1, 99)},
    };
    for (const Case& c : cases) {
        clock_.Set(kNow);
        CShowDataList store;
        for (const Fill& fill : c.fill) fill(store);
        const std::string& path = c.tips ? tipFile_ : historyFile_;
        ASSERT_TRUE((c.tips ? SaveTipFile : SaveDisplayFile)(path.c_str(), &store)) << c.name;
        clock_.Set(kNow);
        CShowDataList reloaded;
        (c.tips ? LoadTipFile : LoadDisplayFile)(path.c_str(), &reloaded);
        EXPECT_EQ(HeldIds(reloaded, c.tips), c.kept) << c.name;
    }
}

}  // namespace
