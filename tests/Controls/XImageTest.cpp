#include "Controls/XImage.h"
#include "Controls/XProgressBar.h"
#include "Platform/Vcl/HintWindow.h"

#include "tests/Controls/FormPixels.h"
#include "tests/support/ManualClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
// A bitmap whose every pixel tells where it came from, except that the pixels on every third
// diagonal take the bottom-left pixel's colour (the automatic transparent colour).
void Fill(TBitmap& bitmap, int width, int height)
{
    bitmap.SetSize(width, height);
    uint32_t key = 0x400000u | uint32_t(height - 1) << 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.ScanLine(y)[x] = (x + y) % 3 == 0 ? key : (uint32_t(x + 1) << 16) | (uint32_t(y) << 8) | 0x80u;
    bitmap.ScanLine(height - 1)[0] = key;
}

struct DrawCounter
{
    int n = 0;
    void Changed(TObject*) { ++n; }
};
} // namespace

TEST(XImageTest, AutoSizeFollowsTheBitmapOnlyWhenCentred)
{
    XImage image(nullptr);
    EXPECT_EQ(image.Width(), 300);
    EXPECT_EQ(image.Height(), 200);
    EXPECT_EQ(image.DrawMode(), xdmCenter);
    EXPECT_FALSE(image.AutoSize());
    TControlStyle style = image.ControlStyle();
    EXPECT_TRUE(style.Contains(csCaptureMouse) && style.Contains(csClickEvents) && style.Contains(csDoubleClicks));

    TBitmap picture;
    Fill(picture, 30, 20);
    image.SetDrawMode(xdmStretch);
    image.SetAutoSize(true);
    image.SetBitmap(&picture);
    EXPECT_EQ(image.Width(), 300);
    EXPECT_EQ(image.Bitmap()->Width(), 30);
    image.SetDrawMode(xdmCenter); // the mode alone sizes nothing
    EXPECT_EQ(image.Width(), 300);
    image.SetBitmap(&picture);
    EXPECT_EQ(image.Width(), 30);
    EXPECT_EQ(image.Height(), 20);
    image.SetAutoSize(false);
    Fill(picture, 50, 60);
    image.SetBitmap(&picture);
    EXPECT_EQ(image.Width(), 30);
    image.SetAutoSize(true);
    EXPECT_EQ(image.Width(), 50);
    EXPECT_EQ(image.Height(), 60);
    // The control holds a copy: the caller's bitmap may change or go.
    picture.SetSize(1, 1);
    EXPECT_EQ(image.Bitmap()->Width(), 50);
    // Transparency is the owned bitmap's.
    image.SetTransparent(true);
    image.SetTransparentColor(clRed);
    EXPECT_TRUE(image.Bitmap()->Transparent());
    EXPECT_EQ(image.Bitmap()->TransparentMode(), tmFixed);
    EXPECT_EQ(image.TransparentColor(), clRed);
    image.SetTransparentMode(tmAuto);
    EXPECT_EQ(image.Bitmap()->TransparentMode(), tmAuto);
}

