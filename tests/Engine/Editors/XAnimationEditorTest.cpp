// The animation editor on a real scene: activation, frames, key writing by typed and dragged
// transforms, the by-name animation selection and the overlay drawn on the software device.
#include "Engine/Editors/XAnimationEditor.h"

#include "Engine/Scene/XScene.h"
#include "tests/support/MathChecks.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
struct Events
{
    std::vector<unsigned> frames;
    int selects = 0;
    void Frame(TObject*, unsigned frame) { frames.push_back(frame); }
    void Select(TObject*, XBaseObject*, bool) { ++selects; }
};

XAnimation* AddAnimation(XMeshNode* node, const char16_t* name, uint32_t length = 100)
{
    auto* animation = new XAnimation;
    animation->Name = name;
    animation->Length = length;
    node->AddAnimation(animation);
    node->SetAnimation(animation);
    return animation;
}

class XAnimationEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        box = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Box");
        other = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Other");
        walk = AddAnimation(box, u"Walk");
        scene.OnFrameChange = MakeClosure(&events, &Events::Frame);
        scene.OnObjectSelect = MakeClosure(&events, &Events::Select);
    }

    // Makes the animation editor current as a node's Edit does.
    XAnimationEditor* Push()
    {
        box->SetSelected(true);
        box->Edit(&scene);
        return dynamic_cast<XAnimationEditor*>(scene.GetEditor());
    }

    XScene scene{nullptr};
    XMeshNode* box = nullptr;
    XMeshNode* other = nullptr;
    XAnimation* walk = nullptr;
    Events events;
    ViewportDouble viewport;
};

// The numbers of the last SetTransform(D3DTS_WORLD, ...) in the log.
std::vector<float> LastWorld(const SoftDevice& d)
{
    for (auto it = d.Log().rbegin(); it != d.Log().rend(); ++it)
    {
        if (it->name != "SetTransform" || it->args.rfind("256,", 0) != 0)
            continue;
        std::vector<float> numbers;
        size_t open = it->args.find('[');
        if (open == std::string::npos)
            return numbers;
        const char* p = it->args.c_str() + open + 1;
        char* end = nullptr;
        for (float v = std::strtof(p, &end); end != p; v = std::strtof(p, &end))
        {
            numbers.push_back(v);
            p = end;
        }
        return numbers;
    }
    return {};
}

// Where a world point lands in pixels.
XPoint Pixel(ViewportDouble& v, const XVertex& p)
{
    XMatrix m = v.view * v.projection;
    float x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
    float y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
    float w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
    return XPoint((x / w + 1) * v.width / 2, (1 - y / w) * v.height / 2);
}
} // namespace

TEST_F(XAnimationEditorTest, ActivatesOnlyForOneAnimatedNodeAndFallsBackToTheSceneEditor)
{
    box->SetSelected(true);
    other->SetSelected(true);
    box->Edit(&scene);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    // Registered once, reused after.
    auto* editor = dynamic_cast<XAnimationEditor*>(scene.FindEditor(XString(u"XAnimationEditor")));
    ASSERT_NE(editor, nullptr);
    box->SetSelected(false);
    box->Edit(&scene);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor()); // "Other" alone has no animation
    other->SetSelected(false);
    EXPECT_EQ(Push(), editor);
    EXPECT_EQ(scene.GetEditorCount(), 3u);
    EXPECT_EQ(editor->GetModeCount(), 1u);
    EXPECT_EQ(editor->GetModeName(7), XString(u"Animation"));
    editor->SetMode(2);
    EXPECT_EQ(editor->GetMode(), 0);
    EXPECT_EQ(editor->GetAnimationName(), XString(u"Walk"));
    EXPECT_EQ(editor->GetAnimationLength(), 100u);
}

TEST_F(XAnimationEditorTest, FramesAreToldOnceAndShowTheAxisOnlyAtZero)
{
    XAnimationEditor* editor = Push();
    ASSERT_NE(editor, nullptr);
    scene.SetFrame(5);
    EXPECT_EQ(events.frames, (std::vector<unsigned>{5}));
    EXPECT_FALSE(scene.GetShowAxis());
    EXPECT_EQ(scene.GetFrame(), 5u);
    scene.SetFrame(5);
    EXPECT_EQ(events.frames.size(), 1u);
    scene.SetFrame(0);
    EXPECT_TRUE(scene.GetShowAxis());
    scene.SetFrame(5);
    editor->SetAnimationLength(3);
    EXPECT_EQ(walk->GetLength(), 3u);
    events.frames.clear();
    scene.SetFrame(3); // pulled back to the new end first: already there
    EXPECT_EQ(scene.GetFrame(), 3u);
    EXPECT_TRUE(events.frames.empty());
    // Popped at frame 3: the scene editor works at frame 0 and shows its axis.
    scene.PopEditor();
    EXPECT_EQ(scene.GetFrame(), 0u);
    EXPECT_TRUE(scene.GetShowAxis());
    // Activated again: back at frame 0.
    box->Edit(&scene);
    EXPECT_EQ(editor->GetFrame(), 0u);
}

