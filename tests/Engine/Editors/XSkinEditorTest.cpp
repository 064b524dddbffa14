// The skin editor on a real scene: the skin modifier's Edit pushing it through the scene's link,
// what opening it leaves alone, and its panel choosing the root bone, numbering the bones and
// asking for the weights again.
#include "Engine/Editors/XSkinEditor.h"

#include "Engine/Editors/TSkinEditorFrame.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XScene.h"

#include "tests/support/ComboList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Records the messages its reference brings.
class Holder : public XRefManager
{
public:
    void Notification(XRefManager*, unsigned message, uintptr_t) override { messages.push_back(message); }
    std::vector<unsigned> messages;
};

// A skinned body and, in scene order, Bone1 with Bone2 and Bone3 below it, a plain node "Prop"
// between them, and a lone bone "Tail".
class XSkinEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AddEngineClasses(&scene);
        body = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Body");
        skin = static_cast<XSkinModifier*>(scene.CreateObject(XString(u"XSkinModifier"), nullptr, u"Skin"));
        body->GetMesh()->AddModifier(skin);
        bone1 = Bone(u"Bone1");
        prop = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Prop");
        bone2 = Bone(u"Bone2");
        bone3 = Bone(u"Bone3");
        tail = Bone(u"Tail");
        bone1->AddChild(bone2);
        bone2->AddChild(bone3);
    }

    XBone* Bone(const char16_t* name)
    {
        return static_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, name));
    }
    // What a user opens: the skin's Edit on the body.
    XSkinEditor* Open()
    {
        skin->Edit(&scene, body, body->GetMesh(), nullptr);
        return dynamic_cast<XSkinEditor*>(scene.GetEditor());
    }
    static std::vector<std::u16string> Items(TComboBox* combo)
    {
        std::vector<std::u16string> items;
        for (int i = 0; i < combo->ItemCount(); ++i)
            items.emplace_back(combo->Item(i).c_str());
        return items;
    }

    XScene scene{nullptr};
    XMeshNode* body = nullptr;
    XSkinModifier* skin = nullptr;
    XBone* bone1 = nullptr;
    XMeshNode* prop = nullptr;
    XBone* bone2 = nullptr;
    XBone* bone3 = nullptr;
    XBone* tail = nullptr;
};
} // namespace

TEST_F(XSkinEditorTest, TheSkinsEditPushesOneRealEditorBoundToMeshNodeAndModifier)
{
    auto* mesh = static_cast<XTriMesh*>(body->GetMesh());
    mesh->GetMesh()->AddVertex(XVertex(0, 0, 0), XColor(0xFFFFFFFF));
    mesh->SetSelectionLevel(XMesh::FaceLevel);
    const unsigned editors = scene.GetEditorCount();
    XSkinEditor* editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(scene.GetEditorCount(), editors + 1);
    EXPECT_EQ(editor->GetMesh(), mesh);
    EXPECT_EQ(editor->GetNode(), body);
    EXPECT_EQ(editor->GetModifier(), skin);
    EXPECT_EQ(editor->GetName(), XString(u"XSkinEditor"));
    EXPECT_EQ(editor->GetModeCount(), 1u);
    EXPECT_EQ(editor->GetModeName(3), XString(u"Weighting"));
    editor->SetMode(1);
    EXPECT_EQ(editor->GetMode(), 0);
    // Opening and leaving leave the mesh's level and the history alone.
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::FaceLevel);
    EXPECT_EQ(editor->GetUndoCount(), 0u);
    scene.PopEditor();
    EXPECT_EQ(mesh->GetSelectionLevel(), XMesh::FaceLevel);
    EXPECT_EQ(Open(), editor); // found again by its name
    EXPECT_EQ(scene.GetEditorCount(), editors + 1);
    auto* panel = dynamic_cast<TSkinEditorFrame*>(editor->GetEditorFrame());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(editor->GetEditorFrame(), panel);
    EXPECT_EQ(panel->Height(), 547);
    EXPECT_EQ(panel->BoneStartIndexEdit->Value(), 1);
    EXPECT_EQ(panel->BoneNameCombo->Style(), csDropDownList);

    // On an object that is no triangle mesh no mesh is bound; the bone buttons still work.
    scene.PopEditor();
    XMeshNode* crate = scene.CreateNode(XString(u"XBox"), nullptr, u"Crate");
    crate->GetMesh()->AddModifier(skin);
    skin->Edit(&scene, crate, crate->GetMesh(), nullptr);
    ASSERT_EQ(scene.GetEditor(), editor);
    EXPECT_EQ(editor->GetMesh(), nullptr);
    EXPECT_EQ(editor->GetNode(), crate);
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
    panel->BoneNameCombo->SetText(u"Tail");
    panel->SetBoneBtn->Click();
    EXPECT_EQ(skin->GetBone(), tail);
}

