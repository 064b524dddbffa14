#include "Controls/XColorEdit.h"

#include "Platform/Vcl/Dialogs.h"
#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

namespace
{
struct Changes
{
    int count = 0;
    void Changed(TObject*) { ++count; }
};

// Picks a swatch and confirms (or cancels) the colour dialog when it shows.
struct DialogAnswer
{
    int swatch = 0;
    bool confirm = true;
    int shown = 0;
    void Shown(TObject* sender)
    {
        ++shown;
        TColorDialogForm* form = static_cast<TColorDialog*>(sender)->Form();
        TRect r = TColorDialogForm::SwatchRect(swatch);
        Vcl::RouteInput(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
        Vcl::RouteInput(form, WM_LBUTTONUP, 0, MAKELPARAM(r.left + 3, r.top + 3));
        form->SetModalResult(confirm ? mrOk : mrCancel);
    }
};
} // namespace

TEST(XColorEditTest, ColourAlphaAndTheWriters)
{
    XColorEdit edit(nullptr);
    EXPECT_EQ(edit.GetXColor().GetARGB(), 0u);
    EXPECT_EQ(edit.Color(), 0);
    Changes changes;
    edit.OnChange = MakeClosure(&changes, &Changes::Changed);
    edit.SetColor(0);
    EXPECT_EQ(changes.count, 0);
    EXPECT_EQ(edit.Bar(3)->Position(), 0); // the same colour: the alpha bar untouched
    edit.SetColor(0x4080FF);
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(edit.GetXColor().GetARGB(), 0xFFFF8040u);
    EXPECT_EQ(edit.ValueLabel(0)->Caption(), u"255");
    // SetXColor keeps its alpha even when the colour bars already stand where it asks.
    edit.SetXColor(XColor(0x80FF8040u));
    EXPECT_EQ(edit.GetXColor().GetARGB(), 0x80FF8040u);
    EXPECT_EQ(edit.Color(), 0x4080FF);
    EXPECT_EQ(edit.ValueLabel(3)->Caption(), u"128");
    // Moving a colour bar keeps the alpha too; each move tells twice (writer and bar).
    int before = changes.count;
    edit.Bar(1)->SetPosition(0x10);
    EXPECT_EQ(edit.GetXColor().GetARGB(), 0x80FF1040u);
    EXPECT_EQ(edit.Color(), 0x4010FF);
    EXPECT_EQ(changes.count, before + 2);
    edit.Bar(3)->SetPosition(7);
    EXPECT_EQ(edit.Color(), 0x4010FF);
    EXPECT_EQ(changes.count, before + 3);
}

TEST(XColorEditTest, MarginSampleOrientationAndLayout)
{
    XColorEdit edit(nullptr);
    EXPECT_EQ(edit.BoundsRect(), TRect(0, 0, 150, 300));
    edit.SetMargin(1);
    EXPECT_EQ(edit.Margin(), 3);
    edit.SetWidth(100);
    edit.SetMargin(40);
    EXPECT_EQ(edit.Margin(), 25);
    edit.SetColorSampleSize(2);
    EXPECT_EQ(edit.ColorSampleSize(), 5);
    edit.SetHeight(80);
    edit.SetColorSampleSize(30);
    EXPECT_EQ(edit.ColorSampleSize(), 20);
    edit.SetBounds(0, 0, 150, 300);
    edit.SetMargin(5);
    edit.SetColorSampleSize(30);
    EXPECT_EQ(edit.SampleRect(), TRect(5, 300 - 5 - 30, 145, 295));
    int c = (150 - 10) / 4;
    EXPECT_EQ(edit.Bar(2)->Left(), 5 + 2 * c);
    EXPECT_EQ(edit.Bar(2)->Width(), c);
    EXPECT_EQ(edit.Bar(0)->Orientation(), trVertical);
    // Horizontal: one bar per row; a control taller than wide turns.
    edit.SetOrientation(ceHorizontal);
    EXPECT_EQ(edit.BoundsRect(), TRect(0, 0, 300, 150));
    EXPECT_EQ(edit.Bar(0)->Orientation(), trHorizontal);
    EXPECT_EQ(edit.TitleLabel(0)->Alignment(), taLeftJustify);
    EXPECT_EQ(edit.SampleRect(), TRect(300 - 5 - 30, 5, 295, 145));
    EXPECT_EQ(edit.Bar(3)->Top(), 5 + 3 * ((150 - 10) / 4));
    edit.SetFrequency(32);
    edit.SetThumbLength(14);
    EXPECT_EQ(edit.Bar(2)->Frequency(), 32);
    EXPECT_EQ(edit.ThumbLength(), 14);
}

TEST(XColorEditTest, SampleClickOpensTheDialogAndThumbDragReaches255)
{
    FormPixels screen(400, 400);
    auto* edit = new XColorEdit(&screen.form);
    edit->SetParent(&screen.form);
    edit->SetBounds(10, 10, 150, 300);
    TRect sample = edit->SampleRect();
    EXPECT_EQ(screen.At(10 + sample.left + 5, 10 + sample.top + 5), FormPixels::Of(clBlack));
    DialogAnswer answer;
    answer.swatch = 8; // pure red in the second row
    Vcl::SetColorDialogHook(MakeClosure(&answer, &DialogAnswer::Shown));
    // The right and bottom edges count; cancelling changes nothing.
    answer.confirm = false;
    screen.Click(10 + sample.right, 10 + sample.bottom);
    EXPECT_EQ(answer.shown, 1);
    EXPECT_EQ(edit->Color(), 0);
    answer.confirm = true;
    screen.Click(10 + sample.right, 10 + sample.top);
    EXPECT_EQ(answer.shown, 2);
    EXPECT_EQ(edit->Color(), TColorDialogForm::BasicColor(8));
    EXPECT_EQ(screen.At(10 + sample.left + 5, 10 + sample.top + 5), FormPixels::Of(TColorDialogForm::BasicColor(8)));
    Vcl::SetColorDialogHook(nullptr);
    // The red thumb dragged from the top to the bottom of its bar.
    edit->SetColor(0);
    TTrackBar* red = edit->Bar(0);
    TRect thumb = red->ThumbRect();
    TPoint origin = red->FormOrigin();
    screen.Down(origin.x + thumb.left + 3, origin.y + (thumb.top + thumb.bottom) / 2);
    screen.Move(origin.x + thumb.left + 3, origin.y + red->Height() + 50);
    screen.Up(origin.x + thumb.left + 3, origin.y + red->Height() + 50);
    EXPECT_EQ(red->Position(), 255);
    EXPECT_EQ(edit->ValueLabel(0)->Caption(), u"255");
    EXPECT_EQ(edit->Color(), 0xFF);
}
