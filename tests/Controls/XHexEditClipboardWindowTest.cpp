// The hex editor's clipboard against another program on the display (tests/hosts/xpeer): hex text
// copied here reaches it whole, 50 MB too, and the editor's own copy under its format's name; its
// text pastes here as code page 1251 bytes.
#include "Controls/XHexEdit.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Streams.h"
#include "Platform/X11/DesktopTransfer.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/HeapCount.h"
#include "tests/support/PeerProcess.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{
class HexEditClipboardWindowTest : public PresenterWindowTest
{
protected:
    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(fs::exists(peerProgram));
        form = new TForm(nullptr);
        form->SetCaption(u"Hex clipboard");
        form->SetClientWidth(400);
        form->SetClientHeight(200);
        editor = new XHexEdit(form);
        editor->SetParent(form);
        editor->SetAlign(alClient);
        form->Show();
    }
    void TearDown() override
    {
        delete form;
        form = nullptr;
        PresenterWindowTest::TearDown();
    }

    void Load(const std::string& bytes)
    {
        TMemoryStream stream;
        stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        stream.Seek(0, soBeginning);
        editor->LoadFromStream(&stream);
    }

    std::string Bytes()
    {
        std::string bytes(static_cast<size_t>(editor->GetDataSize()), '\0');
        editor->GetData(0, static_cast<int32_t>(bytes.size()), bytes.data());
        return bytes;
    }

    // Another program takes the clipboard with these bytes as `target` (in its way `mode`: "whole"
    // for one property whatever the size), and is seen answering at all, however long a busy
    // machine makes its start take; the paste then gives it the program's own short time.
    void Serve(PeerProcess& peer, const std::string& bytes, const char* mode = "",
               const char* target = "UTF8_STRING")
    {
        std::ofstream(dir / "served", std::ios::binary) << bytes;
        ASSERT_EQ(peer.StartAndRead(peerProgram, {"serve", target, (dir / "served").string(), mode},
                                    PeerDeadline, PumpOnce),
                  "ready");
        std::vector<std::string> targets;
        ASSERT_TRUE(X11::ClipboardTargets(targets, PeerDeadlineMs));
    }

    std::string Fetch(const char* target)
    {
        PeerProcess peer;
        std::string line;
        fs::path out = dir / "fetched";
        fs::remove(out);
        if (!peer.Start(peerProgram, {"fetch", target, out.string()}) ||
            !peer.ReadLine(line, PeerDeadline, PumpOnce) || line.rfind("fetched", 0) != 0)
            return "(failed: " + line + ")";
        return ReadWholeFile(out);
    }

    TempDir dir{"hexclipboard"};
    std::string peerProgram = (fs::path(Platform::ProgramFolder()) / "xpeer").string();
    TForm* form = nullptr;
    XHexEdit* editor = nullptr;
};
} // namespace

TEST_F(HexEditClipboardWindowTest, HexTextReachesAnotherProgramWholeFiftyMegabytesToo)
{
    Load(std::string("\x41\x00\x42\xDE\xAD", 5));
    editor->SetSelection(0, 5);
    editor->CopyToClipboardAsHexText();
    EXPECT_EQ(Fetch("UTF8_STRING"), "410042DEAD");
    // Plain text: the NUL went as a blank; 1251 bytes arrive as their characters.
    Load(std::string("\xCF\xF0\xE8\x00\xE2", 5));
    editor->SetSelection(0, 5);
    editor->CopyToClipboardAsText();
    EXPECT_EQ(Fetch("UTF8_STRING"), "При в");
    // The editor's own copy goes as "XHEXEDIT", and pastes from another program that holds it.
    editor->SetSelection(1, 3);
    editor->CopyToClipboard();
    const std::string block = Fetch("XHEXEDIT");
    EXPECT_EQ(block, std::string("\x03\0\0\0\xF0\xE8\x00", 7));
    {
        PeerProcess peer;
        Serve(peer, block, "", "XHEXEDIT");
        editor->InsertMode = true;
        editor->SetSelection(0, 0);
        editor->PasteFromClipboard();
        EXPECT_EQ(Bytes(), std::string("\xF0\xE8\x00\xCF\xF0\xE8\x00\xE2", 8));
    }

    // 25 MB of bytes: 50 MB of hex text, taken incrementally.
    std::string bytes(25u << 20, '\0');
    std::mt19937 random(36);
    for (char& b : bytes)
        b = static_cast<char>(random());
    Load(bytes);
    editor->SelectAll();
    editor->CopyToClipboardAsHexText();
    std::string hex = Fetch("UTF8_STRING");
    ASSERT_EQ(hex.size(), bytes.size() * 2);
    static const char digits[] = "0123456789ABCDEF";
    size_t wrong = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        auto b = static_cast<unsigned char>(bytes[i]);
        wrong += hex[2 * i] != digits[b >> 4] || hex[2 * i + 1] != digits[b & 15];
    }
    EXPECT_EQ(wrong, 0u);
}

