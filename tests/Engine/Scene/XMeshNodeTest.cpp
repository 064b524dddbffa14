#include "Engine/Scene/XMeshNode.h"

#include "Components/XException.h"
#include "Components/XVariant.h"
#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XClassIds.h"
#include "tests/support/ChunkBytes.h"
#include "tests/support/MathChecks.h"
#include "tests/support/SceneLinkDouble.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr float kPi = 3.14159265f;

XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

XGuid Guid(uint32_t n)
{
    return XGuid(n, 7, 8, 9, 10);
}

// Rotation by the three angles, then a move to t.
XMatrix Placement(float ax, float ay, float az, XVertex t)
{
    XMatrix m;
    m.SetRotation(ax, ay, az);
    m.m[3][0] = t.x;
    m.m[3][1] = t.y;
    m.m[3][2] = t.z;
    return m;
}

XMatrix World(XMeshNode& node, unsigned frame = 0)
{
    XMatrix m;
    node.GetMatrix(frame, m);
    return m;
}

XMatrix Local(const XMeshNode& node)
{
    XMatrix m;
    node.GetLocalMatrix(m);
    return m;
}

XVertex MeshOrigin(XMeshNode& node)
{
    XMatrix m;
    node.GetMeshMatrix(0, m);
    return XVertex(m.m[3][0], m.m[3][1], m.m[3][2]);
}

// A mesh object with a fixed box that reports its destruction and its mouse-creation calls.
class TestMesh : public XBaseMesh
{
public:
    explicit TestMesh(bool* gone = nullptr) : m_Gone(gone) {}
    ~TestMesh() override
    {
        if (m_Gone)
            *m_Gone = true;
    }
    XBoundingBox GetBoundingBox(unsigned) override { return XBoundingBox(-1, -2, -3, 1, 2, 3); }
    XMesh* GetMesh(unsigned, XViewport*, XMeshNode*) override { return source; }
    bool AllowMouseCreate() override { return allowMouseCreate; }
    void MouseCreateStart() override { calls.push_back("Start"); }
    bool MouseCreateProc(XViewport*, XMeshNode* node, XMouseEvent event, const XPoint&, XShiftState) override
    {
        calls.push_back("Proc " + std::to_string(event));
        EXPECT_NE(node, nullptr);
        return event == XME_LEFT_UP;
    }
    void MouseCreateFinish() override { calls.push_back("Finish"); }

    bool allowMouseCreate = false;
    std::vector<std::string> calls;
    XMesh* source = nullptr;

private:
    bool* m_Gone;
};

// (id, payload size) of each chunk directly inside the reader's open chunk.
std::vector<std::pair<uint32_t, uint64_t>> ChunkList(XReader& reader)
{
    std::vector<std::pair<uint32_t, uint64_t>> out;
    while (reader.NextChunk())
    {
        out.emplace_back(reader.GetChunkId(), reader.GetBytesLeft());
        reader.EndChunk();
    }
    return out;
}

void LoadNode(XMeshNode& node, XScene* scene, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& reader) { node.Load(scene, reader); });
}

void LoadTree(XMeshTree& tree, XScene* scene, const std::vector<uint8_t>& bytes)
{
    LoadEachChunk(bytes, [&](XReader& reader) { tree.Load(scene, reader); });
}

// Each node's parent chain reaches a root within the number of nodes.
bool HasNoCycle(const std::vector<XMeshNode*>& nodes)
{
    for (XMeshNode* node : nodes)
    {
        size_t steps = 0;
        for (XMeshNode* p = node->GetParent(); p; p = p->GetParent())
            if (++steps > nodes.size())
                return false;
    }
    return true;
}
} // namespace

