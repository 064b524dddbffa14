// The real program in a real window: the built Kelvane copied into a program folder with a
// generated game, run under a private virtual X server, driven with XTest and read back with
// XGetImage, as a user would use it.
#include "Components/Cx/CxXml.h"
#include "Components/XVariant.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DemoGame.h"
#include "tests/support/ImageFiles.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
// Where the dialog's controls are, in client pixels.
constexpr int kEditX = 340, kEditY = 18;
constexpr int kPatchX = 51, kPatchY = 75;
constexpr int kRestoreX = 132, kRestoreY = 75;
constexpr int kExitX = 580, kExitY = 75;

// The reference picture lives in the source tree, which holds the build folder.
fs::path ReferenceFile()
{
    for (fs::path folder = Platform::ProgramFolder(); !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path())
        if (fs::exists(folder / "tests" / "App" / "data"))
            return folder / "tests" / "App" / "data" / "PatcherWindow.png";
    return {};
}

class PatcherWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Running()) << m_server.Error();
        m_driver = std::make_unique<WindowDriver>();
        ASSERT_TRUE(m_driver->Connected());
        fs::path program = fs::path(Platform::ProgramFolder()) / "Kelvane";
        ASSERT_TRUE(fs::exists(program)) << "the program is built beside the tests";
        m_game = MakeDemoGame(m_dir.Path(), 5, true, program, m_entries, m_maxSize);
        ASSERT_TRUE(m_driver->Start((m_dir / "Kelvane").string(), {}, m_errors.string()));
        m_window = m_driver->FindWindow("Kelvane", 20s);
        ASSERT_NE(m_window, 0u) << ReadWholeFile(m_errors);
    }

    void TearDown() override
    {
        if (m_driver)
            m_driver->Kill();
    }

    // Waits for a message box (a second window titled "Kelvane"), then answers it with Enter.
    bool AnswerBox()
    {
        unsigned long box = m_driver->FindWindow("Kelvane", 60s, m_window);
        if (!box)
            return false;
        m_driver->Settle();
        m_driver->MoveTo(box, 10, 10);
        m_driver->Focus(box);
        m_driver->Key(XK_Return);
        return m_driver->WaitGone(box, 10s);
    }

    // Ends the program with its Exit button; its exit status.
    int Exit()
    {
        m_driver->Click(m_window, kExitX, kExitY);
        return m_driver->Wait(30s);
    }

    uint32_t m_entries = 200;
    uint32_t m_maxSize = 4096;
    VirtualDisplay m_server;
    std::unique_ptr<WindowDriver> m_driver;
    TempDir m_dir{"kelvane-window"};
    fs::path m_errors = m_dir / "errors.txt";
    DemoGame m_game;
    unsigned long m_window = 0;
};
// A game whose archive takes a while to write.
class PatcherWindowBigGameTest : public PatcherWindowTest
{
protected:
    PatcherWindowBigGameTest()
    {
        m_entries = 4000;
        m_maxSize = 16384;
    }
};
} // namespace

