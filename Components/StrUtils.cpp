#include "Components/StrUtils.h"

#include <charconv>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <type_traits>

namespace
{
const WCHAR* OrEmpty(const WCHAR* text)
{
    return text ? text : u"";
}

const char* OrEmpty(const char* text)
{
    return text ? text : "";
}

// Widens ASCII text into a wide buffer unit by unit (number texts only ever hold ASCII).
void WidenAscii(WCHAR* dest, const char* src)
{
    while (*src)
        *dest++ = static_cast<unsigned char>(*src++);
    *dest = 0;
}

// A "C" locale of our own: number texts never follow the process locale.
locale_t CLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Unsigned arithmetic throughout the integer parsers: garbage or oversized input wraps instead of
// overflowing a signed value.
uint64_t Digit(WCHAR c)
{
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int>(c) - '0'));
}
} // namespace

namespace StrUtils
{
int StrCompare(const WCHAR* a, const WCHAR* b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, 0, OrEmpty(a), -1, OrEmpty(b), -1) - 2;
}

int StrCompare(const char* a, const char* b)
{
    return CompareStringA(LOCALE_USER_DEFAULT, 0, OrEmpty(a), -1, OrEmpty(b), -1) - 2;
}

void StrCopy(WCHAR* dest, const WCHAR* src, unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        dest[i] = src[i];
}

void StrNCopy(WCHAR* dest, const WCHAR* src, unsigned n)
{
    unsigned i = 0;
    if (src)
        for (; i < n && src[i]; ++i)
            dest[i] = src[i];
    dest[i] = 0;
}

void AssignString(UnicodeString& dest, const XBaseString<WCHAR>& src)
{
    dest = UnicodeString(src.c_str());
}

void AssignString(AnsiString& dest, const XBaseString<char>& src)
{
    dest = AnsiString(src.c_str());
}

int64_t DecStrToInt64(const WCHAR* text)
{
    unsigned length = TextLength(text);
    uint64_t value = 0;
    uint64_t place = 1;
    for (unsigned i = length; i-- > 0;)
    {
        value += Digit(text[i]) * place;
        place *= 10;
    }
    return static_cast<int64_t>(value);
}

int64_t StrToInt64(const WCHAR* text)
{
    // At most 512 characters are looked at; blanks and control characters are dropped wherever
    // they stand, so " - 12 " reads as -12.
    constexpr unsigned Limit = 512;
    WCHAR buffer[Limit + 1];
    unsigned length = 0;
    if (text)
        for (unsigned i = 0; i < Limit && text[i]; ++i)
            if (text[i] >= 33)
                buffer[length++] = text[i];
    buffer[length] = 0;

    if (buffer[0] == u'0' && (buffer[1] == u'x' || buffer[1] == u'X'))
        return HexToInt64(buffer + 2);
    const WCHAR* digits = buffer;
    bool negative = false;
    if (*digits == u'-')
    {
        negative = true;
        ++digits;
    }
    else if (*digits == u'+')
        ++digits;
    uint64_t value = static_cast<uint64_t>(DecStrToInt64(digits));
    return static_cast<int64_t>(negative ? 0 - value : value);
}
} // namespace StrUtils

using StrUtils::TextLength;

void WideToMultiByte(char* dest, const WCHAR* src)
{
    int length = static_cast<int>(TextLength(src));
    int written = 0;
    if (length > 0)
        written = WideCharToMultiByte(CP_THREAD_ACP, 0, src, length, dest, length, nullptr, nullptr);
    dest[written > 0 ? written : 0] = 0;
}

void MultiByteToWide(WCHAR* dest, const char* src)
{
    int length = static_cast<int>(TextLength(src));
    int written = 0;
    if (length > 0)
        written = MultiByteToWideChar(CP_THREAD_ACP, 0, src, length, dest, length);
    dest[written > 0 ? written : 0] = 0;
}

XAnsiString WideToAnsi(const XString& text)
{
    unsigned length = text.Length();
    if (length == 0)
        return XAnsiString();
    std::string buffer(length + 1, '\0');
    WideToMultiByte(buffer.data(), text.c_str());
    return XAnsiString(buffer.c_str());
}

XString AnsiToWide(const XAnsiString& text)
{
    unsigned length = text.Length();
    if (length == 0)
        return XString();
    std::u16string buffer(length + 1, u'\0');
    MultiByteToWide(buffer.data(), text.c_str());
    return XString(buffer.c_str());
}

