// The scene editor on a scene double: node picking by click, rectangle and Ctrl-click, the gizmo
// and selection tests, the drag and typed transforms, and delete, clone and the clipboard.
#include "Engine/Editors/XSceneEditor.h"

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Objects/XEngineClasses.h"
#include "Engine/Scene/XNodeGroup.h"
#include "Engine/Scene/XScene.h"
#include "Platform/Win32/Windows.h"
#include "tests/support/MathChecks.h"
#include "tests/support/SceneEditorLinkDouble.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

// A mesh object with a box of +-1 whose picks the test decides.
class PickMesh : public XBaseMesh
{
public:
    XBoundingBox GetBoundingBox(unsigned) override { return XBoundingBox(-1, -1, -1, 1, 1, 1); }
    XMesh* GetMesh(unsigned, XViewport*, XMeshNode*) override { return nullptr; }
    bool IntersectRay(unsigned, XViewport*, XMeshNode*, const XPoint&, float& d, unsigned flags) override
    {
        rayFlags = flags;
        d = distance;
        return distance >= 0;
    }
    bool HitTest(unsigned, XViewport*, XMeshNode*, const XPoint& p, unsigned flags) override
    {
        hitPoint = p;
        hitFlags = flags;
        return distance >= 0;
    }
    float distance = -1; // negative: not under the point
    unsigned rayFlags = 99;
    unsigned hitFlags = 99;
    XPoint hitPoint{-1, -1};
};

// A node that records the transform calls the editor makes on it.
class RecordingNode : public XMeshNode
{
public:
    void BeginTransform() override { calls.push_back("Begin"); }
    void EndTransform() override { calls.push_back("End"); }
    void CancelTransform() override { calls.push_back("Cancel"); }
    void Move(unsigned frame, const XMatrix& axes, const XVertex& d, bool withChildren,
              XTransformTarget target) override
    {
        Record("Move", frame, axes, d, withChildren, target);
    }
    void Rotate(unsigned frame, const XMatrix& axes, const XVertex& a, bool withChildren,
                XTransformTarget target) override
    {
        Record("Rotate", frame, axes, a, withChildren, target);
    }
    std::vector<std::string> calls;

private:
    void Record(const char* what, unsigned frame, const XMatrix& axes, const XVertex& v, bool children,
                XTransformTarget target)
    {
        char text[160];
        std::snprintf(text, sizeof text, "%s f%u pivot(%g %g %g) v(%.4g %.4g %.4g) children %d target %u", what,
                      frame, axes.m[3][0], axes.m[3][1], axes.m[3][2], v.x, v.y, v.z, children ? 1 : 0,
                      static_cast<unsigned>(target));
        calls.push_back(text);
    }
};

// The scene double, an editor, and nodes filed in the scene that show pick meshes.
class XSceneEditorTest : public ::testing::Test
{
protected:
    template <class N = XMeshNode> N* AddNode(XVertex position, float distance = -1)
    {
        auto* node = new N;
        auto* mesh = new PickMesh;
        mesh->distance = distance;
        node->SetMesh(mesh);
        node->SetPosition(position);
        node->SetScene(TestScene());
        mesh->SetScene(TestScene());
        return node;
    }
    static PickMesh* Mesh(XMeshNode* node) { return static_cast<PickMesh*>(node->GetMesh()); }
    std::vector<XMeshNode*> Selection() const { return link.selection; }

    void TearDown() override
    {
        // Nodes first: each releases its mesh, which then goes with its last node.
        while (XMeshNode* node = FirstNode())
            node->Destroy();
        while (!link.objects.empty())
            link.objects.back()->Destroy();
    }
    XMeshNode* FirstNode()
    {
        for (XBaseObject* object : link.objects)
            if (auto* node = dynamic_cast<XMeshNode*>(object))
                return node;
        return nullptr;
    }

    SceneEditorLinkDouble link;
    XSceneEditor editor{TestScene()};
    ViewportDouble viewport;
};
} // namespace

