#include "Engine/Views/XViewCapture.h"

#include "Components/XException.h"
#include "Components/XFileStream.h"
#include "DirectX/D3dUtils.h"
#include "Platform/Vcl/SysUtils.h"

#include <cstring>
#include <memory>

namespace
{
struct ReleaseSurface
{
    void operator()(IDirect3DSurface9* surface) const { surface->Release(); }
};
using Surface = std::unique_ptr<IDirect3DSurface9, ReleaseSurface>;

// The captured pixels, their size and layout.
struct Captured
{
    std::unique_ptr<uint8_t[]> pixels;
    unsigned width = 0;
    unsigned height = 0;
    XColorFormat format = XCF_X8R8G8B8;
};

void RawCapture(const XCaptureSource& view, void** data, unsigned& width, unsigned& height, D3DFORMAT& format)
{
    IDirect3DDevice9* device = view.device;
    CheckD3D(device && view.renderFrame ? view.renderFrame() : D3DERR_INVALIDCALL);
    IDirect3DSurface9* raw = nullptr;
    CheckD3D(device->GetRenderTarget(0, &raw));
    Surface target(raw);
    D3DSURFACE_DESC desc{};
    CheckD3D(target->GetDesc(&desc));
    raw = nullptr;
    CheckD3D(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &raw,
                                                 nullptr));
    Surface system(raw);
    CheckD3D(device->GetRenderTargetData(target.get(), system.get()));
    const unsigned bytes = GetFormatBits(desc.Format) / 8;
    if (bytes == 0)
        throw XException(u"Unsupported color format.");
    D3DLOCKED_RECT locked{};
    CheckD3D(system->LockRect(&locked, nullptr, 0));
    // Rows without gaps, whatever the pitch.
    const size_t row = size_t(desc.Width) * bytes;
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[row * desc.Height + 1]);
    if (pixels)
        for (unsigned y = 0; y < desc.Height; ++y)
            std::memcpy(pixels.get() + y * row, static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                        row);
    system->UnlockRect();
    if (!pixels)
        throw XException(u"Out of memory.");
    *data = pixels.release();
    width = desc.Width;
    height = desc.Height;
    format = desc.Format;
}

Captured CaptureIn(const XCaptureSource& view)
{
    Captured c;
    void* data = nullptr;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    XViewCapture::CaptureBitmap(view, &data, c.width, c.height, format);
    c.pixels.reset(static_cast<uint8_t*>(data));
    if (!GetColorFormatOf(format, c.format))
        throw XException(u"Unsupported color format.");
    return c;
}

void WriteBitmap(const XCaptureSource& view, XStream* stream, XColorFormat format)
{
    Captured c = CaptureIn(view);
    if (c.format != format)
    {
        std::unique_ptr<uint8_t[]> converted(new uint8_t[size_t(c.width) * c.height * GetColorFormatSize(format) + 1]);
        ConvertBitmap(format, converted.get(), c.format, c.pixels.get(), c.width, c.height);
        c.pixels = std::move(converted);
    }
    FlipBitmap(0, format, c.pixels.get(), c.width, c.height);
    SaveBitmapToStream(stream, c.pixels.get(), static_cast<int>(c.width), static_cast<int>(c.height), format);
}

void WriteImage(const XCaptureSource& view, XStream* stream, XBitmapSourceType type)
{
    Captured c = CaptureIn(view);
    if (c.format != XCF_X8R8G8B8)
    {
        std::unique_ptr<uint8_t[]> converted(new uint8_t[size_t(c.width) * c.height * 4 + 1]);
        ConvertBitmap(XCF_X8R8G8B8, converted.get(), c.format, c.pixels.get(), c.width, c.height);
        c.pixels = std::move(converted);
    }
    // BMP rows are stored bottom-up, JPEG rows top-down.
    if (type != bstJPEG)
        FlipBitmap(0, XCF_X8R8G8B8, c.pixels.get(), c.width, c.height);
    XBitmap bitmap;
    bitmap.Set(c.pixels.release(), c.width, c.height, 32, XBitmap::FormatA8R8G8B8);
    bitmap.Save(stream, type);
}

// Writes through a temporary file beside the target, put in place once complete.
void WriteFile(const XString& path, const std::function<void(XStream*)>& write)
{
    const Platform::ReplaceResult result = Platform::ReplaceFileSafely(
        path.c_str(),
        [&](const std::u16string& temp)
        {
            XFileStream file(temp.c_str(), 1);
            write(&file);
        });
    switch (result)
    {
    case Platform::ReplaceResult::Done:
        return;
    case Platform::ReplaceResult::FlushFailed:
        throw "Stream writing error.";
    default:
        throw "Failed opening file.";
    }
}
} // namespace

void XViewCapture::CaptureBitmap(const XCaptureSource& view, void** data, unsigned& width, unsigned& height,
                                 D3DFORMAT& format)
{
    try
    {
        RawCapture(view, data, width, height, format);
    }
    catch (const Exception& e)
    {
        throw Exception(e.Message());
    }
}

void XViewCapture::CaptureBitmap(const XCaptureSource& view, XStream* stream, XColorFormat format)
{
    try
    {
        WriteBitmap(view, stream, format);
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
    }
}

void XViewCapture::CaptureBitmap(const XCaptureSource& view, const XString& path, XColorFormat format)
{
    try
    {
        WriteFile(path, [&](XStream* file) { WriteBitmap(view, file, format); });
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
    }
}

void XViewCapture::CaptureImage(const XCaptureSource& view, XStream* stream, XBitmapSourceType type)
{
    try
    {
        WriteImage(view, stream, type);
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
    }
}

void XViewCapture::CaptureImage(const XCaptureSource& view, const XString& path)
{
    try
    {
        XString ext = GetFileExt(path);
        ext.LowerCase();
        XBitmapSourceType type;
        if (ext == u".jpg" || ext == u".jpeg")
            type = bstJPEG;
        else if (ext == u".bmp")
            type = bstBMP;
        else
            throw XException(u"Неподдерживаемый тип файла.");
        WriteFile(path, [&](XStream* file) { WriteImage(view, file, type); });
    }
    catch (const Exception& e)
    {
        ShowMessage(e.Message());
    }
}
