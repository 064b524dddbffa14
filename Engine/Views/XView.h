// The four-viewport view: the 3D view control that shows scenes. It keeps a list of attached
// scenes with one current scene, four viewports arranged by one of twelve layouts with splitters
// between them, a render timer that draws every visible viewport, the fan-out of device events to
// the scenes and viewports, the routing of keys to the current scene, the active viewport and the
// options the viewports read (frames, caption, transform type).
//
// A scene is shown in at most one view (XScene::SetView) and may be listed in several; the view
// watches each listed scene for its destruction and never owns one. What survives a failure: a
// frame that throws is dropped and the next tick draws again; a view going away first takes every
// scene it shows out of itself, so their objects release the device while it stands.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XPtrArray.h"
#include "Engine/Views/XBaseView.h"
#include "Engine/Views/XViewCapture.h"
#include "Engine/Views/XViewText.h"
#include "Platform/Vcl/ExtCtrls.h"

#include <cstdint>
#include <memory>

class AnsiString;
class TCustomIniFile;
class XFont;
class XReader;
class XScene;
class XViewLayout;
class XViewport;
class XWriter;

// A view's transform type: 0 move, 1 rotate, 2 scale (camera navigation), 3 edit (mouse events go
// to the scene's editor).
using XTransformType = uint32_t;
constexpr XTransformType XTT_MOVE = 0;
constexpr XTransformType XTT_ROTATE = 1;
constexpr XTransformType XTT_SCALE = 2;
constexpr XTransformType XTT_EDIT = 3;

using TViewportEvent = TClosure<void(TObject* Sender, XViewport* Viewport)>;
using XScenes = XPtrArray<XScene>;

// A plain window panel that holds viewports; it never erases its background.
class XViewportContainer : public TWinControl
{
public:
    using TWinControl::TWinControl;
    void Dispatch(TMessage& Message) override;
};

class XView : public XBaseView
{
public:
    // Chunks of the view block in the scene file.
    static constexpr uint32_t ViewChunk = 0xFE430000;
    static constexpr uint32_t ViewportChunk0 = 0xFE430010; // + 0..3 for V0..V3
    static constexpr uint32_t LayoutChunk = 0xFE430020;
    // The render timer's period, in milliseconds.
    static constexpr unsigned DefaultTimerInterval = 75;

    // The ten children hidden on the view, layout 11 stored (applied when the window comes), the
    // presets on the viewports, V0 active, transform type 3, the timer off.
    explicit XView(TComponent* AOwner);
    ~XView() override;
    // Takes the scenes shown here out of the view and frees the children while the view stands.
    void BeforeDestruction() override;

    // ---- Scenes ----
    // Appends the scene unless listed and asks for its free notification; the scene takes the
    // view's last navigation type (0 before any). Its index, -1 for null.
    virtual int AddScene(XScene* scene);
    // Removes the scene (clearing the current scene when it is that one) and drops the free
    // notification; a scene shown in this view leaves it (XScene::LeaveView). Its former index,
    // or -1 when it was not listed.
    virtual int DeleteScene(XScene* scene);
    // The listed scenes, in order of attachment; indexing past the count throws "Out of range.".
    const XScenes& GetScenes() const { return m_Scenes; }
    // The scene the viewports draw; null when none is current.
    virtual XScene* GetScene() { return m_Scene; }
    // Makes the scene current (listing it); a primary view also shows it (XScene::SetView). The
    // former current scene stays listed and keeps its view.
    void SetScene(XScene* scene);
    bool GetPrimary() const { return m_Primary; }
    // A primary view passes device events to its scenes and shows its current scene.
    void SetPrimary(bool primary);

    // ---- Layout ----
    int GetViewportLayout() const;
    // 0-10; any other number gives the 2 x 2 layout and is stored as 11.
    void SetViewportLayout(int layout);
    XViewport* GetViewport(int index) const { return m_V[index & 3]; }
    TSplitter* GetSplitter(int index) const { return m_SP[index & 3]; }
    XViewportContainer* GetContainer(int index) const { return m_C[index & 1]; }
    // Each splitter's OnMoved (and, without a sender, the end of a placement): records the
    // proportions; in the 2 x 2 layout the two row splitters are held level.
    void OnSplitterMoved(TObject* Sender);

    // ---- Drawing ----
    // One frame: every visible viewport draws the current scene; with `present` each shows its
    // own rectangle, without it the frame stays in the back buffer, black wherever no viewport
    // draws (as a capture reads it). Whatever a frame throws is dropped.
    void RenderScene(bool present);

    // ---- Capture ----
    // A frame of its own drawn into the back buffer (not presented) and read back. The raw form
    // hands over a new array (the caller frees it with delete[]) of height rows of width pixels of
    // the back buffer's format and raises a failure; the others write a BMP in the layout, or a
    // 32-bit BMP or JPEG, and show a failure. A frame that is not drawn (a lost device, a frame
    // that throws) ends the capture; the path forms leave the target untouched then.
    void CaptureBitmap(void** data, unsigned& width, unsigned& height, D3DFORMAT& format);
    void CaptureBitmap(XStream* stream, XColorFormat format);
    void CaptureBitmap(const XString& path, XColorFormat format);
    void CaptureImage(XStream* stream, XBitmapSourceType type);
    // ".jpg" and ".jpeg" JPEG, ".bmp" BMP, in any case; any other is shown and creates no file.
    void CaptureImage(const XString& path);
    // The timer's tick: a frame, except at design time.
    void OnTimer(TObject* Sender);
    bool GetTimerEnabled() const;
    void SetTimerEnabled(bool enabled);
    unsigned GetTimerInterval() const;
    void SetTimerInterval(unsigned interval);

