// The class library's image list, owner-data list view and tree view.
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
// An owner-data list of `count` rows named "row N", recording the state changes it hears.
class RowList : public TCustomListView
{
public:
    explicit RowList(TComponent* owner) : TCustomListView(owner) { SetOwnerData(true); }
    struct Change
    {
        int index;
        bool selectedBefore, selectedAfter;
    };
    std::vector<Change> changes;
    UnicodeString wideCaption; // row 3's caption when set

protected:
    bool OwnerDataFetch(TListItem* Item, TItemRequest) override
    {
        Item->Caption = UnicodeString(u"row ") + UnicodeString(std::to_string(Item->Index()).c_str());
        if (Item->Index() == 3 && wideCaption.Length())
            Item->Caption = wideCaption;
        return true;
    }
    bool OwnerDataStateChange(int first, int last, TItemStates before, TItemStates after) override
    {
        for (int i = first; i <= last; ++i)
            changes.push_back({i, before.Contains(isSelected), after.Contains(isSelected)});
        return true;
    }
};

// A new control of the type filling the form, which gets that client size.
template <class Control> Control* FillForm(TForm& form, int width, int height)
{
    form.SetClientWidth(width);
    form.SetClientHeight(height);
    auto* control = new Control(&form);
    control->SetParent(&form);
    control->SetBounds(0, 0, width, height);
    return control;
}

std::vector<int> SelectedRows(TCustomListView* list)
{
    std::vector<int> rows;
    for (TListItem* item = list->Selected(); item; item = list->GetNextItem(item, sdAll, TItemStates{isSelected}))
        rows.push_back(item->Index());
    return rows;
}
} // namespace

TEST(ImageListTest, AddsStripsAndDrawsOnlyWhatItHolds)
{
    TImageList images(nullptr);
    EXPECT_EQ(images.Width(), 16);
    images.SetWidth(4);
    images.SetHeight(4);
    TBitmap strip;
    strip.SetSize(12, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 12; ++x)
            strip.ScanLine(y)[x] = x < 4 ? 0xFF0000 : x < 8 ? 0x00FF00 : 0x0000FF;
    strip.ScanLine(0)[0] = 0xFF00FF;
    EXPECT_EQ(images.AddMasked(&strip, static_cast<TColor>(RGB(255, 0, 255))), 0);
    EXPECT_EQ(images.Count(), 3);
    EXPECT_EQ(images.Add(&strip, nullptr), 3);
    EXPECT_EQ(images.Count(), 6);

    TBitmap target;
    target.SetSize(20, 4);
    images.Draw(target.Canvas(), 0, 0, 0);
    images.Draw(target.Canvas(), 4, 0, 2);
    images.Draw(target.Canvas(), 8, 0, 6);  // past the end: nothing
    images.Draw(target.Canvas(), 12, 0, -1); // before the start: nothing
    EXPECT_EQ(target.ScanLine(0)[0] & 0xFFFFFF, 0xFFFFFFu); // the masked pixel stays clear
    EXPECT_EQ(target.ScanLine(1)[1] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(target.ScanLine(1)[5] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(target.ScanLine(1)[9] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(target.ScanLine(1)[13] & 0xFFFFFF, 0xFFFFFFu);
    images.SetWidth(8); // a new size empties the list
    EXPECT_EQ(images.Count(), 0);
}

TEST(ListViewTest, ClicksAndKeysSelectLikeTheDesktopsLists)
{
    TForm form(nullptr);
    auto* list = FillForm<RowList>(form, 200, 200);
    list->SetViewStyle(vsList);
    list->SetMultiSelect(true);
    list->Items()->SetCount(50);
    form.Show();
    auto click = [&](int row, WPARAM keys, const std::function<void(int y)>& between = {})
    {
        int y = list->Items()->Item(row)->DisplayRect(drBounds).top + 2;
        Platform::SetKeyDown(VK_SHIFT, keys & MK_SHIFT);
        Platform::SetKeyDown(VK_CONTROL, keys & MK_CONTROL);
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(30, y));
        if (between)
            between(y);
        Vcl::RouteInput(&form, WM_LBUTTONUP, keys, MAKELPARAM(30, y));
        Platform::ResetKeyStates();
    };
    click(2, 0);
    click(5, MK_SHIFT);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{2, 3, 4, 5}));
    click(3, MK_CONTROL);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{2, 4, 5}));
    EXPECT_EQ(list->SelCount(), 3);
    EXPECT_EQ(list->ItemFocused()->Index(), 3);
    // The owner heard each change of each row.
    int heard = 0;
    for (const auto& c : list->changes)
        heard += c.selectedBefore != c.selectedAfter;
    EXPECT_EQ(heard, 5); // 2 on; 3, 4, 5 on; 3 off
    // On a selected row the others stay for a drag until the release; a move of the drag distance,
    // a loop that took the mouse or rows read again end the wait, and the release selects nothing.
    click(4, 0,
          [&](int y) { Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30 + Vcl::DragThreshold, y)); });
    click(4, 0, [&](int) { list->Perform(WM_CANCELMODE, 0, 0); });
    click(4, 0, [&](int) { list->Items()->SetCount(50); });
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{2, 4, 5}));
    click(4, 0);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{4}));
    click(7, 0);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{7}));
    // Keys move the focus and the selection, and scroll the focused row into view.
    list->SetFocus();
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_END, 1);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{49}));
    EXPECT_GT(list->TopIndex(), 0);
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(list->TopIndex(), 0);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{0}));
    // A count of the same rows keeps their states; fewer rows drop the gone ones.
    list->Items()->SetCount(50);
    EXPECT_EQ(SelectedRows(list), (std::vector<int>{0}));
    list->Items()->SetCount(0);
    EXPECT_EQ(list->Selected(), nullptr);
    EXPECT_EQ(list->Items()->Item(0), nullptr);
}

