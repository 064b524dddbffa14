#include "Engine/Geometry/XBone.h"

#include "Engine/Geometry/XRectangle.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// The world matrices the log shows loaded, in order: (state, matrix).
std::vector<std::pair<unsigned, XMatrix>> LoadedWorldMatrices(const SoftDevice& d3d)
{
    std::vector<std::pair<unsigned, XMatrix>> out;
    const std::vector<D3D9Call> log = d3d.Log(); // reading the matrices back adds to the log
    for (const D3D9Call& call : log)
    {
        if (call.name != "SetTransform")
            continue;
        const unsigned state = static_cast<unsigned>(std::strtoul(call.args.c_str(), nullptr, 10));
        if (state < 256)
            continue;
        D3DMATRIX m;
        d3d.device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state), &m);
        XMatrix x;
        static_assert(sizeof x == sizeof m);
        std::memcpy(&x, &m, sizeof m);
        out.emplace_back(state, x);
    }
    return out;
}

XMatrix Translation(float x, float y, float z)
{
    XMatrix m;
    m.SetTranslation(x, y, z);
    return m;
}
} // namespace

TEST(XBoneTest, NewBoneAndItsValues)
{
    XBone bone;
    EXPECT_EQ(bone.GetName(), u"Bone");
    EXPECT_EQ(bone.GetClassId(), 0xCC310000u);
    EXPECT_EQ(BoneDesc.GetClassNameW(), u"XBone");
    EXPECT_EQ(BoneDesc.GetCategory(), 0x10u);
    EXPECT_EQ(bone.GetIndex(), 0xFFFFFFFFu);
    ExpectVertex(bone.GetC1(), 0, 0, 0);
    ExpectVertex(bone.GetC1Min(), 0, 0, -0.5f);
    ExpectVertex(bone.GetC1Max(), 0, 0, -0.75f);
    ExpectVertex(bone.GetC2(), 0, 0, 1);
    ExpectVertex(bone.GetC2Min(), 0, 0, 1.5f);
    ExpectVertex(bone.GetC2Max(), 0, 0, 1.75f);
    EXPECT_EQ(FieldList(bone), (std::vector<std::u16string>{u"InnerRadius1:float", u"InnerRadius2:float",
                                                            u"OuterRadius1:float", u"OuterRadius2:float",
                                                            u"Height:float", u"Index:bitu32"}));

    // The capsule follows every changed value, clamped; an unchanged one leaves it built.
    XBoneMesh& mesh = *bone.GetBoneMesh();
    bone.SetOuterRadius2(5000);
    EXPECT_EQ(bone.GetOuterRadius2(), 1000.0f);
    EXPECT_EQ(mesh.GetOuterRadius2(), 1000.0f);
    mesh.ShapeBuild();
    bone.SetOuterRadius2(1000);
    EXPECT_TRUE(mesh.IsShapeValid(0));
    bone.SetHeight(-2);
    ExpectVertex(bone.GetC2Max(), 0, 0, -2 + 1000);
}

TEST(XBoneTest, NumbersTheSkeletonInPreOrder)
{
    XBone root, a, a1, b, c;
    XMeshNode other;
    root.AddChild(&a);
    a.AddChild(&a1);
    root.AddChild(&b);
    root.AddChild(&other);
    other.AddChild(&c); // below a node that is not a bone: skipped
    EXPECT_EQ(root.SetupIndexes(1), 5u);
    EXPECT_EQ(root.GetIndex(), 1u);
    EXPECT_EQ(a.GetIndex(), 2u);
    EXPECT_EQ(a1.GetIndex(), 3u);
    EXPECT_EQ(b.GetIndex(), 4u);
    EXPECT_EQ(c.GetIndex(), 0xFFFFFFFFu);
    EXPECT_EQ(a.SetupIndexes(10), 12u);
    EXPECT_EQ(a1.GetIndex(), 11u);
}