TEST_F(XSkinEditorTest, ThePanelChoosesTheRootAmongBonesOnlyAndNumbersItsHierarchy)
{
    XSkinEditor* editor = Open();
    ASSERT_NE(editor, nullptr);
    auto* panel = static_cast<TSkinEditorFrame*>(editor->GetEditorFrame());
    panel->ActivateFrame();
    EXPECT_TRUE(Items(panel->BoneNameCombo).empty());
    EXPECT_EQ(panel->BoneNameCombo->Text(), u"");

    panel->BoneNameComboDropDown(panel->BoneNameCombo);
    EXPECT_EQ(Items(panel->BoneNameCombo),
              (std::vector<std::u16string>{u"Bone1", u"Bone2", u"Bone3", u"Tail"}));
    panel->BoneNameCombo->SetItemIndex(1);
    panel->SetBoneBtn->Click();
    EXPECT_EQ(skin->GetBone(), bone2);

    // Reopened, the box holds the root alone, chosen.
    panel->ActivateFrame();
    EXPECT_EQ(Items(panel->BoneNameCombo), (std::vector<std::u16string>{u"Bone2"}));
    EXPECT_EQ(panel->BoneNameCombo->Text(), u"Bone2");

    // Numbered from the typed start: the root, then its bones below it.
    panel->BoneStartIndexEdit->SetValue(5);
    panel->SetupIndexesBtn->Click();
    EXPECT_EQ(bone2->GetIndex(), 5u);
    EXPECT_EQ(bone3->GetIndex(), 6u);
    EXPECT_NE(bone1->GetIndex(), 5u);

    // A name that is no bone, or no object at all, leaves no root; numbering then does nothing.
    for (const char16_t* name : {u"Prop", u"Nobody"})
    {
        skin->SetBone(bone1);
        panel->BoneNameCombo->SetText(name);
        panel->SetBoneBtn->Click();
        EXPECT_EQ(skin->GetBone(), nullptr);
    }
    bone1->SetIndex(77);
    panel->SetupIndexesBtn->Click();
    EXPECT_EQ(bone1->GetIndex(), 77u);
}

TEST_F(XSkinEditorTest, RecomputingTellsTheHoldersEvenWithoutARootAndNothingWithoutAModifier)
{
    XSkinEditor* editor = Open();
    ASSERT_NE(editor, nullptr);
    auto* panel = static_cast<TSkinEditorFrame*>(editor->GetEditorFrame());
    Holder holder;
    XReference<XSkinModifier> watch(&holder, skin);
    ASSERT_EQ(skin->GetBone(), nullptr);
    panel->SpeedButton1->Click();
    EXPECT_EQ(holder.messages, (std::vector<unsigned>{XRM_MODIFIER_CHANGED}));
    EXPECT_FALSE(body->GetMesh()->IsMeshValid(0));

    // The modifier gone: every handler does nothing.
    watch.SetTarget(nullptr);
    body->GetMesh()->RemoveModifier(skin);
    EXPECT_EQ(editor->GetModifier(), nullptr);
    panel->BoneNameCombo->SetText(u"Bone1");
    panel->SetBoneBtn->Click();
    panel->SetupIndexesBtn->Click();
    panel->SpeedButton1->Click();
    panel->BoneNameComboDropDown(panel->BoneNameCombo);
    EXPECT_TRUE(Items(panel->BoneNameCombo).empty());
    panel->ActivateFrame();
    EXPECT_EQ(panel->BoneNameCombo->Text(), u"Bone1");
}

TEST_F(XSkinEditorTest, TheDroppedBoneListShowsSixteenRowsOfTheBonesListedOnOpening)
{
    XSkinEditor* editor = Open();
    ASSERT_NE(editor, nullptr);
    auto* panel = static_cast<TSkinEditorFrame*>(editor->GetEditorFrame());
    for (int i = 0; i < 20; ++i)
        Bone((u"Extra" + std::u16string(1, static_cast<char16_t>(u'A' + i))).c_str());
    TForm form(nullptr);
    panel->SetParent(&form);
    panel->BoneNameCombo->SetDroppedDown(true);
    ASSERT_TRUE(panel->BoneNameCombo->DroppedDown());
    EXPECT_EQ(panel->BoneNameCombo->ItemCount(), 24); // listed by the drop, not before
    TComboListForm* list = ShownComboList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Height(), 16 * list->RowHeight() + 2);
    panel->BoneNameCombo->SetDroppedDown(false);
    panel->SetParent(nullptr);
}
