// The viewport's screen mappings as functions of the camera's matrices and the client size, so
// that the viewport and every stand-in for it map a mouse point the same way.
//
// A screen point is in the pixels of the viewport's picture (its client rectangle, the border
// left out); `width` and `height` are the picture's size.
#pragma once

#include "Components/XMatrix.h"
#include "Components/XVertex.h"

namespace XScreenMapping
{
// The point under p in camera space at depth 1: ((2 p.x / width - 1) / P[0][0],
// -(2 p.y / height - 1) / P[1][1], 1). A side below 1 counts as 1.
XVertex ScreenToCamera(const XMatrix& projection, int width, int height, const XPoint& p);
// World-space origin of the ray through camera point c: the camera position for a perspective
// camera, c carried by the camera's world matrix for an orthographic one.
XVertex RayOrigin(const XMatrix& cameraWorld, bool perspective, const XVertex& c);
// The ray through camera point c in the space of an object placed by `world`, carried by the
// inverse of world x view. The direction is not normalised.
void PickRay(const XMatrix& world, const XMatrix& view, bool perspective, const XVertex& c, XVertex& origin,
             XVertex& direction);
// The ray parameters of such a ray at the depths the projection draws (between its near and far
// planes, as the device clips): from `nearest` to `farthest`, nearest > farthest when none. An
// orthographic ray starts at depth 1 and counts both ways; a perspective one starts at the eye.
void DrawnSpan(const XMatrix& projection, float& nearest, float& farthest);
// Where the ray meets the plane or axis of the mask (1 X, 2 Y, 4 Z, 3 XY, 5 XZ, 6 YZ, 7 all):
// (0, 0, 0) for other masks and for a ray parallel to the plane; a coordinate beyond +-10000 or
// not a number comes back as 0.
XVertex PlaneHit(const XVertex& origin, const XVertex& direction, unsigned axis);
// The matrix carrying the XY plane onto the construction plane 3 (XY), 5 (XZ) or 6 (YZ); false for
// any other mask.
bool GridMatrix(unsigned axis, XMatrix& grid);
// Whether the projection is a perspective one (its last column is (0, 0, 1, 0)).
bool IsPerspective(const XMatrix& projection);
} // namespace XScreenMapping

// A vector with `value` in the components the axis mask names and 0 elsewhere.
XVertex AxisVector(float value, unsigned axis);
