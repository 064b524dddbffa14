#include "Platform/D3DX/ImageCodecs.h"

#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

namespace D3DXImage
{
namespace
{
uint16_t U16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void SetInfo(Image& image, UINT width, UINT height, UINT levels, D3DFORMAT format, D3DXIMAGE_FILEFORMAT file)
{
    image.info = D3DXIMAGE_INFO{width, height, 1, levels, format, D3DRTYPE_TEXTURE, file};
}

bool SideOk(uint64_t side)
{
    return side >= 1 && side <= MaxSide;
}

// Compressed kinds can promise far more texels than their bytes could hold; no real encoder
// reaches this ratio, so a file beyond it is refused before its texels are allocated.
constexpr uint64_t MaxTexelsPerByte = 4096;
bool PlausibleSize(uint64_t width, uint64_t height, size_t bytes)
{
    return width * height <= bytes * MaxTexelsPerByte;
}

// Widens channel `value` masked by `mask` to 8 bits; 0xFF when the mask is empty.
uint32_t MaskChannel(uint32_t value, uint32_t mask, uint32_t empty)
{
    if (mask == 0)
        return empty;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    uint32_t bits = 0;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1))
        ++bits;
    uint32_t v = (value & mask) >> shift;
    uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return static_cast<uint32_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
}

// ---- DDS -------------------------------------------------------------------------------------------

constexpr uint32_t DdpfAlphaPixels = 0x1;
constexpr uint32_t DdpfAlpha = 0x2;
constexpr uint32_t DdpfFourCC = 0x4;
constexpr uint32_t DdpfRgb = 0x40;
constexpr uint32_t DdpfLuminance = 0x20000;
constexpr uint32_t DdsdMipMapCount = 0x20000;
constexpr uint32_t Caps2CubeMap = 0x200;
constexpr uint32_t Caps2Volume = 0x200000;

D3DFORMAT DdsFormat(const uint8_t* pf)
{
    uint32_t flags = U32(pf + 4), fourCC = U32(pf + 8), bits = U32(pf + 12);
    uint32_t r = U32(pf + 16), g = U32(pf + 20), b = U32(pf + 24), a = U32(pf + 28);
    if (!(flags & DdpfAlphaPixels) && !(flags & DdpfAlpha))
        a = 0;
    if (flags & DdpfFourCC)
    {
        switch (fourCC)
        {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return static_cast<D3DFORMAT>(fourCC);
        default:
            // Some writers store a format's number in place of a four-character code.
            if (fourCC < 256 && Soft9::IsConvertible(static_cast<D3DFORMAT>(fourCC)))
                return static_cast<D3DFORMAT>(fourCC);
            return D3DFMT_UNKNOWN;
        }
    }
    struct Row
    {
        uint32_t bits, r, g, b, a;
        D3DFORMAT format;
    };
    static constexpr Row rows[] = {
        {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, D3DFMT_A8R8G8B8},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_X8R8G8B8},
        {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, D3DFMT_A8B8G8R8},
        {32, 0xFF, 0xFF00, 0xFF0000, 0, D3DFMT_X8B8G8R8},
        {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, D3DFMT_A2R10G10B10},
        {32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, D3DFMT_A2B10G10R10},
        {32, 0xFFFF, 0xFFFF0000, 0, 0, D3DFMT_G16R16},
        {24, 0xFF0000, 0xFF00, 0xFF, 0, D3DFMT_R8G8B8},
        {16, 0xF800, 0x7E0, 0x1F, 0, D3DFMT_R5G6B5},
        {16, 0x7C00, 0x3E0, 0x1F, 0x8000, D3DFMT_A1R5G5B5},
        {16, 0x7C00, 0x3E0, 0x1F, 0, D3DFMT_X1R5G5B5},
        {16, 0xF00, 0xF0, 0xF, 0xF000, D3DFMT_A4R4G4B4},
        {16, 0xF00, 0xF0, 0xF, 0, D3DFMT_X4R4G4B4},
        {16, 0xE0, 0x1C, 0x3, 0xFF00, D3DFMT_A8R3G3B2},
        {8, 0xE0, 0x1C, 0x3, 0, D3DFMT_R3G3B2},
    };
    if (flags & DdpfRgb)
    {
        for (const Row& row : rows)
            if (row.bits == bits && row.r == r && row.g == g && row.b == b && row.a == a)
                return row.format;
        return D3DFMT_UNKNOWN;
    }
    if (flags & DdpfLuminance)
    {
        if (bits == 8 && r == 0xFF && a == 0)
            return D3DFMT_L8;
        if (bits == 16 && r == 0xFF && a == 0xFF00)
            return D3DFMT_A8L8;
        if (bits == 16 && r == 0xFFFF && a == 0)
            return D3DFMT_L16;
        if (bits == 8 && r == 0xF && a == 0xF0)
            return D3DFMT_A4L4;
        return D3DFMT_UNKNOWN;
    }
    if ((flags & DdpfAlpha) && bits == 8 && a == 0xFF)
        return D3DFMT_A8;
    return D3DFMT_UNKNOWN;
}

