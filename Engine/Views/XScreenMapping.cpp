#include "Engine/Views/XScreenMapping.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{
XVertex Row(const XMatrix& m, int r)
{
    return XVertex(m.m[r][0], m.m[r][1], m.m[r][2]);
}

float Clip(float v)
{
    return (std::isnan(v) || v < -10000.0f || v > 10000.0f) ? 0.0f : v;
}

// pi/2 as the float 0x3FC90FDB.
constexpr float HalfPi = 1.57079637f;
} // namespace

namespace XScreenMapping
{
XVertex ScreenToCamera(const XMatrix& projection, int width, int height, const XPoint& p)
{
    float w = static_cast<float>(width < 1 ? 1 : width);
    float h = static_cast<float>(height < 1 ? 1 : height);
    float x = (2.0f * p.x / w - 1.0f) / projection.m[0][0];
    float y = -(2.0f * p.y / h - 1.0f) / projection.m[1][1];
    return XVertex(x, y, 1.0f);
}

XVertex RayOrigin(const XMatrix& cameraWorld, bool perspective, const XVertex& c)
{
    if (perspective)
        return Row(cameraWorld, 3);
    return Row(cameraWorld, 0) * c.x + Row(cameraWorld, 1) * c.y + Row(cameraWorld, 2) + Row(cameraWorld, 3);
}

void PickRay(const XMatrix& world, const XMatrix& view, bool perspective, const XVertex& c, XVertex& origin,
             XVertex& direction)
{
    XMatrix inverse;
    (world * view).Inverse(inverse);
    if (perspective)
    {
        origin = Row(inverse, 3);
        direction = Row(inverse, 0) * c.x + Row(inverse, 1) * c.y + Row(inverse, 2);
        return;
    }
    origin = Row(inverse, 0) * c.x + Row(inverse, 1) * c.y + Row(inverse, 2) + Row(inverse, 3);
    direction = Row(inverse, 2);
}

void DrawnSpan(const XMatrix& projection, float& nearest, float& farthest)
{
    // At depth z the device keeps 0 <= z P22 + P32 <= w = z P23 + P33 and w > 0: each a bound
    // a z + b >= 0.
    nearest = -FLT_MAX;
    farthest = FLT_MAX;
    const auto bound = [&](float a, float b)
    {
        if (a > 0)
            nearest = std::max(nearest, -b / a);
        else if (a < 0)
            farthest = std::min(farthest, -b / a);
        else if (!(b >= 0))
            nearest = FLT_MAX;
    };
    const XMatrix& p = projection;
    bound(p.m[2][2], p.m[3][2]);
    bound(p.m[2][3] - p.m[2][2], p.m[3][3] - p.m[3][2]);
    bound(p.m[2][3], p.m[3][3]);
    if (!IsPerspective(projection))
    {
        nearest -= 1;
        farthest -= 1;
    }
}

XVertex PlaneHit(const XVertex& origin, const XVertex& direction, unsigned axis)
{
    XVertex hit(0, 0, 0);
    const XPlane z0(0, 0, 1, 0), y0(0, 1, 0, 0), x0(1, 0, 0, 0);
    switch (axis)
    {
    case 1:
        if (!z0.IntersectLine(hit, origin, direction))
            y0.IntersectLine(hit, origin, direction);
        hit.y = hit.z = 0;
        break;
    case 2:
        if (!z0.IntersectLine(hit, origin, direction))
            x0.IntersectLine(hit, origin, direction);
        hit.x = hit.z = 0;
        break;
    case 3:
        z0.IntersectLine(hit, origin, direction);
        hit.z = 0;
        break;
    case 4:
        if (!y0.IntersectLine(hit, origin, direction))
            x0.IntersectLine(hit, origin, direction);
        hit.x = hit.y = 0;
        break;
    case 5:
        y0.IntersectLine(hit, origin, direction);
        hit.y = 0;
        break;
    case 6:
        x0.IntersectLine(hit, origin, direction);
        hit.x = 0;
        break;
    case 7:
    {
        z0.IntersectLine(hit, origin, direction);
        XVertex second(0, 0, 0);
        if (!y0.IntersectLine(second, origin, direction))
            x0.IntersectLine(second, origin, direction);
        hit.z = second.z;
        break;
    }
    default:
        break;
    }
    return XVertex(Clip(hit.x), Clip(hit.y), Clip(hit.z));
}

bool GridMatrix(unsigned axis, XMatrix& grid)
{
    if (axis != 3 && axis != 5 && axis != 6)
        return false;
    grid.LoadIdentity();
    if (axis == 5)
        grid.SetRotation(HalfPi, 0, 0);
    else if (axis == 6)
        grid.SetRotation(0, HalfPi, 0);
    return true;
}

bool IsPerspective(const XMatrix& projection)
{
    return projection.m[3][3] == 0.0f;
}
} // namespace XScreenMapping

XVertex AxisVector(float value, unsigned axis)
{
    if (axis > 7)
        return XVertex(0, 0, 0);
    return XVertex(axis & 1 ? value : 0.0f, axis & 2 ? value : 0.0f, axis & 4 ? value : 0.0f);
}
