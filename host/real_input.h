// Pointer input through the window system, as a user's mouse gives it.
#pragma once

#include <windows.h>

// One mouse event; with MOUSEEVENTF_ABSOLUTE the pointer goes to the
// screen pixel (screenX, screenY).
void SendMouse(DWORD flags, int screenX, int screenY);
