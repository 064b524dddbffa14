#include "Components/XBSpline.h"

#include "tests/support/MathChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace
{
std::vector<float> Knots(unsigned n, unsigned c)
{
    std::vector<float> x(n + c + 1, -1.0f);
    KnotVector(n, c, x.data());
    return x;
}

std::vector<float> Basis(unsigned c, float t, unsigned n)
{
    std::vector<float> x = Knots(n, c);
    std::vector<float> N(n, -1.0f);
    BasisFunctions(c, t, n, x.data(), N.data());
    return N;
}
} // namespace

TEST(XBSplineTest, CheckedArray)
{
    Array<float> a(3, 2.5f);
    EXPECT_EQ(a.GetCount(), 3u);
    EXPECT_EQ(a[0], 2.5f);
    EXPECT_EQ(a[2], 2.5f);
    a[1] = 7;
    EXPECT_EQ(a.GetData()[1], 7.0f);
    try
    {
        a[3] = 1;
        FAIL() << "no exception";
    }
    catch (const char* text)
    {
        EXPECT_STREQ(text, "Out of bounds.");
    }
    const Array<float>& ca = a;
    EXPECT_THROW(ca[100], const char*);
    Array<float> empty(0, 1.0f);
    EXPECT_EQ(empty.GetData(), nullptr);
    EXPECT_THROW(empty[0], const char*);
}

