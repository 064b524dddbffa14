#include "Components/XDebugStream.h"

#include "Components/XMemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using XDebug::XDebugStream;

namespace
{
// Records every piece the stream hands to its sink, checking that it arrives NUL-terminated.
class RecordingStream : public XDebugStream
{
public:
    RecordingStream(const WCHAR* fileName, unsigned mode, unsigned bufferChars)
        : XDebugStream(fileName, mode, bufferChars)
    {
    }

    std::vector<std::u16string> Pieces;

protected:
    void Sink(const WCHAR* text, unsigned length) override
    {
        EXPECT_EQ(text[length], 0);
        Pieces.emplace_back(text, length);
    }
};

// Collects its text in memory until a file is opened, as a log that starts before its file
// name is known.
class EarlyStream : public RecordingStream
{
public:
    explicit EarlyStream(unsigned bufferChars) : RecordingStream(nullptr, 0, bufferChars)
    {
        m_Memory = m_File = &Memory;
    }
    ~EarlyStream() override
    {
        // The base flushes only into a file: drop the target before the memory stream goes.
        if (m_File == m_Memory)
            m_File = nullptr;
    }

    XMemoryStream Memory{0, 8192};
};

// Holds its file's text until Flush. Without a file name the target records each write.
class HeldStream : public RecordingStream
{
public:
    explicit HeldStream(const WCHAR* fileName = nullptr) : RecordingStream(nullptr, 0, 4)
    {
        HoldFileTextUntilFlush();
        if (fileName)
            Open(fileName, 3);
        else
            m_Memory = m_File = &Target;
    }
    ~HeldStream() override
    {
        if (m_File == m_Memory)
        {
            Flush();
            m_File = nullptr;
        }
    }

    struct WriteRecorder : XMemoryStream
    {
        WriteRecorder() : XMemoryStream(0, 8192) {}
        unsigned Write(const void* buffer, unsigned count) override
        {
            Writes.emplace_back(static_cast<const char*>(buffer), count);
            return XMemoryStream::Write(buffer, count);
        }
        std::vector<std::string> Writes;
    } Target;
};

class XDebugStreamTest : public ::testing::Test
{
protected:
    TempDir m_Dir{"XDebugStreamTest"};
};

TEST_F(XDebugStreamTest, LineDiscipline)
{
    // A full buffer goes out before the next character, a line feed right after itself.
    RecordingStream s(nullptr, 0, 4);
    s.Write(u"abcdef\n");
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"abcd", u"ef\n"}));

    // Without a file every line still reaches the sink, once and exactly.
    s.Pieces.clear();
    s.Write(u"x\ny\n");
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"x\n", u"y\n"}));

    // A line that exactly fills the buffer goes out whole; one more character splits it.
    s.Pieces.clear();
    s.Write(u"abc\n");
    s.Write(u"abcd\n");
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"abc\n", u"abcd", u"\n"}));

    s.Pieces.clear();
    s.Write(u"abcdefghij\n");
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"abcd", u"efgh", u"ij\n"}));

    // Text without a line feed waits for a flush; a flush with nothing pending hands out "".
    s.Pieces.clear();
    s.Write(u"zz");
    EXPECT_TRUE(s.Pieces.empty());
    s.Flush();
    s.Flush();
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"zz", u""}));

    // Null texts are ignored.
    s.Pieces.clear();
    s.Write(static_cast<const WCHAR*>(nullptr));
    s.Write(static_cast<const char*>(nullptr));
    s.Flush();
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u""}));
}

// A writer that shares its file with others hands over what it wrote since the last flush in one
// write, however many lines and buffers it spans; the sink still gets each line at its line feed.
TEST_F(XDebugStreamTest, HeldTextReachesTheFileInOneWritePerFlush)
{
    HeldStream s;
    s.Write(u"ab\ncdefghij\nk");
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"ab\n", u"cdef", u"ghij", u"\n"}));
    EXPECT_TRUE(s.Target.Writes.empty());
    s.Flush();
    EXPECT_EQ(s.Target.Writes, std::vector<std::string>{Utf16Le(u"ab\ncdefghij\nk")});
    // Nothing held: a flush writes nothing.
    s.Flush();
    EXPECT_EQ(s.Target.Writes.size(), 1u);

    std::u16string longLine(10000, u'x');
    s.Write(longLine.c_str());
    s.Put(u'\n');
    EXPECT_EQ(s.Pieces.size(), 4u + 2u + 2500u + 1u);
    s.Flush();
    EXPECT_EQ(s.Target.Writes.back(), Utf16Le(longLine + u"\n"));
    EXPECT_EQ(s.Target.Writes.size(), 2u);

    // Into a file: held until the flush, and what is left goes when the stream does.
    std::filesystem::path path = m_Dir / "held.log";
    {
        HeldStream file(WidePath(path).c_str());
        file.Write(u"one\ntwo\n");
        EXPECT_EQ(ReadWholeFile(path), "");
        file.Flush();
        EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"one\ntwo\n"));
        file.Write(u"three\nfo");
    }
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"one\ntwo\nthree\nfo"));

    // Also when the stream goes right after a line end, with nothing left in its buffer.
    {
        HeldStream file(WidePath(path).c_str());
        file.Write(u"five\nsix\n");
        EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"one\ntwo\nthree\nfo"));
    }
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"one\ntwo\nthree\nfofive\nsix\n"));
}

