#include "Engine/Views/Bmputils.h"

#include "Components/XMemoryStream.h"
#include "tests/support/ByteData.h"
#include "tests/support/ImageDecoders.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// Pixels of `format` as little-endian words.
Bytes Words(XColorFormat format, std::initializer_list<uint32_t> words)
{
    const unsigned size = GetColorFormatSize(format);
    Bytes out;
    for (uint32_t w : words)
        for (unsigned i = 0; i < size; ++i)
            out.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return out;
}

uint32_t Word(const Bytes& bytes, unsigned size, size_t index)
{
    uint32_t w = 0;
    for (unsigned i = 0; i < size; ++i)
        w |= uint32_t(bytes[index * size + i]) << (8 * i);
    return w;
}

uint32_t ToArgb(XColorFormat source, uint32_t word)
{
    Bytes in = Words(source, {word}), out(4);
    ConvertBitmap(XCF_A8R8G8B8, out.data(), source, in.data(), 1, 1);
    return Word(out, 4, 0);
}

uint32_t FromArgb(XColorFormat target, uint32_t argb)
{
    Bytes in = Words(XCF_A8R8G8B8, {argb}), out(GetColorFormatSize(target));
    ConvertBitmap(target, out.data(), XCF_A8R8G8B8, in.data(), 1, 1);
    return Word(out, GetColorFormatSize(target), 0);
}
} // namespace

