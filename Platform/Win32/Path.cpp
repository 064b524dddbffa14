// Windows paths on a case-sensitive file system: separators become '/', and a component that does
// not exist under its exact name is looked up without case, as Windows would find it.
#include "Platform/Win32/Windows.h"
#include "Platform/Win32/Detail.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
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

// A folder reached while resolving, held open so that each component is looked up in it alone:
// a walk through the whole path again for every component would cost the square of its length.
class Folder
{
public:
    Folder(int at, const char* name) : m_fd(::openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    ~Folder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // The folder below, named in this one; closed when it is none.
    void Enter(const char* name)
    {
        int below = ::openat(m_fd, name, O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(m_fd);
        m_fd = below;
    }
    bool Has(const char* name) const
    {
        struct stat st;
        return ::fstatat(m_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    }

    // The entry that matches `name` without case; when several do, the first in byte order, so
    // that the choice does not depend on the order the file system lists them in.
    bool FindIgnoringCase(std::string_view name, std::string& found) const
    {
        int listing = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listing < 0)
            return false;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing), ::closedir);
        if (!dir)
        {
            ::close(listing);
            return false;
        }
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

private:
    int m_fd;
};

// Whether the system refuses the path as too long whatever exists: the whole path reaches
// PATH_MAX with its terminating zero, or a component is longer than NAME_MAX.
bool TooLong(std::string_view path)
{
    if (path.size() >= PATH_MAX)
        return true;
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string_view::npos; start = slash + 1)
    {
        if (slash - start > NAME_MAX)
            return true;
    }
    return path.size() - start > NAME_MAX;
}
} // namespace

namespace Platform
{
namespace Detail
{
std::string ResolveUtf8Path(const std::string& path)
{
    // A path the system refuses as too long is failed by it at once, as a missing file is.
    if (path.empty() || TooLong(path) || Exists(path))
        return path;

    std::string result;
    if (path.front() == '/')
        result = "/";
    Folder folder(AT_FDCWD, path.front() == '/' ? "/" : ".");
    bool resolving = folder.IsOpen();
    std::string name;
    size_t pos = 0;
    while (pos < path.size())
    {
        size_t slash = path.find('/', pos);
        size_t end = slash == std::string::npos ? path.size() : slash;
        std::string_view component(path.data() + pos, end - pos);
        pos = slash == std::string::npos ? path.size() : slash + 1;
        if (component.empty())
            continue;

        if (!result.empty() && result.back() != '/')
            result += '/';
        size_t componentStart = result.size();
        result.append(component);
        if (!resolving)
            continue;
        name.assign(component);
        if (!folder.Has(name.c_str()) && component != "." && component != "..")
        {
            if (!folder.FindIgnoringCase(component, name))
            {
                // Nothing below a missing component can exist: the rest stays as given.
                resolving = false;
                continue;
            }
            result.replace(componentStart, std::string::npos, name);
        }
        if (pos < path.size())
        {
            folder.Enter(name.c_str());
            resolving = folder.IsOpen();
        }
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
