#include "store/display_file.h"

#include <algorithm>
#include <memory>

#include "store/data_file_io.h"
#include "store/display_record.h"
#include "store/show_data_list.h"

namespace {

constexpr int32_t kMinDisplayFileVersion = 10;
constexpr int32_t kMaxDisplayFileVersion = 50;

// Entries that are remembered longer come first: never-expiring ones, then
// the latest end time.
bool RememberedLonger(const DisplayRecord& a, const DisplayRecord& b) {
    if ((a.tEndTime == 0) != (b.tEndTime == 0)) return a.tEndTime == 0;
    return a.tEndTime > b.tEndTime;
}

// Keeps the entries remembered longest, in ascending id order.
int32_t KeepLongestRemembered(DisplayRecord* records, int32_t count) {
    if (count <= kMaxDataFileRecords) return count;
    std::stable_sort(records, records + count, RememberedLonger);
    std::sort(records, records + kMaxDataFileRecords,
              [](const DisplayRecord& a, const DisplayRecord& b) { return a.nMessageID < b.nMessageID; });
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
        KeepLongestRemembered, false);
}
