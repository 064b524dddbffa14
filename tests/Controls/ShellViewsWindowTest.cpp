// The file list and the folder tree in a real window: the picture, header clicks, a double click,
// and a drag that moves a file, all through the desktop's own input.
#include "Controls/XFileListView.h"
#include "Controls/XFileTreeView.h"
#include "Platform/Gdi/Gdi.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/hosts/FileListHostForm.h"
#include "tests/support/FileListRows.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace
{
void MakeFile(const fs::path& path, size_t bytes)
{
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    timespec times[2] = {{1173085620, 0}, {1173085620, 0}}; // 5 March 2007 9:07 UTC
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

class ShellViewsWindowTest : public PresenterWindowTest
{
protected:
    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        setenv("TZ", "UTC", 1);
        tzset();
        oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", (root / "home").c_str(), 1);
        fs::create_directories(root / "home" / "Documents");
        fs::create_directories(root / "home" / "Music" / "Albums");
        fs::create_directories(root / "shown" / "docs");
        MakeFile(root / "shown" / "alpha.txt", 1025);
        MakeFile(root / "shown" / "beta.png", 0);
        MakeFile(root / "shown" / "gamma.dat", 1234567);
        MakeFile(root / "shown" / ".hidden", 10);
        timespec times[2] = {{1173085620, 0}, {1173085620, 0}};
        utimensat(AT_FDCWD, (root / "shown" / "docs").c_str(), times, 0);

        form = new TForm(nullptr);
        form->SetCaption(u"Shell views");
        form->SetClientWidth(720);
        form->SetClientHeight(240);
        list = new XFileListView(form);
        list->SetParent(form);
        list->SetBounds(0, 0, 480, 240);
        list->SetViewStyle(vsReport);
        list->SetMultiSelect(true);
        list->SetPath(UnicodeString(Platform::WideName((root / "shown").string()).c_str()));
        tree = new XFileTreeView(form);
        tree->SetParent(form);
        tree->SetBounds(480, 0, 240, 240);
        tree->Items()->GetFirstNode()->Expand(false);
        for (int i = 0; i < tree->Items()->GetFirstNode()->Count(); ++i)
            if (tree->Items()->GetFirstNode()->Item(i)->Text == u"Home")
                tree->Items()->GetFirstNode()->Item(i)->Expand(false);
        form->Show();
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(Vcl::NativeWindowOf(form)); }));
        window = Vcl::NativeWindowOf(form);
    }
    void TearDown() override
    {
        delete form;
        form = nullptr;
        PresenterWindowTest::TearDown();
        setenv("HOME", oldHome.c_str(), 1);
        unsetenv("TZ");
        tzset();
    }

    TempDir root{"shellwindow"};
    std::string oldHome;
    TForm* form = nullptr;
    XFileListView* list = nullptr;
    XFileTreeView* tree = nullptr;
    unsigned long window = 0;

    // Presses on the file `name` and starts dragging it; `hand` goes on with the drag from a
    // connection of its own while this thread runs the drag's loop, and ends it (a release, a
    // cancel). Returns when the hand is done and the loop has ended.
    void Drag(const std::u16string& name, const std::function<void(XProbe&)>& hand)
    {
        TPoint file = RowLabelPoint(*list, name);
        ASSERT_GE(file.x, 0);
        probe->MoveTo(window, file.x, file.y);
        probe->Sync();
        probe->Button(1, true);
        // The press has reached the list when its row holds the focus.
        ASSERT_TRUE(PumpUntil(
            [&] { return list->ItemFocused() && name == list->Record(list->ItemFocused()->Index())->Name; }));
        // The move that starts the drag reaches the server before anything the hand does.
        probe->MoveTo(window, file.x + Vcl::DragThreshold, file.y);
        probe->Sync();
        std::atomic<bool> done{false};
        std::thread other(
            [&]
            {
                XProbe own(server.Name());
                hand(own);
                own.Sync();
                done = true;
            });
        // The drag's own loop runs inside this pump until the hand ends it.
        bool ended = PumpUntil([&] { return done.load(); }, std::chrono::seconds(90));
        other.join();
        EXPECT_TRUE(ended);
        EXPECT_TRUE(PumpUntil([] { return !Platform::DragLoopRunning(); }));
    }

    // Presses on a file, drags it onto a folder and lets go there; `during` runs on the hand's
    // connection while the drag loop holds the pointer, just before the release.
    void DragOnto(const std::u16string& name, const std::u16string& target,
                  std::function<void(XProbe&)> during = nullptr)
    {
        TPoint folder = RowLabelPoint(*list, target);
        ASSERT_GE(folder.x, 0);
        Drag(name,
             [&](XProbe& hand)
             {
                 hand.MoveTo(window, folder.x, folder.y - 1);
                 hand.Sync();
                 if (during)
                     during(hand);
                 hand.MoveTo(window, folder.x, folder.y);
                 hand.Button(1, false);
             });
    }
};
} // namespace

