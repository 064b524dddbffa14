// The Win32 layer: the types, constants and functions of the platform API that the engine and the
// program call, implemented on POSIX and glibc. Only what the program needs is here.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

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

using SHORT = int16_t;
using UINT_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using SIZE_T = size_t;

using HANDLE = void*;
using HGLOBAL = HANDLE;
using HWND = struct HWND__*;
using HMODULE = struct HINSTANCE__*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

constexpr WORD LOWORD(uintptr_t v)
{
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(uintptr_t v)
{
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr LPARAM MAKELPARAM(int low, int high)
{
    return static_cast<LPARAM>(static_cast<DWORD>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int low, int high)
{
    return static_cast<WPARAM>(static_cast<DWORD>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
// Signed coordinates of a mouse message's lParam.
constexpr int GET_X_LPARAM(LPARAM v)
{
    return static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(v)));
}
constexpr int GET_Y_LPARAM(LPARAM v)
{
    return static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(v)));
}

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
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Text ------------------------------------------------------------------------------------

constexpr UINT CP_ACP = 0; // the ANSI code page: Windows-1251 here
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
// Asked without GENERIC_WRITE, every write goes to the end of the file, whoever else writes it
// (a log that several programs share), and lands whole or not at all: a write the disk has no room
// for leaves nothing behind and fails with 0 bytes written. The write holds an exclusive lock
// (flock) of the file meanwhile.
constexpr DWORD FILE_APPEND_DATA = 0x00000004;
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
// With this flag CreateFileW opens a folder too (for FlushFileBuffers, which then makes the
// folder's entries durable: a file created, renamed or linked in it).
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

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
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName); // fails when newName exists
BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags);
BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists);
// A second name of the same file; fails when fileName exists (ERROR_ALREADY_EXISTS), across file
// systems (ERROR_NOT_SAME_DEVICE) and where the file system has no hard links
// (ERROR_INVALID_FUNCTION).
BOOL CreateHardLinkW(LPCWSTR fileName, LPCWSTR existingFileName, void* securityAttributes);
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

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_GETDLGCODE = 0x0087;
// Mouse messages over a window's frame or scroll bars: wParam the hit-test code, lParam the point
// in window coordinates (relative to the window's top-left corner, frame included).
constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr UINT WM_NCLBUTTONUP = 0x00A2;
constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTHSCROLL = 6;
constexpr LRESULT HTVSCROLL = 7;
constexpr LRESULT HTBORDER = 18;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
// Scroll requests: the code (SB_...) in the low word of wParam, the thumb position for
// SB_THUMBPOSITION and SB_THUMBTRACK in the high word; lParam the scroll bar control, or 0 for a
// window's own bar.
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSEFIRST = WM_MOUSEMOVE;
constexpr UINT WM_MOUSELAST = WM_MOUSEWHEEL;
constexpr UINT WM_MOUSELEAVE = 0x02A3; // the pointer left the window
constexpr UINT WM_KEYFIRST = WM_KEYDOWN;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_USER = 0x0400;
constexpr int WHEEL_DELTA = 120;

// Window styles (the ones the controls read).
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
// Window class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;

// Scroll bars: which bar, the request codes and the parts of SCROLLINFO.
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_CTL = 2;
constexpr int SB_BOTH = 3;
constexpr WORD SB_LINEUP = 0;
constexpr WORD SB_LINELEFT = 0;
constexpr WORD SB_LINEDOWN = 1;
constexpr WORD SB_LINERIGHT = 1;
constexpr WORD SB_PAGEUP = 2;
constexpr WORD SB_PAGELEFT = 2;
constexpr WORD SB_PAGEDOWN = 3;
constexpr WORD SB_PAGERIGHT = 3;
constexpr WORD SB_THUMBPOSITION = 4;
constexpr WORD SB_THUMBTRACK = 5;
constexpr WORD SB_TOP = 6;
constexpr WORD SB_BOTTOM = 7;
constexpr WORD SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
struct SCROLLINFO
{
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};

// wParam bits of mouse messages.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

struct MSG
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    struct
    {
        LONG x;
        LONG y;
    } pt; // POINT's layout; POINT itself belongs to the GDI layer
};

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Delivered synchronously to the receiver registered for the window (0 when there is none).
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queued for the receiver; delivered by the message loop (PeekMessageW/DispatchMessageW) or by
// Platform::DispatchPostedMessages. Safe from any thread.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND window);

