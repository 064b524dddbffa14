#include "tests/support/WindowManager.h"
#include "tests/support/DisplayConnection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

// Whether a client (the manager) redirects the root's substructure: seen in the masks every
// client selected, without competing for it.
bool Managed(Display* display)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, DefaultRootWindow(display), &attributes) &&
           (attributes.all_event_masks & SubstructureRedirectMask) != 0;
}

std::vector<std::string> AtomList(Display* display, Window window, const char* property)
{
    std::vector<std::string> names;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 64, False, XA_ATOM, &type,
                           &format, &count, &after, &data) != Success ||
        !data)
        return names;
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && format == 32; ++i)
        if (char* name = XGetAtomName(display, atoms[i]))
        {
            names.emplace_back(name);
            XFree(name);
        }
    XFree(data);
    return names;
}
} // namespace

WindowManager::WindowManager(const std::string& displayName)
{
    std::string path = (std::filesystem::temp_directory_path() / "kelvane-twmrc-XXXXXX").string();
    int fd = mkstemp(path.data());
    if (fd < 0)
    {
        m_error = "no configuration file";
        return;
    }
    m_config = path;
    // The server's built-in font only: a virtual display may have no other.
    const std::string config = "NoGrabServer\n"
                               "TitleFont \"fixed\"\nResizeFont \"fixed\"\nMenuFont \"fixed\"\n"
                               "IconFont \"fixed\"\nIconManagerFont \"fixed\"\n"
                               "UsePPosition \"on\"\nRandomPlacement\n"
                               "DecorateTransients\n"
                               "Button1 = : title : f.raise\n";
    if (write(fd, config.data(), config.size()) != static_cast<ssize_t>(config.size()))
        m_error = "configuration not written";
    close(fd);
    m_display = ConnectToDisplay(displayName);
    if (!m_display)
    {
        m_error = "no display " + displayName;
        return;
    }
    XSetErrorHandler(IgnoreErrors);
    pid_t pid = fork();
    if (pid == 0)
    {
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0)
        {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execlp("twm", "twm", "-display", displayName.c_str(), "-f", m_config.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    m_pid = pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Managed(m_display))
    {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_error = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "twm is not installed (scripts/deps.sh)"
                                                                      : "twm ended at start";
            m_pid = -1;
            return;
        }
        if (std::chrono::steady_clock::now() > deadline)
        {
            m_error = "twm never managed the screen";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

WindowManager::~WindowManager()
{
    if (m_pid > 0)
    {
        // A window manager busy with the display may not end on a request: give it a moment.
        Stall(false);
        kill(m_pid, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (waitpid(m_pid, &status, WNOHANG) == 0)
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (m_display)
        XCloseDisplay(m_display);
    if (!m_config.empty())
        unlink(m_config.c_str());
}

void WindowManager::Stall(bool stalled)
{
    if (m_pid > 0)
        kill(m_pid, stalled ? SIGSTOP : SIGCONT);
}

WindowManager::Facts WindowManager::Read(unsigned long window)
{
    Facts facts;
    XClassHint hint{};
    if (XGetClassHint(m_display, window, &hint))
    {
        facts.instance = hint.res_name ? hint.res_name : "";
        facts.cls = hint.res_class ? hint.res_class : "";
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, XInternAtom(m_display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success &&
        data)
    {
        if (count == 1 && format == 32)
            facts.pid = *reinterpret_cast<const long*>(data);
        XFree(data);
    }
    Window owner = 0;
    if (XGetTransientForHint(m_display, window, &owner))
        facts.transientFor = owner;
    facts.types = AtomList(m_display, window, "_NET_WM_WINDOW_TYPE");
    facts.states = AtomList(m_display, window, "_NET_WM_STATE");
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(m_display, window, &hints, &supplied))
    {
        if (hints.flags & PMinSize)
        {
            facts.minWidth = hints.min_width;
            facts.minHeight = hints.min_height;
        }
        if (hints.flags & PMaxSize)
        {
            facts.maxWidth = hints.max_width;
            facts.maxHeight = hints.max_height;
        }
    }
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(m_display, window, &attributes))
        facts.overrideRedirect = attributes.override_redirect == True;
    facts.framed = FrameOf(window) != window;
    return facts;
}

unsigned long WindowManager::FindShown(const std::string& type)
{
    std::vector<Window> pending{DefaultRootWindow(m_display)};
    while (!pending.empty())
    {
        const Window current = pending.back();
        pending.pop_back();
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, current, &root, &parent, &children, &count))
            continue;
        for (unsigned int i = 0; i < count; ++i)
        {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(m_display, children[i], &attributes) || attributes.map_state != IsViewable)
                continue;
            const std::vector<std::string> types = AtomList(m_display, children[i], "_NET_WM_WINDOW_TYPE");
            if (std::find(types.begin(), types.end(), type) != types.end())
            {
                const Window found = children[i];
                XFree(children);
                return found;
            }
            pending.push_back(children[i]);
        }
        if (children)
            XFree(children);
    }
    return 0;
}

unsigned long WindowManager::FrameOf(unsigned long window)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window current = window;
    while (XQueryTree(m_display, current, &root, &parent, &children, &count))
    {
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            return current;
        current = parent;
    }
    return 0;
}

bool WindowManager::StandsAbove(unsigned long a, unsigned long b)
{
    const Window frameA = FrameOf(a), frameB = FrameOf(b);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!frameA || !frameB || !XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return false;
    int at = -1, bt = -1; // bottom first
    for (unsigned int i = 0; i < count; ++i)
    {
        if (children[i] == frameA)
            at = static_cast<int>(i);
        if (children[i] == frameB)
            bt = static_cast<int>(i);
    }
    if (children)
        XFree(children);
    return at >= 0 && bt >= 0 && at > bt;
}

bool WindowManager::Focused(unsigned long window)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus == window;
}

void WindowManager::RaiseFrame(unsigned long window)
{
    XRaiseWindow(m_display, FrameOf(window));
    XSync(m_display, False);
}

void WindowManager::ClickRoot(int x, int y)
{
    XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    XSync(m_display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
    XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
    XSync(m_display, False);
}

void WindowManager::ClickTitle(unsigned long window)
{
    // The title bar lies above the client, inside the frame.
    Window child = 0;
    int x = 0, y = 0, frameX = 0, frameY = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
    XTranslateCoordinates(m_display, FrameOf(window), DefaultRootWindow(m_display), 0, 0, &frameX, &frameY, &child);
    ClickRoot(x + 60, (frameY + y) / 2);
}

void WindowManager::Click(unsigned long window, int x, int y)
{
    Window child = 0;
    int rootX = 0, rootY = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
    ClickRoot(rootX, rootY);
}

std::vector<uint32_t> WindowManager::Screenshot(int& width, int& height)
{
    width = DisplayWidth(m_display, DefaultScreen(m_display));
    height = DisplayHeight(m_display, DefaultScreen(m_display));
    std::vector<uint32_t> pixels;
    XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixels;
}
