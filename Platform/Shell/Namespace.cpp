// The shell namespace: the desktop, its special folders and file-system folders as IShellFolder.
#include "Platform/Shell/ShellDetail.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <unordered_map>

using namespace ShellDetail;

namespace
{
// Wide text from the task allocator, for STRRET_WSTR.
LPWSTR TaskText(const std::u16string& text)
{
    auto* p = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (!p)
        return nullptr;
    std::copy(text.begin(), text.end(), p);
    p[text.size()] = 0;
    return p;
}

Item VirtualItem(int csidl)
{
    return Item{SHELL_ITEM_VIRTUAL, std::string(1, static_cast<char>(csidl))};
}

// The ids a folder enumeration hands out, gathered at once.
class IdEnumerator final : public ComObject<IEnumIDList, IID_IEnumIDList>
{
public:
    explicit IdEnumerator(std::vector<Item> items) : m_items(std::move(items)) {}
    HRESULT Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) override
    {
        if (!items)
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_position < m_items.size())
            items[n++] = MakeIdList({m_items[m_position++]});
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        m_position = std::min(m_items.size(), m_position + count);
        return S_OK;
    }
    HRESULT Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumIDList** clone) override
    {
        if (!clone)
            return E_POINTER;
        auto* copy = new IdEnumerator(m_items);
        copy->m_position = m_position;
        *clone = copy;
        return S_OK;
    }

private:
    ~IdEnumerator() = default;
    std::vector<Item> m_items;
    size_t m_position = 0;
};

HRESULT ErrnoResult(int error)
{
    switch (error)
    {
    case ENOENT:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
        return E_ACCESSDENIED;
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
    case ENOMEM:
        return E_OUTOFMEMORY;
    default:
        return E_FAIL;
    }
}
} // namespace

namespace ShellDetail
{
class ShellFolder;
}

// The layer's context menu of file-system items.
HRESULT MakeFileContextMenu(std::vector<std::string> paths, void** object);

namespace ShellDetail
{
class ShellFolder final : public ComObject<IShellFolder, IID_IShellFolder>
{
public:
    ShellFolder(std::vector<Item> items, Location where) : m_items(std::move(items)), m_where(std::move(where)) {}


