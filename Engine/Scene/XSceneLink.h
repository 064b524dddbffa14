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
#pragma once

#include "Components/StrUtils.h"
#include "Components/XGuid.h"

class XBaseObject;
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
};
