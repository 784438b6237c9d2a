#include "platform/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <new>

namespace platform {

static_assert(sizeof(std::mutex) <= 64, "lock storage too small");

static std::mutex* Mutex(unsigned char* storage) {
    return std::launder(reinterpret_cast<std::mutex*>(storage));
}

Lock::Lock() { new (m_storage) std::mutex(); }
Lock::~Lock() { Mutex(m_storage)->~mutex(); }
void Lock::Enter() { Mutex(m_storage)->lock(); }
void Lock::Leave() { Mutex(m_storage)->unlock(); }

// Natively the diagnostic lines are silent unless a test installs a sink.
void SystemDebugLine(const char*) {}

int32_t SystemNow() { return static_cast<int32_t>(std::time(nullptr)); }

bool DeleteFileAt(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    return ::unlink(path) == 0;
}

bool FileExists(const char* path) {
    if (path == nullptr) return false;
    struct stat st;
    return ::stat(path, &st) == 0;
}

std::FILE* OpenShared(const char* path, const char* mode) { return std::fopen(path, mode); }

std::FILE* CreateNewShared(const char* path) { return std::fopen(path, "wbx"); }

bool ReplaceFileWith(const char* source, const char* target) {
    return std::rename(source, target) == 0;
}

}  // namespace platform
