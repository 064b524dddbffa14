#include "Components/XMatrix.h"

#include "Components/XQuaternion.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace
{
// Both values of one angle, as every rotation builder needs them together.
void SinCos(float angle, float& s, float& c)
{
    s = std::sin(angle);
    c = std::cos(angle);
}

void TransformPoint(const XMatrix& mat, float* p)
{
    const float(*m)[4] = mat.m;
    float x = p[0], y = p[1], z = p[2];
    p[0] = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
    p[1] = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
    p[2] = x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2];
}

void TransformVertex(const XMatrix& mat, XVertex& v)
{
    float p[3] = {v.x, v.y, v.z};
    TransformPoint(mat, p);
    v = XVertex(p[0], p[1], p[2]);
}
} // namespace

XMatrix::XMatrix(float) { LoadIdentity(); }

void XMatrix::LoadIdentity()
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = r == c ? 1.0f : 0.0f;
}

void XMatrix::Multiply(XMatrix& out, const XMatrix& a, const XMatrix& b)
{
    // Computed aside so that out may be one of the operands.
    XMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    out = r;
}

XMatrix XMatrix::operator*(const XMatrix& other) const
{
    XMatrix r;
    Multiply(r, *this, other);
    return r;
}

XMatrix& XMatrix::operator*=(const XMatrix& other)
{
    Multiply(*this, *this, other);
    return *this;
}

void XMatrix::SetRotationX(float angle)
{
    float s, c;
    SinCos(angle, s, c);
    LoadIdentity();
    m[1][1] = c;
    m[1][2] = s;
    m[2][1] = -s;
    m[2][2] = c;
}

void XMatrix::SetRotationY(float angle)
{
    float s, c;
    SinCos(angle, s, c);
    LoadIdentity();
    m[0][0] = c;
    m[0][2] = -s;
    m[2][0] = s;
    m[2][2] = c;
}

void XMatrix::SetRotationZ(float angle)
{
    float s, c;
    SinCos(angle, s, c);
    LoadIdentity();
    m[0][0] = c;
    m[0][1] = s;
    m[1][0] = -s;
    m[1][1] = c;
}

void XMatrix::SetRotation(float x, float y, float z)
{
    float sx, cx, sy, cy, sz, cz;
    SinCos(x, sx, cx);
    SinCos(y, sy, cy);
    SinCos(z, sz, cz);
    m[0][0] = cy * cz + sx * sy * sz;
    m[0][1] = cx * sz;
    m[0][2] = -sy * cz + sx * cy * sz;
    m[0][3] = 0.0f;
    m[1][0] = -cy * sz + sx * sy * cz;
    m[1][1] = cx * cz;
    m[1][2] = sy * sz + sx * cy * cz;
    m[1][3] = 0.0f;
    m[2][0] = cx * sy;
    m[2][1] = -sx;
    m[2][2] = cx * cy;
    m[2][3] = 0.0f;
    m[3][0] = 0.0f;
    m[3][1] = 0.0f;
    m[3][2] = 0.0f;
    m[3][3] = 1.0f;
}

void XMatrix::RotateX(float angle)
{
    XMatrix r;
    r.SetRotationX(angle);
    *this *= r;
}

void XMatrix::RotateY(float angle)
{
    XMatrix r;
    r.SetRotationY(angle);
    *this *= r;
}

void XMatrix::RotateZ(float angle)
{
    XMatrix r;
    r.SetRotationZ(angle);
    *this *= r;
}

void XMatrix::Rotate(float x, float y, float z)
{
    XMatrix r;
    r.SetRotation(x, y, z);
    *this *= r;
}

void XMatrix::Rotate(const XVertex* centre, float x, float y, float z)
{
    // Move the centre to the origin, turn, move it back: with row vectors the first factor
    // applies first.
    Translate(-centre->x, -centre->y, -centre->z);
    Rotate(x, y, z);
    Translate(centre->x, centre->y, centre->z);
}

void XMatrix::SetScale(float x, float y, float z)
{
    LoadIdentity();
    m[0][0] = x;
    m[1][1] = y;
    m[2][2] = z;
}

void XMatrix::Scale(float x, float y, float z)
{
    XMatrix s;
    s.SetScale(x, y, z);
    *this *= s;
}

void XMatrix::Scale(const XVertex* centre, float x, float y, float z)
{
    Translate(-centre->x, -centre->y, -centre->z);
    Scale(x, y, z);
    Translate(centre->x, centre->y, centre->z);
}

