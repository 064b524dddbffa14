#include "Platform/Vcl/StdCtrls.h"

#include "Platform/Vcl/Clipbrd.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include "tests/support/HeapCount.h"
#include "tests/support/ManualClock.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t FacePixel = 0xD4D0C8;      // clBtnFace of the classic scheme
constexpr uint32_t HighlightPixel = 0x0A246A; // clHighlight

struct Ink
{
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN, count = 0;
};

// Pixels within `area` of the form that differ from `background`.
Ink InkOf(const TCustomForm& form, const TRect& area, uint32_t background)
{
    Ink ink;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if ((form.Pixels()[y * form.ClientWidth() + x] & 0xFFFFFF) != background)
            {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y + 1);
                ++ink.count;
            }
    return ink;
}

// A shown form with test-friendly cleanup; keys and clicks go in as the presenter sends them.
class FormFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform::ResetKeyStates();
        form = new TForm(nullptr);
        form->SetClientWidth(320);
        form->SetClientHeight(120);
        form->SetCaption(u"Test");
    }
    void TearDown() override
    {
        delete form;
        Platform::ResetKeyStates();
        Platform::DispatchPostedMessages();
    }

    void Down(WORD key) { Vcl::RouteInput(form, WM_KEYDOWN, key, 1); }
    void Up(WORD key) { Vcl::RouteInput(form, WM_KEYUP, key, 0xC0000001); }
    // A key press as a keyboard sends it: down, its character when it has one, up.
    void Press(WORD key, WCHAR character = 0)
    {
        Down(key);
        if (character)
            Vcl::RouteInput(form, WM_CHAR, character, 1);
        Up(key);
    }
    void Type(const std::u16string& text)
    {
        for (char16_t c : text)
        {
            // Letters and Space by their keys; anything else by a key no control acts on.
            WORD key = (c >= u'a' && c <= u'z') ? WORD(c - u'a' + 'A')
                       : c == u' '              ? WORD(VK_SPACE)
                                                : WORD(0xE5);
            Press(key, c);
        }
    }
    void Mouse(UINT message, int x, int y, WPARAM keys = 0)
    {
        Vcl::RouteInput(form, message, keys, MAKELPARAM(x, y));
    }
    void Click(TControl* control, int dx = 5, int dy = 5)
    {
        TPoint o = control->FormOrigin();
        Mouse(WM_LBUTTONDOWN, o.x + dx, o.y + dy, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, o.x + dx, o.y + dy);
    }

    TForm* form = nullptr;
};

// ---- Editing ---------------------------------------------------------------------------------

class EditTest : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        edit = new TEdit(form);
        edit->SetParent(form);
        edit->SetBounds(8, 8, 200, 21);
        other = new TEdit(form);
        other->SetParent(form);
        other->SetBounds(8, 40, 200, 21);
        form->Show();
        edit->SetFocus();
    }

    // Plays a script: 'text' types it; [S+][C+]KEY presses a key with Shift and/or Ctrl held.
    void Script(const std::string& script)
    {
        std::istringstream in(script);
        std::string token;
        while (in >> token)
        {
            if (token.front() == '\'')
            {
                std::string text = token.substr(1, token.size() - 2);
                Type(Platform::FromUtf8(text));
                continue;
            }
            bool shift = false, ctrl = false;
            while (token.size() > 2 && token[1] == '+')
            {
                (token[0] == 'S' ? shift : ctrl) = true;
                token = token.substr(2);
            }
            struct Named
            {
                const char* name;
                WORD key;
                WCHAR character;
            };
            static const Named keys[] = {{"L", VK_LEFT, 0},     {"R", VK_RIGHT, 0},    {"HOME", VK_HOME, 0},
                                         {"END", VK_END, 0},    {"DEL", VK_DELETE, 0}, {"BS", VK_BACK, u'\b'},
                                         {"INS", VK_INSERT, 0}, {"A", 'A', 1},         {"C", 'C', 3},
                                         {"X", 'X', 24},        {"V", 'V', 22}};
            const Named* named = nullptr;
            for (const Named& k : keys)
                if (token == k.name)
                    named = &k;
            ASSERT_NE(named, nullptr) << token;
            if (shift)
                Down(VK_SHIFT);
            if (ctrl)
                Down(VK_CONTROL);
            // Ctrl+letter characters are control characters; plain letters are not in scripts.
            Press(named->key, named->character && (ctrl || named->key == VK_BACK) ? named->character : 0);
            if (ctrl)
                Up(VK_CONTROL);
            if (shift)
                Up(VK_SHIFT);
        }
    }

    // The x of a text position, found through the hit test.
    int XOf(TEdit* e, int position)
    {
        for (int x = 0; x < e->Width(); ++x)
            if (e->PositionAt(x) == position)
                return x;
        return -1;
    }

    // The column of `e` where its caret is drawn, seen as the picture's change when the caret
    // blinks off (and on again); -1 for none, -2 for more than one column.
    int CaretColumn(TEdit* e, ManualClock& clock)
    {
        form->PaintDirty();
        const int width = form->ClientWidth();
        const std::vector<uint32_t> shown(form->Pixels(), form->Pixels() + width * form->ClientHeight());
        clock.Advance(GetCaretBlinkTime());
        Application->ProcessMessages();
        form->PaintDirty();
        const TPoint o = e->FormOrigin();
        int column = -1;
        for (int y = o.y; y < o.y + e->Height(); ++y)
            for (int x = o.x; x < o.x + e->Width(); ++x)
                if (form->Pixels()[y * width + x] != shown[static_cast<size_t>(y * width + x)])
                    column = column == -1 || column == x - o.x ? x - o.x : -2;
        clock.Advance(GetCaretBlinkTime());
        Application->ProcessMessages();
        return column;
    }

    TEdit* edit = nullptr;
    TEdit* other = nullptr;
};

