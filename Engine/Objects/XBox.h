// A parametric box: axis-aligned, centred on the origin of its local space, each side a grid of
// quads, built on demand into a triangle mesh it owns. Width runs along x, Height along y, Depth
// along z; the mesh uses their absolute values.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"

class XBox : public XBaseMesh
{
public:
    XBox();
    ~XBox() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0x55430000 holding Width, Height, Depth (floats) and WidthSegs,
    // HeightSegs, DepthSegs (u32) as sub-chunks 0x55430001-0x55430006.
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0x55430000: the defaults, then each known value through its setter; other chunks go
    // to the base.
    void Load(XScene* scene, XReader& reader) override;
    void EnumerateFields(XPtrArray<XObjectField, 16>& fields) override;
    // From the parameters, not the mesh.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // Three presses: the start corner, the footprint's far corner, then the depth.
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetWidth() const { return m_Width; }
    float GetDepth() const { return m_Depth; }
    float GetHeight() const { return m_Height; }
    unsigned GetWidthSegs() const { return m_WidthSegs; }
    unsigned GetHeightSegs() const { return m_HeightSegs; }
    unsigned GetDepthSegs() const { return m_DepthSegs; }
    // Sizes in [-1000, 1000], segment counts in [1, 64]; a changed value invalidates the mesh.
    void SetWidth(float width);
    void SetDepth(float depth);
    void SetHeight(float height);
    void SetWidthSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);
    void SetDepthSegs(unsigned segs);
    // The three sizes at once, clamped, then one invalidation.
    void SetParams(float width, float depth, float height);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    float m_Width = 1.0f;
    float m_Depth = 1.0f;
    float m_Height = 1.0f;
    unsigned m_WidthSegs = 1;
    unsigned m_HeightSegs = 1;
    unsigned m_DepthSegs = 1;
};

class XBoxDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBoxDesc BoxDesc;
