#include "store/tip_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "protocol/tip_record.h"
#include "store/data_file_io.h"
#include "store/show_data_list.h"

namespace {

// The panel opens a ready tip's picture on every paint: a path from the file
// that leads anywhere but the tips folder (another drive, a share, a device)
// is not opened; the tip shows without a picture.
void DropForeignPicture(TipRecord& tip, CShowDataList* store) {
    if (FieldEmpty(tip.szPicture)) return;
    const std::string picture = FieldText(tip.szPicture);
    if (store->IsOwnPicture(picture)) return;
    platform::DebugLine("LoadTipFile picture outside the tips folder dropped:");
    platform::DebugLine(picture.c_str());
    std::memset(tip.szPicture, 0, sizeof tip.szPicture);
}

}  // namespace

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
                DropForeignPicture(*tip, store);
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
