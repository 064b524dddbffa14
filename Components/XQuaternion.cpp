#include "Components/XQuaternion.h"

#include <cmath>
#include <numbers>

namespace
{
// Rounding can carry a cosine or sine a hair past 1; acos and asin would then give NaN.
float ClampUnit(float f)
{
    if (f > 1.0f)
        return 1.0f;
    if (f < -1.0f)
        return -1.0f;
    return f;
}

float SafeAcos(float f) { return std::acos(ClampUnit(f)); }
float SafeAsin(float f) { return std::asin(ClampUnit(f)); }

// A direction perpendicular to a (zero only for a zero a): the axis of a half turn between
// opposite directions. (-a.z, a.y, a.x) is kept where it is perpendicular, that is when a.y is 0.
XVertex Perpendicular(const XVertex& a)
{
    if (a.y == 0.0f)
        return XVertex(-a.z, 0.0f, a.x);
    return XVertex(0.0f, a.z, -a.y);
}
} // namespace

void XQuaternion::Identity()
{
    x = 0.0f;
    y = 0.0f;
    z = 0.0f;
    w = 1.0f;
}

XQuaternion& XQuaternion::operator+=(const XQuaternion& q)
{
    x += q.x;
    y += q.y;
    z += q.z;
    w += q.w;
    return *this;
}

XQuaternion& XQuaternion::operator-=(const XQuaternion& q)
{
    x -= q.x;
    y -= q.y;
    z -= q.z;
    w -= q.w;
    return *this;
}

XQuaternion& XQuaternion::operator*=(const XQuaternion& q)
{
    XQuaternion a = *this;
    x = q.w * a.x + q.x * a.w + q.y * a.z - q.z * a.y;
    y = q.w * a.y + q.y * a.w + q.z * a.x - q.x * a.z;
    z = q.w * a.z + q.z * a.w + q.x * a.y - q.y * a.x;
    w = q.w * a.w - q.x * a.x - q.y * a.y - q.z * a.z;
    return *this;
}

XQuaternion& XQuaternion::operator*=(float f)
{
    x *= f;
    y *= f;
    z *= f;
    w *= f;
    return *this;
}

XQuaternion& XQuaternion::operator/=(float f) { return *this *= 1.0f / f; }

XQuaternion XQuaternion::operator+(const XQuaternion& q) const
{
    XQuaternion r = *this;
    return r += q;
}

XQuaternion XQuaternion::operator-(const XQuaternion& q) const
{
    XQuaternion r = *this;
    return r -= q;
}

XQuaternion XQuaternion::operator*(const XQuaternion& q) const
{
    XQuaternion r = *this;
    return r *= q;
}

XQuaternion XQuaternion::operator*(float f) const
{
    XQuaternion r = *this;
    return r *= f;
}

XQuaternion XQuaternion::operator/(float f) const
{
    XQuaternion r = *this;
    return r /= f;
}

float XQuaternion::Length() const { return std::sqrt(LengthSquare()); }

float XQuaternion::LengthSquare() const { return x * x + y * y + z * z + w * w; }

float XQuaternion::DotProduct(const XQuaternion& q) const { return x * q.x + y * q.y + z * q.z + w * q.w; }

void XQuaternion::Normalize()
{
    float sq = LengthSquare();
    if (!(sq > 0.0f))
        return;
    float len = std::sqrt(sq);
    x /= len;
    y /= len;
    z /= len;
    w /= len;
}

XQuaternion Normalize(const XQuaternion& q)
{
    XQuaternion r = q;
    r.Normalize();
    return r;
}

XQuaternion XQuaternion::Slerp(const XQuaternion& q, float t) const
{
    float k = DotProduct(q);
    XQuaternion target = q;
    if (k < 0.0f)
    {
        k = -k;
        target = -q;
    }
    float s0, s1;
    // Compared against 1 - cos: below about a degree the arc is as good as straight.
    if (1.0f - k > 0.017453292519943295f)
    {
        float omega = SafeAcos(k);
        float sinOmega = std::sin(omega);
        s0 = std::sin((1.0f - t) * omega) / sinOmega;
        s1 = std::sin(t * omega) / sinOmega;
    }
    else
    {
        s0 = 1.0f - t;
        s1 = t;
    }
    return *this * s0 + target * s1;
}

XQuaternion XQuaternion::ConvertToAxisAngle() const
{
    float angle = 2.0f * SafeAcos(w);
    float s = std::sin(angle / 2.0f);
    if (s == 0.0f)
        return *this;
    return XQuaternion(x / s, y / s, z / s, angle);
}

