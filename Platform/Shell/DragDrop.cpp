// Drag and drop: the registry of drop targets and the drag loop.
#include "Platform/Shell/Ole.h"

#include <map>
#include <set>

namespace
{
std::map<HWND, IDropTarget*>& Targets()
{
    static std::map<HWND, IDropTarget*> targets;
    return targets;
}

Platform::DragDropWindows& Windows()
{
    static Platform::DragDropWindows windows;
    return windows;
}

Platform::ExternalDrag& External()
{
    static Platform::ExternalDrag drag;
    return drag;
}

bool g_dragRunning = false;

class TargetTracker;

// Every drag under way, ours and other programs': a window that goes away is taken from each.
std::set<TargetTracker*>& Trackers()
{
    static std::set<TargetTracker*> trackers;
    return trackers;
}

DWORD KeyStateNow()
{
    DWORD state = 0;
    if (GetKeyState(VK_LBUTTON) < 0)
        state |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0)
        state |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) < 0)
        state |= MK_MBUTTON;
    if (GetKeyState(VK_SHIFT) < 0)
        state |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0)
        state |= MK_CONTROL;
    return state;
}

// The registered window at or above the one under the point.
HWND TargetWindowAt(POINT screen)
{
    Platform::DragDropWindows& windows = Windows();
    if (!windows.WindowAt)
        return nullptr;
    HWND window = windows.WindowAt(screen);
    for (int depth = 0; window && depth < 256; ++depth)
    {
        if (Targets().count(window))
            return window;
        window = windows.ParentOf ? windows.ParentOf(window) : nullptr;
    }
    return nullptr;
}

bool IsMouseMessage(UINT message)
{
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
}

bool IsKeyMessage(UINT message)
{
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}
} // namespace

HRESULT RegisterDragDrop(HWND window, IDropTarget* target)
{
    if (!target)
        return E_INVALIDARG;
    if (!window || !IsWindow(window))
        return DRAGDROP_E_INVALIDHWND;
    auto& targets = Targets();
    if (targets.count(window))
        return DRAGDROP_E_ALREADYREGISTERED;
    target->AddRef();
    targets[window] = target;
    return S_OK;
}

namespace
{
void ForgetWindow(HWND window);
}

HRESULT RevokeDragDrop(HWND window)
{
    auto& targets = Targets();
    auto it = targets.find(window);
    if (it == targets.end())
        return DRAGDROP_E_NOTREGISTERED;
    IDropTarget* target = it->second;
    targets.erase(it);
    // A drag over the window leaves it while its target still stands behind it.
    ForgetWindow(window);
    target->Release();
    return S_OK;
}

namespace Platform
{
DragDropWindows SetDragDropWindows(DragDropWindows windows)
{
    DragDropWindows previous = std::move(Windows());
    Windows() = std::move(windows);
    return previous;
}

ExternalDrag SetExternalDrag(ExternalDrag drag)
{
    ExternalDrag previous = std::move(External());
    External() = std::move(drag);
    return previous;
}

bool DragLoopRunning()
{
    return g_dragRunning;
}
} // namespace Platform

namespace
{
// The drop target under the pointer during one drag, ours or another program's: which window it
// is, what it would take, and the windows that refused the drag.
class TargetTracker
{
public:
    TargetTracker() { Trackers().insert(this); }
    ~TargetTracker() { Trackers().erase(this); }
    TargetTracker(const TargetTracker&) = delete;
    TargetTracker& operator=(const TargetTracker&) = delete;

    // The pointer is at `point`; answers the effect the target there would take.
    DWORD Track(IDataObject* data, POINT point, DWORD keyState, DWORD okEffects)
    {
        HWND window = TargetWindowAt(point);
        if (window && m_refused.count(window))
            window = nullptr;
        if (window != m_window)
        {
            Leave();
            if (window)
                Enter(window, data, point, keyState, okEffects);
            // The target just entered hears the point as a move too: a target shows where a drop
            // would go only on a move, and the pointer may rest where it came in.
            if (m_target)
                Over(point, keyState, okEffects);
        }
        else if (m_target)
            Over(point, keyState, okEffects);
        return m_effect;
    }

    // The pointer stayed; the keys may have changed.
    DWORD Again(POINT point, DWORD keyState, DWORD okEffects)
    {
        if (m_target)
            Over(point, keyState, okEffects);
        return m_effect;
    }

    bool OverTarget() const { return m_target != nullptr; }
    HWND Window() const { return m_window; }

    void Leave()
    {
        if (m_target)
        {
            m_target->DragLeave();
            m_target->Release();
            m_target = nullptr;
        }
        m_window = nullptr;
        m_effect = DROPEFFECT_NONE;
    }

