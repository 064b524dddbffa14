// The scene editor's and the animation editor's panels on a real scene, driven headless by the
// mouse and key messages a user sends.
#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Editors/TSceneEditorFrame.h"
#include "Engine/Editors/XAnimationEditor.h"

#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MathChecks.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

namespace
{
XAnimation* AddAnimation(XMeshNode* node, const char16_t* name, uint32_t length = 100)
{
    auto* animation = new XAnimation;
    animation->Name = name;
    animation->Length = length;
    node->AddAnimation(animation);
    node->SetAnimation(animation);
    return animation;
}

void Select(TObject*, XBaseObject*, bool) {}

// A scene with a tree Box > Child > Grandchild and a node Other, a form that shows an editor's
// panel, and the user's input.
class EditorFramesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform::ResetKeyStates();
        box = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Box");
        child = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Child");
        grandchild = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Grandchild");
        other = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Other");
        box->AddChild(child);
        child->AddChild(grandchild);
        scene.OnObjectSelect = TClosure<void(TObject*, XBaseObject*, bool)>(Select);
        form = new TForm(nullptr);
        form->SetClientWidth(240);
        form->SetClientHeight(520);
    }
    void TearDown() override
    {
        // The panels belong to their editors: they only leave the form.
        for (TBaseEditorFrame* frame : shown)
            frame->SetParent(nullptr);
        delete form;
        Platform::ResetKeyStates();
        Platform::DispatchPostedMessages();
    }

    void Show(TBaseEditorFrame* frame)
    {
        frame->SetParent(form);
        frame->SetBounds(0, 0, 230, 520);
        shown.push_back(frame);
        form->Show();
        frame->ActivateFrame();
    }
    TSceneEditorFrame* ScenePanel()
    {
        auto* frame = dynamic_cast<TSceneEditorFrame*>(scene.GetSceneEditor()->GetEditorFrame());
        Show(frame);
        return frame;
    }
    void Key(WORD key, WCHAR character = 0)
    {
        Vcl::RouteInput(form, WM_KEYDOWN, key, 1);
        if (character)
            Vcl::RouteInput(form, WM_CHAR, character, 1);
        Vcl::RouteInput(form, WM_KEYUP, key, 0xC0000001);
    }
    void Click(TControl* control, int dx = 5, int dy = 5)
    {
        TPoint o = control->FormOrigin();
        Vcl::RouteInput(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(o.x + dx, o.y + dy));
        Vcl::RouteInput(form, WM_LBUTTONUP, 0, MAKELPARAM(o.x + dx, o.y + dy));
    }
    void DoubleClick(TControl* control, int dx, int dy)
    {
        TPoint o = control->FormOrigin();
        Vcl::RouteInput(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(o.x + dx, o.y + dy));
        Vcl::RouteInput(form, WM_LBUTTONUP, 0, MAKELPARAM(o.x + dx, o.y + dy));
        Vcl::RouteInput(form, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(o.x + dx, o.y + dy));
        Vcl::RouteInput(form, WM_LBUTTONUP, 0, MAKELPARAM(o.x + dx, o.y + dy));
    }
    // Clicks into the box, replaces its text by typing, and leaves it with Tab.
    void Type(TCustomEdit* edit, const std::u16string& text, bool leave = true)
    {
        Click(edit, 10, 8);
        // Put in as a paste puts it: the number boxes rewrite (and clamp) what stands after each
        // key, so typing digit by digit depends on the text before.
        edit->SelectAll();
        edit->SetSelText(text);
        if (leave)
            Key(VK_TAB);
    }

    XScene scene{nullptr};
    XMeshNode* box = nullptr;
    XMeshNode* child = nullptr;
    XMeshNode* grandchild = nullptr;
    XMeshNode* other = nullptr;
    TForm* form = nullptr;
    std::vector<TBaseEditorFrame*> shown;
};

struct Query
{
    std::u16string answer;
    bool ok = true;
    std::vector<std::u16string> prompts;
    Vcl::InputQueryHandler previous;
    Query()
    {
        previous = Vcl::SetInputQueryHandler(
            [this](const UnicodeString&, const UnicodeString& prompt, UnicodeString& value)
            {
                prompts.push_back(prompt.str());
                value = answer;
                return ok;
            });
    }
    ~Query() { Vcl::SetInputQueryHandler(previous); }
};
} // namespace

