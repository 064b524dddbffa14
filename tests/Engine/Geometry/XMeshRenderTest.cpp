#include "Engine/Geometry/XMesh.h"

#include "Engine/Objects/XParticleSystem.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XBaseMaterial.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/MeshSceneLinkDouble.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
// Records its begin and end calls with the frame it was given.
class RecordingMaterial : public XBaseMaterial
{
public:
    explicit RecordingMaterial(std::vector<std::string>& log, std::string name) : m_Log(log), m_Name(name) {}
    void BeforeRender(unsigned frame, XViewport*) override
    {
        m_Log.push_back("begin " + m_Name + " " + std::to_string(frame));
    }
    void AfterRender(unsigned, XViewport*) override { m_Log.push_back("end " + m_Name); }

private:
    std::vector<std::string>& m_Log;
    std::string m_Name;
};

// The scene's materials and frame as the mesh asks for them.
class MaterialLink : public MeshSceneLinkDouble
{
public:
    unsigned GetMaterialCount(XScene*) override { return static_cast<unsigned>(materials.size()); }
    XBaseMaterial* GetMaterial(XScene*, unsigned index) override { return materials.at(index); }
    unsigned GetFrame(XScene*) override { return 7; }
    std::vector<XBaseMaterial*> materials;
};

// Normals can be switched off only by loading a mesh saved without them; tests switch them directly.
class TestMesh : public XMesh
{
public:
    void SetNormalsEnabled(bool enabled) { m_NormalsEnabled = enabled; }
};

// A triangle mesh: texture vertex i = (i, 2i), normal i = (0, 0, -1), colour i = 0xFF000000 + i,
// weight i = {0.5, 0.25, 0.25; i, 1, 2, 3}; both selections sized and clear.
void Make(XMesh& mesh, const std::vector<XVertex>& positions, const std::vector<XFace>& faces)
{
    const uint32_t n = static_cast<uint32_t>(positions.size());
    mesh.SetVertexCount(n);
    mesh.SetTextureVertexCount(n);
    mesh.SetNormalCount(n);
    mesh.SetColorCount(n);
    mesh.SetWeightCount(n);
    for (uint32_t i = 0; i < n; ++i)
    {
        mesh.GetVertices()[i] = positions[i];
        mesh.GetTextureVertices()[i] = XTextureVertex(float(i), 2.0f * float(i));
        mesh.GetNormals()[i] = XVertex(0, 0, -1);
        mesh.GetColors()[i] = XColor(0xFF000000u + i);
        XVertexWeight w;
        w.weight[0] = 0.5f;
        w.weight[1] = w.weight[2] = 0.25f;
        w.index[0] = static_cast<uint8_t>(i);
        w.index[1] = 1;
        w.index[2] = 2;
        w.index[3] = 3;
        mesh.GetWeights()[i] = w;
    }
    mesh.SetFaceCount(static_cast<uint32_t>(faces.size()));
    for (size_t f = 0; f < faces.size(); ++f)
        mesh.GetFaces()[f] = faces[f];
    mesh.GetVertexSelection().SetCount(n);
    mesh.GetFaceSelection().SetCount(static_cast<uint32_t>(faces.size()));
    mesh.Invalidate();
}

// Two triangles at z = 5 facing a camera at the origin that looks along +z.
void MakeQuad(XMesh& mesh)
{
    Make(mesh, {XVertex(-1, -1, 5), XVertex(-1, 1, 5), XVertex(1, -1, 5), XVertex(1, 1, 5)},
         {XFace(0, 1, 2, 0), XFace(2, 1, 3, 1)});
}

int Find(const std::vector<std::string>& texts, const std::string& text, int from = 0)
{
    for (int i = from; i < static_cast<int>(texts.size()); ++i)
        if (texts[i] == text)
            return i;
    return -1;
}