TEST(TreeViewTest, ExpandsOnDemandSortsAndFollowsKeys)
{
    struct LazyTree : TCustomTreeView
    {
        using TCustomTreeView::TCustomTreeView;
        int asked = 0;
        bool CanExpand(TTreeNode* node) override
        {
            ++asked;
            if (node->Count() == 0 && node->Text == u"full")
                for (const char16_t* text : {u"b", u"C", u"a"})
                    Items()->AddChild(node, text);
            return true;
        }
    };
    TForm form(nullptr);
    auto* tree = new LazyTree(&form);
    tree->SetParent(&form);
    TTreeNode* full = tree->Items()->AddChild(nullptr, u"full");
    TTreeNode* empty = tree->Items()->AddChild(nullptr, u"empty");
    full->SetHasChildren(true);
    empty->SetHasChildren(true);
    empty->Expand(false);
    EXPECT_FALSE(empty->HasChildren()); // looked into and found empty: no button
    full->Expand(false);
    ASSERT_EQ(full->Count(), 3);
    tree->AlphaSort(true);
    EXPECT_EQ(full->Item(0)->Text, u"a");
    EXPECT_EQ(full->Item(2)->Text, u"C");
    EXPECT_EQ(tree->Items()->Top(0)->Text, u"empty");
    tree->SetSelected(full);
    form.Show();
    tree->SetFocus();
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(tree->Selected()->Text, u"a");
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_LEFT, 1);
    EXPECT_EQ(tree->Selected(), full);
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_LEFT, 1);
    EXPECT_FALSE(full->Expanded());
    // A node that goes takes the selection with it.
    tree->SetSelected(full->Item(1));
    tree->Items()->Delete(full);
    EXPECT_EQ(tree->Selected(), nullptr);
}

