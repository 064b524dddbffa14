#include "Engine/Geometry/XMesh.h"

#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace
{
// A mesh with exactly these positions and faces: texture vertex i = (i, -i), normals enabled and
// (0, 0, 0), both selections sized and clear.
void Make(XMesh& mesh, const std::vector<XVertex>& positions, const std::vector<XFace>& faces)
{
    const uint32_t n = static_cast<uint32_t>(positions.size());
    mesh.SetVertexCount(n);
    mesh.SetTextureVertexCount(n);
    mesh.SetNormalCount(n);
    for (uint32_t i = 0; i < n; ++i)
    {
        mesh.GetVertices()[i] = positions[i];
        mesh.GetTextureVertices()[i] = XTextureVertex(float(i), -float(i));
    }
    mesh.SetFaceCount(static_cast<uint32_t>(faces.size()));
    for (size_t f = 0; f < faces.size(); ++f)
        mesh.GetFaces()[f] = faces[f];
    mesh.GetVertexSelection().SetCount(n);
    mesh.GetFaceSelection().SetCount(static_cast<uint32_t>(faces.size()));
    mesh.Invalidate();
}

void Select(XBitArray& bits, const std::vector<uint32_t>& which)
{
    bits.ClearAll();
    for (uint32_t i : which)
        bits.SetBit(i, true);
}

std::vector<uint32_t> SetBits(const XBitArray& bits)
{
    std::vector<uint32_t> set;
    for (uint32_t i = 0; i < bits.GetCount(); ++i)
        if (bits.Get(i))
            set.push_back(i);
    return set;
}

std::vector<uint32_t> Corners(const XMesh& mesh)
{
    std::vector<uint32_t> v;
    for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
        v.insert(v.end(), mesh.GetFaces()[i].v, mesh.GetFaces()[i].v + 3);
    return v;
}

// The unit cube, corner i at (i & 1, i >> 1 & 1, i >> 2 & 1), two outward triangles per side:
// -z, +z, -y, +y, -x, +x.
void MakeCube(XMesh& mesh)
{
    std::vector<XVertex> p;
    for (uint32_t i = 0; i < 8; ++i)
        p.emplace_back(float(i & 1), float(i >> 1 & 1), float(i >> 2 & 1));
    Make(mesh, p,
         {XFace(0, 2, 1), XFace(1, 2, 3), XFace(4, 5, 6), XFace(5, 7, 6), XFace(0, 1, 4), XFace(1, 5, 4),
          XFace(2, 6, 3), XFace(3, 6, 7), XFace(0, 4, 2), XFace(2, 4, 6), XFace(1, 3, 5), XFace(3, 7, 5)});
}

// Corner tetrahedron with outward faces -z, -y, -x and the slanted one.
void MakeTetrahedron(XMesh& mesh)
{
    Make(mesh, {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(0, 0, 1)},
         {XFace(0, 2, 1), XFace(0, 1, 3), XFace(0, 3, 2), XFace(1, 2, 3)});
}

// A strip of four triangles over six vertices: 0-1-2, 1-3-2, 2-3-4, 3-5-4.
void MakeStrip(XMesh& mesh)
{
    std::vector<XVertex> p;
    for (uint32_t i = 0; i < 6; ++i)
        p.emplace_back(float(i / 2), float(i % 2), 0);
    Make(mesh, p, {XFace(0, 1, 2), XFace(1, 3, 2), XFace(2, 3, 4), XFace(3, 5, 4)});
}

// Reloads the mesh's positions, texture vertices and faces alone, as a file without normals
// would give them: normals, colours and weights disabled, selections as they were.
void DisableNormals(XMesh& mesh)
{
    using XArrayChunks::WriteArrayChunk;
    const auto bytes = SavedBytes(
        [&](XWriter& w)
        {
            w.BeginChunk(XMesh::ChunkId);
            WriteArrayChunk(w, 0x01200001, mesh.GetVertices(), mesh.GetVertexCount());
            WriteArrayChunk(w, 0x01200007, mesh.GetTextureVertices(), mesh.GetTextureVertexCount());
            WriteArrayChunk(w, 0x01200002, mesh.GetFaces(), mesh.GetFaceCount());
            w.EndChunk();
        });
    LoadEachChunk(bytes, [&](XReader& r) { mesh.Load(nullptr, r); });
}

bool Finite(const XVertex& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
} // namespace

TEST(XMeshEditTest, CollapseMergesAtTheMeanAsTheLastVertex)
{
    XMesh mesh;
    mesh.SetColorsEnabled(true);
    mesh.SetWeightsEnabled(true);
    Make(mesh, {XVertex(0, 0, 0), XVertex(5, 5, 5), XVertex(2, 0, 0)}, {XFace(0, 1, 2, 4), XFace(2, 1, 0)});
    mesh.SetColorCount(3);
    mesh.SetWeightCount(3);
    mesh.GetColors()[2] = 0xFF00FF00u;
    mesh.GetWeights()[2].index[0] = 9;
    mesh.GetNormals()[0] = XVertex(0, 0, 1);
    mesh.GetNormals()[2] = XVertex(0, 0, 3);
    Select(mesh.GetVertexSelection(), {0, 2});
    mesh.CollapseSelectedVertices();

    ASSERT_EQ(mesh.GetVertexCount(), 2u);
    ExpectVertex(mesh.GetVertices()[0], 5, 5, 5);
    ExpectVertex(mesh.GetVertices()[1], 1, 0, 0);
    EXPECT_EQ(mesh.GetTextureVertices()[1].u, 1.0f); // mean of 0 and 2
    ExpectVertex(mesh.GetNormals()[1], 0, 0, 1);     // normalised sum
    EXPECT_EQ(mesh.GetColors()[1].GetARGB(), 0xFF00FF00u);
    EXPECT_EQ(mesh.GetWeights()[1].index[0], 9);
    EXPECT_EQ(SetBits(mesh.GetVertexSelection()), (std::vector<uint32_t>{1}));
    EXPECT_EQ(mesh.GetVertexSelection().GetCount(), 2u);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(mesh.GetFaces()[0].material, 4u);
    for (uint32_t count : {mesh.GetTextureVertexCount(), mesh.GetNormalCount(), mesh.GetColorCount(),
                           mesh.GetWeightCount()})
        EXPECT_EQ(count, 2u);

    // One selected vertex: nothing changes.
    mesh.CollapseSelectedVertices();
    EXPECT_EQ(mesh.GetVertexCount(), 2u);
    ExpectVertex(mesh.GetVertices()[1], 1, 0, 0);
}

TEST(XMeshEditTest, WeldClaimsLaterVerticesWithinTheThreshold)
{
    struct Case
    {
        std::vector<float> x;
        float threshold;
        std::vector<uint32_t> selected; // the vertex selection before
        bool selectedOnly;
        std::vector<float> expectX;
        std::vector<uint32_t> expectCorners; // face 0-1-2 after
        std::vector<uint32_t> expectSelected;
        int axis = 0; // the coordinate the values stand for
    };
    const Case cases[] = {
        // 0 takes 1 only (0.8 is too far from 0); 2 finds nothing after itself.
        {{0, 0.4f, 0.8f}, 0.5f, {1}, false, {0.2f, 0.8f}, {0, 0, 1}, {0}},
        // Running midpoint, not the mean: 0 takes 1, then 2.
        {{0, 0.2f, 0.4f}, 0.5f, {}, false, {0.25f}, {0, 0, 0}, {}},
        // 1 claims 2 again after 0 did; the last claim counts.
        {{0, 0.6f, 0.3f}, 0.5f, {2}, false, {0.15f, 0.45f}, {0, 1, 1}, {1}},
        {{0, 0.6f, 0.3f}, 0.5f, {2}, false, {0.15f, 0.45f}, {0, 1, 1}, {1}, 1},
        {{0, 0.6f, 0.3f}, 0.5f, {2}, false, {0.15f, 0.45f}, {0, 1, 1}, {1}, 2},
        // The distance is strict.
        {{0, 0.5f, 1}, 0.5f, {}, false, {0, 0.5f, 1}, {0, 1, 2}, {}},
        // Only selected vertices take part.
        {{0, 0.1f, 0.2f}, 0.5f, {0, 2}, true, {0.1f, 0.1f}, {0, 1, 0}, {0}},
        // A threshold of 0 or less welds nothing.
        {{0, 0, 0}, 0, {}, false, {0, 0, 0}, {0, 1, 2}, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(c.x) + " within " + std::to_string(c.threshold));
        XMesh mesh;
        std::vector<XVertex> p;
        for (float x : c.x)
            p.emplace_back(c.axis == 0 ? x : 0, c.axis == 1 ? x : 0, c.axis == 2 ? x : 0);
        Make(mesh, p, {XFace(0, 1, 2)});
        for (uint32_t i = 0; i < 3; ++i)
            mesh.GetNormals()[i] = XVertex(0, 0, 1);
        Select(mesh.GetVertexSelection(), c.selected);
        mesh.WeldVertices(c.threshold, c.selectedOnly);
        ASSERT_EQ(mesh.GetVertexCount(), c.expectX.size());
        for (size_t i = 0; i < c.expectX.size(); ++i)
        {
            const XVertex& v = mesh.GetVertices()[i];
            EXPECT_NEAR(c.axis == 0 ? v.x : c.axis == 1 ? v.y : v.z, c.expectX[i], 1e-6f) << i;
            ExpectVertex(mesh.GetNormals()[i], 0, 0, 1, 1e-6f);
        }
        EXPECT_EQ(Corners(mesh), c.expectCorners);
        EXPECT_EQ(SetBits(mesh.GetVertexSelection()), c.expectSelected);
        EXPECT_EQ(mesh.GetVertexSelection().GetCount(), mesh.GetVertexCount());
        EXPECT_EQ(mesh.GetTextureVertexCount(), mesh.GetVertexCount());
    }
}

// Welding as stated, pair by pair, against the operation's search along a sorted axis.
TEST(XMeshEditTest, WeldMatchesThePlainPairwiseRule)
{
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round)
    {
        SCOPED_TRACE(round);
        const uint32_t n = 60;
        const float threshold = 0.25f + 0.25f * float(round % 4);
        std::vector<XVertex> p;
        for (uint32_t i = 0; i < n; ++i)
            p.emplace_back(float(random() % 5) * 0.3f, float(random() % 7) * 0.2f, float(random() % 3) * 0.5f);
        std::vector<XFace> faces;
        for (uint32_t f = 0; f < 30; ++f)
            faces.emplace_back(uint32_t(random() % n), uint32_t(random() % n), uint32_t(random() % n));

        // The reference: every later vertex, however far, is measured.
        std::vector<XVertex> q = p;
        std::vector<int> rep(n, -1);
        for (uint32_t i = 0; i < n; ++i)
        {
            if (rep[i] >= 0)
                continue;
            rep[i] = int(i);
            std::vector<uint32_t> near;
            for (uint32_t j = i + 1; j < n; ++j)
                if ((q[j] - q[i]).Length() < threshold)
                    near.push_back(j);
            for (uint32_t j : near)
            {
                q[i] = (q[i] + q[j]) / 2;
                rep[j] = int(i);
            }
        }
        std::vector<uint32_t> index(n);
        std::vector<XVertex> expect;
        for (uint32_t i = 0; i < n; ++i)
            if (rep[i] == int(i))
            {
                index[i] = uint32_t(expect.size());
                expect.push_back(q[i]);
            }

        XMesh mesh;
        Make(mesh, p, faces);
        mesh.WeldVertices(threshold, false);
        ASSERT_EQ(mesh.GetVertexCount(), expect.size());
        for (uint32_t i = 0; i < expect.size(); ++i)
            ExpectVertex(mesh.GetVertices()[i], expect[i]);
        for (uint32_t f = 0; f < faces.size(); ++f)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(mesh.GetFaces()[f].v[c], index[uint32_t(rep[faces[f].v[c]])]);
    }
}

