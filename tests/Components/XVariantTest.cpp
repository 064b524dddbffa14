#include "Components/XVariant.h"

#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using VarUtils::XVariant;
using VarUtils::XVariantCastError;

namespace
{
// Tags that no public operation makes (only the conversions know them) are set directly.
class ForgedVariant : public XVariant
{
public:
    ForgedVariant(uint32_t type, int64_t bits)
    {
        m_Type = type;
        m_Value.Int = bits;
    }
    ForgedVariant(uint32_t type, double value)
    {
        m_Type = type;
        m_Value.Double = value;
    }
};

std::u16string Wide(const XVariant& v)
{
    return std::u16string(v.AsString().c_str());
}

std::string Narrow(const XVariant& v)
{
    return std::string(v.AsAnsiString().c_str());
}

XVariant WideText(const char16_t* text)
{
    return XVariant(XString(text));
}

XVariant NarrowText(const char* text)
{
    XVariant v;
    v = XAnsiString(text);
    return v;
}

// Runs the conversion and checks that it throws the cast error with its exact message and
// leaves the variant as it was.
template <class F> void ExpectCastError(const XVariant& v, F conversion)
{
    uint32_t type = v.GetType();
    std::u16string before = Wide(v);
    try
    {
        conversion();
        ADD_FAILURE() << "no exception for tag " << std::hex << type;
    }
    catch (const XVariantCastError& e)
    {
        EXPECT_EQ(e.Message().str(), u"Variant type conversion error.");
    }
    EXPECT_EQ(v.GetType(), type);
    EXPECT_EQ(Wide(v), before);
}

void ExpectNoNumber(const XVariant& v)
{
    ExpectCastError(v, [&] { (void)v.AsInt(); });
    ExpectCastError(v, [&] { (void)static_cast<int>(v); });
    ExpectCastError(v, [&] { (void)v.AsDouble(); });
}

// The exception must also reach a handler of the class library's root type.
TEST(XVariantTest, CastErrorIsAnException)
{
    XVariant v;
    try
    {
        (void)v.AsBool();
        FAIL();
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.Message().str(), u"Variant type conversion error.");
        EXPECT_NE(dynamic_cast<const XException*>(&e), nullptr);
    }
}

TEST(XVariantTest, TagsOfConstructorsAndAssignments)
{
    XVariant v;
    EXPECT_EQ(v.GetType(), 0x01000000u);
    EXPECT_EQ(XVariant(-3).GetType(), 0x02000004u);
    EXPECT_EQ(WideText(u"x").GetType(), 0x1000000Du);
    EXPECT_EQ(WideText(u"").GetType(), 0x1000000Du);
    v = true;
    EXPECT_EQ(v.GetType(), 0x02000001u);
    v = 7u;
    EXPECT_EQ(v.GetType(), 0x02000004u);
    v = 1.25f;
    EXPECT_EQ(v.GetType(), 0x04000006u);
    v = XAnsiString("a");
    EXPECT_EQ(v.GetType(), 0x1000000Cu);
    v = XString(u"b");
    EXPECT_EQ(v.GetType(), 0x1000000Du);
    v.Clear();
    EXPECT_EQ(v.GetType(), 0x01000000u);
    EXPECT_EQ(Wide(v), u"NULL");
}

TEST(XVariantTest, EmptyVariant)
{
    XVariant v;
    EXPECT_EQ(Wide(v), u"NULL");
    EXPECT_EQ(Narrow(v), "NULL");
    ExpectNoNumber(v);
    ExpectCastError(v, [&] { (void)v.AsBool(); });
    ExpectCastError(v, [&] { (void)v.AsPointer(); });
}