TEST(ListViewTest, RowsAndWideCaptionsScrollWithTheWindowsOwnBars)
{
    TForm form(nullptr);
    auto* list = FillForm<RowList>(form, 200, 200);
    list->SetViewStyle(vsList);
    list->Items()->SetCount(50);
    form.Show();
    auto bar = [&](int which)
    {
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
        list->GetScrollInfo(which, info);
        return info;
    };
    ASSERT_TRUE(list->WindowStyle() & WS_VSCROLL);
    EXPECT_FALSE(list->WindowStyle() & WS_HSCROLL);
    EXPECT_EQ(bar(SB_VERT).nMax, 49);
    EXPECT_EQ(static_cast<int>(bar(SB_VERT).nPage), list->VisibleRowCount());
    // A caption wider than the list brings the horizontal bar once the owner says the texts changed.
    list->wideCaption = UnicodeString(std::u16string(60, u'W').c_str());
    list->Items()->BeginUpdate();
    list->Items()->EndUpdate();
    ASSERT_TRUE(list->WindowStyle() & WS_HSCROLL);
    list->Perform(WM_HSCROLL, SB_LINEDOWN, 0);
    int shifted = list->ScrollX();
    EXPECT_GT(shifted, 0);
    EXPECT_EQ(bar(SB_HORZ).nPos, shifted);
    EXPECT_EQ(list->Items()->Item(3)->DisplayRect(drIcon).left, 2 - shifted);
    list->Perform(WM_HSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(list->ScrollX() + list->ClientWidth(), static_cast<int>(bar(SB_HORZ).nMax) + 1);
    EXPECT_EQ(list->Items()->Item(3)->DisplayRect(drLabel).right, list->ClientWidth()); // the end in view

    // Report view: two columns exactly as wide as the list fit until the vertical bar takes its
    // room; then the horizontal bar is needed too. With few rows neither shows.
    list->wideCaption = UnicodeString();
    list->SetViewStyle(vsReport);
    for (int i = 0; i < 2; ++i)
        list->Columns()->Add()->Width = 100;
    list->Invalidate();
    form.PaintDirty();
    EXPECT_TRUE(list->WindowStyle() & WS_VSCROLL);
    EXPECT_TRUE(list->WindowStyle() & WS_HSCROLL);
    list->Perform(WM_HSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(list->ScrollX(), 200 - list->ClientWidth());
    EXPECT_EQ(list->DividerAt(100 - list->ScrollX()), 0); // the header scrolls with the rows
    list->Items()->SetCount(3);
    EXPECT_FALSE(list->WindowStyle() & WS_VSCROLL);
    EXPECT_FALSE(list->WindowStyle() & WS_HSCROLL);
    EXPECT_EQ(list->ScrollX(), 0);
}

TEST(ListViewTest, AColumnDraggedDownToNothingCanBeWidenedAgain)
{
    TForm form(nullptr);
    auto* list = FillForm<RowList>(form, 300, 200);
    list->SetViewStyle(vsReport);
    for (int i = 0; i < 3; ++i)
        list->Columns()->Add()->Width = 60;
    list->Items()->SetCount(3);
    form.Show();
    const TPoint origin = list->FormOrigin();
    auto drag = [&](int from, int to)
    {
        const int y = origin.y + list->HeaderHeight() / 2;
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(origin.x + from, y));
        Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(origin.x + to, y));
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(origin.x + to, y));
    };
    auto widths = [&]
    {
        return std::vector<int>{list->Columns()->Items(0)->Width, list->Columns()->Items(1)->Width,
                                list->Columns()->Items(2)->Width};
    };
    drag(120, 40); // past the column's left edge: it stops at no width
    EXPECT_EQ(widths(), (std::vector<int>{60, 0, 60}));
    // Its divider and the one before lie on one another: the press takes the column of no width.
    EXPECT_EQ(list->DividerAt(60), 1);
    drag(60, 90);
    EXPECT_EQ(widths(), (std::vector<int>{60, 30, 60}));
}

