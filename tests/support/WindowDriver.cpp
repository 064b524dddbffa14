#include "tests/support/WindowDriver.h"
#include "tests/support/DisplayConnection.h"
#include "tests/support/ReferenceImage.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace
{
// A window of ours vanishing between listing and asking must not end the test program.
int IgnoreErrors(::Display*, XErrorEvent*)
{
    return 0;
}

std::string PropertyText(::Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success ||
        !data)
        return {};
    std::string text(reinterpret_cast<char*>(data), format == 8 ? count : 0);
    XFree(data);
    return text;
}

bool Mapped(::Display* display, Window window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}
} // namespace

WindowDriver::WindowDriver()
{
    m_display = ConnectToDisplay();
    if (m_display)
        XSetErrorHandler(IgnoreErrors);
}

WindowDriver::~WindowDriver()
{
    End();
    if (m_display)
        XCloseDisplay(m_display);
}

bool WindowDriver::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& errorLog, const std::vector<std::string>& environment)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0)
    {
        int fd = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0)
            dup2(fd, 2);
        unsetenv("KELVANE_HEADLESS");
        for (const auto& entry : environment)
            putenv(const_cast<char*>(entry.c_str()));
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    m_pid = pid;
    m_status = -1;
    return true;
}

int WindowDriver::Wait(std::chrono::milliseconds timeout)
{
    if (m_pid <= 0)
        return m_status;
    auto deadline = Clock::now() + timeout;
    for (;;)
    {
        int status = 0;
        pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid)
        {
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return m_status;
        }
        if (Clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool WindowDriver::Running()
{
    return Wait(std::chrono::milliseconds(0)) == -1 && m_pid > 0;
}

void WindowDriver::Disconnect()
{
    if (m_display)
        XCloseDisplay(m_display);
    m_display = nullptr;
}

int WindowDriver::End(std::chrono::milliseconds deadline)
{
    if (m_pid <= 0)
        return m_status;
    kill(m_pid, SIGTERM);
    const int status = Wait(deadline);
    if (status != -1)
        return status;
    Kill();
    return 128 + SIGKILL;
}

void WindowDriver::Kill()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::string WindowDriver::Title(unsigned long window)
{
    std::string title = PropertyText(m_display, window, XInternAtom(m_display, "_NET_WM_NAME", False));
    if (title.empty())
        title = PropertyText(m_display, window, XA_WM_NAME);
    return title;
}

unsigned long WindowDriver::FindWindow(const std::string& title, std::chrono::milliseconds timeout,
                                       unsigned long except)
{
    // The topmost first; a window manager's frame is looked into for the window it holds.
    auto search = [&](auto& self, Window under, int depth) -> unsigned long
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        unsigned long found = 0;
        if (!XQueryTree(m_display, under, &root, &parent, &children, &count))
            return 0;
        for (unsigned i = count; i-- > 0 && !found;)
        {
            if (children[i] == except || !Mapped(m_display, children[i]))
                continue;
            if (Title(children[i]) == title)
                found = children[i];
            else if (depth > 0)
                found = self(self, children[i], depth - 1);
        }
        if (children)
            XFree(children);
        return found;
    };
    auto deadline = Clock::now() + timeout;
    do
    {
        XSync(m_display, False);
        if (const unsigned long found = search(search, DefaultRootWindow(m_display), 2))
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    } while (Clock::now() < deadline);
    return 0;
}

bool WindowDriver::WaitGone(unsigned long window, std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline)
    {
        XSync(m_display, False);
        if (!Mapped(m_display, window))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

void WindowDriver::Size(unsigned long window, int& width, int& height)
{
    XWindowAttributes attributes;
    width = height = 0;
    if (XGetWindowAttributes(m_display, window, &attributes))
    {
        width = attributes.width;
        height = attributes.height;
    }
}

std::vector<uint32_t> WindowDriver::Pixels(unsigned long window, int& width, int& height)
{
    Size(window, width, height);
    std::vector<uint32_t> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    XImage* image = XGetImage(m_display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * width + x] =
                static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixels;
}

void WindowDriver::MoveTo(unsigned long window, int x, int y)
{
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, CurrentTime);
    XFlush(m_display);
}

void WindowDriver::Click(unsigned long window, int x, int y, int button)
{
    MoveTo(window, x, y);
    Settle(std::chrono::milliseconds(30));
    ButtonDown(button);
    ButtonUp(button);
}

void WindowDriver::ButtonDown(int button)
{
    XTestFakeButtonEvent(m_display, static_cast<unsigned>(button), True, CurrentTime);
    XFlush(m_display);
}

void WindowDriver::ButtonUp(int button)
{
    XTestFakeButtonEvent(m_display, static_cast<unsigned>(button), False, CurrentTime);
    XFlush(m_display);
}

void WindowDriver::Focus(unsigned long window)
{
    XSetInputFocus(m_display, window, RevertToPointerRoot, CurrentTime);
    XFlush(m_display);
}

void WindowDriver::Key(unsigned long keysym, bool shift, bool control)
{
    KeyCode code = XKeysymToKeycode(m_display, keysym);
    if (code == 0)
        return;
    KeyCode shiftCode = XKeysymToKeycode(m_display, XK_Shift_L);
    KeyCode controlCode = XKeysymToKeycode(m_display, XK_Control_L);
    if (shift)
        XTestFakeKeyEvent(m_display, shiftCode, True, CurrentTime);
    if (control)
        XTestFakeKeyEvent(m_display, controlCode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    if (control)
        XTestFakeKeyEvent(m_display, controlCode, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(m_display, shiftCode, False, CurrentTime);
    XFlush(m_display);
}

void WindowDriver::SendKey(unsigned long window, unsigned long keysym)
{
    KeyCode code = XKeysymToKeycode(m_display, keysym);
    if (code == 0)
        return;
    for (bool press : {true, false})
    {
        XEvent event;
        std::memset(&event, 0, sizeof event);
        XKeyEvent& key = event.xkey;
        key.type = press ? KeyPress : KeyRelease;
        key.display = m_display;
        key.window = window;
        key.root = DefaultRootWindow(m_display);
        key.time = CurrentTime;
        key.same_screen = True;
        key.keycode = code;
        XSendEvent(m_display, window, True, press ? KeyPressMask : KeyReleaseMask, &event);
    }
    // Both at once, as they reach a program busy for a moment: the release still finds the window.
    XFlush(m_display);
}

void WindowDriver::HoldKey(unsigned long keysym, bool down)
{
    KeyCode code = XKeysymToKeycode(m_display, keysym);
    if (code == 0)
        return;
    XTestFakeKeyEvent(m_display, code, down ? True : False, CurrentTime);
    XFlush(m_display);
}

void WindowDriver::RootOrigin(unsigned long window, int& x, int& y)
{
    Window child;
    x = y = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
}

void WindowDriver::Type(const std::string& text)
{
    for (char c : text)
    {
        KeySym sym = static_cast<unsigned char>(c);
        switch (c)
        {
        case '/':
            sym = XK_slash;
            break;
        case '.':
            sym = XK_period;
            break;
        case '-':
            sym = XK_minus;
            break;
        case '_':
            sym = XK_underscore;
            break;
        case ' ':
            sym = XK_space;
            break;
        default:
            break;
        }
        KeyCode code = XKeysymToKeycode(m_display, sym);
        // Shift when the key's unshifted symbol is not the one asked for (capitals, '_').
        bool shift = code != 0 && XkbKeycodeToKeysym(m_display, code, 0, 0) != sym;
        Key(sym, shift);
    }
}

void WindowDriver::Settle(std::chrono::milliseconds time)
{
    XSync(m_display, False);
    std::this_thread::sleep_for(time);
    XSync(m_display, False);
}

bool WindowDriver::Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!done())
    {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void WindowDriver::Resize(unsigned long window, int width, int height)
{
    XResizeWindow(m_display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(m_display);
}

void WindowDriver::Remap(unsigned long window)
{
    XUnmapWindow(m_display, window);
    XSync(m_display, False);
    XMapWindow(m_display, window);
    XFlush(m_display);
}

void WindowDriver::RequestClose(unsigned long window)
{
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
}

size_t CountDifferentPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance)
{
    if (a.size() != b.size())
        return std::max(a.size(), b.size());
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i)
        count += !ColoursNear(a[i], b[i], tolerance);
    return count;
}
