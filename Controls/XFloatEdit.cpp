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

void XNumberShown::Edit(int selStart, int selLength, bool inserts)
{
    editFrom = static_cast<size_t>(selStart);
    for (size_t k = editFrom; inserts && k < editFrom + static_cast<size_t>(selLength) && k < supplied.size(); ++k)
        supplied[k] = false;
}

XNumberRewrite::XNumberRewrite(std::u16string typed, int caret, const XNumberShown* before)
    : FTyped(std::move(typed)), FCaret(caret), FUser(before != nullptr)
{
    if (!before || caret < 0 || static_cast<size_t>(caret) > FTyped.size())
        return;
    // The edit replaced shown[start, shown.size() - tail) by typed[start, caret): the typed
    // text after the caret is what stood at the end before.
    const std::u16string& shown = before->text;
    const size_t at = static_cast<size_t>(caret);
    const size_t tail = FTyped.size() - at;
    if (tail > shown.size() || shown.compare(shown.size() - tail, tail, FTyped, at, tail) != 0)
        return;
    size_t start = 0;
    while (start < std::min({at, shown.size() - tail, before->editFrom}) && shown[start] == FTyped[start])
        ++start;
    FDeleted = start == at && FTyped.size() < shown.size();
    std::vector<bool> supplied(FTyped.size());
    for (size_t i = 0; i < FTyped.size(); ++i)
    {
        size_t from = i < start ? i : i >= at ? i - at + shown.size() - tail : SIZE_MAX;
        supplied[i] = from < before->supplied.size() && before->supplied[from];
    }
    // Each run of digits with a typed one in it loses the digits the box supplied.
    auto digit = [&](size_t k) { return k < FTyped.size() && FTyped[k] >= u'0' && FTyped[k] <= u'9'; };
    std::u16string kept;
    for (size_t i = 0, end = 0; i < FTyped.size(); i = end)
    {
        bool typedDigit = false;
        for (end = i; end == i || (digit(i) && digit(end)); ++end)
            typedDigit = typedDigit || (digit(end) && !supplied[end]);
        for (size_t k = i; k < end; ++k)
        {
            if (typedDigit && supplied[k])
                FCaret -= k < at ? 1 : 0;
            else
            {
                kept += FTyped[k];
                FTypedSupplied.push_back(supplied[k]);
            }
        }
    }
    FTyped = std::move(kept);
}

void XNumberRewrite::Put(std::u16string_view chars, int from)
{
    FText += chars;
    // What the box supplied before stays supplied where it is read again.
    for (size_t i = 0; i < chars.size(); ++i)
    {
        size_t at = from < 0 ? SIZE_MAX : static_cast<size_t>(from) + i;
        FSupplied.push_back(from < 0 || (at < FTypedSupplied.size() && FTypedSupplied[at]));
    }
    if (from >= 0 && from < FCaret)
        FNewCaret = static_cast<int>(FText.size() - chars.size()) +
                    std::min(static_cast<int>(chars.size()), FCaret - from);
}

void XNumberRewrite::PlaceCaret(TCustomEdit& edit) const
{
    edit.SetSelStart(FNewCaret);
    auto at = static_cast<size_t>(FNewCaret);
    bool supplied = at < FText.size() && FSupplied[at] && FText[at] == u'0';
    // A text the program set keeps a plain caret; so does a piece cut out at the caret with
    // something left before it, which a selected digit would keep every Backspace from reaching.
    if (supplied && FUser && (!FDeleted || FNewCaret == 0))
        edit.SetSelLength(1);
}

XNumberShown XNumberRewrite::Shown(const std::u16string& now) const
{
    if (now == FText)
        return {FText, FSupplied};
    return {now, {}};
}

// ---- XNumberEdit -----------------------------------------------------------------------------

void XNumberEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    FShown.Edit(SelStart(), SelLength(), false);
    if (Key == VK_RETURN)
        Finish();
    TCustomEdit::KeyDown(Key, Shift);
}

void XNumberEdit::KeyPress(WCHAR& Key)
{
    FShown.Edit(SelStart(), SelLength(), Key >= 0x20 && Key != 0x7F);
    if (Key == u'-' && !TakesMinus())
        return;
    TCustomEdit::KeyPress(Key);
}

void XNumberEdit::DoExit()
{
    if (!WindowFocusOnly())
        Finish();
    TCustomEdit::DoExit();
}

