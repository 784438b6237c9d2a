// One entry of the display history: a tip that was handed out (or ended by a
// zero-time tip). The bytes in memory are the bytes in messdisplay.dat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#pragma pack(push, 1)

struct DisplayRecord {
    uint32_t nMessageID;
    int32_t tEndTime;  // 0: remembered for ever
    uint32_t bPicReady;
    char szPicture[1024];
};

#pragma pack(pop)

static_assert(sizeof(DisplayRecord) == 1036, "DisplayRecord is 1036 bytes");
static_assert(offsetof(DisplayRecord, nMessageID) == 0, "DisplayRecord layout");
static_assert(offsetof(DisplayRecord, tEndTime) == 4, "DisplayRecord layout");
static_assert(offsetof(DisplayRecord, bPicReady) == 8, "DisplayRecord layout");
static_assert(offsetof(DisplayRecord, szPicture) == 12, "DisplayRecord layout");

// Zero-filled in every byte.
inline std::unique_ptr<DisplayRecord> NewDisplayRecord() {
    return std::unique_ptr<DisplayRecord>(new DisplayRecord());
}
