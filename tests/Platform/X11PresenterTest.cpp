#include "Platform/X11/X11Presenter.h"

#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "Platform/X11/X11Detail.h"

#include <atomic>
#include <cstring>
#include <chrono>
#include <thread>
#include <vector>

namespace
{

class X11PresenterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << server.Error();
        probe = XOpenDisplay(server.Name().c_str());
        ASSERT_NE(probe, nullptr);
        ASSERT_TRUE(X11::DisplayAvailable());
    }
    void TearDown() override
    {
        if (probe != nullptr)
            XCloseDisplay(probe);
        // The server ends with the test: the next test's windows go to its own.
        EXPECT_TRUE(X11::CloseDisplay());
    }

    X11::Window::Handler Recorder()
    {
        return [this](const X11::Event& e) { events.push_back(e); };
    }

    // Pumps the presenter's events until the predicate holds or three seconds have passed.
    template <class Predicate> bool PumpUntil(Predicate done)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done())
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            X11::WaitForEvents(20);
            X11::ProcessEvents();
        }
        return true;
    }

    bool Seen(X11::EventKind kind) const
    {
        for (const auto& e : events)
            if (e.kind == kind)
                return true;
        return false;
    }

    uint32_t ReadPixel(unsigned long window, int x, int y)
    {
        XImage* image = XGetImage(probe, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr)
            return 0xDEADBEEF;
        uint32_t p = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
        XDestroyImage(image);
        return p;
    }

    void Key(KeySym sym, bool shift = false)
    {
        KeyCode shiftCode = XKeysymToKeycode(probe, XK_Shift_L);
        KeyCode code = XKeysymToKeycode(probe, sym);
        if (shift)
            XTestFakeKeyEvent(probe, shiftCode, True, 0);
        XTestFakeKeyEvent(probe, code, True, 0);
        XTestFakeKeyEvent(probe, code, False, 0);
        if (shift)
            XTestFakeKeyEvent(probe, shiftCode, False, 0);
        XFlush(probe);
    }

    VirtualDisplay server;
    Display* probe = nullptr;
    std::vector<X11::Event> events;
};

uint32_t Pattern(int x, int y) { return 0xFF000000u | (x * 4u) << 16 | (y * 5u) << 8 | ((x + y) & 0xFFu); }

TEST_F(X11PresenterTest, WindowShowsPixelsCentredWithTitleAndFixedSize)
{
    const int w = 64;
    const int h = 48;
    X11::Window window(u"Kelvane — тест", w, h, true, Recorder());
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::Paint); }));

    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[y * w + x] = Pattern(x, y);
    window.Present(pixels.data(), w, h, w, 0, 0, w, h);
    X11::Sync();
    for (auto [x, y] : {std::pair{0, 0}, {63, 0}, {0, 47}, {63, 47}, {17, 29}})
        EXPECT_EQ(ReadPixel(window.NativeId(), x, y), Pattern(x, y) & 0xFFFFFF) << x << "," << y;

    // A partial present leaves the rest of the window as it was; a rectangle past the buffer is cut.
    std::vector<uint32_t> white(pixels.size(), 0xFFFFFFFF);
    window.Present(white.data(), w, h, w, 60, 40, 100, 100);
    X11::Sync();
    EXPECT_EQ(ReadPixel(window.NativeId(), 63, 47), 0xFFFFFFu);
    EXPECT_EQ(ReadPixel(window.NativeId(), 59, 47), Pattern(59, 47) & 0xFFFFFF);

    // The title in UTF-8, a dialog's fixed size, centred on the 1024 x 768 screen.
    Atom netName = XInternAtom(probe, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long items, remaining;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(probe, window.NativeId(), netName, 0, 1024, False, AnyPropertyType,
                                 &type, &format, &items, &remaining, &data),
              Success);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), items), "Kelvane — тест");
    XFree(data);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(probe, window.NativeId(), &hints, &supplied));
    EXPECT_EQ(hints.min_width, w);
    EXPECT_EQ(hints.max_width, w);
    EXPECT_EQ(hints.min_height, h);
    EXPECT_EQ(hints.max_height, h);
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(probe, window.NativeId(), DefaultRootWindow(probe), 0, 0, &rootX, &rootY,
                          &child);
    EXPECT_EQ(rootX, (1024 - w) / 2);
    EXPECT_EQ(rootY, (768 - h) / 2);
}

