// The store: its queues and history, the data files it is saved in and
// loaded from, and the worker and UI threads meeting in it.
#include "store/show_data_list.h"

#include <atomic>
#include <thread>

#include "core_test_support.h"
#include "protocol/fetchable_address.h"
#include "protocol/resp_new_mess.h"
#include "store/data_file_header.h"
#include "store/data_file_io.h"
#include "store/display_file.h"
#include "store/picture_path.h"
#include "store/tip_file.h"

namespace {

using namespace coretest;

std::vector<uint32_t> HistoryIds(CShowDataList& store) {
    int32_t count = 200;
    std::vector<DisplayRecord> entries(200);
    store.GetAllDisplayData(entries.data(), count);
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < count; ++i) ids.push_back(entries[i].nMessageID);
    return ids;
}

// A store deleting pictures only in its own tips folder, at a fixed second.
class StoreTest : public testing::Test {
  protected:
    static constexpr int32_t kNow = 1700000000;
    StoreTest() { store_.SetPictureFolder(folder_.Folder().c_str()); }
    std::string Picture(uint32_t id) {
        const std::string path = folder_.File(std::to_string(id) + ".gif");
        WriteBytes(path, {'G'});
        return path;
    }
    int Add(uint32_t id, int32_t begin, int32_t end, const std::string& picture = "", const char* text = "text") {
        auto tip = MakeTip(id, begin, end, text);
        SetFieldText(tip->szPicture, picture);
        return store_.AddOneShowData(tip.release());
    }
    FixedClock clock_{kNow};
    LineCapture lines_;
    ScratchFolder folder_;
    CShowDataList store_;
    const std::string tipFile_ = folder_.File("message.dat"), historyFile_ = folder_.File("messdisplay.dat");
};

// What an add returns and logs.
struct AddResult {
    int result;
    std::vector<std::string> lines;
    NAMED_FIELDS(AddResult, result, lines)
};

TEST_F(StoreTest, AddingChecksTheLimitsFirstThenTheWindowThenTheId) {
    const std::string head = "CShowDataList::AddOneShowData", tail = "CShowDataList AddOneShowData";
    const AddResult added{1, {head, "CShowDataList::AddOneShowData Add Success", tail}}, refused{0, {head}};
    const AddResult outsideItsWindow{0, {head, tail}}, known{0, {head, "AddOneShowData but data exist", tail}};
    const struct {
        const char* what;
        void (*change)(TipRecord&);
        const AddResult& expected;
    } cases[] = {
        {"three buttons", [](TipRecord& t) { t.nButtonCount = 3; }, added},
        {"four buttons", [](TipRecord& t) { t.nButtonCount = 4; }, refused},
        {"show 1000 s", [](TipRecord& t) { t.nShowSeconds = 1000; }, added},
        {"show 1001 s", [](TipRecord& t) { t.nShowSeconds = 1001; }, refused},
        {"version 10", [](TipRecord& t) { t.byVersion = 10; }, refused},
        {"version 12", [](TipRecord& t) { t.byVersion = 12; }, refused},
        {"begins after it ends", [](TipRecord& t) { t.tBeginTime = t.tEndTime + 1; }, refused},
        {"begins now", [](TipRecord& t) { t.tBeginTime = kNow; }, added},
        {"ends now", [](TipRecord& t) { t.tEndTime = kNow; }, added},
        {"ended a second ago", [](TipRecord& t) { t.tEndTime = kNow - 1; }, outsideItsWindow},
        {"begins in a second", [](TipRecord& t) { t.tBeginTime = kNow + 1; }, outsideItsWindow},
        {"the id of the first row", [](TipRecord& t) { t.nMessageID = 101; }, known},
    };
    uint32_t id = 100;
    for (const auto& c : cases) {
        auto tip = MakeTip(++id, kNow - 10, kNow + 10, c.what);
        c.change(*tip);
        LineCapture::Clear();
        const int result = store_.AddOneShowData(tip.release());
        EXPECT_EQ((AddResult{result, LineCapture::Lines()}), c.expected) << c.what;
    }
    std::unique_ptr<TipRecord> first(store_.GetOneShowData(1));
    EXPECT_EQ(FieldText(first->szText), "three buttons") << "a known id keeps the first tip";
    EXPECT_EQ(DrainQueue(store_).size(), 3u);
    EXPECT_EQ(Add(101, kNow - 1, kNow + 1), 0) << "a handed-out id is still known";
}

