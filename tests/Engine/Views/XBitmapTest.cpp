#include "Engine/Views/XBitmap.h"

#include "Components/XMemoryStream.h"
#include "tests/support/ByteData.h"
#include "tests/support/ImageDecoders.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

const char* const kUnsupported = "\xCD\xE5\xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xEC\xFB\xE9 "
                                  "\xF4\xEE\xF0\xEC\xE0\xF2 \xEF\xEE\xF2\xEE\xEA\xE0.";

uint32_t U16(const uint8_t* p)
{
    return p[0] | uint32_t(p[1]) << 8;
}

// w x h pixels of `bytes` bytes each, every byte a function of its place.
uint8_t* Pattern(uint32_t w, uint32_t h, unsigned bytes, uint32_t seed = 1)
{
    auto* data = new uint8_t[size_t(w) * h * bytes];
    for (size_t i = 0; i < size_t(w) * h * bytes; ++i)
        data[i] = static_cast<uint8_t>((i * 37 + seed * 101 + (i / bytes) * 13) & 0xFF);
    return data;
}

Bytes Saved(XBitmap& bitmap, XBitmapSourceType type)
{
    XMemoryStream stream(0, 8192);
    bitmap.Save(&stream, type);
    return StreamBytes(stream);
}

// The A8R8G8B8 pixel (x, y) of a top-down buffer as red, green, blue.
std::vector<int> Rgb32(const uint8_t* data, uint32_t w, uint32_t x, uint32_t y)
{
    const uint8_t* p = data + (size_t(y) * w + x) * 4;
    return {p[2], p[1], p[0]};
}

std::vector<int> Decoded(const DecodedImage& image, int x, int y)
{
    const uint8_t* p = &image.rgba[(size_t(y) * image.width + x) * 4];
    return {p[0], p[1], p[2]};
}

int MaxDifference(const std::vector<int>& a, const std::vector<int>& b)
{
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}
} // namespace

TEST(XBitmapTest, BmpHeadersRowsAndDecoding)
{
    // 32 bits: 54 header bytes, then the rows as stored; top-down negates the height.
    XBitmap bitmap;
    uint8_t* data = Pattern(5, 3, 4);
    bitmap.Set(data, 5, 3, 32, XBitmap::FormatA8R8G8B8);
    for (bool topDown : {false, true})
    {
        XMemoryStream stream(0, 8192);
        bitmap.SaveBmp(&stream, topDown);
        Bytes file = StreamBytes(stream);
        ASSERT_EQ(file.size(), 54u + 5 * 3 * 4);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(U32Bytes({ReadU32(&file[2]), ReadU32(&file[10]), ReadU32(&file[14]), ReadU32(&file[18]),
                            ReadU32(&file[22]), ReadU32(&file[26]), ReadU32(&file[30]), ReadU32(&file[34]),
                            ReadU32(&file[38]), ReadU32(&file[42]), ReadU32(&file[46]), ReadU32(&file[50])}),
                  U32Bytes({54 + 60, 54, 40, 5, topDown ? uint32_t(-3) : 3u, 1 | 32 << 16, 0, 60, 120, 120, 0, 0}));
        EXPECT_EQ(ReadU32(&file[6]), 0u);
        EXPECT_EQ(Bytes(file.begin() + 54, file.end()), Bytes(data, data + 60));
        DecodedImage image = DecodeWithStb(file);
        ASSERT_EQ(image.width, 5) << image.error;
        ASSERT_EQ(image.height, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(Decoded(image, x, y), Rgb32(data, 5, x, topDown ? y : 2 - y)) << x << "," << y;
    }
    EXPECT_EQ(Saved(bitmap, bstBMP), [&] {
        XMemoryStream s(0, 8192);
        bitmap.SaveBmp(&s, false);
        return StreamBytes(s);
    }());

    // 24 and 16 bits of an odd width: rows padded to 4 bytes, so that readers find every row.
    struct Case
    {
        uint32_t code;
        uint8_t bits;
        uint32_t offset, compression;
        int tolerance;
    };
    for (Case c : {Case{XBitmap::FormatR8G8B8, 24, 54, 0, 0}, Case{XBitmap::FormatA1R5G5B5, 16, 54, 0, 8},
                   Case{XBitmap::FormatR5G6B5, 16, 66, 3, 8}})
    {
        SCOPED_TRACE(c.code);
        const uint32_t w = 7, h = 3;
        uint8_t* source = Pattern(w, h, 4, c.code);
        uint8_t* pixels = new uint8_t[w * h * c.bits / 8];
        ASSERT_TRUE(XBitmap::ConvertRow(pixels, c.code, source, XBitmap::FormatA8R8G8B8, w * h));
        XBitmap b;
        b.Set(pixels, w, h, c.bits, c.code);
        Bytes file = Saved(b, bstBMP);
        const uint32_t padded = (w * c.bits / 8 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), c.offset + padded * h);
        EXPECT_EQ(ReadU32(&file[2]), file.size());
        EXPECT_EQ(ReadU32(&file[10]), c.offset);
        EXPECT_EQ(ReadU32(&file[30]), c.compression);
        EXPECT_EQ(ReadU32(&file[34]), padded * h);
        if (c.compression == 3)
        {
            EXPECT_EQ(U32Bytes({ReadU32(&file[54]), ReadU32(&file[58]), ReadU32(&file[62])}),
                      U32Bytes({0xF800, 0x07E0, 0x001F}));
        }
        DecodedImage image = DecodeWithStb(file);
        ASSERT_EQ(image.width, int(w)) << image.error;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                EXPECT_LE(MaxDifference(Decoded(image, x, y), Rgb32(source, w, x, h - 1 - y)), c.tolerance)
                    << x << "," << y;
        delete[] source;
    }
}

