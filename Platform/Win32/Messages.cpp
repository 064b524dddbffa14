// The Win32 layer's windows and messages: the window table, the process's one message queue with
// its timers, the clock behind them, and the keyboard-state table.
#include "Platform/Win32/Windows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// ---- Clock -----------------------------------------------------------------------------------

namespace
{
std::mutex g_clockMutex;
std::shared_ptr<Platform::TickClock> g_clock; // null: the system's monotonic clock

DWORD SystemTicks()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms); // wraps every 49.7 days, as callers expect
}
} // namespace

DWORD GetTickCount()
{
    std::shared_ptr<Platform::TickClock> clock;
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        clock = g_clock;
    }
    return clock ? (*clock)() : SystemTicks();
}

namespace Platform
{
TickClock SetTickClock(TickClock clock)
{
    std::lock_guard<std::mutex> lock(g_clockMutex);
    TickClock previous = g_clock ? *g_clock : TickClock();
    g_clock = clock ? std::make_shared<TickClock>(std::move(clock)) : nullptr;
    return previous;
}

bool TickClockIsInjected()
{
    std::lock_guard<std::mutex> lock(g_clockMutex);
    return g_clock != nullptr;
}
} // namespace Platform

// ---- Window table and queue ------------------------------------------------------------------

namespace
{
struct PostedMessage
{
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

struct Timer
{
    HWND window;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    DWORD start; // the period runs from here
};

constexpr UINT MinimumTimerPeriod = 10;

struct WindowRegistry
{
    std::mutex mutex;
    std::condition_variable arrived;
    uintptr_t lastHandle = 0x10000;
    UINT_PTR lastTimerId = 0x7FFF; // ids of timers without a window
    // Shared so that a receiver that unregisters itself while it runs stays alive until it returns.
    std::map<HWND, std::shared_ptr<Platform::WindowReceiver>> receivers;
    std::deque<PostedMessage> posted;
    std::vector<Timer> timers;
    // GWL_STYLE and GWL_EXSTYLE of each window.
    std::map<HWND, std::pair<LONG, LONG>> styles;
    bool quit = false;
    int quitCode = 0;
    std::shared_ptr<Platform::EventPump> pump;
};

WindowRegistry& WindowTable()
{
    // Never destroyed: windows that static objects own go away after every other static.
    static WindowRegistry* registry = new WindowRegistry;
    return *registry;
}

std::shared_ptr<Platform::WindowReceiver> FindReceiver(HWND window)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.receivers.find(window);
    return it == registry.receivers.end() ? nullptr : it->second;
}

void RunPump(DWORD wait)
{
    std::shared_ptr<Platform::EventPump> pump;
    {
        WindowRegistry& registry = WindowTable();
        std::lock_guard<std::mutex> lock(registry.mutex);
        pump = registry.pump;
    }
    if (pump && *pump)
        (*pump)(wait);
}

bool Matches(HWND filterWindow, UINT filterMin, UINT filterMax, HWND window, UINT message)
{
    if (filterWindow && filterWindow != window)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message >= filterMin && message <= filterMax;
}

// The due timer that has waited longest past its period, or timers.end().
std::vector<Timer>::iterator DueTimer(std::vector<Timer>& timers, DWORD now, HWND window, UINT filterMin,
                                      UINT filterMax)
{
    auto best = timers.end();
    DWORD bestLate = 0;
    for (auto it = timers.begin(); it != timers.end(); ++it)
    {
        DWORD elapsed = now - it->start;
        if (elapsed < it->elapse || !Matches(window, filterMin, filterMax, it->window, WM_TIMER))
            continue;
        DWORD late = elapsed - it->elapse;
        if (best == timers.end() || late > bestLate)
        {
            best = it;
            bestLate = late;
        }
    }
    return best;
}

// Milliseconds until the next timer falls due (0 when one is due), or INFINITE_WAIT.
DWORD TimeToNextTimer(const std::vector<Timer>& timers, DWORD now)
{
    DWORD wait = Platform::INFINITE_WAIT;
    for (const Timer& timer : timers)
    {
        DWORD elapsed = now - timer.start;
        DWORD left = elapsed >= timer.elapse ? 0 : timer.elapse - elapsed;
        wait = std::min(wait, left);
    }
    return wait;
}
} // namespace

namespace Platform
{
HWND RegisterWindowReceiver(WindowReceiver receiver)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.lastHandle += 4;
    HWND window = reinterpret_cast<HWND>(registry.lastHandle);
    registry.receivers[window] = std::make_shared<WindowReceiver>(std::move(receiver));
    return window;
}

void SetWindowReceiver(HWND window, WindowReceiver receiver)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.receivers.find(window);
    if (it != registry.receivers.end())
        it->second = std::make_shared<WindowReceiver>(std::move(receiver));
}

