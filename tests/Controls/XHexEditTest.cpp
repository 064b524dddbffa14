#include "Controls/XHexEdit.h"

#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/Vcl/Streams.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DrawnLines.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/RawClipboard.h"
#include "tests/support/ScreenSize.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

std::u16string Wide(const std::filesystem::path& p)
{
    return Platform::FromUtf8(p.string());
}

class HexEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform::ResetKeyStates();
        form = new TForm(nullptr);
        form->SetClientWidth(760);
        form->SetClientHeight(300);
        edit = new XHexEdit(form);
        edit->Font()->SetName(u"Courier New");
        edit->Font()->SetSize(10);
        edit->SetParent(form);
        edit->SetBounds(0, 0, 740, 280);
        form->Show();
        edit->SetFocus();
    }
    void TearDown() override
    {
        delete form;
        Platform::ResetKeyStates();
        Platform::DispatchPostedMessages();
        if (OpenClipboard(nullptr))
        {
            EmptyClipboard();
            CloseClipboard();
        }
    }

    void Load(const Bytes& bytes)
    {
        TMemoryStream stream;
        if (!bytes.empty())
            stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        stream.SetPosition(0);
        edit->LoadFromStream(&stream);
    }
    Bytes Data()
    {
        Bytes out(static_cast<size_t>(edit->GetDataSize()));
        if (!out.empty())
            edit->GetData(0, static_cast<int32_t>(out.size()), out.data());
        return out;
    }
    void Down(WORD key) { Vcl::RouteInput(form, WM_KEYDOWN, key, 1); }
    void Up(WORD key) { Vcl::RouteInput(form, WM_KEYUP, key, 0xC0000001); }
    void Press(WORD key) { Down(key), Up(key); }
    void Char(WCHAR c) { Vcl::RouteInput(form, WM_CHAR, c, 1); }
    void Type(const std::u16string& text)
    {
        for (char16_t c : text)
            Char(c);
    }
    // Mouse input at a point of the editor's client area.
    void Mouse(UINT message, int x, int y, WPARAM keys = 0)
    {
        const TPoint o = edit->FormOrigin();
        Vcl::RouteInput(form, message, keys, MAKELPARAM(x + o.x, y + o.y));
    }
    // The client point in the middle of byte p's high digit (hex column) or character (text).
    TPoint HexPoint(int64_t p)
    {
        return TPoint(edit->HexX() + int(p % 16) * 3 * edit->CharWidth() + 1,
                      int((p / 16 - edit->FirstVisible()) * edit->LineHeight()) + 2);
    }
    // A pixel at a point of the editor's client area.
    uint32_t Pixel(int x, int y)
    {
        const TPoint o = edit->FormOrigin();
        return form->Pixels()[(y + o.y) * form->ClientWidth() + x + o.x] & 0xFFFFFF;
    }
    // The pixels of a rectangle of the form, for comparing two paintings.
    std::vector<uint32_t> Area(const TRect& r)
    {
        std::vector<uint32_t> out;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                out.push_back(Pixel(x, y));
        return out;
    }
    void Repaint()
    {
        edit->Invalidate();
        form->PaintDirty();
    }

    TForm* form = nullptr;
    XHexEdit* edit = nullptr;
};

