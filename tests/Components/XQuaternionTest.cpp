#include "Components/XQuaternion.h"

#include "tests/support/MathChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace
{
constexpr float kPi = std::numbers::pi_v<float>;

void ExpectQuat(const XQuaternion& q, float x, float y, float z, float w, float eps = 1e-6f)
{
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
    EXPECT_NEAR(q.w, w, eps);
}

bool Finite(const XQuaternion& q)
{
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

// Rotation by angle about a unit axis, written out by hand.
XQuaternion AxisQuat(float ax, float ay, float az, float angle)
{
    float s = std::sin(angle / 2);
    return XQuaternion(ax * s, ay * s, az * s, std::cos(angle / 2));
}
} // namespace

TEST(XQuaternionTest, ConstructionAndArithmetic)
{
    XQuaternion id;
    ExpectQuat(id, 0, 0, 0, 1, 0);
    const float f[4] = {1, 2, 3, 4};
    XQuaternion a(f);
    ExpectQuat(a, 1, 2, 3, 4, 0);
    const float* p = a;
    EXPECT_EQ(p[2], 3.0f);
    float* mp = a;
    mp[3] = 5;
    EXPECT_EQ(a.w, 5.0f);
    a.Identity();
    ExpectQuat(a, 0, 0, 0, 1, 0);

    XQuaternion q(1, 2, 3, 4), r(0.5f, -1, 2, 0);
    ExpectQuat(q + r, 1.5f, 1, 5, 4, 0);
    ExpectQuat(q - r, 0.5f, 3, 1, 4, 0);
    ExpectQuat(q * 2.0f, 2, 4, 6, 8, 0);
    ExpectQuat(q / 4.0f, 0.25f, 0.5f, 0.75f, 1, 0);
    ExpectQuat(-q, -1, -2, -3, -4, 0);
    ExpectQuat(+q, 1, 2, 3, 4, 0);
    XQuaternion c = q;
    c += r;
    c -= r;
    EXPECT_TRUE(c == q);
    c *= 3.0f;
    c /= 3.0f;
    ExpectQuat(c, 1, 2, 3, 4, 1e-6f);
    EXPECT_TRUE(q != r);
    EXPECT_FALSE(q != XQuaternion(1, 2, 3, 4));
    EXPECT_FALSE(q == XQuaternion(1, 2, 3, 4.0001f));

    EXPECT_EQ(q.LengthSquare(), 30.0f);
    EXPECT_FLOAT_EQ(q.Length(), std::sqrt(30.0f));
    EXPECT_EQ(q.DotProduct(r), 0.5f - 2 + 6 + 0);
    XQuaternion n = Normalize(XQuaternion(0, 3, 0, 4));
    ExpectQuat(n, 0, 0.6f, 0, 0.8f);
    XQuaternion zero(0, 0, 0, 0);
    zero.Normalize();
    ExpectQuat(zero, 0, 0, 0, 0, 0);

    // Hamilton product by hand: i * j = k, and the order matters.
    XQuaternion i(1, 0, 0, 0), j(0, 1, 0, 0);
    ExpectQuat(i * j, 0, 0, -1, 0, 0); // this = j (x) i
    ExpectQuat(j * i, 0, 0, 1, 0, 0);
    XQuaternion g(1, 2, 3, 4), h(5, 6, 7, 8);
    // h (x) g = (hw g + gw h + h x g, hw gw - h . g)
    ExpectQuat(g * h, 8 * 1 + 4 * 5 + (6 * 3 - 7 * 2), 8 * 2 + 4 * 6 + (7 * 1 - 5 * 3),
               8 * 3 + 4 * 7 + (5 * 2 - 6 * 1), 32 - (5 + 12 + 21), 0);

    // "this then q": the matrices compose in the same order.
    XQuaternion qa = AxisQuat(1, 0, 0, 0.8f), qb = AxisQuat(0, 0.6f, 0.8f, -1.3f);
    XMatrix ma, mb, mab;
    GxMath::QuatToMatrix(qa, ma);
    GxMath::QuatToMatrix(qb, mb);
    GxMath::QuatToMatrix(qa * qb, mab);
    EXPECT_LT(MaxDiff(mab, ma * mb), 1e-6f);
}

TEST(XQuaternionTest, Slerp)
{
    XQuaternion a = AxisQuat(0, 0, 1, 0.2f), b = AxisQuat(0, 1, 0, 1.4f);
    EXPECT_TRUE(a.Slerp(b, 0) == a);
    XQuaternion end = a.Slerp(b, 1);
    ExpectQuat(end, b.x, b.y, b.z, b.w);
    // Halfway keeps unit length and lies at equal angles from both ends.
    XQuaternion mid = a.Slerp(b, 0.5f);
    EXPECT_NEAR(mid.Length(), 1.0f, 1e-6f);
    EXPECT_NEAR(mid.DotProduct(a), mid.DotProduct(b), 1e-6f);

    // The shorter arc: -q is the same rotation, and the path goes the short way to it.
    XQuaternion id;
    XQuaternion far = -AxisQuat(0, 0, 1, kPi / 2);
    ExpectQuat(id.Slerp(far, 1), 0, 0, std::sin(kPi / 4), std::cos(kPi / 4));
    ExpectQuat(id.Slerp(far, 0.5f), 0, 0, std::sin(kPi / 8), std::cos(kPi / 8));
    EXPECT_TRUE(id.Slerp(far, 0) == id);

    // Closer than 1 - cos = 0.01745 the interpolation is linear.
    XQuaternion n1 = AxisQuat(1, 0, 0, 0.1f), n2 = AxisQuat(1, 0, 0, 0.2f);
    XQuaternion lin = n1.Slerp(n2, 0.25f);
    XQuaternion expected = n1 * 0.75f + n2 * 0.25f;
    ExpectQuat(lin, expected.x, expected.y, expected.z, expected.w, 0);
    // Past the threshold the arc is used.
    XQuaternion s2 = AxisQuat(1, 0, 0, 0.6f);
    XQuaternion arc = n1.Slerp(s2, 0.5f);
    ExpectQuat(arc, std::sin(0.175f), 0, 0, std::cos(0.175f));
    // Equal quaternions whose dot product rounds past 1 stay finite.
    XQuaternion u = Normalize(XQuaternion(0.3f, 0.5f, 0.7f, 0.4f));
    EXPECT_TRUE(Finite(u.Slerp(u, 0.5f)));
}

TEST(XQuaternionTest, MatrixConversions)
{
    XMatrix id(1.0f);
    XQuaternion q;
    q = id;
    ExpectQuat(q, 0, 0, 0, 1, 0);

    XMatrix ry;
    ry.SetRotationY(0.8f);
    q = ry;
    ExpectQuat(q, 0, std::sin(0.4f), 0, std::cos(0.4f));

    // Every branch: a positive trace, and the largest diagonal element in each position.
    const float big = 3.0f;
    struct Case
    {
        float x, y, z;
    } axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.6f, 0, 0.8f}, {0, 0.8f, -0.6f}};
    for (const Case& c : axes)
    {
        for (float angle : {0.5f, big, -big, kPi})
        {
            XQuaternion expected = AxisQuat(c.x, c.y, c.z, angle);
            XMatrix m;
            GxMath::QuatToMatrix(expected, m);
            XQuaternion got;
            got = m;
            if (got.DotProduct(expected) < 0)
                got = -got;
            ExpectQuat(got, expected.x, expected.y, expected.z, expected.w, 2e-6f);
            // And back again.
            XMatrix back;
            GxMath::QuatToMatrix(got, back);
            EXPECT_LT(MaxDiff(back, m), 2e-6f);
        }
    }

    // Matrices built by the matrix unit come back through the quaternion.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> angle(-kPi, kPi);
    for (int n = 0; n < 200; ++n)
    {
        XMatrix m;
        m.SetRotation(angle(rng), angle(rng), angle(rng));
        XQuaternion r;
        r = m;
        EXPECT_NEAR(r.Length(), 1.0f, 1e-5f);
        XMatrix back;
        GxMath::QuatToMatrix(r, back);
        ASSERT_LT(MaxDiff(back, m), 1e-5f) << n;
        // The matrix assignment and the second form give the transpose.
        XMatrix assigned, second, transposed;
        assigned = r;
        GxMath::QuatToMatrix2(r, second);
        m.Transpose(transposed);
        ASSERT_LT(MaxDiff(assigned, transposed), 1e-5f) << n;
        ASSERT_LT(MaxDiff(second, assigned), 1e-6f) << n;
    }

    // Half a turn about x, built exactly: the trace is -1.
    XMatrix half(1.0f);
    half.m[1][1] = -1;
    half.m[2][2] = -1;
    q = half;
    ExpectQuat(q, 1, 0, 0, 0, 0);

    // The first form applied to a point turns it the way the quaternion's matrix does.
    XMatrix qm;
    GxMath::QuatToMatrix(AxisQuat(0, 0, 1, kPi / 2), qm);
    ExpectVertex(Apply(qm, XVertex(1, 0, 0)), 0, 1, 0, 1e-6f);
    EXPECT_EQ(qm.m[3][3], 1.0f);
    EXPECT_EQ(qm.m[0][3], 0.0f);
    EXPECT_EQ(qm.m[3][0], 0.0f);
}

