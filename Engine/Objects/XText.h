// One line of text as a flat strip of quads in the local XY plane, centred on the origin, one quad
// per character, its texture coordinates addressing the glyph texture of a font object. The strip
// always spans Width by Height: glyphs are scaled to fit in proportion to their advances. Without
// a font (or before the font has built its glyphs) every character gets an equal cell and the
// strip maps the unit texture square.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Scene/XFont.h"

#include <cstdint>

class XText : public XBaseMesh
{
public:
    static constexpr uint32_t WidthChunk = 0x34500001;
    static constexpr uint32_t HeightChunk = 0x34500002;
    static constexpr uint32_t TextChunk = 0x34500003;
    static constexpr uint32_t FontChunk = 0x34500004;
    // Property ids.
    static constexpr uint32_t PidWidth = 0x34500001;
    static constexpr uint32_t PidHeight = 0x34500002;
    static constexpr uint32_t PidText = 0x34500003;
    static constexpr uint32_t PidFontTextureName = 0x34500005;
    static constexpr float DefaultWidth = 2.0f;
    static constexpr float DefaultHeight = 0.75f;
    static constexpr float MaxSize = 1000.0f;
    // Texts and font names read from a file are at most this long.
    static constexpr unsigned MaxReadText = 1024;

    // Name "Text", text "Text", 2 x 0.75, no font.
    XText();
    // Drops the font first.
    ~XText() override;

    // From the font: deleted (1) or released (2) drops it, texture changed (0x200000) rebuilds
    // the mesh. Other senders go to the mesh base.
    void Notification(XRefManager* sender, unsigned message, uintptr_t param) override;
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The mesh chunks, then 0x34500000 with width, height, text and the font object's name.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x34500000 resets width, height and text, drops the font, then reads its sub-chunks;
    // the font is found by name in `scene`, so it must be loaded before the text.
    void Load(XScene* scene, XReader& reader) override;
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    bool Renderable() override;
    void Render(unsigned frame, XViewport* viewport, XMeshNode* node, unsigned flags) override;
    // Draws nothing.
    virtual void Render(unsigned frame, XViewport* viewport, const XMatrix& matrix, unsigned flags);
    // +-|Width| / 2, +-|Height| / 2, z 0.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    // The strip, rebuilt when stale.
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    // First left press: plane and start; moves: the node at the middle of the drag and the signed
    // drag size; second press: done (true).
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    // Clamped to [-1000, 1000]; a change rebuilds the mesh.
    void SetWidth(float width);
    void SetHeight(float height);
    XString GetText() const { return m_Text; }
    void SetText(const XString& text);
    XFont* GetFont() const { return m_Font.Get(); }
    void SetFont(XFont* font);
    // The font object's name; empty without a font.
    XString GetFontTextureName() const;
    // Looks the name up in the object's scene and takes the font found there (none when it is not
    // a font). Outside a scene nothing happens.
    void SetFontTextureName(const XString& name);

private:
    void BuildMesh(XMeshNode* node);

    XMesh m_Mesh;
    XReference<XFont> m_Font;
    float m_Width = DefaultWidth;
    float m_Height = DefaultHeight;
    XString m_Text;
};

class XTextDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XTextDesc TextDesc;