TEST_F(XSceneEditorTest, NamesModesAndCanDoAnswers)
{
    EXPECT_EQ(editor.GetName(), XString(u"XSceneEditor"));
    EXPECT_TRUE(editor.Activate());
    EXPECT_TRUE(editor.Deactivate());
    EXPECT_EQ(editor.GetModeCount(), 3u);
    const char16_t* names[] = {u"Hierarhy", u"Pivot", u"Mesh", u""};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(editor.GetModeName(i), XString(names[i])) << i;
    EXPECT_EQ(editor.GetModeName(-1), XString());
    EXPECT_EQ(editor.GetMode(), 0);
    editor.SetMode(7);
    EXPECT_EQ(editor.GetMode(), 2);
    editor.SetMode(-3);
    EXPECT_EQ(editor.GetMode(), 0) << "a negative mode would index past the targets";
    EXPECT_EQ(editor.GetFrame(), 0u);
    TBaseEditorFrame* panel = editor.GetEditorFrame();
    EXPECT_NE(panel, nullptr);
    EXPECT_EQ(editor.GetEditorFrame(), panel);

    EXPECT_TRUE(editor.CanPaste()) << "also with an empty clipboard";
    EXPECT_FALSE(editor.CanCopy() || editor.CanCut() || editor.CanDelete() || editor.CanClone());
    XMeshNode* node = AddNode(XVertex(0, 0, 0));
    node->SetSelected(true);
    EXPECT_TRUE(editor.CanCopy() && editor.CanCut() && editor.CanDelete() && editor.CanClone());
    link.calls.clear();
    editor.CopyToClipboard();
    editor.CutToClipboard();
    editor.PasteFromClipboard();
    EXPECT_EQ(link.calls, (std::vector<std::string>{"Copy", "Cut", "Paste"}));
}

TEST_F(XSceneEditorTest, ClicksPickTheNearestVisibleNodeAndCtrlTogglesEveryNodeUnderThePoint)
{
    XMeshNode* far = AddNode(XVertex(0, 0, 0), 5);
    XMeshNode* near = AddNode(XVertex(0, 0, 0), 3);
    XMeshNode* hidden = AddNode(XVertex(0, 0, 0), 1);
    XMeshNode* other = AddNode(XVertex(0, 0, 0));
    hidden->SetVisible(false);
    other->SetSelected(true);

    editor.SelectRectShift(&viewport, XPoint(4, 4), XPoint(4, 4));
    EXPECT_EQ(Selection(), (std::vector<XMeshNode*>{other, near})) << "Shift adds and keeps";
    EXPECT_EQ(Mesh(far)->rayFlags, 2u);
    editor.SelectRect(&viewport, XPoint(4, 4), XPoint(4, 4));
    EXPECT_EQ(Selection(), (std::vector<XMeshNode*>{near})) << "a plain click replaces";

    Mesh(near)->distance = -1;
    Mesh(far)->distance = -1;
    Mesh(hidden)->distance = -1;
    editor.SelectRect(&viewport, XPoint(9, 9), XPoint(9, 9));
    EXPECT_TRUE(Selection().empty()) << "a plain click on empty space clears";

    Mesh(near)->distance = 3;
    Mesh(far)->distance = 5;
    Mesh(hidden)->distance = 1;
    near->SetSelected(true);
    editor.SelectRectCtrl(&viewport, XPoint(1, 2), XPoint(30, 40));
    EXPECT_EQ(Selection(), (std::vector<XMeshNode*>{far})) << "both under the point toggle";
    EXPECT_EQ(Mesh(far)->hitPoint, XPoint(30, 40)) << "only the rectangle's max corner is used";
    EXPECT_EQ(Mesh(far)->hitFlags, 0u);
}

TEST_F(XSceneEditorTest, RectanglesSelectNodesWhoseBoxesLieWhollyInsideAlsoInPerspective)
{
    // The default viewport double looks down +z in perspective: the node at z = 10 shows near the
    // middle of 640 x 480, its box about 130 by 130 pixels.
    XMeshNode* inside = AddNode(XVertex(0, 0, 10));
    XMeshNode* partly = AddNode(XVertex(1.5f, 0, 10));
    XMeshNode* outside = AddNode(XVertex(5, 0, 10));
    XMeshNode* behind = AddNode(XVertex(0, 0, -10));
    XMeshNode* hidden = AddNode(XVertex(0, 0, 10));
    hidden->SetVisible(false);
    partly->SetSelected(true);
    outside->SetSelected(true);

    editor.SelectRectShift(&viewport, XPoint(200, 140), XPoint(440, 340));
    EXPECT_EQ(Selection(), (std::vector<XMeshNode*>{inside}));
    EXPECT_FALSE(behind->IsSelected()) << "a box behind the eye is not inside";
    EXPECT_FALSE(hidden->IsSelected());

    viewport.SetOrthographic(64, 48, 1, 100);
    editor.SelectRect(&viewport, XPoint(0, 0), XPoint(640, 480));
    EXPECT_EQ(Selection(), (std::vector<XMeshNode*>{inside, partly, outside, behind}))
        << "orthographic: all visible boxes fit";
}

