#include "Engine/Geometry/XMesh.h"

#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes Saved(const XMesh& mesh)
{
    return SavedBytes([&](XWriter& w) { mesh.Save(nullptr, w); });
}

void Load(XMesh& mesh, const Bytes& bytes)
{
    LoadEachChunk(bytes, [&](XReader& r) { mesh.Load(nullptr, r); });
}

// n vertices at (i, i * i, -i), faces as given.
void Build(XMesh& mesh, uint32_t n, const std::vector<XFace>& faces)
{
    for (uint32_t i = 0; i < n; ++i)
        mesh.AddVertex(XVertex(float(i), float(i * i), -float(i)), XColor(0xFF000000u + i));
    for (const XFace& f : faces)
        mesh.AddFace(f);
}

// Every channel, face groups and two named selections.
void BuildFull(XMesh& mesh)
{
    mesh.SetColorsEnabled(true);
    Build(mesh, 4, {XFace(0, 1, 2, 3), XFace(0, 2, 3, 1)});
    for (uint32_t i = 0; i < 4; ++i)
    {
        mesh.GetTextureVertices()[i] = XTextureVertex(0.25f * float(i), 1 - 0.25f * float(i));
        mesh.GetNormals()[i] = XVertex(0, 1, 0.5f * float(i));
    }
    mesh.SetWeightsEnabled(true);
    mesh.GetWeights()[2].weight[1] = 0.5f;
    mesh.GetWeights()[2].index[1] = 7;
    mesh.SetUseFaceSubsets(true);
    mesh.BuildFaceGroups();
    mesh.SetSelectionLevel(XMesh::VertexLevel);
    mesh.GetVertexSelection().SetBit(1, true);
    mesh.CreateSelection(u"Top");
    mesh.GetFaceSelection().SetBit(1, true);
    mesh.CreateSelection(u"Side");
}

std::vector<uint32_t> Materials(const XMesh& mesh)
{
    std::vector<uint32_t> m;
    for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
        m.push_back(mesh.GetFaces()[i].material);
    return m;
}

std::vector<uint32_t> Corners(const XMesh& mesh)
{
    std::vector<uint32_t> v;
    for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
        v.insert(v.end(), mesh.GetFaces()[i].v, mesh.GetFaces()[i].v + 3);
    return v;
}

std::vector<uint32_t> Groups(const XMesh& mesh)
{
    const auto& g = mesh.GetFaceGroups();
    return std::vector<uint32_t>(g.GetData(), g.GetData() + g.GetCount());
}

// Walks a chunk tree: {start, payload start, end} of every chunk below `from`.
struct Span
{
    size_t start, payload, end;
};
void ChunkSpans(const Bytes& b, size_t from, size_t to, std::vector<Span>& out)
{
    for (size_t p = from; p + 8 <= to;)
    {
        size_t end = p + ReadU32(&b[p + 4]);
        out.push_back({p, p + 8, end});
        p = end;
    }
}
} // namespace

TEST(XMeshTest, DefaultMeshIsItsSixtyEightBytes)
{
    XMesh mesh;
    EXPECT_EQ(Saved(mesh), U32Bytes({0x01200000, 68, 0x01200001, 12, 0, 0x01200007, 12, 0, 0x01200002, 12, 0,
                                     0x01200003, 12, 0, 0x01200008, 12, 1}));
    XBoundingBox box = mesh.GetBoundingBox();
    ExpectVertex(box.min, 0, 0, 0);
    ExpectVertex(box.max, 0, 0, 0);
}

