#include "Platform/X11/X11Presenter.h"

#include "Platform/X11/X11Detail.h"

#include "Platform/Win32/Windows.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <poll.h>
#include <unistd.h>

#include <bitset>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace X11
{
struct Window::Impl
{
    ::Window window = 0;
    int width = 0;
    int height = 0;
    bool visible = false;
    Handler handler;
    std::vector<uint32_t> converted; // pixels in the visual's layout, when it is not ours
    GC gc = nullptr;
    bool fixed = false;
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0; // 0: no limit
    int refusedWidth = 0, refusedHeight = 0; // the size outside them last answered with a request
    bool above = false;
    bool modal = false;
    // A popup (menu, hint, drop-down list) no window manager frames, moves or focuses: the
    // attribute is read when the window maps, so it is given then.
    bool overrideRedirect = false;
    bool overrideGiven = false;
    // A menu holds the pointer and the keyboard while it shows.
    bool grabs = false;
    bool grabbed = false;
    bool passThrough = false; // its input region is empty: the pointer passes to the window below
    // Where a hidden window is to stand once it shows.
    bool placePending = false;
    int placeX = 0, placeY = 0;
};

namespace
{

bool HeadlessRequested()
{
    const char* value = std::getenv("KELVANE_HEADLESS");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

// The platform's virtual-key code of a key, from the keysym of the key's first group (so that
// letters keep their codes under a non-Latin layout).
unsigned VirtualKeyOf(KeySym sym)
{
    if (sym >= XK_a && sym <= XK_z)
        return static_cast<unsigned>('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z)
        return static_cast<unsigned>('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9)
        return static_cast<unsigned>('0' + (sym - XK_0));
    if (sym >= XK_F1 && sym <= XK_F24)
        return static_cast<unsigned>(0x70 + (sym - XK_F1));
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return static_cast<unsigned>(0x60 + (sym - XK_KP_0));
    switch (sym)
    {
    case XK_BackSpace: return 0x08;
    case XK_Tab:
    case XK_ISO_Left_Tab: return 0x09;
    case XK_Return:
    case XK_KP_Enter: return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R: return 0x10;
    case XK_Control_L:
    case XK_Control_R: return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return 0x12;
    case XK_Pause: return 0x13;
    case XK_Caps_Lock: return 0x14;
    case XK_Escape: return 0x1B;
    case XK_space: return 0x20;
    case XK_Prior:
    case XK_KP_Prior: return 0x21;
    case XK_Next:
    case XK_KP_Next: return 0x22;
    case XK_End:
    case XK_KP_End: return 0x23;
    case XK_Home:
    case XK_KP_Home: return 0x24;
    case XK_Left:
    case XK_KP_Left: return 0x25;
    case XK_Up:
    case XK_KP_Up: return 0x26;
    case XK_Right:
    case XK_KP_Right: return 0x27;
    case XK_Down:
    case XK_KP_Down: return 0x28;
    case XK_Print: return 0x2C;
    case XK_Insert:
    case XK_KP_Insert: return 0x2D;
    case XK_Delete:
    case XK_KP_Delete: return 0x2E;
    case XK_Super_L: return 0x5B;
    case XK_Super_R: return 0x5C;
    case XK_Menu: return 0x5D;
    case XK_KP_Multiply: return 0x6A;
    case XK_KP_Add: return 0x6B;
    case XK_KP_Separator: return 0x6C;
    case XK_KP_Subtract: return 0x6D;
    case XK_KP_Decimal: return 0x6E;
    case XK_KP_Divide: return 0x6F;
    case XK_Num_Lock: return 0x90;
    case XK_Scroll_Lock: return 0x91;
    case XK_semicolon: return 0xBA;
    case XK_equal: return 0xBB;
    case XK_comma: return 0xBC;
    case XK_minus: return 0xBD;
    case XK_period: return 0xBE;
    case XK_slash: return 0xBF;
    case XK_grave: return 0xC0;
    case XK_bracketleft: return 0xDB;
    case XK_backslash: return 0xDC;
    case XK_bracketright: return 0xDD;
    case XK_apostrophe: return 0xDE;
    default: return 0;
    }
}

unsigned ModifiersOf(unsigned state)
{
    unsigned m = 0;
    if (state & ShiftMask)
        m |= ModShift;
    if (state & ControlMask)
        m |= ModControl;
    if (state & Mod1Mask)
        m |= ModAlt;
    if (state & Button1Mask)
        m |= ModLeftButton;
    if (state & Button3Mask)
        m |= ModRightButton;
    if (state & Button2Mask)
        m |= ModMiddleButton;
    return m;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// Set once the connection to the server broke; from then on nothing here touches the display.
volatile bool g_lost = false;

// The server went away (it ended, or the connection broke). The library would end the process
// right here, in the middle of whatever the program does (a save among it); instead the loss is
// noted, the library returns from every later call, and the program ends in its own time.
int ConnectionLost(Display*)
{
    g_lost = true;
    return 0;
}
void KeepRunning(Display*, void*) {}

// The one connection of the process and what belongs to it.
struct Connection
{
    Display* display = nullptr;
    int screen = 0;
    Visual* visual = nullptr;
    int depth = 0;
    bool directPixels = false; // the visual takes our BGRA words as they are
    bool inputShapes = false;  // windows can be given the region that takes the pointer (SHAPE 1.1)
    XIM inputMethod = nullptr;
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom motifWmHints = 0;
    Atom netWmState = 0;
    Atom netWmStateAbove = 0;
    Atom netWmStateModal = 0;
    Atom netWmPid = 0;
    Atom netWmWindowType = 0;
    Atom netActiveWindow = 0;
    Atom windowTypes[5] = {}; // by WindowType
    std::string className; // WM_CLASS: the program's name and its class
    ::Window utility = 0; // owns our selections and receives converted ones
    ::Window lastPress = 0; // the window of ours the last button went down in
    std::map<::Window, Window::Impl*> windows; // ours, shown or not
    std::map<::Window, XIC> contexts;
    std::set<::Window> passive; // mapped without taking the focus
    bool tried = false;
    // The server reports a held key as presses without releases (detectable auto-repeat): a
    // press of a key already down is a repeat.
    bool detectableRepeat = false;
    // The keys down as the server last told us: its own presses and releases, and the whole
    // keyboard with every focus we receive (keys released while another program had it).
    std::bitset<256> keysDown;
    // Without detectable auto-repeat, the last key release reported as one, kept to tell a held
    // key's repeat whose press was read apart from its release.
    unsigned lastReleaseKey = 0;
    Time lastReleaseTime = 0;
};

// A key event another client sent (automation, input tools) or one without a server time: never
// the server's own auto-repeat, and no part of the keyboard's state.
bool SentKey(const XKeyEvent& key)
{
    return key.send_event || key.time == CurrentTime;
}

// Never destroyed: forms still alive when the program ends are freed by exit handlers that may
// run after any static object of this layer would be gone, and their windows go through here.
Connection& TheConnection()
{
    static Connection& connection = *new Connection;
    return connection;
}

// WM_CLASS: the instance name is the program's file name, the class the same with a capital
// first letter, as desktop programs name themselves; both end with a NUL.
std::string ProgramClass()
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string name = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("kelvane");
    name = name.substr(name.find_last_of('/') + 1);
    std::string cls = name;
    if (!cls.empty() && cls[0] >= 'a' && cls[0] <= 'z')
        cls[0] = static_cast<char>(cls[0] - 'a' + 'A');
    return name + '\0' + cls + '\0';
}

Display* OpenDisplay()
{
    Connection& c = TheConnection();
    if (c.tried)
        return c.display;
    c.tried = true;
    if (HeadlessRequested())
        return nullptr;
    c.display = XOpenDisplay(nullptr);
    if (c.display == nullptr)
        return nullptr;
    XSetErrorHandler(IgnoreErrors);
    XSetIOErrorHandler(ConnectionLost);
    XSetIOErrorExitHandler(c.display, KeepRunning, nullptr);
    c.screen = DefaultScreen(c.display);
    c.visual = DefaultVisual(c.display, c.screen);
    c.depth = DefaultDepth(c.display, c.screen);
    c.directPixels = (c.depth == 24 || c.depth == 32) && c.visual->red_mask == 0xFF0000 &&
                     c.visual->green_mask == 0xFF00 && c.visual->blue_mask == 0xFF &&
                     ImageByteOrder(c.display) == LSBFirst;
    c.wmProtocols = XInternAtom(c.display, "WM_PROTOCOLS", False);
    c.wmDeleteWindow = XInternAtom(c.display, "WM_DELETE_WINDOW", False);
    c.netWmName = XInternAtom(c.display, "_NET_WM_NAME", False);
    c.utf8String = XInternAtom(c.display, "UTF8_STRING", False);
    c.motifWmHints = XInternAtom(c.display, "_MOTIF_WM_HINTS", False);
    c.netWmState = XInternAtom(c.display, "_NET_WM_STATE", False);
    c.netWmStateAbove = XInternAtom(c.display, "_NET_WM_STATE_ABOVE", False);
    c.netWmStateModal = XInternAtom(c.display, "_NET_WM_STATE_MODAL", False);
    c.netWmPid = XInternAtom(c.display, "_NET_WM_PID", False);
    c.netWmWindowType = XInternAtom(c.display, "_NET_WM_WINDOW_TYPE", False);
    c.netActiveWindow = XInternAtom(c.display, "_NET_ACTIVE_WINDOW", False);
    const char* typeNames[5] = {"_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG",
                                "_NET_WM_WINDOW_TYPE_POPUP_MENU", "_NET_WM_WINDOW_TYPE_TOOLTIP",
                                "_NET_WM_WINDOW_TYPE_COMBO"};
    for (int i = 0; i < 5; ++i)
        c.windowTypes[i] = XInternAtom(c.display, typeNames[i], False);
    int shapeEvent = 0, shapeError = 0, shapeMajor = 0, shapeMinor = 0;
    c.inputShapes = XShapeQueryExtension(c.display, &shapeEvent, &shapeError) &&
                    XShapeQueryVersion(c.display, &shapeMajor, &shapeMinor) &&
                    (shapeMajor > 1 || (shapeMajor == 1 && shapeMinor >= 1));
    c.className = ProgramClass();
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(c.display, True, &detectable);
    c.detectableRepeat = detectable == True;
    c.utility = XCreateSimpleWindow(c.display, RootWindow(c.display, c.screen), 0, 0, 1, 1, 0, 0, 0);
    // Incremental transfers and server time stamps are told through property changes.
    XSelectInput(c.display, c.utility, PropertyChangeMask);
    // Text input goes through the input method, which needs the character type of the user's
    // locale; numbers never follow the locale, so only LC_CTYPE is taken.
    if (std::setlocale(LC_CTYPE, "") == nullptr)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    XSetLocaleModifiers("");
    c.inputMethod = XOpenIM(c.display, nullptr, nullptr, nullptr);
    if (c.inputMethod == nullptr)
    {
        XSetLocaleModifiers("@im=none");
        c.inputMethod = XOpenIM(c.display, nullptr, nullptr, nullptr);
    }
    return c.display;
}

// The display while it is there: null without one and once it is lost.
Display* Live()
{
    Connection& c = TheConnection();
    return g_lost ? nullptr : c.display;
}

// A size outside a resizable window's limits came from a window manager that ignores the size
// hints, or from another client with none there: the window asks for the nearest size within
// them, and meanwhile reports that one, so that nothing of the form is laid out out of reach.
// One request for each such size: a manager that insists is not asked without end.
void KeepWithinLimits(Display* display, Window::Impl& impl, int& width, int& height)
{
    if (impl.fixed)
        return;
    int w = std::max(width, impl.minWidth);
    int h = std::max(height, impl.minHeight);
    if (impl.maxWidth > 0)
        w = std::min(w, std::max(impl.maxWidth, impl.minWidth));
    if (impl.maxHeight > 0)
        h = std::min(h, std::max(impl.maxHeight, impl.minHeight));
    if (w == width && h == height)
    {
        impl.refusedWidth = impl.refusedHeight = 0;
        return;
    }
    if (width != impl.refusedWidth || height != impl.refusedHeight)
    {
        impl.refusedWidth = width;
        impl.refusedHeight = height;
        XResizeWindow(display, impl.window, static_cast<unsigned>(w), static_cast<unsigned>(h));
    }
    width = w;
    height = h;
}

void SendEvent(::Window window, const Event& event)
{
    Connection& c = TheConnection();
    auto it = c.windows.find(window);
    if (it != c.windows.end() && it->second->handler)
        it->second->handler(event);
}

void TranslateKey(XKeyEvent& key, bool press, bool repeat)
{
    Connection& c = TheConnection();
    KeySym base = XkbKeycodeToKeysym(c.display, static_cast<KeyCode>(key.keycode), 0, 0);
    Event e;
    e.kind = press ? EventKind::KeyDown : EventKind::KeyUp;
    e.virtualKey = VirtualKeyOf(base);
    e.modifiers = ModifiersOf(key.state);
    e.repeat = repeat;
    if (e.virtualKey != 0)
        SendEvent(key.window, e);
    if (!press)
        return;

    std::u16string text;
    auto ic = c.contexts.find(key.window);
    char buffer[64];
    KeySym sym = NoSymbol;
    if (ic != c.contexts.end() && ic->second != nullptr)
    {
        Status status = 0;
        int n = Xutf8LookupString(ic->second, &key, buffer, sizeof(buffer), &sym, &status);
        if (status == XLookupChars || status == XLookupBoth)
            text = Platform::FromUtf8(std::string(buffer, static_cast<size_t>(n)));
    }
    else
    {
        int n = XLookupString(&key, buffer, sizeof(buffer), &sym, nullptr);
        for (int i = 0; i < n; ++i)
            text += static_cast<char16_t>(static_cast<unsigned char>(buffer[i]));
    }
    // Control characters come from the keys themselves (Enter, Backspace, Escape, Tab), as the
    // platform sends them as characters too; Delete sends none.
    for (char16_t ch : text)
    {
        if (ch == 0x7F)
            continue;
        Event ce;
        ce.kind = EventKind::Char;
        ce.character = ch;
        ce.modifiers = e.modifiers;
        ce.repeat = repeat;
        SendEvent(key.window, ce);
    }
}

void Dispatch(XEvent& event)
{
    Connection& c = TheConnection();
    if (XFilterEvent(&event, None))
        return;
    if (Detail::TransferEvent(event))
        return;
    switch (event.type)
    {
    case Expose:
        Detail::ShowExposed(event);
        break;
    case ButtonPress:
    case ButtonRelease:
    {
        Event e;
        e.x = event.xbutton.x;
        e.y = event.xbutton.y;
        e.modifiers = ModifiersOf(event.xbutton.state);
        unsigned b = event.xbutton.button;
        if (event.type == ButtonPress)
            c.lastPress = event.xbutton.window;
        if (b == 4 || b == 5)
        {
            if (event.type == ButtonRelease)
                break;
            e.kind = EventKind::MouseWheel;
            e.wheel = b == 4 ? 1 : -1;
        }
        else if (b >= 1 && b <= 3)
        {
            e.kind = event.type == ButtonPress ? EventKind::MouseDown : EventKind::MouseUp;
            e.button = b == 1 ? 1 : b == 2 ? 2 : 3;
        }
        else
        {
            break;
        }
        SendEvent(event.xbutton.window, e);
        break;
    }
    case LeaveNotify:
    {
        // Leaving for a child or because a button grabbed the pointer is not leaving.
        if (event.xcrossing.mode != NotifyNormal || event.xcrossing.detail == NotifyInferior)
            break;
        Event e;
        e.kind = EventKind::MouseLeave;
        SendEvent(event.xcrossing.window, e);
        break;
    }
    case MotionNotify:
    {
        Event e;
        e.kind = EventKind::MouseMove;
        e.x = event.xmotion.x;
        e.y = event.xmotion.y;
        e.modifiers = ModifiersOf(event.xmotion.state);
        SendEvent(event.xmotion.window, e);
        break;
    }
    case KeyPress:
    {
        // Only the server's own auto-repeat repeats a key, and one physical press can press a
        // button once only.
        const unsigned code = event.xkey.keycode & 0xFF;
        bool repeat = false;
        if (!SentKey(event.xkey))
        {
            // A press of a key still down (its release never came) is a repeat. Without detectable
            // auto-repeat a held key repeats as release + press with one time stamp; a press read
            // apart from its release is still a repeat.
            repeat = c.detectableRepeat ? c.keysDown.test(code)
                                        : c.lastReleaseKey == event.xkey.keycode && c.lastReleaseTime == event.xkey.time;
            c.keysDown.set(code);
        }
        c.lastReleaseKey = 0;
        TranslateKey(event.xkey, true, repeat);
        break;
    }
    case KeyRelease:
    {
        if (SentKey(event.xkey))
        {
            TranslateKey(event.xkey, false, false);
            break;
        }
        c.keysDown.reset(event.xkey.keycode & 0xFF);
        // Without detectable auto-repeat a held key repeats as release + press with the same time
        // stamp; report it as a repeated press, as the platform does.
        if (!c.detectableRepeat && XEventsQueued(c.display, QueuedAfterReading) > 0)
        {
            XEvent next;
            XPeekEvent(c.display, &next);
            if (next.type == KeyPress && !SentKey(next.xkey) && next.xkey.time == event.xkey.time &&
                next.xkey.keycode == event.xkey.keycode && next.xkey.window == event.xkey.window)
            {
                XNextEvent(c.display, &next);
                c.keysDown.set(next.xkey.keycode & 0xFF);
                if (!XFilterEvent(&next, None))
                    TranslateKey(next.xkey, true, true);
                break;
            }
        }
        c.lastReleaseKey = event.xkey.keycode;
        c.lastReleaseTime = event.xkey.time;
        TranslateKey(event.xkey, false, false);
        break;
    }
    case KeymapNotify:
    {
        // Follows every focus we receive: the keyboard as it is now, keys released elsewhere up.
        if (event.xkeymap.send_event)
            break;
        for (unsigned code = 0; code < 256; ++code)
            c.keysDown.set(code, (event.xkeymap.key_vector[code / 8] >> (code % 8)) & 1);
        break;
    }
    case FocusIn:
    case FocusOut:
    {
        if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab)
            break;
        auto ic = c.contexts.find(event.xfocus.window);
        if (ic != c.contexts.end() && ic->second != nullptr)
        {
            if (event.type == FocusIn)
                XSetICFocus(ic->second);
            else
                XUnsetICFocus(ic->second);
        }
        Event e;
        e.kind = event.type == FocusIn ? EventKind::GotFocus : EventKind::LostFocus;
        SendEvent(event.xfocus.window, e);
        break;
    }
    case ConfigureNotify:
    {
        Event e;
        e.kind = EventKind::Resize;
        e.width = event.xconfigure.width;
        e.height = event.xconfigure.height;
        if (auto it = c.windows.find(event.xconfigure.window); it != c.windows.end())
            KeepWithinLimits(c.display, *it->second, e.width, e.height);
        SendEvent(event.xconfigure.window, e);
        break;
    }
    case MapNotify:
    {
        // Without a window manager nobody gives a new window the focus; take it, as a dialog
        // shown by the user would have it (not a window that leaves the focus where it is).
        if (!c.passive.count(event.xmap.window))
            XSetInputFocus(c.display, event.xmap.window, RevertToParent, CurrentTime);
        break;
    }
    case ClientMessage:
    {
        if (event.xclient.message_type == c.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == c.wmDeleteWindow)
        {
            Event e;
            e.kind = EventKind::Close;
            SendEvent(event.xclient.window, e);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

bool DisplayAvailable() { return OpenDisplay() != nullptr && !g_lost; }

bool DisplayForProgram(const char* program)
{
    if (DisplayAvailable())
        return true;
    const char* reason = HeadlessRequested() ? "KELVANE_HEADLESS is set"
                                             : "DISPLAY is not set or cannot be opened";
    std::fprintf(stderr, "%s: no display to open a window on (%s); for a virtual one, run it under xvfb-run.\n",
                 program, reason);
    return false;
}

bool DisplayLost() { return g_lost; }

bool ScreenSize(int& width, int& height)
{
    Display* display = OpenDisplay();
    if (display == nullptr || g_lost)
        return false;
    int screen = DefaultScreen(display);
    width = DisplayWidth(display, screen);
    height = DisplayHeight(display, screen);
    return true;
}

namespace
{
// The size hints: where the window asks to stand, its size, and the sizes a user may give it (a
// fixed size, or the limits of a resizable one).
void ApplySizeHints(Display* display, ::Window window, int width, int height, const Window::Impl& limits)
{
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr)
        return;
    int screen = DefaultScreen(display);
    hints->flags = PPosition | PSize;
    hints->x = (DisplayWidth(display, screen) - width) / 2;
    hints->y = (DisplayHeight(display, screen) - height) / 2;
    hints->width = width;
    hints->height = height;
    if (limits.fixed)
    {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
    }
    else
    {
        if (limits.minWidth > 0 || limits.minHeight > 0)
        {
            hints->flags |= PMinSize;
            hints->min_width = std::max(limits.minWidth, 1);
            hints->min_height = std::max(limits.minHeight, 1);
        }
        if (limits.maxWidth > 0 || limits.maxHeight > 0)
        {
            // A limit on one side only leaves the other as large as a window may be.
            hints->flags |= PMaxSize;
            hints->max_width = limits.maxWidth > 0 ? limits.maxWidth : 32767;
            hints->max_height = limits.maxHeight > 0 ? limits.maxHeight : 32767;
        }
    }
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

// _NET_WM_STATE as the window's flags give it, for a window manager that reads it when the window
// maps.
void WriteState(Display* display, ::Window window, const Window::Impl& impl)
{
    Connection& c = TheConnection();
    Atom states[2];
    int count = 0;
    if (impl.above)
        states[count++] = c.netWmStateAbove;
    if (impl.modal)
        states[count++] = c.netWmStateModal;
    if (count == 0)
        XDeleteProperty(display, window, c.netWmState);
    else
        XChangeProperty(display, window, c.netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states), count);
}

constexpr unsigned GrabbedPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

// A menu takes the pointer and the keyboard, as desktop menus do: a press anywhere else comes to
// it (and closes it), keys reach it whoever has the focus. Another program may hold them for a
// moment (a key of its own going up), so a few tries are made.
bool Grab(Display* display, ::Window window)
{
    bool pointer = false, keyboard = false;
    for (int attempt = 0; attempt < 20 && !(pointer && keyboard); ++attempt)
    {
        if (attempt > 0)
            usleep(5000);
        // The pointer's events over our own windows go to them as usual; the keys all come here.
        pointer = pointer || XGrabPointer(display, window, True, GrabbedPointerEvents, GrabModeAsync, GrabModeAsync,
                                          None, None, CurrentTime) == GrabSuccess;
        keyboard = keyboard ||
                   XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    }
    return pointer || keyboard;
}

void Ungrab(Display* display, Window::Impl& impl)
{
    if (!impl.grabbed)
        return;
    impl.grabbed = false;
    XUngrabPointer(display, CurrentTime);
    XUngrabKeyboard(display, CurrentTime);
}

// And the request that changes one state of a window a window manager manages already.
void RequestState(Display* display, ::Window window, Atom state, bool on)
{
    Connection& c = TheConnection();
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = c.netWmState;
    request.xclient.format = 32;
    request.xclient.data.l[0] = on ? 1 : 0; // add or remove
    request.xclient.data.l[1] = static_cast<long>(state);
    request.xclient.data.l[3] = 1; // from an application
    XSendEvent(display, RootWindow(display, c.screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
}
} // namespace

Window::Window(const std::u16string& title, int clientWidth, int clientHeight, bool fixedSize,
               Handler handler)
    : impl_(std::make_unique<Impl>())
{
    impl_->handler = std::move(handler);
    impl_->width = clientWidth > 0 ? clientWidth : 1;
    impl_->height = clientHeight > 0 ? clientHeight : 1;
    Display* display = OpenDisplay();
    if (display == nullptr || g_lost)
        return;
    Connection& c = TheConnection();
    int x = (DisplayWidth(display, c.screen) - impl_->width) / 2;
    int y = (DisplayHeight(display, c.screen) - impl_->height) / 2;
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None; // the form paints everything; no flashing background
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                            ButtonReleaseMask | PointerMotionMask | FocusChangeMask | LeaveWindowMask |
                            StructureNotifyMask | KeymapStateMask;
    impl_->window = XCreateWindow(display, RootWindow(display, c.screen), x, y,
                                  static_cast<unsigned>(impl_->width),
                                  static_cast<unsigned>(impl_->height), 0, c.depth, InputOutput,
                                  c.visual, CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
    XSetWMProtocols(display, impl_->window, &c.wmDeleteWindow, 1);
    impl_->fixed = fixedSize;
    ApplySizeHints(display, impl_->window, impl_->width, impl_->height, *impl_);
    // Who the window belongs to: the program's class, its process on this machine, and that it
    // takes the keyboard when the window manager gives it.
    XChangeProperty(display, impl_->window, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(c.className.data()),
                    static_cast<int>(c.className.size()));
    long pid = static_cast<long>(getpid());
    XChangeProperty(display, impl_->window, c.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) == 0)
        XChangeProperty(display, impl_->window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(host), static_cast<int>(std::strlen(host)));
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(display, impl_->window, &wmHints);
    impl_->gc = XCreateGC(display, impl_->window, 0, nullptr);
    c.windows[impl_->window] = impl_.get();
    Detail::WindowCreated(impl_->window);
    if (c.inputMethod != nullptr)
    {
        XIC ic = XCreateIC(c.inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                           XNClientWindow, impl_->window, XNFocusWindow, impl_->window, nullptr);
        if (ic != nullptr)
        {
            long filter = 0;
            XGetICValues(ic, XNFilterEvents, &filter, nullptr);
            XSelectInput(display, impl_->window, attributes.event_mask | filter);
        }
        c.contexts[impl_->window] = ic;
    }
    SetTitle(title);
}

Window::~Window()
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || c.display == nullptr)
        return;
    if (g_lost)
    {
        // The server is gone: no request is sent any more, only the library's own memory of the
        // window is given back.
        c.contexts.erase(impl_->window);
        c.windows.erase(impl_->window);
        c.passive.erase(impl_->window);
        XFreeGC(c.display, impl_->gc);
        return;
    }
    auto ic = c.contexts.find(impl_->window);
    if (ic != c.contexts.end())
    {
        if (ic->second != nullptr)
            XDestroyIC(ic->second);
        c.contexts.erase(ic);
    }
    c.windows.erase(impl_->window);
    c.passive.erase(impl_->window);
    Ungrab(c.display, *impl_);
    XFreeGC(c.display, impl_->gc);
    XDestroyWindow(c.display, impl_->window);
    XFlush(c.display);
}

void Window::Show()
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || impl_->visible || g_lost)
        return;
    if (impl_->overrideRedirect != impl_->overrideGiven)
    {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = impl_->overrideRedirect ? True : False;
        XChangeWindowAttributes(c.display, impl_->window, CWOverrideRedirect, &attributes);
        impl_->overrideGiven = impl_->overrideRedirect;
    }
    if (impl_->placePending)
    {
        XMoveWindow(c.display, impl_->window, impl_->placeX, impl_->placeY);
        impl_->placePending = false;
    }
    // A menu mapped under the pointer takes it from the window below, and a window manager whose
    // focus follows the pointer would see it leave the menu's owner and take the owner's focus.
    // Held first (over the screen, until the menu has it), the pointer's crossing is told to us
    // alone.
    const bool grabs = impl_->grabs && impl_->overrideRedirect;
    const bool held = grabs && XGrabPointer(c.display, DefaultRootWindow(c.display), True, GrabbedPointerEvents,
                                            GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    XMapRaised(c.display, impl_->window);
    impl_->visible = true;
    // Unmanaged, the window is mapped once the server reads the request: it can be grabbed now.
    if (grabs)
        impl_->grabbed = Grab(c.display, impl_->window);
    if (held && !impl_->grabbed)
        XUngrabPointer(c.display, CurrentTime);
    XFlush(c.display);
}

void Window::Hide()
{
    Connection& c = TheConnection();
    impl_->visible = impl_->visible && !g_lost;
    if (impl_->window == 0 || !impl_->visible)
        return;
    Ungrab(c.display, *impl_);
    XUnmapWindow(c.display, impl_->window);
    impl_->visible = false;
    XFlush(c.display);
}

bool Window::Visible() const { return impl_->visible; }

void Window::SetTitle(const std::u16string& title)
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || g_lost)
        return;
    std::string utf8 = Platform::ToUtf8(title.c_str(), title.size());
    XChangeProperty(c.display, impl_->window, c.netWmName, c.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    // The old property for window managers that only read it: Latin-1 with '?' for the rest.
    std::string latin;
    for (char16_t ch : title)
        latin += ch < 0x100 ? static_cast<char>(ch) : '?';
    XStoreName(c.display, impl_->window, latin.c_str());
}

void Window::SetClientSize(int width, int height, bool fixedSize)
{
    Connection& c = TheConnection();
    impl_->width = width > 0 ? width : 1;
    impl_->height = height > 0 ? height : 1;
    if (impl_->window == 0 || g_lost)
        return;
    impl_->fixed = fixedSize;
    ApplySizeHints(c.display, impl_->window, impl_->width, impl_->height, *impl_);
    XResizeWindow(c.display, impl_->window, static_cast<unsigned>(impl_->width),
                  static_cast<unsigned>(impl_->height));
    XFlush(c.display);
}

int Window::ClientWidth() const { return impl_->width; }
int Window::ClientHeight() const { return impl_->height; }

void Window::Present(const uint32_t* pixels, int width, int height, int stride, int x, int y,
                     int w, int h)
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || g_lost || pixels == nullptr || width <= 0 || height <= 0 ||
        stride < width)
        return;
    // Clip the rectangle to the buffer.
    if (x < 0)
    {
        w += x;
        x = 0;
    }
    if (y < 0)
    {
        h += y;
        y = 0;
    }
    if (x + w > width)
        w = width - x;
    if (y + h > height)
        h = height - y;
    if (w <= 0 || h <= 0)
        return;
    if (c.directPixels)
    {
        XImage image{};
        image.width = width;
        image.height = height;
        image.format = ZPixmap;
        image.data = reinterpret_cast<char*>(const_cast<uint32_t*>(pixels));
        image.byte_order = LSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = LSBFirst;
        image.bitmap_pad = 32;
        image.depth = c.depth;
        image.bytes_per_line = stride * 4;
        image.bits_per_pixel = 32;
        image.red_mask = 0xFF0000;
        image.green_mask = 0xFF00;
        image.blue_mask = 0xFF;
        if (!XInitImage(&image))
            return;
        XPutImage(c.display, impl_->window, impl_->gc, &image, x, y, x, y,
                  static_cast<unsigned>(w), static_cast<unsigned>(h));
    }
    else
    {
        // A visual of another layout: convert the rectangle pixel by pixel.
        XImage* native = XCreateImage(c.display, c.visual, static_cast<unsigned>(c.depth), ZPixmap,
                                      0, nullptr, static_cast<unsigned>(w),
                                      static_cast<unsigned>(h), 32, 0);
        if (native == nullptr)
            return;
        impl_->converted.resize(static_cast<size_t>(native->bytes_per_line) * h / 4 + 1);
        native->data = reinterpret_cast<char*>(impl_->converted.data());
        auto place = [](uint32_t v8, unsigned long mask) {
            if (mask == 0)
                return 0ul;
            int shift = __builtin_ctzl(mask);
            unsigned long bits = mask >> shift;
            return (static_cast<unsigned long>(v8) * bits / 255) << shift;
        };
        for (int row = 0; row < h; ++row)
        {
            for (int col = 0; col < w; ++col)
            {
                uint32_t p = pixels[static_cast<size_t>(y + row) * stride + x + col];
                XPutPixel(native, col, row,
                          place((p >> 16) & 0xFF, c.visual->red_mask) |
                              place((p >> 8) & 0xFF, c.visual->green_mask) |
                              place(p & 0xFF, c.visual->blue_mask));
            }
        }
        XPutImage(c.display, impl_->window, impl_->gc, native, 0, 0, x, y,
                  static_cast<unsigned>(w), static_cast<unsigned>(h));
        native->data = nullptr;
        XDestroyImage(native);
    }
    XFlush(c.display);
}

unsigned long Window::NativeId() const { return impl_->window; }

void Window::SetDecorated(bool decorated)
{
    Connection& c = TheConnection();
    if (impl_->window == 0)
        return;
    if (decorated)
        XDeleteProperty(c.display, impl_->window, c.motifWmHints);
    else
    {
        // flags: decorations given; decorations: none.
        long hints[5] = {2, 0, 0, 0, 0};
        XChangeProperty(c.display, impl_->window, c.motifWmHints, c.motifWmHints, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(hints), 5);
    }
    XFlush(c.display);
}

void Window::SetAbove(bool above)
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || g_lost)
        return;
    // The property for a window manager that reads it when the window maps, and the request for
    // one that manages the window already.
    impl_->above = above;
    WriteState(c.display, impl_->window, *impl_);
    RequestState(c.display, impl_->window, c.netWmStateAbove, above);
    if (above)
        XRaiseWindow(c.display, impl_->window);
    XFlush(c.display);
}

void Window::SetRole(WindowType type, unsigned long owner, bool modal)
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || g_lost)
        return;
    if (owner != 0 && owner != impl_->window)
        XSetTransientForHint(c.display, impl_->window, owner);
    else
        XDeleteProperty(c.display, impl_->window, XA_WM_TRANSIENT_FOR);
    impl_->overrideRedirect = type == WindowType::PopupMenu || type == WindowType::Tooltip || type == WindowType::Combo;
    impl_->grabs = type == WindowType::PopupMenu;
    // A hint shows where the pointer is, often under it, and must not take it: the window below
    // would see the pointer leave, and a window manager whose focus follows the pointer would take
    // its focus away. With an empty input region the pointer stays with the window below. Without
    // the extension the hint takes the pointer as any window does. A form's role follows its class,
    // so a hint stays one: its region is set once.
    if (type == WindowType::Tooltip && c.inputShapes && !impl_->passThrough)
    {
        XShapeCombineRectangles(c.display, impl_->window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        impl_->passThrough = true;
    }
    Atom typeAtom = c.windowTypes[static_cast<int>(type)];
    XChangeProperty(c.display, impl_->window, c.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&typeAtom), 1);
    if (modal != impl_->modal)
    {
        impl_->modal = modal;
        WriteState(c.display, impl_->window, *impl_);
        if (impl_->visible)
            RequestState(c.display, impl_->window, c.netWmStateModal, modal);
    }
    XFlush(c.display);
}

