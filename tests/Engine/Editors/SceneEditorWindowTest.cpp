// The scene editor in a real X window: two cubes in the view host's top viewport on a private X
// server, picked, dragged by the gizmo and banded with XTest as a user would, and read back with
// XGetImage at the places the test projects itself.
#include "Engine/Editors/XBaseEditor.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Objects/XBSSurface.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/ViewHostWindowTest.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr uint32_t White = 0xFFFFFF, Red = 0xFF0000, Green = 0x00FF00, Yellow = 0xFFFF00, Back = 0x888888;
constexpr uint32_t Blue = 0x0000FF;

ViewSceneOptions TwoCubes()
{
    ViewSceneOptions options = TViewHostForm::HostSceneOptions();
    options.boxes = 2;
    options.extras = false;
    options.editables = false;
    return options;
}

struct Pixel
{
    float x, y;
};

class SceneEditorWindowTest : public ViewHostWindowTest
{
public:
    SceneEditorWindowTest() : ViewHostWindowTest("scene_editor_window", TwoCubes()) {}

    void SetUp() override
    {
        ViewHostWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        top = view->GetViewport(0);
        // The two cubes, then the light.
        ASSERT_EQ(scene->GetNodeCount(), 3u);
        // Side by side within the top viewport, which sees about 6.5 units across: a band can
        // hold both, and the first has room to move right.
        XMatrix at(1.0f);
        at.SetTranslation(-2.0f, 1.0f, 0.0f);
        scene->GetNode(0)->SetMatrix(at);
        at.SetTranslation(1.5f, 1.0f, 0.0f);
        scene->GetNode(1)->SetMatrix(at);
    }
    // Whether `colour` is within a pixel of (x, y): lines are rasterised to the nearest pixel.
    static bool Near(const std::vector<uint32_t>& p, Pixel at, uint32_t colour)
    {
        const int cx = static_cast<int>(std::lround(at.x)), cy = static_cast<int>(std::lround(at.y));
        for (int y = cy - 1; y <= cy + 1; ++y)
            for (int x = cx - 1; x <= cx + 1; ++x)
                if (x >= 0 && x < W && y >= 0 && y < H && At(p, x, y) == colour)
                    return true;
        return false;
    }
    // Where a world point shows in the window, through the top viewport's own matrices.
    Pixel Project(const XVertex& v)
    {
        const XPoint p = FormPointOf(host.get(), top, v);
        return {p.x, p.y};
    }
    // Where a point of the node's mesh shows.
    Pixel ProjectMeshPoint(XMeshNode* node, XVertex p)
    {
        XMatrix mesh(1.0f);
        node->GetMeshMatrix(0, mesh);
        mesh.ApplyTo(&p, 1);
        return Project(p);
    }
    XVertex Centre(XMeshNode* node)
    {
        XMatrix m(1.0f);
        node->GetMatrix(0, m);
        return XVertex(m.m[3][0], m.m[3][1], m.m[3][2]);
    }
    // The mid-points of the edges of the node's box, in world space.
    std::vector<XVertex> BoxEdgeMiddles(XMeshNode* node)
    {
        const XBoundingBox box = node->GetMeshBoundingBox(0);
        XMatrix mesh(1.0f);
        node->GetMeshMatrix(0, mesh);
        std::vector<XVertex> out;
        const XVertex c = (box.min + box.max) * 0.5f;
        // The four edges of the face nearest the top camera, which looks down: y = max.
        const XVertex local[4] = {XVertex(c.x, box.max.y, box.min.z), XVertex(c.x, box.max.y, box.max.z),
                                  XVertex(box.min.x, box.max.y, c.z), XVertex(box.max.x, box.max.y, c.z)};
        for (const XVertex& l : local)
            out.push_back(XVertex(l.x * mesh.m[0][0] + l.y * mesh.m[1][0] + l.z * mesh.m[2][0] + mesh.m[3][0],
                                  l.x * mesh.m[0][1] + l.y * mesh.m[1][1] + l.z * mesh.m[2][1] + mesh.m[3][1],
                                  l.x * mesh.m[0][2] + l.y * mesh.m[1][2] + l.z * mesh.m[2][2] + mesh.m[3][2]));
        return out;
    }
    // The middle of the gizmo's X segment (from 0.2 to 0.8 of its size) about the selection.
    XVertex GizmoXMiddle()
    {
        const XVertex c = scene->GetSelectedCentre();
        return c + XVertex(0.5f * scene->GizmoSize(top, 0, c), 0, 0);
    }
    // The pointer to, and waiting for it at, the window pixel nearest a projected point.
    void MoveTo(Pixel p) { ViewHostWindowTest::MoveTo(Round(p.x), Round(p.y)); }
    bool Reached(Pixel p) { return ViewHostWindowTest::Reached(top, Round(p.x), Round(p.y)); }
    static int Round(float v) { return static_cast<int>(std::lround(v)); }

