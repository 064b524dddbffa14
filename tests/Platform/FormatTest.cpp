#include "Platform/Win32/Windows.h"

#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

namespace
{
// Formats into a heap buffer of exactly `size` units, so that AddressSanitizer sees any write past
// the end; returns the text and stores the returned count.
std::u16string SizedW(size_t size, int& written, const WCHAR* format, ...)
{
    auto buffer = std::make_unique<WCHAR[]>(size == 0 ? 1 : size);
    buffer[0] = u'#';
    va_list args;
    va_start(args, format);
    written = Platform::FormatW(size == 0 ? nullptr : buffer.get(), size, format, args);
    va_end(args);
    if (size == 0)
        return buffer[0] == u'#' ? u"<untouched>" : u"<written>";
    return std::u16string(buffer.get());
}

std::string SizedA(size_t size, int& written, const char* format, ...)
{
    auto buffer = std::make_unique<char[]>(size);
    va_list args;
    va_start(args, format);
    written = Platform::FormatA(buffer.get(), size, format, args);
    va_end(args);
    return std::string(buffer.get());
}

template <class... Args> std::u16string W(const WCHAR* format, Args... args)
{
    WCHAR buffer[1024];
    int written = wsprintfW(buffer, format, args...);
    EXPECT_EQ(static_cast<size_t>(written), std::u16string(buffer).size());
    return buffer;
}

template <class... Args> std::string A(const char* format, Args... args)
{
    char buffer[1024];
    int written = wsprintfA(buffer, format, args...);
    EXPECT_EQ(static_cast<size_t>(written), std::string(buffer).size());
    return buffer;
}

// The va_list forms, reached as a caller's own variadic function reaches them.
template <class C> int CallV(C* buffer, const C* format, ...)
{
    va_list args;
    va_start(args, format);
    int written = 0;
    if constexpr (std::is_same_v<C, WCHAR>)
        written = wvsprintfW(buffer, format, args);
    else
        written = wvsprintfA(buffer, format, args);
    va_end(args);
    return written;
}
} // namespace

TEST(FormatTest, IntegersWithWidthPrecisionAndFlags)
{
    EXPECT_EQ(W(u"%4.4d", 2026), u"2026");
    EXPECT_EQ(W(u"%2.2d", 5), u"05");
    EXPECT_EQ(W(u"%3.3d", 7), u"007");
    EXPECT_EQ(W(u"%2.1d", 9), u" 9");
    // The file-time shape: day, month, year, then the hour with a leading blank.
    EXPECT_EQ(W(u"%2.2d.%2.2d.%4.4d %2.1d:%2.2d", 5, 3, 2007, 9, 7), u"05.03.2007  9:07");
    EXPECT_EQ(W(u"%08X", -1), u"FFFFFFFF");
    EXPECT_EQ(W(u"0x%08X", 0x1A2B), u"0x00001A2B");
    EXPECT_EQ(W(u"%x|%X|%x", 255, 0xABCDEF, 0), u"ff|ABCDEF|0");
    EXPECT_EQ(W(u"%u", -1), u"4294967295");
    EXPECT_EQ(W(u"%d|%i", INT_MIN, INT_MAX), u"-2147483648|2147483647");
    EXPECT_EQ(W(u"[%5d][%-5d][%05d][%-05d]", 42, 42, -42, 42), u"[   42][42   ][-0042][42   ]");
    EXPECT_EQ(W(u"[%5.3d][%-6.4d][%05.3d]", -7, 12, 5), u"[ -007][0012  ][  005]");
    EXPECT_EQ(W(u"[%.0d][%.0d][%1d]", 0, 3, 0), u"[][3][0]");
    EXPECT_EQ(W(u"%hd|%hu|%hx", 70000, -1, 0x12345), u"4464|65535|2345");
    EXPECT_EQ(W(u"%ld|%lu|%lX", -5, 4000000000u, 0xBEEFu), u"-5|4000000000|BEEF");
    EXPECT_EQ(W(u"%I64d|%I64u|%I64X", INT64_MIN, UINT64_MAX, int64_t{0x123456789A}),
              u"-9223372036854775808|18446744073709551615|123456789A");
    EXPECT_EQ(W(u"{%08X-%04X-%04X-%s-%s}", 0x1684A712, 0xDCB4, 0x481F, u"B29B", u"2745F6D8E00D"),
              u"{1684A712-DCB4-481F-B29B-2745F6D8E00D}");

    EXPECT_EQ(A("%4.4d-%2.2d-%3.3d", 2026, 5, 7), "2026-05-007");
    EXPECT_EQ(A("0x%08X", -1), "0xFFFFFFFF");
    EXPECT_EQ(A("%-4d|%04x", -3, 0xAB), "-3  |00ab");
}

