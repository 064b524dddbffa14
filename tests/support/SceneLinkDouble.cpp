#include "tests/support/SceneLinkDouble.h"

#include "Engine/Scene/XMeshNode.h"

#include <algorithm>

namespace
{
std::string Narrow(const XString& text)
{
    std::string out;
    for (const WCHAR* p = text.c_str(); p && *p; ++p)
        out += static_cast<char>(*p < 0x80 ? *p : '?');
    return out;
}

template <class T> void Erase(std::vector<T*>& list, const void* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
} // namespace

SceneLinkDouble::SceneLinkDouble() : m_Previous(Install(this)) {}

SceneLinkDouble::~SceneLinkDouble()
{
    Install(m_Previous);
}

void SceneLinkDouble::AttachObject(XScene* scene, XBaseObject* object)
{
    objects.push_back(object);
    StoreScene(object, scene);
}

void SceneLinkDouble::DetachObject(XScene*, XBaseObject* object)
{
    // As the scene: a node leaves the selection first.
    if (auto* node = dynamic_cast<XMeshNode*>(object))
        node->SetSelected(false);
    Erase(objects, object);
    StoreScene(object, nullptr);
}

void SceneLinkDouble::RenameObject(XScene*, XBaseObject* object, const XString&, const XString& newName)
{
    StoreName(object, newName);
}

void SceneLinkDouble::RenameObject(XScene*, XBaseObject* object, const XGuid&, const XGuid& newGuid)
{
    StoreGuid(object, newGuid);
}

void SceneLinkDouble::SelectNode(XScene*, XMeshNode* node, bool select)
{
    calls.push_back("Select " + Narrow(node->GetName()) + (select ? " 1" : " 0"));
    Erase(selection, node);
    bool selected = select && node->CanSelect();
    if (selected)
        selection.push_back(node);
    StoreSelected(node, selected);
}

XBaseObject* SceneLinkDouble::FindObject(XScene*, const XGuid& guid)
{
    for (XBaseObject* object : objects)
        if (object->GetGuid() == guid)
            return object;
    return nullptr;
}

XBaseObject* SceneLinkDouble::FindObject(XScene*, const XString& name)
{
    for (XBaseObject* object : objects)
        if (object->GetName() == name)
            return object;
    return nullptr;
}

XBaseEditor* SceneLinkDouble::FindEditor(XScene*, const XString& name)
{
    for (const auto& editor : editors)
        if (editor->GetName() == name)
            return editor.get();
    return nullptr;
}

void SceneLinkDouble::AddEditor(XScene*, XBaseEditor* editor)
{
    calls.push_back("Add " + Narrow(editor->GetName()));
    editors.emplace_back(editor);
}

void SceneLinkDouble::PushEditor(XScene*, XBaseEditor* editor)
{
    calls.push_back("Push " + Narrow(editor->GetName()));
}

XBaseEditor* SceneLinkDouble::CreateAnimationEditor(XScene* scene)
{
    calls.push_back("Create");
    return new RecordingEditor(scene, u"XAnimationEditor");
}
