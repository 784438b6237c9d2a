#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <share.h>

#include <new>

namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "lock storage too small");

static CRITICAL_SECTION* Section(unsigned char* storage) {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

Lock::Lock() { InitializeCriticalSection(Section(m_storage)); }
Lock::~Lock() { DeleteCriticalSection(Section(m_storage)); }
void Lock::Enter() { EnterCriticalSection(Section(m_storage)); }
void Lock::Leave() { LeaveCriticalSection(Section(m_storage)); }

void SystemDebugLine(const char* text) { OutputDebugStringA(text); }

// The system time without the C runtime's time-zone work, which costs far
// more per call under some hosts; the same whole seconds since 1970 UTC.
int32_t SystemNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    constexpr uint64_t kTicksPerSecond = 10000000;
    constexpr uint64_t k1970 = 116444736000000000;  // 1601 to 1970 in 100 ns ticks
    return static_cast<int32_t>((ticks - k1970) / kTicksPerSecond);
}

bool DeleteFileAt(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    return DeleteFileA(path) != 0;
}

bool FileExists(const char* path) {
    if (path == nullptr) return false;
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::FILE* OpenShared(const char* path, const char* mode) {
    return _fsopen(path, mode, _SH_DENYNO);
}

std::FILE* CreateNewShared(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // From here the descriptor, then the stream, owns the handle.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, "wb");
    if (stream == nullptr) _close(descriptor);
    return stream;
}

bool ReplaceFileWith(const char* source, const char* target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace platform
