// The class library's forms and application object: top-level windows with their pixel buffers,
// the modal loop, input routing, the message loop and the box that shows an exception nobody
// handled.
#pragma once

#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/SysUtils.h"

#include <cstdint>
#include <vector>

enum TFormBorderStyle
{
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin
};

enum TPosition
{
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};

enum TCloseAction
{
    caNone,
    caHide,
    caFree,
    caMinimize
};

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

class TCustomForm;
class THintWindow;
class TTimer;
namespace Vcl
{
bool RouteInput(TCustomForm* form, UINT message, WPARAM wParam, LPARAM lParam);
}

using TCloseEvent = TClosure<void(TObject* Sender, TCloseAction& Action)>;

// A top-level window. It has no frame of its own (the presenter's window manager draws it), so its
// size is its client size. It owns a 32-bit pixel buffer of its client size that paint passes
// draw into, and the rectangle of it that waits for the next paint pass.
class TCustomForm : public TWinControl
{
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // Fires OnCreate once; Application->CreateForm calls it after the constructor.
    void AfterConstruction();
    // Fires OnDestroy, then frees owned components, while the whole form stands.
    void BeforeDestruction() override;

    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition position) { m_position = position; }

    TWinControl* ActiveControl() const { return m_activeControl; }
    // Gives the control the focus (when the form is showing) or remembers it for when it shows.
    void SetActiveControl(TWinControl* control);
    // Focuses the first control in tab order that can take it.
    void SelectFirst();

    // Shows the form, placed by Position, and makes it the active form.
    void Show();
    void Hide() { SetVisible(false); }
    void SetVisible(bool visible) override;
    // Asks OnClose what to do: the main form ends the application, caHide hides, caFree releases;
    // a modal form sets ModalResult to mrCancel instead.
    void Close();
    // Shows the form and pumps the message loop until ModalResult is set (or the application
    // terminates: mrCancel); other forms take no input meanwhile. Hides the form after.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return m_modalResult; }
    void SetModalResult(TModalResult result) { m_modalResult = result; }
    bool Modal() const { return m_modal; }
    // The form this one stands over while it shows modally: the form active when ShowModal began
    // (null when none showed). The presenter keeps the window above that one's.
    TCustomForm* PopupParent() const { return m_popupParent; }
    // Frees the form once the messages queued before it are handled.
    void Release();

    TNotifyEvent OnCreate;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;
    // Fired by the paint pass after the background is filled with Color, before the controls.
    TNotifyEvent OnPaint;
    TCanvas* Canvas() const { return m_canvas; }

    // The pixel buffer, ClientWidth() x ClientHeight(), rows top first, 0x00RRGGBB.
    uint32_t* Pixels() { return m_pixels.data(); }
    const uint32_t* Pixels() const { return m_pixels.data(); }
    // The part marked by Invalidate since the last paint pass (empty when none).
    TRect DirtyRect() const { return m_dirty; }
    void InvalidateRect(const TRect& rect);
    // The paint pass: every showing control over the marked part paints (bottom first), the
    // presenter shows it, and the mark is cleared.
    void PaintDirty();
    // How many paint passes ran (for tests of Update and Invalidate).
    int PaintCount() const { return m_paintCount; }
    // The pointer's last position over the form, in screen coordinates.
    TPoint LastMousePos() const { return m_lastMouse; }
    // The cursor the presenter shows over the form now (the control's, or a drag's).
    TCursor CursorShown() const { return m_cursorShown; }
    void SetCursorShown(TCursor cursor);
    // Takes the cursor of what lies under the pointer now: Screen->Cursor when set, else the
    // control's Cursor, else the control class's own (an I-beam over edits, an arrow elsewhere).
    void UpdateCursor();

    void Dispatch(TMessage& Message) override;

