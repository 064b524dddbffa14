// The four-viewport view in a real X window: the view host on a private X server, drawn by the
// software device, driven with XTest as a user would and read back with XGetImage.
#include "Engine/Scene/XCamera.h"
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/ViewHostWindowTest.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t Red = 0xFF0000, Grey = 0x808080;

// The viewports of the 2 x 2 layout at 800 x 600 with 3-pixel splitters, in the view's (and the
// window's) coordinates: (800 - 3) / 2 = 398 wide on the left, (600 - 3) / 2 = 298 high on top.
const TRect Grid[4] = {TRect(0, 0, 398, 298), TRect(401, 0, 800, 298), TRect(0, 301, 398, 600),
                       TRect(401, 301, 800, 600)};
// Layout 7: a left third of (800 - 3) / 3 = 265 with three rows of (600 - 6) / 3 = 198, V3 beside.
const TRect Layout7[4] = {TRect(0, 0, 265, 198), TRect(0, 201, 265, 399), TRect(0, 402, 265, 600),
                          TRect(268, 0, 800, 600)};

bool IsYellow(uint32_t p)
{
    return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) < 90;
}

struct Cameras
{
    XMatrix world[4];
    float fov[4];
};

class XViewWindowTest : public ViewHostWindowTest
{
public:
    XViewWindowTest() : ViewHostWindowTest("xview_window") {}

    // Waits until the pointer has reached the viewport at (x, y) of the window.
    bool Reached(int index, int x, int y) { return ViewHostWindowTest::Reached(view->GetViewport(index), x, y); }
    Cameras Snapshot()
    {
        Cameras c;
        for (int i = 0; i < 4; ++i)
        {
            view->GetViewport(i)->GetCamera()->GetMatrix(0, c.world[i]);
            c.fov[i] = view->GetViewport(i)->GetCamera()->GetFOV();
        }
        return c;
    }
    static float Diff(const XMatrix& a, const XMatrix& b)
    {
        float d = 0;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                d = std::fmax(d, std::fabs(a.m[r][c] - b.m[r][c]));
        return d;
    }
    // Whether every viewport but `except` kept its camera.
    bool OthersKept(const Cameras& before, int except)
    {
        Cameras now = Snapshot();
        for (int i = 0; i < 4; ++i)
            if (i != except && (Diff(now.world[i], before.world[i]) > 1e-6f || now.fov[i] != before.fov[i]))
                return false;
        return true;
    }
    // The frame of each rectangle: the active one red, the others grey, at the middle of each edge.
    void ExpectFrames(const std::vector<uint32_t>& p, const TRect* rects, int active, int count)
    {
        for (int i = 0; i < count; ++i)
        {
            const TRect& r = rects[i];
            uint32_t colour = i == active ? Red : Grey;
            int mx = (r.left + r.right) / 2, my = (r.top + r.bottom) / 2;
            const int points[][2] = {{r.left, my},      {r.left + 1, my},   {r.right - 1, my}, {r.right - 2, my},
                                     {mx, r.top},       {mx, r.top + 1},    {mx, r.bottom - 1}, {mx, r.bottom - 2}};
            for (const auto& pt : points)
                EXPECT_EQ(At(p, pt[0], pt[1]), colour)
                    << "viewport " << i << " at " << pt[0] << "," << pt[1];
        }
    }

};
} // namespace

