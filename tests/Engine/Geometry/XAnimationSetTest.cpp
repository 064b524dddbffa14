#include "Engine/Geometry/XAnimationSet.h"

#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

namespace
{
XAnimation* Named(const char16_t* name, uint32_t key)
{
    XAnimation* a = new XAnimation;
    a->Name = name;
    a->AddPositionKey(key, XVertex(1, 2, 3));
    return a;
}

std::vector<uint8_t> Saved(const XAnimationSet& set)
{
    return SavedBytes([&](XWriter& w) { set.Save(w); });
}
} // namespace

TEST(XAnimationSetTest, LookUpsTakeTheFirstMatch)
{
    XAnimationSet set;
    EXPECT_EQ(set.AddAnimation(Named(u"Run", 1)), 0u);
    EXPECT_EQ(set.AddAnimation(Named(u"Idle", 2)), 1u);
    EXPECT_EQ(set.AddAnimation(Named(u"Run", 3)), 2u);
    EXPECT_EQ(set.IndexOfAnimation(u"Run"), 0);
    EXPECT_EQ(set.FindAnimation(u"Idle"), set.GetAnimation(1));
    EXPECT_EQ(set.IndexOfAnimation(u"run"), -1);
    EXPECT_EQ(set.FindAnimation(u"Jump"), nullptr);
    EXPECT_EQ(ThrownMessage([&] { set.GetAnimation(3); }), u"Out of range.");
}

TEST(XAnimationSetTest, SaveLoadSaveIsExact)
{
    XAnimationSet empty;
    EXPECT_EQ(Saved(empty), U32Bytes({0x36560000, 8}));

    XAnimationSet set;
    set.AddAnimation(Named(u"Run", 10));
    set.AddAnimation(Named(u"Idle", 20));
    std::vector<uint8_t> bytes = Saved(set);
    XAnimationSet loaded;
    loaded.AddAnimation(Named(u"Stale", 1));
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(r); });
    ASSERT_EQ(loaded.GetAnimationCount(), 2u);
    EXPECT_TRUE(loaded.GetAnimation(1)->Name == u"Idle");
    EXPECT_EQ(Saved(loaded), bytes);

    // Every cut of the set: a clean error or a shorter set, never a fault.
    for (size_t cut = 8; cut < bytes.size(); ++cut)
    {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        WriteU32(&part[4], uint32_t(cut));
        XAnimationSet s;
        try
        {
            LoadEachChunk(part, [&](XReader& r) { s.Load(r); });
        }
        catch (const FileUtils::XIOError&)
        {
        }
        EXPECT_LE(s.GetAnimationCount(), 2u);
    }
}
