#include "Controls/XProgressBar.h"

#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace
{
// Row y of a gradient from `start` to `end` over `height` rows, byte by byte, as the bar's
// rule states it: start + (end - start) * y / height, truncated toward zero.
uint32_t Expected(TColor start, TColor end, int y, int height)
{
    COLORREF from = ColorToRGB(start), to = ColorToRGB(end);
    COLORREF color = 0;
    for (int shift : {0, 8, 16})
    {
        int64_t a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        color |= COLORREF((a + (b - a) * y / height) & 0xFF) << shift;
    }
    return Platform::Gdi::ToPixel(color);
}

struct Bar
{
    TColor onStart, onEnd, offStart, offEnd;
};

// Every pixel of the bar against the rule; returns how many differ (and reports the first).
int Mismatches(FormPixels& screen, const XProgressBar& bar, const Bar& colours, int64_t min, int64_t max,
               int64_t position)
{
    int width = bar.Width(), height = bar.Height();
    int64_t filled = max == min ? 0 : int64_t(width) * (position - min) / (max - min);
    screen.At(0, 0);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            uint32_t want = x < filled ? Expected(colours.onStart, colours.onEnd, y, height)
                                       : Expected(colours.offStart, colours.offEnd, y, height);
            uint32_t got = screen.Peek(bar.Left() + x, bar.Top() + y);
            if (got != want && wrong++ == 0)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
        }
    return wrong;
}
} // namespace

TEST(XProgressBarTest, RangeAndPositionFollowEachOther)
{
    XProgressBar bar(nullptr);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.ColorOnStart(), clBlue);
    EXPECT_EQ(bar.ColorOffEnd(), clSilver);
    EXPECT_FALSE(bar.ShowBorder());
    EXPECT_EQ(bar.BorderColor(), clBlack);
    EXPECT_TRUE(bar.Title().IsEmpty());

    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetMax(50);
    EXPECT_EQ(bar.Position(), 50);
    EXPECT_EQ(bar.Min(), 0);
    bar.SetPosition(-7);
    EXPECT_EQ(bar.Position(), 0);
    bar.SetMin(200);
    EXPECT_EQ(bar.Max(), 200);
    EXPECT_EQ(bar.Position(), 200);
    bar.SetMax(-10);
    EXPECT_EQ(bar.Min(), -10);
    EXPECT_EQ(bar.Position(), -10);
    bar.SetMin(INT_MIN);
    bar.SetMax(INT_MAX);
    bar.SetPosition(INT_MAX);
    EXPECT_EQ(bar.Position(), INT_MAX);
    EXPECT_EQ(bar.FilledWidth(800), 800);
    bar.SetPosition(0);
    EXPECT_EQ(bar.FilledWidth(800), 400); // 800 * 2^31 / (2^32 - 1), truncated
}