TEST(XImageTest, EachModePlacesTheBitmapWhereItsRuleSays)
{
    FormPixels screen(200, 120);
    auto* image = new XImage(&screen.form);
    image->SetParent(&screen.form);
    const int left = 11, top = 7;
    DrawCounter draws;
    image->Canvas()->OnChange = MakeClosure(&draws, &DrawCounter::Changed);
    struct Case
    {
        const char* name;
        XDrawMode mode;
        int width, height; // the control
        int bw, bh;        // the bitmap
        bool transparent;
        int drawCalls;
    };
    const Case cases[] = {
        {"centred", xdmCenter, 37, 23, 5, 4, true, 1},
        {"centred, larger than the control: its middle", xdmCenter, 37, 23, 60, 40, false, 1},
        {"tiled", xdmTile, 37, 23, 5, 4, true, 8 * 6},
        {"tiled at the control's size: once", xdmTile, 37, 23, 37, 23, false, 1},
        {"tiled down the middle", xdmTileVertical, 37, 23, 5, 4, true, 6},
        {"tiled across the middle", xdmTileHorizontal, 37, 23, 5, 4, true, 8},
        {"stretched by whole factors", xdmStretch, 40, 24, 5, 4, true, 1},
        {"stretched opaque", xdmStretch, 40, 24, 5, 4, false, 1},
    };
    TBitmap picture;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        image->SetBounds(left, top, c.width, c.height);
        image->SetDrawMode(c.mode);
        Fill(picture, c.bw, c.bh);
        picture.SetTransparent(c.transparent);
        image->SetBitmap(&picture);
        draws.n = 0;
        screen.At(0, 0);
        EXPECT_EQ(draws.n, c.drawCalls);
        int cx = c.width / 2 - c.bw / 2, cy = c.height / 2 - c.bh / 2;
        int wrong = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
            {
                // Which bitmap pixel the rule puts here, if any.
                int bx = -1, by = -1;
                switch (c.mode)
                {
                case xdmCenter: bx = x - cx, by = y - cy; break;
                case xdmStretch: bx = x * c.bw / c.width, by = y * c.bh / c.height; break;
                case xdmTile: bx = x % c.bw, by = y % c.bh; break;
                case xdmTileVertical: bx = x - cx, by = y % c.bh; break;
                case xdmTileHorizontal: bx = x % c.bw, by = y - cy; break;
                }
                uint32_t want = FormPixels::Of(clWhite);
                if (bx >= 0 && bx < c.bw && by >= 0 && by < c.bh)
                {
                    uint32_t p = picture.ScanLine(by)[bx];
                    if (!c.transparent || p != picture.ScanLine(c.bh - 1)[0])
                        want = p;
                }
                uint32_t got = screen.Peek(left + x, top + y);
                if (got != want && wrong++ == 0)
                    ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
            }
        EXPECT_EQ(wrong, 0);
    }

    // A fixed transparent colour leaves out that colour instead of the bottom-left pixel's.
    image->SetBounds(left, top, 20, 20);
    image->SetDrawMode(xdmCenter);
    Fill(picture, 20, 20);
    picture.SetTransparent(false);
    image->SetBitmap(&picture);
    image->SetTransparent(true);
    uint32_t chosen = picture.ScanLine(3)[4];
    image->SetTransparentColor(static_cast<TColor>(((chosen & 0xFF) << 16) | (chosen & 0xFF00) | (chosen >> 16)));
    screen.At(0, 0);
    EXPECT_EQ(screen.Peek(left + 4, top + 3), FormPixels::Of(clWhite));
    EXPECT_EQ(screen.Peek(left, top + 19), picture.ScanLine(19)[0]);

    // A bitmap without width or height draws nothing in any mode, and the paint pass ends.
    for (TSize empty : {TSize(0, 0), TSize(0, 5), TSize(5, 0)})
        for (XDrawMode mode : {xdmCenter, xdmStretch, xdmTile, xdmTileVertical, xdmTileHorizontal})
        {
            image->Bitmap()->SetSize(empty.cx, empty.cy);
            image->SetDrawMode(mode);
            draws.n = 0;
            EXPECT_EQ(screen.At(left + 10, top + 10), FormPixels::Of(clWhite));
            EXPECT_EQ(draws.n, 0);
        }
}

TEST(XImageTest, DrawingOnTheOwnedBitmapRepaints)
{
    FormPixels screen(100, 100);
    auto* image = new XImage(&screen.form);
    image->SetParent(&screen.form);
    image->SetBounds(0, 0, 40, 40);
    image->Bitmap()->SetSize(10, 10);
    image->Bitmap()->Canvas()->Brush()->SetColor(clGreen);
    image->Bitmap()->Canvas()->FillRect(TRect(0, 0, 10, 10));
    EXPECT_EQ(screen.At(20, 20), FormPixels::Of(clGreen));
    // No Invalidate from here on: the bitmap's own change must mark the control.
    image->Bitmap()->Canvas()->Brush()->SetColor(clMaroon);
    image->Bitmap()->Canvas()->FillRect(TRect(0, 0, 10, 10));
    screen.form.PaintDirty();
    EXPECT_EQ(screen.Peek(20, 20), FormPixels::Of(clMaroon));
    image->Bitmap()->SetSize(30, 30); // the old part stays top-left, the new part is white
    screen.form.PaintDirty();
    EXPECT_EQ(screen.Peek(5 + 9, 5 + 9), FormPixels::Of(clMaroon));
    EXPECT_EQ(screen.Peek(5 + 10, 5 + 10), FormPixels::Of(clWhite));
}

