// The progress bar, the image control and the bordered combo box in a real window on a private X
// server: shown by the presenter, checked against pixels computed here and a picture inspected by
// eye, and driven by XTest input.
#include "Controls/XComboBox.h"
#include "Controls/XImage.h"
#include "Controls/XProgressBar.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/HintWindow.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/ComboList.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
class ProgressImageComboWindowTest : public PresenterWindowTest
{
};

// Row y of a gradient over `height` rows, byte by byte, as the bar's rule states it.
uint32_t GradientRow(TColor start, TColor end, int y, int height)
{
    COLORREF from = ColorToRGB(start), to = ColorToRGB(end);
    uint32_t pixel = 0;
    for (int shift : {0, 8, 16})
    {
        int a = int((from >> shift) & 0xFF), b = int((to >> shift) & 0xFF);
        COLORREF byte = COLORREF((a + (b - a) * y / height) & 0xFF);
        pixel |= Platform::Gdi::ToPixel(byte << shift);
    }
    return pixel;
}

// A 24 x 16 sprite on a magenta ground (its bottom-left pixel, so the automatic transparent
// colour): a red ring around a blue square, a yellow corner mark top-left.
void PaintSprite(TBitmap& sprite)
{
    sprite.SetSize(24, 16);
    TCanvas* c = sprite.Canvas();
    c->Brush()->SetColor(clFuchsia);
    c->FillRect(TRect(0, 0, 24, 16));
    c->Brush()->SetColor(clRed);
    c->FillRect(TRect(4, 2, 20, 14));
    c->Brush()->SetColor(clBlue);
    c->FillRect(TRect(8, 5, 16, 11));
    c->Brush()->SetColor(clYellow);
    c->FillRect(TRect(0, 0, 3, 3));
    sprite.SetTransparent(true);
}
} // namespace

