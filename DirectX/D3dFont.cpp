#include "DirectX/D3dFont.h"

#include "Components/XException.h"
#include "DirectX/D3dUtils.h"
#include "Platform/Gdi/Gdi.h"

#include <cstring>
#include <vector>

using StrUtils::XBaseString;

namespace
{
// The width of the strip the measuring pass lays the glyphs out in.
constexpr uint32_t StripWidth = 128;

// A memory DC with the font's GDI font selected, freed on every way out.
class GlyphDC
{
public:
    GlyphDC(uint32_t size, uint32_t weight, uint32_t italic, uint32_t underline, uint32_t strikeOut,
            uint32_t quality, const XBaseString<WCHAR>& face)
    {
        m_DC = CreateCompatibleDC(nullptr);
        if (!m_DC)
            throw XException("Font texture build failed, no device context!");
        SetMapMode(m_DC, MM_TEXT);
        int height = -MulDiv(static_cast<int>(size), GetDeviceCaps(m_DC, LOGPIXELSY), 72);
        m_Font = CreateFontW(height, 0, 0, 0, static_cast<int>(weight), italic, underline, strikeOut,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality,
                             VARIABLE_PITCH, face.c_str());
        m_OldFont = SelectObject(m_DC, m_Font);
        SetTextAlign(m_DC, TA_TOP | TA_LEFT);
    }
    ~GlyphDC()
    {
        if (m_OldBitmap)
            SelectObject(m_DC, m_OldBitmap);
        if (m_Bitmap)
            DeleteObject(m_Bitmap);
        SelectObject(m_DC, m_OldFont);
        DeleteDC(m_DC);
        if (m_Font)
            DeleteObject(m_Font);
    }
    GlyphDC(const GlyphDC&) = delete;
    GlyphDC& operator=(const GlyphDC&) = delete;

    SIZE Extent(uint32_t code) const
    {
        const char c = static_cast<char>(code);
        SIZE size{0, 0};
        GetTextExtentPoint32A(m_DC, &c, 1, &size);
        return size;
    }

    // A width x height 32-bit top-down DIB section, selected; its pixels start out 0.
    const uint32_t* SelectDib(uint32_t width, uint32_t height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = static_cast<LONG>(width);
        info.bmiHeader.biHeight = -static_cast<LONG>(height);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_Bitmap = CreateDIBSection(m_DC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!m_Bitmap || !bits)
            throw XException("Font texture build failed, no glyph bitmap!");
        m_OldBitmap = SelectObject(m_DC, m_Bitmap);
        return static_cast<const uint32_t*>(bits);
    }

    void Draw(int x, int y, uint32_t code) const
    {
        const char c = static_cast<char>(code);
        ExtTextOutA(m_DC, x, y, ETO_OPAQUE, nullptr, &c, 1, nullptr);
    }

    HDC Get() const { return m_DC; }

private:
    HDC m_DC = nullptr;
    HFONT m_Font = nullptr;
    HGDIOBJ m_OldFont = nullptr;
    HBITMAP m_Bitmap = nullptr;
    HGDIOBJ m_OldBitmap = nullptr;
};

// Whether glyphs of these advances, placed in rows as the build places them, stay inside a
// side x side texture.
bool GlyphsFit(const std::vector<uint32_t>& advances, uint32_t glyphHeight, uint32_t side)
{
    if (side == 0)
        return false;
    uint64_t x = 0, y = 0;
    for (uint32_t advance : advances)
    {
        if (x + advance + 1 > side)
        {
            x = 0;
            y += glyphHeight + 1;
        }
        if (x + advance + 1 > side || y + glyphHeight > side - 1)
            return false;
        x += advance + 1;
    }
    return true;
}
} // namespace

std::array<XText2DVertex, 6> GlyphQuad(float x, float y, float z, float h, uint32_t color, const XGlyph& glyph)
{
    const float right = x + static_cast<float>(glyph.advance);
    const float bottom = y + h;
    return {{
        {x, y, z, 1.0f, color, glyph.left, glyph.top},
        {right, y, z, 1.0f, color, glyph.right, glyph.top},
        {right, bottom, z, 1.0f, color, glyph.right, glyph.bottom},
        {right, bottom, z, 1.0f, color, glyph.right, glyph.bottom},
        {x, bottom, z, 1.0f, color, glyph.left, glyph.bottom},
        {x, y, z, 1.0f, color, glyph.left, glyph.top},
    }};
}

