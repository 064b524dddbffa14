// How a scene object reaches its scene. XBaseObject calls these four scene operations when it
// changes scene, name or GUID; the scene implements them and installs its link when it is
// constructed (XScene.cpp), so the object core needs no scene definition to build or link.
//
// Until a link is installed the default one stands in for a scene with no indexes: it stores the
// scene pointer, name or GUID on the object and nothing else. Tests install recording links.
//
// Contract for an implementation:
// - AttachObject files the object and stores the scene pointer (StoreScene);
// - DetachObject forgets it and clears the pointer (StoreScene with null);
// - RenameObject stores the new name (StoreName, which also rehashes) or GUID (StoreGuid) and
//   keeps the scene's indexes in step.
//
// Scene nodes reach their scene through the further operations below (selection, look-ups while
// loading, the editor registry), and so do the scene's own editors (class registry, node lists,
// transform gizmo, node clipboard). They have defaults that stand in for a scene without indexes,
// registry or editors, so a link need override only what its scene keeps.
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
    virtual void AttachObject(XScene* scene, XBaseObject* object) = 0;
    virtual void DetachObject(XScene* scene, XBaseObject* object) = 0;
    virtual void RenameObject(XScene* scene, XBaseObject* object,
                              const StrUtils::XBaseString<WCHAR>& oldName,
                              const StrUtils::XBaseString<WCHAR>& newName) = 0;
    virtual void RenameObject(XScene* scene, XBaseObject* object, const XGuid& oldGuid,
                              const XGuid& newGuid) = 0;

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
    // XScene::GetMaterial: the material in that slot of the scene's material list, or null (the
    // default, a scene without materials).
    virtual XBaseMaterial* GetMaterial(XScene* scene, uint32_t index);
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
