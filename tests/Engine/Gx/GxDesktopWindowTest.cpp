// The in-viewport UI in a real X window: a control of a form shown on a private X server draws a
// scene on the software device; the scene's overlay pass draws its desktop through the host editor,
// and the mouse and keys sent with XTest reach the desktop's window through the scene. Pixels are
// read back from the X server.
#include "Engine/Scene/XScene.h"
#include "Engine/Views/XViewportInput.h"
#include "Gx/UI/GxDesktop.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/X11/X11Presenter.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/DesktopHostEditor.h"
#include "tests/support/ManualClock.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

using namespace Gx::Ui;

namespace
{
constexpr int ViewWidth = 640, ViewHeight = 480;
constexpr uint32_t Ground = 0x888888;

// A control that shows a scene in its whole client area and hands it its mouse and keys, as a
// viewport does.
class SceneHost : public TCustomControl
{
public:
    explicit SceneHost(TComponent* owner) : TCustomControl(owner), scene(nullptr)
    {
        auto* host = new DesktopHostEditor(&scene);
        scene.AddEditor(host);
        scene.PushEditor(host);
        viewport.width = ViewWidth;
        viewport.height = ViewHeight;
    }
    ~SceneHost() override
    {
        if (m_Device && m_Device->device)
            scene.ReleaseDevice(m_Device->device);
    }

    bool CreateDevice()
    {
        m_Device = std::make_unique<SoftDevice>(ViewWidth, ViewHeight, Handle());
        if (!m_Device->soft)
            return false;
        m_Device->soft->EnableCallLog(false);
        viewport.device = m_Device->device;
        scene.CreateDevice(m_Device->device);
        return true;
    }

    // One frame as the view's timer draws it: the ground colour, the scene, its overlay passes.
    void Redraw()
    {
        IDirect3DDevice9* device = m_Device->device;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u | Ground, 1.0f, 0);
        device->BeginScene();
        scene.Render(&viewport);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    XScene scene;
    ViewportDouble viewport;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override
    {
        SetFocus();
        scene.MouseEventHandler(&viewport, XMouseEventFromButton(button, true), ToXShiftState(shift),
                                XPoint(static_cast<float>(x), static_cast<float>(y)));
    }
    void MouseMove(TShiftState shift, int x, int y) override
    {
        scene.MouseEventHandler(&viewport, XME_MOVE, ToXShiftState(shift),
                                XPoint(static_cast<float>(x), static_cast<float>(y)));
    }
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override
    {
        scene.MouseEventHandler(&viewport, XMouseEventFromButton(button, false), ToXShiftState(shift),
                                XPoint(static_cast<float>(x), static_cast<float>(y)));
    }
    void KeyPress(WCHAR& key) override { scene.KeyPress(key); }

private:
    std::unique_ptr<SoftDevice> m_Device;
};

// The child of the window that notes the characters it is given.
class TypedInto : public GxControl
{
public:
    using GxControl::GxControl;
    void KeyPress(WCHAR& c) override { typed += static_cast<char>(c); }
    std::string typed;
};

// Each channel of `over` blended onto the ground colour at `alpha`.
uint32_t Blend(uint32_t over, uint32_t alpha)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
    {
        uint32_t s = (over >> shift) & 0xFF, g = (Ground >> shift) & 0xFF;
        out |= ((s * alpha + g * (255 - alpha)) / 255) << shift;
    }
    return out;
}

bool Near(uint32_t a, uint32_t b, int tolerance = 2)
{
    for (int shift = 0; shift < 24; shift += 8)
    {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

std::string Hex(uint32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%06X", v);
    return buffer;
}
} // namespace

class GxDesktopWindowTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << server.Error();
        probe = std::make_unique<XProbe>(server.Name());
        ASSERT_TRUE(probe->Open());
        Platform::ResetKeyStates();
        ASSERT_TRUE(Vcl::InstallDesktopPresenter());
    }
    void TearDown() override
    {
        Vcl::RemoveDesktopPresenter();
        Platform::ResetKeyStates();
        probe.reset();
    }

    // Redraws and waits until the X window shows `expected` at (x, y).
    bool Shows(SceneHost* host, unsigned long window, int x, int y, uint32_t expected)
    {
        host->Redraw();
        return PumpUntil([&] { return Near(probe->ReadPixel(window, x, y), expected); });
    }

    // XTest input goes out at once.
    void MoveTo(unsigned long window, int x, int y)
    {
        probe->MoveTo(window, x, y);
        probe->Sync();
    }
    void Button(bool down)
    {
        probe->Button(1, down);
        probe->Sync();
    }

    VirtualDisplay server;
    std::unique_ptr<XProbe> probe;
};

