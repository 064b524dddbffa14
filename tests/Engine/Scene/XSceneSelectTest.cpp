#include "Engine/Scene/XScene.h"

#include "Engine/Geometry/XBaseMesh.h"
#include "Engine/Geometry/XMesh.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Geometry/XUVModifier.h"
#include "Engine/Scene/XBaseLight.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XNodeGroup.h"
#include "Gx/UI/GxDesktop.h"
#include "Gx/UI/GxFont.h"
#include "Gx/UI/GxTileManager.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/SceneModel.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
// Also records the questions the scene forwards and the animation length.
class ForwardingEditor : public RecordingEditor
{
public:
    using RecordingEditor::RecordingEditor;
    bool CanCopy() override { return Record("CanCopy"); }
    bool CanCut() override { return Record("CanCut"); }
    bool CanPaste() override { return Record("CanPaste"); }
    bool CanDelete() override { return Record("CanDelete"); }
    bool CanClone() override { return Record("CanClone"); }
    void Clone() override { calls.push_back("Clone"); }
    unsigned GetAnimationLength() override
    {
        calls.push_back("GetAnimationLength");
        return 40;
    }
    void SetAnimationLength(unsigned length) override
    {
        calls.push_back("SetAnimationLength " + std::to_string(length));
    }

private:
    bool Record(const char* call)
    {
        calls.push_back(call);
        return true;
    }
};

std::vector<std::string>* g_DeviceLog = nullptr;

// A scene object that notes, when it gets the device, whether the desktop and the tile manager
// already have it.
class DeviceWatcher : public XUVModifier
{
public:
    DeviceWatcher(XScene* scene, std::string name) : m_Scene(scene), m_Name(std::move(name)) {}
    void CreateDevice(IDirect3DDevice9* device) override
    {
        g_DeviceLog->push_back(m_Name + " desktop " + std::to_string(HasDesktop()) + " tiles " +
                               std::to_string(m_Scene->GetTileManager()->GetDevice() != nullptr));
        XUVModifier::CreateDevice(device);
    }
    bool HasDesktop() const { return m_Scene->GetDesktop()->GetFont(0)->GetDevice() != nullptr; }

private:
    XScene* m_Scene;
    std::string m_Name;
};

class WatchingTileList : public Gx::Ui::GxTileList
{
public:
    explicit WatchingTileList(XScene* scene) : m_Scene(scene) {}
    void SetDevice(IDirect3DDevice9* device) override
    {
        if (device)
            g_DeviceLog->push_back("tiles desktop " +
                                   std::to_string(m_Scene->GetDesktop()->GetFont(0)->GetDevice() != nullptr));
        GxTileList::SetDevice(device);
    }

private:
    XScene* m_Scene;
};

// A current editor with one selected thing at the centre.
ForwardingEditor* InstallEditor(XScene& scene, XVertex centre = XVertex(0, 0, 0))
{
    auto* editor = new ForwardingEditor(&scene, u"Forward");
    scene.AddEditor(editor);
    scene.SetEditor(editor);
    editor->selectionCount = 1;
    editor->selectionCenter = centre;
    editor->calls.clear();
    return editor;
}

// Orthographic 64 x 48 units on 640 x 480 pixels, the camera on the -z side looking along +z:
// ten pixels a unit, the origin at (320, 240).
void FrontView(ViewportDouble& viewport)
{
    viewport.SetOrthographic(64, 48, 1, 100);
    XMatrix camera(1.0f);
    camera.SetTranslation(0, 0, -50);
    viewport.SetCameraWorld(camera);
}

// The same looking along +x from x = -50: +z runs to the left.
void SideView(ViewportDouble& viewport)
{
    viewport.SetOrthographic(64, 48, 1, 100);
    XMatrix camera(1.0f);
    camera.SetRotationY(1.5707964f);
    camera.m[3][0] = -50;
    viewport.SetCameraWorld(camera);
}

