#include "service/picture_pass.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
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

void LogFailure(uint32_t messageId, const std::string& reason) {
    platform::DebugLine(("DataService picture download failed: tip " + std::to_string(static_cast<int32_t>(messageId)) +
                         ": " + reason)
                            .c_str());
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
    // A server that missed a picture's deadline gets no more time in this
    // pass: one slow server holds the tips back once, not once per picture.
    std::set<std::string> slowServers;
    while (TipRecord* taken = TakeWaitingTip(store, stop)) {
        std::unique_ptr<TipRecord> tip(taken);
        const bool stopping = stop != nullptr && stop->Requested();
        if (!stopping) {
            char localPath[260];
            const std::string address = FieldText(tip->szPicture);
            const std::string server = PictureServer(address);
            const bool named = PictureFileName(tipsFolder, tip->nMessageID, localPath) && FetchableOrLogged(address);
            const bool skipped = named && slowServers.count(server) != 0;
            std::string reason = skipped ? "its server missed an earlier deadline" : "failed";
            platform::DebugLine("DataService picture download begin");
            const int ok = named && !skipped && platform::Contain("picture download", 0, [&] {
                return DownloadPicture(address, localPath, stop, &reason);
            });
            platform::DebugLine("DataService picture download finish");
            // An address that is not fetched has had its line already.
            if (ok != 1 && named) LogFailure(tip->nMessageID, reason);
            if (ok != 1 && reason.rfind(kMissedDeadline, 0) == 0) slowServers.insert(server);
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
