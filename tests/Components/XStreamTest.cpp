#include "Components/XStream.h"

#include "Components/XMemoryStream.h"
#include "tests/support/ByteData.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

TEST(XStreamTest, BufferHelpersThrowNarrowTextOnShortTransfers)
{
    XMemoryStream s(0, 16);
    unsigned char in[5] = {1, 2, 3, 4, 5};
    s.WriteBuffer(in, 5);
    s.SetPosition(1);
    unsigned char out[8] = {};
    s.ReadBuffer(out, 4);
    EXPECT_EQ(0, std::memcmp(out, in + 1, 4));
    s.SetPosition(3);
    EXPECT_EQ("Stream reading error.", ThrownText([&] { s.ReadBuffer(out, 3); }));

    LimitedStream full(3, 100);
    EXPECT_EQ("Stream writing error.", ThrownText([&] { full.WriteBuffer(in, 4); }));
    // Zero bytes always succeed.
    full.WriteBuffer(in, 0);
    full.ReadBuffer(out, 0);
}

TEST(XStreamTest, CopyStreamCopiesExactlyTheCountFromBothPositions)
{
    auto data = PatternBytes(3 * 1024 * 1024 + 4097, 1); // several large pieces and a tail
    XMemoryStream source(0, 8192);
    source.WriteBuffer(data.data(), static_cast<unsigned>(data.size()));
    XMemoryStream dest(0, 8192);
    auto prefix = PatternBytes(100, 2);
    dest.WriteBuffer(prefix.data(), 100);
    dest.SetPosition(40); // copying overwrites from the destination's position

    source.SetPosition(17);
    int64_t count = static_cast<int64_t>(data.size()) - 17 - 5;
    EXPECT_EQ(count, CopyStream(&dest, &source, count));
    EXPECT_EQ(17 + count, source.GetPosition());
    EXPECT_EQ(40 + count, dest.GetPosition());

    auto got = StreamBytes(dest);
    ASSERT_EQ(size_t(40 + count), got.size());
    EXPECT_EQ(0, std::memcmp(got.data(), prefix.data(), 40));
    EXPECT_EQ(0, std::memcmp(got.data() + 40, data.data() + 17, static_cast<size_t>(count)));
}

TEST(XStreamTest, CopyStreamBounds)
{
    auto data = PatternBytes(1000, 3);
    XMemoryStream source(0, 64);
    source.WriteBuffer(data.data(), 1000);
    source.SetPosition(900);
    XMemoryStream dest(0, 64);

    // Nothing for a negative or zero count; neither stream moves.
    EXPECT_EQ(0, CopyStream(&dest, &source, -1));
    EXPECT_EQ(0, CopyStream(&dest, &source, INT64_MIN));
    EXPECT_EQ(0, CopyStream(&dest, &source, 0));
    EXPECT_EQ(900, source.GetPosition());
    EXPECT_EQ(0, dest.GetSize());

    // Exactly what remains is fine.
    EXPECT_EQ(100, CopyStream(&dest, &source, 100));
    EXPECT_EQ(0, std::memcmp(StreamBytes(dest).data(), data.data() + 900, 100));

    // More than remains copies what remains and says how much.
    source.SetPosition(900);
    EXPECT_EQ(100, CopyStream(&dest, &source, 101));
    EXPECT_EQ(1000, source.GetPosition());
    EXPECT_EQ(200, dest.GetSize());
    source.SetPosition(950);
    EXPECT_EQ(50, CopyStream(&dest, &source, INT64_MAX));
    EXPECT_EQ(250, dest.GetSize());
    EXPECT_EQ(0, std::memcmp(StreamBytes(dest).data() + 200, data.data() + 950, 50));
    // Nothing remains past the end.
    source.SetPosition(1000);
    EXPECT_EQ(0, CopyStream(&dest, &source, 10));
}

TEST(XStreamTest, CopyStreamReportsShortReadsAndWritesMidway)
{
    auto data = PatternBytes(5000, 4);

    // A source whose reads stop delivering before its size says: the copy ends there and says
    // how much it copied.
    LimitedStream dry(10000, 3000);
    dry.WriteBuffer(data.data(), 5000);
    dry.SetPosition(0);
    XMemoryStream dest(0, 8192);
    EXPECT_EQ(3000, CopyStream(&dest, &dry, 5000));
    EXPECT_EQ(0, std::memcmp(StreamBytes(dest).data(), data.data(), 3000));

    // A destination that fills up.
    XMemoryStream source(0, 8192);
    source.WriteBuffer(data.data(), 5000);
    source.SetPosition(0);
    LimitedStream full(4999, 0);
    EXPECT_EQ("Stream writing error.", ThrownText([&] { CopyStream(&full, &source, 5000); }));
}
