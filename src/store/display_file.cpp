#include "store/display_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "store/data_file_io.h"
#include "store/display_record.h"
#include "store/show_data_list.h"

namespace {

constexpr int32_t kMinDisplayFileVersion = 10;
constexpr int32_t kMaxDisplayFileVersion = 50;

// Which entries the 99-record file keeps first: those that still hold a tip
// back (a tip the store knows, which may be in message.dat; then an end time
// still ahead), then the rest, remembered longest first. An all-zero record
// only a short read makes, so it never crowds out a real entry.
int64_t KeepRank(const DisplayRecord& record, CShowDataList& store, int32_t now) {
    static const DisplayRecord kBlank{};
    if (std::memcmp(&record, &kBlank, sizeof record) == 0) return INT64_MAX;
    const int64_t remembered = record.tEndTime == 0 ? INT32_MAX : record.tEndTime;
    int64_t tier = 2;
    if (store.KnowsTip(record.nMessageID)) {
        tier = 0;
    } else if (record.tEndTime > now) {
        tier = 1;
    }
    // Within a tier, the longest remembered first.
    return tier * (int64_t(1) << 33) + (int64_t(INT32_MAX) - remembered);
}

// Keeps the entries ranked first, in ascending id order.
int32_t KeepHoldingBack(DisplayRecord* records, int32_t count, CShowDataList& store) {
    if (count <= kMaxDataFileRecords) return count;
    const int32_t now = platform::Now();
    std::vector<std::pair<int64_t, int32_t>> order;
    order.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) order.emplace_back(KeepRank(records[i], store, now), i);
    std::stable_sort(order.begin(), order.end());
    std::vector<DisplayRecord> kept;
    for (int32_t i = 0; i < kMaxDataFileRecords; ++i) kept.push_back(records[order[size_t(i)].second]);
    std::sort(kept.begin(), kept.end(),
              [](const DisplayRecord& a, const DisplayRecord& b) { return a.nMessageID < b.nMessageID; });
    std::copy(kept.begin(), kept.end(), records);
    return kMaxDataFileRecords;
}

}  // namespace

int LoadDisplayFile(const char* path, CShowDataList* store) {
    if (store == nullptr) return 0;
    return ForEachStoredRecord<DisplayRecord>(
        path,
        [](const DataFileHeader& h) {
            return h.nVersion >= kMinDisplayFileVersion && h.nVersion <= kMaxDisplayFileVersion && h.nCount > 0 &&
                   h.nCount <= kMaxDataFileRecords;
        },
        [store](std::unique_ptr<DisplayRecord> record) { store->AddDisplayData(record.release()); });
}

bool SaveDisplayFile(const char* path, CShowDataList* store) {
    if (store == nullptr) return false;
    // A header without records would be refused by the loader; no file says
    // the same.
    return SaveStoredRecords<DisplayRecord>(
        path, [store] { return store->GetDisplayDataCount(); },
        [store](DisplayRecord* records, int32_t& count) { store->GetAllDisplayData(records, count); },
        [store](DisplayRecord* records, int32_t count) { return KeepHoldingBack(records, count, *store); },
        false);
}
