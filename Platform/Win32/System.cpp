// The Win32 layer's system services: last error, UTF-8 at the edge, time, message boxes, modules
// and the program's own path.
#include "Platform/Win32/Windows.h"
#include "Platform/Win32/Detail.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <sched.h>

// ---- Errors ----------------------------------------------------------------------------------

namespace
{
thread_local DWORD t_lastError = ERROR_SUCCESS;
} // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD error)
{
    t_lastError = error;
}

namespace Platform::Detail
{
DWORD ErrorFromErrno(int error)
{
    switch (error)
    {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EINVAL:
    case EOVERFLOW:
        return ERROR_INVALID_PARAMETER;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_FILE_TOO_LARGE;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EBUSY:
        return ERROR_SHARING_VIOLATION;
    default:
        return ERROR_GEN_FAILURE;
    }
}
} // namespace Platform::Detail

// ---- UTF-8 -----------------------------------------------------------------------------------

namespace Platform
{
std::string ToUtf8(const WCHAR* text, size_t length)
{
    std::string out;
    if (!text)
        return out;
    if (length == std::u16string::npos)
        length = std::char_traits<WCHAR>::length(text);
    out.reserve(length);
    const WCHAR* end = text + length;
    while (text != end)
    {
        char32_t c = Detail::DecodeUtf16(text, end);
        if (c == Detail::InvalidCodePoint)
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        char bytes[4];
        out.append(bytes, Detail::EncodeUtf8(c, bytes));
    }
    return out;
}

std::u16string FromUtf8(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p != end)
    {
        char32_t c = Detail::DecodeUtf8(p, end);
        if (c == Detail::InvalidCodePoint)
            c = 0xFFFD;
        WCHAR units[2];
        out.append(units, Detail::EncodeUtf16(c, units));
    }
    return out;
}
} // namespace Platform

// ---- Time ------------------------------------------------------------------------------------

namespace
{
void FillSystemTime(SYSTEMTIME* time, bool local)
{
    if (!time)
        return;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    if (local)
        ::localtime_r(&now.tv_sec, &parts);
    else
        ::gmtime_r(&now.tv_sec, &parts);
    time->wYear = static_cast<WORD>(parts.tm_year + 1900);
    time->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    time->wDay = static_cast<WORD>(parts.tm_mday);
    time->wHour = static_cast<WORD>(parts.tm_hour);
    time->wMinute = static_cast<WORD>(parts.tm_min);
    // A leap second reads as second 59, as the platform never reports 60.
    time->wSecond = static_cast<WORD>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
} // namespace

void GetLocalTime(SYSTEMTIME* time)
{
    FillSystemTime(time, true);
}

void GetSystemTime(SYSTEMTIME* time)
{
    FillSystemTime(time, false);
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0)
    {
        ::sched_yield();
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR)
    {
    }
}

// ---- Message boxes ---------------------------------------------------------------------------

namespace
{
std::mutex g_messageBoxMutex;

int DefaultMessageBox(HWND, const std::u16string& text, const std::u16string& caption, UINT type)
{
    std::string line = Platform::ToUtf8(caption.c_str(), caption.size()) + ": " +
                       Platform::ToUtf8(text.c_str(), text.size()) + "\n";
    {
        std::lock_guard<std::mutex> lock(g_messageBoxMutex);
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    return Platform::DefaultMessageBoxAnswer(type);
}

Platform::MessageBoxHandler& InstalledHandler()
{
    static Platform::MessageBoxHandler handler = DefaultMessageBox;
    return handler;
}
} // namespace

namespace Platform
{
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard<std::mutex> lock(g_messageBoxMutex);
    MessageBoxHandler previous = std::move(InstalledHandler());
    InstalledHandler() = handler ? std::move(handler) : MessageBoxHandler(DefaultMessageBox);
    return previous;
}

int DefaultMessageBoxAnswer(UINT type)
{
    static const int buttons[][3] = {
        {IDOK, 0, 0},                 // MB_OK
        {IDOK, IDCANCEL, 0},          // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE}, // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},      // MB_YESNOCANCEL
        {IDYES, IDNO, 0},             // MB_YESNO
        {IDRETRY, IDCANCEL, 0},       // MB_RETRYCANCEL
    };
    UINT style = type & 0x0F;
    if (style >= sizeof(buttons) / sizeof(buttons[0]))
        return IDOK;
    UINT index = (type >> 8) & 0x0F;
    // A default button the box does not have falls back to the first, as the platform does.
    if (index >= 3 || buttons[style][index] == 0)
        index = 0;
    return buttons[style][index];
}
} // namespace Platform

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    Platform::MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_messageBoxMutex);
        handler = InstalledHandler();
    }
    // The handler runs unlocked: it may show a modal loop that opens further boxes.
    return handler(owner, text ? std::u16string(text) : std::u16string(),
                   caption ? std::u16string(caption) : std::u16string(u"Error"), type);
}

