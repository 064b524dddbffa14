// The desktop's clipboard and drag and drop against another program written from the protocols
// (tests/hosts/xpeer): large transfers both ways, file lists as text/uri-list, drags both ways,
// and peers that misbehave.
#include "Platform/X11/DesktopTransfer.h"

#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Shell/ShlObj.h"
#include "Platform/Vcl/Clipbrd.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/HeapCount.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalBoxDriver.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/SceneModel.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <random>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{
std::string Peer()
{
    return (fs::path(Platform::ProgramFolder()) / "xpeer").string();
}

// Text of `size` bytes, UTF-8 with Cyrillic in it, different in every line.
std::string GeneratedText(size_t size)
{
    std::string text;
    text.reserve(size + 64);
    for (unsigned line = 0; text.size() < size; ++line)
        text += "строка " + std::to_string(line) + " of the clipboard\n";
    text.resize(size);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
        text.pop_back();
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0)
        text.pop_back();
    return text;
}

// A request as the peer reports it: "asked TARGET PROPERTY TIME HELD".
struct Asked
{
    std::string target, property;
    unsigned long time = 0;
    int held = -1; // properties of the requestor's window holding data
};
Asked ParseAsked(const std::string& line)
{
    Asked asked;
    std::string word;
    std::istringstream(line) >> word >> asked.target >> asked.property >> asked.time >> asked.held;
    return asked;
}

// Records what a window's drop target hears, and takes file lists with a copy.
class RecordingTarget final : public ComObject<IDropTarget, IID_IDropTarget>
{
public:
    HRESULT DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect) override
    {
        ++enters;
        at = point;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        // A target may take a drag up by the form of its data alone, or look at the data itself.
        if (byForm)
            accepts = data->QueryGetData(&format) == S_OK;
        else if ((accepts = data->GetData(&format, &medium) == S_OK))
            ReleaseStgMedium(&medium);
        *effect = accepts ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return accepts ? S_OK : DRAGDROP_S_CANCEL;
    }
    HRESULT DragOver(DWORD, POINTL point, DWORD* effect) override
    {
        at = point;
        *effect = accepts ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT DragLeave() override
    {
        ++leaves;
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) override
    {
        ++drops;
        at = point;
        if (duringDrop)
            duringDrop();
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        *effect = DROPEFFECT_NONE;
        if (data->GetData(&format, &medium) != S_OK)
            return S_OK;
        if (const void* block = GlobalLock(medium.hGlobal))
        {
            if (Platform::ReadDropFilesBlock(block, GlobalSize(medium.hGlobal), dropped))
                *effect = DROPEFFECT_COPY;
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        return S_OK;
    }
    int enters = 0, leaves = 0, drops = 0;
    POINTL at{}; // where the pointer was said to be last
    bool accepts = false;
    bool byForm = false;
    std::function<void()> duringDrop; // runs first in each drop (a drop that asks its user)
    std::u16string dropped;
};

class DesktopTransferTest : public PresenterWindowTest
{
protected:
    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(fs::exists(Peer()));
    }
    void TearDown() override
    {
        delete form;
        form = nullptr;
        PresenterWindowTest::TearDown();
    }

    // Starts a peer and waits for its first line; the line it wrote.
    std::string StartPeer(PeerProcess& peer, const std::vector<std::string>& args)
    {
        return peer.StartAndRead(Peer(), args, PeerDeadline, PumpOnce);
    }

    // A form with a window that takes drops, shown at the screen's top-left quarter.
    unsigned long ShowDropForm(RecordingTarget* target)
    {
        form = new TForm(nullptr);
        form->SetCaption(u"Drops");
        form->SetClientWidth(300);
        form->SetClientHeight(200);
        form->Show();
        unsigned long window = Vcl::NativeWindowOf(form);
        PumpUntil([&] { return probe->Viewable(window); });
        EXPECT_EQ(RegisterDragDrop(form->Handle(), target), S_OK);
        return window;
    }

    TempDir dir{"desktoptransfer"};
    TForm* form = nullptr;
};
} // namespace

TEST_F(DesktopTransferTest, FiftyMegabytesCrossTheClipboardBothWays)
{
    const std::string text = GeneratedText(50u << 20);
    // Ours, taken by the peer incrementally.
    X11::OfferClipboard({{"UTF8_STRING", std::make_shared<const std::string>(text)}});
    ASSERT_EQ(X11::ClipboardOwnerNow(), X11::ClipboardOwner::Us);
    {
        PeerProcess peer;
        EXPECT_EQ(StartPeer(peer, {"fetch", "UTF8_STRING", (dir / "fetched").string()}),
                  "fetched " + std::to_string(text.size()));
        EXPECT_EQ(peer.Wait(PeerDeadline, PumpOnce), 0);
        EXPECT_TRUE(ReadWholeFile(dir / "fetched") == text);
    }
    // The peer's, taken here incrementally.
    WriteWholeFile(dir / "served", text);
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string()}), "ready");
    EXPECT_EQ(X11::ClipboardOwnerNow(), X11::ClipboardOwner::Other);
    std::vector<std::string> targets;
    ASSERT_TRUE(X11::ClipboardTargets(targets, PeerDeadlineMs));
    EXPECT_NE(std::find(targets.begin(), targets.end(), "UTF8_STRING"), targets.end());
    std::string bytes;
    ASSERT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::Done);
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_TRUE(bytes == text);
}

