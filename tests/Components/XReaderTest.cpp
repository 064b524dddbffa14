#include "Components/XReader.h"

#include "Components/XMemoryStream.h"
#include "Components/XWriter.h"
#include "tests/support/ByteData.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;
using WString = StrUtils::XBaseString<WCHAR>;

// A scene-like tree: every kind of value, nesting, an empty chunk, long and short strings.
Bytes SampleTree()
{
    XMemoryStream s(0, 8192);
    {
        XWriter w(&s);
        w.BeginChunk(0x00010000);
        w.WriteChunkU32(0x00010001, 0xCAFEBABE);
        w.WriteChunkString(0x00010002, WString(u"Box01"));
        w.BeginChunk(0x00020000);
        w.WriteChunkFloat(0x00020001, 0.25f);
        w.WriteChunkU8(0x00020002, 1);
        w.BeginChunk(0x00020003);
        w.EndChunk();
        std::u16string longText(600, u'x');
        w.WriteChunkString(0x00020004, WString(longText.c_str()));
        w.EndChunk();
        w.BeginChunk(0x00030000);
        w.WriteU32(5);
        const char ansi[] = "hello";
        w.Write(ansi, 5);
        w.EndChunk();
        w.EndChunk();
        w.WriteChunkU32(0x00040000, 7);
    }
    return StreamBytes(s);
}

// Reads any tree of the sample's shape; every chunk it does not know is skipped. Returns a trace.
struct Trace
{
    std::vector<uint32_t> ids;
    uint32_t u32 = 0;
    std::u16string name;
    float f = 0;
    uint8_t u8 = 0;
    size_t longLength = 0;
    std::string ansi;
    std::vector<std::pair<uint32_t, std::string>> leaves; // every leaf chunk read, with its value
};

void LoadChildren(XReader& r, Trace& t, int depth)
{
    while (r.NextChunk())
    {
        uint32_t id = r.GetChunkId();
        t.ids.push_back(id);
        WString text;
        char buffer[17];
        std::string value;
        switch (id)
        {
        case 0x00010000:
        case 0x00020000:
            if (depth < 8)
                LoadChildren(r, t, depth + 1);
            r.EndChunk();
            continue;
        case 0x00010001:
        case 0x00040000:
            r.ReadU32(t.u32);
            value = std::to_string(t.u32);
            break;
        case 0x00010002:
            r.ReadString(text, 1024);
            t.name = text.c_str();
            value.assign(reinterpret_cast<const char*>(text.c_str()), text.Length() * 2);
            break;
        case 0x00020001:
        {
            r.ReadFloat(t.f);
            uint32_t bits;
            std::memcpy(&bits, &t.f, 4);
            value = std::to_string(bits);
            break;
        }
        case 0x00020002:
            r.ReadU8(t.u8);
            value = std::to_string(t.u8);
            break;
        case 0x00020004:
            r.ReadString(text, 0xFFFFFFFFu);
            t.longLength = text.Length();
            value.assign(reinterpret_cast<const char*>(text.c_str()), text.Length() * 2);
            break;
        case 0x00030000:
            r.ReadAnsiString(buffer, 16);
            t.ansi = buffer;
            value = buffer;
            break;
        default:
            break;
        }
        t.leaves.emplace_back(id, value);
        r.EndChunk();
    }
}

// Reads damaged bytes as far as they go: a reader error ends the read and is no failure.
struct Attempt
{
    Trace trace;
    int64_t end; // where the stream stopped
};

Attempt ReadDamaged(const Bytes& bytes)
{
    XMemoryStream s(0, 8192);
    LoadStream(s, bytes);
    Attempt attempt;
    try
    {
        XReader r(&s);
        LoadChildren(r, attempt.trace, 0);
    }
    catch (const XException&)
    {
    }
    attempt.end = s.GetPosition();
    return attempt;
}
} // namespace