void XMatrix::SetTranslation(float x, float y, float z)
{
    LoadIdentity();
    m[3][0] = x;
    m[3][1] = y;
    m[3][2] = z;
}

XMatrix XMatrix::Translation(const XVertex& v)
{
    XMatrix t;
    t.SetTranslation(v.x, v.y, v.z);
    return t;
}

void XMatrix::Translate(float x, float y, float z)
{
    XMatrix t;
    t.SetTranslation(x, y, z);
    *this *= t;
}

void XMatrix::ApplyTo(XVertex* points, unsigned n) const
{
    for (unsigned i = 0; i < n; ++i)
        TransformVertex(*this, points[i]);
}

void XMatrix::ApplyTo(XVertex* points, unsigned n, const XBitArray& mask, bool value) const
{
    for (unsigned i = 0; i < n; ++i)
        if (mask.Get(i) == value)
            TransformVertex(*this, points[i]);
}

void XMatrix::ApplyTo(XArray<XVertex, 32>& points) const { ApplyTo(points.GetData(), points.GetCount()); }

void XMatrix::ApplyTo(XArray<XVertex, 32>& points, const XBitArray& mask, bool value) const
{
    ApplyTo(points.GetData(), points.GetCount(), mask, value);
}

void XMatrix::ApplyTo(XArray<XVertex, 32>& points, const XArray<unsigned int, 32>& indices) const
{
    uint32_t count = points.GetCount();
    const unsigned int* list = indices.GetData();
    for (uint32_t k = 0; k < indices.GetCount(); ++k)
        if (list[k] >= count)
            throw "Out of range.";
    XVertex* data = points.GetData();
    for (uint32_t k = 0; k < indices.GetCount(); ++k)
        TransformVertex(*this, data[list[k]]);
}

void XMatrix::ApplyTo(void* first, unsigned n, unsigned stride) const
{
    // Records need not be aligned for float: copy each point out and back.
    auto* bytes = static_cast<unsigned char*>(first);
    for (unsigned i = 0; i < n; ++i, bytes += stride)
    {
        float p[3];
        std::memcpy(p, bytes, sizeof p);
        TransformPoint(*this, p);
        std::memcpy(bytes, p, sizeof p);
    }
}

void XMatrix::Transpose(XMatrix& out) const
{
    XMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m[j][i];
    out = r;
}

XMatrix& XMatrix::Inverse(XMatrix& out) const
{
    XMatrix a = *this;
    XMatrix inv(1.0f);
    for (int i = 0; i < 4; ++i)
    {
        // Partial pivoting: the row with the largest element in column i (rows above i are
        // already reduced there) becomes the pivot row, so zero and tiny diagonals, as exact
        // quarter turns have, do not spoil the result. A column of zeros means the matrix is
        // singular; the division below then makes the result non-finite.
        int best = i;
        for (int r = i + 1; r < 4; ++r)
            if (std::fabs(a.m[r][i]) > std::fabs(a.m[best][i]))
                best = r;
        if (best != i)
            for (int c = 0; c < 4; ++c)
            {
                std::swap(a.m[i][c], a.m[best][c]);
                std::swap(inv.m[i][c], inv.m[best][c]);
            }
        float pivot = a.m[i][i];
        if (pivot != 1.0f)
            for (int c = 0; c < 4; ++c)
            {
                a.m[i][c] /= pivot;
                inv.m[i][c] /= pivot;
            }
        for (int r = 0; r < 4; ++r)
        {
            if (r == i)
                continue;
            float f = a.m[r][i];
            if (f == 0.0f)
                continue;
            for (int c = 0; c < 4; ++c)
            {
                a.m[r][c] -= a.m[i][c] * f;
                inv.m[r][c] -= inv.m[i][c] * f;
            }
        }
    }
    out = inv;
    return out;
}

