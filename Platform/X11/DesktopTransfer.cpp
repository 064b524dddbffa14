#include "Platform/X11/DesktopTransfer.h"

#include "Platform/X11/X11Detail.h"
#include "Platform/X11/X11Presenter.h"
#include "Platform/Win32/Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

namespace X11
{
namespace
{
using Clock = std::chrono::steady_clock;

constexpr long XdndVersion = 5;
// Targets lists and type lists of peers are short; more is not a list we believe.
constexpr size_t LargestAtomList = 1024;
// Requests given up on whose answers we still watch for; older ones are forgotten (their
// properties are never used again).
constexpr size_t MostAbandoned = 32;

TransferLimits& Limits()
{
    static TransferLimits limits;
    return limits;
}

struct Atoms
{
    Atom clipboard, targets, timestamp, multiple, incr, utf8, textPlain, timeProbe, wmProtocols, wmDeleteWindow;
    Atom xdndAware, xdndSelection, xdndEnter, xdndPosition, xdndStatus, xdndLeave, xdndDrop,
        xdndFinished, xdndTypeList, xdndProxy, actionCopy, actionMove, actionLink;
};

// One form we serve: its target and its bytes.
struct ServedForm
{
    Atom target = None;
    std::shared_ptr<const std::string> bytes;
};

// A selection of ours and what it offers.
struct Served
{
    std::vector<ServedForm> forms;
    Time since = CurrentTime;
    bool held = false;
};

// An incremental transfer to another program: the next chunk goes when it deletes the property.
struct Sending
{
    ::Window requestor = 0;
    Atom property = None;
    Atom type = None;
    std::shared_ptr<const std::string> bytes;
    size_t sent = 0;
    Clock::time_point last;
};

// Our drag over other programs' windows.
struct Outgoing
{
    bool active = false;
    ::Window target = 0; // the XDND-aware window under the pointer
    ::Window sendTo = 0; // the target, or its proxy
    long version = 0;
    bool waiting = false; // a position was sent and its status has not come yet
    Clock::time_point sentAt;
    bool pending = false; // a newer position to send once the status comes
    long pendingPoint = 0;
    Atom pendingAction = None;
    bool accepted = false;
    Atom acceptedAction = None;
    bool finished = false;
    bool succeeded = false;
    Atom performed = None;
};

// Another program's drag over our windows.
struct Incoming
{
    ::Window source = 0;
    ::Window window = 0;
    long version = 0;
    std::vector<std::string> types;
    Clock::time_point last;
    bool accepted = false;
    unsigned proposed = ActionNone;
    int x = 0;
    int y = 0;
    Time dropTime = CurrentTime;
    bool inHandler = false;
    // Its drop came (the handler running may be the drop's), or its source left it while a handler
    // of one of its positions ran: no status of that position is wanted any more.
    bool dropped = false;
    bool left = false;
    // Its source heard how its drop ended.
    bool finished = false;
    // Its source began another drag while a handler of this one ran: it waits for no answer to
    // this one any more, and one now would be taken for the new drag's.
    bool superseded = false;
    // A later position of it came while a handler of an earlier one ran (its source sends them
    // without waiting for each answer): answered next. Of several, only the last counts, as for
    // any target that takes positions as they come.
    std::optional<XClientMessageEvent> laterPosition;
};

// A request of ours given up on before its answer came: the owner may still answer it, into the
// request's own property, which no other request uses meanwhile.
struct Abandoned
{
    Atom selection = None;
    Atom target = None;
    Atom property = None;
    Time time = CurrentTime;
};

// A transfer given up on in the middle (or at its header): what its owner writes is deleted unread
// until its empty end, so that the owner is left nothing to wait on, though no longer than the
// limits of a transfer.
struct Draining
{
    Atom property = None;
    Clock::time_point until;
    size_t bytes = 0;
};

// What the clipboard's owner told in its present ownership, and whether it stayed silent in this
// turn of the program's loop (one paste, which asks several questions in a row).
struct OwnerMemory
{
    ::Window owner = None;
    unsigned long ownership = 0; // the count of owner changes when it was learnt
    bool listed = false;         // `targets` holds its answer to TARGETS (empty: it named none)
    std::vector<std::string> targets;
    bool silent = false;
};

struct State
{
    Display* display = nullptr;
    Atoms a{};
    std::map<Atom, Served> served; // by selection
    std::vector<Sending> sending;
    Outgoing out;
    Incoming in;
    // A drag that entered while a handler of `in` ran a loop of its own: refused meanwhile, it
    // becomes `in` once the handler is done.
    Incoming next;
    IncomingDrag handlers;
    // Properties for the answers to our requests: free ones, and how many were named.
    std::vector<Atom> spareProperties;
    unsigned propertiesNamed = 0;
    std::vector<Abandoned> abandoned;
    std::vector<Draining> draining;
    Time lastRequestTime = CurrentTime;
    // Selection-owner notices (XFixes) tell every change of the clipboard's owner, also a window
    // taking it anew; without the extension nothing is remembered past one turn of the loop.
    int fixesEvent = -1;
    unsigned long ownerships = 0;
    OwnerMemory known;
    // The user ended a wait of this turn's paste (Escape, a close): the rest of it asks nothing.
    bool endedByUser = false;
    // Waits for another program under way (nested ones count each): meanwhile the program is busy
    // for other programs' drags.
    int waits = 0;
    // The waits under way are for the data of the drag in hand, to answer one of its positions:
    // they end once that answer is wanted no more.
    bool answering = false;
};

// Never destroyed, as the connection it belongs to: windows freed at exit still reach it.
State& TheState()
{
    static State& state = *new State;
    return state;
}

// The state for the live display (atoms are the server's: a new connection interns them anew);
// null without a display.
State* Live()
{
    Display* d = Detail::LiveDisplay();
    if (!d)
        return nullptr;
    State& s = TheState();
    if (s.display == d)
        return &s;
    IncomingDrag handlers = std::move(s.handlers);
    s = State();
    s.handlers = std::move(handlers);
    s.display = d;
    auto intern = [d](const char* name) { return XInternAtom(d, name, False); };
    Atoms& a = s.a;
    a.clipboard = intern("CLIPBOARD");
    a.targets = intern("TARGETS");
    a.timestamp = intern("TIMESTAMP");
    a.multiple = intern("MULTIPLE");
    a.incr = intern("INCR");
    a.utf8 = intern("UTF8_STRING");
    a.textPlain = intern("text/plain;charset=utf-8");
    a.timeProbe = intern("KELVANE_TIME");
    a.wmProtocols = intern("WM_PROTOCOLS");
    a.wmDeleteWindow = intern("WM_DELETE_WINDOW");
    a.xdndAware = intern("XdndAware");
    a.xdndSelection = intern("XdndSelection");
    a.xdndEnter = intern("XdndEnter");
    a.xdndPosition = intern("XdndPosition");
    a.xdndStatus = intern("XdndStatus");
    a.xdndLeave = intern("XdndLeave");
    a.xdndDrop = intern("XdndDrop");
    a.xdndFinished = intern("XdndFinished");
    a.xdndTypeList = intern("XdndTypeList");
    a.xdndProxy = intern("XdndProxy");
    a.actionCopy = intern("XdndActionCopy");
    a.actionMove = intern("XdndActionMove");
    a.actionLink = intern("XdndActionLink");
    int fixesError = 0, major = 5, minor = 0;
    if (XFixesQueryExtension(d, &s.fixesEvent, &fixesError) && XFixesQueryVersion(d, &major, &minor) &&
        major >= 1)
        XFixesSelectSelectionInput(d, Detail::Utility(), a.clipboard,
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
    else
        s.fixesEvent = -1;
    return &s;
}

// The largest property we write in one piece; larger data goes incrementally.
size_t ChunkSize(Display* d)
{
    long units = XMaxRequestSize(d); // in four-byte units
    size_t limit = units > 64 ? static_cast<size_t>(units) * 4 - 256 : 4096;
    return std::min<size_t>(limit, 256 * 1024);
}

unsigned ActionOf(const Atoms& a, Atom action)
{
    if (action == a.actionCopy)
        return ActionCopy;
    if (action == a.actionMove)
        return ActionMove;
    if (action == a.actionLink)
        return ActionLink;
    return ActionNone;
}

Atom AtomOf(const Atoms& a, unsigned action)
{
    if (action & ActionMove)
        return a.actionMove;
    if (action & ActionCopy)
        return a.actionCopy;
    if (action & ActionLink)
        return a.actionLink;
    return None;
}

// One action of a set, in the order a user expects: the move a plain drag asks for, else a copy.
unsigned OneAction(unsigned actions)
{
    if (actions & ActionMove)
        return ActionMove;
    if (actions & ActionCopy)
        return ActionCopy;
    return actions & ActionLink;
}

void SendClientMessage(Display* d, ::Window to, ::Window about, Atom type, long l0, long l1, long l2,
                       long l3, long l4)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = about;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, to, False, NoEventMask, &e);
    XFlush(d);
}

// ---- Serving our selections ---------------------------------------------------------------------

void StopWatching(State& s, ::Window requestor)
{
    for (const Sending& other : s.sending)
        if (other.requestor == requestor)
            return;
    if (requestor != Detail::Utility() && !Detail::OwnWindow(requestor))
        XSelectInput(s.display, requestor, NoEventMask);
}

// Gives up the transfers to a window (to one property of it, unless None).
void DropSending(State& s, ::Window requestor, Atom property)
{
    s.sending.erase(std::remove_if(s.sending.begin(), s.sending.end(),
                                   [&](const Sending& t)
                                   { return t.requestor == requestor && (property == None || t.property == property); }),
                    s.sending.end());
}

void AnswerRequest(State& s, const XSelectionRequestEvent& r)
{
    Display* d = s.display;
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = d;
    reply.requestor = r.requestor;
    reply.selection = r.selection;
    reply.target = r.target;
    reply.time = r.time;
    reply.property = None;
    // An obsolete requestor names no property: the target's name serves as one.
    Atom property = r.property != None ? r.property : r.target;
    auto it = s.served.find(r.selection);
    bool current = it != s.served.end() && it->second.held &&
                   (r.time == CurrentTime || it->second.since == CurrentTime || r.time >= it->second.since);
    if (current && r.target == s.a.targets)
    {
        std::vector<Atom> offered{s.a.targets, s.a.timestamp};
        for (const ServedForm& form : it->second.forms)
            offered.push_back(form.target);
        XChangeProperty(d, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered.data()), static_cast<int>(offered.size()));
        reply.property = property;
    }
    else if (current && r.target == s.a.timestamp)
    {
        long since = static_cast<long>(it->second.since);
        XChangeProperty(d, r.requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&since), 1);
        reply.property = property;
    }
    else if (current)
    {
        for (const ServedForm& form : it->second.forms)
        {
            if (form.target != r.target)
                continue;
            const std::string& bytes = *form.bytes;
            if (bytes.size() <= ChunkSize(d))
            {
                XChangeProperty(d, r.requestor, property, form.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
            }
            else
            {
                // Incrementally: the size first (a lower bound), then a chunk each time the
                // requestor deletes the property, and an empty chunk at the end.
                // A window gone takes its transfers along (its id may soon be another's).
                XSelectInput(d, r.requestor, PropertyChangeMask | StructureNotifyMask);
                DropSending(s, r.requestor, property);
                long size = static_cast<long>(std::min<size_t>(bytes.size(), LONG_MAX));
                XChangeProperty(d, r.requestor, property, s.a.incr, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(&size), 1);
                s.sending.push_back(Sending{r.requestor, property, form.target, form.bytes, 0, Clock::now()});
            }
            reply.property = property;
            break;
        }
    }
    // MULTIPLE and every form we do not hold are refused.
    XSendEvent(d, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(d);
}

// The requestor deleted a property of an incremental transfer: the next chunk.
bool ContinueSending(State& s, const XPropertyEvent& e)
{
    if (e.state != PropertyDelete)
        return false;
    for (size_t i = 0; i < s.sending.size(); ++i)
    {
        Sending& t = s.sending[i];
        if (t.requestor != e.window || t.property != e.atom)
            continue;
        size_t n = std::min(ChunkSize(s.display), t.bytes->size() - t.sent);
        XChangeProperty(s.display, t.requestor, t.property, t.type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(t.bytes->data() + t.sent), static_cast<int>(n));
        t.sent += n;
        t.last = Clock::now();
        if (n == 0)
        {
            ::Window requestor = t.requestor;
            s.sending.erase(s.sending.begin() + static_cast<std::ptrdiff_t>(i));
            StopWatching(s, requestor);
        }
        XFlush(s.display);
        return true;
    }
    return false;
}

// ---- Waiting for peers --------------------------------------------------------------------------

bool HandleEvent(State& s, XEvent& event);

// Whether a notice answers a request of ours. Its time is the request's, which the owner copies
// from the request, or CurrentTime from an owner that does not: any other time is a notice for an
// earlier request or another client's stray one. Then one naming the request's own property does
// (no other request uses it while an answer to it may come); a refusal, or a notice naming some
// other property, only by the request's own time.
bool Answers(const XSelectionEvent& n, Atom selection, Atom target, Atom property, Time time)
{
    if (n.requestor != Detail::Utility() || n.selection != selection || n.target != target)
        return false;
    if (n.time != time && n.time != CurrentTime)
        return false;
    return n.property == property || (n.time == time && (time != CurrentTime || n.property == None));
}

// The request given up on that a notice answers, or null.
const Abandoned* AbandonedBy(const State& s, const XSelectionEvent& n)
{
    for (const Abandoned& a : s.abandoned)
        if (Answers(n, a.selection, a.target, a.property, a.time))
            return &a;
    return nullptr;
}

bool OwnerNotice(const State& s, const XEvent& e)
{
    return s.fixesEvent >= 0 && e.type == s.fixesEvent + XFixesSelectionNotify;
}

// The messages another program's drag sends the window under the pointer.
bool IncomingType(const Atoms& a, Atom type)
{
    return type == a.xdndEnter || type == a.xdndPosition || type == a.xdndLeave || type == a.xdndDrop;
}

// Whether a drag's message is answered at once while a handler of the drag in hand runs a loop of
// its own. The drag in hand hears from us when the handler is done; every other one is answered
// now, and so is its source once it begins a new drag.
bool AnsweredWhileWaiting(const State& s, const XClientMessageEvent& m)
{
    return !s.in.inHandler || static_cast<::Window>(m.data.l[0]) != s.in.source || s.in.superseded ||
           m.message_type == s.a.xdndEnter;
}

// Whether the source of the drag in hand waits for no answer to the position being handled any
// more: it left that drag, or began another. One that dropped it waits for a finish, and whether
// it may have one is known only once it begins another drag (its new XdndEnter may come a moment
// after the drop) or the wait has ended otherwise.
bool AnswerMoot(const Incoming& in)
{
    return in.left || in.superseded;
}

// What a wait serves meanwhile: requests for our selections, the steps of our incremental
// transfers, late answers to requests given up on, other programs' drags over our windows (each
// position is answered, refused while we wait), and our windows uncovered meanwhile (they show
// their pixels again, so that a long wait leaves no hole on the screen). Everything else stays
// queued for the program's own loop.
//
// A peer's messages are taken in the order sent, each for the drag it was sent in: the drag in
// hand's leave or drop at once, and a later position of it, all noted for that drag (the position
// is answered after the handler), so that whatever its source sends after it is seen at once too.
bool ServingEvent(const State& s, const XEvent& e)
{
    if (e.type == SelectionRequest || e.type == SelectionClear)
        return true;
    if (e.type == ClientMessage && e.xclient.format == 32 && IncomingType(s.a, e.xclient.message_type))
        return Detail::OwnWindow(e.xclient.window);
    if (e.type == Expose)
        return Detail::OwnWindow(e.xexpose.window);
    if (e.type == SelectionNotify)
        return AbandonedBy(s, e.xselection) != nullptr;
    if (e.type == DestroyNotify)
    {
        for (const Sending& t : s.sending)
            if (t.requestor == e.xdestroywindow.window)
                return true;
        return false;
    }
    if (e.type != PropertyNotify)
        return false;
    if (e.xproperty.state == PropertyNewValue)
        return e.xproperty.window == Detail::Utility() &&
               std::any_of(s.draining.begin(), s.draining.end(),
                           [&](const Draining& t) { return t.property == e.xproperty.atom; });
    for (const Sending& t : s.sending)
        if (t.requestor == e.xproperty.window && t.property == e.xproperty.atom)
            return true;
    return false;
}

struct WaitContext
{
    State* state;
    const std::function<bool(const XEvent&)>* wanted;
    bool userMayEnd = false;
    KeyCode escape = 0;
    bool ended = false; // the user's word came
};

bool EscapePressed(const WaitContext& c, const XEvent& e)
{
    return e.type == KeyPress && c.escape != 0 && e.xkey.keycode == c.escape && Detail::OwnWindow(e.xkey.window);
}

bool CloseAsked(const WaitContext& c, const XEvent& e)
{
    const Atoms& a = c.state->a;
    return e.type == ClientMessage && e.xclient.message_type == a.wmProtocols && e.xclient.format == 32 &&
           static_cast<Atom>(e.xclient.data.l[0]) == a.wmDeleteWindow && Detail::OwnWindow(e.xclient.window);
}

// Nothing queued behind the user's word is taken: an answer that came after it is too late. The
// Escape is taken, a close stays queued.
Bool PickEvent(Display*, XEvent* e, XPointer context)
{
    auto* c = reinterpret_cast<WaitContext*>(context);
    if (c->ended)
        return False;
    if (c->userMayEnd && (CloseAsked(*c, *e) || EscapePressed(*c, *e)))
    {
        c->ended = true;
        return e->type == KeyPress ? True : False;
    }
    return (*c->wanted)(*e) || ServingEvent(*c->state, *e) ? True : False;
}

// Waits up to `timeoutMs` for an event `wanted` picks, serving others meanwhile. False on timeout,
// when the display goes, when a wait for a position's answer is moot (what came meanwhile is
// served first), and, when `userMayEnd`, at the user's word (s.endedByUser tells).
bool WaitFor(State& s, const std::function<bool(const XEvent&)>& wanted, XEvent& found, int timeoutMs,
             bool userMayEnd = false)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    struct Waiting
    {
        State& s;
        explicit Waiting(State& s) : s(s) { ++s.waits; }
        ~Waiting() { s.waits -= s.waits > 0; } // none left when the display went meanwhile
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;
    } waiting(s);
    WaitContext context{&s, &wanted, userMayEnd};
    if (userMayEnd)
        context.escape = XKeysymToKeycode(s.display, XK_Escape);
    for (;;)
    {
        if (Detail::LiveDisplay() != s.display)
            return false;
        XFlush(s.display);
        XEvent e;
        while (!context.ended)
        {
            if (!XCheckIfEvent(s.display, &e, PickEvent, reinterpret_cast<XPointer>(&context)))
                break;
            if (context.ended)
                break; // the Escape: it has done its work
            if (wanted(e))
            {
                found = e;
                return true;
            }
            if (e.type == Expose)
                Detail::ShowExposed(e);
            else
                HandleEvent(s, e);
        }
        if (context.ended)
        {
            s.endedByUser = true;
            return false;
        }
        if (s.answering && AnswerMoot(s.in))
            return false;
        // Rounded up: a wait never ends before its deadline (the limits of a transfer count on it).
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd{ConnectionNumber(s.display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::min<long long>(left, 50)));
    }
}

