// Writing a picture as a PNG file: 8-bit RGB, stored (uncompressed)
// deflate blocks, so no compression library is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `pixels` holds width * height COLORREF values (0x00BBGGRR), row by row
// from the top. False when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);