TEST(XBitmapTest, RowConversion)
{
    // A1R5G5B5 black with its alpha bit; R5G6B5 reads with full alpha; channel maxima widen to 255.
    struct Case
    {
        uint32_t code;
        Bytes in;
        Bytes argb; // blue, green, red, alpha
    };
    const Case cases[] = {
        {XBitmap::FormatA1R5G5B5, {0x00, 0x80}, {0, 0, 0, 255}},
        {XBitmap::FormatA1R5G5B5, {0xFF, 0x7F}, {255, 255, 255, 0}},
        {XBitmap::FormatR5G6B5, {0x00, 0x00}, {0, 0, 0, 255}},
        {XBitmap::FormatR5G6B5, {0xFF, 0xFF}, {255, 255, 255, 255}},
        {XBitmap::FormatR5G6B5, {0xE0, 0x07}, {0, 255, 0, 255}},
        {0x24040404u, {0x21, 0xF3}, {0x11, 0x22, 0x33, 0xFF}}, // A4R4G4B4
        {XBitmap::FormatR8G8B8, {1, 2, 3}, {1, 2, 3, 255}},
        {XBitmap::FormatRGB, {1, 2, 3}, {3, 2, 1, 255}},
    };
    for (const Case& c : cases)
    {
        Bytes out(4, 0xEE);
        ASSERT_TRUE(XBitmap::ConvertRow(out.data(), XBitmap::FormatA8R8G8B8, c.in.data(), c.code, 1));
        EXPECT_EQ(out, c.argb) << std::hex << c.code;
    }
    // Written: the top bits of each channel.
    const Bytes white = {0xFF, 0xFF, 0xFF, 0xFF}, colour = {0x78, 0x56, 0x34, 0x12};
    Bytes out(3);
    ASSERT_TRUE(XBitmap::ConvertRow(out.data(), XBitmap::FormatRGB, colour.data(), XBitmap::FormatA8R8G8B8, 1));
    EXPECT_EQ(out, (Bytes{0x34, 0x56, 0x78}));
    out.assign(2, 0);
    ASSERT_TRUE(XBitmap::ConvertRow(out.data(), XBitmap::FormatR5G6B5, colour.data(), XBitmap::FormatA8R8G8B8, 1));
    EXPECT_EQ(U16(out.data()), 0x32AFu);
    ASSERT_TRUE(XBitmap::ConvertRow(out.data(), XBitmap::FormatA1R5G5B5, white.data(), XBitmap::FormatA8R8G8B8, 1));
    EXPECT_EQ(U16(out.data()), 0xFFFFu);

    // Equal codes copy the bytes as they are, even of a layout the converter does not know.
    Bytes source = {1, 2, 3, 4, 5, 6, 7, 8}, copy(8);
    EXPECT_TRUE(XBitmap::ConvertRow(copy.data(), 0x60080848u, source.data(), 0x60080848u, 2));
    EXPECT_EQ(copy, source);
    // An unknown layout on either side converts nothing.
    Bytes untouched(8, 0xAB);
    EXPECT_FALSE(XBitmap::ConvertRow(untouched.data(), 0x60080848u, source.data(), XBitmap::FormatA8R8G8B8, 2));
    EXPECT_FALSE(XBitmap::ConvertRow(untouched.data(), XBitmap::FormatA8R8G8B8, source.data(), 0x70080848u, 2));
    EXPECT_EQ(untouched, Bytes(8, 0xAB));
    EXPECT_EQ(XBitmap::BytesPerPixel(0x40050625), 2u);
}

