// A frame that the user drags and resizes with the left button, that fades between a transparent
// and an opaque alpha as the mouse enters and leaves it, that keeps its distance to the nearer
// sides of the desktop, and that shows a centred caption. The desktop is itself a window.
#pragma once

#include "Gx/UI/GxFrame.h"

#include <cstdint>

namespace Gx::Ui
{
// Border zones of a window, where a left press resizes instead of moving it.
enum GxResizeZone : uint32_t
{
    grzNone = 0,
    grzRight = 1,
    grzBottom = 2,
    grzLeft = 3,
    grzTop = 4,
    grzTopRight = 5,
    grzBottomRight = 6,
    grzBottomLeft = 7,
    grzTopLeft = 8,
};

class GxWindow : public GxFrame
{
public:
    static constexpr uint32_t PidAnimated = 0x77790001;
    static constexpr uint32_t PidTransparentAlpha = 0x77790002;
    static constexpr uint32_t PidOpaqueAlpha = 0x77790003;
    static constexpr uint32_t PidAutoOpaqueMode = 0x77790004;
    static constexpr uint32_t PidAutoOpaqueFadeIn = 0x77790005;
    static constexpr uint32_t PidAutoOpaqueHold = 0x77790006;
    static constexpr uint32_t PidAutoOpaqueFadeOut = 0x77790007;
    static constexpr uint32_t PidAutoAnchors = 0x77790008;
    static constexpr uint32_t PidMoveable = 0x77790009;
    static constexpr uint32_t PidSizeable = 0x7779000A;
    static constexpr uint32_t PidCaption = 0x7779000B;

    // The desktop is the window's parent as well; the creator adds it with the desktop's
    // AddControl.
    GxWindow(GxDesktop* desktop, const StrUtils::XBaseString<WCHAR>& caption);

    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    // With AutoAnchors and a desktop, the anchors then follow the centres: left when the window's
    // centre is not right of the desktop's, top when it is not below it, the opposite sides
    // otherwise.
    // A negative width or height is taken as 0.
    void SetBounds(float left, float top, float width, float height) override;
    // A left press on a border zone of a Sizeable window starts resizing, anywhere else on a
    // Moveable window moving; either captures the mouse through the desktop. Other buttons do
    // nothing.
    void MouseDown(float x, float y, uint32_t button, GxShiftState shift) override;
    // While the left button is held: resizing applies the zone's edges to the motion since the
    // last move, never below the minimum size (or 0), an edge stopped there leaving the opposite
    // edge in place; moving places the window's corner under the press offset, directly, without
    // SetBounds, so neither the anchors nor the resize hook change.
    void MouseMove(float x, float y, GxShiftState shift) override;
    // A left release ends moving and resizing and the window's own capture.
    void MouseUp(float x, float y, uint32_t button, GxShiftState shift) override;
    // Sets the desktop's alpha (0xFF, or the fade when Animated), draws the frame, then the caption
    // over the children with the desktop's second font, centred, clipped to the window.
    void Render(IDirect3DDevice9* device) override;

    // The border zone under a point of the screen rectangle r (margin 4), tried in the order
    // top-right, bottom-right, bottom-left, top-left, right, bottom, left, top; grzNone elsewhere.
    static GxResizeZone ZoneAt(const XRect& r, float x, float y);
    // The fade's alpha at tick count `now` from the hot state and its start: Opaque until Hold
    // has passed since leaving, then down to Transparent over FadeOut; from entering, up to
    // Opaque over FadeIn. Computed on the time elapsed since the start (so the tick count may
    // wrap) in signed arithmetic (Transparent above Opaque fades the other way), within 0-255; a
    // fade time of 0 goes to its end value at once.
    uint32_t FadeAlpha(uint32_t now) const;

    bool GetAnimated() const { return m_Animated; }
    void SetAnimated(bool value) { m_Animated = value; }
    uint32_t GetTransparentAlpha() const { return m_TransparentAlpha; }
    void SetTransparentAlpha(uint32_t value) { m_TransparentAlpha = value; }
    uint32_t GetOpaqueAlpha() const { return m_OpaqueAlpha; }
    void SetOpaqueAlpha(uint32_t value) { m_OpaqueAlpha = value; }
    uint32_t GetAutoOpaqueMode() const { return m_AutoOpaqueMode; }
    uint32_t GetAutoOpaqueFadeIn() const { return m_AutoOpaqueFadeIn; }
    uint32_t GetAutoOpaqueHold() const { return m_AutoOpaqueHold; }
    uint32_t GetAutoOpaqueFadeOut() const { return m_AutoOpaqueFadeOut; }
    bool GetMoveable() const { return m_Moveable; }
    void SetMoveable(bool value) { m_Moveable = value; }
    bool GetSizeable() const { return m_Sizeable; }
    void SetSizeable(bool value) { m_Sizeable = value; }
    bool GetAutoAnchors() const { return m_AutoAnchors; }
    void SetAutoAnchors(bool value) { m_AutoAnchors = value; }
    StrUtils::XBaseString<WCHAR> GetCaption() const { return m_Caption; }
    void SetCaption(const StrUtils::XBaseString<WCHAR>& caption) { m_Caption = caption; }
    void SetAutoOpaqueFadeIn(uint32_t value) { m_AutoOpaqueFadeIn = value; }
    void SetAutoOpaqueHold(uint32_t value) { m_AutoOpaqueHold = value; }
    void SetAutoOpaqueFadeOut(uint32_t value) { m_AutoOpaqueFadeOut = value; }
    // Given by the desktop each time it brings the window to the front.
    uint32_t GetActivationNumber() const { return m_ActivationNumber; }
    bool GetMoving() const { return m_Moving; }
    bool GetResizing() const { return m_Resizing; }
    GxResizeZone GetResizeZone() const { return m_ResizeZone; }
    bool GetHot() const { return m_Hot; }
    uint32_t GetFadeStart() const { return m_FadeStart; }

protected:
    friend class GxDesktop; // numbers the activations

    // The caption, centred on r, in the text colour with the desktop's alpha.
    void RenderCaption(const XRect& r);

    bool m_Animated = true;
    uint32_t m_TransparentAlpha = 90;
    uint32_t m_OpaqueAlpha = 240;
    uint32_t m_AutoOpaqueMode = 2; // stored and reflected only
    uint32_t m_AutoOpaqueFadeIn = 300;
    uint32_t m_AutoOpaqueHold = 1000;
    uint32_t m_AutoOpaqueFadeOut = 2000;
    uint32_t m_FadeStart = 0; // tick count of the last change of the hot state
    bool m_Hot = false;       // the mouse lay inside at the last render
    bool m_Moveable = true;
    bool m_Sizeable = true;
    bool m_Moving = false;
    bool m_Resizing = false;
    XPoint m_DragPoint{0, 0};
    uint32_t m_ActivationNumber = 0;
    GxResizeZone m_ResizeZone = grzNone;
    bool m_AutoAnchors = true;
    StrUtils::XBaseString<WCHAR> m_Caption;
};
} // namespace Gx::Ui
