#include "Controls/XScrollList.h"

#include <algorithm>

XScrollList::XScrollList(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetControlStyle(ControlStyle() << csAcceptsControls << csFramed << csOpaque << csDoubleClicks << csReflector);
    SetWindowStyle(WindowStyle() | WS_CLIPCHILDREN);
    SetBounds(Left(), Top(), 300, 200);
    FScrollBarWidth = GetSystemMetrics(SM_CXVSCROLL);
}

XScrollList::~XScrollList()
{
    FPanels.Clear();
}

TFormBorderStyle XScrollList::BorderStyle() const
{
    return ControlStyle().Contains(csFramed) ? bsSingle : bsNone;
}

void XScrollList::SetBorderStyle(TFormBorderStyle value)
{
    TControlStyle style = ControlStyle();
    if (value == bsSingle)
        style << csFramed;
    else
        style >> csFramed;
    TRect before = ClientArea();
    SetControlStyle(style);
    if (!(ClientArea() == before))
    {
        TRect client = ClientRect();
        Perform(WM_SIZE, 0, MAKELPARAM(client.Width(), client.Height()));
    }
    Invalidate();
}

void XScrollList::SizeChanged(bool updateScrollBars)
{
    FPosNotices = false;
    FSizeNotices = false;
    int total = 0;
    for (uint32_t i = 0; i < FPanels.GetCount(); ++i)
        if (FPanels[i]->Visible())
            total += FPanels[i]->Height();
    FTotalHeight = total;
    int w = ClientWidth();
    if (FScrollPos + Height() > FTotalHeight)
        FScrollPos = std::max(0, FTotalHeight - Height());
    int y = -FScrollPos;
    for (uint32_t i = 0; i < FPanels.GetCount(); ++i)
    {
        XScroll* panel = FPanels[i];
        if (!panel->Visible())
            continue;
        panel->SetBounds(0, y, panel->FixWidth() ? panel->Width() : w, panel->Height());
        y += panel->Height();
    }
    if (updateScrollBars)
        UpdateScrollBars();
    FPosNotices = true;
    FSizeNotices = true;
}

void XScrollList::ClientPosChanged(XScroll* panel)
{
    if (!FPosNotices)
        return;
    int i = FPanels.IndexOf(panel);
    if (i < 0)
        return;
    int y = panel->Top();
    bool moved = false;
    for (int j = 0; j < i && !moved; ++j)
    {
        if (FPanels[static_cast<uint32_t>(j)]->Top() < y)
            continue;
        for (int k = i; k > j; --k)
            FPanels[static_cast<uint32_t>(k)] = FPanels[static_cast<uint32_t>(k - 1)];
        FPanels[static_cast<uint32_t>(j)] = panel;
        moved = true;
    }
    int last = static_cast<int>(FPanels.GetCount()) - 1;
    for (int k = last; k > i && !moved; --k)
    {
        if (FPanels[static_cast<uint32_t>(k)]->Top() > y)
            continue;
        for (int m = i; m < k; ++m)
            FPanels[static_cast<uint32_t>(m)] = FPanels[static_cast<uint32_t>(m + 1)];
        FPanels[static_cast<uint32_t>(k)] = panel;
        moved = true;
    }
    SizeChanged(true);
}

void XScrollList::ClientSizeChanged(XScroll*)
{
    if (FSizeNotices)
        SizeChanged(true);
}

void XScrollList::SetTotalHeight(int value)
{
    FTotalHeight = value;
    UpdateScrollBars();
}

void XScrollList::UpdateScrollBars()
{
    bool needed = Height() <= FTotalHeight;
    if (needed)
    {
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, FTotalHeight,
                        static_cast<UINT>(Height()), FScrollPos, 0};
        SetScrollInfo(SB_VERT, info, true);
    }
    if (needed == FScrollBarShown)
    {
        ShowScrollBar(SB_VERT, needed);
        return;
    }
    FScrollBarShown = needed;
    FScrollPos = 0;
    ShowScrollBar(SB_VERT, needed);
    SizeChanged(false);
}

