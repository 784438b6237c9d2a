// The thin seam between the portable core and the operating system.
// protocol/ and store/ reach the system only through this header, so the
// core also builds and runs natively under the sanitizers and fuzzers.
#pragma once

#include <cstdint>
#include <cstdio>

namespace platform {

// A non-recursive lock: a critical section on Windows, a mutex natively.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void Enter();
    void Leave();

private:
    alignas(8) unsigned char m_storage[64];
};

// Scoped holder of a Lock.
class LockGuard {
public:
    explicit LockGuard(Lock& lock) : m_lock(lock) { m_lock.Enter(); }
    ~LockGuard() { m_lock.Leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock& m_lock;
};

// One line of diagnostic output (OutputDebugStringA on Windows).
void DebugLine(const char* text);

// Deletes a file; the outcome is reported but callers may ignore it.
bool DeleteFileAt(const char* path);

// True unless the file's attributes cannot be read.
bool FileExists(const char* path);

// Opens a file shared for reading and writing by others ("rb", "wb").
std::FILE* OpenShared(const char* path, const char* mode);

// Creates a file for writing, shared like OpenShared; null when a file of
// that name already exists or none can be made.
std::FILE* CreateNewShared(const char* path);

// Replaces `target` by `source` in one step (same folder); false on failure,
// in which case `target` is untouched.
bool ReplaceFileWith(const char* source, const char* target);

// Seconds since 1970-01-01 UTC as a signed 32-bit value, like time().
int32_t Now();

// Test seams. A null argument restores the real clock / sink.
using ClockFn = int32_t (*)();
using LineSinkFn = void (*)(const char* text);
void SetClockForTest(ClockFn clock);
void SetLineSinkForTest(LineSinkFn sink);

}  // namespace platform
