// The triangle-mesh editor with its panel in the view host on a private X server: a 2 x 2 quad
// grid opened from the view, a face banded in face mode, moved by the panel's typed move and
// undone by Ctrl+Z, dragged by the gizmo, then a new face made with the panel's "Грань" by three
// clicks on vertices and a right click (no menu), the face taken back by Ctrl+Z, all by XTest
// input.
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/XTriMeshEditor.h"
#include "Engine/Editors/XVertexCreator.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr int ViewWidth = 800, ViewHeight = 900;

struct Pixel
{
    float x, y;
};

class TriMeshHostWindowTest : public PresenterWindowTest
{
public:
    TriMeshHostWindowTest() : PresenterWindowTest(1100, 1000) {}

    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ViewSceneOptions options = TViewHostForm::HostSceneOptions();
        options.extras = false;
        host = std::make_unique<TViewHostForm>(nullptr, dir.Path(), options, ViewWidth, ViewHeight);
        host->ShowEditorPanels();
        view = host->View();
        scene = host->Scene();
        host->Show();
        window = Vcl::NativeWindowOf(host.get());
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && host->PaintCount() > 0; }));
        top = view->GetViewport(0);
    }
    void TearDown() override
    {
        host.reset();
        PresenterWindowTest::TearDown();
    }

    // Where a point of the node's mesh shows in the window, through the top viewport's matrices.
    Pixel Project(XMeshNode* node, XVertex p)
    {
        XMatrix placing(1.0f);
        node->GetMeshMatrix(0, placing);
        placing.ApplyTo(&p, 1);
        return ProjectWorld(p);
    }
    Pixel ProjectWorld(const XVertex& v)
    {
        const XPoint p = FormPointOf(host.get(), top, v);
        return {p.x, p.y};
    }
    void MoveTo(Pixel p)
    {
        probe->MoveTo(window, static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
        probe->Sync();
    }
    bool Reached(Pixel p)
    {
        const TPoint origin = PictureOrigin(host.get(), top);
        const float vx = std::round(p.x) - static_cast<float>(origin.x);
        const float vy = std::round(p.y) - static_cast<float>(origin.y);
        return PumpUntil([&] { return top->GetMousePoint().x == vx && top->GetMousePoint().y == vy; });
    }
    void Button(int button, bool down)
    {
        probe->Button(button, down);
        probe->Sync();
    }
    void ClickAt(Pixel p, int button = 1)
    {
        MoveTo(p);
        ASSERT_TRUE(Reached(p));
        Button(button, true);
        Button(button, false);
        Settle();
    }

    TempDir dir;
    std::unique_ptr<TViewHostForm> host;
    XView* view = nullptr;
    XScene* scene = nullptr;
    XViewport* top = nullptr;
    unsigned long window = 0;
};
} // namespace