void UnregisterWindowReceiver(HWND window)
{
    std::shared_ptr<WindowReceiver> released;
    WindowRegistry& registry = WindowTable();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        auto it = registry.receivers.find(window);
        if (it == registry.receivers.end())
            return;
        released = std::move(it->second);
        registry.receivers.erase(it);
        registry.styles.erase(window);
        std::erase_if(registry.timers, [window](const Timer& t) { return t.window == window; });
    }
    // `released` goes out of scope unlocked: the receiver's captures may unregister more windows.
}

void KillWindowTimers(HWND window)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::erase_if(registry.timers, [window](const Timer& t) { return t.window == window; });
}

int DispatchPostedMessages()
{
    WindowRegistry& registry = WindowTable();
    std::deque<PostedMessage> pending;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        pending.swap(registry.posted);
    }
    // Only what was queued on entry: a receiver that posts again waits for the next round, so a
    // message that keeps reposting itself cannot hold the caller forever.
    int delivered = 0;
    for (const PostedMessage& message : pending)
    {
        std::shared_ptr<WindowReceiver> receiver = FindReceiver(message.window);
        if (!receiver)
            continue; // the window went away after the message was posted
        if (*receiver)
            (*receiver)(message.message, message.wParam, message.lParam);
        ++delivered;
    }
    return delivered;
}

EventPump SetEventPump(EventPump pump)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    EventPump previous = registry.pump ? *registry.pump : EventPump();
    registry.pump = pump ? std::make_shared<EventPump>(std::move(pump)) : nullptr;
    return previous;
}
} // namespace Platform

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<Platform::WindowReceiver> receiver = FindReceiver(window);
    if (!receiver)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return *receiver ? (*receiver)(message, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD now = GetTickCount();
    WindowRegistry& registry = WindowTable();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        if (registry.receivers.count(window) == 0)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        registry.posted.push_back({window, message, wParam, lParam, now});
    }
    registry.arrived.notify_all();
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return FindReceiver(window) ? TRUE : FALSE;
}

namespace
{
// The style slot of a window, or null for a bad handle or index. Call with the table locked.
LONG* StyleSlot(WindowRegistry& registry, HWND window, int index)
{
    if (registry.receivers.count(window) == 0 || (index != GWL_STYLE && index != GWL_EXSTYLE))
        return nullptr;
    auto& styles = registry.styles[window];
    return index == GWL_STYLE ? &styles.first : &styles.second;
}
} // namespace

LONG GetWindowLongW(HWND window, int index)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    LONG* slot = StyleSlot(registry, window, index);
    if (!slot)
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return *slot;
}

LONG SetWindowLongW(HWND window, int index, LONG value)
{
    STYLESTRUCT change{};
    {
        WindowRegistry& registry = WindowTable();
        std::lock_guard<std::mutex> lock(registry.mutex);
        LONG* slot = StyleSlot(registry, window, index);
        if (!slot)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        change.styleOld = static_cast<DWORD>(*slot);
        change.styleNew = static_cast<DWORD>(value);
        *slot = value;
    }
    SendMessageW(window, WM_STYLECHANGED, static_cast<WPARAM>(static_cast<intptr_t>(index)),
                 reinterpret_cast<LPARAM>(&change));
    return static_cast<LONG>(change.styleOld);
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    {
        WindowRegistry& registry = WindowTable();
        std::lock_guard<std::mutex> lock(registry.mutex);
        LONG* exStyle = StyleSlot(registry, window, GWL_EXSTYLE);
        if (!exStyle)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOPMOST)
            *exStyle |= WS_EX_TOPMOST;
        else if (!(flags & SWP_NOZORDER) && insertAfter == HWND_NOTOPMOST)
            *exStyle &= ~WS_EX_TOPMOST;
    }
    WINDOWPOS position{window, insertAfter, x, y, cx, cy, flags};
    SendMessageW(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
    return TRUE;
}

BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage)
{
    if (!message)
        return FALSE;
    RunPump(0);
    DWORD now = GetTickCount();
    bool remove = (removeMessage & PM_REMOVE) != 0;
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (auto it = registry.posted.begin(); it != registry.posted.end();)
    {
        if (registry.receivers.count(it->window) == 0)
        {
            it = registry.posted.erase(it); // its window went away
            continue;
        }
        if (!Matches(window, filterMin, filterMax, it->window, it->message))
        {
            ++it;
            continue;
        }
        *message = MSG{it->window, it->message, it->wParam, it->lParam, it->time, {0, 0}};
        if (remove)
            registry.posted.erase(it);
        return TRUE;
    }
    if (registry.quit && !window && Matches(nullptr, filterMin, filterMax, nullptr, WM_QUIT))
    {
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(registry.quitCode), 0, now, {0, 0}};
        if (remove)
            registry.quit = false;
        return TRUE;
    }
    auto timer = DueTimer(registry.timers, now, window, filterMin, filterMax);
    if (timer == registry.timers.end())
        return FALSE;
    *message = MSG{timer->window, WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->proc), now, {0, 0}};
    // However many periods were missed, one message; the next period starts now.
    if (remove)
        timer->start = now;
    return TRUE;
}

