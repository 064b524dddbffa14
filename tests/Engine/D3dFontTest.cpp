// The bitmap font on the software device: glyph texture formats, sizes and layout, the two-level
// mask, and text drawing as recorded by the device's call log.
#include "DirectX/D3dFont.h"

#include "Platform/Gdi/Gdi.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/Thrown.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

struct Built
{
    IDirect3DTexture9* texture = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
};

Built Build(D3dFont& font, SoftDevice& d, D3DFORMAT format = D3DFMT_A8R8G8B8)
{
    Built b;
    b.texture = font.CreateTexture(d.device, b.width, b.height, format, D3DPOOL_MANAGED);
    return b;
}

// Level 0 row after row, rows cut to width * texel bytes.
Bytes Texels(IDirect3DTexture9* texture, unsigned texelBytes)
{
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT rect{};
    if (texture->LockRect(0, &rect, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return {};
    Bytes out;
    for (UINT y = 0; y < desc.Height; ++y)
    {
        const uint8_t* row = static_cast<const uint8_t*>(rect.pBits) + static_cast<size_t>(y) * rect.Pitch;
        out.insert(out.end(), row, row + desc.Width * texelBytes);
    }
    texture->UnlockRect(0);
    return out;
}


const XGlyph& GlyphOf(const D3dFont& font, uint8_t c)
{
    return font.GetGlyphs()[c - font.GetFirstChar()];
}

// A font with its texture on a device, in a scene, the log cleared.
struct Drawing
{
    SoftDevice d;
    D3dFont font;
    Built b;
    Drawing()
    {
        b = Build(font, d);
        d.device->BeginScene();
        d.Clear();
    }
    ~Drawing()
    {
        d.device->EndScene();
        if (b.texture)
            b.texture->Release();
    }
};
// The lit pixels of one UTF-16 character drawn by GDI, white on black, into a w x h bitmap with
// the default font's settings: what a glyph cell must hold.
std::vector<bool> GdiMask(char16_t c, int w, int h)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, 400, 0, 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, VARIABLE_PITCH, u"Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    SetTextColor(dc, 0xFFFFFF);
    SetBkColor(dc, 0);
    const char16_t text[2] = {c, 0};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, nullptr, text, 1, nullptr);
    std::vector<bool> mask(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = static_cast<const uint32_t*>(bits)[i] != 0;
    SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    DeleteObject(bitmap);
    DeleteObject(font);
    DeleteDC(dc);
    return mask;
}
} // namespace

TEST(D3dFontTest, FormatsGiveTheirTexelSizeOrAreRefusedBeforeAnythingIsMade)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    const unsigned idle = d.soft->GetLiveResourceCount();
    struct Row
    {
        D3DFORMAT format;
        unsigned bytes; // 0: refused by the font
        bool deviceRefuses;
    } rows[] = {
        {D3DFMT_A8R8G8B8, 4, false}, {D3DFMT_X8R8G8B8, 4, false}, {D3DFMT_R5G6B5, 2, false},
        {D3DFMT_X1R5G5B5, 2, false}, {D3DFMT_A1R5G5B5, 2, false}, {D3DFMT_A4R4G4B4, 2, false},
        {D3DFMT_X4R4G4B4, 2, false}, {D3DFMT_R8G8B8, 3, true},    {D3DFMT_A8, 0, false},
        {D3DFMT_A8B8G8R8, 0, false}, {D3DFMT_R3G3B2, 0, false},   {D3DFMT_UNKNOWN, 0, false},
        {D3DFMT_DXT1, 0, false},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(static_cast<int>(r.format));
        D3dFont font;
        d.Clear();
        if (r.bytes == 0)
        {
            EXPECT_EQ(ThrownMessage([&] { Build(font, d, r.format); }),
                      u"Font texture build failed, unsupported texture format!");
            EXPECT_TRUE(d.Log().empty());
            EXPECT_EQ(font.GetGlyphs(), nullptr);
            continue;
        }
        if (r.deviceRefuses)
        {
            EXPECT_NE(ThrownMessage([&] { Build(font, d, r.format); }), u"(nothing thrown)");
            EXPECT_EQ(d.soft->GetLiveResourceCount(), idle);
            continue;
        }
        Built b = Build(font, d, r.format);
        ASSERT_NE(b.texture, nullptr);
        EXPECT_TRUE(b.width == 128 || b.width == 256) << b.width;
        EXPECT_EQ(b.width, b.height);
        // Two levels only: every texel is all zeros or all ones, and some glyph is lit.
        Bytes texels = Texels(b.texture, r.bytes);
        ASSERT_EQ(texels.size(), size_t{b.width} * b.height * r.bytes);
        size_t lit = 0;
        for (size_t i = 0; i < texels.size(); i += r.bytes)
        {
            bool all = true, none = true;
            for (unsigned k = 0; k < r.bytes; ++k)
            {
                all = all && texels[i + k] == 0xFF;
                none = none && texels[i + k] == 0;
            }
            ASSERT_TRUE(all || none) << "texel " << i / r.bytes;
            lit += all;
        }
        EXPECT_GT(lit, 500u);
        b.texture->Release();
    }
    EXPECT_EQ(d.soft->GetLiveResourceCount(), idle);
}

