#include "tests/support/XProbe.h"
#include "tests/support/DisplayConnection.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <thread>

#include <poll.h>

XProbe::XProbe(const std::string& displayName) : m_display(ConnectToDisplay(displayName)) {}

XProbe::~XProbe()
{
    if (m_display)
        XCloseDisplay(m_display);
}

void XProbe::RootPosition(unsigned long window, int x, int y, int& rootX, int& rootY)
{
    Window child = 0;
    rootX = rootY = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
}

void XProbe::MoveToRoot(int x, int y)
{
    XTestFakeMotionEvent(m_display, -1, x, y, 0);
    XSync(m_display, False);
}

bool XProbe::PointerFree()
{
    int status = XGrabPointer(m_display, DefaultRootWindow(m_display), False, ButtonPressMask, GrabModeAsync,
                              GrabModeAsync, None, None, CurrentTime);
    if (status == GrabSuccess)
        XUngrabPointer(m_display, CurrentTime);
    XSync(m_display, False);
    return status == GrabSuccess;
}

bool XProbe::KeyboardFree()
{
    int status = XGrabKeyboard(m_display, DefaultRootWindow(m_display), False, GrabModeAsync, GrabModeAsync,
                               CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(m_display, CurrentTime);
    XSync(m_display, False);
    return status == GrabSuccess;
}

void XProbe::PlaceWindow(unsigned long window, int x, int y)
{
    XMoveWindow(m_display, window, x, y);
    XSync(m_display, False);
}

bool XProbe::Viewable(unsigned long window)
{
    XWindowAttributes a{};
    return window != 0 && XGetWindowAttributes(m_display, window, &a) && a.map_state == IsViewable;
}

bool XProbe::HasFocus(unsigned long window)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return window != 0 && focus == window;
}

uint32_t XProbe::ReadPixel(unsigned long window, int x, int y)
{
    XImage* image = XGetImage(m_display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return 0xDEADBEEF;
    uint32_t p = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
}

bool XProbe::WindowSize(unsigned long window, int& width, int& height)
{
    XWindowAttributes a{};
    if (!XGetWindowAttributes(m_display, window, &a))
        return false;
    width = a.width;
    height = a.height;
    return true;
}

bool XProbe::WindowPlace(unsigned long window, int& x, int& y, int& width, int& height)
{
    XWindowAttributes a{};
    if (!XGetWindowAttributes(m_display, window, &a))
        return false;
    Window child;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
    width = a.width;
    height = a.height;
    return true;
}

bool XProbe::Decorated(unsigned long window)
{
    Atom hints = XInternAtom(m_display, "_MOTIF_WM_HINTS", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, hints, 0, 5, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success)
        return true;
    bool decorated = true;
    if (data && format == 32 && count >= 3)
    {
        const long* words = reinterpret_cast<const long*>(data);
        // Flag 2: the decorations word counts; 0 there means none.
        decorated = !((words[0] & 2) != 0 && words[2] == 0);
    }
    if (data)
        XFree(data);
    return decorated;
}

bool XProbe::KeptAbove(unsigned long window)
{
    Atom state = XInternAtom(m_display, "_NET_WM_STATE", False);
    Atom above = XInternAtom(m_display, "_NET_WM_STATE_ABOVE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                           &data) != Success)
        return false;
    bool found = false;
    if (data && format == 32)
    {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            found = found || atoms[i] == above;
    }
    if (data)
        XFree(data);
    return found;
}

bool XProbe::Topmost(unsigned long window)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return false;
    // Children come bottom first: the last mapped one is on top.
    Window top = 0;
    for (unsigned i = 0; i < count; ++i)
    {
        XWindowAttributes a{};
        if (XGetWindowAttributes(m_display, children[i], &a) && a.map_state == IsViewable)
            top = children[i];
    }
    if (children)
        XFree(children);
    return top != 0 && top == window;
}

void XProbe::Key(const char* keysym, const char* modifier)
{
    KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysym));
    KeyCode mod = modifier ? XKeysymToKeycode(m_display, XStringToKeysym(modifier)) : 0;
    if (mod)
        XTestFakeKeyEvent(m_display, mod, True, 0);
    if (code)
    {
        XTestFakeKeyEvent(m_display, code, True, 0);
        XTestFakeKeyEvent(m_display, code, False, 0);
    }
    if (mod)
        XTestFakeKeyEvent(m_display, mod, False, 0);
    XSync(m_display, False);
}