TEST(XVariantTest, IntegerConversions)
{
    XVariant v(-7);
    EXPECT_EQ(v.AsInt(), -7);
    EXPECT_EQ(static_cast<int>(v), -7);
    EXPECT_EQ(v.AsDouble(), -7.0);
    EXPECT_TRUE(v.AsBool());
    EXPECT_EQ(Wide(v), u"-7");
    EXPECT_EQ(Narrow(v), "-7");
    EXPECT_FALSE(XVariant(0).AsBool());
    EXPECT_EQ(Wide(XVariant(0)), u"0");
    EXPECT_EQ(Wide(XVariant(INT_MIN)), u"-2147483648");
    EXPECT_EQ(XVariant(INT_MIN).AsDouble(), -2147483648.0);
    EXPECT_EQ(Wide(XVariant(INT_MAX)), u"2147483647");

    // The unsigned assignment keeps the high word 0: the double is the unsigned value, while the
    // int and the text read the low 32 bits as signed, so that the text read back as a wide or
    // narrow text gives the same 32 bits (a colour with its top bit set survives a trip through XML).
    struct Unsigned
    {
        unsigned value;
        int asInt;
        const char* text;
    } unsignedRows[] = {
        {0x7FFFFFFFu, INT_MAX, "2147483647"},
        {0x80000000u, INT_MIN, "-2147483648"},
        {3000000000u, -1294967296, "-1294967296"},
        {0xFF808080u, -8355712, "-8355712"},
        {0xFFFFFFFFu, -1, "-1"},
    };
    for (const Unsigned& row : unsignedRows)
    {
        v = row.value;
        EXPECT_EQ(v.AsDouble(), static_cast<double>(row.value));
        EXPECT_EQ(v.AsInt(), row.asInt);
        EXPECT_TRUE(v.AsBool());
        EXPECT_EQ(Narrow(v), row.text);
        EXPECT_EQ(Wide(v), std::u16string(row.text, row.text + std::strlen(row.text)));
        XVariant wide(v.AsString());
        XVariant narrow;
        narrow = v.AsAnsiString();
        EXPECT_EQ(static_cast<unsigned>(wide.AsInt()), row.value) << row.text;
        EXPECT_EQ(static_cast<unsigned>(narrow.AsInt()), row.value) << row.text;
    }
    v = 0u;
    EXPECT_FALSE(v.AsBool());
}

TEST(XVariantTest, BoolConversions)
{
    XVariant v;
    v = true;
    EXPECT_TRUE(v.AsBool());
    EXPECT_EQ(v.AsInt(), 1);
    EXPECT_EQ(v.AsDouble(), 1.0);
    EXPECT_EQ(Wide(v), u"true");
    EXPECT_EQ(Narrow(v), "true");
    v = false;
    EXPECT_FALSE(v.AsBool());
    EXPECT_EQ(v.AsInt(), 0);
    EXPECT_EQ(Wide(v), u"false");
}

TEST(XVariantTest, FloatConversions)
{
    XVariant v;
    v = 0.1f;
    EXPECT_EQ(Wide(v), u"0.100000001");
    EXPECT_EQ(Narrow(v), "0.100000001");
    EXPECT_EQ(v.AsDouble(), static_cast<double>(0.1f));
    EXPECT_EQ(v.AsInt(), 0);
    EXPECT_TRUE(v.AsBool());
    v = -2.75f;
    EXPECT_EQ(v.AsInt(), -2);
    EXPECT_EQ(v.AsDouble(), -2.75);
    EXPECT_EQ(Wide(v), u"-2.75");
    v = 2.99f;
    EXPECT_EQ(v.AsInt(), 2);
    v = 0.0f;
    EXPECT_FALSE(v.AsBool());
    v = -0.0f;
    EXPECT_FALSE(v.AsBool());

    // Out of the int range and NaN have no integer; they saturate rather than reach undefined
    // behaviour.
    v = 1e20f;
    EXPECT_EQ(v.AsInt(), INT_MAX);
    v = -1e20f;
    EXPECT_EQ(v.AsInt(), INT_MIN);
    v = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(v.AsInt(), 0);
    EXPECT_TRUE(v.AsBool());
    v = std::numeric_limits<float>::infinity();
    EXPECT_EQ(v.AsInt(), INT_MAX);
    EXPECT_TRUE(std::isinf(v.AsDouble()));
}

