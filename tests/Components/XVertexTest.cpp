#include "Components/XVertex.h"

#include "tests/support/MathChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

TEST(XVertexTest, VectorArithmetic)
{
    XVertex a(1, 2, 3), b(4, 6, 8);
    ExpectVertex(a + b, 5, 8, 11);
    ExpectVertex(b - a, 3, 4, 5);
    ExpectVertex(-a, -1, -2, -3);
    ExpectVertex(a * 2.0f, 2, 4, 6);
    ExpectVertex(b / 2.0f, 2, 3, 4);

    XVertex c = a;
    c += b;
    ExpectVertex(c, 5, 8, 11);
    c -= a;
    ExpectVertex(c, 4, 6, 8);
    c *= 0.5f;
    ExpectVertex(c, 2, 3, 4);
    c /= 4.0f;
    ExpectVertex(c, 0.5f, 0.75f, 1.0f);

    EXPECT_EQ(DotProduct(a, b), 4 + 12 + 24);
    ExpectVertex(CrossProduct(XVertex(1, 0, 0), XVertex(0, 1, 0)), 0, 0, 1);
    ExpectVertex(CrossProduct(XVertex(1, 2, 3), XVertex(4, 5, 6)), -3, 6, -3);
}

TEST(XVertexTest, LengthAndNormalize)
{
    EXPECT_EQ(XVertex(3, 4, 0).Length(), 5.0f);
    EXPECT_EQ(XVertex(0, 0, 0).Length(), 0.0f);
    // A squared sum that is not a number comes back as it is.
    EXPECT_TRUE(std::isnan(XVertex(std::numeric_limits<float>::quiet_NaN(), 0, 0).Length()));

    XVertex zero(0, 0, 0);
    zero.Normalize();
    ExpectVertex(zero, 0, 0, 0);
    EXPECT_FALSE(std::isnan(zero.x));

    XVertex v(0, 3, 4);
    XVertex n = Normalize(v);
    ExpectVertex(v, 0, 3, 4); // the free form leaves its argument alone
    ExpectVertex(n, 0, 0.6f, 0.8f, 1e-7f);
    v.Normalize();
    ExpectVertex(v, 0, 0.6f, 0.8f, 1e-7f);
    EXPECT_NEAR(v.Length(), 1.0f, 1e-6f);
}

TEST(XVertexTest, ScalarHelpers)
{
    EXPECT_EQ(MinFloat(1, 2), 1.0f);
    EXPECT_EQ(MinFloat(2, 1), 1.0f);
    EXPECT_EQ(MaxFloat(1, 2), 2.0f);
    EXPECT_EQ(MaxFloat(2, 1), 2.0f);

    float v = 5;
    ClampValue(v, 0, 1);
    EXPECT_EQ(v, 1.0f);
    v = -1;
    ClampValue(v, 0, 1);
    EXPECT_EQ(v, 0.0f);
    v = 0.5f;
    ClampValue(v, 0, 1);
    EXPECT_EQ(v, 0.5f);

    // Pi is 3.14 here, not the exact value.
    EXPECT_EQ(DegToRad(180), 3.14f);
    EXPECT_NE(DegToRad(180), std::numbers::pi_v<float>);
    EXPECT_FLOAT_EQ(DegToRad(90), 1.57f);
    EXPECT_FLOAT_EQ(DegToRad(-45), -0.785f);
    EXPECT_EQ(DegToRad(0), 0.0f);

    EXPECT_EQ(FloatToDWord(1.0f), 0x3F800000u);
    EXPECT_EQ(FloatToDWord(-2.0f), 0xC0000000u);
    EXPECT_EQ(FloatToDWord(0.0f), 0u);
}

TEST(XVertexTest, PointsTextureVerticesAndRectangles)
{
    XPoint a(1, 2), b(4, 6);
    EXPECT_TRUE(b - a == XPoint(3, 4));
    EXPECT_TRUE(a + b == XPoint(5, 8));
    EXPECT_TRUE(a * 3.0f == XPoint(3, 6));
    EXPECT_FALSE(a == XPoint(1, 3));
    EXPECT_FALSE(a == XPoint(2, 2));
    EXPECT_EQ((b - a).Length(), 5.0f);
    EXPECT_EQ(DotProduct(a, b), 16.0f);

    XTextureVertex t(0.25f, 0.5f), s(0.5f, 1.0f);
    XTextureVertex d = s - t;
    EXPECT_EQ(d.u, 0.25f);
    EXPECT_EQ(d.v, 0.5f);
    XTextureVertex e = s + t;
    EXPECT_EQ(e.u, 0.75f);
    EXPECT_EQ(e.v, 1.5f);
    XTextureVertex f = t * 2.0f;
    EXPECT_EQ(f.u, 0.5f);
    EXPECT_EQ(f.v, 1.0f);

    XRect r(0, 0, 10, 10);
    EXPECT_TRUE(r.HasPoint(10, 10));
    EXPECT_TRUE(r.HasPoint(0, 0));
    EXPECT_TRUE(r.HasPoint(5, 5));
    EXPECT_FALSE(r.HasPoint(10.01f, 5));
    EXPECT_FALSE(r.HasPoint(5, -0.01f));

    XRect p(XPoint(1, 2), XPoint(5, 9));
    EXPECT_EQ(p.left, 1.0f);
    EXPECT_EQ(p.top, 2.0f);
    EXPECT_EQ(p.right, 5.0f);
    EXPECT_EQ(p.bottom, 9.0f);
    EXPECT_EQ(p.Width(), 4.0f);
    EXPECT_EQ(p.Height(), 7.0f);

    XEdge edge(3, 7);
    XEdges edges;
    edges.Add(edge);
    edges.Add(XEdge(7, 1));
    EXPECT_EQ(edges[0].a, 3u);
    EXPECT_EQ(edges[0].b, 7u);
    EXPECT_EQ(edges[1].a, 7u);
    XEdge copy(0, 0);
    copy = edges[1];
    EXPECT_EQ(copy.b, 1u);
}

