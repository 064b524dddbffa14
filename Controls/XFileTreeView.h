// A folder tree over the shell namespace: the desktop at the root, its four folders under it, and
// each folder's subfolders filled in when it first opens. It can be set to a path and reads the
// file-system path of the selected folder.
#pragma once

#include "Controls/ShellUtils.h"
#include "Platform/Vcl/ComCtrls.h"

class XFileTreeView;

// A node with its id list: absolute for the root and the special folders, its own single id for
// the folders found under them. The node frees it with the tree's allocator.
class XFileTreeNode : public TTreeNode
{
public:
    XFileTreeNode(TTreeNodes* owner, IMalloc* malloc) : TTreeNode(owner), m_malloc(malloc) {}
    ~XFileTreeNode() override;
    LPITEMIDLIST IdList = nullptr;
    ULONG Attributes = 0;

private:
    IMalloc* m_malloc;
};

class XFileTreeView : public TCustomTreeView
{
public:
    explicit XFileTreeView(TComponent* AOwner);
    ~XFileTreeView() override;

    bool OnlyFolders() const { return false; }
    // The file-system path of the selected folder; empty for none, the root or a folder outside
    // the file system.
    UnicodeString GetPath();
    // Opens the chain of folders down to the path and selects the deepest one reached; nothing
    // when the path is the current one or cannot be parsed.
    void SetPath(const UnicodeString& path);
    void Refresh();
    XFileTreeNode* MakeNode(XFileTreeNode* parent, int folder);
    void EnumFileItems(LPCITEMIDLIST idList, XFileTreeNode* node);
    // A new absolute id list of the node (the caller frees it), or null for none or the root.
    LPITEMIDLIST GetPathIdList(TTreeNode* node);
    void FileTreeSort(bool recurse);
    void OnFileNodeCompare(TObject* Sender, TTreeNode* Node1, TTreeNode* Node2, int Data, int& Compare);

protected:
    void CreateWnd() override;
    TTreeNode* CreateNode() override;
    bool CanExpand(TTreeNode* Node) override;

private:
    IShellFolder* m_desktop = nullptr;
    IMalloc* m_malloc = nullptr;
};
