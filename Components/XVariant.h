// The value type of the engine's reflection and of XML attribute values: one value of a small
// set of types under a 32-bit type tag, converted between types on request.
//
// Tags: the high byte is the type class, the low byte a type number. A tag whose class has bit
// 0x02 or 0x08 set is an integer for the conversions. Text values are owned copies made with
// array new; an empty text is held as a null pointer.
#pragma once

#include "Components/StrUtils.h"

#include <cstdint>

namespace VarUtils
{
constexpr uint32_t XVT_EMPTY = 0x01000000;
constexpr uint32_t XVT_BOOL = 0x02000001;
constexpr uint32_t XVT_INT8 = 0x02000002;
constexpr uint32_t XVT_INT16 = 0x02000003;
constexpr uint32_t XVT_INT32 = 0x02000004;
constexpr uint32_t XVT_INT64 = 0x02000005;
constexpr uint32_t XVT_FLOAT = 0x04000006;
constexpr uint32_t XVT_DOUBLE = 0x04000007;
constexpr uint32_t XVT_HEX8 = 0x08000008;
constexpr uint32_t XVT_HEX16 = 0x08000009;
constexpr uint32_t XVT_HEX32 = 0x0800000A;
constexpr uint32_t XVT_HEX64 = 0x0800000B;
constexpr uint32_t XVT_ANSISTRING = 0x1000000C;
constexpr uint32_t XVT_STRING = 0x1000000D;

class XVariant
{
public:
    XVariant() = default;
    // XVT_INT32, the value sign-extended.
    XVariant(int value);
    // XVT_STRING holding an owned copy (null for "").
    XVariant(const StrUtils::XBaseString<WCHAR>& text);
    XVariant(const XVariant& other);
    ~XVariant();

    // Texts are copied deep; every other value is copied as its 64 bits.
    XVariant& operator=(const XVariant& other);
    // XVT_BOOL, 0 or 1 in the low byte.
    XVariant& operator=(bool value);
    // XVT_INT32 with the high word 0: 0xFFFFFFFF is 4294967295 as a double, -1 as an int and as
    // text (the text reads back through AsInt as the same 32 bits).
    XVariant& operator=(unsigned value);
    XVariant& operator=(float value);
    XVariant& operator=(const StrUtils::XBaseString<char>& text);
    XVariant& operator=(const StrUtils::XBaseString<WCHAR>& text);
    // A bare C text would otherwise convert to bool: wrap it in a string to store it as text.
    XVariant& operator=(const char* text) = delete;
    XVariant& operator=(const WCHAR* text) = delete;

    // The address of caller-owned storage, kept at full pointer width under XVT_INT64 (properties
    // of point and matrix type pass their storage this way).
    void SetPointer(const void* address);
    // The integer value as an address; throws XVariantCastError for any non-integer tag.
    void* AsPointer() const;

    // Frees an owned text; the tag becomes XVT_EMPTY and the value 0.
    void Clear();
    uint32_t GetType() const { return m_Type; }

    // The conversions below throw XVariantCastError for the empty tag, a null text where a number
    // is needed and any tag they do not list; the variant is left unchanged.

    // Integers: any bit of the value set; floats: not 0.0; texts: TextToBool (false for null).
    bool AsBool() const;
    // Integers: the low 32 bits; floats: truncated toward zero (saturated at the int range, NaN
    // gives 0); texts: leading blanks, an optional sign and decimal digits, saturated.
    int AsInt() const;
    operator int() const { return AsInt(); }
    // Integers: the signed 64-bit value; floats: the value; texts: the decimal number the text
    // starts with ("1.5" gives 1.5, "12abc" gives 12), whatever the process locale; a text that
    // starts with no decimal number ("abc", "0x10" past its 0, "nan", "inf") gives 0, as for AsInt,
    // and a magnitude past the double range the largest finite value, so a text never yields NaN
    // or infinity.
    double AsDouble() const;
    // Never throw: texts are converted with the ANSI code page, other values formatted ("NULL",
    // "true"/"false", decimal, 9 significant digits, "0x%08X"); unknown tags give "".
    StrUtils::XBaseString<char> AsAnsiString() const;
    StrUtils::XBaseString<WCHAR> AsString() const;
    operator StrUtils::XBaseString<WCHAR>() const { return AsString(); }

protected:
    union Value
    {
        int64_t Int;
        float Float;
        double Double;
        char* AnsiText;
        WCHAR* Text;
    };

    bool IsInteger() const { return (m_Type & 0x0A000000u) != 0; }
    // The fixed text of a non-text tag, in ASCII.
    void FormatValue(char* dest) const;

    uint32_t m_Type = XVT_EMPTY;
    Value m_Value{0};
};
} // namespace VarUtils