TEST_F(EditorFramesTest, ScenePanelTransformsTheSelectionByTypedValues)
{
    TSceneEditorFrame* panel = ScenePanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Width(), 230);
    box->SetSelected(true);
    other->SetSelected(true);
    // Two nodes: nothing listed, nothing to create or delete.
    panel->Pages->SetActivePage(panel->AnimationTab);
    AddAnimation(box, u"Walk");
    panel->UpdateAnimList();
    EXPECT_EQ(panel->AnimList->Count(), 0);
    EXPECT_FALSE(panel->AnimCreateBtn->Enabled());
    EXPECT_FALSE(panel->AnimDeleteBtn->Enabled());
    panel->Pages->SetActivePage(panel->TransformTab);
    Type(panel->MoveXEdit, u"1");
    Type(panel->MoveYEdit, u"2");
    Type(panel->MoveZEdit, u"3");
    Click(panel->MoveBtn);
    ExpectVertex(box->GetPosition(), XVertex(1, 2, 3), 1e-6f);
    ExpectVertex(other->GetPosition(), XVertex(1, 2, 3), 1e-6f);
    EXPECT_EQ(panel->MoveXEdit->Value(), 0.0f);
    EXPECT_EQ(panel->MoveZEdit->Value(), 0.0f);
    other->SetSelected(false);
    Type(panel->RotationZEdit, u"90");
    Click(panel->RotateBtn);
    XMatrix local;
    box->GetLocalMatrix(local);
    EXPECT_NEAR(std::atan2(local.m[0][1], local.m[0][0]), 1.57f, 1e-5);
    EXPECT_EQ(panel->RotationZEdit->Value(), 0.0f);
    // Uniform scale: the value typed fills the other two boxes.
    Type(panel->ScaleXEdit, u"0.5", false);
    EXPECT_FLOAT_EQ(panel->ScaleYEdit->Value(), 0.5f);
    EXPECT_FLOAT_EQ(panel->ScaleZEdit->Value(), 0.5f);
    Key(VK_TAB);
    Click(panel->ScaleBtn);
    box->GetLocalMatrix(local);
    EXPECT_NEAR(std::hypot(local.m[0][0], local.m[0][1]), 0.5f, 1e-5);
    EXPECT_FLOAT_EQ(panel->ScaleXEdit->Value(), 1.0f);
    EXPECT_FLOAT_EQ(panel->ScaleZEdit->Value(), 1.0f);
    // Off: each box on its own.
    Click(panel->UniformScaleCheck);
    EXPECT_FALSE(panel->UniformScaleCheck->Checked());
    Type(panel->ScaleYEdit, u"2");
    EXPECT_FLOAT_EQ(panel->ScaleXEdit->Value(), 1.0f);
}

