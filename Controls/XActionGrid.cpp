#include "Controls/XActionGrid.h"

#include "Platform/Vcl/Forms.h"

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr int kMaxCells = 64;
constexpr int kMinCellSize = 16;
constexpr uint32_t kMaskGrey = 0x888888;

// A count as RowCount and LineCount take it: negative keeps the current one.
int ClampCount(int value, int current)
{
    if (value < 0)
        return current;
    return std::clamp(value, 1, kMaxCells);
}
} // namespace

// ---- XAction ---------------------------------------------------------------------------------

XAction::XAction() = default;

XAction::~XAction()
{
    Notify(xaeDestroy);
    // Every grid empties its cells above; what is left cannot be told any more.
    FUsers.clear();
}

void XAction::SetImageIndex(int index)
{
    if (index == FImageIndex)
        return;
    FImageIndex = index;
    Notify(xaeImage);
}

void XAction::SetHint(const UnicodeString& hint)
{
    if (hint == FHint)
        return;
    FHint = hint;
    Notify(xaeHint);
}

void XAction::SetEnabled(bool enabled)
{
    if (enabled == FEnabled)
        return;
    FEnabled = enabled;
    Notify(xaeEnabled);
}

void XAction::SetDown(bool down)
{
    if (down == FDown)
        return;
    if (down && (!FEnabled || FProgressPosition < FProgressMax))
        return;
    FDown = down;
    Notify(xaeDown);
}

void XAction::SetProgress(int minimum, int maximum, int position)
{
    if (minimum == FProgressMin && maximum == FProgressMax && position == FProgressPosition)
        return;
    FProgressMin = minimum;
    FProgressMax = maximum;
    FProgressPosition = position;
    Notify(xaeProgress);
}

void XAction::AddUser(XActionGrid* grid)
{
    for (XActionUse& use : FUsers)
    {
        if (use.Grid == grid)
        {
            ++use.UseCount;
            return;
        }
    }
    FUsers.push_back(XActionUse{grid, 1});
}

void XAction::RemoveUser(XActionGrid* grid)
{
    auto it = std::find_if(FUsers.begin(), FUsers.end(), [grid](const XActionUse& use) { return use.Grid == grid; });
    if (it == FUsers.end())
        return;
    if (--it->UseCount > 0)
        return;
    // Forgotten before it hears of it, so that whatever it does then sees the action's real users.
    FUsers.erase(it);
    grid->ActionEventProc(this, xaeReleased);
}

uint32_t XAction::UseCount(const XActionGrid* grid) const
{
    for (const XActionUse& use : FUsers)
    {
        if (use.Grid == grid)
            return use.UseCount;
    }
    return 0;
}

void XAction::Notify(XActionEvent event)
{
    // A grid may drop its entry (or several) while it handles the event: walk a copy, and ask each
    // grid only while it is still a user.
    std::vector<XActionGrid*> grids;
    grids.reserve(FUsers.size());
    for (const XActionUse& use : FUsers)
        grids.push_back(use.Grid);
    for (auto it = grids.rbegin(); it != grids.rend(); ++it)
    {
        if (UseCount(*it) > 0)
            (*it)->ActionEventProc(this, event);
    }
}

void XAction::Execute()
{
    OnExecute(this);
}

// ---- XActionGrid -----------------------------------------------------------------------------

XActionGrid::XActionGrid(TComponent* AOwner) : TCustomControl(AOwner)
{
    FMask = new TBitmap;
    FBackBuffer = new TBitmap;
    SetGridSize(4, 4);
    RemakeBuffers();
}

XActionGrid::~XActionGrid()
{
    ClearActions();
    SetImages(nullptr);
    delete FMask;
    delete FBackBuffer;
    FMask = nullptr;
    FBackBuffer = nullptr;
}

void XActionGrid::RemakeBuffers()
{
    FMask->SetSize(FCellWidth, FCellHeight);
    FBackBuffer->SetSize(FCellWidth, FCellHeight);
    for (int y = 0; y < FCellHeight; ++y)
        std::fill_n(FMask->ScanLine(y), FCellWidth, kMaskGrey);
}

// ---- Cells -----------------------------------------------------------------------------------

