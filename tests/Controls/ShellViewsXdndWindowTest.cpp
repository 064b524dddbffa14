// The file list and other programs: a peer written from the XDND protocol (tests/hosts/xpeer)
// drops files onto the list and takes a drag from it; the desktop clipboard carries the list's
// copies to other programs and theirs to the list.
#include "Controls/XFileListView.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/hosts/FileListHostForm.h"
#include "tests/support/FileListRows.h"
#include "tests/support/FolderTree.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
class ShellViewsXdndWindowTest : public PresenterWindowTest
{
protected:
    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(fs::exists(peerProgram));
        fs::create_directories(root / "shown" / "docs");
        fs::create_directories(root / "outside");
        std::ofstream(root / "shown" / "alpha.txt") << std::string(1025, 'a');
        std::ofstream(root / "outside" / "incoming file.txt") << "from elsewhere";
        ShowList();
    }
    void TearDown() override
    {
        delete form;
        form = nullptr;
        PresenterWindowTest::TearDown();
    }

    // A new form with the list over the shown folder, on the screen.
    void ShowList()
    {
        form = new TForm(nullptr);
        form->SetCaption(u"File list");
        form->SetClientWidth(480);
        form->SetClientHeight(240);
        list = new XFileListView(form);
        list->SetParent(form);
        list->SetAlign(alClient);
        list->SetViewStyle(vsReport);
        list->SetPath(UnicodeString(Platform::WideName((root / "shown").string()).c_str()));
        form->Show();
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(Vcl::NativeWindowOf(form)); }));
        window = Vcl::NativeWindowOf(form);
    }

    // The screen point of a row's label; false when the row is not shown.
    bool RowOnScreen(const std::u16string& row, int& x, int& y)
    {
        TPoint at = RowLabelPoint(*list, row);
        if (at.x < 0)
            return false;
        probe->RootPosition(window, at.x, at.y, x, y);
        return true;
    }

    TempDir root{"shellxdnd"};
    std::string peerProgram = (fs::path(Platform::ProgramFolder()) / "xpeer").string();
    TForm* form = nullptr;
    XFileListView* list = nullptr;
    unsigned long window = 0;
};
} // namespace

TEST_F(ShellViewsXdndWindowTest, APeerDropsOntoTheListAndTakesItsDrag)
{
    // The peer's file dropped on the empty area is copied into the folder.
    std::ofstream(root / "uris") << "file://" << (root / "outside").string() << "/incoming%20file.txt\r\n";
    int rootX = 0, rootY = 0;
    probe->RootPosition(window, 240, 220, rootX, rootY);
    {
        PeerProcess peer;
        std::string line;
        ASSERT_TRUE(peer.Start(peerProgram, {"drop", std::to_string(rootX), std::to_string(rootY),
                                             (root / "uris").string()}));
        ASSERT_TRUE(peer.ReadLine(line, 15s, PumpOnce));
        EXPECT_EQ(line, "finished XdndActionCopy");
    }
    EXPECT_EQ(ReadWholeFile(root / "shown" / "incoming file.txt"), "from elsewhere");
    EXPECT_TRUE(fs::exists(root / "outside" / "incoming file.txt"));

    // The list's drag taken by the peer's window, away from ours.
    PeerProcess peer;
    std::string line;
    ASSERT_TRUE(peer.Start(peerProgram, {"target", "800", "40", (root / "dropped").string()}));
    ASSERT_TRUE(peer.ReadLine(line, 10s, PumpOnce));
    ASSERT_EQ(line.rfind("ready", 0), 0u);
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 3; }));
    // Another program's drag taken up on a folder before the list's drag began drops during it:
    // refused, and nothing is copied inside the list's drag.
    int docsX = 0, docsY = 0;
    ASSERT_TRUE(RowOnScreen(u"docs", docsX, docsY));
    PeerProcess resting;
    ASSERT_EQ(resting.StartAndRead(peerProgram, {"drop", std::to_string(docsX), std::to_string(docsY),
                                                 (root / "uris").string(), "hold"},
                                   PeerDeadline, PumpOnce),
              "status accepted XdndActionCopy");
    struct Nudge
    {
        PeerProcess* peer;
        void Tick(TObject*)
        {
            if (peer && Platform::DragLoopRunning())
                std::exchange(peer, nullptr)->Signal(SIGUSR1);
        }
    } nudge{&resting};
    TTimer timer(nullptr);
    timer.SetInterval(20);
    timer.OnTimer = MakeClosure(&nudge, &Nudge::Tick);
    TPoint file = RowLabelPoint(*list, u"alpha.txt");
    probe->MoveTo(window, file.x, file.y);
    probe->Sync();
    probe->Button(1, true);
    ASSERT_TRUE(PumpUntil([&] { return list->SelCount() == 1; }));
    std::thread rest(
        [name = server.Name()]
        {
            XProbe hand(name);
            for (int step = 1; step <= 4; ++step)
            {
                std::this_thread::sleep_for(200ms);
                hand.MoveToRoot(760 + 25 * step, 80 + 10 * step);
            }
            std::this_thread::sleep_for(300ms);
            hand.Button(1, false);
            hand.Sync();
        });
    probe->MoveTo(window, file.x + Vcl::DragThreshold, file.y);
    probe->Sync();
    bool dropped = peer.ReadLine(line, 15s, PumpOnce) && line == "enter 5" && peer.ReadLine(line, 15s, PumpOnce);
    rest.join();
    ASSERT_TRUE(dropped);
    EXPECT_EQ(line, "dropped");
    EXPECT_EQ(ReadWholeFile(root / "dropped"), "file://" + (root / "shown").string() + "/alpha.txt\r\n");
    EXPECT_EQ(resting.LinesAfter("status accepted", 1, PeerDeadline, PumpOnce), "failed None");
    EXPECT_FALSE(fs::exists(root / "shown" / "docs" / "incoming file.txt"));
    // A copy to another program: the file stays, and stays selected when a copy lands beside it.
    EXPECT_TRUE(fs::exists(root / "shown" / "alpha.txt"));
    fs::copy_file(root / "shown" / "alpha.txt", root / "shown" / "alpha - Copy.txt");
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 4; }));
    EXPECT_EQ(std::u16string(list->SelCount() == 1 ? list->GetSelectedFileItem()->Name : u""), u"alpha.txt");
    // The pointer is free again: a click reaches the list.
    PumpUntil([&] { return !Platform::DragLoopRunning(); });
    EXPECT_FALSE(Platform::DragLoopRunning());

    // The list's form goes while a peer hovers over the list: the next peer's drop onto a new form
    // (and the program's end after it) calls nothing of the list that went.
    PeerProcess hovering;
    ASSERT_EQ(hovering.StartAndRead(peerProgram, {"drop", std::to_string(rootX), std::to_string(rootY),
                                                  (root / "uris").string(), "hover"},
                                    PeerDeadline, PumpOnce),
              "status accepted XdndActionCopy");
    delete form;
    ShowList();
    fs::remove(root / "shown" / "incoming file.txt");
    probe->RootPosition(window, 240, 220, rootX, rootY);
    PeerProcess next;
    ASSERT_TRUE(next.Start(peerProgram, {"drop", std::to_string(rootX), std::to_string(rootY),
                                         (root / "uris").string()}));
    ASSERT_TRUE(next.ReadLine(line, PeerDeadline, PumpOnce));
    EXPECT_EQ(line, "finished XdndActionCopy");
    EXPECT_EQ(ReadWholeFile(root / "shown" / "incoming file.txt"), "from elsewhere");
}

