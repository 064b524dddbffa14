#include "Engine/Objects/XCone.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

TEST(XConeTest, BothRadiiZeroShowsOneAssertionAndGoesOn)
{
    BoxRecorder boxes;
    XCone cone;
    cone.SetRadius2(0);
    EXPECT_TRUE(boxes.boxes.empty());
    cone.SetRadius1(0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, u"Error");
    const std::u16string& text = boxes.boxes[0].text;
    EXPECT_EQ(text.rfind(u"File: ..\\Engine\\Objects\\XCone.cpp; Line: ", 0), 0u);
    const std::u16string tail = u"; \nCone Radius1 = 0 and Radius2 = 0!";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(cone.GetRadius1(), 0.0f);

    // All side vertices on the axis, nothing out of range.
    XMesh* mesh = cone.GetMesh(0, nullptr, nullptr);
    for (uint32_t i = 0; i < 13 * 4; ++i)
        ASSERT_EQ(std::hypot(mesh->GetVertices()[i].x, mesh->GetVertices()[i].y), 0.0f);

    // Loading passes the values through the setters, so the box shows there too.
    XCone loaded;
    LoadEachChunk(SavedBytes([&](XWriter& w) { cone.Save(nullptr, w); }),
                  [&](XReader& r) { loaded.Load(nullptr, r); });
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST(XConeTest, SideGeometryNormalsAndTextureSeams)
{
    XCone cone;
    XMesh* mesh = cone.GetMesh(0, nullptr, nullptr);
    const XVertex* p = mesh->GetVertices();
    // Row 0 is the bottom ring (Radius1 at z = -H/2), row 3 the top; column 12 repeats column 0.
    EXPECT_FLOAT_EQ(p[0].x, 0.5f);
    EXPECT_FLOAT_EQ(p[0].z, -0.5f);
    EXPECT_FLOAT_EQ(p[3 * 13].x, 1.0f);
    EXPECT_FLOAT_EQ(p[3 * 13].z, 0.5f);
    EXPECT_FLOAT_EQ(p[12].x, p[0].x);
    EXPECT_NEAR(p[12].y, 0.0f, 1e-6f);
    // Ring 3 of each cap coincides with the side's end row.
    EXPECT_FLOAT_EQ(p[52 + 2 * 12 + 4].x, p[4].x);
    EXPECT_FLOAT_EQ(p[88 + 2 * 12 + 4].y, p[39 + 4].y);
    // Normals lean towards the narrow end: (cos a * H, sin a * H, R1 - R2) normalised.
    const XVertex n = mesh->GetNormals()[13 + 0];
    EXPECT_FLOAT_EQ(n.x, 1 / std::sqrt(1.25f));
    EXPECT_FLOAT_EQ(n.z, -0.5f / std::sqrt(1.25f));
    EXPECT_EQ(mesh->GetNormals()[124].z, -1.0f);
    EXPECT_EQ(mesh->GetNormals()[125].z, 1.0f);
    // The texture seam: the last column's u is the running sum of twelve 1/12 steps.
    float u = 0;
    for (int i = 0; i < 12; ++i)
        u += 1.0f / 12;
    EXPECT_EQ(mesh->GetTextureVertices()[12].u, u);
    EXPECT_EQ(mesh->GetTextureVertices()[125].u, 0.5f);
}

TEST(XConeTest, MouseCreationTakesFourPresses)
{
    BoxRecorder boxes;
    PlaneViewport viewport(XAXIS_XY);
    XMeshNode node;
    XCone cone;
    cone.MouseCreateStart();
    EXPECT_EQ(cone.GetHeight(), 0.001f);
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 5), 0)); // base radius 5
    EXPECT_FLOAT_EQ(cone.GetRadius1(), 5.001f);
    EXPECT_FLOAT_EQ(cone.GetRadius2(), 5.0f);
    EXPECT_EQ(node.GetPosition().x, 1.0f);
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 5), 0));
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(0, -4), 0)); // height |-4|
    EXPECT_FLOAT_EQ(cone.GetHeight(), 4.0f);
    EXPECT_FLOAT_EQ(node.GetPosition().z, -2.0f);
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_LEFT_UP, XPoint(0, -4), 0));
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(0, -4), 0));
    EXPECT_FALSE(cone.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(1, 3), 0)); // top radius 2
    EXPECT_FLOAT_EQ(cone.GetRadius1(), 2.0f);
    EXPECT_FLOAT_EQ(cone.GetRadius2(), 5.0f);
    EXPECT_TRUE(cone.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 3), 0));
    EXPECT_TRUE(boxes.boxes.empty());
    const XBoundingBox b = cone.GetBoundingBox(0);
    EXPECT_FLOAT_EQ(b.max.x, 5.0f);
    EXPECT_FLOAT_EQ(b.min.z, -2.0f);
}