BOOL WaitMessage()
{
    WindowRegistry& registry = WindowTable();
    DWORD wait;
    bool hasPump;
    {
        DWORD now = GetTickCount();
        std::lock_guard<std::mutex> lock(registry.mutex);
        if (!registry.posted.empty() || registry.quit)
            return TRUE;
        wait = TimeToNextTimer(registry.timers, now);
        hasPump = registry.pump != nullptr;
    }
    if (wait == 0)
        return TRUE;
    // A test's clock does not move while we wait: waiting on it would never end.
    if (Platform::TickClockIsInjected())
        wait = 0;
    if (hasPump)
    {
        RunPump(wait);
        return TRUE;
    }
    if (wait == 0)
        return TRUE;
    std::unique_lock<std::mutex> lock(registry.mutex);
    auto ready = [&registry] { return !registry.posted.empty() || registry.quit; };
    if (wait == Platform::INFINITE_WAIT)
        registry.arrived.wait(lock, ready);
    else
        registry.arrived.wait_for(lock, std::chrono::milliseconds(wait), ready);
    return TRUE;
}

BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax)
{
    while (!PeekMessageW(message, window, filterMin, filterMax, PM_REMOVE))
        WaitMessage();
    return message->message == WM_QUIT ? FALSE : TRUE;
}

LRESULT DispatchMessageW(const MSG* message)
{
    if (!message)
        return 0;
    if (message->message == WM_TIMER && message->lParam != 0)
    {
        reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam, message->time);
        return 0;
    }
    if (!message->hwnd)
        return 0;
    return SendMessageW(message->hwnd, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int exitCode)
{
    WindowRegistry& registry = WindowTable();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.quit = true;
        registry.quitCode = exitCode;
    }
    registry.arrived.notify_all();
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc)
{
    DWORD now = GetTickCount();
    elapse = std::max(elapse, MinimumTimerPeriod);
    WindowRegistry& registry = WindowTable();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        if (window && registry.receivers.count(window) == 0)
        {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (!window)
        {
            // A timer without a window gets an id of its own unless it names one of its own.
            bool known = std::any_of(registry.timers.begin(), registry.timers.end(),
                                     [id](const Timer& t) { return !t.window && t.id == id; });
            if (!known)
                id = ++registry.lastTimerId;
        }
        auto it = std::find_if(registry.timers.begin(), registry.timers.end(),
                               [window, id](const Timer& t) { return t.window == window && t.id == id; });
        if (it != registry.timers.end())
            *it = Timer{window, id, elapse, timerProc, now};
        else
            registry.timers.push_back(Timer{window, id, elapse, timerProc, now});
    }
    registry.arrived.notify_all();
    return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    WindowRegistry& registry = WindowTable();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = std::find_if(registry.timers.begin(), registry.timers.end(),
                           [window, id](const Timer& t) { return t.window == window && t.id == id; });
    if (it == registry.timers.end())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    registry.timers.erase(it);
    return TRUE;
}

// ---- Keyboard state --------------------------------------------------------------------------

namespace
{
constexpr uint8_t KeyDown = 0x80;
constexpr uint8_t KeyToggled = 0x01;
std::atomic<uint8_t> g_keys[256];

int GenericKey(int virtualKey)
{
    switch (virtualKey)
    {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return 0;
    }
}

void SetOneKey(int virtualKey, bool down)
{
    uint8_t state = g_keys[virtualKey].load();
    bool wasDown = (state & KeyDown) != 0;
    if (down && !wasDown)
        state = static_cast<uint8_t>((state ^ KeyToggled) | KeyDown);
    else if (!down)
        state = static_cast<uint8_t>(state & ~KeyDown);
    g_keys[virtualKey].store(state);
}

SHORT KeyStateBits(int virtualKey, bool withToggle)
{
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    uint8_t state = g_keys[virtualKey].load();
    int bits = (state & KeyDown) ? 0x8000 : 0;
    if (withToggle && (state & KeyToggled))
        bits |= 1;
    return static_cast<SHORT>(static_cast<WORD>(bits));
}
} // namespace

namespace Platform
{
void SetKeyDown(int virtualKey, bool down)
{
    if (virtualKey <= 0 || virtualKey > 255)
        return;
    SetOneKey(virtualKey, down);
    int generic = GenericKey(virtualKey);
    if (!generic)
        return;
    // The generic key is down while either side is.
    bool anySide = false;
    for (int side : {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU})
    {
        if (GenericKey(side) == generic && (g_keys[side].load() & KeyDown))
            anySide = true;
    }
    SetOneKey(generic, anySide);
}

void ResetKeyStates()
{
    for (auto& key : g_keys)
        key.store(0);
}
} // namespace Platform

SHORT GetAsyncKeyState(int virtualKey)
{
    return KeyStateBits(virtualKey, false);
}

SHORT GetKeyState(int virtualKey)
{
    return KeyStateBits(virtualKey, true);
}
