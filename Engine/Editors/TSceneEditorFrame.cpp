#include "Engine/Editors/TSceneEditorFrame.h"

#include "Engine/Editors/EditorFramePlacing.h"
#include "Engine/Editors/EditorGlyphs.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Editors/XSceneEditor.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Scene/XSceneLink.h"
#include "Engine/Views/XView.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/Forms.h"

#include <vector>

using namespace EditorFramePlacing;
using namespace EditorGlyphs;

namespace
{
const int Margin = 8;
// A row of three value boxes wide enough for "-0.0000" and the five decimals they show, and its button.
const int BoxWidth = 46;
const int BoxStep = BoxWidth + 1;
const int RowButtonLeft = Margin + 3 * BoxStep + 1;
const int RowButtonWidth = 62;
} // namespace

TSceneEditorFrame::TSceneEditorFrame(TComponent* owner, XScene* scene, XSceneEditor* editor)
    : TBaseEditorFrame(owner, scene, editor), m_SceneEditor(editor)
{
    Pages = new TPageControl(this);
    Pages->SetParent(this);
    Pages->SetAlign(alClient);
    TransformTab = new TTabSheet(this);
    TransformTab->SetPageControl(Pages);
    TransformTab->SetCaption(u"Трансформация");
    AnimationTab = new TTabSheet(this);
    AnimationTab->SetPageControl(Pages);
    AnimationTab->SetCaption(u"Анимация");
    Pages->SetActivePage(TransformTab);

    XScroll1 = PlacePanel(this, TransformTab, u"Трансформация", 200);
    Label1 = PlaceLabel(this, XScroll1, Margin, 24, u"Перемещение (X; Y; Z)");
    MoveXEdit = PlaceFloat(this, XScroll1, Margin, 40, BoxWidth, -10000, 10000, false, 0);
    MoveYEdit = PlaceFloat(this, XScroll1, Margin + BoxStep, 40, BoxWidth, -10000, 10000, false, 0);
    MoveZEdit = PlaceFloat(this, XScroll1, Margin + 2 * BoxStep, 40, BoxWidth, -10000, 10000, false, 0);
    MoveBtn = PlaceButton(this, XScroll1, RowButtonLeft, 39, RowButtonWidth, u"Выполнить", 0);
    Label2 = PlaceLabel(this, XScroll1, Margin, 66, u"Вращение (X; Y; Z)");
    RotationXEdit = PlaceFloat(this, XScroll1, Margin, 82, BoxWidth, -10000, 10000, false, 0);
    RotationYEdit = PlaceFloat(this, XScroll1, Margin + BoxStep, 82, BoxWidth, -10000, 10000, false, 0);
    RotationZEdit = PlaceFloat(this, XScroll1, Margin + 2 * BoxStep, 82, BoxWidth, -10000, 10000, false, 0);
    RotateBtn = PlaceButton(this, XScroll1, RowButtonLeft, 81, RowButtonWidth, u"Выполнить", 0);
    Label3 = PlaceLabel(this, XScroll1, Margin, 108, u"Масштаб (YZ; XZ; XY)");
    ScaleXEdit = PlaceFloat(this, XScroll1, Margin, 124, BoxWidth, 0.01f, 100, true, 0);
    ScaleYEdit = PlaceFloat(this, XScroll1, Margin + BoxStep, 124, BoxWidth, 0.01f, 100, true, 0);
    ScaleZEdit = PlaceFloat(this, XScroll1, Margin + 2 * BoxStep, 124, BoxWidth, 0.01f, 100, true, 0);
    ScaleBtn = PlaceButton(this, XScroll1, RowButtonLeft, 123, RowButtonWidth, u"Выполнить", 0);
    UniformScaleCheck = Place<TCheckBox>(this, XScroll1, Margin, 152, 190, 17);
    UniformScaleCheck->SetCaption(u"Равномерный масштаб");
    UniformScaleCheck->SetChecked(true);
    for (XFloatEdit* edit : {ScaleXEdit, ScaleYEdit, ScaleZEdit})
    {
        edit->OnChange = MakeClosure(this, &TSceneEditorFrame::ScaleXEditChange);
        edit->OnExit = MakeClosure(this, &TSceneEditorFrame::ScaleXEditExit);
    }
    MoveBtn->OnClick = MakeClosure(this, &TSceneEditorFrame::MoveBtnClick);
    RotateBtn->OnClick = MakeClosure(this, &TSceneEditorFrame::RotateBtnClick);
    ScaleBtn->OnClick = MakeClosure(this, &TSceneEditorFrame::ScaleBtnClick);

    XScroll2 = PlacePanel(this, TransformTab, u"Сброс трансформации", 85);
    Label4 = PlaceLabel(this, XScroll2, Margin, 28, u"Объекта");
    Label5 = PlaceLabel(this, XScroll2, Margin, 54, u"Узла");
    SpeedButton1 = PlaceButton(this, XScroll2, Margin + 55, 24, 70, u"Смещение", 0);
    SpeedButton2 = PlaceButton(this, XScroll2, Margin + 128, 24, 66, u"Все", 1);
    SpeedButton4 = PlaceButton(this, XScroll2, Margin + 55, 50, 70, u"Смещение", 2);
    SpeedButton3 = PlaceButton(this, XScroll2, Margin + 128, 50, 66, u"Все", 3);
    for (TSpeedButton* button : {SpeedButton1, SpeedButton2, SpeedButton4, SpeedButton3})
        button->OnClick = MakeClosure(this, &TSceneEditorFrame::SpeedButton1Click);

    XScroll3 = PlacePanel(this, TransformTab, u"Видимость узлов", 85);
    HideNodes = PlaceButton(this, XScroll3, Margin, 24, 50, u"Скрыть", 0);
    ShowNodesBtn = PlaceButton(this, XScroll3, Margin + 52, 24, 60, u"Показать", 1);
    ShowAllBtn = PlaceButton(this, XScroll3, Margin + 114, 24, 82, u"Показать все", 2);
    for (TSpeedButton* button : {HideNodes, ShowNodesBtn, ShowAllBtn})
        button->OnClick = MakeClosure(this, &TSceneEditorFrame::ShowNodesBtnClick);
    ShowHideChildAffectCheck = Place<TCheckBox>(this, XScroll3, Margin, 52, 190, 17);
    ShowHideChildAffectCheck->SetCaption(u"Вкл.дочерние");
    ShowHideChildAffectCheck->SetChecked(true);

    AnimCreateBtn = PlaceButton(this, AnimationTab, 4, 4, 23, u"", 0);
    AnimDeleteBtn = PlaceButton(this, AnimationTab, 29, 4, 23, u"", 0);
    AnimRefreshBtn = PlaceButton(this, AnimationTab, 54, 4, 23, u"", 0);
    SetGlyph(AnimCreateBtn, CreateGlyph);
    SetGlyph(AnimDeleteBtn, DeleteGlyph);
    SetGlyph(AnimRefreshBtn, RefreshGlyph);
    for (TSpeedButton* button : {AnimCreateBtn, AnimDeleteBtn, AnimRefreshBtn})
        button->SetFlat(true);
    AnimCreateBtn->OnClick = MakeClosure(this, &TSceneEditorFrame::AnimCreateBtnClick);
    AnimDeleteBtn->OnClick = MakeClosure(this, &TSceneEditorFrame::AnimDeleteBtnClick);
    AnimRefreshBtn->OnClick = MakeClosure(this, &TSceneEditorFrame::AnimRefreshBtnClick);
    AnimList = Place<TListBox>(this, AnimationTab, 4, 30, 210, 220);
    AnimList->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
    AnimList->OnClick = MakeClosure(this, &TSceneEditorFrame::AnimListClick);
    AnimList->OnDblClick = MakeClosure(this, &TSceneEditorFrame::AnimListDblClick);

    ResetEdits();
    UpdateAnimList();
}

