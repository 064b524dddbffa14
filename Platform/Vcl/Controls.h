// The class library's controls: TControl (geometry, visibility, anchors, mouse events, message
// dispatch), TWinControl (a window handle, children, focus, tab order, keyboard events) and the
// two bases that paint themselves, TCustomControl and TGraphicControl.
#pragma once

#include "Platform/Gdi/Gdi.h"
#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/Graphics.h"
#include "Platform/Vcl/ScrollBarPart.h"

#include <memory>
#include <vector>

// A window message as handlers see it.
struct TMessage
{
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

// Messages of the class library itself.
constexpr UINT CM_BASE = 0xB000;
// Sent to a form when the focus moved; lParam the control that has it now, wParam FocusGivenBack
// when the window gave it back to the control that had it (a dialog, box or menu closed, the window
// was activated or shown again) rather than the user or the program moving it. Windowed controls
// pass it on to their children. WM_SETFOCUS and WM_KILLFOCUS carry FocusGivenBack in lParam when
// only the window got or lost the keyboard: the control stays the form's focused one.
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr WPARAM FocusGivenBack = 1;
// Sent to a control when its parent's Color changed, and when it joins a parent.
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11; // wParam: the new Visible
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
// Sent to a windowed control when its Ctl3D changed, and when its parent's did (or it joined one).
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
// Sent to a control when the pointer comes over it, and when the pointer leaves it for another
// control or leaves the window (while a control holds the capture, the pointer stays over it).
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_RELEASE = CM_BASE + 33; // frees the form it is posted to
// Sent to a windowed control just before a child is inserted (lParam TRUE) or removed (FALSE);
// wParam the child. Unhandled it goes on to the parent.
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
// Sent to the control whose hint is about to show; lParam a THintInfo*, whose HintStr the
// control may change (emptied, no hint shows).
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
// A wheel turn no child took, passed on to the parent: as WM_MOUSEWHEEL, lParam in the receiver's
// client coordinates.
constexpr UINT CM_MOUSEWHEEL = CM_BASE + 67;

// What a control is and does, as the class library's control style.
enum TControlStyleItem
{
    csAcceptsControls,
    csCaptureMouse, // a button going down on it captures the mouse until the last button is up
    csDesignInteractive,
    csClickEvents, // press and release over it make Click
    csFramed,      // a 2-pixel sunken frame around the client area
    csSetCaption,
    csOpaque,       // paints its whole client area: nothing is filled behind it
    csDoubleClicks, // without it a quick second click is a plain click
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents
};
using TControlStyle = TSet<TControlStyleItem>;

// Mouse cursors by the class library's numbers; the presenter shows them.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crNo = -18;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

enum TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle
};

enum TShiftStateItem
{
    ssShift,
    ssAlt,
    ssCtrl,
    ssLeft,
    ssRight,
    ssMiddle,
    ssDouble
};
using TShiftState = TSet<TShiftStateItem>;

enum TAnchorKind
{
    akLeft,
    akTop,
    akRight,
    akBottom
};
using TAnchors = TSet<TAnchorKind>;

// Where a control sits in its parent: alNone keeps its bounds; the others stack along an edge of
// what is left of the parent's client area (tops, then bottoms, lefts, rights, in the order the
// controls were placed), and alClient takes the rest.
enum TAlign
{
    alNone,
    alTop,
    alBottom,
    alLeft,
    alRight,
    alClient
};

// WM_GETDLGCODE answers: the keys a control takes for itself instead of the dialog.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TControl;
class TDockTree;

// Docking: a control with DragKind dkDock and DragMode dmAutomatic is dragged by the left button
// (past a 5-pixel threshold) onto a windowed control with DockSite, which DockOver may accept and
// DockDrop places it in. Dropped where no site accepts, it floats in a captioned tool window of
// its own, if the site it leaves allows (DoUnDock); closing that window hides it.
enum TDragKind
{
    dkDrag,
    dkDock
};
enum TDragMode
{
    dmManual,
    dmAutomatic
};
enum TDragState
{
    dsDragEnter,
    dsDragLeave,
    dsDragMove
};

// The control being docked and where it would land.
class TDragDockObject
{
public:
    explicit TDragDockObject(TControl* control) : m_control(control) {}
    TControl* Control() const { return m_control; }
    // Where the control would be, in screen coordinates.
    const TRect& DockRect() const { return m_dockRect; }
    void SetDockRect(const TRect& rect) { m_dockRect = rect; }
    // The site that accepted it, or null.
    TWinControl* DragTarget() const { return m_target; }
    void SetDragTarget(TWinControl* target) { m_target = target; }
    // Over a site with a dock manager: the docked client under the pointer (null over none) and
    // the edge of it (or of the site) nearest the pointer, which the control would go beside.
    TAlign DropAlign() const { return m_dropAlign; }
    void SetDropAlign(TAlign align) { m_dropAlign = align; }
    TControl* DropOnControl() const { return m_dropOnControl; }
    void SetDropOnControl(TControl* control) { m_dropOnControl = control; }
    // Where the drag started, relative to the control's top-left.
    TPoint DragOffset;

private:
    TControl* m_control;
    TRect m_dockRect;
    TWinControl* m_target = nullptr;
    TAlign m_dropAlign = alNone;
    TControl* m_dropOnControl = nullptr;
};

