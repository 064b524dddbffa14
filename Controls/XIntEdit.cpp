#include "Controls/XIntEdit.h"

#include "Components/StrUtils.h"

#include <algorithm>
#include <cstdint>

XIntEdit::XIntEdit(TComponent* AOwner) : XNumberEdit(AOwner)
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

void XIntEdit::Filter(XNumberRewrite& text) const
{
    const std::u16string& s = text.Typed();
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
}

UnicodeString XIntEdit::ValidateString(const UnicodeString& s) const
{
    XNumberRewrite text(s.str(), 0);
    Filter(text);
    return UnicodeString(text.Text());
}

void XIntEdit::Change()
{
    if (FChanging)
        return;
    FChanging = true;
    try
    {
        bool typing = Modified();
        XNumberRewrite filtered(Text().str(), SelStart(), typing ? &FShown : nullptr);
        Filter(filtered);
        SetText(UnicodeString(filtered.Text()));
        filtered.PlaceCaret(*this);
        FShown = filtered.Shown(Text().str());
        int v = StrToInt(Text());
        if (v != FValue)
        {
            // Kept as typed: a minus typed first reads 0 until its digits come, and a number short
            // of the range may still reach it; writing the value would lose them.
            if (v == 0 && Text().str()[0] == u'-' && ValidateInt(0) == 0)
                FValue = 0;
            else if (typing && FUseBounds && ShortOfRange(v, FMinValue, FMaxValue))
                FValue = ValidateInt(v);
            else
                SetValue(v);
            OnChange(this);
        }
    }
    catch (...)
    {
        SetValue(FValue);
    }
    if (Text().str() != FShown.text)
        FShown = {Text().str(), {}};
    FChanging = false;
}

void XIntEdit::Finish()
{
    // The text is filtered here: it reads within 32 bits.
    if (FUseBounds && StrToInt(Text()) != FValue)
        SetValue(FValue);
}

void XIntEdit::Step(int direction)
{
    int64_t next = static_cast<int64_t>(FValue) + direction * static_cast<int64_t>(FChangeValue);
    SetValue(static_cast<int>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX)));
}

void XIntEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    XNumberEdit::KeyDown(Key, Shift);
    if (Key == VK_PRIOR)
        Step(1);
    else if (Key == VK_NEXT)
        Step(-1);
}

bool XIntEdit::AcceptPaste(UnicodeString& text)
{
    std::u16string pasted;
    std::u16string result = WithPaste(text, pasted);
    size_t first = !result.empty() && (result[0] == u'-' || result[0] == u'+') ? 1 : 0;
    size_t digits = result.size() - first;
    if (pasted.empty() || digits == 0 || digits > static_cast<size_t>(FMaxLength) || (result[0] == u'-' && !TakesMinus()))
        return false;
    int64_t value = 0;
    for (size_t i = first; i < result.size(); ++i)
    {
        if (result[i] < u'0' || result[i] > u'9')
            return false;
        value = value * 10 + (result[i] - u'0');
    }
    if (result[0] == u'-' ? -value < INT32_MIN : value > INT32_MAX)
        return false;
    return TakePaste(text, pasted);
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
    return XNumberEdit::DoMouseWheelDown(Shift, MousePos) || WheelStep(-1);
}

bool XIntEdit::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    return XNumberEdit::DoMouseWheelUp(Shift, MousePos) || WheelStep(1);
}
