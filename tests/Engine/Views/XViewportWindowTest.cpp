// A view in a real X window: a form with one viewport on a view, shown on a private X server,
// shows the frame the viewport draws; full screen turns the form's window into a bare one over
// the whole screen, above the others, and back. Pixels and window state are read from the server.
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XViewport.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"
#include "tests/support/LitCube.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/ViewDouble.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace
{
class XViewportWindowTest : public PresenterWindowTest
{
};

TEST_F(XViewportWindowTest, AViewShowsItsFrameAndTakesTheWholeScreenAndGivesItBack)
{
    TempDir dir;
    XScene scene(nullptr);
    LitCube::Build(scene, dir.Path());

    // Another program's window, shown first.
    TForm other(nullptr);
    other.SetCaption(u"Other");
    other.SetBounds(300, 200, 200, 150);
    other.Show();
    const unsigned long otherWindow = Vcl::NativeWindowOf(&other);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(otherWindow); }));

    TForm form(nullptr);
    form.SetCaption(u"View");
    const auto [view, viewport] = AddFramedViewport(form);
    form.Show();
    const unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    ASSERT_TRUE(probe->Decorated(window));
    ASSERT_FALSE(probe->KeptAbove(window));
    IDirect3DDevice9* device = view->GetDevice();
    ASSERT_NE(device, nullptr);
    viewport->CreateDevice(device);
    scene.CreateDevice(device);

    // The frame: the lit face where the test projects it, and everything as the form holds it.
    viewport->Render(&scene, true);
    const XMatrix p = viewport->GetProjectionMatrix(0);
    const XPoint at =
        LitCube::Project(LitCube::ToWorld(XVertex(0, 0.4f, -1)), p.m[0][0], p.m[1][1], 12, 12, 196, 156);
    const uint32_t face = LitCube::FrontFaceColour();
    EXPECT_TRUE(PumpUntil(
        [&]
        { return ColoursNear(probe->ReadPixel(window, static_cast<int>(at.x), static_cast<int>(at.y)), face, 3); }))
        << std::hex << probe->ReadPixel(window, static_cast<int>(at.x), static_cast<int>(at.y)) << " for "
        << face;
    WindowDriver driver;
    ASSERT_TRUE(driver.Connected());
    int width = 0, height = 0;
    std::vector<uint32_t> shown = driver.Pixels(window, width, height);
    ASSERT_EQ(width, 220);
    ASSERT_EQ(height, 180);
    std::vector<uint32_t> frame(form.Pixels(), form.Pixels() + 220 * 180);
    for (uint32_t& pixel : frame)
        pixel &= 0xFFFFFF;
    EXPECT_EQ(CountDifferentPixels(shown, frame, 0), 0u);
    EXPECT_EQ(probe->ReadPixel(window, 10, 10), 0x808080u); // the border
    scene.ReleaseDevice(device);

    // Full screen: the whole screen, no frame, above the other window.
    view->SetFullscreen(true);
    int x = -1, y = -1;
    auto placed = [&](int wantX, int wantY, int wantW, int wantH)
    {
        return probe->WindowPlace(window, x, y, width, height) && x == wantX && y == wantY &&
               width == wantW && height == wantH;
    };
    EXPECT_TRUE(PumpUntil([&] { return placed(0, 0, 1024, 768); }))
        << x << "," << y << " " << width << " x " << height;
    EXPECT_FALSE(probe->Decorated(window));
    EXPECT_TRUE(probe->KeptAbove(window));
    EXPECT_TRUE(probe->Topmost(window));

    // Back: the frame and the ordinary stacking return; place and size stay.
    view->SetFullscreen(false);
    EXPECT_TRUE(PumpUntil([&] { return probe->Decorated(window) && !probe->KeptAbove(window); }));
    EXPECT_TRUE(placed(0, 0, 1024, 768));
    EXPECT_TRUE(probe->Viewable(window));
    delete viewport;
}
} // namespace
