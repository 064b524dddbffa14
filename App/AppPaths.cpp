#include "App/AppPaths.h"

#include "Platform/Win32/Windows.h"

namespace AppPaths
{
XString ChangeFileExt(const XString& path, const WCHAR* ext)
{
    // The old extension is what GetFileExt finds: from the last '.' after the last separator.
    XString result;
    result.Assign(path.c_str(), path.Length() - GetFileExt(path).Length());
    result += XString(ext);
    return result;
}

XString ExtractFilePath(const XString& path)
{
    const WCHAR* text = path.c_str();
    unsigned n = path.Length();
    while (n > 0 && text[n - 1] != u'\\' && text[n - 1] != u'/' && text[n - 1] != u':')
        --n;
    XString result;
    result.Assign(text, n);
    return result;
}

XString ProgramFile()
{
    return XString(Platform::ProgramPathW().c_str());
}
} // namespace AppPaths