TEST_F(ProgressImageComboWindowTest, BarsImagesAndCombosShowAndAnswerRealInput)
{
    TForm form(nullptr);
    form.SetCaption(u"Progress, image, combo");
    form.SetBounds(40, 40, 600, 300);
    form.SetColor(clBtnFace);

    auto* plain = new XProgressBar(&form);
    plain->SetParent(&form);
    plain->SetBounds(10, 10, 200, 16);
    plain->SetPosition(40);
    auto* fancy = new XProgressBar(&form);
    fancy->SetParent(&form);
    fancy->SetBounds(10, 34, 300, 24);
    fancy->SetColorOnStart(clNavy);
    fancy->SetColorOnEnd(clAqua);
    fancy->SetColorOffStart(clWhite);
    fancy->SetColorOffEnd(clGray);
    fancy->SetShowBorder(true);
    fancy->SetBorderColor(clBlack);
    fancy->Font()->SetColor(clYellow);
    fancy->Font()->SetStyle({fsBold});
    fancy->SetTitle(u"Saving 60 %");
    fancy->SetPosition(60);
    auto* stuck = new XProgressBar(&form);
    stuck->SetParent(&form);
    stuck->SetBounds(10, 66, 200, 16);
    stuck->SetColorOffStart(clLime);
    stuck->SetColorOffEnd(clGreen);
    stuck->SetMax(50);
    stuck->SetMin(50);

    TBitmap sprite;
    PaintSprite(sprite);
    XImage* images[5];
    const XDrawMode modes[] = {xdmCenter, xdmStretch, xdmTile, xdmTileVertical, xdmTileHorizontal};
    for (int i = 0; i < 5; ++i)
    {
        images[i] = new XImage(&form);
        images[i]->SetParent(&form);
        images[i]->SetBounds(10 + i * 116, 96, 110, 80);
        images[i]->SetDrawMode(modes[i]);
        images[i]->SetBitmap(&sprite);
    }

    auto* single = new XComboBox(&form);
    single->SetParent(&form);
    single->SetBounds(10, 196, 160, single->Height());
    auto* bare = new XComboBox(&form);
    bare->SetParent(&form);
    bare->SetBorderStyle(bsNone);
    bare->SetBounds(190, 196, 160, bare->Height());
    for (XComboBox* combo : {single, bare})
        for (const char16_t* item : {u"Models.pck", u"Gfx.pck", u"Surfaces.pck", u"Sounds.pck"})
            combo->AddItem(item);
    single->SetItemIndex(0);
    bare->SetStyle(csDropDownList);
    bare->SetItemIndex(1);

    unsigned long window = 0;

    ASSERT_TRUE(ShowForm(form, window));

    // The window shows the form's picture, and the picture is the checked-in one.
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Controls/data/progress_image_combo.png", 3, 31, 29));
    const int width = form.ClientWidth(), height = form.ClientHeight();
    auto screen = [&](int x, int y) { return probe->ReadPixel(window, x, y); };

    // Gradient rows, read back from the X server: the done part of the fancy bar in column 5 and
    // the remaining part in column 250, inside its border; the stuck bar only remaining.
    for (int y = 1; y < 23; ++y)
    {
        EXPECT_EQ(screen(10 + 5, 34 + y), GradientRow(clNavy, clAqua, y, 24)) << y;
        EXPECT_EQ(screen(10 + 250, 34 + y), GradientRow(clWhite, clGray, y, 24)) << y;
    }
    EXPECT_EQ(screen(10, 34), Platform::Gdi::ToPixel(ColorToRGB(clBlack)));
    for (int y = 0; y < 16; ++y)
    {
        EXPECT_EQ(screen(10, 66 + y), GradientRow(clLime, clGreen, y, 16)) << y;
        EXPECT_EQ(screen(10 + 4, 10 + y), Platform::Gdi::ToPixel(ColorToRGB(clBlue))) << y; // plain, done
    }

    // Image positions: where each mode puts the sprite's corner mark and its blue square, and the
    // form's face where the sprite is transparent.
    auto pixelOf = [](TColor c) { return Platform::Gdi::ToPixel(ColorToRGB(c)); };
    const uint32_t face = pixelOf(clBtnFace), yellow = pixelOf(clYellow), blue = pixelOf(clBlue);
    int cx = 110 / 2 - 24 / 2, cy = 80 / 2 - 16 / 2;
    struct Spot
    {
        int image, x, y;
        uint32_t colour;
    };
    const Spot spots[] = {
        {0, cx, cy, yellow},          {0, cx + 12, cy + 8, blue},   {0, cx + 1, cy + 15, face},
        {0, cx - 1, cy, face},        {1, 0, 0, yellow},            {1, 55, 40, blue},
        {1, 2, 78, face},             {2, 0, 0, yellow},            {2, 96, 64, yellow},
        {2, 96 + 12, 64 + 8, blue},   {2, 24 + 1, 16 + 15, face},   {3, cx, 0, yellow},
        {3, cx, 64, yellow},          {3, cx - 1, 64, face},        {4, 0, cy, yellow},
        {4, 96, cy, yellow},          {4, 96, cy - 1, face},        {4, 48 + 12, cy + 8, blue},
    };
    for (const Spot& s : spots)
    {
        TPoint at(images[s.image]->Left() + s.x, images[s.image]->Top() + s.y);
        EXPECT_EQ(screen(at.x, at.y), s.colour) << "image " << s.image << " at " << s.x << ", " << s.y;
    }

    // The combos' outer rows down the middle of the text: window frame, sunken edge, then the box's
    // own; without a border the box's own edge comes first.
    const uint32_t frame = pixelOf(clWindowFrame), shadow = pixelOf(clBtnShadow), dark = pixelOf(cl3DDkShadow);
    std::vector<uint32_t> rows;
    for (int y = 195; y < 201; ++y)
        rows.push_back(screen(60, y));
    EXPECT_EQ(rows, (std::vector<uint32_t>{face, frame, shadow, dark, shadow, dark}));
    rows.clear();
    for (int y = 195; y < 198; ++y)
        rows.push_back(screen(240, y));
    EXPECT_EQ(rows, (std::vector<uint32_t>{face, shadow, dark}));

    // The bordered combo's list opens by a click on its button; an item is picked by the mouse.
    // The button: inside the 3-pixel frame and the box's own 2-pixel edge, 17 pixels wide.
    probe->ClickAt(window, single->Left() + single->Width() - 3 - 2 - 8, single->Top() + single->Height() / 2);
    ASSERT_TRUE(PumpUntil([&] { return single->DroppedDown(); }));
    TComboListForm* list = ShownComboList();
    ASSERT_NE(list, nullptr);
    unsigned long listWindow = Vcl::NativeWindowOf(list);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(listWindow); }));
    Settle();
    probe->ClickAt(listWindow, 20, 1 + 2 * list->RowHeight() + list->RowHeight() / 2);
    ASSERT_TRUE(PumpUntil([&] { return !single->DroppedDown(); }));
    EXPECT_EQ(single->Text(), u"Surfaces.pck");
    EXPECT_EQ(single->ItemIndex(), 2);

    // The bare one opens with Alt+Down and picks with the keys.
    bare->SetFocus();
    Settle();
    probe->Key("Down", "Alt_L");
    ASSERT_TRUE(PumpUntil([&] { return bare->DroppedDown(); }));
    probe->Key("Down");
    probe->Key("Down");
    probe->Key("Return");
    ASSERT_TRUE(PumpUntil([&] { return !bare->DroppedDown(); }));
    EXPECT_EQ(bare->Text(), u"Sounds.pck");
    // Its button opens it too; Escape closes it without a pick.
    probe->ClickAt(window, 190 + 150, 196 + 8);
    ASSERT_TRUE(PumpUntil([&] { return bare->DroppedDown(); }));
    probe->Key("Up");
    probe->Key("Escape");
    ASSERT_TRUE(PumpUntil([&] { return !bare->DroppedDown(); }));
    EXPECT_EQ(bare->Text(), u"Sounds.pck");

    // Random input over the whole window, with the bars and images changing meanwhile.
    RandomInput(window, width, height, 32, 5,
                [&](unsigned kind, std::mt19937& random)
                {
                    if (kind == 2)
                        probe->Key(random() % 2 ? "Down" : "Escape", random() % 3 ? nullptr : "Alt_L");
                    else if (kind == 3)
                    {
                        fancy->SetPosition(int(random() % 101));
                        images[random() % 5]->SetDrawMode(modes[random() % 5]);
                    }
                    else
                        probe->Key(random() % 2 ? "Return" : "a");
                });
    for (XComboBox* combo : {single, bare})
        combo->SetDroppedDown(false);
    Settle();
    EXPECT_TRUE(form.Visible());
    form.Hide();
}

