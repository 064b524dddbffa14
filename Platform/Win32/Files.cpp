// The Win32 file functions on POSIX file descriptors.
#include "Platform/Win32/Windows.h"
#include "Platform/Win32/Detail.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace
{
using Platform::Detail::ErrorFromErrno;

// A handle is the address of one of these, so INVALID_HANDLE_VALUE and null are never handles;
// every call looks the address up before using it, so a stale or foreign handle is refused.
struct FileObject
{
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool appendOnly = false;
    // Threads appending through one handle share its file lock, so they take turns here first.
    std::mutex appendTurn;

    FileObject() = default;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    ~FileObject()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::mutex g_filesMutex;

// Shared so that a handle closed by one thread while another still reads keeps its descriptor
// until that read returns.
std::unordered_map<HANDLE, std::shared_ptr<FileObject>>& OpenFiles()
{
    static std::unordered_map<HANDLE, std::shared_ptr<FileObject>> files;
    return files;
}

std::shared_ptr<FileObject> FindFile(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(g_filesMutex);
    auto it = OpenFiles().find(handle);
    if (it == OpenFiles().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

std::string ParentOf(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A missing file in an existing folder is "file not found"; a missing folder "path not found".
DWORD ErrorForPath(int error, const std::string& path)
{
    if (error != ENOENT)
        return ErrorFromErrno(error);
    struct stat st;
    if (::stat(ParentOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
}

// The read-only attribute refuses every writer, as on the platform, also a privileged user
// whom the permission bits alone would let through.
bool IsReadOnlyFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

bool NativePath(LPCWSTR name, std::string& path)
{
    if (!name)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!*name)
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Each unit is at least a byte of the system's path: a text this long names nothing, and is
    // refused as the system refuses it without the cost of converting it.
    if (std::char_traits<WCHAR>::length(name) >= PATH_MAX)
    {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    path = Platform::ResolvePath(name);
    return true;
}

bool SeekTo(FileObject& file, int64_t distance, DWORD method, bool mustFit32, int64_t& position)
{
    int64_t base = 0;
    switch (method)
    {
    case FILE_BEGIN:
        break;
    case FILE_CURRENT:
        base = ::lseek(file.fd, 0, SEEK_CUR);
        if (base < 0)
            return Fail(ErrorFromErrno(errno));
        break;
    case FILE_END:
    {
        struct stat st;
        if (::fstat(file.fd, &st) != 0)
            return Fail(ErrorFromErrno(errno));
        base = st.st_size;
        break;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER);
    }
    int64_t target = 0;
    if (__builtin_add_overflow(base, distance, &target))
        return Fail(ERROR_INVALID_PARAMETER);
    if (target < 0)
        return Fail(ERROR_NEGATIVE_SEEK);
    // Without a high part the caller could not tell such a position from a failure.
    if (mustFit32 && target > static_cast<int64_t>(UINT32_MAX))
        return Fail(ERROR_INVALID_PARAMETER);
    if (::lseek(file.fd, target, SEEK_SET) < 0)
        return Fail(ErrorFromErrno(errno));
    position = target;
    return true;
}

int LockFile(int fd, int operation)
{
    int result;
    do
        result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

// An append lands whole or not at all, so that a full disk never leaves the piece of an entry
// that fitted for other writers' entries to follow. The write holds an exclusive lock of the file
// (the one the log's rotation takes; neither is held while waiting for the other): the rest of a
// short write goes on at once under it, and when that fails too, what the write left is cut off
// again before the lock goes. Only bytes that are still the file's last are cut off, so that
// where the file system has no locks no other writer's text can go with them.
BOOL AppendWhole(FileObject& file, const char* in, DWORD count, DWORD* written)
{
    std::lock_guard<std::mutex> turn(file.appendTurn);
    const bool locked = LockFile(file.fd, LOCK_EX) == 0;
    struct stat before;
    DWORD done = 0;
    int error = 0;
    if (::fstat(file.fd, &before) != 0)
        error = errno;
    while (!error && done < count)
    {
        ssize_t put = ::write(file.fd, in + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
        {
            error = put < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<DWORD>(put);
    }
    if (error && done > 0)
    {
        struct stat after;
        int result = -1;
        if (::fstat(file.fd, &after) == 0 && after.st_size == before.st_size + static_cast<off_t>(done))
            do
                result = ::ftruncate(file.fd, before.st_size);
            while (result != 0 && errno == EINTR);
        if (result == 0)
            done = 0;
    }
    if (locked)
        LockFile(file.fd, LOCK_UN);
    if (written)
        *written = done;
    return error ? Fail(ErrorFromErrno(error)) : TRUE;
}

bool CopyNative(const std::string& from, const std::string& to, bool failIfExists)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail(ErrorForPath(errno, from));
    std::unique_ptr<int, void (*)(int*)> inGuard(&in, [](int* fd) { ::close(*fd); });
    struct stat source;
    if (::fstat(in, &source) != 0)
        return Fail(ErrorFromErrno(errno));
    if (S_ISDIR(source.st_mode))
        return Fail(ERROR_ACCESS_DENIED);

    struct stat target;
    if (::stat(to.c_str(), &target) == 0)
    {
        // Truncating the target would destroy the source when both are the same file.
        if (target.st_dev == source.st_dev && target.st_ino == source.st_ino)
            return Fail(ERROR_SHARING_VIOLATION);
        if (failIfExists)
            return Fail(ERROR_FILE_EXISTS);
        if (S_ISDIR(target.st_mode) || IsReadOnlyFile(to))
            return Fail(ERROR_ACCESS_DENIED);
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC), 0666);
    if (out < 0)
        return Fail(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorForPath(errno, to));

    auto abandon = [&](DWORD error)
    {
        ::close(out);
        ::unlink(to.c_str()); // no partial copy is left behind
        return Fail(error);
    };
    std::vector<char> buffer(1 << 16);
    for (;;)
    {
        ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return abandon(ErrorFromErrno(errno));
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;)
        {
            ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return abandon(put < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL);
            done += put;
        }
    }
    // The copy carries the source's attributes, read-only included.
    if (::fchmod(out, source.st_mode & 0777) != 0)
        return abandon(ErrorFromErrno(errno));
    if (::close(out) != 0)
    {
        int error = errno;
        ::unlink(to.c_str());
        return Fail(ErrorFromErrno(error));
    }
    return true;
}

BOOL MoveNative(const std::string& from, const std::string& to, bool replace, bool copyAllowed)
{
    struct stat source;
    if (::lstat(from.c_str(), &source) != 0)
        return Fail(ErrorForPath(errno, from));

    int result = replace ? ::rename(from.c_str(), to.c_str())
                         : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && !replace && (errno == EINVAL || errno == ENOSYS))
    {
        // The file system cannot rename without replacing: a hard link refuses an existing
        // target just as well; folders, which cannot be linked, are checked first.
        if (!S_ISDIR(source.st_mode) && ::link(from.c_str(), to.c_str()) == 0)
        {
            if (::unlink(from.c_str()) == 0)
                return TRUE;
            int error = errno;
            ::unlink(to.c_str());
            return Fail(ErrorFromErrno(error));
        }
        if (errno != EEXIST)
        {
            struct stat existing;
            if (::lstat(to.c_str(), &existing) == 0)
                errno = EEXIST;
            else
                result = ::rename(from.c_str(), to.c_str());
        }
    }
    if (result == 0)
        return TRUE;
    if (errno == EEXIST)
        return Fail(ERROR_ALREADY_EXISTS);
    if (errno == EXDEV && copyAllowed && S_ISREG(source.st_mode))
    {
        if (!CopyNative(from, to, !replace))
            return FALSE;
        if (::unlink(from.c_str()) != 0)
        {
            int error = errno;
            ::unlink(to.c_str());
            return Fail(ErrorFromErrno(error));
        }
        return TRUE;
    }
    // The source exists, so a missing piece is the target's folder.
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
}
} // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD /*shareMode*/, void* /*securityAttributes*/,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE /*templateFile*/)
{
    // Sharing modes have no counterpart in POSIX and are not enforced.
    bool wantRead = (desiredAccess & GENERIC_READ) != 0;
    bool wantWrite = (desiredAccess & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0;
    // The system moves to the end and writes in one step: no writer overwrites another's text.
    bool appendOnly = (desiredAccess & FILE_APPEND_DATA) && !(desiredAccess & GENERIC_WRITE);
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING ||
        (creationDisposition == TRUNCATE_EXISTING && !wantWrite))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path;
    if (!NativePath(fileName, path))
        return INVALID_HANDLE_VALUE;

    // A folder opens only to be flushed: neither read nor written, whatever the access asked.
    struct stat folder;
    if ((flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) && creationDisposition == OPEN_EXISTING &&
        ::stat(path.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
        {
            SetLastError(ErrorForPath(errno, path));
            return INVALID_HANDLE_VALUE;
        }
        auto file = std::make_shared<FileObject>();
        file->fd = fd;
        file->canWrite = wantWrite;
        HANDLE handle = file.get();
        std::lock_guard<std::mutex> lock(g_filesMutex);
        OpenFiles().emplace(handle, std::move(file));
        SetLastError(ERROR_SUCCESS);
        return handle;
    }

    // Read-only access opens read-only, so files of a read-only install can be read.
    // Opened without waiting, so a pipe with no writer cannot hang the open; waiting reads and
    // writes are restored once the handle exists.
    int flags = O_CLOEXEC | O_NONBLOCK | (wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY) |
                (appendOnly ? O_APPEND : 0);
    bool creates = creationDisposition == CREATE_NEW || creationDisposition == CREATE_ALWAYS ||
                   creationDisposition == OPEN_ALWAYS;
    bool truncates = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
    int fd = -1;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
    // A file removed between the two opens below is created on the next round.
    for (int attempt = 0; fd < 0 && attempt < 4; ++attempt)
    {
        if (creates)
        {
            fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
            if (fd >= 0)
                break;
            if (errno != EEXIST)
            {
                error = ErrorForPath(errno, path);
                break;
            }
            if (creationDisposition == CREATE_NEW)
            {
                error = ERROR_FILE_EXISTS;
                break;
            }
        }
        existed = true;
        if ((wantWrite || truncates) && IsReadOnlyFile(path))
        {
            error = ERROR_ACCESS_DENIED;
            break;
        }
        fd = ::open(path.c_str(), flags | (truncates ? O_TRUNC : 0));
        if (fd >= 0)
            break;
        int openError = errno;
        error = ErrorForPath(openError, path);
        if (openError != ENOENT || !creates)
            break;
    }
    if (fd < 0)
    {
        SetLastError(error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
    {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED); // a folder is no file
        return INVALID_HANDLE_VALUE;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    auto file = std::make_shared<FileObject>();
    file->fd = fd;
    file->canRead = wantRead;
    file->canWrite = wantWrite;
    file->appendOnly = appendOnly;
    HANDLE handle = file.get();
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        OpenFiles().emplace(handle, std::move(file));
    }
    bool reopened = existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    SetLastError(reopened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead, void* /*overlapped*/)
{
    if (bytesRead)
        *bytesRead = 0;
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return FALSE;
    if (!object->canRead)
        return Fail(ERROR_ACCESS_DENIED);
    if (bytesToRead > 0 && !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    auto* out = static_cast<char*>(buffer);
    DWORD done = 0;
    // The platform reads everything asked for unless the file ends first.
    while (done < bytesToRead)
    {
        ssize_t got = ::read(object->fd, out + done, bytesToRead - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
        {
            if (bytesRead)
                *bytesRead = done;
            return Fail(ErrorFromErrno(errno));
        }
        if (got == 0)
            break;
        done += static_cast<DWORD>(got);
    }
    if (bytesRead)
        *bytesRead = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* /*overlapped*/)
{
    if (bytesWritten)
        *bytesWritten = 0;
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return FALSE;
    if (!object->canWrite)
        return Fail(ERROR_ACCESS_DENIED);
    if (bytesToWrite > 0 && !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    const auto* in = static_cast<const char*>(buffer);
    if (object->appendOnly)
        return AppendWhole(*object, in, bytesToWrite, bytesWritten);
    DWORD done = 0;
    while (done < bytesToWrite)
    {
        ssize_t put = ::write(object->fd, in + done, bytesToWrite - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
        {
            if (bytesWritten)
                *bytesWritten = done;
            return Fail(put < 0 ? ErrorFromErrno(errno) : ERROR_DISK_FULL);
        }
        done += static_cast<DWORD>(put);
    }
    if (bytesWritten)
        *bytesWritten = done;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return INVALID_SET_FILE_POINTER;
    // Without a high part the distance is a signed 32-bit value; with one, the two form a 64-bit one.
    int64_t move = distance;
    if (distanceHigh)
        move = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                    static_cast<uint32_t>(distance));
    int64_t position = 0;
    if (!SeekTo(*object, move, moveMethod, distanceHigh == nullptr, position))
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    // A position whose low part is INVALID_SET_FILE_POINTER is told from a failure by this.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD moveMethod)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return FALSE;
    int64_t position = 0;
    if (!SeekTo(*object, distance, moveMethod, false, position))
        return FALSE;
    if (newPosition)
        *newPosition = position;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh)
{
    LONGLONG size = 0;
    if (!GetFileSizeEx(file, &size))
        return INVALID_FILE_SIZE;
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL GetFileSizeEx(HANDLE file, LONGLONG* size)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return FALSE;
    if (!size)
        return Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (::fstat(object->fd, &st) != 0)
        return Fail(ErrorFromErrno(errno));
    *size = st.st_size;
    return TRUE;
}

BOOL SetEndOfFile(HANDLE file)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return FALSE;
    if (!object->canWrite)
        return Fail(ERROR_ACCESS_DENIED);
    off_t position = ::lseek(object->fd, 0, SEEK_CUR);
    if (position < 0)
        return Fail(ErrorFromErrno(errno));
    int result;
    do
        result = ::ftruncate(object->fd, position);
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return FALSE;
    if (!object->canWrite)
        return Fail(ERROR_ACCESS_DENIED);
    if (::fsync(object->fd) != 0)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    std::shared_ptr<FileObject> object;
    {
        std::lock_guard<std::mutex> lock(g_filesMutex);
        auto it = OpenFiles().find(handle);
        if (it == OpenFiles().end())
            return Fail(ERROR_INVALID_HANDLE);
        object = std::move(it->second);
        OpenFiles().erase(it);
    }
    return TRUE; // the descriptor closes with the last user of `object`
}

BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName)
{
    std::string from, to;
    if (!NativePath(existingName, from) || !NativePath(newName, to))
        return FALSE;
    // Unlike POSIX rename, an existing target is never replaced; across file systems the file is
    // copied, as the platform does.
    return MoveNative(from, to, false, true);
}

BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags)
{
    std::string from, to;
    if (!NativePath(existingName, from) || !NativePath(newName, to))
        return FALSE;
    return MoveNative(from, to, (flags & MOVEFILE_REPLACE_EXISTING) != 0, false);
}

BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists)
{
    std::string from, to;
    if (!NativePath(existingName, from) || !NativePath(newName, to))
        return FALSE;
    return CopyNative(from, to, failIfExists != FALSE) ? TRUE : FALSE;
}

BOOL CreateHardLinkW(LPCWSTR fileName, LPCWSTR existingFileName, void* /*securityAttributes*/)
{
    std::string from, to;
    if (!NativePath(existingFileName, from) || !NativePath(fileName, to))
        return FALSE;
    if (::link(from.c_str(), to.c_str()) == 0)
        return TRUE;
    switch (errno)
    {
    case EEXIST:
        return Fail(ERROR_ALREADY_EXISTS);
    case EXDEV:
        return Fail(ERROR_NOT_SAME_DEVICE);
    case EPERM:
    case ENOTSUP:
    case ENOSYS:
        // A file system without hard links (or a folder given as the file).
        return Fail(ERROR_INVALID_FUNCTION);
    default:
        return Fail(ErrorForPath(errno, from));
    }
}

BOOL DeleteFileW(LPCWSTR fileName)
{
    std::string path;
    if (!NativePath(fileName, path))
        return FALSE;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return Fail(ErrorForPath(errno, path));
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(path.c_str()) != 0)
        return Fail(ErrorForPath(errno, path));
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName)
{
    std::string path;
    if (!NativePath(fileName, path))
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
    {
        SetLastError(ErrorForPath(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes)
{
    std::string path;
    if (!NativePath(fileName, path))
        return FALSE;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return Fail(ErrorForPath(errno, path));
    // Only the read-only attribute has a counterpart: the write permissions.
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0)
        return Fail(ErrorForPath(errno, path));
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, void* /*securityAttributes*/)
{
    std::string path;
    if (!NativePath(pathName, path))
        return FALSE;
    if (::mkdir(path.c_str(), 0777) != 0)
        return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName)
{
    std::string path;
    if (!NativePath(pathName, path))
        return FALSE;
    if (::rmdir(path.c_str()) == 0)
        return TRUE;
    int error = errno;
    struct stat st;
    if (error == ENOTDIR && ::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return Fail(ERROR_DIRECTORY);
    if (error == EEXIST || error == ENOTEMPTY)
        return Fail(ERROR_DIR_NOT_EMPTY);
    return Fail(ErrorForPath(error, path));
}

// ---- Bulk file work ------------------------------------------------------------------------------

namespace Platform
{
int64_t CopyFileRange(HANDLE source, uint64_t offset, HANDLE target, uint64_t size)
{
    std::shared_ptr<FileObject> from = FindFile(source);
    std::shared_ptr<FileObject> to = FindFile(target);
    if (!from || !to || !from->canRead || !to->canWrite || offset > static_cast<uint64_t>(INT64_MAX))
        return -1;
    for (;;)
    {
        loff_t at = static_cast<loff_t>(offset);
        ssize_t n = ::copy_file_range(from->fd, &at, to->fd, nullptr, static_cast<size_t>(size), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            SetLastError(ErrorFromErrno(errno));
        return n;
    }
}

int64_t ReadFileAt(HANDLE file, void* buffer, size_t size, uint64_t offset)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object)
        return -1;
    if (!object->canRead || offset > static_cast<uint64_t>(INT64_MAX))
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    for (;;)
    {
        ssize_t got = ::pread(object->fd, buffer, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            SetLastError(ErrorFromErrno(errno));
        return got;
    }
}

void AdviseSequentialRead(HANDLE file)
{
    if (std::shared_ptr<FileObject> object = FindFile(file))
        ::posix_fadvise(object->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool StartWriteBack(HANDLE file, uint64_t offset, uint64_t length)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object || !object->canWrite || offset > static_cast<uint64_t>(INT64_MAX) ||
        length > static_cast<uint64_t>(INT64_MAX) - offset)
        return false;
    return ::sync_file_range(object->fd, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                             SYNC_FILE_RANGE_WRITE) == 0;
}

bool ReserveFileSpace(HANDLE file, uint64_t size)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    if (!object || !object->canWrite || size == 0 || size > static_cast<uint64_t>(INT64_MAX))
        return false;
    return ::fallocate(object->fd, 0, 0, static_cast<off_t>(size)) == 0;
}
} // namespace Platform

bool Platform::IsRegularFile(HANDLE file)
{
    std::shared_ptr<FileObject> object = FindFile(file);
    struct stat st;
    return object && ::fstat(object->fd, &st) == 0 && S_ISREG(st.st_mode);
}