TEST_F(ShellViewsXdndWindowTest, CopiesAndCutsCrossTheDesktopClipboardAsUriLists)
{
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
    list->Items()->Item(0)->SetSelected(true);
    std::u16string selected(list->Record(0)->Name);
    list->CutToClipboard();
    PeerProcess fetcher;
    std::string line;
    ASSERT_TRUE(fetcher.Start(peerProgram, {"fetch", "text/uri-list", (root / "fetched").string()}));
    ASSERT_TRUE(fetcher.ReadLine(line, 10s, PumpOnce));
    EXPECT_EQ(line.rfind("fetched", 0), 0u);
    EXPECT_EQ(ReadWholeFile(root / "fetched"),
              "file://" + (root / "shown").string() + "/" + Platform::ToUtf8(selected.c_str()) + "\r\n");

    // Another program's list pastes as a copy (a cut there is no move here).
    std::ofstream(root / "served") << "file://" << (root / "outside").string() << "/incoming%20file.txt\r\n";
    PeerProcess server2;
    ASSERT_EQ(server2.StartAndRead(peerProgram, {"serve", "text/uri-list", (root / "served").string()}, 10s,
                                   PumpOnce),
              "ready");
    EXPECT_TRUE(list->IsClipboardAvailable());
    list->PasteFromClipboard();
    EXPECT_EQ(ReadWholeFile(root / "shown" / "incoming file.txt"), "from elsewhere");
    EXPECT_TRUE(fs::exists(root / "outside" / "incoming file.txt"));

    // A busy program, 1.5 s for each answer, is waited for.
    std::ofstream(root / "outside" / "busy.txt") << "from a busy program";
    std::ofstream(root / "served") << "file://" << (root / "outside").string() << "/busy.txt\r\n";
    PeerProcess busy;
    ASSERT_EQ(busy.StartAndRead(peerProgram,
                                {"serve", "text/uri-list", (root / "served").string(), "delay:1500"}, 10s,
                                PumpOnce),
              "ready");
    list->PasteFromClipboard();
    EXPECT_EQ(ReadWholeFile(root / "shown" / "busy.txt"), "from a busy program");
}

