#include "Controls/XIntEdit.h"

#include "Components/StrUtils.h"

#include <algorithm>
#include <cstdint>

XIntEdit::XIntEdit(TComponent* AOwner) : TCustomEdit(AOwner)
{
    SetText(u"0");
}

int XIntEdit::ValidateInt(int v) const
{
    if (!FUseBounds)
        return v;
    if (v < FMinValue)
        return FMinValue;
    if (v > FMaxValue)
        return FMaxValue;
    return v;
}

void XIntEdit::SetValue(int v)
{
    FValue = ValidateInt(v);
    WCHAR text[16];
    ::IntToStr(text, FValue);
    SetText(UnicodeString(text));
}

void XIntEdit::SetMinValue(int value)
{
    FMinValue = value > FMaxValue ? FMaxValue : value;
    SetValue(FValue);
}

void XIntEdit::SetMaxValue(int value)
{
    FMaxValue = value < FMinValue ? FMinValue : value;
    SetValue(FValue);
}

void XIntEdit::SetUseBounds(bool value)
{
    FUseBounds = value;
    if (value)
        SetValue(FValue);
}

void XIntEdit::SetMaxLength(int value)
{
    if (value < 2 || value > 10 || value == FMaxLength)
        return;
    FMaxLength = value;
    Change();
}

UnicodeString XIntEdit::ValidateString(const UnicodeString& s) const
{
    const std::u16string& text = s.str();
    bool negative = !text.empty() && text[0] == u'-';
    std::u16string digits;
    for (size_t i = negative ? 1 : 0; i < text.size() && static_cast<int>(digits.size()) < FMaxLength; ++i)
        if (text[i] >= u'0' && text[i] <= u'9')
            digits += text[i];
    if (digits.empty())
        digits.push_back(u'0');
    return UnicodeString(negative ? u"-" + digits : digits);
}

void XIntEdit::Change()
{
    if (FChanging)
        return;
    FChanging = true;
    try
    {
        int caret = SelStart();
        SetText(ValidateString(Text()));
        SetSelStart(std::min(caret, Text().Length()));
        int v = StrToInt(Text());
        if (v != FValue)
        {
            SetValue(v);
            OnChange(this);
        }
    }
    catch (...)
    {
        SetValue(FValue);
    }
    FChanging = false;
}

void XIntEdit::Step(int direction)
{
    int64_t next = static_cast<int64_t>(FValue) + direction * static_cast<int64_t>(FChangeValue);
    SetValue(static_cast<int>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX)));
}

void XIntEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomEdit::KeyDown(Key, Shift);
    if (Key == VK_PRIOR)
        Step(1);
    else if (Key == VK_NEXT)
        Step(-1);
}

bool XIntEdit::WheelStep(int direction)
{
    if (!Focused())
        return false;
    Step(direction);
    return true;
}

bool XIntEdit::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    return TCustomEdit::DoMouseWheelDown(Shift, MousePos) || WheelStep(-1);
}

bool XIntEdit::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    return TCustomEdit::DoMouseWheelUp(Shift, MousePos) || WheelStep(1);
}