protected:
    virtual void DoCreate();
    virtual void DoClose(TCloseAction& Action);
    virtual void DoDestroy();
    bool DialogKey(WORD key, TShiftState shift) override;
    virtual void Paint();
    void PaintControl() override { Paint(); }
    void PaintWindow(HDC dc) override;
    void Resized() override;
    void TextChanged() override;
    void WndProc(TMessage& Message) override;
    friend class TWinControl;
    friend class TControl;

private:
    void PaintTree(TControl* control, const TRect& clip);
    // `givenBack`: the window gives the focus back to the control that had it, which no scrolling
    // parent answers by moving (CM_FOCUSCHANGED with FocusGivenBack).
    void FocusControl(TWinControl* control, bool givenBack = false);
    // Takes the focus (and the remembered active control) from `control` and its children; with
    // `notify` the focused one hears WM_KILLFOCUS.
    void DropFocusWithin(TControl* control, bool notify);
    // New size limits reach the window manager even when the form's size stays within them.
    void ConstraintsChanged(TObject* Sender);
    friend bool Vcl::RouteInput(TCustomForm*, UINT, WPARAM, LPARAM);

    TFormBorderStyle m_borderStyle = bsSizeable;
    TPosition m_position = poDesigned;
    TWinControl* m_activeControl = nullptr;
    TWinControl* m_focusedControl = nullptr; // the one that last had WM_SETFOCUS
    // The window lost the keyboard: the focused control stays entered but is not Focused().
    bool m_keyboardAway = false;
    TModalResult m_modalResult = mrNone;
    TCustomForm* m_popupParent = nullptr;
    bool m_modal = false;
    bool m_created = false;
    bool m_destroyed = false;
    bool m_routing = false;
    std::vector<uint32_t> m_pixels;
    TControlCanvas* m_canvas;
    TRect m_dirty;
    int m_paintCount = 0;
    TPoint m_lastMouse;
    TCursor m_cursorShown = crDefault;
};


class TForm : public TCustomForm
{
public:
    using TCustomForm::TCustomForm;
};

// The captioned tool window a floated control lives in. Closing it hides the control; a control
// that will not hide keeps it open. It goes away when the control leaves it.
class TDockHostForm : public TForm
{
public:
    explicit TDockHostForm(TComponent* AOwner);
    TControl* Client() const { return ControlCount() > 0 ? Controls(0) : nullptr; }

protected:
    void DoClose(TCloseAction& Action) override;
    void WndProc(TMessage& Message) override;
};

// A windowed control whose children may reach further down than it is high: it then shows its own
// vertical scroll bar over the whole height they reach (the range: the lowest bottom of the children
// placed by hand or stacked at the top, plus the heights of those stacked at the bottom; children
// that fill the client area count for nothing), and the position moves every child up by as much.
// Aligned children stack from the scrolled top over the range, so a child placed while scrolled
// lands where it would unscrolled. The range follows every move, resize, show or hide of a child
// and of the control itself; once everything fits the bar goes and the position is 0. The wheel
// over the control, or over a child that does not take it, scrolls three lines, and a control inside
// it that the user (or the program) gives the focus is scrolled into view; a focus the window gives
// back (a dialog closed, the window activated) leaves the view where the user left it.
class TScrollingWinControl : public TWinControl
{
public:
    using TWinControl::TWinControl;

    // One line of the bar's arrows; the wheel scrolls three, a page is the client height.
    static constexpr int LineStep = 8;
    static constexpr int WheelLines = 3;

    int VertRange() const { return m_range; }
    int VertPosition() const { return m_position; }
    // Clamped to 0 .. VertRange() - ClientHeight().
    void SetVertPosition(int position);
    // Scrolls the least that shows the whole of `control` (a descendant), or of the part of it
    // where its focus shows (FocusedPart). One higher than the client area leaves the view when
    // any of it shows there, and otherwise comes in at its top.
    void ScrollInView(TControl* control);

protected:
    void AlignControls(TRect& rect) override;
    void ChildPlacementChanged() override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void WndProc(TMessage& Message) override;

private:
    void UpdateScrollBars();
    int MeasureRange() const;