TEST_F(X11PresenterTest, AResizableWindowGivenASizePastItsLimitsTakesTheNearestWithin)
{
    // No window manager here to read the hints: another client's resize reaches the window as is.
    X11::Window window(u"Limits", 300, 200, false, Recorder());
    window.SetSizeLimits(250, 150, 400, 0);
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::Paint); }));
    auto size = [&]
    {
        ::Window root;
        int x = 0, y = 0;
        unsigned w = 0, h = 0, border = 0, depth = 0;
        XGetGeometry(probe, window.NativeId(), &root, &x, &y, &w, &h, &border, &depth);
        return std::pair{static_cast<int>(w), static_cast<int>(h)};
    };
    struct Case
    {
        int width, height;    // asked by the other client
        int keptW, keptH;     // what the window takes and reports
    };
    // Each size past the limits is asked back, also one that shares a side with the one before (an
    // edge dragged on) and the same one again after a size within (a manager toggling back).
    for (const Case& c : {Case{100, 80, 250, 150}, Case{100, 90, 250, 150}, Case{260, 900, 260, 900},
                          Case{500, 100, 400, 150}, Case{249, 170, 250, 170}, Case{100, 80, 250, 150},
                          Case{300, 200, 300, 200}, Case{100, 80, 250, 150}})
    {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        events.clear();
        XResizeWindow(probe, window.NativeId(), static_cast<unsigned>(c.width), static_cast<unsigned>(c.height));
        XFlush(probe);
        EXPECT_TRUE(PumpUntil([&] { return size() == std::pair{c.keptW, c.keptH}; }));
        // Pumped once more: what the window's own request brought has come too.
        X11::Sync();
        X11::ProcessEvents();
        for (const X11::Event& e : events)
            if (e.kind == X11::EventKind::Resize)
            {
                EXPECT_GE(e.width, 250);
                EXPECT_LE(e.width, 400);
                EXPECT_GE(e.height, 150);
            }
        EXPECT_TRUE(Seen(X11::EventKind::Resize));
        EXPECT_EQ(size(), (std::pair{c.keptW, c.keptH}));
    }
}

TEST_F(X11PresenterTest, MouseAndKeyboardArriveAsEvents)
{
    X11::Window window(u"Input", 200, 100, false, Recorder());
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::GotFocus); }));
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(probe, window.NativeId(), DefaultRootWindow(probe), 0, 0, &rootX, &rootY,
                          &child);

    events.clear();
    XTestFakeMotionEvent(probe, -1, rootX + 10, rootY + 20, 0);
    XTestFakeButtonEvent(probe, 1, True, 0);
    XTestFakeButtonEvent(probe, 1, False, 0);
    XTestFakeButtonEvent(probe, 4, True, 0);
    XTestFakeButtonEvent(probe, 4, False, 0);
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::MouseWheel); }));
    std::vector<X11::Event> mouse;
    for (const auto& e : events)
        if (e.kind != X11::EventKind::MouseMove || mouse.empty())
            mouse.push_back(e);
    ASSERT_GE(mouse.size(), 4u);
    EXPECT_EQ(mouse[0].kind, X11::EventKind::MouseMove);
    EXPECT_EQ(mouse[1].kind, X11::EventKind::MouseDown);
    EXPECT_EQ(mouse[1].button, 1);
    EXPECT_EQ(mouse[1].x, 10);
    EXPECT_EQ(mouse[1].y, 20);
    EXPECT_EQ(mouse[2].kind, X11::EventKind::MouseUp);
    EXPECT_TRUE(mouse[2].modifiers & X11::ModLeftButton); // the state before the release
    EXPECT_EQ(mouse[3].kind, X11::EventKind::MouseWheel);
    EXPECT_EQ(mouse[3].wheel, 1);

    struct Case
    {
        KeySym sym;
        bool shift;
        unsigned vk;
        char16_t ch; // 0: no character
    };
    const Case cases[] = {{XK_a, false, 'A', u'a'},   {XK_a, true, 'A', u'A'},
                          {XK_5, false, '5', u'5'},   {XK_Return, false, 0x0D, u'\r'},
                          {XK_BackSpace, false, 0x08, 0x08}, {XK_Tab, false, 0x09, u'\t'},
                          {XK_Delete, false, 0x2E, 0}, {XK_Left, false, 0x25, 0},
                          {XK_F1, false, 0x70, 0}};
    for (const Case& c : cases)
    {
        events.clear();
        Key(c.sym, c.shift);
        ASSERT_TRUE(PumpUntil([&] {
            for (const auto& e : events)
                if (e.kind == X11::EventKind::KeyUp && e.virtualKey == c.vk)
                    return true;
            return false;
        })) << c.vk;
        std::u16string typed;
        bool down = false;
        for (const auto& e : events)
        {
            if (e.kind == X11::EventKind::KeyDown && e.virtualKey == c.vk)
            {
                down = true;
                EXPECT_EQ((e.modifiers & X11::ModShift) != 0, c.shift) << c.vk;
            }
            if (e.kind == X11::EventKind::Char)
                typed += e.character;
        }
        EXPECT_TRUE(down) << c.vk;
        EXPECT_EQ(typed, c.ch ? std::u16string(1, c.ch) : std::u16string()) << c.vk;
    }
}

