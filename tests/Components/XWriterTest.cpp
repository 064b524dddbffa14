#include "Components/XWriter.h"

#include "Components/XMemoryStream.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;
} // namespace

TEST(XWriterTest, ValueChunksAreByteExact)
{
    XMemoryStream s(0, 8192);
    {
        XWriter w(&s);
        w.WriteChunkU8(0x36540003, 1);
    }
    EXPECT_EQ((Bytes{0x03, 0x00, 0x54, 0x36, 0x09, 0x00, 0x00, 0x00, 0x01}), StreamBytes(s));

    XMemoryStream t(0, 8192);
    {
        XWriter w(&t);
        w.BeginChunk(0x11223344);
        w.EndChunk();
        w.WriteChunkString(0x00010002, StrUtils::XBaseString<WCHAR>());
        w.WriteChunkString(0x00010003, StrUtils::XBaseString<WCHAR>(u"A\u0416"));
        w.WriteChunkU32(0x00010004, 0xA1B2C3D4);
        w.WriteChunkFloat(0x00010005, 1.0f);
        unsigned char raw[3] = {7, 8, 9};
        w.WriteChunk(0x00010006, raw, 3);
        w.BeginChunk(0x00010007);
        w << StrUtils::XBaseString<WCHAR>(u"z");
        w.WriteU8(0);
        w.WriteFloat(-2.5f);
        w.EndChunk();
    }
    // clang-format off
    Bytes expected = {
        0x44, 0x33, 0x22, 0x11, 0x08, 0x00, 0x00, 0x00,                                     // empty chunk
        0x02, 0x00, 0x01, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,             // empty string: size 12
        0x03, 0x00, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x41, 0x00, 0x16, 0x04,
        0x04, 0x00, 0x01, 0x00, 0x0C, 0x00, 0x00, 0x00, 0xD4, 0xC3, 0xB2, 0xA1,             // u32
        0x05, 0x00, 0x01, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,             // float 1.0
        0x06, 0x00, 0x01, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x07, 0x08, 0x09,                   // raw
        0x07, 0x00, 0x01, 0x00, 0x13, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x7A, 0x00, // "z"
        0x00,                                                                               // u8
        0x00, 0x00, 0x20, 0xC0,                                                             // float -2.5
    };
    // clang-format on
    EXPECT_EQ(expected, StreamBytes(t));
}

TEST(XWriterTest, NestedSizesIncludeHeadersAndStartWhereTheStreamIs)
{
    XMemoryStream s(0, 8192);
    unsigned char lead[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE}; // e.g. a file header before the tree
    s.Write(lead, 5);
    {
        XWriter w(&s);
        w.BeginChunk(0xA);
        w.WriteU32(0x01020304);
        w.BeginChunk(0xB);
        w.WriteChunkU8(0xC, 0x55);
        w.EndChunk();
        w.BeginChunk(0xD);
        w.EndChunk();
        w.EndChunk();
        EXPECT_EQ(s.GetSize(), s.GetPosition()); // back at the end after each patch
    }
    // clang-format off
    Bytes expected = {
        0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
        0x0A, 0, 0, 0, 0x25, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, // A: 8 + 4 + 17 + 8 = 37
        0x0B, 0, 0, 0, 0x11, 0, 0, 0,                         // B: 8 + 9 = 17
        0x0C, 0, 0, 0, 0x09, 0, 0, 0, 0x55,                   // C: 9
        0x0D, 0, 0, 0, 0x08, 0, 0, 0,                         // D: empty
    };
    // clang-format on
    EXPECT_EQ(expected, StreamBytes(s));
}

TEST(XWriterTest, DestructorClosesOpenChunks)
{
    XMemoryStream s(0, 8192);
    {
        XWriter w(&s);
        w.BeginChunk(1);
        w.BeginChunk(2);
        w.WriteU8(9);
    }
    EXPECT_EQ((Bytes{1, 0, 0, 0, 17, 0, 0, 0, 2, 0, 0, 0, 9, 0, 0, 0, 9}), StreamBytes(s));
}

TEST(XWriterTest, Errors)
{
    EXPECT_EQ(u"Null stream pointer.", ThrownMessage([] { XWriter w(nullptr); }));

    XMemoryStream s(0, 8192);
    XWriter w(&s);
    EXPECT_EQ(u"Null chunk pointer.", ThrownMessage([&] { w.EndChunk(); }));
    w.BeginChunk(1);
    w.EndChunk();
    EXPECT_EQ(u"Null chunk pointer.", ThrownMessage([&] { w.EndChunk(); }));
}

TEST(XWriterTest, ShortWritesThrowIOError)
{
    unsigned char raw[8] = {};
    StrUtils::XBaseString<WCHAR> text(u"abc");
    struct Case
    {
        unsigned limit;
        std::function<void(XWriter&)> op;
    };
    std::vector<Case> cases = {
        {7, [](XWriter& w) { w.BeginChunk(1); }}, // the header itself
        {0, [&](XWriter& w) { w.Write(raw, 1); }},
        {7, [&](XWriter& w) { w.Write(raw, 8); }},
        {0, [](XWriter& w) { w.WriteU8(1); }},
        {3, [](XWriter& w) { w.WriteU32(1); }},
        {3, [](XWriter& w) { w.WriteFloat(1); }},
        {3, [&](XWriter& w) { w.WriteString(text); }},
        {9, [&](XWriter& w) { w.WriteString(text); }},
        {12, [](XWriter& w) { w.WriteChunkU32(1, 2); }},
        {15, [&](XWriter& w) { w.WriteChunkString(1, text); }},
    };
    for (auto& c : cases)
    {
        LimitedStream s(c.limit);
        // The writer goes out of scope with a failed chunk open: its destructor must not throw.
        XWriter w(&s);
        EXPECT_EQ(kIOErrorText, ThrownIOError([&] { c.op(w); })) << "limit " << c.limit;
    }
}

TEST(XWriterTest, ChunkTreesBeyondFourGigabytesAreRefused)
{
    {
        // A chunk cannot start where its 32-bit start would wrap.
        SparseStream s;
        s.SetPosition(int64_t(1) << 32);
        XWriter w(&s);
        EXPECT_EQ(kIOErrorText, ThrownMessage([&] { w.BeginChunk(1); }));
        EXPECT_TRUE(s.bytes.empty());
        EXPECT_EQ(u"Null chunk pointer.", ThrownMessage([&] { w.EndChunk(); }));
    }
    {
        // The last start that fits still works.
        SparseStream s;
        s.SetPosition(0xFFFFFFFFll);
        XWriter w(&s);
        w.WriteChunkU8(7, 1);
        EXPECT_EQ(9u, s.bytes[0xFFFFFFFFll + 4]);
    }
    {
        // A chunk whose size would not fit 32 bits is not patched with a wrapped size; the
        // writer's destructor, closing it again, swallows the same failure.
        SparseStream s;
        {
            XWriter w(&s);
            w.BeginChunk(1);
            w.BeginChunk(2);
            s.SetPosition((int64_t(1) << 32) + 11); // the inner chunk, from 8, is now just over
            w.WriteU8(5);
            EXPECT_EQ(kIOErrorText, ThrownMessage([&] { w.EndChunk(); }));
            EXPECT_EQ(kIOErrorText, ThrownMessage([&] { w.EndChunk(); })); // still the same chunk
        }
        EXPECT_EQ(0u, s.bytes[4]);
        EXPECT_EQ(0u, s.bytes[12]);
    }
}