int Count(const std::vector<std::string>& texts, const std::string& prefix)
{
    return static_cast<int>(std::count_if(texts.begin(), texts.end(),
                                          [&](const std::string& t) { return t.rfind(prefix, 0) == 0; }));
}

// The vertices the last draw call of the log was given.
std::vector<uint8_t> LastDrawBytes(const SoftDevice& d3d)
{
    for (auto it = d3d.Log().rbegin(); it != d3d.Log().rend(); ++it)
        if (it->name == "DrawPrimitiveUP")
            return it->vertices;
    return {};
}

// The red, green and blue of a pixel as 0xRRGGBB.
uint32_t Rgb(uint32_t pixel)
{
    return pixel & 0xFFFFFFu;
}

bool NearRgb(uint32_t pixel, uint32_t rgb)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int((pixel >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) > 2)
            return false;
    return true;
}

template <class T> T At(const uint8_t* data, size_t offset)
{
    T value;
    std::memcpy(&value, data + offset, sizeof(T));
    return value;
}
} // namespace

TEST(XMeshRenderTest, RenderStreamFormatFollowsTheChannels)
{
    struct Case
    {
        bool weights, normals, normalsMatch, colors;
        uint32_t fvf, stride;
    };
    const Case cases[] = {
        {false, false, true, false, 0x102, 20}, {false, true, true, false, 0x112, 32},
        {false, false, true, true, 0x142, 24},  {false, true, true, true, 0x152, 36},
        {true, false, true, false, 0x110C, 36}, {true, true, true, false, 0x111C, 48},
        {true, false, true, true, 0x114C, 40},  {true, true, true, true, 0x115C, 52},
        {true, true, false, true, 0x114C, 40},  {false, true, false, false, 0x102, 20},
    };
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    ViewportDouble viewport;
    viewport.device = d3d.device;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.fvf << " normals match " << c.normalsMatch);
        TestMesh mesh;
        MakeQuad(mesh);
        mesh.SetWeightsEnabled(c.weights);
        mesh.SetColorsEnabled(c.colors);
        if (!c.normals)
            mesh.SetNormalsEnabled(false);
        if (!c.normalsMatch)
            mesh.SetNormalCount(3);
        mesh.Invalidate();
        d3d.Clear();
        mesh.Draw(0, &viewport, nullptr, 2);
        const XGeometryCache& s = mesh.GetRenderStream();
        EXPECT_TRUE(s.IsValid());
        EXPECT_EQ(s.GetFVF(), c.fvf);
        EXPECT_EQ(s.GetStride(), c.stride);
        EXPECT_EQ(s.GetCount(), 6u);
        EXPECT_EQ(s.GetSize(), 7 * c.stride);
        const auto texts = d3d.Texts();
        EXPECT_GE(Find(texts, "SetFVF(" + std::to_string(c.fvf) + ")"), 0);
        EXPECT_GE(Find(texts, "SetStreamSource(0, null, 0, " + std::to_string(c.stride) + ")"), 0);
        EXPECT_GE(Find(texts, "DrawPrimitiveUP(4, 2, " + std::to_string(c.stride) + ")"), 0);
        ASSERT_EQ(LastDrawBytes(d3d).size(), 6u * c.stride);
        EXPECT_EQ(std::memcmp(LastDrawBytes(d3d).data(), s.GetData(), 6 * c.stride), 0);
    }
}

