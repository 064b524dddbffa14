// The test host of a scene's desktop: viewport events reach the desktop in view pixels with the
// desktop's button codes and modifier bits, keys reach its focus control, and the scene's overlay
// pass draws it.
#include "tests/support/DesktopHostEditor.h"

#include "Engine/Scene/XScene.h"
#include "Gx/UI/GxDesktop.h"
#include "tests/support/SoftDevice.h"
#include "tests/support/ViewportDouble.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Gx::Ui;

namespace
{
class Target : public GxControl
{
public:
    using GxControl::GxControl;
    void MouseDown(float x, float y, uint32_t button, GxShiftState shift) override { Note("down", x, y, button, shift); }
    void MouseMove(float x, float y, GxShiftState shift) override { Note("move", x, y, 0, shift); }
    void MouseUp(float x, float y, uint32_t button, GxShiftState shift) override { Note("up", x, y, button, shift); }
    void KeyPress(WCHAR& c) override { calls.push_back("key " + std::to_string(c)); }
    std::vector<std::string> calls;

private:
    void Note(const char* what, float x, float y, uint32_t button, GxShiftState shift)
    {
        calls.push_back(std::string(what) + " " + std::to_string(static_cast<int>(x)) + "," +
                        std::to_string(static_cast<int>(y)) + " " + std::to_string(button) + " " +
                        std::to_string(shift));
    }
};
} // namespace

TEST(DesktopHostEditorTest, ViewportInputReachesTheDesktopInViewPixelsAndPassOneDrawsIt)
{
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(XSS_CTRL), gssCtrl);
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(XSS_SHIFT), gssShift);
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(XSS_ALT), gssAlt);
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(XSS_LEFT), gssLeft);
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(XSS_RIGHT), gssRight);
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(XSS_MIDDLE), gssMiddle);
    EXPECT_EQ(DesktopHostEditor::ToGxShiftState(0x3F), 0x3F);

    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    XScene scene(nullptr);
    auto* host = new DesktopHostEditor(&scene);
    scene.AddEditor(host);
    scene.PushEditor(host);
    ASSERT_EQ(scene.GetEditor(), host);
    host->viewportOrigin = [](XViewport*) { return XPoint(100, 50); };
    ViewportDouble viewport;
    viewport.device = d.device;

    GxDesktop* desktop = scene.GetDesktop();
    desktop->SetBounds(0, 0, 320, 240);
    auto* target = new Target(desktop, desktop);
    desktop->AddControl(target);
    target->SetBounds(110, 60, 20, 20); // viewport points (10, 10) to (30, 30)

    scene.MouseEventHandler(&viewport, XME_MOVE, 0, XPoint(15, 15));
    scene.MouseEventHandler(&viewport, XME_LEFT_DOWN, XSS_LEFT | XSS_SHIFT, XPoint(15, 16));
    scene.MouseEventHandler(&viewport, XME_LEFT_UP, XSS_CTRL, XPoint(15, 16));
    scene.MouseEventHandler(&viewport, XME_MIDDLE_DOWN, XSS_MIDDLE, XPoint(15, 16));
    scene.MouseEventHandler(&viewport, XME_RIGHT_UP, 0, XPoint(15, 16));
    WCHAR key = u'a';
    scene.KeyPress(key);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"move 115,65 0 0", "down 115,66 1 9", "up 115,66 1 16",
                                                       "down 115,66 2 2", "up 115,66 4 0", "key 97"}));
    EXPECT_EQ(desktop->GetFocusControl(), target);

    // The scene's pass 1 draws the desktop with the viewport's device.
    d.device->BeginScene();
    d.Clear();
    scene.Render(&viewport);
    d.device->EndScene();
    const D3D9Call* last = nullptr;
    for (const D3D9Call& c : d.Log())
    {
        if (c.name == "DrawPrimitiveUP")
            last = &c;
    }
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(last->vertices.size(), 6 * sizeof(GxRectVertex));
    GxRectVertex first{};
    std::memcpy(&first, last->vertices.data(), sizeof first);
    EXPECT_EQ(first.x, 110);
    EXPECT_EQ(first.y, 60);
}
