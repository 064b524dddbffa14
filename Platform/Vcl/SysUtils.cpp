#include "Platform/Vcl/SysUtils.h"

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
