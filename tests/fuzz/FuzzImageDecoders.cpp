// Fuzz target: the image readers of the D3DX library (DDS, BMP with its run-length kinds, TGA,
// PNG, JPEG with its four-channel kinds) over arbitrary bytes. Every input ends in an image or a
// clean refusal; an image's texels fill exactly its size, and the header-only read agrees with
// the full one about the size and the kind.
#include "Platform/D3DX/ImageCodecs.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    D3DXImage::Image header;
    const HRESULT info = D3DXImage::Decode(data, size, true, header);
    D3DXImage::Image image;
    const HRESULT full = D3DXImage::Decode(data, size, false, image);
    if (SUCCEEDED(full))
    {
        if (FAILED(info) || header.info.Width != image.info.Width || header.info.Height != image.info.Height ||
            header.info.ImageFileFormat != image.info.ImageFileFormat)
            abort();
        const size_t texels = static_cast<size_t>(image.info.Width) * image.info.Height;
        if (image.levels.empty() ? image.argb.size() != texels : image.levels.size() != image.info.MipLevels)
            abort();
    }
    return 0;
}