std::vector<std::string> Starting(const std::vector<std::string>& texts, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const std::string& t : texts)
        if (t.rfind(prefix, 0) == 0)
            out.push_back(t);
    return out;
}
// The back buffer as 0x00RRGGBB, row by row.
std::vector<uint32_t> BackBuffer(IDirect3DDevice9* device, int& width, int& height)
{
    IDirect3DSurface9* back = nullptr;
    std::vector<uint32_t> out;
    if (device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back) != D3D_OK)
        return out;
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    D3DLOCKED_RECT locked{};
    if (back->LockRect(&locked, nullptr, 0) == D3D_OK)
    {
        width = static_cast<int>(desc.Width);
        height = static_cast<int>(desc.Height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out.push_back(reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                y * locked.Pitch)[x] &
                              0xFFFFFF);
        back->UnlockRect();
    }
    back->Release();
    return out;
}

} // namespace

TEST(XSceneSelectTest, GroupsUngroupsDeletesAndClonesTheSelection)
{
    XScene scene(nullptr);
    scene.AddClass(&UVModifierDesc);
    XMeshNode* a = AddModelMesh(scene, u"A", 5, 1);
    XMeshNode* b = AddModelMesh(scene, u"B", 5, 2);
    int changes = 0;
    struct Counter
    {
        int* count;
        void Change(TObject*) { ++*count; }
    } counter{&changes};
    scene.OnSceneChange = MakeClosure(&counter, &Counter::Change);

    // One node is no group; the selection stays.
    a->SetSelected(true);
    EXPECT_EQ(scene.GroupSelNodes(XString(u"Pair")), nullptr);
    EXPECT_EQ(scene.GetSelNodeCount(), 1u);
    XPtrArray<XMeshNode, 4> one;
    one.Add(a);
    EXPECT_EQ(scene.GroupNodes(one, XString(u"Pair")), nullptr);
    EXPECT_EQ(changes, 0);

    b->SetSelected(true);
    XNodeGroup* group = scene.GroupSelNodes(XString(u"Pair"));
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->GetName() == u"Pair");
    EXPECT_TRUE(a->IsGroupped() && b->IsGroupped());
    ASSERT_EQ(scene.GetSelNodeCount(), 1u);
    EXPECT_EQ(scene.GetSelNode(0), group);
    EXPECT_EQ(changes, 1);

    scene.UngroupSelNodes();
    EXPECT_EQ(scene.FindObject(XString(u"Pair")), nullptr);
    EXPECT_FALSE(a->IsGroupped() || b->IsGroupped());
    ASSERT_EQ(scene.GetSelNodeCount(), 2u);
    EXPECT_TRUE(a->IsSelected() && b->IsSelected());
    EXPECT_EQ(changes, 2);

    // Clones: copies with their own meshes, fresh GUIDs and unique names; the selection cleared.
    const unsigned objects = scene.GetObjectCount();
    scene.CloneSelNodes(true);
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
    EXPECT_EQ(scene.GetObjectCount(), objects + 4);
    XMeshNode* copy = scene.FindMeshNode(XString(u"A2"));
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->GetGuid() == a->GetGuid());
    EXPECT_NE(copy->GetMesh(), a->GetMesh());
    scene.CloneSelNodes(false); // nothing selected: nothing happens
    EXPECT_EQ(scene.GetObjectCount(), objects + 4);

    a->SetSelected(true);
    copy->SetSelected(true);
    scene.DeleteSelNodes();
    EXPECT_EQ(scene.FindMeshNode(XString(u"A")), nullptr);
    EXPECT_EQ(scene.FindMeshNode(XString(u"A2")), nullptr);
    EXPECT_NE(scene.FindMeshNode(XString(u"B")), nullptr);
    EXPECT_EQ(scene.GetSelNodeCount(), 0u);
}

