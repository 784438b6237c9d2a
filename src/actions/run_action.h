// The click action on one action record, apart from the panel classes.
#pragma once

#include <windows.h>

// Runs the action record (`keyword`, `url`) for the panel whose window is
// `panelWindow`: an empty keyword or address does nothing; otherwise the
// panel is told to slide away (the panel action message with wParam 11
// and `panel` as lParam), and then "OPENURL" opens the address in the
// browser and "DOWNLOAD" hands it to the download agent. Keywords are
// compared exactly; any other keyword opens nothing.
void RunAction(HWND panelWindow, LPARAM panel, const char* keyword, const char* url);
