// The class library's common controls: the progress bar and the track bar.
#pragma once

#include "Platform/Vcl/Controls.h"

// A progress bar in the platform's classic look: a sunken frame filled from the left in the
// highlight colour, in blocks or (Smooth) as one bar. Position stays within Min..Max.
class TProgressBar : public TCustomControl
{
public:
    explicit TProgressBar(TComponent* AOwner);

    int Min() const { return m_min; }
    void SetMin(int min);
    int Max() const { return m_max; }
    void SetMax(int max);
    int Position() const { return m_position; }
    void SetPosition(int position);
    int Step() const { return m_step; }
    void SetStep(int step) { m_step = step; }
    void StepIt() { SetPosition(m_position + m_step); }
    void StepBy(int delta) { SetPosition(m_position + delta); }
    bool Smooth() const { return m_smooth; }
    void SetSmooth(bool smooth);
    // The filled part of the client area for the current position.
    TRect BarRect() const;

protected:
    void Paint() override;

private:
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_step = 10;
    bool m_smooth = false;
};

// ---- List view -------------------------------------------------------------------------------

#include "Platform/Vcl/ImgList.h"
#include "Platform/Vcl/StdCtrls.h"

class TForm;

#include <memory>
#include <unordered_map>

constexpr UINT LVM_SETIMAGELIST = 0x1003;
constexpr WPARAM LVSIL_NORMAL = 0;
constexpr WPARAM LVSIL_SMALL = 1;
constexpr UINT TVM_SETIMAGELIST = 0x1109;
constexpr WPARAM TVSIL_NORMAL = 0;

enum TViewStyle
{
    vsIcon,
    vsSmallIcon,
    vsList,
    vsReport
};
enum TSortType
{
    stNone,
    stData,
    stText,
    stBoth
};
enum TItemStateItem
{
    isNone,
    isCut,
    isDropHilited,
    isFocused,
    isSelected,
    isActivating
};
using TItemStates = TSet<TItemStateItem>;
enum TItemRequestItem
{
    irText,
    irImage,
    irParam,
    irState,
    irIndent
};
using TItemRequest = TSet<TItemRequestItem>;
enum TItemChange
{
    ctText,
    ctImage,
    ctState
};
enum TCustomDrawStage
{
    cdPrePaint,
    cdPostPaint,
    cdPreErase,
    cdPostErase
};
enum TCustomDrawStateItem
{
    cdsSelected,
    cdsGrayed,
    cdsDisabled,
    cdsChecked,
    cdsFocused,
    cdsDefault,
    cdsHot
};
using TCustomDrawState = TSet<TCustomDrawStateItem>;
enum TDisplayCode
{
    drBounds,
    drIcon,
    drLabel,
    drSelectBounds
};
enum TSearchDirection
{
    sdLeft,
    sdRight,
    sdAbove,
    sdBelow,
    sdAll
};

class TCustomListView;

// One column of the report view.
class TListColumn : public TPersistent
{
public:
    UnicodeString Caption;
    int Width = 50;
    TAlignment Alignment = taLeftJustify;
    bool AutoSize = false;
    intptr_t Tag = 0;
    int Index = 0;
};

class TListColumns
{
public:
    explicit TListColumns(TCustomListView* owner) : m_owner(owner) {}
    ~TListColumns() { Clear(); }
    TListColumn* Add();
    void Clear();
    int Count() const { return static_cast<int>(m_columns.size()); }
    TListColumn* Items(int index) const { return m_columns.at(static_cast<size_t>(index)).get(); }

private:
    TCustomListView* m_owner;
    std::vector<std::unique_ptr<TListColumn>> m_columns;
};

