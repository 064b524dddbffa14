// The real program under the everyday faults of a desktop: a key whose release goes elsewhere, the
// display going away in the middle of a save, and the termination signals of a logout or a kill.
// Each runs the built Kelvane on a private virtual X server, as PatcherWindowTest does.
#include "tests/support/DemoGame.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"

#include "Components/Cx/CxXml.h"
#include "Components/XVariant.h"
#include "Platform/Vcl/Dialogs.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <csignal>
#include <cstdlib>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
constexpr int kEditX = 340, kEditY = 18;
constexpr int kPatchX = 51, kPatchY = 75;
constexpr int kRestoreX = 132, kRestoreY = 75;

// How often the log (UTF-16) holds the ASCII text.
size_t CountInLog(const fs::path& log, const std::string& text)
{
    std::string wide;
    for (char c : text)
        wide += std::string{c, '\0'};
    const std::string bytes = ReadWholeFile(log);
    size_t count = 0;
    for (size_t at = bytes.find(wide); at != std::string::npos; at = bytes.find(wide, at + 1))
        ++count;
    return count;
}

std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder))
        names.insert(item.path().filename().string());
    return names;
}

// The program in a folder of its own with a game, on a display of its own.
class ProgramRun
{
public:
    ProgramRun(const DemoGame& game, const fs::path& folder) : m_folder(folder)
    {
        // The program, its modules and its data as hard links of the shared game's (nothing of
        // them is written to: the patch replaces the archive by a new file), the settings fresh.
        for (const auto& item : fs::directory_iterator(game.Root))
        {
            const std::string name = item.path().filename().string();
            if (name == "Kelvane.log" || name == "Kelvane.xml" || name == "errors.txt")
                continue;
            fs::copy(item.path(), folder / name,
                     fs::copy_options::recursive | fs::copy_options::create_hard_links);
        }
        Archive = folder / "Game" / "Models.pck";
    }

    bool Start()
    {
        if (!m_server.Running())
            return false;
        m_driver = std::make_unique<WindowDriver>();
        if (!m_driver->Connected() || !m_driver->Start((m_folder / "Kelvane").string(), {}, Errors().string()))
            return false;
        Window = m_driver->FindWindow("Kelvane", 30s);
        return Window != 0;
    }

    // Types the archive's path and presses Patch.
    void PressPatch()
    {
        m_driver->Click(Window, kEditX, kEditY);
        m_driver->Settle();
        m_driver->Type(Archive.string());
        m_driver->Click(Window, kPatchX, kPatchY);
    }

    // Waits until the progress bar shows (the save runs); false if it never does.
    bool WaitForTheSave(std::chrono::milliseconds timeout)
    {
        int width = 0, height = 0;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline)
        {
            std::vector<uint32_t> now = m_driver->Pixels(Window, width, height);
            int changed = 0;
            for (int x = 10; x < 620 && now.size() == 632u * 96u; ++x)
                changed += (now[41 * 632 + x] & 0xFFFFFF) != (now[41 * 632 + 5] & 0xFFFFFF);
            if (changed > 3)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    fs::path Errors() const { return m_folder / "errors.txt"; }
    fs::path Log() const { return m_folder / "Kelvane.log"; }
    // No sanitizer or crash report on the program's standard error.
    std::string Reports() const
    {
        std::string errors = fs::exists(Errors()) ? ReadWholeFile(Errors()) : "";
        for (const char* mark : {"AddressSanitizer", "runtime error", "LeakSanitizer", "Segmentation"})
            if (errors.find(mark) != std::string::npos)
                return errors;
        return "";
    }

    VirtualDisplay& Server() { return m_server; }
    WindowDriver& Driver() { return *m_driver; }
    // False when the display never came up: there is no driver, and nothing of ours to end.
    bool Started() const { return m_driver != nullptr; }

    fs::path Archive;
    unsigned long Window = 0;

private:
    fs::path m_folder;
    VirtualDisplay m_server;
    std::unique_ptr<WindowDriver> m_driver;
};

fs::path Program()
{
    return fs::path(Platform::ProgramFolder()) / "Kelvane";
}

// A small game: the key tests patch it often.
class PatcherKeyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(Program()));
        m_game = MakeDemoGame(m_dir / "shared", 7, true, Program(), 100, 2048, m_brokenSkinModel);
        fs::create_directories(m_dir / "run");
        m_run = std::make_unique<ProgramRun>(m_game, m_dir / "run");
        ASSERT_TRUE(m_run->Start()) << m_run->Server().Error();
    }

    void TearDown() override
    {
        if (m_run && m_run->Started())
            m_run->Driver().Kill();
    }

    // Patches run so far, boxes open now.
    size_t Patches() const { return CountInLog(m_run->Log(), "Start patching..."); }
    unsigned long OpenBox(std::chrono::milliseconds wait)
    {
        return m_run->Driver().FindWindow("Kelvane", wait, m_run->Window);
    }

    // The line of a desktop tool that types a key to a window (`what`: key, keydown or keyup):
    // through XTest while the window has the focus, otherwise sent to the window.
    static int XdotoolKeyToWindow(unsigned long window, const char* what, const char* key)
    {
        const std::string line =
            std::string("xdotool ") + what + " --window " + std::to_string(window) + " " + key + " 2>/dev/null";
        return std::system(line.c_str());
    }

    bool m_brokenSkinModel = false;
    TempDir m_dir{"kelvane-keys"};
    DemoGame m_game;
    std::unique_ptr<ProgramRun> m_run;
};

