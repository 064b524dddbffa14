#include "Controls/XScrollList.h"

#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// A list of `count` panels of the given heights on a shown form.
struct Stack
{
    explicit Stack(std::vector<int> heights, int listHeight = 200) : screen(500, 500)
    {
        list = new XScrollList(&screen.form);
        list->SetParent(&screen.form);
        list->SetBounds(10, 10, 300, listHeight);
        for (int h : heights)
            Add(h);
    }
    XScroll* Add(int height)
    {
        auto* panel = new XScroll(&screen.form);
        panel->SetBounds(0, 10000, 300, height); // below the others: appended
        panel->SetParent(list);
        panel->SetOpenHeight(height);
        panels.push_back(panel);
        return panel;
    }
    std::vector<int> Tops() const
    {
        std::vector<int> tops;
        for (int i = 0; i < list->PanelCount(); ++i)
            tops.push_back(list->Panels(i)->Top());
        return tops;
    }
    std::vector<XScroll*> Order() const
    {
        std::vector<XScroll*> order;
        for (int i = 0; i < list->PanelCount(); ++i)
            order.push_back(list->Panels(i));
        return order;
    }
    FormPixels screen;
    XScrollList* list;
    std::vector<XScroll*> panels;
};
} // namespace

TEST(XScrollListTest, EmptyListShowsNoBarAndPaintsItsColour)
{
    Stack s({});
    s.list->SetColor(clTeal);
    EXPECT_EQ(s.list->TotalHeight(), 0);
    EXPECT_FALSE(s.list->ScrollBarShown());
    EXPECT_EQ(s.list->BorderStyle(), bsSingle);
    EXPECT_EQ(s.screen.At(10 + 150, 10 + 100), FormPixels::Of(clTeal));
    EXPECT_EQ(s.screen.At(10, 10), FormPixels::Of(clBtnShadow)); // the sunken frame
    s.list->SetBorderStyle(bsNone);
    EXPECT_EQ(s.screen.At(10, 10), FormPixels::Of(clTeal));
    EXPECT_EQ(s.list->ClientRect(), TRect(0, 0, 300, 200));
}

TEST(XScrollListTest, PanelsStackStretchedAndFollowOpeningAndHiding)
{
    Stack s({50, 60, 70});
    EXPECT_EQ(s.Tops(), (std::vector<int>{0, 50, 110}));
    EXPECT_EQ(s.list->TotalHeight(), 180);
    EXPECT_FALSE(s.list->ScrollBarShown());
    for (XScroll* p : s.panels)
        EXPECT_EQ(p->Width(), 296); // the client width inside the frame
    s.panels[0]->SetOpen(false);
    int closed = s.panels[0]->Height();
    EXPECT_EQ(s.Tops(), (std::vector<int>{0, closed, closed + 60}));
    s.panels[0]->SetOpen(true);
    s.panels[1]->Hide(); // takes no room, keeps its place
    EXPECT_EQ(s.Tops(), (std::vector<int>{0, 50, 50}));
    EXPECT_EQ(s.list->TotalHeight(), 120);
    EXPECT_EQ(s.list->Panels(1), s.panels[1]);
    s.panels[1]->Show();
    // A fixed-width panel keeps its width.
    s.panels[2]->SetFixWidth(true);
    s.panels[2]->SetFixedWidth(120);
    s.list->SetWidth(350);
    EXPECT_EQ(s.panels[2]->Width(), 120);
    EXPECT_EQ(s.panels[0]->Width(), 346);
    // A panel freed leaves the stack.
    s.panels[1]->Free();
    EXPECT_EQ(s.list->PanelCount(), 2);
    EXPECT_EQ(s.Tops(), (std::vector<int>{0, 50}));
}