// An item of the list. In owner-data mode items hold nothing of their own: the list asks its
// owner for their texts each time they are shown (OwnerDataFetch).
class TListItem : public TPersistent
{
public:
    TListItem(TCustomListView* owner, int index) : m_owner(owner), m_index(index) {}
    int Index() const { return m_index; }
    TCustomListView* ListView() const { return m_owner; }
    UnicodeString Caption;
    int ImageIndex = -1;
    std::vector<UnicodeString> SubItems;

    bool Selected() const;
    void SetSelected(bool selected);
    bool Focused() const;
    void SetFocused(bool focused);
    bool DropTarget() const;
    void SetDropTarget(bool target);
    bool Cut() const;
    void SetCut(bool cut);
    TRect DisplayRect(TDisplayCode code) const;
    // Scrolls the item into view; with partialOK an item partly shown stays.
    void MakeVisible(bool partialOK);

private:
    TCustomListView* m_owner;
    int m_index;
};

class TListItems
{
public:
    explicit TListItems(TCustomListView* owner) : m_owner(owner) {}
    int Count() const;
    void SetCount(int count);
    TListItem* Item(int index);
    void Clear() { SetCount(0); }
    void BeginUpdate() { ++m_update; }
    void EndUpdate();
    bool Updating() const { return m_update > 0; }

private:
    TCustomListView* m_owner;
    int m_update = 0;
};

using TLVCustomDrawItemEvent =
    TClosure<void(TCustomListView* Sender, TListItem* Item, TCustomDrawState State, bool& DefaultDraw)>;
using TLVColumnClickEvent = TClosure<void(TObject* Sender, TListColumn* Column)>;
using TLVChangeEvent = TClosure<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVSelectItemEvent = TClosure<void(TObject* Sender, TListItem* Item, bool Selected)>;

// A list view in owner-data mode: the owner keeps the items and the view asks for what it shows.
// Report view draws a header of columns and one row per item with its sub-item texts; the other
// styles show one column of icons and captions. Selection (one or, with MultiSelect, many items),
// the focused item, the cut and drop-target marks are the view's; the owner hears every change
// through OwnerDataStateChange.
// Texts cut by their cell end in "...". A header divider dragged sizes its column (and ends that
// column's AutoSize: the user's width holds); a double click on it sizes the column to its widest
// text. An AutoSize column is as wide as its widest text, header included, whatever room the
// others leave. Rows and columns that do not fit scroll, with the window's own scroll bars.
class TCustomListView : public TCustomControl
{
public:
    explicit TCustomListView(TComponent* AOwner);
    ~TCustomListView() override;

    TListItems* Items() const { return m_items.get(); }
    TListColumns* Columns() const { return m_columns.get(); }
    TViewStyle ViewStyle() const { return m_viewStyle; }
    void SetViewStyle(TViewStyle style);
    bool OwnerData() const { return m_ownerData; }
    void SetOwnerData(bool ownerData) { m_ownerData = ownerData; }
    TSortType SortType() const { return m_sortType; }
    void SetSortType(TSortType type) { m_sortType = type; }
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool multi) { m_multiSelect = multi; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool ShowColumnHeaders() const { return m_showHeaders; }
    void SetShowColumnHeaders(bool show);
    bool GridLines() const { return m_gridLines; }
    void SetGridLines(bool lines);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide) { m_hideSelection = hide; }
    TCustomImageList* SmallImages() const { return m_smallImages; }
    void SetSmallImages(TCustomImageList* images);

    // The first selected item (null for none); setting null clears the selection.
    TListItem* Selected();
    void SetSelected(TListItem* item);
    TListItem* ItemFocused();
    void SetItemFocused(TListItem* item);
    int SelCount() const;
    // The next item after `start` (null: from the first) that has all the states asked.
    TListItem* GetNextItem(TListItem* start, TSearchDirection direction, TItemStates states);
    TListItem* GetItemAt(int x, int y);
    TListItem* DropTarget();
    int TopIndex() const { return m_top; }
    void SetTopIndex(int index);
    // Rows that fit the client area below the header.
    int VisibleRowCount() const;
    int RowHeight() const;
    int HeaderHeight() const;
    // How far the rows and the header are scrolled to the left, in pixels.
    int ScrollX() const { return m_scrollX; }
    void SetScrollX(int x);
    // The width column `index` needs to show its widest text and its caption whole.
    int ColumnFitWidth(int index);
    // Sizes column `index` to ColumnFitWidth, as a double click on its divider does.
    void FitColumn(int index);
    // The column whose right divider lies under client x in the header (a few pixels either
    // side), -1 for none.
    int DividerAt(int x) const;

    TLVCustomDrawItemEvent OnCustomDrawItem;
    TLVColumnClickEvent OnColumnClick;
    TLVChangeEvent OnChange;
    TLVSelectItemEvent OnSelectItem;

    // States of item `index` (isSelected, isFocused, isCut, isDropHilited).
    TItemStates ItemStates(int index) const;
    void SetItemStates(int index, TItemStates states);