namespace
{
struct Drops
{
    std::vector<TObject*> sources;
    void Over(TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; }
    void Drop(TObject*, TObject* source, int, int) { sources.push_back(source); }
};
} // namespace

// The image and the progress bar take hints and drags as every other control does.
TEST(XImageTest, ImagesAndProgressBarsShowHintsAndDrag)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 200);
    form.SetShowHint(true);
    auto* bar = new XProgressBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(10, 10, 200, 20);
    bar->SetHint(u"Done|How far the work is");
    bar->SetDragMode(dmAutomatic);
    auto* image = new XImage(&form);
    image->SetParent(&form);
    image->SetBounds(10, 50, 64, 64);
    image->SetHint(u"Picture");
    image->SetDragMode(dmAutomatic);
    auto* target = new TCustomControl(&form);
    target->SetParent(&form);
    target->SetBounds(250, 10, 100, 150);
    Drops drops;
    target->OnDragOver = MakeClosure(&drops, &Drops::Over);
    target->OnDragDrop = MakeClosure(&drops, &Drops::Drop);
    form.Show();

    Vcl::RouteInput(&form, WM_MOUSEMOVE, 0, MAKELPARAM(50, 20));
    EXPECT_EQ(Application->Hint(), u"How far the work is");
    Application->ActivateHint(form.ClientToScreen(TPoint(50, 20)));
    ASSERT_TRUE(Application->HintWindow() && Application->HintWindow()->Visible());
    EXPECT_EQ(Application->HintWindow()->Caption(), u"Done");
    Vcl::RouteInput(&form, WM_MOUSEMOVE, 0, MAKELPARAM(40, 80));
    EXPECT_EQ(Application->Hint(), u"Picture");
    EXPECT_FALSE(Application->HintWindow()->Visible());

    for (TControl* source : {static_cast<TControl*>(image), static_cast<TControl*>(bar)})
    {
        TPoint from = source->Parent()->ScreenToClient(source->ClientToScreen(TPoint(5, 5)));
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(from.x + 20, from.y));
        Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 100));
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(300, 100));
    }
    EXPECT_EQ(drops.sources, (std::vector<TObject*>{image, bar}));
    Application->CancelHint();
    form.Hide();
}

namespace
{
// What a host hears from an image's and a progress bar's inherited events.
struct ImageHost
{
    std::vector<std::string> log;
    void StartDrag(TObject*, TDragObject*&) { log.push_back("startdrag"); }
    void Over(TObject* sender, TObject* source, int, int, TDragState, bool& accept)
    {
        accept = source != sender;
    }
    void Drop(TObject*, TObject*, int X, int Y) { log.push_back("drop " + std::to_string(X) + "," + std::to_string(Y)); }
    void EndDrag(TObject*, TObject* target, int, int) { log.push_back(target ? "enddrag on target" : "enddrag"); }
    void Popup(TObject*, TPoint at, bool& handled)
    {
        log.push_back("popup " + std::to_string(at.x) + "," + std::to_string(at.y));
        handled = true;
    }
    void StartDock(TObject*, TDragDockObject*&) { log.push_back("startdock"); }
    void EndDock(TObject*, TObject* target, int, int) { log.push_back(target ? "enddock site" : "enddock none"); }
};
} // namespace

