// A picture file (any format OLE picture loading takes: GIF, JPEG, BMP...)
// turned into a bitmap of its natural pixel size over a background colour.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/handles.h"

struct IPicture;

class CPictureBitmap {
public:
    // Files larger than this are not pictures for a tip panel; they are
    // refused instead of being read whole into memory.
    static constexpr uint32_t kMaxFileBytes = 8u * 1024 * 1024;
    // The bitmap never exceeds this on either side; a larger picture keeps
    // its natural scale and only its top-left part is rendered.
    static constexpr int kMaxSide = 2048;

    CPictureBitmap() = default;

    // Non-zero when this object now holds the rendered picture. Fails (0)
    // when it already holds one, or the file cannot be read or decoded.
    int32_t LoadFile(const char* path, COLORREF background);

    HBITMAP Get() const { return m_bitmap.get(); }
    SIZE Size() const { return m_size; }

private:
    int32_t Render(IPicture* picture, COLORREF background);

    handles::Bitmap m_bitmap;
    SIZE m_size{0, 0};
};
