#include "Controls/XFileListView.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

using namespace ShellUtils;

namespace
{
constexpr DWORD NotifyFilters[6] = {FILE_NOTIFY_CHANGE_FILE_NAME,  FILE_NOTIFY_CHANGE_DIR_NAME,
                                    FILE_NOTIFY_CHANGE_ATTRIBUTES, FILE_NOTIFY_CHANGE_SIZE,
                                    FILE_NOTIFY_CHANGE_LAST_WRITE, FILE_NOTIFY_CHANGE_SECURITY};
constexpr ULONG AttributeMask = 0xE6000177u;
constexpr DWORD LetteredAttributes = 0x927;
constexpr uint32_t NoKey = 0xFFFFFFFFu;

template <class T> int Sign(T a, T b)
{
    return a == b ? 0 : a < b ? -1 : 1;
}

// The offset of the last item of an id list, or -1 for an empty one.
int LastItemOffset(LPCITEMIDLIST list)
{
    auto* p = reinterpret_cast<const BYTE*>(list);
    int at = 0, last = -1;
    for (;;)
    {
        WORD cb;
        std::memcpy(&cb, p + at, 2);
        if (cb == 0)
            return last;
        last = at;
        at += cb;
    }
}

void Raise(HRESULT hr)
{
    if (FAILED(hr))
        throw EOleSysError(u"OLE error " + UnicodeString(std::to_string(static_cast<uint32_t>(hr)).c_str()));
}
} // namespace

// ---- Draw options ----------------------------------------------------------------------------

void XFileDrawOption::SetFontStyle(TFontStyles style)
{
    if (style == m_style)
        return;
    m_style = style;
    OnChange(this);
}

void XFileDrawOption::SetFontColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    OnChange(this);
}

// ---- Life ------------------------------------------------------------------------------------

XFileListView::XFileListView(TComponent* AOwner) : TCustomListView(AOwner)
{
    Raise(OleInitialize(nullptr));
    if (FAILED(SHGetDesktopFolder(&m_desktop)))
        throw Exception(u"");
    Raise(SHGetMalloc(&m_malloc));
    for (HANDLE& h : m_notifications)
        h = INVALID_HANDLE_VALUE;
    m_hidden = new XFileDrawOption;
    m_system = new XFileDrawOption;
    m_readOnly = new XFileDrawOption;
    m_hidden->SetFontStyle(TFontStyles{fsUnderline});
    m_system->SetFontColor(clHighlight);
    m_readOnly->SetFontColor(clGrayText);
    for (XFileDrawOption* option : {m_hidden, m_system, m_readOnly})
        option->OnChange = MakeClosure(this, &XFileListView::OptionChanged);
    SetViewStyle(vsSmallIcon);
    SetOwnerData(true);
    SetSortType(stNone);
    // Its presence makes the view ask for each item's drawing.
    OnCustomDrawItem = MakeClosure(this, &XFileListView::CustomDrawFileItem);
    SetRefreshInterval(500);
    SetAutoRefresh(true);
    // The window is there from construction on: its set-up runs now, and only once.
    HandleNeeded();
}

void XFileListView::BeforeDestruction()
{
    DestroyWnd();
    TCustomListView::BeforeDestruction();
}

XFileListView::~XFileListView()
{
    DestroyWnd();
    CloseNotifications();
    delete m_hidden;
    delete m_system;
    delete m_readOnly;
    FreeRecords();
    if (m_folder)
        m_folder->Release();
    if (m_desktop)
        m_desktop->Release();
    if (m_idList)
        m_malloc->Free(m_idList);
    if (m_malloc)
        m_malloc->Release();
    OleUninitialize();
}

void XFileListView::CreateWnd()
{
    TCustomListView::CreateWnd();
    if (m_windowMade)
        return;
    m_windowMade = true;
    CreateColumns();
    m_dropTarget = new XDropTarget;
    m_dropTarget->OnDragEnter = MakeClosure(this, &XFileListView::DragEnterEvent);
    m_dropTarget->OnDragOver = MakeClosure(this, &XFileListView::DragOverEvent);
    m_dropTarget->OnDragLeave = MakeClosure(this, &XFileListView::DragLeaveEvent);
    m_dropTarget->OnDrop = MakeClosure(this, &XFileListView::DropEvent);
    RegisterDragDrop(Handle(), m_dropTarget);
    Perform(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(GetSmallImageList()));
    Perform(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(GetLargeImageList()));
    LPITEMIDLIST drives = nullptr;
    Raise(SHGetSpecialFolderLocation(Handle(), CSIDL_DRIVES, &drives));
    Explore(drives);
}