TEST(XReaderTest, ReadsBackWhatTheWriterWrote)
{
    Bytes tree = SampleTree();
    XMemoryStream s(0, 8192);
    LoadStream(s, tree);
    XReader r(&s);
    Trace t;
    LoadChildren(r, t, 0);
    EXPECT_EQ((std::vector<uint32_t>{0x00010000, 0x00010001, 0x00010002, 0x00020000, 0x00020001, 0x00020002,
                                     0x00020003, 0x00020004, 0x00030000, 0x00040000}),
              t.ids);
    EXPECT_EQ(7u, t.u32);
    EXPECT_EQ(u"Box01", t.name);
    EXPECT_EQ(0.25f, t.f);
    EXPECT_EQ(1, t.u8);
    EXPECT_EQ(600u, t.longLength);
    EXPECT_EQ("hello", t.ansi);
    EXPECT_EQ(int64_t(tree.size()), s.GetPosition());
    EXPECT_EQ(0xFFFFFFFFu, r.GetChunkId());
}

TEST(XReaderTest, EndChunkLandsAtTheRecordedEnd)
{
    // Parent {unknown chunk with children; a chunk read only in part; a chunk read too far; a
    // known chunk}, then a sibling of the parent.
    XMemoryStream s(0, 8192);
    {
        XWriter w(&s);
        w.BeginChunk(1);
        w.BeginChunk(0x7777);
        w.WriteChunkU32(0x7778, 1);
        w.WriteChunkString(0x7779, WString(u"skipped"));
        w.EndChunk();
        w.BeginChunk(2);
        w.WriteU32(11);
        w.WriteU32(22);
        w.WriteU32(33);
        w.EndChunk();
        w.WriteChunkU8(3, 0x44);
        w.WriteChunkU32(4, 44);
        w.EndChunk();
        w.WriteChunkU32(5, 55);
    }
    s.SetPosition(0);
    XReader r(&s);
    ASSERT_TRUE(r.NextChunk());
    EXPECT_EQ(1u, r.GetChunkId());
    std::vector<uint32_t> seen;
    uint32_t value = 0;
    while (r.NextChunk())
    {
        seen.push_back(r.GetChunkId());
        switch (r.GetChunkId())
        {
        case 2:
            r.ReadU32(value); // two values left unread
            EXPECT_EQ(11u, value);
            break;
        case 3:
            r.ReadU32(value); // three bytes past the chunk
            break;
        case 4:
            r.ReadU32(value);
            EXPECT_EQ(44u, value);
            break;
        default:
            break;
        }
        r.EndChunk();
    }
    EXPECT_EQ((std::vector<uint32_t>{0x7777, 2, 3, 4}), seen);
    r.EndChunk();
    EXPECT_EQ(0xFFFFFFFFu, r.GetChunkId());
    r.ReadChunkU32(5, value);
    EXPECT_EQ(55u, value);
    EXPECT_FALSE(r.NextChunk());
    EXPECT_EQ(0xFFFFFFFFu, r.GetChunkId());
}

TEST(XReaderTest, MalformedHeadersEndTheChunkList)
{
    XMemoryStream s(0, 8192);
    XReader r(&s);
    // A child that ends one byte past its parent.
    Bytes b = U32Bytes({1, 8 + 9, 2, 10});
    b.resize(b.size() + 2);
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    EXPECT_FALSE(r.NextChunk());
    EXPECT_EQ(1u, r.GetChunkId());
    r.EndChunk();
    EXPECT_EQ(17, s.GetPosition());

    // The same child exactly filling its parent is fine.
    b = U32Bytes({1, 8 + 9, 2, 9});
    b.push_back(0);
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    ASSERT_TRUE(r.NextChunk());
    EXPECT_EQ(2u, r.GetChunkId());
    r.EndChunk();
    EXPECT_FALSE(r.NextChunk());
    r.EndChunk();

    // Sizes below the header would loop forever or seek backwards.
    for (uint32_t size : {0u, 1u, 7u})
    {
        b = U32Bytes({9, size, 0, 0});
        LoadStream(s, b);
        EXPECT_FALSE(r.NextChunk()) << size;
        EXPECT_EQ(0xFFFFFFFFu, r.GetChunkId());
    }
    // An empty chunk is 8 bytes and legal.
    b = U32Bytes({9, 8});
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    r.EndChunk();
    EXPECT_EQ(8, s.GetPosition());

    // A top-level chunk that claims more than the stream holds.
    b = U32Bytes({9, 13, 0});
    LoadStream(s, b);
    EXPECT_FALSE(r.NextChunk());
    // A partial header.
    for (size_t n : {0u, 3u, 4u, 7u})
    {
        b.assign(n, 0x08);
        LoadStream(s, b);
        EXPECT_FALSE(r.NextChunk()) << n;
    }
}

