// The view host with its editor panels in a real window on a private X server: a node clicked in
// the view, the scene panel's typed move, the animation editor opened from the panel and left by
// Escape, each change of editor swapping the panels and the mode buttons, the host's editing keys
// typed into the view, Tab through each panel and random input, all through XTest input.
#include "Engine/Editors/TAnimationEditorFrame.h"
#include "Engine/Editors/TSceneEditorFrame.h"
#include "Engine/Editors/TSkinEditorFrame.h"
#include "Engine/Editors/TTriEditorFrame.h"
#include "Engine/Editors/TVertexColorEditorFrame.h"
#include "Engine/Editors/XSkinEditor.h"
#include "Engine/Editors/XVertexColorEditor.h"
#include "Engine/Geometry/XBone.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Editors/XAnimationEditor.h"
#include "Engine/Editors/XSceneEditor.h"
#include "Engine/Scene/XMeshNode.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Dialogs.h"

#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ComboList.h"
#include "tests/support/ModalBoxDriver.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

namespace
{
class ViewHostPanelsWindowTest : public PresenterWindowTest
{
public:
    explicit ViewHostPanelsWindowTest(int width = 1024, int height = 768) : PresenterWindowTest(width, height) {}

    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        ViewSceneOptions options = TViewHostForm::HostSceneOptions();
        options.extras = false;
        options.editables = false;
        host = std::make_unique<TViewHostForm>(nullptr, dir.Path(), options);
        scene = host->Scene();
        box = scene->GetNode(0);
        XAnimationEditor::SelectAnimation(box, u"Walk", true);
        host->ShowEditorPanels();
        host->Show();
        window = Vcl::NativeWindowOf(host.get());
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && host->PaintCount() > 0; }));
        host->View()->RenderScene(true);
        Settle();
    }
    void TearDown() override
    {
        host.reset();
        PresenterWindowTest::TearDown();
    }

    void Type(const char* key, const char* modifier = nullptr)
    {
        probe->Key(key, modifier);
        Settle();
    }
    // Where the node's origin shows in the top viewport, in the form's client coordinates.
    TPoint ShownAt(XMeshNode* node)
    {
        XMatrix at(1.0f);
        node->GetMatrix(0, at);
        return ShownAt(XVertex(at.m[3][0], at.m[3][1], at.m[3][2]));
    }
    // Where a world point shows in the top viewport, in the form's client coordinates.
    TPoint ShownAt(const XVertex& world)
    {
        const XPoint p = FormPointOf(host.get(), host->View()->GetViewport(0), world);
        return TPoint(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
    }
    void ClickNode(XMeshNode* node)
    {
        TPoint at = ShownAt(node);
        probe->ClickAt(window, at.x, at.y);
        Settle();
    }
    // A white 2 x 2 quad at the height given, above everything and facing the top viewport's
    // camera, selected alone and opened in the mesh editor by Enter.
    XMeshNode* EditNewQuad(float height)
    {
        XMeshNode* quad = scene->CreateNode(XString(u"XTriMesh"), nullptr, u"Quad");
        XMesh* mesh = static_cast<XTriMesh*>(quad->GetMesh())->GetMesh();
        for (const XVertex& v : {XVertex(-1, height, -1), XVertex(-1, height, 1), XVertex(1, height, -1),
                                 XVertex(1, height, 1)})
            mesh->AddVertex(v, XColor(0xFFFFFFFF));
        mesh->AddFace(XFace(0, 1, 2));
        mesh->AddFace(XFace(2, 1, 3));
        quad->GetMesh()->MeshInvalidate();
        for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
            scene->GetNode(i)->SetSelected(scene->GetNode(i) == quad);
        ClickOn(window, host->TransformButton(XTT_EDIT), 20, 10);
        host->View()->SetFocus();
        Settle();
        Type("Return");
        return quad;
    }

    void ClickTab(TPageControl* pages, int index)
    {
        ClickOn(window, pages, pages->TabRect(index).left + 10, 10);
    }
    // Whether the control shows whole inside the panel's client area and inside `area` (the page
    // it lies on, or the panel): a user can see it.
    static bool Seen(TScrollingWinControl* panel, TControl* control, TWinControl* area)
    {
        const TPoint at = control->FormOrigin();
        const TRect rect(at.x, at.y, at.x + control->Width(), at.y + control->Height());
        const TPoint p = panel->FormOrigin(), q = area->FormOrigin();
        const TRect client(p.x, p.y, p.x + panel->ClientWidth(), p.y + panel->ClientHeight());
        const TRect inArea(q.x, q.y, q.x + area->ClientWidth(), q.y + area->ClientHeight());
        return rect.Intersect(client) == rect && rect.Intersect(inArea) == rect;
    }
    // Where the control's top lies in the panel's client area.
    static int TopInPanel(TScrollingWinControl* panel, TControl* control)
    {
        return control->FormOrigin().y - panel->FormOrigin().y;
    }
    // The wheel over the panel's scroll bar, to the end of its range or back to its top.
    void WheelPanel(TScrollingWinControl* panel, bool toEnd)
    {
        const TPoint bar = panel->WindowOrigin();
        probe->MoveTo(window, bar.x + panel->ClientWidth() + 8, bar.y + panel->Height() / 2);
        probe->Wheel(toEnd ? -60 : 60);
        const int end = toEnd ? std::max(0, panel->VertRange() - panel->ClientHeight()) : 0;
        ASSERT_TRUE(PumpUntil([&] { return panel->VertPosition() == end; }));
        Settle();
    }
    // Wheeled to its end, the panel shows the lowest control of `area` (a page, or the panel) whole,
    // and a scrolling panel no more than a margin below it: nothing out of reach, no empty stretch.
    void ExpectRangeEndsAtLowest(TScrollingWinControl* panel, TWinControl* area, const char* after)
    {
        SCOPED_TRACE(after);
        WheelPanel(panel, true);
        TControl* lowest = nullptr;
        for (int i = 0; i < area->ControlCount(); ++i)
        {
            TControl* child = area->Controls(i);
            if (child->Visible() && (!lowest || child->BoundsRect().bottom > lowest->BoundsRect().bottom))
                lowest = child;
        }
        ASSERT_NE(lowest, nullptr);
        EXPECT_TRUE(Seen(panel, lowest, area));
        if (!(panel->WindowStyle() & WS_VSCROLL))
            return;
        const int below = panel->ClientHeight() - (TopInPanel(panel, lowest) + lowest->Height());
        EXPECT_GE(below, 0);
        EXPECT_LT(below, 20);
    }
    // The "+" of the saved selections opens the name box; once it has the keyboard, `keys` are
    // typed into it (the last one closes it).
    void AnswerNameBox(TTriEditorFrame* panel, std::initializer_list<const char*> keys)
    {
        TTimer timer(nullptr);
        timer.SetInterval(20);
        ModalBoxDriver<TInputQueryForm> driver;
        driver.ready = [&](TInputQueryForm*, unsigned long box)
        { return probe->Viewable(box) && probe->HasFocus(box); };
        driver.act = [&](TInputQueryForm*, unsigned long)
        {
            for (const char* key : keys)
                probe->Key(key);
        };
        driver.timer = &timer;
        timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TInputQueryForm>::Tick);
        ClickOn(window, panel->SelectionSaveBtn, 11, 11);
        timer.SetEnabled(false);
        EXPECT_TRUE(driver.acted);
        // The focus comes back to the panel's window.
        ASSERT_TRUE(PumpUntil(
            [&] {
                return probe->HasFocus(window) && host->ActiveControl() && host->ActiveControl()->Focused();
            }));
        Settle();
    }

    TempDir dir{"view_host_panels"};
    std::unique_ptr<TViewHostForm> host;
    XScene* scene = nullptr;
    XMeshNode* box = nullptr;
    unsigned long window = 0;
};
} // namespace