TEST(D3dFontTest, DefaultGlyphsComeFromTheFontAndLieInTheirCells)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    D3dFont font;
    EXPECT_EQ(font.GetGlyphs(), nullptr);
    EXPECT_EQ(font.GetGlyphHeight(), 0u);
    Built b = Build(font, d);
    ASSERT_NE(b.texture, nullptr);
    ASSERT_EQ(font.GetGlyphCount(), 224u);
    // 10 points at 96 dpi: a cell of roughly 13 to 20 pixels.
    EXPECT_GE(font.GetGlyphHeight(), 12u);
    EXPECT_LE(font.GetGlyphHeight(), 20u);
    EXPECT_GT(GlyphOf(font, 'W').advance, GlyphOf(font, 'i').advance);
    EXPECT_GT(GlyphOf(font, 0xC6).advance, GlyphOf(font, 0xB7).advance); // Cyrillic Zhe wider than a dot

    const float w1 = static_cast<float>(b.width - 1), h1 = static_cast<float>(b.height - 1);
    Bytes texels = Texels(b.texture, 4);
    std::vector<int> owner(size_t{b.width} * b.height, -1);
    for (uint32_t i = 0; i < font.GetGlyphCount(); ++i)
    {
        const XGlyph& g = font.GetGlyphs()[i];
        SCOPED_TRACE(i + 32);
        ASSERT_GE(g.advance, 1u);
        ASSERT_GE(g.left, 0.0f);
        ASSERT_GE(g.top, 0.0f);
        ASSERT_LE(g.right, 1.0f);
        ASSERT_LE(g.bottom, 1.0f);
        // Cells are exactly advance x glyph height texels and never share a texel.
        const int x0 = static_cast<int>(g.left * w1 + 0.5f), y0 = static_cast<int>(g.top * h1 + 0.5f);
        EXPECT_EQ(static_cast<int>(g.right * w1 + 0.5f) - x0, static_cast<int>(g.advance));
        EXPECT_EQ(static_cast<int>(g.bottom * h1 + 0.5f) - y0, static_cast<int>(font.GetGlyphHeight()));
        for (int y = y0; y < y0 + static_cast<int>(font.GetGlyphHeight()); ++y)
            for (int x = x0; x < x0 + static_cast<int>(g.advance); ++x)
            {
                int& o = owner[static_cast<size_t>(y) * b.width + x];
                ASSERT_EQ(o, -1) << "cell overlap at " << x << "," << y;
                o = static_cast<int>(i);
            }
    }
    // Every lit texel belongs to some cell; letters, Latin and Cyrillic, light their own cells.
    std::vector<size_t> litPerGlyph(font.GetGlyphCount());
    size_t outside = 0;
    for (size_t t = 0; t < owner.size(); ++t)
    {
        if (texels[4 * t] == 0)
            continue;
        if (owner[t] == -1)
        {
            // Anti-aliased edges may spill a texel or two past the extent GDI reports.
            bool near = false;
            for (int dx = -2; dx <= 2 && !near; ++dx)
            {
                const size_t x = t % b.width + dx;
                near = x < b.width && owner[t - t % b.width + x] >= 0;
            }
            EXPECT_TRUE(near) << "lit texel far from any cell: " << t;
            ++outside;
            continue;
        }
        ++litPerGlyph[owner[t]];
    }
    for (int c : {int{'A'}, int{'W'}, int{'i'}, int{'0'}, 0xC0 /* А */, 0xC6 /* Ж */, 0xDF /* Я */,
                  0xFF /* я */, 0xA8 /* Ё */})
        EXPECT_GT(litPerGlyph[c - 32], 3u) << int(c);
    EXPECT_EQ(litPerGlyph[0], 0u); // the space
    size_t lit = 0;
    for (size_t n : litPerGlyph)
        lit += n;
    EXPECT_LT(outside * 100, lit);
    b.texture->Release();
}