// The server's time now, for taking a selection (a zero-length append tells it back).
Time ServerTime(State& s)
{
    ::Window utility = Detail::Utility();
    XChangeProperty(s.display, utility, s.a.timeProbe, XA_INTEGER, 8, PropModeAppend, nullptr, 0);
    XEvent e;
    bool got = WaitFor(
        s,
        [&](const XEvent& x)
        {
            return x.type == PropertyNotify && x.xproperty.window == utility && x.xproperty.atom == s.a.timeProbe;
        },
        e, 1000);
    return got ? e.xproperty.time : CurrentTime;
}

// Takes the queued notices of changes of the clipboard's owner.
void TakeOwnerNotices(State& s)
{
    if (s.fixesEvent < 0)
        return;
    XEvent e;
    while (XCheckIfEvent(
        s.display, &e,
        [](Display*, XEvent* x, XPointer p) -> Bool
        { return OwnerNotice(*reinterpret_cast<const State*>(p), *x) ? True : False; },
        reinterpret_cast<XPointer>(&s)))
        ++s.ownerships;
}

// The clipboard's owner now. The notice of every change of owner made before the server answered
// comes ahead of the answer, so what was learnt of an earlier ownership is forgotten here.
::Window OwnerNow(State& s)
{
    ::Window owner = XGetSelectionOwner(s.display, s.a.clipboard);
    TakeOwnerNotices(s);
    if (owner != s.known.owner || s.ownerships != s.known.ownership)
    {
        s.known = OwnerMemory();
        s.known.owner = owner;
        s.known.ownership = s.ownerships;
    }
    return owner;
}

