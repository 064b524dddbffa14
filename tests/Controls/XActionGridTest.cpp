#include "Controls/XActionGrid.h"

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/HintWindow.h"
#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{
// A grid that records what its actions tell it.
class RecordingGrid : public XActionGrid
{
public:
    using XActionGrid::XActionGrid;
    void ActionEventProc(XAction* Action, XActionEvent Event) override
    {
        events.push_back(Event);
        XActionGrid::ActionEventProc(Action, Event);
    }
    std::vector<int> events;
};

struct Runs
{
    int count = 0;
    void Execute(XAction*) { ++count; }
};

// A grid of 3 x 2 cells of 40 pixels at (10, 10) of a shown form.
struct GridOnForm
{
    explicit GridOnForm(FormPixels& screen, int left = 10, int top = 10)
    {
        grid = new RecordingGrid(&screen.form);
        grid->SetParent(&screen.form);
        grid->SetBounds(left, top, 160, 120);
        grid->SetGridSize(3, 2);
    }
    RecordingGrid* grid;
};
} // namespace

TEST(XActionGridTest, SizesClampAndCellsKeepTheirPlace)
{
    XActionGrid grid(nullptr);
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.LineCount(), 4);
    EXPECT_EQ(grid.GetCellCount(), 16);
    grid.SetRowCount(0);
    EXPECT_EQ(grid.RowCount(), 1);
    grid.SetRowCount(100);
    EXPECT_EQ(grid.RowCount(), 64);
    grid.SetRowCount(-1);
    EXPECT_EQ(grid.RowCount(), 64);
    grid.SetLineCount(0);
    EXPECT_EQ(grid.LineCount(), 1);
    grid.SetGridSize(-5, 70);
    EXPECT_EQ(grid.RowCount(), 64);
    EXPECT_EQ(grid.LineCount(), 64);

    grid.SetBounds(0, 0, 100, 30);
    grid.SetCellWidth(10);
    EXPECT_EQ(grid.CellWidth(), 16);
    grid.SetCellWidth(500);
    EXPECT_EQ(grid.CellWidth(), 100);
    grid.SetCellHeight(-3);
    EXPECT_EQ(grid.CellHeight(), 40);
    grid.SetCellHeight(50);
    EXPECT_EQ(grid.CellHeight(), 30);
    EXPECT_EQ(grid.GetMask()->Width(), 100);
    EXPECT_EQ(grid.GetBackBuffer()->Height(), 30);
    EXPECT_EQ(grid.GetMask()->ScanLine(29)[99] & 0xFFFFFF, 0x888888u);
    // A control narrower than the minimum still gets cells of at least 16 (the size divides).
    grid.SetBounds(0, 0, 8, 8);
    grid.SetCellWidth(20);
    EXPECT_EQ(grid.CellWidth(), 16);

    grid.SetLeftRow(64);
    EXPECT_EQ(grid.LeftRow(), 0);
    grid.SetLeftRow(3);
    EXPECT_EQ(grid.LeftRow(), 3);
    grid.SetTopLine(-1);
    EXPECT_EQ(grid.TopLine(), 0);

    // Positions outside the grid are ignored and read as empty.
    XAction action;
    grid.SetGridSize(4, 4);
    grid.setAction(16, &action);
    grid.setAction(4, 0, &action);
    grid.setAction(-1, &action);
    EXPECT_EQ(action.UseCount(&grid), 0u);
    EXPECT_EQ(grid.getAction(16), nullptr);
    EXPECT_EQ(grid.getAction(0, -1), nullptr);
    grid.setAction(2, 3, &action);
    EXPECT_EQ(grid.getAction(14), &action);
}

