// Saving over a file through a temporary file beside it.
#include "Platform/Win32/Windows.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The file a path finally names: symbolic links are followed (a dangling last link names the
// file it would create).
std::string FollowLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops)
    {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string link(PATH_MAX, '\0');
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0)
            return path;
        link.resize(static_cast<size_t>(n));
        if (link[0] == '/')
        {
            path = link;
            continue;
        }
        size_t slash = path.rfind('/');
        path = slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    return path;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a new, empty file named after the target; an existing file is never taken over.
bool CreateTemp(const std::string& target, std::string& temp)
{
    for (int n = 0; n < 1000; ++n)
    {
        temp = target + ".~new" + (n > 0 ? std::to_string(n) : std::string());
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
        {
            ::close(fd);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

std::mutex g_FlushFaultLock;
Platform::FlushFault g_FlushFault;

bool FlushFaultFor(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_FlushFaultLock);
    return g_FlushFault && g_FlushFault(path);
}

bool FlushAndTakeMode(const std::string& temp, const struct stat* targetState)
{
    if (FlushFaultFor(temp))
        return false;
    int fd = ::open(temp.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    if (targetState && ::fchmod(fd, targetState->st_mode & 07777) != 0)
        ok = false;
    if (ok && ::fsync(fd) != 0)
        ok = false;
    ::close(fd);
    return ok;
}
} // namespace

Platform::FlushFault Platform::SetFlushFault(FlushFault fault)
{
    std::lock_guard<std::mutex> lock(g_FlushFaultLock);
    std::swap(g_FlushFault, fault);
    return fault;
}

Platform::ReplaceResult Platform::ReplaceFileSafely(const WCHAR* target,
                                                    const std::function<void(const std::u16string&)>& write)
{
    if (!target || !*target)
        return ReplaceResult::CreateFailed;
    const std::string path = FollowLinks(ResolvePath(target));
    struct stat state;
    const bool exists = ::stat(path.c_str(), &state) == 0;
    // What could never be replaced is refused before anything is written: a folder, or a file the
    // user may not write (as the platform refuses to replace a read-only file).
    if (exists && (S_ISDIR(state.st_mode) || ::access(path.c_str(), W_OK) != 0))
        return ReplaceResult::ReplaceFailed;
    std::string temp;
    if (!CreateTemp(path, temp))
        return ReplaceResult::CreateFailed;
    try
    {
        write(FromUtf8(temp));
    }
    catch (...)
    {
        ::unlink(temp.c_str());
        throw;
    }
    if (!FlushAndTakeMode(temp, exists ? &state : nullptr))
    {
        ::unlink(temp.c_str());
        return ReplaceResult::FlushFailed;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0)
    {
        ::unlink(temp.c_str());
        return ReplaceResult::ReplaceFailed;
    }
    // The new name reaches the disk with the folder.
    int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
    {
        ::fsync(folder);
        ::close(folder);
    }
    return ReplaceResult::Done;
}