TEST_F(XSceneEditorTest, PressesOnTheGizmoOrASelectedNodeStartTransforms)
{
    XMeshNode* node = AddNode(XVertex(0, 0, 0), 2);
    EXPECT_FALSE(editor.HitTestSelection(&viewport, XPoint(5, 5))) << "under the point but not selected";
    node->SetSelected(true);
    EXPECT_TRUE(editor.HitTestSelection(&viewport, XPoint(5, 5)));
    Mesh(node)->distance = -1;
    EXPECT_FALSE(editor.HitTestSelection(&viewport, XPoint(5, 5)));
    node->SetSelected(false);
    link.gizmoAxis = 3;
    EXPECT_TRUE(editor.HitTestSelection(&viewport, XPoint(5, 5))) << "the gizmo wins with no node";
}

TEST_F(XSceneEditorTest, DragsAndTypedTransformsReachEverySelectedNodeAboutTheCentre)
{
    auto* a = AddNode<RecordingNode>(XVertex(1, 0, 0));
    auto* b = AddNode<RecordingNode>(XVertex(3, 2, 0));
    editor.MoveBy(&viewport, XVertex(1, 1, 1));
    EXPECT_TRUE(a->calls.empty()) << "nothing selected: nothing moves";
    a->SetSelected(true);
    b->SetSelected(true);
    ExpectVertex(editor.GetSelectionCenter(), XVertex(2, 1, 0), 1e-6f);

    Platform::ResetKeyStates();
    link.transformAxis = XAXIS_Y;
    editor.Rotate(&viewport, XPoint(0, 0), XPoint(0, 10)); // 10 pixels up: 5 degrees
    editor.SetMode(1);
    Platform::SetKeyDown(VK_CONTROL, true);
    editor.MoveBy(&viewport, XVertex(1, 2, 3));
    Platform::ResetKeyStates();
    link.transformAxis = XAXIS_XY; // a plane: no rotation axis
    editor.SetMode(2);
    editor.Rotate(&viewport, XPoint(0, 0), XPoint(0, 10));
    editor.BeginTransform();
    editor.EndTransform();
    editor.CancelTransform();
    std::vector<std::string> expected = {
        "Rotate f0 pivot(2 1 0) v(0 0.08722 0) children 1 target 0",
        "Move f0 pivot(2 1 0) v(1 2 3) children 0 target 1",
        "Rotate f0 pivot(2 1 0) v(0 0 0) children 1 target 2",
        "Begin", "End", "Cancel"};
    EXPECT_EQ(a->calls, expected);
    EXPECT_EQ(b->calls, expected);
}

TEST_F(XSceneEditorTest, DragMovesFollowTheTransformPlane)
{
    XMeshNode* node = AddNode(XVertex(0, 0, 10));
    node->SetSelected(true);
    viewport.SetOrthographic(64, 48, 1, 100); // 10 pixels per unit
    link.transformAxis = XAXIS_XY;
    editor.Move(&viewport, XPoint(340, 220), XPoint(320, 240));
    ExpectVertex(node->GetWorldPosition(0), XVertex(2, 2, 10), 1e-4f);
}

TEST_F(XSceneEditorTest, ScalingMovesSelectedNodesAboutTheCentreInHierarchyModeOnly)
{
    XMeshTree tree;
    link.tree = &tree;
    XMeshNode* a = AddNode(XVertex(1, 0, 0));
    XMeshNode* b = AddNode(XVertex(3, 0, 0));
    XMeshNode* child = AddNode(XVertex(0, 1, 0));
    tree.AddChild(a);
    tree.AddChild(b);
    b->AddChild(child);
    a->SetSelected(true);
    b->SetSelected(true);

    editor.SetMode(1);
    editor.ScaleBy(&viewport, XVertex(2, 2, 2));
    ExpectVertex(a->GetWorldPosition(0), XVertex(1, 0, 0), 1e-6f); // pivot mode changes nothing

    editor.SetMode(0);
    editor.Scale(&viewport, XPoint(0, 0), XPoint(0, 100)); // 100 pixels up: factor 2
    ExpectVertex(a->GetWorldPosition(0), XVertex(0, 0, 0), 1e-5f);
    ExpectVertex(b->GetWorldPosition(0), XVertex(4, 0, 0), 1e-5f);
    // The child kept its world place (0, 1, 0) when it joined b; it scales along with b.
    ExpectVertex(child->GetWorldPosition(0), XVertex(-2, 2, 0), 1e-5f);
    for (XMeshNode* n : {a, b, child})
        tree.RemoveChild(n);
    link.tree = nullptr;
}