void XScrollList::CMControlListChange(TMessage& Message)
{
    auto* control = reinterpret_cast<TControl*>(Message.WParam);
    if (!Message.LParam)
    {
        // By identity: a panel being destroyed may no longer be an XScroll as far as its type goes.
        for (uint32_t i = 0; i < FPanels.GetCount(); ++i)
        {
            if (static_cast<TControl*>(FPanels[i]) == control)
            {
                FPanels.Delete(i);
                SizeChanged(true);
                return;
            }
        }
        return;
    }
    auto* panel = dynamic_cast<XScroll*>(control);
    if (!panel || FPanels.IndexOf(panel) >= 0)
        return;
    int y = panel->Top();
    int j = -1;
    for (uint32_t i = 0; i < FPanels.GetCount(); ++i)
    {
        if (FPanels[i]->Top() > y)
        {
            j = static_cast<int>(i);
            break;
        }
    }
    int height = panel->Height();
    if (j >= 0)
    {
        FPanels.Insert(static_cast<uint32_t>(j), panel);
        if (ComponentState().Contains(csReading))
        {
            SetTotalHeight(FTotalHeight + height);
            return;
        }
        panel->SetBounds(0, FTotalHeight, ClientWidth(), height);
        SetTotalHeight(FTotalHeight + height);
        return;
    }
    FPanels.Add(panel);
    panel->SetBounds(0, FTotalHeight, ClientWidth(), height);
    SetTotalHeight(FTotalHeight + height);
    SizeChanged(true);
}

void XScrollList::Resize()
{
    if (FPanels.GetCount() > 0 && Width() != FLastWidth)
        SizeChanged(true);
    else
        UpdateScrollBars();
    FLastWidth = Width();
    TCustomControl::Resize();
}

void XScrollList::Paint()
{
    if (FTotalHeight >= Height())
        return;
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(TRect(0, FTotalHeight - FScrollPos, ClientWidth(), Height()));
}

void XScrollList::ScrollTo(int position)
{
    if (position == FScrollPos)
        return;
    FScrollPos = std::max(0, position);
    SizeChanged(true);
}

void XScrollList::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_VSCROLL:
    {
        int position = FScrollPos;
        switch (LOWORD(Message.WParam))
        {
        case SB_LINEUP:
            position -= 8;
            break;
        case SB_LINEDOWN:
            position += 8;
            break;
        case SB_PAGEUP:
            position -= Height() / 2;
            break;
        case SB_PAGEDOWN:
            position += Height() / 2;
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
        {
            SCROLLINFO info{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
            GetScrollInfo(SB_VERT, info);
            position = info.nTrackPos;
            break;
        }
        }
        ScrollTo(position);
        if (!Focused() && CanFocus())
            SetFocus();
        break;
    }
    case WM_LBUTTONDOWN:
        if (!Focused() && CanFocus())
            SetFocus();
        break;
    case CM_CONTROLLISTCHANGE:
        CMControlListChange(Message);
        break;
    }
    TCustomControl::WndProc(Message);
}

bool XScrollList::DoMouseWheelDown(TShiftState Shift, TPoint)
{
    if (!Shift.Contains(ssCtrl))
        FScrollPos += 16;
    else
    {
        // The first panel below the top comes to the top.
        int sum = 0;
        for (uint32_t i = 0; i < FPanels.GetCount(); ++i)
        {
            XScroll* panel = FPanels[i];
            if (!panel->Visible())
                continue;
            if (panel->Top() > 0)
            {
                FScrollPos = sum;
                break;
            }
            sum += panel->Height();
        }
    }
    SizeChanged(true);
    return true;
}

bool XScrollList::DoMouseWheelUp(TShiftState Shift, TPoint)
{
    if (!Shift.Contains(ssCtrl))
        FScrollPos = std::max(0, FScrollPos - 16);
    else
    {
        // The visible panel before the first one at or below the top comes to the top.
        int sum = 0;
        int previousStart = -1;
        for (uint32_t i = 0; i < FPanels.GetCount(); ++i)
        {
            XScroll* panel = FPanels[i];
            if (!panel->Visible())
                continue;
            if (panel->Top() >= 0)
            {
                FScrollPos = previousStart >= 0 ? previousStart : 0;
                break;
            }
            previousStart = sum;
            sum += panel->Height();
        }
    }
    SizeChanged(true);
    return true;
}

void XScrollList::DockOver(TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept)
{
    TCustomControl::DockOver(Source, X, Y, State, Accept);
    if (dynamic_cast<XScroll*>(Source->Control()))
        Accept = FDockScrolls;
}

void XScrollList::DockDrop(TDragDockObject* Source, int X, int Y)
{
    TCustomControl::DockDrop(Source, X, Y);
    if (auto* panel = dynamic_cast<XScroll*>(Source->Control()))
        panel->SetParent(this);
}

bool XScrollList::DoUnDock(TWinControl* NewTarget, TControl* Client)
{
    bool allow = TCustomControl::DoUnDock(NewTarget, Client);
    if (auto* panel = dynamic_cast<XScroll*>(Client); panel && !panel->CanFloat())
        return NewTarget != nullptr;
    return allow;
}