    HRESULT ParseDisplayName(HWND, IBindCtx*, LPWSTR name, ULONG* eaten, LPITEMIDLIST* idList,
                             ULONG* attributes) override
    {
        if (!idList)
            return E_POINTER;
        *idList = nullptr;
        if (!name)
            return E_INVALIDARG;
        std::string path = Platform::NativeName(name);
        if (path.empty() || path[0] != '/' || path.size() >= static_cast<size_t>(MAX_PATH) * 3)
            return E_INVALIDARG;
        // Components, with "." dropped and ".." taken back.
        std::vector<std::string> parts;
        size_t at = 1;
        while (at <= path.size())
        {
            size_t end = path.find('/', at);
            if (end == std::string::npos)
                end = path.size();
            std::string part = path.substr(at, end - at);
            if (part == "..")
            {
                if (!parts.empty())
                    parts.pop_back();
            }
            else if (!part.empty() && part != ".")
                parts.push_back(part);
            at = end + 1;
        }
        std::string full;
        for (const std::string& part : parts)
        {
            full.push_back('/');
            full.append(part);
        }
        if (full.empty())
            full.assign(1, '/');
        // The drive: the longest root that holds the path.
        std::string root = "/";
        for (const std::string& candidate : DriveRoots())
            if (candidate != "/" && (full == candidate || full.rfind(candidate + "/", 0) == 0) &&
                candidate.size() > root.size())
                root = candidate;
        std::vector<Item> items{VirtualItem(CSIDL_DRIVES), Item{SHELL_ITEM_FOLDER, root}};
        std::string sofar = root;
        size_t skip = root == "/" ? 0 : static_cast<size_t>(std::count(root.begin(), root.end(), '/'));
        for (size_t i = skip; i < parts.size(); ++i)
        {
            sofar += (sofar.back() == '/' ? "" : "/") + parts[i];
            Facts facts = FactsOfPath(sofar);
            if (!facts.valid)
                return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
            bool last = i + 1 == parts.size();
            if (!facts.isDirectory && !last)
                return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
            items.push_back(Item{facts.isDirectory ? SHELL_ITEM_FOLDER : SHELL_ITEM_FILE, parts[i]});
        }
        *idList = MakeIdList(items);
        if (eaten)
            *eaten = static_cast<ULONG>(std::char_traits<char16_t>::length(name));
        if (attributes)
            *attributes = 0;
        return *idList ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT EnumObjects(HWND, DWORD flags, IEnumIDList** enumerator) override
    {
        if (!enumerator)
            return E_POINTER;
        *enumerator = nullptr;
        std::vector<Item> items;
        bool folders = flags & SHCONTF_FOLDERS;
        bool files = flags & SHCONTF_NONFOLDERS;
        switch (m_where.place)
        {
        case Place::Desktop:
            if (folders)
                for (int id : {CSIDL_DRIVES, CSIDL_CONTROLS, CSIDL_PERSONAL, CSIDL_NETWORK})
                    items.push_back(VirtualItem(id));
            break;
        case Place::Drives:
            if (folders)
                for (const std::string& root : DriveRoots())
                    items.push_back(Item{SHELL_ITEM_FOLDER, root});
            break;
        case Place::Controls:
        case Place::Network:
            break;
        case Place::Personal:
        case Place::Path:
        {
            std::string path = m_where.place == Place::Personal ? HomePath() : m_where.path;
            DIR* dir = opendir(path.c_str());
            if (!dir)
                return ErrnoResult(errno);
            ReadCredentials();
            m_facts.clear();
            m_factsIndex.clear();
            m_nextFact = 0;
            while (dirent* entry = readdir(dir))
            {
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                    continue;
                if (name[0] == '.' && !(flags & SHCONTF_INCLUDEHIDDEN))
                    continue;
                Facts facts = FactsOf(dirfd(dir), name);
                if (!facts.valid)
                    continue; // gone meanwhile
                if (facts.isDirectory ? !folders : !files)
                    continue;
                m_facts.emplace_back(name, facts);
                items.push_back(Item{facts.isDirectory ? SHELL_ITEM_FOLDER : SHELL_ITEM_FILE, name});
            }
            closedir(dir);
            break;
        }
        case Place::Invalid:
            return E_FAIL;
        }
        *enumerator = new IdEnumerator(std::move(items));
        return S_OK;
    }

    HRESULT BindToObject(LPCITEMIDLIST idList, IBindCtx*, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!(riid == IID_IShellFolder))
            return E_NOINTERFACE;
        std::vector<Item> relative;
        if (!SplitIdList(idList, relative))
            return E_INVALIDARG;
        std::vector<Item> items = m_items;
        items.insert(items.end(), relative.begin(), relative.end());
        Location where = Locate(items);
        if (where.place == Place::Invalid || where.lastIsFile)
            return E_INVALIDARG;
        if (where.place == Place::Path && !FactsOfPath(where.path).isDirectory)
            return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
        *object = static_cast<IShellFolder*>(new ShellFolder(std::move(items), std::move(where)));
        return S_OK;
    }

    HRESULT BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void** object) override
    {
        if (object)
            *object = nullptr;
        return E_NOTIMPL;
    }