TEST(XMeshTest, FullMeshRoundTripsToIdenticalBytes)
{
    XMesh mesh;
    BuildFull(mesh);
    Bytes bytes = Saved(mesh);

    XMesh loaded;
    loaded.AddVertex(XVertex(9, 9, 9), 0);
    loaded.CreateSelection(u"Stale");
    Load(loaded, bytes);
    EXPECT_EQ(Saved(loaded), bytes);
    EXPECT_EQ(loaded.GetSelectionCount(), 2u);
    EXPECT_TRUE(loaded.GetColorsEnabled() && loaded.GetWeightsEnabled() && loaded.GetUseFaceSubsets());
    EXPECT_EQ(loaded.GetWeights()[2].index[1], 7);
    ExpectVertex(loaded.GetNormals()[3], 0, 1, 1.5f);
    XBoundingBox box = loaded.GetBoundingBox();
    ExpectVertex(box.min, 0, 0, -3);
    ExpectVertex(box.max, 3, 9, 0);
    // The sort flag is stored as it stands, false as well as true.
    XMesh unsorted;
    unsorted.SetSortFacesByMaterial(false);
    XMesh reread;
    Load(reread, Saved(unsorted));
    EXPECT_FALSE(reread.GetSortFacesByMaterial());
    Load(reread, Saved(XMesh()));
    EXPECT_TRUE(reread.GetSortFacesByMaterial());

    // Without the weights chunk, and without the group chunk: both flags clear, the old table kept.
    Bytes plain = U32Bytes({0x01200000, 32, 0x01200001, 24, 1, 0, 0, 0});
    Load(loaded, plain);
    EXPECT_FALSE(loaded.GetWeightsEnabled());
    EXPECT_FALSE(loaded.GetNormalsEnabled());
    EXPECT_FALSE(loaded.GetUseFaceSubsets());
    EXPECT_EQ(Groups(loaded).size(), 2u);
    EXPECT_EQ(loaded.GetVertexCount(), 1u);
    EXPECT_EQ(loaded.GetSelectionCount(), 0u);
    // Another chunk id is not read.
    XMesh other;
    Load(other, U32Bytes({0x0120000A, 32, 0x01200001, 24, 1, 0, 0, 0}));
    EXPECT_EQ(other.GetVertexCount(), 0u);
}

// Cut anywhere inside a payload (enclosing sizes patched to the cut), a count past its payload,
// an endless name: the reader's error, never an overrun or a large allocation.
TEST(XMeshTest, HostileChunksEndInTheIOError)
{
    XMesh full;
    BuildFull(full);
    const Bytes bytes = Saved(full);
    std::vector<Span> subs;
    ChunkSpans(bytes, 8, bytes.size(), subs);
    ASSERT_EQ(subs.size(), 10u);
    for (const Span& s : subs)
        for (size_t cut = s.payload; cut < s.end; ++cut)
        {
            Bytes part(bytes.begin(), bytes.begin() + cut);
            WriteU32(&part[4], uint32_t(cut));
            WriteU32(&part[s.start + 4], uint32_t(cut - s.start));
            XMesh mesh;
            EXPECT_EQ(ThrownIOError([&] { Load(mesh, part); }), kIOErrorText) << cut;
        }

    const Bytes hostile[] = {
        U32Bytes({0x01200000, 32, 0x01200001, 24, 0x40000000, 1, 2, 3}),
        U32Bytes({0x01200000, 28, 0x01200002, 20, 0xFFFFFFFF, 1, 2}),
        U32Bytes({0x01200000, 36, 0x0120000B, 28, 0, 0, 0xFFFFFFFF, 0x00410041, 0x00410041}),
        U32Bytes({0x01200000, 36, 0x0120000B, 28, 64, 3, 1, 2, 3}),
        U32Bytes({0x01200000, 16, 0x01200008, 8}),
    };
    for (const Bytes& input : hostile)
    {
        XMesh mesh;
        EXPECT_EQ(ThrownIOError([&] { Load(mesh, input); }), kIOErrorText);
    }
}

// Faces that point past the vertices load as they are; everything that follows them stays in
// bounds, and channels shorter than the positions are read only within their counts.
TEST(XMeshTest, FacesPastTheVerticesAreSkipped)
{
    Bytes bytes = U32Bytes({0x01200000, 8 + 48 + 12 + 44,
                            0x01200001, 48,
                            3,          0,
                            0,          0,
                            0x3F800000, 0,
                            0,          0,
                            0x3F800000, 0,
                            0x01200007, 12,
                            0,          0x01200002,
                            44,         2,
                            0,          1,
                            2,          5,
                            0,          1,
                            99,         0});
    XMesh mesh;
    Load(mesh, bytes);
    ASSERT_EQ(mesh.GetFaceCount(), 2u);
    EXPECT_EQ(mesh.GetFaces()[1].v[2], 99u);
    XBoundingBox box = mesh.GetBoundingBox();
    ExpectVertex(box.max, 1, 1, 0);

    mesh.SetSelectionLevel(XMesh::FaceLevel);
    mesh.GetFaceSelection().SetAll();
    Bytes selected = SavedBytes([&](XWriter& w) { mesh.SaveSelected(nullptr, w); });
    XMesh pasted;
    LoadEachChunk(selected, [&](XReader& r) { pasted.LoadAppend(nullptr, r); });
    EXPECT_EQ(pasted.GetVertexCount(), 3u);
    EXPECT_EQ(Corners(pasted), (std::vector<uint32_t>{0, 1, 2}));

    XMesh copy;
    mesh.CopySelectionTo(copy);
    EXPECT_EQ(Corners(copy), (std::vector<uint32_t>{0, 1, 2}));

    mesh.CloneFaces(false);
    EXPECT_EQ(mesh.GetVertexCount(), 6u);
    EXPECT_EQ(mesh.GetTextureVertexCount(), 6u);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{0, 1, 2, 0, 1, 99, 3, 4, 5}));
    mesh.CloneFaces(true);
    mesh.DeleteVertices(std::vector<unsigned>{0}.data(), 1);
    mesh.Cleanup();
    for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
        for (uint32_t v : mesh.GetFaces()[i].v)
            EXPECT_LT(v, mesh.GetVertexCount());
}

