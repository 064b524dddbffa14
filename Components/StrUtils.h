// The engine's own strings and the free functions that turn numbers, booleans, times and file
// names into text and back.
//
// XBaseString<C> holds one pointer to a NUL-terminated buffer made with array new; the pointer
// is null for the empty string, so an empty or null source never allocates. No length is kept.
#pragma once

#include "Components/XException.h"
#include "Platform/Vcl/SysUtils.h"

#include <cstdint>
#include <cstring>

namespace StrUtils
{
template <class C> inline unsigned TextLength(const C* text)
{
    if (!text)
        return 0;
    const C* p = text;
    while (*p)
        ++p;
    return static_cast<unsigned>(p - text);
}

// -1, 0 or +1: the code-unit order of CompareStringW with flags 0 (case-sensitive).
int StrCompare(const WCHAR* a, const WCHAR* b);
int StrCompare(const char* a, const char* b);

// Copies exactly n characters and writes no NUL.
void StrCopy(WCHAR* dest, const WCHAR* src, unsigned n);
// Copies at most n characters, stopping at the source's NUL, and always writes a NUL (dest needs
// n+1 characters).
void StrNCopy(WCHAR* dest, const WCHAR* src, unsigned n);

template <class C> class XBaseString
{
public:
    XBaseString() = default;
    XBaseString(const C* text) { Assign(text, TextLength(text)); }
    XBaseString(const XBaseString& other) { Assign(other.m_Data, other.Length()); }
    XBaseString(XBaseString&& other) noexcept : m_Data(other.m_Data) { other.m_Data = nullptr; }
    ~XBaseString() { delete[] m_Data; }

    // Wide strings only: the class library's string.
    XBaseString(const UnicodeString& text) requires(sizeof(C) == 2)
    {
        SetLength(static_cast<unsigned>(text.Length()));
        if (m_Data)
        {
            std::memcpy(m_Data, text.c_str(), static_cast<size_t>(text.Length()) * sizeof(C));
            m_Data[text.Length()] = 0;
        }
    }

    XBaseString& operator=(const XBaseString& other)
    {
        if (this != &other)
            Assign(other.m_Data, other.Length());
        return *this;
    }
    XBaseString& operator=(XBaseString&& other) noexcept
    {
        if (this != &other)
        {
            delete[] m_Data;
            m_Data = other.m_Data;
            other.m_Data = nullptr;
        }
        return *this;
    }
    XBaseString& operator=(const C* text)
    {
        Assign(text, TextLength(text));
        return *this;
    }

    void Assign(const C* text) { Assign(text, TextLength(text)); }

    // Exactly n characters of p; n = 0 leaves the string empty. The text may lie in this string's
    // own buffer: the new buffer is filled before the old one is freed.
    void Assign(const C* p, unsigned n)
    {
        C* data = nullptr;
        if (n > 0 && p)
        {
            data = new C[n + 1];
            std::memcpy(data, p, n * sizeof(C));
            data[n] = 0;
        }
        delete[] m_Data;
        m_Data = data;
    }

    const C* c_str() const
    {
        static const C empty[1] = {0};
        return m_Data ? m_Data : empty;
    }
    C* Data() const { return m_Data; }
    unsigned Length() const { return TextLength(m_Data); }
    unsigned StrLen() const { return Length(); }
    bool IsEmpty() const { return !m_Data || !m_Data[0]; }

    // n = 0 frees the buffer; otherwise a new buffer of n+1 characters holding the first
    // min(n, Length) characters and a NUL: a larger n only reserves room.
    void SetLength(unsigned n)
    {
        if (n == 0)
        {
            delete[] m_Data;
            m_Data = nullptr;
            return;
        }
        unsigned keep = Length();
        if (keep > n)
            keep = n;
        // Zero-filled: whatever the caller writes into the reserved room stays terminated.
        C* data = new C[n + 1]();
        if (keep)
            std::memcpy(data, m_Data, keep * sizeof(C));
        data[keep] = 0;
        delete[] m_Data;
        m_Data = data;
    }

    void Truncate(unsigned n)
    {
        if (n >= Length())
            return;
        Assign(m_Data, n);
    }

    // Characters [start, start+count), cut at the end of the text.
    XBaseString SubString(unsigned start, unsigned count) const
    {
        XBaseString result;
        unsigned length = Length();
        if (start >= length)
            return result;
        if (count > length - start)
            count = length - start;
        result.Assign(m_Data + start, count);
        return result;
    }

    // In place with CharLowerW.
    void LowerCase() requires(sizeof(C) == 2)
    {
        if (m_Data)
            CharLowerW(m_Data);
    }

    bool operator==(const XBaseString& other) const { return StrCompare(c_str(), other.c_str()) == 0; }
    bool operator!=(const XBaseString& other) const { return !(*this == other); }
    bool operator==(const C* text) const
    {
        return StrCompare(c_str(), text ? text : XBaseString().c_str()) == 0;
    }
    bool operator!=(const C* text) const { return !(*this == text); }

    // Appending this very string doubles it.
    XBaseString& operator+=(const XBaseString& other)
    {
        unsigned add = other.Length();
        if (add == 0)
            return *this;
        unsigned length = Length();
        C* data = new C[length + add + 1];
        if (length)
            std::memcpy(data, m_Data, length * sizeof(C));
        std::memcpy(data + length, other.m_Data, add * sizeof(C));
        data[length + add] = 0;
        delete[] m_Data;
        m_Data = data;
        return *this;
    }

    operator UnicodeString() const requires(sizeof(C) == 2) { return UnicodeString(c_str()); }

private:
    C* m_Data = nullptr;
};

template <class C> XBaseString<C> operator+(const XBaseString<C>& a, const XBaseString<C>& b)
{
    XBaseString<C> result(a);
    result += b;
    return result;
}
template <class C> XBaseString<C> operator+(const XBaseString<C>& a, const C* b)
{
    return a + XBaseString<C>(b);
}
template <class C> XBaseString<C> operator+(const C* a, const XBaseString<C>& b)
{
    return XBaseString<C>(a) + b;
}

void AssignString(UnicodeString& dest, const XBaseString<WCHAR>& src);
void AssignString(AnsiString& dest, const XBaseString<char>& src);

// List of owned wide texts {slots; u32 count; u32 capacity}; an empty text is stored as null.
template <class S, class C> class XBaseStringList
{
public:
    XBaseStringList() = default;
    XBaseStringList(const XBaseStringList&) = delete;
    XBaseStringList& operator=(const XBaseStringList&) = delete;
    ~XBaseStringList() { Clear(); }

    unsigned Add(const C* text)
    {
        unsigned index = m_Count;
        C* copy = nullptr;
        unsigned length = TextLength(text);
        if (length)
        {
            copy = new C[length + 1];
            std::memcpy(copy, text, (length + 1) * sizeof(C));
        }
        try
        {
            SetCount(m_Count + 1);
        }
        catch (...)
        {
            delete[] copy;
            throw;
        }
        m_Slots[index] = copy;
        return index;
    }

    unsigned GetCount() const { return m_Count; }

    // The slot. An index at or past the count shows the assertion box and refuses the access:
    // the result is then a null slot of the list's own that no text ever occupies.
    C*& operator[](unsigned index)
    {
        if (index >= m_Count)
        {
            XDebug::AssertFailed("..\\Components\\StrUtils.h", __LINE__, u"Assertion failure!");
            m_Refused = nullptr;
            return m_Refused;
        }
        return m_Slots[index];
    }

    void Clear()
    {
        for (unsigned i = 0; i < m_Count; ++i)
            delete[] m_Slots[i];
        delete[] m_Slots;
        m_Slots = nullptr;
        m_Count = 0;
        m_Capacity = 0;
    }

    // Above the capacity the slot array grows to 16 (for fewer than 16) or twice the count;
    // lowering the count frees the dropped texts.
    void SetCount(unsigned n)
    {
        if (n > m_Capacity)
        {
            unsigned capacity = n < 16 ? 16 : n * 2;
            C** slots = new C*[capacity]();
            for (unsigned i = 0; i < m_Count; ++i)
                slots[i] = m_Slots[i];
            delete[] m_Slots;
            m_Slots = slots;
            m_Capacity = capacity;
        }
        for (unsigned i = n; i < m_Count; ++i)
        {
            delete[] m_Slots[i];
            m_Slots[i] = nullptr;
        }
        m_Count = n;
    }

private:
    C** m_Slots = nullptr;
    unsigned m_Count = 0;
    unsigned m_Capacity = 0;
    C* m_Refused = nullptr;
};

// Parses with blanks and control characters removed: "0x"/"0X" reads hexadecimal, otherwise an
// optional sign and decimal digits.
int64_t StrToInt64(const WCHAR* text);
int64_t DecStrToInt64(const WCHAR* text);
} // namespace StrUtils

