// An action grid as a dock site with a dock manager: docked panels cover their zones, the
// grabbers paint over the cells, and the grabber band's mouse is the manager's, not the cells'.
#include "Controls/XActionGrid.h"
#include "Platform/Vcl/DockTree.h"
#include "Platform/Vcl/ExtCtrls.h"

#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <vector>

TEST(XActionGridDockTest, DockedPanelsCoverTheirZonesAndGrabbersPaintOverTheCells)
{
    FormPixels screen(400, 300);
    auto* grid = new XActionGrid(&screen.form);
    grid->SetParent(&screen.form);
    grid->SetBounds(10, 10, 160, 160);
    XAction action;
    grid->setAction(1, &action);
    // A dock site of its own kind has no manager until asked for one.
    grid->SetDockSite(true);
    EXPECT_EQ(grid->DockManager(), nullptr);
    grid->SetUseDockManager(true);
    ASSERT_NE(grid->DockManager(), nullptr);

    auto grab = [&]
    {
        std::vector<uint32_t> pixels;
        screen.At(0, 0);
        for (int y = 10; y < 170; ++y)
            for (int x = 10; x < 170; ++x)
                pixels.push_back(screen.Peek(x, y));
        return pixels;
    };
    const std::vector<uint32_t> cells = grab();
    auto cell = [&](int x, int y) { return cells[static_cast<size_t>(y) * 160 + x]; };

    auto* panel = new TPanel(&screen.form);
    panel->SetParent(&screen.form);
    panel->SetBounds(250, 200, 60, 40);
    panel->SetColor(clTeal);
    panel->ManualDock(grid, TRect());
    EXPECT_EQ(panel->Parent(), grid);
    EXPECT_EQ(panel->BoundsRect(), TRect(0, 12, 160, 160));
    const std::vector<uint32_t> docked = grab();
    auto at = [&](int x, int y) { return docked[static_cast<size_t>(y) * 160 + x]; };
    // The band: the cells show around the grooves and the close button.
    for (int x = 0; x < 160; x += 7)
        EXPECT_EQ(at(x, 0), cell(x, 0)) << x;
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(at(1, y), cell(1, y)) << y;
    EXPECT_EQ(at(2, 3), FormPixels::Of(clBtnHighlight));
    EXPECT_EQ(at(80, 8), FormPixels::Of(clBtnShadow));
    EXPECT_NE(cell(80, 8), at(80, 8));
    // Below it, the panel.
    EXPECT_EQ(at(80, 100), FormPixels::Of(clTeal));

    // A press on the band over a cell with an action presses no cell.
    screen.Down(10 + 60, 10 + 2);
    EXPECT_FALSE(action.Down());
    EXPECT_EQ(grid->PressedCell(), -1);
    screen.Up(10 + 60, 10 + 2);
    // The close button hides the panel: the cells show again, untouched.
    screen.Click(10 + 152, 10 + 4);
    EXPECT_FALSE(panel->Visible());
    EXPECT_EQ(grab(), cells);
    EXPECT_TRUE(grid->DockManager()->Holds(panel));
    // A cell pressed while nothing covers it is released over a band shown meanwhile.
    screen.Down(10 + 60, 10 + 2);
    EXPECT_TRUE(action.Down());
    panel->Show();
    screen.Up(10 + 60, 10 + 2);
    EXPECT_FALSE(action.Down());
    grid->setAction(1, nullptr);
}