TEST_F(PatcherKeyTest, OneReturnPressesOneButtonOnceWhateverItsReleaseDoes)
{
    WindowDriver& driver = m_run->Driver();
    m_run->PressPatch();
    unsigned long box = OpenBox(60s);
    ASSERT_NE(box, 0u);
    driver.Settle();
    driver.MoveTo(box, 10, 10);
    driver.Focus(box);
    driver.Settle();

    // The release never comes: the server repeats the held key (to the dialog once the box is
    // gone) until a real release. Repeats press nothing.
    ASSERT_EQ(std::system("command -v xdotool > /dev/null"), 0) << "xdotool is installed with the test tools";
    // Its press goes through XTest; its release, sent once the press has closed the box (as the
    // tool's own line does when the program is quick), fails to reach the closed box.
    ASSERT_EQ(XdotoolKeyToWindow(box, "keydown", "Return"), 0);
    ASSERT_TRUE(driver.WaitGone(box, 10s));
    EXPECT_NE(XdotoolKeyToWindow(box, "keyup", "Return"), 0);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(Patches(), 1u);
    EXPECT_EQ(OpenBox(200ms), 0u);
    ASSERT_TRUE(driver.Running());

    // A real Return ends the held key: the server reports its press as one more repeat of the key
    // it still holds down, so it presses nothing, and its release comes. The next Return is a
    // press of its own: the focused Patch button patches once more, and the box closes with the
    // Return after it.
    driver.Key(XK_Return);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Patches(), 1u);
    EXPECT_EQ(OpenBox(200ms), 0u);
    driver.Key(XK_Return);
    box = OpenBox(60s);
    ASSERT_NE(box, 0u);
    driver.Settle();
    driver.Focus(box);
    driver.Key(XK_Return);
    ASSERT_TRUE(driver.WaitGone(box, 10s));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Patches(), 2u);
    EXPECT_EQ(OpenBox(200ms), 0u);

    // The focus moves between the press and the release, the key held long enough to repeat:
    // the press answers the box, nothing else happens.
    driver.Click(m_run->Window, kPatchX, kPatchY);
    box = OpenBox(60s);
    ASSERT_NE(box, 0u);
    driver.Settle();
    driver.Focus(box);
    driver.Settle();
    ASSERT_EQ(std::system("xdotool keydown Return"), 0);
    ASSERT_TRUE(driver.WaitGone(box, 10s));
    driver.Focus(m_run->Window);
    std::this_thread::sleep_for(2s);
    ASSERT_EQ(std::system("xdotool keyup Return"), 0);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Patches(), 3u);
    EXPECT_EQ(OpenBox(200ms), 0u);
    EXPECT_EQ(m_run->Reports(), "");
}

TEST_F(PatcherKeyTest, AReturnSentToEachBoxClosesItOnce)
{
    WindowDriver& driver = m_run->Driver();
    // The box of a patch, then the one of Restore, then that of a second patch: one Return sent to
    // each closes it, and no click patches twice.
    auto closeBoxes = [&](size_t count, const char* what)
    {
        for (size_t i = 0; i < count; ++i)
        {
            const unsigned long box = OpenBox(60s);
            ASSERT_NE(box, 0u) << what << " box " << i;
            driver.Settle();
            driver.SendKey(box, XK_Return);
            ASSERT_TRUE(driver.WaitGone(box, 5s)) << what << " box " << i << " took the Return for a repeat";
        }
        EXPECT_EQ(OpenBox(1s), 0u) << what;
    };
    m_run->PressPatch();
    closeBoxes(1, "patch");
    EXPECT_EQ(Patches(), 1u);
    driver.Click(m_run->Window, kRestoreX, kRestoreY);
    closeBoxes(1, "restore");
    EXPECT_EQ(ReadWholeFileData(m_run->Archive), m_game.ArchiveBytes);
    driver.Click(m_run->Window, kPatchX, kPatchY);
    closeBoxes(1, "second patch");
    EXPECT_EQ(Patches(), 2u);
    EXPECT_EQ(CheckPatched(m_game, m_run->Archive), "");
    EXPECT_EQ(m_run->Reports(), "");
}

