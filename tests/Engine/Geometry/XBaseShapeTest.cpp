#include "Engine/Geometry/XBaseShape.h"

#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ByteData.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// A shape whose outline is whatever the test puts in: by default 13 points on an arc joined by
// 12 edges, without point normals (the sweep's defaults apply). Counts its builds.
class Outline : public XBaseShape
{
public:
    void ShapeBuild() override
    {
        ++builds;
        m_Points.SetCount(0);
        m_Edges.SetCount(0);
        m_PointNormals.SetCount(0);
        for (const XVertex& p : points)
            m_Points.Add(p);
        for (const XVertex& n : normals)
            m_PointNormals.Add(n);
        for (const XEdge& e : edges)
            m_Edges.Add(e);
        ShapeValidate();
    }

    std::vector<XVertex> points;
    std::vector<XVertex> normals;
    std::vector<XEdge> edges;
    int builds = 0;
};

Outline* MakeArc()
{
    auto* shape = new Outline;
    for (int i = 0; i < 13; ++i)
        shape->points.push_back(XVertex(2 * std::cos(0.3f * i), 2 * std::sin(0.3f * i), 0.5f));
    for (uint32_t i = 0; i < 12; ++i)
        shape->edges.push_back(XEdge(i, i + 1));
    return shape;
}

// Index of the first logged call with this text at or after `from`; -1 when there is none.
int Find(const std::vector<std::string>& texts, const std::string& text, int from = 0)
{
    for (size_t i = static_cast<size_t>(from); i < texts.size(); ++i)
        if (texts[i] == text)
            return static_cast<int>(i);
    return -1;
}

XDiffuseVertex VertexAt(const D3D9Call& call, unsigned i)
{
    XDiffuseVertex v{};
    EXPECT_GE(call.vertices.size(), 16u * (i + 1)) << call.Text();
    if (call.vertices.size() < 16u * (i + 1))
        return v;
    std::memcpy(&v, call.vertices.data() + 16 * i, sizeof v);
    return v;
}
} // namespace

TEST(XBaseShapeTest, SweepsARingPerPointAndAQuadStripPerEdge)
{
    struct Case
    {
        uint32_t type, sides, ring;
    };
    // Three sides are swept as four; a rectangular section past its last full run of four
    // repeats its first entry.
    const Case cases[] = {{0, 8, 9}, {0, 3, 5}, {1, 3, 5}, {1, 6, 7}, {1, 8, 9}, {1, 11, 12}, {0, 256, 257}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " sides " << c.sides);
        Outline* shape = MakeArc();
        shape->SetMeshEnabled(true);
        shape->SetMeshType(c.type);
        shape->SetMeshSides(c.sides);
        XMesh* mesh = shape->GetMesh(0, nullptr, nullptr);
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetVertexCount(), c.ring * 13);
        EXPECT_EQ(mesh->GetFaceCount(), 2 * (c.ring - 1) * 12);
        ExpectSweptMeshSound(*mesh);
        // Every ring closes on itself; the rectangular padding repeats the first entry exactly.
        for (uint32_t j = 0; j < 13; ++j)
        {
            const XVertex* ring = mesh->GetVertices() + j * c.ring;
            ExpectVertex(ring[c.ring - 1], ring[0], 1e-5f);
            if (c.type == 1)
                for (uint32_t i = 4 * ((c.ring - 1) / 4) + 1; i < c.ring; ++i)
                    ExpectVertex(ring[i], ring[0]);
        }
        shape->Destroy();
    }
}

