// The list view: owner-data items, report view with its header, selection and custom drawing.
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

namespace
{
constexpr uint8_t StateSelected = 1;
constexpr uint8_t StateFocused = 2;
constexpr uint8_t StateCut = 4;
constexpr uint8_t StateDrop = 8;
constexpr int IconSize = 16;
constexpr int TextIndent = IconSize + 4;
// Room between a cell's edges and its text; the caption starts a little after its icon.
constexpr int CellMargin = 6;
constexpr int CaptionLeft = TextIndent + 2;
// How near a header divider the pointer grabs it.
constexpr int DividerGrab = 4;
// Pixels one click on an arrow of the horizontal bar scrolls.
constexpr int LineStep = 16;

// One line of a cell: vertically centred, clipped to the cell, "..." at the end of a text too wide.
void DrawCellText(TCanvas* canvas, const TRect& cell, const UnicodeString& text, TAlignment alignment)
{
    RECT r{cell.left, cell.top, cell.right, cell.bottom};
    if (r.right <= r.left || text.Length() == 0)
        return;
    HDC dc = canvas->Handle();
    SetBkMode(dc, TRANSPARENT);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    if (alignment == taRightJustify)
        format |= DT_RIGHT;
    else if (alignment == taCenter)
        format |= DT_CENTER;
    DrawTextW(dc, text.c_str(), text.Length(), &r, format);
}

uint8_t Bits(TItemStates states)
{
    return static_cast<uint8_t>((states.Contains(isSelected) ? StateSelected : 0) |
                                (states.Contains(isFocused) ? StateFocused : 0) |
                                (states.Contains(isCut) ? StateCut : 0) |
                                (states.Contains(isDropHilited) ? StateDrop : 0));
}

TItemStates States(uint8_t bits)
{
    TItemStates states;
    if (bits & StateSelected)
        states << isSelected;
    if (bits & StateFocused)
        states << isFocused;
    if (bits & StateCut)
        states << isCut;
    if (bits & StateDrop)
        states << isDropHilited;
    return states;
}
} // namespace

// ---- Columns and items -----------------------------------------------------------------------

TListColumn* TListColumns::Add()
{
    m_columns.push_back(std::make_unique<TListColumn>());
    m_columns.back()->Index = Count() - 1;
    // Sized at the next layout: the caller sets the new column's fields after this.
    m_owner->m_widest.clear();
    m_owner->m_fitted = false;
    m_owner->Invalidate();
    return m_columns.back().get();
}

void TListColumns::Clear()
{
    m_columns.clear();
    if (m_owner->m_sizing >= 0)
        m_owner->m_sizing = -1;
    m_owner->m_widest.clear();
    m_owner->m_fitted = false;
}

bool TListItem::Selected() const
{
    return m_owner->ItemStates(m_index).Contains(isSelected);
}

void TListItem::SetSelected(bool selected)
{
    TItemStates states = m_owner->ItemStates(m_index);
    selected ? states << isSelected : states >> isSelected;
    m_owner->SetItemStates(m_index, states);
}

bool TListItem::Focused() const
{
    return m_owner->ItemStates(m_index).Contains(isFocused);
}

void TListItem::SetFocused(bool focused)
{
    if (focused)
        m_owner->SetItemFocused(this);
    else if (Focused())
        m_owner->SetItemFocused(nullptr);
}

bool TListItem::DropTarget() const
{
    return m_owner->ItemStates(m_index).Contains(isDropHilited);
}

void TListItem::SetDropTarget(bool target)
{
    TItemStates states = m_owner->ItemStates(m_index);
    target ? states << isDropHilited : states >> isDropHilited;
    m_owner->SetItemStates(m_index, states);
}

bool TListItem::Cut() const
{
    return m_owner->ItemStates(m_index).Contains(isCut);
}

void TListItem::SetCut(bool cut)
{
    TItemStates states = m_owner->ItemStates(m_index);
    cut ? states << isCut : states >> isCut;
    m_owner->SetItemStates(m_index, states);
}

