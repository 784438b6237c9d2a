#include <windows.h>

#include "preview_fetch.h"

#include <vector>

#include "platform/platform.h"
#include "service/data_service.h"
#include "store/show_data_list.h"

namespace {

int32_t g_moment = 0;
int32_t MomentClock() { return g_moment; }

// The worker waits for this thread's message loop before it queries.
void RunMessagesUntilReady(const CDataService& service, DWORD boundMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < boundMs) {
        CShowDataList* store = service.Store();
        if (store == nullptr || store->IsReady()) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::unique_ptr<TipRecord> HeldTip(CShowDataList* store, uint32_t messageId) {
    if (store == nullptr) return nullptr;
    int32_t count = store->GetShowDataCount();
    std::vector<TipRecord> tips(static_cast<size_t>(count));
    store->GetAllShowData(tips.data(), count);
    for (int32_t i = 0; i < count; ++i) {
        if (tips[i].nMessageID != messageId) continue;
        auto tip = NewTipRecord();
        *tip = tips[i];
        return tip;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<TipRecord> FetchTip(uint32_t messageId, int32_t moment, DWORD boundMs) {
    g_moment = moment;
    platform::SetClockForTest(&MomentClock);
    CDataService service;
    // Set before the start: a run for one message ID neither loads nor
    // writes the data files beside this program.
    service.SetMessageID(messageId);
    std::unique_ptr<TipRecord> tip;
    if (service.Start() == 1) {
        RunMessagesUntilReady(service, boundMs);
        tip = HeldTip(service.Store(), messageId);
    }
    service.Stop();
    platform::SetClockForTest(nullptr);
    return tip;
}
