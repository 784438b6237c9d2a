// The worker thread (decoder, picture pass, tip file save, ready flag) and
// the UI thread (file loads, panel polls, history save) meet only in the
// store. Run under ThreadSanitizer this shows their calls interleave safely.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

#include "core_test_support.h"
#include "protocol/resp_new_mess.h"
#include "store/display_file.h"
#include "store/tip_file.h"

namespace {

using namespace coretest;
using namespace wire;

constexpr int32_t kNow = 1750000000;

void WorkerCycle(CShowDataList* store, const std::vector<uint8_t>& packet, const std::string& tipFile, const std::string& folder) {
    CRespNewMess(store).Decode(packet.data(), uint32_t(packet.size()));
    while (TipRecord* tip = store->GetWaitPicData()) {  // the picture "arrives" as a local path
        SetFieldText(tip->szPicture, folder + std::to_string(tip->nMessageID) + ".gif");
        tip->bPicReady = 1;
        store->AddOneShowData(tip);
    }
    SaveTipFile(tipFile.c_str(), store);
    store->SetReady();
}

// The server sends ids 1..60, every other one with a picture; an earlier run
// left ids 41..80. Every id is shown exactly once, whichever copy came first.
TEST(StoreThreads, WorkerAndPanelCallsInterleave) {
    FixedClock clock(kNow);
    LineCapture lines;
    ScratchFolder folder;
    const std::string tipFile = folder.File("message.dat");
    std::vector<std::unique_ptr<TipRecord>> sent;
    std::vector<const TipRecord*> tips;
    CShowDataList earlier;
    std::multiset<uint32_t> everyId;
    for (uint32_t id = 1; id <= 80; ++id) {
        everyId.insert(id);
        if (id > 40) earlier.AddOneShowData(MakeTip(id, kNow - 5, kNow + 500).release());
        if (id > 60) continue;
        sent.push_back(MakeTip(id, kNow - 5, kNow + 500));
        if (id % 2 == 0) SetFieldText(sent.back()->szPicture, "http://pictures/" + std::to_string(id));
        tips.push_back(sent.back().get());
    }
    ASSERT_TRUE(SaveTipFile(tipFile.c_str(), &earlier));
    const auto packet = Packet("RESPNEWMESS", ResponseBody(1, tips, 5));
    for (int round = 0; round < 20; ++round) {
        CShowDataList store;
        store.SetPictureFolder(folder.Folder().c_str());
        std::thread worker(WorkerCycle, &store, std::cref(packet), folder.File("saved.dat"), folder.Folder());
        LoadTipFile(tipFile.c_str(), &store);
        std::multiset<uint32_t> shown;
        for (bool ready = false; !ready;) {
            ready = store.IsReady() != 0;  // read before polling, as the panel does
            while (std::unique_ptr<TipRecord> tip{store.GetOneShowData(1)}) shown.insert(uint32_t{tip->nMessageID}), ready = false;
            store.GetDisplayDataCount();
        }
        worker.join();
        SaveDisplayFile(folder.File("messdisplay.dat").c_str(), &store);
        ASSERT_EQ(shown, everyId) << "round " << round;
    }
}

TEST(StoreThreads, FirstUseFromTwoThreadsMakesOneStore) {
    CShowDataList* seen = nullptr;
    std::thread other([&] { seen = CShowDataList::GetInstance(); });
    CShowDataList* mine = CShowDataList::GetInstance();
    other.join();
    EXPECT_EQ(seen, mine);
    CShowDataList::DestroyInstance();
}

}  // namespace
