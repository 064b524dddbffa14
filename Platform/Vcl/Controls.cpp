#include "Platform/Vcl/Controls.h"

#include "Platform/Vcl/DockTree.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_map>

// ---- Shared state ----------------------------------------------------------------------------

namespace
{
TControl* g_captureControl = nullptr;
std::unordered_map<HWND, TWinControl*> g_windows;

// The docking drag in progress (one at a time: there is one mouse).
struct DockDrag
{
    TControl* control = nullptr;
    bool started = false;
    TPoint start; // screen point of the press
    TDragDockObject* source = nullptr;
    bool ownsSource = true; // false for one OnStartDock gave
    TWinControl* over = nullptr; // the site the pointer is over, accepted or not
    bool accepted = false;
};
DockDrag g_drag;

// Frees the dock object of a drag when the class library made it.
struct DockSourceRelease
{
    const DockDrag& drag;
    ~DockSourceRelease()
    {
        if (drag.ownsSource)
            delete drag.source;
    }
};

// The object drag in progress (dkDrag).
struct ObjectDrag
{
    TControl* control = nullptr; // the source
    bool started = false;
    TPoint start; // screen point of the press
    int threshold = Vcl::DragThreshold;
    TDragObject* object = nullptr;
    bool ownsObject = false;
    TControl* over = nullptr; // the control under the pointer
    TPoint overPos;           // the pointer in its client coordinates
    bool accepted = false;
};
ObjectDrag g_objectDrag;
// The source while its DoEndDrag may still be called; cleared when it goes away meanwhile.
TControl* g_endingSource = nullptr;

// The cursor of the drag in progress, on the source's form (which holds the pointer).
void ShowDragCursor(TControl* source)
{
    if (TCustomForm* form = GetParentForm(source))
        form->SetCursorShown(
            g_objectDrag.object->GetDragCursor(g_objectDrag.accepted, g_objectDrag.overPos.x, g_objectDrag.overPos.y));
}

// The frame shown during a docking drag, and the form whose presenter shows it.
struct DockFeedback
{
    TCustomForm* form = nullptr;
    TRect rect;
    bool thick = false;
    const TControl* formControl = nullptr; // the form as a control, to notice it going
};
DockFeedback g_feedback;

void ShowDockFeedback(TCustomForm* form, const TRect& rect, bool thick)
{
    if (g_feedback.form == form && g_feedback.rect == rect && g_feedback.thick == thick)
        return;
    g_feedback = DockFeedback{form, rect, thick, form};
    if (Vcl::IFormPresenter* presenter = Vcl::FormPresenter())
        presenter->DockFeedback(form, &rect, thick);
}

void HideDockFeedback()
{
    if (!g_feedback.form)
        return;
    TCustomForm* form = g_feedback.form;
    g_feedback = DockFeedback{};
    if (Vcl::IFormPresenter* presenter = Vcl::FormPresenter())
        presenter->DockFeedback(form, nullptr, false);
}
unsigned g_alignOrder = 0; // stamps the stacking order of aligned controls
// Set when a key went to the dialog, so that its character (Tab, Enter, Escape) is not typed.
WCHAR g_swallowChar = 0;
// Set while a WM_SETFOCUS or WM_KILLFOCUS that only follows the window's keyboard is handled.
bool g_windowFocusOnly = false;

} // namespace

bool IsWithin(const TControl* control, const TControl* ancestor)
{
    for (const TControl* c = control; c; c = c->Parent())
    {
        if (c == ancestor)
            return true;
    }
    return false;
}

namespace Vcl
{
TControl* CaptureControl()
{
    return g_captureControl;
}

void SetCaptureControl(TControl* control)
{
    g_captureControl = control;
}
} // namespace Vcl

TCustomForm* GetParentForm(const TControl* control)
{
    if (!control)
        return nullptr;
    while (control->Parent())
        control = control->Parent();
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(control));
}

TShiftState KeyboardShiftState()
{
    TShiftState shift;
    if (GetKeyState(VK_SHIFT) < 0)
        shift << ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        shift << ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift << ssAlt;
    if (GetKeyState(VK_LBUTTON) < 0)
        shift << ssLeft;
    if (GetKeyState(VK_RBUTTON) < 0)
        shift << ssRight;
    if (GetKeyState(VK_MBUTTON) < 0)
        shift << ssMiddle;
    return shift;
}

TShiftState MouseShiftState(WPARAM wParam)
{
    TShiftState shift;
    if (wParam & MK_SHIFT)
        shift << ssShift;
    if (wParam & MK_CONTROL)
        shift << ssCtrl;
    if (wParam & MK_LBUTTON)
        shift << ssLeft;
    if (wParam & MK_RBUTTON)
        shift << ssRight;
    if (wParam & MK_MBUTTON)
        shift << ssMiddle;
    if (GetKeyState(VK_MENU) < 0)
        shift << ssAlt;
    return shift;
}

// ---- TControl --------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), m_font(new TFont), m_constraints(new TSizeConstraints)
{
    WindowProc = MakeClosure(this, &TControl::WndProc);
    m_font->OnChange = MakeClosure(this, &TControl::FontChange);
    m_constraints->OnChange = MakeClosure(this, &TControl::ConstraintsChange);
}

TControl::~TControl()
{
    TComponent::BeforeDestruction();
    if (g_captureControl == this)
        g_captureControl = nullptr;
    if (g_endingSource == this)
        g_endingSource = nullptr;
    if (g_objectDrag.over == this)
    {
        g_objectDrag.over = nullptr;
        g_objectDrag.accepted = false;
        if (g_objectDrag.object)
            g_objectDrag.object->m_target = nullptr;
    }
    if (g_objectDrag.control == this)
    {
        // The source goes away mid-drag: the drag ends with no drop.
        ObjectDrag drag = g_objectDrag;
        g_objectDrag = ObjectDrag{};
        if (drag.over)
        {
            bool ignored = false;
            drag.over->DragOver(nullptr, drag.overPos.x, drag.overPos.y, dsDragLeave, ignored);
        }
        if (drag.ownsObject)
            delete drag.object;
    }
    // A drag of this control (or of one on this form) ends with it.
    if (g_drag.control == this || g_feedback.formControl == this)
    {
        HideDockFeedback();
        if (g_drag.control == this)
        {
            DockDrag drag = g_drag;
            g_drag = DockDrag{};
            DockSourceRelease release{drag};
        }
    }
    if (m_parent)
        m_parent->RemoveControl(this);
    delete m_font;
    delete m_constraints;
}

void TControl::FontChange(TObject*)
{
    if (!m_takingParentFont)
        m_parentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool parentFont)
{
    if (parentFont == m_parentFont)
        return;
    m_parentFont = parentFont;
    if (parentFont)
        TakeParentFont();
}

void TControl::TakeParentFont()
{
    if (!m_parentFont || !m_parent)
        return;
    m_takingParentFont = true;
    try
    {
        m_font->Assign(m_parent->Font());
    }
    catch (...)
    {
        m_takingParentFont = false;
        throw;
    }
    m_takingParentFont = false;
}

void TControl::PaintWindow(HDC)
{
    PaintControl();
}

void TControl::BeforeDestruction()
{
    TComponent::BeforeDestruction();
    // Leave the parent while the whole control stands, so the parent's notice sees what it was.
    if (m_parent)
    {
        Invalidate();
        m_parent->RemoveControl(this);
    }
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == m_parent)
        return;
    if (parent && IsWithin(parent, this))
        throw EInvalidOperation(u"Control cannot have itself as parent");
    if (m_parent)
    {
        Invalidate();
        TWinControl* old = m_parent;
        old->RemoveControl(this);
        if (m_align != alNone && m_visible)
            old->Realign();
        old->ChildPlacementChanged();
    }
    if (!parent)
        return;
    parent->InsertControl(this);
    RememberAnchorDistances();
    parent->ChildPlacementChanged();
    TakeParentFont();
    Perform(CM_PARENTCOLORCHANGED, 0, 0);
    Perform(CM_PARENTCTL3DCHANGED, 0, 0);
    Invalidate();
    if (m_align != alNone)
    {
        m_alignOrder = ++g_alignOrder;
        if (m_visible)
            parent->Realign();
    }
}

void TControl::SetAlign(TAlign align)
{
    if (align == m_align)
        return;
    m_align = align;
    if (align != alNone)
        m_alignOrder = ++g_alignOrder;
    if (m_parent && m_visible)
        m_parent->Realign();
}

TPoint TControl::ClientToParent(const TPoint& point, TWinControl* parent) const
{
    if (!parent)
        parent = m_parent;
    const TPoint own = ClientOffset();
    TPoint result(point.x + own.x + m_left, point.y + own.y + m_top);
    for (const TWinControl* p = m_parent; p; p = p->Parent())
    {
        if (p == parent)
            return result;
        const TPoint offset = p->ClientOffset();
        result.x += offset.x + p->Left();
        result.y += offset.y + p->Top();
    }
    throw EInvalidOperation(UnicodeString(u"Control '") + Name() + u"' has no parent window");
}

TPoint TControl::ClientToScreen(const TPoint& point) const
{
    const TControl* top = this;
    while (top->m_parent)
        top = top->m_parent;
    TPoint origin = FormOrigin();
    return TPoint(point.x + origin.x + top->m_left, point.y + origin.y + top->m_top);
}

TPoint TControl::ScreenToClient(const TPoint& point) const
{
    TPoint zero = ClientToScreen(TPoint(0, 0));
    return TPoint(point.x - zero.x, point.y - zero.y);
}

