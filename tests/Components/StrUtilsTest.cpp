#include "Components/StrUtils.h"

#include "tests/support/CommaLocale.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/Utf16Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace
{
std::u16string W(const WCHAR* text)
{
    return text ? std::u16string(text) : std::u16string();
}

std::u16string W(const XString& text)
{
    return std::u16string(text.c_str());
}
} // namespace

TEST(StrUtilsTest, EmptyAndNullSourcesNeverAllocate)
{
    XString none;
    XString fromNull(static_cast<const WCHAR*>(nullptr));
    XString fromEmpty(u"");
    for (const XString* s : {&none, &fromNull, &fromEmpty})
    {
        EXPECT_EQ(s->Data(), nullptr);
        EXPECT_EQ(s->Length(), 0u);
        ASSERT_NE(s->c_str(), nullptr);
        EXPECT_EQ(s->c_str()[0], 0);
    }

    XString s(u"abc");
    s = static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(s.Data(), nullptr);
    s = u"abc";
    s.Assign(u"xyz", 0);
    EXPECT_EQ(s.Data(), nullptr);
    XString copyOfEmpty(none);
    EXPECT_EQ(copyOfEmpty.Data(), nullptr);
    EXPECT_EQ((none + fromEmpty).Data(), nullptr);

    XAnsiString narrow(static_cast<const char*>(nullptr));
    EXPECT_EQ(narrow.Data(), nullptr);
    EXPECT_EQ(narrow.Length(), 0u);
    EXPECT_STREQ(narrow.c_str(), "");
    narrow = "abcd";
    EXPECT_EQ(narrow.StrLen(), 4u);
    EXPECT_STREQ(narrow.c_str(), "abcd");
    narrow.Assign("");
    EXPECT_EQ(narrow.Data(), nullptr);
}

TEST(StrUtilsTest, CopiesAreDeepAndSelfOperationsWork)
{
    XString a(u"hello");
    XString b(a);
    ASSERT_NE(a.Data(), b.Data());
    b.Data()[0] = u'j';
    EXPECT_EQ(W(a), u"hello");
    EXPECT_EQ(W(b), u"jello");
    a = b;
    EXPECT_EQ(W(a), u"jello");
    EXPECT_NE(a.Data(), b.Data());

    // Assignment and append of a string's own text.
    XString& alias = a;
    a = alias;
    EXPECT_EQ(W(a), u"jello");
    a = a.c_str();
    EXPECT_EQ(W(a), u"jello");
    a.Assign(a.Data() + 1, 2);
    EXPECT_EQ(W(a), u"el");
    a += a;
    EXPECT_EQ(W(a), u"elel");
    a += XString();
    EXPECT_EQ(W(a), u"elel");
    XString empty;
    empty += empty;
    EXPECT_EQ(empty.Data(), nullptr);
    empty += a;
    EXPECT_EQ(W(empty), u"elel");

    XString exact;
    exact.Assign(u"abcdef", 3);
    EXPECT_EQ(W(exact), u"abc");

    EXPECT_EQ(W(XString(u"ab") + XString(u"cd")), u"abcd");
    EXPECT_EQ(W(XString(u"ab") + u"cd"), u"abcd");
    EXPECT_EQ(W(u"ab" + XString(u"cd")), u"abcd");

    XAnsiString n1("text");
    XAnsiString n2(n1);
    EXPECT_NE(n1.c_str(), n2.c_str());
    n2 = n2;
    EXPECT_STREQ(n2.c_str(), "text");
}

