#include "Controls/XHexEdit.h"
#include "Platform/Vcl/Dialogs.h"

#include "tests/support/ReferenceImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowManager.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <filesystem>
#include <functional>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{
// How long the host may take to show or save what the input asked for: long, as a machine busy
// with other work runs it slowly; only a host that never does it waits this long.
constexpr auto HostDeadline = 60s;

// Where the host's editor puts things: measured with the same font as the host uses.
struct Layout
{
    int cw = 0, lh = 0, hexX = 0, textX = 0, wcw = 0;
};

Layout Measure()
{
    XHexEdit probe(nullptr);
    probe.Font()->SetName(u"DejaVu Sans Mono");
    probe.Font()->SetSize(10);
    probe.UpdateFontInfo();
    return Layout{probe.CharWidth(), probe.LineHeight(), probe.HexX(), probe.TextX(), probe.TextCharWidth()};
}

class HexEditWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Running()) << m_server.Error();
        m_driver = std::make_unique<WindowDriver>();
        ASSERT_TRUE(m_driver->Connected());
        std::mt19937 random(4096);
        m_bytes.resize(4096);
        for (auto& b : m_bytes)
            b = static_cast<uint8_t>(random());
        WriteWholeFile(m_file, m_bytes);
        StartHost();
    }
    // Starts the host on m_file (again, after a test ended the first one).
    void StartHost()
    {
        fs::path host = fs::path(Platform::ProgramFolder()) / "hexedit_host";
        ASSERT_TRUE(fs::exists(host));
        ASSERT_TRUE(m_driver->Start(host.string(), {m_file.string()}, m_errors.string()));
        m_window = m_driver->FindWindow("Hex editor", 20s);
        ASSERT_NE(m_window, 0u) << ReadWholeFile(m_errors);
        m_driver->Settle(500ms);
    }
    void TearDown() override
    {
        if (m_driver)
            m_driver->Kill();
    }
    // The window point of byte p's high digit (the editor's client area starts inside a 2-pixel
    // edge).
    std::pair<int, int> BytePoint(int64_t p, int64_t firstLine = 0)
    {
        return {2 + m_layout.hexX + int(p % 16) * 3 * m_layout.cw + 1,
                2 + int((p / 16 - firstLine) * m_layout.lh) + m_layout.lh / 2};
    }

    // The value hint's text for the bytes from p: unsigned 32 bits, the default mode.
    std::string ValueText(int64_t p) const
    {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | m_bytes[size_t(p) + size_t(i)];
        return std::to_string(v);
    }

    // The file's bytes once they are `expected`, or as they are when the host never saves them.
    std::vector<uint8_t> SavedAs(const std::vector<uint8_t>& expected)
    {
        std::vector<uint8_t> saved;
        WindowDriver::Eventually(
            [&]
            {
                const std::string file = ReadWholeFile(m_file);
                saved.assign(file.begin(), file.end());
                return saved == expected;
            },
            HostDeadline);
        return saved;
    }
    // Types one byte (0xAB) in front of byte 0x25; the bytes the file should then hold.
    std::vector<uint8_t> TypeOneByte()
    {
        auto [x, y] = BytePoint(0x25);
        m_driver->Click(m_window, x, y);
        m_driver->Settle();
        m_driver->Type("AB");
        m_driver->Settle();
        std::vector<uint8_t> edited = m_bytes;
        edited.insert(edited.begin() + 0x25, 0xAB);
        return edited;
    }
    // The box the host shows over its window, titled `caption`, once it shows `text` in the
    // picture our message box draws for it; 0 when no such box comes.
    unsigned long WaitForBox(const std::string& caption, const UnicodeString& text, UINT type)
    {
        const unsigned long box = m_driver->FindWindow(caption, 10s, m_window);
        if (!box)
            return 0;
        TMessageForm expected(text, UnicodeString(Platform::FromUtf8(caption)), type);
        expected.Show();
        expected.PaintDirty();
        const std::vector<uint32_t> want(expected.Pixels(),
                                         expected.Pixels() + size_t(expected.ClientWidth()) * size_t(expected.ClientHeight()));
        // The box may be mapped a moment before its first paint reaches the server.
        size_t differ = SIZE_MAX;
        for (const auto until = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < until;)
        {
            int width = 0, height = 0;
            const auto shown = m_driver->Pixels(box, width, height);
            differ = width == expected.ClientWidth() && height == expected.ClientHeight()
                         ? CountDifferentPixels(shown, want, 8)
                         : SIZE_MAX;
            if (differ == 0)
                return box;
            m_driver->Settle(50ms);
        }
        ADD_FAILURE() << "the box \"" << caption << "\" does not show the expected text (" << differ
                      << " pixels differ)";
        return 0;
    }
    // Answers a box with a key, as its user would.
    void Answer(unsigned long box, unsigned long keysym)
    {
        m_driver->MoveTo(box, 10, 10);
        m_driver->Focus(box);
        m_driver->Key(keysym);
        EXPECT_TRUE(m_driver->WaitGone(box, 10s));
    }

    VirtualDisplay m_server;
    std::unique_ptr<WindowDriver> m_driver;
    TempDir m_dir{"hexedit-window"};
    fs::path m_file = m_dir / "data.bin";
    fs::path m_errors = m_dir / "errors.txt";
    // The question a close with unsaved edits asks, naming the file as the host was given it.
    const UnicodeString m_question = u"Save changes to " + UnicodeString(Platform::FromUtf8(m_file.string())) + u"?";
    std::vector<uint8_t> m_bytes;
    unsigned long m_window = 0;
    Layout m_layout = Measure();
};
} // namespace

