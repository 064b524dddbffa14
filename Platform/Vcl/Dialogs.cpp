// The open dialog's window: a modal form of our own drawing over Vcl::FileBrowser.
#include "Platform/Vcl/Dialogs.h"

#include "Platform/Vcl/DialogForms.h"

#include <algorithm>
#include <cstdlib>

#include <unistd.h>

namespace
{
// Posted to the dialog's form before its modal loop starts, so that OnShow fires once it shows.
constexpr UINT CM_DIALOGSHOWN = CM_BASE + 0x200;

int RowHeight(TCanvas* canvas)
{
    return std::max(16, canvas->TextHeight(u"Wg") + 3);
}

UnicodeString CurrentFolder()
{
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer))
        return UnicodeString(Platform::FromUtf8(buffer));
    const char* home = std::getenv("HOME");
    return UnicodeString(Platform::FromUtf8(home ? home : "/"));
}

// The folder and name parts of a path given with either separator.
void SplitPath(const UnicodeString& path, UnicodeString& folder, UnicodeString& name)
{
    const std::u16string& text = path.str();
    size_t slash = text.find_last_of(u"/\\");
    if (slash == std::u16string::npos)
    {
        folder = UnicodeString();
        name = path;
        return;
    }
    folder = text.substr(0, slash + 1);
    name = text.substr(slash + 1);
}
} // namespace

// ---- TFileListView ---------------------------------------------------------------------------

TFileListView::TFileListView(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetTabStop(true);
    SetColor(clWindow);
}

void TFileListView::SetBrowser(Vcl::FileBrowser* browser)
{
    m_browser = browser;
    Reload();
}

int TFileListView::Count() const
{
    return m_browser ? static_cast<int>(m_browser->Items().size()) : 0;
}

void TFileListView::Reload()
{
    m_itemIndex = Count() > 0 ? 0 : -1;
    m_topIndex = 0;
    m_typed.clear();
    Invalidate();
}

int TFileListView::VisibleRows()
{
    return std::max(1, (Height() - 4) / RowHeight(Canvas()));
}

void TFileListView::SetItemIndex(int index)
{
    if (Count() == 0)
        index = -1;
    else
        index = std::clamp(index, 0, Count() - 1);
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    if (index >= 0)
    {
        int rows = VisibleRows();
        if (index < m_topIndex)
            m_topIndex = index;
        else if (index >= m_topIndex + rows)
            m_topIndex = index - rows + 1;
    }
    Invalidate();
    OnSelect(this);
}

const Vcl::FileItem* TFileListView::Selected() const
{
    if (m_itemIndex < 0 || m_itemIndex >= Count())
        return nullptr;
    return &m_browser->Items()[static_cast<size_t>(m_itemIndex)];
}

int TFileListView::ItemAt(int y)
{
    int row = (y - 2) / RowHeight(Canvas());
    int index = m_topIndex + row;
    return y >= 2 && index < Count() ? index : -1;
}

void TFileListView::Paint()
{
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetColor(clWindow);
    canvas->FillRect(client);
    RECT edge = client;
    DrawEdge(canvas->Handle(), &edge, EDGE_SUNKEN, BF_RECT);

    const int row = RowHeight(canvas);
    const int right = client.right - 2;
    const int rows = VisibleRows();
    for (int i = 0; i < rows && m_topIndex + i < Count(); ++i)
    {
        int index = m_topIndex + i;
        const Vcl::FileItem& item = m_browser->Items()[static_cast<size_t>(index)];
        TRect line(2, 2 + i * row, right, 2 + (i + 1) * row);
        bool selected = index == m_itemIndex;
        TColor back = selected ? (Focused() ? clHighlight : clBtnFace) : clWindow;
        TColor text = selected && Focused() ? clHighlightText : clWindowText;
        canvas->Brush()->SetColor(back);
        canvas->FillRect(line);
        DrawIcon(line.left + 3, line.top + (row - 12) / 2, item.Folder);
        canvas->Brush()->SetStyle(bsClear);
        canvas->Font()->SetColor(text);
        int textTop = line.top + (row - canvas->TextHeight(item.Name)) / 2;
        canvas->TextRect(TRect(line.left + 20, line.top, line.right, line.bottom), line.left + 20, textTop, item.Name);
        canvas->Brush()->SetStyle(bsSolid);
        if (selected && Focused())
            canvas->DrawFocusRect(line);
    }
    if (Count() > rows)
    {
        // Where the shown rows lie in the whole list.
        int track = client.Height() - 4;
        int thumb = std::max(8, track * rows / Count());
        int top = 2 + (track - thumb) * m_topIndex / std::max(1, Count() - rows);
        canvas->Brush()->SetColor(clBtnShadow);
        canvas->FillRect(TRect(right - 4, top, right - 1, top + thumb));
    }
}

