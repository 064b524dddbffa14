// The Win32 layer's global memory blocks and the process's clipboard.
#include "Platform/Win32/Windows.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <mutex>
#include <new>

// ---- Global memory ---------------------------------------------------------------------------

namespace
{
struct GlobalBlock
{
    std::unique_ptr<BYTE[]> data;
    SIZE_T size;
    int locks;
    bool movable;
};

// Larger requests fail as out of memory instead of reaching the allocator.
constexpr SIZE_T MaximumGlobalBlock = SIZE_T(1) << 40;

std::mutex g_globalMutex;
// Keyed by handle: a movable block's handle is its record's address, a fixed block's its data.
std::map<HGLOBAL, std::unique_ptr<GlobalBlock>>& GlobalBlocks()
{
    static std::map<HGLOBAL, std::unique_ptr<GlobalBlock>> blocks;
    return blocks;
}

GlobalBlock* FindBlock(HGLOBAL memory)
{
    auto it = GlobalBlocks().find(memory);
    return it == GlobalBlocks().end() ? nullptr : it->second.get();
}

bool IsGlobalBlock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(g_globalMutex);
    return FindBlock(memory) != nullptr;
}
} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (bytes > MaximumGlobalBlock)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<GlobalBlock>();
    // A block of 0 bytes still has an address to lock.
    block->data.reset(new (std::nothrow) BYTE[bytes ? bytes : 1]);
    if (!block->data)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT)
        std::memset(block->data.get(), 0, bytes);
    block->size = bytes;
    block->locks = 0;
    block->movable = (flags & GMEM_MOVEABLE) != 0;
    HGLOBAL handle =
        block->movable ? static_cast<HGLOBAL>(block.get()) : static_cast<HGLOBAL>(block->data.get());
    std::lock_guard<std::mutex> lock(g_globalMutex);
    GlobalBlocks()[handle] = std::move(block);
    return handle;
}

LPVOID GlobalLock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(g_globalMutex);
    GlobalBlock* block = FindBlock(memory);
    if (!block)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (block->movable)
        ++block->locks;
    return block->data.get();
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(g_globalMutex);
    GlobalBlock* block = FindBlock(memory);
    if (!block)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (block->locks == 0)
    {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->locks > 0)
        return TRUE;
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory)
{
    std::lock_guard<std::mutex> lock(g_globalMutex);
    GlobalBlock* block = FindBlock(memory);
    if (!block)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->size;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    std::unique_ptr<GlobalBlock> released;
    std::lock_guard<std::mutex> lock(g_globalMutex);
    auto it = GlobalBlocks().find(memory);
    if (it == GlobalBlocks().end())
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    released = std::move(it->second);
    GlobalBlocks().erase(it);
    return nullptr;
}

// ---- Clipboard -------------------------------------------------------------------------------

namespace
{
struct ClipboardState
{
    std::mutex mutex;
    bool open = false;
    HWND openedBy = nullptr;
    HWND owner = nullptr;
    std::map<UINT, HGLOBAL> data;
    std::map<std::u16string, UINT> formats; // registered names, folded
    std::map<UINT, std::u16string> names;   // each registered format's name as first given
    UINT nextFormat = 0xC000;
    bool changed = false; // emptied or set since it was opened
    std::set<UINT> synthesized; // text forms made from the other text form on request
    Platform::ClipboardBridge bridge;
    // Another program held the desktop's clipboard when it was last opened: its formats are
    // brought in when asked for, each once an opening.
    bool foreign = false;
    std::set<UINT> imported;
};

ClipboardState& Clipboard()
{
    static ClipboardState clipboard;
    return clipboard;
}

bool RequireOpen(ClipboardState& clipboard)
{
    if (clipboard.open)
        return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
}
} // namespace

UINT RegisterClipboardFormatW(LPCWSTR formatName)
{
    if (!formatName || !*formatName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string key(formatName);
    for (WCHAR& c : key)
        c = ToLowerWide(c);
    ClipboardState& clipboard = Clipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    auto it = clipboard.formats.find(key);
    if (it != clipboard.formats.end())
        return it->second;
    if (clipboard.nextFormat == 0)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY); // every id up to 0xFFFF is taken
        return 0;
    }
    UINT id = clipboard.nextFormat;
    clipboard.nextFormat = id == 0xFFFF ? 0 : id + 1;
    clipboard.formats.emplace(std::move(key), id);
    clipboard.names.emplace(id, formatName);
    return id;
}

