// The 20-byte header of message.dat and messdisplay.dat, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct DataFileHeader {
    int32_t nVersion;
    int32_t nCount;
    uint32_t nRecordSize;
    uint32_t nReserved1;
    uint32_t nReserved2;
};

#pragma pack(pop)

static_assert(sizeof(DataFileHeader) == 20, "DataFileHeader is 20 bytes");
static_assert(offsetof(DataFileHeader, nVersion) == 0, "DataFileHeader layout");
static_assert(offsetof(DataFileHeader, nCount) == 4, "DataFileHeader layout");
static_assert(offsetof(DataFileHeader, nRecordSize) == 8, "DataFileHeader layout");
static_assert(offsetof(DataFileHeader, nReserved1) == 12, "DataFileHeader layout");
static_assert(offsetof(DataFileHeader, nReserved2) == 16, "DataFileHeader layout");

constexpr int32_t kDataFileVersion = 11;
// The loaders refuse a count of 100 or more, so no save writes more than this.
constexpr int32_t kMaxDataFileRecords = 99;