void TFileListView::DrawIcon(int x, int y, bool folder)
{
    TCanvas* canvas = Canvas();
    canvas->Pen()->SetColor(clBtnShadow);
    if (folder)
    {
        canvas->Brush()->SetColor(0x4CC8F0); // a manila folder
        canvas->Rectangle(x, y + 2, x + 14, y + 12);
        canvas->Rectangle(x, y, x + 6, y + 3);
    }
    else
    {
        canvas->Brush()->SetColor(clWhite);
        canvas->Rectangle(x + 2, y, x + 12, y + 12);
        canvas->MoveTo(x + 4, y + 4);
        canvas->LineTo(x + 10, y + 4);
        canvas->MoveTo(x + 4, y + 7);
        canvas->LineTo(x + 10, y + 7);
    }
}

LRESULT TFileListView::DialogCode()
{
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

void TFileListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        int index = ItemAt(Y);
        if (index >= 0)
            SetItemIndex(index);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TFileListView::DblClick()
{
    TCustomControl::DblClick();
    if (Selected())
        OnOpen(this);
}

void TFileListView::KeyDown(WORD& Key, TShiftState Shift)
{
    int rows = VisibleRows();
    switch (Key)
    {
    case VK_UP: SetItemIndex(m_itemIndex - 1); break;
    case VK_DOWN: SetItemIndex(m_itemIndex + 1); break;
    case VK_PRIOR: SetItemIndex(m_itemIndex - (rows - 1)); break;
    case VK_NEXT: SetItemIndex(m_itemIndex + (rows - 1)); break;
    case VK_HOME: SetItemIndex(0); break;
    case VK_END: SetItemIndex(Count() - 1); break;
    case VK_BACK: OnParent(this); break;
    default: TCustomControl::KeyDown(Key, Shift); return;
    }
    Key = 0;
}

void TFileListView::KeyPress(WCHAR& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key < u' ' || Count() == 0)
        return;
    // Type-ahead: the next name that starts with what was typed (a repeated letter cycles).
    WCHAR lower = ToLowerWide(Key);
    if (m_typed.size() == 1 && m_typed[0] == lower)
        m_typed.clear();
    DWORD now = GetTickCount();
    if (now - m_typedAt > 1000)
        m_typed.clear();
    m_typedAt = now;
    m_typed += lower;
    int start = m_typed.size() == 1 ? m_itemIndex + 1 : std::max(m_itemIndex, 0);
    for (int i = 0; i < Count(); ++i)
    {
        int index = (start + i) % Count();
        const std::u16string& name = m_browser->Items()[static_cast<size_t>(index)].Name.str();
        if (name.size() < m_typed.size())
            continue;
        bool match = true;
        for (size_t c = 0; c < m_typed.size() && match; ++c)
            match = ToLowerWide(name[c]) == m_typed[c];
        if (match)
        {
            SetItemIndex(index);
            break;
        }
    }
    Key = 0;
}

// ---- TOpenDialogForm -------------------------------------------------------------------------

