#include "Components/XVariant.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace VarUtils
{
namespace
{
bool IsBlank(unsigned c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The C run time's integer parse (leading blanks, optional sign, decimal digits up to the first
// other character), saturated at the int range instead of wrapping, and blind to the locale.
template <class C> int ParseInt(const C* text)
{
    while (IsBlank(static_cast<unsigned>(*text)))
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
    {
        negative = *text == '-';
        ++text;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
    {
        value = value * 10 + (*text - '0');
        if (value > limit)
        {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

// A text's number for AsDouble: the longest prefix (after leading blanks) that is a decimal number
// -- a sign, digits with an optional '.' fraction, an optional exponent -- read in the C locale.
// Hexadecimal, "inf" and "nan" are no decimal numbers: they read as no number at all, as for AsInt,
// so that no text can yield NaN or infinity and slip through a caller's range checks. A magnitude
// beyond the double range saturates at the largest finite value.
template <class C> double ParseDecimal(const C* text)
{
    while (IsBlank(static_cast<unsigned>(*text)))
        ++text;
    std::string number;
    auto digits = [&]
    {
        size_t count = 0;
        for (; *text >= '0' && *text <= '9'; ++text, ++count)
            number += static_cast<char>(*text);
        return count;
    };
    if (*text == '-' || *text == '+')
        number += static_cast<char>(*text++);
    size_t mantissa = digits();
    if (*text == '.')
    {
        number += '.';
        ++text;
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0.0;
    if (*text == 'e' || *text == 'E')
    {
        const C* exponent = text + 1;
        if (*exponent == '-' || *exponent == '+')
            ++exponent;
        if (*exponent >= '0' && *exponent <= '9')
        {
            number += 'e';
            for (++text; text != exponent; ++text)
                number += static_cast<char>(*text);
            digits();
        }
    }
    double value = TextToDouble(number.c_str());
    if (std::isinf(value))
        return std::copysign(DBL_MAX, value);
    return value;
}

int TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}
} // namespace

XVariant::XVariant(int value)
{
    m_Type = XVT_INT32;
    m_Value.Int = value;
}

XVariant::XVariant(const StrUtils::XBaseString<WCHAR>& text)
{
    m_Type = XVT_STRING;
    m_Value.Text = WStrDup(text.c_str());
}

XVariant::XVariant(const XVariant& other)
{
    *this = other;
}

XVariant::~XVariant()
{
    Clear();
}

XVariant& XVariant::operator=(const XVariant& other)
{
    if (this == &other)
        return *this;
    // Copy before releasing our own text, so that a failed allocation leaves this variant intact.
    Value copy = other.m_Value;
    if (other.m_Type == XVT_ANSISTRING)
        copy.AnsiText = other.m_Value.AnsiText ? StrDup(other.m_Value.AnsiText) : nullptr;
    else if (other.m_Type == XVT_STRING)
        copy.Text = other.m_Value.Text ? WStrDup(other.m_Value.Text) : nullptr;
    Clear();
    m_Type = other.m_Type;
    m_Value = copy;
    return *this;
}

XVariant& XVariant::operator=(bool value)
{
    Clear();
    m_Type = XVT_BOOL;
    m_Value.Int = value ? 1 : 0;
    return *this;
}

XVariant& XVariant::operator=(unsigned value)
{
    Clear();
    m_Type = XVT_INT32;
    m_Value.Int = static_cast<int64_t>(value);
    return *this;
}

XVariant& XVariant::operator=(float value)
{
    Clear();
    m_Type = XVT_FLOAT;
    m_Value.Int = 0;
    m_Value.Float = value;
    return *this;
}

XVariant& XVariant::operator=(const StrUtils::XBaseString<char>& text)
{
    char* copy = StrDup(text.c_str());
    Clear();
    m_Type = XVT_ANSISTRING;
    m_Value.AnsiText = copy;
    return *this;
}

XVariant& XVariant::operator=(const StrUtils::XBaseString<WCHAR>& text)
{
    WCHAR* copy = WStrDup(text.c_str());
    Clear();
    m_Type = XVT_STRING;
    m_Value.Text = copy;
    return *this;
}

void XVariant::SetPointer(const void* address)
{
    Clear();
    m_Type = XVT_INT64;
    m_Value.Int = static_cast<int64_t>(reinterpret_cast<uintptr_t>(address));
}

void* XVariant::AsPointer() const
{
    if (!IsInteger())
        throw XVariantCastError();
    return reinterpret_cast<void*>(static_cast<uintptr_t>(m_Value.Int));
}

void XVariant::Clear()
{
    if (m_Type == XVT_ANSISTRING)
        delete[] m_Value.AnsiText;
    else if (m_Type == XVT_STRING)
        delete[] m_Value.Text;
    m_Type = XVT_EMPTY;
    m_Value.Int = 0;
}

bool XVariant::AsBool() const
{
    if (IsInteger())
        return m_Value.Int != 0;
    switch (m_Type)
    {
    case XVT_FLOAT:
        return m_Value.Float != 0.0f;
    case XVT_DOUBLE:
        return m_Value.Double != 0.0;
    case XVT_ANSISTRING:
        return m_Value.AnsiText && TextToBool(m_Value.AnsiText);
    case XVT_STRING:
        return m_Value.Text && TextToBool(m_Value.Text);
    default:
        throw XVariantCastError();
    }
}

int XVariant::AsInt() const
{
    if (IsInteger())
        return static_cast<int32_t>(static_cast<uint32_t>(m_Value.Int));
    switch (m_Type)
    {
    case XVT_FLOAT:
        return TruncateToInt(m_Value.Float);
    case XVT_DOUBLE:
        return TruncateToInt(m_Value.Double);
    case XVT_ANSISTRING:
        if (m_Value.AnsiText)
            return ParseInt(m_Value.AnsiText);
        break;
    case XVT_STRING:
        if (m_Value.Text)
            return ParseInt(m_Value.Text);
        break;
    default:
        break;
    }
    throw XVariantCastError();
}

double XVariant::AsDouble() const
{
    if (IsInteger())
        return static_cast<double>(m_Value.Int);
    switch (m_Type)
    {
    case XVT_FLOAT:
        return m_Value.Float;
    case XVT_DOUBLE:
        return m_Value.Double;
    case XVT_ANSISTRING:
        if (m_Value.AnsiText)
            return ParseDecimal(m_Value.AnsiText);
        break;
    case XVT_STRING:
        if (m_Value.Text)
            return ParseDecimal(m_Value.Text);
        break;
    default:
        break;
    }
    throw XVariantCastError();
}

void XVariant::FormatValue(char* dest) const
{
    *dest = 0;
    switch (m_Type)
    {
    case XVT_EMPTY:
        std::strcpy(dest, "NULL");
        return;
    case XVT_BOOL:
        std::strcpy(dest, (m_Value.Int & 0xFF) ? "true" : "false");
        return;
    case XVT_INT8:
    case XVT_INT16:
    case XVT_INT32:
        // The signed decimal of the low word, so that AsInt of the text gives the same 32 bits
        // back (a colour or flag word with its top bit set survives a trip through XML).
        IntToText(dest, static_cast<int32_t>(static_cast<uint32_t>(m_Value.Int)));
        return;
    case XVT_INT64:
        Int64ToText(dest, m_Value.Int);
        return;
    case XVT_FLOAT:
        FloatToText(dest, m_Value.Float);
        return;
    case XVT_DOUBLE:
        FloatToText(dest, m_Value.Double);
        return;
    case XVT_HEX8:
    case XVT_HEX16:
    case XVT_HEX32:
    case XVT_HEX64:
        IntToHex(dest, static_cast<int32_t>(static_cast<uint32_t>(m_Value.Int)));
        return;
    default:
        return;
    }
}

StrUtils::XBaseString<char> XVariant::AsAnsiString() const
{
    if (m_Type == XVT_ANSISTRING)
        return StrUtils::XBaseString<char>(m_Value.AnsiText);
    if (m_Type == XVT_STRING)
        return WideToAnsi(StrUtils::XBaseString<WCHAR>(m_Value.Text));
    char text[512];
    FormatValue(text);
    return StrUtils::XBaseString<char>(text);
}

StrUtils::XBaseString<WCHAR> XVariant::AsString() const
{
    if (m_Type == XVT_STRING)
        return StrUtils::XBaseString<WCHAR>(m_Value.Text);
    if (m_Type == XVT_ANSISTRING)
        return AnsiToWide(StrUtils::XBaseString<char>(m_Value.AnsiText));
    char text[512];
    FormatValue(text);
    // The formatted texts are ASCII: each byte is its own code unit.
    WCHAR wide[512];
    unsigned i = 0;
    for (; text[i]; ++i)
        wide[i] = static_cast<unsigned char>(text[i]);
    wide[i] = 0;
    return StrUtils::XBaseString<WCHAR>(wide);
}
} // namespace VarUtils