// Paths from elsewhere that end in ".." or "." (a pasted or dropped file URI may): what they name
// lands directly in the folder the list shows, or in the folder dropped on, under its own name, and
// a folder into itself or below itself is refused; nothing is written beside the shown folder.
TEST_F(ShellViewsXdndWindowTest, PathsEndingInDotsStayInTheShownFolder)
{
    enum class Way
    {
        PasteFromAnotherProgram, // a copy, whatever that program says
        PasteOfACut,             // a list of this program's with the move effect
        DropOnTheList,           // a copy into the shown folder
        DragOntoAFolder,         // another window's drag, a move into "docs"
        PeerDropOntoAFolder,     // another program's drag asking a move, dropped on "docs"
    };
    struct Case
    {
        Way way;
        std::string source;  // below the test's folder
        std::string refused; // the name the refusal gives; empty when the operation goes through
    };
    const std::string top = root.Path().filename().string();
    const std::vector<Case> cases = {
        {Way::PasteFromAnotherProgram, "elsewhere/sub/..", ""},
        {Way::PasteFromAnotherProgram, "shown/.", "shown"},
        {Way::PasteFromAnotherProgram, "shown/..", top},
        {Way::PasteOfACut, "elsewhere/sub/..", ""},
        {Way::PasteOfACut, "shown/.", "shown"},
        {Way::PasteOfACut, "shown/..", top},
        {Way::DropOnTheList, "elsewhere/sub/..", ""},
        {Way::DropOnTheList, "shown/.", "shown"},
        {Way::DropOnTheList, "shown/..", top},
        {Way::DragOntoAFolder, "elsewhere/sub/..", ""},
        {Way::DragOntoAFolder, "shown/.", "shown"},
        {Way::DragOntoAFolder, "shown/docs/..", "shown"},
        {Way::PeerDropOntoAFolder, "elsewhere/sub/..", ""},
        {Way::PeerDropOntoAFolder, "shown/.", "shown"},
        {Way::PeerDropOntoAFolder, "shown/docs/..", "shown"},
    };
    const char* ways[] = {"paste from another program", "paste of a cut", "drop on the list", "drag onto a folder",
                          "another program's drag onto a folder"};
    TempDir scratch{"shelldots"}; // the peer's files, away from what is watched
    const fs::path shown = root / "shown";
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(ways[static_cast<int>(c.way)]) + " of " + c.source);
        // The same folders for every case, whatever the last one left.
        EmptyFolderDeep(shown);
        for (const auto& entry : fs::directory_iterator(root.Path()))
            if (entry.path() != shown)
                fs::remove_all(entry.path());
        fs::create_directories(shown / "docs");
        std::ofstream(shown / "alpha.txt") << std::string(1025, 'a');
        fs::create_directories(root / "outside");
        std::ofstream(root / "outside" / "incoming file.txt") << "from elsewhere";
        fs::create_directories(root / "elsewhere" / "sub");
        std::ofstream(root / "elsewhere" / "e1.txt") << "elsewhere's";
        std::ofstream(root / "e1.txt") << "beside the shown folder";
        ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
        bool ontoFolder = c.way == Way::DragOntoAFolder || c.way == Way::PeerDropOntoAFolder;
        bool move = c.way == Way::PasteOfACut || ontoFolder;
        fs::path into = ontoFolder ? shown / "docs" : shown;
        std::map<std::string, std::string> expected = FolderContents(root.Path());
        if (c.refused.empty())
        {
            std::string landed = (into / "elsewhere").lexically_relative(root.Path()).string();
            expected[landed] = "dir";
            expected[landed + "/e1.txt"] = "elsewhere's";
            expected[landed + "/sub"] = "dir";
            if (move)
                for (const char* gone : {"elsewhere", "elsewhere/e1.txt", "elsewhere/sub"})
                    expected.erase(gone);
        }
        std::string source = root.Path().string() + "/" + c.source;
        BoxRecorder boxes;
        boxes.answer = IDYES; // a question to replace would be answered Yes
        if (c.way == Way::PasteFromAnotherProgram)
        {
            std::ofstream(scratch / "served") << "file://" << source << "\r\n";
            PeerProcess owner;
            ASSERT_EQ(owner.StartAndRead(peerProgram,
                                         {"serve", "text/uri-list", (scratch / "served").string()}, 10s,
                                         PumpOnce),
                      "ready");
            list->PasteFromClipboard();
        }
        else if (c.way == Way::PasteOfACut)
        {
            ShellUtils::XDataObject* data = FileListDataObject(source, DROPEFFECT_COPY | DROPEFFECT_MOVE);
            OleSetClipboard(data);
            data->Release();
            list->PasteFromClipboard();
        }
        else if (c.way == Way::DragOntoAFolder)
        {
            // The button goes down below the rows, the pointer moves onto "docs" and lets go there.
            int fromX = 0, fromY = 0, toX = 0, toY = 0;
            ASSERT_TRUE(RowOnScreen(u"docs", toX, toY));
            probe->RootPosition(window, 240, 220, fromX, fromY);
            probe->MoveToRoot(fromX, fromY);
            probe->Button(1, true);
            Settle(); // the press reaches the list before the drag begins
            std::thread hand(
                [name = server.Name(), fromX, fromY, toX, toY]
                {
                    XProbe other(name);
                    for (int step = 1; step <= 4; ++step)
                    {
                        std::this_thread::sleep_for(100ms);
                        other.MoveToRoot(fromX + (toX - fromX) * step / 4, fromY + (toY - fromY) * step / 4);
                        other.Sync();
                    }
                    std::this_thread::sleep_for(200ms);
                    other.Button(1, false);
                    other.Sync();
                });
            ShellUtils::XDataObject* data = FileListDataObject(source);
            auto* from = new ShellUtils::XDropSource(MK_LBUTTON, MK_RBUTTON);
            DWORD effect = DROPEFFECT_NONE;
            ::DoDragDrop(data, from, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
            hand.join();
            from->Release();
            data->Release();
            // Told of a move, a source may delete its originals: a refusal moved nothing.
            EXPECT_EQ(effect, c.refused.empty() ? DROPEFFECT_MOVE : DROPEFFECT_NONE);
        }
        else
        {
            TPoint at = c.way == Way::PeerDropOntoAFolder ? RowLabelPoint(*list, u"docs") : TPoint(240, 220);
            ASSERT_GE(at.x, 0);
            int rootX = 0, rootY = 0;
            probe->RootPosition(window, at.x, at.y, rootX, rootY);
            std::ofstream(scratch / "uris") << "file://" << source << "\r\n";
            PeerProcess peer;
            std::string line;
            ASSERT_TRUE(peer.Start(peerProgram, {"drop", std::to_string(rootX), std::to_string(rootY),
                                                 (scratch / "uris").string(), move ? "move" : "copy"}));
            ASSERT_TRUE(peer.ReadLine(line, 15s, PumpOnce));
            // The finish the peer reads says what was done, and nothing when nothing was.
            EXPECT_EQ(line, !c.refused.empty() ? "failed None"
                            : move             ? "finished XdndActionMove"
                                               : "finished XdndActionCopy");
        }

        int depth = FolderDepth(shown);
        EXPECT_LE(depth, 3) << "folders nested in the shown folder";
        if (depth > 3)
            EmptyFolderDeep(shown);
        EXPECT_EQ(FolderContents(root.Path()), expected);
        std::string verb = move ? "move" : "copy";
        if (c.refused.empty())
            EXPECT_TRUE(boxes.boxes.empty())
                << (boxes.boxes.empty() ? "" : Platform::ToUtf8(boxes.boxes[0].text.c_str()));
        else
        {
            EXPECT_EQ(boxes.boxes.size(), 1u);
            if (boxes.boxes.empty())
                continue;
            EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].caption.c_str()),
                      "Error " + std::string(move ? "Moving" : "Copying") + " File or Folder");
            EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()),
                      "Cannot " + verb + " \"" + c.refused + "\": the destination folder is inside the source folder.");
        }
    }
    OleSetClipboard(nullptr);
}

