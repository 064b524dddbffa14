// An editor that hosts a scene's desktop in its viewports, which nothing in the program does:
// pushed on a scene, it hands every viewport mouse event to the desktop in view pixels (the
// viewport's point plus the viewport's origin in its view) with the buttons and modifiers as the
// desktop counts them, hands the keys to the desktop, and draws the desktop in overlay pass 1.
#pragma once

#include "Engine/Editors/XBaseEditor.h"
#include "Gx/UI/GxShiftState.h"

#include <functional>

namespace Gx::Ui
{
class GxDesktop;
}

class DesktopHostEditor : public XBaseEditor
{
public:
    // "DesktopHostEditor"; register it with the scene's AddEditor before pushing it.
    explicit DesktopHostEditor(XScene* scene);

    // The origin of a viewport's points in its view, in pixels; the viewport's GetViewOrigin
    // unless set.
    std::function<XPoint(XViewport*)> viewportOrigin;

    // The modifier and button bits of a viewport event in the desktop's order.
    static Gx::Ui::GxShiftState ToGxShiftState(XShiftState shift);

    bool Activate() override { return true; }
    bool Deactivate() override { return true; }
    StrUtils::XBaseString<WCHAR> GetName() override;
    // Presses and releases of the left, middle and right buttons (codes 1, 2, 4) and moves.
    void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point, XShiftState shift) override;
    void KeyDown(unsigned& key, Gx::Ui::GxShiftState shift) override;
    void KeyPress(WCHAR& key) override;
    void KeyUp(unsigned& key, Gx::Ui::GxShiftState shift) override;
    // Pass 1 draws the desktop with the viewport's device.
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;
    void CopyToClipboard() override {}
    void CutToClipboard() override {}
    void PasteFromClipboard() override {}
    void Delete() override {}

private:
    Gx::Ui::GxDesktop* Desktop() const;
};