TEST_F(EditTest, KeysEditTextSelectionAndCaret)
{
    struct Case
    {
        const char* name;
        std::u16string text;
        int selStart, selLength; // before the script
        int maxLength;
        bool readOnly;
        std::string script;
        std::u16string expectText;
        int expectStart, expectLength, expectCaret;
    };
    const std::u16string emoji = u"a\U0001F600b";
    const Case cases[] = {
        {"typing", u"", 0, 0, 0, false, "'abc'", u"abc", 3, 0, 3},
        {"backspace", u"abc", 3, 0, 0, false, "BS", u"ab", 2, 0, 2},
        {"ctrl right by words", u"hello world", 0, 0, 0, false, "C+R", u"hello world", 6, 0, 6},
        {"ctrl left by words", u"hello world", 11, 0, 0, false, "C+L C+L", u"hello world", 0, 0, 0},
        {"shift home then type", u"hello world", 11, 0, 0, false, "S+HOME 'x'", u"x", 1, 0, 1},
        {"shift arrows select", u"abcdef", 2, 0, 0, false, "S+R S+R", u"abcdef", 2, 2, 4},
        {"delete the selection", u"abcdef", 2, 0, 0, false, "S+R S+R DEL", u"abef", 2, 0, 2},
        {"ctrl a replaces all", u"abcdef", 1, 0, 0, false, "C+A 'z'", u"z", 1, 0, 1},
        {"shift end from the middle", u"abc", 1, 0, 0, false, "S+END", u"abc", 1, 2, 3},
        {"left collapses a selection", u"abc", 1, 2, 0, false, "L", u"abc", 1, 0, 1},
        {"right collapses a selection", u"abc", 0, 2, 0, false, "R", u"abc", 2, 0, 2},
        {"home then type", u"abc", 3, 0, 0, false, "HOME 'x'", u"xabc", 1, 0, 1},
        {"end then delete does nothing", u"abc", 0, 0, 0, false, "END DEL", u"abc", 3, 0, 3},
        {"ctrl delete a word", u"foo bar", 0, 0, 0, false, "C+DEL", u"bar", 0, 0, 0},
        {"max length stops typing", u"ab", 2, 0, 4, false, "'cdef'", u"abcd", 4, 0, 4},
        {"max length on a selection", u"abcd", 0, 2, 4, false, "'xyz'", u"xycd", 2, 0, 2},
        {"read only moves but keeps", u"abc", 3, 0, 0, true, "'x' BS DEL L", u"abc", 2, 0, 2},
        {"surrogate pair is one step", emoji, 4, 0, 0, false, "L", emoji, 3, 0, 3},
        {"surrogate pair deletes whole", emoji, 4, 0, 0, false, "L L DEL", u"ab", 1, 0, 1},
        {"surrogate pair backspaces whole", emoji, 3, 0, 0, false, "BS", u"ab", 1, 0, 1},
        {"shift left past a pair", emoji, 4, 0, 0, false, "S+L S+L", emoji, 1, 3, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        edit->SetMaxLength(c.maxLength);
        edit->SetReadOnly(c.readOnly);
        edit->SetText(c.text);
        edit->SetSelStart(c.selStart);
        edit->SetSelLength(c.selLength);
        Script(c.script);
        EXPECT_EQ(edit->Text().str(), c.expectText);
        EXPECT_EQ(edit->SelStart(), c.expectStart);
        EXPECT_EQ(edit->SelLength(), c.expectLength);
        EXPECT_EQ(edit->CaretPos(), c.expectCaret);
    }
}

TEST_F(EditTest, ChangesAreReportedAndTheFocusKeepsItsKeys)
{
    struct Counter
    {
        int changes = 0;
        void Changed(TObject*) { ++changes; }
    } counter;
    edit->OnChange = MakeClosure(&counter, &Counter::Changed);
    Type(u"abc");
    EXPECT_EQ(counter.changes, 3);
    EXPECT_TRUE(edit->Modified());
    edit->SetText(u"reset"); // the program's text: caret at the start, not modified
    EXPECT_EQ(counter.changes, 4);
    EXPECT_FALSE(edit->Modified());
    EXPECT_EQ(edit->CaretPos(), 0);
    // Arrows stay in the edit; Tab moves on and selects all of the next edit.
    other->SetText(u"second");
    Press(VK_RIGHT);
    EXPECT_TRUE(edit->Focused());
    Press(VK_TAB, u'\t');
    EXPECT_TRUE(other->Focused());
    EXPECT_EQ(other->SelLength(), 6);
    EXPECT_EQ(other->Text().str(), u"second"); // the Tab character was not typed

    // The window losing the keyboard and getting it back (as the presenter tells it) neither leaves
    // nor enters the edit: its caret stays. A click bringing the window back onto the first edit
    // leaves this one then.
    static std::string log;
    log.clear();
    other->OnEnter = +[](TObject*) { log += "+2"; };
    other->OnExit = +[](TObject*) { log += "-2"; };
    edit->OnEnter = +[](TObject*) { log += "+1"; };
    Script("HOME R");
    form->Perform(WM_ACTIVATE, 0, 0);
    form->Perform(WM_ACTIVATE, 1, 0);
    EXPECT_EQ(other->CaretPos(), 1);
    EXPECT_EQ(other->SelLength(), 0);
    form->Perform(WM_ACTIVATE, 0, 0);
    Click(edit);
    form->Perform(WM_ACTIVATE, 1, 0);
    EXPECT_EQ(log, "-2+1");
}

TEST_F(EditTest, MouseSetsCaretDragsAndDoubleClickSelectsAWord)
{
    edit->SetText(u"hello world");
    TPoint o = edit->FormOrigin();
    int x3 = XOf(edit, 3);
    int x8 = XOf(edit, 8);
    ASSERT_GT(x3, 0);
    ASSERT_GT(x8, x3);
    Mouse(WM_LBUTTONDOWN, o.x + x3, o.y + 10, MK_LBUTTON);
    EXPECT_EQ(edit->CaretPos(), 3);
    EXPECT_EQ(edit->SelLength(), 0);
    Mouse(WM_MOUSEMOVE, o.x + x8, o.y + 10, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, o.x + x8, o.y + 10);
    EXPECT_EQ(edit->SelStart(), 3);
    EXPECT_EQ(edit->SelLength(), 5);
    // Moving without the button changes nothing.
    Mouse(WM_MOUSEMOVE, o.x + 2, o.y + 10);
    EXPECT_EQ(edit->SelLength(), 5);
    // Shift+click extends from the anchor.
    Down(VK_SHIFT);
    Mouse(WM_LBUTTONDOWN, o.x + XOf(edit, 1), o.y + 10, MK_LBUTTON | MK_SHIFT);
    Mouse(WM_LBUTTONUP, o.x + XOf(edit, 1), o.y + 10, MK_SHIFT);
    Up(VK_SHIFT);
    EXPECT_EQ(edit->SelStart(), 1);
    EXPECT_EQ(edit->SelLength(), 2);
    // A double-click on "world" selects the word.
    Mouse(WM_LBUTTONDOWN, o.x + x8, o.y + 10, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, o.x + x8, o.y + 10);
    Mouse(WM_LBUTTONDBLCLK, o.x + x8, o.y + 10, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, o.x + x8, o.y + 10);
    EXPECT_EQ(edit->SelText().str(), u"world");
}

TEST_F(EditTest, LongTextScrollsToKeepTheCaretInView)
{
    edit->SetWidth(60);
    Type(u"the quick brown fox jumps over the lazy dog");
    EXPECT_GT(edit->ScrollOffset(), 0);
    form->PaintDirty();
    // The caret is drawn inside the box while it is shown.
    ASSERT_TRUE(edit->CaretShown());
    Press(VK_HOME);
    EXPECT_EQ(edit->ScrollOffset(), 0);
    Press(VK_END);
    int end = edit->ScrollOffset();
    EXPECT_GT(end, 0);
    // Every text position at the end is hit inside the box.
    EXPECT_EQ(edit->PositionAt(edit->Width() - 4), edit->Text().Length());
}

// Deep in a long text (past several of the steps it is measured by) the caret, a click and a
// selection land on the characters drawn there, and a click in view leaves the text standing.
TEST_F(EditTest, CaretClickAndSelectionLandOnTheirCharactersInALongText)
{
    ManualClock clock;
    std::u16string text;
    for (int i = 0; text.size() < 5000; ++i)
        text += u"w" + Platform::FromUtf8(std::to_string(i)) + u" ";
    text.resize(5000);
    edit->SetText(text);
    edit->SetSelStart(3000);
    ASSERT_TRUE(edit->CaretShown());
    int caret = CaretColumn(edit, clock);
    ASSERT_GT(caret, 0) << "the caret shows in no single column of the box";
    ASSERT_LT(caret, edit->Width());
    EXPECT_EQ(edit->PositionAt(caret), 3000);

    // Clicks on characters in view, 2990 and then 3000, put the caret on them and leave the text
    // standing; Shift+click on 2990 selects back to it.
    const int scroll = edit->ScrollOffset();
    for (int position : {2990, 3000})
    {
        const int x = XOf(edit, position);
        ASSERT_GT(x, 0) << position;
        Click(edit, x, 10);
        EXPECT_EQ(edit->CaretPos(), position);
        EXPECT_EQ(edit->ScrollOffset(), scroll) << position;
        caret = CaretColumn(edit, clock);
        EXPECT_GE(caret, x) << position;
        EXPECT_EQ(edit->PositionAt(caret), position);
    }
    Down(VK_SHIFT);
    Mouse(WM_LBUTTONDOWN, edit->FormOrigin().x + XOf(edit, 2990), edit->FormOrigin().y + 10, MK_LBUTTON | MK_SHIFT);
    Mouse(WM_LBUTTONUP, edit->FormOrigin().x + XOf(edit, 2990), edit->FormOrigin().y + 10, MK_SHIFT);
    Up(VK_SHIFT);
    ASSERT_EQ(edit->SelStart(), 2990);
    ASSERT_EQ(edit->SelLength(), 10);
    form->PaintDirty();
    const TPoint o = edit->FormOrigin();
    int left = INT_MAX, right = INT_MIN;
    for (int y = 0; y < edit->Height(); ++y)
        for (int x = 0; x < edit->Width(); ++x)
            if ((form->Pixels()[(o.y + y) * form->ClientWidth() + o.x + x] & 0xFFFFFF) == HighlightPixel)
                left = std::min(left, x), right = std::max(right, x + 1);
    ASSERT_LT(left, right);
    EXPECT_EQ(edit->PositionAt(left), 2990);
    EXPECT_EQ(edit->PositionAt(right - 1), 3000);
}

// A surrogate pair across the 1024th unit, where two of the steps a long text is measured by meet,
// is measured and drawn as the one character it is: just after it and at the end of the text, the
// box shows what a short box of the same characters shows there.
TEST_F(EditTest, APairWhereTwoMeasuredStepsMeetIsOneCharacter)
{
    const std::u16string pair = u"\U0001D400", tail = u" tail";
    ASSERT_EQ(pair.size(), 2u);
    edit->SetText(std::u16string(1023, u'x') + pair + tail);
    other->SetText(std::u16string(40, u'x') + pair + tail);
    struct Case
    {
        int caret, shortCaret; // in the long text and in the short one
    } cases[] = {{1025, 42}, {edit->Text().Length(), other->Text().Length()}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.caret);
        edit->SetSelStart(c.caret);
        other->SetSelStart(c.shortCaret);
        ASSERT_GT(other->ScrollOffset(), 0); // the short box's text does not fit either
        form->PaintDirty();
        // Row by row, the text area left of the caret's column.
        const uint32_t* pixels = form->Pixels();
        for (int y = 2; y < edit->Height() - 2; ++y)
            for (int x = 2; x < edit->Width() - 4; ++x)
                ASSERT_EQ(pixels[(edit->Top() + y) * form->ClientWidth() + edit->Left() + x],
                          pixels[(other->Top() + y) * form->ClientWidth() + other->Left() + x])
                    << x << ", " << y;
    }
}

