#include "Platform/Vcl/Graphics.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace
{
struct Ink
{
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN, count = 0;
};

Ink InkOf(TBitmap& bitmap, const TRect& area, uint32_t background)
{
    Ink ink;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if ((bitmap.ScanLine(y)[x] & 0xFFFFFF) != background)
            {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y + 1);
                ++ink.count;
            }
    return ink;
}

TEST(GraphicsTest, FontsMeasureAsTheirFaceSizeAndStyleSay)
{
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    TCanvas* canvas = bitmap.Canvas();
    struct Case
    {
        const char* name;
        int height;
        TFontStyles style;
        std::u16string wider, narrower;
    };
    const Case cases[] = {
        {"W is wider than i", -11, {}, u"W", u"i"},
        {"bold is wider", -11, {fsBold}, u"Patch", u""},
        {"Cyrillic has width", -11, {}, u"Ж", u"."},
        {"a longer text is wider", -11, {}, u"Models.pck file:", u"Models"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        canvas->Font()->SetName(u"Tahoma");
        canvas->Font()->SetHeight(c.height);
        canvas->Font()->SetStyle(c.style);
        int wide = canvas->TextWidth(c.wider);
        if (c.narrower.empty())
        {
            canvas->Font()->SetStyle({});
            EXPECT_GT(wide, canvas->TextWidth(c.wider));
        }
        else
            EXPECT_GT(wide, canvas->TextWidth(c.narrower));
    }
    canvas->Font()->SetHeight(-11);
    int small = canvas->TextHeight(u"Xy");
    canvas->Font()->SetHeight(-22);
    EXPECT_GE(canvas->TextHeight(u"Xy"), small * 2 - 2);
    EXPECT_GE(small, 12);
    EXPECT_LE(small, 15);

    // Points at 96 DPI, and change notification only for changes.
    TFont font;
    font.SetSize(8);
    EXPECT_EQ(font.Height(), -11);
    font.SetHeight(-16);
    EXPECT_EQ(font.Size(), 12);
    struct Counter
    {
        int n = 0;
        void Changed(TObject*) { ++n; }
    } counter;
    font.OnChange = MakeClosure(&counter, &Counter::Changed);
    font.SetHeight(-16);
    font.SetName(u"Tahoma");
    EXPECT_EQ(counter.n, 0);
    font.SetName(u"Arial");
    font.SetStyle({fsItalic});
    font.SetColor(clRed);
    font.SetCharset(RUSSIAN_CHARSET);
    EXPECT_EQ(counter.n, 4);
    TFont copy;
    copy.Assign(&font);
    EXPECT_EQ(copy.Name(), UnicodeString(u"Arial"));
    EXPECT_EQ(copy.Color(), clRed);
    EXPECT_TRUE(copy.Style().Contains(fsItalic));
}

TEST(GraphicsTest, CanvasDrawsWithItsPenBrushAndFont)
{
    TBitmap bitmap;
    bitmap.SetSize(120, 40);
    TCanvas* c = bitmap.Canvas();
    auto pixel = [&](int x, int y) { return bitmap.ScanLine(y)[x] & 0xFFFFFF; };
    EXPECT_EQ(pixel(5, 5), 0xFFFFFFu); // a new bitmap is white

    c->Brush()->SetColor(clBtnFace);
    c->FillRect(TRect(0, 0, 120, 40));
    EXPECT_EQ(pixel(60, 20), 0xD4D0C8u);
    c->Brush()->SetColor(clRed);
    c->FrameRect(TRect(10, 10, 20, 20));
    EXPECT_EQ(pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(pixel(19, 19), 0xFF0000u);
    EXPECT_EQ(pixel(15, 15), 0xD4D0C8u);
    c->Pen()->SetColor(clBlue);
    c->Brush()->SetColor(clLime);
    c->Rectangle(30, 10, 40, 20);
    EXPECT_EQ(pixel(30, 10), 0x0000FFu);
    EXPECT_EQ(pixel(35, 15), 0x00FF00u);
    c->MoveTo(50, 5);
    c->LineTo(60, 5);
    EXPECT_EQ(pixel(55, 5), 0x0000FFu);
    EXPECT_EQ(pixel(60, 5), 0xD4D0C8u); // the end point is not drawn
    EXPECT_EQ(c->PenPos(), TPoint(60, 5));

    // Text on a clear brush keeps the background; TextRect keeps the ink inside its rectangle.
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetColor(clBlack);
    c->TextOut(64, 2, u"Привет");
    Ink cyrillic = InkOf(bitmap, TRect(62, 0, 120, 20), 0xD4D0C8);
    EXPECT_GT(cyrillic.count, 30);
    c->Brush()->SetColor(clWhite);
    TRect clip(2, 24, 30, 36);
    c->TextRect(clip, 4, 24, u"A long text cut at the edge");
    Ink cut = InkOf(bitmap, TRect(0, 22, 120, 40), 0xD4D0C8);
    EXPECT_EQ(cut.left, clip.left);
    EXPECT_EQ(cut.right, clip.right);
    EXPECT_LE(cut.bottom, clip.bottom);

    // Drawing a bitmap copies its pixels.
    TBitmap target;
    target.SetSize(130, 50);
    target.Canvas()->Draw(5, 6, &bitmap);
    EXPECT_EQ(target.ScanLine(6 + 10)[5 + 10] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(target.ScanLine(2)[2] & 0xFFFFFF, 0xFFFFFFu);
    // Resizing keeps what fits.
    bitmap.SetSize(15, 15);
    EXPECT_EQ(pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
}

} // namespace
