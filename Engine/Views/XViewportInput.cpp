#include "Engine/Views/XViewportInput.h"

#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Platform/Vcl/Menus.h"

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
    return XMatrix::Translation(d) * world;
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
    return world * XMatrix::Translation(-k) * rotation * XMatrix::Translation(k);
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

// ---- The viewport's input handlers -------------------------------------------------------------

void XViewport::HoldButton(TMouseButton button, bool held)
{
    switch (button)
    {
    case mbLeft:
        m_LeftHeld = held;
        break;
    case mbMiddle:
        m_MiddleHeld = held;
        break;
    case mbRight:
        m_RightHeld = held;
        break;
    }
}

void XViewport::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    HoldButton(Button, true);
    if (!m_View)
        return;
    if (m_View->CanFocus())
        m_View->SetFocus();
    m_View->MouseDown(Button, Shift, X, Y);
    m_MousePoint = PicturePoint(X, Y);
    m_View->SetActiveViewport(this);
    if (Button == mbRight)
    {
        // Asked before the press goes in: a tool the press ends is no longer current after it.
        XScene* scene = m_View->GetTransformType() == XTT_EDIT ? m_View->GetScene() : nullptr;
        XBaseEditor* editor = scene ? scene->GetEditor() : nullptr;
        m_RightTaken = editor && editor->TakesRightPress();
    }
    MouseEvent(XMouseEventFromButton(Button, true), ToXShiftState(Shift), m_MousePoint);
}

void XViewport::MouseMove(TShiftState Shift, int X, int Y)
{
    if (!m_View)
        return;
    m_View->MouseMove(Shift, X, Y);
    m_MousePoint = PicturePoint(X, Y);
    MouseEvent(XME_MOVE, ToXShiftState(Shift), m_MousePoint);
}

void XViewport::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    HoldButton(Button, false);
    if (!m_View)
        return;
    m_View->MouseUp(Button, Shift, X, Y);
    m_MousePoint = PicturePoint(X, Y);
    MouseEvent(XMouseEventFromButton(Button, false), ToXShiftState(Shift), m_MousePoint);
}

void XViewport::KeyDown(WORD& Key, TShiftState Shift)
{
    XScene* scene = m_View ? m_View->GetScene() : nullptr;
    if (!scene)
        return;
    unsigned key = Key; // the scene works on its own copy
    scene->KeyDown(key, ToGxShiftState(Shift));
}

void XViewport::KeyUp(WORD& Key, TShiftState Shift)
{
    XScene* scene = m_View ? m_View->GetScene() : nullptr;
    if (!scene)
        return;
    unsigned key = Key;
    scene->KeyUp(key, ToGxShiftState(Shift));
}

void XViewport::KeyPress(WCHAR& Key)
{
    XScene* scene = m_View ? m_View->GetScene() : nullptr;
    if (!scene)
        return;
    WCHAR key = Key;
    scene->KeyPress(key);
}

void XViewport::Dispatch(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_CONTEXTMENU:
        // Swallowed either way: passed on, the view would pop its menu in the middle of a drag.
        Message.Result = 1;
        if (!m_LeftHeld && !m_MiddleHeld && m_View && m_View->PopupMenu())
        {
            const TPoint at = ContextMenuPoint(Message.LParam);
            m_View->PopupMenu()->SetPopupComponent(this);
            m_View->PopupMenu()->Popup(at.x, at.y);
        }
        return;
    case WM_RBUTTONUP:
        TGraphicControl::Dispatch(Message);
        // The right button was the editor's: its release is not a request for the menu.
        if (m_RightTaken)
            Message.Result = 1;
        m_RightTaken = false;
        return;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTALLKEYS;
        return;
    default:
        TGraphicControl::Dispatch(Message);
    }
}

void XViewport::MouseEvent(XMouseEvent event, XShiftState shift, const XPoint& point)
{
    if (!m_View)
        return;
    const XTransformType type = m_View->GetTransformType();
    if (type == XTT_EDIT)
    {
        if (XScene* scene = m_View->GetScene())
            scene->MouseEventHandler(this, event, shift, point);
        return;
    }
    const XVertex a = ScreenToCamera(0, point);
    const XVertex b = ScreenToCamera(0, m_LastPoint);
    switch (event)
    {
    case XME_LEFT_DOWN:
        m_TrackballRadius = XNavigation::TrackballRadius(GetClientWidth(), GetClientHeight(), GetProjectionMatrix(0));
        m_Inside = XNavigation::InsideTrackball(a, m_TrackballRadius) ? 1.0f : 0.0f;
        break;
    case XME_RIGHT_DOWN:
        m_View->SetTransformType(XTT_EDIT);
        break;
    case XME_MOVE:
        if (shift & XSS_LEFT)
            DragStep(type, point, a, b);
        break;
    default:
        break;
    }
    m_LastPoint = point;
}

void XViewport::DragStep(uint32_t transformType, const XPoint& point, const XVertex& a, const XVertex& b)
{
    XCamera* camera = GetCamera();
    XMatrix world;
    camera->GetMatrix(0, world);
    switch (transformType)
    {
    case XTT_MOVE:
        camera->SetWorldMatrix(0, XNavigation::Pan(world, a, b));
        break;
    case XTT_ROTATE:
    {
        const XMatrix r = XNavigation::TurnRotation(m_Inside != 0.0f, point, m_LastPoint, a, b);
        XScene* scene = m_View->GetScene();
        XBaseEditor* editor = scene ? scene->GetEditor() : nullptr;
        const bool ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        if (ctrl && editor && editor->GetSelectionCount() > 0)
            camera->SetWorldMatrix(0, XNavigation::Orbit(world, r, editor->GetSelectionCenter()));
        else
            camera->SetWorldMatrix(0, XNavigation::Turn(world, camera->GetViewMatrix(0), r));
        break;
    }
    case XTT_SCALE:
    {
        float f = 1.0f;
        if (XNavigation::ZoomFactor(a, b, m_TrackballRadius, f))
            camera->SetFOV(camera->GetFOV() * f);
        break;
    }
    default:
        break;
    }
}