D3dFont::D3dFont() : m_FaceName(u"Arial") {}

D3dFont::~D3dFont() = default;

unsigned D3dFont::GetTexelBytes(D3DFORMAT format)
{
    switch (format)
    {
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        return 2;
    default:
        return 0;
    }
}

uint32_t D3dFont::ChooseTextureSize()
{
    GlyphDC dc(m_Size, m_Weight, m_Italic, m_Underline, m_StrikeOut, m_Quality, m_FaceName);
    uint64_t x = 0, y = 0;
    uint32_t lastHeight = 0;
    std::vector<uint32_t> advances;
    for (uint32_t c = m_FirstChar; c <= m_LastChar && c <= 255; ++c)
    {
        SIZE s = dc.Extent(c);
        const uint32_t cx = static_cast<uint32_t>(s.cx < 0 ? 0 : s.cx);
        lastHeight = static_cast<uint32_t>(s.cy < 0 ? 0 : s.cy);
        if (x + cx + 1 > StripWidth)
        {
            x = 0;
            y += lastHeight + 1;
        }
        x += cx + 1;
        advances.push_back(cx + 1);
    }
    const uint64_t total = x == 0 ? y : y + lastHeight;
    // total / 128 <= 1, 4, 16, 32 without rounding the quotient down.
    uint32_t side = 0;
    if (total <= StripWidth)
        side = 128;
    else if (total <= 4 * StripWidth)
        side = 256;
    else if (total <= 16 * StripWidth)
        side = 512;
    else if (total <= 32 * StripWidth)
        side = 1024;
    // The build places each glyph one pixel further apart than the measure counts, so a strip
    // that only just fits may need the next size up.
    while (side != 0 && !GlyphsFit(advances, lastHeight, side))
        side = side < 1024 ? side * 2 : 0;
    return side;
}

IDirect3DTexture9* D3dFont::CreateTexture(IDirect3DDevice9* device, uint32_t& width, uint32_t& height,
                                          D3DFORMAT format, D3DPOOL pool)
{
    const unsigned texelBytes = GetTexelBytes(format);
    if (texelBytes == 0)
        throw XException("Font texture build failed, unsupported texture format!");
    if (!device)
        return nullptr;
    width = height = ChooseTextureSize();
    IDirect3DTexture9* texture = nullptr;
    CheckD3D(device->CreateTexture(width, height, 0, 0, format, pool, &texture, nullptr));
    if (!texture)
        return nullptr;
    try
    {
        D3DLOCKED_RECT locked{};
        CheckD3D(texture->LockRect(0, &locked, nullptr, 0));
        try
        {
            BuildGlyphs(static_cast<uint8_t*>(locked.pBits), locked.Pitch, width, height, texelBytes);
        }
        catch (...)
        {
            texture->UnlockRect(0);
            throw;
        }
        texture->UnlockRect(0);
    }
    catch (...)
    {
        texture->Release();
        throw;
    }
    return texture;
}

