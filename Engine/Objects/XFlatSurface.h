// A flat rectangular sheet of quads in the local xy plane, centred on the origin, facing -z.
#pragma once

#include "Engine/Geometry/XMesh.h"
#include "Engine/Objects/XBaseSurface.h"

class XFlatSurface : public XBaseSurface
{
public:
    XFlatSurface();
    ~XFlatSurface() override;

    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0xF7610000 holding WidthSegs, HeightSegs (u32), Width, Height
    // (floats) as sub-chunks 0xF7610001-0xF7610004.
    void Save(XScene* scene, XWriter& writer) override;
    void Load(XScene* scene, XReader& reader) override;
    // WidthSegs, HeightSegs, Width, Height (ids 0xF7610001-4), then the base's rows.
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
    unsigned GetWidthSegs() const { return m_WidthSegs; }
    unsigned GetHeightSegs() const { return m_HeightSegs; }
    // Stores both sizes (unclamped; the mesh uses their absolute values) and invalidates.
    void SetWH(float width, float height);
    void SetWidth(float width);
    void SetHeight(float height);
    // [1, 256].
    void SetWidthSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    float m_Width = 1.0f;
    float m_Height = 1.0f;
    unsigned m_WidthSegs = 4;
    unsigned m_HeightSegs = 4;
};

class XFlatSurfaceDesc : public XClassDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XFlatSurfaceDesc FlatSurfaceDesc;