Bytes GetBlock(UINT format)
{
    Bytes out;
    if (!OpenClipboard(nullptr))
        return out;
    if (HANDLE block = GetClipboardData(format))
    {
        const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
        out.assign(p, p + GlobalSize(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return out;
}
} // namespace

// ---- layout and painting --------------------------------------------------------------------

TEST_F(HexEditTest, NewEditorAndLayoutArithmetic)
{
    XHexEdit fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 150);
    EXPECT_EQ(fresh.Height(), 120);
    EXPECT_EQ(fresh.Color(), clWhite);
    EXPECT_EQ(fresh.Interval(), 1.5);
    EXPECT_EQ(fresh.Margin(), 20);
    EXPECT_TRUE(fresh.InsertMode && fresh.CanGrow && fresh.ShowAddress() && fresh.ShowAscii());
    EXPECT_EQ(fresh.HintMode(), hmUInt);

    const int cw = edit->CharWidth();
    EXPECT_GT(cw, 1);
    EXPECT_EQ(edit->HexX(), edit->Margin() + 8 * cw + 30);
    EXPECT_EQ(edit->TextX(), edit->HexX() + 48 * cw + 30);
    edit->SetShowAddress(false);
    EXPECT_EQ(edit->HexX(), edit->Margin());
    edit->SetShowAddress(true);

    for (double ignored : {0.79, 2.6})
    {
        edit->SetInterval(ignored);
        EXPECT_EQ(edit->Interval(), 1.5);
    }
    for (double taken : {0.8, 2.5})
    {
        edit->SetInterval(taken);
        EXPECT_EQ(edit->Interval(), taken);
    }
    edit->SetMargin(-5);
    EXPECT_EQ(edit->Margin(), 0);
    edit->SetMargin(250);
    EXPECT_EQ(edit->Margin(), 100);

    const int hexX = edit->HexX();
    edit->SetWidth(300);
    edit->SetHScrollPos(40);
    EXPECT_EQ(edit->HexX(), hexX - 40);
    edit->SetHScrollPos(0);
    EXPECT_EQ(edit->HexX(), hexX);

    // The hit test sums in 64 bits: a point at the far end of the coordinates is in the text
    // column on its line's last byte.
    int64_t column = 0, pos = 0;
    EXPECT_TRUE(edit->ComputePosition(2147483647, 2147483647, column, pos));
    EXPECT_EQ(column, 15);
    EXPECT_EQ(pos, (2147483647 / edit->LineHeight()) * 16 + 15);
    EXPECT_FALSE(edit->ComputePosition(-2147483647 - 1, 0, column, pos));
    EXPECT_EQ(pos, 0);

    // The pointer over the editor is the I-beam.
    EXPECT_EQ(fresh.Cursor(), crIBeam);
    Mouse(WM_MOUSEMOVE, 40, 20);
    EXPECT_EQ(form->CursorShown(), crIBeam);

    int w = 20 * cw, h = 3 * edit->LineHeight() + 1;
    EXPECT_FALSE(edit->CanResize(w, h));
    w = 20 * cw + 1;
    EXPECT_TRUE(edit->CanResize(w, h));
    h = 3 * edit->LineHeight();
    EXPECT_FALSE(edit->CanResize(w, h));
}

TEST_F(HexEditTest, AddressesWrapAtThirtyTwoBitsAndTheThumbPageStaysAtLeastThree)
{
    Load(Bytes(16, 0x11));
    EXPECT_EQ(edit->GetLinesCount(), 2);
    Repaint();
    const int lh = edit->LineHeight();
    const TRect firstAddress(edit->AddressX(), 0, edit->HexX() - 30, lh);
    const TRect secondAddress(edit->AddressX(), lh, edit->HexX() - 30, 2 * lh);
    const auto zeroLine = Area(firstAddress);
    const auto sixteenLine = Area(secondAddress);
    EXPECT_NE(zeroLine, std::vector<uint32_t>(zeroLine.size(), 0xFFFFFF)); // digits are drawn

    // "00000010" drawn by hand in the same font at the same place.
    TBitmap expected;
    expected.SetSize(form->ClientWidth(), 2 * lh);
    expected.Canvas()->Font()->Assign(edit->Font());
    for (int d = 0; d < 8; ++d)
        expected.Canvas()->TextOut(edit->AddressX() + d * edit->CharWidth(), lh + 1,
                                   UnicodeString(d == 6 ? u"1" : u"0"));
    std::vector<uint32_t> drawn;
    for (int y = lh; y < 2 * lh; ++y)
        for (int x = secondAddress.left; x < secondAddress.right; ++x)
            drawn.push_back(expected.ScanLine(y)[x] & 0xFFFFFF);
    ASSERT_EQ(sixteenLine.size(), drawn.size());
    EXPECT_EQ(sixteenLine, drawn);

    edit->SetStartAddress(int64_t(1) << 32);
    Repaint();
    EXPECT_EQ(Area(firstAddress), zeroLine);
    EXPECT_EQ(Area(secondAddress), sixteenLine);
    edit->SetStartAddress(-1);
    EXPECT_EQ(edit->StartAddress(), int64_t(1) << 32);

    Load(Bytes(16000000, 0));
    ASSERT_TRUE(edit->VertScrollBarShown());
    EXPECT_EQ(edit->VertScrollPage(), 3);
    edit->SetFirstVisible(1 << 30);
    EXPECT_EQ(edit->FirstVisible(), edit->GetLinesCount() - edit->GetLinesPerPage() - 1);
}

TEST_F(HexEditTest, SelectionPaintsComplementsAndSampleDifferencesPaintRed)
{
    Bytes bytes(64);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    Load(bytes);
    edit->SetSelection(20, 4);
    Repaint();
    EXPECT_EQ(edit->PaintedInvertedBackground(), 0x000000);
    const TPoint selected = HexPoint(21);
    // The selected cell's background is the complement of white: black.
    EXPECT_EQ(Pixel(selected.x + 2 * edit->CharWidth() + 2, selected.y + 1), 0x000000u);
    const TPoint plain = HexPoint(30);
    EXPECT_EQ(Pixel(plain.x + 2 * edit->CharWidth() + 2, plain.y + 1), 0xFFFFFFu);

    XHexEdit sample(form);
    Bytes shorter = bytes;
    shorter.pop_back();
    shorter[5] ^= 1;
    TMemoryStream s;
    s.Write(shorter.data(), static_cast<int32_t>(shorter.size()));
    s.SetPosition(0);
    sample.LoadFromStream(&s);
    edit->SetSampleEdit(&sample);
    edit->SetSelection(0, 0);
    edit->SetPosition(40); // the caret line's frames away from the bytes looked at
    Repaint();
    auto inkOf = [&](int64_t p)
    {
        std::vector<uint32_t> ink;
        TPoint at = HexPoint(p);
        for (int y = at.y - 1; y < at.y + edit->LineHeight() - 2; ++y)
            for (int x = at.x - 1; x < at.x + 2 * edit->CharWidth(); ++x)
                if (Pixel(x, y) != 0xFFFFFF)
                    ink.push_back(Pixel(x, y));
        return ink;
    };
    // Pixels are 0x00RRGGBB: red ink on white keeps full red; black ink does not.
    const auto red = inkOf(5), black = inkOf(6);
    ASSERT_FALSE(red.empty());
    for (uint32_t c : red)
        EXPECT_EQ(c >> 16, 0xFFu) << std::hex << c;
    EXPECT_TRUE(std::any_of(red.begin(), red.end(), [](uint32_t c) { return (c & 0xFF) < 0x40; }));
    EXPECT_TRUE(std::any_of(black.begin(), black.end(), [](uint32_t c) { return c < 0x404040; }));

    EXPECT_EQ(edit->GetNextDifference(0), 5);
    EXPECT_EQ(edit->GetNextDifference(6), 63); // the byte the sample lacks counts as 0
    EXPECT_EQ(edit->GetPrevDifference(63), 5);
    EXPECT_EQ(edit->GetPrevDifference(5), 5);
    edit->SetSampleEdit(edit);
    EXPECT_EQ(edit->SampleEdit(), &sample);
    {
        XHexEdit* doomed = new XHexEdit(form);
        edit->SetSampleEdit(doomed);
        delete doomed;
        EXPECT_EQ(edit->SampleEdit(), nullptr);
    }
}

// ---- caret, selection, editing --------------------------------------------------------------

TEST_F(HexEditTest, TypingInsertsOverwritesAndAdvances)
{
    Type(u"AB");
    EXPECT_EQ(Data(), Bytes{0xAB});
    EXPECT_EQ(edit->Position(), 1);

    Load({0x12, 0x34});
    edit->InsertMode = false;
    Char(u'7');
    EXPECT_EQ(Data(), (Bytes{0x72, 0x34}));
    EXPECT_EQ(edit->Position(), 0);
    EXPECT_EQ(edit->Nibble(), 1);
    Char(u'F');
    EXPECT_EQ(Data(), (Bytes{0x7F, 0x34}));
    EXPECT_EQ(edit->Position(), 1);
    EXPECT_EQ(edit->Nibble(), 0);

    Load({0x12, 0x34});
    edit->InsertMode = true;
    edit->CanGrow = false;
    Char(u'5');
    EXPECT_EQ(Data(), (Bytes{0x50, 0x34}));

    // Text column: low 8 bits of the character.
    edit->CanGrow = true;
    Load({0x12, 0x34, 0x56});
    const TPoint text(edit->TextX() + 2 * edit->TextCharWidth() + 1, 2);
    Mouse(WM_LBUTTONDOWN, text.x, text.y, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, text.x, text.y);
    ASSERT_TRUE(edit->CaretInText());
    EXPECT_EQ(edit->Position(), 2);
    Char(u'\u0410');
    EXPECT_EQ(Data(), (Bytes{0x12, 0x34, 0x10, 0x56}));
    edit->CanGrow = false;
    Char(u'x');
    EXPECT_EQ(Data(), (Bytes{0x12, 0x34, 0x10, 'x'})); // the last byte dropped, the size kept

    // Typed quickly, with Shift held for capitals: each byte lands after the one before and
    // nothing gets selected.
    Load({0x00, 0x11});
    edit->CanGrow = true;
    const TPoint second = HexPoint(1);
    Mouse(WM_LBUTTONDOWN, second.x, second.y, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, second.x, second.y);
    ASSERT_FALSE(edit->CaretInText());
    Down(VK_SHIFT);
    Type(u"DEADBEEF");
    Up(VK_SHIFT);
    Platform::DispatchPostedMessages();
    EXPECT_EQ(Data(), (Bytes{0x00, 0xDE, 0xAD, 0xBE, 0xEF, 0x11}));
    EXPECT_EQ(edit->SelLength(), 0);
    EXPECT_TRUE(edit->Modified);
}

TEST_F(HexEditTest, KeysMoveAndSelect)
{
    Load(Bytes(100, 0));
    edit->SetPosition(5);
    Down(VK_SHIFT);
    Press(VK_RIGHT), Press(VK_RIGHT), Press(VK_RIGHT);
    Up(VK_SHIFT);
    EXPECT_EQ(edit->SelStart(), 5);
    EXPECT_EQ(edit->SelLength(), 3);
    Press(VK_RIGHT);
    EXPECT_EQ(edit->SelLength(), 0);
    edit->SetPosition(5);
    Down(VK_SHIFT);
    Press(VK_LEFT), Press(VK_LEFT), Press(VK_LEFT);
    Up(VK_SHIFT);
    EXPECT_EQ(edit->SelStart(), 2);
    EXPECT_EQ(edit->SelLength(), 3);

    Press(VK_END);
    EXPECT_EQ(edit->Position(), 15);
    Down(VK_CONTROL);
    Press(VK_END);
    EXPECT_EQ(edit->Position(), 100);
    Press(VK_HOME);
    EXPECT_EQ(edit->Position(), 0);
    Press(VK_DOWN); // Ctrl+Down scrolls without moving the caret
    Up(VK_CONTROL);
    EXPECT_EQ(edit->Position(), 0);

    // Delete at the end deletes nothing; Backspace at 0 without a selection neither.
    Press(VK_DELETE);
    EXPECT_EQ(edit->GetDataSize(), 99);
    edit->SetPosition(0);
    Press(VK_BACK);
    EXPECT_EQ(edit->GetDataSize(), 99);
    edit->SetPosition(edit->GetDataSize());
    Press(VK_DELETE);
    EXPECT_EQ(edit->GetDataSize(), 99);
    // Past the end the caret stops on the end itself, the place where typing appends.
    Press(VK_RIGHT);
    EXPECT_EQ(edit->Position(), 99);
    edit->SetPosition(0);
    edit->SetPosition(edit->GetDataSize() + 40);
    EXPECT_EQ(edit->Position(), 99);
}

TEST_F(HexEditTest, ReadOnlyStopsEveryKeyThatChangesData)
{
    Load({1, 2, 3, 4});
    PutBytes(edit->ClipboardFormat(), {1, 0, 0, 0, 9});
    edit->ReadOnly = true;
    edit->SetPosition(2);
    Char(u'A');
    Press(VK_BACK);
    Press(VK_DELETE);
    Down(VK_SHIFT), Press(VK_INSERT), Up(VK_SHIFT);
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4}));
    edit->SetSelection(1, 2);
    Down(VK_CONTROL), Press(VK_DELETE), Up(VK_CONTROL);
    EXPECT_EQ(Data(), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(GetBlock(edit->ClipboardFormat()), (Bytes{2, 0, 0, 0, 2, 3}));
    EXPECT_FALSE(edit->Modified);
    edit->ReadOnly = false;
    edit->SetSelection(1, 2);
    Press(VK_DELETE);
    EXPECT_EQ(Data(), (Bytes{1, 4}));
}