    // Bands the middle nine of a 5 x 5 grid of points (row by row), half a spacing clear of the
    // others, and lets go; `inner` gets their indices.
    void BandMiddleNine(const std::vector<Pixel>& points, std::vector<unsigned>& inner)
    {
        Pixel from{1e9f, 1e9f}, to{-1e9f, -1e9f};
        for (unsigned row = 1; row <= 3; ++row)
            for (unsigned col = 1; col <= 3; ++col)
            {
                const unsigned i = row * 5 + col;
                inner.push_back(i);
                from = {std::fmin(from.x, points[i].x), std::fmin(from.y, points[i].y)};
                to = {std::fmax(to.x, points[i].x), std::fmax(to.y, points[i].y)};
            }
        const float half = std::fabs(points[1].x - points[0].x + points[1].y - points[0].y) / 2;
        ASSERT_GT(half, 10.0f);
        from = {from.x - half, from.y - half};
        to = {to.x + half, to.y + half};
        MoveTo(from);
        Button(1, true);
        MoveTo({(from.x + to.x) / 2, (from.y + to.y) / 2});
        MoveTo(to);
        ASSERT_TRUE(Reached(to));
        Button(1, false);
    }

    XViewport* top = nullptr;
};
} // namespace

TEST_F(SceneEditorWindowTest, ClickShowsBoxAndGizmoTheXAxisDragsAndABandSelectsBoth)
{
    // Edit mode leaves the scene's transform type at move.
    ASSERT_TRUE(ClickTransformButton(XTT_EDIT));
    ASSERT_EQ(scene->GetTransformType(), 0u);
    XMeshNode* first = scene->GetNode(0);
    XMeshNode* second = scene->GetNode(1);

    // A click on the first cube selects it alone; its box is drawn in white over its top face's
    // edges and the gizmo's X axis in red, where the viewport's matrices put them.
    const Pixel firstAt = Project(Centre(first));
    probe->ClickAt(window, static_cast<int>(std::lround(firstAt.x)), static_cast<int>(std::lround(firstAt.y)));
    ASSERT_TRUE(PumpUntil([&] { return scene->GetSelectedCount() == 1; }));
    EXPECT_TRUE(first->IsSelected());
    EXPECT_FALSE(second->IsSelected());
    Draw();
    std::vector<uint32_t> shown = Pixels();
    for (const XVertex& m : BoxEdgeMiddles(first))
        EXPECT_TRUE(Near(shown, Project(m), White)) << Project(m).x << "," << Project(m).y;
    for (const XVertex& m : BoxEdgeMiddles(second))
        EXPECT_FALSE(Near(shown, Project(m), White)) << Project(m).x << "," << Project(m).y;
    const Pixel axis = Project(GizmoXMiddle());
    EXPECT_TRUE(Near(shown, axis, Red)) << axis.x << "," << axis.y;
    EXPECT_FALSE(Near(shown, axis, Yellow));
    EXPECT_EQ(ReferenceImage::Compare("tests/Engine/data/scene_editor_window.png", shown, W,
                                      H + TViewHostForm::ButtonRow, 3),
              "");

    // Hovered, the X axis turns yellow.
    MoveTo(axis);
    ASSERT_TRUE(Reached(axis));
    Draw();
    shown = Pixels();
    EXPECT_TRUE(Near(shown, axis, Yellow)) << axis.x << "," << axis.y;
    EXPECT_FALSE(Near(shown, axis, Red));

    // Dragged 40 pixels right, it moves the cube 40 pixels right on the screen, the other cube
    // staying where it was.
    const Pixel secondBefore = Project(Centre(second));
    Button(1, true);
    MoveTo({axis.x + 20, axis.y});
    MoveTo({axis.x + 40, axis.y});
    ASSERT_TRUE(Reached({axis.x + 40, axis.y}));
    Button(1, false);
    Application->ProcessMessages();
    const Pixel firstAfter = Project(Centre(first));
    EXPECT_NEAR(firstAfter.x - firstAt.x, 40.0f, 1e-3f);
    EXPECT_NEAR(firstAfter.y - firstAt.y, 0.0f, 1e-3f);
    const Pixel secondAfter = Project(Centre(second));
    EXPECT_FLOAT_EQ(secondAfter.x, secondBefore.x);
    EXPECT_FLOAT_EQ(secondAfter.y, secondBefore.y);
    Draw();
    shown = Pixels();
    for (const XVertex& m : BoxEdgeMiddles(first))
        EXPECT_TRUE(Near(shown, Project(m), White)) << Project(m).x << "," << Project(m).y;

    // A rubber band from just above-left of both cubes to just below-right of them blends 50 % white over the
    // background while it is held, and selects both when it is let go.
    const TPoint origin = top->ClientToScreen(TPoint(0, 0));
    const TPoint form = host->ClientToScreen(TPoint(0, 0));
    Pixel from{1e9f, 1e9f}, to{-1e9f, -1e9f};
    for (XMeshNode* node : {first, second})
        for (const XVertex& m : BoxEdgeMiddles(node))
        {
            const Pixel p = Project(m);
            from = {std::fmin(from.x, p.x - 12), std::fmin(from.y, p.y - 12)};
            to = {std::fmax(to.x, p.x + 12), std::fmax(to.y, p.y + 12)};
        }
    ASSERT_GT(from.x, static_cast<float>(origin.x - form.x));
    ASSERT_GT(from.y, static_cast<float>(origin.y - form.y + 20));
    ASSERT_LT(to.x, static_cast<float>(origin.x - form.x + top->GetClientWidth()));
    ASSERT_LT(to.y, static_cast<float>(origin.y - form.y + top->GetClientHeight()));
    scene->ClearNodeSelection();
    Draw();
    const std::vector<uint32_t> before = Pixels();
    MoveTo(from);
    Button(1, true);
    MoveTo({(from.x + to.x) / 2, (from.y + to.y) / 2});
    MoveTo(to);
    ASSERT_TRUE(Reached(to));
    Draw();
    const std::vector<uint32_t> banded = Pixels();
    size_t background = 0, blended = 0;
    for (int y = static_cast<int>(from.y) + 2; y < static_cast<int>(to.y) - 2; ++y)
        for (int x = static_cast<int>(from.x) + 2; x < static_cast<int>(to.x) - 2; ++x)
            if (At(before, x, y) == Back)
            {
                ++background;
                const uint32_t p = At(banded, x, y);
                // (0x88 + 0xFF) / 2, rounded either way.
                blended += ((p >> 16) == 0xC3 || (p >> 16) == 0xC4) && (p & 0xFFFF) == ((p >> 16) * 0x101u);
            }
    EXPECT_GT(background, 1000u);
    EXPECT_EQ(blended, background);
    // Outside the band the background stays as it was.
    EXPECT_EQ(At(banded, static_cast<int>(to.x) + 10, static_cast<int>(to.y) + 10),
              At(before, static_cast<int>(to.x) + 10, static_cast<int>(to.y) + 10));
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] { return scene->GetSelectedCount() == 2; }));
    EXPECT_TRUE(first->IsSelected());
    EXPECT_TRUE(second->IsSelected());
}