XQuaternion& XQuaternion::operator=(const XMatrix& mat)
{
    const float(*m)[4] = mat.m;
    float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f)
    {
        float s = std::sqrt(trace + 1.0f);
        w = s / 2.0f;
        s = 0.5f / s;
        x = (m[1][2] - m[2][1]) * s;
        y = (m[2][0] - m[0][2]) * s;
        z = (m[0][1] - m[1][0]) * s;
        return *this;
    }
    static const int next[3] = {1, 2, 0};
    int i = 0;
    if (m[1][1] > m[0][0])
        i = 1;
    if (m[2][2] > m[i][i])
        i = 2;
    int j = next[i];
    int k = next[j];
    float s = std::sqrt(m[i][i] - (m[j][j] + m[k][k]) + 1.0f);
    float* q = &x;
    q[i] = s / 2.0f;
    if (s != 0.0f)
        s = 0.5f / s;
    w = (m[j][k] - m[k][j]) * s;
    q[j] = (m[i][j] + m[j][i]) * s;
    q[k] = (m[i][k] + m[k][i]) * s;
    return *this;
}

XQuaternion& XQuaternion::operator=(const XVertex& euler)
{
    float cx = std::cos(euler.x / 2.0f), sx = std::sin(euler.x / 2.0f);
    float cy = std::cos(euler.y / 2.0f), sy = std::sin(euler.y / 2.0f);
    float cz = std::cos(euler.z / 2.0f), sz = std::sin(euler.z / 2.0f);
    x = sx * cy * cz - cx * sy * sz;
    y = cx * sy * cz + sx * cy * sz;
    z = cx * cy * sz - sx * sy * cz;
    w = cx * cy * cz + sx * sy * sz;
    return *this;
}