// Dragging (DragKind dkDrag): BeginDrag, or a left press on a control with DragMode dmAutomatic,
// starts it; once the pointer moved past the threshold DoStartDrag makes the drag object, every
// control under the pointer (on any form of the program) is asked DragOver, the cursor shows
// DragCursor where a control accepts and crNoDrop elsewhere, and releasing the button drops on
// the control that accepted (DragDrop); DoEndDrag tells the source how it ended. Escape cancels.
class TDragObject : public TObject
{
public:
    // The cursor the pointer shows while over a control that accepts (or not).
    virtual TCursor GetDragCursor(bool Accepted, int X, int Y);
    // The control the pointer is over, or null.
    TControl* DragTarget() const { return m_target; }
    // Where the pointer is, in screen coordinates.
    TPoint DragPos;
    bool Cancelling = false;
    bool Dropped = false;

private:
    friend class TControl;
    TControl* m_target = nullptr;
};

// The drag object the class library makes when OnStartDrag gives none: it stands for the control,
// and DragOver and DragDrop see the control itself as their Source.
class TDragControlObject : public TDragObject
{
public:
    explicit TDragControlObject(TControl* control) : m_control(control) {}
    TControl* Control() const { return m_control; }
    TCursor GetDragCursor(bool Accepted, int X, int Y) override;

private:
    TControl* m_control;
};

using TDragOverEvent = TClosure<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TClosure<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TStartDragEvent = TClosure<void(TObject* Sender, TDragObject*& DragObject)>;
using TEndDragEvent = TClosure<void(TObject* Sender, TObject* Target, int X, int Y)>;
// A docking drag starts: the handler may give the dock object (else the class library makes one);
// one it gives stays its own.
using TStartDockEvent = TClosure<void(TObject* Sender, TDragDockObject*& DragObject)>;
// A dock site is asked whether `DockClient` may dock in it with the pointer at MousePos (screen):
// InfluenceRect (screen) starts as the site's window 10 pixels larger all round.
using TGetSiteInfoEvent =
    TClosure<void(TObject* Sender, TControl* DockClient, TRect& InfluenceRect, TPoint MousePos, bool& CanDock)>;
// The context menu is asked for at MousePos (client coordinates; -1, -1 from the keyboard);
// Handled keeps the popup menu from showing.
using TContextPopupEvent = TClosure<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TCanResizeEvent = TClosure<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;
using TConstrainedResizeEvent =
    TClosure<void(TObject* Sender, int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight)>;

// The smallest and largest size a control may take; 0 sets no limit. A minimum above the maximum
// raises the maximum with it, a maximum below the minimum lowers the minimum. Every change is
// applied to the control's size at once.
class TSizeConstraints : public TPersistent
{
public:
    int MaxHeight() const { return m_maxHeight; }
    void SetMaxHeight(int value);
    int MaxWidth() const { return m_maxWidth; }
    void SetMaxWidth(int value);
    int MinHeight() const { return m_minHeight; }
    void SetMinHeight(int value);
    int MinWidth() const { return m_minWidth; }
    void SetMinWidth(int value);
    void Assign(TPersistent* Source) override;
    TNotifyEvent OnChange;

private:
    void SetLimit(int& limit, int value, int& other, bool isMax);
    int m_maxHeight = 0;
    int m_maxWidth = 0;
    int m_minHeight = 0;
    int m_minWidth = 0;
};

// Bevels a windowed control may draw in its frame, inside WS_BORDER and the client edge: an outer
// and an inner cut, each BevelWidth pixels (one drawn ring, the rest in the control's colour), on
// the chosen edges. bkNone draws none and takes no room.
enum TBevelCut
{
    bvNone,
    bvLowered,
    bvRaised,
    bvSpace // room without a ring
};
enum TBevelKind
{
    bkNone,
    bkTile,
    bkSoft,
    bkFlat
};
enum TBevelEdge
{
    beLeft,
    beTop,
    beRight,
    beBottom
};
using TBevelEdges = TSet<TBevelEdge>;

// The window styles a control asks for when its window is made (CreateParams).
struct TCreateParams
{
    DWORD Style;
    DWORD ExStyle;
};

using TWndMethod = TClosure<void(TMessage& Message)>;
using TMouseEvent = TClosure<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TClosure<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TClosure<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = TClosure<void(TObject* Sender, WCHAR& Key)>;
using TMouseWheelEvent =
    TClosure<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = TClosure<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;

class EInvalidOperation : public Exception
{
public:
    using Exception::Exception;
};

