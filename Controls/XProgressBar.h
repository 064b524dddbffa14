// A horizontal progress bar drawn by itself: the done part and the remaining part each get a
// vertical colour gradient of their own, with an optional one-pixel border and a centred title
// over them. Nothing of what lies under it shows through.
#pragma once

#include "Platform/Vcl/Controls.h"

class XProgressBar : public TCustomControl
{
public:
    explicit XProgressBar(TComponent* AOwner);

    // The range and the position in it. Raising Min above Max (or Position) raises them with it;
    // lowering Max below Min (or Position) lowers them with it; Position is kept inside.
    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    int Position() const { return FPosition; }
    void SetPosition(int value);

    // The done part runs from ColorOnStart on the top row to ColorOnEnd on the bottom one, the
    // remaining part from ColorOffStart to ColorOffEnd. System colours are taken as their RGB.
    TColor ColorOnStart() const { return FColorOnStart; }
    void SetColorOnStart(TColor value) { SetField(FColorOnStart, value); }
    TColor ColorOnEnd() const { return FColorOnEnd; }
    void SetColorOnEnd(TColor value) { SetField(FColorOnEnd, value); }
    TColor ColorOffStart() const { return FColorOffStart; }
    void SetColorOffStart(TColor value) { SetField(FColorOffStart, value); }
    TColor ColorOffEnd() const { return FColorOffEnd; }
    void SetColorOffEnd(TColor value) { SetField(FColorOffEnd, value); }
    bool ShowBorder() const { return FShowBorder; }
    void SetShowBorder(bool value) { SetField(FShowBorder, value); }
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor value) { SetField(FBorderColor, value); }
    // Drawn centred in the control's font over the bar, on no background.
    const UnicodeString& Title() const { return FTitle; }
    void SetTitle(const UnicodeString& value) { SetField(FTitle, value); }

    // How many columns from the left the done part fills in a bar `width` pixels wide: in 64
    // bits, since width times the position's distance from Min passes 32 bits on wide ranges.
    int64_t FilledWidth(int width) const;
    // The colour of row y of a gradient from `start` (row 0) to `end` (row `height`): each colour
    // byte moves by (end - start) * y / height, truncated toward zero.
    static COLORREF GradientColor(COLORREF start, COLORREF end, int y, int height);

protected:
    void Paint() override;
    void WndProc(TMessage& Message) override;

private:
    template <typename T> void SetField(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        Invalidate();
    }
    void PaintGradient(int left, int right, TColor start, TColor end);

    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    TColor FColorOnStart = clBlue;
    TColor FColorOnEnd = clBlue;
    TColor FColorOffStart = clSilver;
    TColor FColorOffEnd = clSilver;
    bool FShowBorder = false;
    TColor FBorderColor = clBlack;
    UnicodeString FTitle;
};
