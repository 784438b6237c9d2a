#include "support/test_pictures.h"

#include <objbase.h>
#include <wincodec.h>

std::string GifBytes(int width, int height, const std::vector<uint8_t>& indices,
                     const std::vector<COLORREF>& palette, int transparent) {
    std::string g = "GIF89a";
    auto u16 = [&g](int v) {
        g.push_back(static_cast<char>(v & 0xFF));
        g.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    u16(width);
    u16(height);
    g.push_back(static_cast<char>(0xF1));  // global table of 4 colours, 8-bit depth
    g.push_back(0);
    g.push_back(0);
    for (int i = 0; i < 4; ++i) {
        const COLORREF c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
        g.push_back(static_cast<char>(GetRValue(c)));
        g.push_back(static_cast<char>(GetGValue(c)));
        g.push_back(static_cast<char>(GetBValue(c)));
    }
    if (transparent >= 0) {
        const char gce[] = {'\x21', '\xF9', 4, 1, 0, 0, static_cast<char>(transparent), 0};
        g.append(gce, sizeof gce);
    }
    g.push_back(',');
    u16(0);
    u16(0);
    u16(width);
    u16(height);
    g.push_back(0);
    // LZW with a minimum code size of 2: codes of 3 bits, a clear code
    // before every second pixel, so the table never grows past 3 bits.
    g.push_back(2);
    std::string data;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    auto emit = [&](uint32_t code) {
        bitBuffer |= code << bitCount;
        bitCount += 3;
        while (bitCount >= 8) {
            data.push_back(static_cast<char>(bitBuffer & 0xFF));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) emit(4);
        emit(indices[i] & 3);
    }
    emit(5);
    if (bitCount > 0) data.push_back(static_cast<char>(bitBuffer & 0xFF));
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = data.size() - at < 255 ? data.size() - at : 255;
        g.push_back(static_cast<char>(n));
        g.append(data, at, n);
    }
    g.push_back(0);
    g.push_back(';');
    return g;
}

namespace {
template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};
}  // namespace

std::string JpegBytes(int width, int height, COLORREF colour, bool ramp) {
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    std::string result;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IStream> stream;
        ComPtr<IWICBitmapEncoder> encoder;
        ComPtr<IWICBitmapFrameEncode> frame;
        ComPtr<IPropertyBag2> options;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        std::vector<uint8_t> row(static_cast<size_t>(width) * 3 * height);
        for (size_t i = 0; i < row.size(); i += 3) {
            const int x = static_cast<int>(i / 3) % width, y = static_cast<int>(i / 3) / width;
            // The ramp carries some grain, so it compresses like a photograph.
            const int grain = static_cast<int>(((static_cast<unsigned>(x) * 2654435761u) ^ (y * 40503u)) >> 27);
            const int red = 50 + x * 170 / width + grain, green = 30 + y * 160 / height + grain;
            const COLORREF c = ramp ? RGB(red, green, 150 + grain) : colour;
            row[i] = GetBValue(c);
            row[i + 1] = GetGValue(c);
            row[i + 2] = GetRValue(c);
        }
        HGLOBAL block = nullptr;
        STATSTG stat{};
        if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
            SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
            SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
            SUCCEEDED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) && SUCCEEDED(frame->Initialize(options.p)) &&
            SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetResolution(96.0, 96.0)) &&
            SUCCEEDED(frame->SetPixelFormat(&format)) &&
            SUCCEEDED(frame->WritePixels(height, width * 3, static_cast<UINT>(row.size()), row.data())) &&
            SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit()) &&
            SUCCEEDED(GetHGlobalFromStream(stream.p, &block)) &&
            SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
            const void* bytes = GlobalLock(block);
            if (bytes) result.assign(static_cast<const char*>(bytes), static_cast<size_t>(stat.cbSize.QuadPart));
            GlobalUnlock(block);
        }
    }
    if (comStarted) CoUninitialize();
    return result;
}
