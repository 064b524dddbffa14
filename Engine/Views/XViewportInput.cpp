#include "Engine/Views/XViewportInput.h"

#include <algorithm>
#include <cmath>

XMouseEvent XMouseEventFromButton(TMouseButton button, bool down)
{
    switch (button)
    {
    case mbLeft:
        return down ? XME_LEFT_DOWN : XME_LEFT_UP;
    case mbMiddle:
        return down ? XME_MIDDLE_DOWN : XME_MIDDLE_UP;
    case mbRight:
        return down ? XME_RIGHT_DOWN : XME_RIGHT_UP;
    }
    return XME_NONE;
}

XShiftState ToXShiftState(TShiftState shift)
{
    XShiftState s = 0;
    if (shift.Contains(ssCtrl))
        s |= XSS_CTRL;
    if (shift.Contains(ssShift))
        s |= XSS_SHIFT;
    if (shift.Contains(ssAlt))
        s |= XSS_ALT;
    if (shift.Contains(ssLeft))
        s |= XSS_LEFT;
    if (shift.Contains(ssRight))
        s |= XSS_RIGHT;
    if (shift.Contains(ssMiddle))
        s |= XSS_MIDDLE;
    return s;
}

Gx::Ui::GxShiftState ToGxShiftState(TShiftState shift)
{
    using namespace Gx::Ui;
    GxShiftState s = 0;
    if (shift.Contains(ssLeft))
        s |= gssLeft;
    if (shift.Contains(ssMiddle))
        s |= gssMiddle;
    if (shift.Contains(ssRight))
        s |= gssRight;
    if (shift.Contains(ssShift))
        s |= gssShift;
    if (shift.Contains(ssCtrl))
        s |= gssCtrl;
    if (shift.Contains(ssAlt))
        s |= gssAlt;
    return s;
}

namespace XNavigation
{
namespace
{
XMatrix Translation(const XVertex& v)
{
    XMatrix t;
    t.SetTranslation(v.x, v.y, v.z);
    return t;
}

constexpr double Pi = 3.14159265358979323846;
} // namespace

float TrackballRadius(int clientWidth, int clientHeight, const XMatrix& projection)
{
    float m = static_cast<float>(std::min(clientWidth, clientHeight));
    return std::fabs(m * 1.01f / (static_cast<float>(clientWidth) * projection.m[0][0]));
}

bool InsideTrackball(const XVertex& a, float r)
{
    return std::sqrt(a.x * a.x + a.y * a.y) <= r;
}

XMatrix Pan(const XMatrix& world, const XVertex& a, const XVertex& b)
{
    XVertex d = b - a;
    return Translation(d) * world;
}

XMatrix TurnRotation(bool inside, const XPoint& point, const XPoint& last, const XVertex& a, const XVertex& b)
{
    float rx = 0.0f;
    float ry = 0.0f;
    float rz = 0.0f;
    if (inside)
    {
        rx = DegToRad((point.y - last.y) * 0.5f);
        ry = DegToRad((point.x - last.x) * 0.5f);
    }
    else if ((a.x != 0.0f || a.y != 0.0f) && (b.x != 0.0f || b.y != 0.0f))
    {
        // atan2 keeps the quadrant: the angle does not jump by half a turn when the pointer
        // crosses the vertical through the centre.
        double change = std::atan2(b.y, b.x) - std::atan2(a.y, a.x);
        while (change > Pi)
            change -= 2 * Pi;
        while (change <= -Pi)
            change += 2 * Pi;
        rz = static_cast<float>(change);
    }
    XMatrix r;
    r.SetRotation(rx, ry, rz);
    return r;
}

XMatrix Orbit(const XMatrix& world, const XMatrix& rotation, const XVertex& k)
{
    return world * Translation(-k) * rotation * Translation(k);
}

XMatrix Turn(const XMatrix& world, const XMatrix& view, const XMatrix& rotation)
{
    return world * view * rotation * world;
}

bool ZoomFactor(const XVertex& a, const XVertex& b, float r, float& factor)
{
    if (r == 0.0f || !std::isfinite(r))
        return false;
    float f = (a.y - b.y) / r + 1.0f;
    if (!std::isfinite(f))
        return false;
    factor = f;
    return true;
}
} // namespace XNavigation