void XFileListView::DestroyWnd()
{
    if (!m_windowMade)
        return;
    m_windowMade = false;
    RevokeDragDrop(Handle());
    if (m_dropTarget)
    {
        // Whoever still holds the target reaches nothing of the list through it.
        m_dropTarget->OnDragEnter = nullptr;
        m_dropTarget->OnDragOver = nullptr;
        m_dropTarget->OnDragLeave = nullptr;
        m_dropTarget->OnDrop = nullptr;
        m_dropTarget->Release();
        m_dropTarget = nullptr;
    }
    Perform(LVM_SETIMAGELIST, LVSIL_SMALL, 0);
    Perform(LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
}

void XFileListView::CreateColumns()
{
    Columns()->Clear();
    struct
    {
        const char16_t* caption;
        int width;
        bool autoSize;
        bool right;
    } const columns[] = {{u"Name", 150, true, false},
                         {u"Size", 80, false, true},
                         {u"Type", 150, false, false},
                         {u"Attributes", 50, false, false},
                         {u"Modified", 120, false, false}};
    int tag = 1;
    for (const auto& c : columns)
    {
        TListColumn* column = Columns()->Add();
        column->Caption = c.caption;
        column->Width = c.width;
        column->AutoSize = c.autoSize;
        column->Alignment = c.right ? taRightJustify : taLeftJustify;
        column->Tag = tag++;
    }
}

void XFileListView::OptionChanged(TObject*)
{
    Invalidate();
}

void XFileListView::SetAutoRefresh(bool on)
{
    m_autoRefresh = on;
    if (on && !m_timer)
    {
        m_timer = new TTimer(this);
        m_timer->SetInterval(m_refreshInterval);
        m_timer->OnTimer = MakeClosure(this, &XFileListView::ValidateItems);
    }
    if (m_timer)
        m_timer->SetEnabled(on);
}

void XFileListView::SetRefreshInterval(int ms)
{
    m_refreshInterval = std::max(ms, 100);
    if (m_timer)
        m_timer->SetInterval(m_refreshInterval);
}

// ---- Records ---------------------------------------------------------------------------------

void XFileListView::FreeRecords()
{
    for (int i = 0; i < m_count; ++i)
        m_malloc->Free(m_records[i]->Id);
    std::free(m_records);
    m_records = nullptr;
    m_count = 0;
    m_allocator.Clear();
    m_widestName = -1;
    // The allocator hands out the same places again: keys of the old records must not be taken
    // for the new ones'.
    m_sortEntries.clear();
    m_sortKeys.clear();
    m_sortOrder.clear();
}

WCHAR* XFileListView::CopyText(const WCHAR* text)
{
    size_t n = std::char_traits<char16_t>::length(text);
    auto* copy = static_cast<WCHAR*>(m_allocator.Alloc(static_cast<unsigned>((n + 1) * sizeof(WCHAR))));
    std::memcpy(copy, text, (n + 1) * sizeof(WCHAR));
    return copy;
}

LPITEMIDLIST XFileListView::AbsoluteOf(const XFileItem* record)
{
    return ConcatIdLists(m_malloc, m_idList, record->Id);
}

void XFileListView::Refresh()
{
    if (!m_folder || !m_idList)
        return;
    IEnumIDList* enumerator = nullptr;
    if (m_folder->EnumObjects(Handle(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &enumerator) !=
            S_OK ||
        !enumerator)
        return;
    Items()->BeginUpdate();
    try
    {
        FreeRecords();
        XFileItem* head = nullptr;
        int count = 0;
        LPITEMIDLIST id = nullptr;
        ULONG fetched = 0;
        WCHAR name[MAX_PATH];
        // Each name is measured for the Name column as it is read, while it is in the cache.
        Platform::Gdi::TextWidths widths = NameWidths();
        int widest = 0;
        while (enumerator->Next(1, &id, &fetched) == S_OK)
        {
            WIN32_FIND_DATAW find;
            std::memset(&find, 0, sizeof find);
            SHGetDataFromIDListW(m_folder, id, SHGDFIL_FINDDATA, &find, sizeof find);
            GetDisplayName(m_folder, id, name, SHGDN_NORMAL);
            ULONG attributes = AttributeMask;
            LPCITEMIDLIST one = id;
            if (FAILED(m_folder->GetAttributesOf(1, &one, &attributes)))
                attributes = 0;
            auto* record = static_cast<XFileItem*>(m_allocator.Alloc(sizeof(XFileItem)));
            record->FileAttributes = find.dwFileAttributes;
            record->ShellAttributes = attributes;
            record->LastWriteTime = (static_cast<uint64_t>(find.ftLastWriteTime.dwHighDateTime) << 32) |
                                    find.ftLastWriteTime.dwLowDateTime;
            record->Size = (static_cast<uint64_t>(find.nFileSizeHigh) << 32) | find.nFileSizeLow;
            record->Name = CopyText(name);
            widest = std::max(widest, widths.Of(record->Name));
            record->TypeName = nullptr;
            FormatFileTime(find.ftLastWriteTime, record->ModifiedText);
            WCHAR* letters = record->AttributeText;
            const struct
            {
                DWORD bit;
                WCHAR letter;
            } lettered[] = {{FILE_ATTRIBUTE_COMPRESSED, u'C'}, {FILE_ATTRIBUTE_TEMPORARY, u'T'},
                            {FILE_ATTRIBUTE_READONLY, u'R'},   {FILE_ATTRIBUTE_HIDDEN, u'H'},
                            {FILE_ATTRIBUTE_SYSTEM, u'S'},     {FILE_ATTRIBUTE_ARCHIVE, u'A'}};
            for (const auto& l : lettered)
                if (record->FileAttributes & l.bit)
                    *letters++ = l.letter;
            *letters = 0;
            record->IconIndex = -1;
            record->Id = id;
            record->State = 0;
            record->Next = head;
            head = record;
            ++count;
        }
        m_records = static_cast<XFileItem**>(std::malloc(sizeof(XFileItem*) * static_cast<size_t>(std::max(count, 1))));
        int i = 0;
        for (XFileItem* r = head; r; r = r->Next)
            m_records[i++] = r;
        m_count = count;
        m_widestName = widest;
        FillFileData(0, count);
        Sort();
    }
    catch (...)
    {
        Items()->Clear();
        Items()->SetCount(m_count);
        Items()->EndUpdate();
        enumerator->Release();
        throw;
    }
    Items()->Clear();
    Items()->SetCount(m_count);
    Items()->EndUpdate();
    enumerator->Release();
    SetItemFocused(nullptr);
    SetSelected(nullptr);
    Invalidate();
}

Platform::Gdi::TextWidths XFileListView::NameWidths()
{
    Canvas()->Font()->Assign(Font());
    return Platform::Gdi::TextWidths(Canvas()->Handle());
}

int XFileListView::OwnerDataWidest(int Column)
{
    if (Column != 0)
        return -1;
    if (m_widestName < 0)
    {
        Platform::Gdi::TextWidths widths = NameWidths();
        m_widestName = 0;
        for (int i = 0; i < m_count; ++i)
            m_widestName = std::max(m_widestName, widths.Of(m_records[i]->Name));
    }
    return m_widestName;
}

void XFileListView::FontChanged()
{
    m_widestName = -1;
    TCustomListView::FontChanged();
}

// The absolute id list of each record is built in one scratch block: the current id list once,
// then each record's id after it.
void XFileListView::FillFileData(int first, int last)
{
    FillFromShell(first, last, true);
}

void XFileListView::FillFileImages(int first, int last)
{
    FillFromShell(first, last, false);
}

void XFileListView::FillFromShell(int first, int last, bool types)
{
    if (m_count == 0 || first >= m_count)
        return;
    last = std::min(last, m_count - 1);
    UINT parent = GetIdListSize(m_idList);
    UINT capacity = 0;
    BYTE* scratch = nullptr;
    SHFILEINFOW info;
    UINT flags = types ? SHGFI_PIDL | SHGFI_TYPENAME | SHGFI_SYSICONINDEX : SHGFI_PIDL | SHGFI_SYSICONINDEX;
    for (int i = std::max(first, 0); i <= last; ++i)
    {
        XFileItem* record = m_records[i];
        if (types ? record->TypeName != nullptr : record->IconIndex != -1)
            continue;
        UINT own = GetIdListSize(record->Id);
        if (parent + own + 2 > capacity)
        {
            capacity = std::max(parent + own + 2, capacity * 2);
            auto* larger = static_cast<BYTE*>(scratch ? m_malloc->Realloc(scratch, capacity) : m_malloc->Alloc(capacity));
            if (!larger)
                break;
            if (!scratch && parent)
                std::memcpy(larger, m_idList, parent);
            scratch = larger;
        }
        if (own)
            std::memcpy(scratch + parent, record->Id, own);
        scratch[parent + own] = scratch[parent + own + 1] = 0;
        if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(scratch), 0, &info, sizeof info, flags))
        {
            if (types)
                record->TypeName = CopyText(info.szTypeName);
            record->IconIndex = info.iIcon;
        }
    }
    if (scratch)
        m_malloc->Free(scratch);
}