TEST(XVariantTest, WideTextConversions)
{
    EXPECT_EQ(WideText(u"12abc").AsInt(), 12);
    EXPECT_EQ(WideText(u"12abc").AsDouble(), 12.0);
    EXPECT_EQ(WideText(u"1.5").AsDouble(), 1.5);
    EXPECT_EQ(WideText(u"1.5").AsInt(), 1);
    EXPECT_EQ(WideText(u"-2.5e3").AsDouble(), -2500.0);
    EXPECT_EQ(WideText(u"  \t-42").AsInt(), -42);
    EXPECT_EQ(WideText(u"+7").AsInt(), 7);
    EXPECT_EQ(WideText(u"abc").AsInt(), 0);
    EXPECT_EQ(WideText(u"abc").AsDouble(), 0.0);
    EXPECT_EQ(WideText(u"- 5").AsInt(), 0);
    EXPECT_EQ(WideText(u"2147483647").AsInt(), INT_MAX);
    EXPECT_EQ(WideText(u"-2147483648").AsInt(), INT_MIN);
    EXPECT_EQ(WideText(u"99999999999999999999").AsInt(), INT_MAX);
    EXPECT_EQ(WideText(u"-99999999999999999999").AsInt(), INT_MIN);
    EXPECT_EQ(static_cast<int>(WideText(u"33")), 33);

    EXPECT_TRUE(WideText(u"true").AsBool());
    EXPECT_TRUE(WideText(u"TRUE").AsBool());
    EXPECT_TRUE(WideText(u"True").AsBool());
    EXPECT_TRUE(WideText(u"trueish").AsBool());
    // Only the word counts as true: a digit one is false.
    EXPECT_FALSE(WideText(u"1").AsBool());
    EXPECT_FALSE(WideText(u"tru").AsBool());
    EXPECT_FALSE(WideText(u"yes").AsBool());

    EXPECT_EQ(Wide(WideText(u"Hello")), u"Hello");
    EXPECT_EQ(Narrow(WideText(u"Hello")), "Hello");
    // Narrowed with the ANSI code page (Cyrillic).
    EXPECT_EQ(Narrow(WideText(u"\u041F\u0440\u0438")), "\xCF\xF0\xE8");
    EXPECT_EQ(Narrow(WideText(u"a\u65E5")), "a?");

    // The empty text is held as null: no number, false, "".
    XVariant empty = WideText(u"");
    ExpectNoNumber(empty);
    EXPECT_FALSE(empty.AsBool());
    EXPECT_EQ(Wide(empty), u"");
    EXPECT_EQ(Narrow(empty), "");
    ExpectCastError(empty, [&] { (void)empty.AsPointer(); });
}

TEST(XVariantTest, OnlyDecimalTextIsANumber)
{
    // Texts that are no decimal number read as AsInt reads them, never as NaN or infinity, which
    // would pass every range check of a caller.
    struct Case
    {
        const char* Text;
        double Expected;
    };
    const Case cases[] = {
        {"0x10", 0.0},       {"0X1p3", 0.0},      {"nan", 0.0},       {"NaN(123)", 0.0},
        {"-nan", 0.0},       {"inf", 0.0},        {"-Infinity", 0.0}, {"+INF", 0.0},
        {" ", 0.0},          {".", 0.0},          {"-", 0.0},         {"e5", 0.0},
        {"  -1.25e2x", -125.0}, {"+.5", 0.5},     {"7.", 7.0},        {"3e", 3.0},
        {"3e+", 3.0},        {"2E-1", 0.2},       {"1.5.5", 1.5},     {"\t\n42", 42.0},
        {"1e999", DBL_MAX},  {"-1e999", -DBL_MAX}, {"1e-999", 0.0},
    };
    for (const Case& c : cases)
    {
        std::string text = c.Text;
        std::u16string wide(text.begin(), text.end());
        double narrow = NarrowText(text.c_str()).AsDouble();
        EXPECT_EQ(narrow, c.Expected) << c.Text;
        EXPECT_EQ(WideText(wide.c_str()).AsDouble(), c.Expected) << c.Text;
        EXPECT_TRUE(std::isfinite(narrow)) << c.Text;
    }
    // Hexadecimal agrees with AsInt.
    EXPECT_EQ(NarrowText("0x10").AsInt(), 0);
}

