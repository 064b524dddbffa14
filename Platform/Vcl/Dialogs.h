// The class library's dialogs, drawn by us as modal forms: the message box and the open dialog.
// The open dialog's folder browsing (listing, filter, typed names, the checks of its options)
// lives in Vcl::FileBrowser, apart from the drawing, so that it works the same with or without a
// display.
#pragma once

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include <string>
#include <vector>

// A message box: the text wrapped beside an optional icon, and a row of buttons as the style
// (MB_OK, MB_OKCANCEL, MB_YESNO ...) asks. The MB_DEFBUTTONn button has the focus; Enter presses
// the focused button; Escape and the close button answer Cancel (or OK in a box with OK alone) and
// do nothing in a box without either; a button's underlined letter presses it.
class TMessageForm : public TForm
{
public:
    TMessageForm(const UnicodeString& text, const UnicodeString& caption, UINT type);

    int ButtonCount() const { return static_cast<int>(m_buttons.size()); }
    TButton* Buttons(int index) const { return m_buttons.at(static_cast<size_t>(index)); }
    TLabel* Message() const { return m_message; }
    // The answer for Escape and the close button; 0 when the box has none.
    int EscapeResult() const { return m_escapeResult; }
    // Shows the box modally and returns the answer (IDOK ...).
    int Execute();

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;

private:
    void ButtonKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);

    UINT m_icon = 0; // MB_ICONHAND ... or 0
    TRect m_iconRect;
    TLabel* m_message;
    std::vector<TButton*> m_buttons;
    int m_escapeResult = 0;
    int m_defaultResult = IDOK;
};

namespace Vcl
{
// Shows a TMessageForm modally; the message-box handler of the desktop presenter.
int MessageBoxForm(const UnicodeString& text, const UnicodeString& caption, UINT type);
} // namespace Vcl

enum TOpenOption
{
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing,
    ofDontAddToRecent,
    ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;

namespace Vcl
{
// One "description|masks" pair of a dialog's filter.
struct FileFilter
{
    UnicodeString Description;
    UnicodeString Masks; // "*.pck;Models.pck"
};
// "desc|masks|desc|masks"; a trailing description without masks is dropped.
std::vector<FileFilter> ParseFilter(const UnicodeString& filter);
// Whether the name matches one of the ';'-separated masks, with '*' and '?' as wildcards and
// without case, as file names match on Windows. "*.*" matches every name, also one without a dot.
bool MatchesMask(const UnicodeString& name, const UnicodeString& masks);

struct FileItem
{
    UnicodeString Name;
    bool Folder = false;
};

// The folder an open dialog shows and what its OK button does with a typed name. Paths are native
// ('/'); a typed name may also use '\' and differ in case from the file on disk.
class FileBrowser
{
public:
    // Shows the folder; false (and nothing changes) when it is no folder that can be read.
    bool Open(const UnicodeString& folder);
    // The parent of the current folder; false at the root.
    bool OpenParent();
    // Lists the current folder again.
    void Refresh();
    // The current folder, ending in '/'.
    const UnicodeString& Folder() const { return m_folder; }
    // Folders, then the files the masks match, each group in the case-insensitive order of names;
    // hidden entries (a leading dot) are left out.
    const std::vector<FileItem>& Items() const { return m_items; }
    // The masks the files must match ("*" when empty); lists the folder again.
    void SetMasks(const UnicodeString& masks);
    const UnicodeString& Masks() const { return m_masks; }
    // The index of the item of that name (exact first, then without case), or -1.
    int IndexOf(const UnicodeString& name) const;

