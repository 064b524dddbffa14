// The editor that turns viewport mouse events into two gestures: a rubber-band selection and a drag
// transform (move, rotate or scale, as the scene's transform type says) of the selection. What is
// selected, the hit tests and the transforms are its subclasses' business. It draws the
// selection rectangle translucent over the viewport where the press happened.
#pragma once

#include "Engine/Editors/XBaseEditor.h"

class XSTEditor : public XBaseEditor
{
public:
    // The smallest factor of one scaling drag step: a fast flick down would otherwise flatten
    // (or turn inside out) what is scaled.
    static constexpr float MinDragScale = 0.01f;

    // Armed for a selection; no transform.
    explicit XSTEditor(XScene* scene);

    // Left press: a transform when no Ctrl or Shift is held and HitTestSelection agrees, else a
    // selection. Left release: ends the gesture (the rectangle normalised; Ctrl wins over Shift).
    // Right release: cancels a transform. Move without the left button: UpdateTransformAxis; with
    // it: the rectangle follows, or the transform gets the step since the previous move. A left
    // release before any left press does nothing.
    void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                    XShiftState shift) override;
    // Pass 1, while a selection is armed or running, in the active viewport of the view only: the
    // rectangle from the press point to the current one, white at half strength, on the view's
    // device. Leaves the render states it set.
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;

    // The scene's transform axis from the gizmo part under the point.
    virtual void UpdateTransformAxis(XViewport* viewport, const XPoint& point);
    // The rectangle comes normalised: min has the smaller x and y; a click passes equal points.
    virtual void SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max) = 0;
    virtual void SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max) = 0;
    virtual void SelectRectCtrl(XViewport* viewport, const XPoint& min, const XPoint& max) = 0;
    virtual void ClearSelection() = 0;
    // True when a press at the point starts a transform.
    virtual bool HitTestSelection(XViewport* viewport, const XPoint& point) = 0;
    virtual void BeginTransform() = 0;
    virtual void EndTransform() = 0;
    virtual void CancelTransform() = 0;
    // The step from the previous mouse point to the new one.
    virtual void Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) = 0;
    virtual void Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) = 0;
    virtual void Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) = 0;

    bool IsSelecting() const { return m_Selecting; }
    bool IsTransforming() const { return m_Transforming; }
    XPoint GetStartPoint() const { return m_StartPoint; }
    XPoint GetCurrentPoint() const { return m_CurrentPoint; }

protected:
    bool m_Selecting = true;
    bool m_Transforming = false;
    XPoint m_StartPoint{0, 0};
    XPoint m_CurrentPoint{0, 0};
    // A left press has been seen: until then the points mean nothing and a release selects nothing.
    bool m_Pressed = false;
};
