#include "support/dll_under_test.h"

#include <tlhelp32.h>

#include "support/host_folder.h"

DllUnderTest::DllUnderTest(const std::string& path)
    : module_(LoadLibraryA((path.empty() ? HostFile("tiprelay.dll") : path).c_str())) {}

void PumpMessages(DWORD ms) {
    MSG msg;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

int CountThreads() {
    const handles::Kernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    return count;
}

int CountThreadsStartedIn(HMODULE module) {
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    constexpr int kThreadStartAddress = 9;  // ThreadQuerySetWin32StartAddress
    auto query = reinterpret_cast<QueryFn>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread"));
    const handles::Kernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (module == nullptr || query == nullptr || !snapshot) return 0;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        const handles::Kernel thread(entry.th32OwnerProcessID == GetCurrentProcessId()
                                         ? OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)
                                         : nullptr);
        if (!thread) continue;
        void* start = nullptr;
        HMODULE owner = nullptr;
        count +=
            query(thread.get(), kThreadStartAddress, &start, sizeof start, nullptr) == 0 &&
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCSTR>(start), &owner) &&
            owner == module;
    }
    return count;
}