    // The drop on the target under the pointer; the effect it took (DROPEFFECT_NONE: none).
    DWORD Drop(IDataObject* data, POINT point, DWORD keyState, DWORD okEffects)
    {
        if (!m_target)
            return DROPEFFECT_NONE;
        DWORD dropped = m_effect;
        IDropTarget* target = m_target;
        m_target = nullptr;
        m_window = nullptr;
        m_effect = DROPEFFECT_NONE;
        HRESULT hr = target->Drop(data, keyState, POINTL{point.x, point.y}, &dropped);
        target->Release();
        return SUCCEEDED(hr) ? dropped & okEffects : DROPEFFECT_NONE;
    }

    // A new drag: the windows that refused the last one may take this one.
    void Reset()
    {
        Leave();
        m_refused.clear();
    }

    // The window is no drop target any more: the drag leaves it, and its handle may come again.
    void Forget(HWND window)
    {
        if (window == m_window)
            Leave();
        m_refused.erase(window);
    }

private:
    void Enter(HWND window, IDataObject* data, POINT point, DWORD keyState, DWORD okEffects)
    {
        IDropTarget* target = Targets()[window];
        DWORD effect = okEffects;
        HRESULT hr = target->DragEnter(data, keyState, POINTL{point.x, point.y}, &effect);
        if (hr == DRAGDROP_S_CANCEL || FAILED(hr))
        {
            // No target for this drag.
            m_refused.insert(window);
            m_effect = DROPEFFECT_NONE;
            return;
        }
        m_window = window;
        m_target = target;
        m_target->AddRef();
        m_effect = effect & okEffects;
    }

    void Over(POINT point, DWORD keyState, DWORD okEffects)
    {
        DWORD effect = okEffects;
        m_target->DragOver(keyState, POINTL{point.x, point.y}, &effect);
        m_effect = effect & okEffects;
    }

    HWND m_window = nullptr;
    IDropTarget* m_target = nullptr;
    DWORD m_effect = DROPEFFECT_NONE;
    std::set<HWND> m_refused;
};

void ForgetWindow(HWND window)
{
    for (TargetTracker* tracker : std::set<TargetTracker*>(Trackers()))
        if (Trackers().count(tracker))
            tracker->Forget(window);
}

// One drag: where the pointer is, which target it is over, and what that target would take.
class DragLoop
{
public:
    DragLoop(IDataObject* data, IDropSource* source, DWORD okEffects)
        : m_data(data), m_source(source), m_okEffects(okEffects)
    {
        m_keyState = KeyStateNow();
        if (!(m_keyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)))
            m_keyState |= MK_LBUTTON; // a drag starts with a button held
    }

    HRESULT Run(DWORD* effect)
    {
        for (;;)
        {
            HRESULT decision = m_source->QueryContinueDrag(m_escape ? TRUE : FALSE, m_keyState);
            if (decision == DRAGDROP_S_DROP)
                return Drop(effect);
            if (decision == DRAGDROP_S_CANCEL || FAILED(decision))
            {
                Leave();
                *effect = DROPEFFECT_NONE;
                return DRAGDROP_S_CANCEL;
            }
            if (!NextInput())
            {
                // No input can ever come (a test's clock and no display): the drag ends.
                Leave();
                *effect = DROPEFFECT_NONE;
                return DRAGDROP_S_CANCEL;
            }
            Track();
            m_source->GiveFeedback(m_effect);
        }
    }

private:
    // Takes the next input message for the drag; other messages go on to their windows.
    bool NextInput()
    {
        for (;;)
        {
            MSG message;
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            {
                if (IsMouseMessage(message.message))
                {
                    POINT client{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
                    auto& windows = Windows();
                    m_point = windows.ClientToScreen ? windows.ClientToScreen(message.hwnd, client) : client;
                    DWORD buttons = static_cast<DWORD>(message.wParam) & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON |
                                                                          MK_SHIFT | MK_CONTROL);
                    // The button of an up message is no longer held; the message's state says so.
                    m_keyState = buttons;
                    m_moved = true;
                    return true;
                }
                if (IsKeyMessage(message.message))
                {
                    if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
                        message.wParam == VK_ESCAPE)
                        m_escape = true;
                    DWORD keys = KeyStateNow() & (MK_SHIFT | MK_CONTROL);
                    m_keyState = (m_keyState & ~(MK_SHIFT | MK_CONTROL)) | keys;
                    return true;
                }
                if (message.message == WM_QUIT)
                {
                    PostQuitMessage(static_cast<int>(message.wParam));
                    m_escape = true;
                    return true;
                }
                DispatchMessageW(&message);
                continue;
            }
            // Nothing queued: what the targets marked shows before the loop waits.
            if (Windows().Paint)
                Windows().Paint();
            if (Platform::TickClockIsInjected())
            {
                // Only what is queued can come; a second look after the pump ran.
                WaitMessage();
                if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
                    continue;
                return false;
            }
            WaitMessage();
        }
    }

    void Track()
    {
        if (!m_moved)
        {
            m_effect = m_outside ? Outside() : m_targets.Again(m_point, m_keyState, m_okEffects);
            return;
        }
        m_effect = m_targets.Track(m_data, m_point, m_keyState, m_okEffects);
        bool outside = !m_targets.OverTarget() && !TargetWindowAt(m_point) && !OverOwnWindow();
        if (!outside && m_outside)
            LeaveOutside();
        m_outside = outside;
        if (outside)
            m_effect = Outside();
    }

    // Whether the point lies over any window of ours (a window that takes no drops is still no
    // other program's).
    bool OverOwnWindow() const
    {
        auto& windows = Windows();
        return windows.WindowAt && windows.WindowAt(m_point) != nullptr;
    }

    DWORD Outside()
    {
        auto& external = External();
        DWORD effect = external.Over ? external.Over(m_data, m_point, m_keyState, m_okEffects) & m_okEffects
                                     : DROPEFFECT_NONE;
        m_external = external.Over != nullptr && effect != DROPEFFECT_NONE;
        return effect;
    }

    void LeaveOutside()
    {
        if (m_outside && External().Leave)
            External().Leave();
        m_external = false;
        m_outside = false;
    }

    void Leave()
    {
        m_targets.Leave();
        LeaveOutside();
        m_effect = DROPEFFECT_NONE;
    }

    HRESULT Drop(DWORD* effect)
    {
        *effect = DROPEFFECT_NONE;
        if (m_targets.OverTarget())
        {
            *effect = m_targets.Drop(m_data, m_point, m_keyState, m_okEffects);
            return *effect ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
        }
        if (m_external && External().Drop)
        {
            *effect = External().Drop(m_data, m_effect) & m_okEffects;
            m_external = false;
            m_outside = false;
            return *effect ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
        }
        LeaveOutside();
        return DRAGDROP_S_CANCEL;
    }

    IDataObject* m_data;
    IDropSource* m_source;
    DWORD m_okEffects;
    DWORD m_keyState = 0;
    DWORD m_effect = DROPEFFECT_NONE;
    POINT m_point{0, 0};
    bool m_escape = false;
    bool m_moved = false;
    bool m_outside = false;
    bool m_external = false;
    TargetTracker m_targets;
};

