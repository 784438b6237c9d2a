#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "core_test_support.h"
#include "store/data_file_header.h"
#include "store/display_file.h"
#include "store/tip_file.h"

namespace {

using namespace coretest;

constexpr uint32_t kTip = sizeof(TipRecord), kEntry = sizeof(DisplayRecord);

template <typename Record>
void Append(std::vector<uint8_t>& bytes, const Record& record) {
    bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&record), reinterpret_cast<const uint8_t*>(&record + 1));
}

// A data file of these records, each at the stride, the gaps filled.
template <typename Record>
std::vector<uint8_t> DataFile(const std::vector<Record>& records, int32_t version = 11, uint32_t stride = sizeof(Record)) {
    std::vector<uint8_t> bytes;
    Append(bytes, DataFileHeader{version, int32_t(records.size()), stride, 0, 0});
    for (size_t i = 0; i < records.size(); ++i) {
        bytes.resize(sizeof(DataFileHeader) + i * stride, 0xAB);
        Append(bytes, records[i]);
    }
    return bytes;
}

std::vector<uint32_t> HistoryIds(CShowDataList& store) {
    int32_t count = 200;
    std::vector<DisplayRecord> entries(200);
    store.GetAllDisplayData(entries.data(), count);
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < count; ++i) ids.push_back(entries[i].nMessageID);
    return ids;
}

class DataFilesTest : public StoreFixture {
protected:
    const std::string tipFile_ = folder_.File("message.dat"), historyFile_ = folder_.File("messdisplay.dat");
};

// Odd tips were saved before their picture arrived: they wait for it again.
TEST_F(DataFilesTest, LoadChecksTheHeaderAndReadsEachRecordAtItsStride) {
    const struct { bool tips; int32_t version, count; uint32_t stride; size_t cutTo; int handed, held, waiting; } cases[] = {
        {true, 11, 99, kTip + 13, SIZE_MAX, 99, 49, 50}, {true, 11, 100, kTip, SIZE_MAX, 0, 0, 0},
        {true, 10, 1, kTip, SIZE_MAX, 0, 0, 0},          {true, 12, 1, kTip, SIZE_MAX, 0, 0, 0},
        {true, 11, 3, kTip, 20 + kTip + 2000, 3, 0, 1},  // a cut record is zero-filled, loses its version and is refused
        {false, 10, 1, kEntry, SIZE_MAX, 1, 1, 0},       {false, 50, 99, kEntry + 7, SIZE_MAX, 99, 99, 0},
        {false, 9, 1, kEntry, SIZE_MAX, 0, 0, 0},        {false, 51, 1, kEntry, SIZE_MAX, 0, 0, 0},
        {false, 11, 100, kEntry, SIZE_MAX, 0, 0, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        std::vector<TipRecord> tips;
        std::vector<DisplayRecord> entries;
        for (uint32_t id = 1; id <= uint32_t(c.count); ++id) {
            tips.push_back(*MakeTip(id, kNow - 100, kNow + 100)), entries.push_back({id, 0, 1, {}});
            tips.back().bPicReady = id % 2 == 0;
        }
        auto bytes = c.tips ? DataFile(tips, c.version, c.stride) : DataFile(entries, c.version, c.stride);
        bytes.resize(std::min(c.cutTo, bytes.size()));
        WriteBytes(tipFile_, bytes);
        CShowDataList store;
        const int handed = (c.tips ? LoadTipFile : LoadDisplayFile)(tipFile_.c_str(), &store);
        const int held = c.tips ? int(DrainSlideQueue(store).size()) : store.GetDisplayDataCount();
        int waiting = 0;
        for (std::unique_ptr<TipRecord> tip; tip.reset(store.GetWaitPicData()), tip; ++waiting) {}
        EXPECT_EQ(std::make_tuple(handed, held, waiting), std::make_tuple(c.handed, c.held, c.waiting)) << i;
    }
    EXPECT_EQ(LoadTipFile(folder_.File("missing.dat").c_str(), &store_), 0);
}

TEST_F(DataFilesTest, SavedFilesHoldTheRecordsByteForByteInIdOrder) {
    WriteBytes(tipFile_, {1}), WriteBytes(historyFile_, {1});
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_) && SaveDisplayFile(historyFile_.c_str(), &store_));
    EXPECT_FALSE(Exists(tipFile_) || Exists(historyFile_)) << "nothing to save removes the files";
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    delete store_.GetOneShowData(1);
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), DataFile(std::vector<TipRecord>{})) << "every tip handed out: a header alone";
    std::vector<TipRecord> full;
    for (uint32_t id : {3u, 9u, 200u}) {
        full.push_back(*MakeTip(id, kNow - 100, kNow + 100));
        std::memset(full.back().szTitle, 'H', sizeof full.back().szTitle);  // a full field, no NUL
    }
    for (size_t i : {1, 0, 2}) store_.AddOneShowData(new TipRecord(full[i]));
    store_.AddDisplayData(new DisplayRecord{40, kNow, 1, "pic"});
    store_.AddDisplayData(new DisplayRecord{2, 0, 0, {}});
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_) && SaveDisplayFile(historyFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), DataFile(full));
    EXPECT_EQ(ReadBytes(historyFile_), DataFile(std::vector<DisplayRecord>{{1, kNow + 1, 1, {}}, {2, 0, 0, {}}, {40, kNow, 1, "pic"}}));
    EXPECT_FALSE(Exists(tipFile_ + ".tmp") || Exists(historyFile_ + ".tmp"));
}