TEST_F(DesktopTransferTest, MisbehavingOwnersEndInCleanFailures)
{
    const std::string text = GeneratedText(200 * 1024);
    WriteWholeFile(dir / "served", text);
    struct Case
    {
        const char* mode;
        X11::FetchResult expected;
        int atMostMs;
    };
    const Case cases[] = {
        {"wrong-format", X11::FetchResult::BadData, 2000},   {"silent", X11::FetchResult::NoAnswer, 1500},
        {"vanish", X11::FetchResult::Vanished, 2000},        {"vanish-mid", X11::FetchResult::Vanished, 2000},
        {"huge", X11::FetchResult::TooLarge, 2000},          {"bad-incr", X11::FetchResult::BadData, 2000},
        {"format-change", X11::FetchResult::BadData, 2000},  {"stall-mid", X11::FetchResult::NoAnswer, 7000},
        {"negative-incr", X11::FetchResult::BadData, 2000},
    };
    for (const Case& c : cases)
    {
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), c.mode}), "ready") << c.mode;
        std::string bytes = "left over";
        auto start = Clock::now();
        EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, 500), c.expected) << c.mode;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(c.atMostMs)) << c.mode;
        EXPECT_TRUE(bytes.empty()) << c.mode;
        // A transfer refused at its header is drained: its owner waits on nothing and answers again.
        if (c.expected == X11::FetchResult::TooLarge)
        {
            EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, 5000), c.expected);
        }
    }
    // Nothing of it stays behind: an owner that behaves is read whole.
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string()}), "ready");
    std::string bytes;
    EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, 2000), X11::FetchResult::Done);
    EXPECT_TRUE(bytes == text);
    // So is one that announces no size.
    PeerProcess unsized;
    ASSERT_EQ(StartPeer(unsized, {"serve", "UTF8_STRING", (dir / "served").string(), "unsized"}), "ready");
    EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, 2000), X11::FetchResult::Done);
    EXPECT_TRUE(bytes == text);
}

// A busy owner answers its requests in turn: the answer to a request given up on comes in the
// middle of the next one, and is dropped, not taken for it. Within one paste (one turn of the
// loop) an owner that stayed silent is not waited for again.
TEST_F(DesktopTransferTest, ALateAnswerIsDroppedAndNotTakenForTheNextRequest)
{
    WriteWholeFile(dir / "served", "");
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "delay:1500", "report"}), "ready");
    std::string bytes, line;
    Asked givenUp; // the request given up on, as the peer took it up
    // Gives up on a request while the peer holds `first`, then asks again once it holds `next`.
    auto lateThenNext = [&](const std::string& first, const std::string& next)
    {
        WriteWholeFile(dir / "served", first);
        EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, 500), X11::FetchResult::NoAnswer);
        // Asked, the peer would refuse this form once it has answered the first.
        EXPECT_EQ(X11::FetchClipboard("STRING", bytes, PeerDeadlineMs), X11::FetchResult::NoAnswer);
        ASSERT_TRUE(peer.ReadLine(line, PeerDeadline, PumpOnce));
        ASSERT_EQ(ParseAsked(line).target, "UTF8_STRING"); // it holds `first` for that answer
        givenUp = ParseAsked(line);
        WriteWholeFile(dir / "served", next);
        EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::Done);
        EXPECT_TRUE(bytes == next);
        ASSERT_TRUE(peer.ReadLine(line, PeerDeadline, PumpOnce));
    };
    lateThenNext("first", "second");
    EXPECT_EQ(ParseAsked(line).target, "UTF8_STRING");
    const std::string freed = givenUp.property;
    // A late answer beginning an incremental transfer: its header stays, which keeps the owner
    // from sending (deleting it asks for the first piece).
    lateThenNext(GeneratedText(200 * 1024), "third");
    EXPECT_EQ(line, "not begun");
    // Nothing of the first late answer stayed on our window, and its property served again.
    EXPECT_EQ(givenUp.held, 0);
    ASSERT_TRUE(peer.ReadLine(line, PeerDeadline, PumpOnce));
    EXPECT_EQ(ParseAsked(line).property, freed);
}

// An owner is heard whether it copies the request's time into its answer or answers with
// CurrentTime, while a notice naming the asked property with another time is not its answer. Each
// request carries a time of its own, later than the last one's.
TEST_F(DesktopTransferTest, AnAnswerIsTheNoticeWithTheRequestsTimeOrNone)
{
    WriteWholeFile(dir / "served", "good");
    for (const char* mode : {"untimed", "stray"})
    {
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), mode, "report"}), "ready");
        unsigned long last = 0;
        for (int i = 0; i < 2; ++i)
        {
            std::string bytes, line;
            EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::Done) << mode;
            EXPECT_EQ(bytes, "good") << mode;
            ASSERT_TRUE(peer.ReadLine(line, PeerDeadline, PumpOnce));
            EXPECT_GT(ParseAsked(line).time, last) << line;
            last = ParseAsked(line).time;
        }
    }
}

// An incremental transfer that trickles, each step in time, is given up after half a minute, as
// an owner gone silent; the rest of the paste does not wait for it again.
TEST_F(DesktopTransferTest, ATricklingTransferIsGivenUpAfterHalfAMinute)
{
    WriteWholeFile(dir / "served", "endless");
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "trickle:4000"}), "ready");
    std::string bytes;
    auto start = Clock::now();
    EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::NoAnswer);
    EXPECT_GE(Clock::now() - start, 30s);
    EXPECT_LT(Clock::now() - start, 35s);
    EXPECT_TRUE(bytes.empty());
    start = Clock::now();
    EXPECT_EQ(X11::FetchClipboard("STRING", bytes, PeerDeadlineMs), X11::FetchResult::NoAnswer);
    EXPECT_LT(Clock::now() - start, 1s);
}