XMatrix& XMatrix::Inverse(XMatrix& out, float* det) const
{
    // Transposed copy: src[0..3] is column 0, src[4..7] column 1 and so on.
    float src[16];
    for (int i = 0; i < 4; ++i)
    {
        src[i] = m[i][0];
        src[i + 4] = m[i][1];
        src[i + 8] = m[i][2];
        src[i + 12] = m[i][3];
    }
    float tmp[12];
    float dst[16];

    // Pairs of the lower half give the cofactors of the upper rows.
    tmp[0] = src[10] * src[15];
    tmp[1] = src[11] * src[14];
    tmp[2] = src[9] * src[15];
    tmp[3] = src[11] * src[13];
    tmp[4] = src[9] * src[14];
    tmp[5] = src[10] * src[13];
    tmp[6] = src[8] * src[15];
    tmp[7] = src[11] * src[12];
    tmp[8] = src[8] * src[14];
    tmp[9] = src[10] * src[12];
    tmp[10] = src[8] * src[13];
    tmp[11] = src[9] * src[12];

    dst[0] = tmp[0] * src[5] + tmp[3] * src[6] + tmp[4] * src[7];
    dst[0] -= tmp[1] * src[5] + tmp[2] * src[6] + tmp[5] * src[7];
    dst[1] = tmp[1] * src[4] + tmp[6] * src[6] + tmp[9] * src[7];
    dst[1] -= tmp[0] * src[4] + tmp[7] * src[6] + tmp[8] * src[7];
    dst[2] = tmp[2] * src[4] + tmp[7] * src[5] + tmp[10] * src[7];
    dst[2] -= tmp[3] * src[4] + tmp[6] * src[5] + tmp[11] * src[7];
    dst[3] = tmp[5] * src[4] + tmp[8] * src[5] + tmp[11] * src[6];
    dst[3] -= tmp[4] * src[4] + tmp[9] * src[5] + tmp[10] * src[6];
    dst[4] = tmp[1] * src[1] + tmp[2] * src[2] + tmp[5] * src[3];
    dst[4] -= tmp[0] * src[1] + tmp[3] * src[2] + tmp[4] * src[3];
    dst[5] = tmp[0] * src[0] + tmp[7] * src[2] + tmp[8] * src[3];
    dst[5] -= tmp[1] * src[0] + tmp[6] * src[2] + tmp[9] * src[3];
    dst[6] = tmp[3] * src[0] + tmp[6] * src[1] + tmp[11] * src[3];
    dst[6] -= tmp[2] * src[0] + tmp[7] * src[1] + tmp[10] * src[3];
    dst[7] = tmp[4] * src[0] + tmp[9] * src[1] + tmp[10] * src[2];
    dst[7] -= tmp[5] * src[0] + tmp[8] * src[1] + tmp[11] * src[2];

    // Pairs of the upper half give the cofactors of the lower rows.
    tmp[0] = src[2] * src[7];
    tmp[1] = src[3] * src[6];
    tmp[2] = src[1] * src[7];
    tmp[3] = src[3] * src[5];
    tmp[4] = src[1] * src[6];
    tmp[5] = src[2] * src[5];
    tmp[6] = src[0] * src[7];
    tmp[7] = src[3] * src[4];
    tmp[8] = src[0] * src[6];
    tmp[9] = src[2] * src[4];
    tmp[10] = src[0] * src[5];
    tmp[11] = src[1] * src[4];

    dst[8] = tmp[0] * src[13] + tmp[3] * src[14] + tmp[4] * src[15];
    dst[8] -= tmp[1] * src[13] + tmp[2] * src[14] + tmp[5] * src[15];
    dst[9] = tmp[1] * src[12] + tmp[6] * src[14] + tmp[9] * src[15];
    dst[9] -= tmp[0] * src[12] + tmp[7] * src[14] + tmp[8] * src[15];
    dst[10] = tmp[2] * src[12] + tmp[7] * src[13] + tmp[10] * src[15];
    dst[10] -= tmp[3] * src[12] + tmp[6] * src[13] + tmp[11] * src[15];
    dst[11] = tmp[5] * src[12] + tmp[8] * src[13] + tmp[11] * src[14];
    dst[11] -= tmp[4] * src[12] + tmp[9] * src[13] + tmp[10] * src[14];
    dst[12] = tmp[2] * src[10] + tmp[5] * src[11] + tmp[1] * src[9];
    dst[12] -= tmp[4] * src[11] + tmp[0] * src[9] + tmp[3] * src[10];
    dst[13] = tmp[8] * src[11] + tmp[0] * src[8] + tmp[7] * src[10];
    dst[13] -= tmp[6] * src[10] + tmp[9] * src[11] + tmp[1] * src[8];
    dst[14] = tmp[6] * src[9] + tmp[11] * src[11] + tmp[3] * src[8];
    dst[14] -= tmp[10] * src[11] + tmp[2] * src[8] + tmp[7] * src[9];
    dst[15] = tmp[10] * src[10] + tmp[4] * src[8] + tmp[9] * src[9];
    dst[15] -= tmp[8] * src[9] + tmp[11] * src[10] + tmp[5] * src[8];

    float determinant = src[0] * dst[0] + src[1] * dst[1] + src[2] * dst[2] + src[3] * dst[3];
    float reciprocal = 1.0f / determinant;
    if (det)
        *det = reciprocal;
    if (determinant == 0.0f)
        // The product of small scales can underflow to 0 although the matrix inverts.
        return Inverse(out);
    for (int i = 0; i < 16; ++i)
        out.m[i / 4][i % 4] = dst[i] * reciprocal;
    return out;
}

