// The float and integer editors: canonical text, values, bounds, stepping and hostile input.
#include "Controls/XFloatEdit.h"
#include "Controls/XIntEdit.h"

#include "Platform/Vcl/Clipbrd.h"
#include "tests/Controls/FormPixels.h"
#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{
struct Changes
{
    int count = 0;
    void Changed(TObject*) { ++count; }
};

struct FloatCase
{
    const char16_t* typed;
    const char16_t* shown;
    bool exponent = false;
    int decimals = 5;
};
} // namespace

TEST(XFloatEditTest, TypedTextBecomesCanonical)
{
    CommaLocale comma; // never followed, whether or not it is installed
    const FloatCase cases[] = {
        {u"12", u"12.0"},
        {u"3,25", u"3.25"},
        {u"-.5", u"-0.5"},
        {u"+5", u"+5.0"},
        {u"", u"0.0"},
        {u"abc", u"0.0"},
        {u"7x9", u"7.0"},
        {u"1.234567", u"1.23456"},
        {u"123456.789", u"123456.78"},
        {u"1234567.12", u"1234567.1"},
        {u"12345678", u"1234567.0"},
        {u"2147483648", u"2147483.0"},
        {u"1e5", u"1.0"},
        {u"1e5", u"1.0E5", true},
        {u"2.5e-123", u"2.5E-12", true},
        {u"1e+5", u"1.0E+5", true},
        {u"2e", u"2.0E0", true},
        {u"3.7", u"3", false, 0},
        {u"nan", u"0.0"},
        {u"inf", u"0.0"},
        {u"-", u"-0.0"},
        {u"\u0663.\u0664", u"0.0"}, // digits of another script are not digits here
    };
    for (const FloatCase& c : cases)
    {
        XFloatEdit edit(nullptr);
        edit.SetExponentialNotation(c.exponent);
        edit.SetFractionalPartLength(c.decimals);
        edit.SetText(c.typed);
        EXPECT_EQ(edit.Text(), UnicodeString(c.shown)) << std::string(UnicodeString(c.typed).ToUtf8());
        EXPECT_EQ(edit.Value(), TextToFloat32(UnicodeString(c.shown))) << std::string(UnicodeString(c.typed).ToUtf8());
    }
    XFloatEdit edit(nullptr);
    EXPECT_EQ(edit.Text(), u"0.0");
    edit.SetFractionalPartLength(0);
    edit.SetText(u"3.7");
    EXPECT_EQ(edit.Value(), 3.0f);
    // 10,000 pasted characters keep a valid text and value.
    edit.SetFractionalPartLength(5);
    edit.SetText(UnicodeString(std::u16string(10000, u'9')));
    EXPECT_EQ(edit.Text(), u"9999999.0");
    EXPECT_EQ(edit.Value(), 9999999.0f);
}

TEST(XFloatEditTest, ValuesOutOfFloatRangeKeepTheHeldValue)
{
    XFloatEdit edit(nullptr);
    edit.SetExponentialNotation(true);
    edit.SetText(u"2.5");
    edit.SetText(u"1e99");
    EXPECT_EQ(edit.Text(), u"2.50000");
    EXPECT_EQ(edit.Value(), 2.5f);
    edit.SetValue(INFINITY);
    EXPECT_EQ(edit.Value(), 2.5f);
    EXPECT_EQ(edit.Text(), u"2.5");
    // SetValue rounds to the decimals (0.7 never shows as 0.69999).
    edit.SetValue(0.7f);
    EXPECT_EQ(edit.Text(), u"0.70000");
    edit.SetFractionalPartLength(2);
    edit.SetValue(123456.789f);
    EXPECT_EQ(edit.Text(), u"123456.79");
    edit.SetFractionalPartLength(16); // out of range: ignored
    EXPECT_EQ(edit.FractionalPartLength(), 2);
}