// ---- Navigation ------------------------------------------------------------------------------

void XFileListView::Explore(LPITEMIDLIST idList)
{
    IShellFolder* folder = nullptr;
    if (FAILED(m_desktop->BindToObject(idList, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))) ||
        !folder)
        SHGetDesktopFolder(&folder);
    IEnumIDList* test = nullptr;
    if (folder->EnumObjects(Handle(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &test) != S_OK)
    {
        if (test)
            test->Release();
        folder->Release();
        if (idList)
            m_malloc->Free(idList);
        return;
    }
    test->Release();
    try
    {
        BeforeFolderChange(this);
    }
    catch (const Exception& e)
    {
        Application->ShowException(e);
    }
    if (m_folder)
        m_folder->Release();
    m_folder = folder;
    if (m_idList)
        m_malloc->Free(m_idList);
    m_idList = idList;
    Refresh();
    DoFolderChange();
}

void XFileListView::CloseNotifications()
{
    for (HANDLE& h : m_notifications)
    {
        if (h != INVALID_HANDLE_VALUE)
            FindCloseChangeNotification(h);
        h = INVALID_HANDLE_VALUE;
    }
}

void XFileListView::DoFolderChange()
{
    UnicodeString path = GetPath();
    for (int i = 0; i < 6; ++i)
    {
        if (m_notifications[i] != INVALID_HANDLE_VALUE)
            FindCloseChangeNotification(m_notifications[i]);
        m_notifications[i] = FindFirstChangeNotificationW(path.c_str(), FALSE, NotifyFilters[i]);
    }
    try
    {
        OnFolderChange(this);
    }
    catch (const Exception& e)
    {
        Application->ShowException(e);
    }
}

void XFileListView::SetPath(const UnicodeString& path)
{
    std::u16string text(path.c_str());
    LPITEMIDLIST list = nullptr;
    ULONG eaten = static_cast<ULONG>(text.size());
    ULONG attributes = 0;
    if (SUCCEEDED(m_desktop->ParseDisplayName(Handle(), nullptr, text.data(), &eaten, &list, &attributes)))
        Explore(list);
}

UnicodeString XFileListView::GetPath()
{
    WCHAR buffer[MAX_PATH];
    if (!m_idList || !SHGetPathFromIDListW(m_idList, buffer) || buffer[0] == 0)
        return GetDirectory();
    return UnicodeString(buffer);
}

UnicodeString XFileListView::GetDirectory()
{
    WCHAR buffer[MAX_PATH];
    return UnicodeString(GetDisplayName(m_desktop, m_idList, buffer, SHGDN_NORMAL));
}

void XFileListView::UpLevel()
{
    if (!m_idList)
        return;
    int last = LastItemOffset(m_idList);
    if (last < 0)
        return; // the desktop has no parent
    std::u16string path(GetPath().c_str());
    size_t cut = path.find_last_of(u"\\/");
    std::u16string name = cut == std::u16string::npos ? path : path.substr(cut + 1);
    if (name.empty())
        name = path; // a drive's root is named by its path
    // A copy is cut, so the current list stays whole until Explore takes the new one.
    LPITEMIDLIST parent = CopyIdList(m_malloc, m_idList);
    std::memset(reinterpret_cast<BYTE*>(parent) + last, 0, 2);
    Explore(parent);
    SelectItem(UnicodeString(name.c_str()));
}

