#include "Platform/Win32/Windows.h"

#include "tests/support/Utf16Text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Conversions with a buffer allocated to exactly the units asked for, so that AddressSanitizer
// sees any write past it.
std::u16string ToWide(UINT codePage, const std::string& bytes, int* result = nullptr)
{
    int needed = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (result)
        *result = needed;
    if (needed <= 0)
        return u"<fail>";
    auto buffer = std::make_unique<WCHAR[]>(static_cast<size_t>(needed));
    int written =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), buffer.get(), needed);
    EXPECT_EQ(written, needed);
    return std::u16string(buffer.get(), static_cast<size_t>(written));
}

std::string ToNarrow(UINT codePage, const std::u16string& text, BOOL* used = nullptr,
                     LPCSTR defaultChar = nullptr)
{
    int needed = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     defaultChar, nullptr);
    if (needed <= 0)
        return "<fail>";
    auto buffer = std::make_unique<char[]>(static_cast<size_t>(needed));
    int written = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), buffer.get(),
                                      needed, defaultChar, used);
    EXPECT_EQ(written, needed);
    return std::string(buffer.get(), static_cast<size_t>(written));
}

// Reference conversion straight through iconv; false when iconv rejects the input.
bool IconvConvert(const char* to, const char* from, const std::string& in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1)))
        return false;
    char buffer[64];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buffer;
    size_t dstLeft = sizeof(buffer);
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.assign(buffer, sizeof(buffer) - dstLeft);
    return r != static_cast<size_t>(-1);
}
} // namespace

TEST(Win32TextTest, CodePage936DecodesAndEncodesChinese)
{
    EXPECT_EQ(ToWide(CP_GBK, "\xC4\xE3\xBA\xC3"), u"\u4F60\u597D");
    BOOL used = TRUE;
    EXPECT_EQ(ToNarrow(CP_GBK, u"\u4F60\u597D", &used), "\xC4\xE3\xBA\xC3");
    EXPECT_FALSE(used);

    // Archive names mix ASCII and Chinese; Cyrillic exists in GBK too.
    std::string name = "Models\\\xC4\xE3\xBA\xC3_01.ski";
    EXPECT_EQ(ToWide(CP_GBK, name), u"Models\\\u4F60\u597D_01.ski");
    EXPECT_EQ(ToNarrow(CP_GBK, u"Models\\\u4F60\u597D_01.ski"), name);
    EXPECT_EQ(ToNarrow(CP_GBK, u"\u0410"), "\xA7\xA1");
    EXPECT_EQ(ToWide(CP_GBK, "\x80"), u"\u20AC");
}

TEST(Win32TextTest, CodePage936BadInputBecomesQuestionMarksAndGoesOn)
{
    // A lead byte before an ASCII byte loses only itself; a valid but unassigned pair is one
    // character; a lead byte at the very end is one character; 0xFF is never a lead byte.
    EXPECT_EQ(ToWide(CP_GBK, "a\x81"
                             "0b"),
              u"a?0b");
    EXPECT_EQ(ToWide(CP_GBK, "\xA1\x40x"), u"?x");
    EXPECT_EQ(ToWide(CP_GBK, "ab\xC4"), u"ab?");
    EXPECT_EQ(ToWide(CP_GBK, "\xFF\xC4\xE3"), u"?\u4F60");
    EXPECT_EQ(ToWide(CP_GBK, std::string("\xC4\0\xC4\xE3", 4)), std::u16string(u"?\0\u4F60", 3));

    // Characters GBK cannot hold: one '?' for a surrogate pair, one for a lone surrogate.
    BOOL used = FALSE;
    EXPECT_EQ(ToNarrow(CP_GBK,
                       u"a\U0001F600b\xD800"
                       u"c\xDC00",
                       &used),
              "a?b?c?");
    EXPECT_TRUE(used);
    EXPECT_EQ(ToNarrow(CP_GBK, u"\u4F60\xD83D", nullptr, "*"), "\xC4\xE3*");

    // Every way of cutting a valid name yields a clean result.
    std::string valid = "x\xC4\xE3y\xBA\xC3";
    for (size_t cut = 1; cut <= valid.size(); ++cut)
    {
        std::u16string out = ToWide(CP_GBK, valid.substr(0, cut));
        EXPECT_NE(out, u"<fail>") << cut;
        EXPECT_LE(out.size(), cut);
    }
}

