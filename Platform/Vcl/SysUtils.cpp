#include "Platform/Vcl/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <vector>

namespace
{
UnicodeString& TitleStorage()
{
    static UnicodeString title;
    return title;
}
} // namespace

UnicodeString::UnicodeString(const char* text)
{
    if (!text || !*text)
        return;
    int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed <= 0)
        return;
    std::vector<WCHAR> buffer(static_cast<size_t>(needed));
    MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), needed);
    m_text.assign(buffer.data());
}

AnsiString::AnsiString(const UnicodeString& text)
{
    if (text.IsEmpty())
        return;
    int needed = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return;
    std::vector<char> buffer(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer.data(), needed, nullptr, nullptr);
    m_text.assign(buffer.data());
}

namespace Vcl
{
UnicodeString ApplicationTitle()
{
    if (TitleStorage().IsEmpty())
    {
        std::string path = Platform::ProgramPath();
        size_t slash = path.find_last_of('/');
        return UnicodeString(Platform::FromUtf8(slash == std::string::npos ? path : path.substr(slash + 1)));
    }
    return TitleStorage();
}

void SetApplicationTitle(const UnicodeString& title)
{
    TitleStorage() = title;
}
} // namespace Vcl

void ShowMessage(const UnicodeString& message)
{
    MessageBoxW(nullptr, message.c_str(), Vcl::ApplicationTitle().c_str(), MB_OK);
}

// ---- Numbers as text ---------------------------------------------------------------------------

namespace
{
UnicodeString Ascii(const std::string& text)
{
    return UnicodeString(std::u16string(text.begin(), text.end()));
}

// The value's significant decimal digits (precision of them, rounded) and the decimal exponent of
// the first: value = 0.d1d2d3... x 10^(exponent + 1).
void Digits(double value, int precision, std::string& digits, int& exponent)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.*e", precision - 1, std::fabs(value));
    std::string text(buffer);
    size_t e = text.find('e');
    exponent = std::atoi(text.c_str() + e + 1);
    digits.clear();
    for (size_t i = 0; i < e; ++i)
    {
        if (text[i] >= '0' && text[i] <= '9')
            digits += text[i];
    }
}

std::string Scientific(const std::string& digits, int exponent, bool trimZeros, int exponentDigits,
                       bool plusSign)
{
    std::string mantissa = digits.substr(0, 1);
    std::string rest = digits.substr(1);
    if (trimZeros)
    {
        while (!rest.empty() && rest.back() == '0')
            rest.pop_back();
    }
    if (!rest.empty())
        mantissa += "." + rest;
    std::string power = std::to_string(std::abs(exponent));
    while (static_cast<int>(power.size()) < exponentDigits)
        power.insert(power.begin(), '0');
    std::string sign = exponent < 0 ? "-" : plusSign ? "+" : "";
    return mantissa + "E" + sign + power;
}

std::string Grouped(const std::string& integer)
{
    std::string out;
    int count = 0;
    for (auto it = integer.rbegin(); it != integer.rend(); ++it)
    {
        if (count && count % 3 == 0)
            out.insert(out.begin(), ',');
        out.insert(out.begin(), *it);
        ++count;
    }
    return out;
}
} // namespace

UnicodeString FloatToStrF(double value, TFloatFormat format, int precision, int digits)
{
    if (std::isnan(value))
        return u"NAN";
    if (std::isinf(value))
        return value < 0 ? u"-INF" : u"INF";
    precision = std::clamp(precision, 1, 18);
    std::string sign = std::signbit(value) && value != 0 ? "-" : "";
    std::string significant;
    int exponent = 0;
    Digits(value, precision, significant, exponent);
    bool zero = significant.find_first_not_of('0') == std::string::npos;
    if (zero)
    {
        exponent = 0;
        sign.clear();
    }
    switch (format)
    {
    case ffExponent:
        return Ascii(sign + Scientific(significant, exponent, false, std::clamp(digits, 0, 4), true));
    case ffGeneral:
    {
        if (zero)
            return u"0";
        if (exponent >= precision || std::fabs(value) < 0.00001)
            return Ascii(sign + Scientific(significant, exponent, true, std::clamp(digits, 0, 4), false));
        break;
    }
    case ffFixed:
    case ffNumber:
        if (exponent >= precision)
            return Ascii(sign + Scientific(significant, exponent, false, 0, true));
        break;
    }
    // Fixed form: the digits placed around the decimal point.
    std::string integer;
    std::string fraction;
    for (int position = std::max(exponent, 0); position >= 0; --position)
    {
        int index = exponent - position;
        integer += index >= 0 && index < static_cast<int>(significant.size()) ? significant[static_cast<size_t>(index)] : '0';
    }
    int fractionDigits = format == ffGeneral ? precision : std::clamp(digits, 0, 18);
    for (int position = 1; position <= fractionDigits; ++position)
    {
        int index = exponent + position;
        fraction += index >= 0 && index < static_cast<int>(significant.size()) ? significant[static_cast<size_t>(index)] : '0';
    }
    if (format == ffGeneral)
    {
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
    }
    if (format == ffNumber)
        integer = Grouped(integer);
    return Ascii(sign + integer + (fraction.empty() ? "" : "." + fraction));
}

