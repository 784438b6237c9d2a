#include "store/show_data_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core_test_support.h"

namespace {

using coretest::Exists;
using coretest::FixedClock;
using coretest::LineCapture;
using coretest::MakeTip;
using coretest::ScratchFolder;

constexpr int32_t kNow = 1700000000;

class StoreTest : public testing::Test {
protected:
    StoreTest() { store_.SetPictureFolder(folder_.Folder().c_str()); }

    // A picture file in the tips folder, named like the downloader names it.
    std::string Picture(uint32_t id) {
        const std::string path = folder_.File(std::to_string(id) + ".gif");
        coretest::WriteBytes(path, {'G', 'I', 'F'});
        return path;
    }

    std::unique_ptr<TipRecord> TipWithPicture(uint32_t id, int32_t begin, int32_t end) {
        auto tip = MakeTip(id, begin, end);
        SetFieldText(tip->szPicture, Picture(id));
        return tip;
    }

    std::vector<uint32_t> Drain() { return coretest::DrainSlideQueue(store_); }

    bool InHistory(uint32_t id) {
        int32_t count = store_.GetDisplayDataCount();
        std::vector<DisplayRecord> all(size_t(count > 0 ? count : 1));
        store_.GetAllDisplayData(all.data(), count);
        for (int32_t i = 0; i < count; ++i) {
            if (all[i].nMessageID == id) return true;
        }
        return false;
    }

    FixedClock clock_{kNow};
    LineCapture lines_;
    ScratchFolder folder_;
    CShowDataList store_;
};

TEST_F(StoreTest, ValidationLimitsAtTheirEdges) {
    struct Case {
        const char* what;
        void (*change)(TipRecord&);
        int result;
    };
    const std::vector<Case> cases = {
        {"three buttons", [](TipRecord& t) { t.nButtonCount = 3; }, 1},
        {"four buttons", [](TipRecord& t) { t.nButtonCount = 4; }, 0},
        {"negative buttons", [](TipRecord& t) { t.nButtonCount = -5; }, 1},
        {"show 1000 s", [](TipRecord& t) { t.nShowSeconds = 1000; }, 1},
        {"show 1001 s", [](TipRecord& t) { t.nShowSeconds = 1001; }, 0},
        {"show negative", [](TipRecord& t) { t.nShowSeconds = -1; }, 1},
        {"version 10", [](TipRecord& t) { t.byVersion = 10; }, 0},
        {"version 12", [](TipRecord& t) { t.byVersion = 12; }, 0},
        {"begins after it ends", [](TipRecord& t) { t.tBeginTime = t.tEndTime + 1; }, 0},
        {"begins now", [](TipRecord& t) { t.tBeginTime = kNow; }, 1},
        {"ends now", [](TipRecord& t) { t.tEndTime = kNow; }, 1},
        {"ended a second ago", [](TipRecord& t) { t.tEndTime = kNow - 1; }, 0},
        {"begins in a second", [](TipRecord& t) { t.tBeginTime = kNow + 1; }, 0},
    };
    uint32_t id = 100;
    for (const auto& c : cases) {
        auto tip = MakeTip(++id, kNow - 10, kNow + 10);
        c.change(*tip);
        LineCapture::Clear();
        EXPECT_EQ(store_.AddOneShowData(tip.release()), c.result) << c.what;
        const auto lines = LineCapture::Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "CShowDataList::AddOneShowData") << c.what;
        const bool refusedByValidation = c.result == 0 && lines.size() == 1;
        const bool outsideWindow = std::string(c.what).find("second") != std::string::npos;
        EXPECT_EQ(refusedByValidation, c.result == 0 && !outsideWindow) << c.what;
        if (c.result == 1) EXPECT_EQ(lines.back(), "CShowDataList AddOneShowData") << c.what;
    }
    EXPECT_EQ(Drain().size(), 6u);
}

TEST_F(StoreTest, DuplicateIdKeepsTheFirstTipUnchanged) {
    ASSERT_EQ(store_.AddOneShowData(MakeTip(5, kNow - 1, kNow + 1, "first").release()), 1);
    LineCapture::Clear();
    EXPECT_EQ(store_.AddOneShowData(MakeTip(5, kNow - 1, kNow + 1, "second").release()), 0);
    EXPECT_EQ(LineCapture::Lines(), (std::vector<std::string>{"CShowDataList::AddOneShowData",
                                                              "AddOneShowData but data exist",
                                                              "CShowDataList AddOneShowData"}));
    std::unique_ptr<TipRecord> tip(store_.GetOneShowData(1));
    ASSERT_TRUE(tip);
    EXPECT_EQ(FieldText(tip->szText), "first");
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
    // Handed out, the id is still known: a later copy is still a duplicate.
    EXPECT_EQ(store_.AddOneShowData(MakeTip(5, kNow - 1, kNow + 1).release()), 0);
}