TEST(XMeshRenderTest, RenderStreamRecordsAndUnfilledSlots)
{
    TestMesh mesh;
    MakeQuad(mesh);
    mesh.SetWeightsEnabled(true);
    mesh.SetColorsEnabled(true);
    mesh.BuildRenderStream();
    const XGeometryCache& s = mesh.GetRenderStream();
    ASSERT_EQ(s.GetStride(), 52u);
    const uint8_t* d = s.GetData();
    // Record 3 is face 1, corner 0: vertex 2.
    const size_t r = 3 * 52;
    EXPECT_EQ(At<float>(d, r + 0), 1.0f);
    EXPECT_EQ(At<float>(d, r + 4), -1.0f);
    EXPECT_EQ(At<float>(d, r + 8), 5.0f);
    EXPECT_EQ(At<float>(d, r + 12), 0.5f);
    EXPECT_EQ(At<float>(d, r + 20), 0.25f);
    EXPECT_EQ(At<uint32_t>(d, r + 24), 0x03020102u);
    EXPECT_EQ(At<float>(d, r + 36), -1.0f);
    EXPECT_EQ(At<uint32_t>(d, r + 40), 0xFF000002u);
    EXPECT_EQ(At<float>(d, r + 44), 2.0f);
    EXPECT_EQ(At<float>(d, r + 48), 4.0f);

    // Colours and texture vertices of another count stay zero; a short weight array reads the
    // default record; a face past the vertices is a zero triangle.
    mesh.SetColorCount(2);
    mesh.SetTextureVertexCount(5);
    mesh.SetWeightCount(1);
    mesh.GetFaces()[0] = XFace(0, 1, 9);
    mesh.Invalidate();
    mesh.BuildRenderStream();
    d = mesh.GetRenderStream().GetData();
    for (size_t i = 0; i < 52; ++i)
        EXPECT_EQ(d[i], 0) << i;
    EXPECT_EQ(At<float>(d, r + 12), 1.0f);
    EXPECT_EQ(At<float>(d, r + 16), 0.0f);
    EXPECT_EQ(At<uint32_t>(d, r + 24), 0u);
    EXPECT_EQ(At<uint32_t>(d, r + 40), 0u);
    EXPECT_EQ(At<float>(d, r + 44), 0.0f);
}

TEST(XMeshRenderTest, OverlayAndPointCachesColourTheSelection)
{
    TestMesh mesh;
    MakeQuad(mesh);
    mesh.GetFaceSelection().SetBit(1, true);
    mesh.GetVertexSelection().SetBit(3, true);
    mesh.BuildPointCache();
    const XGeometryCache& p = mesh.GetPointCache();
    EXPECT_EQ(p.GetFVF(), 0x42u);
    EXPECT_EQ(p.GetStride(), 16u);
    EXPECT_EQ(p.GetCount(), 4u);
    EXPECT_EQ(p.GetSize(), 64u);
    EXPECT_EQ(At<uint32_t>(p.GetData(), 12), 0x000000FFu);
    EXPECT_EQ(At<uint32_t>(p.GetData(), 3 * 16 + 12), 0x00FF0000u);
    EXPECT_EQ(At<float>(p.GetData(), 3 * 16), 1.0f);

    // With normals: selected faces stand out along their normals.
    mesh.BuildFaceOverlay();
    const XGeometryCache& o = mesh.GetFaceOverlay();
    EXPECT_EQ(o.GetFVF(), 0x52u);
    EXPECT_EQ(o.GetStride(), 28u);
    EXPECT_EQ(o.GetCount(), 6u);
    EXPECT_EQ(o.GetSize(), 6u * 28);
    EXPECT_EQ(At<float>(o.GetData(), 8), 5.0f);
    EXPECT_EQ(At<uint32_t>(o.GetData(), 24), 0x000000AAu);
    EXPECT_EQ(At<float>(o.GetData(), 3 * 28 + 8), 5.0f - 0.001f);
    EXPECT_EQ(At<uint32_t>(o.GetData(), 3 * 28 + 24), 0x00AA0000u);

    mesh.SetNormalsEnabled(false);
    mesh.BuildFaceOverlay();
    EXPECT_EQ(o.GetFVF(), 0x42u);
    EXPECT_EQ(o.GetStride(), 16u);
    EXPECT_EQ(o.GetSize(), 6u * 16);
    EXPECT_EQ(At<float>(o.GetData(), 3 * 16 + 8), 5.0f);
    EXPECT_EQ(At<uint32_t>(o.GetData(), 3 * 16 + 12), 0x00AA0000u);

    // BuildCaches follows the level.
    TestMesh level;
    MakeQuad(level);
    level.BuildCaches();
    EXPECT_TRUE(level.GetRenderStream().IsValid());
    EXPECT_FALSE(level.GetPointCache().IsValid());
    level.SetSelectionLevel(XMesh::FaceLevel);
    level.BuildCaches();
    EXPECT_TRUE(level.GetPointCache().IsValid());
    EXPECT_TRUE(level.GetFaceOverlay().IsValid());
    EXPECT_FALSE(level.GetRenderStream().IsValid());
}

