// What a process holds, counted in ways that also work under Wine (where
// GetProcessHandleCount and GetGuiResources answer 0): kernel handles by
// probing handle values, GDI objects by probing handle indexes.
#pragma once

#include <windows.h>

int CountKernelHandles();
int CountGdiObjects();
// Threads of this process whose start address lies in `module`.
int CountThreadsStartedIn(HMODULE module);
SIZE_T PrivateBytes();
