// Helpers shared by the sources of the Win32 layer; not part of its interface.
#pragma once

#include "Platform/Win32/Windows.h"

#include <string>

namespace Platform::Detail
{
constexpr char32_t InvalidCodePoint = 0xFFFFFFFFu;

// Decodes the UTF-8 sequence at `p` (p < end) and moves past it. An ill-formed sequence (overlong,
// surrogate, above U+10FFFF, cut short) yields InvalidCodePoint and moves past its longest valid
// prefix, so each bad piece is reported once, as the Unicode standard recommends.
inline char32_t DecodeUtf8(const unsigned char*& p, const unsigned char* end)
{
    unsigned lead = *p++;
    if (lead < 0x80)
        return lead;
    int trail = 0;
    char32_t cp = 0;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        trail = 1;
        cp = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        trail = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // overlong below U+0800
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        trail = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90; // overlong below U+10000
        else if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    }
    else
        return InvalidCodePoint;
    for (int i = 0; i < trail; ++i)
    {
        if (p == end || *p < low || *p > high)
            return InvalidCodePoint;
        cp = (cp << 6) | (*p++ & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return cp;
}

// ResolvePath for a path already in UTF-8 with '/' separators.
std::string ResolveUtf8Path(const std::string& path);

// The Win32 error code for an errno value.
DWORD ErrorFromErrno(int error);
} // namespace Platform::Detail