void TControl::SetPopupMenu(TPopupMenu* menu)
{
    if (menu == m_popupMenu)
        return;
    if (m_popupMenu)
        m_popupMenu->RemoveFreeNotification(this);
    m_popupMenu = menu;
    if (menu)
        menu->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == m_popupMenu)
        m_popupMenu = nullptr;
}

void TControl::Resize()
{
    OnResize(this);
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled)
{
    OnContextPopup(this, MousePos, Handled);
}

TPoint TControl::ContextMenuPoint(LPARAM lParam) const
{
    const TPoint at(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    return at.x == -1 && at.y == -1 ? ClientToScreen(TPoint(0, 0)) : at;
}

void TControl::ContextMenu(TMessage& Message)
{
    // Asked with a point in the client area, or from the keyboard (-1, -1); a request from the
    // frame or the scroll bars is not the client's.
    TPoint local(-1, -1);
    bool keyboard = GET_X_LPARAM(Message.LParam) == -1 && GET_Y_LPARAM(Message.LParam) == -1;
    if (!keyboard)
        local = ScreenToClient(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
    if (keyboard || ClientRect().Contains(local))
    {
        bool handled = false;
        DoContextPopup(local, handled);
        if (handled)
        {
            Message.Result = 1;
            return;
        }
    }
    if (m_popupMenu)
    {
        TPoint at = ContextMenuPoint(Message.LParam);
        Message.Result = 1;
        m_popupMenu->SetPopupComponent(this);
        m_popupMenu->Popup(at.x, at.y);
        return;
    }
    if (m_parent)
        Message.Result = m_parent->Perform(WM_CONTEXTMENU, Message.WParam, Message.LParam);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    ChangeBounds(left, top, width, height);
    RememberAnchorDistances();
    // An aligned control keeps only the size its edge lets it choose.
    if (m_align != alNone && m_parent && m_visible)
        m_parent->Realign();
    else if (m_parent)
        m_parent->ChildPlacementChanged();
}

void TControl::ChangeBounds(int left, int top, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width != m_width || height != m_height)
    {
        if (CanResize(width, height))
            ApplyConstraints(width, height);
        else
        {
            width = m_width;
            height = m_height;
        }
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == m_left && top == m_top && width == m_width && height == m_height)
        return;
    bool moved = left != m_left || top != m_top;
    bool resized = width != m_width || height != m_height;
    Invalidate();
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    Invalidate();
    if (moved)
        Perform(WM_MOVE, 0, MAKELPARAM(left, top));
    if (resized)
    {
        TRect client = ClientRect();
        Perform(WM_SIZE, 0, MAKELPARAM(client.Width(), client.Height()));
    }
}

bool TControl::CanResize(int& NewWidth, int& NewHeight)
{
    bool resize = true;
    OnCanResize(this, NewWidth, NewHeight, resize);
    return resize;
}

void TControl::ConstrainedResize(int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight)
{
    OnConstrainedResize(this, MinWidth, MinHeight, MaxWidth, MaxHeight);
}

void TControl::ApplyConstraints(int& width, int& height)
{
    int minWidth = m_constraints->MinWidth();
    int minHeight = m_constraints->MinHeight();
    int maxWidth = m_constraints->MaxWidth() > 0 ? m_constraints->MaxWidth() : INT_MAX;
    int maxHeight = m_constraints->MaxHeight() > 0 ? m_constraints->MaxHeight() : INT_MAX;
    ConstrainedResize(minWidth, minHeight, maxWidth, maxHeight);
    // The maximum wins over a minimum above it, as it does between the Constraints themselves.
    if (width > maxWidth)
        width = maxWidth;
    else if (width < minWidth)
        width = minWidth;
    if (height > maxHeight)
        height = maxHeight;
    else if (height < minHeight)
        height = minHeight;
}

void TControl::ConstraintsChange(TObject*)
{
    int width = m_width;
    int height = m_height;
    ApplyConstraints(width, height);
    if (width != m_width || height != m_height)
        SetBounds(m_left, m_top, width, height);
}

void TSizeConstraints::SetLimit(int& limit, int value, int& other, bool isMax)
{
    value = std::max(value, 0);
    if (value == limit)
        return;
    limit = value;
    if (value > 0 && other > 0 && (isMax ? value < other : value > other))
        other = value;
    OnChange(this);
}

void TSizeConstraints::SetMaxHeight(int value)
{
    SetLimit(m_maxHeight, value, m_minHeight, true);
}

void TSizeConstraints::SetMaxWidth(int value)
{
    SetLimit(m_maxWidth, value, m_minWidth, true);
}

void TSizeConstraints::SetMinHeight(int value)
{
    SetLimit(m_minHeight, value, m_maxHeight, false);
}

void TSizeConstraints::SetMinWidth(int value)
{
    SetLimit(m_minWidth, value, m_maxWidth, false);
}

void TSizeConstraints::Assign(TPersistent* Source)
{
    auto* other = dynamic_cast<TSizeConstraints*>(Source);
    if (!other)
    {
        TPersistent::Assign(Source);
        return;
    }
    m_maxHeight = other->m_maxHeight;
    m_maxWidth = other->m_maxWidth;
    m_minHeight = other->m_minHeight;
    m_minWidth = other->m_minWidth;
    OnChange(this);
}

bool TControl::MouseCapture() const
{
    return g_captureControl == this;
}

void TControl::SetMouseCapture(bool capture)
{
    if (capture)
        g_captureControl = this;
    else if (g_captureControl == this)
        g_captureControl = nullptr;
}

void TControl::RememberAnchorDistances()
{
    m_anchorBounds = BoundsRect();
    m_anchorParentWidth = m_parent ? m_parent->ClientWidth() : 0;
    m_anchorParentHeight = m_parent ? m_parent->ClientHeight() : 0;
}

void TControl::SetAnchors(TAnchors anchors)
{
    m_anchors = anchors;
    RememberAnchorDistances();
}

void TControl::ApplyAnchors(int width, int height)
{
    // Measured from the bounds at the last placement, so repeated resizes do not drift.
    int dx = width - m_anchorParentWidth;
    int dy = height - m_anchorParentHeight;
    int left = m_anchorBounds.left;
    int top = m_anchorBounds.top;
    int w = m_anchorBounds.Width();
    int h = m_anchorBounds.Height();
    if (m_anchors.Contains(akRight))
    {
        if (m_anchors.Contains(akLeft))
            w += dx;
        else
            left += dx;
    }
    else if (!m_anchors.Contains(akLeft))
        left += dx / 2; // held at the same place relative to the centre
    if (m_anchors.Contains(akBottom))
    {
        if (m_anchors.Contains(akTop))
            h += dy;
        else
            top += dy;
    }
    else if (!m_anchors.Contains(akTop))
        top += dy / 2;
    ChangeBounds(left, top, w, h);
}

TPoint TControl::WindowOrigin() const
{
    if (!m_parent)
        return TPoint();
    TPoint origin = m_parent->FormOrigin();
    return TPoint(origin.x + m_left, origin.y + m_top);
}

TPoint TControl::FormOrigin() const
{
    TPoint origin = WindowOrigin();
    TPoint offset = ClientOffset();
    return TPoint(origin.x + offset.x, origin.y + offset.y);
}

bool TControl::Showing() const
{
    const TControl* c = this;
    for (; c; c = c->m_parent)
    {
        if (!c->m_visible)
            return false;
        if (!c->m_parent)
            break;
    }
    return dynamic_cast<const TCustomForm*>(c) != nullptr;
}

void TControl::SetVisible(bool visible)
{
    if (visible == m_visible)
        return;
    if (!visible)
    {
        if (TCustomForm* form = GetParentForm(this); form && form != this)
            form->DropFocusWithin(this, true);
    }
    m_visible = visible;
    Invalidate();
    Perform(CM_VISIBLECHANGED, visible ? 1 : 0, 0);
    if (m_parent)
        m_parent->ChildPlacementChanged();
    // A docked client shown or hidden gives its zone's space back or takes it again.
    if (m_parent && (m_align != alNone || (m_parent->m_dockManager && m_parent->m_dockManager->Holds(this))))
    {
        m_parent->Realign();
        if (m_parent->m_dockManager)
            m_parent->Invalidate();
    }
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    if (!enabled)
    {
        if (TCustomForm* form = GetParentForm(this); form && form != this)
            form->DropFocusWithin(this, true);
    }
    m_enabled = enabled;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const UnicodeString& text)
{
    if (text != m_text)
        TakeText(UnicodeString(text));
}

void TControl::TakeText(UnicodeString&& text)
{
    if (text == m_text)
        return;
    m_text = std::move(text);
    Perform(CM_TEXTCHANGED, 0, 0);
    Invalidate();
}

void TControl::SetColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_parentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool parentColor)
{
    if (parentColor == m_parentColor)
        return;
    m_parentColor = parentColor;
    if (m_parent)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam)
{
    TMessage m{message, wParam, lParam, 0};
    // A copy: the handler may free this control, closure included.
    TWndMethod proc = WindowProc;
    if (proc)
        proc(m);
    else
        WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message)
{
    Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        HandleMouse(Message);
        return;
    case WM_MOUSEWHEEL:
    case CM_MOUSEWHEEL:
        HandleWheel(Message);
        return;
    case WM_SIZE:
        Resized();
        Message.Result = 0;
        return;
    case CM_TEXTCHANGED:
        TextChanged();
        return;
    case CM_FONTCHANGED:
        FontChanged();
        return;
    case CM_COLORCHANGED:
        ColorChanged();
        return;
    case CM_PARENTCOLORCHANGED:
        if (m_parentColor && m_parent)
        {
            SetColor(m_parent->Color());
            m_parentColor = true;
        }
        return;
    case CM_ENABLEDCHANGED:
        Invalidate();
        return;
    case WM_CONTEXTMENU:
        ContextMenu(Message);
        return;
    case WM_CANCELMODE:
        // The mouse is taken from this control (a modal loop starts while a button is down): the
        // press makes no click, whatever release comes.
        m_clicking = false;
        if (g_captureControl == this)
            g_captureControl = nullptr;
        Message.Result = 0;
        return;
    case WM_SETTEXT:
        SetText(UnicodeString(reinterpret_cast<const WCHAR*>(Message.LParam)));
        Message.Result = TRUE;
        return;
    case WM_GETTEXTLENGTH:
        Message.Result = m_text.Length();
        return;
    case WM_GETTEXT:
    {
        // wParam units including the NUL; returns the units copied without it.
        auto* buffer = reinterpret_cast<WCHAR*>(Message.LParam);
        size_t room = static_cast<size_t>(Message.WParam);
        if (!buffer || room == 0)
        {
            Message.Result = 0;
            return;
        }
        size_t count = std::min(room - 1, static_cast<size_t>(m_text.Length()));
        std::copy_n(m_text.c_str(), count, buffer);
        buffer[count] = 0;
        Message.Result = static_cast<LRESULT>(count);
        return;
    }
    default:
        DefaultHandler(Message);
    }
}

