#include "Engine/Editors/TBaseEditorFrame.h"

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
