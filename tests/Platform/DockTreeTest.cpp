// Dock sites with a dock manager: zones built by docking on each side, the drop rectangle shown
// while dragging, space given back on removal and hiding, proportional resizing, the grabber's
// pixels, and the grabber, close button and split bar driven by the mouse.
#include "Platform/Vcl/DockTree.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace
{
// A shown form (screen and form client coordinates coincide) with a 300 x 200 panel site at
// (100, 50) and dockable panels.
struct DockBench
{
    DockBench() : form(nullptr)
    {
        Platform::ResetKeyStates();
        form.SetBounds(0, 0, 700, 450);
        form.SetColor(clWhite);
        form.Show();
        site = MakeSite(100, 50, 300, 200);
    }
    ~DockBench()
    {
        CancelDrag();
        // A floating window goes once its client left it and the queue ran.
        for (TPanel* c : clients)
        {
            if (c->Floating())
                c->SetParent(&form);
        }
        Application->ProcessMessages();
        form.Hide();
        Platform::ResetKeyStates();
    }
    TPanel* MakeSite(int left, int top, int width, int height)
    {
        auto* p = new TPanel(&form);
        p->SetParent(&form);
        p->SetBevelOuter(bvNone);
        p->SetBounds(left, top, width, height);
        p->SetDockSite(true);
        return p;
    }
    TPanel* Client()
    {
        auto* c = new TPanel(&form);
        c->SetParent(&form);
        c->SetBounds(600, 380, 50, 40);
        c->SetDragKind(dkDock);
        c->SetDragMode(dmAutomatic);
        clients.push_back(c);
        return c;
    }
    // Docks `c` into `into` as a drop over `on` on the `align` side would.
    static void Dock(TWinControl* into, TControl* c, TControl* on, TAlign align)
    {
        TDragDockObject source(c);
        source.SetDropOnControl(on);
        source.SetDropAlign(align);
        into->DockDrop(&source, 0, 0);
    }
    void Dock(TControl* c, TControl* on, TAlign align) { Dock(site, c, on, align); }
    TRect Zone(TControl* c, TWinControl* in = nullptr) const
    {
        TRect r;
        if (!(in ? in : site)->DockManager()->GetControlBounds(c, r))
            return TRect(-1, -1, -1, -1);
        return r;
    }
    // Every shown client sits in its zone under a 12-pixel band.
    void ExpectPlaced(TControl* c) const
    {
        TRect z = Zone(c, c->Parent());
        EXPECT_EQ(c->BoundsRect(), TRect(z.left, z.top + TDockTree::GrabberSize, z.right, z.bottom));
    }
    uint32_t Pixel(int x, int y)
    {
        form.Invalidate();
        form.PaintDirty();
        return form.Pixels()[y * form.ClientWidth() + x];
    }
    void Down(int x, int y) { Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Move(int x, int y, WPARAM keys = MK_LBUTTON)
    {
        Vcl::RouteInput(&form, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
    }
    void Up(int x, int y) { Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    // A press at (x, y) dragged past the threshold to (tx, ty) and released there.
    void Drag(int x, int y, int tx, int ty)
    {
        Down(x, y);
        Move(x + 8, y + 8);
        Move(tx, ty);
        Move(tx + 1, ty);
        Up(tx + 1, ty);
    }

    TForm form;
    TPanel* site;
    std::vector<TPanel*> clients;
};

uint32_t Px(TColor color)
{
    return Platform::Gdi::ToPixel(ColorToRGB(color));
}
} // namespace

TEST(DockTreeTest, ZonesTileBesideTheDropTargetAndNestAcrossDirections)
{
    DockBench b;
    TPanel* c[7];
    for (TPanel*& p : c)
        p = b.Client();
    struct Step
    {
        int client;
        int on; // -1: beside everything
        TAlign align;
        std::vector<std::pair<int, TRect>> zones;
    };
    // 300 x 200 site, 4-pixel split bars; shares of equal weight split what the bars leave.
    const Step steps[] = {
        {0, -1, alNone, {{0, TRect(0, 0, 300, 200)}}},
        {1, 0, alRight, {{0, TRect(0, 0, 148, 200)}, {1, TRect(152, 0, 300, 200)}}},
        // Stacked inside the right zone: the right zone splits the other way.
        {2,
         1,
         alBottom,
         {{0, TRect(0, 0, 148, 200)}, {1, TRect(152, 0, 300, 98)}, {2, TRect(152, 102, 300, 200)}}},
        // Beside everything, on the left: half the site's weight, beside the root's children.
        {3,
         -1,
         alLeft,
         {{3, TRect(0, 0, 146, 200)},
          {0, TRect(150, 0, 223, 200)},
          {1, TRect(227, 0, 300, 98)},
          {2, TRect(227, 102, 300, 200)}}},
        {4,
         0,
         alTop,
         {{4, TRect(150, 0, 223, 98)}, {0, TRect(150, 102, 223, 200)}, {3, TRect(0, 0, 146, 200)}}},
        // Beside a stacked zone's client, side by side: it splits that zone across.
        {5,
         2,
         alRight,
         {{2, TRect(227, 102, 261, 200)}, {5, TRect(265, 102, 300, 200)}, {1, TRect(227, 0, 300, 98)}}},
        // A new root across the old one: everything before shares the top half.
        {6,
         -1,
         alBottom,
         {{6, TRect(0, 102, 300, 200)}, {3, TRect(0, 0, 146, 98)}, {1, TRect(227, 0, 300, 47)}}},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.client);
        b.Dock(c[step.client], step.on < 0 ? nullptr : c[step.on], step.align);
        EXPECT_EQ(c[step.client]->Parent(), b.site);
        for (const auto& [index, zone] : step.zones)
        {
            EXPECT_EQ(b.Zone(c[index]), zone) << index;
            b.ExpectPlaced(c[index]);
        }
    }
    EXPECT_EQ(b.site->DockManager()->ClientCount(), 7);
}

TEST(DockTreeTest, TheDropRectangleIsTheHalfTheClientWouldTake)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    TPanel* d = b.Client();
    TDockTree* tree = b.site->DockManager();
    ASSERT_NE(tree, nullptr);
    struct Case
    {
        TControl* drop;
        TAlign align;
        TRect expected; // screen
    };
    auto check = [&](const std::vector<Case>& cases)
    {
        for (const Case& k : cases)
        {
            TRect r;
            tree->PositionDockRect(d, k.drop, k.align, r);
            EXPECT_EQ(r, k.expected) << k.align;
        }
    };
    // Empty: the whole site, whatever the edge.
    check({{nullptr, alLeft, TRect(100, 50, 400, 250)}, {nullptr, alBottom, TRect(100, 50, 400, 250)}});
    b.Dock(a, nullptr, alNone);
    // One client: the site's half on that side.
    check({{nullptr, alLeft, TRect(100, 50, 250, 250)},
           {a, alRight, TRect(250, 50, 400, 250)},
           {a, alTop, TRect(100, 50, 400, 150)},
           {nullptr, alBottom, TRect(100, 150, 400, 250)}});
    b.Dock(c, a, alRight);
    // Two: the half of the client's zone, or of the site when over no client.
    check({{c, alTop, TRect(252, 50, 400, 150)},
           {c, alLeft, TRect(252, 50, 326, 250)},
           {a, alBottom, TRect(100, 150, 248, 250)},
           {nullptr, alRight, TRect(250, 50, 400, 250)}});
    // A client over its own zone stays where it is.
    TRect own;
    tree->PositionDockRect(c, c, alLeft, own);
    EXPECT_EQ(own, TRect(252, 50, 400, 250));
    // A hidden client is no drop target and takes no share of the count.
    c->Hide();
    check({{c, alTop, TRect(100, 50, 400, 150)}});
}

TEST(DockTreeTest, TheDockEdgeIsTheNearestOne)
{
    TCustomControl control(nullptr);
    control.SetBounds(0, 0, 100, 50);
    struct Case
    {
        TPoint at;
        TAlign edge;
    };
    const Case cases[] = {
        {TPoint(-1, 10), alLeft},
        {TPoint(100, 10), alRight},
        {TPoint(10, -1), alTop},
        {TPoint(10, 50), alBottom},
        {TPoint(5, 25), alLeft},
        {TPoint(95, 25), alRight},
        {TPoint(50, 3), alTop},
        {TPoint(50, 48), alBottom},
        // Ties go left, right, top, bottom.
        {TPoint(25, 25), alLeft},
        {TPoint(75, 25), alRight},
        {TPoint(50, 25), alTop},
    };
    for (const Case& k : cases)
        EXPECT_EQ(control.GetDockEdge(k.at), k.edge) << k.at.x << "," << k.at.y;
}

TEST(DockTreeTest, ALeavingClientGivesItsSpaceAndLoneZonesCollapse)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    TPanel* d = b.Client();
    TPanel* e = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    b.Dock(d, c, alRight);
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 146, 200));
    EXPECT_EQ(b.Zone(d), TRect(227, 0, 300, 200));
    // The middle one re-parented by code: the one before it takes its space.
    c->SetParent(&b.form);
    EXPECT_FALSE(b.site->DockManager()->Holds(c));
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 222, 200));
    EXPECT_EQ(b.Zone(d), TRect(226, 0, 300, 200));
    // A stacked zone inside, then a zone across inside that: [a | [c / [d e]]].
    b.Dock(c, d, alTop);
    b.Dock(e, d, alRight);
    EXPECT_EQ(b.Zone(e).top, b.Zone(d).top);
    // c leaves (freed): the stacked zone is left with the side-by-side one, whose children join
    // the root beside a, full height.
    delete c;
    b.clients.erase(std::find(b.clients.begin(), b.clients.end(), c));
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 219, 200));
    EXPECT_EQ(b.Zone(d), TRect(223, 0, 259, 200));
    EXPECT_EQ(b.Zone(e), TRect(263, 0, 300, 200));
    b.ExpectPlaced(d);
    b.ExpectPlaced(e);
    // A new client beside d on the right now stands in the root's row too.
    TPanel* f = b.Client();
    b.Dock(f, d, alRight);
    EXPECT_EQ(b.Zone(f).top, 0);
    EXPECT_EQ(b.Zone(f).bottom, 200);
    // Floated and docked elsewhere: both leave; the last one fills the site again.
    f->ManualDock(nullptr, TRect(500, 300, 550, 340));
    EXPECT_TRUE(f->Floating());
    TPanel* other = b.MakeSite(420, 50, 200, 200);
    e->ManualDock(other, TRect());
    d->ManualDock(other, TRect());
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 300, 200));
    EXPECT_EQ(b.Zone(e, other), TRect(0, 0, 98, 200)); // ManualDock: to the right of what is there
    EXPECT_EQ(b.Zone(d, other), TRect(102, 0, 200, 200));
    a->SetParent(nullptr);
    EXPECT_EQ(b.site->DockManager()->ClientCount(), 0);
    a->SetParent(&b.form);
}