TEST_F(XDebugStreamTest, TinyBuffers)
{
    RecordingStream one(nullptr, 0, 1);
    one.Write(u"ab\n");
    EXPECT_EQ(one.Pieces, (std::vector<std::u16string>{u"a", u"b", u"\n"}));

    // A size of 0 works as 1 instead of writing past the buffer.
    RecordingStream zero(nullptr, 0, 0);
    zero.Write(u"abcdefghijklmnopqrstuvwxyz\n");
    ASSERT_EQ(zero.Pieces.size(), 27u);
    EXPECT_EQ(zero.Pieces[0], u"a");
    EXPECT_EQ(zero.Pieces[26], u"\n");
}

TEST_F(XDebugStreamTest, NarrowTextAndIntegers)
{
    RecordingStream s(nullptr, 0, 64);
    // Each byte becomes one character of the ANSI code page (Cyrillic here).
    s.Write("ab\xCF\xF0\n");
    s.Put('c');
    s.Put(u'\u0416');
    s.WriteInt(-42);
    s.Put('\n');
    s.WriteInt(0);
    s.Put(' ');
    s.WriteInt(INT_MIN);
    s.Put(' ');
    s.WriteInt(INT_MAX);
    s.Put('\n');
    EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"ab\u041F\u0440\n", u"c\u0416-42\n",
                                                     u"0 -2147483648 2147483647\n"}));
}

TEST_F(XDebugStreamTest, FileIsUtf16LeWithoutByteOrderMark)
{
    std::filesystem::path path = m_Dir / "log.txt";
    {
        RecordingStream s(WidePath(path).c_str(), 1, 8);
        s.Write(u"Hi\u041F\n");
        // On disk as soon as the line feed is put, while the stream is still open.
        EXPECT_EQ(ReadWholeFile(path), std::string("H\0i\0\x1F\x04\n\0", 8));

        s.Write(u"abcdefgh");
        EXPECT_EQ(ReadWholeFile(path).size(), 8u);
        s.Put(u'i');
        EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"Hi\u041F\nabcdefgh"));
        s.Write("j");
    }
    // The destructor flushes the rest into the file.
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"Hi\u041F\nabcdefghij"));
}

TEST_F(XDebugStreamTest, SecondStreamAppends)
{
    std::filesystem::path path = m_Dir / "append.log";
    {
        XDebugStream first(WidePath(path).c_str(), 3, 4096);
        first.Write(u"one\n");
    }
    {
        XDebugStream second(WidePath(path).c_str(), 3, 4096);
        second.Write(u"two\n");
    }
    {
        XDebugStream third(WidePath(path).c_str(), 2, 4096);
        third.Write("three");
    }
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"one\ntwo\nthree"));

    // Mode 1 starts the file anew.
    {
        XDebugStream fresh(WidePath(path).c_str(), 1, 4096);
        fresh.Write(u"new\n");
    }
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"new\n"));
}

TEST_F(XDebugStreamTest, OpenFailuresAndSecondOpen)
{
    std::filesystem::path missing = m_Dir / "missing.log";
    try
    {
        XDebugStream s(WidePath(missing).c_str(), 2, 16);
        FAIL() << "opened a missing file with mode 2";
    }
    catch (const char* message)
    {
        EXPECT_STREQ(message, "Failed opening file.");
    }
    EXPECT_FALSE(std::filesystem::exists(missing));

    // A second Open while a file is attached changes nothing.
    std::filesystem::path path = m_Dir / "first.log";
    std::filesystem::path other = m_Dir / "other.log";
    {
        RecordingStream s(WidePath(path).c_str(), 1, 16);
        s.Open(WidePath(other).c_str(), 1);
        s.Write(u"x\n");
    }
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"x\n"));

    // A stream without a file that fails to open one keeps working without it.
    RecordingStream loose(nullptr, 0, 16);
    EXPECT_THROW(loose.Open(WidePath(missing).c_str(), 2), const char*);
    loose.Write(u"still\n");
    EXPECT_EQ(loose.Pieces, (std::vector<std::u16string>{u"still\n"}));
    loose.Open(WidePath(path).c_str(), 2);
    loose.Write(u"late\n");
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"x\nlate\n"));
}

TEST_F(XDebugStreamTest, EarlyTextMovesIntoTheFile)
{
    std::filesystem::path path = m_Dir / "early.log";
    WriteWholeFile(path, Utf16Le(u"old\n"));
    std::filesystem::path missing = m_Dir / "missing.log";
    {
        EarlyStream s(16);
        s.Write(u"before\n");
        EXPECT_EQ(s.Memory.GetSize(), 14);
        // A failed open keeps the memory stream as the target.
        EXPECT_THROW(s.Open(WidePath(missing).c_str(), 2), const char*);
        s.Write(u"still\n");
        EXPECT_EQ(s.Memory.GetSize(), 26);

        s.Open(WidePath(path).c_str(), 2);
        EXPECT_EQ(s.Memory.GetSize(), 0);
        EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"old\nbefore\nstill\n"));
        s.Write(u"after\n");
        s.Write(u"tail");
        EXPECT_EQ(s.Pieces, (std::vector<std::u16string>{u"before\n", u"still\n", u"after\n"}));
    }
    EXPECT_EQ(ReadWholeFile(path), Utf16Le(u"old\nbefore\nstill\nafter\ntail"));
}
} // namespace
