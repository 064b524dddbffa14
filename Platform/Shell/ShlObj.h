// The shell namespace over the file system: item id lists, folders and their enumerators, the
// special folders, file information, file operations, opening files with the desktop's handler,
// and change notifications of a folder.
//
// The desktop is virtual; under it lie "Computer" ("/" and what is mounted under /media, /mnt and
// /run/media), "Control Panel" (empty), "Home" ($HOME) and "Network" (empty). An item holds its
// kind and its name's bytes; paths are native ('/' separates, '\' is a name character). A name byte
// that is not UTF-8 shows as U+DC00 + the byte and maps back to it unchanged.
#pragma once

#include "Platform/Shell/Ole.h"

#include <string>
#include <string_view>

constexpr int MAX_PATH = 4096; // units of a path buffer

// ---- Id lists --------------------------------------------------------------------------------

#pragma pack(push, 1)
struct SHITEMID
{
    WORD cb; // bytes of this item, the count included
    BYTE abID[1];
};
struct ITEMIDLIST
{
    SHITEMID mkid;
};
#pragma pack(pop)
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

HRESULT SHGetMalloc(IMalloc** malloc);

// Kinds of item (the byte after an item's count).
constexpr BYTE SHELL_ITEM_VIRTUAL = 1; // a special folder: the next byte is its CSIDL
constexpr BYTE SHELL_ITEM_FOLDER = 2;  // a directory: the name's bytes follow
constexpr BYTE SHELL_ITEM_FILE = 3;    // anything else: the name's bytes follow

// ---- Folders ---------------------------------------------------------------------------------

constexpr int CSIDL_DESKTOP = 0x00;
constexpr int CSIDL_CONTROLS = 0x03;
constexpr int CSIDL_PERSONAL = 0x05;
constexpr int CSIDL_DRIVES = 0x11;
constexpr int CSIDL_NETWORK = 0x12;

constexpr DWORD SHCONTF_FOLDERS = 0x20;
constexpr DWORD SHCONTF_NONFOLDERS = 0x40;
constexpr DWORD SHCONTF_INCLUDEHIDDEN = 0x80;

constexpr DWORD SHGDN_NORMAL = 0;
constexpr DWORD SHGDN_INFOLDER = 1;
constexpr DWORD SHGDN_FORPARSING = 0x8000;

constexpr ULONG SFGAO_CANCOPY = 0x1;
constexpr ULONG SFGAO_CANMOVE = 0x2;
constexpr ULONG SFGAO_CANLINK = 0x4;
constexpr ULONG SFGAO_CANRENAME = 0x10;
constexpr ULONG SFGAO_CANDELETE = 0x20;
constexpr ULONG SFGAO_HASPROPSHEET = 0x40;
constexpr ULONG SFGAO_DROPTARGET = 0x100;
constexpr ULONG SFGAO_LINK = 0x10000;
constexpr ULONG SFGAO_READONLY = 0x40000;
constexpr ULONG SFGAO_HIDDEN = 0x80000;
constexpr ULONG SFGAO_REMOVABLE = 0x02000000;
constexpr ULONG SFGAO_COMPRESSED = 0x04000000;
constexpr ULONG SFGAO_FOLDER = 0x20000000;
constexpr ULONG SFGAO_FILESYSTEM = 0x40000000;
constexpr ULONG SFGAO_HASSUBFOLDER = 0x80000000;

constexpr UINT STRRET_WSTR = 0;
constexpr UINT STRRET_OFFSET = 1;
constexpr UINT STRRET_CSTR = 2;
struct STRRET
{
    UINT uType;
    union {
        LPWSTR pOleStr; // from the task allocator; the receiver frees it
        UINT uOffset;
        char cStr[260];
    };
};

struct IBindCtx;

struct IEnumIDList : IUnknown
{
    virtual HRESULT Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumIDList** clone) = 0;
};