TEST(XVertexTest, PlaneIntersectsLine)
{
    XPlane plane(0, 0, 1, -5); // z = 5
    XVertex out(9, 9, 9);
    ASSERT_TRUE(plane.IntersectLine(out, XVertex(1, 2, 0), XVertex(0, 0, 2)));
    ExpectVertex(out, 1, 2, 5);
    // The line runs both ways: a direction pointing away still meets the plane.
    out = XVertex(9, 9, 9);
    ASSERT_TRUE(plane.IntersectLine(out, XVertex(1, 2, 0), XVertex(0, 0, -1)));
    ExpectVertex(out, 1, 2, 5);
    // A slanted line.
    ASSERT_TRUE(plane.IntersectLine(out, XVertex(0, 0, 1), XVertex(1, 0, 2)));
    ExpectVertex(out, 2, 0, 5);
    // Parallel: false, out untouched.
    out = XVertex(9, 9, 9);
    EXPECT_FALSE(plane.IntersectLine(out, XVertex(1, 2, 0), XVertex(1, 1, 0)));
    ExpectVertex(out, 9, 9, 9);
}

TEST(XVertexTest, BoundingBoxes)
{
    XBoundingBox box(1, 2, 3, 4, 5, 6);
    XVertex c[8];
    box.GetCorners(c);
    ExpectVertex(c[0], 1, 2, 3);
    ExpectVertex(c[1], 1, 2, 6);
    ExpectVertex(c[2], 1, 5, 6);
    ExpectVertex(c[3], 1, 5, 3);
    ExpectVertex(c[4], 4, 2, 6);
    ExpectVertex(c[5], 4, 2, 3);
    ExpectVertex(c[6], 4, 5, 3);
    ExpectVertex(c[7], 4, 5, 6);

    XBoundingBox fromVertices(XVertex(-1, -2, -3), XVertex(1, 2, 3));
    ExpectVertex(fromVertices.min, -1, -2, -3);
    ExpectVertex(fromVertices.max, 1, 2, 3);

    XVertex pts[] = {XVertex(0, 5, 1), XVertex(3, -2, 1), XVertex(-4, 1, 7), XVertex(2, 8, -6), XVertex(1, 1, 1)};
    XBoundingBox b = ComputeBoundingBox(pts, 5);
    ExpectVertex(b.min, -4, -2, -6);
    ExpectVertex(b.max, 3, 8, 7);

    b = ComputeBoundingBox(pts, 1);
    ExpectVertex(b.min, 0, 5, 1);
    ExpectVertex(b.max, 0, 5, 1);

    // An empty set reads nothing and gives the zero box.
    b = ComputeBoundingBox(nullptr, 0);
    ExpectVertex(b.min, 0, 0, 0);
    ExpectVertex(b.max, 0, 0, 0);
}

TEST(XVertexTest, PointInTriangleXY)
{
    // Two edges are axis-parallel, one of them vertical.
    XVertex a(0, 0, 0), b(4, 0, 0), c(0, 4, 0);
    EXPECT_TRUE(TriangleHasPointXY(a, b, c, XVertex(1, 1, 0)));
    EXPECT_TRUE(TriangleHasPointXY(a, b, c, XVertex(1, 1, 99))); // z is ignored
    EXPECT_TRUE(TriangleHasPointXY(a, b, c, XVertex(2, 2, 0)));  // on the slanted edge
    EXPECT_TRUE(TriangleHasPointXY(a, b, c, XVertex(0, 2, 0)));  // on the vertical edge
    EXPECT_TRUE(TriangleHasPointXY(a, b, c, XVertex(0, 0, 0)));  // a corner
    EXPECT_FALSE(TriangleHasPointXY(a, b, c, XVertex(3, 3, 0)));
    EXPECT_FALSE(TriangleHasPointXY(a, b, c, XVertex(-0.1f, 1, 0)));
    EXPECT_FALSE(TriangleHasPointXY(a, b, c, XVertex(1, -0.1f, 0)));
    // The winding does not matter.
    EXPECT_TRUE(TriangleHasPointXY(a, c, b, XVertex(1, 1, 0)));
    EXPECT_FALSE(TriangleHasPointXY(a, c, b, XVertex(3, 3, 0)));
    // A general triangle.
    XVertex p(1, 1, 0), q(5, 2, 0), r(2, 6, 0);
    EXPECT_TRUE(TriangleHasPointXY(p, q, r, XVertex(2.5f, 3, 0)));
    EXPECT_FALSE(TriangleHasPointXY(p, q, r, XVertex(1, 5, 0)));
    EXPECT_FALSE(TriangleHasPointXY(p, q, r, XVertex(5, 5, 0)));
}

