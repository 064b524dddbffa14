// A real window manager (twm, from the Debian packages) on a test's virtual display, and what a
// test reads of the windows it manages: their properties as `xprop` shows them, the stacking of
// their frames and the keyboard focus. Xlib's names stay out of the test (they clash with the
// class library's `Screen`).
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

struct _XDisplay;

class WindowManager
{
public:
    // Starts the manager on the display with a configuration of its own: windows stand where
    // they ask to (no placing by hand), a click on a title bar raises its window, and the focus
    // follows the pointer. Running() once it manages the screen.
    explicit WindowManager(const std::string& displayName);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    bool Running() const { return m_pid > 0 && m_display != nullptr; }
    const std::string& Error() const { return m_error; }

    // The window-manager properties of a top-level window.
    struct Facts
    {
        std::string instance, cls;   // WM_CLASS
        long pid = 0;                // _NET_WM_PID
        unsigned long transientFor = 0; // WM_TRANSIENT_FOR
        std::vector<std::string> types;  // _NET_WM_WINDOW_TYPE
        std::vector<std::string> states; // _NET_WM_STATE
        int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0; // size hints, 0 when not given
        bool overrideRedirect = false; // no manager redirects its mapping (XGetWindowAttributes)
        bool framed = false;           // the manager put it into a frame of its own
    };
    Facts Read(unsigned long window);
    // The first mapped window (framed or not) whose _NET_WM_WINDOW_TYPE holds `type`; 0 when none.
    unsigned long FindShown(const std::string& type);

    // Whether the frame of window `a` stands above the frame of `b` now.
    bool StandsAbove(unsigned long a, unsigned long b);
    // Whether the window has the keyboard focus.
    bool Focused(unsigned long window);
    // Raises the window's frame as the manager does by itself (a key of its own), the pointer and
    // the focus left as they are.
    void RaiseFrame(unsigned long window);
    // Clicks the window's title bar, which raises it.
    void ClickTitle(unsigned long window);
    // Clicks the client point (x, y) of the window.
    void Click(unsigned long window, int x, int y);
    // The whole screen as 0x00RRGGBB, top row first.
    std::vector<uint32_t> Screenshot(int& width, int& height);
    // Stops the manager, as a machine too busy to run it would, or lets it go on: what waits for
    // it (a managed window's move) waits meanwhile.
    void Stall(bool stalled);

private:
    unsigned long FrameOf(unsigned long window);
    void ClickRoot(int x, int y);

    pid_t m_pid = -1;
    _XDisplay* m_display = nullptr;
    std::string m_config;
    std::string m_error;
};