void XMatrix::Reflect(const XPlane& plane)
{
    const float n[3] = {plane.a, plane.b, plane.c};
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
            m[i][j] = (i == j ? 1.0f : 0.0f) - 2.0f * n[i] * n[j];
        m[i][3] = 0.0f;
    }
    m[3][0] = -2.0f * plane.a * plane.d;
    m[3][1] = -2.0f * plane.b * plane.d;
    m[3][2] = -2.0f * plane.c * plane.d;
    m[3][3] = 1.0f;
}

void XMatrix::SetViewMatrix(const XVertex& eye, const XVertex& at, const XVertex& up)
{
    XVertex z = Normalize(at - eye);
    XVertex x = Normalize(CrossProduct(up, z));
    XVertex y = Normalize(CrossProduct(z, x));
    m[0][0] = x.x;
    m[1][0] = x.y;
    m[2][0] = x.z;
    m[0][1] = y.x;
    m[1][1] = y.y;
    m[2][1] = y.z;
    m[0][2] = z.x;
    m[1][2] = z.y;
    m[2][2] = z.z;
    m[0][3] = 0.0f;
    m[1][3] = 0.0f;
    m[2][3] = 0.0f;
    m[3][0] = -DotProduct(x, eye);
    m[3][1] = -DotProduct(y, eye);
    m[3][2] = -DotProduct(z, eye);
    m[3][3] = 1.0f;
}

void XMatrix::SetOrthogonalProjection(float l, float r, float b, float t, float zn, float zf)
{
    LoadIdentity();
    m[0][0] = 2.0f / (r - l);
    m[1][1] = 2.0f / (t - b);
    m[2][2] = 1.0f / (zf - zn);
    m[3][0] = (l + r) / (l - r);
    m[3][1] = (t + b) / (b - t);
    m[3][2] = zn / (zn - zf);
}

void XMatrix::SetOrthogonalProjection(float w, float h, float zn, float zf)
{
    LoadIdentity();
    m[0][0] = 2.0f / w;
    m[1][1] = 2.0f / h;
    m[2][2] = 1.0f / (zf - zn);
    m[3][2] = zn / (zn - zf);
}

void XMatrix::SetPerspectiveFOVProjection(float fovY, float aspect, float zn, float zf)
{
    float s, c;
    SinCos(fovY / 2.0f, s, c);
    float yScale = c / s;
    LoadIdentity();
    m[0][0] = yScale / aspect;
    m[1][1] = yScale;
    m[2][2] = zf / (zf - zn);
    m[2][3] = 1.0f;
    m[3][2] = -zn * zf / (zf - zn);
    m[3][3] = 0.0f;
}

void XMatrix::SetPerspectiveProjection(float w, float h, float zn, float zf)
{
    LoadIdentity();
    m[0][0] = 2.0f * zn / w;
    m[1][1] = 2.0f * zn / h;
    m[2][2] = zf / (zf - zn);
    m[2][3] = 1.0f;
    m[3][2] = zn * zf / (zn - zf);
    m[3][3] = 0.0f;
}

XMatrix& XMatrix::operator=(const XQuaternion& q)
{
    float x2 = q.x * 2.0f, y2 = q.y * 2.0f, z2 = q.z * 2.0f;
    m[0][0] = 1.0f - (q.y * y2 + q.z * z2);
    m[0][1] = q.x * y2 - q.w * z2;
    m[0][2] = q.x * z2 + q.w * y2;
    m[0][3] = 0.0f;
    m[1][0] = q.x * y2 + q.w * z2;
    m[1][1] = 1.0f - (q.x * x2 + q.z * z2);
    m[1][2] = q.y * z2 - q.w * x2;
    m[1][3] = 0.0f;
    m[2][0] = q.x * z2 - q.w * y2;
    m[2][1] = q.y * z2 + q.w * x2;
    m[2][2] = 1.0f - (q.x * x2 + q.y * y2);
    m[2][3] = 0.0f;
    m[3][0] = 0.0f;
    m[3][1] = 0.0f;
    m[3][2] = 0.0f;
    m[3][3] = 1.0f;
    return *this;
}

bool XMatrix::IsFinite() const
{
    for (const auto& row : m)
        for (float e : row)
            if (!std::isfinite(e))
                return false;
    return true;
}