// Another program's drag that offers only a copy takes a copy on a folder row, where the keys
// would ask for a move; one whose file is missing is told that nothing was done.
TEST_F(ShellViewsXdndWindowTest, APeersDropOntoAFolderTakesWhatItOffersAndHearsWhatWasDone)
{
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
    int rootX = 0, rootY = 0;
    ASSERT_TRUE(RowOnScreen(u"docs", rootX, rootY));
    TempDir scratch{"shelldrops"}; // the peer's list, away from what is compared
    auto drop = [&](const std::string& uri, const char* mode)
    {
        std::ofstream(scratch / "uris") << uri << "\r\n";
        PeerProcess peer;
        std::string line;
        if (!peer.Start(peerProgram, {"drop", std::to_string(rootX), std::to_string(rootY),
                                      (scratch / "uris").string(), mode}) ||
            !peer.ReadLine(line, 15s, PumpOnce))
            return std::string("no answer");
        return line;
    };
    BoxRecorder boxes;
    EXPECT_EQ(drop("file://" + (root / "outside").string() + "/incoming%20file.txt", "copy"),
              "finished XdndActionCopy");
    EXPECT_EQ(ReadWholeFile(root / "shown" / "docs" / "incoming file.txt"), "from elsewhere");
    EXPECT_TRUE(fs::exists(root / "outside" / "incoming file.txt"));
    EXPECT_TRUE(boxes.boxes.empty());

    std::map<std::string, std::string> before = FolderContents(root.Path());
    EXPECT_EQ(drop("file://" + (root / "outside").string() + "/missing.txt", "move"), "failed None");
    EXPECT_EQ(FolderContents(root.Path()), before);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()), "Cannot move \"missing.txt\": No such file or directory.");
}

namespace
{
// Where a row of the host's file list lies in its window, measured on the host's form built here.
TPoint HostRowPoint(const fs::path& folder, const std::u16string& name)
{
    TForm form(nullptr);
    FileListHostForm host(&form, UnicodeString(Platform::WideName(folder.string()).c_str()));
    TPoint row = RowLabelPoint(*host.list, name);
    if (row.x < 0)
        return row;
    TPoint origin = host.list->FormOrigin();
    return TPoint(origin.x + row.x, origin.y + row.y);
}

// A point of the host's file list below its rows, `across` pixels from its left.
TPoint HostListPoint(int across, int down)
{
    return TPoint(FileListHostForm::TreeWidth + 10 + across, down);
}

bool WaitForFile(const fs::path& path, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(path))
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}
} // namespace

