// One drawing area of a view: the camera it looks through and its matrices, the construction
// plane with its grid, the mapping of mouse points into the scene, the Direct3D pass that draws
// it (clear, camera, render states, head light, scene, grid, caption), the GDI paint of its
// border, the preset views, and its options in the scene file and in an INI file.
//
// Screen points are XPoint floats in the picture's coordinates: (0, 0) is the top-left pixel of
// the client rectangle, inside the border, as the mouse handlers store them; the picture is
// GetClientWidth x GetClientHeight pixels. Every operation reads the camera at the frame it is
// given.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XArray.h"
#include "Components/XColor.h"
#include "Components/XMatrix.h"
#include "Components/XVertex.h"
#include "Engine/Scene/XNotificationObject.h"
#include "Engine/Views/XRenderer.h"
#include "Engine/Views/XScreenMapping.h"
#include "Platform/Vcl/Controls.h"

#include <cstdint>

class AnsiString;
class TCustomIniFile;
class XCamera;
class XGrid;
class XReader;
class XScene;
class XView;
class XWriter;
struct IDirect3DDevice9;

// Mouse events of the viewports and editors.
using XMouseEvent = uint32_t;
constexpr XMouseEvent XME_NONE = 0;
constexpr XMouseEvent XME_LEFT_DOWN = 0x01;
constexpr XMouseEvent XME_LEFT_UP = 0x02;
constexpr XMouseEvent XME_MIDDLE_DOWN = 0x04;
constexpr XMouseEvent XME_MIDDLE_UP = 0x08;
constexpr XMouseEvent XME_RIGHT_DOWN = 0x10;
constexpr XMouseEvent XME_RIGHT_UP = 0x20;
constexpr XMouseEvent XME_MOVE = 0x40;

// Modifier keys and held buttons of a mouse event (one byte).
using XShiftState = uint8_t;
constexpr XShiftState XSS_CTRL = 0x01;
constexpr XShiftState XSS_SHIFT = 0x02;
constexpr XShiftState XSS_ALT = 0x04;
constexpr XShiftState XSS_LEFT = 0x08;
constexpr XShiftState XSS_RIGHT = 0x10;
constexpr XShiftState XSS_MIDDLE = 0x20;

// Axis masks: 1 X, 2 Y, 4 Z; 3 XY, 5 XZ and 6 YZ name planes, 7 all axes, 0 none.
constexpr unsigned XAXIS_X = 1;
constexpr unsigned XAXIS_Y = 2;
constexpr unsigned XAXIS_Z = 4;
constexpr unsigned XAXIS_XY = 3;
constexpr unsigned XAXIS_XZ = 5;
constexpr unsigned XAXIS_YZ = 6;
constexpr unsigned XAXIS_XYZ = 7;

// How PickVertices reads its rectangle: a click widens it by 2 pixels on every side, a dragged
// rectangle is taken as it is.
using XPickType = uint32_t;
constexpr XPickType XPT_CLICK = 0;
constexpr XPickType XPT_RECT = 1;

class XViewport : public TGraphicControl
{
public:
    // Chunks of the viewport block in the scene file.
    static constexpr uint32_t ViewportChunk = 0xFE450000;
    static constexpr uint32_t CameraChunk = 0xFE450001;
    static constexpr uint32_t ShowGridChunk = 0xFE450002;
    static constexpr uint32_t PlaneAxisChunk = 0xFE450003;
    static constexpr uint32_t BackColorChunk = 0xFE450004;
    static constexpr uint32_t FillModeChunk = 0xFE450005;
    static constexpr uint32_t ShadeModeChunk = 0xFE450006;
    static constexpr uint32_t CullModeChunk = 0xFE450007;
    static constexpr uint32_t LightingChunk = 0xFE450008;
    static constexpr uint32_t NormalizeNormalsChunk = 0xFE450009;
    static constexpr uint32_t PointSizeChunk = 0xFE45000A;
    // The reference grid's colour.
    static constexpr uint32_t GridColor = 0xFF6666CC;

    // Every option at its default; its own camera current and watched; the XZ construction plane.
    // The view may be null (a stand-in viewport): no device, no border.
    XViewport(TComponent* owner, XView* view);
    ~XViewport() override;

    // The device of the owning view, the one the current frame is drawn with; null when the view
    // has none.
    virtual IDirect3DDevice9* GetDevice();
    // The current camera: the viewport's own or a camera node of the scene; never null.
    virtual XCamera* GetCamera();
    // Null means the own camera; the watcher follows the camera that becomes current.
    virtual void SetCamera(XCamera* camera);
    // The watcher's event: the current camera deleted (1) or released (2) gives the own camera back.
    void OnCameraNotify(XRefManager* target, unsigned message, uintptr_t param);
    XCamera* GetOwnCamera() const { return m_OwnCamera; }
    // The current camera's world matrix set to the identity at frame 0.
    void ResetCamera();
    virtual XMatrix GetViewMatrix(unsigned frame);
    virtual XMatrix GetProjectionMatrix(unsigned frame);