void TControl::DefaultHandler(TMessage& Message)
{
    Message.Result = 0;
}

void TControl::HandleMouse(TMessage& Message)
{
    int x = GET_X_LPARAM(Message.LParam);
    int y = GET_Y_LPARAM(Message.LParam);
    TShiftState shift = MouseShiftState(Message.WParam);
    UINT msg = Message.Msg;
    if (HandleDrag(msg, x, y))
    {
        Message.Result = 0;
        return;
    }
    // Without csDoubleClicks the second click of a pair is a plain press.
    if (!m_controlStyle.Contains(csDoubleClicks))
    {
        if (msg == WM_LBUTTONDBLCLK)
            msg = WM_LBUTTONDOWN;
        else if (msg == WM_RBUTTONDBLCLK)
            msg = WM_RBUTTONDOWN;
        else if (msg == WM_MBUTTONDBLCLK)
            msg = WM_MBUTTONDOWN;
    }
    switch (msg)
    {
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        DblClick();
        m_clicking = true;
        MouseDown(mbLeft, shift << ssDouble, x, y);
        break;
    case WM_LBUTTONDOWN:
        m_clicking = true;
        MouseDown(mbLeft, shift, x, y);
        break;
    case WM_LBUTTONUP:
    {
        TRect area(0, 0, m_width, m_height);
        if (auto* windowed = dynamic_cast<TWinControl*>(this))
            area = TRect(0, 0, windowed->ClientArea().Width(), windowed->ClientArea().Height());
        bool click = m_clicking && m_controlStyle.Contains(csClickEvents) && area.Contains(TPoint(x, y));
        m_clicking = false;
        if (click)
            Click();
        MouseUp(mbLeft, shift, x, y);
        break;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, msg == WM_RBUTTONDBLCLK ? shift << ssDouble : shift, x, y);
        break;
    case WM_RBUTTONUP:
        MouseUp(mbRight, shift, x, y);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseDown(mbMiddle, msg == WM_MBUTTONDBLCLK ? shift << ssDouble : shift, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, shift, x, y);
        break;
    }
    Message.Result = 0;
}

void TControl::HandleWheel(TMessage& Message)
{
    TShiftState shift = MouseShiftState(LOWORD(Message.WParam));
    int delta = static_cast<SHORT>(HIWORD(Message.WParam));
    TPoint pos(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
    Message.Result = 0;
    if (DoMouseWheel(shift, delta, pos))
    {
        Message.Result = 1;
        return;
    }
    if (!m_parent)
        return;
    TPoint offset = ClientOffset();
    TPoint inParent(pos.x + m_left + offset.x, pos.y + m_top + offset.y);
    Message.Result = m_parent->Perform(CM_MOUSEWHEEL, Message.WParam, MAKELPARAM(inParent.x, inParent.y));
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos)
{
    bool handled = false;
    OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    if (handled)
        return true;
    m_wheelAccumulator += WheelDelta;
    while (std::abs(m_wheelAccumulator) >= WHEEL_DELTA)
    {
        if (m_wheelAccumulator < 0)
        {
            m_wheelAccumulator += WHEEL_DELTA;
            handled = DoMouseWheelDown(Shift, MousePos);
        }
        else
        {
            m_wheelAccumulator -= WHEEL_DELTA;
            handled = DoMouseWheelUp(Shift, MousePos);
        }
    }
    return handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    bool handled = false;
    OnMouseWheelDown(this, Shift, MousePos, handled);
    return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    bool handled = false;
    OnMouseWheelUp(this, Shift, MousePos, handled);
    return handled;
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
    OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Click()
{
    OnClick(this);
}

void TControl::DblClick()
{
    OnDblClick(this);
}

void TControl::Invalidate()
{
    TCustomForm* form = GetParentForm(this);
    if (!form)
        return;
    TPoint origin = WindowOrigin();
    form->InvalidateRect(TRect(origin.x, origin.y, origin.x + m_width, origin.y + m_height));
}

void TControl::InvalidateRect(const TRect& rect)
{
    TCustomForm* form = GetParentForm(this);
    if (!form)
        return;
    TPoint origin = FormOrigin();
    TPoint window = WindowOrigin();
    TRect whole(window.x, window.y, window.x + m_width, window.y + m_height);
    form->InvalidateRect(rect.Offset(origin.x, origin.y).Intersect(whole));
}

void TControl::Update()
{
    if (TCustomForm* form = GetParentForm(this))
        form->PaintDirty();
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

// ---- TWinControl -----------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner)
{
    m_handle = Platform::RegisterWindowReceiver([this](UINT message, WPARAM wParam, LPARAM lParam)
                                                { return Perform(message, wParam, lParam); });
    g_windows[m_handle] = this;
}

TWinControl* TWinControl::FindControl(HWND window)
{
    auto it = g_windows.find(window);
    return it == g_windows.end() ? nullptr : it->second;
}

TWinControl::~TWinControl()
{
    TComponent::BeforeDestruction();
    // The zones go first: the children leave without being laid out again.
    delete m_dockManager;
    m_dockManager = nullptr;
    // Children nobody else freed go with their parent.
    while (!m_controls.empty())
    {
        TControl* child = m_controls.back();
        RemoveControl(child);
        child->Free();
    }
    g_windows.erase(m_handle);
    Platform::UnregisterWindowReceiver(m_handle);
}

void TWinControl::InsertControl(TControl* control)
{
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), TRUE);
    m_controls.push_back(control);
    control->m_parent = this;
    if (auto* windowed = dynamic_cast<TWinControl*>(control))
    {
        m_tabList.push_back(windowed);
        if (windowed->m_pendingTabOrder >= 0)
        {
            const int order = windowed->m_pendingTabOrder;
            windowed->m_pendingTabOrder = -1;
            windowed->SetTabOrder(order);
        }
        if (m_windowCreated)
            windowed->HandleNeeded();
    }
}

void TWinControl::HandleNeeded()
{
    if (m_windowCreated)
        return;
    if (TWinControl* parent = Parent())
        parent->HandleNeeded();
    if (m_windowCreated) // the parent's creation made this one's too
        return;
    CreateWnd();
    // By index: a child's CreateWnd may add controls.
    for (size_t i = 0; i < m_controls.size(); ++i)
    {
        if (auto* windowed = dynamic_cast<TWinControl*>(m_controls[i]))
            windowed->HandleNeeded();
    }
}

void TWinControl::CreateWnd()
{
    m_windowCreated = true;
    ApplyCreateParams();
}

void TWinControl::CreateParams(TCreateParams& Params)
{
    Params.Style = WindowStyle();
    Params.ExStyle = WindowExStyle();
}

void TWinControl::ApplyCreateParams()
{
    TCreateParams params{WindowStyle(), WindowExStyle()};
    CreateParams(params);
    SetWindowStyle(params.Style);
    SetWindowExStyle(params.ExStyle);
}

void TWinControl::DestroyWnd()
{
    m_windowCreated = false;
}

void TWinControl::RecreateWnd()
{
    if (!m_windowCreated)
    {
        ApplyCreateParams();
        return;
    }
    // The handle stays the control's (the window table knows the control by it); what is made
    // again is the window's state.
    DestroyWnd();
    CreateWnd();
    FrameChanged();
}

void TWinControl::Resize()
{
    if (m_windowCreated)
        TControl::Resize();
}

void TWinControl::RemoveControl(TControl* control)
{
    if (TCustomForm* form = GetParentForm(this))
        form->DropFocusWithin(control, false);
    if (g_captureControl && IsWithin(g_captureControl, control))
        g_captureControl = nullptr;
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), FALSE);
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
    m_tabList.erase(std::remove(m_tabList.begin(), m_tabList.end(), control), m_tabList.end());
    control->m_parent = nullptr;
    // A docked client leaving in any way (docked elsewhere, floated, re-parented, freed) leaves
    // its zone; the tree keeps no pointer to it.
    if (m_dockManager)
        m_dockManager->RemoveControl(control);
}

TControl* TWinControl::ControlAtPos(const TPoint& point, bool allowDisabled) const
{
    for (bool windowed : {true, false})
    {
        for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it)
        {
            TControl* c = *it;
            if ((dynamic_cast<TWinControl*>(c) != nullptr) != windowed)
                continue;
            if (c->m_visible && (c->m_enabled || allowDisabled) && c->BoundsRect().Contains(point))
                return c;
        }
    }
    return nullptr;
}