TEST(XBSplineTest, KnotVectors)
{
    EXPECT_EQ(Knots(4, 3), (std::vector<float>{0, 0, 0, 1, 2, 2, 2, 2}));
    EXPECT_EQ(Knots(3, 3), (std::vector<float>{0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(Knots(5, 2), (std::vector<float>{0, 0, 1, 2, 3, 4, 4, 4}));
    EXPECT_EQ(Knots(6, 4), (std::vector<float>{0, 0, 0, 0, 1, 2, 3, 3, 3, 3, 3}));
    EXPECT_EQ(Knots(3, 1), (std::vector<float>{0, 1, 2, 3, 3}));
}

TEST(XBSplineTest, BasisValues)
{
    // Clamped ends.
    EXPECT_EQ(Basis(3, 0, 4), (std::vector<float>{1, 0, 0, 0}));
    EXPECT_EQ(Basis(3, 2, 4), (std::vector<float>{0, 0, 0, 1}));

    // Repeated addition of the step can carry the parameter a hair past the end: the last point
    // still takes the whole weight.
    std::vector<float> n = Basis(3, std::nextafter(2.0f, 3.0f), 4);
    EXPECT_NEAR(n[0], 0.0f, 1e-6f);
    EXPECT_NEAR(n[1], 0.0f, 1e-6f);
    EXPECT_NEAR(n[2], 0.0f, 1e-6f);
    EXPECT_NEAR(n[3], 1.0f, 1e-6f);

    // Quadratic pieces over the knots 0 0 0 1 2 2 2, by hand: on [0, 1) the values are
    // (1 - t)^2, 2t - 3t^2/2, t^2/2, 0.
    n = Basis(3, 0.5f, 4);
    EXPECT_FLOAT_EQ(n[0], 0.25f);
    EXPECT_FLOAT_EQ(n[1], 0.625f);
    EXPECT_FLOAT_EQ(n[2], 0.125f);
    EXPECT_EQ(n[3], 0.0f);
    n = Basis(3, 1.5f, 4);
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_FLOAT_EQ(n[1], 0.125f);
    EXPECT_FLOAT_EQ(n[2], 0.625f);
    EXPECT_FLOAT_EQ(n[3], 0.25f);
    n = Basis(3, 1.0f, 4); // a knot: the two middle functions meet at 1/2
    EXPECT_EQ(n[0], 0.0f);
    EXPECT_FLOAT_EQ(n[1], 0.5f);
    EXPECT_FLOAT_EQ(n[2], 0.5f);
    EXPECT_EQ(n[3], 0.0f);

    // Linear pieces: hat functions.
    n = Basis(2, 1.25f, 4);
    EXPECT_EQ(n, (std::vector<float>{0, 0.75f, 0.25f, 0}));
    // Order 1: the span's own point.
    n = Basis(1, 1.5f, 3);
    EXPECT_EQ(n, (std::vector<float>{0, 1, 0}));
    n = Basis(1, 3.0f, 3);
    EXPECT_EQ(n, (std::vector<float>{0, 0, 1}));

    // Partition of unity, non-negative, at sampled parameters over the whole range.
    const unsigned cases[][2] = {{4, 3}, {3, 3}, {5, 2}, {6, 4}, {7, 1}, {9, 3}, {5, 5}};
    for (const auto& c : cases)
    {
        unsigned count = c[0], order = c[1];
        float last = static_cast<float>(count - order + 1);
        for (int k = 0; k <= 200; ++k)
        {
            float t = last * static_cast<float>(k) / 200.0f;
            std::vector<float> b = Basis(order, t, count);
            float sum = 0;
            for (float v : b)
            {
                EXPECT_GE(v, 0.0f);
                sum += v;
            }
            ASSERT_NEAR(sum, 1.0f, 1e-5f) << "count " << count << " order " << order << " t " << t;
        }
    }
}

TEST(XBSplineTest, SurfaceInterpolatesCorners)
{
    // 3 x 3 control points, order 3, all weights 1, on a 2 x 2 output grid.
    XVertex pts[9];
    float w[9];
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
        {
            pts[3 * j + i] = XVertex(float(i), float(j), float(i * j) + 0.5f * float(i));
            w[3 * j + i] = 1;
        }
    XVertex out[4];
    EvaluateBSplineSurface(pts, w, 3, 3, 3, 3, 2, 2, out);
    ExpectVertex(out[0], pts[0]);
    ExpectVertex(out[1], pts[2]);
    ExpectVertex(out[2], pts[6]);
    ExpectVertex(out[3], pts[8]);

    // A larger, uneven grid with varied weights: corners still interpolate, rows run in u.
    const unsigned cu = 5, cv = 4, su = 7, sv = 9;
    std::vector<XVertex> grid(cu * cv);
    std::vector<float> weights(cu * cv);
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> jitter(-0.3f, 0.3f), weight(0.5f, 3.0f);
    for (unsigned j = 0; j < cv; ++j)
        for (unsigned i = 0; i < cu; ++i)
        {
            grid[cu * j + i] = XVertex(float(i) + jitter(rng), float(j) + jitter(rng), jitter(rng));
            weights[cu * j + i] = weight(rng);
        }
    std::vector<XVertex> res(su * sv);
    EvaluateBSplineSurface(grid.data(), weights.data(), 3, 3, cu, cv, su, sv, res.data());
    ExpectVertex(res[0], grid[0], 1e-5f);
    ExpectVertex(res[su - 1], grid[cu - 1], 1e-5f);
    ExpectVertex(res[su * (sv - 1)], grid[cu * (cv - 1)], 1e-5f);
    ExpectVertex(res[su * sv - 1], grid[cu * cv - 1], 1e-5f);
    // Every point is a convex combination: inside the control points' box.
    XBoundingBox box = ComputeBoundingBox(grid.data(), cu * cv);
    for (const XVertex& p : res)
    {
        EXPECT_GE(p.x, box.min.x);
        EXPECT_LE(p.x, box.max.x);
        EXPECT_GE(p.z, box.min.z);
        EXPECT_LE(p.z, box.max.z);
    }

    // A flat grid gives a flat surface, increasing along each row.
    std::vector<XVertex> flat(cu * cv);
    std::vector<float> ones(cu * cv, 1.0f);
    for (unsigned j = 0; j < cv; ++j)
        for (unsigned i = 0; i < cu; ++i)
            flat[cu * j + i] = XVertex(float(i), float(j), 2.0f);
    EvaluateBSplineSurface(flat.data(), ones.data(), 3, 2, cu, cv, su, sv, res.data());
    for (unsigned r = 0; r < sv; ++r)
        for (unsigned s = 0; s < su; ++s)
        {
            EXPECT_NEAR(res[su * r + s].z, 2.0f, 1e-6f);
            if (s > 0)
            {
                EXPECT_GT(res[su * r + s].x, res[su * r + s - 1].x);
            }
            if (r > 0)
            {
                EXPECT_GT(res[su * r + s].y, res[su * (r - 1) + s].y);
            }
        }
}

TEST(XBSplineTest, SurfaceWeights)
{
    XVertex pts[9];
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            pts[3 * j + i] = XVertex(float(i), float(j), i == 1 && j == 1 ? 3.0f : 0.0f);

    // All weights 0: every point is (0, 0, 0).
    float zero[9] = {};
    XVertex out[9];
    for (XVertex& p : out)
        p = XVertex(5, 5, 5);
    EvaluateBSplineSurface(pts, zero, 3, 3, 3, 3, 3, 3, out);
    for (const XVertex& p : out)
        ExpectVertex(p, XVertex(0, 0, 0));

    // A heavier centre weight pulls the middle of the surface towards the centre point.
    float light[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    float heavy[9] = {1, 1, 1, 1, 4, 1, 1, 1, 1};
    XVertex a[9], b[9];
    EvaluateBSplineSurface(pts, light, 3, 3, 3, 3, 3, 3, a);
    EvaluateBSplineSurface(pts, heavy, 3, 3, 3, 3, 3, 3, b);
    // At the middle parameter the centre's basis product is 1/4 of the whole: z = 3/4, then with
    // weight 4: 3 * 4 * 1/4 / (3/4 + 4/4) = 12/7.
    EXPECT_FLOAT_EQ(a[4].z, 0.75f);
    EXPECT_FLOAT_EQ(b[4].z, 12.0f / 7.0f);
    EXPECT_NEAR(a[4].x, 1.0f, 1e-6f);
    EXPECT_NEAR(b[4].y, 1.0f, 1e-6f);
    // Corners stay on their control points whatever the weights.
    ExpectVertex(b[0], pts[0]);
    ExpectVertex(b[8], pts[8]);
}

TEST(XBSplineTest, DegenerateGrids)
{
    XVertex pts[4] = {XVertex(0, 0, 0), XVertex(1, 0, 0), XVertex(0, 1, 0), XVertex(1, 1, 1)};
    float w[4] = {1, 1, 1, 1};
    // One step in u evaluates u = 0 only: the first column.
    XVertex out[2];
    EvaluateBSplineSurface(pts, w, 2, 2, 2, 2, 1, 2, out);
    ExpectVertex(out[0], pts[0]);
    ExpectVertex(out[1], pts[2]);
    XVertex single;
    EvaluateBSplineSurface(pts, w, 2, 2, 2, 2, 1, 1, &single);
    ExpectVertex(single, pts[0]);

    // No control points: zeros, and nothing read.
    XVertex empty[4];
    for (XVertex& p : empty)
        p = XVertex(5, 5, 5);
    EvaluateBSplineSurface(nullptr, nullptr, 3, 3, 0, 3, 2, 2, empty);
    for (const XVertex& p : empty)
        ExpectVertex(p, XVertex(0, 0, 0));

    // No output steps: nothing written.
    XVertex guard(7, 7, 7);
    EvaluateBSplineSurface(pts, w, 2, 2, 2, 2, 0, 3, &guard);
    ExpectVertex(guard, XVertex(7, 7, 7));

    // An order above the point count is not supported, but stays within its arrays.
    XVertex over[4];
    EvaluateBSplineSurface(pts, w, 4, 4, 2, 2, 2, 2, over);
    for (const XVertex& p : over)
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
}