void XFileListView::Execute()
{
    if (SelCount() != 1)
        return;
    XFileItem* record = GetSelectedFileItem();
    if (!record)
        return;
    if ((record->ShellAttributes & SFGAO_FOLDER) || (record->FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        Explore(ConcatIdLists(m_malloc, m_idList, record->Id));
        return;
    }
    LPITEMIDLIST absolute = AbsoluteOf(record);
    WCHAR path[MAX_PATH];
    if (SHGetPathFromIDListW(absolute, path))
        ShellExecuteW(Handle(), u"open", path, nullptr, nullptr, SW_SHOW);
    m_malloc->Free(absolute);
}

void XFileListView::DblClick()
{
    TCustomListView::DblClick();
    Execute();
}

void XFileListView::SelectItem(const UnicodeString& name)
{
    for (int i = 0; i < m_count; ++i)
        if (CompareStringW(LOCALE_USER_DEFAULT, 0, m_records[i]->Name, -1, name.c_str(), -1) == CSTR_EQUAL)
        {
            SetItemFocused(nullptr);
            SetSelected(nullptr);
            SetItemFocused(Items()->Item(i));
            SetSelected(Items()->Item(i));
            return;
        }
}

// ---- Sorting ---------------------------------------------------------------------------------

// The sort compares names (and type names) without case as CompareStringW does, through keys
// made once per text: a folder of ten thousand files takes over a hundred thousand comparisons.
// The keys stay while the records do, so a header click re-sorts without making them again.
void XFileListView::AddSortKey(const WCHAR* text, uint32_t& at, uint32_t& length)
{
    size_t before = m_sortKeys.size();
    if (text)
        Platform::AppendSortKey(text, std::char_traits<char16_t>::length(text), m_sortKeys);
    else
        Platform::AppendSortKey(u"", 0, m_sortKeys);
    at = static_cast<uint32_t>(before);
    length = static_cast<uint32_t>(m_sortKeys.size() - before);
}

namespace
{
// A key's first eight bytes as a number (zeros past its end): when two differ, they decide.
uint64_t KeyPrefix(const uint8_t* key, uint32_t length)
{
    uint64_t prefix = 0;
    for (uint32_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < length ? key[i] : 0);
    return prefix;
}
} // namespace

void XFileListView::Sort()
{
    if (m_count < 2)
        return;
    auto n = static_cast<size_t>(m_count);
    // The keys hold while the records are the ones they were made for, in the order last sorted.
    bool keysHold = m_sortEntries.size() == n && m_sortOrder.size() == n;
    for (size_t i = 0; keysHold && i < n; ++i)
    {
        const SortEntry& entry = m_sortEntries[m_sortOrder[i]];
        keysHold = entry.record == m_records[i] && entry.name == m_records[i]->Name;
    }
    if (!keysHold)
    {
        m_sortEntries.clear();
        m_sortKeys.clear();
        m_sortEntries.reserve(n);
        m_sortKeys.reserve(n * 64);
        m_sortOrder.resize(n);
        for (size_t i = 0; i < n; ++i)
        {
            XFileItem* record = m_records[i];
            SortEntry entry{record, record->Name, nullptr, 0, 0, NoKey, 0, 0,
                            (record->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
            AddSortKey(entry.name, entry.nameKey, entry.nameLength);
            entry.namePrefix = KeyPrefix(m_sortKeys.data() + entry.nameKey, entry.nameLength);
            m_sortEntries.push_back(entry);
            m_sortOrder[i] = static_cast<uint32_t>(i);
        }
    }
    if (m_sortType == fstType)
        for (SortEntry& entry : m_sortEntries)
            if (entry.typeKey == NoKey || entry.type != entry.record->TypeName)
            {
                entry.type = entry.record->TypeName;
                AddSortKey(entry.type, entry.typeKey, entry.typeLength);
            }

    const uint8_t* keys = m_sortKeys.data();
    const SortEntry* entries = m_sortEntries.data();
    auto compareKeys = [keys](uint32_t a, uint32_t na, uint32_t b, uint32_t nb)
    { return Platform::CompareSortKeys(keys + a, na, keys + b, nb) - CSTR_EQUAL; };
    XFileSortType type = m_sortType;
    bool reverse = m_sortReverse;
    // Folders first, in either direction; then the key, reversed on request; equal keys fall through
    // to the names. Stable, so that records the order counts as equal keep the order they came in.
    std::stable_sort(m_sortOrder.begin(), m_sortOrder.end(),
                     [&](uint32_t x, uint32_t y)
                     {
                         const SortEntry* a = entries + x;
                         const SortEntry* b = entries + y;
                         if (a->folder != b->folder)
                             return a->folder;
                         if (reverse)
                             std::swap(a, b);
                         int result = 0;
                         switch (type)
                         {
                         case fstSize:
                             result = Sign(a->record->Size, b->record->Size);
                             break;
                         case fstType:
                             result = compareKeys(a->typeKey, a->typeLength, b->typeKey, b->typeLength);
                             break;
                         case fstAttribute:
                             result = static_cast<int>(a->record->FileAttributes & LetteredAttributes) -
                                      static_cast<int>(b->record->FileAttributes & LetteredAttributes);
                             break;
                         case fstTime:
                             result = Sign(a->record->LastWriteTime, b->record->LastWriteTime);
                             break;
                         case fstName:
                             break;
                         }
                         if (result == 0)
                             result = a->namePrefix != b->namePrefix
                                          ? (a->namePrefix < b->namePrefix ? -1 : 1)
                                          : compareKeys(a->nameKey, a->nameLength, b->nameKey, b->nameLength);
                         return result < 0;
                     });
    for (size_t i = 0; i < n; ++i)
        m_records[i] = entries[m_sortOrder[i]].record;
}

void XFileListView::SetFileSortType(XFileSortType type)
{
    if (type == m_sortType)
        return;
    m_sortType = type;
    m_sortReverse = false;
    if (type == fstType && m_count > 0 && !m_records[0]->TypeName)
        FillFileData(0, m_count);
    Sort();
    SetSelected(nullptr);
    Invalidate();
}

void XFileListView::SetSortReverse(bool reverse)
{
    if (reverse == m_sortReverse)
        return;
    m_sortReverse = reverse;
    Sort();
    SetSelected(nullptr);
    Invalidate();
}

void XFileListView::ColClick(TListColumn* Column)
{
    TCustomListView::ColClick(Column);
    if (!Column || Column->Tag < 1 || Column->Tag > 5)
        return;
    auto type = static_cast<XFileSortType>(Column->Tag - 1);
    if (type == m_sortType)
        SetSortReverse(!m_sortReverse);
    else
        SetFileSortType(type);
}

// ---- Queries ---------------------------------------------------------------------------------

int XFileListView::GetItemsCount(int type)
{
    switch (type)
    {
    case otSelected:
        return SelCount();
    case otUnselected:
        return Items()->Count() - SelCount();
    case otFocused:
        return ItemFocused() ? 1 : 0;
    case otAll:
        return Items()->Count();
    default:
        return 0;
    }
}

void XFileListView::GetItemsList(XStringList& list, int type)
{
    switch (type)
    {
    case otSelected:
        for (TListItem* item = Selected(); item; item = GetNextItem(item, sdAll, TItemStates{isSelected}))
            if (XFileItem* r = Record(item->Index()))
                list.Add(r->Name);
        break;
    case otUnselected:
    case otFocused:
    case otAll:
        for (int i = 0; i < m_count; ++i)
        {
            DWORD state = m_records[i]->State;
            if (type == otAll || (type == otUnselected && !(state & 1)) || (type == otFocused && (state & 2)))
                list.Add(m_records[i]->Name);
        }
        break;
    default:
        break;
    }
}

uint64_t XFileListView::GetSize(int type)
{
    uint64_t total = 0;
    switch (type)
    {
    case otSelected:
    case otUnselected:
    case otAll:
        for (int i = 0; i < m_count && i < Items()->Count(); ++i)
        {
            bool selected = ItemStates(i).Contains(isSelected);
            if (type == otAll || selected == (type == otSelected))
                total += m_records[i]->Size;
        }
        return total;
    case otFocused:
    {
        TListItem* focused = ItemFocused();
        XFileItem* r = focused ? Record(focused->Index()) : nullptr;
        return r ? r->Size : 0;
    }
    default:
        return 0;
    }
}

XFileItem* XFileListView::GetSelectedFileItem()
{
    TListItem* item = Selected();
    return item ? Record(item->Index()) : nullptr;
}

// ---- The view's requests ---------------------------------------------------------------------

std::u16string XFileListView::SizeText(uint64_t bytes)
{
    uint64_t k = bytes / 1024 + (bytes % 1024 ? 1 : 0); // no overflow near 2^64
    std::u16string digits;
    for (int n = 0;; ++n)
    {
        if (n && n % 3 == 0)
            digits.insert(digits.begin(), u' ');
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + k % 10));
        k /= 10;
        if (k == 0)
            break;
    }
    return digits + u" KB";
}

bool XFileListView::OwnerDataFetch(TListItem* Item, TItemRequest)
{
    if (Item->Index() >= m_count)
        return false;
    XFileItem* r = m_records[Item->Index()];
    Item->ImageIndex = r->IconIndex;
    Item->Caption = r->Name;
    if (ViewStyle() == vsReport)
    {
        Item->SubItems.push_back(r->FileAttributes & FILE_ATTRIBUTE_DIRECTORY ? UnicodeString()
                                                                               : UnicodeString(SizeText(r->Size).c_str()));
        Item->SubItems.push_back(r->TypeName ? UnicodeString(r->TypeName) : UnicodeString());
        Item->SubItems.push_back(r->AttributeText);
        Item->SubItems.push_back(r->ModifiedText);
    }
    return true;
}

int XFileListView::OwnerDataFind(int, const UnicodeString&)
{
    return 0;
}

bool XFileListView::OwnerDataHint(int, int)
{
    return true;
}

bool XFileListView::OwnerDataStateChange(int StartIndex, int EndIndex, TItemStates OldState, TItemStates NewState)
{
    for (int i = std::max(StartIndex, 0); i <= EndIndex && i < m_count; ++i)
    {
        DWORD& state = m_records[i]->State;
        const struct
        {
            TItemStateItem item;
            DWORD bit;
        } map[] = {{isSelected, 1}, {isFocused, 2}, {isCut, 4}};
        for (const auto& m : map)
        {
            if (!OldState.Contains(m.item) && NewState.Contains(m.item))
                state |= m.bit;
            else if (OldState.Contains(m.item) && !NewState.Contains(m.item))
                state &= ~m.bit;
        }
    }
    return true;
}

void XFileListView::Change(TListItem* Item, TItemChange Change)
{
    if (Item)
        Invalidate();
    TCustomListView::Change(Item, Change);
}

void XFileListView::CustomDrawFileItem(TCustomListView*, TListItem*, TCustomDrawState, bool&)
{
}

bool XFileListView::CustomDrawItem(TListItem* Item, TCustomDrawState State, TCustomDrawStage Stage)
{
    if (XFileItem* r = Item ? Record(Item->Index()) : nullptr)
    {
        TFont* font = Canvas()->Font();
        bool hidden = r->FileAttributes & FILE_ATTRIBUTE_HIDDEN;
        bool system = r->FileAttributes & FILE_ATTRIBUTE_SYSTEM;
        if (hidden && system)
        {
            font->SetColor(m_system->FontColor());
            TFontStyles both = m_system->FontStyle();
            for (TFontStyle style : {fsBold, fsItalic, fsUnderline, fsStrikeOut})
                if (m_hidden->FontStyle().Contains(style))
                    both << style;
            font->SetStyle(both);
        }
        else if (system || hidden || (r->FileAttributes & FILE_ATTRIBUTE_READONLY))
        {
            XFileDrawOption* option = system ? m_system : hidden ? m_hidden : m_readOnly;
            font->SetColor(option->FontColor());
            font->SetStyle(option->FontStyle());
        }
    }
    TCustomListView::CustomDrawItem(Item, State, Stage);
    return true;
}

// ---- Keyboard and the timer ------------------------------------------------------------------

void XFileListView::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_CHAR:
        KeyPressHandling(static_cast<WCHAR>(Message.WParam));
        Message.Result = 0;
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    {
        WORD key = static_cast<WORD>(Message.WParam);
        if (key >= VK_END && key <= VK_DOWN)
            break;
        // Every other key goes to the handler, with the real shift state, and not to the view.
        bool down = Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN;
        Platform::SetKeyDown(key, down);
        down ? OnKeyDown(this, key, KeyboardShiftState()) : OnKeyUp(this, key, KeyboardShiftState());
        Message.Result = 0;
        return;
    }
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTTAB;
        return;
    case WM_CONTEXTMENU:
    {
        const TPoint at = ContextMenuPoint(Message.LParam);
        ContextMenu(at.x, at.y);
        Message.Result = 0;
        return;
    }
    case WM_DESTROY:
        DestroyWnd();
        break;
    default:
        break;
    }
    TCustomListView::WndProc(Message);
}