void XActionGrid::setAction(int index, XAction* action)
{
    if (index < 0 || index >= GetCellCount())
        return;
    XAction* old = FCells[static_cast<size_t>(index)];
    if (old == action)
        return;
    if (old)
        old->RemoveUser(this);
    FCells[static_cast<size_t>(index)] = action;
    if (action)
        action->AddUser(this);
    InvalidateRect(CellRect(index));
}

void XActionGrid::setAction(int column, int line, XAction* action)
{
    if (column < 0 || column >= FRowCount || line < 0 || line >= FLineCount)
        return;
    setAction(line * FRowCount + column, action);
}

XAction* XActionGrid::getAction(int index) const
{
    if (index < 0 || index >= GetCellCount())
        return nullptr;
    return FCells[static_cast<size_t>(index)];
}

XAction* XActionGrid::getAction(int column, int line) const
{
    if (column < 0 || column >= FRowCount || line < 0 || line >= FLineCount)
        return nullptr;
    return FCells[static_cast<size_t>(line * FRowCount + column)];
}

void XActionGrid::AddAction(XAction* action)
{
    for (int i = 0; i < GetCellCount(); ++i)
    {
        if (!FCells[static_cast<size_t>(i)])
        {
            setAction(i, action);
            return;
        }
    }
}

void XActionGrid::ClearActions()
{
    for (int i = GetCellCount() - 1; i >= 0; --i)
        setAction(i, nullptr);
}

void XActionGrid::SetGridSize(int columns, int lines)
{
    columns = ClampCount(columns, FRowCount);
    lines = ClampCount(lines, FLineCount);
    if (columns == FRowCount && lines == FLineCount)
        return;
    std::vector<XAction*> cells(static_cast<size_t>(columns) * static_cast<size_t>(lines), nullptr);
    std::vector<XAction*> dropped;
    for (int line = 0; line < FLineCount; ++line)
    {
        for (int column = 0; column < FRowCount; ++column)
        {
            XAction* action = FCells[static_cast<size_t>(line * FRowCount + column)];
            if (!action)
                continue;
            if (line < lines && column < columns)
                cells[static_cast<size_t>(line * columns + column)] = action;
            else
                dropped.push_back(action);
        }
    }
    // The new grid stands before the dropped actions hear of it.
    FCells.swap(cells);
    FRowCount = columns;
    FLineCount = lines;
    for (XAction* action : dropped)
        action->RemoveUser(this);
    Invalidate();
}

XAction* XActionGrid::ActionAtPos(int X, int Y) const
{
    int index;
    return ActionAtPos(X, Y, index);
}

XAction* XActionGrid::ActionAtPos(int X, int Y, int& CellIndex) const
{
    CellIndex = -1;
    if (X < 0 || Y < 0)
        return nullptr;
    int column = X / FCellWidth + FLeftRow;
    int line = Y / FCellHeight + FTopLine;
    if (column >= FRowCount || line >= FLineCount)
        return nullptr;
    CellIndex = line * FRowCount + column;
    return FCells[static_cast<size_t>(CellIndex)];
}

TRect XActionGrid::CellRect(int index) const
{
    int column = index % FRowCount;
    int line = index / FRowCount;
    if (column < FLeftRow || line < FTopLine)
        return TRect();
    int x = (column - FLeftRow) * FCellWidth;
    int y = (line - FTopLine) * FCellHeight;
    return TRect(x, y, x + FCellWidth, y + FCellHeight);
}

void XActionGrid::InvalidateAction(XAction* action)
{
    if (!HandleAllocated() || !action)
        return;
    for (int i = 0; i < GetCellCount(); ++i)
    {
        if (FCells[static_cast<size_t>(i)] != action)
            continue;
        TRect r = CellRect(i);
        if (!r.IsEmpty())
            InvalidateRect(r);
    }
}

void XActionGrid::ActionEventProc(XAction* Action, XActionEvent Event)
{
    switch (Event)
    {
    case xaeDown:
    case xaeEnabled:
    case xaeImage:
    case xaeHint:
    case xaeProgress:
    case xaeChanged:
        InvalidateAction(Action);
        break;
    case xaeReleased:
        if (Action == FDraggedAction)
            FDraggedAction = nullptr;
        break;
    case xaeDestroy:
        for (int i = GetCellCount() - 1; i >= 0; --i)
        {
            if (FCells[static_cast<size_t>(i)] == Action)
                setAction(i, nullptr);
        }
        break;
    }
}