void TWinControl::Resized()
{
    int width = ClientWidth();
    int height = ClientHeight();
    // By index: an anchored child may be freed by a resize handler.
    for (size_t i = 0; i < m_controls.size(); ++i)
    {
        if (m_controls[i]->m_align == alNone && !(m_dockManager && m_dockManager->Holds(m_controls[i])))
            m_controls[i]->ApplyAnchors(width, height);
    }
    Realign();
    Resize();
}

void TWinControl::Realign()
{
    if (m_aligning)
    {
        m_alignAgain = true;
        return;
    }
    m_aligning = true;
    try
    {
        // A request made by a handler during a pass runs as one more pass after it, a few times
        // at most, so that a handler that always asks cannot loop.
        for (int pass = 0; pass < 4; ++pass)
        {
            m_alignAgain = false;
            TRect rect = ClientRect();
            AlignControls(rect);
            if (!m_alignAgain)
                break;
        }
    }
    catch (...)
    {
        m_aligning = false;
        throw;
    }
    m_aligning = false;
    m_alignAgain = false;
}

void TWinControl::AlignControls(TRect& rect)
{
    std::vector<TControl*> aligned;
    for (TControl* c : m_controls)
    {
        // The dock manager places its clients whatever their own alignment.
        if (c->m_align != alNone && c->m_visible && !(m_dockManager && m_dockManager->Holds(c)))
            aligned.push_back(c);
    }
    std::stable_sort(aligned.begin(), aligned.end(),
                     [](const TControl* a, const TControl* b) { return a->m_alignOrder < b->m_alignOrder; });
    for (TAlign edge : {alTop, alBottom, alLeft, alRight, alClient})
    {
        for (TControl* c : aligned)
        {
            if (c->m_align != edge)
                continue;
            int w = std::max(rect.Width(), 0);
            int h = std::max(rect.Height(), 0);
            switch (edge)
            {
            case alTop:
                h = c->m_height;
                c->ChangeBounds(rect.left, rect.top, w, h);
                rect.top += h;
                break;
            case alBottom:
                h = c->m_height;
                c->ChangeBounds(rect.left, rect.bottom - h, w, h);
                rect.bottom -= h;
                break;
            case alLeft:
                w = c->m_width;
                c->ChangeBounds(rect.left, rect.top, w, h);
                rect.left += w;
                break;
            case alRight:
                w = c->m_width;
                c->ChangeBounds(rect.right - w, rect.top, w, h);
                rect.right -= w;
                break;
            default:
                c->ChangeBounds(rect.left, rect.top, w, h);
                break;
            }
            c->RememberAnchorDistances();
        }
    }
    // The docked clients share what the aligned children left.
    if (m_dockManager)
    {
        m_dockManager->SetArea(rect);
        m_dockManager->ResetBounds(false);
    }
}

void TWinControl::EraseBackground(HDC dc)
{
    // Windows clip their children: what a windowed child covers is the child's to paint, so
    // pixels that it keeps (a device's picture) survive a repaint of the parent.
    std::vector<TRect> parts{ClientRect()};
    for (TControl* child : m_controls)
    {
        if (!child->Visible() || !dynamic_cast<TWinControl*>(child))
            continue;
        TRect cut = child->BoundsRect();
        std::vector<TRect> left;
        for (const TRect& r : parts)
        {
            TRect overlap = r.Intersect(cut);
            if (overlap.IsEmpty())
            {
                left.push_back(r);
                continue;
            }
            TRect pieces[] = {TRect(r.left, r.top, r.right, overlap.top), TRect(r.left, overlap.bottom, r.right, r.bottom),
                              TRect(r.left, overlap.top, overlap.left, overlap.bottom),
                              TRect(overlap.right, overlap.top, r.right, overlap.bottom)};
            for (const TRect& piece : pieces)
            {
                if (!piece.IsEmpty())
                    left.push_back(piece);
            }
        }
        parts.swap(left);
    }
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
    for (const TRect& part : parts)
    {
        RECT r = part;
        ::FillRect(dc, &r, brush);
    }
    DeleteObject(brush);
}

void TWinControl::PaintWindow(HDC dc)
{
    if (!ControlStyle().Contains(csOpaque))
        Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    PaintControl();
    // The grabbers go over what the site painted.
    if (m_dockManager)
        m_dockManager->PaintSite(dc);
}

void TWinControl::FontChanged()
{
    TControl::FontChanged();
    for (size_t i = 0; i < m_controls.size(); ++i)
        m_controls[i]->TakeParentFont();
}

