// A parametric tube (a hollow cylinder) around the local y axis, centred on the origin: outer and
// inner walls that may taper independently, and two optional annular caps. Built on demand into
// a triangle mesh it owns.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"

class XTube : public XBaseMesh
{
public:
    XTube();
    ~XTube() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0x5A970000 holding the eleven values as sub-chunks 0x5A970001-0B
    // (the flags as u32 0 or 1).
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x5A970000: the defaults; the radii are stored as the file gives them (the mesh is then
    // built as given, even with crossing walls), the rest go through their setters.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    XBoundingBox GetBoundingBox(unsigned frame) override;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // Six presses: the centre (the node stands the axis on the plane), the outer radius, the
    // bottom's outer radius, the height, the top's radii, the top's outer radius.
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetTopInnerRadius() const { return m_TopInnerRadius; }
    float GetTopOuterRadius() const { return m_TopOuterRadius; }
    unsigned GetTopStacks() const { return m_TopStacks; }
    bool GetTopCap() const { return m_TopCap; }
    float GetBottomInnerRadius() const { return m_BottomInnerRadius; }
    float GetBottomOuterRadius() const { return m_BottomOuterRadius; }
    unsigned GetBottomStacks() const { return m_BottomStacks; }
    bool GetBottomCap() const { return m_BottomCap; }
    float GetHeight() const { return m_Height; }
    unsigned GetStacks() const { return m_Stacks; }
    unsigned GetSlices() const { return m_Slices; }
    // An inner radius lies in [0, the same end's outer radius], an outer one in [the inner
    // radius, 1000]; Height in [-1000, 1000], stack counts in [1, 64], Slices in [3, 64]. A
    // changed value invalidates the mesh.
    void SetTopInnerRadius(float radius);
    void SetTopOuterRadius(float radius);
    void SetTopStacks(unsigned stacks);
    void SetTopCap(bool cap);
    void SetBottomInnerRadius(float radius);
    void SetBottomOuterRadius(float radius);
    void SetBottomStacks(unsigned stacks);
    void SetBottomCap(bool cap);
    void SetHeight(float height);
    void SetStacks(unsigned stacks);
    void SetSlices(unsigned slices);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    float m_TopInnerRadius = 0.5f;
    float m_TopOuterRadius = 1.0f;
    unsigned m_TopStacks = 3;
    bool m_TopCap = true;
    float m_BottomInnerRadius = 0.5f;
    float m_BottomOuterRadius = 1.0f;
    unsigned m_BottomStacks = 3;
    bool m_BottomCap = true;
    float m_Height = 1.0f;
    unsigned m_Stacks = 3;
    unsigned m_Slices = 12;
};

class XTubeDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XTubeDesc TubeDesc;