TEST(XActionGridTest, ActionsCountTheirCellsPerGrid)
{
    RecordingGrid grid(nullptr), other(nullptr);
    XAction action;
    grid.setAction(0, &action);
    grid.setAction(5, &action);
    grid.setAction(15, &action);
    other.AddAction(&action);
    EXPECT_EQ(action.UseCount(&grid), 3u);
    ASSERT_EQ(action.Users().size(), 2u);
    grid.setAction(5, nullptr);
    grid.setAction(0, nullptr);
    EXPECT_EQ(action.UseCount(&grid), 1u);
    EXPECT_TRUE(grid.events.empty());
    grid.setAction(15, nullptr);
    EXPECT_EQ(grid.events, std::vector<int>{xaeReleased});
    EXPECT_EQ(action.UseCount(&grid), 0u);
    ASSERT_EQ(action.Users().size(), 1u);
    EXPECT_EQ(action.Users()[0].Grid, &other);

    // AddAction fills the first empty cell; a full grid takes nothing.
    XAction a, b;
    grid.SetGridSize(2, 1);
    grid.AddAction(&a);
    grid.AddAction(&b);
    grid.AddAction(&action);
    EXPECT_EQ(grid.getAction(0), &a);
    EXPECT_EQ(grid.getAction(1), &b);
    EXPECT_EQ(action.UseCount(&grid), 0u);
}

TEST(XActionGridTest, ShrinkingKeepsTheTopLeftAndReleasesTheRest)
{
    RecordingGrid grid(nullptr);
    std::vector<std::unique_ptr<XAction>> actions;
    for (int i = 0; i < 16; ++i)
    {
        actions.push_back(std::make_unique<XAction>());
        grid.setAction(i, actions.back().get());
    }
    grid.SetGridSize(2, 2);
    EXPECT_EQ(grid.GetCellCount(), 4);
    EXPECT_EQ(grid.getAction(0, 0), actions[0].get());
    EXPECT_EQ(grid.getAction(1, 0), actions[1].get());
    EXPECT_EQ(grid.getAction(0, 1), actions[4].get());
    EXPECT_EQ(grid.getAction(1, 1), actions[5].get());
    int released = 0;
    for (auto& action : actions)
        released += action->UseCount(&grid) == 0;
    EXPECT_EQ(released, 12);
    EXPECT_EQ(grid.events.size(), 12u);
    // Growing again brings nothing back.
    grid.SetGridSize(4, 4);
    EXPECT_EQ(grid.getAction(2, 0), nullptr);
    EXPECT_EQ(grid.getAction(1, 1), actions[5].get());
}

TEST(XActionGridTest, SettersNotifyRealChangesOnlyAndPressingHasConditions)
{
    XAction action;
    EXPECT_EQ(action.ImageIndex(), -1);
    EXPECT_TRUE(action.Hint().IsEmpty());
    EXPECT_TRUE(action.Enabled());
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(action.ProgressMax(), 0);
    RecordingGrid grid(nullptr);
    grid.AddAction(&action);
    action.SetImageIndex(-1);
    action.SetHint(u"");
    action.SetEnabled(true);
    action.SetDown(false);
    action.SetProgress(0, 0, 0);
    EXPECT_TRUE(grid.events.empty());
    action.SetImageIndex(2);
    action.SetHint(u"Fire");
    action.SetDown(true);
    action.SetDown(false);
    action.SetEnabled(false);
    action.SetProgress(0, 10, 3);
    action.Notify(xaeChanged);
    EXPECT_EQ(grid.events, (std::vector<int>{xaeImage, xaeHint, xaeDown, xaeDown, xaeEnabled, xaeProgress, xaeChanged}));

    // Disabled: never pressed. In progress: never pressed. Releasing always applies.
    grid.events.clear();
    action.SetProgress(0, 0, 0);
    action.SetDown(true);
    EXPECT_FALSE(action.Down());
    action.SetEnabled(true);
    action.SetProgress(0, 10, 9);
    action.SetDown(true);
    EXPECT_FALSE(action.Down());
    action.SetProgress(0, 10, 10);
    action.SetDown(true);
    EXPECT_TRUE(action.Down());
    action.SetProgress(0, 10, 0);
    action.SetEnabled(false);
    action.SetDown(false);
    EXPECT_FALSE(action.Down());
}

