#include "Engine/Objects/XBox.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/PlaneViewport.h"

#include <gtest/gtest.h>

namespace
{
void ExpectVertex(const XVertex& v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}
} // namespace

TEST(XBoxTest, SidesFaceOutwardWithTheirOwnVertices)
{
    XBox box;
    box.SetWidthSegs(2);
    box.SetHeightSegs(3);
    box.SetDepthSegs(4);
    box.SetParams(2, -4, -6); // width, depth, height: the mesh uses the absolute sizes
    EXPECT_EQ(box.GetDepth(), -4.0f);
    XMesh* mesh = box.GetMesh(0, nullptr, nullptr);
    const XVertex* p = mesh->GetVertices();

    // Each face's winding points away from the centre and along its side's normal.
    for (uint32_t i = 0; i < mesh->GetFaceCount(); ++i)
    {
        const XFace& f = mesh->GetFaces()[i];
        const XVertex cross = CrossProduct(p[f.v[1]] - p[f.v[0]], p[f.v[2]] - p[f.v[0]]);
        const XVertex centroid = (p[f.v[0]] + p[f.v[1]] + p[f.v[2]]) / 3;
        ASSERT_GT(DotProduct(cross, centroid), 0.0f) << i;
        ASSERT_GT(DotProduct(cross, mesh->GetNormals()[f.v[0]]), 0.0f) << i;
    }
    // Side bases 0, 12, 24, 44, 64, 79: the first vertex of each side and its texture vertex.
    ExpectVertex(p[0], -1, 3, -2);
    ExpectVertex(p[12], -1, 3, 2);
    ExpectVertex(p[24], -1, 3, 2);
    ExpectVertex(p[44], 1, 3, 2);
    ExpectVertex(p[64], -1, 3, 2);
    ExpectVertex(p[79], -1, -3, 2);
    ExpectVertex(p[93], 1, -3, -2);
    // On the -x side u follows the height and v the depth.
    const XTextureVertex t = mesh->GetTextureVertices()[24 + 1 * 5 + 2];
    EXPECT_FLOAT_EQ(t.u, 1.0f / 3);
    EXPECT_FLOAT_EQ(t.v, 0.5f);
    const XBoundingBox b = box.GetBoundingBox(0);
    ExpectVertex(b.min, -1, -3, -2);
    ExpectVertex(b.max, 1, 3, 2);
}

TEST(XBoxTest, VertexColoursFollowTheNode)
{
    XBox box;
    XMesh* mesh = box.GetMesh(0, nullptr, nullptr);
    mesh->SetColorsEnabled(true);
    box.MeshInvalidate();
    box.GetMesh(0, nullptr, nullptr);
    ASSERT_EQ(mesh->GetColorCount(), 24u);
    EXPECT_EQ(mesh->GetColors()[23].GetARGB(), 0xFFFFFFFFu);

    XMeshNode node;
    node.SetColor(XColor(0x80102030u));
    box.MeshInvalidate();
    box.GetMesh(0, nullptr, &node);
    EXPECT_EQ(mesh->GetColors()[0].GetARGB(), 0x80102030u);
}

TEST(XBoxTest, MouseCreationOnEachPlane)
{
    struct Case
    {
        unsigned plane;
        float width, height, depth;
        XVertex position;
    };
    // Press at (1, 2), drag the footprint to (3, 3), press, raise the cursor to (3, 6), press.
    const Case cases[] = {
        {XAXIS_XY, 2, 1, 3, XVertex(2, 2.5f, 1.5f)},
        {XAXIS_XZ, 2, 1, 3, XVertex(2, 1.5f, 2.5f)},
        {XAXIS_YZ, 2, 1, 0, XVertex(0, 2.5f, 2)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.plane);
        PlaneViewport viewport(c.plane);
        XMeshNode node;
        XBox box;
        box.MouseCreateStart();
        EXPECT_EQ(box.GetWidth(), 0.001f);
        EXPECT_FALSE(box.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 2), 0));
        EXPECT_FALSE(box.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(3, 3), 0));
        box.GetMesh(0, nullptr, nullptr);
        EXPECT_FALSE(box.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(3, 3), 0));
        EXPECT_FALSE(box.IsMeshValid(0));
        EXPECT_FALSE(box.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(3, 6), 0));
        EXPECT_TRUE(box.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(3, 6), 0));
        box.MouseCreateFinish();
        EXPECT_FLOAT_EQ(box.GetWidth(), c.width);
        EXPECT_FLOAT_EQ(box.GetHeight(), c.height);
        EXPECT_FLOAT_EQ(box.GetDepth(), c.depth);
        ExpectVertex(node.GetPosition(), c.position.x, c.position.y, c.position.z);
    }
}