TEST_F(StoreTest, HandingOutSkipsEndedShownAndEmptyTipsAndRemembersTheOneHandedOut) {
    const std::string ended = Picture(1), shown = Picture(2);
    Add(1, kNow - 10, kNow + 5, ended);
    Add(2, kNow - 10, kNow + 10, shown);
    Add(3, kNow - 10, kNow + 10, "", "");
    Add(4, kNow - 10, kNow + 10, folder_.File("5.gif"), "");  // its picture never arrived on disk
    store_.AddDisplayData(new DisplayRecord{2, 0, 1, "x"});
    clock_.Set(kNow + 6);  // only the first tip's window has closed
    LineCapture::Clear();
    std::unique_ptr<TipRecord> tip(store_.GetOneShowData(1));
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->nMessageID, 4u);
    EXPECT_EQ(FieldText(tip->szPicture), "") << "a missing picture is cleared";
    EXPECT_EQ(LineCapture::Lines(),
              (std::vector<std::string>{"GetOneShowData but time out", "GetOneShowData show again",
                                        "delete data for pic data null"}));
    EXPECT_FALSE(Exists(ended));
    EXPECT_TRUE(Exists(shown));
    EXPECT_EQ(HistoryIds(store_), (std::vector<uint32_t>{2, 4}));
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
}

// 0/future with a new id: queued, remembered, never handed out. A tip merely ended keeps its picture.
TEST_F(StoreTest, AZeroTimeEndsATipForGoodAndOnlyTipsThatCanBeShownWaitForPictures) {
    const std::string picture = Picture(7), ended = Picture(6);
    ASSERT_EQ(Add(7, kNow - 10, kNow + 10, picture), 1);
    EXPECT_EQ(Add(7, 0, 0), 0);
    EXPECT_EQ(Add(8, 0, kNow + 100), 1);
    EXPECT_EQ(Add(6, kNow - 9, kNow - 1, ended), 0);
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
    EXPECT_FALSE(Exists(picture));
    EXPECT_TRUE(Exists(ended));
    Add(1, kNow - 1, kNow + 1);
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(1, kNow - 1, kNow + 1).release()), 1) << "queued to show already";
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(2, kNow + 1, kNow + 9).release()), 1) << "not begun";
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(3, kNow - 9, kNow - 1).release()), 1) << "ended";
    for (int twice = 0; twice < 2; ++twice) store_.AddWaitPicData(MakeTip(4, kNow - 1, kNow + 1).release());
    EXPECT_EQ(DrainQueue(store_, true), (std::vector<uint32_t>{4, 4}));
    EXPECT_EQ(HistoryIds(store_), (std::vector<uint32_t>{7, 8}));
}

TEST_F(StoreTest, HistoryEntriesExpireAndOnlyPicturesInTheTipsFolderAreDeleted) {
    ScratchFolder elsewhere;
    WriteBytes(elsewhere.File("precious.gif"), {1});
    const struct {
        uint32_t id;
        int32_t end;
        std::string picture;
        int taken;
        bool pictureStays;
    } cases[] = {
        {.id = 1, .end = 0, .picture = Picture(1), .taken = 1, .pictureStays = true},  // never expires, however old
        {.id = 2, .end = kNow - 1, .picture = Picture(2), .taken = 0, .pictureStays = false},
        {.id = 1, .end = kNow + 5, .picture = Picture(3), .taken = 0, .pictureStays = false},  // a duplicate: its own
        {.id = 4, .end = kNow, .picture = "", .taken = 1, .pictureStays = true},               // ends now: remembered
        {.id = 50, .end = kNow - 1, .picture = elsewhere.File("precious.gif"), .taken = 0, .pictureStays = true},
    };
    for (const auto& c : cases) {
        auto entry = std::make_unique<DisplayRecord>(DisplayRecord{c.id, c.end, 1, {}});
        SetFieldText(entry->szPicture, c.picture);
        EXPECT_EQ(store_.AddDisplayData(entry.release()), c.taken) << c.id;
        EXPECT_EQ(c.picture.empty() || Exists(c.picture), c.pictureStays) << c.picture;
    }
    EXPECT_EQ(store_.GetDisplayDataCount(), 2);
}