    // ---- Viewports ----
    virtual XViewport* GetActiveViewport() { return m_ActiveViewport; }
    // One of V0..V3 other than the active one: leave, enter, repaint; anything else is ignored.
    void SetActiveViewport(XViewport* viewport);
    void DoViewportEnter(XViewport* viewport);
    void DoViewportLeave(XViewport* viewport);
    XTransformType GetTransformType() const { return m_TransformType; }
    // 0-2 also go to every listed scene, so editors drag by the last navigation type; 3 leaves
    // the scenes as they are.
    void SetTransformType(XTransformType type);
    // V0 top, V1 front, V2 left, V3 top again.
    virtual void ResetViewports();

    // The viewports' frames: width in pixels and the colours of inactive and active ones.
    int GetViewportBorderWidth() const { return m_ViewportBorderWidth; }
    void SetViewportBorderWidth(int width) { m_ViewportBorderWidth = width < 0 ? 0 : width; }
    TColor GetViewportBorderColor() const { return m_ViewportBorderColor; }
    void SetViewportBorderColor(TColor color) { m_ViewportBorderColor = color; }
    TColor GetActiveViewportBorderColor() const { return m_ActiveViewportBorderColor; }
    void SetActiveViewportBorderColor(TColor color) { m_ActiveViewportBorderColor = color; }

    // ---- State ----
    // Chunk 0xFE430000: the layout (0xFE430020), then each viewport's block in 0xFE430010 + i.
    virtual void Save(XScene* scene, XWriter& writer);
    // Acts on 0xFE430000 only; unknown children are skipped, missing ones leave the state as it
    // was; a layout cut short raises the reader's error.
    virtual void Load(XScene* scene, XReader& reader);
    // The viewports' keys in the sections section + "_Viewport0" .. "_Viewport3".
    void SaveState(TCustomIniFile* ini, const AnsiString& section);
    void LoadState(TCustomIniFile* ini, const AnsiString& section);

    // ---- Text ----
    // Text with a scene font's glyph texture, its top-left corner at (x, y); the wide form goes
    // through the ANSI code page. Nothing without a device, a font, its texture or a glyph.
    void RenderText(float x, float y, unsigned colour, const StrUtils::XBaseString<char>& text, XFont* font);
    void RenderText(float x, float y, unsigned colour, const StrUtils::XBaseString<WCHAR>& text, XFont* font);
    using XBaseView::RenderText;

    // Whether the viewports draw their captions, and in which colour (a GDI colour 0x00BBGGRR).
    bool ShowViewportCaption = false;
    TColor ViewportCaptionColor = static_cast<TColor>(0x00FFFF);
    TViewportEvent OnViewportEnter;
    TViewportEvent OnViewportLeave;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void CreateWnd() override;
    void Paint() override {}
    void CreateDevice() override;
    void ReleaseDevice() override;
    void InvalidateDevice() override;
    void RestoreDevice() override;
    void Resize() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyUp(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;

    XScene* m_Scene = nullptr;
    int m_ViewportBorderWidth = 2;
    TColor m_ViewportBorderColor = static_cast<TColor>(0x808080);
    TColor m_ActiveViewportBorderColor = static_cast<TColor>(0x0000FF);
    XTransformType m_TransformType = XTT_EDIT;

private:
    // One frame for a capture: D3D_OK once drawn, else why not (E_FAIL for a frame that threw).
    HRESULT DrawFrame(bool present);
    // For a capture's frame, before the viewports draw: the whole back buffer black, as a fresh
    // one, so that what no viewport draws (frames, splitters; all of it without a scene) is black.
    void ClearBackBuffer(IDirect3DDevice9* device);
    XCaptureSource CaptureSource();
    // The viewports hand their presses and moves to the view's own mouse handlers.
    friend class XViewport;

    enum class DeviceEvent
    {
        Create,
        Release,
        Invalidate,
        Restore
    };
    void SendDeviceEvent(DeviceEvent event);
    // Every listed scene shown in this view leaves it (over a copy: leaving edits the list).
    void HideScenes();
    // Takes the scene off the list without a word to it; its former index, or -1.
    int Unlist(XScene* scene);
    void FreeChildren();

    XScenes m_Scenes;
    bool m_Primary = false;
    XViewport* m_V[4] = {};
    TSplitter* m_SP[4] = {};
    XViewportContainer* m_C[2] = {};
    std::unique_ptr<XViewLayout> m_Layout;
    XViewport* m_ActiveViewport = nullptr;
    XTransformType m_LastNavigation = XTT_MOVE;
    TTimer* m_Timer = nullptr;
};

// Chunk of the scene file that holds the view state, written only by a scene shown in a view.
constexpr unsigned XVIEW_STATE_CHUNK = 0x4E43535D;
