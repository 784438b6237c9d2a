// Whether a tip would get in the user's way right now.
#pragma once

#include <windows.h>

// True when the foreground window's client area covers the whole monitor it
// lies on (the desktop and the shell's own windows do not count).
bool IsForegroundFullScreen();

// True when the client rectangle, in screen coordinates, covers `monitor`.
bool CoversMonitor(const RECT& client, const RECT& monitor);

// True when the shell says the user should not be disturbed: presentation
// mode, a full-screen Direct3D program, quiet time, a locked session.
bool IsUserBusy();