TRect TListItem::DisplayRect(TDisplayCode code) const
{
    int top = m_owner->RowTop(m_index);
    int height = m_owner->RowHeight();
    int width = m_owner->ItemWidth();
    int first = m_owner->ViewStyle() == vsReport && m_owner->Columns()->Count()
                    ? m_owner->Columns()->Items(0)->Width
                    : width;
    int x = -m_owner->ScrollX();
    switch (code)
    {
    case drIcon:
        return TRect(x + 2, top, x + 2 + IconSize, top + height);
    case drLabel:
        return TRect(x + TextIndent, top, x + std::max(first, TextIndent), top + height);
    case drSelectBounds:
        return TRect(x + 2, top, x + std::max(first, TextIndent), top + height);
    case drBounds:
    default:
        return TRect(x, top, x + width, top + height);
    }
}

void TListItem::MakeVisible(bool partialOK)
{
    int rows = std::max(1, m_owner->VisibleRowCount());
    int top = m_owner->TopIndex();
    if (m_index < top)
        m_owner->SetTopIndex(m_index);
    else if (m_index >= top + rows)
    {
        bool partlyShown = partialOK && m_index == top + rows &&
                           m_owner->RowTop(m_index) < m_owner->ClientHeight();
        if (!partlyShown)
            m_owner->SetTopIndex(m_index - rows + 1);
    }
}

int TListItems::Count() const
{
    return m_owner->m_count;
}

void TListItems::SetCount(int count)
{
    m_owner->SetCount(count);
}

TListItem* TListItems::Item(int index)
{
    if (index < 0 || index >= m_owner->m_count)
        return nullptr;
    auto& slot = m_owner->m_itemCache[index];
    if (!slot)
        slot = std::make_unique<TListItem>(m_owner, index);
    return slot.get();
}

void TListItems::EndUpdate()
{
    if (m_update > 0 && --m_update == 0)
    {
        // The owner may have changed any text meanwhile.
        m_owner->ContentsChanged();
        m_owner->Invalidate();
    }
}

// ---- The view --------------------------------------------------------------------------------

TCustomListView::TCustomListView(TComponent* AOwner)
    : TCustomControl(AOwner), m_items(std::make_unique<TListItems>(this)),
      m_columns(std::make_unique<TListColumns>(this))
{
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(0, 0, 250, 150);
    Vcl::InstallShellBridges();
}

TCustomListView::~TCustomListView() = default;

void TCustomListView::SetCount(int count)
{
    // States of the items that stay are kept, as a new count of the same items asks.
    count = std::max(0, count);
    bool changed = count != m_count;
    m_count = count;
    m_itemCache.clear();
    m_states.resize(static_cast<size_t>(count), 0);
    m_pressed = -1; // the rows may be others now
    if (m_anchor >= count)
        m_anchor = -1;
    m_top = std::min(m_top, std::max(0, count - 1));
    if (changed)
        ContentsChanged();
    Invalidate();
}

void TCustomListView::ContentsChanged()
{
    m_widest.clear();
    m_fitted = false;
    Relayout();
}

void TCustomListView::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    m_scrollX = 0;
    // The owner may give other texts in another style (sub-items in report view).
    ContentsChanged();
    Invalidate();
}

void TCustomListView::SetShowColumnHeaders(bool show)
{
    if (show == m_showHeaders)
        return;
    m_showHeaders = show;
    Relayout();
    Invalidate();
}

void TCustomListView::SetGridLines(bool lines)
{
    if (lines == m_gridLines)
        return;
    m_gridLines = lines;
    Invalidate();
}

void TCustomListView::SetSmallImages(TCustomImageList* images)
{
    m_smallImages = images;
    Invalidate();
}

TItemStates TCustomListView::ItemStates(int index) const
{
    if (index < 0 || index >= m_count)
        return TItemStates();
    return States(m_states[static_cast<size_t>(index)]);
}

void TCustomListView::SetItemStates(int index, TItemStates states)
{
    if (index < 0 || index >= m_count)
        return;
    uint8_t now = m_states[static_cast<size_t>(index)];
    uint8_t wanted = Bits(states);
    if (!m_multiSelect && (wanted & StateSelected) && !(now & StateSelected))
        ChangeStates(0, m_count - 1, TItemStates(), TItemStates{isSelected});
    if (wanted & StateFocused)
        ChangeStates(0, m_count - 1, TItemStates(), TItemStates{isFocused});
    now = m_states[static_cast<size_t>(index)];
    TItemStates set = States(static_cast<uint8_t>(wanted & ~now));
    TItemStates clear = States(static_cast<uint8_t>(now & ~wanted));
    ChangeStates(index, index, set, clear);
}