namespace
{
// A node whose destruction takes a partner node with it.
class PairedNode : public XMeshNode
{
public:
    void Destroy() override
    {
        XMeshNode* p = partner;
        partner = nullptr;
        if (p)
            p->Destroy();
        XMeshNode::Destroy();
    }
    XMeshNode* partner = nullptr;
};
} // namespace

TEST_F(XSceneEditorTest, DeleteAndCloneWorkOnTheSelectionAsItStood)
{
    auto* first = AddNode<PairedNode>(XVertex(0, 0, 0));
    auto* second = AddNode<PairedNode>(XVertex(0, 0, 0));
    XMeshNode* kept = AddNode(XVertex(7, 0, 0));
    first->partner = second;
    first->SetSelected(true);
    second->SetSelected(true);
    editor.Delete(); // second goes with first and must not be destroyed again
    EXPECT_EQ(link.objects.size(), 2u) << "the kept node and its mesh remain; the others' meshes went with them";
    EXPECT_EQ(Selection().size(), 0u);

    kept->SetColor(0xFF123456);
    kept->SetSelected(true);
    editor.Clone();
    ASSERT_EQ(Selection().size(), 1u);
    XMeshNode* clone = Selection()[0];
    EXPECT_NE(clone, kept);
    EXPECT_FALSE(kept->IsSelected());
    EXPECT_EQ(clone->GetMesh(), kept->GetMesh()) << "the clone shares the mesh object";
    EXPECT_EQ(clone->GetColor().GetARGB(), 0xFF123456u);
    ExpectVertex(clone->GetWorldPosition(0), XVertex(7, 0, 0), 1e-6f);
}

// ---- on a real scene, with real meshes ----

namespace
{
// A cube of half size `half` in its own space, placed at `at`.
XMeshNode* AddCube(XScene& scene, const char16_t* name, const XVertex& at, float half = 1)
{
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, name);
    XMesh& cube = *static_cast<XTriMesh*>(node->GetMesh())->GetMesh();
    cube.SetVertexCount(8);
    cube.SetTextureVertexCount(8);
    for (uint32_t i = 0; i < 8; ++i)
        cube.GetVertices()[i] = XVertex(i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half);
    const uint32_t faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                   {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces)
        cube.GetFaceArray().Add(XFace(f[0], f[1], f[2]));
    cube.Invalidate();
    node->SetPosition(at);
    return node;
}

// Press, optional drag, release, as a viewport hands them on.
void Gesture(XScene& scene, XViewport* viewport, XPoint from, XPoint to, XShiftState keys = 0)
{
    scene.MouseEventHandler(viewport, XME_LEFT_DOWN, XSS_LEFT | keys, from);
    if (!(from == to))
        scene.MouseEventHandler(viewport, XME_MOVE, XSS_LEFT | keys, to);
    scene.MouseEventHandler(viewport, XME_LEFT_UP, keys, to);
}

void ExpectMatrix(const XMatrix& actual, const XMatrix& expected, float tolerance)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << r << ", " << c;
}
} // namespace

