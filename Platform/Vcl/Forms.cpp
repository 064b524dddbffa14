#include "Platform/Vcl/Forms.h"

#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/DockTree.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/StdCtrls.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>

namespace
{
TScreen TheScreen;
TApplication TheApplication;
Vcl::IFormPresenter* g_presenter = nullptr;

bool IsMouseMessage(UINT message)
{
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
}

bool IsKeyMessage(UINT message)
{
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

bool IsButtonDown(UINT message)
{
    switch (message)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

bool IsButtonUp(UINT message)
{
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
}

bool IsFormAlive(const TCustomForm* form)
{
    for (int i = 0; i < Screen->FormCount(); ++i)
    {
        if (Screen->Forms(i) == form)
            return true;
    }
    return false;
}

// Whether `control` is still in the form's tree (the handler may have freed it): found by pointer
// from the form down, never read through.
bool IsWithinForm(const TControl* control, const TWinControl* parent)
{
    if (control == parent)
        return true;
    for (int i = 0; i < parent->ControlCount(); ++i)
    {
        TControl* child = parent->Controls(i);
        if (child == control)
            return true;
        if (auto* windowed = dynamic_cast<TWinControl*>(child); windowed && IsWithinForm(control, windowed))
            return true;
    }
    return false;
}

// A right release nobody swallowed asks the control under it for its context menu, with the
// point in screen coordinates and the nearest window in wParam; a request from the keyboard has
// no point and says so with -1, -1.
void AskForContextMenu(TCustomForm* form, TControl* target, LPARAM clientPoint, bool keyboard = false)
{
    if (!IsFormAlive(form) || !IsWithinForm(target, form))
        return;
    LPARAM point = MAKELPARAM(-1, -1);
    if (!keyboard)
    {
        TPoint screen = target->ClientToScreen(TPoint(GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)));
        point = MAKELPARAM(screen.x, screen.y);
    }
    const TControl* window = target;
    while (window && !dynamic_cast<const TWinControl*>(window))
        window = window->Parent();
    auto* handle = window ? static_cast<const TWinControl*>(window)->Handle() : nullptr;
    target->Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle), point);
}

// The key of the last press that asked for a context menu, until it comes up: its repeats and its
// release are no ordinary key either.
WPARAM g_menuKey = 0;

// Shift+F10 (without Ctrl or Alt) and the Menu key ask for the context menu.
bool IsContextMenuKey(WPARAM key)
{
    if (key == VK_APPS)
        return true;
    return key == VK_F10 && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
}
} // namespace

TScreen* Screen = &TheScreen;
TApplication* Application = &TheApplication;

namespace Vcl
{
IFormPresenter* SetFormPresenter(IFormPresenter* presenter)
{
    IFormPresenter* previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

IFormPresenter* FormPresenter()
{
    return g_presenter;
}

namespace
{
// A handler may have freed the form it was routed to.
bool FormShowing(TCustomForm* form)
{
    for (int i = 0; i < Screen->FormCount(); ++i)
    {
        if (Screen->Forms(i) == form)
            return form->Visible();
    }
    return false;
}

constexpr WPARAM kButtonKeys = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;

WPARAM ButtonOf(UINT message)
{
    switch (message)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
        return MK_LBUTTON;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
        return MK_RBUTTON;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
        return MK_MBUTTON;
    default:
        return 0;
    }
}

// The control the last press went to, the buttons down on it whose release it has not had, and
// the last point it was told of (in its client coordinates): what ends its press when a modal
// loop takes the capture from it. Only compared with the capture, never read through: the
// control may be gone.
struct PressedControl
{
    TControl* control = nullptr;
    WPARAM buttons = 0;
    LPARAM point = 0;
};
PressedControl g_pressed;

void NotePress(TControl* target, UINT message, WPARAM keys, LPARAM point)
{
    if (message == WM_MOUSEWHEEL)
        return;
    if (IsButtonDown(message) && g_pressed.control != target)
        g_pressed = PressedControl{target};
    // No button down any more: whatever its release went to.
    if (IsButtonUp(message) && (keys & kButtonKeys) == 0)
        g_pressed.buttons = 0;
    if (g_pressed.control != target)
        return;
    g_pressed.point = point;
    if (IsButtonDown(message))
        g_pressed.buttons |= ButtonOf(message);
    else if (IsButtonUp(message))
        g_pressed.buttons &= ~ButtonOf(message);
}

// A press being handed to its control. A modal loop that the control's handler opens takes the
// capture at once, but the releases that end the press wait until the handler is done: in its
// middle they would meet a press half handled, which the handler would then finish as if the
// button were still down (a button drawn pushed, a drag begun after the dialog).
struct PressInHand;
PressInHand* g_inHand = nullptr; // the innermost

struct PressInHand
{
    explicit PressInHand(TControl* control) : control(control), outer(g_inHand) { g_inHand = this; }
    ~PressInHand() { g_inHand = outer; }
    PressInHand(const PressInHand&) = delete;
    PressInHand& operator=(const PressInHand&) = delete;

    TControl* control;
    PressInHand* outer;
    WPARAM releases = 0; // held back for when the handler returns
    LPARAM point = 0;
};

// The releases of `buttons` at `point` (client coordinates), told to a control of `form` while
// both still stand; the control's own handlers end what the buttons began.
void Release(TCustomForm* form, TControl* control, WPARAM buttons, LPARAM point)
{
    static constexpr std::pair<WPARAM, UINT> kUps[] = {
        {MK_LBUTTON, WM_LBUTTONUP}, {MK_RBUTTON, WM_RBUTTONUP}, {MK_MBUTTON, WM_MBUTTONUP}};
    for (auto [button, up] : kUps)
    {
        if (!(buttons & button))
            continue;
        buttons &= ~button;
        if (!IsFormAlive(form) || !IsWithinForm(control, form))
            return;
        control->Perform(up, buttons, point);
    }
}

// Before a modal loop: a drag ends as Escape ends it, and the control holding the mouse loses it
// and is told (WM_CANCELMODE), so that the input after the loop goes to what is under the pointer
// even when the button that took the capture came up during the loop (its release went to the
// modal form or nowhere). Its press ends with the releases of the buttons still down on it.
void CancelCapture()
{
    CancelDrag();
    TControl* capture = CaptureControl();
    if (!capture)
        return;
    const PressedControl press = g_pressed.control == capture ? g_pressed : PressedControl{capture};
    g_pressed = PressedControl{};
    TCustomForm* form = GetParentForm(capture);
    capture->Perform(WM_CANCELMODE, 0, 0);
    SetCaptureControl(nullptr);
    if (!press.buttons || !form)
        return;
    for (PressInHand* hand = g_inHand; hand; hand = hand->outer)
    {
        if (hand->control == capture)
        {
            hand->releases |= press.buttons;
            hand->point = press.point;
            return;
        }
    }
    Release(form, capture, press.buttons, press.point);
}

// Hands a mouse message to its control; a press so that a modal loop its handler opens can hold
// the press's releases back until the handler is done.
LRESULT Deliver(TCustomForm* form, TControl* control, bool press, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!press)
        return control->Perform(message, wParam, lParam);
    PressInHand hand(control);
    LRESULT result = control->Perform(message, wParam, lParam);
    if (hand.releases)
        Release(form, control, hand.releases, hand.point);
    return result;
}
} // namespace

