// The Win32 layer: the types, constants and functions of the platform API that the engine and the
// program call, implemented on POSIX and glibc. Only what the program needs is here.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// ---- Integer, character and handle types ------------------------------------------------------

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using WCHAR = char16_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using LCID = DWORD;
using HRESULT = int32_t;

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

using HANDLE = void*;
using HWND = struct HWND__*;
using HMODULE = struct HINSTANCE__*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }

// ---- Errors ----------------------------------------------------------------------------------

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
// Further codes the file, module and window functions report.
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Text ------------------------------------------------------------------------------------

constexpr UINT CP_ACP = 0;        // the ANSI code page: Windows-1251 here
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3; // the calling thread's ANSI code page: also Windows-1251
constexpr UINT CP_GBK = 936;
constexpr UINT CP_1251 = 1251;
constexpr UINT CP_UTF8 = 65001;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr DWORD NORM_IGNORECASE = 0x00000001;

constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;

// Converts `cbMultiByte` bytes (-1: up to and including the NUL) of code page `codePage` into
// UTF-16. With cchWideChar 0 it returns the units needed. Bytes that do not map become '?'.
// Returns 0 (ERROR_INSUFFICIENT_BUFFER) when the output does not fit.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte, LPWSTR wideChar,
                        int cchWideChar);
// The reverse; characters the code page cannot hold become `defaultChar` ('?' when null) and set
// *usedDefaultChar.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideChar, int cchWideChar, LPSTR multiByte,
                        int cbMultiByte, LPCSTR defaultChar, BOOL* usedDefaultChar);

// Returns CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN; 0 on bad arguments. A length of -1
// means up to the NUL. Flags 0 compares code units; NORM_IGNORECASE uses the program's fixed
// case-insensitive order (symbols, digits, letters, others; apostrophes and hyphens decide last).
int CompareStringW(LCID locale, DWORD flags, LPCWSTR a, int lengthA, LPCWSTR b, int lengthB);
int CompareStringA(LCID locale, DWORD flags, LPCSTR a, int lengthA, LPCSTR b, int lengthB);

// In place on a NUL-terminated text; returns it. Lower-casing follows simple folding for Latin,
// Latin-1, Latin Extended-A, Greek and Cyrillic.
LPWSTR CharLowerW(LPWSTR text);
LPWSTR CharUpperW(LPWSTR text);
LPSTR CharLowerA(LPSTR text);
LPSTR CharUpperA(LPSTR text);
WCHAR ToLowerWide(WCHAR c);
WCHAR ToUpperWide(WCHAR c);

int lstrlenW(LPCWSTR text);
int lstrlenA(LPCSTR text);

// wsprintf family: flags '-' and '0', width, precision, 'l'/'h' size prefixes and the types
// d i u x X c s (and S / ls for the other width) and %%. At most 1,024 units including the NUL are
// written, as the platform does; the sized forms stop at `size` units. They return the number of
// units written without the NUL.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);

// ---- Time ------------------------------------------------------------------------------------

struct SYSTEMTIME
{
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

void GetLocalTime(SYSTEMTIME* time);
void GetSystemTime(SYSTEMTIME* time);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// ---- Files -----------------------------------------------------------------------------------

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;

// Paths are Windows paths: '\' and '/' both separate components; a component that does not exist
// under its exact name is looked up without case, as Windows would find it.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, LONGLONG* size);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE handle);
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName);                 // fails when newName exists
BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags);
BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists);
BOOL DeleteFileW(LPCWSTR fileName);
DWORD GetFileAttributesW(LPCWSTR fileName);
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
BOOL CreateDirectoryW(LPCWSTR pathName, void* securityAttributes);
BOOL RemoveDirectoryW(LPCWSTR pathName);

// ---- Message boxes ---------------------------------------------------------------------------

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Goes through the installed message-box handler (see Platform::SetMessageBoxHandler).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---- Modules ---------------------------------------------------------------------------------

// "name.dll" opens "libname.so" from the program's folder; a missing library returns null and
// sets ERROR_MOD_NOT_FOUND.
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

// ---- COM identities --------------------------------------------------------------------------

struct GUID
{
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

// A random (version 4, RFC 4122 variant) GUID from the system's random source. E_INVALIDARG for
// a null pointer, E_FAIL when no random bytes can be had.
HRESULT CoCreateGuid(GUID* guid);

// ---- Window messages -------------------------------------------------------------------------

constexpr UINT WM_USER = 0x0400;

// Delivered synchronously to the receiver registered for the window (0 when there is none).
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queued for the receiver; delivered by Platform::DispatchPostedMessages.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND window);

// ---- Extensions of this layer ----------------------------------------------------------------

namespace Platform
{
// UTF-16 <-> UTF-8 at the edge to Linux (file names, standard error).
std::string ToUtf8(const WCHAR* text, size_t length = std::u16string::npos);
std::u16string FromUtf8(const std::string& text);

// The native path for a Windows path: separators turned to '/', and each component that does not
// exist under its exact name replaced by an existing entry that matches it without case.
std::string ResolvePath(const WCHAR* windowsPath);
// Whether two paths name one existing file (through links and differences of case or form).
bool SameFile(const WCHAR* a, const WCHAR* b);

// The native file LoadLibraryW opens for a module name: "name.dll" (or "name" without an
// extension) becomes "libname.so"; a name without a folder, or with a relative one, is looked up
// from the program's folder; the result is resolved without case like any other path.
std::string ModuleFileName(const WCHAR* moduleName);

// Full path of the running program (from /proc/self/exe), and its folder with a trailing '/'.
std::string ProgramPath();
std::string ProgramFolder();
// The program's path in Windows form as wide text, e.g. u"/opt/kelvane/Kelvane".
std::u16string ProgramPathW();

// The message-box path. The default handler writes caption and text to standard error and returns
// the default button's answer at once. A test installs a recorder; the previous handler is returned.
using MessageBoxHandler = std::function<int(HWND owner, const std::u16string& text,
                                            const std::u16string& caption, UINT type)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// The answer the default handler gives for a style: IDOK, IDYES, IDABORT, IDRETRY, or by the
// MB_DEFBUTTONn bits the corresponding button.
int DefaultMessageBoxAnswer(UINT type);

// Window message receivers for SendMessageW/PostMessageW. The class library registers its
// windows here; tests register a handle of their own to collect messages.
using WindowReceiver = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
HWND RegisterWindowReceiver(WindowReceiver receiver); // a new handle
void SetWindowReceiver(HWND window, WindowReceiver receiver);
void UnregisterWindowReceiver(HWND window);
// Delivers every queued posted message; returns how many were delivered.
int DispatchPostedMessages();

// Sized formatting shared by the wsprintf family: writes at most `size` units including the NUL.
int FormatW(WCHAR* buffer, size_t size, const WCHAR* format, va_list args);
int FormatA(char* buffer, size_t size, const char* format, va_list args);
} // namespace Platform
