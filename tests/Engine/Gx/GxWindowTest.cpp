// Windows of the in-viewport UI: the resize zones, dragging and resizing through the desktop's
// routing, the fade on an injected clock, and the caption as the device's call log records it.
#include "Gx/UI/GxDesktop.h"

#include "tests/support/ManualClock.h"
#include "tests/support/SoftDevice.h"

#include <gtest/gtest.h>

#include <cstring>
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

class CountingWindow : public GxWindow
{
public:
    using GxWindow::GxWindow;
    void Resized() override
    {
        GxWindow::Resized();
        ++resized;
    }
    int resized = 0;
};

// A desktop of 420 x 300 holding one window "w" at (100, 100), 200 x 120.
struct OneWindow
{
    GxDesktop desktop{TestScene()};
    CountingWindow* window;
    OneWindow()
    {
        desktop.SetBounds(0, 0, 420, 300);
        window = new CountingWindow(&desktop, u"w");
        desktop.AddControl(window);
        window->SetBounds(100, 100, 200, 120);
        window->resized = 0;
    }
    // A left drag as the desktop routes it: a move to the press point, the press, the moves, and
    // the release at the last point.
    void Drag(float x, float y, std::initializer_list<XPoint> moves, bool release = true)
    {
        desktop.MouseMove(x, y, 0);
        desktop.MouseDown(x, y, gmbLeft, gssLeft);
        XPoint last(x, y);
        for (const XPoint& p : moves)
        {
            desktop.MouseMove(p.x, p.y, gssLeft);
            last = p;
        }
        if (release)
            desktop.MouseUp(last.x, last.y, gmbLeft, 0);
    }
    void ExpectBounds(float l, float t, float w, float h)
    {
        EXPECT_EQ(window->GetLeft(), l);
        EXPECT_EQ(window->GetTop(), t);
        EXPECT_EQ(window->GetWidth(), w);
        EXPECT_EQ(window->GetHeight(), h);
    }
};


uint32_t FirstColor(const D3D9Call& call)
{
    uint32_t color = 0;
    if (call.vertices.size() >= 20)
        std::memcpy(&color, call.vertices.data() + 16, 4); // {x, y, z, rhw, colour}
    return color;
}
} // namespace

TEST(GxWindowTest, PressesInsideTheBordersPickTheirZonesAndOnlyFreeWindowsRespond)
{
    struct Case
    {
        float x, y;
        GxResizeZone zone;
    } cases[] = {
        {298, 102, grzTopRight}, {298, 218, grzBottomRight}, {102, 218, grzBottomLeft}, {102, 102, grzTopLeft},
        {298, 160, grzRight},    {200, 218, grzBottom},      {102, 160, grzLeft},       {200, 102, grzTop},
        {200, 160, grzNone},     {104, 217, grzBottomLeft},  {104, 104, grzTopLeft},
        {102, 216, grzBottom}, // the bottom-left corner starts strictly below bottom - 4
        {298, 216, grzBottomRight},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        OneWindow t;
        t.desktop.MouseMove(c.x, c.y, 0);
        t.desktop.MouseDown(c.x, c.y, gmbLeft, gssLeft);
        EXPECT_EQ(t.window->GetResizeZone(), c.zone);
        EXPECT_EQ(t.window->GetResizing(), c.zone != grzNone);
        EXPECT_EQ(t.window->GetMoving(), c.zone == grzNone);
        EXPECT_EQ(t.desktop.GetCaptureControl(), t.window);
    }

    OneWindow t;
    t.window->SetSizeable(false);
    t.Drag(298, 102, {}, false);
    EXPECT_TRUE(t.window->GetMoving()) << "a window that cannot be sized moves from its corner";
    t.desktop.MouseUp(298, 102, gmbLeft, 0);
    t.window->SetMoveable(false);
    t.Drag(200, 160, {{250, 200}}, false);
    EXPECT_FALSE(t.window->GetMoving());
    EXPECT_FALSE(t.window->GetResizing());
    EXPECT_EQ(t.desktop.GetCaptureControl(), nullptr);
    t.ExpectBounds(100, 100, 200, 120);

    t.window->SetMoveable(true);
    t.desktop.MouseDown(200, 160, gmbRight, gssRight); // only the left button drags
    t.desktop.MouseDown(200, 160, gmbMiddle, gssMiddle);
    EXPECT_FALSE(t.window->GetMoving());
    EXPECT_EQ(t.desktop.GetCaptureControl(), nullptr);
}