    HRESULT CompareIDs(LPARAM, LPCITEMIDLIST a, LPCITEMIDLIST b) override
    {
        std::vector<Item> ia, ib;
        if (!SplitIdList(a, ia) || !SplitIdList(b, ib))
            return E_INVALIDARG;
        std::u16string na = ia.empty() ? u"" : ItemDisplayName(ia.back());
        std::u16string nb = ib.empty() ? u"" : ItemDisplayName(ib.back());
        int c = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, na.c_str(), -1, nb.c_str(), -1) - 2;
        return static_cast<HRESULT>(static_cast<WORD>(static_cast<short>(c)));
    }

    HRESULT CreateViewObject(HWND, REFIID, void** object) override
    {
        if (object)
            *object = nullptr;
        return E_NOTIMPL;
    }

    HRESULT GetAttributesOf(UINT count, LPCITEMIDLIST* items, ULONG* attributes) override
    {
        if (!attributes || (count && !items))
            return E_POINTER;
        ULONG asked = *attributes;
        ULONG result = asked;
        for (UINT i = 0; i < count; ++i)
        {
            Item one;
            if (m_where.place == Place::Path && SingleItem(items[i], one) && one.kind != SHELL_ITEM_VIRTUAL)
            {
                // A child of a file-system folder: its facts from the enumeration.
                result &= ChildAttributes(one, asked);
                continue;
            }
            std::vector<Item> relative;
            if (!SplitIdList(items[i], relative) || relative.empty())
                return E_INVALIDARG;
            result &= AttributesOf(relative, asked);
        }
        *attributes = result;
        return S_OK;
    }

    HRESULT GetUIObjectOf(HWND, UINT count, LPCITEMIDLIST* items, REFIID riid, UINT*, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!(riid == IID_IContextMenu) || count == 0 || !items)
            return E_NOINTERFACE;
        std::vector<std::string> paths;
        for (UINT i = 0; i < count; ++i)
        {
            std::vector<Item> all = m_items, relative;
            if (!SplitIdList(items[i], relative))
                return E_INVALIDARG;
            all.insert(all.end(), relative.begin(), relative.end());
            Location where = Locate(all);
            if (where.place != Place::Path)
                return E_NOINTERFACE; // only file-system items have a menu here
            paths.push_back(where.path);
        }
        return MakeFileContextMenu(std::move(paths), object);
    }

    HRESULT GetDisplayNameOf(LPCITEMIDLIST idList, DWORD flags, STRRET* name) override
    {
        if (!name)
            return E_POINTER;
        Item one;
        if (!(flags & SHGDN_FORPARSING) && SingleItem(idList, one))
        {
            name->uType = STRRET_WSTR;
            name->pOleStr = TaskText(ItemDisplayName(one));
            return name->pOleStr ? S_OK : E_OUTOFMEMORY;
        }
        std::vector<Item> relative;
        if (!SplitIdList(idList, relative))
            return E_INVALIDARG;
        std::u16string text;
        if (flags & SHGDN_FORPARSING)
        {
            std::vector<Item> all = m_items;
            all.insert(all.end(), relative.begin(), relative.end());
            Location where = Locate(all);
            if (where.place == Place::Invalid)
                return E_INVALIDARG;
            text = where.place == Place::Path ? Platform::WideName(where.path)
                   : all.empty()              ? u"Desktop"
                                              : ItemDisplayName(all.back());
        }
        else
            text = relative.empty() ? (m_items.empty() ? u"Desktop" : ItemDisplayName(m_items.back()))
                                    : ItemDisplayName(relative.back());
        name->uType = STRRET_WSTR;
        name->pOleStr = TaskText(text);
        return name->pOleStr ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT SetNameOf(HWND, LPCITEMIDLIST, LPCWSTR, DWORD, LPITEMIDLIST* newIdList) override
    {
        if (newIdList)
            *newIdList = nullptr;
        return E_NOTIMPL;
    }

    // The facts of a child, from the last enumeration when it is there.
    Facts ChildFacts(const Item& item)
    {
        // Asked in the order the enumeration gave the items, mostly: the next one first.
        if (m_nextFact < m_facts.size() && m_facts[m_nextFact].first == item.bytes)
            return m_facts[m_nextFact++].second;
        if (m_nextFact > 0 && m_facts[m_nextFact - 1].first == item.bytes)
            return m_facts[m_nextFact - 1].second; // the same one again
        if (m_factsIndex.empty() && !m_facts.empty())
            for (size_t i = 0; i < m_facts.size(); ++i)
                m_factsIndex.emplace(m_facts[i].first, i);
        auto it = m_factsIndex.find(item.bytes);
        if (it != m_factsIndex.end())
        {
            m_nextFact = it->second + 1;
            return m_facts[it->second].second;
        }
        std::vector<Item> all = m_items;
        all.push_back(item);
        Location where = Locate(all);
        return where.place == Place::Path ? FactsOfPath(where.path) : Facts{};
    }

private:
    ~ShellFolder() = default;

    ULONG ChildAttributes(const Item& item, ULONG asked)
    {
        if (item.bytes.empty() || item.bytes.find('/') != std::string::npos)
            return 0;
        Facts facts = ChildFacts(item);
        if (!facts.valid)
            return 0;
        ULONG a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_HASPROPSHEET | SFGAO_CANMOVE |
                  SFGAO_CANRENAME | SFGAO_CANDELETE;
        if (facts.isDirectory)
        {
            a |= SFGAO_FOLDER | SFGAO_DROPTARGET;
            if ((asked & SFGAO_HASSUBFOLDER) &&
                HasSubfolder(m_where.path + (m_where.path.back() == '/' ? "" : "/") + item.bytes))
                a |= SFGAO_HASSUBFOLDER;
        }
        if (facts.isLink)
            a |= SFGAO_LINK;
        if (facts.readOnly)
            a |= SFGAO_READONLY;
        if (item.bytes[0] == '.')
            a |= SFGAO_HIDDEN;
        return a;
    }

    ULONG AttributesOf(const std::vector<Item>& relative, ULONG asked)
    {
        std::vector<Item> all = m_items;
        all.insert(all.end(), relative.begin(), relative.end());
        Location where = Locate(all);
        switch (where.place)
        {
        case Place::Drives:
        case Place::Personal:
            return SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_DROPTARGET |
                   (where.place == Place::Personal ? SFGAO_FILESYSTEM : 0);
        case Place::Controls:
        case Place::Network:
        case Place::Desktop:
            return SFGAO_FOLDER;
        case Place::Invalid:
            return 0;
        case Place::Path:
            break;
        }
        Facts facts = relative.size() == 1 ? ChildFacts(relative[0]) : FactsOfPath(where.path);
        if (!facts.valid)
            return 0;
        ULONG a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_HASPROPSHEET;
        if (!(all.size() == 2 && all[0].kind == SHELL_ITEM_VIRTUAL)) // a drive's root stays put
            a |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
        if (facts.isDirectory)
        {
            a |= SFGAO_FOLDER | SFGAO_DROPTARGET;
            if ((asked & SFGAO_HASSUBFOLDER) && HasSubfolder(where.path))
                a |= SFGAO_HASSUBFOLDER;
        }
        if (facts.isLink)
            a |= SFGAO_LINK;
        if (facts.readOnly)
            a |= SFGAO_READONLY;
        if (!all.empty() && !all.back().bytes.empty() && all.back().bytes[0] == '.')
            a |= SFGAO_HIDDEN;
        return a;
    }

    std::vector<Item> m_items;
    Location m_where;
    std::vector<std::pair<std::string, Facts>> m_facts; // of the last enumeration, in its order
    std::unordered_map<std::string, size_t> m_factsIndex; // made when asked out of order
    size_t m_nextFact = 0;
};
} // namespace ShellDetail