TEST(XMeshRenderTest, CachesAreRebuiltAfterInvalidationOnly)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    ViewportDouble viewport;
    viewport.device = d3d.device;
    struct Case
    {
        const char* name;
        void (*draw)(XMesh&, XViewport*);
        void (*invalidate)(XMesh&);
    };
    const Case cases[] = {
        {"render stream", [](XMesh& m, XViewport* v) { m.Draw(0, v, nullptr, 2); },
         [](XMesh& m) { m.InvalidateRenderStream(); }},
        {"face overlay", [](XMesh& m, XViewport* v) { m.DrawFaceOverlay(0, v, nullptr, 1); },
         [](XMesh& m) { m.InvalidateFaceOverlay(); }},
        {"point cache", [](XMesh& m, XViewport* v) { m.DrawPoints(0, v, nullptr, 0); },
         [](XMesh& m) { m.InvalidatePointCache(); }},
        {"whole mesh", [](XMesh& m, XViewport* v) { m.Draw(0, v, nullptr, 2); },
         [](XMesh& m) { m.Invalidate(); }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestMesh mesh;
        MakeQuad(mesh);
        c.draw(mesh, &viewport);
        const std::vector<uint8_t> first = LastDrawBytes(d3d);
        ASSERT_FALSE(first.empty());
        // A change without invalidation is not seen; after it, it is.
        mesh.GetVertices()[1] = XVertex(-3, 3, 5);
        c.draw(mesh, &viewport);
        EXPECT_EQ(LastDrawBytes(d3d), first);
        c.invalidate(mesh);
        c.draw(mesh, &viewport);
        EXPECT_NE(LastDrawBytes(d3d), first);
    }
}

TEST(XMeshRenderTest, DrawingWithAndWithoutFaces)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    ViewportDouble viewport;
    viewport.device = d3d.device;
    viewport.pointSize = 5.0f;

    TestMesh empty;
    Make(empty, {XVertex(0, 0, 5), XVertex(1, 0, 5), XVertex(0, 1, 5)}, {});
    empty.Draw(0, &viewport, nullptr, 7);
    empty.DrawFaceOverlay(0, &viewport, nullptr, 3);
    auto texts = d3d.Texts();
    EXPECT_EQ(Count(texts, "DrawPrimitiveUP(4,"), 0);
    EXPECT_EQ(Find(texts, "DrawPrimitiveUP(1, 3, 12)"), static_cast<int>(texts.size()) - 1);
    EXPECT_GE(Find(texts, "SetRenderState(154, 1084227584)"), 0); // point size 5.0
    d3d.Clear();
    d3d.device->SetRenderState(D3DRS_LIGHTING, TRUE);
    empty.DrawPoints(0, &viewport, nullptr, 2);
    texts = d3d.Texts();
    const int draw = Find(texts, "DrawPrimitiveUP(1, 3, 16)");
    ASSERT_GT(draw, 0);
    EXPECT_EQ(texts[draw - 1], "SetRenderState(137, 0)");
    EXPECT_EQ(texts[draw + 1], "SetRenderState(137, 1)");

    // Faces that point past the vertices draw as zero triangles, under the sanitizers too.
    TestMesh broken;
    Make(broken, {XVertex(0, 0, 5)}, {XFace(0, 7, 9), XFace(4000000000u, 0, 0)});
    d3d.Clear();
    broken.Render(0, &viewport, nullptr, 7);
    broken.SetSelectionLevel(XMesh::FaceLevel);
    broken.Render(0, &viewport, nullptr, 7);
    EXPECT_EQ(Count(d3d.Texts(), "DrawPrimitiveUP(4, 2,"), 4);

    // Normals: a line per vertex, lighting off for the call; nothing with a count mismatch.
    TestMesh quad;
    MakeQuad(quad);
    d3d.Clear();
    quad.DrawNormals(0, &viewport, nullptr, 0);
    texts = d3d.Texts();
    EXPECT_GE(Find(texts, "DrawPrimitiveUP(2, 4, 12)"), 0);
    const std::vector<uint8_t> lines = LastDrawBytes(d3d);
    ASSERT_EQ(lines.size(), 8u * 12);
    EXPECT_EQ(At<float>(lines.data(), 12 + 8), 4.0f);
    EXPECT_EQ(d3d.Texts().back(), "SetRenderState(137, 1)");
    quad.SetNormalCount(3);
    d3d.Clear();
    quad.DrawNormals(0, &viewport, nullptr, 0);
    EXPECT_TRUE(d3d.Texts().empty());
}