// The process's one message queue. Retrieval order is the platform's: posted messages first, then
// WM_QUIT once they are gone, then WM_TIMER of a due timer. A window filter of null takes every
// window; a range of 0, 0 every message.
BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
// Waits until a message is there, then retrieves it; FALSE for WM_QUIT.
BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
// Hands the message to its window's receiver (or, for WM_TIMER with a callback, to the callback).
LRESULT DispatchMessageW(const MSG* message);
// Characters come from the input layer as WM_CHAR already; nothing to translate.
inline BOOL TranslateMessage(const MSG*)
{
    return FALSE;
}
// Returns when a message is there, when a timer falls due, or at once while the clock is a test's.
BOOL WaitMessage();
void PostQuitMessage(int exitCode);

// Timers: each due timer yields one WM_TIMER when the queue is read, however late it is read
// (missed periods coalesce), and its period restarts from that moment. Setting an existing id
// again restarts it. Periods below 10 ms are 10 ms.
using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Window styles and placement. Each window of the table keeps a style and an extended style
// (both 0 at first); SetWindowLongW stores one and sends WM_STYLECHANGED (wParam the index, lParam
// a STYLESTRUCT*) so that the window's owner shows the change. SetWindowPos moves, sizes, shows and
// stacks a window by sending it WM_WINDOWPOSCHANGED with a WINDOWPOS*: HWND_TOPMOST puts the window
// in the top-most band (WS_EX_TOPMOST), HWND_NOTOPMOST takes it out.
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
// Shown and clicked without taking the keyboard from the window that has it (a drop-down list).
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_STYLECHANGED = 0x007D;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_KEYMENU = 0xF100;
constexpr WPARAM SC_MONITORPOWER = 0xF170;

struct STYLESTRUCT
{
    DWORD styleOld;
    DWORD styleNew;
};

struct WINDOWPOS
{
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

// 0 (and ERROR_INVALID_WINDOW_HANDLE) for a handle that is no window, or an index other than the two.
LONG GetWindowLongW(HWND window, int index);
// The previous value; 0 and nothing changed for a bad handle or index.
LONG SetWindowLongW(HWND window, int index, LONG value);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);

// The platform's defaults for input timing: two clicks within this many milliseconds (and within
// SM_CXDOUBLECLK x SM_CYDOUBLECLK pixels) make a double-click; the caret blinks at this period.
UINT GetDoubleClickTime();
UINT GetCaretBlinkTime();
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
// The width of a vertical scroll bar and the height of a horizontal one (17 pixels).
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
int GetSystemMetrics(int index);

// ---- Keyboard state --------------------------------------------------------------------------

constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_APPS = 0x5D;
constexpr int VK_F1 = 0x70;
constexpr int VK_F4 = 0x73;
constexpr int VK_F10 = 0x79;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;

// Bit 0x8000: the key is down; GetKeyState's bit 1: toggled (each press flips it).
SHORT GetAsyncKeyState(int virtualKey);
SHORT GetKeyState(int virtualKey);

// ---- Global memory and the clipboard ---------------------------------------------------------

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;

// A handle that is not a live block fails with ERROR_INVALID_HANDLE. A movable block's handle is
// not its address: GlobalLock gives the address and counts the locks.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL memory);
// TRUE while the block stays locked; FALSE with last error ERROR_SUCCESS when the last lock went
// (ERROR_NOT_LOCKED when it was not locked).
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);
// Null on success, the handle itself on failure.
HGLOBAL GlobalFree(HGLOBAL memory);

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_UNICODETEXT = 13;

// Registered formats: one id per name (compared without case), from 0xC000 up. 0 for an empty name.
UINT RegisterClipboardFormatW(LPCWSTR formatName);
// A registered format's name as it was first registered, cut to maxCount - 1 characters and
// terminated; answers its length, 0 for a format not registered by name.
int GetClipboardFormatNameW(UINT format, LPWSTR formatName, int maxCount);
// The process's clipboard. Open by one window at a time (null counts as a window); EmptyClipboard,
// SetClipboardData and GetClipboardData need it open. SetClipboardData takes ownership of an
// HGLOBAL from GlobalAlloc and frees the format's previous data; the clipboard frees what it holds
// when it is emptied. Text travels as CF_UNICODETEXT: NUL-terminated UTF-16.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE memory);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);

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

