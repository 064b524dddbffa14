// The control-point editor on a real scene with a real surface: binding through the surface's
// Edit, picking, the three drags and their cancel, drawing, and the surface changing under it.
#include "Engine/Editors/XPointListEditor.h"

#include "Engine/Objects/XBSSurface.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/MathChecks.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
// A 4 x 4 unit surface of 5 x 5 points one unit apart, ten units in front of a perspective camera
// (640 x 480, pi/4): 57.94 pixels a unit, its middle point at the screen's centre.
class XPointListEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scene.AddClass(&BSSurfaceDesc);
        node = scene.CreateNode(XString(u"XBSSurface"), nullptr, u"Surface");
        surface = static_cast<XBSSurface*>(node->GetMesh());
        surface->SetWidth(4);
        surface->SetHeight(4);
        eye.LookFromTenBack();
        surface->Edit(&scene, node);
        editor = dynamic_cast<XPointListEditor*>(scene.GetEditor());
    }

    // Where a point of the surface shows on the screen.
    XPoint Pixel(unsigned index)
    {
        const XVertex q = surface->GetPoint(index);
        XMatrix mvp;
        node->GetMeshMatrix(0, mvp);
        mvp = mvp * eye.view * eye.projection;
        XVertex p = q;
        mvp.ApplyTo(&p, 1);
        const float w = q.x * mvp.m[0][3] + q.y * mvp.m[1][3] + q.z * mvp.m[2][3] + mvp.m[3][3];
        return XPoint((p.x / w + 1) * 320, (1 - p.y / w) * 240);
    }
    XVertex World(unsigned index)
    {
        XVertex p = surface->GetPoint(index);
        XMatrix m;
        node->GetMeshMatrix(0, m);
        m.ApplyTo(&p, 1);
        return p;
    }
    std::vector<XVertex> Points()
    {
        XArray<XVertex, 32> points;
        surface->GetPoints(points);
        return std::vector<XVertex>(points.GetData(), points.GetData() + points.GetCount());
    }
    void Send(XMouseEvent event, XPoint at, XShiftState shift = 0)
    {
        scene.MouseEventHandler(&eye, event, shift, at);
    }
    void Click(XPoint at, XShiftState keys = 0)
    {
        Send(XME_LEFT_DOWN, at, XSS_LEFT | keys);
        Send(XME_LEFT_UP, at, keys);
    }
    std::vector<unsigned> Selected()
    {
        std::vector<unsigned> out;
        for (unsigned i = 0; i < surface->GetPointCount(); ++i)
            if (editor->IsPointSelected(i))
                out.push_back(i);
        return out;
    }

    XScene scene{nullptr};
    XMeshNode* node = nullptr;
    XBSSurface* surface = nullptr;
    ViewportDouble eye;
    XPointListEditor* editor = nullptr;
};

bool SameBits(const std::vector<XVertex>& a, const std::vector<XVertex>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(XVertex)) == 0;
}
} // namespace

TEST_F(XPointListEditorTest, TheSurfacePushesOneRegisteredEditorBoundToItAndItsNode)
{
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetMesh(), surface);
    EXPECT_EQ(editor->GetNode(), node);
    EXPECT_EQ(editor->GetName(), XString(u"XPointListEditor"));
    EXPECT_EQ(editor->GetModeCount(), 1u);
    EXPECT_EQ(editor->GetModeName(0), XString(u"Point"));
    EXPECT_EQ(editor->GetModeName(1), XString());
    EXPECT_EQ(editor->GetEditorFrame(), nullptr);
    const unsigned editors = scene.GetEditorCount();
    EXPECT_EQ(scene.GetEditorStackCount(), 1u);
    surface->Edit(&scene, node);
    EXPECT_EQ(scene.GetEditorCount(), editors);
    EXPECT_EQ(scene.GetEditor(), editor);

    // An object without the point-list interface: kept by nobody, and the editor will not start.
    scene.PopEditor();
    XMeshNode* box = scene.CreateNode(XString(u"XTriMesh"), nullptr, u"Box");
    editor->SetMesh(box->GetMesh());
    EXPECT_EQ(editor->GetMesh(), nullptr);
    EXPECT_FALSE(editor->Activate());
    scene.PushEditor(editor);
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    EXPECT_EQ(scene.GetEditorStackCount(), 0u);
    // Nor without a node.
    editor->SetMesh(surface);
    editor->SetNode(nullptr);
    EXPECT_FALSE(editor->Activate());
    EXPECT_EQ(editor->GetSelectionCount(), 0u);

    // An editor of that name that is no point-list editor is passed over for a new one.
    scene.DeleteEditor(editor);
    delete editor;
    scene.AddEditor(new RecordingEditor(&scene, u"XPointListEditor"));
    surface->Edit(&scene, node);
    EXPECT_NE(dynamic_cast<XPointListEditor*>(scene.GetEditor()), nullptr);
}

