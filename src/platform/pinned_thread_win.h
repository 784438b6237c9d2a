// The one way the library starts a thread. The thread may outlive the call
// that started it: it holds a reference on this module until its last
// instruction, so a host that unloads the library meanwhile never pulls the
// code from under it; and nothing it throws gets past its entry.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/handles.h"

namespace platform {

// Stack reserved per thread. The deepest of ours is the picture download
// (about 18 KiB measured: a 4 KiB read block under WinInet's own calls); the
// query exchange needs about 4 KiB, as its buffer lives on the heap. A
// quarter of the default megabyte leaves ample room for a system whose
// WinInet or Winsock runs deeper.
constexpr SIZE_T kThreadStackReservation = 256 * 1024;

// Runs body on a new thread; `edge` (a literal) names it in the line logged
// when body throws. Empty when no thread could be made (body does not run).
handles::Kernel StartPinnedThread(const char* edge, std::function<void()> body,
                               SIZE_T stackReservation = kThreadStackReservation);

}  // namespace platform