bool RouteInput(TCustomForm* form, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!form || !form->Enabled())
        return false;
    const auto& modal = Application->m_modalForms;
    if (!modal.empty() && modal.back() != form)
    {
        // A modal form is up: the others take no input. A press elsewhere tells it (a menu
        // closes then).
        if (IsButtonDown(message))
            modal.back()->Perform(WM_CANCELMODE, 0, 0);
        return false;
    }
    TControl* target = form;
    LPARAM targetParam = lParam;
    if (IsMouseMessage(message))
    {
        TPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        form->m_lastMouse = TPoint(point.x + form->Left(), point.y + form->Top());
        TControl* capture = CaptureControl();
        if (capture && GetParentForm(capture) == form)
        {
            target = capture;
            TPoint origin = capture->FormOrigin();
            point = TPoint(point.x - origin.x, point.y - origin.y);
        }
        else
        {
            // Down to the deepest control under the point; a point on a control's frame or scroll
            // bars is that control's non-client input.
            for (;;)
            {
                auto* container = dynamic_cast<TWinControl*>(target);
                TControl* child = container ? container->ControlAtPos(point) : nullptr;
                if (!child)
                    break;
                point = TPoint(point.x - child->Left(), point.y - child->Top());
                target = child;
                auto* windowed = dynamic_cast<TWinControl*>(child);
                if (!windowed)
                    continue;
                TRect area = windowed->ClientArea();
                if (!area.Contains(point) && message != WM_MOUSEWHEEL)
                {
                    LRESULT hit = windowed->ScrollBarRect(SB_VERT).Contains(point)   ? HTVSCROLL
                                  : windowed->ScrollBarRect(SB_HORZ).Contains(point) ? HTHSCROLL
                                                                                     : HTBORDER;
                    if (message <= WM_MBUTTONDBLCLK)
                    {
                        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)
                            SetCaptureControl(windowed);
                        NotePress(windowed, message, wParam, MAKELPARAM(point.x - area.left, point.y - area.top));
                        Deliver(form, windowed, IsButtonDown(message), message - WM_MOUSEMOVE + WM_NCMOUSEMOVE,
                                static_cast<WPARAM>(hit), MAKELPARAM(point.x, point.y));
                    }
                    if (FormShowing(form))
                        form->UpdateCursor();
                    return true;
                }
                point = TPoint(point.x - area.left, point.y - area.top);
            }
        }
        targetParam = MAKELPARAM(point.x, point.y);
        if (message == WM_MOUSEMOVE)
            Application->HintMouseMessage(target, form->m_lastMouse);
        if (IsButtonDown(message))
        {
            Application->CancelHint();
            if (target->ControlStyle().Contains(csCaptureMouse))
                SetCaptureControl(target);
            auto* windowed = dynamic_cast<TWinControl*>(target);
            if (windowed && windowed != form && windowed->TabStop() && windowed->CanFocus() &&
                !windowed->Focused())
                windowed->SetFocus();
        }
        else if (IsButtonUp(message) && (wParam & kButtonKeys) == 0)
            SetCaptureControl(nullptr);
        NotePress(target, message, wParam, targetParam);
    }
    else if (IsKeyMessage(message))
    {
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
        {
            Platform::SetKeyDown(static_cast<int>(wParam), true);
            Application->CancelHint();
            // Escape ends a drag in progress instead of reaching the focused control.
            if (wParam == VK_ESCAPE && (DragObject() || DockDragging()))
            {
                CancelDrag();
                return true;
            }
        }
        else if (message == WM_KEYUP || message == WM_SYSKEYUP)
            Platform::SetKeyDown(static_cast<int>(wParam), false);
        if (form->m_focusedControl)
            target = form->m_focusedControl;
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
        if (down && IsContextMenuKey(wParam))
        {
            // One menu per press: a repeat (bit 30, the key was down) only stays away from the
            // control.
            bool repeat = g_menuKey == wParam && (lParam & (LPARAM{1} << 30));
            g_menuKey = wParam;
            if (!repeat)
                AskForContextMenu(form, target, 0, true);
            return true;
        }
        if (down)
            g_menuKey = 0;
        else if (up && wParam == g_menuKey && g_menuKey)
        {
            g_menuKey = 0;
            return true;
        }
    }
    const bool mouse = IsMouseMessage(message);
    if (target != form)
    {
        LRESULT result = Deliver(form, target, IsButtonDown(message), message, wParam, targetParam);
        if (message == WM_RBUTTONUP && result == 0)
            AskForContextMenu(form, target, targetParam);
        if (mouse && FormShowing(form))
            form->UpdateCursor();
        return true;
    }
    bool wasRouting = form->m_routing;
    form->m_routing = true;
    LRESULT result = Deliver(form, form, IsButtonDown(message), message, wParam, targetParam);
    if (message == WM_RBUTTONUP && result == 0)
        AskForContextMenu(form, form, targetParam);
    // The handler may have freed the form (Release waits for the queue, delete does not).
    for (int i = 0; i < Screen->FormCount(); ++i)
    {
        if (Screen->Forms(i) == form)
            form->m_routing = wasRouting;
    }
    if (mouse && FormShowing(form))
        form->UpdateCursor();
    return true;
}
} // namespace Vcl