class TControl : public TComponent
{
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return m_parent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void SetLeft(int left) { SetBounds(left, m_top, m_width, m_height); }
    void SetTop(int top) { SetBounds(m_left, top, m_width, m_height); }
    void SetWidth(int width) { SetBounds(m_left, m_top, width, m_height); }
    void SetHeight(int height) { SetBounds(m_left, m_top, m_width, height); }
    // Position in the parent's client area and size; negative sizes count as 0. Moving by hand
    // makes the current distances to the parent's edges the ones the anchors keep.
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return TRect(m_left, m_top, m_left + m_width, m_top + m_height); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.Width(), r.Height()); }
    // The area children are placed in, in client coordinates; windowed controls leave out their
    // frame and scroll bars.
    virtual TRect ClientRect() const { return TRect(0, 0, m_width, m_height); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientWidth(int width) { SetWidth(width + m_width - ClientWidth()); }
    void SetClientHeight(int height) { SetHeight(height + m_height - ClientHeight()); }
    // The top-left of the client area in the top-level form's client coordinates.
    TPoint FormOrigin() const;
    // The top-left of the whole control (frame included) in the form's client coordinates.
    TPoint WindowOrigin() const;
    // Where the client area starts inside the control (past its frame).
    virtual TPoint ClientOffset() const { return TPoint(); }
    // What a scrolling parent brings into view when the control takes the focus, from the control's
    // top-left corner (frame included): all of it, unless its focus shows in one part of it.
    virtual TRect FocusedPart() const { return TRect(0, 0, Width(), Height()); }

    TControlStyle ControlStyle() const { return m_controlStyle; }
    void SetControlStyle(TControlStyle style) { m_controlStyle = style; }

    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor cursor) { m_cursor = cursor; }
    // Whether this control holds the mouse; setting it takes the mouse or lets it go.
    bool MouseCapture() const;
    void SetMouseCapture(bool capture);

    TAnchors Anchors() const { return m_anchors; }
    void SetAnchors(TAnchors anchors);
    TAlign Align() const { return m_align; }
    // Setting an alignment (or placing an aligned control on a parent) puts the control last in
    // its parent's stacking order, and the parent aligns its children again.
    void SetAlign(TAlign align);

    // The point in this control's client coordinates, in the client coordinates of `parent` (the
    // control's own parent for null), which must be one of its ancestors: EInvalidOperation
    // otherwise.
    TPoint ClientToParent(const TPoint& point, TWinControl* parent = nullptr) const;
    // Client coordinates to screen coordinates (the form's position on the desktop) and back.
    TPoint ClientToScreen(const TPoint& point) const;
    TPoint ScreenToClient(const TPoint& point) const;
    // Where a WM_CONTEXTMENU (its lParam) asks for the menu, on the screen; the keyboard's request
    // (-1, -1) has no point and gets the control's top-left corner.
    TPoint ContextMenuPoint(LPARAM lParam) const;

    // The menu that WM_CONTEXTMENU pops up; the control watches it and forgets a freed one.
    TPopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TPopupMenu* menu);

    bool Visible() const { return m_visible; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible itself and every parent up to a visible form.
    bool Showing() const;
    bool Enabled() const { return m_enabled; }
    virtual void SetEnabled(bool enabled);

    const UnicodeString& Caption() const { return m_text; }
    void SetCaption(const UnicodeString& text) { SetText(text); }
    const UnicodeString& Text() const { return m_text; }
    virtual void SetText(const UnicodeString& text);
    // The control's background colour. With ParentColor it follows its parent's colour; setting
    // a different Color clears ParentColor, setting ParentColor takes the parent's colour at once.
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool parentColor);
    // The control's font; with ParentFont (the default) it follows its parent's font until it is
    // changed itself.
    TFont* Font() const { return m_font; }
    void SetFont(TFont* font) { m_font->Assign(font); }
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool parentFont);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TMouseWheelEvent OnMouseWheel;
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TMouseWheelUpDownEvent OnMouseWheelUp;
    // Fired by Resize after the size changed and the children were aligned; for a windowed
    // control only once its window exists (CreateWnd).
    TNotifyEvent OnResize;

    TDragKind DragKind() const { return m_dragKind; }
    void SetDragKind(TDragKind kind) { m_dragKind = kind; }
    TDragMode DragMode() const { return m_dragMode; }
    void SetDragMode(TDragMode mode) { m_dragMode = mode; }
    // Docked in a floating tool window of its own.
    bool Floating() const;
    // Starts dragging (docking, with DragKind dkDock) from the mouse's position; with `Immediate`
    // false it waits for the pointer to move Threshold pixels (5 when negative).
    void BeginDrag(bool Immediate, int Threshold = -1);
    bool Dragging() const;
    // Ends this control's drag: dropped where the pointer is (when a control accepts), or cancelled.
    void EndDrag(bool Drop);
    // The cursor a drag from this control shows over a control that accepts it.
    TCursor DragCursor() const { return m_dragCursor; }
    void SetDragCursor(TCursor cursor) { m_dragCursor = cursor; }
    // Asked while something is dragged over the control (X, Y client coordinates): Accept starts
    // as whether OnDragOver is assigned, which then decides.
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    // Something was dropped on the control (after DragOver accepted it); fires OnDragDrop.
    virtual void DragDrop(TObject* Source, int X, int Y);
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;
    // Fired as a docking drag of this control starts (past its threshold) and as it ends: with
    // the site it docked in as Target and (X, Y) in that site's client coordinates, or with Target
    // null when it floated, was kept where it was, or was cancelled.
    TStartDockEvent OnStartDock;
    TEndDragEvent OnEndDock;
    TContextPopupEvent OnContextPopup;

    // The size limits every resize keeps (after CanResize allowed it).
    TSizeConstraints* Constraints() const { return m_constraints; }
    void SetConstraints(TSizeConstraints* constraints) { m_constraints->Assign(constraints); }
    // Asked before the size changes: NewWidth and NewHeight may be adjusted, Resize false keeps
    // the old size.
    TCanResizeEvent OnCanResize;
    // Asked on every resize with the Constraints' limits (0 minimums, and no maximum as INT_MAX),
    // which it may change for this resize.
    TConstrainedResizeEvent OnConstrainedResize;

    // The control's hint text, shown in the hint window when ShowHint is on.
    const UnicodeString& Hint() const { return m_hint; }
    // Emptying the hint of the control whose hint shows hides it.
    void SetHint(const UnicodeString& hint);
    // With ParentShowHint (the default) the control shows hints when its parent does.
    bool ShowHint() const;
    void SetShowHint(bool show);
    bool ParentShowHint() const { return m_parentShowHint; }
    void SetParentShowHint(bool parent) { m_parentShowHint = parent; }
    // Docks the control at `rect` of `site` (client coordinates), or floats it at `rect` (screen
    // coordinates) when `site` is null.
    // A site with a dock manager ignores `rect`: the control fills an empty site and goes to the
    // right of what the site holds otherwise.
    void ManualDock(TWinControl* site, const TRect& rect);
    // The edge nearest to a point in client coordinates: alLeft left of the control, alRight past
    // its width, alTop above, alBottom below; inside, the edge at the least distance (left, right,
    // top, bottom on a tie).
    TAlign GetDockEdge(const TPoint& MousePos) const;

    // Every message to the control goes through WindowProc (by default WndProc), which ends in
    // Dispatch: the handler for the message's id, else DefaultHandler.
    TWndMethod WindowProc;
    LRESULT Perform(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    // Marks the control's rectangle on its form for the next paint pass.
    virtual void Invalidate();
    // Marks a part of the control (client coordinates) for the next paint pass.
    void InvalidateRect(const TRect& rect);
    // Paints what is marked on the control's form at once.
    virtual void Update();
    void Repaint();
    void Refresh() { Repaint(); }

    virtual void Click();
    void BeforeDestruction() override;

protected:
    // SetText for a text its caller gives up: taken over rather than copied (a large paste).
    void TakeText(UnicodeString&& text);
    virtual void WndProc(TMessage& Message);
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DblClick();
    // The wheel: OnMouseWheel first; unhandled, each WHEEL_DELTA turned (kept across messages)
    // calls DoMouseWheelDown or DoMouseWheelUp. True when taken; otherwise the parent is asked.
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
    virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
    // Asked before the size changes (SetBounds); false keeps the old size. May adjust the size.
    // The base fires OnCanResize.
    virtual bool CanResize(int& NewWidth, int& NewHeight);
    // Hands the limits of a resize to OnConstrainedResize.
    virtual void ConstrainedResize(int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight);
    // The context menu is asked for; fires OnContextPopup.
    virtual void DoContextPopup(TPoint MousePos, bool& Handled);
    // A docking drag of this control starts (fires OnStartDock) or ends (fires OnEndDock).
    virtual void DoStartDock(TDragDockObject*& DragObject);
    virtual void DoEndDock(TObject* Target, int X, int Y);
    friend void CancelDrag();
    // Called after the text changed (CM_TEXTCHANGED).
    virtual void TextChanged() {}
    // Called after the size changed (the platform's internal hook: anchors and alignment).
    virtual void Resized() { Resize(); }
    // Called after the size changed and the children were placed; fires OnResize.
    virtual void Resize();
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // WM_CONTEXTMENU: pops up PopupMenu at the screen point in lParam (the control's top-left
    // corner for -1, -1, the keyboard's request), else hands the message to the parent.
    virtual void ContextMenu(TMessage& Message);
    // The paint hook of the paint pass; controls that draw themselves override it.
    virtual void PaintControl() {}
    // The paint pass hands over a DC over the form's pixels with (0, 0) at the control's top-left,
    // clipped to the part of the control that needs painting; it then calls PaintControl.
    virtual void PaintWindow(HDC dc);
    // Called after Color changed (CM_COLORCHANGED).
    virtual void ColorChanged() { Invalidate(); }
    // Called after the font changed (its own or, with ParentFont, its parent's).
    virtual void FontChanged() { Invalidate(); }
    // The drag starts: OnStartDrag may give the drag object (else one for the control is made).
    virtual void DoStartDrag(TDragObject*& DragObject);
    // The drag ended: dropped on Target at (X, Y) of it, or with Target null, cancelled or refused.
    virtual void DoEndDrag(TObject* Target, int X, int Y);
    friend class TWinControl;
    friend class TCustomForm;
    friend class TDockTree;

private:
    void HandleMouse(TMessage& Message);
    void HandleWheel(TMessage& Message);
    // The docking drag: true when the message was the drag's.
    bool HandleDrag(UINT message, int x, int y);
    void BeginDock(bool immediately);
    // The object drag: true when the message was the drag's.
    bool HandleObjectDrag(UINT message, int x, int y);
    // Asks the control under the pointer and follows it with enter and leave.
    void TrackDragTarget(const TPoint& screen);
    void FinishObjectDrag(bool drop);
    // Re-applies the anchors for a parent whose client area is now width x height.
    void ApplyAnchors(int width, int height);
    void RememberAnchorDistances();
    void ChangeBounds(int left, int top, int width, int height);
    void FontChange(TObject* Sender);
    // The size limits of Constraints and OnConstrainedResize applied to a new size.
    void ApplyConstraints(int& width, int& height);
    void ConstraintsChange(TObject* Sender);
    // Takes the parent's font (with ParentFont) and hands it on to the children.
    void TakeParentFont();

    TWinControl* m_parent = nullptr;
    TFont* m_font;
    bool m_parentFont = true;
    bool m_takingParentFont = false;
    bool m_parentColor = true;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    TAnchors m_anchors{akLeft, akTop};
    TAlign m_align = alNone;
    unsigned m_alignOrder = 0; // position in the stacking order of aligned siblings
    TPopupMenu* m_popupMenu = nullptr;
    // The bounds and parent client size the anchors measure from.
    TRect m_anchorBounds;
    int m_anchorParentWidth = 0;
    int m_anchorParentHeight = 0;
    bool m_visible = true;
    bool m_enabled = true;
    bool m_clicking = false; // the left button went down on this control
    UnicodeString m_text;
    TColor m_color = clBtnFace;
    TControlStyle m_controlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TCursor m_cursor = crDefault;
    int m_wheelAccumulator = 0;
    TDragKind m_dragKind = dkDrag;
    TDragMode m_dragMode = dmManual;
    TCursor m_dragCursor = crDrag;
    UnicodeString m_hint;
    bool m_showHint = false;
    bool m_parentShowHint = true;
    TSizeConstraints* m_constraints;
};