TEST(XQuaternionTest, EulerConversions)
{
    XQuaternion q;
    q = XVertex(0.6f, 0, 0);
    ExpectQuat(q, std::sin(0.3f), 0, 0, std::cos(0.3f));

    // The turn about x first, then about y, then about z.
    const XVertex eulers[] = {XVertex(0.3f, -1.1f, 2.0f), XVertex(1.2f, 0.4f, -0.7f), XVertex(-2.5f, 3.0f, 0.1f)};
    for (const XVertex& e : eulers)
    {
        XQuaternion qx = AxisQuat(1, 0, 0, e.x), qy = AxisQuat(0, 1, 0, e.y), qz = AxisQuat(0, 0, 1, e.z);
        XQuaternion composed = qx * qy * qz;
        XQuaternion raw;
        raw = e;
        ExpectQuat(raw, composed.x, composed.y, composed.z, composed.w);
        XQuaternion n = GxMath::EulerToQuat(e);
        EXPECT_NEAR(n.Length(), 1.0f, 1e-6f);
        ExpectQuat(n, composed.x, composed.y, composed.z, composed.w, 2e-6f);
    }

    // Back from a quaternion: (about x, asin term, atan2 term).
    ExpectVertex(GxMath::QuatToEuler(AxisQuat(1, 0, 0, 0.7f)), 0.7f, 0, 0, 1e-6f);
    ExpectVertex(GxMath::QuatToEuler(AxisQuat(0, 0, 1, 0.7f)), 0, 0.7f, 0, 1e-6f);
    ExpectVertex(GxMath::QuatToEuler(AxisQuat(0, 1, 0, 0.7f)), 0, 0, 0.7f, 1e-6f);
    // A non-unit quaternion gives the same angles.
    ExpectVertex(GxMath::QuatToEuler(AxisQuat(1, 0, 0, 0.7f) * 3.0f), 0.7f, 0, 0, 1e-6f);

    // The gimbal case: x y + z w = 0.5 of the squared length.
    const float s = std::sqrt(0.5f);
    ExpectVertex(GxMath::QuatToEuler(XQuaternion(0, 0, s, s)), 0, kPi / 2, 0, 1e-6f);
    ExpectVertex(GxMath::QuatToEuler(XQuaternion(0, 0, 2, 2)), 0, kPi / 2, 0, 1e-6f);
    ExpectVertex(GxMath::QuatToEuler(XQuaternion(0.5f, 0.5f, 0.5f, 0.5f)), 0, kPi / 2, kPi / 2, 1e-6f);
    ExpectVertex(GxMath::QuatToEuler(XQuaternion(0, 0, -s, s)), 0, -kPi / 2, 0, 1e-6f);
    ExpectVertex(GxMath::QuatToEuler(XQuaternion(-0.5f, 0.5f, -0.5f, 0.5f)), 0, -kPi / 2, kPi / 2, 1e-6f);

    // From a matrix: ratios of its elements.
    XMatrix m;
    m.SetRotationX(0.3f);
    ExpectVertex(GxMath::MatrixToEuler(m), 0.3f, 0, 0, 1e-6f);
    m.SetRotationY(0.5f);
    ExpectVertex(GxMath::MatrixToEuler(m), 0, 0.5f, 0, 1e-6f);
    m.SetRotationZ(-0.4f);
    ExpectVertex(GxMath::MatrixToEuler(m), 0, 0, -0.4f, 1e-6f);
    // atan of the ratio, not atan2: a turn past a quarter folds back.
    m.SetRotationX(2.5f);
    EXPECT_NEAR(GxMath::MatrixToEuler(m).x, 2.5f - kPi, 1e-6f);
    // The gimbal case: m02 = -1 and 0 / 0 ratios; a sine a hair past 1 stays finite.
    m.LoadIdentity();
    m.m[0][0] = 0;
    m.m[0][2] = -1.0000001f;
    m.m[1][1] = 0;
    m.m[1][0] = 1;
    m.m[2][2] = 0;
    m.m[2][1] = -1;
    ExpectVertex(GxMath::MatrixToEuler(m), 0, kPi / 2, 0, 1e-6f);
}

