// The influence capsule of a bone as a wire shape: two spheres along the local z axis, end 1 at
// the origin and end 2 at Height, each with an inner radius (full weight) and an outer radius
// (weight falls to zero). Each sphere is drawn as three circles per radius plus four side lines
// per radius pair. A bone owns one; it is also a shape class of its own.
#pragma once

#include "Engine/Geometry/XArrayChunks.h"
#include "Engine/Geometry/XBaseShape.h"

class XBoneMesh : public XBaseShape
{
public:
    static constexpr uint32_t InnerRadius1Chunk = 0xCC300001;
    static constexpr uint32_t InnerRadius2Chunk = 0xCC300002;
    static constexpr uint32_t OuterRadius1Chunk = 0xCC300003;
    static constexpr uint32_t OuterRadius2Chunk = 0xCC300004;
    static constexpr uint32_t HeightChunk = 0xCC300005;
    static constexpr float DefaultInnerRadius = 0.05f;
    static constexpr float DefaultOuterRadius = 0.075f;
    static constexpr float DefaultHeight = 1.0f;
    static constexpr float MaxValue = 1000.0f;
    // Outline sizes, whatever the values: twelve circles of 17 points, then two sets of eight
    // side points; 16 edges a circle and four side lines a radius pair.
    static constexpr uint32_t PointCount = 220;
    static constexpr uint32_t EdgeCount = 200;

    // Name "BoneMesh" with the shape defaults above.
    XBoneMesh();
    // A bone's own mesh, made with the bone's values.
    XBoneMesh(float innerRadius1, float innerRadius2, float outerRadius1, float outerRadius2, float height);
    ~XBoneMesh() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The shape's chunks, then 0xCC300000 with the five values.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xCC300000 passes each value present to its setter (nothing is reset first), then
    // marks the outline stale; other chunks go to the shape base.
    void Load(XScene* scene, XReader& reader) override;
    // The shape's fields, then InnerRadius1, InnerRadius2, OuterRadius1, OuterRadius2, Height.
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // m = the largest radius (by size): from (-m, -m, -m) to (m, m, Height + m); a negative
    // Height extends the box below the origin instead.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    bool AllowMouseCreate() override;
    // Height becomes 0.001 until the drag sizes it.
    void MouseCreateStart() override;
    // First press: keeps the construction plane and the start point and puts the node there.
    // Moves after it: Height = the drag along the plane's length axis (y on XY and YZ, z on XZ),
    // within +-1000. Second press: done (true).
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;
    void ShapeBuild() override;
    // The outline without its points (XRS_POINTS is cleared).
    void RenderShape(unsigned frame, XViewport* viewport, const XMatrix* world, uint32_t colour,
                     unsigned flags) override;

    float GetInnerRadius1() const { return m_InnerRadius1; }
    float GetInnerRadius2() const { return m_InnerRadius2; }
    float GetOuterRadius1() const { return m_OuterRadius1; }
    float GetOuterRadius2() const { return m_OuterRadius2; }
    float GetHeight() const { return m_Height; }
    // Clamped to [-1000, 1000]; a changed value invalidates the outline. Not a number is refused.
    void SetInnerRadius1(float value);
    void SetInnerRadius2(float value);
    void SetOuterRadius1(float value);
    void SetOuterRadius2(float value);
    void SetHeight(float value);

    // The capsule in the bone's space: the two ends on the z axis and, beyond them along the
    // axis, the points at the inner (Min) and outer (Max) radius. Transformed by a matrix, their
    // distances from the ends are the radii in the new space.
    XVertex GetC1() const { return XVertex(0, 0, 0); }
    XVertex GetC1Min() const { return XVertex(0, 0, -m_InnerRadius1); }
    XVertex GetC1Max() const { return XVertex(0, 0, -m_OuterRadius1); }
    XVertex GetC2() const { return XVertex(0, 0, m_Height); }
    XVertex GetC2Min() const { return XVertex(0, 0, m_Height + m_InnerRadius2); }
    XVertex GetC2Max() const { return XVertex(0, 0, m_Height + m_OuterRadius2); }

private:
    void Store(float& field, float value);

    float m_InnerRadius1 = DefaultInnerRadius;
    float m_InnerRadius2 = DefaultInnerRadius;
    float m_OuterRadius1 = DefaultOuterRadius;
    float m_OuterRadius2 = DefaultOuterRadius;
    float m_Height = DefaultHeight;
};

// Not registered by the scene: added by whoever offers bone meshes.
class XBoneMeshDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBoneMeshDesc BoneMeshDesc;

// The five capsule values a bone and its mesh both keep, saved as sub-chunks first to first + 4
// (inner radii, outer radii, height) of the owner's chunk and read through the owner's setters.
namespace XCapsuleChunks
{
template <class C> void Write(XWriter& writer, uint32_t first, const C& owner)
{
    writer.WriteChunkFloat(first, owner.GetInnerRadius1());
    writer.WriteChunkFloat(first + 1, owner.GetInnerRadius2());
    writer.WriteChunkFloat(first + 2, owner.GetOuterRadius1());
    writer.WriteChunkFloat(first + 3, owner.GetOuterRadius2());
    writer.WriteChunkFloat(first + 4, owner.GetHeight());
}

// Reads sub-chunk id into its setter; false when id is none of the five.
template <class C> bool Read(C& owner, XReader& reader, uint32_t first, uint32_t id)
{
    static constexpr void (C::*setters[])(float) = {&C::SetInnerRadius1, &C::SetInnerRadius2,
                                                    &C::SetOuterRadius1, &C::SetOuterRadius2, &C::SetHeight};
    const uint32_t k = id - first;
    if (id < first || k >= 5)
        return false;
    (owner.*setters[k])(XArrayChunks::ReadFloat(reader));
    return true;
}
} // namespace XCapsuleChunks
