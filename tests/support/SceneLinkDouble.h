// A scene for tests of scene nodes: objects attached to any scene pointer are filed and found by
// GUID and name, the selection is kept as a scene keeps it, editors are kept by name (the double
// owns them) and animation editors are made as recording editors. Installs itself for its
// lifetime; objects must leave their scene before it ends.
#pragma once

#include "Engine/Scene/XSceneLink.h"
#include "tests/support/RecordingEditor.h"

#include <memory>
#include <string>
#include <vector>

class SceneLinkDouble : public XSceneLink
{
public:
    SceneLinkDouble();
    ~SceneLinkDouble();

    void AttachObject(XScene* scene, XBaseObject* object) override;
    void DetachObject(XScene* scene, XBaseObject* object) override;
    void RenameObject(XScene* scene, XBaseObject* object, const XString& oldName,
                      const XString& newName) override;
    void RenameObject(XScene* scene, XBaseObject* object, const XGuid& oldGuid, const XGuid& newGuid) override;
    void SelectNode(XScene* scene, XMeshNode* node, bool select) override;
    XBaseObject* FindObject(XScene* scene, const XGuid& guid) override;
    XBaseObject* FindObject(XScene* scene, const XString& name) override;
    XBaseEditor* FindEditor(XScene* scene, const XString& name) override;
    void AddEditor(XScene* scene, XBaseEditor* editor) override;
    void PushEditor(XScene* scene, XBaseEditor* editor) override;
    XBaseEditor* CreateAnimationEditor(XScene* scene) override;

    // Filed objects in attach order.
    std::vector<XBaseObject*> objects;
    // Selected nodes in selection order.
    std::vector<XMeshNode*> selection;
    // Registered editors (owned).
    std::vector<std::unique_ptr<XBaseEditor>> editors;
    // "Create", "Add <name>", "Push <name>", "Select <name> 0|1" in order.
    std::vector<std::string> calls;

private:
    XSceneLink* m_Previous;
};
