// What a process holds, counted in ways that also work under Wine (where
// GetProcessHandleCount and GetGuiResources answer 0): kernel handles by
// probing handle values, GDI objects by probing handle indexes, windows by
// enumerating them, threads with a Toolhelp snapshot.
#pragma once

#include <windows.h>

#include <string>

struct ProcessCounts {
    int kernelHandles = 0, gdiObjects = 0;
    int windows = 0;  // top-level and child windows of this process
    int threads = 0;
    int libraryThreads = 0;  // started in tiprelay.dll
    int wininetThreads = 0;  // WinInet's own (its connection pool's collector)
    SIZE_T privateBytes = 0;
    // "handles 123  gdi 45  windows 6  threads 7 (library 0, wininet 1)  private 12345 KB"
    std::string ToString() const;
};

// Counts now. The first call warms up what the counting itself opens.
ProcessCounts CountProcess();

int CountKernelHandles();
int CountGdiObjects();
// Threads of this process whose start address lies in `module`.
int CountThreadsStartedIn(HMODULE module);
SIZE_T PrivateBytes();
