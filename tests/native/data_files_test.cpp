#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core_test_support.h"
#include "store/data_file_header.h"
#include "store/display_file.h"
#include "store/tip_file.h"

namespace {

using namespace coretest;

constexpr int32_t kNow = 1650000000;
constexpr uint32_t kTip = sizeof(TipRecord), kEntry = sizeof(DisplayRecord);

std::vector<uint8_t> DataFile(bool tips, int32_t version, int32_t count, uint32_t stride, size_t cutTo = SIZE_MAX) {
    const DataFileHeader header{version, count, stride, 0, 0};
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&header), reinterpret_cast<const uint8_t*>(&header + 1));
    for (int32_t i = 0; i < count; ++i) {
        bytes.resize(sizeof header + size_t(i) * stride, 0xAB);
        auto tip = MakeTip(uint32_t(i + 1), kNow - 100, kNow + 100);
        DisplayRecord entry{uint32_t(i + 1), 0, 1, {}};
        const auto* raw = tips ? reinterpret_cast<const uint8_t*>(tip.get()) : reinterpret_cast<const uint8_t*>(&entry);
        bytes.insert(bytes.end(), raw, raw + (tips ? kTip : kEntry));
    }
    return bytes.resize(std::min(cutTo, bytes.size())), bytes;
}

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
    return ids.insert(ids.end(), more.begin(), more.end()), ids;
}

class DataFilesTest : public testing::Test {
protected:
    FixedClock clock_{kNow};
    LineCapture lines_;
    ScratchFolder folder_;
    const std::string tipFile_ = folder_.File("message.dat"), historyFile_ = folder_.File("messdisplay.dat");
    CShowDataList store_;
};

TEST_F(DataFilesTest, LoadChecksTheHeaderAndReadsEachRecordAtItsStride) {
    const struct { bool tips; int32_t version, count; uint32_t stride; size_t cutTo; int handed, held; } cases[] = {
        {true, 11, 0, kTip, SIZE_MAX, 0, 0},      {true, 11, 99, kTip, SIZE_MAX, 99, 99}, {true, 11, 100, kTip, SIZE_MAX, 0, 0},
        {true, 11, -1, kTip, SIZE_MAX, 0, 0},     {true, 10, 1, kTip, SIZE_MAX, 0, 0},    {true, 12, 1, kTip, SIZE_MAX, 0, 0},
        {true, 11, 3, kTip + 13, SIZE_MAX, 3, 3}, {true, 11, 3, 0, SIZE_MAX, 3, 1},       {true, 11, 0, kTip, 3, 0, 0},
        {true, 11, 3, kTip, 20 + kTip + 2000, 3, 1},  // a cut record is zero-filled, loses its version and is refused
        {false, 10, 1, kEntry, SIZE_MAX, 1, 1},   {false, 50, 1, kEntry, SIZE_MAX, 1, 1}, {false, 9, 1, kEntry, SIZE_MAX, 0, 0},
        {false, 51, 1, kEntry, SIZE_MAX, 0, 0},   {false, 11, -1, kEntry, SIZE_MAX, 0, 0},
        {false, 11, 100, kEntry, SIZE_MAX, 0, 0}, {false, 11, 99, kEntry + 7, SIZE_MAX, 99, 99},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string& path = c.tips ? tipFile_ : historyFile_;
        WriteBytes(path, DataFile(c.tips, c.version, c.count, c.stride, c.cutTo));
        CShowDataList store;
        const int handed = (c.tips ? LoadTipFile : LoadDisplayFile)(path.c_str(), &store);
        const int held = c.tips ? int(DrainSlideQueue(store).size()) : store.GetDisplayDataCount();
        EXPECT_EQ(std::make_pair(handed, held), std::make_pair(c.handed, c.held)) << i;
    }
    EXPECT_EQ(LoadTipFile(folder_.File("missing.dat").c_str(), &store_), 0);
}

TEST_F(DataFilesTest, SavedFilesHoldTheRecordsByteForByteInIdOrder) {
    WriteBytes(tipFile_, {1}), WriteBytes(historyFile_, {1});
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_) && SaveDisplayFile(historyFile_.c_str(), &store_));
    EXPECT_FALSE(Exists(tipFile_) || Exists(historyFile_));
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    delete store_.GetOneShowData(1);
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), DataFile(true, 11, 0, kTip)) << "every tip handed out: a header alone";
    const auto full = [](uint32_t id) {
        auto tip = MakeTip(id, kNow - 100, kNow + 100);
        std::memset(tip->szTitle, 'H', sizeof tip->szTitle);  // a full field, no NUL
        return tip;
    };
    for (uint32_t id : {9u, 3u, 200u}) store_.AddOneShowData(full(id).release());
    std::vector<uint8_t> expected = DataFile(true, 11, 0, kTip);
    expected[4] = 3;
    for (uint32_t id : {3u, 9u, 200u}) {
        const auto tip = full(id);
        expected.insert(expected.end(), reinterpret_cast<const uint8_t*>(tip.get()), reinterpret_cast<const uint8_t*>(tip.get() + 1));
    }
    store_.AddDisplayData(new DisplayRecord{40, kNow, 1, "pic"});
    store_.AddDisplayData(new DisplayRecord{2, 0, 0, {}});
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_) && SaveDisplayFile(historyFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), expected);
    EXPECT_EQ(ReadBytes(historyFile_).size(), 20u + 3 * kEntry);
    CShowDataList reloaded;
    EXPECT_EQ(LoadTipFile(tipFile_.c_str(), &reloaded) + LoadDisplayFile(historyFile_.c_str(), &reloaded), 6);
    for (const std::string& path : {tipFile_, historyFile_}) {
        const std::string again = folder_.File("again.dat");
        ASSERT_TRUE((path == tipFile_ ? SaveTipFile : SaveDisplayFile)(again.c_str(), &reloaded));
        EXPECT_EQ(ReadBytes(again), ReadBytes(path)) << path;
        EXPECT_FALSE(Exists(path + ".tmp"));
    }
    std::filesystem::create_directory(tipFile_ + ".tmp");  // the temporary file cannot be made
    store_.AddOneShowData(MakeTip(2, kNow - 1, kNow + 1).release());
    EXPECT_FALSE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_EQ(ReadBytes(tipFile_), expected);
}

