#include "Engine/Editors/XBaseEditor.h"

#include "tests/support/RecordingEditor.h"

#include <gtest/gtest.h>

#include <memory>

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