std::u16string XNumberEdit::WithPaste(const UnicodeString& text, std::u16string& pasted) const
{
    std::u16string_view trimmed = text.str();
    auto space = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0xA0; };
    while (!trimmed.empty() && space(trimmed.front()))
        trimmed.remove_prefix(1);
    while (!trimmed.empty() && space(trimmed.back()))
        trimmed.remove_suffix(1);
    pasted = trimmed;
    std::u16string result = Text().str();
    return result.replace(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()), pasted);
}

bool XNumberEdit::TakePaste(UnicodeString& text, std::u16string& pasted)
{
    FShown.Edit(SelStart(), SelLength(), true);
    text = UnicodeString(std::move(pasted));
    return true;
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

XFloatEdit::XFloatEdit(TComponent* AOwner) : XNumberEdit(AOwner)
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

void XFloatEdit::Canonical(XNumberRewrite& text) const
{
    XFloatScanner scanner(text.Typed());
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
    // The leading digits stay: a long number set from code keeps its first seven.
    if (static_cast<int>(integer.size()) > FIntegerDigits)
        integer.resize(static_cast<size_t>(FIntegerDigits));
    int room = FIntegerDigits - static_cast<int>(integer.size());
    int n = static_cast<int>(fraction.size());
    if (n != 1 && n > room)
        n = room + 1;
    n = std::min(n, FFractionalPartLength);
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
}

bool XFloatEdit::Show(const std::u16string& text, bool typing)
{
    if (FUseBounds)
    {
        float value = TextToFloat32(UnicodeString(text));
        bool keep = typing && ShortOfRange(value, FMinValue, FMaxValue);
        if (value < FMinValue && !keep)
        {
            SetValue(FMinValue);
            return false;
        }
        if (value > FMaxValue && !keep)
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
    XNumberRewrite rewrite(Text().str(), 0);
    Canonical(rewrite);
    Show(rewrite.Text(), false);
}

void XFloatEdit::Finish()
{
    // The text is canonical here: it reads.
    if (FUseBounds && TextToFloat32(Text()) != FValue)
        SetValue(FValue);
}

void XFloatEdit::Change()
{
    // Taken first: the rewrite's own change runs through here again.
    XNumberShown shown = std::move(FShown);
    try
    {
        int caret = SelStart();
        bool typing = Modified();
        XNumberRewrite rewrite(Text().str(), caret, typing ? &shown : nullptr);
        Canonical(rewrite);
        if (Show(rewrite.Text(), typing))
            rewrite.PlaceCaret(*this);
        else
            SetSelStart(std::min(caret, Text().Length()));
        FShown = rewrite.Shown(Text().str());
        // Short of the range the value is the bound.
        float value = TextToFloat32(Text());
        if (FUseBounds)
            value = std::clamp(value, FMinValue, FMaxValue);
        if (value != FValue)
        {
            FValue = value;
            OnChange(this);
        }
    }
    catch (...)
    {
        SetText(FixedText(FValue));
        FShown = {Text().str(), {}};
    }
}

void XFloatEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    XNumberEdit::KeyDown(Key, Shift);
    if (Key == VK_PRIOR)
        SetValue(FValue + FChangeValue);
    else if (Key == VK_NEXT)
        SetValue(FValue - FChangeValue);
}

bool XFloatEdit::AcceptPaste(UnicodeString& text)
{
    std::u16string pasted;
    std::u16string result = WithPaste(text, pasted);
    XFloatScanner scanner(result);
    auto digits = [&]
    {
        int from = scanner.Position();
        scanner.Digits();
        return scanner.Position() - from;
    };
    bool negative = scanner.Sign() == u"-";
    int integer = digits();
    scanner.Point();
    bool whole = integer + digits() > 0 && integer <= FIntegerDigits && (!negative || TakesMinus());
    if (whole && scanner.Exponent())
    {
        scanner.Sign();
        int exponent = digits();
        whole = FExponentialNotation && exponent > 0 && exponent <= FExponentDigits;
    }
    if (pasted.empty() || !whole || scanner.Position() <= static_cast<int>(result.size()))
        return false;
    try
    {
        XNumberRewrite rewrite(result, 0);
        Canonical(rewrite);
        TextToFloat32(UnicodeString(rewrite.Text())); // throws beyond the float range
    }
    catch (const EConvertError&)
    {
        return false;
    }
    return TakePaste(text, pasted);
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
    return XNumberEdit::DoMouseWheelDown(Shift, MousePos) || WheelStep(-FChangeValue);
}

bool XFloatEdit::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    return XNumberEdit::DoMouseWheelUp(Shift, MousePos) || WheelStep(FChangeValue);
}