UnicodeString FloatToStr(double value)
{
    return FloatToStrF(value, ffGeneral, 15, 0);
}

double StrToFloat(const UnicodeString& text)
{
    std::string narrow;
    for (WCHAR c : text.str())
    {
        if (c > 0x7F)
            throw EConvertError(u"'" + text + u"' is not a valid floating point value");
        narrow += static_cast<char>(c);
    }
    size_t first = narrow.find_first_not_of(" \t");
    size_t last = narrow.find_last_not_of(" \t");
    std::string core = first == std::string::npos ? "" : narrow.substr(first, last - first + 1);
    // Only plain decimal numbers: no hexadecimal floats, no "inf" or "nan" words.
    bool digit = false;
    for (char c : core)
    {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            throw EConvertError(u"'" + text + u"' is not a valid floating point value");
        digit = digit || std::isdigit(static_cast<unsigned char>(c));
    }
    std::istringstream in(core);
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    if (!digit || in.fail() || !in.eof())
        throw EConvertError(u"'" + text + u"' is not a valid floating point value");
    return value;
}

double StrToFloatDef(const UnicodeString& text, double defaultValue)
{
    try
    {
        return StrToFloat(text);
    }
    catch (const EConvertError&)
    {
        return defaultValue;
    }
}

int StrToIntDef(const UnicodeString& text, int defaultValue)
{
    std::string narrow;
    for (WCHAR c : text.str())
    {
        if (c > 0x7F)
            return defaultValue;
        narrow += static_cast<char>(c);
    }
    size_t first = narrow.find_first_not_of(" \t");
    if (first == std::string::npos)
        return defaultValue;
    narrow = narrow.substr(first);
    bool negative = false;
    if (!narrow.empty() && (narrow[0] == '-' || narrow[0] == '+'))
    {
        negative = narrow[0] == '-';
        narrow.erase(0, 1);
    }
    int base = 10;
    if (!narrow.empty() && narrow[0] == '$')
    {
        base = 16;
        narrow.erase(0, 1);
    }
    else if (narrow.size() > 1 && narrow[0] == '0' && (narrow[1] == 'x' || narrow[1] == 'X'))
    {
        base = 16;
        narrow.erase(0, 2);
    }
    if (narrow.empty() || narrow.size() > 20)
        return defaultValue;
    int64_t value = 0;
    for (char c : narrow)
    {
        int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : base == 16 && std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
                                                                                : -1;
        if (d < 0)
            return defaultValue;
        value = value * base + d;
        if (value > 0xFFFFFFFFll)
            return defaultValue;
    }
    if (base == 10)
    {
        if (negative ? value > 0x80000000ll : value > 0x7FFFFFFFll)
            return defaultValue;
        return static_cast<int>(negative ? -value : value);
    }
    // Hexadecimal takes the 32 bits as they stand.
    auto bits = static_cast<int32_t>(static_cast<uint32_t>(value));
    return negative ? -bits : bits;
}

UnicodeString IntToStr(int64_t value)
{
    return Ascii(std::to_string(value));
}

// ---- Processor ---------------------------------------------------------------------------------

void MaskFPUExceptions()
{
#if defined(__x86_64__) || defined(__i386__)
    uint16_t control = 0;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    control |= 0x3F;
    __asm__ volatile("fldcw %0" : : "m"(control));
    uint32_t mxcsr = 0;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    mxcsr |= 0x1F80; // the six exception masks
    __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
#else
    std::fedisableexcept(FE_ALL_EXCEPT);
#endif
}

int StrToInt(const UnicodeString& text)
{
    const std::u16string& t = text.str();
    size_t i = 0, end = t.size();
    auto blank = [](char16_t c) { return c == u' ' || (c >= 9 && c <= 13); };
    while (i < end && blank(t[i]))
        ++i;
    while (end > i && blank(t[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (t[i] == u'-' || t[i] == u'+'))
        negative = t[i++] == u'-';
    int base = 10;
    if (i < end && t[i] == u'$')
    {
        base = 16;
        ++i;
    }
    else if (end - i > 1 && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X'))
    {
        base = 16;
        i += 2;
    }
    bool valid = i < end;
    int64_t value = 0;
    for (; valid && i < end; ++i)
    {
        char16_t c = t[i];
        int digit = c >= u'0' && c <= u'9' ? c - u'0'
                    : base == 16 && c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : base == 16 && c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                            : -1;
        if (digit < 0)
            valid = false;
        else
            value = value * base + digit;
        if (value > (base == 16 ? 0xFFFFFFFFll : 0x80000000ll))
            valid = false;
    }
    if (valid && base == 16 && !negative)
        return static_cast<int>(static_cast<uint32_t>(value));
    if (valid && negative)
        value = -value;
    if (!valid || value > 0x7FFFFFFF || value < -0x80000000ll)
        throw EConvertError(u"'" + text + u"' is not a valid integer value");
    return static_cast<int>(value);
}