TEST(XVertexTest, PointInPolygonXY)
{
    XVertex square[] = {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(1, 1, 0), XVertex(0, 1, 0)};
    EXPECT_TRUE(PolygonHasPointXY(square, 4, XVertex(0.5f, 0.5f, 0)));
    EXPECT_FALSE(PolygonHasPointXY(square, 4, XVertex(1.5f, 0.5f, 0)));
    EXPECT_FALSE(PolygonHasPointXY(square, 4, XVertex(-0.5f, 0.5f, 0)));
    EXPECT_FALSE(PolygonHasPointXY(square, 4, XVertex(0.5f, 1.5f, 0)));
    EXPECT_FALSE(PolygonHasPointXY(square, 0, XVertex(0.5f, 0.5f, 0)));

    // A U shape: the notch is outside, both arms inside.
    XVertex u[] = {XVertex(0, 0, 0), XVertex(3, 0, 0), XVertex(3, 3, 0), XVertex(2, 3, 0),
                   XVertex(2, 1, 0), XVertex(1, 1, 0), XVertex(1, 3, 0), XVertex(0, 3, 0)};
    EXPECT_FALSE(PolygonHasPointXY(u, 8, XVertex(1.5f, 2, 0)));
    EXPECT_TRUE(PolygonHasPointXY(u, 8, XVertex(0.5f, 2, 0)));
    EXPECT_TRUE(PolygonHasPointXY(u, 8, XVertex(2.5f, 2, 0)));
    EXPECT_TRUE(PolygonHasPointXY(u, 8, XVertex(1.5f, 0.5f, 0)));
}

TEST(XVertexTest, RayTriangleIntersection)
{
    // Seen from -z this triangle is a front face.
    XVertex v0(0, 0, 0), v1(0, 1, 0), v2(1, 0, 0);
    float t = 0, u = 0, v = 0;
    ASSERT_TRUE(IntersectTriangle(XVertex(0.25f, 0.25f, -1), XVertex(0, 0, 1), v0, v1, v2, t, u, v));
    EXPECT_FLOAT_EQ(t, 1.0f);
    EXPECT_FLOAT_EQ(u, 0.25f);
    EXPECT_FLOAT_EQ(v, 0.25f);
    EXPECT_TRUE(IntersectTriangle(XVertex(0.25f, 0.25f, -1), XVertex(0, 0, 1), v0, v1, v2));

    // u and v are the weights of v1 and v2; t scales with the direction's length.
    ASSERT_TRUE(IntersectTriangle(XVertex(0.6f, 0.1f, -3), XVertex(0, 0, 2), v0, v1, v2, t, u, v));
    EXPECT_FLOAT_EQ(t, 1.5f);
    EXPECT_FLOAT_EQ(u, 0.1f);
    EXPECT_FLOAT_EQ(v, 0.6f);

    // The back face misses.
    t = u = v = 7;
    EXPECT_FALSE(IntersectTriangle(XVertex(0.25f, 0.25f, 1), XVertex(0, 0, -1), v0, v1, v2, t, u, v));
    EXPECT_EQ(t, 7.0f); // outputs untouched on a miss
    EXPECT_FALSE(IntersectTriangle(XVertex(0.25f, 0.25f, 1), XVertex(0, 0, -1), v0, v1, v2));

    // A triangle behind the origin still hits, with a negative t.
    ASSERT_TRUE(IntersectTriangle(XVertex(0.25f, 0.25f, 1), XVertex(0, 0, 1), v0, v1, v2, t, u, v));
    EXPECT_FLOAT_EQ(t, -1.0f);

    // Outside the triangle, edge-on, or a direction that is not a number.
    EXPECT_FALSE(IntersectTriangle(XVertex(1, 1, -1), XVertex(0, 0, 1), v0, v1, v2));
    EXPECT_FALSE(IntersectTriangle(XVertex(-0.1f, 0.5f, -1), XVertex(0, 0, 1), v0, v1, v2));
    EXPECT_FALSE(IntersectTriangle(XVertex(-1, 0.25f, 0), XVertex(1, 0, 0), v0, v1, v2));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(IntersectTriangle(XVertex(0.25f, 0.25f, -1), XVertex(nan, 0, 1), v0, v1, v2));

    // Edges and corners count as hits.
    ASSERT_TRUE(IntersectTriangle(XVertex(0, 0.5f, -1), XVertex(0, 0, 1), v0, v1, v2, t, u, v));
    EXPECT_FLOAT_EQ(u, 0.5f);
    EXPECT_FLOAT_EQ(v, 0.0f);
    EXPECT_TRUE(IntersectTriangle(XVertex(0.5f, 0.5f, -1), XVertex(0, 0, 1), v0, v1, v2));
}