TEST(XBaseShapeTest, SweepPlacesTheCrossSectionAroundEachPoint)
{
    Outline shape;
    shape.points = {XVertex(5, 0, 0), XVertex(0, 3, 0), XVertex(0, 0, 0)};
    shape.normals = {XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(-1, 0, 0)};
    shape.edges = {XEdge(0, 1), XEdge(1, 2)};
    shape.SetMeshEnabled(true);
    shape.SetMeshSides(4);
    shape.SetMeshWidth(-2); // the sweep takes the absolute value
    shape.SetMeshHeight(1);
    XMesh* mesh = shape.GetMesh(0, nullptr, nullptr);
    ASSERT_EQ(mesh->GetVertexCount(), 15u);
    const XVertex* p = mesh->GetVertices();
    const XVertex* n = mesh->GetNormals();
    const XTextureVertex* uv = mesh->GetTextureVertices();
    const float eps = 1e-5f;
    // Ring 0 faces +x as the section is made: (cos a * 1, 0, sin a * 0.5) around (5, 0, 0).
    ExpectVertex(p[0], 6, 0, 0, eps);
    ExpectVertex(p[1], 5, 0, 0.5f, eps);
    ExpectVertex(p[2], 4, 0, 0, eps);
    ExpectVertex(n[1], 0, 0, 1, eps);
    // Ring 1 is turned from +x onto +y about z.
    ExpectVertex(p[5], 0, 4, 0, eps);
    ExpectVertex(p[6], 0, 3, 0.5f, eps);
    ExpectVertex(n[5], 0, 1, 0, eps);
    // Facing exactly -x the ring gets a half-turn about x as well: +z stays +z.
    ExpectVertex(p[10], -1, 0, 0, eps);
    ExpectVertex(p[11], 0, 0, 0.5f, eps);
    // u runs along the outline, v around the section.
    EXPECT_FLOAT_EQ(uv[6].u, 0.5f);
    EXPECT_FLOAT_EQ(uv[6].v, 0.25f);
    EXPECT_FLOAT_EQ(uv[14].u, 1.0f);
    EXPECT_FLOAT_EQ(uv[14].v, 1.0f);
    // Edge (0, 1): (B+1, A+1, A) and (A, B, B+1) per side.
    ASSERT_EQ(mesh->GetFaceCount(), 16u);
    const XFace& f0 = mesh->GetFaces()[0];
    const XFace& f1 = mesh->GetFaces()[1];
    EXPECT_EQ(std::vector<uint32_t>({f0.v[0], f0.v[1], f0.v[2], f1.v[0], f1.v[1], f1.v[2]}),
              (std::vector<uint32_t>{6, 1, 0, 0, 5, 6}));
    EXPECT_EQ(f0.material, XFace::NoMaterial);

    // Rectangular: corners first, a side's normal between them.
    shape.SetMeshType(XBaseShape::MeshRectangular);
    shape.SetMeshSides(8);
    mesh = shape.GetMesh(0, nullptr, nullptr);
    ExpectVertex(mesh->GetVertices()[0], 5 - 1, 0, -0.5f, eps);
    ExpectVertex(mesh->GetVertices()[1], 5, 0, -0.5f, eps);
    ExpectVertex(mesh->GetNormals()[1], 0, 0, -1, eps);
    ExpectVertex(mesh->GetNormals()[0], Normalize(XVertex(-1, 0, -0.5f)), eps);
}

TEST(XBaseShapeTest, SettersClampAndInvalidateOnlyWhileSwept)
{
    Outline shape;
    EXPECT_EQ(FieldList(shape), kShapeFields);
    shape.SetMeshSides(2);
    EXPECT_EQ(shape.GetMeshSides(), 3u);
    shape.SetMeshSides(1000);
    EXPECT_EQ(shape.GetMeshSides(), 256u);
    shape.SetMeshType(0);
    EXPECT_EQ(shape.GetMeshType(), 0u);
    shape.SetMeshType(5); // clamped to the last kind
    EXPECT_EQ(shape.GetMeshType(), 1u);
    shape.SetMeshWidth(-2000);
    EXPECT_EQ(shape.GetMeshWidth(), -1000.0f);
    shape.SetMeshHeight(5000);
    EXPECT_EQ(shape.GetMeshHeight(), 1000.0f);

    // Through the fields, as the property grid sets them.
    XPtrArray<XObjectField, 16> fields;
    shape.EnumerateFields(fields);
    VarUtils::XVariant value;
    value = 1000u;
    fields[5]->SetValue(&shape, value);
    EXPECT_EQ(shape.GetMeshSides(), 256u);
    value = 0.5f;
    fields[4]->SetValue(&shape, value);
    EXPECT_EQ(shape.GetMeshAngle(), 0.5f);
    fields[2]->GetValue(&shape, value);
    EXPECT_EQ(value.AsDouble(), -1000.0);

    // Lines only: the mesh values wait for the next sweep.
    shape.GetBoundingBox(0);
    ASSERT_TRUE(shape.IsShapeValid(0));
    shape.SetMeshWidth(3);
    shape.SetMeshSides(5);
    EXPECT_TRUE(shape.IsShapeValid(0));
    shape.SetMeshEnabled(true);
    EXPECT_FALSE(shape.IsShapeValid(0));
    shape.GetMesh(0, nullptr, nullptr);
    const int builds = shape.builds;
    shape.GetMesh(0, nullptr, nullptr);
    EXPECT_EQ(shape.builds, builds);
    shape.SetMeshWidth(4);
    EXPECT_FALSE(shape.IsShapeValid(0));
    EXPECT_FALSE(shape.IsMeshValid(0));
}

