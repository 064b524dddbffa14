// What the mesh objects ask of their scene, of scene nodes and of the triangle-mesh editor: an
// object by GUID (a saved modifier list), the editor registry and stack (XTriMesh::Edit), the
// triangle-mesh editor itself, a node's mesh matrix (picking), and the scene's materials and
// frame (drawing).
//
// These live with the scene, the nodes and the editors; they install the real link when they
// are built, so the mesh objects need none of them to build or link. Until then the default
// link stands in for "no scene": no object or editor is found, none is made, and a node's mesh
// matrix is the identity. Tests install recording links.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XGuid.h"
#include "Components/XMatrix.h"

class XBaseEditor;
class XBaseMaterial;
class XBaseObject;
class XMeshNode;
class XScene;
class XTriMesh;

class XMeshSceneLink
{
public:
    // XScene::FindObject: the scene's object with this GUID, or null.
    virtual XBaseObject* FindObject(XScene* scene, const XGuid& guid) = 0;
    // XScene::FindEditor, AddEditor and PushEditor.
    virtual XBaseEditor* FindEditor(XScene* scene, const XString& name) = 0;
    virtual void AddEditor(XScene* scene, XBaseEditor* editor) = 0;
    virtual void PushEditor(XScene* scene, XBaseEditor* editor) = 0;
    // The triangle-mesh editor: whether an editor is one (or derived from it), a new one for the
    // scene (null when none can be made), and binding it to the object and node it edits
    // (SetMesh, then SetNode).
    virtual bool IsTriMeshEditor(XBaseEditor* editor) = 0;
    virtual XBaseEditor* CreateTriMeshEditor(XScene* scene) = 0;
    virtual void BindTriMeshEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node) = 0;
    // XMeshNode::GetMeshMatrix: the node's world matrix with its mesh offset, at the frame.
    virtual XMatrix GetMeshMatrix(XMeshNode* node, unsigned frame) = 0;
    // XScene::GetMaterialCount, GetMaterial (null for an empty slot) and GetFrame (the current
    // editor's frame). The defaults stand for a scene without materials at frame 0.
    virtual unsigned GetMaterialCount(XScene* scene);
    virtual XBaseMaterial* GetMaterial(XScene* scene, unsigned index);
    virtual unsigned GetFrame(XScene* scene);

    // The link in use; never null.
    static XMeshSceneLink* Get();
    // Installs a link (null restores the default) and returns the one it replaces. The link must
    // outlive its use.
    static XMeshSceneLink* Install(XMeshSceneLink* link);

protected:
    ~XMeshSceneLink() = default;
};