TEST(DockTreeTest, HiddenClientsTakeNoSpaceAndGetTheirShareBack)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    TPanel* d = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    b.Dock(d, c, alBottom);
    const TRect before[] = {b.Zone(a), b.Zone(c), b.Zone(d)};
    // Side by side, a hidden zone's share goes to the one before it.
    TPanel* e = b.Client();
    b.Dock(e, a, alRight);
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 73, 200));
    e->Hide();
    EXPECT_EQ(b.Zone(a), before[0]);
    EXPECT_EQ(b.Zone(c), before[1]);
    e->Free();
    b.clients.pop_back();
    d->Hide();
    EXPECT_EQ(b.Zone(c), TRect(152, 0, 300, 200));
    EXPECT_EQ(b.Zone(d), TRect(-1, -1, -1, -1));
    EXPECT_EQ(b.site->DockManager()->VisibleClientCount(), 2);
    c->Hide();
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 300, 200));
    b.ExpectPlaced(a);
    c->Show();
    d->Show();
    EXPECT_EQ(b.Zone(a), before[0]);
    EXPECT_EQ(b.Zone(c), before[1]);
    EXPECT_EQ(b.Zone(d), before[2]);
    b.ExpectPlaced(d);
}

TEST(DockTreeTest, AResizedSiteRescalesItsZonesInProportion)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    // The split bar between them dragged to make a 100 wide.
    b.Down(100 + 149, 100);
    EXPECT_EQ(b.form.CursorShown(), crHSplit);
    b.Move(100 + 101, 100);
    b.Up(100 + 101, 100);
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 100, 200));
    EXPECT_EQ(b.Zone(c), TRect(104, 0, 300, 200));
    b.site->SetBounds(100, 50, 300 + 296, 400);
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 200, 400));
    EXPECT_EQ(b.Zone(c), TRect(204, 0, 596, 400));
    b.ExpectPlaced(c);
    // Aligned to the client area of the form, it follows the form.
    b.site->SetAlign(alClient);
    const TRect area = b.form.ClientRect();
    EXPECT_EQ(b.Zone(c), TRect(b.Zone(a).right + 4, 0, area.Width(), area.Height()));
    EXPECT_EQ(b.Zone(a).Width(), (area.Width() - 4) * 100 / 296);
}