TEST_F(ViewHostPanelsWindowTest, PanelsFollowTheEditorAndTheWorkflowRunsByMouseAndKeys)
{
    // The scene editor's panel beside the view, its three modes as buttons, the current one down.
    auto* scenePanel = dynamic_cast<TSceneEditorFrame*>(host->EditorPanel());
    ASSERT_NE(scenePanel, nullptr);
    EXPECT_TRUE(scenePanel->Showing());
    EXPECT_GE(scenePanel->FormOrigin().x, host->View()->Width());
    ASSERT_EQ(host->ModeButtons().size(), 3u);
    EXPECT_EQ(host->ModeButtons()[0]->Caption(), u"Hierarhy");
    EXPECT_EQ(host->ModeButtons()[2]->Caption(), u"Mesh");
    EXPECT_TRUE(host->ModeButtons()[0]->Down());
    ClickOn(window, host->ModeButtons()[1], 20, 10);
    EXPECT_EQ(scene->GetEditor()->GetMode(), 1);
    EXPECT_TRUE(host->ModeButtons()[1]->Down());
    EXPECT_FALSE(host->ModeButtons()[0]->Down());
    ClickOn(window, host->ModeButtons()[0], 20, 10);
    ASSERT_EQ(scene->GetEditor()->GetMode(), 0);

    // The node clicked in the view (the view's edit mode) is selected.
    ClickOn(window, host->TransformButton(XTT_EDIT), 20, 10);
    ClickNode(box);
    ASSERT_TRUE(box->IsSelected());

    // 10 typed into move X and "Выполнить": the node moves 10 along X.
    const float x0 = box->GetPosition().x;
    ClickOn(window, scenePanel->MoveXEdit, 10, 8);
    Type("a", "Control_L");
    Type("1");
    Type("0");
    ClickOn(window, scenePanel->MoveBtn, 10, 10);
    EXPECT_FLOAT_EQ(box->GetPosition().x, x0 + 10);

    // "Walk" double-clicked on the animation page: the animation editor, its panel in place of
    // the scene's, one mode button.
    ClickTab(scenePanel->Pages, 1);
    ASSERT_EQ(scenePanel->AnimList->Count(), 1);
    TPoint list = scenePanel->AnimList->FormOrigin();
    probe->ClickAt(window, list.x + 20, list.y + 4);
    probe->ClickAt(window, list.x + 20, list.y + 4);
    Settle();
    ASSERT_TRUE(dynamic_cast<XAnimationEditor*>(scene->GetEditor()));
    auto* animPanel = dynamic_cast<TAnimationEditorFrame*>(host->EditorPanel());
    ASSERT_NE(animPanel, nullptr);
    EXPECT_TRUE(animPanel->Showing());
    EXPECT_FALSE(scenePanel->Visible());
    EXPECT_TRUE(animPanel->Timer->Enabled()); // activated after it showed
    ASSERT_EQ(host->ModeButtons().size(), 1u);
    EXPECT_EQ(host->ModeButtons()[0]->Caption(), u"Animation");

    // ">>" to a key at 5, then 2 and Enter typed into position X: the key at 5 has x = 2.
    box->GetAnimation()->AddPositionKey(5, XVertex(0, 0, 0));
    ClickOn(window, animPanel->NextKeyBtn, 10, 10);
    ASSERT_EQ(scene->GetFrame(), 5u);
    ClickOn(window, animPanel->PosXEdit, 10, 8);
    Type("a", "Control_L");
    Type("2");
    Type("Return");
    XKey* key = box->GetAnimation()->PositionKeys.FindKey(5);
    ASSERT_NE(key, nullptr);
    EXPECT_FLOAT_EQ(static_cast<XPositionKey*>(key)->value.x, 2);

    // Escape in the view goes back to the scene editor: the animation panel is told before it
    // hides (its timer stops), the scene panel shows again.
    host->View()->SetFocus();
    Settle();
    Type("Escape");
    ASSERT_EQ(scene->GetEditor(), scene->GetSceneEditor());
    EXPECT_EQ(host->EditorPanel(), scenePanel);
    EXPECT_TRUE(scenePanel->Showing());
    EXPECT_FALSE(animPanel->Visible());
    EXPECT_FALSE(animPanel->Timer->Enabled());
    EXPECT_EQ(host->ModeButtons().size(), 3u);
    ASSERT_EQ(scene->GetFrame(), 0u);

    // A with the node selected opens its animation editor, Escape leaves it.
    ClickNode(box);
    ASSERT_TRUE(box->IsSelected());
    Type("a");
    EXPECT_TRUE(dynamic_cast<XAnimationEditor*>(scene->GetEditor()));
    EXPECT_EQ(host->EditorPanel(), animPanel);
    Type("Escape");
    ASSERT_EQ(host->EditorPanel(), scenePanel);

    // Enter on a primitive does nothing; on a triangle mesh it opens the mesh editor: its panel and
    // its two modes.
    ClickNode(box);
    ASSERT_TRUE(box->IsSelected());
    Type("Return");
    ASSERT_EQ(scene->GetEditor(), scene->GetSceneEditor());
    XMeshNode* mesh = scene->CreateNode(XString(u"XTriMesh"), nullptr, u"Mesh");
    box->SetSelected(false);
    mesh->SetSelected(true);
    Type("Return");
    XBaseEditor* meshEditor = scene->GetEditor();
    ASSERT_NE(meshEditor, scene->GetSceneEditor());
    EXPECT_EQ(meshEditor->GetName(), XString(u"XTriMeshEditor"));
    EXPECT_EQ(host->EditorPanel(), meshEditor->GetEditorFrame());
    EXPECT_FALSE(scenePanel->Visible());
    ASSERT_EQ(host->ModeButtons().size(), 2u);
    EXPECT_EQ(host->ModeButtons()[1]->Caption(), u"Face");
    Type("Escape");
    ASSERT_EQ(host->EditorPanel(), scenePanel);
    EXPECT_FALSE(meshEditor->GetEditorFrame()->Visible());

    // Ctrl+D clones the selection, Ctrl+C and Ctrl+V copy and paste, Ctrl+X cuts, Delete removes
    // what is selected; Ctrl+Z with nothing to undo changes nothing.
    mesh->SetSelected(false);
    box->SetSelected(true);
    const unsigned nodes = scene->GetNodeCount();
    auto last = [&] { return scene->GetNode(scene->GetNodeCount() - 1); };
    Type("d", "Control_L");
    ASSERT_EQ(scene->GetNodeCount(), nodes + 1);
    EXPECT_FLOAT_EQ(last()->GetPosition().x, box->GetPosition().x);
    Type("z", "Control_L");
    EXPECT_EQ(scene->GetNodeCount(), nodes + 1);
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        scene->GetNode(i)->SetSelected(scene->GetNode(i) == box);
    Type("c", "Control_L");
    Type("v", "Control_L");
    ASSERT_EQ(scene->GetNodeCount(), nodes + 2);
    EXPECT_FLOAT_EQ(last()->GetPosition().x, box->GetPosition().x);
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        scene->GetNode(i)->SetSelected(scene->GetNode(i) == mesh);
    Type("x", "Control_L");
    EXPECT_EQ(scene->GetNodeCount(), nodes + 1);
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        EXPECT_NE(scene->GetNode(i), mesh);
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        scene->GetNode(i)->SetSelected(i == scene->GetNodeCount() - 1);
    Type("Delete");
    EXPECT_EQ(scene->GetNodeCount(), nodes);
}

