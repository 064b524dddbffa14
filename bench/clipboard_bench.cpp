// Measures large clipboard transfers between this program and another one:
//   clipboard_bench [--megabytes N] [--repeat R]
// Starts a private virtual display and takes the median of R runs (5 by default) of N MB (50 by
// default) of text:
// - to another program: another process fetching what we offer (served incrementally by us),
//   against the same bytes written as one property and read back by that process (what the
//   display itself costs for moving them);
// - from another program: the test peer (xpeer, beside this program) owns the clipboard and we
//   read it as a paste does, against a plain reader of the protocol on a connection of its own
//   taking the same bytes from the same peer, run alternately;
// - a short text from another program, 200 times: what one request costs as a paste makes it (with
//   a time of its own taken from the server) against the plain reader's request, alternately.
#include "Platform/X11/DesktopTransfer.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/PeerProcess.h"
#include "tests/support/VirtualDisplay.h"

#include "Platform/Win32/Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Asks the owner of the CLIPBOARD selection for UTF8_STRING, into the property "BENCH" of a new
// window of ours on connection `d`, and waits for its answer (`answer`); the window.
Window RequestClipboard(Display* d, Atom& property, XEvent& answer)
{
    const Window self = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(d, self, PropertyChangeMask);
    property = XInternAtom(d, "BENCH", False);
    XConvertSelection(d, XInternAtom(d, "CLIPBOARD", False), XInternAtom(d, "UTF8_STRING", False), property, self,
                      CurrentTime);
    do
        XNextEvent(d, &answer);
    while (answer.type != SelectionNotify);
    return self;
}

// In a child: reads a selection (following an incremental answer) or a property of `window`, and
// ends with 0 when `expected` bytes came.
[[noreturn]] void ChildFetch(const std::string& display, unsigned long window, size_t expected)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        _exit(2);
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    size_t got = 0;
    if (window)
    {
        XGetWindowProperty(d, window, XA_STRING, 0, 1L << 26, False, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        got = items;
        if (data)
            XFree(data);
        _exit(got == expected ? 0 : 1);
    }
    Atom property;
    XEvent e;
    const Window self = RequestClipboard(d, property, e);
    XGetWindowProperty(d, self, property, 0, 1L << 26, True, AnyPropertyType, &type, &format, &items, &after, &data);
    bool incremental = type == XInternAtom(d, "INCR", False);
    if (data)
        XFree(data);
    if (!incremental)
        _exit(1);
    for (;;)
    {
        XNextEvent(d, &e);
        if (e.type != PropertyNotify || e.xproperty.atom != property || e.xproperty.state != PropertyNewValue)
            continue;
        data = nullptr;
        XGetWindowProperty(d, self, property, 0, 1L << 26, True, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        if (data)
            XFree(data);
        if (items == 0)
            break;
        got += items;
    }
    _exit(got == expected ? 0 : 1);
}

// Reads the CLIPBOARD selection as UTF8_STRING on connection `d` by the bare protocol, following an
// incremental answer; the bytes, or an empty text when the owner refused.
std::string PlainFetch(Display* d)
{
    Atom property;
    XEvent e;
    const Window self = RequestClipboard(d, property, e);
    std::string bytes;
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    if (e.xselection.property != None)
    {
        XGetWindowProperty(d, self, property, 0, 1L << 26, True, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        bool incremental = type == XInternAtom(d, "INCR", False);
        if (!incremental && data)
            bytes.assign(reinterpret_cast<const char*>(data), items);
        if (data)
            XFree(data);
        while (incremental)
        {
            XNextEvent(d, &e);
            if (e.type != PropertyNotify || e.xproperty.atom != property || e.xproperty.state != PropertyNewValue)
                continue;
            data = nullptr;
            XGetWindowProperty(d, self, property, 0, 1L << 26, True, AnyPropertyType, &type, &format, &items,
                               &after, &data);
            if (data)
            {
                bytes.append(reinterpret_cast<const char*>(data), items);
                XFree(data);
            }
            incremental = items != 0;
        }
    }
    XDestroyWindow(d, self);
    return bytes;
}

// Runs the child and keeps our side of the display answering meanwhile; seconds, or -1.
double RunChild(const std::string& display, unsigned long window, size_t expected)
{
    X11::Flush();
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0)
        ChildFetch(display, window, expected);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid)
    {
        X11::WaitForEvents(1);
        X11::ProcessEvents();
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}
} // namespace