TEST(XActionGridTest, NotifyRunsLastUserFirstAndSurvivesUsersLeaving)
{
    // Each grid empties its cells as the action goes; the destroyed action is emptied from its
    // cells last first, in the grid added last first.
    std::vector<std::string> order;
    struct Grid : XActionGrid
    {
        Grid(std::vector<std::string>& order, const char* name) : XActionGrid(nullptr), order(order), name(name) {}
        void ActionEventProc(XAction* Action, XActionEvent Event) override
        {
            order.push_back(std::string(name) + ":" + std::to_string(Event));
            XActionGrid::ActionEventProc(Action, Event);
        }
        std::vector<std::string>& order;
        const char* name;
    };
    Grid first(order, "first"), second(order, "second"), third(order, "third");
    auto* action = new XAction;
    first.setAction(1, action);
    first.setAction(7, action);
    second.setAction(0, action);
    third.setAction(2, action);
    action->Notify(xaeHint);
    EXPECT_EQ(order, (std::vector<std::string>{"third:5", "second:5", "first:5"}));
    order.clear();
    delete action;
    EXPECT_EQ(order, (std::vector<std::string>{"third:3", "third:2", "second:3", "second:2", "first:3", "first:2"}));
    EXPECT_EQ(first.getAction(1), nullptr);
    EXPECT_EQ(first.getAction(7), nullptr);
    EXPECT_EQ(second.getAction(0), nullptr);

    // A grid that lets go of the action (and another grid's entry goes too) in the middle of a pass.
    XAction shared;
    struct Dropping : XActionGrid
    {
        using XActionGrid::XActionGrid;
        void ActionEventProc(XAction* Action, XActionEvent Event) override
        {
            ++heard;
            if (Event == xaeHint && victim)
                victim->ClearActions();
            XActionGrid::ActionEventProc(Action, Event);
        }
        XActionGrid* victim = nullptr;
        int heard = 0;
    };
    Dropping a(nullptr), b(nullptr), c(nullptr);
    a.AddAction(&shared);
    b.AddAction(&shared);
    c.AddAction(&shared);
    c.victim = &b; // c runs first and takes b out before b's turn
    shared.SetHint(u"x");
    EXPECT_EQ(c.heard, 1);
    EXPECT_EQ(b.heard, 1); // only its xaeReleased
    EXPECT_EQ(a.heard, 1);
    EXPECT_EQ(shared.UseCount(&b), 0u);
}

TEST(XActionGridTest, FreeingTheImageListClearsImages)
{
    XActionGrid grid(nullptr);
    auto* images = new TImageList(nullptr);
    grid.SetImages(images);
    EXPECT_EQ(grid.Images(), images);
    delete images;
    EXPECT_EQ(grid.Images(), nullptr);
    // A grid that lets its list go first is no longer told.
    auto* second = new TImageList(nullptr);
    grid.SetImages(second);
    grid.SetImages(nullptr);
    delete second;
    EXPECT_EQ(grid.Images(), nullptr);
}

TEST(XActionGridTest, ActionAtPosFindsCellsAndNothingOutsideTheGrid)
{
    XActionGrid grid(nullptr);
    grid.SetBounds(0, 0, 400, 400);
    grid.SetGridSize(3, 2);
    XAction a, b;
    grid.setAction(2, 1, &a);
    grid.setAction(0, 0, &b);
    int index = 99;
    EXPECT_EQ(grid.ActionAtPos(85, 45, index), &a);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(grid.ActionAtPos(0, 0, index), &b);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(grid.ActionAtPos(45, 5, index), nullptr);
    EXPECT_EQ(index, 1);
    for (TPoint outside : {TPoint(120, 10), TPoint(10, 80), TPoint(-1, 10), TPoint(10, -39), TPoint(399, 399)})
    {
        EXPECT_EQ(grid.ActionAtPos(outside.x, outside.y, index), nullptr);
        EXPECT_EQ(index, -1) << outside.x << "," << outside.y;
    }
    grid.SetLeftRow(2);
    grid.SetTopLine(1);
    EXPECT_EQ(grid.ActionAtPos(5, 5, index), &a);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(grid.ActionAtPos(45, 5, index), nullptr);
    EXPECT_EQ(index, -1);
}

