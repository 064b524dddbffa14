// A grid of square button cells, each showing one shared action: its image from the grid's image
// list, pushed while it is down, engraved while disabled, and darkened below a refill line while
// its progress runs. A click runs the action; a drag copies it into a cell of another grid (or of
// the same one); resting on a cell shows the action's hint.
//
// Actions belong to their host. One action may sit in many cells of many grids: it counts its
// cells per grid and tells each of those grids of its changes, so the grids repaint, and of its
// end, so they empty its cells before it is gone.
#pragma once

#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/ImgList.h"

#include <cstdint>
#include <vector>

class XActionGrid;

// What an action tells the grids that show it.
enum XActionEvent
{
    xaeDown = 0,     // pressed or released
    xaeEnabled = 1,  // enabled or disabled
    xaeReleased = 2, // the grid no longer shows it (its last cell there was emptied)
    xaeDestroy = 3,  // the action is going away
    xaeImage = 4,
    xaeHint = 5,
    xaeProgress = 6,
    xaeChanged = 7 // anything else that shows
};

// One grid that shows an action, and in how many of its cells.
struct XActionUse
{
    XActionGrid* Grid;
    uint32_t UseCount;
};

class XAction
{
public:
    // No image (-1), no hint, enabled, up, progress 0 / 0 / 0.
    XAction();
    // Tells every grid (xaeDestroy), which empties its cells.
    virtual ~XAction();
    XAction(const XAction&) = delete;
    XAction& operator=(const XAction&) = delete;

    // Each setter stores the value and notifies the grids only when it changed.
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    const UnicodeString& Hint() const { return FHint; }
    void SetHint(const UnicodeString& hint);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    bool Down() const { return FDown; }
    // Releasing always applies; pressing is refused while disabled or while progress runs
    // (position below maximum).
    void SetDown(bool down);
    int ProgressMin() const { return FProgressMin; }
    int ProgressMax() const { return FProgressMax; }
    int ProgressPosition() const { return FProgressPosition; }
    void SetProgress(int minimum, int maximum, int position);

    // One more cell of `grid` shows the action.
    void AddUser(XActionGrid* grid);
    // One cell fewer; at none the grid hears xaeReleased and is forgotten.
    void RemoveUser(XActionGrid* grid);
    // How many cells of `grid` show the action (0 for a grid that does not).
    uint32_t UseCount(const XActionGrid* grid) const;
    const std::vector<XActionUse>& Users() const { return FUsers; }
    // Hands the event to every grid, the last one added first. A grid that stops showing the
    // action meanwhile (or goes away) is skipped.
    void Notify(XActionEvent event);

    // Fires OnExecute with the action as sender.
    virtual void Execute();
    TClosure<void(XAction* Sender)> OnExecute;

private:
    std::vector<XActionUse> FUsers;
    int FImageIndex = -1;
    UnicodeString FHint;
    bool FEnabled = true;
    bool FDown = false;
    int FProgressMin = 0;
    int FProgressMax = 0;
    int FProgressPosition = 0;
};

using XInfoTipEvent = TClosure<void(XActionGrid* Sender, XAction* Action, UnicodeString& InfoTip)>;

class XActionGrid : public TCustomControl
{
public:
    // 4 x 4 empty cells of 40 x 40 pixels, no image list.
    explicit XActionGrid(TComponent* AOwner);
    // Empties every cell and lets the image list go.
    ~XActionGrid() override;

    // Cell `index` (line x RowCount + column) or the cell at column and line takes the action;
    // positions outside the grid are ignored.
    void setAction(int index, XAction* action);
    void setAction(int column, int line, XAction* action);
    // The cell's action, or null (also outside the grid).
    XAction* getAction(int index) const;
    XAction* getAction(int column, int line) const;
    // The first empty cell takes the action; a full grid takes nothing.
    void AddAction(XAction* action);
    // Empties every cell, the last first.
    void ClearActions();
    int GetCellCount() const { return FRowCount * FLineCount; }
    // Columns and lines as RowCount and LineCount take them (a negative value keeps the current
    // one, the rest is clamped to 1 .. 64). Actions keep their column and line; those that no
    // longer fit are let go.
    void SetGridSize(int columns, int lines);
    // The action under the client point, with its cell's index; none and -1 outside the grid.
    XAction* ActionAtPos(int X, int Y) const;
    XAction* ActionAtPos(int X, int Y, int& CellIndex) const;
    // Repaints every shown cell that holds the action.
    void InvalidateAction(XAction* action);
    // The grey mask that darkens a cell, and the cell-sized buffer a progress cell is drawn in.
    TBitmap* GetMask() const { return FMask; }
    TBitmap* GetBackBuffer() const { return FBackBuffer; }
    // What the grid does when an action tells it something.
    virtual void ActionEventProc(XAction* Action, XActionEvent Event);

    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* images);
    int LeftRow() const { return FLeftRow; }
    void SetLeftRow(int value);
    int TopLine() const { return FTopLine; }
    void SetTopLine(int value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);
    int LineCount() const { return FLineCount; }
    void SetLineCount(int value);
    int CellWidth() const { return FCellWidth; }
    void SetCellWidth(int value);
    int CellHeight() const { return FCellHeight; }
    void SetCellHeight(int value);
    // Nothing can be dropped on a read-only grid unless OnDragOver accepts it.
    bool ReadOnly = false;
    // Lets the owner change an action's hint before it shows.
    XInfoTipEvent OnInfoTip;

    // The action being dragged out of this grid, or null.
    XAction* DraggedAction() const { return FDraggedAction; }
    // The cell of the last left press, -1 for none.
    int PressedCell() const { return FPressedCell; }

    void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override;
    void DragDrop(TObject* Source, int X, int Y) override;

protected:
    void Paint() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Dispatch(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoStartDrag(TDragObject*& DragObject) override;
    void DoEndDrag(TObject* Target, int X, int Y) override;
    void DoStartDock(TDragDockObject*& DragObject) override;

private:
    // The cell's rectangle in client coordinates, or an empty one when it is not shown.
    TRect CellRect(int index) const;
    void PaintCell(XAction* action, int x, int y);
    void RemakeBuffers();
    void ReleasePressedCell();

    TPoint FMouseDown;
    std::vector<XAction*> FCells;
    TCustomImageList* FImages = nullptr;
    int FLeftRow = 0;
    int FTopLine = 0;
    int FRowCount = 0;
    int FLineCount = 0;
    int FCellWidth = 40;
    int FCellHeight = 40;
    int FPressedCell = -1;
    XAction* FDraggedAction = nullptr;
    TPoint FLastMouse; // the pointer's last position over the grid
    TBitmap* FMask = nullptr;
    TBitmap* FBackBuffer = nullptr;
};
