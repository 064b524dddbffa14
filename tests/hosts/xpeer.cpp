// Another program on the display, written from the selection and XDND protocols alone, for the
// tests of the desktop's clipboard and drag and drop. It talks Xlib only and shares no code with
// the program under test.
//
//   xpeer serve TARGET FILE [MODE [report]]
//                                     owns CLIPBOARD, answers TARGET with the file's bytes
//   xpeer fetch TARGET OUTFILE        asks the CLIPBOARD owner for TARGET, writes the answer
//   xpeer drop X Y URIFILE [MODE [report]]
//                                     drags text/uri-list onto the window at root (X, Y)
//   xpeer target X Y OUTFILE [MODE]   a drop window at (X, Y), 200 x 150; writes what is dropped
//
// It prints "ready" once it holds the selection or shows its window, and one line with its result;
// the exit status is 0 when the exchange went through. MODEs make it misbehave on purpose:
//   serve: wrong-format, silent, vanish, vanish-mid, stall-mid, huge, bad-incr, format-change;
//          "whole" answers in one property however large (no incremental transfer: larger than a
//          request, the property is built by appends); "delay:MS" is a
//          busy program: it takes up one request at a time, reads the file anew, says "asked
//          TARGET" and answers MS later (so an answer we gave up on comes before the next one);
//          an incremental answer not taken up within MS ends with "not begun" (or "stopped");
//          "untimed" answers with CurrentTime in its notices instead of the request's time;
//          "stray" first sends a notice naming the asked property with an older time, and answers
//          properly half a second later; "negative-incr" announces an incremental size of -5;
//          "trickle:MS" answers incrementally with one byte each MS after a step is taken, forever;
//          "paced:MS:N" answers incrementally with N bytes each MS after a step is taken, to the end;
//          "endless" answers incrementally, announcing the file's size, with the whole file at every
//          step and never the end; "unsized" answers incrementally with no size in its header;
//          "grow" answers in one property and appends to it each millisecond until it is deleted.
//          "report" says "asked TARGET PROPERTY TIME HELD" for each request as it comes (see Report)
//          in place of "asked TARGET"; a trickle says "sent N" at each step, and once nudged
//          (SIGUSR1) sends the rest of the file from where it is and ends
//   fetch: (none) ... the mode "vanish-mid" reads one chunk of an incremental answer and exits
//   drop:  no-uris, quiet (never drops), bad-data; "move" asks for a move, not a copy. It prints
//          "finished ACTION" or "failed ACTION" as the target's XdndFinished says; "probe" is a
//          drag that stays over the target until it is taken: it says "status refused" or "status
//          accepted ACTION" for each XdndStatus, sends its next position a moment after a refusal
//          and drops once accepted; "no status" when a position stays unanswered for 5 s.
//          "hold" says "status accepted ACTION" once taken up, then holds still until nudged
//          (SIGUSR1), and drops. "hover" stays over the target without dropping, a position a
//          moment after each status, saying each status that differs from the one before;
//          nudged, it leaves and says "left".
//          "reenter" drops asking a move and, nudged while it waits for the finish, gives up on
//          it: it reads its file anew and begins a new drag over the same point, as a probe (a
//          finish heard before its new drop is said as "early finished ACTION" or "early failed
//          ACTION"). "trickle:MS" serves the list as serve's trickle does ("report": "sent N").
//          "leave-again:MS" and "drop-again:MS" trickle the list so too and, nudged, stop serving it,
//          send XdndLeave (or XdndDrop) and at once a new drag over the same point, as a probe that
//          does not say refusals, whose list is served whole (a finish heard before its drop:
//          "early ...")
//          "eager-" before a mode (or alone) sends two more positions right behind the first,
//          unanswered, 1 and 2 pixels right of it. "drop-early:MS" trickles the list so too, drops
//          right after its first position and, nudged, sends the rest of the list
//   target: silent
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

Display* d = nullptr;
Window self = 0;
std::string mode;
int delayMs = 0; // serve's "delay:MS"
// drop's "leave-again:MS" or "drop-again:MS": its list trickles until a nudge, then it drags anew.
bool again = false;
bool eager = false; // "eager-...": a position sent without waiting for the answer to the last
bool early = false; // "drop-early:MS"
bool report = false;
// Set by SIGUSR1: the test's word to go on.
volatile sig_atomic_t nudged = 0;

void Nudge(int)
{
    nudged = 1;
}

Atom A(const char* name)
{
    return XInternAtom(d, name, False);
}

