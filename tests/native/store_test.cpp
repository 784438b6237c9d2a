#include "store/show_data_list.h"

#include <gtest/gtest.h>

#include "core_test_support.h"
#include "protocol/fetchable_address.h"
#include "store/picture_path.h"

namespace {

using namespace coretest;

using Lines = std::vector<std::string>;

class StoreTest : public StoreFixture {
protected:
    std::string Picture(uint32_t id) {
        const std::string path = folder_.File(std::to_string(id) + ".gif");
        return WriteBytes(path, {'G'}), path;
    }
    int Add(uint32_t id, int32_t begin, int32_t end, const std::string& picture = "", const char* text = "text") {
        auto tip = MakeTip(id, begin, end, text);
        SetFieldText(tip->szPicture, picture);
        return store_.AddOneShowData(tip.release());
    }
    int Remember(uint32_t id, int32_t end, const std::string& picture = "") {
        auto record = std::make_unique<DisplayRecord>(DisplayRecord{id, end, 1, {}});
        SetFieldText(record->szPicture, picture);
        return store_.AddDisplayData(record.release());
    }
    // The history's ids, a picture's marked by a "+".
    std::string History() {
        int32_t count = 50;
        DisplayRecord all[50];
        store_.GetAllDisplayData(all, count);
        std::string entries;
        for (int32_t i = 0; i < count; ++i) entries += std::to_string(all[i].nMessageID) + (all[i].szPicture[0] ? "+ " : " ");
        return entries;
    }
};

TEST_F(StoreTest, AddingChecksTheLimitsFirstThenTheWindowThenTheId) {
    const struct { const char* what; void (*change)(TipRecord&); int result; size_t lines; } cases[] = {
        {"three buttons", [](TipRecord& t) { t.nButtonCount = 3; }, 1, 3},   {"four buttons", [](TipRecord& t) { t.nButtonCount = 4; }, 0, 1},
        {"show 1000 s", [](TipRecord& t) { t.nShowSeconds = 1000; }, 1, 3},  {"show 1001 s", [](TipRecord& t) { t.nShowSeconds = 1001; }, 0, 1},
        {"version 10", [](TipRecord& t) { t.byVersion = 10; }, 0, 1},         {"version 12", [](TipRecord& t) { t.byVersion = 12; }, 0, 1},
        {"begins after it ends", [](TipRecord& t) { t.tBeginTime = t.tEndTime + 1; }, 0, 1},
        {"begins now", [](TipRecord& t) { t.tBeginTime = kNow; }, 1, 3},      {"ends now", [](TipRecord& t) { t.tEndTime = kNow; }, 1, 3},
        {"ended a second ago", [](TipRecord& t) { t.tEndTime = kNow - 1; }, 0, 2},
        {"begins in a second", [](TipRecord& t) { t.tBeginTime = kNow + 1; }, 0, 2},
        {"a known id", [](TipRecord& t) { t.nMessageID = 101; }, 0, 3},
    };
    uint32_t id = 100;
    for (const auto& c : cases) {
        auto tip = MakeTip(++id, kNow - 10, kNow + 10, c.what);
        c.change(*tip);
        LineCapture::Clear();
        EXPECT_EQ(store_.AddOneShowData(tip.release()), c.result) << c.what;
        Lines expected{"CShowDataList::AddOneShowData"};
        if (c.lines == 3) expected.push_back(c.result ? "CShowDataList::AddOneShowData Add Success" : "AddOneShowData but data exist");
        if (c.lines >= 2) expected.push_back("CShowDataList AddOneShowData");
        EXPECT_EQ(LineCapture::Lines(), expected) << c.what;
    }
    std::unique_ptr<TipRecord> first(store_.GetOneShowData(1));
    EXPECT_EQ(FieldText(first->szText), "three buttons") << "a known id keeps the first tip";
    EXPECT_EQ(DrainSlideQueue(store_).size(), 3u);
    EXPECT_EQ(Add(101, kNow - 1, kNow + 1), 0) << "a handed-out id is still known";
    EXPECT_EQ(store_.GetOneShowData(0), nullptr) << "the static queue is never filled";
    const std::string picture = Picture(9);
    EXPECT_TRUE(Add(9, kNow - 9, kNow - 1, picture) == 0 && Exists(picture)) << "an ended tip leaves its picture alone";
}

TEST_F(StoreTest, ShowFirstOneGoesToTheFrontAndOtherValuesToTheBack) {
    for (const auto& [id, first] : std::vector<std::pair<uint32_t, uint8_t>>{{1, 0}, {2, 1}, {3, 2}, {4, 1}, {5, 0}}) {
        auto tip = MakeTip(id, kNow - 1, kNow + 1);
        tip->byShowFirst = first;
        store_.AddOneShowData(tip.release());
    }
    EXPECT_EQ(DrainSlideQueue(store_), (std::vector<uint32_t>{4, 2, 1, 3, 5}));
}

TEST_F(StoreTest, HandingOutSkipsEndedShownAndEmptyTipsAndRemembersTheOneHandedOut) {
    const std::string ended = Picture(1), shown = Picture(2);
    Add(1, kNow - 10, kNow + 5, ended), Add(2, kNow - 10, kNow + 10, shown), Add(3, kNow - 10, kNow + 10, "", "");
    Add(4, kNow - 10, kNow + 10, folder_.File("5.gif"), "");  // its picture never arrived on disk
    Remember(2, 0, "x");
    clock_.Set(kNow + 6);  // only the first tip's window has closed
    LineCapture::Clear();
    std::unique_ptr<TipRecord> tip(store_.GetOneShowData(1));
    ASSERT_TRUE(tip);
    EXPECT_EQ(std::make_pair(tip->nMessageID, tip->szPicture[0]), std::make_pair(4u, '\0')) << "a missing picture is cleared";
    EXPECT_EQ(LineCapture::Lines(), (Lines{"GetOneShowData but time out", "GetOneShowData show again", "delete data for pic data null"}));
    EXPECT_TRUE(!Exists(ended) && Exists(shown));
    EXPECT_EQ(History(), "2+ 4 ");
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
}

// 0/0: not queued, remembered for ever; the queued tip of that id times out
// with its picture. 0/future with a new id: queued, remembered, never handed
// out. Waiting for a picture: only tips inside their window, of unknown ids.
TEST_F(StoreTest, AZeroTimeEndsATipForGoodAndOnlyTipsThatCanBeShownWaitForPictures) {
    const std::string picture = Picture(7);
    ASSERT_EQ(Add(7, kNow - 10, kNow + 10, picture), 1);
    EXPECT_EQ(Add(7, 0, 0) + 2 * Add(8, 0, kNow + 100), 2);
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
    EXPECT_FALSE(Exists(picture));
    Add(1, kNow - 1, kNow + 1);
    for (const auto& [id, begin, end] : std::vector<std::tuple<uint32_t, int32_t, int32_t>>{
             {1, kNow - 1, kNow + 1}, {2, kNow + 1, kNow + 9}, {3, kNow - 9, kNow - 1}, {9, 0, 0}, {4, kNow - 1, kNow + 1},
             {4, kNow - 1, kNow + 1}}) {
        EXPECT_EQ(store_.AddWaitPicData(MakeTip(id, begin, end).release()), 1);
    }
    std::string waiting;
    while (std::unique_ptr<TipRecord> tip{store_.GetWaitPicData()}) waiting += std::to_string(tip->nMessageID) + " ";
    EXPECT_EQ(waiting + History(), "4 4 7 8 ");
}

TEST_F(StoreTest, HistoryEntriesExpireAndOnlyPicturesInTheTipsFolderAreDeleted) {
    ScratchFolder elsewhere;
    const std::string outside = elsewhere.File("precious.gif");
    WriteBytes(outside, {1});
    const struct { uint32_t id; int32_t end; std::string picture; int taken; bool pictureStays; } cases[] = {
        {1, 0, Picture(1), 1, true},          // never expires, however old
        {2, kNow - 1, Picture(2), 0, false},  // expired
        {1, kNow + 5, Picture(3), 0, false},  // a duplicate takes its own picture
        {4, kNow, "", 1, true},               // ends now: still remembered
        {50, kNow - 1, outside, 0, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Remember(c.id, c.end, c.picture), c.taken) << c.id;
        EXPECT_EQ(c.picture.empty() || Exists(c.picture), c.pictureStays) << c.picture;
    }
    EXPECT_EQ(store_.GetDisplayDataCount(), 2);
}

TEST(PicturePath, OnlyPictureNamesDirectlyInsideTheTipsFolder) {
    const struct { const char* folder; std::string path; bool inside; } cases[] = {
        {"/host/tips/", "/host/tips/47.gif", true},      {"/host/tips", "/host/tips/47.gif", true},
        {"/host/tips/", "/host/tips/..gif", true},       {"/host/tips/", "/host/tips/.gif", false},
        {"/host/tips/", "/host/tipsy/47.gif", false},    {"/host/tips/", "/host/tips/../47.gif", false},
        {"/host/tips/", "/host/tips/message.dat", false}, {"/host/tips/", "/host/tips/x:47.gif", false},
        {"/host/tips/", "/host/tips/a\\..\\..\\x.gif", false}, {"/host/tips/", "/host/tips\\47.gif", false},
        {"/host/tips/", std::string("/host/tips/4\0/../x.gif", 22), false},  // a NUL ends nothing early
        {"/host/Tips/", "/host/tips/47.gif", false},     {"/", "/47.gif", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPictureInFolder(c.folder, c.path), c.inside) << c.folder << " | " << c.path;
}

TEST(PictureAddress, OnlyHttpAndHttpsAreFetched) {
    const struct { const char* address; bool fetched; } cases[] = {
        {"http://tips.test/1.gif", true}, {"HTTPS://tips.test/1.gif", true}, {"http://", false},
        {"ftp://tips.test/1.gif", false}, {"file:///C:/x.gif", false},      {"\\\\share\\x.gif", false},
        {"httpx://tips.test/", false},    {" http://tips.test/", false},    {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsFetchableAddress(c.address), c.fetched) << c.address;
}

}  // namespace