// ---- Properties ------------------------------------------------------------------------------

void XActionGrid::SetImages(TCustomImageList* images)
{
    if (images == FImages)
        return;
    if (FImages)
        FImages->RemoveFreeNotification(this);
    FImages = images;
    if (images)
        images->FreeNotification(this);
    Invalidate();
}

void XActionGrid::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages)
    {
        FImages = nullptr;
        Invalidate();
    }
}

void XActionGrid::SetLeftRow(int value)
{
    if (value < 0 || value >= FRowCount || value == FLeftRow)
        return;
    FLeftRow = value;
    Invalidate();
}

void XActionGrid::SetTopLine(int value)
{
    if (value < 0 || value >= FLineCount || value == FTopLine)
        return;
    FTopLine = value;
    Invalidate();
}

void XActionGrid::SetRowCount(int value)
{
    SetGridSize(value, FLineCount);
}

void XActionGrid::SetLineCount(int value)
{
    SetGridSize(FRowCount, value);
}

void XActionGrid::SetCellWidth(int value)
{
    if (value < 0)
        return;
    // Never below the minimum, even in a narrower control: the cell size divides.
    value = std::max(std::min(value, Width()), kMinCellSize);
    if (value == FCellWidth)
        return;
    FCellWidth = value;
    RemakeBuffers();
    Invalidate();
}

void XActionGrid::SetCellHeight(int value)
{
    if (value < 0)
        return;
    value = std::max(std::min(value, Height()), kMinCellSize);
    if (value == FCellHeight)
        return;
    FCellHeight = value;
    RemakeBuffers();
    Invalidate();
}

// ---- Painting --------------------------------------------------------------------------------

void XActionGrid::Dispatch(TMessage& Message)
{
    // The grid paints every pixel itself.
    if (Message.Msg == WM_ERASEBKGND)
    {
        Message.Result = 1;
        return;
    }
    TCustomControl::Dispatch(Message);
}

void XActionGrid::Paint()
{
    if (!HandleAllocated())
        return;
    TCanvas* canvas = Canvas();
    int y = 0;
    for (int line = FTopLine; line < FLineCount; ++line)
    {
        int x = 0;
        for (int column = FLeftRow; column < FRowCount; ++column)
        {
            XAction* action = FCells[static_cast<size_t>(line * FRowCount + column)];
            if (action)
                PaintCell(action, x, y);
            else
            {
                canvas->Brush()->SetColor(Color());
                canvas->FillRect(TRect(x, y, x + FCellWidth, y + FCellHeight));
            }
            x += FCellWidth;
        }
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(TRect(x, y, Width(), y + FCellHeight));
        y += FCellHeight;
    }
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(TRect(0, y, Width(), Height()));
}

void XActionGrid::PaintCell(XAction* action, int x, int y)
{
    UINT state = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (action->Down())
        state |= DFCS_PUSHED;
    // The darkened part starts d pixels down; a range that is empty or reversed, or a position at
    // or past its end, shows none.
    int64_t minimum = action->ProgressMin();
    int64_t maximum = action->ProgressMax();
    int64_t position = action->ProgressPosition();
    int d = FCellHeight;
    if (minimum < maximum && position < maximum)
        d = static_cast<int>(std::clamp<int64_t>((position - minimum) * FCellHeight / (maximum - minimum), 0, FCellHeight));
    TCanvas* canvas = Canvas();
    if (d >= FCellHeight)
    {
        RECT r{x, y, x + FCellWidth, y + FCellHeight};
        DrawFrameControl(canvas->Handle(), &r, DFC_BUTTON, state);
        if (FImages)
            FImages->Draw(canvas, x + 1, y + 1, action->ImageIndex(), action->Enabled());
        return;
    }
    TCanvas* back = FBackBuffer->Canvas();
    RECT r{0, 0, FCellWidth, FCellHeight};
    DrawFrameControl(back->Handle(), &r, DFC_BUTTON, state);
    if (FImages)
        FImages->Draw(back, 1, 1, action->ImageIndex(), action->Enabled());
    BitBlt(back->Handle(), 0, d, FCellWidth, FCellHeight - d, FMask->Canvas()->Handle(), 0, d, SRCAND);
    BitBlt(canvas->Handle(), x, y, FCellWidth, FCellHeight, back->Handle(), 0, 0, SRCCOPY);
}