protected:
    virtual bool OwnerDataFetch(TListItem* Item, TItemRequest Request);
    // The widest text of column `Column` (0 the captions) in the view's Font, when the owner knows
    // it for the items as they are; -1 (the default) makes the view fetch every item and measure
    // its texts. Spares a long list an item built for each text whenever it is sized.
    virtual int OwnerDataWidest(int Column);
    virtual int OwnerDataFind(int Start, const UnicodeString& Text);
    virtual bool OwnerDataHint(int StartIndex, int EndIndex);
    virtual bool OwnerDataStateChange(int StartIndex, int EndIndex, TItemStates OldState, TItemStates NewState);
    // Per item before it is drawn: the canvas font may be set; false skips the default drawing.
    virtual bool CustomDrawItem(TListItem* Item, TCustomDrawState State, TCustomDrawStage Stage);
    virtual bool IsCustomDrawn() const { return static_cast<bool>(OnCustomDrawItem); }
    virtual void ColClick(TListColumn* Column);
    virtual bool CanChange(TListItem* Item, TItemChange Change);
    virtual bool CanEdit(TListItem* Item);
    virtual void Change(TListItem* Item, TItemChange Change);
    void Paint() override;
    void WndProc(TMessage& Message) override;
    // A plain left press on a selected row keeps the selection, for a drag of it, and only focuses
    // the row; the row is selected alone at a release that ends no drag (none begun by a move of
    // the drag distance, the mouse not taken away by WM_CANCELMODE).
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // Whether the pointer moving the drag distance from the last left press begins a drag of the
    // rows. Here it always does, as the desktop's lists begin theirs; a list that drags only from
    // some parts of a row says so.
    virtual bool PressBeginsDrag() const { return true; }
    // The pointer at client (X, Y) lies the drag distance from the last press, or farther.
    bool MovedDragDistance(int X, int Y) const;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    void Resized() override;
    void FontChanged() override;
    friend class TListItem;
    friend class TListItems;
    friend class TListColumns;

