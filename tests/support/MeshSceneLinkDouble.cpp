#include "tests/support/MeshSceneLinkDouble.h"

MeshSceneLinkDouble::MeshSceneLinkDouble() : m_Previous(Install(this)) {}

MeshSceneLinkDouble::~MeshSceneLinkDouble()
{
    Install(m_Previous);
}

XBaseObject* MeshSceneLinkDouble::FindObject(XScene*, const XGuid& guid)
{
    for (auto& [key, object] : objects)
        if (key == guid)
            return object;
    return nullptr;
}

XBaseEditor* MeshSceneLinkDouble::FindEditor(XScene*, const XString& name)
{
    auto it = editors.find(std::u16string(name.c_str()));
    return it == editors.end() ? nullptr : it->second;
}

void MeshSceneLinkDouble::AddEditor(XScene*, XBaseEditor* editor)
{
    calls.push_back("Add");
    arguments.push_back(editor);
    editors[std::u16string(editor->GetName().c_str())] = editor;
}

void MeshSceneLinkDouble::PushEditor(XScene*, XBaseEditor* editor)
{
    calls.push_back("Push");
    arguments.push_back(editor);
}

bool MeshSceneLinkDouble::IsTriMeshEditor(XBaseEditor* editor)
{
    for (const auto& e : made)
        if (e.get() == editor)
            return true;
    return false;
}

XBaseEditor* MeshSceneLinkDouble::CreateTriMeshEditor(XScene* scene)
{
    made.push_back(std::make_unique<RecordingEditor>(scene, u"XTriMeshEditor"));
    return made.back().get();
}

void MeshSceneLinkDouble::BindTriMeshEditor(XBaseEditor* editor, XTriMesh* mesh, XMeshNode* node)
{
    calls.push_back("Bind");
    arguments.push_back(editor);
    arguments.push_back(mesh);
    arguments.push_back(node);
}

XMatrix MeshSceneLinkDouble::GetMeshMatrix(XMeshNode* node, unsigned)
{
    auto it = meshMatrices.find(node);
    return it == meshMatrices.end() ? XMatrix(1.0f) : it->second;
}

XScene* FakeScene(int which)
{
    static char scenes[4];
    return reinterpret_cast<XScene*>(&scenes[which]);
}
