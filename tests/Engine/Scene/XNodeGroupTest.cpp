#include "Engine/Scene/XNodeGroup.h"

#include "tests/support/MathChecks.h"
#include "tests/support/SceneLinkDouble.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

namespace
{
XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

XMatrix World(XMeshNode& node)
{
    XMatrix m;
    node.GetMatrix(0, m);
    return m;
}

// A node that reports its destruction and answers picks as told, recording who was asked.
class Probe : public XMeshNode
{
public:
    explicit Probe(std::string n, std::vector<std::string>* log = nullptr) : name(std::move(n)), m_Log(log) {}
    ~Probe() override
    {
        if (m_Log)
            m_Log->push_back("~" + name);
    }
    bool IntersectRay(unsigned, XViewport*, const XPoint&, float& distance, unsigned) override
    {
        if (m_Log)
            m_Log->push_back("ray " + name);
        distance = hitDistance;
        return hit;
    }
    bool HitTest(unsigned, XViewport*, const XPoint&, unsigned) override
    {
        if (m_Log)
            m_Log->push_back("hit " + name);
        return hit;
    }

    std::string name;
    bool hit = false;
    float hitDistance = 0;

private:
    std::vector<std::string>* m_Log;
};
} // namespace

TEST(XNodeGroupTest, GroupingCentresTheOriginAndKeepsWorldPositions)
{
    SceneLinkDouble link;
    XNodeGroup group; // outlives its members (a group destroys its members)
    XMeshNode a, b, outsider;
    a.SetPosition(0, 1, 0);
    b.SetPosition(4, 1, 2);
    for (XMeshNode* n : {&a, &b, &outsider, static_cast<XMeshNode*>(&group)})
        n->SetScene(TestScene());
    a.SetSelected(true);
    XPtrArray<XMeshNode, 4> nodes;
    nodes.Add(&a);
    nodes.Add(&b);
    group.AddNodes(nodes);

    ExpectVertex(group.GetPosition(), 2, 1, 1);
    ExpectVertex(a.GetPosition(), -2, 0, -1);
    ExpectVertex(b.GetPosition(), 2, 0, 1);
    ExpectVertex(a.GetWorldPosition(0), 0, 1, 0);
    ExpectVertex(b.GetWorldPosition(0), 4, 1, 2);
    // Members are deselected and can no longer be selected on their own.
    EXPECT_FALSE(a.IsSelected());
    EXPECT_TRUE(a.IsGroupped());
    EXPECT_FALSE(a.CanSelect());
    a.SetSelected(true);
    EXPECT_FALSE(a.IsSelected());
    EXPECT_TRUE(link.selection.empty());

    // Adding a member again changes nothing, not even the origin.
    group.SetPosition(10, 0, 0);
    group.AddNode(&a);
    ExpectVertex(group.GetPosition(), 10, 0, 0);
    // A further member recentres on the three.
    outsider.SetPosition(-10, -2, 0);
    group.SetPosition(2, 1, 1);
    group.AddNode(&outsider);
    ExpectVertex(group.GetPosition(), -2, 0, 2.0f / 3, 1e-6f);
    ExpectVertex(outsider.GetWorldPosition(0), -10, -2, 0, 1e-5f);
    ExpectVertex(b.GetWorldPosition(0), 4, 1, 2, 1e-5f);

    // A member leaving stops being one.
    group.RemoveChild(&b);
    EXPECT_FALSE(b.IsGroupped());
    EXPECT_EQ(b.GetParent(), nullptr);
    ExpectVertex(b.GetWorldPosition(0), 4, 1, 2, 1e-5f);
    for (XMeshNode* n : {&a, &b, &outsider, static_cast<XMeshNode*>(&group)})
        n->SetScene(nullptr);
}

TEST(XNodeGroupTest, GroupRefusesItselfAndItsAncestors)
{
    XMeshNode top;
    XNodeGroup outer, inner;
    top.AddChild(&outer);
    outer.AddNode(&inner);
    inner.AddNode(&outer);
    inner.AddNode(&inner);
    inner.AddNode(&top);
    inner.AddNode(nullptr);
    EXPECT_EQ(inner.GetChildCount(), 0u);
    EXPECT_EQ(outer.GetParent(), &top);
    EXPECT_FALSE(outer.IsGroupped());
    EXPECT_TRUE(inner.IsGroupped());
}

TEST(XNodeGroupTest, RemoveNodesReportsMembersInChildOrder)
{
    XMeshNode grand;
    grand.SetPosition(0, 0, 5);
    XNodeGroup group;
    grand.AddChild(&group);
    XMeshNode m1, plain, m2, m3;
    m1.SetPosition(1, 0, 0);
    plain.SetPosition(0, 3, 0);
    m2.SetPosition(-1, 0, 0);
    m3.SetPosition(0, 0, 9);
    group.AddNode(&m1);
    group.AddChild(&plain);
    group.AddNode(&m2);
    group.AddNode(&m3);
    group.RemoveNode(&m3); // an ordinary child from now on
    group.Rotate(0, XMatrix(1.0f), XVertex(0, 0.7f, 0), true, XTT_NODE);
    const XMatrix w1 = World(m1), wp = World(plain), w2 = World(m2), w3 = World(m3);

    XMeshNode stranger;
    XPtrArray<XMeshNode, 4> out;
    out.Add(&stranger); // appended to, not emptied
    group.RemoveNodes(out);
    ASSERT_EQ(out.GetCount(), 3u);
    EXPECT_EQ(out[1], &m1);
    EXPECT_EQ(out[2], &m2);
    EXPECT_EQ(group.GetChildCount(), 0u);
    for (XMeshNode* n : {&m1, &plain, &m2, &m3})
    {
        EXPECT_EQ(n->GetParent(), &grand);
        EXPECT_FALSE(n->IsGroupped());
    }
    EXPECT_LE(MaxDiff(World(m1), w1), 1e-5f);
    EXPECT_LE(MaxDiff(World(plain), wp), 1e-5f);
    EXPECT_LE(MaxDiff(World(m2), w2), 1e-5f);
    EXPECT_LE(MaxDiff(World(m3), w3), 1e-5f);
}

