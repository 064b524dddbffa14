#include "Platform/Vcl/StdCtrls.h"

#include <algorithm>

namespace
{
TRect ListRowRect(int row, int height, int width)
{
    return TRect(0, row * height, width, (row + 1) * height);
}
} // namespace

TListBox::TListBox(TComponent* AOwner) : TCustomControl(AOwner), m_items(new TStringList)
{
    SetTabStop(true);
    SetColor(clWindow);
    // OnClick tells selections, not presses.
    TControlStyle style = ControlStyle();
    style >> csClickEvents;
    SetControlStyle(style);
    SetWindowExStyle(WindowExStyle() | WS_EX_CLIENTEDGE);
    // Double clicks are taken in WndProc, so the row is selected before OnDblClick.
    m_items->OnChange = MakeClosure(this, &TListBox::ItemsChanged);
    int textHeight = Canvas()->TextHeight(u"Wg");
    m_itemHeight = std::max(13, textHeight);
    SetBounds(0, 0, 121, 97);
}

TListBox::~TListBox()
{
    delete m_items;
}

void TListBox::ItemsChanged(TObject*)
{
    if (m_itemIndex >= Count())
        m_itemIndex = -1;
    SetTopIndex(m_topIndex);
    UpdateScrollBar();
    Invalidate();
}

void TListBox::SetSorted(bool sorted)
{
    if (sorted == m_items->Sorted())
        return;
    // The selection follows its string, not its old place.
    TObject* object = m_itemIndex >= 0 ? m_items->Objects(m_itemIndex) : nullptr;
    UnicodeString text = m_itemIndex >= 0 ? m_items->Strings(m_itemIndex) : UnicodeString();
    bool hadSelection = m_itemIndex >= 0;
    m_items->SetSorted(sorted);
    if (hadSelection)
    {
        int found = -1;
        for (int i = 0; i < Count() && found < 0; ++i)
        {
            if (m_items->Objects(i) == object && m_items->Strings(i) == text)
                found = i;
        }
        m_itemIndex = found;
    }
    Invalidate();
}

void TListBox::SetItemIndex(int index)
{
    if (index < -1 || index >= Count())
        index = -1;
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    ScrollIntoView(index);
    Invalidate();
}

void TListBox::SetItemHeight(int height)
{
    height = std::max(1, height);
    if (height == m_itemHeight)
        return;
    m_itemHeight = height;
    UpdateScrollBar();
    Invalidate();
}

int TListBox::VisibleRows() const
{
    return std::max(1, ClientHeight() / m_itemHeight);
}

void TListBox::SetTopIndex(int index)
{
    int last = std::max(0, Count() - VisibleRows());
    index = std::clamp(index, 0, last);
    if (index == m_topIndex)
        return;
    m_topIndex = index;
    UpdateScrollBar();
    Invalidate();
}

void TListBox::ScrollIntoView(int index)
{
    if (index < 0)
        return;
    if (index < m_topIndex)
        SetTopIndex(index);
    else if (index >= m_topIndex + VisibleRows())
        SetTopIndex(index - VisibleRows() + 1);
}

void TListBox::UpdateScrollBar()
{
    bool needed = Count() > ClientArea().Height() / m_itemHeight;
    if (needed)
    {
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, Count() - 1,
                        static_cast<UINT>(VisibleRows()), m_topIndex, 0};
        SetScrollInfo(SB_VERT, info, true);
    }
    if (((WindowStyle() & WS_VSCROLL) != 0) != needed)
        ShowScrollBar(SB_VERT, needed);
}


TRect TListBox::ItemRect(int index) const
{
    return ListRowRect(index - m_topIndex, m_itemHeight, ClientWidth());
}

int TListBox::ItemAtPos(const TPoint& point, bool existing) const
{
    if (point.y < 0 || point.x < 0 || point.x >= ClientWidth())
        return existing ? -1 : Count();
    int index = m_topIndex + point.y / m_itemHeight;
    if (index >= Count())
        return existing ? -1 : Count();
    return index;
}

void TListBox::SelectByUser(int index, bool always)
{
    if (index < 0 || index >= Count())
        return;
    ScrollIntoView(index);
    if (index == m_itemIndex && !always)
        return;
    m_itemIndex = index;
    Invalidate();
    Click();
}

