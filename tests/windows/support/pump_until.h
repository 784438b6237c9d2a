// Waits for a condition while serving the calling thread's messages, as a
// host's message loop would.
#pragma once

#include <windows.h>

#include "support/dll_under_test.h"

template <typename Condition>
bool PumpUntil(Condition done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        PumpMessages(10);
    }
    return true;
}
