// Threads that may outlive the call that started them: each holds a
// reference on this module until its last instruction, so a host that
// unloads the library meanwhile never pulls the code from under it.
#pragma once

#include <windows.h>

// Runs body(argument) on a new thread; the caller closes the handle. Null
// when no thread could be made (body does not run then).
HANDLE StartPinnedThread(void (*body)(void*), void* argument);