TEST(XBaseShapeTest, SweptMeshFollowsTheSwitchAndDegenerateOutlines)
{
    Outline shape;
    shape.points = {XVertex(0, 0, 3)};
    EXPECT_EQ(shape.GetMesh(0, nullptr, nullptr), nullptr);
    shape.SetMeshEnabled(true);
    XMesh* mesh = shape.GetMesh(0, nullptr, nullptr);
    ASSERT_NE(mesh, nullptr);
    // One point: one ring, no faces, path parameter 0.
    EXPECT_EQ(mesh->GetVertexCount(), 9u);
    EXPECT_EQ(mesh->GetFaceCount(), 0u);
    EXPECT_EQ(mesh->GetTextureVertices()[3].u, 0.0f);
    EXPECT_EQ(shape.GetPathParameters()[0], 0.0f);

    // Off drops it; on makes it again.
    shape.SetMeshEnabled(false);
    EXPECT_EQ(shape.GetMesh(0, nullptr, nullptr), nullptr);
    shape.points.clear();
    shape.SetMeshEnabled(true);
    mesh = shape.GetMesh(0, nullptr, nullptr);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), 0u);

    // Edges past the outline join nothing rather than read past it.
    shape.points = {XVertex(1, 0, 0), XVertex(0, 1, 0)};
    shape.edges = {XEdge(0, 1), XEdge(1, 7), XEdge(9, 0)};
    shape.ShapeInvalidate();
    mesh = shape.GetMesh(0, nullptr, nullptr);
    EXPECT_EQ(mesh->GetFaceCount(), 16u);
    ExpectSweptMeshSound(*mesh);
}

TEST(XBaseShapeTest, ConvertsToATriangleMeshInItsPlace)
{
    for (bool swept : {false, true})
    {
        SCOPED_TRACE(swept ? "swept" : "lines only");
        XMeshNode node;
        Outline* shape = MakeArc();
        shape->SetName(u"Arc07");
        XGuid guid;
        guid.Data1 = 0x5A5A0007;
        shape->SetGuid(guid);
        shape->SetMeshEnabled(swept);
        node.SetMesh(shape);
        EXPECT_TRUE(shape->CanConvertToType(u"XTriMesh"));
        EXPECT_FALSE(shape->CanConvertToType(u"XBox"));
        EXPECT_EQ(shape->ConvertToType(0, u"XBox"), nullptr);

        XBaseMesh* converted = shape->ConvertToType(0, u"XTriMesh");
        ASSERT_NE(converted, nullptr);
        EXPECT_EQ(node.GetMesh(), converted);
        EXPECT_TRUE(converted->GetClassNameW() == u"XTriMesh");
        EXPECT_TRUE(converted->GetName() == u"Arc07");
        EXPECT_EQ(converted->GetGuid().Data1, 0x5A5A0007u);
        EXPECT_EQ(converted->GetRefCount(), 1);
        XMesh* source = static_cast<XTriMesh*>(converted)->GetMesh();
        if (swept)
        {
            EXPECT_EQ(source->GetVertexCount(), 117u);
            EXPECT_EQ(source->GetFaceCount(), 192u);
            continue;
        }
        // The points with their (default) normals, no faces.
        ASSERT_EQ(source->GetVertexCount(), 13u);
        ASSERT_EQ(source->GetNormalCount(), 13u);
        EXPECT_EQ(source->GetFaceCount(), 0u);
        const XVertex p = XVertex(2 * std::cos(0.3f * 4), 2 * std::sin(0.3f * 4), 0.5f);
        ExpectVertex(source->GetVertices()[4], p);
        ExpectVertex(source->GetNormals()[4], p / p.Length(), 1e-6f);
    }
}

