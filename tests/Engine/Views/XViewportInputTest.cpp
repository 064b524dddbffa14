#include "Engine/Views/XViewportInput.h"

#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "tests/support/MathChecks.h"
#include "tests/support/RecordingEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{
// A popup menu that notes where it was asked to show instead of showing.
class NotedMenu : public TPopupMenu
{
public:
    using TPopupMenu::TPopupMenu;
    void Popup(int x, int y) override { shown.push_back(std::to_string(x) + "," + std::to_string(y)); }
    std::vector<std::string> shown;
};

// A 300 x 200 view in its 2 x 2 layout with a scene and a recording editor; V0's client area is
// (2, 2) - (146, 96) of its 148 x 98: a picture of 144 x 94 whose points are the control's less 2.
struct NavHost
{
    TForm form{nullptr};
    XView* view;
    XViewport* v0;
    XScene scene{nullptr};
    RecordingEditor* editor;
    NavHost()
    {
        form.SetBounds(0, 0, 340, 240);
        view = new XView(&form);
        view->SetParent(&form);
        view->SetBounds(0, 0, 300, 200);
        form.Show();
        v0 = view->GetViewport(0);
        editor = new RecordingEditor(&scene, u"Recorder");
        scene.AddEditor(editor);
        scene.SetEditor(editor);
        editor->calls.clear();
        Platform::ResetKeyStates();
    }
    ~NavHost() { Platform::ResetKeyStates(); }
    XMatrix World()
    {
        XMatrix m;
        v0->GetCamera()->GetMatrix(0, m);
        return m;
    }
    void Press(int x, int y, UINT message = WM_LBUTTONDOWN, WPARAM keys = MK_LBUTTON)
    {
        v0->Perform(message, keys, MAKELPARAM(x, y));
    }
    void Drag(int x, int y) { v0->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Release(int x, int y) { v0->Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
};

XMatrix Rotation(float x, float y, float z)
{
    XMatrix r;
    r.SetRotation(x, y, z);
    return r;
}
} // namespace

TEST(XViewportInputTest, ButtonsAndShiftStatesConvertByTheirTables)
{
    EXPECT_EQ(XMouseEventFromButton(mbLeft, true), 0x01u);
    EXPECT_EQ(XMouseEventFromButton(mbLeft, false), 0x02u);
    EXPECT_EQ(XMouseEventFromButton(mbMiddle, true), 0x04u);
    EXPECT_EQ(XMouseEventFromButton(mbMiddle, false), 0x08u);
    EXPECT_EQ(XMouseEventFromButton(mbRight, true), 0x10u);
    EXPECT_EQ(XMouseEventFromButton(mbRight, false), 0x20u);
    EXPECT_EQ(XMouseEventFromButton(static_cast<TMouseButton>(7), true), 0u);
    struct Row
    {
        TShiftStateItem item;
        int x;
        int gx;
    };
    const Row rows[] = {{ssCtrl, 0x01, 0x10}, {ssShift, 0x02, 0x08}, {ssAlt, 0x04, 0x20},
                        {ssLeft, 0x08, 0x01}, {ssRight, 0x10, 0x04}, {ssMiddle, 0x20, 0x02},
                        {ssDouble, 0, 0}};
    TShiftState all;
    for (const Row& r : rows)
    {
        SCOPED_TRACE(r.item);
        EXPECT_EQ(ToXShiftState(TShiftState{r.item}), r.x);
        EXPECT_EQ(ToGxShiftState(TShiftState{r.item}), r.gx);
        all << r.item;
    }
    EXPECT_EQ(ToXShiftState(all), 0x3F);
    EXPECT_EQ(ToGxShiftState(all), 0x3F);
    EXPECT_EQ(ToGxShiftState(TShiftState{ssShift, ssCtrl}), 0x18);
}

TEST(XViewportInputTest, PanTurnRollOrbitAndZoomMoveTheCameraAsComputed)
{
    using namespace XNavigation;
    // A camera turned a quarter about Y and standing at (5, 2, -7).
    XMatrix world;
    world.SetRotation(0.0f, 1.5707964f, 0.0f);
    world.m[3][0] = 5.0f;
    world.m[3][1] = 2.0f;
    world.m[3][2] = -7.0f;
    XMatrix view;
    world.Inverse(view);
    const XVertex position(5.0f, 2.0f, -7.0f);
    const XVertex ownX(world.m[0][0], world.m[0][1], world.m[0][2]);

    // Pan: one pixel right in a 200-wide orthographic view with P[0][0] = 0.01 is 2 / (200 * 0.01)
    // units; the camera moves that far against its own x.
    const float p00 = 0.01f;
    XVertex b(0.0f, 0.0f, 1.0f);
    XVertex a(2.0f / (200.0f * p00), 0.0f, 1.0f);
    XMatrix panned = Pan(world, a, b);
    ExpectVertex(Apply(panned, XVertex(0, 0, 0)), position - ownX * 1.0f, 1e-5f);

    // Turn: 10 pixels to the right from the centre inside the trackball: 5 degrees (pi 3.14)
    // about the camera's own Y, in place.
    XMatrix r = TurnRotation(true, XPoint(110, 50), XPoint(100, 50), a, b);
    XMatrix expected;
    expected.SetRotation(0.0f, 5.0f * 3.14f / 180.0f, 0.0f);
    EXPECT_LT(MaxDiff(r, expected), 1e-6f);
    XMatrix turned = Turn(world, view, r);
    ExpectVertex(Apply(turned, XVertex(0, 0, 0)), position, 1e-4f);
    XMatrix direct = r * world;
    EXPECT_LT(MaxDiff(turned, direct), 1e-5f);

    // Roll outside the trackball: about Z only, by the change of angle from the last point to this
    // one, without a jump across the vertical through the centre.
    XMatrix roll = TurnRotation(false, XPoint(0, 0), XPoint(0, 0), XVertex(-0.01f, 1.0f, 1.0f),
                                XVertex(0.01f, 1.0f, 1.0f));
    float rz = std::atan2(roll.m[0][1], roll.m[0][0]);
    EXPECT_NEAR(rz, -0.02f, 1e-4f);
    EXPECT_FLOAT_EQ(roll.m[2][2], 1.0f); // nothing about X or Y
    XMatrix still = TurnRotation(false, XPoint(0, 0), XPoint(9, 9), XVertex(0, 0, 1), XVertex(1, 1, 1));
    EXPECT_LT(MaxDiff(still, XMatrix(1.0f)), 1e-7f);
    XMatrix half = TurnRotation(false, XPoint(0, 0), XPoint(0, 0), XVertex(-1, 0, 1), XVertex(1, 0, 1));
    EXPECT_NEAR(std::fabs(std::atan2(half.m[0][1], half.m[0][0])), 3.14159f, 1e-4f);

    // Orbit about k keeps the camera's distance to k.
    XVertex k(1.0f, 0.0f, 3.0f);
    XMatrix orbited = Orbit(world, expected, k);
    XVertex moved = Apply(orbited, XVertex(0, 0, 0));
    auto distance = [](XVertex p, XVertex q)
    { return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z)); };
    EXPECT_NEAR(distance(moved, k), distance(position, k), 1e-4f);
    EXPECT_GT(distance(moved, position), 0.1f);

    // Trackball and zoom.
    XMatrix projection(1.0f);
    projection.m[0][0] = 2.0f;
    EXPECT_FLOAT_EQ(TrackballRadius(200, 100, projection), 100.0f * 1.01f / 400.0f);
    projection.m[0][0] = -2.0f;
    EXPECT_FLOAT_EQ(TrackballRadius(200, 100, projection), 100.0f * 1.01f / 400.0f);
    EXPECT_TRUE(InsideTrackball(XVertex(0.1f, 0.2f, 1.0f), 0.25f));
    EXPECT_FALSE(InsideTrackball(XVertex(0.2f, 0.2f, 1.0f), 0.25f));
    float f = 0.0f;
    ASSERT_TRUE(ZoomFactor(XVertex(0, 0.3f, 1), XVertex(0, 0.1f, 1), 0.5f, f));
    EXPECT_FLOAT_EQ(f, 0.2f / 0.5f + 1.0f);
    f = 7.0f;
    EXPECT_FALSE(ZoomFactor(XVertex(0, 1, 1), XVertex(0, 0, 1), 0.0f, f));
    EXPECT_FALSE(ZoomFactor(XVertex(0, 1, 1), XVertex(0, 0, 1), std::numeric_limits<float>::quiet_NaN(), f));
    EXPECT_FALSE(ZoomFactor(XVertex(0, 1, 1), XVertex(0, 0, 1), std::numeric_limits<float>::infinity(), f));
    EXPECT_FLOAT_EQ(f, 7.0f);
}