TEST_F(HexEditTest, MouseSelectsAndDoubleClickTakesTheLineAlsoWhenScrolledSideways)
{
    Load(Bytes(64, 0x55));
    TPoint a = HexPoint(17), b = HexPoint(20);
    Mouse(WM_LBUTTONDOWN, a.x, a.y, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, b.x, b.y, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, b.x, b.y);
    EXPECT_EQ(edit->SelStart(), 17);
    EXPECT_EQ(edit->SelLength(), 3);

    edit->SetWidth(300);
    edit->SetHScrollPos(3 * edit->CharWidth() * 4);
    TPoint c = HexPoint(37);
    ASSERT_GT(c.x, 0);
    Mouse(WM_LBUTTONDOWN, c.x, c.y, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, c.x, c.y);
    const int64_t single = edit->Position();
    EXPECT_EQ(single, 37);
    Mouse(WM_LBUTTONDBLCLK, c.x, c.y, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, c.x, c.y);
    EXPECT_EQ(edit->Position(), single);
    EXPECT_EQ(edit->SelStart(), 32);
    EXPECT_EQ(edit->SelLength(), 16);

    // Dragged right of a line's last byte, the selection runs to the line's end.
    edit->SetHScrollPos(0);
    edit->SetWidth(740);
    for (int x : {edit->HexX() + 48 * edit->CharWidth() + 5, edit->TextX() + 16 * edit->TextCharWidth() + 5})
    {
        Mouse(WM_LBUTTONDOWN, a.x, a.y, MK_LBUTTON);
        Mouse(WM_MOUSEMOVE, x, a.y, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, x, a.y);
        EXPECT_EQ(edit->SelStart(), 17);
        EXPECT_EQ(edit->SelLength(), 15);
    }
}

