#include "Engine/Editors/TSkinEditorFrame.h"

#include "Engine/Editors/EditorFramePlacing.h"
#include "Engine/Editors/XSkinEditor.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Scene/XScene.h"

using namespace EditorFramePlacing;

namespace
{
const int Margin = 10;
const int BoxWidth = TBaseEditorFrame::DesignWidth - 8;
const int InnerWidth = BoxWidth - 2 * Margin;
} // namespace

TSkinEditorFrame::TSkinEditorFrame(TComponent* owner, XScene* scene, XSkinEditor* editor)
    : TBaseEditorFrame(owner, scene, editor), m_SkinEditor(editor)
{
    SetHeight(FrameHeight);

    GroupBox1 = Place<TGroupBox>(this, this, 4, 4, BoxWidth, 100);
    GroupBox1->SetCaption(u"Базовая кость иерархии");
    Label1 = PlaceLabel(this, GroupBox1, Margin, 20, u"Кость");
    BoneNameCombo = Place<TComboBox>(this, GroupBox1, Margin, 36, InnerWidth, 21);
    BoneNameCombo->SetStyle(csDropDownList);
    BoneNameCombo->SetDropDownCount(16);
    BoneNameCombo->OnDropDown = MakeClosure(this, &TSkinEditorFrame::BoneNameComboDropDown);
    BoneNameCombo->OnSelect = MakeClosure(this, &TSkinEditorFrame::BoneNameComboSelect);
    SetBoneBtn = PlaceButton(this, GroupBox1, Margin, 66, InnerWidth, u"Назначить", 0);
    SetBoneBtn->OnClick = MakeClosure(this, &TSkinEditorFrame::SetBoneBtnClick);

    GroupBox2 = Place<TGroupBox>(this, this, 4, 110, BoxWidth, 100);
    GroupBox2->SetCaption(u"Индексы костей в иерархии");
    Label2 = PlaceLabel(this, GroupBox2, Margin, 20, u"Начальный индекс");
    BoneStartIndexEdit = Place<XIntEdit>(this, GroupBox2, Margin, 36, 60, 21);
    BoneStartIndexEdit->SetMaxLength(10);
    BoneStartIndexEdit->SetMaxValue(255);
    BoneStartIndexEdit->SetUseBounds(true);
    BoneStartIndexEdit->SetChangeValue(1);
    BoneStartIndexEdit->SetValue(1);
    SetupIndexesBtn = PlaceButton(this, GroupBox2, Margin, 66, InnerWidth, u"Назначить индексы костям", 0);
    SetupIndexesBtn->OnClick = MakeClosure(this, &TSkinEditorFrame::SetupIndexesBtnClick);

    SpeedButton1 = PlaceButton(this, this, 4, 218, BoxWidth, u"Пересчитать веса", 0);
    SpeedButton1->OnClick = MakeClosure(this, &TSkinEditorFrame::SpeedButton1Click);
}

XSkinModifier* TSkinEditorFrame::Modifier() const
{
    return m_SkinEditor->GetModifier();
}

void TSkinEditorFrame::ActivateFrame()
{
    XSkinModifier* modifier = Modifier();
    if (!modifier)
        return;
    BoneNameCombo->BeginUpdate();
    BoneNameCombo->ClearItems();
    BoneNameCombo->SetText(u"");
    if (XBone* bone = modifier->GetBone())
    {
        BoneNameCombo->AddItem(bone->GetName().c_str());
        BoneNameCombo->SetItemIndex(0);
    }
    BoneNameCombo->EndUpdate();
}

void TSkinEditorFrame::BoneNameComboDropDown(TObject*)
{
    XScene* scene = GetScene();
    if (!Modifier() || !scene)
        return;
    const UnicodeString chosen = BoneNameCombo->Text();
    BoneNameCombo->BeginUpdate();
    BoneNameCombo->ClearItems();
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        if (auto* bone = dynamic_cast<XBone*>(scene->GetNode(i)))
            BoneNameCombo->AddItem(bone->GetName().c_str());
    BoneNameCombo->EndUpdate();
    // The list opens on the bone already chosen.
    BoneNameCombo->SetText(chosen);
}

void TSkinEditorFrame::BoneNameComboSelect(TObject*)
{
}

void TSkinEditorFrame::SetBoneBtnClick(TObject*)
{
    XSkinModifier* modifier = Modifier();
    XScene* scene = GetScene();
    if (!modifier || !scene)
        return;
    XBaseObject* named = scene->FindObject(XString(BoneNameCombo->Text().c_str()));
    modifier->SetBone(dynamic_cast<XBone*>(named));
}

void TSkinEditorFrame::SetupIndexesBtnClick(TObject*)
{
    XSkinModifier* modifier = Modifier();
    if (!modifier)
        return;
    if (XBone* bone = modifier->GetBone())
        bone->SetupIndexes(static_cast<unsigned>(BoneStartIndexEdit->Value()));
}

void TSkinEditorFrame::SpeedButton1Click(TObject*)
{
    if (XSkinModifier* modifier = Modifier())
        modifier->Changed();
}
