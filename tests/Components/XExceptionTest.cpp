#include "Components/XException.h"

#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/Utf16Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::u16string ExpectedBox(const char* file, int line, const std::u16string& message)
{
    std::u16string path = Widen(file);
    for (char16_t& c : path)
        if (c == u'/')
            c = u'\\';
    return u"File: " + path + u"; Line: " + Widen(std::to_string(line)) + u"; \n" + message;
}
} // namespace

TEST(XExceptionTest, MessagesAndFamily)
{
    EXPECT_EQ(XException(u"Out of range.").Message().str(), u"Out of range.");
    EXPECT_EQ(XException("Out of range.").Message(), XException(u"Out of range.").Message());
    // Narrow text is widened with the ANSI code page (Windows-1251).
    EXPECT_EQ(XException("\xCF\xF0\xE8").Message().str(), u"\u041F\u0440\u0438");
    EXPECT_EQ(XException(static_cast<const char*>(nullptr)).Message().str(), u"");

    EXPECT_EQ(XWrongChunkException().Message().str(), u"Wrong chunk.");
    EXPECT_EQ(FileUtils::XIOError().Message().str(), u"Stream input-output operation failed.");
    EXPECT_EQ(VarUtils::XVariantCastError().Message().str(), u"Variant type conversion error.");

    // Thrown by value and caught through the class library's root, message intact.
    try
    {
        throw FileUtils::XIOError();
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.Message().str(), u"Stream input-output operation failed.");
        EXPECT_NE(dynamic_cast<const XException*>(&e), nullptr);
        EXPECT_EQ(dynamic_cast<const XWrongChunkException*>(&e), nullptr);
    }
    XException original(u"copied");
    XException copy(original);
    EXPECT_EQ(copy.Message().str(), u"copied");
}

TEST(XExceptionTest, AssertShowsOneBoxPerFailureAndGoesOn)
{
    BoxRecorder recorder;
    int reached = 0;
    XAssert(1 + 1 == 2, u"never shown");
    ++reached;
    EXPECT_TRUE(recorder.boxes.empty());

    const int line = __LINE__ + 1;
    XAssert(reached == 0, u"Assertion failure!");
    ++reached;
    EXPECT_EQ(reached, 2);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].owner, nullptr);
    EXPECT_EQ(recorder.boxes[0].caption, u"Error");
    EXPECT_EQ(recorder.boxes[0].type, MB_OK);
    EXPECT_EQ(recorder.boxes[0].text, ExpectedBox(__FILE__, line, u"Assertion failure!"));
    // The path reads relative to the source tree, wherever it was built.
    EXPECT_EQ(recorder.boxes[0].text.rfind(u"File: ..\\tests\\Components\\XExceptionTest.cpp; Line: ", 0), 0u);

    // The condition is evaluated once per check.
    int evaluations = 0;
    XAssert(++evaluations == 0, u"second");
    EXPECT_EQ(evaluations, 1);
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(recorder.boxes[1].text.substr(recorder.boxes[1].text.size() - 9), u"; \nsecond");
}

TEST(XExceptionTest, AssertBoxTextIsBounded)
{
    BoxRecorder recorder;
    XDebug::AssertFailed("..\\Gx\\GxD3DX.cpp", 77, u"Cone Radius1 = 0 and Radius2 = 0!");
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text,
              u"File: ..\\Gx\\GxD3DX.cpp; Line: 77; \nCone Radius1 = 0 and Radius2 = 0!");

    XDebug::AssertFailed(nullptr, -3, nullptr);
    ASSERT_EQ(recorder.boxes.size(), 2u);
    EXPECT_EQ(recorder.boxes[1].text, u"File: ; Line: -3; \n");

    // Oversized path and message: cut, never overrun.
    std::string longPath(5000, 'p');
    std::u16string longMessage(5000, u'm');
    XDebug::AssertFailed(longPath.c_str(), 1, longMessage.c_str());
    ASSERT_EQ(recorder.boxes.size(), 3u);
    const std::u16string& text = recorder.boxes[2].text;
    EXPECT_LT(text.size(), 1024u);
    EXPECT_EQ(text.substr(0, 7), u"File: p");

    XDebug::AssertFailed("short.cpp", 9, longMessage.c_str());
    ASSERT_EQ(recorder.boxes.size(), 4u);
    EXPECT_EQ(recorder.boxes[3].text.substr(0, 30), u"File: short.cpp; Line: 9; \nmmm");
    EXPECT_LT(recorder.boxes[3].text.size(), 1024u);
}