void TWinControl::ColorChanged()
{
    TControl::ColorChanged();
    NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::NotifyControls(UINT message)
{
    // A handler may free or move a child: each one still here gets the message once.
    std::vector<TControl*> children = m_controls;
    for (TControl* child : children)
    {
        if (std::find(m_controls.begin(), m_controls.end(), child) != m_controls.end())
            child->Perform(message, 0, 0);
    }
}

void TWinControl::SetCtl3D(bool ctl3D)
{
    if (ctl3D == m_ctl3D)
        return;
    m_ctl3D = ctl3D;
    m_parentCtl3D = false;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::SetParentCtl3D(bool parentCtl3D)
{
    if (parentCtl3D == m_parentCtl3D)
        return;
    m_parentCtl3D = parentCtl3D;
    if (Parent())
        Perform(CM_PARENTCTL3DCHANGED, 0, 0);
}

void TWinControl::Ctl3DChanged()
{
    Invalidate();
    NotifyControls(CM_PARENTCTL3DCHANGED);
}

void TWinControl::ApplyClientEdge()
{
    if (m_ctl3D)
    {
        SetWindowStyle(WindowStyle() & ~DWORD(WS_BORDER));
        SetWindowExStyle(WindowExStyle() | WS_EX_CLIENTEDGE);
    }
    else
    {
        SetWindowExStyle(WindowExStyle() & ~DWORD(WS_EX_CLIENTEDGE));
        SetWindowStyle(WindowStyle() | WS_BORDER);
    }
}

bool TWinControl::CanFocus() const
{
    if (!GetParentForm(this))
        return false;
    for (const TControl* c = this; c; c = c->Parent())
    {
        if (!c->Visible() || !c->Enabled())
            return false;
    }
    return true;
}

bool TWinControl::Focused() const
{
    TCustomForm* form = GetParentForm(this);
    return form && form->m_focusedControl == this && !form->m_keyboardAway;
}

bool TWinControl::HoldsFocus() const
{
    TCustomForm* form = GetParentForm(this);
    return form && form->m_focusedControl == this;
}

void TWinControl::SetFocus()
{
    if (!CanFocus())
        throw EInvalidOperation(u"Cannot focus a disabled or invisible window");
    TCustomForm* form = GetParentForm(this);
    Screen->SetActiveForm(form);
    if (form != this)
        form->FocusControl(this);
}

int TWinControl::TabOrder() const
{
    if (!Parent())
        return -1;
    const auto& list = Parent()->m_tabList;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(int order)
{
    if (!Parent())
    {
        m_pendingTabOrder = order < 0 ? -1 : order;
        return;
    }
    auto& list = Parent()->m_tabList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const
{
    for (TWinControl* child : m_tabList)
    {
        list.push_back(child);
        child->GetTabOrderList(list);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    int count = static_cast<int>(list.size());
    if (count == 0)
        return nullptr;
    int index = static_cast<int>(std::find(list.begin(), list.end(), current) - list.begin());
    if (index == count && !forward)
        index = count; // not in the list: start from the end going back, from the start going on
    else if (index == count)
        index = -1;
    for (int step = 0; step < count; ++step)
    {
        index = forward ? (index + 1) % count : (index - 1 + count) % count;
        TWinControl* candidate = list[static_cast<size_t>(index)];
        if (candidate == current)
            break;
        if (candidate->CanFocus() && (!checkTabStop || candidate->m_tabStop))
            return candidate;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop)
{
    if (TWinControl* next = FindNextControl(current, forward, checkTabStop))
        next->SetFocus();
}

void TWinControl::Dispatch(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        HandleKeyDown(Message);
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    {
        WORD key = static_cast<WORD>(Message.WParam);
        KeyUp(key, KeyboardShiftState());
        Message.Result = 0;
        return;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
    {
        WCHAR key = static_cast<WCHAR>(Message.WParam);
        Message.Result = 0;
        if (g_swallowChar && key == g_swallowChar)
        {
            g_swallowChar = 0;
            return;
        }
        g_swallowChar = 0;
        KeyPress(key);
        return;
    }
    case WM_GETDLGCODE:
        Message.Result = DialogCode();
        return;
    case WM_STYLECHANGED:
        if (Message.LParam && (static_cast<int>(Message.WParam) == GWL_STYLE || static_cast<int>(Message.WParam) == GWL_EXSTYLE))
            StyleChanged(static_cast<int>(Message.WParam), reinterpret_cast<const STYLESTRUCT*>(Message.LParam)->styleOld);
        Message.Result = 0;
        return;
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    {
        // Kept for the outer message: a handler may move the focus on.
        struct Scope
        {
            bool outer = g_windowFocusOnly;
            ~Scope() { g_windowFocusOnly = outer; }
        } scope;
        g_windowFocusOnly = Message.LParam == static_cast<LPARAM>(FocusGivenBack);
        if (Message.Msg == WM_SETFOCUS)
            DoEnter();
        else
            DoExit();
        Invalidate();
        return;
    }
    case CM_CTL3DCHANGED:
        Ctl3DChanged();
        return;
    case CM_PARENTCTL3DCHANGED:
        if (m_parentCtl3D && Parent())
        {
            SetCtl3D(Parent()->Ctl3D());
            m_parentCtl3D = true;
        }
        return;
    case CM_FOCUSCHANGED:
        // By index: a handler may change the children.
        for (size_t i = 0; i < m_controls.size(); ++i)
            m_controls[i]->Perform(CM_FOCUSCHANGED, Message.WParam, Message.LParam);
        return;
    case CM_CONTROLLISTCHANGE:
        if (Parent())
            Parent()->Perform(Message.Msg, Message.WParam, Message.LParam);
        return;
    case WM_TIMER:
        if (Message.WParam == Vcl::ScrollBarPart::RepeatTimer)
        {
            ScrollRepeat();
            return;
        }
        TControl::Dispatch(Message);
        return;
    default:
        // Grabbers, close buttons and split bars take the site's mouse first.
        if (m_dockManager && Message.Msg >= WM_MOUSEMOVE && Message.Msg <= WM_MBUTTONDBLCLK)
        {
            TDockTree* manager = m_dockManager;
            if (manager->MouseMessage(Message))
            {
                Message.Result = 0;
                return;
            }
        }
        if (HandleScrollBarMouse(Message))
            return;
        TControl::Dispatch(Message);
    }
}

void TWinControl::HandleKeyDown(TMessage& Message)
{
    WORD key = static_cast<WORD>(Message.WParam);
    TShiftState shift = KeyboardShiftState();
    g_swallowChar = 0;
    Message.Result = 0;
    LRESULT mask = 0;
    WCHAR character = 0;
    switch (key)
    {
    case VK_TAB:
        mask = DLGC_WANTTAB;
        character = u'\t';
        break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        mask = DLGC_WANTARROWS;
        break;
    case VK_RETURN:
        mask = DLGC_WANTALLKEYS;
        character = u'\r';
        break;
    case VK_ESCAPE:
        mask = DLGC_WANTALLKEYS;
        character = 0x1B;
        break;
    }
    if (mask && (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0)
    {
        // One press presses one button once: the repeats of a held Enter or Escape (also those
        // that reach another window after the first closed a box) press nothing.
        const bool repeat = (static_cast<uintptr_t>(Message.LParam) >> 30) & 1;
        if (repeat && (key == VK_RETURN || key == VK_ESCAPE))
        {
            g_swallowChar = character;
            return;
        }
        TCustomForm* form = GetParentForm(this);
        if (form && form->DialogKey(key, shift))
        {
            g_swallowChar = character;
            return;
        }
    }
    KeyDown(key, shift);
}

bool TWinControl::DialogKey(WORD key, TShiftState shift)
{
    // Offered to every windowed child (default and cancel buttons take Enter and Escape).
    for (size_t i = 0; i < m_tabList.size(); ++i)
    {
        if (m_tabList[i]->DialogKey(key, shift))
            return true;
    }
    return false;
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift)
{
    OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyPress(WCHAR& Key)
{
    OnKeyPress(this, Key);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift)
{
    OnKeyUp(this, Key, Shift);
}

void TWinControl::DoEnter()
{
    if (!g_windowFocusOnly)
        OnEnter(this);
}

void TWinControl::DoExit()
{
    if (!g_windowFocusOnly)
        OnExit(this);
}

bool TWinControl::WindowFocusOnly()
{
    return g_windowFocusOnly;
}

// ---- Painting controls -----------------------------------------------------------------------

TPaintScope::TPaintScope(TCanvas* canvas, HDC dc, TControl* control) : m_canvas(canvas)
{
    canvas->SetHandle(dc);
    canvas->Font()->Assign(control->Font());
    canvas->Brush()->SetColor(control->Color());
    canvas->Pen()->SetColor(clBlack);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetStyle(psSolid);
}

TPaintScope::~TPaintScope()
{
    m_canvas->SetHandle(nullptr);
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), m_canvas(new TControlCanvas)
{
    m_canvas->SetControl(this);
}

TCustomControl::~TCustomControl()
{
    delete m_canvas;
}

void TCustomControl::PaintWindow(HDC dc)
{
    TPaintScope scope(m_canvas, dc, this);
    TWinControl::PaintWindow(dc);
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), m_canvas(new TControlCanvas)
{
    m_canvas->SetControl(this);
}

TGraphicControl::~TGraphicControl()
{
    delete m_canvas;
}

void TGraphicControl::PaintWindow(HDC dc)
{
    TPaintScope scope(m_canvas, dc, this);
    PaintControl();
}

// ---- Frame and scroll bars -------------------------------------------------------------------

namespace
{
constexpr int kBarSize = 17;
} // namespace

int TWinControl::FrameWidthFor(DWORD style, DWORD exStyle) const
{
    int width = (style & WS_BORDER) ? 1 : 0;
    if ((exStyle & WS_EX_CLIENTEDGE) || ControlStyle().Contains(csFramed))
        width += 2;
    return width;
}

int64_t TWinControl::BevelSize() const
{
    if (m_bevelKind == bkNone)
        return 0;
    return (m_bevelInner != bvNone ? int64_t(m_bevelWidth) : 0) + (m_bevelOuter != bvNone ? int64_t(m_bevelWidth) : 0);
}

TRect TWinControl::FrameInteriorFor(DWORD style, DWORD exStyle) const
{
    int b = FrameWidthFor(style, exStyle);
    TRect r(b, b, std::max(b, Width() - b), std::max(b, Height() - b));
    if (int64_t bevel = BevelSize())
    {
        // In 64 bits and kept inside the control: a bevel wider than the control leaves no room.
        auto inset = [](int edge, int64_t by, int size) { return int(std::clamp<int64_t>(edge + by, 0, size)); };
        if (m_bevelEdges.Contains(beLeft))
            r.left = inset(r.left, bevel, Width());
        if (m_bevelEdges.Contains(beTop))
            r.top = inset(r.top, bevel, Height());
        if (m_bevelEdges.Contains(beRight))
            r.right = inset(r.right, -bevel, Width());
        if (m_bevelEdges.Contains(beBottom))
            r.bottom = inset(r.bottom, -bevel, Height());
        r.right = std::max(r.left, r.right);
        r.bottom = std::max(r.top, r.bottom);
    }
    return r;
}

TRect TWinControl::ClientAreaFor(DWORD style, DWORD exStyle) const
{
    TRect r = FrameInteriorFor(style, exStyle);
    if (style & WS_VSCROLL)
        r.right = std::max(r.left, r.right - GetSystemMetrics(SM_CXVSCROLL));
    if (style & WS_HSCROLL)
        r.bottom = std::max(r.top, r.bottom - GetSystemMetrics(SM_CYHSCROLL));
    return r;
}

TRect TWinControl::ClientArea() const
{
    return ClientAreaFor(WindowStyle(), WindowExStyle());
}

TRect TWinControl::ClientRect() const
{
    TRect area = ClientArea();
    return TRect(0, 0, area.Width(), area.Height());
}

TPoint TWinControl::ClientOffset() const
{
    TRect area = ClientArea();
    return TPoint(area.left, area.top);
}

void TWinControl::FrameChanged()
{
    Invalidate();
    TRect client = ClientRect();
    Perform(WM_SIZE, 0, MAKELPARAM(client.Width(), client.Height()));
}

void TWinControl::SetWindowStyle(DWORD style)
{
    if (style != WindowStyle())
        SetWindowLongW(m_handle, GWL_STYLE, static_cast<LONG>(style));
}

void TWinControl::SetWindowExStyle(DWORD exStyle)
{
    if (exStyle != WindowExStyle())
        SetWindowLongW(m_handle, GWL_EXSTYLE, static_cast<LONG>(exStyle));
}

void TWinControl::StyleChanged(int index, DWORD before)
{
    TRect old = index == GWL_STYLE ? ClientAreaFor(before, WindowExStyle()) : ClientAreaFor(WindowStyle(), before);
    if (ClientArea() == old)
        Invalidate();
    else
        FrameChanged();
}

Vcl::ScrollBarPart* TWinControl::Bar(int bar) const
{
    auto& part = bar == SB_VERT ? const_cast<std::unique_ptr<Vcl::ScrollBarPart>&>(m_vertBar)
                                : const_cast<std::unique_ptr<Vcl::ScrollBarPart>&>(m_horzBar);
    if (!part)
        part = std::make_unique<Vcl::ScrollBarPart>(bar == SB_VERT);
    return part.get();
}

TRect TWinControl::ScrollBarRect(int bar) const
{
    TRect area = ClientArea();
    TRect interior = FrameInteriorFor(WindowStyle(), WindowExStyle());
    if (bar == SB_VERT && (WindowStyle() & WS_VSCROLL))
        return TRect(area.right, area.top, std::min(interior.right, area.right + kBarSize), area.bottom);
    if (bar == SB_HORZ && (WindowStyle() & WS_HSCROLL))
        return TRect(area.left, area.bottom, area.right, std::min(interior.bottom, area.bottom + kBarSize));
    return TRect();
}

void TWinControl::LayoutScrollBars() const
{
    Bar(SB_VERT)->SetBounds(ScrollBarRect(SB_VERT));
    Bar(SB_HORZ)->SetBounds(ScrollBarRect(SB_HORZ));
}

int TWinControl::SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw)
{
    if (bar != SB_VERT && bar != SB_HORZ)
        return 0;
    int position = Bar(bar)->SetInfo(info);
    if (redraw)
    {
        TPoint origin = WindowOrigin();
        TRect r = ScrollBarRect(bar);
        if (TCustomForm* form = GetParentForm(this); form && !r.IsEmpty())
            form->InvalidateRect(r.Offset(origin.x, origin.y));
    }
    return position;
}

bool TWinControl::GetScrollInfo(int bar, SCROLLINFO& info) const
{
    if (bar != SB_VERT && bar != SB_HORZ)
        return false;
    return Bar(bar)->GetInfo(&info);
}

bool TWinControl::ScrollRequestPosition(int bar, int code, int line, int page, int& position) const
{
    switch (code)
    {
    case SB_LINEUP: position -= line; return true;
    case SB_LINEDOWN: position += line; return true;
    case SB_PAGEUP: position -= page; return true;
    case SB_PAGEDOWN: position += page; return true;
    case SB_TOP: position = 0; return true;
    case SB_BOTTOM: position = INT_MAX / 2; return true;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
    {
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
        GetScrollInfo(bar, info);
        position = info.nTrackPos;
        return true;
    }
    default:
        return false;
    }
}

bool TWinControl::ShowScrollBarsIfChanged(bool vertical, bool horizontal)
{
    bool hasVertical = (WindowStyle() & WS_VSCROLL) != 0;
    bool hasHorizontal = (WindowStyle() & WS_HSCROLL) != 0;
    if (vertical == hasVertical && horizontal == hasHorizontal)
        return false;
    if (vertical != hasVertical)
        ShowScrollBar(SB_VERT, vertical);
    if (horizontal != hasHorizontal)
        ShowScrollBar(SB_HORZ, horizontal);
    return true;
}

void TWinControl::TellScrollBar(int bar, bool shown, SCROLLINFO& told, int max, int page, int position)
{
    if (!shown)
    {
        told = SCROLLINFO{};
        return;
    }
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, max, static_cast<UINT>(page), position, 0};
    if (told.cbSize && told.nMax == info.nMax && told.nPage == info.nPage && told.nPos == info.nPos)
        return;
    told = info;
    SetScrollInfo(bar, info, true);
}

void TWinControl::ShowScrollBar(int bar, bool show)
{
    DWORD bits = bar == SB_VERT ? WS_VSCROLL : bar == SB_HORZ ? WS_HSCROLL : bar == SB_BOTH ? WS_VSCROLL | WS_HSCROLL : 0;
    SetWindowStyle(show ? (WindowStyle() | bits) : (WindowStyle() & ~bits));
}

void TWinControl::ScrollRepeat()
{
    Vcl::ScrollBarPart* part = m_trackingBar;
    if (!part || !part->Repeating())
    {
        KillTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer);
        return;
    }
    // From now on at the repeat rate (the first tick came after the longer delay).
    SetTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer, Vcl::ScrollBarPart::RepeatInterval, nullptr);
    int code = part->RepeatCode();
    if (code < 0)
        return;
    LayoutScrollBars();
    TPoint origin = WindowOrigin();
    if (TCustomForm* form = GetParentForm(this))
        form->InvalidateRect(part->Bounds().Offset(origin.x, origin.y));
    Perform(part->Vertical() ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, part->TrackPosition()), 0);
}

void TWinControl::PaintNonClient(HDC dc)
{
    RECT r{0, 0, Width(), Height()};
    if (WindowStyle() & WS_BORDER)
        DrawClientEdge(dc, r, false);
    if ((WindowExStyle() & WS_EX_CLIENTEDGE) || ControlStyle().Contains(csFramed))
        DrawClientEdge(dc, r, true);
    PaintBevel(dc, r);
    LayoutScrollBars();
    if (WindowStyle() & WS_VSCROLL)
        m_vertBar->Paint(dc, Enabled());
    if (WindowStyle() & WS_HSCROLL)
        m_horzBar->Paint(dc, Enabled());
    if ((WindowStyle() & WS_VSCROLL) && (WindowStyle() & WS_HSCROLL))
    {
        TRect v = ScrollBarRect(SB_VERT);
        TRect h = ScrollBarRect(SB_HORZ);
        RECT corner{v.left, h.top, v.right, h.bottom};
        HBRUSH face = CreateSolidBrush(ColorToRGB(clBtnFace));
        ::FillRect(dc, &corner, face);
        DeleteObject(face);
    }
}

void TWinControl::PaintBevel(HDC dc, RECT& rect)
{
    if (!BevelSize())
        return;
    // The bevel's room in the control's colour, then its rings in the outermost pixels of it.
    TRect interior = FrameInteriorFor(WindowStyle(), WindowExStyle());
    HBRUSH face = CreateSolidBrush(ColorToRGB(Color()));
    RECT parts[] = {{rect.left, rect.top, rect.right, interior.top},
                    {rect.left, interior.bottom, rect.right, rect.bottom},
                    {rect.left, interior.top, interior.left, interior.bottom},
                    {interior.right, interior.top, rect.right, interior.bottom}};
    for (RECT& part : parts)
        if (part.right > part.left && part.bottom > part.top)
            ::FillRect(dc, &part, face);
    DeleteObject(face);
    static const UINT inner[] = {0, BDR_SUNKENINNER, BDR_RAISEDINNER, 0};
    static const UINT outer[] = {0, BDR_SUNKENOUTER, BDR_RAISEDOUTER, 0};
    UINT edges = (m_bevelEdges.Contains(beLeft) ? BF_LEFT : 0) | (m_bevelEdges.Contains(beTop) ? BF_TOP : 0) |
                 (m_bevelEdges.Contains(beRight) ? BF_RIGHT : 0) | (m_bevelEdges.Contains(beBottom) ? BF_BOTTOM : 0);
    UINT kind = m_bevelKind == bkSoft ? BF_SOFT : m_bevelKind == bkFlat ? BF_FLAT : 0;
    RECT ring = rect;
    DrawEdge(dc, &ring, inner[m_bevelInner] | outer[m_bevelOuter], edges | kind);
    rect = interior;
}

void TWinControl::SetBevelEdges(TBevelEdges edges)
{
    if (edges == m_bevelEdges)
        return;
    m_bevelEdges = edges;
    FrameChanged();
}

void TWinControl::SetBevelInner(TBevelCut cut)
{
    if (cut == m_bevelInner)
        return;
    m_bevelInner = cut;
    FrameChanged();
}

void TWinControl::SetBevelOuter(TBevelCut cut)
{
    if (cut == m_bevelOuter)
        return;
    m_bevelOuter = cut;
    FrameChanged();
}

void TWinControl::SetBevelKind(TBevelKind kind)
{
    if (kind == m_bevelKind)
        return;
    m_bevelKind = kind;
    FrameChanged();
}

void TWinControl::SetBevelWidth(int width)
{
    width = std::max(width, 1);
    if (width == m_bevelWidth)
        return;
    m_bevelWidth = width;
    FrameChanged();
}

bool TWinControl::HandleScrollBarMouse(TMessage& Message)
{
    UINT msg = Message.Msg;
    bool nonClient = msg == WM_NCLBUTTONDOWN || msg == WM_NCLBUTTONDBLCLK || msg == WM_NCMOUSEMOVE || msg == WM_NCLBUTTONUP;
    bool tracked = m_trackingBar && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP);
    if (!nonClient && !tracked)
        return false;
    TPoint point(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
    if (!nonClient)
    {
        // Client coordinates from the capture: back to the window's own.
        TPoint offset = ClientOffset();
        point = TPoint(point.x + offset.x, point.y + offset.y);
    }
    Message.Result = 0;
    LayoutScrollBars();
    Vcl::ScrollBarPart* part = m_trackingBar;
    int code = -1;
    if (msg == WM_NCLBUTTONDOWN || msg == WM_NCLBUTTONDBLCLK)
    {
        if (!Enabled())
            return true;
        for (int bar : {SB_VERT, SB_HORZ})
        {
            if (ScrollBarRect(bar).Contains(point))
                part = Bar(bar);
        }
        if (!part)
            return true;
        m_trackingBar = part;
        Vcl::SetCaptureControl(this);
        code = part->MouseDown(point);
        if (part->Repeating())
            SetTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer, Vcl::ScrollBarPart::RepeatDelay, nullptr);
    }
    else if (!part)
        return true;
    else if (msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE)
        code = part->MouseMove(point);
    else
    {
        code = part->MouseUp(point);
        m_trackingBar = nullptr;
        KillTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer);
        if (Vcl::CaptureControl() == this)
            Vcl::SetCaptureControl(nullptr);
    }
    UINT scroll = part->Vertical() ? WM_VSCROLL : WM_HSCROLL;
    TPoint origin = WindowOrigin();
    if (TCustomForm* form = GetParentForm(this))
        form->InvalidateRect(part->Bounds().Offset(origin.x, origin.y));
    if (code >= 0)
        Perform(scroll, MAKEWPARAM(code, part->TrackPosition()), 0);
    if (code == SB_THUMBPOSITION)
    {
        part->EndTracking();
        Perform(scroll, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
    }
    return true;
}

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw)
{
    TWinControl* control = TWinControl::FindControl(window);
    if (!control || !info)
        return 0;
    return control->SetScrollInfo(bar, *info, redraw != FALSE);
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info)
{
    TWinControl* control = TWinControl::FindControl(window);
    if (!control || !info)
        return FALSE;
    return control->GetScrollInfo(bar, *info) ? TRUE : FALSE;
}

BOOL ShowScrollBar(HWND window, int bar, BOOL show)
{
    TWinControl* control = TWinControl::FindControl(window);
    if (!control)
        return FALSE;
    control->ShowScrollBar(bar, show != FALSE);
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL)
{
    TWinControl* control = TWinControl::FindControl(window);
    if (!control)
        return FALSE;
    if (rect)
        control->InvalidateRect(TRect(*rect));
    else
        control->InvalidateRect(control->ClientRect());
    return TRUE;
}

void DrawClientEdge(HDC dc, RECT& rect, bool ctl3D)
{
    if (ctl3D)
    {
        DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        return;
    }
    HBRUSH frame = CreateSolidBrush(ColorToRGB(clWindowFrame));
    FrameRect(dc, &rect, frame);
    DeleteObject(frame);
    InflateRect(&rect, -1, -1);
}

void Frame3D(TCanvas* canvas, TRect& rect, TColor topColor, TColor bottomColor, int width)
{
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetStyle(psSolid);
    for (; width > 0; --width)
    {
        int right = rect.right - 1;
        int bottom = rect.bottom - 1;
        // Top and left in the top colour; the corners at top-right and bottom-left go to the bottom
        // colour's lines.
        canvas->Pen()->SetColor(topColor);
        canvas->MoveTo(rect.left, bottom);
        canvas->LineTo(rect.left, rect.top);
        canvas->LineTo(right, rect.top);
        canvas->Pen()->SetColor(bottomColor);
        canvas->LineTo(right, bottom);
        canvas->LineTo(rect.left - 1, bottom);
        rect = TRect(rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1);
    }
}

// ---- Docking ---------------------------------------------------------------------------------

bool TControl::Floating() const
{
    return dynamic_cast<TDockHostForm*>(m_parent) != nullptr;
}

bool TControl::Dragging() const
{
    return g_drag.control == this || g_objectDrag.control == this;
}

void TControl::BeginDrag(bool Immediate, int Threshold)
{
    if (m_dragKind == dkDock)
    {
        BeginDock(Immediate);
        return;
    }
    if (g_objectDrag.control || g_drag.control)
        return;
    TPoint cursor;
    if (TCustomForm* form = GetParentForm(this))
        cursor = form->LastMousePos();
    g_objectDrag = ObjectDrag{};
    g_objectDrag.control = this;
    g_objectDrag.start = cursor;
    g_objectDrag.threshold = Threshold < 0 ? Vcl::DragThreshold : Threshold;
    Vcl::SetCaptureControl(this);
    if (!Immediate)
        return;
    g_objectDrag.started = true;
    TDragObject* object = nullptr;
    DoStartDrag(object);
    if (g_objectDrag.control != this)
        return; // the handler ended it
    g_objectDrag.ownsObject = object == nullptr;
    g_objectDrag.object = object ? object : new TDragControlObject(this);
    g_objectDrag.object->DragPos = cursor;
    // The control under the pointer hears of the drag at once.
    TrackDragTarget(cursor);
    if (g_objectDrag.control != this)
        return;
    ShowDragCursor(this);
}

void TControl::BeginDock(bool immediately)
{
    if (g_drag.control || g_objectDrag.control)
        return;
    TPoint cursor;
    if (TCustomForm* form = GetParentForm(this))
        cursor = form->LastMousePos();
    DockDrag previous = g_drag;
    g_drag = DockDrag{};
    DockSourceRelease{previous};
    g_drag.control = this;
    g_drag.start = cursor;
    g_drag.source = new TDragDockObject(this);
    TPoint window = ClientToScreen(TPoint(0, 0));
    TPoint offset = ClientOffset();
    g_drag.source->DragOffset = TPoint(cursor.x - window.x + offset.x, cursor.y - window.y + offset.y);
    g_drag.started = immediately;
    Vcl::SetCaptureControl(this);
}

bool TControl::HandleDrag(UINT message, int x, int y)
{
    if (HandleObjectDrag(message, x, y))
        return true;
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)
    {
        if (m_dragMode == dmAutomatic && m_dragKind == dkDock && !ComponentState().Contains(csDesigning) &&
            !g_drag.control)
            BeginDrag(false);
        return false;
    }
    if (g_drag.control != this || (message != WM_MOUSEMOVE && message != WM_LBUTTONUP))
        return false;
    TPoint screen = ClientToScreen(TPoint(x, y));
    TDragDockObject* source = g_drag.source;
    if (!g_drag.started)
    {
        bool far = std::abs(screen.x - g_drag.start.x) >= Vcl::DragThreshold ||
                   std::abs(screen.y - g_drag.start.y) >= Vcl::DragThreshold;
        if (message == WM_LBUTTONUP || !far)
        {
            if (message == WM_LBUTTONUP)
            {
                DockDrag drag = g_drag;
                g_drag = DockDrag{};
                DockSourceRelease release{drag};
            }
            return false;
        }
        g_drag.started = true;
        TDragDockObject* given = nullptr;
        DoStartDock(given);
        if (g_drag.control != this)
        {
            // The handler ended the drag (or the control); what it gave stays its own.
            return true;
        }
        if (given && given != g_drag.source)
        {
            given->DragOffset = g_drag.source->DragOffset;
            delete g_drag.source;
            g_drag.source = given;
            g_drag.ownsSource = false;
        }
        source = g_drag.source;
    }
    source->SetDockRect(TRect(screen.x - source->DragOffset.x, screen.y - source->DragOffset.y,
                              screen.x - source->DragOffset.x + m_width, screen.y - source->DragOffset.y + m_height));
    const TRect floatRect = source->DockRect();
    int sx = 0, sy = 0;
    TWinControl* site = Vcl::FindDockTarget(source, screen, sx, sy);
    source->SetDropOnControl(nullptr);
    source->SetDropAlign(alNone);
    if (site && site->m_dockManager)
    {
        // Beside the docked client under the pointer, or beside them all, on the nearest edge.
        TControl* on = site->m_dockManager->ControlAtPos(TPoint(sx, sy));
        source->SetDropOnControl(on);
        source->SetDropAlign(on ? on->GetDockEdge(on->ScreenToClient(screen)) : site->GetDockEdge(TPoint(sx, sy)));
    }
    if (site != g_drag.over && g_drag.over)
    {
        bool ignored = false;
        TPoint p = g_drag.over->ScreenToClient(screen);
        g_drag.over->DockOver(source, p.x, p.y, dsDragLeave, ignored);
    }
    bool accept = false;
    if (site)
        site->DockOver(source, sx, sy, site == g_drag.over ? dsDragMove : dsDragEnter, accept);
    g_drag.over = site;
    g_drag.accepted = site && accept;
    source->SetDragTarget(g_drag.accepted ? site : nullptr);
    if (!g_drag.accepted)
        source->SetDockRect(floatRect);
    if (message == WM_MOUSEMOVE)
    {
        if (TCustomForm* form = GetParentForm(this))
        {
            form->SetCursorShown(g_drag.accepted ? crDrag : crNoDrop);
            ShowDockFeedback(form, source->DockRect(), !g_drag.accepted);
        }
        return true;
    }
    // The drop.
    HideDockFeedback();
    DockDrag drag = g_drag;
    g_drag = DockDrag{};
    if (Vcl::CaptureControl() == this)
        Vcl::SetCaptureControl(nullptr);
    if (TCustomForm* form = GetParentForm(this))
        form->SetCursorShown(crDefault);
    DockSourceRelease release{drag};
    TWinControl* target = drag.accepted ? drag.over : nullptr;
    // The handlers on the way may free this control: DoEndDock is called only while it lives.
    g_endingSource = this;
    if (m_parent && !m_parent->DoUnDock(target, this))
        target = nullptr;
    else if (target)
        target->DockDrop(source, sx, sy);
    else if (auto* host = dynamic_cast<TDockHostForm*>(m_parent))
    {
        TRect rect = source->DockRect();
        host->SetBounds(rect.left, rect.top, host->Width(), host->Height());
    }
    else
        Vcl::FloatControl(this, source->DockRect());
    if (g_endingSource != this)
        return true;
    g_endingSource = nullptr;
    DoEndDock(target, target ? sx : screen.x, target ? sy : screen.y);
    return true;
}

