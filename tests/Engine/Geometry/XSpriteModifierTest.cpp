#include "Engine/Geometry/XSpriteModifier.h"

#include "Components/XVariant.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XObjectField.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MathChecks.h"
#include "tests/support/MeshSceneLinkDouble.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace
{
// Records its begin and end calls, and the vertex-colour state the sprite left for it.
class RecordingMaterial : public XBaseMaterial
{
public:
    explicit RecordingMaterial(IDirect3DDevice9* d) : device(d) {}
    void BeforeRender(unsigned, XViewport*) override
    {
        DWORD colorVertex = 7;
        device->GetRenderState(D3DRS_COLORVERTEX, &colorVertex);
        calls.push_back("begin " + std::to_string(colorVertex));
    }
    void AfterRender(unsigned, XViewport*) override { calls.push_back("end"); }
    IDirect3DDevice9* device;
    std::vector<std::string> calls;
};

// A scene whose material slot 2 holds the material; records the last slot asked for.
class MaterialLink : public MeshSceneLinkDouble
{
public:
    XBaseMaterial* GetMaterial(XScene*, uint32_t index) override
    {
        asked = index;
        return index == 2 ? material : nullptr;
    }
    RecordingMaterial* material = nullptr;
    uint32_t asked = 0;
};

// The texture rocking angle in degrees (with the modifier's 3.14 for pi), from the stage-0
// texture transform.
float RockingAngle(IDirect3DDevice9* device)
{
    D3DMATRIX m;
    device->GetTransform(D3DTS_TEXTURE0, &m);
    return std::atan2(m._12, m._11) * 180 / 3.14f;
}

std::vector<uint8_t> Saved(XSpriteModifier& m)
{
    return SavedBytes([&](XWriter& w) { m.Save(nullptr, w); });
}

void LoadChunks(XSpriteModifier& m, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { m.Load(nullptr, r); });
}
} // namespace

TEST(XSpriteModifierTest, SizeIsClampedEverywhere)
{
    XSpriteModifier m;
    EXPECT_EQ(m.GetClassId(), 0xCC400000u);
    EXPECT_EQ(m.GetClassNameW(), u"XSpriteModifier");
    EXPECT_EQ(m.GetName(), u"SpriteModifier");
    EXPECT_EQ(SpriteModifierDesc.GetClassNameW(), u"XSpriteModifier");
    EXPECT_EQ(SpriteModifierDesc.GetCategory(), 0x10000000u);
    EXPECT_FALSE(m.Editable());
    EXPECT_EQ(m.GetSize(), 0.1f);

    XPtrArray<XObjectField, 16> fields;
    m.EnumerateFields(fields);
    ASSERT_GE(fields.GetCount(), 1u);
    const XObjectField* size = fields.GetData()[fields.GetCount() - 1];
    EXPECT_EQ(size->GetName(), u"Size");
    EXPECT_EQ(size->GetTypeName(), u"float");

    struct Case
    {
        float value;
        float expect;
    };
    const Case cases[] = {
        {0, 0.01f}, {5000, 1000}, {0.5f, 0.5f}, {-3, 0.01f}, {std::numeric_limits<float>::quiet_NaN(), 0.01f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.value);
        m.SetSize(c.value);
        EXPECT_EQ(m.GetSize(), c.expect);

        // Through the field, and through a saved chunk (with the base's chunks before it).
        XSpriteModifier viaField;
        VarUtils::XVariant value;
        value = c.value;
        EXPECT_TRUE(size->SetValue(&viaField, value));
        EXPECT_EQ(viaField.GetSize(), c.expect);
        VarUtils::XVariant out;
        EXPECT_TRUE(size->GetValue(&viaField, out));
        EXPECT_FLOAT_EQ(static_cast<float>(out.AsDouble()), c.expect);

        XSpriteModifier loaded;
        loaded.SetSize(7);
        const auto bytes = SavedBytes(
            [&](XWriter& w)
            {
                w.BeginChunk(0xCC400000);
                w.WriteChunkFloat(0xCC400001, c.value);
                w.EndChunk();
            });
        LoadChunks(loaded, bytes);
        EXPECT_EQ(loaded.GetSize(), c.expect);
    }

    // A chunk without the size gives the default; a saved size comes back.
    XSpriteModifier bare;
    bare.SetSize(3);
    LoadChunks(bare, SavedBytes(
                         [](XWriter& w)
                         {
                             w.BeginChunk(0xCC400000);
                             w.EndChunk();
                         }));
    EXPECT_EQ(bare.GetSize(), 0.1f);
    XSpriteModifier source;
    source.SetSize(2.5f);
    XSpriteModifier copy;
    LoadChunks(copy, Saved(source));
    EXPECT_EQ(copy.GetSize(), 2.5f);
}

