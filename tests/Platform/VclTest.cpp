#include "Platform/Vcl/SysUtils.h"

#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

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