private:
    void SetCount(int count);
    // Moves the selection to one item (or a range with Shift, a toggle with Ctrl) and focuses it.
    void SelectByUser(int index, TShiftState shift);
    void ChangeStates(int first, int last, TItemStates set, TItemStates clear);
    int RowTop(int index) const;
    int ColumnAt(int x) const;
    int ItemWidth() const;
    // The width the rows' contents take: the columns in report view, else the widest caption.
    int ContentWidth() const;
    TListItem* Fetched(int index);
    // The widest texts of the columns given (0 the captions, c the sub-items shown in column c),
    // measured once after the items changed.
    void Measure(const std::vector<int>& columns);
    void ApplyAutoSize();
    // Widths of AutoSize columns, then which scroll bars show and where they stand; deferred
    // while the items are updating.
    void Relayout();
    void ContentsChanged();
    // Divider drags and clicks in the header; true when the message was the header's.
    bool HeaderMouse(TMessage& Message);
    void Scroll(bool vertical, int code);

    std::unique_ptr<TListItems> m_items;
    std::unique_ptr<TListColumns> m_columns;
    std::unordered_map<int, std::unique_ptr<TListItem>> m_itemCache;
    std::vector<uint8_t> m_states;
    int m_count = 0;
    int m_top = 0;
    int m_anchor = -1;
    int m_pressed = -1; // the selected row a plain press fell on, until its release or a drag
    TPoint m_pressedAt; // of the last press
    TViewStyle m_viewStyle = vsIcon;
    TSortType m_sortType = stNone;
    bool m_ownerData = false;
    bool m_multiSelect = false;
    bool m_readOnly = false;
    bool m_showHeaders = true;
    bool m_gridLines = false;
    bool m_hideSelection = true;
    TCustomImageList* m_smallImages = nullptr;
    HIMAGELIST m_smallList = nullptr;
    HIMAGELIST m_largeList = nullptr;
    std::unique_ptr<TListItem> m_drawItem;
    int m_scrollX = 0;
    // Widest texts: [0] the captions, [c] the sub-items shown in column c; -1 not measured yet.
    std::vector<int> m_widest;
    bool m_fitted = false; // AutoSize columns sized to the texts measured

    bool m_relayingOut = false;
    int m_sizing = -1; // the column whose divider is being dragged
    int m_sizingFromX = 0;
    int m_sizingFromWidth = 0;
    bool m_splitCursor = false;
    TCursor m_cursorBeforeSplit = crDefault;
    SCROLLINFO m_vertShown{};
    SCROLLINFO m_horzShown{};
};

namespace Vcl
{
// Tells the shell layer where the class library's windows are (for the drag loop), how to show
// a shell menu (as a popup menu) and a long file operation's progress; once, list and tree views
// call it.
void InstallShellBridges();
void InstallFileOperationProgress();
// The progress window of the running file operation (null when none shows) and its Cancel button.
TForm* FileOperationProgressWindow();
TButton* FileOperationCancelButton();
} // namespace Vcl

// ---- Tree view -------------------------------------------------------------------------------

class TCustomTreeView;
class TTreeNodes;

// A node of a tree view: its text, images and children; HasChildren shows the expand button
// before the children are there (they may be filled when the node first expands).
class TTreeNode : public TPersistent
{
public:
    explicit TTreeNode(TTreeNodes* owner);
    ~TTreeNode() override;

    UnicodeString Text;
    int ImageIndex = -1;
    int SelectedIndex = -1;
    void* Data = nullptr;

    TTreeNode* Parent() const { return m_parent; }
    int Count() const { return static_cast<int>(m_children.size()); }
    TTreeNode* Item(int index) const { return m_children.at(static_cast<size_t>(index)); }
    TTreeNode* GetFirstChild() const { return m_children.empty() ? nullptr : m_children.front(); }
    int Level() const;
    int Index() const;
    bool HasChildren() const { return m_hasChildren || !m_children.empty(); }
    void SetHasChildren(bool has);
    bool Expanded() const { return m_expanded; }
    // Asks the tree (CanExpand) and opens the node; with `recurse` its children too.
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    TTreeNodes* Owner() const { return m_owner; }
    TCustomTreeView* TreeView() const;
    void DeleteChildren();

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    TTreeNodes* m_owner;
    TTreeNode* m_parent = nullptr;
    std::vector<TTreeNode*> m_children;
    bool m_hasChildren = false;
    bool m_expanded = false;
};