namespace
{
// The panel's controls the keyboard reaches, in the order Tab reaches them from `first` until it
// comes back to it (at most `limit` presses).
std::vector<TWinControl*> TabCycle(PresenterWindowTest* test, TViewHostForm* host, TWinControl* first, int limit)
{
    std::vector<TWinControl*> seen;
    TBaseEditorFrame* panel = host->EditorPanel();
    for (int i = 0; i < limit; ++i)
    {
        test->probe->Key("Tab");
        test->Settle();
        TWinControl* focused = host->ActiveControl();
        if (focused == first)
            break;
        for (TControl* c = focused; c; c = c->Parent())
            if (c == panel)
            {
                seen.push_back(focused);
                break;
            }
    }
    return seen;
}
} // namespace

TEST_F(ViewHostPanelsWindowTest, TabWalksEachPanelInItsOrder)
{
    auto* scenePanel = dynamic_cast<TSceneEditorFrame*>(host->EditorPanel());
    ASSERT_NE(scenePanel, nullptr);
    ClickOn(window, scenePanel->MoveXEdit, 10, 8);
    ASSERT_TRUE(scenePanel->MoveXEdit->Focused());
    // Top to bottom: each collapsible panel's caption, then what it holds.
    std::vector<TWinControl*> expected = {scenePanel->MoveYEdit,
                                          scenePanel->MoveZEdit,
                                          scenePanel->RotationXEdit,
                                          scenePanel->RotationYEdit,
                                          scenePanel->RotationZEdit,
                                          scenePanel->ScaleXEdit,
                                          scenePanel->ScaleYEdit,
                                          scenePanel->ScaleZEdit,
                                          scenePanel->UniformScaleCheck,
                                          scenePanel->XScroll2->HeaderButton(),
                                          scenePanel->XScroll3->HeaderButton(),
                                          scenePanel->ShowHideChildAffectCheck,
                                          scenePanel->Pages,
                                          scenePanel->XScroll1->HeaderButton()};
    EXPECT_EQ(TabCycle(this, host.get(), scenePanel->MoveXEdit, 40), expected);

    // The animation panel, opened on the selected node, at a frame with keys on every track, where
    // the key boxes take input.
    box->SetSelected(true);
    box->Edit(scene);
    auto* animPanel = dynamic_cast<TAnimationEditorFrame*>(host->EditorPanel());
    ASSERT_NE(animPanel, nullptr);
    box->GetAnimation()->AddPositionKey(5, XVertex(0, 0, 0));
    box->GetAnimation()->AddRotationKey(5, XVertex(0, 0, 0));
    box->GetAnimation()->AddScaleKey(5, XVertex(1, 1, 1));
    scene->GetEditor()->SetFrame(5);
    animPanel->Refresh();
    Settle();
    ClickOn(window, animPanel->PosXEdit, 10, 8);
    ASSERT_TRUE(animPanel->PosXEdit->Focused());
    expected = {animPanel->PosYEdit,
                animPanel->PosZEdit,
                animPanel->RotXEdit,
                animPanel->RotYEdit,
                animPanel->RotZEdit,
                animPanel->ScaleXEdit,
                animPanel->ScaleYEdit,
                animPanel->ScaleZEdit,
                animPanel->UniformScaleCheck,
                animPanel->XScroll3->HeaderButton(),
                animPanel->AnimationLengthEdit,
                animPanel->ChildAffectCheck,
                animPanel->XScroll2->HeaderButton(),
                animPanel->FrameEdit,
                animPanel->XScroll1->HeaderButton()};
    EXPECT_EQ(TabCycle(this, host.get(), animPanel->PosXEdit, 40), expected);
}

