#include "Controls/XFileTreeView.h"

#include <algorithm>

using namespace ShellUtils;

namespace
{
constexpr UINT NodeInfoFlags = SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_ATTRIBUTES | SHGFI_SYSICONINDEX; // 0x4A08

void Raise(HRESULT hr)
{
    if (FAILED(hr))
        throw EOleSysError(u"OLE error " + UnicodeString(std::to_string(static_cast<uint32_t>(hr)).c_str()));
}

// Bytes of the first item of an id list (its count included).
WORD FirstItemSize(LPCITEMIDLIST list)
{
    WORD cb = 0;
    if (list)
        std::memcpy(&cb, list, 2);
    return cb;
}
} // namespace

XFileTreeNode::~XFileTreeNode()
{
    if (IdList)
        m_malloc->Free(IdList);
}

XFileTreeView::XFileTreeView(TComponent* AOwner) : TCustomTreeView(AOwner)
{
    Raise(OleInitialize(nullptr));
    Raise(SHGetDesktopFolder(&m_desktop));
    Raise(SHGetMalloc(&m_malloc));
    OnCompare = MakeClosure(this, &XFileTreeView::OnFileNodeCompare);
    // The window is there from construction on: its set-up runs now, and only once.
    HandleNeeded();
}

XFileTreeView::~XFileTreeView()
{
    // The nodes go first: each frees its id list with the allocator.
    Items()->Clear();
    if (m_desktop)
        m_desktop->Release();
    if (m_malloc)
        m_malloc->Release();
    OleUninitialize();
}

void XFileTreeView::CreateWnd()
{
    TCustomTreeView::CreateWnd();
    Perform(TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(GetSmallImageList()));
    Refresh();
}

TTreeNode* XFileTreeView::CreateNode()
{
    return new XFileTreeNode(Items(), m_malloc);
}

void XFileTreeView::Refresh()
{
    Items()->BeginUpdate();
    try
    {
        SetSelected(nullptr);
        Items()->Clear();
        XFileTreeNode* root = MakeNode(nullptr, CSIDL_DESKTOP);
        for (int folder : {CSIDL_DRIVES, CSIDL_CONTROLS, CSIDL_PERSONAL, CSIDL_NETWORK})
            MakeNode(root, folder);
    }
    catch (...)
    {
        Items()->EndUpdate();
        AlphaSort(false);
        throw;
    }
    Items()->EndUpdate();
    AlphaSort(false);
    Invalidate();
}

XFileTreeNode* XFileTreeView::MakeNode(XFileTreeNode* parent, int folder)
{
    LPITEMIDLIST list = nullptr;
    Raise(SHGetSpecialFolderLocation(Handle(), folder, &list));
    SHFILEINFOW info{};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info, NodeInfoFlags);
    auto* node = static_cast<XFileTreeNode*>(Items()->AddChild(parent, info.szDisplayName));
    node->SetHasChildren(info.dwAttributes & SFGAO_HASSUBFOLDER);
    node->ImageIndex = info.iIcon;
    node->SelectedIndex = info.iIcon;
    node->Attributes = info.dwAttributes;
    node->IdList = list;
    return node;
}

bool XFileTreeView::CanExpand(TTreeNode* Node)
{
    if (Node->Count() > 0)
        return true;
    auto* node = static_cast<XFileTreeNode*>(Node);
    if (!(node->Attributes & SFGAO_HASSUBFOLDER))
        return false;
    if (LPITEMIDLIST list = GetPathIdList(node))
    {
        EnumFileItems(list, node);
        m_malloc->Free(list);
    }
    else if (!node->Parent() && node->IdList)
        EnumFileItems(node->IdList, node); // the root: the desktop itself
    return true;
}