TEST_F(HexEditWindowTest, ShowsTheFileTypesFastSavesAndScrollsByWheel)
{
    // The host answers in its own time: every look waits for what the input must bring about,
    // and only a host that never does it runs into the deadline.
    int width = 0, height = 0;
    std::vector<uint32_t> shot;
    auto showsWhole = [&] { return width == 760 && height == 400; };
    // The caret blinks: its pixels may differ.
    std::string diff;
    WindowDriver::Eventually(
        [&]
        {
            shot = m_driver->Pixels(m_window, width, height);
            diff = showsWhole() ? ReferenceImage::Compare("tests/Controls/data/HexEditWindow.png", shot,
                                                          uint32_t(width), uint32_t(height), 40)
                                : "not the whole window";
            return diff.empty();
        },
        HostDeadline);
    ASSERT_EQ(width, 760);
    ASSERT_EQ(height, 400);
    EXPECT_TRUE(diff.empty()) << diff;

    // The wheel moves the first line by two: line 2's address now stands where line 0's stood.
    auto band = [&](const std::vector<uint32_t>& pixels, int line)
    {
        std::vector<uint32_t> out;
        for (int y = 2 + line * m_layout.lh; y < 2 + (line + 1) * m_layout.lh; ++y)
            for (int x = 2; x < 2 + m_layout.hexX - 30; ++x)
                out.push_back(pixels[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF);
        return out;
    };
    // The window's pixels once `shows` finds them there.
    auto pixelsWhen = [&](const std::function<bool(const std::vector<uint32_t>&)>& shows)
    {
        std::vector<uint32_t> pixels;
        WindowDriver::Eventually(
            [&]
            {
                pixels = m_driver->Pixels(m_window, width, height);
                return showsWhole() && shows(pixels);
            },
            HostDeadline);
        return pixels;
    };
    const auto lineZero = band(shot, 0), lineTwo = band(shot, 2);
    m_driver->MoveTo(m_window, 300, 200);
    m_driver->Click(m_window, 300, 200, 5);
    auto scrolled =
        pixelsWhen([&](const std::vector<uint32_t>& pixels) { return band(pixels, 0) == lineTwo; });
    ASSERT_TRUE(showsWhole());
    EXPECT_EQ(band(scrolled, 0), lineTwo);
    // Back at the top before the clicks below aim at line 0's bytes.
    m_driver->Click(m_window, 300, 200, 4);
    pixelsWhen([&](const std::vector<uint32_t>& pixels) { return band(pixels, 0) == lineZero; });

    // Click byte 0x25 and type at full speed, capitals with Shift; Ctrl+S saves.
    auto [x, y] = BytePoint(0x25);
    m_driver->Click(m_window, x, y);
    m_driver->Settle();
    m_driver->Type("DEADBEEF");
    m_driver->Key(XK_s, false, true);
    std::vector<uint8_t> expected = m_bytes;
    const uint8_t typed[] = {0xDE, 0xAD, 0xBE, 0xEF};
    expected.insert(expected.begin() + 0x25, typed, typed + 4);
    EXPECT_EQ(SavedAs(expected), expected);

    // A drag paints the selected run inverted.
    auto [x1, y1] = BytePoint(0x40);
    auto [x2, y2] = BytePoint(0x48);
    m_driver->MoveTo(m_window, x1, y1);
    m_driver->ButtonDown(1);
    m_driver->MoveTo(m_window, x2, y2);
    m_driver->ButtonUp(1);
    auto [mx, my] = BytePoint(0x44);
    // Between the digits of a selected byte the background is the complement of white.
    const size_t selected = size_t(my) * size_t(width) + size_t(mx + 2 * m_layout.cw + 2);
    auto dragged =
        pixelsWhen([&](const std::vector<uint32_t>& pixels) { return (pixels[selected] & 0xFFFFFF) == 0; });
    ASSERT_TRUE(showsWhole());
    EXPECT_EQ(dragged[selected] & 0xFFFFFF, 0u);
    auto [ox, oy] = BytePoint(0x4C);
    EXPECT_EQ(dragged[size_t(oy) * size_t(width) + size_t(ox + 2 * m_layout.cw + 2)] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
}

TEST_F(HexEditWindowTest, AClickOnACharacterOfTheTextTypesLettersThere)
{
    // The middle of the first line's first character.
    m_driver->Click(m_window, 2 + m_layout.textX + m_layout.wcw / 2, 2 + m_layout.lh / 2);
    m_driver->Type("Hi!");
    m_driver->Key(XK_s, false, true);
    std::vector<uint8_t> expected = m_bytes;
    expected.insert(expected.begin(), {'H', 'i', '!'});
    EXPECT_EQ(SavedAs(expected), expected);
}

TEST_F(HexEditWindowTest, ResizingShowsTheHorizontalBarAndRandomInputDoesNoHarm)
{
    int width = 0, height = 0;
    auto bottomInk = [&]
    {
        auto pixels = m_driver->Pixels(m_window, width, height);
        size_t ink = 0;
        if (pixels.size() != size_t(width) * size_t(height) || height < 8)
            return ink;
        for (int yy = height - 8; yy < height - 4; ++yy)
            for (int xx = 10; xx < width / 2; ++xx)
                ink += (pixels[size_t(yy) * size_t(width) + size_t(xx)] & 0xFFFFFF) != 0xFFFFFF;
        return ink;
    };
    m_driver->Resize(m_window, 400, 300);
    m_driver->Settle(400ms);
    const size_t narrow = bottomInk();
    m_driver->Resize(m_window, 900, 300);
    m_driver->Settle(400ms);
    const size_t wide = bottomInk();
    ASSERT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
    EXPECT_GT(narrow, size_t(width / 4)); // the bar's track fills the strip
    EXPECT_LT(wide, narrow);

    std::mt19937 random(1000);
    const unsigned long keys[] = {XK_a, XK_F, XK_0, XK_Left, XK_Right, XK_Up, XK_Down, XK_Home, XK_End,
                                  XK_Page_Up, XK_Page_Down, XK_Delete, XK_BackSpace, XK_Insert, XK_Tab};
    for (int i = 0; i < 1000; ++i)
    {
        int x = int(random() % 900), y = int(random() % 300);
        switch (random() % 5)
        {
        case 0:
            m_driver->Click(m_window, x, y, 1 + int(random() % 5));
            break;
        case 1:
            m_driver->MoveTo(m_window, x, y);
            break;
        default:
            m_driver->Key(keys[random() % std::size(keys)], random() % 3 == 0, random() % 4 == 0);
            break;
        }
    }
    m_driver->Settle(1s);
    EXPECT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
    EXPECT_EQ(ReadWholeFile(m_errors).find("Sanitizer"), std::string::npos) << ReadWholeFile(m_errors);
}

TEST_F(HexEditWindowTest, CtrlHeldShowsTheValueAtThePointerAndReleasingRemovesIt)
{
    auto [x, y] = BytePoint(0x30);
    m_driver->Click(m_window, x, y);
    m_driver->Settle();
    const std::string text = ValueText(0x30);
    m_driver->MoveTo(m_window, x, y);
    m_driver->Settle(100ms);
    const auto start = std::chrono::steady_clock::now();
    m_driver->HoldKey(XK_Control_L, true);
    unsigned long hint = m_driver->FindWindow(text, 600ms, m_window);
    const auto shownAfter = std::chrono::steady_clock::now() - start;
    ASSERT_NE(hint, 0u) << "no hint " << text << "; " << ReadWholeFile(m_errors);
    EXPECT_LE(shownAfter, 600ms);
    // Its top-left corner is at the pointer, and the editor kept the keyboard.
    int wx = 0, wy = 0, hx = 0, hy = 0;
    m_driver->RootOrigin(m_window, wx, wy);
    m_driver->RootOrigin(hint, hx, hy);
    EXPECT_EQ(hx, wx + x);
    EXPECT_EQ(hy, wy + y);
    // The window may be mapped a moment before its first paint reaches the server.
    int hw = 0, hh = 0;
    std::vector<uint32_t> pixels;
    for (const auto until = std::chrono::steady_clock::now() + 600ms;;)
    {
        pixels = m_driver->Pixels(hint, hw, hh);
        ASSERT_FALSE(pixels.empty());
        if ((pixels[size_t(hw) + 1] & 0xFFFFFF) == 0xFFFFE1u || std::chrono::steady_clock::now() > until)
            break;
        m_driver->Settle(20ms);
    }
    EXPECT_EQ(pixels[size_t(hw) + 1] & 0xFFFFFF, 0xFFFFE1u); // the hint's yellow inside its frame
    m_driver->HoldKey(XK_Control_L, false);
    EXPECT_TRUE(m_driver->WaitGone(hint, 600ms));
    // Typing still reaches the editor.
    m_driver->Type("7");
    m_driver->Key(XK_s, false, true);
    m_driver->Settle(500ms);
    EXPECT_EQ(uint8_t(ReadWholeFile(m_file)[0x30]), 0x70);
    EXPECT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
}

// Under a window manager whose focus follows the pointer, a hint standing on the pointer must not
// take it: the manager would move the focus away, and the hint end with it.
TEST_F(HexEditWindowTest, UnderAWindowManagerTheValueShowsInTheMiddleAndByEveryCorner)
{
    m_driver->Kill();
    m_driver->Wait(2s);
    WindowManager wm(m_server.Name());
    ASSERT_TRUE(wm.Running()) << wm.Error();
    ASSERT_NO_FATAL_FAILURE(StartHost());
    XProbe probe(m_server.Name());
    struct Place
    {
        const char* name;
        int x, y;           // on the 1024 x 768 screen
        int64_t byte, next; // under the pointer there, and the one the pointer moves on to
    };
    const Place places[] = {{"middle", 512, 384, 0x35, 0x36},
                            {"top-left", 8, 8, 0x00, 0x01},
                            {"top-right", 1016, 8, 0x0F, 0x0E},
                            {"bottom-left", 8, 760, 0x00, 0x01},
                            {"bottom-right", 1016, 760, 0x0F, 0x0E}};
    // Moves the window's client area to (x, y), also where the manager puts its frame there.
    int dx = 0, dy = 0; // from where a window is asked to stand to where its client area lands
    auto place = [&](int wantX, int wantY)
    {
        int x = 0, y = 0;
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            int fromX = 0, fromY = 0;
            m_driver->RootOrigin(m_window, fromX, fromY);
            if (fromX == wantX && fromY == wantY)
                return true;
            probe.PlaceWindow(m_window, wantX - dx, wantY - dy);
            WindowDriver::Eventually(
                [&] { return m_driver->RootOrigin(m_window, x, y), x != fromX || y != fromY; }, HostDeadline);
            dx += x - wantX;
            dy += y - wantY;
        }
        return x == wantX && y == wantY;
    };
    for (const Place& at : places)
    {
        SCOPED_TRACE(at.name);
        auto [bx, by] = BytePoint(at.byte);
        ASSERT_TRUE(place(at.x - bx, at.y - by));
        probe.MoveToRoot(at.x, at.y);
        ASSERT_TRUE(WindowDriver::Eventually([&] { return probe.HasFocus(m_window); }, HostDeadline));
        probe.Watch(m_window);
        // Where nothing moves it, its top-left corner stands on the pointer; also while the manager
        // is too busy to answer, as on a loaded machine: a hint is no window it places.
        const bool middle = at.x == 512;
        wm.Stall(middle);
        m_driver->HoldKey(XK_Control_L, true);
        const unsigned long hint = m_driver->FindWindow(ValueText(at.byte), HostDeadline, m_window);
        ASSERT_NE(hint, 0u) << "no hint " << ValueText(at.byte) << "; seen "
                            << testing::PrintToString(probe.Seen());
        if (middle)
        {
            int hx = 0, hy = 0;
            m_driver->RootOrigin(hint, hx, hy);
            EXPECT_EQ(hx, at.x);
            EXPECT_EQ(hy, at.y);
            wm.Stall(false);
        }
        // Moved on through the hint to the next byte, the pointer brings that one's value: the
        // same hint, shown all the while, and the editor kept the pointer and the keyboard.
        auto [nx, ny] = BytePoint(at.next);
        probe.MoveToRoot(at.x + nx - bx, at.y + ny - by);
        EXPECT_EQ(m_driver->FindWindow(ValueText(at.next), HostDeadline, m_window), hint);
        EXPECT_EQ(probe.Seen(), std::vector<std::string>{});
        EXPECT_TRUE(probe.HasFocus(m_window));
        m_driver->HoldKey(XK_Control_L, false);
        EXPECT_TRUE(m_driver->WaitGone(hint, HostDeadline));
    }
    EXPECT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
}

TEST_F(HexEditWindowTest, TheVerticalThumbScrollsToTheEndAndBack)
{
    int width = 0, height = 0;
    // The address column of the first two lines: no caret ever blinks there.
    auto addresses = [&]
    {
        auto pixels = m_driver->Pixels(m_window, width, height);
        std::vector<uint32_t> out;
        for (int yy = 2; yy < 2 + 2 * m_layout.lh && !pixels.empty(); ++yy)
            for (int xx = 2; xx < 2 + m_layout.hexX - 30; ++xx)
                out.push_back(pixels[size_t(yy) * size_t(width) + size_t(xx)] & 0xFFFFFF);
        return out;
    };
    const auto top = addresses();
    ASSERT_FALSE(top.empty());
    const int barX = width - 2 - 8;
    const int thumbTop = 2 + 17 + 3;
    m_driver->MoveTo(m_window, barX, thumbTop);
    m_driver->ButtonDown(1);
    m_driver->MoveTo(m_window, barX, height / 2);
    m_driver->MoveTo(m_window, barX, height + 50);
    m_driver->ButtonUp(1);
    m_driver->Settle(300ms);
    const auto bottom = addresses();
    EXPECT_NE(bottom, top);
    // At the end already: the wheel has nothing more to show.
    m_driver->MoveTo(m_window, 300, 200);
    m_driver->Click(m_window, 300, 200, 5);
    m_driver->Settle(300ms);
    EXPECT_EQ(addresses(), bottom);
    // The thumb now stands at the bottom of the track; dragged up past the top, it shows the start.
    m_driver->MoveTo(m_window, barX, height - 2 - 17 - 3);
    m_driver->ButtonDown(1);
    m_driver->MoveTo(m_window, barX, height / 2);
    m_driver->MoveTo(m_window, barX, -50);
    m_driver->ButtonUp(1);
    m_driver->Settle(300ms);
    EXPECT_EQ(addresses(), top);
    EXPECT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
}

TEST_F(HexEditWindowTest, TheBarsShowOnlyWhileTheDataDoesNotFit)
{
    // A file of four lines in its own window.
    m_driver->Kill();
    m_driver->Wait(2s);
    WriteWholeFile(m_file, std::vector<uint8_t>(64, 0x41));
    ASSERT_NO_FATAL_FAILURE(StartHost());
    int width = 0, height = 0;
    // Whether the right and the bottom strip inside the edge show a bar (anything but the white
    // page).
    auto bars = [&](bool& vertical, bool& horizontal)
    {
        auto pixels = m_driver->Pixels(m_window, width, height);
        ASSERT_EQ(pixels.size(), size_t(width) * size_t(height));
        auto at = [&](int xx, int yy) { return pixels[size_t(yy) * size_t(width) + size_t(xx)] & 0xFFFFFF; };
        vertical = at(width - 2 - 8, height / 2) != 0xFFFFFF && at(width - 2 - 1, height / 2) != 0xFFFFFF;
        horizontal = at(width / 3, height - 2 - 8) != 0xFFFFFF && at(width / 3, height - 2 - 1) != 0xFFFFFF;
    };
    bool vertical = true, horizontal = true;
    bars(vertical, horizontal);
    EXPECT_FALSE(vertical);
    EXPECT_FALSE(horizontal);
    m_driver->Resize(m_window, 300, 3 * m_layout.lh + 4 + 17);
    m_driver->Settle(400ms);
    bars(vertical, horizontal);
    EXPECT_TRUE(vertical);
    EXPECT_TRUE(horizontal);
    m_driver->Resize(m_window, 760, 400);
    m_driver->Settle(400ms);
    bars(vertical, horizontal);
    EXPECT_FALSE(vertical);
    EXPECT_FALSE(horizontal);
    EXPECT_TRUE(m_driver->Running()) << ReadWholeFile(m_errors);
}

// Every close of the window with unsaved edits asks first; Yes saves and ends, No ends and leaves
// the file, Cancel keeps the window, the file and the edits (a second close asks again, and Yes then
// saves them). With nothing unsaved (no edit, or the edits saved) the window closes without a
// question.
TEST_F(HexEditWindowTest, ClosingWithUnsavedEditsAsksWhetherToSave)
{
    enum Before { Nothing, Edit, EditAndSave };
    struct Case
    {
        const char* name;
        Before before;
        bool altF4; // else the window manager's close
        unsigned long answer; // 0: no question expected
        bool saved; // the edit is in the file at the end
        bool ends;  // the answer ends the host
    };
    const Case cases[] = {
        {"yes", Edit, false, XK_y, true, true},
        {"no", Edit, false, XK_n, false, true},
        {"cancel, then yes", Edit, false, XK_Escape, true, false},
        {"alt+f4, yes", Edit, true, XK_y, true, true},
        {"no edit", Nothing, false, 0, false, true},
        {"edit saved", EditAndSave, false, 0, true, true},
    };
    const UINT style = MB_YESNOCANCEL | MB_ICONQUESTION;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (&c != cases)
        {
            m_driver->Kill();
            m_driver->Wait(2s);
            WriteWholeFile(m_file, m_bytes);
            ASSERT_NO_FATAL_FAILURE(StartHost());
        }
        std::vector<uint8_t> edited = m_bytes;
        if (c.before != Nothing)
            edited = TypeOneByte();
        if (c.before == EditAndSave)
        {
            m_driver->Key(XK_s, false, true);
            m_driver->Settle(300ms);
        }
        if (c.altF4)
        {
            m_driver->Focus(m_window);
            m_driver->HoldKey(XK_Alt_L, true);
            m_driver->Key(XK_F4);
            m_driver->HoldKey(XK_Alt_L, false);
        }
        else
            m_driver->RequestClose(m_window);
        if (c.answer)
        {
            const unsigned long box = WaitForBox("Hex editor", m_question, style);
            ASSERT_NE(box, 0u) << ReadWholeFile(m_errors);
            Answer(box, c.answer);
        }
        if (!c.ends)
        {
            m_driver->Settle(300ms);
            EXPECT_TRUE(m_driver->Running());
            EXPECT_EQ(ReadWholeFileData(m_file), m_bytes);
            m_driver->RequestClose(m_window);
            const unsigned long again = WaitForBox("Hex editor", m_question, style);
            ASSERT_NE(again, 0u) << ReadWholeFile(m_errors);
            Answer(again, XK_y);
        }
        EXPECT_EQ(m_driver->Wait(20s), 0) << ReadWholeFile(m_errors);
        EXPECT_EQ(ReadWholeFileData(m_file), c.saved ? edited : m_bytes);
    }
    EXPECT_EQ(ReadWholeFile(m_errors).find("Sanitizer"), std::string::npos) << ReadWholeFile(m_errors);
}