void Window::SetSizeLimits(int minWidth, int minHeight, int maxWidth, int maxHeight)
{
    Connection& c = TheConnection();
    impl_->minWidth = std::max(minWidth, 0);
    impl_->minHeight = std::max(minHeight, 0);
    impl_->maxWidth = std::max(maxWidth, 0);
    impl_->maxHeight = std::max(maxHeight, 0);
    if (impl_->window == 0 || g_lost)
        return;
    ApplySizeHints(c.display, impl_->window, impl_->width, impl_->height, *impl_);
    XFlush(c.display);
}

void Window::Raise()
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || !impl_->visible || g_lost)
        return;
    // A window manager takes the raise of the window it frames as a raise of the frame; one that
    // keeps the stacking to itself is asked to activate the window instead.
    XRaiseWindow(c.display, impl_->window);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = impl_->window;
    request.xclient.message_type = c.netActiveWindow;
    request.xclient.format = 32;
    request.xclient.data.l[0] = 1; // from an application
    request.xclient.data.l[1] = CurrentTime;
    XSendEvent(c.display, RootWindow(c.display, c.screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(c.display);
}

void Window::Move(int x, int y)
{
    Connection& c = TheConnection();
    if (impl_->window == 0)
        return;
    // A hidden window moves as it shows, once it is known whether a window manager places it: a
    // popup moved before it is one asks the manager to move it, which a busy manager does only
    // after the popup has shown where it was made.
    if (!impl_->visible)
    {
        impl_->placePending = true;
        impl_->placeX = x;
        impl_->placeY = y;
        return;
    }
    XMoveWindow(c.display, impl_->window, x, y);
    XFlush(c.display);
}

bool Window::ScreenPosition(int& x, int& y) const
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || g_lost || !c.display)
        return false;
    ::Window child = 0;
    return XTranslateCoordinates(c.display, impl_->window, DefaultRootWindow(c.display), 0, 0, &x, &y, &child) != 0;
}

