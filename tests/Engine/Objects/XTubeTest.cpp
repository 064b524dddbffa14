#include "Engine/Objects/XTube.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(XTubeTest, CapTextureRingsAndDegenerateEnds)
{
    XTube tube;
    tube.SetTopInnerRadius(1); // equal radii: a cap of no width
    XMesh* mesh = tube.GetMesh(0, nullptr, nullptr);
    const uint32_t top = 2 * 13 * 4, bottom = top + 4 * 12;
    for (uint32_t i = 0; i < 4 * 12; ++i)
    {
        const XTextureVertex t = mesh->GetTextureVertices()[top + i];
        ASSERT_NEAR(std::hypot(t.u - 0.5f, t.v - 0.5f), 0.5f, 1e-6f) << i;
    }
    // The bottom cap's rings run from q / 2 to 1/2 (q = inner / outer = 0.5).
    const XTextureVertex inner = mesh->GetTextureVertices()[bottom],
                         outer = mesh->GetTextureVertices()[bottom + 36];
    EXPECT_FLOAT_EQ(inner.u, 0.75f);
    EXPECT_FLOAT_EQ(outer.u, 1.0f);
    EXPECT_FLOAT_EQ(outer.v, 0.5f);

    // An outer radius of 0 leaves the ratio undefined: the rings start from the centre.
    tube.SetTopInnerRadius(0);
    tube.SetTopOuterRadius(0);
    mesh = tube.GetMesh(0, nullptr, nullptr);
    for (uint32_t i = 0; i < mesh->GetTextureVertexCount(); ++i)
        ASSERT_TRUE(std::isfinite(mesh->GetTextureVertices()[i].u) &&
                    std::isfinite(mesh->GetTextureVertices()[i].v));
    EXPECT_FLOAT_EQ(mesh->GetTextureVertices()[top].u, 0.5f);
}

TEST(XTubeTest, NegativeHeightFlipsOnlyTheWallNormals)
{
    XTube up, down;
    down.SetHeight(-1);
    const XMesh* a = up.GetMesh(0, nullptr, nullptr);
    const XMesh* b = down.GetMesh(0, nullptr, nullptr);
    for (uint32_t i = 0; i < a->GetVertexCount(); ++i)
    {
        ASSERT_EQ(a->GetVertices()[i].x, b->GetVertices()[i].x);
        ASSERT_EQ(a->GetVertices()[i].y, b->GetVertices()[i].y);
    }
    // Outer wall vertex 0 of both: the radial part turns round, the slope stays.
    EXPECT_GT(a->GetNormals()[0].x, 0.0f);
    EXPECT_LT(b->GetNormals()[0].x, 0.0f);
    EXPECT_EQ(a->GetNormals()[0].y, b->GetNormals()[0].y);
    // The inner wall faces the axis.
    EXPECT_LT(a->GetNormals()[52].x, 0.0f);
}

TEST(XTubeTest, LoadedRadiiAreNotClamped)
{
    // Top inner radius 3 beyond its outer radius 1: stored and built as given.
    const std::vector<uint8_t> bytes = U32Bytes({0x5A970000, 8 + 12, 0x5A970001, 12, 0x40400000});
    XTube tube;
    LoadEachChunk(bytes, [&](XReader& r) { tube.Load(nullptr, r); });
    EXPECT_EQ(tube.GetTopInnerRadius(), 3.0f);
    EXPECT_EQ(tube.GetTopOuterRadius(), 1.0f);
    EXPECT_FLOAT_EQ(tube.GetBoundingBox(0).max.x, 3.0f);
    EXPECT_EQ(tube.GetMesh(0, nullptr, nullptr)->GetVertexCount(), 200u);
}

TEST(XTubeTest, MouseCreationTakesSixPresses)
{
    PlaneViewport viewport(XAXIS_XZ);
    XMeshNode node;
    XTube tube;
    tube.MouseCreateStart();
    EXPECT_EQ(tube.GetTopOuterRadius(), 0.001f);
    auto press = [&](float x, float y)
    { return tube.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(x, y), 0); };
    auto move = [&](float x, float y)
    { return tube.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(x, y), 0); };
    EXPECT_FALSE(press(0, 0));
    EXPECT_FALSE(move(3, 4)); // every radius 5
    EXPECT_EQ(tube.GetBottomInnerRadius(), 5.0f);
    EXPECT_FALSE(press(3, 4));
    EXPECT_FALSE(move(6, 8)); // all but the bottom inner radius 10
    EXPECT_EQ(tube.GetBottomOuterRadius(), 10.0f);
    EXPECT_EQ(tube.GetBottomInnerRadius(), 5.0f);
    EXPECT_FALSE(press(6, 8));
    EXPECT_FALSE(move(6, 11)); // height: mask 7 (6, 11, 11) less the step-2 point (6, 0, 8) -> y 11
    EXPECT_FLOAT_EQ(tube.GetHeight(), 11.0f);
    EXPECT_FLOAT_EQ(node.GetPosition().y, 5.5f);
    EXPECT_FALSE(press(6, 11));
    EXPECT_FALSE(move(0, 2)); // top radii 2
    EXPECT_EQ(tube.GetTopInnerRadius(), 2.0f);
    EXPECT_EQ(tube.GetTopOuterRadius(), 2.0f);
    EXPECT_FALSE(press(0, 2));
    EXPECT_FALSE(move(0, 1)); // the top outer radius cannot go below the inner one
    EXPECT_EQ(tube.GetTopOuterRadius(), 2.0f);
    EXPECT_FALSE(move(0, 4));
    EXPECT_EQ(tube.GetTopOuterRadius(), 4.0f);
    EXPECT_TRUE(press(0, 4));
}
