#include "tests/support/ViewportDouble.h"

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
} // namespace

ViewportDouble::ViewportDouble() : cameraWorld(1.0f), view(1.0f), projection(1.0f), grid(1.0f)
{
    SetPerspective(3.14159265f / 4, 1.33f, 1.0f, 100.0f);
    SetPlaneAxis(XAXIS_XZ);
}

void ViewportDouble::SetCameraWorld(const XMatrix& world)
{
    cameraWorld = world;
    world.Inverse(view);
}

void ViewportDouble::SetPerspective(float fovY, float aspect, float zNear, float zFar)
{
    projection.SetPerspectiveFOVProjection(fovY, aspect, zNear, zFar);
    perspective = true;
}

void ViewportDouble::SetOrthographic(float w, float h, float zNear, float zFar)
{
    projection.SetOrthogonalProjection(w, h, zNear, zFar);
    perspective = false;
}

void ViewportDouble::SetPlaneAxis(unsigned axis)
{
    if (axis == planeAxis || (axis != XAXIS_XY && axis != XAXIS_XZ && axis != XAXIS_YZ))
        return;
    grid.LoadIdentity();
    if (axis == XAXIS_XZ)
        grid.SetRotation(1.57079637f, 0, 0);
    else if (axis == XAXIS_YZ)
        grid.SetRotation(0, 1.57079637f, 0);
    planeAxis = axis;
}

XVertex ViewportDouble::ScreenToCamera(unsigned, const XPoint& p)
{
    float x = (2.0f * p.x / static_cast<float>(width) - 1.0f) / projection.m[0][0];
    float y = -(2.0f * p.y / static_cast<float>(height) - 1.0f) / projection.m[1][1];
    return XVertex(x, y, 1.0f);
}

void ViewportDouble::GetPickRay(unsigned frame, const XPoint& p, XVertex& origin,
                                XVertex& direction, const XMatrix& world)
{
    XVertex c = ScreenToCamera(frame, p);
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

XVertex ViewportDouble::GetRayOrigin(unsigned frame, const XVertex& p, XVertex& out)
{
    XVertex c = ScreenToCamera(frame, XPoint(p.x, p.y));
    if (perspective)
        out = Row(cameraWorld, 3);
    else
        out = Row(cameraWorld, 0) * c.x + Row(cameraWorld, 1) * c.y + Row(cameraWorld, 2) +
              Row(cameraWorld, 3);
    return out;
}

XVertex ViewportDouble::ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis)
{
    return ScreenToPlane(frame, p, axis, XMatrix(1.0f));
}

XVertex ViewportDouble::ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis,
                                      const XMatrix& world)
{
    XVertex hit(0, 0, 0);
    if (axis == 0)
        return hit;
    XVertex origin, direction;
    GetPickRay(frame, p, origin, direction, world);
    const XPlane z0(0, 0, 1, 0), y0(0, 1, 0, 0), x0(1, 0, 0, 0);
    switch (axis)
    {
    case XAXIS_X:
        if (!z0.IntersectLine(hit, origin, direction))
            y0.IntersectLine(hit, origin, direction);
        hit.y = hit.z = 0;
        break;
    case XAXIS_Y:
        if (!z0.IntersectLine(hit, origin, direction))
            x0.IntersectLine(hit, origin, direction);
        hit.x = hit.z = 0;
        break;
    case XAXIS_XY:
        z0.IntersectLine(hit, origin, direction);
        hit.z = 0;
        break;
    case XAXIS_Z:
        if (!y0.IntersectLine(hit, origin, direction))
            x0.IntersectLine(hit, origin, direction);
        hit.x = hit.y = 0;
        break;
    case XAXIS_XZ:
        y0.IntersectLine(hit, origin, direction);
        hit.y = 0;
        break;
    case XAXIS_YZ:
        x0.IntersectLine(hit, origin, direction);
        hit.x = 0;
        break;
    case XAXIS_XYZ:
    {
        z0.IntersectLine(hit, origin, direction);
        XVertex second(0, 0, 0);
        if (!y0.IntersectLine(second, origin, direction))
            x0.IntersectLine(second, origin, direction);
        hit.z = second.z;
        break;
    }
    default: break;
    }
    return XVertex(Clip(hit.x), Clip(hit.y), Clip(hit.z));
}