TEST(XActionGridTest, ProgressDarkensBelowTheRefillLine)
{
    FormPixels screen;
    GridOnForm on(screen);
    XActionGrid* grid = on.grid;
    grid->SetColor(clWhite);
    XAction idle, running, reversed, huge;
    grid->setAction(0, &idle);
    grid->setAction(1, &running);
    grid->setAction(2, &reversed);
    grid->setAction(3, &huge);
    running.SetProgress(10, 50, 20); // d = 10 * 40 / 40 = 10
    reversed.SetProgress(50, 10, 20);
    huge.SetProgress(INT32_MIN, INT32_MAX, 0); // 64-bit: d = 2^31 * 40 / (2^32 - 1) = 20
    screen.At(0, 0);
    auto cell = [&](int column, int line, int x, int y)
    { return screen.Peek(10 + column * 40 + x, 10 + line * 40 + y); };
    // The idle cell is the plain button; the running one is the same picture, darkened from row 10.
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
        {
            uint32_t plain = cell(0, 0, x, y);
            uint32_t expected = y < 10 ? plain : (plain & 0x888888u);
            ASSERT_EQ(cell(1, 0, x, y), expected) << x << "," << y;
            ASSERT_EQ(cell(2, 0, x, y), plain) << "a reversed range shows no progress";
            ASSERT_EQ(cell(0, 1, x, y), y < 20 ? plain : (plain & 0x888888u)) << x << "," << y;
        }
    // Position below the minimum darkens all of it; at the maximum none of it.
    running.SetProgress(10, 50, -100);
    screen.At(0, 0);
    EXPECT_EQ(cell(1, 0, 20, 1), cell(0, 0, 20, 1) & 0x888888u);
    running.SetProgress(10, 50, 50);
    screen.At(0, 0);
    EXPECT_EQ(cell(1, 0, 20, 30), cell(0, 0, 20, 30));
    // Down shows pushed: its frame differs from the up one.
    idle.SetDown(true);
    screen.At(0, 0);
    EXPECT_NE(cell(0, 0, 0, 0), cell(1, 0, 0, 0));
    // Empty cells and the rest of the control are the grid's colour.
    EXPECT_EQ(cell(1, 1, 20, 20), FormPixels::Of(clWhite));
    EXPECT_EQ(screen.Peek(10 + 150, 10 + 100), FormPixels::Of(clWhite));
}

TEST(XActionGridTest, ClicksExecuteOnceAndMovesBecomeDrags)
{
    FormPixels screen;
    GridOnForm on(screen);
    XActionGrid* grid = on.grid;
    XAction action, disabled, busy;
    Runs runs;
    action.OnExecute = MakeClosure(&runs, &Runs::Execute);
    disabled.OnExecute = MakeClosure(&runs, &Runs::Execute);
    busy.OnExecute = MakeClosure(&runs, &Runs::Execute);
    disabled.SetEnabled(false);
    busy.SetProgress(0, 10, 5);
    grid->setAction(0, &action);
    grid->setAction(1, &disabled);
    grid->setAction(2, &busy);

    screen.Down(30, 30);
    EXPECT_TRUE(action.Down());
    EXPECT_EQ(grid->PressedCell(), 0);
    screen.Move(31, 31); // one pixel: still a click
    EXPECT_TRUE(action.Down());
    screen.Up(31, 31);
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(runs.count, 1);
    EXPECT_EQ(grid->PressedCell(), -1);

    for (int x : {70, 110}) // disabled, in progress: never down, never run
    {
        screen.Down(x, 30);
        screen.Up(x, 30);
    }
    EXPECT_EQ(runs.count, 1);

    // Two pixels: the cell comes up and a drag starts instead of a run.
    screen.Down(30, 30);
    screen.Move(32, 30);
    EXPECT_FALSE(action.Down());
    EXPECT_TRUE(grid->Dragging());
    EXPECT_EQ(grid->DraggedAction(), &action);
    screen.Up(32, 30);
    EXPECT_EQ(runs.count, 1);
    EXPECT_FALSE(grid->Dragging());
    EXPECT_EQ(grid->DraggedAction(), nullptr);
    EXPECT_EQ(grid->PressedCell(), -1);

    // A press released over another cell without a move in between runs nothing and sticks nothing.
    screen.Down(30, 30);
    screen.Up(30, 70);
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(runs.count, 1);
}

