// The worker thread (decoder, picture pass, tip file save, ready flag) and
// the UI thread (file loads, panel polls, history save) meet only in the
// store. Run under ThreadSanitizer this shows their calls interleave safely.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core_test_support.h"
#include "protocol/resp_new_mess.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

namespace {

constexpr int32_t kNow = 1750000000;

void WorkerCycle(CShowDataList* store, const std::vector<uint8_t>& packet, const std::string& tipFile,
                 const std::string& folder) {
    CRespNewMess response(store);
    response.Decode(packet.data(), uint32_t(packet.size()));
    while (TipRecord* tip = store->GetWaitPicData()) {
        // The picture "arrives": the address becomes a local path.
        SetFieldText(tip->szPicture, folder + std::to_string(tip->nMessageID) + ".gif");
        tip->bPicReady = 1;
        store->AddOneShowData(tip);
    }
    SaveTipFile(tipFile.c_str(), store);
    store->SetReady();
}

TEST(StoreThreads, WorkerAndPanelCallsInterleave) {
    coretest::FixedClock clock(kNow);
    coretest::LineCapture lines;
    coretest::ScratchFolder folder;
    const std::string tipFile = folder.File("message.dat"), savedFile = folder.File("saved.dat");
    // The server sends ids 1..60, every other one with a picture address;
    // an earlier run left ids 41..80.
    std::vector<std::unique_ptr<TipRecord>> sent;
    std::vector<const TipRecord*> tips;
    CShowDataList earlier;
    for (uint32_t id = 1; id <= 80; ++id) {
        if (id > 40) earlier.AddOneShowData(coretest::MakeTip(id, kNow - 5, kNow + 500).release());
        if (id > 60) continue;
        sent.push_back(coretest::MakeTip(id, kNow - 5, kNow + 500));
        if (id % 2 == 0) SetFieldText(sent.back()->szPicture, "http://pictures/" + std::to_string(id));
        tips.push_back(sent.back().get());
    }
    ASSERT_TRUE(SaveTipFile(tipFile.c_str(), &earlier));
    const auto packet = coretest::Packet("RESPNEWMESS", coretest::ResponseBody(1, tips, 5));

    for (int round = 0; round < 20; ++round) {
        CShowDataList store;
        store.SetPictureFolder(folder.Folder().c_str());
        // The worker saves to a file of its own, so the load reads the
        // earlier run's tips whichever comes first.
        std::thread worker(WorkerCycle, &store, std::cref(packet), std::cref(savedFile), folder.Folder());
        LoadTipFile(tipFile.c_str(), &store);
        std::multiset<uint32_t> shown;
        for (;;) {
            const bool ready = store.IsReady() != 0;  // read before polling, as the panel does
            std::unique_ptr<TipRecord> tip(store.GetOneShowData(1));
            if (tip) {
                shown.insert(tip->nMessageID);
            } else if (ready) {
                break;
            }
            store.GetDisplayDataCount();
        }
        worker.join();
        SaveDisplayFile(folder.File("messdisplay.dat").c_str(), &store);
        // Every id is shown exactly once, whichever copy came first.
        ASSERT_EQ(shown.size(), 80u) << "round " << round;
        EXPECT_EQ(std::set<uint32_t>(shown.begin(), shown.end()).size(), 80u) << "round " << round;
    }
}

TEST(StoreThreads, FirstUseFromTwoThreadsMakesOneStore) {
    std::atomic<CShowDataList*> seen{nullptr};
    std::thread other([&] { seen = CShowDataList::GetInstance(); });
    CShowDataList* mine = CShowDataList::GetInstance();
    other.join();
    EXPECT_EQ(seen.load(), mine);
    CShowDataList::DestroyInstance();
}

}  // namespace