TEST(DockTreeTest, SplitBarsKeepAMinimumAndDragLive)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alBottom);
    // Stacked: the bar runs across at y 98..101 and shows the up-down cursor.
    b.Move(200, 50 + 99, 0);
    EXPECT_EQ(b.form.CursorShown(), crVSplit);
    b.Move(200, 50 + 120, 0);
    EXPECT_NE(b.form.CursorShown(), crVSplit);
    b.Down(200, 50 + 99);
    b.Move(200, 50 + 60);
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 300, 59)); // live, grabbed 1 pixel into the bar
    b.ExpectPlaced(c);
    b.Move(200, 50 - 40); // past the top: the least a zone keeps
    EXPECT_EQ(b.Zone(a).Height(), TDockTree::MinZoneSize);
    b.Move(200, 50 + 400);
    EXPECT_EQ(b.Zone(c).Height(), TDockTree::MinZoneSize);
    b.Up(200, 50 + 400);
    b.Move(200, 50 + 20);
    EXPECT_EQ(b.Zone(c).Height(), TDockTree::MinZoneSize); // released: moves change nothing
}

TEST(DockTreeTest, GrabbersDrawGroovesAndACloseButtonOnTheirBand)
{
    DockBench b;
    TPanel* a = b.Client();
    b.Dock(a, nullptr, alNone);
    // What the close button looks like, drawn alone on a surface of its own.
    auto closeButton = [](bool pushed)
    {
        std::vector<uint32_t> pixels(100, 0x123456);
        Platform::Gdi::Surface surface{pixels.data(), 10, 10, 10};
        HDC dc = Platform::Gdi::CreateSurfaceDC(surface, POINT{0, 0}, RECT{0, 0, 10, 10});
        RECT r{0, 0, 10, 10};
        DrawFrameControl(dc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE | (pushed ? DFCS_PUSHED : 0));
        DeleteDC(dc);
        return pixels;
    };
    auto expectClose = [&](int left, int top, bool pushed)
    {
        const std::vector<uint32_t> want = closeButton(pushed);
        b.Pixel(0, 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(b.form.Pixels()[(top + y) * b.form.ClientWidth() + left + x], want[y * 10 + x])
                    << x << "," << y;
    };
    const uint32_t light = Px(clBtnHighlight), shadow = Px(clBtnShadow), face = Px(clBtnFace);
    // On top: grooves from x 2 to 300 - 14, rows 3..5 and 6..8; the button at (289, 1).
    const int L = 100, T = 50, R = 400;
    struct Probe
    {
        int x, y;
        uint32_t colour;
    };
    const Probe top[] = {
        {L + 2, T + 3, light},  {L + 50, T + 3, light},  {L + 2, T + 4, light},   {L + 50, T + 4, face},
        {L + 2, T + 5, shadow}, {L + 50, T + 5, shadow}, {R - 14, T + 3, shadow}, {R - 14, T + 4, shadow},
        {L + 50, T + 6, light}, {L + 50, T + 8, shadow}, {L + 50, T + 9, face},   {L + 1, T + 4, face},
        {R - 13, T + 4, face},  {L + 50, T + 2, face},
    };
    for (const Probe& p : top)
        EXPECT_EQ(b.Pixel(p.x, p.y), p.colour) << p.x - L << "," << p.y - T;
    expectClose(R - 11, T + 1, false);
    // Aligned to the top of its form, the site puts the bands on the left of each zone.
    b.site->SetAlign(alTop);
    b.site->SetHeight(200);
    const int W = b.form.ClientWidth();
    EXPECT_EQ(a->BoundsRect(), TRect(12, 0, W, 200));
    const Probe left[] = {
        {3, 13, light},   {3, 100, light},  {4, 13, light},   {4, 100, face},
        {5, 100, shadow}, {3, 198, shadow}, {4, 198, shadow}, {6, 50, light},
        {8, 50, shadow},  {3, 12, face},    {3, 199, face},   {9, 50, face},
    };
    for (const Probe& p : left)
        EXPECT_EQ(b.Pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
    expectClose(1, 1, false);
    // Held, the button shows pushed while the pointer stays over it.
    b.Down(5, 5);
    expectClose(1, 1, true);
    b.Move(40, 40);
    expectClose(1, 1, false);
    b.Move(6, 6);
    expectClose(1, 1, true);
    b.Up(60, 60);
    EXPECT_TRUE(a->Visible()); // released elsewhere: nothing happens
    expectClose(1, 1, false);
}

TEST(DockTreeTest, TheCloseButtonHidesItsClient)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    // c's button: (152 + 148 - 11, 1) in the site.
    b.Down(100 + 295, 50 + 5);
    EXPECT_TRUE(c->Visible());
    b.Up(100 + 295, 50 + 5);
    EXPECT_FALSE(c->Visible());
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 300, 200));
    b.ExpectPlaced(a);
    EXPECT_TRUE(b.site->DockManager()->Holds(c));
    c->Show();
    EXPECT_EQ(b.Zone(c), TRect(152, 0, 300, 200));
    // A client freed while its button is held: the release finds nothing to hide.
    b.Down(100 + 295, 50 + 5);
    delete c;
    b.clients.pop_back();
    b.Up(100 + 295, 50 + 5);
    EXPECT_TRUE(a->Visible());
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 300, 200));
}

