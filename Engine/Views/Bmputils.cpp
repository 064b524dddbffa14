#include "Engine/Views/Bmputils.h"

#include "Components/XException.h"
#include "Components/XStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
struct FormatRow
{
    uint32_t d3dFormat;
    unsigned size;
    uint32_t compression;
    uint32_t masks[3]; // red, green, blue
};

constexpr FormatRow kFormats[9] = {
    {23, 2, 3, {0xF800, 0x07E0, 0x001F}},     {24, 2, 0, {0x7C00, 0x03E0, 0x001F}},
    {25, 2, 0, {0x7C00, 0x03E0, 0x001F}},     {30, 2, 3, {0x0F00, 0x00F0, 0x000F}},
    {26, 2, 3, {0x0F00, 0x00F0, 0x000F}},     {29, 2, 3, {0x00E0, 0x001C, 0x0003}},
    {20, 3, 0, {0xFF0000, 0xFF00, 0xFF}},     {22, 4, 0, {0xFF0000, 0xFF00, 0xFF}},
    {21, 4, 0, {0xFF0000, 0xFF00, 0xFF}},
};

// Widens a channel: (value * factor) >> 7, saturated at 255.
uint32_t Widen(uint32_t value, uint32_t factor)
{
    return std::min<uint32_t>((value * factor) >> 7, 255);
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}