TEST(Win32TextTest, Windows1251MatchesIconvForEveryByteAndRoundTrips)
{
    EXPECT_EQ(ToWide(CP_1251, "\xC0"), u"\u0410");
    EXPECT_EQ(ToNarrow(CP_1251, u"\u0410"), "\xC0");
    EXPECT_EQ(ToWide(CP_ACP, "\xCF\xF0\xE8\xE2\xE5\xF2"), u"Привет");
    EXPECT_EQ(ToWide(CP_THREAD_ACP, "\xA8\xB8\xB9"), u"Ёё№");

    for (int b = 1; b < 256; ++b)
    {
        std::string byte(1, static_cast<char>(b));
        std::string reference;
        std::u16string wide = ToWide(CP_1251, byte);
        ASSERT_EQ(wide.size(), 1u) << b;
        if (!IconvConvert("UTF-16LE", "CP1251", byte, reference))
        {
            EXPECT_EQ(b, 0x98); // the page's single hole
            EXPECT_EQ(wide, u"?");
            continue;
        }
        EXPECT_EQ(wide, FromUtf16Le(reference)) << b;
        EXPECT_EQ(ToNarrow(CP_1251, wide), byte) << b;
        EXPECT_EQ(ToNarrow(CP_ACP, wide), byte) << b;
    }

    // The reverse direction for every BMP unit: what iconv cannot map becomes '?'.
    for (int c = 0x80; c < 0x10000; ++c)
    {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::u16string unit(1, static_cast<char16_t>(c));
        std::string in = Utf16Le(unit);
        std::string reference;
        BOOL used = FALSE;
        std::string narrow = ToNarrow(CP_1251, unit, &used);
        if (IconvConvert("CP1251", "UTF-16LE", in, reference))
        {
            ASSERT_EQ(narrow, reference) << c;
            ASSERT_FALSE(used) << c;
        }
        else
        {
            ASSERT_EQ(narrow, "?") << c;
            ASSERT_TRUE(used) << c;
        }
    }
    EXPECT_EQ(ToNarrow(CP_1251, u"\u4F60\U0001F600x"), "??x");
}

TEST(Win32TextTest, Utf8RoundTripsAndReplacesIllFormedInput)
{
    std::u16string text = u"abc Привет \u4F60\u597D \U0001F600 \u00E9";
    std::string utf8 = ToNarrow(CP_UTF8, text);
    EXPECT_EQ(utf8, "abc \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE4\xBD\xA0\xE5\xA5\xBD "
                    "\xF0\x9F\x98\x80 \xC3\xA9");
    EXPECT_EQ(ToWide(CP_UTF8, utf8), text);

    // Overlong forms, encoded surrogates, values past U+10FFFF and truncated sequences.
    EXPECT_EQ(ToWide(CP_UTF8, "\xC0\x80"), u"??");
    EXPECT_EQ(ToWide(CP_UTF8, "\xE0\x80\x80"), u"???");
    EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"???");
    EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x90\x80\x80"), u"????");
    EXPECT_EQ(ToWide(CP_UTF8, "a\xE4\xBD"), u"a?");
    EXPECT_EQ(ToWide(CP_UTF8, "\xE4\xBDx\x80"), u"?x?");
    EXPECT_EQ(ToWide(CP_UTF8, "\xF8\xFF"), u"??");
    EXPECT_EQ(ToWide(CP_UTF8, "\xF4\x8F\xBF\xBF"), u"\U0010FFFF");

    BOOL used = FALSE;
    EXPECT_EQ(ToNarrow(CP_UTF8,
                       u"a\xD800"
                       u"b\xDC00",
                       &used),
              "a?b?");
    EXPECT_TRUE(used);

    for (size_t cut = 1; cut <= utf8.size(); ++cut)
        EXPECT_NE(ToWide(CP_UTF8, utf8.substr(0, cut)), u"<fail>") << cut;
}

