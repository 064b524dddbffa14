#include "Engine/Editors/XSTEditor.h"

#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XView.h"
#include "Platform/D3D9/D3D9.h"

#include <cstdint>
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
        m_Pressed = true;
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
        if (!m_Pressed)
            return;
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

namespace
{
// A pre-transformed, coloured vertex of the selection rectangle.
struct RectVertex
{
    float x, y, z, rhw;
    uint32_t color;
};
static_assert(sizeof(RectVertex) == 20);

// White at half strength.
constexpr uint32_t RectColor = 0x80FFFFFF;
} // namespace

void XSTEditor::RenderOverlay(unsigned, XViewport* viewport, unsigned pass)
{
    if (pass != 1 || !m_Selecting || !viewport)
        return;
    XView* view = viewport->GetView();
    if (!view || view->GetActiveViewport() != viewport)
        return;
    IDirect3DDevice9* device = viewport->GetDevice();
    if (!device)
        return;
    // The view's device draws every viewport into one back buffer: screen vertices need the
    // viewport's place in the view.
    const TPoint origin = viewport->GetViewOrigin();
    const float ox = static_cast<float>(origin.x), oy = static_cast<float>(origin.y);
    const XPoint& s = m_StartPoint;
    const XPoint& c = m_CurrentPoint;
    const XPoint corners[6] = {{s.x, s.y}, {c.x, s.y}, {c.x, c.y}, {c.x, c.y}, {s.x, c.y}, {s.x, s.y}};
    RectVertex vertices[6];
    for (int i = 0; i < 6; ++i)
        vertices[i] = {corners[i].x + ox, corners[i].y + oy, 0.0f, 1.0f, RectColor};
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    device->SetRenderState(D3DRS_CLIPPING, TRUE);
    device->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    device->SetStreamSource(0, nullptr, 0, sizeof(RectVertex));
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(RectVertex));
}