TEST(XImageTest, ARestingPointerShowsTheHintsOfBarsAndImages)
{
    ManualClock clock;
    FormPixels screen(400, 200);
    screen.form.SetShowHint(true);
    auto* bar = new XProgressBar(&screen.form);
    bar->SetParent(&screen.form);
    bar->SetBounds(10, 10, 200, 20);
    bar->SetHint(u"Done|How far the work is");
    auto* image = new XImage(&screen.form);
    image->SetParent(&screen.form);
    image->SetBounds(10, 50, 64, 64);
    image->SetHint(u"Picture"); // shown through the form's ShowHint
    auto* quiet = new XProgressBar(&screen.form);
    quiet->SetParent(&screen.form);
    quiet->SetBounds(10, 150, 200, 20);
    quiet->SetHint(u"Never");
    quiet->SetShowHint(false);
    auto showing = [] { return Application->HintWindow() && Application->HintWindow()->Visible(); };
    auto rest = [&](int x, int y)
    {
        screen.Move(x, y, 0);
        clock.Advance(500);
        Application->ProcessMessages();
    };
    rest(50, 20);
    ASSERT_TRUE(showing());
    EXPECT_EQ(Application->HintWindow()->Caption(), u"Done");
    EXPECT_EQ(Application->Hint(), u"How far the work is");
    rest(30, 80);
    ASSERT_TRUE(showing());
    EXPECT_EQ(Application->HintWindow()->Caption(), u"Picture");
    EXPECT_EQ(Application->HintControl(), image);
    rest(50, 160);
    EXPECT_FALSE(showing());
    Application->CancelHint();
}

TEST(XImageTest, InheritedDragDockPopupAndSizeEventsReachTheHost)
{
    FormPixels screen(500, 300);
    ImageHost host;
    auto* source = new XImage(&screen.form);
    source->SetParent(&screen.form);
    source->SetBounds(10, 10, 64, 64);
    source->SetDragMode(dmAutomatic);
    source->OnStartDrag = MakeClosure(&host, &ImageHost::StartDrag);
    source->OnEndDrag = MakeClosure(&host, &ImageHost::EndDrag);
    auto* target = new XImage(&screen.form);
    target->SetParent(&screen.form);
    target->SetBounds(100, 10, 64, 64);
    target->OnDragOver = MakeClosure(&host, &ImageHost::Over);
    target->OnDragDrop = MakeClosure(&host, &ImageHost::Drop);
    // One image dragged onto another that accepts it; dropped on itself, it is refused.
    screen.Down(20, 20);
    screen.Move(30, 20);
    screen.Move(120, 30);
    screen.Up(120, 30);
    target->SetDragMode(dmAutomatic);
    target->OnStartDrag = MakeClosure(&host, &ImageHost::StartDrag);
    target->OnEndDrag = MakeClosure(&host, &ImageHost::EndDrag);
    screen.Down(110, 20);
    screen.Move(130, 20);
    screen.Up(130, 20);
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"startdrag", "drop 20,20", "enddrag on target", "startdrag", "enddrag"}));
    host.log.clear();

    // A right click asks the host at the image's client point.
    source->OnContextPopup = MakeClosure(&host, &ImageHost::Popup);
    Vcl::RouteInput(&screen.form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(15, 25));
    Vcl::RouteInput(&screen.form, WM_RBUTTONUP, 0, MAKELPARAM(15, 25));
    EXPECT_EQ(host.log, (std::vector<std::string>{"popup 5,15"}));
    host.log.clear();

    // Docked by the mouse into a panel that takes it, telling its start and end.
    auto* site = new TCustomControl(&screen.form);
    site->SetParent(&screen.form);
    site->SetBounds(250, 0, 250, 300);
    site->SetDockSite(true);
    source->SetDragKind(dkDock);
    source->OnStartDock = MakeClosure(&host, &ImageHost::StartDock);
    source->OnEndDock = MakeClosure(&host, &ImageHost::EndDock);
    screen.Down(20, 20);
    screen.Move(40, 40);
    screen.Move(300, 100);
    screen.Up(300, 100);
    EXPECT_EQ(source->Parent(), site);
    EXPECT_EQ(host.log, (std::vector<std::string>{"startdock", "enddock site"}));

    // Sizing to the bitmap keeps the constraints.
    TBitmap big;
    big.SetSize(120, 90);
    target->Constraints()->SetMaxWidth(100);
    target->SetAutoSize(true);
    target->SetBitmap(&big);
    EXPECT_EQ(target->Width(), 100);
    EXPECT_EQ(target->Height(), 90);
}