TEST_F(X11PresenterTest, OnlyTheServersAutoRepeatIsARepeat)
{
    X11::Window window(u"Repeat", 200, 100, false, Recorder());
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::GotFocus); }));
    const KeyCode code = XKeysymToKeycode(probe, XK_Return);
    auto keys = [&] {
        std::string seen; // D a press, R a repeat, U a release
        for (const auto& e : events)
            if (e.virtualKey == 0x0D && e.kind != X11::EventKind::Char)
                seen += e.kind == X11::EventKind::KeyUp ? 'U' : e.repeat ? 'R' : 'D';
        return seen;
    };

    // Held past the server's repeat delay: one press, then repeats, one release.
    events.clear();
    XTestFakeKeyEvent(probe, code, True, 0);
    XFlush(probe);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    XTestFakeKeyEvent(probe, code, False, 0);
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return !keys().empty() && keys().back() == 'U'; }));
    const std::string held = keys();
    ASSERT_GE(held.size(), 4u) << held;
    EXPECT_EQ(held, "D" + std::string(held.size() - 2, 'R') + "U");

    // Sent by another client (time 0, marked as sent), twice in a row, the second pair queued
    // before the first is read: every press a press of its own.
    events.clear();
    for (int i = 0; i < 2; ++i)
        for (bool press : {true, false})
        {
            XEvent sent{};
            sent.xkey.type = press ? KeyPress : KeyRelease;
            sent.xkey.window = window.NativeId();
            sent.xkey.root = DefaultRootWindow(probe);
            sent.xkey.time = CurrentTime;
            sent.xkey.same_screen = True;
            sent.xkey.keycode = code;
            XSendEvent(probe, window.NativeId(), True, press ? KeyPressMask : KeyReleaseMask, &sent);
        }
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return keys().size() == 4; }));
    EXPECT_EQ(keys(), "DUDU");

    // A press without a server time that is not marked as sent (an input method's own) is no
    // key state either: the next real press of that key is a press.
    events.clear();
    XEvent untimed{};
    untimed.xkey.type = KeyPress;
    untimed.xkey.display = X11::Detail::LiveDisplay();
    untimed.xkey.window = window.NativeId();
    untimed.xkey.root = DefaultRootWindow(probe);
    untimed.xkey.time = CurrentTime;
    untimed.xkey.same_screen = True;
    untimed.xkey.keycode = code;
    XPutBackEvent(X11::Detail::LiveDisplay(), &untimed);
    Key(XK_Return);
    ASSERT_TRUE(PumpUntil([&] { return keys().size() == 3; }));
    EXPECT_EQ(keys(), "DDU");

    // A key whose release went to another window while it had the focus is up again when the
    // focus comes back: its next press is a press.
    events.clear();
    ::Window other = XCreateSimpleWindow(probe, DefaultRootWindow(probe), 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(probe, other);
    XSync(probe, False);
    XTestFakeKeyEvent(probe, code, True, 0);
    XSync(probe, False);
    ASSERT_TRUE(PumpUntil([&] { return keys() == "D"; }));
    XSetInputFocus(probe, other, RevertToParent, CurrentTime);
    XTestFakeKeyEvent(probe, code, False, 0);
    XSetInputFocus(probe, window.NativeId(), RevertToParent, CurrentTime);
    Key(XK_Return);
    ASSERT_TRUE(PumpUntil([&] { return keys().size() >= 3; }));
    EXPECT_EQ(keys(), "DDU");
    XDestroyWindow(probe, other);
}