void TControl::DoStartDock(TDragDockObject*& DragObject)
{
    OnStartDock(this, DragObject);
}

void TControl::DoEndDock(TObject* Target, int X, int Y)
{
    OnEndDock(this, Target, X, Y);
}

bool Vcl::DockFeedbackShown(TRect& rect, bool& thick)
{
    if (!g_feedback.form)
        return false;
    rect = g_feedback.rect;
    thick = g_feedback.thick;
    return true;
}

TAlign TControl::GetDockEdge(const TPoint& MousePos) const
{
    const int width = ClientWidth();
    const int height = ClientHeight();
    if (MousePos.x < 0)
        return alLeft;
    if (MousePos.x >= width)
        return alRight;
    if (MousePos.y < 0)
        return alTop;
    if (MousePos.y >= height)
        return alBottom;
    const int distances[] = {MousePos.x, width - MousePos.x, MousePos.y, height - MousePos.y};
    const TAlign edges[] = {alLeft, alRight, alTop, alBottom};
    size_t nearest = 0;
    for (size_t i = 1; i < 4; ++i)
    {
        if (distances[i] < distances[nearest])
            nearest = i;
    }
    return edges[nearest];
}

void TControl::ManualDock(TWinControl* site, const TRect& rect)
{
    if (!site)
    {
        Vcl::FloatControl(this, rect);
        return;
    }
    TDragDockObject source(this);
    TPoint zero = site->ClientToScreen(TPoint(0, 0));
    source.SetDockRect(rect.Offset(zero.x, zero.y));
    source.SetDragTarget(site);
    site->DockDrop(&source, rect.left, rect.top);
}