TEST(XMeshRenderTest, SolidDrawUsesTheSceneMaterialOrTheNodeColour)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    ViewportDouble viewport;
    viewport.device = d3d.device;
    MaterialLink link;
    std::vector<std::string> calls;
    RecordingMaterial red(calls, "red"), blue(calls, "blue");
    link.materials = {&red, nullptr, &blue};

    XMeshNode node;
    node.SetColor(XColor(255, 255, 0, 51));
    node.SetScene(FakeScene());
    struct Case
    {
        uint32_t material;
        bool subsets;
        std::vector<std::string> calls;
        int plainDraws;
    };
    const Case cases[] = {
        {0, false, {"begin red 7", "end red"}, 0},
        {2, false, {"begin blue 7", "end blue"}, 0},
        {1, false, {}, 1}, // an empty slot
        {3, false, {}, 1}, // past the count
        // Subsets: faces sorted by material, highest first: face of material 1 (empty slot) is
        // drawn second with the plain material.
        {0, true, {"begin red 7", "end red"}, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.material << (c.subsets ? " subsets" : ""));
        TestMesh mesh;
        MakeQuad(mesh);
        mesh.GetFaces()[1].material = c.subsets ? 0 : 1;
        mesh.GetFaces()[0].material = 1;
        mesh.SetUseFaceSubsets(c.subsets);
        mesh.Invalidate();
        node.SetMaterial(c.material);
        calls.clear();
        d3d.Clear();
        mesh.Draw(0, &viewport, &node, 2);
        EXPECT_EQ(calls, c.calls);
        const auto texts = d3d.Texts();
        // The node's colour as the plain material's diffuse.
        EXPECT_EQ(Count(texts, "SetMaterial([1 0 0.2 1 "), c.plainDraws);
        EXPECT_EQ(Count(texts, "DrawPrimitiveUP(4, "), c.subsets ? 2 : 1);
    }
    node.SetScene(nullptr);

    // Without a scene the node's colour is drawn, whatever its index.
    TestMesh mesh;
    MakeQuad(mesh);
    node.SetMaterial(0);
    calls.clear();
    d3d.Clear();
    mesh.Draw(0, &viewport, &node, 3);
    EXPECT_TRUE(calls.empty());
    const auto texts = d3d.Texts();
    EXPECT_EQ(Count(texts, "SetMaterial([1 0 0.2 1 "), 1);
    // Then the wireframe in the wire material.
    const int wire = Find(texts, "SetRenderState(8, 2)");
    ASSERT_GT(wire, 0);
    EXPECT_EQ(texts[wire - 1].rfind("SetMaterial([0 1 1 1 ", 0), 0u);
    EXPECT_EQ(texts.back(), "DrawPrimitiveUP(4, 2, 32)");
}

