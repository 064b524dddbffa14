#include "Components/XVertex.h"

#include <bit>
#include <cmath>

float XVertex::Length() const
{
    float sq = DotProduct(*this, *this);
    if (!(sq > 0.0f))
        return sq;
    return std::sqrt(sq);
}

void XVertex::Normalize()
{
    float sq = DotProduct(*this, *this);
    if (!(sq > 0.0f))
        return;
    *this /= std::sqrt(sq);
}

XVertex Normalize(const XVertex& v)
{
    XVertex r = v;
    r.Normalize();
    return r;
}

float DotProduct(const XVertex& a, const XVertex& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

XVertex CrossProduct(const XVertex& a, const XVertex& b)
{
    return XVertex(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float XPoint::Length() const { return std::sqrt(x * x + y * y); }

float DotProduct(const XPoint& a, const XPoint& b) { return a.x * b.x + a.y * b.y; }

void ClampValue(float& v, float min, float max)
{
    if (v < min)
        v = min;
    if (v > max)
        v = max;
}

float DegToRad(float degrees) { return degrees * 3.14f * (1.0f / 180.0f); }

uint32_t FloatToDWord(float f) { return std::bit_cast<uint32_t>(f); }

bool XPlane::IntersectLine(XVertex& out, const XVertex& point, const XVertex& dir) const
{
    float denom = a * dir.x + b * dir.y + c * dir.z;
    if (denom == 0.0f)
        return false;
    float t = -(a * point.x + b * point.y + c * point.z + d) / denom;
    out = point + dir * t;
    return true;
}

void XBoundingBox::GetCorners(XVertex out[8]) const
{
    out[0] = XVertex(min.x, min.y, min.z);
    out[1] = XVertex(min.x, min.y, max.z);
    out[2] = XVertex(min.x, max.y, max.z);
    out[3] = XVertex(min.x, max.y, min.z);
    out[4] = XVertex(max.x, min.y, max.z);
    out[5] = XVertex(max.x, min.y, min.z);
    out[6] = XVertex(max.x, max.y, min.z);
    out[7] = XVertex(max.x, max.y, max.z);
}

XBoundingBox ComputeBoundingBox(const XVertex* points, unsigned n)
{
    if (n == 0)
        return XBoundingBox(0, 0, 0, 0, 0, 0);
    XBoundingBox box(points[0], points[0]);
    for (unsigned i = 1; i < n; ++i)
    {
        const XVertex& p = points[i];
        if (p.x < box.min.x)
            box.min.x = p.x;
        else if (p.x > box.max.x)
            box.max.x = p.x;
        if (p.y < box.min.y)
            box.min.y = p.y;
        else if (p.y > box.max.y)
            box.max.y = p.y;
        if (p.z < box.min.z)
            box.min.z = p.z;
        else if (p.z > box.max.z)
            box.max.z = p.z;
    }
    return box;
}

namespace
{
// Signed offset of p from the line through e0 and e1, scaled by the edge's dx. The scale is
// squared away when two offsets are multiplied, so signs match the slope form, and an edge
// parallel to the y axis needs no division.
float EdgeSide(const XVertex& e0, const XVertex& e1, const XVertex& p)
{
    return (e1.x - e0.x) * (p.y - e0.y) - (e1.y - e0.y) * (p.x - e0.x);
}

bool SameSide(const XVertex& e0, const XVertex& e1, const XVertex& opposite, const XVertex& p)
{
    return !(EdgeSide(e0, e1, p) * EdgeSide(e0, e1, opposite) < 0.0f);
}
} // namespace

bool TriangleHasPointXY(const XVertex& a, const XVertex& b, const XVertex& c, const XVertex& point)
{
    return SameSide(a, b, c, point) && SameSide(b, c, a, point) && SameSide(c, a, b, point);
}

bool PolygonHasPointXY(const XVertex* points, unsigned n, const XVertex& point)
{
    bool inside = false;
    for (unsigned i = 0, j = n - 1; i < n; j = i++)
    {
        const XVertex& pi = points[i];
        const XVertex& pj = points[j];
        if ((pi.y <= point.y && point.y < pj.y) || (pj.y <= point.y && point.y < pi.y))
        {
            float x = (pj.x - pi.x) * (point.y - pi.y) / (pj.y - pi.y) + pi.x;
            if (x > point.x)
                inside = !inside;
        }
    }
    return inside;
}

bool IntersectTriangle(const XVertex& origin, const XVertex& dir, const XVertex& v0, const XVertex& v1,
                       const XVertex& v2, float& t, float& u, float& v)
{
    XVertex e1 = v1 - v0;
    XVertex e2 = v2 - v0;
    XVertex p = CrossProduct(dir, e2);
    float det = DotProduct(e1, p);
    if (!(det >= 0.00001f)) // also refuses a non-finite determinant
        return false;
    XVertex s = origin - v0;
    float uu = DotProduct(s, p);
    if (uu < 0.0f || uu > det)
        return false;
    XVertex q = CrossProduct(s, e1);
    float vv = DotProduct(dir, q);
    if (vv < 0.0f || uu + vv > det)
        return false;
    float tt = DotProduct(e2, q);
    float inv = 1.0f / det;
    t = tt * inv;
    u = uu * inv;
    v = vv * inv;
    return true;
}

bool IntersectTriangle(const XVertex& origin, const XVertex& dir, const XVertex& v0, const XVertex& v1,
                       const XVertex& v2)
{
    float t, u, v;
    return IntersectTriangle(origin, dir, v0, v1, v2, t, u, v);
}
