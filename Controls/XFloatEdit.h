// A single-line edit for one 32-bit float. Whatever is typed is rewritten at once into a canonical
// number text (sign, at most 7 integer digits, '.', limited fraction digits, an optional exponent);
// the value is kept, clamped to optional bounds, stepped with Page Up, Page Down and, while focused,
// the wheel, and OnChange fires only when the value really changes. Text never follows the process locale.
#pragma once

#include "Platform/Vcl/StdCtrls.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reads the parts of a number text from a 1-based position, advancing past what it accepts.
class XFloatScanner
{
public:
    explicit XFloatScanner(const std::u16string& text) : FText(text), FLength(static_cast<int>(text.size())) {}
    // "-" or "+" when one stands here, else "".
    std::u16string Sign();
    // The run of '0' .. '9' here, or "0" when there is none.
    std::u16string Digits();
    // "." for a '.' or ',' here, else "".
    std::u16string Point();
    // Whether an 'e' or 'E' stands here.
    bool Exponent();
    int Position() const { return FPos; }

private:
    bool At(char16_t a, char16_t b) const;

    std::u16string FText;
    int FPos = 1;
    int FLength;
};

// What a number box showed after its last rewrite, which of its characters the box supplied, and
// where the selection began when a key or a paste came (a typed "0" over a selected "0" is typed).
struct XNumberShown
{
    // A key or a paste comes over the selection; `inserts`: what replaces the selection is typed,
    // also where it is the same text and no rewrite follows.
    void Edit(int selStart, int selLength, bool inserts);

    std::u16string text;
    std::vector<bool> supplied; // empty: none
    size_t editFrom = SIZE_MAX;
};

// A number box's canonical text, built piece by piece from what was typed, and where the caret goes
// in it: after the last character kept from before the typed caret. A digit the rewrite supplies for
// a part not typed ("0") never joins what the user types: right at the caret it is selected, so
// that the next key replaces it (after a deletion only with nothing before it, so that Backspace
// still reaches what stands there), and one the edit leaves beside typed digits is not read. The
// float and integer boxes share it.
class XNumberRewrite
{
public:
    // `typed` with the caret at `caret`; `before`: what the box showed when the user's edit made
    // `typed`, null for a text the program set.
    XNumberRewrite(std::u16string typed, int caret, const XNumberShown* before = nullptr);
    // What the rewrite reads: the typed text without the supplied digits beside typed ones.
    const std::u16string& Typed() const { return FTyped; }
    // Appends `chars`, standing one for one for the characters of Typed() from index `from` on (a
    // ',' may stand as '.'); `from` -1: characters the rewrite supplies.
    void Put(std::u16string_view chars, int from);
    const std::u16string& Text() const { return FText; }
    // Sets edit's caret (its text being Text()).
    void PlaceCaret(TCustomEdit& edit) const;
    // What the box shows now, marked as far as it is this rewrite's text.
    XNumberShown Shown(const std::u16string& now) const;

private:
    std::u16string FTyped;
    std::vector<bool> FTypedSupplied; // per character of FTyped, as far as known
    int FCaret;
    bool FUser;
    bool FDeleted = false; // the user's edit only took characters out
    std::u16string FText;
    std::vector<bool> FSupplied; // per character of FText
    int FNewCaret = 0;
};

// A typed value between 0 and the bound nearest to it, in a range wholly on one side of 0: more
// keys can still reach the range, so the text stays as typed until the user finishes.
template <class T> bool ShortOfRange(T value, T min, T max)
{
    return (min > 0 && value >= 0 && value < min) || (max < 0 && value <= 0 && value > max);
}

// What the float and integer boxes share: the text as the last rewrite left it, no minus where no
// value of the range has one, and the user finishing the text by Enter or by the focus going to
// another control (the window losing the keyboard does not).
class XNumberEdit : public TCustomEdit
{
public:
    using TCustomEdit::TCustomEdit;
    // The user is done with the text: one short of the range shows the bound Value holds.
    virtual void Finish() = 0;

protected:
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;
    void DoExit() override;
    virtual bool TakesMinus() const = 0;
    // The text with `pasted` (the paste without the white space around it) in place of the
    // selection.
    std::u16string WithPaste(const UnicodeString& text, std::u16string& pasted) const;
    // Takes the paste that WithPaste read.
    bool TakePaste(UnicodeString& text, std::u16string& pasted);

    XNumberShown FShown; // the text as the last rewrite left it
};

class XFloatEdit : public XNumberEdit
{
public:
    explicit XFloatEdit(TComponent* AOwner);

    float Value() const { return FValue; }
    // Clamps (with UseBounds) and writes the value as text rounded to FractionalPartLength
    // decimals (at most 9); Value itself follows from the text (the bound while a typed text is
    // short of the range).
    void SetValue(float v);
    float ChangeValue() const { return FChangeValue; }
    void SetChangeValue(float v) { FChangeValue = v; }
    bool ExponentialNotation() const { return FExponentialNotation; }
    void SetExponentialNotation(bool value);
    int FractionalPartLength() const { return FFractionalPartLength; }
    // 0 .. 15; other values are ignored.
    void SetFractionalPartLength(int value);
    float MinValue() const { return FMinValue; }
    void SetMinValue(float value);
    float MaxValue() const { return FMaxValue; }
    void SetMaxValue(float value);
    bool UseBounds() const { return FUseBounds; }
    void SetUseBounds(bool value);

    // Rescans the text and rewrites it canonically.
    void Validate();
    void Finish() override;

protected:
    void Change() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    // Whole or not at all: the text with the paste must read as one number this box holds.
    bool AcceptPaste(UnicodeString& text) override;

private:
    // Puts the canonical text of text.Typed() into `text`.
    void Canonical(XNumberRewrite& text) const;
    // Shows a canonical text, or with UseBounds the bound it passes (one short of the range
    // stays while `typing`); false for a bound.
    bool Show(const std::u16string& text, bool typing);
    bool TakesMinus() const override { return !FUseBounds || FMinValue < 0; }
    // A notch steps only the box being edited (true); over any other it goes on to what holds it.
    bool WheelStep(float delta);
    // The value's text in fixed-point form, rounded to the kept decimals.
    UnicodeString FixedText(double value) const;

    bool FExponentialNotation = false;
    float FValue = 0;
    float FChangeValue = 0;
    int FFractionalPartLength = 5;
    int FIntegerDigits = 7;
    int FExponentDigits = 2;
    float FMinValue = 0;
    float FMaxValue = 1.0f;
    bool FUseBounds = false;
};

// The C locale's reading of a number text as a 32-bit float; EConvertError for text with no
// number, or one that is not finite as a 32-bit float.
float TextToFloat32(const UnicodeString& text);
