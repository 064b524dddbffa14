// One drawing area of a view, as scene objects, meshes and editors use it: the device a frame is
// drawn with, the camera and its matrices, the construction plane, the mapping of mouse points
// into the scene, and the render options the scene reads.
//
// Screen points are XPoint floats in the viewport's own coordinates (border included), as the
// mouse handlers store them. Every operation reads the camera at the frame it is given.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XMatrix.h"
#include "Components/XVertex.h"

#include <cstdint>

class XCamera;
struct IDirect3DDevice9;

// Mouse events of the viewports and editors.
using XMouseEvent = uint32_t;
constexpr XMouseEvent XME_NONE = 0;
constexpr XMouseEvent XME_LEFT_DOWN = 0x01;
constexpr XMouseEvent XME_LEFT_UP = 0x02;
constexpr XMouseEvent XME_MIDDLE_DOWN = 0x04;
constexpr XMouseEvent XME_MIDDLE_UP = 0x08;
constexpr XMouseEvent XME_RIGHT_DOWN = 0x10;
constexpr XMouseEvent XME_RIGHT_UP = 0x20;
constexpr XMouseEvent XME_MOVE = 0x40;

// Modifier keys and held buttons of a mouse event (one byte).
using XShiftState = uint8_t;
constexpr XShiftState XSS_CTRL = 0x01;
constexpr XShiftState XSS_SHIFT = 0x02;
constexpr XShiftState XSS_ALT = 0x04;
constexpr XShiftState XSS_LEFT = 0x08;
constexpr XShiftState XSS_RIGHT = 0x10;
constexpr XShiftState XSS_MIDDLE = 0x20;

// Axis masks: 1 X, 2 Y, 4 Z; 3 XY, 5 XZ and 6 YZ name planes, 7 all axes, 0 none.
constexpr unsigned XAXIS_X = 1;
constexpr unsigned XAXIS_Y = 2;
constexpr unsigned XAXIS_Z = 4;
constexpr unsigned XAXIS_XY = 3;
constexpr unsigned XAXIS_XZ = 5;
constexpr unsigned XAXIS_YZ = 6;
constexpr unsigned XAXIS_XYZ = 7;

class XViewport
{
public:
    virtual ~XViewport() = default;

    // The device of the owning view, the one the current frame is drawn with; null when the view
    // has none.
    virtual IDirect3DDevice9* GetDevice() = 0;
    // The current camera: the viewport's own or a camera node of the scene; never null.
    virtual XCamera* GetCamera() = 0;
    virtual XMatrix GetViewMatrix(unsigned frame) = 0;
    virtual XMatrix GetProjectionMatrix(unsigned frame) = 0;

    // The point under p in the current camera's space at depth 1:
    // ((2 p.x / W - 1) / P11, -(2 p.y / H - 1) / P22, 1) with W, H the client size.
    virtual XVertex ScreenToCamera(unsigned frame, const XPoint& p) = 0;
    // The pick ray through p in the space of an object whose world matrix is world (the inverse
    // of world x view carries it there). A perspective camera gives origin = camera position; an
    // orthographic one a parallel ray. The direction is not normalised.
    virtual void GetPickRay(unsigned frame, const XPoint& p, XVertex& origin, XVertex& direction,
                            const XMatrix& world) = 0;
    // World-space origin of the pick ray through p (p.x, p.y used), also written to out.
    virtual XVertex GetRayOrigin(unsigned frame, const XVertex& p, XVertex& out) = 0;

    // The construction plane: 3 XY (z = 0), 5 XZ (y = 0) or 6 YZ (x = 0). Mouse creation reads it
    // at its first press and keeps it to the end.
    virtual unsigned GetPlaneAxis() = 0;
    // The matrix that carries the XY plane onto the construction plane.
    virtual XMatrix GetGridMatrix() = 0;
    // Where the pick ray through p meets the plane or axis the mask names, in world space (the
    // second form: in the space of the object whose world matrix is given). Mask 7 takes x and y
    // from z = 0 and z from y = 0 (x = 0 when the ray misses it); mask 0 and unknown masks give
    // (0, 0, 0); a coordinate beyond +-10000 or not a number is returned as 0.
    virtual XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis) = 0;
    virtual XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis,
                                  const XMatrix& world) = 0;

    // Render options the scene reads. Lighting: the scene's lights are set when it is on, and
    // drawing that switches lighting off restores D3DRS_LIGHTING to it.
    virtual bool GetLighting() = 0;
    // The fill mode (a D3DFILLMODE), passed unchanged to every node's Render.
    virtual uint32_t GetFillMode() = 0;
    // D3DRS_POINTSIZE for drawing points.
    virtual float GetPointSize() = 0;
    // Right and bottom edges of the client rectangle, in pixels: the W and H of the mappings.
    virtual int GetClientWidth() = 0;
    virtual int GetClientHeight() = 0;

    // The caption drawn in the viewport (a camera preset names itself there).
    virtual StrUtils::XBaseString<WCHAR> GetCaption() = 0;
    virtual void SetCaption(const StrUtils::XBaseString<WCHAR>& caption) = 0;
};