void XFileListView::KeyPressHandling(WCHAR key)
{
    OnKeyPress(this, key);
    if (key == 0)
        return;
    Items()->SetCount(m_count);
    TListItem* selected = Selected();
    int start = selected ? selected->Index() + 1 : 0;
    auto matches = [this, key](int i)
    {
        const WCHAR* name = m_records[i]->Name;
        return name[0] && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, &key, 1, name, 1) == CSTR_EQUAL;
    };
    int found = -1;
    for (int i = start; i < m_count && found < 0; ++i)
        if (matches(i))
            found = i;
    for (int i = start - 1; i >= 0 && found < 0; --i)
        if (matches(i))
            found = i;
    if (found < 0)
        return;
    TListItem* item = Items()->Item(found);
    SetSelected(nullptr);
    item->MakeVisible(true);
    SetSelected(item);
    SetItemFocused(nullptr);
    SetItemFocused(item);
}

void XFileListView::ValidateItems(TObject*)
{
    DWORD result = WaitForMultipleObjects(6, m_notifications, FALSE, 0);
    if (result >= WAIT_OBJECT_0 + 6)
        return;
    DWORD i = result - WAIT_OBJECT_0;
    FindNextChangeNotification(m_notifications[i]);
    if (i > 1)
        return;
    // Names came or went (a drag's files copied in or moved away among them): the rows that are
    // still there keep their selection and focus.
    std::unordered_set<std::u16string> selected;
    for (TListItem* item = Selected(); item; item = GetNextItem(item, sdAll, TItemStates{isSelected}))
        if (XFileItem* r = Record(item->Index()))
            selected.insert(r->Name);
    XFileItem* focused = ItemFocused() ? Record(ItemFocused()->Index()) : nullptr;
    std::u16string focusedName = focused ? focused->Name : u""; // names are never empty
    Refresh();
    for (int r = 0; r < m_count; ++r)
    {
        if (selected.count(m_records[r]->Name))
            Items()->Item(r)->SetSelected(true);
        if (focusedName == m_records[r]->Name)
            SetItemFocused(Items()->Item(r));
    }
}

