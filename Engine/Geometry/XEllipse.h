// An ellipse in the local XY plane, centred on the origin, as a closed polygon of Sides segments;
// the sweep turns it into a torus-like ring of tube. Width and Height are the full extents.
#pragma once

#include "Engine/Geometry/XPlanarShape.h"

class XEllipse : public XPlanarShape
{
public:
    static constexpr uint32_t WidthChunk = 0x77490001;
    static constexpr uint32_t HeightChunk = 0x77490002;
    static constexpr uint32_t SidesChunk = 0x77490003;
    static constexpr uint32_t DefaultSides = 12;
    static constexpr uint32_t MinSides = 3;
    static constexpr uint32_t MaxSides = 512;

    // Name "Ellipse", 1 x 1 with 12 sides.
    XEllipse();
    ~XEllipse() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The shape's chunks, then 0x77490000 with the three parameters.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x77490000 resets the parameters and passes each one present to its setter; other
    // chunks go to the shape base.
    void Load(XScene* scene, XReader& reader) override;
    // The shape's fields, then Width, Height, Sides.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // Sides + 1 points from angle 0 counter-clockwise, the last repeating the first, joined in a
    // chain; each point normal is the point's direction from the centre.
    void ShapeBuild() override;

    uint32_t GetSides() const { return m_Sides; }
    // Sizes clamp to [-1000, 1000], sides to [3, 512]; a change invalidates the outline.
    void SetSides(unsigned sides);
    // All three at once, clamped as above, stored and invalidated unconditionally.
    void SetParams(unsigned sides, float width, float height);

private:
    uint32_t m_Sides = DefaultSides;
};

// Not registered by the scene: added by whoever offers ellipses.
class XEllipseDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XEllipseDesc EllipseDesc;
