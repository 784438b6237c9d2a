// The real tiprelay.dll, loaded the way a host loads it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class DllUnderTest {
public:
    using InitFn = int32_t(__stdcall*)(int32_t);
    using ExitFn = int32_t(__stdcall*)();
    using TextFn = int32_t(__stdcall*)(const char*, int32_t, int32_t);

    // Loads tiprelay.dll from the test program's folder, or `path`.
    explicit DllUnderTest(const std::string& path = std::string());
    ~DllUnderTest() { if (module_ != nullptr) FreeLibrary(module_); }
    DllUnderTest(const DllUnderTest&) = delete;
    DllUnderTest& operator=(const DllUnderTest&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    FARPROC Export(const char* name) const { return GetProcAddress(module_, name); }

    int32_t msg_init() const { return reinterpret_cast<InitFn>(Export("msg_init"))(0); }
    int32_t msg_exit() const { return reinterpret_cast<ExitFn>(Export("msg_exit"))(); }
    int32_t set_username(const std::string& s, int32_t n) const { return Text("set_username", s, n); }
    int32_t set_clinettype(const std::string& s, int32_t n) const { return Text("set_clinettype", s, n); }

private:
    int32_t Text(const char* name, const std::string& s, int32_t n) const {
        return reinterpret_cast<TextFn>(Export(name))(s.c_str(), n, 0);
    }
    HMODULE module_ = nullptr;
};

// Pumps the calling thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);

// Threads of this process now (Toolhelp snapshot).
int CountThreads();
