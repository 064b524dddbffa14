#include "Engine/Editors/TBaseEditorFrame.h"

#include "Engine/Scene/XScene.h"
#include "Platform/Vcl/StdCtrls.h"
#include "tests/support/RecordingEditor.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TBaseEditorFrameTest, PanelOfDesignedSizeFirstForTabThatLeavesEditorAndSceneAlone)
{
    XScene scene(nullptr);
    auto* editor = new RecordingEditor(&scene, u"Recording");
    scene.AddEditor(editor);
    scene.SetEditor(editor);
    editor->calls.clear();

    TForm form(nullptr);
    auto* button = new TButton(&form);
    button->SetParent(&form);
    // The editors make their panels without an owner.
    auto* frame = new TBaseEditorFrame(nullptr, &scene, editor);
    EXPECT_EQ(frame->GetEditor(), editor);
    EXPECT_EQ(frame->GetScene(), &scene);
    EXPECT_EQ(frame->Width(), 230);
    EXPECT_EQ(frame->Height(), 296);
    EXPECT_EQ(frame->ControlCount(), 0);
    frame->SetParent(&form);
    EXPECT_EQ(frame->TabOrder(), 0);
    EXPECT_EQ(button->TabOrder(), 1);
    frame->ActivateFrame();
    frame->DeactivateFrame();

    delete frame;
    EXPECT_EQ(form.ControlCount(), 1);
    EXPECT_TRUE(editor->calls.empty());
    EXPECT_EQ(scene.GetEditor(), editor);
    EXPECT_EQ(scene.FindEditor(editor), editor);
}
