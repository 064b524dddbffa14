// Data between this program and the others on the display: the CLIPBOARD selection (served and
// read incrementally when large) and drag and drop by the XDND protocol, version 5. Everything
// here is bytes under target names ("UTF8_STRING", "text/uri-list"); what they mean to the
// program is the class library's business.
//
// Nothing here waits for a peer without a limit: a peer that stops answering, answers in a wrong
// form or goes away mid-transfer makes the call fail, and the program goes on.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace X11
{
// The most we take from another program in one transfer.
constexpr size_t LargestImport = size_t(256) << 20;
// How long a peer may stay silent in the middle of a transfer or a drag.
constexpr int PeerTimeoutMs = 5000;
// How long an incremental transfer from another program may last: TransferTimeoutMs, and one
// second more for each LeastTransferRate bytes received. An owner that trickles, however punctual
// each step, is given up about 30 s after its transfer began, as a silent one is; one that keeps
// up at least LeastTransferRate is never cut short before LargestImport, which it reaches within
// 30 s + 256 s, the longest any transfer lasts.
constexpr int TransferTimeoutMs = 30000;
constexpr size_t LeastTransferRate = size_t(1) << 20; // bytes a second

// The limits the incremental transfers to come are held to: TransferTimeoutMs and
// LeastTransferRate unless set otherwise (a test scales them down to see them hold in seconds).
struct TransferLimits
{
    int timeoutMs = TransferTimeoutMs;
    size_t leastRate = LeastTransferRate; // bytes a second, at least 1
};
// Answers the limits set before.
TransferLimits SetTransferLimits(TransferLimits limits);

// One form of the data we offer: its target name and its bytes (shared, never copied per request).
struct Offer
{
    std::string target;
    std::shared_ptr<const std::string> bytes;
};

enum class ClipboardOwner
{
    Nobody,
    Us,
    Other // another program: its content is the clipboard's
};

enum class FetchResult
{
    Done,
    NoOwner,  // nobody holds the selection
    Refused,  // the owner does not offer that form
    NoAnswer, // the owner did not answer in time, or stopped in the middle
    TooLarge, // more than the fetch's bound (LargestImport unless smaller)
    BadData,  // an answer of the wrong form (type, format, a broken incremental transfer)
    Vanished, // the owner went away during the transfer
    Cancelled // the user ended the wait: Escape in one of our windows, or a close asked of one
};

// Takes the CLIPBOARD selection and offers the forms given (an empty list offers nothing but the
// ownership). Large forms are served incrementally.
void OfferClipboard(std::vector<Offer> offers);
ClipboardOwner ClipboardOwnerNow();
// Another program's clipboard is asked with requests of their own (a time and a property each), so
// an answer that comes after its request was given up on is dropped, never taken for a later one.
// What its owner answered to TARGETS is kept while it owns the clipboard; that it stayed silent,
// until the program's loop turns again (the end of a paste): a silent owner costs a paste one
// wait, however many questions the paste asks.
//
// A paste's waits end at once at the user's word: Escape pressed in one of our windows (the key
// has done its work and goes no further), or a close asked of one (it stays queued and goes on as
// usual once the paste has ended). The rest of that paste (until the loop turns) asks nothing.
//
// The target names another program's clipboard offers; false when it names none in time.
// `asking` is called when the owner is to be asked (not when its answer is known).
bool ClipboardTargets(std::vector<std::string>& targets, int timeoutMs,
                      const std::function<void()>& asking = {});
// Another program's clipboard in one form; `firstAnswerMs` bounds the wait for the owner's first
// answer, PeerTimeoutMs every later step of an incremental transfer, TransferTimeoutMs (and more
// at a good pace) the whole of it. NoAnswer at once from an owner silent in this paste. TooLarge
// as soon as more than `bound` bytes are announced or have come.
FetchResult FetchClipboard(const std::string& target, std::string& bytes, int firstAnswerMs,
                           size_t bound = LargestImport);

// Drag actions, as bits (the same values as the OLE drop effects).
enum : unsigned
{
    ActionNone = 0,
    ActionCopy = 1,
    ActionMove = 2,
    ActionLink = 4
};

// ---- A drag of ours over other programs' windows ----------------------------------------------
// Begins it: the pointer is grabbed by the window the button went down in, and the drag's data is
// offered on the drag selection. False without a display.
bool BeginDrag(std::vector<Offer> offers);
// The pointer moved outside our windows: the peer under it (an XDND-aware window of another
// program) is told; answers the action that peer last accepted (ActionNone: none, or no peer).
// `proposed` is the action the keys ask for, `allowed` every action the drag may take.
unsigned DragOver(unsigned proposed, unsigned allowed);
// The pointer went back over our windows (or the drag was cancelled): the peer is told.
void DragLeave();
// The button went up: the peer is asked to take the drop and answers the action it performed
// (ActionNone when it refused, failed or stayed silent for PeerTimeoutMs).
unsigned DragDrop();
// Ends the drag: the grab goes and the drag selection is given up.
void EndDrag();

// ---- A drag of another program over our windows -----------------------------------------------
// Every position a peer sends is answered, and every message applies to the drag it was sent in,
// in the order sent. While a handler runs a loop of its own (a drop's box, a wait for the drag's
// data), the peer in hand hears from us when it is done and any other peer is refused at once; one
// that entered meanwhile is the drag in hand afterwards. The peer in hand that begins a new drag
// meanwhile is such another peer: it hears nothing more of the drag it left (a status or finish
// now would be taken for the new drag's). A leave before the drag's position is answered ends the
// wait for its data at once, and so does a drop followed by a new drag; a drop before that answer
// is refused.
struct IncomingDrag
{
    // Whether the program is busy with its user (a box, a question, a progress window of its
    // own): meanwhile every position is refused and a drop answered as not done, without asking
    // Over or Drop. So it is while we wait for another program (a paste, a drag's data): the
    // wait answers every other drag's messages at once.
    std::function<bool()> Busy;
    // Over our window `window` (its id) at (x, y) in its client coordinates; `proposed` is the
    // action the peer asks for, `keys` the modifier bits (X11::Mod...) held. Answers the action
    // taken, ActionNone to refuse.
    std::function<unsigned(unsigned long window, int x, int y, unsigned proposed, unsigned keys,
                           const std::vector<std::string>& types)>
        Over;
    std::function<void()> Leave;
    // The drop at the last position: answers the action performed (ActionNone: failed).
    std::function<unsigned(unsigned long window, int x, int y, unsigned proposed, unsigned keys)> Drop;
};
// Returns the previous handlers. Without handlers our windows refuse every drag.
IncomingDrag SetIncomingDrag(IncomingDrag handlers);
// The data of the drag being handled (from inside Over or Drop), in one form, of at most `bound`
// bytes (TooLarge as soon as more are announced or have come).
FetchResult FetchDragData(const std::string& target, std::string& bytes, size_t bound = LargestImport);
// From inside Drop: tells the drop's source now what was done, before a box about it that the user
// may leave open a while; what Drop answers is then not sent.
void FinishDrop(unsigned performed);
} // namespace X11