using XString = StrUtils::XBaseString<WCHAR>;
using XAnsiString = StrUtils::XBaseString<char>;
using XStringList = StrUtils::XBaseStringList<StrUtils::XBaseString<WCHAR>, WCHAR>;

// ---- Conversions (ANSI code page) -------------------------------------------------------------

// Output limit: the source's character count; NUL after what was written.
void WideToMultiByte(char* dest, const WCHAR* src);
void MultiByteToWide(WCHAR* dest, const char* src);
XAnsiString WideToAnsi(const XString& text);
XString AnsiToWide(const XAnsiString& text);

void BoolToText(char* dest, bool value);
void BoolToText(WCHAR* dest, bool value);
// 9 significant digits in the "%.9g" shape, never the process locale's; needs 17 units.
void FloatToText(char* dest, float value);
void FloatToText(WCHAR* dest, float value);
void FloatToText(char* dest, double value);
void FloatToText(WCHAR* dest, double value);
// Fixed-point text, truncated; decimals above 9 are taken as 9, no point with 0 decimals; needs
// 22 units.
void FormatFixed(char* dest, double value, unsigned decimals);
void FormatFixed(WCHAR* dest, double value, unsigned decimals);
void IntToHex(char* dest, int value);
void IntToHex(WCHAR* dest, int value);
void BytesToHex(WCHAR* dest, const void* bytes, unsigned n);
void IntToText(char* dest, int value);
void IntToStr(WCHAR* dest, int value);
// '-' for a negative value, then the digits of the magnitude (INT64_MIN included); needs 21 units.
void Int64ToText(char* dest, int64_t value);
bool TextToBool(const char* text);
bool TextToBool(const WCHAR* text);
int64_t BinToInt64(const WCHAR* text);
int64_t OctToInt64(const WCHAR* text);
int64_t HexToInt64(const WCHAR* text);
double TextToDouble(const char* text);
double TextToDouble(const WCHAR* text);
char* StrDup(const char* text);
WCHAR* WStrDup(const WCHAR* text);
void FillChars(char* dest, char value, unsigned n);
void FillChars(WCHAR* dest, WCHAR value, unsigned n);
XString GetFileName(const XString& path);
XString GetFileExt(const XString& path);
XString IncludeTrailingSlash(const XString& path);
inline WCHAR CharAt(const XString& text, unsigned index)
{
    return text.Data()[index];
}
// The local time as "%4.4d.%2.2d.%2.2d %2.2d:%2.2d:%2.2d:%3.3d" (needs 24 units).
void FormatTimeStamp(WCHAR* dest);