TEST(BmputilsTest, SizesAndConversions)
{
    std::vector<unsigned> sizes;
    for (uint32_t f = 0; f <= 9; ++f)
        sizes.push_back(GetColorFormatSize(static_cast<XColorFormat>(f)));
    EXPECT_EQ(sizes, (std::vector<unsigned>{2, 2, 2, 2, 2, 2, 3, 4, 4, 0}));

    // Reading widens each channel; the layouts without alpha bits read as the Part of the word says.
    EXPECT_EQ(ToArgb(XCF_R5G6B5, 0xFFFF), 0x00FFFFFFu);
    EXPECT_EQ(ToArgb(XCF_R8G8B8, 0xFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(ToArgb(XCF_R8G8B8, 0x123456), 0xFF123456u); // bytes 56 34 12: blue first
    EXPECT_EQ(ToArgb(XCF_R5G6B5, 0x001F), 0x000000FFu);      // 5 bits of 31
    EXPECT_EQ(ToArgb(XCF_R5G6B5, 0x07E0), 0x0000FF00u);      // 6 bits of 63
    EXPECT_EQ(ToArgb(XCF_A4R4G4B4, 0xF000), 0xFF000000u);    // 4 bits of 15
    EXPECT_EQ(ToArgb(XCF_X1R5G5B5, 0x8000), 0xFF000000u);    // the alpha bit, also of the X form
    EXPECT_EQ(ToArgb(XCF_A8R3G3B2, 0x80FF), 0x81FFFFFFu);    // alpha 128 reads 129
    EXPECT_EQ(ToArgb(XCF_X8R8G8B8, 0x12345678), 0x12345678u);
    // Writing keeps the top bits.
    EXPECT_EQ(FromArgb(XCF_R5G6B5, 0x12345678), 0x32AFu);
    EXPECT_EQ(FromArgb(XCF_A4R4G4B4, 0x12345678), 0x1357u);
    EXPECT_EQ(FromArgb(XCF_A8R3G3B2, 0x12345678), 0x1229u);
    EXPECT_EQ(FromArgb(XCF_X1R5G5B5, 0x12345678), 0x194Fu);
    EXPECT_EQ(FromArgb(XCF_R8G8B8, 0x12345678), 0x345678u);
    // Every layout's own maxima survive a trip through 32 bits.
    for (uint32_t f = 0; f <= 8; ++f)
    {
        const auto format = static_cast<XColorFormat>(f);
        const uint32_t all = GetColorFormatSize(format) == 2 ? 0xFFFF : GetColorFormatSize(format) == 3 ? 0xFFFFFF : 0xFFFFFFFF;
        const uint32_t back = FromArgb(format, ToArgb(format, all));
        EXPECT_EQ(back, f == 0 ? 0xFFFFu : all) << f;
    }

    Bytes any(8);
    EXPECT_EQ(ThrownMessage([&] { ConvertBitmap(static_cast<XColorFormat>(9), any.data(), XCF_R5G6B5, any.data(), 1, 1); }),
              u"Invalid output bitmap format.");
    EXPECT_EQ(ThrownMessage([&] { ConvertBitmap(XCF_R5G6B5, any.data(), static_cast<XColorFormat>(9), any.data(), 1, 1); }),
              u"Invalid input bitmap format.");

    XColorFormat mapped{};
    EXPECT_TRUE(GetColorFormatOf(22, mapped));
    EXPECT_EQ(mapped, XCF_X8R8G8B8);
    EXPECT_TRUE(GetColorFormatOf(29, mapped));
    EXPECT_EQ(mapped, XCF_A8R3G3B2);
    EXPECT_FALSE(GetColorFormatOf(32, mapped));
}

TEST(BmputilsTest, Flips)
{
    for (XColorFormat format : {XCF_R5G6B5, XCF_R8G8B8, XCF_A8R8G8B8})
    {
        SCOPED_TRACE(format);
        const unsigned size = GetColorFormatSize(format);
        // 3 x 3 pixels numbered 1..9, top row first.
        const Bytes image = Words(format, {1, 2, 3, 4, 5, 6, 7, 8, 9});
        struct Case
        {
            uint8_t mode;
            std::vector<uint32_t> expected;
        };
        for (const Case& c : {Case{0, {7, 8, 9, 4, 5, 6, 1, 2, 3}}, Case{1, {3, 2, 1, 6, 5, 4, 9, 8, 7}},
                              Case{2, {9, 8, 7, 6, 5, 4, 3, 2, 1}}, Case{3, {1, 2, 3, 4, 5, 6, 7, 8, 9}}})
        {
            Bytes data = image;
            FlipBitmap(c.mode, format, data.data(), 3, 3);
            std::vector<uint32_t> got;
            for (size_t i = 0; i < 9; ++i)
                got.push_back(Word(data, size, i));
            EXPECT_EQ(got, c.expected) << int(c.mode);
        }
        // An even height: every row changes place.
        Bytes two = Words(format, {1, 2, 3, 4});
        FlipBitmap(0, format, two.data(), 2, 2);
        EXPECT_EQ(two, Words(format, {3, 4, 1, 2}));
    }
    Bytes any(4);
    EXPECT_EQ(ThrownMessage([&] { FlipBitmap(0, static_cast<XColorFormat>(9), any.data(), 1, 1); }),
              u"Invalid bitmap format.");
}

TEST(BmputilsTest, BitmapFilesInEveryLayout)
{
    // 3 x 2 pixels, bottom-up: red, green, blue / white, grey, black on the top row.
    const uint32_t colours[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF808080, 0xFF000000};
    const Bytes argb = Words(XCF_A8R8G8B8, {colours[0], colours[1], colours[2], colours[3], colours[4], colours[5]});
    struct Row
    {
        uint32_t compression;
        uint32_t masks[3];
        int tolerance;
    };
    const Row table[9] = {{3, {0xF800, 0x07E0, 0x001F}, 8},   {0, {0x7C00, 0x03E0, 0x001F}, 8},
                          {0, {0x7C00, 0x03E0, 0x001F}, 8},   {3, {0x0F00, 0x00F0, 0x000F}, 17},
                          {3, {0x0F00, 0x00F0, 0x000F}, 17},  {3, {0x00E0, 0x001C, 0x0003}, 85},
                          {0, {0xFF0000, 0xFF00, 0xFF}, 0},   {0, {0xFF0000, 0xFF00, 0xFF}, 0},
                          {0, {0xFF0000, 0xFF00, 0xFF}, 0}};
    for (uint32_t f = 0; f <= 8; ++f)
    {
        SCOPED_TRACE(f);
        const auto format = static_cast<XColorFormat>(f);
        const unsigned size = GetColorFormatSize(format);
        Bytes pixels(6 * size);
        ConvertBitmap(format, pixels.data(), XCF_A8R8G8B8, argb.data(), 3, 2);
        XMemoryStream stream(0, 8192);
        SaveBitmapToStream(&stream, pixels.data(), 3, 2, format);
        const Bytes file = StreamBytes(stream);
        const uint32_t s = (3 * size + 3) / 4 * 4 * 2; // rows padded to 4 bytes
        ASSERT_EQ(file.size(), 66 + s);
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(U32Bytes({ReadU32(&file[2]), ReadU32(&file[6]), ReadU32(&file[10])}), U32Bytes({66 + s, 0, 66}));
        EXPECT_EQ(U32Bytes({ReadU32(&file[14]), ReadU32(&file[18]), ReadU32(&file[22]), ReadU32(&file[26]),
                            ReadU32(&file[30]), ReadU32(&file[34]), ReadU32(&file[38]), ReadU32(&file[42]),
                            ReadU32(&file[46]), ReadU32(&file[50])}),
                  U32Bytes({40, 3, 2, 1 | (size * 8) << 16, table[f].compression, s, 120, 120, 0, 0}));
        EXPECT_EQ(U32Bytes({ReadU32(&file[54]), ReadU32(&file[58]), ReadU32(&file[62])}),
                  U32Bytes({table[f].masks[0], table[f].masks[1], table[f].masks[2]}));
        // The first row's pixels as given, its padding zero.
        EXPECT_EQ(Bytes(file.begin() + 66, file.begin() + 66 + 3 * size), Bytes(pixels.begin(), pixels.begin() + 3 * size));

        // Our reader and stb_image both (an uncompressed file's unused masks cut out for the latter).
        const std::vector<DecodedImage> decoded = {DecodeBmp(file), DecodeWithStbPastGap(file)};
        for (const DecodedImage& image : decoded)
        {
            ASSERT_EQ(image.width, 3) << image.error;
            ASSERT_EQ(image.height, 2);
            for (int i = 0; i < 6; ++i)
            {
                const int x = i % 3, y = 1 - i / 3; // the file's first row is the picture's bottom
                const uint8_t* p = &image.rgba[(y * 3 + x) * 4];
                const uint32_t c = colours[i];
                EXPECT_NEAR(p[0], int(c >> 16 & 0xFF), table[f].tolerance) << i;
                EXPECT_NEAR(p[1], int(c >> 8 & 0xFF), table[f].tolerance) << i;
                EXPECT_NEAR(p[2], int(c & 0xFF), table[f].tolerance) << i;
            }
        }
    }

    // Refused before anything is written.
    Bytes any(64);
    for (auto [width, height, format] : {std::tuple{3, 2, 9u}, std::tuple{0, 2, 7u}, std::tuple{-3, 2, 7u},
                                         std::tuple{3, 0, 7u}})
    {
        XMemoryStream stream(0, 8192);
        EXPECT_EQ(ThrownMessage([&] {
                      SaveBitmapToStream(&stream, any.data(), width, height, static_cast<XColorFormat>(format));
                  }),
                  u"Invalid bitmap format.");
        EXPECT_EQ(stream.GetSize(), 0);
    }
    // A stream that runs out of room: the stream's own error.
    LimitedStream full(70);
    EXPECT_EQ(ThrownText([&] { SaveBitmapToStream(&full, any.data(), 3, 2, XCF_X8R8G8B8); }), "Stream writing error.");
}