TEST_F(EditTest, CaretBlinksOnTheTimerOnlyWhileFocused)
{
    ManualClock clock;
    edit->SetFocus();
    Type(u"x"); // restarts the blink on the new clock
    ASSERT_TRUE(edit->CaretShown());
    TRect area(edit->Left() + 2, edit->Top() + 2, edit->Left() + edit->Width() - 2,
               edit->Top() + edit->Height() - 2);
    form->PaintDirty();
    int withCaret = InkOf(*form, area, 0xFFFFFF).count;
    clock.Advance(GetCaretBlinkTime());
    Application->ProcessMessages();
    EXPECT_FALSE(edit->CaretShown());
    int withoutCaret = InkOf(*form, area, 0xFFFFFF).count;
    EXPECT_GT(withCaret, withoutCaret); // the caret's pixels went
    clock.Advance(GetCaretBlinkTime());
    Application->ProcessMessages();
    EXPECT_TRUE(edit->CaretShown());
    other->SetFocus();
    EXPECT_FALSE(edit->CaretShown());
}

TEST_F(EditTest, ClipboardCopiesAndPastesBetweenEdits)
{
    edit->SetText(u"Models.pck");
    other->SetText(u"path: ");
    Script("C+A C+C");
    other->SetFocus();
    Press(VK_END);
    Script("C+V");
    EXPECT_EQ(other->Text().str(), u"path: Models.pck");
    EXPECT_EQ(Clipboard()->AsText().str(), u"Models.pck");
    // Cut takes the text away; Shift+Insert pastes it back; a multi-line text pastes its first line.
    Script("S+HOME C+X");
    EXPECT_EQ(other->Text().str(), u"");
    EXPECT_EQ(Clipboard()->AsText().str(), u"path: Models.pck");
    Script("S+INS");
    EXPECT_EQ(other->Text().str(), u"path: Models.pck");
    Clipboard()->SetAsText(u"first\r\nsecond");
    Script("C+A C+V");
    EXPECT_EQ(other->Text().str(), u"first");
    // A read-only edit copies but neither cuts nor pastes.
    other->SetReadOnly(true);
    Script("C+A C+X C+V");
    EXPECT_EQ(other->Text().str(), u"first");
    EXPECT_EQ(Clipboard()->AsText().str(), u"first\r\nsecond");
    Script("C+C");
    EXPECT_EQ(Clipboard()->AsText().str(), u"first");
}