TEST(XMeshNodeTest, ReparentingUnderRotatedParentKeepsWorldAlsoThroughFiles)
{
    SceneLinkDouble link;
    const XMatrix parentWorld = Placement(0, kPi / 2, 0, XVertex(1, 2, 3));
    const XMatrix childWorld = Placement(0.3f, 0, 0.2f, XVertex(4, -1, 2));

    XMeshNode parent, child;
    parent.SetMatrix(parentWorld);
    child.SetMatrix(childWorld);
    parent.AddChild(&child);
    EXPECT_EQ(child.GetParent(), &parent);
    EXPECT_LE(MaxDiff(World(child), childWorld), 1e-5f);
    XMatrix parentInverse;
    parentWorld.Inverse(parentInverse);
    EXPECT_LE(MaxDiff(Local(child), childWorld * parentInverse), 1e-6f);
    // A second AddChild of a child changes nothing.
    XMatrix before = Local(child);
    parent.AddChild(&child);
    EXPECT_EQ(MaxDiff(Local(child), before), 0.0f);
    EXPECT_EQ(parent.GetChildCount(), 1u);

    // Node chunks hold world matrices, the tree chunk the links.
    parent.SetGuid(Guid(1));
    child.SetGuid(Guid(2));
    XMeshTree tree;
    tree.AddChild(&parent);
    auto parentBytes = SavedBytes([&](XWriter& w) { parent.Save(nullptr, w); });
    auto childBytes = SavedBytes([&](XWriter& w) { child.Save(nullptr, w); });
    auto treeBytes = SavedBytes([&](XWriter& w) { tree.Save(nullptr, w); });

    XMeshNode parent2, child2;
    parent2.SetGuid(Guid(1));
    child2.SetGuid(Guid(2));
    parent2.SetScene(TestScene());
    child2.SetScene(TestScene());
    LoadNode(parent2, TestScene(), parentBytes);
    LoadNode(child2, TestScene(), childBytes);
    EXPECT_LE(MaxDiff(Local(child2), childWorld), 1e-5f); // the saved world, as a local matrix
    XMeshTree tree2;
    LoadTree(tree2, TestScene(), treeBytes);
    ASSERT_EQ(parent2.GetParent(), &tree2);
    ASSERT_EQ(child2.GetParent(), &parent2);
    EXPECT_LE(MaxDiff(World(parent2), parentWorld), 1e-5f);
    EXPECT_LE(MaxDiff(World(child2), childWorld), 1e-5f);
    parent2.SetScene(nullptr);
    child2.SetScene(nullptr);
}

TEST(XMeshNodeTest, ParentCyclesAreRefused)
{
    XMeshNode a, b, c;
    a.AddChild(&b);
    b.AddChild(&c);
    c.AddChild(&a); // an ancestor
    c.AddChild(&c); // itself
    c.AddChild(nullptr);
    a.SetParent(&c); // a descendant: refused before anything changes
    b.SetParent(&b);
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_EQ(b.GetParent(), &a);
    EXPECT_EQ(c.GetParent(), &b);
    EXPECT_EQ(c.GetChildCount(), 0u);
    EXPECT_EQ(a.GetDescendantCount(), 2u);
    // Moving a subtree elsewhere is fine.
    c.SetParent(&a);
    EXPECT_EQ(c.GetParent(), &a);
    EXPECT_EQ(b.GetChildCount(), 0u);
}

TEST(XMeshNodeTest, TransformsByTarget)
{
    struct Case
    {
        const char* name;
        int op; // 0 move, 1 rotate about Z, 2 scale
        XTransformTarget target;
        bool withChildren;
        XVertex nodeShift;  // world position of the node
        XVertex meshShift;  // world position of the mesh origin
        XVertex childShift; // world position of the child
    };
    const XVertex d(1, 2, -3);
    const XVertex zero(0, 0, 0);
    const Case cases[] = {
        {"move node with children", 0, XTT_NODE, true, d, d, d},
        {"move node, children stay", 0, XTT_NODE, false, d, d, zero},
        {"move pivot", 0, XTT_PIVOT, true, d, zero, d},
        {"move pivot, children stay", 0, XTT_PIVOT, false, d, zero, zero},
        {"move mesh", 0, XTT_MESH, false, zero, d, zero},
        // A quarter turn about Z at the node's origin (5, 0, 0): the child at (7, 0, 0) swings
        // to (5, 2, 0), the mesh offset (1, 0, 0) to (0, 1, 0).
        {"rotate node with children", 1, XTT_NODE, true, zero, XVertex(-1, 1, 0), XVertex(-2, 2, 0)},
        {"rotate node, children stay", 1, XTT_NODE, false, zero, XVertex(-1, 1, 0), zero},
        {"rotate pivot", 1, XTT_PIVOT, false, zero, zero, zero},
        {"rotate mesh", 1, XTT_MESH, false, zero, zero, zero},
        {"scale mesh", 2, XTT_MESH, false, zero, zero, zero},
        {"scale pivot", 2, XTT_PIVOT, false, zero, zero, zero},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XMeshNode grand, node, child;
        grand.SetMatrix(Placement(0, kPi / 2, 0, XVertex(0, 0, 0)));
        grand.AddChild(&node);
        node.SetWorldMatrix(0, Placement(0, 0, 0, XVertex(5, 0, 0)));
        child.SetPosition(7, 0, 0);
        node.AddChild(&child);
        node.Move(0, XMatrix(1.0f), XVertex(1, 0, 0), true, XTT_MESH); // mesh offset (1, 0, 0)
        const XVertex node0 = node.GetWorldPosition(0), mesh0 = MeshOrigin(node);
        const XVertex child0 = child.GetWorldPosition(0);
        const XMatrix axes = Placement(0, 0, 0, node0); // pivot at the node's origin
        if (c.op == 0)
            node.Move(0, axes, d, c.withChildren, c.target);
        else if (c.op == 1)
            node.Rotate(0, axes, XVertex(0, 0, kPi / 2), c.withChildren, c.target);
        else
            node.Scale(0, axes, XVertex(2, 2, 2), c.withChildren, c.target);
        ExpectVertex(node.GetWorldPosition(0) - node0, c.nodeShift, 1e-5f);
        ExpectVertex(MeshOrigin(node) - mesh0, c.meshShift, 1e-5f);
        ExpectVertex(child.GetWorldPosition(0) - child0, c.childShift, 1e-5f);
    }
}

