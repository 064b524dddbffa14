// The base of the in-viewport UI: a rectangle in screen pixels over a scene, relative to its parent
// frame, with anchors that say how it follows its parent's resizing, colours, visibility, focus,
// reflection properties, hit testing, mouse forwarding, and drawing: with GDI on a canvas (design
// time) and with Direct3D as screen-space rectangles. Every control belongs to one desktop, which
// it tells when it goes, so that the desktop never keeps a pointer to a dead control.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XColor.h"
#include "Components/XVertex.h"
#include "Engine/Scene/XBaseObject.h"
#include "Gx/UI/GxShiftState.h"

#include <cstdint>

class TCanvas;
struct IDirect3DDevice9;

namespace Gx::Ui
{
class GxDesktop;
class GxFrame;

// Mouse button codes of MouseDown and MouseUp.
constexpr uint32_t gmbLeft = 0x01;
constexpr uint32_t gmbMiddle = 0x02;
constexpr uint32_t gmbRight = 0x04;

// The vertex of RenderRect: pre-transformed, with a diffuse colour.
struct GxRectVertex
{
    float x, y, z, rhw;
    uint32_t color;
};
static_assert(sizeof(GxRectVertex) == 20);
constexpr uint32_t GXRECT_FVF = 0x44; // XYZRHW | DIFFUSE

class GxControl : public XBaseObject
{
public:
    static constexpr uint32_t PidLeft = 0x77770001;
    static constexpr uint32_t PidTop = 0x77770002;
    static constexpr uint32_t PidWidth = 0x77770003;
    static constexpr uint32_t PidHeight = 0x77770004;
    static constexpr uint32_t PidAnchorLeft = 0x77770005;
    static constexpr uint32_t PidAnchorTop = 0x77770006;
    static constexpr uint32_t PidAnchorRight = 0x77770007;
    static constexpr uint32_t PidAnchorBottom = 0x77770008;
    static constexpr uint32_t PidBackColor = 0x77770010;
    static constexpr uint32_t PidTextColor = 0x77770011;
    static constexpr uint32_t PidVisible = 0x77770012;
    static constexpr uint32_t PidTransparent = 0x77770013;

    // 120 by 20 at (0, 0), anchored left and top. The control does not join the parent: the
    // creator calls the parent's AddControl. The desktop deletes its tree; a control kept outside
    // it must go before the desktop does.
    GxControl(GxDesktop* desktop, GxFrame* parent);
    // Tells the desktop (it forgets the control as hover, focus or capture control) and leaves a
    // parent that still lists it.
    ~GxControl() override;

    // Leaves the parent, then deletes the control.
    void Destroy() override;
    // Every class of the toolkit shares the id 0x77770000 and the name "GxControl".
    uint32_t GetClassId() const override;
    StrUtils::XBaseString<WCHAR> GetClassNameW() const override;
    // Controls are not saved.
    void Save(XScene* scene, XWriter& writer) override;
    void Load(XScene* scene, XReader& reader) override;
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;

    virtual void SetFocused(bool focused);
    // A width or height below a positive minimum takes the minimum; equal bounds change nothing.
    // Otherwise SaveOldSize, store, Resized, and the old size becomes the new one.
    virtual void SetBounds(float left, float top, float width, float height);
    virtual void GetBounds(float& left, float& top, float& width, float& height);
    // In desktop (screen) pixels: the parents' offsets added up.
    virtual XRect GetScreenRect();
    virtual void SaveOldSize();
    // After a change of bounds; nothing here.
    virtual void Resized();
    // Coordinates are desktop pixels. The plain control passes the mouse on to its parent when it
    // forwards input, and otherwise ignores it.
    virtual void MouseDown(float x, float y, uint32_t button, GxShiftState shift);
    virtual void MouseMove(float x, float y, GxShiftState shift);
    virtual void MouseUp(float x, float y, uint32_t button, GxShiftState shift);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void KeyDown(unsigned& key, GxShiftState shift);
    virtual void KeyPress(WCHAR& character);
    virtual void KeyUp(unsigned& key, GxShiftState shift);
    // Design-time drawing: the screen rectangle, truncated to whole pixels, framed in red and
    // filled one pixel in with the button face colour. Nothing on a null canvas.
    virtual void Paint(TCanvas* canvas);
    // Between the desktop's two hooks, the background in the back colour with the desktop's alpha
    // byte, unless the control is transparent. A control without a desktop draws nothing.
    virtual void Render(IDirect3DDevice9* device);
    // This control when it is visible and the point lies in its screen rectangle (edges
    // included); null otherwise.
    virtual GxControl* ControlAt(float x, float y);

