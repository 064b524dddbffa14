// A water surface: a static slab Width along local x, Height along local y and 0.002 thick,
// centred on the origin. Its normals are one per face corner (36) and its texture vertices the
// four corners of the map (4), so they do not run parallel to its 8 vertices: the draw stream
// then carries positions and colours only, and every consumer reads those arrays within their
// own counts.
#pragma once

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"

class XWater : public XBaseMesh
{
public:
    XWater();
    ~XWater() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0xA12F0000 holding Width (0xA12F0001) and Height (0xA12F0002).
    void Save(XScene* scene, XWriter& writer) override;
    // Chunk 0xA12F0000: both reset to 1, then each value through its setter; other chunks go to
    // the base.
    void Load(XScene* scene, XReader& reader) override;
    // Width and Height first, then the base's rows.
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    XBoundingBox GetBoundingBox(unsigned frame) override;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // Two presses: one corner, then the opposite one.
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    // [-1000, 1000]; a changed value invalidates the mesh. The slab uses the absolute values.
    void SetWidth(float width);
    void SetHeight(float height);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    float m_Width = 1.0f;
    float m_Height = 1.0f;
};

class XWaterDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XWaterDesc WaterDesc;