TEST(DockTreeTest, GrabbersDragClientsToOtherZonesSitesAndFloating)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    TPanel* other = b.MakeSite(420, 50, 200, 200);
    // A press on the grabber and a move within the threshold: nothing starts.
    b.Down(120, 55);
    b.Move(122, 56);
    TRect feedback;
    bool thick = false;
    EXPECT_FALSE(Vcl::DockFeedbackShown(feedback, thick));
    // Over c near its bottom edge the frame shows c's lower half.
    b.Move(330, 230);
    ASSERT_TRUE(Vcl::DockFeedbackShown(feedback, thick));
    EXPECT_FALSE(thick);
    EXPECT_EQ(feedback, TRect(252, 150, 400, 250));
    // Released there, a moves under c; the site's left half goes to c's column.
    b.Up(330, 230);
    EXPECT_FALSE(Vcl::DockFeedbackShown(feedback, thick));
    EXPECT_EQ(a->Parent(), b.site);
    EXPECT_EQ(b.Zone(c), TRect(0, 0, 300, 98));
    EXPECT_EQ(b.Zone(a), TRect(0, 102, 300, 200));
    // Dropped onto itself nothing changes.
    b.Drag(120, 50 + 105, 200, 50 + 150);
    EXPECT_EQ(b.Zone(a), TRect(0, 102, 300, 200));
    EXPECT_EQ(b.Zone(c), TRect(0, 0, 300, 98));
    // Into another site: it fills it, and c fills this one.
    b.Drag(120, 50 + 105, 500, 150);
    EXPECT_EQ(a->Parent(), other);
    EXPECT_EQ(b.Zone(a, other), TRect(0, 0, 200, 200));
    EXPECT_EQ(b.Zone(c), TRect(0, 0, 300, 200));
    b.ExpectPlaced(a);
    // A site that refuses shows the thick frame at the client's own size, held where grabbed.
    struct Refuse
    {
        void Over(TObject*, TDragDockObject*, int, int, TDragState, bool& accept) { accept = false; }
    } refuse;
    b.site->OnDockOver = MakeClosure(&refuse, &Refuse::Over);
    b.Down(440, 55);
    b.Move(448, 63);
    b.Move(250, 150);
    ASSERT_TRUE(Vcl::DockFeedbackShown(feedback, thick));
    EXPECT_TRUE(thick);
    EXPECT_EQ(feedback, TRect(230, 157, 430, 345));
    Vcl::RouteInput(&b.form, WM_KEYDOWN, VK_ESCAPE, 0);
    Vcl::RouteInput(&b.form, WM_KEYUP, VK_ESCAPE, 0);
    b.Up(250, 150);
    EXPECT_EQ(a->Parent(), other);
    b.site->OnDockOver = nullptr;
    // Dropped where no site takes it, it floats at the size it had.
    b.Drag(440, 55, 250, 330);
    EXPECT_TRUE(a->Floating());
    EXPECT_EQ(a->Width(), 200);
    EXPECT_EQ(other->DockManager()->ClientCount(), 0);
    // A double click on a grabber floats its client where it stands.
    b.Down(120, 55);
    b.Up(120, 55);
    Vcl::RouteInput(&b.form, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(120, 55));
    Vcl::RouteInput(&b.form, WM_LBUTTONUP, 0, MAKELPARAM(120, 55));
    EXPECT_TRUE(c->Floating());
    EXPECT_EQ(c->Width(), 300);
    EXPECT_EQ(b.site->DockManager()->ClientCount(), 0);
}