TEST_F(EditorFramesTest, ScenePanelResetsAndShowsAfterAsking)
{
    TSceneEditorFrame* panel = ScenePanel();
    BoxRecorder boxes;
    box->SetPosition(1, 2, 3);
    box->SetSelected(true);
    XMatrix rotated(1.0f);
    rotated.SetRotationZ(0.5f);
    rotated.m[3][0] = 4;
    struct Reset
    {
        TSpeedButton* button;
        bool positionZero, matrixIdentity;
    } resets[] = {{panel->SpeedButton4, true, false}, {panel->SpeedButton3, true, true}};
    boxes.answer = IDNO;
    box->SetMatrix(rotated);
    Click(panel->SpeedButton3);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Выполнить сброс трансформации для выделенных объектов?");
    EXPECT_EQ(boxes.boxes[0].type, UINT(MB_YESNO));
    EXPECT_EQ(boxes.boxes[0].owner, nullptr);
    ExpectVertex(box->GetPosition(), XVertex(4, 0, 0), 1e-6f);
    boxes.answer = IDYES;
    for (const Reset& r : resets)
    {
        box->SetMatrix(rotated);
        Click(r.button);
        XMatrix local;
        box->GetLocalMatrix(local);
        ExpectVertex(box->GetPosition(), XVertex(0, 0, 0), 1e-6f);
        EXPECT_EQ(local.m[0][1] == 0.0f, r.matrixIdentity);
    }
    // The mesh offset (tag 0) and the whole mesh transform (tag 1).
    box->Move(0, XMatrix(1.0f), XVertex(5, 0, 0), true, XTT_MESH);
    box->Scale(0, XMatrix(1.0f), XVertex(2, 2, 2), true, XTT_MESH);
    ExpectVertex(box->GetMeshPosition(), XVertex(5, 0, 0), 1e-6f);
    Click(panel->SpeedButton1);
    ExpectVertex(box->GetMeshPosition(), XVertex(0, 0, 0), 1e-6f);
    EXPECT_FLOAT_EQ(box->GetMeshScale().x, 2);
    Click(panel->SpeedButton2);
    ExpectVertex(box->GetMeshScale(), XVertex(1, 1, 1), 1e-6f);
    // With nothing selected nothing is asked.
    box->SetSelected(false);
    size_t asked = boxes.boxes.size();
    Click(panel->SpeedButton2);
    EXPECT_EQ(boxes.boxes.size(), asked);

    // Hiding three selected nodes hides them all, though each leaves the selection.
    Click(panel->ShowHideChildAffectCheck); // children stay as they are
    for (XMeshNode* n : {box, child, other})
        n->SetSelected(true);
    Click(panel->HideNodes);
    for (XMeshNode* n : {box, child, other})
        EXPECT_FALSE(n->GetVisible());
    EXPECT_TRUE(grandchild->GetVisible());
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
    Click(panel->ShowAllBtn);
    for (XMeshNode* n : {box, child, grandchild, other})
        EXPECT_TRUE(n->GetVisible());
    Click(panel->ShowHideChildAffectCheck);
    box->SetSelected(true);
    Click(panel->HideNodes);
    EXPECT_FALSE(grandchild->GetVisible());
    EXPECT_TRUE(other->GetVisible());
    // A descendant selected before its ancestor: hiding the ancestor with its children takes the
    // descendant out of the list before the walk reaches it.
    Click(panel->ShowAllBtn);
    grandchild->SetSelected(true);
    box->SetSelected(true);
    Click(panel->HideNodes);
    EXPECT_FALSE(grandchild->GetVisible());
    EXPECT_FALSE(box->GetVisible());
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
}

TEST_F(EditorFramesTest, ScenePanelCreatesDeletesAndOpensAnimations)
{
    TSceneEditorFrame* panel = ScenePanel();
    BoxRecorder boxes;
    Query query;
    query.answer = u"Walk";
    box->SetSelected(true);
    panel->UpdateAnimList();
    panel->Pages->SetActivePage(panel->AnimationTab);
    EXPECT_TRUE(panel->AnimCreateBtn->Enabled());
    Click(panel->AnimCreateBtn);
    ASSERT_EQ(query.prompts.size(), 1u);
    EXPECT_EQ(query.prompts[0], u"Введите имя создаваемой анимации.");
    for (XMeshNode* n : {box, child, grandchild})
    {
        ASSERT_NE(n->GetAnimation(), nullptr);
        EXPECT_EQ(n->GetAnimation()->Name, XString(u"Walk"));
        EXPECT_EQ(n->GetAnimation()->GetLength(), 100u);
    }
    EXPECT_EQ(other->GetAnimation(), nullptr);
    ASSERT_EQ(panel->AnimList->Count(), 1);
    // Cancel and an empty name make nothing.
    query.ok = false;
    query.answer = u"Run";
    Click(panel->AnimCreateBtn);
    query.ok = true;
    query.answer = u"";
    Click(panel->AnimCreateBtn);
    EXPECT_EQ(box->GetAnimationCount(), 1u);
    // Delete with no entry selected asks nothing.
    Click(panel->AnimDeleteBtn);
    EXPECT_TRUE(boxes.boxes.empty());
    // A click on the entry makes it current everywhere below the node.
    query.answer = u"Run";
    Click(panel->AnimCreateBtn);
    EXPECT_EQ(grandchild->GetAnimation()->Name, XString(u"Run"));
    Click(panel->AnimList, 20, 5);
    EXPECT_EQ(panel->AnimList->ItemIndex(), 0);
    EXPECT_EQ(grandchild->GetAnimation()->Name, XString(u"Walk"));
    // The list keeps its entry when it is filled again.
    panel->UpdateAnimList();
    EXPECT_EQ(panel->AnimList->ItemIndex(), 0);
    // Deleting: No keeps it, Yes removes it from the node and every descendant.
    boxes.answer = IDNO;
    Click(panel->AnimDeleteBtn);
    EXPECT_EQ(boxes.boxes.back().text, u"Удалить анимацию?");
    EXPECT_EQ(child->GetAnimationCount(), 2u);
    boxes.answer = IDYES;
    Click(panel->AnimDeleteBtn);
    for (XMeshNode* n : {box, child, grandchild})
    {
        EXPECT_EQ(n->GetAnimationCount(), 1u);
        EXPECT_EQ(n->GetAnimation(), nullptr); // it was playing "Walk"
        EXPECT_EQ(n->FindAnimation(XString(u"Walk")), nullptr);
    }
    ASSERT_EQ(panel->AnimList->Count(), 1);
    // A double click opens the animation editor on the entry.
    DoubleClick(panel->AnimList, 20, 5);
    EXPECT_EQ(box->GetAnimation()->Name, XString(u"Run"));
    ASSERT_NE(dynamic_cast<XAnimationEditor*>(scene.GetEditor()), nullptr);
    // Two nodes: the list empties.
    other->SetSelected(true);
    panel->UpdateAnimList();
    EXPECT_EQ(panel->AnimList->Count(), 0);
}

