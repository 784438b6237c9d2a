#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "core_test_support.h"
#include "protocol/resp_new_mess.h"
#include "store/display_file.h"
#include "store/tip_file.h"

namespace {

using namespace coretest;

class StoreThreads : public StoreFixture {};

// The worker thread (decoder, picture pass, tip file save, ready flag) and
// the UI thread (file load, panel polls, history save) meet only in the
// store; under ThreadSanitizer their calls interleave safely. The server
// sends ids 1..60, every other one with a picture; an earlier run left ids
// 41..80. Every id is shown exactly once, whichever copy came first.
TEST_F(StoreThreads, WorkerAndPanelCallsInterleave) {
    std::vector<std::unique_ptr<TipRecord>> sent;
    std::vector<const TipRecord*> tips;
    CShowDataList earlier;
    for (uint32_t id = 1; id <= 80; ++id) {
        if (id > 40) earlier.AddOneShowData(MakeTip(id, kNow - 5, kNow + 500).release());
        if (id > 60) continue;
        sent.push_back(MakeTip(id, kNow - 5, kNow + 500));
        if (id % 2 == 0) SetFieldText(sent.back()->szPicture, "http://pictures/" + std::to_string(id));
        tips.push_back(sent.back().get());
    }
    const std::string tipFile = folder_.File("message.dat");
    ASSERT_TRUE(SaveTipFile(tipFile.c_str(), &earlier));
    const auto packet = wire::Packet("RESPNEWMESS", wire::ResponseBody(1, tips, 5));
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
            const std::vector<uint32_t> more = DrainSlideQueue(store);
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

TEST_F(StoreThreads, FirstUseFromTwoThreadsMakesOneStore) {
    CShowDataList* seen = nullptr;
    std::thread other([&] { seen = CShowDataList::GetInstance(); });
    CShowDataList* mine = CShowDataList::GetInstance();
    other.join();
    EXPECT_EQ(seen, mine);
    CShowDataList::DestroyInstance();
}

}  // namespace