void XProbe::MoveTo(unsigned long window, int x, int y)
{
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, 0);
}

void XProbe::Button(int button, bool down)
{
    XTestFakeButtonEvent(m_display, static_cast<unsigned>(button), down ? True : False, 0);
    XSync(m_display, False);
}

void XProbe::HoldKey(const char* keysym, bool down)
{
    KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysym));
    if (code)
        XTestFakeKeyEvent(m_display, code, down ? True : False, 0);
    XSync(m_display, False);
}

void XProbe::Wheel(int notches)
{
    unsigned button = notches > 0 ? 4 : 5;
    for (int i = 0; i < (notches > 0 ? notches : -notches); ++i)
    {
        XTestFakeButtonEvent(m_display, button, True, 0);
        XTestFakeButtonEvent(m_display, button, False, 0);
    }
    XSync(m_display, False);
}

void XProbe::ClickAt(unsigned long window, int x, int y)
{
    MoveTo(window, x, y);
    XTestFakeButtonEvent(m_display, 1, True, 0);
    XTestFakeButtonEvent(m_display, 1, False, 0);
    XSync(m_display, False);
}

void XProbe::ResizeWindow(unsigned long window, int width, int height)
{
    XResizeWindow(m_display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(m_display, False);
}

void XProbe::ExposeAll(unsigned long window)
{
    XClearArea(m_display, window, 0, 0, 0, 0, True);
    XSync(m_display, False);
}

void XProbe::Smear(unsigned long window, uint32_t rgb)
{
    int width = 0, height = 0;
    if (!WindowSize(window, width, height))
        return;
    GC gc = XCreateGC(m_display, window, 0, nullptr);
    XSetForeground(m_display, gc, rgb);
    XFillRectangle(m_display, window, gc, 0, 0, unsigned(width), unsigned(height));
    XFreeGC(m_display, gc);
    XEvent e{};
    e.xexpose.type = Expose;
    e.xexpose.window = window;
    e.xexpose.width = width;
    e.xexpose.height = height;
    XSendEvent(m_display, window, False, ExposureMask, &e);
    XSync(m_display, False);
}

void XProbe::FocusElsewhere()
{
    XSetInputFocus(m_display, None, RevertToNone, CurrentTime);
    XSync(m_display, False);
}

void XProbe::RequestClose(unsigned long window)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &e);
    XSync(m_display, False);
}

bool XProbe::ClipboardOwned()
{
    return XGetSelectionOwner(m_display, XInternAtom(m_display, "CLIPBOARD", False)) != None;
}

void XProbe::Sync()
{
    XSync(m_display, False);
}

XProbe::CursorPicture XProbe::PointerPicture()
{
    CursorPicture picture;
    XSync(m_display, False);
    XFixesCursorImage* image = XFixesGetCursorImage(m_display);
    if (!image)
        return picture;
    picture.width = image->width;
    picture.height = image->height;
    picture.xhot = image->xhot;
    picture.yhot = image->yhot;
    for (int i = 0; i < image->width * image->height; ++i)
        picture.argb.push_back(static_cast<uint32_t>(image->pixels[i]));
    XFree(image);
    return picture;
}