TEST(XBaseShapeTest, DrawsTheOutlineAsColouredLines)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    XMeshNode node;
    node.SetColor(0xFF112233u);
    Outline* shape = MakeArc();
    shape->edges.push_back(XEdge(3, 40)); // past the points: not drawn
    node.SetMesh(shape);

    for (DWORD lighting : {TRUE, FALSE})
    {
        SCOPED_TRACE(lighting ? "lighting on" : "lighting off");
        d3d.device->SetRenderState(D3DRS_LIGHTING, lighting);
        d3d.Clear();
        d3d.device->BeginScene();
        shape->Render(0, &viewport, &node, XRS_POINTS);
        d3d.device->EndScene();
        const std::vector<std::string> texts = d3d.Texts();
        const int fvf = Find(texts, "SetFVF(66)");
        const int lines = Find(texts, "DrawPrimitiveUP(2, 12, 16)");
        const int points = Find(texts, "DrawPrimitiveUP(1, 13, 16)");
        ASSERT_GE(fvf, 0);
        ASSERT_GT(lines, fvf);
        ASSERT_GT(points, lines);
        EXPECT_GE(Find(texts, "SetStreamSource(0, null, 0, 16)"), 0);
        EXPECT_EQ(Find(texts, "SetRenderState(137, 0)") >= 0, lighting == TRUE);
        EXPECT_EQ(Find(texts, "SetRenderState(137, 1)") > points, lighting == TRUE);
        DWORD after = 7;
        d3d.device->GetRenderState(D3DRS_LIGHTING, &after);
        EXPECT_EQ(after, lighting);

        // Each edge's two points in the node's colour; the points in their own colour.
        const XDiffuseVertex a = VertexAt(d3d.Log()[lines], 2);
        ExpectVertex(XVertex(a.x, a.y, a.z), shape->GetPoints()[1]);
        EXPECT_EQ(a.color, 0xFF112233u);
        const XDiffuseVertex b = VertexAt(d3d.Log()[lines], 23);
        ExpectVertex(XVertex(b.x, b.y, b.z), shape->GetPoints()[12]);
        EXPECT_EQ(VertexAt(d3d.Log()[points], 12).color, 0xFF00FFFFu);
    }

    // Swept, the shape goes through the mesh drawing: no lines. Without a device nothing happens.
    shape->SetMeshEnabled(true);
    d3d.Clear();
    shape->Render(0, &viewport, &node, 0);
    EXPECT_EQ(Find(d3d.Texts(), "SetFVF(66)"), -1);
    viewport.device = nullptr;
    shape->RenderShape(0, &viewport, nullptr, 0, XRS_POINTS);
    shape->RenderShape(0, nullptr, nullptr, 0, 0);
}

TEST(XBaseShapeTest, SavesTheMeshValuesAndLoadsThemBack)
{
    Outline shape;
    const std::vector<uint8_t> plain = SavedObject(shape);
    shape.SetMeshEnabled(true);
    shape.SetMeshType(1);
    shape.SetMeshWidth(-3.5f);
    shape.SetMeshHeight(0.75f);
    shape.SetMeshAngle(1.25f);
    shape.SetMeshSides(12);
    const std::vector<uint8_t> bytes = SavedObject(shape);
    // The mesh base's chunks, then the shape chunk: six one-value chunks of 12 bytes.
    ASSERT_EQ(bytes.size(), plain.size());
    const size_t at = bytes.size() - 80;
    EXPECT_EQ(ReadU32(&bytes[at]), 0x99120000u);
    EXPECT_EQ(ReadU32(&bytes[at + 4]), 80u);
    for (uint32_t i = 0; i < 6; ++i)
    {
        EXPECT_EQ(ReadU32(&bytes[at + 8 + 12 * i]), 0x99120001u + i);
        EXPECT_EQ(ReadU32(&bytes[at + 12 + 12 * i]), 12u);
    }
    EXPECT_EQ(ReadU32(&bytes[at + 16]), 1u);
    EXPECT_EQ(ReadU32(&bytes[at + 76]), 12u);

    ExpectRoundTrip(shape);
    Outline loaded;
    loaded.GetBoundingBox(0);
    LoadObject(loaded, bytes);
    EXPECT_FALSE(loaded.IsShapeValid(0));
    EXPECT_EQ(loaded.GetMeshWidth(), -3.5f);
    // Values still pass their setters.
    std::vector<uint8_t> wild = bytes;
    WriteU32(&wild[at + 76], 1000);
    LoadObject(loaded, wild);
    EXPECT_EQ(loaded.GetMeshSides(), 256u);
    // A shape chunk without the flag leaves the mesh off.
    LoadObject(loaded, U32Bytes({0x99120000, 8}));
    EXPECT_FALSE(loaded.GetMeshEnabled());
    EXPECT_EQ(loaded.GetMesh(0, nullptr, nullptr), nullptr);
}

TEST(XBaseShapeTest, Descriptor)
{
    EXPECT_EQ(BaseShapeDesc.Create(), nullptr);
    EXPECT_TRUE(BaseShapeDesc.GetClassNameW() == u"XBaseShape");
    EXPECT_EQ(BaseShapeDesc.GetCategory(), 0x1100000u);
    Outline shape;
    EXPECT_EQ(shape.GetClassId(), 0x99120000u);
    EXPECT_TRUE(shape.GetName() == u"BaseShape");
}
