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
// loading, the editor registry). They have defaults that stand in for a scene without indexes or
// editors, so a link need override only what its scene keeps.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XGuid.h"

class XBaseEditor;
class XBaseObject;
class XMeshNode;
class XScene;

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