TEST_F(ViewHostPanelsWindowTest, MOpensTheSkinEditorWhosePanelSetsTheRootBoneAndItsIndexes)
{
    XMeshNode* body = scene->CreateNode(XString(u"XTriMesh"), nullptr, u"Body");
    auto* skin = static_cast<XSkinModifier*>(scene->CreateObject(XString(u"XSkinModifier"), nullptr, u"Skin"));
    body->GetMesh()->AddModifier(skin);
    XBone* bones[3];
    const char16_t* names[3] = {u"Bone1", u"Bone2", u"Bone3"};
    for (int i = 0; i < 3; ++i)
        bones[i] = static_cast<XBone*>(scene->CreateObject(XString(u"XBone"), nullptr, names[i]));
    bones[0]->AddChild(bones[1]);
    bones[1]->AddChild(bones[2]);
    bones[0]->SetIndex(0xFFFFFFFF);
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        scene->GetNode(i)->SetSelected(scene->GetNode(i) == body);

    // M in the view: the skin's editor and its panel, one mode.
    host->View()->SetFocus();
    Settle();
    Type("m");
    auto* editor = dynamic_cast<XSkinEditor*>(scene->GetEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetModifier(), skin);
    auto* panel = dynamic_cast<TSkinEditorFrame*>(host->EditorPanel());
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->Showing());
    ASSERT_EQ(host->ModeButtons().size(), 1u);
    EXPECT_EQ(host->ModeButtons()[0]->Caption(), u"Weighting");

    // "Bone2" from the dropped list, "Назначить", "Назначить индексы костям" (from 1).
    ClickOn(window, panel->BoneNameCombo, 30, 10);
    ASSERT_TRUE(PumpUntil([&] { return panel->BoneNameCombo->DroppedDown(); }));
    TComboListForm* list = ShownComboList();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(panel->BoneNameCombo->ItemCount(), 3);
    const unsigned long listWindow = Vcl::NativeWindowOf(list);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(listWindow); }));
    Settle();
    probe->ClickAt(listWindow, 20, 1 + list->RowHeight() + list->RowHeight() / 2);
    ASSERT_TRUE(PumpUntil([&] { return !panel->BoneNameCombo->DroppedDown(); }));
    // The buttons below lie under the list: the server must have taken it away before they are clicked.
    ASSERT_TRUE(PumpUntil([&] { return !probe->Viewable(listWindow); }));
    ClickOn(window, panel->SetBoneBtn, 20, 10);
    EXPECT_EQ(skin->GetBone(), bones[1]);
    ClickOn(window, panel->SetupIndexesBtn, 20, 10);
    EXPECT_EQ(bones[1]->GetIndex(), 1u);
    EXPECT_EQ(bones[2]->GetIndex(), 2u);
    EXPECT_EQ(bones[0]->GetIndex(), 0xFFFFFFFFu);

    host->View()->SetFocus();
    Settle();
    Type("Escape");
    EXPECT_EQ(scene->GetEditor(), scene->GetSceneEditor());
}

TEST_F(ViewHostPanelsWindowTest, FacesArePaintedFromTheMeshPanelsColourEditor)
{
    // Enter: the mesh editor; "Face"; its tools page, "Редактор цвета вершин и граней".
    const float h = 3;
    XMeshNode* quad = EditNewQuad(h);
    XMesh* mesh = static_cast<XTriMesh*>(quad->GetMesh())->GetMesh();
    XBaseEditor* meshEditor = scene->GetEditor();
    ASSERT_EQ(meshEditor->GetName(), XString(u"XTriMeshEditor"));
    auto* triPanel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(triPanel, nullptr);
    ClickOn(window, host->ModeButtons()[1], 20, 10);
    ASSERT_EQ(meshEditor->GetMode(), 1);
    triPanel->PageControl->SetActivePage(triPanel->ToolsTab);
    Settle();
    ClickOn(window, triPanel->VertexColorBtn, 20, 10);
    auto* painter = dynamic_cast<XVertexColorEditor*>(scene->GetEditor());
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(painter->GetMode(), 1);
    auto* colorPanel = dynamic_cast<TVertexColorEditorFrame*>(host->EditorPanel());
    ASSERT_NE(colorPanel, nullptr);
    EXPECT_TRUE(colorPanel->Showing());

    // R to 255 by dragging its thumb past the end.
    TTrackBar* red = colorPanel->ColorEdit->Bar(0);
    const TRect thumb = red->ThumbRect();
    const TPoint from = red->FormOrigin();
    const int y = from.y + thumb.top + thumb.Height() / 2;
    probe->MoveTo(window, from.x + thumb.left + thumb.Width() / 2, y);
    probe->Button(1, true);
    probe->MoveTo(window, from.x + red->Width() + 20, y);
    probe->Button(1, false);
    Settle();
    ASSERT_EQ(painter->GetPaintColor().GetARGB(), 0x00FF0000u);

    // A click on the first face in the top viewport, then Escape back to the mesh editor.
    const TPoint face = ShownAt(XVertex(-1.0f / 3, h, -1.0f / 3));
    probe->ClickAt(window, face.x, face.y);
    Settle();
    host->View()->SetFocus();
    Settle();
    Type("Escape");
    EXPECT_EQ(scene->GetEditor(), meshEditor);
    ASSERT_EQ(mesh->GetColorCount(), 4u);
    for (uint32_t corner : {0u, 1u, 2u})
        EXPECT_EQ(mesh->GetColors()[corner].GetARGB(), 0x00FF0000u) << corner;
    EXPECT_NE(mesh->GetColors()[3].GetARGB(), 0x00FF0000u);
}

