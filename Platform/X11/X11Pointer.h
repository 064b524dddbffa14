// What the pointer shows over our windows: its shape over each window, and the frame that follows
// a docking drag across the whole screen (drawn above every window, as the platform draws it on
// the desktop).
#pragma once

namespace X11
{
enum class PointerShape
{
    Arrow,
    IBeam,
    Wait,
    Cross,
    UpArrow,
    SizeNWSE,
    SizeNESW,
    SizeWE,
    SizeNS,
    SizeAll,
    HSplit,
    VSplit,
    Hand,
    No,
    Drag,
    NoDrop,
    Hidden
};

// Shows `shape` while the pointer is over the window (an X window id); nothing without a display.
void SetWindowCursor(unsigned long window, PointerShape shape);
// Where the window's client area starts on the screen; false without a display or window.
bool WindowRootOrigin(unsigned long window, int& x, int& y);

// The drag frame: a hatched rectangle outline `thickness` pixels wide at (x, y, width, height) of
// the screen, above every window; moving it again replaces it. Hidden, it leaves nothing behind.
void ShowDragFrame(int x, int y, int width, int height, int thickness);
void HideDragFrame();
bool DragFrameShown();
} // namespace X11