TEST_F(XAnimationEditorTest, TransformsMoveNodesAtFrameZeroAndWriteKeysElsewhere)
{
    XAnimationEditor* editor = Push();
    ASSERT_NE(editor, nullptr);
    other->SetSelected(true);
    editor->MoveBy(&viewport, XVertex(1, 2, 3));
    ExpectVertex(box->GetPosition(), XVertex(1, 2, 3), 1e-6f);
    ExpectVertex(other->GetPosition(), XVertex(1, 2, 3), 1e-6f);
    // Two nodes at frame 5: no key anywhere.
    scene.SetFrame(5);
    editor->MoveBy(&viewport, XVertex(1, 2, 3));
    EXPECT_EQ(walk->PositionKeys.GetCount(), 0u);
    other->SetSelected(false);
    editor->MoveBy(&viewport, XVertex(1, 2, 3));
    ASSERT_EQ(walk->PositionKeys.GetCount(), 1u);
    EXPECT_EQ(walk->PositionKeys.GetKey(0)->time, 5u);
    ExpectVertex(walk->PositionKeys.GetKey(0)->value, XVertex(1, 2, 3), 1e-6f);
    ExpectVertex(box->GetPosition(), XVertex(1, 2, 3), 1e-6f); // the rest pose stays
    XVertex at5 = box->GetWorldPosition(5);
    EXPECT_FLOAT_EQ(at5.x, 2);
    EXPECT_FLOAT_EQ(at5.z, 6);
    // A 10-pixel upward rotate drag at frame 10 about Y: half a degree a pixel, pi taken as 3.14.
    scene.SetFrame(10);
    scene.SetTransformAxis(2);
    editor->Rotate(&viewport, XPoint(0, 90), XPoint(0, 100));
    ASSERT_EQ(walk->RotationKeys.GetCount(), 1u);
    EXPECT_NEAR(walk->RotationKeys.GetKey(0)->value.y, 0.0872222f, 1e-6);
    EXPECT_EQ(walk->RotationKeys.GetKey(0)->value.x, 0.0f);
    editor->ScaleBy(&viewport, XVertex(2, 2, 2));
    ExpectVertex(walk->ScaleKeys.GetKey(0)->value, XVertex(2, 2, 2), 1e-6f);
    // Past the animation's end nothing is written.
    scene.SetFrame(150);
    editor->MoveBy(&viewport, XVertex(1, 0, 0));
    editor->Scale(&viewport, XPoint(0, 0), XPoint(0, 10));
    EXPECT_EQ(walk->PositionKeys.GetCount(), 1u);
    EXPECT_EQ(walk->ScaleKeys.GetCount(), 1u);
    // Frame 1 is an animated frame like any other: typed and dragged moves write its key only.
    scene.SetFrame(1);
    const XVertex at1 = walk->PositionKeys.GetValue(1);
    editor->MoveBy(&viewport, XVertex(0, 0, 4));
    ExpectVertex(box->GetPosition(), XVertex(1, 2, 3), 1e-6f);
    ASSERT_NE(walk->PositionKeys.FindKey(1), nullptr);
    ExpectVertex(walk->PositionKeys.GetValue(1), at1 + XVertex(0, 0, 4), 1e-6f);
    scene.SetTransformAxis(1);
    editor->Move(&viewport, XPoint(110, 100), XPoint(100, 100));
    ExpectVertex(box->GetPosition(), XVertex(1, 2, 3), 1e-6f);
    EXPECT_EQ(walk->PositionKeys.GetCount(), 2u); // the frame-1 key took the drag too
    EXPECT_GT(std::fabs(walk->PositionKeys.GetValue(1).x - at1.x), 1e-3f);
}