// Edits of a mesh whose arrays disagree (as a load may leave them) stay inside every array.
TEST(XMeshTest, EditsOfAnInconsistentMeshStayInsideItsArrays)
{
    // A face naming the vertex one past the end goes with any vertex deletion; the others are
    // renumbered.
    XMesh mesh;
    Build(mesh, 4, {});
    mesh.SetFaceCount(3);
    mesh.GetFaces()[0] = XFace(1, 2, 3, 1);
    mesh.GetFaces()[1] = XFace(1, 2, 4, 2); // 4 is past the vertices
    mesh.GetFaces()[2] = XFace(4, 3, 2, 3);
    mesh.DeleteVertices(std::vector<unsigned>{0}.data(), 1);
    EXPECT_EQ(mesh.GetVertexCount(), 3u);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Materials(mesh), (std::vector<uint32_t>{1}));

    // A face added to a mesh loaded with fewer normals than vertices turns only the normals there
    // are (the array read back holds exactly two).
    XMesh source;
    Build(source, 3, {});
    source.SetNormalCount(2);
    XMesh shortNormals;
    Load(shortNormals, Saved(source));
    ASSERT_EQ(shortNormals.GetNormalCount(), 2u);
    shortNormals.AddFace(XFace(0, 1, 2));
    EXPECT_EQ(shortNormals.GetFaceCount(), 1u);
    EXPECT_EQ(shortNormals.GetNormalCount(), 2u);
    XVertex n = Normalize(CrossProduct(XVertex(1, 1, -1), XVertex(2, 4, -2)));
    ExpectVertex(shortNormals.GetNormals()[0], n, 1e-6f);
    ExpectVertex(shortNormals.GetNormals()[1], n, 1e-6f);
}

TEST(XMeshTest, FaceGroupsAndCleanupOrderByMaterial)
{
    struct Row
    {
        bool sort;
        std::vector<uint32_t> before, after, groups;
    } rows[] = {
        {true, {0, 2, 2, 1}, {2, 2, 1, 0}, {2, 1, 1}},
        {false, {0, 2, 2, 1}, {0, 2, 2, 1}, {1, 2, 1}},
        {true, {1, 0xFFFFFFFF, 3}, {3, 1, 0xFFFFFFFF}, {1, 1, 1}},
        {true, {4, 4}, {4, 4}, {2}},
    };
    for (const Row& row : rows)
    {
        XMesh mesh;
        std::vector<XFace> faces;
        for (uint32_t i = 0; i < row.before.size(); ++i)
            faces.push_back(XFace(i, i + 1, i + 2, row.before[i]));
        Build(mesh, uint32_t(row.before.size()) + 2, faces);
        mesh.SetSortFacesByMaterial(row.sort);
        mesh.SetSelectionLevel(XMesh::FaceLevel);
        mesh.GetFaceSelection().SetBit(0, true); // the first face travels with its selection bit
        mesh.BuildFaceGroups();
        EXPECT_EQ(Materials(mesh), row.after);
        EXPECT_EQ(Groups(mesh), row.groups);
        for (uint32_t i = 0; i < mesh.GetFaceCount(); ++i)
            EXPECT_EQ(mesh.GetFaceSelection().Get(i), mesh.GetFaces()[i].v[0] == 0) << i;
    }
    // Equal materials keep their order.
    XMesh mesh;
    Build(mesh, 5, {XFace(0, 1, 2, 1), XFace(1, 2, 3, 2), XFace(2, 3, 4, 1)});
    mesh.BuildFaceGroups();
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{1, 2, 3, 0, 1, 2, 2, 3, 4}));

    // Cleanup: lowest material first, no material leading; degenerate faces and unused vertices go.
    XMesh messy;
    Build(messy, 6,
          {XFace(0, 1, 2, 2), XFace(1, 1, 2, 7), XFace(1, 2, 3), XFace(2, 3, 2, 5), XFace(3, 4, 3, 6),
           XFace(3, 4, 1, 1)});
    messy.Cleanup();
    EXPECT_EQ(Materials(messy), (std::vector<uint32_t>{0xFFFFFFFF, 1, 2}));
    EXPECT_EQ(messy.GetVertexCount(), 5u);
    EXPECT_EQ(Corners(messy), (std::vector<uint32_t>{1, 2, 3, 3, 4, 1, 0, 1, 2}));
}