TEST_F(ViewHostPanelsWindowTest, TheMeshPanelScrollsToItsLastSectionsAtTheDefaultSize)
{
    // The scene panel fits its column: no bar.
    ASSERT_NE(host->EditorPanel(), nullptr);
    EXPECT_FALSE(host->EditorPanel()->WindowStyle() & WS_VSCROLL);
    XMeshNode* quad = scene->CreateNode(XString(u"XTriMesh"), nullptr, u"Quad");
    for (unsigned i = 0; i < scene->GetNodeCount(); ++i)
        scene->GetNode(i)->SetSelected(scene->GetNode(i) == quad);
    host->View()->SetFocus();
    Settle();
    Type("Return");
    auto* panel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(host->ClientHeight(), 600 + TViewHostForm::ButtonRow);
    auto seen = [&](TControl* control, TWinControl* page) { return Seen(panel, control, page); };
    ASSERT_TRUE(panel->WindowStyle() & WS_VSCROLL);
    EXPECT_FALSE(seen(panel->XScroll10, panel->VerticesTab));

    // The wheel over a section's caption (right of the boxes that pass under it and take the wheel
    // themselves) scrolls the panel to its end, where the last section shows.
    const TPoint caption = panel->XScroll7->FormOrigin();
    probe->MoveTo(window, caption.x + 180, caption.y + 8);
    probe->Wheel(-60);
    ASSERT_TRUE(PumpUntil([&] { return panel->VertPosition() == panel->VertRange() - panel->ClientHeight(); }));
    EXPECT_TRUE(seen(panel->XScroll10, panel->VerticesTab));
    // The range ends with the page shown, a margin below its last section.
    const int lastBottom = panel->XScroll10->FormOrigin().y + panel->XScroll10->Height() - panel->FormOrigin().y;
    EXPECT_GT(panel->ClientHeight() - lastBottom, 0);
    EXPECT_LT(panel->ClientHeight() - lastBottom, 20);
    EXPECT_TRUE(seen(panel->XScroll8, panel->VerticesTab));
    // Its button takes a click where it shows.
    ClickOn(window, panel->VertexExtrudeDistanceEdit, 10, 8);
    EXPECT_TRUE(panel->VertexExtrudeDistanceEdit->Focused());

    // The faces page's list of saved selections shows whole; the range is measured again.
    Type("Tab", "Control_L");
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->FacesTab);
    EXPECT_TRUE(seen(panel->SelectionList, panel->FacesTab));
    const int facesRange = panel->VertRange();
    EXPECT_GT(facesRange, panel->ClientHeight());
    // The focus coming back to the page control from the name box of a saved selection leaves
    // the list where the user works.
    const int position = panel->VertPosition();
    AnswerNameBox(panel, {"Escape"});
    EXPECT_TRUE(panel->PageControl->Focused());
    EXPECT_EQ(panel->VertPosition(), position);
    EXPECT_TRUE(seen(panel->SelectionList, panel->FacesTab));
    // A page that fits shows no bar and fills the panel; a long one brings the bar back.
    Type("Tab", "Control_L");
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->ToolsTab);
    EXPECT_FALSE(panel->WindowStyle() & WS_VSCROLL);
    EXPECT_EQ(panel->VertPosition(), 0);
    EXPECT_EQ(panel->PageControl->BoundsRect().bottom, panel->ClientHeight());
    Type("Tab", "Control_L");
    Type("Tab", "Control_L");
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->VerticesTab);
    EXPECT_TRUE(panel->WindowStyle() & WS_VSCROLL);
    // Closing sections shortens the page until it fits.
    for (XScroll* section : {panel->XScroll2, panel->XScroll8, panel->XScroll7})
        section->SetOpen(false);
    Settle();
    EXPECT_FALSE(panel->WindowStyle() & WS_VSCROLL);
    for (XScroll* section : {panel->XScroll2, panel->XScroll8, panel->XScroll7})
        section->SetOpen(true);
    Settle();
    EXPECT_TRUE(panel->WindowStyle() & WS_VSCROLL);
    Type("Tab", "Control_L");
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->FacesTab);
    EXPECT_EQ(panel->VertRange(), facesRange);
    // Back up by the wheel over the bar; then Tab to a box out of sight brings it into view.
    WheelPanel(panel, false);
    ClickTab(panel->PageControl, 0);
    ASSERT_EQ(panel->PageControl->ActivePage(), panel->VerticesTab);
    ClickOn(window, panel->MergeRadiusEdit, 10, 8);
    ASSERT_TRUE(panel->MergeRadiusEdit->Focused());
    for (int i = 0; i < 20 && !panel->VertexExtrudeDistanceEdit->Focused(); ++i)
        Type("Tab");
    ASSERT_TRUE(panel->VertexExtrudeDistanceEdit->Focused());
    EXPECT_TRUE(seen(panel->VertexExtrudeDistanceEdit, panel->VerticesTab));

    // Back at the top with "Веса" closed, the first scale box shows a sliver at the panel's bottom;
    // nine Tabs from "Радиус:" reach it, and the least scroll shows it whole: its bottom at the
    // panel's. The rest of its row then shows and the panel stands.
    WheelPanel(panel, false);
    ClickOn(window, panel->XScroll2->HeaderButton(), 20, 8);
    ASSERT_FALSE(panel->XScroll2->Open());
    ASSERT_EQ(panel->VertPosition(), 0);
    ClickOn(window, panel->MergeRadiusEdit, 10, 8);
    ASSERT_TRUE(panel->MergeRadiusEdit->Focused());
    auto topInPanel = [&](TControl* control) { return TopInPanel(panel, control); };
    const int sliver = panel->ClientHeight() - topInPanel(panel->ScaleXEdit);
    ASSERT_GT(sliver, 0);
    ASSERT_LT(sliver, panel->ScaleXEdit->Height());
    auto tab = [&]
    {
        TWinControl* before = host->ActiveControl();
        probe->Key("Tab");
        return PumpUntil([&] { return host->ActiveControl() != before; });
    };
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(tab()) << i;
    ASSERT_TRUE(panel->ScaleXEdit->Focused());
    EXPECT_TRUE(seen(panel->ScaleXEdit, panel->VerticesTab));
    EXPECT_EQ(topInPanel(panel->ScaleXEdit) + panel->ScaleXEdit->Height(), panel->ClientHeight());
    const int scrolledTo = panel->VertPosition();
    EXPECT_EQ(scrolledTo, panel->ScaleXEdit->Height() - sliver);
    for (XFloatEdit* next : {panel->ScaleYEdit, panel->ScaleZEdit})
    {
        ASSERT_TRUE(tab());
        ASSERT_TRUE(next->Focused());
        EXPECT_TRUE(seen(next, panel->VerticesTab));
        EXPECT_EQ(panel->VertPosition(), scrolledTo);
    }
}