TEST_F(ShellViewsWindowTest, ShowsTheFolderAndTheTreeAndAnswersTheMouse)
{
    form->PaintDirty();
    probe->Sync();
    WindowDriver driver;
    ASSERT_TRUE(driver.Connected());
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(PumpUntil(
        [&]
        {
            pixels = driver.Pixels(window, width, height);
            return width == 720 && height == 240;
        }));
    EXPECT_EQ(ReferenceImage::Compare("tests/Controls/data/shell_views.png", pixels, static_cast<uint32_t>(width),
                                      static_cast<uint32_t>(height), 8),
              "");

    // A click on "Size" sorts by size; a second one reverses.
    int sizeX = list->Columns()->Items(0)->Width + 20;
    probe->ClickAt(window, sizeX, 6);
    ASSERT_TRUE(PumpUntil([&] { return list->FileSortType() == fstSize; }));
    EXPECT_EQ(std::u16string(list->Record(1)->Name), u"beta.png");
    probe->ClickAt(window, sizeX, 6);
    ASSERT_TRUE(PumpUntil([&] { return list->SortReverse(); }));
    EXPECT_EQ(std::u16string(list->Record(1)->Name), u"gamma.dat");

    // A drag of a file onto the folder moves it.
    DragOnto(u"alpha.txt", u"docs");
    EXPECT_TRUE(PumpUntil([&] { return fs::exists(root / "shown" / "docs" / "alpha.txt"); }));
    EXPECT_FALSE(fs::exists(root / "shown" / "alpha.txt"));

    // A double click enters the folder.
    ASSERT_TRUE(PumpUntil([&] { return list->RecordCount() == 4; }));
    TPoint folder = RowLabelPoint(*list, u"docs");
    probe->ClickAt(window, folder.x, folder.y);
    probe->ClickAt(window, folder.x, folder.y);
    ASSERT_TRUE(PumpUntil([&] { return std::u16string(list->GetPath().c_str()).ends_with(u"/docs"); }));
    EXPECT_EQ(list->RecordCount(), 1);
}

TEST_F(ShellViewsWindowTest, ADragWithCtrlCopiesAndEscapeCancelsIt)
{
    ASSERT_TRUE(PumpUntil([&] { return probe->HasFocus(window); }));

    // Ctrl pressed while the file is on its way: the folder gets a copy, the file stays.
    DragOnto(u"alpha.txt", u"docs",
             [](XProbe& hand)
             {
                 hand.HoldKey("Control_L", true);
                 std::this_thread::sleep_for(std::chrono::milliseconds(150));
             });
    probe->HoldKey("Control_L", false);
    EXPECT_TRUE(PumpUntil([&] { return fs::exists(root / "shown" / "docs" / "alpha.txt"); }));
    EXPECT_EQ(fs::file_size(root / "shown" / "alpha.txt"), 1025u);
    EXPECT_EQ(fs::file_size(root / "shown" / "docs" / "alpha.txt"), 1025u);

    // Escape on the way ends the drag; the button still held does not begin another one, and
    // the same gesture then moves nothing.
    DragOnto(u"gamma.dat", u"docs",
             [](XProbe& hand)
             {
                 hand.Key("Escape");
                 std::this_thread::sleep_for(std::chrono::milliseconds(150));
             });
    Application->ProcessMessages();
    EXPECT_TRUE(fs::exists(root / "shown" / "gamma.dat"));
    EXPECT_FALSE(fs::exists(root / "shown" / "docs" / "gamma.dat"));
    EXPECT_FALSE(Platform::DragLoopRunning());
}