XMeshNode* TSceneEditorFrame::SelectedNode() const
{
    XSceneLink* link = XSceneLink::Get();
    if (link->GetSelNodeCount(m_Scene) != 1)
        return nullptr;
    return link->GetSelNode(m_Scene, 0);
}

XViewport* TSceneEditorFrame::ActiveViewport() const
{
    XView* view = m_Scene ? m_Scene->GetView() : nullptr;
    return view ? view->GetActiveViewport() : nullptr;
}

bool TSceneEditorFrame::Ask(const UnicodeString& question) const
{
    return MessageBoxW(nullptr, question.c_str(), Application->Title().c_str(), MB_YESNO) == IDYES;
}

void TSceneEditorFrame::ResetEdits()
{
    for (XFloatEdit* edit : {MoveXEdit, MoveYEdit, MoveZEdit, RotationXEdit, RotationYEdit, RotationZEdit})
        edit->SetValue(0);
    for (XFloatEdit* edit : {ScaleXEdit, ScaleYEdit, ScaleZEdit})
        edit->SetValue(1);
}

void TSceneEditorFrame::ActivateFrame()
{
    UpdateAnimList();
    ResetEdits();
}

void TSceneEditorFrame::DeactivateFrame()
{
}

void TSceneEditorFrame::UpdateAnimList()
{
    UnicodeString remembered;
    bool hadSelection = AnimList->ItemIndex() >= 0;
    if (hadSelection)
        remembered = AnimList->Items()->Strings(AnimList->ItemIndex());
    XMeshNode* node = SelectedNode();
    AnimList->Items()->BeginUpdate();
    AnimList->Items()->Clear();
    int reselect = -1;
    if (node)
    {
        for (uint32_t i = 0; i < node->GetAnimationCount(); ++i)
        {
            UnicodeString name(node->GetAnimation(i)->Name.c_str());
            AnimList->Items()->Add(name);
            if (hadSelection && reselect < 0 && name == remembered)
                reselect = static_cast<int>(i);
        }
    }
    AnimList->Items()->EndUpdate();
    AnimList->SetItemIndex(reselect);
    AnimCreateBtn->SetEnabled(node != nullptr);
    AnimDeleteBtn->SetEnabled(node != nullptr);
}

