// Drawing of the in-viewport UI's controls and frames: the rectangle helpers as the device's call
// log records them, what a control draws of its own around the desktop's hooks, design-time
// painting on a bitmap, and reflection refusing coordinates that are not finite.
#include "Gx/UI/GxDesktop.h"

#include "Components/XVariant.h"
#include "Platform/Vcl/Graphics.h"
#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace Gx::Ui;

namespace
{
XScene* TestScene()
{
    static int storage;
    return reinterpret_cast<XScene*>(&storage);
}


// The six corners a filled rectangle is drawn with, in drawing order.
void ExpectRectangle(const D3D9Call& call, float l, float t, float r, float b, uint32_t color)
{
    std::vector<GxRectVertex> v = CallVertices<GxRectVertex>(call);
    ASSERT_EQ(v.size(), 6u);
    const float expected[6][2] = {{l, t}, {r, t}, {r, b}, {r, b}, {l, b}, {l, t}};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(v[i].x, expected[i][0]) << i;
        EXPECT_EQ(v[i].y, expected[i][1]) << i;
        EXPECT_EQ(v[i].z, 0.0f) << i;
        EXPECT_EQ(v[i].rhw, 1.0f) << i;
        EXPECT_EQ(v[i].color, color) << i;
    }
}

// A desktop that notes its drawing hooks.
class HookDesktop : public GxDesktop
{
public:
    HookDesktop() : GxDesktop(TestScene()) {}
    void BeforeRenderControl(IDirect3DDevice9*, const XRect& r) override { hooks.push_back("before " + Left(r)); }
    void AfterRenderControl(IDirect3DDevice9*, const XRect& r, GxControl*) override
    {
        hooks.push_back("after " + Left(r));
    }
    std::vector<std::string> hooks;

private:
    static std::string Left(const XRect& r) { return std::to_string(static_cast<int>(r.left)); }
};
} // namespace

TEST(GxControlTest, RectanglesSetTheirStatesAndDrawTwoTrianglesOfScreenVertices)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    GxDesktop desktop(TestScene());
    GxControl control(&desktop, nullptr);
    d.device->BeginScene();
    d.Clear();
    control.RenderRect(d.device, XRect(10.5f, 20, 110, 70.25f), 0x80112233u);
    // ZENABLE 7, LIGHTING 137, ALPHABLENDENABLE 27, SRCBLEND 19 = SRCALPHA 5, DESTBLEND 20 =
    // INVSRCALPHA 6, FILLMODE 8 = SOLID 3, CULLMODE 22 = NONE 1, STENCILENABLE 52, CLIPPING 136,
    // COLORVERTEX 141, DIFFUSEMATERIALSOURCE 145 = COLOR1 1; FVF 0x44; triangle list 4.
    const std::vector<std::string> expected = {
        "SetVertexShader(null)",     "SetPixelShader(null)",      "SetRenderState(7, 0)",
        "SetRenderState(137, 0)",    "SetRenderState(27, 1)",     "SetRenderState(19, 5)",
        "SetRenderState(20, 6)",     "SetRenderState(8, 3)",      "SetRenderState(22, 1)",
        "SetRenderState(52, 0)",     "SetRenderState(136, 1)",    "SetRenderState(141, 1)",
        "SetRenderState(145, 1)",    "SetStreamSource(0, null, 0, 20)", "SetFVF(68)",
        "DrawPrimitiveUP(4, 2, 20)",
    };
    EXPECT_EQ(d.Texts(), expected);
    ASSERT_EQ(d.Draws().size(), 1u);
    ExpectRectangle(*d.Draws()[0], 10.5f, 20, 110, 70.25f, 0x80112233u);

    d.Clear();
    control.RenderPoint(d.device, XPoint(50, 30), 2, 0xFF00FF00u);
    ASSERT_EQ(d.Draws().size(), 1u);
    ExpectRectangle(*d.Draws()[0], 48, 28, 52, 32, 0xFF00FF00u);

    d.Clear();
    control.RenderRect(nullptr, XRect(0, 0, 1, 1), 0); // no device: nothing, no crash
    EXPECT_TRUE(d.Log().empty());
    d.device->EndScene();
}