class TTreeNodes
{
public:
    explicit TTreeNodes(TCustomTreeView* owner) : m_owner(owner) {}
    ~TTreeNodes() { Clear(); }
    TCustomTreeView* Owner() const { return m_owner; }
    // A new last child of `parent` (null: a top-level node), made by the tree's CreateNode.
    TTreeNode* AddChild(TTreeNode* parent, const UnicodeString& text);
    void Delete(TTreeNode* node);
    void Clear();
    TTreeNode* GetFirstNode() const { return m_roots.empty() ? nullptr : m_roots.front(); }
    int TopCount() const { return static_cast<int>(m_roots.size()); }
    TTreeNode* Top(int index) const { return m_roots.at(static_cast<size_t>(index)); }
    void BeginUpdate() { ++m_update; }
    void EndUpdate();

private:
    friend class TCustomTreeView;
    friend class TTreeNode;
    TCustomTreeView* m_owner;
    std::vector<TTreeNode*> m_roots;
    int m_update = 0;
};

using TTVChangedEvent = TClosure<void(TObject* Sender, TTreeNode* Node)>;
using TTVCompareEvent = TClosure<void(TObject* Sender, TTreeNode* Node1, TTreeNode* Node2, int Data, int& Compare)>;
using TTVCompare = int (*)(TTreeNode* Node1, TTreeNode* Node2, intptr_t Data);

// A tree view: nodes in rows indented by level, expand buttons and lines, images from a small
// image list, one selected node.
class TCustomTreeView : public TCustomControl
{
public:
    explicit TCustomTreeView(TComponent* AOwner);
    ~TCustomTreeView() override;

    TTreeNodes* Items() const { return m_nodes.get(); }
    TTreeNode* Selected() const { return m_selected; }
    void SetSelected(TTreeNode* node);
    TSortType SortType() const { return m_sortType; }
    void SetSortType(TSortType type) { m_sortType = type; }
    bool ShowButtons() const { return m_showButtons; }
    void SetShowButtons(bool show);
    bool ShowLines() const { return m_showLines; }
    void SetShowLines(bool show);
    bool ShowRoot() const { return m_showRoot; }
    void SetShowRoot(bool show);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide) { m_hideSelection = hide; }
    TCustomImageList* Images() const { return m_images; }
    void SetImages(TCustomImageList* images);

    // Sorts the top level (and with `recurse` every level) by OnCompare, else by text.
    bool AlphaSort(bool recurse = false);
    bool CustomSort(TTVCompare compare, intptr_t data, bool recurse = false);
    TTreeNode* GetNodeAt(int x, int y);
    int RowHeight() const;
    // The nodes shown, top to bottom (children of expanded nodes only).
    std::vector<TTreeNode*> VisibleNodes() const;
    // The first row in view, the whole rows the client holds, and how far the rows are scrolled
    // to the left in pixels.
    int TopRow() const { return m_top; }
    int VisibleRowCount() const;
    int ScrollX() const { return m_scrollX; }
    // The width of the widest row shown: indent, glyphs and text.
    int ContentWidth();

    TTVChangedEvent OnChange;
    TTVCompareEvent OnCompare;

protected:
    virtual TTreeNode* CreateNode();
    virtual bool CanExpand(TTreeNode* Node);
    virtual void Change(TTreeNode* Node);
    void Paint() override;
    void WndProc(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void Resized() override;
    void FontChanged() override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    friend class TTreeNode;
    friend class TTreeNodes;

private:
    void NodeGone(TTreeNode* node);
    void SortLevel(std::vector<TTreeNode*>& level, TTVCompare compare, intptr_t data, bool recurse);
    int Indent() const { return 19; }
    int NodeLeft(TTreeNode* node) const;
    // Where the node's text starts (past its image) and where its label ends, unscrolled.
    int TextLeft(TTreeNode* node) const;
    int NodeRight(TTreeNode* node) const;
    bool Shown(TTreeNode* node) const;
    void MakeVisible(TTreeNode* node);
    // The rows changed: measures them again (or only `added`, a new row shown), sets the bars
    // and repaints.
    void ContentsChanged(TTreeNode* added = nullptr);
    // Shows or hides the bars for the rows and the widest row, keeps the scroll within them and
    // tells the bars where they stand.
    void Relayout();
    void Scroll(bool vertical, int code);
    void SetTopRow(int row);
    void SetScrollX(int x);

    std::unique_ptr<TTreeNodes> m_nodes;
    TTreeNode* m_selected = nullptr;
    TSortType m_sortType = stNone;
    bool m_showButtons = true;
    bool m_showLines = true;
    bool m_showRoot = true;
    bool m_hideSelection = true;
    TCustomImageList* m_images = nullptr;
    HIMAGELIST m_imageList = nullptr;
    int m_top = 0;
    int m_scrollX = 0;
    int m_contentWidth = 0;
    bool m_measured = false;
    bool m_relayingOut = false;
    // What the bars were last told.
    SCROLLINFO m_vertShown{};
    SCROLLINFO m_horzShown{};
};

