// Everything the soak watches for growth in one snapshot: handles, GDI
// objects, windows, threads (the library's and WinInet's apart) and private
// bytes, counted in ways that also work under Wine.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "support/dll_under_test.h"
#include "support/process_counts.h"

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