TEST_F(ViewHostPanelsWindowTest, TheMeshPanelsRangeFollowsItsSectionsInEveryOrder)
{
    EditNewQuad(3.0f);
    auto* panel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(panel, nullptr);
    TPageControl* pages = panel->PageControl;
    XStdButton* weights = panel->XScroll2->HeaderButton();

    // "Веса" closed by a click on its bar: the panel wheels no further than its last section.
    ClickOn(window, weights, 20, 8);
    ASSERT_FALSE(panel->XScroll2->Open());
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "closed by a click");

    // Still closed, the other page and back, then opened again: every control is in reach, and
    // Tab from its bar to the last box shows each one it stops on.
    WheelPanel(panel, false);
    ClickTab(pages, 1);
    ClickTab(pages, 0);
    ASSERT_EQ(pages->ActivePage(), panel->VerticesTab);
    ClickOn(window, weights, 20, 8);
    ASSERT_TRUE(panel->XScroll2->Open());
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "opened after a page switch");
    WheelPanel(panel, false);
    weights->SetFocus();
    for (int i = 0; i < 40 && !panel->VertexExtrudeDistanceEdit->Focused(); ++i)
    {
        Type("Tab");
        EXPECT_TRUE(Seen(panel, host->ActiveControl(), panel->VerticesTab)) << i;
    }
    EXPECT_TRUE(panel->VertexExtrudeDistanceEdit->Focused());

    // Space and Enter on a focused bar, with the window made lower in between and then higher.
    const int width = host->ClientWidth(), height = host->ClientHeight();
    XStdButton* transform = panel->XScroll8->HeaderButton();
    WheelPanel(panel, false);
    transform->SetFocus();
    Type("space");
    ASSERT_FALSE(panel->XScroll8->Open());
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "closed by Space");
    probe->ResizeWindow(window, width, height - 120);
    ASSERT_TRUE(PumpUntil([&] { return host->ClientHeight() == height - 120; }));
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "the window lower");
    transform->SetFocus();
    Type("Return");
    ASSERT_TRUE(panel->XScroll8->Open());
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "opened by Enter");
    probe->ResizeWindow(window, width, height);
    ASSERT_TRUE(PumpUntil([&] { return host->ClientHeight() == height; }));
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "the window higher again");

    // Closed from code at the end of the range: the shorter range brings the panel to its new end.
    panel->XScroll7->SetOpen(false);
    Settle();
    EXPECT_EQ(panel->VertPosition(), std::max(0, panel->VertRange() - panel->ClientHeight()));
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "closed from code");
    panel->XScroll7->SetOpen(true);
    ExpectRangeEndsAtLowest(panel, panel->VerticesTab, "opened from code");

    // The faces page's sections as well.
    WheelPanel(panel, false);
    ClickTab(pages, 1);
    ASSERT_EQ(pages->ActivePage(), panel->FacesTab);
    ClickOn(window, panel->XScroll1->HeaderButton(), 20, 8);
    ASSERT_FALSE(panel->XScroll1->Open());
    ExpectRangeEndsAtLowest(panel, panel->FacesTab, "a faces section closed");
    panel->XScroll1->HeaderButton()->SetFocus();
    Type("space");
    ASSERT_TRUE(panel->XScroll1->Open());
    ExpectRangeEndsAtLowest(panel, panel->FacesTab, "a faces section opened");
}

TEST_F(ViewHostPanelsWindowTest, TheSceneAndAnimationPanelsKeepTheirSectionsInReach)
{
    // The scene panel fits its column with every section open; closed, then the other page and
    // back, then opened again, its last section still shows whole.
    auto* scenePanel = dynamic_cast<TSceneEditorFrame*>(host->EditorPanel());
    ASSERT_NE(scenePanel, nullptr);
    TPageControl* pages = scenePanel->Pages;
    ClickOn(window, scenePanel->XScroll1->HeaderButton(), 20, 8);
    ASSERT_FALSE(scenePanel->XScroll1->Open());
    ClickTab(pages, 1);
    ClickTab(pages, 0);
    ASSERT_EQ(pages->ActivePage(), scenePanel->TransformTab);
    ClickOn(window, scenePanel->XScroll1->HeaderButton(), 20, 8);
    ASSERT_TRUE(scenePanel->XScroll1->Open());
    ExpectRangeEndsAtLowest(scenePanel, scenePanel->TransformTab, "opened after a page switch");

    // The animation panel in a window too low for it scrolls, and its range follows its sections.
    box->SetSelected(true);
    box->Edit(scene);
    auto* animPanel = dynamic_cast<TAnimationEditorFrame*>(host->EditorPanel());
    ASSERT_NE(animPanel, nullptr);
    const int width = host->ClientWidth(), height = host->ClientHeight();
    probe->ResizeWindow(window, width, 440);
    ASSERT_TRUE(PumpUntil([&] { return host->ClientHeight() == 440; }));
    Settle();
    ASSERT_TRUE(animPanel->WindowStyle() & WS_VSCROLL);
    ExpectRangeEndsAtLowest(animPanel, animPanel, "all open");
    WheelPanel(animPanel, false);
    ClickOn(window, animPanel->XScroll2->HeaderButton(), 20, 8);
    ASSERT_FALSE(animPanel->XScroll2->Open());
    ExpectRangeEndsAtLowest(animPanel, animPanel, "closed by a click");
    animPanel->XScroll2->HeaderButton()->SetFocus();
    Type("space");
    ASSERT_TRUE(animPanel->XScroll2->Open());
    ExpectRangeEndsAtLowest(animPanel, animPanel, "opened by Space");
    probe->ResizeWindow(window, width, height);
    ASSERT_TRUE(PumpUntil([&] { return host->ClientHeight() == height; }));
    Settle();
    EXPECT_FALSE(animPanel->WindowStyle() & WS_VSCROLL);
    EXPECT_EQ(animPanel->VertPosition(), 0);
}

