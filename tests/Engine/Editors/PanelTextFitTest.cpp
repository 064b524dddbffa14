// Every editor panel at its designed width and the default font: each caption, label and value
// fits the room its control draws it in, so nothing is cut as "0.000(" or "Зыполнить".
#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Editors/TSceneEditorFrame.h"
#include "Engine/Editors/TSkinEditorFrame.h"
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/TVertexColorEditorFrame.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Editors/XSkinEditor.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Editors/XVertexColorEditor.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Forms.h"

#include "tests/support/TextFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace
{
void IgnoreSelect(TObject*, XBaseObject*, bool) {}

// One scene that opens every editor: a mesh node with a skin of two bones and an animation.
class PanelTextFitTest : public ::testing::Test
{
protected:
    PanelTextFitTest()
    {
        AddEngineClasses(&scene);
        scene.OnObjectSelect = TClosure<void(TObject*, XBaseObject*, bool)>(IgnoreSelect);
        body = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Body");
        mesh = static_cast<XTriMesh*>(body->GetMesh());
        for (int i = 0; i < 3; ++i)
            mesh->GetMesh()->AddVertex(XVertex(static_cast<float>(i), 0, 0), XColor(0xFFFFFFFF));
        skin = static_cast<XSkinModifier*>(scene.CreateObject(XString(u"XSkinModifier"), nullptr, u"Skin"));
        mesh->AddModifier(skin);
        auto* root = static_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, u"Spine"));
        root->AddChild(static_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, u"Head")));
        skin->SetBone(root);
        XAnimationEditor::SelectAnimation(body, u"Run", true);
        body->SetSelected(true);
    }

    // The panel at its designed width in a form, laid out and shown as the view host shows it.
    void Host(TFrame* panel, int height)
    {
        panel->SetParent(&form);
        panel->SetBounds(0, 0, TBaseEditorFrame::DesignWidth, height);
    }

    XScene scene{nullptr};
    XMeshNode* body = nullptr;
    XTriMesh* mesh = nullptr;
    XSkinModifier* skin = nullptr;
    TForm form{nullptr};
};

bool Lists(const std::vector<TextFit::Spot>& spots, const TControl* control)
{
    return std::any_of(spots.begin(), spots.end(),
                       [&](const TextFit::Spot& s)
                       { return s.control == control || s.control->Parent() == control; });
}
} // namespace

TEST_F(PanelTextFitTest, EveryTextOfEveryPanelFitsItsControl)
{
    form.SetBounds(0, 0, 800, 1100);
    auto* scenePanel = dynamic_cast<TSceneEditorFrame*>(scene.GetSceneEditor()->GetEditorFrame());
    ASSERT_NE(scenePanel, nullptr);

    mesh->Edit(&scene, body);
    auto* triEditor = dynamic_cast<XTriMeshEditor*>(scene.GetEditor());
    ASSERT_NE(triEditor, nullptr);
    auto* triPanel = dynamic_cast<TTriEditorFrame*>(triEditor->GetEditorFrame());
    scene.PopEditor();

    skin->Edit(&scene, body, mesh, nullptr);
    auto* skinEditor = dynamic_cast<XSkinEditor*>(scene.GetEditor());
    ASSERT_NE(skinEditor, nullptr);
    auto* skinPanel = dynamic_cast<TSkinEditorFrame*>(skinEditor->GetEditorFrame());
    scene.PopEditor();

    auto* painter = new XVertexColorEditor(&scene);
    scene.AddEditor(painter);
    painter->SetMesh(mesh);
    painter->SetNode(body);
    scene.PushEditor(painter);
    auto* colorPanel = dynamic_cast<TVertexColorEditorFrame*>(painter->GetEditorFrame());
    scene.PopEditor();

    body->Edit(&scene);
    auto* animEditor = dynamic_cast<XAnimationEditor*>(scene.GetEditor());
    ASSERT_NE(animEditor, nullptr);
    auto* animPanel = dynamic_cast<TAnimationEditorFrame*>(animEditor->GetEditorFrame());
    ASSERT_TRUE(triPanel && skinPanel && colorPanel && animPanel);

    struct Panel
    {
        const char* name;
        TFrame* frame;
        int height;
        std::function<void()> show;            // brings the panel's texts up as a user sees them
        std::vector<const TControl*> mustList; // proof that the walk reached each kind of control
    };
    const Panel panels[] = {
        {"scene",
         scenePanel,
         560,
         [&] { scenePanel->ActivateFrame(); },
         {scenePanel->MoveXEdit, scenePanel->ScaleZEdit, scenePanel->MoveBtn, scenePanel->Label1,
          scenePanel->Label4, scenePanel->UniformScaleCheck, scenePanel->ShowAllBtn, scenePanel->Pages,
          scenePanel->XScroll1->HeaderButton()}},
        {"mesh",
         triPanel,
         TTriEditorFrame::DesignHeight,
         [&] { triPanel->ActivateFrame(); },
         {triPanel->NormalsNormalizeBtn, triPanel->FlatShadingCheck, triPanel->GroupBox2,
          triPanel->Bone1WeightEdit, triPanel->Bone4IndexEdit, triPanel->MirrorRadio, triPanel->Label11,
          triPanel->MergeRadiusEdit, triPanel->ScaleZEdit, triPanel->ScaleBtn, triPanel->FacesTesselate2Btn,
          triPanel->SpeedButton4, triPanel->InfoActiveCheck, triPanel->PageControl,
          triPanel->XScroll6->HeaderButton()}},
        {"skin",
         skinPanel,
         296,
         [&] { skinPanel->ActivateFrame(); },
         {skinPanel->GroupBox2, skinPanel->Label2, skinPanel->BoneStartIndexEdit, skinPanel->SetupIndexesBtn,
          skinPanel->SpeedButton1}},
        {"vertex colour",
         colorPanel,
         296,
         [&] { colorPanel->ActivateFrame(); },
         {colorPanel->SpeedButton4, colorPanel->SpeedButton1, colorPanel->ColorEdit}},
        {"animation",
         animPanel,
         560,
         [&] { animPanel->Refresh(); },
         {animPanel->NodeNameLabel, animPanel->PrevKeyBtn, animPanel->CreateKeyGroup,
          animPanel->CreateScaleKeyBtn, animPanel->PosXEdit, animPanel->FrameEdit}},
    };
    for (const Panel& panel : panels)
    {
        SCOPED_TRACE(panel.name);
        Host(panel.frame, panel.height);
        panel.show();
        std::vector<TextFit::Spot> spots = TextFit::Spots(panel.frame);
        EXPECT_EQ(TextFit::Misfits(spots), "");
        for (size_t i = 0; i < panel.mustList.size(); ++i)
            EXPECT_TRUE(Lists(spots, panel.mustList[i])) << "control " << i << " of the list";
        panel.frame->SetParent(nullptr);
    }
    // The animation panel's title names the node, its animation and its length.
    EXPECT_EQ(animPanel->NodeNameLabel->Caption(), u"Body->Run (100 кадров)");
    scene.PopEditor();
}