TEST(XViewportInputTest, PressesFocusActivateAndReachTheViewOrTheEditor)
{
    NavHost host;
    XView* view = host.view;
    struct Notes
    {
        std::vector<std::string> lines;
        void Down(TObject* sender, TMouseButton, TShiftState, int x, int y)
        {
            (void)sender;
            lines.push_back("down " + std::to_string(x) + "," + std::to_string(y));
        }
        void Enter(TObject*, XViewport*) { lines.push_back("enter"); }
        void Leave(TObject*, XViewport*) { lines.push_back("leave"); }
    } notes;
    view->OnMouseDown = MakeClosure(&notes, &Notes::Down);
    view->OnViewportEnter = MakeClosure(&notes, &Notes::Enter);
    view->OnViewportLeave = MakeClosure(&notes, &Notes::Leave);

    // Edit mode without a scene: nothing, not even the last navigation point.
    XViewport* v3 = view->GetViewport(3);
    v3->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 30));
    EXPECT_TRUE(view->Focused());
    EXPECT_EQ(notes.lines, (std::vector<std::string>{"down 20,30", "leave", "enter"}));
    EXPECT_EQ(view->GetActiveViewport(), v3);
    EXPECT_TRUE(v3->GetLeftHeld());
    v3->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 50));
    v3->Perform(WM_LBUTTONUP, 0, MAKELPARAM(40, 50));
    EXPECT_FALSE(v3->GetLeftHeld());
    EXPECT_EQ(view->GetActiveViewport(), v3); // a release changes nothing
    EXPECT_FLOAT_EQ(v3->GetLastNavigationPoint().x, 0.0f);
    EXPECT_FLOAT_EQ(v3->GetMousePoint().x, 38.0f); // in the picture, inside the frame

    // With a scene, edit mode hands every event to its editor.
    view->SetScene(&host.scene);
    host.Press(10, 12);
    host.Drag(11, 12);
    host.Release(11, 12);
    EXPECT_EQ(host.editor->calls,
              (std::vector<std::string>{"MouseEvent 1 8 10 8", "MouseEvent 64 9 10 8", "MouseEvent 2 9 10 0"}));

    // A right press while panning switches to edit mode and reaches no editor; what follows does.
    view->SetTransformType(XTT_MOVE);
    host.editor->calls.clear();
    host.Press(30, 30, WM_RBUTTONDOWN, MK_RBUTTON);
    EXPECT_EQ(view->GetTransformType(), XTT_EDIT);
    EXPECT_TRUE(host.editor->calls.empty());
    host.v0->Perform(WM_RBUTTONUP, 0, MAKELPARAM(30, 30));
    EXPECT_EQ(host.editor->calls, (std::vector<std::string>{"MouseEvent 32 28 28 0"}));

    // The context menu: not while the left or middle button is held, at the screen point else.
    NotedMenu menu(nullptr);
    view->SetPopupMenu(&menu);
    const LPARAM at = MAKELPARAM(321, 123);
    host.Press(5, 5);
    EXPECT_EQ(host.v0->Perform(WM_CONTEXTMENU, 0, at), 1);
    host.Release(5, 5);
    host.Press(5, 5, WM_MBUTTONDOWN, MK_MBUTTON);
    host.v0->Perform(WM_CONTEXTMENU, 0, at);
    host.v0->Perform(WM_MBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(menu.shown.empty());
    host.Press(5, 5, WM_RBUTTONDOWN, MK_RBUTTON); // the right button does not hold it back
    host.v0->Perform(WM_CONTEXTMENU, 0, at);
    EXPECT_EQ(menu.shown, (std::vector<std::string>{"321,123"}));
    EXPECT_EQ(menu.PopupComponent(), host.v0);
    // From the keyboard (-1, -1, sent to the focused view): at the control's top-left corner.
    menu.shown.clear();
    host.form.SetBounds(40, 30, host.form.Width(), host.form.Height());
    v3->Perform(WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1));
    view->SetFocus();
    Vcl::RouteInput(&host.form, WM_KEYDOWN, VK_APPS, 1);
    auto corner = [](TControl* c)
    {
        TPoint p = c->ClientToScreen(TPoint(0, 0));
        return std::to_string(p.x) + "," + std::to_string(p.y);
    };
    EXPECT_EQ(menu.shown, (std::vector<std::string>{corner(v3), corner(view)}));
    view->SetPopupMenu(nullptr);
    EXPECT_EQ(host.v0->Perform(WM_GETDLGCODE, 0, 0), 5);
}

