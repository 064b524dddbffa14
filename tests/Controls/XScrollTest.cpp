#include "Controls/XScroll.h"

#include "tests/Controls/FormPixels.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

TEST(XScrollTest, PropertiesClampAndOpenCloseKeepTheOpenHeight)
{
    XScroll panel(nullptr);
    EXPECT_EQ(panel.BoundsRect(), TRect(0, 0, 300, 200));
    EXPECT_TRUE(panel.Open());
    EXPECT_TRUE(panel.HeaderButton()->Down());
    EXPECT_EQ(panel.HeaderButton()->BoundsRect(), TRect(10, 0, 290, 20));
    struct Case
    {
        int set, expect;
    };
    for (Case c : {Case{3, 5}, Case{31, 30}, Case{100, 30}, Case{30, 30}, Case{-5, 5}, Case{12, 12}})
    {
        panel.SetMargin(c.set);
        EXPECT_EQ(panel.Margin(), c.expect) << c.set;
        EXPECT_EQ(panel.HeaderButton()->BoundsRect(), TRect(c.expect, 0, 300 - c.expect, 20));
    }
    EXPECT_EQ(panel.ClientRect(), TRect(12, 21, 288, 188));
    panel.SetOpenHeight(10);
    EXPECT_EQ(panel.OpenHeight(), 40);
    EXPECT_EQ(panel.Height(), 40);
    panel.SetOpenHeight(200);
    panel.SetOpen(false);
    EXPECT_EQ(panel.Height(), 25);
    EXPECT_FALSE(panel.HeaderButton()->Down());
    panel.SetOpen(true);
    EXPECT_EQ(panel.Height(), 200);
    panel.SetHeight(150); // dragging an open panel's height changes what it reopens to
    panel.SetOpen(false);
    panel.SetOpen(true);
    EXPECT_EQ(panel.Height(), 150);
    // Caption and enabled state reach the caption bar.
    panel.SetCaption(u"Transform");
    EXPECT_EQ(panel.HeaderButton()->Caption(), u"Transform");
    panel.SetEnabled(false);
    EXPECT_FALSE(panel.HeaderButton()->Enabled());
}

TEST(XScrollTest, FontSetsTheCaptionBarAndFixWidthHoldsTheWidth)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 500, 500);
    auto* panel = new XScroll(&form);
    panel->SetParent(&form);
    panel->SetOpen(false);
    panel->Font()->SetSize(24);
    int header = panel->HeaderHeight();
    EXPECT_GT(header, 30);
    EXPECT_EQ(panel->Height(), header + 5);
    EXPECT_EQ(panel->HeaderButton()->Height(), header);
    EXPECT_GE(panel->OpenHeight(), 2 * header);
    panel->SetOpen(true);
    panel->SetFixWidth(true);
    EXPECT_EQ(panel->FixedWidth(), 300);
    panel->SetWidth(420); // a parent that stretches it is answered by FixedWidth
    EXPECT_EQ(panel->Width(), 300);
    panel->SetAlign(alTop);
    EXPECT_EQ(panel->Width(), 300);
    panel->SetFixedWidth(250);
    EXPECT_EQ(panel->Width(), 250);
    // Designing: a size change becomes the fixed width.
    panel->SetAlign(alNone);
    panel->SetDesigning(true);
    panel->SetWidth(260);
    EXPECT_EQ(panel->FixedWidth(), 260);
}

TEST(XScrollTest, FrameStartsAtTheMiddleOfTheCaptionBar)
{
    FormPixels screen;
    auto* panel = new XScroll(&screen.form);
    panel->SetParent(&screen.form);
    panel->SetBounds(20, 30, 200, 100);
    int h = panel->HeaderHeight() / 2;
    EXPECT_EQ(screen.At(20 + 2, 30 + 100 - 10), FormPixels::Of(cl3DLight));
    EXPECT_EQ(screen.At(20 + 2, 30 + h + 20), FormPixels::Of(cl3DLight));
    EXPECT_EQ(screen.At(20 + 3, 30 + h + 20), FormPixels::Of(cl3DDkShadow));
    EXPECT_EQ(screen.At(20 + 200 - 3, 30 + 50), FormPixels::Of(cl3DDkShadow));
    EXPECT_EQ(screen.At(20 + 200 - 4, 30 + 50), FormPixels::Of(cl3DLight));
    // Outside the frame the panel shows its colour, which follows the (white) form's.
    EXPECT_EQ(screen.At(20 + 1, 30 + 50), FormPixels::Of(clWhite));
    // Left of the caption bar, on the frame's top line.
    EXPECT_EQ(screen.At(20 + 4, 30 + h), FormPixels::Of(cl3DLight));
    EXPECT_EQ(screen.At(20 + 4, 30 + h + 1), FormPixels::Of(cl3DDkShadow));
}

TEST(XScrollTest, CaptionClickClosesAndOpens)
{
    FormPixels screen;
    auto* panel = new XScroll(&screen.form);
    panel->SetParent(&screen.form);
    panel->SetBounds(0, 0, 200, 120);
    screen.Click(100, 5);
    EXPECT_FALSE(panel->Open());
    // The form's font set the caption bar's height.
    EXPECT_EQ(panel->Height(), panel->HeaderHeight() + 5);
    screen.Click(100, 5);
    EXPECT_TRUE(panel->Open());
    EXPECT_EQ(panel->Height(), 120);
}