void BoolToText(char* dest, bool value)
{
    const char* text = value ? "true" : "false";
    while ((*dest++ = *text++))
        ;
}

void BoolToText(WCHAR* dest, bool value)
{
    const WCHAR* text = value ? u"true" : u"false";
    while ((*dest++ = *text++))
        ;
}

// Nine significant digits in the C run time's "%.9g" shape, whatever the process locale:
// 1 -> "1", 0.5 -> "0.5", 1.5e10 -> "1.5e+10", 1e-5 -> "1e-05", infinities "inf" / "-inf".
// The destination needs room for 17 units ("-1.23456789e-308" and the NUL).
void FloatToText(char* dest, double value)
{
    char buffer[64];
    std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof(buffer) - 1, value, std::chars_format::general, 9);
    *result.ptr = 0;
    char* out = dest;
    for (const char* p = buffer; *p; ++p)
        *out++ = *p;
    *out = 0;
}

void FloatToText(WCHAR* dest, double value)
{
    char buffer[64];
    FloatToText(buffer, value);
    MultiByteToWide(dest, buffer);
}

void FloatToText(char* dest, float value)
{
    FloatToText(dest, static_cast<double>(value));
}

void FloatToText(WCHAR* dest, float value)
{
    FloatToText(dest, static_cast<double>(value));
}

// Fixed-point text that truncates (never rounds) to the decimals asked for: 2.5 with 2 decimals is
// "2.50", -0.25 with 1 is "-0.2", and 0 decimals drop the fraction ("%i" of the value truncated
// toward zero). The digits are cut from the value's shortest exact decimal text, so that 2.3 with 1
// decimal stays "2.3" (scaling the binary fraction 0.2999... by ten would give "2.2"). The integer
// part is the int range that "%i" prints; a value outside it (or not finite) is written in the
// "%.9g" shape instead of overflowing, so the text never needs more than 22 units.
void FormatFixed(char* dest, double value, unsigned decimals)
{
    if (decimals > 9)
        decimals = 9;
    if (!(value > -2147483649.0 && value < 2147483648.0))
    {
        FloatToText(dest, value);
        return;
    }
    bool negative = value < 0;
    if (negative)
        value = -value;

    // Below 2^31 the shortest fixed text has at most 10 integer digits and 330 fraction digits.
    char text[400];
    std::to_chars_result result =
        std::to_chars(text, text + sizeof(text) - 1, value, std::chars_format::fixed);
    *result.ptr = 0;
    const char* point = text;
    while (*point && *point != '.')
        ++point;

    char* out = dest;
    bool zero = true;
    for (const char* p = text; p != point; ++p)
        zero = zero && *p == '0';
    // With decimals the sign stays even when the digits are all zero ("-0.00"), as "%i" of the
    // truncated integer never carries one.
    if (negative && (decimals > 0 || !zero))
        *out++ = '-';
    for (const char* p = text; p != point; ++p)
        *out++ = *p;
    if (decimals > 0)
    {
        *out++ = '.';
        const char* fraction = *point ? point + 1 : point;
        for (unsigned i = 0; i < decimals; ++i)
            *out++ = *fraction ? *fraction++ : '0';
    }
    *out = 0;
}

void FormatFixed(WCHAR* dest, double value, unsigned decimals)
{
    char buffer[32];
    FormatFixed(buffer, value, decimals);
    WidenAscii(dest, buffer);
}

void IntToHex(char* dest, int value)
{
    wsprintfA(dest, "0x%08X", value);
}

void IntToHex(WCHAR* dest, int value)
{
    wsprintfW(dest, u"0x%08X", value);
}

void BytesToHex(WCHAR* dest, const void* bytes, unsigned n)
{
    static const char digits[] = "0123456789ABCDEF";
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (unsigned i = 0; i < n; ++i)
    {
        *dest++ = static_cast<WCHAR>(digits[p[i] >> 4]);
        *dest++ = static_cast<WCHAR>(digits[p[i] & 15]);
    }
    *dest = 0;
}

