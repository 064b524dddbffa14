#include "Platform/Gdi/Gdi.h"

#include "tests/support/DibCanvas.h"
#include "tests/support/DrawnLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
using Canvas = DibCanvas;

struct Ink
{
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN, count = 0;
    bool Empty() const { return count == 0; }
};

Ink InkOf(const Canvas& c, uint32_t background)
{
    Ink ink;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (c.At(x, y) != background)
            {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y + 1);
                ++ink.count;
            }
    return ink;
}

HFONT Font(const char16_t* face, int height, int weight = FW_NORMAL, BYTE quality = DEFAULT_QUALITY)
{
    return CreateFontW(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, face);
}

// Selects a font for the life of the object.
struct UseFont
{
    HDC dc;
    HFONT font;
    HGDIOBJ old;
    UseFont(HDC d, HFONT f) : dc(d), font(f), old(SelectObject(d, f)) {}
    ~UseFont()
    {
        SelectObject(dc, old);
        DeleteObject(font);
    }
};

SIZE Extent(HDC dc, const std::u16string& text)
{
    SIZE s{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32W(dc, text.data(), int(text.size()), &s));
    return s;
}

constexpr uint32_t WhitePixel = 0x00FFFFFF;
} // namespace

TEST(GdiTest, FacesResolveToTheDejaVuStandIns)
{
    struct Case
    {
        const char16_t* face;
        int weight;
        const char* file;
    } cases[] = {
        {u"Tahoma", FW_NORMAL, "/DejaVuSansCondensed.ttf"},
        {u"Tahoma", FW_BOLD, "/DejaVuSansCondensed-Bold.ttf"},
        {u"Arial", FW_NORMAL, "/DejaVuSans.ttf"},
        {u"MS Sans Serif", FW_NORMAL, "/DejaVuSansCondensed.ttf"},
        {u"MS Shell Dlg 2", FW_NORMAL, "/DejaVuSansCondensed.ttf"},
        {u"DejaVu Sans Condensed", FW_NORMAL, "/DejaVuSansCondensed.ttf"},
        {u"Arial", FW_BOLD, "/DejaVuSans-Bold.ttf"},
        {u"Courier New", FW_NORMAL, "/DejaVuSansMono.ttf"},
        {u"Courier", FW_BOLD, "/DejaVuSansMono-Bold.ttf"},
        {u"No Such Face 123", FW_NORMAL, "/DejaVuSans.ttf"},
    };
    for (const Case& c : cases)
    {
        std::string file = Platform::Gdi::ResolveFontFile(c.face, c.weight, false);
        std::string want = c.file;
        EXPECT_TRUE(file.size() >= want.size() &&
                    file.compare(file.size() - want.size(), want.size(), want) == 0)
            << file << " for weight " << c.weight;
    }
}

TEST(GdiTest, MissingFontsFailWithAClearError)
{
    // A fresh process whose fontconfig knows no fonts at all.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string config = ::testing::TempDir() + "kelvane_no_fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    EXPECT_EXIT(
        {
            setenv("FONTCONFIG_FILE", config.c_str(), 1);
            try
            {
                Platform::Gdi::ResolveFontFile(u"Tahoma", FW_NORMAL, false);
            }
            catch (const std::runtime_error& e)
            {
                std::fprintf(stderr, "%s\n", e.what());
                std::exit(3);
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(3), "DejaVu Sans Condensed.*fonts-dejavu-core and fonts-dejavu-extra");
    std::remove(config.c_str());
}

TEST(GdiTest, TextExtentsAndMetrics)
{
    Canvas c(8, 8);
    struct Case
    {
        const char16_t* face;
        int height;
        const char16_t* wide;
        const char16_t* narrow;
    } cases[] = {
        {u"Tahoma", -11, u"W", u"i"},
        {u"Arial", -13, u"WWW", u"iii"},
        {u"MS Sans Serif", -11, u"Patch", u"Pat"},
        {u"Tahoma", -11, u"Ш", u"г"},
    };
    for (const Case& k : cases)
    {
        UseFont f(c.dc, Font(k.face, k.height));
        SIZE wide = Extent(c.dc, k.wide), narrow = Extent(c.dc, k.narrow);
        EXPECT_GT(wide.cx, narrow.cx) << std::string(k.wide, k.wide + 1).size();
        EXPECT_GT(narrow.cx, 0);
        TEXTMETRICW tm{};
        ASSERT_TRUE(GetTextMetricsW(c.dc, &tm));
        EXPECT_EQ(wide.cy, tm.tmHeight);
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -k.height); // character height is what was asked
        EXPECT_EQ(Extent(c.dc, u"").cx, 0);
    }
    // A positive height asks for the cell; bold is wider; the monospaced stand-in is fixed pitch.
    {
        UseFont f(c.dc, Font(u"Tahoma", 20));
        TEXTMETRICW tm{};
        GetTextMetricsW(c.dc, &tm);
        EXPECT_NEAR(tm.tmHeight, 20, 1);
    }
    int normal, bold;
    {
        UseFont f(c.dc, Font(u"Tahoma", -11));
        normal = Extent(c.dc, u"Patch").cx;
    }
    {
        UseFont f(c.dc, Font(u"Tahoma", -11, FW_BOLD));
        bold = Extent(c.dc, u"Patch").cx;
    }
    EXPECT_GT(bold, normal);
    {
        UseFont f(c.dc, Font(u"Courier New", -12));
        EXPECT_EQ(Extent(c.dc, u"iiii").cx, Extent(c.dc, u"WWWW").cx);
    }
    // The extents of the parts of a string add up to the whole, as the bitmap font's packing needs.
    {
        UseFont f(c.dc, Font(u"Arial", -13));
        int sum = 0;
        for (char16_t ch : std::u16string(u"Hello, world"))
            sum += Extent(c.dc, std::u16string(1, ch)).cx;
        EXPECT_EQ(sum, Extent(c.dc, u"Hello, world").cx);
        int fit = -1, dx[5] = {};
        SIZE all{};
        ASSERT_TRUE(GetTextExtentExPointW(c.dc, u"Hello", 5, Extent(c.dc, u"Hel").cx, &fit, dx, &all));
        EXPECT_EQ(fit, 3);
        EXPECT_EQ(dx[4], all.cx);
    }
}