TEST(ShellViewsTwoProgramsTest, ADragBetweenTwoHostProcessesCopiesThroughXdnd)
{
    VirtualDisplay server(2 * FileListHostForm::Width + 80, FileListHostForm::Height + 100);
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir root{"shelltwo"};
    fs::create_directories(root / "left");
    fs::create_directories(root / "right");
    std::ofstream(root / "left" / "alpha.txt") << std::string(1025, 'a');
    fs::path host = fs::path(Platform::ProgramFolder()) / "filelist_host";
    ASSERT_TRUE(fs::exists(host));
    WindowDriver left, right;
    ASSERT_TRUE(left.Connected() && right.Connected());
    ASSERT_TRUE(left.Start(host.string(), {(root / "left").string(), "Left list"}));
    ASSERT_TRUE(right.Start(host.string(), {(root / "right").string(), "Right list"}));
    unsigned long leftWindow = left.FindWindow("Left list", 20s);
    unsigned long rightWindow = right.FindWindow("Right list", 20s);
    ASSERT_NE(leftWindow, 0u);
    ASSERT_NE(rightWindow, 0u);
    XProbe probe(server.Name());
    probe.PlaceWindow(leftWindow, 0, 0);
    probe.PlaceWindow(rightWindow, FileListHostForm::Width + 40, 0);
    left.Settle(300ms);

    TPoint file = HostRowPoint(root / "left", u"alpha.txt");
    ASSERT_GE(file.x, 0);
    left.MoveTo(leftWindow, file.x, file.y);
    left.Settle();
    left.ButtonDown(1);
    left.Settle();
    left.MoveTo(leftWindow, file.x + Vcl::DragThreshold, file.y);
    left.Settle();
    for (int step = 1; step <= 4; ++step)
    {
        TPoint over = HostListPoint(60 * step, 150 + 10 * step);
        left.MoveTo(rightWindow, over.x, over.y);
        left.Settle(100ms);
    }
    left.Settle(300ms);
    left.ButtonUp(1);
    EXPECT_TRUE(WaitForFile(root / "right" / "alpha.txt", 15s));
    EXPECT_EQ(ReadWholeFile(root / "right" / "alpha.txt"), std::string(1025, 'a'));
    EXPECT_TRUE(fs::exists(root / "left" / "alpha.txt"));
    EXPECT_TRUE(left.Running());
    EXPECT_TRUE(right.Running());
    left.Kill();
    right.Kill();
}

namespace
{
// Answers every box of the program's own while it lives, from a timer inside the box's loop: notes
// its caption and text, runs `during` while the first one is up, then answers it.
struct BoxAnswerer
{
    BoxAnswerer(TModalResult answer, std::function<void()> during) : answer(answer), during(std::move(during))
    {
        timer.SetInterval(20);
        timer.OnTimer = MakeClosure(this, &BoxAnswerer::Tick);
    }
    void Tick(TObject*)
    {
        auto* box = dynamic_cast<TMessageForm*>(Screen->ActiveForm());
        if (running || !box || box->PaintCount() == 0 || box->ModalResult() != mrNone)
            return;
        running = true;
        seen.push_back(Platform::ToUtf8(box->Caption().c_str()) + ": " +
                       Platform::ToUtf8(box->Message()->Caption().c_str()));
        if (seen.size() == 1 && during)
            during();
        box->SetModalResult(answer);
        running = false;
    }

    TModalResult answer;
    std::function<void()> during;
    TTimer timer{nullptr};
    bool running = false;
    std::vector<std::string> seen;
};

// The first line a peer dragging the list file onto (x, y) of the root says.
std::string PeerDrop(const std::string& peer, int x, int y, const fs::path& uris, const char* mode)
{
    PeerProcess process;
    std::string line;
    if (!process.Start(peer, {"drop", std::to_string(x), std::to_string(y), uris.string(), mode}) ||
        !process.ReadLine(line, PeerDeadline, PumpOnce))
        return "(no answer)";
    return line;
}

// Whether a point of the root lies on the active form (the box the program shows).
bool OnActiveForm(XProbe& probe, int x, int y)
{
    TCustomForm* box = Screen->ActiveForm();
    int left = 0, top = 0;
    if (!box)
        return false;
    probe.RootPosition(Vcl::NativeWindowOf(box), 0, 0, left, top);
    return x >= left && x < left + box->Width() && y >= top && y < top + box->Height();
}
} // namespace