TEST(PicturePath, OnlyPictureNamesDirectlyInsideTheTipsFolderAndOnlyWebAddresses) {
    const struct {
        const char* folder;
        std::string path;
        bool ok;
    } cases[] = {
        {"/host/tips/", "/host/tips/47.gif", true},
        {"/host/tips", "/host/tips/47.gif", true},
        {"/host/tips/", "/host/tips/..gif", true},
        {"/host/tips/", "/host/tips/.gif", false},
        {"/host/tips/", "/host/tipsy/47.gif", false},
        {"/host/tips/", "/host/tips/../47.gif", false},
        {"/host/tips/", "/host/tips/message.dat", false},
        {"/host/tips/", "/host/tips/x:47.gif", false},
        {"/host/tips/", "/host/tips/a\\..\\..\\x.gif", false},
        {"/host/tips/", "/host/tips\\47.gif", false},
        {"/host/tips/", std::string("/host/tips/4\0/../x.gif", 22), false},  // a NUL ends nothing early
        {"/host/Tips/", "/host/tips/47.gif", false},
        {"/", "/47.gif", false},
        {nullptr, "http://tips.test/1.gif", true},
        {nullptr, "HTTPS://tips.test/1.gif", true},
        {nullptr, "http://", false},
        {nullptr, "", false},
        {nullptr, "ftp://tips.test/1.gif", false},
        {nullptr, "file:///C:/x.gif", false},
        {nullptr, "httpx://tips.test/", false},
        {nullptr, " http://tips.test/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.folder ? IsPictureInFolder(c.folder, c.path) : IsFetchableAddress(c.path), c.ok) << c.path;
    }
}

constexpr uint32_t kTip = sizeof(TipRecord), kEntry = sizeof(DisplayRecord);

// A data file of these records, each at the stride, the gaps filled.
template <typename Record>
std::vector<uint8_t> DataFile(const std::vector<Record>& records, int32_t version = 11,
                              uint32_t stride = sizeof(Record)) {
    const DataFileHeader header{version, int32_t(records.size()), stride, 0, 0};
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&header),
                               reinterpret_cast<const uint8_t*>(&header + 1));
    for (size_t i = 0; i < records.size(); ++i) {
        bytes.resize(sizeof header + i * stride, 0xAB);
        const auto* record = reinterpret_cast<const uint8_t*>(&records[i]);
        bytes.insert(bytes.end(), record, record + sizeof(Record));
    }
    return bytes;
}

// What loading a file gives: the count it returns, the tips queued to show
// or the history entries, and the tips waiting for their picture.
struct Loaded {
    int handed = 0, held = 0, waiting = 0;
    NAMED_FIELDS(Loaded, handed, held, waiting)
};

// Odd tips were saved before their picture arrived: they wait for it again.
TEST_F(StoreTest, LoadChecksTheHeaderAndReadsEachRecordAtItsStride) {
    const struct {
        bool tips;  // else history entries
        int32_t version, count;
        uint32_t stride;
        size_t cutTo = SIZE_MAX;
        int handed = 0, held = 0, waiting = 0;
    } cases[] = {
        {.tips = true, .version = 11, .count = 99, .stride = kTip + 13, .handed = 99, .held = 49, .waiting = 50},
        {.tips = true, .version = 11, .count = 100, .stride = kTip},
        {.tips = true, .version = 10, .count = 1, .stride = kTip},
        {.tips = true, .version = 12, .count = 1, .stride = kTip},
        // The cut record is zero-filled, so it loses its version and is refused.
        {.tips = true, .version = 11, .count = 3, .stride = kTip, .cutTo = 20 + kTip + 2000, .handed = 3, .waiting = 1},
        {.tips = false, .version = 10, .count = 1, .stride = kEntry, .handed = 1, .held = 1},
        {.tips = false, .version = 50, .count = 99, .stride = kEntry + 7, .handed = 99, .held = 99},
        {.tips = false, .version = 9, .count = 1, .stride = kEntry},
        {.tips = false, .version = 51, .count = 1, .stride = kEntry},
        {.tips = false, .version = 11, .count = 100, .stride = kEntry},
    };
    for (const auto& c : cases) {
        std::vector<TipRecord> tips;
        std::vector<DisplayRecord> entries;
        for (uint32_t id = 1; id <= uint32_t(c.count); ++id) {
            tips.push_back(*MakeTip(id, kNow - 100, kNow + 100));
            tips.back().bPicReady = id % 2 == 0;
            entries.push_back({id, 0, 1, {}});
        }
        auto bytes = c.tips ? DataFile(tips, c.version, c.stride) : DataFile(entries, c.version, c.stride);
        bytes.resize(std::min(c.cutTo, bytes.size()));
        WriteBytes(tipFile_, bytes);
        CShowDataList store;
        Loaded got;
        got.handed = (c.tips ? LoadTipFile : LoadDisplayFile)(tipFile_.c_str(), &store);
        got.held = c.tips ? int(DrainQueue(store).size()) : store.GetDisplayDataCount();
        got.waiting = int(DrainQueue(store, true).size());
        EXPECT_EQ(got, (Loaded{c.handed, c.held, c.waiting}))
            << "version " << c.version << ", " << c.count << (c.tips ? " tips" : " entries");
    }
    EXPECT_EQ(LoadTipFile(folder_.File("missing.dat").c_str(), &store_), 0);
}

