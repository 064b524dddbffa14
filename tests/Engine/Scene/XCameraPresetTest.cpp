#include "Engine/Scene/XCameraPreset.h"

#include "Components/XException.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
XMatrix Placement(float angle, float x, float y, float z)
{
    XMatrix m;
    m.SetRotation(0, angle, 0);
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

XCameraPreset Sample()
{
    XCameraPreset preset;
    preset.Name = u"Вид сверху";
    preset.Matrix = Placement(0.5f, 1, 2, 3);
    preset.FOV = 1.5f;
    preset.NearViewPlane = 0.25f;
    preset.FarViewPlane = 500.0f;
    preset.AspectRatio = 2.0f;
    preset.Perspective = true;
    return preset;
}

std::vector<uint8_t> ListBytes(const XCameraPresetList& list)
{
    return SavedBytes([&](XWriter& w) { list.Save(nullptr, w); });
}

void LoadList(XCameraPresetList& list, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { list.Load(nullptr, r); });
}

std::string Message(const XException& e)
{
    return WideToAnsi(e.Message()).c_str();
}
} // namespace

TEST(XCameraPresetTest, PresetChunksRoundTripByteForByte)
{
    const XCameraPreset saved = Sample();
    auto bytes = SavedBytes([&](XWriter& w) { saved.Save(nullptr, w); });
    // Header, the matrix chunk, four floats, the flag, the name: in this order.
    ASSERT_GE(bytes.size(), 16u);
    uint32_t ids[2];
    std::memcpy(ids, bytes.data(), 4);
    std::memcpy(ids + 1, bytes.data() + 8, 4);
    EXPECT_EQ(ids[0], 0x12800000u);
    EXPECT_EQ(ids[1], 0x36540007u);
    EXPECT_EQ(bytes.size(), 8u + 72 + 4 * 12 + 9 + 8 + 4 + 2 * 10);

    XCameraPreset loaded;
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(loaded.Name, saved.Name);
    EXPECT_EQ(MaxDiff(loaded.Matrix, saved.Matrix), 0.0f);
    EXPECT_EQ(loaded.FOV, 1.5f);
    EXPECT_EQ(loaded.AspectRatio, 2.0f);
    EXPECT_TRUE(loaded.Perspective);
    EXPECT_EQ(SavedBytes([&](XWriter& w) { loaded.Save(nullptr, w); }), bytes);

    // A copy is a whole copy.
    XCameraPreset copy(loaded);
    EXPECT_EQ(SavedBytes([&](XWriter& w) { copy.Save(nullptr, w); }), bytes);

    // Another chunk id reads nothing.
    XCameraPreset untouched = Sample();
    auto other = SavedBytes([&](XWriter& w) { w.WriteChunkFloat(0x12700001, 0.5f); });
    LoadEachChunk(other, [&](XReader& r) { untouched.Load(nullptr, r); });
    EXPECT_EQ(untouched.FOV, 1.5f);
}

TEST(XCameraPresetTest, ListLoadBoundsNamesAndDropsDamagedPresets)
{
    XCameraPresetList list;
    EXPECT_TRUE(ListBytes(list).empty()) << "no chunk without presets";

    // Three presets: a good one, one whose name is over the bound, a foreign chunk, a good one.
    std::u16string longName(XCameraPreset::MaxNameLength + 1, u'x');
    auto bytes = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(XCameraPresetList::ChunkId);
            Sample().Save(nullptr, w);
            w.BeginChunk(ClassId::CameraPreset);
            w.WriteChunkFloat(XCamera::FOVChunk, 2.0f);
            w.WriteChunkString(XCameraPreset::NameChunk, XString(longName.c_str()));
            w.WriteChunkFloat(XCamera::FarViewPlaneChunk, 7.0f);
            w.EndChunk();
            w.WriteChunkU32(0x1234, 5);
            XCameraPreset last;
            last.Name = u"last";
            last.Save(nullptr, w);
            w.EndChunk();
        });
    LoadList(list, bytes);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.Get(0u)->Name, u"Вид сверху");
    EXPECT_EQ(list.Get(1u)->Name, u"");
    EXPECT_EQ(list.Get(1u)->FOV, XCamera::DefaultFOV);
    EXPECT_EQ(list.Get(2u)->Name, u"last");

    // A name of exactly the bound loads; a preset cut anywhere ends cleanly.
    XCameraPreset bounded;
    bounded.Name = XString(std::u16string(XCameraPreset::MaxNameLength, u'y').c_str());
    auto one = SavedBytes([&](XWriter& w) { bounded.Save(nullptr, w); });
    XCameraPreset loaded;
    LoadEachChunk(one, [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(loaded.Name.Length(), XCameraPreset::MaxNameLength);
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        XCameraPresetList target;
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        LoadList(target, part);
        EXPECT_LE(target.GetCount(), 3u);
    }

    // The whole list saves back as it was read, the foreign chunk as a default preset.
    XCameraPresetList again;
    LoadList(again, ListBytes(list));
    EXPECT_EQ(ListBytes(again), ListBytes(list));
}