TEST(XMeshTest, SaveSelectedAndLoadAppend)
{
    XMesh mesh;
    Build(mesh, 4, {XFace(1, 2, 3, 5), XFace(0, 1, 2, 6)});
    mesh.SetSelectionLevel(XMesh::FaceLevel);
    mesh.GetFaceSelection().SetBit(0, true);
    Bytes bytes = SavedBytes([&](XWriter& w) { mesh.SaveSelected(nullptr, w); });
    // The corners joined the vertex selection.
    EXPECT_EQ(mesh.GetVertexSelection().Count(true), 3u);
    // 0x0120000A { positions 3, texture vertices 3, normals 3, faces 1 }
    ASSERT_EQ(bytes.size(), 8u + (12 + 36) + (12 + 24) + (12 + 36) + (12 + 16));
    EXPECT_EQ(ReadU32(&bytes[8 + 8]), 3u);
    const size_t face = bytes.size() - 16;
    EXPECT_EQ(std::vector<uint32_t>({ReadU32(&bytes[face]), ReadU32(&bytes[face + 4]),
                                     ReadU32(&bytes[face + 8]), ReadU32(&bytes[face + 12])}),
              (std::vector<uint32_t>{0, 1, 2, 5}));

    XMesh target;
    Build(target, 2, {});
    target.SetSelectionLevel(XMesh::VertexLevel);
    LoadEachChunk(bytes, [&](XReader& r) { target.LoadAppend(nullptr, r); });
    EXPECT_EQ(target.GetVertexCount(), 5u);
    EXPECT_EQ(target.GetTextureVertexCount(), 5u);
    EXPECT_EQ(target.GetNormalCount(), 5u);
    ExpectVertex(target.GetVertices()[2], 1, 1, -1);
    EXPECT_EQ(Corners(target), (std::vector<uint32_t>{2, 3, 4}));
    EXPECT_EQ(target.GetVertexSelection().Count(true), 0u);
    EXPECT_EQ(target.GetFaceSelection().GetCount(), 1u);

    XMesh nothing;
    Build(nothing, 3, {XFace(0, 1, 2)});
    EXPECT_TRUE(SavedBytes([&](XWriter& w) { nothing.SaveSelected(nullptr, w); }).empty());
}