// A list from another program with a line the list cannot take (another machine's file, a NUL, a
// scheme other than file:, a bare path) is refused whole, as a list with one file that cannot be
// moved is: nothing is moved, one box names the first such line, and the peer hears that nothing
// was done. The machine's own names for itself are its own files.
TEST_F(ShellViewsXdndWindowTest, AListWithALineItCannotTakeIsRefusedWhole)
{
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
    int rootX = 0, rootY = 0;
    ASSERT_TRUE(RowOnScreen(u"docs", rootX, rootY));
    TempDir scratch{"shellwhole"}; // the peer's files, away from what is watched
    const fs::path from = scratch / "from";
    fs::create_directories(from / "many");
    // Each case starts from the same files, whatever the last one did with them.
    auto restore = [&]
    {
        EmptyFolderDeep(root / "shown" / "docs");
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            std::ofstream(from / name) << name;
    };
    restore();
    const std::string at = "file://" + from.string();
    std::string many;
    for (int i = 0; i < 10000; ++i)
    {
        std::ofstream(from / "many" / ("f" + std::to_string(i))) << i;
        many += (i == 5000 ? "file://otherhost" + from.string() : at) + "/many/f" + std::to_string(i) + "\r\n";
    }
    struct Case
    {
        std::string middle; // the list's second line
        std::string text;   // the whole list, when it is not three lines
        size_t line = 2;
    };
    const std::vector<Case> cases = {
        {"file://otherhost" + from.string() + "/b.txt", "", 2},
        {at + "/b.txt%00.txt", "", 2},
        {"sftp://otherhost" + from.string() + "/b.txt", "", 2},
        {from.string() + "/b.txt", "", 2},
        {"file://otherhost" + from.string() + "/many/f5000", many, 5001},
    };
    TempDir lists{"shelllists"};
    auto threeLines = [&](const std::string& middle)
    { return at + "/a.txt\r\n" + middle + "\r\n" + at + "/c.txt\r\n"; };
    const std::map<std::string, std::string> shownBefore = FolderContents(root.Path());
    const std::map<std::string, std::string> fromBefore = FolderContents(from);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.middle.substr(0, 80));
        restore();
        BoxRecorder boxes;
        std::ofstream(lists / "uris", std::ios::binary) << (c.text.empty() ? threeLines(c.middle) : c.text);
        EXPECT_EQ(PeerDrop(peerProgram, rootX, rootY, lists / "uris", "move"), "failed None");
        EXPECT_EQ(FolderContents(root.Path()), shownBefore);
        EXPECT_TRUE(FolderContents(from) == fromBefore);
        EXPECT_EQ(boxes.boxes.size(), 1u);
        if (boxes.boxes.empty())
            continue;
        const std::string shown = c.middle.size() > 200 ? c.middle.substr(0, 200) + "..." : c.middle;
        EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].caption.c_str()), "Error Moving File or Folder");
        EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].text.c_str()),
                  "Cannot move \"" + shown + "\": line " + std::to_string(c.line) +
                      " of the other program's list is no file of this computer. Nothing was moved.");
    }

    // A paste of such a list: nothing is copied, one box.
    restore();
    {
        BoxRecorder boxes;
        std::ofstream(lists / "served", std::ios::binary) << threeLines(cases[0].middle);
        PeerProcess owner;
        ASSERT_EQ(owner.StartAndRead(peerProgram, {"serve", "text/uri-list", (lists / "served").string()}, 10s,
                                     PumpOnce),
                  "ready");
        list->PasteFromClipboard();
        EXPECT_EQ(FolderContents(root.Path()), shownBefore);
        EXPECT_EQ(boxes.boxes.size(), 1u);
        if (!boxes.boxes.empty())
        {
            EXPECT_EQ(Platform::ToUtf8(boxes.boxes[0].caption.c_str()), "Error Copying File or Folder");
            EXPECT_NE(boxes.boxes[0].text.find(u"line 2 of the other program's list"), std::u16string::npos);
        }
    }

    // "localhost" and the machine's own name are this machine.
    restore();
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    BoxRecorder boxes;
    std::ofstream(lists / "uris", std::ios::binary)
        << "file://localhost" << from.string() << "/a.txt\r\nfile://" << host << from.string() << "/b.txt\r\n";
    EXPECT_EQ(PeerDrop(peerProgram, rootX, rootY, lists / "uris", "move"), "finished XdndActionMove");
    EXPECT_EQ(ReadWholeFile(root / "shown" / "docs" / "a.txt"), "a.txt");
    EXPECT_EQ(ReadWholeFile(root / "shown" / "docs" / "b.txt"), "b.txt");
    EXPECT_FALSE(fs::exists(from / "a.txt"));
    EXPECT_TRUE(boxes.boxes.empty());
}