int GetClipboardFormatNameW(UINT format, LPWSTR formatName, int maxCount)
{
    if (!formatName || maxCount <= 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ClipboardState& clipboard = Clipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    auto it = clipboard.names.find(format);
    if (it == clipboard.names.end())
    {
        *formatName = u'\0';
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t length = std::min(it->second.size(), size_t(maxCount) - 1);
    std::copy_n(it->second.data(), length, formatName);
    formatName[length] = u'\0';
    return static_cast<int>(length);
}

namespace
{
// The two text forms stand for each other through the ANSI code page (1251): the one asked for
// is made from the other the first time it is asked for.
UINT OtherTextForm(UINT format)
{
    return format == CF_TEXT ? CF_UNICODETEXT : format == CF_UNICODETEXT ? CF_TEXT : 0;
}

HGLOBAL Synthesize(UINT format, HGLOBAL from)
{
    const SIZE_T bytes = GlobalSize(from);
    const void* source = GlobalLock(from);
    if (!source)
        return nullptr;
    HGLOBAL block = nullptr;
    if (format == CF_TEXT)
    {
        const auto* wide = static_cast<const WCHAR*>(source);
        const size_t units = std::find(wide, wide + bytes / sizeof(WCHAR), u'\0') - wide;
        int need = units ? WideCharToMultiByte(1251, 0, wide, int(units), nullptr, 0, nullptr, nullptr) : 0;
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(need) + 1);
        if (block && need)
        {
            WideCharToMultiByte(1251, 0, wide, int(units), static_cast<char*>(GlobalLock(block)), need, nullptr, nullptr);
            GlobalUnlock(block);
        }
    }
    else
    {
        const auto* narrow = static_cast<const char*>(source);
        const size_t length = std::find(narrow, narrow + bytes, '\0') - narrow;
        int need = length ? MultiByteToWideChar(1251, 0, narrow, int(length), nullptr, 0) : 0;
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T(need) + 1) * sizeof(WCHAR));
        if (block && need)
        {
            MultiByteToWideChar(1251, 0, narrow, int(length), static_cast<WCHAR*>(GlobalLock(block)), need);
            GlobalUnlock(block);
        }
    }
    GlobalUnlock(from);
    return block;
}
} // namespace

namespace Platform
{
ClipboardBridge SetClipboardBridge(ClipboardBridge bridge)
{
    ClipboardState& clipboard = Clipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    ClipboardBridge previous = std::move(clipboard.bridge);
    clipboard.bridge = std::move(bridge);
    return previous;
}
} // namespace Platform

namespace
{
bool Carries(const ClipboardState& clipboard, UINT format)
{
    const Platform::ClipboardBridge& bridge = clipboard.bridge;
    return std::find(bridge.Carried.begin(), bridge.Carried.end(), format) != bridge.Carried.end() ||
           (bridge.Registered && clipboard.names.count(format));
}

// A block holding the bytes.
HGLOBAL BlockOf(const std::string& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!block)
        return nullptr;
    if (!bytes.empty())
    {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    return block;
}

std::string BytesOf(HGLOBAL block)
{
    std::string bytes;
    SIZE_T size = GlobalSize(block);
    if (const void* p = GlobalLock(block))
    {
        bytes.assign(static_cast<const char*>(p), size);
        GlobalUnlock(block);
    }
    return bytes;
}

void FreeAll(ClipboardState& clipboard)
{
    for (auto& [format, memory] : clipboard.data)
        GlobalFree(memory);
    clipboard.data.clear();
    clipboard.synthesized.clear();
}
} // namespace

BOOL OpenClipboard(HWND owner)
{
    ClipboardState& clipboard = Clipboard();
    std::function<bool()> foreign;
    {
        std::lock_guard<std::mutex> lock(clipboard.mutex);
        if (clipboard.open && clipboard.openedBy != owner)
        {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (!clipboard.open)
            foreign = clipboard.bridge.Foreign;
    }
    // Asked unlocked: the desktop's answer may take a moment.
    bool other = foreign && foreign();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (clipboard.open && clipboard.openedBy != owner)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!clipboard.open && foreign)
    {
        clipboard.foreign = other;
        clipboard.imported.clear();
        if (other)
        {
            // Another program's content replaces what this process held.
            FreeAll(clipboard);
            clipboard.owner = nullptr;
        }
    }
    clipboard.open = true;
    clipboard.openedBy = owner;
    clipboard.changed = false;
    return TRUE;
}

