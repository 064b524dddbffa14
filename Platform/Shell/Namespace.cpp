// The shell namespace: the desktop, its special folders and file-system folders as IShellFolder.
#include "Platform/Shell/ShellDetail.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <iterator>
#include <memory>
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

// The display name, type name and icon of an item, as the flags ask for them.
void DescribeItem(BYTE kind, std::string_view bytes, const Facts* facts, UINT flags, SHFILEINFOW* info)
{
    if (flags & SHGFI_DISPLAYNAME)
    {
        std::u16string name = ItemDisplayName(kind, bytes);
        size_t n = std::min<size_t>(name.size(), std::size(info->szDisplayName) - 1);
        std::copy_n(name.begin(), n, info->szDisplayName);
        info->szDisplayName[n] = 0;
    }
    if (flags & SHGFI_TYPENAME)
    {
        if (kind == SHELL_ITEM_VIRTUAL)
            std::copy_n(u"System Folder", 14, info->szTypeName);
        else
            TypeNameInto(kind, bytes, info->szTypeName, std::size(info->szTypeName));
    }
    if (flags & SHGFI_SYSICONINDEX)
        info->iIcon = IconOf(kind, bytes, facts);
}

Item VirtualItem(int csidl)
{
    return Item{SHELL_ITEM_VIRTUAL, std::string(1, static_cast<char>(csidl))};
}

