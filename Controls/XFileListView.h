// A file browser: a list view in owner-data mode over one shell folder. It keeps its own records of
// the folder's items, sorts them, draws hidden, system and read-only files in their own fonts,
// follows the folder through change notifications, and copies, moves, deletes, renames, cuts,
// pastes, drags and accepts drops of files.
//
// What survives a failure: every file operation goes through SHFileOperationW, which never loses a
// file (a failed replacement leaves the target, a move between file systems keeps its source until
// the copy is complete). A folder that cannot be entered leaves the list where it was. File lists
// read from the clipboard or a drop are bounded by their block and always end.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XAllocator.h"
#include "Controls/ShellUtils.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/ExtCtrls.h"

#include <vector>

enum XFileSortType
{
    fstName,
    fstSize,
    fstType,
    fstAttribute,
    fstTime
};

// The font of a group of items; setting either field to a new value fires OnChange.
class XFileDrawOption : public TPersistent
{
public:
    TFontStyles FontStyle() const { return m_style; }
    void SetFontStyle(TFontStyles style);
    TColor FontColor() const { return m_color; }
    void SetFontColor(TColor color);
    TNotifyEvent OnChange;

private:
    TFontStyles m_style;
    TColor m_color = 0;
};

// One item of the shown folder.
struct XFileItem
{
    DWORD FileAttributes;
    ULONG ShellAttributes;
    uint64_t LastWriteTime;
    uint64_t Size;
    WCHAR* Name;
    WCHAR* TypeName; // null until filled
    WCHAR ModifiedText[20];
    WCHAR AttributeText[16];
    int IconIndex; // -1 until filled
    LPITEMIDLIST Id; // relative, owned by the list
    XFileItem* Next;
    DWORD State; // 1 selected, 2 focused, 4 cut
};

using TMenuCommandEvent = TClosure<void(TObject* Sender, int Command, bool& Handled)>;

class XFileListView : public TCustomListView
{
public:
    enum XObjectType
    {
        otSelected,
        otUnselected,
        otFocused,
        otAll
    };

    explicit XFileListView(TComponent* AOwner);
    ~XFileListView() override;
    void BeforeDestruction() override;

    bool AllowUndo = true;
    bool ShellMenuEnabled = true;
    UnicodeString ShellMenuTitle = u"Shell";
    bool AutoRefresh() const { return m_autoRefresh; }
    void SetAutoRefresh(bool on);
    int RefreshInterval() const { return m_refreshInterval; }
    // Below 100 ms it is 100 ms.
    void SetRefreshInterval(int ms);
    XFileDrawOption* HiddenDrawOption() const { return m_hidden; }
    XFileDrawOption* SystemDrawOption() const { return m_system; }
    XFileDrawOption* ReadOnlyDrawOption() const { return m_readOnly; }
    XFileSortType FileSortType() const { return m_sortType; }
    void SetFileSortType(XFileSortType type);
    bool SortReverse() const { return m_sortReverse; }
    void SetSortReverse(bool reverse);
    TMenuCommandEvent OnMenuCommand;
    TNotifyEvent BeforeFolderChange;
    TNotifyEvent OnFolderChange;

    // Navigation. Explore takes the absolute id list over (a folder that cannot be listed is not
    // entered and the list is freed).
    void Explore(LPITEMIDLIST idList);
    void SetPath(const UnicodeString& path);
    UnicodeString GetPath();
    UnicodeString GetDirectory();
    // To the parent, selecting the folder it came from; nothing at the desktop.
    void UpLevel();
    void Execute();
    void SelectItem(const UnicodeString& name);
    void Refresh();
    void Sort();

    int GetItemsCount(int type);
    void GetItemsList(XStringList& list, int type);
    uint64_t GetSize(int type);
    XFileItem* GetSelectedFileItem();
    int RecordCount() const { return m_count; }
    XFileItem* Record(int index) const { return index >= 0 && index < m_count ? m_records[index] : nullptr; }

    // File operations on the selection.
    void SCopyTo(const UnicodeString& destination);
    void SMoveTo(const UnicodeString& destination);
    void SDelete();
    void SRename() {}
    void SBatchRename(XStringList& oldNames, XStringList& newNames);
    int FileOperation(const WCHAR* to, const WCHAR* from, UINT function, FILEOP_FLAGS flags);
    // The selection's paths, each NUL-ended, and one more NUL; the length counts every unit.
    bool BuildFileNamesList(std::u16string& list);

    void CopyToClipboard() { ToClipboard(DROPEFFECT_COPY); }
    void CutToClipboard() { ToClipboard(DROPEFFECT_COPY | DROPEFFECT_MOVE); }
    void ToClipboard(DWORD effect);
    bool IsClipboardAvailable();
    void PasteFromClipboard();