TEST(XVariantTest, NarrowTextConversions)
{
    EXPECT_EQ(NarrowText("12abc").AsInt(), 12);
    EXPECT_EQ(NarrowText("12abc").AsDouble(), 12.0);
    EXPECT_EQ(NarrowText("1.5").AsDouble(), 1.5);
    EXPECT_EQ(NarrowText("0.25").AsDouble(), 0.25);
    EXPECT_EQ(NarrowText("1.5").AsInt(), 1);
    EXPECT_EQ(NarrowText("\n -9x").AsInt(), -9);
    EXPECT_EQ(NarrowText("-99999999999").AsInt(), INT_MIN);
    EXPECT_TRUE(NarrowText("TRUE").AsBool());
    EXPECT_TRUE(NarrowText("true").AsBool());
    EXPECT_FALSE(NarrowText("1").AsBool());
    EXPECT_FALSE(NarrowText("false").AsBool());

    EXPECT_EQ(Narrow(NarrowText("abc")), "abc");
    EXPECT_EQ(Wide(NarrowText("abc")), u"abc");
    // Widened with the ANSI code page (Cyrillic).
    EXPECT_EQ(Wide(NarrowText("\xCF\xF0\xE8")), u"\u041F\u0440\u0438");

    XVariant empty = NarrowText("");
    EXPECT_EQ(empty.GetType(), 0x1000000Cu);
    ExpectNoNumber(empty);
    EXPECT_FALSE(empty.AsBool());
    EXPECT_EQ(Narrow(empty), "");
    EXPECT_EQ(Wide(empty), u"");
}

TEST(XVariantTest, TagsOnlyTheConversionsKnow)
{
    ForgedVariant small(0x02000002, int64_t{-5});
    EXPECT_EQ(small.AsInt(), -5);
    EXPECT_EQ(Wide(small), u"-5");
    ForgedVariant small16(0x02000003, int64_t{300});
    EXPECT_EQ(Narrow(small16), "300");

    // 64-bit: the text has every digit, the int only the low word, the bool every bit.
    ForgedVariant big(0x02000005, int64_t{-1234567890123});
    EXPECT_EQ(Wide(big), u"-1234567890123");
    EXPECT_EQ(big.AsDouble(), -1234567890123.0);
    EXPECT_EQ(Wide(ForgedVariant(0x02000005, std::numeric_limits<int64_t>::min())), u"-9223372036854775808");
    EXPECT_EQ(Narrow(ForgedVariant(0x02000005, std::numeric_limits<int64_t>::max())), "9223372036854775807");
    EXPECT_EQ(Wide(ForgedVariant(0x02000005, int64_t{0})), u"0");
    ForgedVariant highOnly(0x02000005, int64_t{0x100000000});
    EXPECT_EQ(highOnly.AsInt(), 0);
    EXPECT_TRUE(highOnly.AsBool());
    EXPECT_EQ(ForgedVariant(0x02000005, int64_t{0x100000005}).AsInt(), 5);

    ForgedVariant dbl(0x04000007, 0.1);
    EXPECT_EQ(dbl.AsDouble(), 0.1);
    EXPECT_EQ(Wide(dbl), u"0.1");
    EXPECT_EQ(ForgedVariant(0x04000007, -3.9).AsInt(), -3);
    EXPECT_FALSE(ForgedVariant(0x04000007, 0.0).AsBool());
    EXPECT_TRUE(ForgedVariant(0x04000007, 1e-300).AsBool());

    // Hexadecimal tags print the low 32 bits as "0x%08X" and convert as integers.
    EXPECT_EQ(Wide(ForgedVariant(0x08000008, int64_t{0x1F})), u"0x0000001F");
    EXPECT_EQ(Narrow(ForgedVariant(0x0800000A, int64_t{0xDEADBEEF})), "0xDEADBEEF");
    EXPECT_EQ(Wide(ForgedVariant(0x0800000B, int64_t{0x1234567890})), u"0x34567890");
    EXPECT_EQ(ForgedVariant(0x08000009, int64_t{0xFFFF}).AsInt(), 0xFFFF);
    EXPECT_EQ(ForgedVariant(0x08000009, int64_t{0xFFFF}).AsDouble(), 65535.0);

    // An unlisted number in an integer class still converts as an integer, but has no text.
    ForgedVariant oddInteger(0x02000077, int64_t{9});
    EXPECT_EQ(oddInteger.AsInt(), 9);
    EXPECT_EQ(Wide(oddInteger), u"");

    // A tag of no known class: no number, no bool, no text, and never a throw from the texts.
    for (uint32_t tag : {0x00000000u, 0x20000000u, 0x01000001u, 0x04000005u, 0x1000000Eu})
    {
        ForgedVariant unknown(tag, int64_t{1});
        ExpectNoNumber(unknown);
        ExpectCastError(unknown, [&] { (void)unknown.AsBool(); });
        EXPECT_EQ(Wide(unknown), u"");
        EXPECT_EQ(Narrow(unknown), "");
    }
}

