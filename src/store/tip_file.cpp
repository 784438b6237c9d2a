#include "store/tip_file.h"

#include <cstring>
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
        [store](TipRecord* tips, int32_t& count) { store->GetAllShowData(tips, count); },
        [](TipRecord* tips, int32_t count) {
            // The copy ascends by id; the loader takes no more than 99, so
            // keep the newest tips.
            if (count <= kMaxDataFileRecords) return count;
            std::memmove(tips, tips + (count - kMaxDataFileRecords), kMaxDataFileRecords * sizeof(TipRecord));
            return kMaxDataFileRecords;
        },
        true);
}