    int m_range = 0;
    int m_position = 0;
    bool m_updating = false; // measuring, showing the bar or moving the children
    bool m_aligning = false;
    SCROLLINFO m_told{};
};

// A panel of controls that sits on a form (or any windowed control) like one control. A frame
// class builds its children in its constructor, gives them their tab order, and sets its own
// designed size and tab order, which the frame takes when it is placed on a parent. A frame of no
// class of its own is 320 x 240. Children that reach past it scroll (TScrollingWinControl).
class TCustomFrame : public TScrollingWinControl
{
public:
    explicit TCustomFrame(TComponent* AOwner);
};

class TFrame : public TCustomFrame
{
public:
    using TCustomFrame::TCustomFrame;
};

// The display as the forms see it.
class TScreen
{
public:
    // The desktop's size: the presenter sets the real one; headless it is 1024 x 768.
    int Width = 1024;
    int Height = 768;

    int FormCount() const { return static_cast<int>(m_forms.size()); }
    TCustomForm* Forms(int index) const { return m_forms.at(static_cast<size_t>(index)); }
    // The form that takes keyboard input: the last one shown or activated.
    TCustomForm* ActiveForm() const { return m_activeForm; }
    void SetActiveForm(TCustomForm* form);
    TControl* ActiveControl() const;
    // The cursor shown over every form while it is not crDefault (else each control's Cursor).
    TCursor Cursor() const { return m_cursor; }
    // Takes effect at once over every form showing.
    void SetCursor(TCursor cursor);

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> m_forms;
    TCustomForm* m_activeForm = nullptr;
    TCursor m_cursor = crDefault;
};

extern TScreen* Screen;

class TApplication : public TComponent
{
public:
    TApplication();
    // Frees the forms it still owns while the application object itself stands.
    ~TApplication() override;

    // Shows forms on the desktop from now on when a display is available (Vcl::InstallDesktopPresenter);
    // headless it does nothing.
    void Initialize();
    // Whether the main form has its own button on the task bar.
    bool MainFormOnTaskBar = false;

    // Creates a form owned by the application, stores it in `reference` before its OnCreate fires,
    // and makes the first form created the main form.
    template <typename T> void CreateForm(T*& reference)
    {
        T* form = new T(this);
        reference = form;
        if (!m_mainForm)
            m_mainForm = form;
        form->AfterConstruction();
    }
    TCustomForm* MainForm() const { return m_mainForm; }

    // Shows the main form and handles messages until it closes (or Terminate). Without a main form
    // there is nothing to wait for: it delivers what is queued and returns.
    void Run();

    // Delivers every waiting message and due timer, then runs the paint pass. An exception that
    // escapes a handler is shown by the exception box and the loop goes on.
    void ProcessMessages();
    // Delivers one message, or paints and waits for one when none is there (at once when the clock
    // is a test's).
    void HandleMessage();
    // The paint pass: every shown form paints what was marked dirty. The loops run it whenever
    // their queue runs dry; so does a drag's own loop, so that a drop highlight shows while the
    // pointer rests.
    void PaintForms();
    // Ends Run (through WM_QUIT, after what is queued).
    void Terminate();
    bool Terminated() const { return m_terminated; }

    // The application's title: the caption of ShowMessage boxes and of the exception box.
    UnicodeString Title() const { return Vcl::ApplicationTitle(); }
    void SetTitle(const UnicodeString& title) { Vcl::SetApplicationTitle(title); }

    // The exception message box: the message under the application's title, with a stop sign.
    void ShowException(const Exception& e);

