// Registering the engine's further classes on a host's scene: their order, that a new scene keeps
// its ten, that the fuzz targets know the same classes, and that a scene of bones, a skin, a box,
// text and particles comes back whole from its own file.
#include "Engine/Objects/XEngineClasses.h"

#include "Components/XMemoryStream.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Geometry/XSkinModifier.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Objects/XText.h"
#include "Engine/Scene/XScene.h"
#include "tests/fuzz/FuzzClasses.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace
{
std::vector<std::u16string> ClassNames(const XScene& scene)
{
    std::vector<std::u16string> names;
    for (unsigned i = 0; i < scene.GetClassCount(); ++i)
        names.emplace_back(scene.GetClass(i)->GetClassNameW().c_str());
    return names;
}
} // namespace

TEST(XEngineClassesTest, AHostSceneKnowsTheFurtherClassesInOrderANewSceneOnlyTen)
{
    XScene scene(nullptr);
    const std::vector<std::u16string> ten = ClassNames(scene);
    ASSERT_EQ(ten.size(), 10u);
    EXPECT_THROW(scene.CreateNode(XString(u"XBox"), nullptr, u"Box"), XException);

    AddEngineClasses(&scene);
    AddEngineClasses(&scene); // twice adds nothing more
    AddEngineClasses(nullptr);
    std::vector<std::u16string> expected = ten;
    for (const char16_t* name :
         {u"XUVModifier", u"XSpriteModifier", u"XBone", u"XBoneMesh", u"XSkinModifier", u"XEllipse",
          u"XRectangle", u"XBox", u"XFlatSurface", u"XBSSurface", u"XCone", u"XCylinder", u"XTube",
          u"XWater", u"XText", u"XParticleSystem", u"XFont"})
        expected.emplace_back(name);
    EXPECT_EQ(ClassNames(scene), expected);

    // The fuzz targets pick their classes from a list of their own: it must be the same set.
    std::set<XClassDesc*> fuzzed(FuzzClasses().begin(), FuzzClasses().end());
    std::set<XClassDesc*> known;
    for (unsigned i = 0; i < scene.GetClassCount(); ++i)
        known.insert(scene.GetClass(i));
    EXPECT_EQ(fuzzed, known);
}

TEST(XEngineClassesTest, ASkinnedSceneWithBoxTextAndParticlesRoundTripsEveryObject)
{
    XScene scene(nullptr);
    AddEngineClasses(&scene);
    auto* root = dynamic_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, u"Bone1"));
    auto* arm = dynamic_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, u"Bone2"));
    ASSERT_TRUE(root && arm);
    root->AddChild(arm);
    XMeshNode* skinned = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Body");
    auto* skin = dynamic_cast<XSkinModifier*>(scene.CreateObject(XString(u"XSkinModifier"), nullptr, u"Skin"));
    ASSERT_NE(skin, nullptr);
    skin->SetBone(root);
    skinned->GetMesh()->AddModifier(skin);
    scene.CreateNode(XString(u"XBox"), nullptr, u"Crate");
    auto* font = dynamic_cast<XFont*>(scene.CreateObject(XString(u"XFont"), nullptr, u"Font"));
    XMeshNode* label = scene.CreateNode(XString(u"XText"), nullptr, u"Label");
    static_cast<XText*>(label->GetMesh())->SetFont(font);
    scene.CreateNode(XString(u"XParticleSystem"), nullptr, u"Sparks");

    XMemoryStream stream(0, 0x4000);
    scene.SaveToStream(&stream);
    stream.SetPosition(0);
    XScene loaded(nullptr);
    AddEngineClasses(&loaded);
    BoxRecorder boxes;
    loaded.LoadFromStream(&stream);
    EXPECT_TRUE(boxes.boxes.empty());

    ASSERT_EQ(loaded.GetObjectCount(), scene.GetObjectCount());
    std::set<std::u16string> classes;
    for (unsigned i = 0; i < scene.GetObjectCount(); ++i)
    {
        XBaseObject* object = scene.GetObjectW(i);
        XBaseObject* back = loaded.FindObject(object->GetGuid());
        ASSERT_NE(back, nullptr) << i;
        EXPECT_EQ(back->GetClassNameW(), object->GetClassNameW());
        EXPECT_EQ(back->GetName(), object->GetName());
        classes.insert(object->GetClassNameW().c_str());
    }
    for (const char16_t* name : {u"XBone", u"XSkinModifier", u"XBox", u"XText", u"XFont", u"XParticleSystem"})
        EXPECT_EQ(classes.count(name), 1u) << std::string(name, name + std::char_traits<char16_t>::length(name));

    // What holds the scene together comes back too: the skeleton, the skin on its mesh, the font.
    auto* body = loaded.FindMeshNode(XString(u"Body"));
    ASSERT_NE(body, nullptr);
    ASSERT_EQ(body->GetMesh()->GetModifierCount(), 1u);
    auto* skinBack = dynamic_cast<XSkinModifier*>(body->GetMesh()->GetModifier(0));
    ASSERT_NE(skinBack, nullptr);
    ASSERT_NE(skinBack->GetBone(), nullptr);
    EXPECT_EQ(skinBack->GetBone()->GetGuid(), root->GetGuid());
    ASSERT_EQ(skinBack->GetBone()->GetChildCount(), 1u);
    EXPECT_EQ(skinBack->GetBone()->GetChild(0)->GetGuid(), arm->GetGuid());
    auto* labelBack = loaded.FindMeshNode(XString(u"Label"));
    ASSERT_NE(labelBack, nullptr);
    auto* text = dynamic_cast<XText*>(labelBack->GetMesh());
    ASSERT_TRUE(text && text->GetFont());
    EXPECT_EQ(text->GetFont()->GetGuid(), font->GetGuid());
}
