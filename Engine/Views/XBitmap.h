// A block of pixels with its size, bit depth and packed pixel-format code, saved to a stream as an
// uncompressed BMP or as a JPEG.
//
// Format code (u32): bits 0-3 the blue bits, 4-7 the bytes per pixel, 8-15 the green bits, 16-23
// the red bits, 24-27 the alpha bits, 28-31 the layout index. The row converter reads only the
// layout index and the bytes per pixel. Layouts, as in memory:
//   0 A8R8G8B8  bytes blue, green, red, alpha      0x08080848
//   1 R8G8B8    bytes blue, green, red             0x10080838
//   2 A4R4G4B4  word: blue 0-3, green 4-7, red 8-11, alpha 12-15
//   3 A1R5G5B5  word: blue 0-4, green 5-9, red 10-14, alpha 15   0x31050525
//   4 R5G6B5    word: blue 0-4, green 5-10, red 11-15            0x40050625
//   5 RGB       bytes red, green, blue (JPEG scan lines)         0x50080838
//
// Failures are thrown as plain narrow texts, which handlers of class-library exceptions do not
// catch: "Invalid pixel format.", "Bitmap is empty.", "Bitmap is too large.", "Stream writing
// error." and the unsupported-type text; an error of the JPEG library other than a failed write
// comes as an XException with the library's message. Every check is made before the first byte
// is written.
#pragma once

#include <cstdint>

class XStream;

// What a picture is saved as.
enum XBitmapSourceType : uint32_t
{
    bstBMP = 1,
    bstJPEG = 2,
};

struct XJpegParams
{
    int quality;          // 0-100
    uint8_t forceBaseline; // limit the quantisation tables to 8 bits
};

class XBitmap
{
public:
    static constexpr uint32_t FormatA8R8G8B8 = 0x08080848;
    static constexpr uint32_t FormatR8G8B8 = 0x10080838;
    static constexpr uint32_t FormatA1R5G5B5 = 0x31050525;
    static constexpr uint32_t FormatR5G6B5 = 0x40050625;
    static constexpr uint32_t FormatRGB = 0x50080838;

    XBitmap() = default;
    virtual ~XBitmap();
    XBitmap(const XBitmap&) = delete;
    XBitmap& operator=(const XBitmap&) = delete;

    // Frees the pixels; width and height become 0, bit depth and code stay.
    void Clear();
    // Clears, then takes over `data` (allocated with new[]; freed by the bitmap from now on).
    void Set(uint8_t* data, uint32_t width, uint32_t height, uint8_t bitsPerPixel, uint32_t code);

    // bstBMP: a BMP with rows bottom-up as stored; bstJPEG: a JPEG at the library's defaults; any
    // other type throws the unsupported-type text before anything is written.
    void Save(XStream* stream, XBitmapSourceType type);
    // Rows padded to 4 bytes; the height is negated when the rows are stored top-down. R5G6B5 is
    // written with its bit fields (compression 3, three masks), every other layout uncompressed.
    void SaveBmp(XStream* stream, bool topDown);
    // Scan lines from the top, converted row by row; `params` sets quality and baseline.
    void SaveJpeg(XStream* stream, const XJpegParams* params = nullptr);

    // Converts `count` pixels; false (nothing written) when either layout index is 6 or more and
    // the codes differ. Equal codes copy the bytes.
    static bool ConvertRow(void* dst, uint32_t dstCode, const void* src, uint32_t srcCode, uint32_t count);
    static unsigned BytesPerPixel(uint32_t code) { return (code >> 4) & 0xF; }

    uint32_t GetWidth() const { return m_Width; }
    uint32_t GetHeight() const { return m_Height; }
    const uint8_t* GetData() const { return m_Data; }
    uint8_t GetBitsPerPixel() const { return m_BitsPerPixel; }
    uint32_t GetFormat() const { return m_Format; }

private:
    // The checks every save makes first.
    void CheckSavable() const;

    uint32_t m_Width = 0;
    uint32_t m_Height = 0;
    uint8_t* m_Data = nullptr;
    uint8_t m_BitsPerPixel = 32;
    uint32_t m_Format = FormatA8R8G8B8;
};
