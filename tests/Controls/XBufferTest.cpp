#include "Controls/XBuffer.h"

#include "Platform/Vcl/Streams.h"

#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <numeric>
#include <vector>

namespace
{
std::vector<uint8_t> Bytes(XMemoryBuffer& b)
{
    std::vector<uint8_t> out(static_cast<size_t>(b.GetSize()));
    if (!out.empty())
        b.Read(0, static_cast<int32_t>(out.size()), out.data());
    return out;
}

// A stream of a fixed size that delivers only part of what is asked.
class ShortStream : public TMemoryStream
{
public:
    int32_t limit = INT32_MAX;
    int32_t Read(void* buffer, int32_t count) override
    {
        return TMemoryStream::Read(buffer, std::min(count, limit));
    }
};
} // namespace

TEST(XBufferTest, GrowsInStepsAndTrimsOneStepAtATime)
{
    XMemoryBuffer b;
    EXPECT_EQ(b.GetSize(), 0);
    EXPECT_EQ(b.GetCapacity(), 0);
    EXPECT_EQ(b.GetStep(), 16384);
    uint8_t x = 7;
    EXPECT_EQ(b.Read(0, 1, &x), 0);
    EXPECT_EQ(b.Write(0, 1, &x), 0);

    b.Insert(0, 1, &x);
    EXPECT_EQ(b.GetCapacity(), 16384);
    for (int i = 0; i < 16384; ++i)
        b.Insert(b.GetSize(), 1, &x);
    EXPECT_EQ(b.GetSize(), 16385);
    EXPECT_EQ(b.GetCapacity(), 32768);

    XMemoryBuffer big;
    big.Insert(0, 20000, nullptr);
    EXPECT_EQ(big.GetCapacity(), 20000);
    EXPECT_EQ(Bytes(big), std::vector<uint8_t>(20000, 0)); // a gap without source is zero

    // Spare room above two steps: one removal trims exactly one step.
    XMemoryBuffer t;
    t.SetCapacity(100000);
    t.SetSize(60000);
    t.Remove(0, 50000);
    EXPECT_EQ(t.GetSize(), 10000);
    EXPECT_EQ(t.GetCapacity(), 100000 - 16384);
    t.Remove(0, 10000);
    EXPECT_EQ(t.GetCapacity(), 0);
}

TEST(XBufferTest, PositionsAreClampedAsDocumented)
{
    XMemoryBuffer b;
    const uint8_t abc[] = {'a', 'b', 'c'};
    b.Insert(0, 3, abc);
    const uint8_t z = 'z', y = 'y';
    b.Insert(100, 1, &z); // past the end appends
    b.Insert(-5, 1, &y);  // before the start prepends
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{'y', 'a', 'b', 'c', 'z'}));
    EXPECT_EQ(b.Write(5, 1, &z), 0);
    EXPECT_EQ(b.GetSize(), 5);
    uint8_t out[8] = {};
    EXPECT_EQ(b.Read(3, 8, out), 2);
    EXPECT_EQ(b.Read(-1, 2, out), 0);
    EXPECT_EQ(b.Write(4, 3, abc), 1); // never grows
    b.Remove(99, 1);                  // at or past the end: the last byte
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{'y', 'a', 'b', 'c'}));
    b.Remove(2, INT64_MAX); // no overflow in pos + count
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{'y', 'a'}));
    b.Remove(0, -3);
    EXPECT_EQ(b.GetSize(), 2);

    XMemoryBuffer s;
    s.SetSize(100);
    EXPECT_EQ(s.GetCapacity(), 100);
    s.SetSize(10);
    EXPECT_EQ(s.GetCapacity(), 100);
    s.Write(0, 3, abc);
    s.SetSize(20); // grown bytes are zero even where old bytes stood
    EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    s.SetCapacity(2);
    EXPECT_EQ(s.GetSize(), 2);
    s.SetStep(-4);
    EXPECT_EQ(s.GetStep(), 0);
    s.Insert(0, 5, nullptr);
    EXPECT_EQ(s.GetCapacity(), 7);
    s.Clear();
    EXPECT_EQ(s.GetCapacity(), 0);
    EXPECT_EQ(s.GetStep(), 0);
}

TEST(XBufferTest, SizesPastTheLimitThrowBeforeAnyChange)
{
    XMemoryBuffer b;
    const uint8_t abc[] = {1, 2, 3};
    b.Insert(0, 3, abc);
    const int64_t capacity = b.GetCapacity();
    EXPECT_THROW(b.Insert(1, INT32_MAX - 2, nullptr), std::bad_alloc);
    EXPECT_THROW(b.SetSize(int64_t(INT32_MAX) + 1), std::bad_alloc);
    EXPECT_THROW(b.SetCapacity(int64_t(1) << 32), std::bad_alloc);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(b.GetCapacity(), capacity);
    b.SetStep(int64_t(1) << 40); // a huge step is bounded, never wrapped into a small or negative one
    EXPECT_EQ(b.GetStep(), INT32_MAX);
}

TEST(XBufferTest, StreamsTakeTheWholeStreamAndZeroWhatWasNotRead)
{
    ShortStream stream;
    std::vector<uint8_t> data(1000);
    std::iota(data.begin(), data.end(), 0);
    stream.Write(data.data(), 1000);
    stream.SetPosition(400);
    XMemoryBuffer b;
    b.SetSize(2000);
    b.Write(0, 1, "\xFF");
    EXPECT_EQ(b.LoadFromStream(&stream), 600);
    ASSERT_EQ(b.GetSize(), 1000);
    std::vector<uint8_t> got = Bytes(b);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 600, data.begin() + 400));
    EXPECT_TRUE(std::all_of(got.begin() + 600, got.end(), [](uint8_t v) { return v == 0; }));

    ShortStream few;
    few.Write(data.data(), 10);
    few.SetPosition(0);
    few.limit = 4;
    EXPECT_EQ(b.LoadFromStream(&few), 4);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 1, 2, 3, 0, 0, 0, 0, 0, 0}));

    TMemoryStream out;
    out.Write("xy", 2);
    EXPECT_EQ(b.SaveToStream(&out), 10);
    EXPECT_EQ(out.Size(), 12);
    EXPECT_EQ(static_cast<uint8_t*>(out.Memory())[5], 3);
}