// While the list asks its user something (the Delete question, a paste's Confirm Replace) or shows
// a long operation's progress, another program's drop is refused at once, so that it cannot run
// behind the question; once that is over, drops are taken again.
TEST_F(ShellViewsXdndWindowTest, DropsAreRefusedWhileTheListAsksOrShowsProgress)
{
    const fs::path shown = root / "shown";
    fs::create_directories(shown / "Zsub");
    std::ofstream(root / "outside" / "alpha.txt") << "from outside";
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 3; }));
    TempDir scratch{"shellbusy"};
    std::ofstream(scratch / "incoming") << "file://" << (root / "outside").string() << "/incoming%20file.txt\r\n";
    std::ofstream(scratch / "alpha") << "file://" << (root / "outside").string() << "/alpha.txt\r\n";
    std::pair<int, int> zsub, docs;
    ASSERT_TRUE(RowOnScreen(u"Zsub", zsub.first, zsub.second));
    ASSERT_TRUE(RowOnScreen(u"docs", docs.first, docs.second));
    // A drop while the first box is up; it must land on the list, not on the box.
    auto dropMeanwhile = [&](std::pair<int, int> at, const char* uris, std::string& heard)
    {
        return [&, at, uris]
        {
            EXPECT_FALSE(OnActiveForm(*probe, at.first, at.second)) << "the box covers the row";
            heard = PeerDrop(peerProgram, at.first, at.second, scratch / uris, "move");
        };
    };

    // Delete asks whether to move Zsub to the Trash; meanwhile a file is dropped onto Zsub.
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    std::string heard;
    {
        BoxAnswerer answer(mrYes, dropMeanwhile(zsub, "incoming", heard));
        list->SelectItem(u"Zsub");
        list->SDelete();
        EXPECT_EQ(answer.seen, std::vector<std::string>{"Confirm File Delete: Are you sure you want to move \"Zsub\" "
                                                        "to the Trash?"});
    }
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(heard, "refused");
    EXPECT_TRUE(fs::exists(root / "outside" / "incoming file.txt"));
    EXPECT_TRUE(fs::is_empty(root / "data" / "Trash" / "files" / "Zsub"));

    // A paste asks whether to replace alpha.txt; meanwhile the file it copies is dropped onto docs.
    std::ofstream(root / "outside" / "incoming file.txt") << "from elsewhere";
    {
        ShellUtils::XDataObject* data = FileListDataObject((root / "outside" / "alpha.txt").string());
        OleSetClipboard(data);
        data->Release();
        BoxAnswerer answer(mrYes, dropMeanwhile(docs, "alpha", heard));
        list->PasteFromClipboard();
        OleSetClipboard(nullptr);
        EXPECT_EQ(answer.seen, std::vector<std::string>{"Confirm Replace: The destination already contains "
                                                        "\"alpha.txt\".\n\nDo you want to replace it?"});
    }
    EXPECT_EQ(heard, "refused");
    EXPECT_EQ(ReadWholeFile(shown / "alpha.txt"), "from outside");
    EXPECT_FALSE(fs::exists(shown / "docs" / "alpha.txt"));

    // A copy long enough to show its progress; a drop while the window shows. No box is expected
    // from here on (one would be answered, and noted).
    BoxAnswerer unexpected(mrOk, nullptr);
    std::ofstream(root / "outside" / "alpha.txt") << "from outside";
    for (int i = 0; i < 4; ++i)
        std::ofstream(shown / ("p" + std::to_string(i))) << i;
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 6; })); // docs, alpha.txt, p0 ... p3
    list->SetMultiSelect(true);
    list->SetSelected(nullptr);
    for (int i = 0; i < list->RecordCount(); ++i)
        if (std::u16string(list->Record(i)->Name).starts_with(u"p"))
            list->Items()->Item(i)->SetSelected(true);
    ASSERT_EQ(list->SelCount(), 4);
    heard.clear();
    bool showed = false;
    Platform::FileOperationProgress shows = Platform::SetFileOperationProgress(nullptr);
    Platform::SetFileOperationProgress(
        [&](uint64_t done, uint64_t total, const std::u16string& name)
        {
            bool goOn = shows(done, total, name);
            if (!name.empty() && Vcl::FileOperationProgressWindow() && !showed)
            {
                showed = true;
                heard = PeerDrop(peerProgram, docs.first, docs.second, scratch / "incoming", "move");
            }
            return goOn;
        });
    // Until the window shows, every look at the clock is a second later; from then on it runs.
    DWORD ahead = 0;
    auto start = std::chrono::steady_clock::now();
    Platform::TickClock clock = Platform::SetTickClock(
        [&]
        {
            if (!Vcl::FileOperationProgressWindow())
                ahead += 1000;
            auto ran = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            return static_cast<DWORD>(1000 + ahead + ran.count());
        });
    fs::create_directories(root / "copies");
    list->SCopyTo(UnicodeString(Platform::WideName((root / "copies").string()).c_str()));
    Platform::SetTickClock(clock);
    Platform::SetFileOperationProgress(shows);
    EXPECT_TRUE(showed);
    EXPECT_EQ(heard, "refused");
    EXPECT_EQ(FolderContents(root / "copies").size(), 4u);
    EXPECT_TRUE(fs::exists(root / "outside" / "incoming file.txt"));

    // Nothing asks any more: the drop is taken.
    EXPECT_EQ(PeerDrop(peerProgram, docs.first, docs.second, scratch / "incoming", "move"), "finished XdndActionMove");
    EXPECT_EQ(ReadWholeFile(shown / "docs" / "incoming file.txt"), "from elsewhere");
    EXPECT_TRUE(unexpected.seen.empty()) << unexpected.seen.front();
}