enum TTrackBarOrientation
{
    trHorizontal,
    trVertical
};

enum TTickMark
{
    tmBottomRight,
    tmTopLeft,
    tmBoth
};

// A slider in the platform's look: a sunken channel, tick marks every Frequency positions and a
// raised thumb. Horizontal bars run Min to Max left to right, vertical ones top to bottom. The
// thumb follows the mouse (drag, or a press on the channel steps by PageSize toward it) and the
// keys (arrows by LineSize, Page Up/Down by PageSize, Home, End). OnChange fires on every real
// change of Position, also from code.
class TTrackBar : public TWinControl
{
public:
    explicit TTrackBar(TComponent* AOwner);

    int Min() const { return m_min; }
    void SetMin(int value);
    int Max() const { return m_max; }
    void SetMax(int value);
    int Position() const { return m_position; }
    // Clamped into Min .. Max.
    void SetPosition(int value);
    int Frequency() const { return m_frequency; }
    void SetFrequency(int value);
    TTickMark TickMarks() const { return m_tickMarks; }
    void SetTickMarks(TTickMark value);
    // The thumb's breadth across the channel.
    int ThumbLength() const { return m_thumbLength; }
    void SetThumbLength(int value);
    TTrackBarOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TTrackBarOrientation value);
    int LineSize = 1;
    int PageSize = 2;

    // Where the thumb lies now, and the pixel along the bar of a position.
    TRect ThumbRect() const;
    int PixelOf(int position) const;

    TNotifyEvent OnChange;

protected:
    void PaintWindow(HDC dc) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    virtual void Changed();

private:
    // The channel's first and last pixel along the bar.
    int ChannelStart() const;
    int ChannelEnd() const;
    int PositionAt(int along) const;
    bool Vertical() const { return m_orientation == trVertical; }

    int m_min = 0;
    int m_max = 10;
    int m_position = 0;
    int m_frequency = 1;
    TTickMark m_tickMarks = tmBottomRight;
    int m_thumbLength = 20;
    TTrackBarOrientation m_orientation = trHorizontal;
    bool m_dragging = false;
    int m_grab = 0;
};

// ---- Page control ------------------------------------------------------------------------------

class TPageControl;

// One page of a TPageControl: a panel in the control's display area, shown while it is the active
// page; its Caption is its tab's text.
class TTabSheet : public TWinControl
{
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return m_pageControl; }
    // Moves the sheet to the end of that control's pages (null takes it out).
    void SetPageControl(TPageControl* control);
    // The sheet's place among its control's pages, -1 without one.
    int PageIndex() const;

protected:
    void TextChanged() override;

private:
    friend class TPageControl;
    TPageControl* m_pageControl = nullptr;
};

using TTabChangingEvent = TClosure<void(TObject* Sender, bool& AllowChange)>;