class TWinControl : public TControl
{
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // The control's window in the Win32 layer's window table: SendMessageW reaches WindowProc.
    HWND Handle() const { return m_handle; }
    // Whether the window has been created (CreateWnd ran): when the form is first shown, on
    // HandleNeeded, or when the control joins a parent whose window exists.
    bool HandleAllocated() const { return m_windowCreated; }
    // Creates the window now if it does not exist yet: the parent's first, then this one's
    // (CreateWnd), then the windowed children's.
    void HandleNeeded();
    // The control that owns the window, or null.
    static TWinControl* FindControl(HWND window);

    // The window's style bits that shape its frame: WS_BORDER (a 1-pixel clWindowFrame line),
    // WS_EX_CLIENTEDGE (a 2-pixel sunken edge; the control style csFramed gives the same), and its
    // own scroll bars WS_VSCROLL (right) and WS_HSCROLL (bottom), SM_CXVSCROLL wide.
    // Kept in the window table (GetWindowLongW / SetWindowLongW with GWL_STYLE and GWL_EXSTYLE);
    // a change reaches the control as WM_STYLECHANGED, which re-lays the frame out.
    DWORD WindowStyle() const { return static_cast<DWORD>(GetWindowLongW(m_handle, GWL_STYLE)); }
    void SetWindowStyle(DWORD style);
    DWORD WindowExStyle() const { return static_cast<DWORD>(GetWindowLongW(m_handle, GWL_EXSTYLE)); }
    void SetWindowExStyle(DWORD exStyle);
    // Makes the window again from CreateParams: its styles are applied anew, while what the
    // control holds (text, items, selection, children) stays. Before the window first exists only
    // the styles are applied.
    void RecreateWnd();

