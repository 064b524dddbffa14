#include "Components/XBitArray.h"

#include "Components/XException.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "tests/support/ByteData.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

Bytes Saved(const XBitArray& bits)
{
    XMemoryStream stream(0, 8192);
    {
        XWriter writer(&stream);
        writer << bits;
    }
    return StreamBytes(stream);
}

// A plain model to compare with.
std::vector<bool> Bits(const XBitArray& bits)
{
    std::vector<bool> result;
    for (uint32_t i = 0; i < bits.GetCount(); ++i)
        result.push_back(bits.Get(i));
    return result;
}
} // namespace

TEST(XBitArrayTest, SetCountExposesOnlyClearBits)
{
    XBitArray bits;
    EXPECT_EQ(bits.GetCount(), 0u);
    EXPECT_EQ(bits.Count(true), 0u);
    EXPECT_EQ(bits.Count(false), 0u);
    EXPECT_FALSE(bits.Get(0));
    bits.SetAll(); // nothing to set on an empty set
    bits.Invert();
    bits.ClearAll();
    bits.SetBit(0, true);
    EXPECT_EQ(bits.GetCount(), 0u);

    // SetAll works on whole words: 64 bits of storage, yet only 33 are counted.
    bits.SetCount(33);
    EXPECT_EQ(bits.Count(false), 33u);
    bits.SetAll();
    EXPECT_EQ(bits.Count(true), 33u);
    EXPECT_EQ(bits.Count(false), 0u);
    EXPECT_FALSE(bits.Get(33));
    EXPECT_FALSE(bits[63]);
    bits.SetCount(40);
    for (uint32_t i = 0; i < 40; ++i)
        EXPECT_EQ(bits[i], i < 33) << i;
    EXPECT_EQ(bits.Count(true), 33u);

    // Lowering keeps the bits below the new count; raising again shows the rest clear.
    bits.SetAll();
    bits.SetCount(10);
    EXPECT_EQ(bits.Count(true), 10u);
    bits.SetCount(100);
    EXPECT_EQ(bits.Count(true), 10u);
    for (uint32_t i = 10; i < 100; ++i)
        ASSERT_FALSE(bits[i]) << i;

    // Invert also touches whole words; the bits past the count stay out of sight.
    bits.SetCount(5);
    bits.Invert();
    EXPECT_EQ(bits.Count(true), 0u);
    EXPECT_EQ(bits.Count(false), 5u);
    bits.SetCount(64);
    EXPECT_EQ(bits.Count(true), 0u);

    // Exact word boundaries.
    XBitArray words;
    words.SetCount(32);
    words.SetAll();
    words.SetCount(64);
    EXPECT_EQ(words.Count(true), 32u);
    EXPECT_FALSE(words[32]);
    words.Clear();
    EXPECT_EQ(words.GetCount(), 0u);
    EXPECT_FALSE(words[0]);
    words.SetCount(1);
    EXPECT_FALSE(words[0]);
}

TEST(XBitArrayTest, SetBitIgnoresIndicesPastTheCount)
{
    XBitArray bits;
    bits.SetCount(70);
    bits.SetBit(5, false);
    EXPECT_FALSE(bits[5]);
    bits.SetBit(5, true);
    bits.SetBit(69, true);
    bits.SetBit(70, true);
    bits.SetBit(0xFFFFFFFFu, true);
    EXPECT_TRUE(bits[5]);
    EXPECT_TRUE(bits[69]);
    EXPECT_FALSE(bits[70]);
    EXPECT_EQ(bits.Count(true), 2u);
    bits.SetBit(5, false);
    EXPECT_FALSE(bits[5]);
    EXPECT_EQ(bits.Count(true), 1u);
    // The bit at the count was not written behind the set's back.
    bits.SetCount(71);
    EXPECT_FALSE(bits[70]);
}