void Window::SetActivates(bool activates)
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || g_lost)
        return;
    if (activates)
        c.passive.erase(impl_->window);
    else
        c.passive.insert(impl_->window);
}

void Window::Focus()
{
    Connection& c = TheConnection();
    if (impl_->window == 0 || !impl_->visible || g_lost)
        return;
    XSetInputFocus(c.display, impl_->window, RevertToParent, CurrentTime);
    XFlush(c.display);
}

int ProcessEvents()
{
    Connection& c = TheConnection();
    if (Live() == nullptr)
        return 0;
    int count = 0;
    Detail::TransferTimers();
    while (!g_lost && XPending(c.display) > 0)
    {
        XEvent event;
        XNextEvent(c.display, &event);
        Dispatch(event);
        ++count;
    }
    return count;
}

bool WaitForEvents(int timeoutMs)
{
    Connection& c = TheConnection();
    if (c.display == nullptr)
        return false;
    if (g_lost)
    {
        // No events will ever come: the wait is the time alone, so that a loop waiting on the
        // display does not spin.
        poll(nullptr, 0, timeoutMs < 0 ? 100 : timeoutMs);
        return false;
    }
    if (XPending(c.display) > 0)
        return true;
    pollfd fd{ConnectionNumber(c.display), POLLIN, 0};
    int r = poll(&fd, 1, timeoutMs < 0 ? -1 : timeoutMs);
    return r > 0 && !g_lost && XPending(c.display) > 0;
}