namespace
{
// A menu, a drop-down list or a hint shows without taking the activation from the form it stands
// over, which stays the one that a dialog opened meanwhile or afterwards belongs to.
bool TakesActivation(const TCustomForm* form)
{
    return !(form->WindowExStyle() & WS_EX_NOACTIVATE);
}
} // namespace

// ---- TScreen ---------------------------------------------------------------------------------

void TScreen::SetActiveForm(TCustomForm* form)
{
    m_activeForm = form;
}

void TScreen::SetCursor(TCursor cursor)
{
    if (cursor == m_cursor)
        return;
    m_cursor = cursor;
    for (TCustomForm* form : m_forms)
    {
        if (form->Visible())
            form->UpdateCursor();
    }
}

TControl* TScreen::ActiveControl() const
{
    return m_activeForm ? m_activeForm->ActiveControl() : nullptr;
}

// ---- TCustomForm -----------------------------------------------------------------------------

namespace
{
TWinControl* FindWindowControl(TWinControl* root, HWND window)
{
    if (root->Handle() == window)
        return root;
    for (int i = 0; i < root->ControlCount(); ++i)
    {
        if (auto* child = dynamic_cast<TWinControl*>(root->Controls(i)))
        {
            if (TWinControl* found = FindWindowControl(child, window))
                return found;
        }
    }
    return nullptr;
}

// The caret's changes repaint its rectangle on the form of the control that owns it.
void WatchCaret()
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;
    Platform::SetCaretObserver(
        [](HWND window, const RECT& rect)
        {
            for (int i = 0; i < Screen->FormCount(); ++i)
            {
                TCustomForm* form = Screen->Forms(i);
                if (TWinControl* control = FindWindowControl(form, window))
                {
                    TPoint origin = control->FormOrigin();
                    form->InvalidateRect(
                        TRect(rect.left + origin.x, rect.top + origin.y, rect.right + origin.x, rect.bottom + origin.y));
                    return;
                }
            }
        });
}
} // namespace

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner), m_canvas(new TControlCanvas)
{
    WatchCaret();
    m_canvas->SetControl(this);
    m_visible = false; // forms start hidden until shown
    SetColor(clBtnFace);
    SetParentColor(false);
    Constraints()->OnChange = MakeClosure(this, &TCustomForm::ConstraintsChanged);
    Screen->m_forms.push_back(this);
}

void TCustomForm::ConstraintsChanged(TObject* Sender)
{
    ConstraintsChange(Sender);
    if (g_presenter)
        g_presenter->FormChanged(this);
}

TCustomForm::~TCustomForm()
{
    TComponent::BeforeDestruction();
    if (g_presenter)
        g_presenter->FormDestroyed(this);
    auto& forms = Screen->m_forms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (Screen->m_activeForm == this)
        Screen->m_activeForm = nullptr;
    auto& modal = Application->m_modalForms;
    modal.erase(std::remove(modal.begin(), modal.end(), this), modal.end());
    if (Application->m_mainForm == this)
        Application->m_mainForm = nullptr;
    for (TCustomForm* form : forms)
    {
        if (form->m_popupParent == this)
            form->m_popupParent = nullptr;
    }
    delete m_canvas;
}

void TCustomForm::AfterConstruction()
{
    if (m_created)
        return;
    m_created = true;
    DoCreate();
}

void TCustomForm::BeforeDestruction()
{
    if (!m_destroyed)
    {
        m_destroyed = true;
        DoDestroy();
    }
    TWinControl::BeforeDestruction();
}

void TCustomForm::DoCreate()
{
    // As at start-up: a failing OnCreate is shown, and the form lives on.
    try
    {
        OnCreate(this);
    }
    catch (const Exception& e)
    {
        Application->ShowException(e);
    }
}

void TCustomForm::DoDestroy()
{
    OnDestroy(this);
}

void TCustomForm::DoClose(TCloseAction& Action)
{
    OnClose(this, Action);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    if (g_presenter)
        g_presenter->FormChanged(this);
}

void TCustomForm::Resized()
{
    // The buffer first: the children's resize handlers may paint.
    m_pixels.assign(static_cast<size_t>(ClientWidth()) * static_cast<size_t>(ClientHeight()), 0);
    m_dirty = ClientRect();
    TWinControl::Resized();
    if (g_presenter)
        g_presenter->FormChanged(this);
}

void TCustomForm::TextChanged()
{
    if (g_presenter)
        g_presenter->FormChanged(this);
}

void TCustomForm::SetVisible(bool visible)
{
    if (visible == m_visible)
        return;
    if (!visible)
    {
        // Its focus leaves for good: shown again, the window enters its active control anew.
        DropFocusWithin(this, true);
        m_keyboardAway = false;
        m_visible = false;
        if (g_presenter)
            g_presenter->FormHidden(this);
        if (Screen->m_activeForm == this)
        {
            // The last shown form still visible takes over.
            Screen->m_activeForm = nullptr;
            for (auto it = Screen->m_forms.rbegin(); it != Screen->m_forms.rend(); ++it)
            {
                if ((*it)->m_visible)
                {
                    Screen->m_activeForm = *it;
                    break;
                }
            }
        }
        return;
    }
    HandleNeeded();
    if (m_position == poScreenCenter || m_position == poDesktopCenter)
        SetBounds((Screen->Width - Width()) / 2, (Screen->Height - Height()) / 2, Width(), Height());
    m_visible = true;
    // Shown forms come last: they lie on top.
    auto& forms = Screen->m_forms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    forms.push_back(this);
    if (TakesActivation(this))
        Screen->m_activeForm = this;
    m_dirty = ClientRect();
    if (g_presenter)
        g_presenter->FormShown(this);
    if (m_activeControl && m_activeControl->CanFocus())
        FocusControl(m_activeControl, true);
    else
        SelectFirst();
}