TEST_F(TriMeshHostWindowTest, QuadGridFaceBandedMovedUndoneDraggedAndAFaceMade)
{
    // 3 x 3 vertices 1.5 apart in the y = 0 plane, two faces a cell, above the box and facing
    // the top camera.
    auto* object = static_cast<XTriMesh*>(scene->CreateObject(u"XTriMesh", nullptr, nullptr));
    XMesh* mesh = object->GetMesh();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            mesh->AddVertex(XVertex(1.5f * (col - 1), 0, 1.5f * (row - 1)), XColor(0xFFFFFFFFu));
    for (uint32_t row = 0; row < 2; ++row)
        for (uint32_t col = 0; col < 2; ++col)
        {
            const uint32_t v = row * 3 + col;
            mesh->AddFace(XFace(v, v + 3, v + 1));
            mesh->AddFace(XFace(v + 1, v + 3, v + 4));
        }
    XMeshNode* node = scene->CreateNode(object, nullptr, u"Quad");
    XMatrix above(1.0f);
    above.SetTranslation(0.25f, 3.0f, 0.0f);
    node->SetMatrix(above);
    const std::vector<XVertex> start(mesh->GetVertices(), mesh->GetVertices() + 9);

    // Enter in the view opens the one selected node's mesh editor, and its panel shows.
    scene->ClearNodeSelection();
    node->SetSelected(true);
    view->SetFocus();
    probe->Key("Return");
    ASSERT_TRUE(PumpUntil([&] { return dynamic_cast<XTriMeshEditor*>(scene->GetEditor()) != nullptr; }));
    auto* editor = static_cast<XTriMeshEditor*>(scene->GetEditor());
    Settle();
    auto* panel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->Visible());
    TSpeedButton* edit = host->TransformButton(XTT_EDIT);
    probe->ClickAt(window, edit->Left() + edit->Width() / 2, edit->Top() + edit->Height() / 2);
    ASSERT_TRUE(PumpUntil([&] { return view->GetTransformType() == XTT_EDIT; }));
    // "Face".
    ASSERT_EQ(host->ModeButtons().size(), 2u);
    ClickOn(window, host->ModeButtons()[1], 10, 10);
    ASSERT_EQ(editor->GetMode(), 1);

    // A band around the first cell (vertices 0, 1, 3, 4), half a cell clear of the others,
    // selects its two faces.
    std::vector<Pixel> at;
    for (unsigned i = 0; i < 9; ++i)
        at.push_back(Project(node, mesh->GetVertices()[i]));
    const float half = std::fabs(at[1].x - at[0].x) / 2;
    ASSERT_GT(half, 15.0f);
    Pixel from{std::fmin(at[0].x, at[4].x) - half, std::fmin(at[0].y, at[4].y) - half};
    Pixel to{std::fmax(at[0].x, at[4].x) + half, std::fmax(at[0].y, at[4].y) + half};
    MoveTo(from);
    ASSERT_TRUE(Reached(from));
    Button(1, true);
    MoveTo({(from.x + to.x) / 2, (from.y + to.y) / 2});
    MoveTo(to);
    ASSERT_TRUE(Reached(to));
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] { return editor->GetSelectionCount() == 2; }));
    EXPECT_TRUE(mesh->GetFaceSelection().Get(0));
    EXPECT_TRUE(mesh->GetFaceSelection().Get(1));

    // Move X 0.5 typed into the panel, "Выполнить": the cell's corners move, the rest stay.
    ClickOn(window, panel->MoveXEdit, 10, 8);
    probe->Key("a", "Control_L");
    probe->Key("0");
    probe->Key("period");
    probe->Key("5");
    probe->Key("Tab");
    Settle();
    ClickOn(window, panel->MoveBtn, 20, 10);
    const bool inCell[9] = {true, true, false, true, true, false, false, false, false};
    for (unsigned i = 0; i < 9; ++i)
    {
        EXPECT_NEAR(mesh->GetVertices()[i].x, start[i].x + (inCell[i] ? 0.5f : 0.0f), 1e-5f) << i;
        EXPECT_NEAR(mesh->GetVertices()[i].z, start[i].z, 1e-5f) << i;
    }
    EXPECT_EQ(editor->GetUndoName(), XString(u"Перемещение"));

    // Ctrl+Z in the view puts them back.
    view->SetFocus();
    probe->Key("z", "Control_L");
    Settle();
    for (unsigned i = 0; i < 9; ++i)
        EXPECT_NEAR(mesh->GetVertices()[i].x, start[i].x, 1e-6f) << i;

    // The gizmo's X axis dragged 20 pixels right carries the cell's corners 20 pixels right.
    const XVertex centre = scene->GetSelectedCentre();
    const Pixel axis = ProjectWorld(centre + XVertex(0.5f * scene->GizmoSize(top, 0, centre), 0, 0));
    MoveTo(axis);
    ASSERT_TRUE(Reached(axis));
    Button(1, true);
    MoveTo({axis.x + 10, axis.y});
    MoveTo({axis.x + 20, axis.y});
    ASSERT_TRUE(Reached({axis.x + 20, axis.y}));
    Button(1, false);
    Settle();
    for (unsigned i = 0; i < 9; ++i)
    {
        const Pixel now = Project(node, mesh->GetVertices()[i]);
        EXPECT_NEAR(now.x - at[i].x, inCell[i] ? 20.0f : 0.0f, 1e-2f) << i;
        EXPECT_NEAR(now.y, at[i].y, 1e-2f) << i;
    }
    EXPECT_EQ(editor->GetUndoName(), XString(u"Трансформация вершин"));
    const std::vector<XVertex> dragged(mesh->GetVertices(), mesh->GetVertices() + 9);

    // "Грань": three clicks on vertices 2, 8 and 6 make one face in that order, only it selected;
    // a right click then leaves the creator and the mesh editor comes back with its panel.
    ClickOn(window, panel->CreateFaceBtn, 20, 10);
    ASSERT_NE(dynamic_cast<XVertexCreator*>(scene->GetEditor()), nullptr);
    for (unsigned i : {2u, 8u, 6u})
        ClickAt(Project(node, mesh->GetVertices()[i]));
    ASSERT_EQ(mesh->GetFaceCount(), 9u);
    const XFace& made = mesh->GetFaces()[8];
    EXPECT_EQ(made.v[0], 2u);
    EXPECT_EQ(made.v[1], 8u);
    EXPECT_EQ(made.v[2], 6u);
    EXPECT_EQ(mesh->GetFaceSelection().Count(true), 1u);
    EXPECT_TRUE(mesh->GetFaceSelection().Get(8));
    // The right button is the tool's there: no menu is asked for. An empty one stands in for the
    // layouts, so that a menu asked for would show nothing and still name who asked.
    TPopupMenu asked(nullptr);
    view->SetPopupMenu(&asked);
    ClickAt(Project(node, mesh->GetVertices()[4]), 3);
    ASSERT_TRUE(PumpUntil([&] { return scene->GetEditor() == editor; }));
    EXPECT_EQ(host->EditorPanel(), panel);
    EXPECT_EQ(mesh->GetVertexCount(), 9u);
    // Ctrl+Z takes back the face the tool made, and only it: the drag before stays.
    EXPECT_EQ(editor->GetUndoName(), XString(u"Создание граней"));
    view->SetFocus();
    probe->Key("z", "Control_L");
    ASSERT_TRUE(PumpUntil([&] { return mesh->GetFaceCount() == 8u; }));
    EXPECT_EQ(asked.PopupComponent(), nullptr);
    view->SetPopupMenu(host->LayoutMenu());
    for (unsigned i = 0; i < 9; ++i)
        EXPECT_NEAR(mesh->GetVertices()[i].x, dragged[i].x, 1e-6f) << i;
    scene->PopEditor();
}