TEST(XNodeGroupTest, BoundingBoxEnclosesMembersInGroupSpace)
{
    XNodeGroup group;
    XBoundingBox box = group.GetMeshBoundingBox(0);
    ExpectVertex(box.min, FLT_MAX, FLT_MAX, FLT_MAX);
    ExpectVertex(box.max, -FLT_MAX, -FLT_MAX, -FLT_MAX);
    EXPECT_EQ(box.min.x, 3.4028235e38f);

    // Members without a mesh object are +-0.001 boxes; an ordinary child does not count.
    XMeshNode a, b, plain;
    a.SetPosition(0, 0, 0);
    b.SetPosition(4, 2, 0);
    plain.SetPosition(100, 100, 100);
    group.AddNode(&a);
    group.AddNode(&b);
    group.AddChild(&plain);
    group.SetPosition(50, 0, 0); // moving the group does not change its own-space box
    box = group.GetMeshBoundingBox(0);
    ExpectVertex(box.min, -2.001f, -1.001f, -0.001f, 1e-5f);
    ExpectVertex(box.max, 2.001f, 1.001f, 0.001f, 1e-5f);
}

TEST(XNodeGroupTest, RaysAnswerForTheNearestMemberAndHitTestsStopAtTheFirst)
{
    struct Case
    {
        bool hits[3]; // first member, ordinary child, second member
        bool result;
        std::vector<std::string> asked;
    };
    const Case cases[] = {
        {{false, true, false}, false, {"ray m1", "ray m2"}},
        {{true, false, true}, true, {"ray m1", "ray m2"}},
        {{false, false, true}, true, {"ray m1", "ray m2"}},
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> log;
        Probe m1("m1", &log), plain("plain", &log), m2("m2", &log);
        m1.hit = c.hits[0];
        plain.hit = c.hits[1];
        m2.hit = c.hits[2];
        m2.hitDistance = -7; // nearer the viewer than m1's 0
        XNodeGroup group;
        group.AddNode(&m1);
        group.AddChild(&plain);
        group.AddNode(&m2);
        float distance = 0;
        EXPECT_EQ(group.IntersectRay(0, nullptr, XPoint(1, 1), distance, 0), c.result);
        EXPECT_EQ(log, c.asked);
        if (c.result)
        {
            EXPECT_EQ(distance, -7.0f);
        }
        log.clear();
        EXPECT_EQ(group.HitTest(0, nullptr, XPoint(1, 1), 0), c.result);
        EXPECT_EQ(log.size(), c.hits[0] ? 1u : 2u);
        group.RemoveChild(&m1);
        group.RemoveChild(&plain);
        group.RemoveChild(&m2);
    }
}

TEST(XNodeGroupTest, DestroyingAGroupDestroysItsMembersOnly)
{
    SceneLinkDouble link;
    std::vector<std::string> log;
    XMeshNode grand;
    auto* group = new XNodeGroup;
    grand.AddChild(group);
    auto* m1 = new Probe("m1", &log);
    auto* m2 = new Probe("m2", &log);
    auto* subMember = new Probe("sub", &log);
    Probe plain("plain", &log);
    m1->SetScene(TestScene());
    m1->AddChild(subMember); // an ordinary child of a member
    plain.SetPosition(3, 0, 0);
    m1->SetPosition(2, 0, 0);
    m2->SetPosition(-4, 1, 0);
    group->AddNode(m1);
    group->AddChild(&plain);
    group->AddNode(m2);
    // Under a rotated group the recentring as members go keeps the others in place too.
    group->Rotate(0, XMatrix(1.0f), XVertex(0, 0, 0.5f), true, XTT_NODE);
    const XMatrix wp = World(plain), ws = World(*subMember);

    group->Destroy();
    EXPECT_EQ(log, (std::vector<std::string>{"~m1", "~m2"}));
    EXPECT_TRUE(link.objects.empty()); // the destroyed member left its scene
    ASSERT_EQ(grand.GetChildCount(), 2u);
    // The member's own child went to the group, then with the group's ordinary children on.
    EXPECT_EQ(grand.GetChild(0), &plain);
    EXPECT_EQ(grand.GetChild(1), subMember);
    EXPECT_LE(MaxDiff(World(plain), wp), 1e-5f);
    EXPECT_LE(MaxDiff(World(*subMember), ws), 1e-5f);
    subMember->Destroy();
}
