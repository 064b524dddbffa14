#include "Components/XFileStream.h"

#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/Thrown.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

class XFileStreamTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const { return (m_Dir / name).string(); }

    static std::string OpenError(const std::u16string& path, unsigned mode)
    {
        return ThrownText([&] { XFileStream s(path.c_str(), mode); });
    }

    TempDir m_Dir{"xfilestream"};
};
} // namespace

TEST_F(XFileStreamTest, ModesOpenCreateAndTruncate)
{
    std::string path = Path("a.bin");

    // 2 only opens: a missing file is an error and is not created.
    EXPECT_EQ("Failed opening file.", OpenError(WidePath(path), 2));
    EXPECT_EQ("Failed opening file.", OpenError(WidePath(path), 4));
    EXPECT_EQ("Failed opening file.", OpenError(WidePath(path), 0));
    EXPECT_FALSE(std::filesystem::exists(path));

    // 1 creates.
    {
        XFileStream s(WidePath(path).c_str(), 1);
        EXPECT_TRUE(s.IsOpen());
        EXPECT_EQ(0, s.GetSize());
        s.WriteBuffer("hello world", 11);
        EXPECT_EQ(11, s.GetPosition());
        EXPECT_EQ("hello world", StreamString(s)); // created for reading too
    }
    EXPECT_EQ("hello world", ReadWholeFile(path)); // closed and complete once destroyed

    // 2 opens the existing file for reading and writing, at its start, keeping its bytes.
    {
        XFileStream s(WidePath(path).c_str(), 2);
        EXPECT_EQ(0, s.GetPosition());
        EXPECT_EQ(11, s.GetSize());
        s.SetPosition(6);
        s.WriteBuffer("W", 1);
    }
    EXPECT_EQ("hello World", ReadWholeFile(path));

    // 3 opens an existing file without truncating it ...
    {
        XFileStream s(WidePath(path).c_str(), 3);
        EXPECT_EQ(11, s.GetSize());
    }
    // ... and creates a missing one.
    std::string fresh = Path("b.bin");
    {
        XFileStream s(WidePath(fresh).c_str(), 3);
        EXPECT_EQ(0, s.GetSize());
    }
    EXPECT_TRUE(std::filesystem::exists(fresh));

    // 1 on an existing file empties it.
    {
        XFileStream s(WidePath(path).c_str(), 1);
        EXPECT_EQ(0, s.GetSize());
    }
    EXPECT_EQ("", ReadWholeFile(path));
}

// Bit 3 appends: every write lands at the end of the file, also after other writers' writes, and
// an existing file is never emptied; bit 1 alone only opens, bit 0 creates a missing file.
TEST_F(XFileStreamTest, AppendModeWritesAtTheEndAndNeverTruncates)
{
    std::string path = Path("shared.log");
    EXPECT_EQ("Failed opening file.", OpenError(WidePath(path), 10));
    EXPECT_FALSE(std::filesystem::exists(path));
    {
        XFileStream s(WidePath(path).c_str(), 9);
        s.WriteBuffer("one|", 4);
    }
    {
        XFileStream s(WidePath(path).c_str(), 9);
        EXPECT_EQ(4, s.GetSize());
    }
    XFileStream a(WidePath(path).c_str(), 11);
    XFileStream b(WidePath(path).c_str(), 10);
    a.WriteBuffer("a1|", 3);
    b.WriteBuffer("b1|", 3);
    a.SetPosition(0);
    a.WriteBuffer("a2|", 3);
    EXPECT_EQ("one|a1|b1|a2|", ReadWholeFile(path));
    EXPECT_EQ("one|a1|b1|a2|", StreamString(a)); // readable too
}

TEST_F(XFileStreamTest, ReadOnlyModeOpensReadOnlyFiles)
{
    std::string path = Path("ro.bin");
    WriteWholeFile(path, "frozen");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0444));

    XFileStream s(WidePath(path).c_str(), 4);
    EXPECT_EQ(6, s.GetSize());
    EXPECT_EQ("frozen", StreamString(s));
    // The handle is for reading only: writes report nothing written and change nothing.
    s.SetPosition(0);
    EXPECT_EQ(0u, s.Write("X", 1));
    try
    {
        s.WriteBuffer("X", 1);
        ADD_FAILURE() << "no throw";
    }
    catch (const char* text)
    {
        EXPECT_STREQ("Stream writing error.", text);
    }
    EXPECT_EQ("frozen", ReadWholeFile(path));

    // Opening for writing is refused by the file's permissions, which bind every user but root: root
    // checks it as the unprivileged user, who may still open the file for reading.
    if (::geteuid() != 0)
    {
        EXPECT_EQ("Failed opening file.", OpenError(WidePath(path), 2));
        EXPECT_EQ("Failed opening file.", OpenError(WidePath(path), 3));
        return;
    }
    ::chmod(m_Dir.Path().c_str(), 0755);
    EXPECT_TRUE(InChildProcess(
        [&]
        {
            if (!BecomeUnprivileged())
                return false;
            if (OpenError(WidePath(path), 4) != "(nothing thrown)")
            {
                std::fprintf(stderr, "the unprivileged user cannot reach %s: the refusal is not checked\n",
                             path.c_str());
                return true;
            }
            return OpenError(WidePath(path), 2) == "Failed opening file." &&
                   OpenError(WidePath(path), 3) == "Failed opening file.";
        }));
}

