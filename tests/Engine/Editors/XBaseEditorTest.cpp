#include "Engine/Editors/XBaseEditor.h"

#include "Engine/Scene/XScene.h"
#include "tests/support/RecordingEditor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// Supplies only what every concrete editor must.
class MinimalEditor : public XBaseEditor
{
public:
    using XBaseEditor::XBaseEditor;
    bool Activate() override { return true; }
    bool Deactivate() override { return true; }
    StrUtils::XBaseString<WCHAR> GetName() override { return u"Minimal"; }
    void MouseEvent(XViewport*, XMouseEvent, const XPoint&, XShiftState) override {}
    void CopyToClipboard() override {}
    void CutToClipboard() override {}
    void PasteFromClipboard() override {}
    void Delete() override {}
};

struct Holder : XRefManager
{
    explicit Holder(XRefManager* target) : ref(this, target) {}
    void Notification(XRefManager*, unsigned message, uintptr_t) override { last = message; }
    XReference<XRefManager> ref;
    unsigned last = 0;
};
} // namespace

TEST(XBaseEditorTest, DefaultsLeaveKeysAloneAndOfferNothing)
{
    int sceneStorage;
    XScene* scene = reinterpret_cast<XScene*>(&sceneStorage);
    auto editor = std::make_unique<MinimalEditor>(scene);
    EXPECT_EQ(editor->GetScene(), scene);

    unsigned key = 65;
    WCHAR ch = u'a';
    editor->KeyDown(key, Gx::Ui::gssShift);
    editor->KeyUp(key, 0);
    editor->KeyPress(ch);
    EXPECT_EQ(key, 65u);
    EXPECT_EQ(ch, u'a');

    EXPECT_FALSE(editor->CanUndo());
    EXPECT_TRUE(editor->GetUndoName().IsEmpty());
    EXPECT_FALSE(editor->CanCopy() || editor->CanCut() || editor->CanPaste() ||
                 editor->CanDelete() || editor->CanClone());
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
    XVertex centre = editor->GetSelectionCenter();
    EXPECT_TRUE(centre.x == 0 && centre.y == 0 && centre.z == 0);
    EXPECT_EQ(editor->GetModeCount(), 0u);
    EXPECT_TRUE(editor->GetModeName(0).IsEmpty());
    EXPECT_EQ(editor->GetMode(), 0);
    editor->SetFrame(12);
    EXPECT_EQ(editor->GetFrame(), 0u) << "only the animation editor keeps a frame";
    editor->SetAnimationLength(100);
    EXPECT_EQ(editor->GetAnimationLength(), 0u);
    EXPECT_EQ(editor->GetEditorFrame(), nullptr);

    // Editors are reference targets: a holder hears of the editor's deletion.
    Holder holder(editor.get());
    editor.reset();
    EXPECT_EQ(holder.last, XRM_DELETED);
    EXPECT_EQ(holder.ref.Get(), nullptr);
}

TEST(XBaseEditorTest, RecordingEditorRecordsCallsAndHandsBackKeys)
{
    RecordingEditor editor(nullptr, u"Recorder");
    XBaseEditor& base = editor;
    EXPECT_EQ(std::u16string(base.GetName().c_str()), u"Recorder");
    editor.replaceKey = true;
    editor.keyReplacement = 0;
    unsigned key = 46;
    base.KeyDown(key, Gx::Ui::gssCtrl);
    EXPECT_EQ(key, 0u);
    base.MouseEvent(nullptr, XME_LEFT_DOWN, XPoint(10.5f, 20), XSS_LEFT);
    base.RenderOverlay(3, nullptr, 1);
    EXPECT_EQ(editor.calls, (std::vector<std::string>{"KeyDown 46 16", "MouseEvent 1 10.5 20 8",
                                                      "RenderOverlay 3 1"}));
}

// ---- the scene's switching, on a real scene ----

namespace
{
struct ChangeCounter
{
    void Changed(TObject*, XBaseEditor*) { ++count; }
    int count = 0;
};

RecordingEditor* Register(XScene& scene, const char16_t* name, bool activates = true)
{
    auto* editor = new RecordingEditor(&scene, name);
    editor->activateResult = activates;
    scene.AddEditor(editor);
    return editor;
}
} // namespace

TEST(XBaseEditorTest, TheSceneSwitchesOnlyToRegisteredEditorsAndNeverCallsOneItDropped)
{
    XScene scene(nullptr);
    XBaseEditor* sceneEditor = scene.GetSceneEditor();
    RecordingEditor* a = Register(scene, u"A");
    // Named like a, not registered: the default editor, and the stranger is never asked anything.
    RecordingEditor stranger(&scene, u"A");
    scene.SetEditor(a);
    scene.SetEditor(&stranger);
    EXPECT_EQ(scene.GetEditor(), sceneEditor);
    scene.PushEditor(&stranger);
    EXPECT_EQ(scene.GetEditor(), sceneEditor);
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    EXPECT_TRUE(stranger.calls.empty());
    EXPECT_EQ(scene.FindEditor(&stranger), nullptr);
    EXPECT_EQ(scene.FindEditor(a), a);

    // Dropped while stacked: popping passes over it.
    RecordingEditor* b = Register(scene, u"B");
    scene.PushEditor(a);
    scene.PushEditor(b);
    ASSERT_EQ(scene.GetEditorStackCount(), 2u);
    scene.DeleteEditor(a);
    delete a;
    EXPECT_EQ(scene.GetEditorStackCount(), 1u);
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), sceneEditor);
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);

    // Dropped while current, even one that will not let go: the default editor takes over first.
    scene.PushEditor(b);
    b->deactivateResult = false;
    b->calls.clear();
    scene.DeleteEditor(b);
    EXPECT_EQ(b->calls, (std::vector<std::string>{"Deactivate"}));
    EXPECT_EQ(scene.GetEditor(), sceneEditor);
    EXPECT_EQ(scene.GetEditorStackCount(), 1u) << "what b interrupted is still there";
    delete b;
    XViewport* none = nullptr;
    scene.MouseEventHandler(none, XME_MOVE, 0, XPoint(1, 1));
    scene.PopEditor();
    scene.ClearScene();
    EXPECT_EQ(scene.GetEditor(), sceneEditor);
}

TEST(XBaseEditorTest, AnEditorThatRefusesToActivateLeavesTheDefaultCurrentAndNothingStacked)
{
    XScene scene(nullptr);
    RecordingEditor* a = Register(scene, u"A");
    RecordingEditor* refusing = Register(scene, u"Refusing", false);
    ChangeCounter changes;
    scene.OnEditorChange = MakeClosure(&changes, &ChangeCounter::Changed);
    scene.PushEditor(a);
    EXPECT_EQ(scene.GetEditorStackCount(), 1u);
    scene.PushEditor(refusing);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    EXPECT_EQ(changes.count, 2);
    // A current editor that will not let go keeps the scene.
    scene.PushEditor(a);
    a->deactivateResult = false;
    scene.SetEditor(scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditor(), a);
    a->deactivateResult = true;
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
}