TEST(StrUtilsTest, SetLengthTruncateAndSubString)
{
    XString s(u"abc");
    s.SetLength(10);
    EXPECT_EQ(s.Length(), 3u);
    EXPECT_EQ(W(s), u"abc");
    // The reserved room takes characters without a new buffer.
    WCHAR* room = s.Data();
    room[3] = u'd';
    EXPECT_EQ(W(s), u"abcd");
    s.SetLength(2);
    EXPECT_EQ(W(s), u"ab");
    s.SetLength(0);
    EXPECT_EQ(s.Data(), nullptr);
    XString reserved;
    reserved.SetLength(4);
    ASSERT_NE(reserved.Data(), nullptr);
    EXPECT_EQ(reserved.Length(), 0u);

    XString t(u"abcdef");
    WCHAR* before = t.Data();
    t.Truncate(6);
    t.Truncate(100);
    EXPECT_EQ(t.Data(), before);
    t.Truncate(2);
    EXPECT_EQ(W(t), u"ab");
    t.Truncate(0);
    EXPECT_EQ(t.Data(), nullptr);

    XString abc(u"abc");
    EXPECT_EQ(abc.SubString(5, 3).Data(), nullptr);
    EXPECT_EQ(abc.SubString(3, 1).Data(), nullptr);
    EXPECT_EQ(W(abc.SubString(1, 10)), u"bc");
    EXPECT_EQ(W(abc.SubString(0, 2)), u"ab");
    EXPECT_EQ(abc.SubString(1, 0).Data(), nullptr);
    EXPECT_EQ(W(abc.SubString(1, UINT_MAX)), u"bc");
}

TEST(StrUtilsTest, ComparisonIsExactAndLowerCaseIsInPlace)
{
    EXPECT_FALSE(XString(u"Name") == XString(u"name"));
    EXPECT_TRUE(XString(u"Name") != XString(u"name"));
    EXPECT_TRUE(XString(u"Name") == XString(u"Name"));
    EXPECT_TRUE(XString(u"Name") == u"Name");
    EXPECT_TRUE(XString(u"Name") != u"Nam");
    EXPECT_TRUE(XString() == u"");
    EXPECT_TRUE(XString() == static_cast<const WCHAR*>(nullptr));
    EXPECT_TRUE(XString() == XString(u""));
    EXPECT_FALSE(XString() == u"a");

    EXPECT_EQ(StrUtils::StrCompare(u"a", u"b"), -1);
    EXPECT_EQ(StrUtils::StrCompare(u"b", u"a"), 1);
    EXPECT_EQ(StrUtils::StrCompare(u"abc", u"abc"), 0);
    EXPECT_EQ(StrUtils::StrCompare(u"ab", u"abc"), -1);
    EXPECT_EQ(StrUtils::StrCompare(u"", u"a"), -1);
    EXPECT_EQ(StrUtils::StrCompare("Name", "name") != 0, true);
    EXPECT_EQ(StrUtils::StrCompare("same", "same"), 0);
    EXPECT_TRUE(XAnsiString("x") == "x");

    XString s(u"MiXeD \u0416\u0401");
    WCHAR* buffer = s.Data();
    s.LowerCase();
    EXPECT_EQ(s.Data(), buffer);
    EXPECT_EQ(W(s), u"mixed \u0436\u0451");
    XString empty;
    empty.LowerCase();
    EXPECT_EQ(empty.Data(), nullptr);
}

TEST(StrUtilsTest, ClassLibraryStrings)
{
    UnicodeString source(u"wide text");
    XString s(source);
    EXPECT_EQ(W(s), u"wide text");
    EXPECT_EQ(XString(UnicodeString()).Data(), nullptr);
    UnicodeString back = s;
    EXPECT_EQ(back.str(), u"wide text");
    UnicodeString assigned;
    StrUtils::AssignString(assigned, s);
    EXPECT_EQ(assigned.str(), u"wide text");
    StrUtils::AssignString(assigned, XString());
    EXPECT_TRUE(assigned.IsEmpty());

    AnsiString narrow;
    StrUtils::AssignString(narrow, XAnsiString("bytes"));
    EXPECT_EQ(narrow.str(), "bytes");
}

TEST(StrUtilsTest, CopyHelpers)
{
    WCHAR buffer[8];
    FillChars(buffer, u'#', 8);
    StrUtils::StrCopy(buffer, u"abcdef", 3);
    EXPECT_EQ(std::u16string(buffer, 8), u"abc#####");
    StrUtils::StrNCopy(buffer, u"xy", 5);
    EXPECT_EQ(std::u16string(buffer, 8), u"xy\0#####"s);
    FillChars(buffer, u'#', 8);
    StrUtils::StrNCopy(buffer, u"abcdefgh", 4);
    EXPECT_EQ(std::u16string(buffer, 8), u"abcd\0###"s);
    StrUtils::StrNCopy(buffer, u"abc", 0);
    EXPECT_EQ(buffer[0], 0);

    char narrow[6] = "-----";
    FillChars(narrow, 'z', 3);
    EXPECT_STREQ(narrow, "zzz--");
    FillChars(narrow, 'q', 0);
    EXPECT_STREQ(narrow, "zzz--");

    EXPECT_EQ(StrDup(""), nullptr);
    EXPECT_EQ(StrDup(nullptr), nullptr);
    EXPECT_EQ(WStrDup(u""), nullptr);
    const char* original = "dup";
    char* copy = StrDup(original);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, original);
    EXPECT_STREQ(copy, "dup");
    delete[] copy;
    WCHAR* wideCopy = WStrDup(u"wide");
    EXPECT_EQ(W(wideCopy), u"wide");
    delete[] wideCopy;
}