void TCustomForm::SetCursorShown(TCursor cursor)
{
    if (cursor == m_cursorShown)
        return;
    m_cursorShown = cursor;
    if (Vcl::IFormPresenter* presenter = Vcl::FormPresenter(); presenter && Visible())
        presenter->FormCursorChanged(this, cursor == crDefault ? crArrow : cursor);
}

void TCustomForm::UpdateCursor()
{
    // A drag shows its own cursor until it ends.
    TControl* capture = Vcl::CaptureControl();
    if (capture && capture->Dragging())
        return;
    TCursor cursor = Screen->Cursor();
    if (cursor != crDefault)
    {
        SetCursorShown(cursor);
        return;
    }
    TControl* target = this;
    bool nonClient = false;
    if (capture && GetParentForm(capture) == this)
        target = capture;
    else
    {
        TPoint point(m_lastMouse.x - Left(), m_lastMouse.y - Top());
        for (;;)
        {
            auto* container = dynamic_cast<TWinControl*>(target);
            TControl* child = container ? container->ControlAtPos(point) : nullptr;
            if (!child)
                break;
            point = TPoint(point.x - child->Left(), point.y - child->Top());
            target = child;
            auto* windowed = dynamic_cast<TWinControl*>(child);
            if (!windowed)
                continue;
            TRect area = windowed->ClientArea();
            if (!area.Contains(point))
            {
                nonClient = true; // frames and scroll bars show the arrow
                break;
            }
            point = TPoint(point.x - area.left, point.y - area.top);
        }
    }
    if (!nonClient)
    {
        cursor = target->Cursor();
        // A graphic control without a cursor of its own shows its window's.
        if (cursor == crDefault && !dynamic_cast<TWinControl*>(target) && target->Parent())
            cursor = target->Parent()->Cursor();
        if (cursor == crDefault && dynamic_cast<TCustomEdit*>(target))
            cursor = crIBeam;
        // A dock site's split bars show the split cursor, over them and while one is dragged.
        if (auto* site = dynamic_cast<TWinControl*>(target); site && site->DockManager())
        {
            TCursor split = site->DockManager()->CursorAt(site->ScreenToClient(m_lastMouse));
            if (split != crDefault)
                cursor = split;
        }
    }
    SetCursorShown(cursor == crDefault ? crArrow : cursor);
}

void TCustomForm::Show()
{
    SetVisible(true);
    if (TakesActivation(this))
        Screen->m_activeForm = this;
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
    if (control && GetParentForm(control) != this)
        throw EInvalidOperation(u"Invalid active control");
    m_activeControl = control;
    if (m_visible && control && control->CanFocus())
        FocusControl(control);
}

void TCustomForm::SelectFirst()
{
    TWinControl* first = FindNextControl(nullptr, true, true);
    if (!first)
        first = FindNextControl(nullptr, true, false);
    if (first)
        FocusControl(first);
}

void TCustomForm::FocusControl(TWinControl* control, bool givenBack)
{
    m_activeControl = control;
    if (control == m_focusedControl)
        return;
    TWinControl* previous = m_focusedControl;
    m_focusedControl = control;
    if (previous)
        previous->Perform(WM_KILLFOCUS, reinterpret_cast<WPARAM>(control ? control->Handle() : nullptr), 0);
    // The old control's handler may have moved the focus on: the latest wins.
    if (control && m_focusedControl == control)
        control->Perform(WM_SETFOCUS, reinterpret_cast<WPARAM>(previous ? previous->Handle() : nullptr), 0);
    if (m_focusedControl == control)
        Perform(CM_FOCUSCHANGED, givenBack ? FocusGivenBack : 0, reinterpret_cast<LPARAM>(control));
}

void TCustomForm::DropFocusWithin(TControl* control, bool notify)
{
    if (m_activeControl && IsWithin(m_activeControl, control))
        m_activeControl = nullptr;
    if (m_focusedControl && IsWithin(m_focusedControl, control))
    {
        TWinControl* focused = m_focusedControl;
        m_focusedControl = nullptr;
        if (notify)
            focused->Perform(WM_KILLFOCUS, 0, 0);
    }
}

void TCustomForm::Close()
{
    if (m_modal)
    {
        m_modalResult = mrCancel;
        return;
    }
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application->m_mainForm == this)
    {
        Application->Terminate();
        return;
    }
    if (action == caFree)
        Release();
    else
        Hide();
}

TModalResult TCustomForm::ShowModal()
{
    if (m_visible || !Enabled() || m_modal)
        throw EInvalidOperation(u"Cannot make a visible window modal");
    Vcl::CancelCapture();
    // The form it stands over: the active one, else the last shown that still shows (a hint or a
    // drop-down list is no owner).
    auto canOwn = [this](TCustomForm* form)
    { return form && form != this && form->m_visible && !(form->WindowStyle() & WS_POPUP); };
    m_popupParent = canOwn(Screen->m_activeForm) ? Screen->m_activeForm : nullptr;
    for (auto it = Screen->m_forms.rbegin(); !m_popupParent && it != Screen->m_forms.rend(); ++it)
    {
        if (canOwn(*it))
            m_popupParent = *it;
    }
    m_modal = true;
    m_modalResult = mrNone;
    // An earlier Run that ended leaves the flag set; only a Terminate from now on cancels this loop.
    Application->m_terminated = false;
    Application->m_modalForms.push_back(this);
    auto leave = [this]
    {
        auto& modal = Application->m_modalForms;
        modal.erase(std::remove(modal.begin(), modal.end(), this), modal.end());
        m_modal = false;
        Hide();
        m_popupParent = nullptr;
    };
    TCloseAction action = caHide;
    try
    {
        Show();
        for (;;)
        {
            Application->HandleMessage();
            if (Application->Terminated())
                m_modalResult = mrCancel;
            if (m_modalResult == mrNone)
                continue;
            // The form may refuse to close: the loop goes on.
            action = caHide;
            DoClose(action);
            if (action != caNone)
                break;
            m_modalResult = mrNone;
        }
    }
    catch (...)
    {
        leave();
        throw;
    }
    leave();
    TModalResult result = m_modalResult;
    if (action == caFree)
        Release();
    return result;
}

