#include "tests/support/SceneEditorLinkDouble.h"

#include "Components/XException.h"
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XMeshNode.h"

#include <string>

namespace
{
std::vector<XMeshNode*> Nodes(const std::vector<XBaseObject*>& objects)
{
    std::vector<XMeshNode*> nodes;
    for (XBaseObject* object : objects)
        if (auto* node = dynamic_cast<XMeshNode*>(object))
            nodes.push_back(node);
    return nodes;
}
} // namespace

XClassDesc* SceneEditorLinkDouble::FindClass(XScene*, const XString& className)
{
    for (XClassDesc* desc : classes)
        if (desc->GetClassNameW() == className)
            return desc;
    return nullptr;
}

XBaseObject* SceneEditorLinkDouble::CreateObject(XScene* scene, const XString& className)
{
    XClassDesc* desc = FindClass(scene, className);
    if (!desc)
        throw XException(u"class not registered");
    XBaseObject* object = desc->Create();
    object->SetScene(scene);
    return object;
}

XMeshNode* SceneEditorLinkDouble::CreateNode(XScene* scene, XBaseMesh* mesh)
{
    if (!mesh)
        throw XException(u"no mesh");
    auto* node = new XMeshNode;
    node->SetMesh(mesh);
    node->SetScene(scene);
    return node;
}

void SceneEditorLinkDouble::MouseCreateNodeFinish(XScene*)
{
    calls.push_back("Finish");
    if (current)
    {
        XBaseEditor* editor = current;
        current = nullptr;
        editor->Deactivate();
    }
}

unsigned SceneEditorLinkDouble::GetNodeCount(XScene*)
{
    return static_cast<unsigned>(Nodes(objects).size());
}

XMeshNode* SceneEditorLinkDouble::GetNode(XScene*, unsigned index)
{
    return Nodes(objects).at(index);
}

unsigned SceneEditorLinkDouble::GetSelNodeCount(XScene*)
{
    return static_cast<unsigned>(selection.size());
}

XMeshNode* SceneEditorLinkDouble::GetSelNode(XScene*, unsigned index)
{
    return selection.at(index);
}

unsigned SceneEditorLinkDouble::FindTransformAxis(XScene*, XViewport*, const XPoint& point, const XMatrix*)
{
    calls.push_back("Axis " + std::to_string(static_cast<int>(point.x)) + " " +
                    std::to_string(static_cast<int>(point.y)));
    return gizmoAxis;
}

void SceneEditorLinkDouble::CopySelNodesToClipboard(XScene*)
{
    calls.push_back("Copy");
}

void SceneEditorLinkDouble::CutSelNodesToClipboard(XScene*)
{
    calls.push_back("Cut");
}

void SceneEditorLinkDouble::PasteFromClipboard(XScene*)
{
    calls.push_back("Paste");
}
