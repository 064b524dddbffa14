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