TEST(XBitArrayTest, RangesAgreeWithABitByBitModel)
{
    std::mt19937 random(1234);
    for (uint32_t count : {1u, 31u, 32u, 33u, 64u, 95u, 200u})
    {
        XBitArray bits;
        bits.SetCount(count);
        std::vector<bool> model(count, false);
        for (int step = 0; step < 300; ++step)
        {
            uint32_t first = random() % (count + 3);
            uint32_t n = step % 17 == 0 ? 0xFFFFFFFFu - first % 4 : random() % (count + 40);
            bool value = random() & 1;
            bits.SetRange(first, n, value);
            for (uint64_t i = first; i < static_cast<uint64_t>(first) + n && i < count; ++i)
                model[i] = value;
            if (step % 50 == 7)
            {
                bits.Invert();
                model.flip();
            }
            ASSERT_EQ(Bits(bits), model) << count << " " << step;
            uint32_t ones = 0;
            for (bool b : model)
                ones += b;
            ASSERT_EQ(bits.Count(true), ones);
            ASSERT_EQ(bits.Count(false), count - ones);
        }
    }

    // Ranges cut at the count, and a first index at or past it does nothing.
    XBitArray bits;
    bits.SetCount(40);
    bits.SetRange(30, 100, true);
    EXPECT_EQ(bits.Count(true), 10u);
    bits.SetRange(40, 5, false);
    bits.SetRange(41, 5, false);
    EXPECT_EQ(bits.Count(true), 10u);
    bits.SetRange(0, 0, true);
    EXPECT_EQ(bits.Count(true), 10u);
    bits.SetRange(0, 0xFFFFFFFFu, true);
    EXPECT_EQ(bits.Count(true), 40u);
    bits.SetRange(1, 38, false);
    EXPECT_EQ(Bits(bits)[0], true);
    EXPECT_EQ(Bits(bits)[39], true);
    EXPECT_EQ(bits.Count(true), 2u);
    bits.ClearAll();
    EXPECT_EQ(bits.Count(true), 0u);
    EXPECT_EQ(bits.Count(false), 40u);
}

TEST(XBitArrayTest, CopyAndAssignment)
{
    XBitArray source;
    source.SetCount(100);
    source.SetRange(10, 50, true);
    source.SetBit(99, true);

    XBitArray copy(source);
    EXPECT_EQ(Bits(copy), Bits(source));
    // Independent storage.
    copy.SetBit(0, true);
    EXPECT_FALSE(source[0]);

    XBitArray target;
    target.SetCount(500);
    target.SetAll();
    target = source;
    EXPECT_EQ(target.GetCount(), 100u);
    EXPECT_EQ(Bits(target), Bits(source));
    // Room for the source's capacity: growing within it exposes clear bits.
    target.SetCount(128);
    EXPECT_EQ(target.Count(true), 51u);

    XBitArray& self = (target = target);
    EXPECT_EQ(&self, &target);
    EXPECT_EQ(target.Count(true), 51u);

    // A set lowered below its capacity copies its whole storage faithfully.
    XBitArray lowered;
    lowered.SetCount(256);
    lowered.SetAll();
    lowered.SetCount(40);
    XBitArray fromLowered = lowered;
    EXPECT_EQ(fromLowered.Count(true), 40u);
    // Equal by the bits below the count alone: the stale ones past it in the last word do not count.
    XBitArray fresh;
    fresh.SetCount(40);
    fresh.SetRange(0, 40, true);
    EXPECT_TRUE(fresh == lowered);
    fresh.SetBit(39, false);
    EXPECT_FALSE(fresh == lowered);
    fromLowered.SetCount(256);
    EXPECT_EQ(fromLowered.Count(true), 40u);

    XBitArray empty;
    copy = empty;
    EXPECT_EQ(copy.GetCount(), 0u);
    EXPECT_FALSE(copy[0]);
    copy.SetCount(3);
    EXPECT_EQ(copy.Count(false), 3u);
}