TEST(GxWindowTest, DraggingMovesDirectlyAndDraggingAZoneResizesWithinTheLimits)
{
    {
        OneWindow t;
        t.Drag(298, 102, {{308, 92}});
        t.ExpectBounds(100, 90, 210, 130);
        EXPECT_EQ(t.desktop.GetCaptureControl(), nullptr) << "the release ends the capture";
        EXPECT_FALSE(t.window->GetResizing());
        EXPECT_EQ(t.window->resized, 1);
    }
    {
        // The window's centre (200, 160) is left of the desktop's (210, 150) and below it; moved by
        // (30, 20) through SetBounds it would anchor right instead.
        OneWindow t;
        ASSERT_TRUE(t.window->GetAnchorLeft());
        ASSERT_TRUE(t.window->GetAnchorBottom());
        t.Drag(200, 160, {{215, 170}, {230, 180}}, false);
        t.ExpectBounds(130, 120, 200, 120);
        EXPECT_EQ(t.window->resized, 0);
        EXPECT_TRUE(t.window->GetAnchorLeft());
        EXPECT_FALSE(t.window->GetAnchorRight());
        EXPECT_EQ(t.desktop.GetCaptureControl(), t.window);
        t.desktop.MouseMove(300, 300, 0); // the button is no longer held: nothing moves
        t.ExpectBounds(130, 120, 200, 120);
        t.desktop.MouseUp(300, 300, gmbLeft, 0);
        EXPECT_EQ(t.desktop.GetCaptureControl(), nullptr);
        EXPECT_FALSE(t.window->GetMoving());
        t.desktop.MouseMove(310, 310, gssLeft);
        t.ExpectBounds(130, 120, 200, 120);
    }
    {
        // The left edge dragged past the right one stops at width 0 with the right edge in place.
        OneWindow t;
        t.Drag(102, 160, {{402, 160}});
        t.ExpectBounds(300, 100, 0, 120);
        // The top edge against a minimum height of 50: the bottom edge stays at 220.
        t.window->SetMinHeight(50);
        t.Drag(300, 102, {{300, 400}}); // the top-right corner of the empty window
        t.ExpectBounds(300, 170, 0, 50);
        // Right and bottom edges dragged far back: sizes stop at 0 and the minimum, nothing slides.
        t.window->SetBounds(100, 100, 200, 120);
        t.Drag(298, 218, {{-500, -500}});
        t.ExpectBounds(100, 100, 0, 50);
    }
    {
        // The window's own SetBounds takes a negative size as 0.
        OneWindow t;
        t.window->SetBounds(10, 10, -5, -7);
        t.ExpectBounds(10, 10, 0, 0);
    }
}

TEST(GxWindowTest, ReleasingDoesNotEndAnotherControlsCapture)
{
    OneWindow t;
    auto* other = new GxControl(&t.desktop, &t.desktop);
    t.desktop.AddControl(other);
    other->SetBounds(0, 0, 20, 20);
    t.desktop.MouseMove(200, 160, 0);
    t.desktop.SetCapture(other);
    t.desktop.MouseUp(200, 160, gmbLeft, 0);
    EXPECT_EQ(t.desktop.GetCaptureControl(), other);
}

namespace
{
// A window on a desktop and a device, the alpha of its background read from the call log.
struct Fade
{
    SoftDevice d;
    ManualClock clock{5000};
    GxDesktop desktop{TestScene()};
    GxWindow* window;
    Fade()
    {
        desktop.SetBounds(0, 0, 400, 300);
        window = new GxWindow(&desktop, u"");
        desktop.AddControl(window);
        window->SetBounds(100, 100, 100, 100);
        d.device->BeginScene();
    }
    ~Fade() { d.device->EndScene(); }
    uint32_t Render()
    {
        d.Clear();
        desktop.Render(d.device);
        std::vector<const D3D9Call*> draws = d.Draws();
        return draws.empty() ? 0xDEAD : FirstColor(*draws[0]) >> 24;
    }
    void Enter() { desktop.MouseMove(150, 150, 0); }
    void Leave() { desktop.MouseMove(10, 10, 0); }
    // The alpha `ms` after the render that saw the state change.
    uint32_t After(DWORD start, DWORD ms)
    {
        clock.Advance(start + ms - clock.Now());
        return Render();
    }
};
} // namespace

