#include "Gx/UI/GxDesktop.h"

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

void GxDesktop::ControlDestroyed(GxControl* control)
{
    if (!control)
        return;
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
    GxControl* target = control;
    while (target && !target->GetCanFocus())
        target = target->GetParent();
    if (target == m_Focus)
        return;
    if (m_Focus)
        m_Focus->SetFocused(false);
    m_Focus = target;
    if (!target)
        return;
    target->SetFocused(true);
    GxControl* holder = target;
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
} // namespace Gx::Ui
