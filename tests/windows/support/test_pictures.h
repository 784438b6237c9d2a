// A picture made in memory for the panel tests and the paint benchmark.
#pragma once

#include <windows.h>

#include <string>

// A JPEG at 96 dpi filled with `colour`, or with a grainy colour ramp that
// compresses like a photograph; empty when the system has no encoder.
std::string JpegBytes(int width, int height, COLORREF colour, bool ramp = false);
