#include "store/data_file_io.h"

#include <climits>
#include <string>

#include "platform/platform.h"

RecordReader::RecordReader(const char* path) {
    if (path == nullptr || path[0] == '\0') return;
    m_file.reset(platform::OpenShared(path, "rb"));
    if (m_file && std::setvbuf(m_file.get(), nullptr, _IONBF, 0) != 0) m_file.reset();
}

void RecordReader::ReadAt(uint64_t offset, void* record, size_t size) {
    if (offset != m_position) {
        m_position = UINT64_MAX;  // unknown until a seek succeeds
        if (offset > uint64_t(LONG_MAX)) return;
        if (std::fseek(m_file.get(), long(offset), SEEK_SET) != 0) return;
    }
    const size_t got = std::fread(record, 1, size, m_file.get());
    m_position = got == size ? offset + size : UINT64_MAX;
}

bool RemoveDataFile(const char* path) {
    platform::DeleteFileAt(path);
    return !platform::FileExists(path);
}

DataFileHeader ReadDataFileHeader(RecordReader& reader) {
    DataFileHeader header{};
    reader.ReadAt(0, &header, sizeof header);
    return header;
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