TEST(TreeViewTest, RowsAndDeepNamesScrollWithTheWindowsOwnBars)
{
    TForm form(nullptr);
    auto* tree = FillForm<TCustomTreeView>(form, 200, 200);
    TTreeNode* root = tree->Items()->AddChild(nullptr, u"root");
    TTreeNode* last = nullptr;
    for (int i = 1; i < 100; ++i)
        last = tree->Items()->AddChild(root, UnicodeString(("node " + std::to_string(i)).c_str()));
    root->Expand(false);
    form.Show();
    auto bar = [&](int which)
    {
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
        tree->GetScrollInfo(which, info);
        return info;
    };
    ASSERT_TRUE(tree->WindowStyle() & WS_VSCROLL);
    EXPECT_FALSE(tree->WindowStyle() & WS_HSCROLL);
    EXPECT_EQ(bar(SB_VERT).nMax, 99);
    EXPECT_EQ(static_cast<int>(bar(SB_VERT).nPage), tree->VisibleRowCount());

    // The thumb dragged past the bar's end shows the last node in the last whole row.
    TRect track = tree->ScrollBarRect(SB_VERT);
    TPoint window = tree->WindowOrigin();
    TPoint thumb(window.x + track.left + track.Width() / 2, window.y + track.top + track.Width() + 2);
    auto mouse = [&](UINT message, TPoint p, WPARAM keys) { Vcl::RouteInput(&form, message, keys, MAKELPARAM(p.x, p.y)); };
    mouse(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
    mouse(WM_MOUSEMOVE, TPoint(thumb.x, thumb.y + track.Height() / 2), MK_LBUTTON);
    EXPECT_GT(tree->TopRow(), 30); // the rows follow the thumb while it moves
    mouse(WM_MOUSEMOVE, TPoint(thumb.x, window.y + track.bottom + 50), MK_LBUTTON);
    mouse(WM_LBUTTONUP, TPoint(thumb.x, window.y + track.bottom + 50), 0);
    EXPECT_EQ(tree->TopRow() + tree->VisibleRowCount(), 100);
    EXPECT_EQ(tree->GetNodeAt(5, (tree->VisibleRowCount() - 1) * tree->RowHeight() + 2), last);
    // The wheel and the keys move the bar with the rows; the selected node comes into view.
    tree->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(tree->TopRow() + tree->VisibleRowCount(), 97);
    EXPECT_EQ(bar(SB_VERT).nPos, tree->TopRow());
    tree->SetFocus();
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(tree->Selected(), root);
    EXPECT_EQ(tree->TopRow(), 0);
    EXPECT_EQ(bar(SB_VERT).nPos, 0);
    // The first child's text stands on the window's colour, not on the colour of the button above.
    form.PaintDirty();
    {
        int top = tree->RowHeight();
        TPoint origin = tree->FormOrigin();
        uint32_t window = form.Pixels()[(origin.y + top) * form.ClientWidth() + origin.x + tree->ClientWidth() - 1];
        int textLeft = 2 + 2 * 19, plain = 0, all = 0;
        for (int y = top + 2; y < top + tree->RowHeight() - 2; ++y)
            for (int x = textLeft; x < textLeft + tree->Canvas()->TextWidth(root->Item(0)->Text) + 4; ++x, ++all)
                plain += form.Pixels()[(origin.y + y) * form.ClientWidth() + origin.x + x] == window;
        EXPECT_GT(plain * 2, all);
    }

    Vcl::RouteInput(&form, WM_KEYDOWN, VK_NEXT, 1);
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_NEXT, 1);
    EXPECT_EQ(tree->Selected()->Index(), 2 * (tree->VisibleRowCount() - 1) - 1);
    EXPECT_EQ(tree->GetNodeAt(5, (tree->VisibleRowCount() - 1) * tree->RowHeight() + 2), tree->Selected());
    EXPECT_EQ(bar(SB_VERT).nPos, tree->TopRow());

    // A long name four levels down: the horizontal bar counts pixels to its label's end, and the
    // bar scrolled to its end shows the name's last letters.
    TTreeNode* deep = last;
    for (int level = 2; level < 5; ++level)
        deep = tree->Items()->AddChild(deep, u"sub");
    deep = tree->Items()->AddChild(deep, u"a folder whose name is far too long for the tree WXYZ");
    tree->SetSelected(deep); // its parents open
    ASSERT_TRUE(tree->WindowStyle() & WS_HSCROLL);
    tree->Canvas()->Font()->Assign(tree->Font());
    int textWidth = tree->Canvas()->TextWidth(deep->Text);
    int labelEnd = 2 + (deep->Level() + 1) * 19 + textWidth + 4;
    EXPECT_EQ(tree->ContentWidth(), labelEnd + 2);
    EXPECT_EQ(bar(SB_HORZ).nMax, labelEnd + 1);
    EXPECT_EQ(static_cast<int>(bar(SB_HORZ).nPage), tree->ClientWidth());
    tree->Perform(WM_HSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(tree->ScrollX(), labelEnd + 2 - tree->ClientWidth());
    EXPECT_EQ(bar(SB_HORZ).nPos, tree->ScrollX());
    tree->Perform(WM_HSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(bar(SB_HORZ).nPos, labelEnd + 2 - tree->ClientWidth() - 19);
    tree->Perform(WM_HSCROLL, SB_BOTTOM, 0);
    // The selected label ends 2 pixels before the client's edge, the name's last letter drawn
    // just before the label's end.
    tree->Invalidate();
    form.PaintDirty();
    int row = tree->TopRow();
    while (tree->GetNodeAt(0, (row - tree->TopRow()) * tree->RowHeight()) != deep)
        ++row;
    int top = (row - tree->TopRow()) * tree->RowHeight();
    TPoint origin = tree->FormOrigin();
    auto pixel = [&](int x, int y) { return form.Pixels()[(origin.y + y) * form.ClientWidth() + origin.x + x] & 0xFFFFFF; };
    const int width = tree->ClientWidth();
    uint32_t background = pixel(width - 1, top + 2);
    uint32_t fill = pixel(width - 4, top + 2);
    int labelRight = -1, textRight = -1;
    for (int y = top + 2; y < top + tree->RowHeight() - 2; ++y)
        for (int x = 0; x < width; ++x)
        {
            if (pixel(x, y) != background)
                labelRight = std::max(labelRight, x);
            if (x < width - 3 && pixel(x, y) != background && pixel(x, y) != fill) // inside the focus frame
                textRight = std::max(textRight, x);
        }
    EXPECT_EQ(labelRight, width - 3);
    EXPECT_LE(textRight, width - 5);
    EXPECT_GT(textRight, width - 5 - tree->Canvas()->TextWidth(u"Z"));
    // It is the "Z" standing full height, not "..." drawn low.
    int high = 0;
    for (int y = top + 2; y < top + tree->RowHeight() / 2 - 1; ++y)
        for (int x = textRight - 2; x <= textRight; ++x)
            high += pixel(x, y) != background && pixel(x, y) != fill;
    EXPECT_GT(high, 0);
    // Home goes back to the root, and back left by all but less than an indent: its button and
    // label show.
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(tree->Selected(), root);
    EXPECT_LT(tree->ScrollX(), 19);
    EXPECT_EQ(bar(SB_HORZ).nPos, tree->ScrollX());

    // Collapsed to one row, everything fits: both bars go and nothing stays scrolled.
    root->Collapse(false);
    EXPECT_EQ(tree->Selected(), root);
    EXPECT_FALSE(tree->WindowStyle() & WS_VSCROLL);
    EXPECT_FALSE(tree->WindowStyle() & WS_HSCROLL);
    EXPECT_EQ(tree->TopRow(), 0);
    EXPECT_EQ(tree->ScrollX(), 0);
}

TEST(TreeViewTest, ALabelCutByTheMeasuredWidthEndsInDots)
{
    TForm form(nullptr);
    auto* tree = FillForm<TCustomTreeView>(form, 300, 100);
    tree->Items()->AddChild(nullptr, u"a name of some length");
    TTreeNode* renamed = tree->Items()->AddChild(nullptr, u"B");
    form.Show();
    form.PaintDirty();
    // Renamed behind the view's back: the rows keep their measured width, the label is cut there.
    renamed->Text = u"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
    tree->Invalidate();
    form.PaintDirty();
    const int top = tree->RowHeight(), height = tree->RowHeight();
    const TPoint origin = tree->FormOrigin();
    auto pixel = [&](int x, int y)
    { return form.Pixels()[(origin.y + y) * form.ClientWidth() + origin.x + x] & 0xFFFFFF; };
    const uint32_t background = pixel(tree->ClientWidth() - 1, top + height / 2);
    int textRight = -1;
    for (int y = top; y < top + height; ++y)
        for (int x = 0; x < tree->ClientWidth(); ++x)
            if (pixel(x, y) != background)
                textRight = std::max(textRight, x);
    ASSERT_GT(textRight, 0);
    EXPECT_LT(textRight, tree->ContentWidth());
    // Where the text ends, only the dots' ink, low in the row: no letter standing full height.
    tree->Canvas()->Font()->Assign(tree->Font());
    int high = 0, low = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = textRight - tree->Canvas()->TextWidth(u".."); x <= textRight; ++x)
            (y < top + height / 2 ? high : low) += pixel(x, y) != background;
    EXPECT_EQ(high, 0);
    EXPECT_GT(low, 0);
}
