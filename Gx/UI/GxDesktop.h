// The root window of a scene's in-viewport UI. It keeps its windows in front-to-back order, knows
// the control under the mouse (hover), the focused control and the control that captured the
// mouse, never keeping one that has been destroyed, routes the mouse and keys to them, draws its
// windows back to front with the fade and the focus marks, and owns the toolkit's three fonts. The
// scene creates one desktop with itself as owner, passes it its device events and deletes it.
//
// Any call into a control may destroy controls (itself included). The routing reads the hover,
// capture and focus controls again after each call and holds every other control it is about to
// call in a watch that the control's destruction clears, so no destroyed control is called.
#pragma once

#include "Components/XVertex.h"
#include "Gx/UI/GxFont.h"
#include "Gx/UI/GxWindow.h"

#include <cstdint>
#include <vector>

class XScene;
struct IDirect3DDevice9;

namespace Gx::Ui
{
class GxDesktop : public GxWindow
{
public:
    // The fonts the desktop owns: 8 points plain, 12 points bold (window captions), 16 points
    // bold, all "MS Sans Serif".
    static constexpr unsigned FontCount = 3;

    // A window with an empty caption and no desktop of its own.
    explicit GxDesktop(XScene* owner);
    // Deletes the windows while the desktop can still forget them.
    ~GxDesktop() override;

    // Passed to the three fonts in order.
    void CreateDevice(IDirect3DDevice9* device) override;
    void ReleaseDevice(IDirect3DDevice9* device) override;
    void InvalidateDevice(IDirect3DDevice9* device) override;
    void RestoreDevice(IDirect3DDevice9* device) override;
    // The frame's, then a window is brought to the front.
    int AddControl(GxControl* control) override;

    // Mouse input in desktop pixels; each stores the point as the last mouse point first. A press
    // goes to the hover control, and to the capture control when that is another one; the focus
    // then moves to the control under the point (none over bare desktop) unless that control was
    // destroyed meanwhile. Buttons: 1 left, 2 middle, 4 right.
    void MouseDown(float x, float y, uint32_t button, GxShiftState shift) override;
    // Leave to the old hover control and Enter to the new one before the move reaches the hover
    // control, and the capture control when that is another one.
    void MouseMove(float x, float y, GxShiftState shift) override;
    void MouseUp(float x, float y, uint32_t button, GxShiftState shift) override;
    // To the focus control only.
    void KeyDown(unsigned& key, GxShiftState shift) override;
    void KeyPress(WCHAR& character) override;
    void KeyUp(unsigned& key, GxShiftState shift) override;
    // Reads the tick count, then draws the visible children from the back-most to the front-most,
    // each starting at alpha 0xFF; no background or caption of its own.
    void Render(IDirect3DDevice9* device) override;

    virtual void SetCapture(GxControl* control);
    virtual void ReleaseCapture();
    // Called by every control's destructor: a hover control gets MouseLeave, a focus control
    // SetFocused(false), and the desktop forgets it.
    virtual void ControlDestroyed(GxControl* control);
    // A child window not already in front takes the next activation number and moves to index 0.
    virtual void BringToFront(GxWindow* window);
    // The control, or its nearest ancestor that can take the focus (null when none), becomes the
    // focus control; the window holding it is brought to the front.
    virtual void SetFocus(GxControl* control);
    // Hooks around every control's own drawing, r its screen rectangle: nothing before; after,
    // the focus marks when they are shown and the control is the focus control: four squares of
    // half size 2 in opaque black at the midpoints of its sides.
    virtual void BeforeRenderControl(IDirect3DDevice9* device, const XRect& r);
    virtual void AfterRenderControl(IDirect3DDevice9* device, const XRect& r, GxControl* control);

    XScene* GetOwnerScene() const { return m_Scene; }
    GxControl* GetHoverControl() const { return m_Hover; }
    GxControl* GetFocusControl() const { return m_Focus; }
    GxControl* GetCaptureControl() const { return m_Capture; }
    uint32_t GetActivationCounter() const { return m_ActivationCounter; }
    XPoint GetLastMousePoint() const { return m_LastMouse; }
    // 0 to 2; null past the end.
    GxFont* GetFont(unsigned index) { return index < FontCount ? &m_Fonts[index] : nullptr; }
    uint32_t GetAlpha() const { return m_Alpha; }
    // Windows set it as they draw.
    void SetAlpha(uint32_t alpha) { m_Alpha = alpha; }
    uint32_t GetTickCount() const { return m_TickCount; }
    bool GetShowFocusMarks() const { return m_ShowFocusMarks; }
    void SetShowFocusMarks(bool show) { m_ShowFocusMarks = show; }

protected:
    // A control the routing is about to call; cleared when the control is destroyed meanwhile.
    // Watches nest (a control may route input from its handler) and end in reverse order.
    class Watch
    {
    public:
        Watch(GxDesktop* desktop, GxControl* control);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;
        GxControl* Get() const { return m_Desktop->m_Watched[m_Index]; }

    private:
        GxDesktop* m_Desktop;
        size_t m_Index;
    };

    XScene* m_Scene;
    GxControl* m_Hover = nullptr;
    GxControl* m_Focus = nullptr;
    GxControl* m_Capture = nullptr;
    uint32_t m_ActivationCounter = 0;
    XPoint m_LastMouse{0, 0};
    GxFont m_Fonts[FontCount];
    uint32_t m_Alpha = 0xFF;
    uint32_t m_TickCount = 0;
    bool m_ShowFocusMarks = false;
    std::vector<GxControl*> m_Watched; // the watches' controls, innermost last
};
} // namespace Gx::Ui