TEST_F(PatcherWindowTest, PatchRestoreAndExitAsAUserWould)
{
    int width = 0, height = 0;
    m_driver->Settle(500ms);
    std::vector<uint32_t> shot = m_driver->Pixels(m_window, width, height);
    ASSERT_EQ(width, 632);
    ASSERT_EQ(height, 96);

    // The window as it first shows, against the reference checked in after inspection. The caret
    // may blink: a few pixels may differ.
    fs::path reference = ReferenceFile();
    ASSERT_FALSE(reference.empty());
    if (std::getenv("KELVANE_UPDATE_REFERENCES"))
    {
        WriteWholeFile(reference, ImageFiles::Png(shot, uint32_t(width), uint32_t(height), false));
    }
    std::vector<uint32_t> expected;
    uint32_t refWidth = 0, refHeight = 0;
    ASSERT_TRUE(ReferenceImage::ReadPng(reference.string(), expected, refWidth, refHeight)) << reference;
    ASSERT_EQ(refWidth * refHeight, uint32_t(width * height));
    size_t differing = CountDifferentPixels(shot, expected, 40);
    if (differing > 60)
    {
        fs::path actual = fs::temp_directory_path() / ("PatcherWindow.actual." + std::to_string(::getpid()) + ".png");
        WriteWholeFile(actual, ImageFiles::Png(shot, uint32_t(width), uint32_t(height), false));
        ADD_FAILURE() << differing << " pixels differ from " << reference << "; the window is in " << actual;
    }

    // Type the archive's path and press Patch: the archive is rebuilt and the completion box shows.
    m_driver->Click(m_window, kEditX, kEditY);
    m_driver->Settle();
    m_driver->Type(m_game.Archive.string());
    m_driver->Click(m_window, kPatchX, kPatchY);
    ASSERT_TRUE(AnswerBox()) << ReadWholeFile(m_errors);
    EXPECT_EQ(CheckPatched(m_game, m_game.Archive), "");
    EXPECT_EQ(ReadWholeFileData(m_dir / "Game" / "Models.original.pck"), m_game.ArchiveBytes);

    // The demo script, given this folder (a user's set-up: archive, backup, settings, instructions),
    // refuses it in one line and changes nothing, before it builds anything; so it does a folder
    // holding only hidden files, and the folder named relative to where it was started. A copy of
    // the script runs beside a stand-in for its first build step, which says when it is reached.
    {
        const fs::path source = ReferenceImage::SourcePath("scripts/demo.sh");
        ASSERT_FALSE(source.empty());
        TempDir tools("kelvane-demo-script");
        fs::create_directories(tools / "scripts");
        const fs::path script = tools / "scripts" / "demo.sh";
        fs::copy_file(source, script);
        WriteWholeFile(tools / "scripts" / "deps.sh", "echo built >&2; exit 3\n");
        fs::create_directories(tools / "empty");
        fs::create_directories(tools / "hidden" / ".git");
        auto contents = [&] {
            std::vector<std::string> files;
            for (const auto& e : fs::recursive_directory_iterator(m_dir.Path()))
                if (e.is_regular_file() && e.path() != m_errors && e.path().filename() != "Kelvane.log")
                    files.push_back(e.path().string() + "\n" + ReadWholeFile(e.path()));
            std::sort(files.begin(), files.end());
            return files;
        };
        const auto before = contents();
        auto run = [&](const fs::path& from, const std::string& folder, std::string& said) {
            said.clear();
            return RunProgram("/bin/bash", {script.string(), folder}, [&] { (void)!::chdir(from.c_str()); }, 60s,
                              said);
        };
        auto refusal = [](const fs::path& folder) {
            return "demo.sh: " + folder.string() +
                   " holds files and is no earlier demo of this script's; give a new or empty folder "
                   "(nothing was changed).\n";
        };
        std::string said;
        EXPECT_EQ(run(tools.Path(), m_dir.Path().string(), said), 1);
        EXPECT_EQ(said, refusal(m_dir.Path()));
        EXPECT_EQ(run(m_dir.Path().parent_path(), m_dir.Path().filename().string(), said), 1);
        EXPECT_EQ(said, refusal(m_dir.Path()));
        EXPECT_EQ(run(tools.Path(), "hidden", said), 1);
        EXPECT_EQ(said, refusal(tools / "hidden"));
        EXPECT_EQ(contents(), before);
        EXPECT_EQ(run(m_dir.Path(), (tools / "empty").string(), said), 3);
        EXPECT_EQ(said, "built\n");
    }

    // Restore puts the untouched archive back.
    m_driver->Click(m_window, kRestoreX, kRestoreY);
    ASSERT_TRUE(AnswerBox()) << ReadWholeFile(m_errors);
    EXPECT_EQ(ReadWholeFileData(m_game.Archive), m_game.ArchiveBytes);
    EXPECT_FALSE(fs::exists(m_dir / "Game" / "Models.original.pck"));

    // Exit ends the program cleanly (the sanitizers would fail it), and the settings keep the path.
    EXPECT_EQ(Exit(), 0) << ReadWholeFile(m_errors);
    CxXml::XmlDocument settings;
    settings.LoadFromFile(WidePath(m_dir / "Kelvane.xml").c_str());
    EXPECT_EQ(
        Platform::ToUtf8(settings.ReadValue(u"PackageFilePath", VarUtils::XVariant()).AsString().c_str()),
        m_game.Archive.string());
    EXPECT_NE(ReadWholeFile(m_dir / "Kelvane.log").size(), 0u);
}

// A path copied in a busy program (1.5 s for each answer) pastes over the typed one, and Patch
// works on the pasted path.
TEST_F(PatcherWindowTest, APathPastedFromABusyProgramIsPatched)
{
    m_driver->Click(m_window, kEditX, kEditY);
    m_driver->Settle();
    m_driver->Type((m_dir / "Elsewhere" / "Models.pck").string());
    WriteWholeFile(m_dir / "copied", m_game.Archive.string());
    PeerProcess owner;
    ASSERT_EQ(owner.StartAndRead((fs::path(Platform::ProgramFolder()) / "xpeer").string(),
                                 {"serve", "UTF8_STRING", (m_dir / "copied").string(), "delay:1500"},
                                 PeerDeadline, nullptr),
              "ready");
    m_driver->Key(XK_a, false, true);
    m_driver->Key(XK_v, false, true);
    m_driver->Click(m_window, kPatchX, kPatchY);
    ASSERT_TRUE(AnswerBox()) << ReadWholeFile(m_errors);
    EXPECT_EQ(CheckPatched(m_game, m_game.Archive), "");
    EXPECT_EQ(Exit(), 0) << ReadWholeFile(m_errors);
}