TEST_F(XPointListEditorTest, ClicksRectanglesShiftAndCtrlPickPointsAsTheCameraSeesThem)
{
    ASSERT_NE(editor, nullptr);
    const XPoint middle = Pixel(12);
    EXPECT_NEAR(middle.x, 320, 1e-3f);
    EXPECT_NEAR(Pixel(13).x - middle.x, 57.94f, 0.01f);
    // Within 2 pixels of a point the click takes it.
    Click(XPoint(middle.x + 2, middle.y - 2));
    EXPECT_EQ(Selected(), std::vector<unsigned>{12});
    Click(XPoint(middle.x + 2.5f, middle.y));
    EXPECT_TRUE(Selected().empty()) << "a plain click elsewhere clears";
    Click(middle);
    Click(Pixel(13), XSS_SHIFT);
    EXPECT_EQ(Selected(), (std::vector<unsigned>{12, 13}));
    EXPECT_EQ(editor->GetSelectionCount(), 2u);
    ExpectVertex(editor->GetSelectionCenter(), XVertex(0.5f, 0, 0), 1e-5f);

    // A Ctrl rectangle over 13 (selected) and 14 (not) swaps them.
    const XPoint a = Pixel(13), b = Pixel(14);
    Send(XME_LEFT_DOWN, XPoint(b.x + 10, b.y + 10), XSS_LEFT | XSS_CTRL);
    Send(XME_MOVE, XPoint(a.x - 10, a.y - 10), XSS_LEFT | XSS_CTRL);
    Send(XME_LEFT_UP, XPoint(a.x - 10, a.y - 10), XSS_CTRL);
    EXPECT_EQ(Selected(), (std::vector<unsigned>{12, 14}));

    // A plain rectangle replaces the selection: the whole top row.
    Send(XME_LEFT_DOWN, XPoint(Pixel(0).x - 5, Pixel(0).y - 5), XSS_LEFT);
    Send(XME_MOVE, XPoint(Pixel(4).x + 5, Pixel(4).y + 5), XSS_LEFT);
    Send(XME_LEFT_UP, XPoint(Pixel(4).x + 5, Pixel(4).y + 5), 0);
    EXPECT_EQ(Selected(), (std::vector<unsigned>{0, 1, 2, 3, 4}));

    // Another surface edited while the editor is at work: nothing of it is selected.
    XMeshNode* second = scene.CreateNode(XString(u"XBSSurface"), nullptr, u"Second");
    second->GetMesh()->Edit(&scene, second);
    EXPECT_EQ(scene.GetEditor(), editor);
    EXPECT_EQ(editor->GetMesh(), second->GetMesh());
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
}

TEST_F(XPointListEditorTest, DragsMoveOnlyTheSelectedPointsInWorldSpaceAndARightReleaseUndoesThem)
{
    ASSERT_NE(editor, nullptr);
    // Turned a quarter about z and doubled: the points are still edited where they show.
    XMatrix placement(1.0f);
    placement.SetRotationZ(1.5707964f);
    XMatrix twice(1.0f);
    twice.SetScale(2, 2, 2);
    node->SetMatrix(twice * placement);

    // Nothing selected: no drag changes anything.
    const std::vector<XVertex> before = Points();
    editor->BeginTransform();
    editor->Move(&eye, XPoint(400, 200), XPoint(320, 240));
    editor->Rotate(&eye, XPoint(400, 200), XPoint(320, 240));
    editor->Scale(&eye, XPoint(400, 200), XPoint(320, 240));
    EXPECT_TRUE(SameBits(Points(), before));

    Click(Pixel(6));
    ASSERT_EQ(Selected(), std::vector<unsigned>{6});
    const XVertex start = World(6);
    const XPoint at = Pixel(6);
    // Hover the gizmo's X axis (about 30 pixels right of the point), press on it and drag 58
    // pixels right: one unit along x in world space.
    Send(XME_MOVE, XPoint(at.x + 30, at.y));
    EXPECT_EQ(scene.GetTransformAxis(), XAXIS_X);
    Send(XME_LEFT_DOWN, XPoint(at.x + 30, at.y), XSS_LEFT);
    ASSERT_TRUE(editor->IsTransforming());
    Send(XME_MOVE, XPoint(at.x + 30 + 57.94f, at.y), XSS_LEFT);
    ExpectVertex(World(6), XVertex(start.x + 1, start.y, start.z), 1e-3f);
    std::vector<XVertex> moved = Points();
    for (unsigned i = 0; i < moved.size(); ++i)
    {
        if (i == 6)
            continue;
        EXPECT_EQ(std::memcmp(&moved[i], &before[i], sizeof(XVertex)), 0) << i;
    }
    // A right release puts every point back exactly.
    Send(XME_RIGHT_UP, XPoint(at.x + 88, at.y));
    EXPECT_TRUE(SameBits(Points(), before));

    // Scaling two points about their centre, and a rotation of the same pair; a flick down never
    // collapses them.
    Click(Pixel(7), XSS_SHIFT);
    scene.SetTransformAxis(XAXIS_Z);
    scene.SetTransformType(2);
    editor->BeginTransform();
    editor->Scale(&eye, XPoint(0, 0), XPoint(0, 100));
    EXPECT_NEAR((World(7) - World(6)).Length(), 4.0f, 1e-4f) << "twice the 2-unit world spacing";
    editor->Scale(&eye, XPoint(0, 1000), XPoint(0, 0));
    EXPECT_NEAR((World(7) - World(6)).Length(), 0.04f, 1e-4f);
    editor->CancelTransform();
    EXPECT_TRUE(SameBits(Points(), before));
    // Half a turn (pi taken as 3.14) about z through their centre: the pair swaps ends.
    const XVertex middle = (World(7) + World(6)) * 0.5f;
    const XVertex six = World(6);
    editor->Rotate(&eye, XPoint(0, 0), XPoint(0, 360));
    EXPECT_NEAR((World(7) - World(6)).Length(), 2.0f, 1e-4f);
    ExpectVertex((World(7) + World(6)) * 0.5f, middle, 1e-4f);
    EXPECT_NEAR((World(7) - six).Length(), 0.0f, 0.01f);
}