void TSceneEditorFrame::MoveBtnClick(TObject*)
{
    m_SceneEditor->MoveBy(ActiveViewport(), XVertex(MoveXEdit->Value(), MoveYEdit->Value(), MoveZEdit->Value()));
    for (XFloatEdit* edit : {MoveXEdit, MoveYEdit, MoveZEdit})
        edit->SetValue(0);
}

void TSceneEditorFrame::RotateBtnClick(TObject*)
{
    m_SceneEditor->RotateBy(ActiveViewport(), XVertex(DegToRad(RotationXEdit->Value()), DegToRad(RotationYEdit->Value()),
                                                 DegToRad(RotationZEdit->Value())));
    for (XFloatEdit* edit : {RotationXEdit, RotationYEdit, RotationZEdit})
        edit->SetValue(0);
}

void TSceneEditorFrame::ScaleBtnClick(TObject*)
{
    m_SceneEditor->ScaleBy(ActiveViewport(), XVertex(ScaleXEdit->Value(), ScaleYEdit->Value(), ScaleZEdit->Value()));
    for (XFloatEdit* edit : {ScaleXEdit, ScaleYEdit, ScaleZEdit})
        edit->SetValue(1);
}

void TSceneEditorFrame::ScaleXEditChange(TObject* Sender)
{
    SpreadScale(Sender, UniformScaleCheck, {ScaleXEdit, ScaleYEdit, ScaleZEdit}, false);
}

