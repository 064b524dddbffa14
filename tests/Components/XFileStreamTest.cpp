#include "Components/XFileStream.h"

#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
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
    void SetUp() override
    {
        char pattern[] = "/tmp/xfilestream-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_Dir = pattern;
    }
    void TearDown() override
    {
        for (const auto& name : m_Made)
        {
            ::chmod(name.c_str(), 0644);
            ::unlink(name.c_str());
        }
        ::rmdir(m_Dir.c_str());
    }

    std::string Path(const char* name)
    {
        std::string path = m_Dir + "/" + name;
        m_Made.push_back(path);
        return path;
    }
    static std::u16string Wide(const std::string& path) { return std::u16string(path.begin(), path.end()); }

    static void Put(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

    static std::string OpenError(const std::u16string& path, unsigned mode)
    {
        try
        {
            XFileStream s(path.c_str(), mode);
        }
        catch (const char* text)
        {
            return text;
        }
        return "(opened)";
    }

    std::string m_Dir;
    std::vector<std::string> m_Made;
};

std::string ReadAll(XStream& s)
{
    std::string text(static_cast<size_t>(s.GetSize()), '\0');
    s.SetPosition(0);
    if (!text.empty())
        s.ReadBuffer(text.data(), static_cast<unsigned>(text.size()));
    return text;
}
} // namespace

TEST_F(XFileStreamTest, ModesOpenCreateAndTruncate)
{
    std::string path = Path("a.bin");

    // 2 only opens: a missing file is an error and is not created.
    EXPECT_EQ("Failed opening file.", OpenError(Wide(path), 2));
    EXPECT_EQ("Failed opening file.", OpenError(Wide(path), 4));
    EXPECT_EQ("Failed opening file.", OpenError(Wide(path), 0));
    EXPECT_FALSE(Exists(path));

    // 1 creates.
    {
        XFileStream s(Wide(path).c_str(), 1);
        EXPECT_TRUE(s.IsOpen());
        EXPECT_EQ(0, s.GetSize());
        s.WriteBuffer("hello world", 11);
        EXPECT_EQ(11, s.GetPosition());
        EXPECT_EQ("hello world", ReadAll(s)); // created for reading too
    }
    EXPECT_EQ("hello world", Get(path)); // closed and complete once destroyed

    // 2 opens the existing file for reading and writing, at its start, keeping its bytes.
    {
        XFileStream s(Wide(path).c_str(), 2);
        EXPECT_EQ(0, s.GetPosition());
        EXPECT_EQ(11, s.GetSize());
        s.SetPosition(6);
        s.WriteBuffer("W", 1);
    }
    EXPECT_EQ("hello World", Get(path));

    // 3 opens an existing file without truncating it ...
    {
        XFileStream s(Wide(path).c_str(), 3);
        EXPECT_EQ(11, s.GetSize());
    }
    // ... and creates a missing one.
    std::string fresh = Path("b.bin");
    {
        XFileStream s(Wide(fresh).c_str(), 3);
        EXPECT_EQ(0, s.GetSize());
    }
    EXPECT_TRUE(Exists(fresh));

    // 1 on an existing file empties it.
    {
        XFileStream s(Wide(path).c_str(), 1);
        EXPECT_EQ(0, s.GetSize());
    }
    EXPECT_EQ("", Get(path));
}

TEST_F(XFileStreamTest, ReadOnlyModeOpensReadOnlyFiles)
{
    std::string path = Path("ro.bin");
    Put(path, "frozen");
    ASSERT_EQ(0, ::chmod(path.c_str(), 0444));

    XFileStream s(Wide(path).c_str(), 4);
    EXPECT_EQ(6, s.GetSize());
    EXPECT_EQ("frozen", ReadAll(s));
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
    EXPECT_EQ("frozen", Get(path));

    // Opening for writing is refused by the file's permissions (which bind every user but root).
    if (::geteuid() != 0)
    {
        EXPECT_EQ("Failed opening file.", OpenError(Wide(path), 2));
        EXPECT_EQ("Failed opening file.", OpenError(Wide(path), 3));
    }
}

TEST_F(XFileStreamTest, NarrowNamesWork)
{
    std::string path = Path("narrow.bin");
    {
        XFileStream s(path.c_str(), 1);
        s.WriteBuffer("abc", 3);
    }
    XFileStream s(path.c_str(), 4);
    EXPECT_EQ("abc", ReadAll(s));
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
    XFileStream s(Wide(path).c_str(), 1);
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
    EXPECT_EQ(std::string("0123\0\0", 6), ReadAll(s));
    s.SetPosition(2);
    s.SetSize(-1); // refused: the file is not cut at the current position
    EXPECT_EQ(6, s.GetSize());
}

TEST_F(XFileStreamTest, LargeTransfersAndChunkTreesOnFiles)
{
    std::string path = Path("big.bin");
    Bytes data(5 * 1024 * 1024 + 13);
    uint32_t x = 12345;
    for (auto& b : data)
        b = static_cast<unsigned char>((x = x * 1664525u + 1013904223u) >> 24);
    {
        XFileStream s(Wide(path).c_str(), 1);
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
        XFileStream s(Wide(tree).c_str(), 1);
        XWriter w(&s);
        w.BeginChunk(0x00010000);
        w.WriteChunkU32(0x00010001, 42);
        w.WriteChunkString(0x00010002, StrUtils::XBaseString<WCHAR>(u"Node"));
        w.EndChunk();
    }
    XFileStream s(Wide(tree).c_str(), 4);
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
