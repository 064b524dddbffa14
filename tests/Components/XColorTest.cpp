#include "Components/XColor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

TEST(XColorTest, PackingAndGdiLayout)
{
    XColor c(0x80, 0x10, 0x20, 0x30);
    EXPECT_EQ(c.GetARGB(), 0x80102030u);
    EXPECT_EQ(c.ToColorRef(), 0x00302010u);

    // In memory the word reads B, G, R, A.
    unsigned char bytes[4];
    std::memcpy(bytes, &c, 4);
    EXPECT_EQ(bytes[0], 0x30);
    EXPECT_EQ(bytes[1], 0x20);
    EXPECT_EQ(bytes[2], 0x10);
    EXPECT_EQ(bytes[3], 0x80);

    XColor word(0xFFEEDDCCu);
    EXPECT_EQ(word.GetARGB(), 0xFFEEDDCCu);
    EXPECT_EQ(word.ToColorRef(), 0x00CCDDEEu);
    EXPECT_EQ(XColor(0xFF000000u).ToColorRef(), 0u);

    XColor copy = word;
    EXPECT_EQ(copy.GetARGB(), 0xFFEEDDCCu);
    XColor& self = (copy = 0x01020304u);
    EXPECT_EQ(&self, &copy);
    EXPECT_EQ(copy.GetARGB(), 0x01020304u);
    XColor& again = (copy = c);
    EXPECT_EQ(&again, &copy);
    EXPECT_EQ(copy.GetARGB(), 0x80102030u);
}

TEST(XColorTest, FromColorValueTruncatesAndClamps)
{
    EXPECT_EQ(XColor(D3DCOLORVALUE{1.0f, 0.5f, 0.0f, 2.0f}).GetARGB(), 0xFFFF7F00u);
    // Truncation, not rounding.
    EXPECT_EQ(XColor(D3DCOLORVALUE{0.999f, 0.0f, 0.0f, 0.0f}).GetARGB(), 0x00FE0000u);
    EXPECT_EQ(XColor(D3DCOLORVALUE{0.0f, 0.0f, 1.0f / 255.0f, 0.0f}).GetARGB(), 0x00000001u);
    EXPECT_EQ(XColor(D3DCOLORVALUE{0.0f, 0.0f, 0.0039f, 0.0f}).GetARGB(), 0u);
    // Just above 1 and far above are 255.
    EXPECT_EQ(XColor(D3DCOLORVALUE{1.001f, 1000.0f, std::numeric_limits<float>::infinity(), 1.0f}).GetARGB(),
              0xFFFFFFFFu);
    // Negative channels, NaN and negative infinity are clamped to 0, each channel on its own.
    float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(XColor(D3DCOLORVALUE{-0.5f, 1.0f, -1000.0f, 1.0f}).GetARGB(), 0xFF00FF00u);
    EXPECT_EQ(XColor(D3DCOLORVALUE{nan, -std::numeric_limits<float>::infinity(), 1.0f, nan}).GetARGB(),
              0x000000FFu);
}

TEST(XColorTest, ToColorValueAndBack)
{
    D3DCOLORVALUE v = XColor(0xFF000000u).ToColorValue();
    EXPECT_EQ(v.r, 0.0f);
    EXPECT_EQ(v.g, 0.0f);
    EXPECT_EQ(v.b, 0.0f);
    EXPECT_EQ(v.a, 1.0f);

    v = XColor(0x80FF4001u).ToColorValue();
    EXPECT_EQ(v.a, static_cast<float>(128.0L / 255.0L));
    EXPECT_EQ(v.r, 1.0f);
    EXPECT_EQ(v.g, static_cast<float>(64.0L / 255.0L));
    EXPECT_EQ(v.b, static_cast<float>(1.0L / 255.0L));

    // Every byte survives the trip through floats in every channel.
    for (uint32_t b = 0; b < 256; ++b)
    {
        uint32_t word = b << 24 | (255 - b) << 16 | (b ^ 0x5A) << 8 | (b * 7 & 0xFF);
        XColor back(XColor(word).ToColorValue());
        EXPECT_EQ(back.GetARGB(), word) << b;
    }
}
