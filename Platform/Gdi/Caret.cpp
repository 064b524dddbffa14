// The system caret: its state, its blink clock and the repaints it asks for.
#include "Platform/Gdi/Gdi.h"

namespace
{
constexpr UINT_PTR kBlinkTimer = 0xCA7E7;

struct Caret
{
    HWND window = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int hideCount = 1; // a new caret is hidden
    DWORD since = 0;   // the last move or show: the blink's on half starts there
    Platform::CaretObserver observer;
};

Caret& TheCaret()
{
    static Caret caret;
    return caret;
}

void Repaint()
{
    Caret& c = TheCaret();
    if (c.window && c.observer)
        c.observer(c.window, RECT{c.x, c.y, c.x + c.width, c.y + c.height});
}

void Blink(HWND, UINT, UINT_PTR, DWORD)
{
    Repaint();
}

void Restart()
{
    Caret& c = TheCaret();
    c.since = GetTickCount();
    if (c.window)
        SetTimer(c.window, kBlinkTimer, GetCaretBlinkTime(), Blink);
}
} // namespace

BOOL CreateCaret(HWND window, HBITMAP, int width, int height)
{
    if (!window)
        return FALSE;
    DestroyCaret();
    Caret& c = TheCaret();
    c.window = window;
    c.x = c.y = 0;
    c.width = width > 0 ? width : 1;
    c.height = height > 0 ? height : 1;
    c.hideCount = 1;
    return TRUE;
}

BOOL DestroyCaret()
{
    Caret& c = TheCaret();
    if (!c.window)
        return FALSE;
    Repaint();
    KillTimer(c.window, kBlinkTimer);
    c.window = nullptr;
    c.hideCount = 1;
    return TRUE;
}

BOOL ShowCaret(HWND window)
{
    Caret& c = TheCaret();
    if (!c.window || (window && window != c.window) || c.hideCount == 0)
        return FALSE;
    if (--c.hideCount == 0)
    {
        Restart();
        Repaint();
    }
    return TRUE;
}

BOOL HideCaret(HWND window)
{
    Caret& c = TheCaret();
    if (!c.window || (window && window != c.window))
        return FALSE;
    if (c.hideCount++ == 0)
    {
        KillTimer(c.window, kBlinkTimer);
        Repaint();
    }
    return TRUE;
}

BOOL SetCaretPos(int x, int y)
{
    Caret& c = TheCaret();
    if (!c.window)
        return FALSE;
    if (x == c.x && y == c.y)
        return TRUE;
    Repaint();
    c.x = x;
    c.y = y;
    if (c.hideCount == 0)
        Restart();
    Repaint();
    return TRUE;
}

BOOL GetCaretPos(POINT* point)
{
    Caret& c = TheCaret();
    if (!c.window || !point)
        return FALSE;
    *point = POINT{c.x, c.y};
    return TRUE;
}

Platform::CaretState Platform::GetCaretState()
{
    Caret& c = TheCaret();
    CaretState state;
    state.window = c.window;
    state.x = c.x;
    state.y = c.y;
    state.width = c.width;
    state.height = c.height;
    state.shown = c.window && c.hideCount == 0;
    const UINT period = GetCaretBlinkTime();
    state.visible = state.shown && (period == 0 || ((GetTickCount() - c.since) / period) % 2 == 0);
    return state;
}

Platform::CaretObserver Platform::SetCaretObserver(CaretObserver observer)
{
    CaretObserver previous = std::move(TheCaret().observer);
    TheCaret().observer = std::move(observer);
    return previous;
}
