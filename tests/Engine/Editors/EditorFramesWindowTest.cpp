// The scene editor's and the animation editor's panels in a real window on a private X server:
// shown by the presenter beside each other, compared as a picture, and used through XTest input
// as a user would: a typed move, an animation opened from the list, a key made, stepped to and
// typed, the Tab order, and random input.
#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Editors/TSceneEditorFrame.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace
{
void IgnoreSelect(TObject*, XBaseObject*, bool) {}

class EditorFramesWindowTest : public PresenterWindowTest
{
public:
    unsigned long window = 0;
};
} // namespace

TEST_F(EditorFramesWindowTest, BothPanelsShowAndWorkByMouseAndKeyboard)
{
    XScene scene(nullptr);
    scene.OnObjectSelect = TClosure<void(TObject*, XBaseObject*, bool)>(IgnoreSelect);
    XMeshNode* box = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Box");
    XMeshNode* child = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Child");
    box->AddChild(child);
    XAnimationEditor::SelectAnimation(box, u"Walk", true);
    XAnimationEditor::SelectAnimation(box, u"Run", true);
    box->SetSelected(true);
    auto* scenePanel = dynamic_cast<TSceneEditorFrame*>(scene.GetSceneEditor()->GetEditorFrame());
    ASSERT_NE(scenePanel, nullptr);
    box->Edit(&scene);
    auto* editor = dynamic_cast<XAnimationEditor*>(scene.GetEditor());
    ASSERT_NE(editor, nullptr);
    auto* animPanel = dynamic_cast<TAnimationEditorFrame*>(editor->GetEditorFrame());
    scene.PopEditor();

    TForm form(nullptr);
    form.SetCaption(u"Editor panels");
    form.SetBounds(20, 20, 470, 560);
    scenePanel->SetParent(&form);
    scenePanel->SetBounds(5, 5, 230, 550);
    animPanel->SetParent(&form);
    animPanel->SetBounds(240, 5, 230, 550);
    ASSERT_TRUE(ShowForm(form, window));
    scenePanel->ActivateFrame();
    animPanel->Refresh();
    Settle();

    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Engine/Editors/data/editor_panels.png", 3, 43, 41));
    const int width = form.ClientWidth(), height = form.ClientHeight();

    // Tab walks the scene panel's boxes in their order.
    ClickOn(window, scenePanel->MoveXEdit, 10, 8);
    ASSERT_TRUE(scenePanel->MoveXEdit->Focused());
    XFloatEdit* order[] = {scenePanel->MoveYEdit, scenePanel->MoveZEdit, scenePanel->RotationXEdit};
    for (XFloatEdit* next : order)
    {
        probe->Key("Tab");
        Settle();
        EXPECT_TRUE(next->Focused());
    }
    // 10 typed into move X, then "Выполнить".
    ClickOn(window, scenePanel->MoveXEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("1");
    probe->Key("0");
    Settle();
    ClickOn(window, scenePanel->MoveBtn, 10, 10);
    EXPECT_FLOAT_EQ(box->GetPosition().x, 10);
    EXPECT_FLOAT_EQ(scenePanel->MoveXEdit->Value(), 0);
    // The animation page, "Walk" double-clicked: the animation editor opens on it.
    TRect tab = scenePanel->Pages->TabRect(1);
    ClickOn(window, scenePanel->Pages, tab.left + 10, tab.top + 8);
    ASSERT_EQ(scenePanel->Pages->ActivePage(), scenePanel->AnimationTab);
    ASSERT_EQ(scenePanel->AnimList->Count(), 2);
    int row = scenePanel->AnimList->Items()->IndexOf(u"Walk");
    TPoint at = scenePanel->AnimList->FormOrigin();
    int y = at.y + row * scenePanel->AnimList->ItemHeight() + 4;
    probe->ClickAt(window, at.x + 20, y);
    probe->ClickAt(window, at.x + 20, y);
    Settle();
    ASSERT_EQ(scene.GetEditor(), editor);
    EXPECT_EQ(box->GetAnimation()->Name, XString(u"Walk"));
    animPanel->ActivateFrame();
    // A position key at 5 made by hand, stepped to with ">>" from 0, then 2 typed into X.
    box->GetAnimation()->AddPositionKey(5, XVertex(0, 0, 0));
    ClickOn(window, animPanel->NextKeyBtn, 10, 10);
    EXPECT_EQ(scene.GetFrame(), 5u);
    Settle();
    ASSERT_TRUE(animPanel->PositionGroup->Enabled());
    ClickOn(window, animPanel->PosXEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("2");
    probe->Key("Return");
    Settle();
    XKey* key = box->GetAnimation()->PositionKeys.FindKey(5);
    ASSERT_NE(key, nullptr);
    EXPECT_FLOAT_EQ(static_cast<XPositionKey*>(key)->value.x, 2);
    EXPECT_FLOAT_EQ(box->GetPosition().x, 10);

    // Random input over both panels: questions answered at random, names typed as "R".
    BoxRecorder boxes;
    Vcl::InputQueryHandler previous = Vcl::SetInputQueryHandler(
        [](const UnicodeString&, const UnicodeString&, UnicodeString& value)
        {
            value = u"R";
            return true;
        });
    std::mt19937 random(33);
    const char* keys[] = {"Down", "Up", "space", "Tab", "Return", "1", "period", "BackSpace"};
    for (int i = 0; i < 1000; ++i)
    {
        boxes.answer = random() % 2 ? IDYES : IDNO;
        int x = static_cast<int>(random() % static_cast<unsigned>(width));
        int yy = static_cast<int>(random() % static_cast<unsigned>(height));
        switch (random() % 4)
        {
        case 0: probe->ClickAt(window, x, yy); break;
        case 1: probe->MoveTo(window, x, yy); break;
        default: probe->Key(keys[random() % 8]); break;
        }
        if (i % 50 == 0)
            Settle();
    }
    Settle();
    Vcl::SetInputQueryHandler(previous);
    EXPECT_TRUE(form.Visible());
    animPanel->DeactivateFrame();
    form.Hide();
    // The panels belong to their editors.
    scenePanel->SetParent(nullptr);
    animPanel->SetParent(nullptr);
}