// The panel opens a ready tip's picture on every paint: a path from the file
// outside the tips folder (a share, a folder beside it) is dropped, logged.
TEST_F(StoreTest, ALoadedPictureOutsideTheTipsFolderIsDropped) {
    const std::vector<std::string> pictures = {Picture(1), "\\\\host\\share\\2.gif", folder_.File("../3.gif")};
    std::vector<TipRecord> tips;
    for (uint32_t id = 1; id <= 3; ++id) {
        tips.push_back(*MakeTip(id, kNow - 1, kNow + 9));
        SetFieldText(tips.back().szPicture, pictures[id - 1]);
    }
    WriteBytes(tipFile_, DataFile(tips));
    ASSERT_EQ(LoadTipFile(tipFile_.c_str(), &store_), 3);
    std::vector<std::string> shown;
    while (std::unique_ptr<TipRecord> tip{store_.GetOneShowData(1)}) shown.push_back(FieldText(tip->szPicture));
    EXPECT_EQ(shown, (std::vector<std::string>{pictures[0], "", ""}));
    EXPECT_TRUE(LineCapture::Contains("LoadTipFile picture outside the tips folder dropped:"));
}

TEST_F(StoreTest, SavedFilesHoldTheRecordsByteForByteInIdOrder) {
    WriteBytes(tipFile_, {1});
    WriteBytes(historyFile_, {1});
    EXPECT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    EXPECT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store_));
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
    const std::vector<DisplayRecord> entries{{1, kNow + 1, 1, {}}, {2, 0, 0, {}}, {40, kNow, 1, "pic"}};
    EXPECT_EQ(ReadBytes(historyFile_), DataFile(entries));
}

TEST_F(StoreTest, AFullFileKeepsWhatCanStillBeShownOrStillHoldsATipBack) {
    // Of 150 tips (101..150 shown first, 59 with another value; 1..5 ended,
    // 6..10 shown), the 99 the panel would get first, saved in id order and
    // loaded each shown-first one to the front, any other value to the back.
    for (uint32_t id = 1; id <= 150; ++id) {
        auto tip = MakeTip(id, kNow - 1, id <= 5 ? kNow : kNow + 9);
        tip->byShowFirst = id > 100 ? 1 : id == 59 ? 2 : 0;
        store_.AddOneShowData(tip.release());
        if (id >= 6 && id <= 10) store_.AddDisplayData(new DisplayRecord{id, 0, 1, {}});
    }
    clock_.Set(kNow + 1);
    CShowDataList reloaded;
    ASSERT_TRUE(SaveTipFile(tipFile_.c_str(), &store_));
    LoadTipFile(tipFile_.c_str(), &reloaded);
    std::vector<uint32_t> order = Ids(11, 59);
    for (uint32_t id = 101; id <= 150; ++id) order.insert(order.begin(), id);
    EXPECT_EQ(DrainQueue(reloaded), order);

    // History entries of ids first..last, then a tip handed out this run (id 0: none).
    struct Entries {
        uint32_t first, last;
        int32_t end;  // kRising: kNow + 100 + id
    };
    constexpr int32_t kRising = -1, kMonth = 30 * 86400;
    const struct {
        const char* why;
        std::vector<Entries> entries;
        uint32_t shown = 0;
        int32_t until = 0;  // its end time
        std::vector<uint32_t> kept;
    } cases[] = {
        // A tip shown this run outranks never-expiring entries; a known tip's entry outranks later end times.
        {.why = "shown now", .entries = {{1, 99, 0}}, .shown = 500, .until = kNow + kMonth, .kept = Ids(1, 98, {500})},
        {.why = "known", .entries = {{2, 100, kRising}}, .shown = 1, .until = kNow + 1, .kept = Ids(1, 1, Ids(3, 100))},
        {.why = "end time ahead, then never-expiring", .entries = {{1, 1, 0}, {2, 100, kNow + 9}}, .kept = Ids(2, 100)},
        {.why = "a record of zeros goes last", .entries = {{0, 0, 0}, {1, 99, 0}}, .kept = Ids(1, 99)},
    };
    clock_.Set(kNow);
    for (const auto& c : cases) {
        CShowDataList store, reloaded;
        for (const Entries& e : c.entries) {
            for (uint32_t id = e.first; id <= e.last; ++id) {
                store.AddDisplayData(
                    new DisplayRecord{id, e.end == kRising ? kNow + 100 + int32_t(id) : e.end, id != 0, {}});
            }
        }
        if (c.shown) store.AddOneShowData(MakeTip(c.shown, kNow - 1, c.until).release());
        delete store.GetOneShowData(1);
        ASSERT_TRUE(SaveDisplayFile(historyFile_.c_str(), &store)) << c.why;
        LoadDisplayFile(historyFile_.c_str(), &reloaded);
        EXPECT_EQ(HistoryIds(reloaded), c.kept) << c.why;
    }
}