// Tabs along the top, one per sheet, and the active sheet below them in a raised frame. A click on
// a tab, Left and Right on the focused control, and Ctrl+Tab / Ctrl+Shift+Tab anywhere inside it
// (wrapping around) change the page: OnChanging may refuse, OnChange follows. Setting ActivePage
// from code fires neither.
class TPageControl : public TWinControl
{
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    TTabSheet* Pages(int index) const { return m_pages.at(static_cast<size_t>(index)); }
    TTabSheet* ActivePage() const { return m_activePage; }
    // Only a page of this control (or null).
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The next (or previous) page after `current`, wrapping around; null without pages.
    TTabSheet* FindNextPage(TTabSheet* current, bool forward) const;
    // As the user's Ctrl+Tab: asks OnChanging, changes, fires OnChange.
    void SelectNextPage(bool forward);
    // The tab of a page in client coordinates; its row is TabHeight high.
    TRect TabRect(int index);
    int TabHeight() const { return m_tabHeight; }
    // The area the active sheet fills.
    TRect DisplayRect() const;
    // The row of tabs, where the focus shows.
    TRect FocusedPart() const override;
    // The page of the tab under a client point, -1 for none.
    int IndexOfTabAt(int x, int y);

    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    void PaintWindow(HDC dc) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    bool DialogKey(WORD key, TShiftState shift) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Resized() override;
    void DoEnter() override;
    void DoExit() override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void PlacePage(TTabSheet* page);
    // The user's change: false when OnChanging refused.
    bool ChangePage(TTabSheet* page);

    std::vector<TTabSheet*> m_pages;
    TTabSheet* m_activePage = nullptr;
    int m_tabHeight = 20;
};

// ---- Up-down -----------------------------------------------------------------------------------

enum TUDOrientation
{
    udHorizontal,
    udVertical
};
enum TUDBtnType
{
    btNext,
    btPrev
};
enum TUpDownDirection
{
    updNone,
    updUp,
    updDown
};

using TUDChangingEventEx =
    TClosure<void(TObject* Sender, bool& AllowChange, int NewValue, TUpDownDirection Direction)>;
using TUDClickEvent = TClosure<void(TObject* Sender, TUDBtnType Button)>;

// Two arrow buttons that step Position by Increment within Min .. Max (wrapping around with Wrap).
// Each press of an arrow, and each repeat while it is held (after 400 ms, every 100 ms), and the
// arrow keys while it has the focus, make one step: OnChangingEx (with the direction, also at a
// bound where the position cannot move) and OnChanging may refuse it; then Position takes the new
// value and OnClick tells which button. Vertical: up is the top button; horizontal: the right one.
class TUpDown : public TWinControl
{
public:
    explicit TUpDown(TComponent* AOwner);

    int Min() const { return m_min; }
    void SetMin(int value);
    int Max() const { return m_max; }
    void SetMax(int value);
    int Position() const { return m_position; }
    // Clamped into Min .. Max; fires nothing.
    void SetPosition(int value);
    int Increment() const { return m_increment; }
    void SetIncrement(int value) { m_increment = value; }
    bool Wrap() const { return m_wrap; }
    void SetWrap(bool wrap) { m_wrap = wrap; }
    TUDOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TUDOrientation orientation);
    // The button held down now (updNone when none).
    TUpDownDirection Pressed() const { return m_pressed; }
    // One step as a press of that button makes.
    void Step(TUpDownDirection direction);
    TRect ButtonRect(TUpDownDirection direction) const;

    TUDChangingEventEx OnChangingEx;
    TTabChangingEvent OnChanging;
    // Which button stepped (it hides the control's plain click event).
    TUDClickEvent OnClick;

protected:
    void PaintWindow(HDC dc) override;
    LRESULT DialogCode() override { return DLGC_WANTARROWS; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void RepeatTimer(TObject*);
    TUpDownDirection DirectionAt(int x, int y) const;

    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_increment = 1;
    bool m_wrap = false;
    TUDOrientation m_orientation = udVertical;
    TUpDownDirection m_pressed = updNone;
    TUpDownDirection m_held = updNone; // the button the mouse went down on
    TTimer* m_repeat;
};