TEST(XMeshEditTest, SelectionGrowthAndConversion)
{
    struct Case
    {
        const char* name;
        std::vector<uint32_t> vertices, faces; // selected before
        std::function<void(XMesh&)> op;
        std::vector<uint32_t> expectVertices, expectFaces;
    };
    const std::vector<Case> cases = {
        {"grow vertices 0 passes", {0}, {}, [](XMesh& m) { m.GrowVertexSelection(0); }, {0}, {}},
        {"grow vertices 1 pass", {0}, {}, [](XMesh& m) { m.GrowVertexSelection(1); }, {0, 1, 2}, {}},
        {"grow vertices 2 passes", {0}, {}, [](XMesh& m) { m.GrowVertexSelection(2); }, {0, 1, 2, 3, 4}, {}},
        {"grow vertices to the end", {5}, {}, [](XMesh& m) { m.GrowVertexSelection(0xFFFFFFFF); },
         {0, 1, 2, 3, 4, 5}, {}},
        {"grow faces 1 pass", {}, {0}, [](XMesh& m) { m.GrowFaceSelection(1); }, {}, {0, 1, 2}},
        {"grow faces to the end", {}, {0}, [](XMesh& m) { m.GrowFaceSelection(1000); }, {}, {0, 1, 2, 3}},
        {"all vertices", {}, {1}, [](XMesh& m) { m.SelectAllVertices(); }, {0, 1, 2, 3, 4, 5}, {1}},
        {"all faces", {2}, {}, [](XMesh& m) { m.SelectAllFaces(); }, {2}, {0, 1, 2, 3}},
        {"vertices of faces", {0}, {3}, [](XMesh& m) { m.SelectVerticesOfSelectedFaces(); }, {3, 4, 5}, {3}},
        {"faces of all corners", {1, 2, 3}, {0}, [](XMesh& m) { m.SelectFacesFromVertices(false); },
         {1, 2, 3}, {1}},
        {"faces of any corner", {1, 2, 3}, {}, [](XMesh& m) { m.SelectFacesFromVertices(true); },
         {1, 2, 3}, {0, 1, 2, 3}},
        {"faces of any corner, one vertex", {5}, {}, [](XMesh& m) { m.SelectFacesFromVertices(true); },
         {5}, {3}},
        {"invert nothing", {0, 5}, {1}, [](XMesh& m) { m.InvertSelection(false, false); }, {0, 5}, {1}},
        {"invert vertices", {0, 5}, {1}, [](XMesh& m) { m.InvertSelection(true, false); }, {1, 2, 3, 4}, {1}},
        {"invert both", {0, 5}, {1}, [](XMesh& m) { m.InvertSelection(true, true); }, {1, 2, 3, 4}, {0, 2, 3}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XMesh mesh;
        MakeStrip(mesh);
        Select(mesh.GetVertexSelection(), c.vertices);
        Select(mesh.GetFaceSelection(), c.faces);
        c.op(mesh);
        EXPECT_EQ(SetBits(mesh.GetVertexSelection()), c.expectVertices);
        EXPECT_EQ(SetBits(mesh.GetFaceSelection()), c.expectFaces);
        EXPECT_EQ(mesh.GetVertexSelection().GetCount(), 6u);
        EXPECT_EQ(mesh.GetFaceSelection().GetCount(), 4u);
    }

    // Selections left short (as a load leaves them) are sized before they are used.
    XMesh mesh;
    MakeStrip(mesh);
    mesh.GetVertexSelection().SetCount(0);
    mesh.GetFaceSelection().SetCount(9);
    mesh.SelectAllVertices();
    EXPECT_EQ(SetBits(mesh.GetVertexSelection()), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(mesh.GetFaceSelection().GetCount(), 4u);
}

TEST(XMeshEditTest, ComputedNormalsOnACubeAndATetrahedron)
{
    const float r3 = 1 / std::sqrt(3.0f);
    struct Case
    {
        const char* name;
        bool tetrahedron;
        bool flat;
        std::vector<uint32_t> selectedFaces; // empty: all faces
        uint32_t vertex;
        XVertex expect;
    };
    // Tetrahedron corner 1 smooth: (0,0,-1) + (0,-1,0) + (1,1,1)/sqrt(3), normalised.
    const XVertex t1(r3, r3 - 1, r3 - 1);
    const float t1Length = std::sqrt(r3 * r3 + 2 * (r3 - 1) * (r3 - 1));
    const Case cases[] = {
        {"cube corner 0 smooth", false, false, {}, 0, XVertex(-r3, -r3, -r3)},
        {"cube corner 7 smooth", false, false, {}, 7, XVertex(r3, r3, r3)},
        {"cube corner 1 smooth (two -z, two -y, one +x)", false, false, {}, 1,
         XVertex(1.0f / 3, -2.0f / 3, -2.0f / 3)},
        {"cube corner 0 flat: the last face, -x", false, true, {}, 0, XVertex(-1, 0, 0)},
        {"cube corner 4 flat: the last face, -x", false, true, {}, 4, XVertex(-1, 0, 0)},
        {"cube corner 7 flat: the last face, +x", false, true, {}, 7, XVertex(1, 0, 0)},
        {"cube corner 0 flat, only -z selected", false, true, {0}, 0, XVertex(0, 0, -1)},
        {"cube corner 7 flat, only -z selected: untouched", false, true, {0}, 7, XVertex(9, 9, 9)},
        {"cube corner 0 smooth, only -z selected: all faces count", false, false, {0}, 0,
         XVertex(-r3, -r3, -r3)},
        {"tetrahedron corner 0 smooth", true, false, {}, 0, XVertex(-r3, -r3, -r3)},
        {"tetrahedron corner 1 smooth", true, false, {}, 1, t1 / t1Length},
        {"tetrahedron corner 3 flat: the slanted face", true, true, {}, 3, XVertex(r3, r3, r3)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XMesh mesh;
        if (c.tetrahedron)
            MakeTetrahedron(mesh);
        else
            MakeCube(mesh);
        for (uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
            mesh.GetNormals()[i] = XVertex(9, 9, 9);
        Select(mesh.GetFaceSelection(), c.selectedFaces);
        mesh.ComputeNormals(!c.selectedFaces.empty(), c.flat);
        ExpectVertex(mesh.GetNormals()[c.vertex], c.expect, 1e-6f);
    }

    // Normals that were missing are sized in as (0, 0, 0); a degenerate face adds nothing, and a
    // vertex only it uses keeps a zero normal, not NaN. The flag is not changed.
    XMesh mesh;
    Make(mesh, {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(2, 2, 2), XVertex(5, 5, 5)},
         {XFace(0, 1, 2), XFace(3, 3, 0)});
    mesh.SetNormalCount(1);
    mesh.ComputeNormals(false, false);
    ASSERT_EQ(mesh.GetNormalCount(), 5u);
    ExpectVertex(mesh.GetNormals()[0], 0, 0, 1);
    ExpectVertex(mesh.GetNormals()[3], 0, 0, 0);
    ExpectVertex(mesh.GetNormals()[4], 0, 0, 0);
    mesh.ComputeNormals(false, true);
    ExpectVertex(mesh.GetNormals()[0], 0, 0, 0); // the degenerate face came last
    ExpectVertex(mesh.GetNormals()[1], 0, 0, 1);
    EXPECT_TRUE(mesh.GetNormalsEnabled());
}

TEST(XMeshEditTest, FlippingAndNormalisingNormalsAndFaces)
{
    XMesh mesh;
    MakeStrip(mesh);
    for (uint32_t i = 0; i < 6; ++i)
        mesh.GetNormals()[i] = XVertex(0, 0, 2);
    Select(mesh.GetFaceSelection(), {3});
    mesh.FlipNormals(true);
    mesh.NormalizeNormals(true);
    for (uint32_t i = 0; i < 6; ++i)
        ExpectVertex(mesh.GetNormals()[i], 0, 0, i >= 3 ? -1.0f : 2.0f);
    mesh.FlipNormals(false);
    ExpectVertex(mesh.GetNormals()[0], 0, 0, -2);
    ExpectVertex(mesh.GetNormals()[5], 0, 0, 1);

    mesh.FlipFaces(true);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{0, 1, 2, 1, 3, 2, 2, 3, 4, 4, 5, 3}));
    mesh.FlipFaces(false);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{2, 1, 0, 2, 3, 1, 4, 3, 2, 3, 5, 4}));

    // With normals disabled none of them does anything, and moving along normals neither.
    XMesh off;
    MakeStrip(off);
    DisableNormals(off);
    ASSERT_FALSE(off.GetNormalsEnabled());
    off.SelectAllFaces();
    off.SelectAllVertices();
    off.FlipNormals(false);
    off.NormalizeNormals(false);
    off.FlipFaces(false);
    off.MoveSelectedAlongNormal(5);
    EXPECT_EQ(Corners(off), (std::vector<uint32_t>{0, 1, 2, 1, 3, 2, 2, 3, 4, 3, 5, 4}));
    EXPECT_EQ(off.GetNormalCount(), 0u);
    ExpectVertex(off.GetVertices()[0], 0, 0, 0);

    // Moving along the normalised sum of the selected vertices' normals.
    mesh.GetNormals()[0] = XVertex(0, 0, 1);
    mesh.GetNormals()[1] = XVertex(1, 0, 0);
    Select(mesh.GetVertexSelection(), {0, 1});
    mesh.MoveSelectedAlongNormal(std::sqrt(2.0f));
    ExpectVertex(mesh.GetVertices()[0], 1, 0, 1, 1e-6f);
    ExpectVertex(mesh.GetVertices()[1], 1, 1, 1, 1e-6f);
    ExpectVertex(mesh.GetVertices()[2], 1, 0, 0);
}

