// The module that holds this code: tiprelay.dll when it runs in the DLL,
// the program itself when the code is linked in statically. Window classes
// and resources belong to it, never to the host program.
#pragma once

#include <windows.h>

HINSTANCE LibraryModule();