TEST_F(XFileStreamTest, NarrowNamesWork)
{
    std::string path = Path("narrow.bin");
    {
        XFileStream s(path.c_str(), 1);
        s.WriteBuffer("abc", 3);
    }
    XFileStream s(path.c_str(), 4);
    EXPECT_EQ("abc", StreamString(s));
    try
    {
        XFileStream missing((path + ".none").c_str(), 2);
        ADD_FAILURE() << "opened";
    }
    catch (const char* text)
    {
        EXPECT_STREQ("Failed opening file.", text);
    }
}

TEST_F(XFileStreamTest, PositionSizeAndSeek)
{
    std::string path = Path("seek.bin");
    XFileStream s(WidePath(path).c_str(), 1);
    s.WriteBuffer("0123456789", 10);
    EXPECT_TRUE(s.Eof());

    EXPECT_EQ(4, s.Seek(4, 0));
    EXPECT_FALSE(s.Eof());
    EXPECT_EQ(6, s.Seek(2, 1));
    EXPECT_EQ(7, s.Seek(-3, 2)); // the file adds the offset to its end
    EXPECT_EQ(7, s.Seek(-1, 0)); // before the start is refused and leaves the position
    char c = 0;
    s.ReadBuffer(&c, 1);
    EXPECT_EQ('7', c);

    // Past the end reads nothing; a write there extends the file.
    s.SetPosition(12);
    EXPECT_EQ(12, s.GetPosition());
    EXPECT_EQ(0u, s.Read(&c, 1));
    EXPECT_TRUE(s.Eof());

    s.SetSize(4);
    EXPECT_EQ(4, s.GetSize());
    EXPECT_EQ(4, s.GetPosition());
    s.SetSize(6); // extends with zeros
    EXPECT_EQ(std::string("0123\0\0", 6), StreamString(s));
    s.SetPosition(2);
    s.SetSize(-1); // refused: the file is not cut at the current position
    EXPECT_EQ(6, s.GetSize());
}

TEST_F(XFileStreamTest, LargeTransfersAndChunkTreesOnFiles)
{
    std::string path = Path("big.bin");
    Bytes data = PatternBytes(5 * 1024 * 1024 + 13, 12345);
    {
        XFileStream s(WidePath(path).c_str(), 1);
        EXPECT_EQ(unsigned(data.size()), s.Write(data.data(), static_cast<unsigned>(data.size())));
        XMemoryStream copy(0, 8192);
        s.SetPosition(0);
        EXPECT_EQ(int64_t(data.size()), CopyStream(&copy, &s, static_cast<int64_t>(data.size())));
        Bytes back(data.size());
        copy.SetPosition(0);
        copy.ReadBuffer(back.data(), static_cast<unsigned>(back.size()));
        EXPECT_EQ(data, back);
        // One short of the request: the stream reports what it had.
        s.SetPosition(1);
        EXPECT_EQ(unsigned(data.size() - 1), s.Read(back.data(), static_cast<unsigned>(back.size())));
    }

    // A chunk tree written through a file and read back from it.
    std::string tree = Path("tree.bin");
    {
        XFileStream s(WidePath(tree).c_str(), 1);
        XWriter w(&s);
        w.BeginChunk(0x00010000);
        w.WriteChunkU32(0x00010001, 42);
        w.WriteChunkString(0x00010002, StrUtils::XBaseString<WCHAR>(u"Node"));
        w.EndChunk();
    }
    XFileStream s(WidePath(tree).c_str(), 4);
    XReader r(&s);
    ASSERT_TRUE(r.NextChunk());
    uint32_t value = 0;
    r.ReadChunkU32(0x00010001, value);
    StrUtils::XBaseString<WCHAR> name;
    r.ReadChunkString(0x00010002, name, 1024);
    EXPECT_FALSE(r.NextChunk());
    r.EndChunk();
    EXPECT_EQ(42u, value);
    EXPECT_EQ(u"Node", std::u16string(name.c_str()));
    EXPECT_EQ(8 + 12 + 8 + 4 + 8, s.GetSize());
    EXPECT_FALSE(r.NextChunk());
}