    // Whether the control has the three-dimensional look (the default). With ParentCtl3D (the
    // default) it follows its parent's Ctl3D; setting a different Ctl3D clears ParentCtl3D.
    // Controls with a sunken client edge draw a 1-pixel clWindowFrame line instead without it.
    bool Ctl3D() const { return m_ctl3D; }
    void SetCtl3D(bool ctl3D);
    bool ParentCtl3D() const { return m_parentCtl3D; }
    void SetParentCtl3D(bool parentCtl3D);

    TBevelEdges BevelEdges() const { return m_bevelEdges; }
    void SetBevelEdges(TBevelEdges edges);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevelCut cut);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevelCut cut);
    TBevelKind BevelKind() const { return m_bevelKind; }
    void SetBevelKind(TBevelKind kind);
    // At least 1.
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width);

    // The client area inside the frame and the scroll bars, in the control's own coordinates.
    TRect ClientArea() const;
    TRect ClientRect() const override;
    TPoint ClientOffset() const override;
    // The window's own scroll bars (SB_VERT, SB_HORZ), as SetScrollInfo, GetScrollInfo and
    // ShowScrollBar handle them. Setting the info repaints the bar when asked.
    int SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw);
    bool GetScrollInfo(int bar, SCROLLINFO& info) const;
    // False when both bars already stand as asked.
    bool ShowScrollBarsIfChanged(bool vertical, bool horizontal);
    // Where a scroll request (the code of WM_VSCROLL or WM_HSCROLL) moves the bar from `position`:
    // lines and pages of the given sizes, the ends (the bottom as a large number for the caller to
    // clamp), or the thumb's track position. False for a code that moves nothing.
    bool ScrollRequestPosition(int bar, int code, int line, int page, int& position) const;
    // Shows the bars that content of `rows` rows and `width` pixels needs, where `visibleRows`
    // says how many rows the client holds as it stands; a bar shown takes room from the other
    // direction, which may then need its own, so this settles in up to three passes.
    template <typename VisibleRows>
    void FitScrollBars(int rows, int width, VisibleRows visibleRows, bool& vertical, bool& horizontal)
    {
        for (int pass = 0; pass < 3; ++pass)
        {
            vertical = rows > visibleRows();
            horizontal = width > ClientWidth();
            if (!ShowScrollBarsIfChanged(vertical, horizontal))
                break;
        }
    }
    // Tells a shown bar its range, page and position only when one of them changed (each telling
    // repaints the bar); `told` keeps what it was last told, and a hidden bar forgets it.
    void TellScrollBar(int bar, bool shown, SCROLLINFO& told, int max, int page, int position);
    void ShowScrollBar(int bar, bool show);
    // The bar's rectangle in the control's coordinates; empty when it is not shown.
    TRect ScrollBarRect(int bar) const;

    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    // Children in z-order, bottom first.
    TControl* Controls(int index) const { return m_controls.at(static_cast<size_t>(index)); }
    // The topmost visible child under the point (client coordinates); windowed children lie above
    // graphic ones. Disabled children are skipped unless allowed.
    TControl* ControlAtPos(const TPoint& point, bool allowDisabled = false) const;

    // Focus: one control of each form has it; the form remembers it as its ActiveControl.
    bool CanFocus() const;
    // False while the window is without the keyboard, though the control stays the form's focus.
    bool Focused() const;
    // The control the form holds the focus for, whether or not the window has the keyboard now:
    // Focused(), or the control it gets back when the window does. What the program refreshes by
    // itself spares such a control, so that what the user is typing there stays.
    bool HoldsFocus() const;
    // Raises EInvalidOperation when the control cannot take the focus.
    virtual void SetFocus();

    // Position among the parent's windowed children for Tab; -1 without a parent. Set without a
    // parent, the order is kept and taken when the control joins one (as a control built before
    // it is placed, a frame's designed order).
    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool tabStop) { m_tabStop = tabStop; }
    // Focuses the next (or previous) control after `current` in tab order among this control's
    // descendants, wrapping around; with checkTabStop only controls with TabStop count.
    void SelectNext(TWinControl* current, bool forward, bool checkTabStop);
    TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const;
    // The windowed descendants in tab order, depth first. A container whose children cannot be
    // seen (a closed section) lists fewer.
    virtual void GetTabOrderList(std::vector<TWinControl*>& list) const;

    // Places the aligned children in the client area (see TAlign). A request made while a pass runs
    // (a handler resizing a child) never starts a pass inside it: it runs after, a few times at most.
    void Realign();

    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // Whether controls may be docked into this one.
    bool DockSite() const { return m_dockSite; }
    void SetDockSite(bool dockSite);
    // With a dock manager a dock site tiles the controls docked into it in zones, each under a
    // grabber band with a close button. The manager exists while DockSite and UseDockManager are
    // both on; turning either off frees it and leaves the docked controls where they stand.
    bool UseDockManager() const { return m_useDockManager; }
    void SetUseDockManager(bool use);
    TDockTree* DockManager() const { return m_dockManager; }
    // Asked while a control is dragged over (X, Y in client coordinates): the base accepts on a
    // dock site and fires OnDockOver.
    virtual void DockOver(TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept);
    // Places the dropped control at its drop rectangle as a child, then fires OnDockDrop.
    virtual void DockDrop(TDragDockObject* Source, int X, int Y);
    // Asked before a docked child leaves for NewTarget (null: to float); fires OnUnDock.
    virtual bool DoUnDock(TWinControl* NewTarget, TControl* Client);
    // Whether Client may dock here with the pointer at MousePos (screen): the site is taken only
    // when CanDock stays true and InfluenceRect (screen; the window 10 pixels larger all round)
    // holds the pointer. Fires OnGetSiteInfo.
    virtual void GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock);
    TGetSiteInfoEvent OnGetSiteInfo;
    TClosure<void(TObject* Sender, TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept)> OnDockOver;
    TClosure<void(TObject* Sender, TDragDockObject* Source, int X, int Y)> OnDockDrop;
    TClosure<void(TObject* Sender, TControl* Client, TWinControl* NewTarget, bool& Allow)> OnUnDock;

    void Dispatch(TMessage& Message) override;