TEST(XMeshNodeTest, MeshOffsetTransforms)
{
    XMeshNode node;
    node.SetMatrix(Placement(0, 0, kPi / 2, XVertex(3, 0, 0)));
    node.Rotate(0, XMatrix(1.0f), XVertex(0, 0, kPi / 2), false, XTT_MESH);
    node.Scale(0, XMatrix(1.0f), XVertex(2, 3, 4), false, XTT_MESH);
    node.Scale(0, XMatrix(1.0f), XVertex(0.5f, 1, 1), false, XTT_MESH);
    ExpectVertex(node.GetMeshScale(), 1, 3, 4);
    XMatrix rotation;
    rotation.SetRotationZ(kPi / 2);
    EXPECT_LE(MaxDiff(node.GetMeshRotation(), rotation), 1e-6f);
    // The mesh is turned a further quarter in world space.
    XMatrix mesh;
    node.GetMeshMatrix(0, mesh);
    ExpectVertex(Apply(mesh, XVertex(1, 0, 0)), XVertex(3 - 1, 0, 0), 1e-5f);
    node.ResetMeshTransform(true, true, true);
    node.GetMeshMatrix(0, mesh);
    EXPECT_LE(MaxDiff(mesh, World(node)), 0.0f);

    // Scaling a node scales it in its own space: the children and the mesh offset follow.
    XMeshNode root, child;
    root.SetPosition(5, 0, 0);
    child.SetPosition(7, 0, 0);
    root.AddChild(&child);
    root.Move(0, XMatrix(1.0f), XVertex(1, 0, 0), true, XTT_MESH);
    root.Scale(0, XMatrix(1.0f), XVertex(2, 2, 2), true, XTT_NODE);
    ExpectVertex(root.GetWorldPosition(0), 5, 0, 0);
    ExpectVertex(MeshOrigin(root), 7, 0, 0);
    ExpectVertex(child.GetWorldPosition(0), 9, 0, 0);
}

TEST(XMeshNodeTest, DestroyedParentHandsChildrenToGrandparent)
{
    XMeshNode grand;
    grand.SetMatrix(Placement(0.1f, 0.2f, 0.3f, XVertex(1, 1, 1)));
    auto* parent = new XMeshNode;
    parent->SetMatrix(Placement(0, kPi / 2, 0, XVertex(0, 4, 0)));
    grand.AddChild(parent);
    XMeshNode a, b;
    a.SetPosition(1, 0, 0);
    b.SetPosition(0, 0, 9);
    parent->AddChild(&a);
    parent->AddChild(&b);
    const XMatrix wa = World(a), wb = World(b);
    parent->Destroy();
    ASSERT_EQ(grand.GetChildCount(), 2u);
    EXPECT_EQ(grand.GetChild(0), &a);
    EXPECT_EQ(grand.GetChild(1), &b);
    EXPECT_LE(MaxDiff(World(a), wa), 1e-5f);
    EXPECT_LE(MaxDiff(World(b), wb), 1e-5f);

    // Without a grandparent they become roots.
    auto* root = new XMeshNode;
    root->AddChild(&a);
    root->Destroy();
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_LE(MaxDiff(World(a), wa), 1e-5f);
}

