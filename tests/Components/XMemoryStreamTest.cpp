#include "Components/XMemoryStream.h"

#include "tests/support/ByteData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{
// A stream whose growth is suppressed: a write past the blocks must not reach outside them.
class NoGrowStream : public XMemoryStream
{
public:
    NoGrowStream() : XMemoryStream(0, 16) {}
    void SetSize(int64_t) override {}
};
} // namespace

TEST(XMemoryStreamTest, BlocksFollowTheSize)
{
    XMemoryStream s(4, 8192);
    EXPECT_EQ(0u, s.GetBlockCount()); // slots reserved, no block allocated
    EXPECT_EQ(0u, s.GetAllocated());
    EXPECT_TRUE(s.IsOpen());
    EXPECT_TRUE(s.Eof());

    auto data = PatternBytes(8193, 1);
    EXPECT_EQ(8193u, s.Write(data.data(), 8193));
    EXPECT_EQ(2u, s.GetBlockCount());
    EXPECT_EQ(16384u, s.GetAllocated());
    EXPECT_EQ(8193, s.GetSize());
    EXPECT_EQ(8193, s.GetPosition());
    unsigned char byte = 0;
    EXPECT_EQ(0u, s.Read(&byte, 1));
    EXPECT_TRUE(s.Eof());

    // Down to allocated - blockSize keeps both blocks.
    s.SetSize(9000);
    EXPECT_EQ(2u, s.GetBlockCount());
    s.SetSize(8192);
    EXPECT_EQ(2u, s.GetBlockCount());
    EXPECT_EQ(16384u, s.GetAllocated());
    // Below it, the blocks past ceil(size / blockSize) go.
    s.SetSize(100);
    EXPECT_EQ(1u, s.GetBlockCount());
    EXPECT_EQ(8192u, s.GetAllocated());
    EXPECT_EQ(100, s.GetSize());
    EXPECT_EQ(8193, s.GetPosition()); // SetSize leaves the position

    // 0 is not below allocated - blockSize with one block: it stays.
    s.SetSize(0);
    EXPECT_EQ(1u, s.GetBlockCount());
    s.SetSize(-7);
    EXPECT_EQ(0, s.GetSize());
    s.SetSize(3 * 8192 + 1);
    EXPECT_EQ(4u, s.GetBlockCount());
    EXPECT_EQ(4u * 8192, s.GetAllocated());
    s.SetSize(1);
    EXPECT_EQ(1u, s.GetBlockCount());
}

TEST(XMemoryStreamTest, PositionAndSeek)
{
    XMemoryStream s(0, 8192);
    auto data = PatternBytes(100, 2);
    s.Write(data.data(), 100);

    s.SetPosition(-5);
    EXPECT_EQ(0, s.GetPosition());
    s.SetPosition(101);
    EXPECT_EQ(100, s.GetPosition());
    s.SetPosition(37);
    EXPECT_EQ(37, s.GetPosition());
    EXPECT_FALSE(s.Eof());

    EXPECT_EQ(90, s.Seek(10, 2)); // counted back from the end
    EXPECT_EQ(100, s.Seek(-10, 2));
    EXPECT_EQ(0, s.Seek(200, 2));
    EXPECT_EQ(20, s.Seek(20, 0));
    EXPECT_EQ(25, s.Seek(5, 1));
    EXPECT_EQ(15, s.Seek(-10, 1));
    EXPECT_EQ(0, s.Seek(-16, 1));
    EXPECT_EQ(100, s.Seek(500, 0));
    s.SetPosition(42);
    EXPECT_EQ(42, s.Seek(7, 3)); // unknown origin leaves the position
    // Extreme offsets saturate instead of wrapping.
    EXPECT_EQ(100, s.Seek(std::numeric_limits<int64_t>::max(), 1));
    EXPECT_EQ(0, s.Seek(std::numeric_limits<int64_t>::min(), 1));
    EXPECT_EQ(100, s.Seek(std::numeric_limits<int64_t>::min(), 2));
    EXPECT_EQ(0, s.Seek(std::numeric_limits<int64_t>::max(), 2));
}