TEST(XViewportInputTest, DragsPanTurnRollOrbitAndZoomTheViewportCamera)
{
    NavHost host;
    XView* view = host.view;
    XViewport* v0 = host.v0;
    XCamera* camera = v0->GetCamera();
    ASSERT_FALSE(camera->GetPerspective());
    const int w = v0->GetClientWidth();
    ASSERT_EQ(w, 144);
    const XMatrix p = v0->GetProjectionMatrix(0);

    // Pan: one pixel right moves the orthographic camera by -2 / (W P[0][0]) along its own x.
    view->SetTransformType(XTT_MOVE);
    XMatrix before = host.World();
    host.Press(40, 40);
    host.Drag(41, 40);
    XMatrix after = host.World();
    const float step = -2.0f / (static_cast<float>(w) * p.m[0][0]);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(after.m[3][c] - before.m[3][c], step * before.m[0][c], 1e-4f) << c;
    host.Release(41, 40);
    // A move without the left button does nothing.
    before = host.World();
    v0->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(60, 60));
    EXPECT_LT(MaxDiff(host.World(), before), 1e-7f);

    // Turn: 10 pixels right from the centre: 5 degrees (pi 3.14) about the camera's own Y, in place.
    view->SetTransformType(XTT_ROTATE);
    before = host.World();
    host.Press(74, 49);
    EXPECT_TRUE(v0->GetInsideTrackball());
    host.Drag(84, 49);
    XMatrix expected = Rotation(0.0f, 5.0f * 3.14f / 180.0f, 0.0f) * before;
    EXPECT_LT(MaxDiff(host.World(), expected), 1e-5f);
    host.Release(84, 49);

    // A press in the corner lies outside the trackball: the drag rolls about the own Z only.
    before = host.World();
    host.Press(3, 3);
    EXPECT_FALSE(v0->GetInsideTrackball());
    host.Drag(3, 40);
    after = host.World();
    for (int c = 0; c < 3; ++c)
    {
        EXPECT_NEAR(after.m[2][c], before.m[2][c], 1e-5f) << c; // the viewing axis stays
        EXPECT_NEAR(after.m[3][c], before.m[3][c], 1e-5f) << c;
    }
    EXPECT_GT(MaxDiff(after, before), 0.1f);
    host.Release(3, 40);

    // Ctrl with a selection: an orbit about its centre; without one a turn in place.
    view->SetScene(&host.scene);
    view->SetTransformType(XTT_ROTATE);
    host.editor->selectionCenter = XVertex(5.0f, 0.0f, 8.0f);
    host.editor->selectionCount = 2;
    Platform::SetKeyDown(VK_CONTROL, true);
    before = host.World();
    host.Press(74, 49, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL);
    host.v0->Perform(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(84, 49));
    XMatrix r = Rotation(0.0f, 5.0f * 3.14f / 180.0f, 0.0f);
    XMatrix toK, fromK;
    toK.SetTranslation(-5.0f, 0.0f, -8.0f);
    fromK.SetTranslation(5.0f, 0.0f, 8.0f);
    EXPECT_LT(MaxDiff(host.World(), before * toK * r * fromK), 1e-4f);
    host.Release(84, 49);
    host.editor->selectionCount = 0;
    before = host.World();
    host.Press(74, 49, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL);
    host.v0->Perform(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(84, 49));
    EXPECT_LT(MaxDiff(host.World(), r * before), 1e-4f);
    host.Release(84, 49);
    Platform::SetKeyDown(VK_CONTROL, false);
    for (const std::string& call : host.editor->calls)
        EXPECT_EQ(call.rfind("MouseEvent", 0), std::string::npos) << call; // navigation is not editing

    // Zoom: 30 pixels up multiply the field of view by (A.y - B.y) / r + 1.
    view->SetTransformType(XTT_SCALE);
    const float fov = camera->GetFOV();
    host.Press(74, 60);
    const float radius = v0->GetTrackballRadius();
    EXPECT_NEAR(radius, 94.0f * 1.01f / (144.0f * p.m[0][0]), 1e-5f);
    const XVertex b = v0->ScreenToCamera(0, XPoint(72, 58));
    const XVertex a = v0->ScreenToCamera(0, XPoint(72, 28));
    host.Drag(74, 30);
    EXPECT_NEAR(camera->GetFOV(), fov * ((a.y - b.y) / radius + 1.0f), 1e-5f);
    EXPECT_GT(camera->GetFOV(), fov); // up widens
    host.Release(74, 30);
}

