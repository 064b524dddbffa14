// Saving over a file through a temporary file beside it.
#include "Platform/Win32/Windows.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The n-th name a save of the target writes to: <target>.~new, then <target>.~new1, ~new2 ...
std::string TempName(const std::string& target, unsigned long n)
{
    return target + ".~new" + (n > 0 ? std::to_string(n) : std::string());
}

// Whether a name in the target's folder is one of the target's temporary names; its number in n.
bool IsTempName(std::string_view name, std::string_view base, unsigned long& n)
{
    if (!name.starts_with(base) || !name.substr(base.size()).starts_with(".~new"))
        return false;
    std::string_view digits = name.substr(base.size() + 5);
    n = 0;
    if (digits.empty())
        return true;
    if (digits[0] == '0' || digits.size() > 9)
        return false;
    for (char c : digits)
    {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A live save holds an exclusive lock on its temporary file from its creation until it is moved
// into place or removed; a file nobody holds was left by a save that was killed. The lock is
// taken before the name is checked again, so that a file removed and made anew under the same name
// in between is never taken for the one that was opened.
bool RemoveIfUnheld(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held, named;
    bool removed = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                   ::lstat(path.c_str(), &named) == 0 && SameFile(held, named) && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

// The leftovers of the target's killed saves beside it, by their numbers.
std::vector<std::pair<unsigned long, std::string>> LeftoversOf(const std::string& target)
{
    std::vector<std::pair<unsigned long, std::string>> found;
    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return found;
    while (const dirent* entry = ::readdir(listing))
    {
        unsigned long n = 0;
        if (IsTempName(entry->d_name, base, n))
            found.emplace_back(n, TempName(target, n));
    }
    ::closedir(listing);
    std::sort(found.begin(), found.end());
    return found;
}

// A new, empty temporary file beside the target, locked for as long as `lock` stays open; an
// existing file is never taken over, and the next number is tried as long as names are taken.
bool CreateTemp(const std::string& target, std::string& temp, int& lock)
{
    for (unsigned long n = 0; n < ULONG_MAX; ++n)
    {
        temp = TempName(target, n);
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
        {
            if (errno != EEXIST)
                return false;
            continue;
        }
        // Where the file system has no locks the save goes on unlocked: no other save can lock
        // (and so remove) the file there either.
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        struct stat made, named;
        if ((locked || errno != EWOULDBLOCK) && ::fstat(fd, &made) == 0 && ::lstat(temp.c_str(), &named) == 0 &&
            SameFile(made, named))
        {
            lock = fd;
            return true;
        }
        // Another save's cleaning took the new file for a leftover: it goes, the next name is tried.
        ::close(fd);
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
    for (const auto& leftover : LeftoversOf(path))
        RemoveIfUnheld(leftover.second);
    std::string temp;
    int lock = -1;
    if (!CreateTemp(path, temp, lock))
        return ReplaceResult::CreateFailed;
    // The temporary file goes on every failure; the lock is let go only once the file is gone
    // or in place.
    auto fail = [&](ReplaceResult result)
    {
        ::unlink(temp.c_str());
        ::close(lock);
        return result;
    };
    try
    {
        write(FromUtf8(temp));
    }
    catch (...)
    {
        fail(ReplaceResult::CreateFailed);
        throw;
    }
    if (!FlushAndTakeMode(temp, exists ? &state : nullptr))
        return fail(ReplaceResult::FlushFailed);
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return fail(ReplaceResult::ReplaceFailed);
    ::close(lock);
    // The new name reaches the disk with the folder.
    int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
    {
        ::fsync(folder);
        ::close(folder);
    }
    return ReplaceResult::Done;
}

void Platform::RemoveReplaceLeftovers(const WCHAR* target, const std::function<void(const std::u16string& name)>& removed)
{
    if (!target || !*target)
        return;
    const std::string given = ResolvePath(target);
    const std::string path = FollowLinks(given);
    for (const auto& [n, leftover] : LeftoversOf(path))
    {
        if (!RemoveIfUnheld(leftover) || !removed)
            continue;
        // Named as the caller names the target, unless a link led elsewhere.
        if (path == given)
            removed(std::u16string(target) + FromUtf8(leftover.substr(path.size())));
        else
            removed(FromUtf8(leftover));
    }
}

bool Platform::MoveFileIfLarger(const WCHAR* file, const WCHAR* moved, int64_t limit)
{
    if (!file || !*file || !moved || !*moved)
        return false;
    const std::string from = ResolvePath(file);
    const std::string to = ResolvePath(moved);
    int fd = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held, named;
    const bool done = ::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
                      held.st_size > limit && ::stat(from.c_str(), &named) == 0 && ::SameFile(held, named) &&
                      ::rename(from.c_str(), to.c_str()) == 0;
    ::close(fd);
    return done;
}