    // The point under p in the current camera's space at depth 1 (XScreenMapping::ScreenToCamera
    // with the picture's width and height).
    virtual XVertex ScreenToCamera(unsigned frame, const XPoint& p);
    // The pick ray through p in the space of an object whose world matrix is world (the inverse
    // of world x view carries it there). A perspective camera gives origin = camera position; an
    // orthographic one a parallel ray. The direction is not normalised.
    virtual void GetPickRay(unsigned frame, const XPoint& p, XVertex& origin, XVertex& direction,
                            const XMatrix& world);
    // World-space origin of the pick ray through p (p.x, p.y used), also written to out.
    virtual XVertex GetRayOrigin(unsigned frame, const XVertex& p, XVertex& out);

    // The construction plane: 3 XY (z = 0), 5 XZ (y = 0) or 6 YZ (x = 0). Mouse creation reads it
    // at its first press and keeps it to the end.
    virtual unsigned GetPlaneAxis();
    // Only 3, 5 and 6 are taken, and only a change rebuilds the grid matrix.
    virtual void SetPlaneAxis(unsigned axis);
    // The matrix that carries the XY plane onto the construction plane.
    virtual XMatrix GetGridMatrix();
    // Where the pick ray through p meets the plane or axis the mask names, in world space (the
    // second form: in the space of the object whose world matrix is given). Mask 7 takes x and y
    // from z = 0 and z from y = 0 (x = 0 when the ray misses it); mask 0 and unknown masks give
    // (0, 0, 0); a coordinate beyond +-10000 or not a number is returned as 0.
    virtual XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis);
    virtual XVertex ScreenToPlane(unsigned frame, const XPoint& p, unsigned axis, const XMatrix& world);

    // Render options the scene reads. Lighting: the scene's lights are set when it is on, and
    // drawing that switches lighting off restores D3DRS_LIGHTING to it.
    virtual bool GetLighting();
    // The fill mode (a D3DFILLMODE), passed unchanged to every node's Render.
    virtual uint32_t GetFillMode();
    // D3DRS_POINTSIZE for drawing points.
    virtual float GetPointSize();
    // Width and height of the client rectangle, the picture the pass fills, in pixels: the W and
    // H of the mappings (never negative).
    virtual int GetClientWidth();
    virtual int GetClientHeight();
    // A point of the control (border included) in the picture's coordinates.
    XPoint PicturePoint(int x, int y) const;

    // The picture's top-left pixel in the client coordinates of its view (ClientToParent), where
    // drawing in screen coordinates must be shifted to, since the view's device draws every
    // viewport into one back buffer; from (Left, Top) while the viewport is not placed in its view.
    virtual TPoint GetViewOrigin();

    // The caption drawn in the viewport (a camera preset names itself there).
    virtual StrUtils::XBaseString<WCHAR> GetCaption();
    virtual void SetCaption(const StrUtils::XBaseString<WCHAR>& caption);

    // The other options, stored and read by the view and the saved state.
    void SetLighting(bool on) { m_Lighting = on; }
    void SetFillMode(uint32_t mode) { m_FillMode = mode; }
    void SetPointSize(float size) { m_PointSize = size; }
    uint32_t GetShadeMode() const { return m_ShadeMode; }
    void SetShadeMode(uint32_t mode) { m_ShadeMode = mode; }
    uint32_t GetCullMode() const { return m_CullMode; }
    void SetCullMode(uint32_t mode) { m_CullMode = mode; }
    XColor GetAmbient() const { return m_Ambient; }
    void SetAmbient(XColor color) { m_Ambient = color; }
    bool GetNormalizeNormals() const { return m_NormalizeNormals; }
    void SetNormalizeNormals(bool on) { m_NormalizeNormals = on; }
    bool GetShowGrid() const { return m_ShowGrid; }
    void SetShowGrid(bool on) { m_ShowGrid = on; }
    XColor GetBackColor() const { return m_BackColor; }
    void SetBackColor(XColor color) { m_BackColor = color; }
    XView* GetView() const { return m_View; }
    XRenderer* GetRenderer() { return &m_Renderer; }
    XGrid* GetGrid() const { return m_Grid; }

    // Device events from the view: create and restore keep the device, release and invalidate
    // drop it; each is passed on to the render-state holder.
    void CreateDevice(IDirect3DDevice9* device);
    void ReleaseDevice(IDirect3DDevice9* device);
    void InvalidateDevice(IDirect3DDevice9* device);
    void RestoreDevice(IDirect3DDevice9* device);

    // (b, b, Width - b, Height - b) with b the view's border width.
    TRect ClientRect() const override;
    // The Direct3D pass of this viewport into the view's back buffer; with `present` the
    // viewport's rectangle is presented. Nothing at all without a scene or a device.
    virtual void Render(XScene* scene, bool present);

    // Camera world matrix at frame 0, construction plane and caption of the three standard views.
    void SetLeftView();
    void SetFrontView();
    void SetTopView();

    // The grid's scale for projection element p = P[0][0], and its label (" (4.0 : 1)").
    static float GridScale(float p);
    static StrUtils::XBaseString<WCHAR> GridLabel(float scale);
    // The text the pass draws as the caption: the caption or "Камера: " and the scene camera's
    // name, then the grid label when the grid shows.
    StrUtils::XBaseString<WCHAR> CaptionText(unsigned frame);

    // Keys handed to the view's current scene with a copy of the key (the caller's key stays as
    // it was) and the modifiers as GxShiftState; nothing without a scene.
    void KeyDown(WORD& Key, TShiftState Shift);
    void KeyUp(WORD& Key, TShiftState Shift);
    void KeyPress(WCHAR& Key);
    // No background erase; the view's popup menu at the point of WM_CONTEXTMENU unless the left
    // or middle button is held (swallowed either way); a right release whose press the editor
    // took is swallowed, so it asks for no menu; WM_GETDLGCODE wants arrows and all keys.
    void Dispatch(TMessage& Message) override;
    // The routing of one mouse event: in edit mode (transform type 3) to the scene, which hands
    // it to its editor; otherwise navigation of the current camera by the view's transform type
    // (0 pan, 1 turn or orbit, 2 zoom), a right press switching the view to edit mode.
    virtual void MouseEvent(XMouseEvent event, XShiftState shift, const XPoint& point);
    bool GetLeftHeld() const { return m_LeftHeld; }
    bool GetMiddleHeld() const { return m_MiddleHeld; }
    bool GetRightHeld() const { return m_RightHeld; }
    const XPoint& GetMousePoint() const { return m_MousePoint; }
    const XPoint& GetLastNavigationPoint() const { return m_LastPoint; }
    float GetTrackballRadius() const { return m_TrackballRadius; }
    bool GetInsideTrackball() const { return m_Inside != 0.0f; }

    // The viewport block of the scene file (the own camera whichever is current; no ambient).
    virtual void Save(XScene* scene, XWriter& writer);
    // Reads the viewport block the reader stands in; any other chunk reads nothing. Values out of
    // range keep the current ones; a value cut short raises the reader's error.
    virtual void Load(XScene* scene, XReader& reader);
    // The options as keys of the section; reading keeps the current value of a missing, bad or
    // out-of-range key.
    void SaveState(TCustomIniFile* ini, const UnicodeString& section);
    void LoadState(TCustomIniFile* ini, const UnicodeString& section);

