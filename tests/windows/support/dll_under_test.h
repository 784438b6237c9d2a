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
    DllUnderTest(const DllUnderTest&) = delete;
    DllUnderTest& operator=(const DllUnderTest&) = delete;

    bool Loaded() const { return static_cast<bool>(module_); }
    FARPROC Export(const char* name) const { return GetProcAddress(module_.get(), name); }

    int32_t msg_init() const { return Find<decltype(&::msg_init)>("msg_init")(0); }
    int32_t msg_exit() const { return Find<decltype(&::msg_exit)>("msg_exit")(); }
    int32_t set_username(const std::string& s, int32_t n) const {
        return Find<decltype(&::set_username)>("set_username")(s.c_str(), n, 0);
    }
    int32_t set_clinettype(const std::string& s, int32_t n) const {
        return Find<decltype(&::set_clinettype)>("set_clinettype")(s.c_str(), n, 0);
    }

private:
    template <typename Fn>
    Fn Find(const char* name) const {
        return reinterpret_cast<Fn>(Export(name));
    }
    handles::Module module_;
};

// Pumps the calling thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);

// Threads of this process now (Toolhelp snapshot).
int CountThreads();
