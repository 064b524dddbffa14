// The in-viewport UI in a real X window: the view host on a private X server shows one viewport
// (layout 0) over its scene; the scene's desktop holds a window that the host editor draws in the
// overlay pass and hands the viewport's mouse and keys to. Input goes out with XTest as a user's
// would, and the pixels are read back from the X server.
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XView.h"
#include "Engine/Views/XViewport.h"
#include "Gx/UI/GxDesktop.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/DesktopHostEditor.h"
#include "tests/support/ManualClock.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/ViewHostWindowTest.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace Gx::Ui;

namespace
{
constexpr uint32_t Ground = 0x888888;

// The child of the window that notes the characters it is given.
class TypedInto : public GxControl
{
public:
    using GxControl::GxControl;
    void KeyPress(WCHAR& c) override { typed += static_cast<char>(c); }
    std::string typed;
};

// Each channel of `over` blended onto `ground` at `alpha`.
uint32_t Blend(uint32_t over, uint32_t alpha, uint32_t ground = Ground)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
    {
        uint32_t s = (over >> shift) & 0xFF, g = (ground >> shift) & 0xFF;
        out |= ((s * alpha + g * (255 - alpha)) / 255) << shift;
    }
    return out;
}

std::string Hex(uint32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%06X", v & 0xFFFFFF);
    return buffer;
}

class GxDesktopWindowTest : public ViewHostWindowTest
{
public:
    // One viewport fills the view.
    GxDesktopWindowTest() : ViewHostWindowTest("gx_desktop_window", TViewHostForm::HostSceneOptions(), 0) {}

    void SetUp() override
    {
        ViewHostWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        // Mouse events reach the scene's editor in edit mode only; the host editor goes on top.
        view->SetTransformType(XTT_EDIT);
        auto* editor = new DesktopHostEditor(scene);
        scene->AddEditor(editor);
        scene->PushEditor(editor);
        ASSERT_EQ(scene->GetEditor(), editor);
    }

    // Draws and waits until the window shows `expected` at (x, y).
    bool Shows(int x, int y, uint32_t expected)
    {
        Draw();
        return PumpUntil([&] { return ColoursNear(probe->ReadPixel(window, x, y), expected, 2); });
    }
};
} // namespace

TEST_F(GxDesktopWindowTest, AWindowOverTheViewportIsHoveredDraggedResizedLeftAndTypedInto)
{
    ManualClock clock(100000);
    XViewport* v0 = view->GetViewport(0);
    ASSERT_TRUE(v0->Visible());
    ASSERT_EQ(v0->Width(), W);
    ASSERT_EQ(v0->Height(), H);
    // The probed pixels show the viewport's back colour: the scene's objects stand elsewhere, and
    // the grid, which the viewport draws after the scene and its overlays, is off.
    v0->SetShowGrid(false);
    Draw();
    const std::vector<uint32_t> bare = Pixels();
    for (const TPoint& p : {TPoint(50, 80), TPoint(250, 320), TPoint(255, 385), TPoint(30, 30)})
        ASSERT_EQ(At(bare, p.x, p.y), Ground)
            << p.x << "," << p.y;

    GxDesktop* desktop = scene->GetDesktop();
    desktop->SetBounds(0, 0, W, H);
    auto* tools = new GxWindow(desktop, u"Tools");
    desktop->AddControl(tools);
    tools->SetBounds(40, 40, 200, 120);
    auto* child = new TypedInto(desktop, tools);
    tools->AddControl(child);
    child->SetBounds(20, 60, 120, 20);
    child->SetBackColor(0xFF204080u);
    const uint32_t face = tools->GetBackColor().GetARGB() & 0xFFFFFF;

    // Hovering: from the frame that sees the mouse come in, 300 ms to the opaque alpha 240.
    MoveTo(60, 70);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetHoverControl() == tools; }));
    Draw();
    clock.Advance(300);
    EXPECT_TRUE(Shows(50, 80, Blend(face, 240))) << Hex(probe->ReadPixel(window, 50, 80));
    // The window's pixels begin exactly at its corner in the view.
    EXPECT_EQ(probe->ReadPixel(window, 39, 45) & 0xFFFFFF, Ground);
    EXPECT_NE(probe->ReadPixel(window, 40, 45) & 0xFFFFFF, Ground);
    EXPECT_EQ(probe->ReadPixel(window, 30, 30) & 0xFFFFFF, Ground);

    // A drag by the caption from (120, 50) to (320, 250) moves the window to (240, 240).
    MoveTo(120, 50);
    Button(1, true);
    MoveTo(220, 150);
    MoveTo(320, 250);
    ASSERT_TRUE(PumpUntil([&] { return tools->GetLeft() == 240 && tools->GetTop() == 240; }))
        << tools->GetLeft() << "," << tools->GetTop();
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetCaptureControl() == nullptr; }));
    EXPECT_EQ(tools->GetWidth(), 200);
    EXPECT_EQ(tools->GetHeight(), 120);
    EXPECT_TRUE(Shows(250, 320, Blend(face, 240))) << Hex(probe->ReadPixel(window, 250, 320));
    EXPECT_EQ(probe->ReadPixel(window, 50, 80) & 0xFFFFFF, Ground);

    // 2 pixels inside the bottom-right corner, dragged by (+50, +30): 250 x 150, the corner where
    // the window stood.
    MoveTo(438, 358);
    Button(1, true);
    MoveTo(463, 373);
    MoveTo(488, 388);
    ASSERT_TRUE(PumpUntil([&] { return tools->GetWidth() == 250 && tools->GetHeight() == 150; }))
        << tools->GetWidth() << " x " << tools->GetHeight();
    Button(1, false);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetCaptureControl() == nullptr; }));
    EXPECT_EQ(tools->GetLeft(), 240);
    EXPECT_EQ(tools->GetTop(), 240);

    // Leaving: 1,500 ms after the frame that sees it go, the alpha is 202.
    MoveTo(10, 10);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetHoverControl() == nullptr; }));
    Draw();
    clock.Advance(1500);
    EXPECT_TRUE(Shows(255, 385, Blend(face, 202))) << Hex(probe->ReadPixel(window, 255, 385));

    // A click on the child gives it the desktop's focus and the view the keyboard; a typed "a"
    // reaches the child.
    probe->ClickAt(window, 300, 310);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetFocusControl() == child; }));
    ASSERT_TRUE(PumpUntil([&] { return probe->HasFocus(window) && view->Focused(); }));
    probe->Key("a");
    ASSERT_TRUE(PumpUntil([&] { return child->typed == "a"; })) << child->typed;
    Draw(); // sees the mouse over the window again

    // The whole picture: the window in its fade, the child and the caption over the viewport.
    MoveTo(10, 10);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetHoverControl() == nullptr; }));
    Draw();
    clock.Advance(1500);
    ASSERT_TRUE(Shows(255, 385, Blend(face, 202)));
    EXPECT_EQ(ReferenceImage::Compare("tests/Engine/data/gx_desktop_window.png", Pixels(), W,
                                      H + TViewHostForm::ButtonRow, 2),
              "");
}
