#include "Engine/Geometry/XAnimation.h"

#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
std::vector<uint8_t> Saved(const XAnimation& a)
{
    return SavedBytes([&](XWriter& w) { a.Save(w); });
}
} // namespace

TEST(XAnimationTest, LengthIsClampedAndCutsTheTracks)
{
    struct Row
    {
        uint32_t frames, length;
    } rows[] = {{0, 1}, {1, 1}, {50, 50}, {10000, 10000}, {10001, 10000}, {0xFFFFFFFF, 10000}};
    for (const Row& row : rows)
    {
        XAnimation a;
        a.SetLength(row.frames);
        EXPECT_EQ(a.GetLength(), row.length) << row.frames;
    }

    XAnimation a;
    for (uint32_t t : {10u, 49u, 50u, 80u})
    {
        a.AddPositionKey(t, XVertex(1, 0, 0));
        a.AddScaleKey(t, XVertex(2, 2, 2));
    }
    a.AddRotationKey(60, XVertex(0, 1, 0));
    a.SetLength(50);
    EXPECT_EQ(a.PositionKeys.GetCount(), 2u);
    EXPECT_EQ(a.PositionKeys.GetKey(1)->time, 49u);
    EXPECT_EQ(a.ScaleKeys.GetCount(), 2u);
    EXPECT_EQ(a.RotationKeys.GetCount(), 1u); // every key past the length: kept
}

TEST(XAnimationTest, AddingKeysBuildsOnTheInterpolatedValue)
{
    XAnimation a;
    a.AddPositionKey(10, XVertex(2, 0, 0));
    a.AddPositionKey(20, XVertex(0, 4, 0));  // made at (2, 0, 0), the value there
    a.AddPositionKey(20, XVertex(0, 1, 0));  // same frame: one key, offsets add up
    a.AddPositionKey(101, XVertex(5, 5, 5)); // past the length
    ASSERT_EQ(a.PositionKeys.GetCount(), 2u);
    ExpectVertex(a.PositionKeys.GetKey(1)->value, 2, 5, 0);
    a.AddPositionKey(15, XVertex(0, 0, 1)); // made at the halfway value
    ExpectVertex(a.PositionKeys.GetValue(15), 2, 2.5f, 1);

    a.AddScaleKey(100, XVertex(2, 3, 4));
    a.AddScaleKey(100, XVertex(2, 1, 0.5f));
    ExpectVertex(a.ScaleKeys.GetValue(100), 4, 3, 2);
    a.AddRotationKey(0, XVertex(0.5f, 0, 0));
    a.AddRotationKey(0, XVertex(0.25f, 0, 0));
    ExpectVertex(a.RotationKeys.GetValue(0), 0.75f, 0, 0);
}

// A point is translated, then rotated, then scaled.
TEST(XAnimationTest, MatrixComposesTranslationRotationScale)
{
    XAnimation a;
    a.AddPositionKey(10, XVertex(1, 2, 3));
    a.AddRotationKey(10, XVertex(0, 0, float(M_PI / 2)));
    a.AddScaleKey(10, XVertex(2, 2, 2));
    XMatrix m;
    a.GetMatrix(10, m);
    ExpectVertex(Apply(m, XVertex(0, 0, 0)), -4, 2, 6, 1e-5f);
    ExpectVertex(Apply(m, XVertex(1, 0, 0)), -4, 4, 6, 1e-5f);
    a.GetMatrix(0, m);
    EXPECT_EQ(MaxDiff(m, XMatrix(1.0f)), 0.0f);
}

TEST(XAnimationTest, SaveLoadSaveIsExact)
{
    XAnimation a;
    a.Name = u"Walk";
    a.SetLength(60);
    a.AddPositionKey(5, XVertex(1, 2, 3));
    a.AddRotationKey(30, XVertex(0.1f, 0.2f, 0.3f));
    a.AddScaleKey(60, XVertex(1.5f, 1, 1));
    std::vector<uint8_t> bytes = Saved(a);
    // 0x36550000 { name 8+4+8, three key lists 8+4+16 each, length 8+4 }
    ASSERT_EQ(bytes.size(), 8u + 20 + 3 * 28 + 12);

    XAnimation b;
    b.Name = u"Old";
    b.AddPositionKey(1, XVertex(9, 9, 9));
    LoadEachChunk(bytes, [&](XReader& r) { b.Load(r); });
    EXPECT_EQ(Saved(b), bytes);

    // A chunk with only the length: the name and keys start over.
    XAnimation c;
    c.Name = u"Old";
    c.AddPositionKey(1, XVertex(9, 9, 9));
    LoadEachChunk(U32Bytes({0x36550000, 20, 0x36550007, 12, 0}), [&](XReader& r) { c.Load(r); });
    EXPECT_TRUE(c.Name == u"");
    EXPECT_EQ(c.GetLength(), 1u);
    EXPECT_EQ(c.PositionKeys.GetCount(), 0u);
    // Another chunk id is not read.
    LoadEachChunk(U32Bytes({0x36560000, 20, 0x36550007, 12, 7}), [&](XReader& r) { c.Load(r); });
    EXPECT_EQ(c.GetLength(), 1u);
}

TEST(XAnimationTest, HostileChunksEndInTheIOError)
{
    // A name of 0xFFFFFFFF units, a key count beyond its payload, a length cut short.
    const std::vector<uint8_t> inputs[] = {
        U32Bytes({0x36550000, 24, 0x36550001, 16, 0xFFFFFFFF, 0x00410041}),
        U32Bytes({0x36550000, 36, 0x36550004, 28, 2, 5, 0, 0, 0}),
        U32Bytes({0x36550000, 16, 0x36550007, 8, 0x36550007, 12}),
    };
    for (const auto& input : inputs)
    {
        XAnimation a;
        EXPECT_EQ(ThrownIOError([&] { LoadEachChunk(input, [&](XReader& r) { a.Load(r); }); }), kIOErrorText);
    }
}
