#include "Components/XTextWriter.h"

#include "Components/XMemoryStream.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/StreamBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using FileUtils::XTextWriter;

namespace
{
TEST(XTextWriterTest, WideWritesCodeUnitsOnly)
{
    XMemoryStream stream(0, 8192);
    XTextWriter<WCHAR> writer(&stream);
    writer << u"ab";
    EXPECT_EQ(StreamString(stream), std::string("a\0b\0", 4));

    // No terminator, no byte-order mark, nothing for empty or null texts; calls chain.
    stream.SetSize(0);
    stream.SetPosition(0);
    writer << u"" << XString() << static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(stream.GetSize(), 0);
    writer << XString(u"\u041F") << u"<a/>" << XString(u"\U0001F600");
    EXPECT_EQ(StreamString(stream), std::string("\x1F\x04<\0a\0/\0>\0\x3D\xD8\x00\xDE", 14));

    // Writes go at the stream's position.
    stream.SetPosition(2);
    writer << u"Z";
    EXPECT_EQ(StreamString(stream).substr(0, 4), std::string("\x1F\x04Z\0", 4));
}

TEST(XTextWriterTest, NarrowTextAndNumbers)
{
    XMemoryStream stream(0, 8192);
    XTextWriter<char> writer(&stream);
    writer.Write("abc");
    EXPECT_EQ(StreamString(stream), "abc");

    stream.SetSize(0);
    stream.SetPosition(0);
    writer << "v " << 0.1f << " " << -2.5f << " " << -42 << " " << 0 << " " << INT_MIN << "\xCF\n";
    writer.Write("");
    writer.Write(nullptr);
    EXPECT_EQ(StreamString(stream), "v 0.100000001 -2.5 -42 0 -2147483648\xCF\n");
}

TEST(XTextWriterTest, WithoutStreamOrRoom)
{
    XTextWriter<WCHAR> wide(nullptr);
    wide << u"ignored" << XString(u"ignored");
    XTextWriter<char> narrow(nullptr);
    narrow << "ignored" << 1.5f << 7;
    narrow.Write("ignored");

    // A short write is not reported and does not overrun.
    LimitedStream small(3);
    XTextWriter<WCHAR> cut(&small);
    cut << u"abcd";
    EXPECT_EQ(StreamString(small), std::string("a\0b", 3));
    LimitedStream tiny(2);
    XTextWriter<char>(&tiny) << "xyz" << 12;
    EXPECT_EQ(StreamString(tiny), "xy");
}

// Numbers are written with '.' whatever the process locale.
TEST(XTextWriterTest, CommaDecimalLocale)
{
    CommaLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    XMemoryStream stream(0, 8192);
    XTextWriter<char> writer(&stream);
    writer << 1.25f << ";" << 1234567;
    EXPECT_EQ(StreamString(stream), "1.25;1234567");
}
} // namespace