// A paste of 16 MB of text holds, besides the clipboard's block, the text on its way in and the
// edit's own copy, and keeps only that copy: no table per character, no copies on the way. The
// end of it shows as the same characters typed into a box of their own do.
TEST_F(EditTest, ALargePasteHoldsTwoCopiesAndShowsItsEnd)
{
    if (!HeapCount::Counting())
        GTEST_SKIP() << "the heap is counted only under the address sanitizer";
    const std::u16string tail = u"the lazy dog/Models.pck";
    const size_t units = size_t(8) << 20;
    std::u16string text(units, u'x');
    std::copy(tail.begin(), tail.end(), text.end() - static_cast<ptrdiff_t>(tail.size()));
    Clipboard()->SetAsText(text);
    std::u16string().swap(text);
    const size_t bytes = units * sizeof(WCHAR);
    const size_t before = HeapCount::Current();
    HeapCount::ResetPeak();
    Script("C+V");
    form->PaintDirty();
    ASSERT_EQ(edit->Text().Length(), static_cast<int>(units));
    EXPECT_LT(HeapCount::Peak() - before, bytes + bytes / 16);
    EXPECT_LT(HeapCount::Current() - before, bytes + bytes / 16);

    other->SetText(UnicodeString(u"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx" + tail));
    other->SetAutoSelect(false);
    other->SetFocus();
    Press(VK_END);
    form->PaintDirty();
    // Row by row, the text area left of the caret's column.
    for (int y = 2; y < edit->Height() - 2; ++y)
        for (int x = 2; x < edit->Width() - 4; ++x)
        {
            const uint32_t* pixels = form->Pixels();
            ASSERT_EQ(pixels[(edit->Top() + y) * form->ClientWidth() + edit->Left() + x],
                      pixels[(other->Top() + y) * form->ClientWidth() + other->Left() + x])
                << x << ", " << y;
        }
}