// Whether what was just learnt of `owner` belongs to the ownership `ownership` still.
bool SameOwnership(State& s, ::Window owner, unsigned long ownership)
{
    TakeOwnerNotices(s);
    return s.ownerships == ownership && s.known.owner == owner && s.known.ownership == ownership;
}

// An answer to a request given up on: dropped. A plain answer's property is deleted and serves
// again; an incremental transfer's header stays (deleting it would ask its owner to begin), and
// its property is not used again.
void DropLateAnswer(State& s, const XSelectionEvent& n)
{
    const Abandoned* found = AbandonedBy(s, n);
    if (!found)
        return;
    Atom property = found->property;
    s.abandoned.erase(s.abandoned.begin() + (found - s.abandoned.data()));
    if (n.property != None)
    {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(s.display, Detail::Utility(), property, 0, 0, False, AnyPropertyType, &type,
                           &format, &items, &after, &data);
        if (data)
            XFree(data);
        if (type == s.a.incr)
            return;
        XDeleteProperty(s.display, Detail::Utility(), property);
        XFlush(s.display);
    }
    s.spareProperties.push_back(property);
}

// One step of a transfer given up on: what its owner wrote is deleted unread (its header too, which
// asks it to begin). True once the drain is over: the owner's empty end came, or it sent more or took
// longer than any transfer we take.
bool DrainStep(State& s, Draining& t)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    // Asked with deletion and no length: an empty value (the end, or a header with no number) goes in
    // the same round trip, a longer one is deleted after.
    XGetWindowProperty(s.display, Detail::Utility(), t.property, 0, 0, True, AnyPropertyType, &type, &format,
                       &items, &after, &data);
    if (data)
        XFree(data);
    if (after > 0)
        XDeleteProperty(s.display, Detail::Utility(), t.property);
    XFlush(s.display);
    t.bytes += after;
    if (type != None && type != s.a.incr && after == 0)
    {
        s.spareProperties.push_back(t.property); // the owner is done with it
        return true;
    }
    return t.bytes > LargestImport || Clock::now() > t.until;
}