void TSceneEditorFrame::ScaleXEditExit(TObject* Sender)
{
    SpreadScale(Sender, UniformScaleCheck, {ScaleXEdit, ScaleYEdit, ScaleZEdit}, true);
}

void TSceneEditorFrame::SpeedButton1Click(TObject* Sender)
{
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    XSceneLink* link = XSceneLink::Get();
    if (!button || link->GetSelNodeCount(m_Scene) == 0)
        return;
    if (!Ask(u"Выполнить сброс трансформации для выделенных объектов?"))
        return;
    for (unsigned i = 0; i < link->GetSelNodeCount(m_Scene); ++i)
    {
        XMeshNode* node = link->GetSelNode(m_Scene, i);
        switch (button->Tag)
        {
        case 0: node->ResetMeshTransform(true, false, false); break;
        case 1: node->ResetMeshTransform(true, true, true); break;
        case 2: node->ResetPosition(); break;
        case 3: node->ResetMatrix(); break;
        default: break;
        }
    }
}

void TSceneEditorFrame::ShowNodesBtnClick(TObject* Sender)
{
    auto* button = dynamic_cast<TSpeedButton*>(Sender);
    XSceneLink* link = XSceneLink::Get();
    if (!button)
        return;
    if (button->Tag == 2)
    {
        for (unsigned i = 0; i < link->GetNodeCount(m_Scene); ++i)
            link->GetNode(m_Scene, i)->SetVisible(true);
        return;
    }
    bool visible = button->Tag == 1;
    bool recursive = ShowHideChildAffectCheck->Checked();
    // From the last: hiding deselects, so the list shrinks behind the walk.
    for (unsigned i = link->GetSelNodeCount(m_Scene); i-- > 0;)
    {
        // A recursive hide may already have taken later entries out of the list.
        if (i >= link->GetSelNodeCount(m_Scene))
            continue;
        link->GetSelNode(m_Scene, i)->SetVisible(visible, recursive);
    }
}

bool TSceneEditorFrame::SelectListedAnimation()
{
    XMeshNode* node = SelectedNode();
    int index = AnimList->ItemIndex();
    if (!node || index < 0)
        return false;
    XAnimationEditor::SelectAnimation(node, XString(AnimList->Items()->Strings(index).c_str()), true);
    return true;
}

void TSceneEditorFrame::AnimListClick(TObject*)
{
    SelectListedAnimation();
}

void TSceneEditorFrame::AnimListDblClick(TObject*)
{
    if (!SelectListedAnimation())
        return;
    SelectedNode()->Edit(m_Scene);
}

void TSceneEditorFrame::AnimCreateBtnClick(TObject*)
{
    XMeshNode* node = SelectedNode();
    if (!node)
        return;
    UnicodeString name;
    if (!InputQuery(Application->Title(), u"Введите имя создаваемой анимации.", name) || name.IsEmpty())
        return;
    XAnimationEditor::SelectAnimation(node, XString(name.c_str()), true);
    UpdateAnimList();
}

void TSceneEditorFrame::AnimDeleteBtnClick(TObject*)
{
    XMeshNode* node = SelectedNode();
    int index = AnimList->ItemIndex();
    if (!node || index < 0)
        return;
    if (!Ask(u"Удалить анимацию?"))
        return;
    XString name(AnimList->Items()->Strings(index).c_str());
    for (XMeshNode* n : Subtree(node))
    {
        int found = n->IndexOfAnimation(name);
        if (found < 0)
            continue;
        XAnimation* animation = n->GetAnimation(static_cast<uint32_t>(found));
        if (n->GetAnimation() == animation)
            n->SetAnimation(nullptr);
        n->DeleteAnimation(static_cast<uint32_t>(found));
    }
    UpdateAnimList();
}

void TSceneEditorFrame::AnimRefreshBtnClick(TObject*)
{
    UpdateAnimList();
}