TEST(XFloatEditTest, BoundsChangesAndStepping)
{
    FormPixels screen;
    auto* edit = new XFloatEdit(&screen.form);
    edit->SetParent(&screen.form);
    edit->SetBounds(10, 10, 120, 21);
    Changes changes;
    edit->OnChange = MakeClosure(&changes, &Changes::Changed);
    edit->SetUseBounds(true);
    edit->SetText(u"0.5");
    EXPECT_EQ(edit->Text(), u"0.5");
    edit->SetText(u"1.5");
    EXPECT_EQ(edit->Text(), u"1.00000");
    edit->SetText(u"-2");
    EXPECT_EQ(edit->Text(), u"0.00000");
    edit->SetMinValue(5); // above MaxValue: MaxValue
    EXPECT_EQ(edit->MinValue(), 1.0f);
    edit->SetMinValue(0);
    edit->SetMaxValue(-3);
    EXPECT_EQ(edit->MaxValue(), 0.0f);
    edit->SetUseBounds(false);
    // Typed key by key over the whole text, a number reads as it does validated at once; the "0"
    // the box supplied goes with the point a Backspace takes.
    edit->SetFocus();
    const char16_t* typed[][2] = {{u"-30", u"-30.0"}, {u".5", u"0.5"},       {u"-.5", u"-0.5"},
                                  {u"+7", u"+7.0"},   {u"12.5\b\b", u"12.0"}, {u"3.25\b\b\b", u"3.0"}};
    for (auto& [keys, shown] : typed)
    {
        edit->SelectAll();
        screen.Type(keys);
        EXPECT_EQ(edit->Text(), UnicodeString(shown));
        EXPECT_EQ(edit->Value(), TextToFloat32(UnicodeString(shown)));
    }
    // The caret stays where it was typed; no OnChange for a rewrite that keeps the value.
    edit->SetText(u"12.0");
    edit->SetFocus();
    edit->SetSelStart(2);
    screen.Type(u"5");
    EXPECT_EQ(edit->Text(), u"125.0");
    EXPECT_EQ(edit->SelStart(), 3);
    edit->SetSelStart(5);
    int before = changes.count;
    screen.Type(u"0");
    EXPECT_EQ(edit->Text(), u"125.00");
    EXPECT_EQ(changes.count, before);
    // Page keys and the wheel step by ChangeValue; 0 only re-formats.
    screen.Key(VK_PRIOR);
    EXPECT_EQ(edit->Value(), 125.0f);
    EXPECT_EQ(edit->Text(), u"125.00000");
    edit->SetChangeValue(0.5f);
    screen.Key(VK_PRIOR);
    screen.Key(VK_PRIOR);
    screen.Key(VK_NEXT);
    EXPECT_EQ(edit->Value(), 125.5f);
    screen.Wheel(20, 20, -3);
    EXPECT_EQ(edit->Value(), 124.0f);
    screen.Wheel(20, 20, 1);
    EXPECT_EQ(edit->Value(), 124.5f);
    edit->SelectAll();
    screen.Type(u"1.25");
    screen.Key(VK_LEFT);
    screen.Key(VK_LEFT);
    screen.Type(u"\b"); // a typed fraction stays
    EXPECT_EQ(edit->Text(), u"125.0");
    // A paste is read whole, white space around it left out, or refused whole.
    const char16_t* pasted[][2] = {{u" 42", u"42.0"}, {u"12345678.9", u"42.0"}, {u"1e3", u"42.0"}, {u"4 2", u"42.0"}};
    for (auto& [clip, shown] : pasted)
    {
        edit->SelectAll();
        Clipboard()->SetAsText(clip);
        edit->PasteFromClipboard();
        EXPECT_EQ(edit->Text(), UnicodeString(shown)) << UnicodeString(clip).ToUtf8();
    }
    // Above 0 a text short of the range stays as typed, the value the bound, until the user is
    // done; past the far bound it is bounded at once; no minus is taken.
    edit->SetMaxValue(100);
    edit->SetMinValue(0.01f);
    edit->SetUseBounds(true);
    const char16_t* bounded[][3] = {{u".5", u"0.5", u"0.5"},     {u"0.05", u"0.05", u"0.05"}, {u"-2", u"2.0", u"2"},
                                    {u"150", u"100.00000", u"100"}, {u"0.005", u"0.005", u"0.01"}};
    for (auto& [keys, shown, value] : bounded)
    {
        edit->SelectAll();
        screen.Type(keys);
        EXPECT_EQ(edit->Text(), UnicodeString(shown)) << UnicodeString(keys).ToUtf8();
        EXPECT_EQ(edit->Value(), TextToFloat32(UnicodeString(value))) << UnicodeString(keys).ToUtf8();
    }
    screen.Key(VK_RETURN);
    EXPECT_EQ(edit->Text(), u"0.01000");
    edit->SelectAll();
    screen.Type(u"0");
    screen.form.Perform(WM_ACTIVATE, 0, 0); // the window away and back: still being typed
    screen.form.Perform(WM_ACTIVATE, 1, 0);
    EXPECT_EQ(edit->Text(), u"0.0");
    auto* next = new XIntEdit(&screen.form);
    next->SetParent(&screen.form);
    next->SetFocus();
    EXPECT_EQ(edit->Text(), u"0.01000");
}

