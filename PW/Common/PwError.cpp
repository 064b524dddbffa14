#include "PW/Common/PwError.h"

#include <string>

UnicodeString FormatUnitErrorPrefix(const char* unit, int line)
{
    // Unit paths are ASCII; built directly so that no formatting buffer limits the text.
    std::u16string text = u"[ERROR] ";
    for (const char* p = unit; p && *p; ++p)
        text += static_cast<char16_t>(static_cast<unsigned char>(*p));
    text += u"( ";
    for (char c : std::to_string(line))
        text += static_cast<char16_t>(c);
    text += u" ): ";
    return UnicodeString(std::move(text));
}

UnicodeString FormatUnitError(const char* unit, int line, const UnicodeString& text)
{
    return FormatUnitErrorPrefix(unit, line) + text;
}