TEST_F(StoreTest, ShowFirstOneGoesToTheFrontAndOtherValuesToTheBack) {
    const std::vector<std::pair<uint32_t, uint8_t>> added = {{1, 0}, {2, 1}, {3, 2}, {4, 1}, {5, 0}};
    for (const auto& [id, first] : added) {
        auto tip = MakeTip(id, kNow - 1, kNow + 1);
        tip->byShowFirst = first;
        store_.AddOneShowData(tip.release());
    }
    EXPECT_EQ(Drain(), (std::vector<uint32_t>{4, 2, 1, 3, 5}));
}

TEST_F(StoreTest, FourTipWalkDropsTheFirstThreeAndHandsOutTheFourth) {
    auto expired = TipWithPicture(1, kNow - 10, kNow + 5);
    const std::string expiredPicture = FieldText(expired->szPicture);
    auto shown = TipWithPicture(2, kNow - 10, kNow + 10);
    const std::string shownPicture = FieldText(shown->szPicture);
    auto empty = MakeTip(3, kNow - 10, kNow + 10, "");
    auto good = TipWithPicture(4, kNow - 10, kNow + 10);
    for (auto* tip : {&expired, &shown, &empty, &good}) ASSERT_EQ(store_.AddOneShowData(tip->release()), 1);

    auto history = NewDisplayRecord();
    history->nMessageID = 2;
    ASSERT_EQ(store_.AddDisplayData(history.release()), 1);

    clock_.Set(kNow + 6);  // only the first tip's window has closed
    LineCapture::Clear();
    std::unique_ptr<TipRecord> tip(store_.GetOneShowData(1));
    ASSERT_TRUE(tip);
    EXPECT_EQ(uint32_t{tip->nMessageID}, 4u);
    EXPECT_EQ(LineCapture::Lines(), (std::vector<std::string>{"GetOneShowData but time out",
                                                              "GetOneShowData show again",
                                                              "delete data for pic data null"}));
    EXPECT_FALSE(Exists(expiredPicture));
    EXPECT_TRUE(Exists(shownPicture));
    EXPECT_TRUE(InHistory(4));
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
}

TEST_F(StoreTest, VanishedPictureIsClearedAndTheTipStillCountsAsShown) {
    auto tip = TipWithPicture(9, kNow - 1, kNow + 1);
    SetFieldText(tip->szText, "");
    const std::string picture = FieldText(tip->szPicture);
    store_.AddOneShowData(tip.release());
    std::remove(picture.c_str());

    std::unique_ptr<TipRecord> got(store_.GetOneShowData(1));
    ASSERT_TRUE(got);
    for (char c : got->szPicture) ASSERT_EQ(c, 0);
    int32_t count = 1;
    DisplayRecord entry{};
    store_.GetAllDisplayData(&entry, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(uint32_t{entry.nMessageID}, 9u);
    EXPECT_EQ(entry.szPicture[0], 0);
}

TEST_F(StoreTest, StaticQueueIsNeverFilled) {
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    EXPECT_EQ(store_.GetOneShowData(0), nullptr);
    EXPECT_EQ(Drain(), std::vector<uint32_t>{1});
}

TEST_F(StoreTest, ZeroTimesAndZeroTimes) {
    auto queued = TipWithPicture(7, kNow - 10, kNow + 10);
    const std::string picture = FieldText(queued->szPicture);
    ASSERT_EQ(store_.AddOneShowData(queued.release()), 1);

    // 0/0: not queued, a never-ending history entry, and the queued tip of
    // the same id ends with its picture.
    EXPECT_EQ(store_.AddOneShowData(MakeTip(7, 0, 0).release()), 0);
    EXPECT_TRUE(InHistory(7));
    LineCapture::Clear();
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);
    EXPECT_EQ(LineCapture::Lines(), std::vector<std::string>{"GetOneShowData but time out"});
    EXPECT_FALSE(Exists(picture));

    // 0/future with a new id: queued and yet never handed out.
    LineCapture::Clear();
    EXPECT_EQ(store_.AddOneShowData(MakeTip(8, 0, kNow + 100).release()), 1);
    EXPECT_EQ(LineCapture::Count("CShowDataList::AddOneShowData Add Success"), 1);
    EXPECT_TRUE(InHistory(8));
    EXPECT_EQ(store_.GetOneShowData(1), nullptr);

    // A zero-time tip with a picture address dies in the picture queue and
    // leaves no history.
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(9, 0, 0).release()), 1);
    EXPECT_EQ(store_.GetWaitPicData(), nullptr);
    EXPECT_FALSE(InHistory(9));
}