// The time a transfer may take grows with what came: under limits scaled down to 1 s and 1 s more
// for each 64 KiB, an owner keeping a steady 320 KiB/s is read whole in more than 3 s, while one
// keeping 10 KiB/s is given up on soon after the first second.
TEST_F(DesktopTransferTest, ASteadyTransferOutlastsTheTimeoutWhileASlowOneIsGivenUp)
{
    struct Restore
    {
        X11::TransferLimits limits;
        ~Restore() { X11::SetTransferLimits(limits); }
    } restore{X11::SetTransferLimits({1000, 64 * 1024})};
    const std::string text = GeneratedText(1u << 20);
    WriteWholeFile(dir / "served", text);
    {
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "paced:100:32768"}), "ready");
        std::string bytes;
        const auto start = Clock::now();
        EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::Done);
        EXPECT_GE(Clock::now() - start, 3s); // 32 steps, each 100 ms after the one before
        EXPECT_TRUE(bytes == text);
    }
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "paced:100:1024"}), "ready");
    std::string bytes;
    const auto start = Clock::now();
    EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::NoAnswer);
    EXPECT_GE(Clock::now() - start, 1s);
    EXPECT_LT(Clock::now() - start, 4s);
    EXPECT_TRUE(bytes.empty());
}

// Escape or a close ends the paste it came in, and that paste only: the next one takes a prompt
// owner's text.
TEST_F(DesktopTransferTest, APasteTheUserEndedLeavesTheNextPasteItsText)
{
    form = new TForm(nullptr);
    form->SetClientWidth(300);
    form->SetClientHeight(200);
    form->Show();
    const unsigned long window = Vcl::NativeWindowOf(form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && probe->HasFocus(window); }));
    WriteWholeFile(dir / "endless", "endless");
    WriteWholeFile(dir / "served", "Привет");
    for (bool close : {false, true})
    {
        {
            PeerProcess owner;
            ASSERT_EQ(StartPeer(owner, {"serve", "UTF8_STRING", (dir / "endless").string(), "trickle:1000", "report"}),
                      "ready");
            // Once the transfer is under way, the user has had enough (unless the paste ended first).
            std::atomic<bool> ended = false;
            std::thread user(
                [&]
                {
                    std::string step;
                    while (!ended && !(owner.ReadLine(step, 100ms, nullptr) && step.rfind("sent", 0) == 0))
                    {
                    }
                    if (ended)
                        return;
                    if (close)
                        probe->RequestClose(window);
                    else
                        probe->Key("Escape");
                });
            std::string bytes;
            EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::Cancelled) << close;
            ended = true;
            user.join();
        }
        PeerProcess owner;
        ASSERT_EQ(StartPeer(owner, {"serve", "UTF8_STRING", (dir / "served").string()}), "ready");
        std::string bytes;
        EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, PeerDeadlineMs), X11::FetchResult::Done) << close;
        EXPECT_EQ(bytes, "Привет") << close;
    }
}

// What an owner lists is kept while it owns the clipboard, so a busy owner is asked once for many
// pastes; that it stayed silent is kept for one paste only, so a slow owner is heard in the next.
TEST_F(DesktopTransferTest, AnOwnersListIsKeptAndItsSilenceForgottenAfterThePaste)
{
    WriteWholeFile(dir / "served", "text");
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "delay:1500"}), "ready");
    std::vector<std::string> targets;
    int asked = 0;
    auto ask = [&] { ++asked; };
    EXPECT_FALSE(X11::ClipboardTargets(targets, 500, ask));
    PumpOnce();
    for (int paste = 0; paste < 2; ++paste)
    {
        targets.clear();
        EXPECT_TRUE(X11::ClipboardTargets(targets, PeerDeadlineMs, ask)) << paste;
        EXPECT_NE(std::find(targets.begin(), targets.end(), "UTF8_STRING"), targets.end()) << paste;
        PumpOnce();
    }
    EXPECT_EQ(asked, 2);
}

// An owner answering with one property of several megabytes (no incremental transfer) is read in
// slices, whole; one of a few bytes in a single round trip.
TEST_F(DesktopTransferTest, AnAnswerInOnePropertyIsReadWhole)
{
    for (size_t size : {size_t(5), size_t(3u << 20) + 7})
    {
        const std::string text = GeneratedText(size);
        WriteWholeFile(dir / "served", text);
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "whole"}), "ready");
        std::string bytes;
        EXPECT_EQ(X11::FetchClipboard("UTF8_STRING", bytes, 2000), X11::FetchResult::Done) << size;
        EXPECT_EQ(bytes.size(), text.size());
        EXPECT_TRUE(bytes == text) << size;
    }
    // One that grows while it is read is read no further than the bound (whole, if read before it grew).
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "grow"}), "ready");
    std::string bytes;
    const X11::FetchResult r = X11::FetchClipboard("UTF8_STRING", bytes, 2000, (3u << 20) + 7);
    EXPECT_TRUE(r == X11::FetchResult::TooLarge || r == X11::FetchResult::Done) << int(r);
    EXPECT_LE(bytes.size(), (3u << 20) + 7);
}

TEST_F(DesktopTransferTest, ARequestorThatVanishesMidTransferLeavesServingIntact)
{
    const std::string text = GeneratedText(3u << 20);
    X11::OfferClipboard({{"UTF8_STRING", std::make_shared<const std::string>(text)}});
    {
        PeerProcess quitter;
        ASSERT_TRUE(quitter.Start(Peer(), {"fetch", "UTF8_STRING", (dir / "partial").string(), "vanish-mid"}));
        EXPECT_EQ(quitter.Wait(10s, PumpOnce), 3);
    }
    PeerProcess peer;
    EXPECT_EQ(StartPeer(peer, {"fetch", "UTF8_STRING", (dir / "whole").string()}),
              "fetched " + std::to_string(text.size()));
    EXPECT_TRUE(ReadWholeFile(dir / "whole") == text);
}

