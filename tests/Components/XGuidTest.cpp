#include "Components/XGuid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
std::u16string Text(const XGuid& guid)
{
    WCHAR buffer[64];
    // Fill first: the text must end with its own NUL at unit 38.
    for (WCHAR& c : buffer)
        c = u'#';
    GuidToText(buffer, guid);
    EXPECT_EQ(buffer[38], 0);
    EXPECT_EQ(buffer[39], u'#');
    return buffer;
}
} // namespace

TEST(XGuidTest, LayoutAndConstructionFromParts)
{
    XGuid null;
    unsigned char raw[16];
    std::memcpy(raw, &null, 16);
    for (unsigned char b : raw)
        EXPECT_EQ(b, 0);
    EXPECT_TRUE(null.IsNull());

    // Data4 words are laid down in memory order, low byte first.
    XGuid guid(0x204ECAB7, 0x032B, 0x407B, 0xD486BC7A, 0xB24F2EE0);
    std::memcpy(raw, &guid, 16);
    const unsigned char expected[16] = {0xB7, 0xCA, 0x4E, 0x20, 0x2B, 0x03, 0x7B, 0x40,
                                        0x7A, 0xBC, 0x86, 0xD4, 0xE0, 0x2E, 0x4F, 0xB2};
    EXPECT_EQ(std::memcmp(raw, expected, 16), 0);
    EXPECT_FALSE(guid.IsNull());

    // A GUID with only one byte set anywhere is not null.
    for (unsigned i = 0; i < 16; ++i)
    {
        XGuid one;
        reinterpret_cast<unsigned char*>(&one)[i] = 0x80;
        EXPECT_FALSE(one.IsNull()) << i;
        EXPECT_FALSE(one == null) << i;
        EXPECT_TRUE(one != null) << i;
    }

    XGuid copy = guid;
    EXPECT_TRUE(copy == guid);
    copy = null;
    EXPECT_TRUE(copy == null);
    EXPECT_FALSE(copy == guid);
}

TEST(XGuidTest, HashIsXorOfTheFourWords)
{
    XGuid guid(0x11111111, 0x2222, 0x3333, 0x44444444, 0x55555555);
    EXPECT_EQ(guid.Hash(), 0x11111111u ^ 0x33332222u ^ 0x44444444u ^ 0x55555555u);
    EXPECT_EQ(XGuid().Hash(), 0u);
    EXPECT_EQ(XHashKey(guid), guid.Hash());
    // Word order matters for the bytes but not for the hash: swapping Data4 words keeps it.
    XGuid swapped(0x11111111, 0x2222, 0x3333, 0x55555555, 0x44444444);
    EXPECT_EQ(swapped.Hash(), guid.Hash());
    EXPECT_FALSE(swapped == guid);
}

TEST(XGuidTest, Text)
{
    EXPECT_EQ(Text(XGuid()), u"{00000000-0000-0000-0000-000000000000}");

    // Data4 bytes 01 23 45 67 89 AB CD EF.
    XGuid known(0x1684A712, 0xDCB4, 0x481F, 0x67452301, 0xEFCDAB89);
    EXPECT_EQ(Text(known), u"{1684A712-DCB4-481F-0123-456789ABCDEF}");

    XGuid point(0x204ECAB7, 0x032B, 0x407B, 0xD486BC7A, 0xB24F2EE0);
    EXPECT_EQ(Text(point), u"{204ECAB7-032B-407B-7ABC-86D4E02E4FB2}");

    // Leading zeros are kept in every group; all ones stays upper case.
    XGuid small(0x1, 0x2, 0x3, 0x00000004, 0x05000000);
    EXPECT_EQ(Text(small), u"{00000001-0002-0003-0400-000000000005}");
    XGuid full(0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(Text(full), u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}");

    XString text = GuidToString(known);
    EXPECT_EQ(std::u16string(text.c_str()), u"{1684A712-DCB4-481F-0123-456789ABCDEF}");
    EXPECT_EQ(text.Length(), 38u);
}
