// Pixel layouts of the software device: sizes and pitches of every format it stores, and
// conversion of texels to and from 32-bit A8R8G8B8. Shared by the device, its rasteriser and
// the image library, so that all read a format the same way.
#pragma once

#include "Platform/D3D9/D3D9.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Soft9
{
// Bytes of one texel of an uncompressed format; 0 for block-compressed and unknown formats.
UINT BytesPerTexel(D3DFORMAT format);
// Bytes of one 4 x 4 block of a DXT format (8 or 16); 0 for other formats.
UINT BlockBytes(D3DFORMAT format);
inline bool IsCompressed(D3DFORMAT format)
{
    return BlockBytes(format) != 0;
}
bool IsDepthFormat(D3DFORMAT format);
// Formats a texture, an offscreen surface or a render target may have on this device. R8G8B8 is
// not among them: writers that take its texels as four bytes would overrun its rows.
bool IsTextureFormat(D3DFORMAT format);
// Formats ReadTexel and WriteTexel understand (every uncompressed texture format).
bool IsConvertible(D3DFORMAT format);

// Bytes from one row (of texels, or of blocks) to the next: packed, without padding, so that a
// level of a texture is one contiguous block of RowPitch x RowCount bytes.
UINT RowPitch(D3DFORMAT format, UINT width);
UINT RowCount(D3DFORMAT format, UINT height);
inline size_t LevelBytes(D3DFORMAT format, UINT width, UINT height)
{
    return static_cast<size_t>(RowPitch(format, width)) * RowCount(format, height);
}
// Levels of a full chain down to 1 x 1.
UINT FullMipCount(UINT width, UINT height);

// One texel of an uncompressed format as A8R8G8B8 (formats without alpha read as opaque); and
// back, rounding each channel to the format's width.
uint32_t ReadTexel(D3DFORMAT format, const uint8_t* texel);
void WriteTexel(D3DFORMAT format, uint8_t* texel, uint32_t argb);

// Copies one texel of `bpp` bytes into each texel of the rectangle [x1, x2) x [y1, y2) of a level
// whose rows are `pitch` bytes apart.
void FillTexels(uint8_t* bits, size_t pitch, UINT bpp, const uint8_t* texel, UINT x1, UINT y1, UINT x2,
                UINT y2);

// The 16 texels of one DXT1/2/3/4/5 block, row by row, as A8R8G8B8.
void DecodeBlock(D3DFORMAT format, const uint8_t* block, uint32_t texels[16]);

// A whole level (rows `pitch` bytes apart) as width x height A8R8G8B8 texels, top row first.
// False for a format that cannot be read.
bool LevelToArgb(D3DFORMAT format, const uint8_t* bits, size_t pitch, UINT width, UINT height,
                 std::vector<uint32_t>& argb);
// Writes width x height A8R8G8B8 texels into a level of an uncompressed format.
bool ArgbToLevel(const uint32_t* argb, UINT width, UINT height, D3DFORMAT format, uint8_t* bits,
                 size_t pitch);
} // namespace Soft9

namespace Soft9
{
// Bytes of one vertex of a flexible vertex format; 0 when the format has no position the device
// can transform (or reserved bits set).
UINT FvfVertexSize(DWORD fvf);
} // namespace Soft9