TEST(D3dFontTest, HighBytesShowTheGlyphsOfCodePage1251)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    D3dFont font;
    Built b = Build(font, d);
    ASSERT_NE(b.texture, nullptr);
    const Bytes texels = Texels(b.texture, 4);
    const int h = static_cast<int>(font.GetGlyphHeight());
    // The cell of a byte against GDI's own drawing of a character.
    auto cellMatches = [&](uint8_t byte, char16_t c)
    {
        const XGlyph& g = GlyphOf(font, byte);
        const int w = static_cast<int>(g.advance);
        const int x0 = static_cast<int>(g.left * static_cast<float>(b.width - 1) + 0.5f);
        const int y0 = static_cast<int>(g.top * static_cast<float>(b.height - 1) + 0.5f);
        const std::vector<bool> mask = GdiMask(c, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (mask[static_cast<size_t>(y) * w + x] !=
                    (texels[4 * (static_cast<size_t>(y0 + y) * b.width + x0 + x)] != 0))
                    return false;
        return true;
    };
    struct Row
    {
        uint8_t byte;
        char16_t is, isNot;
    } rows[] = {
        {0xC6, u'\u0416', u'\u00C6'}, // Zhe, not the Latin-1 AE
        {0xE9, u'\u0439', u'\u00E9'}, // short i, not e acute
        {0xA8, u'\u0401', u'\u00A8'}, // Yo, not the diaeresis
        {0xB9, u'\u2116', u'\u00B9'}, // the numero sign
        {'A', u'A', u'B'},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(static_cast<int>(r.byte));
        EXPECT_TRUE(cellMatches(r.byte, r.is));
        EXPECT_FALSE(cellMatches(r.byte, r.isNot));
    }
    b.texture->Release();
}

TEST(D3dFontTest, RangesAndSizesPickTheirTextureSide)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    const unsigned idle = d.soft->GetLiveResourceCount();
    struct Row
    {
        uint32_t size, first, last;
        uint32_t minSide, maxSide; // 0: too large, the device refuses the texture
    } rows[] = {
        {10, 48, 57, 128, 128},  // digits only
        {10, 32, 255, 128, 256}, // the default
        {24, 32, 255, 256, 512},
        {36, 32, 255, 1024, 1024},
        // The measure fits these into 128 and 256, but cells placed a texel apart need the next
        // size up.
        {6, 32, 255, 256, 256},
        {14, 60, 255, 512, 512},
        {48, 48, 57, 128, 256},
        {48, 32, 255, 0, 0}, // more than 32 strips of 128
        {200, 32, 255, 0, 0},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(r.size);
        D3dFont font;
        font.SetSize(r.size);
        font.SetFirstChar(r.first);
        font.SetLastChar(r.last);
        if (r.maxSide == 0)
        {
            uint32_t w = 1, h = 1;

            EXPECT_NE(
                ThrownMessage([&] { font.CreateTexture(d.device, w, h, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); }),
                u"(nothing thrown)");
            EXPECT_EQ(w, 0u);
            EXPECT_EQ(h, 0u);
            continue;
        }
        Built b;
        EXPECT_EQ(ThrownMessage([&] { b = Build(font, d); }), u"(nothing thrown)");
        ASSERT_NE(b.texture, nullptr);
        EXPECT_GE(b.width, r.minSide);
        EXPECT_LE(b.width, r.maxSide);
        EXPECT_TRUE(b.width == 128 || b.width == 256 || b.width == 512 || b.width == 1024);
        for (uint32_t i = 0; i < font.GetGlyphCount(); ++i)
        {
            EXPECT_LE(font.GetGlyphs()[i].right, 1.0f);
            EXPECT_LE(font.GetGlyphs()[i].bottom, 1.0f);
        }
        b.texture->Release();
    }
    EXPECT_EQ(d.soft->GetLiveResourceCount(), idle);
}