    enum class Outcome
    {
        None,         // nothing typed
        OpenedFolder, // the name was a folder, which is now shown
        Filtered,     // the name's last part held wildcards, which now filter its folder's list
        Accepted,     // FileName holds the chosen file
        PathMissing,  // the file's folder does not exist (path-must-exist)
        FileMissing   // the file does not exist (file-must-exist)
    };
    struct Result
    {
        Outcome outcome = Outcome::None;
        UnicodeString FileName; // the full path of the chosen (or missing) file
    };
    // What OK does with the file-name box's text, a path relative to the current folder (or
    // absolute, or under "~/"): a folder is opened; wildcards in the last part open the folder
    // before it (the current one when none is typed) and filter it, and a folder that does not
    // exist there is missing; a file is checked against the options. A name without an extension
    // that does not exist as typed gets the default extension.
    Result Accept(const UnicodeString& typed, const UnicodeString& defaultExt, TOpenOptions options);

private:
    UnicodeString m_folder;
    UnicodeString m_masks = u"*";
    std::vector<FileItem> m_items;
};
} // namespace Vcl

class TOpenDialogForm;

// Lets the user pick a file. Execute shows a modal dialog of our own drawing: the current folder,
// a list of its folders and of the files the filter matches, a file-name box, Open and Cancel.
class TOpenDialog : public TComponent
{
public:
    explicit TOpenDialog(TComponent* AOwner);
    ~TOpenDialog() override;

    UnicodeString InitialDir;
    // In: the name the box starts with (its folder part opens when InitialDir is empty). Out: the
    // chosen file's full path.
    UnicodeString FileName;
    // Appended (with its dot) to a typed name without an extension.
    UnicodeString DefaultExt;
    UnicodeString Filter;
    int FilterIndex = 1; // 1-based, as the class library counts
    UnicodeString Title;
    TOpenOptions Options{ofHideReadOnly, ofEnableSizing};

    // Fired when the dialog shows, with the dialog's form as its window (Form()).
    TNotifyEvent OnShow;
    // Fired when the dialog closes, whatever the answer.
    TNotifyEvent OnClose;

    // True when the user chose a file (FileName holds it), false on Cancel or close.
    virtual bool Execute();
    // The form of the dialog while it is shown, else null.
    TOpenDialogForm* Form() const { return m_form; }

private:
    TOpenDialogForm* m_form = nullptr;
};

// ---- The open dialog's window and its list of folders and files (tests reach them through
// TOpenDialog::Form() while the dialog shows) ----

// The folders and files of a FileBrowser, one row each with an icon, inside a sunken edge with the
// window's vertical scroll bar when the rows do not fit. A click selects, a double click or Enter
// opens, Backspace goes to the parent folder, typed letters jump to a name.
class TFileListView : public TCustomControl
{
public:
    explicit TFileListView(TComponent* AOwner);

    void SetBrowser(Vcl::FileBrowser* browser);
    // The browser's folder changed: the first row is selected and shown at the top.
    void Reload();
    int Count() const;
    int ItemIndex() const { return m_itemIndex; }
    // Selects the row (clamped) and scrolls it into view, also when it was selected already; fires
    // OnSelect on a change.
    void SetItemIndex(int index);
    const Vcl::FileItem* Selected() const;
    int TopIndex() const { return m_topIndex; }
    // The row under a y of the control's client area, or -1.
    int ItemAt(int y);
    // How many whole rows the control shows.
    int VisibleRows();

    TNotifyEvent OnSelect;
    TNotifyEvent OnOpen;
    TNotifyEvent OnParent;

protected:
    // The wheel scrolls three rows a notch.
    bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
    bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
    void Paint() override;
    LRESULT DialogCode() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(WCHAR& Key) override;
    void Resized() override;
    // WM_VSCROLL: the bar's arrows, track and thumb move the rows.
    void WndProc(TMessage& Message) override;

private:
    void DrawIcon(int x, int y, bool folder);
    // Clamped to 0 .. Count() - VisibleRows(), so that the end fills the view; the bar follows.
    void SetTopIndex(int top);
    void UpdateScrollBar();

    Vcl::FileBrowser* m_browser = nullptr;
    int m_itemIndex = -1;
    int m_topIndex = 0;
    SCROLLINFO m_barTold{}; // what the bar was last told
    std::u16string m_typed;
    DWORD m_typedAt = 0;
};

// A folder's path on one line. One too long for the label gives up its start to "..." so that the
// names it ends in show; the whole path is the label's hint.
class TPathLabel : public TLabel
{
public:
    explicit TPathLabel(TComponent* AOwner);

protected:
    void TextChanged() override;
    void Paint() override;
    void WndProc(TMessage& Message) override;
};

class TOpenDialogForm : public TForm
{
public:
    TOpenDialogForm(TComponent* AOwner, TOpenDialog* dialog);

    TLabel* LookInLabel;
    TPathLabel* FolderLabel;
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
    // What Open does with the name in the box.
    void AcceptName();
    void Complain(const UnicodeString& text);

