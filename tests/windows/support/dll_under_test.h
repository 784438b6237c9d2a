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
    using IntFn = int32_t(__stdcall*)(int32_t);

    // Loads tiprelay.dll from the test program's folder, or `path`.
    explicit DllUnderTest(const std::string& path = std::string());
    ~DllUnderTest();
    DllUnderTest(const DllUnderTest&) = delete;
    DllUnderTest& operator=(const DllUnderTest&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    FARPROC Export(const char* name) const;

    int32_t msg_init() const { return init_(0); }
    int32_t msg_exit() const { return exit_(); }
    int32_t set_username(const std::string& s, int32_t n) const { return user_(s.c_str(), n, 0); }
    int32_t set_clinettype(const std::string& s, int32_t n) const { return type_(s.c_str(), n, 0); }
    int32_t SetMessageID(int32_t id) const { return message_(id); }

private:
    HMODULE module_ = nullptr;
    InitFn init_ = nullptr;
    ExitFn exit_ = nullptr;
    TextFn user_ = nullptr;
    TextFn type_ = nullptr;
    IntFn message_ = nullptr;
};

// Pumps the calling thread's messages for `ms` milliseconds.
void PumpMessages(DWORD ms);

// Threads of this process now (Toolhelp snapshot).
int CountThreads();
