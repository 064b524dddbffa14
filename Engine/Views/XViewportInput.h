// The viewports' input: the event codes and modifier bits handed to the scene and its editors,
// and the navigation steps that move a viewport's camera (pan, turn or orbit, roll, zoom). The
// steps are functions of the camera's matrices and the mouse points in camera space (depth 1), so
// that the viewport only gathers them and stores the result.
#pragma once

#include "Components/XMatrix.h"
#include "Components/XVertex.h"
#include "Engine/Views/XViewport.h"
#include "Gx/UI/GxShiftState.h"
#include "Platform/Vcl/Controls.h"

// Press or release code of a class-library button (left 1/2, middle 4/8, right 0x10/0x20).
XMouseEvent XMouseEventFromButton(TMouseButton button, bool down);
// Ctrl 1, Shift 2, Alt 4, left 8, right 0x10, middle 0x20; a double click is dropped.
XShiftState ToXShiftState(TShiftState shift);
// Left 1, middle 2, right 4, Shift 8, Ctrl 0x10, Alt 0x20; a double click is dropped.
Gx::Ui::GxShiftState ToGxShiftState(TShiftState shift);

namespace XNavigation
{
// The trackball radius of a left press: |m * 1.01 / (width * P[0][0])| with m the smaller client
// side: 1.01 times half that side, in camera units at depth 1.
float TrackballRadius(int clientWidth, int clientHeight, const XMatrix& projection);
// Whether the press point a (camera space) lies inside the trackball circle of radius r.
bool InsideTrackball(const XVertex& a, float r);

// Pan: the camera's world matrix after the pointer moved from b to a (camera space): T(b - a) * C,
// so the scene follows the pointer.
XMatrix Pan(const XMatrix& world, const XVertex& a, const XVertex& b);

// The rotation of one turn step. Inside the trackball: half a degree per pixel (pi taken as 3.14),
// about X for vertical and about Y for horizontal movement. Outside: a roll about Z by the change
// of the pointer's angle about the viewport centre, from b (last) to a (now), in (-pi, pi]; 0 when
// either point is the centre.
XMatrix TurnRotation(bool inside, const XPoint& point, const XPoint& last, const XVertex& a, const XVertex& b);
// Orbit about k (world space): C * T(-k) * R * T(k).
XMatrix Orbit(const XMatrix& world, const XMatrix& rotation, const XVertex& k);
// Turn in place about the camera's own axes: C * V * R * W.
XMatrix Turn(const XMatrix& world, const XMatrix& view, const XMatrix& rotation);

// The factor of one zoom step, (a.y - b.y) / r + 1; false (no step) when r is 0 or the factor is
// not finite.
bool ZoomFactor(const XVertex& a, const XVertex& b, float r, float& factor);
} // namespace XNavigation