TEST(XSceneSelectTest, ForwardsUserRequestsToTheCurrentEditor)
{
    XScene scene(nullptr);
    ForwardingEditor* editor = InstallEditor(scene, XVertex(1, 2, 3));
    ViewportDouble viewport;
    struct Case
    {
        std::function<void()> call;
        std::string line;
    };
    unsigned key = 65;
    WCHAR ch = u'a';
    const Case cases[] = {
        {[&] { scene.MouseEventHandler(&viewport, XME_LEFT_DOWN, XSS_SHIFT, XPoint(5, 6)); },
         "MouseEvent 1 5 6 2"},
        {[&] { scene.KeyDown(key, 8); }, "KeyDown 65 8"},
        {[&] { scene.KeyPress(ch); }, "KeyPress 97"},
        {[&] { scene.KeyUp(key, 1); }, "KeyUp 65 1"},
        {[&] { scene.SetFrame(12); }, "SetFrame 12"},
        {[&] { EXPECT_EQ(scene.GetFrame(), 12u); }, "GetFrame"},
        {[&] { scene.SetMaxFrame(30); }, "SetAnimationLength 30"},
        {[&] { EXPECT_EQ(scene.GetMaxFrame(), 40u); }, "GetAnimationLength"},
        {[&] { EXPECT_TRUE(scene.EditorCanCopyToClipboard()); }, "CanCopy"},
        {[&] { scene.EditorCopyToClipboard(); }, "CopyToClipboard"},
        {[&] { EXPECT_TRUE(scene.EditorCanCutToClipboard()); }, "CanCut"},
        {[&] { scene.EditorCutToClipboard(); }, "CutToClipboard"},
        {[&] { EXPECT_TRUE(scene.EditorCanPasteFromClipboard()); }, "CanPaste"},
        {[&] { scene.EditorPasteFromClipboard(); }, "PasteFromClipboard"},
        {[&] { EXPECT_TRUE(scene.EditorCanDelete()); }, "CanDelete"},
        {[&] { scene.EditorDelete(); }, "Delete"},
        {[&] { EXPECT_TRUE(scene.EditorCanClone()); }, "CanClone"},
        {[&] { scene.EditorClone(); }, "Clone"},
        {[&] { EXPECT_EQ(scene.GetSelectedCount(), 1u); }, "GetSelectionCount"},
        {[&] { EXPECT_EQ(scene.GetSelectedCentre().z, 3.0f); }, "GetSelectionCenter"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.line);
        editor->calls.clear();
        c.call();
        EXPECT_EQ(editor->calls, std::vector<std::string>{c.line});
    }
    EXPECT_EQ(editor->arguments.front(), &viewport);

    // The scene editor stays registered; the transform type is the scene's own.
    const unsigned count = scene.GetEditorCount();
    scene.DeleteEditor(scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorCount(), count);
    scene.SetTransformType(2);
    EXPECT_EQ(scene.GetTransformType(), 2u);
}

TEST(XSceneSelectTest, DeviceEventsReachObjectsThenDesktopThenTiles)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    std::vector<std::string> log;
    g_DeviceLog = &log;
    {
        XScene scene(nullptr);
        scene.AttachObject(new DeviceWatcher(&scene, "first"));
        scene.AttachObject(new DeviceWatcher(&scene, "second"));
        scene.GetTileManager()->AddList(new WatchingTileList(&scene));
        scene.CreateDevice(nullptr);
        EXPECT_TRUE(log.empty());
        d3d.Clear();
        scene.CreateDevice(d3d.device);
        EXPECT_EQ(log, (std::vector<std::string>{"first desktop 0 tiles 0", "second desktop 0 tiles 0",
                                                 "tiles desktop 1"}));
        EXPECT_EQ(scene.GetTileManager()->GetDevice(), d3d.device);
        scene.ReleaseDevice(d3d.device);
    }
    g_DeviceLog = nullptr;
}