TEST(XSceneEditorSceneTest, ClicksRectanglesAndCtrlClicksPickRealMeshesAsTheCameraSeesThem)
{
    XScene scene(nullptr);
    ViewportDouble eye; // at the origin looking along +z, perspective, 640 x 480
    eye.SetPerspective(3.14159265f / 4, 640.0f / 480.0f, 1, 100);
    XMeshNode* far = AddCube(scene, u"Far", XVertex(0, 0, 20));
    XMeshNode* near = AddCube(scene, u"Near", XVertex(0, 0, 10));
    XMeshNode* behind = AddCube(scene, u"Behind", XVertex(0, 0, -10));
    XMeshNode* side = AddCube(scene, u"Side", XVertex(3, 0, 10));
    const XPoint centre(320, 240);

    // The nearer of the two under the point; the one behind the eye on the same line never.
    Gesture(scene, &eye, centre, centre);
    EXPECT_TRUE(near->IsSelected());
    EXPECT_FALSE(far->IsSelected());
    EXPECT_FALSE(behind->IsSelected());
    // Ctrl toggles every node under the point in front of the eye.
    Gesture(scene, &eye, centre, centre, XSS_CTRL);
    EXPECT_FALSE(near->IsSelected());
    EXPECT_TRUE(far->IsSelected());
    EXPECT_FALSE(behind->IsSelected());
    // A click on empty space clears.
    Gesture(scene, &eye, XPoint(5, 5), XPoint(5, 5));
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);

    // "Side" spans x 2 to 4 at depth 9 to 11: on screen about 105 to 257 pixels right of the centre.
    // A box over all of it selects it (and the two in the middle); one that cuts it does not.
    Gesture(scene, &eye, XPoint(1, 1), XPoint(639, 479));
    EXPECT_TRUE(side->IsSelected());
    EXPECT_TRUE(near->IsSelected());
    EXPECT_TRUE(far->IsSelected());
    EXPECT_FALSE(behind->IsSelected()) << "the whole screen holds nothing behind the eye";
    Gesture(scene, &eye, XPoint(540, 100), XPoint(639, 400));
    EXPECT_FALSE(side->IsSelected()) << "partly inside";
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);

    // The same from above in an orthographic view: x right, z up the screen, 16 pixels a unit.
    ViewportDouble top;
    top.SetOrthographic(40, 30, -100, 100);
    XMatrix down(1.0f);
    down.SetRotationX(1.5707964f);
    top.SetCameraWorld(down);
    Gesture(scene, &top, XPoint(320 + 2 * 16 - 20, 240 - 11 * 16 - 20), XPoint(320 + 4 * 16 + 20, 240 - 9 * 16 + 20));
    EXPECT_TRUE(side->IsSelected());
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);
    // Pressed away from the selection's gizmo, dragged up and left over half of the cube.
    Gesture(scene, &top, XPoint(320 + 4 * 16 + 20, 240 - 9 * 16 + 20), XPoint(320 + 3 * 16, 240 - 11 * 16 - 20));
    EXPECT_EQ(scene.GetSelNodeCount(), 0u) << "partly inside";
    // An orthographic view draws both sides of its plane: from the origin along +z "Behind" shows first.
    top.SetCameraWorld(XMatrix(1.0f));
    Gesture(scene, &top, centre, centre);
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);
    EXPECT_TRUE(behind->IsSelected());
    // A bone's capsule is lines, picked by its box (here z -16 to -4, 2 units about the axis): the
    // cube that shows through it is what a click there means; beside the cube the bone is.
    AddEngineClasses(&scene);
    auto* bone = dynamic_cast<XBone*>(scene.CreateObject(XString(u"XBone"), nullptr, u"Bone"));
    ASSERT_NE(bone, nullptr);
    for (auto set : {&XBone::SetInnerRadius1, &XBone::SetInnerRadius2, &XBone::SetOuterRadius1, &XBone::SetOuterRadius2})
        (bone->*set)(2);
    bone->SetHeight(8);
    bone->SetPosition(XVertex(0, 0, -14));
    Gesture(scene, &top, XPoint(5, 5), XPoint(5, 5));
    Gesture(scene, &top, centre, centre);
    EXPECT_TRUE(behind->IsSelected());
    EXPECT_FALSE(bone->IsSelected());
    Gesture(scene, &top, XPoint(320 - 24, 240 + 24), XPoint(320 - 24, 240 + 24)); // off the cube's gizmo
    EXPECT_TRUE(bone->IsSelected());
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);
}

TEST(XSceneEditorSceneTest, DeleteDestroysASelectedGroupAndANodeOnceEach)
{
    XScene scene(nullptr);
    XMeshNode* a = AddCube(scene, u"A", XVertex(0, 0, 0));
    XMeshNode* b = AddCube(scene, u"B", XVertex(3, 0, 0));
    XMeshNode* c = AddCube(scene, u"C", XVertex(6, 0, 0));
    XMeshNode* kept = AddCube(scene, u"Kept", XVertex(9, 0, 0));
    XPtrArray<XMeshNode, 4> members;
    members.Add(a);
    members.Add(b);
    XNodeGroup* group = scene.GroupNodes(members, u"Group");
    ASSERT_NE(group, nullptr);
    group->SetSelected(true);
    c->SetSelected(true);
    ASSERT_EQ(scene.GetSelNodeCount(), 2u);
    scene.EditorDelete();
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
    EXPECT_EQ(scene.FindMeshNode(XString(u"C")), nullptr);
    EXPECT_EQ(scene.FindMeshNode(XString(u"Group")), nullptr);
    EXPECT_EQ(scene.FindMeshNode(XString(u"Kept")), kept);
}

