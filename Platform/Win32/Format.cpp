// The wsprintf family and the sized formatters behind it.
//
// Conversions: %[-][0][width][.precision][h|l|I64]type with the types d i u x X c C s S and %%.
// Integers are 32-bit unless I64 is given ('h' narrows to 16 bits); the precision of an integer is
// its minimum digit count, of a string its maximum length. In the wide forms %s and %c take wide
// arguments and %S and %C narrow ones; the narrow forms the reverse; 'h' always means narrow and 'l'
// wide. Text of the other width goes through the ANSI code page. An unknown type prints itself and
// takes no argument. Digits are produced here, never by the C library, so no locale reaches them.
//
// The output never runs past `size` units: it stops at the end of the buffer and is always
// NUL-terminated there.
#include "Platform/Win32/Windows.h"

#include <string>

namespace
{
constexpr size_t kWsprintfLimit = 1024; // the platform's documented limit for the unsized forms

template <class Ch> class Output
{
public:
    Output(Ch* buffer, size_t size) : m_buffer(buffer), m_room(size - 1) {}

    void Put(Ch c)
    {
        if (m_length < m_room)
            m_buffer[m_length++] = c;
    }
    void Repeat(Ch c, size_t count)
    {
        while (count-- > 0 && m_length < m_room)
            m_buffer[m_length++] = c;
    }
    void Write(const Ch* text, size_t count)
    {
        for (size_t i = 0; i < count && m_length < m_room; ++i)
            m_buffer[m_length++] = text[i];
    }
    bool Full() const { return m_length >= m_room; }
    int Finish()
    {
        m_buffer[m_length] = 0;
        return static_cast<int>(m_length);
    }

private:
    Ch* m_buffer;
    size_t m_room; // units available before the NUL
    size_t m_length = 0;
};

enum class Size
{
    Default,
    Short,
    Long,
    Int64,
};

struct Spec
{
    bool left = false;
    bool zero = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
    Size size = Size::Default;
};

// Whether the argument of %c / %s is wide: the lower-case letter takes the format's own width and
// the upper-case one the other; 'h' makes it narrow and 'l' wide whatever the letter.
bool IsWideArgument(const Spec& spec, bool lowerCase, bool wideFormat)
{
    if (spec.size == Size::Short)
        return false;
    if (spec.size == Size::Long)
        return true;
    return lowerCase == wideFormat;
}

// Widths and precisions beyond any buffer mean nothing more; capping keeps the arithmetic safe.
constexpr size_t kFieldCap = 1u << 20;

template <class Ch> size_t ReadNumber(const Ch*& p)
{
    size_t value = 0;
    while (*p >= '0' && *p <= '9')
    {
        value = value * 10 + static_cast<size_t>(*p - '0');
        if (value > kFieldCap)
            value = kFieldCap;
        ++p;
    }
    return value;
}

template <class Ch> void Pad(Output<Ch>& out, const Spec& spec, size_t length, bool before)
{
    if (spec.width > length && spec.left != before)
        out.Repeat(' ', spec.width - length);
}

template <class Ch> void EmitText(Output<Ch>& out, const Spec& spec, const Ch* text, size_t length)
{
    Pad(out, spec, length, true);
    out.Write(text, length);
    Pad(out, spec, length, false);
}

template <class T> size_t BoundedLength(const T* text, const Spec& spec)
{
    size_t n = 0;
    while ((!spec.hasPrecision || n < spec.precision) && text[n])
        ++n;
    return n;
}

// Text of the other width, converted through the ANSI code page.
std::u16string Convert(const char* text, size_t length)
{
    std::u16string result;
    if (length == 0)
        return result;
    int needed = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (needed <= 0)
        return result;
    result.resize(static_cast<size_t>(needed));
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), result.data(), needed);
    return result;
}

std::string Convert(const WCHAR* text, size_t length)
{
    std::string result;
    if (length == 0)
        return result;
    int needed = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return result;
    result.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), result.data(), needed, nullptr, nullptr);
    return result;
}

template <class Ch, class Src> void EmitString(Output<Ch>& out, const Spec& spec, const Src* text)
{
    static constexpr Src kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (!text)
        text = kNull;
    // Every source unit yields at least one output unit, so reading at most `precision` units is
    // enough, and a text that is not terminated within the precision is never read past it.
    size_t length = BoundedLength(text, spec);
    if constexpr (sizeof(Ch) == sizeof(Src))
    {
        EmitText(out, spec, text, length);
    }
    else
    {
        auto converted = Convert(text, length);
        size_t n = converted.size();
        if (spec.hasPrecision && n > spec.precision)
            n = spec.precision;
        EmitText(out, spec, converted.data(), n);
    }
}