TEST(FormatTest, NumbersIgnoreTheProcessLocale)
{
    CommaLocale locale; // where none is installed, the numbers hold all the same
    EXPECT_EQ(W(u"%d %u %X", 1234567, 1234567u, 1234567), u"1234567 1234567 12D687");
    EXPECT_EQ(A("%d", -1234567), "-1234567");
}

TEST(FormatTest, StringsAndCharactersOfBothWidths)
{
    const char* cyrillic = "\xCF\xF0\xE8"; // "При" in the ANSI page
    EXPECT_EQ(W(u"<%s>", u"wide"), u"<wide>");
    EXPECT_EQ(W(u"<%S>", cyrillic), u"<При>");
    EXPECT_EQ(W(u"<%ls|%hs|%lS|%hS>", u"a", "b", u"c", "d"), u"<a|b|c|d>");
    EXPECT_EQ(W(u"<%s|%S|%ls|%hs>", static_cast<const WCHAR*>(nullptr), static_cast<const char*>(nullptr),
                static_cast<const WCHAR*>(nullptr), static_cast<const char*>(nullptr)),
              u"<(null)|(null)|(null)|(null)>");
    EXPECT_EQ(W(u"[%.3s][%6s][%-6s][%.2S][%.2s]", u"abcdef", u"ab", u"ab", cyrillic,
                static_cast<const WCHAR*>(nullptr)),
              u"[abc][    ab][ab    ][Пр][(n]");
    EXPECT_EQ(W(u"[%.0s][%0s]", u"abc", u""), u"[][]");

    EXPECT_EQ(A("<%s>", "narrow"), "<narrow>");
    EXPECT_EQ(A("<%S>", u"При\u4F60"), "<\xCF\xF0\xE8?>");
    EXPECT_EQ(A("<%ls|%hs|%.2S>", u"a", "b", u"При"), "<a|b|\xCF\xF0>");
    EXPECT_EQ(A("<%s|%S>", static_cast<const char*>(nullptr), static_cast<const WCHAR*>(nullptr)),
              "<(null)|(null)>");
    EXPECT_EQ(A("<%S>", u"\U0001F600"), "<?>");

    // A precision bounds the reading too: these texts have no terminator.
    const WCHAR wideNoNul[3] = {u'x', u'y', u'z'};
    const char narrowNoNul[3] = {'x', 'y', '\xC0'};
    EXPECT_EQ(W(u"%.3s|%.3S", wideNoNul, narrowNoNul), u"xyz|xyА");
    EXPECT_EQ(A("%.3s|%.3S", narrowNoNul, wideNoNul), "xy\xC0|xyz");

    EXPECT_EQ(W(u"%c%C%lc%hc[%3c][%-3c]", u'Я', 0xC0, u'b', 0xE0, u'x', u'y'), u"ЯАbа[  x][y  ]");
    EXPECT_EQ(A("%c%C%hc%lc", 'a', u'Я', 0xC0, u'\u4F60'), "a\xDF\xC0?");
}

