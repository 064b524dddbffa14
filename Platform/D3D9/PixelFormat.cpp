#include "Platform/D3D9/PixelFormat.h"

#include <algorithm>
#include <cstring>

namespace Soft9
{
namespace
{
uint32_t Load(const uint8_t* p, UINT bytes)
{
    uint32_t v = 0;
    for (UINT i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

void Store(uint8_t* p, UINT bytes, uint32_t v)
{
    for (UINT i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Widens a channel of `bits` bits to 8 by replicating its high bits.
uint32_t Widen(uint32_t value, unsigned bits)
{
    if (bits == 0)
        return 0xFF;
    value &= (1u << bits) - 1;
    uint32_t out = 0;
    int shift = 8 - static_cast<int>(bits);
    while (shift > -static_cast<int>(bits))
    {
        out |= shift >= 0 ? value << shift : value >> -shift;
        shift -= static_cast<int>(bits);
    }
    return out & 0xFF;
}

// Narrows an 8-bit channel to `bits` bits with rounding.
uint32_t Narrow(uint32_t value8, unsigned bits)
{
    uint32_t max = (1u << bits) - 1;
    return (value8 * max + 127) / 255;
}

struct Layout
{
    unsigned aBits, aShift, rBits, rShift, gBits, gShift, bBits, bShift;
};

// Packed RGB layouts; a format with no alpha bits reads as opaque.
bool PackedLayout(D3DFORMAT format, Layout& l)
{
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
        l = {8, 24, 8, 16, 8, 8, 8, 0};
        return true;
    case D3DFMT_X8R8G8B8:
        l = {0, 24, 8, 16, 8, 8, 8, 0};
        return true;
    case D3DFMT_A8B8G8R8:
        l = {8, 24, 8, 0, 8, 8, 8, 16};
        return true;
    case D3DFMT_X8B8G8R8:
        l = {0, 24, 8, 0, 8, 8, 8, 16};
        return true;
    case D3DFMT_R5G6B5:
        l = {0, 16, 5, 11, 6, 5, 5, 0};
        return true;
    case D3DFMT_X1R5G5B5:
        l = {0, 15, 5, 10, 5, 5, 5, 0};
        return true;
    case D3DFMT_A1R5G5B5:
        l = {1, 15, 5, 10, 5, 5, 5, 0};
        return true;
    case D3DFMT_A4R4G4B4:
        l = {4, 12, 4, 8, 4, 4, 4, 0};
        return true;
    case D3DFMT_X4R4G4B4:
        l = {0, 12, 4, 8, 4, 4, 4, 0};
        return true;
    case D3DFMT_R3G3B2:
        l = {0, 8, 3, 5, 3, 2, 2, 0};
        return true;
    case D3DFMT_A8R3G3B2:
        l = {8, 8, 3, 5, 3, 2, 2, 0};
        return true;
    case D3DFMT_A2R10G10B10:
        l = {2, 30, 10, 20, 10, 10, 10, 0};
        return true;
    case D3DFMT_A2B10G10R10:
        l = {2, 30, 10, 0, 10, 10, 10, 20};
        return true;
    case D3DFMT_R8G8B8:
        l = {0, 24, 8, 16, 8, 8, 8, 0};
        return true;
    default:
        return false;
    }
}

uint32_t Channel(uint32_t v, unsigned bits, unsigned shift)
{
    return bits ? Widen(v >> shift, bits) : 0;
}

uint32_t Rgb565(uint16_t c)
{
    return (Widen(c >> 11, 5) << 16) | (Widen(c >> 5, 6) << 8) | Widen(c, 5);
}

uint32_t Mix(uint32_t a, uint32_t b, unsigned wa, unsigned wb, unsigned div)
{
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8)
    {
        uint32_t ca = (a >> s) & 0xFF;
        uint32_t cb = (b >> s) & 0xFF;
        out |= ((ca * wa + cb * wb + div / 2) / div) << s;
    }
    return out;
}
} // namespace

UINT BytesPerTexel(D3DFORMAT format)
{
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_G16R16:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_INDEX32:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A8L8:
    case D3DFMT_L16:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_INDEX16:
        return 2;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
    case D3DFMT_P8:
        return 1;
    case D3DFMT_A16B16G16R16:
        return 8;
    default:
        return 0;
    }
}

UINT BlockBytes(D3DFORMAT format)
{
    switch (format)
    {
    case D3DFMT_DXT1:
        return 8;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return 16;
    default:
        return 0;
    }
}

bool IsDepthFormat(D3DFORMAT format)
{
    switch (format)
    {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
        return true;
    default:
        return false;
    }
}

bool IsConvertible(D3DFORMAT format)
{
    Layout l;
    if (PackedLayout(format, l))
        return true;
    switch (format)
    {
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A8L8:
    case D3DFMT_A4L4:
    case D3DFMT_L16:
    case D3DFMT_G16R16:
    case D3DFMT_A16B16G16R16:
        return true;
    default:
        return false;
    }
}

bool IsTextureFormat(D3DFORMAT format)
{
    if (format == D3DFMT_R8G8B8)
        return false;
    return IsConvertible(format) || IsCompressed(format);
}

UINT RowPitch(D3DFORMAT format, UINT width)
{
    if (UINT block = BlockBytes(format))
        return std::max(1u, (width + 3) / 4) * block;
    return width * BytesPerTexel(format);
}

UINT RowCount(D3DFORMAT format, UINT height)
{
    if (IsCompressed(format))
        return std::max(1u, (height + 3) / 4);
    return height;
}

UINT FullMipCount(UINT width, UINT height)
{
    UINT levels = 1;
    UINT size = std::max(width, height);
    while (size > 1)
    {
        size >>= 1;
        ++levels;
    }
    return levels;
}

uint32_t ReadTexel(D3DFORMAT format, const uint8_t* texel)
{
    Layout l;
    if (PackedLayout(format, l))
    {
        uint32_t v = Load(texel, BytesPerTexel(format));
        uint32_t a = l.aBits ? Widen(v >> l.aShift, l.aBits) : 0xFF;
        return (a << 24) | (Channel(v, l.rBits, l.rShift) << 16) | (Channel(v, l.gBits, l.gShift) << 8) |
               Channel(v, l.bBits, l.bShift);
    }
    switch (format)
    {
    case D3DFMT_A8:
        return static_cast<uint32_t>(texel[0]) << 24;
    case D3DFMT_L8:
        return 0xFF000000u | texel[0] * 0x010101u;
    case D3DFMT_A8L8:
        return (static_cast<uint32_t>(texel[1]) << 24) | texel[0] * 0x010101u;
    case D3DFMT_A4L4:
        return (Widen(texel[0] >> 4, 4) << 24) | Widen(texel[0], 4) * 0x010101u;
    case D3DFMT_L16:
        return 0xFF000000u | texel[1] * 0x010101u;
    case D3DFMT_G16R16:
        return 0xFF000000u | (static_cast<uint32_t>(texel[1]) << 16) |
               (static_cast<uint32_t>(texel[3]) << 8) | 0xFF;
    case D3DFMT_A16B16G16R16:
        return (static_cast<uint32_t>(texel[7]) << 24) | (static_cast<uint32_t>(texel[1]) << 16) |
               (static_cast<uint32_t>(texel[3]) << 8) | texel[5];
    default:
        return 0;
    }
}

void WriteTexel(D3DFORMAT format, uint8_t* texel, uint32_t argb)
{
    uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    Layout l;
    if (PackedLayout(format, l))
    {
        uint32_t v = (Narrow(r, l.rBits) << l.rShift) | (Narrow(g, l.gBits) << l.gShift) |
                     (Narrow(b, l.bBits) << l.bShift);
        if (l.aBits)
            v |= Narrow(a, l.aBits) << l.aShift;
        else if (l.aShift < 32 && BytesPerTexel(format) * 8 > l.aShift)
            v |= (0xFFFFFFFFu >> (32 - (BytesPerTexel(format) * 8 - l.aShift))) << l.aShift; // X bits set
        Store(texel, BytesPerTexel(format), v);
        return;
    }
    uint32_t lum = (r * 77 + g * 150 + b * 29 + 128) >> 8;
    switch (format)
    {
    case D3DFMT_A8:
        texel[0] = static_cast<uint8_t>(a);
        break;
    case D3DFMT_L8:
        texel[0] = static_cast<uint8_t>(lum);
        break;
    case D3DFMT_A8L8:
        texel[0] = static_cast<uint8_t>(lum);
        texel[1] = static_cast<uint8_t>(a);
        break;
    case D3DFMT_A4L4:
        texel[0] = static_cast<uint8_t>((Narrow(a, 4) << 4) | Narrow(lum, 4));
        break;
    case D3DFMT_L16:
        Store(texel, 2, lum * 257);
        break;
    case D3DFMT_G16R16:
        Store(texel, 4, (r * 257) | ((g * 257) << 16));
        break;
    case D3DFMT_A16B16G16R16:
        Store(texel, 2, r * 257);
        Store(texel + 2, 2, g * 257);
        Store(texel + 4, 2, b * 257);
        Store(texel + 6, 2, a * 257);
        break;
    default:
        break;
    }
}

void FillTexels(uint8_t* bits, size_t pitch, UINT bpp, const uint8_t* texel, UINT x1, UINT y1, UINT x2,
                UINT y2)
{
    if (bpp == 0 || x1 >= x2 || y1 >= y2)
        return;
    // The first row is built in place and copied to the others.
    uint8_t* first = bits + static_cast<size_t>(y1) * pitch + static_cast<size_t>(x1) * bpp;
    const size_t bytes = static_cast<size_t>(x2 - x1) * bpp;
    for (size_t i = 0; i < bytes; i += bpp)
        std::memcpy(first + i, texel, bpp);
    for (UINT y = y1 + 1; y < y2; ++y)
        std::memcpy(first + static_cast<size_t>(y - y1) * pitch, first, bytes);
}

void DecodeBlock(D3DFORMAT format, const uint8_t* block, uint32_t texels[16])
{
    const uint8_t* colour = format == D3DFMT_DXT1 ? block : block + 8;
    uint16_t c0 = static_cast<uint16_t>(colour[0] | (colour[1] << 8));
    uint16_t c1 = static_cast<uint16_t>(colour[2] | (colour[3] << 8));
    uint32_t palette[4];
    palette[0] = Rgb565(c0) | 0xFF000000u;
    palette[1] = Rgb565(c1) | 0xFF000000u;
    if (format != D3DFMT_DXT1 || c0 > c1)
    {
        palette[2] = Mix(palette[0], palette[1], 2, 1, 3) | 0xFF000000u;
        palette[3] = Mix(palette[0], palette[1], 1, 2, 3) | 0xFF000000u;
    }
    else
    {
        palette[2] = Mix(palette[0], palette[1], 1, 1, 2) | 0xFF000000u;
        palette[3] = 0; // transparent black
    }
    uint32_t indices = Load(colour + 4, 4);
    for (int i = 0; i < 16; ++i)
        texels[i] = palette[(indices >> (2 * i)) & 3];

    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3)
    {
        for (int i = 0; i < 16; ++i)
        {
            uint32_t a = (block[i / 2] >> ((i & 1) * 4)) & 0xF;
            texels[i] = (texels[i] & 0x00FFFFFFu) | (Widen(a, 4) << 24);
        }
    }
    else if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5)
    {
        uint32_t a0 = block[0], a1 = block[1];
        uint32_t alpha[8] = {a0, a1};
        if (a0 > a1)
            for (uint32_t k = 1; k < 7; ++k)
                alpha[k + 1] = ((7 - k) * a0 + k * a1 + 3) / 7;
        else
        {
            for (uint32_t k = 1; k < 5; ++k)
                alpha[k + 1] = ((5 - k) * a0 + k * a1 + 2) / 5;
            alpha[6] = 0;
            alpha[7] = 255;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i)
            texels[i] = (texels[i] & 0x00FFFFFFu) | (alpha[(bits >> (3 * i)) & 7] << 24);
    }
}