XProbe::CursorPicture XProbe::FontCursorPicture(unsigned glyph)
{
    Window root = DefaultRootWindow(m_display);
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    Window r, child;
    XQueryPointer(m_display, root, &r, &child, &rootX, &rootY, &x, &y, &mask);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    Cursor cursor = XCreateFontCursor(m_display, glyph);
    attributes.cursor = cursor;
    Window window = XCreateWindow(m_display, root, 0, 0, 40, 40, 0, CopyFromParent, InputOnly, CopyFromParent,
                                  CWOverrideRedirect | CWCursor, &attributes);
    XMapRaised(m_display, window);
    XSync(m_display, False);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), 20, 20, 0);
    XSync(m_display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    CursorPicture picture = PointerPicture();
    XDestroyWindow(m_display, window);
    XFreeCursor(m_display, cursor);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, 0);
    XSync(m_display, False);
    return picture;
}

uint32_t XProbe::ReadScreenPixel(int x, int y)
{
    return ReadPixel(DefaultRootWindow(m_display), x, y);
}

void XProbe::RootOrigin(unsigned long window, int& x, int& y)
{
    Window child;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
}

void XProbe::Watch(unsigned long window)
{
    m_watched = window;
    XSelectInput(m_display, window, LeaveWindowMask | FocusChangeMask);
    XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
    XSync(m_display, True); // nothing from before
}

std::vector<std::string> XProbe::Seen()
{
    std::vector<std::string> seen;
    XSync(m_display, False);
    while (XPending(m_display) > 0)
    {
        XEvent e;
        XNextEvent(m_display, &e);
        if (e.type == LeaveNotify && e.xcrossing.window == m_watched)
            seen.push_back("leave");
        else if (e.type == FocusOut && e.xfocus.window == m_watched)
            seen.push_back("focus-out");
        else if (e.type == UnmapNotify)
            seen.push_back("unmap");
    }
    return seen;
}

ClipboardServer::ClipboardServer(const std::string& displayName, std::string text)
{
    Display* d = ConnectToDisplay(displayName);
    if (!d)
        return;
    Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    XSetSelectionOwner(d, clipboard, owner, CurrentTime);
    XSync(d, False);
    m_thread = std::thread(
        [this, d, text = std::move(text)]
        {
            Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
            while (!m_done)
            {
                while (XPending(d) > 0)
                {
                    XEvent e;
                    XNextEvent(d, &e);
                    if (e.type != SelectionRequest)
                        continue;
                    XSelectionRequestEvent& r = e.xselectionrequest;
                    XSelectionEvent reply{};
                    reply.type = SelectionNotify;
                    reply.requestor = r.requestor;
                    reply.selection = r.selection;
                    reply.target = r.target;
                    reply.time = r.time;
                    reply.property = None;
                    if (r.target == utf8)
                    {
                        XChangeProperty(d, r.requestor, r.property, utf8, 8, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
                        reply.property = r.property;
                    }
                    XSendEvent(d, r.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
                    XFlush(d);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            XCloseDisplay(d);
        });
}

ClipboardServer::~ClipboardServer()
{
    m_done = true;
    if (m_thread.joinable())
        m_thread.join();
}

KeyboardHolder::KeyboardHolder(const std::string& displayName, std::chrono::milliseconds hold)
{
    Display* d = ConnectToDisplay(displayName);
    if (!d)
        return;
    const Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    m_holding = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    XSync(d, False);
    m_thread = std::thread(
        [this, d, hold]
        {
            pollfd connection{ConnectionNumber(d), POLLIN, 0};
            while (!m_done && !m_released)
            {
                while (!m_released && XPending(d) > 0)
                {
                    XEvent e;
                    XNextEvent(d, &e);
                    if (e.type != MapNotify || !e.xmap.override_redirect)
                        continue;
                    std::this_thread::sleep_for(hold);
                    XUngrabKeyboard(d, CurrentTime);
                    XSync(d, False);
                    m_released = true;
                }
                // Wakes for the next event, and now and then to see whether the test is over.
                if (!m_released)
                    poll(&connection, 1, 50);
            }
            XCloseDisplay(d);
        });
}

KeyboardHolder::~KeyboardHolder()
{
    m_done = true;
    if (m_thread.joinable())
        m_thread.join();
}