TEST(FormatTest, PercentUnknownTypesAndOddFormats)
{
    EXPECT_EQ(W(u"100%%"), u"100%");
    EXPECT_EQ(W(u"%q%d", 5), u"q5"); // an unknown type takes no argument
    EXPECT_EQ(W(u"%f|%d", 6), u"f|6");
    EXPECT_EQ(W(u"end%"), u"end");
    EXPECT_EQ(W(u"%-"), u"");
    EXPECT_EQ(A("%I6d", 1), "I6d");
    EXPECT_EQ(A("%%%d%%", 3), "%3%");

    WCHAR wide[8] = u"#######";
    EXPECT_EQ(wsprintfW(wide, nullptr), 0);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(wsprintfW(nullptr, u"abc"), 0);
    char narrow[8] = "#######";
    EXPECT_EQ(CallV(narrow, "%s=%d", "k", 4), 3);
    EXPECT_EQ(std::string(narrow), "k=4");
    EXPECT_EQ(CallV(wide, u"%s=%d", u"k", 4), 3);
    EXPECT_EQ(std::u16string(wide), u"k=4");
}

TEST(FormatTest, OutputStopsExactlyAtTheBufferEnd)
{
    int written = -1;
    const WCHAR* format = u"%s-%05d-%S-%-4x|";
    std::u16string full = SizedW(256, written, format, u"abc", 42, "\xC0\xC1", 0xF);
    ASSERT_EQ(full, u"abc-00042-АБ-f   |");
    ASSERT_EQ(written, static_cast<int>(full.size()));
    for (size_t size = 1; size <= full.size() + 2; ++size)
    {
        std::u16string out = SizedW(size, written, format, u"abc", 42, "\xC0\xC1", 0xF);
        size_t expected = std::min(size - 1, full.size());
        EXPECT_EQ(out, full.substr(0, expected)) << size;
        EXPECT_EQ(written, static_cast<int>(expected)) << size;
    }
    EXPECT_EQ(SizedW(0, written, u"abc"), u"<untouched>");
    EXPECT_EQ(written, 0);

    std::string fullA = SizedA(256, written, "%s|%S|%3.2d", "xy", u"Я", 7);
    ASSERT_EQ(fullA, "xy|\xDF| 07");
    for (size_t size = 1; size <= fullA.size() + 2; ++size)
    {
        std::string out = SizedA(size, written, "%s|%S|%3.2d", "xy", u"Я", 7);
        EXPECT_EQ(out, fullA.substr(0, std::min(size - 1, fullA.size()))) << size;
    }

    // Huge widths and precisions are bounded by the buffer, not by memory or time.
    EXPECT_EQ(SizedW(64, written, u"%999999999999999999999d|", 1), std::u16string(63, u' '));
    EXPECT_EQ(written, 63);
    EXPECT_EQ(SizedA(64, written, "x%.99999999999999999999d", 2), "x" + std::string(62, '0'));
    EXPECT_EQ(written, 63);
    EXPECT_EQ(SizedW(64, written, u"%-99999999s|", u"ab"), u"ab" + std::u16string(61, u' '));
}

TEST(FormatTest, UnsizedFormsWriteAtMost1024Units)
{
    std::u16string longText(2000, u'w');
    std::vector<WCHAR> wide(2048, u'#');
    EXPECT_EQ(wsprintfW(wide.data(), u"%s", longText.c_str()), 1023);
    EXPECT_EQ(wide[1022], u'w');
    EXPECT_EQ(wide[1023], 0);
    EXPECT_EQ(wide[1024], u'#');

    std::vector<char> narrow(2048, '#');
    EXPECT_EQ(wsprintfA(narrow.data(), "%2000d", 5), 1023);
    EXPECT_EQ(narrow[1023], 0);
    EXPECT_EQ(narrow[1024], '#');

    std::fill(narrow.begin(), narrow.end(), '#');
    EXPECT_EQ(CallV(narrow.data(), "%s%s", std::string(1000, 'a').c_str(), std::string(100, 'b').c_str()),
              1023);
    EXPECT_EQ(narrow[1022], 'b');
    EXPECT_EQ(narrow[1024], '#');
}