TEST_F(HexEditClipboardWindowTest, AnotherProgramsTextPastesAsCodePage1251Bytes)
{
    for (size_t repeat : {size_t(1), size_t(1) << 20})
    {
        std::string utf8, expected;
        for (size_t i = 0; i < repeat; ++i)
        {
            utf8 += "Привет, мир! ";
            expected += "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! ";
        }
        PeerProcess peer;
        Serve(peer, utf8);
        if (HasFatalFailure())
            return;
        Load("AB");
        editor->InsertMode = true;
        editor->SetSelection(1, 0);
        editor->PasteTextFromClipboard();
        EXPECT_EQ(editor->GetDataSize(), static_cast<int64_t>(expected.size() + 2)) << repeat;
        EXPECT_TRUE(Bytes() == "A" + expected + "B") << repeat;
    }
}

// A busy owner (1.5 s for each answer) is waited for; one slower than the wait costs the paste one
// wait under the wait pointer, during which the window still shows itself, and the next paste
// takes a prompt owner's text.
TEST_F(HexEditClipboardWindowTest, APasteWaitsForABusyOwnerAndGivesUpOnAHungOneOnce)
{
    unsigned long window = Vcl::NativeWindowOf(form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    probe->MoveTo(window, 200, 100);
    Settle();
    const XProbe::CursorPicture before = probe->PointerPicture();
    XProbe::CursorPicture during = before;
    Clock::duration took{};
    std::atomic<bool> restored = false;
    // The owner's text pasted between "A" and "B"; the owner stays until the end of the test.
    std::vector<std::unique_ptr<PeerProcess>> owners;
    auto paste = [&](const char* text, const char* mode, bool watch)
    {
        std::ofstream(dir / "served", std::ios::binary) << text;
        owners.push_back(std::make_unique<PeerProcess>());
        ASSERT_EQ(owners.back()->StartAndRead(peerProgram,
                                              {"serve", "UTF8_STRING", (dir / "served").string(), mode},
                                              PeerDeadline, PumpOnce),
                  "ready");
        Load("AB");
        editor->InsertMode = true;
        editor->SetSelection(1, 0);
        std::thread watcher;
        std::atomic<bool> pasted = false;
        if (watch)
            watcher = std::thread(
                [&]
                {
                    std::this_thread::sleep_for(2500ms);
                    during = probe->PointerPicture();
                    // Uncovered meanwhile, the window shows its pixels again before the wait ends.
                    const uint32_t shown = probe->ReadPixel(window, 20, 20);
                    probe->Smear(window, 0xFF00FF);
                    while (!pasted && !restored)
                        restored = probe->ReadPixel(window, 20, 20) == shown;
                });
        auto start = Clock::now();
        editor->PasteTextFromClipboard();
        took = Clock::now() - start;
        pasted = true;
        if (watcher.joinable())
            watcher.join();
    };
    paste("\xD0\x9F\xD1\x80\xD0\xB8", "delay:1500", false);
    EXPECT_EQ(Bytes(), std::string("A\xCF\xF0\xE8") + "B");

    paste("lost", "delay:30000", true);
    EXPECT_EQ(Bytes(), "AB");
    EXPECT_GE(took, 4500ms);
    EXPECT_LT(took, 9500ms); // one wait, not one for each question the paste asks
    EXPECT_FALSE(during == before);
    EXPECT_TRUE(restored);
    EXPECT_TRUE(probe->PointerPicture() == before);

    paste("OK", "", false);
    EXPECT_EQ(Bytes(), "AOKB");
}

// A paste from an owner that trickles forever ends at once at Escape or at the window's close, with
// nothing pasted; the close then goes on as usual.
TEST_F(HexEditClipboardWindowTest, EscapeOrACloseEndsAPasteAtOnce)
{
    unsigned long window = Vcl::NativeWindowOf(form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && probe->HasFocus(window); }));
    std::ofstream(dir / "served", std::ios::binary) << "endless";
    for (bool close : {false, true})
    {
        PeerProcess owner;
        ASSERT_EQ(
            owner.StartAndRead(peerProgram,
                               {"serve", "UTF8_STRING", (dir / "served").string(), "trickle:1000", "report"},
                               PeerDeadline, PumpOnce),
            "ready");
        Load("AB");
        editor->InsertMode = true;
        editor->SetSelection(1, 0);
        Clock::time_point said{};
        std::thread user(
            [&]
            {
                // Once the transfer is under way, the user has had enough.
                std::string step;
                while (owner.ReadLine(step, PeerDeadline, nullptr) && step.rfind("sent", 0) != 0)
                {
                }
                said = Clock::now();
                if (close)
                    probe->RequestClose(window);
                else
                    probe->Key("Escape");
            });
        editor->PasteTextFromClipboard();
        const auto ended = Clock::now();
        user.join();
        EXPECT_EQ(Bytes(), "AB") << close;
        EXPECT_LT(ended - said, 2s) << close;
    }
    EXPECT_TRUE(PumpUntil([&] { return !probe->Viewable(window); }));
}