// A new value of a property being drained; drains past their time are forgotten (their
// properties are not used again).
void Drain(State& s, const XPropertyEvent& e)
{
    const auto now = Clock::now();
    for (size_t i = 0; i < s.draining.size();)
    {
        Draining& t = s.draining[i];
        const bool stepped =
            e.window == Detail::Utility() && e.state == PropertyNewValue && e.atom == t.property;
        if (stepped ? DrainStep(s, t) : now > t.until)
            s.draining.erase(s.draining.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

// Releases the owner of a transfer given up on. What it wrote before is taken at once: its notice
// may have been dropped with the transfer's.
void StartDrain(State& s, Atom property)
{
    const TransferLimits limits = Limits();
    Draining t{property, Clock::now() + std::chrono::milliseconds(limits.timeoutMs)};
    if (!DrainStep(s, t))
        s.draining.push_back(t);
}

// Reads a whole property of the utility window: bytes for format 8, longs for format 32 (as
// Xlib hands them). Deletes it, except an incremental transfer's header when `keepHeader` is set
// (deleting that asks its owner to begin). False when it is missing or larger than `bound`.
bool ReadProperty(State& s, Atom property, size_t bound, bool keepHeader, std::string& bytes, Atom& type,
                  int& format, bool& tooLarge)
{
    Display* d = s.display;
    ::Window utility = Detail::Utility();
    bytes.clear();
    tooLarge = false;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    // In slices, so no single reply is larger than the server likes to send. The first slice is
    // asked with deletion: a property that fits in it (every step of an incremental transfer) is
    // read and removed in one round trip.
    constexpr long SliceUnits = 1 << 18; // 1 MiB
    long offset = 0;
    for (bool first = true;; first = false)
    {
        data = nullptr;
        if (XGetWindowProperty(d, utility, property, offset, SliceUnits, first && !keepHeader ? True : False,
                               AnyPropertyType, &type, &format, &items, &after, &data) != Success ||
            type == None)
        {
            if (data)
                XFree(data);
            if (!first)
                XDeleteProperty(d, utility, property);
            return false;
        }
        bool deleted = first && !keepHeader && after == 0;
        bool keep = keepHeader && type == s.a.incr;
        size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
        if (first && items * static_cast<unsigned long>(format / 8) + after > bound)
        {
            if (data)
                XFree(data);
            tooLarge = true;
            if (!deleted && !keep)
                XDeleteProperty(d, utility, property);
            return false;
        }
        // The whole property is taken in one block, sized once: slices appended with regrowth
        // would hold up to twice a large answer.
        if (first && after > 0)
            bytes.reserve(items * unit + (format == 32 ? after / 4 * sizeof(long) : after));
        if (data)
        {
            bytes.append(reinterpret_cast<const char*>(data), items * unit);
            XFree(data);
        }
        if (first && after == 0)
        {
            if (!deleted && !keep)
                XDeleteProperty(d, utility, property);
            return true;
        }
        // The server's bytes read so far; format 32 items are longs here.
        const size_t serverBytes = format == 32 ? bytes.size() / sizeof(long) * 4 : bytes.size();
        // Its owner may add to the property while it is read: it is never read past the bound.
        tooLarge = serverBytes > bound;
        if (after == 0 || items == 0 || tooLarge)
            break;
        offset = static_cast<long>(serverBytes / 4); // in four-byte units
    }
    XDeleteProperty(d, utility, property);
    if (tooLarge)
        bytes.clear();
    return !tooLarge;
}

// Drops queued notices about the property: they belong to an earlier step.
void DropPropertyNotices(State& s, Atom property)
{
    struct Match
    {
        ::Window window;
        Atom atom;
    } match{Detail::Utility(), property};
    XEvent e;
    while (XCheckIfEvent(
        s.display, &e,
        [](Display*, XEvent* x, XPointer p) -> Bool
        {
            auto* m = reinterpret_cast<Match*>(p);
            return x->type == PropertyNotify && x->xproperty.window == m->window && x->xproperty.atom == m->atom;
        },
        reinterpret_cast<XPointer>(&match)))
    {
    }
}

// A property of the utility window for one request's answer, never one a request given up on
// may still be answered into.
Atom TakeProperty(State& s)
{
    if (!s.spareProperties.empty())
    {
        Atom property = s.spareProperties.back();
        s.spareProperties.pop_back();
        return property;
    }
    std::string name = "KELVANE_TRANSFER";
    if (s.propertiesNamed > 0)
        name.append(1, '_').append(std::to_string(s.propertiesNamed));
    ++s.propertiesNamed;
    return XInternAtom(s.display, name.c_str(), False);
}

// The time a request of ours carries: the server's, as the selection conventions ask of
// requestors, and later than every earlier request's, so that an owner answering one of those late
// (it copies the time into its answer) is not taken for answering this one.
Time RequestTime(State& s)
{
    Time now = ServerTime(s);
    if (now == CurrentTime)
        return CurrentTime;
    // Server times are 32 bits that wrap: later is a positive difference.
    const uint32_t last = static_cast<uint32_t>(s.lastRequestTime);
    if (s.lastRequestTime != CurrentTime && static_cast<int32_t>(static_cast<uint32_t>(now) - last) <= 0)
        now = last + 1 == CurrentTime ? 1 : last + 1;
    s.lastRequestTime = now;
    return now;
}

// Asks `owner` (the owner of `selection`, looked up by the caller) for `target` and reads the
// answer, incrementally when the owner sends it so. `format` tells the answer's unit (8 for bytes).
// A request without a time of its own (CurrentTime) gets the server's.
FetchResult Fetch(State& s, ::Window owner, Atom selection, Atom target, Time time, int firstAnswerMs,
                  size_t bound, std::string& bytes, int& format)
{
    Display* d = s.display;
    ::Window utility = Detail::Utility();
    bytes.clear();
    format = 0;
    if (owner == None)
        return FetchResult::NoOwner;
    if (s.endedByUser)
        return FetchResult::Cancelled;
    bool foreign = owner != utility && !Detail::OwnWindow(owner);
    // Its going away ends the wait at once.
    if (foreign)
        XSelectInput(d, owner, StructureNotifyMask);
    if (time == CurrentTime)
        time = RequestTime(s);
    const Atom property = TakeProperty(s);
    // What becomes of the property: free for the next request once the owner is done with it;
    // kept for an answer that may still come; drained when an incremental transfer was given up
    // (its owner may write another step into it, and waits for each to be taken).
    enum class After
    {
        Free,
        AwaitLate,
        Drain
    } after = After::AwaitLate;
    auto finish = [&](FetchResult result)
    {
        if (foreign)
            XSelectInput(d, owner, NoEventMask);
        DropPropertyNotices(s, property);
        if (after == After::AwaitLate)
        {
            if (s.abandoned.size() >= MostAbandoned)
                s.abandoned.erase(s.abandoned.begin());
            s.abandoned.push_back(Abandoned{selection, target, property, time});
        }
        else if (after == After::Free)
            s.spareProperties.push_back(property);
        else
            StartDrain(s, property);
        XFlush(d);
        if (result != FetchResult::Done)
            bytes.clear();
        return result;
    };
    XDeleteProperty(d, utility, property);
    DropPropertyNotices(s, property);
    XConvertSelection(d, selection, target, property, utility, time);
    XEvent e;
    auto gone = [&](const XEvent& x) { return x.type == DestroyNotify && x.xdestroywindow.window == owner; };
    bool answered = WaitFor(
        s,
        [&](const XEvent& x)
        {
            return gone(x) ||
                   (x.type == SelectionNotify && Answers(x.xselection, selection, target, property, time));
        },
        e, firstAnswerMs, true);
    if (!answered)
        return finish(s.endedByUser ? FetchResult::Cancelled : FetchResult::NoAnswer);
    if (gone(e))
        return finish(FetchResult::Vanished);
    after = After::Free;
    if (e.xselection.property == None)
        return finish(FetchResult::Refused);
    // The notice of the answer's own property came before the answer: it is no step of a transfer.
    DropPropertyNotices(s, property);
    Atom type = None;
    bool tooLarge = false;
    if (!ReadProperty(s, property, bound, true, bytes, type, format, tooLarge))
        return finish(tooLarge ? FetchResult::TooLarge : FetchResult::BadData);
    if (type != s.a.incr)
        return finish(FetchResult::Done);
    // Incremental: the announced size is a lower bound of what comes, and a header with no number
    // (as some owners send) announces none: the length is unknown, and the same limits hold.
    after = After::Drain;
    if (!bytes.empty() && format != 32)
        return finish(FetchResult::BadData);
    long announced = 0;
    if (!bytes.empty())
        std::memcpy(&announced, bytes.data(), sizeof announced);
    if (announced < 0)
        return finish(FetchResult::BadData);
    if (static_cast<unsigned long>(announced) > bound)
        return finish(FetchResult::TooLarge);
    bytes.clear();
    bytes.reserve(static_cast<size_t>(announced));
    format = 0;
    XDeleteProperty(d, utility, property); // the owner's signal to begin
    XFlush(d);
    std::string chunk;
    const auto begun = Clock::now();
    const TransferLimits limits = Limits();
    for (;;)
    {
        // The time the transfer may take grows with what came (see TransferTimeoutMs).
        const auto allowed = std::chrono::milliseconds(limits.timeoutMs) +
                             std::chrono::milliseconds(bytes.size() * 1000 / limits.leastRate);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(begun + allowed - Clock::now());
        if (left.count() <= 0)
            return finish(FetchResult::NoAnswer);
        bool stepped = WaitFor(
            s,
            [&](const XEvent& x)
            {
                return gone(x) || (x.type == PropertyNotify && x.xproperty.window == utility &&
                                   x.xproperty.atom == property && x.xproperty.state == PropertyNewValue);
            },
            e, static_cast<int>(std::min<long long>(left.count(), PeerTimeoutMs)), true);
        if (!stepped)
            return finish(s.endedByUser ? FetchResult::Cancelled : FetchResult::NoAnswer);
        if (gone(e))
            return finish(FetchResult::Vanished);
        int chunkFormat = 0;
        if (!ReadProperty(s, property, bound - bytes.size(), false, chunk, type, chunkFormat, tooLarge))
        {
            if (tooLarge)
                return finish(FetchResult::TooLarge);
            continue; // a notice of a value already gone
        }
        XFlush(d);
        if (chunkFormat != 8 || (format != 0 && chunkFormat != format))
            return finish(FetchResult::BadData);
        format = chunkFormat;
        if (chunk.empty())
        {
            after = After::Free;
            return finish(FetchResult::Done);
        }
        bytes += chunk;
    }
}

// The text forms of a fetch: only bytes (format 8) are text.
FetchResult FetchBytes(State& s, ::Window owner, Atom selection, Atom target, Time time, int firstAnswerMs,
                       size_t bound, std::string& bytes)
{
    int format = 0;
    FetchResult result = Fetch(s, owner, selection, target, time, firstAnswerMs, bound, bytes, format);
    if (result == FetchResult::Done && format != 8 && !(format == 0 && bytes.empty()))
    {
        bytes.clear();
        return FetchResult::BadData;
    }
    return result;
}

// Atom names of a list read from a property (longs), at most LargestAtomList of them.
std::vector<std::string> AtomNames(Display* d, const std::string& longs)
{
    std::vector<std::string> names;
    size_t count = std::min(longs.size() / sizeof(long), LargestAtomList);
    for (size_t i = 0; i < count; ++i)
    {
        long value = 0;
        std::memcpy(&value, longs.data() + i * sizeof(long), sizeof value);
        if (value == 0)
            continue;
        if (char* name = XGetAtomName(d, static_cast<Atom>(value)))
        {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

// ---- Our drag over other programs -----------------------------------------------------------------

long ReadWindowLong(Display* d, ::Window w, Atom property, Atom type)
{
    Atom actual = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long value = 0;
    if (XGetWindowProperty(d, w, property, 0, 1, False, type, &actual, &format, &items, &after, &data) == Success &&
        data && actual == type && format == 32 && items == 1)
        std::memcpy(&value, data, sizeof value);
    if (data)
        XFree(data);
    return value;
}

// The XDND-aware window under the pointer (0: none, or one of ours) with its version and the
// window messages go to (its proxy, when it names a valid one).
::Window FindTarget(State& s, int rootX, int rootY, long& version, ::Window& sendTo)
{
    Display* d = s.display;
    ::Window root = DefaultRootWindow(d);
    ::Window current = root;
    for (int depth = 0; depth < 32; ++depth)
    {
        int x = 0, y = 0;
        ::Window child = None;
        if (!XTranslateCoordinates(d, root, current, rootX, rootY, &x, &y, &child) || child == None)
            return 0;
        current = child;
        if (Detail::OwnWindow(current))
            return 0;
        long aware = ReadWindowLong(d, current, s.a.xdndAware, XA_ATOM);
        if (aware >= 3)
        {
            version = std::min(aware, XdndVersion);
            sendTo = current;
            auto proxy = static_cast<::Window>(ReadWindowLong(d, current, s.a.xdndProxy, XA_WINDOW));
            if (proxy != 0 && static_cast<::Window>(ReadWindowLong(d, proxy, s.a.xdndProxy, XA_WINDOW)) == proxy)
                sendTo = proxy;
            return current;
        }
    }
    return 0;
}

void SendPosition(State& s, long point, Atom action)
{
    Outgoing& o = s.out;
    SendClientMessage(s.display, o.sendTo, o.target, s.a.xdndPosition, static_cast<long>(Detail::Utility()), 0,
                      point, CurrentTime, static_cast<long>(action));
    o.waiting = true;
    o.pending = false;
    o.sentAt = Clock::now();
}

void LeaveTarget(State& s)
{
    Outgoing& o = s.out;
    if (o.target)
        SendClientMessage(s.display, o.sendTo, o.target, s.a.xdndLeave, static_cast<long>(Detail::Utility()), 0,
                          0, 0, 0);
    o.target = o.sendTo = 0;
    o.waiting = o.pending = o.accepted = o.finished = o.succeeded = false;
    o.acceptedAction = o.performed = None;
}

void EnterTarget(State& s, ::Window target, ::Window sendTo, long version)
{
    Outgoing& o = s.out;
    o.target = target;
    o.sendTo = sendTo;
    o.version = version;
    const std::vector<ServedForm>& forms = s.served[s.a.xdndSelection].forms;
    long types[3] = {0, 0, 0};
    for (size_t i = 0; i < forms.size() && i < 3; ++i)
        types[i] = static_cast<long>(forms[i].target);
    long flags = version << 24;
    if (forms.size() > 3)
    {
        std::vector<Atom> all;
        for (const ServedForm& f : forms)
            all.push_back(f.target);
        XChangeProperty(s.display, Detail::Utility(), s.a.xdndTypeList, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(all.data()), static_cast<int>(all.size()));
        flags |= 1;
    }
    SendClientMessage(s.display, sendTo, target, s.a.xdndEnter, static_cast<long>(Detail::Utility()), flags,
                      types[0], types[1], types[2]);
}

bool OutgoingMessage(State& s, const XClientMessageEvent& m)
{
    Outgoing& o = s.out;
    if (!o.active || !o.target || static_cast<::Window>(m.data.l[0]) != o.target)
        return true;
    if (m.message_type == s.a.xdndStatus)
    {
        o.waiting = false;
        o.accepted = (m.data.l[1] & 1) != 0;
        o.acceptedAction = o.accepted ? static_cast<Atom>(m.data.l[4]) : None;
        if (o.pending)
            SendPosition(s, o.pendingPoint, o.pendingAction);
    }
    else if (m.message_type == s.a.xdndFinished)
    {
        o.finished = true;
        o.succeeded = o.version < 5 || (m.data.l[1] & 1) != 0;
        o.performed = o.version < 5 ? o.acceptedAction : static_cast<Atom>(m.data.l[2]);
    }
    return true;
}

unsigned KeysOf(unsigned state)
{
    unsigned keys = 0;
    if (state & ShiftMask)
        keys |= ModShift;
    if (state & ControlMask)
        keys |= ModControl;
    if (state & Mod1Mask)
        keys |= ModAlt;
    if (state & Button1Mask)
        keys |= ModLeftButton;
    if (state & Button3Mask)
        keys |= ModRightButton;
    if (state & Button2Mask)
        keys |= ModMiddleButton;
    return keys;
}

bool PointerAt(Display* d, int& rootX, int& rootY, unsigned& keys)
{
    ::Window rootReturn = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(d, DefaultRootWindow(d), &rootReturn, &child, &rootX, &rootY, &wx, &wy, &mask))
        return false;
    keys = KeysOf(mask);
    return true;
}

// ---- Another program's drag over ours -------------------------------------------------------------

void EndIncoming(State& s, bool tellLeave)
{
    Incoming& in = s.in;
    bool had = in.source != 0;
    in = Incoming();
    if (had && tellLeave && s.handlers.Leave)
        s.handlers.Leave();
}

// Reads what an XdndEnter tells of a drag into `drag`; false for a version we do not speak.
bool ReadEnter(State& s, const XClientMessageEvent& m, Incoming& drag)
{
    Display* d = s.display;
    const Atoms& a = s.a;
    long version = (m.data.l[1] >> 24) & 0xFF;
    if (version < 3)
        return false;
    drag = Incoming();
    drag.source = static_cast<::Window>(m.data.l[0]);
    drag.window = m.window;
    drag.version = std::min(version, XdndVersion);
    drag.last = Clock::now();
    if (m.data.l[1] & 1)
    {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, drag.source, a.xdndTypeList, 0, static_cast<long>(LargestAtomList), False, XA_ATOM,
                               &type, &format, &items, &after, &data) == Success &&
            data && type == XA_ATOM && format == 32)
            drag.types = AtomNames(d, std::string(reinterpret_cast<const char*>(data), items * sizeof(long)));
        if (data)
            XFree(data);
    }
    else
    {
        std::string longs(reinterpret_cast<const char*>(&m.data.l[2]), 3 * sizeof(long));
        drag.types = AtomNames(d, longs);
    }
    return true;
}

// A position we do not take up is answered all the same, refused, so that its source never waits
// for us; a drop we do not take up hears that nothing was done.
void Refuse(State& s, const XClientMessageEvent& m)
{
    auto source = static_cast<::Window>(m.data.l[0]);
    if (!source)
        return;
    if (m.message_type == s.a.xdndPosition)
        SendClientMessage(s.display, source, source, s.a.xdndStatus, static_cast<long>(m.window), 2, 0, 0, 0);
    else if (m.message_type == s.a.xdndDrop)
        SendClientMessage(s.display, source, source, s.a.xdndFinished, static_cast<long>(m.window), 0, 0, 0, 0);
}

// Another program's drag while a handler of the one in hand runs a loop of its own (a drop's box):
// it is refused until the handler is done, and taken up then. So is a new drag of the source in
// hand, which has then done with the drag in hand.
void Meanwhile(State& s, const XClientMessageEvent& m)
{
    auto source = static_cast<::Window>(m.data.l[0]);
    Incoming& next = s.next;
    if (m.message_type == s.a.xdndEnter)
    {
        if (source == s.in.source)
            s.in.superseded = true;
        Incoming drag;
        if (ReadEnter(s, m, drag))
            next = std::move(drag);
        return;
    }
    bool known = next.source && source == next.source;
    if (known)
        next.last = Clock::now();
    if (known && (m.message_type == s.a.xdndLeave || m.message_type == s.a.xdndDrop))
        next = Incoming();
    Refuse(s, m);
}

// The handler of the drag in hand is done: a drag that entered meanwhile is the one in hand now
// (the pointer is over us for one drag only).
void TakeNext(State& s)
{
    if (!s.next.source)
        return;
    EndIncoming(s, true);
    s.in = std::move(s.next);
    s.next = Incoming();
}

// Tells the source of the drag in hand how its drop ended, once.
void SendFinish(State& s, unsigned performed)
{
    Incoming& in = s.in;
    if (in.finished)
        return;
    in.finished = true;
    SendClientMessage(s.display, in.source, in.source, s.a.xdndFinished, static_cast<long>(in.window),
                      performed ? 1 : 0, static_cast<long>(AtomOf(s.a, performed)), 0, 0);
}

// Busy with its user, or waiting for another program: a drop now would run inside that wait.
bool Busy(State& s)
{
    return s.waits > 0 || (s.handlers.Busy && s.handlers.Busy());
}

// Answers a position of the drag in hand. True when a later position of the same drag came
// meanwhile, then in `m`: it is to be answered next.
bool AnswerPosition(State& s, XClientMessageEvent& m)
{
    Incoming& in = s.in;
    Display* d = s.display;
    const Atoms& a = s.a;
    auto source = static_cast<::Window>(m.data.l[0]);
    int rootX = static_cast<int>((m.data.l[2] >> 16) & 0xFFFF);
    int rootY = static_cast<int>(m.data.l[2] & 0xFFFF);
    in.proposed = in.version >= 2 ? ActionOf(a, static_cast<Atom>(m.data.l[4])) : ActionCopy;
    if (in.proposed == ActionNone)
        in.proposed = ActionCopy;
    ::Window child = 0;
    XTranslateCoordinates(d, DefaultRootWindow(d), in.window, rootX, rootY, &in.x, &in.y, &child);
    if (Busy(s))
    {
        // The program asks its user something, or waits for another program: a drop now would
        // run behind that question, or inside that wait.
        if (s.handlers.Leave)
            s.handlers.Leave();
        in.accepted = false;
        Refuse(s, m);
        return false;
    }
    int px = 0, py = 0;
    unsigned keys = 0;
    PointerAt(d, px, py, keys);
    unsigned taken = ActionNone;
    if (s.handlers.Over)
    {
        in.inHandler = true;
        taken = s.handlers.Over(in.window, in.x, in.y, in.proposed, keys, in.types);
        in.inHandler = false;
    }
    taken = OneAction(taken);
    in.accepted = taken != ActionNone;
    // What the source sent after this position and before a leave, a drop or a new drag of it.
    const std::optional<XClientMessageEvent> next =
        in.superseded || in.left || in.dropped ? std::nullopt : in.laterPosition;
    if (in.superseded)
        EndIncoming(s, true); // no status: its source is in another drag
    else if (in.left || in.dropped)
    {
        // Its source did not wait for the answer: the drag is over, a drop of it never accepted.
        if (in.dropped)
            SendFinish(s, ActionNone);
        EndIncoming(s, true);
    }
    else
        SendClientMessage(d, source, source, a.xdndStatus, static_cast<long>(in.window), in.accepted ? 3 : 2,
                          0, 0, static_cast<long>(AtomOf(a, taken)));
    TakeNext(s);
    if (!next)
        return false;
    if (in.source != source)
    {
        Refuse(s, *next); // another program's drag came meanwhile, and has the pointer now
        return false;
    }
    in.laterPosition.reset();
    m = *next;
    return true;
}

void IncomingMessage(State& s, const XClientMessageEvent& m)
{
    Incoming& in = s.in;
    Display* d = s.display;
    const Atoms& a = s.a;
    auto source = static_cast<::Window>(m.data.l[0]);
    if (in.inHandler)
    {
        // A handler runs a loop of its own: the peer in hand hears from us when it is done, any
        // other at once, and so does the peer in hand once it begins a new drag (it gave up
        // waiting, or its window is another program's now). Its leave or drop before its position
        // is answered ends the drag in hand; a position after those is of no drag of ours.
        if (AnsweredWhileWaiting(s, m))
            Meanwhile(s, m);
        else if (in.dropped || in.left)
        {
            if (m.message_type == a.xdndPosition)
                Refuse(s, m);
        }
        else if (m.message_type == a.xdndPosition)
            in.laterPosition = m;
        else
        {
            in.left = m.message_type == a.xdndLeave;
            in.dropped = m.message_type == a.xdndDrop;
        }
        return;
    }
    if (m.message_type == a.xdndEnter)
    {
        EndIncoming(s, true);
        Incoming drag;
        if (ReadEnter(s, m, drag))
            in = std::move(drag);
        return;
    }
    if (!in.source || source != in.source)
    {
        Refuse(s, m); // a drag we do not know, or no longer
        return;
    }
    in.last = Clock::now();
    if (m.message_type == a.xdndPosition)
    {
        XClientMessageEvent position = m;
        while (AnswerPosition(s, position))
            in.last = Clock::now();
        return;
    }
    if (m.message_type == a.xdndLeave)
    {
        EndIncoming(s, true);
        return;
    }
    if (m.message_type == a.xdndDrop)
    {
        in.dropped = true;
        in.dropTime = in.version >= 1 ? static_cast<Time>(m.data.l[2]) : CurrentTime;
        unsigned performed = ActionNone;
        bool handled = in.accepted && s.handlers.Drop && !Busy(s);
        if (handled)
        {
            int px = 0, py = 0;
            unsigned keys = 0;
            PointerAt(d, px, py, keys);
            in.inHandler = true;
            performed = OneAction(s.handlers.Drop(in.window, in.x, in.y, in.proposed, keys));
            in.inHandler = false;
        }
        if (Detail::LiveDisplay() != d)
            return;
        // A source in another drag hears no finish of this one: it would take it for the new one's.
        if (!in.superseded)
            SendFinish(s, performed);
        EndIncoming(s, !handled);
        TakeNext(s);
    }
}

bool HandleEvent(State& s, XEvent& event)
{
    switch (event.type)
    {
    case SelectionRequest:
        AnswerRequest(s, event.xselectionrequest);
        return true;
    case SelectionClear:
    {
        auto it = s.served.find(event.xselectionclear.selection);
        if (it != s.served.end())
            it->second.held = false;
        return true;
    }
    case PropertyNotify:
        if (!ContinueSending(s, event.xproperty))
            Drain(s, event.xproperty);
        return true; // none of our windows asks for these but the transfers
    case SelectionNotify:
        DropLateAnswer(s, event.xselection);
        return true; // our requests wait for their own answers
    case DestroyNotify:
        if (!s.sending.empty())
            DropSending(s, event.xdestroywindow.window, None);
        return !Detail::OwnWindow(event.xdestroywindow.window) && event.xdestroywindow.event != Detail::Utility() &&
               !Detail::OwnWindow(event.xdestroywindow.event);
    case ClientMessage:
    {
        const XClientMessageEvent& m = event.xclient;
        const Atoms& a = s.a;
        if (m.format != 32)
            return false;
        if (m.message_type == a.xdndStatus || m.message_type == a.xdndFinished)
            return OutgoingMessage(s, m);
        if (IncomingType(a, m.message_type))
        {
            if (Detail::OwnWindow(m.window))
                IncomingMessage(s, m);
            return true;
        }
        return false;
    }
    default:
        if (!OwnerNotice(s, event))
            return false;
        ++s.ownerships;
        return true;
    }
}
} // namespace

// ---- The clipboard --------------------------------------------------------------------------------

void OfferClipboard(std::vector<Offer> offers)
{
    State* s = Live();
    if (!s)
        return;
    Served served;
    for (Offer& offer : offers)
        if (offer.bytes)
            served.forms.push_back(ServedForm{XInternAtom(s->display, offer.target.c_str(), False), offer.bytes});
    served.since = ServerTime(*s);
    XSetSelectionOwner(s->display, s->a.clipboard, Detail::Utility(), served.since);
    served.held = XGetSelectionOwner(s->display, s->a.clipboard) == Detail::Utility();
    s->served[s->a.clipboard] = std::move(served);
    XFlush(s->display);
}

TransferLimits SetTransferLimits(TransferLimits limits)
{
    limits.leastRate = std::max<size_t>(limits.leastRate, 1);
    return std::exchange(Limits(), limits);
}

ClipboardOwner ClipboardOwnerNow()
{
    State* s = Live();
    if (!s)
        return ClipboardOwner::Nobody;
    ::Window owner = OwnerNow(*s);
    if (owner == None)
        return ClipboardOwner::Nobody;
    return owner == Detail::Utility() ? ClipboardOwner::Us : ClipboardOwner::Other;
}

bool ClipboardTargets(std::vector<std::string>& targets, int timeoutMs, const std::function<void()>& asking)
{
    targets.clear();
    State* s = Live();
    if (!s)
        return false;
    ::Window owner = OwnerNow(*s);
    if (owner == None || owner == Detail::Utility())
        return false;
    OwnerMemory& known = s->known;
    if (known.listed || known.silent)
    {
        targets = known.targets;
        return !targets.empty();
    }
    if (s->endedByUser)
        return false;
    if (asking)
        asking();
    const unsigned long ownership = s->ownerships;
    std::string longs;
    int format = 0;
    FetchResult r =
        Fetch(*s, owner, s->a.clipboard, s->a.targets, CurrentTime, timeoutMs, 64 * 1024, longs, format);
    if (r == FetchResult::Done && format == 32)
        targets = AtomNames(s->display, longs);
    // Kept for this ownership only: another program's window may carry the id of one gone a
    // moment ago, and a window taking the clipboard anew may offer other forms. A wait the user
    // ended tells nothing of the owner.
    if (r != FetchResult::Vanished && r != FetchResult::Cancelled && SameOwnership(*s, owner, ownership))
    {
        known.silent = r == FetchResult::NoAnswer;
        known.listed = !known.silent;
        known.targets = targets;
    }
    return !targets.empty();
}

FetchResult FetchClipboard(const std::string& target, std::string& bytes, int firstAnswerMs, size_t bound)
{
    bytes.clear();
    State* s = Live();
    if (!s)
        return FetchResult::NoOwner;
    ::Window owner = OwnerNow(*s);
    if (owner == None)
        return FetchResult::NoOwner;
    // One wait for a silent owner in a paste, however many questions the paste asks.
    if (s->known.silent)
        return FetchResult::NoAnswer;
    const unsigned long ownership = s->ownerships;
    FetchResult r = FetchBytes(*s, owner, s->a.clipboard, XInternAtom(s->display, target.c_str(), False),
                               CurrentTime, firstAnswerMs, bound, bytes);
    if (r == FetchResult::NoAnswer && SameOwnership(*s, owner, ownership))
        s->known.silent = true;
    return r;
}

void SetClipboardText(const std::u16string& text)
{
    std::string utf8 = Platform::ToUtf8(text.c_str(), text.size());
    std::string latin;
    latin.reserve(text.size());
    for (char16_t ch : text)
        latin += ch < 0x100 ? static_cast<char>(ch) : '?';
    auto shared = std::make_shared<const std::string>(std::move(utf8));
    OfferClipboard({{"UTF8_STRING", shared},
                    {"text/plain;charset=utf-8", shared},
                    {"STRING", std::make_shared<const std::string>(std::move(latin))}});
}

bool OwnsClipboard()
{
    return ClipboardOwnerNow() == ClipboardOwner::Us;
}

bool GetClipboardText(std::u16string& text, int timeoutMs)
{
    State* s = Live();
    if (!s)
        return false;
    if (ClipboardOwnerNow() == ClipboardOwner::Us)
    {
        for (const ServedForm& form : s->served[s->a.clipboard].forms)
            if (form.target == s->a.utf8)
            {
                text = Platform::FromUtf8(*form.bytes);
                return true;
            }
        return false;
    }
    std::string bytes;
    FetchResult r = FetchClipboard("UTF8_STRING", bytes, timeoutMs);
    if (r == FetchResult::Done)
    {
        text = Platform::FromUtf8(bytes);
        return true;
    }
    if (r != FetchResult::Refused || FetchClipboard("STRING", bytes, timeoutMs) != FetchResult::Done)
        return false;
    text.clear();
    for (unsigned char ch : bytes)
        text += static_cast<char16_t>(ch); // Latin-1
    return true;
}

// ---- Drag and drop ----------------------------------------------------------------------------------

bool BeginDrag(std::vector<Offer> offers)
{
    State* s = Live();
    if (!s)
        return false;
    EndDrag();
    Served served;
    for (Offer& offer : offers)
        if (offer.bytes)
            served.forms.push_back(ServedForm{XInternAtom(s->display, offer.target.c_str(), False), offer.bytes});
    served.since = CurrentTime;
    XSetSelectionOwner(s->display, s->a.xdndSelection, Detail::Utility(), CurrentTime);
    served.held = true;
    s->served[s->a.xdndSelection] = std::move(served);
    // The pointer is the drag's, over every window of the display, until the drag ends.
    if (::Window grab = Detail::LastPressWindow())
        XGrabPointer(s->display, grab, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime);
    s->out = Outgoing();
    s->out.active = true;
    XFlush(s->display);
    return true;
}

unsigned DragOver(unsigned proposed, unsigned allowed)
{
    State* s = Live();
    if (!s || !s->out.active)
        return ActionNone;
    Outgoing& o = s->out;
    int rootX = 0, rootY = 0;
    unsigned keys = 0;
    if (!PointerAt(s->display, rootX, rootY, keys))
        return ActionNone;
    long version = 0;
    ::Window sendTo = 0;
    ::Window target = FindTarget(*s, rootX, rootY, version, sendTo);
    if (target != o.target)
    {
        LeaveTarget(*s);
        if (target)
            EnterTarget(*s, target, sendTo, version);
    }
    if (!o.target)
        return ActionNone;
    long point = (static_cast<long>(rootX & 0xFFFF) << 16) | (rootY & 0xFFFF);
    Atom action = AtomOf(s->a, OneAction(proposed & allowed ? proposed & allowed : allowed));
    if (o.waiting)
    {
        if (Clock::now() - o.sentAt > std::chrono::milliseconds(PeerTimeoutMs))
        {
            // A peer silent this long takes no part in the drag any more.
            LeaveTarget(*s);
            return ActionNone;
        }
        o.pending = true;
        o.pendingPoint = point;
        o.pendingAction = action;
    }
    else
        SendPosition(*s, point, action);
    if (!o.accepted)
        return ActionNone;
    unsigned taken = ActionOf(s->a, o.acceptedAction) & allowed;
    // A peer answering an action the drag does not allow takes a copy, which every drag allows.
    return taken ? taken : allowed & ActionCopy;
}

void DragLeave()
{
    State* s = Live();
    if (s && s->out.active)
        LeaveTarget(*s);
}

unsigned DragDrop()
{
    State* s = Live();
    if (!s || !s->out.active || !s->out.target)
        return ActionNone;
    Outgoing& o = s->out;
    ::Window utility = Detail::Utility();
    auto fromTarget = [&](const XEvent& x, Atom type)
    {
        return x.type == ClientMessage && x.xclient.window == utility && x.xclient.message_type == type &&
               x.xclient.format == 32 && static_cast<::Window>(x.xclient.data.l[0]) == o.target;
    };
    XEvent e;
    // The answer to every position sent, so the drop goes where the user let go.
    while (o.waiting || o.pending)
    {
        if (!o.waiting)
            SendPosition(*s, o.pendingPoint, o.pendingAction);
        if (!WaitFor(*s, [&](const XEvent& x) { return fromTarget(x, s->a.xdndStatus); }, e, PeerTimeoutMs))
        {
            LeaveTarget(*s);
            return ActionNone;
        }
        OutgoingMessage(*s, e.xclient);
    }
    if (!o.accepted)
    {
        LeaveTarget(*s);
        return ActionNone;
    }
    SendClientMessage(s->display, o.sendTo, o.target, s->a.xdndDrop, static_cast<long>(utility), 0, CurrentTime, 0,
                      0);
    // The peer fetches the data meanwhile: the wait serves it.
    if (!WaitFor(*s, [&](const XEvent& x) { return fromTarget(x, s->a.xdndFinished); }, e, PeerTimeoutMs))
    {
        o.target = o.sendTo = 0;
        return ActionNone;
    }
    OutgoingMessage(*s, e.xclient);
    unsigned performed = o.succeeded ? ActionOf(s->a, o.performed) : ActionNone;
    o.target = o.sendTo = 0;
    return performed;
}

void EndDrag()
{
    State* s = Live();
    if (!s || !s->out.active)
        return;
    LeaveTarget(*s);
    s->out = Outgoing();
    XUngrabPointer(s->display, CurrentTime);
    if (XGetSelectionOwner(s->display, s->a.xdndSelection) == Detail::Utility())
        XSetSelectionOwner(s->display, s->a.xdndSelection, None, CurrentTime);
    s->served.erase(s->a.xdndSelection);
    XFlush(s->display);
}

IncomingDrag SetIncomingDrag(IncomingDrag handlers)
{
    State& s = TheState();
    IncomingDrag previous = std::move(s.handlers);
    s.handlers = std::move(handlers);
    return previous;
}

FetchResult FetchDragData(const std::string& target, std::string& bytes, size_t bound)
{
    bytes.clear();
    State* s = Live();
    if (!s || !s->in.source)
        return FetchResult::NoOwner;
    // For a position's answer (not the drop's), no longer than its source waits for it.
    const bool answering = std::exchange(s->answering, s->answering || !s->in.dropped);
    FetchResult r = FetchBytes(*s, XGetSelectionOwner(s->display, s->a.xdndSelection), s->a.xdndSelection,
                               XInternAtom(s->display, target.c_str(), False), s->in.dropTime, PeerTimeoutMs, bound,
                               bytes);
    s->answering = answering;
    return r;
}

void FinishDrop(unsigned performed)
{
    State* s = Live();
    if (s && s->in.inHandler && s->in.dropped && !s->in.superseded)
        SendFinish(*s, OneAction(performed));
}

namespace Detail
{
bool TransferEvent(XEvent& event)
{
    State* s = Live();
    return s && HandleEvent(*s, event);
}

void WindowCreated(::Window window)
{
    State* s = Live();
    if (!s)
        return;
    long version = XdndVersion;
    XChangeProperty(s->display, window, s->a.xdndAware, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

void TransferTimers()
{
    State* s = Live();
    if (!s)
        return;
    // A new turn of the loop is a new paste: an owner silent in the last one is asked again.
    s->known.silent = false;
    s->endedByUser = false;
    if (s->fixesEvent < 0)
        s->known = OwnerMemory(); // no word of a window taking the clipboard anew
    auto now = Clock::now();
    auto limit = std::chrono::milliseconds(PeerTimeoutMs);
    for (size_t i = 0; i < s->sending.size();)
    {
        if (now - s->sending[i].last <= limit)
        {
            ++i;
            continue;
        }
        ::Window requestor = s->sending[i].requestor;
        s->sending.erase(s->sending.begin() + static_cast<std::ptrdiff_t>(i));
        StopWatching(*s, requestor);
    }
    // A peer whose drag went silent has gone: the drag over us ends as cancelled.
    if (s->in.source && !s->in.inHandler && now - s->in.last > limit)
        EndIncoming(*s, true);
    if (s->next.source && now - s->next.last > limit)
        s->next = Incoming();
}

void DisplayClosing()
{
    IncomingDrag handlers = std::move(TheState().handlers);
    TheState() = State();
    TheState().handlers = std::move(handlers);
}
} // namespace Detail
} // namespace X11
