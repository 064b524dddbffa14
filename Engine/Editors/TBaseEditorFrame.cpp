#include "Engine/Editors/TBaseEditorFrame.h"

#include "Engine/Scene/XMeshNode.h"

TBaseEditorFrame::TBaseEditorFrame(TComponent* owner, XScene* scene, XBaseEditor* editor)
    : TFrame(owner), m_Editor(editor), m_Scene(scene)
{
    SetBounds(0, 0, DesignWidth, DesignHeight);
    SetTabOrder(0);
}

void TBaseEditorFrame::ActivateFrame()
{
}

void TBaseEditorFrame::DeactivateFrame()
{
}

std::vector<XMeshNode*> TBaseEditorFrame::Subtree(XMeshNode* node)
{
    std::vector<XMeshNode*> result;
    std::vector<XMeshNode*> pending{node};
    while (!pending.empty())
    {
        XMeshNode* n = pending.back();
        pending.pop_back();
        result.push_back(n);
        for (uint32_t i = n->GetChildCount(); i-- > 0;)
            pending.push_back(n->GetChild(i));
    }
    return result;
}