TEST_F(XAnimationEditorTest, SelectingANodeGivesItTheEditedAnimation)
{
    XAnimationEditor* editor = Push();
    ASSERT_NE(editor, nullptr);
    XAnimation* own = AddAnimation(other, u"Run");
    other->SetSelected(true);
    XAnimation* made = other->GetAnimation();
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made, own);
    EXPECT_EQ(made->Name, XString(u"Walk"));
    EXPECT_EQ(made->GetLength(), 100u);
    EXPECT_EQ(made->PositionKeys.GetCount(), 0u);
    EXPECT_EQ(other->GetAnimationCount(), 2u);
    // Found, not made again.
    other->SetSelected(false);
    other->SetAnimation(own);
    other->SetSelected(true);
    EXPECT_EQ(other->GetAnimation(), made);
    EXPECT_EQ(other->GetAnimationCount(), 2u);
    // Without a handler the editor is not told.
    XMeshNode* third = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Third");
    scene.OnObjectSelect = nullptr;
    third->SetSelected(true);
    EXPECT_EQ(third->GetAnimation(), nullptr);
    // The recursive selection reaches every descendant, depth first.
    XMeshNode* child = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Child");
    XMeshNode* grandchild = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Grandchild");
    third->AddChild(child);
    child->AddChild(grandchild);
    XAnimationEditor::SelectAnimation(third, u"Jump", true);
    for (XMeshNode* n : {third, child, grandchild})
    {
        ASSERT_NE(n->GetAnimation(), nullptr);
        EXPECT_EQ(n->GetAnimation()->Name, XString(u"Jump"));
    }
    XAnimationEditor::SelectAnimation(third, XString(), true); // nothing for an empty name
    EXPECT_EQ(third->GetAnimationCount(), 1u);
}

TEST_F(XAnimationEditorTest, OverlayDrawsTheAxisAtTheNodeInBothPassesAwayFromFrameZero)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    viewport.device = d3d.device;
    XAnimationEditor* editor = Push();
    ASSERT_NE(editor, nullptr);
    box->SetPosition(0, 0, 10);
    d3d.Clear();
    editor->RenderOverlay(0, &viewport, 0);
    editor->RenderOverlay(0, &viewport, 1);
    EXPECT_TRUE(d3d.Log().empty());
    scene.SetFrame(5);
    for (unsigned pass : {0u, 1u})
    {
        d3d.Clear();
        editor->RenderOverlay(5, &viewport, pass);
        std::vector<std::string> texts = d3d.Texts();
        ASSERT_GE(texts.size(), 3u) << pass;
        EXPECT_EQ(texts[0], "SetRenderState(7, 0)");
        EXPECT_EQ(texts[1], "SetRenderState(137, 0)");
        EXPECT_EQ(d3d.Log().back().name, "DrawPrimitiveUP");
        EXPECT_EQ(d3d.Log().back().args.rfind("2, 9,", 0), 0u) << d3d.Log().back().args; // nine lines
    }
    // Perspective: a twelfth of the diagonal on screen wherever the camera stands along the view.
    auto axisPixels = [&]
    {
        d3d.Clear();
        editor->RenderOverlay(5, &viewport, 1);
        std::vector<float> m = LastWorld(d3d);
        EXPECT_EQ(m.size(), 16u);
        if (m.size() != 16)
            return 0.0f;
        XPoint origin = Pixel(viewport, XVertex(m[12], m[13], m[14]));
        XPoint end = Pixel(viewport, XVertex(m[0] + m[12], m[1] + m[13], m[2] + m[14]));
        return (end - origin).Length();
    };
    float near = axisPixels();
    EXPECT_GT(near, 10.0f);
    XMatrix back(1.0f);
    back.SetTranslation(0, 0, -20);
    viewport.SetCameraWorld(back);
    EXPECT_NEAR(axisPixels(), near, 0.5f);
    // Behind the eye: nothing.
    back.SetTranslation(0, 0, 30);
    viewport.SetCameraWorld(back);
    d3d.Clear();
    editor->RenderOverlay(5, &viewport, 1);
    EXPECT_TRUE(d3d.Log().empty());
    // Orthographic: a twelfth of the distance between the corner rays' origins.
    viewport.SetCameraWorld(XMatrix(1.0f));
    viewport.SetOrthographic(24, 18, 1, 100);
    XVertex a, b;
    viewport.GetRayOrigin(5, XVertex(0, 0, 0), a);
    viewport.GetRayOrigin(5, XVertex(640, 480, 0), b);
    d3d.Clear();
    editor->RenderOverlay(5, &viewport, 1);
    std::vector<float> m = LastWorld(d3d);
    ASSERT_EQ(m.size(), 16u);
    EXPECT_NEAR(m[0], (b - a).Length() / 12, 1e-4);
}
