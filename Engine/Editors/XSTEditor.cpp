#include "Engine/Editors/XSTEditor.h"

#include "Engine/Scene/XSceneLink.h"

#include <utility>

XSTEditor::XSTEditor(XScene* scene) : XBaseEditor(scene)
{
}

void XSTEditor::MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                           XShiftState shift)
{
    bool ctrl = (shift & XSS_CTRL) != 0;
    bool shiftKey = (shift & XSS_SHIFT) != 0;
    switch (event)
    {
    case XME_LEFT_DOWN:
        m_CurrentPoint = point;
        m_StartPoint = m_CurrentPoint;
        if (!ctrl && !shiftKey && HitTestSelection(viewport, point))
        {
            BeginTransform();
            m_Selecting = false;
            m_Transforming = true;
            return;
        }
        m_Selecting = true;
        m_Transforming = false;
        return;
    case XME_LEFT_UP:
        if (m_Selecting)
        {
            if (m_StartPoint.x > m_CurrentPoint.x)
                std::swap(m_StartPoint.x, m_CurrentPoint.x);
            if (m_StartPoint.y > m_CurrentPoint.y)
                std::swap(m_StartPoint.y, m_CurrentPoint.y);
            // The flag goes first: a hook that throws leaves no gesture half open.
            m_Selecting = false;
            if (ctrl)
                SelectRectCtrl(viewport, m_StartPoint, m_CurrentPoint);
            else if (shiftKey)
                SelectRectShift(viewport, m_StartPoint, m_CurrentPoint);
            else
                SelectRect(viewport, m_StartPoint, m_CurrentPoint);
            return;
        }
        if (m_Transforming)
        {
            m_Transforming = false;
            EndTransform();
        }
        return;
    case XME_RIGHT_UP:
        if (m_Transforming)
        {
            m_Transforming = false;
            CancelTransform();
        }
        return;
    case XME_MOVE:
        if (!(shift & XSS_LEFT))
        {
            UpdateTransformAxis(viewport, point);
            return;
        }
        if (m_Selecting)
        {
            m_CurrentPoint = point;
            return;
        }
        if (!m_Transforming || point == m_CurrentPoint)
            return;
        {
            XPoint previous = m_CurrentPoint;
            m_CurrentPoint = point;
            switch (XSceneLink::Get()->GetTransformType(GetScene()))
            {
            case 0: Move(viewport, point, previous); break;
            case 1: Rotate(viewport, point, previous); break;
            case 2: Scale(viewport, point, previous); break;
            default: break;
            }
        }
        return;
    default: return;
    }
}

void XSTEditor::UpdateTransformAxis(XViewport* viewport, const XPoint& point)
{
    XSceneLink* link = XSceneLink::Get();
    link->SetTransformAxis(GetScene(), link->FindTransformAxis(GetScene(), viewport, point, nullptr));
}
