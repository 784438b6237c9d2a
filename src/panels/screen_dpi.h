// The DPI a panel is drawn at on the monitor it rises on.
#pragma once

#include <windows.h>

#include <cstdint>

// 96 in a thread that is not DPI-aware (the system scales its windows
// itself); the monitor's own DPI in a per-monitor-aware one; the system
// DPI in a system-aware one.
int32_t PanelDpiOn(HMONITOR monitor);