HRESULT DecodeDds(const uint8_t* data, size_t size, bool headerOnly, Image& image)
{
    if (size < 128 || U32(data + 4) != 124)
        return D3DXERR_INVALIDDATA;
    const uint8_t* h = data + 4;
    uint32_t flags = U32(h + 4), height = U32(h + 8), width = U32(h + 12), mips = U32(h + 24);
    uint32_t caps2 = U32(h + 108);
    if (!SideOk(width) || !SideOk(height) || (caps2 & (Caps2CubeMap | Caps2Volume)))
        return D3DXERR_INVALIDDATA;
    D3DFORMAT format = DdsFormat(h + 72);
    if (format == D3DFMT_UNKNOWN)
        return D3DXERR_INVALIDDATA;
    UINT full = Soft9::FullMipCount(width, height);
    UINT levels = (flags & DdsdMipMapCount) && mips > 0 ? std::min<UINT>(mips, full) : 1;
    // The stored levels must all be there; a file that promises more than it holds is refused.
    size_t offset = 128, needed = 0;
    for (UINT i = 0; i < levels; ++i)
        needed += Soft9::LevelBytes(format, std::max(1u, width >> i), std::max(1u, height >> i));
    if (needed > size - offset)
        return D3DXERR_INVALIDDATA;
    SetInfo(image, width, height, levels, format, D3DXIFF_DDS);
    if (headerOnly)
        return D3D_OK;
    for (UINT i = 0; i < levels; ++i)
    {
        size_t bytes = Soft9::LevelBytes(format, std::max(1u, width >> i), std::max(1u, height >> i));
        image.levels.emplace_back(data + offset, data + offset + bytes);
        offset += bytes;
    }
    return D3D_OK;
}

// ---- BMP -------------------------------------------------------------------------------------------

// The run-length codes of 8- and 4-bit bitmaps: {count, index} runs (two alternating indices for
// 4 bits), and after a zero count: 0 the end of a row, 1 the end of the bitmap, 2 a move by the
// next two bytes, n > 2 as many indices as they are, padded to two bytes. Pixels no code reaches
// keep the colour of index 0; pixels past a row's end are dropped. The stream must end with the
// end-of-bitmap code: a cut one is refused.
bool DecodeBmpRle(const uint8_t* code, size_t size, uint32_t bits, const std::vector<uint32_t>& palette,
                  UINT width, UINT height, std::vector<uint32_t>& argb)
{
    uint64_t x = 0, y = 0; // y counts rows from the bottom
    size_t at = 0;
    auto put = [&](uint32_t index)
    {
        if (x < width && y < height)
            argb[static_cast<size_t>(height - 1 - y) * width + x] = palette[index & 0xFF];
        ++x;
    };
    while (at + 2 <= size)
    {
        const uint32_t count = code[at], value = code[at + 1];
        at += 2;
        if (count > 0)
        {
            if (y >= height)
                return false;
            for (uint32_t i = 0; i < count; ++i)
                put(bits == 8 ? value : (i % 2 ? value & 0xF : value >> 4));
            continue;
        }
        switch (value)
        {
        case 0:
            x = 0;
            ++y;
            break;
        case 1:
            return true;
        case 2:
            if (at + 2 > size)
                return false;
            x += code[at];
            y += code[at + 1];
            at += 2;
            if (y > height)
                return false;
            break;
        default:
        {
            const size_t bytes = bits == 8 ? value : (value + 1) / 2;
            const size_t padded = bytes + (bytes & 1);
            if (y >= height || padded > size - at)
                return false;
            for (uint32_t i = 0; i < value; ++i)
                put(bits == 8 ? code[at + i] : (i % 2 ? code[at + i / 2] & 0xF : code[at + i / 2] >> 4));
            at += padded;
        }
        }
    }
    return false;
}

