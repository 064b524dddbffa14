#include "Gx/UI/GxWindow.h"

#include "Components/XVariant.h"
#include "Gx/UI/GxDesktop.h"

#include <algorithm>

using StrUtils::XBaseString;
using VarUtils::XVariant;

namespace Gx::Ui
{
namespace
{
const XPropertyDesc kProperties[] = {
    {GxWindow::PidAnimated, u"bool", u"Animated"},
    {GxWindow::PidTransparentAlpha, u"bitu32", u"TransparentAlpha"},
    {GxWindow::PidOpaqueAlpha, u"bitu32", u"OpaqueAlpha"},
    {GxWindow::PidAutoOpaqueMode, u"bitu32", u"AutoOpaqueMode"},
    {GxWindow::PidAutoOpaqueFadeIn, u"bitu32", u"AutoOpaqueFadeIn"},
    {GxWindow::PidAutoOpaqueHold, u"bitu32", u"AutoOpaqueHold"},
    {GxWindow::PidAutoOpaqueFadeOut, u"bitu32", u"AutoOpaqueFadeOut"},
    {GxWindow::PidAutoAnchors, u"bool", u"AutoAnchors"},
    {GxWindow::PidMoveable, u"bool", u"Moveable"},
    {GxWindow::PidSizeable, u"bool", u"Sizeable"},
    {GxWindow::PidCaption, u"wstring", u"Caption"},
};
constexpr unsigned kPropertyCount = sizeof kProperties / sizeof kProperties[0];

uint32_t AsU32(const XVariant& value)
{
    return static_cast<uint32_t>(value.AsInt());
}

// Border width of the resize zones, in pixels.
constexpr float kMargin = 4.0f;

// diff * rest / span, rounded toward zero, for |diff| < 2^32 and rest <= span < 2^32 + 1: the
// product is taken unsigned so that it cannot overflow.
int64_t Scaled(int64_t diff, uint64_t rest, uint64_t span)
{
    uint64_t magnitude = static_cast<uint64_t>(diff < 0 ? -diff : diff) * rest / span;
    return diff < 0 ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}
} // namespace

GxWindow::GxWindow(GxDesktop* desktop, const XBaseString<WCHAR>& caption)
    : GxFrame(desktop, desktop), m_Caption(caption)
{
}

unsigned GxWindow::GetPropertyCount() const
{
    return kPropertyCount + GxFrame::GetPropertyCount();
}

const XPropertyDesc* GxWindow::GetPropertyDesc(unsigned index) const
{
    if (index < kPropertyCount)
        return &kProperties[index];
    return GxFrame::GetPropertyDesc(index - kPropertyCount);
}

void GxWindow::GetPropertyValue(unsigned id, XVariant& value)
{
    switch (id)
    {
    case PidAnimated: value = m_Animated; break;
    case PidTransparentAlpha: value = static_cast<unsigned>(m_TransparentAlpha); break;
    case PidOpaqueAlpha: value = static_cast<unsigned>(m_OpaqueAlpha); break;
    case PidAutoOpaqueMode: value = static_cast<unsigned>(m_AutoOpaqueMode); break;
    case PidAutoOpaqueFadeIn: value = static_cast<unsigned>(m_AutoOpaqueFadeIn); break;
    case PidAutoOpaqueHold: value = static_cast<unsigned>(m_AutoOpaqueHold); break;
    case PidAutoOpaqueFadeOut: value = static_cast<unsigned>(m_AutoOpaqueFadeOut); break;
    case PidAutoAnchors: value = m_AutoAnchors; break;
    case PidMoveable: value = m_Moveable; break;
    case PidSizeable: value = m_Sizeable; break;
    case PidCaption: value = m_Caption; break;
    default: GxFrame::GetPropertyValue(id, value); break;
    }
}

void GxWindow::SetPropertyValue(unsigned id, const XVariant& value)
{
    switch (id)
    {
    case PidAnimated: m_Animated = value.AsBool(); break;
    case PidTransparentAlpha: m_TransparentAlpha = AsU32(value); break;
    case PidOpaqueAlpha: m_OpaqueAlpha = AsU32(value); break;
    case PidAutoOpaqueMode: m_AutoOpaqueMode = AsU32(value); break;
    case PidAutoOpaqueFadeIn: m_AutoOpaqueFadeIn = AsU32(value); break;
    case PidAutoOpaqueHold: m_AutoOpaqueHold = AsU32(value); break;
    case PidAutoOpaqueFadeOut: m_AutoOpaqueFadeOut = AsU32(value); break;
    case PidAutoAnchors: m_AutoAnchors = value.AsBool(); break;
    case PidMoveable: m_Moveable = value.AsBool(); break;
    case PidSizeable: m_Sizeable = value.AsBool(); break;
    case PidCaption: m_Caption = value.AsString(); break;
    default: GxFrame::SetPropertyValue(id, value); break;
    }
}

void GxWindow::SetBounds(float left, float top, float width, float height)
{
    GxFrame::SetBounds(left, top, std::max(width, 0.0f), std::max(height, 0.0f));
    if (!m_AutoAnchors || !m_Desktop)
        return;
    XRect window = GetScreenRect();
    XRect desktop = m_Desktop->GetScreenRect();
    float wx = (window.left + window.right) * 0.5f;
    float wy = (window.top + window.bottom) * 0.5f;
    float dx = (desktop.left + desktop.right) * 0.5f;
    float dy = (desktop.top + desktop.bottom) * 0.5f;
    m_AnchorLeft = wx <= dx;
    m_AnchorRight = !m_AnchorLeft;
    m_AnchorTop = wy <= dy;
    m_AnchorBottom = !m_AnchorTop;
}
GxResizeZone GxWindow::ZoneAt(const XRect& r, float x, float y)
{
    const float m = kMargin;
    if (x >= r.right - m && y <= r.top + m)
        return grzTopRight;
    if (x >= r.right - m && y >= r.bottom - m)
        return grzBottomRight;
    if (x <= r.left + m && y > r.bottom - m)
        return grzBottomLeft;
    if (x <= r.left + m && y <= r.top + m)
        return grzTopLeft;
    if (r.right - m <= x && x <= r.right)
        return grzRight;
    if (r.bottom - m <= y && y <= r.bottom)
        return grzBottom;
    if (r.left <= x && x <= r.left + m)
        return grzLeft;
    if (r.top <= y && y <= r.top + m)
        return grzTop;
    return grzNone;
}

void GxWindow::MouseDown(float x, float y, uint32_t button, GxShiftState)
{
    if (!(button & gmbLeft))
        return;
    XRect r = GetScreenRect();
    m_ResizeZone = m_Sizeable ? ZoneAt(r, x, y) : grzNone;
    if (m_ResizeZone != grzNone)
    {
        m_Resizing = true;
        m_DragPoint = XPoint(x, y);
        if (m_Desktop)
            m_Desktop->SetCapture(this);
        return;
    }
    if (!m_Moveable)
        return;
    m_Moving = true;
    m_DragPoint = XPoint(x - r.left, y - r.top);
    if (m_Desktop)
        m_Desktop->SetCapture(this);
}

void GxWindow::MouseMove(float x, float y, GxShiftState shift)
{
    if (!(shift & gssLeft))
        return;
    if (m_Resizing)
    {
        const float dx = x - m_DragPoint.x;
        const float dy = y - m_DragPoint.y;
        const float right = m_Left + m_Width;
        const float bottom = m_Top + m_Height;
        float left = m_Left, top = m_Top, width = m_Width, height = m_Height;
        bool leftEdge = false, topEdge = false;
        switch (m_ResizeZone)
        {
        case grzTopRight: top += dy, width += dx, height -= dy, topEdge = true; break;
        case grzBottomRight: width += dx, height += dy; break;
        case grzBottomLeft: left += dx, width -= dx, height += dy, leftEdge = true; break;
        case grzTopLeft: left += dx, top += dy, width -= dx, height -= dy, leftEdge = topEdge = true; break;
        case grzRight: width += dx; break;
        case grzBottom: height += dy; break;
        case grzLeft: left += dx, width -= dx, leftEdge = true; break;
        case grzTop: top += dy, height -= dy, topEdge = true; break;
        case grzNone: break;
        }
        // An edge stopped by the minimum (or 0) stays there; the opposite edge does not move.
        const float minWidth = std::max(m_MinWidth, 0.0f);
        const float minHeight = std::max(m_MinHeight, 0.0f);
        if (width < minWidth)
        {
            width = minWidth;
            if (leftEdge)
                left = right - minWidth;
        }
        if (height < minHeight)
        {
            height = minHeight;
            if (topEdge)
                top = bottom - minHeight;
        }
        SetBounds(left, top, width, height);
        m_DragPoint = XPoint(x, y);
        return;
    }
    if (m_Moving)
    {
        XPoint p = m_Parent ? m_Parent->ScreenToClient(x, y) : XPoint(x, y);
        m_Left = p.x - m_DragPoint.x;
        m_Top = p.y - m_DragPoint.y;
    }
}

void GxWindow::MouseUp(float, float, uint32_t button, GxShiftState)
{
    if (!(button & gmbLeft))
        return;
    // Only the window's own capture ends: a release routed here must not take another control's.
    if (m_Desktop && m_Desktop->GetCaptureControl() == this)
        m_Desktop->ReleaseCapture();
    m_Moving = false;
    m_Resizing = false;
}

uint32_t GxWindow::FadeAlpha(uint32_t now) const
{
    const int64_t opaque = m_OpaqueAlpha;
    const int64_t transparent = m_TransparentAlpha;
    const uint64_t elapsed = static_cast<uint32_t>(now - m_FadeStart);
    int64_t alpha = opaque;
    if (m_Hot)
    {
        const uint64_t fadeIn = m_AutoOpaqueFadeIn;
        if (elapsed < fadeIn)
            alpha = opaque - Scaled(opaque - transparent, fadeIn - elapsed, fadeIn);
    }
    else
    {
        const uint64_t hold = m_AutoOpaqueHold;
        const uint64_t end = hold + m_AutoOpaqueFadeOut;
        if (elapsed >= end)
            alpha = transparent;
        else if (elapsed >= hold)
            alpha = Scaled(opaque - transparent, end - elapsed, m_AutoOpaqueFadeOut) + transparent;
    }
    return static_cast<uint32_t>(std::clamp<int64_t>(alpha, 0, 255));
}

void GxWindow::Render(IDirect3DDevice9* device)
{
    if (!m_Desktop)
    {
        GxFrame::Render(device);
        return;
    }
    XRect r = GetScreenRect();
    if (!m_Animated)
        m_Desktop->SetAlpha(0xFF);
    else
    {
        XPoint mouse = m_Desktop->GetLastMousePoint();
        bool hot = r.HasPoint(mouse.x, mouse.y);
        if (hot != m_Hot)
        {
            m_Hot = hot;
            m_FadeStart = m_Desktop->GetTickCount();
        }
        m_Desktop->SetAlpha(FadeAlpha(m_Desktop->GetTickCount()));
    }
    GxFrame::Render(device);
    RenderCaption(r);
}

void GxWindow::RenderCaption(const XRect& r)
{
    GxFont* font = m_Desktop->GetFont(1);
    if (m_Caption.IsEmpty() || !font)
        return;
    const float x = r.left + r.Width() * 0.5f - font->GetTextWidth(m_Caption) * 0.5f;
    const uint32_t color = (m_TextColor.GetARGB() & 0x00FFFFFFu) | ((m_Desktop->GetAlpha() & 0xFFu) << 24);
    font->DrawTextClipped(x, r.top + 1, r, color, m_Caption);
}
} // namespace Gx::Ui