void TCustomListView::ChangeStates(int first, int last, TItemStates set, TItemStates clear)
{
    uint8_t on = Bits(set), off = Bits(clear);
    for (int i = std::max(0, first); i <= last && i < m_count; ++i)
    {
        uint8_t old = m_states[static_cast<size_t>(i)];
        uint8_t now = static_cast<uint8_t>((old | on) & ~off);
        if (now == old)
            continue;
        TListItem* item = m_items->Item(i);
        if (!CanChange(item, ctState))
            continue;
        m_states[static_cast<size_t>(i)] = now;
        OwnerDataStateChange(i, i, States(old), States(now));
        Change(item, ctState);
        if ((old ^ now) & StateSelected)
            OnSelectItem(this, item, (now & StateSelected) != 0);
    }
}

TListItem* TCustomListView::Selected()
{
    for (int i = 0; i < m_count; ++i)
        if (m_states[static_cast<size_t>(i)] & StateSelected)
            return m_items->Item(i);
    return nullptr;
}

void TCustomListView::SetSelected(TListItem* item)
{
    if (item)
    {
        item->SetSelected(true);
        return;
    }
    ChangeStates(0, m_count - 1, TItemStates(), TItemStates{isSelected});
}

TListItem* TCustomListView::ItemFocused()
{
    for (int i = 0; i < m_count; ++i)
        if (m_states[static_cast<size_t>(i)] & StateFocused)
            return m_items->Item(i);
    return nullptr;
}

void TCustomListView::SetItemFocused(TListItem* item)
{
    ChangeStates(0, m_count - 1, TItemStates(), TItemStates{isFocused});
    if (item)
        ChangeStates(item->Index(), item->Index(), TItemStates{isFocused}, TItemStates());
}

int TCustomListView::SelCount() const
{
    return static_cast<int>(std::count_if(m_states.begin(), m_states.end(),
                                          [](uint8_t s) { return (s & StateSelected) != 0; }));
}

TListItem* TCustomListView::GetNextItem(TListItem* start, TSearchDirection, TItemStates states)
{
    uint8_t wanted = Bits(states);
    for (int i = start ? start->Index() + 1 : 0; i < m_count; ++i)
        if ((m_states[static_cast<size_t>(i)] & wanted) == wanted)
            return m_items->Item(i);
    return nullptr;
}

TListItem* TCustomListView::DropTarget()
{
    return GetNextItem(nullptr, sdAll, TItemStates{isDropHilited});
}

int TCustomListView::HeaderHeight() const
{
    if (m_viewStyle != vsReport || !m_showHeaders)
        return 0;
    return Canvas()->TextHeight(u"Wg") + 6;
}

int TCustomListView::RowHeight() const
{
    return std::max(Canvas()->TextHeight(u"Wg") + 3, IconSize + 1);
}

int TCustomListView::VisibleRowCount() const
{
    return std::max(0, (ClientHeight() - HeaderHeight()) / RowHeight());
}

int TCustomListView::RowTop(int index) const
{
    return HeaderHeight() + (index - m_top) * RowHeight();
}

int TCustomListView::ItemWidth() const
{
    if (m_viewStyle != vsReport || m_columns->Count() == 0)
        return std::max(ClientWidth(), ContentWidth());
    int width = 0;
    for (int i = 0; i < m_columns->Count(); ++i)
        width += m_columns->Items(i)->Width;
    return width;
}

int TCustomListView::ContentWidth() const
{
    if (m_viewStyle == vsReport && m_columns->Count() > 0)
        return ItemWidth();
    return m_widest.empty() ? 0 : CaptionLeft + std::max(0, m_widest[0]) + CellMargin;
}

void TCustomListView::SetTopIndex(int index)
{
    index = std::clamp(index, 0, std::max(0, m_count - std::max(1, VisibleRowCount())));
    if (index == m_top)
        return;
    m_top = index;
    Relayout();
    Invalidate();
}

void TCustomListView::SetScrollX(int x)
{
    x = std::clamp(x, 0, std::max(0, ContentWidth() - ClientWidth()));
    if (x == m_scrollX)
        return;
    m_scrollX = x;
    Relayout();
    Invalidate();
}

TListItem* TCustomListView::GetItemAt(int x, int y)
{
    x += m_scrollX;
    if (y < HeaderHeight() || x < 0 || x >= ItemWidth())
        return nullptr;
    int index = m_top + (y - HeaderHeight()) / RowHeight();
    return index < m_count ? m_items->Item(index) : nullptr;
}

