#include "Platform/Vcl/DesktopPresenter.h"

#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/DesktopTransfers.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/X11/X11Pointer.h"
#include "Platform/X11/X11Presenter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>

namespace
{
// Posted to the presenter's own window: the window of form wParam (its handle) now has the client
// size in lParam.
constexpr UINT CM_WINDOWRESIZED = CM_BASE + 0x100;
// Posted to the presenter's own window: the window of form wParam now stands at the screen point
// in lParam (moved by the window manager or the user).
constexpr UINT CM_WINDOWMOVED = CM_BASE + 0x101;

constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

bool FixedSize(TFormBorderStyle style)
{
    return style != bsSizeable && style != bsSizeToolWin;
}

// The form whose handle this is, if it still exists.
TCustomForm* FormOfHandle(HWND handle)
{
    for (int i = 0; i < Screen->FormCount(); ++i)
    {
        if (Screen->Forms(i)->Handle() == handle)
            return Screen->Forms(i);
    }
    return nullptr;
}

// The innermost modal form showing, if any; an open menu counts only when `menus` says so.
TCustomForm* TopModalForm(bool menus)
{
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (form->Modal() && form->Visible() && (menus || !dynamic_cast<TPopupMenuWindow*>(form)))
            return form;
    }
    return nullptr;
}