TEST(GxWindowTest, TheFadeFollowsTheClockFromTheRenderThatSawTheMouseComeOrGo)
{
    {
        Fade f;
        f.Enter();
        f.Render();
        f.Leave();
        const DWORD start = f.clock.Now();
        EXPECT_EQ(f.Render(), 240u);
        EXPECT_EQ(f.After(start, 999), 240u);
        EXPECT_EQ(f.After(start, 1500), 202u); // 150 * 1500 / 2000 + 90
        EXPECT_EQ(f.After(start, 2999), 90u);
        EXPECT_EQ(f.After(start, 3000), 90u);
        EXPECT_EQ(f.After(start, 60000), 90u);
        EXPECT_EQ(f.window->GetFadeStart(), start);

        f.Enter();
        const DWORD in = f.clock.Now();
        EXPECT_EQ(f.Render(), 90u);
        EXPECT_EQ(f.After(in, 150), 165u); // 240 - 150 * 150 / 300
        EXPECT_EQ(f.After(in, 300), 240u);
        EXPECT_EQ(f.After(in, 5000), 240u);
        EXPECT_TRUE(f.window->GetHot());
    }
    {
        // Animated off: 0xFF whatever the colours' alpha.
        Fade f;
        f.window->SetAnimated(false);
        f.window->SetBackColor(0x10FFFFFFu);
        EXPECT_EQ(f.Render(), 0xFFu);
    }
    {
        // No fade-in time: opaque at once; no fade-out time: transparent as soon as the hold ends.
        Fade f;
        f.window->SetAutoOpaqueFadeIn(0);
        f.window->SetAutoOpaqueFadeOut(0);
        f.Enter();
        EXPECT_EQ(f.Render(), 240u);
        f.Leave();
        const DWORD start = f.clock.Now();
        f.Render();
        EXPECT_EQ(f.After(start, 999), 240u);
        EXPECT_EQ(f.After(start, 1000), 90u);
    }
    {
        // The tick count wraps during the fade.
        Fade f;
        f.Enter();
        f.Render();
        f.clock.Advance(0xFFFFFF00u - f.clock.Now());
        f.Leave();
        EXPECT_EQ(f.Render(), 240u);
        f.clock.Advance(1500);
        ASSERT_LT(f.clock.Now(), 0xFFFFFF00u);
        EXPECT_EQ(f.Render(), 202u);
    }
    {
        // Transparent above opaque fades the other way and stays between the two.
        Fade f;
        f.window->SetTransparentAlpha(240);
        f.window->SetOpaqueAlpha(90);
        f.Enter();
        f.Render();
        f.Leave();
        const DWORD start = f.clock.Now();
        for (DWORD ms = 0; ms <= 4000; ms += 50)
        {
            uint32_t a = f.After(start, ms);
            EXPECT_GE(a, 90u) << ms;
            EXPECT_LE(a, 240u) << ms;
            if (ms == 1500)
            {
                EXPECT_EQ(a, 128u); // -150 * 1500 / 2000 + 240
            }
        }
        EXPECT_EQ(f.After(start, 4000), 240u);
    }
    {
        // Values beyond a byte are held within it.
        Fade f;
        f.window->SetOpaqueAlpha(0xFFFFFFFFu);
        f.window->SetTransparentAlpha(0);
        f.Enter();
        f.Render();
        f.clock.Advance(150);
        EXPECT_EQ(f.Render(), 255u);
        f.Leave();
        f.Render();
        f.clock.Advance(5000);
        EXPECT_EQ(f.Render(), 0u);
    }
}