// A point over a byte's digits or character is that byte; beside a column it is that column's
// nearest byte on the same line: the hex column up to the middle of the gap, the text column past it.
TEST_F(HexEditTest, APointHitsTheByteUnderItOnItsOwnLine)
{
    Load(Bytes(64, '.'));
    const int cw = edit->CharWidth(), wcw = edit->TextCharWidth(), lh = edit->LineHeight();
    const int digitsEnd = edit->HexX() + 47 * cw, textX = edit->TextX();
    const int gapMiddle = (digitsEnd + textX) / 2;
    // (x, in the text column, column): each digit's and character's first and last pixel, the two
    // halves of the gap, and the points beside the columns.
    std::vector<std::tuple<int, bool, int64_t>> hits = {
        {0, false, 0},        {digitsEnd, false, 15},       {gapMiddle - 1, false, 15}, {gapMiddle, true, 0},
        {textX - 1, true, 0}, {textX + 16 * wcw, true, 15}, {edit->ClientWidth() - 1, true, 15}};
    for (int k = 0; k < 16; ++k)
    {
        const int hex = edit->HexX() + 3 * k * cw, text = textX + k * wcw;
        hits.insert(hits.end(), {{hex, false, k}, {hex + 2 * cw - 1, false, k}});
        hits.insert(hits.end(), {{text, true, k}, {text + wcw - 1, true, k}});
    }
    for (auto [x, inText, column] : hits)
        for (int64_t line : {0, 2})
        {
            int64_t hitColumn = -1, pos = -1;
            EXPECT_EQ(edit->ComputePosition(x, int(line) * lh + lh / 2, hitColumn, pos), inText) << "x " << x;
            EXPECT_EQ(pos, line * 16 + column) << "x " << x << ", line " << line;
        }

    // Clicked there, "Hi!" lands on that byte of line 1, or is dropped in the hex column, where
    // only digits land.
    const std::tuple<int, int64_t, bool> typed[] = {
        {textX, 16, true}, {textX + 15 * wcw, 31, true}, {gapMiddle, 16, true}, {gapMiddle - 1, 31, false}};
    for (auto [x, at, text] : typed)
    {
        Load(Bytes(64, '.'));
        Mouse(WM_LBUTTONDOWN, x, lh + lh / 2, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, x, lh + lh / 2);
        Type(u"Hi!");
        Platform::DispatchPostedMessages();
        Bytes want(64, '.');
        if (text)
            want.insert(want.begin() + at, {'H', 'i', '!'});
        EXPECT_EQ(Data(), want) << "x " << x;
        EXPECT_EQ(edit->Position(), text ? at + 3 : at) << "x " << x;
    }

    // Without the text column the hex column takes every point right of it.
    edit->SetShowAscii(false);
    int64_t column = -1, pos = -1;
    EXPECT_FALSE(edit->ComputePosition(textX + 5 * wcw, lh / 2, column, pos));
    EXPECT_EQ(pos, 15);
}

