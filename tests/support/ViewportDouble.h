// A viewport for tests of scene objects, meshes and editors: the camera is a set of matrices the
// test sets, the client size and render options are plain fields, and the screen mappings follow
// the viewport's rules on those matrices.
#pragma once

#include "Engine/Views/XViewport.h"

class ViewportDouble : public XViewport
{
public:
    ViewportDouble();

    // Places the camera: its world matrix, and the view matrix as its inverse.
    void SetCameraWorld(const XMatrix& world);
    // Perspective projection (left-handed, vertical field of view in radians).
    void SetPerspective(float fovY, float aspect, float zNear, float zFar);
    // The camera most tests look through: perspective (pi/4, 640 x 480, 1 to 100) from ten units
    // back along z, looking down +z at the origin.
    void LookFromTenBack();
    // Readies the device for a lit draw through the camera: one white light shining along the
    // camera's axis, no ambient light, no culling and no depth test.
    void LightStraightOn();
    // Orthographic projection of a w x h window.
    void SetOrthographic(float w, float h, float zNear, float zFar);
    // Where a world point shows on the screen through the camera (client width x height pixels).
    XPoint ScreenOf(const XVertex& world) const;
    // Makes the viewport one of the view's: its owner view and a child placed at (left, top).
    void PlaceInView(XView* view, int left, int top);
    // As the real viewport: only 3, 5 and 6 are taken; the grid matrix follows.
    void SetPlaneAxis(unsigned axis) override;

    IDirect3DDevice9* GetDevice() override { return device; }
    XCamera* GetCamera() override { return camera; }
    XMatrix GetViewMatrix(unsigned) override { return view; }
    XMatrix GetProjectionMatrix(unsigned) override { return projection; }
    XVertex ScreenToCamera(unsigned frame, const XPoint& p) override;
    void GetPickRay(unsigned frame, const XPoint& p, XVertex& origin, XVertex& direction,
                    const XMatrix& world) override;
    XVertex GetRayOrigin(unsigned frame, const XVertex& p, XVertex& out) override;
    unsigned GetPlaneAxis() override { return planeAxis; }
    XMatrix GetGridMatrix() override { return grid; }
    XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis) override;
    XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis,
                          const XMatrix& world) override;
    bool GetLighting() override { return lighting; }
    uint32_t GetFillMode() override { return fillMode; }
    float GetPointSize() override { return pointSize; }
    int GetClientWidth() override { return width; }
    int GetClientHeight() override { return height; }
    StrUtils::XBaseString<WCHAR> GetCaption() override { return caption; }
    void SetCaption(const StrUtils::XBaseString<WCHAR>& text) override { caption = text; }

    // The camera, identity-placed and perspective (pi/4, 4:3, 1 to 100) at first.
    XMatrix cameraWorld;
    XMatrix view;
    XMatrix projection;
    bool perspective = true;
    XCamera* camera = nullptr;

    int width = 640;
    int height = 480;
    unsigned planeAxis = 0; // XZ after construction, as a new viewport
    XMatrix grid;
    IDirect3DDevice9* device = nullptr;
    bool lighting = true;
    uint32_t fillMode = 3;
    float pointSize = 3.0f;
    StrUtils::XBaseString<WCHAR> caption;
};
