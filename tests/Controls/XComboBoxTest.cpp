#include "Controls/XComboBox.h"

#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// Counts how often its window is made.
class CountingCombo : public XComboBox
{
public:
    using XComboBox::XComboBox;
    int made = 0;

protected:
    void CreateWnd() override
    {
        XComboBox::CreateWnd();
        ++made;
    }
};

bool Bordered(const XComboBox& combo)
{
    return (combo.WindowStyle() & WS_BORDER) != 0;
}

bool Edged(const XComboBox& combo)
{
    return (combo.WindowExStyle() & WS_EX_CLIENTEDGE) != 0;
}
} // namespace

TEST(XComboBoxTest, BorderStyleSetsBothFrameBitsOrNeither)
{
    XComboBox combo(nullptr);
    EXPECT_EQ(combo.BorderStyle(), bsSingle);
    EXPECT_TRUE(Bordered(combo));
    EXPECT_TRUE(Edged(combo));
    struct Case
    {
        TFormBorderStyle style;
        bool framed;
    };
    for (Case c : {Case{bsNone, false}, Case{bsSizeable, true}, Case{bsNone, false}, Case{bsDialog, true},
                   Case{bsToolWindow, true}, Case{bsSingle, true}})
    {
        SCOPED_TRACE(int(c.style));
        combo.SetBorderStyle(c.style);
        EXPECT_EQ(Bordered(combo), c.framed);
        EXPECT_EQ(Edged(combo), c.framed);
        // The text box keeps its height: the frame adds to the control's.
        EXPECT_EQ(combo.ClientHeight(), XComboBox(nullptr).ClientHeight());
        EXPECT_EQ(combo.Height() - combo.ClientHeight(), c.framed ? 6 : 0);
    }
}

TEST(XComboBoxTest, ANewFrameRemakesTheWindowKeepingTextItemsAndSelection)
{
    FormPixels screen(300, 200);
    auto* combo = new CountingCombo(&screen.form);
    combo->SetParent(&screen.form);
    combo->SetBounds(10, 10, 150, combo->Height());
    for (const char16_t* item : {u"Models.pck", u"Gfx.pck", u"Surfaces.pck"})
        combo->AddItem(item);
    combo->SetItemIndex(1);
    combo->SetFocus();
    combo->EditBox()->SetSelStart(1);
    combo->EditBox()->SetSelLength(2);
    combo->SetDroppedDown(true);
    int made = combo->made;
    EXPECT_GE(made, 1);

    combo->SetBorderStyle(bsSingle); // unchanged: nothing happens
    EXPECT_EQ(combo->made, made);
    EXPECT_TRUE(combo->DroppedDown());
    combo->SetBorderStyle(bsNone);
    EXPECT_EQ(combo->made, made + 1);
    EXPECT_FALSE(combo->DroppedDown()); // the list belonged to the old window
    EXPECT_EQ(combo->ItemCount(), 3);
    EXPECT_EQ(combo->Item(2), UnicodeString(u"Surfaces.pck"));
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), UnicodeString(u"Gfx.pck"));
    EXPECT_EQ(combo->SelStart(), 1);
    EXPECT_EQ(combo->SelLength(), 2);
    combo->SetBorderStyle(bsSizeable);
    combo->SetBorderStyle(bsDialog); // looks the same, but is a change of the property
    EXPECT_EQ(combo->made, made + 3);
    EXPECT_EQ(combo->Text(), UnicodeString(u"Gfx.pck"));
}

TEST(XComboBoxTest, OuterRowsAreTheFrameThenTheSunkenEdgeThenTheBoxsOwn)
{
    FormPixels screen(300, 120);
    screen.form.SetColor(clWhite);
    auto* single = new XComboBox(&screen.form);
    single->SetParent(&screen.form);
    single->SetBounds(10, 10, 150, single->Height());
    auto* none = new XComboBox(&screen.form);
    none->SetParent(&screen.form);
    none->SetBorderStyle(bsNone);
    none->SetBounds(10, 60, 150, none->Height());
    screen.At(0, 0);
    auto column = [&](int x, int top, int rows)
    {
        std::vector<uint32_t> got;
        for (int y = top; y < top + rows; ++y)
            got.push_back(screen.Peek(x, y));
        return got;
    };
    uint32_t frame = FormPixels::Of(clWindowFrame), shadow = FormPixels::Of(clBtnShadow),
             dark = FormPixels::Of(cl3DDkShadow), window = FormPixels::Of(clWindow), white = FormPixels::Of(clWhite);
    // Down the middle of the text box, from the row above the control; the text box inside draws
    // no edge of its own.
    EXPECT_EQ(column(60, 9, 8), (std::vector<uint32_t>{white, frame, shadow, dark, shadow, dark, window, window}));
    EXPECT_EQ(column(60, 59, 5), (std::vector<uint32_t>{white, shadow, dark, window, window}));
    // Bottom rows: the edges' light sides, then the frame.
    int bottom = 10 + single->Height() - 1;
    EXPECT_EQ(screen.Peek(60, bottom), frame);
    EXPECT_EQ(screen.Peek(60, bottom - 1), FormPixels::Of(clBtnHighlight));
    EXPECT_EQ(screen.Peek(60, bottom - 2), FormPixels::Of(cl3DLight));

    // A bevel lies between the client edge and the box's own edge.
    single->SetBevelKind(bkTile);
    single->SetBevelInner(bvNone);
    single->SetBevelOuter(bvRaised);
    screen.At(0, 0);
    EXPECT_EQ(column(60, 10, 5), (std::vector<uint32_t>{frame, shadow, dark, FormPixels::Of(cl3DLight), shadow}));
    single->SetBevelKind(bkNone);
    screen.At(0, 0);
    EXPECT_EQ(column(60, 10, 5), (std::vector<uint32_t>{frame, shadow, dark, shadow, dark}));
}

namespace
{
struct ComboHost
{
    std::vector<TPoint> popups;
    int resizes = 0;
    void Popup(TObject*, TPoint at, bool& handled)
    {
        popups.push_back(at);
        handled = true;
    }
    void CanResize(TObject*, int&, int&, bool&) { ++resizes; }
};
} // namespace

// The combo's inherited events: a right click on its text box or its button reaches the combo's
// OnContextPopup at the combo's client point; its width keeps the constraints.
TEST(XComboBoxTest, RightClicksAndResizesReachTheCombosHost)
{
    FormPixels screen(300, 200);
    auto* combo = new XComboBox(&screen.form);
    combo->SetParent(&screen.form);
    combo->SetBounds(20, 20, 160, combo->Height());
    ComboHost host;
    combo->OnContextPopup = MakeClosure(&host, &ComboHost::Popup);
    combo->OnCanResize = MakeClosure(&host, &ComboHost::CanResize);
    const TPoint origin = screen.form.ScreenToClient(combo->ClientToScreen(TPoint()));
    for (TPoint at : {TPoint(10, 5), TPoint(combo->ClientWidth() - 4, 5)})
    {
        Vcl::RouteInput(&screen.form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(origin.x + at.x, origin.y + at.y));
        Vcl::RouteInput(&screen.form, WM_RBUTTONUP, 0, MAKELPARAM(origin.x + at.x, origin.y + at.y));
    }
    EXPECT_EQ(host.popups, (std::vector<TPoint>{TPoint(10, 5), TPoint(combo->ClientWidth() - 4, 5)}));
    EXPECT_FALSE(combo->DroppedDown());
    combo->Constraints()->SetMaxWidth(120);
    EXPECT_EQ(combo->Width(), 120);
    EXPECT_EQ(host.resizes, 1);
}
