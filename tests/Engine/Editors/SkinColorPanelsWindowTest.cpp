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
#include "tests/support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

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
    void ClickOn(TControl* control, int dx, int dy)
    {
        TPoint at = control->FormOrigin();
        probe->ClickAt(window, at.x + dx, at.y + dy);
        Settle();
    }

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
    form.Show();
    skinPanel->ActivateFrame();
    colorPanel->ActivateFrame();
    window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    Settle();

    // The screen shows what the form painted, and that is the reference picture.
    const int width = form.ClientWidth(), height = form.ClientHeight();
    std::vector<uint32_t> pixels(form.Pixels(), form.Pixels() + width * height);
    for (int y = 3; y < height; y += 37)
        for (int x = 3; x < width; x += 41)
            ASSERT_EQ(probe->ReadPixel(window, x, y), pixels[static_cast<size_t>(y * width + x)] & 0xFFFFFF)
                << x << "," << y;
    EXPECT_EQ(ReferenceImage::Compare("tests/Engine/Editors/data/skin_color_panels.png", pixels,
                                      static_cast<uint32_t>(width), static_cast<uint32_t>(height), 8),
              "");
    EXPECT_EQ(skinPanel->BoneNameCombo->Text(), u"Bone1");

    // "Bone2" from the dropped list, "Назначить", then "Назначить индексы костям" from 3.
    ClickOn(skinPanel->BoneNameCombo, 30, 10);
    ASSERT_TRUE(PumpUntil([&] { return skinPanel->BoneNameCombo->DroppedDown(); }));
    TComboListForm* list = ShownComboList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(skinPanel->BoneNameCombo->ItemCount(), 3);
    const unsigned long listWindow = Vcl::NativeWindowOf(list);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(listWindow); }));
    Settle();
    probe->ClickAt(listWindow, 20, 1 + list->RowHeight() + list->RowHeight() / 2);
    ASSERT_TRUE(PumpUntil([&] { return !skinPanel->BoneNameCombo->DroppedDown(); }));
    EXPECT_EQ(skinPanel->BoneNameCombo->Text(), u"Bone2");
    EXPECT_EQ(skin->GetBone(), bones[0]); // nothing until "Назначить"
    ClickOn(skinPanel->SetBoneBtn, 20, 10);
    EXPECT_EQ(skin->GetBone(), bones[1]);
    ClickOn(skinPanel->BoneStartIndexEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("3");
    probe->Key("Tab");
    Settle();
    ClickOn(skinPanel->SetupIndexesBtn, 20, 10);
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
    ClickOn(colorPanel->SpeedButton4, 20, 10);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(mesh->GetMesh()->GetColors()[i].GetARGB(), 0x00FF0000u) << i;
    body->SetColor(XColor(0xFF336699));
    ClickOn(colorPanel->SpeedButton1, 20, 10);
    EXPECT_EQ(mesh->GetMesh()->GetColors()[3].GetARGB(), 0xFF336699u);

    // Random input over both panels; colour dialogs opened on the way are cancelled.
    CancelDialogs cancel;
    TNotifyEvent previousHook = Vcl::SetColorDialogHook(MakeClosure(&cancel, &CancelDialogs::Shown));
    std::mt19937 random(34);
    const char* keys[] = {"Down", "Up", "space", "Tab", "Return", "1", "End", "Escape"};
    for (int i = 0; i < 600; ++i)
    {
        int x = static_cast<int>(random() % static_cast<unsigned>(width));
        int y = static_cast<int>(random() % static_cast<unsigned>(height));
        switch (random() % 4)
        {
        case 0: probe->ClickAt(window, x, y); break;
        case 1: probe->MoveTo(window, x, y); break;
        default: probe->Key(keys[random() % 8]); break;
        }
        if (i % 50 == 0)
            Settle();
    }
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
