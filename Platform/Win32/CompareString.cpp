// CompareStringW / CompareStringA: the program's string order.
//
// Flags 0 compares UTF-16 code units. NORM_IGNORECASE uses one fixed order close to the platform's
// default sort: every code unit gets a key of (class, rank) and strings compare key by key, first
// with apostrophes and hyphens left out, then, only when that finds them equal, in full. Because a
// key depends on nothing but its code unit, both passes are plain lexicographic orders and together
// form a strict weak order, which the archive's sorted entry table relies on.
//
// Classes and ranks:
//   symbols  - the ASCII punctuation and space, ranked: ' - (these two only count in the second
//              pass, so they rank ahead of every other symbol) then
//              space ! " # $ % & ( ) * , . / : ; ? @ [ \ ] ^ _ ` { | } ~ + < = >
//   digits   - '0'..'9' by value
//   letters  - Latin A-Z, the Latin-1 letters U+00C0..U+00FF except U+00D7 and U+00F7, and the
//              Cyrillic letters U+0400..U+04FF except the sign and combining marks U+0482..U+0489;
//              ranked by their lower-case (simply folded) code unit, so case never matters and
//              each script stays together: Latin, then Latin-1, then Cyrillic; a capital from
//              elsewhere whose lower case is such a letter (U+0178) goes with it
//   others   - every other code unit, ranked by its folded value (simple case folding over the
//              whole Basic Multilingual Plane, so fullwidth, Armenian, Georgian ... letters match
//              without case too)
#include "Platform/Win32/Windows.h"

#include <array>
#include <cstring>
#include <vector>

