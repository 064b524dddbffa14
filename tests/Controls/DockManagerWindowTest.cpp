// Panels docked by the mouse into an action grid with a dock manager, in a real window on a
// private X server: zones, grabbers and close buttons as the window shows them, the close
// button, a split bar and a grabber dragged by XTest input, and random input.
#include "Controls/XActionGrid.h"
#include "Platform/Vcl/DockTree.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/ImgList.h"

#include "tests/support/PresenterWindowTest.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{
constexpr int kCell = 40;

uint32_t Px(TColor color)
{
    return Platform::Gdi::ToPixel(ColorToRGB(color));
}

// Three 32 x 32 images on magenta (clear): a red disc, a green square, a blue bar.
TImageList* MakeImages(TComponent* owner)
{
    auto* images = new TImageList(owner);
    images->SetWidth(32);
    images->SetHeight(32);
    TBitmap strip;
    strip.SetSize(96, 32);
    const uint32_t fills[] = {0xD02020u, 0x20A020u, 0x2040D0u};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 96; ++x)
        {
            const int image = x / 32, u = x % 32 - 16, v = y - 16;
            const bool inside = image == 0   ? u * u + v * v < 12 * 12
                                : image == 1 ? std::abs(u) < 11 && std::abs(v) < 11
                                             : std::abs(u) < 4;
            strip.ScanLine(y)[x] = inside ? fills[image] : 0xFF00FFu;
        }
    images->AddMasked(&strip, clFuchsia);
    return images;
}

class DockManagerWindowTest : public PresenterWindowTest
{
public:
    // Presses at `start` (form client coordinates), moves past the threshold in steps to `end`,
    // and lets go there.
    void Drag(unsigned long window, TPoint start, TPoint end)
    {
        probe->MoveTo(window, start.x, start.y);
        Settle();
        probe->Button(1, true);
        Settle();
        for (int step = 1; step <= 3; ++step)
        {
            probe->MoveTo(window, start.x + step * 3, start.y + step * 2);
            Settle();
        }
        probe->MoveTo(window, end.x, end.y);
        Settle();
        probe->MoveTo(window, end.x + 1, end.y);
        Settle();
        probe->Button(1, false);
        Settle();
    }
    static TPoint At(TControl* control, int x, int y)
    {
        const TPoint origin = control->FormOrigin();
        return TPoint(origin.x + x, origin.y + y);
    }
    static TRect Zone(XActionGrid* grid, TControl* client)
    {
        TRect r;
        if (!grid->DockManager()->GetControlBounds(client, r))
            return TRect(-1, -1, -1, -1);
        return r;
    }
    // The zone's band on the window: the grooves and the close button where the manager draws
    // them, the client below it.
    void ExpectGrabber(unsigned long window, XActionGrid* grid, TControl* client, TColor body)
    {
        const TRect z = Zone(grid, client);
        const TPoint o = grid->FormOrigin();
        const int L = o.x + z.left, T = o.y + z.top, R = o.x + z.right;
        SCOPED_TRACE(client->Caption().ToUtf8());
        EXPECT_EQ(client->BoundsRect(), TRect(z.left, z.top + 12, z.right, z.bottom));
        for (int x = L + 2; x < R - 14; x += 9)
        {
            EXPECT_EQ(probe->ReadPixel(window, x, T + 3), Px(clBtnHighlight)) << x - L;
            EXPECT_EQ(probe->ReadPixel(window, x, T + 5), Px(clBtnShadow)) << x - L;
            EXPECT_EQ(probe->ReadPixel(window, x, T + 6), Px(clBtnHighlight)) << x - L;
            EXPECT_EQ(probe->ReadPixel(window, x, T + 8), Px(clBtnShadow)) << x - L;
        }
        EXPECT_EQ(probe->ReadPixel(window, R - 14, T + 4), Px(clBtnShadow));
        EXPECT_EQ(probe->ReadPixel(window, L + 2, T + 4), Px(clBtnHighlight));
        // The close button, 10 x 10 one pixel in from the band's top-right corner, as the frame
        // control draws it.
        std::vector<uint32_t> button(100, 0);
        Platform::Gdi::Surface surface{button.data(), 10, 10, 10};
        HDC dc = Platform::Gdi::CreateSurfaceDC(surface, POINT{0, 0}, RECT{0, 0, 10, 10});
        RECT r{0, 0, 10, 10};
        DrawFrameControl(dc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE);
        DeleteDC(dc);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(probe->ReadPixel(window, R - 11 + x, T + 1 + y), button[y * 10 + x])
                    << x << "," << y;
        EXPECT_EQ(probe->ReadPixel(window, (L + R) / 2, T + 30), Px(body));
    }
};
} // namespace