// ---- clipboard ------------------------------------------------------------------------------

TEST_F(HexEditTest, ClipboardForms)
{
    Load({0x41, 0x00, 0x42});
    PutBytes(CF_TEXT, {'k', 0});
    edit->CopyToClipboard(); // no selection: untouched
    EXPECT_EQ(GetBlock(CF_TEXT), (Bytes{'k', 0}));
    edit->SelectAll();
    edit->CopyToClipboard();
    EXPECT_EQ(GetBlock(edit->ClipboardFormat()), (Bytes{3, 0, 0, 0, 0x41, 0, 0x42}));
    edit->CopyToClipboardAsText();
    EXPECT_EQ(GetBlock(CF_TEXT), (Bytes{0x41, 0x20, 0x42, 0}));
    edit->CopyToClipboardAsHexText();
    EXPECT_EQ(GetBlock(CF_TEXT), (Bytes{'4', '1', '0', '0', '4', '2', 0}));

    Load(Bytes(8, 0));
    edit->SetSelection(2, 0);
    PutBytes(edit->ClipboardFormat(), {5, 0, 0, 0, 1, 2, 3, 4, 5});
    edit->PasteFromClipboard();
    EXPECT_EQ(Data(), (Bytes{0, 0, 1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(edit->SelStart(), 2);
    EXPECT_EQ(edit->SelLength(), 5);
    EXPECT_TRUE(edit->Modified);

    edit->InsertMode = false;
    Load(Bytes(5, 0));
    edit->SetSelection(2, 0);
    edit->PasteFromClipboard();
    EXPECT_EQ(Data(), (Bytes{0, 0, 1, 2, 3}));
    edit->InsertMode = true;

    // Blocks that claim more than they hold, or hold less than a count: no overrun.
    struct Case
    {
        Bytes block;
        size_t grows;
    };
    const Case hostile[] = {
        {{}, 0},
        {{1, 0, 0}, 0},
        {{0xE8, 0x03, 0, 0, 7, 7, 7, 7}, 4},
        {{0xFF, 0xFF, 0xFF, 0xFF, 7, 7, 7, 7}, 4},
    };
    for (const Case& c : hostile)
    {
        Load({9});
        PutBytes(edit->ClipboardFormat(), c.block);
        edit->PasteFromClipboard();
        EXPECT_EQ(Data().size(), 1 + c.grows);
    }
    Load({9});
    PutBytes(CF_TEXT, {'a', 'b', 'c'}); // no terminator
    edit->PasteTextFromClipboard();
    EXPECT_EQ(Data(), (Bytes{'a', 'b', 'c', 9}));
    Load({9});
    PutBytes(CF_TEXT, {'a', 0, 'x', 'y'}); // stops at the NUL
    edit->PasteTextFromClipboard();
    EXPECT_EQ(Data(), (Bytes{'a', 9}));
}

// ---- search ---------------------------------------------------------------------------------

TEST_F(HexEditTest, FindSkipsTheCaretByteFoldsCaseAndCrossesBlocks)
{
    Bytes data(40000, '.');
    std::memcpy(&data[0], "abcabc", 6);
    data[16382] = 'X', data[16383] = 'Y', data[16384] = 'Z';
    std::memcpy(&data[30000], "ABC", 3);
    std::memcpy(&data[30010], "\xC0" "BC", 3);
    std::memcpy(&data[39997], "END", 3);
    Load(data);
    const uint8_t none = 0;
    EXPECT_FALSE(edit->Find(&none, 0, {frDown}));
    Bytes huge(8193, '.');
    EXPECT_FALSE(edit->Find(huge.data(), 8193, {frDown}));

    // A match at the caret byte is skipped; one at the next byte is found.
    EXPECT_TRUE(edit->Find("abc", 3, {frDown, frMatchCase}));
    EXPECT_EQ(edit->Position(), 3);
    EXPECT_EQ(edit->SelStart(), 3);
    EXPECT_EQ(edit->SelLength(), 3);
    edit->SetPosition(2);
    EXPECT_TRUE(edit->Find("abc", 3, {frDown, frMatchCase}));
    EXPECT_EQ(edit->Position(), 3);

    EXPECT_TRUE(edit->Find("XYZ", 3, {frDown, frMatchCase}));
    EXPECT_EQ(edit->Position(), 16382);
    EXPECT_TRUE(edit->Find("abc", 3, {frDown}));
    EXPECT_EQ(edit->Position(), 30000);
    EXPECT_LE(edit->FirstVisible(), 30000 / 16);
    EXPECT_GE(edit->LastVisible(), 30000 / 16);
    const uint8_t e0 = 0xE0;
    EXPECT_TRUE(edit->Find(&e0, 1, {frDown}));
    EXPECT_EQ(edit->Position(), 30010);
    EXPECT_FALSE(edit->Find(&e0, 1, {frDown, frMatchCase}));
    EXPECT_TRUE(edit->Find("END", 3, {frDown, frMatchCase})); // ends at the last byte
    EXPECT_EQ(edit->Position(), 39997);
    EXPECT_FALSE(edit->Find("abc", 3, {frDown, frMatchCase}));
    EXPECT_EQ(edit->Position(), 39997);

    // Without frDown: the nearest match that starts before the caret.
    EXPECT_TRUE(edit->Find("abc", 3, {}));
    EXPECT_EQ(edit->Position(), 30000);
    EXPECT_TRUE(edit->Find("abc", 3, {frMatchCase}));
    EXPECT_EQ(edit->Position(), 3);
    EXPECT_TRUE(edit->Find("abc", 3, {frMatchCase}));
    EXPECT_EQ(edit->Position(), 0);
    EXPECT_FALSE(edit->Find("abc", 3, {frMatchCase}));

    // Wide text is searched for as its narrow bytes: U+0430 is 0xE0, which folds onto 0xC0.
    edit->SetPosition(0);
    EXPECT_TRUE(edit->FindTextW(u"\u0430bc", {frDown}));
    EXPECT_EQ(edit->Position(), 30010);
    EXPECT_EQ(edit->SelLength(), 3);
}

// ---- value hints ----------------------------------------------------------------------------

TEST_F(HexEditTest, HintValuesByMode)
{
    struct Case
    {
        XHintMode mode;
        Bytes bytes;
        const char16_t* text;
    };
    const Case cases[] = {
        {hmUInt, {0x01, 0, 0, 0x80}, u"2147483649"},
        {hmInt, {0x01, 0, 0, 0x80}, u"-2147483647"},
        {hmChar, {0xFF}, u"-1"},
        {hmUShort, {0xFF, 0xFF}, u"65535"},
        {hmHexWord, {0x34, 0x12}, u"0x1234"},
        {hmHexQWord, {1, 2, 3, 4, 5, 6, 7, 0xAB}, u"0xAB07060504030201"},
        {hmLong, Bytes(8, 0xFF), u"-1"},
        {hmULong, Bytes(8, 0xFF), u"18446744073709551615"},
        {hmFloat, {0, 0, 0xC0, 0x3F}, u"1.5"},
        {hmDouble, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, u"INF"},
        {hmDouble, {0, 0, 0, 0, 0, 0, 0xF0, 0xFF}, u"-INF"},
        {hmExtended, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}, u"1"},
        {hmExtended, {0, 0, 0, 0, 0, 0, 0, 0x00, 0xFF, 0x3F}, u"NAN"}, // no integer bit
        {hmAnsiString, {0x48, 0x69, 0x00, 0x41}, u"Hi"},
        {hmAnsiString, {0xC0, 0xE1}, u"\u0410\u0431"},
        {hmWideString, {0x10, 0x04, 0x41, 0x00}, u"\u0410A"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.mode));
        Load(c.bytes);
        edit->SetHintMode(c.mode);
        UnicodeString text;
        ASSERT_TRUE(edit->FormatHint(0, text));
        EXPECT_EQ(text.str(), c.text);
    }
    Load({1, 2, 3, 4, 5});
    edit->SetHintMode(hmInt);
    UnicodeString text;
    EXPECT_FALSE(edit->FormatHint(2, text)); // only 3 bytes left
    edit->SetHintMode(hmShort);
    EXPECT_TRUE(edit->FormatHint(2, text));
    EXPECT_FALSE(edit->FormatHint(-1, text));
    edit->SetHintMode(hmNone);
    EXPECT_EQ(edit->HintMode(), hmUChar);
}

TEST_F(HexEditTest, CtrlShowsTheHintAtThePointerOnTheNextTickAndReleasingEndsIt)
{
    ManualClock clock;
    Load({0x01, 0, 0, 0x80, 9, 9});
    edit->SetFocus();
    const TPoint at = HexPoint(0);
    Mouse(WM_MOUSEMOVE, at.x, at.y);
    Down(VK_CONTROL);
    EXPECT_TRUE(edit->GetShowHint());
    EXPECT_EQ(edit->HintWindow(), nullptr);
    clock.Advance(300);
    Application->ProcessMessages();
    ASSERT_NE(edit->HintWindow(), nullptr);
    EXPECT_EQ(edit->HintWindow()->Caption(), u"2147483649");
    const TPoint screen = edit->ClientToScreen(at);
    EXPECT_EQ(edit->HintWindow()->Left(), screen.x);
    EXPECT_EQ(edit->HintWindow()->Top(), screen.y);
    EXPECT_TRUE(edit->HintWindow()->Visible());

    // Over the last bytes there is not enough for the mode: the hint ends.
    const TPoint late = HexPoint(4);
    Mouse(WM_MOUSEMOVE, late.x, late.y);
    clock.Advance(300);
    Application->ProcessMessages();
    EXPECT_EQ(edit->HintWindow(), nullptr);
    Mouse(WM_MOUSEMOVE, at.x, at.y);
    clock.Advance(300);
    Application->ProcessMessages();
    ASSERT_NE(edit->HintWindow(), nullptr);
    Up(VK_CONTROL);
    EXPECT_EQ(edit->HintWindow(), nullptr);
    EXPECT_FALSE(edit->GetShowHint());

    // The window losing the keyboard and getting it back neither leaves nor enters the editor;
    // the focus going to another control does.
    static std::string events;
    events.clear();
    edit->OnEnter = +[](TObject*) { events += "+"; };
    edit->OnExit = +[](TObject*) { events += "-"; };
    form->Perform(WM_ACTIVATE, 0, 0);
    form->Perform(WM_ACTIVATE, 1, 0);
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(events, "");

    // Losing the focus ends a showing hint and the flag.
    Down(VK_CONTROL);
    clock.Advance(300);
    Application->ProcessMessages();
    ASSERT_NE(edit->HintWindow(), nullptr);
    TEdit other(form);
    other.SetParent(form);
    other.SetFocus();
    EXPECT_EQ(edit->HintWindow(), nullptr);
    EXPECT_FALSE(edit->GetShowHint());
    EXPECT_FALSE(edit->HintTimer()->Enabled());
    EXPECT_EQ(events, "-");
    Up(VK_CONTROL);
    edit->SetFocus();
    EXPECT_EQ(events, "-+");
}

TEST_F(HexEditTest, AHintByTheScreensCornerStandsWholeOnTheScreen)
{
    ManualClock clock;
    // The longest value hint: a string of a thousand letters with no space to break at.
    Bytes bytes(1000, 'W');
    bytes.push_back(0);
    Load(bytes);
    edit->SetHintMode(hmAnsiString);
    const std::u16string text(1000, u'W');
    // The form moved so that the first byte lies near the bottom-right corner of the screen.
    const TPoint at = HexPoint(0);
    const TPoint before = edit->ClientToScreen(at);
    form->SetBounds(form->Left() + Screen->Width - 30 - before.x,
                    form->Top() + Screen->Height - 20 - before.y, form->Width(), form->Height());
    const TPoint screen = edit->ClientToScreen(at);
    ASSERT_EQ(screen.x, Screen->Width - 30);
    edit->SetFocus();
    Mouse(WM_MOUSEMOVE, at.x, at.y);
    Down(VK_CONTROL);
    clock.Advance(300);
    Application->ProcessMessages();
    THintWindow* hint = edit->HintWindow();
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->Caption().str(), text);
    const TRect r = hint->BoundsRect();
    EXPECT_TRUE(OnScreen(r));
    EXPECT_LT(r.bottom, screen.y); // above the pointer, which it would cover below
    const auto lines = DrawnLines::ReadHint(*hint, text);
    EXPECT_EQ(DrawnLines::Joined(lines), text);
    EXPECT_GT(lines.size(), 1u);
    // In the middle of a 640 x 480 screen it has room neither below nor above the pointer: its
    // top stays on the screen.
    ScreenSize small(640, 480);
    const TPoint now = edit->ClientToScreen(at);
    form->SetBounds(form->Left() + 320 - now.x, form->Top() + 240 - now.y, form->Width(), form->Height());
    clock.Advance(300);
    Application->ProcessMessages();
    ASSERT_EQ(edit->HintWindow(), hint);
    EXPECT_GT(hint->Height(), 240);
    EXPECT_EQ(hint->Top(), 0);
    Up(VK_CONTROL);
}

