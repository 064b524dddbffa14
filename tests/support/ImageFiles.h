// Seeded image files built by writers of their own (libpng and libjpeg for the compressed kinds),
// independent of the image library under test.
#pragma once

#include <cstdint>
#include <vector>

namespace ImageFiles
{
// width x height A8R8G8B8 texels, top row first, from a seed; `alpha` varies the alpha too.
std::vector<uint32_t> RandomTexels(uint32_t width, uint32_t height, uint32_t seed, bool alpha);

// Uncompressed bitmap of 1, 4, 8 (palette: the texels must have at most 2^bits distinct colours),
// 16 (X1R5G5B5), 24 or 32 bits, bottom-up rows padded to four bytes.
std::vector<uint8_t> Bmp(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, int bits);
// Truecolour targa of 24 or 32 bits, bottom-up, optionally run-length encoded.
std::vector<uint8_t> Tga(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, int bits,
                         bool rle);
// DDS with `levels` levels of seeded blocks of a DXT format (four-character code such as "DXT1").
std::vector<uint8_t> DdsDxt(const char* fourCC, uint32_t width, uint32_t height, uint32_t levels,
                            uint32_t seed);
// DDS holding one level of A8R8G8B8 texels.
std::vector<uint8_t> DdsArgb(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height);
std::vector<uint8_t> Png(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, bool alpha);
std::vector<uint8_t> Jpeg(const std::vector<uint32_t>& texels, uint32_t width, uint32_t height, int quality);
} // namespace ImageFiles