// The quad both the font and the view text draw: corner order, texture corners, depth and colour
// for a glyph whose cell does not start at the texture's origin.
TEST(D3dFontTest, GlyphQuadMapsTheCellCornerToCorner)
{
    const XGlyph g{0.125f, 0.25f, 0.375f, 0.75f, 9};
    const std::array<XText2DVertex, 6> quad = GlyphQuad(3.5f, -2.0f, 0.5f, 11.0f, 0x80FF2010u, g);
    const float expected[6][4] = {
        {3.5f, -2.0f, 0.125f, 0.25f}, {12.5f, -2.0f, 0.375f, 0.25f}, {12.5f, 9.0f, 0.375f, 0.75f},
        {12.5f, 9.0f, 0.375f, 0.75f}, {3.5f, 9.0f, 0.125f, 0.75f},   {3.5f, -2.0f, 0.125f, 0.25f},
    };
    for (size_t i = 0; i < quad.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(quad[i].x, expected[i][0]);
        EXPECT_EQ(quad[i].y, expected[i][1]);
        EXPECT_EQ(quad[i].u, expected[i][2]);
        EXPECT_EQ(quad[i].v, expected[i][3]);
        EXPECT_EQ(quad[i].z, 0.5f);
        EXPECT_EQ(quad[i].rhw, 1.0f);
        EXPECT_EQ(quad[i].color, 0x80FF2010u);
    }
}

TEST(D3dFontTest, DrawTextRecordsItsStatesAndOneDrawOfTwoTrianglesPerGlyph)
{
    Drawing t;
    ASSERT_NE(t.b.texture, nullptr);
    const XGlyph& A = GlyphOf(t.font, 'A');
    const XGlyph& B = GlyphOf(t.font, 'B');
    const float h = static_cast<float>(t.font.GetGlyphHeight());

    EXPECT_EQ(t.font.DrawText(t.d.device, t.b.texture, 10, 20, 0x80FF0000u, "AB"), 20 + h);
    const std::vector<std::string> expected = {
        "SetVertexShader(null)", "SetPixelShader(null)", "SetStreamSource(0, null, 0, 28)",
        "SetIndices(null)", "SetFVF(324)",
        // the texture, then the render states
        "", "SetRenderState(7, 0)", "SetRenderState(28, 0)", "SetRenderState(27, 1)", "SetRenderState(19, 5)",
        "SetRenderState(20, 6)", "SetRenderState(15, 1)", "SetRenderState(24, 1)", "SetRenderState(25, 7)",
        "SetRenderState(8, 3)", "SetRenderState(22, 3)", "SetRenderState(52, 0)", "SetRenderState(136, 0)",
        "SetRenderState(152, 0)", "SetRenderState(151, 0)", "SetRenderState(167, 0)",
        "SetTextureStageState(0, 1, 4)", "SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)",
        "SetTextureStageState(0, 4, 4)", "SetTextureStageState(0, 5, 2)", "SetTextureStageState(0, 6, 0)",
        "SetSamplerState(0, 6, 1)", "SetSamplerState(0, 5, 1)", "SetSamplerState(0, 7, 0)",
        "SetTextureStageState(0, 11, 0)", "SetTextureStageState(0, 24, 0)", "SetTextureStageState(1, 1, 1)",
        "SetTextureStageState(1, 4, 1)", "DrawPrimitiveUP(4, 4, 28)", "SetTexture(0, null)",
        "SetTextureStageState(0, 1, 1)", "SetTextureStageState(0, 4, 1)"};
    std::vector<std::string> texts = t.d.Texts();
    ASSERT_EQ(texts.size(), expected.size());
    for (size_t i = 0; i < texts.size(); ++i)
    {
        if (!expected[i].empty())
        {
            EXPECT_EQ(texts[i], expected[i]) << i;
        }
    }
    EXPECT_EQ(texts[5].rfind("SetTexture(0, 0x", 0), 0u) << texts[5];

    auto draws = t.d.Draws();
    ASSERT_EQ(draws.size(), 1u);
    std::vector<XText2DVertex> v = CallVertices<XText2DVertex>(*draws[0]);
    ASSERT_EQ(v.size(), 12u);
    const float a = static_cast<float>(A.advance), b = static_cast<float>(B.advance);
    struct Corner
    {
        float x, y, u, v;
    } corners[12] = {
        {10, 20, A.left, A.top},
        {10 + a, 20, A.right, A.top},
        {10 + a, 20 + h, A.right, A.bottom},
        {10 + a, 20 + h, A.right, A.bottom},
        {10, 20 + h, A.left, A.bottom},
        {10, 20, A.left, A.top},
        {10 + a, 20, B.left, B.top},
        {10 + a + b, 20, B.right, B.top},
        {10 + a + b, 20 + h, B.right, B.bottom},
        {10 + a + b, 20 + h, B.right, B.bottom},
        {10 + a, 20 + h, B.left, B.bottom},
        {10 + a, 20, B.left, B.top},
    };
    for (size_t i = 0; i < 12; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(v[i].x, corners[i].x);
        EXPECT_EQ(v[i].y, corners[i].y);
        EXPECT_EQ(v[i].z, 0.99f);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].color, 0x80FF0000u);
        EXPECT_EQ(v[i].u, corners[i].u);
        EXPECT_EQ(v[i].v, corners[i].v);
    }
}

