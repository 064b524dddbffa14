// Drives a program's real window as a user would: starts the program as a process on the current
// display, finds its top-level window by title, moves and clicks the pointer and types through the
// XTest extension, and reads the window's pixels with XGetImage.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

struct _XDisplay;

class WindowDriver
{
public:
    // Connects to the display named by DISPLAY, waiting while it does not answer yet (see
    // ConnectToDisplay); Connected() tells whether it did.
    WindowDriver();
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    bool Connected() const { return m_display != nullptr; }

    // Starts the program with its standard error going to `errorLog` (appended) and the
    // "NAME=value" entries of `environment` added to (or replacing in) its environment; false when
    // it cannot be started.
    bool Start(const std::string& program, const std::vector<std::string>& args = {},
               const std::string& errorLog = "/dev/null", const std::vector<std::string>& environment = {});
    // Waits for the program to end; its exit status (or 128 + signal), or -1 when it still runs
    // after the timeout.
    int Wait(std::chrono::milliseconds timeout);
    bool Running();
    // Ends the program as a logout or `kill` does if it still runs: SIGTERM, then waits for it, so
    // that it leaves nothing behind; SIGKILL only when it still runs after the deadline. Its exit
    // status as Wait gives it (128 + SIGKILL when it had to be killed).
    int End(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Ends the program at once (SIGKILL) if it still runs: nothing of it gets to clean up.
    void Kill();
    // The running program's process id; -1 when none runs.
    pid_t Pid() const { return m_pid; }
    // Closes the connection to the display (before the display goes away); only the process
    // functions above may be used afterwards.
    void Disconnect();

    // The first mapped top-level window with that title (UTF-8 of _NET_WM_NAME, else WM_NAME) that
    // appears within the timeout, in a window manager's frame or not; 0 when none. Other windows
    // than `except` only.
    unsigned long FindWindow(const std::string& title, std::chrono::milliseconds timeout,
                             unsigned long except = 0);
    // Waits until no mapped window has that title; false on timeout.
    bool WaitGone(unsigned long window, std::chrono::milliseconds timeout);
    std::string Title(unsigned long window);
    // The window's inner (client) size; 0 x 0 when it is gone.
    void Size(unsigned long window, int& width, int& height);
    // The window's pixels as 0x00RRGGBB, top row first; empty when it is gone.
    std::vector<uint32_t> Pixels(unsigned long window, int& width, int& height);

    // Input through XTest. Coordinates are the window's client coordinates.
    void MoveTo(unsigned long window, int x, int y);
    void Click(unsigned long window, int x, int y, int button = 1);
    void ButtonDown(int button);
    void ButtonUp(int button);
    // Gives the window the keyboard focus (no window manager does it for us).
    void Focus(unsigned long window);
    // Presses and releases the key of an X keysym, with Shift and/or Control held when asked.
    void Key(unsigned long keysym, bool shift = false, bool control = false);
    // Presses or releases one key (a modifier held over several events).
    void HoldKey(unsigned long keysym, bool down);
    // Sends the key's press and release straight to the window with XSendEvent, as automation
    // tools do: time 0, marked as sent, whatever has the focus and without the server's key state.
    void SendKey(unsigned long window, unsigned long keysym);
    // Where the window's client area starts on the screen.
    void RootOrigin(unsigned long window, int& x, int& y);
    // Types ASCII text key by key (Shift for capitals and shifted symbols).
    void Type(const std::string& text);
    // Waits until the server has handled everything sent and the program had time to react.
    void Settle(std::chrono::milliseconds time = std::chrono::milliseconds(150));
    // Waits until `done` holds, asking again every 20 ms: for what the program does in its own time
    // (a repaint, a saved file), however long a busy machine makes it take, up to the timeout.
    // Whether it held.
    static bool Eventually(const std::function<bool()>& done,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Moves and resizes the window as a window manager would.
    void Resize(unsigned long window, int width, int height);
    // Unmaps and maps the window again: everything in it must be shown again.
    void Remap(unsigned long window);
    // Asks the window to close, as its close button would (WM_DELETE_WINDOW).
    void RequestClose(unsigned long window);

    _XDisplay* Display() const { return m_display; }

private:
    _XDisplay* m_display = nullptr;
    pid_t m_pid = -1;
    int m_status = -1;
};

// How many pixels differ by more than `tolerance` in any channel.
size_t CountDifferentPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance);
