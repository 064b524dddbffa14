#include "Controls/XFloatEdit.h"

#include "Components/StrUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>

// ---- XFloatScanner ---------------------------------------------------------------------------

bool XFloatScanner::At(char16_t a, char16_t b) const
{
    if (FPos > FLength)
        return false;
    char16_t c = FText[static_cast<size_t>(FPos - 1)];
    return c == a || c == b;
}

std::u16string XFloatScanner::Sign()
{
    if (!At(u'-', u'+'))
        return {};
    return std::u16string(1, FText[static_cast<size_t>(FPos++ - 1)]);
}

std::u16string XFloatScanner::Digits()
{
    std::u16string digits;
    while (FPos <= FLength)
    {
        char16_t c = FText[static_cast<size_t>(FPos - 1)];
        if (c < u'0' || c > u'9')
            break;
        digits += c;
        ++FPos;
    }
    return digits.empty() ? u"0" : digits;
}

std::u16string XFloatScanner::Point()
{
    if (!At(u'.', u','))
        return {};
    ++FPos;
    return u".";
}

bool XFloatScanner::Exponent()
{
    if (!At(u'e', u'E'))
        return false;
    ++FPos;
    return true;
}

// ---- XNumberRewrite --------------------------------------------------------------------------

void XNumberRewrite::Put(std::u16string_view chars, int from)
{
    FText += chars;
    FSupplied.resize(FText.size(), from < 0);
    if (from >= 0 && from < FCaret)
        FNewCaret = static_cast<int>(FText.size() - chars.size()) +
                    std::min(static_cast<int>(chars.size()), FCaret - from);
}

void XNumberRewrite::PlaceCaret(TCustomEdit& edit, const std::u16string& shown) const
{
    edit.SetSelStart(FNewCaret);
    auto at = static_cast<size_t>(FNewCaret);
    bool supplied = at < FText.size() && FSupplied[at] && FText[at] == u'0';
    // A text the program set keeps a plain caret; so does a piece cut out at the caret with
    // something left before it, which a selected digit would keep every Backspace from reaching.
    if (!supplied || !edit.Modified())
        return;
    auto caret = static_cast<size_t>(FCaret);
    bool deleted =
        FTyped.size() < shown.size() && shown.compare(0, caret, FTyped, 0, caret) == 0 &&
        shown.compare(shown.size() - (FTyped.size() - caret), std::u16string::npos, FTyped, caret) == 0;
    if (!deleted || FNewCaret == 0)
        edit.SetSelLength(1);
}

// ---- Conversions -----------------------------------------------------------------------------

float TextToFloat32(const UnicodeString& text)
{
    std::string narrow;
    for (char16_t c : text.str())
    {
        if (c > 0x7F)
            break;
        narrow += static_cast<char>(c);
    }
    // A number starts (after blanks and a sign) with a digit, or a point and a digit.
    size_t i = narrow.find_first_not_of(" \t");
    if (i != std::string::npos && (narrow[i] == '-' || narrow[i] == '+'))
        ++i;
    auto digit = [&](size_t k) { return k < narrow.size() && narrow[k] >= '0' && narrow[k] <= '9'; };
    bool number = i != std::string::npos && (digit(i) || (i < narrow.size() && narrow[i] == '.' && digit(i + 1)));
    double value = number ? ::TextToDouble(narrow.c_str()) : 0.0;
    auto single = static_cast<float>(value);
    if (!number || !std::isfinite(single))
        throw EConvertError(u"'" + text + u"' is not a valid floating point value");
    return single;
}

// ---- XFloatEdit ------------------------------------------------------------------------------

XFloatEdit::XFloatEdit(TComponent* AOwner) : TCustomEdit(AOwner)
{
    SetText(u"0");
}

UnicodeString XFloatEdit::FixedText(double value) const
{
    if (!std::isfinite(value))
        throw EConvertError(u"Invalid floating point value");
    int decimals = std::min(FFractionalPartLength, 9);
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer) - 1, value, std::chars_format::fixed, decimals);
    *result.ptr = 0;
    return UnicodeString(buffer);
}

void XFloatEdit::SetValue(float v)
{
    try
    {
        if (FUseBounds)
        {
            if (v < FMinValue)
                v = FMinValue;
            else if (v > FMaxValue)
                v = FMaxValue;
        }
        SetText(FixedText(v));
    }
    catch (...)
    {
        SetText(FloatToStr(FValue));
    }
}

void XFloatEdit::SetExponentialNotation(bool value)
{
    if (value == FExponentialNotation)
        return;
    FExponentialNotation = value;
    Validate();
}

