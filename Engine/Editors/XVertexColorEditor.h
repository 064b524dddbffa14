// The editor that paints the per-vertex colours of a triangle mesh's source mesh with the mouse: a
// left press on a vertex (mode 0) or a face (mode 1) gives it the paint colour, the face its three
// corners. The triangle-mesh editor binds it to its object and node, gives it its mode and pushes
// it; painting records no undo. While it is current the object shows the face level; leaving puts
// back the level it had. Colours stay switched on afterwards.
#pragma once

#include "Components/XColor.h"
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"

class TVertexColorEditorFrame;

class XVertexColorEditor : public XBaseEditor
{
public:
    enum : int
    {
        VertexMode = 0,
        FaceMode = 1,
    };

    explicit XVertexColorEditor(XScene* scene);
    // Deletes the panel.
    ~XVertexColorEditor() override;

    // Refused (false) without both the object and the node. Clears both selections, keeps the
    // object's level and shows the face level, switches the mesh's colours on.
    bool Activate() override;
    // Puts the kept level back (with an object), back to mode 0; always true.
    bool Deactivate() override;
    // "XVertexColorEditor".
    StrUtils::XBaseString<WCHAR> GetName() override;
    // Paints on a left press only, once per press; a press that hits nothing changes nothing.
    void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                    XShiftState shift) override;
    // Draws nothing: no selection rectangle.
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;
    // Nothing to copy, cut, paste or delete.
    void CopyToClipboard() override;
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void Delete() override;
    // "Vertex", "Face"; empty past them.
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    void SetMode(int index) override;
    // Made on the first request, deleted with the editor.
    TBaseEditorFrame* GetEditorFrame() override;

    void SetMesh(XTriMesh* mesh) { m_Mesh.SetTarget(mesh); }
    void SetNode(XMeshNode* node) { m_Node.SetTarget(node); }
    XTriMesh* GetMesh() const { return m_Mesh.Get(); }
    XMeshNode* GetNode() const { return m_Node.Get(); }
    XColor GetPaintColor() const { return m_PaintColor; }
    void SetPaintColor(XColor color) { m_PaintColor = color; }
    // Every vertex of the bound mesh takes the colour; nothing without a mesh.
    void SetAllColors(XColor color);

private:
    // The colour array at the vertex count (a loaded mesh may hold another count); the array.
    XColor* FitColors(XMesh* mesh);

    // Watched: the scene may destroy them before this editor.
    XReference<XTriMesh> m_Mesh{this};
    XReference<XMeshNode> m_Node{this};
    uint32_t m_SavedSelectionLevel = XMesh::ObjectLevel;
    // Transparent black until the panel's colour editor reports a colour, as a new one shows.
    XColor m_PaintColor{0x00000000u};
    int m_Mode = VertexMode;
    TVertexColorEditorFrame* m_Frame = nullptr;
};