bool LevelToArgb(D3DFORMAT format, const uint8_t* bits, size_t pitch, UINT width, UINT height,
                 std::vector<uint32_t>& argb)
{
    argb.assign(static_cast<size_t>(width) * height, 0);
    if (UINT blockBytes = BlockBytes(format))
    {
        uint32_t texels[16];
        for (UINT by = 0; by < RowCount(format, height); ++by)
            for (UINT bx = 0; bx < std::max(1u, (width + 3) / 4); ++bx)
            {
                DecodeBlock(format, bits + by * pitch + bx * blockBytes, texels);
                for (UINT y = 0; y < 4; ++y)
                    for (UINT x = 0; x < 4; ++x)
                    {
                        UINT px = bx * 4 + x, py = by * 4 + y;
                        if (px < width && py < height)
                            argb[static_cast<size_t>(py) * width + px] = texels[y * 4 + x];
                    }
            }
        return true;
    }
    if (!IsConvertible(format))
        return false;
    UINT bpp = BytesPerTexel(format);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            argb[static_cast<size_t>(y) * width + x] = ReadTexel(format, bits + y * pitch + x * bpp);
    return true;
}

bool ArgbToLevel(const uint32_t* argb, UINT width, UINT height, D3DFORMAT format, uint8_t* bits, size_t pitch)
{
    if (!IsConvertible(format))
        return false;
    UINT bpp = BytesPerTexel(format);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            WriteTexel(format, bits + y * pitch + x * bpp, argb[static_cast<size_t>(y) * width + x]);
    return true;
}
} // namespace Soft9