HRESULT DecodeBmp(const uint8_t* data, size_t size, bool headerOnly, Image& image)
{
    if (size < 14 + 12)
        return D3DXERR_INVALIDDATA;
    uint32_t pixelOffset = U32(data + 10);
    const uint8_t* ih = data + 14;
    uint32_t headerSize = U32(ih);
    if (headerSize != 12 && headerSize < 40)
        return D3DXERR_INVALIDDATA;
    if (headerSize > size - 14)
        return D3DXERR_INVALIDDATA;
    int64_t width, height;
    uint32_t planes, bits, compression = 0, colours = 0;
    if (headerSize == 12)
    {
        width = U16(ih + 4);
        height = static_cast<int16_t>(U16(ih + 6));
        planes = U16(ih + 8);
        bits = U16(ih + 10);
    }
    else
    {
        width = static_cast<int32_t>(U32(ih + 4));
        height = static_cast<int32_t>(U32(ih + 8));
        planes = U16(ih + 12);
        bits = U16(ih + 14);
        compression = U32(ih + 16);
        colours = U32(ih + 32);
    }
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (planes != 1 || !SideOk(static_cast<uint64_t>(width < 0 ? 0 : width)) ||
        !SideOk(static_cast<uint64_t>(height)))
        return D3DXERR_INVALIDDATA;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return D3DXERR_INVALIDDATA;
    // Bit fields: in the header from version 4 on, else right after a 40-byte header.
    uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
    size_t tableStart = 14 + headerSize;
    if (compression == 3 || compression == 6)
    {
        if (bits != 16 && bits != 32)
            return D3DXERR_INVALIDDATA;
        if (headerSize >= 52)
        {
            rMask = U32(ih + 40);
            gMask = U32(ih + 44);
            bMask = U32(ih + 48);
            aMask = headerSize >= 56 ? U32(ih + 52) : 0;
        }
        else
        {
            size_t count = compression == 6 ? 4 : 3;
            if (size < tableStart + 4 * count)
                return D3DXERR_INVALIDDATA;
            rMask = U32(data + tableStart);
            gMask = U32(data + tableStart + 4);
            bMask = U32(data + tableStart + 8);
            aMask = count == 4 ? U32(data + tableStart + 12) : 0;
            tableStart += 4 * count;
        }
    }
    else if (compression == 1 || compression == 2)
    {
        // Run-length encoded: 8-bit (1) or 4-bit (2) indices, bottom-up rows only.
        if (bits != (compression == 1 ? 8u : 4u) || topDown)
            return D3DXERR_INVALIDDATA;
    }
    else if (compression != 0)
        return D3DXERR_INVALIDDATA;
    else if (bits == 16)
    {
        rMask = 0x7C00;
        gMask = 0x3E0;
        bMask = 0x1F;
    }
    else if (bits == 32)
    {
        rMask = 0xFF0000;
        gMask = 0xFF00;
        bMask = 0xFF;
        if (headerSize >= 56)
            aMask = U32(ih + 52);
    }

    D3DFORMAT format;
    if (bits <= 8)
        format = D3DFMT_P8;
    else if (bits == 24)
        format = D3DFMT_R8G8B8;
    else if (bits == 16)
        format = rMask == 0xF800 ? D3DFMT_R5G6B5 : aMask ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    else
        format = aMask ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;

    const bool rle = compression == 1 || compression == 2;
    uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    if (pixelOffset > size || (!rle && stride * static_cast<uint64_t>(height) > size - pixelOffset) ||
        (rle && !PlausibleSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), size)))
        return D3DXERR_INVALIDDATA;
    // The palette of an indexed bitmap lies between the headers and the pixels.
    std::vector<uint32_t> palette;
    if (bits <= 8)
    {
        size_t entry = headerSize == 12 ? 3 : 4;
        size_t count = colours ? colours : (1u << bits);
        if (count > 256 || tableStart + count * entry > pixelOffset)
            return D3DXERR_INVALIDDATA;
        for (size_t i = 0; i < count; ++i)
        {
            const uint8_t* e = data + tableStart + i * entry;
            palette.push_back(0xFF000000u | (static_cast<uint32_t>(e[2]) << 16) |
                              (static_cast<uint32_t>(e[1]) << 8) | e[0]);
        }
        palette.resize(256, 0xFF000000u);
    }
    SetInfo(image, static_cast<UINT>(width), static_cast<UINT>(height), 1, format, D3DXIFF_BMP);
    if (headerOnly)
        return D3D_OK;
    UINT w = static_cast<UINT>(width), h = static_cast<UINT>(height);
    if (rle)
    {
        image.argb.assign(static_cast<size_t>(w) * h, palette[0]);
        if (!DecodeBmpRle(data + pixelOffset, size - pixelOffset, bits, palette, w, h, image.argb))
        {
            image.argb.clear();
            return D3DXERR_INVALIDDATA;
        }
        return D3D_OK;
    }
    image.argb.assign(static_cast<size_t>(w) * h, 0);
    for (UINT y = 0; y < h; ++y)
    {
        const uint8_t* row = data + pixelOffset + stride * (topDown ? y : h - 1 - y);
        uint32_t* out = image.argb.data() + static_cast<size_t>(y) * w;
        for (UINT x = 0; x < w; ++x)
        {
            switch (bits)
            {
            case 1:
                out[x] = palette[(row[x / 8] >> (7 - x % 8)) & 1];
                break;
            case 4:
                out[x] = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF];
                break;
            case 8:
                out[x] = palette[row[x]];
                break;
            case 24:
                out[x] = 0xFF000000u | (static_cast<uint32_t>(row[3 * x + 2]) << 16) |
                         (static_cast<uint32_t>(row[3 * x + 1]) << 8) | row[3 * x];
                break;
            default:
            {
                uint32_t v = bits == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
                out[x] = (MaskChannel(v, aMask, 0xFF) << 24) | (MaskChannel(v, rMask, 0) << 16) |
                         (MaskChannel(v, gMask, 0) << 8) | MaskChannel(v, bMask, 0);
            }
            }
        }
    }
    return D3D_OK;
}