TEST(XActionGridTest, DropsCopyIntoTheCellUnderThePointer)
{
    FormPixels screen(500, 400);
    GridOnForm from(screen, 10, 10), to(screen, 250, 10);
    XAction action, other;
    from.grid->setAction(0, &action);
    to.grid->setAction(4, &other);

    // Onto the second grid's cell (1, 1): copied; the source keeps its own.
    screen.Down(20, 20);
    screen.Move(30, 30);
    screen.Move(250 + 60, 10 + 60);
    EXPECT_EQ(screen.form.CursorShown(), crDrag);
    screen.Up(250 + 60, 10 + 60);
    EXPECT_EQ(to.grid->getAction(4), &action);
    EXPECT_EQ(from.grid->getAction(0), &action);
    EXPECT_EQ(other.UseCount(to.grid), 0u);
    EXPECT_EQ(action.UseCount(to.grid), 1u);

    // Past the last column: nothing changes, and the grid still answered the drag.
    screen.Down(20, 20);
    screen.Move(250 + 130, 15);
    screen.Up(250 + 130, 15);
    EXPECT_EQ(to.grid->getAction(2), nullptr);
    EXPECT_EQ(action.UseCount(to.grid), 1u);

    // Read-only refuses; OnDragOver may accept, and then OnDragDrop has the drop.
    to.grid->ReadOnly = true;
    screen.Down(20, 20);
    screen.Move(250 + 20, 20);
    EXPECT_EQ(screen.form.CursorShown(), crNoDrop);
    screen.Up(250 + 20, 20);
    EXPECT_EQ(to.grid->getAction(0), nullptr);
    struct Host
    {
        int drops = 0;
        void Over(TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; }
        void Drop(TObject*, TObject*, int, int) { ++drops; }
    } host;
    to.grid->OnDragOver = MakeClosure(&host, &Host::Over);
    to.grid->OnDragDrop = MakeClosure(&host, &Host::Drop);
    screen.Down(20, 20);
    screen.Move(250 + 20, 20);
    screen.Up(250 + 20, 20);
    EXPECT_EQ(host.drops, 1);
    EXPECT_EQ(to.grid->getAction(0), nullptr);

    // Within one grid the action is copied into another cell.
    screen.Down(20, 20);
    screen.Move(20 + 80, 20);
    screen.Up(20 + 80, 20);
    EXPECT_EQ(from.grid->getAction(2), &action);
    EXPECT_EQ(action.UseCount(from.grid), 2u);
}

TEST(XActionGridTest, GoingAwayMidDragEndsItWithoutADrop)
{
    FormPixels screen(500, 400);
    GridOnForm from(screen, 10, 10), to(screen, 250, 10);
    // The dragged action goes: the drag goes on carrying nothing, and the drop changes nothing.
    auto* action = new XAction;
    from.grid->setAction(0, action);
    screen.Down(20, 20);
    screen.Move(30, 30);
    ASSERT_EQ(from.grid->DraggedAction(), action);
    delete action;
    EXPECT_EQ(from.grid->DraggedAction(), nullptr);
    screen.Move(260, 20);
    EXPECT_EQ(screen.form.CursorShown(), crNoDrop);
    screen.Up(260, 20);
    EXPECT_EQ(to.grid->getAction(0), nullptr);
    EXPECT_FALSE(from.grid->Dragging());

    // The source grid goes: the drag ends, and the target hears no drop.
    XAction kept;
    from.grid->setAction(0, &kept);
    screen.Down(20, 20);
    screen.Move(260, 20);
    EXPECT_TRUE(from.grid->Dragging());
    delete from.grid;
    EXPECT_EQ(kept.UseCount(from.grid), 0u);
    screen.Up(260, 20);
    EXPECT_EQ(to.grid->getAction(0), nullptr);
    EXPECT_EQ(DragObject(), nullptr);
}