int Ignore(Display*, XErrorEvent*)
{
    return 0;
}

std::string ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// The next event, or false after `ms`.
bool Next(XEvent& e, int ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;)
    {
        XFlush(d);
        if (XPending(d) > 0)
        {
            XNextEvent(d, &e);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left > 50 ? 50 : left));
    }
}

void Notify(const XSelectionRequestEvent& r, Atom property)
{
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = mode == "untimed" ? CurrentTime : r.time;
    reply.xselection.property = property;
    XSendEvent(d, r.requestor, False, 0, &reply);
    XFlush(d);
}

// ---- Serving a selection ----------------------------------------------------------------------

// Answers one request for the selection with `bytes` under `target`, incrementally when large.
// Returns false when the mode made it stop.
bool Answer(const XSelectionRequestEvent& r, Atom target, const std::string& bytes)
{
    const size_t chunk = 64 * 1024;
    Atom property = r.property ? r.property : r.target;
    if (r.target == A("TARGETS"))
    {
        Atom list[] = {A("TARGETS"), target};
        XChangeProperty(d, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(list), 2);
        Notify(r, property);
        return true;
    }
    if (r.target != target)
    {
        Notify(r, None);
        return true;
    }
    if (mode == "silent")
        return true;
    if (mode == "stray")
    {
        // A notice for an earlier request of the same requestor, come just before this one's answer.
        XSelectionRequestEvent earlier = r;
        earlier.time = r.time > 1000 ? r.time - 1000 : 1;
        Notify(earlier, property);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    if (mode == "vanish")
        std::exit(3);
    if (mode == "wrong-format")
    {
        std::vector<long> longs(bytes.size() / 4 + 1, 0x41414141);
        XChangeProperty(d, r.requestor, property, target, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(longs.data()), static_cast<int>(longs.size()));
        Notify(r, property);
        return true;
    }
    const int trickleMs = mode.rfind("trickle:", 0) == 0 ? std::atoi(mode.c_str() + 8)
                          : again || early               ? std::atoi(mode.c_str() + mode.find(':') + 1)
                                                         : -1;
    const int pacedMs = mode.rfind("paced:", 0) == 0 ? std::atoi(mode.c_str() + 6) : -1;
    const size_t step = pacedMs >= 0 && mode.find(':', 6) != std::string::npos
                            ? std::max(1L, std::atol(mode.c_str() + mode.find(':', 6) + 1))
                            : chunk;
    const bool endless = mode == "endless";
    bool incremental = (bytes.size() > chunk && mode != "whole" && mode != "grow") || mode == "huge" ||
                       mode == "bad-incr" || mode == "negative-incr" || mode == "unsized" || trickleMs >= 0 ||
                       pacedMs >= 0 || endless;
    if (!incremental)
    {
        // One property however large: built by appends of pieces that each fit in a request, so
        // the requestor sees a plain answer larger than any single request could carry.
        const long units = XExtendedMaxRequestSize(d) > 0 ? XExtendedMaxRequestSize(d) : XMaxRequestSize(d);
        const size_t piece = static_cast<size_t>(units) * 4 - 64;
        size_t sent = 0;
        do
        {
            const size_t n = std::min(piece, bytes.size() - sent);
            XChangeProperty(d, r.requestor, property, target, 8, sent == 0 ? PropModeReplace : PropModeAppend,
                            reinterpret_cast<const unsigned char*>(bytes.data() + sent), static_cast<int>(n));
            sent += n;
        } while (sent < bytes.size());
        Notify(r, property);
        if (mode != "grow")
            return true;
        // Appends from just after the answer is out until the requestor deletes it.
        XSelectInput(d, r.requestor, PropertyChangeMask);
        XSync(d, False);
        for (XEvent e{}; e.xproperty.atom != property || e.xproperty.state != PropertyDelete;)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            XChangeProperty(d, r.requestor, property, target, 8, PropModeAppend,
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(std::min(chunk, bytes.size())));
            XFlush(d);
            XCheckTypedWindowEvent(d, r.requestor, PropertyNotify, &e);
        }
        XSelectInput(d, r.requestor, NoEventMask);
        return true;
    }
    XSelectInput(d, r.requestor, PropertyChangeMask);
    long size = mode == "huge" ? 300L << 20 : mode == "negative-incr" ? -5 : static_cast<long>(bytes.size());
    if (mode == "bad-incr")
        XChangeProperty(d, r.requestor, property, A("INCR"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>("xx"), 2);
    else
        XChangeProperty(d, r.requestor, property, A("INCR"), 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&size), mode == "unsized" ? 0 : 1);
    Notify(r, property);
    size_t sent = 0;
    int chunks = 0;
    bool trickled = false; // a trickle nudged has sent its rest: the end comes next
    // Requests and a drag's messages that come meanwhile wait for the transfer's end; a busy
    // program gives up on a requestor that does not take the transfer up within its delay.
    std::vector<XEvent> later;
    auto putBack = [&]
    {
        for (auto it = later.rbegin(); it != later.rend(); ++it)
            XPutBackEvent(d, &*it);
    };
    for (;;)
    {
        XEvent e;
        if (!Next(e, delayMs > 0 ? delayMs : 10000))
        {
            if (delayMs > 0)
                Say(chunks == 0 ? "not begun" : "stopped");
            putBack();
            return false;
        }
        if (e.type == SelectionRequest || e.type == ClientMessage)
        {
            later.push_back(e);
            continue;
        }
        if (e.type != PropertyNotify || e.xproperty.window != r.requestor || e.xproperty.atom != property ||
            e.xproperty.state != PropertyDelete)
            continue;
        if (chunks == 1 && mode == "vanish-mid")
            std::exit(3);
        if (chunks == 1 && mode == "stall-mid")
        {
            pause();
            return false;
        }
        if (endless)
        {
            XChangeProperty(d, r.requestor, property, target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
            XFlush(d);
            continue;
        }
        if (trickled)
        {
            XChangeProperty(d, r.requestor, property, target, 8, PropModeReplace, nullptr, 0);
            XFlush(d);
            break;
        }
        if (again && nudged)
        {
            XSelectInput(d, r.requestor, NoEventMask); // served no further
            return false;
        }
        if (trickleMs >= 0 && !bytes.empty() && nudged)
        {
            // The rest at once, then the end.
            const size_t from = sent % bytes.size();
            XChangeProperty(d, r.requestor, property, target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(bytes.data() + from),
                            static_cast<int>(bytes.size() - from));
            XFlush(d);
            sent = bytes.size();
            trickled = true;
            continue;
        }
        if (trickleMs >= 0 && !bytes.empty())
        {
            // Every step in time, none ever the last.
            std::this_thread::sleep_for(std::chrono::milliseconds(trickleMs));
            XChangeProperty(d, r.requestor, property, target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(bytes.data() + sent++ % bytes.size()), 1);
            XFlush(d);
            if (report)
                Say("sent " + std::to_string(sent));
            continue;
        }
        if (pacedMs >= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pacedMs));
        size_t n = std::min(step, bytes.size() - sent);
        int format = mode == "format-change" && chunks == 1 ? 16 : 8;
        XChangeProperty(d, r.requestor, property, target, format, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data() + sent),
                        static_cast<int>(format == 16 ? n / 2 : n));
        XFlush(d);
        sent += n;
        ++chunks;
        if (n == 0)
            break;
    }
    XSelectInput(d, r.requestor, NoEventMask);
    putBack();
    return true;
}

