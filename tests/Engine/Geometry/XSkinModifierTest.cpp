#include "Engine/Geometry/XSkinModifier.h"

#include "Components/XVariant.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "tests/support/MathChecks.h"
#include "tests/support/MeshSceneLinkDouble.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SkinLinkDouble.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
void Fill(XMesh& mesh, const std::vector<XVertex>& points)
{
    mesh.SetVertexCount(static_cast<uint32_t>(points.size()));
    for (size_t i = 0; i < points.size(); ++i)
        mesh.GetVertices()[i] = points[i];
}

// Records the messages its reference brings.
class Holder : public XRefManager
{
public:
    void Notification(XRefManager*, unsigned message, uintptr_t) override { messages.push_back(message); }
    std::vector<unsigned> messages;
};

struct Weight
{
    float w0, w1, w2;
    uint8_t i0, i1, i2;
};

void ExpectWeight(const XVertexWeight& got, const Weight& want)
{
    EXPECT_NEAR(got.weight[0], want.w0, 1e-5f);
    EXPECT_NEAR(got.weight[1], want.w1, 1e-5f);
    EXPECT_NEAR(got.weight[2], want.w2, 1e-5f);
    EXPECT_EQ(got.index[0], want.i0);
    EXPECT_EQ(got.index[1], want.i1);
    EXPECT_EQ(got.index[2], want.i2);
    EXPECT_EQ(got.index[3], 0);
}
} // namespace

// Bones of the default capsule (inner 0.5, outer 0.75, length 1 along z) unless said otherwise.
// The skinned node stands at x = 5 and so does the skeleton: mesh points are near the bones
// only when the capsules are carried into the mesh's space. Positions are given in the mesh's
// space and set before the tree is built (joining a parent keeps the world placement).
TEST(XSkinModifierTest, WeightsFromTheCapsules)
{
    XMeshNode node;
    node.SetPosition(5, 0, 0);
    XBone root, second, third, fourth, zero, afterZero, unnumbered;
    XMeshNode notABone;
    auto place = [](XMeshNode& n, float x, float z) { n.SetPosition(5 + x, 0, z); };
    place(root, 0, 0);
    place(second, 0.625f, 0);
    place(notABone, 0, 0);
    // Two thin capsules from z = 0.4 to 0.6, reaching 0.2 around.
    for (XBone* thin : {&third, &fourth})
    {
        place(*thin, 0, 0.4f);
        thin->SetHeight(0.2f);
        thin->SetInnerRadius1(0.1f);
        thin->SetInnerRadius2(0.1f);
        thin->SetOuterRadius1(0.2f);
        thin->SetOuterRadius2(0.2f);
    }
    place(zero, 15, 0);
    place(afterZero, 15.625f, 0);
    place(unnumbered, 25, 0);
    root.AddChild(&second);
    notABone.AddChild(&third); // still weighed: the list is every descendant
    root.AddChild(&notABone);
    root.AddChild(&fourth);
    root.AddChild(&zero);
    root.AddChild(&afterZero);
    root.AddChild(&unnumbered);
    root.SetupIndexes(1);
    EXPECT_EQ(fourth.GetIndex(), 3u);
    third.SetIndex(7);
    zero.SetIndex(0);
    afterZero.SetIndex(9);
    unnumbered.SetIndex(0xFFFFFFFF);

    struct Case
    {
        const char* what;
        XVertex point;
        Weight weight;
    };
    const Case cases[] = {
        {"outside every capsule", XVertex(10, 10, 10), {1, 0, 0, 0, 0, 0}},
        {"inside the root only", XVertex(-0.4f, 0, 0.5f), {1, 0, 0, 1, 0, 0}},
        {"half way out at end 1 of the root only", XVertex(-0.625f, 0, 0), {1, 0, 0, 1, 0, 0}},
        // Root 1, second (0.75 - 0.625) / 0.25 = 0.5.
        {"between two bones", XVertex(0, 0, 0.9f), {2.0f / 3, 1.0f / 3, 0, 1, 2, 0}},
        // Root 1, second (0.75 - 0.575) / 0.25 = 0.7, third 1; the fourth is dropped.
        {"four capsules: the first three win",
         XVertex(0.05f, 0, 0.5f),
         {1 / 2.7f, 0.7f / 2.7f, 1 / 2.7f, 1, 2, 7}},
        // The bone numbered 0 fills slot 0 but leaves it free: the next bone takes it over.
        {"a bone numbered 0 leaves its slot free", XVertex(15, 0, 0.5f), {1, 0, 0, 9, 0, 0}},
        {"an unnumbered bone is left out", XVertex(25, 0, 0.5f), {1, 0, 0, 0, 0, 0}},
    };
    std::vector<XVertex> points;
    for (const Case& c : cases)
        points.push_back(c.point);
    XMesh mesh;
    Fill(mesh, points);

    XSkinModifier skin;
    // Nothing without AutoUpdate, a bone, a node or a mesh.
    skin.ApplyTo(0, nullptr, &node, nullptr, &mesh);
    skin.SetAutoUpdate(true);
    skin.ApplyTo(0, nullptr, &node, nullptr, &mesh);
    skin.SetBone(&root);
    skin.ApplyTo(0, nullptr, nullptr, nullptr, &mesh);
    skin.ApplyTo(0, nullptr, &node, nullptr, nullptr);
    EXPECT_FALSE(mesh.GetWeightsEnabled());

    // Weights come from frame 0 whatever the frame.
    skin.ApplyTo(7, nullptr, &node, nullptr, &mesh);
    ASSERT_TRUE(mesh.GetWeightsEnabled());
    ASSERT_EQ(mesh.GetWeightCount(), points.size());
    EXPECT_FALSE(mesh.GetColorsEnabled());
    for (size_t i = 0; i < points.size(); ++i)
    {
        SCOPED_TRACE(cases[i].what);
        ExpectWeight(mesh.GetWeights()[i], cases[i].weight);
    }
}

