#include "Gx/UI/GxControl.h"

#include "Components/XVariant.h"
#include "Engine/Scene/XClassIds.h"
#include "Gx/UI/GxDesktop.h"
#include "Gx/UI/GxFrame.h"
#include "Platform/D3D9/D3D9.h"
#include "Platform/Vcl/Graphics.h"

#include <cmath>

using StrUtils::XBaseString;
using VarUtils::XVariant;

namespace Gx::Ui
{
namespace
{
const XPropertyDesc kProperties[] = {
    {GxControl::PidLeft, u"float", u"Left"},
    {GxControl::PidTop, u"float", u"Top"},
    {GxControl::PidWidth, u"float", u"Width"},
    {GxControl::PidHeight, u"float", u"Height"},
    {GxControl::PidAnchorLeft, u"bool", u"Anchors.Left"},
    {GxControl::PidAnchorTop, u"bool", u"Anchors.Top"},
    {GxControl::PidAnchorRight, u"bool", u"Anchors.Right"},
    {GxControl::PidAnchorBottom, u"bool", u"Anchors.Bottom"},
    {GxControl::PidBackColor, u"XColor", u"BackColor"},
    {GxControl::PidTextColor, u"XColor", u"TextColor"},
    {GxControl::PidVisible, u"bool", u"Visible"},
    {GxControl::PidTransparent, u"bool", u"Transparent"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];

// A coordinate cut to whole pixels as a cast would cut it, held inside the int range (not a
// number counts as 0), so that no value can make the conversion undefined.
int TruncatePixel(float value)
{
    if (!(value == value))
        return 0;
    if (value <= -2147483520.0f)
        return -2147483520;
    if (value >= 2147483520.0f)
        return 2147483520;
    return static_cast<int>(value);
}

// A reflected coordinate or size: not a number and infinities are not taken.
bool ReadCoordinate(const XVariant& value, float& out)
{
    out = static_cast<float>(value.AsDouble());
    return std::isfinite(out);
}
} // namespace

GxControl::GxControl(GxDesktop* desktop, GxFrame* parent) : m_Desktop(desktop), m_Parent(parent)
{
    SetName(MakeName());
}

GxControl::~GxControl()
{
    if (m_Desktop)
        m_Desktop->ControlDestroyed(this);
    // A control deleted while a frame still lists it would leave the frame a dangling child.
    if (m_Parent)
        m_Parent->RemoveControl(this);
}

void GxControl::Destroy()
{
    if (m_Parent)
    {
        m_Parent->RemoveControl(this);
        m_Parent = nullptr;
    }
    delete this;
}

uint32_t GxControl::GetClassId() const
{
    return ClassId::GxControl;
}

XBaseString<WCHAR> GxControl::GetClassNameW() const
{
    return u"GxControl";
}

void GxControl::Save(XScene*, XWriter&)
{
}

void GxControl::Load(XScene*, XReader&)
{
}

unsigned GxControl::GetPropertyCount() const
{
    return kPropertyCount + XBaseObject::GetPropertyCount();
}

const XPropertyDesc* GxControl::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return XBaseObject::GetPropertyDesc(index - kPropertyCount);
}

void GxControl::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidLeft: value = m_Left; break;
    case PidTop: value = m_Top; break;
    case PidWidth: value = m_Width; break;
    case PidHeight: value = m_Height; break;
    case PidAnchorLeft: value = m_AnchorLeft; break;
    case PidAnchorTop: value = m_AnchorTop; break;
    case PidAnchorRight: value = m_AnchorRight; break;
    case PidAnchorBottom: value = m_AnchorBottom; break;
    case PidBackColor: value = static_cast<unsigned>(m_BackColor.GetARGB()); break;
    case PidTextColor: value = static_cast<unsigned>(m_TextColor.GetARGB()); break;
    case PidVisible: value = m_Visible; break;
    case PidTransparent: value = m_Transparent; break;
    default: XBaseObject::GetPropertyValue(id, value); break;
    }
}

void GxControl::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case PidLeft:
    case PidTop:
    case PidWidth:
    case PidHeight: SetCoordinate(id, value); break;
    case PidAnchorLeft: m_AnchorLeft = value.AsBool(); break;
    case PidAnchorTop: m_AnchorTop = value.AsBool(); break;
    case PidAnchorRight: m_AnchorRight = value.AsBool(); break;
    case PidAnchorBottom: m_AnchorBottom = value.AsBool(); break;
    case PidBackColor: m_BackColor = static_cast<unsigned>(value.AsInt()); break;
    case PidTextColor: m_TextColor = static_cast<unsigned>(value.AsInt()); break;
    case PidVisible: m_Visible = value.AsBool(); break;
    case PidTransparent: m_Transparent = value.AsBool(); break;
    default: XBaseObject::SetPropertyValue(id, value); break;
    }
}

void GxControl::SetCoordinate(unsigned id, const XVariant& value)
{
    float v = 0;
    if (!ReadCoordinate(value, v))
        return;
    switch (id)
    {
    case PidLeft: SetLeft(v); break;
    case PidTop: SetTop(v); break;
    case PidWidth: SetWidth(v); break;
    default: SetHeight(v); break;
    }
}

