// Opening files with the desktop's handler, change notifications over inotify, and menus.
#include "Platform/Shell/ShellDetail.h"

#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <set>

extern char** environ;

// ---- ShellExecuteW ---------------------------------------------------------------------------

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int)
{
    auto code = [](UINT_PTR value) { return reinterpret_cast<HINSTANCE>(value); };
    if (!file || !*file)
        return code(SE_ERR_FNF);
    if (verb && std::u16string(verb) != u"open")
        return code(SE_ERR_NOASSOC);
    std::string path = Platform::NativeName(file);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return code(SE_ERR_FNF);
    // The path is one argument of its own: no shell sees it.
    std::string program = "xdg-open";
    char* argv[] = {program.data(), path.data(), nullptr};
    pid_t child;
    int rc = posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ);
    if (rc != 0)
        return code(rc == ENOMEM ? SE_ERR_OOM : SE_ERR_NOASSOC);
    // The opener hands the file on and ends; its status says whether it found a handler.
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR)
    {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return code(SE_ERR_NOASSOC);
    return code(42);
}

// ---- Change notifications --------------------------------------------------------------------

namespace
{
struct ChangeWatch
{
    int fd = -1;
    DWORD filter = 0;
    bool signalled = false;
};

std::set<ChangeWatch*>& Watches()
{
    static std::set<ChangeWatch*> watches;
    return watches;
}

ChangeWatch* AsWatch(HANDLE handle)
{
    auto* watch = static_cast<ChangeWatch*>(handle);
    return Watches().count(watch) ? watch : nullptr;
}

uint32_t InotifyMask(DWORD filter)
{
    uint32_t mask = 0;
    if (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))
        mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY))
        mask |= IN_ATTRIB;
    if (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE))
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    return mask;
}

// Whether an event is one the filter names.
bool Matches(DWORD filter, const inotify_event& e)
{
    bool named = e.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
    bool isDir = e.mask & IN_ISDIR;
    if (named && (filter & FILE_NOTIFY_CHANGE_FILE_NAME) && !isDir)
        return true;
    if (named && (filter & FILE_NOTIFY_CHANGE_DIR_NAME) && isDir)
        return true;
    if ((e.mask & IN_ATTRIB) && (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY)))
        return true;
    if ((e.mask & (IN_MODIFY | IN_CLOSE_WRITE)) && (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)))
        return true;
    // The watched folder itself gone or moved: whoever watches names hears of it.
    if ((e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) &&
        (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME)))
        return true;
    return false;
}

// Reads what arrived; sets the signal when something matches.
void Drain(ChangeWatch* watch)
{
    alignas(inotify_event) char buffer[8192];
    for (;;)
    {
        ssize_t n = read(watch->fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;)
        {
            inotify_event e;
            std::memcpy(&e, buffer + at, sizeof e);
            if (Matches(watch->filter, e))
                watch->signalled = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e.len);
        }
    }
}
} // namespace

HANDLE FindFirstChangeNotificationW(LPCWSTR path, BOOL, DWORD filter)
{
    // Subfolders are not watched: inotify watches one folder, and nothing here asks for more.
    if (!path || !*path)
        return INVALID_HANDLE_VALUE;
    std::string native = Platform::NativeName(path);
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    if (inotify_add_watch(fd, native.c_str(), InotifyMask(filter) | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR) < 0)
    {
        close(fd);
        return INVALID_HANDLE_VALUE;
    }
    auto* watch = new ChangeWatch{fd, filter, false};
    Watches().insert(watch);
    return watch;
}

BOOL FindNextChangeNotification(HANDLE handle)
{
    ChangeWatch* watch = AsWatch(handle);
    if (!watch)
        return FALSE;
    watch->signalled = false;
    return TRUE;
}

