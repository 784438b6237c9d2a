#include "panels/picture_bitmap.h"

#include <ole2.h>
#include <olectl.h>

#include <vector>

namespace {

bool ReadWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    handles::Kernel file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return false;
    if (size.QuadPart <= 0 || size.QuadPart > CPictureBitmap::kMaxFileBytes) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return false;
    // A file that shrank while being read is decoded from what arrived.
    bytes.resize(read);
    return read != 0;
}

// Null when the bytes are no picture that OLE picture loading takes.
handles::ComPtr<IPicture> Decode(const std::vector<unsigned char>& bytes) {
    handles::ComPtr<IPicture> picture;
    handles::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block) return picture;
    void* target = GlobalLock(block.get());
    if (target == nullptr) return picture;
    memcpy(target, bytes.data(), bytes.size());
    GlobalUnlock(block.get());

    handles::ComPtr<IStream> stream;
    // The stream frees the block when it is released.
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.put())) || !stream) return picture;
    block.release();
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, picture.put_void())))
        picture.reset();
    return picture;
}

// The screen's device context and one compatible memory context.
struct ScreenContexts {
    handles::WindowDC screen{GetDesktopWindow()};
    handles::MemoryDC memory{screen.get() ? CreateCompatibleDC(screen.get()) : nullptr};
};

}  // namespace

int32_t CPictureBitmap::LoadFile(const char* path, COLORREF background) {
    if (m_bitmap || path == nullptr || path[0] == '\0') return 0;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes)) return 0;
    const handles::ComPtr<IPicture> picture = Decode(bytes);
    return picture ? Render(picture.get(), background) : 0;
}

int32_t CPictureBitmap::Render(IPicture* picture, COLORREF background) {
    if (m_bitmap || picture == nullptr) return 0;
    ScreenContexts dcs;
    if (!dcs.screen.get() || !dcs.memory) return 0;

    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    if (FAILED(picture->get_Width(&himetricWidth)) || FAILED(picture->get_Height(&himetricHeight))) return 0;
    const int width = MulDiv(himetricWidth, GetDeviceCaps(dcs.screen.get(), LOGPIXELSX), 2540);
    const int height = MulDiv(himetricHeight, GetDeviceCaps(dcs.screen.get(), LOGPIXELSY), 2540);
    if (width < 1 || height < 1) return 0;
    const int bitmapWidth = width < kMaxSide ? width : kMaxSide;
    const int bitmapHeight = height < kMaxSide ? height : kMaxSide;

    handles::Bitmap bitmap(CreateCompatibleBitmap(dcs.screen.get(), bitmapWidth, bitmapHeight));
    if (!bitmap) return 0;
    HRESULT rendered;
    {
        handles::Select selected(dcs.memory.get(), bitmap.get());
        handles::Brush fill(CreateSolidBrush(background));
        RECT all{0, 0, bitmapWidth, bitmapHeight};
        if (fill) FillRect(dcs.memory.get(), &all, fill.get());
        // The picture's HIMETRIC y axis runs upward: start at its top edge
        // and go down by its height, so it comes out upright.
        rendered = picture->Render(dcs.memory.get(), 0, 0, width, height, 0, himetricHeight, himetricWidth,
                                   -himetricHeight, nullptr);
    }
    if (FAILED(rendered)) return 0;
    m_bitmap = std::move(bitmap);
    m_size = SIZE{bitmapWidth, bitmapHeight};
    return 1;
}
