#include "Platform/Vcl/Graphics.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>
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

// Paints a bitmap from rows of letters: r red, g green, b blue, w white (pixels 0x00RRGGBB).
void Paint(TBitmap& bitmap, std::initializer_list<const char*> rows)
{
    bitmap.SetSize(static_cast<int>(std::strlen(*rows.begin())), static_cast<int>(rows.size()));
    int y = 0;
    for (const char* row : rows)
    {
        for (int x = 0; row[x]; ++x)
            bitmap.ScanLine(y)[x] = row[x] == 'r' ? 0xFF0000u : row[x] == 'g' ? 0x00FF00u : row[x] == 'b' ? 0x0000FFu : 0xFFFFFFu;
        ++y;
    }
}

// The picture of a bitmap as rows of letters ('.' for a colour other than the four).
std::string Picture(TBitmap& bitmap, const TRect& area)
{
    std::string text;
    for (int y = area.top; y < area.bottom; ++y)
    {
        for (int x = area.left; x < area.right; ++x)
        {
            uint32_t p = bitmap.ScanLine(y)[x] & 0xFFFFFF;
            text += p == 0xFF0000u ? 'r' : p == 0x00FF00u ? 'g' : p == 0x0000FFu ? 'b' : p == 0xFFFFFFu ? 'w' : '.';
        }
        text += '\n';
    }
    return text;
}

TEST(GraphicsTest, BitmapTellsOfEveryChangeOfWhatItShows)
{
    struct Counter
    {
        int n = 0;
        void Changed(TObject*) { ++n; }
    } counter;
    TBitmap bitmap;
    bitmap.OnChange = MakeClosure(&counter, &Counter::Changed);
    struct Step
    {
        const char* name;
        void (*apply)(TBitmap&);
        int changes;
    };
    const Step steps[] = {
        {"a new size", [](TBitmap& b) { b.SetSize(8, 6); }, 1},
        {"the same size", [](TBitmap& b) { b.SetSize(8, 6); }, 0},
        {"a negative size counts as zero", [](TBitmap& b) { b.SetWidth(-3); }, 1},
        {"back again", [](TBitmap& b) { b.SetSize(8, 6); }, 1},
        {"pen and brush alone", [](TBitmap& b) { b.Canvas()->Pen()->SetColor(clRed); b.Canvas()->Brush()->SetColor(clBlue); }, 0},
        {"a fill", [](TBitmap& b) { b.Canvas()->FillRect(TRect(0, 0, 4, 4)); }, 1},
        {"a line", [](TBitmap& b) { b.Canvas()->MoveTo(0, 0); b.Canvas()->LineTo(5, 5); }, 1},
        {"a frame and a rectangle", [](TBitmap& b) { b.Canvas()->FrameRect(TRect(1, 1, 3, 3)); b.Canvas()->Rectangle(0, 0, 2, 2); }, 2},
        {"text", [](TBitmap& b) { b.Canvas()->TextOut(0, 0, u"x"); }, 1},
        {"transparency on", [](TBitmap& b) { b.SetTransparent(true); }, 1},
        {"transparency on again", [](TBitmap& b) { b.SetTransparent(true); }, 0},
        {"a fixed colour", [](TBitmap& b) { b.SetTransparentColor(clLime); }, 1},
        {"the same colour", [](TBitmap& b) { b.SetTransparentColor(clLime); }, 0},
        {"back to automatic", [](TBitmap& b) { b.SetTransparentMode(tmAuto); }, 1},
        {"automatic again", [](TBitmap& b) { b.SetTransparentMode(tmAuto); }, 0},
        {"32 bits", [](TBitmap& b) { b.SetPixelFormat(pf32bit); }, 1},
        {"32 bits again", [](TBitmap& b) { b.SetPixelFormat(pf32bit); }, 0},
        {"assigning another", [](TBitmap& b) { TBitmap other; other.SetSize(2, 2); b.Assign(&other); }, 1},
        {"assigning itself", [](TBitmap& b) { b.Assign(&b); }, 0},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        counter.n = 0;
        step.apply(bitmap);
        EXPECT_EQ(counter.n, step.changes);
    }
    // Drawing the bitmap elsewhere changes the target, not the bitmap.
    TBitmap target;
    target.SetSize(4, 4);
    counter.n = 0;
    target.Canvas()->Draw(0, 0, &bitmap);
    EXPECT_EQ(counter.n, 0);
}