// ---- Program path ----------------------------------------------------------------------------

namespace Platform
{
std::string ProgramPath()
{
    static const std::string path = []
    {
        if (char* resolved = ::realpath("/proc/self/exe", nullptr))
        {
            std::string result(resolved);
            std::free(resolved);
            return result;
        }
        return std::string();
    }();
    return path;
}

std::string ProgramFolder()
{
    std::string path = ProgramPath();
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::u16string ProgramPathW()
{
    return FromUtf8(ProgramPath());
}
} // namespace Platform

// ---- Modules ---------------------------------------------------------------------------------

namespace
{
std::mutex g_moduleMutex;
// How often each handle from dlopen is held, so FreeLibrary can refuse a handle it never gave out.
std::map<void*, int>& LoadedModules()
{
    static std::map<void*, int> modules;
    return modules;
}

bool EndsWithIgnoringAsciiCase(const std::u16string& text, std::u16string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i)
    {
        WCHAR c = text[text.size() - suffix.size() + i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WCHAR>(c + 32);
        if (c != suffix[i])
            return false;
    }
    return true;
}

bool IsElfFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char magic[4] = {};
    ssize_t got = ::read(fd, magic, sizeof(magic));
    ::close(fd);
    return got == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}
} // namespace

namespace
{
std::u16string AsciiLower(std::u16string text)
{
    for (WCHAR& c : text)
    {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WCHAR>(c + 32);
    }
    return text;
}

std::map<std::u16string, std::string>& ModuleRedirections()
{
    static std::map<std::u16string, std::string> redirections;
    return redirections;
}
} // namespace

namespace Platform
{
void RedirectModule(const std::u16string& moduleName, const std::string& nativePath)
{
    std::lock_guard<std::mutex> lock(g_moduleMutex);
    if (nativePath.empty())
        ModuleRedirections().erase(AsciiLower(moduleName));
    else
        ModuleRedirections()[AsciiLower(moduleName)] = nativePath;
}

std::string ModuleFileName(const WCHAR* moduleName)
{
    if (!moduleName)
        return {};
    {
        std::lock_guard<std::mutex> lock(g_moduleMutex);
        auto it = ModuleRedirections().find(AsciiLower(moduleName));
        if (it != ModuleRedirections().end())
            return it->second;
    }
    std::u16string name = Detail::WithForwardSlashes(moduleName);
    size_t slash = name.find_last_of(u'/');
    std::u16string folder = slash == std::u16string::npos ? std::u16string() : name.substr(0, slash + 1);
    std::u16string base = slash == std::u16string::npos ? name : name.substr(slash + 1);
    // The platform adds ".dll" to a name without an extension.
    if (EndsWithIgnoringAsciiCase(base, u".dll"))
        base = u"lib" + base.substr(0, base.size() - 4) + u".so";
    else if (!base.empty() && base.find(u'.') == std::u16string::npos)
        base = u"lib" + base + u".so";
    std::string path = ToUtf8((folder + base).c_str());
    if (path.empty() || path.front() != '/')
        path = ProgramFolder() + path;
    return Detail::ResolveUtf8Path(path);
}
} // namespace Platform

HMODULE LoadLibraryW(LPCWSTR fileName)
{
    if (!fileName || !*fileName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = Platform::ModuleFileName(fileName);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
    {
        ::dlerror();
        // A file that is no library at all is reported as the platform reports a bad image; a
        // library whose dependencies are missing as a missing module.
        SetLastError(IsElfFile(path) ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_moduleMutex);
    ++LoadedModules()[handle];
    return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName)
{
    {
        std::lock_guard<std::mutex> lock(g_moduleMutex);
        if (!module || LoadedModules().count(module) == 0)
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    // Small values are ordinals, which shared libraries do not have.
    if (reinterpret_cast<uintptr_t>(procName) <= 0xFFFF)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(module, procName);
    if (!symbol)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module)
{
    {
        std::lock_guard<std::mutex> lock(g_moduleMutex);
        auto it = LoadedModules().find(module);
        if (!module || it == LoadedModules().end())
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second == 0)
            LoadedModules().erase(it);
    }
    ::dlclose(module);
    return TRUE;
}

// ---- Input timing and screen metrics ---------------------------------------------------------

namespace
{
std::atomic<int> g_screenWidth{1024};
std::atomic<int> g_screenHeight{768};
} // namespace

UINT GetDoubleClickTime()
{
    return 500;
}

UINT GetCaretBlinkTime()
{
    return 530;
}

int GetSystemMetrics(int index)
{
    switch (index)
    {
    case SM_CXSCREEN:
        return g_screenWidth;
    case SM_CYSCREEN:
        return g_screenHeight;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 17;
    default:
        return 0;
    }
}

namespace Platform
{
void SetScreenMetrics(int width, int height)
{
    g_screenWidth = width;
    g_screenHeight = height;
}
} // namespace Platform
