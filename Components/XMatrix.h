// The engine's 4x4 transform, laid out and multiplied as the device expects: row vectors,
// row-major storage (element (r, c) is float r * 4 + c), translation in the fourth row.
// A point transforms as p' = p * M, so in A * B the transform A applies first. View and
// projection builders are left-handed.
#pragma once

#include "Components/XArray.h"
#include "Components/XBitArray.h"
#include "Components/XVertex.h"

#include <type_traits>

struct XQuaternion;

struct XMatrix
{
    float m[4][4];

    // Contents left uninitialised.
    XMatrix() = default;
    // The identity; the argument is not used (callers pass 1.0).
    explicit XMatrix(float);

    // out = a * b. out may be a or b.
    static void Multiply(XMatrix& out, const XMatrix& a, const XMatrix& b);
    XMatrix operator*(const XMatrix& other) const;
    // this = this * other: the other transform applies after this one.
    XMatrix& operator*=(const XMatrix& other);

    void LoadIdentity();

    void SetRotationX(float angle);
    void SetRotationY(float angle);
    void SetRotationZ(float angle);
    // Rz(z) * Rx(x) * Ry(y): yaw y, pitch x, roll z.
    void SetRotation(float x, float y, float z);
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    void Rotate(float x, float y, float z);
    // Rotation about the given point (it stays in place).
    void Rotate(const XVertex* centre, float x, float y, float z);

    void SetScale(float x, float y, float z);
    void Scale(float x, float y, float z);
    // Scaling from the given point (it stays in place).
    void Scale(const XVertex* centre, float x, float y, float z);

    void SetTranslation(float x, float y, float z);
    void Translate(float x, float y, float z);
    // The matrix that moves points by v.
    static XMatrix Translation(const XVertex& v);

    // Points transform in place, translation included, no division by w.
    void ApplyTo(XVertex* points, unsigned n) const;
    // Only the points whose mask bit equals value; a point past the mask's count reads as a clear
    // bit.
    void ApplyTo(XVertex* points, unsigned n, const XBitArray& mask, bool value) const;
    void ApplyTo(XArray<XVertex, 32>& points) const;
    void ApplyTo(XArray<XVertex, 32>& points, const XBitArray& mask, bool value) const;
    // The elements named by the list; an index listed twice is transformed twice. An index at or
    // past the count throws "Out of range." before any point is touched.
    void ApplyTo(XArray<XVertex, 32>& points, const XArray<unsigned int, 32>& indices) const;
    // n points of three floats each, stride bytes apart (vertex records with further fields).
    void ApplyTo(void* first, unsigned n, unsigned stride) const;

    void Transpose(XMatrix& out) const;
    // Gauss-Jordan elimination with partial pivoting, so exact rotations (zeros on the
    // diagonal) invert. A singular matrix gives non-finite elements. Returns out.
    XMatrix& Inverse(XMatrix& out) const;
    // Cofactor inverse; det, when not null, receives 1 / determinant (the reciprocal). When the
    // float determinant comes out exactly 0 (a singular matrix, or small scales whose product
    // underflows) the elimination above is used instead. Returns out.
    XMatrix& Inverse(XMatrix& out, float* det) const;
    // Every element a number (an inverse of a singular matrix is not).
    bool IsFinite() const;

    // Reflection in the plane taken as given (not normalised).
    void Reflect(const XPlane& plane);
    // Left-handed look-at.
    void SetViewMatrix(const XVertex& eye, const XVertex& at, const XVertex& up);
    void SetOrthogonalProjection(float l, float r, float b, float t, float zn, float zf);
    void SetOrthogonalProjection(float w, float h, float zn, float zf);
    void SetPerspectiveFOVProjection(float fovY, float aspect, float zn, float zf);
    void SetPerspectiveProjection(float w, float h, float zn, float zf);

    // The rotation matrix of q (for a unit q, the transpose of GxMath::QuatToMatrix).
    XMatrix& operator=(const XQuaternion& q);
};

static_assert(sizeof(XMatrix) == 64 && std::is_standard_layout_v<XMatrix> && std::is_trivially_copyable_v<XMatrix>);