int TCustomListView::ColumnAt(int x) const
{
    int left = -m_scrollX;
    for (int i = 0; i < m_columns->Count(); ++i)
    {
        int width = m_columns->Items(i)->Width;
        if (x >= left && x < left + width)
            return i;
        left += width;
    }
    return -1;
}

int TCustomListView::DividerAt(int x) const
{
    // The nearest divider wins; of two as near (a column of no width), the later one, so that
    // a column dragged down to nothing can be widened again.
    int right = -m_scrollX, found = -1, best = DividerGrab + 1;
    for (int i = 0; i < m_columns->Count(); ++i)
    {
        right += m_columns->Items(i)->Width;
        int distance = std::abs(x - right);
        if (distance <= best)
        {
            best = distance;
            found = i;
        }
    }
    return best <= DividerGrab ? found : -1;
}

void TCustomListView::Measure(const std::vector<int>& columns)
{
    // Only the columns asked that are not known yet are measured: those the owner cannot answer
    // in one pass that fetches each item once.
    m_widest.resize(static_cast<size_t>(std::max(1, m_columns->Count())), -1);
    std::vector<size_t> wanted;
    for (int column : columns)
        if (column >= 0 && static_cast<size_t>(column) < m_widest.size() && m_widest[static_cast<size_t>(column)] < 0)
        {
            int widest = OwnerDataWidest(column);
            m_widest[static_cast<size_t>(column)] = std::max(0, widest);
            if (widest < 0)
                wanted.push_back(static_cast<size_t>(column));
        }
    if (wanted.empty())
        return;
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    for (int i = 0; i < m_count; ++i)
    {
        TListItem* item = Fetched(i);
        for (size_t column : wanted)
        {
            const UnicodeString* text = column == 0                         ? &item->Caption
                                        : column - 1 < item->SubItems.size() ? &item->SubItems[column - 1]
                                                                             : nullptr;
            if (text && text->Length())
                m_widest[column] = std::max(m_widest[column], canvas->TextWidth(*text));
        }
    }
}

int TCustomListView::ColumnFitWidth(int index)
{
    if (index < 0 || index >= m_columns->Count())
        return 0;
    Measure({index});
    Canvas()->Font()->Assign(Font());
    int header = Canvas()->TextWidth(m_columns->Items(index)->Caption) + 2 * CellMargin;
    int widest = m_widest[static_cast<size_t>(index)];
    int cells = index == 0 ? CaptionLeft + widest + CellMargin : widest + 2 * CellMargin;
    return std::max(header, cells);
}

void TCustomListView::FitColumn(int index)
{
    if (index < 0 || index >= m_columns->Count())
        return;
    m_columns->Items(index)->Width = ColumnFitWidth(index);
    Relayout();
    Invalidate();
}

void TCustomListView::ApplyAutoSize()
{
    std::vector<int> autos;
    for (int i = 0; i < m_columns->Count(); ++i)
        if (m_columns->Items(i)->AutoSize)
            autos.push_back(i);
    Measure(autos);
    for (int i = 0; i < m_columns->Count(); ++i)
        if (m_columns->Items(i)->AutoSize)
            m_columns->Items(i)->Width = ColumnFitWidth(i);
}

