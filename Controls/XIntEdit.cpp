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

XNumberRewrite XIntEdit::Filter(const std::u16string& s, int caret) const
{
    XNumberRewrite text(s, caret);
    bool negative = !s.empty() && s[0] == u'-';
    if (negative)
        text.Put(u"-", 0);
    int digits = 0;
    for (size_t i = negative ? 1 : 0; i < s.size() && digits < FMaxLength; ++i)
        if (s[i] >= u'0' && s[i] <= u'9')
        {
            text.Put(std::u16string_view(s).substr(i, 1), static_cast<int>(i));
            ++digits;
        }
    if (digits == 0)
        text.Put(u"0", -1);
    return text;
}

UnicodeString XIntEdit::ValidateString(const UnicodeString& s) const
{
    return UnicodeString(Filter(s.str(), 0).Text());
}

void XIntEdit::Change()
{
    if (FChanging)
        return;
    FChanging = true;
    try
    {
        XNumberRewrite filtered = Filter(Text().str(), SelStart());
        SetText(UnicodeString(filtered.Text()));
        filtered.PlaceCaret(*this, FShown);
        int v = StrToInt(Text());
        if (v != FValue)
        {
            // A minus typed first reads 0 until its digits come: writing that 0 would lose it.
            if (v == 0 && Text().str()[0] == u'-' && ValidateInt(0) == 0)
                FValue = 0;
            else
                SetValue(v);
            OnChange(this);
        }
    }
    catch (...)
    {
        SetValue(FValue);
    }
    FShown = Text().str();
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