// Bulk file work on open file handles, for copies of gigabytes (the archive's save).
// Copies up to `size` bytes of `source` from `offset` (its position stays) to `target` at its
// position, which advances: in the kernel, without passing through the process. Returns the bytes
// copied, 0 at the end of the source, -1 when the kernel cannot copy between these files.
int64_t CopyFileRange(HANDLE source, uint64_t offset, HANDLE target, uint64_t size);
// Reads up to `size` bytes at `offset` without moving the position: the bytes read (0 at the end),
// -1 on an error.
int64_t ReadFileAt(HANDLE file, void* buffer, size_t size, uint64_t offset);
// Tells the system the file will be read from start to end (more read-ahead). Advice only.
void AdviseSequentialRead(HANDLE file);
// Starts writing a range of the file's written bytes to the disk without waiting for it, so that a
// later flush has less left to wait for. Advice only: false when the system does not take it.
bool StartWriteBack(HANDLE file, uint64_t offset, uint64_t length);
// Allocates the file's first `size` bytes at once (the file grows to at least that size), so the
// file system lays them out in one go; false when it cannot, and the file is unchanged then.
bool ReserveFileSpace(HANDLE file, uint64_t size);


// The native file LoadLibraryW opens for a module name: "name.dll" (or "name" without an
// extension) becomes "libname.so"; a name without a folder, or with a relative one, is looked up
// from the program's folder; the result is resolved without case like any other path.
std::string ModuleFileName(const WCHAR* moduleName);
// Makes LoadLibraryW open `nativePath` for the module name (compared without ASCII case, as
// given to LoadLibraryW) instead of the library beside the program; an empty path removes the
// redirection. For tests that stand a library of their own in for a module.
void RedirectModule(const std::u16string& moduleName, const std::string& nativePath);

// Full path of the running program (from /proc/self/exe), and its folder with a trailing '/'.
std::string ProgramPath();
std::string ProgramFolder();
// The program's path in Windows form as wide text, e.g. u"/opt/kelvane/Kelvane".
std::u16string ProgramPathW();

// The message-box path. The default handler writes caption and text to standard error and returns
// the default button's answer at once. A test installs a recorder; the previous handler is returned.
using MessageBoxHandler =
    std::function<int(HWND owner, const std::u16string& text, const std::u16string& caption, UINT type)>;
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
// Delivers every message posted before the call (not timers); returns how many were delivered.
int DispatchPostedMessages();

// The clock behind GetTickCount, the queue's timers and message times. A test installs its own to
// move time without sleeping; null puts the system's monotonic clock back. Returns the previous
// one (null for the system's).
using TickClock = std::function<DWORD()>;
TickClock SetTickClock(TickClock clock);
bool TickClockIsInjected();

// The input layer's hook into the queue: called with 0 whenever the queue is read, so native events
// become messages, and with the longest time to wait (INFINITE_WAIT: until an event) by
// WaitMessage. Null removes it. Returns the previous one.
constexpr DWORD INFINITE_WAIT = 0xFFFFFFFFu;
using EventPump = std::function<void(DWORD waitMilliseconds)>;
EventPump SetEventPump(EventPump pump);

// The key-state table behind GetKeyState/GetAsyncKeyState, set by the input layer and tests. A
// press flips the key's toggle; a side key (VK_LSHIFT ...) also moves its generic key.
void SetKeyDown(int virtualKey, bool down);
void ResetKeyStates();

