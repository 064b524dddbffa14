// An edit, a list box and a combo box without the 3D look, and a panel following its form's colour, as a real
// window on a private X server shows them.
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/StdCtrls.h"

#include "tests/support/PresenterWindowTest.h"

#include <gtest/gtest.h>

namespace
{
class ParentLookWindowTest : public PresenterWindowTest
{
public:
    uint32_t At(unsigned long window, int x, int y) { return probe->ReadPixel(window, x, y) & 0xFFFFFF; }
    static uint32_t Of(TColor color) { return Platform::Gdi::ToPixel(ColorToRGB(color)) & 0xFFFFFF; }
};
} // namespace

TEST_F(ParentLookWindowTest, FlatEditsAndAPanelInTheFormsColour)
{
    TForm form(nullptr);
    form.SetCaption(u"Flat");
    form.SetBounds(40, 40, 260, 200);
    form.SetColor(clTeal);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(10, 10, 100, 60);
    panel->SetParentColor(true);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(10, 90, 100, 21);
    edit->SetCtl3D(false);
    auto* list = new TListBox(&form);
    list->SetParent(&form);
    list->SetBounds(130, 10, 100, 80);
    list->SetCtl3D(false);
    auto* sunken = new TEdit(&form);
    sunken->SetParent(&form);
    sunken->SetBounds(10, 130, 100, 21);
    auto* combo = new TComboBox(&form);
    combo->SetParent(&form);
    combo->SetBounds(130, 130, 100, 21);
    combo->SetCtl3D(false);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));

    EXPECT_EQ(At(window, 10 + 50, 10 + 30), Of(clTeal));
    // Each flat box: a clWindowFrame line, then the window colour right inside it.
    EXPECT_EQ(At(window, 10, 90 + 10), Of(clWindowFrame));
    EXPECT_EQ(At(window, 10 + 1, 90 + 10), Of(clWindow));
    EXPECT_EQ(At(window, 10 + 99, 90 + 10), Of(clWindowFrame));
    EXPECT_EQ(At(window, 10 + 98, 90 + 10), Of(clWindow));
    EXPECT_EQ(At(window, 10 + 50, 90 + 20), Of(clWindowFrame));
    EXPECT_EQ(At(window, 10 + 50, 90 + 19), Of(clWindow));
    EXPECT_EQ(At(window, 130, 10 + 40), Of(clWindowFrame));
    EXPECT_EQ(At(window, 130 + 1, 10 + 40), Of(clWindow));
    EXPECT_EQ(At(window, 130 + 40, 10), Of(clWindowFrame));
    EXPECT_EQ(At(window, 130 + 40, 10 + 1), Of(clWindow));
    EXPECT_EQ(At(window, 130, 130 + 10), Of(clWindowFrame));
    EXPECT_EQ(At(window, 130 + 1, 130 + 10), Of(clWindow));
    EXPECT_EQ(At(window, 130 + 20, 130), Of(clWindowFrame));
    EXPECT_EQ(At(window, 130 + 20, 130 + 1), Of(clWindow));
    // The edit left with the 3D look keeps its two-pixel sunken edge.
    EXPECT_EQ(At(window, 10, 130 + 10), Of(clBtnShadow));
    EXPECT_EQ(At(window, 10 + 1, 130 + 10), Of(cl3DDkShadow));
    EXPECT_EQ(At(window, 10 + 2, 130 + 10), Of(clWindow));

    // Following the form again gives the list box its sunken edge back.
    list->SetParentCtl3D(true);
    Settle();
    EXPECT_EQ(At(window, 130, 10 + 40), Of(clBtnShadow));
    EXPECT_EQ(At(window, 130 + 1, 10 + 40), Of(cl3DDkShadow));
    // And the panel follows a new form colour.
    form.SetColor(clOlive);
    Settle();
    EXPECT_EQ(At(window, 10 + 50, 10 + 30), Of(clOlive));
}