// ---- Buttons ---------------------------------------------------------------------------------

class ButtonTest : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        edit = new TEdit(form);
        edit->SetParent(form);
        edit->SetBounds(8, 8, 200, 21);
        ok = Make(u"OK", 8);
        cancel = Make(u"Cancel", 90);
        other = Make(u"Patch", 172);
        ok->SetDefault(true);
        cancel->SetCancel(true);
    }

    TButton* Make(const WCHAR* caption, int left)
    {
        auto* b = new TButton(form);
        b->SetParent(form);
        b->SetBounds(left, 60, 75, 25);
        b->SetCaption(caption);
        b->OnClick = MakeClosure(this, &ButtonTest::Clicked);
        return b;
    }
    void Clicked(TObject* sender) { clicks.push_back(static_cast<TButton*>(sender)->Caption().ToUtf8()); }

    TEdit* edit = nullptr;
    TButton* ok = nullptr;
    TButton* cancel = nullptr;
    TButton* other = nullptr;
    std::vector<std::string> clicks;
};

TEST_F(ButtonTest, MouseSpaceEnterAndEscapeClickTheRightButton)
{
    form->Show();
    edit->SetFocus();
    struct Step
    {
        const char* name;
        std::function<void()> act;
        std::vector<std::string> expect;
    };
    const Step steps[] = {
        {"click", [&] { Click(other); }, {"Patch"}},
        {"press inside, release outside: no click",
         [&]
         {
             TPoint o = other->FormOrigin();
             Mouse(WM_LBUTTONDOWN, o.x + 5, o.y + 5, MK_LBUTTON);
             EXPECT_TRUE(other->Pressed());
             Mouse(WM_MOUSEMOVE, o.x + 200, o.y + 5, MK_LBUTTON);
             EXPECT_FALSE(other->Pressed());
             Mouse(WM_LBUTTONUP, o.x + 200, o.y + 5);
         },
         {}},
        {"space on the focused button clicks on release",
         [&]
         {
             other->SetFocus();
             Down(VK_SPACE);
             EXPECT_TRUE(other->Pressed());
             EXPECT_TRUE(clicks.empty());
             Vcl::RouteInput(form, WM_CHAR, u' ', 1);
             Up(VK_SPACE);
         },
         {"Patch"}},
        {"enter on a focused button presses it", [&] { Press(VK_RETURN, u'\r'); }, {"Patch"}},
        {"enter in the edit presses the default",
         [&]
         {
             edit->SetFocus();
             EXPECT_TRUE(ok->ActiveDefault());
             Press(VK_RETURN, u'\r');
         },
         {"OK"}},
        {"escape anywhere presses cancel", [&] { Press(VK_ESCAPE, 0x1B); }, {"Cancel"}},
        {"a disabled default ignores enter",
         [&]
         {
             ok->SetEnabled(false);
             Press(VK_RETURN, u'\r');
             ok->SetEnabled(true);
         },
         {}},
        {"a disabled button ignores the mouse",
         [&]
         {
             other->SetEnabled(false);
             Click(other);
             other->SetEnabled(true);
         },
         {}},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        clicks.clear();
        step.act();
        EXPECT_EQ(clicks, step.expect);
    }
    EXPECT_EQ(edit->Text().str(), u""); // neither Enter nor Escape was typed
}