TEST(XMeshEditTest, TessellationSplitsFacesInPlace)
{
    // One of two faces: four faces, one more vertex, only the three new faces selected.
    XMesh mesh;
    mesh.SetColorsEnabled(true);
    mesh.SetWeightsEnabled(true);
    Make(mesh, {XVertex(0, 0, 0), XVertex(3, 0, 0), XVertex(0, 3, 0), XVertex(3, 3, 0)},
         {XFace(0, 1, 2, 7), XFace(1, 3, 2, 8)});
    mesh.SetColorCount(4);
    mesh.SetWeightCount(4);
    mesh.GetColors()[1] = 0x030609FFu;
    mesh.GetColors()[3] = 0x01020304u;
    mesh.GetColors()[2] = 0x02000001u;
    mesh.GetWeights()[1].index[2] = 5;
    Select(mesh.GetFaceSelection(), {1});
    Select(mesh.GetVertexSelection(), {0, 3});
    mesh.TessellateFaces(true, false);

    ASSERT_EQ(mesh.GetVertexCount(), 5u);
    ASSERT_EQ(mesh.GetFaceCount(), 4u);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{0, 1, 2, 1, 3, 4, 3, 2, 4, 2, 1, 4}));
    EXPECT_EQ(mesh.GetFaces()[0].material, 7u);
    for (uint32_t f = 1; f < 4; ++f)
        EXPECT_EQ(mesh.GetFaces()[f].material, 8u);
    EXPECT_EQ(SetBits(mesh.GetFaceSelection()), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(mesh.GetFaceSelection().GetCount(), 4u);
    EXPECT_EQ(SetBits(mesh.GetVertexSelection()), (std::vector<uint32_t>{}));
    EXPECT_EQ(mesh.GetVertexSelection().GetCount(), 5u);
    ExpectVertex(mesh.GetVertices()[4], 2, 2, 0);
    EXPECT_EQ(mesh.GetTextureVertices()[4].u, 2.0f); // (1 + 3 + 2) / 3
    // Channel means, truncated: 0x03+0x01+0x02, 0x06+0x02+0x00, 0x09+0x03+0x00, 0xFF+0x04+0x01.
    EXPECT_EQ(mesh.GetColors()[4].GetARGB(), 0x02020456u);
    EXPECT_EQ(mesh.GetWeights()[4].index[2], 5);

    // Everything, twice: counts follow F + 2m and n + m.
    mesh.TessellateFaces(false, false);
    EXPECT_EQ(mesh.GetFaceCount(), 12u);
    EXPECT_EQ(mesh.GetVertexCount(), 9u);
    EXPECT_EQ(mesh.GetFaceSelection().Count(true), 12u);

    // Nothing selected: nothing happens.
    XMesh none;
    MakeStrip(none);
    none.TessellateFaces(true, true);
    EXPECT_EQ(none.GetFaceCount(), 4u);
    EXPECT_EQ(none.GetVertexCount(), 6u);
}