TEST_F(SceneEditorWindowTest, BandedSurfacePointsTurnRedFromGreen)
{
    // A 4 x 4 surface of 5 x 5 points lying flat above the cubes, edited by its point-list editor.
    scene->AddClass(&BSSurfaceDesc);
    XMeshNode* node = scene->CreateNode(XString(u"XBSSurface"), nullptr, u"Surface");
    auto* surface = static_cast<XBSSurface*>(node->GetMesh());
    surface->SetWidth(4);
    surface->SetHeight(4);
    XMatrix flat(1.0f);
    flat.SetRotation(3.14159265f / 2, 0, 0);
    flat.m[3][0] = -0.25f;
    flat.m[3][1] = 3.0f;
    node->SetMatrix(flat);
    ASSERT_EQ(surface->GetPointCount(), 25u);
    surface->Edit(scene, node);
    ASSERT_NE(scene->GetEditor(), nullptr);
    ASSERT_EQ(scene->GetEditor()->GetName(), XString(u"XPointListEditor"));
    ASSERT_TRUE(ClickTransformButton(XTT_EDIT));

    std::vector<Pixel> points;
    for (unsigned i = 0; i < 25; ++i)
        points.push_back(ProjectMeshPoint(node, surface->GetPoint(i)));
    Draw();
    std::vector<uint32_t> shown = Pixels();
    for (unsigned i = 0; i < 25; ++i)
        EXPECT_TRUE(Near(shown, points[i], Green)) << i << " at " << points[i].x << "," << points[i].y;

    // The band holds the middle nine points, half a spacing clear of the others.
    std::vector<unsigned> inner;
    BandMiddleNine(points, inner);
    ASSERT_FALSE(HasFatalFailure());
    Application->ProcessMessages();
    Draw();
    shown = Pixels();
    for (unsigned i = 0; i < 25; ++i)
    {
        const bool banded = std::find(inner.begin(), inner.end(), i) != inner.end();
        EXPECT_TRUE(Near(shown, points[i], banded ? Red : Green)) << i << " at " << points[i].x << "," << points[i].y;
        EXPECT_FALSE(Near(shown, points[i], banded ? Green : Red)) << i;
    }
    scene->PopEditor();
}

