#include "Engine/Geometry/XBoneMesh.h"

#include "Engine/Scene/XMeshNode.h"
#include "tests/support/MathChecks.h"
#include "tests/support/ShapeChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

TEST(XBoneMeshTest, CapsuleWireframeForAnyRadii)
{
    struct Case
    {
        float in1, in2, out1, out2, height;
    };
    const Case cases[] = {
        {0.05f, 0.05f, 0.075f, 0.075f, 1}, {1, 2, 3, 4, 5}, {-0.5f, 0, 0.25f, -2, -3}, {0, 0, 0, 0, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.in1 << " " << c.in2 << " " << c.out1 << " " << c.out2 << " " << c.height);
        XBoneMesh shape(c.in1, c.in2, c.out1, c.out2, c.height);
        shape.ShapeBuild();
        EXPECT_TRUE(shape.IsShapeValid(0));
        const XVertices& p = shape.GetPoints();
        const XEdges& e = shape.GetEdges();
        ASSERT_EQ(p.GetCount(), 220u);
        ASSERT_EQ(e.GetCount(), 200u);

        // Twelve closed circles of 17 points: each lies at its radius from its centre, in the
        // plane that leaves out one axis, and its last point is its first.
        const float radii[4] = {c.in1, c.out1, c.in2, c.out2};
        for (uint32_t circle = 0; circle < 12; ++circle)
        {
            const XVertex centre(0, 0, circle < 6 ? 0 : c.height);
            const float r = std::fabs(radii[circle / 3]);
            const int flat = circle % 3 == 0 ? 1 : (circle % 3 == 1 ? 2 : 0); // the axis left out
            for (uint32_t i = 0; i < 17; ++i)
            {
                const XVertex d = p[17 * circle + i] - centre;
                EXPECT_NEAR(d.Length(), r, 1e-4f) << circle << " " << i;
                EXPECT_EQ((&d.x)[flat], 0.0f);
            }
            ExpectVertex(p[17 * circle + 16], p[17 * circle]);
            // Point 4 of 16 is a quarter turn: the second component of the circle's plane.
            ExpectVertex(p[17 * circle + 4] - centre,
                         circle % 3 == 0 ? XVertex(0, 0, r)
                                         : (circle % 3 == 1 ? XVertex(0, r, 0) : XVertex(0, 0, r)),
                         1e-5f);
            for (uint32_t k = 0; k < 16; ++k)
            {
                EXPECT_EQ(e[16 * circle + k].a, 17 * circle + k);
                EXPECT_EQ(e[16 * circle + k].b, 17 * circle + k + 1);
            }
        }
        // The side lines join the signed-radius points of the two ends.
        const float side[2][2] = {{c.in1, c.in2}, {c.out1, c.out2}};
        for (uint32_t set = 0; set < 2; ++set)
        {
            const uint32_t first = 204 + 8 * set;
            const float r1 = side[set][0], r2 = side[set][1];
            ExpectVertex(p[first + 0], r1, 0, 0);
            ExpectVertex(p[first + 1], 0, r1, 0);
            ExpectVertex(p[first + 2], -r1, 0, 0);
            ExpectVertex(p[first + 3], 0, -r1, 0);
            ExpectVertex(p[first + 4], r2, 0, c.height);
            ExpectVertex(p[first + 7], 0, -r2, c.height);
            for (uint32_t k = 0; k < 4; ++k)
            {
                EXPECT_EQ(e[192 + 4 * set + k].a, first + k);
                EXPECT_EQ(e[192 + 4 * set + k].b, first + 4 + k);
            }
        }

        const XBoundingBox box = shape.GetBoundingBox(0);
        const float m = std::fmax(std::fmax(std::fabs(c.in1), std::fabs(c.in2)),
                                  std::fmax(std::fabs(c.out1), std::fabs(c.out2)));
        ExpectVertex(box.min, -m, -m, std::fmin(0.0f, c.height) - m);
        ExpectVertex(box.max, m, m, std::fmax(0.0f, c.height) + m);
    }
}

TEST(XBoneMeshTest, ValuesClampInvalidateOnChangeAndRoundTrip)
{
    XBoneMesh shape;
    EXPECT_EQ(shape.GetName(), u"BoneMesh");
    EXPECT_EQ(shape.GetClassId(), 0xCC300000u);
    EXPECT_EQ(BoneMeshDesc.GetCategory(), 0x1100000u);
    std::vector<std::u16string> fields = kShapeFields;
    fields.insert(fields.end(), {u"InnerRadius1:float", u"InnerRadius2:float", u"OuterRadius1:float",
                                 u"OuterRadius2:float", u"Height:float"});
    EXPECT_EQ(FieldList(shape), fields);
    ExpectVertex(shape.GetC1Min(), 0, 0, -0.05f);
    ExpectVertex(shape.GetC2Max(), 0, 0, 1.075f);

    using Setter = void (XBoneMesh::*)(float);
    using Getter = float (XBoneMesh::*)() const;
    const std::pair<Setter, Getter> values[] = {
        {&XBoneMesh::SetInnerRadius1, &XBoneMesh::GetInnerRadius1},
        {&XBoneMesh::SetInnerRadius2, &XBoneMesh::GetInnerRadius2},
        {&XBoneMesh::SetOuterRadius1, &XBoneMesh::GetOuterRadius1},
        {&XBoneMesh::SetOuterRadius2, &XBoneMesh::GetOuterRadius2},
        {&XBoneMesh::SetHeight, &XBoneMesh::GetHeight},
    };
    for (const auto& [set, get] : values)
    {
        shape.ShapeBuild();
        (shape.*set)(5000);
        EXPECT_EQ((shape.*get)(), 1000.0f);
        EXPECT_FALSE(shape.IsShapeValid(0));
        shape.ShapeBuild();
        (shape.*set)(1000); // unchanged: the outline stays
        EXPECT_TRUE(shape.IsShapeValid(0));
        (shape.*set)(std::numeric_limits<float>::quiet_NaN());
        EXPECT_EQ((shape.*get)(), 1000.0f);
        EXPECT_TRUE(shape.IsShapeValid(0));
        (shape.*set)(-5000);
        EXPECT_EQ((shape.*get)(), -1000.0f);
    }

    XBoneMesh saved(0.1f, 0.2f, 0.3f, 0.4f, 2.5f);
    saved.SetMeshEnabled(true);
    ExpectRoundTrip(saved);

    // A chunk with only some values leaves the others as they were.
    XBoneMesh partial(1, 2, 3, 4, 5);
    LoadObject(partial, SavedBytes(
                            [](XWriter& w)
                            {
                                w.BeginChunk(0xCC300000);
                                w.WriteChunkFloat(0xCC300005, 7);
                                w.WriteChunkFloat(0xCC3000FF, 9); // unknown: skipped
                                w.EndChunk();
                            }));
    EXPECT_EQ(partial.GetInnerRadius1(), 1.0f);
    EXPECT_EQ(partial.GetOuterRadius2(), 4.0f);
    EXPECT_EQ(partial.GetHeight(), 7.0f);
}

TEST(XBoneMeshTest, DrawsItsLinesButNeverItsPoints)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    ViewportDouble viewport;
    viewport.device = d3d.device;
    XBoneMesh shape;
    d3d.Clear();
    shape.Render(0, &viewport, nullptr, XRS_POINTS);
    const std::vector<std::string> texts = d3d.Texts();
    int lines = 0, points = 0;
    for (const std::string& t : texts)
    {
        lines += t == "DrawPrimitiveUP(2, 200, 16)";
        points += t.rfind("DrawPrimitiveUP(1,", 0) == 0;
    }
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(points, 0);
}