// ---- File operations -------------------------------------------------------------------------

bool XFileListView::BuildFileNamesList(std::u16string& list)
{
    list.clear();
    if (SelCount() == 0)
        return false;
    std::u16string folder(GetPath().c_str());
    if (folder.empty() || folder.back() != u'/')
        folder += u'/'; // paths are native: '/' separates
    for (TListItem* item = Selected(); item; item = GetNextItem(item, sdAll, TItemStates{isSelected}))
        if (XFileItem* r = Record(item->Index()))
        {
            list += folder;
            list += r->Name;
            list.push_back(0);
        }
    list.push_back(0);
    return list.size() > 1;
}

int XFileListView::FileOperation(const WCHAR* to, const WCHAR* from, UINT function, FILEOP_FLAGS flags)
{
    SHFILEOPSTRUCTW op{};
    op.hwnd = Handle();
    op.wFunc = function;
    op.pFrom = from;
    op.pTo = to;
    op.fFlags = static_cast<FILEOP_FLAGS>(flags | (AllowUndo ? FOF_ALLOWUNDO : 0));
    int result = SHFileOperationW(&op);
    m_operationAborted = op.fAnyOperationsAborted;
    return result;
}

void XFileListView::SCopyTo(const UnicodeString& destination)
{
    std::u16string list;
    if (!BuildFileNamesList(list))
        return;
    std::u16string to = std::u16string(destination.c_str()) + u'\0';
    FileOperation(to.c_str(), list.c_str(), FO_COPY, 0);
}

void XFileListView::SMoveTo(const UnicodeString& destination)
{
    std::u16string list;
    if (!BuildFileNamesList(list))
        return;
    std::u16string to = std::u16string(destination.c_str()) + u'\0';
    FileOperation(to.c_str(), list.c_str(), FO_MOVE, 0);
}