TEST(Win32TextTest, OemPageIsCyrillic866)
{
    EXPECT_EQ(ToWide(CP_OEMCP, "\x80\xA0"), u"Аа");
    EXPECT_EQ(ToNarrow(CP_OEMCP, u"Аа\u4F60"), "\x80\xA0?");
}

TEST(Win32TextTest, LengthsAndBufferSizesFollowThePlatform)
{
    // -1 counts the NUL; an explicit length does not add one.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4F60", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_GBK, 0, u"\u4F60a", 2, nullptr, 0, nullptr, nullptr), 3);

    WCHAR wide[5];
    std::fill(std::begin(wide), std::end(wide), u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4), 4);
    EXPECT_EQ(std::u16string(wide), u"abc");
    EXPECT_EQ(wide[4], u'#');

    // Too small: 0 and ERROR_INSUFFICIENT_BUFFER, nothing written past the given size.
    std::fill(std::begin(wide), std::end(wide), u'#');
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(wide[3], u'#');
    std::fill(std::begin(wide), std::end(wide), u'#');
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_GBK, 0, "\xC4\xE3\xBA\xC3", 4, wide, 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(wide[0], u'\u4F60');
    EXPECT_EQ(wide[1], u'#');

    char narrow[5];
    std::fill(std::begin(narrow), std::end(narrow), '#');
    SetLastError(0);
    // The second character needs two bytes and only one is left.
    EXPECT_EQ(WideCharToMultiByte(CP_GBK, 0, u"a\u4F60", 2, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(narrow[2], '#');
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4F60", 1, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u4F60", 1, narrow, 3, nullptr, nullptr), 3);

    // Every output size around the needed one, on exactly sized heap buffers.
    std::string source = "ab\xC4\xE3"
                         "cd\xBA\xC3";
    int needed = MultiByteToWideChar(CP_GBK, 0, source.data(), static_cast<int>(source.size()), nullptr, 0);
    ASSERT_EQ(needed, 6);
    for (int size = 1; size <= needed; ++size)
    {
        auto out = std::make_unique<WCHAR[]>(static_cast<size_t>(size));
        int r =
            MultiByteToWideChar(CP_GBK, 0, source.data(), static_cast<int>(source.size()), out.get(), size);
        EXPECT_EQ(r, size == needed ? needed : 0) << size;
    }

    // Bad arguments.
    for (UINT page : {1252u, 2u, 950u})
    {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(page, 0, "a", 1, wide, 5), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 1, wide, 5), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 5), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", -2, wide, 5), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 5), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a", 1, wide, -1), 0);
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a", 0, narrow, 5, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, 1, narrow, 5, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"a", 1, narrow, 5, nullptr, nullptr), 0);
}

TEST(Win32TextTest, ConversionsWorkOnManyThreadsAtOnce)
{
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (size_t t = 0; t < failures.size(); ++t)
        threads.emplace_back(
            [t, &failures]
            {
                for (int i = 0; i < 2000; ++i)
                {
                    std::string number = std::to_string(i);
                    std::string name = "dir\\" + number + "\xC4\xE3\xBA\xC3";
                    std::u16string wide = ToWide(CP_GBK, name);
                    if (wide != u"dir\\" + Widen(number) + u"\u4F60\u597D" || ToNarrow(CP_GBK, wide) != name)
                        ++failures[t];
                }
            });
    for (auto& thread : threads)
        thread.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);
}