void TCustomForm::Release()
{
    PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::InvalidateRect(const TRect& rect)
{
    m_dirty = m_dirty.Union(rect.Intersect(ClientRect()));
}

void TCustomForm::PaintDirty()
{
    if (m_dirty.IsEmpty())
        return;
    TRect dirty = m_dirty;
    m_dirty = TRect();
    ++m_paintCount;
    PaintTree(this, dirty);
    // The caret is drawn over what was painted, inverted, while it is in the on half of its blink.
    Platform::CaretState caret = Platform::GetCaretState();
    if (caret.visible)
    {
        if (TWinControl* owner = FindWindowControl(this, caret.window); owner && owner->Showing())
        {
            TPoint origin = owner->FormOrigin();
            TRect client = owner->ClientRect();
            TRect r = TRect(caret.x, caret.y, caret.x + caret.width, caret.y + caret.height).Intersect(client);
            r = TRect(r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y)
                    .Intersect(dirty)
                    .Intersect(ClientRect());
            for (int y = r.top; y < r.bottom; ++y)
            {
                for (int x = r.left; x < r.right; ++x)
                    m_pixels[static_cast<size_t>(y) * ClientWidth() + x] ^= 0xFFFFFF;
            }
        }
    }
    if (g_presenter && m_visible)
        g_presenter->FormPainted(this, dirty);
}

void TCustomForm::PaintTree(TControl* control, const TRect& clip)
{
    if (!control->Visible())
        return;
    TPoint window = control->WindowOrigin();
    TRect whole(window.x, window.y, window.x + control->Width(), window.y + control->Height());
    if (whole.Intersect(clip).IsEmpty())
        return;
    Platform::Gdi::Surface surface{m_pixels.data(), ClientWidth(), ClientHeight(), ClientWidth()};
    auto* windowed = dynamic_cast<TWinControl*>(control);
    TPoint origin = control->FormOrigin();
    TRect area = whole;
    if (windowed && control != this)
    {
        TRect client = windowed->ClientArea();
        area = client.Offset(window.x, window.y);
        if (!(area == whole))
        {
            HDC dc = Platform::Gdi::CreateSurfaceDC(surface, POINT{window.x, window.y}, whole.Intersect(clip));
            if (dc)
            {
                windowed->PaintNonClient(dc);
                DeleteDC(dc);
            }
        }
    }
    TRect bounds = area.Intersect(clip);
    if (bounds.IsEmpty())
        return;
    {
        HDC dc = Platform::Gdi::CreateSurfaceDC(surface, POINT{origin.x, origin.y}, bounds);
        if (!dc)
            return;
        struct Release
        {
            HDC dc;
            ~Release() { DeleteDC(dc); }
        } release{dc};
        control->PaintWindow(dc);
    }
    auto* container = dynamic_cast<TWinControl*>(control);
    if (!container)
        return;
    // Children paint inside their parent's client area only; graphic ones lie under windowed ones.
    for (bool windowed : {false, true})
    {
        for (int i = 0; i < container->ControlCount(); ++i)
        {
            TControl* child = container->Controls(i);
            if ((dynamic_cast<TWinControl*>(child) != nullptr) == windowed)
                PaintTree(child, bounds);
        }
    }
}

void TCustomForm::Paint()
{
    OnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc)
{
    TPaintScope scope(m_canvas, dc, this);
    TWinControl::PaintWindow(dc);
}

bool TCustomForm::DialogKey(WORD key, TShiftState shift)
{
    if (shift.Contains(ssAlt))
        return TWinControl::DialogKey(key, shift);
    switch (key)
    {
    case VK_TAB:
        if (shift.Contains(ssCtrl))
            break;
        SelectNext(m_activeControl, !shift.Contains(ssShift), true);
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (m_activeControl && m_activeControl->Parent())
        {
            m_activeControl->Parent()->SelectNext(m_activeControl, key == VK_RIGHT || key == VK_DOWN, false);
            return true;
        }
        break;
    }
    return TWinControl::DialogKey(key, shift);
}

void TCustomForm::WndProc(TMessage& Message)
{
    // Input that arrives at the form's own window is the presenter's or a test's: route it.
    if (!m_routing && (IsMouseMessage(Message.Msg) || IsKeyMessage(Message.Msg)))
    {
        Message.Result = Vcl::RouteInput(this, Message.Msg, Message.WParam, Message.LParam) ? 0 : 1;
        return;
    }
    TWinControl::WndProc(Message);
}

void TCustomForm::Dispatch(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_CLOSE:
        Close();
        Message.Result = 0;
        return;
    case WM_MOUSELEAVE:
        // The pointer left the window: no control of this form is under it any more.
        Message.Result = 0;
        if ((Application->HintControl() && GetParentForm(Application->HintControl()) == this) ||
            (Application->MouseControl() && GetParentForm(Application->MouseControl()) == this))
            Application->HintMouseMessage(nullptr, LastMousePos());
        return;
    case CM_RELEASE:
        Free(); // nothing of the form may be touched after this
        return;
    case WM_STYLECHANGED:
        TWinControl::Dispatch(Message);
        if (g_presenter)
            g_presenter->FormChanged(this);
        return;
    case WM_WINDOWPOSCHANGED:
    {
        Message.Result = 0;
        const auto* position = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
        if (!position)
            return;
        int left = position->flags & SWP_NOMOVE ? Left() : position->x;
        int top = position->flags & SWP_NOMOVE ? Top() : position->y;
        int width = position->flags & SWP_NOSIZE ? Width() : position->cx;
        int height = position->flags & SWP_NOSIZE ? Height() : position->cy;
        SetBounds(left, top, width, height);
        if (position->flags & SWP_SHOWWINDOW)
            SetVisible(true);
        else if (position->flags & SWP_HIDEWINDOW)
            SetVisible(false);
        if (g_presenter)
            g_presenter->FormChanged(this);
        return;
    }
    case WM_ACTIVATE:
        // The presenter's window got or lost the keyboard: the focused control only shows or hides
        // its caret and focus mark, and stays focused for when the window comes back.
        Message.Result = 0;
        if (LOWORD(Message.WParam) != 0)
        {
            if (!m_visible)
                return;
            Screen->m_activeForm = this;
            if (std::exchange(m_keyboardAway, false) && m_focusedControl)
                m_focusedControl->Perform(WM_SETFOCUS, 0, static_cast<LPARAM>(FocusGivenBack));
            else if (!m_focusedControl && m_activeControl && m_activeControl->CanFocus())
                FocusControl(m_activeControl, true);
            return;
        }
        if (!std::exchange(m_keyboardAway, true) && m_focusedControl)
            m_focusedControl->Perform(WM_KILLFOCUS, 0, static_cast<LPARAM>(FocusGivenBack));
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}

// ---- TApplication ----------------------------------------------------------------------------

TApplication::TApplication() : TComponent(nullptr) {}

void TApplication::Initialize()
{
    Vcl::InstallDesktopPresenter();
}

TApplication::~TApplication()
{
    delete m_hintTimer;
    delete m_hintWindow;
    BeforeDestruction();
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == m_mainForm)
        m_mainForm = nullptr;
    if (AComponent == m_hintWindow)
    {
        m_hintWindow = nullptr;
        m_hintControl = nullptr;
    }
    if (AComponent == m_hintTimer)
        m_hintTimer = nullptr;
    if (AComponent == m_hintControl)
        CancelHint();
    if (AComponent == m_mouseControl)
        m_mouseControl = nullptr;
}

