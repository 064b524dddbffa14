// How an object reaches its scene, its node and the scene's editors: the one link through which
// scene objects, nodes, mesh objects, modifiers and editors ask for what lives with the scene.
// XBaseObject calls the four object operations when it changes scene, name or GUID; scene nodes
// ask for selection, look-ups while loading and the editor registry; mesh objects for objects by
// GUID (a saved modifier list), the editor stack (Edit), a node's mesh matrix (picking) and the
// scene's materials and frame (drawing); the scene's own editors for the class registry, node
// lists, transform gizmo and node clipboard. The scene implements the link and installs it when it
// is constructed (XScene.cpp), so none of these needs a scene definition to build or link.
//
// Every operation has a default that stands in for a scene with no indexes, registry, editors or
// materials, at frame 0: objects keep the scene pointer, name or GUID they are given and nothing
// else, nothing is found and none is made. So a link (and a test double) overrides only what its
// scene keeps.
//
// Contract for an implementation of the object operations:
// - AttachObject files the object and stores the scene pointer (StoreScene);
// - DetachObject forgets it and clears the pointer (StoreScene with null);
// - RenameObject stores the new name (StoreName, which also rehashes) or GUID (StoreGuid) and
//   keeps the scene's indexes in step.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XGuid.h"
#include "Components/XMatrix.h"
#include "Components/XVertex.h"

class XBaseEditor;
class XBaseMaterial;
class XBaseMesh;
class XBaseObject;
class XClassDesc;
class XMeshNode;
class XMeshTree;
class XScene;
class XSkinModifier;
class XTriMesh;
class XViewport;

class XSceneLink
{
public:
    virtual void AttachObject(XScene* scene, XBaseObject* object);
    virtual void DetachObject(XScene* scene, XBaseObject* object);
    virtual void RenameObject(XScene* scene, XBaseObject* object,
                              const StrUtils::XBaseString<WCHAR>& oldName,
                              const StrUtils::XBaseString<WCHAR>& newName);
    virtual void RenameObject(XScene* scene, XBaseObject* object, const XGuid& oldGuid,
                              const XGuid& newGuid);