TEST_F(ViewHostPanelsWindowTest, AFocusGivenBackLeavesTheMeshPanelWhereItStands)
{
    EditNewQuad(3.0f);
    auto* panel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(panel, nullptr);
    TPageControl* pages = panel->PageControl;

    // From the panel's top: the faces page, whose page control reaches below the panel. A click on
    // its tab, with the focus on a box of the page, gives the page control the focus where it
    // shows: on its tabs, in view.
    ClickTab(pages, 1);
    ASSERT_EQ(pages->ActivePage(), panel->FacesTab);
    ASSERT_EQ(panel->VertPosition(), 0);
    ASSERT_GT(TopInPanel(panel, pages) + pages->Height(), panel->ClientHeight());
    ClickOn(window, panel->FaceExtrudeDistanceEdit, 10, 8);
    ASSERT_TRUE(panel->FaceExtrudeDistanceEdit->Focused());
    ClickTab(pages, 1);
    EXPECT_TRUE(pages->Focused());
    EXPECT_EQ(panel->VertPosition(), 0);

    // The name box of a saved selection, closed by Enter and by Escape: the focus comes back to
    // the page control and the panel stands.
    using Keys = std::initializer_list<const char*>;
    for (Keys keys : {Keys{"a", "Return"}, Keys{"Escape"}})
    {
        SCOPED_TRACE(*(keys.end() - 1));
        AnswerNameBox(panel, keys);
        EXPECT_TRUE(pages->Focused());
        EXPECT_EQ(panel->VertPosition(), 0);
    }

    // The window left and activated again by a click on a label: the focus comes back, the panel
    // stands.
    probe->FocusElsewhere();
    ASSERT_TRUE(PumpUntil([&] { return !pages->Focused(); }));
    ClickOn(window, panel->Label1, 5, 5);
    ASSERT_TRUE(PumpUntil([&] { return pages->Focused(); }));
    Settle();
    EXPECT_EQ(panel->VertPosition(), 0);

    // A box keeps its caret after "0." through the name box: "5" typed then goes in there.
    XFloatEdit* distance = panel->FaceExtrudeDistanceEdit;
    ClickOn(window, distance, 10, 8);
    for (const char* key : {"Home", "Right", "Right"})
        Type(key);
    AnswerNameBox(panel, {"Escape"});
    Type("5");
    EXPECT_FLOAT_EQ(distance->Value(), 0.5f);

    // Shift+Tab from the first section's bar onto the page control whose tabs lie just above the
    // view brings exactly its row of tabs in; from a box onto a caption bar just above the view,
    // exactly the bar.
    ClickTab(pages, 0);
    ASSERT_EQ(pages->ActivePage(), panel->VerticesTab);
    XStdButton* weights = panel->XScroll2->HeaderButton();
    const int tabsAt = panel->VertPosition() + TopInPanel(panel, pages);
    panel->SetVertPosition(tabsAt + pages->TabHeight() + 2);
    Settle();
    weights->SetFocus();
    const int barAt = panel->VertPosition() + TopInPanel(panel, weights);
    Type("Tab", "Shift_L");
    ASSERT_TRUE(pages->Focused());
    EXPECT_EQ(panel->VertPosition(), tabsAt);
    EXPECT_EQ(TopInPanel(panel, pages), 0);
    panel->SetVertPosition(barAt + weights->Height() + 2);
    Settle();
    ClickOn(window, panel->Bone1WeightEdit, 10, 8);
    ASSERT_TRUE(panel->Bone1WeightEdit->Focused());
    ASSERT_EQ(panel->VertPosition(), barAt + weights->Height() + 2);
    Type("Tab", "Shift_L");
    ASSERT_TRUE(weights->Focused());
    EXPECT_EQ(panel->VertPosition(), barAt);
}

TEST_F(ViewHostPanelsWindowTest, RandomInputKeepsThePanelOfTheCurrentEditor)
{
    // Questions answered at random, names typed as "R"; no right button (its menu waits).
    BoxRecorder boxes;
    Vcl::InputQueryHandler previous = Vcl::SetInputQueryHandler(
        [](const UnicodeString&, const UnicodeString&, UnicodeString& value)
        {
            value = u"R";
            return true;
        });
    box->SetSelected(true);
    const int width = host->ClientWidth(), height = host->ClientHeight();
    std::mt19937 random(3333);
    const char* keys[] = {"Escape", "Delete", "Return", "a", "Tab", "1", "space", "Down"};
    const char* held[] = {"d", "c", "v", "x", "z"};
    for (int i = 0; i < 1000; ++i)
    {
        boxes.answer = random() % 2 ? IDYES : IDNO;
        int x = static_cast<int>(random() % static_cast<unsigned>(width));
        int y = static_cast<int>(random() % static_cast<unsigned>(height));
        switch (random() % 5)
        {
        case 0: probe->ClickAt(window, x, y); break;
        case 1: probe->MoveTo(window, x, y); break;
        case 2: probe->Key(held[random() % 5], "Control_L"); break;
        default: probe->Key(keys[random() % 8]); break;
        }
        if (i % 50 == 0)
            Settle();
    }
    Settle();
    Vcl::SetInputQueryHandler(previous);
    EXPECT_TRUE(host->Visible());
    XBaseEditor* editor = scene->GetEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(host->EditorPanel(), editor->GetEditorFrame());
    if (host->EditorPanel())
    {
        EXPECT_TRUE(host->EditorPanel()->Showing());
    }
    EXPECT_EQ(host->ModeButtons().size(), editor->GetModeCount());
}

TEST_F(ViewHostPanelsWindowTest, ALoadedSceneShowsWithThePanelOfItsEditor)
{
    // The host's own scene, moved and saved, loaded into a second host: the nodes come back and the
    // scene editor's panel shows beside the view.
    XMatrix at(1.0f);
    at.SetTranslation(3.0f, 1.0f, 0.0f);
    box->SetMatrix(at);
    const std::filesystem::path file = dir.Path() / "host.xscene";
    scene->SaveToFile(XString(file.u16string().c_str()));
    const unsigned nodes = scene->GetNodeCount();
    host.reset();

    ViewSceneOptions none = TViewHostForm::HostSceneOptions();
    none.boxes = 0;
    none.extras = false;
    host = std::make_unique<TViewHostForm>(nullptr, dir.Path(), none);
    host->ShowEditorPanels();
    host->LoadScene(file);
    host->Show();
    window = Vcl::NativeWindowOf(host.get());
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    Settle();
    scene = host->Scene();
    ASSERT_EQ(scene->GetNodeCount(), nodes);
    EXPECT_FLOAT_EQ(scene->GetNode(0)->GetPosition().x, 3.0f);
    auto* panel = dynamic_cast<TSceneEditorFrame*>(host->EditorPanel());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel, scene->GetSceneEditor()->GetEditorFrame());
    EXPECT_TRUE(panel->Showing());
    EXPECT_EQ(host->ModeButtons().size(), 3u);
}