// While the list's own drag rests on a folder row, the row shows the drop highlight; it goes when
// the pointer leaves (for the empty part of the list or for the tree beside it), when the drag is
// cancelled by Escape or by the right button, and once the drop is done.
TEST_F(ShellViewsWindowTest, TheListsOwnDragHighlightsTheFolderItRestsOn)
{
    ASSERT_TRUE(PumpUntil([&] { return probe->HasFocus(window); }));
    const TPoint origin = list->FormOrigin();
    TPoint docs = RowLabelPoint(*list, u"docs");
    ASSERT_GE(docs.x, 0);
    docs = TPoint(origin.x + docs.x, origin.y + docs.y);
    // The label's first column of pixels is the highlight's, left of the text.
    TRect label;
    for (int i = 0; i < list->RecordCount(); ++i)
        if (std::u16string(list->Record(i)->Name) == u"docs")
            label = list->Items()->Item(i)->DisplayRect(drLabel);
    const TPoint shade(origin.x + label.left + 1, origin.y + (label.top + label.bottom) / 2);
    const TPoint empty(origin.x + 100, origin.y + list->ClientHeight() - 10);
    const TPoint onTree(tree->Left() + 100, 120);
    const uint32_t highlight = Platform::Gdi::ToPixel(ColorToRGB(clHighlight));
    const uint32_t plain = Platform::Gdi::ToPixel(ColorToRGB(list->Color()));
    ASSERT_NE(highlight, plain);
    auto shows = [&](XProbe& hand, uint32_t colour, TPoint at = TPoint(-1, -1))
    {
        at = at.x < 0 ? shade : at;
        return WindowDriver::Eventually([&] { return (hand.ReadPixel(window, at.x, at.y) & 0xFFFFFF) == colour; });
    };

    // Each drag rests on the folder, goes to each of `away` and back, then ends as `end` does;
    // `after` lets go of what the end left held.
    struct Case
    {
        const char* how;
        std::vector<TPoint> away;
        std::function<void(XProbe&)> end, after;
    };
    const std::vector<Case> cases = {
        {"Escape",
         {onTree, empty},
         [](XProbe& hand) { hand.Key("Escape"); },
         [](XProbe& hand) { hand.Button(1, false); }},
        // Both buttons go up over the tree, which has no menu to show.
        {"the right button",
         {},
         [](XProbe& hand) { hand.Button(3, true); },
         [&](XProbe& hand)
         {
             hand.MoveTo(window, onTree.x, onTree.y);
             hand.Button(3, false);
             hand.Button(1, false);
         }},
        {"the drop", {}, [](XProbe& hand) { hand.Button(1, false); }, [](XProbe&) {}},
    };
    for (const Case& c : cases)
    {
        Drag(u"alpha.txt",
             [&](XProbe& hand)
             {
                 hand.MoveTo(window, docs.x, docs.y);
                 EXPECT_TRUE(shows(hand, highlight)) << c.how << ": resting on the folder";
                 for (const TPoint& p : c.away)
                 {
                     hand.MoveTo(window, p.x, p.y);
                     EXPECT_TRUE(shows(hand, plain)) << c.how << ": gone to " << p.x << "," << p.y;
                     hand.MoveTo(window, docs.x, docs.y);
                     EXPECT_TRUE(shows(hand, highlight)) << c.how << ": back from " << p.x << "," << p.y;
                 }
                 c.end(hand);
                 EXPECT_TRUE(shows(hand, plain)) << c.how << ": ended";
                 c.after(hand);
             });
        EXPECT_EQ(list->DropTarget(), nullptr) << c.how;
        // Only the drop moves the file.
        EXPECT_EQ(fs::is_empty(root / "shown" / "docs"), &c != &cases.back()) << c.how;
    }

    // Another program's drag rests on "docs" when the list's own drag begins and rests on "Zsub":
    // the other drag is refused meanwhile and marks nothing; it leaves, Escape ends the own drag,
    // and no row is marked.
    MakeFile(root / "shown" / "delta.txt", 1);
    fs::create_directories(root / "shown" / "Zsub");
    ASSERT_TRUE(PumpUntil([&] { return RowLabelPoint(*list, u"Zsub").x >= 0; }));
    list->SetAutoRefresh(false); // a reload of the folder would clear every mark
    const TPoint zsub(shade.x, shade.y + RowLabelPoint(*list, u"Zsub").y - RowLabelPoint(*list, u"docs").y);
    int x = 0, y = 0;
    probe->RootPosition(window, docs.x, docs.y, x, y);
    std::ofstream(root / "uris") << "file://" << (root / "shown" / "beta.png").string() << "\r\n";
    PeerProcess peer;
    ASSERT_EQ(peer.StartAndRead((fs::path(Platform::ProgramFolder()) / "xpeer").string(),
                                {"drop", std::to_string(x), std::to_string(y), (root / "uris").string(), "hover"},
                                PeerDeadline, PumpOnce),
              "status accepted XdndActionCopy");
    Drag(u"gamma.dat",
         [&](XProbe& hand)
         {
             hand.MoveTo(window, zsub.x + 20, zsub.y);
             EXPECT_TRUE(shows(hand, highlight, zsub)) << "the own drag on Zsub";
             std::string line;
             EXPECT_TRUE(peer.ReadLine(line, PeerDeadline, nullptr) && line == "status refused") << line;
             EXPECT_TRUE(shows(hand, plain)) << "docs, under the refused drag";
             EXPECT_TRUE(peer.Signal(SIGUSR1) && peer.ReadLine(line, PeerDeadline, nullptr) && line == "left");
             hand.Key("Escape");
             hand.Button(1, false);
         });
    EXPECT_TRUE(PumpUntil([&] { return (probe->ReadPixel(window, shade.x, shade.y) & 0xFFFFFF) == plain; }))
        << "docs, after both drags";
    EXPECT_EQ(list->DropTarget(), nullptr);

    // The middle one of three selected rows pressed: the drag carries all three, and its drop,
    // with no reload to clear the rows, leaves none marked.
    const TPoint beta = RowLabelPoint(*list, u"beta.png"), gamma = RowLabelPoint(*list, u"gamma.dat");
    probe->ClickAt(window, beta.x, beta.y);
    probe->HoldKey("Shift_L", true);
    probe->ClickAt(window, gamma.x, gamma.y);
    probe->HoldKey("Shift_L", false);
    ASSERT_TRUE(PumpUntil([&] { return list->SelCount() == 3; }));
    DragOnto(u"delta.txt", u"docs");
    EXPECT_EQ(list->DropTarget(), nullptr);
    for (const char* moved : {"beta.png", "delta.txt", "gamma.dat"})
        EXPECT_TRUE(fs::exists(root / "shown" / "docs" / moved)) << moved;
}

