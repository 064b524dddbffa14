#include "Components/XMatrix.h"

#include "tests/support/MathChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>

namespace
{
constexpr float kPi = std::numbers::pi_v<float>;

float MaxAbs(const XMatrix& a)
{
    float d = 0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            d = std::fmax(d, std::fabs(a.m[r][c]));
    return d;
}

bool AllFinite(const XMatrix& m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(m.m[r][c]))
                return false;
    return true;
}

// Sixteen floats, row by row.
XMatrix FromRows(const float* v)
{
    XMatrix m;
    std::memcpy(m.m, v, sizeof m.m);
    return m;
}

// The sum over k of a(r, k) b(k, c), written out independently of the unit.
XMatrix Product(const XMatrix& a, const XMatrix& b)
{
    XMatrix p;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
        {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += double(a.m[r][k]) * b.m[k][c];
            p.m[r][c] = float(s);
        }
    return p;
}
} // namespace

TEST(XMatrixTest, LayoutAndBuilders)
{
    XMatrix id(1.0f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(id.m[r][c], r == c ? 1.0f : 0.0f);

    // Row-major floats with the translation at 12, 13, 14, as the device reads them.
    XMatrix t;
    t.SetTranslation(1, 2, 3);
    float raw[16];
    std::memcpy(raw, &t, sizeof raw);
    EXPECT_EQ(raw[12], 1.0f);
    EXPECT_EQ(raw[13], 2.0f);
    EXPECT_EQ(raw[14], 3.0f);
    EXPECT_EQ(raw[15], 1.0f);
    EXPECT_EQ(raw[3], 0.0f);
    ExpectVertex(Apply(t, XVertex(0, 0, 0)), 1, 2, 3, 0);

    XMatrix s;
    s.SetScale(2, 3, 4);
    EXPECT_EQ(s.m[0][0], 2.0f);
    EXPECT_EQ(s.m[1][1], 3.0f);
    EXPECT_EQ(s.m[2][2], 4.0f);
    EXPECT_EQ(s.m[3][3], 1.0f);
    ExpectVertex(Apply(s, XVertex(1, 1, 1)), 2, 3, 4, 0);

    XMatrix r;
    r.SetRotationZ(kPi / 2);
    ExpectVertex(Apply(r, XVertex(1, 0, 0)), 0, 1, 0, 1e-6f);
    EXPECT_FLOAT_EQ(r.m[0][1], 1.0f);
    EXPECT_FLOAT_EQ(r.m[1][0], -1.0f);
    r.SetRotationX(kPi / 2);
    EXPECT_FLOAT_EQ(r.m[1][2], 1.0f);
    EXPECT_FLOAT_EQ(r.m[2][1], -1.0f);
    ExpectVertex(Apply(r, XVertex(0, 1, 0)), 0, 0, 1, 1e-6f);
    r.SetRotationY(kPi / 2);
    EXPECT_FLOAT_EQ(r.m[0][2], -1.0f);
    EXPECT_FLOAT_EQ(r.m[2][0], 1.0f);
    ExpectVertex(Apply(r, XVertex(0, 0, 1)), 1, 0, 0, 1e-6f);
    EXPECT_EQ(r.m[3][3], 1.0f);
    EXPECT_EQ(r.m[1][1], 1.0f);

    // Yaw, pitch and roll: roll first, then pitch, then yaw.
    const float angles[][3] = {{0.3f, -1.1f, 2.0f}, {1.2f, 0.4f, -0.7f}, {-2.5f, 3.0f, 0.1f}};
    for (const auto& a : angles)
    {
        XMatrix rx, ry, rz, full;
        rx.SetRotationX(a[0]);
        ry.SetRotationY(a[1]);
        rz.SetRotationZ(a[2]);
        full.SetRotation(a[0], a[1], a[2]);
        EXPECT_LT(MaxDiff(full, Product(Product(rz, rx), ry)), 1e-6f);
    }
}

TEST(XMatrixTest, ProductOrderAndIncrementalTransforms)
{
    // The translation applies after the scale.
    XMatrix m;
    m.SetScale(2, 2, 2);
    m.Translate(1, 0, 0);
    ExpectVertex(Apply(m, XVertex(1, 0, 0)), 3, 0, 0, 0);

    XMatrix t, s;
    t.SetTranslation(1, 0, 0);
    s.SetScale(2, 2, 2);
    ExpectVertex(Apply(t * s, XVertex(0, 0, 0)), 2, 0, 0, 0);
    ExpectVertex(Apply(s * t, XVertex(0, 0, 0)), 1, 0, 0, 0);

    XMatrix a, b;
    a.SetRotation(0.5f, 1.0f, -0.3f);
    a.m[3][0] = 4;
    b.SetRotation(-1.0f, 0.2f, 2.0f);
    b.m[3][1] = -2;
    XMatrix expected = Product(a, b);
    XMatrix out;
    XMatrix::Multiply(out, a, b);
    EXPECT_LT(MaxDiff(out, expected), 1e-6f);
    // The result may overwrite an operand.
    XMatrix alias = a;
    XMatrix::Multiply(alias, alias, b);
    EXPECT_LT(MaxDiff(alias, expected), 1e-6f);
    alias = b;
    XMatrix::Multiply(alias, a, alias);
    EXPECT_LT(MaxDiff(alias, expected), 1e-6f);
    XMatrix c = a;
    c *= b;
    EXPECT_LT(MaxDiff(c, expected), 1e-6f);

    // Each incremental operation multiplies on the right.
    XMatrix base = a, step;
    base.RotateX(0.7f);
    step.SetRotationX(0.7f);
    EXPECT_LT(MaxDiff(base, Product(a, step)), 1e-6f);
    base = a;
    base.RotateY(0.7f);
    step.SetRotationY(0.7f);
    EXPECT_LT(MaxDiff(base, Product(a, step)), 1e-6f);
    base = a;
    base.RotateZ(0.7f);
    step.SetRotationZ(0.7f);
    EXPECT_LT(MaxDiff(base, Product(a, step)), 1e-6f);
    base = a;
    base.Rotate(0.1f, 0.2f, 0.3f);
    step.SetRotation(0.1f, 0.2f, 0.3f);
    EXPECT_LT(MaxDiff(base, Product(a, step)), 1e-6f);
    base = a;
    base.Scale(2, 3, 4);
    step.SetScale(2, 3, 4);
    EXPECT_LT(MaxDiff(base, Product(a, step)), 1e-6f);

    // Turning and scaling about a point leave that point in place.
    XVertex centre(1, 1, 0);
    XMatrix pivot(1.0f);
    pivot.Rotate(&centre, 0, 0, kPi / 2);
    ExpectVertex(Apply(pivot, centre), 1, 1, 0, 1e-6f);
    ExpectVertex(Apply(pivot, XVertex(2, 1, 0)), 1, 2, 0, 1e-6f);
    XVertex corner(1, 1, 1);
    XMatrix grow(1.0f);
    grow.Scale(&corner, 2, 2, 2);
    ExpectVertex(Apply(grow, corner), 1, 1, 1, 0);
    ExpectVertex(Apply(grow, XVertex(2, 2, 2)), 3, 3, 3, 0);
    ExpectVertex(Apply(grow, XVertex(0, 1, 1)), -1, 1, 1, 0);

    XMatrix tr;
    a.Transpose(tr);
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(tr.m[r][k], a.m[k][r]);
    a.Transpose(a);
    EXPECT_EQ(MaxDiff(a, tr), 0.0f);
}

TEST(XMatrixTest, ApplyToArraysIndicesAndStrides)
{
    XMatrix m;
    m.SetScale(2, 2, 2);
    m.Translate(1, 2, 3);

    XArray<XVertex, 32> pts;
    pts.Add(XVertex(0, 0, 0));
    pts.Add(XVertex(1, 1, 1));
    pts.Add(XVertex(-1, 0, 2));
    XArray<XVertex, 32> all = pts;
    m.ApplyTo(all);
    ExpectVertex(all[0], 1, 2, 3, 0);
    ExpectVertex(all[1], 3, 4, 5, 0);
    ExpectVertex(all[2], -1, 2, 7, 0);

    // An index listed twice is transformed twice; unlisted points stay.
    XArray<unsigned int, 32> idx;
    idx.Add(2);
    idx.Add(0);
    idx.Add(2);
    XArray<XVertex, 32> some = pts;
    m.ApplyTo(some, idx);
    ExpectVertex(some[0], 1, 2, 3, 0);
    ExpectVertex(some[1], 1, 1, 1, 0);
    ExpectVertex(some[2], -1, 6, 17, 0);

    // Masks: only the points whose bit equals the value; past the mask's count a bit reads as 0.
    XBitArray mask;
    mask.SetCount(2);
    mask.SetBit(1, true);
    XArray<XVertex, 32> set = pts;
    m.ApplyTo(set, mask, true);
    ExpectVertex(set[0], 0, 0, 0, 0);
    ExpectVertex(set[1], 3, 4, 5, 0);
    ExpectVertex(set[2], -1, 0, 2, 0);
    XArray<XVertex, 32> clear = pts;
    m.ApplyTo(clear, mask, false);
    ExpectVertex(clear[0], 1, 2, 3, 0);
    ExpectVertex(clear[1], 1, 1, 1, 0);
    ExpectVertex(clear[2], -1, 2, 7, 0);
    XVertex raw[3] = {pts[0], pts[1], pts[2]};
    m.ApplyTo(raw, 2, mask, false); // the count limits the points, not the mask
    ExpectVertex(raw[0], 1, 2, 3, 0);
    ExpectVertex(raw[1], 1, 1, 1, 0);
    ExpectVertex(raw[2], -1, 0, 2, 0);

    // A bad index is refused before anything moves.
    idx.Add(3);
    XArray<XVertex, 32> untouched = pts;
    try
    {
        m.ApplyTo(untouched, idx);
        FAIL() << "no exception";
    }
    catch (const char* text)
    {
        EXPECT_STREQ(text, "Out of range.");
    }
    ExpectVertex(untouched[0], 0, 0, 0, 0);
    ExpectVertex(untouched[2], -1, 0, 2, 0);

    // Interleaved records, placed at an odd address: the other fields are left alone.
    struct Record
    {
        float x, y, z;
        uint32_t colour;
    };
    static_assert(sizeof(Record) == 16);
    unsigned char buffer[1 + 3 * sizeof(Record)];
    const Record in[3] = {{0, 0, 0, 0xAABBCCDD}, {1, 1, 1, 0x11223344}, {-1, 0, 2, 0xDEADBEEF}};
    std::memcpy(buffer + 1, in, sizeof in);
    m.ApplyTo(buffer + 1, 2, sizeof(Record)); // the third record is outside the count
    Record outRec[3];
    std::memcpy(outRec, buffer + 1, sizeof outRec);
    ExpectVertex(XVertex(outRec[0].x, outRec[0].y, outRec[0].z), 1, 2, 3, 0);
    ExpectVertex(XVertex(outRec[1].x, outRec[1].y, outRec[1].z), 3, 4, 5, 0);
    ExpectVertex(XVertex(outRec[2].x, outRec[2].y, outRec[2].z), -1, 0, 2, 0);
    EXPECT_EQ(outRec[0].colour, 0xAABBCCDDu);
    EXPECT_EQ(outRec[1].colour, 0x11223344u);

    // No division by w: a projective column is ignored.
    XMatrix p(1.0f);
    p.m[0][3] = 5;
    p.m[3][3] = 7;
    ExpectVertex(Apply(p, XVertex(1, 2, 3)), 1, 2, 3, 0);
}

TEST(XMatrixTest, InverseOfDiagonalAndExactRotations)
{
    XMatrix d(1.0f);
    d.m[0][0] = 2;
    d.m[1][1] = 4;
    d.m[2][2] = 8;
    XMatrix gj, cof;
    float det = 0;
    d.Inverse(gj);
    EXPECT_EQ(&d.Inverse(cof, &det), &cof);
    EXPECT_EQ(det, 1.0f / 64.0f); // the reciprocal of the determinant
    for (const XMatrix* inv : {&gj, &cof})
    {
        EXPECT_EQ(inv->m[0][0], 0.5f);
        EXPECT_EQ(inv->m[1][1], 0.25f);
        EXPECT_EQ(inv->m[2][2], 0.125f);
        EXPECT_EQ(inv->m[3][3], 1.0f);
        EXPECT_EQ(inv->m[0][1], 0.0f);
        EXPECT_EQ(inv->m[3][0], 0.0f);
    }
    // The det output is optional.
    d.Inverse(cof, nullptr);
    EXPECT_EQ(cof.m[2][2], 0.125f);

    // Exact quarter turns have zeros on the diagonal; the inverse is the transpose.
    const float rotY[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    const float rotX[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
    const float rotZ[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // A cyclic permutation of the axes: every diagonal element is 0.
    const float cycle[16] = {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    for (const auto* rows : {&rotY, &rotX, &rotZ, &cycle})
    {
        XMatrix r = FromRows(*rows), t;
        r.Transpose(t);
        r.Inverse(gj);
        r.Inverse(cof, &det);
        EXPECT_TRUE(AllFinite(gj));
        EXPECT_EQ(MaxDiff(gj, t), 0.0f);
        EXPECT_EQ(MaxDiff(cof, t), 0.0f);
        EXPECT_EQ(std::fabs(det), 1.0f);
    }

    // With a translation the inverse undoes both.
    XMatrix rt = FromRows(rotY);
    rt.Translate(3, -2, 5);
    rt.Inverse(gj);
    rt.Inverse(cof, nullptr);
    XVertex p(0.5f, 1.5f, -2.0f);
    ExpectVertex(Apply(gj, Apply(rt, p)), p.x, p.y, p.z, 1e-6f);
    ExpectVertex(Apply(cof, Apply(rt, p)), p.x, p.y, p.z, 1e-6f);

    // Quarter turns built from the float pi leave tiny, not zero, diagonals.
    XMatrix fy;
    fy.SetRotationY(kPi / 2);
    fy.Inverse(gj);
    XMatrix ft;
    fy.Transpose(ft);
    EXPECT_LT(MaxDiff(gj, ft), 1e-6f);
    fy.Inverse(cof, nullptr);
    EXPECT_LT(MaxDiff(cof, ft), 1e-6f);
}

TEST(XMatrixTest, InverseOfRandomInvertibleMatrices)
{
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<float> angle(-kPi, kPi);
    std::uniform_real_distribution<float> scale(0.5f, 2.0f);
    std::uniform_real_distribution<float> offset(-5.0f, 5.0f);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> coin(0, 1);
    std::uniform_int_distribution<int> quarter(0, 2);
    static const float quarterTurns[3][16] = {{0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1},
                                              {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1},
                                              {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    const XMatrix id(1.0f);
    int general = 0;
    for (int n = 0; n < 400; ++n)
    {
        XMatrix m;
        if (n % 2 == 0)
        {
            // Transforms as nodes and bones build them, some mirrored; every fourth one a whole
            // number of quarter turns, so with zeros on the diagonal.
            m.SetScale(scale(rng) * (coin(rng) ? -1.0f : 1.0f), scale(rng), scale(rng));
            if (n % 4 == 0)
            {
                m *= FromRows(quarterTurns[quarter(rng)]);
            }
            else
                m.Rotate(angle(rng), angle(rng), angle(rng));
            m.Translate(offset(rng), offset(rng), offset(rng));
        }
        else
        {
            // General matrices, projective column included, kept away from singular.
            XMatrix t;
            do
            {
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c)
                        m.m[r][c] = unit(rng);
                m.Inverse(t, nullptr);
            } while (MaxDiff(t, XMatrix(1.0f)) > 20.0f);
            ++general;
        }
        XMatrix gj, cof;
        m.Inverse(gj);
        m.Inverse(cof, nullptr);
        ASSERT_LT(MaxDiff(Product(gj, m), id), 1e-5f) << "matrix " << n;
        ASSERT_LT(MaxDiff(Product(m, gj), id), 1e-5f) << "matrix " << n;
        ASSERT_LT(MaxDiff(Product(cof, m), id), 1e-5f) << "matrix " << n;
        // Agreement relative to the size of the inverse's elements.
        ASSERT_LT(MaxDiff(cof, gj), 1e-5f * (1.0f + MaxAbs(gj))) << "matrix " << n;
    }
    EXPECT_EQ(general, 200);
}

TEST(XMatrixTest, InverseOfSingularAndUnderflowingMatrices)
{
    // A singular matrix cannot invert: both forms say so with non-finite elements.
    XMatrix flat(1.0f);
    flat.m[2][2] = 0;
    XMatrix gj, cof;
    float det = 0;
    flat.Inverse(gj);
    flat.Inverse(cof, &det);
    EXPECT_FALSE(AllFinite(gj));
    EXPECT_FALSE(AllFinite(cof));
    EXPECT_FALSE(gj.IsFinite());
    EXPECT_FALSE(cof.IsFinite());
    EXPECT_TRUE(flat.IsFinite());
    XMatrix one = flat;
    one.m[3][3] = std::nanf("");
    EXPECT_FALSE(one.IsFinite());
    EXPECT_TRUE(std::isinf(det));

    // Tiny scales: the float determinant underflows to 0, yet the matrix inverts.
    XMatrix tiny;
    tiny.SetScale(1e-20f, 1e-20f, 1e-20f);
    tiny.Inverse(cof, &det);
    EXPECT_TRUE(std::isinf(det));
    ASSERT_TRUE(AllFinite(cof));
    EXPECT_TRUE(cof.IsFinite());
    EXPECT_FLOAT_EQ(cof.m[0][0], 1e20f);
    EXPECT_FLOAT_EQ(cof.m[2][2], 1e20f);
    EXPECT_EQ(cof.m[3][3], 1.0f);
}

TEST(XMatrixTest, ReflectionViewAndProjections)
{
    XMatrix m;
    m.Reflect(XPlane(0, 1, 0, 0));
    ExpectVertex(Apply(m, XVertex(1, 2, 3)), 1, -2, 3, 0);
    m.Reflect(XPlane(0, 1, 0, -1)); // y = 1
    ExpectVertex(Apply(m, XVertex(1, 3, 0)), 1, -1, 0, 0);
    EXPECT_EQ(m.m[3][1], 2.0f);
    EXPECT_EQ(m.m[1][3], 0.0f);
    // The plane is taken as given: a normal of length 2 is not normalised.
    m.Reflect(XPlane(2, 0, 0, 0));
    EXPECT_EQ(m.m[0][0], -7.0f);

    // Looking down +z from z = -5: left-handed, the eye's forward is +z.
    XMatrix v;
    v.SetViewMatrix(XVertex(0, 0, -5), XVertex(0, 0, 0), XVertex(0, 1, 0));
    ExpectVertex(Apply(v, XVertex(0, 0, 0)), 0, 0, 5, 1e-6f);
    ExpectVertex(Apply(v, XVertex(1, 2, 0)), 1, 2, 5, 1e-6f);
    EXPECT_EQ(v.m[0][3], 0.0f);
    EXPECT_EQ(v.m[3][3], 1.0f);
    // From +x looking back at the origin: +z of the world is to the right.
    v.SetViewMatrix(XVertex(5, 0, 0), XVertex(0, 0, 0), XVertex(0, 2, 0));
    ExpectVertex(Apply(v, XVertex(0, 0, 1)), 1, 0, 5, 1e-6f);
    ExpectVertex(Apply(v, XVertex(0, 1, 0)), 0, 1, 5, 1e-6f);
    EXPECT_FLOAT_EQ(v.m[0][2], -1.0f);

    XMatrix o;
    o.SetOrthogonalProjection(0, 4, -1, 3, 1, 11);
    EXPECT_FLOAT_EQ(o.m[0][0], 0.5f);
    EXPECT_FLOAT_EQ(o.m[1][1], 0.5f);
    EXPECT_FLOAT_EQ(o.m[2][2], 0.1f);
    EXPECT_FLOAT_EQ(o.m[3][0], -1.0f);
    EXPECT_FLOAT_EQ(o.m[3][1], -0.5f);
    EXPECT_FLOAT_EQ(o.m[3][2], -0.1f);
    ExpectVertex(Apply(o, XVertex(0, -1, 1)), -1, -1, 0, 1e-6f);
    ExpectVertex(Apply(o, XVertex(4, 3, 11)), 1, 1, 1, 1e-6f);
    o.SetOrthogonalProjection(4, 2, 1, 11);
    EXPECT_FLOAT_EQ(o.m[0][0], 0.5f);
    EXPECT_FLOAT_EQ(o.m[1][1], 1.0f);
    EXPECT_FLOAT_EQ(o.m[2][2], 0.1f);
    EXPECT_FLOAT_EQ(o.m[3][2], -0.1f);
    EXPECT_EQ(o.m[3][0], 0.0f);
    EXPECT_EQ(o.m[3][3], 1.0f);

    XMatrix p;
    p.SetPerspectiveProjection(2, 2, 1, 100);
    EXPECT_FLOAT_EQ(p.m[0][0], 1.0f);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f);
    EXPECT_FLOAT_EQ(p.m[2][2], 100.0f / 99.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], -100.0f / 99.0f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    EXPECT_EQ(p.m[0][1], 0.0f);
    // Depth after the divide by w: 0 at the near plane, 1 at the far plane.
    auto depth = [&](float z) { return (z * p.m[2][2] + p.m[3][2]) / (z * p.m[2][3] + p.m[3][3]); };
    EXPECT_NEAR(depth(1), 0.0f, 1e-6f);
    EXPECT_NEAR(depth(100), 1.0f, 1e-6f);

    p.SetPerspectiveFOVProjection(kPi / 2, 2, 1, 101);
    EXPECT_FLOAT_EQ(p.m[0][0], 0.5f);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f);
    EXPECT_FLOAT_EQ(p.m[2][2], 1.01f);
    EXPECT_FLOAT_EQ(p.m[3][2], -1.01f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    p.SetPerspectiveFOVProjection(kPi / 3, 1, 0.5f, 50);
    EXPECT_FLOAT_EQ(p.m[1][1], std::sqrt(3.0f));
}
