// The real tiprelay.dll, loaded the way a host loads it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "tiprelay.h"

class DllUnderTest {
  public:
    // Loads tiprelay.dll from the test program's folder, or `path`.
    explicit DllUnderTest(const std::string& path = std::string());

    bool Loaded() const { return static_cast<bool>(module_); }
    FARPROC Export(const char* name) const { return GetProcAddress(module_.get(), name); }

    int32_t msg_init() const { return reinterpret_cast<decltype(&::msg_init)>(Export("msg_init"))(0); }
    int32_t msg_exit() const { return reinterpret_cast<decltype(&::msg_exit)>(Export("msg_exit"))(); }
    int32_t set_username(const std::string& s, int32_t n) const {
        return reinterpret_cast<decltype(&::set_username)>(Export("set_username"))(s.c_str(), n, 0);
    }
    int32_t set_clinettype(const std::string& s, int32_t n) const {
        return reinterpret_cast<decltype(&::set_clinettype)>(Export("set_clinettype"))(s.c_str(), n, 0);
    }

  private:
    handles::Module module_;
};

// Pumps the calling thread's messages for `ms` milliseconds, as a host's
// message loop would; or until `done`, for at most `ms`.
void PumpMessages(DWORD ms);
template <typename Condition>
bool PumpUntil(Condition done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); PumpMessages(10))
        if (GetTickCount() - start > ms) return false;
    return true;
}

// Threads of this process now (Toolhelp snapshot); those whose start address lies in `module`.
int CountThreads();
int CountThreadsStartedIn(HMODULE module);
