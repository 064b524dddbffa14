#include "Gx/UI/GxFrame.h"

namespace Gx::Ui
{
GxFrame::GxFrame(GxDesktop* desktop, GxFrame* parent) : GxControl(desktop, parent)
{
    m_Width = 300;
    m_Height = 200;
    m_OldWidth = 300;
    m_OldHeight = 200;
}

GxFrame::~GxFrame()
{
    DeleteChildren();
}

void GxFrame::DeleteChildren()
{
    while (m_Children.GetCount() > 0)
    {
        GxControl* child = m_Children[0];
        m_Children.XPtrArray<GxControl, 4>::Delete(0);
        child->m_Parent = nullptr;
        delete child;
    }
}

void GxFrame::SaveOldSize()
{
}

void GxFrame::Resized()
{
    float dw = m_Width - m_OldWidth;
    float dh = m_Height - m_OldHeight;
    if (dw == 0 && dh == 0)
        return;
    // A child's SetBounds may resize a frame of its own; the list here does not change.
    for (unsigned i = 0; i < m_Children.GetCount(); ++i)
    {
        GxControl* child = m_Children[i];
        float left = child->m_Left;
        float top = child->m_Top;
        float width = child->m_Width;
        float height = child->m_Height;
        if (child->m_AnchorLeft && child->m_AnchorRight)
            width += dw;
        else if (child->m_AnchorRight)
            left += dw;
        else if (!child->m_AnchorLeft)
            left += dw * 0.5f;
        if (child->m_AnchorTop && child->m_AnchorBottom)
            height += dh;
        else if (child->m_AnchorBottom)
            top += dh;
        else if (!child->m_AnchorTop)
            top += dh * 0.5f;
        child->SetBounds(left, top, width, height);
    }
}

GxControl* GxFrame::ControlAt(float x, float y)
{
    for (unsigned i = 0; i < m_Children.GetCount(); ++i)
    {
        GxControl* child = m_Children[i];
        if (!child->GetVisible())
            continue;
        XRect r = child->GetScreenRect();
        if (x < r.left || x > r.right || y < r.top || y > r.bottom)
            continue;
        GxControl* inner = child->ControlAt(x, y);
        return inner ? inner : child;
    }
    return nullptr;
}

void GxFrame::Paint(TCanvas* canvas)
{
    GxControl::Paint(canvas);
    if (!canvas)
        return;
    for (unsigned i = m_Children.GetCount(); i-- > 0;)
    {
        if (i >= m_Children.GetCount())
            continue;
        GxControl* child = m_Children[i];
        if (child->GetVisible())
            child->Paint(canvas);
    }
}

void GxFrame::Render(IDirect3DDevice9* device)
{
    GxControl::Render(device);
    RenderChildren(device);
}

void GxFrame::RenderChildren(IDirect3DDevice9* device)
{
    for (unsigned i = m_Children.GetCount(); i-- > 0;)
    {
        if (i >= m_Children.GetCount())
            continue;
        GxControl* child = m_Children[i];
        if (child->GetVisible())
            child->Render(device);
    }
}

int GxFrame::AddControl(GxControl* control)
{
    if (!control)
        return -1;
    for (GxControl* p = this; p; p = p->m_Parent)
    {
        if (p == control)
            return -1;
    }
    int index = m_Children.IndexOf(control);
    if (index >= 0)
        return index;
    if (control->m_Parent && control->m_Parent != this)
        control->m_Parent->RemoveControl(control);
    control->m_Parent = this;
    return static_cast<int>(m_Children.Add(control));
}

void GxFrame::DeleteControl(GxControl* control)
{
    if (RemoveControl(control))
        delete control;
}

GxControl* GxFrame::RemoveControl(GxControl* control)
{
    int index = m_Children.IndexOf(control);
    if (index < 0 || !control)
        return nullptr;
    m_Children.XPtrArray<GxControl, 4>::Delete(static_cast<uint32_t>(index));
    if (control->m_Parent == this)
        control->m_Parent = nullptr;
    return control;
}

void GxFrame::MoveToFront(unsigned index)
{
    if (index == 0 || index >= m_Children.GetCount())
        return;
    GxControl* control = m_Children[index];
    for (unsigned k = index; k > 0; --k)
        m_Children[k] = m_Children[k - 1];
    m_Children[0] = control;
}
} // namespace Gx::Ui