namespace
{
constexpr uint32_t kSymbol = 1u << 16;
constexpr uint32_t kDigit = 2u << 16;
constexpr uint32_t kLetter = 3u << 16;
constexpr uint32_t kOther = 4u << 16;

constexpr WCHAR kApostrophe = u'\'';
constexpr WCHAR kHyphen = u'-';

constexpr char16_t kTableSize = 0x500; // above this no unit is a symbol or digit

bool IsLetter(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        return true;
    if (c >= 0xC0 && c <= 0xFF)
        return c != 0xD7 && c != 0xF7;
    return c >= 0x400 && c <= 0x4FF && (c < 0x482 || c > 0x489);
}

std::array<uint32_t, kTableSize> MakeKeys()
{
    std::array<uint32_t, kTableSize> keys{};
    for (char16_t c = 0; c < kTableSize; ++c)
    {
        char16_t folded = ToLowerWide(c);
        if (c >= u'0' && c <= u'9')
            keys[c] = kDigit | (c - u'0');
        else if (IsLetter(folded))
            keys[c] = kLetter | folded;
        else
            keys[c] = kOther | folded;
    }
    keys[kApostrophe] = kSymbol | 0;
    keys[kHyphen] = kSymbol | 1;
    const char16_t symbols[] = u" !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
    for (uint32_t rank = 0; symbols[rank]; ++rank)
        keys[symbols[rank]] = kSymbol | (rank + 2);
    return keys;
}

const std::array<uint32_t, kTableSize>& Keys()
{
    static const std::array<uint32_t, kTableSize> keys = MakeKeys();
    return keys;
}

inline uint32_t KeyOf(const std::array<uint32_t, kTableSize>& keys, WCHAR c)
{
    if (c < kTableSize)
        return keys[c];
    // A sign whose lower case is a letter (the Kelvin sign) goes with that letter.
    char16_t folded = ToLowerWide(c);
    return (IsLetter(folded) ? kLetter : kOther) | folded;
}

inline bool Skipped(WCHAR c)
{
    return c == kApostrophe || c == kHyphen;
}

int Order(uint32_t a, uint32_t b)
{
    return a < b ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

// A text with either a length or, for length -1, a terminating NUL; the NUL is found on the way
// rather than by a separate pass, which would double the cost of sorting long names.
// The kind is a template parameter so that the inner loops test only the one end condition.
template <bool Terminated> struct Text
{
    const WCHAR* units;
    size_t length; // unused when Terminated

    bool AtEnd(size_t i) const
    {
        if constexpr (Terminated)
            return units[i] == 0;
        else
            return i == length;
    }
};

int CompareLengths(size_t lengthA, size_t lengthB)
{
    if (lengthA == lengthB)
        return CSTR_EQUAL;
    return lengthA < lengthB ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

template <class TextA, class TextB> int CompareIgnoreCase(const TextA& a, const TextB& b)
{
    const auto& keys = Keys();
    size_t i = 0, j = 0;
    for (;;)
    {
        // Equal units have equal keys (and two hyphens skip alike): pass common stretches quickly.
        while (!a.AtEnd(i) && !b.AtEnd(j) && a.units[i] == b.units[j])
            ++i, ++j;
        while (!a.AtEnd(i) && Skipped(a.units[i]))
            ++i;
        while (!b.AtEnd(j) && Skipped(b.units[j]))
            ++j;
        if (a.AtEnd(i) || b.AtEnd(j))
            break;
        uint32_t ka = KeyOf(keys, a.units[i++]);
        uint32_t kb = KeyOf(keys, b.units[j++]);
        if (ka != kb)
            return Order(ka, kb);
    }
    if (!a.AtEnd(i))
        return CSTR_GREATER_THAN;
    if (!b.AtEnd(j))
        return CSTR_LESS_THAN;

    // Equal without apostrophes and hyphens: both texts are used up, so i and j are their lengths.
    size_t common = i < j ? i : j;
    for (size_t k = 0; k < common; ++k)
    {
        if (a.units[k] == b.units[k])
            continue;
        uint32_t ka = KeyOf(keys, a.units[k]);
        uint32_t kb = KeyOf(keys, b.units[k]);
        if (ka != kb)
            return Order(ka, kb);
    }
    return CompareLengths(i, j);
}

template <class TextA, class TextB> int CompareUnits(const TextA& a, const TextB& b)
{
    size_t k = 0;
    while (!a.AtEnd(k) && !b.AtEnd(k))
    {
        if (a.units[k] != b.units[k])
            return Order(a.units[k], b.units[k]);
        ++k;
    }
    if (a.AtEnd(k) && b.AtEnd(k))
        return CSTR_EQUAL;
    return a.AtEnd(k) ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

bool ValidArguments(DWORD flags, const void* a, int lengthA, const void* b, int lengthB)
{
    if ((flags & ~NORM_IGNORECASE) != 0 || !a || !b || lengthA < -1 || lengthB < -1)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Narrow text in the ANSI code page as UTF-16; short texts stay on the stack.
class AnsiAsWide
{
public:
    bool Convert(LPCSTR text, int length)
    {
        if (length == -1)
        {
            int n = 0;
            while (text[n])
                ++n;
            length = n;
        }
        m_length = 0;
        if (length == 0)
            return true;
        int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
        if (needed <= 0)
            return false;
        WCHAR* out = m_small;
        if (static_cast<size_t>(needed) > sizeof(m_small) / sizeof(m_small[0]))
        {
            m_large.resize(static_cast<size_t>(needed));
            out = m_large.data();
        }
        m_length = static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text, length, out, needed));
        m_data = out;
        return m_length == static_cast<size_t>(needed);
    }
    const WCHAR* Data() const { return m_data; }
    size_t Length() const { return m_length; }

private:
    WCHAR m_small[256];
    std::vector<WCHAR> m_large;
    const WCHAR* m_data = m_small;
    size_t m_length = 0;
};

template <class TextA, class TextB> int CompareChecked(DWORD flags, const TextA& a, const TextB& b)
{
    if (flags & NORM_IGNORECASE)
        return CompareIgnoreCase(a, b);
    return CompareUnits(a, b);
}

template <class TextA> int CompareWith(DWORD flags, const TextA& a, const WCHAR* b, int lengthB)
{
    if (lengthB < 0)
        return CompareChecked(flags, a, Text<true>{b, 0});
    return CompareChecked(flags, a, Text<false>{b, static_cast<size_t>(lengthB)});
}
} // namespace

int CompareStringW(LCID /*locale*/, DWORD flags, LPCWSTR a, int lengthA, LPCWSTR b, int lengthB)
{
    if (!ValidArguments(flags, a, lengthA, b, lengthB))
        return 0;
    if (lengthA < 0)
        return CompareWith(flags, Text<true>{a, 0}, b, lengthB);
    return CompareWith(flags, Text<false>{a, static_cast<size_t>(lengthA)}, b, lengthB);
}

namespace
{
// A key as a prefix-free code whose byte order is the key order: symbols, digits and the letters up
// to U+00FF take one byte each; other letters 0xF0, and the remaining units 0xF8, followed by the
// two bytes of their rank. 0 stays free to end the first pass.
inline uint8_t* PutKey(uint32_t key, uint8_t* out)
{
    uint32_t kind = key & 0xFFFF0000u, rank = key & 0xFFFFu;
    if (kind == kSymbol)
        *out++ = static_cast<uint8_t>(0x01 + rank); // 0x01..0x22
    else if (kind == kDigit)
        *out++ = static_cast<uint8_t>(0x23 + rank); // 0x23..0x2C
    else if (kind == kLetter && rank <= 0xFF)
        *out++ = static_cast<uint8_t>(0x2D + rank - u'A'); // 0x2D..0xEB; no letter is below 'A'
    else
    {
        *out++ = static_cast<uint8_t>(kind == kLetter ? 0xF0 : 0xF8);
        *out++ = static_cast<uint8_t>(rank >> 8);
        *out++ = static_cast<uint8_t>(rank);
    }
    return out;
}
} // namespace

namespace Platform
{
void AppendSortKey(const WCHAR* text, size_t length, std::vector<uint8_t>& key)
{
    const auto& keys = Keys();
    // The first pass's keys, then a byte below every code (so a text whose first pass ends sooner
    // sorts first), then the second pass's keys of every unit. Written into room for the longest
    // codes, then cut to what they took: a list makes one of these for each of its items.
    size_t start = key.size();
    key.resize(start + 6 * length + 1);
    uint8_t* const begin = key.data() + start;
    uint8_t* out = begin;
    bool skippedAny = false;
    for (size_t i = 0; i < length; ++i)
        if (!Skipped(text[i]))
            out = PutKey(KeyOf(keys, text[i]), out);
        else
            skippedAny = true;
    size_t first = static_cast<size_t>(out - begin);
    *out++ = 0;
    if (skippedAny)
    {
        for (size_t i = 0; i < length; ++i)
            out = PutKey(KeyOf(keys, text[i]), out);
    }
    else if (first) // without apostrophes or hyphens both passes see the same keys
    {
        std::memcpy(out, begin, first);
        out += first;
    }
    key.resize(static_cast<size_t>(out - key.data()));
}
} // namespace Platform

int CompareStringA(LCID /*locale*/, DWORD flags, LPCSTR a, int lengthA, LPCSTR b, int lengthB)
{
    if (!ValidArguments(flags, a, lengthA, b, lengthB))
        return 0;
    AnsiAsWide wideA, wideB;
    if (!wideA.Convert(a, lengthA) || !wideB.Convert(b, lengthB))
        return 0;
    return CompareChecked(flags, Text<false>{wideA.Data(), wideA.Length()},
                          Text<false>{wideB.Data(), wideB.Length()});
}