TEST(XReaderTest, TypedReadErrors)
{
    EXPECT_EQ(u"Null stream pointer.", ThrownMessage([] { XReader r(nullptr); }));

    XMemoryStream s(0, 8192);
    XReader r(&s);
    EXPECT_EQ(0xFFFFFFFFu, r.GetChunkId());
    EXPECT_EQ(u"Null chunk pointer.", ThrownMessage([&] { r.EndChunk(); }));

    LoadStream(s, Bytes{1, 2, 3});
    uint8_t u8 = 0;
    uint32_t u32 = 0;
    float f = 0;
    EXPECT_EQ(ThrownIOError([&] { r.ReadU32(u32); }), kIOErrorText);
    s.SetPosition(0);
    EXPECT_EQ(ThrownIOError([&] { r.ReadFloat(f); }), kIOErrorText);
    s.SetPosition(3);
    EXPECT_EQ(ThrownIOError([&] { r.ReadU8(u8); }), kIOErrorText);
    unsigned char raw[8];
    s.SetPosition(1);
    EXPECT_EQ(2u, r.Read(raw, 8)); // the raw read only reports

    // ReadChunk family: at the end of the stream, and on another id (which stays open).
    LoadStream(s, Bytes{});
    try
    {
        r.ReadChunkU32(5, u32);
        FAIL();
    }
    catch (const XWrongChunkException& e)
    {
        EXPECT_EQ(u"Wrong chunk.", e.Message().str());
    }
    Bytes b = U32Bytes({6, 12, 77});
    LoadStream(s, b);
    EXPECT_EQ(u"Wrong chunk.", ThrownMessage([&] { r.ReadChunkU32(5, u32); }));
    EXPECT_EQ(6u, r.GetChunkId());
    r.EndChunk();
    s.SetPosition(0);
    r.ReadChunk(6, raw, 4);
    EXPECT_EQ(77u, raw[0]);
    EXPECT_EQ(12, s.GetPosition());
    // A value chunk too short for its value.
    b = U32Bytes({5, 10});
    b.push_back(1), b.push_back(2);
    LoadStream(s, b);
    EXPECT_EQ(ThrownIOError([&] { r.ReadChunkU32(5, u32); }), kIOErrorText);
    r.EndChunk();
}

TEST(XReaderTest, StringCountsAreBoundedBeforeAnythingIsRead)
{
    XMemoryStream s(0, 8192);
    XReader r(&s);
    WString text(u"keep");

    // Over maxLength: "String too long." before any character is read.
    Bytes b = U32Bytes({1025});
    b.resize(b.size() + 2050, 0x41);
    LoadStream(s, b);
    EXPECT_EQ(u"String too long.", ThrownMessage([&] { r.ReadString(text, 1024); }));
    EXPECT_EQ(4, s.GetPosition());
    EXPECT_EQ(u"keep", std::u16string(text.c_str()));
    s.SetPosition(0);
    r.ReadString(text, 1025);
    EXPECT_EQ(1025u, text.Length());

    // A count of 0xFFFFFFFF with no limit: the I/O error, nothing allocated for it (the heap
    // path would report "Failed reading from stream.").
    b = U32Bytes({0xFFFFFFFFu, 0x00410041});
    LoadStream(s, b);
    text = u"keep";
    EXPECT_EQ(ThrownIOError([&] { r.ReadString(text, 0xFFFFFFFFu); }), kIOErrorText);
    EXPECT_EQ(u"keep", std::u16string(text.c_str()));

    // Inside a chunk the bound is the chunk, not the stream.
    b = U32Bytes({1, 8 + 4 + 4, 3, 0x00420041, 0x00440043});
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    EXPECT_EQ(ThrownIOError([&] { r.ReadString(text, 1024); }), kIOErrorText);
    r.EndChunk();
    b[8] = 2;
    LoadStream(s, b);
    r.ReadChunkString(1, text, 1024);
    EXPECT_EQ(u"AB", std::u16string(text.c_str()));

    // Same for 8-bit strings; the buffer gets its NUL.
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    b = U32Bytes({1, 8 + 4 + 3, 4});
    b.push_back('a'), b.push_back('b'), b.push_back('c');
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    EXPECT_EQ(ThrownIOError([&] { r.ReadAnsiString(buffer, 7); }), kIOErrorText);
    r.EndChunk();
    b[8] = 8;
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    EXPECT_EQ(u"String too long.", ThrownMessage([&] { r.ReadAnsiString(buffer, 7); }));
    r.EndChunk();
    b[8] = 3;
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    r.ReadAnsiString(buffer, 3);
    EXPECT_STREQ("abc", buffer);
    EXPECT_EQ(0u, r.GetBytesLeft());
    r.EndChunk();
    b[8] = 0;
    LoadStream(s, b);
    ASSERT_TRUE(r.NextChunk());
    r.ReadAnsiString(buffer, 0);
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(3u, r.GetBytesLeft());
    r.EndChunk();
}

