// The skin editor's and the vertex-colour editor's panels in a real window on a private X server:
// shown beside each other, compared as a picture, and used through XTest input as a user would:
// a bone picked from the dropped list, the root set and the hierarchy numbered; the red bar dragged
// to its end and every vertex coloured.
#include "Engine/Editors/TSkinEditorFrame.h"
#include "Engine/Editors/TVertexColorEditorFrame.h"
#include "Engine/Editors/XSkinEditor.h"
#include "Engine/Editors/XVertexColorEditor.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Dialogs.h"

#include "tests/support/ComboList.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
// Cancels every colour dialog that random clicks on the colour sample open.
struct CancelDialogs
{
    void Shown(TObject* sender) { static_cast<TColorDialog*>(sender)->Form()->SetModalResult(mrCancel); }
};

class SkinColorPanelsWindowTest : public PresenterWindowTest
{
public:
    unsigned long window = 0;
};
} // namespace

TEST_F(SkinColorPanelsWindowTest, BothPanelsShowAndWorkByMouse)
{
    XScene scene(nullptr);
    AddEngineClasses(&scene);
    XMeshNode* body = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Body");
    auto* mesh = static_cast<XTriMesh*>(body->GetMesh());
    for (int i = 0; i < 4; ++i)
        mesh->GetMesh()->AddVertex(XVertex(static_cast<float>(i), 0, 0), XColor(0xFFFFFFFF));
    auto* skin = static_cast<XSkinModifier*>(scene.CreateObject(XString(u"XSkinModifier"), nullptr, u"Skin"));
    mesh->AddModifier(skin);
    XBone* bones[3];
    const char16_t* names[3] = {u"Bone1", u"Bone2", u"Bone3"};
    for (int i = 0; i < 3; ++i)
        bones[i] = static_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, names[i]));
    scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Prop");
    bones[0]->AddChild(bones[1]);
    bones[1]->AddChild(bones[2]);
    skin->SetBone(bones[0]);

    skin->Edit(&scene, body, mesh, nullptr);
    auto* skinEditor = dynamic_cast<XSkinEditor*>(scene.GetEditor());
    ASSERT_NE(skinEditor, nullptr);
    auto* skinPanel = static_cast<TSkinEditorFrame*>(skinEditor->GetEditorFrame());
    scene.PopEditor();
    auto* painter = new XVertexColorEditor(&scene);
    scene.AddEditor(painter);
    painter->SetMesh(mesh);
    painter->SetNode(body);
    scene.PushEditor(painter);
    auto* colorPanel = static_cast<TVertexColorEditorFrame*>(painter->GetEditorFrame());

    TForm form(nullptr);
    form.SetCaption(u"Skin and colour panels");
    form.SetBounds(20, 20, 470, 300);
    skinPanel->SetParent(&form);
    skinPanel->SetBounds(5, 5, 230, 290);
    colorPanel->SetParent(&form);
    colorPanel->SetBounds(240, 5, 230, 290);
    ASSERT_TRUE(ShowForm(form, window));
    skinPanel->ActivateFrame();
    colorPanel->ActivateFrame();
    Settle();

    // The screen shows what the form painted, and that is the reference picture.
    ASSERT_NO_FATAL_FAILURE(
        ExpectFormPicture(window, form, "tests/Engine/Editors/data/skin_color_panels.png", 3, 41, 37));
    EXPECT_EQ(skinPanel->BoneNameCombo->Text(), u"Bone1");

    // "Bone2" from the dropped list, "Назначить", then "Назначить индексы костям" from 3.
    ClickOn(window, skinPanel->BoneNameCombo, 30, 10);
    ASSERT_TRUE(PumpUntil([&] { return skinPanel->BoneNameCombo->DroppedDown(); }));
    TComboListForm* list = ShownComboList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(skinPanel->BoneNameCombo->ItemCount(), 3);
    const unsigned long listWindow = Vcl::NativeWindowOf(list);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(listWindow); }));
    Settle();
    probe->ClickAt(listWindow, 20, 1 + list->RowHeight() + list->RowHeight() / 2);
    ASSERT_TRUE(PumpUntil([&] { return !skinPanel->BoneNameCombo->DroppedDown(); }));
    // The buttons below lie under the list: the server must have taken it away before they are clicked.
    ASSERT_TRUE(PumpUntil([&] { return !probe->Viewable(listWindow); }));
    EXPECT_EQ(skinPanel->BoneNameCombo->Text(), u"Bone2");
    EXPECT_EQ(skin->GetBone(), bones[0]); // nothing until "Назначить"
    ClickOn(window, skinPanel->SetBoneBtn, 20, 10);
    EXPECT_EQ(skin->GetBone(), bones[1]);
    ClickOn(window, skinPanel->BoneStartIndexEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("3");
    probe->Key("Tab");
    Settle();
    ClickOn(window, skinPanel->SetupIndexesBtn, 20, 10);
    EXPECT_EQ(bones[1]->GetIndex(), 3u);
    EXPECT_EQ(bones[2]->GetIndex(), 4u);

    // The red bar's thumb dragged past the end: the paint colour is pure red with alpha 0; then
    // "Назначить текущий цвет всем вершинам".
    TTrackBar* red = colorPanel->ColorEdit->Bar(0);
    const TRect thumb = red->ThumbRect();
    const TPoint from = red->FormOrigin();
    probe->MoveTo(window, from.x + thumb.left + thumb.Width() / 2, from.y + thumb.top + thumb.Height() / 2);
    probe->Button(1, true);
    probe->MoveTo(window, from.x + red->Width() + 40, from.y + thumb.top + thumb.Height() / 2);
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(red->Position(), 255);
    EXPECT_EQ(painter->GetPaintColor().GetARGB(), 0x00FF0000u);
    ClickOn(window, colorPanel->SpeedButton4, 20, 10);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(mesh->GetMesh()->GetColors()[i].GetARGB(), 0x00FF0000u) << i;
    body->SetColor(XColor(0xFF336699));
    ClickOn(window, colorPanel->SpeedButton1, 20, 10);
    EXPECT_EQ(mesh->GetMesh()->GetColors()[3].GetARGB(), 0xFF336699u);

    // Random input over both panels; colour dialogs opened on the way are cancelled.
    CancelDialogs cancel;
    TNotifyEvent previousHook = Vcl::SetColorDialogHook(MakeClosure(&cancel, &CancelDialogs::Shown));
    const char* keys[] = {"Down", "Up", "space", "Tab", "Return", "1", "End", "Escape"};
    RandomInput(window, form.ClientWidth(), form.ClientHeight(), 34, 4,
                [&](unsigned, std::mt19937& random) { probe->Key(keys[random() % 8]); });
    Settle();
    skinPanel->BoneNameCombo->SetDroppedDown(false);
    Settle();
    Vcl::SetColorDialogHook(previousHook);
    EXPECT_TRUE(form.Visible());
    form.Hide();
    // The panels belong to their editors.
    skinPanel->SetParent(nullptr);
    colorPanel->SetParent(nullptr);
}