void TCustomListView::Relayout()
{
    if (m_relayingOut || m_items->Updating())
        return;
    // Showing a bar resizes the client area, which comes back here: once is enough.
    struct Guard
    {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{m_relayingOut};
    m_relayingOut = true;
    if (!m_fitted)
    {
        if (m_viewStyle == vsReport)
            ApplyAutoSize();
        else
            Measure({0});
        m_fitted = true;
    }
    bool vertical = false, horizontal = false;
    FitScrollBars(m_count, ContentWidth(), [this] { return VisibleRowCount(); }, vertical, horizontal);
    m_top = std::clamp(m_top, 0, std::max(0, m_count - std::max(1, VisibleRowCount())));
    m_scrollX = std::clamp(m_scrollX, 0, std::max(0, ContentWidth() - ClientWidth()));
    TellScrollBar(SB_VERT, vertical, m_vertShown, std::max(0, m_count - 1), std::max(1, VisibleRowCount()), m_top);
    TellScrollBar(SB_HORZ, horizontal, m_horzShown, std::max(0, ContentWidth() - 1), std::max(1, ClientWidth()), m_scrollX);
}

void TCustomListView::Resized()
{
    TCustomControl::Resized();
    Relayout();
    Invalidate();
}

void TCustomListView::FontChanged()
{
    TCustomControl::FontChanged();
    ContentsChanged();
}

void TCustomListView::Scroll(bool vertical, int code)
{
    int position = vertical ? m_top : m_scrollX;
    int line = vertical ? 1 : LineStep;
    int page = vertical ? std::max(1, VisibleRowCount()) : std::max(1, ClientWidth());
    if (!ScrollRequestPosition(vertical ? SB_VERT : SB_HORZ, code, line, page, position))
        return;
    if (vertical)
        SetTopIndex(position);
    else
        SetScrollX(position);
}

bool TCustomListView::OwnerDataFetch(TListItem*, TItemRequest)
{
    return false;
}

int TCustomListView::OwnerDataWidest(int)
{
    return -1;
}

int TCustomListView::OwnerDataFind(int, const UnicodeString&)
{
    return -1;
}

bool TCustomListView::OwnerDataHint(int, int)
{
    return false;
}

bool TCustomListView::OwnerDataStateChange(int, int, TItemStates, TItemStates)
{
    return false;
}

bool TCustomListView::CustomDrawItem(TListItem* Item, TCustomDrawState State, TCustomDrawStage Stage)
{
    bool defaultDraw = true;
    if (Stage == cdPrePaint && OnCustomDrawItem)
        OnCustomDrawItem(this, Item, State, defaultDraw);
    return defaultDraw;
}

void TCustomListView::ColClick(TListColumn* Column)
{
    OnColumnClick(this, Column);
}

bool TCustomListView::CanChange(TListItem*, TItemChange)
{
    return true;
}

bool TCustomListView::CanEdit(TListItem*)
{
    return !m_readOnly;
}

void TCustomListView::Change(TListItem* Item, TItemChange Change)
{
    OnChange(this, Item, Change);
    Invalidate();
}

TListItem* TCustomListView::Fetched(int index)
{
    if (!m_drawItem || m_drawItem->Index() != index)
        m_drawItem = std::make_unique<TListItem>(this, index);
    m_drawItem->Caption = UnicodeString();
    m_drawItem->ImageIndex = -1;
    m_drawItem->SubItems.clear();
    OwnerDataFetch(m_drawItem.get(), TItemRequest{irText, irImage});
    return m_drawItem.get();
}

void TCustomListView::Paint()
{
    // Widths a caller set directly, or texts never measured, are settled before drawing.
    Relayout();
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    int header = HeaderHeight();
    bool report = m_viewStyle == vsReport && m_columns->Count() > 0;
    if (header)
    {
        int left = -m_scrollX;
        canvas->Font()->Assign(Font());
        for (int i = 0; i < m_columns->Count(); ++i)
        {
            TListColumn* column = m_columns->Items(i);
            RECT r{left, 0, left + column->Width, header};
            left += column->Width;
            if (r.right <= 0 || r.right <= r.left)
                continue;
            canvas->Brush()->SetColor(clBtnFace);
            canvas->FillRect(TRect(r.left, r.top, r.right, r.bottom));
            DrawEdge(canvas->Handle(), &r, EDGE_RAISED, BF_RECT);
            DrawCellText(canvas, TRect(r.left + CellMargin, r.top, r.right - CellMargin, r.bottom), column->Caption,
                         column->Alignment);
        }
        canvas->Brush()->SetColor(clBtnFace);
        if (left < ClientWidth())
        {
            RECT rest{std::max(left, 0), 0, ClientWidth(), header};
            canvas->FillRect(TRect(rest.left, rest.top, rest.right, rest.bottom));
            DrawEdge(canvas->Handle(), &rest, EDGE_RAISED, BF_RECT);
        }
    }
    int rows = VisibleRowCount() + 1;
    int last = std::min(m_count - 1, m_top + rows - 1);
    if (m_count > 0)
        OwnerDataHint(m_top, last);
    HIMAGELIST images = m_smallImages ? m_smallImages->Handle() : m_smallList;
    int height = RowHeight();
    bool showSelection = Focused() || !m_hideSelection;
    for (int index = m_top; index <= last; ++index)
    {
        TListItem* item = Fetched(index);
        uint8_t bits = m_states[static_cast<size_t>(index)];
        TCustomDrawState state;
        if (bits & StateSelected)
            state << cdsSelected;
        if (bits & StateFocused)
            state << cdsFocused;
        canvas->Font()->Assign(Font());
        canvas->Brush()->SetColor(Color());
        canvas->Brush()->SetStyle(bsSolid);
        if (IsCustomDrawn() && !CustomDrawItem(item, state, cdPrePaint))
            continue;
        int top = RowTop(index);
        TRect label = item->DisplayRect(drLabel);
        TRect icon = item->DisplayRect(drIcon);
        if (item->ImageIndex >= 0 && images)
            ImageList_Draw(images, item->ImageIndex, canvas->Handle(), icon.left, top + (height - IconSize) / 2,
                           (bits & (StateSelected | StateDrop)) && showSelection ? ILD_SELECTED : ILD_NORMAL);
        bool highlighted = ((bits & StateSelected) && showSelection) || (bits & StateDrop);
        int textWidth = canvas->TextWidth(item->Caption);
        TRect textRect(label.left, top, std::min(label.right, label.left + textWidth + 4), top + height);
        if (highlighted)
        {
            canvas->Brush()->SetColor(clHighlight);
            canvas->FillRect(textRect);
            canvas->Font()->SetColor(clHighlightText);
        }
        canvas->Brush()->SetStyle(bsClear);
        DrawCellText(canvas, TRect(label.left + 2, top, label.right - CellMargin, top + height), item->Caption,
                     taLeftJustify);
        if ((bits & StateFocused) && Focused())
            canvas->DrawFocusRect(textRect);
        if (highlighted)
            canvas->Font()->SetColor(Font()->Color());
        if (report)
        {
            int left = m_columns->Items(0)->Width - m_scrollX;
            for (int c = 1; c < m_columns->Count(); ++c)
            {
                TListColumn* column = m_columns->Items(c);
                size_t sub = static_cast<size_t>(c - 1);
                if (sub < item->SubItems.size())
                    DrawCellText(canvas,
                                 TRect(left + CellMargin, top, left + column->Width - CellMargin, top + height),
                                 item->SubItems[sub], column->Alignment);
                left += column->Width;
            }
        }
        canvas->Brush()->SetStyle(bsSolid);
        if (m_gridLines && report)
        {
            canvas->Pen()->SetColor(clBtnFace);
            canvas->MoveTo(-m_scrollX, top + height - 1);
            canvas->LineTo(ItemWidth() - m_scrollX, top + height - 1);
        }
    }
}

void TCustomListView::SelectByUser(int index, TShiftState shift)
{
    if (index < 0 || index >= m_count)
        return;
    if (m_multiSelect && shift.Contains(ssShift) && m_anchor >= 0)
    {
        int a = std::min(m_anchor, index), b = std::max(m_anchor, index);
        if (!shift.Contains(ssCtrl))
        {
            ChangeStates(0, a - 1, TItemStates(), TItemStates{isSelected});
            ChangeStates(b + 1, m_count - 1, TItemStates(), TItemStates{isSelected});
        }
        ChangeStates(a, b, TItemStates{isSelected}, TItemStates());
    }
    else if (m_multiSelect && shift.Contains(ssCtrl))
    {
        bool selected = m_states[static_cast<size_t>(index)] & StateSelected;
        ChangeStates(index, index, selected ? TItemStates() : TItemStates{isSelected},
                     selected ? TItemStates{isSelected} : TItemStates());
        m_anchor = index;
    }
    else
    {
        ChangeStates(0, index - 1, TItemStates(), TItemStates{isSelected});
        ChangeStates(index + 1, m_count - 1, TItemStates(), TItemStates{isSelected});
        ChangeStates(index, index, TItemStates{isSelected}, TItemStates());
        m_anchor = index;
    }
    SetItemFocused(m_items->Item(index));
    m_items->Item(index)->MakeVisible(false);
}

bool TCustomListView::HeaderMouse(TMessage& Message)
{
    int x = GET_X_LPARAM(Message.LParam);
    int y = GET_Y_LPARAM(Message.LParam);
    auto showSplit = [this](bool split)
    {
        if (split == m_splitCursor)
            return;
        m_splitCursor = split;
        if (split)
            m_cursorBeforeSplit = Cursor();
        SetCursor(split ? crHSplit : m_cursorBeforeSplit);
    };
    if (m_sizing >= 0)
    {
        // A drag whose release went elsewhere (a box took the mouse) ends at the next move.
        if (m_sizing >= m_columns->Count() || (Message.Msg == WM_MOUSEMOVE && !(Message.WParam & MK_LBUTTON)))
            m_sizing = -1;
        else if (Message.Msg == WM_MOUSEMOVE || Message.Msg == WM_LBUTTONUP)
        {
            // The column follows the pointer as it moves (a full drag); the user's width holds.
            TListColumn* column = m_columns->Items(m_sizing);
            int width = std::max(0, m_sizingFromWidth + x - m_sizingFromX);
            column->AutoSize = false;
            if (width != column->Width)
            {
                column->Width = width;
                Relayout();
                Invalidate();
            }
            if (Message.Msg == WM_LBUTTONUP)
            {
                m_sizing = -1;
                showSplit(DividerAt(x) >= 0 && y >= 0 && y < HeaderHeight());
            }
            Message.Result = 0;
            return true;
        }
    }
    bool inHeader = y >= 0 && y < HeaderHeight();
    if (Message.Msg == WM_MOUSEMOVE)
    {
        showSplit(inHeader && DividerAt(x) >= 0);
        return false;
    }
    if (!inHeader || (Message.Msg != WM_LBUTTONDOWN && Message.Msg != WM_LBUTTONDBLCLK))
        return false;
    // The header is no item: a press there neither selects nor counts as the list's double click.
    if (CanFocus() && !Focused())
        SetFocus();
    Message.Result = 0;
    int divider = DividerAt(x);
    if (divider >= 0 && Message.Msg == WM_LBUTTONDBLCLK)
    {
        FitColumn(divider);
        return true;
    }
    if (divider >= 0)
    {
        m_sizing = divider;
        m_sizingFromX = x;
        m_sizingFromWidth = m_columns->Items(divider)->Width;
        showSplit(true);
        return true;
    }
    int column = ColumnAt(x);
    if (column >= 0)
        ColClick(m_columns->Items(column));
    return true;
}

void TCustomListView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    m_pressed = -1;
    m_pressedAt = TPoint(X, Y);
    if (CanFocus() && !Focused())
        SetFocus();
    // The header took its left presses in WndProc; other buttons there select nothing.
    bool inRows = Y >= HeaderHeight();
    if (TListItem* item = inRows ? GetItemAt(X, Y) : nullptr)
    {
        bool plain = Button == mbLeft && !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl);
        if (plain && item->Selected())
        {
            m_pressed = item->Index();
            SetItemFocused(item);
        }
        // A right click keeps a selection it falls into, as a context menu expects.
        else if (Button == mbLeft || !item->Selected())
            SelectByUser(item->Index(), Button == mbLeft ? Shift : TShiftState());
    }
    else if (inRows && Button == mbLeft && !Shift.Contains(ssCtrl))
        SetSelected(nullptr);
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