    // Hints. Hint is the hint text of the control under the pointer (OnHint fires when it
    // changes). A control with ShowHint and a hint shows it in the hint window, below the pointer,
    // once the pointer rested HintPause milliseconds on it, or at once through ActivateHint; the
    // window goes when the pointer leaves the control, the control's hint empties, a button or key
    // goes down, or after HintHidePause milliseconds.
    const UnicodeString& Hint() const { return m_hint; }
    void SetHint(const UnicodeString& hint);
    TNotifyEvent OnHint;
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show);
    int HintPause = 500;
    int HintHidePause = 2500;
    // Shows the hint of the control under the screen point (or hides the window when it has none).
    void ActivateHint(const TPoint& CursorPos);
    void CancelHint();
    // The control under the pointer (it heard CM_MOUSEENTER), or null.
    TControl* MouseControl() const { return m_mouseControl; }
    // The control whose hint shows, or null.
    TControl* HintControl() const { return m_hintControl; }
    // The hint window (null until the first hint shows).
    THintWindow* HintWindow() const { return m_hintWindow; }
    // Input routing tells of each pointer move over `control` (null: over no form of ours).
    void HintMouseMessage(TControl* control, const TPoint& screen);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TCustomForm;
    friend bool Vcl::RouteInput(TCustomForm*, UINT, WPARAM, LPARAM);
    bool ProcessMessage(MSG& message);
    void HintTimerFired(TObject* Sender);
    void ArmHintTimer(bool show, int interval);
    void WatchHintControl(TControl*& slot, TControl* control);
    static TControl* HintedControl(TControl* control);

    UnicodeString m_hint;
    bool m_showHint = true;
    THintWindow* m_hintWindow = nullptr;
    TTimer* m_hintTimer = nullptr;
    bool m_hintTimerShows = false; // the timer shows a hint (else it hides one)
    TControl* m_hintControl = nullptr;
    TControl* m_mouseControl = nullptr; // the control under the pointer
    TPoint m_mousePos;

    TCustomForm* m_mainForm = nullptr;
    std::vector<TCustomForm*> m_modalForms; // innermost last
    bool m_terminated = false;
};

extern TApplication* Application;

namespace Vcl
{
// The input entry point of the presenter and of tests. `message` is a mouse message with lParam
// in the form's client coordinates, or a keyboard message (WM_KEYDOWN, WM_KEYUP, WM_CHAR,
// WM_SYSKEYDOWN ...). Mouse messages reach the control holding the mouse capture or else the
// topmost enabled, visible control under the point, with lParam made relative to it; a left, right
// or middle button going down focuses a windowed control with TabStop under it. Keyboard messages
// reach the focused control (or the form); key messages also update the key-state table. Input for
// a form under a modal one is dropped (false). Posting the same message to a form's Handle routes
// it the same way.
bool RouteInput(TCustomForm* form, UINT message, WPARAM wParam, LPARAM lParam);

// What the presenter is told about forms.
class IFormPresenter
{
public:
    virtual ~IFormPresenter() = default;
    virtual void FormShown(TCustomForm* form) = 0;
    virtual void FormHidden(TCustomForm* form) = 0;
    // Caption, size, position, border style, window style (GWL_STYLE: WS_POPUP is a window
    // without decorations, placed at the form's Left and Top) or the top-most band changed.
    virtual void FormChanged(TCustomForm* form) = 0;
    // The paint pass drew `rect` of the form's pixels.
    virtual void FormPainted(TCustomForm* form, const TRect& rect) = 0;
    virtual void FormDestroyed(TCustomForm* form) = 0;
    // The pointer over the form is to show this cursor now (never crDefault).
    virtual void FormCursorChanged(TCustomForm*, TCursor) {}
    // A docking drag of a control of `form` shows its frame at `rect` (screen coordinates), thick
    // where the control would float; null hides the frame.
    virtual void DockFeedback(TCustomForm*, const TRect*, bool) {}
};
// Headless there is none, and forms only paint into their buffers.
IFormPresenter* SetFormPresenter(IFormPresenter* presenter); // returns the previous one
IFormPresenter* FormPresenter();
} // namespace Vcl
