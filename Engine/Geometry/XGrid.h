// A rectangular line grid in the local XY plane, centred on the origin: WidthSegs cells across
// and HeightSegs down, so WidthSegs + 1 vertical and HeightSegs + 1 horizontal lines. Every
// viewport draws one as its reference grid, and it is the one shape every scene registers.
// Negative sizes are kept as set; the lines use their absolute values.
#pragma once

#include "Engine/Geometry/XPlanarShape.h"

class XGrid : public XPlanarShape
{
public:
    static constexpr uint32_t WidthChunk = 0x76450001;
    static constexpr uint32_t HeightChunk = 0x76450002;
    static constexpr uint32_t WidthSegsChunk = 0x76450003;
    static constexpr uint32_t HeightSegsChunk = 0x76450004;
    static constexpr uint32_t DefaultSegs = 8;
    static constexpr uint32_t MinSegs = 2;
    static constexpr uint32_t MaxSegs = 128;

    // Name "Grid", 1 x 1 with 8 x 8 cells.
    XGrid();

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The shape's chunks, then 0x76450000 with the four parameters.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x76450000 resets the parameters and passes each one present to its setter; other
    // chunks go to the shape base.
    void Load(XScene* scene, XReader& reader) override;
    // The shape's fields, then Width, Height, WidthSegs, HeightSegs.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // Horizontal lines top to bottom, then vertical lines left to right; each line is one edge
    // between two points of its own.
    void ShapeBuild() override;

    uint32_t GetWidthSegs() const { return m_WidthSegs; }
    uint32_t GetHeightSegs() const { return m_HeightSegs; }
    // Sizes clamp to [-1000, 1000], counts to [2, 128]; a change invalidates the outline.
    void SetWidthSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);
    // All four at once, clamped as above, stored and invalidated whether or not they changed.
    void SetGridParams(unsigned widthSegs, unsigned heightSegs, float width, float height);

private:
    uint32_t m_WidthSegs = DefaultSegs;
    uint32_t m_HeightSegs = DefaultSegs;
};

class XGridDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

// The descriptor every scene registers.
extern XGridDesc GridDesc;
