#include "Components/XTextWriter.h"

#include "Components/XMemoryStream.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <string>

using FileUtils::XTextWriter;

namespace
{
std::string Contents(XStream& stream)
{
    std::string bytes(static_cast<size_t>(stream.GetSize()), '\0');
    stream.SetPosition(0);
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<unsigned>(bytes.size()));
    return bytes;
}

// Accepts at most a few bytes, as a full disk would.
class ShortStream : public XMemoryStream
{
public:
    explicit ShortStream(unsigned room) : XMemoryStream(0, 8192), m_Room(room) {}
    unsigned Write(const void* buffer, unsigned count) override
    {
        unsigned n = count < m_Room ? count : m_Room;
        m_Room -= n;
        return n ? XMemoryStream::Write(buffer, n) : 0;
    }

private:
    unsigned m_Room;
};

TEST(XTextWriterTest, WideWritesCodeUnitsOnly)
{
    XMemoryStream stream(0, 8192);
    XTextWriter<WCHAR> writer(&stream);
    writer << u"ab";
    EXPECT_EQ(Contents(stream), std::string("a\0b\0", 4));

    // No terminator, no byte-order mark, nothing for empty or null texts; calls chain.
    stream.SetSize(0);
    stream.SetPosition(0);
    writer << u"" << XString() << static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(stream.GetSize(), 0);
    writer << XString(u"\u041F") << u"<a/>" << XString(u"\U0001F600");
    EXPECT_EQ(Contents(stream), std::string("\x1F\x04<\0a\0/\0>\0\x3D\xD8\x00\xDE", 14));

    // Writes go at the stream's position.
    stream.SetPosition(2);
    writer << u"Z";
    EXPECT_EQ(Contents(stream).substr(0, 4), std::string("\x1F\x04Z\0", 4));
}

TEST(XTextWriterTest, NarrowTextAndNumbers)
{
    XMemoryStream stream(0, 8192);
    XTextWriter<char> writer(&stream);
    writer.Write("abc");
    EXPECT_EQ(Contents(stream), "abc");

    stream.SetSize(0);
    stream.SetPosition(0);
    writer << "v " << 0.1f << " " << -2.5f << " " << -42 << " " << 0 << " " << INT_MIN << "\xCF\n";
    writer.Write("");
    writer.Write(nullptr);
    EXPECT_EQ(Contents(stream), "v 0.100000001 -2.5 -42 0 -2147483648\xCF\n");
}

TEST(XTextWriterTest, WithoutStreamOrRoom)
{
    XTextWriter<WCHAR> wide(nullptr);
    wide << u"ignored" << XString(u"ignored");
    XTextWriter<char> narrow(nullptr);
    narrow << "ignored" << 1.5f << 7;
    narrow.Write("ignored");

    // A short write is not reported and does not overrun.
    ShortStream small(3);
    XTextWriter<WCHAR> cut(&small);
    cut << u"abcd";
    EXPECT_EQ(Contents(small), std::string("a\0b", 3));
    ShortStream tiny(2);
    XTextWriter<char>(&tiny) << "xyz" << 12;
    EXPECT_EQ(Contents(tiny), "xy");
}

// Numbers are written with '.' whatever the process locale.
TEST(XTextWriterTest, CommaDecimalLocale)
{
    std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    XMemoryStream stream(0, 8192);
    XTextWriter<char> writer(&stream);
    writer << 1.25f << ";" << 1234567;
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(Contents(stream), "1.25;1234567");
}
} // namespace
