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

#include <algorithm>
#include <cmath>
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

namespace
{
// The back buffer as 0x00RRGGBB, row by row.
std::vector<uint32_t> BackBuffer(IDirect3DDevice9* device, int& width, int& height)
{
    std::vector<uint32_t> out;
    IDirect3DSurface9* back = nullptr;
    if (device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back) != D3D_OK)
        return out;
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    D3DLOCKED_RECT locked{};
    if (back->LockRect(&locked, nullptr, 0) == D3D_OK)
    {
        width = static_cast<int>(desc.Width);
        height = static_cast<int>(desc.Height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out.push_back(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                y * locked.Pitch)[x] &
                              0xFFFFFF);
        back->UnlockRect();
    }
    back->Release();
    return out;
}

struct ScreenTriangle
{
    float x[3], y[3];
};

// How far (in pixels) the point lies inside the triangle: the least distance to its edges,
// negative outside. A triangle of no area holds nothing.
float Inside(const ScreenTriangle& t, float px, float py)
{
    const float area = (t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) - (t.y[1] - t.y[0]) * (t.x[2] - t.x[0]);
    if (std::fabs(area) < 1e-6f)
        return -1e9f;
    const float sign = area > 0 ? 1.0f : -1.0f;
    float least = 1e9f;
    for (int e = 0; e < 3; ++e)
    {
        const int a = e, b = (e + 1) % 3;
        const float ex = t.x[b] - t.x[a], ey = t.y[b] - t.y[a];
        const float d = sign * (ex * (py - t.y[a]) - ey * (px - t.x[a])) / std::sqrt(ex * ex + ey * ey);
        least = std::min(least, d);
    }
    return least;
}
} // namespace