TEST_F(DockManagerWindowTest, PanelsTileInAGridAndAreClosedResizedAndFloated)
{
    TForm form(nullptr);
    form.SetCaption(u"Docking");
    form.SetWindowStyle(form.WindowStyle() | WS_POPUP);
    form.SetBounds(40, 40, 460, 300);
    form.SetColor(clBtnFace);
    TImageList* images = MakeImages(&form);
    auto* grid = new XActionGrid(&form);
    grid->SetParent(&form);
    grid->SetRowCount(6);
    grid->SetLineCount(6);
    grid->SetBounds(10, 10, 6 * kCell, 6 * kCell);
    grid->SetImages(images);
    grid->SetDockSite(true);
    grid->SetUseDockManager(true);
    XAction actions[6];
    for (int i = 0; i < 6; ++i)
    {
        actions[i].SetImageIndex(i % 3);
        grid->setAction(i * 7, &actions[i]);
    }
    const TColor colours[] = {static_cast<TColor>(0x4080E0), static_cast<TColor>(0x60C060),
                              static_cast<TColor>(0xC07040)};
    TPanel* panels[3];
    for (int i = 0; i < 3; ++i)
    {
        panels[i] = new TPanel(&form);
        panels[i]->SetParent(&form);
        panels[i]->SetBounds(300, 10 + i * 80, 120, 60);
        panels[i]->SetColor(colours[i]);
        panels[i]->SetCaption(i == 0 ? u"One" : i == 1 ? u"Two" : u"Three");
        panels[i]->SetDragKind(dkDock);
        panels[i]->SetDragMode(dmAutomatic);
    }
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));

    // The first fills the grid, under its band.
    Drag(window, At(panels[0], 60, 10), At(grid, 120, 120));
    ASSERT_EQ(panels[0]->Parent(), grid);
    EXPECT_EQ(Zone(grid, panels[0]), TRect(0, 0, 240, 240));
    // The second near the grid's right edge: the right half.
    Drag(window, At(panels[1], 60, 10), At(grid, 232, 120));
    ASSERT_EQ(panels[1]->Parent(), grid);
    EXPECT_EQ(Zone(grid, panels[0]), TRect(0, 0, 118, 240));
    EXPECT_EQ(Zone(grid, panels[1]), TRect(122, 0, 240, 240));
    // The third onto the bottom of the second: stacked under it.
    Drag(window, At(panels[2], 60, 10), At(grid, 180, 234));
    ASSERT_EQ(panels[2]->Parent(), grid);
    EXPECT_EQ(Zone(grid, panels[1]), TRect(122, 0, 240, 118));
    EXPECT_EQ(Zone(grid, panels[2]), TRect(122, 122, 240, 240));
    Settle();
    for (int i = 0; i < 3; ++i)
        ExpectGrabber(window, grid, panels[i], colours[i]);
    // The split bar shows the grid under it, not a panel.
    const TPoint g = grid->FormOrigin();
    EXPECT_NE(probe->ReadPixel(window, g.x + 119, g.y + 60), Px(colours[0]));
    EXPECT_NE(probe->ReadPixel(window, g.x + 119, g.y + 60), Px(colours[1]));
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Controls/data/dock_manager.png", 1, 7, 5));

    // The second's close button: it hides, and the third takes its space.
    ClickOn(window, grid, 240 - 6, 5);
    EXPECT_FALSE(panels[1]->Visible());
    EXPECT_EQ(Zone(grid, panels[2]), TRect(122, 0, 240, 240));
    Settle();
    ExpectGrabber(window, grid, panels[2], colours[2]);

    // The split bar between the first and the third, dragged left by 38 pixels.
    probe->MoveTo(window, g.x + 119, g.y + 100);
    Settle();
    EXPECT_EQ(form.CursorShown(), crHSplit);
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, g.x + 100, g.y + 100);
    Settle();
    probe->MoveTo(window, g.x + 81, g.y + 100);
    Settle();
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(Zone(grid, panels[0]), TRect(0, 0, 80, 240));
    EXPECT_EQ(Zone(grid, panels[2]), TRect(84, 0, 240, 240));
    ExpectGrabber(window, grid, panels[0], colours[0]);
    ExpectGrabber(window, grid, panels[2], colours[2]);

    // The first's grabber dragged off the grid, to the form's empty right side: it floats, in a
    // window of its own, and the third fills the grid.
    Drag(window, At(grid, 20, 5), TPoint(340, 260));
    EXPECT_TRUE(panels[0]->Floating());
    EXPECT_EQ(Zone(grid, panels[2]), TRect(0, 0, 240, 240));
    unsigned long floating = Vcl::NativeWindowOf(GetParentForm(panels[0]));
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(floating); }));
    Settle();
    EXPECT_EQ(probe->ReadPixel(floating, 10, 10), Px(colours[0]));

    // Random clicks, moves and drags over the form never break anything.
    panels[1]->Show();
    RandomInput(window, form.ClientWidth(), form.ClientHeight(), 57, 4,
                [&](unsigned kind, std::mt19937& random)
                {
                    const int x = static_cast<int>(random() % static_cast<unsigned>(form.ClientWidth()));
                    const int y = static_cast<int>(random() % static_cast<unsigned>(form.ClientHeight()));
                    if (kind == 2)
                        probe->Button(1, true);
                    probe->MoveTo(window, x, y);
                    if (kind == 3)
                        probe->Button(1, false);
                });
    probe->Button(1, false);
    Settle();
    EXPECT_TRUE(form.Visible());
    EXPECT_FALSE(DockDragging());
    // Everything back on the form, so the floating windows go.
    for (TPanel* p : panels)
    {
        if (p->Parent() != &form)
            p->SetParent(&form);
    }
    Settle();
    form.Hide();
}
