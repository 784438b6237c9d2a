// Everything the soak watches for growth in one snapshot: handles, GDI
// objects, windows, threads (the library's and WinInet's apart) and private
// bytes, counted in ways that also work under Wine.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "support/dll_under_test.h"

// Kernel handles by probing handle values and GDI objects by probing handle indexes: under Wine
// GetProcessHandleCount and GetGuiResources answer 0.
inline int CountKernelHandles() {
    int count = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x20000; value += 4) count += GetHandleInformation(HANDLE(value), &flags) != 0;
    return count;
}

inline int CountGdiObjects() {
    if (const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return int(counted);
    // A handle without its upper word names whichever object holds that index now.
    int count = 0;
    for (uintptr_t index = 1; index < 0x10000; ++index) count += GetObjectType(HGDIOBJ(index)) != 0;
    return count;
}

inline SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

struct ProcessCounts {
    int kernelHandles = 0, gdiObjects = 0;
    int windows = 0;  // top-level and child windows of this process
    int threads = 0;
    int libraryThreads = 0;  // started in tiprelay.dll
    int wininetThreads = 0;  // WinInet's own (its connection pool's collector)
    SIZE_T privateBytes = 0;

    // "handles 123  gdi 45  windows 6  threads 7 (library 0, wininet 1)  private 12345 KB"
    std::string ToString() const {
        char text[200];
        std::snprintf(text, sizeof text,
                      "handles %5d  gdi %4d  windows %3d  threads %3d (library %d, wininet %d)  private %7lu KB",
                      kernelHandles, gdiObjects, windows, threads, libraryThreads, wininetThreads,
                      static_cast<unsigned long>(privateBytes / 1024));
        return text;
    }
};

inline BOOL CALLBACK CountChildWindow(HWND, LPARAM counter) { return ++*reinterpret_cast<int*>(counter) > 0; }

inline BOOL CALLBACK CountOwnWindow(HWND window, LPARAM counter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(counter);
        EnumChildWindows(window, CountChildWindow, counter);
    }
    return TRUE;
}

// Counts now. The first call warms up what the counting itself opens.
inline ProcessCounts CountProcess() {
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