// ---- files ----------------------------------------------------------------------------------

class HexEditFileTest : public HexEditTest
{
protected:
    void SetUp() override
    {
        HexEditTest::SetUp();
        Load({7, 7, 7});
        edit->SetSelection(1, 1);
        edit->SetPosition(2);
        edit->Modified = true;
        edit->FileName = u"old.bin";
    }
    // The editor is as it was before a failed load or save.
    void ExpectKept()
    {
        EXPECT_EQ(Data(), (Bytes{7, 7, 7}));
        EXPECT_EQ(edit->FileName, UnicodeString(u"old.bin"));
        EXPECT_TRUE(edit->Modified);
        EXPECT_EQ(edit->Position(), 2);
        EXPECT_EQ(edit->SelStart(), 1);
        EXPECT_EQ(edit->SelLength(), 1);
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dir{"hexedit"};
};

TEST_F(HexEditFileTest, FailedLoadsShowReadErrorAndKeepEverything)
{
    std::filesystem::create_directory(dir / "folder");
    ::mkfifo((dir / "fifo").c_str(), 0644);
    {
        // A sparse file past 2^31 - 1 bytes.
        int fd = ::open((dir / "huge").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, int64_t(3) << 30), 0);
        ::close(fd);
    }
    for (const char* name : {"missing", "folder", "fifo", "huge"})
    {
        SCOPED_TRACE(name);
        BoxRecorder boxes;
        edit->LoadFromFile(UnicodeString(Wide(dir / name)));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, u"Ошибка чтения.");
        ExpectKept();
    }
    WriteWholeFile(dir / "locked", std::string("abc"));
    ::chmod((dir / "locked").c_str(), 0);
    EXPECT_TRUE(InChildProcess(
        [&]
        {
            if (!BecomeUnprivileged())
                return false;
            BoxRecorder boxes;
            edit->LoadFromFile(UnicodeString(Wide(dir / "locked")));
            return boxes.boxes.size() == 1 && boxes.boxes[0].text == u"Ошибка чтения." && Data() == Bytes{7, 7, 7};
        }));

    WriteWholeFile(dir / "good", std::string("\x01\x02", 2));
    BoxRecorder boxes;
    edit->LoadFromFile(UnicodeString(Wide(dir / "good")));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Data(), (Bytes{1, 2}));
    EXPECT_FALSE(edit->Modified);
    EXPECT_EQ(edit->Position(), 0);
    EXPECT_EQ(edit->FileName, UnicodeString(Wide(dir / "good")));
    // The editor keeps its own copy.
    WriteWholeFile(dir / "good", std::string("zzzz"));
    EXPECT_EQ(Data(), (Bytes{1, 2}));
}

