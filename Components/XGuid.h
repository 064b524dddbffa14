// The 16-byte identity of scene objects, classes and interfaces, in the Windows GUID layout
// {u32 Data1; u16 Data2; u16 Data3; u8 Data4[8]}, and its text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include "Components/StrUtils.h"

#include <cstdint>

struct XGuid
{
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];

    // The null GUID.
    constexpr XGuid() : Data1(0), Data2(0), Data3(0), Data4{} {}

    // Data4 as two 32-bit words laid down as they would sit in memory: w2 gives bytes 8-11 and w3
    // bytes 12-15, low byte first. Static identifiers are written this way.
    constexpr XGuid(uint32_t data1, uint16_t data2, uint16_t data3, uint32_t w2, uint32_t w3)
        : Data1(data1), Data2(data2),
          Data3(data3), Data4{static_cast<uint8_t>(w2),       static_cast<uint8_t>(w2 >> 8),
                              static_cast<uint8_t>(w2 >> 16), static_cast<uint8_t>(w2 >> 24),
                              static_cast<uint8_t>(w3),       static_cast<uint8_t>(w3 >> 8),
                              static_cast<uint8_t>(w3 >> 16), static_cast<uint8_t>(w3 >> 24)}
    {
    }

    // Word i (0..3) of the 16 bytes, read little-endian: GUIDs are compared and hashed this way.
    constexpr uint32_t Word(unsigned i) const
    {
        if (i == 0)
            return Data1;
        if (i == 1)
            return static_cast<uint32_t>(Data2) | static_cast<uint32_t>(Data3) << 16;
        const uint8_t* b = Data4 + (i - 2) * 4;
        return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    }

    constexpr bool operator==(const XGuid& other) const
    {
        return Word(0) == other.Word(0) && Word(1) == other.Word(1) && Word(2) == other.Word(2) &&
               Word(3) == other.Word(3);
    }

    constexpr bool IsNull() const { return (Word(0) | Word(1) | Word(2) | Word(3)) == 0; }

    // The key hash of the GUID index: XOR of the four words.
    constexpr uint32_t Hash() const { return Word(0) ^ Word(1) ^ Word(2) ^ Word(3); }
};

static_assert(sizeof(XGuid) == 16, "XGuid is saved and copied as 16 raw bytes");

// Hash of a GUID key, as the chained hashes ask for it.
constexpr uint32_t XHashKey(const XGuid& key)
{
    return key.Hash();
}

// Writes the 38-character text and a NUL: the buffer needs 39 units.
void GuidToText(WCHAR* buffer, const XGuid& guid);
XString GuidToString(const XGuid& guid);
