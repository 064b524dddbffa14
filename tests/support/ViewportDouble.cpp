#include "tests/support/ViewportDouble.h"

#include "Engine/Views/XScreenMapping.h"
#include "Engine/Views/XView.h"


ViewportDouble::ViewportDouble() : XViewport(nullptr, nullptr), cameraWorld(1.0f), view(1.0f), projection(1.0f), grid(1.0f)
{
    SetPerspective(3.14159265f / 4, 1.33f, 1.0f, 100.0f);
    SetPlaneAxis(XAXIS_XZ);
}

void ViewportDouble::PlaceInView(XView* view, int left, int top)
{
    m_View = view;
    SetParent(view);
    SetBounds(left, top, width, height);
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

void ViewportDouble::LightStraightOn()
{
    device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&view));
    device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&projection));
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0, 0, 1};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void ViewportDouble::LookFromTenBack()
{
    SetPerspective(3.14159265f / 4, 640.0f / 480.0f, 1, 100);
    XMatrix back(1.0f);
    back.SetTranslation(0, 0, -10);
    SetCameraWorld(back);
}

void ViewportDouble::SetOrthographic(float w, float h, float zNear, float zFar)
{
    projection.SetOrthogonalProjection(w, h, zNear, zFar);
    perspective = false;
}

void ViewportDouble::SetPlaneAxis(unsigned axis)
{
    if (axis != planeAxis && XScreenMapping::GridMatrix(axis, grid))
        planeAxis = axis;
}

XVertex ViewportDouble::ScreenToCamera(unsigned, const XPoint& p)
{
    return XScreenMapping::ScreenToCamera(projection, width, height, p);
}

void ViewportDouble::GetPickRay(unsigned frame, const XPoint& p, XVertex& origin, XVertex& direction,
                                const XMatrix& world)
{
    XScreenMapping::PickRay(world, view, perspective, ScreenToCamera(frame, p), origin, direction);
}

XVertex ViewportDouble::GetRayOrigin(unsigned frame, const XVertex& p, XVertex& out)
{
    out = XScreenMapping::RayOrigin(cameraWorld, perspective, ScreenToCamera(frame, XPoint(p.x, p.y)));
    return out;
}

XVertex ViewportDouble::ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis)
{
    return ScreenToPlane(frame, p, axis, XMatrix(1.0f));
}

XVertex ViewportDouble::ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis,
                                      const XMatrix& world)
{
    if (axis == 0)
        return XVertex(0, 0, 0);
    XVertex origin, direction;
    GetPickRay(frame, p, origin, direction, world);
    return XScreenMapping::PlaneHit(origin, direction, axis);
}

XPoint ViewportDouble::ScreenOf(const XVertex& world) const
{
    const XMatrix vp = view * projection;
    XVertex p = world;
    vp.ApplyTo(&p, 1);
    const float w = world.x * vp.m[0][3] + world.y * vp.m[1][3] + world.z * vp.m[2][3] + vp.m[3][3];
    return XPoint((p.x / w + 1) * 0.5f * static_cast<float>(width), (1 - p.y / w) * 0.5f * static_cast<float>(height));
}