TEST(XSceneSelectTest, RenderLightsNodesOverlaysBoxesAndGizmo)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    XScene scene(nullptr);
    ViewportDouble viewport;
    FrontView(viewport);
    viewport.device = d3d.device;
    ForwardingEditor* editor = InstallEditor(scene);
    XBaseLight* lights[3];
    for (XBaseLight*& light : lights)
        light = static_cast<XBaseLight*>(scene.CreateObject(u"XPointLight", nullptr, nullptr));
    lights[1]->SetActive(false);
    XMeshNode* box = AddModelMesh(scene, u"Box", 6, 4);
    box->SetSelected(true);

    scene.Render(&viewport);
    auto texts = d3d.Texts();
    EXPECT_EQ(Starting(texts, "LightEnable"),
              (std::vector<std::string>{"LightEnable(0, 1)", "LightEnable(1, 0)", "LightEnable(2, 1)",
                                        "LightEnable(3, 0)"}));
    EXPECT_EQ(Starting(texts, "SetLight(").size(), 3u);
    EXPECT_EQ(editor->calls.front(), "GetFrame");
    EXPECT_EQ(Starting(editor->calls, "RenderOverlay"),
              (std::vector<std::string>{"RenderOverlay 0 0", "RenderOverlay 0 1"}));
    // The node's mesh is drawn, then its box and the gizmo.
    auto draws = Starting(texts, "DrawPrimitiveUP");
    ASSERT_GE(draws.size(), 3u);
    EXPECT_EQ(draws[draws.size() - 2], "DrawPrimitiveUP(2, 12, 16)");
    EXPECT_EQ(draws.back(), "DrawPrimitiveUP(2, 9, 16)");

    // Two lights fewer: both of their indices are switched off.
    lights[1]->Destroy();
    lights[2]->Destroy();
    d3d.Clear();
    scene.Render(&viewport);
    EXPECT_EQ(Starting(d3d.Texts(), "LightEnable"),
              (std::vector<std::string>{"LightEnable(0, 1)", "LightEnable(1, 0)", "LightEnable(2, 0)"}));
    // No light left: index 0 belongs to the viewport's head light and stays as it was.
    lights[0]->Destroy();
    d3d.Clear();
    scene.Render(&viewport);
    EXPECT_TRUE(Starting(d3d.Texts(), "LightEnable").empty());
    EXPECT_TRUE(Starting(d3d.Texts(), "SetLight(").empty());

    // Without lighting no light is touched; without boxes, axis or selection nothing is drawn
    // over the nodes.
    viewport.lighting = false;
    scene.SetShowBoxes(false);
    scene.SetShowAxis(false);
    d3d.Clear();
    scene.Render(&viewport);
    texts = d3d.Texts();
    EXPECT_TRUE(Starting(texts, "LightEnable").empty());
    EXPECT_TRUE(Starting(texts, "DrawPrimitiveUP(2,").empty());

    // A view without a device draws nothing and asks no editor.
    viewport.device = nullptr;
    editor->calls.clear();
    scene.Render(&viewport);
    EXPECT_TRUE(editor->calls.empty());
}

