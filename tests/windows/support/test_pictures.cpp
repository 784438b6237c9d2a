#include "support/test_pictures.h"

#include <objbase.h>
#include <wincodec.h>

#include <vector>

#include "platform/handles.h"

std::string JpegBytes(int width, int height, COLORREF colour, bool ramp) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * 3 * height);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        const int x = static_cast<int>(i / 3) % width, y = static_cast<int>(i / 3) / width;
        const int grain = static_cast<int>(((static_cast<unsigned>(x) * 2654435761u) ^ (y * 40503u)) >> 27);
        const COLORREF c =
            ramp ? RGB(50 + x * 170 / width + grain, 30 + y * 160 / height + grain, 150 + grain) : colour;
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
            SUCCEEDED(encoder->CreateNewFrame(frame.put(), options.put())) &&
            SUCCEEDED(frame->Initialize(options.get())) && SUCCEEDED(frame->SetSize(width, height)) &&
            SUCCEEDED(frame->SetResolution(96.0, 96.0)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
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
