// What the presenter's units share inside the X11 layer: the one connection's display, its
// utility window, and the hooks through which the event dispatch hands selection and
// drag-and-drop traffic to the transfer unit.
#pragma once

#include <X11/Xlib.h>

namespace X11::Detail
{
// The display while it is there: null without one and once it is lost. Opens it on first use
// (unless the program runs headless).
Display* LiveDisplay();
// The unmapped window that owns our selections and receives the ones we ask for.
::Window Utility();
// Whether the window is one of our top-level windows.
bool OwnWindow(::Window window);
// The top-level window of ours the last button went down in (0 when none is known).
::Window LastPressWindow();
// Shows again the pixels of an exposed part of our window (an Expose event), without a paint
// pass: safe also while the program waits inside a transfer.
void ShowExposed(const XEvent& event);

// Selection, property and drag-and-drop events go to the transfer unit first; true when it took
// the event.
bool TransferEvent(XEvent& event);
// A new top-level window of ours: the transfer unit marks it as a drop target for other programs.
void WindowCreated(::Window window);
// Called by every round of the event loop: transfers whose peer went quiet are given up.
void TransferTimers();
// The connection is about to close: everything the transfer unit keeps of it goes.
void DisplayClosing();
} // namespace X11::Detail