TEST_F(ShellViewsWindowTest, TheContextMenusDeleteMovesTheFileToTheTrash)
{
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    TPoint file = RowLabelPoint(*list, u"gamma.dat");
    ASSERT_GE(file.x, 0);
    probe->ClickAt(window, file.x, file.y);
    ASSERT_TRUE(PumpUntil([&] { return list->SelCount() == 1; }));

    // The menu and then the confirmation come up in modal loops: a timer inside them answers.
    struct Answer
    {
        XProbe* probe;
        bool chose = false;
        bool confirmed = false;
        std::u16string question;
        void Tick(TObject*)
        {
            for (int i = 0; i < Screen->FormCount(); ++i)
            {
                TCustomForm* form = Screen->Forms(i);
                unsigned long shown = Vcl::NativeWindowOf(form);
                if (!shown || !probe->Viewable(shown) || form->PaintCount() == 0)
                    continue;
                if (auto* menu = dynamic_cast<TPopupMenuWindow*>(form); menu && !chose)
                {
                    chose = true;
                    probe->ClickAt(shown, 20, 2 + 3 * menu->RowHeight() + menu->RowHeight() / 2);
                }
                else if (auto* box = dynamic_cast<TMessageForm*>(form); box && !confirmed)
                {
                    confirmed = true;
                    question = box->Message()->Caption().c_str();
                    TButton* yes = box->Buttons(0);
                    probe->ClickAt(shown, yes->Left() + 10, yes->Top() + 10);
                }
            }
        }
    } answer{probe.get(), false, false, {}};
    TTimer timer(nullptr);
    timer.SetInterval(30);
    timer.OnTimer = MakeClosure(&answer, &Answer::Tick);
    probe->MoveTo(window, file.x, file.y);
    probe->Button(3, true);
    probe->Button(3, false);
    bool gone = PumpUntil([&] { return !fs::exists(root / "shown" / "gamma.dat"); }, std::chrono::seconds(10));
    timer.SetEnabled(false);
    unsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(gone);
    EXPECT_TRUE(answer.chose);
    EXPECT_TRUE(answer.confirmed);
    EXPECT_NE(answer.question.find(u"Trash"), std::u16string::npos);
    fs::path trash = root / "data" / "Trash";
    EXPECT_EQ(fs::file_size(trash / "files" / "gamma.dat"), 1234567u);
    std::ifstream info(trash / "info" / "gamma.dat.trashinfo");
    std::string record((std::istreambuf_iterator<char>(info)), std::istreambuf_iterator<char>());
    EXPECT_EQ(record.rfind("[Trash Info]\nPath=" + (root / "shown" / "gamma.dat").string() + "\n", 0), 0u)
        << record;
    // The list follows: the file is no longer shown.
    EXPECT_TRUE(PumpUntil([&] { return RowLabelPoint(*list, u"gamma.dat").x < 0; }));
}