void TListBox::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Count() == 0)
        return;
    int current = m_itemIndex;
    int page = std::max(1, VisibleRows() - 1);
    switch (Key)
    {
    case VK_UP:
        SelectByUser(current < 0 ? 0 : std::max(0, current - 1));
        break;
    case VK_DOWN:
        SelectByUser(current < 0 ? 0 : std::min(Count() - 1, current + 1));
        break;
    case VK_HOME:
        SelectByUser(0);
        break;
    case VK_END:
        SelectByUser(Count() - 1);
        break;
    case VK_PRIOR:
        SelectByUser(std::max(0, (current < 0 ? 0 : current) - page));
        break;
    case VK_NEXT:
        SelectByUser(std::min(Count() - 1, (current < 0 ? 0 : current) + page));
        break;
    default:
        return;
    }
    Key = 0;
}

void TListBox::KeyPress(WCHAR& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key < u' ' || Count() == 0)
        return;
    // The next item after the selected one whose text starts with the letter, wrapping around.
    WCHAR wanted[2] = {Key, 0};
    CharLowerW(wanted);
    for (int step = 1; step <= Count(); ++step)
    {
        int index = ((m_itemIndex < 0 ? -1 : m_itemIndex) + step) % Count();
        const UnicodeString& text = m_items->Strings(index);
        if (text.IsEmpty())
            continue;
        WCHAR first[2] = {text[1], 0};
        CharLowerW(first);
        if (first[0] == wanted[0])
        {
            SelectByUser(index);
            break;
        }
    }
}

void TListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        m_tracking = true;
        // A press on a row tells the selection also when it stays on that row, as on the platform.
        SelectByUser(ItemAtPos(TPoint(X, Y)), true);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TListBox::MouseMove(TShiftState Shift, int X, int Y)
{
    // Dragging with the button down moves the selection along, as on the platform.
    if (m_tracking && Shift.Contains(ssLeft))
    {
        int y = std::clamp(Y, 0, std::max(0, ClientHeight() - 1));
        SelectByUser(ItemAtPos(TPoint(std::clamp(X, 0, std::max(0, ClientWidth() - 1)), y)));
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
        m_tracking = false;
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TListBox::DoMouseWheelDown(TShiftState, TPoint)
{
    SetTopIndex(m_topIndex + 3);
    return true;
}

bool TListBox::DoMouseWheelUp(TShiftState, TPoint)
{
    SetTopIndex(m_topIndex - 3);
    return true;
}

void TListBox::Resized()
{
    TCustomControl::Resized();
    UpdateScrollBar();
    SetTopIndex(m_topIndex);
}

void TListBox::DoEnter()
{
    TCustomControl::DoEnter();
    Invalidate();
}

void TListBox::DoExit()
{
    m_tracking = false;
    TCustomControl::DoExit();
    Invalidate();
}

void TListBox::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_LBUTTONDBLCLK:
        if (Enabled())
            SelectByUser(ItemAtPos(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam))));
        break;
    case WM_VSCROLL:
    {
        int top = m_topIndex;
        ScrollRequestPosition(SB_VERT, LOWORD(Message.WParam), 1, VisibleRows(), top);
        SetTopIndex(top);
        Message.Result = 0;
        return;
    }
    }
    TCustomControl::WndProc(Message);
}

void TListBox::Paint()
{
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
    canvas->FillRect(client);
    int rows = client.Height() / m_itemHeight + 1;
    for (int row = 0; row < rows; ++row)
    {
        int index = m_topIndex + row;
        if (index >= Count())
            break;
        TRect r = ListRowRect(row, m_itemHeight, client.Width());
        bool selected = index == m_itemIndex;
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(selected ? clHighlight : (Enabled() ? Color() : clBtnFace));
        canvas->Font()->SetColor(selected ? clHighlightText : (Enabled() ? clWindowText : clGrayText));
        canvas->TextRect(r, r.left + 2, r.top + (m_itemHeight - canvas->TextHeight(u"Wg")) / 2,
                         m_items->Strings(index));
        if (selected && Focused())
            canvas->DrawFocusRect(r);
    }
    // An empty focused list shows the focus on its first row.
    if (Focused() && (m_itemIndex < 0 || m_itemIndex < m_topIndex))
    {
        if (Count() == 0 || m_itemIndex < 0)
            canvas->DrawFocusRect(ListRowRect(0, m_itemHeight, client.Width()));
    }
}

void TListBox::Ctl3DChanged()
{
    ApplyClientEdge();
    TCustomControl::Ctl3DChanged();
}
