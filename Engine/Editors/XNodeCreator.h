// The editor that creates scene nodes with the mouse, one after another: a light, a camera, or a
// node with a new mesh object. The scene gives it the two class names and pushes it; each viewport
// mouse event then goes to the pending node, which shapes itself; when the node reports that it is
// complete, the next one of the same classes is prepared at once. A right press ends the tool.
#pragma once

#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XMeshNode.h"

class XNodeCreator : public XBaseEditor
{
public:
    explicit XNodeCreator(XScene* scene);
    // Destroys a pending mesh object and node.
    ~XNodeCreator() override;

    // Refused (false) unless the node class is registered as a node class and a node of it (with
    // its mesh object, when a mesh class is set) could be prepared.
    bool Activate() override;
    // Destroys the pending mesh object, then the pending node; completed nodes stay.
    bool Deactivate() override;
    // "XNodeCreator".
    StrUtils::XBaseString<WCHAR> GetName() override;
    // Nothing without a pending node. A right press ends the tool through the scene; everything
    // else goes to the pending node, and a completed node is followed by a fresh one.
    void MouseEvent(XViewport* viewport, XMouseEvent event, const XPoint& point,
                    XShiftState shift) override;
    // With a pending node: the right press ends the tool.
    bool TakesRightPress() override;
    // Nothing can be copied, cut, pasted or deleted.
    void CopyToClipboard() override;
    void CutToClipboard() override;
    void PasteFromClipboard() override;
    void Delete() override;
    // One mode, "Node".
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    void SetMode(int index) override;

    // The class of the nodes to create.
    void SetClassName(const StrUtils::XBaseString<WCHAR>& name) { m_NodeClassName = name; }
    // The class of each node's mesh object; empty for nodes without one (lights, cameras).
    void SetMeshClassName(const StrUtils::XBaseString<WCHAR>& name) { m_MeshClassName = name; }
    StrUtils::XBaseString<WCHAR> GetClassNameW() const { return m_NodeClassName; }
    StrUtils::XBaseString<WCHAR> GetMeshClassName() const { return m_MeshClassName; }
    XMeshNode* GetNode() const { return m_Node.Get(); }
    XBaseMesh* GetMesh() const { return m_Mesh.Get(); }

protected:
    // Finishes the pending node (it stays in the scene) and prepares the next one. False, with
    // nothing left behind, when the objects cannot be made or are not a node and a mesh object.
    bool PrepareNode();
    // Destroys the pending mesh object, then the pending node.
    void DropPending();

    StrUtils::XBaseString<WCHAR> m_MeshClassName;
    StrUtils::XBaseString<WCHAR> m_NodeClassName;
    // Watched: the scene may destroy them (clearing, or the user deleting them) before this editor.
    XReference<XBaseMesh> m_Mesh{this};
    XReference<XMeshNode> m_Node{this};
};