TEST(XMemoryStreamTest, PositionPastTheSizeStaysInsideTheBlocks)
{
    XMemoryStream s(0, 8192);
    auto data = PatternBytes(20000, 3);
    s.Write(data.data(), 20000);
    s.SetSize(100); // position 20000 now lies past the size and past the remaining block
    unsigned char out[16];
    EXPECT_EQ(0u, s.Read(out, 16));
    EXPECT_EQ(100, s.GetPosition());

    s.SetPosition(20000); // clamped anyway
    EXPECT_EQ(100, s.GetPosition());

    // A write after a shrink appends at the size.
    s.SetSize(20000);
    s.SetPosition(20000);
    s.SetSize(50);
    unsigned char tail[3] = {0xA1, 0xA2, 0xA3};
    EXPECT_EQ(3u, s.Write(tail, 3));
    EXPECT_EQ(53, s.GetSize());
    EXPECT_EQ(53, s.GetPosition());
    s.SetPosition(0);
    std::vector<unsigned char> all(53);
    ASSERT_EQ(53u, s.Read(all.data(), 53));
    EXPECT_EQ(0, std::memcmp(all.data(), data.data(), 50));
    EXPECT_EQ(0, std::memcmp(all.data() + 50, tail, 3));
}

TEST(XMemoryStreamTest, GrowingExposesZeros)
{
    XMemoryStream s(0, 64);
    auto data = PatternBytes(200, 4);
    s.Write(data.data(), 200);
    s.SetSize(10); // keeps the first block with old bytes behind the size
    s.SetSize(300);
    std::vector<unsigned char> all(300);
    s.SetPosition(0);
    ASSERT_EQ(300u, s.Read(all.data(), 300));
    EXPECT_EQ(0, std::memcmp(all.data(), data.data(), 10));
    for (size_t i = 10; i < 300; ++i)
        ASSERT_EQ(0, all[i]) << i;
}

TEST(XMemoryStreamTest, RoundTripsAcrossBlockBoundaries)
{
    for (unsigned blockSize : {1u, 7u, 8192u})
    {
        XMemoryStream s(0, blockSize);
        auto data = PatternBytes(blockSize == 1   ? 20011
                                 : blockSize == 7 ? 100003
                                                  : 3 * 1024 * 1024 + 3,
                                 blockSize);
        std::mt19937 random(blockSize);
        size_t at = 0;
        while (at < data.size())
        {
            unsigned n = static_cast<unsigned>(random() % (blockSize * 20 + 100));
            if (n > data.size() - at)
                n = static_cast<unsigned>(data.size() - at);
            ASSERT_EQ(n, s.Write(data.data() + at, n));
            at += n;
        }
        EXPECT_EQ(int64_t(data.size()), s.GetSize());
        EXPECT_EQ((data.size() + blockSize - 1) / blockSize, s.GetBlockCount());

        std::vector<unsigned char> back(data.size() + 10);
        s.SetPosition(0);
        at = 0;
        while (unsigned got =
                   s.Read(back.data() + at, static_cast<unsigned>(random() % (blockSize * 15 + 90)) + 1))
            at += got;
        EXPECT_EQ(data.size(), at);
        EXPECT_EQ(0, std::memcmp(back.data(), data.data(), data.size())) << blockSize;

        // Overwriting in the middle changes only those bytes.
        s.SetPosition(blockSize + 3);
        unsigned char patch[5] = {1, 2, 3, 4, 5};
        s.Write(patch, 5);
        EXPECT_EQ(int64_t(data.size()), s.GetSize());
        s.SetPosition(blockSize);
        unsigned char around[11];
        ASSERT_EQ(11u, s.Read(around, 11));
        EXPECT_EQ(0, std::memcmp(around, data.data() + blockSize, 3));
        EXPECT_EQ(0, std::memcmp(around + 3, patch, 5));
        EXPECT_EQ(0, std::memcmp(around + 8, data.data() + blockSize + 8, 3));
    }
}

TEST(XMemoryStreamTest, MissingBlockIsOutOfRange)
{
    NoGrowStream s;
    unsigned char data[4] = {1, 2, 3, 4};
    try
    {
        s.Write(data, 4);
        FAIL() << "no throw";
    }
    catch (const XException& e)
    {
        EXPECT_EQ(u"Out of range.", e.Message().str());
    }
    XMemoryStream zero(0, 0); // a zero block size falls back to the usual 8192
    zero.Write(data, 4);
    EXPECT_EQ(8192u, zero.GetBlockSize());
    EXPECT_EQ(1u, zero.GetBlockCount());
}
