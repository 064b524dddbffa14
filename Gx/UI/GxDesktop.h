// The root window of a scene's in-viewport UI. It keeps its windows in front-to-back order, knows
// the control under the mouse (hover), the focused control and the control that captured the
// mouse, never keeping one that has been destroyed, and owns the toolkit's three fonts. The scene
// creates one desktop with itself as owner, passes it its device events and deletes it.
//
// Routing the mouse and keys to the controls and drawing them belong to the views' input and
// drawing work; the state they use (last mouse point, alpha, tick count, focus marks) is here.
#pragma once

#include "Components/XVertex.h"
#include "Gx/UI/GxFont.h"
#include "Gx/UI/GxWindow.h"

#include <cstdint>

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

    XScene* GetOwnerScene() const { return m_Scene; }
    GxControl* GetHoverControl() const { return m_Hover; }
    GxControl* GetFocusControl() const { return m_Focus; }
    GxControl* GetCaptureControl() const { return m_Capture; }
    uint32_t GetActivationCounter() const { return m_ActivationCounter; }
    XPoint GetLastMousePoint() const { return m_LastMouse; }
    // 0 to 2; null past the end.
    GxFont* GetFont(unsigned index) { return index < FontCount ? &m_Fonts[index] : nullptr; }
    uint32_t GetAlpha() const { return m_Alpha; }
    uint32_t GetTickCount() const { return m_TickCount; }
    bool GetShowFocusMarks() const { return m_ShowFocusMarks; }
    void SetShowFocusMarks(bool show) { m_ShowFocusMarks = show; }

protected:
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
};
} // namespace Gx::Ui
