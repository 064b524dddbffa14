// The Direct3D view base: a window control that owns one Direct3D 9 device and keeps it usable
// through resizes, lost devices and switches between windowed and full-screen display. It knows
// nothing of scenes or viewports: it offers the device, the frame bracket (RenderStart /
// RenderFinish), four device events for derived views and text output through a glyph-texture font.
//
// What survives a failure: a device that cannot be created stays null and the next RenderStart
// tries again; a failed reset throws to the caller of the frame, who drops that frame.
#pragma once

#include "DirectX/D3dFont.h"
#include "Platform/D3D9/D3D9.h"
#include "Platform/Vcl/Controls.h"

class TCustomForm;

class XBaseView : public TCustomControl
{
public:
    // Size of the full-screen back buffer the view starts with.
    static constexpr UINT FullscreenWidth = 1024;
    static constexpr UINT FullscreenHeight = 768;

    // Masks every floating-point exception, loads "d3d9.dll" and creates the Direct3D object
    // (XException "d3d9.dll load failed.", "Direct3D object create failed." for a library without
    // the entry point or a null object, "Getting display mode failed."), 320 x 240, no device yet.
    explicit XBaseView(TComponent* owner);
    // Releases the font texture, the device and the Direct3D object; a view destroyed in full
    // screen gives the main form its window procedure back first.
    ~XBaseView() override;

    // Device life, in slot order. RecreateDevice: ReleaseDevice(), drop texture and device, create
    // anew (one retry with the reference device and software vertex processing, which then stay),
    // read the caps and check the back buffer, CreateDevice(). A failed retry throws the CheckD3D
    // text and leaves no device.
    virtual void RecreateDevice();
    // Without a device RecreateDevice; else InvalidateDevice(), Reset with fresh parameters, the
    // back buffer checked, RestoreDevice().
    virtual void ResetDevice();
    // Windowed: the client size and the display format (read again) with this view's window;
    // full screen: the full-screen block with the main form's window, which goes top-most at
    // (0, 0) with the full-screen size.
    virtual void PrepareParameters(D3DPRESENT_PARAMETERS& parameters);
    // True when this frame may be drawn; a lost device answers false until it can be reset.
    virtual bool RenderStart();
    virtual void RenderFinish() {}
    virtual void CreateDevice() {}
    virtual void ReleaseDevice() {}
    virtual void InvalidateDevice() {}
    virtual void RestoreDevice() {}

    // Null before the window (and so the device) exists.
    virtual IDirect3DDevice9* GetDevice() { return m_Device; }
    IDirect3D9* GetDirect3D() const { return m_Direct3D; }
    const D3DCAPS9* GetDeviceCaps() const { return &m_Caps; }
    D3DPRESENT_PARAMETERS* GetFullscreenPresentParameters() { return &m_FullscreenParameters; }
    D3DPRESENT_PARAMETERS* GetWindowedPresentParameters() { return &m_WindowedParameters; }
    // Copy a whole block in; it takes effect at the next reset or re-creation.
    void SetFullscreenPresentParameters(const D3DPRESENT_PARAMETERS* parameters);
    void SetWindowedPresentParameters(const D3DPRESENT_PARAMETERS* parameters);
    D3DDEVTYPE GetDeviceType() const { return m_DeviceType; }
    DWORD GetBehaviorFlags() const { return m_BehaviorFlags; }

    bool GetFullscreen() const { return m_Fullscreen; }
    // On: the main form turns popup, top-most at (0, 0) with the full-screen size, its messages
    // filtered by FullscreenWndProc, and the device is re-created full screen. Off: re-created
    // windowed, the form's style, window procedure and stacking come back (not its place or size).
    // At design time switching on shows a box and changes nothing.
    void SetFullscreen(bool on);
    // The main form's messages while full screen: context menus, hit tests (answered "client")
    // and the system commands that size, move, maximise, open the window menu or switch the
    // monitor off are swallowed with result 1; the rest go to the form's own procedure.
    void FullscreenWndProc(TMessage& message);
    // The outermost form of the unbroken chain of forms above the view; XException "MainForm
    // getting failed." when the view's parent is not a form.
    TCustomForm* GetMainForm();
    // Windowed the control's client rectangle; full screen (0, 0) and the full-screen size.
    TRect ClientRect() const override;

    // Text at (x, y) in a Direct3D colour word; nothing without a device. The glyph texture is
    // built on first use (A8R8G8B8, managed pool), kept over resets, rebuilt after a re-creation.
    void RenderText(float x, float y, unsigned color, const char* text);
    void RenderText(float x, float y, unsigned color, const WCHAR* text);
    IDirect3DTexture9* GetFontTexture() const { return m_FontTexture; }
    D3dFont& GetFont() { return m_Font; }

    void Dispatch(TMessage& message) override;

protected:
    // The window, then the device.
    void CreateWnd() override;
    // Windowed, after the window exists: a client size other than the back buffer's resets the
    // device with the new size.
    void Resize() override;
    void Paint() override {}

private:
    // Drops the font texture and the device.
    void ReleaseResources();
    // The back buffer must be there; the surface is released at once.
    void CheckBackBuffer(bool throughCheckD3D);
    IDirect3DTexture9* FontTexture();

    D3dFont m_Font;
    IDirect3DTexture9* m_FontTexture = nullptr;
    IDirect3D9* m_Direct3D = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    D3DCAPS9 m_Caps{};
    UINT m_Adapter = 0;
    DWORD m_BehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    D3DDEVTYPE m_DeviceType = D3DDEVTYPE_HAL;
    D3DPRESENT_PARAMETERS m_FullscreenParameters{};
    D3DPRESENT_PARAMETERS m_WindowedParameters{};
    bool m_Fullscreen = false;
    TCustomForm* m_MainForm = nullptr;
    LONG m_SavedStyle = WS_POPUP;
    TWndMethod m_SavedWndProc;
};