// ---- Hints -----------------------------------------------------------------------------------

namespace
{
// How far below the pointer's hot spot a hint stands: past the arrow.
constexpr int kCursorHeight = 20;
// The widest a hint's lines run before they wrap (and no more than half the screen): a long text
// reads as a block beside the pointer rather than as one line across the screen.
constexpr int kHintMaxWidth = 400;
} // namespace

// The control whose hint a point over `control` shows: a control without a hint shows its
// parent's.
TControl* TApplication::HintedControl(TControl* control)
{
    while (control && control->Hint().IsEmpty())
        control = control->Parent();
    return control;
}

void TApplication::SetHint(const UnicodeString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    OnHint(this);
}

void TApplication::SetShowHint(bool show)
{
    m_showHint = show;
    if (!show)
        CancelHint();
}

void TApplication::WatchHintControl(TControl*& slot, TControl* control)
{
    if (slot == control)
        return;
    TControl* old = slot;
    slot = control;
    // Still watched through the other slot: keep the notice.
    if (old && old != m_hintControl && old != m_mouseControl)
        old->RemoveFreeNotification(this);
    if (control)
        control->FreeNotification(this);
}

void TApplication::ArmHintTimer(bool show, int interval)
{
    if (!m_hintTimer)
    {
        // Not owned: the application's components are the program's forms.
        m_hintTimer = new TTimer(nullptr);
        m_hintTimer->FreeNotification(this);
        m_hintTimer->OnTimer = MakeClosure(this, &TApplication::HintTimerFired);
    }
    m_hintTimerShows = show;
    m_hintTimer->SetEnabled(false);
    m_hintTimer->SetInterval(static_cast<UINT>(std::max(interval, 1)));
    m_hintTimer->SetEnabled(true);
}

void TApplication::HintTimerFired(TObject*)
{
    m_hintTimer->SetEnabled(false);
    if (m_hintTimerShows)
        ActivateHint(m_mousePos);
    else
        CancelHint();
}

void TApplication::ActivateHint(const TPoint& CursorPos)
{
    m_mousePos = CursorPos;
    TControl* control = HintedControl(FindDragTarget(CursorPos, true));
    const UnicodeString shortHint = control ? GetShortHint(control->Hint()) : UnicodeString();
    if (!control || !m_showHint || !control->ShowHint() || shortHint.IsEmpty())
    {
        CancelHint();
        return;
    }
    THintInfo info;
    info.HintControl = control;
    info.CursorPos = CursorPos;
    info.HintStr = shortHint;
    control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    const UnicodeString text = info.HintStr;
    if (text.IsEmpty())
    {
        CancelHint();
        return;
    }
    if (!m_hintWindow)
    {
        m_hintWindow = new THintWindow(nullptr);
        m_hintWindow->FreeNotification(this);
    }
    const TRect size = m_hintWindow->CalcHintRect(std::min(kHintMaxWidth, Screen->Width / 2), text, nullptr);
    WatchHintControl(m_hintControl, control);
    m_hintWindow->ActivateHint(THintWindow::PlaceAt(CursorPos, kCursorHeight, size), text);
    ArmHintTimer(false, HintHidePause);
}

void TApplication::CancelHint()
{
    if (m_hintTimer)
        m_hintTimer->SetEnabled(false);
    WatchHintControl(m_hintControl, nullptr);
    if (m_hintWindow && m_hintWindow->Visible())
        m_hintWindow->ReleaseHandle();
}

void TApplication::HintMouseMessage(TControl* control, const TPoint& screen)
{
    m_mousePos = screen;
    if (control != m_mouseControl)
    {
        // The control left hears it first, then the one entered; a handler may free either.
        TControl* left = m_mouseControl;
        WatchHintControl(m_mouseControl, control);
        if (left)
            left->Perform(CM_MOUSELEAVE, 0, 0);
        if (control && m_mouseControl == control)
            control->Perform(CM_MOUSEENTER, 0, 0);
        if (m_mouseControl != control)
            return;
    }
    else
    {
        if (m_hintControl && HintedControl(control) != m_hintControl)
            CancelHint();
        return;
    }
    TControl* hinted = HintedControl(control);
    if (m_hintControl && hinted != m_hintControl)
        CancelHint(); // the pointer left the control whose hint shows
    SetHint(hinted ? GetLongHint(hinted->Hint()) : UnicodeString());
    if (m_hintTimer && m_hintTimerShows)
        m_hintTimer->SetEnabled(false);
    if (hinted && hinted != m_hintControl && m_showHint && hinted->ShowHint() && !GetShortHint(hinted->Hint()).IsEmpty())
        ArmHintTimer(true, HintPause);
}

