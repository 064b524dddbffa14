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

inline bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Decodes the UTF-16 character at `p` (p < end) and moves past it: a surrogate pair is one code
// point; a lone surrogate yields InvalidCodePoint and moves past that one unit.
inline char32_t DecodeUtf16(const WCHAR*& p, const WCHAR* end)
{
    char32_t c = *p++;
    if (IsHighSurrogate(static_cast<char16_t>(c)) && p != end && IsLowSurrogate(*p))
        return 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00u);
    if (IsHighSurrogate(static_cast<char16_t>(c)) || IsLowSurrogate(static_cast<char16_t>(c)))
        return InvalidCodePoint;
    return c;
}

// The UTF-8 form of cp (at most U+10FFFF, no surrogate) in out; returns its length, 1 to 4.
inline unsigned EncodeUtf8(char32_t cp, char* out)
{
    if (cp < 0x80)
    {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800)
    {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000)
    {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// The UTF-16 form of cp (at most U+10FFFF) in out; returns its length, 1 or 2.
inline unsigned EncodeUtf16(char32_t cp, WCHAR* out)
{
    if (cp < 0x10000)
    {
        out[0] = static_cast<WCHAR>(cp);
        return 1;
    }
    cp -= 0x10000;
    out[0] = static_cast<WCHAR>(0xD800 + (cp >> 10));
    out[1] = static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
    return 2;
}

// A Windows path with its separators '\' turned into '/'.
inline std::u16string WithForwardSlashes(const WCHAR* path)
{
    std::u16string result(path);
    for (WCHAR& c : result)
    {
        if (c == u'\\')
            c = u'/';
    }
    return result;
}

// ResolvePath for a path already in UTF-8 with '/' separators.
std::string ResolveUtf8Path(const std::string& path);

// The Win32 error code for an errno value.
DWORD ErrorFromErrno(int error);
} // namespace Platform::Detail