    // XScene::SelectNode: keeps the scene's selection list and stores the node's flag with
    // StoreSelected, true only when the node CanSelect. The default stores the flag alone.
    virtual void SelectNode(XScene* scene, XMeshNode* node, bool select);
    // XScene::FindObject by GUID and by name: the scene's object, or null (the default).
    virtual XBaseObject* FindObject(XScene* scene, const XGuid& guid);
    virtual XBaseObject* FindObject(XScene* scene, const StrUtils::XBaseString<WCHAR>& name);
    // XScene::FindEditor by name, AddEditor (the scene takes the editor over) and PushEditor. The
    // defaults find nothing and keep nothing.
    virtual XBaseEditor* FindEditor(XScene* scene, const StrUtils::XBaseString<WCHAR>& name);
    virtual void AddEditor(XScene* scene, XBaseEditor* editor);
    virtual void PushEditor(XScene* scene, XBaseEditor* editor);
    // A new animation editor ("XAnimationEditor") for the scene, not yet registered; the default
    // makes none (null).
    virtual XBaseEditor* CreateAnimationEditor(XScene* scene);
    // XScene::GetMaterialCount, GetMaterial (the material in that slot of the scene's material
    // list, null for an empty slot or past the list) and GetFrame (the current editor's frame).
    // The defaults stand for a scene without materials at frame 0.
    virtual unsigned GetMaterialCount(XScene* scene);
    virtual XBaseMaterial* GetMaterial(XScene* scene, uint32_t index);
    virtual unsigned GetFrame(XScene* scene);
    // XMeshNode::GetMeshMatrix: the node's world matrix with its mesh offset, at the frame. The
    // default asks the node itself (the identity for no node).
    virtual XMatrix GetMeshMatrix(XMeshNode* node, unsigned frame);
    // The triangle-mesh editor ("XTriMeshEditor"): whether an editor is one (or derived from it),
    // a new one for the scene (not yet registered; null when none can be made), and binding it to
    // the object and node it edits (SetMesh, then SetNode). By default no editor is one and none
    // is made.
    virtual bool IsTriMeshEditor(XBaseEditor* editor);
    virtual XBaseEditor* CreateTriMeshEditor(XScene* scene);
    virtual void BindTriMeshEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node);
    // The control-point editor ("XPointListEditor"): whether an editor is one, a new one for the
    // scene (not yet registered; null when none can be made), and handing it the object whose
    // points it edits (the editor asks the object for its point-list interface) and the node.
    // By default no editor is one and none is made.
    virtual bool IsPointListEditor(XBaseEditor* editor);
    virtual XBaseEditor* CreatePointListEditor(XScene* scene);
    virtual void BindPointListEditor(XBaseEditor* editor, XBaseMesh* mesh, XMeshNode* node);
    // The skin editor ("XSkinEditor"): whether an editor is one; a new one for the scene, not yet
    // registered; binding it to the mesh object it weighs (null allowed), the node and the skin
    // modifier. The defaults answer false, make none (null) and bind nothing.
    virtual bool IsSkinEditor(XBaseEditor* editor);
    virtual XBaseEditor* CreateSkinEditor(XScene* scene);
    virtual void BindSkinEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node, XSkinModifier* modifier);

    // XScene::FindClass: the registered descriptor of that class name, or null (the default).
    virtual XClassDesc* FindClass(XScene* scene, const StrUtils::XBaseString<WCHAR>& className);
    // XScene::CreateObject with no GUID and no name: a new object of a registered class, attached
    // to the scene; throws XException for an unknown class. The default, a scene without a
    // registry, makes none (null).
    virtual XBaseObject* CreateObject(XScene* scene, const StrUtils::XBaseString<WCHAR>& className);
    // XScene::CreateNode with no GUID and no name: a new node showing the mesh object, attached,
    // with a unique name; throws XException for a null mesh. The default makes none (null).
    virtual XMeshNode* CreateNode(XScene* scene, XBaseMesh* mesh);
    // XScene::MouseCreateNodeFinish: pops the editor stack when the node creator is current.
    // Nothing by default.
    virtual void MouseCreateNodeFinish(XScene* scene);

    // XScene::GetNodeCount / GetNode: every node in scene order; GetSelNodeCount / GetSelNode: the
    // selected nodes in selection order; GetMeshTree: the root of the hierarchy. The defaults
    // hold no nodes (0, null).
    virtual unsigned GetNodeCount(XScene* scene);
    virtual XMeshNode* GetNode(XScene* scene, unsigned index);
    virtual unsigned GetSelNodeCount(XScene* scene);
    virtual XMeshNode* GetSelNode(XScene* scene, unsigned index);
    virtual XMeshTree* GetMeshTree(XScene* scene);

    // XScene::FindTransformAxis: the gizmo part under the point (0 none, else an axis mask), the
    // gizmo placed at the current editor's selection centre for a null placement. 0 by default.
    virtual unsigned FindTransformAxis(XScene* scene, XViewport* viewport, const XPoint& point,
                                       const XMatrix* placement);
    // XScene::GetTransformAxis / SetTransformAxis (axis masks) and GetTransformType (0 move,
    // 1 rotate, 2 scale). The defaults keep nothing and answer 0.
    virtual unsigned GetTransformAxis(XScene* scene);
    virtual void SetTransformAxis(XScene* scene, unsigned axis);
    virtual unsigned GetTransformType(XScene* scene);

    // XScene's node clipboard: copy, cut (copy, then delete) the selected nodes, paste. Nothing by
    // default.
    virtual void CopySelNodesToClipboard(XScene* scene);
    virtual void CutSelNodesToClipboard(XScene* scene);
    virtual void PasteFromClipboard(XScene* scene);

    // The link in use; never null.
    static XSceneLink* Get();
    // Installs a link (null restores the default) and returns the one it replaces. The link must
    // outlive its use.
    static XSceneLink* Install(XSceneLink* link);

protected:
    ~XSceneLink() = default;

    static void StoreScene(XBaseObject* object, XScene* scene);
    static void StoreName(XBaseObject* object, const StrUtils::XBaseString<WCHAR>& name);
    static void StoreGuid(XBaseObject* object, const XGuid& guid);
    static void StoreSelected(XMeshNode* node, bool selected);
};