TEST(XQuaternionTest, AxisAngleConversions)
{
    XQuaternion aa(0, 1, 0, kPi / 2);
    XQuaternion q = GxMath::AxisAngleToQuat(aa);
    ExpectQuat(q, 0, std::sin(kPi / 4), 0, std::cos(kPi / 4));
    // The axis is not normalised.
    ExpectQuat(GxMath::AxisAngleToQuat(XQuaternion(0, 2, 0, kPi / 2)), 0, 2 * std::sin(kPi / 4), 0,
               std::cos(kPi / 4));
    ExpectQuat(GxMath::QuatToAxisAngle(q), 0, 1, 0, kPi / 2, 1e-6f);
    ExpectQuat(q.ConvertToAxisAngle(), 0, 1, 0, kPi / 2, 1e-6f);

    // The identity comes back unchanged.
    XQuaternion id;
    EXPECT_TRUE(GxMath::QuatToAxisAngle(id) == id);
    EXPECT_TRUE(id.ConvertToAxisAngle() == id);

    // Near the identity: a w a hair past 1 must not make acos or sqrt return NaN.
    XQuaternion over(0, 0, 0, 1.0000001f);
    EXPECT_TRUE(Finite(GxMath::QuatToAxisAngle(over)));
    EXPECT_EQ(GxMath::QuatToAxisAngle(over).w, 0.0f);
    EXPECT_TRUE(Finite(over.ConvertToAxisAngle()));
    XQuaternion overTilted(1e-4f, 0, 0, 1.0000001f);
    EXPECT_TRUE(Finite(GxMath::QuatToAxisAngle(overTilted)));
    EXPECT_TRUE(Finite(overTilted.ConvertToAxisAngle()));
    XQuaternion near(1e-7f, 0, 0, std::nextafter(1.0f, 0.0f));
    XQuaternion nearAA = GxMath::QuatToAxisAngle(near);
    EXPECT_TRUE(Finite(nearAA));
    EXPECT_GT(nearAA.x, 0.0f);
    EXPECT_TRUE(Finite(near.ConvertToAxisAngle()));
    // A sine below 0.0001 is replaced by 1: w = -1 is a full turn.
    ExpectQuat(GxMath::QuatToAxisAngle(XQuaternion(0, 0, 0, -1)), 0, 0, 0, 2 * kPi, 0);

    // The axis-angle matrix is the quaternion's second-form matrix.
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(-1, 1);
    for (int n = 0; n < 50; ++n)
    {
        XVertex axis = Normalize(XVertex(unit(rng), unit(rng), unit(rng)));
        XQuaternion pair(axis.x, axis.y, axis.z, unit(rng) * kPi);
        XMatrix a, b;
        GxMath::AxisAngleToMatrix(pair, a);
        GxMath::QuatToMatrix2(GxMath::AxisAngleToQuat(pair), b);
        ASSERT_LT(MaxDiff(a, b), 1e-5f) << n;
    }
    XMatrix m;
    GxMath::AxisAngleToMatrix(XQuaternion(0, 0, 1, kPi / 2), m);
    EXPECT_FLOAT_EQ(m.m[1][0], 1.0f);
    EXPECT_FLOAT_EQ(m.m[0][1], -1.0f);
    EXPECT_EQ(m.m[3][3], 1.0f);
}