struct IShellFolder : IUnknown
{
    // Parses an absolute path (native, '/' first) into an absolute id list under the desktop.
    virtual HRESULT ParseDisplayName(HWND window, IBindCtx* bind, LPWSTR name, ULONG* eaten,
                                     LPITEMIDLIST* idList, ULONG* attributes) = 0;
    virtual HRESULT EnumObjects(HWND window, DWORD flags, IEnumIDList** enumerator) = 0;
    virtual HRESULT BindToObject(LPCITEMIDLIST idList, IBindCtx* bind, REFIID riid, void** object) = 0;
    virtual HRESULT BindToStorage(LPCITEMIDLIST idList, IBindCtx* bind, REFIID riid, void** object) = 0;
    // The order of two child ids: 0 equal, negative, positive in the low word of the result.
    virtual HRESULT CompareIDs(LPARAM column, LPCITEMIDLIST a, LPCITEMIDLIST b) = 0;
    virtual HRESULT CreateViewObject(HWND owner, REFIID riid, void** object) = 0;
    virtual HRESULT GetAttributesOf(UINT count, LPCITEMIDLIST* items, ULONG* attributes) = 0;
    virtual HRESULT GetUIObjectOf(HWND owner, UINT count, LPCITEMIDLIST* items, REFIID riid, UINT* reserved,
                                  void** object) = 0;
    virtual HRESULT GetDisplayNameOf(LPCITEMIDLIST idList, DWORD flags, STRRET* name) = 0;
    virtual HRESULT SetNameOf(HWND owner, LPCITEMIDLIST idList, LPCWSTR name, DWORD flags,
                              LPITEMIDLIST* newIdList) = 0;
};

HRESULT SHGetDesktopFolder(IShellFolder** folder);
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* idList);
// The native path of an absolute id list in a buffer of MAX_PATH units; FALSE (and an empty text)
// for an item outside the file system.
BOOL SHGetPathFromIDListW(LPCITEMIDLIST idList, LPWSTR path);

// ---- Context menus ---------------------------------------------------------------------------

using HMENU = struct HMENU__*;
constexpr UINT CMF_NORMAL = 0;
constexpr UINT CMF_EXPLORE = 0x10;
constexpr UINT MF_STRING = 0;
constexpr UINT MF_SEPARATOR = 0x800;
constexpr UINT MF_BYPOSITION = 0x400;
constexpr UINT TPM_RETURNCMD = 0x100;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

struct CMINVOKECOMMANDINFO
{
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb; // a command offset as an integer resource id (low 16 bits), or a verb text
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    DWORD dwHotKey;
    HANDLE hIcon;
};

// Not constexpr: a pointer's bits are no constant expression (clang refuses the cast there).
inline bool IS_INTRESOURCE(const void* p)
{
    return (reinterpret_cast<uintptr_t>(p) >> 16) == 0;
}

// This layer's menu for a selection of file-system items: "Open", "Cut", "Copy" and "Delete"
// (offsets 0 to 3 from the first command the caller gives).
struct IContextMenu : IUnknown
{
    virtual HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT lastCommand, UINT flags) = 0;
    virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) = 0;
    virtual HRESULT GetCommandString(UINT_PTR command, UINT type, UINT* reserved, LPSTR name, UINT size) = 0;
};

// Menus: a list of commands with texts. TrackPopupMenu goes through the installed tracker (the
// class library's, showing a popup); without one it answers 0 (no command).
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuStringW(HMENU menu, UINT id, LPWSTR text, int size, UINT flags);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND window, const RECT* rect);

// ---- File information ------------------------------------------------------------------------