void TApplication::Run()
{
    m_terminated = false;
    if (!m_mainForm)
    {
        Platform::DispatchPostedMessages();
        return;
    }
    if (!m_mainForm->Visible())
        m_mainForm->Show();
    while (!m_terminated && m_mainForm)
        HandleMessage();
    // The forms still owned when the program ends are freed first thing at exit, while all they
    // reach stands: the display's connection and the registries made while the program ran would
    // be gone by the time the application object itself goes.
    static const bool freedAtExit = std::atexit([] { Application->DestroyComponents(); }) == 0;
    (void)freedAtExit;
}

bool TApplication::ProcessMessage(MSG& message)
{
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (message.message == WM_QUIT)
    {
        m_terminated = true;
        return true;
    }
    // The queue hands out a timer only when no posted message waits; what was invalidated is
    // painted before it, so that a timer whose handler outlasts its period (due again at every
    // turn) cannot keep the forms from ever being painted.
    if (message.message == WM_TIMER)
        PaintForms();
    try
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    catch (const Exception& e)
    {
        ShowException(e);
    }
    catch (...)
    {
        ShowException(Exception(u""));
    }
    return true;
}

void TApplication::PaintForms()
{
    // By index: painting may show or free forms.
    for (int i = 0; i < Screen->FormCount(); ++i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (form->Visible())
            form->PaintDirty();
    }
}

void TApplication::ProcessMessages()
{
    MSG message;
    while (ProcessMessage(message))
    {
    }
    PaintForms();
}

void TApplication::HandleMessage()
{
    MSG message;
    if (ProcessMessage(message))
        return;
    PaintForms();
    if (!m_terminated)
        WaitMessage();
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::ShowException(const Exception& e)
{
    MessageBoxW(nullptr, e.Message().c_str(), Vcl::ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
}

// ---- Scrolling windowed controls and frames ------------------------------------------------------

namespace
{
// Holds a flag up for as long as it lives, also when what it guards throws.
struct Updating
{
    explicit Updating(bool& flag) : flag(flag) { flag = true; }
    ~Updating() { flag = false; }
    bool& flag;
};
} // namespace

int TScrollingWinControl::MeasureRange() const
{
    int lowest = 0;
    int bottoms = 0;
    for (int i = 0; i < ControlCount(); ++i)
    {
        TControl* child = Controls(i);
        if (!child->Visible())
            continue;
        if (child->Align() == alNone || child->Align() == alTop)
            lowest = std::max(lowest, m_position + child->Top() + child->Height());
        else if (child->Align() == alBottom)
            bottoms += child->Height();
    }
    return lowest + bottoms;
}

void TScrollingWinControl::UpdateScrollBars()
{
    if (m_updating)
        return;
    {
        Updating scope(m_updating);
        // Showing or hiding the bar narrows or widens the client area, which may re-stack the
        // children.
        for (int pass = 0; pass < 2; ++pass)
        {
            m_range = MeasureRange();
            const bool needed = m_range > ClientHeight();
            if (((WindowStyle() & WS_VSCROLL) != 0) == needed)
                break;
            ShowScrollBar(SB_VERT, needed);
        }
    }
    // A range that shrank under the position scrolls back.
    SetVertPosition(m_position);
}

void TScrollingWinControl::SetVertPosition(int position)
{
    if (m_updating)
        return;
    position = std::clamp(position, 0, std::max(0, m_range - ClientHeight()));
    if (position != m_position)
    {
        Updating scope(m_updating);
        const int delta = m_position - position;
        m_position = position;
        // By index: a handler may change the children. Aligned ones follow the position in Realign.
        for (int i = 0; i < ControlCount(); ++i)
        {
            TControl* child = Controls(i);
            if (child->Align() == alNone)
                child->SetBounds(child->Left(), child->Top() + delta, child->Width(), child->Height());
        }
        Realign();
        Invalidate();
    }
    TellScrollBar(SB_VERT, (WindowStyle() & WS_VSCROLL) != 0, m_told, m_range - 1, ClientHeight(), m_position);
}

void TScrollingWinControl::ScrollInView(TControl* control)
{
    if (!control || control == this)
        return;
    // Where the part to show lies in this one's client area: its place in the control, the
    // control's in its parent, and each ancestor's place and frame up to this one.
    const TRect part = control->FocusedPart();
    int top = control->Top() + part.top;
    TControl* c = control->Parent();
    for (; c && c != this; c = c->Parent())
        top += c->Top() + c->ClientOffset().y;
    if (!c)
        return;
    const int bottom = top + part.Height();
    const int view = ClientHeight();
    if (part.Height() > view)
    {
        // No scroll shows it whole. Any of it in view, the frame stands where the user works, which
        // a scroll would throw out of sight. Wholly out of view, its top comes in at the view's top.
        if (bottom > 0 && top < view)
            return;
        SetVertPosition(m_position + top);
        return;
    }
    // A sliver of a box is no place to type into: the least scroll shows the whole of it.
    if (top < 0)
        SetVertPosition(m_position + top);
    else if (bottom > view)
        SetVertPosition(m_position + bottom - view);
}

void TScrollingWinControl::AlignControls(TRect& rect)
{
    // The aligned children stack over the whole range, from its scrolled top.
    const int height = std::max(rect.Height(), m_range);
    rect.top -= m_position;
    rect.bottom = rect.top + height;
    {
        Updating scope(m_aligning);
        TWinControl::AlignControls(rect);
    }
    UpdateScrollBars();
}

void TScrollingWinControl::ChildPlacementChanged()
{
    // Alignment measures once it has placed every child.
    if (!m_aligning)
        UpdateScrollBars();
}

bool TScrollingWinControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    if (TWinControl::DoMouseWheelDown(Shift, MousePos))
        return true;
    if (!(WindowStyle() & WS_VSCROLL))
        return false;
    SetVertPosition(m_position + WheelLines * LineStep);
    return true;
}

bool TScrollingWinControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    if (TWinControl::DoMouseWheelUp(Shift, MousePos))
        return true;
    if (!(WindowStyle() & WS_VSCROLL))
        return false;
    SetVertPosition(m_position - WheelLines * LineStep);
    return true;
}