TEST(XMeshRenderTest, LitVertexColoursShowWhateverWasDrawnBefore)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    // Both draw the material's diffuse for their lit triangles and lines, behind the camera.
    XPointLight light;
    light.SetColor(0xFFFFFF00u);
    light.SetPosition(0, 0, -20);
    XMeshNode bracketNode;
    auto* particles = new XParticleSystem;
    particles->SetWHD(0.5f, 0.5f, 0.5f);
    bracketNode.SetMesh(particles);
    bracketNode.SetPosition(0, 0, -20);
    struct Earlier
    {
        const char* name;
        std::function<void()> draw;
    };
    const Earlier earlier[] = {
        {"nothing", [] {}},
        {"a light's icon", [&] { light.Render(0, &viewport, 0); }},
        {"a particle system's brackets", [&] { particles->Render(0, &viewport, &bracketNode, 0); }},
    };
    // A frame of the earlier draw, then the mesh's, from a grey screen.
    auto frame = [&](const Earlier& e, const std::function<void()>& draw)
    {
        d3d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020u, 1.0f, 0);
        d3d.device->BeginScene();
        viewport.LightStraightOn();
        e.draw();
        draw();
        d3d.device->EndScene();
        return d3d.BackBuffer();
    };
    // The quad spans pixels 20-43 across and 16-47 down; its first face is the lower left half.
    const size_t firstFace = 40 * 64 + 26, secondFace = 24 * 64 + 38;

    // Red vertices in a green node: the vertices' red shows, in every view of the colours.
    TestMesh painted;
    MakeQuad(painted);
    painted.SetColorsEnabled(true);
    for (uint32_t i = 0; i < 4; ++i)
        painted.GetColors()[i] = XColor(0xFFFF0000u);
    painted.Invalidate();
    XMeshNode node;
    node.SetColor(0xFF00FF00u);
    // Faces: the selected one dark red, the other dark blue, over the mesh drawn without colours.
    TestMesh selected;
    MakeQuad(selected);
    selected.GetFaceSelection().SetBit(0, true);
    selected.Invalidate();
    for (const Earlier& e : earlier)
    {
        SCOPED_TRACE(e.name);
        std::vector<uint32_t> pixels = frame(e, [&] { painted.Draw(0, &viewport, &node, 2); });
        ASSERT_EQ(pixels.size(), 64u * 64);
        EXPECT_TRUE(NearRgb(pixels[firstFace], 0xFF0000)) << std::hex << Rgb(pixels[firstFace]);
        EXPECT_TRUE(NearRgb(pixels[secondFace], 0xFF0000)) << std::hex << Rgb(pixels[secondFace]);

        pixels = frame(e,
                       [&]
                       {
                           selected.Draw(0, &viewport, &node, 2);
                           selected.DrawFaceOverlay(0, &viewport, &node, 2);
                       });
        ASSERT_EQ(pixels.size(), 64u * 64);
        EXPECT_TRUE(NearRgb(pixels[firstFace], 0xAA0000)) << std::hex << Rgb(pixels[firstFace]);
        EXPECT_TRUE(NearRgb(pixels[secondFace], 0x0000AA)) << std::hex << Rgb(pixels[secondFace]);
    }
}