void XFileTreeView::EnumFileItems(LPCITEMIDLIST idList, XFileTreeNode* node)
{
    IShellFolder* folder = nullptr;
    if (FAILED(m_desktop->BindToObject(idList, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))) ||
        !folder)
        return;
    IEnumIDList* enumerator = nullptr;
    if (folder->EnumObjects(Handle(), SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, &enumerator) != S_OK || !enumerator)
    {
        folder->Release();
        return;
    }
    UINT base = GetIdListSize(idList);
    UINT capacity = base + 64;
    auto* scratch = static_cast<BYTE*>(m_malloc->Alloc(capacity));
    if (base)
        std::memcpy(scratch, idList, base);
    LPITEMIDLIST id = nullptr;
    ULONG fetched = 0;
    while (enumerator->Next(1, &id, &fetched) == S_OK)
    {
        UINT size = GetIdListSize(id);
        if (base + size + 2 > capacity)
        {
            capacity = base + size + 2;
            scratch = static_cast<BYTE*>(m_malloc->Realloc(scratch, capacity));
        }
        std::memcpy(scratch + base, id, size);
        scratch[base + size] = scratch[base + size + 1] = 0;
        SHFILEINFOW info{};
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(scratch), 0, &info, sizeof info, NodeInfoFlags);
        auto* child = static_cast<XFileTreeNode*>(Items()->AddChild(node, info.szDisplayName));
        child->SetHasChildren(info.dwAttributes & SFGAO_HASSUBFOLDER);
        child->ImageIndex = info.iIcon;
        child->SelectedIndex = info.iIcon;
        child->Attributes = info.dwAttributes;
        child->IdList = id;
    }
    m_malloc->Free(scratch);
    enumerator->Release();
    folder->Release();
    if (SortType() != stNone)
        FileTreeSort(false);
}

LPITEMIDLIST XFileTreeView::GetPathIdList(TTreeNode* Node)
{
    if (!Node || !Node->Parent())
        return nullptr;
    // Up to the child of the root, which holds the absolute list; below it each node holds one id.
    std::vector<XFileTreeNode*> chain;
    TTreeNode* node = Node;
    while (node->Parent() && node->Parent()->Parent())
    {
        chain.push_back(static_cast<XFileTreeNode*>(node));
        node = node->Parent();
    }
    auto* top = static_cast<XFileTreeNode*>(node);
    UINT total = GetIdListSize(top->IdList);
    for (XFileTreeNode* n : chain)
        total += GetIdListSize(n->IdList);
    auto* list = static_cast<BYTE*>(m_malloc->Alloc(total + 2));
    UINT at = GetIdListSize(top->IdList);
    std::memcpy(list, top->IdList, at);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    {
        UINT size = GetIdListSize((*it)->IdList);
        std::memcpy(list + at, (*it)->IdList, size);
        at += size;
    }
    list[at] = list[at + 1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(list);
}

UnicodeString XFileTreeView::GetPath()
{
    LPITEMIDLIST list = GetPathIdList(Selected());
    if (!list)
        return UnicodeString();
    WCHAR path[MAX_PATH];
    if (!SHGetPathFromIDListW(list, path))
        path[0] = 0;
    m_malloc->Free(list);
    return UnicodeString(path);
}

void XFileTreeView::SetPath(const UnicodeString& path)
{
    if (path == GetPath())
        return;
    std::u16string text(path.c_str());
    ULONG eaten = static_cast<ULONG>(text.size());
    ULONG attributes = 0;
    LPITEMIDLIST list = nullptr;
    if (FAILED(m_desktop->ParseDisplayName(Handle(), nullptr, text.data(), &eaten, &list, &attributes)) || !list)
        return;
    TTreeNode* current = Items()->GetFirstNode();
    if (current)
        current->Expand(false);
    auto* item = reinterpret_cast<const BYTE*>(list);
    while (current)
    {
        WORD cb = FirstItemSize(reinterpret_cast<LPCITEMIDLIST>(item));
        if (cb == 0)
            break;
        TTreeNode* match = nullptr;
        for (int i = 0; i < current->Count() && !match; ++i)
        {
            auto* child = static_cast<XFileTreeNode*>(current->Item(i));
            if (child->IdList && GetIdListSize(child->IdList) >= cb && std::memcmp(child->IdList, item, cb) == 0)
                match = child;
        }
        if (!match)
            break;
        match->Expand(false);
        SetSelected(nullptr);
        SetSelected(match);
        current = match;
        item += cb;
    }
    m_malloc->Free(list);
}

void XFileTreeView::FileTreeSort(bool recurse)
{
    AlphaSort(recurse);
}

void XFileTreeView::OnFileNodeCompare(TObject*, TTreeNode* Node1, TTreeNode* Node2, int, int& Compare)
{
    auto* a = static_cast<XFileTreeNode*>(Node1);
    auto* b = static_cast<XFileTreeNode*>(Node2);
    int folderA = (a->Attributes & SFGAO_FOLDER) ? 1 : 0;
    int folderB = (b->Attributes & SFGAO_FOLDER) ? 1 : 0;
    Compare = folderB - folderA;
    if (Compare == 0)
        Compare = CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a->Text.c_str(), -1, b->Text.c_str(), -1) - 2;
}
