// A font drawn into a Direct3D 9 device from a glyph texture: every character of a code range is
// rendered once with GDI, packed in rows into a square texture of 128 to 1024 texels and turned
// into an opaque-white-on-transparent mask; text is then drawn as screen-space quads with alpha
// blending. Characters are single bytes of the ANSI code page (1251); wide text is converted to
// it first.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XVertex.h"
#include "Platform/D3D9/D3D9.h"

#include <array>
#include <cstdint>
#include <memory>

// One glyph of the table: the texture coordinates of its cell and its advance (GDI extent width
// plus 1) in pixels.
struct XGlyph
{
    float left;
    float top;
    float right;
    float bottom;
    uint32_t advance;
};
static_assert(sizeof(XGlyph) == 20, "glyph records are read as 20-byte records");

// A pre-transformed screen-space text vertex.
struct XText2DVertex
{
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(XText2DVertex) == 28);

constexpr DWORD XTEXT2D_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x144

// The two triangles of one glyph drawn h pixels high with its top-left corner at (x, y) and depth
// z: top-left, top-right, bottom-right, then bottom-right, bottom-left, top-left, each corner
// taking the matching corner of the glyph's texture cell. The glyph is as wide as its advance.
std::array<XText2DVertex, 6> GlyphQuad(float x, float y, float z, float h, uint32_t color, const XGlyph& glyph);

class D3dFont
{
public:
    static constexpr uint32_t DefaultSize = 10;
    static constexpr uint32_t DefaultWeight = 400;
    static constexpr uint32_t DefaultFirstChar = 32;
    static constexpr uint32_t DefaultLastChar = 255;
    // Depth of every text vertex.
    static constexpr float TextZ = 0.99f;

    // 10 points, weight 400, no flags, quality 0, "Arial", characters 32 to 255, no glyphs yet.
    D3dFont();
    virtual ~D3dFont();
    D3dFont(const D3dFont&) = delete;
    D3dFont& operator=(const D3dFont&) = delete;

    // Builds the glyph table and a new texture holding the glyphs; width and height receive the
    // chosen size. The caller owns the texture. A format other than R8G8B8, A8R8G8B8, X8R8G8B8,
    // R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4 or X4R4G4B4 throws XException "Font texture build
    // failed, unsupported texture format!" before anything is made; a failing device call throws
    // through CheckD3D and leaves no texture behind.
    IDirect3DTexture9* CreateTexture(IDirect3DDevice9* device, uint32_t& width, uint32_t& height,
                                     D3DFORMAT format, D3DPOOL pool);

    // One line with its top-left corner at (x, y) in screen pixels; bytes outside the character
    // range are skipped without advancing. Returns y + the glyph height. Nothing is drawn (and no
    // device state touched) when no character of the text has a glyph.
    float DrawText(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y, uint32_t color,
                   const char* text);
    float DrawText(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y, uint32_t color,
                   const StrUtils::XBaseString<WCHAR>& text);
    // As DrawText, with line feeds starting new lines and only the characters whose whole cell lies
    // inside the clip drawn (the others still advance). Returns the last line's y + glyph height.
    float DrawTextClipped(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y,
                          const XRect& clip, uint32_t color, const char* text);
    float DrawTextClipped(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y,
                          const XRect& clip, uint32_t color, const StrUtils::XBaseString<WCHAR>& text);
    // The sum of the advances of the characters inside the range (0 before the first build).
    float GetTextWidth(const char* text) const;
    float GetTextWidth(const StrUtils::XBaseString<WCHAR>& text) const;

    // Settings, used by the next build. The range is taken as it stands: callers keep
    // first <= last <= 255.
    uint32_t GetSize() const { return m_Size; }
    uint32_t GetWeight() const { return m_Weight; }
    uint32_t GetItalic() const { return m_Italic; }
    uint32_t GetUnderline() const { return m_Underline; }
    uint32_t GetStrikeOut() const { return m_StrikeOut; }
    uint32_t GetQuality() const { return m_Quality; }
    StrUtils::XBaseString<WCHAR> GetFaceName() const { return m_FaceName; }
    uint32_t GetFirstChar() const { return m_FirstChar; }
    uint32_t GetLastChar() const { return m_LastChar; }
    void SetSize(uint32_t size) { m_Size = size; }
    void SetWeight(uint32_t weight) { m_Weight = weight; }
    void SetItalic(uint32_t italic) { m_Italic = italic; }
    void SetUnderline(uint32_t underline) { m_Underline = underline; }
    void SetStrikeOut(uint32_t strikeOut) { m_StrikeOut = strikeOut; }
    void SetQuality(uint32_t quality) { m_Quality = quality; }
    void SetFaceName(const StrUtils::XBaseString<WCHAR>& name) { m_FaceName = name; }
    void SetFirstChar(uint32_t code) { m_FirstChar = code; }
    void SetLastChar(uint32_t code) { m_LastChar = code; }

    // Results of the last build: the cell height in pixels (0 before), and the glyph table of
    // last - first + 1 records (null before), the record of code c at c - first.
    uint32_t GetGlyphHeight() const { return m_GlyphHeight; }
    const XGlyph* GetGlyphs() const { return m_Glyphs.get(); }
    uint32_t GetGlyphCount() const { return m_Glyphs ? m_GlyphCount : 0; }

    // Bytes per texel of a glyph texture format; 0 for a format the font cannot build.
    static unsigned GetTexelBytes(D3DFORMAT format);

protected:
    uint32_t m_Size = DefaultSize;
    uint32_t m_Weight = DefaultWeight;
    uint32_t m_Italic = 0;
    uint32_t m_Underline = 0;
    uint32_t m_StrikeOut = 0;
    uint32_t m_Quality = 0;
    StrUtils::XBaseString<WCHAR> m_FaceName;
    uint32_t m_GlyphHeight = 0;
    uint32_t m_FirstChar = DefaultFirstChar;
    uint32_t m_LastChar = DefaultLastChar;

private:
    // Side of the square texture the glyphs need (0 when they need more than 1024).
    uint32_t ChooseTextureSize();
    // Renders the glyphs and fills the locked level-0 bits.
    void BuildGlyphs(uint8_t* bits, int pitch, uint32_t width, uint32_t height, unsigned texelBytes);
    // The glyph of a code, or null outside the range or before the first build.
    const XGlyph* Glyph(uint8_t code) const;
    float Draw(IDirect3DDevice9* device, IDirect3DTexture9* texture, float x, float y, uint32_t color,
               const char* text, const XRect* clip);

    std::unique_ptr<XGlyph[]> m_Glyphs;
    uint32_t m_GlyphCount = 0;
};
