#include "support/process_counts.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

#include "support/dll_under_test.h"

namespace {

BOOL CALLBACK CountChild(HWND, LPARAM counter) { return ++*reinterpret_cast<int*>(counter) > 0; }

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(counter);
        EnumChildWindows(window, CountChild, counter);
    }
    return TRUE;
}

}  // namespace

std::string ProcessCounts::ToString() const {
    char text[200];
    std::snprintf(text, sizeof text, "handles %5d  gdi %4d  windows %3d  threads %3d (library %d, wininet %d)  private %7lu KB",
                  kernelHandles, gdiObjects, windows, threads, libraryThreads, wininetThreads,
                  static_cast<unsigned long>(privateBytes / 1024));
    return text;
}

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
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (module == nullptr || query == nullptr || snapshot == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    THREADENTRY32 entry{sizeof entry};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        HANDLE thread = entry.th32OwnerProcessID == GetCurrentProcessId()
                            ? OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)
                            : nullptr;
        if (thread == nullptr) continue;
        void* start = nullptr;
        HMODULE owner = nullptr;
        count += query(thread, kThreadStartAddress, &start, sizeof start, nullptr) == 0 &&
                 GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    static_cast<LPCSTR>(start), &owner) &&
                 owner == module;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

ProcessCounts CountProcess() {
    static const bool warmed = (CountKernelHandles(), CountThreads(), true);
    (void)warmed;
    ProcessCounts counts;
    counts.threads = CountThreads();
    counts.libraryThreads = CountThreadsStartedIn(GetModuleHandleA("tiprelay.dll"));
    counts.wininetThreads = CountThreadsStartedIn(GetModuleHandleA("wininet.dll"));
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&counts.windows));
    counts.gdiObjects = CountGdiObjects();
    counts.privateBytes = PrivateBytes();
    counts.kernelHandles = CountKernelHandles();
    return counts;
}