TEST(D3dFontTest, TextsDrawOnlyTheirGlyphsInRangeAndClipWholeCells)
{
    Drawing t;
    ASSERT_NE(t.b.texture, nullptr);
    const float a = static_cast<float>(GlyphOf(t.font, 'A').advance);
    const float b = static_cast<float>(GlyphOf(t.font, 'B').advance);
    const float h = static_cast<float>(t.font.GetGlyphHeight());
    const XRect wide(0, 0, 500, 500);

    struct Row
    {
        const char* what;
        std::function<float()> draw;
        float returned;
        std::vector<std::pair<float, float>> quads; // top-left corner of each drawn cell
    } rows[] = {
        {"control bytes take no room",
         [&]
         {
             return t.font.DrawText(t.d.device, t.b.texture, 0, 0, 0,
                                    "A\x01\x1f"
                                    "B");
         },
         h,
         {{0, 0}, {a, 0}}},
        {"nothing in range draws nothing",
         [&] { return t.font.DrawText(t.d.device, t.b.texture, 5, 7, 0, "\x01\x02"); },
         7 + h,
         {}},
        {"empty text", [&] { return t.font.DrawText(t.d.device, t.b.texture, 5, 7, 0, ""); }, 7 + h, {}},
        {"wide text in code page 1251",
         [&] { return t.font.DrawText(t.d.device, t.b.texture, 0, 0, 0, XString(u"A\u0416")); },
         h,
         {{0, 0}, {a, 0}}},
        {"line feeds start new lines",
         [&] { return t.font.DrawTextClipped(t.d.device, t.b.texture, 3, 4, wide, 0, "A\nB\nA"); },
         4 + 3 * h,
         {{3, 4}, {3, 4 + h}, {3, 4 + 2 * h}}},
        {"a clip narrower than the first glyph",
         [&]
         { return t.font.DrawTextClipped(t.d.device, t.b.texture, 0, 0, XRect(0, 0, a - 1, 100), 0, "AB"); },
         h,
         {}},
        {"a clip cutting the second glyph",
         [&] {
             return t.font.DrawTextClipped(t.d.device, t.b.texture, 0, 0, XRect(0, 0, a + b - 1, 100), 0,
                                           "AB");
         },
         h,
         {{0, 0}}},
        {"clipped glyphs still advance",
         [&]
         { return t.font.DrawTextClipped(t.d.device, t.b.texture, 0, 0, XRect(a, 0, 500, 100), 0, "AB"); },
         h,
         {{a, 0}}},
        {"lines below the clip",
         [&]
         { return t.font.DrawTextClipped(t.d.device, t.b.texture, 0, 0, XRect(0, 0, 500, h), 0, "A\nB"); },
         2 * h,
         {{0, 0}}},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(r.what);
        t.d.Clear();
        EXPECT_EQ(r.draw(), r.returned);
        auto draws = t.d.Draws();
        if (r.quads.empty())
        {
            EXPECT_TRUE(t.d.Log().empty());
            continue;
        }
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0]->args, "4, " + std::to_string(2 * r.quads.size()) + ", 28");
        std::vector<XText2DVertex> v = CallVertices<XText2DVertex>(*draws[0]);
        ASSERT_EQ(v.size(), 6 * r.quads.size());
        for (size_t q = 0; q < r.quads.size(); ++q)
        {
            EXPECT_EQ(v[6 * q].x, r.quads[q].first);
            EXPECT_EQ(v[6 * q].y, r.quads[q].second);
        }
    }
    // Wide and narrow forms agree; Cyrillic glyphs have their own advances.
    EXPECT_EQ(t.font.GetTextWidth("AB"), a + b);
    EXPECT_EQ(t.font.GetTextWidth("A\x01"
                                  "B\x7f"),
              a + b + static_cast<float>(GlyphOf(t.font, 0x7F).advance));
    EXPECT_EQ(t.font.GetTextWidth(XString(u"\u0416\u044f")), t.font.GetTextWidth("\xC6\xFF"));
    EXPECT_EQ(t.font.GetTextWidth(""), 0.0f);
    D3dFont unbuilt;
    EXPECT_EQ(unbuilt.GetTextWidth("AB"), 0.0f);
}

