#include "Engine/Objects/XWater.h"

#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/PlaneViewport.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

TEST(XWaterTest, ThinSlabWithShortNormalAndTextureArrays)
{
    XWater water;
    water.SetWidth(-3);
    XMesh* mesh = water.GetMesh(0, nullptr, nullptr);
    ASSERT_EQ(mesh->GetVertexCount(), 8u);
    EXPECT_EQ(mesh->GetNormalCount(), 36u);
    EXPECT_EQ(mesh->GetTextureVertexCount(), 4u);
    for (uint32_t i = 0; i < 8; ++i)
    {
        const XVertex& p = mesh->GetVertices()[i];
        ASSERT_EQ(std::fabs(p.x), 1.5f);
        ASSERT_EQ(std::fabs(p.y), 0.5f);
        ASSERT_EQ(std::fabs(p.z), 0.001f);
    }
    EXPECT_EQ(mesh->GetNormals()[6].x, 1.0f);
    EXPECT_EQ(mesh->GetNormals()[35].y, -1.0f);
    EXPECT_EQ(mesh->GetTextureVertices()[2].u, 1.0f);
    const XBoundingBox b = water.GetBoundingBox(0);
    EXPECT_EQ(b.max.x, 1.5f);
    EXPECT_EQ(b.min.z, -0.001f);

    const char16_t* names[] = {u"Width", u"Height"};
    XBaseObject plain;
    for (unsigned i = 0; i < 2; ++i)
        EXPECT_EQ(std::u16string(water.GetPropertyDesc(i)->Name), names[i]);
    EXPECT_EQ(water.GetPropertyDesc(2), plain.GetPropertyDesc(0));
    EXPECT_EQ(water.GetPropertyCount(), plain.GetPropertyCount() + 2);
}

TEST(XWaterTest, DrawsConvertsAndSavesWithItsShortArrays)
{
    PlaneViewport viewport(XAXIS_XY);
    XMeshNode node;
    auto* water = new XWater;
    water->GetMesh(0, nullptr, nullptr)->SetColorsEnabled(true);
    water->Render(0, &viewport, &node, 0);
    EXPECT_EQ(water->GetMesh(0, &viewport, &node)->GetColorCount(), 8u);

    XBaseMesh* converted = water->ConvertToType(0, u"XTriMesh"); // destroys the water
    ASSERT_NE(converted, nullptr);
    auto* tri = static_cast<XTriMesh*>(converted);
    EXPECT_EQ(tri->GetVertexCount(), 8u);
    const std::vector<uint8_t> bytes = SavedBytes([&](XWriter& w) { tri->Save(nullptr, w); });
    XTriMesh loaded;
    LoadEachChunk(bytes, [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(loaded.GetMesh()->GetNormalCount(), 36u);
    EXPECT_EQ(loaded.GetMesh(0, nullptr, nullptr)->GetFaceCount(), 12u);
    tri->Destroy();
}

TEST(XWaterTest, MouseCreationOnTheXZPlaneKeepsTheSlabInLocalXY)
{
    PlaneViewport viewport(XAXIS_XZ);
    XMeshNode node;
    XWater water;
    water.MouseCreateStart();
    EXPECT_EQ(water.GetWidth(), 0.001f);
    EXPECT_FALSE(water.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
    EXPECT_FALSE(water.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(-3, 5), 0));
    EXPECT_EQ(water.GetWidth(), -4.0f);
    EXPECT_EQ(water.GetHeight(), 4.0f); // the drag along z
    EXPECT_EQ(node.GetPosition().x, -1.0f);
    EXPECT_EQ(node.GetPosition().z, 3.0f);
    XMatrix m;
    node.GetLocalMatrix(m);
    EXPECT_EQ(m.m[1][1], 1.0f); // not rotated
    EXPECT_TRUE(water.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(-3, 5), 0));
    EXPECT_EQ(water.GetMesh(0, nullptr, nullptr)->GetVertices()[1].y, 2.0f);
}

// The per-corner normals and the four texture vertices do not run parallel to the vertices, so
// the draw stream is positions and one zero texture coordinate: XYZ | TEX1, 20 bytes, no normal
// slot. Drawing at every selection level and exporting read within the short arrays.
TEST(XWaterTest, RenderStreamCarriesPositionsOnly)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    XMeshNode node;
    XWater water;
    water.SetWidth(4);
    water.SetHeight(2);
    d3d.device->BeginScene();
    d3d.Clear();
    water.Render(0, &viewport, &node, 3);
    std::vector<std::string> texts = d3d.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "SetFVF(258)"), texts.end());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "DrawPrimitiveUP(4, 12, 20)"), 2);
    XMesh* mesh = water.GetMesh(0, &viewport, &node);
    const XGeometryCache& stream = mesh->GetRenderStream();
    ASSERT_EQ(stream.GetFVF(), 0x102u);
    ASSERT_EQ(stream.GetStride(), 20u);
    ASSERT_EQ(stream.GetCount(), 36u);
    std::vector<uint8_t> drawn;
    for (const D3D9Call& call : d3d.Log())
        if (call.name == "DrawPrimitiveUP")
            drawn = call.vertices;
    ASSERT_EQ(drawn.size(), 36u * 20);
    for (uint32_t r = 0; r < 36; ++r)
    {
        float record[5];
        std::memcpy(record, drawn.data() + 20 * r, sizeof record);
        const XVertex& p = mesh->GetVertices()[mesh->GetFaces()[r / 3].v[r % 3]];
        EXPECT_EQ(record[0], p.x) << r;
        EXPECT_EQ(record[1], p.y) << r;
        EXPECT_EQ(record[2], p.z) << r;
        EXPECT_EQ(record[3], 0.0f) << r;
        EXPECT_EQ(record[4], 0.0f) << r;
    }

    // Normals are not drawn as lines: there is no normal per vertex.
    d3d.Clear();
    mesh->DrawNormals(0, &viewport, &node, 0);
    EXPECT_TRUE(d3d.Texts().empty());
    for (uint32_t level : {XMesh::VertexLevel, XMesh::FaceLevel})
    {
        mesh->SetSelectionLevel(level);
        d3d.Clear();
        water.Render(0, &viewport, &node, 3);
        texts = d3d.Texts();
        EXPECT_NE(std::find(texts.begin(), texts.end(), "DrawPrimitiveUP(1, 8, 16)"), texts.end()) << level;
    }
    d3d.device->EndScene();

    XMemoryStream text(0, 4096);
    mesh->ExportText(&text, 1);
    const std::string exported = StreamString(text);
    size_t records = 0;
    for (size_t at = exported.find("\t{ \t"); at != std::string::npos; at = exported.find("\t{ \t", at + 1))
        ++records;
    EXPECT_EQ(records, 36u);
}
