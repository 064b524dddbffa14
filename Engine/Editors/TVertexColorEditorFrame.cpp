#include "Engine/Editors/TVertexColorEditorFrame.h"

#include "Engine/Editors/EditorFramePlacing.h"
#include "Engine/Editors/XVertexColorEditor.h"

using namespace EditorFramePlacing;

TVertexColorEditorFrame::TVertexColorEditorFrame(TComponent* owner, XScene* scene, XVertexColorEditor* editor)
    : TBaseEditorFrame(owner, scene, editor), m_ColorEditor(editor)
{
    ColorEdit = new XColorEdit(this);
    ColorEdit->SetParent(this);
    ColorEdit->SetAlign(alTop);
    ColorEdit->SetHeight(80);
    ColorEdit->SetOrientation(ceHorizontal);
    ColorEdit->SetColorSampleSize(20);
    ColorEdit->SetThumbLength(8);
    ColorEdit->SetFrequency(16);
    ColorEdit->SetMargin(5);
    const char16_t* titles[4] = {u"R", u"G", u"B", u"A"};
    for (int row = 0; row < 4; ++row)
        ColorEdit->SetColorTitle(row, titles[row]);
    ColorEdit->OnChange = MakeClosure(this, &TVertexColorEditorFrame::ColorEditChange);

    SpeedButton4 = PlaceButton(this, this, 4, 88, DesignWidth - 8, u"Назначить текущий цвет всем вершинам", 0);
    SpeedButton4->OnClick = MakeClosure(this, &TVertexColorEditorFrame::SpeedButton4Click);
    SpeedButton1 = PlaceButton(this, this, 4, 114, DesignWidth - 8, u"Назначить цвета всех вершин как у узла", 0);
    SpeedButton1->OnClick = MakeClosure(this, &TVertexColorEditorFrame::SpeedButton1Click);
    // The long captions fit the panel's width only a point smaller.
    for (TSpeedButton* button : {SpeedButton4, SpeedButton1})
        button->Font()->SetSize(button->Font()->Size() - 1);
}

void TVertexColorEditorFrame::ColorEditChange(TObject*)
{
    m_ColorEditor->SetPaintColor(ColorEdit->GetXColor());
}

void TVertexColorEditorFrame::SpeedButton4Click(TObject*)
{
    if (m_ColorEditor->GetMesh())
        m_ColorEditor->SetAllColors(m_ColorEditor->GetPaintColor());
}

void TVertexColorEditorFrame::SpeedButton1Click(TObject*)
{
    XMeshNode* node = m_ColorEditor->GetNode();
    if (node && m_ColorEditor->GetMesh())
        m_ColorEditor->SetAllColors(node->GetColor());
}
