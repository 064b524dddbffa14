#include "Gx/UI/GxDesktop.h"

#include "Platform/Win32/Windows.h"

namespace Gx::Ui
{
namespace
{
struct FontSetup
{
    uint32_t size;
    bool bold;
};
constexpr FontSetup kFonts[GxDesktop::FontCount] = {{8, false}, {12, true}, {16, true}};
} // namespace

GxDesktop::GxDesktop(XScene* owner) : GxWindow(nullptr, {}), m_Scene(owner)
{
    for (unsigned i = 0; i < FontCount; ++i)
    {
        m_Fonts[i].SetSize(kFonts[i].size);
        m_Fonts[i].SetBold(kFonts[i].bold);
        m_Fonts[i].SetFace(u"MS Sans Serif");
    }
}

GxDesktop::~GxDesktop()
{
    DeleteChildren();
    m_Hover = nullptr;
    m_Focus = nullptr;
    m_Capture = nullptr;
}

void GxDesktop::CreateDevice(IDirect3DDevice9* device)
{
    for (GxFont& font : m_Fonts)
        font.CreateDevice(device);
}

void GxDesktop::ReleaseDevice(IDirect3DDevice9* device)
{
    for (GxFont& font : m_Fonts)
        font.ReleaseDevice(device);
}

void GxDesktop::InvalidateDevice(IDirect3DDevice9* device)
{
    for (GxFont& font : m_Fonts)
        font.InvalidateDevice(device);
}

void GxDesktop::RestoreDevice(IDirect3DDevice9* device)
{
    for (GxFont& font : m_Fonts)
        font.RestoreDevice(device);
}

int GxDesktop::AddControl(GxControl* control)
{
    int index = GxFrame::AddControl(control);
    if (index >= 0)
    {
        if (auto* window = dynamic_cast<GxWindow*>(control))
            BringToFront(window);
    }
    return index;
}

void GxDesktop::SetCapture(GxControl* control)
{
    m_Capture = control;
}

void GxDesktop::ReleaseCapture()
{
    m_Capture = nullptr;
}

GxDesktop::Watch::Watch(GxDesktop* desktop, GxControl* control)
    : m_Desktop(desktop), m_Index(desktop->m_Watched.size())
{
    desktop->m_Watched.push_back(control);
}

GxDesktop::Watch::~Watch()
{
    m_Desktop->m_Watched.pop_back();
}

void GxDesktop::ControlDestroyed(GxControl* control)
{
    if (!control)
        return;
    for (GxControl*& watched : m_Watched)
    {
        if (watched == control)
            watched = nullptr;
    }
    if (control == m_Hover)
    {
        m_Hover = nullptr;
        control->MouseLeave();
    }
    if (control == m_Capture)
        m_Capture = nullptr;
    if (control == m_Focus)
    {
        m_Focus = nullptr;
        control->SetFocused(false);
    }
}

void GxDesktop::BringToFront(GxWindow* window)
{
    int index = IndexOfControl(window);
    if (index <= 0)
        return;
    window->m_ActivationNumber = m_ActivationCounter++;
    MoveToFront(static_cast<unsigned>(index));
}

void GxDesktop::SetFocus(GxControl* control)
{
    GxControl* candidate = control;
    while (candidate && !candidate->GetCanFocus())
        candidate = candidate->GetParent();
    if (candidate == m_Focus)
        return;
    Watch target(this, candidate);
    if (GxControl* old = m_Focus)
        old->SetFocused(false);
    m_Focus = target.Get();
    if (!m_Focus)
        return;
    m_Focus->SetFocused(true);
    GxControl* holder = m_Focus; // null when the control went in its own SetFocused
    while (holder && !dynamic_cast<GxWindow*>(holder))
    {
        GxControl* parent = holder->GetParent();
        if (parent == holder)
            break;
        holder = parent;
    }
    if (auto* window = dynamic_cast<GxWindow*>(holder))
        BringToFront(window);
}

void GxDesktop::MouseDown(float x, float y, uint32_t button, GxShiftState shift)
{
    m_LastMouse = XPoint(x, y);
    GxControl* aimed = ControlAt(x, y);
    Watch target(this, aimed);
    if (GxControl* hover = m_Hover)
        hover->MouseDown(x, y, button, shift);
    if (m_Capture && m_Capture != m_Hover)
        m_Capture->MouseDown(x, y, button, shift);
    // A target destroyed by the press is not focused; the focus stays where it is.
    if (!aimed || target.Get())
        SetFocus(target.Get());
}

void GxDesktop::MouseMove(float x, float y, GxShiftState shift)
{
    m_LastMouse = XPoint(x, y);
    Watch target(this, ControlAt(x, y));
    if (m_Hover != target.Get())
    {
        if (GxControl* old = m_Hover)
            old->MouseLeave();
        m_Hover = target.Get();
        if (m_Hover)
            m_Hover->MouseEnter();
    }
    if (GxControl* hover = m_Hover)
        hover->MouseMove(x, y, shift);
    if (m_Capture && m_Capture != m_Hover)
        m_Capture->MouseMove(x, y, shift);
}

void GxDesktop::MouseUp(float x, float y, uint32_t button, GxShiftState shift)
{
    m_LastMouse = XPoint(x, y);
    if (GxControl* hover = m_Hover)
        hover->MouseUp(x, y, button, shift);
    if (m_Capture && m_Capture != m_Hover)
        m_Capture->MouseUp(x, y, button, shift);
}

void GxDesktop::KeyDown(unsigned& key, GxShiftState shift)
{
    if (m_Focus)
        m_Focus->KeyDown(key, shift);
}

void GxDesktop::KeyPress(WCHAR& character)
{
    if (m_Focus)
        m_Focus->KeyPress(character);
}

void GxDesktop::KeyUp(unsigned& key, GxShiftState shift)
{
    if (m_Focus)
        m_Focus->KeyUp(key, shift);
}

void GxDesktop::Render(IDirect3DDevice9* device)
{
    m_TickCount = ::GetTickCount();
    m_Alpha = 0xFF;
    for (unsigned i = m_Children.GetCount(); i-- > 0;)
    {
        if (i >= m_Children.GetCount())
            continue;
        GxControl* child = m_Children[i];
        if (!child->GetVisible())
            continue;
        // A control placed directly on the desktop does not take the fade of the window before it.
        m_Alpha = 0xFF;
        child->Render(device);
    }
}

void GxDesktop::BeforeRenderControl(IDirect3DDevice9*, const XRect&)
{
}

void GxDesktop::AfterRenderControl(IDirect3DDevice9* device, const XRect& r, GxControl* control)
{
    if (!m_ShowFocusMarks || !control || control != m_Focus)
        return;
    const float cx = (r.left + r.right) * 0.5f;
    const float cy = (r.top + r.bottom) * 0.5f;
    const float w = control->GetWidth() * 0.5f;
    const float h = control->GetHeight() * 0.5f;
    const XPoint marks[4] = {{cx + w, cy}, {cx, cy + h}, {cx - w, cy}, {cx, cy - h}};
    for (const XPoint& p : marks)
        RenderPoint(device, p, 2, 0xFF000000u);
}
} // namespace Gx::Ui