// ---- TGA -------------------------------------------------------------------------------------------

uint32_t TgaTexel(const uint8_t* p, UINT depth, bool gray)
{
    switch (depth)
    {
    case 8:
        return gray ? 0xFF000000u | p[0] * 0x010101u : p[0];
    case 15:
    case 16:
    {
        uint32_t v = U16(p);
        uint32_t a = depth == 16 ? ((v & 0x8000) ? 0xFF : 0) : 0xFF;
        return (a << 24) | (MaskChannel(v, 0x7C00, 0) << 16) | (MaskChannel(v, 0x3E0, 0) << 8) |
               MaskChannel(v, 0x1F, 0);
    }
    case 24:
        return 0xFF000000u | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
    default:
        return U32(p);
    }
}

HRESULT DecodeTga(const uint8_t* data, size_t size, bool headerOnly, Image& image)
{
    if (size < 18)
        return D3DXERR_INVALIDDATA;
    UINT idLength = data[0], mapType = data[1], type = data[2];
    UINT mapFirst = U16(data + 3), mapLength = U16(data + 5), mapEntry = data[7];
    UINT width = U16(data + 12), height = U16(data + 14), depth = data[16], descriptor = data[17];
    bool rle = type >= 9;
    UINT base = rle ? type - 8 : type;
    if (mapType > 1 || (base != 1 && base != 2 && base != 3) || !SideOk(width) || !SideOk(height))
        return D3DXERR_INVALIDDATA;
    bool gray = base == 3, mapped = base == 1;
    if (mapped != (mapType == 1) && mapped)
        return D3DXERR_INVALIDDATA;
    if (mapped ? depth != 8 : gray ? depth != 8 : (depth != 15 && depth != 16 && depth != 24 && depth != 32))
        return D3DXERR_INVALIDDATA;
    UINT alphaBits = descriptor & 0xF;
    size_t offset = 18 + idLength;
    std::vector<uint32_t> palette;
    if (mapType == 1)
    {
        if (mapEntry != 15 && mapEntry != 16 && mapEntry != 24 && mapEntry != 32)
            return D3DXERR_INVALIDDATA;
        size_t entryBytes = (mapEntry + 7) / 8;
        if (offset > size || static_cast<size_t>(mapLength) * entryBytes > size - offset)
            return D3DXERR_INVALIDDATA;
        palette.assign(256, 0xFF000000u);
        for (UINT i = 0; i < mapLength; ++i)
            if (mapFirst + i < 256)
                palette[mapFirst + i] = TgaTexel(data + offset + i * entryBytes, mapEntry, false);
        offset += static_cast<size_t>(mapLength) * entryBytes;
    }
    if (offset > size)
        return D3DXERR_INVALIDDATA;
    D3DFORMAT format = mapped                     ? D3DFMT_P8
                       : gray                     ? D3DFMT_L8
                       : depth == 32              ? (alphaBits ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8)
                       : depth == 24              ? D3DFMT_R8G8B8
                       : depth == 16 && alphaBits ? D3DFMT_A1R5G5B5
                                                  : D3DFMT_X1R5G5B5;
    size_t texelBytes = (depth + 7) / 8;
    size_t count = static_cast<size_t>(width) * height;
    if (!rle && count * texelBytes > size - offset)
        return D3DXERR_INVALIDDATA;
    // A run packet is a count byte and one texel for at most 128 texels.
    if (rle && count > (size - offset) / (1 + texelBytes) * 128)
        return D3DXERR_INVALIDDATA;
    SetInfo(image, width, height, 1, format, D3DXIFF_TGA);
    if (headerOnly)
        return D3D_OK;

    std::vector<uint32_t> texels(count);
    auto convert = [&](const uint8_t* p)
    {
        uint32_t v = TgaTexel(p, depth, gray);
        if (mapped)
            return palette[v & 0xFF];
        if (depth == 32 && !alphaBits)
            v |= 0xFF000000u;
        return v;
    };
    if (!rle)
        for (size_t i = 0; i < count; ++i)
            texels[i] = convert(data + offset + i * texelBytes);
    else
    {
        size_t i = 0;
        while (i < count)
        {
            if (offset >= size)
                return D3DXERR_INVALIDDATA;
            UINT packet = data[offset++];
            size_t run = (packet & 0x7F) + 1;
            if (run > count - i)
                return D3DXERR_INVALIDDATA;
            if (packet & 0x80)
            {
                if (texelBytes > size - offset)
                    return D3DXERR_INVALIDDATA;
                uint32_t v = convert(data + offset);
                offset += texelBytes;
                std::fill_n(texels.begin() + static_cast<ptrdiff_t>(i), run, v);
            }
            else
            {
                if (run * texelBytes > size - offset)
                    return D3DXERR_INVALIDDATA;
                for (size_t k = 0; k < run; ++k)
                    texels[i + k] = convert(data + offset + k * texelBytes);
                offset += run * texelBytes;
            }
            i += run;
        }
    }
    // Rows are stored bottom-up unless the descriptor says otherwise; columns may run right to left.
    bool topDown = descriptor & 0x20, rightToLeft = descriptor & 0x10;
    image.argb.resize(count);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
        {
            UINT sy = topDown ? y : height - 1 - y;
            UINT sx = rightToLeft ? width - 1 - x : x;
            image.argb[static_cast<size_t>(y) * width + x] = texels[static_cast<size_t>(sy) * width + sx];
        }
    return D3D_OK;
}

