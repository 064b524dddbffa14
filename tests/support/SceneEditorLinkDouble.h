// A scene for tests of the scene's own editors: on top of SceneLinkDouble (objects, selection,
// editors by name) it keeps a class registry, creates objects and nodes as the scene does, lists
// the nodes in attach order, answers the gizmo and transform questions from plain fields, and
// records the clipboard and node-creation calls.
#pragma once

#include "tests/support/SceneLinkDouble.h"

#include <vector>

class XClassDesc;

class SceneEditorLinkDouble : public SceneLinkDouble
{
public:
    XClassDesc* FindClass(XScene* scene, const XString& className) override;
    // Throws XException for a class not in the registry.
    XBaseObject* CreateObject(XScene* scene, const XString& className) override;
    // Throws XException for a null mesh.
    XMeshNode* CreateNode(XScene* scene, XBaseMesh* mesh) override;
    // Records "Finish"; when the current editor is set, deactivates it and clears it (the pop).
    void MouseCreateNodeFinish(XScene* scene) override;
    unsigned GetNodeCount(XScene* scene) override;
    XMeshNode* GetNode(XScene* scene, unsigned index) override;
    unsigned GetSelNodeCount(XScene* scene) override;
    XMeshNode* GetSelNode(XScene* scene, unsigned index) override;
    XMeshTree* GetMeshTree(XScene*) override { return tree; }
    // Records "Axis x y" and answers gizmoAxis.
    unsigned FindTransformAxis(XScene* scene, XViewport* viewport, const XPoint& point,
                               const XMatrix* placement) override;
    unsigned GetTransformAxis(XScene*) override { return transformAxis; }
    void SetTransformAxis(XScene*, unsigned axis) override { transformAxis = axis; }
    unsigned GetTransformType(XScene*) override { return transformType; }
    void CopySelNodesToClipboard(XScene* scene) override;
    void CutSelNodesToClipboard(XScene* scene) override;
    void PasteFromClipboard(XScene* scene) override;

    std::vector<XClassDesc*> classes;
    XMeshTree* tree = nullptr;
    unsigned gizmoAxis = 0;
    unsigned transformAxis = 0;
    unsigned transformType = 0;
    XBaseEditor* current = nullptr;
};
