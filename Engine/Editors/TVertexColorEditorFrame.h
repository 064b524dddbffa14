// The vertex-colour editor's side panel: the paint colour on four RGBA bars, and two buttons that
// colour every vertex at once, with the paint colour or with the node's own colour.
#pragma once

#include "Controls/XColorEdit.h"
#include "Engine/Editors/TBaseEditorFrame.h"
#include "Platform/Vcl/Buttons.h"

class XVertexColorEditor;

class TVertexColorEditorFrame : public TBaseEditorFrame
{
public:
    TVertexColorEditorFrame(TComponent* owner, XScene* scene, XVertexColorEditor* editor);

    // Handlers, as the controls call them. The buttons do nothing while the editor has no mesh.
    // The paint colour := the bars' colour.
    void ColorEditChange(TObject* Sender);
    // Every vertex := the paint colour.
    void SpeedButton4Click(TObject* Sender);
    // Every vertex := the bound node's colour; nothing without a node.
    void SpeedButton1Click(TObject* Sender);

    XColorEdit* ColorEdit = nullptr;
    TSpeedButton* SpeedButton4 = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;

private:
    XVertexColorEditor* const m_ColorEditor;
};