namespace
{
struct ImageDrops
{
    std::vector<std::string> log;
    void Over(TObject* sender, TObject* source, int, int, TDragState, bool& accept) { accept = source != sender; }
    void Drop(TObject*, TObject*, int X, int Y) { log.push_back("drop " + std::to_string(X) + "," + std::to_string(Y)); }
    void Popup(TObject*, TPoint at, bool& handled)
    {
        log.push_back("popup " + std::to_string(at.x) + "," + std::to_string(at.y));
        handled = true;
    }
};
} // namespace

TEST_F(ProgressImageComboWindowTest, HintsRestOnBarsAndImagesAndImagesDragOntoEachOther)
{
    ManualClock clock;
    TForm form(nullptr);
    form.SetCaption(u"Hints and drags");
    form.SetBounds(60, 60, 400, 220);
    form.SetShowHint(true);
    auto* bar = new XProgressBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(10, 10, 300, 20);
    bar->SetPosition(30);
    bar->SetHint(u"Saving|How much of the archive is written");
    TBitmap sprite;
    PaintSprite(sprite);
    auto* from = new XImage(&form);
    from->SetParent(&form);
    from->SetBounds(10, 60, 100, 80);
    from->SetBitmap(&sprite);
    from->SetHint(u"Drag me");
    from->SetDragMode(dmAutomatic);
    auto* to = new XImage(&form);
    to->SetParent(&form);
    to->SetBounds(200, 60, 100, 80);
    to->SetDrawMode(xdmTile);
    to->SetBitmap(&sprite);
    ImageDrops drops;
    to->OnDragOver = MakeClosure(&drops, &ImageDrops::Over);
    to->OnDragDrop = MakeClosure(&drops, &ImageDrops::Drop);
    to->OnContextPopup = MakeClosure(&drops, &ImageDrops::Popup);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));
    auto showing = [] { return Application->HintWindow() && Application->HintWindow()->Visible(); };

    // Resting on the bar, then on the image: each one's short hint below the pointer after the
    // pause, in the info colour.
    const struct
    {
        int x, y;
        const char16_t* text;
    } rests[] = {{100, 20, u"Saving"}, {40, 100, u"Drag me"}};
    for (const auto& rest : rests)
    {
        probe->MoveTo(window, rest.x, rest.y);
        Settle();
        clock.Advance(500);
        Settle();
        ASSERT_TRUE(showing()) << rest.x;
        THintWindow* hint = Application->HintWindow();
        EXPECT_EQ(hint->Caption(), rest.text);
        int rootX = 0, rootY = 0;
        probe->RootPosition(window, rest.x, rest.y, rootX, rootY);
        EXPECT_EQ(hint->Left(), rootX);
        EXPECT_EQ(hint->Top(), rootY + 20);
        unsigned long native = Vcl::NativeWindowOf(hint);
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(native); }));
        EXPECT_EQ(probe->ReadPixel(native, 2, hint->Height() / 2), Platform::Gdi::ToPixel(ColorToRGB(clInfoBk)));
    }
    EXPECT_EQ(Application->Hint(), u"Drag me");
    // Leaving the form hides it.
    probe->MoveTo(window, 390, 210);
    Settle();
    EXPECT_FALSE(showing());

    // The first image dragged by the mouse onto the second: the drag cursor over it, the drop at
    // its client point. The press hides no hint and starts nothing until the pointer moves.
    probe->MoveTo(window, 40, 100);
    Settle();
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, 60, 100);
    Settle();
    probe->MoveTo(window, 250, 110);
    Settle();
    EXPECT_EQ(form.CursorShown(), crDrag);
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(drops.log, (std::vector<std::string>{"drop 50,50"}));
    EXPECT_EQ(form.CursorShown(), crArrow);
    drops.log.clear();
    // Dropped on itself it is refused, under the no-drop cursor.
    probe->MoveTo(window, 40, 100);
    Settle();
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, 60, 100);
    Settle();
    probe->MoveTo(window, 70, 120);
    Settle();
    EXPECT_EQ(form.CursorShown(), crNoDrop);
    probe->Button(1, false);
    Settle();
    EXPECT_TRUE(drops.log.empty());

    // A right click on the second image goes to its host.
    probe->MoveTo(window, 210, 70);
    Settle();
    probe->Button(3, true);
    probe->Button(3, false);
    Settle();
    EXPECT_EQ(drops.log, (std::vector<std::string>{"popup 10,10"}));
    Application->CancelHint();
    form.Hide();
}