bool TCustomListView::MovedDragDistance(int X, int Y) const
{
    return std::abs(X - m_pressedAt.x) >= Vcl::DragThreshold || std::abs(Y - m_pressedAt.y) >= Vcl::DragThreshold;
}

void TCustomListView::MouseMove(TShiftState Shift, int X, int Y)
{
    if (m_pressed >= 0 && (!Shift.Contains(ssLeft) || (MovedDragDistance(X, Y) && PressBeginsDrag())))
        m_pressed = -1;
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomListView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && m_pressed >= 0)
        SelectByUser(std::exchange(m_pressed, -1), TShiftState());
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCustomListView::KeyDown(WORD& Key, TShiftState Shift)
{
    TListItem* focused = ItemFocused();
    int current = focused ? focused->Index() : -1;
    int target = -1;
    int page = std::max(1, VisibleRowCount() - 1);
    switch (Key)
    {
    case VK_UP:
        target = current < 0 ? 0 : current - 1;
        break;
    case VK_DOWN:
        target = current + 1;
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = m_count - 1;
        break;
    case VK_PRIOR:
        target = std::max(0, current - page);
        break;
    case VK_NEXT:
        target = std::min(m_count - 1, current + page);
        break;
    default:
        break;
    }
    if (target >= 0 && target < m_count)
        SelectByUser(target, Shift.Contains(ssShift) ? TShiftState{ssShift} : TShiftState());
    TCustomControl::KeyDown(Key, Shift);
}