// The arm of the test above as a ribbon 0.4 wide along the two bones, plus a triangle below the
// upper bone that no capsule reaches. Drawn through the software device, every pixel well inside
// a triangle through the expected skinned corners is lit and every pixel well outside all of them
// stays black. The expected corners blend the test's own bone matrices by the mesh's weights; an
// arm whose skin never weighed it is drawn unblended at every frame.
TEST(XSkinModifierTest, BentArmIsDrawnWhereTheBlendedBoneMatricesPutIt)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    XBone upper, fore;
    upper.AddChild(&fore);
    fore.SetPosition(0, 0, 1);
    auto* bend = new XAnimation;
    bend->AddRotationKey(5, XVertex(1.5707964f, 0, 0));
    fore.AddAnimation(bend);
    fore.SetAnimation(bend);
    upper.SetupIndexes(1);

    std::vector<XVertex> points;
    for (int i = 0; i <= 4; ++i)
    {
        points.emplace_back(0, -0.2f, 0.5f * static_cast<float>(i));
        points.emplace_back(0, 0.2f, 0.5f * static_cast<float>(i));
    }
    points.emplace_back(0, -0.3f, -1.3f);
    points.emplace_back(0, 0.3f, -1.3f);
    points.emplace_back(0, 0, -0.8f);
    XMeshNode nodes[2];
    XTriMesh* arms[2];
    for (int a = 0; a < 2; ++a)
    {
        auto* skin = new XSkinModifier;
        skin->SetBone(&upper);
        skin->SetAutoUpdate(a == 0);
        arms[a] = new XTriMesh;
        XMesh& source = *arms[a]->GetMesh();
        Fill(source, points);
        for (uint32_t i = 0; i < 4; ++i)
        {
            source.GetFaceArray().Add(XFace(2 * i, 2 * i + 1, 2 * i + 2));
            source.GetFaceArray().Add(XFace(2 * i + 1, 2 * i + 3, 2 * i + 2));
        }
        source.GetFaceArray().Add(XFace(10, 11, 12));
        arms[a]->AddModifier(skin);
        nodes[a].SetMesh(arms[a]);
    }

    // Orthographic 4 x 4 units on the 64 x 64 buffer (16 pixels a unit), looking along +x at the
    // y-z plane the arm bends in.
    ViewportDouble viewport;
    viewport.device = d3d.device;
    viewport.width = viewport.height = 64;
    viewport.SetOrthographic(4, 4, 1, 100);
    XMatrix camera(1.0f);
    camera.m[0][0] = 0, camera.m[0][2] = -1; // right: -z
    camera.m[2][0] = 1, camera.m[2][2] = 0;  // forward: +x
    camera.m[3][0] = -10, camera.m[3][1] = -0.4f, camera.m[3][2] = 0.4f;
    viewport.SetCameraWorld(camera);
    IDirect3DDevice9* device = d3d.device;
    device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&viewport.view));
    device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&viewport.projection));
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const XMatrix toScreen = viewport.view * viewport.projection;
    // A blend matrix no bone of this skeleton loads, as another skeleton's draw would leave it.
    XMatrix stray(1.0f);
    stray.SetTranslation(0, 0.5f, -0.5f);
    device->SetTransform(D3DTS_WORLDMATRIX(3), reinterpret_cast<const D3DMATRIX*>(&stray));

    // The blend matrices: the node's own (0) and the upper bone's (1) stay put; the forearm's (2)
    // turns a quarter about x through the elbow at frame 5, taking +z to -y.
    auto moved = [](unsigned frame, unsigned index, const XVertex& p)
    {
        if (frame == 0 || index != 2)
            return p;
        return XVertex(p.x, 1 - p.z, p.y + 1);
    };

    struct Case
    {
        int arm;
        unsigned frame;
    };
    for (const Case& c : {Case{0, 0}, Case{0, 5}, Case{1, 5}})
    {
        SCOPED_TRACE("arm " + std::to_string(c.arm) + " frame " + std::to_string(c.frame));
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        nodes[c.arm].Render(c.frame, &viewport, 2);
        device->EndScene();
        int width = 0, height = 0;
        const std::vector<uint32_t> pixels = BackBuffer(device, width, height);
        ASSERT_EQ(width, 64);
        ASSERT_EQ(height, 64);
        DWORD state = 7;
        device->GetRenderState(D3DRS_VERTEXBLEND, &state);
        EXPECT_EQ(state, static_cast<DWORD>(D3DVBF_DISABLE));

        const XMesh* derived = arms[c.arm]->GetMesh(c.frame, &viewport, &nodes[c.arm]);
        ASSERT_EQ(derived->GetWeightsEnabled(), c.arm == 0);
        std::vector<XVertex> screen;
        unsigned blended = 0;
        for (uint32_t v = 0; v < derived->GetVertexCount(); ++v)
        {
            const XVertex& p = derived->GetVertices()[v];
            XVertex at = p;
            if (derived->GetWeightsEnabled())
            {
                const XVertexWeight& w = derived->GetWeights()[v];
                ASSERT_NEAR(w.weight[0] + w.weight[1] + w.weight[2], 1.0f, 1e-5f);
                at = XVertex(0, 0, 0);
                for (int k = 0; k < 3; ++k)
                {
                    ASSERT_LE(w.index[k], 2);
                    at = at + moved(c.frame, w.index[k], p) * w.weight[k];
                }
                blended += (w.weight[0] > 0 && w.weight[0] < 1) ? 1 : 0;
            }
            const XVertex ndc = Apply(toScreen, at);
            screen.emplace_back((ndc.x + 1) * 32, (1 - ndc.y) * 32, 0);
        }
        if (c.arm == 0)
        {
            // The ribbon's middle rows are shared between the bones; the lone triangle follows
            // the node's own matrix.
            EXPECT_GE(blended, 4u);
            EXPECT_EQ(derived->GetWeights()[12].index[0], 0);
            EXPECT_EQ(derived->GetWeights()[12].weight[0], 1.0f);
        }

        std::vector<ScreenTriangle> triangles;
        for (uint32_t f = 0; f < derived->GetFaceCount(); ++f)
        {
            ScreenTriangle t;
            for (int k = 0; k < 3; ++k)
            {
                t.x[k] = screen[derived->GetFaces()[f].v[k]].x;
                t.y[k] = screen[derived->GetFaces()[f].v[k]].y;
            }
            triangles.push_back(t);
        }
        int lit = 0, dark = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
            {
                float inside = -1e9f;
                for (const ScreenTriangle& t : triangles)
                    inside = std::max(inside, Inside(t, static_cast<float>(x), static_cast<float>(y)));
                const uint32_t pixel = pixels[static_cast<size_t>(y) * 64 + x];
                if (inside >= 0.75f)
                {
                    ++lit;
                    EXPECT_EQ(pixel, 0xFFFFFFu) << x << ", " << y;
                }
                else if (inside <= -0.75f)
                {
                    ++dark;
                    EXPECT_EQ(pixel, 0u) << x << ", " << y;
                }
            }
        EXPECT_GT(lit, 50);
        EXPECT_GT(dark, 2000);
    }
}
