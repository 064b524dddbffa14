#include "Components/XException.h"

#include "Components/StrUtils.h"

#include <cstdarg>

namespace
{
// Never writes more than `size` units, whatever the lengths of the texts.
void FormatBounded(WCHAR* buffer, size_t size, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    Platform::FormatW(buffer, size, format, args);
    va_end(args);
}
} // namespace

namespace XDebug
{
void AssertFailed(const char* file, int line, const WCHAR* message)
{
    constexpr unsigned PathLimit = 512;
    char path[PathLimit + 1] = {};
    if (file)
        for (unsigned i = 0; i < PathLimit && file[i]; ++i)
            path[i] = file[i] == '/' ? '\\' : file[i]; // the path as the platform writes it
    WCHAR widePath[PathLimit + 1];
    MultiByteToWide(widePath, path);

    WCHAR text[1024];
    FormatBounded(text, sizeof(text) / sizeof(text[0]), u"File: %s; Line: %i; \n%s", widePath, line,
                  message ? message : u"");
    MessageBoxW(nullptr, text, u"Error", MB_OK);
}
} // namespace XDebug
