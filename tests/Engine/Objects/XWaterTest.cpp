#include "Engine/Objects/XWater.h"

#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

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
