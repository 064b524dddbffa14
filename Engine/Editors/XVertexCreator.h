// The editor that builds geometry in an editable triangle mesh with the mouse: in "Create Vertex"
// each left press adds a vertex where the pick ray meets the viewport's construction plane, in
// "Create Face" three picked vertices make a face, in "Tessellate" a press splits the face under
// it. The triangle-mesh editor binds it to its object and node and pushes it; a right press steps
// back one face pick, or leaves the tool when there is nothing to step back.
#pragma once

#include "Components/XArray.h"
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XMeshNode.h"

class XVertexCreator : public XBaseEditor
{
public:
    enum : int
    {
        CreateVertexMode = 0,
        CreateFaceMode = 1,
        TessellateMode = 2,
    };

    explicit XVertexCreator(XScene* scene);
    ~XVertexCreator() override;

    // Refused (false) without both the object and the node. Empties the collected face vertices
    // and sets the selection level of the mode (vertices in mode 0, faces otherwise, with the
    // vertex selection cleared).
    bool Activate() override;
    // Rebuilds the object's derived data; always true.
    bool Deactivate() override;
    // "XVertexCreator".
    StrUtils::XBaseString<WCHAR> GetName() override;
    // Only left and right presses count, and only with both the object and the node; the shift
    // state plays no part.
    void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                    XShiftState shift) override;
    // With both the object and the node: the right press steps back a pick or ends the tool.
    bool TakesRightPress() override;
    // Nothing to copy, cut, paste or delete.
    void CopyToClipboard() override;
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void Delete() override;
    // "Create Vertex", "Create Face", "Tessellate"; empty past them.
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    // A change of mode sets the level it works on; the collected face vertices stay.
    void SetMode(int index) override;

    void SetMesh(XTriMesh* mesh) { m_Mesh.SetTarget(mesh); }
    void SetNode(XMeshNode* node) { m_Node.SetTarget(node); }
    XTriMesh* GetMesh() const { return m_Mesh.Get(); }
    XMeshNode* GetNode() const { return m_Node.Get(); }
    // The vertices picked so far for the next face, in pick order (at most two between presses).
    const XArray<unsigned int, 32>& GetFaceVertices() const { return m_FaceVertices; }

private:
    void AddVertexAt(XViewport* viewport, const XPoint& point);
    void PickFaceVertex(XViewport* viewport, const XPoint& point);
    // Drops the last collected vertex; false when there was none.
    bool DropFaceVertex();
    // The level the mode works on.
    void ApplyModeLevel();
    void Refresh();

    int m_Mode = CreateVertexMode;
    // Watched: the scene may destroy them before this editor.
    XReference<XTriMesh> m_Mesh{this};
    XReference<XMeshNode> m_Node{this};
    XArray<unsigned int, 32> m_FaceVertices;
    XArray<unsigned int, 32> m_PickedVertices;
};