TEST(XSkinModifierTest, PaintsVerticesByBone)
{
    XMeshNode node;
    XBone red, blue;
    red.SetColor(0xFFFF0000);
    blue.SetColor(0xFF0000FF);
    red.AddChild(&blue);
    blue.SetPosition(0.625f, 0, 0); // the vertex is half way out of it: weight 0.5
    red.SetupIndexes(1);
    XBone white;
    white.SetColor(0xFFFFFFFF);
    white.SetPosition(10, 0, 0);
    red.AddChild(&white);
    white.SetIndex(3);

    XMesh mesh;
    Fill(mesh, {XVertex(0, 0, 0.5f), XVertex(10, 0, 0.5f), XVertex(-5, 0, 0)});
    mesh.SetColorsEnabled(true);
    mesh.GetColors()[2] = 0xFFFFFFFFu; // painting starts from black
    XSkinModifier skin;
    skin.SetBone(&red);
    skin.SetAutoUpdate(true);
    skin.SetPaintMesh(true);
    skin.ApplyTo(0, nullptr, &node, nullptr, &mesh);
    ASSERT_EQ(mesh.GetColorCount(), 3u);
    // Red at weight 1: every channel (0 + 255 x 1) / 2; then blue at 0.5: (old + 127) / 2.
    EXPECT_EQ(mesh.GetColors()[0].GetARGB(), 0x7F3F003Fu);
    EXPECT_EQ(mesh.GetColors()[1].GetARGB(), 0x7F7F7F7Fu);
    EXPECT_EQ(mesh.GetColors()[2].GetARGB(), 0u);
    ExpectWeight(mesh.GetWeights()[0], {1.0f / 1.5f, 0.5f / 1.5f, 0, 1, 2, 0});
}