void TCustomListView::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case LVM_SETIMAGELIST:
    {
        HIMAGELIST& slot = Message.WParam == LVSIL_SMALL ? m_smallList : m_largeList;
        Message.Result = reinterpret_cast<LRESULT>(slot);
        slot = reinterpret_cast<HIMAGELIST>(Message.LParam);
        Invalidate();
        return;
    }
    case WM_MOUSEWHEEL:
    {
        int delta = static_cast<SHORT>(HIWORD(Message.WParam));
        SetTopIndex(m_top - delta / 40);
        Message.Result = 0;
        return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        Scroll(Message.Msg == WM_VSCROLL, LOWORD(Message.WParam));
        Message.Result = 0;
        return;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
        if (HeaderMouse(Message))
            return;
        TCustomControl::WndProc(Message);
        return;
    case WM_CANCELMODE:
        // A loop took the mouse (a drag, a box): the press's release selects nothing.
        m_pressed = -1;
        TCustomControl::WndProc(Message);
        return;
    default:
        TCustomControl::WndProc(Message);
    }
}

// ---- Windows for the drag loop ---------------------------------------------------------------

namespace
{
TWinControl* FindWindowed(TWinControl* root, HWND window)
{
    if (root->Handle() == window)
        return root;
    for (int i = 0; i < root->ControlCount(); ++i)
        if (auto* child = dynamic_cast<TWinControl*>(root->Controls(i)))
            if (TWinControl* found = FindWindowed(child, window))
                return found;
    return nullptr;
}

TWinControl* ControlOfWindow(HWND window)
{
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (TWinControl* found = FindWindowed(Screen->Forms(i), window))
            return found;
    return nullptr;
}

} // namespace