TEST(XBoneTest, BlendMatricesTakeTheBindPoseToThePoseAtTheFrame)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    // A two-bone arm: the forearm starts at the upper arm's tip and bends 90 degrees about x by
    // frame 5. The skinned node stands 3 units along x.
    XBone upper, fore, unnumbered;
    upper.AddChild(&fore);
    fore.SetPosition(0, 0, 1);
    fore.AddChild(&unnumbered);
    auto* bend = new XAnimation;
    bend->AddRotationKey(5, XVertex(1.5707964f, 0, 0));
    fore.AddAnimation(bend);
    fore.SetAnimation(bend);
    upper.SetupIndexes(1);
    unnumbered.SetIndex(256);
    XMeshNode skinned;
    skinned.SetPosition(3, 0, 0);

    // At frame 0 every numbered bone loads N, depth first, and the unnumbered none.
    d3d.Clear();
    upper.SetupMatrices(0, d3d.device, &skinned);
    auto loaded = LoadedWorldMatrices(d3d);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].first, 257u);
    EXPECT_EQ(loaded[1].first, 258u);
    for (const auto& [state, m] : loaded)
        EXPECT_LT(MaxDiff(m, Translation(3, 0, 0)), 1e-6f) << state;

    // At frame 5 the upper arm has not moved; the forearm carries a mesh point to the world in
    // the bind pose (x + 3), then turns it about the elbow (3, 0, 1).
    d3d.Clear();
    upper.SetupMatrices(5, d3d.device, &skinned);
    loaded = LoadedWorldMatrices(d3d);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_LT(MaxDiff(loaded[0].second, Translation(3, 0, 0)), 1e-6f);
    const XMatrix& w = loaded[1].second;
    ExpectVertex(Apply(w, XVertex(0, 0, 1)), 3, 0, 1, 1e-5f);  // the elbow stays
    ExpectVertex(Apply(w, XVertex(0, 0, 2)), 3, -1, 1, 1e-5f); // the hand swings down y
    ExpectVertex(Apply(w, XVertex(0, 1, 1)), 3, 0, 2, 1e-5f);
    ExpectVertex(Apply(w, XVertex(5, 0, 1)), 8, 0, 1, 1e-5f);

    // An arm lying along x in the bind pose has zeros on the diagonal of its matrices; their
    // inverses still cancel at frame 0.
    XMatrix alongX;
    alongX.SetRotationY(1.5707964f);
    upper.SetMatrix(alongX);
    d3d.Clear();
    upper.SetupMatrices(0, d3d.device, &skinned);
    loaded = LoadedWorldMatrices(d3d);
    ASSERT_EQ(loaded.size(), 2u);
    for (const auto& [state, m] : loaded)
        EXPECT_LT(MaxDiff(m, Translation(3, 0, 0)), 1e-6f) << state;

    // Nothing without a device.
    upper.SetupMatrices(5, nullptr, &skinned);
}

TEST(XBoneTest, DrawsAndPicksItsCapsuleUnlessItHasAMesh)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    XMatrix camera(1.0f);
    camera.SetTranslation(0, 0, -10);
    viewport.SetCameraWorld(camera);
    viewport.SetOrthographic(64, 48, 1, 100);

    XBone bone;
    bone.SetColor(0xFF123456);
    auto count = [&](const char* text)
    {
        int n = 0;
        for (const std::string& t : d3d.Texts())
            n += t == text;
        return n;
    };
    d3d.Clear();
    bone.Render(0, &viewport, XRS_POINTS);
    EXPECT_EQ(count("DrawPrimitiveUP(2, 200, 16)"), 1);
    const XBoundingBox capsule = bone.GetMeshBoundingBox(0);
    ExpectVertex(capsule.min, -0.75f, -0.75f, -0.75f);
    ExpectVertex(capsule.max, 0.75f, 0.75f, 1.75f);
    // The capsule is picked at the centre of the view, not at its edge.
    float distance = 0;
    EXPECT_TRUE(bone.IntersectRay(0, &viewport, XPoint(320, 240), distance, 0));
    EXPECT_FALSE(bone.IntersectRay(0, &viewport, XPoint(10, 10), distance, 0));
    EXPECT_TRUE(bone.HitTest(0, &viewport, XPoint(320, 240), 0));

    // A node mesh takes over drawing and picking.
    auto* rectangle = new XRectangle;
    rectangle->SetWidth(40);
    bone.SetMesh(rectangle);
    d3d.Clear();
    bone.Render(0, &viewport, 0);
    EXPECT_EQ(count("DrawPrimitiveUP(2, 200, 16)"), 0);
    EXPECT_EQ(count("DrawPrimitiveUP(2, 32, 16)"), 1);
    EXPECT_EQ(bone.GetMeshBoundingBox(0).max.x, 20.0f);
    EXPECT_TRUE(bone.IntersectRay(0, &viewport, XPoint(330, 240), distance, 0));
}

