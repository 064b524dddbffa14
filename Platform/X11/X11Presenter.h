// The presenter: shows top-level forms as X11 windows and turns X11 input into plain events that
// the class-library layer maps onto window messages. Everything here is optional: without a
// display (or with KELVANE_HEADLESS=1) `DisplayAvailable` is false and nothing is ever opened.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace X11
{

enum class EventKind
{
    Paint,     // x, y, width, height: a part of the window must be shown again
    MouseDown, // x, y, button, modifiers
    MouseUp,
    MouseMove,
    MouseWheel, // x, y, wheel (+1 away from the user, -1 towards), modifiers
    KeyDown,    // virtualKey, modifiers, repeat
    KeyUp,
    Char,     // character (one UTF-16 unit; a character outside the BMP comes as two events)
    GotFocus,  // the window received the keyboard focus
    LostFocus, // and lost it
    Resize,   // width, height: the new client size
    Close,    // the user asked to close the window (its close button)
    MouseLeave // the pointer left the window (not while a button holds it there)
};

// Modifier and button bits of an event.
enum : unsigned
{
    ModShift = 1,
    ModControl = 2,
    ModAlt = 4,
    ModLeftButton = 8,
    ModRightButton = 0x10,
    ModMiddleButton = 0x20
};

struct Event
{
    EventKind kind = EventKind::Paint;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int button = 0; // 1 left, 2 middle, 3 right
    int wheel = 0;
    unsigned virtualKey = 0; // the platform's virtual-key code (VK_RETURN = 13 ...)
    char16_t character = 0;
    unsigned modifiers = 0;
    bool repeat = false; // a key held down: the press repeats without a release
};

// Whether windows can be shown: false with KELVANE_HEADLESS=1, when no display opens, and once
// the display is lost.
bool DisplayAvailable();
// For a program that is a window and nothing else: whether windows can be shown, and when they
// cannot, one line naming `program` and why goes to standard error (the caller then ends with
// status 1 rather than wait for input that can never come).
bool DisplayForProgram(const char* program);
// Whether the connection to the display broke (the server ended). The process goes on: every
// call here then does nothing, windows stay hidden and no event comes any more, so that the
// program can finish what it does and end in its own time.
bool DisplayLost();
// The size of the default screen; false without a display.
bool ScreenSize(int& width, int& height);

// What a window is to a window manager (_NET_WM_WINDOW_TYPE).
enum class WindowType
{
    Normal,
    Dialog,    // an owned or modal form, a message box
    PopupMenu, // a context menu
    Tooltip,   // a hint
    Combo      // a combo box's drop-down list
};

// One top-level window. Events for it go to its handler from `ProcessEvents`. It names the
// program's class (WM_CLASS), its process (_NET_WM_PID) and its title, and takes WM_DELETE_WINDOW.
class Window
{
public:
    using Handler = std::function<void(const Event&)>;

    // A window of the given client size, centred on the screen; `fixedSize` gives it a dialog's
    // border that the user cannot resize. The window is not mapped until `Show`.
    Window(const std::u16string& title, int clientWidth, int clientHeight, bool fixedSize,
           Handler handler);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void Show();
    void Hide();
    bool Visible() const;
    void SetTitle(const std::u16string& title);
    void SetClientSize(int width, int height, bool fixedSize);
    int ClientWidth() const;
    int ClientHeight() const;

    // Shows the rectangle (x, y, w, h) of a 32-bit BGRA pixel buffer of width x height pixels with
    // `stride` pixels a row at the same place of the window.
    void Present(const uint32_t* pixels, int width, int height, int stride, int x, int y, int w,
                 int h);

    // What the window is, the window it belongs to (WM_TRANSIENT_FOR: a window manager keeps it
    // above that one; 0 for none) and whether it is modal for it (_NET_WM_STATE_MODAL). Given
    // before Show: window managers read them when the window maps. Menus, hints and drop-down
    // lists are override-redirect from their next Show (no window manager frames, places or
    // focuses them), and a menu holds the pointer and the keyboard while it shows. The pointer
    // passes through a hint to the window below, where the display can shape windows' input.
    void SetRole(WindowType type, unsigned long owner, bool modal);
    // The client sizes a user may give a resizable window, as size hints (0: no limit).
    void SetSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight);
    // Brings the window above the others (through the window manager when there is one).
    void Raise();

    // Window-manager decorations (title bar, frame) on or off (_MOTIF_WM_HINTS).
    void SetDecorated(bool decorated);
    // Keeps the window above others (_NET_WM_STATE_ABOVE, raised) or lets it be stacked as usual.
    void SetAbove(bool above);
    // Places the window's top-left corner at (x, y) on the screen.
    void Move(int x, int y);
    // Where the window's client area stands on the screen (wherever a window manager put it);
    // false when the window is not there.
    bool ScreenPosition(int& x, int& y) const;

    // Gives the window the keyboard focus (what a window manager does on a click; without one
    // nobody else does).
    void Focus();
    // Whether mapping the window gives it the keyboard focus (the default); a drop-down list or
    // a menu leaves it with the window that has it.
    void SetActivates(bool activates);

    // The X11 window id (tests read the window's pixels through it).
    unsigned long NativeId() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Message-loop integration: dispatches every pending X event to its window's handler and returns
// how many were dispatched; 0 without a display.
int ProcessEvents();
// Waits until an X event is pending or the time has passed; false when it timed out or there is
// no display.
bool WaitForEvents(int timeoutMs);
// Sends buffered requests to the server.
void Flush();
// Ends the connection to the display once no window is left, so that the next use opens the
// display named then (DISPLAY), as a new process would. False, and nothing closed, while a window
// is open.
bool CloseDisplay();
// Sends them and waits until the server has carried them out: what another client (a screenshot)
// reads afterwards shows them.
void Sync();

// The text clipboard through the X selections. Setting takes the CLIPBOARD selection; getting
// asks its owner (or reads our own text) and gives false when nobody answers in time.
void SetClipboardText(const std::u16string& text);
bool GetClipboardText(std::u16string& text, int timeoutMs = 500);
// Whether the CLIPBOARD selection is ours (the text last set here is still the desktop's).
bool OwnsClipboard();

} // namespace X11