TEST_F(GxDesktopWindowTest, AWindowOverTheSceneIsHoveredDraggedResizedLeftAndTypedInto)
{
    ManualClock clock(100000);
    TForm form(nullptr);
    form.SetClientWidth(ViewWidth);
    form.SetClientHeight(ViewHeight);
    form.SetCaption(u"In-viewport UI");
    auto* host = new SceneHost(&form);
    host->SetParent(&form);
    host->SetBounds(0, 0, ViewWidth, ViewHeight);
    form.Show();
    const unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    ASSERT_TRUE(host->CreateDevice());

    GxDesktop* desktop = host->scene.GetDesktop();
    desktop->SetBounds(0, 0, ViewWidth, ViewHeight);
    auto* tools = new GxWindow(desktop, u"Tools");
    desktop->AddControl(tools);
    tools->SetBounds(40, 40, 200, 120);
    auto* child = new TypedInto(desktop, tools);
    tools->AddControl(child);
    child->SetBounds(20, 60, 120, 20);
    child->SetBackColor(0xFF204080u);
    const uint32_t face = tools->GetBackColor().GetARGB() & 0xFFFFFF;

    // Hovering: from the render that sees the mouse come in, 300 ms to the opaque alpha.
    MoveTo(window, 60, 70);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetHoverControl() == tools; }));
    host->Redraw();
    clock.Advance(300);
    EXPECT_TRUE(Shows(host, window, 50, 80, Blend(face, 240))) << Hex(probe->ReadPixel(window, 50, 80));
    EXPECT_EQ(probe->ReadPixel(window, 30, 30), Ground);

    // A drag from (120, 50) to (320, 250) moves the window by (200, 200).
    MoveTo(window, 120, 50);
    Button(true);
    MoveTo(window, 220, 150);
    MoveTo(window, 320, 250);
    ASSERT_TRUE(PumpUntil([&] { return tools->GetLeft() == 240 && tools->GetTop() == 240; }))
        << tools->GetLeft() << "," << tools->GetTop();
    Button(false);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetCaptureControl() == nullptr; }));
    EXPECT_TRUE(Shows(host, window, 250, 320, Blend(face, 240))) << Hex(probe->ReadPixel(window, 250, 320));
    EXPECT_EQ(probe->ReadPixel(window, 50, 80), Ground);

    // 2 pixels inside the bottom-right corner, dragged by (+50, +30): 250 x 150.
    MoveTo(window, 438, 358);
    Button(true);
    MoveTo(window, 463, 373);
    MoveTo(window, 488, 388);
    ASSERT_TRUE(PumpUntil([&] { return tools->GetWidth() == 250 && tools->GetHeight() == 150; }))
        << tools->GetWidth() << " x " << tools->GetHeight();
    Button(false);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetCaptureControl() == nullptr; }));
    EXPECT_EQ(tools->GetLeft(), 240);
    EXPECT_EQ(tools->GetTop(), 240);

    // Leaving: 1,500 ms after the render that sees it go, the alpha is 202.
    MoveTo(window, 10, 10);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetHoverControl() == nullptr; }));
    host->Redraw();
    clock.Advance(1500);
    EXPECT_TRUE(Shows(host, window, 480, 380, Blend(face, 202))) << Hex(probe->ReadPixel(window, 480, 380));

    // A click on the child gives it the focus; a typed "a" reaches it.
    MoveTo(window, 300, 310);
    probe->ClickAt(window, 300, 310);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetFocusControl() == child; }));
    ASSERT_TRUE(PumpUntil([&] { return probe->HasFocus(window); }));
    probe->Key("a");
    ASSERT_TRUE(PumpUntil([&] { return child->typed == "a"; })) << child->typed;
    host->Redraw(); // sees the mouse over the window again

    // The whole picture: the window in its fade, the child and the caption over the ground.
    MoveTo(window, 10, 10);
    ASSERT_TRUE(PumpUntil([&] { return desktop->GetHoverControl() == nullptr; }));
    host->Redraw();
    clock.Advance(1500);
    ASSERT_TRUE(Shows(host, window, 480, 380, Blend(face, 202)));
    WindowDriver driver;
    ASSERT_TRUE(driver.Connected());
    int width = 0, height = 0;
    std::vector<uint32_t> pixels = driver.Pixels(window, width, height);
    ASSERT_EQ(width, ViewWidth);
    ASSERT_EQ(height, ViewHeight);
    EXPECT_EQ(ReferenceImage::Compare("tests/Engine/data/gx_desktop_window.png", pixels, static_cast<uint32_t>(width),
                                      static_cast<uint32_t>(height), 2),
              "");
    delete host; // releases the device while the form's window exists
}