TEST(D3dFontTest, DeviceFailuresLeaveNoTexture)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    D3D9Faults* faults = GetD3D9Faults();
    ASSERT_NE(faults, nullptr);
    const unsigned idle = d.soft->GetLiveResourceCount();
    D3dFont font;
    faults->failCreateTexture = 1;
    EXPECT_NE(ThrownMessage([&] { Build(font, d); }), u"(nothing thrown)");
    faults->failLockRect = 1;
    EXPECT_NE(ThrownMessage([&] { Build(font, d); }), u"(nothing thrown)");
    EXPECT_EQ(d.soft->GetLiveResourceCount(), idle);
    *faults = D3D9Faults{};
}

TEST(D3dFontTest, DrawnTextLightsPixelsOnlyInsideItsCells)
{
    Drawing t;
    ASSERT_NE(t.b.texture, nullptr);
    IDirect3DDevice9* device = t.d.device;
    device->EndScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->BeginScene();
    const char* text = "AW\xC6j";
    const float x = 5, y = 10;
    t.font.DrawText(device, t.b.texture, x, y, 0xFFFFFFFFu, text);
    device->EndScene();

    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    ASSERT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(back, copy), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::vector<uint32_t> pixels;
    for (UINT row = 0; row < desc.Height; ++row)
    {
        const uint32_t* p = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                              static_cast<size_t>(row) * locked.Pitch);
        pixels.insert(pixels.end(), p, p + desc.Width);
    }
    copy->UnlockRect();
    copy->Release();
    back->Release();
    device->BeginScene(); // the fixture ends the scene

    // The cells the text covers, left to right.
    struct Cell
    {
        float left, right;
        size_t lit = 0;
    };
    std::vector<Cell> cells;
    float left = x;
    for (const char* p = text; *p; ++p)
    {
        const float a = static_cast<float>(GlyphOf(t.font, static_cast<uint8_t>(*p)).advance);
        cells.push_back({left, left + a});
        left += a;
    }
    const float bottom = y + static_cast<float>(t.font.GetGlyphHeight());
    size_t lit = 0;
    for (UINT py = 0; py < desc.Height; ++py)
        for (UINT px = 0; px < desc.Width; ++px)
        {
            if ((pixels[py * desc.Width + px] & 0xFFFFFF) == 0)
                continue;
            ++lit;
            const float cx = static_cast<float>(px) + 0.5f, cy = static_cast<float>(py) + 0.5f;
            bool inside = false;
            for (Cell& c : cells)
                if (c.left <= cx && cx < c.right && y <= cy && cy < bottom)
                {
                    inside = true;
                    ++c.lit;
                }
            EXPECT_TRUE(inside) << "lit pixel outside the glyph cells at " << px << "," << py;
        }
    for (const Cell& c : cells)
        EXPECT_GT(c.lit, 3u) << "cell at " << c.left;
}