TEST_F(StoreTest, WaitingForPicturesFollowsTheWindowAndTheKnownIds) {
    store_.AddOneShowData(MakeTip(1, kNow - 1, kNow + 1).release());
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(1, kNow - 1, kNow + 1).release()), 1);  // known id
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(2, kNow + 1, kNow + 9).release()), 1);  // not yet
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(3, kNow - 9, kNow - 1).release()), 1);  // over
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(4, kNow - 1, kNow + 1).release()), 1);
    EXPECT_EQ(store_.AddWaitPicData(MakeTip(4, kNow - 1, kNow + 1).release()), 1);  // waits twice
    std::vector<uint32_t> waiting;
    while (TipRecord* tip = store_.GetWaitPicData()) {
        waiting.push_back(tip->nMessageID);
        delete tip;
    }
    EXPECT_EQ(waiting, (std::vector<uint32_t>{4, 4}));
}

TEST_F(StoreTest, HistoryEntriesExpireAndDuplicatesTakeTheirOwnPicture) {
    auto entry = [&](uint32_t id, int32_t end, const std::string& picture) {
        auto record = NewDisplayRecord();
        record->nMessageID = id;
        record->tEndTime = end;
        SetFieldText(record->szPicture, picture);
        return store_.AddDisplayData(record.release());
    };
    const std::string old = Picture(1), expired = Picture(2), duplicate = Picture(3);
    EXPECT_EQ(entry(1, 0, old), 1);           // never expires, however old
    EXPECT_EQ(entry(2, kNow - 1, expired), 0);
    EXPECT_FALSE(Exists(expired));
    EXPECT_EQ(entry(1, kNow + 5, duplicate), 0);
    EXPECT_FALSE(Exists(duplicate));
    EXPECT_TRUE(Exists(old));
    EXPECT_EQ(entry(4, kNow, ""), 1);  // ends now: still remembered
    EXPECT_EQ(store_.GetDisplayDataCount(), 2);
}

TEST_F(StoreTest, PicturesOutsideTheTipsFolderAreNeverDeleted) {
    ScratchFolder elsewhere;
    const std::string outside = elsewhere.File("precious.gif");
    coretest::WriteBytes(outside, {1});
    const std::string sneaky = folder_.Folder() + "../" + std::filesystem::path(folder_.Folder()).parent_path().filename().string() + "x";
    for (const std::string& path : {outside, folder_.Folder() + "../precious.gif", sneaky}) {
        auto record = NewDisplayRecord();
        record->nMessageID = 50;
        record->tEndTime = kNow - 1;  // expired: its picture would go
        SetFieldText(record->szPicture, path);
        EXPECT_EQ(store_.AddDisplayData(record.release()), 0);
    }
    EXPECT_TRUE(Exists(outside));

    // Without a tips folder nothing is deleted at all.
    CShowDataList bare;
    const std::string inside = Picture(60);
    auto record = NewDisplayRecord();
    record->tEndTime = kNow - 1;
    SetFieldText(record->szPicture, inside);
    bare.AddDisplayData(record.release());
    EXPECT_TRUE(Exists(inside));
}

TEST_F(StoreTest, CopiesRespectTheCapacityAndSkipHandedOutTips) {
    for (uint32_t id : {30u, 10u, 20u}) store_.AddOneShowData(MakeTip(id, kNow - 1, kNow + 1).release());
    TipRecord copies[3] = {};
    int32_t count = 2;
    EXPECT_EQ(store_.GetAllShowData(copies, count), 1);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(uint32_t{copies[0].nMessageID}, 10u);
    EXPECT_EQ(uint32_t{copies[1].nMessageID}, 20u);

    delete store_.GetOneShowData(1);  // hands out 30, the first queued
    EXPECT_EQ(store_.GetShowDataCount(), 3);
    count = 3;
    store_.GetAllShowData(copies, count);
    EXPECT_EQ(count, 2);
    count = -1;
    store_.GetAllShowData(copies, count);
    EXPECT_EQ(count, 0);
}

TEST(StoreInstance, OneStorePerProcessUntilDestroyed) {
    CShowDataList* first = CShowDataList::GetInstance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CShowDataList::GetInstance(), first);
    first->SetReady();
    EXPECT_EQ(first->IsReady(), 1);
    first->AddOneShowData(MakeTip(1, 0, 2000000000).release());
    first->AddWaitPicData(MakeTip(2, 1, 2000000000).release());
    EXPECT_EQ(CShowDataList::DestroyInstance(), 1);
    EXPECT_EQ(CShowDataList::DestroyInstance(), 1);
    CShowDataList* second = CShowDataList::GetInstance();
    EXPECT_EQ(second->IsReady(), 0);
    EXPECT_EQ(second->GetShowDataCount(), 0);
    CShowDataList::DestroyInstance();
}

}  // namespace