namespace
{
// A 320 x 240 device with the desktop's fonts on it and a window "Tools"-like at (100, 100).
struct Captioned
{
    SoftDevice d{320, 240};
    GxDesktop desktop{TestScene()};
    GxWindow* window;
    explicit Captioned(const char16_t* caption, float width = 200)
    {
        desktop.SetBounds(0, 0, 320, 240);
        desktop.CreateDevice(d.device);
        window = new GxWindow(&desktop, caption);
        desktop.AddControl(window);
        window->SetBounds(100, 100, width, 120);
        window->SetTextColor(0xCC102030u);
        d.device->BeginScene();
    }
    ~Captioned()
    {
        d.device->EndScene();
        desktop.ReleaseDevice(d.device);
    }
    std::vector<XText2DVertex> TextVertices()
    {
        std::vector<XText2DVertex> v;
        for (const D3D9Call* c : d.Draws())
        {
            if (c->args.size() < 4 || c->args.compare(c->args.size() - 4, 4, ", 28") != 0)
                continue;
            v = CallVertices<XText2DVertex>(*c);
        }
        return v;
    }
};
} // namespace

TEST(GxWindowTest, TheCaptionIsCentredOverTheChildrenInTheTextColourWithTheDesktopsAlpha)
{
    {
        Captioned c(u"Tools");
        auto* child = new GxControl(&c.desktop, c.window);
        c.window->AddControl(child);
        child->SetBounds(0, 0, 200, 120); // covers the caption
        c.desktop.MouseMove(5, 5, 0);     // not hot: the window sits at its transparent alpha
        c.d.Clear();
        c.desktop.Render(c.d.device);
        std::vector<const D3D9Call*> draws = c.d.Draws();
        ASSERT_EQ(draws.size(), 3u) << "window, child, caption";
        EXPECT_EQ(draws[2]->args, "4, 10, 28") << "five glyphs over the two backgrounds";

        GxFont* font = c.desktop.GetFont(1);
        ASSERT_NE(font->GetGlyphs(), nullptr);
        float width = 0;
        for (char ch : std::string("Tools"))
            width += static_cast<float>(font->GetGlyphs()[static_cast<uint8_t>(ch) - font->GetFirstChar()].advance);
        std::vector<XText2DVertex> v = c.TextVertices();
        ASSERT_EQ(v.size(), 30u);
        EXPECT_FLOAT_EQ(v[0].x, 100 + 200 * 0.5f - width * 0.5f);
        EXPECT_FLOAT_EQ(v[0].y, 101);
        EXPECT_EQ(v[0].color, 0x5A102030u) << "the text colour with alpha 90";
        EXPECT_EQ(FirstColor(*draws[0]) >> 24, 0x5Au);
    }
    {
        Captioned c(u"");
        c.d.Clear();
        c.desktop.Render(c.d.device);
        EXPECT_EQ(c.d.Draws().size(), 1u) << "an empty caption draws no text";
        EXPECT_TRUE(c.TextVertices().empty());
    }
    {
        // Wider than the window: only the glyphs whose cells fit are drawn.
        const std::u16string text = u"Tools Tools Tools";
        Captioned c(text.c_str(), 40);
        c.window->SetAnimated(false);
        c.d.Clear();
        c.desktop.Render(c.d.device);
        GxFont* font = c.desktop.GetFont(1);
        float total = 0;
        for (char16_t ch : text)
            total += static_cast<float>(font->GetGlyphs()[ch - font->GetFirstChar()].advance);
        float x = 100 + 20 - total * 0.5f;
        size_t fitting = 0;
        for (char16_t ch : text)
        {
            float a = static_cast<float>(font->GetGlyphs()[ch - font->GetFirstChar()].advance);
            if (x >= 100 && x + a <= 140)
                ++fitting;
            x += a;
        }
        ASSERT_GT(fitting, 0u);
        ASSERT_LT(fitting, text.size());
        std::vector<XText2DVertex> v = c.TextVertices();
        EXPECT_EQ(v.size(), fitting * 6);
        for (const XText2DVertex& p : v)
        {
            EXPECT_GE(p.x, 100);
            EXPECT_LE(p.x, 140);
            EXPECT_EQ(p.color, 0xFF102030u);
        }
    }
}
