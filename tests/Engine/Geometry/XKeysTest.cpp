#include "Engine/Geometry/XKeys.h"

#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
void Fill(XPositionKeys& keys, const std::vector<uint32_t>& times)
{
    for (uint32_t t : times)
        keys.AddKey(new XPositionKey(t, XVertex(float(t), 0, 0)));
}

std::vector<uint32_t> Times(const XKeys& keys)
{
    std::vector<uint32_t> times;
    for (uint32_t i = 0; i < keys.GetCount(); ++i)
        times.push_back(keys.GetKey(i)->time);
    return times;
}

// What a search must answer, from the sorted times alone.
int Expected(const std::vector<uint32_t>& times, uint32_t time, unsigned mode)
{
    if (mode == 0)
    {
        auto it = std::find(times.begin(), times.end(), time);
        return it == times.end() ? -1 : int(it - times.begin());
    }
    if (mode == 1)
        return int(std::upper_bound(times.begin(), times.end(), time) - times.begin()) - 1;
    if (mode == 2)
    {
        auto it = std::lower_bound(times.begin(), times.end(), time);
        return it == times.end() ? -1 : int(it - times.begin());
    }
    return -1;
}
} // namespace

// Linear search below 10 keys, binary from 10 on: the same answers before, on, between and after
// the keys, in every mode.
TEST(XKeysTest, FindIndexAgreesAcrossSizesAndModes)
{
    for (unsigned n : {0u, 1u, 9u, 10u, 12u, 33u})
    {
        std::vector<uint32_t> times;
        for (unsigned i = 0; i < n; ++i)
            times.push_back(10 + 10 * i);
        XPositionKeys keys;
        Fill(keys, times);
        for (uint32_t t = 0; t <= 20 + 10 * n; ++t)
            for (unsigned mode : {0u, 1u, 2u, 3u})
            {
                ASSERT_EQ(keys.FindIndex(t, mode), Expected(times, t, mode))
                    << n << " keys, t " << t << " mode " << mode;
                int i = Expected(times, t, mode);
                EXPECT_EQ(keys.FindKey(t, mode), i < 0 ? nullptr : keys.GetKey(uint32_t(i)));
            }
    }
}

TEST(XKeysTest, EditingKeepsTimeOrder)
{
    XPositionKeys keys;
    Fill(keys, {30, 10, 20, 40, 50});
    EXPECT_EQ(Times(keys), (std::vector<uint32_t>{10, 20, 30, 40, 50}));
    EXPECT_EQ(keys.AddKey(new XPositionKey(25, XVertex(0, 0, 0))), 2u);

    EXPECT_EQ(keys.DeleteKeys(20, 20), 1u); // only the key at 20; later keys stay
    EXPECT_EQ(Times(keys), (std::vector<uint32_t>{10, 25, 30, 40, 50}));
    EXPECT_EQ(keys.DeleteKeys(26, 45), 2u);
    EXPECT_EQ(keys.DeleteKeys(60, 70), 0u);
    EXPECT_EQ(Times(keys), (std::vector<uint32_t>{10, 25, 50}));

    EXPECT_EQ(keys.DeleteRange(1, 100), 2u);
    EXPECT_EQ(keys.DeleteRange(1, 1), 0u);
    EXPECT_EQ(Times(keys), (std::vector<uint32_t>{10}));

    XPositionKeys late;
    Fill(late, {60, 70});
    late.Truncate(50); // no key before the length: the track is kept
    EXPECT_EQ(Times(late), (std::vector<uint32_t>{60, 70}));
    XPositionKeys mixed;
    Fill(mixed, {10, 49, 50, 70});
    mixed.Truncate(50);
    EXPECT_EQ(Times(mixed), (std::vector<uint32_t>{10, 49}));
}

