#include "store/tip_file.h"

#include <algorithm>
#include <memory>

#include "protocol/tip_record.h"
#include "store/data_file_io.h"
#include "store/show_data_list.h"

int LoadTipFile(const char* path, CShowDataList* store) {
    if (store == nullptr) return 0;
    return ForEachStoredRecord<TipRecord>(
        path,
        [](const DataFileHeader& h) {
            return h.nVersion == kDataFileVersion && h.nCount >= 0 && h.nCount <= kMaxDataFileRecords;
        },
        [store](std::unique_ptr<TipRecord> tip) {
            // A tip saved before its picture arrived waits for it again.
            if (tip->bPicReady != 0) {
                store->AddOneShowData(tip.release());
            } else {
                store->AddWaitPicData(tip.release());
            }
        });
}

bool SaveTipFile(const char* path, CShowDataList* store) {
    if (store == nullptr) return false;
    return SaveStoredRecords<TipRecord>(
        path, [store] { return store->GetShowDataCount(); },
        [store](TipRecord* tips, int32_t& count) {
            // The loader takes no more than 99: those the panel would get
            // first, leaving out any that could never be shown.
            count = std::min(count, kMaxDataFileRecords);
            store->GetShowableData(tips, count);
        },
        [](TipRecord* tips, int32_t count) {
            std::sort(tips, tips + count,
                      [](const TipRecord& a, const TipRecord& b) { return a.nMessageID < b.nMessageID; });
            return count;
        },
        true);
}