// An atom's name, or `none` for None (or an atom the server does not know).
std::string AtomName(Atom atom, const char* none)
{
    char* name = atom != None ? XGetAtomName(d, atom) : nullptr;
    std::string text = name ? name : none;
    if (name)
        XFree(name);
    return text;
}

// Says "asked TARGET PROPERTY TIME HELD" for a request, HELD the number of the requestor's
// properties that hold data.
void Report(const XSelectionRequestEvent& r)
{
    std::string line = "asked";
    for (Atom atom : {r.target, r.property})
        line.append(" ").append(AtomName(atom, "None"));
    int count = 0, held = 0;
    Atom* atoms = XListProperties(d, r.requestor, &count);
    for (int i = 0; i < count; ++i)
    {
        Atom type;
        int format;
        unsigned long items, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(d, r.requestor, atoms[i], 0, 0, False, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        held += after > 0;
        if (data)
            XFree(data);
    }
    if (atoms)
        XFree(atoms);
    Say(line + " " + std::to_string(r.time) + " " + std::to_string(held));
}

int Serve(const char* targetName, const char* file)
{
    std::string bytes = ReadFile(file);
    delayMs = mode.rfind("delay:", 0) == 0 ? std::atoi(mode.c_str() + 6) : 0;
    Atom clipboard = A("CLIPBOARD");
    Atom target = A(targetName);
    XSetSelectionOwner(d, clipboard, self, CurrentTime);
    XSync(d, False);
    if (XGetSelectionOwner(d, clipboard) != self)
        return 1;
    Say("ready");
    // Until killed, or until it loses the selection.
    for (;;)
    {
        XEvent e;
        if (!Next(e, 60000))
            return 1;
        if (e.type == SelectionClear)
            return 0;
        if (e.type != SelectionRequest)
            continue;
        if (report && delayMs == 0)
            Report(e.xselectionrequest);
        if (delayMs > 0)
        {
            bytes = ReadFile(file);
            if (report)
                Report(e.xselectionrequest);
            else
                Say(std::string("asked ").append(AtomName(e.xselectionrequest.target, "?")));
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        }
        if (!Answer(e.xselectionrequest, target, bytes) && delayMs == 0)
            return 1;
    }
}

// ---- Fetching a selection ---------------------------------------------------------------------

// The answer of the owner of `selection` for `target`, following an incremental transfer.
bool Fetch(Atom selection, Atom target, Time time, std::string& bytes)
{
    Atom property = A("XPEER_DATA");
    XSelectInput(d, self, PropertyChangeMask);
    XConvertSelection(d, selection, target, property, self, time);
    XEvent e;
    do
    {
        if (!Next(e, 10000))
            return false;
    } while (e.type != SelectionNotify);
    if (e.xselection.property == None)
        return false;
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, self, property, 0, 1 << 26, True, AnyPropertyType, &type, &format, &items, &after, &data);
    if (type != A("INCR"))
    {
        if (data)
            bytes.assign(reinterpret_cast<char*>(data), items);
        if (data)
            XFree(data);
        return format == 8;
    }
    if (data)
        XFree(data);
    int chunks = 0;
    for (;;)
    {
        if (!Next(e, 10000))
            return false;
        if (e.type != PropertyNotify || e.xproperty.atom != property || e.xproperty.state != PropertyNewValue)
            continue;
        if (mode == "vanish-mid" && ++chunks == 2)
            std::exit(3);
        data = nullptr;
        XGetWindowProperty(d, self, property, 0, 1 << 26, True, AnyPropertyType, &type, &format, &items, &after,
                           &data);
        if (!data)
            continue;
        bytes.append(reinterpret_cast<char*>(data), items);
        XFree(data);
        if (items == 0)
            return true;
    }
}