TEST(GxControlTest, BackgroundsTakeTheDesktopsAlphaBetweenTheHooksAndTransparentOnesDrawNone)
{
    SoftDevice d;
    ASSERT_NE(d.soft, nullptr);
    HookDesktop desktop;
    auto* frame = new GxFrame(&desktop, &desktop);
    desktop.AddControl(frame);
    frame->SetBounds(10, 20, 100, 80);
    frame->SetBackColor(0x01020304u);
    auto* back = new GxControl(&desktop, frame);
    auto* front = new GxControl(&desktop, frame);
    frame->AddControl(front);
    frame->AddControl(back); // index 1: drawn before the front one
    front->SetBounds(5, 5, 30, 10);
    back->SetBounds(7, 5, 30, 10);
    auto* hidden = new GxControl(&desktop, frame);
    frame->AddControl(hidden);
    hidden->SetVisible(false);

    d.device->BeginScene();
    desktop.SetAlpha(0x5A);
    d.Clear();
    frame->Render(d.device);
    std::vector<const D3D9Call*> draws = d.Draws();
    ASSERT_EQ(draws.size(), 3u);
    ExpectRectangle(*draws[0], 10, 20, 110, 100, 0x5A020304u);
    ExpectRectangle(*draws[1], 17, 25, 47, 35, 0x5ABBBBBBu);
    ExpectRectangle(*draws[2], 15, 25, 45, 35, 0x5ABBBBBBu);
    EXPECT_EQ(desktop.hooks,
              (std::vector<std::string>{"before 10", "after 10", "before 17", "after 17", "before 15", "after 15"}));

    // A transparent frame draws nothing of its own; its children and the hooks still run.
    frame->SetTransparent(true);
    desktop.hooks.clear();
    d.Clear();
    frame->Render(d.device);
    EXPECT_EQ(d.Draws().size(), 2u);
    EXPECT_EQ(desktop.hooks.size(), 6u);

    // Without a desktop there is no alpha to take: nothing is drawn.
    GxControl orphan(nullptr, nullptr);
    d.Clear();
    orphan.Render(d.device);
    EXPECT_TRUE(d.Log().empty());
    d.device->EndScene();
}

TEST(GxControlTest, PaintFramesTheTruncatedRectangleInRedAndFillsItsInsideFrontChildLast)
{
    const uint32_t red = 0xFF0000;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const uint32_t btnFace = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    const uint32_t white = 0xFFFFFF;
    ASSERT_NE(btnFace, white);

    GxDesktop desktop(TestScene());
    auto* frame = new GxFrame(&desktop, &desktop);
    desktop.AddControl(frame);
    frame->SetBounds(5.7f, 4.2f, 30.6f, 20.9f); // screen (5.7, 4.2)-(36.3, 25.1): cut to (5, 4)-(36, 25)
    TBitmap bitmap;
    bitmap.SetSize(60, 40);
    frame->Paint(bitmap.Canvas());
    for (int y = 0; y < 40; ++y)
    {
        for (int x = 0; x < 60; ++x)
        {
            uint32_t expected = white;
            if (x >= 5 && x < 36 && y >= 4 && y < 25)
                expected = (x == 5 || x == 35 || y == 4 || y == 24) ? red : btnFace;
            ASSERT_EQ(bitmap.ScanLine(y)[x] & 0xFFFFFF, expected) << x << "," << y;
        }
    }

    // Two overlapping children: the front one (index 0) is painted last, so its frame crosses the
    // back one's inside.
    frame->SetBounds(0, 0, 40, 30);
    auto* front = new GxControl(&desktop, frame);
    auto* back = new GxControl(&desktop, frame);
    frame->AddControl(front);
    frame->AddControl(back);
    front->SetBounds(2, 2, 10, 10);  // frame on column and row 11
    back->SetBounds(6, 6, 10, 10);   // inside from 7 to 14
    auto* hidden = new GxControl(&desktop, frame);
    frame->AddControl(hidden);
    hidden->SetBounds(0, 0, 40, 30);
    hidden->SetVisible(false);
    TBitmap second;
    second.SetSize(40, 30);
    frame->Paint(second.Canvas());
    EXPECT_EQ(second.ScanLine(11)[9] & 0xFFFFFF, red) << "the front child's bottom edge over the back one";
    EXPECT_EQ(second.ScanLine(13)[13] & 0xFFFFFF, btnFace) << "the back child's inside";
    EXPECT_EQ(second.ScanLine(1)[1] & 0xFFFFFF, btnFace) << "the frame's inside; the hidden child is not painted";
    frame->Paint(nullptr); // nothing to paint on: nothing happens
}

TEST(GxControlTest, ReflectionIgnoresCoordinatesThatAreNotFinite)
{
    GxDesktop desktop(TestScene());
    GxControl control(&desktop, nullptr);
    control.SetBounds(1, 2, 30, 40);
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    const uint32_t ids[] = {GxControl::PidLeft, GxControl::PidTop, GxControl::PidWidth, GxControl::PidHeight};
    for (float value : bad)
    {
        for (uint32_t id : ids)
        {
            VarUtils::XVariant v;
            v = value;
            control.SetPropertyValue(id, v);
        }
    }
    float l, t, w, h;
    control.GetBounds(l, t, w, h);
    EXPECT_EQ(l, 1);
    EXPECT_EQ(t, 2);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 40);
    VarUtils::XVariant v;
    v = 12.5f;
    control.SetPropertyValue(GxControl::PidTop, v);
    EXPECT_EQ(control.GetTop(), 12.5f);
}
