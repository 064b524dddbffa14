// The context menu of file-system items: "Open", "Cut", "Copy", "Delete". The desktop's own menus
// and their extensions do not exist here.
#include "Platform/Shell/ShellDetail.h"

#include <atomic>

namespace
{
constexpr UINT CommandOpen = 0;
constexpr UINT CommandCut = 1;
constexpr UINT CommandCopy = 2;
constexpr UINT CommandDelete = 3;

// The double-NUL-ended wide list of the paths.
std::u16string WideList(const std::vector<std::string>& paths)
{
    std::u16string list;
    for (const std::string& path : paths)
    {
        list += Platform::WideName(path);
        list.push_back(0);
    }
    list.push_back(0);
    return list;
}

// Places the paths on the clipboard as a file drop list with the effect the paste should take.
HRESULT PlaceOnClipboard(const std::vector<std::string>& paths, DWORD effect)
{
    std::u16string list = WideList(paths);
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(WCHAR));
    HGLOBAL preferred = GlobalAlloc(GMEM_ZEROINIT, sizeof(DWORD));
    if (!drop || !preferred)
    {
        if (drop)
            GlobalFree(drop);
        if (preferred)
            GlobalFree(preferred);
        return E_OUTOFMEMORY;
    }
    auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(WCHAR));
    GlobalUnlock(drop);
    std::memcpy(GlobalLock(preferred), &effect, sizeof effect);
    GlobalUnlock(preferred);
    OleFlushClipboard();
    if (!OpenClipboard(nullptr))
    {
        GlobalFree(drop);
        GlobalFree(preferred);
        return CLIPBRD_E_CANT_OPEN;
    }
    EmptyClipboard();
    SetClipboardData(CF_HDROP, drop);
    SetClipboardData(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT), preferred);
    CloseClipboard();
    return S_OK;
}

class FileContextMenu final : public ComObject<IContextMenu, IID_IContextMenu>
{
public:
    explicit FileContextMenu(std::vector<std::string> paths) : m_paths(std::move(paths)) {}
    HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstCommand, UINT lastCommand, UINT) override
    {
        static const char16_t* const texts[] = {u"Open", u"Cut", u"Copy", u"Delete"};
        UINT added = 0;
        for (UINT i = 0; i < 4 && firstCommand + i <= lastCommand; ++i)
            if (InsertMenuW(menu, index + i, MF_BYPOSITION | MF_STRING, firstCommand + i, texts[i]))
                ++added;
        return static_cast<HRESULT>(added); // the number of commands, as a success code
    }
    HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) override
    {
        if (!info || !IS_INTRESOURCE(info->lpVerb))
            return E_INVALIDARG;
        UINT command = static_cast<UINT>(reinterpret_cast<uintptr_t>(info->lpVerb) & 0xFFFF);
        switch (command)
        {
        case CommandOpen:
            for (const std::string& path : m_paths)
            {
                std::u16string wide = Platform::WideName(path);
                if (reinterpret_cast<uintptr_t>(
                        ShellExecuteW(info->hwnd, u"open", wide.c_str(), nullptr, nullptr, info->nShow)) <= 32)
                    return E_FAIL;
            }
            return S_OK;
        case CommandCut:
            return PlaceOnClipboard(m_paths, DROPEFFECT_MOVE);
        case CommandCopy:
            return PlaceOnClipboard(m_paths, DROPEFFECT_COPY);
        case CommandDelete:
        {
            std::u16string list = WideList(m_paths);
            SHFILEOPSTRUCTW op{};
            op.hwnd = info->hwnd;
            op.wFunc = FO_DELETE;
            op.pFrom = list.c_str();
            op.fFlags = FOF_ALLOWUNDO;
            return SHFileOperationW(&op) == 0 ? S_OK : E_FAIL;
        }
        default:
            return E_INVALIDARG;
        }
    }
    HRESULT GetCommandString(UINT_PTR command, UINT, UINT*, LPSTR name, UINT size) override
    {
        static const char* const verbs[] = {"open", "cut", "copy", "delete"};
        if (command > 3 || !name || size == 0)
            return E_INVALIDARG;
        std::snprintf(name, size, "%s", verbs[command]);
        return S_OK;
    }

private:
    ~FileContextMenu() = default;
    std::vector<std::string> m_paths;
};
} // namespace

HRESULT MakeFileContextMenu(std::vector<std::string> paths, void** object)
{
    *object = static_cast<IContextMenu*>(new FileContextMenu(std::move(paths)));
    return S_OK;
}