TEST(DockTreeTest, TheManagerLivesWhileDockSiteAndUseDockManagerAreOn)
{
    // A panel asks for one; other windowed controls do not.
    TPanel panel(nullptr);
    EXPECT_TRUE(panel.UseDockManager());
    EXPECT_EQ(panel.DockManager(), nullptr);
    TCustomControl plain(nullptr);
    plain.SetDockSite(true);
    EXPECT_FALSE(plain.UseDockManager());
    EXPECT_EQ(plain.DockManager(), nullptr);

    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    const TRect placed = c->BoundsRect();
    // Off: the clients stay where they stand, and a drop places a control as it is.
    b.site->SetUseDockManager(false);
    EXPECT_EQ(b.site->DockManager(), nullptr);
    EXPECT_EQ(c->BoundsRect(), placed);
    b.site->SetBounds(100, 50, 350, 200);
    EXPECT_EQ(c->BoundsRect(), placed);
    delete a; // freed with no manager to tell
    b.clients.erase(b.clients.begin());
    b.site->SetUseDockManager(true);
    ASSERT_NE(b.site->DockManager(), nullptr);
    EXPECT_EQ(b.site->DockManager()->ClientCount(), 0);
    TPanel* d = b.Client();
    b.Dock(d, nullptr, alNone);
    EXPECT_EQ(b.Zone(d), TRect(0, 0, 350, 200));
    b.site->SetDockSite(false);
    EXPECT_EQ(b.site->DockManager(), nullptr);
    EXPECT_EQ(d->BoundsRect(), TRect(0, 12, 350, 200));
    b.site->SetDockSite(true);
    b.Dock(c, nullptr, alNone);
    EXPECT_EQ(b.Zone(c), TRect(0, 0, 350, 200));
    // Freeing the site with docked clients frees them with it.
    delete b.site;
    b.clients.clear();
}