// The game's own skin model is damaged: each patch shows the rewrite's box, then the completion box.
class PatcherBrokenSkinKeyTest : public PatcherKeyTest
{
protected:
    PatcherBrokenSkinKeyTest() { m_brokenSkinModel = true; }

    // Waits for the box, checks that it shows that text (its pixels are those of a box made here
    // with the text), then sends it one Return: it must close.
    void CloseBox(const char16_t* text, const std::string& what)
    {
        WindowDriver& driver = m_run->Driver();
        const unsigned long box = OpenBox(60s);
        ASSERT_NE(box, 0u) << what;
        TMessageForm expected(text, u"Kelvane", MB_OK);
        expected.Show();
        expected.PaintDirty();
        const std::vector<uint32_t> drawn(expected.Pixels(),
                                          expected.Pixels() + expected.ClientWidth() * expected.ClientHeight());
        int width = 0, height = 0;
        std::vector<uint32_t> shown;
        size_t differing = SIZE_MAX;
        for (auto deadline = std::chrono::steady_clock::now() + 5s;
             differing > 0 && std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(50ms))
        {
            shown = driver.Pixels(box, width, height);
            if (width == expected.ClientWidth() && height == expected.ClientHeight())
                differing = CountDifferentPixels(shown, drawn, 40);
        }
        ASSERT_EQ(width, expected.ClientWidth()) << what;
        ASSERT_EQ(height, expected.ClientHeight()) << what;
        EXPECT_EQ(differing, 0u) << what;
        driver.SendKey(box, XK_Return);
        ASSERT_TRUE(driver.WaitGone(box, 5s)) << what << " took the Return for a repeat";
    }
};

// A patch, Restore, a second patch: each box, told apart by its drawn text, is closed by one Return
// sent to it; no click patches twice, and the damaged entry keeps the game's bytes under both names.
TEST_F(PatcherBrokenSkinKeyTest, AReturnSentToTheRewritesBoxAndToTheCompletionBoxClosesEach)
{
    const std::string kept = "Mesh replace in <" + std::string(kBrokenSkinEntry) + "> failed - original entry kept.";
    for (size_t patch = 1; patch <= 2; ++patch)
    {
        SCOPED_TRACE("patch " + std::to_string(patch));
        if (patch == 1)
            m_run->PressPatch();
        else
            m_run->Driver().Click(m_run->Window, kPatchX, kPatchY);
        ASSERT_NO_FATAL_FAILURE(CloseBox(u"Wrong unk_zero[7]", "the rewrite's box"));
        ASSERT_NO_FATAL_FAILURE(CloseBox(u"Patch installation complete!", "the completion box"));
        EXPECT_EQ(OpenBox(1s), 0u);
        EXPECT_EQ(Patches(), patch);
        EXPECT_EQ(CountInLog(m_run->Log(), kept), patch);
        EXPECT_EQ(CheckPatched(m_game, m_run->Archive), "");
        if (patch == 1)
        {
            m_run->Driver().Click(m_run->Window, kRestoreX, kRestoreY);
            ASSERT_NO_FATAL_FAILURE(CloseBox(u"Original package file successfully restored!", "the restore box"));
            EXPECT_EQ(ReadWholeFileData(m_run->Archive), m_game.ArchiveBytes);
        }
    }
    EXPECT_EQ(m_run->Reports(), "");
}