struct FILETIME
{
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
// 100-ns intervals since 1601 for seconds and nanoseconds since 1970.
FILETIME FileTimeFromUnix(int64_t seconds, long nanoseconds);

constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x00000800;

struct WIN32_FIND_DATAW
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[260];
    WCHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

constexpr int SHGDFIL_FINDDATA = 1;
// The find data of a child of a folder: attributes (hidden: a leading '.'; read-only: not writable
// by this user; system: neither file nor folder), times, size and name (cut to 259 units).
HRESULT SHGetDataFromIDListW(IShellFolder* folder, LPCITEMIDLIST idList, int format, void* data, int size);

using HIMAGELIST = struct HIMAGELIST__*;

constexpr UINT SHGFI_ICON = 0x100;
constexpr UINT SHGFI_DISPLAYNAME = 0x200;
constexpr UINT SHGFI_TYPENAME = 0x400;
constexpr UINT SHGFI_ATTRIBUTES = 0x800;
constexpr UINT SHGFI_SYSICONINDEX = 0x4000;
constexpr UINT SHGFI_PIDL = 0x8;
constexpr UINT SHGFI_SMALLICON = 0x1;

struct SHFILEINFOW
{
    HANDLE hIcon;
    int iIcon;
    DWORD dwAttributes;
    WCHAR szDisplayName[260];
    WCHAR szTypeName[80];
};

// With SHGFI_PIDL `path` is an absolute id list. With SHGFI_SYSICONINDEX the result is the system
// image list (small with SHGFI_SMALLICON), else nonzero on success. Types: "File folder",
// "<EXT> File", "File".
DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* info, UINT infoSize, UINT flags);

// Icons of the system image lists, in this order.
enum SystemIcon
{
    SI_FILE,
    SI_FOLDER,
    SI_DESKTOP,
    SI_COMPUTER,
    SI_DRIVE,
    SI_HOME,
    SI_CONTROLS,
    SI_NETWORK,
    SI_LINK,
    SI_COUNT
};

// ---- Image lists -----------------------------------------------------------------------------

constexpr UINT ILC_MASK = 0x1;
constexpr UINT ILC_COLOR32 = 0x20;
constexpr UINT ILD_NORMAL = 0;
constexpr UINT ILD_TRANSPARENT = 1;
constexpr UINT ILD_SELECTED = 4;
constexpr UINT ILD_MASK = 0x10; // the shape: black where the image is, white where it is clear

// A row of equal images in one 32-bit bitmap; AddMasked takes the pixels of a colour as clear.
HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
// Each image of the bitmap (its width in steps of the list's) is added; the index of the first.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColour);
// Draws image `index`; an index outside the list draws nothing and answers FALSE.
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
BOOL ImageList_Remove(HIMAGELIST list, int index); // -1 removes all

// ---- File operations -------------------------------------------------------------------------

constexpr UINT FO_MOVE = 1;
constexpr UINT FO_COPY = 2;
constexpr UINT FO_DELETE = 3;
constexpr UINT FO_RENAME = 4;

using FILEOP_FLAGS = WORD;
constexpr FILEOP_FLAGS FOF_MULTIDESTFILES = 0x1;
constexpr FILEOP_FLAGS FOF_SILENT = 0x4;
constexpr FILEOP_FLAGS FOF_RENAMEONCOLLISION = 0x8;
constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x10;
constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x40;
constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x400;

struct SHFILEOPSTRUCTW
{
    HWND hwnd;
    UINT wFunc;
    LPCWSTR pFrom; // NUL-ended names, one more NUL at the end
    LPCWSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCWSTR lpszProgressTitle;
};

// Copies, moves, renames or deletes. Absolute paths only; links are copied, moved and deleted as
// links, never followed; a folder is never put into itself; an existing target is replaced only
// when the user says so (No skips it), and a replacement is written beside it and renamed in, so a
// failure leaves the target as it was; a move between file systems removes a source only after its
// copy is complete; a copy onto itself becomes "<name> - Copy". Deletion asks first; with
// FOF_ALLOWUNDO it moves into the desktop's trash. Failures show a box (unless FOF_NOERRORUI) and
// return non-zero; an operation that was cancelled or left something undone (a target skipped, a
// move onto where it already is) sets fAnyOperationsAborted.
int SHFileOperationW(SHFILEOPSTRUCTW* operation);

