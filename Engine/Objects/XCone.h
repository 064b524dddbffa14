// A parametric truncated cone around the local z axis, centred on the origin: Radius1 is the ring
// at z = -Height/2, Radius2 the ring at +Height/2; each cap is TopSegs concentric rings closed by
// a fan. Built on demand into a triangle mesh it owns.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"

class XCone : public XBaseMesh
{
public:
    XCone();
    ~XCone() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0x5A980000 holding Radius1, Radius2, Height (floats) and TopSegs,
    // HeightSegs, Sides (u32) as sub-chunks 0x5A980001-0x5A980006.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x5A980000: the defaults, then each known value through its setter; other chunks go
    // to the base.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // From the parameters, whatever the modifiers do.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // Four presses: the centre, the base radius, the height, then the other radius.
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetRadius1() const { return m_Radius1; }
    float GetRadius2() const { return m_Radius2; }
    float GetHeight() const { return m_Height; }
    unsigned GetTopSegs() const { return m_TopSegs; }
    unsigned GetHeightSegs() const { return m_HeightSegs; }
    unsigned GetSides() const { return m_Sides; }
    // Radii in [0, 1000], Height in [0.001, 1000], TopSegs and HeightSegs in [1, 64], Sides in
    // [3, 64]; a changed value invalidates the mesh. Setting a radius to 0 while the other is 0
    // shows the assertion box, then goes on.
    void SetRadius1(float radius);
    void SetRadius2(float radius);
    void SetHeight(float height);
    void SetTopSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);
    void SetSides(unsigned sides);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    float m_Radius1 = 0.5f;
    float m_Radius2 = 1.0f;
    float m_Height = 1.0f;
    unsigned m_TopSegs = 3;
    unsigned m_HeightSegs = 3;
    unsigned m_Sides = 12;
};

class XConeDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XConeDesc ConeDesc;