TEST(XMeshEditTest, SpherizePushesTheCentreOutward)
{
    const float r3 = 1 / std::sqrt(3.0f);
    struct Case
    {
        const char* name;
        XVertex normals[3];
        XVertex expect;
    };
    // Corners on the unit sphere with radial normals: the centre (1/3, 1/3, 1/3) moves by
    // sin(acos(1/sqrt 3)) * |(-2/3, 1/3, 1/3)| / 2 = 1/3 along (1, 1, 1)/sqrt 3.
    const float s = (1 + r3) / 3;
    const Case cases[] = {
        {"radial", {XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(0, 0, 1)}, XVertex(s, s, s)},
        // Coplanar: the cosine is 1 and the centre stays; a long normal gives a cosine above 1,
        // kept at 1 rather than NaN.
        {"coplanar", {XVertex(0, 0, 1), XVertex(0, 0, 1), XVertex(0, 0, 1)},
         XVertex(1.0f / 3, 1.0f / 3, 1.0f / 3)},
        {"long normal", {XVertex(0, 0, 5), XVertex(0, 0, 1), XVertex(0, 0, 1)},
         XVertex(1.0f / 3, 1.0f / 3, 1.0f / 3)},
        // Opposed normals sum to zero: a zero normal, no movement.
        {"opposed", {XVertex(0, 0, 1), XVertex(0, 0, -1), XVertex(0, 0, 0)},
         XVertex(1.0f / 3, 1.0f / 3, 1.0f / 3)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XMesh mesh;
        Make(mesh, {XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(0, 0, 1)}, {XFace(0, 1, 2)});
        for (int i = 0; i < 3; ++i)
            mesh.GetNormals()[i] = c.normals[i];
        mesh.TessellateFaces(false, true);
        ASSERT_EQ(mesh.GetVertexCount(), 4u);
        EXPECT_TRUE(Finite(mesh.GetVertices()[3]));
        EXPECT_TRUE(Finite(mesh.GetNormals()[3]));
        ExpectVertex(mesh.GetVertices()[3], c.expect, 1e-6f);
    }
}

TEST(XMeshEditTest, ExtrusionAddsSideFacesOnBoundaryEdges)
{
    // One triangle: three new vertices carry it up by d, six side faces, originals unmoved.
    XMesh mesh;
    Make(mesh, {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(0, 1, 0)}, {XFace(0, 1, 2, 3)});
    Select(mesh.GetFaceSelection(), {0});
    mesh.ExtrudeFaces(2);
    ASSERT_EQ(mesh.GetVertexCount(), 6u);
    ExpectVertex(mesh.GetVertices()[0], 0, 0, 0);
    ExpectVertex(mesh.GetVertices()[1], 1, 0, 0);
    ExpectVertex(mesh.GetVertices()[3], 0, 0, 2);
    ExpectVertex(mesh.GetVertices()[4], 1, 0, 2);
    ExpectVertex(mesh.GetVertices()[5], 0, 1, 2);
    EXPECT_EQ(mesh.GetTextureVertices()[4].u, 1.0f); // copied from vertex 1
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{3, 4, 5, 0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4, 2, 0, 5, 0, 3, 5}));
    EXPECT_EQ(mesh.GetFaces()[0].material, 3u);
    for (uint32_t f = 1; f < 7; ++f)
        EXPECT_EQ(mesh.GetFaces()[f].material, XFace::NoMaterial);
    EXPECT_EQ(SetBits(mesh.GetFaceSelection()), (std::vector<uint32_t>{0}));
    EXPECT_EQ(mesh.GetFaceSelection().GetCount(), 7u);
    EXPECT_EQ(mesh.GetVertexSelection().GetCount(), 6u);
    EXPECT_EQ(mesh.GetNormalCount(), 6u);

    // Two triangles sharing 1-2: four boundary edges, eight side faces, none on the shared edge.
    XMesh pair;
    Make(pair, {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(1, 1, 0)},
         {XFace(0, 1, 2), XFace(1, 3, 2)});
    pair.SelectAllFaces();
    pair.ExtrudeFaces(1);
    EXPECT_EQ(pair.GetVertexCount(), 8u);
    ASSERT_EQ(pair.GetFaceCount(), 10u);
    EXPECT_EQ(Corners(pair), (std::vector<uint32_t>{4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4, 2, 0, 6, 0, 4, 6, 1, 3, 5,
                                                    3, 7, 5, 3, 2, 7, 2, 6, 7}));

    // A closed fan: its centre is on no boundary edge and moves in place.
    XMesh fan;
    Make(fan, {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(-1, -1, 0)},
         {XFace(0, 1, 2), XFace(0, 2, 3), XFace(0, 3, 1)});
    fan.SelectAllFaces();
    fan.ExtrudeFaces(-1);
    EXPECT_EQ(fan.GetVertexCount(), 7u);
    EXPECT_EQ(fan.GetFaceCount(), 9u);
    ExpectVertex(fan.GetVertices()[0], 0, 0, -1);
    ExpectVertex(fan.GetVertices()[1], 1, 0, 0);
    ExpectVertex(fan.GetVertices()[4], 1, 0, -1);

    // Nothing selected: nothing happens.
    XMesh none;
    MakeStrip(none);
    none.ExtrudeFaces(1);
    EXPECT_EQ(none.GetFaceCount(), 4u);
    EXPECT_EQ(none.GetVertexCount(), 6u);
}