HRESULT SHGetMalloc(IMalloc** malloc)
{
    return CoGetMalloc(1, malloc);
}

HRESULT SHGetDesktopFolder(IShellFolder** folder)
{
    if (!folder)
        return E_POINTER;
    Location desktop;
    desktop.place = Place::Desktop;
    *folder = new ShellFolder({}, desktop);
    return S_OK;
}

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* idList)
{
    if (!idList)
        return E_POINTER;
    *idList = nullptr;
    switch (folder)
    {
    case CSIDL_DESKTOP:
        *idList = MakeIdList({});
        break;
    case CSIDL_DRIVES:
    case CSIDL_CONTROLS:
    case CSIDL_PERSONAL:
    case CSIDL_NETWORK:
        *idList = MakeIdList({VirtualItem(folder)});
        break;
    default:
        return E_INVALIDARG;
    }
    return *idList ? S_OK : E_OUTOFMEMORY;
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST idList, LPWSTR path)
{
    if (!path)
        return FALSE;
    path[0] = 0;
    Location where = Locate(idList);
    std::u16string text;
    if (where.place == Place::Path)
        text = Platform::WideName(where.path);
    else if (where.place == Place::Personal)
        text = Platform::WideName(HomePath());
    else
        return FALSE;
    if (text.size() >= static_cast<size_t>(MAX_PATH))
        return FALSE;
    std::copy(text.begin(), text.end(), path);
    path[text.size()] = 0;
    return TRUE;
}