TEST(XSceneEditorSceneTest, MeshModeScalesTheMeshAboutTheCentreWithoutMovingTheNode)
{
    XScene scene(nullptr);
    ViewportDouble eye;
    auto* editor = static_cast<XSceneEditor*>(scene.GetSceneEditor());
    XMeshNode* node = AddCube(scene, u"Node", XVertex(2, 1, 5));
    XMatrix turn(1.0f);
    turn.SetRotation(0.3f, 0.5f, 0.1f);
    turn.m[3][0] = 2;
    turn.m[3][1] = 1;
    turn.m[3][2] = 5;
    node->SetMatrix(turn);
    node->SetSelected(true);
    editor->SetMode(2);
    editor->MoveBy(&eye, XVertex(1, 0, 0));
    XMatrix world, mesh;
    node->GetMatrix(0, world);
    node->GetMeshMatrix(0, mesh);
    EXPECT_NEAR(mesh.m[3][0] - world.m[3][0], 1.0f, 1e-5f) << "the mesh moved, the node did not";
    ExpectMatrix(world, turn, 1e-6f);

    const XVertex q = editor->GetSelectionCenter();
    editor->ScaleBy(&eye, XVertex(2, 2, 2));
    XMatrix s, toQ, fromQ;
    s.SetScale(2, 2, 2);
    toQ.SetTranslation(-q.x, -q.y, -q.z);
    fromQ.SetTranslation(q.x, q.y, q.z);
    XMatrix scaledMesh, scaledWorld;
    node->GetMeshMatrix(0, scaledMesh);
    node->GetMatrix(0, scaledWorld);
    ExpectMatrix(scaledMesh, mesh * toQ * s * fromQ, 1e-5f);
    ExpectMatrix(scaledWorld, world, 1e-6f);

    // Pivot mode scales nothing.
    editor->SetMode(1);
    editor->ScaleBy(&eye, XVertex(3, 3, 3));
    XMatrix after;
    node->GetMeshMatrix(0, after);
    ExpectMatrix(after, scaledMesh, 1e-6f);
}

TEST(XSceneEditorSceneTest, DragsFollowTheTransformTypeAndTheHoveredGizmoAxis)
{
    XScene scene(nullptr);
    ViewportDouble eye;
    eye.SetPerspective(3.14159265f / 4, 640.0f / 480.0f, 1, 100);
    XMeshNode* node = AddCube(scene, u"Node", XVertex(0, 0, 10), 0.5f);
    node->SetSelected(true);
    auto drag = [&](float fromY, float toY)
    {
        scene.MouseEventHandler(&eye, XME_MOVE, 0, XPoint(320, fromY));
        scene.MouseEventHandler(&eye, XME_LEFT_DOWN, XSS_LEFT, XPoint(320, fromY));
        scene.MouseEventHandler(&eye, XME_MOVE, XSS_LEFT, XPoint(320, toY));
        scene.MouseEventHandler(&eye, XME_LEFT_UP, 0, XPoint(320, toY));
    };
    // Rotate: the gizmo's Y axis (20 pixels above the centre) hovered, then 10 pixels up.
    scene.SetTransformType(1);
    drag(220, 210);
    EXPECT_EQ(scene.GetTransformAxis(), XAXIS_Y);
    XMatrix world;
    node->GetMatrix(0, world);
    const float a = 0.0872222f; // five degrees with pi taken as 3.14
    EXPECT_NEAR(world.m[0][0], std::cos(a), 1e-5f);
    EXPECT_NEAR(std::fabs(world.m[0][2]), std::sin(a), 1e-5f);
    EXPECT_NEAR(world.m[1][1], 1.0f, 1e-6f);
    EXPECT_TRUE(node->IsSelected());

    // Scale: 10 pixels up is 1.1; a 150-pixel flick down stops at 1 % of the size.
    node->ResetMatrix();
    node->SetPosition(0, 0, 10);
    scene.SetTransformType(2);
    drag(220, 210);
    node->GetMatrix(0, world);
    EXPECT_NEAR(world.m[0][0], 1.1f, 1e-5f);
    EXPECT_NEAR(world.m[2][2], 1.1f, 1e-5f);
    node->ResetMatrix();
    node->SetPosition(0, 0, 10);
    drag(220, 370);
    node->GetMatrix(0, world);
    EXPECT_NEAR(world.m[1][1], 0.01f, 1e-6f);
    EXPECT_TRUE(std::isfinite(world.m[1][1]));
}
