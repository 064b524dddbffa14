// A closed rectangle in the local XY plane, centred on the origin, its sides divided into
// segments. Unlike the grid its outline is one chain of points with outward point normals, so
// the sweep turns it into a rectangular frame of tube.
#pragma once

#include "Engine/Geometry/XBaseShape.h"

class XRectangle : public XBaseShape
{
public:
    static constexpr uint32_t WidthChunk = 0x76490001;
    static constexpr uint32_t HeightChunk = 0x76490002;
    static constexpr uint32_t WidthSegsChunk = 0x76490003;
    static constexpr uint32_t HeightSegsChunk = 0x76490004;
    static constexpr float DefaultSize = 1.0f;
    static constexpr uint32_t DefaultSegs = 8;
    static constexpr uint32_t MaxSegs = 128;
    static constexpr float MaxSize = 1000.0f;

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
    // +-|size| / 2 in x and y, +-0.001 in z.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    // As the grid's: the drag gives the node's place (its middle) and the signed size.
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;
    // 2 (WidthSegs + HeightSegs) + 1 points counter-clockwise from (-w/2, -h/2), the last
    // repeating the first, joined in a chain; side normals point outwards, corners diagonally.
    void ShapeBuild() override;

    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    uint32_t GetWidthSegs() const { return m_WidthSegs; }
    uint32_t GetHeightSegs() const { return m_HeightSegs; }
    // Sizes clamp to [-1000, 1000], counts to [1, 128]; a change invalidates the outline.
    void SetWidth(float width);
    void SetHeight(float height);
    void SetWidthSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);
    // All four at once, the counts clamped to [2, 128], stored and invalidated unconditionally.
    void SetParams(unsigned widthSegs, unsigned heightSegs, float width, float height);

private:
    float m_Width = DefaultSize;
    float m_Height = DefaultSize;
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