TOpenDialogForm::TOpenDialogForm(TComponent* AOwner, TOpenDialog* dialog) : TForm(AOwner), m_dialog(dialog)
{
    const bool sizing = dialog->Options.Contains(ofEnableSizing);
    SetBorderStyle(sizing ? bsSizeable : bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(dialog->Title.IsEmpty() ? UnicodeString(u"Open") : dialog->Title);
    SetClientWidth(480);
    SetClientHeight(320);
    const int w = ClientWidth();
    const int h = ClientHeight();

    LookInLabel = new TLabel(this);
    LookInLabel->SetParent(this);
    LookInLabel->SetBounds(8, 12, 52, 13);
    LookInLabel->SetCaption(u"Look in:");

    FolderLabel = new TLabel(this);
    FolderLabel->SetAutoSize(false);
    FolderLabel->SetParent(this);
    FolderLabel->SetBounds(64, 12, w - 64 - 56, 13);
    FolderLabel->SetAnchors({akLeft, akTop, akRight});

    UpBtn = new TButton(this);
    UpBtn->SetParent(this);
    UpBtn->SetBounds(w - 8 - 44, 7, 44, 23);
    UpBtn->SetAnchors({akTop, akRight});
    UpBtn->SetCaption(u"Up");
    UpBtn->OnClick = MakeClosure(this, &TOpenDialogForm::UpBtnClick);

    List = new TFileListView(this);
    List->SetParent(this);
    List->SetBounds(8, 36, w - 16, h - 36 - 76);
    List->SetAnchors({akLeft, akTop, akRight, akBottom});
    List->OnSelect = MakeClosure(this, &TOpenDialogForm::ListSelect);
    List->OnOpen = MakeClosure(this, &TOpenDialogForm::ListOpen);
    List->OnParent = MakeClosure(this, &TOpenDialogForm::UpBtnClick);

    FileNameLabel = new TLabel(this);
    FileNameLabel->SetParent(this);
    FileNameLabel->SetBounds(8, h - 62, 76, 13);
    FileNameLabel->SetAnchors({akLeft, akBottom});
    FileNameLabel->SetCaption(u"File name:");

    FileNameEdit = new TEdit(this);
    FileNameEdit->SetParent(this);
    FileNameEdit->SetBounds(88, h - 66, w - 88 - 8 - 75 - 8, 21);
    FileNameEdit->SetAnchors({akLeft, akRight, akBottom});

    OpenBtn = new TButton(this);
    OpenBtn->SetParent(this);
    OpenBtn->SetBounds(w - 8 - 75, h - 67, 75, 23);
    OpenBtn->SetAnchors({akRight, akBottom});
    OpenBtn->SetCaption(u"Open");
    OpenBtn->SetDefault(true);
    OpenBtn->OnClick = MakeClosure(this, &TOpenDialogForm::OpenBtnClick);

    TypeLabel = new TLabel(this);
    TypeLabel->SetParent(this);
    TypeLabel->SetBounds(8, h - 32, 76, 13);
    TypeLabel->SetAnchors({akLeft, akBottom});
    TypeLabel->SetCaption(u"Files of type:");

    FilterLabel = new TLabel(this);
    FilterLabel->SetAutoSize(false);
    FilterLabel->SetParent(this);
    FilterLabel->SetBounds(88, h - 32, w - 88 - 8 - 75 - 8, 13);
    FilterLabel->SetAnchors({akLeft, akRight, akBottom});

    CancelBtn = new TButton(this);
    CancelBtn->SetParent(this);
    CancelBtn->SetBounds(w - 8 - 75, h - 37, 75, 23);
    CancelBtn->SetAnchors({akRight, akBottom});
    CancelBtn->SetCaption(u"Cancel");
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    // Tab walks: the list, the name, Open, Cancel, Up.
    List->SetTabOrder(0);
    FileNameEdit->SetTabOrder(1);
    OpenBtn->SetTabOrder(2);
    CancelBtn->SetTabOrder(3);
    UpBtn->SetTabOrder(4);

    auto filters = Vcl::ParseFilter(dialog->Filter);
    UnicodeString masks = u"*";
    if (!filters.empty())
    {
        size_t index = static_cast<size_t>(std::clamp(dialog->FilterIndex, 1, static_cast<int>(filters.size())) - 1);
        masks = filters[index].Masks;
        FilterLabel->SetCaption(filters[index].Description);
    }
    else
        FilterLabel->SetCaption(u"All files");
    Browser.SetMasks(masks);

    UnicodeString folder, name;
    SplitPath(dialog->FileName, folder, name);
    if (!Browser.Open(dialog->InitialDir) && !Browser.Open(folder) && !Browser.Open(CurrentFolder()))
        Browser.Open(u"/");
    List->SetBrowser(&Browser);
    FolderLabel->SetCaption(Browser.Folder());
    int index = Browser.IndexOf(name);
    if (index >= 0)
        List->SetItemIndex(index);
    FileNameEdit->SetText(name);
    SetActiveControl(FileNameEdit);
    FileNameEdit->SelectAll();
}

void TOpenDialogForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_DIALOGSHOWN)
    {
        m_dialog->OnShow(m_dialog);
        return;
    }
    TForm::Dispatch(Message);
}