TEST_F(DataFilesTest, ATipSavedBeforeItsPictureWaitsAgainAndAnExpiredOneLeavesItsPictureAlone) {
    store_.SetPictureFolder(folder_.Folder().c_str());
    const std::string picture = folder_.File("4.gif");
    WriteBytes(picture, {'G'});
    auto waiting = MakeTip(8, kNow - 1, kNow + 100), expired = MakeTip(4, kNow - 9, kNow - 1);
    waiting->bPicReady = 0;
    SetFieldText(waiting->szPicture, "http://pictures/8.gif");
    SetFieldText(expired->szPicture, picture);
    std::vector<uint8_t> bytes = DataFile(true, 11, 0, kTip);
    bytes[4] = 2;
    for (const TipRecord* tip : {waiting.get(), expired.get()}) {
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(tip), reinterpret_cast<const uint8_t*>(tip + 1));
    }
    WriteBytes(tipFile_, bytes);
    LoadTipFile(tipFile_.c_str(), &store_);
    std::unique_ptr<TipRecord> tip(store_.GetWaitPicData());
    ASSERT_TRUE(tip);
    EXPECT_EQ(std::memcmp(tip.get(), waiting.get(), kTip), 0);
    EXPECT_TRUE(store_.GetShowDataCount() == 0 && Exists(picture));
}

TEST_F(DataFilesTest, AFullFileKeepsWhatCanStillBeShownOrStillHoldsATipBack) {
    using Fill = std::function<void(CShowDataList&)>;
    using End = std::function<int32_t(uint32_t)>;
    const auto tips = [](uint32_t first, uint32_t last, End end, uint32_t firstFrom = 999) -> Fill {
        return [=](CShowDataList& s) {
            for (uint32_t id = first; id <= last; ++id) {
                auto t = MakeTip(id, kNow - 1, end(id));
                t->byShowFirst = id >= firstFrom;
                s.AddOneShowData(t.release());
            }
        };
    };
    const auto entries = [](uint32_t first, uint32_t last, End end) -> Fill {
        return [=](CShowDataList& s) {
            for (uint32_t id = first; id <= last; ++id) s.AddDisplayData(new DisplayRecord{id, end(id), 1, {}});
        };
    };
    const auto shown = [](uint32_t id, int32_t end) -> Fill {
        return [=](CShowDataList& s) { s.AddOneShowData(MakeTip(id, kNow - 1, end).release()), delete s.GetOneShowData(1); };
    };
    const End ahead = [](uint32_t) { return kNow + 9; }, never = [](uint32_t) { return 0; };
    const struct { const char* name; bool tips; std::vector<Fill> fill; std::vector<uint32_t> kept; } cases[] = {
        {"a zero-time record ends the highest id", true, {tips(1, 100, ahead), [](CShowDataList& s) { s.AddOneShowData(MakeTip(100, 0, 0).release()); }}, Ids(1, 99)},
        {"queue order, show-first in front", true, {tips(1, 150, ahead, 101)}, Ids(1, 49, Ids(101, 150))},
        {"ended and shown ids left out", true,
         {tips(1, 110, [](uint32_t id) { return id <= 5 ? kNow : kNow + 9; }), entries(6, 10, never),
          [this](CShowDataList&) { clock_.Set(kNow + 1); }}, Ids(11, 109)},
        {"a tip shown this run outranks never-expiring entries", false, {entries(1, 99, never), shown(500, kNow + 30 * 86400)}, Ids(1, 98, {500})},
        {"a known tip's entry outranks later end times", false,
         {entries(2, 100, [](uint32_t id) { return kNow + 100 + int32_t(id); }), shown(1, kNow + 1)}, Ids(1, 1, Ids(3, 100))},
        {"end time ahead, then never-expiring", false, {entries(1, 1, never), entries(2, 100, ahead)}, Ids(2, 100)},
        {"a record of zeros goes last", false, {[](CShowDataList& s) { s.AddDisplayData(new DisplayRecord{}); }, entries(1, 99, never)}, Ids(1, 99)},
    };
    for (const auto& c : cases) {
        clock_.Set(kNow);
        CShowDataList store, reloaded;
        for (const Fill& fill : c.fill) fill(store);
        const std::string& path = c.tips ? tipFile_ : historyFile_;
        ASSERT_TRUE((c.tips ? SaveTipFile : SaveDisplayFile)(path.c_str(), &store)) << c.name;
        clock_.Set(kNow);
        (c.tips ? LoadTipFile : LoadDisplayFile)(path.c_str(), &reloaded);
        EXPECT_EQ(HeldIds(reloaded, c.tips), c.kept) << c.name;
    }
}

}  // namespace