TEST(StrUtilsTest, StringListSlotsAndGrowth)
{
    XStringList list;
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.Add(u"first"), 0u);
    EXPECT_EQ(list.Add(u""), 1u);
    EXPECT_EQ(list.Add(nullptr), 2u);
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(W(list[0]), u"first");
    EXPECT_EQ(list[1], nullptr);
    EXPECT_EQ(list[2], nullptr);

    // An own copy: changing the source leaves the list alone.
    WCHAR source[] = u"copy";
    list.Add(source);
    source[0] = u'X';
    EXPECT_EQ(W(list[3]), u"copy");

    // Past the first 16 slots and well beyond: every text survives the growth.
    for (int i = 4; i < 100; ++i)
    {
        WCHAR text[16];
        IntToStr(text, i);
        EXPECT_EQ(list.Add(text), static_cast<unsigned>(i));
    }
    for (int i = 4; i < 100; ++i)
    {
        WCHAR text[16];
        IntToStr(text, i);
        EXPECT_EQ(W(list[static_cast<unsigned>(i)]), W(text));
    }
    list.SetCount(2);
    EXPECT_EQ(list.GetCount(), 2u);
    list.SetCount(5);
    EXPECT_EQ(list[4], nullptr);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.Add(u"again"), 0u);
}

TEST(StrUtilsTest, StringListRefusesAnIndexPastTheCount)
{
    BoxRecorder recorder;
    XStringList list;
    list.Add(u"only");
    WCHAR*& slot = list[1];
    ASSERT_EQ(recorder.boxes.size(), 1u);
    const RecordedBox& box = recorder.boxes[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, u"Error");
    EXPECT_EQ(box.type, MB_OK);
    const std::u16string prefix = u"File: ..\\Components\\StrUtils.h; Line: ";
    const std::u16string suffix = u"; \nAssertion failure!";
    ASSERT_GT(box.text.size(), prefix.size() + suffix.size());
    EXPECT_EQ(box.text.substr(0, prefix.size()), prefix);
    EXPECT_EQ(box.text.substr(box.text.size() - suffix.size()), suffix);
    std::u16string line = box.text.substr(prefix.size(), box.text.size() - prefix.size() - suffix.size());
    EXPECT_EQ(line.find_first_not_of(u"0123456789"), std::u16string::npos);
    EXPECT_NE(line[0], u'0');

    // The refused slot is empty and is none of the list's.
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(W(list[0]), u"only");
    EXPECT_EQ(recorder.boxes.size(), 1u);

    XStringList empty;
    EXPECT_EQ(empty[0], nullptr);
    EXPECT_EQ(empty[UINT_MAX], nullptr);
    EXPECT_EQ(recorder.boxes.size(), 3u);
}

TEST(StrUtilsTest, CodePageConversions)
{
    // The ANSI code page is Windows-1251: one byte per character, '?' for what it cannot hold.
    const char cyrillic[] = "\xCF\xF0\xE8\xE2\xE5\xF2";
    XAnsiString narrow = WideToAnsi(XString(u"\u041F\u0440\u0438\u0432\u0435\u0442"));
    EXPECT_STREQ(narrow.c_str(), cyrillic);
    EXPECT_EQ(W(AnsiToWide(narrow)), u"\u041F\u0440\u0438\u0432\u0435\u0442");
    EXPECT_STREQ(WideToAnsi(XString(u"a\u4E2Db")).c_str(), "a?b");
    EXPECT_EQ(WideToAnsi(XString()).Data(), nullptr);
    EXPECT_EQ(AnsiToWide(XAnsiString()).Data(), nullptr);

    char bytes[8];
    FillChars(bytes, '#', 8);
    WideToMultiByte(bytes, u"abc");
    EXPECT_EQ(std::string(bytes, 8), std::string("abc\0####", 8));
    WideToMultiByte(bytes, u"");
    EXPECT_EQ(bytes[0], 0);
    WCHAR wide[8];
    FillChars(wide, u'#', 8);
    MultiByteToWide(wide, "\xC0z");
    EXPECT_EQ(std::u16string(wide, 8), u"\u0410z\0#####"s);
    MultiByteToWide(wide, nullptr);
    EXPECT_EQ(wide[0], 0);
}

