// Edits one RGBA colour with four track bars (red, green, blue, alpha; 0 .. 255), a title and a
// value label per bar and a colour sample; a left click on the sample opens the colour dialog.
// The colour is offered as a class-library TColor (red, green, blue) and as an XColor with alpha.
// Only SetColor puts the alpha bar to 255; moving a bar and SetXColor keep it.
#pragma once

#include "Components/XColor.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/StdCtrls.h"

enum XColorEditOrientation
{
    ceHorizontal = 0,
    ceVertical = 1
};

class XColorEdit : public TCustomControl
{
public:
    explicit XColorEdit(TComponent* AOwner);

    TColor Color() const { return FColor; }
    // Only a different colour: bars set (alpha to 255), then OnChange and a repaint.
    void SetColor(TColor c);
    TColor GetColor() const { return FColor; }
    // All four bars from 0xAARRGGBB; Color becomes its red, green and blue.
    void SetXColor(XColor x);
    XColor GetXColor() const;
    XColorEditOrientation Orientation() const { return FOrientation; }
    void SetOrientation(XColorEditOrientation value);
    int ColorSampleSize() const { return FColorSampleSize; }
    void SetColorSampleSize(int value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int ThumbLength() const { return FRows[0].bar->ThumbLength(); }
    void SetThumbLength(int value);
    int Frequency() const { return FRows[0].bar->Frequency(); }
    void SetFrequency(int value);
    UnicodeString ColorTitle(int row) const { return FRows[row].title->Caption(); }
    void SetColorTitle(int row, const UnicodeString& title) { FRows[row].title->SetCaption(title); }
    // The sample's rectangle, set by the layout.
    const TRect& SampleRect() const { return FSampleRect; }
    TTrackBar* Bar(int row) const { return FRows[row].bar; }
    TLabel* TitleLabel(int row) const { return FRows[row].title; }
    TLabel* ValueLabel(int row) const { return FRows[row].value; }

    // The layout.
    void ResizeEditor();

    TNotifyEvent OnChange;

protected:
    void Resize() override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    struct Row
    {
        TTrackBar* bar = nullptr;
        TLabel* title = nullptr;
        TLabel* value = nullptr;
    };
    // The colour writer; `fromBars` keeps the alpha bar where it is.
    void WriteColor(TColor c, bool fromBars);
    void RedChanged(TObject* Sender);
    void GreenChanged(TObject* Sender);
    void BlueChanged(TObject* Sender);
    void AlphaChanged(TObject* Sender);
    void ColourBarChanged(int row);

    int FMargin = 5;
    int FColorSampleSize = 30;
    Row FRows[4];
    TColor FColor = 0;
    TRect FSampleRect;
    XColorEditOrientation FOrientation = ceVertical;
    bool FSettingBars = false;
};
