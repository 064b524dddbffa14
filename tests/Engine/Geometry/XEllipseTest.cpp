#include "Engine/Geometry/XEllipse.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ShapeChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(XEllipseTest, OutlineIsAClosedPolygonOfRadialPoints)
{
    XEllipse shape;
    EXPECT_TRUE(shape.GetName() == u"Ellipse");
    shape.ShapeBuild();
    const XVertices& p = shape.GetPoints();
    ASSERT_EQ(p.GetCount(), 13u);
    ASSERT_EQ(shape.GetEdges().GetCount(), 12u);
    ExpectVertex(p[0], 0.5f, 0, 0);
    ExpectVertex(p[3], 0, 0.5f, 0, 1e-6f);
    ExpectVertex(p[12], p[0]);
    EXPECT_EQ(shape.GetEdges()[11].a, 11u);
    EXPECT_EQ(shape.GetEdges()[11].b, 12u);

    // Semi-axes are half the sizes; the normals are radial, not perpendicular to the curve.
    shape.SetParams(8, 2, -1);
    shape.ShapeBuild();
    ASSERT_EQ(p.GetCount(), 9u);
    ExpectVertex(p[1], std::cos(0.785398163f), 0.5f * std::sin(0.785398163f), 0, 1e-6f);
    ExpectVertex(shape.GetPointNormals()[1], p[1] / p[1].Length(), 1e-6f);
    ExpectVertex(p[2], 0, 0.5f, 0, 1e-6f);
    const XBoundingBox box = shape.GetBoundingBox(0);
    ExpectVertex(box.min, -1, -0.5f, -0.001f);
}

TEST(XEllipseTest, SweepsIntoARingOfTube)
{
    XEllipse shape;
    shape.SetMeshEnabled(true);
    XMesh* mesh = shape.GetMesh(0, nullptr, nullptr);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetVertexCount(), 117u);
    EXPECT_EQ(mesh->GetFaceCount(), 192u);
    ExpectSweptMeshSound(*mesh);
}

TEST(XEllipseTest, SettersClampAndRoundTrip)
{
    XEllipse shape;
    std::vector<std::u16string> fields = kShapeFields;
    fields.insert(fields.end(), {u"Width:float", u"Height:float", u"Sides:bitu32"});
    EXPECT_EQ(FieldList(shape), fields);
    shape.SetSides(2);
    EXPECT_EQ(shape.GetSides(), 3u);
    shape.SetSides(1000);
    EXPECT_EQ(shape.GetSides(), 512u);
    shape.SetParams(0, -3000, 4);
    EXPECT_EQ(shape.GetSides(), 3u);
    EXPECT_EQ(shape.GetWidth(), -1000.0f);
    shape.ShapeBuild();
    shape.SetHeight(4);
    EXPECT_TRUE(shape.IsShapeValid(0));
    shape.SetHeight(5);
    EXPECT_FALSE(shape.IsShapeValid(0));

    shape.SetMeshEnabled(true);
    shape.SetMeshType(1);
    ExpectRoundTrip(shape);
    EXPECT_TRUE(EllipseDesc.GetClassNameW() == u"XEllipse");
    EXPECT_EQ(EllipseDesc.GetCategory(), 0x1100000u);
    XBaseObject* made = EllipseDesc.Create();
    EXPECT_EQ(made->GetClassId(), 0x77490000u);
    made->Destroy();
}

// The drag's plane picks the components: XY (x, y), XZ (x, z), YZ (z, y); the plane is the one
// of the first press, kept to the end.
TEST(XEllipseTest, MouseCreationReadsTheDragOnItsPlane)
{
    struct Case
    {
        unsigned plane;
        float width, height;
    };
    // From (1, 1, 11) to (4, 3, 34): d = (3, 2, 23).
    const Case cases[] = {{XAXIS_XY, 3, 2}, {XAXIS_XZ, 3, 23}, {XAXIS_YZ, 23, 2}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.plane);
        XEllipse shape;
        XMeshNode node;
        ScriptedPlaneViewport viewport;
        viewport.SetPlaneAxis(c.plane);
        shape.MouseCreateStart();
        EXPECT_FALSE(shape.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(1, 1), 0));
        viewport.SetPlaneAxis(c.plane == XAXIS_XY ? XAXIS_XZ : XAXIS_XY);
        EXPECT_FALSE(shape.MouseCreateProc(&viewport, &node, XME_MOVE, XPoint(4, 3), 0));
        EXPECT_EQ(shape.GetWidth(), c.width);
        EXPECT_EQ(shape.GetHeight(), c.height);
        ExpectVertex(node.GetPosition(), 2.5f, 2, 22.5f);
        EXPECT_EQ(viewport.axes, std::vector<unsigned>({c.plane, c.plane}));
        EXPECT_TRUE(shape.MouseCreateProc(&viewport, &node, XME_LEFT_DOWN, XPoint(4, 3), 0));
    }
}