// A second program that drags over the list while a drop's box is open is refused at once, at
// every position, and taken up when the box has closed.
TEST_F(ShellViewsXdndWindowTest, ASecondPeerIsAnsweredWhileADropsBoxIsOpen)
{
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
    std::ofstream(root / "outside" / "alpha.txt") << "from outside";
    std::ofstream(root / "shown" / "docs" / "alpha.txt") << "in docs";
    TempDir scratch{"shellsecond"};
    std::ofstream(scratch / "alpha") << "file://" << (root / "outside").string() << "/alpha.txt\r\n";
    std::ofstream(scratch / "incoming") << "file://" << (root / "outside").string() << "/incoming%20file.txt\r\n";
    int docsX = 0, docsY = 0, emptyX = 0, emptyY = 0;
    ASSERT_TRUE(RowOnScreen(u"docs", docsX, docsY));
    probe->RootPosition(window, 240, 220, emptyX, emptyY);

    PeerProcess second;
    std::string meanwhile;
    BoxAnswerer answer(mrYes,
                       [&]
                       {
                           EXPECT_FALSE(OnActiveForm(*probe, emptyX, emptyY)) << "the box covers the point";
                           if (!second.Start(peerProgram, {"drop", std::to_string(emptyX), std::to_string(emptyY),
                                                           (scratch / "incoming").string(), "probe"}) ||
                               !second.ReadLine(meanwhile, PeerDeadline, PumpOnce))
                               meanwhile = "(no answer)";
                       });
    EXPECT_EQ(PeerDrop(peerProgram, docsX, docsY, scratch / "alpha", "move"), "finished XdndActionMove");
    EXPECT_EQ(answer.seen, std::vector<std::string>{"Confirm Replace: The destination already contains "
                                                    "\"alpha.txt\".\n\nDo you want to replace it?"});
    EXPECT_EQ(meanwhile, "status refused");
    // The box has closed: the second peer's next position is answered as any other.
    EXPECT_EQ(second.LinesAfter("status refused", 2, PeerDeadline, PumpOnce),
              "status accepted XdndActionCopy / finished XdndActionCopy");
    EXPECT_EQ(ReadWholeFile(root / "shown" / "docs" / "alpha.txt"), "from outside");
    EXPECT_EQ(ReadWholeFile(root / "shown" / "incoming file.txt"), "from elsewhere");
    EXPECT_FALSE(fs::exists(root / "outside" / "alpha.txt"));
}

// A source that begins a new drag while the box of its drop is open (it gave up waiting for the
// finish, or its window is another program's now) is a drag like any other: refused at every
// position while the box is up, taken up after. It hears no finish of the drop it left: that would
// be taken for the new drag's.
TEST_F(ShellViewsXdndWindowTest, ASourceThatDragsAgainWhileItsDropsBoxIsOpenHearsOnlyItsNewDrag)
{
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 2; }));
    std::ofstream(root / "outside" / "alpha.txt") << "from outside";
    std::ofstream(root / "shown" / "docs" / "alpha.txt") << "in docs";
    TempDir scratch{"shellagain"};
    const fs::path uris = scratch / "uris";
    std::ofstream(uris) << "file://" << (root / "outside").string() << "/alpha.txt\r\n";
    int docsX = 0, docsY = 0;
    ASSERT_TRUE(RowOnScreen(u"docs", docsX, docsY));

    PeerProcess source;
    std::string meanwhile = "(no answer)";
    BoxAnswerer answer(mrYes,
                       [&]
                       {
                           // The new drag carries another list.
                           std::ofstream(uris, std::ios::trunc)
                               << "file://" << (root / "outside").string() << "/incoming%20file.txt\r\n";
                           source.Signal(SIGUSR1) && source.ReadLine(meanwhile, PeerDeadline, PumpOnce);
                       });
    ASSERT_TRUE(source.Start(peerProgram, {"drop", std::to_string(docsX), std::to_string(docsY), uris.string(),
                                           "reenter"}));
    // Refused while the box is up, then taken up: no finish of the first drop comes between.
    EXPECT_EQ(source.LinesAfter("status refused", 2, PeerDeadline, PumpOnce),
              "status accepted XdndActionCopy / finished XdndActionCopy");
    EXPECT_EQ(answer.seen, std::vector<std::string>{"Confirm Replace: The destination already contains "
                                                    "\"alpha.txt\".\n\nDo you want to replace it?"});
    EXPECT_EQ(meanwhile, "status refused");
    // Both drops did what they asked.
    EXPECT_EQ(ReadWholeFile(root / "shown" / "docs" / "alpha.txt"), "from outside");
    EXPECT_FALSE(fs::exists(root / "outside" / "alpha.txt"));
    EXPECT_EQ(ReadWholeFile(root / "shown" / "docs" / "incoming file.txt"), "from elsewhere");
    EXPECT_TRUE(fs::exists(root / "outside" / "incoming file.txt"));
}
