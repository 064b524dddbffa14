// A B-spline patch: a (WidthSegs + 1) x (HeightSegs + 1) grid of control points, row by row,
// evaluated at order 3 in both directions into a USteps x VSteps grid of quads. The control
// points start as a flat grid in the local xy plane and are edited through IPointList by the
// point-list editor.
#pragma once

#include "Engine/Geometry/XMesh.h"
#include "Engine/Objects/IPointList.h"
#include "Engine/Objects/XBaseSurface.h"

class XBSSurface : public XBaseSurface, public IPointList
{
public:
    XBSSurface();
    ~XBSSurface() override;

    // IPointListGuid gives the point-list part of the object; any other id null.
    void* GetInterface(const XGuid& id) override;
    uint32_t GetClassId() const override;
    XString GetClassNameW() const override;
    // The base chunks, then 0xF8720000 holding WidthSegs, HeightSegs, USteps, VSteps (u32), Width,
    // Height (floats) and last 0xF8720007: u32 count and the control points.
    void Save(XScene* scene, XWriter& writer) override;
    // The counts start from their defaults and go through the setters (which may lay the points
    // out again); the points chunk, read last, then overwrites the first points it holds, growing
    // the array when it holds more.
    void Load(XScene* scene, XReader& reader) override;
    // WidthSegs, HeightSegs, USteps, VSteps, Width, Height (ids 0xF8720001-6), then the base's.
    unsigned GetPropertyCount() const override;
    const XPropertyDesc* GetPropertyDesc(unsigned index) const override;
    void GetPropertyValue(unsigned id, VarUtils::XVariant& value) override;
    void SetPropertyValue(unsigned id, const VarUtils::XVariant& value) override;
    bool Editable() override;
    // Finds the scene's "XPointListEditor" (or makes and registers one), gives it this object and
    // the node, and makes it current.
    void Edit(XScene* scene, XMeshNode* node) override;
    // The box of the control points.
    XBoundingBox GetBoundingBox(unsigned frame) override;
    XMesh* GetMesh(unsigned frame, XViewport* viewport, XMeshNode* node) override;
    // Two presses: one corner, then the opposite one (the points are laid out at every move).
    bool AllowMouseCreate() override;
    void MouseCreateStart() override;
    bool MouseCreateProc(XViewport* viewport, XMeshNode* node, XMouseEvent event, const XPoint& point,
                         XShiftState shift) override;
    void MouseCreateFinish() override;

    // IPointList over the control points. The count follows the segment counts alone.
    unsigned GetPointCount() const override;
    void SetPointCount(unsigned count) override;
    XVertex GetPoint(unsigned index) const override;
    void SetPoint(unsigned index, const XVertex& point) override;
    void GetPoints(XArray<XVertex, 32>& out) const override;
    // The first min(count, own count) points.
    void SetPoints(const XArray<XVertex, 32>& points) override;
    const XVertex* GetPointsPtr() const override;

    float GetWidth() const { return m_Width; }
    float GetHeight() const { return m_Height; }
    unsigned GetWidthSegs() const { return m_WidthSegs; }
    unsigned GetHeightSegs() const { return m_HeightSegs; }
    unsigned GetUSteps() const { return m_USteps; }
    unsigned GetVSteps() const { return m_VSteps; }
    // Lays the control points out as a flat |width| x |height| grid (the sizes are not stored).
    void SetWH(float width, float height);
    // A changed size is stored and the points are laid out again (edits are lost).
    void SetWidth(float width);
    void SetHeight(float height);
    // [3, 256]; a change lays the points out again.
    void SetWidthSegs(unsigned segs);
    void SetHeightSegs(unsigned segs);
    // [WidthSegs, 256] and [HeightSegs, 256].
    void SetUSteps(unsigned steps);
    void SetVSteps(unsigned steps);

private:
    void Build(XMeshNode* node);

    XMesh m_Mesh;
    XArray<XVertex, 32> m_Points;
    float m_Width = 1.0f;
    float m_Height = 1.0f;
    unsigned m_WidthSegs = 4;
    unsigned m_HeightSegs = 4;
    unsigned m_USteps = 9;
    unsigned m_VSteps = 9;
};

class XBSSurfaceDesc : public XBaseSurfaceDesc
{
public:
    XBaseObject* Create() const override;
    XString GetClassNameW() const override;
    uint32_t GetCategory() const override;
};

extern XBSSurfaceDesc BSSurfaceDesc;