TEST_F(DesktopTransferTest, TheProcessClipboardCarriesTextFileListsAndRegisteredFormatsBetweenPrograms)
{
    // A file list of ours reaches the peer as text/uri-list; the move a cut names does not.
    std::string block = Platform::MakeDropFilesBlock(std::u16string(u"/tmp/a b\0/tmp/\u00FC\0", 16) + u'\0');
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block.size());
    std::memcpy(GlobalLock(memory), block.data(), block.size());
    GlobalUnlock(memory);
    SetClipboardData(CF_HDROP, memory);
    HGLOBAL effect = GlobalAlloc(GHND, sizeof(DWORD));
    *static_cast<DWORD*>(GlobalLock(effect)) = DROPEFFECT_MOVE;
    GlobalUnlock(effect);
    SetClipboardData(RegisterClipboardFormatW(u"Preferred DropEffect"), effect);
    CloseClipboard();
    {
        PeerProcess peer;
        EXPECT_EQ(StartPeer(peer, {"fetch", "text/uri-list", (dir / "uris").string()}).substr(0, 7), "fetched");
        EXPECT_EQ(ReadWholeFile(dir / "uris"), "file:///tmp/a%20b\r\nfile:///tmp/%C3%BC\r\n");
        PeerProcess asking;
        EXPECT_EQ(StartPeer(asking, {"fetch", "Preferred DropEffect", (dir / "effect").string()}), "failed");
    }
    // Another owner came and went: the clipboard is empty, nothing of the cut list is left.
    EXPECT_EQ(PeerProcess().StartAndRead(Peer(), {"serve", "UTF8_STRING", (dir / "uris").string()},
                                         PeerDeadline, PumpOnce),
              "ready");
    ASSERT_TRUE(PumpUntil([] { return X11::ClipboardOwnerNow() == X11::ClipboardOwner::Nobody; }));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP) || IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_HDROP), nullptr);
    CloseClipboard();
    // A scene's copy goes under its format's name, and from another program that holds it pastes
    // into a scene as a copy of this program's own does.
    {
        XScene scene(nullptr);
        AddModelMesh(scene, u"Box", 6, 3)->SetSelected(true);
        scene.CopySelNodesToClipboard();
        PeerProcess taker;
        EXPECT_EQ(StartPeer(taker, {"fetch", "XSCENEFORMAT", (dir / "scene").string()}).substr(0, 7), "fetched");
        PeerProcess owner;
        ASSERT_EQ(StartPeer(owner, {"serve", "XSCENEFORMAT", (dir / "scene").string()}), "ready");
        XScene other(nullptr);
        other.PasteFromClipboard();
        XMeshNode* box = other.FindMeshNode(XString(u"Box"));
        EXPECT_TRUE(box && box->GetMesh());
    }

    // The peer's file list comes as CF_HDROP; no text with it. The scheme in capitals and the
    // form without an authority are local files too.
    WriteWholeFile(dir / "served", "file:///x/y\r\nfile://localhost/x/z\r\nFILE:///x/w\r\nfile:/x/v\r\n");
    {
        BoxRecorder boxes;
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "text/uri-list", (dir / "served").string()}), "ready");
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE drop = GetClipboardData(CF_HDROP);
        ASSERT_NE(drop, nullptr);
        std::u16string names;
        ASSERT_TRUE(Platform::ReadDropFilesBlock(GlobalLock(drop), GlobalSize(drop), names));
        GlobalUnlock(drop);
        EXPECT_EQ(names.substr(0, 21), std::u16string(u"/x/y\0/x/z\0/x/w\0/x/v\0\0", 21));
        EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
        CloseClipboard();
        EXPECT_TRUE(boxes.boxes.empty());
    }
    // One with another machine's file in it is no file list here: the user is told which line.
    WriteWholeFile(dir / "served", "file:///x/y\r\nhttp://remote/z\r\nfile://elsewhere/w\r\n");
    {
        BoxRecorder boxes;
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "text/uri-list", (dir / "served").string()}), "ready");
        ASSERT_TRUE(OpenClipboard(nullptr));
        EXPECT_EQ(GetClipboardData(CF_HDROP), nullptr);
        EXPECT_EQ(GetClipboardData(CF_HDROP), nullptr);
        CloseClipboard();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].caption.c_str()), "Error Copying File or Folder");
        EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()),
                  "Cannot copy \"http://remote/z\": line 2 of the other program's list is no file of this computer. "
                  "Nothing was copied.");
    }
    // The box shows a hostile line's start only, with its control bytes and bytes that are not
    // UTF-8 as U+FFFD.
    WriteWholeFile(dir / "served", "file:///x/y\r\nfile:///a\tb\xFF\xF0\x9F\x98\x80" + std::string(5000, 'x') + "\r\n");
    {
        BoxRecorder boxes;
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "text/uri-list", (dir / "served").string()}), "ready");
        ASSERT_TRUE(OpenClipboard(nullptr));
        EXPECT_EQ(GetClipboardData(CF_HDROP), nullptr);
        CloseClipboard();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        std::u16string shown = u"file:///a\uFFFDb\uFFFD\U0001F600";
        shown += std::u16string(200 - shown.size(), u'x') + u"...";
        EXPECT_EQ(boxes.boxes[0].text, u"Cannot copy \"" + shown + u"\": line 2 of the other program's list is no "
                                       u"file of this computer. Nothing was copied.");
    }

    // The peer's text comes as 1251 text; its clipboard stands for what this process held.
    WriteWholeFile(dir / "served", "Привет, мир");
    {
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string()}), "ready");
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE narrow = GetClipboardData(CF_TEXT);
        ASSERT_NE(narrow, nullptr);
        EXPECT_STREQ(static_cast<const char*>(GlobalLock(narrow)), "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0");
        GlobalUnlock(narrow);
        CloseClipboard();
    }

    // More than the bound: nothing is taken and the user is told.
    {
        BoxRecorder boxes;
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "huge"}), "ready");
        ASSERT_TRUE(OpenClipboard(nullptr));
        EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
        EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
        CloseClipboard();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_NE(boxes.boxes[0].text.find(u"256 MiB"), std::u16string::npos);
    }
    // A file list of the most the list takes is pasted; one byte more is not, nor is one whose
    // owner announces a small list and sends without end, which is read no further than the list
    // may be; the user is told.
    for (const auto& [size, mode] : {std::pair<size_t, const char*>{Platform::LargestUriList, ""},
                                     {Platform::LargestUriList + 1, ""},
                                     {size_t(1) << 16, "endless"}})
    {
        std::string uris = "file:///x/y\r\n# ";
        uris += std::string(size - uris.size() - 2, 'x') + "\r\n";
        WriteWholeFile(dir / "served", uris);
        BoxRecorder boxes;
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"serve", "text/uri-list", (dir / "served").string(), mode}), "ready");
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE drop = GetClipboardData(CF_HDROP);
        CloseClipboard();
        if (size == Platform::LargestUriList)
        {
            EXPECT_NE(drop, nullptr);
            EXPECT_TRUE(boxes.boxes.empty());
            continue;
        }
        EXPECT_EQ(drop, nullptr);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].caption.c_str()), "Clipboard");
        EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()),
                  "The file list of the other program holds more than 16 MiB; it was not taken.");
    }
    // A lost display leaves the process its own copy. In a child, whose end of the connection alone
    // dies: a display lost stays lost.
    Clipboard()->SetAsText(u"ours");
    EXPECT_TRUE(InChildProcess(
        []
        {
            LoseConnections();
            X11::Sync();
            return X11::DisplayLost() && Clipboard()->AsText().str() == u"ours";
        }));
}