class DesktopPresenter : public Vcl::IFormPresenter
{
public:
    DesktopPresenter()
    {
        m_receiver = Platform::RegisterWindowReceiver(
            [this](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT
            {
                TCustomForm* form = FormOfHandle(reinterpret_cast<HWND>(wParam));
                if (message == CM_WINDOWMOVED)
                {
                    auto it = m_windows.find(form);
                    if (form && it != m_windows.end())
                        Place(form, it->second, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
                    return 0;
                }
                if (message != CM_WINDOWRESIZED)
                    return 0;
                int width = LOWORD(static_cast<uintptr_t>(lParam));
                int height = HIWORD(static_cast<uintptr_t>(lParam));
                if (form && (form->ClientWidth() != width || form->ClientHeight() != height))
                    form->SetBounds(form->Left(), form->Top(), width, height);
                return 0;
            });
    }
    ~DesktopPresenter() override
    {
        X11::HideDragFrame();
        Platform::UnregisterWindowReceiver(m_receiver);
    }

    void FormShown(TCustomForm* form) override
    {
        Entry& entry = EntryOf(form);
        entry.window->SetTitle(form->Caption().str());
        SyncSize(form, entry);
        SyncStyle(form, entry);
        SyncRole(form, entry);
        X11::SetWindowCursor(entry.window->NativeId(), ShapeOf(form->CursorShown()));
        entry.window->Show();
    }

    void FormCursorChanged(TCustomForm* form, TCursor cursor) override
    {
        auto it = m_windows.find(form);
        if (it != m_windows.end())
            X11::SetWindowCursor(it->second.window->NativeId(), ShapeOf(cursor));
    }

    // The frame is placed on the screen relative to the form's window, wherever the window stands.
    void DockFeedback(TCustomForm* form, const TRect* rect, bool thick) override
    {
        auto it = m_windows.find(form);
        int x = 0, y = 0;
        if (!rect || it == m_windows.end() || !X11::WindowRootOrigin(it->second.window->NativeId(), x, y))
        {
            X11::HideDragFrame();
            return;
        }
        X11::ShowDragFrame(rect->left - form->Left() + x, rect->top - form->Top() + y, rect->Width(), rect->Height(),
                           thick ? 4 : 1);
    }

    void FormHidden(TCustomForm* form) override
    {
        auto it = m_windows.find(form);
        if (it == m_windows.end())
            return;
        bool hadFocus = it->second.focused;
        it->second.window->Hide();
        // A window that never takes keys (a hint) leaves the keyboard as it is.
        if (it->second.passive && !it->second.holdsInput)
            return;
        // A key held while the window goes (a box closed by Enter) is released elsewhere, if at all.
        Platform::ResetKeyStates();
        // Without a window manager nobody hands the focus back: give it to the form now active.
        if (!hadFocus)
            return;
        // The last shown form still visible takes over, as the forms decide too.
        for (int i = Screen->FormCount() - 1; i >= 0; --i)
        {
            TCustomForm* next = Screen->Forms(i);
            if (next == form || !next->Visible())
                continue;
            auto entry = m_windows.find(next);
            if (entry != m_windows.end())
                entry->second.window->Focus();
            return;
        }
    }

    void FormChanged(TCustomForm* form) override
    {
        auto it = m_windows.find(form);
        if (it == m_windows.end())
            return;
        it->second.window->SetTitle(form->Caption().str());
        SyncSize(form, it->second);
        SyncStyle(form, it->second);
    }

    void FormPainted(TCustomForm* form, const TRect& rect) override
    {
        auto it = m_windows.find(form);
        if (it == m_windows.end() || !form->Visible())
            return;
        int w = form->ClientWidth();
        int h = form->ClientHeight();
        it->second.window->Present(form->Pixels(), w, h, w, rect.left, rect.top, rect.Width(), rect.Height());
    }

    void FormDestroyed(TCustomForm* form) override
    {
        if (m_windows.erase(form) > 0)
            Platform::ResetKeyStates();
    }

    unsigned long NativeWindowOf(const TCustomForm* form) const
    {
        auto it = m_windows.find(const_cast<TCustomForm*>(form));
        return it == m_windows.end() ? 0 : it->second.window->NativeId();
    }

private:
    struct Entry
    {
        std::unique_ptr<X11::Window> window;
        int width = 0; // the window's client size as last set or reported
        int height = 0;
        bool fixed = false;
        bool focused = false;
        bool popup = false; // shown without decorations at the form's position
        int left = INT32_MIN; // where the window was last placed
        int top = INT32_MIN;
        bool above = false; // in the top-most band
        int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0; // the size limits given
        bool passive = false; // takes no focus when shown or clicked
        bool holdsInput = false; // a menu: the pointer and the keyboard are its while it shows
        // Double-click detection.
        int lastButton = 0;
        DWORD lastTime = 0;
        int lastX = 0;
        int lastY = 0;
        bool lastWasDouble = false;
    };

    Entry& EntryOf(TCustomForm* form)
    {
        auto it = m_windows.find(form);
        if (it != m_windows.end())
            return it->second;
        Entry& entry = m_windows[form];
        entry.width = std::max(form->ClientWidth(), 1);
        entry.height = std::max(form->ClientHeight(), 1);
        entry.fixed = FixedSize(form->BorderStyle());
        HWND handle = form->Handle();
        // The handler runs inside the display's event dispatch: it only queues messages and shows
        // pixels, so no form code runs there (a handler may free its form or open a modal loop).
        entry.window = std::make_unique<X11::Window>(
            form->Caption().str(), entry.width, entry.height, entry.fixed,
            [this, form, handle](const X11::Event& e) { OnEvent(form, handle, e); });
        return entry;
    }

    void SyncSize(TCustomForm* form, Entry& entry)
    {
        const TSizeConstraints* limits = form->Constraints();
        const int minW = limits->MinWidth(), minH = limits->MinHeight();
        const int maxW = limits->MaxWidth(), maxH = limits->MaxHeight();
        if (minW != entry.minWidth || minH != entry.minHeight || maxW != entry.maxWidth || maxH != entry.maxHeight)
        {
            entry.minWidth = minW;
            entry.minHeight = minH;
            entry.maxWidth = maxW;
            entry.maxHeight = maxH;
            entry.window->SetSizeLimits(minW, minH, maxW, maxH);
        }
        int w = std::max(form->ClientWidth(), 1);
        int h = std::max(form->ClientHeight(), 1);
        bool fixed = FixedSize(form->BorderStyle());
        if (w == entry.width && h == entry.height && fixed == entry.fixed)
            return;
        entry.width = w;
        entry.height = h;
        entry.fixed = fixed;
        entry.window->SetClientSize(w, h, fixed);
    }

    // A popup window has no decorations and stands where the form says; the top-most band keeps it
    // above others. Leaving the popup style brings the decorations back and leaves the place.
    void SyncStyle(TCustomForm* form, Entry& entry)
    {
        bool popup = (form->WindowStyle() & WS_POPUP) != 0;
        bool above = (form->WindowExStyle() & WS_EX_TOPMOST) != 0;
        if (popup != entry.popup)
            entry.window->SetDecorated(!popup);
        // The form's Left and Top are its place on the screen, as the platform keeps them, so
        // that windows placed by screen points (hints, lists, menus) land where they are meant to.
        if (popup || form->Left() != entry.left || form->Top() != entry.top)
            entry.window->Move(form->Left(), form->Top());
        entry.left = form->Left();
        entry.top = form->Top();
        if (above != entry.above)
            entry.window->SetAbove(above);
        bool passive = (form->WindowExStyle() & WS_EX_NOACTIVATE) != 0;
        if (passive != entry.passive)
            entry.window->SetActivates(!passive);
        entry.popup = popup;
        entry.above = above;
        entry.passive = passive;
    }

    // What the form's window is to a window manager. A modal form stands over the form that was
    // active when it showed, an owned form over its owner; a popup with neither over the window
    // that has the keyboard. Popups are typed by what they are, the other owned or modal forms
    // are dialogs.
    void SyncRole(TCustomForm* form, Entry& entry)
    {
        TCustomForm* owner = form->PopupParent();
        if (!owner)
            owner = dynamic_cast<TCustomForm*>(form->Owner());
        auto ownerEntry = owner ? m_windows.find(owner) : m_windows.end();
        if (ownerEntry == m_windows.end() && entry.popup)
        {
            ownerEntry = std::find_if(m_windows.begin(), m_windows.end(),
                                      [form](const auto& item) { return item.first != form && item.second.focused; });
        }
        const unsigned long ownerWindow =
            ownerEntry != m_windows.end() && ownerEntry->first != form ? ownerEntry->second.window->NativeId() : 0;
        X11::WindowType type = ownerWindow != 0 || form->Modal() ? X11::WindowType::Dialog : X11::WindowType::Normal;
        if (dynamic_cast<THintWindow*>(form))
            type = X11::WindowType::Tooltip;
        else if (dynamic_cast<TPopupMenuWindow*>(form))
            type = X11::WindowType::PopupMenu;
        else if (dynamic_cast<TComboListForm*>(form))
            type = X11::WindowType::Combo;
        entry.holdsInput = type == X11::WindowType::PopupMenu;
        entry.window->SetRole(type, ownerWindow, form->Modal() && !entry.popup);
    }

    // The modal form standing over `form`, if any (every other form lies under it): it takes the
    // keyboard and comes to the front whenever `form` is clicked, activated or asked to close.
    static TCustomForm* ModalOver(TCustomForm* form, bool menus = true)
    {
        TCustomForm* modal = TopModalForm(menus);
        return modal && modal != form ? modal : nullptr;
    }

    void BringForward(TCustomForm* modal)
    {
        auto top = m_windows.find(modal);
        if (top == m_windows.end())
            return;
        // A menu goes with the click and holds the keyboard without the focus; a dialog stays
        // and comes to the front.
        if (!top->second.popup)
            top->second.window->Raise();
        if (!top->second.focused && !top->second.passive)
            top->second.window->Focus();
    }

    // A window the window manager placed (not a popup, which stands where its form says): the
    // form's place follows the window's, so that screen points (a context menu's) are right.
    void SyncPosition(TCustomForm* form, Entry& entry)
    {
        int x = 0, y = 0;
        if (entry.popup || !entry.window->ScreenPosition(x, y))
            return;
        Place(form, entry, x, y);
    }

    // The form takes the place its window has; the window is where it is, so it is not moved again
    // (under a window manager that would shift it by its frame).
    static void Place(TCustomForm* form, Entry& entry, int x, int y)
    {
        if (entry.popup || (x == form->Left() && y == form->Top()))
            return;
        entry.left = x;
        entry.top = y;
        form->SetBounds(x, y, form->Width(), form->Height());
    }

    static X11::PointerShape ShapeOf(TCursor cursor)
    {
        switch (cursor)
        {
        case crNone: return X11::PointerShape::Hidden;
        case crCross: return X11::PointerShape::Cross;
        case crIBeam: return X11::PointerShape::IBeam;
        case crSizeNESW: return X11::PointerShape::SizeNESW;
        case crSizeNS: return X11::PointerShape::SizeNS;
        case crSizeNWSE: return X11::PointerShape::SizeNWSE;
        case crSizeWE: return X11::PointerShape::SizeWE;
        case crUpArrow: return X11::PointerShape::UpArrow;
        case crHourGlass: return X11::PointerShape::Wait;
        case crDrag:
        case crMultiDrag: return X11::PointerShape::Drag;
        case crNoDrop: return X11::PointerShape::NoDrop;
        case crNo: return X11::PointerShape::No;
        case crHSplit: return X11::PointerShape::HSplit;
        case crVSplit: return X11::PointerShape::VSplit;
        case crHandPoint: return X11::PointerShape::Hand;
        case crSizeAll: return X11::PointerShape::SizeAll;
        default: return X11::PointerShape::Arrow;
        }
    }

    static WPARAM MouseKeys(unsigned modifiers)
    {
        WPARAM keys = 0;
        if (modifiers & X11::ModShift)
            keys |= MK_SHIFT;
        if (modifiers & X11::ModControl)
            keys |= MK_CONTROL;
        if (modifiers & X11::ModLeftButton)
            keys |= MK_LBUTTON;
        if (modifiers & X11::ModRightButton)
            keys |= MK_RBUTTON;
        if (modifiers & X11::ModMiddleButton)
            keys |= MK_MBUTTON;
        return keys;
    }

    static WPARAM ButtonKey(int button)
    {
        return button == 1 ? MK_LBUTTON : button == 3 ? MK_RBUTTON : MK_MBUTTON;
    }

    static int ButtonVirtualKey(int button)
    {
        return button == 1 ? VK_LBUTTON : button == 3 ? VK_RBUTTON : VK_MBUTTON;
    }

    void OnEvent(TCustomForm* form, HWND handle, const X11::Event& e)
    {
        auto it = m_windows.find(form);
        if (it == m_windows.end())
            return;
        Entry& entry = it->second;
        switch (e.kind)
        {
        case X11::EventKind::Paint:
            // The pixels are there already: show them at once, without a paint pass.
            if (form->ClientWidth() > 0 && form->ClientHeight() > 0)
                entry.window->Present(form->Pixels(), form->ClientWidth(), form->ClientHeight(),
                                      form->ClientWidth(), e.x, e.y, e.width, e.height);
            break;
        case X11::EventKind::MouseDown:
        case X11::EventKind::MouseUp:
        {
            bool down = e.kind == X11::EventKind::MouseDown;
            SyncPosition(form, entry);
            // The state the server reports is from before the event.
            WPARAM keys = MouseKeys(e.modifiers);
            keys = down ? keys | ButtonKey(e.button) : keys & ~ButtonKey(e.button);
            Platform::SetKeyDown(ButtonVirtualKey(e.button), down);
            UINT base = e.button == 1 ? WM_LBUTTONDOWN : e.button == 3 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
            UINT message = down ? base : base + 1;
            if (down)
            {
                // A click focuses its window, unless a modal form is up: that one keeps the keyboard
                // and stands in front.
                if (TCustomForm* modal = ModalOver(form))
                    BringForward(modal);
                else if (!entry.focused && !entry.passive)
                    entry.window->Focus();
                DWORD now = GetTickCount();
                bool twice = !entry.lastWasDouble && entry.lastButton == e.button &&
                             now - entry.lastTime <= GetDoubleClickTime() &&
                             std::abs(e.x - entry.lastX) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                             std::abs(e.y - entry.lastY) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
                if (twice)
                    message = base + 2; // the DBLCLK message
                entry.lastWasDouble = twice;
                entry.lastButton = e.button;
                entry.lastTime = now;
                entry.lastX = e.x;
                entry.lastY = e.y;
            }
            PostMessageW(handle, message, keys, MAKELPARAM(e.x, e.y));
            break;
        }
        case X11::EventKind::MouseMove:
            PostMessageW(handle, WM_MOUSEMOVE, MouseKeys(e.modifiers), MAKELPARAM(e.x, e.y));
            break;
        case X11::EventKind::MouseLeave:
            PostMessageW(handle, WM_MOUSELEAVE, 0, 0);
            break;
        case X11::EventKind::MouseWheel:
        {
            WPARAM keys = MouseKeys(e.modifiers);
            auto delta = static_cast<WORD>(static_cast<SHORT>(e.wheel * 120));
            PostMessageW(handle, WM_MOUSEWHEEL, (static_cast<WPARAM>(delta) << 16) | keys,
                         MAKELPARAM(e.x, e.y));
            break;
        }
        case X11::EventKind::KeyDown:
        case X11::EventKind::KeyUp:
        {
            bool down = e.kind == X11::EventKind::KeyDown;
            bool system = (e.modifiers & X11::ModAlt) || e.virtualKey == VK_MENU;
            if (e.modifiers & X11::ModControl)
                system = false; // AltGr and Ctrl+Alt are plain keys
            UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
            // Repeat count 1; bit 30 the previous state, bit 31 the transition.
            LPARAM flags = 1;
            if (!down)
                flags |= static_cast<LPARAM>(3) << 30;
            else if (e.repeat)
                flags |= static_cast<LPARAM>(1) << 30;
            PostMessageW(handle, message, e.virtualKey, flags);
            // Alt+F4 closes the window, as the system menu would.
            if (down && !e.repeat && e.virtualKey == VK_F4 && (e.modifiers & X11::ModAlt) &&
                !(e.modifiers & (X11::ModControl | X11::ModShift)))
                CloseRequested(form, handle);
            break;
        }
        case X11::EventKind::Char:
        {
            bool system = (e.modifiers & X11::ModAlt) && !(e.modifiers & X11::ModControl);
            PostMessageW(handle, system ? WM_SYSCHAR : WM_CHAR, e.character, 1);
            break;
        }
        case X11::EventKind::GotFocus:
            entry.focused = true;
            PostMessageW(handle, WM_ACTIVATE, WA_ACTIVE, 0);
            // A window manager activated a window under a modal one (the pointer went there, or
            // the user chose it): the modal one takes over, as the disabled owner cannot.
            if (TCustomForm* modal = ModalOver(form); modal && !entry.passive)
            {
                auto top = m_windows.find(modal);
                if (top != m_windows.end() && !top->second.popup)
                    BringForward(modal);
            }
            break;
        case X11::EventKind::LostFocus:
            entry.focused = false;
            // Keys released elsewhere never come back to us.
            Platform::ResetKeyStates();
            PostMessageW(handle, WM_ACTIVATE, WA_INACTIVE, 0);
            break;
        case X11::EventKind::Resize:
        {
            // A move comes as the same notice: the form's place follows at once, not only at the
            // next click, so that screen points (hints, drops, menus) are right meanwhile.
            int x = 0, y = 0;
            if (!entry.popup && entry.window->ScreenPosition(x, y) && (x != form->Left() || y != form->Top()))
                PostMessageW(m_receiver, CM_WINDOWMOVED, reinterpret_cast<WPARAM>(handle), MAKELPARAM(x, y));
            if (e.width > 0 && e.height > 0 && (e.width != entry.width || e.height != entry.height))
            {
                entry.width = e.width;
                entry.height = e.height;
                PostMessageW(m_receiver, CM_WINDOWRESIZED, reinterpret_cast<WPARAM>(handle),
                             MAKELPARAM(e.width, e.height));
            }
            break;
        }
        case X11::EventKind::Close:
            CloseRequested(form, handle);
            break;
        }
    }

    // A form under a modal one cannot be closed (its owner is disabled meanwhile): the modal one
    // comes to the front instead. An open menu is no such form: it closes, as at a click
    // elsewhere, and the close goes on to the form once the menu has gone.
    void CloseRequested(TCustomForm* form, HWND handle)
    {
        if (TCustomForm* menu = ModalOver(form); dynamic_cast<TPopupMenuWindow*>(menu))
            PostMessageW(menu->Handle(), WM_CANCELMODE, 0, 0);
        if (TCustomForm* modal = ModalOver(form, false))
        {
            BringForward(modal);
            return;
        }
        PostMessageW(handle, WM_CLOSE, 0, 0);
    }

    std::map<TCustomForm*, Entry> m_windows;
    HWND m_receiver = nullptr;
};

struct Installation
{
    std::unique_ptr<DesktopPresenter> presenter;
    Vcl::IFormPresenter* previousPresenter = nullptr;
    Platform::EventPump previousPump;
    Platform::MessageBoxHandler previousBoxes;
    int previousScreenWidth = 0;
    int previousScreenHeight = 0;
};

// Never destroyed: the application frees the forms it still owns in the exit handlers, and each
// of them tells the presenter, which must then still stand (and so its windows' connection).
Installation& TheInstallation()
{
    static Installation& installation = *new Installation;
    return installation;
}

// The queue's wait: on the display's connection, a while at most, so that messages posted from
// other threads are not left waiting long.
void PumpEvents(DWORD wait)
{
    if (wait != 0)
        X11::WaitForEvents(wait == Platform::INFINITE_WAIT ? 100
                                                           : static_cast<int>(std::min<DWORD>(wait, 100)));
    X11::ProcessEvents();
}
} // namespace

namespace Vcl
{
bool InstallDesktopPresenter()
{
    Installation& installation = TheInstallation();
    if (installation.presenter)
        return true;
    if (!X11::DisplayAvailable())
        return false;
    installation.presenter = std::make_unique<DesktopPresenter>();
    installation.previousPresenter = SetFormPresenter(installation.presenter.get());
    installation.previousPump = Platform::SetEventPump(PumpEvents);
    installation.previousBoxes = Platform::SetMessageBoxHandler(
        [](HWND owner, const std::u16string& text, const std::u16string& caption, UINT type)
        {
            // Without the display a box could never be answered: it goes as it would headless.
            Platform::MessageBoxHandler& headless = TheInstallation().previousBoxes;
            if (X11::DisplayLost() && headless)
                return headless(owner, text, caption, type);
            return MessageBoxForm(UnicodeString(text), UnicodeString(caption), type);
        });
    InstallDesktopTransfers();
    installation.previousScreenWidth = Screen->Width;
    installation.previousScreenHeight = Screen->Height;
    int width = 0;
    int height = 0;
    if (X11::ScreenSize(width, height))
    {
        Screen->Width = width;
        Screen->Height = height;
        Platform::Gdi::SetScreenSize(width, height);
        Platform::SetScreenMetrics(width, height);
    }
    return true;
}

void RemoveDesktopPresenter()
{
    Installation& installation = TheInstallation();
    if (!installation.presenter)
        return;
    SetFormPresenter(installation.previousPresenter);
    Platform::SetEventPump(installation.previousPump);
    Platform::SetMessageBoxHandler(installation.previousBoxes);
    RemoveDesktopTransfers();
    Screen->Width = installation.previousScreenWidth;
    Screen->Height = installation.previousScreenHeight;
    Platform::Gdi::SetScreenSize(Screen->Width, Screen->Height);
    Platform::SetScreenMetrics(Screen->Width, Screen->Height);
    installation.presenter.reset();
    X11::Flush();
    // Nothing of ours is on the display any more: the connection goes too, so that a presenter
    // installed later talks to the display of its own time.
    X11::CloseDisplay();
}

bool DesktopPresenterInstalled()
{
    return TheInstallation().presenter != nullptr;
}

unsigned long NativeWindowOf(const TCustomForm* form)
{
    const Installation& installation = TheInstallation();
    return installation.presenter ? installation.presenter->NativeWindowOf(form) : 0;
}
} // namespace Vcl