TEST(XIntEditTest, FilterBoundsAndStepping)
{
    struct Case
    {
        const char16_t* typed;
        const char16_t* shown;
        int value;
    };
    const Case cases[] = {{u"12a3", u"123", 123}, {u"+5", u"5", 5},       {u"--7", u"-7", -7},
                          {u"-", u"-0", 0},       {u"", u"0", 0},         {u"007", u"7", 7},
                          {u"2147483647", u"2147483647", 2147483647},     {u"-2147483648", u"-2147483648", INT32_MIN},
                          {u"\u0663\u0664", u"0", 0},                     {u"nan", u"0", 0}};
    for (const Case& c : cases)
    {
        XIntEdit edit(nullptr);
        edit.SetText(c.typed);
        EXPECT_EQ(edit.Text(), UnicodeString(c.shown)) << UnicodeString(c.typed).ToUtf8();
        EXPECT_EQ(edit.Value(), c.value) << UnicodeString(c.typed).ToUtf8();
    }
    XIntEdit edit(nullptr);
    Changes changes;
    edit.OnChange = MakeClosure(&changes, &Changes::Changed);
    edit.SetText(u"42");
    for (const char16_t* refused : {u"9999999999", u"2147483648", u"-2147483649"})
    {
        edit.SetText(refused);
        EXPECT_EQ(edit.Text(), u"42") << UnicodeString(refused).ToUtf8();
        EXPECT_EQ(edit.Value(), 42);
    }
    edit.SetText(UnicodeString(std::u16string(10000, u'9'))); // ten digits: beyond 32 bits
    EXPECT_EQ(edit.Text(), u"42");
    EXPECT_EQ(edit.Value(), 42);
    edit.SetMaxLength(3);
    edit.SetText(u"12345");
    EXPECT_EQ(edit.Text(), u"123");
    EXPECT_EQ(edit.TCustomEdit::MaxLength(), 0); // the edit's own limit stays off
    for (int refused : {1, 11, 3})
    {
        edit.SetMaxLength(refused);
        EXPECT_EQ(edit.MaxLength(), 3);
    }
    edit.SetMaxLength(10);
    edit.SetMaxValue(10);
    edit.SetUseBounds(true);
    EXPECT_EQ(edit.Value(), 10);
    int before = changes.count;
    edit.SetText(u"15");
    EXPECT_EQ(edit.Text(), u"10");
    EXPECT_EQ(changes.count, before + 1); // the typed 15 differed from the held 10
    edit.SetValue(10);
    EXPECT_EQ(changes.count, before + 1);
    edit.SetMinValue(50); // above MaxValue: MaxValue
    EXPECT_EQ(edit.MinValue(), 10);
    // Below the minimum, set or typed: the minimum.
    edit.SetMinValue(-20);
    edit.SetValue(-30);
    EXPECT_EQ(edit.Value(), -20);
    EXPECT_EQ(edit.Text(), u"-20");
    edit.SetValue(0);
    edit.SetText(u"-25");
    EXPECT_EQ(edit.Value(), -20);
    EXPECT_EQ(edit.Text(), u"-20");
    edit.SetUseBounds(false);
    // Stepping saturates at 32 bits.
    edit.SetValue(INT32_MAX - 1);
    edit.SetChangeValue(5);
    WORD key = VK_PRIOR;
    edit.Perform(WM_KEYDOWN, key, 0);
    EXPECT_EQ(edit.Value(), INT32_MAX);
    edit.SetValue(INT32_MIN + 2);
    edit.Perform(WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(edit.Value(), INT32_MIN);
    edit.SetValue(5);
    edit.SetChangeValue(INT32_MIN);
    edit.Perform(WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(edit.Value(), INT32_MAX);
    // Leading zeros stay while the value does not change.
    edit.SetText(u"007");
    EXPECT_EQ(edit.Text(), u"7");
    edit.SetText(u"007");
    EXPECT_EQ(edit.Text(), u"007");
    EXPECT_EQ(edit.Value(), 7);
    // A minus typed first stays for the digits after it; the "0" the box supplied is replaced.
    auto type = [&](const char16_t* keys)
    {
        for (; *keys; ++keys)
            edit.Perform(WM_CHAR, *keys, 0);
    };
    edit.SelectAll();
    type(u"-35");
    EXPECT_EQ(edit.Text(), u"-35");
    EXPECT_EQ(edit.Value(), -35);
    type(u"\b\b7");
    EXPECT_EQ(edit.Text(), u"-7");
    edit.SelectAll();
    type(u"5\b7");
    EXPECT_EQ(edit.Text(), u"7");
    // Above 0 no minus is taken, and a number short of the range stays until the user is done.
    edit.SetMaxValue(100);
    edit.SetMinValue(5);
    edit.SetUseBounds(true);
    edit.SelectAll();
    type(u"-35");
    edit.Perform(WM_KEYDOWN, VK_HOME, 0);
    type(u"-");
    EXPECT_EQ(edit.Text(), u"35");
    edit.SelectAll();
    type(u"12");
    EXPECT_EQ(edit.Text(), u"12");
    edit.SelectAll();
    type(u"3");
    EXPECT_EQ(edit.Text(), u"3");
    EXPECT_EQ(edit.Value(), 5);
    edit.Perform(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(edit.Text(), u"5");
    // A paste is the number it spells, or refused whole.
    for (const char16_t* pasted : {u" 42 ", u"4 2", u"12345678901", u"1e3"})
    {
        edit.SelectAll();
        Clipboard()->SetAsText(pasted);
        edit.PasteFromClipboard();
    }
    EXPECT_EQ(edit.Text(), u"42");
}

// One notch does one thing: over the box being edited it steps that box and the panel holding it
// stays; over any other box it scrolls the panel and no value changes.
TEST(XNumberEditTest, OnlyTheFocusedBoxStepsByTheWheelTheOthersScrollTheirPanel)
{
    FormPixels screen;
    auto* frame = new TFrame(&screen.form);
    frame->SetParent(&screen.form);
    frame->SetBounds(0, 0, 200, 100);
    auto* floatBox = new XFloatEdit(frame);
    floatBox->SetParent(frame);
    floatBox->SetBounds(10, 10, 80, 21);
    floatBox->SetChangeValue(0.5f);
    auto* intBox = new XIntEdit(frame);
    intBox->SetParent(frame);
    intBox->SetBounds(10, 40, 80, 21);
    intBox->SetChangeValue(2);
    auto* other = new XIntEdit(frame);
    other->SetParent(frame);
    other->SetBounds(10, 300, 80, 21);
    other->SetFocus();
    frame->SetVertPosition(0);
    ASSERT_GT(frame->VertRange(), frame->ClientHeight());

    screen.Wheel(20, 20, -1); // over the float box
    EXPECT_EQ(floatBox->Value(), 0.0f);
    EXPECT_EQ(frame->VertPosition(), TFrame::WheelLines * TFrame::LineStep);
    screen.Wheel(20, 50 - frame->VertPosition(), 1); // over the integer box
    EXPECT_EQ(intBox->Value(), 0);
    EXPECT_EQ(frame->VertPosition(), 0);

    floatBox->SetFocus();
    screen.Wheel(20, 20, -1);
    EXPECT_EQ(floatBox->Value(), -0.5f);
    EXPECT_EQ(frame->VertPosition(), 0);
    screen.Wheel(20, 50, -1); // the integer box is not the one being edited
    EXPECT_EQ(intBox->Value(), 0);
    EXPECT_EQ(floatBox->Value(), -0.5f);
    EXPECT_EQ(frame->VertPosition(), TFrame::WheelLines * TFrame::LineStep);
    frame->SetVertPosition(0);
    intBox->SetFocus();
    screen.Wheel(20, 50, 2);
    EXPECT_EQ(intBox->Value(), 4);
    EXPECT_EQ(frame->VertPosition(), 0);
}