void XFileListView::SDelete()
{
    std::u16string list;
    if (!BuildFileNamesList(list))
        return;
    FileOperation(nullptr, list.c_str(), FO_DELETE, 0);
}

void XFileListView::SBatchRename(XStringList& oldNames, XStringList& newNames)
{
    unsigned n = std::min(oldNames.GetCount(), newNames.GetCount());
    if (n == 0)
        return;
    std::u16string folder(GetPath().c_str());
    if (folder.empty() || folder.back() != u'/')
        folder += u'/';
    std::u16string from, to;
    for (unsigned i = 0; i < n; ++i)
    {
        from += folder + (oldNames[i] ? oldNames[i] : u"") + u'\0';
        to += folder + (newNames[i] ? newNames[i] : u"") + u'\0';
    }
    from.push_back(0);
    to.push_back(0);
    FileOperation(to.c_str(), from.c_str(), FO_MOVE, FOF_MULTIDESTFILES);
}

// ---- Clipboard -------------------------------------------------------------------------------

namespace
{
HGLOBAL DropBlock(const std::u16string& list)
{
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(WCHAR));
    if (!block)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(WCHAR));
    GlobalUnlock(block);
    return block;
}

UINT PreferredDropEffectFormat()
{
    static UINT format = RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT);
    return format;
}
} // namespace

void XFileListView::ToClipboard(DWORD effect)
{
    if (SelCount() == 0)
        return;
    OleFlushClipboard();
    std::u16string list;
    if (!BuildFileNamesList(list))
        return;
    auto* data = new XDataObject;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = DropBlock(list);
    data->SetData(&format, &medium, TRUE);
    format.cfFormat = static_cast<CLIPFORMAT>(PreferredDropEffectFormat());
    medium.hGlobal = GlobalAlloc(GMEM_ZEROINIT, sizeof(DWORD));
    std::memcpy(GlobalLock(medium.hGlobal), &effect, sizeof effect);
    GlobalUnlock(medium.hGlobal);
    data->SetData(&format, &medium, TRUE);
    HRESULT hr = OleSetClipboard(data);
    data->Release();
    Raise(hr);
}

bool XFileListView::IsClipboardAvailable()
{
    return IsClipboardFormatAvailable(CF_HDROP) != FALSE;
}

bool XFileListView::ReadDropFiles(IDataObject* data, std::u16string& list)
{
    list.clear();
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!data || data->GetData(&format, &medium) != S_OK)
        return false;
    bool ok = false;
    if (medium.tymed == TYMED_HGLOBAL)
    {
        SIZE_T size = GlobalSize(medium.hGlobal);
        if (const void* block = GlobalLock(medium.hGlobal))
        {
            ok = Platform::ReadDropFilesBlock(block, size, list);
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    if (!ok)
        list.clear();
    return ok;
}

void XFileListView::PasteFromClipboard()
{
    if (!IsClipboardFormatAvailable(CF_HDROP))
        return;
    IDataObject* data = nullptr;
    if (FAILED(OleGetClipboard(&data)) || !data)
        return;
    std::u16string list;
    if (!ReadDropFiles(data, list))
    {
        data->Release();
        return;
    }
    DWORD effect = DROPEFFECT_COPY;
    FORMATETC format{static_cast<CLIPFORMAT>(PreferredDropEffectFormat()), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) == S_OK)
    {
        if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= sizeof(DWORD))
            if (const void* p = GlobalLock(medium.hGlobal))
            {
                std::memcpy(&effect, p, sizeof effect);
                GlobalUnlock(medium.hGlobal);
            }
        ReleaseStgMedium(&medium);
    }
    data->Release();
    std::u16string to = std::u16string(GetPath().c_str()) + u'\0';
    if (effect & DROPEFFECT_MOVE)
    {
        FileOperation(to.c_str(), list.c_str(), FO_MOVE, 0);
        OleFlushClipboard();
    }
    else if (effect & DROPEFFECT_COPY)
        FileOperation(to.c_str(), list.c_str(), FO_COPY, 0);
}

// ---- Context menu ----------------------------------------------------------------------------

void XFileListView::ContextMenu(int x, int y)
{
    TListItem* first = Selected();
    if (!first || !Record(first->Index()))
    {
        if (PopupMenu())
        {
            PopupMenu()->SetPopupComponent(this);
            PopupMenu()->Popup(x, y);
        }
        return;
    }
    std::vector<LPITEMIDLIST> ids;
    for (TListItem* item = first; item; item = GetNextItem(item, sdAll, TItemStates{isSelected}))
        if (XFileItem* r = Record(item->Index()))
            ids.push_back(CopyIdList(m_malloc, r->Id));
    IContextMenu* menu = nullptr;
    m_folder->GetUIObjectOf(Handle(), static_cast<UINT>(ids.size()), const_cast<LPCITEMIDLIST*>(ids.data()),
                            IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu));
    for (LPITEMIDLIST id : ids)
        m_malloc->Free(id);
    if (!menu)
        return;
    HMENU popup = CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 100, 0xFFFF, CMF_EXPLORE);
    UINT command = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD, x, y, 0, Handle(), nullptr));
    DestroyMenu(popup);
    if (command >= 100)
    {
        int chosen = static_cast<int>(command - 100);
        bool handled = false;
        OnMenuCommand(this, chosen, handled);
        if (!handled)
        {
            CMINVOKECOMMANDINFO info{};
            info.cbSize = 36;
            info.hwnd = Handle();
            info.lpVerb = reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(chosen & 0xFFFF));
            info.nShow = SW_SHOWNORMAL;
            menu->InvokeCommand(&info);
        }
    }
    menu->Release();
}