TEST_F(XViewWindowTest, CaptionsFramesClicksDragsAndTheWheel)
{
    Draw();
    std::vector<uint32_t> shown = Pixels();
    ASSERT_EQ(shown.size(), static_cast<size_t>(W) * (H + TViewHostForm::ButtonRow));
    EXPECT_EQ(ReferenceImage::Compare("tests/Engine/data/view_host.png", shown, W, H + TViewHostForm::ButtonRow, 3), "");

    // Captions with their grid scales, drawn in yellow at the top-left of each viewport.
    const char16_t* captions[4] = {u"Сверху - XZ (1 : 2.5)", u"Спереди - XY (1 : 2.5)", u"Слева - YZ (1 : 2.5)",
                                   u"Сверху - XZ (1 : 2.5)"};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(view->GetViewport(i)->CaptionText(0), XString(captions[i])) << i;
        int yellow = 0;
        for (int y = Grid[i].top + 4; y < Grid[i].top + 20; ++y)
            for (int x = Grid[i].left + 4; x < Grid[i].left + 160; ++x)
                yellow += IsYellow(shown[static_cast<size_t>(y) * W + static_cast<size_t>(x)]);
        EXPECT_GT(yellow, 40) << i;
    }
    ExpectFrames(shown, Grid, 0, 4);

    // Clicking V3 moves the red frame there.
    probe->ClickAt(window, 600, 450);
    ASSERT_TRUE(PumpUntil([&] { return view->GetActiveViewport() == view->GetViewport(3); }));
    Draw();
    ExpectFrames(Pixels(), Grid, 3, 4);

    // Move: a 60-pixel drag in V1 moves V1's camera by 60 pixels' worth against its own x and the
    // picture with the pointer; it goes on out of V1, and no other camera moves.
    ASSERT_TRUE(ClickTransformButton(XTT_MOVE));
    XViewport* v1 = view->GetViewport(1);
    const XMatrix p1 = v1->GetProjectionMatrix(0);
    const float unit = 2.0f / (static_cast<float>(v1->GetClientWidth()) * p1.m[0][0]);
    Cameras before = Snapshot();
    std::vector<uint32_t> still = Pixels();
    MoveTo(520, 150);
    Button(1, true);
    MoveTo(550, 150);
    MoveTo(580, 150);
    ASSERT_TRUE(Reached(1, 580, 150));
    XMatrix moved;
    v1->GetCamera()->GetMatrix(0, moved);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(moved.m[3][c] - before.world[1].m[3][c], -60.0f * unit * before.world[1].m[0][c], 1e-3f) << c;
    EXPECT_TRUE(OthersKept(before, 1));
    Draw();
    std::vector<uint32_t> panned = Pixels();
    // The picture followed the pointer: shifted by 60 pixels it matches, where in place it does not.
    size_t shifted = 0, inPlace = 0, total = 0;
    for (int y = 40; y < 290; y += 2)
        for (int x = 410; x < 730; x += 2)
        {
            ++total;
            uint32_t a = still[static_cast<size_t>(y) * W + static_cast<size_t>(x)];
            shifted += a == panned[static_cast<size_t>(y) * W + static_cast<size_t>(x + 60)];
            inPlace += a == panned[static_cast<size_t>(y) * W + static_cast<size_t>(x)];
        }
    EXPECT_GT(shifted, total * 85 / 100) << shifted << " of " << total;
    EXPECT_GT(shifted, inPlace) << inPlace;
    MoveTo(580, 400); // out of V1, over V3
    ASSERT_TRUE(Reached(1, 580, 400));
    v1->GetCamera()->GetMatrix(0, moved);
    EXPECT_GT(std::fabs(moved.m[3][1] - before.world[1].m[3][1]) + std::fabs(moved.m[3][2] - before.world[1].m[3][2]),
              100.0f * unit);
    EXPECT_TRUE(OthersKept(before, 1));
    Button(1, false);

    // Rotate: 20 pixels from V2's centre turn its camera by 10 degrees (pi 3.14) about its own Y.
    ASSERT_TRUE(ClickTransformButton(XTT_ROTATE));
    before = Snapshot();
    MoveTo(199, 450);
    Button(1, true);
    MoveTo(209, 450);
    MoveTo(219, 450);
    ASSERT_TRUE(Reached(2, 219, 450));
    Button(1, false);
    XMatrix r;
    r.SetRotation(0.0f, 10.0f * 3.14f / 180.0f, 0.0f);
    XMatrix turned;
    view->GetViewport(2)->GetCamera()->GetMatrix(0, turned);
    EXPECT_LT(Diff(turned, r * before.world[2]), 1e-4f);
    EXPECT_TRUE(OthersKept(before, 2));

    // Zoom: 30 pixels up in V3 widen its field of view by (A.y - B.y) / r + 1.
    ASSERT_TRUE(ClickTransformButton(XTT_SCALE));
    XViewport* v3 = view->GetViewport(3);
    before = Snapshot();
    MoveTo(601, 501);
    Button(1, true);
    ASSERT_TRUE(Reached(3, 601, 501));
    const float radius = v3->GetTrackballRadius();
    // V3 is 399 x 299 with a 2-pixel frame: a 395 x 295 picture.
    ASSERT_EQ(v3->ClientRect().Width(), 395);
    const float expectedRadius = 295.0f * 1.01f / (395.0f * v3->GetProjectionMatrix(0).m[0][0]);
    EXPECT_NEAR(radius, std::fabs(expectedRadius), 1e-5f);
    const XVertex b = v3->ScreenToCamera(0, XPoint(198, 198));
    const XVertex a = v3->ScreenToCamera(0, XPoint(198, 168));
    MoveTo(601, 471);
    ASSERT_TRUE(Reached(3, 601, 471));
    Button(1, false);
    EXPECT_NEAR(v3->GetCamera()->GetFOV(), before.fov[3] * ((a.y - b.y) / radius + 1.0f), 1e-5f);
    EXPECT_TRUE(OthersKept(before, 3));

    // The wheel moves no camera and changes no pixel.
    Draw();
    before = Snapshot();
    std::vector<uint32_t> unturned = Pixels();
    MoveTo(200, 150);
    for (int i = 0; i < 3; ++i)
    {
        Button(4, true);
        Button(4, false);
        Button(5, true);
        Button(5, false);
    }
    MoveTo(201, 150);
    ASSERT_TRUE(Reached(0, 201, 150));
    EXPECT_TRUE(OthersKept(before, -1));
    Draw();
    EXPECT_EQ(CountDifferentPixels(Pixels(), unturned, 0), 0u);

    // After a right press a left drag goes to the editor: no camera moves. The right release
    // then opens the menu, closed here with Escape.
    ASSERT_TRUE(ClickTransformButton(XTT_MOVE));
    int menus = 0;
    struct Closer
    {
        XProbe* probe;
        int* shown;
        void Show(TObject* sender)
        {
            ++*shown;
            PostMessageW(static_cast<TPopupMenu*>(sender)->Window()->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    } closer{probe.get(), &menus};
    host->LayoutMenu()->OnShow = MakeClosure(&closer, &Closer::Show);
    before = Snapshot();
    MoveTo(200, 150);
    Button(3, true);
    ASSERT_TRUE(PumpUntil([&] { return view->GetTransformType() == XTT_EDIT; }));
    Button(1, true);
    MoveTo(240, 170);
    MoveTo(260, 190);
    ASSERT_TRUE(Reached(0, 260, 190));
    Button(1, false);
    EXPECT_TRUE(OthersKept(before, -1));
    Button(3, false);
    EXPECT_TRUE(PumpUntil([&] { return menus == 1 && host->LayoutMenu()->Window() == nullptr; }));
    EXPECT_EQ(view->GetViewportLayout(), 11);
}

TEST_F(XViewWindowTest, MenuAtThePointerSplitterProportionsKeysAndRandomInput)
{
    // A right click opens the menu where the pointer is; its layout 7 gives the computed frames.
    int rootX = 0, rootY = 0, width = 0, height = 0;
    ASSERT_TRUE(probe->WindowPlace(window, rootX, rootY, width, height));
    int menuX = -1, menuY = -1;
    struct Chooser
    {
        XViewWindowTest* test;
        int* x;
        int* y;
        void Show(TObject* sender)
        {
            TPopupMenuWindow* shown = static_cast<TPopupMenu*>(sender)->Window();
            unsigned long menuWindow = Vcl::NativeWindowOf(shown);
            ASSERT_TRUE(PumpUntil([&] { return test->probe->Viewable(menuWindow) && shown->PaintCount() > 0; }));
            int w = 0, h = 0;
            test->probe->WindowPlace(menuWindow, *x, *y, w, h);
            test->probe->ClickAt(menuWindow, 20, 2 + 7 * shown->RowHeight() + shown->RowHeight() / 2);
            // A click that missed must not leave the test waiting in the menu's loop.
            if (!PumpUntil([&] { return shown->Chosen() != nullptr; }))
                PostMessageW(shown->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    } chooser{this, &menuX, &menuY};
    host->LayoutMenu()->OnShow = MakeClosure(&chooser, &Chooser::Show);
    probe->ClickAt(window, 300, 100);
    MoveTo(300, 100);
    Button(3, true);
    Button(3, false);
    ASSERT_TRUE(PumpUntil([&] { return view->GetViewportLayout() == 7; }));
    EXPECT_EQ(menuX, rootX + 300);
    EXPECT_EQ(menuY, rootY + 100);
    host->LayoutMenu()->OnShow = nullptr;
    Draw();
    ExpectFrames(Pixels(), Layout7, 0, 4);

    // Back in 2 x 2 (chosen in code), SP1 dragged 100 pixels down keeps the rows level, and the
    // proportion holds when the window grows to 1200 x 900.
    view->SetViewportLayout(11);
    Application->ProcessMessages();
    MoveTo(200, 299);
    Button(1, true);
    MoveTo(200, 349);
    MoveTo(200, 399);
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] { return view->GetViewport(0)->Height() == 398; }));
    EXPECT_EQ(view->GetViewport(1)->Height(), 398);
    EXPECT_EQ(view->GetSplitter(1)->Top(), 398);
    EXPECT_EQ(view->GetSplitter(2)->Top(), 398);
    probe->ResizeWindow(window, 1200, 900 + TViewHostForm::ButtonRow);
    ASSERT_TRUE(PumpUntil([&] { return view->Width() == 1200 && view->Height() == 900; }));
    // 900 * 398 / 600 and 1200 * 398 / 800, truncated from the recorded fractions.
    EXPECT_NEAR(view->GetViewport(0)->Height(), 597, 1);
    EXPECT_EQ(view->GetViewport(1)->Height(), view->GetViewport(0)->Height());
    EXPECT_NEAR(view->GetContainer(0)->Width(), 597, 1);
    Draw();
    probe->ResizeWindow(window, W, H + TViewHostForm::ButtonRow);
    ASSERT_TRUE(PumpUntil([&] { return view->Width() == W; }));

    // "a" typed over V2 reaches the current editor.
    auto* editor = new RecordingEditor(host->Scene(), u"Recorder");
    host->Scene()->AddEditor(editor);
    host->Scene()->PushEditor(editor);
    view->SetTransformType(XTT_EDIT);
    probe->ClickAt(window, 150, 450);
    ASSERT_TRUE(PumpUntil([&] { return view->Focused() && probe->HasFocus(window); }));
    editor->calls.clear();
    probe->Key("a");
    ASSERT_TRUE(PumpUntil([&] { return editor->calls.size() >= 3; }));
    EXPECT_EQ(editor->calls, (std::vector<std::string>{"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0"}));
    host->Scene()->PopEditor();

    // 1,000 seeded random events over the view in every mode, the menu closed whenever it shows.
    struct Closer
    {
        void Show(TObject* sender)
        {
            PostMessageW(static_cast<TPopupMenu*>(sender)->Window()->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    } closer;
    host->LayoutMenu()->OnShow = MakeClosure(&closer, &Closer::Show);
    std::mt19937 random(1234);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    bool held[4] = {};
    for (int i = 0; i < 1000; ++i)
    {
        switch (pick(10))
        {
        case 0:
        case 1:
        case 2:
        case 3:
            probe->MoveTo(window, pick(W), pick(H));
            break;
        case 4:
        case 5:
        {
            int button = 1 + pick(3);
            held[button] = !held[button];
            probe->Button(button, held[button]);
            break;
        }
        case 6:
            probe->Button(4 + pick(2), true);
            probe->Button(4, false);
            probe->Button(5, false);
            break;
        case 7:
            probe->Key(pick(2) ? "a" : "Delete", pick(2) ? "Shift_L" : nullptr);
            break;
        case 8:
            view->SetTransformType(static_cast<XTransformType>(pick(4)));
            break;
        default:
            Draw();
            break;
        }
        if (i % 50 == 0)
            Application->ProcessMessages();
    }
    for (int button = 1; button <= 3; ++button)
        if (held[button])
            probe->Button(button, false);
    probe->Sync();
    Application->ProcessMessages();
    Draw();
    EXPECT_TRUE(probe->Viewable(window));
}