TEST(XScrollListTest, ScrollBarAppearsAtExactHeightAndScrollingIsClamped)
{
    Stack s({100, 100});
    EXPECT_TRUE(s.list->ScrollBarShown()); // 200 high, 200 of panels
    EXPECT_EQ(s.list->ClientWidth(), 300 - 4 - 17);
    s.list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(s.list->ScrollPosition(), 0); // nothing to scroll
    // A hidden panel's height counts nowhere: the rest fits, the bar goes and comes back.
    s.panels[1]->Hide();
    EXPECT_EQ(s.list->TotalHeight(), 100);
    EXPECT_FALSE(s.list->ScrollBarShown());
    EXPECT_EQ(s.list->ClientWidth(), 300 - 4);
    s.panels[1]->Show();
    EXPECT_EQ(s.list->TotalHeight(), 200);
    EXPECT_TRUE(s.list->ScrollBarShown());
    s.Add(100);
    EXPECT_EQ(s.list->TotalHeight(), 300);
    s.list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(s.list->ScrollPosition(), 8);
    EXPECT_EQ(s.Tops(), (std::vector<int>{-8, 92, 192}));
    s.list->Perform(WM_VSCROLL, SB_PAGEDOWN, 0); // half the height, 108, past the end
    EXPECT_EQ(s.list->ScrollPosition(), 100);   // clamped to total - height
    s.list->Perform(WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(s.list->ScrollPosition(), 92);
    s.list->Perform(WM_VSCROLL, SB_PAGEUP, 0);
    s.list->Perform(WM_VSCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(s.list->ScrollPosition(), 0);
    // Enlarging the list past the stack hides the bar and scrolls back.
    s.list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    s.list->SetHeight(400);
    EXPECT_FALSE(s.list->ScrollBarShown());
    EXPECT_EQ(s.list->ScrollPosition(), 0);
    EXPECT_EQ(s.Tops(), (std::vector<int>{0, 100, 200}));
}

TEST(XScrollListTest, WheelScrollsAndCtrlWheelStepsPanels)
{
    Stack s({80, 120, 60, 90});
    auto wheel = [&](int notches, bool ctrl) { s.screen.Wheel(150, 20 + 150, notches, ctrl ? MK_CONTROL : 0); };
    wheel(-1, false);
    EXPECT_EQ(s.list->ScrollPosition(), 16);
    wheel(1, false);
    wheel(1, false);
    EXPECT_EQ(s.list->ScrollPosition(), 0);
    wheel(-1, true); // the next panel below the top comes to the top
    EXPECT_EQ(s.list->ScrollPosition(), 80);
    wheel(-1, true);
    EXPECT_EQ(s.list->ScrollPosition(), 150); // 200 would pass the end: 350 - 200
    wheel(1, true); // the panel before the first one at or below the top
    EXPECT_EQ(s.list->ScrollPosition(), 80);
    // Unequal panels: from 100 (inside the second) the first panel at or below the top is the
    // third; the one before it, the second, comes to the top.
    s.list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    s.list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    s.list->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    wheel(1, true);
    EXPECT_EQ(s.list->ScrollPosition(), 80);
    wheel(1, true);
    wheel(1, true);
    EXPECT_EQ(s.list->ScrollPosition(), 0);
}

TEST(XScrollListTest, ArrowsAndThumbDragScrollThroughTheWindowsBar)
{
    Stack s({150, 150, 150, 150}); // 600 in 200
    int barX = 10 + 300 - 2 - 8;
    s.screen.Click(barX, 10 + 2 + 5); // up arrow at the top: stays 0
    EXPECT_EQ(s.list->ScrollPosition(), 0);
    s.screen.Click(barX, 10 + 200 - 2 - 5);
    EXPECT_EQ(s.list->ScrollPosition(), 8);
    // Thumb drag from its top to the bottom of the track.
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    s.list->GetScrollInfo(SB_VERT, info);
    EXPECT_EQ(info.nPage, 200u);
    EXPECT_EQ(info.nMax, 600);
    s.screen.Down(barX, 10 + 2 + 17 + 3);
    s.screen.Move(barX, 10 + 200);
    EXPECT_EQ(s.list->ScrollPosition(), 400); // tracked as it moves, clamped to the end
    s.screen.Up(barX, 10 + 200);
    EXPECT_EQ(s.list->ScrollPosition(), 400);
    EXPECT_EQ(s.Tops().back(), 50);
}

TEST(XScrollListTest, MovedPanelsAreReorderedByTheirTop)
{
    Stack s({50, 50, 50, 50});
    std::vector<XScroll*> p = s.panels;
    p[2]->SetTop(10); // above the second: takes its place
    EXPECT_EQ(s.Order(), (std::vector<XScroll*>{p[0], p[2], p[1], p[3]}));
    EXPECT_EQ(s.Tops(), (std::vector<int>{0, 50, 100, 150}));
    p[2]->SetTop(100); // the same top as the panel after it, moving down: after it
    EXPECT_EQ(s.Order(), (std::vector<XScroll*>{p[0], p[1], p[2], p[3]}));
    p[3]->SetTop(0); // the same top moving up: before it
    EXPECT_EQ(s.Order(), (std::vector<XScroll*>{p[3], p[0], p[1], p[2]}));
}

TEST(XScrollListTest, PanelsDockBetweenListsAndFloatOnlyWhenAllowed)
{
    Stack s({60, 60});
    auto* second = new XScrollList(&s.screen.form);
    second->SetParent(&s.screen.form);
    second->SetBounds(320, 10, 170, 300);
    for (XScrollList* l : {s.list, second})
    {
        l->SetDockSite(true);
        l->SetDockScrolls(true);
    }
    XScroll* moved = s.panels[1];
    moved->SetDragKind(dkDock);
    moved->SetDragMode(dmAutomatic);
    // Grab the panel on its left margin and drop it into the second list.
    s.screen.Down(10 + 2 + 4, 10 + 2 + 60 + 30);
    s.screen.Move(200, 100);
    s.screen.Move(400, 100);
    s.screen.Up(400, 100);
    EXPECT_EQ(moved->Parent(), second);
    EXPECT_EQ(s.list->PanelCount(), 1);
    EXPECT_EQ(second->PanelCount(), 1);
    EXPECT_EQ(moved->Top(), 0);
    EXPECT_EQ(moved->Width(), 166);
    // A list that refuses panels leaves it where it is.
    s.list->SetDockScrolls(false);
    s.screen.Down(320 + 2 + 4, 10 + 2 + 30);
    s.screen.Move(100, 40);
    s.screen.Up(100, 40);
    EXPECT_EQ(moved->Parent(), second);
    // Onto the desktop (no site): without CanFloat it stays docked; with it, it floats.
    s.screen.Down(320 + 2 + 4, 10 + 2 + 30);
    s.screen.Move(320, 450);
    s.screen.Up(320, 450);
    EXPECT_EQ(moved->Parent(), second);
    moved->SetCanFloat(true);
    s.screen.Down(320 + 2 + 4, 10 + 2 + 30);
    s.screen.Move(320, 450);
    s.screen.Up(320, 450);
    ASSERT_TRUE(moved->Floating());
    EXPECT_EQ(second->PanelCount(), 0);
    auto* host = dynamic_cast<TDockHostForm*>(moved->Parent());
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(host->Visible());
    EXPECT_EQ(host->BorderStyle(), bsToolWindow);
    // Closing the tool window cannot hide a panel that may not hide while floating.
    host->Close();
    EXPECT_TRUE(moved->Visible());
    EXPECT_TRUE(host->Visible());
    moved->SetCanHideWhenFloating(true);
    host->Close();
    EXPECT_FALSE(moved->Visible());
    EXPECT_FALSE(host->Visible());
    // Docked back from code, the empty tool window goes away.
    moved->Show();
    moved->ManualDock(s.list, TRect(0, 5, 300, 65));
    EXPECT_EQ(moved->Parent(), s.list);
    EXPECT_EQ(s.Order(), (std::vector<XScroll*>{s.panels[0], moved}));
    Application->ProcessMessages();
    for (int i = 0; i < Screen->FormCount(); ++i)
        EXPECT_NE(Screen->Forms(i), host);
}