TEST(XSkinModifierTest, BlendsOnTheDeviceOnlyAwayFromFrameZero)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;

    // A two-bone arm bent at the elbow by frame 5, skinning a triangle mesh drawn by its node.
    XBone upper, fore;
    upper.AddChild(&fore);
    fore.SetPosition(0, 0, 1);
    auto* bend = new XAnimation;
    bend->AddRotationKey(5, XVertex(1.5707964f, 0, 0));
    fore.AddAnimation(bend);
    fore.SetAnimation(bend);
    upper.SetupIndexes(1);

    auto* skin = new XSkinModifier;
    skin->SetBone(&upper);
    skin->SetAutoUpdate(true);
    auto* arm = new XTriMesh;
    XMesh& source = *arm->GetMesh();
    source.SetVertexCount(2);
    source.GetVertices()[0] = XVertex(0, 0, 0.25f);
    source.GetVertices()[1] = XVertex(0, 0, 2);
    source.GetFaceArray().Add(XFace(0, 1, 1));
    arm->AddModifier(skin);
    XMeshNode node;
    node.SetMesh(arm);

    auto blendCalls = [&]
    {
        std::vector<std::string> out;
        for (const std::string& t : d3d.Texts())
            // The bone matrices 257 and up; 256 is the world matrix of the mesh's own drawing.
            if (t.rfind("SetRenderState(167,", 0) == 0 || t.rfind("SetRenderState(151,", 0) == 0 ||
                (t.rfind("SetTransform(25", 0) == 0 && t.rfind("SetTransform(256,", 0) != 0))
                out.push_back(t[3] == 'T' ? t.substr(0, t.find(',') + 3) : t);
        return out;
    };
    d3d.Clear();
    node.Render(0, &viewport, 0);
    EXPECT_TRUE(blendCalls().empty());
    // The derived mesh is weighed, the source untouched.
    XMesh* derived = arm->GetMesh(0, &viewport, &node);
    ASSERT_EQ(derived->GetWeightCount(), 2u);
    EXPECT_EQ(derived->GetWeights()[0].index[0], 1);
    EXPECT_EQ(derived->GetWeights()[1].index[0], 2);
    EXPECT_FALSE(source.GetWeightsEnabled());

    d3d.Clear();
    node.Render(5, &viewport, 0);
    EXPECT_EQ(blendCalls(), (std::vector<std::string>{"SetRenderState(167, 1)", "SetRenderState(151, 3)",
                                                      "SetTransform(257, [", "SetTransform(258, [",
                                                      "SetRenderState(167, 0)", "SetRenderState(151, 0)"}));
    D3DMATRIX fore5;
    d3d.device->GetTransform(D3DTS_WORLDMATRIX(2), &fore5);
    XMatrix w;
    std::memcpy(&w, &fore5, sizeof w);
    ExpectVertex(Apply(w, source.GetVertices()[1]), 0, -1, 1, 1e-5f);
    DWORD state = 7;
    d3d.device->GetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, &state);
    EXPECT_EQ(state, 0u);

    // Without a bone nothing is switched at any frame.
    skin->SetBone(nullptr);
    d3d.Clear();
    node.Render(5, &viewport, 0);
    EXPECT_TRUE(blendCalls().empty());
}

TEST(XSkinModifierTest, FlagsNotifyTheMeshesThatUseIt)
{
    XSkinModifier skin;
    EXPECT_EQ(skin.GetName(), u"SkinModifier");
    EXPECT_EQ(skin.GetClassId(), 0xCC2F0000u);
    EXPECT_EQ(SkinModifierDesc.GetClassNameW(), u"XSkinModifier");
    EXPECT_EQ(SkinModifierDesc.GetCategory(), 0x10000000u);
    EXPECT_TRUE(skin.Editable());
    EXPECT_EQ(FieldList(skin), (std::vector<std::u16string>{u"AutoUpdate:bool", u"PaintMesh:bool"}));

    Holder holder;
    XReference<XSkinModifier> reference(&holder, &skin);
    skin.SetAutoUpdate(true);
    skin.SetAutoUpdate(true);
    skin.SetAutoUpdate(false); // switching off keeps the weights: no rebuild
    skin.SetPaintMesh(true);
    skin.SetPaintMesh(false);
    EXPECT_EQ(holder.messages,
              (std::vector<unsigned>{XRM_MODIFIER_CHANGED, XRM_MODIFIER_CHANGED, XRM_MODIFIER_CHANGED}));

    // The fields go through the setters.
    XPtrArray<XObjectField, 16> fields;
    skin.EnumerateFields(fields);
    VarUtils::XVariant on;
    on = true;
    fields[fields.GetCount() - 2]->SetValue(&skin, on);
    EXPECT_TRUE(skin.GetAutoUpdate());
    EXPECT_EQ(holder.messages.size(), 4u);
}

