// Rotation quaternions and the conversions between the rotation forms the engine stores and
// edits: quaternions (animation keys, bones), Euler angles (node values), axis-angle pairs and
// matrices. Angles are radians; arithmetic is 32-bit float.
//
// The axis-angle form travels in the same type as (axis x, axis y, axis z, angle); Euler angles
// travel in an XVertex.
#pragma once

#include "Components/XMatrix.h"
#include "Components/XVertex.h"

#include <type_traits>

struct XQuaternion
{
    float x, y, z, w;

    XQuaternion() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
    explicit XQuaternion(const float* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
    XQuaternion(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    void Identity();

    XQuaternion& operator+=(const XQuaternion& q);
    XQuaternion& operator-=(const XQuaternion& q);
    // this = q (Hamilton product) this: the rotation of this followed by the rotation of q.
    XQuaternion& operator*=(const XQuaternion& q);
    XQuaternion& operator*=(float f);
    // Multiplies by 1 / f.
    XQuaternion& operator/=(float f);

    XQuaternion operator+() const { return *this; }
    XQuaternion operator-() const { return XQuaternion(-x, -y, -z, -w); }
    XQuaternion operator+(const XQuaternion& q) const;
    XQuaternion operator-(const XQuaternion& q) const;
    XQuaternion operator*(const XQuaternion& q) const;
    XQuaternion operator*(float f) const;
    XQuaternion operator/(float f) const;

    // Exact comparison of all four floats.
    bool operator==(const XQuaternion& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    bool operator!=(const XQuaternion& q) const { return !(*this == q); }

    float Length() const;
    float LengthSquare() const;
    float DotProduct(const XQuaternion& q) const;
    // Divides by the length; unchanged when the squared length is not above 0.
    void Normalize();

    // Spherical interpolation along the shorter arc (q is negated when this . q < 0); closer than
    // one degree's 1 - cos it is linear. The result is not normalised.
    XQuaternion Slerp(const XQuaternion& q, float t) const;
    // (axis, angle) with the axis divided by sin(angle / 2); a zero sine returns this unchanged.
    XQuaternion ConvertToAxisAngle() const;

    // The rotation part of a matrix.
    XQuaternion& operator=(const XMatrix& m);
    // From Euler angles (x, y, z), not normalised.
    XQuaternion& operator=(const XVertex& euler);
};

static_assert(sizeof(XQuaternion) == 16 && std::is_standard_layout_v<XQuaternion> &&
              std::is_trivially_copyable_v<XQuaternion>);

XQuaternion Normalize(const XQuaternion& q);

namespace GxMath
{
// (atan(m12 / m11), asin(-m02), atan(m01 / m00)): ratios, not atan2, so each angle lies within
// a half turn. A 0 / 0 ratio (the gimbal case) gives the angle 0.
XVertex MatrixToEuler(const XMatrix& m);
// (x, y, z) = (atan2(2xw - 2yz, ...), asin(2(xy + zw) / |q|^2), atan2(2yw - 2xz, ...)); near
// the poles (0, +-pi/2, +-2 atan2(x, w)).
XVertex QuatToEuler(const XQuaternion& q);
void QuatToMatrix(const XQuaternion& q, XMatrix& out);
// Equal to XMatrix::operator= of a quaternion; for a unit q the transpose of QuatToMatrix.
void QuatToMatrix2(const XQuaternion& q, XMatrix& out);
// The axis is used as given.
void AxisAngleToMatrix(const XQuaternion& axisAngle, XMatrix& out);
// The axis is not normalised.
XQuaternion AxisAngleToQuat(const XQuaternion& axisAngle);
XQuaternion QuatToAxisAngle(const XQuaternion& q);
// The Euler formula of XQuaternion::operator=, then normalised.
XQuaternion EulerToQuat(const XVertex& euler);
// The rotation matrix turning unit direction a onto unit direction b.
void AngleBetween(XMatrix& out, const XVertex& a, const XVertex& b);
// The unit quaternion turning a onto b; opposite directions turn half a turn about an axis
// perpendicular to a. The matrix argument is not used.
XQuaternion AngleBetweenToQuaternion(XMatrix& unused, const XVertex& a, const XVertex& b);
// (a x b of the normalised directions, angle), the axis not normalised; directions closer than
// 0.0001, and parallel ones whose product has no axis (equal ones where the dot product rounds
// below 1), give (0, 0, 1, 0); opposite directions a unit axis perpendicular to a with angle pi.
XQuaternion AngleBetweenToAxisAngle(const XVertex& a, const XVertex& b);
// Even-odd test in the XY plane; an edge counts when its crossing lies at or right of p. A
// vertex at p's height counts with the edge above it, so a boundary passing through it counts
// once. n = 0 gives false.
bool IsPointInsidePolygon2(const XVertex* points, unsigned n, const XVertex& p);
float Abs(float f);
} // namespace GxMath