// Dragging on the XY plane through an orthographic camera at z = -10: 10 pixels a unit.
TEST(XBoneTest, MouseCreationPlacesAndSizesTheBone)
{
    ViewportDouble viewport;
    XMatrix camera(1.0f);
    camera.SetTranslation(0, 0, -10);
    viewport.SetCameraWorld(camera);
    viewport.SetOrthographic(64, 48, 1, 100);
    viewport.SetPlaneAxis(XAXIS_XY);

    XBone bone;
    EXPECT_TRUE(bone.AllowMouseCreate());
    bone.MouseCreateStart();
    EXPECT_EQ(bone.GetBoneMesh()->GetHeight(), 0.001f);
    EXPECT_FALSE(bone.MouseCreateProc(&viewport, XME_MOVE, XPoint(340, 220), 0));
    ExpectVertex(bone.GetPosition(), 2, 2, 0, 1e-5f);
    XMatrix local;
    bone.GetLocalMatrix(local);
    local.m[3][0] = local.m[3][1] = local.m[3][2] = 0;
    EXPECT_LT(MaxDiff(local, viewport.GetGridMatrix()), 1e-6f);
    EXPECT_FALSE(bone.MouseCreateProc(&viewport, XME_RIGHT_DOWN, XPoint(0, 0), 0));

    EXPECT_FALSE(bone.MouseCreateProc(&viewport, XME_LEFT_DOWN, XPoint(330, 230), 0));
    ExpectVertex(bone.GetPosition(), 1, 1, 0, 1e-5f);
    EXPECT_FALSE(bone.MouseCreateProc(&viewport, XME_MOVE, XPoint(350, 200), 0));
    EXPECT_NEAR(bone.GetBoneMesh()->GetHeight(), 3, 1e-5f);
    EXPECT_NEAR(bone.GetHeight(), 3, 1e-5f); // the bone saves what the drag made
    ExpectVertex(bone.GetPosition(), 1, 1, 0, 1e-5f);
    EXPECT_FALSE(bone.GetBoneMesh()->IsShapeValid(0));
    EXPECT_TRUE(bone.MouseCreateProc(&viewport, XME_LEFT_DOWN, XPoint(350, 200), 0));
    bone.MouseCreateFinish();
    EXPECT_NEAR(bone.GetHeight(), 3, 1e-5f);

    // On the XZ plane the drag's z is the length; it stays within the value bounds.
    ScriptedPlaneViewport scripted;
    scripted.SetPlaneAxis(XAXIS_XZ);
    XBone flat;
    flat.MouseCreateStart();
    flat.MouseCreateProc(&scripted, XME_LEFT_DOWN, XPoint(1, 2), 0);
    flat.MouseCreateProc(&scripted, XME_MOVE, XPoint(3, 2), 0);
    EXPECT_EQ(flat.GetHeight(), 2.0f);
    flat.MouseCreateProc(&scripted, XME_MOVE, XPoint(3, 500), 0);
    EXPECT_EQ(flat.GetHeight(), 1000.0f);
    EXPECT_TRUE(flat.MouseCreateProc(&scripted, XME_LEFT_DOWN, XPoint(3, 500), 0));
    EXPECT_EQ(scripted.axes, (std::vector<unsigned>{5, 5, 5, 7}));
}

TEST(XBoneTest, ChunkRoundTripsWithItsIndex)
{
    XBone bone;
    bone.SetInnerRadius1(0.25f);
    bone.SetHeight(3);
    bone.SetIndex(7);
    bone.SetPosition(1, 2, 3);
    const std::vector<uint8_t> bytes = ExpectRoundTrip(bone);

    XBone loaded;
    LoadObject(loaded, bytes);
    EXPECT_EQ(loaded.GetIndex(), 7u);
    EXPECT_EQ(loaded.GetBoneMesh()->GetHeight(), 3.0f);
    EXPECT_EQ(loaded.GetBoneMesh()->GetInnerRadius1(), 0.25f);
    ExpectVertex(loaded.GetPosition(), 1, 2, 3);

    // Loading into a bone with other values: what the chunk misses takes the default, and the
    // capsule ends with the bone's values also where they equal a default.
    XBone other;
    other.SetHeight(9);
    other.SetOuterRadius1(4);
    other.SetIndex(3);
    LoadObject(other, SavedBytes(
                          [](XWriter& w)
                          {
                              w.BeginChunk(0xCC310000);
                              w.WriteChunkFloat(0xCC310005, 1.0f);
                              w.EndChunk();
                          }));
    EXPECT_EQ(other.GetIndex(), 0xFFFFFFFFu);
    EXPECT_EQ(other.GetHeight(), 1.0f);
    EXPECT_EQ(other.GetBoneMesh()->GetHeight(), 1.0f);
    EXPECT_EQ(other.GetOuterRadius1(), 0.75f);
    EXPECT_EQ(other.GetBoneMesh()->GetOuterRadius1(), 0.75f);
}
