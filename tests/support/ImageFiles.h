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

// A PNG written sample by sample: `samples` holds width x height x channels values of `depth` bits
// (channels from the colour type: grey 1, grey+alpha 2, RGB 3, RGBA 4, palette 1 index), rows
// interlaced when asked, with a gAMA chunk of `gamma` (1/100000 units) unless it is 0, and the
// palette and tRNS given (palette: 0x00RRGGBB; tRNS: alpha bytes for palette files, one sample per
// channel for grey and RGB files).
struct PngSpec
{
    int colourType = Rgb;
    int depth = 8;
    bool interlaced = false;
    uint32_t gamma = 0;
    std::vector<uint32_t> palette;
    std::vector<uint16_t> transparency;
    static constexpr int Grey = 0, Rgb = 2, Palette = 3,
                         GreyAlpha = 4, Rgba = 6;
};
std::vector<uint8_t> PngSamples(const std::vector<uint16_t>& samples, uint32_t width, uint32_t height,
                                const PngSpec& spec);

// A run-length encoded bitmap (8 or 4 bits) of palette indices, top row first: runs of equal
// indices, literal stretches, moves over stretches of index 0 longer than three pixels, and rows
// ended early when only index 0 is left. The palette holds 0x00RRGGBB colours.
std::vector<uint8_t> BmpRle(const std::vector<uint8_t>& indices, const std::vector<uint32_t>& palette,
                            uint32_t width, uint32_t height, int bits);

// A four-channel JPEG of stored C, M, Y, K bytes (the Adobe marker written, as its writers do), in
// YCCK when asked.
std::vector<uint8_t> JpegCmyk(const std::vector<uint8_t>& cmyk, uint32_t width, uint32_t height, bool ycck);
} // namespace ImageFiles