// A game of about 300 MB, made once for every case below: each case runs the program in a folder
// of hard links to it.
class PatcherSessionTest : public ::testing::TestWithParam<std::string>
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir("kelvane-session");
        s_game = new DemoGame(MakeDemoGame(s_dir->Path(), 11, true, Program(), 600, 1000000));
    }
    static void TearDownTestSuite()
    {
        delete s_game;
        delete s_dir;
        s_game = nullptr;
        s_dir = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(Program()));
        m_run = std::make_unique<ProgramRun>(*s_game, m_dir.Path());
        ASSERT_TRUE(m_run->Start()) << m_run->Server().Error();
    }

    void TearDown() override
    {
        if (m_run && m_run->Started())
            m_run->Driver().Kill();
    }

    // What must hold however the program ended: the game has its archive (the old one or the
    // complete new one), the backup is the untouched archive, nothing else is left, the program
    // said why it ended and its status says it did not end normally, with no sanitizer report.
    void ExpectAWholeGame(int status, const std::string& why)
    {
        EXPECT_NE(status, 0);
        EXPECT_NE(status, -1) << "the program still runs";
        const fs::path game = m_run->Archive.parent_path();
        // A display lost at once may take the click with it: then no patch began, and no backup.
        std::set<std::string> files = FilesIn(game);
        files.insert("Models.original.pck");
        EXPECT_EQ(files, (std::set<std::string>{"Models.pck", "Models.original.pck"}));
        const std::vector<uint8_t> now = ReadWholeFileData(m_run->Archive);
        if (now != s_game->ArchiveBytes)
        {
            EXPECT_EQ(CheckPatched(*s_game, m_run->Archive), "");
        }
        if (fs::exists(game / "Models.original.pck"))
        {
            EXPECT_TRUE(ReadWholeFileData(game / "Models.original.pck") == s_game->ArchiveBytes);
        }
        EXPECT_EQ(CountInLog(m_run->Log(), why), 1u);
        EXPECT_EQ(m_run->Reports(), "");
    }

    static TempDir* s_dir;
    static DemoGame* s_game;
    TempDir m_dir{"kelvane-session-run"};
    std::unique_ptr<ProgramRun> m_run;
};
TempDir* PatcherSessionTest::s_dir = nullptr;
DemoGame* PatcherSessionTest::s_game = nullptr;

// When the display goes, after the Patch click: at once, 0.4 s later, when the bar shows, and a
// while into the save.
TEST_P(PatcherSessionTest, ALostDisplayLetsTheSaveEndAndTheProgramExit)
{
    const std::string& when = GetParam();
    m_run->PressPatch();
    if (when == "click")
        std::this_thread::sleep_for(0ms);
    else if (when == "0.4s")
        std::this_thread::sleep_for(400ms);
    else
    {
        ASSERT_TRUE(m_run->WaitForTheSave(60s)) << "the progress bar never showed";
        if (when == "later")
            std::this_thread::sleep_for(500ms);
    }
    m_run->Driver().Disconnect();
    m_run->Server().Stop();
    const int status = m_run->Driver().Wait(120s);
    ExpectAWholeGame(status, "The display was lost: the program ends.");
}

INSTANTIATE_TEST_SUITE_P(Points, PatcherSessionTest, ::testing::Values("click", "0.4s", "bar", "later"));

// The termination signals during the save: the save ends (or is abandoned), the program exits.
class PatcherSignalTest : public PatcherSessionTest
{
};

TEST_P(PatcherSignalTest, ATerminationSignalDuringASaveLeavesAWholeGame)
{
    const int signal = GetParam() == "TERM" ? SIGTERM : GetParam() == "INT" ? SIGINT : SIGHUP;
    m_run->PressPatch();
    ASSERT_TRUE(m_run->WaitForTheSave(60s)) << "the progress bar never showed";
    ::kill(m_run->Driver().Pid(), signal);
    const int status = m_run->Driver().Wait(120s);
    ExpectAWholeGame(status, "Signal " + std::to_string(signal) + " received: the program ends.");
    EXPECT_EQ(status, 128 + signal);
}

INSTANTIATE_TEST_SUITE_P(Signals, PatcherSignalTest, ::testing::Values("TERM", "INT", "HUP"));

TEST_F(PatcherKeyTest, ATerminationSignalOutsideASaveClosesTheDialogAsExitDoes)
{
    WindowDriver& driver = m_run->Driver();
    driver.Click(m_run->Window, kEditX, kEditY);
    driver.Settle();
    driver.Type(m_run->Archive.string());
    driver.Settle();
    ::kill(driver.Pid(), SIGTERM);
    EXPECT_EQ(driver.Wait(30s), 128 + SIGTERM);
    // The dialog's close ran: the settings hold the typed path.
    CxXml::XmlDocument settings;
    settings.LoadFromFile(WidePath(m_dir / "run" / "Kelvane.xml").c_str());
    EXPECT_EQ(Platform::ToUtf8(settings.ReadValue(u"PackageFilePath", VarUtils::XVariant()).AsString().c_str()),
              m_run->Archive.string());
    EXPECT_EQ(CountInLog(m_run->Log(), "Signal 15 received: the program ends."), 1u);
    EXPECT_EQ(m_run->Reports(), "");
}
} // namespace