TEST(XBitmapTest, JpegIsTheLibrarysOwn)
{
    // Larger than the destination's 8 KiB buffer, so that full buffers are written on the way.
    const uint32_t w = 203, h = 121;
    uint8_t* data = Pattern(w, h, 4);
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (size_t i = 0; i < size_t(w) * h; ++i)
    {
        rgb[i * 3] = data[i * 4 + 2];
        rgb[i * 3 + 1] = data[i * 4 + 1];
        rgb[i * 3 + 2] = data[i * 4];
    }
    XBitmap bitmap;
    bitmap.Set(data, w, h, 32, XBitmap::FormatA8R8G8B8);
    const Bytes jpeg = Saved(bitmap, bstJPEG);
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);
    EXPECT_GT(jpeg.size(), 8192u);
    EXPECT_EQ(jpeg, CompressWithLibJpeg(rgb, w, h));
    XMemoryStream stream(0, 8192);
    XJpegParams params{90, 1};
    bitmap.SaveJpeg(&stream, &params);
    EXPECT_EQ(StreamBytes(stream), CompressWithLibJpeg(rgb, w, h, 90, true));
    EXPECT_NE(StreamBytes(stream), jpeg);

    // Every other layout gives the library's own file for the RGB rows it stands for: 3-byte
    // blue-first and RGB rows read as they stand, 16-bit rows converted (a height that is no
    // multiple of the 16-row blocks the rows go in).
    const uint32_t oh = 37;
    struct Case
    {
        uint32_t code;
        uint8_t bits;
    };
    for (const Case& c : {Case{XBitmap::FormatR8G8B8, 24}, Case{XBitmap::FormatRGB, 24},
                          Case{XBitmap::FormatR5G6B5, 16}, Case{XBitmap::FormatA1R5G5B5, 16}})
    {
        const unsigned bytes = c.bits / 8u;
        uint8_t* pixels = Pattern(w, oh, bytes, c.code & 0xFF);
        std::vector<uint8_t> rows(size_t(w) * oh * 3);
        for (uint32_t y = 0; y < oh; ++y)
            ASSERT_TRUE(XBitmap::ConvertRow(&rows[size_t(y) * w * 3], XBitmap::FormatRGB,
                                            pixels + size_t(y) * w * bytes, c.code, w));
        XBitmap other;
        other.Set(pixels, w, oh, c.bits, c.code);
        EXPECT_EQ(Saved(other, bstJPEG), CompressWithLibJpeg(rows, w, oh)) << std::hex << c.code;
    }

    // Flat 16 x 16 blocks come back within 4 a channel through both decoders (away from the block
    // edges, where the decoders' smooth chroma upsampling blends neighbours).
    const uint32_t bw = 160, bh = 96;
    auto* blocks = new uint8_t[bw * bh * 4];
    for (uint32_t y = 0; y < bh; ++y)
        for (uint32_t x = 0; x < bw; ++x)
        {
            uint32_t block = (y / 16) * 10 + x / 16;
            uint8_t* p = blocks + (y * bw + x) * 4;
            p[0] = static_cast<uint8_t>(block * 41);
            p[1] = static_cast<uint8_t>(block * 89 + 30);
            p[2] = static_cast<uint8_t>(255 - block * 23);
            p[3] = 0;
        }
    XBitmap flat;
    flat.Set(blocks, bw, bh, 32, XBitmap::FormatA8R8G8B8);
    const Bytes flatJpeg = Saved(flat, bstJPEG);
    for (const DecodedImage& image : {DecodeWithLibJpeg(flatJpeg), DecodeWithStb(flatJpeg)})
    {
        ASSERT_EQ(image.width, int(bw)) << image.error;
        ASSERT_EQ(image.height, int(bh));
        int worst = 0;
        for (uint32_t y = 0; y < bh; ++y)
            for (uint32_t x = 0; x < bw; ++x)
                if (x % 16 >= 2 && x % 16 < 14 && y % 16 >= 2 && y % 16 < 14)
                    worst = std::max(worst, MaxDifference(Decoded(image, x, y), Rgb32(blocks, bw, x, y)));
        EXPECT_LE(worst, 4);
    }
}