TEST(GdiTest, TextWidthsMeasureAsExtentsAndDrawingDo)
{
    // Names of every kind a folder holds: Latin, other alphabets, characters the faces lack (CJK,
    // private use), pairs and lone halves of surrogates, combining marks, control characters, the
    // last character of the flat table of advances and the first beyond it, and a long name.
    const std::u16string names[] = {
        u"file12345_678.txt",
        u"Отчёт за март.doc",
        u"Ελληνικά.txt",
        u"עברית.txt",
        u"عربي.txt",
        u"文件名称.txt",
        u"\U0001F600 smile.png",
        u"\uE000private",
        u"e\u0301clair",
        u"tab\there\x01",
        u"end\xD83D",
        u"\xDE00mid",
        u"\u07FF\u0800",
        u"",
        std::u16string(40, u'W') + u".bin",
    };
    struct Face
    {
        const char16_t* face;
        int height;
        int weight;
        BYTE quality;
    } faces[] = {
        {u"Tahoma", -11, FW_NORMAL, DEFAULT_QUALITY},
        {u"Arial", -13, FW_NORMAL, DEFAULT_QUALITY},
        {u"Tahoma", -11, FW_BOLD, DEFAULT_QUALITY},
        {u"Courier New", -12, FW_NORMAL, DEFAULT_QUALITY},
        {u"Times New Roman", -15, FW_NORMAL, DEFAULT_QUALITY},
        {u"Arial", -29, FW_NORMAL, NONANTIALIASED_QUALITY},
    };
    for (const Face& k : faces)
    {
        SCOPED_TRACE(std::string(k.face, k.face + std::char_traits<char16_t>::length(k.face)) + " " +
                     std::to_string(k.height));
        Canvas whole(1400, 40), parts(1400, 40);
        UseFont f(whole.dc, Font(k.face, k.height, k.weight, k.quality));
        UseFont g(parts.dc, Font(k.face, k.height, k.weight, k.quality));
        SetBkMode(whole.dc, TRANSPARENT);
        SetBkMode(parts.dc, TRANSPARENT);
        // Made before any of the names was measured, so that it meets their characters itself.
        Platform::Gdi::TextWidths widths(whole.dc);
        for (const std::u16string& name : names)
        {
            SCOPED_TRACE(&name - names);
            int width = widths.Of(name.c_str());
            EXPECT_EQ(width, Extent(whole.dc, name).cx);
            // Drawn: a letter after the name stands where the name's width puts it.
            std::fill(whole.bits, whole.bits + 1400 * 40, WhitePixel);
            std::fill(parts.bits, parts.bits + 1400 * 40, WhitePixel);
            std::u16string withH = name + u"H";
            TextOutW(whole.dc, 2, 5, withH.c_str(), int(withH.size()));
            TextOutW(parts.dc, 2, 5, name.c_str(), int(name.size()));
            TextOutW(parts.dc, 2 + width, 5, u"H", 1);
            EXPECT_TRUE(std::equal(whole.bits, whole.bits + 1400 * 40, parts.bits));
        }
        EXPECT_EQ(widths.Of(nullptr), 0); // no text, though a font is there
    }
    Platform::Gdi::TextWidths none(nullptr);
    EXPECT_EQ(none.Of(u"text"), 0);
}