TEST(XMeshNodeTest, AnimationAppliesAtFramesOtherThanZero)
{
    XMeshNode parent, node;
    parent.AddChild(&node);
    XMatrix local;
    local.SetRotationZ(kPi / 2);
    local.m[3][0] = 1;
    node.SetMatrix(local);
    auto* animation = new XAnimation;
    animation->AddPositionKey(5, XVertex(0, 3, 0));
    node.AddAnimation(animation);
    node.SetAnimation(animation);

    // Frame 5: the animation's move (0, 3, 0) comes before the local quarter turn about Z.
    ExpectVertex(node.GetWorldPosition(5), -2, 0, 0, 1e-5f);
    ExpectVertex(node.GetWorldPosition(0), 1, 0, 0);
    ExpectVertex(node.GetWorldPosition(5), -2, 0, 0, 1e-5f);
    // A parent's animation carries its children.
    node.SetAnimation(nullptr);
    auto* parentAnimation = new XAnimation;
    parentAnimation->AddPositionKey(5, XVertex(0, 0, 7));
    parent.AddAnimation(parentAnimation);
    parent.SetAnimation(parentAnimation);
    ExpectVertex(node.GetWorldPosition(5), 1, 0, 7, 1e-5f);
    ExpectVertex(node.GetWorldPosition(0), 1, 0, 0);

    // Loading an animation set replaces the animations: the current one goes with them.
    auto bytes = SavedBytes([&](XWriter& w) { XAnimationSet().Save(w); });
    LoadNode(parent, nullptr, bytes);
    EXPECT_EQ(parent.GetAnimation(), nullptr);
    ExpectVertex(node.GetWorldPosition(5), 1, 0, 0);
}