TEST(XBitmapTest, RefusesBeforeWritingAndFailsCleanly)
{
    testing::internal::CaptureStderr();
    // Empty: no data, or a side of 0; JPEG as BMP.
    XBitmap empty;
    for (XBitmapSourceType type : {bstBMP, bstJPEG})
    {
        XMemoryStream stream(0, 8192);
        EXPECT_EQ(ThrownText([&] { empty.Save(&stream, type); }), "Bitmap is empty.");
        empty.Set(new uint8_t[4], 1, 0, 32, XBitmap::FormatA8R8G8B8);
        EXPECT_EQ(ThrownText([&] { empty.Save(&stream, type); }), "Bitmap is empty.");
        empty.Clear();
        EXPECT_EQ(stream.GetSize(), 0);
    }
    // Codes and depths that disagree; a layout that BMP does not store; unknown types.
    struct Bad
    {
        uint32_t code;
        uint8_t bits;
        bool jpegToo;
    };
    for (Bad bad : {Bad{0x60080838, 24, true}, Bad{0x08080838, 24, true}, Bad{0x08080848, 24, true},
                    Bad{0x24040424, 16, false}, Bad{XBitmap::FormatRGB, 24, false}})
    {
        XBitmap bitmap;
        bitmap.Set(new uint8_t[64], 2, 2, bad.bits, bad.code);
        XMemoryStream stream(0, 8192);
        EXPECT_EQ(ThrownText([&] { bitmap.Save(&stream, bstBMP); }), "Invalid pixel format.") << std::hex << bad.code;
        if (bad.jpegToo)
        {
            EXPECT_EQ(ThrownText([&] { bitmap.Save(&stream, bstJPEG); }), "Invalid pixel format.");
        }
        EXPECT_EQ(stream.GetSize(), 0);
    }
    XBitmap bitmap;
    bitmap.Set(Pattern(64, 48, 4), 64, 48, 32, XBitmap::FormatA8R8G8B8);
    for (uint32_t type : {0u, 3u, 99u})
    {
        XMemoryStream stream(0, 8192);
        EXPECT_EQ(ThrownText([&] { bitmap.Save(&stream, static_cast<XBitmapSourceType>(type)); }), kUnsupported);
        EXPECT_EQ(stream.GetSize(), 0);
    }
    // Past the 32-bit size fields.
    XBitmap huge;
    huge.Set(new uint8_t[4], 40000, 40000, 32, XBitmap::FormatA8R8G8B8);
    XMemoryStream hugeStream(0, 8192);
    EXPECT_EQ(ThrownText([&] { huge.Save(&hugeStream, bstBMP); }), "Bitmap is too large.");
    EXPECT_EQ(hugeStream.GetSize(), 0);

    // A stream that takes only k bytes, for every k short of the whole file.
    for (XBitmapSourceType type : {bstBMP, bstJPEG})
    {
        const size_t whole = Saved(bitmap, type).size();
        for (size_t k = 0; k < whole; ++k)
        {
            LimitedStream full(static_cast<unsigned>(k));
            ASSERT_EQ(ThrownText([&] { bitmap.Save(&full, type); }), "Stream writing error.") << type << " " << k;
        }
    }
    // A JPEG longer than the destination's buffer fails when a full buffer cannot be written too.
    XBitmap large;
    large.Set(Pattern(203, 121, 4), 203, 121, 32, XBitmap::FormatA8R8G8B8);
    const size_t largeSize = Saved(large, bstJPEG).size();
    ASSERT_GT(largeSize, 8192u);
    for (size_t k : {size_t(0), size_t(8191), size_t(8192), size_t(8193), largeSize - 1})
    {
        LimitedStream full(static_cast<unsigned>(k));
        EXPECT_EQ(ThrownText([&] { large.Save(&full, bstJPEG); }), "Stream writing error.") << k;
    }
    // A side past the library's limit: its own message.
    XBitmap wide;
    wide.Set(Pattern(65536, 1, 4), 65536, 1, 32, XBitmap::FormatA8R8G8B8);
    XMemoryStream wideStream(0, 8192);
    const std::string expected = LibJpegErrorFor(65536, 1);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ThrownMessage([&] { wide.Save(&wideStream, bstJPEG); }), Platform::FromUtf8(expected));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