TEST(XKeysTest, ValuesInterpolateFromTheDefaultKey)
{
    XPositionKeys position;
    XRotationKeys rotation;
    XScaleKeys scale;
    ExpectVertex(position.GetValue(7), 0, 0, 0);
    ExpectVertex(rotation.GetValue(7), 0, 0, 0);
    ExpectVertex(scale.GetValue(7), 1, 1, 1);

    position.AddKey(new XPositionKey(10, XVertex(2, 4, -6)));
    rotation.AddKey(new XRotationKey(10, XVertex(1, 0, 0)));
    scale.AddKey(new XScaleKey(10, XVertex(3, 3, 5)));
    ExpectVertex(position.GetValue(0), 0, 0, 0);
    ExpectVertex(position.GetValue(5), 1, 2, -3);
    ExpectVertex(position.GetValue(20), 2, 4, -6);
    ExpectVertex(rotation.GetValue(5), 0.5f, 0, 0);
    ExpectVertex(scale.GetValue(0), 1, 1, 1);
    ExpectVertex(scale.GetValue(5), 2, 2, 3);

    position.AddKey(new XPositionKey(20, XVertex(6, 4, -6)));
    ExpectVertex(position.GetValue(15), 4, 4, -6);
    ExpectVertex(position.GetValue(20), 6, 4, -6);
}

TEST(XKeysTest, MatricesOfTheTracks)
{
    XPositionKeys position;
    position.AddKey(new XPositionKey(0, XVertex(1, 2, 3)));
    XScaleKeys scale;
    scale.AddKey(new XScaleKey(0, XVertex(2, 3, 4)));
    XMatrix m(1.0f);
    position.ApplyToMatrix(0, m);
    scale.ApplyToMatrix(0, m); // translated first, then scaled
    ExpectVertex(Apply(m, XVertex(1, 1, 1)), 4, 9, 16);
}

// Key list payload: u32 n, then n x {u32 time; 3 floats}.
TEST(XKeysTest, LoadKeepsFileOrderAndRefusesShortLists)
{
    std::vector<uint8_t> list =
        U32Bytes({0x1, 0, 3, 30, 0x3F800000, 0, 0, 10, 0x40000000, 0, 0, 10, 0x40400000, 0, 0});
    WriteU32(&list[4], uint32_t(list.size()));
    XPositionKeys keys;
    LoadEachChunk(list, [&](XReader& r) { keys.Load(r); });
    EXPECT_EQ(Times(keys), (std::vector<uint32_t>{30, 10, 10}));
    EXPECT_EQ(SavedBytes(
                  [&](XWriter& w)
                  {
                      w.BeginChunk(1);
                      keys.Save(w);
                      w.EndChunk();
                  }),
              list);
    // Two keys at one frame: the later one holds at and after it, the earlier one is approached.
    std::vector<uint8_t> dup =
        U32Bytes({0x1, 0, 3, 10, 0x3F800000, 0, 0, 10, 0x40000000, 0, 0, 20, 0x40800000, 0, 0});
    WriteU32(&dup[4], uint32_t(dup.size()));
    LoadEachChunk(dup, [&](XReader& r) { keys.Load(r); });
    ExpectVertex(keys.GetValue(5), 0.5f, 0, 0);
    ExpectVertex(keys.GetValue(10), 2, 0, 0);
    ExpectVertex(keys.GetValue(15), 3, 0, 0);

    for (size_t cut = 8; cut < list.size(); ++cut)
    {
        std::vector<uint8_t> shortList(list.begin(), list.begin() + cut);
        WriteU32(&shortList[4], uint32_t(cut));
        XScaleKeys s;
        EXPECT_EQ(ThrownIOError([&] { LoadEachChunk(shortList, [&](XReader& r) { s.Load(r); }); }),
                  kIOErrorText)
            << cut;
        EXPECT_EQ(s.GetCount(), 0u);
    }
    std::vector<uint8_t> huge = U32Bytes({0x1, 28, 0x40000000, 5, 0, 0, 0});
    XRotationKeys r;
    EXPECT_EQ(ThrownIOError([&] { LoadEachChunk(huge, [&](XReader& rd) { r.Load(rd); }); }), kIOErrorText);
}
