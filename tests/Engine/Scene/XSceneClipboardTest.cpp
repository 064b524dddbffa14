#include "Engine/Scene/XScene.h"

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XMeshNode.h"
#include "Platform/Win32/Windows.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/RawClipboard.h"
#include "tests/support/SceneModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A scene with the node Box showing a mesh with one UV modifier.
XMeshNode* AddBox(XScene& scene)
{
    scene.AddClass(&UVModifierDesc);
    XMeshNode* box = AddModelMesh(scene, u"Box", 6, 3);
    box->GetMesh()->AddModifier(
        static_cast<XUVModifier*>(scene.CreateObject(u"XUVModifier", nullptr, nullptr)));
    return box;
}

std::vector<std::u16string> Texts(const BoxRecorder& boxes)
{
    std::vector<std::u16string> texts;
    for (const RecordedBox& box : boxes.boxes)
        texts.push_back(box.text);
    return texts;
}
} // namespace

TEST(XSceneClipboardTest, CopyPasteGivesFreshCopiesAndCutPasteGivesTheOriginalsBack)
{
    EmptyTheClipboard();
    XScene scene(nullptr);
    XMeshNode* box = AddBox(scene);
    const XGuid guid = box->GetGuid();
    XBaseMesh* mesh = box->GetMesh();
    const XGuid meshGuid = mesh->GetGuid();
    EXPECT_FALSE(IsClipboardFormatAvailable(scene.GetSceneClipboardFormat()));

    box->SetSelected(true);
    scene.CopySelNodesToClipboard();
    EXPECT_TRUE(IsClipboardFormatAvailable(scene.GetSceneClipboardFormat()));
    EXPECT_EQ(scene.GetObjectCount(), 3u);
    scene.PasteFromClipboard();
    ASSERT_EQ(scene.GetObjectCount(), 6u);
    XMeshNode* copy = scene.FindMeshNode(XString(u"Box2"));
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->GetGuid() == guid);
    ASSERT_NE(copy->GetMesh(), nullptr);
    EXPECT_NE(copy->GetMesh(), mesh);
    EXPECT_FALSE(copy->GetMesh()->GetGuid() == meshGuid);
    ASSERT_EQ(copy->GetMesh()->GetModifierCount(), 1u);
    EXPECT_NE(copy->GetMesh()->GetModifier(0), mesh->GetModifier(0));
    EXPECT_FALSE(copy->IsSelected()); // a paste selects nothing
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);

    // A cut frees the names and GUIDs, so the paste brings them back.
    copy->Destroy();
    scene.CutSelNodesToClipboard();
    EXPECT_EQ(scene.FindMeshNode(XString(u"Box")), nullptr);
    scene.PasteFromClipboard();
    XMeshNode* back = scene.FindMeshNode(XString(u"Box"));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->GetGuid() == guid);

    // Into another scene names and GUIDs stay as they were.
    XScene other(nullptr);
    other.AddClass(&UVModifierDesc);
    other.PasteFromClipboard();
    XMeshNode* moved = other.FindMeshNode(guid);
    ASSERT_NE(moved, nullptr);
    EXPECT_TRUE(moved->GetName() == u"Box");
    ASSERT_NE(moved->GetMesh(), nullptr);
    EXPECT_TRUE(moved->GetMesh()->GetGuid() == meshGuid);
}

TEST(XSceneClipboardTest, ObjectsByNameAndGuidTakeWhatTheyUse)
{
    EmptyTheClipboard();
    XScene scene(nullptr);
    XMeshNode* box = AddBox(scene);
    const XGuid guid = box->GetGuid();

    // Unknown names and GUIDs leave the clipboard alone.
    scene.CopyToClipboard(XString(u"Nothing"));
    scene.CutToClipboard(XGuid(9, 9, 9, 9, 9));
    EXPECT_FALSE(IsClipboardFormatAvailable(scene.GetSceneClipboardFormat()));
    EXPECT_EQ(scene.GetObjectCount(), 3u);

    scene.CutToClipboard(guid);
    EXPECT_EQ(scene.GetObjectCount(), 0u);
    scene.PasteFromClipboard();
    EXPECT_EQ(scene.GetObjectCount(), 3u);
    XMeshNode* back = scene.FindMeshNode(guid);
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->GetMesh(), nullptr);
    EXPECT_EQ(back->GetMesh()->GetModifierCount(), 1u);

    scene.CopyToClipboard(XString(u"Box"));
    scene.PasteFromClipboard();
    EXPECT_EQ(scene.GetObjectCount(), 6u);
    EXPECT_NE(scene.FindMeshNode(XString(u"Box2")), nullptr);
}

TEST(XSceneClipboardTest, FailuresChangeNothing)
{
    XScene scene(nullptr);
    XMeshNode* box = AddBox(scene);
    BoxRecorder boxes;

    // Nothing selected.
    EmptyTheClipboard();
    scene.CopySelNodesToClipboard();
    scene.CutSelNodesToClipboard();
    EXPECT_EQ(Texts(boxes), (std::vector<std::u16string>{u"Не выделено ни одного объекта.",
                                                         u"Не выделено ни одного объекта."}));
    EXPECT_FALSE(IsClipboardFormatAvailable(scene.GetSceneClipboardFormat()));

    // A block that is not an object stream.
    boxes.boxes.clear();
    PutBytes(scene.GetSceneClipboardFormat(), {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                               15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28});
    scene.PasteFromClipboard();
    EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Invalid stream format."});
    EXPECT_EQ(scene.GetObjectCount(), 3u);
    // Cut short: the stream's own message.
    boxes.boxes.clear();
    PutBytes(scene.GetSceneClipboardFormat(), {1, 2, 3, 4, 5, 6, 7, 8});
    scene.PasteFromClipboard();
    EXPECT_EQ(Texts(boxes), std::vector<std::u16string>{u"Stream reading error."});
    EXPECT_EQ(scene.GetObjectCount(), 3u);

    // The clipboard held open by another window: a cut keeps everything.
    box->SetSelected(true);
    EmptyTheClipboard();
    ASSERT_TRUE(OpenClipboard(reinterpret_cast<HWND>(0x1234)));
    scene.CutSelNodesToClipboard();
    XPtrArray<XBaseObject, 8> list;
    list.Add(box);
    scene.CutToClipboard(list);
    scene.PasteFromClipboard();
    CloseClipboard();
    EXPECT_EQ(scene.GetObjectCount(), 3u);
    EXPECT_NE(scene.FindMeshNode(XString(u"Box")), nullptr);
    EXPECT_FALSE(IsClipboardFormatAvailable(scene.GetSceneClipboardFormat()));
}