namespace
{
// The magnitude is taken as unsigned, so INT_MIN prints as -2147483648 (and INT64_MIN in full).
template <class C, class I> void SignedDecimal(C* dest, I value)
{
    using Magnitude = std::make_unsigned_t<I>;
    Magnitude magnitude =
        value < 0 ? Magnitude(0) - static_cast<Magnitude>(value) : static_cast<Magnitude>(value);
    C digits[24];
    int count = 0;
    do
    {
        digits[count++] = static_cast<C>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        *dest++ = '-';
    while (count)
        *dest++ = digits[--count];
    *dest = 0;
}
} // namespace

void IntToText(char* dest, int value)
{
    SignedDecimal(dest, value);
}

void IntToStr(WCHAR* dest, int value)
{
    SignedDecimal(dest, value);
}

void Int64ToText(char* dest, int64_t value)
{
    SignedDecimal(dest, value);
}

bool TextToBool(const char* text)
{
    char head[5] = {};
    for (int i = 0; i < 4 && text && text[i]; ++i)
        head[i] = text[i];
    CharLowerA(head);
    return CompareStringA(LOCALE_USER_DEFAULT, 0, head, -1, "true", -1) == CSTR_EQUAL;
}

bool TextToBool(const WCHAR* text)
{
    WCHAR head[5] = {};
    for (int i = 0; i < 4 && text && text[i]; ++i)
        head[i] = text[i];
    CharLowerW(head);
    return CompareStringW(LOCALE_USER_DEFAULT, 0, head, -1, u"true", -1) == CSTR_EQUAL;
}

int64_t BinToInt64(const WCHAR* text)
{
    uint64_t value = 0;
    for (const WCHAR* p = OrEmpty(text); *p; ++p)
        value = (value << 1) | Digit(*p);
    return static_cast<int64_t>(value);
}

int64_t OctToInt64(const WCHAR* text)
{
    uint64_t value = 0;
    for (const WCHAR* p = OrEmpty(text); *p; ++p)
        value = (value << 3) | Digit(*p);
    return static_cast<int64_t>(value);
}

int64_t HexToInt64(const WCHAR* text)
{
    uint64_t value = 0;
    for (const WCHAR* p = OrEmpty(text); *p; ++p)
    {
        WCHAR c = *p;
        uint64_t digit;
        if (c >= u'A' && c <= u'F')
            digit = static_cast<uint64_t>(c - u'A' + 10);
        else if (c >= u'a' && c <= u'f')
            digit = static_cast<uint64_t>(c - u'a' + 10);
        else
            digit = Digit(c);
        value = (value << 4) | digit;
    }
    return static_cast<int64_t>(value);
}

// The C run time's strtod in the "C" locale: leading white space skipped, the longest decimal
// prefix converted, 0 when there is none.
double TextToDouble(const char* text)
{
    return strtod_l(OrEmpty(text), nullptr, CLocale());
}

double TextToDouble(const WCHAR* text)
{
    // A number is ASCII: the text is narrowed up to its first other character.
    std::string narrow;
    for (const WCHAR* p = OrEmpty(text); *p && *p < 128; ++p)
        narrow += static_cast<char>(*p);
    return TextToDouble(narrow.c_str());
}

namespace
{
template <class C> C* Duplicate(const C* text)
{
    unsigned length = TextLength(text);
    if (length == 0)
        return nullptr;
    C* copy = new C[length + 1];
    for (unsigned i = 0; i <= length; ++i)
        copy[i] = text[i];
    return copy;
}
} // namespace

char* StrDup(const char* text)
{
    return Duplicate(text);
}

WCHAR* WStrDup(const WCHAR* text)
{
    return Duplicate(text);
}

void FillChars(char* dest, char value, unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        dest[i] = value;
}

void FillChars(WCHAR* dest, WCHAR value, unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        dest[i] = value;
}

XString GetFileName(const XString& path)
{
    const WCHAR* text = path.c_str();
    unsigned length = path.Length();
    unsigned start = length;
    while (start > 0 && text[start - 1] != u'\\' && text[start - 1] != u'/')
        --start;
    return XString(text + start);
}

XString GetFileExt(const XString& path)
{
    const WCHAR* text = path.c_str();
    for (unsigned i = path.Length(); i-- > 0;)
    {
        WCHAR c = text[i];
        if (c == u'.')
            return XString(text + i);
        if (c == u':' || c == u'\\' || c == u'/')
            break;
    }
    return XString();
}

XString IncludeTrailingSlash(const XString& path)
{
    unsigned length = path.Length();
    if (length == 0)
        return XString();
    WCHAR last = path.c_str()[length - 1];
    if (last == u'\\' || last == u'/')
        return path;
    return path + u"\\";
}

void FormatTimeStamp(WCHAR* dest)
{
    SYSTEMTIME time;
    GetLocalTime(&time);
    wsprintfW(dest, u"%4.4d.%2.2d.%2.2d %2.2d:%2.2d:%2.2d:%3.3d", time.wYear, time.wMonth, time.wDay,
              time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
}
