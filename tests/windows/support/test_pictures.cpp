#include "support/test_pictures.h"

#include <objbase.h>
#include <wincodec.h>

#include "platform/handles.h"

std::string GifBytes(int width, int height, const std::vector<uint8_t>& indices,
                     const std::vector<COLORREF>& palette, int transparent) {
    std::string g = "GIF89a";
    auto u16 = [&g](int v) { g += {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
    u16(width);
    u16(height);
    g += {'\xF1', 0, 0};  // a global table of 4 colours
    for (size_t i = 0; i < 4; ++i) {
        const COLORREF c = i < palette.size() ? palette[i] : 0;
        g += {static_cast<char>(GetRValue(c)), static_cast<char>(GetGValue(c)), static_cast<char>(GetBValue(c))};
    }
    if (transparent >= 0) g += {'\x21', '\xF9', 4, 1, 0, 0, static_cast<char>(transparent), 0};
    g += std::string(",\0\0\0\0", 5);  // the image at (0, 0)
    u16(width);
    u16(height);
    g += {0, 2};  // no local table; LZW codes of 3 bits
    // A clear code before every second pixel keeps the table from growing.
    std::string data;
    uint32_t bits = 0;
    int count = 0;
    auto emit = [&](uint32_t code) {
        bits |= code << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8) data += static_cast<char>(bits & 0xFF);
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) emit(4);
        emit(indices[i] & 3);
    }
    emit(5);
    if (count > 0) data += static_cast<char>(bits & 0xFF);
    for (size_t at = 0; at < data.size(); at += 255) g += static_cast<char>(data.substr(at, 255).size()) + data.substr(at, 255);
    return g + std::string{0, ';'};
}

std::string JpegBytes(int width, int height, COLORREF colour, bool ramp) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3 * height);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        const int x = static_cast<int>(i / 3) % width, y = static_cast<int>(i / 3) / width;
        const int grain = static_cast<int>(((static_cast<unsigned>(x) * 2654435761u) ^ (y * 40503u)) >> 27);
        const COLORREF c = ramp ? RGB(50 + x * 170 / width + grain, 30 + y * 160 / height + grain, 150 + grain) : colour;
        pixels[i] = GetBValue(c);
        pixels[i + 1] = GetGValue(c);
        pixels[i + 2] = GetRValue(c);
    }
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    std::string result;
    {
        handles::ComPtr<IWICImagingFactory> factory;
        handles::ComPtr<IStream> stream;
        handles::ComPtr<IWICBitmapEncoder> encoder;
        handles::ComPtr<IWICBitmapFrameEncode> frame;
        handles::ComPtr<IPropertyBag2> options;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        HGLOBAL block = nullptr;
        STATSTG stat{};
        if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                       factory.put_void())) &&
            SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) &&
            SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put())) &&
            SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(frame.put(), options.put())) && SUCCEEDED(frame->Initialize(options.get())) &&
            SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetResolution(96.0, 96.0)) &&
            SUCCEEDED(frame->SetPixelFormat(&format)) &&
            SUCCEEDED(frame->WritePixels(height, width * 3, static_cast<UINT>(pixels.size()), pixels.data())) &&
            SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit()) &&
            SUCCEEDED(GetHGlobalFromStream(stream.get(), &block)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
            if (const void* bytes = GlobalLock(block))
                result.assign(static_cast<const char*>(bytes), static_cast<size_t>(stat.cbSize.QuadPart));
            GlobalUnlock(block);
        }
    }
    if (comStarted) CoUninitialize();
    return result;
}