TEST(XSceneSelectTest, FindsAndHighlightsGizmoParts)
{
    XScene scene(nullptr);
    ViewportDouble front;
    FrontView(front);
    // Nothing selected in the editor: no part.
    EXPECT_EQ(scene.FindTransformAxis(&front, XPoint(350, 240), nullptr), 0u);
    ForwardingEditor* editor = InstallEditor(scene);
    // The gizmo is a twelfth of the 80-unit diagonal: the X axis runs 13.3 to 53.3 pixels right of
    // the centre, Y as far up.
    const XMatrix shifted = []
    {
        XMatrix m(1.0f);
        m.SetTranslation(-2, 0, 0);
        return m;
    }();
    struct Case
    {
        XPoint point;
        const XMatrix* placement;
        unsigned axis;
    };
    const Case cases[] = {
        {XPoint(350, 240), nullptr, XAXIS_X},     {XPoint(350, 242), nullptr, XAXIS_X},
        {XPoint(350, 244), nullptr, 0},           {XPoint(320, 210), nullptr, XAXIS_Y},
        {XPoint(380, 173.5f), nullptr, XAXIS_XY}, {XPoint(310, 240), nullptr, 0},
        {XPoint(330, 240), &shifted, XAXIS_X},    {XPoint(350, 200), nullptr, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y);
        EXPECT_EQ(scene.FindTransformAxis(&front, c.point, c.placement), c.axis);
    }
    front.width = 0;
    EXPECT_EQ(scene.FindTransformAxis(&front, XPoint(0, 0), nullptr), 0u);

    // From the side Z runs left; picked, only its segment turns yellow.
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    ViewportDouble side;
    SideView(side);
    side.device = d3d.device;
    const unsigned axis = scene.FindTransformAxis(&side, XPoint(290, 240), nullptr);
    EXPECT_EQ(axis, XAXIS_Z);
    scene.SetTransformAxis(axis);
    XMeshNode* node = AddModelMesh(scene, u"Box", 4, 1);
    node->SetSelected(true);
    scene.SetShowBoxes(false);
    d3d.Clear();
    scene.Render(&side);
    const D3D9Call* gizmo = nullptr;
    for (const D3D9Call& call : d3d.Log())
        if (call.Text() == "DrawPrimitiveUP(2, 9, 16)")
            gizmo = &call;
    ASSERT_NE(gizmo, nullptr);
    ASSERT_EQ(gizmo->vertices.size(), 18u * 16);
    const uint32_t expected[9] = {0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFFFF0000, 0xFF00FF00,
                                  0xFFFF0000, 0xFF0000FF, 0xFF00FF00, 0xFF0000FF};
    for (unsigned i = 0; i < 18; ++i)
    {
        uint32_t color;
        std::memcpy(&color, gizmo->vertices.data() + 16 * i + 12, 4);
        EXPECT_EQ(color, expected[i / 2]) << i;
    }

    // The plane masks light their two axes and corner; 7 lights all, above 7 nothing (9 would name X).
    struct Mask
    {
        uint32_t mask;
        unsigned yellowSegments;
    };
    for (const Mask& m : {Mask{XAXIS_XZ, 0x065}, Mask{XAXIS_XYZ, 0x1FF}, Mask{9, 0}, Mask{0, 0}})
    {
        scene.SetTransformAxis(m.mask);
        d3d.Clear();
        scene.RenderAxis(&side, XMatrix(1.0f));
        const std::vector<uint8_t>& bytes = d3d.Log().back().vertices;
        ASSERT_EQ(bytes.size(), 18u * 16);
        unsigned yellow = 0;
        for (unsigned s = 0; s < 9; ++s)
        {
            uint32_t color;
            std::memcpy(&color, bytes.data() + 32 * s + 12, 4);
            yellow |= (color == 0xFFFFFF00u) << s;
        }
        EXPECT_EQ(yellow, m.yellowSegments) << m.mask;
    }
    editor->selectionCount = 0;
}

// In perspective the gizmo is measured at its own depth, so it covers a twelfth of the viewport's
// diagonal on screen wherever it stands; at or behind the eye there is none.
TEST(XSceneSelectTest, PerspectiveGizmoIsATwelfthOfTheScreenAtItsDepth)
{
    XScene scene(nullptr);
    ViewportDouble eye;
    eye.SetPerspective(3.14159265f / 4, 640.0f / 480.0f, 1, 100);
    ForwardingEditor* editor = InstallEditor(scene, XVertex(0, 0, 10));
    // 800 pixels of diagonal: the X segment covers 13.3 to 53.3 pixels right of the centre.
    EXPECT_NEAR(scene.GizmoSize(&eye, 0, XVertex(0, 0, 10)) * 57.9411f, 800.0f / 12, 0.05f);
    EXPECT_NEAR(scene.GizmoSize(&eye, 0, XVertex(3, -2, 40)), 4 * scene.GizmoSize(&eye, 0, XVertex(0, 0, 10)),
                1e-4f);
    struct Case
    {
        float x, y;
        unsigned axis;
    };
    for (const Case& c : {Case{340, 240, XAXIS_X}, Case{340, 250, 0}, Case{334, 240, XAXIS_X},
                          Case{332.5f, 240, 0}, Case{366, 240, XAXIS_X}, Case{320, 220, XAXIS_Y}})
        EXPECT_EQ(scene.FindTransformAxis(&eye, XPoint(c.x, c.y), nullptr), c.axis) << c.x << ", " << c.y;

    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    d3d.device->BeginScene();
    eye.device = d3d.device;
    XMeshNode* node = AddModelMesh(scene, u"Box", 4, 1);
    node->SetSelected(true);
    scene.SetShowBoxes(false);
    auto gizmoDraws = [&]
    {
        d3d.Clear();
        scene.Render(&eye);
        return Starting(d3d.Texts(), "DrawPrimitiveUP(2, 9, 16)").size();
    };
    EXPECT_EQ(gizmoDraws(), 1u);
    // Behind the camera, and in its very plane: no size, nothing drawn, nothing to pick.
    for (float z : {-10.0f, 0.0f})
    {
        editor->selectionCenter = XVertex(0, 0, z);
        EXPECT_EQ(scene.GizmoSize(&eye, 0, editor->selectionCenter), 0.0f);
        EXPECT_EQ(gizmoDraws(), 0u) << z;
        for (float x : {340.0f, 300.0f})
            EXPECT_EQ(scene.FindTransformAxis(&eye, XPoint(x, 240), nullptr), 0u) << z;
    }
    editor->selectionCount = 0;
    d3d.device->EndScene();
}

