// Image files in memory: DDS, BMP, TGA, PNG and JPEG read; BMP and PNG written. Internal to the
// D3DX library. Every size in a file is checked against its bytes before use.
#pragma once

#include "Platform/D3DX/D3DX9.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace D3DXImage
{
constexpr UINT MaxSide = 16384;

struct Image
{
    D3DXIMAGE_INFO info{};
    // Either the texels of the top level as A8R8G8B8 (row after row) ...
    std::vector<uint32_t> argb;
    // ... or, for DDS, every level as stored, in info.Format (RowPitch-packed rows).
    std::vector<std::vector<uint8_t>> levels;
};

// Reads what the file holds; with `headerOnly` only `info` is filled. D3DXERR_INVALIDDATA for
// anything that is not a complete, supported image.
HRESULT Decode(const uint8_t* data, size_t size, bool headerOnly, Image& image);

// Files of A8R8G8B8 texels (top row first); `alpha` keeps the alpha channel.
std::vector<uint8_t> EncodeBmp(const std::vector<uint32_t>& argb, UINT width, UINT height, bool alpha);
bool EncodePng(const std::vector<uint32_t>& argb, UINT width, UINT height, bool alpha,
               std::vector<uint8_t>& out);
} // namespace D3DXImage