TEST(XQuaternionTest, AngleBetweenDirections)
{
    XMatrix unused(1.0f);
    // A quarter turn about z takes x to y.
    XQuaternion q = GxMath::AngleBetweenToQuaternion(unused, XVertex(1, 0, 0), XVertex(0, 1, 0));
    ExpectQuat(q, 0, 0, std::sqrt(0.5f), std::sqrt(0.5f));
    // Opposite directions: half a turn.
    q = GxMath::AngleBetweenToQuaternion(unused, XVertex(1, 0, 0), XVertex(-1, 0, 0));
    ExpectQuat(q, 0, 0, 1, 0, 0);
    // Opposite along y: the half turn's axis must be perpendicular to y.
    for (const XVertex& a : {XVertex(0, 1, 0), XVertex(0.6f, 0.8f, 0), XVertex(0, 0, 1), XVertex(0.48f, 0.6f, 0.64f)})
    {
        q = GxMath::AngleBetweenToQuaternion(unused, a, -a);
        EXPECT_NEAR(q.Length(), 1.0f, 1e-6f);
        XMatrix m;
        GxMath::QuatToMatrix(q, m);
        XVertex turned = Apply(m, a);
        ExpectVertex(turned, -a.x, -a.y, -a.z, 1e-6f);
    }
    // Any two directions: the quaternion's matrix carries a onto b.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> unit(-1, 1);
    for (int n = 0; n < 50; ++n)
    {
        XVertex a = Normalize(XVertex(unit(rng), unit(rng), unit(rng)));
        XVertex b = Normalize(XVertex(unit(rng), unit(rng), unit(rng)));
        XMatrix m;
        GxMath::QuatToMatrix(GxMath::AngleBetweenToQuaternion(unused, a, b), m);
        XVertex got = Apply(m, a);
        ExpectVertex(got, b.x, b.y, b.z, 1e-5f);
        // The matrix form does the same.
        GxMath::AngleBetween(m, a, b);
        got = Apply(m, a);
        ExpectVertex(got, b.x, b.y, b.z, 1e-5f);
    }
    XMatrix same;
    GxMath::AngleBetween(same, XVertex(0, 0, 1), XVertex(0, 0, 1));
    EXPECT_LT(MaxDiff(same, XMatrix(1.0f)), 1e-7f);

    XQuaternion aa = GxMath::AngleBetweenToAxisAngle(XVertex(1, 0, 0), XVertex(0, 2, 0));
    ExpectQuat(aa, 0, 0, 1, kPi / 2);
    aa = GxMath::AngleBetweenToAxisAngle(XVertex(0, 0, 1), XVertex(0, 0, 3));
    ExpectQuat(aa, 0, 0, 1, 0, 0);
    // Opposite: a unit axis perpendicular to the direction, half a turn.
    aa = GxMath::AngleBetweenToAxisAngle(XVertex(0, 3, 0), XVertex(0, -1, 0));
    EXPECT_NEAR(aa.w, kPi, 1e-6f);
    EXPECT_NEAR(XVertex(aa.x, aa.y, aa.z).Length(), 1.0f, 1e-6f);
    EXPECT_EQ(aa.y, 0.0f);

    // Equal directions in any orientation need no rotation, also where the float dot product of
    // the normalised pair rounds below 1 (their cross product is exactly zero then). Scaling by a
    // power of two keeps the normalised direction exact.
    int roundedBelowOne = 0;
    const float scales[] = {1.0f, 2.0f, 0.25f, 1024.0f};
    for (int n = 0; n < 2000; ++n)
    {
        XVertex a(unit(rng), unit(rng), unit(rng));
        XVertex na = Normalize(a);
        roundedBelowOne += DotProduct(na, na) < 1.0f && std::acos(DotProduct(na, na)) >= 0.0001f;
        for (float scale : scales)
        {
            ExpectQuat(GxMath::AngleBetweenToAxisAngle(a, a * scale), 0, 0, 1, 0, 0);
            // Opposite directions still take a half turn about a unit axis perpendicular to a.
            aa = GxMath::AngleBetweenToAxisAngle(a, a * -scale);
            EXPECT_EQ(aa.w, kPi);
            EXPECT_NEAR(XVertex(aa.x, aa.y, aa.z).Length(), 1.0f, 1e-6f);
            EXPECT_NEAR(DotProduct(XVertex(aa.x, aa.y, aa.z), na), 0.0f, 1e-6f);
        }
    }
    EXPECT_GT(roundedBelowOne, 0) << "no pair met the rounding case";
}