TEST(XCameraPresetTest, SceneOperationsActOnTheViewportCamera)
{
    ViewportDouble viewport;
    XCameraPresetList list;
    XCamera camera;
    camera.SetMatrix(Placement(0.3f, 4, 5, 6));
    camera.SetFOV(1.0f);
    camera.SetAspectRatio(1.75f);

    // Without a viewport or a camera nothing happens.
    EXPECT_EQ(list.Create(nullptr, u"a"), 0u);
    EXPECT_EQ(list.Create(&viewport, u"a"), 0u);
    EXPECT_EQ(list.GetCount(), 0u);
    list.Apply(&viewport, 5u);
    list.Apply(nullptr, u"missing");

    viewport.camera = &camera;
    EXPECT_EQ(list.Create(&viewport, u"front"), 0u);
    EXPECT_EQ(list.Create(&viewport, u"side"), 1u);
    EXPECT_EQ(list.Create(&viewport, u"front"), 2u);
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetIndex(u"front"), 0u);
    EXPECT_EQ(list.GetIndex(u"Front"), XCameraPresetList::NotFound);
    EXPECT_EQ(list.Get(u"side")->AspectRatio, 1.75f);
    EXPECT_EQ(MaxDiff(list.Get(1u)->Matrix, Placement(0.3f, 4, 5, 6)), 0.0f);

    // Out of range, by index and by name.
    for (auto call : {+[](XCameraPresetList&l, XViewport*) { l.Get(3u); },
                      +[](XCameraPresetList&l, XViewport*) { l.Get(u"none"); },
                      +[](XCameraPresetList&l, XViewport*v) { l.Apply(v, 3u); },
                      +[](XCameraPresetList&l, XViewport*v) { l.Apply(v, u"none"); }})
    {
        try
        {
            call(list, &viewport);
            ADD_FAILURE() << "no exception";
        }
        catch (const XException& e)
        {
            EXPECT_EQ(Message(e), "Out of range.");
        }
    }

    // Applying takes the placement and lens, not the aspect ratio, and names the preset.
    XCameraPreset* side = list.Get(1u);
    side->Matrix = Placement(1.0f, -1, 0, 2);
    side->FOV = 9.0f;
    side->NearViewPlane = 0.5f;
    side->FarViewPlane = 50.0f;
    side->AspectRatio = 4.0f;
    side->Perspective = true;
    list.Apply(&viewport, u"side");
    EXPECT_EQ(MaxDiff(
                  [&]
                  {
                      XMatrix m;
                      camera.GetLocalMatrix(m);
                      return m;
                  }(),
                  Placement(1.0f, -1, 0, 2)),
              0.0f);
    EXPECT_EQ(camera.GetFOV(), XCamera::MaxFOV);
    EXPECT_EQ(camera.GetNearViewPlane(), 0.5f);
    EXPECT_EQ(camera.GetFarViewPlane(), 50.0f);
    EXPECT_TRUE(camera.GetPerspective());
    EXPECT_EQ(camera.GetAspectRatio(), 1.75f);
    EXPECT_EQ(viewport.GetCaption(), u"Пресет: side");

    EXPECT_FALSE(list.Delete(3u));
    EXPECT_FALSE(list.Delete(u"none"));
    EXPECT_TRUE(list.Delete(u"front"));
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.Get(0u)->Name, u"side");
    EXPECT_EQ(list.GetIndex(u"front"), 1u);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0u);
}