// The ids a folder enumeration hands out: the entries of one listing, gathered at once, of the kinds
// asked for.
class IdEnumerator final : public ComObject<IEnumIDList, IID_IEnumIDList>
{
public:
    IdEnumerator(std::shared_ptr<Listing> listing, bool folders, bool files)
        : m_listing(std::move(listing)), m_folders(folders), m_files(files)
    {
    }
    HRESULT Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) override
    {
        if (!items)
            return E_POINTER;
        m_listing->ReadIfPending();
        ULONG n = 0;
        const auto& entries = m_listing->entries;
        while (n < count && m_position < entries.size())
        {
            const Listing::Entry& e = entries[m_position++];
            if (!Wanted(e))
                continue;
            LPITEMIDLIST id = MakeIdList(e.kind, m_listing->Name(e));
            if (!id)
                break;
            items[n++] = id;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        m_listing->ReadIfPending();
        const auto& entries = m_listing->entries;
        for (; count > 0 && m_position < entries.size(); ++m_position)
            if (Wanted(entries[m_position]))
                --count;
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
        m_listing->ReadIfPending(); // both walk the same entries
        auto* copy = new IdEnumerator(m_listing, m_folders, m_files);
        copy->m_position = m_position;
        *clone = copy;
        return S_OK;
    }

private:
    ~IdEnumerator() = default;
    bool Wanted(const Listing::Entry& e) const { return e.kind == SHELL_ITEM_FILE ? m_files : m_folders; }

    std::shared_ptr<Listing> m_listing;
    bool m_folders, m_files;
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
        const std::vector<std::string> parts = ResolvedNames(path);
        const std::string full = PathOfNames(parts);
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
        auto listing = std::make_shared<Listing>();
        switch (m_where.place)
        {
        case Place::Desktop:
            for (int id : {CSIDL_DRIVES, CSIDL_CONTROLS, CSIDL_PERSONAL, CSIDL_NETWORK})
                listing->Add(SHELL_ITEM_VIRTUAL, std::string(1, static_cast<char>(id)));
            break;
        case Place::Drives:
            for (const std::string& root : DriveRoots())
                listing->Add(SHELL_ITEM_FOLDER, root);
            break;
        case Place::Controls:
        case Place::Network:
            break;
        case Place::Personal:
        case Place::Path:
        {
            std::string path = m_where.place == Place::Personal ? HomePath() : m_where.path;
            // The folder must open now; its entries are read when first asked for, so that a test
            // of the folder (an enumerator released unread) costs no listing.
            DIR* dir = opendir(path.c_str());
            if (!dir)
                return ErrnoResult(errno);
            closedir(dir);
            listing->path = path;
            listing->hidden = flags & SHCONTF_INCLUDEHIDDEN;
            listing->pending = true;
            // Kept to answer questions about these children without asking the system again.
            m_factsIndex.clear();
            m_listing = listing;
            m_nextFact = 0;
            break;
        }
        case Place::Invalid:
            return E_FAIL;
        }
        *enumerator = new IdEnumerator(std::move(listing), flags & SHCONTF_FOLDERS, flags & SHCONTF_NONFOLDERS);
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
            ItemView one;
            if (m_where.place == Place::Path && SingleItem(items[i], one) && one.kind != SHELL_ITEM_VIRTUAL)
            {
                // A child of a file-system folder: its facts from the enumeration.
                result &= ChildAttributes(one.bytes, asked);
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
        ItemView one;
        if (!(flags & SHGDN_FORPARSING) && SingleItem(idList, one))
        {
            name->uType = STRRET_WSTR;
            if (one.kind != SHELL_ITEM_VIRTUAL)
            {
                // A name's text straight into the task allocator's block: no byte makes more than
                // one unit.
                const size_t capacity = one.bytes.size() + 1;
                name->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(capacity * sizeof(WCHAR)));
                if (name->pOleStr)
                    Platform::WideNameInto(one.bytes, name->pOleStr, capacity);
            }
            else
                name->pOleStr = TaskText(ItemDisplayName(one.kind, one.bytes));
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
    Facts ChildFacts(std::string_view name)
    {
        if (m_listing && !m_listing->pending)
        {
            const Listing& listing = *m_listing;
            const auto& entries = listing.entries;
            // Asked in the order the enumeration gave the items, mostly: the next one first.
            if (m_nextFact < entries.size() && listing.Name(entries[m_nextFact]) == name)
                return entries[m_nextFact++].facts;
            if (m_nextFact > 0 && listing.Name(entries[m_nextFact - 1]) == name)
                return entries[m_nextFact - 1].facts; // the same one again
            if (m_factsIndex.empty() && !entries.empty())
                for (size_t i = 0; i < entries.size(); ++i)
                    m_factsIndex.emplace(listing.Name(entries[i]), i);
            auto it = m_factsIndex.find(name);
            if (it != m_factsIndex.end())
            {
                m_nextFact = it->second + 1;
                return entries[it->second].facts;
            }
        }
        std::vector<Item> all = m_items;
        all.push_back(Item{SHELL_ITEM_FILE, std::string(name)});
        Location where = Locate(all);
        return where.place == Place::Path ? FactsOfPath(where.path) : Facts{};
    }

private:
    ~ShellFolder() = default;

    ULONG ChildAttributes(std::string_view name, ULONG asked)
    {
        if (name.empty() || name.find('/') != std::string_view::npos)
            return 0;
        Facts facts = ChildFacts(name);
        if (!facts.valid)
            return 0;
        ULONG a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_HASPROPSHEET | SFGAO_CANMOVE |
                  SFGAO_CANRENAME | SFGAO_CANDELETE;
        if (facts.isDirectory)
        {
            a |= SFGAO_FOLDER | SFGAO_DROPTARGET;
            if ((asked & SFGAO_HASSUBFOLDER) &&
                HasSubfolder(m_where.path + (m_where.path.back() == '/' ? "" : "/") + std::string(name)))
                a |= SFGAO_HASSUBFOLDER;
        }
        if (facts.isLink)
            a |= SFGAO_LINK;
        if (facts.readOnly)
            a |= SFGAO_READONLY;
        if (name[0] == '.')
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
        Facts facts = relative.size() == 1 ? ChildFacts(relative[0].bytes) : FactsOfPath(where.path);
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
    std::shared_ptr<Listing> m_listing; // of the last enumeration, in its order
    std::unordered_map<std::string_view, size_t> m_factsIndex; // made when asked out of order
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
    ItemView one;
    if (!SingleItem(idList, one))
        return E_INVALIDARG;
    auto* ours = dynamic_cast<ShellFolder*>(folder);
    if (!ours || one.kind == SHELL_ITEM_VIRTUAL)
        return E_INVALIDARG;
    Facts facts = ours->ChildFacts(one.bytes);
    if (!facts.valid)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    auto* find = static_cast<WIN32_FIND_DATAW*>(data);
    std::memset(find, 0, sizeof *find);
    find->dwFileAttributes = FileAttributes(one.bytes, facts);
    find->ftLastWriteTime = FileTimeFromUnix(facts.mtimeSeconds, facts.mtimeNanoseconds);
    find->ftCreationTime = find->ftLastWriteTime;
    find->ftLastAccessTime = find->ftLastWriteTime;
    find->nFileSizeHigh = static_cast<DWORD>(facts.size >> 32);
    find->nFileSizeLow = static_cast<DWORD>(facts.size & 0xFFFFFFFFu);
    Platform::WideNameInto(one.bytes, find->cFileName, 260);
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
        ItemView view;
        static const char desktop = static_cast<char>(CSIDL_DESKTOP);
        if (!LastItem(reinterpret_cast<LPCITEMIDLIST>(path), view))
        {
            if (IdListBytes(reinterpret_cast<LPCITEMIDLIST>(path)) != 0)
                return 0;
            view = ItemView{SHELL_ITEM_VIRTUAL, std::string_view(&desktop, 1)};
        }
        DescribeItem(view.kind, view.bytes, nullptr, flags, info);
        if (flags & SHGFI_SYSICONINDEX)
            return reinterpret_cast<DWORD_PTR>(SystemImageList(flags & SHGFI_SMALLICON));
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
        DescribeItem(last.kind, last.bytes, facts.valid ? &facts : nullptr, flags, info);
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
