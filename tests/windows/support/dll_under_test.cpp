#include "support/dll_under_test.h"

#include <tlhelp32.h>

#include "support/host_folder.h"

DllUnderTest::DllUnderTest(const std::string& path) {
    const std::string file = path.empty() ? HostFile("tiprelay.dll") : path;
    module_ = LoadLibraryA(file.c_str());
    if (module_ == nullptr) return;
    init_ = reinterpret_cast<InitFn>(Export("msg_init"));
    exit_ = reinterpret_cast<ExitFn>(Export("msg_exit"));
    user_ = reinterpret_cast<TextFn>(Export("set_username"));
    type_ = reinterpret_cast<TextFn>(Export("set_clinettype"));
    message_ = reinterpret_cast<IntFn>(Export("SetMessageID"));
}

DllUnderTest::~DllUnderTest() {
    if (module_ != nullptr) FreeLibrary(module_);
}

FARPROC DllUnderTest::Export(const char* name) const { return GetProcAddress(module_, name); }

void PumpMessages(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

int CountThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
    }
    CloseHandle(snapshot);
    return count;
}
