// The editor of an object's list of points (the control points of a surface): it selects points
// by click, rectangle, Shift and Ctrl, moves, rotates and scales the selected ones about their
// centre with the transform gizmo, and draws every point as a dot, red when selected, green
// otherwise.
//
// The object hands its points out through its point-list interface. The editor watches the object
// and its node and asks the object for the interface at each use, so it does nothing once either
// is gone, and it reads the point count afresh each time (the object may lay its points out anew
// at any moment).
#pragma once

#include "Components/XBitArray.h"
#include "Engine/Editors/XSTEditor.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XMeshNode.h"

#include <cstdint>

class IPointList;

// A point as drawn: position and colour (D3DFVF_XYZ | D3DFVF_DIFFUSE).
struct XVertexD
{
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(XVertexD) == 16);

class XPointListEditor : public XSTEditor
{
public:
    static constexpr uint32_t SelectedColor = 0xFFFF0000;
    static constexpr uint32_t PointColor = 0xFF00FF00;

    explicit XPointListEditor(XScene* scene);
    ~XPointListEditor() override;

    // Kept only when the object answers the point-list interface; otherwise no object is kept.
    // Another object than before starts with nothing selected.
    void SetMesh(XBaseMesh* mesh);
    void SetNode(XMeshNode* node);
    XBaseMesh* GetMesh() const { return m_Mesh.Get(); }
    XMeshNode* GetNode() const { return m_Node.Get(); }

    // Succeeds only with a node and an object that answers the interface; starts with nothing
    // selected.
    bool Activate() override;
    // Forgets the selection and the transform's snapshot.
    bool Deactivate() override;
    // "XPointListEditor".
    StrUtils::XBaseString<WCHAR> GetName() override;
    // The selection rectangle (pass 1), then the points in every pass.
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;
    // Points cannot be copied, cut, pasted or deleted.
    void CopyToClipboard() override;
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void Delete() override;
    // The selected points among the object's current ones.
    unsigned GetSelectionCount() override;
    // Their centre in world space.
    XVertex GetSelectionCenter() override;
    // One mode, "Point".
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    void SetMode(int index) override;

    // Adds the points under a click (2 pixels around it) or inside the rectangle.
    void SelectRectShift(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    void SelectRect(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    // Toggles the points under the click or inside the rectangle.
    void SelectRectCtrl(XViewport* viewport, const XPoint& min, const XPoint& max) override;
    void ClearSelection() override;
    // Only a press on the gizmo starts a transform; a press on a point selects.
    bool HitTestSelection(XViewport* viewport, const XPoint& point) override;
    // Takes a snapshot of the points, which a cancel writes back.
    void BeginTransform() override;
    void EndTransform() override;
    void CancelTransform() override;
    // The selected points move, turn or scale in world space about their centre.
    void Move(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    // Half a degree per pixel upward, about the axes of the transform axis.
    void Rotate(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;
    // 1 % per pixel upward, never below 1 % of the size.
    void Scale(XViewport* viewport, const XPoint& newPoint, const XPoint& previousPoint) override;

    // The centre of the selected points carried to world space by the node's mesh matrix, and
    // their number in count; (0, 0, 0) without a node.
    XVertex GetWorldSelectionCenter(unsigned& count);
    // The mean of the selected points in mesh space, their number in count; (0, 0, 0) and 0
    // without the interface.
    XVertex GetLocalSelectionCenter(unsigned& count);
    // Whether the point is selected; points past the selection read as not selected.
    bool IsPointSelected(unsigned index) const { return m_Selection.Get(index); }

private:
    // The object's interface while the editor is active and both the object and its node stand.
    IPointList* PointList() const;
    // The points under the click or inside the rectangle, as indices.
    void Pick(XViewport* viewport, const XPoint& min, const XPoint& max, XArray<unsigned>& picked);
    // Carries the selected points by W x T(-Q) x change x T(Q) x W^-1, W the mesh matrix and Q the
    // selection's world centre.
    void TransformSelection(const XMatrix& change);

    XReference<XBaseMesh> m_Mesh{this};
    XReference<XMeshNode> m_Node{this};
    bool m_Active = false;
    // The points as they stood when the transform began.
    XArray<XVertex, 32> m_Points;
    XBitArray m_Selection;
    bool m_CacheValid = false;
    XArray<XVertexD, 32> m_PointCache;
};
