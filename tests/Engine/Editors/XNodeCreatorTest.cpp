// The node creator on a scene double with a class registry: activation, one node after another
// shaped by the mouse, the right press that ends the tool, and what is left behind on failures.
#include "Engine/Editors/XNodeCreator.h"

#include "Engine/Geometry/XGrid.h"
#include "Engine/Scene/XClassDesc.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/SceneEditorLinkDouble.h"
#include "tests/support/PlaneViewport.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace
{
XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}

std::vector<std::string>* g_log = nullptr;

void Log(const std::string& s)
{
    if (g_log)
        g_log->push_back(s);
}

// A sizeable mesh object: complete on the left release after the node's first press.
class DragMesh : public XBaseMesh
{
public:
    ~DragMesh() override { Log("mesh gone"); }
    XBoundingBox GetBoundingBox(unsigned) override { return XBoundingBox(-1, -1, -1, 1, 1, 1); }
    XMesh* GetMesh(unsigned, XViewport*, XMeshNode*) override { return nullptr; }
    bool AllowMouseCreate() override { return true; }
    void MouseCreateStart() override { Log("start"); }
    bool MouseCreateProc(XViewport*, XMeshNode*, XMouseEvent event, const XPoint&, XShiftState) override
    {
        Log("proc " + std::to_string(event));
        return event == XME_LEFT_UP;
    }
    void MouseCreateFinish() override { Log("finish"); }
};

class LoggedNode : public XMeshNode
{
public:
    ~LoggedNode() override { Log("node gone"); }
};

template <class T> class Desc : public XClassDesc
{
public:
    Desc(const char16_t* name, uint32_t category) : m_Name(name), m_Category(category) {}
    XBaseObject* Create() const override { return new T; }
    XString GetClassNameW() const override { return m_Name; }
    uint32_t GetCategory() const override { return m_Category; }

private:
    XString m_Name;
    uint32_t m_Category;
};

Desc<LoggedNode> g_node(u"XTestNode", XCAT_NODE);
Desc<LoggedNode> g_light(u"XTestLight", XCAT_LIGHT);
Desc<DragMesh> g_mesh(u"XTestBox", XCAT_SHAPE);
Desc<XBaseObject> g_material(u"XTestMaterial", XCAT_MATERIAL);
// Says it makes nodes, but its objects are not nodes; and a "mesh" class that is not one.
Desc<XBaseObject> g_fakeNode(u"XFakeNode", XCAT_NODE);
Desc<LoggedNode> g_fakeMesh(u"XFakeMesh", XCAT_MESH);

class XNodeCreatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_log = &log;
        link.classes = {&g_node, &g_light, &g_mesh, &g_material, &g_fakeNode, &g_fakeMesh};
    }
    void TearDown() override
    {
        creator.Deactivate();
        while (!link.objects.empty())
        {
            XBaseObject* object = link.objects.front();
            object->SetScene(nullptr);
            object->Destroy();
        }
        g_log = nullptr;
    }
    unsigned CountNodes() const
    {
        return static_cast<unsigned>(std::count_if(link.objects.begin(), link.objects.end(), [](XBaseObject* o) {
            return dynamic_cast<XMeshNode*>(o) != nullptr;
        }));
    }
    void Send(XMouseEvent event) { creator.MouseEvent(&viewport, event, XPoint(5, 5), 0); }

    std::vector<std::string> log;
    SceneEditorLinkDouble link;
    XNodeCreator creator{TestScene()};
    ViewportDouble viewport;
};
} // namespace

TEST_F(XNodeCreatorTest, NameModesAndNothingToCopy)
{
    EXPECT_EQ(creator.GetName(), XString(u"XNodeCreator"));
    EXPECT_EQ(creator.GetModeCount(), 1u);
    EXPECT_EQ(creator.GetModeName(0), XString(u"Node"));
    creator.SetMode(3);
    EXPECT_EQ(creator.GetMode(), 0);
    EXPECT_FALSE(creator.CanCopy() || creator.CanCut() || creator.CanPaste() || creator.CanDelete());
    EXPECT_EQ(creator.GetEditorFrame(), nullptr);
    Send(XME_LEFT_DOWN); // inactive: nothing
    EXPECT_TRUE(link.objects.empty());
}