// A display wide enough for the view and the whole panel column beside it (its right edge included).
class ViewHostPanelPicturesWindowTest : public ViewHostPanelsWindowTest
{
public:
    ViewHostPanelPicturesWindowTest() : ViewHostPanelsWindowTest(1100, 900) {}
};

TEST_F(ViewHostPanelPicturesWindowTest, EachPanelInTheHostShowsItsPicture)
{
    // The part of the window a panel covers: read back from the server at sampled points it is
    // the form's own picture, and the whole of it is compared with the panel's reference image.
    auto expectPanelPicture = [&](TControl* panel, const std::string& reference) {
        const TPoint at = panel->FormOrigin();
        const int formWidth = host->ClientWidth();
        const int width = std::min(panel->Width(), formWidth - at.x);
        const int height = std::min(panel->Height(), host->ClientHeight() - at.y);
        ASSERT_GT(width, 0);
        ASSERT_GT(height, 0);
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                    host->Pixels()[static_cast<size_t>(at.y + y) * static_cast<size_t>(formWidth) +
                                   static_cast<size_t>(at.x + x)] &
                    0xFFFFFF;
        for (int y = 1; y < height; y += 7)
            for (int x = 1; x < width; x += 5)
                ASSERT_EQ(probe->ReadPixel(window, at.x + x, at.y + y) & 0xFFFFFF,
                          pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)])
                    << reference << " " << x << "," << y;
        EXPECT_EQ(ReferenceImage::Compare(reference, pixels, static_cast<uint32_t>(width),
                                          static_cast<uint32_t>(height), 8),
                  "");
    };

    auto* scenePanel = dynamic_cast<TSceneEditorFrame*>(host->EditorPanel());
    ASSERT_NE(scenePanel, nullptr);
    expectPanelPicture(scenePanel, "tests/Engine/Editors/data/host_scene_panel.png");

    // The animation panel in its place, on the selected node at a frame with keys.
    box->SetSelected(true);
    box->GetAnimation()->AddPositionKey(5, XVertex(1, 2, 3));
    box->Edit(scene);
    auto* animPanel = dynamic_cast<TAnimationEditorFrame*>(host->EditorPanel());
    ASSERT_NE(animPanel, nullptr);
    scene->GetEditor()->SetFrame(5);
    animPanel->Refresh();
    Settle();
    ASSERT_TRUE(animPanel->Showing());
    expectPanelPicture(animPanel, "tests/Engine/Editors/data/host_animation_panel.png");
}

TEST_F(ViewHostPanelPicturesWindowTest, TheFirstClickAfterTheColourDialogOpenedByAPressGoesWhereItIsMade)
{
    // The quad's colour editor, from the mesh editor's tools page.
    XMeshNode* quad = EditNewQuad(3);
    XMesh* mesh = static_cast<XTriMesh*>(quad->GetMesh())->GetMesh();
    auto* triPanel = dynamic_cast<TTriEditorFrame*>(host->EditorPanel());
    ASSERT_NE(triPanel, nullptr);
    triPanel->PageControl->SetActivePage(triPanel->ToolsTab);
    Settle();
    ClickOn(window, triPanel->VertexColorBtn, 20, 10);
    auto* painter = dynamic_cast<XVertexColorEditor*>(scene->GetEditor());
    ASSERT_NE(painter, nullptr);
    auto* colorPanel = dynamic_cast<TVertexColorEditorFrame*>(host->EditorPanel());
    ASSERT_NE(colorPanel, nullptr);
    const TRect sample = colorPanel->ColorEdit->SampleRect();

    // The sample opens the dialog as the button goes down; its release comes while the dialog is
    // up. Closed by keys or by the window manager, the dialog leaves the next click to the button
    // under the pointer: one click paints every vertex.
    const struct
    {
        const char* name;
        std::function<void(unsigned long dialog)> close;
        bool red; // the colour chosen in the dialog, else the one the editor had
    } cases[] = {
        {"Up four times and Enter",
         [&](unsigned long)
         {
             for (const char* key : {"Up", "Up", "Up", "Up", "Return"})
                 probe->Key(key);
         },
         true},
        {"Escape", [&](unsigned long) { probe->Key("Escape"); }, false},
        {"closed by the window manager", [&](unsigned long dialog) { probe->RequestClose(dialog); }, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        colorPanel->ColorEdit->SetColor(clBlack);
        painter->SetPaintColor(colorPanel->ColorEdit->GetXColor());
        painter->SetAllColors(XColor(0xFFFFFFFF));
        TTimer timer(nullptr);
        timer.SetInterval(20);
        ModalBoxDriver<TColorDialogForm> driver;
        driver.ready = [&](TColorDialogForm*, unsigned long dialog)
        { return probe->Viewable(dialog) && probe->HasFocus(dialog); };
        driver.act = [&](TColorDialogForm*, unsigned long dialog) { c.close(dialog); };
        driver.timer = &timer;
        timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TColorDialogForm>::Tick);
        ClickOn(window, colorPanel->ColorEdit, (sample.left + sample.right) / 2, (sample.top + sample.bottom) / 2);
        timer.SetEnabled(false);
        ASSERT_TRUE(driver.acted);
        const uint32_t paint = painter->GetPaintColor().GetARGB();
        EXPECT_EQ((paint & 0xFFFFFF) == 0xFF0000, c.red) << std::hex << paint;

        ClickOn(window, colorPanel->SpeedButton4, 20, 10);
        ASSERT_EQ(mesh->GetColorCount(), 4u);
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(mesh->GetColors()[i].GetARGB(), paint) << i;
    }
}