TEST(DockTreeTest, DockingBesideEverythingAgainAndAgainKeepsHalfTheSite)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    TPanel* d = b.Client();
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    // Each dock beside everything takes as much as all the others have; a hundred of them would
    // double the shares past any integer unless they are kept to a scale.
    for (int i = 0; i < 100; ++i)
        b.Dock(d, nullptr, i % 2 ? alLeft : alRight);
    EXPECT_EQ(b.Zone(d), TRect(0, 0, 146, 200));
    EXPECT_EQ(b.Zone(a).left, 150);
    EXPECT_GT(b.Zone(a).Width(), 0);
    EXPECT_EQ(b.Zone(c).left, b.Zone(a).right + 4);
    EXPECT_EQ(b.Zone(c).right, 300);
    b.ExpectPlaced(d);
}

TEST(DockTreeTest, DockedClientsKeepTheirZoneWhateverTheirOwnAlignment)
{
    DockBench b;
    TPanel* a = b.Client();
    TPanel* c = b.Client();
    a->SetAlign(alTop);
    b.Dock(a, nullptr, alNone);
    b.Dock(c, a, alRight);
    b.ExpectPlaced(a);
    c->SetAlign(alClient);
    b.ExpectPlaced(c);
    EXPECT_EQ(b.Zone(c), TRect(152, 0, 300, 200));
    b.site->SetBounds(100, 50, 200, 200);
    b.ExpectPlaced(a);
    b.ExpectPlaced(c);
    EXPECT_EQ(b.Zone(a), TRect(0, 0, 98, 200));
}