TEST(XReaderTest, StringLengthsAroundTheStackBuffer)
{
    for (unsigned n : {0u, 1u, 509u, 510u, 511u, 512u, 5000u})
    {
        std::u16string original;
        for (unsigned i = 0; i < n; ++i)
            original.push_back(static_cast<char16_t>(0x0400 + i % 200));
        XMemoryStream s(0, 8192);
        {
            XWriter w(&s);
            w.WriteChunkString(0x10, WString(original.c_str()));
        }
        EXPECT_EQ(int64_t(12 + 2 * n), s.GetSize());
        s.SetPosition(0);
        XReader r(&s);
        WString back(u"old");
        r.ReadChunkString(0x10, back, 0xFFFFFFFFu);
        EXPECT_EQ(original, std::u16string(back.c_str())) << n;

        // Cut one unit short (the chunk size patched to match): the stream runs dry.
        if (n == 0)
            continue;
        Bytes bytes = StreamBytes(s);
        bytes.resize(bytes.size() - 2);
        WriteU32(bytes.data() + 4, static_cast<uint32_t>(bytes.size()));
        LoadStream(s, bytes);
        back = u"old";
        EXPECT_EQ(ThrownIOError([&] { r.ReadChunkString(0x10, back, 0xFFFFFFFFu); }), kIOErrorText) << n;
        EXPECT_EQ(u"old", std::u16string(back.c_str()));
        r.EndChunk();
    }
}

TEST(XReaderTest, StreamRunningDryInsideAChunk)
{
    // The chunk is intact but the stream stops delivering: short character reads report as the
    // I/O error up to 510 units and as "Failed reading from stream." from 511 on.
    for (unsigned n : {100u, 510u, 511u, 2000u})
    {
        LimitedStream s(UINT_MAX, 8 + 4 + 2 * n - 1);
        {
            XWriter w(&s);
            w.WriteChunkString(0x10, WString(std::u16string(n, u'q').c_str()));
        }
        s.SetPosition(0);
        XReader r(&s);
        WString text(u"old");
        std::u16string message = ThrownMessage([&] { r.ReadChunkString(0x10, text, 0xFFFFFFFFu); });
        EXPECT_EQ(n < 511 ? kIOErrorText : u"Failed reading from stream.", message) << n;
        EXPECT_EQ(u"old", std::u16string(text.c_str()));
    }
}

TEST(XReaderTest, ChunksPastFourGigabytesAreRefused)
{
    SparseStream s((int64_t(1) << 32) + 64);
    auto header = [&](int64_t at, uint32_t id, uint32_t size)
    {
        s.SetPosition(at);
        s.Write(U32Bytes({id, size}).data(), 8);
    };
    header(0xFFFFFFF0ll, 1, 24); // the last start that fits, with a child crossing 4 GiB
    header(0xFFFFFFF8ll, 2, 16);
    header(int64_t(1) << 32, 3, 8);
    XReader r(&s);
    s.SetPosition(0xFFFFFFF0ll);
    ASSERT_TRUE(r.NextChunk());
    ASSERT_TRUE(r.NextChunk());
    EXPECT_EQ(2u, r.GetChunkId());
    r.EndChunk();
    r.EndChunk();
    EXPECT_EQ((int64_t(1) << 32) + 8, s.GetPosition());

    s.SetPosition(int64_t(1) << 32);
    EXPECT_FALSE(r.NextChunk()); // its start cannot be held in 32 bits
    EXPECT_EQ(0xFFFFFFFFu, r.GetChunkId());
}