TEST(XProgressBarTest, EveryPixelFollowsTheRowGradients)
{
    FormPixels screen(420, 120);
    auto* bar = new XProgressBar(&screen.form);
    bar->SetParent(&screen.form);
    bar->SetBounds(7, 9, 397, 41);
    struct Case
    {
        const char* name;
        Bar colours;
        int64_t min, max, position;
    };
    const Case cases[] = {
        {"defaults: flat blue over flat silver", {clBlue, clBlue, clSilver, clSilver}, 0, 100, 37},
        {"rising", {0x102030, 0xF0E0D0, 0x000000, 0xFFFFFF}, 0, 100, 64},
        {"falling", {0xF0E0D0, 0x102030, 0xFFFFFF, 0x000000}, -50, 50, 1},
        {"system colours: only their RGB", {clHighlight, clBtnFace, clWindow, clBtnShadow}, 3, 9, 5},
        {"empty", {clRed, clLime, clAqua, clNavy}, 0, 100, 0},
        {"full", {clRed, clLime, clAqua, clNavy}, 0, 100, 100},
        {"Min = Max: only the remaining part", {clRed, clLime, clAqua, clNavy}, 42, 42, 42},
        {"the whole int range, at its start", {clRed, clLime, clAqua, clNavy}, INT_MIN, INT_MAX, INT_MIN},
        {"the whole int range, in its middle", {clRed, clLime, clAqua, clNavy}, INT_MIN, INT_MAX, 12345},
        {"the whole int range, at its end", {clRed, clLime, clAqua, clNavy}, INT_MIN, INT_MAX, INT_MAX},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        bar->SetColorOnStart(c.colours.onStart);
        bar->SetColorOnEnd(c.colours.onEnd);
        bar->SetColorOffStart(c.colours.offStart);
        bar->SetColorOffEnd(c.colours.offEnd);
        bar->SetMin(INT_MIN);
        bar->SetMax(int(c.max));
        bar->SetMin(int(c.min));
        bar->SetPosition(int(c.position));
        EXPECT_EQ(Mismatches(screen, *bar, c.colours, c.min, c.max, c.position), 0);
    }
    // The border lies over the gradient's outer pixels; a one-row bar is its border alone.
    bar->SetPosition(INT_MIN);
    bar->SetShowBorder(true);
    bar->SetBorderColor(clFuchsia);
    screen.At(0, 0);
    for (TPoint p : {TPoint(0, 0), TPoint(396, 0), TPoint(0, 40), TPoint(396, 40), TPoint(200, 40)})
        EXPECT_EQ(screen.Peek(7 + p.x, 9 + p.y), FormPixels::Of(clFuchsia)) << p.x << ", " << p.y;
    EXPECT_EQ(screen.Peek(7 + 1, 9 + 1), Expected(clAqua, clNavy, 1, 41));

    // Zero width or height paints nothing: the form shows through.
    for (TRect r : {TRect(7, 9, 7, 50), TRect(7, 9, 400, 9)})
    {
        bar->SetBoundsRect(r);
        screen.At(0, 0);
        EXPECT_EQ(screen.Peek(7, 9), FormPixels::Of(clWhite));
        EXPECT_EQ(screen.Peek(8, 10), FormPixels::Of(clWhite));
    }
}

TEST(XProgressBarTest, TitleIsCentredInTheControlsFont)
{
    FormPixels screen(300, 80);
    auto* bar = new XProgressBar(&screen.form);
    bar->SetParent(&screen.form);
    bar->SetBounds(10, 10, 211, 33);
    bar->SetMax(10);
    bar->SetPosition(3);
    bar->SetColorOnEnd(clNavy);
    bar->Font()->SetHeight(-15);
    bar->Font()->SetColor(clYellow);
    bar->SetTitle(u"Saving Models.pck");

    // The same picture made here: gradients row by row, then the text at the centred point.
    TBitmap expected;
    expected.SetSize(211, 33);
    int filled = 211 * 3 / 10;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 211; ++x)
            expected.ScanLine(y)[x] =
                x < filled ? Expected(clBlue, clNavy, y, 33) : Expected(clSilver, clSilver, y, 33);
    TCanvas* canvas = expected.Canvas();
    canvas->Font()->Assign(bar->Font());
    canvas->Brush()->SetStyle(bsClear);
    TSize size = canvas->TextExtent(u"Saving Models.pck");
    canvas->TextOut((211 - size.cx) / 2, (33 - size.cy) / 2, u"Saving Models.pck");

    screen.At(0, 0);
    int wrong = 0, ink = 0, touched = 0;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 211; ++x)
        {
            uint32_t want = expected.ScanLine(y)[x] & 0xFFFFFF;
            wrong += screen.Peek(10 + x, 10 + y) != want;
            ink += want == FormPixels::Of(clYellow);
            // Any pixel the title touched: smoothed text covers few pixels whole.
            touched +=
                want !=
                (Expected(x < filled ? clBlue : clSilver, x < filled ? clNavy : clSilver, y, 33) & 0xFFFFFF);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(touched, 100);
    EXPECT_GT(ink, 10);

    // A font change alone repaints it.
    bar->Font()->SetColor(clRed);
    screen.form.PaintDirty();
    int red = 0;
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 211; ++x)
            red += screen.Peek(10 + x, 10 + y) == FormPixels::Of(clRed);
    EXPECT_EQ(red, ink);
}
