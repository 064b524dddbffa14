// A closed rectangle in the local XY plane, centred on the origin, its sides divided into
// segments. Unlike the grid its outline is one chain of points with outward point normals, so
// the sweep turns it into a rectangular frame of tube.
#pragma once

#include "Engine/Geometry/XPlanarShape.h"

class XRectangle : public XPlanarShape
{
public:
    static constexpr uint32_t WidthChunk = 0x76490001;
    static constexpr uint32_t HeightChunk = 0x76490002;
    static constexpr uint32_t WidthSegsChunk = 0x76490003;
    static constexpr uint32_t HeightSegsChunk = 0x76490004;
    static constexpr uint32_t DefaultSegs = 8;
    static constexpr uint32_t MaxSegs = 128;

    // Name "Rectangle", 1 x 1 with 8 segments a side.
    XRectangle();
    ~XRectangle() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The shape's chunks, then 0x76490000 with the four parameters.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x76490000 resets the parameters and passes each one present to its setter; other
    // chunks go to the shape base.
    void Load(XScene* scene, XReader& reader) override;
    // The shape's fields, then Width, Height, WidthSegs, HeightSegs.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // 2 (WidthSegs + HeightSegs) + 1 points counter-clockwise from (-w/2, -h/2), the last
    // repeating the first, joined in a chain; side normals point outwards, corners diagonally.
    void ShapeBuild() override;

    uint32_t GetWidthSegs() const { return m_WidthSegs; }
    uint32_t GetHeightSegs() const { return m_HeightSegs; }
    // Sizes clamp to [-1000, 1000], counts to [1, 128]; a change invalidates the outline.
    void SetWidthSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);
    // All four at once, the counts clamped to [2, 128], stored and invalidated unconditionally.
    void SetParams(unsigned widthSegs, unsigned heightSegs, float width, float height);

private:
    uint32_t m_WidthSegs = DefaultSegs;
    uint32_t m_HeightSegs = DefaultSegs;
};

// Not registered by the scene: added by whoever offers rectangles.
class XRectangleDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XRectangleDesc RectangleDesc;
