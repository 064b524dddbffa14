// A single-line edit for one 32-bit float. Whatever is typed is rewritten at once into a canonical
// number text (sign, at most 7 integer digits, '.', limited fraction digits, an optional exponent);
// the value is kept, clamped to optional bounds, stepped with Page Up, Page Down and, while focused,
// the wheel, and OnChange fires only when the value really changes. Text never follows the process locale.
#pragma once

#include "Platform/Vcl/StdCtrls.h"

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

// A number box's canonical text, built piece by piece from what was typed, and where the caret goes
// in it: after the last character kept from before the typed caret. A digit the rewrite supplies for
// a part not typed ("0") never stays inside what the user goes on typing: right at the caret it is
// selected, so that the next key replaces it (after a deletion only with nothing before it, so that
// Backspace still reaches what stands there). The float and integer boxes share it.
class XNumberRewrite
{
public:
    XNumberRewrite(std::u16string typed, int caret) : FTyped(std::move(typed)), FCaret(caret) {}
    // Appends `chars`, standing one for one for the typed characters from index `from` on (a
    // ',' may stand as '.'); `from` -1: characters the rewrite supplies.
    void Put(std::u16string_view chars, int from);
    const std::u16string& Text() const { return FText; }
    // Sets edit's caret (its text being Text()); `shown` is the text before the edit.
    void PlaceCaret(TCustomEdit& edit, const std::u16string& shown) const;

private:
    std::u16string FTyped;
    int FCaret;
    std::u16string FText;
    std::vector<bool> FSupplied; // per character of FText
    int FNewCaret = 0;
};

class XFloatEdit : public TCustomEdit
{
public:
    explicit XFloatEdit(TComponent* AOwner);

    float Value() const { return FValue; }
    // Clamps (with UseBounds) and writes the value as text rounded to FractionalPartLength
    // decimals (at most 9); Value itself follows from the text.
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

protected:
    void Change() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;

private:
    // The canonical text of `typed`, following the caret at `caret`.
    XNumberRewrite Canonical(const std::u16string& typed, int caret) const;
    // Shows a canonical text, or with UseBounds the bound it passes; false for a bound.
    bool Show(const std::u16string& text);
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
    std::u16string FShown; // the text as the last rewrite left it
};

// The C locale's reading of a number text as a 32-bit float; EConvertError for text with no
// number, or one that is not finite as a 32-bit float.
float TextToFloat32(const UnicodeString& text);