TEST(XMeshRenderTest, RenderFollowsTheSelectionLevel)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    ViewportDouble viewport;
    viewport.device = d3d.device;
    struct Case
    {
        uint32_t level;
        bool normals;
        std::vector<std::string> draws;
    };
    const Case cases[] = {
        {XMesh::ObjectLevel, true, {"DrawPrimitiveUP(4, 2, 32)", "DrawPrimitiveUP(4, 2, 32)"}},
        {XMesh::VertexLevel,
         true,
         {"DrawPrimitiveUP(4, 2, 32)", "DrawPrimitiveUP(4, 2, 28)", "DrawPrimitiveUP(1, 4, 16)"}},
        {XMesh::FaceLevel,
         false,
         {"DrawPrimitiveUP(4, 2, 20)", "DrawPrimitiveUP(4, 2, 16)", "DrawPrimitiveUP(4, 2, 16)",
          "DrawPrimitiveUP(1, 4, 16)"}},
        {5, true, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.level);
        TestMesh mesh;
        MakeQuad(mesh);
        mesh.SetNormalsEnabled(c.normals);
        mesh.SetSelectionLevel(c.level);
        d3d.Clear();
        mesh.Render(0, &viewport, nullptr, 3);
        std::vector<std::string> draws;
        for (const std::string& t : d3d.Texts())
            if (t.rfind("DrawPrimitiveUP", 0) == 0)
                draws.push_back(t);
        EXPECT_EQ(draws, c.draws);
    }
}

TEST(XMeshRenderTest, SelectInRect)
{
    // Orthographic 64 x 48 units on 640 x 480 pixels: 10 pixels a unit, origin at (320, 240).
    ViewportDouble ortho;
    ortho.SetOrthographic(64, 48, 1, 100);
    TestMesh mesh;
    Make(mesh,
         {XVertex(0, 0, 5), XVertex(0.15f, 0, 5), XVertex(0, -0.15f, 5), XVertex(0.25f, 0, 5),
          XVertex(0.15f, 0.25f, 5), XVertex(-10, 10, 5)},
         {});
    struct Case
    {
        XRect rect;
        bool exact;
        std::vector<unsigned> selected;
    };
    const Case cases[] = {
        {XRect(320, 240, 320, 240), false, {0, 1, 2}},
        {XRect(320, 240, 320, 240), true, {0}},
        {XRect(0, 0, 640, 480), true, {0, 1, 2, 3, 4, 5}},
        {XRect(200, 239, 330, 245), true, {0, 1, 2, 3}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.rect.left << " " << c.rect.top << " exact " << c.exact);
        XArray<unsigned int, 32> result;
        result.Add(99);
        mesh.SelectInRect(0, &ortho, nullptr, c.rect, result, c.exact);
        std::vector<unsigned> got(result.GetData() + 1, result.GetData() + result.GetCount());
        EXPECT_EQ(result.GetData()[0], 99u);
        EXPECT_EQ(got, c.selected);
    }

    // Perspective: points are divided by w; none behind the camera or before its near plane (1) is selected.
    ViewportDouble persp;
    TestMesh depth;
    Make(depth,
         {XVertex(0, 0, 5), XVertex(0, 0, -5), XVertex(1, 1, -5), XVertex(2, 0, 10), XVertex(0, 0, .5f)}, {});
    XArray<unsigned int, 32> all;
    depth.SelectInRect(0, &persp, nullptr, XRect(0, 0, 640, 480), all, true);
    ASSERT_EQ(all.GetCount(), 2u);
    EXPECT_EQ(all.GetData()[0], 0u);
    EXPECT_EQ(all.GetData()[1], 3u);
    const float x = (persp.projection.m[0][0] * 2 / 10 + 1) * 320;
    XArray<unsigned int, 32> near;
    depth.SelectInRect(0, &persp, nullptr, XRect(x - 1, 239, x + 1, 241), near, true);
    ASSERT_EQ(near.GetCount(), 1u);
    EXPECT_EQ(near.GetData()[0], 3u);

    // Face picking by rectangle projects the same way.
    TestMesh faces;
    Make(faces,
         {XVertex(-1, -1, 5), XVertex(-1, 1, 5), XVertex(1, -1, 5), XVertex(0, 0, -5), XVertex(0.1f, 0, -5),
          XVertex(0, 0.1f, -5)},
         {XFace(0, 1, 2), XFace(3, 4, 5)});
    XArray<unsigned int, 32> picked;
    faces.PickFaces(0, &persp, nullptr, XRect(0, 0, 640, 480), picked, true);
    ASSERT_EQ(picked.GetCount(), 1u);
    EXPECT_EQ(picked.GetData()[0], 0u);
}