// A paste from another program shows the wait pointer over our windows while it lasts; the
// pointer comes back after it, also when the owner stalls and the paste fails.
TEST_F(DesktopTransferTest, APasteFromAnotherProgramShowsTheWaitPointerWhileItLasts)
{
    const XProbe::CursorPicture watch = probe->FontCursorPicture(150); // the font cursor "watch"
    form = new TForm(nullptr);
    form->SetClientWidth(300);
    form->SetClientHeight(200);
    form->Show();
    unsigned long window = Vcl::NativeWindowOf(form);
    PumpUntil([&] { return probe->Viewable(window); });
    probe->MoveTo(window, 150, 100);
    PumpUntil([] { return false; }, 300ms);
    const XProbe::CursorPicture before = probe->PointerPicture();
    ASSERT_FALSE(before.xhot == watch.xhot && before.yhot == watch.yhot);

    WriteWholeFile(dir / "served", GeneratedText(1u << 20));
    PeerProcess peer;
    ASSERT_EQ(StartPeer(peer, {"serve", "UTF8_STRING", (dir / "served").string(), "stall-mid"}), "ready");
    XProbe::CursorPicture during;
    std::thread watcher(
        [&]
        {
            std::this_thread::sleep_for(1500ms); // the owner stalls after its first piece
            during = probe->PointerPicture();
        });
    EXPECT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    CloseClipboard();
    watcher.join();
    // The wait pointer may be animated: it is known by its size and hot spot, which the arrow's
    // differ from.
    EXPECT_FALSE(during == before);
    EXPECT_EQ(during.width, watch.width);
    EXPECT_EQ(during.xhot, watch.xhot);
    EXPECT_EQ(during.yhot, watch.yhot);
    EXPECT_TRUE(probe->PointerPicture() == before);
}

TEST_F(DesktopTransferTest, TheDragHoldsThePointerUntilItEnds)
{
    auto* target = new RecordingTarget();
    unsigned long window = ShowDropForm(target);
    // The drag starts from a press in our window, as a user's would.
    probe->ClickAt(window, 20, 20);
    probe->Sync();
    PumpUntil([] { return false; }, 300ms);
    EXPECT_TRUE(probe->PointerFree());
    ASSERT_TRUE(X11::BeginDrag({}));
    X11::Sync();
    EXPECT_FALSE(probe->PointerFree());
    EXPECT_EQ(X11::DragOver(X11::ActionMove, X11::ActionCopy | X11::ActionMove), X11::ActionNone);
    EXPECT_EQ(X11::DragDrop(), X11::ActionNone); // no peer under the pointer
    X11::EndDrag();
    X11::Sync();
    EXPECT_TRUE(probe->PointerFree());
    RevokeDragDrop(form->Handle());
    target->Release();
}

