#include "Engine/Geometry/XRectangle.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/ByteData.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(XRectangleTest, OutlineIsOneClosedChainWithOutwardNormals)
{
    struct Case
    {
        unsigned widthSegs, heightSegs;
        uint32_t points;
    };
    const Case cases[] = {{8, 8, 33}, {1, 1, 5}, {3, 2, 11}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.widthSegs << " x " << c.heightSegs);
        XRectangle shape;
        shape.SetWidth(-3); // the outline takes the absolute value
        shape.SetHeight(2);
        shape.SetWidthSegs(c.widthSegs);
        shape.SetHeightSegs(c.heightSegs);
        shape.ShapeBuild();
        const XVertices& p = shape.GetPoints();
        const XVertices& n = shape.GetPointNormals();
        ASSERT_EQ(p.GetCount(), c.points);
        ASSERT_EQ(n.GetCount(), c.points);
        ASSERT_EQ(shape.GetEdges().GetCount(), c.points - 1);
        for (uint32_t k = 0; k + 1 < c.points; ++k)
        {
            EXPECT_EQ(shape.GetEdges()[k].a, k);
            EXPECT_EQ(shape.GetEdges()[k].b, k + 1);
        }
        const unsigned W = c.widthSegs, H = c.heightSegs;
        ExpectVertex(p[0], -1.5f, -1, 0);
        ExpectVertex(p[W], 1.5f, -1, 0, 1e-6f);
        ExpectVertex(p[W + H], 1.5f, 1, 0, 1e-6f);
        ExpectVertex(p[2 * W + H], -1.5f, 1, 0, 1e-6f);
        ExpectVertex(p[c.points - 1], p[0]);
        for (uint32_t corner : {0u, W, W + H, 2 * W + H, c.points - 1})
            ExpectVertex(n[corner], p[corner] / p[corner].Length(), 1e-6f);
        if (W > 1)
            ExpectVertex(n[1], 0, -1, 0);
        if (H > 1)
            ExpectVertex(n[W + 1], 1, 0, 0);
        const XBoundingBox box = shape.GetBoundingBox(0);
        ExpectVertex(box.max, 1.5f, 1, 0.001f);
    }
}

TEST(XRectangleTest, SweepsIntoAFrameOfTube)
{
    XRectangle shape;
    shape.SetMeshEnabled(true);
    XMesh* mesh = shape.GetMesh(0, nullptr, nullptr);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), 297u);
    EXPECT_EQ(mesh->GetFaceCount(), 512u);
    ExpectSweptMeshSound(*mesh);
}

// The largest outline and cross-section a file can ask for (larger values are clamped) sweep
// into every face at once; the faces once grew one Add at a time, quadratic in their count.
TEST(XRectangleTest, LargestLoadedValuesSweepEveryFace)
{
    XRectangle shape;
    LoadObject(shape, U32Bytes({0x76490000, 32, 0x76490003, 12, 0xFFFFFFFF, 0x76490004, 12, 0xFFFFFFFF}));
    LoadObject(shape, U32Bytes({0x99120000, 32, 0x99120001, 12, 1, 0x99120006, 12, 0xFFFFFFFF}));
    ASSERT_EQ(shape.GetWidthSegs(), XRectangle::MaxSegs);
    ASSERT_EQ(shape.GetMeshSides(), XBaseShape::MaxMeshSides);
    XMesh* mesh = shape.GetMesh(0, nullptr, nullptr);
    ASSERT_NE(mesh, nullptr);
    const uint32_t points = 4 * XRectangle::MaxSegs + 1;
    EXPECT_EQ(mesh->GetVertexCount(), points * (XBaseShape::MaxMeshSides + 1));
    EXPECT_EQ(mesh->GetFaceCount(), (points - 1) * 2 * XBaseShape::MaxMeshSides);
}

TEST(XRectangleTest, SegmentCountsDependOnTheSetter)
{
    XRectangle shape;
    EXPECT_TRUE(shape.GetName() == u"Rectangle");
    std::vector<std::u16string> fields = kShapeFields;
    fields.insert(fields.end(), {u"Width:float", u"Height:float", u"WidthSegs:bitu32", u"HeightSegs:bitu32"});
    EXPECT_EQ(FieldList(shape), fields);
    shape.SetWidthSegs(1);
    shape.SetHeightSegs(0);
    EXPECT_EQ(shape.GetWidthSegs(), 1u);
    EXPECT_EQ(shape.GetHeightSegs(), 1u);
    shape.SetParams(1, 300, 2000, -1);
    EXPECT_EQ(shape.GetWidthSegs(), 2u);
    EXPECT_EQ(shape.GetHeightSegs(), 128u);
    EXPECT_EQ(shape.GetWidth(), 1000.0f);
    EXPECT_EQ(shape.GetHeight(), -1.0f);

    shape.SetWidthSegs(5);
    shape.SetMeshEnabled(true);
    ExpectRoundTrip(shape);
    EXPECT_TRUE(RectangleDesc.GetClassNameW() == u"XRectangle");
    EXPECT_EQ(RectangleDesc.GetCategory(), 0x1100000u);
    XBaseObject* made = RectangleDesc.Create();
    EXPECT_EQ(made->GetClassId(), 0x76490000u);
    made->Destroy();
}

// Dragging on the XY plane through an orthographic camera at z = -10: 10 pixels a unit.
TEST(XRectangleTest, MouseCreationSizesTheRectangleFromTheDrag)
{
    ViewportDouble viewport;
    XMatrix camera(1.0f);
    camera.SetTranslation(0, 0, -10);
    viewport.SetCameraWorld(camera);
    viewport.SetOrthographic(64, 48, 1, 100);
    viewport.SetPlaneAxis(XAXIS_XY);

    // Driven through the node, as the node creator drives it.
    XMeshNode node;
    auto* rectangle = new XRectangle;
    node.SetMesh(rectangle);
    XRectangle& shape = *rectangle;
    EXPECT_TRUE(shape.AllowMouseCreate());
    node.MouseCreateStart();
    EXPECT_EQ(shape.GetWidth(), 0.001f);
    EXPECT_EQ(shape.GetHeight(), 0.001f);
    // Before the press the node follows the cursor; other buttons do nothing.
    EXPECT_FALSE(node.MouseCreateProc(&viewport, XME_MOVE, XPoint(400, 100), 0));
    EXPECT_EQ(shape.GetWidth(), 0.001f);
    EXPECT_FALSE(node.MouseCreateProc(&viewport, XME_LEFT_DOWN, XPoint(330, 230), 0));
    const XVertex start = viewport.ScreenToPlane(0, XPoint(330, 230), XAXIS_XY);
    ExpectVertex(start, 1, 1, 0, 1e-5f);
    EXPECT_FALSE(node.MouseCreateProc(&viewport, XME_RIGHT_DOWN, XPoint(0, 0), 0));
    EXPECT_FALSE(node.MouseCreateProc(&viewport, XME_MOVE, XPoint(350, 220), 0));
    EXPECT_NEAR(shape.GetWidth(), 2, 1e-5f);
    EXPECT_NEAR(shape.GetHeight(), 1, 1e-5f);
    ExpectVertex(node.GetPosition(), start + XVertex(1, 0.5f, 0), 1e-5f);
    EXPECT_FALSE(shape.IsShapeValid(0));
    EXPECT_TRUE(node.MouseCreateProc(&viewport, XME_LEFT_DOWN, XPoint(350, 220), 0));
    node.MouseCreateFinish();
    // Once done, moves change nothing.
    shape.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(500, 400), 0);
    EXPECT_NEAR(shape.GetWidth(), 2, 1e-5f);
}