TEST(XMeshEditTest, TransformsOfTheMeshAndOfTheSelection)
{
    // The whole mesh: normals without the translation, renormalised.
    XMesh mesh;
    Make(mesh, {XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(0, 0, 1)}, {XFace(0, 1, 2)});
    mesh.GetNormals()[0] = XVertex(0, 0, 1);
    XMatrix m(1.0f);
    m.Scale(2, 2, 2);
    m.Translate(10, 0, 0);
    mesh.Transform(m);
    ExpectVertex(mesh.GetVertices()[0], 12, 0, 0);
    ExpectVertex(mesh.GetNormals()[0], 0, 0, 1);
    ExpectVertex(mesh.GetNormals()[1], 0, 0, 0);

    // The selection, under a node turned 90 degrees about z: mesh (1, 0, 0) is world (0, 1, 0);
    // scaled by 2 about the world pivot (1, 0, 0) it goes to (-1, 2, 0), which is mesh (2, 1, 0).
    struct Case
    {
        uint32_t level;
        std::vector<uint32_t> vertices, faces;
        bool pivotSingular;
        std::vector<bool> moved;
    };
    const Case cases[] = {
        {XMesh::VertexLevel, {0}, {1}, false, {true, false, false, false}},
        {XMesh::FaceLevel, {3}, {0}, false, {true, true, true, false}},
        {XMesh::ObjectLevel, {0}, {0}, false, {false, false, false, false}},
        {XMesh::VertexLevel, {0, 1, 2, 3}, {}, true, {false, false, false, false}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.level);
        XMesh target;
        Make(target, {XVertex(1, 0, 0), XVertex(1, 0, 0), XVertex(1, 0, 0), XVertex(1, 0, 0)},
             {XFace(0, 1, 2), XFace(9, 1, 3)});
        target.SetSelectionLevel(c.level);
        Select(target.GetVertexSelection(), c.vertices);
        Select(target.GetFaceSelection(), c.faces);
        XMeshNode node;
        XMatrix turn(1.0f);
        turn.SetRotationZ(3.14159265f / 2);
        node.SetMatrix(turn);
        XMatrix pivot(1.0f);
        if (c.pivotSingular)
            pivot.SetScale(0, 0, 0);
        pivot.Translate(1, 0, 0);
        XMatrix scale(1.0f);
        scale.SetScale(2, 2, 2);
        target.TransformSelection(0, &node, pivot, scale);
        for (uint32_t i = 0; i < 4; ++i)
        {
            const XVertex& p = target.GetVertices()[i];
            EXPECT_TRUE(Finite(p)) << i;
            if (c.moved[i])
                ExpectVertex(p, 2, 1, 0, 1e-5f);
            else
                ExpectVertex(p, 1, 0, 0);
        }
    }
}