TEST(XQuaternionTest, PointInsidePolygonAndAbs)
{
    XVertex square[] = {XVertex(0, 0, 0), XVertex(2, 0, 0), XVertex(2, 2, 0), XVertex(0, 2, 0)};
    EXPECT_TRUE(GxMath::IsPointInsidePolygon2(square, 4, XVertex(1, 1, 0)));
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(square, 4, XVertex(3, 1, 0)));
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(square, 4, XVertex(-1, 1, 0)));
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(square, 0, XVertex(1, 1, 0)));

    // Points level with vertices: a boundary passing through a vertex counts once, a boundary
    // touching it from one side not at all.
    XVertex diamond[] = {XVertex(1, 0, 0), XVertex(2, 1, 0), XVertex(1, 2, 0), XVertex(0, 1, 0)};
    EXPECT_TRUE(GxMath::IsPointInsidePolygon2(diamond, 4, XVertex(1, 1, 0)));
    EXPECT_TRUE(GxMath::IsPointInsidePolygon2(diamond, 4, XVertex(1.5f, 1, 0)));
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(diamond, 4, XVertex(-1, 1, 0)));
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(diamond, 4, XVertex(3, 1, 0)));
    XVertex peak[] = {XVertex(0, 0, 0), XVertex(2, 2, 0), XVertex(4, 0, 0)};
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(peak, 3, XVertex(-1, 2, 0)));
    EXPECT_FALSE(GxMath::IsPointInsidePolygon2(peak, 3, XVertex(-1, 0, 0)));
    EXPECT_TRUE(GxMath::IsPointInsidePolygon2(peak, 3, XVertex(2, 1, 0)));

    // Away from vertex heights it agrees with the vertex unit's test.
    XVertex star[] = {XVertex(0, 3, 0), XVertex(1, 1, 0),   XVertex(3, 0.9f, 0), XVertex(1.4f, -0.5f, 0),
                      XVertex(2, -3, 0), XVertex(0, -1.2f, 0), XVertex(-2, -3, 0), XVertex(-1.4f, -0.5f, 0),
                      XVertex(-3, 0.9f, 0), XVertex(-1, 1, 0)};
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> coord(-3.5f, 3.5f);
    int inside = 0;
    for (int n = 0; n < 500; ++n)
    {
        XVertex p(coord(rng), coord(rng), 0);
        bool a = GxMath::IsPointInsidePolygon2(star, 10, p);
        ASSERT_EQ(a, PolygonHasPointXY(star, 10, p)) << p.x << ", " << p.y;
        inside += a;
    }
    EXPECT_GT(inside, 50);

    EXPECT_EQ(GxMath::Abs(-2.5f), 2.5f);
    EXPECT_EQ(GxMath::Abs(2.5f), 2.5f);
}
