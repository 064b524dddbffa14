// A texture whose texels are the glyphs of one GDI font: every character from StartChar to EndChar
// laid out in rows, with a table giving each glyph's texture rectangle and width. The 3D text
// builds its quads from that table. The font settings live in the bitmap font the object holds,
// which also builds the texture.
#pragma once

#include "DirectX/D3dFont.h"
#include "Engine/Scene/XTexture.h"

#include <cstdint>

class XFont : public XTexture
{
public:
    static constexpr uint32_t DefaultSize = 14;
    // Quality a loaded font starts from before its own sub-chunks.
    static constexpr uint32_t LoadQuality = 4;
    // Property ids; the scene-file sub-chunks are ClassId::Font + 1 ... + 8.
    enum : uint32_t
    {
        PidSize = 2000,
        PidWeight = 2001,
        PidItalic = 2002,
        PidUnderline = 2003,
        PidStrikeOut = 2004,
        PidQuality = 2005,
        PidFontName = 2006,
        PidStartChar = 2007,
        PidEndChar = 2008,
        PidEmptyText = 1006, // reads as an empty 8-bit text, ignores writes
    };

    // Name "Font", 14 points, the bitmap font's other defaults, no glyphs yet.
    XFont();
    ~XFont() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The texture's chunks, then 0x00030000 with size, weight, the three flags, quality and the
    // face name. The character range is not saved.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x00030000 resets the settings (quality to 4) and passes each sub-chunk to its setter;
    // other chunks go to the texture.
    void Load(XScene* scene, XReader& reader) override;
    // The nine font rows, then the object's.
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    // With a device: the old texture released and the glyph texture built in the texture's
    // Width, Height, Format and Pool. Nothing without a device.
    void Recreate() override;

    // Each setter does nothing for an unchanged value; otherwise it stores it, rebuilds the texture
    // at once (when there is a device) and tells the holders (0x200000 with 0).
    uint32_t GetSize() const { return m_Font.GetSize(); }
    uint32_t GetWeight() const { return m_Font.GetWeight(); }
    bool GetItalic() const { return m_Font.GetItalic() != 0; }
    bool GetUnderline() const { return m_Font.GetUnderline() != 0; }
    bool GetStrikeOut() const { return m_Font.GetStrikeOut() != 0; }
    uint32_t GetQuality() const { return m_Font.GetQuality(); }
    XString GetFontName() const { return m_Font.GetFaceName(); }
    uint32_t GetStartChar() const { return m_Font.GetFirstChar(); }
    uint32_t GetEndChar() const { return m_Font.GetLastChar(); }
    void SetSize(uint32_t size);
    void SetWeight(uint32_t weight);
    void SetItalic(bool italic);
    void SetUnderline(bool underline);
    void SetStrikeOut(bool strikeOut);
    void SetQuality(uint32_t quality);
    void SetFontName(const XString& name);
    // Refused (nothing changes) above EndChar.
    void SetStartChar(uint32_t code);
    // Refused below StartChar or above 255.
    void SetEndChar(uint32_t code);

    // EndChar - StartChar + 1.
    uint32_t GetCharsCount() const { return GetEndChar() - GetStartChar() + 1; }
    // The glyph table of the last build (null before the first): the record of code c at
    // c - StartChar.
    const XGlyph* GetChars() const { return m_Font.GetGlyphs(); }
    // Glyph cell height in texels; 0 before the first build.
    uint32_t GetCharHeight() const { return m_Font.GetGlyphHeight(); }
    const D3dFont& GetD3dFont() const { return m_Font; }

private:
    void Changed();

    D3dFont m_Font;
};

class XFontDesc : public XTextureDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XFontDesc FontDesc;