// A save asked for by the close that fails (a folder stands where the file was) keeps the window
// and the edits, and its box says so; once the file can be written again, the next close saves.
TEST_F(HexEditWindowTest, AFailedSaveOnCloseKeepsTheWindowAndTheEdits)
{
    const std::vector<uint8_t> edited = TypeOneByte();
    fs::remove(m_file);
    fs::create_directory(m_file);
    m_driver->RequestClose(m_window);
    unsigned long box = WaitForBox("Hex editor", m_question, MB_YESNOCANCEL | MB_ICONQUESTION);
    ASSERT_NE(box, 0u) << ReadWholeFile(m_errors);
    Answer(box, XK_y);
    const unsigned long failure = WaitForBox("hexedit_host", u"Ошибка записи.", MB_OK);
    ASSERT_NE(failure, 0u) << ReadWholeFile(m_errors);
    Answer(failure, XK_Return);
    m_driver->Settle(300ms);
    EXPECT_TRUE(m_driver->Running());
    EXPECT_TRUE(fs::is_directory(m_file));
    EXPECT_TRUE(fs::is_empty(m_file));

    fs::remove(m_file);
    m_driver->RequestClose(m_window);
    box = WaitForBox("Hex editor", m_question, MB_YESNOCANCEL | MB_ICONQUESTION);
    ASSERT_NE(box, 0u) << ReadWholeFile(m_errors);
    Answer(box, XK_y);
    EXPECT_EQ(m_driver->Wait(20s), 0) << ReadWholeFile(m_errors);
    EXPECT_EQ(ReadWholeFileData(m_file), edited);
}