// ---- PNG -------------------------------------------------------------------------------------------

// The file's stored samples, as every other kind here gives them: no gamma or colour-space
// conversion (a file without gAMA is not taken as linear, one with it is not corrected), 16-bit
// samples cut to their high byte, grey widened to grey RGB, palettes and tRNS looked up.
struct PngRead
{
    const uint8_t* data;
    size_t size;
    size_t offset;
    std::jmp_buf jump;
    png_bytep* rows; // here rather than in a local, which the jump could leave stale
};

void PngFail(png_structp png, png_const_charp)
{
    std::longjmp(static_cast<PngRead*>(png_get_error_ptr(png))->jump, 1);
}

void PngWarn(png_structp, png_const_charp) {}

void PngSource(png_structp png, png_bytep out, png_size_t count)
{
    PngRead* read = static_cast<PngRead*>(png_get_io_ptr(png));
    if (count > read->size - read->offset)
        png_error(png, "cut short");
    std::memcpy(out, read->data + read->offset, count);
    read->offset += count;
}

// Decodes into `argb` (unless header only); plain data only between the jump and its target, so
// that a failure leaves nothing half built.
bool PngDecode(const uint8_t* data, size_t size, bool headerOnly, UINT& width, UINT& height, bool& colour,
               bool& alpha, uint32_t*& argb)
{
    PngRead read{data, size, 0, {}, nullptr};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, PngFail, PngWarn);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    argb = nullptr;
    if (!info || setjmp(read.jump))
    {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        delete[] read.rows;
        delete[] argb;
        argb = nullptr;
        return false;
    }
    png_set_read_fn(png, &read, PngSource);
    png_set_user_limits(png, MaxSide, MaxSide);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
    width = w;
    height = h;
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    colour = (type & PNG_COLOR_MASK_COLOR) != 0;
    alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || transparency;
    if (!SideOk(w) || !SideOk(h) || !PlausibleSize(w, h, size))
        png_error(png, "size");
    if (headerOnly)
    {
        png_destroy_read_struct(&png, &info, nullptr);
        return true;
    }
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (transparency)
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_strip_16(png);
    if (!colour)
        png_set_gray_to_rgb(png);
    if (!alpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png); // B, G, R, A bytes: little-endian A8R8G8B8 words
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * 4)
        png_error(png, "layout");
    argb = new uint32_t[static_cast<size_t>(w) * h];
    read.rows = new png_bytep[h];
    for (png_uint_32 y = 0; y < h; ++y)
        read.rows[y] = reinterpret_cast<png_bytep>(argb + static_cast<size_t>(y) * w);
    png_read_image(png, read.rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    delete[] read.rows;
    return true;
}