TEST_F(ButtonTest, ModalResultEndsShowModal)
{
    ok->SetModalResult(mrOk);
    cancel->SetModalResult(mrCancel);
    struct Case
    {
        const char* name;
        std::function<void()> act;
        TModalResult expect;
    };
    ManualClock clock;
    const Case cases[] = {
        {"enter on the default", [&] { Press(VK_RETURN, u'\r'); }, mrOk},
        {"escape on cancel", [&] { Press(VK_ESCAPE, 0x1B); }, mrCancel},
        {"clicking ok", [&] { Click(ok); }, mrOk},
        {"a button without a result leaves the loop running; then close",
         [&]
         {
             Click(other);
             PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
         },
         mrCancel},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // The input arrives from a timer inside the modal loop, as a user's would.
        TTimer timer(nullptr);
        timer.SetInterval(10);
        struct Driver
        {
            std::function<void()> act;
            TTimer* timer;
            void Tick(TObject*)
            {
                timer->SetEnabled(false);
                act();
            }
        } driver{c.act, &timer};
        timer.OnTimer = MakeClosure(&driver, &Driver::Tick);
        Platform::SetEventPump([&](DWORD) { clock.Advance(5); });
        TModalResult result = form->ShowModal();
        Platform::SetEventPump(nullptr);
        EXPECT_EQ(result, c.expect);
        EXPECT_FALSE(form->Visible());
    }
}

TEST_F(ButtonTest, PaintsFaceCaptionDefaultFrameAndFocus)
{
    form->Show();
    edit->SetFocus();
    form->PaintDirty();
    auto pixel = [&](int x, int y) { return form->Pixels()[y * form->ClientWidth() + x] & 0xFFFFFF; };
    TRect okRect = ok->BoundsRect();
    TRect otherRect = other->BoundsRect();
    // The default button wears a black outline; the others start with the light edge.
    EXPECT_EQ(pixel(okRect.left, okRect.top), 0u);
    EXPECT_EQ(pixel(otherRect.left, otherRect.top), 0xFFFFFFu);
    // "Patch" ink stays inside the frame, centred.
    TRect inner(otherRect.left + 3, otherRect.top + 3, otherRect.right - 3, otherRect.bottom - 3);
    Ink ink = InkOf(*form, inner, FacePixel);
    ASSERT_GT(ink.count, 10);
    EXPECT_LE(std::abs((ink.left + ink.right) - (inner.left + inner.right)), 3);
    EXPECT_EQ(InkOf(*form,
                    TRect(otherRect.left + 2, otherRect.top + 2, otherRect.right - 2, otherRect.top + 3),
                    FacePixel)
                  .count,
              0);
    // Focusing "Patch" takes the outline from OK and draws the dotted focus rectangle.
    other->SetFocus();
    form->PaintDirty();
    EXPECT_NE(pixel(okRect.left, okRect.top), 0u);
    EXPECT_EQ(pixel(otherRect.left, otherRect.top), 0u);
    EXPECT_GT(InkOf(*form,
                    TRect(otherRect.left + 4, otherRect.top + 4, otherRect.right - 4, otherRect.top + 5),
                    FacePixel)
                  .count,
              10);
    // Disabled: grey embossed text, no black in the caption.
    other->SetEnabled(false);
    form->PaintDirty();
    Ink disabled = InkOf(*form, inner, FacePixel);
    EXPECT_GT(disabled.count, 10);
    bool black = false;
    for (int y = inner.top; y < inner.bottom; ++y)
        for (int x = inner.left; x < inner.right; ++x)
            black = black || pixel(x, y) == 0;
    EXPECT_FALSE(black);
}