TEST_F(DesktopTransferTest, OurDragReachesAPeerAndASilentPeerEndsIt)
{
    for (const char* mode : {"", "silent"})
    {
        PeerProcess peer;
        std::vector<std::string> args{"target", "600", "100", (dir / "dropped").string()};
        if (*mode)
            args.push_back(mode);
        ASSERT_EQ(StartPeer(peer, args).substr(0, 5), "ready");
        ASSERT_TRUE(X11::BeginDrag({{"text/uri-list", std::make_shared<const std::string>("file:///tmp/x\r\n")}}));
        probe->MoveToRoot(650, 150);
        unsigned action = X11::DragOver(X11::ActionMove, X11::ActionCopy | X11::ActionMove);
        auto start = Clock::now();
        if (!*mode)
        {
            // The peer answers the position: it takes a copy.
            EXPECT_TRUE(PumpUntil([&] {
                action = X11::DragOver(X11::ActionMove, X11::ActionCopy | X11::ActionMove);
                return action != X11::ActionNone;
            }));
            EXPECT_EQ(action, X11::ActionCopy);
            EXPECT_EQ(X11::DragDrop(), X11::ActionCopy);
            X11::EndDrag();
            std::string line;
            peer.ReadLine(line, 5s, PumpOnce); // enter
            EXPECT_EQ(line, "enter 5");
            peer.ReadLine(line, 5s, PumpOnce);
            EXPECT_EQ(line, "dropped");
            EXPECT_EQ(ReadWholeFile(dir / "dropped"), "file:///tmp/x\r\n");
        }
        else
        {
            EXPECT_EQ(action, X11::ActionNone);
            EXPECT_EQ(X11::DragDrop(), X11::ActionNone);
            auto waited = Clock::now() - start;
            EXPECT_GE(waited, 4500ms);
            EXPECT_LT(waited, 8000ms);
            X11::EndDrag();
        }
    }
}

TEST_F(DesktopTransferTest, APeersDropReachesOurTargetAndMisbehavingPeersChangeNothing)
{
    auto* target = new RecordingTarget();
    unsigned long window = ShowDropForm(target);
    int rootX = 0, rootY = 0;
    probe->RootPosition(window, 150, 100, rootX, rootY);
    WriteWholeFile(dir / "uris", "file:///tmp/one%20file\r\nfile://localhost/tmp/two\r\nFILE:///tmp/three\r\n"
                                 "file:/tmp/four\r\n");
    const std::string x = std::to_string(rootX), y = std::to_string(rootY), uris = (dir / "uris").string();

    {
        BoxRecorder boxes;
        PeerProcess peer;
        EXPECT_EQ(StartPeer(peer, {"drop", x, y, uris}), "finished XdndActionCopy");
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(target->drops, 1);
        EXPECT_EQ(target->dropped.substr(0, 45),
                  std::u16string(u"/tmp/one file\0/tmp/two\0/tmp/three\0/tmp/four\0\0", 45));
    }
    // A list with another machine's file is no file list: refused by a target that looks at it,
    // and at the drop, with one word to the user, where a target took the drag up by its form. The
    // peer hears of the refusal before the box shows (the user may leave it open a while).
    WriteWholeFile(dir / "mixed", "file:///tmp/one%20file\r\nhttp://remote/two\r\n");
    for (bool byForm : {false, true})
    {
        BoxRecorder boxes;
        target->byForm = byForm;
        PeerProcess peer;
        std::string said = "(no answer)"; // with a box, read as it shows
        boxes.onShow = [&] { peer.ReadLine(said, PeerDeadline, nullptr); };
        int drops = target->drops;
        ASSERT_TRUE(peer.Start(Peer(), {"drop", x, y, (dir / "mixed").string(), "move"}));
        peer.ReadLine(said, PeerDeadline, PumpOnce);
        EXPECT_EQ(said, byForm ? "failed None" : "refused");
        EXPECT_EQ(target->drops, drops);
        ASSERT_EQ(boxes.boxes.size(), byForm ? 1u : 0u);
        if (byForm)
        {
            EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()),
                      "Cannot copy \"http://remote/two\": line 2 of the other program's list is no file of this "
                      "computer. Nothing was copied.");
        }
    }
    // A list that names no file is refused while it is dragged, even where the target would take
    // it up by its form: nothing could come of the drop, and the user sees that at once.
    WriteWholeFile(dir / "comments", "# nothing but a comment\r\n\r\n");
    {
        BoxRecorder boxes;
        PeerProcess peer;
        int enters = target->enters, drops = target->drops;
        EXPECT_EQ(StartPeer(peer, {"drop", x, y, (dir / "comments").string(), "move"}), "refused");
        EXPECT_EQ(target->enters, enters);
        EXPECT_EQ(target->drops, drops);
        EXPECT_TRUE(boxes.boxes.empty());
    }
    target->byForm = false;
    // Offering no file list: refused without asking our target.
    {
        PeerProcess peer;
        int enters = target->enters;
        EXPECT_EQ(StartPeer(peer, {"drop", x, y, uris, "no-uris"}), "refused");
        EXPECT_EQ(target->enters, enters);
    }
    // A list over 16 MiB of no announced size is refused once 16 MiB have come (its last byte read
    // would have taken a block of 32 MiB).
    WriteWholeFile(dir / "large",
                   "file:///tmp/one\r\n#" + std::string(Platform::LargestUriList - 19, 'x') + "\r\n");
    const size_t before = HeapCount::Current();
    HeapCount::ResetPeak();
    EXPECT_EQ(PeerProcess().StartAndRead(Peer(), {"drop", x, y, (dir / "large").string(), "unsized"},
                                         PeerDeadline, PumpOnce),
              "refused");
    EXPECT_TRUE(!HeapCount::Counting() || HeapCount::Peak() - before < (size_t(32) << 20));
    // A list in the wrong form: our target refuses it and nothing is dropped.
    {
        PeerProcess peer;
        int drops = target->drops;
        EXPECT_EQ(StartPeer(peer, {"drop", x, y, uris, "bad-data"}), "refused");
        EXPECT_EQ(target->drops, drops);
    }
    // A peer that goes quiet in the middle: after the peer timeout the drag is over for us.
    {
        PeerProcess peer;
        int leaves = target->leaves, enters = target->enters;
        ASSERT_TRUE(peer.Start(Peer(), {"drop", x, y, uris, "quiet"}));
        EXPECT_TRUE(PumpUntil([&] { return target->enters > enters; }, 5s));
        auto start = Clock::now();
        EXPECT_TRUE(PumpUntil([&] { return target->leaves > leaves; }, 8s));
        EXPECT_GE(Clock::now() - start, 3000ms);
        EXPECT_EQ(target->drops, 1);
    }
    // A source sending its positions without waiting for answers drops at the last of them.
    EXPECT_EQ(PeerProcess().StartAndRead(Peer(), {"drop", x, y, uris, "eager-"}, PeerDeadline, PumpOnce),
              "finished XdndActionCopy");
    EXPECT_EQ(target->at.x, rootX + 2);
    RevokeDragDrop(form->Handle());
    target->Release();
}