TEST(XSpriteModifierTest, DrawsOneFacingSquarePerVertex)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ManualClock clock(100000);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    viewport.lighting = false;
    XMatrix camera(1.0f);
    camera.SetRotationY(0.7f);
    camera.Translate(1, 2, -9);
    viewport.SetCameraWorld(camera);

    XMesh mesh;
    const XVertex points[] = {XVertex(0, 0, 0), XVertex(1, 2, 3), XVertex(-4, 0, 1)};
    for (const XVertex& p : points)
        mesh.AddVertex(p, XColor(0u));
    XMeshNode node;
    node.SetColor(0xFF336699u);
    XMatrix turn(1.0f);
    turn.SetRotationZ(0.5f);
    turn.Translate(5, 0, 0);
    node.SetMatrix(turn);
    XSpriteModifier sprite;
    sprite.SetSize(4);

    d3d.device->BeginScene();
    d3d.Clear();
    sprite.BeforeMeshRender(0, &viewport, &node, nullptr, &mesh, 0);
    const std::vector<std::string> texts = d3d.Texts();
    d3d.device->EndScene();
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(texts[0], "SetRenderState(141, 1)"); // no material: vertex colours
    EXPECT_EQ(texts[1], "SetRenderState(145, 1)"); // as the lit diffuse
    EXPECT_EQ(texts[2], "SetRenderState(8, 3)");   // filled
    EXPECT_EQ(texts[3], "SetStreamSource(0, null, 0, 36)");
    EXPECT_EQ(texts[4], "SetFVF(338)");
    EXPECT_EQ(texts[5], "SetTextureStageState(0, 24, 2)");
    EXPECT_EQ(texts[6].rfind("SetTransform(16, ", 0), 0u);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(texts[7 + 2 * i].rfind("SetTransform(256, ", 0), 0u);
        EXPECT_EQ(texts[8 + 2 * i], "DrawPrimitiveUP(4, 2, 36)");
    }
    EXPECT_EQ(texts[13], "SetRenderState(137, 0)");
    EXPECT_EQ(texts[14], "SetTextureStageState(0, 24, 0)");

    // The square: half the size each way, facing -z, in the node's colour.
    const std::vector<uint8_t>& quad = d3d.Log()[8].vertices;
    ASSERT_EQ(quad.size(), 6u * 36);
    const float expect[6][2] = {{-2, 2}, {2, 2}, {2, -2}, {2, -2}, {-2, -2}, {-2, 2}};
    for (int k = 0; k < 6; ++k)
    {
        float f[9];
        std::memcpy(f, quad.data() + 36 * k, 36);
        EXPECT_EQ(f[0], expect[k][0]);
        EXPECT_EQ(f[1], expect[k][1]);
        EXPECT_EQ(f[5], -1.0f);
        uint32_t color;
        std::memcpy(&color, quad.data() + 36 * k + 24, 4);
        EXPECT_EQ(color, 0xFF336699u);
    }

    // The last world matrix: turned to the camera (world x view has no rotation left) and placed
    // at the node's origin plus the vertex as it stands.
    D3DMATRIX world;
    d3d.device->GetTransform(D3DTS_WORLD, &world);
    XMatrix w;
    std::memcpy(&w, &world, sizeof(w));
    const XMatrix toView = w * viewport.view;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(toView.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f) << r << c;
    ExpectVertex(XVertex(w.m[3][0], w.m[3][1], w.m[3][2]), 5 - 4, 0, 1, 1e-5f);

    // The texture turns about z: translation (0.5, 0.5, 0.5), rotation, translation back, in
    // that order, which leaves (-0.5, -0.5, -0.5) in place.
    D3DMATRIX texture;
    d3d.device->GetTransform(D3DTS_TEXTURE0, &texture);
    XMatrix t;
    std::memcpy(&t, &texture, sizeof(t));
    ExpectVertex(Apply(t, XVertex(-0.5f, -0.5f, -0.5f)), -0.5f, -0.5f, -0.5f, 1e-6f);
    EXPECT_EQ(t.m[2][2], 1.0f);
    EXPECT_FLOAT_EQ(t.m[0][0] * t.m[0][0] + t.m[0][1] * t.m[0][1], 1.0f);

    // No vertices (or no device): nothing at all.
    XMesh empty;
    d3d.Clear();
    sprite.BeforeMeshRender(0, &viewport, &node, nullptr, &empty, 0);
    viewport.device = nullptr;
    sprite.BeforeMeshRender(0, &viewport, &node, nullptr, &mesh, 0);
    EXPECT_TRUE(d3d.Texts().empty());
}