TEST(XMeshTest, StructuralEdits)
{
    XMesh mesh;
    Build(mesh, 3, {XFace(0, 1, 2)});
    mesh.AddFace(XFace(0, 1, 3)); // past the vertices: ignored
    EXPECT_EQ(mesh.GetFaceCount(), 1u);
    // The unnormalised face normal (p1 - p0) x (p2 - p0), added to each corner, then normalised.
    XVertex n = Normalize(CrossProduct(XVertex(1, 1, -1), XVertex(2, 4, -2)));
    ExpectVertex(mesh.GetNormals()[1], n, 1e-6f);

    mesh.DeleteVertices(std::vector<unsigned>{0}.data(), 1);
    EXPECT_EQ(mesh.GetVertexCount(), 2u);
    EXPECT_EQ(mesh.GetFaceCount(), 0u);
    ExpectVertex(mesh.GetVertices()[0], 1, 1, -1);

    // Weights follow the vertex count only when asked; new records weigh the first bone.
    mesh.SetWeightsEnabled(true);
    mesh.GetWeights()[1].weight[0] = 0.25f;
    mesh.AddVertex(XVertex(5, 5, 5), 0);
    EXPECT_EQ(mesh.GetWeightCount(), 2u);
    mesh.SetWeightCount(1);
    mesh.SetWeightsEnabled(true);
    EXPECT_EQ(mesh.GetWeightCount(), 3u);
    EXPECT_EQ(mesh.GetWeights()[1].weight[0], 1.0f);
    EXPECT_EQ(mesh.GetWeights()[2].index[3], 0);
    mesh.SetTextureVertexCount(0);
    mesh.SetTextureVertexCount(3);
    EXPECT_EQ(mesh.GetTextureVertices()[2].u, 0.0f);

    XMesh faces;
    Build(faces, 5, {XFace(0, 1, 2), XFace(1, 2, 3), XFace(2, 3, 4), XFace(0, 2, 4)});
    XBitArray bits;
    bits.SetCount(4);
    bits.SetBit(1, true);
    bits.SetBit(3, true);
    faces.DeleteFaces(bits);
    EXPECT_EQ(Corners(faces), (std::vector<uint32_t>{0, 1, 2, 2, 3, 4}));
    EXPECT_EQ(faces.GetVertexCount(), 5u);
    faces.Clear();
    EXPECT_EQ(faces.GetVertexCount() + faces.GetFaceCount() + faces.GetFaceSelection().GetCount(), 0u);
}

TEST(XMeshTest, NamedSelectionsAndCopies)
{
    XMesh mesh;
    mesh.SetColorsEnabled(true);
    Build(mesh, 5, {XFace(0, 1, 2, 1), XFace(2, 3, 4, 2)});
    EXPECT_EQ(mesh.CreateSelection(u"None"), -1);
    mesh.SetSelectionLevel(XMesh::FaceLevel);
    mesh.GetFaceSelection().SetBit(1, true);
    EXPECT_EQ(mesh.CreateSelection(u"Second"), 0);
    mesh.GetFaceSelection().ClearAll();
    mesh.ApplySelection(u"Second");
    mesh.ApplySelection(u"Unknown");
    EXPECT_TRUE(mesh.GetFaceSelection().Get(1));
    EXPECT_EQ(mesh.IndexOfSelection(u"second"), -1);

    // Assignment copies all but the named selections.
    XMesh copy;
    copy.CreateSelection(u"x"); // nothing selected: not made
    EXPECT_EQ(copy.GetSelectionCount(), 0u);
    copy = mesh;
    EXPECT_EQ(copy.GetSelectionCount(), 0u);
    // The mesh's bytes less its one selection chunk {bits of 5 and of 2, "Second"}.
    EXPECT_EQ(Saved(copy).size(), Saved(mesh).size() - (8 + 12 + 12 + 4 + 12));
    mesh.DeleteSelection(u"Second");
    EXPECT_EQ(mesh.GetSelectionCount(), 0u);

    // Clones of the selected face land on new copies of its corners.
    mesh.CloneFaces(true);
    EXPECT_EQ(mesh.GetVertexCount(), 8u);
    EXPECT_EQ(mesh.GetColorCount(), 8u);
    EXPECT_EQ(Corners(mesh), (std::vector<uint32_t>{0, 1, 2, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Materials(mesh).back(), 2u);
    ExpectVertex(mesh.GetVertices()[7], 4, 16, -4);
    EXPECT_EQ(mesh.GetColors()[6].GetARGB(), 0xFF000003u);
    EXPECT_EQ(mesh.GetVertexSelection().Count(true), 3u);
    EXPECT_TRUE(mesh.GetFaceSelection().Get(1));
    EXPECT_FALSE(mesh.GetFaceSelection().Get(2));

    // Copy-out: the selected vertices, and the faces whose corners all are.
    XMesh out;
    mesh.CopySelectionTo(out);
    EXPECT_EQ(out.GetVertexCount(), 3u);
    EXPECT_EQ(out.GetColorCount(), 3u);
    EXPECT_EQ(Corners(out), (std::vector<uint32_t>{0, 1, 2}));
    ExpectVertex(out.GetVertices()[0], 2, 4, -2);
    mesh.CopySelectionTo(mesh);
    EXPECT_EQ(mesh.GetVertexCount(), 8u);
}