void TWinControl::DockOver(TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept)
{
    Accept = m_dockSite;
    if (m_dockManager && State != dsDragLeave)
    {
        TRect rect = Source->DockRect();
        m_dockManager->PositionDockRect(Source->Control(), Source->DropOnControl(), Source->DropAlign(), rect);
        Source->SetDockRect(rect);
    }
    OnDockOver(this, Source, X, Y, State, Accept);
}

void TWinControl::DockDrop(TDragDockObject* Source, int X, int Y)
{
    TControl* control = Source->Control();
    if (m_dockManager)
    {
        TDockTree* manager = m_dockManager;
        TControl* on = Source->DropOnControl();
        if (!manager->Holds(on))
            on = nullptr;
        // Onto itself in its own site nothing moves; elsewhere in the site it moves there.
        manager->BeginUpdate();
        control->SetParent(this);
        if (m_dockManager == manager)
        {
            manager->InsertControl(control, Source->DropAlign(), on);
            manager->EndUpdate();
        }
        OnDockDrop(this, Source, X, Y);
        return;
    }
    TRect rect = Source->DockRect();
    TPoint zero = ClientToScreen(TPoint(0, 0));
    // The parent first, then the place: a site that orders its children by place sees the move.
    control->SetParent(this);
    control->SetBounds(rect.left - zero.x, rect.top - zero.y, rect.Width(), rect.Height());
    OnDockDrop(this, Source, X, Y);
}