TEST(XMeshEditTest, PickingFacesByRectangleAndRay)
{
    // Orthographic 512 x 512 at the origin looking along +z: mesh (x, y) shows at pixel
    // (x + 256, 256 - y).
    ViewportDouble viewport;
    viewport.width = viewport.height = 512;
    viewport.SetOrthographic(512, 512, 0.5f, 100);
    XMesh mesh;
    Make(mesh,
         {XVertex(0, 0, 5), XVertex(16, 0, 5), XVertex(0, 16, 5), XVertex(100, 0, 5), XVertex(116, 0, 5),
          XVertex(100, 16, 5)},
         {XFace(0, 1, 2), XFace(3, 4, 5), XFace(0, 3, 2), XFace(0, 2, 1), XFace(0, 1, 7)});
    XMeshNode moved, away;
    moved.SetPosition(100, 0, 0);
    away.SetPosition(0, 0, 200);

    struct Case
    {
        const char* name;
        XRect rect;
        bool rectMode;
        XMeshNode* node;
        std::vector<uint32_t> expect;
    };
    const Case cases[] = {
        {"around the first triangle", XRect(246, 230, 282, 266), true, nullptr, {0, 3}},
        {"bounds inclusive", XRect(256, 240, 272, 256), true, nullptr, {0, 3}},
        {"one pixel short", XRect(256, 240, 271, 256), true, nullptr, {}},
        {"both triangles", XRect(246, 230, 382, 266), true, nullptr, {0, 1, 2, 3}},
        {"under the node", XRect(346, 230, 382, 266), true, &moved, {0, 3}},
        // Of the three faces under the point the ray meets only the one facing the camera.
        {"ray", XRect(258, 254, 0, 0), false, nullptr, {3}},
        {"ray under the node", XRect(358, 254, 0, 0), false, &moved, {3}},
        {"ray to a face past the far plane", XRect(258, 254, 0, 0), false, &away, {}},
        {"ray past everything", XRect(10, 10, 0, 0), false, nullptr, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XArray<unsigned int, 32> result;
        result.Add(77); // kept: the list is not cleared
        mesh.PickFaces(0, &viewport, c.node, c.rect, result, c.rectMode);
        std::vector<uint32_t> picked(result.GetData() + 1, result.GetData() + result.GetCount());
        EXPECT_EQ(result.GetData()[0], 77u);
        EXPECT_EQ(picked, c.expect);
    }

    // An empty client area still maps to finite coordinates.
    viewport.width = 0;
    const XPoint p = XMesh::ScreenToNormalized(&viewport, XPoint(3, 256));
    EXPECT_TRUE(std::isfinite(p.x));
    EXPECT_EQ(p.y, 0.0f);
}

// Every operation on meshes whose faces point past the vertices, whose channels and selections
// have other counts than the vertices and faces, with every selection level: no fault under the
// sanitizers, finite results, and the selections sized to the counts afterwards.
TEST(XMeshEditTest, EveryOperationSurvivesInconsistentMeshes)
{
    ViewportDouble viewport;
    XMeshNode node;
    const std::vector<std::pair<const char*, std::function<void(XMesh&)>>> operations = {
        {"PickFaces point",
         [&](XMesh& m)
         {
             XArray<unsigned int, 32> r;
             m.PickFaces(0, &viewport, &node, XRect(320, 240, 0, 0), r, false);
         }},
        {"PickFaces rect",
         [&](XMesh& m)
         {
             XArray<unsigned int, 32> r;
             m.PickFaces(0, &viewport, &node, XRect(0, 0, 640, 480), r, true);
         }},
        {"TransformSelection", [&](XMesh& m) { m.TransformSelection(0, &node, XMatrix(1.0f), XMatrix(1.0f)); }},
        {"Transform", [](XMesh& m) { m.Transform(XMatrix(1.0f)); }},
        {"Collapse", [](XMesh& m) { m.CollapseSelectedVertices(); }},
        {"Weld", [](XMesh& m) { m.WeldVertices(1.5f, false); }},
        {"Weld selected", [](XMesh& m) { m.WeldVertices(1.5f, true); }},
        {"GrowVertexSelection", [](XMesh& m) { m.GrowVertexSelection(3); }},
        {"GrowFaceSelection", [](XMesh& m) { m.GrowFaceSelection(3); }},
        {"SelectAllVertices", [](XMesh& m) { m.SelectAllVertices(); }},
        {"SelectAllFaces", [](XMesh& m) { m.SelectAllFaces(); }},
        {"SelectVerticesOfSelectedFaces", [](XMesh& m) { m.SelectVerticesOfSelectedFaces(); }},
        {"SelectFacesFromVertices", [](XMesh& m) { m.SelectFacesFromVertices(true); }},
        {"InvertSelection", [](XMesh& m) { m.InvertSelection(true, true); }},
        {"ComputeNormals smooth", [](XMesh& m) { m.ComputeNormals(true, false); }},
        {"ComputeNormals flat", [](XMesh& m) { m.ComputeNormals(false, true); }},
        {"FlipNormals", [](XMesh& m) { m.FlipNormals(true); }},
        {"NormalizeNormals", [](XMesh& m) { m.NormalizeNormals(true); }},
        {"Tessellate", [](XMesh& m) { m.TessellateFaces(true, true); }},
        {"Tessellate all", [](XMesh& m) { m.TessellateFaces(false, true); }},
        {"FlipFaces", [](XMesh& m) { m.FlipFaces(false); }},
        {"MoveSelectedAlongNormal", [](XMesh& m) { m.MoveSelectedAlongNormal(1); }},
        {"Extrude", [](XMesh& m) { m.ExtrudeFaces(1); }},
        {"CloneVertices", [](XMesh& m) { m.CloneVertices(true); }},
    };
    std::mt19937 random(20);
    auto below = [&](uint32_t n) { return n ? static_cast<uint32_t>(random() % n) : 0u; };
    for (int round = 0; round < 40; ++round)
    {
        for (const auto& [name, op] : operations)
        {
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            XMesh mesh;
            const uint32_t n = below(7);
            std::vector<XVertex> p;
            for (uint32_t i = 0; i < n; ++i)
                p.emplace_back(float(below(3)), float(below(3)), float(below(2)));
            std::vector<XFace> faces;
            for (uint32_t f = below(8); f > 0; --f)
                faces.emplace_back(below(n + 2), below(n + 2), below(n + 1));
            Make(mesh, p, faces);
            if (round % 3 == 0)
                DisableNormals(mesh);
            mesh.SetColorsEnabled(round % 2 == 0);
            mesh.SetWeightsEnabled(round % 4 < 2);
            mesh.SetTextureVertexCount(below(n + 2));
            mesh.SetNormalCount(below(n + 2));
            mesh.SetColorCount(below(n + 2));
            mesh.SetWeightCount(below(n + 2));
            mesh.SetSelectionLevel(below(3));
            mesh.GetVertexSelection().SetCount(below(n + 4));
            mesh.GetFaceSelection().SetCount(below(static_cast<uint32_t>(faces.size()) + 4));
            for (uint32_t i = 0; i < mesh.GetVertexSelection().GetCount(); ++i)
                mesh.GetVertexSelection().SetBit(i, below(2) != 0);
            for (uint32_t i = 0; i < mesh.GetFaceSelection().GetCount(); ++i)
                mesh.GetFaceSelection().SetBit(i, below(2) != 0);

            op(mesh);
            for (uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
                EXPECT_TRUE(Finite(mesh.GetVertices()[i])) << i;
            for (uint32_t i = 0; i < mesh.GetNormalCount(); ++i)
                EXPECT_TRUE(Finite(mesh.GetNormals()[i])) << i;
            const std::string op_name = name;
            if (op_name.rfind("Pick", 0) == 0 || op_name == "Transform" || op_name == "CloneVertices")
                continue;
            if (!mesh.GetNormalsEnabled() &&
                (op_name == "FlipNormals" || op_name == "NormalizeNormals" || op_name == "FlipFaces"))
                continue;
            EXPECT_EQ(mesh.GetVertexSelection().GetCount(), mesh.GetVertexCount());
            EXPECT_EQ(mesh.GetFaceSelection().GetCount(), mesh.GetFaceCount());
        }
    }
}