template <class Ch> void EmitChar(Output<Ch>& out, const Spec& spec, int value, bool wide)
{
    Ch c;
    if (wide == (sizeof(Ch) == sizeof(WCHAR)))
    {
        c = static_cast<Ch>(value);
    }
    else if (wide)
    {
        WCHAR w = static_cast<WCHAR>(value);
        std::string narrow = Convert(&w, 1);
        c = narrow.empty() ? Ch('?') : static_cast<Ch>(narrow[0]);
    }
    else
    {
        char n = static_cast<char>(value);
        std::u16string widened = Convert(&n, 1);
        c = widened.empty() ? Ch('?') : static_cast<Ch>(widened[0]);
    }
    EmitText(out, spec, &c, 1);
}

template <class Ch>
void EmitInteger(Output<Ch>& out, const Spec& spec, uint64_t magnitude, bool negative, unsigned base,
                 bool upper)
{
    const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    Ch digits[24];
    size_t count = 0;
    while (magnitude != 0)
    {
        digits[count++] = static_cast<Ch>(digitSet[magnitude % base]);
        magnitude /= base;
    }
    size_t minDigits = spec.hasPrecision ? spec.precision : 1;
    size_t zeros = minDigits > count ? minDigits - count : 0;
    size_t length = (negative ? 1 : 0) + zeros + count;
    // A precision sets the digit count, so the '0' flag then pads with blanks, as in C.
    if (spec.zero && !spec.left && !spec.hasPrecision && spec.width > length)
    {
        zeros += spec.width - length;
        length = spec.width;
    }
    Pad(out, spec, length, true);
    if (negative)
        out.Put('-');
    out.Repeat('0', zeros);
    while (count > 0)
        out.Put(digits[--count]);
    Pad(out, spec, length, false);
}

template <class Ch> int Format(Ch* buffer, size_t size, const Ch* format, va_list* args)
{
    if (!buffer || size == 0)
        return 0;
    Output<Ch> out(buffer, size);
    if (!format)
        return out.Finish();
    constexpr bool kWideForm = sizeof(Ch) == sizeof(WCHAR);
    const Ch* p = format;
    while (*p && !out.Full())
    {
        if (*p != '%')
        {
            out.Put(*p++);
            continue;
        }
        ++p;
        Spec spec;
        for (;; ++p)
        {
            if (*p == '-')
                spec.left = true;
            else if (*p == '0')
                spec.zero = true;
            else
                break;
        }
        spec.width = ReadNumber(p);
        if (*p == '.')
        {
            ++p;
            spec.hasPrecision = true;
            spec.precision = ReadNumber(p);
        }
        if (*p == 'h')
        {
            spec.size = Size::Short;
            ++p;
        }
        else if (*p == 'l')
        {
            spec.size = Size::Long;
            ++p;
        }
        else if (p[0] == 'I' && p[1] == '6' && p[2] == '4')
        {
            spec.size = Size::Int64;
            p += 3;
        }
        Ch type = *p;
        if (type == 0)
            break; // a lone '%' at the end prints nothing
        ++p;
        switch (type)
        {
        case 'd':
        case 'i':
        {
            int64_t value;
            if (spec.size == Size::Int64)
                value = va_arg(*args, int64_t);
            else if (spec.size == Size::Short)
                value = static_cast<int16_t>(va_arg(*args, int));
            else
                value = va_arg(*args, int);
            uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
            EmitInteger(out, spec, magnitude, value < 0, 10, false);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        {
            uint64_t value;
            if (spec.size == Size::Int64)
                value = va_arg(*args, uint64_t);
            else if (spec.size == Size::Short)
                value = static_cast<uint16_t>(va_arg(*args, int));
            else
                value = static_cast<uint32_t>(va_arg(*args, int));
            EmitInteger(out, spec, value, false, type == 'u' ? 10 : 16, type == 'X');
            break;
        }
        case 'c':
        case 'C':
        {
            EmitChar(out, spec, va_arg(*args, int), IsWideArgument(spec, type == 'c', kWideForm));
            break;
        }
        case 's':
        case 'S':
        {
            if (IsWideArgument(spec, type == 's', kWideForm))
                EmitString(out, spec, va_arg(*args, const WCHAR*));
            else
                EmitString(out, spec, va_arg(*args, const char*));
            break;
        }
        default: // '%%' and anything unknown print the character itself
            out.Put(type);
            break;
        }
    }
    return out.Finish();
}
} // namespace

namespace Platform
{
int FormatW(WCHAR* buffer, size_t size, const WCHAR* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int written = Format(buffer, size, format, &copy);
    va_end(copy);
    return written;
}

int FormatA(char* buffer, size_t size, const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int written = Format(buffer, size, format, &copy);
    va_end(copy);
    return written;
}
} // namespace Platform

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args)
{
    return Platform::FormatW(buffer, kWsprintfLimit, format, args);
}

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args)
{
    return Platform::FormatA(buffer, kWsprintfLimit, format, args);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int written = Platform::FormatW(buffer, kWsprintfLimit, format, args);
    va_end(args);
    return written;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int written = Platform::FormatA(buffer, kWsprintfLimit, format, args);
    va_end(args);
    return written;
}