protected:
    // The aspect ratio of the current camera follows the control (a zero side changes nothing).
    void Resize() override;
    // Press: the button held, the view focused, the view's own OnMouseDown (the control's
    // coordinates), the point kept in the picture's coordinates, this viewport made active, then
    // MouseEvent. Move and release likewise, without focus or activation.
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // The border in the view's frame colours; the back colour inside at design time only.
    void Paint() override;

    // Input state (the mouse handlers keep it).
    bool m_LeftHeld = false;
    bool m_MiddleHeld = false;
    bool m_RightHeld = false;
    // The last right press went to an editor that uses it: its release asks for no menu.
    bool m_RightTaken = false;
    XPoint m_MousePoint{0, 0};

    uint32_t m_FillMode = 3;
    uint32_t m_ShadeMode = 3;
    XColor m_Ambient{0x80808080u};
    uint32_t m_CullMode = 1;
    bool m_Lighting = true;
    bool m_NormalizeNormals = false;
    float m_PointSize = 3.0f;
    XNotificationObject m_CameraWatcher;
    XColor m_BackColor{0xFF888888u};
    XRenderer m_Renderer;
    bool m_ShowGrid = true;
    unsigned m_PlaneAxis = 0;
    IDirect3DDevice9* m_Device = nullptr;
    XView* m_View;
    XGrid* m_Grid = nullptr;
    XCamera* m_Camera = nullptr;
    XCamera* m_OwnCamera = nullptr;
    XMatrix m_GridMatrix{1.0f};

    // Navigation state (the mouse handlers keep it).
    float m_Inside = 0;
    float m_TrackballRadius = 0;
    XPoint m_LastPoint{0, 0};

private:
    // The viewport's top-left corner in the view's client coordinates.
    TPoint ViewOrigin() const;
    // The reader's value of a chunk field, its size checked first.
    void LoadOption(XReader& reader, uint32_t id);
    void HoldButton(TMouseButton button, bool held);
    // One step of a left drag: a and b are the event point and the last one in camera space.
    void DragStep(uint32_t transformType, const XPoint& point, const XVertex& a, const XVertex& b);
};

// Appends to `picked` the index of every vertex (carried into the current camera's space) whose
// x and y lie in the rectangle carried to depth 1 at frame 0. A perspective camera compares x / z
// and y / z and never picks a vertex at or behind the eye.
void PickVertices(XViewport* viewport, const XVertex* vertices, uint32_t count, const XRect& rect,
                  XArray<unsigned>& picked, XPickType type);
void PickVertices(XViewport* viewport, const XArray<XVertex>& vertices, const XRect& rect, XArray<unsigned>& picked,
                  XPickType type);