TEST(GraphicsTest, TransparentBitmapsLeaveTheirTransparentColourUndrawn)
{
    TBitmap sprite;
    Paint(sprite, {"gwg",
                   "wrw",
                   "rgr"});
    EXPECT_EQ(sprite.TransparentMode(), tmAuto);
    EXPECT_EQ(sprite.TransparentColor(), clRed); // the bottom-left pixel
    TBitmap target;
    auto drawn = [&](auto draw)
    {
        Paint(target, {"bbbbbbbb", "bbbbbbbb", "bbbbbbbb", "bbbbbbbb", "bbbbbbbb", "bbbbbbbb", "bbbbbbbb"});
        draw();
        return Picture(target, TRect(0, 0, 8, 7));
    };
    struct Case
    {
        const char* name;
        bool transparent;
        TColor fixed; // clDefault: automatic
        const char* picture;
    };
    const Case cases[] = {
        {"opaque", false, clDefault, "bbbbbbbb\nbgwgbbbb\nbwrwbbbb\nbrgrbbbb\nbbbbbbbb\nbbbbbbbb\nbbbbbbbb\n"},
        {"automatic: red left out", true, clDefault, "bbbbbbbb\nbgwgbbbb\nbwbwbbbb\nbbgbbbbb\nbbbbbbbb\nbbbbbbbb\nbbbbbbbb\n"},
        {"fixed green", true, clLime, "bbbbbbbb\nbbwbbbbb\nbwrwbbbb\nbrbrbbbb\nbbbbbbbb\nbbbbbbbb\nbbbbbbbb\n"},
        {"a fixed colour nowhere in it", true, clBlack, "bbbbbbbb\nbgwgbbbb\nbwrwbbbb\nbrgrbbbb\nbbbbbbbb\nbbbbbbbb\nbbbbbbbb\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        sprite.SetTransparent(c.transparent);
        sprite.SetTransparentColor(c.fixed);
        EXPECT_EQ(sprite.TransparentMode(), c.fixed == clDefault ? tmAuto : tmFixed);
        EXPECT_EQ(drawn([&] { target.Canvas()->Draw(1, 1, &sprite); }), c.picture);
    }
    // Stretched to twice its size, transparency holds; the colour is the system colour's RGB.
    sprite.SetTransparentColor(clWindow);
    EXPECT_EQ(sprite.TransparentColor(), static_cast<TColor>(ColorToRGB(clWindow)));
    EXPECT_EQ(drawn([&] { target.Canvas()->StretchDraw(TRect(1, 0, 7, 6), &sprite); }),
              "bggbbggb\nbggbbggb\nbbbrrbbb\nbbbrrbbb\nbrrggrrb\nbrrggrrb\nbbbbbbbb\n");

    // tmAuto follows the bottom-left pixel as it changes; tmFixed keeps the colour it had.
    sprite.SetTransparentMode(tmAuto);
    sprite.ScanLine(2)[0] = 0x00FF00u;
    EXPECT_EQ(sprite.TransparentColor(), clLime);
    sprite.SetTransparentMode(tmFixed);
    sprite.ScanLine(2)[0] = 0xFF0000u;
    EXPECT_EQ(sprite.TransparentColor(), clLime);

    // Nothing to draw: an empty bitmap, an empty rectangle, no graphic at all.
    TBitmap empty;
    empty.SetTransparent(true);
    EXPECT_EQ(empty.TransparentColor(), clDefault);
    std::string untouched = drawn([] {});
    EXPECT_EQ(drawn([&] { target.Canvas()->Draw(2, 2, &empty); }), untouched);
    EXPECT_EQ(drawn([&] { target.Canvas()->StretchDraw(TRect(0, 0, 8, 7), &empty); }), untouched);
    EXPECT_EQ(drawn([&] { target.Canvas()->StretchDraw(TRect(5, 5, 5, 9), &sprite); }), untouched);
    EXPECT_EQ(drawn([&] { target.Canvas()->Draw(0, 0, nullptr); }), untouched);
}

TEST(GraphicsTest, AssignCopiesABitmapWhole)
{
    TBitmap source;
    Paint(source, {"rgbw", "wbgr"});
    source.SetTransparent(true);
    source.SetTransparentColor(clBlue);
    source.SetPixelFormat(pf32bit);
    TBitmap copy;
    Paint(copy, {"gggggg", "gggggg", "gggggg"}); // larger: none of it may remain
    copy.Assign(&source);
    EXPECT_EQ(copy.Width(), 4);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_EQ(Picture(copy, TRect(0, 0, 4, 2)), "rgbw\nwbgr\n");
    EXPECT_TRUE(copy.Transparent());
    EXPECT_EQ(copy.TransparentMode(), tmFixed);
    EXPECT_EQ(copy.TransparentColor(), clBlue);
    EXPECT_EQ(copy.PixelFormat(), pf32bit);
    // A copy, not a share: later drawing on either leaves the other alone.
    source.ScanLine(0)[0] = 0x00FF00u;
    copy.Canvas()->Brush()->SetColor(clWhite);
    copy.Canvas()->FillRect(TRect(3, 1, 4, 2));
    EXPECT_EQ(Picture(copy, TRect(0, 0, 4, 2)), "rgbw\nwbgw\n");
    EXPECT_EQ(Picture(source, TRect(0, 0, 4, 2)), "ggbw\nwbgr\n");
    // Its canvas still draws on its own pixels after the copy changed its size.
    copy.SetSize(5, 2);
    copy.Canvas()->FillRect(TRect(4, 0, 5, 1));
    EXPECT_EQ(Picture(copy, TRect(0, 0, 5, 1)), "rgbww\n");

    // Null empties; an object of another kind is refused and changes nothing.
    TFont font;
    EXPECT_THROW(copy.Assign(&font), EConvertError);
    EXPECT_EQ(copy.Width(), 5);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
    TBitmap target;
    Paint(target, {"bb", "bb"});
    target.Canvas()->Draw(0, 0, &copy);
    EXPECT_EQ(Picture(target, TRect(0, 0, 2, 2)), "bb\nbb\n");
}

} // namespace