TEST(XSceneSelectTest, RenderLightsTheSilhouetteOfACube)
{
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);

    XScene scene(nullptr);
    XMeshNode* node = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Cube");
    XMesh& cube = *static_cast<XTriMesh*>(node->GetMesh())->GetMesh();
    cube.SetVertexCount(8);
    cube.SetTextureVertexCount(8);
    for (uint32_t i = 0; i < 8; ++i)
        cube.GetVertices()[i] = XVertex(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f);
    // Outward faces, clockwise seen from outside: -z, +z, -y, +y, -x, +x.
    const uint32_t faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                   {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces)
        cube.GetFaceArray().Add(XFace(f[0], f[1], f[2]));
    cube.ComputeNormals(false, false);
    cube.Invalidate();
    node->SetColor(XColor(0xFFFFFFFFu));

    // A white light along +z (its node's -X axis), placed out of sight.
    auto* light = static_cast<XBaseLight*>(scene.CreateObject(u"XDirectionalLight", nullptr, nullptr));
    XMatrix placement(1.0f);
    placement.SetRotationY(1.5707964f);
    placement.m[3][0] = 50;
    placement.m[3][1] = 50;
    light->SetMatrix(placement);

    // Orthographic 8 x 8 units on the 64 x 64 buffer from z = -10: 8 pixels a unit, so the cube
    // covers pixels 24 to 39 both ways.
    ViewportDouble viewport;
    viewport.device = d3d.device;
    viewport.width = viewport.height = 64;
    viewport.SetOrthographic(8, 8, 1, 100);
    XMatrix camera(1.0f);
    camera.SetTranslation(0, 0, -10);
    viewport.SetCameraWorld(camera);
    d3d.device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&viewport.view));
    d3d.device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&viewport.projection));

    d3d.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    d3d.device->BeginScene();
    scene.Render(&viewport);
    d3d.device->EndScene();
    int width = 0, height = 0;
    const std::vector<uint32_t> pixels = BackBuffer(d3d.device, width, height);
    ASSERT_EQ(width, 64);
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
        {
            // Pixel centres within half a pixel of the outline may go either way.
            const auto inside = [](int c) { return c >= 24 && c <= 39; };
            const auto edge = [](int c) { return c == 23 || c == 24 || c == 39 || c == 40; };
            if (edge(x) || edge(y))
                continue;
            const bool lit = pixels[y * 64 + x] != 0;
            wrong += lit != (inside(x) && inside(y));
        }
    EXPECT_EQ(wrong, 0);
    // The face towards the light is lit, not just drawn: red, green and blue all above zero.
    const uint32_t centre = pixels[36 * 64 + 28]; // off the wireframe diagonal
    EXPECT_GT(centre >> 16 & 0xFF, 0u);
    EXPECT_GT(centre & 0xFF, 0u);
}
