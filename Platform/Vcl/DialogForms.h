// The open dialog's window and its list of folders and files. Tests reach them through
// TOpenDialog::Form() while the dialog shows.
#pragma once

#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <string>

// The folders and files of a FileBrowser, one row each with an icon. A click selects, a double
// click or Enter opens, Backspace goes to the parent folder, typed letters jump to a name.
class TFileListView : public TCustomControl
{
public:
    explicit TFileListView(TComponent* AOwner);

    void SetBrowser(Vcl::FileBrowser* browser);
    // The browser's folder changed: the first row is selected and shown.
    void Reload();
    int Count() const;
    int ItemIndex() const { return m_itemIndex; }
    // Selects the row (clamped) and scrolls it into view; fires OnSelect on a change.
    void SetItemIndex(int index);
    const Vcl::FileItem* Selected() const;
    int TopIndex() const { return m_topIndex; }
    // The row under a y of the control's client area, or -1.
    int ItemAt(int y);

    TNotifyEvent OnSelect;
    TNotifyEvent OnOpen;
    TNotifyEvent OnParent;

protected:
    void Paint() override;
    LRESULT DialogCode() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;

private:
    int VisibleRows();
    void DrawIcon(int x, int y, bool folder);

    Vcl::FileBrowser* m_browser = nullptr;
    int m_itemIndex = -1;
    int m_topIndex = 0;
    std::u16string m_typed;
    DWORD m_typedAt = 0;
};

class TOpenDialogForm : public TForm
{
public:
    TOpenDialogForm(TComponent* AOwner, TOpenDialog* dialog);

    TLabel* LookInLabel;
    TLabel* FolderLabel;
    TButton* UpBtn;
    TFileListView* List;
    TLabel* FileNameLabel;
    TEdit* FileNameEdit;
    TButton* OpenBtn;
    TLabel* TypeLabel;
    TLabel* FilterLabel;
    TButton* CancelBtn;
    Vcl::FileBrowser Browser;

    // The full path chosen with Open.
    const UnicodeString& ChosenFileName() const { return m_fileName; }

    void Dispatch(TMessage& Message) override;

private:
    void FolderChanged();
    void UpBtnClick(TObject* Sender);
    void ListSelect(TObject* Sender);
    void ListOpen(TObject* Sender);
    void OpenBtnClick(TObject* Sender);
    void Complain(const UnicodeString& text);

    TOpenDialog* m_dialog;
    UnicodeString m_fileName;
};
