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
    const std::string tipFile = folder.File("message.dat");
    const std::string historyFile = folder.File("messdisplay.dat");
    const std::string savedFile = folder.File("saved-message.dat");

    // The server sends ids 1..60, every other one with a picture address.
    std::vector<std::unique_ptr<TipRecord>> sent;
    std::vector<const TipRecord*> tips;
    for (uint32_t id = 1; id <= 60; ++id) {
        sent.push_back(coretest::MakeTip(id, kNow - 5, kNow + 500));
        if (id % 2 == 0) SetFieldText(sent.back()->szPicture, "http://pictures/" + std::to_string(id));
        tips.push_back(sent.back().get());
    }
    const auto packet = coretest::Packet("RESPNEWMESS", coretest::ResponseBody(1, tips, 5));

    for (int round = 0; round < 20; ++round) {
        // Left from an earlier run: ids 41..80.
        {
            CShowDataList earlier;
            for (uint32_t id = 41; id <= 80; ++id) {
                earlier.AddOneShowData(coretest::MakeTip(id, kNow - 5, kNow + 500).release());
            }
            ASSERT_TRUE(SaveTipFile(tipFile.c_str(), &earlier));
            std::filesystem::remove(historyFile);
        }

        CShowDataList store;
        store.SetPictureFolder(folder.Folder().c_str());
        // The worker saves to a file of its own: this test is about the
        // store, and a save that beats the load to the same file would
        // hand the load the worker's tips instead of the earlier run's.
        std::thread worker(WorkerCycle, &store, std::cref(packet), std::cref(savedFile), folder.Folder());

        LoadTipFile(tipFile.c_str(), &store);
        LoadDisplayFile(historyFile.c_str(), &store);
        std::multiset<uint32_t> shown;
        for (;;) {
            const bool ready = store.IsReady() != 0;  // read before polling, as the panel does
            EXPECT_EQ(store.GetOneShowData(0), nullptr);
            TipRecord* tip = store.GetOneShowData(1);
            if (tip != nullptr) {
                shown.insert(tip->nMessageID);
                delete tip;
            } else if (ready) {
                break;
            }
            store.GetDisplayDataCount();
        }
        worker.join();
        SaveDisplayFile(historyFile.c_str(), &store);

        // Every id is shown exactly once, whichever copy came first.
        ASSERT_EQ(shown.size(), 80u) << "round " << round;
        EXPECT_EQ(std::set<uint32_t>(shown.begin(), shown.end()).size(), 80u) << "round " << round;
        EXPECT_EQ(store.GetDisplayDataCount(), 80);
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