TEST(GdiTest, ButtonCaptionInkStaysInsideItsRectangle)
{
    // The control paints at its offset in a larger buffer, as a button on a form does.
    struct Case
    {
        const char16_t* face;
        int height;
        int weight;
        const char16_t* caption;
    } cases[] = {
        {u"Tahoma", -11, FW_NORMAL, u"Patch"},
        {u"Tahoma", -11, FW_BOLD, u"Patch"},
        {u"MS Sans Serif", -11, FW_NORMAL, u"Restore"},
        {u"Tahoma", -11, FW_NORMAL, u"Выход"},
    };
    for (const Case& k : cases)
    {
        Canvas c(175, 125);
        UseFont f(c.dc, Font(k.face, k.height, k.weight));
        SetViewportOrgEx(c.dc, 50, 50, nullptr);
        RECT button{0, 0, 75, 25};
        SetBkMode(c.dc, TRANSPARENT);
        SetTextColor(c.dc, RGB(0, 0, 0));
        DrawTextW(c.dc, k.caption, -1, &button, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
        Ink ink = InkOf(c, WhitePixel);
        ASSERT_FALSE(ink.Empty());
        EXPECT_GE(ink.left, 50);
        EXPECT_GE(ink.top, 50);
        EXPECT_LE(ink.right, 125);
        EXPECT_LE(ink.bottom, 75);
        // Centred: the margins left and right differ by little.
        EXPECT_NEAR(ink.left - 50, 125 - ink.right, 3);
        // Anti-aliased: some pixels are grey.
        bool grey = false;
        for (int y = 50; y < 75 && !grey; ++y)
            for (int x = 50; x < 125 && !grey; ++x)
                grey = c.At(x, y) != WhitePixel && c.At(x, y) != 0;
        EXPECT_TRUE(grey);
    }
}

TEST(GdiTest, CyrillicGlyphsAreRealShapes)
{
    // Each letter must differ from the missing-glyph box and leave ink.
    auto render = [](const std::u16string& text)
    {
        Canvas c(40, 30);
        UseFont f(c.dc, Font(u"Tahoma", -16));
        TextOutW(c.dc, 5, 5, text.data(), int(text.size()));
        return std::vector<uint32_t>(c.bits, c.bits + 40 * 30);
    };
    std::vector<uint32_t> missing = render(u"\U0010FFFD");
    for (char16_t ch : std::u16string(u"АБВЖЩЮЯабвжщюяЁё"))
    {
        std::vector<uint32_t> glyph = render(std::u16string(1, ch));
        EXPECT_NE(glyph, missing) << int(ch);
        EXPECT_TRUE(std::any_of(glyph.begin(), glyph.end(), [](uint32_t p) { return p != WhitePixel; }))
            << int(ch);
    }
}

TEST(GdiTest, AnsiTextGoesThroughCodePage1251)
{
    const char ansi[] = "\xCF\xE0\xF2\xF7 \xB8"; // "Патч ё"
    const std::u16string wide = u"Патч ё";
    Canvas a(80, 20), w(80, 20);
    UseFont fa(a.dc, Font(u"Tahoma", -11)), fw(w.dc, Font(u"Tahoma", -11));
    RECT r{0, 0, 80, 20};
    ExtTextOutA(a.dc, 2, 2, ETO_OPAQUE, &r, ansi, UINT(sizeof ansi - 1), nullptr);
    ExtTextOutW(w.dc, 2, 2, ETO_OPAQUE, &r, wide.data(), UINT(wide.size()), nullptr);
    EXPECT_TRUE(std::equal(a.bits, a.bits + 80 * 20, w.bits));
    SIZE sa{}, sw{};
    GetTextExtentPoint32A(a.dc, ansi, int(sizeof ansi - 1), &sa);
    GetTextExtentPoint32W(w.dc, wide.data(), int(wide.size()), &sw);
    EXPECT_EQ(sa.cx, sw.cx);
    EXPECT_EQ(sa.cy, sw.cy);
}

TEST(GdiTest, GlyphAtlasBuildLeavesBackgroundZero)
{
    // The glyph-texture build: white on black, opaque cells in a 32-bit top-down DIB; every pixel
    // that is not text must be exactly 0 (its fourth byte too), every glyph must leave ink.
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_EQ(SetMapMode(dc, MM_TEXT), MM_TEXT);
    int height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
    EXPECT_EQ(height, -13);
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, 0, VARIABLE_PITCH, u"Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextAlign(dc, TA_TOP | TA_LEFT);
    SetTextColor(dc, 0xFFFFFF);
    SetBkColor(dc, 0);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, 256, -256, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, dib);
    auto* px = static_cast<uint32_t*>(bits);
    std::fill(px, px + 256 * 256, 0x12345678u); // garbage the opaque cells must overwrite
    int x = 0, y = 0, cellHeight = 0;
    std::vector<std::pair<RECT, int>> cells;
    for (int ch = 33; ch <= 255; ++ch)
    {
        char c = char(ch);
        SIZE s{};
        ASSERT_TRUE(GetTextExtentPoint32A(dc, &c, 1, &s));
        cellHeight = s.cy;
        if (x + s.cx + 1 > 256)
        {
            x = 0;
            y += s.cy + 1;
        }
        RECT cell{x, y, x + s.cx, y + s.cy};
        ExtTextOutA(dc, x, y, ETO_OPAQUE, &cell, &c, 1, nullptr);
        if (ch != 0x7F && ch != 0xA0 && ch != 0xAD &&
            ch != 0x98) // DEL, no-break space, soft hyphen, unassigned
            cells.emplace_back(cell, ch);
        x += s.cx + 1;
    }
    EXPECT_EQ(cellHeight, 15);
    for (const auto& [r, ch] : cells)
    {
        bool ink = false;
        for (int yy = r.top; yy < r.bottom; ++yy)
            for (int xx = r.left; xx < r.right; ++xx)
            {
                uint32_t p = px[yy * 256 + xx];
                EXPECT_EQ(p & 0xFF000000u, 0u);
                // Grey text on black: the three channels are equal.
                EXPECT_TRUE(((p >> 16) & 0xFF) == (p & 0xFF) && ((p >> 8) & 0xFF) == (p & 0xFF))
                    << std::hex << p;
                ink = ink || p != 0;
            }
        EXPECT_TRUE(ink) << "character " << ch;
    }
    SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    EXPECT_TRUE(DeleteObject(dib));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiTest, FillRectHonoursClipOriginAndSurfaceBounds)
{
    struct Case
    {
        POINT viewport;
        RECT clip; // logical, empty for none
        RECT fill;
        RECT expected; // filled pixels on the surface
    } cases[] = {
        {{0, 0}, {}, {2, 3, 7, 9}, {12, 13, 17, 19}},         // the surface DC's origin is (10, 10)
        {{5, 5}, {}, {0, 0, 4, 4}, {15, 15, 19, 19}},         // viewport origin moves the control
        {{0, 0}, {}, {-50, -50, 500, 500}, {10, 10, 30, 30}}, // never outside the window's bounds
        {{0, 0}, {4, 4, 8, 6}, {0, 0, 100, 100}, {14, 14, 18, 16}},
        {{3, 0}, {0, 0, 2, 2}, {0, 0, 100, 100}, {13, 10, 15, 12}}, // clip set in logical units
        {{0, 0}, {0, 0, 5, 5}, {6, 6, 9, 9}, {0, 0, 0, 0}},
    };
    for (const Case& k : cases)
    {
        std::vector<uint32_t> pixels(40 * 40, 0);
        Platform::Gdi::Surface s{pixels.data(), 40, 40, 40};
        HDC dc = Platform::Gdi::CreateSurfaceDC(s, POINT{10, 10}, RECT{10, 10, 30, 30});
        ASSERT_NE(dc, nullptr);
        POINT org{-1, -1};
        GetViewportOrgEx(dc, &org);
        EXPECT_EQ(org.x, 0);
        SetViewportOrgEx(dc, k.viewport.x, k.viewport.y, nullptr);
        if (!IsRectEmpty(&k.clip))
            IntersectClipRect(dc, k.clip.left, k.clip.top, k.clip.right, k.clip.bottom);
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        EXPECT_EQ(FillRect(dc, &k.fill, brush), 1);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
            {
                bool inside = PtInRect(&k.expected, POINT{x, y});
                ASSERT_EQ(pixels[size_t(y) * 40 + x], inside ? 0x00010203u : 0u) << x << "," << y;
            }
        EXPECT_TRUE(DeleteObject(brush));
        EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    }
    // A system colour index + 1 serves as a brush.
    Canvas c(4, 4);
    RECT all{0, 0, 4, 4};
    FillRect(c.dc, &all, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_EQ(c.At(3, 3), Platform::Gdi::ToPixel(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
}

TEST(GdiTest, BitBltRasterOperations)
{
    const uint32_t src = 0x00F0A050, dst = 0x0033CC0F, pat = 0x00123456;
    struct Case
    {
        DWORD rop;
        uint32_t expected;
    } cases[] = {
        {SRCCOPY, src},
        {SRCAND, src & dst},
        {SRCPAINT, src | dst},
        {SRCINVERT, src ^ dst},
        {SRCERASE, src & ~dst & 0xFFFFFF},
        {NOTSRCCOPY, ~src & 0xFFFFFF},
        {MERGEPAINT, (~src | dst) & 0xFFFFFF},
        {MERGECOPY, src & pat},
        {PATCOPY, pat},
        {PATINVERT, pat ^ dst},
        {DSTINVERT, ~dst & 0xFFFFFF},
        {BLACKNESS, 0},
        {WHITENESS, 0xFFFFFF},
    };
    for (const Case& k : cases)
    {
        Canvas s(6, 6, Platform::Gdi::FromPixel(src)), d(10, 10, Platform::Gdi::FromPixel(dst));
        HBRUSH brush = CreateSolidBrush(Platform::Gdi::FromPixel(pat));
        HGDIOBJ old = SelectObject(d.dc, brush);
        // The source is 6 x 6: only that much of the 8 x 8 request lands, at (2, 2).
        EXPECT_TRUE(BitBlt(d.dc, 2, 2, 8, 8, s.dc, 0, 0, k.rop));
        bool usesSource = ((((k.rop >> 16) >> 2) ^ (k.rop >> 16)) & 0x33) != 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
            {
                bool hit = x >= 2 && y >= 2 && (!usesSource || (x < 8 && y < 8));
                ASSERT_EQ(d.At(x, y), hit ? k.expected : dst) << std::hex << k.rop << " at " << x << "," << y;
            }
        SelectObject(d.dc, old);
        DeleteObject(brush);
    }
}

TEST(GdiTest, BlitsWithinOneBitmapAndStretched)
{
    // Scrolling a bitmap onto itself reads the source before it is overwritten.
    Canvas c(8, 1);
    for (int x = 0; x < 8; ++x)
        c.bits[x] = uint32_t(x + 1);
    BitBlt(c.dc, 2, 0, 6, 1, c.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(std::vector<uint32_t>(c.bits, c.bits + 8), (std::vector<uint32_t>{1, 2, 1, 2, 3, 4, 5, 6}));
    BitBlt(c.dc, 0, 0, 6, 1, c.dc, 2, 0, SRCAND);
    EXPECT_EQ(std::vector<uint32_t>(c.bits, c.bits + 8),
              (std::vector<uint32_t>{1 & 1, 2 & 2, 1 & 3, 2 & 4, 3 & 5, 4 & 6, 5, 6}));

    Canvas s(2, 2), d(4, 6);
    s.bits[0] = 1, s.bits[1] = 2, s.bits[2] = 3, s.bits[3] = 4;
    StretchBlt(d.dc, 0, 0, 4, 4, s.dc, 0, 0, 2, 2, SRCCOPY);
    const uint32_t stretched[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(d.At(x, y), stretched[y][x]);
    StretchBlt(d.dc, 3, 4, -4, 2, s.dc, 0, 0, 2, 2, SRCCOPY); // mirrored: columns 3 down to 0
    EXPECT_EQ(d.At(0, 4), 2u);
    EXPECT_EQ(d.At(3, 5), 3u);
    // The transparent colour is left out of the copy.
    s.bits[1] = 0x00FF00FF;
    std::fill(d.bits, d.bits + 24, 7u);
    EXPECT_TRUE(TransparentBlt(d.dc, 0, 0, 2, 2, s.dc, 0, 0, 2, 2, RGB(255, 0, 255)));
    EXPECT_EQ(d.At(0, 0), 1u);
    EXPECT_EQ(d.At(1, 0), 7u);
    EXPECT_EQ(d.At(1, 1), 4u);
}

TEST(GdiTest, DibSectionRowOrderAndPixelLayout)
{
    for (bool topDown : {true, false})
    {
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{40, 3, topDown ? -2 : 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bm = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        ASSERT_NE(bm, nullptr);
        HGDIOBJ old = SelectObject(dc, bm);
        SetPixel(dc, 1, 0, RGB(0x11, 0x22, 0x33));
        auto* bytes = static_cast<uint8_t*>(p);
        size_t top = topDown ? 0 : 3 * 4; // the top row is first in memory only when top-down
        EXPECT_EQ(bytes[top + 4], 0x33);  // blue, green, red, 0
        EXPECT_EQ(bytes[top + 5], 0x22);
        EXPECT_EQ(bytes[top + 6], 0x11);
        EXPECT_EQ(bytes[top + 7], 0x00);
        EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0x11, 0x22, 0x33));
        EXPECT_EQ(GetPixel(dc, 3, 0), CLR_INVALID);
        DIBSECTION ds{};
        EXPECT_EQ(GetObjectW(bm, sizeof ds, &ds), int(sizeof ds));
        EXPECT_EQ(ds.dsBm.bmWidth, 3);
        EXPECT_EQ(ds.dsBm.bmHeight, 2);
        EXPECT_EQ(ds.dsBm.bmWidthBytes, 12);
        EXPECT_EQ(ds.dsBm.bmBits, p);
        EXPECT_EQ(ds.dsBmih.biHeight, topDown ? -2 : 2);
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
    // Refused: other depths, empty or oversized images.
    BITMAPINFO bad{};
    for (BITMAPINFOHEADER h : {BITMAPINFOHEADER{40, 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
                               BITMAPINFOHEADER{40, 0, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                               BITMAPINFOHEADER{40, 100000, -100000, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                               BITMAPINFOHEADER{40, 4, INT32_MIN, 1, 32, BI_RGB, 0, 0, 0, 0, 0}})
    {
        bad.bmiHeader = h;
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &p, nullptr, 0), nullptr);
        EXPECT_EQ(p, nullptr);
    }
}

TEST(GdiTest, DrawTextAlignmentEllipsisAndCalcRect)
{
    Canvas c(200, 40);
    UseFont f(c.dc, Font(u"Tahoma", -11));
    SetBkMode(c.dc, TRANSPARENT);
    const std::u16string text = u"Patch";
    const int width = Extent(c.dc, text).cx;
    struct Case
    {
        UINT format;
        int left, right; // expected ink bounds within 2 pixels; -1: not checked
    } cases[] = {
        {DT_LEFT | DT_SINGLELINE, 20, 20 + width},
        {DT_RIGHT | DT_SINGLELINE, 180 - width, 180},
        {DT_CENTER | DT_SINGLELINE, 100 - width / 2, 100 + width / 2},
    };
    for (const Case& k : cases)
    {
        std::fill(c.bits, c.bits + 200 * 40, WhitePixel);
        RECT r{20, 0, 180, 40};
        DrawTextW(c.dc, text.data(), -1, &r, k.format);
        Ink ink = InkOf(c, WhitePixel);
        EXPECT_NEAR(ink.left, k.left, 2) << k.format;
        EXPECT_NEAR(ink.right, k.right, 2) << k.format;
    }
    // Vertical centring of a single line.
    std::fill(c.bits, c.bits + 200 * 40, WhitePixel);
    RECT r{0, 0, 200, 40};
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc, &tm);
    EXPECT_EQ(DrawTextW(c.dc, u"Patch", -1, &r, DT_VCENTER | DT_SINGLELINE),
              (40 - tm.tmHeight) / 2 + tm.tmHeight);
    Ink ink = InkOf(c, WhitePixel);
    EXPECT_GE(ink.top, (40 - tm.tmHeight) / 2);
    EXPECT_LE(ink.bottom, (40 + tm.tmHeight) / 2 + 1);

    // CALCRECT measures without drawing; prefixes are not measured; lines stack.
    std::fill(c.bits, c.bits + 200 * 40, WhitePixel);
    struct Calc
    {
        const char16_t* text;
        UINT format;
        int width;
        int lines;
    } calcs[] = {
        {u"Patch", DT_SINGLELINE, width, 1},
        {u"&Patch", DT_SINGLELINE, width, 1},
        {u"&Patch", DT_SINGLELINE | DT_NOPREFIX, Extent(c.dc, u"&Patch").cx, 1},
        {u"Patch\r\nPatch\nP", 0, width, 3},
        {u"Patch Patch Patch", DT_WORDBREAK, 200, 1},
    };
    for (const Calc& k : calcs)
    {
        RECT calc{5, 7, 205, 8};
        int h = DrawTextW(c.dc, k.text, -1, &calc, k.format | DT_CALCRECT);
        EXPECT_EQ(calc.right - calc.left, k.width) << Platform::ToUtf8(k.text);
        EXPECT_EQ(calc.bottom - calc.top, k.lines * tm.tmHeight);
        EXPECT_EQ(h, k.lines * tm.tmHeight);
    }
    RECT narrow{0, 0, width + 5, 100};
    EXPECT_EQ(DrawTextW(c.dc, u"Patch Patch Patch", -1, &narrow, DT_WORDBREAK | DT_CALCRECT),
              3 * tm.tmHeight);
    EXPECT_TRUE(std::all_of(c.bits, c.bits + 200 * 40, [](uint32_t p) { return p == WhitePixel; }));

    // The end ellipsis keeps a long line inside its rectangle even without clipping.
    const std::u16string longText = u"A rather long caption that cannot fit";
    for (UINT ellipsis : {0u, DT_END_ELLIPSIS})
    {
        std::fill(c.bits, c.bits + 200 * 40, WhitePixel);
        RECT box{10, 0, 90, 20};
        DrawTextW(c.dc, longText.data(), -1, &box, DT_SINGLELINE | DT_NOCLIP | ellipsis);
        Ink in = InkOf(c, WhitePixel);
        if (ellipsis)
            EXPECT_LE(in.right, 90);
        else
            EXPECT_GT(in.right, 150);
    }
    // The prefix character underlines the letter after it, unless hidden or not a prefix.
    auto inkBelowBaseline = [&](const char16_t* s, UINT format)
    {
        std::fill(c.bits, c.bits + 200 * 40, WhitePixel);
        RECT box{0, 0, 200, 40};
        DrawTextW(c.dc, s, -1, &box, format | DT_SINGLELINE);
        int count = 0;
        for (int y = tm.tmAscent + 1; y < 40; ++y)
            for (int x = 0; x < 200; ++x)
                count += c.At(x, y) != WhitePixel;
        return count;
    };
    int plain = inkBelowBaseline(u"Patch", 0);
    EXPECT_GT(inkBelowBaseline(u"&Patch", 0), plain);
    EXPECT_EQ(inkBelowBaseline(u"&Patch", DT_HIDEPREFIX), plain);
}

// A path wider than its room shows "..." and the longest end of it that shows whole: from a
// separator while that leaves the last name whole, else from inside the last name. A text shows
// whole when both its advance and its ink end inside the room. Every room is tried, so that an end
// that fits to the pixel is met, and so is a last glyph whose ink leans out past its advance.
TEST(GdiTest, PathEllipsisKeepsTheLongestEndThatShowsWhole)
{
    const std::u16string paths[] = {
        u"C:\\Games\\Distant Shore\\content\\Models.pck",
        u"/home/player/Games/Install Folder/", // a folder as the open dialog shows it
        u"/usr/share/a_single_rather_long_last_name",
        u"no separator at all in this name",
    };
    struct Face
    {
        const char16_t* face;
        int height;
        BYTE italic;
    } faces[] = {{u"Tahoma", -11, 0}, {u"Arial", -13, 0}, {u"Times New Roman", -15, 1}};
    const int x0 = 10, w = 420, h = 30;
    Canvas c(w, h), expected(w, h);
    bool leansOut = false;
    for (const Face& k : faces)
    {
        SCOPED_TRACE(std::string(k.face, k.face + std::char_traits<char16_t>::length(k.face)));
        auto font = [&]
        {
            return CreateFontW(k.height, 0, 0, 0, FW_NORMAL, k.italic, 0, 0, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                               k.face);
        };
        UseFont f(c.dc, font()), g(expected.dc, font());
        SetBkMode(c.dc, TRANSPARENT);
        SetBkMode(expected.dc, TRANSPARENT);
        // How far a text reaches from where it starts: its advance or its ink, whichever ends later.
        auto reach = [&](const std::u16string& text)
        {
            std::fill(expected.bits, expected.bits + w * h, WhitePixel);
            TextOutW(expected.dc, x0, 0, text.data(), int(text.size()));
            Ink ink = InkOf(expected, WhitePixel);
            return std::max(int(Extent(expected.dc, text).cx), ink.Empty() ? 0 : ink.right - x0);
        };
        for (const std::u16string& path : paths)
        {
            SCOPED_TRACE(Platform::ToUtf8(path.c_str()));
            // The ends it may show, longest first: from separators, then from inside the last name.
            size_t lastName = path.size();
            while (lastName > 0 && (path[lastName - 1] == u'/' || path[lastName - 1] == u'\\'))
                --lastName;
            const size_t lastSeparator = path.find_last_of(u"/\\", lastName - 1);
            std::vector<std::pair<std::u16string, int>> fromNames, fromLetters;
            for (size_t at = 1; at < path.size(); ++at)
            {
                std::u16string shown = u"..." + path.substr(at);
                if (lastSeparator == std::u16string::npos || at > lastSeparator)
                    fromLetters.emplace_back(shown, reach(shown));
                else if (path[at] == u'/' || path[at] == u'\\')
                    fromNames.emplace_back(shown, reach(shown));
            }
            const int whole = reach(path);
            leansOut |= whole > Extent(c.dc, path).cx;
            ASSERT_LT(whole, w - x0);
            for (int room = 0; room <= whole + 1; ++room)
            {
                SCOPED_TRACE(room);
                auto longestFitting = [&](const std::vector<std::pair<std::u16string, int>>& ends)
                {
                    for (const auto& [shown, itsReach] : ends)
                        if (itsReach <= room)
                            return shown;
                    return std::u16string();
                };
                std::u16string shown = whole <= room ? path : longestFitting(fromNames);
                if (shown.empty())
                    shown = longestFitting(fromLetters);
                if (shown.empty())
                    shown = u"...";
                std::fill(c.bits, c.bits + w * h, WhitePixel);
                RECT r{x0, 0, x0 + room, h};
                DrawTextW(c.dc, path.data(), int(path.size()), &r,
                          DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_NOCLIP);
                std::fill(expected.bits, expected.bits + w * h, WhitePixel);
                TextOutW(expected.dc, x0, 0, shown.data(), int(shown.size()));
                ASSERT_TRUE(std::equal(c.bits, c.bits + w * h, expected.bits))
                    << "not \"" << Platform::ToUtf8(shown.c_str()) << "\"";
            }
        }
    }
    EXPECT_TRUE(leansOut); // else no ink past an advance was tried
}

TEST(GdiTest, WordBreakKeepsEveryCharacterAndBreaksPathsAfterTheirSeparators)
{
    Canvas c(400, 900);
    UseFont f(c.dc, Font(u"Tahoma", -11));
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc, &tm);
    SetBkMode(c.dc, TRANSPARENT);
    const std::u16string unixPath =
        u"/home/player/A Game With a Long Title/Installation Folder/Game/Data/Models.pck";
    const std::u16string windowsPath =
        u"C:\\Program Files\\A Game\\Installation Folder\\Game\\Data\\Models.pck";
    const std::u16string run(120, u'w');
    const std::u16string longWord = u"Could not open " + std::u16string(60, u'x') + u" at all";
    std::u16string astral; // characters of two units each, never parted
    for (int i = 0; i < 40; ++i)
        astral += i % 3 ? u"\U0001D400" : u"Ж";
    struct Case
    {
        const std::u16string* text;
        bool namesFit; // every word and folder name fits the narrowest room alone
    } cases[] = {
        {&unixPath, true}, {&windowsPath, true}, {&run, false}, {&longWord, false}, {&astral, false}};
    const auto Utf8 = [](const std::u16string& t) { return Platform::ToUtf8(t.data(), t.size()); };
    const auto isBreak = [](char16_t ch) { return ch == u' ' || ch == u'/' || ch == u'\\'; };
    for (const Case& k : cases)
        for (int room : {70, 130, 250})
        {
            const std::u16string& text = *k.text;
            SCOPED_TRACE(Utf8(text) + " in " + std::to_string(room));
            std::fill(c.bits, c.bits + size_t(c.width) * c.height, WhitePixel);
            RECT r{10, 4, 10 + room, c.height};
            const int height = DrawTextW(c.dc, text.data(), -1, &r, DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP);
            DrawnLines::Block block{c.bits, c.width, RECT{0, 0, c.width, c.height}, 4, tm.tmHeight};
            const auto lines = DrawnLines::Read(block, static_cast<HFONT>(GetCurrentObject(c.dc, OBJ_FONT)),
                                                RGB(0, 0, 0), RGB(255, 255, 255), text);
            // Every character shows, in order, on as many lines as the height says.
            EXPECT_EQ(Utf8(DrawnLines::Joined(lines)), Utf8(text));
            EXPECT_EQ(height, int(lines.size()) * tm.tmHeight);
            EXPECT_FALSE(
                DrawnLines::InkBelow(block, 4 + int(lines.size()) * tm.tmHeight, RGB(255, 255, 255)));
            RECT calc{0, 0, room, 0};
            EXPECT_EQ(DrawTextW(c.dc, text.data(), -1, &calc, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT),
                      height);
            EXPECT_LE(calc.right, room);
            size_t at = 0;
            for (size_t i = 0; i < lines.size(); ++i)
            {
                std::u16string shown = lines[i].text;
                at += shown.size();
                while (!shown.empty() && shown.back() == u' ')
                    shown.pop_back();
                EXPECT_LE(Extent(c.dc, shown).cx, room) << Utf8(shown);
                if (i + 1 == lines.size() || shown.empty())
                    continue;
                // A line ends after a space or a separator; inside a run only when the next
                // character would not have fitted, and never between the two units of one.
                if (k.namesFit)
                {
                    EXPECT_TRUE(isBreak(lines[i].text.back())) << Utf8(lines[i].text);
                }
                if (!isBreak(lines[i].text.back()) && at < text.size() && !isBreak(text[at]))
                {
                    size_t next = at + (text[at] >= 0xD800 && text[at] < 0xDC00 ? 2 : 1);
                    EXPECT_GT(Extent(c.dc, shown + text.substr(at, next - at)).cx, room) << Utf8(shown);
                }
                EXPECT_FALSE(text[at] >= 0xDC00 && text[at] < 0xE000);
            }
        }

    const HFONT font = static_cast<HFONT>(GetCurrentObject(c.dc, OBJ_FONT));
    // A character wider than the room still takes a line of its own, so that the wrap ends.
    for (int room : {0, 1, 3})
    {
        SCOPED_TRACE(room);
        c.Fill(RGB(255, 255, 255));
        RECT r{10, 4, 10 + room, c.height};
        const int height = DrawTextW(c.dc, u"WW", -1, &r, DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP);
        DrawnLines::Block block{c.bits, c.width, RECT{0, 0, c.width, c.height}, 4, tm.tmHeight};
        const auto lines = DrawnLines::Read(block, font, RGB(0, 0, 0), RGB(255, 255, 255), u"WW");
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(Utf8(lines[0].text + u"|" + lines[1].text), "W|W");
        EXPECT_EQ(height, 2 * tm.tmHeight);
    }

    // A tab reaches the next stop, in a wrapped line as in a line of its own: each line ends only
    // where the next word would not fit, as one line of it measures, and shows as that line would.
    const std::u16string tabbed = u"ab\tc de\tf g\thij k\tl mn\to p\tqr st\tu vw\tx yz\tA";
    const UINT expand = DT_EXPANDTABS | DT_NOPREFIX | DT_NOCLIP;
    auto oneLineWidth = [&](const std::u16string& line)
    {
        RECT calc{0, 0, 0, 0};
        DrawTextW(c.dc, line.data(), int(line.size()), &calc, DT_SINGLELINE | DT_CALCRECT | expand);
        return int(calc.right);
    };
    std::vector<std::u16string> words;
    for (size_t from = 0, space; from <= tabbed.size(); from = space + 1)
    {
        space = std::min(tabbed.find(u' ', from), tabbed.size());
        words.push_back(tabbed.substr(from, space - from));
    }
    Canvas lineByLine(c.width, c.height);
    UseFont g(lineByLine.dc, Font(u"Tahoma", -11));
    SetBkMode(lineByLine.dc, TRANSPARENT);
    for (int room : {110, 160, 230})
    {
        SCOPED_TRACE(room);
        std::vector<std::u16string> expected{words[0]};
        for (size_t i = 1; i < words.size(); ++i)
        {
            ASSERT_LE(oneLineWidth(words[i]), room);
            const std::u16string longer = expected.back() + u" " + words[i];
            if (oneLineWidth(longer) > room)
                expected.push_back(words[i]);
            else
                expected.back() = longer;
        }
        ASSERT_GT(expected.size(), 1u);
        c.Fill(RGB(255, 255, 255));
        lineByLine.Fill(RGB(255, 255, 255));
        RECT r{10, 4, 10 + room, c.height};
        EXPECT_EQ(DrawTextW(c.dc, tabbed.data(), -1, &r, DT_WORDBREAK | expand),
                  int(expected.size()) * tm.tmHeight);
        for (size_t i = 0; i < expected.size(); ++i)
        {
            RECT line{10, 4 + int(i) * tm.tmHeight, 10 + room, c.height};
            DrawTextW(lineByLine.dc, expected[i].data(), -1, &line, DT_SINGLELINE | expand);
        }
        EXPECT_TRUE(std::equal(c.bits, c.bits + size_t(c.width) * c.height, lineByLine.bits));
    }
}

TEST(GdiTest, OpaqueAndClippedTextOutput)
{
    Canvas c(60, 20);
    UseFont f(c.dc, Font(u"Tahoma", -11));
    SetBkColor(c.dc, RGB(0, 0, 255));
    SetTextColor(c.dc, RGB(255, 255, 0));
    RECT r{10, 2, 30, 18};
    ExtTextOutW(c.dc, 12, 3, ETO_OPAQUE | ETO_CLIPPED, &r, u"WWWWWW", 6, nullptr);
    Ink ink = InkOf(c, WhitePixel);
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.right, 30);
    EXPECT_EQ(ink.top, 2);
    EXPECT_EQ(ink.bottom, 18);
    EXPECT_EQ(c.At(10, 2), 0x000000FFu);
    // Per-character advances place each character in its own cell.
    std::fill(c.bits, c.bits + 60 * 20, WhitePixel);
    SetBkMode(c.dc, TRANSPARENT);
    const INT dx[3] = {15, 15, 15};
    ExtTextOutW(c.dc, 0, 0, 0, nullptr, u"iii", 3, dx);
    Ink spread = InkOf(c, WhitePixel);
    EXPECT_GE(spread.right - spread.left, 30);
}

TEST(GdiTest, ObjectLifetimeAndSelection)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(1, 2, 3));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    EXPECT_EQ(GetObjectType(oldPen), OBJ_PEN);
    EXPECT_FALSE(DeleteObject(pen)); // still selected
    LOGPEN lp{};
    EXPECT_EQ(GetObjectW(pen, sizeof lp, &lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnWidth.x, 2);
    EXPECT_EQ(lp.lopnColor, RGB(1, 2, 3));
    EXPECT_EQ(SelectObject(dc, oldPen), pen);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_EQ(GetObjectType(pen), 0); // stale handles are refused
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(SelectObject(dc, pen), nullptr);

    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))); // stock objects survive
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
    EXPECT_EQ(GetObjectType(GetSysColorBrush(COLOR_WINDOW)), OBJ_BRUSH);

    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    lf.lfUnderline = 1;
    std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    LOGFONTW back{};
    EXPECT_EQ(GetObjectW(font, sizeof back, &back), int(sizeof back));
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_EQ(std::u16string(back.lfFaceName), face);
    EXPECT_TRUE(DeleteObject(font));

    // A bitmap lives in one DC at a time.
    HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
    HDC other = CreateCompatibleDC(dc);
    HGDIOBJ oldBm = SelectObject(dc, bm);
    EXPECT_NE(oldBm, nullptr);
    EXPECT_EQ(SelectObject(other, bm), nullptr);
    EXPECT_TRUE(DeleteDC(dc)); // deleting the DC frees its selection
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_FALSE(DeleteDC(dc));

    // SaveDC keeps what was selected; RestoreDC puts it back and lets go of the rest.
    HDC saved = CreateCompatibleDC(nullptr);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ stockPen = SelectObject(saved, red);
    EXPECT_EQ(SaveDC(saved), 1);
    SelectObject(saved, stockPen);
    SetTextColor(saved, RGB(9, 9, 9));
    EXPECT_FALSE(DeleteObject(red)); // the saved state still holds it
    EXPECT_TRUE(RestoreDC(saved, -1));
    EXPECT_EQ(GetCurrentObject(saved, OBJ_PEN), red);
    EXPECT_EQ(GetTextColor(saved), RGB(0, 0, 0));
    EXPECT_FALSE(RestoreDC(saved, 1));
    SelectObject(saved, stockPen);
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteDC(saved));

    struct Mul
    {
        int a, b, c, r;
    } muls[] = {{10, 96, 72, 13}, {8, 96, 72, 11}, {-10, 96, 72, -13}, {3, 1, 2, 2},
                {-3, 1, 2, -2},   {1, 1, 0, -1},   {INT_MAX, 2, 1, -1}};
    for (const Mul& m : muls)
        EXPECT_EQ(MulDiv(m.a, m.b, m.c), m.r) << m.a << "*" << m.b << "/" << m.c;
}

