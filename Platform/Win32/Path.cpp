// Windows paths on a case-sensitive file system: separators become '/', and a component that does
// not exist under its exact name is looked up without case, as Windows would find it.
#include "Platform/Win32/Windows.h"
#include "Platform/Win32/Detail.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <string_view>

namespace
{
// The same simple case folding as CharLowerW, so a name matches as the rest of the program compares.
char32_t FoldCase(char32_t c)
{
    return c <= 0xFFFF ? ToLowerWide(static_cast<WCHAR>(c)) : c;
}

// Whether two file names match without case. Names that are not valid UTF-8 only ever match
// exactly (which the caller has already tried).
bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    auto pa = reinterpret_cast<const unsigned char*>(a.data());
    auto pb = reinterpret_cast<const unsigned char*>(b.data());
    const auto* ea = pa + a.size();
    const auto* eb = pb + b.size();
    while (pa != ea && pb != eb)
    {
        char32_t ca = Platform::Detail::DecodeUtf8(pa, ea);
        char32_t cb = Platform::Detail::DecodeUtf8(pb, eb);
        if (ca == Platform::Detail::InvalidCodePoint || cb == Platform::Detail::InvalidCodePoint)
            return false;
        if (FoldCase(ca) != FoldCase(cb))
            return false;
    }
    return pa == ea && pb == eb;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` that matches `name` without case; when several do, the first in byte
// order, so that the choice does not depend on the order the file system lists them in.
bool FindIgnoringCase(const std::string& folder, std::string_view name, std::string& found)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!dir)
        return false;
    bool any = false;
    while (const dirent* entry = ::readdir(dir.get()))
    {
        std::string_view candidate(entry->d_name);
        if (candidate == "." || candidate == "..")
            continue;
        if (!SameNameIgnoringCase(candidate, name))
            continue;
        if (!any || candidate < found)
            found.assign(candidate);
        any = true;
    }
    return any;
}
} // namespace

namespace Platform
{
namespace Detail
{
std::string ResolveUtf8Path(const std::string& path)
{
    if (path.empty() || Exists(path))
        return path;

    std::string result;
    if (path.front() == '/')
        result = "/";
    size_t pos = 0;
    bool resolving = true;
    while (pos < path.size())
    {
        size_t slash = path.find('/', pos);
        size_t end = slash == std::string::npos ? path.size() : slash;
        std::string_view component(path.data() + pos, end - pos);
        pos = slash == std::string::npos ? path.size() : slash + 1;
        if (component.empty())
            continue;

        std::string folder = result;
        if (!result.empty() && result.back() != '/')
            result += '/';
        size_t componentStart = result.size();
        result.append(component);
        if (!resolving || Exists(result) || component == "." || component == "..")
            continue;

        std::string match;
        if (FindIgnoringCase(folder, component, match))
        {
            result.replace(componentStart, std::string::npos, match);
            continue;
        }
        // Nothing below a missing component can exist: the rest stays as given.
        resolving = false;
    }
    if (path.back() == '/' && !result.empty() && result.back() != '/')
        result += '/';
    return result;
}
} // namespace Detail

std::string ResolvePath(const WCHAR* windowsPath)
{
    if (!windowsPath)
        return {};
    std::u16string path = Detail::WithForwardSlashes(windowsPath);
    return Detail::ResolveUtf8Path(ToUtf8(path.c_str(), path.size()));
}

bool SameFile(const WCHAR* a, const WCHAR* b)
{
    struct stat first, second;
    if (stat(ResolvePath(a).c_str(), &first) != 0 || stat(ResolvePath(b).c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
} // namespace Platform