HRESULT SHGetDataFromIDListW(IShellFolder* folder, LPCITEMIDLIST idList, int format, void* data, int size)
{
    if (!folder || !data)
        return E_INVALIDARG;
    if (format != SHGDFIL_FINDDATA || size < static_cast<int>(sizeof(WIN32_FIND_DATAW)))
        return E_INVALIDARG;
    std::vector<Item> relative(1);
    if (!SingleItem(idList, relative[0]))
        return E_INVALIDARG;
    auto* ours = dynamic_cast<ShellFolder*>(folder);
    if (!ours || relative[0].kind == SHELL_ITEM_VIRTUAL)
        return E_INVALIDARG;
    Facts facts = ours->ChildFacts(relative[0]);
    if (!facts.valid)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    auto* find = static_cast<WIN32_FIND_DATAW*>(data);
    std::memset(find, 0, sizeof *find);
    find->dwFileAttributes = FileAttributes(relative[0].bytes, facts);
    find->ftLastWriteTime = FileTimeFromUnix(facts.mtimeSeconds, facts.mtimeNanoseconds);
    find->ftCreationTime = find->ftLastWriteTime;
    find->ftLastAccessTime = find->ftLastWriteTime;
    find->nFileSizeHigh = static_cast<DWORD>(facts.size >> 32);
    find->nFileSizeLow = static_cast<DWORD>(facts.size & 0xFFFFFFFFu);
    std::u16string name = Platform::WideName(relative[0].bytes);
    size_t n = std::min<size_t>(name.size(), 259);
    std::copy_n(name.begin(), n, find->cFileName);
    return S_OK;
}

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD, SHFILEINFOW* info, UINT infoSize, UINT flags)
{
    if (info && infoSize < sizeof(SHFILEINFOW))
        return 0;
    std::vector<Item> items;
    if ((flags & SHGFI_PIDL) && !(flags & SHGFI_ATTRIBUTES) && info)
    {
        // Name, type and icon come from the last item alone.
        Item last;
        if (!LastItem(reinterpret_cast<LPCITEMIDLIST>(path), last))
        {
            if (IdListBytes(reinterpret_cast<LPCITEMIDLIST>(path)) != 0)
                return 0;
            last = VirtualItem(CSIDL_DESKTOP);
        }
        if (flags & SHGFI_DISPLAYNAME)
        {
            std::u16string name = ItemDisplayName(last);
            size_t n = std::min<size_t>(name.size(), 259);
            std::copy_n(name.begin(), n, info->szDisplayName);
            info->szDisplayName[n] = 0;
        }
        if (flags & SHGFI_TYPENAME)
        {
            std::u16string type = last.kind == SHELL_ITEM_VIRTUAL ? u"System Folder" : TypeNameOf(last);
            size_t n = std::min<size_t>(type.size(), 79);
            std::copy_n(type.begin(), n, info->szTypeName);
            info->szTypeName[n] = 0;
        }
        if (flags & SHGFI_SYSICONINDEX)
        {
            info->iIcon = IconOf(last, nullptr);
            return reinterpret_cast<DWORD_PTR>(SystemImageList(flags & SHGFI_SMALLICON));
        }
        return 1;
    }
    if (flags & SHGFI_PIDL)
    {
        if (!SplitIdList(reinterpret_cast<LPCITEMIDLIST>(path), items))
            return 0;
    }
    else
    {
        // A path is parsed from the desktop; "C:\" (the platform's way to ask for the image
        // lists) stands for the root.
        if (!path)
            return 0;
        std::u16string text = path;
        if (text.size() >= 2 && text[1] == u':')
            text = u"/";
        IShellFolder* desktop = nullptr;
        SHGetDesktopFolder(&desktop);
        LPITEMIDLIST list = nullptr;
        HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &list, nullptr);
        desktop->Release();
        if (FAILED(hr))
            return 0;
        SplitIdList(list, items);
        CoTaskMemFree(list);
    }
    Location where = Locate(items);
    if (where.place == Place::Invalid)
        return 0;
    Item last = items.empty() ? VirtualItem(CSIDL_DESKTOP) : items.back();
    Facts facts;
    if (where.place == Place::Path && (flags & SHGFI_ATTRIBUTES))
        facts = FactsOfPath(where.path);
    if (info)
    {
        if (flags & SHGFI_DISPLAYNAME)
        {
            std::u16string name = ItemDisplayName(last);
            size_t n = std::min<size_t>(name.size(), 259);
            std::copy_n(name.begin(), n, info->szDisplayName);
            info->szDisplayName[n] = 0;
        }
        if (flags & SHGFI_TYPENAME)
        {
            std::u16string type = last.kind == SHELL_ITEM_VIRTUAL ? u"System Folder" : TypeNameOf(last);
            size_t n = std::min<size_t>(type.size(), 79);
            std::copy_n(type.begin(), n, info->szTypeName);
            info->szTypeName[n] = 0;
        }
        if (flags & SHGFI_SYSICONINDEX)
            info->iIcon = IconOf(last, facts.valid ? &facts : nullptr);
        if (flags & SHGFI_ATTRIBUTES)
        {
            ULONG attributes = 0xFFFFFFFFu;
            IShellFolder* desktop = nullptr;
            SHGetDesktopFolder(&desktop);
            LPITEMIDLIST list = MakeIdList(items);
            LPCITEMIDLIST one = list;
            if (items.empty())
                attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
            else if (FAILED(desktop->GetAttributesOf(1, &one, &attributes)))
                attributes = 0;
            CoTaskMemFree(list);
            desktop->Release();
            info->dwAttributes = attributes;
        }
    }
    if (flags & SHGFI_SYSICONINDEX)
        return reinterpret_cast<DWORD_PTR>(SystemImageList(flags & SHGFI_SMALLICON));
    return 1;
}