uint32_t ReadColor(XColorFormat format, const uint8_t* p)
{
    const uint32_t w = p[0] | p[1] << 8;
    switch (format)
    {
    case XCF_R5G6B5:
        return Argb(0, Widen(w >> 11, 0x421), Widen(w >> 5 & 0x3F, 0x209), Widen(w & 0x1F, 0x421));
    case XCF_X1R5G5B5:
    case XCF_A1R5G5B5:
        return Argb(Widen(w & 0x8000, 0x8000), Widen(w >> 10 & 0x1F, 0x421), Widen(w >> 5 & 0x1F, 0x421),
                    Widen(w & 0x1F, 0x421));
    case XCF_X4R4G4B4:
    case XCF_A4R4G4B4:
        return Argb(Widen(w >> 12, 0x889), Widen(w >> 8 & 0xF, 0x889), Widen(w >> 4 & 0xF, 0x889),
                    Widen(w & 0xF, 0x889));
    case XCF_A8R3G3B2:
        return Argb(Widen(w >> 8, 0x81), Widen(w >> 5 & 7, 0x1249), Widen(w >> 2 & 7, 0x1249),
                    Widen(w & 3, 0x2AAB));
    case XCF_R8G8B8:
        return Argb(255, p[2], p[1], p[0]);
    default:
        return w | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

void WriteColor(XColorFormat format, uint8_t* p, uint32_t c)
{
    const uint32_t a = c >> 24, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
    uint32_t w = 0;
    switch (format)
    {
    case XCF_R5G6B5:
        w = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        break;
    case XCF_X1R5G5B5:
    case XCF_A1R5G5B5:
        w = (a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
        break;
    case XCF_X4R4G4B4:
    case XCF_A4R4G4B4:
        w = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
        break;
    case XCF_A8R3G3B2:
        w = a << 8 | (r >> 5) << 5 | (g >> 5) << 2 | b >> 6;
        break;
    case XCF_R8G8B8:
        p[0] = static_cast<uint8_t>(b);
        p[1] = static_cast<uint8_t>(g);
        p[2] = static_cast<uint8_t>(r);
        return;
    default:
        std::memcpy(p, &c, 4);
        return;
    }
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
}

void SwapPixels(uint8_t* a, uint8_t* b, unsigned size)
{
    uint8_t t[4];
    std::memcpy(t, a, size);
    std::memcpy(a, b, size);
    std::memcpy(b, t, size);
}

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
} // namespace

unsigned GetColorFormatSize(XColorFormat format)
{
    return format <= XCF_A8R8G8B8 ? kFormats[format].size : 0;
}

bool GetColorFormatOf(uint32_t d3dFormat, XColorFormat& format)
{
    for (unsigned i = 0; i < 9; ++i)
        if (kFormats[i].d3dFormat == d3dFormat)
        {
            format = static_cast<XColorFormat>(i);
            return true;
        }
    return false;
}

void ConvertBitmap(XColorFormat target, void* dst, XColorFormat source, const void* src, unsigned width,
                   unsigned height)
{
    if (target > XCF_A8R8G8B8)
        throw XException(u"Invalid output bitmap format.");
    if (source > XCF_A8R8G8B8)
        throw XException(u"Invalid input bitmap format.");
    const unsigned in = GetColorFormatSize(source), out = GetColorFormatSize(target);
    const auto* from = static_cast<const uint8_t*>(src);
    auto* to = static_cast<uint8_t*>(dst);
    const uint64_t count = uint64_t(width) * height;
    for (uint64_t i = 0; i < count; ++i, from += in, to += out)
        WriteColor(target, to, ReadColor(source, from));
}

void FlipBitmap(uint8_t mode, XColorFormat format, void* data, unsigned width, unsigned height)
{
    if (format > XCF_A8R8G8B8)
        throw XException(u"Invalid bitmap format.");
    const unsigned size = GetColorFormatSize(format);
    auto* bytes = static_cast<uint8_t*>(data);
    const size_t row = size_t(width) * size;
    switch (mode)
    {
    case 0:
    {
        std::vector<uint8_t> swap(row);
        for (unsigned y = 0; y < height / 2; ++y)
        {
            uint8_t* top = bytes + y * row;
            uint8_t* bottom = bytes + (height - 1 - y) * row;
            std::memcpy(swap.data(), top, row);
            std::memcpy(top, bottom, row);
            std::memcpy(bottom, swap.data(), row);
        }
        return;
    }
    case 1:
        for (unsigned y = 0; y < height; ++y)
        {
            uint8_t* line = bytes + y * row;
            for (unsigned x = 0; x < width / 2; ++x)
                SwapPixels(line + x * size, line + (width - 1 - x) * size, size);
        }
        return;
    case 2:
    {
        const size_t count = size_t(width) * height;
        for (size_t i = 0; i < count / 2; ++i)
            SwapPixels(bytes + i * size, bytes + (count - 1 - i) * size, size);
        return;
    }
    default:
        return;
    }
}

void SaveBitmapToStream(XStream* stream, const void* data, int width, int height, XColorFormat format)
{
    if (format > XCF_A8R8G8B8 || width <= 0 || height == 0)
        throw XException(u"Invalid bitmap format.");
    const FormatRow& f = kFormats[format];
    const uint64_t rows = height < 0 ? uint64_t(-int64_t(height)) : uint64_t(height);
    const uint64_t rowBytes = uint64_t(width) * f.size;
    const uint64_t padded = (rowBytes + 3) & ~uint64_t(3);
    const uint64_t size = padded * rows;
    if (size + 66 > 0xFFFFFFFFu)
        throw XException(u"Invalid bitmap format.");

    uint8_t header[66] = {'B', 'M'};
    Put32(header + 2, static_cast<uint32_t>(66 + size));
    Put32(header + 10, 66);
    Put32(header + 14, 40);
    Put32(header + 18, static_cast<uint32_t>(width));
    Put32(header + 22, static_cast<uint32_t>(height));
    header[26] = 1;
    header[28] = static_cast<uint8_t>(f.size * 8);
    Put32(header + 30, f.compression);
    Put32(header + 34, static_cast<uint32_t>(size));
    Put32(header + 38, 120);
    Put32(header + 42, 120);
    for (unsigned i = 0; i < 3; ++i)
        Put32(header + 54 + 4 * i, f.masks[i]);
    stream->WriteBuffer(header, sizeof header);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (padded == rowBytes)
    {
        stream->WriteBuffer(bytes, static_cast<unsigned>(size));
        return;
    }
    std::vector<uint8_t> line(static_cast<size_t>(padded), 0);
    for (uint64_t y = 0; y < rows; ++y)
    {
        std::memcpy(line.data(), bytes + y * rowBytes, static_cast<size_t>(rowBytes));
        stream->WriteBuffer(line.data(), static_cast<unsigned>(padded));
    }
}