TEST_F(XNodeCreatorTest, ActivationNeedsARegisteredNodeClassAndLeavesNothingWhenItFails)
{
    struct Case
    {
        const char16_t* node;
        const char16_t* mesh;
        bool activates;
        size_t objects;
    } cases[] = {
        {u"XTestNode", u"XTestBox", true, 2},
        {u"XTestLight", u"", true, 1},
        {u"XNoSuchClass", u"", false, 0},
        {u"XTestMaterial", u"", false, 0},
        {u"XFakeNode", u"", false, 0},
        {u"XFakeMesh", u"", false, 0}, // makes nodes, but is not registered as a node class
        {u"XTestNode", u"XNoSuchMesh", false, 0},
        {u"XTestNode", u"XFakeMesh", false, 0},
    };
    for (const Case& c : cases)
    {
        creator.SetClassName(c.node);
        creator.SetMeshClassName(c.mesh);
        EXPECT_EQ(creator.Activate(), c.activates) << std::string(c.node, c.node + 4);
        EXPECT_EQ(link.objects.size(), c.objects);
        EXPECT_EQ(creator.GetNode() != nullptr, c.activates);
        if (c.objects == 2)
        {
            EXPECT_EQ(creator.GetNode()->GetMesh(), creator.GetMesh());
            EXPECT_EQ(creator.GetMesh()->GetScene(), TestScene());
            EXPECT_EQ(log, (std::vector<std::string>{"start"}));
        }
        EXPECT_TRUE(creator.Deactivate());
        EXPECT_TRUE(link.objects.empty()) << "the pending objects are destroyed";
        EXPECT_EQ(creator.GetNode(), nullptr);
        log.clear();
    }
}

TEST_F(XNodeCreatorTest, EachCompletedNodeIsFollowedByAFreshOneUntilTheRightPress)
{
    creator.SetClassName(u"XTestNode");
    creator.SetMeshClassName(u"XTestBox");
    ASSERT_TRUE(creator.Activate());
    link.current = &creator;
    XMeshNode* first = creator.GetNode();
    Send(XME_MOVE);      // follows the cursor before the first press
    Send(XME_LEFT_DOWN); // placed: the mesh takes over
    Send(XME_MOVE);
    Send(XME_LEFT_UP); // complete
    EXPECT_EQ(log, (std::vector<std::string>{"start", "proc 1", "proc 64", "proc 2", "finish", "start"}));
    EXPECT_NE(creator.GetNode(), first);
    EXPECT_EQ(CountNodes(), 2u);
    EXPECT_EQ(link.objects.size(), 4u);

    log.clear();
    Send(XME_RIGHT_DOWN);
    EXPECT_EQ(link.calls.back(), "Finish");
    EXPECT_EQ(log, (std::vector<std::string>{"mesh gone", "node gone"})) << "only the untouched node goes";
    EXPECT_EQ(CountNodes(), 1u);
    EXPECT_EQ(first->GetScene(), TestScene());
    EXPECT_EQ(creator.GetNode(), nullptr);
    Send(XME_LEFT_DOWN); // nothing pending: nothing happens
    EXPECT_EQ(CountNodes(), 1u);
}

TEST_F(XNodeCreatorTest, PendingObjectsDestroyedByTheSceneAreNotDestroyedAgain)
{
    creator.SetClassName(u"XTestNode");
    creator.SetMeshClassName(u"XTestBox");
    ASSERT_TRUE(creator.Activate());
    {
        XNodeCreator second(TestScene());
        second.SetClassName(u"XTestLight");
        ASSERT_TRUE(second.Activate());
        EXPECT_EQ(link.objects.size(), 3u);
    } // its destructor destroys its pending light
    EXPECT_EQ(link.objects.size(), 2u);
    // The scene clears: the pending node and mesh go behind the creator's back.
    creator.GetMesh()->Destroy();
    EXPECT_EQ(creator.GetMesh(), nullptr);
    creator.GetNode()->Destroy();
    EXPECT_EQ(creator.GetNode(), nullptr);
    EXPECT_TRUE(creator.Deactivate());
}

// ---- on a real scene ----