TEST(XBitArrayTest, StreamFormBytes)
{
    XBitArray bits;
    EXPECT_EQ(Saved(bits), (Bytes{0, 0, 0, 0}));

    bits.SetCount(40);
    bits.SetBit(0, true);
    bits.SetBit(33, true);
    bits.SetBit(39, true);
    EXPECT_EQ(Saved(bits), (Bytes{40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0x82, 0, 0, 0}));

    // Exactly one word; and a lowered count writes only the words it uses.
    bits.SetCount(32);
    bits.SetAll();
    EXPECT_EQ(Saved(bits), (Bytes{32, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    bits.SetCount(1);
    bits.ClearAll();
    EXPECT_EQ(Saved(bits), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(XBitArrayTest, ChunkRoundTrip)
{
    std::mt19937 random(77);
    std::vector<XBitArray> sets(6);
    sets[1].SetCount(1);
    sets[1].SetBit(0, true);
    sets[2].SetCount(32);
    sets[2].SetRange(3, 20, true);
    sets[3].SetCount(33);
    sets[3].SetAll(); // the ones past the count travel too, and stay out of sight
    sets[4].SetCount(1000);
    for (uint32_t i = 0; i < 1000; ++i)
        sets[4].SetBit(i, random() & 1);
    sets[5].SetCount(64);
    sets[5].Invert();

    XMemoryStream stream(0, 8192);
    {
        XWriter writer(&stream);
        writer.BeginChunk(0x0120000B);
        for (const XBitArray& bits : sets)
            writer << bits;
        writer.WriteChunkU32(0x0120000C, 0xCAFEF00D);
        writer.EndChunk();
    }

    stream.SetPosition(0);
    XReader reader(&stream);
    ASSERT_TRUE(reader.NextChunk());
    EXPECT_EQ(reader.GetChunkId(), 0x0120000Bu);
    for (const XBitArray& bits : sets)
    {
        XBitArray loaded;
        loaded.SetCount(7); // replaced, also by an empty set
        loaded.SetAll();
        reader >> loaded;
        EXPECT_EQ(loaded.GetCount(), bits.GetCount());
        EXPECT_EQ(Bits(loaded), Bits(bits));
        EXPECT_EQ(loaded.Count(true), bits.Count(true));
    }
    uint32_t after = 0;
    reader.ReadChunkU32(0x0120000C, after);
    EXPECT_EQ(after, 0xCAFEF00Du);
    reader.EndChunk();
    EXPECT_FALSE(reader.NextChunk());

    // The loaded 33-bit set grows with clear bits.
    stream.SetPosition(8);
    XReader again(&stream);
    XBitArray skip, loaded;
    again >> skip >> skip >> skip >> loaded;
    EXPECT_EQ(loaded.Count(true), 33u);
    loaded.SetCount(64);
    EXPECT_EQ(loaded.Count(true), 33u);
    EXPECT_FALSE(loaded[33]);
}

TEST(XBitArrayTest, HostileStreamFormIsRefusedAndLosesNothing)
{
    XBitArray original;
    original.SetCount(45);
    original.SetRange(2, 40, true);

    auto expectUnchanged = [&](const XBitArray& bits)
    {
        EXPECT_EQ(bits.GetCount(), 45u);
        EXPECT_EQ(bits.Count(true), 40u);
        EXPECT_TRUE(bits[2]);
        EXPECT_FALSE(bits[1]);
    };

    // Every cut of a valid form ends in the I/O error; the whole form loads.
    XBitArray source;
    source.SetCount(100);
    source.SetRange(50, 30, true);
    Bytes valid = Saved(source);
    ASSERT_EQ(valid.size(), 8u + 16u);
    XMemoryStream stream(0, 8192);
    for (size_t cut = 0; cut < valid.size(); ++cut)
    {
        LoadStream(stream, Bytes(valid.begin(), valid.begin() + static_cast<long>(cut)));
        XReader reader(&stream);
        XBitArray bits = original;
        EXPECT_EQ(ThrownIOError([&] { reader >> bits; }), kIOErrorText) << cut;
        expectUnchanged(bits);
    }
    LoadStream(stream, valid);
    {
        XReader reader(&stream);
        XBitArray bits = original;
        reader >> bits;
        EXPECT_EQ(Bits(bits), Bits(source));
    }

    // Word counts that do not match the bit count, with the words present in the stream.
    struct Case
    {
        uint32_t count;
        uint32_t words;
    };
    for (Case c : {Case{40, 1}, Case{40, 3}, Case{40, 0}, Case{32, 2}, Case{33, 1}, Case{1, 0xFFFFFFFFu},
                   Case{0xFFFFFFFFu, 0x07FFFFFFu}})
    {
        Bytes bytes = U32Bytes({c.count, c.words, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
        LoadStream(stream, bytes);
        XReader reader(&stream);
        XBitArray bits = original;
        EXPECT_EQ(ThrownIOError([&] { reader >> bits; }), kIOErrorText) << c.count << " " << c.words;
        expectUnchanged(bits);
    }

    // A matching but huge count whose words are not there: refused before anything is allocated
    // (half a gigabyte would otherwise be asked for).
    {
        Bytes bytes = U32Bytes({0xFFFFFFFFu, 0x08000000u, 0x12345678});
        LoadStream(stream, bytes);
        XReader reader(&stream);
        XBitArray bits = original;
        EXPECT_EQ(ThrownIOError([&] { reader >> bits; }), kIOErrorText);
        expectUnchanged(bits);
    }

    // The words lie in the stream, but past the end of the open chunk: the chunk bounds the read.
    {
        // A chunk with room for one of the two words.
        Bytes bytes = U32Bytes({0x0120000B, 8 + 8 + 4, 40, 2, 0xFFFFFFFF, 0xFFFFFFFF});
        LoadStream(stream, bytes);
        XReader reader(&stream);
        ASSERT_TRUE(reader.NextChunk());
        XBitArray bits = original;
        EXPECT_EQ(ThrownIOError([&] { reader >> bits; }), kIOErrorText);
        expectUnchanged(bits);
        reader.EndChunk();
        EXPECT_EQ(stream.GetPosition(), 20);
    }
}