namespace
{
// The animation editor pushed on Box playing "Walk", its panel shown and active.
class AnimationPanelTest : public EditorFramesTest
{
protected:
    void SetUp() override
    {
        EditorFramesTest::SetUp();
        walk = AddAnimation(box, u"Walk");
        box->SetSelected(true);
        box->Edit(&scene);
        editor = dynamic_cast<XAnimationEditor*>(scene.GetEditor());
        ASSERT_NE(editor, nullptr);
        panel = dynamic_cast<TAnimationEditorFrame*>(editor->GetEditorFrame());
        ASSERT_NE(panel, nullptr);
        Show(panel);
    }

    XAnimation* walk = nullptr;
    XAnimationEditor* editor = nullptr;
    TAnimationEditorFrame* panel = nullptr;
};

std::vector<float> Values(TAnimationEditorFrame* p)
{
    std::vector<float> v;
    for (XFloatEdit* e : {p->PosXEdit, p->PosYEdit, p->PosZEdit, p->RotXEdit, p->RotYEdit, p->RotZEdit,
                          p->ScaleXEdit, p->ScaleYEdit, p->ScaleZEdit})
        v.push_back(e->Value());
    return v;
}
} // namespace

TEST_F(AnimationPanelTest, ShowsTheNodeTheFrameAndWhichKeysStandThere)
{
    walk->AddPositionKey(5, XVertex(1, 2, 3));
    panel->Refresh();
    EXPECT_EQ(panel->NodeNameLabel->Caption(), u"Box->Walk (100 кадров)");
    EXPECT_EQ(panel->FrameEdit->Value(), 0);
    EXPECT_FALSE(panel->PositionGroup->Enabled());
    EXPECT_FALSE(panel->CreateKeyGroup->Enabled());
    EXPECT_FALSE(panel->DeletePosKeyBtn->Enabled());
    EXPECT_EQ(Values(panel), (std::vector<float>{0, 0, 0, 0, 0, 0, 1, 1, 1}));
    // At frame 0 the length box keeps the length, so leaving it asks nothing.
    EXPECT_EQ(panel->AnimationLengthEdit->Value(), 100);
    EXPECT_TRUE(panel->AnimationLengthEdit->Enabled());
    scene.SetFrame(5); // the editor refreshes its panel
    EXPECT_EQ(panel->FrameEdit->Value(), 5);
    EXPECT_TRUE(panel->PositionGroup->Enabled());
    EXPECT_FALSE(panel->RotationGroup->Enabled());
    EXPECT_FALSE(panel->CreatePosKeyBtn->Enabled());
    EXPECT_TRUE(panel->CreateRotKeyBtn->Enabled());
    EXPECT_TRUE(panel->DeletePosKeyBtn->Enabled());
    EXPECT_FALSE(panel->DeleteScaleKeyBtn->Enabled());
    EXPECT_FLOAT_EQ(panel->PosZEdit->Value(), 3);
    // A key that is not a number shows as 0.
    walk->PositionKeys.GetKey(0)->value.y = NAN;
    panel->Refresh();
    EXPECT_EQ(panel->PosYEdit->Value(), 0.0f);
    // Create and delete at the frame.
    Click(panel->CreateRotKeyBtn);
    EXPECT_NE(walk->RotationKeys.FindKey(5), nullptr);
    EXPECT_FALSE(panel->CreateRotKeyBtn->Enabled());
    Click(panel->DeletePosKeyBtn);
    EXPECT_EQ(walk->PositionKeys.FindKey(5), nullptr);
    EXPECT_TRUE(panel->CreatePosKeyBtn->Enabled());
    // Two nodes.
    other->SetSelected(true);
    panel->Refresh();
    EXPECT_EQ(panel->NodeNameLabel->Caption(), u"Выберите 1 узел!");
    EXPECT_FALSE(panel->CreateKeyGroup->Enabled());
    EXPECT_FALSE(panel->AnimationLengthEdit->Enabled());
    Click(panel->CreateScaleKeyBtn);
    EXPECT_EQ(walk->ScaleKeys.GetCount(), 0u);
}