TEST_F(SceneEditorWindowTest, TriangleMeshVerticesAreBandedDraggedCancelledAndUndone)
{
    // A flat 4 x 4 grid of 5 x 5 vertices above the cubes, facing the top camera, 32 faces.
    auto* object = static_cast<XTriMesh*>(scene->CreateObject(u"XTriMesh", nullptr, nullptr));
    XMesh* mesh = object->GetMesh();
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 5; ++col)
            mesh->AddVertex(XVertex(col - 2.0f, 0, row - 2.0f), XColor(0xFFFFFFFFu));
    for (uint32_t row = 0; row < 4; ++row)
        for (uint32_t col = 0; col < 4; ++col)
        {
            const uint32_t v = row * 5 + col;
            mesh->AddFace(XFace(v, v + 5, v + 1));
            mesh->AddFace(XFace(v + 1, v + 5, v + 6));
        }
    XMeshNode* node = scene->CreateNode(object, nullptr, u"Grid");
    XMatrix above(1.0f);
    above.SetTranslation(-0.25f, 3.0f, 0.0f);
    node->SetMatrix(above);
    object->Edit(scene, node);
    auto* editor = dynamic_cast<XTriMeshEditor*>(scene->GetEditor());
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(ClickTransformButton(XTT_EDIT));

    auto project = [&]
    {
        std::vector<Pixel> points;
        for (unsigned i = 0; i < 25; ++i)
            points.push_back(ProjectMeshPoint(node, mesh->GetVertices()[i]));
        return points;
    };
    const std::vector<Pixel> start = project();
    Draw();
    std::vector<uint32_t> shown = Pixels();
    for (unsigned i = 0; i < 25; ++i)
        EXPECT_TRUE(Near(shown, start[i], Blue)) << i << " at " << start[i].x << "," << start[i].y;

    // The band holds the middle nine vertices: they turn red.
    std::vector<unsigned> inner;
    BandMiddleNine(start, inner);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(PumpUntil([&] { return editor->GetSelectionCount() == 9; }));
    auto isInner = [&](unsigned i) { return std::find(inner.begin(), inner.end(), i) != inner.end(); };
    Draw();
    shown = Pixels();
    for (unsigned i = 0; i < 25; ++i)
        EXPECT_TRUE(Near(shown, start[i], isInner(i) ? Red : Blue)) << i;

    // The gizmo's X axis dragged 40 pixels right carries the nine 40 pixels right.
    const Pixel axis = Project(GizmoXMiddle());
    MoveTo(axis);
    ASSERT_TRUE(Reached(axis));
    Button(1, true);
    MoveTo({axis.x + 20, axis.y});
    MoveTo({axis.x + 40, axis.y});
    ASSERT_TRUE(Reached({axis.x + 40, axis.y}));
    Button(1, false);
    Application->ProcessMessages();
    const std::vector<Pixel> moved = project();
    for (unsigned i = 0; i < 25; ++i)
    {
        EXPECT_NEAR(moved[i].x - start[i].x, isInner(i) ? 40.0f : 0.0f, 1e-2f) << i;
        EXPECT_NEAR(moved[i].y, start[i].y, 1e-2f) << i;
    }
    EXPECT_EQ(editor->GetUndoName(), XString(u"Трансформация вершин"));
    Draw();
    shown = Pixels();
    for (unsigned i : inner)
        EXPECT_TRUE(Near(shown, moved[i], Red)) << i;

    // A second drag cancelled by the right button puts them back where the first left them.
    const Pixel again = Project(GizmoXMiddle());
    MoveTo(again);
    ASSERT_TRUE(Reached(again));
    Button(1, true);
    MoveTo({again.x + 30, again.y});
    ASSERT_TRUE(Reached({again.x + 30, again.y}));
    Button(3, true);
    Button(3, false);
    Button(1, false);
    Application->ProcessMessages();
    const std::vector<Pixel> cancelled = project();
    for (unsigned i = 0; i < 25; ++i)
        EXPECT_NEAR(cancelled[i].x, moved[i].x, 1e-3f) << i;
    EXPECT_EQ(editor->GetUndoCount(), 2u);

    // Two undos: the cancelled drag's record, then the first drag's.
    editor->Undo();
    editor->Undo();
    const std::vector<Pixel> undone = project();
    for (unsigned i = 0; i < 25; ++i)
        EXPECT_NEAR(undone[i].x, start[i].x, 1e-3f) << i;
    Draw();
    shown = Pixels();
    for (unsigned i = 0; i < 25; ++i)
        EXPECT_TRUE(Near(shown, start[i], isInner(i) ? Red : Blue)) << i;
    scene->PopEditor();
}