TEST(XMeshNodeTest, SelectionFollowsVisibilityAndSelectability)
{
    SceneLinkDouble link;
    struct Case
    {
        const char* name;
        void (*act)(XMeshNode&);
        bool selected;
    };
    const Case cases[] = {
        {"hidden", [](XMeshNode& n) { n.SetVisible(false); }, false},
        {"hidden with parent", [](XMeshNode&) {}, false}, // see below: recursive hide of the parent
        {"unselectable", [](XMeshNode& n) { n.SetSelectable(false); }, false},
        {"shown again", [](XMeshNode& n) { n.SetVisible(true); }, true},
        {"property", [](XMeshNode& n) { n.SetPropertyValue(XMeshNode::PidVisible, VarUtils::XVariant(0)); }, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        XMeshNode parent, node;
        parent.AddChild(&node);
        node.SetScene(TestScene());
        node.SetSelected(true);
        ASSERT_TRUE(node.IsSelected());
        c.act(node);
        if (std::string(c.name) == "hidden with parent")
            parent.SetVisible(false, true);
        EXPECT_EQ(node.IsSelected(), c.selected);
        EXPECT_EQ(link.selection.size(), c.selected ? 1u : 0u);
        node.SetScene(nullptr);
    }
    // Outside a scene the flag does not change.
    XMeshNode loose;
    loose.SetSelected(true);
    EXPECT_FALSE(loose.IsSelected());
}

TEST(XMeshNodeTest, WithoutASceneLinkSelectionIsTheFlagAlone)
{
    XMeshNode node;
    node.SetScene(TestScene());
    node.SetSelected(true);
    EXPECT_TRUE(node.IsSelected());
    node.SetSelectable(false);
    EXPECT_FALSE(node.IsSelected());
    node.SetSelected(true);
    EXPECT_FALSE(node.IsSelected());
    node.SetScene(nullptr);
}

TEST(XMeshNodeTest, MeshObjectIsCountedAndDroppedWhenDeleted)
{
    bool gone = false;
    auto* mesh = new TestMesh(&gone);
    XMeshNode a, b;
    a.SetMesh(mesh);
    a.SetMesh(mesh);
    b.SetMesh(mesh);
    EXPECT_EQ(mesh->GetRefCount(), 2);
    XBoundingBox box = a.GetMeshBoundingBox(0);
    ExpectVertex(box.max, 1, 2, 3);
    mesh->Destroy();
    EXPECT_TRUE(gone);
    EXPECT_EQ(a.GetMesh(), nullptr);
    EXPECT_EQ(b.GetMesh(), nullptr);
    box = a.GetMeshBoundingBox(0);
    ExpectVertex(box.min, -0.001f, -0.001f, -0.001f);
    ExpectVertex(box.max, 0.001f, 0.001f, 0.001f);
    float distance = 0;
    EXPECT_FALSE(a.IntersectRay(0, nullptr, XPoint(0, 0), distance, 0));
    EXPECT_FALSE(a.MeshEditable());

    // The last node to let go destroys it.
    gone = false;
    mesh = new TestMesh(&gone);
    a.SetMesh(mesh);
    b.SetMesh(mesh);
    a.SetMesh(nullptr);
    EXPECT_FALSE(gone);
    b.SetMesh(nullptr);
    EXPECT_TRUE(gone);
}

TEST(XMeshNodeTest, ConvertedMeshObjectIsShownInstead)
{
    bool gone = false;
    auto* mesh = new TestMesh(&gone);
    XMesh triangle;
    triangle.AddVertex(XVertex(0, 0, 0), 0);
    mesh->source = &triangle;
    XMeshNode a, b;
    a.SetMesh(mesh);
    b.SetMesh(mesh);
    XBaseMesh* converted = mesh->ConvertToType(0, u"XTriMesh");
    ASSERT_NE(converted, nullptr);
    EXPECT_TRUE(gone);
    EXPECT_EQ(a.GetMesh(), converted);
    EXPECT_EQ(b.GetMesh(), converted);
    a.SetMesh(nullptr);
    EXPECT_EQ(converted->GetRefCount(), 1);
    b.SetMesh(nullptr); // the last count: the converted object goes (checked by the leak checker)
}

TEST(XMeshNodeTest, DefaultColoursRotateTwoBitsWithOpaqueAlpha)
{
    // The sequence repeats every 12 nodes: construct until it stands at its start.
    for (int i = 0; i < 12 && XMeshNode::GetDefaultColor().GetARGB() != 0xFF00007Fu; ++i)
        XMeshNode skipped;
    ASSERT_EQ(XMeshNode::GetDefaultColor().GetARGB(), 0xFF00007Fu);
    const uint32_t expected[] = {0xFF00007F, 0xFF0001FC, 0xFF0007F0, 0xFF001FC0, 0xFF007F00};
    std::vector<std::unique_ptr<XMeshNode>> nodes;
    for (uint32_t colour : expected)
    {
        nodes.push_back(std::make_unique<XMeshNode>());
        EXPECT_EQ(nodes.back()->GetColor().GetARGB(), colour);
    }
    const std::pair<uint32_t, uint32_t> steps[] = {
        {0xFFC00000, 0xFF000003}, // bits 22 and 23 come round to 0 and 1
        {0x00000001, 0xFF000004}, // alpha forced
        {0x12345678, 0xFFD159E0},
    };
    for (auto [from, to] : steps)
        EXPECT_EQ(XMeshNode::NextDefaultColor(from).GetARGB(), to) << std::hex << from;
}

TEST(XMeshNodeTest, NodeChunkLayout)
{
    SceneLinkDouble link;
    auto* mesh = new TestMesh;
    mesh->SetGuid(Guid(9));
    XMeshNode parent, node;
    parent.SetPosition(0, 10, 0);
    parent.AddChild(&node);
    node.SetPosition(1, 2, 3);
    node.SetMaterial(4);
    node.SetColor(0x80112233);
    node.SetSelectable(false);

    for (bool withMesh : {false, true})
    {
        SCOPED_TRACE(withMesh);
        node.SetMesh(withMesh ? mesh : nullptr);
        auto bytes = SavedBytes([&](XWriter& w) { node.Save(nullptr, w); });
        std::vector<uint32_t> top;
        std::vector<std::pair<uint32_t, uint64_t>> fields;
        LoadEachChunk(bytes, [&](XReader& r) {
            top.push_back(r.GetChunkId());
            if (r.GetChunkId() != ClassId::MeshNode)
                return;
            fields = ChunkList(r);
        });
        EXPECT_EQ(top, (std::vector<uint32_t>{ClassId::BaseObject, ClassId::AnimationSet, ClassId::MeshNode}));
        std::vector<std::pair<uint32_t, uint64_t>> expected = {
            {0x36540001, 4},  {0x36540002, 4},  {0x36540004, 12}, {0x36540005, 64},
            {0x36540006, 12}, {0x36540007, 64}, {0x36540009, 1},  {0x3654000B, 1},
            {0x3654000A, 1},  {0x3654000C, 1}};
        if (withMesh)
            expected.emplace_back(0x3654000D, 16);
        EXPECT_EQ(fields, expected);

        // Loaded back in a scene that files the mesh object: the world matrix as local matrix.
        mesh->SetScene(TestScene());
        XMeshNode loaded;
        LoadNode(loaded, TestScene(), bytes);
        ExpectVertex(loaded.GetPosition(), 1, 12, 3);
        EXPECT_EQ(loaded.GetMaterial(), 4u);
        EXPECT_EQ(loaded.GetColor().GetARGB(), 0x80112233u);
        EXPECT_FALSE(loaded.IsSelectable());
        EXPECT_EQ(loaded.GetMesh(), withMesh ? mesh : nullptr);
        // Without a scene no mesh object is looked up.
        XMeshNode bare;
        LoadNode(bare, nullptr, bytes);
        EXPECT_EQ(bare.GetMesh(), nullptr);
        mesh->SetScene(nullptr);
    }
    node.SetMesh(nullptr); // the last count: the mesh object goes
}

TEST(XMeshNodeTest, LoadResetsFieldsAndFindsMeshByName)
{
    SceneLinkDouble link;
    auto* mesh = new TestMesh;
    mesh->SetName(u"Hull");
    mesh->SetScene(TestScene());
    mesh->AddRef(); // kept by the test while nodes let go of it
    XMeshNode other;
    other.SetName(u"NotAMesh");
    other.SetScene(TestScene());

    auto chunk = [](std::initializer_list<std::pair<uint32_t, XString>> names) {
        return SavedBytes([&](XWriter& w) {
            w.BeginChunk(ClassId::MeshNode);
            for (auto& [id, name] : names)
                w.WriteChunkString(id, name);
            w.EndChunk();
        });
    };
    XMeshNode node;
    node.SetPosition(5, 5, 5);
    node.SetMaterial(3);
    node.SetVisible(false);
    LoadNode(node, TestScene(), chunk({{0x36540003, u"Hull"}}));
    EXPECT_EQ(node.GetMesh(), mesh);
    ExpectVertex(node.GetPosition(), 0, 0, 0);
    EXPECT_EQ(node.GetMaterial(), XMeshNode::NoMaterial);
    EXPECT_TRUE(node.GetVisible());
    // A name that names no mesh object leaves none.
    LoadNode(node, TestScene(), chunk({{0x36540003, u"Hull"}, {0x36540003, u"NotAMesh"}}));
    EXPECT_EQ(node.GetMesh(), nullptr);
    // Names are bounded at 1,024 units.
    EXPECT_NO_THROW(LoadNode(node, TestScene(), chunk({{0x36540003, XString(std::u16string(1024, u'a').c_str())}})));
    EXPECT_THROW(LoadNode(node, TestScene(), chunk({{0x36540003, XString(std::u16string(1025, u'a').c_str())}})),
                 XException);
    other.SetScene(nullptr);
    mesh->SetScene(nullptr);
    mesh->Release();
}

TEST(XMeshNodeTest, EveryCutOfANodeLoadsCleanly)
{
    SceneLinkDouble link;
    XMeshNode node;
    node.SetMatrix(Placement(1, 2, 3, XVertex(4, 5, 6)));
    node.AddAnimation(new XAnimation);
    auto bytes = SavedBytes([&](XWriter& w) { node.Save(nullptr, w); });
    for (size_t n = 0; n < bytes.size(); ++n)
    {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
        XMeshNode loaded;
        loaded.SetScene(TestScene());
        try
        {
            LoadNode(loaded, TestScene(), cut);
        }
        catch (const XException&)
        {
        }
        loaded.SetScene(nullptr);
    }
}

TEST(XMeshNodeTest, TreeChunkSkipsCyclesAndUnknownNodes)
{
    SceneLinkDouble link;
    XMeshNode a, b, c;
    const std::vector<XMeshNode*> nodes = {&a, &b, &c};
    for (size_t i = 0; i < nodes.size(); ++i)
    {
        nodes[i]->SetGuid(Guid(static_cast<uint32_t>(i + 1)));
        nodes[i]->SetScene(TestScene());
    }
    c.SetName(u"Named");
    // Root > A > (B > (A again, unknown > C), A itself), then C by name > B (moved there).
    auto bytes = SavedBytes([&](XWriter& w) {
        auto node = [&](uint32_t n) {
            w.BeginChunk(XMeshTree::NodeChunk);
            XGuid g = Guid(n);
            w.Write(&g, 16);
        };
        w.BeginChunk(ClassId::MeshTree);
        node(1);
        node(2);
        node(1);
        w.EndChunk();
        node(77);
        node(3);
        w.EndChunk();
        w.EndChunk();
        w.EndChunk();
        node(1);
        w.EndChunk();
        w.BeginChunk(0x1234); // unknown sub-chunk
        w.EndChunk();
        w.EndChunk();
        w.BeginChunk(XMeshTree::NodeNameChunk);
        w.WriteString(u"Named");
        node(2);
        w.EndChunk();
        w.EndChunk();
        w.EndChunk();
    });
    XMeshTree tree;
    LoadTree(tree, TestScene(), bytes);
    EXPECT_EQ(a.GetParent(), &tree);
    EXPECT_EQ(c.GetParent(), &tree);
    EXPECT_EQ(b.GetParent(), &c);
    EXPECT_TRUE(HasNoCycle(nodes));
    XPtrArray<XMeshNode, 4> all;
    tree.EnumNodes(all);
    ASSERT_EQ(all.GetCount(), 3u);
    EXPECT_EQ(all[0], &a);
    EXPECT_EQ(all[1], &c);
    EXPECT_EQ(all[2], &b);

    // Every cut ends cleanly and leaves no cycle.
    for (size_t n = 0; n < bytes.size(); ++n)
    {
        XMeshTree other;
        try
        {
            LoadTree(other, TestScene(), std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
        }
        catch (const XException&)
        {
        }
        EXPECT_TRUE(HasNoCycle(nodes));
    }
    for (XMeshNode* node : nodes)
        node->SetScene(nullptr);
}

TEST(XMeshNodeTest, TreeChunkNestingIsBounded)
{
    SceneLinkDouble link;
    const unsigned count = XMeshTree::MaxLoadDepth + 3;
    std::vector<std::unique_ptr<XMeshNode>> chain;
    for (unsigned i = 0; i < count; ++i)
    {
        chain.push_back(std::make_unique<XMeshNode>());
        chain.back()->SetGuid(Guid(i + 1));
        chain.back()->SetScene(TestScene());
    }
    auto bytes = SavedBytes([&](XWriter& w) {
        w.BeginChunk(ClassId::MeshTree);
        for (unsigned i = 0; i < count; ++i)
        {
            w.BeginChunk(XMeshTree::NodeChunk);
            XGuid g = Guid(i + 1);
            w.Write(&g, 16);
        }
        for (unsigned i = 0; i <= count; ++i)
            w.EndChunk();
    });
    XMeshTree tree;
    LoadTree(tree, TestScene(), bytes);
    EXPECT_EQ(chain[XMeshTree::MaxLoadDepth - 1]->GetParent(), chain[XMeshTree::MaxLoadDepth - 2].get());
    EXPECT_EQ(chain[XMeshTree::MaxLoadDepth]->GetParent(), nullptr);
    // Released deepest first, so no node hands a long chain down on its way out.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        (*it)->SetScene(nullptr);
    while (!chain.empty())
        chain.pop_back();
}

TEST(XMeshNodeTest, SelectedNodesInTreeOrder)
{
    SceneLinkDouble link;
    XMeshTree tree;
    XMeshNode a, b, c, d;
    tree.AddChild(&a);
    a.AddChild(&b);
    b.AddChild(&c);
    tree.AddChild(&d);
    for (XMeshNode* n : {&a, &b, &c, &d})
        n->SetScene(TestScene());
    d.SetSelected(true);
    c.SetSelected(true);
    XPtrArray<XMeshNode, 4> out;
    out.Add(&a); // emptied first
    tree.EnumSelNodes(out);
    ASSERT_EQ(out.GetCount(), 2u);
    EXPECT_EQ(out[0], &c);
    EXPECT_EQ(out[1], &d);
    XPtrArray<XMeshNode, 4> below;
    EXPECT_EQ(a.EnumDescendants(below), 2u);
    for (XMeshNode* n : {&a, &b, &c, &d})
        n->SetScene(nullptr);
}

TEST(XMeshNodeTest, EditPushesTheAnimationEditor)
{
    {
        SceneLinkDouble link;
        XMeshNode node;
        EXPECT_TRUE(node.Editable());
        node.Edit(TestScene());
        node.Edit(TestScene());
        EXPECT_EQ(link.calls, (std::vector<std::string>{"Create", "Add XAnimationEditor", "Push XAnimationEditor",
                                                        "Push XAnimationEditor"}));
    }
    // Without a scene's editors nothing is pushed.
    XMeshNode node;
    node.Edit(TestScene());
}

TEST(XMeshNodeTest, MouseCreationPlacesThenHandsOverToTheMesh)
{
    ViewportDouble viewport;
    viewport.SetPlaneAxis(XAXIS_XZ);
    XMatrix camera;
    camera.SetViewMatrix(XVertex(0, 10, -10), XVertex(0, 0, 0), XVertex(0, 1, 0));
    XMatrix cameraWorld;
    camera.Inverse(cameraWorld);
    viewport.SetCameraWorld(cameraWorld);
    const XPoint point(400, 300);
    const XVertex onPlane = viewport.ScreenToPlane(0, point, XAXIS_XZ);

    XMeshNode plain;
    EXPECT_TRUE(plain.AllowMouseCreate());
    plain.MouseCreateStart();
    EXPECT_FALSE(plain.MouseCreateProc(&viewport, XME_RIGHT_DOWN, point, 0));
    EXPECT_FALSE(plain.MouseCreateProc(&viewport, XME_MOVE, point, 0));
    ExpectVertex(plain.GetPosition(), onPlane);
    EXPECT_TRUE(plain.MouseCreateProc(&viewport, XME_LEFT_DOWN, point, 0)); // complete on the click

    auto* mesh = new TestMesh;
    mesh->allowMouseCreate = true;
    XMeshNode sized;
    sized.SetMesh(mesh);
    sized.MouseCreateStart();
    EXPECT_FALSE(sized.MouseCreateProc(&viewport, XME_LEFT_DOWN, point, 0));
    EXPECT_FALSE(sized.MouseCreateProc(&viewport, XME_MOVE, point, 0));
    EXPECT_TRUE(sized.MouseCreateProc(&viewport, XME_LEFT_UP, point, 0));
    sized.MouseCreateFinish();
    EXPECT_EQ(mesh->calls, (std::vector<std::string>{"Start", "Proc 1", "Proc 64", "Proc 2", "Finish"}));
}

TEST(XMeshNodeTest, AssignCopiesPlacementAndRefreshesChildren)
{
    SceneLinkDouble link;
    XMeshNode parent, source, target, child;
    parent.SetPosition(0, 0, 100);
    parent.AddChild(&source);
    source.SetPosition(1, 2, 3);
    source.SetColor(0xFF123456);
    source.SetMaterial(7);
    source.Move(0, XMatrix(1.0f), XVertex(0, 1, 0), false, XTT_MESH);
    source.SetVisible(false);
    source.SetName(u"Source");
    target.SetName(u"Target");
    target.AddChild(&child);
    ExpectVertex(child.GetWorldPosition(0), 0, 0, 0); // cached before the assignment

    target.Assign(&source);
    EXPECT_EQ(target.GetParent(), &parent);
    EXPECT_LE(MaxDiff(World(target), World(source)), 0.0f);
    EXPECT_EQ(target.GetColor().GetARGB(), 0xFF123456u);
    EXPECT_EQ(target.GetMaterial(), 7u);
    ExpectVertex(target.GetMeshPosition(), 0, 1, 0);
    EXPECT_FALSE(target.GetVisible());
    EXPECT_EQ(target.GetName(), XString(u"Target"));
    EXPECT_EQ(target.GetChildCount(), 1u);
    ExpectVertex(child.GetWorldPosition(0), 1, 2, 103);
}

TEST(XMeshNodeTest, Properties)
{
    XMeshNode node;
    ASSERT_EQ(node.GetPropertyCount(), 14u);
    EXPECT_EQ(XString(node.GetPropertyDesc(0)->Name), XString(u"Material"));
    EXPECT_EQ(XString(node.GetPropertyDesc(9)->Name), XString(u"Groupped"));
    EXPECT_EQ(XString(node.GetPropertyDesc(10)->Name), XString(u"Tag"));
    EXPECT_EQ(node.GetPropertyDesc(14), nullptr);

    node.SetPosition(1, 2, 3);
    XMatrix local;
    VarUtils::XVariant value;
    value.SetPointer(&local);
    node.GetPropertyValue(XMeshNode::PidMatrix, value);
    EXPECT_EQ(local.m[3][1], 2.0f);
    node.SetPropertyValue(XMeshNode::PidMaterial, VarUtils::XVariant(-1));
    EXPECT_EQ(node.GetMaterial(), 0xFFFFFFFFu);
    node.SetPropertyValue(XMeshNode::PidColor, VarUtils::XVariant(0x10203040));
    EXPECT_EQ(node.GetColor().GetARGB(), 0x10203040u);
    node.SetPropertyValue(XMeshNode::PidGroupped, VarUtils::XVariant(1)); // read-only
    EXPECT_FALSE(node.IsGroupped());
    node.GetPropertyValue(XMeshNode::PidSelectable, value);
    EXPECT_TRUE(value.AsBool());
    EXPECT_EQ(MeshNodeDesc.GetCategory(), XCAT_NODE);
    std::unique_ptr<XBaseObject> made(MeshNodeDesc.Create());
    EXPECT_EQ(made->GetClassNameW(), MeshNodeDesc.GetClassNameW());
    EXPECT_EQ(made->GetName(), XString(u"MeshNode"));
}