// 16 MB of text answered in one property: the paste holds the answer as read, the wide text the
// clipboard makes of it (twice its size) and the narrow one, never a copy more on the way (4 times
// the answer, where each copy on the way adds one or two more); a paste of the editor's own copy
// takes no copy of its own beside the editor's bytes, which grow to hold it (their new block of
// twice the answer taken before the old one is given back).
TEST_F(HexEditClipboardWindowTest, ALargePasteHoldsNoCopyOnTheWay)
{
    if (!HeapCount::Counting())
        GTEST_SKIP() << "the heap is counted only under the address sanitizer";
    const size_t size = size_t(16) << 20;
    std::string text(size, 'q');
    text.replace(size - 4, 4, "tail");
    PeerProcess peer;
    Serve(peer, text, "whole");
    if (HasFatalFailure())
        return;
    Load("AB");
    editor->InsertMode = true;
    editor->SetSelection(1, 0);
    size_t peaks[2] = {};
    for (size_t& peak : peaks)
    {
        const size_t before = HeapCount::Current();
        HeapCount::ResetPeak();
        editor->PasteTextFromClipboard();
        peak = HeapCount::Peak() - before;
        // The second time, from the editor's own copy: nothing to take in.
        editor->SetSelection(1, static_cast<int64_t>(size));
        editor->CopyToClipboardAsText();
        editor->SetSelection(1, 0);
    }
    EXPECT_LT(peaks[0], size * 4 + size / 2);
    EXPECT_LT(peaks[1], 2 * size + size / 2);
    ASSERT_EQ(editor->GetDataSize(), static_cast<int64_t>(2 * size + 2));
    EXPECT_TRUE(Bytes() == "A" + text + text + "B");
}
