// The base of the editors' side panels: a frame that knows the editor it serves and the scene.
// Each editor makes its panel on the first request for it and deletes it with itself; a host that
// shows a panel calls ActivateFrame after showing it and DeactivateFrame before hiding it.
#pragma once

#include "Platform/Vcl/Forms.h"

#include <vector>

class XBaseEditor;
class XMeshNode;
class XScene;

class TBaseEditorFrame : public TFrame
{
public:
    // The panel's designed size and tab order. The frame owns neither the scene nor the editor
    // and never touches them when it goes.
    static constexpr int DesignWidth = 230;
    static constexpr int DesignHeight = 296;

    TBaseEditorFrame(TComponent* owner, XScene* scene, XBaseEditor* editor);

    // Shown, or asked to refresh what it lists.
    virtual void ActivateFrame();
    // About to be hidden.
    virtual void DeactivateFrame();

    XBaseEditor* GetEditor() const { return m_Editor; }
    XScene* GetScene() const { return m_Scene; }

protected:
    // The node and its descendants, each before its children, without recursion.
    static std::vector<XMeshNode*> Subtree(XMeshNode* node);

    XBaseEditor* const m_Editor;
    XScene* const m_Scene;
};