int FetchClipboard(const char* targetName, const char* out)
{
    std::string bytes;
    if (!Fetch(A("CLIPBOARD"), A(targetName), CurrentTime, bytes))
    {
        Say("failed");
        return 1;
    }
    std::ofstream(out, std::ios::binary) << bytes;
    Say("fetched " + std::to_string(bytes.size()));
    return 0;
}

// ---- XDND -------------------------------------------------------------------------------------

long WindowLong(Window w, Atom property, Atom type)
{
    Atom actual;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    long value = 0;
    if (XGetWindowProperty(d, w, property, 0, 1, False, type, &actual, &format, &items, &after, &data) == Success &&
        data && items == 1 && format == 32)
        std::memcpy(&value, data, sizeof value);
    if (data)
        XFree(data);
    return value;
}

// Unflushed, a message goes out with the next one that is.
void Send(Window to, Atom type, long l0, long l1, long l2, long l3, long l4, bool flush = true)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, to, False, NoEventMask, &e);
    if (flush)
        XFlush(d);
}

int Drop(int x, int y, const char* file)
{
    std::string uris = ReadFile(file);
    Window root = DefaultRootWindow(d);
    Window target = 0, current = root;
    for (int depth = 0; depth < 16 && !target; ++depth)
    {
        int cx, cy;
        Window child = None;
        XTranslateCoordinates(d, root, current, x, y, &cx, &cy, &child);
        if (child == None)
            break;
        current = child;
        if (WindowLong(current, A("XdndAware"), XA_ATOM) >= 5)
            target = current;
    }
    if (!target)
    {
        Say("no target");
        return 1;
    }
    Atom type = mode == "no-uris" ? A("text/plain") : A("text/uri-list");
    XSetSelectionOwner(d, A("XdndSelection"), self, CurrentTime);
    const bool hold = mode == "hold", hover = mode == "hover", reenter = mode == "reenter";
    const bool trickle = mode.rfind("trickle:", 0) == 0 || early;
    // The action asked for: a copy, or with mode "move" (and a re-entering drag's first drop) a
    // move (a copy is then allowed too).
    Atom action = A(mode == "move" || reenter ? "XdndActionMove" : "XdndActionCopy");
    auto position = [&](int right = 0)
    {
        Send(target, A("XdndPosition"), static_cast<long>(self), 0, (long(x + right) << 16) | y, CurrentTime,
             static_cast<long>(action));
    };
    auto enter = [&]
    {
        Send(target, A("XdndEnter"), static_cast<long>(self), 5L << 24, static_cast<long>(type), 0, 0, false);
        position();
    };
    enter();
    for (int right = 1; eager && right <= 2; ++right)
        position(right);
    bool accepted = false;
    bool dropped = false;
    bool holding = false;   // "hold": taken up, waiting for the nudge
    bool reentered = false; // "reenter": in its second drag
    std::string said;       // the status a hovering drag said last
    auto deadline = Clock::now() + std::chrono::seconds(15);
    // A drag that stays over the target moves on only when it is answered: its deadline is the
    // one of its last position.
    bool staying = mode == "probe" || hover;
    auto unanswered = Clock::now() + std::chrono::seconds(5);
    auto drop = [&]
    {
        Send(target, A("XdndDrop"), static_cast<long>(self), 0, CurrentTime, 0, 0);
        dropped = true;
        deadline = Clock::now() + std::chrono::seconds(15);
    };
    if (early)
        drop();
    while (Clock::now() < deadline)
    {
        if (staying && !dropped && Clock::now() > unanswered)
        {
            Send(target, A("XdndLeave"), static_cast<long>(self), 0, 0, 0, 0);
            Say("no status");
            return 1;
        }
        if (hover && nudged)
        {
            Send(target, A("XdndLeave"), static_cast<long>(self), 0, 0, 0, 0);
            Say("left");
            return 0;
        }
        if (holding && nudged)
        {
            holding = false;
            drop();
        }
        if (again && !reentered && nudged)
        {
            // Gives up on the list it serves: its drag ends, and a new one begins in the same breath.
            Send(target, A(mode[0] == 'l' ? "XdndLeave" : "XdndDrop"), static_cast<long>(self), 0, CurrentTime, 0,
                 0, false);
            reentered = true;
            staying = true;
            enter();
            unanswered = Clock::now() + std::chrono::seconds(5);
            deadline = Clock::now() + std::chrono::seconds(15);
        }
        if (reenter && dropped && !reentered && nudged)
        {
            // Gives up on the finish of its drop: a new drag, with the file as it is now.
            uris = ReadFile(file);
            action = A("XdndActionCopy");
            reentered = true;
            staying = true;
            dropped = false;
            enter();
            unanswered = Clock::now() + std::chrono::seconds(5);
            deadline = Clock::now() + std::chrono::seconds(15);
        }
        XEvent e;
        if (!Next(e, 100))
            continue;
        if (e.type == SelectionRequest)
        {
            const XSelectionRequestEvent& r = e.xselectionrequest;
            if (trickle || (again && !reentered) || mode == "unsized")
                Answer(r, type, uris);
            else if (r.target == type && mode == "bad-data")
            {
                long junk[3] = {1, 2, 3};
                XChangeProperty(d, r.requestor, r.property, type, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(junk), 3);
                Notify(r, r.property);
            }
            else if (r.target == type)
            {
                XChangeProperty(d, r.requestor, r.property, type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
                Notify(r, r.property);
            }
            else
                Notify(r, None);
            continue;
        }
        if (e.type != ClientMessage)
            continue;
        const bool status = e.xclient.message_type == A("XdndStatus");
        if (status && mode == "quiet")
        {
            // Answers requests for the data but never drops nor leaves; gone after a while.
            deadline = std::min(deadline, Clock::now() + std::chrono::seconds(8));
            continue;
        }
        if (status && !dropped && staying)
        {
            accepted = (e.xclient.data.l[1] & 1) != 0;
            std::string heard =
                accepted ? "status accepted " + AtomName(static_cast<Atom>(e.xclient.data.l[4]), "None")
                         : "status refused";
            if ((!hover || heard != said) && !(again && !accepted))
                Say(heard);
            said = heard;
            deadline = Clock::now() + std::chrono::seconds(15);
            if (accepted && !hover)
            {
                drop();
                continue;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            position();
            unanswered = Clock::now() + std::chrono::seconds(5);
        }
        else if (status && !dropped && !holding)
        {
            accepted = (e.xclient.data.l[1] & 1) != 0;
            if (!accepted)
            {
                Send(target, A("XdndLeave"), static_cast<long>(self), 0, 0, 0, 0);
                Say("refused");
                return 2;
            }
            if (!hold)
            {
                drop();
                continue;
            }
            Say("status accepted " + AtomName(static_cast<Atom>(e.xclient.data.l[4]), "None"));
            holding = true;
            deadline = Clock::now() + std::chrono::seconds(120);
        }
        else if (e.xclient.message_type == A("XdndFinished"))
        {
            bool ok = (e.xclient.data.l[1] & 1) != 0;
            std::string finish = std::string(ok ? "finished " : "failed ") +
                                 AtomName(static_cast<Atom>(e.xclient.data.l[2]), "None");
            if (reentered && !dropped)
            {
                // Not for this drag, which has not dropped: it goes on, as the pointer moves.
                Say("early " + finish);
                position();
                unanswered = Clock::now() + std::chrono::seconds(5);
                continue;
            }
            Say(finish);
            return ok ? 0 : 2;
        }
    }
    if (mode == "quiet")
        std::exit(3);
    Say("timeout");
    return 1;
}

int Target(int x, int y, const char* out)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(d, DefaultScreen(d));
    Window w = XCreateWindow(d, DefaultRootWindow(d), x, y, 200, 150, 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    long version = 5;
    XChangeProperty(d, w, A("XdndAware"), XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&version), 1);
    XSelectInput(d, w, StructureNotifyMask);
    XMapRaised(d, w);
    XEvent e;
    do
        Next(e, 5000);
    while (e.type != MapNotify);
    Say("ready " + std::to_string(w));
    Window source = 0;
    bool uriList = false;
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline)
    {
        if (!Next(e, 1000) || e.type != ClientMessage)
            continue;
        const XClientMessageEvent& m = e.xclient;
        if (m.message_type == A("XdndEnter"))
        {
            source = static_cast<Window>(m.data.l[0]);
            uriList = false;
            for (int i = 2; i < 5; ++i)
                uriList = uriList || static_cast<Atom>(m.data.l[i]) == A("text/uri-list");
            Say("enter " + std::to_string((m.data.l[1] >> 24) & 0xFF));
        }
        else if (m.message_type == A("XdndPosition") && mode != "silent")
            Send(source, A("XdndStatus"), static_cast<long>(w), uriList ? 1 : 0, 0, 0,
                 uriList ? static_cast<long>(A("XdndActionCopy")) : 0);
        else if (m.message_type == A("XdndLeave"))
            Say("leave");
        else if (m.message_type == A("XdndDrop"))
        {
            std::string bytes;
            bool ok = Fetch(A("XdndSelection"), A("text/uri-list"), static_cast<Time>(m.data.l[2]), bytes);
            std::ofstream(out, std::ios::binary) << bytes;
            Send(source, A("XdndFinished"), static_cast<long>(w), ok ? 1 : 0,
                 ok ? static_cast<long>(A("XdndActionCopy")) : 0, 0, 0);
            Say(ok ? "dropped" : "drop failed");
            return ok ? 0 : 1;
        }
    }
    Say("timeout");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
    {
        std::fputs("usage: xpeer serve|fetch|drop|target ...\n", stderr);
        return 2;
    }
    d = XOpenDisplay(nullptr);
    if (!d)
        return 2;
    XSetErrorHandler(Ignore);
    signal(SIGUSR1, Nudge);
    self = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    std::string what = argv[1];
    if (what == "serve")
    {
        mode = argc > 4 ? argv[4] : "";
        report = argc > 5 && std::string(argv[5]) == "report";
        return Serve(argv[2], argv[3]);
    }
    if (what == "fetch")
    {
        mode = argc > 4 ? argv[4] : "";
        return FetchClipboard(argv[2], argv[3]);
    }
    if (what == "drop" && argc >= 5)
    {
        mode = argc > 5 ? argv[5] : "";
        report = argc > 6 && std::string(argv[6]) == "report";
        eager = mode.rfind("eager-", 0) == 0;
        if (eager)
            mode.erase(0, 6);
        early = mode.rfind("drop-early:", 0) == 0;
        again = mode.rfind("leave-again:", 0) == 0 || mode.rfind("drop-again:", 0) == 0;
        return Drop(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    }
    if (what == "target" && argc >= 5)
    {
        mode = argc > 5 ? argv[5] : "";
        return Target(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    }
    return 2;
}