namespace Vcl
{
void InstallShellBridges()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    Platform::DragDropWindows windows;
    windows.ClientToScreen = [](HWND window, POINT client) -> POINT
    {
        TWinControl* control = ControlOfWindow(window);
        if (!control)
            return client;
        TPoint p = control->ClientToScreen(TPoint(client.x, client.y));
        return POINT{p.x, p.y};
    };
    windows.WindowAt = [](POINT screen) -> HWND
    {
        // The active form first, then the others from the newest.
        std::vector<TCustomForm*> forms;
        if (Screen->ActiveForm())
            forms.push_back(Screen->ActiveForm());
        for (int i = Screen->FormCount() - 1; i >= 0; --i)
            if (Screen->Forms(i) != Screen->ActiveForm())
                forms.push_back(Screen->Forms(i));
        for (TCustomForm* form : forms)
        {
            if (!form->Visible())
                continue;
            TPoint p(screen.x - form->Left(), screen.y - form->Top());
            if (p.x < 0 || p.y < 0 || p.x >= form->ClientWidth() || p.y >= form->ClientHeight())
                continue;
            TWinControl* deepest = form;
            for (;;)
            {
                TControl* child = deepest->ControlAtPos(p);
                auto* windowed = dynamic_cast<TWinControl*>(child);
                if (!windowed)
                    break;
                p = TPoint(p.x - windowed->Left(), p.y - windowed->Top());
                deepest = windowed;
            }
            return deepest->Handle();
        }
        return nullptr;
    };
    windows.ParentOf = [](HWND window) -> HWND
    {
        TWinControl* control = ControlOfWindow(window);
        return control && control->Parent() ? control->Parent()->Handle() : nullptr;
    };
    windows.Paint = [] { Application->PaintForms(); };
    Platform::SetDragDropWindows(std::move(windows));
    InstallFileOperationProgress();
    // A shell menu shows as a popup menu; the chosen entry's command is the answer.
    Platform::SetMenuTracker(
        [](HMENU menu, int x, int y, HWND) -> UINT
        {
            struct Entry : TMenuItem
            {
                Entry(TComponent* owner, UINT id, UINT* chosen) : TMenuItem(owner), m_id(id), m_chosen(chosen) {}
                void Click() override
                {
                    *m_chosen = m_id;
                    TMenuItem::Click();
                }
                UINT m_id;
                UINT* m_chosen;
            };
            UINT chosen = 0;
            TPopupMenu popup(nullptr);
            WCHAR text[256];
            for (int i = 0; i < GetMenuItemCount(menu); ++i)
            {
                GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
                auto* entry = new Entry(&popup, GetMenuItemID(menu, i), &chosen);
                entry->SetCaption(text);
                popup.Items()->Add(entry);
            }
            popup.Popup(x, y);
            return chosen;
        });
}
} // namespace Vcl