TEST_F(HexEditFileTest, ShortReadsAndWritesAreErrors)
{
    // A stream that delivers fewer bytes than its size (a file shrinking while read).
    class Shrinking : public TMemoryStream
    {
    public:
        int32_t Read(void* buffer, int32_t count) override { return TMemoryStream::Read(buffer, count / 2); }
        int32_t Write(const void* buffer, int32_t count) override
        {
            return TMemoryStream::Write(buffer, count > 1 ? count - 1 : count);
        }
    } stream;
    EXPECT_THROW(edit->SaveToStream(&stream), EWriteError);
    EXPECT_TRUE(edit->Modified);
}

TEST_F(HexEditFileTest, FailedSavesShowWriteErrorAndLeaveTheTargetAsItWas)
{
    const auto target = dir / "target.bin";
    WriteWholeFile(target, std::string("original"));
    ::chmod(target.c_str(), 0640);

    // Out of room: no file may grow past the limit.
    for (unsigned long long limit : {0ull, 1ull, 2ull})
    {
        SCOPED_TRACE(limit);
        EXPECT_TRUE(InChildProcess(
            [&]
            {
                LimitFileSize(limit);
                BoxRecorder boxes;
                edit->SaveToFile(UnicodeString(Wide(target)));
                return boxes.boxes.size() == 1 && boxes.boxes[0].text == u"Ошибка записи." &&
                       edit->FileName == UnicodeString(u"old.bin") && edit->Modified;
            }));
        EXPECT_EQ(ReadWholeFile(target), "original");
        EXPECT_EQ(Names(), std::vector<std::string>{"target.bin"});
    }
    // A folder in the target's place.
    std::filesystem::create_directory(dir / "folder");
    {
        BoxRecorder boxes;
        edit->SaveToFile(UnicodeString(Wide(dir / "folder")));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, u"Ошибка записи.");
        ExpectKept();
    }
    // A read-only target, and a read-only folder, bind a user who is not root.
    std::filesystem::remove(dir / "folder");
    ::chmod(dir.Path().c_str(), 0755);
    ::chown(dir.Path().c_str(), 0, 0);
    ::chmod(target.c_str(), 0444);
    EXPECT_TRUE(InChildProcess(
        [&]
        {
            if (!BecomeUnprivileged())
                return false;
            BoxRecorder boxes;
            edit->SaveToFile(UnicodeString(Wide(target)));
            return boxes.boxes.size() == 1 && boxes.boxes[0].text == u"Ошибка записи.";
        }));
    EXPECT_EQ(ReadWholeFile(target), "original");
    EXPECT_EQ(Names(), std::vector<std::string>{"target.bin"});
    ::chmod(target.c_str(), 0640);
}