BOOL FindCloseChangeNotification(HANDLE handle)
{
    ChangeWatch* watch = AsWatch(handle);
    if (!watch)
        return FALSE;
    Watches().erase(watch);
    close(watch->fd);
    delete watch;
    return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    if (!handles || count == 0 || count > 64 || waitAll)
        return WAIT_FAILED;
    std::vector<ChangeWatch*> watches(count);
    for (DWORD i = 0; i < count; ++i)
        watches[i] = AsWatch(handles[i]); // a handle that could not be opened never signals
    DWORD start = GetTickCount();
    for (;;)
    {
        std::vector<pollfd> fds;
        for (ChangeWatch* watch : watches)
            if (watch)
            {
                Drain(watch);
                fds.push_back(pollfd{watch->fd, POLLIN, 0});
            }
        for (DWORD i = 0; i < count; ++i)
            if (watches[i] && watches[i]->signalled)
                return WAIT_OBJECT_0 + i;
        DWORD elapsed = GetTickCount() - start;
        if (milliseconds != INFINITE && elapsed >= milliseconds)
            return WAIT_TIMEOUT;
        int wait = milliseconds == INFINITE ? -1 : static_cast<int>(milliseconds - elapsed);
        if (poll(fds.data(), fds.size(), wait) < 0 && errno != EINTR)
            return WAIT_FAILED;
    }
}

// ---- Menus -----------------------------------------------------------------------------------

struct HMENU__
{
    struct Entry
    {
        UINT flags;
        UINT_PTR id;
        std::u16string text;
    };
    std::vector<Entry> entries;
};

namespace
{
std::set<HMENU>& Menus()
{
    static std::set<HMENU> menus;
    return menus;
}

Platform::MenuTracker& Tracker()
{
    static Platform::MenuTracker tracker;
    return tracker;
}

HMENU__* AsMenu(HMENU menu)
{
    return Menus().count(menu) ? menu : nullptr;
}
} // namespace

namespace Platform
{
MenuTracker SetMenuTracker(MenuTracker tracker)
{
    MenuTracker previous = std::move(Tracker());
    Tracker() = std::move(tracker);
    return previous;
}
} // namespace Platform

HMENU CreatePopupMenu()
{
    auto* menu = new HMENU__;
    Menus().insert(menu);
    return menu;
}

BOOL DestroyMenu(HMENU menu)
{
    if (!AsMenu(menu))
        return FALSE;
    Menus().erase(menu);
    delete menu;
    return TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text)
{
    HMENU__* m = AsMenu(menu);
    if (!m)
        return FALSE;
    size_t at = (flags & MF_BYPOSITION) ? std::min<size_t>(position, m->entries.size()) : m->entries.size();
    m->entries.insert(m->entries.begin() + static_cast<ptrdiff_t>(at),
                      HMENU__::Entry{flags & ~MF_BYPOSITION, id, text ? std::u16string(text) : std::u16string()});
    return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text)
{
    HMENU__* m = AsMenu(menu);
    if (!m)
        return FALSE;
    return InsertMenuW(menu, static_cast<UINT>(m->entries.size()), flags | MF_BYPOSITION, id, text);
}

int GetMenuItemCount(HMENU menu)
{
    HMENU__* m = AsMenu(menu);
    return m ? static_cast<int>(m->entries.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position)
{
    HMENU__* m = AsMenu(menu);
    if (!m || position < 0 || position >= static_cast<int>(m->entries.size()))
        return 0xFFFFFFFFu;
    return static_cast<UINT>(m->entries[static_cast<size_t>(position)].id);
}

int GetMenuStringW(HMENU menu, UINT id, LPWSTR text, int size, UINT flags)
{
    HMENU__* m = AsMenu(menu);
    if (!m)
        return 0;
    const HMENU__::Entry* found = nullptr;
    if (flags & MF_BYPOSITION)
        found = id < m->entries.size() ? &m->entries[id] : nullptr;
    else
        for (const auto& entry : m->entries)
            if (entry.id == id)
            {
                found = &entry;
                break;
            }
    if (!found)
        return 0;
    if (!text || size <= 0)
        return static_cast<int>(found->text.size());
    size_t n = std::min<size_t>(found->text.size(), static_cast<size_t>(size - 1));
    std::copy_n(found->text.begin(), n, text);
    text[n] = 0;
    return static_cast<int>(n);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND window, const RECT*)
{
    if (!AsMenu(menu))
        return FALSE;
    UINT command = Tracker() ? Tracker()(menu, x, y, window) : 0;
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(command);
    if (command && window)
        PostMessageW(window, WM_COMMAND, command, 0);
    return TRUE;
}
