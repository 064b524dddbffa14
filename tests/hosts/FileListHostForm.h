// The file list host's window: the folder tree on the left, a splitter, and the file list in report
// view filling the rest. A folder chosen in the tree opens in the list; a folder the list enters
// is chosen in the tree. The host program and the tests that measure its rows build it alike.
#pragma once

#include "Controls/XFileListView.h"
#include "Controls/XFileTreeView.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"

class FileListHostForm
{
public:
    static constexpr int Width = 720;
    static constexpr int Height = 360;
    static constexpr int TreeWidth = 200;

    // Fills `form` (its client size too) and opens `folder` in the list and the tree.
    FileListHostForm(TForm* form, const UnicodeString& folder)
    {
        form->SetClientWidth(Width);
        form->SetClientHeight(Height);
        tree = new XFileTreeView(form);
        tree->SetParent(form);
        tree->SetAlign(alLeft);
        tree->SetWidth(TreeWidth);
        auto* splitter = new TSplitter(form);
        splitter->SetParent(form);
        splitter->SetLeft(TreeWidth);
        splitter->SetAlign(alLeft);
        list = new XFileListView(form);
        list->SetParent(form);
        list->SetAlign(alClient);
        list->SetViewStyle(vsReport);
        list->SetMultiSelect(true);
        // The list's own menu (shown with nothing selected) and Ctrl+V paste what the clipboard holds.
        menu = new TPopupMenu(form);
        auto* paste = new TMenuItem(menu);
        paste->SetCaption(u"Paste");
        paste->OnClick = MakeClosure(this, &FileListHostForm::PasteClicked);
        menu->Items()->Add(paste);
        list->SetPopupMenu(menu);
        list->OnKeyDown = MakeClosure(this, &FileListHostForm::ListKeyDown);
        tree->OnChange = MakeClosure(this, &FileListHostForm::TreeChanged);
        list->OnFolderChange = MakeClosure(this, &FileListHostForm::ListFolderChanged);
        list->SetPath(folder);
    }

    XFileTreeView* tree = nullptr;
    XFileListView* list = nullptr;
    TPopupMenu* menu = nullptr;

private:
    void PasteClicked(TObject*) { list->PasteFromClipboard(); }
    void ListKeyDown(TObject*, WORD& key, TShiftState shift)
    {
        if (key == 'V' && shift.Contains(ssCtrl) && !shift.Contains(ssAlt) && !shift.Contains(ssShift))
            list->PasteFromClipboard();
    }
    void TreeChanged(TObject*, TTreeNode* node)
    {
        if (m_following || !node)
            return;
        UnicodeString path = tree->GetPath();
        if (path.Length() == 0 || path == list->GetPath())
            return;
        m_following = true;
        list->SetPath(path);
        m_following = false;
    }
    void ListFolderChanged(TObject*)
    {
        if (m_following)
            return;
        m_following = true;
        tree->SetPath(list->GetPath());
        m_following = false;
    }

    bool m_following = false;
};