// Large saves go out in pieces: every byte arrives in its place, and running out of room at, just
// before or just after a piece's end still fails whole.
TEST_F(HexEditFileTest, LargeSavesArriveWholeOrNotAtAll)
{
    const size_t piece = 8u << 20;
    Bytes bytes(2 * piece + piece / 2 + 3);
    uint32_t seed = 99;
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    Load(bytes);
    edit->Modified = true;
    edit->FileName = u"old.bin";
    const auto target = dir / "large.bin";
    WriteWholeFile(target, std::string("original"));
    for (unsigned long long limit : {piece - 1, piece, piece + 1, 2 * piece + 5, bytes.size() - 1})
    {
        SCOPED_TRACE(limit);
        EXPECT_TRUE(InChildProcess(
            [&]
            {
                LimitFileSize(limit);
                BoxRecorder boxes;
                edit->SaveToFile(UnicodeString(Wide(target)));
                return boxes.boxes.size() == 1 && boxes.boxes[0].text == u"Ошибка записи." && edit->Modified;
            }));
        EXPECT_EQ(ReadWholeFile(target), "original");
        EXPECT_EQ(Names(), std::vector<std::string>{"large.bin"});
    }
    BoxRecorder boxes;
    edit->SaveToFile(UnicodeString(Wide(target)));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(edit->Modified);
    const std::string saved = ReadWholeFile(target);
    ASSERT_EQ(saved.size(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), reinterpret_cast<const uint8_t*>(saved.data())));
}

TEST_F(HexEditFileTest, SavesReplaceTheFileKeepTheModeAndFollowLinks)
{
    const auto target = dir / "real.bin";
    WriteWholeFile(target, std::string("original"));
    ::chmod(target.c_str(), 0604);
    std::filesystem::create_symlink("real.bin", dir / "link.bin");
    BoxRecorder boxes;
    edit->SaveToFile(UnicodeString(Wide(dir / "link.bin")));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(ReadWholeFile(target), std::string("\x07\x07\x07"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_FALSE(edit->Modified);
    EXPECT_EQ(edit->FileName, UnicodeString(Wide(dir / "link.bin")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.bin", "real.bin"}));
}
