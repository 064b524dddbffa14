// The editor a skin modifier opens on the mesh it deforms: a triangle-mesh editor (selection,
// clipboard, undo and transforms as there) that also knows the modifier. Its panel chooses the
// modifier's root bone, numbers the bones of the hierarchy and has the weights recomputed.
// Opening and leaving it change nothing: the mesh keeps its level and the history stays.
#pragma once

#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Geometry/XSkinModifier.h"

class XSkinEditor : public XTriMeshEditor
{
public:
    explicit XSkinEditor(XScene* scene);
    // Deletes the panel.
    ~XSkinEditor() override;

    // Always true; nothing changes.
    bool Activate() override;
    bool Deactivate() override;
    // "XSkinEditor".
    StrUtils::XBaseString<WCHAR> GetName() override;
    // Draws nothing: no selection rectangle.
    void RenderOverlay(unsigned frame, XViewport* viewport, unsigned pass) override;
    void ObjectSelect(XBaseObject* object, bool selected) override;
    // One mode, "Weighting", which cannot be changed.
    unsigned GetModeCount() override;
    StrUtils::XBaseString<WCHAR> GetModeName(int index) override;
    int GetMode() override;
    void SetMode(int index) override;
    // The skin panel in place of the mesh panel: made on the first request, deleted with the
    // editor.
    TBaseEditorFrame* GetEditorFrame() override;

    // Watched: a modifier destroyed meanwhile reads as none.
    void SetModifier(XSkinModifier* modifier) { m_Modifier.SetTarget(modifier); }
    XSkinModifier* GetModifier() const { return m_Modifier.Get(); }

private:
    XReference<XSkinModifier> m_Modifier{this};
};