TEST_F(AnimationPanelTest, StepsBetweenKeys)
{
    walk->AddPositionKey(0, XVertex(1, 0, 0));
    walk->AddRotationKey(5, XVertex(0, 1, 0));
    walk->AddScaleKey(10, XVertex(2, 2, 2));
    struct Step
    {
        unsigned from;
        TSpeedButton* TAnimationEditorFrame::*button;
        unsigned to;
    } steps[] = {
        {12, &TAnimationEditorFrame::PrevKeyBtn, 10},     {10, &TAnimationEditorFrame::PrevKeyBtn, 5},
        {5, &TAnimationEditorFrame::PrevKeyBtn, 5},       {1, &TAnimationEditorFrame::NextKeyBtn, 5},
        {5, &TAnimationEditorFrame::PrevPosKeyBtn, 0},    {0, &TAnimationEditorFrame::NextScaleKeyBtn, 10},
        {10, &TAnimationEditorFrame::NextKeyBtn, 10},     {7, &TAnimationEditorFrame::PrevRotKeyBtn, 5},
        {0xFFFFFFFF, &TAnimationEditorFrame::NextKeyBtn, 0xFFFFFFFF},
        {0, &TAnimationEditorFrame::PrevScaleKeyBtn, 0},
    };
    for (const Step& s : steps)
    {
        scene.SetFrame(s.from);
        Click(panel->*(s.button), 8, 8);
        EXPECT_EQ(scene.GetFrame(), s.to) << s.from;
    }
}

TEST_F(AnimationPanelTest, UpDownsAndTypedValuesChangeTheKeyAtTheFrame)
{
    walk->AddPositionKey(4, XVertex(1, 1, 1));
    walk->AddRotationKey(4, XVertex(0, 0, 0));
    walk->AddScaleKey(4, XVertex(1, 1, 1));
    scene.SetFrame(4);
    auto up = [&](TUpDown* u) { Click(u, 7, 3); };
    auto down = [&](TUpDown* u) { Click(u, 7, u->Height() - 3); };
    up(panel->PosYUpDown);
    down(panel->PosZUpDown);
    ExpectVertex(walk->PositionKeys.GetKey(0)->value, XVertex(1, 1.1f, 0.9f), 1e-6f);
    up(panel->RotXUpDown);
    EXPECT_FLOAT_EQ(walk->RotationKeys.GetKey(0)->value.x, 0.017453292519943295f);
    up(panel->ScaleYUpDown);
    ExpectVertex(walk->ScaleKeys.GetKey(0)->value, XVertex(1.1f, 1.1f, 1.1f), 1e-6f);
    Click(panel->UniformScaleCheck);
    down(panel->ScaleZUpDown);
    EXPECT_FLOAT_EQ(walk->ScaleKeys.GetKey(0)->value.z, 1.1f * 0.9f);
    EXPECT_FLOAT_EQ(walk->ScaleKeys.GetKey(0)->value.x, 1.1f);
    // Typed: rotation in degrees back through DegToRad; Enter or leaving the box writes it.
    Type(panel->RotYEdit, u"90");
    EXPECT_FLOAT_EQ(walk->RotationKeys.GetKey(0)->value.y, DegToRad(90));
    Type(panel->PosXEdit, u"2", false);
    Key(VK_RETURN);
    EXPECT_FLOAT_EQ(walk->PositionKeys.GetKey(0)->value.x, 2);
    // Without a key at the frame nothing is written.
    scene.SetFrame(6);
    panel->Refresh();
    Type(panel->PosXEdit, u"7");
    EXPECT_EQ(walk->PositionKeys.GetCount(), 1u);
    up(panel->PosXUpDown);
    EXPECT_FLOAT_EQ(walk->PositionKeys.GetKey(0)->value.x, 2);
}