// ---- Painting of the other controls ----------------------------------------------------------

TEST_F(FormFixture, ProgressBarFillIsProportionalAndUpdatePaintsAtOnce)
{
    auto* bar = new TProgressBar(form);
    bar->SetParent(form);
    bar->SetBounds(8, 36, 304, 11);
    bar->SetSmooth(true);
    bar->SetMax(100);
    form->Show();
    form->PaintDirty();
    TRect inner(bar->Left() + 2, bar->Top() + 2, bar->Left() + bar->Width() - 2,
                bar->Top() + bar->Height() - 2);
    for (int position : {0, 1, 25, 50, 99, 100, 150, -5})
    {
        SCOPED_TRACE(position);
        int painted = form->PaintCount();
        bar->SetPosition(position);
        bar->Update();
        int expect = std::clamp(position, 0, 100);
        EXPECT_EQ(bar->Position(), expect);
        if (expect != 0)
        {
            EXPECT_EQ(form->PaintCount(), painted + (position == 150 || position == -5 ? 0 : 1));
        }
        Ink fill = InkOf(*form, inner, FacePixel);
        int width = inner.Width() * expect / 100;
        EXPECT_EQ(fill.count, width * inner.Height());
        if (width > 0)
        {
            EXPECT_EQ(fill.left, inner.left);
            EXPECT_EQ(fill.right, inner.left + width);
            EXPECT_EQ(form->Pixels()[inner.top * form->ClientWidth() + inner.left] & 0xFFFFFF,
                      HighlightPixel);
        }
    }
    // A maximum below the position pulls it down; blocks leave gaps.
    bar->SetPosition(80);
    bar->SetMax(40);
    EXPECT_EQ(bar->Position(), 40);
    bar->SetSmooth(false);
    bar->SetMax(100);
    bar->SetPosition(100);
    bar->Update();
    Ink blocks = InkOf(*form, inner, FacePixel);
    EXPECT_LT(blocks.count, inner.Width() * inner.Height());
    EXPECT_GT(blocks.count, inner.Width() * inner.Height() / 2);
}

TEST_F(FormFixture, LabelAndBevelDrawAsTheClassicLook)
{
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetBounds(8, 11, 74, 13);
    label->SetCaption(u"Models.pck file:");
    // AutoSize fits the caption, keeping the top-left.
    EXPECT_EQ(label->Left(), 8);
    EXPECT_EQ(label->Top(), 11);
    EXPECT_GT(label->Width(), 60);
    EXPECT_LT(label->Width(), 110);
    EXPECT_GE(label->Height(), 12);
    EXPECT_LE(label->Height(), 15);
    auto* bevel = new TBevel(form);
    bevel->SetParent(form);
    bevel->SetBounds(8, 44, 300, 13);
    bevel->SetShape(bsBottomLine);
    form->Show();
    form->PaintDirty();
    auto pixel = [&](int x, int y) { return form->Pixels()[y * form->ClientWidth() + x] & 0xFFFFFF; };
    EXPECT_EQ(pixel(100, 44 + 11), 0x808080u); // shadow line
    EXPECT_EQ(pixel(100, 44 + 12), 0xFFFFFFu); // light line under it
    EXPECT_EQ(pixel(100, 44 + 10), FacePixel);
    bevel->SetStyle(bsRaised);
    form->PaintDirty();
    EXPECT_EQ(pixel(100, 44 + 11), 0xFFFFFFu);
    // The label's text is black and within its bounds; disabled it turns grey.
    Ink text = InkOf(*form, TRect(0, 0, 320, 40), FacePixel);
    ASSERT_GT(text.count, 20);
    EXPECT_GE(text.left, label->Left());
    EXPECT_LE(text.right, label->Left() + label->Width());
    label->SetEnabled(false);
    form->PaintDirty();
    bool black = false;
    for (int y = 11; y < 24; ++y)
        for (int x = 8; x < 8 + label->Width(); ++x)
            black = black || pixel(x, y) == 0;
    EXPECT_FALSE(black);
    // A label that is not AutoSize keeps the size it is given; a Cyrillic caption has ink.
    label->SetEnabled(true);
    label->SetAutoSize(false);
    label->SetBounds(8, 11, 74, 13);
    label->SetCaption(u"Файл архива:");
    EXPECT_EQ(label->Width(), 74);
    form->PaintDirty();
    EXPECT_GT(InkOf(*form, label->BoundsRect(), FacePixel).count, 20);
}

