// Waits for a condition while serving the calling thread's messages, as a
// host's message loop would.
#pragma once

#include "support/dll_under_test.h"

template <typename Condition>
bool PumpUntil(Condition done, DWORD ms) {
    for (const DWORD start = GetTickCount(); !done(); PumpMessages(10))
        if (GetTickCount() - start > ms) return false;
    return true;
}
