#include "store/show_data_list.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "store/picture_path.h"

namespace {

platform::Lock& InstanceLock() {
    static platform::Lock lock;
    return lock;
}
std::shared_ptr<CShowDataList> g_instance;

bool InsideWindow(const TipRecord& tip, int32_t now) { return tip.tBeginTime <= now && now <= tip.tEndTime; }

bool Acceptable(const TipRecord& tip) {
    return tip.nButtonCount <= kMaxTipButtons && tip.tBeginTime <= tip.tEndTime && tip.nShowSeconds <= 1000 &&
           tip.byVersion == kTipRecordVersion;
}

std::unique_ptr<DisplayRecord> HistoryEntryFor(const TipRecord& tip, int32_t endTime, uint32_t picReady) {
    auto record = NewDisplayRecord();
    record->nMessageID = tip.nMessageID;
    record->tEndTime = endTime;
    record->bPicReady = picReady;
    SetFieldText(record->szPicture, FieldText(tip.szPicture));
    return record;
}

const TipRecord* Held(const TipRecord* tip) { return tip; }
const DisplayRecord* Held(const std::unique_ptr<DisplayRecord>& record) { return record.get(); }

// Copies the records a map still holds, in key order, at most capacity.
template <typename Map, typename Record>
int32_t CopyHeld(const Map& map, Record* array, int32_t capacity) {
    if (array == nullptr) return 0;
    int32_t copied = 0;
    for (const auto& entry : map) {
        if (copied >= capacity) break;
        const Record* held = Held(entry.second);
        if (held != nullptr) std::memcpy(&array[copied++], held, sizeof(Record));
    }
    return copied;
}

int32_t ClampedCount(size_t n) {
    return n > size_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max() : int32_t(n);
}

}  // namespace

CShowDataList::CShowDataList() = default;

CShowDataList::~CShowDataList() { FreeAll(); }

CShowDataList* CShowDataList::GetInstance() { return SharedInstance().get(); }