void D3dFont::BuildGlyphs(uint8_t* bits, int pitch, uint32_t width, uint32_t height, unsigned texelBytes)
{
    m_Glyphs.reset();
    const uint32_t count = m_LastChar >= m_FirstChar && m_LastChar <= 255 ? m_LastChar - m_FirstChar + 1 : 0;
    m_Glyphs = std::make_unique<XGlyph[]>(count ? count : 1);
    m_GlyphCount = count;

    GlyphDC dc(m_Size, m_Weight, m_Italic, m_Underline, m_StrikeOut, m_Quality, m_FaceName);
    SetTextColor(dc.Get(), 0xFFFFFF);
    SetBkColor(dc.Get(), 0);
    for (uint32_t i = 0; i < count; ++i)
    {
        SIZE s = dc.Extent(m_FirstChar + i);
        m_Glyphs[i].advance = static_cast<uint32_t>(s.cx < 0 ? 0 : s.cx) + 1;
        m_GlyphHeight = static_cast<uint32_t>(s.cy < 0 ? 0 : s.cy);
    }

    const uint32_t* dib = dc.SelectDib(width, height);
    const float w1 = static_cast<float>(width - 1);
    const float h1 = static_cast<float>(height - 1);
    uint32_t x = 0, y = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        XGlyph& g = m_Glyphs[i];
        if (x + g.advance + 1 > width)
        {
            x = 0;
            y += m_GlyphHeight + 1;
        }
        dc.Draw(static_cast<int>(x), static_cast<int>(y), m_FirstChar + i);
        g.left = static_cast<float>(x) / w1;
        g.top = static_cast<float>(y) / h1;
        g.right = static_cast<float>(x + g.advance) / w1;
        g.bottom = static_cast<float>(y + m_GlyphHeight) / h1;
        x += g.advance + 1;
    }

    // Any lit pixel, grey edges included, becomes a fully set texel: a two-level mask.
    for (uint32_t row = 0; row < height; ++row)
    {
        const uint32_t* src = dib + static_cast<size_t>(row) * width;
        uint8_t* dst = bits + static_cast<ptrdiff_t>(row) * pitch;
        for (uint32_t col = 0; col < width; ++col)
            std::memset(dst + static_cast<size_t>(col) * texelBytes, src[col] != 0 ? 0xFF : 0, texelBytes);
    }
}

const XGlyph* D3dFont::Glyph(uint8_t code) const
{
    if (!m_Glyphs || code < m_FirstChar || code > m_LastChar || code - m_FirstChar >= m_GlyphCount)
        return nullptr;
    return &m_Glyphs[code - m_FirstChar];
}

float D3dFont::Draw(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y, uint32_t color,
                    const char* text, const XRect* clip)
{
    const float h = static_cast<float>(m_GlyphHeight);
    std::vector<XText2DVertex> vertices;
    const float startX = x;
    for (const char* p = text ? text : ""; *p; ++p)
    {
        const uint8_t c = static_cast<uint8_t>(*p);
        if (clip && c == '\n')
        {
            x = startX;
            y += h;
            continue;
        }
        const XGlyph* g = Glyph(c);
        if (!g)
            continue;
        const float a = static_cast<float>(g->advance);
        if (!clip || (clip->left <= x && x + a <= clip->right && clip->top <= y && y + h <= clip->bottom))
        {
            const std::array<XText2DVertex, 6> quad = GlyphQuad(x, y, TextZ, h, color, *g);
            vertices.insert(vertices.end(), quad.begin(), quad.end());
        }
        x += a;
    }
    if (vertices.empty() || !device)
        return y + h;

    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    device->SetStreamSource(0, nullptr, 0, sizeof(XText2DVertex));
    device->SetIndices(nullptr);
    device->SetFVF(XTEXT2D_FVF);
    device->SetTexture(0, texture);

    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    device->SetRenderState(D3DRS_CLIPPING, FALSE);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
    device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    device->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    const HRESULT result = device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                                   vertices.data(), sizeof(XText2DVertex));
    CheckD3D(result);

    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    return y + h;
}

float D3dFont::DrawText(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y,
                        uint32_t color, const char* text)
{
    return Draw(device, texture, x, y, color, text, nullptr);
}

float D3dFont::DrawText(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y,
                        uint32_t color, const XBaseString<WCHAR>& text)
{
    return Draw(device, texture, x, y, color, WideToAnsi(text).c_str(), nullptr);
}

float D3dFont::DrawTextClipped(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y,
                               const XRect& clip, uint32_t color, const char* text)
{
    return Draw(device, texture, x, y, color, text, &clip);
}

float D3dFont::DrawTextClipped(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y,
                               const XRect& clip, uint32_t color, const XBaseString<WCHAR>& text)
{
    return Draw(device, texture, x, y, color, WideToAnsi(text).c_str(), &clip);
}

float D3dFont::GetTextWidth(const char* text) const
{
    float width = 0;
    for (const char* p = text ? text : ""; *p; ++p)
        if (const XGlyph* g = Glyph(static_cast<uint8_t>(*p)))
            width += static_cast<float>(g->advance);
    return width;
}

float D3dFont::GetTextWidth(const XBaseString<WCHAR>& text) const
{
    return GetTextWidth(WideToAnsi(text).c_str());
}