// Every position a peer sends is answered. A second peer that comes while a drop is handled (a
// drop that asks its user) is refused at once and taken up when that drop is done; while the
// program shows a box of its own, every peer is refused, its drop too.
TEST_F(DesktopTransferTest, EveryPeerIsAnsweredAndRefusedWhileTheProgramAsks)
{
    auto* target = new RecordingTarget();
    unsigned long window = ShowDropForm(target);
    int rootX = 0, rootY = 0;
    probe->RootPosition(window, 10, 10, rootX, rootY);
    const std::string x = std::to_string(rootX), y = std::to_string(rootY);
    const std::string first = (dir / "first").string(), second = (dir / "second").string();
    WriteWholeFile(first, "file:///tmp/first\r\n");
    WriteWholeFile(second, "file:///tmp/second\r\n");

    std::vector<std::string> heard; // what the second peer heard while the first drop was handled
    PeerProcess late;
    target->duringDrop = [&]
    {
        if (!heard.empty())
            return;
        std::string line;
        if (!late.Start(Peer(), {"drop", x, y, second, "probe"}) || !late.ReadLine(line, PeerDeadline, PumpOnce))
            line = "(no answer)";
        heard.push_back(line);
    };
    {
        PeerProcess peer;
        EXPECT_EQ(StartPeer(peer, {"drop", x, y, first}), "finished XdndActionCopy");
    }
    EXPECT_EQ(heard, std::vector<std::string>{"status refused"});
    // Once that drop is done, the second peer's next position is answered as any other.
    EXPECT_EQ(late.LinesAfter("status refused", 2, PeerDeadline, PumpOnce),
              "status accepted XdndActionCopy / finished XdndActionCopy");
    EXPECT_EQ(target->drops, 2);
    EXPECT_EQ(target->dropped.substr(0, 13), std::u16string(u"/tmp/second\0\0", 13));

    // A box of the program's own is up: a peer is refused at once, and taken once it is gone.
    auto whileABoxIsUp = [&](const std::function<void()>& meanwhile)
    {
        ModalBoxDriver<TMessageForm> driver;
        driver.ready = [](TMessageForm*, unsigned long) { return true; };
        driver.act = [&](TMessageForm* box, unsigned long shown)
        {
            int left = 0, top = 0;
            probe->RootPosition(shown, 0, 0, left, top);
            EXPECT_FALSE(rootX >= left && rootX < left + box->Width() && rootY >= top && rootY < top + box->Height())
                << "the box covers the point dropped on";
            meanwhile();
            box->SetModalResult(mrOk);
        };
        TTimer timer(nullptr);
        timer.SetInterval(20);
        timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TMessageForm>::Tick);
        driver.timer = &timer;
        MessageBoxW(form->Handle(), u"Go on?", u"Question", MB_OK);
        timer.SetEnabled(false);
        EXPECT_TRUE(driver.acted);
    };
    std::string whileAsked;
    whileABoxIsUp(
        [&]
        {
            PeerProcess peer;
            whileAsked = StartPeer(peer, {"drop", x, y, first});
        });
    EXPECT_EQ(whileAsked, "refused");
    EXPECT_EQ(target->drops, 2);
    // A peer taken up before the box opened that drops while it is up hears that nothing was done,
    // and nothing is dropped behind the box.
    {
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"drop", x, y, first, "hold"}), "status accepted XdndActionCopy");
        std::string dropped = "(no answer)";
        whileABoxIsUp([&] { peer.Signal(SIGUSR1) && peer.ReadLine(dropped, PeerDeadline, PumpOnce); });
        EXPECT_EQ(dropped, "failed None");
        EXPECT_EQ(target->drops, 2);
    }
    // A peer over the target when a box opens: the target hears it leave (no drop is shown as
    // possible while every position is refused), and takes it up again after.
    {
        PeerProcess peer;
        ASSERT_EQ(StartPeer(peer, {"drop", x, y, first, "hover"}), "status accepted XdndActionCopy");
        const int leaves = target->leaves;
        bool left = false;
        whileABoxIsUp([&] { left = PumpUntil([&] { return target->leaves > leaves; }, PeerDeadline); });
        EXPECT_TRUE(left);
        EXPECT_EQ(peer.LinesAfter("status accepted", 2, PeerDeadline, PumpOnce),
                  "status refused / status accepted XdndActionCopy");
        // Revoked under the drag, the target has heard it leave by the time the revoke returns.
        const int over = target->leaves;
        RevokeDragDrop(form->Handle());
        EXPECT_EQ(target->leaves, over + 1);
        RegisterDragDrop(form->Handle(), target);
    }
    {
        PeerProcess peer;
        EXPECT_EQ(StartPeer(peer, {"drop", x, y, first}), "finished XdndActionCopy");
    }
    EXPECT_EQ(target->drops, 3);
    RevokeDragDrop(form->Handle());
    target->Release();
}