    void DoDragDrop(TShiftState shift, int x, int y);
    static DWORD DropEffectFromKeyState(DWORD keyState);
    void SetDropTargetIndex(DWORD keyState, POINTL point, DWORD* effect);
    int DropTargetIndex() const { return m_dropTargetIndex; }

    // The size column's text: kilobytes rounded up, in groups of three.
    static std::u16string SizeText(uint64_t bytes);
    // Reads the file list of a CF_HDROP medium: the header's offset bounded by the block, the text
    // bounded by what follows it, wide or narrow; false when there is none. The result ends with
    // two NULs.
    static bool ReadDropFiles(IDataObject* data, std::u16string& list);
    // The change-notification timer's work, one handle per tick.
    void ValidateItems(TObject* Sender);

protected:
    void CreateWnd() override;
    void DestroyWnd();
    void CreateColumns();
    bool OwnerDataFetch(TListItem* Item, TItemRequest Request) override;
    // The Name column's widest name, measured as the records are read and again in a new font.
    int OwnerDataWidest(int Column) override;
    void FontChanged() override;
    int OwnerDataFind(int Start, const UnicodeString& Text) override;
    bool OwnerDataHint(int StartIndex, int EndIndex) override;
    bool OwnerDataStateChange(int StartIndex, int EndIndex, TItemStates OldState, TItemStates NewState) override;
    bool CustomDrawItem(TListItem* Item, TCustomDrawState State, TCustomDrawStage Stage) override;
    void ColClick(TListColumn* Column) override;
    void Change(TListItem* Item, TItemChange Change) override;
    void DblClick() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    bool PressBeginsDrag() const override { return m_dragArmed; }
    void WndProc(TMessage& Message) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTTAB; }

private:
    void FreeRecords();
    void FillFileData(int first, int last);
    void FillFileImages(int first, int last);
    void FillFromShell(int first, int last, bool types);
    void DoFolderChange();
    void CloseNotifications();
    void KeyPressHandling(WCHAR key);
    void ContextMenu(int x, int y);
    void CustomDrawFileItem(TCustomListView* Sender, TListItem* Item, TCustomDrawState State, bool& DefaultDraw);
    void OptionChanged(TObject* Sender);
    WCHAR* CopyText(const WCHAR* text);
    void DragEnterEvent(IDataObject* Data, DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT& Result);
    void DragOverEvent(DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT& Result);
    void DragLeaveEvent(HRESULT& Result);
    void DropEvent(IDataObject* Data, DWORD KeyState, POINTL Point, DWORD* Effect, HRESULT& Result);
    static DWORD OfferedEffect(DWORD keyState, DWORD allowed);
    // Marks the row the drag over the list would drop into (-1: none) in place of the last one.
    void MarkDropTarget(int index);
    // A record in the sort: its texts' keys (offsets into m_sortKeys) and the texts they were made of.
    struct SortEntry
    {
        XFileItem* record;
        const WCHAR* name;
        const WCHAR* type;
        uint32_t nameKey, nameLength;
        uint32_t typeKey, typeLength;
        uint64_t namePrefix;
        bool folder;
    };
    void AddSortKey(const WCHAR* text, uint32_t& at, uint32_t& length);
    // The absolute id list of a record (from the allocator; the caller frees it).
    LPITEMIDLIST AbsoluteOf(const XFileItem* record);
    // Widths in the list's font, as the list view measures its texts.
    Platform::Gdi::TextWidths NameWidths();

    IShellFolder* m_desktop = nullptr;
    IShellFolder* m_folder = nullptr;
    IMalloc* m_malloc = nullptr;
    LPITEMIDLIST m_idList = nullptr;
    XAllocator m_allocator;
    XFileItem** m_records = nullptr;
    std::vector<SortEntry> m_sortEntries;
    std::vector<uint8_t> m_sortKeys;
    std::vector<uint32_t> m_sortOrder; // entries in the order last sorted
    int m_count = 0;
    int m_widestName = -1; // in the list's font; -1 until measured
    HANDLE m_notifications[6] = {};
    TTimer* m_timer = nullptr;
    bool m_autoRefresh = false;
    int m_refreshInterval = 500;
    XFileDrawOption* m_hidden;
    XFileDrawOption* m_system;
    XFileDrawOption* m_readOnly;
    XFileSortType m_sortType = fstName;
    bool m_sortReverse = false;
    IDataObject* m_runningDrag = nullptr;
    // A left press on a row's icon or name: the drag of the selection begins once the pointer has
    // moved the drag distance. A drag that ended (dropped or cancelled) with the button still held
    // begins no other until the next press.
    bool m_dragArmed = false;
    ShellUtils::XDropTarget* m_dropTarget = nullptr;
    bool m_dropAcceptable = false;
    bool m_dragFromThis = false;
    int m_dropTargetIndex = -1;
    bool m_operationAborted = false; // the last file operation skipped or cancelled something
    bool m_windowMade = false;
};