void TWinControl::SetDockSite(bool dockSite)
{
    if (dockSite == m_dockSite)
        return;
    m_dockSite = dockSite;
    UpdateDockManager();
}

void TWinControl::SetUseDockManager(bool use)
{
    if (use == m_useDockManager)
        return;
    m_useDockManager = use;
    UpdateDockManager();
}

void TWinControl::UpdateDockManager()
{
    const bool wanted = m_dockSite && m_useDockManager && !ComponentState().Contains(csDestroying);
    if (wanted == (m_dockManager != nullptr))
        return;
    if (!wanted)
    {
        // The clients stay where they stand.
        TDockTree* manager = m_dockManager;
        m_dockManager = nullptr;
        delete manager;
        Invalidate();
        return;
    }
    m_dockManager = CreateDockManager();
    Realign();
}

TDockTree* TWinControl::CreateDockManager()
{
    return new TDockTree(this);
}

void TWinControl::GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock)
{
    TPoint client = ClientToScreen(TPoint());
    TPoint offset = ClientOffset();
    InfluenceRect = TRect(client.x - offset.x - 10, client.y - offset.y - 10, client.x - offset.x + Width() + 10,
                          client.y - offset.y + Height() + 10);
    OnGetSiteInfo(this, Client, InfluenceRect, MousePos, CanDock);
}

bool TWinControl::DoUnDock(TWinControl* NewTarget, TControl* Client)
{
    bool allow = true;
    OnUnDock(this, Client, NewTarget, allow);
    return allow;
}

// ---- Dragging --------------------------------------------------------------------------------

namespace
{
// What DragOver and DragDrop see as the source: the control for the class library's own drag
// object, else the object.
TObject* DragSource(TDragObject* object)
{
    if (auto* control = dynamic_cast<TDragControlObject*>(object))
        return control->Control();
    return object;
}
} // namespace

TCursor TDragObject::GetDragCursor(bool Accepted, int, int)
{
    return Accepted ? crDrag : crNoDrop;
}

TCursor TDragControlObject::GetDragCursor(bool Accepted, int, int)
{
    return Accepted ? m_control->DragCursor() : crNoDrop;
}

void TControl::DoStartDrag(TDragObject*& DragObject)
{
    OnStartDrag(this, DragObject);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y)
{
    OnEndDrag(this, Target, X, Y);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept)
{
    Accept = static_cast<bool>(OnDragOver);
    OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y)
{
    OnDragDrop(this, Source, X, Y);
}

bool TControl::HandleObjectDrag(UINT message, int x, int y)
{
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)
    {
        if (m_dragMode == dmAutomatic && m_dragKind == dkDrag && !ComponentState().Contains(csDesigning) &&
            !g_objectDrag.control && !g_drag.control)
            BeginDrag(false);
        return false;
    }
    if (g_objectDrag.control != this || (message != WM_MOUSEMOVE && message != WM_LBUTTONUP))
        return false;
    TPoint screen = ClientToScreen(TPoint(x, y));
    if (!g_objectDrag.started)
    {
        bool far = std::abs(screen.x - g_objectDrag.start.x) >= g_objectDrag.threshold ||
                   std::abs(screen.y - g_objectDrag.start.y) >= g_objectDrag.threshold;
        if (message == WM_LBUTTONUP)
        {
            // Released before it became a drag: a plain click.
            g_objectDrag = ObjectDrag{};
            return false;
        }
        if (!far)
            return false;
        g_objectDrag.started = true;
        TDragObject* object = nullptr;
        DoStartDrag(object);
        if (g_objectDrag.control != this)
            return true;
        g_objectDrag.ownsObject = object == nullptr;
        g_objectDrag.object = object ? object : new TDragControlObject(this);
    }
    g_objectDrag.object->DragPos = screen;
    TrackDragTarget(screen);
    if (g_objectDrag.control != this)
        return true; // a handler ended the drag
    if (message == WM_MOUSEMOVE)
    {
        ShowDragCursor(this);
        return true;
    }
    FinishObjectDrag(true);
    return true;
}

void TControl::TrackDragTarget(const TPoint& screen)
{
    TControl* target = FindDragTarget(screen, false);
    TObject* source = DragSource(g_objectDrag.object);
    if (g_objectDrag.over && target != g_objectDrag.over)
    {
        TControl* left = g_objectDrag.over;
        g_objectDrag.over = nullptr;
        g_objectDrag.accepted = false;
        TPoint p = left->ScreenToClient(screen);
        bool ignored = false;
        left->DragOver(source, p.x, p.y, dsDragLeave, ignored);
        if (g_objectDrag.control != this)
            return;
        // The handler may have freed the control under the pointer.
        target = FindDragTarget(screen, false);
    }
    bool entering = target != g_objectDrag.over;
    g_objectDrag.over = target;
    g_objectDrag.object->m_target = target;
    bool accept = false;
    if (target)
    {
        g_objectDrag.overPos = target->ScreenToClient(screen);
        target->DragOver(source, g_objectDrag.overPos.x, g_objectDrag.overPos.y, entering ? dsDragEnter : dsDragMove,
                         accept);
    }
    if (g_objectDrag.control == this)
        g_objectDrag.accepted = g_objectDrag.over && accept;
}

void TControl::FinishObjectDrag(bool drop)
{
    ObjectDrag drag = g_objectDrag;
    g_objectDrag = ObjectDrag{};
    if (Vcl::CaptureControl() == this)
        Vcl::SetCaptureControl(nullptr);
    if (TCustomForm* form = GetParentForm(this))
        form->SetCursorShown(crDefault);
    if (!drag.started)
        return;
    struct Free
    {
        TDragObject* object;
        bool owned;
        ~Free()
        {
            if (owned)
                delete object;
        }
    } release{drag.object, drag.ownsObject};
    TObject* source = DragSource(drag.object);
    g_endingSource = this;
    TControl* target = nullptr;
    if (drop && drag.accepted && drag.over)
    {
        target = drag.over;
        drag.object->Dropped = true;
        target->DragDrop(source, drag.overPos.x, drag.overPos.y);
    }
    else
    {
        drag.object->Cancelling = !drop;
        if (drag.over)
        {
            bool ignored = false;
            drag.over->DragOver(source, drag.overPos.x, drag.overPos.y, dsDragLeave, ignored);
        }
    }
    // The drop's handler may have freed the source.
    if (g_endingSource != this)
        return;
    g_endingSource = nullptr;
    if (target)
        DoEndDrag(target, drag.overPos.x, drag.overPos.y);
    else
        DoEndDrag(nullptr, 0, 0);
}

void TControl::EndDrag(bool Drop)
{
    if (g_objectDrag.control == this)
        FinishObjectDrag(Drop);
}

void CancelDrag()
{
    if (TControl* source = g_objectDrag.control)
        source->EndDrag(false);
    if (!g_drag.control)
        return;
    // A docking drag ends where it started: the site it was over hears the pointer leave, nothing
    // is docked or floated.
    DockDrag drag = g_drag;
    g_drag = DockDrag{};
    HideDockFeedback();
    if (Vcl::CaptureControl() == drag.control)
        Vcl::SetCaptureControl(nullptr);
    TPoint screen = drag.start;
    if (TCustomForm* form = GetParentForm(drag.control))
    {
        form->UpdateCursor(); // back to what lies under the pointer
        screen = form->LastMousePos();
    }
    DockSourceRelease release{drag};
    if (!drag.started)
        return;
    // The site's handler may free the control: it hears DoEndDock only while it lives.
    g_endingSource = drag.control;
    if (drag.over)
    {
        bool ignored = false;
        TPoint p = drag.over->ScreenToClient(screen);
        drag.over->DockOver(drag.source, p.x, p.y, dsDragLeave, ignored);
    }
    if (g_endingSource != drag.control)
        return;
    g_endingSource = nullptr;
    drag.control->DoEndDock(nullptr, screen.x, screen.y);
}

TDragObject* DragObject()
{
    return g_objectDrag.started ? g_objectDrag.object : nullptr;
}

bool DockDragging()
{
    return g_drag.control && g_drag.started;
}

// ---- Hints -----------------------------------------------------------------------------------

bool TControl::ShowHint() const
{
    for (const TControl* c = this; c; c = c->m_parent)
    {
        if (!c->m_parentShowHint)
            return c->m_showHint;
    }
    return false;
}

void TControl::SetShowHint(bool show)
{
    m_showHint = show;
    m_parentShowHint = false;
}

UnicodeString GetShortHint(const UnicodeString& hint)
{
    const size_t bar = hint.str().find(u'|');
    return bar == std::u16string::npos ? hint : UnicodeString(hint.c_str(), bar);
}

UnicodeString GetLongHint(const UnicodeString& hint)
{
    const size_t bar = hint.str().find(u'|');
    return bar == std::u16string::npos ? hint : UnicodeString(hint.c_str() + bar + 1, hint.str().size() - bar - 1);
}

void TControl::SetHint(const UnicodeString& hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    if (hint.IsEmpty() && Application && Application->HintControl() == this)
        Application->CancelHint();
}