void GxControl::SetFocused(bool focused)
{
    m_Focused = focused;
}

void GxControl::SetBounds(float left, float top, float width, float height)
{
    if (width < m_MinWidth && m_MinWidth > 0)
        width = m_MinWidth;
    if (height < m_MinHeight && m_MinHeight > 0)
        height = m_MinHeight;
    if (left == m_Left && top == m_Top && width == m_Width && height == m_Height)
        return;
    SaveOldSize();
    m_Left = left;
    m_Top = top;
    m_Width = width;
    m_Height = height;
    Resized();
    m_OldWidth = m_Width;
    m_OldHeight = m_Height;
}

void GxControl::GetBounds(float& left, float& top, float& width, float& height)
{
    left = m_Left;
    top = m_Top;
    width = m_Width;
    height = m_Height;
}

XRect GxControl::GetScreenRect()
{
    float left = m_Left;
    float top = m_Top;
    if (m_Parent)
    {
        XRect parent = m_Parent->GetScreenRect();
        left += parent.left;
        top += parent.top;
    }
    return XRect(left, top, left + m_Width, top + m_Height);
}

void GxControl::SaveOldSize()
{
    m_OldWidth = m_Width;
    m_OldHeight = m_Height;
}

void GxControl::Resized()
{
}

void GxControl::MouseDown(float x, float y, uint32_t button, GxShiftState shift)
{
    if (m_ForwardInput && m_Parent)
        m_Parent->MouseDown(x, y, button, shift);
}

void GxControl::MouseMove(float x, float y, GxShiftState shift)
{
    if (m_ForwardInput && m_Parent)
        m_Parent->MouseMove(x, y, shift);
}

void GxControl::MouseUp(float x, float y, uint32_t button, GxShiftState shift)
{
    if (m_ForwardInput && m_Parent)
        m_Parent->MouseUp(x, y, button, shift);
}

void GxControl::MouseEnter()
{
}

void GxControl::MouseLeave()
{
}

void GxControl::KeyDown(unsigned&, GxShiftState)
{
}

void GxControl::KeyPress(WCHAR&)
{
}

void GxControl::KeyUp(unsigned&, GxShiftState)
{
}

void GxControl::Paint(TCanvas* canvas)
{
    if (!canvas)
        return;
    XRect s = GetScreenRect();
    TRect r(TruncatePixel(s.left), TruncatePixel(s.top), TruncatePixel(s.right), TruncatePixel(s.bottom));
    canvas->Brush()->SetColor(clRed);
    canvas->FrameRect(r);
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1));
}

void GxControl::Render(IDirect3DDevice9* device)
{
    if (!m_Desktop)
        return;
    XRect r = GetScreenRect();
    m_Desktop->BeforeRenderControl(device, r);
    if (!m_Transparent)
        RenderRect(device, r, (m_BackColor.GetARGB() & 0x00FFFFFFu) | ((m_Desktop->GetAlpha() & 0xFFu) << 24));
    m_Desktop->AfterRenderControl(device, r, this);
}

GxControl* GxControl::ControlAt(float x, float y)
{
    if (!m_Visible)
        return nullptr;
    XRect r = GetScreenRect();
    if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom)
        return this;
    return nullptr;
}

void GxControl::SetLeft(float value)
{
    if (value != m_Left)
        SetBounds(value, m_Top, m_Width, m_Height);
}

void GxControl::SetTop(float value)
{
    if (value != m_Top)
        SetBounds(m_Left, value, m_Width, m_Height);
}

void GxControl::SetWidth(float value)
{
    if (value != m_Width)
        SetBounds(m_Left, m_Top, value, m_Height);
}

void GxControl::SetHeight(float value)
{
    if (value != m_Height)
        SetBounds(m_Left, m_Top, m_Width, value);
}

XPoint GxControl::ScreenToClient(float x, float y)
{
    XRect r = GetScreenRect();
    return XPoint(x - r.left, y - r.top);
}

void GxControl::RenderRect(IDirect3DDevice9* device, const XRect& rect, uint32_t color)
{
    if (!device)
        return;
    const GxRectVertex v[6] = {
        {rect.left, rect.top, 0.0f, 1.0f, color},     {rect.right, rect.top, 0.0f, 1.0f, color},
        {rect.right, rect.bottom, 0.0f, 1.0f, color}, {rect.right, rect.bottom, 0.0f, 1.0f, color},
        {rect.left, rect.bottom, 0.0f, 1.0f, color},  {rect.left, rect.top, 0.0f, 1.0f, color},
    };
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
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
    device->SetStreamSource(0, nullptr, 0, sizeof(GxRectVertex));
    device->SetFVF(GXRECT_FVF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(GxRectVertex));
}

void GxControl::RenderPoint(IDirect3DDevice9* device, const XPoint& centre, uint32_t halfSize, uint32_t color)
{
    const float h = static_cast<float>(halfSize);
    RenderRect(device, XRect(centre.x - h, centre.y - h, centre.x + h, centre.y + h), color);
}

void GxControl::SetAnchors(bool left, bool top, bool right, bool bottom)
{
    m_AnchorLeft = left;
    m_AnchorTop = top;
    m_AnchorRight = right;
    m_AnchorBottom = bottom;
}
} // namespace Gx::Ui