HRESULT DecodePng(const uint8_t* data, size_t size, bool headerOnly, Image& image)
{
    // The reader stops after the image data; a file cut before its end chunk is refused too.
    static constexpr uint8_t End[8] = {0, 0, 0, 0, 'I', 'E', 'N', 'D'};
    const uint8_t* end = std::find_end(data + 8, data + size, End, End + 8);
    if (end == data + size || static_cast<size_t>(data + size - end) < 12)
        return D3DXERR_INVALIDDATA;
    UINT width = 0, height = 0;
    bool colour = false, alpha = false;
    uint32_t* argb = nullptr;
    if (!PngDecode(data, size, headerOnly, width, height, colour, alpha, argb))
        return D3DXERR_INVALIDDATA;
    D3DFORMAT format =
        colour ? (alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8) : (alpha ? D3DFMT_A8L8 : D3DFMT_L8);
    SetInfo(image, width, height, 1, format, D3DXIFF_PNG);
    if (argb)
    {
        image.argb.assign(argb, argb + static_cast<size_t>(width) * height);
        delete[] argb;
    }
    return D3D_OK;
}

// ---- JPEG ------------------------------------------------------------------------------------------

struct JpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int warnings = 0;
};

void JpegExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegMessage(j_common_ptr info, int level)
{
    // A warning is corrupt or missing data: the image is refused rather than shown half grey.
    if (level < 0)
        ++reinterpret_cast<JpegError*>(info->err)->warnings;
}

// The colour of a four-channel sample. Files with the Adobe marker (all that the common writers
// make) store the channels inverted, 255 meaning no ink; others store the ink itself.
uint32_t CmykToArgb(const uint8_t* sample, bool inverted)
{
    auto channel = [&](int i)
    {
        uint32_t light = inverted ? sample[i] : 255u - sample[i];
        uint32_t key = inverted ? sample[3] : 255u - sample[3];
        return (light * key + 127) / 255;
    };
    return 0xFF000000u | channel(0) << 16 | channel(1) << 8 | channel(2);
}

