// A scene, node and editor side for tests of the mesh objects: objects found by GUID from a
// table, editors kept by name, tri-mesh editors made as recording editors, node mesh matrices
// from a table, and every editor call recorded; everything else is the link's default (objects
// keep the scene pointer they are given). Installs itself for its lifetime.
#pragma once

#include "Engine/Scene/XSceneLink.h"
#include "tests/support/RecordingEditor.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class MeshSceneLinkDouble : public XSceneLink
{
public:
    MeshSceneLinkDouble();
    ~MeshSceneLinkDouble();

    using XSceneLink::FindObject;
    XBaseObject* FindObject(XScene* scene, const XGuid& guid) override;
    XBaseEditor* FindEditor(XScene* scene, const XString& name) override;
    void AddEditor(XScene* scene, XBaseEditor* editor) override;
    void PushEditor(XScene* scene, XBaseEditor* editor) override;
    bool IsTriMeshEditor(XBaseEditor* editor) override;
    XBaseEditor* CreateTriMeshEditor(XScene* scene) override;
    void BindTriMeshEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node) override;
    XMatrix GetMeshMatrix(XMeshNode* node, unsigned frame) override;

    // Objects FindObject answers, by GUID (any scene).
    std::vector<std::pair<XGuid, XBaseObject*>> objects;
    // Editors FindEditor answers, by name; AddEditor adds here too.
    std::map<std::u16string, XBaseEditor*> editors;
    // "Add", "Push", "Bind" with the editor, in order; Bind also records the mesh and node.
    std::vector<std::string> calls;
    std::vector<const void*> arguments;
    // Mesh matrices by node; identity for others.
    std::map<const XMeshNode*, XMatrix> meshMatrices;
    // The tri-mesh editors made so far (the double owns them).
    std::vector<std::unique_ptr<RecordingEditor>> made;

private:
    XSceneLink* m_Previous;
};

// An opaque scene pointer for objects that only need to be in "a scene" (never dereferenced).
XScene* FakeScene(int which = 0);