TEST(XReaderTest, DestructorEndsOpenChunks)
{
    Bytes tree = SampleTree();
    XMemoryStream s(0, 8192);
    LoadStream(s, tree);
    {
        XReader r(&s);
        ASSERT_TRUE(r.NextChunk());
        ASSERT_TRUE(r.NextChunk());
        r.EndChunk();
        ASSERT_TRUE(r.NextChunk());
        r.EndChunk();
        ASSERT_TRUE(r.NextChunk());
        ASSERT_TRUE(r.NextChunk());
        EXPECT_EQ(0x00020001u, r.GetChunkId());
    }
    EXPECT_EQ(int64_t(ReadU32(tree.data() + 4)), s.GetPosition());
}

TEST(XReaderTest, EveryPrefixEndsCleanly)
{
    Bytes tree = SampleTree();
    Trace full;
    {
        XMemoryStream s(0, 8192);
        LoadStream(s, tree);
        XReader r(&s);
        LoadChildren(r, full, 0);
    }
    for (size_t cut = 0; cut < tree.size(); ++cut)
    {
        Trace t = ReadDamaged(Bytes(tree.begin(), tree.begin() + static_cast<ptrdiff_t>(cut))).trace;
        // Whatever was read is a prefix of the full read: a truncated tree never invents chunks.
        ASSERT_LE(t.ids.size(), full.ids.size()) << cut;
        EXPECT_TRUE(std::equal(t.ids.begin(), t.ids.end(), full.ids.begin())) << cut;
        // The top-level chunk no longer fits, so nothing inside it is reached.
        if (cut < tree.size() - 12)
        {
            EXPECT_TRUE(t.ids.empty()) << cut;
        }
    }
    // The same cuts padded back to the full length, so that the outer chunks still fit and the
    // damage lies inside them.
    for (unsigned char filler : {0x00, 0xFF, 0x08})
        for (size_t cut = 0; cut < tree.size(); ++cut)
        {
            Bytes bad(tree.begin(), tree.begin() + static_cast<ptrdiff_t>(cut));
            bad.resize(tree.size(), filler);
            EXPECT_LE(ReadDamaged(bad).end, int64_t(tree.size()));
        }
}

TEST(XReaderTest, CorruptBytesEndCleanly)
{
    const Bytes tree = SampleTree();
    const Trace full = ReadDamaged(tree).trace;
    // The tree's leaf chunks in file order: where each starts, where its value starts (after the
    // length of a text) and where it ends.
    struct Leaf
    {
        size_t start, value, end;
    };
    std::vector<Leaf> leaves;
    auto walk = [&](auto& self, size_t from, size_t to) -> void
    {
        for (size_t at = from; at < to;)
        {
            const uint32_t id = ReadU32(&tree[at]);
            const size_t end = at + ReadU32(&tree[at + 4]);
            if (id == 0x00010000 || id == 0x00020000)
                self(self, at + 8, end);
            else
                leaves.push_back({at, at + (id == 0x00010002 || id == 0x00020004 || id == 0x00030000 ? 12 : 8), end});
            at = end;
        }
    };
    walk(walk, 0, tree.size());
    ASSERT_EQ(leaves.size(), full.leaves.size());

    for (size_t at = 0; at < tree.size(); ++at)
        for (uint8_t mask : {0x01, 0x80, 0xFF})
        {
            SCOPED_TRACE(testing::Message() << at << " ^ " << int(mask));
            Bytes bad = tree;
            bad[at] ^= mask;
            const Attempt attempt = ReadDamaged(bad);
            EXPECT_LE(attempt.end, int64_t(bad.size()));
            const auto& read = attempt.trace.leaves;
            size_t hit = leaves.size();
            for (size_t k = 0; k < leaves.size(); ++k)
                if (at >= leaves[k].value && at < leaves[k].end)
                    hit = k;
            if (hit < leaves.size())
            {
                // A damaged value changes that value only: every chunk is still found.
                ASSERT_EQ(read.size(), full.leaves.size());
                for (size_t k = 0; k < read.size(); ++k)
                    if (k == hit)
                        EXPECT_NE(read[k], full.leaves[k]);
                    else
                        EXPECT_EQ(read[k], full.leaves[k]) << k;
                continue;
            }
            // A damaged id, size or text length: everything that lies before it was read as written.
            for (size_t k = 0; k < leaves.size() && leaves[k].end <= at; ++k)
            {
                ASSERT_LT(k, read.size());
                EXPECT_EQ(read[k], full.leaves[k]) << k;
            }
        }
}
