#include "Controls/XProgressBar.h"

#include <algorithm>

XProgressBar::XProgressBar(TComponent* AOwner) : TCustomControl(AOwner) {}

void XProgressBar::SetMin(int value)
{
    if (value == FMin)
        return;
    FMin = value;
    FMax = std::max(FMax, value);
    FPosition = std::max(FPosition, value);
    Invalidate();
}

void XProgressBar::SetMax(int value)
{
    if (value == FMax)
        return;
    FMax = value;
    FMin = std::min(FMin, value);
    FPosition = std::min(FPosition, value);
    Invalidate();
}

void XProgressBar::SetPosition(int value)
{
    SetField(FPosition, std::clamp(value, FMin, FMax));
}

int64_t XProgressBar::FilledWidth(int width) const
{
    int64_t range = int64_t(FMax) - FMin;
    if (range == 0)
        return 0;
    return int64_t(width) * (int64_t(FPosition) - FMin) / range;
}

COLORREF XProgressBar::GradientColor(COLORREF start, COLORREF end, int y, int height)
{
    COLORREF color = 0;
    for (int shift = 0; shift < 24; shift += 8)
    {
        int from = int((start >> shift) & 0xFF);
        int to = int((end >> shift) & 0xFF);
        int64_t value = from + int64_t(to - from) * y / height;
        color |= COLORREF(value & 0xFF) << shift;
    }
    return color;
}

void XProgressBar::PaintGradient(int left, int right, TColor start, TColor end)
{
    TCanvas* canvas = Canvas();
    int height = Height();
    COLORREF from = ColorToRGB(start);
    COLORREF to = ColorToRGB(end);
    // From the row below the control upward: that first row is clipped away, so the bottom row
    // shows the step before the end colour.
    for (int y = height; y >= 0; --y)
    {
        canvas->Pen()->SetColor(static_cast<TColor>(GradientColor(from, to, y, height)));
        canvas->MoveTo(left, y);
        canvas->LineTo(right, y);
    }
}

void XProgressBar::Paint()
{
    int width = Width();
    int height = Height();
    if (width == 0 || height == 0)
        return;
    int filled = static_cast<int>(FilledWidth(width));
    TCanvas* canvas = Canvas();
    canvas->Pen()->SetStyle(psSolid);
    canvas->Pen()->SetWidth(1);
    if (filled > 0)
        PaintGradient(0, filled, FColorOnStart, FColorOnEnd);
    if (filled < width)
        PaintGradient(filled, width, FColorOffStart, FColorOffEnd);
    if (FShowBorder)
    {
        canvas->Brush()->SetColor(FBorderColor);
        canvas->FrameRect(TRect(0, 0, width, height));
    }
    if (FTitle.IsEmpty())
        return;
    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsClear);
    TSize size = canvas->TextExtent(FTitle);
    canvas->TextOut((width - size.cx) / 2, (height - size.cy) / 2, FTitle);
}

void XProgressBar::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_ERASEBKGND:
        Message.Result = 1; // Paint covers the whole control
        return;
    case CM_FONTCHANGED:
        Invalidate();
        break;
    }
    TCustomControl::WndProc(Message);
}
