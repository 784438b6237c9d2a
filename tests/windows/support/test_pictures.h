// Pictures made in memory for the panel tests and the paint benchmark.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// A GIF of up to four palette colours (RGB); `transparent` is the index
// its graphic control extension names transparent, or -1 for none.
std::string GifBytes(int width, int height, const std::vector<uint8_t>& indices,
                     const std::vector<COLORREF>& palette, int transparent);
// A JPEG at 96 dpi filled with `colour`, or with a grainy colour ramp that
// compresses like a photograph; empty when the system has no encoder.
std::string JpegBytes(int width, int height, COLORREF colour, bool ramp = false);