// Tab and Shift+Tab never stop inside a closed panel, where typed keys would change what no one
// sees; its caption bar takes the focus, shows it and opens or closes the panel by Space or Enter.
TEST(XScrollTest, KeysReachOnlyWhatAnOpenPanelShows)
{
    FormPixels screen;
    auto place = [&](TWinControl* parent, int top) {
        auto* edit = new TEdit(&screen.form);
        edit->SetParent(parent);
        edit->SetBounds(10, top, 80, 21);
        edit->SetTabStop(true);
        return edit;
    };
    TEdit* before = place(&screen.form, 5);
    auto* panel = new XScroll(&screen.form);
    panel->SetParent(&screen.form);
    panel->SetBounds(10, 40, 200, 100);
    TEdit* inner = place(panel, 30);
    TEdit* after = place(&screen.form, 200);
    XStdButton* bar = panel->HeaderButton();
    auto shiftTab = [&] {
        Vcl::RouteInput(&screen.form, WM_KEYDOWN, VK_SHIFT, 0);
        screen.Key(VK_TAB);
        Vcl::RouteInput(&screen.form, WM_KEYUP, VK_SHIFT, 0);
    };
    // The bar's top row of pixels inside its frame, where the focus rectangle runs.
    auto barRow = [&] {
        std::vector<uint32_t> row;
        const TPoint at = bar->FormOrigin();
        for (int x = at.x + 4; x < at.x + bar->Width() - 4; ++x)
            row.push_back(screen.At(x, at.y + 2));
        return row;
    };
    before->SetFocus();
    const std::vector<uint32_t> unfocused = barRow();
    screen.Key(VK_TAB);
    ASSERT_TRUE(bar->Focused());
    EXPECT_NE(barRow(), unfocused);
    screen.Key(VK_TAB);
    EXPECT_TRUE(inner->Focused());

    // Closing the panel around the focus hands it to the bar; keys typed then change nothing inside.
    screen.Click(bar->FormOrigin().x + 20, bar->FormOrigin().y + 5);
    EXPECT_FALSE(panel->Open());
    EXPECT_TRUE(bar->Focused());
    screen.Type(u"777");
    EXPECT_EQ(inner->Text(), u"");
    screen.Key(VK_TAB);
    EXPECT_TRUE(after->Focused());
    shiftTab();
    EXPECT_TRUE(bar->Focused());
    shiftTab();
    EXPECT_TRUE(before->Focused());
    screen.Key(VK_TAB);
    ASSERT_TRUE(bar->Focused());

    // Space and Enter on the focused bar open and close it; the panel's controls come back in order.
    screen.Key(VK_SPACE);
    EXPECT_TRUE(panel->Open());
    EXPECT_EQ(panel->Height(), 100);
    screen.Key(VK_RETURN);
    EXPECT_FALSE(panel->Open());
    screen.Key(VK_RETURN);
    EXPECT_TRUE(panel->Open());
    EXPECT_TRUE(bar->Focused());
    screen.Key(VK_TAB);
    EXPECT_TRUE(inner->Focused());
    screen.Key(VK_TAB);
    EXPECT_TRUE(after->Focused());
    EXPECT_EQ(barRow(), unfocused);

    // Closed from code, the same: the focus inside goes to the bar, the focus elsewhere stays.
    inner->SetFocus();
    panel->SetOpen(false);
    EXPECT_TRUE(bar->Focused());
    screen.Type(u"5");
    EXPECT_EQ(inner->Text(), u"");
    panel->SetOpen(true);
    after->SetFocus();
    panel->SetOpen(false);
    EXPECT_TRUE(after->Focused());
}

TEST(XScrollTest, ACaptionTooWideForItsBarKeepsItsFirstLetter)
{
    // The caption's first columns of ink as a wide bar shows it centred, whole; a bar too narrow
    // shows the same columns at the start of its text room, cut at the end instead.
    FormPixels screen(500, 200);
    auto* wide = new XScroll(&screen.form);
    wide->SetParent(&screen.form);
    wide->SetBounds(0, 0, 400, 60);
    auto* narrow = new XScroll(&screen.form);
    narrow->SetParent(&screen.form);
    narrow->SetBounds(0, 80, 70, 60);
    for (XScroll* panel : {wide, narrow})
        panel->SetCaption(u"Выполнить поворот");
    screen.At(0, 0);
    const uint32_t face = FormPixels::Of(clBtnFace);
    struct Ink
    {
        int left = -1, right = -1;
        std::vector<uint32_t> columns; // the first columns, top to bottom
    };
    auto inkOf = [&](XScroll* panel)
    {
        XStdButton* bar = panel->HeaderButton();
        int x0 = panel->Left() + bar->Left() + 3, x1 = panel->Left() + bar->Left() + bar->Width() - 3;
        int y0 = panel->Top() + bar->Top() + 3, y1 = panel->Top() + bar->Top() + bar->Height() - 3;
        Ink ink;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                if (screen.Peek(x, y) != face)
                {
                    ink.left = ink.left < 0 ? x : ink.left;
                    ink.right = x;
                }
        for (int x = ink.left; ink.left >= 0 && x < ink.left + 6; ++x)
            for (int y = y0; y < y1; ++y)
                ink.columns.push_back(screen.Peek(x, y));
        return ink;
    };
    Ink whole = inkOf(wide), cut = inkOf(narrow);
    ASSERT_GE(whole.left, 0);
    ASSERT_GE(cut.left, 0);
    XStdButton* bar = narrow->HeaderButton();
    EXPECT_GT(whole.right - whole.left, bar->Width()); // it does not fit
    EXPECT_LE(cut.left, narrow->Left() + bar->Left() + 4);
    EXPECT_GE(cut.right, narrow->Left() + bar->Left() + bar->Width() - 5);
    EXPECT_EQ(cut.columns, whole.columns); // the first letter, as the whole caption starts
    // One that fits stays centred in its bar.
    int middle = wide->Left() + wide->HeaderButton()->Left() + wide->HeaderButton()->Width() / 2;
    EXPECT_LE(std::abs((whole.left + whole.right) / 2 - middle), 2);
}