// The worker (decoder, picture pass, tip file save, ready flag) and the UI thread (file load,
// panel polls, history save) meet only in the store, safely under ThreadSanitizer. The server
// sends ids 1..60, an earlier run left 41..80: every id is shown once, whichever came first.
TEST_F(StoreTest, WorkerAndPanelCallsInterleave) {
    std::vector<TipRecord> tips;
    std::vector<const TipRecord*> sent;
    for (uint32_t id = 1; id <= 80; ++id) {
        tips.push_back(*MakeTip(id, kNow - 5, kNow + 500));
        if (id % 2 == 0) SetFieldText(tips.back().szPicture, "http://pictures/" + std::to_string(id));
    }
    for (size_t i = 0; i < 60; ++i) sent.push_back(&tips[i]);
    const std::string tipFile = folder_.File("message.dat");
    WriteBytes(tipFile, DataFile(std::vector<TipRecord>(tips.begin() + 40, tips.end())));
    const auto packet = wire::Packet("RESPNEWMESS", wire::ResponseBody(1, sent, 5));
    for (int round = 0; round < 20; ++round) {
        CShowDataList store;
        store.SetPictureFolder(folder_.Folder().c_str());
        std::thread worker([&] {
            CRespNewMess(&store).Decode(packet.data(), uint32_t(packet.size()));
            while (TipRecord* tip = store.GetWaitPicData()) {  // the picture "arrives" as a local path
                SetFieldText(tip->szPicture, folder_.File(std::to_string(tip->nMessageID) + ".gif"));
                tip->bPicReady = 1;
                store.AddOneShowData(tip);
            }
            SaveTipFile(folder_.File("saved.dat").c_str(), &store);
            store.SetReady();
        });
        LoadTipFile(tipFile.c_str(), &store);
        std::vector<uint32_t> shown;
        for (bool ready = false; !ready;) {
            ready = store.IsReady() != 0;  // read before polling, as the panel does
            const std::vector<uint32_t> more = DrainQueue(store);
            shown.insert(shown.end(), more.begin(), more.end());
            ready = ready && more.empty();
            store.GetDisplayDataCount();
        }
        worker.join();
        SaveDisplayFile(folder_.File("messdisplay.dat").c_str(), &store);
        std::sort(shown.begin(), shown.end());
        ASSERT_EQ(shown, Ids(1, 80)) << "round " << round;
    }
}

TEST_F(StoreTest, FirstUseFromTwoThreadsMakesOneStore) {
    CShowDataList* seen = nullptr;
    std::thread other([&] { seen = CShowDataList::GetInstance(); });
    CShowDataList* mine = CShowDataList::GetInstance();
    other.join();
    EXPECT_EQ(seen, mine);
    CShowDataList::DestroyInstance();
}

// Regression: two writers (a worker walked away from, the next start's) shared
// one temporary file, so a reader could see a half-written data file.
TEST(DataFileSave, TwoWritersAtOnceNeverShareATemporaryFile) {
    ScratchFolder folder;
    const std::string path = folder.File("message.dat");
    const size_t size = sizeof(DataFileHeader) + 65536;
    std::atomic<int> starting{3}, failed{0}, torn{0};
    const auto run = [&](uint8_t fill) {  // 0: the reader
        const std::vector<uint8_t> records(65536, fill);
        for (--starting; starting.load() > 0;) std::this_thread::yield();  // all at once, so that saves overlap
        for (int i = 0; i < 200; ++i) {
            if (fill != 0) failed += !ReplaceDataFile(path.c_str(), DataFileHeader{}, records.data(), records.size());
            const std::vector<uint8_t> seen = fill == 0 ? ReadBytes(path) : std::vector<uint8_t>{};
            torn +=
                !seen.empty() && (seen.size() != size || std::count(seen.begin(), seen.end(), seen.back()) != 65536);
        }
    };
    std::thread reader(run, 0), first(run, 'a'), second(run, 'b');
    for (std::thread* t : {&reader, &first, &second}) t->join();
    EXPECT_EQ(failed.load() + torn.load(), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1) << "no temporary file stays";
}

}  // namespace