TEST(Win32TextTest, CaseMappingCoversTheWholePlane)
{
    std::u16string text = u"ABCxyz09_ ÀÉÖ×ÞßÿĀĹŽİıΑΣΩΆςЁЂАЯѠӀӁҐ\u4F60";
    CharLowerW(text.data());
    EXPECT_EQ(text, u"abcxyz09_ àéö×þßÿāĺžiıασωάςёђаяѡӏӂґ\u4F60");
    text = u"abcxyz09_ àéö×þßÿāĺžıασωάςёђаяѡӏӂґµ\u4F60";
    CharUpperW(text.data());
    EXPECT_EQ(text, u"ABCXYZ09_ ÀÉÖ×ÞßŸĀĹŽIΑΣΩΆΣЁЂАЯѠӀӁҐµ\u4F60");

    WCHAR word[] = u"Models\\A.SKI";
    EXPECT_EQ(CharLowerW(word), word);
    EXPECT_EQ(std::u16string(word), u"models\\a.ski");
    EXPECT_EQ(CharLowerW(nullptr), nullptr);
    EXPECT_EQ(CharUpperA(nullptr), nullptr);

    // Over all of UTF-16: lower-casing is idempotent, and a small letter's capital lowers back to
    // it; a capital comes back from its lower case unless several capitals share that small letter.
    for (int i = 0; i < 0x10000; ++i)
    {
        auto c = static_cast<WCHAR>(i);
        WCHAR lower = ToLowerWide(c);
        ASSERT_EQ(ToLowerWide(lower), lower) << i;
        ASSERT_EQ(ToUpperWide(ToUpperWide(c)), ToUpperWide(c)) << i;
        if (lower != c && c != 0x130)
        {
            ASSERT_EQ(ToLowerWide(ToUpperWide(lower)), lower) << i;
        }
    }
    EXPECT_EQ(ToUpperWide(u'ß'), u'ß');
    EXPECT_EQ(ToUpperWide(u'k'), u'K');
    EXPECT_EQ(ToUpperWide(u'\u01C6'), u'\u01C4'); // dz digraph: the capital, not the title case

    // Beyond Latin, Greek and Cyrillic: Armenian, Georgian, Latin Extended Additional, fullwidth.
    text = u"\u0531\u10A0\u1E00\uFF21\u2160\u212A";
    CharLowerW(text.data());
    EXPECT_EQ(text, u"\u0561\u2D00\u1E01\uFF41\u2170k");
    CharUpperW(text.data());
    EXPECT_EQ(text, u"\u0531\u10A0\u1E00\uFF21\u2160K");
}

TEST(Win32TextTest, NarrowCaseMappingUsesTheCyrillicPage)
{
    // Pairs of the Windows Cyrillic page: capital, small.
    const std::pair<int, int> pairs[] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                         {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                         {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                                         {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
    int lowerOf[256], upperOf[256];
    for (int b = 0; b < 256; ++b)
        lowerOf[b] = upperOf[b] = b;
    for (int b = 'A'; b <= 'Z'; ++b)
    {
        lowerOf[b] = b + 0x20;
        upperOf[b + 0x20] = b;
    }
    for (int b = 0xC0; b <= 0xDF; ++b)
    {
        lowerOf[b] = b + 0x20;
        upperOf[b + 0x20] = b;
    }
    for (auto [capital, small] : pairs)
    {
        lowerOf[capital] = small;
        upperOf[small] = capital;
    }
    for (int b = 1; b < 256; ++b)
    {
        char lower[2] = {static_cast<char>(b), 0};
        char upper[2] = {static_cast<char>(b), 0};
        CharLowerA(lower);
        CharUpperA(upper);
        EXPECT_EQ(static_cast<unsigned char>(lower[0]), lowerOf[b]) << b;
        EXPECT_EQ(static_cast<unsigned char>(upper[0]), upperOf[b]) << b;
    }
    char text[] = "True \xCF\xD0\xC8\xC2\xC5\xD2";
    EXPECT_EQ(std::string(CharLowerA(text)), "true \xEF\xF0\xE8\xE2\xE5\xF2");
}

TEST(Win32TextTest, StringLengths)
{
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenW(u""), 0);
    EXPECT_EQ(lstrlenW(u"ab\U0001F600"), 4);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("\xC4\xE3z"), 3);
}
