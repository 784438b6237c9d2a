#include "store/data_file_io.h"

#include <climits>
#include <string>

#include "platform/platform.h"

FilePtr OpenForReading(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    return FilePtr(platform::OpenShared(path, "rb"));
}

bool RemoveDataFile(const char* path) {
    platform::DeleteFileAt(path);
    return !platform::FileExists(path);
}

DataFileHeader ReadDataFileHeader(std::FILE* file) {
    DataFileHeader header{};
    ReadRecordAt(file, 0, &header, sizeof header);
    return header;
}

void ReadRecordAt(std::FILE* file, uint64_t offset, void* record, size_t size) {
    if (offset > uint64_t(LONG_MAX)) return;
    if (std::fseek(file, long(offset), SEEK_SET) != 0) return;
    (void)std::fread(record, 1, size, file);
}

bool ReplaceDataFile(const char* path, const DataFileHeader& header, const void* records, size_t bytes) {
    const std::string temp = std::string(path) + ".tmp";
    std::FILE* file = platform::OpenShared(temp.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(&header, 1, sizeof header, file) == sizeof header;
    if (ok && bytes != 0) ok = std::fwrite(records, 1, bytes, file) == bytes;
    if (ok) ok = std::fflush(file) == 0;
    if (std::fclose(file) != 0) ok = false;
    if (ok) ok = platform::ReplaceFileWith(temp.c_str(), path);
    if (!ok) platform::DeleteFileAt(temp.c_str());
    return ok;
}