TEST(StrUtilsTest, NumberTexts)
{
    char text[64];
    WCHAR wide[64];

    BoolToText(text, true);
    EXPECT_STREQ(text, "true");
    BoolToText(text, false);
    EXPECT_STREQ(text, "false");
    BoolToText(wide, false);
    EXPECT_EQ(W(wide), u"false");

    // "%.9g" shapes.
    const std::pair<double, const char*> doubles[] = {
        {1.0, "1"},
        {0.5, "0.5"},
        {-2.25, "-2.25"},
        {1.5e10, "1.5e+10"},
        {1e-5, "1e-05"},
        {0.0001, "0.0001"},
        {123456789.0, "123456789"},
        {1234567890.0, "1.23456789e+09"},
        {1.0 / 3, "0.333333333"},
        {-0.0, "-0"},
        {1e300, "1e+300"},
        {2.0 / 3 * 1e-300, "6.66666667e-301"},
    };
    for (const auto& [value, expected] : doubles)
    {
        FloatToText(text, value);
        EXPECT_STREQ(text, expected) << value;
        FloatToText(wide, value);
        EXPECT_EQ(W(wide), Widen(expected)) << value;
    }
    FloatToText(text, 0.1f);
    EXPECT_STREQ(text, "0.100000001");
    FloatToText(wide, 3.0f);
    EXPECT_EQ(W(wide), u"3");
    FloatToText(text, 1.0 / 0.0);
    EXPECT_STREQ(text, "inf");
    FloatToText(text, -1.0 / 0.0);
    EXPECT_STREQ(text, "-inf");
    FloatToText(text, -1.23456789e-308);
    EXPECT_STREQ(text, "-1.23456789e-308");

    struct Fixed
    {
        double value;
        unsigned decimals;
        const char* expected;
    };
    const Fixed fixed[] = {
        {2.5, 2, "2.50"},
        {-0.25, 1, "-0.2"},
        {2.3, 1, "2.3"},
        {0.29, 2, "0.29"},
        {3.99, 0, "3"},
        {-3.99, 0, "-3"},
        {-0.5, 0, "0"},
        {1.5, 12, "1.500000000"},
        {0.001, 2, "0.00"},
        {-0.001, 2, "-0.00"},
        {123.456789, 9, "123.456789000"},
        {1e-300, 9, "0.000000000"},
        {2147483647.5, 1, "2147483647.5"},
        {-2147483648.75, 2, "-2147483648.75"},
        {1e10, 2, "1e+10"},
        {-3e12, 0, "-3e+12"},
    };
    for (const Fixed& f : fixed)
    {
        FormatFixed(text, f.value, f.decimals);
        EXPECT_STREQ(text, f.expected) << f.value << " " << f.decimals;
        FormatFixed(wide, f.value, f.decimals);
        EXPECT_EQ(W(wide), Widen(f.expected)) << f.value;
    }
    FormatFixed(text, 0.0 / 0.0, 2);
    EXPECT_NE(std::string(text).find("nan"), std::string::npos);

    IntToHex(text, -1);
    EXPECT_STREQ(text, "0xFFFFFFFF");
    IntToHex(text, 0);
    EXPECT_STREQ(text, "0x00000000");
    IntToHex(wide, 0x1F);
    EXPECT_EQ(W(wide), u"0x0000001F");
    IntToHex(wide, INT_MIN);
    EXPECT_EQ(W(wide), u"0x80000000");

    const unsigned char bytes[] = {0x00, 0xAB, 0x7F, 0xF0};
    BytesToHex(wide, bytes, 4);
    EXPECT_EQ(W(wide), u"00AB7FF0");
    BytesToHex(wide, bytes, 0);
    EXPECT_EQ(W(wide), u"");

    IntToText(text, INT_MIN);
    EXPECT_STREQ(text, "-2147483648");
    IntToText(text, INT_MAX);
    EXPECT_STREQ(text, "2147483647");
    IntToText(text, 0);
    EXPECT_STREQ(text, "0");
    IntToStr(wide, -7);
    EXPECT_EQ(W(wide), u"-7");
    IntToStr(wide, INT_MIN);
    EXPECT_EQ(W(wide), u"-2147483648");
}