void TScrollingWinControl::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_VSCROLL)
    {
        int position = m_position;
        if (ScrollRequestPosition(SB_VERT, LOWORD(Message.WParam), LineStep, ClientHeight(), position))
            SetVertPosition(position);
        Message.Result = 0;
        return;
    }
    // The user works where the view stands: a focus given back moves nothing.
    if (Message.Msg == CM_FOCUSCHANGED && Message.WParam != FocusGivenBack)
        ScrollInView(reinterpret_cast<TControl*>(Message.LParam));
    TWinControl::WndProc(Message);
}

TCustomFrame::TCustomFrame(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    TControlStyle style = ControlStyle();
    style << csAcceptsControls;
    SetControlStyle(style);
    SetBounds(0, 0, 320, 240);
}

// ---- Floating dock windows -------------------------------------------------------------------

TDockHostForm::TDockHostForm(TComponent* AOwner) : TForm(AOwner)
{
    SetBorderStyle(bsToolWindow);
}

void TDockHostForm::DoClose(TCloseAction& Action)
{
    TForm::DoClose(Action);
    TControl* client = Client();
    if (!client)
        return;
    client->SetVisible(false);
    Action = client->Visible() ? caNone : caHide;
}

void TDockHostForm::WndProc(TMessage& Message)
{
    TForm::WndProc(Message);
    // The client left: nothing is left to show.
    if (Message.Msg == CM_CONTROLLISTCHANGE && !Message.LParam && ControlCount() <= 1)
    {
        Hide();
        Release();
    }
}

TControl* FindDragTarget(const TPoint& screenPoint, bool allowDisabled)
{
    // Topmost form first; hint windows never take input.
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (!form->Visible() || dynamic_cast<THintWindow*>(form))
            continue;
        TPoint point(screenPoint.x - form->Left(), screenPoint.y - form->Top());
        if (!TRect(0, 0, form->Width(), form->Height()).Contains(point))
            continue;
        TControl* hit = form;
        while (auto* container = dynamic_cast<TWinControl*>(hit))
        {
            TControl* child = container->ControlAtPos(container->ScreenToClient(screenPoint), allowDisabled);
            if (!child)
                break;
            hit = child;
        }
        return hit;
    }
    return nullptr;
}

namespace Vcl
{
void FloatControl(TControl* control, const TRect& screenRect)
{
    auto* host = new TDockHostForm(Application);
    host->SetCaption(control->Caption());
    host->SetBounds(screenRect.left, screenRect.top, screenRect.Width(), screenRect.Height());
    control->SetParent(host);
    control->SetBounds(0, 0, screenRect.Width(), screenRect.Height());
    host->Show();
}

TWinControl* FindDockTarget(TDragDockObject* source, const TPoint& screenPoint, int& X, int& Y)
{
    TControl* dragged = source->Control();
    // Each site is asked once per look-up; the first that lets the client dock with the pointer
    // inside its influence is the target.
    std::vector<TWinControl*> asked;
    auto takes = [&](TWinControl* site)
    {
        if (!site->DockSite() || !site->Enabled() || IsWithin(site, dragged) ||
            std::find(asked.begin(), asked.end(), site) != asked.end())
            return false;
        asked.push_back(site);
        bool canDock = true;
        TRect influence;
        site->GetSiteInfo(dragged, influence, screenPoint, canDock);
        if (!canDock || !influence.Contains(screenPoint))
            return false;
        TPoint local = site->ScreenToClient(screenPoint);
        X = local.x;
        Y = local.y;
        return true;
    };
    // First the sites under the pointer, innermost first, on the topmost form there.
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (!form->Visible())
            continue;
        TPoint point(screenPoint.x - form->Left(), screenPoint.y - form->Top());
        if (!TRect(0, 0, form->Width(), form->Height()).Contains(point))
            continue;
        // The deepest control under the point, the dragged one skipped.
        TControl* hit = form;
        for (;;)
        {
            auto* container = dynamic_cast<TWinControl*>(hit);
            if (!container)
                break;
            TPoint local = container->ScreenToClient(screenPoint);
            TControl* child = nullptr;
            for (int k = container->ControlCount() - 1; k >= 0; --k)
            {
                TControl* c = container->Controls(k);
                if (c != dragged && c->Visible() && c->BoundsRect().Contains(local))
                {
                    child = c;
                    break;
                }
            }
            if (!child)
                break;
            hit = child;
        }
        for (TControl* c = hit; c; c = c->Parent())
        {
            auto* site = dynamic_cast<TWinControl*>(c);
            if (site && takes(site))
                return site;
        }
        break;
    }
    // Then any other showing site whose influence reaches the pointer (by default the 10 pixels
    // around it), topmost form first and children before their parents.
    struct Search
    {
        const std::function<bool(TWinControl*)>& takes;
        TWinControl* In(TWinControl* container)
        {
            for (int k = container->ControlCount() - 1; k >= 0; --k)
            {
                auto* child = dynamic_cast<TWinControl*>(container->Controls(k));
                if (!child || !child->Visible())
                    continue;
                if (TWinControl* found = In(child))
                    return found;
            }
            return takes(container) ? container : nullptr;
        }
    };
    const std::function<bool(TWinControl*)> ask = takes;
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (!form->Visible())
            continue;
        if (TWinControl* site = Search{ask}.In(form))
            return site;
    }
    return nullptr;
}
} // namespace Vcl
