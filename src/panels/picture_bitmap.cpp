#include "panels/picture_bitmap.h"

#include <ole2.h>
#include <olectl.h>

#include <memory>
#include <vector>

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

struct ReleaseUnknown {
    void operator()(IUnknown* p) const { p->Release(); }
};

bool ReadWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
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

// The screen's device context and one compatible memory context.
struct ScreenContexts {
    gdi::WindowDC screen{GetDesktopWindow()};
    gdi::MemoryDC memory{screen.get() ? CreateCompatibleDC(screen.get()) : nullptr};
};

}  // namespace

int32_t CPictureBitmap::LoadFile(const char* path, COLORREF background) {
    if (bitmap_ || path == nullptr || path[0] == '\0') return 0;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes)) return 0;
    IPicture* picture = Decode(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (picture == nullptr) return 0;
    const int32_t result = Render(picture, background);
    picture->Release();
    return result;
}

IPicture* CPictureBitmap::Decode(const void* bytes, uint32_t length) {
    if (bytes == nullptr || length == 0) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    if (block == nullptr) return nullptr;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    memcpy(target, bytes, length);
    GlobalUnlock(block);

    IStream* raw = nullptr;
    // The stream frees the block when it is released.
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &raw)) || raw == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::unique_ptr<IStream, ReleaseUnknown> stream(raw);
    IPicture* picture = nullptr;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(length), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&picture))))
        return nullptr;
    return picture;
}

int32_t CPictureBitmap::Render(IPicture* picture, COLORREF background) {
    if (bitmap_ || picture == nullptr) return 0;
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

    gdi::Bitmap bitmap(CreateCompatibleBitmap(dcs.screen.get(), bitmapWidth, bitmapHeight));
    if (!bitmap) return 0;
    HRESULT rendered;
    {
        gdi::Select selected(dcs.memory.get(), bitmap.get());
        gdi::Brush fill(CreateSolidBrush(background));
        RECT all{0, 0, bitmapWidth, bitmapHeight};
        if (fill) FillRect(dcs.memory.get(), &all, fill.get());
        // The picture's HIMETRIC y axis runs upward: start at its top edge
        // and go down by its height, so it comes out upright.
        rendered = picture->Render(dcs.memory.get(), 0, 0, width, height, 0, himetricHeight, himetricWidth,
                                   -himetricHeight, nullptr);
    }
    if (FAILED(rendered)) return 0;
    bitmap_ = std::move(bitmap);
    size_ = SIZE{bitmapWidth, bitmapHeight};
    return 1;
}