TEST(StrUtilsTest, TextToBoolLooksAtTheFirstFourCharacters)
{
    for (const char* yes : {"true", "TRUE", "True", "trueish", "TrUe!"})
    {
        EXPECT_TRUE(TextToBool(yes)) << yes;
        EXPECT_TRUE(TextToBool(Widen(yes).c_str())) << yes;
    }
    for (const char* no : {"tru", "yes", "1", "", " true", "false", "t rue"})
    {
        EXPECT_FALSE(TextToBool(no)) << no;
        EXPECT_FALSE(TextToBool(Widen(no).c_str())) << no;
    }
    EXPECT_FALSE(TextToBool(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(TextToBool(static_cast<const WCHAR*>(nullptr)));
}

TEST(StrUtilsTest, IntegerTexts)
{
    EXPECT_EQ(BinToInt64(u"101"), 5);
    EXPECT_EQ(BinToInt64(u""), 0);
    EXPECT_EQ(OctToInt64(u"777"), 511);
    EXPECT_EQ(HexToInt64(u"1F"), 31);
    EXPECT_EQ(HexToInt64(u"ff"), 255);
    EXPECT_EQ(HexToInt64(u"aBcD"), 0xABCD);
    EXPECT_EQ(HexToInt64(u"FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(HexToInt64(u"7FFFFFFFFFFFFFFF"), INT64_MAX);
    // Longer than 64 bits: the high digits shift out without a fault.
    EXPECT_EQ(HexToInt64(u"123456789ABCDEF01"), static_cast<int64_t>(0x23456789ABCDEF01));

    EXPECT_EQ(StrUtils::DecStrToInt64(u"123"), 123);
    EXPECT_EQ(StrUtils::DecStrToInt64(u""), 0);
    // Past 64 bits the value wraps (10^20 - 1 modulo 2^64) instead of overflowing.
    EXPECT_EQ(StrUtils::DecStrToInt64(u"99999999999999999999"), INT64_C(7766279631452241919));

    EXPECT_EQ(StrUtils::StrToInt64(u"  - 12  "), -12);
    EXPECT_EQ(StrUtils::StrToInt64(u"0x1F"), 31);
    EXPECT_EQ(StrUtils::StrToInt64(u"0X1f"), 31);
    EXPECT_EQ(StrUtils::StrToInt64(u" 0 x 1F"), 31);
    EXPECT_EQ(StrUtils::StrToInt64(u"+42"), 42);
    EXPECT_EQ(StrUtils::StrToInt64(u"\t1\r\n2"), 12);
    EXPECT_EQ(StrUtils::StrToInt64(u""), 0);
    EXPECT_EQ(StrUtils::StrToInt64(u"-"), 0);
    EXPECT_EQ(StrUtils::StrToInt64(nullptr), 0);
    EXPECT_EQ(StrUtils::StrToInt64(u"9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrUtils::StrToInt64(u"-9223372036854775808"), INT64_MIN);

    // Only the first 512 characters count, blanks included.
    std::u16string zeros(511, u'0');
    EXPECT_EQ(StrUtils::StrToInt64((zeros + u"7").c_str()), 7);
    EXPECT_EQ(StrUtils::StrToInt64((zeros + u"07").c_str()), 0);
    std::u16string blanks(512, u' ');
    EXPECT_EQ(StrUtils::StrToInt64((blanks + u"5").c_str()), 0);
    std::u16string huge(100000, u'9');
    StrUtils::StrToInt64(huge.c_str());
}

TEST(StrUtilsTest, TextToDouble)
{
    EXPECT_EQ(TextToDouble("1.5"), 1.5);
    EXPECT_EQ(TextToDouble("  -2.25e3xyz"), -2250.0);
    EXPECT_EQ(TextToDouble("abc"), 0.0);
    EXPECT_EQ(TextToDouble(""), 0.0);
    EXPECT_EQ(TextToDouble(static_cast<const char*>(nullptr)), 0.0);
    EXPECT_EQ(TextToDouble(u"1.5"), 1.5);
    EXPECT_EQ(TextToDouble(u" 3.25\u20AC"), 3.25);
    EXPECT_EQ(TextToDouble(u"\u0661"), 0.0);
    EXPECT_EQ(TextToDouble(static_cast<const WCHAR*>(nullptr)), 0.0);

    // Round trip of the nine-digit text.
    char text[32];
    FloatToText(text, 3.14159274f);
    EXPECT_EQ(static_cast<float>(TextToDouble(text)), 3.14159274f);
}

TEST(StrUtilsTest, NumberTextsIgnoreTheProcessLocale)
{
    CommaLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    char text[64];
    WCHAR wide[64];
    EXPECT_EQ(TextToDouble("1.5"), 1.5);
    EXPECT_EQ(TextToDouble(u"1.5"), 1.5);
    FloatToText(text, 1.5);
    EXPECT_STREQ(text, "1.5");
    FloatToText(wide, 0.25f);
    EXPECT_EQ(W(wide), u"0.25");
    FormatFixed(text, 2.5, 2);
    EXPECT_STREQ(text, "2.50");
}

TEST(StrUtilsTest, FileNamesAndExtensions)
{
    EXPECT_EQ(W(GetFileName(XString(u"dir/sub\\name.ext"))), u"name.ext");
    EXPECT_EQ(W(GetFileName(XString(u"name"))), u"name");
    EXPECT_EQ(GetFileName(XString(u"dir\\")).Data(), nullptr);
    EXPECT_EQ(GetFileName(XString()).Data(), nullptr);

    EXPECT_EQ(GetFileExt(XString(u"C:\\dir.old\\file")).Data(), nullptr);
    EXPECT_EQ(W(GetFileExt(XString(u"a.b.xscene"))), u".xscene");
    EXPECT_EQ(W(GetFileExt(XString(u"C:.ext"))), u".ext");
    EXPECT_EQ(GetFileExt(XString(u"C:file")).Data(), nullptr);
    EXPECT_EQ(GetFileExt(XString(u"dir.d/file")).Data(), nullptr);
    EXPECT_EQ(W(GetFileExt(XString(u".hidden"))), u".hidden");
    EXPECT_EQ(W(GetFileExt(XString(u"name."))), u".");
    EXPECT_EQ(GetFileExt(XString(u"noext")).Data(), nullptr);
    EXPECT_EQ(GetFileExt(XString()).Data(), nullptr);

    EXPECT_EQ(IncludeTrailingSlash(XString()).Data(), nullptr);
    EXPECT_EQ(W(IncludeTrailingSlash(XString(u"dir"))), u"dir\\");
    EXPECT_EQ(W(IncludeTrailingSlash(XString(u"dir\\"))), u"dir\\");
    EXPECT_EQ(W(IncludeTrailingSlash(XString(u"dir/"))), u"dir/");

    EXPECT_EQ(CharAt(XString(u"abc"), 2), u'c');
}

TEST(StrUtilsTest, TimeStamp)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    WCHAR text[32];
    FillChars(text, u'#', 32);
    FormatTimeStamp(text);
    std::u16string stamp(text);
    ASSERT_EQ(stamp.size(), 23u);
    EXPECT_EQ(text[24], u'#');
    const std::u16string shape = u"dddd.dd.dd dd:dd:dd:ddd";
    for (size_t i = 0; i < shape.size(); ++i)
    {
        if (shape[i] == u'd')
            EXPECT_TRUE(stamp[i] >= u'0' && stamp[i] <= u'9') << i;
        else
            EXPECT_EQ(stamp[i], shape[i]) << i;
    }
    WCHAR year[8];
    IntToStr(year, before.wYear);
    EXPECT_EQ(stamp.substr(0, 4), W(year));
    int month = (stamp[5] - u'0') * 10 + (stamp[6] - u'0');
    int day = (stamp[8] - u'0') * 10 + (stamp[9] - u'0');
    EXPECT_TRUE(month >= 1 && month <= 12);
    EXPECT_TRUE(day >= 1 && day <= 31);
}
