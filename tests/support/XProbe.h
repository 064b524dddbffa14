// A test's own connection to an X server: reads windows' state and pixels and injects keyboard and
// mouse input with XTest, without bringing Xlib's names into the test (they clash with the class
// library's `Screen`).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class XProbe
{
public:
    explicit XProbe(const std::string& displayName);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool Open() const { return m_display != nullptr; }

    bool Viewable(unsigned long window);
    bool HasFocus(unsigned long window);
    uint32_t ReadPixel(unsigned long window, int x, int y); // 0x00RRGGBB, 0xDEADBEEF on failure
    bool WindowSize(unsigned long window, int& width, int& height);
    // The window's place on the screen (its client area's top-left corner in root coordinates)
    // and size.
    bool WindowPlace(unsigned long window, int& x, int& y, int& width, int& height);
    // Whether the window asks a window manager for a frame: no hints, or hints that do not take
    // the decorations away.
    bool Decorated(unsigned long window);
    // Whether the window's state asks to be kept above others, and whether it is the topmost of
    // the screen's mapped windows now.
    bool KeptAbove(unsigned long window);
    bool Topmost(unsigned long window);

    // A key by its keysym name ("Return", "a", "Cyrillic_a"), with a modifier key held ("Shift_L").
    void Key(const char* keysym, const char* modifier = nullptr);
    void MoveTo(unsigned long window, int x, int y);
    // Where a window's client point lies on the screen.
    void RootPosition(unsigned long window, int x, int y, int& rootX, int& rootY);
    void MoveToRoot(int x, int y);
    // Whether this connection could take the pointer now (it is given back at once): false while
    // another client holds it grabbed.
    bool PointerFree();
    // And the keyboard.
    bool KeyboardFree();
    // Places a top-level window at (x, y) on the screen, as a window manager would.
    void PlaceWindow(unsigned long window, int x, int y);
    void Button(int button, bool down);
    // Presses or releases one key (a modifier held over several events).
    void HoldKey(const char* keysym, bool down);
    // Wheel notches: positive away from the user (button 4), negative towards (button 5).
    void Wheel(int notches);
    void ClickAt(unsigned long window, int x, int y);

    // What a window manager or the desktop would do.
    void ResizeWindow(unsigned long window, int width, int height);
    void ExposeAll(unsigned long window);
    // Paints the whole window in `rgb` (as another window left over it would) and tells its owner
    // it shows again (an Expose of all of it).
    void Smear(unsigned long window, uint32_t rgb);
    void FocusElsewhere();
    // The window manager's close request (the close button).
    void RequestClose(unsigned long window);
    bool ClipboardOwned();
    void Sync();

    // The pointer's picture as the server shows it now (XFixes).
    struct CursorPicture
    {
        int width = 0, height = 0, xhot = 0, yhot = 0;
        std::vector<uint32_t> argb;
        bool operator==(const CursorPicture&) const = default;
    };
    CursorPicture PointerPicture();
    // The picture of a glyph of the X cursor font (XC_...), shown for a moment over a window of the
    // probe's own at the screen's top-left corner.
    CursorPicture FontCursorPicture(unsigned glyph);
    // A pixel of the screen with every window on it (0x00RRGGBB).
    uint32_t ReadScreenPixel(int x, int y);
    // Where the window's client area starts on the screen.
    void RootOrigin(unsigned long window, int& x, int& y);

    // Watches the window from now on, as another program would: what it sees of the pointer
    // leaving it, of its losing the keyboard focus and of any window of the screen going away.
    void Watch(unsigned long window);
    // What was seen since Watch, in order: "leave", "focus-out", "unmap".
    std::vector<std::string> Seen();

private:
    struct _XDisplay* m_display = nullptr;
    unsigned long m_watched = 0;
};

// Another program on the display that takes the CLIPBOARD selection and answers requests for it
// with `text` (UTF-8) until it is destroyed.
class ClipboardServer
{
public:
    ClipboardServer(const std::string& displayName, std::string text);
    ~ClipboardServer();
    ClipboardServer(const ClipboardServer&) = delete;
    ClipboardServer& operator=(const ClipboardServer&) = delete;

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Another program on the display that holds the keyboard grabbed from its construction until
// `hold` after the next window without a window manager maps (a menu opening), then gives it
// back, as a program does whose own key goes up just then.
class KeyboardHolder
{
public:
    KeyboardHolder(const std::string& displayName, std::chrono::milliseconds hold);
    ~KeyboardHolder();
    KeyboardHolder(const KeyboardHolder&) = delete;
    KeyboardHolder& operator=(const KeyboardHolder&) = delete;

    // Whether it took the keyboard.
    bool Holding() const { return m_holding; }
    // Whether it has given the keyboard back.
    bool Released() const { return m_released; }

private:
    bool m_holding = false;
    std::atomic<bool> m_released{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};