void TOpenDialogForm::FolderChanged()
{
    List->Reload();
    FolderLabel->SetCaption(Browser.Folder());
}

void TOpenDialogForm::UpBtnClick(TObject*)
{
    if (Browser.OpenParent())
        FolderChanged();
}

void TOpenDialogForm::ListSelect(TObject*)
{
    const Vcl::FileItem* item = List->Selected();
    if (item && !item->Folder)
        FileNameEdit->SetText(item->Name);
}

void TOpenDialogForm::ListOpen(TObject*)
{
    const Vcl::FileItem* item = List->Selected();
    if (!item)
        return;
    if (item->Folder)
    {
        if (Browser.Open(Browser.Folder() + item->Name))
            FolderChanged();
        return;
    }
    FileNameEdit->SetText(item->Name);
    OpenBtnClick(this);
}

void TOpenDialogForm::OpenBtnClick(TObject*)
{
    // Enter on a folder in the list opens it, as does an empty name with a folder selected.
    const Vcl::FileItem* item = List->Selected();
    if (item && item->Folder && (List->Focused() || FileNameEdit->Text().IsEmpty()))
    {
        ListOpen(this);
        return;
    }

    using Outcome = Vcl::FileBrowser::Outcome;
    auto result = Browser.Accept(FileNameEdit->Text(), m_dialog->DefaultExt, m_dialog->Options);
    switch (result.outcome)
    {
    case Outcome::None:
        return;
    case Outcome::OpenedFolder:
        FolderChanged();
        FileNameEdit->SetText(UnicodeString());
        return;
    case Outcome::Filtered:
        List->Reload();
        return;
    case Outcome::Accepted:
        m_fileName = result.FileName;
        SetModalResult(mrOk);
        return;
    case Outcome::PathMissing:
        Complain(result.FileName + u"\nThe folder does not exist.\nCheck the path and try again.");
        return;
    case Outcome::FileMissing:
    {
        UnicodeString folder, name;
        SplitPath(result.FileName, folder, name);
        Complain(name + u"\nFile not found.\nCheck the file name and try again.");
        return;
    }
    }
}

void TOpenDialogForm::Complain(const UnicodeString& text)
{
    MessageBoxW(Handle(), text.c_str(), Caption().c_str(), MB_OK | MB_ICONWARNING);
    SetActiveControl(FileNameEdit);
    FileNameEdit->SelectAll();
}

// ---- TOpenDialog -----------------------------------------------------------------------------

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute()
{
    TOpenDialogForm* form = new TOpenDialogForm(Application, this);
    m_form = form;
    bool chosen = false;
    try
    {
        PostMessageW(form->Handle(), CM_DIALOGSHOWN, 0, 0);
        chosen = form->ShowModal() == mrOk;
        if (chosen)
            FileName = form->ChosenFileName();
    }
    catch (...)
    {
        m_form = nullptr;
        form->Free();
        throw;
    }
    m_form = nullptr;
    form->Free();
    OnClose(this);
    return chosen;
}