TEST(XActionGridTest, HoveringShowsTheActionsHintAsTheOwnerChangesIt)
{
    FormPixels screen;
    GridOnForm on(screen);
    XActionGrid* grid = on.grid;
    grid->SetShowHint(true);
    XAction action;
    action.SetHint(u"Reload");
    grid->setAction(0, &action);
    struct Owner
    {
        int asked = 0;
        void Tip(XActionGrid*, XAction* a, UnicodeString& tip)
        {
            ++asked;
            tip = a->Hint() + u" (R)";
        }
    } owner;
    grid->OnInfoTip = MakeClosure(&owner, &Owner::Tip);
    screen.Move(25, 25, 0);
    EXPECT_EQ(owner.asked, 1);
    EXPECT_EQ(grid->Hint(), u"Reload (R)");
    EXPECT_EQ(Application->Hint(), u"Reload (R)");
    THintWindow* window = Application->HintWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Visible());
    EXPECT_EQ(window->Caption(), u"Reload (R)");
    TPoint pointer = grid->ClientToScreen(TPoint(15, 15));
    EXPECT_EQ(window->Left(), pointer.x);
    EXPECT_GT(window->Top(), pointer.y);
    // Over an empty cell the hint empties and the window goes.
    screen.Move(65, 25, 0);
    EXPECT_TRUE(grid->Hint().IsEmpty());
    EXPECT_FALSE(window->Visible());
    // With a button or a modifier held nothing shows.
    screen.Move(25, 25, MK_SHIFT);
    EXPECT_FALSE(window->Visible());
    EXPECT_EQ(owner.asked, 1);
    // Without ShowHint nothing shows.
    grid->SetShowHint(false);
    screen.Move(26, 25, 0);
    EXPECT_FALSE(window->Visible());
    Application->CancelHint();
}

namespace
{
// What a host hears from the events the grid offers besides its own.
struct GridHost
{
    std::vector<std::string> log;
    bool keepSize = false;
    void CanResize(TObject*, int& w, int& h, bool& resize)
    {
        log.push_back("can " + std::to_string(w) + "x" + std::to_string(h));
        resize = !keepSize;
    }
    void Limits(TObject*, int&, int&, int& maxWidth, int&) { maxWidth = std::min(maxWidth, 150); }
    void Popup(TObject*, TPoint at, bool& handled)
    {
        log.push_back("popup " + std::to_string(at.x) + "," + std::to_string(at.y));
        handled = true;
    }
    void StartDock(TObject*, TDragDockObject*&) { log.push_back("startdock"); }
    void EndDock(TObject*, TObject* target, int, int) { log.push_back(target ? "enddock site" : "enddock none"); }
    void SiteInfo(TObject*, TControl* client, TRect&, TPoint, bool& canDock)
    {
        log.push_back("siteinfo");
        canDock = client->Width() <= 80; // only small clients
    }
    void DockDrop(TObject*, TDragDockObject*, int X, int Y)
    {
        log.push_back("dockdrop " + std::to_string(X) + "," + std::to_string(Y));
    }
    void UnDock(TObject*, TControl*, TWinControl* to, bool&) { log.push_back(to ? "undock to site" : "undock"); }
};
} // namespace