protected:
    // Creates the control's window; runs once, and again after RecreateWnd. Overrides call the
    // inherited one first; it applies the styles of CreateParams.
    virtual void CreateWnd();
    // The styles the window is made with: the base gives the styles it has now, and derived
    // controls add or take away their own.
    virtual void CreateParams(TCreateParams& Params);
    // Takes the window away before RecreateWnd makes it again (a dropped-down list closes).
    virtual void DestroyWnd();
    void Resize() override;
    // The keys this control takes itself instead of the dialog (WM_GETDLGCODE).
    virtual LRESULT DialogCode() { return 0; }
    // A dialog key (Tab, arrows, Enter, Escape) the focused control did not want; true when taken.
    virtual bool DialogKey(WORD key, TShiftState shift);
    virtual void KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyPress(WCHAR& Key);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    // Run by WM_SETFOCUS and WM_KILLFOCUS: they show and hide what marks the focus, and fire
    // OnEnter and OnExit unless WindowFocusOnly.
    virtual void DoEnter();
    virtual void DoExit();
    // Whether the focus message being handled only follows the window getting or losing the
    // keyboard (FocusGivenBack): the control neither enters nor leaves, and keeps its caret and
    // selection.
    static bool WindowFocusOnly();
    // Re-applies the children's anchors, aligns them, then Resize.
    void Resized() override;
    // Fills the background with Color, as the window's class brush would (not for csOpaque
    // controls), then paints.
    // The aligned children stacked in `rect`, which holds what is left for the ones to come.
    virtual void AlignControls(TRect& rect);
    // Sends WM_ERASEBKGND with the DC (whose default handling fills the client area with Color (unless the control is csOpaque),
    // as the window's class brush would), then paints. A control that handles the message itself
    // keeps the pixels under it.
    void PaintWindow(HDC dc) override;
    // Draws the frame and the scroll bars; the DC's (0, 0) is the control's top-left corner.
    virtual void PaintNonClient(HDC dc);
    // The default WM_ERASEBKGND: fills the client area with Color (unless the control is csOpaque), except where visible windowed
    // children lie (they paint their own background).
    void EraseBackground(HDC dc);
    void FontChanged() override;
    void ColorChanged() override;
    // Makes the site's dock manager.
    virtual TDockTree* CreateDockManager();
    // Called after Ctl3D changed (CM_CTL3DCHANGED): repaints and hands the change on to the children.
    virtual void Ctl3DChanged();
    // Gives the window the frame a control with a sunken client edge has: WS_EX_CLIENTEDGE with
    // Ctl3D, a 1-pixel clWindowFrame line (WS_BORDER) without.
    void ApplyClientEdge();
    // Sends the message to each child, skipping any a handler removed meanwhile.
    void NotifyControls(UINT message);
    // The repeat timer of a held scroll-bar arrow or track ticked: the scroll is sent again.
    virtual void ScrollRepeat();
    // A child moved, changed size, was shown, hidden, added or removed (controls that scroll their
    // children measure them again).
    virtual void ChildPlacementChanged() {}
    friend class TControl;
    friend class TCustomForm;