TEST(XViewportInputTest, PointerPointsMapOntoThePixelsUnderThePointer)
{
    NavHost host;
    XViewport* v0 = host.v0;
    host.view->SetTransformType(XTT_MOVE);
    // Where the pass puts a world point in the view: the picture fills the client rectangle.
    auto shown = [&](const XVertex& w, float& x, float& y)
    {
        const XMatrix m = v0->GetViewMatrix(0) * v0->GetProjectionMatrix(0);
        const float cx = w.x * m.m[0][0] + w.y * m.m[1][0] + w.z * m.m[2][0] + m.m[3][0];
        const float cy = w.x * m.m[0][1] + w.y * m.m[1][1] + w.z * m.m[2][1] + m.m[3][1];
        const float cw = w.x * m.m[0][3] + w.y * m.m[1][3] + w.z * m.m[2][3] + m.m[3][3];
        const TRect c = v0->ClientRect();
        const TPoint corner = v0->ClientToParent(TPoint(0, 0), host.view);
        x = static_cast<float>(corner.x + c.left) + (cx / cw + 1) / 2 * static_cast<float>(c.Width());
        y = static_cast<float>(corner.y + c.top) + (1 - cy / cw) / 2 * static_cast<float>(c.Height());
    };
    auto under = [&]
    {
        XVertex o;
        v0->GetRayOrigin(0, XVertex(v0->GetMousePoint().x, v0->GetMousePoint().y, 0), o);
        return o;
    };
    const TPoint corner = v0->ClientToParent(TPoint(0, 0), host.view);

    // A press anywhere in the picture, its edges included, names the scene point drawn there.
    const int presses[][2] = {{2, 2}, {74, 49}, {145, 95}, {30, 80}, {140, 5}};
    for (const auto& p : presses)
    {
        host.Press(p[0], p[1]);
        float x = 0, y = 0;
        shown(under(), x, y);
        EXPECT_NEAR(x, static_cast<float>(corner.x + p[0]), 1e-3f) << p[0] << "," << p[1];
        EXPECT_NEAR(y, static_cast<float>(corner.y + p[1]), 1e-3f) << p[0] << "," << p[1];
        host.Release(p[0], p[1]);
    }

    // A 40-pixel pan carries the point under the press exactly 40 pixels, under the pointer.
    host.Press(40, 40);
    const XVertex grabbed = under();
    host.Drag(60, 40);
    host.Drag(80, 40);
    host.Release(80, 40);
    float x = 0, y = 0;
    shown(grabbed, x, y);
    EXPECT_NEAR(x, static_cast<float>(corner.x + 80), 1e-3f);
    EXPECT_NEAR(y, static_cast<float>(corner.y + 40), 1e-3f);
}