// ---- Mouse -----------------------------------------------------------------------------------

void XActionGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    FLastMouse = TPoint(X, Y);
    if (Button != mbLeft)
        return;
    XAction* action = ActionAtPos(X, Y, FPressedCell);
    if (action && action->Enabled())
        action->SetDown(true);
    FMouseDown = TPoint(X, Y);
}

void XActionGrid::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    FLastMouse = TPoint(X, Y);
    if (Shift.Contains(ssLeft) && FPressedCell >= 0 && FPressedCell < GetCellCount())
    {
        if (std::abs(X - FMouseDown.x) <= 1 && std::abs(Y - FMouseDown.y) <= 1)
            return;
        if (XAction* action = FCells[static_cast<size_t>(FPressedCell)])
            action->SetDown(false);
        BeginDrag(true, 5);
        return;
    }
    if (!ShowHint())
        return;
    for (TShiftStateItem held : {ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle})
    {
        if (Shift.Contains(held))
            return;
    }
    XAction* action = ActionAtPos(X, Y);
    if (!action)
    {
        SetHint(UnicodeString());
        return;
    }
    UnicodeString tip = action->Hint();
    OnInfoTip(this, action, tip);
    SetHint(tip);
    Application->SetHint(tip);
    Application->ActivateHint(ClientToScreen(TPoint(X, Y)));
}

void XActionGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    int pressed = FPressedCell;
    FPressedCell = -1;
    if (Button != mbLeft)
        return;
    XAction* action = ActionAtPos(X, Y);
    // A press released elsewhere (no move seen in between) must not leave its cell stuck down.
    XAction* left = pressed >= 0 && pressed < GetCellCount() ? FCells[static_cast<size_t>(pressed)] : nullptr;
    if (left && left != action && left->Down())
        left->SetDown(false);
    if (action && action->Down())
    {
        action->SetDown(false);
        action->Execute();
    }
}

// ---- Drag and drop ---------------------------------------------------------------------------

void XActionGrid::DoStartDrag(TDragObject*& DragObject)
{
    // The pressed cell's action: the first move of a quick drag may already be over another cell.
    if (FPressedCell >= 0 && FPressedCell < GetCellCount())
        FDraggedAction = FCells[static_cast<size_t>(FPressedCell)];
    else
        FDraggedAction = ActionAtPos(FLastMouse.x, FLastMouse.y);
    ReleasePressedCell();
    TCustomControl::DoStartDrag(DragObject);
}

void XActionGrid::DoStartDock(TDragDockObject*& DragObject)
{
    ReleasePressedCell();
    TCustomControl::DoStartDock(DragObject);
}

void XActionGrid::ReleasePressedCell()
{
    // A drag the class library started itself (DragMode dmAutomatic) takes the moves and the
    // release from the grid: the pressed cell must not stay down, nor run.
    if (FPressedCell >= 0 && FPressedCell < GetCellCount())
    {
        if (XAction* action = FCells[static_cast<size_t>(FPressedCell)])
            action->SetDown(false);
    }
    FPressedCell = -1;
}

void XActionGrid::DoEndDrag(TObject* Target, int X, int Y)
{
    TCustomControl::DoEndDrag(Target, X, Y);
    FDraggedAction = nullptr;
    FPressedCell = -1;
}

void XActionGrid::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept)
{
    auto* grid = dynamic_cast<XActionGrid*>(Source);
    Accept = !ReadOnly && grid && grid->FDraggedAction;
    if (!Accept)
        TCustomControl::DragOver(Source, X, Y, State, Accept);
}

void XActionGrid::DragDrop(TObject* Source, int X, int Y)
{
    auto* grid = dynamic_cast<XActionGrid*>(Source);
    if (!ReadOnly && grid && grid->FDraggedAction)
    {
        int index;
        ActionAtPos(X, Y, index);
        // Outside the grid (index -1) nothing changes.
        setAction(index, grid->FDraggedAction);
        return;
    }
    TCustomControl::DragDrop(Source, X, Y);
}
