// UTF-16LE bytes as the program's files hold them, and plain widening of ASCII text.
#pragma once

#include <string>
#include <string_view>

// The units, low byte first, without a byte-order mark.
inline std::string Utf16Le(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(2 * text.size());
    for (char16_t c : text)
    {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// FF FE, then the units.
inline std::string Utf16LeWithBom(std::u16string_view text)
{
    return "\xFF\xFE" + Utf16Le(text);
}

// The units of UTF-16LE bytes; an odd last byte is dropped.
inline std::u16string FromUtf16Le(std::string_view bytes)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

// Each byte becomes one unit: ASCII (and Latin-1) text as UTF-16.
inline std::u16string Widen(std::string_view text)
{
    std::u16string wide;
    wide.reserve(text.size());
    for (char c : text)
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return wide;
}