BOOL CloseClipboard()
{
    ClipboardState& clipboard = Clipboard();
    std::function<void(std::vector<std::pair<UINT, std::string>>)> exportBlocks;
    std::vector<std::pair<UINT, std::string>> blocks;
    {
        std::lock_guard<std::mutex> lock(clipboard.mutex);
        if (!RequireOpen(clipboard))
            return FALSE;
        clipboard.open = false;
        clipboard.openedBy = nullptr;
        if (!clipboard.changed || !clipboard.bridge.Export)
            return TRUE;
        auto it = clipboard.data.find(CF_UNICODETEXT);
        if (it == clipboard.data.end() && Carries(clipboard, CF_UNICODETEXT))
        {
            // Only narrow text was placed: the desktop gets it widened.
            auto narrow = clipboard.data.find(CF_TEXT);
            if (narrow != clipboard.data.end())
            {
                if (HGLOBAL wide = Synthesize(CF_UNICODETEXT, narrow->second))
                {
                    clipboard.data[CF_UNICODETEXT] = wide;
                    clipboard.synthesized.insert(CF_UNICODETEXT);
                }
            }
        }
        for (const auto& [format, memory] : clipboard.data)
            if (Carries(clipboard, format))
                blocks.emplace_back(format, BytesOf(memory));
        exportBlocks = clipboard.bridge.Export;
    }
    exportBlocks(std::move(blocks));
    return TRUE;
}

BOOL EmptyClipboard()
{
    ClipboardState& clipboard = Clipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!RequireOpen(clipboard))
        return FALSE;
    FreeAll(clipboard);
    clipboard.foreign = false;
    clipboard.owner = clipboard.openedBy;
    clipboard.changed = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE memory)
{
    ClipboardState& clipboard = Clipboard();
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (!RequireOpen(clipboard))
        return nullptr;
    // Rendering on request is not offered: the data must be there.
    if (format == 0 || !IsGlobalBlock(memory))
    {
        SetLastError(memory ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HGLOBAL& slot = clipboard.data[format];
    if (slot && slot != memory)
        GlobalFree(slot);
    slot = memory;
    clipboard.synthesized.erase(format);
    // A text form made from the old text no longer stands for the new one.
    if (UINT other = OtherTextForm(format); other && clipboard.synthesized.erase(other))
    {
        GlobalFree(clipboard.data[other]);
        clipboard.data.erase(other);
    }
    clipboard.changed = true;
    return memory;
}

HANDLE GetClipboardData(UINT format)
{
    ClipboardState& clipboard = Clipboard();
    std::unique_lock<std::mutex> lock(clipboard.mutex);
    if (!RequireOpen(clipboard))
        return nullptr;
    // Another program's content comes in when a format of it is first asked for; CF_TEXT comes
    // as CF_UNICODETEXT.
    UINT carried = format == CF_TEXT ? CF_UNICODETEXT : format;
    if (clipboard.foreign && !clipboard.data.count(format) && !clipboard.imported.count(carried) &&
        Carries(clipboard, carried) && clipboard.bridge.Import)
    {
        clipboard.imported.insert(carried);
        auto import = clipboard.bridge.Import;
        lock.unlock(); // the desktop's answer may take a while
        std::string bytes;
        bool got = import(carried, bytes);
        HGLOBAL block = got ? BlockOf(bytes) : nullptr;
        lock.lock();
        if (block)
        {
            if (!clipboard.foreign || !clipboard.open || clipboard.data.count(carried))
                GlobalFree(block); // the clipboard changed meanwhile
            else
                clipboard.data[carried] = block;
        }
    }
    auto it = clipboard.data.find(format);
    if (it == clipboard.data.end())
    {
        auto other = clipboard.data.find(OtherTextForm(format));
        if (other != clipboard.data.end())
        {
            if (HGLOBAL made = Synthesize(format, other->second))
            {
                clipboard.data[format] = made;
                clipboard.synthesized.insert(format);
                return made;
            }
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return it->second;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    ClipboardState& clipboard = Clipboard();
    std::function<bool()> foreign;
    std::function<bool(UINT)> offers;
    UINT carried = format == CF_TEXT ? CF_UNICODETEXT : format;
    bool carries = false;
    {
        std::lock_guard<std::mutex> lock(clipboard.mutex);
        if (clipboard.open && clipboard.foreign && clipboard.data.count(format))
            return TRUE;
        foreign = clipboard.bridge.Foreign;
        offers = clipboard.bridge.Offers;
        carries = Carries(clipboard, carried);
        if (!foreign)
        {
            if (clipboard.data.count(format))
                return TRUE;
            UINT other = OtherTextForm(format);
            return other && clipboard.data.count(other) ? TRUE : FALSE;
        }
    }
    // Another program's clipboard answers for itself.
    if (foreign())
        return carries && offers && offers(carried) ? TRUE : FALSE;
    std::lock_guard<std::mutex> lock(clipboard.mutex);
    if (clipboard.foreign && !clipboard.open)
        return FALSE; // what that program held went with it
    if (clipboard.data.count(format))
        return TRUE;
    UINT other = OtherTextForm(format);
    return other && clipboard.data.count(other) ? TRUE : FALSE;
}
