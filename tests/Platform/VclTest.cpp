#include "Platform/Vcl/SysUtils.h"

#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
TEST(VclTest, ShowMessageUsesTheApplicationTitle)
{
    BoxRecorder recorder;
    ShowMessage(u"Готово.");
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].owner, nullptr);
    EXPECT_EQ(recorder.boxes[0].text, u"Готово.");
    // Without a title of its own the application is called after its program file.
    EXPECT_EQ(recorder.boxes[0].caption, u"test_platform");
    EXPECT_EQ(recorder.boxes[0].type, MB_OK);

    Vcl::SetApplicationTitle(u"Kelvane");
    ShowMessage(UnicodeString());
    Vcl::SetApplicationTitle(UnicodeString());
    ShowMessage(u"back");
    ASSERT_EQ(recorder.boxes.size(), 3u);
    EXPECT_EQ(recorder.boxes[1].caption, u"Kelvane");
    EXPECT_EQ(recorder.boxes[1].text, u"");
    EXPECT_EQ(recorder.boxes[2].caption, u"test_platform");

    // Headless, the default handler reports on standard error and goes on.
    Platform::MessageBoxHandler mine = Platform::SetMessageBoxHandler(nullptr);
    ::testing::internal::CaptureStderr();
    ShowMessage(u"Нет файла");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "test_platform: Нет файла\n");
    Platform::SetMessageBoxHandler(mine);
}

TEST(VclTest, NarrowStringsUseTheAnsiCodePage)
{
    // "Привет, №1" in Windows-1251.
    const char* narrow = "\xCF\xF0\xE8\xE2\xE5\xF2, \xB9"
                         "1";
    UnicodeString wide(narrow);
    EXPECT_EQ(wide.str(), u"Привет, №1");
    EXPECT_EQ(AnsiString(wide).str(), narrow);
    EXPECT_EQ(AnsiString(UnicodeString(u"Ёё")).str(), "\xA8\xB8");
    // What the code page cannot hold becomes '?'.
    EXPECT_EQ(AnsiString(UnicodeString(u"a中b")).str(), "a?b");
    EXPECT_TRUE(UnicodeString(static_cast<const char*>(nullptr)).IsEmpty());
    EXPECT_TRUE(UnicodeString("").IsEmpty());
    EXPECT_TRUE(AnsiString(UnicodeString()).IsEmpty());

    // Every letter of the code page survives the round trip.
    std::string letters;
    for (int c = 0xC0; c <= 0xFF; ++c)
        letters += static_cast<char>(c);
    UnicodeString alphabet(letters.c_str());
    ASSERT_EQ(alphabet.Length(), 64);
    EXPECT_EQ(alphabet[1], u'А');
    EXPECT_EQ(alphabet[64], u'я');
    EXPECT_EQ(AnsiString(alphabet).str(), letters);

    // The narrow exception message arrives widened the same way.
    try
    {
        throw EConvertError("\xCE\xF8\xE8\xE1\xEA\xE0");
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.Message().str(), u"Ошибка");
        EXPECT_EQ(e.Message().ToUtf8(), "Ошибка");
    }
}
} // namespace

namespace
{
TEST(VclTest, FloatsBecomeTextInTheLibraryFormats)
{
    struct Case
    {
        double value;
        TFloatFormat format;
        int precision, digits;
        const char16_t* text;
    } cases[] = {
        {3.0, ffGeneral, 15, 0, u"3"},
        {0.25, ffGeneral, 15, 0, u"0.25"},
        {-1.5, ffGeneral, 15, 0, u"-1.5"},
        {1e20, ffGeneral, 15, 0, u"1E20"},
        {1.5e-7, ffGeneral, 15, 0, u"1.5E-7"},
        {0.0001, ffGeneral, 15, 0, u"0.0001"},
        {static_cast<double>(0.1f), ffGeneral, 15, 0, u"0.100000001490116"},
        {123456789012345678.0, ffGeneral, 15, 0, u"1.23456789012346E17"},
        {0.0, ffGeneral, 15, 0, u"0"},
        {500.0, ffFixed, 5, 1, u"500.0"},
        {4.0, ffFixed, 5, 1, u"4.0"},
        {250.0, ffFixed, 5, 1, u"250.0"},
        {1234.5678, ffFixed, 5, 2, u"1234.60"},
        {0.05, ffFixed, 5, 3, u"0.050"},
        {-0.004, ffFixed, 5, 2, u"-0.00"},
        {123456.0, ffFixed, 5, 1, u"1.2346E+5"},
        {1234567.0, ffNumber, 15, 2, u"1,234,567.00"},
        {1234.56, ffExponent, 4, 2, u"1.235E+03"},
        {std::numeric_limits<double>::quiet_NaN(), ffFixed, 5, 1, u"NAN"},
        {-std::numeric_limits<double>::infinity(), ffGeneral, 15, 0, u"-INF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits).ToUtf8(), UnicodeString(c.text).ToUtf8())
            << c.value;
    EXPECT_EQ(FloatToStr(1e-5), UnicodeString(u"0.00001"));
    EXPECT_EQ(FloatToStr(1e-6), UnicodeString(u"1E-6"));
    EXPECT_DOUBLE_EQ(StrToFloat(u" 2.5e1 "), 25.0);
    EXPECT_THROW(StrToFloat(u"2,5"), EConvertError);
    EXPECT_THROW(StrToFloat(u"inf"), EConvertError);
    EXPECT_THROW(StrToFloat(u""), EConvertError);
}

TEST(VclTest, MaskingStopsEveryFloatingPointTrap)
{
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    MaskFPUExceptions();
    EXPECT_EQ(fegetexcept(), 0);
    uint16_t control = 0;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    EXPECT_EQ(control & 0x3F, 0x3F);
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero)); // no trap
    feclearexcept(FE_ALL_EXCEPT);
}
} // namespace
