#include "Gx/UI/GxWindow.h"

#include "Components/XVariant.h"
#include "Gx/UI/GxDesktop.h"

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
    GxFrame::SetBounds(left, top, width, height);
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
} // namespace Gx::Ui
