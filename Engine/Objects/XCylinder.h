// A parametric cylinder around the local y axis, centred on the origin, with optional flat caps
// of TopStacks rings each. Its parameters are indexed properties (ids 0x5A930001-0x5A930007, which
// are also its sub-chunk ids).
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"

class XCylinder : public XBaseMesh
{
public:
    XCylinder();
    ~XCylinder() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0x5A930000 holding Radius, Height (floats), TopStacks, Stacks, Slices
    // (u32) and TopCap, BottomCap (one byte each).
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x5A930000: the defaults, then each known value through its setter; other chunks go
    // to the base.
    void Load(XScene* scene, XReader& reader) override;
    // The seven rows of the cylinder first, then the base's.
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    XBoundingBox GetBoundingBox(unsigned frame) override;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // Three presses: the centre (the node stands the axis on the plane), the radius, the height.
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetRadius() const { return m_Radius; }
    float GetHeight() const { return m_Height; }
    unsigned GetTopStacks() const { return m_TopStacks; }
    unsigned GetStacks() const { return m_Stacks; }
    unsigned GetSlices() const { return m_Slices; }
    bool GetTopCap() const { return m_TopCap; }
    bool GetBottomCap() const { return m_BottomCap; }
    // Radius in [0, 1000], Height in [-1000, 1000] (the mesh uses |Height|), TopStacks and Stacks
    // in [1, 64], Slices in [3, 64]; a changed value invalidates the mesh.
    void SetRadius(float radius);
    void SetHeight(float height);
    void SetTopStacks(unsigned stacks);
    void SetStacks(unsigned stacks);
    void SetSlices(unsigned slices);
    void SetTopCap(bool cap);
    void SetBottomCap(bool cap);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    float m_Radius = 0.5f;
    float m_Height = 1.0f;
    unsigned m_TopStacks = 1;
    unsigned m_Stacks = 1;
    unsigned m_Slices = 12;
    bool m_TopCap = true;
    bool m_BottomCap = true;
};

class XCylinderDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XCylinderDesc CylinderDesc;
