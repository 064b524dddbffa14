#include "App/AppPaths.h"

#include "Platform/Win32/Windows.h"

namespace AppPaths
{
static bool IsSeparator(WCHAR c)
{
    return c == u'\\' || c == u'/' || c == u':';
}

// Length of the folder part, separator included.
static unsigned FolderLength(const XString& path)
{
    const WCHAR* text = path.c_str();
    unsigned n = path.Length();
    while (n > 0 && !IsSeparator(text[n - 1]))
        --n;
    return n;
}

XString ChangeFileExt(const XString& path, const WCHAR* ext)
{
    const WCHAR* text = path.c_str();
    unsigned length = path.Length();
    unsigned folder = FolderLength(path);
    unsigned end = length;
    for (unsigned i = length; i > folder; --i)
        if (text[i - 1] == u'.')
        {
            end = i - 1;
            break;
        }
    XString result;
    result.Assign(text, end);
    result += XString(ext);
    return result;
}

XString ExtractFilePath(const XString& path)
{
    XString result;
    result.Assign(path.c_str(), FolderLength(path));
    return result;
}

XString ProgramFile()
{
    return XString(Platform::ProgramPathW().c_str());
}
} // namespace AppPaths