namespace Platform
{
// Progress of a file operation that has run for more than a second: called between files with the
// bytes done and in all and the name at hand; answering false cancels before the next file. Once it
// was called, it is called a last time with an empty name when the operation ends.
using FileOperationProgress = std::function<bool(uint64_t done, uint64_t total, const std::u16string& name)>;
FileOperationProgress SetFileOperationProgress(FileOperationProgress progress);

// Native bytes for a wide path and back (U+DC80..U+DCFF carry bytes that are not UTF-8).
std::string NativeName(const WCHAR* text, size_t length = std::u16string::npos);
std::u16string WideName(std::string_view bytes);
// The same written into `out`: at most capacity - 1 units and a NUL; returns the units written.
size_t WideNameInto(std::string_view bytes, WCHAR* out, size_t capacity);

// File lists between programs (text/uri-list). A list is taken whole or not at all: besides
// comments ('#') and empty lines, every line (CR LF or LF ended) must be a file URI of this machine
// (its scheme without case; no host, "localhost" or its own name, without case, or no authority at
// all as in "file:/path") with an absolute path, whole escapes, no escaped NUL, no raw control byte
// and at most 4,096 bytes once decoded. Parsing gives a double-NUL-ended list; false, and an empty
// list, for a text over LargestUriList bytes, one that names no file, or one with a line it cannot
// take, which `refusal` then names: the first such line.
// Making escapes every byte that is not plain; whatever it makes of paths up to 4,096 bytes parses
// back to the same list.
constexpr size_t LargestUriList = size_t(16) << 20;
struct UriListRefusal
{
    size_t line = 0;  // its number, counted from 1; 0 when no line was refused
    std::string text; // its first 1,024 bytes, without the line's end
};
bool ParseUriList(const std::string& text, std::u16string& dropList, UriListRefusal* refusal = nullptr);
std::string MakeUriList(const WCHAR* dropList);

// The file list of a CF_HDROP block: the list lies inside the block (20 <= offset <= size), is
// read wide or narrow (the thread's code page) to the block's end, and two NULs always end it.
// False when the block holds no name.
bool ReadDropFilesBlock(const void* block, size_t size, std::u16string& dropList);
// A CF_HDROP block (wide) of a double-NUL-ended list, as bytes.
std::string MakeDropFilesBlock(const std::u16string& dropList);

// The menu tracker TrackPopupMenu uses: shows the menu at the screen point and answers the chosen
// command (0 for none). Returns the previous one.
using MenuTracker = std::function<UINT(HMENU menu, int x, int y, HWND window)>;
MenuTracker SetMenuTracker(MenuTracker tracker);
} // namespace Platform

// ---- Opening files ---------------------------------------------------------------------------

constexpr UINT_PTR SE_ERR_FNF = 2;
constexpr UINT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr UINT_PTR SE_ERR_OOM = 8;
constexpr UINT_PTR SE_ERR_NOASSOC = 31;

// "open" (or no verb) runs `xdg-open` with the file as its one argument (no shell). Above 32 on
// success, else an error code.
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show);

// ---- Change notifications --------------------------------------------------------------------

constexpr DWORD FILE_NOTIFY_CHANGE_FILE_NAME = 0x1;
constexpr DWORD FILE_NOTIFY_CHANGE_DIR_NAME = 0x2;
constexpr DWORD FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x4;
constexpr DWORD FILE_NOTIFY_CHANGE_SIZE = 0x8;
constexpr DWORD FILE_NOTIFY_CHANGE_LAST_WRITE = 0x10;
constexpr DWORD FILE_NOTIFY_CHANGE_SECURITY = 0x100;

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD INFINITE = 0xFFFFFFFFu;

// A handle that is signalled when the folder changes in a way the filter names (over inotify);
// INVALID_HANDLE_VALUE for a folder that cannot be watched.
HANDLE FindFirstChangeNotificationW(LPCWSTR path, BOOL watchSubtree, DWORD filter);
// Clears the signal; the next change signals again.
BOOL FindNextChangeNotification(HANDLE handle);
BOOL FindCloseChangeNotification(HANDLE handle);
// Over change-notification handles only: WAIT_OBJECT_0 + the first signalled one, WAIT_TIMEOUT.
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