private:
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void HandleKeyDown(TMessage& Message);
    // Mouse on the window's own scroll bars; true when it was theirs.
    bool HandleScrollBarMouse(TMessage& Message);
    void FrameChanged();
    int FrameWidthFor(DWORD style, DWORD exStyle) const;
    TRect ClientAreaFor(DWORD style, DWORD exStyle) const;
    // Inside the border, the client edge and the bevel: the client area and the scroll bars.
    TRect FrameInteriorFor(DWORD style, DWORD exStyle) const;
    int64_t BevelSize() const;
    void ApplyCreateParams();
    void PaintBevel(HDC dc, RECT& rect);
    // A style changed from `before` (the index's old value): the frame is laid out again.
    void StyleChanged(int index, DWORD before);
    Vcl::ScrollBarPart* Bar(int bar) const;
    void LayoutScrollBars() const;

    HWND m_handle = nullptr;
    bool m_windowCreated = false;
    std::unique_ptr<Vcl::ScrollBarPart> m_vertBar;
    std::unique_ptr<Vcl::ScrollBarPart> m_horzBar;
    Vcl::ScrollBarPart* m_trackingBar = nullptr; // the bar the left button went down on
    std::vector<TControl*> m_controls;
    std::vector<TWinControl*> m_tabList;
    int m_pendingTabOrder = -1; // set while there was no parent
    bool m_tabStop = false;
    bool m_dockSite = false;
    bool m_useDockManager = false;
    TDockTree* m_dockManager = nullptr;
    void UpdateDockManager();
    bool m_aligning = false;
    bool m_alignAgain = false;
    TBevelEdges m_bevelEdges{beLeft, beTop, beRight, beBottom};
    TBevelCut m_bevelInner = bvRaised;
    TBevelCut m_bevelOuter = bvLowered;
    TBevelKind m_bevelKind = bkNone;
    bool m_ctl3D = true;
    bool m_parentCtl3D = true;
    int m_bevelWidth = 1;
};