// The bridge between the process's clipboard and the desktop's (the presenter installs it). The
// desktop carries some formats (`Carried`, and with `Registered` every format registered by name);
// the others stay inside the process.
// - Export: the clipboard was changed and closed: the process holds the desktop's clipboard from
//   now on, offering the carried formats it holds (given as the bytes of their blocks, which the
//   bridge may take over; CF_TEXT alone is offered as CF_UNICODETEXT).
// - Foreign: whether the process no longer holds the desktop's clipboard (another program took it,
//   whether it holds it still or went): what the process held is dropped when the clipboard is next
//   opened, and the clipboard's content is that program's, or nothing without an owner.
// - Offers: whether that program's content comes in a carried format (CF_TEXT counts as
//   CF_UNICODETEXT).
// - Import: that program's content in a carried format, as the bytes of a block; false when it
//   cannot be had (the format is then missing). Asked only when a format is asked for.
struct ClipboardBridge
{
    std::vector<UINT> Carried;
    bool Registered = false;
    std::function<void(std::vector<std::pair<UINT, std::string>> blocks)> Export;
    std::function<bool()> Foreign;
    std::function<bool(UINT format)> Offers;
    std::function<bool(UINT format, std::string& bytes)> Import;
};
ClipboardBridge SetClipboardBridge(ClipboardBridge bridge); // returns the previous one

// Saves a file so that no failure costs the old one: `write` fills a new temporary file beside
// the target (handed over by its path, and closed again by `write`), which is then flushed to
// disk, given the target's mode bits and moved over the target. A target that is a symbolic link
// is followed: the file it names is replaced and the link stays. A read-only target, a folder in
// its place or a folder that takes no new file fails. On any failure, also an exception thrown by
// `write` (which passes on), the temporary file is removed and the target is left as it was.
// The temporary file is <target>.~new, or ~new1, ~new2 ... when that name is taken; it is locked
// (flock) while the save runs. Before it is made, the temporary files of the target's earlier
// saves that no live save holds (left by saves that were killed) are removed.
enum class ReplaceResult
{
    Done,
    CreateFailed,  // no temporary file could be made beside the target
    FlushFailed,   // the written file could not be flushed
    ReplaceFailed, // the target could not be replaced
};
ReplaceResult ReplaceFileSafely(const WCHAR* target, const std::function<void(const std::u16string& tempPath)>& write);
// Removes the temporary files of the target's saves that no live save holds, lowest number first,
// handing each removed file's name to `removed` (named from `target` as given, unless the target is
// a link: then by the path the file had).
void RemoveReplaceLeftovers(const WCHAR* target,
                            const std::function<void(const std::u16string& name)>& removed = nullptr);
// Moves `file` to `moved`, replacing what stands there, when the file holds more than `limit`
// bytes (a log rotated at start). The size is read and the file moved under an exclusive lock of
// the file, and only while the name still names the file that was locked: of several processes
// doing it at once one moves it, and none moves the file another has just begun in its place.
// Returns whether this call moved it.
bool MoveFileIfLarger(const WCHAR* file, const WCHAR* moved, int64_t limit);
// Makes the flush of ReplaceFileSafely fail for the temporary files the predicate picks by their
// native path, as a device that cannot write them back would; for tests of what a failed flush
// leaves behind. Null removes it. Returns the previous one.
using FlushFault = std::function<bool(const std::string& nativePath)>;
FlushFault SetFlushFault(FlushFault fault);
// Whether an open file handle is a regular file (not a pipe, device or socket).
bool IsRegularFile(HANDLE file);

// The screen size GetSystemMetrics answers (1024 x 768 until the presenter sets it).
void SetScreenMetrics(int width, int height);

// Removes every window's timers (when the window goes away).
void KillWindowTimers(HWND window);

// The case-blind order of CompareStringW (NORM_IGNORECASE) as a key: appends bytes to `key` such
// that two texts' keys compared by CompareSortKeys give CompareStringW's answer. Sorting many texts
// by their keys converts each text once instead of at every comparison.
void AppendSortKey(const WCHAR* text, size_t length, std::vector<uint8_t>& key);
// CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN for two keys of AppendSortKey.
inline int CompareSortKeys(const uint8_t* a, size_t lengthA, const uint8_t* b, size_t lengthB)
{
    size_t common = lengthA < lengthB ? lengthA : lengthB;
    int c = common ? std::memcmp(a, b, common) : 0;
    if (c == 0)
        c = lengthA == lengthB ? 0 : lengthA < lengthB ? -1 : 1;
    return c < 0 ? CSTR_LESS_THAN : c > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

// Sized formatting shared by the wsprintf family: writes at most `size` units including the NUL.
int FormatW(WCHAR* buffer, size_t size, const WCHAR* format, va_list args);
int FormatA(char* buffer, size_t size, const char* format, va_list args);
} // namespace Platform
