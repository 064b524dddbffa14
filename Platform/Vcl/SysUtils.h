// The class library's strings, exception family and simple dialogs.
#pragma once

#include "Platform/Win32/Windows.h"

#include <cstdint>
#include <string>

// The class library's wide string: UTF-16, value semantics, never null (c_str of an empty string
// is an empty text).
class UnicodeString
{
public:
    UnicodeString() = default;
    UnicodeString(const WCHAR* text) : m_text(text ? text : u"") {}
    UnicodeString(const WCHAR* text, size_t length) : m_text(text ? std::u16string(text, length) : u"") {}
    UnicodeString(std::u16string text) : m_text(std::move(text)) {}
    // Narrow text is widened with the ANSI code page.
    explicit UnicodeString(const char* text);

    const WCHAR* c_str() const { return m_text.c_str(); }
    int Length() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    const std::u16string& str() const { return m_text; }
    std::u16string& str() { return m_text; }
    // 1-based, as the class library indexes.
    WCHAR operator[](int index) const { return m_text[static_cast<size_t>(index - 1)]; }
    void SetLength(int length) { m_text.resize(static_cast<size_t>(length < 0 ? 0 : length)); }

    UnicodeString& operator+=(const UnicodeString& other)
    {
        m_text += other.m_text;
        return *this;
    }
    friend UnicodeString operator+(const UnicodeString& a, const UnicodeString& b) { return a.m_text + b.m_text; }
    friend bool operator==(const UnicodeString& a, const UnicodeString& b) { return a.m_text == b.m_text; }
    friend bool operator!=(const UnicodeString& a, const UnicodeString& b) { return a.m_text != b.m_text; }

    std::string ToUtf8() const { return Platform::ToUtf8(m_text.c_str(), m_text.size()); }

private:
    std::u16string m_text;
};

// The class library's 8-bit string in the ANSI code page.
class AnsiString
{
public:
    AnsiString() = default;
    AnsiString(const char* text) : m_text(text ? text : "") {}
    AnsiString(std::string text) : m_text(std::move(text)) {}
    explicit AnsiString(const UnicodeString& text); // narrowed with the ANSI code page

    const char* c_str() const { return m_text.c_str(); }
    int Length() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    const std::string& str() const { return m_text; }
    friend bool operator==(const AnsiString& a, const AnsiString& b) { return a.m_text == b.m_text; }

private:
    std::string m_text;
};

// Root of the class library's exceptions: a wide message, copyable, thrown by value.
class Exception
{
public:
    explicit Exception(const UnicodeString& message) : m_message(message) {}
    explicit Exception(const WCHAR* message) : m_message(message) {}
    explicit Exception(const char* message) : m_message(message) {}
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;
    virtual ~Exception() = default;

    const UnicodeString& Message() const { return m_message; }
    void SetMessage(const UnicodeString& message) { m_message = message; }

private:
    UnicodeString m_message;
};

class EConvertError : public Exception
{
public:
    using Exception::Exception;
};

class EOleSysError : public Exception
{
public:
    using Exception::Exception;
};

namespace Vcl
{
// The application's title: the caption of ShowMessage boxes. Defaults to the program's file name.
UnicodeString ApplicationTitle();
void SetApplicationTitle(const UnicodeString& title);
} // namespace Vcl

// Shows the text in a message box captioned with the application's title and an OK button,
// through the Win32 layer's message-box handler.
void ShowMessage(const UnicodeString& message);

// ---- Numbers as text ---------------------------------------------------------------------------
// Always with '.' as the decimal separator, whatever the process locale.

enum TFloatFormat
{
    ffGeneral,  // the shorter of fixed and scientific, trailing zeros removed
    ffExponent, // d.ddd...E+dddd
    ffFixed,    // ddd.ddd with Digits decimals
    ffNumber,   // as ffFixed with thousands separators
};

// The value rounded to Precision significant digits (1 to 18) and formatted. ffFixed and ffNumber
// fall back to scientific when the integer part needs more than Precision digits; ffGeneral takes
// fixed form while the integer part fits in Precision digits and the value is at least 0.00001,
// and Digits is then the least number of exponent digits (0 to 4); ffExponent gives at least
// Digits exponent digits. Not-a-number is "NAN", infinities "INF" and "-INF".
UnicodeString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// FloatToStrF(value, ffGeneral, 15, 0): 3 is "3", 0.5 is "0.5", 1e20 is "1E20".
UnicodeString FloatToStr(double value);
// Decimal text to a number ('.' only, optional exponent, blanks around allowed); anything else
// raises EConvertError.
double StrToFloat(const UnicodeString& text);
// As StrToFloat, with the default for text that is not a number.
double StrToFloatDef(const UnicodeString& text, double defaultValue);
// Decimal, or hexadecimal after '$' or "0x"; anything else (or a value outside 32 bits) gives the
// default.
int StrToIntDef(const UnicodeString& text, int defaultValue);
UnicodeString IntToStr(int64_t value);
// Decimal text (optional sign, blanks around allowed) or hexadecimal after '$' or "0x" to a 32-bit
// integer; anything else, or a value outside 32 bits, raises EConvertError
// ("'text' is not a valid integer value").
int StrToInt(const UnicodeString& text);

// ---- Processor ---------------------------------------------------------------------------------

// Masks every floating-point exception of the processor, in the x87 control word (mask 0x3F) and
// in the SSE control register, so invalid operations, divisions by zero, overflows and the rest
// give their IEEE results (NaN, infinity) instead of a trap.
void MaskFPUExceptions();