// The canvas of a control: during a paint pass it draws on the pass's DC; outside one it measures
// text on a memory DC.
class TControlCanvas : public TCanvas
{
public:
    TControl* Control() const { return m_control; }
    void SetControl(TControl* control) { m_control = control; }

private:
    TControl* m_control = nullptr;
};

// A windowed control that paints itself on its canvas in Paint. The canvas starts each paint with
// the control's font and a brush of its colour.
class TCustomControl : public TWinControl
{
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    TCanvas* Canvas() const { return m_canvas; }

protected:
    virtual void Paint() {}
    void PaintControl() override { Paint(); }
    void PaintWindow(HDC dc) override;

private:
    TControlCanvas* m_canvas;
};

// A control without a window that its parent paints for it, on the control's canvas; nothing is
// erased behind it.
class TGraphicControl : public TControl
{
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas() const { return m_canvas; }

protected:
    virtual void Paint() {}
    void PaintControl() override { Paint(); }
    void PaintWindow(HDC dc) override;

private:
    TControlCanvas* m_canvas;
};

// Points a canvas at a paint pass's DC with the control's font and colour for as long as it lives.
class TPaintScope
{
public:
    TPaintScope(TCanvas* canvas, HDC dc, TControl* control);
    ~TPaintScope();
    TPaintScope(const TPaintScope&) = delete;
    TPaintScope& operator=(const TPaintScope&) = delete;

private:
    TCanvas* m_canvas;
};

// What CM_HINTSHOW tells the control whose hint is about to show.
struct THintInfo
{
    TControl* HintControl = nullptr;
    TPoint CursorPos;      // on the screen
    UnicodeString HintStr; // what the hint window shows: the hint's short part unless changed
};

// A hint is "short|long": the short part shows in the hint window, the long one goes to the
// application's Hint (a status line). Without a bar both are the whole text.
UnicodeString GetShortHint(const UnicodeString& hint);
UnicodeString GetLongHint(const UnicodeString& hint);

// The topmost enabled (or, when allowed, disabled) control under a screen point on any showing
// form of the program, or null.
TControl* FindDragTarget(const TPoint& screenPoint, bool allowDisabled);
// Cancels the drag in progress, if any: no drop, and the source hears DoEndDrag with no target; a
// docking drag docks and floats nothing.
void CancelDrag();
// True while a docking drag is past its threshold.
bool DockDragging();
// The drag object of the drag in progress (once it started), or null.
TDragObject* DragObject();

// The form the control lies on (the control itself for a form), or null.
TCustomForm* GetParentForm(const TControl* control);
// Whether `control` is `ancestor` or lies inside it.
bool IsWithin(const TControl* control, const TControl* ancestor);

// The shift state of the keyboard table and a mouse message's wParam.
TShiftState KeyboardShiftState();
TShiftState MouseShiftState(WPARAM wParam);

// The Win32 layer's scroll bar and frame calls on a control's window; they fail (0, FALSE) for a
// window that is not a control's.
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);
BOOL ShowScrollBar(HWND window, int bar, BOOL show);
// Marks a part of the window's client area (all of it for null) for the next paint pass.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);

// Draws a 3D frame of `width` lines just inside `rect`, top-left in one colour and bottom-right in
// the other, and moves `rect` inward past it.
void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);
// Draws the border of a control that frames its own client area just inside `rect`: the 2-pixel
// sunken edge with `ctl3D`, a 1-pixel clWindowFrame line without; moves `rect` inward past it.
void DrawClientEdge(HDC dc, RECT& rect, bool ctl3D);

namespace Vcl
{
// How far, in pixels along either axis, a pressed mouse must move before the press becomes a drag.
constexpr int DragThreshold = 5;

// Puts the control into a new floating tool window at `screenRect` (Forms).
void FloatControl(TControl* control, const TRect& screenRect);
// The dock site under a screen point that would take `source`, or null; X and Y become the
// point in its client coordinates.
TWinControl* FindDockTarget(TDragDockObject* source, const TPoint& screenPoint, int& X, int& Y);

// The control holding the mouse (between a button going down on it and the last button up). A
// modal loop takes it away before it runs; the control is told by WM_CANCELMODE.
TControl* CaptureControl();
void SetCaptureControl(TControl* control);

// The frame a docking drag shows where the control would go (screen coordinates): thick where it
// would float, thin over a site that takes it. False when no drag shows one.
bool DockFeedbackShown(TRect& rect, bool& thick);
} // namespace Vcl