TEST_F(FormFixture, FontsFollowTheParentUntilSetThemselves)
{
    auto* edit = new TEdit(form);
    edit->SetParent(form);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption(u"Text");
    int width = label->Width();
    form->Font()->SetHeight(-22);
    EXPECT_EQ(edit->Font()->Height(), -22);
    EXPECT_TRUE(edit->ParentFont());
    EXPECT_GT(label->Width(), width * 3 / 2); // AutoSize followed the bigger font
    edit->Font()->SetStyle(TFontStyles{fsBold});
    EXPECT_FALSE(edit->ParentFont());
    form->Font()->SetHeight(-11);
    EXPECT_EQ(edit->Font()->Height(), -22);
    EXPECT_EQ(label->Font()->Height(), -11);
    edit->SetParentFont(true);
    EXPECT_EQ(edit->Font()->Height(), -11);
    EXPECT_FALSE(edit->Font()->Style().Contains(fsBold));
}

// ---- Message boxes ---------------------------------------------------------------------------

TEST(MessageFormTest, ButtonsDefaultsAndEscapeFollowTheStyle)
{
    struct Case
    {
        UINT type;
        std::vector<std::string> captions;
        int focused;   // index of the focused (default) button
        int escape;    // the answer Escape gives, 0 for none
        UINT keyPress; // a key pressed in the box (0: Enter)
        int expect;    // the answer
    };
    const Case cases[] = {
        {MB_OK, {"OK"}, 0, IDOK, 0, IDOK},
        {MB_OK, {"OK"}, 0, IDOK, VK_ESCAPE, IDOK},
        {MB_OKCANCEL, {"OK", "Cancel"}, 0, IDCANCEL, VK_ESCAPE, IDCANCEL},
        {MB_OKCANCEL | MB_DEFBUTTON2, {"OK", "Cancel"}, 1, IDCANCEL, 0, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, {"&Yes", "&No"}, 0, 0, 0, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, {"&Yes", "&No"}, 1, 0, 0, IDNO},
        {MB_YESNO, {"&Yes", "&No"}, 0, 0, 'N', IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, {"&Yes", "&No", "Cancel"}, 2, IDCANCEL, 'Y', IDYES},
        {MB_YESNO | MB_DEFBUTTON3, {"&Yes", "&No"}, 0, 0, 0, IDYES}, // a missing default is the first
    };
    ManualClock clock;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.type);
        TMessageForm box(
            u"A long message that wraps over more than one line because it is quite a bit longer than "
            u"the widest line a box allows.",
            u"Kelvane", c.type);
        ASSERT_EQ(box.ButtonCount(), static_cast<int>(c.captions.size()));
        for (int i = 0; i < box.ButtonCount(); ++i)
            EXPECT_EQ(box.Buttons(i)->Caption().ToUtf8(), c.captions[static_cast<size_t>(i)]);
        EXPECT_EQ(box.EscapeResult(), c.escape);
        EXPECT_GT(box.Message()->Height(), 20); // wrapped onto two lines at least
        EXPECT_LE(box.Message()->Width(), 420);
        // Buttons lie inside the box below the text.
        for (int i = 0; i < box.ButtonCount(); ++i)
        {
            EXPECT_GE(box.Buttons(i)->Top(), box.Message()->Top() + box.Message()->Height());
            EXPECT_LE(box.Buttons(i)->Left() + box.Buttons(i)->Width(), box.ClientWidth());
        }
        // Escape on a box without Cancel does nothing: the loop then ends by Enter.
        TTimer timer(nullptr);
        timer.SetInterval(10);
        struct Driver
        {
            TMessageForm* box;
            const Case* c;
            TTimer* timer;
            int focusedIndex = -1;
            void Tick(TObject*)
            {
                timer->SetEnabled(false);
                for (int i = 0; i < box->ButtonCount(); ++i)
                    if (box->Buttons(i)->Focused())
                        focusedIndex = i;
                WORD key = c->keyPress ? static_cast<WORD>(c->keyPress) : VK_RETURN;
                Vcl::RouteInput(box, WM_KEYDOWN, key, 1);
                Vcl::RouteInput(box, WM_KEYUP, key, 0xC0000001);
                if (box->ModalResult() == mrNone)
                    PostMessageW(box->Handle(), WM_CLOSE, 0, 0);
            }
        } driver{&box, &c, &timer};
        timer.OnTimer = MakeClosure(&driver, &Driver::Tick);
        Platform::SetEventPump([&](DWORD) { clock.Advance(5); });
        int answer = box.Execute();
        Platform::SetEventPump(nullptr);
        EXPECT_EQ(driver.focusedIndex, c.focused);
        EXPECT_EQ(answer, c.expect);
    }
}

} // namespace