TEST_F(PatcherWindowTest, SurvivesResizesExposesFocusLossAndRandomInput)
{
    int width = 0, height = 0;
    m_driver->Resize(m_window, 800, 300);
    m_driver->Settle();
    m_driver->Resize(m_window, 300, 60);
    m_driver->Settle();
    m_driver->Resize(m_window, 632, 96);
    m_driver->Remap(m_window);
    m_driver->Settle();
    m_driver->Focus(0);
    m_driver->Settle();
    ASSERT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);

    // A thousand random clicks, drags and keys over the window (never on Exit, never Enter or
    // Space, which could press it): edits, failed patches and restores, the open dialog and its
    // boxes come and go.
    std::mt19937 random(20261207);
    const unsigned long keys[] = {XK_a,    XK_B,         XK_z,      XK_0,      XK_slash, XK_period,
                                  XK_Tab,  XK_BackSpace, XK_Delete, XK_Left,   XK_Right, XK_Up,
                                  XK_Down, XK_Home,      XK_End,    XK_Escape, XK_F4};
    for (int i = 0; i < 1000; ++i)
    {
        int x = static_cast<int>(random() % 632);
        int y = static_cast<int>(random() % 96);
        bool onExit = x >= 540 && y >= 60;
        switch (random() % 4)
        {
        case 0:
            if (!onExit)
                m_driver->Click(m_window, x, y);
            break;
        case 1:
            m_driver->MoveTo(m_window, x, y);
            break;
        case 2:
            m_driver->Key(keys[random() % std::size(keys)], random() % 5 == 0, random() % 7 == 0);
            break;
        default:
            if (!onExit)
            {
                m_driver->MoveTo(m_window, x, y);
                m_driver->ButtonDown(1);
                m_driver->MoveTo(m_window, static_cast<int>(random() % 632), static_cast<int>(random() % 96));
                m_driver->ButtonUp(1);
            }
            break;
        }
        if (i % 50 == 0)
            m_driver->Settle(std::chrono::milliseconds(20));
    }
    m_driver->Settle(300ms);
    ASSERT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
    // The input reached the dialog: some clicks pressed Patch (which failed on the random path).
    std::string log = ReadWholeFile(m_dir / "Kelvane.log");
    std::string started;
    for (char c : std::string("Start patching..."))
        started += std::string{c, '\0'};
    EXPECT_NE(log.find(started), std::string::npos);

    // Close whatever the input opened (Escape answers boxes and cancels the open dialog), then exit.
    for (int round = 0; round < 10; ++round)
    {
        unsigned long other = m_driver->FindWindow("Open", 200ms);
        if (!other)
            other = m_driver->FindWindow("Kelvane", 200ms, m_window);
        if (!other)
            break;
        m_driver->MoveTo(other, 5, 5);
        m_driver->Focus(other);
        m_driver->Key(XK_Escape);
        m_driver->WaitGone(other, 2s);
    }
    m_driver->Pixels(m_window, width, height);
    EXPECT_EQ(width, 632);
    EXPECT_EQ(height, 96);
    EXPECT_EQ(Exit(), 0) << ReadWholeFile(m_errors);
}

TEST_F(PatcherWindowBigGameTest, AClosedWindowNeverCutsASaveShort)
{
    int width = 0, height = 0;
    m_driver->Settle(300ms);
    const std::vector<uint32_t> before = m_driver->Pixels(m_window, width, height);
    ASSERT_EQ(width, 632);
    m_driver->Click(m_window, kEditX, kEditY);
    m_driver->Settle();
    m_driver->Type(m_game.Archive.string());
    m_driver->Click(m_window, kPatchX, kPatchY);

    // Once the bar shows, the user closes the window.
    auto barShown = [&]
    {
        std::vector<uint32_t> now = m_driver->Pixels(m_window, width, height);
        int changed = 0;
        for (int x = 10; x < 620 && now.size() == before.size(); ++x)
            changed += now[41 * 632 + x] != before[41 * 632 + x];
        return changed > 3;
    };
    // Checked once a round: the save may end right after the bar shows.
    bool shown = false;
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!(shown = barShown()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(shown) << "the progress bar never showed";
    m_driver->RequestClose(m_window);

    // The save runs to its end: the whole archive, no temporary file, the completion box.
    ASSERT_TRUE(AnswerBox()) << ReadWholeFile(m_errors);
    EXPECT_EQ(CheckPatched(m_game, m_game.Archive), "");
    std::set<std::string> files;
    for (const auto& item : fs::directory_iterator(m_dir / "Game"))
        files.insert(item.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"Models.original.pck", "Models.pck"}));

    // The close was refused or waited for the save; either way the program ends cleanly.
    int status = m_driver->Wait(1s);
    if (status == -1)
        status = Exit();
    EXPECT_EQ(status, 0) << ReadWholeFile(m_errors);
}
