#include "service/picture_pass.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/edge.h"
#include "platform/platform.h"
#include "protocol/fetchable_address.h"
#include "protocol/tip_record.h"
#include "service/http_download.h"
#include "service/worker_stop.h"
#include "store/show_data_list.h"

bool PictureFileName(const char* tipsFolder, uint32_t messageId, char (&name)[260]) {
    const int length = std::snprintf(name, sizeof name, "%s%ld.gif", tipsFolder,
                                     static_cast<long>(static_cast<int32_t>(messageId)));
    return length > 0 && static_cast<size_t>(length) < sizeof name;
}

namespace {

// Takes the next waiting tip; null when the queue is empty or the stop has
// given up on the worker.
TipRecord* TakeWaitingTip(CShowDataList* store, CWorkerStop* stop) {
    CGateHold gate(stop);
    return gate.held() ? store->GetWaitPicData() : nullptr;
}

// Only http and https are fetched; the tip of any other address shows
// without its picture.
bool FetchableOrLogged(const std::string& address) {
    if (IsFetchableAddress(address)) return true;
    platform::DebugLine("DataService picture address is not http or https:");
    platform::DebugLine(address.c_str());
    return false;
}

bool HandOn(CShowDataList* store, TipRecord* tip, CWorkerStop* stop) {
    CGateHold gate(stop);
    if (!gate.held()) {
        delete tip;
        return false;
    }
    store->AddOneShowData(tip);
    return true;
}

}  // namespace

int RunPicturePass(CShowDataList* store, const char* tipsFolder, CWorkerStop* stop) {
    while (TipRecord* taken = TakeWaitingTip(store, stop)) {
        std::unique_ptr<TipRecord> tip(taken);
        const bool stopping = stop != nullptr && stop->Requested();
        if (!stopping) {
            char localPath[260];
            const bool named = PictureFileName(tipsFolder, tip->nMessageID, localPath) &&
                               FetchableOrLogged(FieldText(tip->szPicture));
            platform::DebugLine("DataService picture download begin");
            const int ok = platform::Contain("picture download", 0, [&] {
                return named ? DownloadPicture(FieldText(tip->szPicture), localPath, stop) : 0;
            });
            platform::DebugLine("DataService picture download finish");
            // A download that the stop cut short keeps its address for later.
            if (ok == 1 || stop == nullptr || !stop->Requested()) {
                std::memset(tip->szPicture, 0, sizeof tip->szPicture);
                if (ok == 1) {
                    SetFieldText(tip->szPicture, localPath);
                    platform::DebugLine("DataService picture download success");
                }
                tip->bPicReady = 1;
            }
        }
        if (!HandOn(store, tip.release(), stop)) break;
    }
    return 1;
}