namespace
{
// What is wrong with the site's zones, or "" when they tile it: every shown client's zone lies in
// the area and overlaps no other, the shown zones together reach every edge of the area, and each
// client sits in its zone under the band; the tree holds exactly the site's children.
std::string ZoneFault(const DockBench& b)
{
    TDockTree* tree = b.site->DockManager();
    const TRect area = b.site->ClientRect();
    std::vector<std::pair<TControl*, TRect>> shown;
    int children = 0;
    for (TPanel* c : b.clients)
    {
        if (c->Parent() != b.site)
        {
            if (tree->Holds(c))
                return "a client that left is still held";
            continue;
        }
        ++children;
        if (!tree->Holds(c))
            return "a child of the site is not held";
        TRect zone;
        if (c->Visible() && tree->GetControlBounds(c, zone))
            shown.emplace_back(c, zone);
    }
    if (tree->ClientCount() != children)
        return "the tree holds " + std::to_string(tree->ClientCount()) + " clients for " +
               std::to_string(children) + " children";
    TRect reach;
    for (size_t i = 0; i < shown.size(); ++i)
    {
        const auto& [c, zone] = shown[i];
        if (zone.left < area.left || zone.top < area.top || zone.right > area.right || zone.bottom > area.bottom)
            return "a zone reaches out of the site";
        for (size_t k = i + 1; k < shown.size(); ++k)
        {
            if (!zone.Intersect(shown[k].second).IsEmpty())
                return "two zones overlap";
        }
        if (zone.Height() > TDockTree::GrabberSize &&
            c->BoundsRect() != TRect(zone.left, zone.top + TDockTree::GrabberSize, zone.right, zone.bottom))
            return "a client is not placed in its zone";
        reach = i == 0 ? zone
                       : TRect(std::min(reach.left, zone.left), std::min(reach.top, zone.top),
                               std::max(reach.right, zone.right), std::max(reach.bottom, zone.bottom));
    }
    if (!shown.empty() && area.Width() > 8 * TDockTree::MinZoneSize && area.Height() > 8 * TDockTree::MinZoneSize &&
        reach != area)
        return "the zones leave an edge of the site bare";
    return "";
}
} // namespace

// Random docking, undocking, hiding, showing, freeing, resizing and split-bar drags: after each,
// the zones still tile the site and the tree holds exactly what is docked.
TEST(DockTreeTest, ZonesTileTheSiteThroughRandomChanges)
{
    for (unsigned seed : {1u, 2u, 3u})
    {
        DockBench b;
        for (int i = 0; i < 6; ++i)
            b.Client();
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        auto docked = [&]
        {
            std::vector<TPanel*> in;
            for (TPanel* c : b.clients)
            {
                if (c->Parent() == b.site)
                    in.push_back(c);
            }
            return in;
        };
        const TAlign sides[] = {alLeft, alRight, alTop, alBottom, alNone};
        int drags = 0;
        for (int step = 0; step < 600; ++step)
        {
            std::vector<TPanel*> in = docked();
            TPanel* any = b.clients[size_t(pick(int(b.clients.size())))];
            TPanel* on = in.empty() ? nullptr : in[size_t(pick(int(in.size())))];
            switch (pick(7))
            {
            case 0:
            case 1:
                b.Dock(any, pick(4) ? on : nullptr, sides[pick(5)]);
                break;
            case 2:
                if (on)
                    on->SetParent(&b.form);
                break;
            case 3:
                if (on)
                    on->SetVisible(!on->Visible());
                break;
            case 4:
                b.site->SetBounds(100, 50, 240 + pick(300), 240 + pick(150));
                break;
            case 5:
            {
                // A split bar crossed by a random row or column, dragged.
                std::vector<TPoint> bars;
                const int row = pick(b.site->Height()), column = pick(b.site->Width());
                for (int x = 0; x < b.site->Width(); ++x)
                {
                    if (b.site->DockManager()->HitTest(TPoint(x, row)).Kind == dhSplitter)
                        bars.emplace_back(x, row);
                }
                for (int y = 0; y < b.site->Height(); ++y)
                {
                    if (b.site->DockManager()->HitTest(TPoint(column, y)).Kind == dhSplitter)
                        bars.emplace_back(column, y);
                }
                if (bars.empty())
                    break;
                ++drags;
                const TPoint bar = bars[size_t(pick(int(bars.size())))];
                const int x = 100 + bar.x, y = 50 + bar.y;
                b.Down(x, y);
                b.Move(x + pick(81) - 40, y + pick(81) - 40);
                b.Up(x, y);
                break;
            }
            case 6:
                if (on)
                {
                    b.clients.erase(std::find(b.clients.begin(), b.clients.end(), on));
                    delete on;
                    b.Client();
                }
                break;
            }
            const std::string fault = ZoneFault(b);
            ASSERT_EQ(fault, "") << "seed " << seed << ", step " << step;
        }
        EXPECT_GT(drags, 20) << "seed " << seed;
    }
}
