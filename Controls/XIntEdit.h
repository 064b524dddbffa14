// A single-line edit for one 32-bit integer. Every change of the text is filtered at once to an
// optional minus sign and at most MaxLength digits (every digit of the text, in order); the value
// is kept, clamped to optional bounds, stepped with Page Up, Page Down and, while focused, the wheel
// (saturating at 32 bits), and OnChange fires when the typed value differs from the held one.
#pragma once

#include "Controls/XFloatEdit.h"

class XIntEdit : public XNumberEdit
{
public:
    explicit XIntEdit(TComponent* AOwner);

    int Value() const { return FValue; }
    // Value := ValidateInt(v), and the text its decimal form.
    void SetValue(int v);
    int ChangeValue() const { return FChangeValue; }
    void SetChangeValue(int v) { FChangeValue = v; }
    int MinValue() const { return FMinValue; }
    void SetMinValue(int value);
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int value);
    bool UseBounds() const { return FUseBounds; }
    void SetUseBounds(bool value);
    // The most digits kept (2 .. 10; other values are ignored). It counts digits only, never
    // the edit's characters: the edit's own MaxLength stays unlimited.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);

    // With UseBounds the value clamped to MinValue .. MaxValue.
    int ValidateInt(int v) const;
    // The filter: an optional leading '-', then the text's digits up to the limit; "0" when none.
    UnicodeString ValidateString(const UnicodeString& s) const;
    void Finish() override;

protected:
    void Change() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    // Whole or not at all: the text with the paste must be one number of 32 bits within the
    // digit limit.
    bool AcceptPaste(UnicodeString& text) override;

private:
    // Puts the filter of text.Typed() into `text`.
    void Filter(XNumberRewrite& text) const;
    bool TakesMinus() const override { return !FUseBounds || FMinValue < 0; }
    void Step(int direction);
    // A notch steps only the box being edited (true); over any other it goes on to what holds it.
    bool WheelStep(int direction);

    int FValue = 0;
    int FChangeValue = 1;
    int FMinValue = 0;
    int FMaxValue = 0;
    int FMaxLength = 10;
    bool FUseBounds = false;
    bool FChanging = false;
};