// Decodes into `argb` (unless header only); plain data in and out, so that the jump leaves no
// object half built.
bool JpegDecode(const uint8_t* data, size_t size, bool headerOnly, UINT& width, UINT& height, uint32_t*& argb)
{
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegExit;
    error.manager.emit_message = JpegMessage;
    argb = nullptr;
    if (setjmp(error.jump))
    {
        jpeg_destroy_decompress(&info);
        delete[] argb;
        argb = nullptr;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !SideOk(info.image_width) ||
        !SideOk(info.image_height) || !PlausibleSize(info.image_width, info.image_height, size) ||
        (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
         info.jpeg_color_space != JCS_RGB && info.jpeg_color_space != JCS_CMYK &&
         info.jpeg_color_space != JCS_YCCK))
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    width = info.image_width;
    height = info.image_height;
    if (headerOnly)
    {
        jpeg_destroy_decompress(&info);
        return error.warnings == 0;
    }
    // Four-channel files come as C, M, Y, K bytes, turned into colour below.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    argb = new uint32_t[static_cast<size_t>(width) * height];
    while (info.output_scanline < info.output_height)
    {
        uint32_t* texels = argb + static_cast<size_t>(info.output_scanline) * width;
        JSAMPROW row = reinterpret_cast<JSAMPROW>(texels);
        jpeg_read_scanlines(&info, &row, 1);
        if (cmyk)
            for (UINT x = 0; x < width; ++x)
                texels[x] = CmykToArgb(reinterpret_cast<const uint8_t*>(texels + x), info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (error.warnings)
    {
        delete[] argb;
        argb = nullptr;
        return false;
    }
    return true;
}

HRESULT DecodeJpeg(const uint8_t* data, size_t size, bool headerOnly, Image& image)
{
    UINT width = 0, height = 0;
    uint32_t* argb = nullptr;
    if (!JpegDecode(data, size, headerOnly, width, height, argb))
        return D3DXERR_INVALIDDATA;
    SetInfo(image, width, height, 1, D3DFMT_X8R8G8B8, D3DXIFF_JPG);
    if (argb)
    {
        image.argb.assign(argb, argb + static_cast<size_t>(width) * height);
        delete[] argb;
        for (uint32_t& texel : image.argb)
            texel |= 0xFF000000u;
    }
    return D3D_OK;
}
} // namespace

HRESULT Decode(const uint8_t* data, size_t size, bool headerOnly, Image& image)
{
    image = Image{};
    if (!data || size == 0)
        return D3DXERR_INVALIDDATA;
    if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0)
        return DecodeDds(data, size, headerOnly, image);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return DecodeBmp(data, size, headerOnly, image);
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        return DecodePng(data, size, headerOnly, image);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return DecodeJpeg(data, size, headerOnly, image);
    // TGA has no signature: it is what is left when its header is consistent.
    return DecodeTga(data, size, headerOnly, image);
}

std::vector<uint8_t> EncodeBmp(const std::vector<uint32_t>& argb, UINT width, UINT height, bool alpha)
{
    // With alpha: 32 bits and a version-4 header whose bit fields name the alpha channel;
    // without: 24 bits and the plain header.
    UINT bytes = alpha ? 4 : 3;
    uint32_t headerSize = alpha ? 108 : 40;
    uint32_t offset = 14 + headerSize;
    uint32_t stride = ((width * bytes) + 3) & ~3u;
    uint32_t imageSize = stride * height;
    std::vector<uint8_t> out(offset + imageSize, 0);
    auto put16 = [&out](size_t at, uint32_t v)
    {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&out](size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, offset);
    put32(14, headerSize);
    put32(18, width);
    put32(22, height);
    put16(26, 1);
    put16(28, bytes * 8);
    put32(30, alpha ? 3 : 0);
    put32(34, imageSize);
    put32(38, 2835); // 72 dpi
    put32(42, 2835);
    if (alpha)
    {
        put32(54, 0x00FF0000u);
        put32(58, 0x0000FF00u);
        put32(62, 0x000000FFu);
        put32(66, 0xFF000000u);
        put32(70, 0x73524742u); // "sRGB"
    }
    for (UINT y = 0; y < height; ++y)
    {
        uint8_t* row = out.data() + offset + static_cast<size_t>(height - 1 - y) * stride;
        for (UINT x = 0; x < width; ++x)
        {
            uint32_t v = argb[static_cast<size_t>(y) * width + x];
            row[x * bytes] = static_cast<uint8_t>(v);
            row[x * bytes + 1] = static_cast<uint8_t>(v >> 8);
            row[x * bytes + 2] = static_cast<uint8_t>(v >> 16);
            if (alpha)
                row[x * bytes + 3] = static_cast<uint8_t>(v >> 24);
        }
    }
    return out;
}

bool EncodePng(const std::vector<uint32_t>& argb, UINT width, UINT height, bool alpha,
               std::vector<uint8_t>& out)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    const void* pixels = argb.data();
    std::vector<uint8_t> bgr;
    if (!alpha)
    {
        bgr.reserve(argb.size() * 3);
        for (uint32_t t : argb)
        {
            bgr.push_back(static_cast<uint8_t>(t));
            bgr.push_back(static_cast<uint8_t>(t >> 8));
            bgr.push_back(static_cast<uint8_t>(t >> 16));
        }
        pixels = bgr.data();
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr))
        return false;
    out.resize(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, pixels, 0, nullptr))
        return false;
    out.resize(size);
    return true;
}
} // namespace D3DXImage
