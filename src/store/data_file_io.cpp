#include "store/data_file_io.h"

#include <atomic>
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

namespace {

// Enough tries to step past the leftovers of interrupted saves and the
// temporary files of other writers at the same moment.
constexpr int kTempNameTries = 64;

// Creates a temporary file beside path that no other writer has; its name
// goes to temp.
std::FILE* CreateTempBeside(const char* path, std::string* temp) {
    static std::atomic<uint32_t> next{static_cast<uint32_t>(platform::Now())};
    for (int i = 0; i < kTempNameTries; ++i) {
        char suffix[kTempNameExtra + 1];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(next.fetch_add(1)));
        *temp = std::string(path) + suffix;
        if (std::FILE* file = platform::CreateNewShared(temp->c_str())) return file;
        if (!platform::FileExists(temp->c_str())) break;  // not a name clash: the folder refuses
    }
    temp->clear();  // the name last tried may be another writer's file
    return nullptr;
}

// Writes header and records into file and closes it; true when every byte
// reached the file.
bool WriteAndClose(std::FILE* file, const DataFileHeader& header, const void* records, size_t bytes) {
    if (file == nullptr) return false;
    bool ok = std::fwrite(&header, 1, sizeof header, file) == sizeof header;
    if (ok && bytes != 0) ok = std::fwrite(records, 1, bytes, file) == bytes;
    if (ok) ok = std::fflush(file) == 0;
    if (std::fclose(file) != 0) ok = false;
    return ok;
}

}  // namespace

bool ReplaceDataFile(const char* path, const DataFileHeader& header, const void* records, size_t bytes) {
    std::string temp;
    if (!WriteAndClose(CreateTempBeside(path, &temp), header, records, bytes)) {
        if (!temp.empty()) platform::DeleteFileAt(temp.c_str());
        return false;
    }
    if (platform::ReplaceFileWith(temp.c_str(), path)) return true;
    platform::DeleteFileAt(temp.c_str());
    // A program that holds the file open without delete sharing (a scanner,
    // a backup, a second host) stops the replace, not a write in place.
    return WriteAndClose(platform::OpenShared(path, "wb"), header, records, bytes);
}