void XFloatEdit::SetFractionalPartLength(int value)
{
    if (value < 0 || value > 15 || value == FFractionalPartLength)
        return;
    FFractionalPartLength = value;
    Validate();
}

void XFloatEdit::SetMinValue(float value)
{
    FMinValue = std::min(value, FMaxValue);
    SetValue(FValue);
}

void XFloatEdit::SetMaxValue(float value)
{
    FMaxValue = std::max(value, FMinValue);
    SetValue(FValue);
}

void XFloatEdit::SetUseBounds(bool value)
{
    FUseBounds = value;
    if (value)
        SetValue(FValue);
}

XNumberRewrite XFloatEdit::Canonical(const std::u16string& typed, int caret) const
{
    XFloatScanner scanner(typed);
    // Each part read with the index it was typed at, or -1 when the scanner supplied it.
    auto read = [&](auto scan, std::u16string& part)
    {
        int at = scanner.Position() - 1;
        part = (scanner.*scan)();
        return scanner.Position() - 1 > at ? at : -1;
    };
    std::u16string sign, integer, point, fraction, expSign, expDigits;
    int signAt = read(&XFloatScanner::Sign, sign);
    int integerAt = read(&XFloatScanner::Digits, integer);
    int pointAt = read(&XFloatScanner::Point, point);
    int fractionAt = read(&XFloatScanner::Digits, fraction);
    int letterAt = scanner.Position() - 1;
    bool exponent = scanner.Exponent() && FExponentialNotation;
    int expSignAt = -1, expDigitsAt = -1;
    if (exponent)
    {
        expSignAt = read(&XFloatScanner::Sign, expSign);
        expDigitsAt = read(&XFloatScanner::Digits, expDigits);
    }
    // The leading digits stay: a pasted long number keeps its first seven.
    if (static_cast<int>(integer.size()) > FIntegerDigits)
        integer.resize(static_cast<size_t>(FIntegerDigits));
    int room = FIntegerDigits - static_cast<int>(integer.size());
    int n = static_cast<int>(fraction.size());
    if (n != 1 && n > room)
        n = room + 1;
    n = std::min(n, FFractionalPartLength);
    XNumberRewrite text(typed, caret);
    text.Put(sign, signAt);
    text.Put(integer, integerAt);
    if (n > 0)
    {
        text.Put(u".", pointAt);
        text.Put(std::u16string_view(fraction).substr(0, static_cast<size_t>(n)), fractionAt);
    }
    if (exponent)
    {
        text.Put(u"E", letterAt);
        text.Put(expSign, expSignAt);
        text.Put(std::u16string_view(expDigits).substr(0, static_cast<size_t>(FExponentDigits)), expDigitsAt);
    }
    return text;
}

bool XFloatEdit::Show(const std::u16string& text)
{
    if (FUseBounds)
    {
        float value = TextToFloat32(UnicodeString(text));
        if (value < FMinValue)
        {
            SetValue(FMinValue);
            return false;
        }
        if (value > FMaxValue)
        {
            SetValue(FMaxValue);
            return false;
        }
    }
    SetText(UnicodeString(text));
    return true;
}

void XFloatEdit::Validate()
{
    Show(Canonical(Text().str(), 0).Text());
}

void XFloatEdit::Change()
{
    // Taken first: the rewrite's own change runs through here again.
    std::u16string shown = std::move(FShown);
    try
    {
        int caret = SelStart();
        XNumberRewrite rewrite = Canonical(Text().str(), caret);
        if (Show(rewrite.Text()))
            rewrite.PlaceCaret(*this, shown);
        else
            SetSelStart(std::min(caret, Text().Length()));
        float value = TextToFloat32(Text());
        if (value != FValue)
        {
            FValue = value;
            OnChange(this);
        }
    }
    catch (...)
    {
        SetText(FixedText(FValue));
    }
    FShown = Text().str();
}

void XFloatEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomEdit::KeyDown(Key, Shift);
    if (Key == VK_PRIOR)
        SetValue(FValue + FChangeValue);
    else if (Key == VK_NEXT)
        SetValue(FValue - FChangeValue);
}

bool XFloatEdit::WheelStep(float delta)
{
    if (!Focused())
        return false;
    SetValue(FValue + delta);
    return true;
}

bool XFloatEdit::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    return TCustomEdit::DoMouseWheelDown(Shift, MousePos) || WheelStep(-FChangeValue);
}

bool XFloatEdit::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    return TCustomEdit::DoMouseWheelUp(Shift, MousePos) || WheelStep(FChangeValue);
}