TEST(XActionGridTest, InheritedEventsReachTheHost)
{
    FormPixels screen(600, 400);
    GridOnForm g(screen);
    XActionGrid* grid = g.grid;
    XAction action;
    Runs runs;
    action.OnExecute = MakeClosure(&runs, &Runs::Execute);
    grid->setAction(0, &action);
    GridHost host;

    // Resizing: the host may refuse, the constraints and OnConstrainedResize bound the size.
    grid->OnCanResize = MakeClosure(&host, &GridHost::CanResize);
    grid->OnConstrainedResize = MakeClosure(&host, &GridHost::Limits);
    host.keepSize = true;
    grid->SetBounds(10, 10, 200, 200);
    EXPECT_EQ(grid->Width(), 160);
    host.keepSize = false;
    grid->Constraints()->SetMinHeight(130);
    grid->SetBounds(10, 10, 200, 100);
    EXPECT_EQ(grid->Width(), 150);
    EXPECT_EQ(grid->Height(), 130);
    EXPECT_EQ(host.log, (std::vector<std::string>{"can 200x200", "can 150x130", "can 200x100"}));
    host.log.clear();

    // A right click on a cell asks the host first, at the grid's client point; the action is
    // neither pressed nor run.
    grid->OnContextPopup = MakeClosure(&host, &GridHost::Popup);
    Vcl::RouteInput(&screen.form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(25, 30));
    Vcl::RouteInput(&screen.form, WM_RBUTTONUP, 0, MAKELPARAM(25, 30));
    EXPECT_EQ(host.log, (std::vector<std::string>{"popup 15,20"}));
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(runs.count, 0);
    host.log.clear();

    // The grid docks: dragged by a cell into a dock site, it tells its start and its end, and the
    // cell's action is released without running.
    auto* site = new TCustomControl(&screen.form);
    site->SetParent(&screen.form);
    site->SetBounds(300, 0, 300, 400);
    site->SetDockSite(true);
    grid->SetDragKind(dkDock);
    grid->SetDragMode(dmAutomatic);
    grid->OnStartDock = MakeClosure(&host, &GridHost::StartDock);
    grid->OnEndDock = MakeClosure(&host, &GridHost::EndDock);
    screen.Down(20, 20);
    EXPECT_TRUE(action.Down());
    screen.Move(30, 30);
    screen.Move(400, 100);
    screen.Up(400, 100);
    EXPECT_EQ(grid->Parent(), site);
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(runs.count, 0);
    EXPECT_EQ(host.log, (std::vector<std::string>{"startdock", "enddock site"}));
    host.log.clear();

    // As a dock site itself, the grid is asked for its site information and hears the dock and
    // the undock.
    grid->SetDragKind(dkDrag);
    grid->SetDragMode(dmManual);
    grid->SetParent(&screen.form);
    grid->SetBounds(10, 10, 150, 130);
    // An automatic object drag releases the pressed cell too.
    grid->SetDragMode(dmAutomatic);
    screen.Down(20, 20);
    screen.Move(60, 20);
    screen.Up(60, 20);
    EXPECT_EQ(grid->getAction(1), &action);
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(runs.count, 0);
    grid->SetDragMode(dmManual);
    grid->SetDockSite(true);
    grid->OnGetSiteInfo = MakeClosure(&host, &GridHost::SiteInfo);
    grid->OnDockDrop = MakeClosure(&host, &GridHost::DockDrop);
    grid->OnUnDock = MakeClosure(&host, &GridHost::UnDock);
    auto* big = new TCustomControl(&screen.form);
    big->SetParent(&screen.form);
    big->SetBounds(200, 300, 100, 40);
    big->SetDragKind(dkDock);
    big->SetDragMode(dmAutomatic);
    screen.Down(210, 310);
    screen.Move(100, 100);
    screen.Up(100, 100);
    EXPECT_NE(big->Parent(), grid); // declined: too wide
    auto* small = new TCustomControl(&screen.form);
    small->SetParent(&screen.form);
    small->SetBounds(200, 350, 60, 30);
    small->SetDragKind(dkDock);
    small->SetDragMode(dmAutomatic);
    // (Away from where the wide one now floats in a window of its own.)
    screen.Down(205, 355);
    screen.Move(40, 40);
    screen.Up(40, 40);
    EXPECT_EQ(small->Parent(), grid);
    screen.Down(40, 40);
    screen.Move(400, 300);
    screen.Up(400, 300);
    EXPECT_EQ(small->Parent(), site);
    EXPECT_EQ(host.log, (std::vector<std::string>{"siteinfo", "siteinfo", "siteinfo", "siteinfo", "dockdrop 30,30",
                                                  "undock to site"}));
    // The wide one's floating window goes once it is back.
    big->SetParent(&screen.form);
    Application->ProcessMessages();
}