namespace Soft9
{
UINT FvfVertexSize(DWORD fvf)
{
    if (fvf & (D3DFVF_RESERVED0 | D3DFVF_RESERVED2))
        return 0;
    UINT size;
    switch (fvf & D3DFVF_POSITION_MASK)
    {
    case D3DFVF_XYZ:
        size = 12;
        break;
    case D3DFVF_XYZRHW:
    case D3DFVF_XYZW:
    case D3DFVF_XYZB1:
        size = 16;
        break;
    case D3DFVF_XYZB2:
        size = 20;
        break;
    case D3DFVF_XYZB3:
        size = 24;
        break;
    case D3DFVF_XYZB4:
        size = 28;
        break;
    case D3DFVF_XYZB5:
        size = 32;
        break;
    default:
        return 0;
    }
    if (fvf & D3DFVF_NORMAL)
        size += 12;
    if (fvf & D3DFVF_PSIZE)
        size += 4;
    if (fvf & D3DFVF_DIFFUSE)
        size += 4;
    if (fvf & D3DFVF_SPECULAR)
        size += 4;
    UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8)
        return 0;
    static constexpr UINT floatsBySizeCode[4] = {2, 3, 4, 1};
    for (UINT i = 0; i < sets; ++i)
        size += 4 * floatsBySizeCode[(fvf >> (16 + 2 * i)) & 3];
    return size;
}
} // namespace Soft9
