// Picture files made in memory for the panel tests and the paint benchmark:
// a GIF assembled byte by byte, a JPEG from the system's imaging component.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Test pictures. Colours are RGB; `transparent` marks the index that a
// GIF's graphic control extension names transparent (-1: none).
std::string GifBytes(int width, int height, const std::vector<uint8_t>& indices,
                     const std::vector<COLORREF>& palette, int transparent);
// A JPEG of the given size filled with `colour`, or with a grainy colour
// ramp when `ramp` is set, encoded by the system's imaging component; empty
// when no encoder is available.
std::string JpegBytes(int width, int height, COLORREF colour, bool ramp = false);