// Another program's drag over our windows.
struct ForeignDrag
{
    TargetTracker targets;
    bool running = false;
};

ForeignDrag& Foreign()
{
    static ForeignDrag drag;
    return drag;
}
} // namespace

namespace Platform
{
DWORD ForeignDragOver(IDataObject* data, POINT screen, DWORD keyState, DWORD okEffects)
{
    ForeignDrag& drag = Foreign();
    if (!data || g_dragRunning)
    {
        // Our own drag has the pointer: another program's is refused, and a refused drag marks
        // nothing.
        drag.targets.Leave();
        return DROPEFFECT_NONE;
    }
    if (!drag.running)
    {
        drag.targets.Reset();
        drag.running = true;
    }
    return drag.targets.Track(data, screen, keyState, okEffects) & okEffects;
}

void ForeignDragLeave()
{
    ForeignDrag& drag = Foreign();
    drag.targets.Reset();
    drag.running = false;
}

DWORD ForeignDrop(IDataObject* data, POINT screen, DWORD keyState, DWORD okEffects)
{
    ForeignDrag& drag = Foreign();
    if (!data || !drag.running || g_dragRunning)
    {
        ForeignDragLeave();
        return DROPEFFECT_NONE;
    }
    DWORD effect = DROPEFFECT_NONE;
    // The drop goes where the last position was answered; a target met only now hears it all.
    drag.targets.Track(data, screen, keyState, okEffects);
    if (drag.targets.OverTarget())
        effect = drag.targets.Drop(data, screen, keyState, okEffects);
    drag.targets.Reset();
    drag.running = false;
    return effect;
}
} // namespace Platform

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect)
{
    if (!data || !source || !effect)
        return E_INVALIDARG;
    if (g_dragRunning)
        return E_UNEXPECTED;
    g_dragRunning = true;
    // Another program's drag over our windows is refused from now on: what it marks goes.
    Foreign().targets.Leave();
    data->AddRef();
    source->AddRef();
    HRESULT result = DRAGDROP_S_CANCEL;
    // The presenter takes the pointer for the drag and offers its data to other programs.
    if (External().Begin)
        External().Begin(data, okEffects);
    try
    {
        DragLoop loop(data, source, okEffects);
        result = loop.Run(effect);
    }
    catch (...)
    {
        if (External().End)
            External().End();
        g_dragRunning = false;
        source->Release();
        data->Release();
        throw;
    }
    if (External().End)
        External().End();
    g_dragRunning = false;
    source->Release();
    data->Release();
    return result;
}