TEST(XSpriteModifierTest, MaterialOfTheNodesSceneWrapsTheDraws)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ManualClock clock;
    ViewportDouble viewport;
    viewport.device = d3d.device;
    RecordingMaterial material(d3d.device);
    MaterialLink link;
    link.material = &material;

    XMesh mesh;
    mesh.AddVertex(XVertex(0, 0, 0), XColor(0u));
    mesh.AddVertex(XVertex(1, 0, 0), XColor(0u));
    XMeshNode node;
    XSpriteModifier sprite;

    struct Case
    {
        bool inScene;
        uint32_t slot;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {true, 2, {"begin 0", "end"}},
        {true, 5, {}},  // an empty slot: the node's colour
        {false, 2, {}}, // outside a scene no material is looked up
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.slot);
        node.SetScene(c.inScene ? FakeScene() : nullptr);
        node.SetMaterial(c.slot);
        material.calls.clear();
        d3d.Clear();
        sprite.BeforeMeshRender(0, &viewport, &node, nullptr, &mesh, 0);
        EXPECT_EQ(material.calls, c.calls);
        const std::vector<std::string> texts = d3d.Texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0], c.calls.empty() ? "SetRenderState(141, 1)" : "SetRenderState(141, 0)");
        int draws = 0;
        for (const std::string& t : texts)
            draws += t == "DrawPrimitiveUP(4, 2, 36)";
        EXPECT_EQ(draws, 2);
        EXPECT_EQ(texts[texts.size() - 2], "SetRenderState(137, 1)");
    }
    EXPECT_EQ(link.asked, 5u);
    node.SetScene(nullptr);
}

TEST(XSpriteModifierTest, LitSquaresAreFilledInTheNodeColourWhateverWasDrawnBefore)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ManualClock clock;
    ViewportDouble viewport;
    viewport.device = d3d.device;
    // Earlier draws behind the camera: an icon lit in its material's diffuse, a mesh's vertex
    // points and its wireframe, each leaving its fill mode.
    XPointLight light;
    light.SetColor(0xFFFFFF00u);
    light.SetPosition(0, 0, -20);
    XMesh behind;
    behind.AddVertex(XVertex(0, 0, -20), XColor(0u));
    behind.AddVertex(XVertex(1, 0, -20), XColor(0u));
    behind.AddVertex(XVertex(0, 1, -20), XColor(0u));
    behind.AddFace(XFace(0, 1, 2, 0));
    struct Earlier
    {
        const char* name;
        std::function<void()> draw;
    };
    const Earlier earlier[] = {
        {"nothing", [] {}},
        {"a light's icon", [&] { light.Render(0, &viewport, 0); }},
        {"a mesh's vertices", [&] { behind.DrawPoints(0, &viewport, nullptr, 0); }},
        {"a mesh's wireframe", [&] { behind.Draw(0, &viewport, nullptr, 1); }},
    };

    // One square of 2 units at z = 5, facing the camera: pixels 20-43 across and 16-47 down.
    XMesh mesh;
    mesh.AddVertex(XVertex(0, 0, 5), XColor(0u));
    XMeshNode node;
    node.SetColor(0xFF336699u);
    XSpriteModifier sprite;
    sprite.SetSize(2);
    for (const Earlier& e : earlier)
    {
        SCOPED_TRACE(e.name);
        IDirect3DDevice9* device = d3d.device;
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020u, 1.0f, 0);
        device->BeginScene();
        viewport.LightStraightOn();
        e.draw();
        sprite.BeforeMeshRender(0, &viewport, &node, nullptr, &mesh, 0);
        device->EndScene();
        const std::vector<uint32_t> pixels = d3d.BackBuffer();
        ASSERT_EQ(pixels.size(), 64u * 64);
        // Inside each triangle, off the edges.
        for (size_t at : {24 * 64 + 38, 40 * 64 + 26})
        {
            const uint32_t p = pixels[at];
            const int rgb[3] = {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
            EXPECT_TRUE(std::abs(rgb[0] - 0x33) <= 2 && std::abs(rgb[1] - 0x66) <= 2 &&
                        std::abs(rgb[2] - 0x99) <= 2)
                << std::hex << (p & 0xFFFFFF) << " at " << std::dec << at;
        }
    }
}

TEST(XSpriteModifierTest, RockingAdvancesAtMostOncePerFiftyTicks)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ManualClock clock(5000000);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    XMesh mesh;
    mesh.AddVertex(XVertex(0, 0, 0), XColor(0u));
    XSpriteModifier first, second;
    auto draw = [&](XSpriteModifier& s)
    {
        s.BeforeMeshRender(0, &viewport, nullptr, nullptr, &mesh, 0);
        return RockingAngle(d3d.device);
    };

    float angle = draw(first);
    struct Step
    {
        DWORD advance;
        bool moves;
    };
    const Step steps[] = {{0, false}, {50, false}, {1, true}, {10, false}, {51, true}, {200, true}};
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.advance);
        clock.Advance(s.advance);
        // Two sprite meshes in one frame share one advance.
        const float a = draw(first);
        const float b = draw(second);
        EXPECT_NEAR(a, b, 1e-4f);
        EXPECT_NEAR(std::fabs(a - angle), s.moves ? 1.0f : 0.0f, 1e-3f);
        angle = a;
    }

    // It swings between -5 and +5 degrees, one degree per step.
    float low = angle, high = angle;
    for (int i = 0; i < 40; ++i)
    {
        clock.Advance(51);
        const float a = draw(first);
        EXPECT_NEAR(std::fabs(a - angle), 1.0f, 1e-3f);
        angle = a;
        low = std::fmin(low, a);
        high = std::fmax(high, a);
    }
    EXPECT_NEAR(low, -5.0f, 1e-3f);
    EXPECT_NEAR(high, 5.0f, 1e-3f);
}