std::shared_ptr<CShowDataList> CShowDataList::SharedInstance() {
    platform::LockGuard guard(InstanceLock());
    if (!g_instance) {
        try {
            g_instance = std::make_shared<CShowDataList>();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return g_instance;
}

int CShowDataList::DestroyInstance() {
    std::shared_ptr<CShowDataList> store;
    {
        platform::LockGuard guard(InstanceLock());
        store.swap(g_instance);
    }
    // Freed here, outside the instance lock, unless another owner holds it.
    return 1;
}

void CShowDataList::SetPictureFolder(const char* tipsFolder) {
    platform::LockGuard guard(m_lock);
    m_pictureFolder = tipsFolder != nullptr ? tipsFolder : "";
}

bool CShowDataList::IsOwnPicture(const std::string& path) {
    platform::LockGuard guard(m_lock);
    return IsPictureInFolder(m_pictureFolder, path);
}

int CShowDataList::AddOneShowData(TipRecord* tip) {
    platform::DebugLine("CShowDataList::AddOneShowData");
    std::unique_ptr<TipRecord> owned(tip);
    if (tip == nullptr) return 0;
    platform::LockGuard guard(m_lock);
    if (!Acceptable(*tip)) return 0;

    const bool showFirst = tip->byShowFirst == 1;
    const uint32_t id = tip->nMessageID;
    const int32_t now = platform::Now();
    bool queued = false;
    if (InsideWindow(*tip, now)) {
        if (m_knownTips.find(id) == m_knownTips.end()) {
            m_knownTips[id] = tip;
            queued = true;
        } else {
            platform::DebugLine("AddOneShowData but data exist");
        }
    }

    // A zero time ends the tip: its id goes into the history for good, and
    // a queued tip of that id will time out when it is next met.
    if (tip->tBeginTime == 0 || tip->tEndTime == 0) {
        AddDisplayDataLocked(HistoryEntryFor(*tip, tip->tEndTime, 1), now);
        auto known = m_knownTips.find(id);
        if (known != m_knownTips.end() && known->second != nullptr) known->second->tEndTime = 0;
    }

    if (queued) {
        if (showFirst) {
            m_slideQueue.push_front(owned.release());
        } else {
            m_slideQueue.push_back(owned.release());
        }
        platform::DebugLine("CShowDataList::AddOneShowData Add Success");
    }
    platform::DebugLine("CShowDataList AddOneShowData");
    return queued ? 1 : 0;
}

int CShowDataList::AddWaitPicData(TipRecord* tip) {
    std::unique_ptr<TipRecord> owned(tip);
    if (tip == nullptr) return 1;
    platform::LockGuard guard(m_lock);
    if (InsideWindow(*tip, platform::Now()) && m_knownTips.find(tip->nMessageID) == m_knownTips.end()) {
        m_pictureQueue.push_back(owned.release());
    }
    return 1;
}

TipRecord* CShowDataList::GetWaitPicData() {
    platform::LockGuard guard(m_lock);
    if (m_pictureQueue.empty()) return nullptr;
    TipRecord* tip = m_pictureQueue.front();
    m_pictureQueue.pop_front();
    return tip;
}

TipRecord* CShowDataList::GetOneShowData(int32_t flag) {
    platform::LockGuard guard(m_lock);
    TipQueue& queue = flag != 0 ? m_slideQueue : m_staticQueue;
    while (!queue.empty()) {
        std::unique_ptr<TipRecord> tip(queue.front());
        queue.pop_front();
        // The id stays known, but no longer refers to a record.
        auto known = m_knownTips.find(tip->nMessageID);
        if (known != m_knownTips.end() && known->second == tip.get()) known->second = nullptr;

        const int32_t now = platform::Now();
        if (now > tip->tEndTime || now < tip->tBeginTime) {
            DeletePicture(tip->szPicture);
            platform::DebugLine("GetOneShowData but time out");
            continue;
        }
        if (m_history.find(tip->nMessageID) != m_history.end()) {
            platform::DebugLine("GetOneShowData show again");
            continue;
        }
        if (FieldEmpty(tip->szPicture) && FieldEmpty(tip->szText)) {
            platform::DebugLine("delete data for pic data null");
            continue;
        }
        if (!FieldEmpty(tip->szPicture) && !platform::FileExists(FieldText(tip->szPicture).c_str())) {
            std::memset(tip->szPicture, 0, sizeof tip->szPicture);
        }
        m_history[tip->nMessageID] = HistoryEntryFor(*tip, tip->tEndTime, tip->bPicReady);
        return tip.release();
    }
    return nullptr;
}

int CShowDataList::AddDisplayData(DisplayRecord* record) {
    std::unique_ptr<DisplayRecord> owned(record);
    if (record == nullptr) return 0;
    platform::LockGuard guard(m_lock);
    return AddDisplayDataLocked(std::move(owned), platform::Now());
}

int CShowDataList::AddDisplayDataLocked(std::unique_ptr<DisplayRecord> record, int32_t now) {
    if (record->tEndTime != 0 && now > record->tEndTime) {
        DeletePicture(record->szPicture);
        return 0;
    }
    if (m_history.find(record->nMessageID) != m_history.end()) {
        DeletePicture(record->szPicture);
        return 0;
    }
    const uint32_t id = record->nMessageID;
    m_history.emplace(id, std::move(record));
    return 1;
}

int32_t CShowDataList::GetShowDataCount() {
    platform::LockGuard guard(m_lock);
    return ClampedCount(m_knownTips.size());
}

int CShowDataList::GetAllShowData(TipRecord* array, int32_t& count) {
    platform::LockGuard guard(m_lock);
    count = CopyHeld(m_knownTips, array, count);
    return 1;
}

int CShowDataList::GetShowableData(TipRecord* array, int32_t& count) {
    platform::LockGuard guard(m_lock);
    const int32_t now = platform::Now();
    int32_t copied = 0;
    for (const TipRecord* tip : m_slideQueue) {
        if (array == nullptr || copied >= count) break;
        const bool showable = tip->tEndTime != 0 && tip->tBeginTime <= tip->tEndTime && now <= tip->tEndTime &&
                              m_history.find(tip->nMessageID) == m_history.end();
        if (showable) std::memcpy(&array[copied++], tip, sizeof(TipRecord));
    }
    count = copied;
    return 1;
}

bool CShowDataList::KnowsTip(uint32_t id) {
    platform::LockGuard guard(m_lock);
    return m_knownTips.find(id) != m_knownTips.end();
}

int32_t CShowDataList::GetDisplayDataCount() {
    platform::LockGuard guard(m_lock);
    return ClampedCount(m_history.size());
}

int CShowDataList::GetAllDisplayData(DisplayRecord* array, int32_t& count) {
    platform::LockGuard guard(m_lock);
    count = CopyHeld(m_history, array, count);
    return 1;
}

void CShowDataList::DeletePicture(const char (&path)[1024]) const {
    if (FieldEmpty(path)) return;
    const std::string file = FieldText(path);
    if (!IsPictureInFolder(m_pictureFolder, file)) return;
    platform::DeleteFileAt(file.c_str());
}

void CShowDataList::FreeAll() {
    m_history.clear();
    for (TipQueue* queue : {&m_slideQueue, &m_staticQueue, &m_pictureQueue}) {
        for (TipRecord* tip : *queue) delete tip;
        queue->clear();
    }
    m_knownTips.clear();
}