namespace
{
unsigned CountOf(XScene& scene, const char16_t* className)
{
    unsigned n = 0;
    for (unsigned i = 0; i < scene.GetObjectCount(); ++i)
        n += scene.GetObjectW(i)->GetClassNameW() == XString(className) ? 1 : 0;
    return n;
}
} // namespace

TEST(XNodeCreatorSceneTest, LightsAndGridsOneAfterAnotherUntilTheRightPress)
{
    XScene scene(nullptr);
    PlaneViewport viewport(XAXIS_XY);
    auto* creator = static_cast<XNodeCreator*>(scene.GetNodeCreator());
    auto send = [&](XMouseEvent event, float x, float y, XShiftState shift = 0)
    { scene.MouseEventHandler(&viewport, event, shift, XPoint(x, y)); };

    // Lights: no mesh object; a press completes one and the next is pending at once.
    scene.MouseCreateNodeStart(u"XPointLight", u"");
    ASSERT_EQ(scene.GetEditor(), creator);
    XMeshNode* light = creator->GetNode();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->GetClassNameW(), XString(u"XPointLight"));
    EXPECT_EQ(light->GetMesh(), nullptr);
    EXPECT_EQ(scene.GetMeshCount(), 0u);
    send(XME_MOVE, 3, 4);
    send(XME_LEFT_DOWN, 3, 4, XSS_LEFT);
    EXPECT_NE(creator->GetNode(), light);
    EXPECT_EQ(CountOf(scene, u"XPointLight"), 2u);
    EXPECT_EQ(scene.GetLightCount(), 2u);

    // Switching to grids mid-way: the pending light goes, a grid node with its grid is pending.
    scene.MouseCreateNodeStart(u"XMeshNode", u"XGrid");
    EXPECT_EQ(scene.GetEditor(), creator);
    EXPECT_EQ(scene.GetEditorStackCount(), 1u);
    EXPECT_EQ(CountOf(scene, u"XPointLight"), 1u);
    XMeshNode* node = creator->GetNode();
    ASSERT_NE(node, nullptr);
    auto* grid = dynamic_cast<XGrid*>(node->GetMesh());
    ASSERT_NE(grid, nullptr);
    // One corner pressed, the other dragged to, and pressed again.
    send(XME_LEFT_DOWN, 1, 1, XSS_LEFT);
    send(XME_MOVE, 5, 4, XSS_LEFT);
    send(XME_LEFT_UP, 5, 4);
    EXPECT_EQ(creator->GetNode(), node);
    send(XME_LEFT_DOWN, 5, 4, XSS_LEFT);
    EXPECT_NE(creator->GetNode(), node) << "a fresh pair follows the completed grid";
    EXPECT_NE(creator->GetMesh(), grid);
    EXPECT_NEAR(std::fabs(grid->GetWidth()), 4.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(grid->GetHeight()), 3.0f, 1e-4f);
    EXPECT_EQ(CountOf(scene, u"XGrid"), 2u);

    // Back to lights mid-way: a light is pending at once, the untouched grid pair is gone.
    scene.MouseCreateNodeStart(u"XSpotLight", u"");
    EXPECT_EQ(creator->GetNode()->GetClassNameW(), XString(u"XSpotLight"));
    EXPECT_EQ(CountOf(scene, u"XGrid"), 1u);
    EXPECT_EQ(CountOf(scene, u"XMeshNode"), 1u);
    EXPECT_EQ(scene.GetEditorStackCount(), 1u);

    // A right press before any drag: the pending light goes, the scene editor is current again.
    // The press is the tool's, so the viewport asks for no menu on its release.
    EXPECT_TRUE(creator->TakesRightPress());
    send(XME_RIGHT_DOWN, 2, 2, XSS_RIGHT);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    EXPECT_EQ(CountOf(scene, u"XSpotLight"), 0u);
    EXPECT_EQ(CountOf(scene, u"XPointLight"), 1u);
    EXPECT_EQ(CountOf(scene, u"XGrid"), 1u);
    EXPECT_EQ(creator->GetNode(), nullptr);

    // A material is no node class: nothing is made, the scene editor stays.
    const unsigned objects = scene.GetObjectCount();
    scene.MouseCreateNodeStart(u"XMaterial", u"");
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    EXPECT_EQ(scene.GetObjectCount(), objects);
}
