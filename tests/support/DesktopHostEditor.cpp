#include "tests/support/DesktopHostEditor.h"

#include "Engine/Scene/XScene.h"
#include "Engine/Views/XViewport.h"
#include "Gx/UI/GxDesktop.h"

using namespace Gx::Ui;

DesktopHostEditor::DesktopHostEditor(XScene* scene) : XBaseEditor(scene)
{
}

GxDesktop* DesktopHostEditor::Desktop() const
{
    return GetScene() ? GetScene()->GetDesktop() : nullptr;
}

StrUtils::XBaseString<WCHAR> DesktopHostEditor::GetName()
{
    return u"DesktopHostEditor";
}

GxShiftState DesktopHostEditor::ToGxShiftState(XShiftState shift)
{
    struct Bit
    {
        XShiftState from;
        GxShiftState to;
    };
    static constexpr Bit bits[] = {{XSS_CTRL, gssCtrl},   {XSS_SHIFT, gssShift}, {XSS_ALT, gssAlt},
                                   {XSS_LEFT, gssLeft},   {XSS_RIGHT, gssRight}, {XSS_MIDDLE, gssMiddle}};
    GxShiftState out = 0;
    for (const Bit& b : bits)
    {
        if (shift & b.from)
            out = static_cast<GxShiftState>(out | b.to);
    }
    return out;
}

void DesktopHostEditor::MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point, XShiftState shift)
{
    GxDesktop* desktop = Desktop();
    if (!desktop)
        return;
    XPoint origin(0, 0);
    if (viewport && viewportOrigin)
        origin = viewportOrigin(viewport);
    else if (viewport)
        origin = XPoint(static_cast<float>(viewport->GetViewOrigin().x), static_cast<float>(viewport->GetViewOrigin().y));
    const float x = point.x + origin.x;
    const float y = point.y + origin.y;
    const GxShiftState gx = ToGxShiftState(shift);
    switch (event)
    {
    case XME_LEFT_DOWN: desktop->MouseDown(x, y, gmbLeft, gx); break;
    case XME_MIDDLE_DOWN: desktop->MouseDown(x, y, gmbMiddle, gx); break;
    case XME_RIGHT_DOWN: desktop->MouseDown(x, y, gmbRight, gx); break;
    case XME_LEFT_UP: desktop->MouseUp(x, y, gmbLeft, gx); break;
    case XME_MIDDLE_UP: desktop->MouseUp(x, y, gmbMiddle, gx); break;
    case XME_RIGHT_UP: desktop->MouseUp(x, y, gmbRight, gx); break;
    case XME_MOVE: desktop->MouseMove(x, y, gx); break;
    default: break;
    }
}

void DesktopHostEditor::KeyDown(unsigned& key, GxShiftState shift)
{
    if (GxDesktop* desktop = Desktop())
        desktop->KeyDown(key, shift);
}

void DesktopHostEditor::KeyPress(WCHAR& key)
{
    if (GxDesktop* desktop = Desktop())
        desktop->KeyPress(key);
}

void DesktopHostEditor::KeyUp(unsigned& key, GxShiftState shift)
{
    if (GxDesktop* desktop = Desktop())
        desktop->KeyUp(key, shift);
}

void DesktopHostEditor::RenderOverlay(unsigned, XViewport* viewport, unsigned pass)
{
    GxDesktop* desktop = Desktop();
    if (pass != 1 || !viewport || !desktop)
        return;
    desktop->Render(viewport->GetDevice());
}
