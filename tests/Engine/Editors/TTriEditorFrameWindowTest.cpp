// The triangle-mesh editor's panel in a real window on a private X server: its pages compared as
// pictures, then used through XTest input as a user would.
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Scene/XMaterial.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Dialogs.h"

#include "tests/support/MathChecks.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
class TTriEditorFrameWindowTest : public PresenterWindowTest
{
public:
    TTriEditorFrameWindowTest() : PresenterWindowTest(1024, 1100) {}

    void ClickTab(TPageControl* pages, int index)
    {
        TRect tab = pages->TabRect(index);
        ClickOn(window, pages, tab.left + 10, tab.top + 8);
    }

    unsigned long window = 0;
};
} // namespace

TEST_F(TTriEditorFrameWindowTest, PagesShowAndAnswerMouseAndKeys)
{
    XScene scene(nullptr);
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Mesh");
    auto* object = dynamic_cast<XTriMesh*>(node->GetMesh());
    XMesh* mesh = object->GetMesh();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            mesh->AddVertex(XVertex(static_cast<float>(x), static_cast<float>(y), 0), 0xFFFFFFFF);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x)
        {
            uint32_t a = y * 3 + x;
            mesh->AddFace(XFace(a, a + 1, a + 4));
            mesh->AddFace(XFace(a, a + 4, a + 3));
        }
    for (const char16_t* name : {u"Stone", u"Glass"})
    {
        auto* material = new XMaterial();
        material->SetName(name);
        scene.AttachObject(material);
    }
    object->Edit(&scene, node);
    auto* editor = dynamic_cast<XTriMeshEditor*>(scene.GetEditor());
    ASSERT_NE(editor, nullptr);
    auto* panel = dynamic_cast<TTriEditorFrame*>(editor->GetEditorFrame());
    ASSERT_NE(panel, nullptr);

    TForm form(nullptr);
    form.SetCaption(u"Mesh panel");
    form.SetBounds(20, 20, 240, TTriEditorFrame::DesignHeight + 10);
    panel->SetParent(&form);
    panel->SetBounds(5, 5, 230, TTriEditorFrame::DesignHeight);
    ASSERT_TRUE(ShowForm(form, window));
    panel->ActivateFrame();
    Settle();
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Engine/Editors/data/tri_panel_vertices.png", 3, 43, 41));

    // "Все" selects every vertex; "Соседние" after a single pick grows it by one ring.
    ClickOn(window, panel->SpeedButton6, 20, 10);
    EXPECT_EQ(mesh->GetVertexSelection().Count(true), 9u);
    EXPECT_EQ(editor->GetUndoName(), XString(u"Выделить все вершины"));
    // Move X by 0.5 typed, then "Выполнить".
    ClickOn(window, panel->MoveXEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("0");
    probe->Key("period");
    probe->Key("5");
    probe->Key("Tab");
    Settle();
    ClickOn(window, panel->MoveBtn, 20, 10);
    ExpectVertex(mesh->GetVertices()[0], 0.5f, 0, 0, 1e-6f);
    EXPECT_EQ(editor->GetUndoName(), XString(u"Перемещение"));
    // The mirror's axis by its radio buttons: Z picked by a click, then Left moves to Y.
    ClickOn(window, panel->MirrorRadio->Button(2), 6, 8);
    EXPECT_EQ(panel->MirrorRadio->ItemIndex(), 2);
    probe->Key("Left");
    Settle();
    EXPECT_EQ(panel->MirrorRadio->ItemIndex(), 1);
    // Uniform scale: typing into one scale box fills the others.
    ClickOn(window, panel->ScaleXEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("2");
    probe->Key("Tab");
    Settle();
    EXPECT_FLOAT_EQ(panel->ScaleYEdit->Value(), 2);
    EXPECT_FLOAT_EQ(panel->ScaleZEdit->Value(), 2);

    // The faces page: its picture, a material from the dropped list, applied to all faces.
    ClickTab(panel->PageControl, 1);
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->FacesTab);
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Engine/Editors/data/tri_panel_faces.png", 3, 43, 41));
    ClickOn(window, panel->FacesSelectAllBtn, 20, 10);
    EXPECT_EQ(mesh->GetFaceSelection().Count(true), 8u);
    ClickOn(window, panel->MaterialCombo, 30, 10);
    ASSERT_TRUE(panel->MaterialCombo->DroppedDown());
    probe->Key("Down");
    probe->Key("Down");
    probe->Key("Return");
    Settle();
    ASSERT_EQ(panel->MaterialCombo->Text(), u"Glass");
    ClickOn(window, panel->ApplyMaterialBtn, 20, 10);
    for (uint32_t i = 0; i < mesh->GetFaceCount(); ++i)
        EXPECT_EQ(mesh->GetFaces()[i].material, 1u) << i;
    // A saved selection by its picture button; the name comes from the question.
    Vcl::InputQueryHandler previous = Vcl::SetInputQueryHandler(
        [](const UnicodeString&, const UnicodeString&, UnicodeString& value)
        {
            value = u"Top";
            return true;
        });
    ClickOn(window, panel->SelectionSaveBtn, 10, 10);
    Vcl::SetInputQueryHandler(previous);
    ASSERT_EQ(panel->SelectionList->Count(), 1);
    EXPECT_EQ(panel->SelectionList->Items()->Strings(0), u"Top");

    // The information page lists the one selected vertex once its timer runs.
    mesh->GetVertexSelection().ClearAll();
    mesh->GetVertexSelection().SetBit(4, true);
    ClickTab(panel->PageControl, 3);
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->InfoTab);
    ClickOn(window, panel->InfoActiveCheck, 6, 8);
    ASSERT_TRUE(panel->InfoTimer->Enabled());
    ASSERT_TRUE(PumpUntil([&] { return panel->InfoMemo->Lines()->Count() > 0; }));
    EXPECT_EQ(panel->InfoMemo->Lines()->Strings(0), u"Vertex index: 4");
    EXPECT_EQ(panel->InfoMemo->Lines()->Strings(1), u"Position: ( 1.5, 1, 0");
    ClickOn(window, panel->InfoActiveCheck, 6, 8);
    EXPECT_FALSE(panel->InfoTimer->Enabled());

    // Random input over the panel never breaks it; the edits stay undoable to the start.
    BoxRecorder boxes;
    previous = Vcl::SetInputQueryHandler(
        [](const UnicodeString&, const UnicodeString&, UnicodeString& value)
        {
            value = u"R";
            return true;
        });
    const char* keys[] = {"Down", "Up", "space", "Tab", "Return", "1", "period", "Left"};
    RandomInput(window, form.ClientWidth(), form.ClientHeight(), 34, 4,
                [&](unsigned, std::mt19937& random) { probe->Key(keys[random() % 8]); });
    Settle();
    Vcl::SetInputQueryHandler(previous);
    EXPECT_TRUE(form.Visible());
    form.Hide();
    panel->SetParent(nullptr);
}