// While the program waits for another program's data (a paste from a slow owner, the list of a
// drag whose source serves it slowly), a peer dragging over it is answered at once, refused, and
// taken up once the wait is over.
TEST_F(DesktopTransferTest, APeerIsAnsweredAtOnceWhileTheProgramWaitsForAnother)
{
    // However long the second peer takes to start, the slow transfer lasts until it is told.
    struct Restore
    {
        X11::TransferLimits limits;
        ~Restore() { X11::SetTransferLimits(limits); }
    } restore{X11::SetTransferLimits({PeerDeadlineMs, X11::LeastTransferRate})};
    auto* target = new RecordingTarget();
    unsigned long window = ShowDropForm(target);
    int rootX = 0, rootY = 0;
    probe->RootPosition(window, 150, 100, rootX, rootY);
    const std::string x = std::to_string(rootX), y = std::to_string(rootY);
    // The slow list starts with a long comment: its trickle lasts until the peer is nudged.
    const std::string slowList = "# " + std::string(100000, 'x') + "\r\nfile:///tmp/slow\r\n";
    const std::string slow = (dir / "slow").string(), quick = (dir / "quick").string();
    WriteWholeFile(slow, slowList);
    WriteWholeFile(quick, "file:///tmp/quick\r\n");
    for (bool paste : {true, false})
    {
        SCOPED_TRACE(paste ? "a paste" : "a drag");
        BoxRecorder boxes;
        const int drops = target->drops;
        PeerProcess slowPeer, second;
        std::string heard = "(no answer)"; // the second peer's first answer
        std::atomic<bool> told = false;
        if (paste)
            ASSERT_EQ(StartPeer(slowPeer, {"serve", "text/uri-list", slow, "trickle:20", "report"}), "ready");
        else
            ASSERT_TRUE(slowPeer.Start(Peer(), {"drop", x, y, slow, "trickle:20", "report"}));
        // Once the slow transfer is under way the second peer comes; once it has heard from us,
        // the slow peer sends the rest.
        std::thread meanwhile(
            [&]
            {
                if (slowPeer.LinesAfter("asked", 1, PeerDeadline, nullptr).rfind("sent", 0) == 0 &&
                    second.Start(Peer(), {"drop", x, y, quick, "probe"}))
                    second.ReadLine(heard, PeerDeadline, nullptr);
                slowPeer.Signal(SIGUSR1);
                told = true;
            });
        if (paste)
        {
            std::string bytes;
            EXPECT_EQ(X11::FetchClipboard("text/uri-list", bytes, PeerDeadlineMs), X11::FetchResult::Done);
            EXPECT_TRUE(bytes == slowList);
        }
        else
            EXPECT_TRUE(PumpUntil([&] { return told.load(); }, PeerDeadline));
        meanwhile.join();
        EXPECT_EQ(heard, "status refused");
        EXPECT_EQ(second.LinesAfter("status refused", 2, PeerDeadline, PumpOnce),
                  "status accepted XdndActionCopy / finished XdndActionCopy");
        EXPECT_EQ(target->drops, drops + 1);
        EXPECT_EQ(target->dropped.substr(0, 12), std::u16string(u"/tmp/quick\0\0", 12));
        EXPECT_TRUE(boxes.boxes.empty());
        if (paste)
            continue;
        // The slow peer's drag gave way to the second one's: its drop hears that nothing was done.
        EXPECT_EQ(slowPeer.LinesAfter("sent", 1, PeerDeadline, PumpOnce), "failed None");
        EXPECT_EQ(target->drops, drops + 1);
    }
    // The slow source gives up on its list mid-trickle: it leaves (or drops) and drags anew in the
    // same breath (one that sends positions without waiting for answers, a moment later). Its new
    // drag is refused while the wait for the old list lasts (the peer does not say so), which ends
    // at once, not on the peer timeout; it is taken up then, its list asked for and dropped; it
    // hears no finish but its new drop's, and no position goes unanswered. A source that drops and
    // drags no more hears that nothing was done.
    for (std::string mode : {"leave-again:20", "drop-again:20", "eager-leave-again:20", "eager-drop-again:20",
                             "drop-early:20"})
    {
        SCOPED_TRACE(mode);
        const bool early = mode == "drop-early:20";
        const int drops = target->drops;
        PeerProcess source;
        std::atomic<bool> told = false;
        Clock::time_point nudged;
        ASSERT_TRUE(source.Start(Peer(), {"drop", x, y, slow, mode, "report"}));
        std::thread nudge(
            [&]
            {
                std::string sent; // its list's first step
                source.ReadLine(sent, PeerDeadline, nullptr) && source.Signal(SIGUSR1);
                nudged = Clock::now();
                told = true;
            });
        EXPECT_TRUE(PumpUntil([&] { return told.load(); }, PeerDeadline));
        nudge.join();
        EXPECT_EQ(source.LinesAfter("sent", early ? 1 : 2, PeerDeadline, PumpOnce),
                  early ? "failed None" : "status accepted XdndActionCopy / finished XdndActionCopy");
        EXPECT_LT(Clock::now() - nudged, std::chrono::milliseconds(X11::PeerTimeoutMs) * 3 / 5);
        EXPECT_EQ(target->drops, drops + !early);
        EXPECT_EQ(target->dropped.substr(0, 11), std::u16string(u"/tmp/slow\0\0", 11));
    }
    RevokeDragDrop(form->Handle());
    target->Release();
}
