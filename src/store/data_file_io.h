// File plumbing shared by message.dat and messdisplay.dat.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>

#include "platform/owned.h"
#include "store/data_file_header.h"

// Reads a data file through an unbuffered stream, so each read goes
// straight into its record, and seeks only when a record does not start
// where the last read ended.
class RecordReader {
public:
    explicit RecordReader(const char* path);
    explicit operator bool() const { return static_cast<bool>(m_file); }

    // Reads up to size bytes at offset into record, which the caller zeroed;
    // a short read, or an offset beyond reach, leaves the rest as it was.
    void ReadAt(uint64_t offset, void* record, size_t size);

private:
    handles::CFile m_file;
    uint64_t m_position = 0;
};

// Deletes the file; true when it is gone afterwards.
bool RemoveDataFile(const char* path);

// The header at offset 0; a file shorter than a header leaves the rest zero.
DataFileHeader ReadDataFileHeader(RecordReader& reader);

// Offset of record i for the header's stride.
inline uint64_t RecordOffset(const DataFileHeader& header, int32_t i) {
    return sizeof(DataFileHeader) + uint64_t(uint32_t(i)) * header.nRecordSize;
}

// How much longer than the data file's own path the name of its temporary
// file is: a dot, eight hex digits and ".tmp".
constexpr size_t kTempNameExtra = 13;

// Writes header and records to a temporary file beside path, named uniquely
// so that two writers never share one, then puts it in path's place in one
// step, so a failed or interrupted save leaves the old file whole. When
// another program holds path open so that it cannot be replaced, the
// contents are written into it in place. True when path now holds the new
// contents.
bool ReplaceDataFile(const char* path, const DataFileHeader& header, const void* records, size_t bytes);

// Reads each record that the header announces, into a fresh zero-filled
// record, and hands it to handOff; nothing when the header is refused.
// Exceptions end the load quietly. Returns the number handed over.
template <typename Record, typename HeaderOk, typename HandOff>
int ForEachStoredRecord(const char* path, HeaderOk headerOk, HandOff handOff) {
    int handed = 0;
    try {
        RecordReader reader(path);
        if (!reader) return 0;
        const DataFileHeader header = ReadDataFileHeader(reader);
        if (!headerOk(header)) return 0;
        for (int32_t i = 0; i < header.nCount; ++i) {
            std::unique_ptr<Record> record(new Record());
            reader.ReadAt(RecordOffset(header, i), record.get(), sizeof(Record));
            handOff(std::move(record));
            ++handed;
        }
    } catch (...) {
        // What was handed over stays where it went.
    }
    return handed;
}

// Saves what the store holds: count() records are asked for, copy(array,
// count) fills them, keep(array, count) returns how many of the first ones
// go into the file. A store with nothing removes the file; a copy that ends
// up empty writes a header alone when emptyFileOk, else removes the file
// too. A failure keeps the old file. True when the file reflects the store.
template <typename Record, typename Count, typename Copy, typename Keep>
bool SaveStoredRecords(const char* path, Count count, Copy copy, Keep keep, bool emptyFileOk) {
    try {
        if (path == nullptr || path[0] == '\0') return false;
        int32_t n = count();
        if (n <= 0) return RemoveDataFile(path);
        std::unique_ptr<Record[]> records(new (std::nothrow) Record[size_t(n)]());
        if (!records) return false;
        copy(records.get(), n);
        n = keep(records.get(), n);
        if (n <= 0 && !emptyFileOk) return RemoveDataFile(path);
        DataFileHeader header{};
        header.nVersion = kDataFileVersion;
        header.nCount = n;
        header.nRecordSize = sizeof(Record);
        return ReplaceDataFile(path, header, records.get(), size_t(n) * sizeof(Record));
    } catch (...) {
        return false;
    }
}