    TOpenDialog* m_dialog;
    UnicodeString m_fileName;
};

// The options of a search (the find dialog's set).
enum TFindOption
{
    frDown,
    frFindNext,
    frHideMatchCase,
    frHideWholeWord,
    frHideUpDown,
    frMatchCase,
    frDisableMatchCase,
    frDisableUpDown,
    frDisableWholeWord,
    frReplace,
    frReplaceAll,
    frWholeWord,
    frShowHelp
};
using TFindOptions = TSet<TFindOption>;

class TColorDialogForm;

// Lets the user pick a colour. Execute shows a modal dialog of our own drawing: 48 basic colours
// to choose by a click or the arrows, the chosen colour's sample, OK and Cancel. Tests reach the
// form through Form() from OnShow.
class TColorDialog : public TComponent
{
public:
    explicit TColorDialog(TComponent* AOwner);
    ~TColorDialog() override;

    // In: the colour shown at first. Out: the colour chosen (only when Execute answers true).
    TColor Color = clBlack;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

    // True when the user confirmed a colour, false on Cancel or close.
    virtual bool Execute();
    TColorDialogForm* Form() const { return m_form; }

private:
    TColorDialogForm* m_form = nullptr;
};

namespace Vcl
{
// Called with every colour dialog once it shows, after its own OnShow (for tests of controls that
// open one themselves); returns the previous hook.
TNotifyEvent SetColorDialogHook(TNotifyEvent hook);
} // namespace Vcl

class TColorDialogForm : public TForm
{
public:
    TColorDialogForm(TComponent* AOwner, TColorDialog* dialog);

    static constexpr int Columns = 8;
    static constexpr int Rows = 6;
    static TColor BasicColor(int index);
    // The swatch's rectangle on the form.
    static TRect SwatchRect(int index);
    TColor Chosen() const { return m_chosen; }
    // The colour; the swatch chosen stays when it has that colour, else the first that has it
    // (none when none has it).
    void SetChosen(TColor color);
    // The swatch chosen, -1 for none; several swatches may share a colour.
    int ChosenSwatch() const { return m_swatch; }
    void ChooseSwatch(int index);
    TButton* OkButton() const { return m_ok; }
    TButton* CancelButton() const { return m_cancel; }

protected:
    void Paint() override;
    void DblClick() override;
    void Dispatch(TMessage& Message) override;

private:
    TColorDialog* m_dialog;
    TColor m_chosen = clBlack;
    int m_swatch = -1;
    TCustomControl* m_swatches; // the grid, first in the Tab order
    TButton* m_ok;
    TButton* m_cancel;
};

// The input query box: the prompt above an edit box holding the value, with OK and Cancel. Enter
// is OK, Escape and the close button Cancel.
class TInputQueryForm : public TForm
{
public:
    TInputQueryForm(const UnicodeString& caption, const UnicodeString& prompt, const UnicodeString& value);

    TLabel* Prompt() const { return m_prompt; }
    TEdit* Edit() const { return m_edit; }
    TButton* OkButton() const { return m_ok; }
    TButton* CancelButton() const { return m_cancel; }

    void Dispatch(TMessage& Message) override;

private:
    TLabel* m_prompt;
    TEdit* m_edit;
    TButton* m_ok;
    TButton* m_cancel;
};

// Asks the user for one line of text under `caption`. True on OK, with `value` the text typed;
// false on Cancel, with `value` untouched. It goes through the installed input-query handler:
// with the desktop presenter a modal TInputQueryForm, headless (as a message box would) the
// caption and prompt written to standard error and the answer Cancel at once.
bool InputQuery(const UnicodeString& caption, const UnicodeString& prompt, UnicodeString& value);

namespace Vcl
{
using InputQueryHandler =
    std::function<bool(const UnicodeString& caption, const UnicodeString& prompt, UnicodeString& value)>;
// A test installs its own answers; null restores the default. Returns the previous handler.
InputQueryHandler SetInputQueryHandler(InputQueryHandler handler);
// Shows a TInputQueryForm modally: the default handler's answer with a display.
bool InputQueryForm(const UnicodeString& caption, const UnicodeString& prompt, UnicodeString& value);
} // namespace Vcl