    // Each calls SetBounds with one value replaced, only when it differs.
    void SetLeft(float value);
    void SetTop(float value);
    void SetWidth(float value);
    void SetHeight(float value);
    float GetLeft() const { return m_Left; }
    float GetTop() const { return m_Top; }
    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    // The point relative to the control's screen rectangle.
    XPoint ScreenToClient(float x, float y);
    // One filled screen-space rectangle in the colour (ARGB), alpha-blended over what is there.
    // Sets the render states it needs and leaves them set.
    void RenderRect(IDirect3DDevice9* device, const XRect& rect, uint32_t color);
    // RenderRect of the square from centre - half size to centre + half size.
    void RenderPoint(IDirect3DDevice9* device, const XPoint& centre, uint32_t halfSize, uint32_t color);

    GxDesktop* GetDesktop() const { return m_Desktop; }
    GxFrame* GetParent() const { return m_Parent; }
    float GetMinWidth() const { return m_MinWidth; }
    void SetMinWidth(float value) { m_MinWidth = value; }
    float GetMinHeight() const { return m_MinHeight; }
    void SetMinHeight(float value) { m_MinHeight = value; }
    bool GetAnchorLeft() const { return m_AnchorLeft; }
    bool GetAnchorTop() const { return m_AnchorTop; }
    bool GetAnchorRight() const { return m_AnchorRight; }
    bool GetAnchorBottom() const { return m_AnchorBottom; }
    void SetAnchors(bool left, bool top, bool right, bool bottom);
    bool GetFocused() const { return m_Focused; }
    bool GetCanFocus() const { return m_CanFocus; }
    void SetCanFocus(bool value) { m_CanFocus = value; }
    bool GetForwardInput() const { return m_ForwardInput; }
    void SetForwardInput(bool value) { m_ForwardInput = value; }
    float GetOldWidth() const { return m_OldWidth; }
    float GetOldHeight() const { return m_OldHeight; }
    XColor GetTextColor() const { return m_TextColor; }
    void SetTextColor(XColor color) { m_TextColor = color; }
    XColor GetBackColor() const { return m_BackColor; }
    void SetBackColor(XColor color) { m_BackColor = color; }
    bool GetVisible() const { return m_Visible; }
    void SetVisible(bool value) { m_Visible = value; }
    bool GetTransparent() const { return m_Transparent; }
    void SetTransparent(bool value) { m_Transparent = value; }

protected:
    friend class GxFrame; // sets and clears the parent as children join and leave

    // Left, Top, Width or Height from reflection; a value that is not finite is ignored.
    void SetCoordinate(unsigned id, const VarUtils::XVariant& value);

    GxDesktop* m_Desktop;
    GxFrame* m_Parent;
    float m_Left = 0;
    float m_Top = 0;
    float m_Width = 120;
    float m_Height = 20;
    float m_MinWidth = 0;
    float m_MinHeight = 0;
    bool m_AnchorLeft = true;
    bool m_AnchorTop = true;
    bool m_AnchorRight = false;
    bool m_AnchorBottom = false;
    bool m_Focused = false;
    bool m_CanFocus = true;
    bool m_ForwardInput = false;
    float m_OldWidth = 120;
    float m_OldHeight = 20;
    XColor m_TextColor{0xCC000000};
    XColor m_BackColor{0xBBBBBBBB};
    bool m_Visible = true;
    bool m_Transparent = false;
};
} // namespace Gx::Ui
