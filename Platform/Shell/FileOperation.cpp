// SHFileOperationW: copy, move, rename and delete so that no file is lost on the way.
#include "Platform/Shell/ShellDetail.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace
{
constexpr int ERROR_CANCELLED = 1223;
constexpr int DE_SAMEFILE = 0x71;
constexpr int DE_DESTSUBTREE = 0x76;
constexpr int DE_BADPATH = 0x7C; // not an absolute path

Platform::FileOperationProgress& ProgressHook()
{
    static Platform::FileOperationProgress hook;
    return hook;
}

int Win32Error(int error)
{
    switch (error)
    {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Drops a trailing '/' (but keeps "/").
std::string Trimmed(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// An absolute path as it reads, the way a file URI's path is read: "." and ".." resolved ("/.." is
// "/"), slashes collapsed, none at the end. Its last name is then a name of its own, never "." or
// ".."; only the root has none.
std::string Normalised(const std::string& path)
{
    return ShellDetail::PathOfNames(ShellDetail::ResolvedNames(path));
}

// The name a message gives a path: its last name, or "/" for the root.
std::string ShownName(const std::string& path)
{
    return path == "/" ? path : BaseName(path);
}

// The canonical form of a normalised path whose end may not exist yet: the real path of the
// longest part that exists (links followed), with the rest as it reads.
std::string Canonical(const std::string& path)
{
    char buffer[PATH_MAX];
    std::string head = path, rest;
    for (;;)
    {
        if (realpath(head.c_str(), buffer))
            return rest.empty() ? std::string(buffer) : Join(buffer, rest);
        if (head == "/")
            return path;
        rest = rest.empty() ? BaseName(head) : BaseName(head) + "/" + rest;
        head = DirName(head);
    }
}

// Where the entry a normalised path names stands: its folder's canonical form and its own name (a
// link there is itself, not what it points to).
std::string Location(const std::string& path)
{
    return path == "/" ? path : Join(Canonical(DirName(path)), BaseName(path));
}

// Whether `path` lies below `folder` (both canonical): the root holds every other path.
bool Below(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool Exists(const std::string& path, struct stat* st = nullptr)
{
    struct stat local;
    return lstat(path.c_str(), st ? st : &local) == 0;
}

// The names of a double-NUL-ended list.
std::vector<std::string> SplitList(LPCWSTR list)
{
    std::vector<std::string> names;
    if (!list)
        return names;
    // Bounded: a list without its final NUL ends at the first empty entry we can see.
    for (size_t guard = 0; *list && guard < (1u << 20); ++guard)
    {
        size_t n = std::char_traits<char16_t>::length(list);
        names.push_back(Platform::NativeName(list, n));
        list += n + 1;
    }
    return names;
}

// Bytes under a path, links as links.
uint64_t TreeBytes(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        return S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    uint64_t total = 0;
    if (DIR* dir = opendir(path.c_str()))
    {
        while (dirent* entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                total += TreeBytes(Join(path, entry->d_name));
        closedir(dir);
    }
    return total;
}

int RemoveEntry(const char* path, const struct stat*, int type, FTW*)
{
    int rc = type == FTW_DP ? rmdir(path) : unlink(path);
    return rc == 0 ? 0 : errno;
}

// Removes a file, a link (never what it points to) or a folder with all it holds.
int RemoveTree(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode))
        return unlink(path.c_str()) == 0 ? 0 : errno;
    return nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
}

// One operation's state: flags, the window for its boxes, what was done and what the user said.
class Operation
{
public:
    explicit Operation(SHFILEOPSTRUCTW* op) : m_op(op), m_start(GetTickCount()) {}

    int Run()
    {
        std::vector<std::string> from = SplitList(m_op->pFrom);
        std::vector<std::string> to = SplitList(m_op->pTo);
        if (from.empty())
            return Fail(ERROR_INVALID_PARAMETER, u"There is nothing to work on.");
        // Every path is taken as it reads, so that what it names is what is worked on and its own
        // name is the one a copy gets: "/a/sub/.." is "/a", "/a/S/." is "/a/S".
        for (std::string& name : from)
        {
            if (name.empty() || name[0] != '/')
                return NotAbsolute(name);
            name = Normalised(name);
        }
        std::vector<std::string> given = to; // as they came, for the names of explicit targets
        for (std::string& name : to)
        {
            if (name.empty() || name[0] != '/')
                return NotAbsolute(name);
            name = Normalised(name);
        }
        switch (m_op->wFunc)
        {
        case FO_DELETE:
            // The root is never deleted (and never measured: that would read the whole disk).
            for (const std::string& name : from)
                if (name == "/")
                    return FailErrno(EPERM, u"delete", name);
            Measure(from);
            return Delete(from);
        case FO_COPY:
        case FO_MOVE:
        case FO_RENAME:
            return Transfer(from, to, given);
        default:
            return Fail(ERROR_INVALID_PARAMETER, u"Unknown file operation.");
        }
    }

private:
    bool Move() const { return m_op->wFunc != FO_COPY; }
    bool Confirm() const { return !(m_op->fFlags & FOF_NOCONFIRMATION); }

    // The bytes the operation will go through, for its progress.
    void Measure(const std::vector<std::string>& from)
    {
        for (const std::string& name : from)
            m_total += TreeBytes(name);
    }

    std::u16string Caption() const
    {
        switch (m_op->wFunc)
        {
        case FO_DELETE:
            return u"Error Deleting File or Folder";
        case FO_COPY:
            return u"Error Copying File or Folder";
        default:
            return u"Error Moving File or Folder";
        }
    }

    int Fail(int code, const std::u16string& text)
    {
        if (!(m_op->fFlags & FOF_NOERRORUI))
            MessageBoxW(m_op->hwnd, text.c_str(), Caption().c_str(), MB_OK | MB_ICONERROR);
        return code;
    }

    int NotAbsolute(const std::string& name)
    {
        std::u16string text = u"\"";
        text += Platform::WideName(name);
        text += u"\" is not an absolute path.";
        return Fail(DE_BADPATH, text);
    }

    int FailErrno(int error, const std::u16string& verb, const std::string& path)
    {
        std::string reason = std::strerror(error);
        return Fail(Win32Error(error), u"Cannot " + verb + u" \"" + Platform::WideName(ShownName(path)) +
                                           u"\": " + Platform::WideName(reason) + u".");
    }

    int Cancelled()
    {
        m_op->fAnyOperationsAborted = TRUE;
        return ERROR_CANCELLED;
    }

    // Between files: progress once the work has taken a second; false when the user cancels.
    bool Between(const std::string& name)
    {
        auto& hook = ProgressHook();
        if (!hook || (m_op->fFlags & FOF_SILENT) || GetTickCount() - m_start < 1000)
            return true;
        m_showedProgress = true;
        if (hook(m_done, m_total, Platform::WideName(BaseName(name))))
            return true;
        m_cancelled = true;
        return false;
    }

    // ---- Deleting ----

    int Delete(const std::vector<std::string>& from)
    {
        bool trash = m_op->fFlags & FOF_ALLOWUNDO;
        if (Confirm())
        {
            std::u16string what;
            if (from.size() == 1)
            {
                what.push_back(u'"');
                what += Platform::WideName(BaseName(from[0]));
                what.push_back(u'"');
            }
            else
            {
                what = Platform::WideName(std::to_string(from.size()));
                what += u" items";
            }
            std::u16string text = trash ? u"Are you sure you want to move " + what + u" to the Trash?"
                                        : u"Are you sure you want to permanently delete " + what + u"?";
            int answer = MessageBoxW(m_op->hwnd, text.c_str(), from.size() == 1 ? u"Confirm File Delete"
                                                                                : u"Confirm Multiple File Delete",
                                     MB_YESNO | MB_ICONQUESTION);
            if (answer != IDYES)
                return Cancelled();
        }
        for (const std::string& path : from)
        {
            if (!Between(path))
                return Cancelled();
            if (!Exists(path))
                return FailErrno(ENOENT, u"delete", path);
            uint64_t bytes = TreeBytes(path);
            int rc = trash ? Trash(path) : RemoveTree(path);
            if (rc != 0)
                return FailErrno(rc, u"delete", path);
            m_done += bytes;
        }
        return 0;
    }

    static std::string TrashFolder()
    {
        const char* data = std::getenv("XDG_DATA_HOME");
        std::string base = data && data[0] == '/' ? data : ShellDetail::HomePath() + "/.local/share";
        return base + "/Trash";
    }

    static std::string Escaped(const std::string& path)
    {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : path)
        {
            if (std::isalnum(c) || std::strchr("/-_.~", c))
                out.push_back(static_cast<char>(c));
            else
            {
                out.push_back('%');
                out.push_back(digits[c >> 4]);
                out.push_back(digits[c & 15]);
            }
        }
        return out;
    }

    static int MakeFolders(const std::string& path)
    {
        std::string sofar;
        size_t at = 1;
        while (at <= path.size())
        {
            size_t end = path.find('/', at);
            if (end == std::string::npos)
                end = path.size();
            sofar = path.substr(0, end);
            if (mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST)
                return errno;
            at = end + 1;
        }
        return 0;
    }

    // Into the desktop's trash: the record first, then the entry; a failed move takes the record back.
    int Trash(const std::string& path)
    {
        std::string trash = TrashFolder();
        if (int rc = MakeFolders(trash + "/files"))
            return rc;
        if (int rc = MakeFolders(trash + "/info"))
            return rc;
        std::string base = BaseName(path);
        std::string name = base;
        int info = -1;
        for (int n = 2; n < 100000; ++n)
        {
            if (!Exists(trash + "/files/" + name))
            {
                info = open((trash + "/info/" + name + ".trashinfo").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                if (info >= 0)
                    break;
                if (errno != EEXIST)
                    return errno;
            }
            name = base + "." + std::to_string(n);
        }
        if (info < 0)
            return EEXIST;
        time_t now = time(nullptr);
        tm local{};
        localtime_r(&now, &local);
        char date[32];
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
        std::string record = "[Trash Info]\nPath=" + Escaped(Canonical(path)) + "\nDeletionDate=" + date + "\n";
        std::string infoPath = trash + "/info/" + name + ".trashinfo";
        bool written = write(info, record.data(), record.size()) == static_cast<ssize_t>(record.size());
        close(info);
        if (!written)
        {
            unlink(infoPath.c_str());
            return EIO;
        }
        std::string target = trash + "/files/" + name;
        int rc = rename(path.c_str(), target.c_str()) == 0 ? 0 : errno;
        if (rc == EXDEV)
        {
            rc = CopyTree(path, target, false);
            if (rc == 0)
                rc = RemoveTree(path);
            else
                RemoveTree(target);
        }
        if (rc != 0)
            unlink(infoPath.c_str());
        return rc;
    }

    // ---- Copying and moving ----

    int Transfer(const std::vector<std::string>& from, const std::vector<std::string>& to,
                 const std::vector<std::string>& given)
    {
        bool multi = m_op->fFlags & FOF_MULTIDESTFILES;
        if (to.empty() || (multi && to.size() != from.size()))
            return Fail(ERROR_INVALID_PARAMETER, u"The destination is missing.");
        bool explicitTargets = multi || m_op->wFunc == FO_RENAME;
        // One destination folder (made when missing; a link to a folder is that folder) takes
        // every source under its own name; an existing file there is the target of a single source.
        bool makeFolder = !explicitTargets && to.size() == 1 && !Exists(to[0]);
        struct stat st;
        bool folder = stat(to[0].c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        bool intoFolder = !explicitTargets && (makeFolder || folder);
        std::vector<std::string> targets;
        for (size_t i = 0; i < from.size(); ++i)
        {
            if (explicitTargets)
            {
                size_t k = std::min(i, to.size() - 1);
                // A target is a name of its own: "folder/.." or "folder/." would be another folder.
                std::string name = BaseName(Trimmed(given[k]));
                if (to[k] == "/" || name == "." || name == "..")
                    return FailErrno(EINVAL, Move() ? u"move to" : u"copy to", Trimmed(given[k]));
                targets.push_back(to[k]);
            }
            else
                targets.push_back(intoFolder && from[i] != "/" ? Join(to[0], BaseName(from[i])) : to[0]);
        }
        // Refusals come before anything is made, moved or measured.
        for (size_t i = 0; i < from.size(); ++i)
            if (IntoItself(from[i], targets[i]))
                return Fail(DE_DESTSUBTREE, u"Cannot " + std::u16string(Move() ? u"move" : u"copy") + u" \"" +
                                                Platform::WideName(ShownName(from[i])) +
                                                u"\": the destination folder is inside the source folder.");
        if (makeFolder)
        {
            if (int rc = MakeFolders(to[0]))
                return FailErrno(rc, Move() ? u"move to" : u"copy to", to[0]);
        }
        else if (!explicitTargets && to.size() == 1 && !folder && from.size() > 1)
            return FailErrno(ENOTDIR, Move() ? u"move to" : u"copy to", to[0]);
        Measure(from);
        for (size_t i = 0; i < from.size(); ++i)
        {
            if (!Between(from[i]))
                return Cancelled();
            int rc = TransferOne(from[i], targets[i]);
            if (m_cancelled)
                return Cancelled();
            if (rc != 0)
                return rc;
        }
        return 0;
    }

    // Whether the target would stand inside the source folder, in whatever way the paths reach
    // them: the root holds everything, and a link to a folder stands for that folder. (A folder
    // onto itself is not inside itself: its copy goes beside it.)
    static bool IntoItself(const std::string& source, const std::string& target)
    {
        if (source == "/")
            return true;
        struct stat st;
        if (stat(source.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        return Below(Location(target), Canonical(source));
    }

    int TransferOne(const std::string& source, std::string target)
    {
        struct stat st;
        if (lstat(source.c_str(), &st) != 0)
            return FailErrno(errno, Move() ? u"move" : u"copy", source);
        if (Canonical(source) == Canonical(target))
        {
            if (Move())
            {
                // Already where it should be: nothing was moved, which its caller may need to know.
                m_op->fAnyOperationsAborted = TRUE;
                return 0;
            }
            target = CopyName(target);
        }
        uint64_t bytes = TreeBytes(source);
        int rc = Move() ? MoveEntry(source, target) : CopyEntry(source, target);
        if (rc == 0)
            m_done += bytes;
        return rc;
    }

    // "name - Copy.ext", then "name - Copy (2).ext" ..., the first that is free.
    static std::string CopyName(const std::string& target)
    {
        std::string folder = DirName(target), name = BaseName(target), ext;
        size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0)
        {
            ext = name.substr(dot);
            name = name.substr(0, dot);
        }
        std::string candidate = Join(folder, name + " - Copy" + ext);
        for (int n = 2; Exists(candidate) && n < 100000; ++n)
            candidate = Join(folder, name + " - Copy (" + std::to_string(n) + ")" + ext);
        return candidate;
    }

    // Asks whether an existing target may be replaced: 1 yes, 0 no (skip), -1 cancel.
    int AskReplace(const std::string& target)
    {
        if (!Confirm() || m_yesToAll)
            return 1;
        std::u16string text = u"The destination already contains \"" + Platform::WideName(BaseName(target)) +
                              u"\".\n\nDo you want to replace it?";
        int answer = MessageBoxW(m_op->hwnd, text.c_str(), u"Confirm Replace", MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDYES)
            return 1;
        if (answer == IDNO)
        {
            m_op->fAnyOperationsAborted = TRUE;
            return 0;
        }
        m_cancelled = true;
        return -1;
    }

    int CopyEntry(const std::string& source, const std::string& target)
    {
        struct stat st, existing;
        if (lstat(source.c_str(), &st) != 0)
            return FailErrno(errno, u"copy", source);
        bool exists = Exists(target, &existing);
        if (S_ISDIR(st.st_mode))
        {
            if (exists && !S_ISDIR(existing.st_mode))
                return FailErrno(EEXIST, u"copy", source);
            if (!exists && mkdir(target.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0)
                return FailErrno(errno, u"copy", source);
            // Children one by one: each may be asked about, and progress comes between them.
            DIR* dir = opendir(source.c_str());
            if (!dir)
                return FailErrno(errno, u"copy", source);
            std::vector<std::string> names;
            while (dirent* entry = readdir(dir))
                if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                    names.push_back(entry->d_name);
            closedir(dir);
            for (const std::string& name : names)
            {
                if (!Between(name))
                    return ERROR_CANCELLED;
                if (int rc = CopyEntry(Join(source, name), Join(target, name)))
                    return rc;
            }
            if (!exists)
                chmod(target.c_str(), st.st_mode & 07777);
            return 0;
        }
        if (exists)
        {
            if (S_ISDIR(existing.st_mode))
                return FailErrno(EISDIR, u"copy", source);
            int answer = AskReplace(target);
            if (answer <= 0)
                return answer < 0 ? ERROR_CANCELLED : 0;
        }
        if (int rc = CopyAside(source, st, target))
            return FailErrno(rc, u"copy", source);
        return 0;
    }

    // Writes the copy beside the target under a temporary name and renames it in: a failure
    // leaves the target as it was.
    static int CopyAside(const std::string& source, const struct stat& st, const std::string& target)
    {
        std::string temporary = Join(DirName(target), ".~" + BaseName(target).substr(0, 200) + ".XXXXXX");
        if (S_ISLNK(st.st_mode))
        {
            std::vector<char> link(static_cast<size_t>(PATH_MAX) + 1);
            ssize_t n = readlink(source.c_str(), link.data(), link.size() - 1);
            if (n < 0)
                return errno;
            link[static_cast<size_t>(n)] = 0;
            int fd = mkstemp(temporary.data());
            if (fd < 0)
                return errno;
            close(fd);
            unlink(temporary.c_str());
            if (symlink(link.data(), temporary.c_str()) != 0)
                return errno;
        }
        else if (S_ISREG(st.st_mode))
        {
            int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (in < 0)
                return errno;
            int out = mkstemp(temporary.data());
            if (out < 0)
            {
                int error = errno;
                close(in);
                return error;
            }
            int rc = CopyBytes(in, out);
            fchmod(out, st.st_mode & 07777);
            timespec times[2] = {st.st_atim, st.st_mtim};
            futimens(out, times);
            close(in);
            if (close(out) != 0 && rc == 0)
                rc = errno;
            if (rc != 0)
            {
                unlink(temporary.c_str());
                return rc;
            }
        }
        else if (S_ISFIFO(st.st_mode))
        {
            int fd = mkstemp(temporary.data());
            if (fd < 0)
                return errno;
            close(fd);
            unlink(temporary.c_str());
            if (mkfifo(temporary.c_str(), st.st_mode & 07777) != 0)
                return errno;
        }
        else
            return ENOTSUP; // sockets and devices are not copied
        if (rename(temporary.c_str(), target.c_str()) != 0)
        {
            int error = errno;
            unlink(temporary.c_str());
            return error;
        }
        return 0;
    }

    static int CopyBytes(int in, int out)
    {
        std::vector<char> buffer(1 << 20);
        for (;;)
        {
            ssize_t n = read(in, buffer.data(), buffer.size());
            if (n < 0)
            {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (n == 0)
                return 0;
            for (ssize_t done = 0; done < n;)
            {
                ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
                if (w < 0)
                {
                    if (errno == EINTR)
                        continue;
                    return errno;
                }
                done += w;
            }
        }
    }

    // A plain copy of a tree for a move between file systems and the trash (no questions).
    static int CopyTree(const std::string& source, const std::string& target, bool merge)
    {
        struct stat st;
        if (lstat(source.c_str(), &st) != 0)
            return errno;
        if (!S_ISDIR(st.st_mode))
            return CopyAside(source, st, target);
        if (mkdir(target.c_str(), (st.st_mode & 07777) | S_IRWXU) != 0 && !(merge && errno == EEXIST))
            return errno;
        DIR* dir = opendir(source.c_str());
        if (!dir)
            return errno;
        int rc = 0;
        while (dirent* entry = readdir(dir))
        {
            if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                continue;
            rc = CopyTree(Join(source, entry->d_name), Join(target, entry->d_name), merge);
            if (rc != 0)
                break;
        }
        closedir(dir);
        if (rc == 0)
            chmod(target.c_str(), st.st_mode & 07777);
        return rc;
    }

    int MoveEntry(const std::string& source, const std::string& target)
    {
        struct stat st, existing;
        if (lstat(source.c_str(), &st) != 0)
            return FailErrno(errno, u"move", source);
        bool exists = Exists(target, &existing);
        if (exists)
        {
            if (S_ISDIR(st.st_mode) && S_ISDIR(existing.st_mode))
            {
                // Into an existing folder: child by child, then the emptied source goes.
                DIR* dir = opendir(source.c_str());
                if (!dir)
                    return FailErrno(errno, u"move", source);
                std::vector<std::string> names;
                while (dirent* entry = readdir(dir))
                    if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                        names.push_back(entry->d_name);
                closedir(dir);
                for (const std::string& name : names)
                {
                    if (!Between(name))
                        return ERROR_CANCELLED;
                    if (int rc = MoveEntry(Join(source, name), Join(target, name)))
                        return rc;
                }
                rmdir(source.c_str()); // stays when something in it was skipped
                return 0;
            }
            if (S_ISDIR(st.st_mode) != S_ISDIR(existing.st_mode))
                return FailErrno(EEXIST, u"move", source);
            int answer = AskReplace(target);
            if (answer <= 0)
                return answer < 0 ? ERROR_CANCELLED : 0;
        }
        // rename replaces a file atomically: the old target stays whole until the new one is in.
        if (rename(source.c_str(), target.c_str()) == 0)
            return 0;
        if (errno != EXDEV)
            return FailErrno(errno, u"move", source);
        // Between file systems: copy everything, and only a complete copy lets the source go.
        if (S_ISDIR(st.st_mode))
        {
            int rc = CopyTree(source, target, false);
            if (rc != 0)
            {
                RemoveTree(target);
                return FailErrno(rc, u"move", source);
            }
        }
        else if (int rc = CopyAside(source, st, target))
            return FailErrno(rc, u"move", source);
        if (int rc = RemoveTree(source))
            return FailErrno(rc, u"move", source);
        return 0;
    }

    SHFILEOPSTRUCTW* m_op;
    DWORD m_start;
    uint64_t m_total = 0;
    uint64_t m_done = 0;
    bool m_cancelled = false;
    bool m_yesToAll = false;

public:
    bool m_showedProgress = false;
};
} // namespace

namespace Platform
{
FileOperationProgress SetFileOperationProgress(FileOperationProgress progress)
{
    FileOperationProgress previous = std::move(ProgressHook());
    ProgressHook() = std::move(progress);
    return previous;
}
} // namespace Platform

int SHFileOperationW(SHFILEOPSTRUCTW* operation)
{
    if (!operation)
        return ERROR_INVALID_PARAMETER;
    operation->fAnyOperationsAborted = FALSE;
    Operation run(operation);
    int result = run.Run();
    if (run.m_showedProgress && ProgressHook())
        ProgressHook()(0, 0, std::u16string()); // the progress may go
    return result;
}