TEST_F(AnimationPanelTest, TheTimerRefreshesOnlyWhileActiveAndSparesTheFocusedBox)
{
    ManualClock clock;
    panel->DeactivateFrame();
    panel->ActivateFrame();
    walk->AddPositionKey(3, XVertex(1, 0, 0));
    scene.SetFrame(3);
    Click(panel->PosXEdit, 10, 8);
    panel->PosXEdit->SelectAll();
    Key('5', u'5');
    walk->PositionKeys.GetKey(0)->value = XVertex(8, 9, 0);
    form->Perform(WM_ACTIVATE, 0, 0); // another window takes the keyboard meanwhile
    clock.Advance(150);
    Application->ProcessMessages();
    EXPECT_FLOAT_EQ(panel->PosXEdit->Value(), 5); // being typed: kept
    EXPECT_FLOAT_EQ(panel->PosYEdit->Value(), 9); // refreshed
    form->Perform(WM_ACTIVATE, 1, 0);
    // Deactivated, nothing refreshes, also after a box is left (the timer is put back off).
    panel->DeactivateFrame();
    Key(VK_TAB);
    EXPECT_FLOAT_EQ(walk->PositionKeys.GetKey(0)->value.x, 5);
    EXPECT_FALSE(panel->Timer->Enabled());
    walk->PositionKeys.GetKey(0)->value.z = 4; // Tab took the focus to the Y box: watch Z
    clock.Advance(300);
    Application->ProcessMessages();
    EXPECT_FLOAT_EQ(panel->PosZEdit->Value(), 0);
    panel->ActivateFrame();
    clock.Advance(150);
    Application->ProcessMessages();
    EXPECT_FLOAT_EQ(panel->PosZEdit->Value(), 4);
}

TEST_F(AnimationPanelTest, LengthChangesAskAndReachTheChildren)
{
    BoxRecorder boxes;
    XAnimationEditor::SelectAnimation(box, u"Walk", true);
    XAnimation* childWalk = child->GetAnimation();
    childWalk->AddPositionKey(10, XVertex(1, 0, 0));
    childWalk->AddPositionKey(80, XVertex(1, 0, 0));
    grandchild->SetAnimation(nullptr);
    XAnimation* grandWalk = grandchild->FindAnimation(XString(u"Walk"));
    grandWalk->AddRotationKey(20, XVertex(1, 0, 0));
    grandWalk->AddRotationKey(70, XVertex(1, 0, 0));
    panel->Refresh();
    Type(panel->AnimationLengthEdit, u"100");
    EXPECT_TRUE(boxes.boxes.empty());
    boxes.answer = IDNO;
    Type(panel->AnimationLengthEdit, u"50");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Изменить продолжительность анимации с 100 до 50 кадров?");
    EXPECT_EQ(boxes.boxes[0].type, UINT(MB_YESNO));
    EXPECT_EQ(boxes.boxes[0].owner, panel->Handle());
    EXPECT_EQ(walk->GetLength(), 100u);
    boxes.answer = IDYES;
    Type(panel->AnimationLengthEdit, u"50", false);
    Key(VK_RETURN);
    EXPECT_EQ(walk->GetLength(), 50u);
    EXPECT_EQ(childWalk->GetLength(), 50u);
    EXPECT_EQ(childWalk->PositionKeys.GetCount(), 1u); // the key at 80 went
    EXPECT_EQ(grandWalk->GetLength(), 50u); // by name, also where it is not playing
    EXPECT_EQ(grandWalk->RotationKeys.GetCount(), 1u);
    // Without the children box only the node's.
    Click(panel->ChildAffectCheck);
    Type(panel->AnimationLengthEdit, u"60");
    EXPECT_EQ(walk->GetLength(), 60u);
    EXPECT_EQ(childWalk->GetLength(), 50u);
    // "0" kept through a refresh while the window is away, then Enter: the length 1, shown; "-0"
    // over it asks nothing and shows 1 too.
    Type(panel->AnimationLengthEdit, u"0", false);
    form->Perform(WM_ACTIVATE, 0, 0);
    panel->Refresh();
    form->Perform(WM_ACTIVATE, 1, 0);
    Key(VK_RETURN);
    EXPECT_EQ(walk->GetLength(), 1u);
    EXPECT_EQ(panel->AnimationLengthEdit->Text(), u"1");
    Type(panel->AnimationLengthEdit, u"-0", false);
    Key(VK_RETURN);
    EXPECT_EQ(panel->AnimationLengthEdit->Text(), u"1");
}
