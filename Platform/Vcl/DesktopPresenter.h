// The glue between the forms and the X11 presenter: each shown form is a window showing the form's
// pixels, the window's input reaches the form as window messages through the message queue, the
// queue waits on the display, message boxes are modal forms of our own drawing, and the clipboard
// is the desktop's. Application->Initialize installs it when a display is available; headless
// nothing of it exists.
#pragma once

class TCustomForm;

namespace Vcl
{
// Installs the presenter, the event pump, the message-box handler and the clipboard bridge; false
// (and nothing installed) without a display. Installing twice keeps the first.
bool InstallDesktopPresenter();
// Puts back what was there before; the connection to the display ends when no window is left.
void RemoveDesktopPresenter();
bool DesktopPresenterInstalled();
// The X11 window showing the form, 0 when it has none (for tests that read the screen).
unsigned long NativeWindowOf(const TCustomForm* form);
} // namespace Vcl