TEST(XMeshRenderTest, SplitFaceAtPoint)
{
    ViewportDouble viewport;
    TestMesh mesh;
    Make(mesh, {XVertex(-1, -1, 5), XVertex(-1, 2, 5), XVertex(2, -1, 5)}, {XFace(0, 1, 2, 4)});
    mesh.SetColorsEnabled(true);
    mesh.SetWeightsEnabled(true);
    mesh.GetColors()[0] = XColor(0x10FF0001u);
    mesh.GetColors()[1] = XColor(0x11FF0002u);
    mesh.GetColors()[2] = XColor(0x12FE0002u);
    mesh.GetVertexSelection().SetBit(1, true);
    mesh.GetFaceSelection().SetBit(0, true);
    mesh.SplitFaceAtPoint(0, &viewport, nullptr, XPoint(320, 240));
    ASSERT_EQ(mesh.GetVertexCount(), 4u);
    ASSERT_EQ(mesh.GetFaceCount(), 3u);
    const XVertex& p = mesh.GetVertices()[3];
    EXPECT_NEAR(p.x, 0, 1e-5);
    EXPECT_NEAR(p.y, 0, 1e-5);
    EXPECT_NEAR(p.z, 5, 1e-5);
    EXPECT_NEAR(mesh.GetTextureVertices()[3].u, 1, 1e-5);
    EXPECT_NEAR(mesh.GetTextureVertices()[3].v, 2, 1e-5);
    EXPECT_NEAR(mesh.GetNormals()[3].z, -1, 1e-6);
    EXPECT_EQ(mesh.GetColors()[3].GetARGB(), 0x11FE0001u);
    EXPECT_EQ(mesh.GetWeightCount(), 4u);
    EXPECT_EQ(mesh.GetWeights()[3].index[0], 0);
    const uint32_t expected[3][4] = {{0, 1, 3, 4}, {1, 2, 3, 4}, {2, 0, 3, 4}};
    for (uint32_t f = 0; f < 3; ++f)
    {
        const XFace& face = mesh.GetFaces()[f];
        EXPECT_EQ((std::vector<uint32_t>{face.v[0], face.v[1], face.v[2], face.material}),
                  std::vector<uint32_t>(expected[f], expected[f] + 4));
    }
    EXPECT_EQ(mesh.GetVertexSelection().GetCount(), 4u);
    EXPECT_EQ(mesh.GetFaceSelection().GetCount(), 3u);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_FALSE(mesh.GetVertexSelection().Get(i));
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_FALSE(mesh.GetFaceSelection().Get(i));

    // Two faces on the ray, a back face, or a miss: nothing changes.
    struct Case
    {
        std::vector<XVertex> positions;
        XPoint point;
    };
    const Case unchanged[] = {
        {{XVertex(-1, -1, 5), XVertex(-1, 2, 5), XVertex(2, -1, 5), XVertex(-1, -1, 9), XVertex(-1, 2, 9),
          XVertex(2, -1, 9)},
         XPoint(320, 240)},
        {{XVertex(-1, -1, 5), XVertex(2, -1, 5), XVertex(-1, 2, 5)}, XPoint(320, 240)},
        {{XVertex(-1, -1, 5), XVertex(-1, 2, 5), XVertex(2, -1, 5)}, XPoint(10, 10)},
    };
    for (const Case& c : unchanged)
    {
        TestMesh m;
        std::vector<XFace> faces;
        for (uint32_t i = 0; i + 2 < c.positions.size(); i += 3)
            faces.emplace_back(i, i + 1, i + 2);
        Make(m, c.positions, faces);
        m.SplitFaceAtPoint(0, &viewport, nullptr, c.point);
        EXPECT_EQ(m.GetVertexCount(), c.positions.size());
        EXPECT_EQ(m.GetFaceCount(), faces.size());
    }
}