int main(int argc, char** argv)
{
    size_t megabytes = 50;
    int repeat = 5;
    for (int i = 1; i + 1 < argc; ++i)
    {
        if (std::strcmp(argv[i], "--megabytes") == 0)
            megabytes = std::strtoul(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::atoi(argv[++i]);
    }
    VirtualDisplay server(640, 480);
    if (!server.Running())
    {
        std::fprintf(stderr, "no virtual display: %s\n", server.Error().c_str());
        return 1;
    }
    if (!X11::DisplayAvailable())
        return 1;
    auto text = std::make_shared<std::string>(megabytes << 20, 'x');
    for (size_t i = 0; i < text->size(); i += 61)
        (*text)[i] = '\n';
    Display* raw = XOpenDisplay(server.Name().c_str());
    Window holder = XCreateSimpleWindow(raw, DefaultRootWindow(raw), 0, 0, 1, 1, 0, 0, 0);

    std::vector<double> served, baseline;
    for (int run = 0; run < repeat; ++run)
    {
        X11::OfferClipboard({{"UTF8_STRING", text}});
        served.push_back(RunChild(server.Name(), 0, text->size()));
        auto start = Clock::now();
        // In the largest pieces a request may carry.
        const size_t piece = 8u << 20;
        for (size_t at = 0; at < text->size(); at += piece)
            XChangeProperty(raw, holder, XA_STRING, XA_STRING, 8, at == 0 ? PropModeReplace : PropModeAppend,
                            reinterpret_cast<const unsigned char*>(text->data() + at),
                            static_cast<int>(std::min(piece, text->size() - at)));
        XSync(raw, False);
        double write = std::chrono::duration<double>(Clock::now() - start).count();
        double read = RunChild(server.Name(), holder, text->size());
        baseline.push_back(read < 0 ? -1 : write + read);
    }
    double s = Median(served), b = Median(baseline);
    if (s < 0 || b < 0)
    {
        std::fprintf(stderr, "a transfer failed (%.3f, %.3f)\n", s, b);
        return 1;
    }
    std::printf("clipboard to another program, %zu MB: %.3f s (incremental)\n", megabytes, s);
    std::printf("same bytes as one property, written and read: %.3f s\n", b);
    std::printf("ratio: %.2f\n", s / b);

    // From another program: the peer serves the text from a file.
    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / ("clipboard_bench." + std::to_string(getpid()));
    std::ofstream(file, std::ios::binary) << *text;
    auto pump = []
    {
        X11::WaitForEvents(1);
        X11::ProcessEvents();
    };
    const std::string peerProgram = (fs::path(Platform::ProgramFolder()) / "xpeer").string();
    PeerProcess peer;
    std::string line = peer.StartAndRead(peerProgram, {"serve", "UTF8_STRING", file.string()},
                                         std::chrono::seconds(10), pump);
    if (line != "ready")
    {
        std::fprintf(stderr, "the peer did not start (%s)\n", line.c_str());
        fs::remove(file);
        return 1;
    }
    std::vector<double> fetched, plain;
    bool intact = true;
    for (int run = 0; run < repeat; ++run)
    {
        std::string bytes;
        auto start = Clock::now();
        X11::FetchResult result = X11::FetchClipboard("UTF8_STRING", bytes, 300);
        fetched.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        intact = intact && result == X11::FetchResult::Done && bytes == *text;
        start = Clock::now();
        std::string other = PlainFetch(raw);
        plain.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        intact = intact && other == *text;
    }
    peer.Kill();
    // A short text: the cost of one request.
    const std::string shortText = "/home/someone/Games/Data/Models.pck";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << shortText;
    PeerProcess shortPeer;
    line = shortPeer.StartAndRead(peerProgram, {"serve", "UTF8_STRING", file.string()},
                                  std::chrono::seconds(10), pump);
    if (line != "ready")
    {
        std::fprintf(stderr, "the peer did not start (%s)\n", line.c_str());
        fs::remove(file);
        return 1;
    }
    std::vector<double> request, plainRequest;
    for (int run = 0; run < 200; ++run)
    {
        std::string bytes;
        auto start = Clock::now();
        X11::FetchResult result = X11::FetchClipboard("UTF8_STRING", bytes, 300);
        request.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        intact = intact && result == X11::FetchResult::Done && bytes == shortText;
        start = Clock::now();
        std::string other = PlainFetch(raw);
        plainRequest.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        intact = intact && other == shortText;
        X11::ProcessEvents();
    }
    shortPeer.Kill();
    fs::remove(file);
    XCloseDisplay(raw);
    if (!intact)
    {
        std::fprintf(stderr, "a read from the other program failed or was not whole\n");
        return 1;
    }
    double f = Median(fetched), p = Median(plain);
    std::printf("clipboard from another program, %zu MB: %.3f s (read as a paste reads it)\n", megabytes, f);
    std::printf("same bytes by a plain reader of the protocol: %.3f s\n", p);
    std::printf("ratio: %.2f\n", f / p);
    double r = Median(request), pr = Median(plainRequest);
    std::printf("a short text from another program: %.0f us a request (as a paste asks)\n", r);
    std::printf("same request by a plain reader of the protocol: %.0f us\n", pr);
    std::printf("ratio: %.2f\n", r / pr);
    X11::CloseDisplay();
    return 0;
}