TEST(GdiTest, ShapesAndLines)
{
    const uint32_t penPx = 0x00FF0000, brushPx = 0x000000FF;
    Canvas c(20, 20);
    HPEN pen = CreatePen(PS_SOLID, 1, Platform::Gdi::FromPixel(penPx));
    HBRUSH brush = CreateSolidBrush(Platform::Gdi::FromPixel(brushPx));
    HGDIOBJ oldPen = SelectObject(c.dc, pen), oldBrush = SelectObject(c.dc, brush);

    Rectangle(c.dc, 2, 2, 8, 6);
    struct Px
    {
        int x, y;
        uint32_t expected;
    } rect[] = {{2, 2, penPx},   {7, 5, penPx},      {3, 3, brushPx},
                {6, 4, brushPx}, {8, 6, WhitePixel}, {1, 1, WhitePixel}};
    for (const Px& p : rect)
        EXPECT_EQ(c.At(p.x, p.y), p.expected) << p.x << "," << p.y;

    std::fill(c.bits, c.bits + 400, WhitePixel);
    Ellipse(c.dc, 0, 0, 20, 10);
    EXPECT_EQ(c.At(10, 5), brushPx);
    EXPECT_EQ(c.At(0, 0), WhitePixel);
    EXPECT_EQ(c.At(19, 9), WhitePixel);
    EXPECT_EQ(c.At(0, 5), penPx);
    for (int y = 0; y < 10; ++y) // symmetric both ways
        for (int x = 0; x < 20; ++x)
        {
            ASSERT_EQ(c.At(x, y), c.At(19 - x, y)) << x << "," << y;
            ASSERT_EQ(c.At(x, y), c.At(x, 9 - y)) << x << "," << y;
        }

    std::fill(c.bits, c.bits + 400, WhitePixel);
    MoveToEx(c.dc, 1, 1, nullptr);
    LineTo(c.dc, 6, 1);
    EXPECT_EQ(c.At(1, 1), penPx);
    EXPECT_EQ(c.At(5, 1), penPx);
    EXPECT_EQ(c.At(6, 1), WhitePixel); // the end point is left out
    POINT at{};
    GetCurrentPositionEx(c.dc, &at);
    EXPECT_EQ(at.x, 6);
    // Far-off end points cost no more than the visible part and draw it.
    std::fill(c.bits, c.bits + 400, WhitePixel);
    MoveToEx(c.dc, INT_MIN + 1, 7, nullptr);
    LineTo(c.dc, INT_MAX, 7);
    MoveToEx(c.dc, -2000000000, -2000000000, nullptr);
    LineTo(c.dc, 2000000000, 2000000000);
    for (int x = 0; x < 20; ++x)
    {
        EXPECT_EQ(c.At(x, 7), penPx) << x;
        EXPECT_EQ(c.At(x, x), penPx) << x;
    }

    std::fill(c.bits, c.bits + 400, WhitePixel);
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    const POINT tri[] = {{0, 0}, {10, 0}, {0, 10}};
    Polygon(c.dc, tri, 3);
    Ink ink = InkOf(c, WhitePixel);
    EXPECT_NEAR(ink.count, 50, 6); // half of 10 x 10
    EXPECT_EQ(c.At(1, 1), brushPx);
    EXPECT_EQ(c.At(9, 9), WhitePixel);

    // XOR pen mode draws and undraws.
    std::fill(c.bits, c.bits + 400, WhitePixel);
    SelectObject(c.dc, pen);
    SetROP2(c.dc, R2_XORPEN);
    for (int i = 0; i < 2; ++i)
    {
        MoveToEx(c.dc, 0, 3, nullptr);
        LineTo(c.dc, 19, 3);
        EXPECT_EQ(c.At(4, 3), i == 0 ? (WhitePixel ^ penPx) : WhitePixel);
    }
    SelectObject(c.dc, oldPen);
    SelectObject(c.dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(GdiTest, EdgesAndFrameControls)
{
    auto px = [](int index) { return Platform::Gdi::ToPixel(GetSysColor(index)); };
    struct Case
    {
        UINT edge, flags;
        int tl0, br0, tl1, br1; // outer and inner ring colours
    } cases[] = {
        {EDGE_RAISED, BF_RECT, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW},
        {EDGE_SUNKEN, BF_RECT, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT},
        {EDGE_RAISED, BF_RECT | BF_SOFT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT,
         COLOR_BTNSHADOW},
        {EDGE_ETCHED, BF_RECT, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW},
    };
    for (const Case& k : cases)
    {
        Canvas c(10, 10, RGB(1, 1, 1));
        RECT r{0, 0, 10, 10};
        ASSERT_TRUE(DrawEdge(c.dc, &r, k.edge, k.flags | BF_ADJUST | BF_MIDDLE));
        EXPECT_EQ(r.left, 2);
        EXPECT_EQ(r.bottom, 8);
        EXPECT_EQ(c.At(0, 0), px(k.tl0));
        EXPECT_EQ(c.At(9, 9), px(k.br0));
        EXPECT_EQ(c.At(9, 0), px(k.br0)); // the corners shared with the dark side are dark
        EXPECT_EQ(c.At(1, 1), px(k.tl1));
        EXPECT_EQ(c.At(8, 8), px(k.br1));
        EXPECT_EQ(c.At(5, 5), px(COLOR_BTNFACE));
    }
    for (UINT pushed : {0u, DFCS_PUSHED})
    {
        Canvas c(75, 25, RGB(1, 1, 1));
        RECT r{0, 0, 75, 25};
        ASSERT_TRUE(DrawFrameControl(c.dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | pushed));
        EXPECT_TRUE(EqualRect(&r, std::data({RECT{2, 2, 73, 23}})));
        EXPECT_EQ(c.At(0, 0), px(pushed ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(c.At(30, 12), px(COLOR_BTNFACE));
    }
    struct Mark
    {
        UINT kind;
        UINT checked;
    } marks[] = {{DFCS_BUTTONCHECK, 0},
                 {DFCS_BUTTONCHECK, DFCS_CHECKED},
                 {DFCS_BUTTONRADIO, 0},
                 {DFCS_BUTTONRADIO, DFCS_CHECKED}};
    for (const Mark& m : marks)
    {
        Canvas c(13, 13, RGB(1, 1, 1));
        RECT r{0, 0, 13, 13};
        DrawFrameControl(c.dc, &r, DFC_BUTTON, m.kind | m.checked);
        int dark = 0;
        for (int y = 2; y < 11; ++y)
            for (int x = 2; x < 11; ++x)
                dark += c.At(x, y) == px(COLOR_WINDOWTEXT);
        EXPECT_EQ(dark > 5, m.checked != 0) << m.kind;
        EXPECT_EQ(c.At(6, 1) == px(COLOR_WINDOW), false) << m.kind; // a dark rim at the top
        if (m.kind == DFCS_BUTTONRADIO)
            EXPECT_EQ(c.At(0, 0), 0x00010101u); // round: the corners stay untouched
        else
            EXPECT_EQ(c.At(0, 0), px(COLOR_BTNSHADOW));
    }
    // The close button's cross fits any button size: both strokes reach the glyph's four corners,
    // mirror-symmetric, inside the face; pushed, it moves a pixel down and right.
    for (int size : {10, 14, 18})
        for (UINT pushed : {0u, UINT(DFCS_PUSHED)})
        {
            Canvas c(size, size, RGB(1, 1, 1));
            RECT r{0, 0, size, size};
            ASSERT_TRUE(DrawFrameControl(c.dc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE | pushed));
            const auto ink = px(COLOR_BTNTEXT);
            int left = size, right = -1, top = size, bottom = -1;
            for (int y = 2; y < size - 2; ++y) // the face, inside the two-pixel edge
                for (int x = 2; x < size - 2; ++x)
                    if (c.At(x, y) == ink)
                    {
                        left = std::min(left, x), right = std::max(right, x);
                        top = std::min(top, y), bottom = std::max(bottom, y);
                    }
            SCOPED_TRACE(testing::Message() << size << (pushed ? " pushed" : ""));
            ASSERT_GE(right, 0);
            EXPECT_GE(bottom - top + 1, 4);
            EXPECT_EQ(right - left, bottom - top + 1);
            for (int y : {top, bottom})
            {
                EXPECT_EQ(c.At(left, y), ink);
                EXPECT_EQ(c.At(right, y), ink);
            }
            for (int y = top; y <= bottom; ++y)
                for (int x = left; x <= right; ++x)
                    EXPECT_EQ(c.At(x, y) == ink, c.At(left + right - x, y) == ink) << x << "," << y;
            if (pushed)
            {
                Canvas up(size, size, RGB(1, 1, 1));
                RECT u{0, 0, size, size};
                DrawFrameControl(up.dc, &u, DFC_CAPTION, DFCS_CAPTIONCLOSE);
                EXPECT_EQ(up.At(left - 1, top - 1), ink);
            }
        }
    // The focus rectangle inverts dots and a second call takes it away.
    Canvas c(10, 10);
    RECT r{0, 0, 10, 10};
    DrawFocusRect(c.dc, &r);
    EXPECT_FALSE(InkOf(c, WhitePixel).Empty());
    DrawFocusRect(c.dc, &r);
    EXPECT_TRUE(InkOf(c, WhitePixel).Empty());
}