namespace GxMath
{
namespace
{
float AtanOfRatio(float num, float den)
{
    float r = num / den;
    if (std::isnan(r))
        return 0.0f;
    return std::atan(r);
}
} // namespace

XVertex MatrixToEuler(const XMatrix& mat)
{
    const float(*m)[4] = mat.m;
    return XVertex(AtanOfRatio(m[1][2], m[1][1]), SafeAsin(-m[0][2]), AtanOfRatio(m[0][1], m[0][0]));
}

XVertex QuatToEuler(const XQuaternion& q)
{
    constexpr float halfPi = std::numbers::pi_v<float> / 2.0f;
    float sqx = q.x * q.x, sqy = q.y * q.y, sqz = q.z * q.z, sqw = q.w * q.w;
    float unit = sqx + sqy + sqz + sqw;
    float test = q.x * q.y + q.z * q.w;
    if (test > 0.49999f * unit)
        return XVertex(0.0f, halfPi, 2.0f * std::atan2(q.x, q.w));
    if (test < -0.49999f * unit)
        return XVertex(0.0f, -halfPi, -2.0f * std::atan2(q.x, q.w));
    return XVertex(std::atan2(2.0f * q.x * q.w - 2.0f * q.y * q.z, -sqx + sqy - sqz + sqw),
                   SafeAsin(2.0f * test / unit),
                   std::atan2(2.0f * q.y * q.w - 2.0f * q.x * q.z, sqx - sqy - sqz + sqw));
}

void QuatToMatrix(const XQuaternion& q, XMatrix& out)
{
    float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, ww = q.w * q.w;
    out.LoadIdentity();
    out.m[0][0] = xx - yy - zz + ww;
    out.m[1][1] = -xx + yy - zz + ww;
    out.m[2][2] = -xx - yy + zz + ww;
    out.m[0][1] = 2.0f * (q.x * q.y + q.z * q.w);
    out.m[1][0] = 2.0f * (q.x * q.y - q.z * q.w);
    out.m[0][2] = 2.0f * (q.x * q.z - q.y * q.w);
    out.m[2][0] = 2.0f * (q.x * q.z + q.y * q.w);
    out.m[1][2] = 2.0f * (q.y * q.z + q.x * q.w);
    out.m[2][1] = 2.0f * (q.y * q.z - q.x * q.w);
}

void QuatToMatrix2(const XQuaternion& q, XMatrix& out)
{
    float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    float xw = q.x * q.w, yw = q.y * q.w, zw = q.z * q.w;
    out.LoadIdentity();
    out.m[0][0] = 1.0f - 2.0f * (yy + zz);
    out.m[0][1] = 2.0f * (xy - zw);
    out.m[0][2] = 2.0f * (xz + yw);
    out.m[1][0] = 2.0f * (xy + zw);
    out.m[1][1] = 1.0f - 2.0f * (xx + zz);
    out.m[1][2] = 2.0f * (yz - xw);
    out.m[2][0] = 2.0f * (xz - yw);
    out.m[2][1] = 2.0f * (yz + xw);
    out.m[2][2] = 1.0f - 2.0f * (xx + yy);
}

void AxisAngleToMatrix(const XQuaternion& axisAngle, XMatrix& out)
{
    float c = std::cos(axisAngle.w), s = std::sin(axisAngle.w);
    float t = 1.0f - c;
    float x = axisAngle.x, y = axisAngle.y, z = axisAngle.z;
    out.LoadIdentity();
    out.m[0][0] = x * x * t + c;
    out.m[1][1] = y * y * t + c;
    out.m[2][2] = z * z * t + c;
    out.m[1][0] = x * y * t + z * s;
    out.m[0][1] = x * y * t - z * s;
    out.m[2][0] = x * z * t - y * s;
    out.m[0][2] = x * z * t + y * s;
    out.m[2][1] = y * z * t + x * s;
    out.m[1][2] = y * z * t - x * s;
}

XQuaternion AxisAngleToQuat(const XQuaternion& axisAngle)
{
    float s = std::sin(axisAngle.w / 2.0f);
    return XQuaternion(axisAngle.x * s, axisAngle.y * s, axisAngle.z * s, std::cos(axisAngle.w / 2.0f));
}

XQuaternion QuatToAxisAngle(const XQuaternion& q)
{
    if (q.w == 1.0f)
        return q;
    float angle = 2.0f * SafeAcos(q.w);
    // w may exceed 1 by rounding: the sine of the half angle is then 0, not NaN.
    float s = std::sqrt(MaxFloat(0.0f, 1.0f - q.w * q.w));
    if (std::fabs(s) < 0.0001f)
        s = 1.0f;
    return XQuaternion(q.x / s, q.y / s, q.z / s, angle);
}

XQuaternion EulerToQuat(const XVertex& euler)
{
    XQuaternion q;
    q = euler;
    q.Normalize();
    return q;
}

void AngleBetween(XMatrix& out, const XVertex& a, const XVertex& b)
{
    XVertex v = CrossProduct(a, b);
    XVertex n = Normalize(v);
    float e = DotProduct(a, b);
    XVertex h = n * (1.0f - e);
    out.LoadIdentity();
    out.m[0][0] = h.x * n.x + e;
    out.m[1][1] = h.y * n.y + e;
    out.m[2][2] = h.z * n.z + e;
    out.m[0][1] = h.x * n.y + v.z;
    out.m[1][0] = h.x * n.y - v.z;
    out.m[0][2] = h.z * n.x - v.y;
    out.m[2][0] = h.z * n.x + v.y;
    out.m[1][2] = h.y * n.z + v.x;
    out.m[2][1] = h.y * n.z - v.x;
}

XQuaternion AngleBetweenToQuaternion(XMatrix&, const XVertex& a, const XVertex& b)
{
    float w = std::sqrt(DotProduct(a, a) * DotProduct(b, b)) + DotProduct(a, b);
    if (w >= 0.0001f)
    {
        XVertex axis = CrossProduct(a, b);
        return Normalize(XQuaternion(axis.x, axis.y, axis.z, w));
    }
    XVertex axis = Perpendicular(a);
    return Normalize(XQuaternion(axis.x, axis.y, axis.z, 0.0f));
}

XQuaternion AngleBetweenToAxisAngle(const XVertex& a, const XVertex& b)
{
    XVertex na = Normalize(a);
    XVertex nb = Normalize(b);
    float angle = SafeAcos(DotProduct(na, nb));
    if (!(std::fabs(angle) >= 0.0001f))
        return XQuaternion(0.0f, 0.0f, 1.0f, 0.0f);
    XVertex axis = CrossProduct(na, nb);
    if (axis.x != 0.0f || axis.y != 0.0f || axis.z != 0.0f)
        return XQuaternion(axis.x, axis.y, axis.z, angle);
    // Parallel directions. A float dot product of equal directions can round just below 1 and
    // give a small angle: they need no rotation. Opposite ones turn half about any perpendicular.
    if (!(DotProduct(na, nb) < 0.0f))
        return XQuaternion(0.0f, 0.0f, 1.0f, 0.0f);
    axis = Normalize(Perpendicular(na));
    return XQuaternion(axis.x, axis.y, axis.z, std::numbers::pi_v<float>);
}

bool IsPointInsidePolygon2(const XVertex* points, unsigned n, const XVertex& p)
{
    bool inside = false;
    for (unsigned i = 0; i < n; ++i)
    {
        const XVertex& a = points[i];
        const XVertex& b = points[(i + 1) % n];
        // Half-open in y: horizontal edges and edges wholly above or below drop out, and a
        // vertex at p's height belongs to the edge leaving it upwards only.
        if (!((a.y <= p.y && p.y < b.y) || (b.y <= p.y && p.y < a.y)))
            continue;
        float x = a.x + (b.x - a.x) * (p.y - a.y) / (b.y - a.y);
        if (x >= p.x)
            inside = !inside;
    }
    return inside;
}

float Abs(float f) { return std::fabs(f); }
} // namespace GxMath
