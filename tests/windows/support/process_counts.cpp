#include "support/process_counts.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "platform/handles.h"

int CountKernelHandles() {
    int count = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x20000; value += 4) count += GetHandleInformation(HANDLE(value), &flags) != 0;
    return count;
}

int CountGdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return int(counted);
    // A handle without its upper word names whichever object holds that index now.
    int count = 0;
    for (uintptr_t index = 1; index < 0x10000; ++index) count += GetObjectType(HGDIOBJ(index)) != 0;
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

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}