TEST_F(DataFilesTest, AFullFileKeepsWhatCanStillBeShownOrStillHoldsATipBack) {
    // Of 150 tips (101..150 shown first; 1..5 ended, 6..10 shown), the 99
    // the panel would get first.
    for (uint32_t id = 1; id <= 150; ++id) {
        auto tip = MakeTip(id, kNow - 1, id <= 5 ? kNow : kNow + 9);
        tip->byShowFirst = id > 100;
        store_.AddOneShowData(tip.release());
        if (id >= 6 && id <= 10) store_.AddDisplayData(new DisplayRecord{id, 0, 1, {}});
    }
    clock_.Set(kNow + 1);
    CShowDataList reloaded;
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    LoadTipFile(tipFile_.c_str(), &reloaded);
    std::vector<uint32_t> kept = DrainSlideQueue(reloaded);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, Ids(11, 59, Ids(101, 150)));

    // Entries of ids first..last; `shown`: of a tip handed out this run.
    struct Group { uint32_t first, last; int32_t end; bool shown; };
    constexpr int32_t kRising = -1;  // kNow + 100 + id
    const struct { const char* name; std::vector<Group> groups; std::vector<uint32_t> kept; } cases[] = {
        {"a tip shown this run outranks never-expiring entries", {{1, 99, 0, false}, {500, 500, kNow + 30 * 86400, true}},
         Ids(1, 98, {500})},
        {"a known tip's entry outranks later end times", {{2, 100, kRising, false}, {1, 1, kNow + 1, true}},
         Ids(1, 1, Ids(3, 100))},
        {"end time ahead, then never-expiring", {{1, 1, 0, false}, {2, 100, kNow + 9, false}}, Ids(2, 100)},
        {"a record of zeros goes last", {{0, 0, 0, false}, {1, 99, 0, false}}, Ids(1, 99)},
    };
    clock_.Set(kNow);
    for (const auto& c : cases) {
        CShowDataList store, reloaded;
        for (const Group& g : c.groups) {
            for (uint32_t id = g.first; id <= g.last; ++id) {
                if (!g.shown) {
                    const int32_t end = g.end == kRising ? kNow + 100 + int32_t(id) : g.end;
                    store.AddDisplayData(new DisplayRecord{id, end, id != 0, {}});
                    continue;
                }
                store.AddOneShowData(MakeTip(id, kNow - 1, g.end).release());
                delete store.GetOneShowData(1);
            }
        }
        ASSERT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store)) << c.name;
        LoadDisplayFile(historyFile_.c_str(), &reloaded);
        EXPECT_EQ(HistoryIds(reloaded), c.kept) << c.name;
    }
}

}  // namespace