TEST(XVariantTest, CopiesOwnTheirText)
{
    XVariant original = WideText(u"first");
    XVariant copy(original);
    original = XString(u"second");
    EXPECT_EQ(Wide(copy), u"first");
    EXPECT_EQ(Wide(original), u"second");

    XVariant narrow = NarrowText("narrow");
    XVariant assigned;
    assigned = narrow;
    narrow.Clear();
    EXPECT_EQ(assigned.GetType(), 0x1000000Cu);
    EXPECT_EQ(Narrow(assigned), "narrow");

    // Text over text, number over text and text over number release and replace cleanly.
    assigned = copy;
    EXPECT_EQ(Wide(assigned), u"first");
    assigned = XVariant(5);
    EXPECT_EQ(assigned.AsInt(), 5);
    assigned = copy;
    EXPECT_EQ(assigned.GetType(), 0x1000000Du);

    // Assigning a variant to itself keeps its text.
    XVariant& self = copy;
    copy = self;
    EXPECT_EQ(Wide(copy), u"first");

    // An empty text stays empty through a copy.
    XVariant emptyText = WideText(u"");
    XVariant emptyCopy(emptyText);
    EXPECT_EQ(emptyCopy.GetType(), 0x1000000Du);
    EXPECT_EQ(Wide(emptyCopy), u"");
    ExpectNoNumber(emptyCopy);

    // Non-text values keep all their bits.
    XVariant f;
    f = -123.456f;
    XVariant fCopy(f);
    EXPECT_EQ(fCopy.GetType(), 0x04000006u);
    EXPECT_EQ(fCopy.AsDouble(), static_cast<double>(-123.456f));
    ForgedVariant big(0x02000005, int64_t{-1234567890123});
    XVariant bigCopy;
    bigCopy = big;
    EXPECT_EQ(Wide(bigCopy), u"-1234567890123");
}

TEST(XVariantTest, PointersKeepTheirFullWidth)
{
    double storage[3] = {1, 2, 3};
    XVariant v;
    v.SetPointer(storage);
    EXPECT_EQ(v.GetType(), 0x02000005u);
    EXPECT_EQ(v.AsPointer(), static_cast<void*>(storage));
    static_cast<double*>(v.AsPointer())[1] = 5;
    EXPECT_EQ(storage[1], 5);

    // An address above 4 GiB survives copies intact.
    void* high = reinterpret_cast<void*>(uintptr_t{0x7FFF12345678});
    v.SetPointer(high);
    XVariant copy(v);
    EXPECT_EQ(copy.AsPointer(), high);
    EXPECT_EQ(Wide(copy), u"140733498807928");

    v.SetPointer(nullptr);
    EXPECT_EQ(v.AsPointer(), nullptr);
    EXPECT_FALSE(v.AsBool());

    XVariant f;
    f = 1.0f;
    ExpectCastError(f, [&] { (void)f.AsPointer(); });
    XVariant text = WideText(u"123");
    ExpectCastError(text, [&] { (void)text.AsPointer(); });
}

// Results never follow the process locale: a comma-decimal locale changes nothing.
TEST(XVariantTest, CommaDecimalLocale)
{
    CommaLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    XVariant f;
    f = 2.5f;
    EXPECT_EQ(Wide(f), u"2.5");
    EXPECT_EQ(Narrow(f), "2.5");
    XVariant small;
    small = 0.1f;
    EXPECT_EQ(Wide(small), u"0.100000001");
    EXPECT_EQ(WideText(u"1.5").AsDouble(), 1.5);
    EXPECT_EQ(NarrowText("-0.25").AsDouble(), -0.25);
    EXPECT_EQ(WideText(u"1,5").AsDouble(), 1.0);
    EXPECT_EQ(WideText(u"1.5").AsInt(), 1);
}
} // namespace