// ---- Drag and drop ---------------------------------------------------------------------------

void XFileListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    m_dragArmed = false;
    if (TListItem* item = Button == mbLeft ? GetItemAt(X, Y) : nullptr)
    {
        TPoint p(X, Y);
        auto inside = [&p](const TRect& r) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; };
        m_dragArmed = inside(item->DisplayRect(drIcon)) || inside(item->DisplayRect(drLabel));
    }
    TCustomListView::MouseDown(Button, Shift, X, Y);
}

void XFileListView::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomListView::MouseMove(Shift, X, Y);
    m_dragArmed = m_dragArmed && Shift.Contains(ssLeft);
    if (m_dragArmed && !m_runningDrag && MovedDragDistance(X, Y))
        DoDragDrop(Shift, X, Y);
}

void XFileListView::DoDragDrop(TShiftState shift, int, int)
{
    std::u16string list;
    if (SelCount() == 0 || !BuildFileNamesList(list))
        return;
    DWORD allowed = shift.Contains(ssCtrl) || shift.Contains(ssShift) ? DROPEFFECT_COPY
                                                                      : DROPEFFECT_COPY | DROPEFFECT_MOVE;
    auto* data = new XDataObject;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = DropBlock(list);
    data->SetData(&format, &medium, TRUE);
    m_runningDrag = data;
    auto* source = new XDropSource(MK_LBUTTON, MK_RBUTTON);
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(data, source, allowed, &effect);
    data->Release();
    m_runningDrag = nullptr;
    m_dragArmed = false;
    source->Release();
    // The loop took the mouse and the button's release: the view holds the mouse no more, and the
    // press that began the drag neither clicks nor selects at a later release.
    Perform(WM_CANCELMODE, 0, 0);
}

DWORD XFileListView::DropEffectFromKeyState(DWORD keyState)
{
    if (!(keyState & MK_CONTROL))
        return DROPEFFECT_MOVE;
    return (keyState & MK_SHIFT) ? DROPEFFECT_LINK : DROPEFFECT_COPY;
}

// The keys' effect when the source allows it. With no key held the move is only the default: a
// source that does not allow it gets what it offers, a copy first, then a move, then a link.
DWORD XFileListView::OfferedEffect(DWORD keyState, DWORD allowed)
{
    DWORD wanted = DropEffectFromKeyState(keyState);
    if ((wanted & allowed) || (keyState & (MK_CONTROL | MK_SHIFT)))
        return wanted & allowed;
    for (DWORD offered : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & offered)
            return offered;
    return DROPEFFECT_NONE;
}

void XFileListView::SetDropTargetIndex(DWORD keyState, POINTL point, DWORD* effect)
{
    DWORD allowed = *effect; // what the source allows, as the drag tells its target
    *effect = DROPEFFECT_NONE;
    TPoint client = ScreenToClient(TPoint(point.x, point.y));
    TListItem* item = GetItemAt(client.x, client.y);
    int target = -1;
    if (XFileItem* r = item ? Record(item->Index()) : nullptr)
    {
        bool folder = r->FileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (!m_dragFromThis)
        {
            if (folder)
                target = item->Index();
            *effect = OfferedEffect(keyState, allowed);
        }
        else if (!item->Selected() && folder)
        {
            target = item->Index();
            *effect = OfferedEffect(keyState, allowed);
        }
    }
    else if (!m_dragFromThis)
        *effect = DROPEFFECT_COPY;
    MarkDropTarget(target);
}

void XFileListView::MarkDropTarget(int index)
{
    if (index == m_dropTargetIndex)
        return;
    if (TListItem* old = Items()->Item(m_dropTargetIndex))
        old->SetDropTarget(false);
    if (TListItem* now = Items()->Item(index))
        now->SetDropTarget(true);
    m_dropTargetIndex = index;
}

void XFileListView::DragEnterEvent(IDataObject* Data, DWORD KeyState, POINTL, DWORD* Effect, HRESULT& Result)
{
    // A drag of files is taken up by its form alone: whether another program's list can be taken
    // whole is told at the drop, with a word to the user, not by a drag refused without one.
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    m_dropAcceptable = Data && Data->QueryGetData(&format) == S_OK;
    m_dragFromThis = Data && Data == m_runningDrag;
    if (m_dropAcceptable)
        *Effect = OfferedEffect(KeyState, *Effect);
    else
    {
        *Effect = DROPEFFECT_NONE;
        Result = DRAGDROP_S_CANCEL;
    }
}

void XFileListView::DragOverEvent(DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT&)
{
    SetDropTargetIndex(KeyState, Point, Effect);
}

void XFileListView::DragLeaveEvent(HRESULT&)
{
    MarkDropTarget(-1);
}

void XFileListView::DropEvent(IDataObject* Data, DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT&)
{
    std::u16string destination(GetPath().c_str());
    if (destination.empty() || destination.back() != u'/')
        destination += u'/';
    SetDropTargetIndex(KeyState, Point, Effect);
    if (XFileItem* r = Record(m_dropTargetIndex))
        destination += r->Name;
    MarkDropTarget(-1);
    // The source hears the effect only of what was wholly done: told of a move, it may delete its
    // originals.
    DWORD wanted = *Effect;
    *Effect = DROPEFFECT_NONE;
    std::u16string list;
    if (!ReadDropFiles(Data, list))
        return;
    destination.push_back(0);
    UINT function = (wanted & DROPEFFECT_MOVE) ? FO_MOVE : (wanted & DROPEFFECT_COPY) ? FO_COPY : 0;
    if (function && FileOperation(destination.c_str(), list.c_str(), function, 0) == 0 && !m_operationAborted)
        *Effect = function == FO_MOVE ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
}