void Flush()
{
    Connection& c = TheConnection();
    if (Live() != nullptr)
        XFlush(c.display);
}

bool CloseDisplay()
{
    Connection& c = TheConnection();
    if (!c.windows.empty())
        return false;
    if (c.display != nullptr)
    {
        Detail::DisplayClosing();
        if (c.inputMethod != nullptr)
            XCloseIM(c.inputMethod);
        if (c.utility != 0)
            XDestroyWindow(c.display, c.utility);
        XCloseDisplay(c.display);
    }
    c = Connection();
    return true;
}

void Sync()
{
    Connection& c = TheConnection();
    if (Live() != nullptr)
        XSync(c.display, False);
}

namespace Detail
{
Display* LiveDisplay()
{
    if (OpenDisplay() == nullptr || g_lost)
        return nullptr;
    return TheConnection().display;
}

::Window Utility()
{
    return TheConnection().utility;
}

bool OwnWindow(::Window window)
{
    return window != 0 && TheConnection().windows.count(window) > 0;
}

void ShowExposed(const XEvent& event)
{
    Event e;
    e.kind = EventKind::Paint;
    e.x = event.xexpose.x;
    e.y = event.xexpose.y;
    e.width = event.xexpose.width;
    e.height = event.xexpose.height;
    SendEvent(event.xexpose.window, e);
}

::Window LastPressWindow()
{
    Connection& c = TheConnection();
    return c.windows.count(c.lastPress) ? c.lastPress : 0;
}
} // namespace Detail

} // namespace X11