namespace
{
// The pixels of a control's whole window (frame and scroll bars too) out of a form's pixels.
std::vector<uint32_t> Crop(const std::vector<uint32_t>& pixels, int width, const TControl& control)
{
    TPoint at = control.WindowOrigin();
    std::vector<uint32_t> part;
    for (int y = at.y; y < at.y + control.Height(); ++y)
        for (int x = at.x; x < at.x + control.Width(); ++x)
            part.push_back(pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF);
    return part;
}

int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i)
        count += !ColoursNear(a[i], b[i], 8);
    return count;
}
} // namespace

TEST(ShellViewsHostTest, TheHostsListFitsNamesFollowsItsDividersAndScrollsToTheLastRow)
{
    setenv("TZ", "UTC", 1);
    tzset();
    VirtualDisplay server(1280, 800);
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir root{"shellhost"};
    fs::path folder = root / "shown";
    fs::create_directories(folder / "sub");
    const std::string longName = "a name much longer than the others, to be shown whole.txt";
    MakeFile(folder / longName, 5000);
    for (int i = 0; i < 199; ++i)
        MakeFile(folder / ("file " + std::to_string(1000 + i) + ".txt"), static_cast<size_t>(i) * 37);

    // The host's window built and painted in this process: what the host must show at each step.
    TForm model(nullptr);
    FileListHostForm layout(&model, UnicodeString(Platform::WideName(folder.string()).c_str()));
    XFileListView* list = layout.list;
    ASSERT_EQ(list->RecordCount(), 201);
    model.SetTop(FileListHostForm::Height + 60); // clear of the host's window
    model.Show();
    auto modelPixels = [&]
    {
        // Widths set here reach the scroll bars during the first pass; the second shows them.
        for (int pass = 0; pass < 2; ++pass)
        {
            model.Invalidate();
            model.PaintDirty();
        }
        return Crop(std::vector<uint32_t>(model.Pixels(), model.Pixels() + model.ClientWidth() * model.ClientHeight()),
                    model.ClientWidth(), *list);
    };

    fs::path host = fs::path(Platform::ProgramFolder()) / "filelist_host";
    WindowDriver driver;
    ASSERT_TRUE(driver.Connected());
    ASSERT_TRUE(driver.Start(host.string(), {folder.string(), "Host list"}));
    unsigned long window = driver.FindWindow("Host list", std::chrono::seconds(20));
    ASSERT_NE(window, 0u);
    XProbe probe(server.Name());
    probe.PlaceWindow(window, 0, 0);
    std::vector<uint32_t> shown;
    // Waits until the host's list shows what the model does.
    auto showsModel = [&]
    {
        std::vector<uint32_t> wanted = modelPixels();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int differing = -1;
        while (std::chrono::steady_clock::now() < deadline)
        {
            int width = 0, height = 0;
            std::vector<uint32_t> pixels = driver.Pixels(window, width, height);
            if (width == model.ClientWidth() && height == model.ClientHeight())
            {
                shown = Crop(pixels, width, *list);
                differing = Differing(shown, wanted);
                if (differing == 0)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << differing << " pixels differ";
        return false;
    };
    ASSERT_TRUE(showsModel());
    // The "Size" divider dragged 40 pixels to the right.
    TPoint origin = list->FormOrigin();
    TListColumns* columns = list->Columns();
    int sizeRight = columns->Items(0)->Width + columns->Items(1)->Width;
    driver.MoveTo(window, origin.x + sizeRight, origin.y + 5);
    driver.Settle();
    driver.ButtonDown(1);
    driver.Settle();
    for (int step = 1; step <= 4; ++step)
    {
        driver.MoveTo(window, origin.x + sizeRight + 10 * step, origin.y + 5);
        driver.Settle(std::chrono::milliseconds(50));
    }
    driver.ButtonUp(1);
    columns->Items(1)->Width += 40;
    EXPECT_TRUE(showsModel());

    // A double click on that divider fits the column to its widest text.
    driver.Click(window, origin.x + sizeRight + 40, origin.y + 5);
    driver.Click(window, origin.x + sizeRight + 40, origin.y + 5);
    list->FitColumn(1);
    EXPECT_LT(columns->Items(1)->Width, 80);
    EXPECT_TRUE(showsModel());

    // The thumb dragged to the bar's end shows the last row.
    TRect bar = list->ScrollBarRect(SB_VERT);
    TPoint at = list->WindowOrigin();
    int thumbX = at.x + bar.left + bar.Width() / 2;
    driver.MoveTo(window, thumbX, at.y + bar.top + bar.Width() + 2);
    driver.Settle();
    driver.ButtonDown(1);
    for (int step = 1; step <= 5; ++step)
    {
        driver.MoveTo(window, thumbX, at.y + bar.top + bar.Width() + 2 + step * bar.Height() / 4);
        driver.Settle(std::chrono::milliseconds(50));
    }
    driver.ButtonUp(1);
    list->SetTopIndex(list->RecordCount());
    EXPECT_EQ(list->TopIndex() + list->VisibleRowCount(), 201);
    EXPECT_TRUE(showsModel());

    // "Name" dragged down to 90 pixels: the names it cuts end in dots (the picture shows them).
    int nameRight = columns->Items(0)->Width;
    driver.MoveTo(window, origin.x + nameRight, origin.y + 5);
    driver.Settle();
    driver.ButtonDown(1);
    for (int step = 1; step <= 3; ++step)
    {
        driver.MoveTo(window, origin.x + nameRight - step * (nameRight - 90) / 3, origin.y + 5);
        driver.Settle(std::chrono::milliseconds(50));
    }
    driver.ButtonUp(1);
    columns->Items(0)->AutoSize = false;
    columns->Items(0)->Width = 90;
    EXPECT_TRUE(showsModel());
    EXPECT_EQ(ReferenceImage::Compare("tests/Controls/data/filelist_host.png", shown,
                                      static_cast<uint32_t>(list->Width()), static_cast<uint32_t>(list->Height()), 8),
              "");
    EXPECT_TRUE(driver.Running());
    driver.Kill();
    unsetenv("TZ");
    tzset();
}

// The host's list pastes what the clipboard holds, here a file another program copied: by Ctrl+V
// and by "Paste" in the menu it shows with nothing selected.
TEST(ShellViewsHostTest, TheHostsListPastesByCtrlVAndByItsMenu)
{
    VirtualDisplay server(1024, 600);
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir root{"shellpaste"};
    fs::create_directories(root / "shown");
    fs::create_directories(root / "outside");
    std::ofstream(root / "outside" / "copied.txt") << "from another program";
    std::ofstream(root / "served") << "file://" << (root / "outside").string() << "/copied.txt\r\n";
    fs::path programs(Platform::ProgramFolder());
    PeerProcess owner;
    ASSERT_EQ(owner.StartAndRead((programs / "xpeer").string(), {"serve", "text/uri-list", (root / "served").string()},
                                 std::chrono::seconds(10), [] {}),
              "ready");
    WindowDriver driver;
    ASSERT_TRUE(driver.Connected());
    ASSERT_TRUE(driver.Start((programs / "filelist_host").string(), {(root / "shown").string(), "Paste list"}));
    unsigned long window = driver.FindWindow("Paste list", std::chrono::seconds(20));
    ASSERT_NE(window, 0u);
    XProbe probe(server.Name());
    probe.PlaceWindow(window, 0, 0);
    const fs::path pasted = root / "shown" / "copied.txt";
    auto arrives = [&] { return WindowDriver::Eventually([&] { return fs::exists(pasted); }); };
    const int emptyX = FileListHostForm::TreeWidth + 120, emptyY = 200; // below the rows
    driver.MoveTo(window, emptyX, emptyY);
    driver.Focus(window);
    driver.Settle();
    driver.Key(XK_v, false, true);
    ASSERT_TRUE(arrives());
    EXPECT_EQ(ReadWholeFile(pasted), "from another program");
    EXPECT_TRUE(fs::exists(root / "outside" / "copied.txt"));

    fs::remove(pasted);
    driver.Click(window, emptyX, emptyY, 3);
    driver.Settle(std::chrono::milliseconds(300));
    driver.Click(window, emptyX + 30, emptyY + 8); // the menu's first row, below the pointer
    EXPECT_TRUE(arrives());
    EXPECT_TRUE(driver.Running());
    driver.Kill();
}