TEST_F(XPointListEditorTest, EveryPassDrawsTheColouredPointsAtThePointSizeAndRestoresLighting)
{
    ASSERT_NE(editor, nullptr);
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    eye.device = d3d.device;
    eye.pointSize = 5;
    Click(Pixel(3));
    for (unsigned pass : {0u, 1u})
    {
        d3d.device->SetRenderState(D3DRS_LIGHTING, TRUE);
        d3d.Clear();
        d3d.device->BeginScene();
        editor->RenderOverlay(0, &eye, pass);
        d3d.device->EndScene();
        const std::vector<std::string> texts = d3d.Texts();
        ASSERT_EQ(texts.size(), 13u) << pass;
        EXPECT_EQ(texts[1].rfind("SetTransform(256,", 0), 0u) << texts[1];
        EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.end()),
                  (std::vector<std::string>{"SetStreamSource(0, null, 0, 16)", "SetFVF(66)", "SetRenderState(145, 1)",
                                            "SetRenderState(154, 1084227584)", "SetRenderState(157, 0)",
                                            "SetRenderState(8, 1)", "GetRenderState(137)", "SetRenderState(137, 0)",
                                            "DrawPrimitiveUP(1, 25, 16)", "SetRenderState(137, 1)", "EndScene()"}))
            << pass;
        const D3D9Call& draw = d3d.Log()[10];
        ASSERT_EQ(draw.vertices.size(), 25u * 16);
        for (unsigned i = 0; i < 25; ++i)
        {
            XVertexD record;
            std::memcpy(&record, draw.vertices.data() + 16 * i, 16);
            EXPECT_EQ(record.color, i == 3 ? 0xFFFF0000u : 0xFF00FF00u) << i;
            EXPECT_EQ(std::memcmp(&record, &surface->GetPointsPtr()[i], 12), 0) << i;
        }
    }
    // With lighting off it stays off.
    d3d.device->SetRenderState(D3DRS_LIGHTING, FALSE);
    d3d.Clear();
    editor->RenderOverlay(0, &eye, 0);
    EXPECT_EQ(d3d.Texts().back(), "DrawPrimitiveUP(1, 25, 16)");
    eye.device = nullptr;
}

TEST_F(XPointListEditorTest, TheSurfaceChangingOrGoingMidEditIsNoFault)
{
    ASSERT_NE(editor, nullptr);
    SoftDevice d3d;
    ASSERT_NE(d3d.device, nullptr);
    eye.device = d3d.device;
    Click(Pixel(24));
    editor->BeginTransform();
    // Laid out anew with fewer points: the selected one is past the end and reads as not selected.
    surface->SetWidthSegs(3);
    surface->SetHeightSegs(3);
    EXPECT_EQ(surface->GetPointCount(), 16u);
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
    d3d.Clear();
    editor->RenderOverlay(0, &eye, 0);
    const std::vector<std::string> texts = d3d.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "DrawPrimitiveUP(1, 16, 16)"), texts.end());
    editor->Move(&eye, XPoint(330, 240), XPoint(320, 240));
    editor->CancelTransform();
    EXPECT_EQ(surface->GetPointCount(), 16u);
    Click(Pixel(15));
    EXPECT_EQ(editor->GetSelectionCount(), 1u);

    // The node and its surface go: the editor stays current and does nothing.
    node->Destroy();
    EXPECT_EQ(editor->GetMesh(), nullptr);
    EXPECT_EQ(editor->GetNode(), nullptr);
    EXPECT_EQ(editor->GetSelectionCount(), 0u);
    d3d.Clear();
    editor->RenderOverlay(0, &eye, 0);
    editor->RenderOverlay(0, &eye, 1);
    EXPECT_TRUE(d3d.Log().empty());
    Click(XPoint(320, 240));
    editor->BeginTransform();
    editor->Move(&eye, XPoint(330, 240), XPoint(320, 240));
    editor->CancelTransform();
    scene.PopEditor();
    EXPECT_EQ(scene.GetEditor(), scene.GetSceneEditor());
    eye.device = nullptr;
}
