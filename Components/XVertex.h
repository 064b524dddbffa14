// The small value types of the engine's geometry: 3D vector, 2D point, texture coordinate,
// rectangle, plane, axis-aligned box and index pair, with the free functions on them.
//
// The layouts are fixed: these types are written to files and handed to the device as they are.
// Default constructors leave the fields uninitialised (value-initialisation, as the arrays do,
// still zeroes them). All arithmetic is 32-bit float.
#pragma once

#include "Components/XArray.h"

#include <cstdint>
#include <type_traits>

struct XVertex
{
    float x, y, z;

    XVertex() = default;
    XVertex(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    XVertex operator+(const XVertex& v) const { return XVertex(x + v.x, y + v.y, z + v.z); }
    XVertex operator-(const XVertex& v) const { return XVertex(x - v.x, y - v.y, z - v.z); }
    XVertex operator-() const { return XVertex(-x, -y, -z); }
    XVertex operator*(float f) const { return XVertex(x * f, y * f, z * f); }
    XVertex operator/(float f) const { return XVertex(x / f, y / f, z / f); }

    XVertex& operator+=(const XVertex& v)
    {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    XVertex& operator-=(const XVertex& v)
    {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    XVertex& operator*=(float f)
    {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    XVertex& operator/=(float f)
    {
        x /= f;
        y /= f;
        z /= f;
        return *this;
    }

    // sqrt of the squared sum; a squared sum that is not above 0 (or not a number) is returned
    // as it is.
    float Length() const;
    // Divides by the length; a vector whose squared length is not above 0 stays as it is.
    void Normalize();
};

struct XPoint
{
    float x, y;

    XPoint() = default;
    XPoint(float ax, float ay) : x(ax), y(ay) {}

    XPoint operator-(const XPoint& p) const { return XPoint(x - p.x, y - p.y); }
    XPoint operator+(const XPoint& p) const { return XPoint(x + p.x, y + p.y); }
    XPoint operator*(float f) const { return XPoint(x * f, y * f); }
    bool operator==(const XPoint& p) const { return x == p.x && y == p.y; }

    float Length() const;
};

struct XTextureVertex
{
    float u, v;

    XTextureVertex() = default;
    XTextureVertex(float au, float av) : u(au), v(av) {}

    XTextureVertex operator-(const XTextureVertex& t) const { return XTextureVertex(u - t.u, v - t.v); }
    XTextureVertex operator+(const XTextureVertex& t) const { return XTextureVertex(u + t.u, v + t.v); }
    XTextureVertex operator*(float f) const { return XTextureVertex(u * f, v * f); }
};

struct XRect
{
    float left, top, right, bottom;

    XRect() = default;
    XRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    // Left and top from a, right and bottom from b.
    XRect(const XPoint& a, const XPoint& b) : left(a.x), top(a.y), right(b.x), bottom(b.y) {}

    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
    // Edges count as inside.
    bool HasPoint(float x, float y) const { return left <= x && x <= right && top <= y && y <= bottom; }
};

// The plane a*x + b*y + c*z + d = 0.
struct XPlane
{
    float a, b, c, d;

    XPlane() = default;
    XPlane(float pa, float pb, float pc, float pd) : a(pa), b(pb), c(pc), d(pd) {}

    // Where the infinite line point + dir * t meets the plane. A direction parallel to the plane
    // gives false and leaves out untouched.
    bool IntersectLine(XVertex& out, const XVertex& point, const XVertex& dir) const;
};

struct XBoundingBox
{
    XVertex min;
    XVertex max;

    XBoundingBox() = default;
    XBoundingBox(float minX, float minY, float minZ, float maxX, float maxY, float maxZ)
        : min(minX, minY, minZ), max(maxX, maxY, maxZ)
    {
    }
    XBoundingBox(const XVertex& aMin, const XVertex& aMax) : min(aMin), max(aMax) {}

    // The eight corners: min; (min x, min y, max z); (min x, max y, max z); (min x, max y, min z);
    // (max x, min y, max z); (max x, min y, min z); (max x, max y, min z); max. Outline drawing
    // indexes them in this order.
    void GetCorners(XVertex out[8]) const;
};

// A pair of point indices: one segment of an outline.
struct XEdge
{
    uint32_t a, b;

    XEdge() = default;
    XEdge(uint32_t first, uint32_t second) : a(first), b(second) {}
};

using XVertices = XArray<XVertex, 32>;
using XFloatArray = XArray<float, 32>;
using XEdges = XArray<XEdge, 32>;

static_assert(sizeof(XVertex) == 12 && std::is_standard_layout_v<XVertex> && std::is_trivially_copyable_v<XVertex>);
static_assert(sizeof(XPoint) == 8 && std::is_trivially_copyable_v<XPoint>);
static_assert(sizeof(XTextureVertex) == 8 && std::is_trivially_copyable_v<XTextureVertex>);
static_assert(sizeof(XRect) == 16 && std::is_trivially_copyable_v<XRect>);
static_assert(sizeof(XPlane) == 16 && std::is_trivially_copyable_v<XPlane>);
static_assert(sizeof(XBoundingBox) == 24 && std::is_trivially_copyable_v<XBoundingBox>);
static_assert(sizeof(XEdge) == 8 && std::is_trivially_copyable_v<XEdge>);

// The normalised copy, under the rule of XVertex::Normalize.
XVertex Normalize(const XVertex& v);
float DotProduct(const XVertex& a, const XVertex& b);
XVertex CrossProduct(const XVertex& a, const XVertex& b);
float DotProduct(const XPoint& a, const XPoint& b);

inline float MinFloat(float a, float b) { return a < b ? a : b; }
inline float MaxFloat(float a, float b) { return a > b ? a : b; }
// Below min becomes min, then above max becomes max.
void ClampValue(float& v, float min, float max);
// Pi is taken as 3.14 here: stored angles and the editors' steps were all made with this value.
float DegToRad(float degrees);
// The float's bit pattern, for device states that take a float as a 32-bit word.
uint32_t FloatToDWord(float f);

// Bounding box of n points; an empty set gives the zero box.
XBoundingBox ComputeBoundingBox(const XVertex* points, unsigned n);
// Point in triangle, x and y only; points on an edge count as inside.
bool TriangleHasPointXY(const XVertex& a, const XVertex& b, const XVertex& c, const XVertex& point);
// Even-odd rule in the XY plane; n = 0 gives false.
bool PolygonHasPointXY(const XVertex* points, unsigned n, const XVertex& point);
// Ray against triangle with back faces culled: a triangle seen from behind or edge-on never hits.
// On a hit, t is the distance along dir (negative behind the origin, still a hit) and u, v the
// barycentric weights of v1 and v2.
bool IntersectTriangle(const XVertex& origin, const XVertex& dir, const XVertex& v0, const XVertex& v1,
                       const XVertex& v2, float& t, float& u, float& v);
bool IntersectTriangle(const XVertex& origin, const XVertex& dir, const XVertex& v0, const XVertex& v1,
                       const XVertex& v2);