TEST_F(X11PresenterTest, AMenuTakesTheKeyboardAnotherClientHeldAsItOpened)
{
    // Another program holds the keyboard as the menu opens (its own key going up) and lets it go
    // 30 ms later; the pointer rests away from the menu, so that only a grab brings it the keys.
    KeyboardHolder holder(server.Name(), std::chrono::milliseconds(30));
    ASSERT_TRUE(holder.Holding());
    XTestFakeMotionEvent(probe, -1, 0, 0, 0);
    XSync(probe, False);
    X11::Window menu(u"Menu", 120, 80, false, Recorder());
    menu.SetRole(X11::WindowType::PopupMenu, 0, false);
    menu.SetActivates(false);
    menu.Show();
    ASSERT_TRUE(PumpUntil([&] { return holder.Released(); }));

    // The pointer and the keyboard are the menu's: no other client takes them, and keys come to it.
    const ::Window root = DefaultRootWindow(probe);
    const int keyboard = XGrabKeyboard(probe, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (keyboard == GrabSuccess)
        XUngrabKeyboard(probe, CurrentTime);
    const int pointer =
        XGrabPointer(probe, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (pointer == GrabSuccess)
        XUngrabPointer(probe, CurrentTime);
    XSync(probe, False);
    EXPECT_NE(keyboard, GrabSuccess) << "the menu was left without the keyboard";
    EXPECT_NE(pointer, GrabSuccess);
    events.clear();
    Key(XK_Escape);
    EXPECT_TRUE(PumpUntil(
        [&]
        {
            for (const auto& e : events)
                if (e.kind == X11::EventKind::KeyDown && e.virtualKey == 0x1B)
                    return true;
            return false;
        }))
        << "Escape did not reach the menu";
    menu.Hide();
}

TEST_F(X11PresenterTest, CloseButtonAndClipboardTextBothWays)
{
    XInitThreads();
    X11::Window window(u"Close", 100, 50, true, Recorder());
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::Paint); }));

    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window.NativeId();
    close.xclient.message_type = XInternAtom(probe, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(probe, "WM_DELETE_WINDOW", False));
    XSendEvent(probe, window.NativeId(), False, NoEventMask, &close);
    XFlush(probe);
    ASSERT_TRUE(PumpUntil([&] { return Seen(X11::EventKind::Close); }));

    // Ours, read by another client.
    const std::u16string text = u"D:\\Игры\\Models.pck";
    X11::SetClipboardText(text);
    std::u16string back;
    ASSERT_TRUE(X11::GetClipboardText(back));
    EXPECT_EQ(back, text);
    Atom clipboard = XInternAtom(probe, "CLIPBOARD", False);
    Atom utf8 = XInternAtom(probe, "UTF8_STRING", False);
    Atom property = XInternAtom(probe, "PROBE", False);
    ::Window requestor = XCreateSimpleWindow(probe, DefaultRootWindow(probe), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(probe, clipboard, utf8, property, requestor, CurrentTime);
    XFlush(probe);
    XEvent reply{};
    ASSERT_TRUE(PumpUntil([&] {
        return XCheckTypedWindowEvent(probe, requestor, SelectionNotify, &reply) == True;
    }));
    ASSERT_EQ(reply.xselection.property, property);
    Atom type;
    int format;
    unsigned long items, remaining;
    unsigned char* data = nullptr;
    XGetWindowProperty(probe, requestor, property, 0, 1024, True, AnyPropertyType, &type, &format,
                       &items, &remaining, &data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), items), "D:\\Игры\\Models.pck");
    XFree(data);

    // Another client's, read by us while that client answers on its own thread.
    XSetSelectionOwner(probe, clipboard, requestor, CurrentTime);
    XSync(probe, False);
    std::atomic<bool> stop{false};
    std::thread owner([&] {
        while (!stop)
        {
            while (XPending(probe) > 0)
            {
                XEvent e;
                XNextEvent(probe, &e);
                if (e.type != SelectionRequest)
                    continue;
                const char* theirs = "z:\\другой";
                XChangeProperty(probe, e.xselectionrequest.requestor, e.xselectionrequest.property,
                                utf8, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(theirs),
                                static_cast<int>(strlen(theirs)));
                XEvent answer{};
                answer.xselection.type = SelectionNotify;
                answer.xselection.requestor = e.xselectionrequest.requestor;
                answer.xselection.selection = e.xselectionrequest.selection;
                answer.xselection.target = e.xselectionrequest.target;
                answer.xselection.property = e.xselectionrequest.property;
                answer.xselection.time = e.xselectionrequest.time;
                XSendEvent(probe, e.xselectionrequest.requestor, False, 0, &answer);
                XFlush(probe);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::u16string theirs;
    bool got = X11::GetClipboardText(theirs, 2000);
    stop = true;
    owner.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(theirs, u"z:\\другой");
}

} // namespace