TEST(XSkinModifierTest, ChunkRoundTripsAndFindsItsBoneAgain)
{
    SceneLinkDouble scene;
    XBone bone;
    bone.SetGuid(XGuid(0x11111111, 2, 3, 4, 5));
    bone.SetScene(FakeScene());
    XMeshNode notABone;
    notABone.SetGuid(XGuid(0x22222222, 2, 3, 4, 5));
    notABone.SetScene(FakeScene());

    XSkinModifier skin;
    skin.SetBone(&bone);
    skin.SetAutoUpdate(true);
    skin.SetPaintMesh(true);
    const std::vector<uint8_t> bytes = SavedObject(skin);
    auto loadInScene = [](XSkinModifier& target, const std::vector<uint8_t>& data)
    { LoadEachChunk(data, [&](XReader& r) { target.Load(FakeScene(), r); }); };
    XSkinModifier loaded;
    loadInScene(loaded, bytes);
    EXPECT_EQ(loaded.GetBone(), &bone);
    EXPECT_TRUE(loaded.GetAutoUpdate());
    EXPECT_TRUE(loaded.GetPaintMesh());
    EXPECT_EQ(SavedObject(loaded), bytes);
    // Without a scene the bone is not looked up.
    XSkinModifier sceneless;
    LoadObject(sceneless, bytes);
    EXPECT_EQ(sceneless.GetBone(), nullptr);
    EXPECT_TRUE(sceneless.GetAutoUpdate());

    // Every cut of the bytes ends cleanly.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        XSkinModifier target;
        try
        {
            loadInScene(target, std::vector<uint8_t>(bytes.begin(),
                                                     bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        }
        catch (const XException&)
        {
        }
    }

    // A chunk clears what it does not hold; a GUID that names no bone leaves none.
    LoadEachChunk(SavedBytes(
                      [&](XWriter& w)
                      {
                          w.BeginChunk(0xCC2F0000);
                          w.WriteChunk(0xCC2F0001, &notABone.GetGuid(), sizeof(XGuid));
                          w.EndChunk();
                      }),
                  [&](XReader& r) { loaded.Load(FakeScene(), r); });
    EXPECT_EQ(loaded.GetBone(), nullptr);
    EXPECT_FALSE(loaded.GetAutoUpdate());
    EXPECT_FALSE(loaded.GetPaintMesh());

    bone.SetScene(nullptr);
    notABone.SetScene(nullptr);
}

TEST(XSkinModifierTest, LetsGoOfItsBone)
{
    XSkinModifier skin;
    {
        XBone bone;
        skin.SetBone(&bone);
        bone.NotifyDependents(XRM_RELEASED, 0);
        EXPECT_EQ(skin.GetBone(), nullptr);
        skin.SetBone(&bone);
        EXPECT_EQ(bone.GetReferenceCount(), 1u);
    }
    EXPECT_EQ(skin.GetBone(), nullptr); // the bone was deleted

    // A modifier going away leaves nothing behind in its bone.
    XBone bone;
    {
        XSkinModifier gone;
        gone.SetBone(&bone);
    }
    EXPECT_EQ(bone.GetReferenceCount(), 0u);
}

TEST(XSkinModifierTest, EditPushesTheSkinEditor)
{
    SkinLinkDouble link;
    XSkinModifier skin;
    XMeshNode node;
    XTriMesh mesh;
    skin.Edit(FakeScene(), &node, &mesh, nullptr);
    skin.Edit(FakeScene(), &node, nullptr, nullptr); // found again, with no mesh to bind
    EXPECT_EQ(link.calls, (std::vector<std::string>{"Create skin", "Add XSkinEditor", "Bind",
                                                    "Push XSkinEditor", "Bind", "Push XSkinEditor"}));
    ASSERT_EQ(link.bindings.size(), 2u);
    EXPECT_EQ(link.bindings[0].editor, link.made[0]);
    EXPECT_EQ(link.bindings[0].mesh, &mesh);
    EXPECT_EQ(link.bindings[0].node, &node);
    EXPECT_EQ(link.bindings[0].modifier, &skin);
    EXPECT_EQ(link.bindings[1].editor, link.made[0]);
    EXPECT_EQ(link.bindings[1].mesh, nullptr);

    // An editor of that name that is not a skin editor is not used.
    SkinLinkDouble other;
    other.AddEditor(FakeScene(), new RecordingEditor(FakeScene(), u"XSkinEditor"));
    other.calls.clear();
    skin.Edit(FakeScene(), &node, &mesh, nullptr);
    EXPECT_EQ(other.calls,
              (std::vector<std::string>{"Create skin", "Add XSkinEditor", "Bind", "Push XSkinEditor"}));
}
