// The control notices (CM_...), window moves and sizes, the control style, the wheel, the frame and
// the window's own scroll bars.
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"
#include "tests/support/ManualClock.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace
{
struct Logged
{
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// A windowed control that records the messages of interest and can refuse a size or take the wheel.
class Probe : public TCustomControl
{
public:
    explicit Probe(TWinControl* parent) : TCustomControl(parent)
    {
        SetParent(parent);
        m_old = WindowProc;
        WindowProc = MakeClosure(this, &Probe::Spy);
    }
    std::vector<Logged> log;
    bool refuseSize = false;
    bool takeWheel = false;
    int wheelDown = 0;
    int wheelUp = 0;
    int clicks = 0;
    int doubleClicks = 0;
    std::vector<UINT> Seen(UINT low, UINT high) const
    {
        std::vector<UINT> seen;
        for (const Logged& l : log)
            if (l.msg >= low && l.msg <= high)
                seen.push_back(l.msg);
        return seen;
    }

protected:
    bool CanResize(int&, int&) override { return !refuseSize; }
    bool DoMouseWheelDown(TShiftState, TPoint) override
    {
        ++wheelDown;
        return takeWheel;
    }
    bool DoMouseWheelUp(TShiftState, TPoint) override
    {
        ++wheelUp;
        return takeWheel;
    }
    void Click() override { ++clicks; }
    void DblClick() override { ++doubleClicks; }

private:
    void Spy(TMessage& m)
    {
        log.push_back({m.Msg, m.WParam, m.LParam});
        m_old(m);
    }
    TWndMethod m_old;
};

uint32_t Pixel(TForm& form, int x, int y)
{
    return form.Pixels()[y * form.ClientWidth() + x];
}

uint32_t Sys(TColor color)
{
    return Platform::Gdi::ToPixel(ColorToRGB(color));
}
} // namespace

TEST(ControlFrameTest, ChangesReachWindowProcAsNotices)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 200);
    auto* panel = new Probe(&form);
    auto* child = new Probe(panel);
    panel->log.clear();
    child->SetEnabled(false);
    child->SetText(u"x");
    child->Font()->SetSize(20);
    child->SetVisible(false);
    child->SetBounds(5, 6, 30, 40);
    child->SetBounds(5, 6, 31, 40);
    child->SetBounds(7, 6, 31, 40);
    EXPECT_EQ(child->Seen(WM_MOVE, WM_SIZE), (std::vector<UINT>{WM_MOVE, WM_SIZE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(child->Seen(CM_BASE, CM_BASE + 100),
              (std::vector<UINT>{CM_ENABLEDCHANGED, CM_TEXTCHANGED, CM_FONTCHANGED, CM_VISIBLECHANGED}));
    EXPECT_EQ(child->log.back().lParam, MAKELPARAM(7, 6));
    // A size the control refuses is not taken; the move still is.
    child->refuseSize = true;
    child->SetBounds(1, 1, 90, 90);
    EXPECT_EQ(child->BoundsRect(), TRect(1, 1, 32, 41));
    // The parent hears of a child coming and going before the list changes, also when it is freed;
    // a parent that does not handle it passes it on.
    auto* other = new TCustomControl(&form);
    other->SetParent(panel);
    other->Free();
    std::vector<std::pair<WPARAM, LPARAM>> list;
    for (const Logged& l : panel->log)
        if (l.msg == CM_CONTROLLISTCHANGE)
            list.emplace_back(l.wParam, l.lParam);
    auto id = reinterpret_cast<WPARAM>(other);
    EXPECT_EQ(list, (std::vector<std::pair<WPARAM, LPARAM>>{{id, TRUE}, {id, FALSE}}));
    // Focus changes reach every windowed control through the form.
    panel->SetTabStop(true);
    form.Show();
    panel->SetFocus();
    ASSERT_FALSE(child->log.empty());
    EXPECT_EQ(child->log.back().msg, CM_FOCUSCHANGED);
    EXPECT_EQ(child->log.back().lParam, reinterpret_cast<LPARAM>(panel));
    form.Hide();
}

TEST(ControlFrameTest, StyleDecidesDoubleClicksCaptureAndClicks)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 200);
    auto* probe = new Probe(&form);
    probe->SetBounds(10, 10, 50, 50);
    auto pressTwice = [&]
    {
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
        Vcl::RouteInput(&form, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    };
    pressTwice();
    EXPECT_EQ(probe->doubleClicks, 1);
    EXPECT_EQ(probe->clicks, 2);
    probe->SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents});
    pressTwice();
    EXPECT_EQ(probe->doubleClicks, 1);
    EXPECT_EQ(probe->clicks, 4);
    // Without csCaptureMouse a press does not hold the mouse; without csClickEvents no click.
    probe->SetControlStyle(TControlStyle{});
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_EQ(Vcl::CaptureControl(), nullptr);
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(probe->clicks, 4);
    probe->SetMouseCapture(true);
    EXPECT_TRUE(probe->MouseCapture());
    probe->SetMouseCapture(false);
    EXPECT_EQ(Vcl::CaptureControl(), nullptr);
}

TEST(ControlFrameTest, WheelCountsWholeNotchesAndGoesToTheParentUntaken)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 200);
    auto* outer = new Probe(&form);
    outer->SetBounds(0, 0, 150, 150);
    auto* inner = new Probe(outer);
    inner->SetBounds(10, 10, 50, 50);
    outer->takeWheel = true;
    auto wheel = [&](int delta) { Vcl::RouteInput(&form, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(20, 20)); };
    wheel(60); // half a notch: nothing yet
    EXPECT_EQ(inner->wheelUp, 0);
    wheel(60);
    wheel(-240);
    EXPECT_EQ(inner->wheelUp, 1);
    EXPECT_EQ(inner->wheelDown, 2);
    // The inner one did not take them: the outer one did, from the first whole notch on.
    EXPECT_EQ(outer->wheelUp, 1);
    EXPECT_EQ(outer->wheelDown, 2);
    inner->takeWheel = true;
    wheel(-120);
    EXPECT_EQ(inner->wheelDown, 3);
    EXPECT_EQ(outer->wheelDown, 2);
}

TEST(ControlFrameTest, FramesAndScrollBarsSurroundTheClientArea)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 200);
    form.SetColor(clWhite);
    auto* framed = new Probe(&form);
    framed->SetColor(clRed);
    framed->SetBounds(10, 20, 100, 80);
    EXPECT_EQ(framed->ClientRect(), TRect(0, 0, 100, 80));
    framed->SetWindowStyle(WS_BORDER | WS_VSCROLL | WS_HSCROLL);
    framed->SetWindowExStyle(WS_EX_CLIENTEDGE);
    EXPECT_EQ(framed->ClientArea(), TRect(3, 3, 100 - 3 - 17, 80 - 3 - 17));
    EXPECT_EQ(framed->ClientWidth(), 100 - 6 - 17);
    // The frame change told the control its new client size.
    EXPECT_EQ(framed->log.back().msg, WM_SIZE);
    EXPECT_EQ(framed->log.back().lParam, MAKELPARAM(100 - 6 - 17, 80 - 6 - 17));
    auto* child = new Probe(framed);
    child->SetColor(clBlue);
    child->SetBounds(0, 0, 10, 10);
    EXPECT_EQ(child->FormOrigin(), TPoint(13, 23));
    form.Show();
    form.Invalidate();
    form.PaintDirty();
    form.Hide();
    EXPECT_EQ(Pixel(form, 10, 20), Sys(clWindowFrame));
    EXPECT_EQ(Pixel(form, 11, 21), Sys(clBtnShadow));      // sunken edge, outer
    EXPECT_EQ(Pixel(form, 12, 22), Sys(cl3DDkShadow));     // sunken edge, inner
    EXPECT_EQ(Pixel(form, 13, 23), Sys(clBlue));           // the child at the client's origin
    EXPECT_EQ(Pixel(form, 30, 40), Sys(clRed));            // the client
    EXPECT_EQ(Pixel(form, 10 + 80 + 3, 20 + 3 + 3), Sys(clBtnFace)); // the up arrow
    EXPECT_EQ(Pixel(form, 10 + 96 - 8, 20 + 76 - 8), Sys(clBtnFace));     // the corner box
    // csFramed alone gives the sunken edge.
    auto* plain = new Probe(&form);
    plain->SetBounds(120, 20, 40, 40);
    plain->SetControlStyle(plain->ControlStyle() << csFramed);
    EXPECT_EQ(plain->ClientArea(), TRect(2, 2, 38, 38));
    // A click on the frame is not the client's.
    int before = framed->clicks;
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20));
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(10, 20));
    EXPECT_EQ(framed->clicks, before);
}

TEST(ControlFrameTest, BevelsLieInsideTheFrameAndOutsideTheScrollBars)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 200);
    form.SetColor(clWhite);
    auto* framed = new Probe(&form);
    framed->SetColor(clRed);
    framed->SetBounds(10, 20, 100, 80);
    framed->SetWindowStyle(WS_BORDER);
    framed->SetWindowExStyle(WS_EX_CLIENTEDGE);
    auto paint = [&]
    {
        form.Show();
        form.Invalidate();
        form.PaintDirty();
        form.Hide();
    };
    // bkNone: the settings take no room and draw nothing.
    framed->SetBevelInner(bvLowered);
    framed->SetBevelWidth(4);
    EXPECT_EQ(framed->ClientArea(), TRect(3, 3, 97, 77));
    paint();
    EXPECT_EQ(Pixel(form, 13, 23), Sys(clRed));
    struct Case
    {
        const char* name;
        TBevelKind kind;
        TBevelCut inner, outer;
        int width;
        TBevelEdges edges;
        TRect client;
        // Down the left edge from the client edge inward: the colours expected.
        std::vector<TColor> left;
    };
    const Case cases[] = {
        {"tile, raised inside lowered", bkTile, bvRaised, bvLowered, 1, {beLeft, beTop, beRight, beBottom},
         TRect(5, 5, 95, 75), {clBtnShadow, clBtnHighlight, clRed}},
        {"flat", bkFlat, bvRaised, bvLowered, 1, {beLeft, beTop, beRight, beBottom}, TRect(5, 5, 95, 75),
         {clBtnShadow, clBtnFace, clRed}},
        {"two pixels a cut: one ring each, the rest in the control's colour", bkTile, bvLowered, bvRaised, 2,
         {beLeft, beTop, beRight, beBottom}, TRect(7, 7, 93, 73), {cl3DLight, cl3DDkShadow, clRed, clRed, clRed}},
        {"space: room without a ring", bkTile, bvSpace, bvNone, 3, {beLeft, beTop, beRight, beBottom},
         TRect(6, 6, 94, 74), {clRed, clRed, clRed, clRed}},
        {"only the left and top edges", bkSoft, bvNone, bvLowered, 1, {beLeft, beTop}, TRect(4, 4, 97, 77),
         {cl3DDkShadow, clRed}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        framed->SetBevelKind(c.kind);
        framed->SetBevelInner(c.inner);
        framed->SetBevelOuter(c.outer);
        framed->SetBevelWidth(c.width);
        framed->SetBevelEdges(c.edges);
        EXPECT_EQ(framed->ClientArea(), c.client);
        EXPECT_EQ(framed->log.back().msg, WM_SIZE);
        paint();
        EXPECT_EQ(Pixel(form, 10, 40), Sys(clWindowFrame));
        EXPECT_EQ(Pixel(form, 11, 40), Sys(clBtnShadow));
        EXPECT_EQ(Pixel(form, 12, 40), Sys(cl3DDkShadow));
        for (size_t i = 0; i < c.left.size(); ++i)
            EXPECT_EQ(Pixel(form, 13 + int(i), 40), Sys(c.left[i])) << i;
    }
    // The scroll bar lies inside the bevel; a bevel wider than the control leaves no client.
    framed->SetWindowStyle(WS_BORDER | WS_VSCROLL);
    EXPECT_EQ(framed->ScrollBarRect(SB_VERT).right, 97);
    framed->SetBevelEdges({beLeft, beTop, beRight, beBottom});
    EXPECT_EQ(framed->ScrollBarRect(SB_VERT).right, 100 - 3 - 1);
    framed->SetBevelWidth(INT_MAX);
    EXPECT_TRUE(framed->ClientRect().IsEmpty());
    paint();
    framed->SetBevelWidth(-5);
    EXPECT_EQ(framed->BevelWidth(), 1);
}

// A windowed control that counts how often its window is made and adds a style of its own.
class Remade : public TCustomControl
{
public:
    explicit Remade(TWinControl* parent) : TCustomControl(parent) { SetParent(parent); }
    int made = 0;
    bool border = false;

protected:
    void CreateWnd() override
    {
        TCustomControl::CreateWnd();
        ++made;
    }
    void CreateParams(TCreateParams& Params) override
    {
        TCustomControl::CreateParams(Params);
        Params.Style = border ? Params.Style | WS_BORDER : Params.Style & ~DWORD(WS_BORDER);
    }
};

TEST(ControlFrameTest, RecreatingAWindowAppliesItsStylesAgainAndKeepsTheControl)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 200);
    auto* control = new Remade(&form);
    control->SetBounds(0, 0, 50, 50);
    control->SetWindowStyle(WS_VSCROLL); // set by hand: kept
    control->border = true;
    control->RecreateWnd(); // no window yet: the styles alone
    EXPECT_EQ(control->made, 0);
    EXPECT_EQ(control->WindowStyle(), DWORD(WS_VSCROLL | WS_BORDER));
    form.Show();
    EXPECT_EQ(control->made, 1);
    HWND handle = control->Handle();
    control->border = false;
    control->RecreateWnd();
    EXPECT_EQ(control->made, 2);
    EXPECT_EQ(control->WindowStyle(), DWORD(WS_VSCROLL));
    EXPECT_EQ(control->ClientArea(), TRect(0, 0, 50 - 17, 50));
    EXPECT_TRUE(control->HandleAllocated());
    EXPECT_EQ(TWinControl::FindControl(handle), control);
    form.Hide();
}

TEST(ControlFrameTest, ScrollBarsAnswerArrowsTrackAndThumb)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    auto* probe = new Probe(&form);
    probe->SetBounds(0, 0, 117, 217); // client 100 x 200 with both bars
    probe->SetWindowStyle(WS_VSCROLL | WS_HSCROLL);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 999, 100, 5000, 0};
    // The position stays within min .. max - page + 1; hostile values are clamped.
    EXPECT_EQ(SetScrollInfo(probe->Handle(), SB_VERT, &info, TRUE), 900);
    info.nPos = -7;
    EXPECT_EQ(SetScrollInfo(probe->Handle(), SB_VERT, &info, TRUE), 0);
    info.nPage = 0x7FFFFFFF;
    info.fMask = SIF_PAGE;
    SetScrollInfo(probe->Handle(), SB_VERT, &info, TRUE);
    SCROLLINFO read{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(probe->Handle(), SB_VERT, &read));
    EXPECT_EQ(read.nPage, 1000u);
    info = {sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 999, 100, 0, 0};
    SetScrollInfo(probe->Handle(), SB_VERT, &info, TRUE);
    SetScrollInfo(probe->Handle(), SB_HORZ, &info, TRUE);
    EXPECT_EQ(GetScrollInfo(nullptr, SB_VERT, &read), FALSE);

    auto scrolls = [&](UINT which)
    {
        std::vector<std::pair<int, int>> codes;
        for (const Logged& l : probe->log)
            if (l.msg == which)
                codes.emplace_back(LOWORD(l.wParam), HIWORD(l.wParam));
        probe->log.clear();
        return codes;
    };
    auto click = [&](int x, int y)
    {
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    };
    probe->log.clear();
    click(108, 5);   // up arrow
    click(108, 190); // down arrow
    click(108, 150); // track below the thumb
    EXPECT_EQ(scrolls(WM_VSCROLL), (std::vector<std::pair<int, int>>{
                                       {SB_LINEUP, 0}, {SB_ENDSCROLL, 0}, {SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0},
                                       {SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}}));
    // Track 200 - 34 = 166 pixels, thumb 166 * 100 / 1000 = 16: it moves over 150 pixels for 900.
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(108, 17 + 8));
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(108, 17 + 8 + 75));
    SCROLLINFO track{sizeof(SCROLLINFO), SIF_TRACKPOS | SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(probe->Handle(), SB_VERT, &track);
    EXPECT_EQ(track.nTrackPos, 450);
    EXPECT_EQ(track.nPos, 0); // the owner moves the position itself
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(108, 500)); // far below: the end
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(108, 500));
    EXPECT_EQ(scrolls(WM_VSCROLL), (std::vector<std::pair<int, int>>{
                                       {SB_THUMBTRACK, 450}, {SB_THUMBTRACK, 900}, {SB_THUMBPOSITION, 900}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(Vcl::CaptureControl(), nullptr);
    // The horizontal bar answers the same way along x.
    click(95, 208);
    click(5, 208);
    EXPECT_EQ(scrolls(WM_HSCROLL), (std::vector<std::pair<int, int>>{
                                       {SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}, {SB_LINEUP, 0}, {SB_ENDSCROLL, 0}}));
    // Hidden bars give their room back.
    ShowScrollBar(probe->Handle(), SB_BOTH, FALSE);
    EXPECT_EQ(probe->ClientRect(), TRect(0, 0, 117, 217));
}

TEST(ControlFrameTest, HeldArrowsAndTrackRepeatWhileThePointerStaysOnThem)
{
    ManualClock clock;
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    form.Show();
    auto* probe = new Probe(&form);
    probe->SetBounds(0, 0, 117, 200);
    probe->SetWindowStyle(WS_VSCROLL);
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 999, 100, 0, 0};
    SetScrollInfo(probe->Handle(), SB_VERT, &info, TRUE);
    auto lineDowns = [&]
    {
        int n = 0;
        for (const Logged& l : probe->log)
            n += l.msg == WM_VSCROLL && LOWORD(l.wParam) == SB_LINEDOWN;
        probe->log.clear();
        return n;
    };
    auto wait = [&](DWORD ms)
    {
        for (DWORD t = 0; t < ms; t += 10)
        {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    };
    probe->log.clear();
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(108, 190)); // the down arrow
    EXPECT_EQ(lineDowns(), 1);
    wait(200);
    EXPECT_EQ(lineDowns(), 0); // not before the first delay
    wait(60);
    EXPECT_EQ(lineDowns(), 1);
    wait(200);
    EXPECT_EQ(lineDowns(), 4); // then at the repeat rate
    // Off the arrow (still held) it pauses; back on it, it goes on.
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(108, 120));
    wait(200);
    EXPECT_EQ(lineDowns(), 0);
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(108, 190));
    wait(100);
    EXPECT_EQ(lineDowns(), 2);
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(108, 190));
    wait(500);
    EXPECT_EQ(lineDowns(), 0);

    // The scroll-bar control: the track held below the thumb pages until the thumb reaches the
    // pointer.
    auto* bar = new TScrollBar(&form);
    bar->SetParent(&form);
    bar->SetKind(sbVertical);
    bar->SetBounds(200, 0, 17, 217); // a track of 183 pixels
    bar->SetParams(0, 0, 100);
    bar->SetPageSize(10);
    bar->LargeChange = 10;
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(208, 150));
    EXPECT_EQ(bar->Position(), 10);
    wait(1000);
    const int stopped = bar->Position();
    EXPECT_GT(stopped, 50);
    EXPECT_LT(stopped, 91); // it stopped under the pointer, short of the end
    wait(500);
    EXPECT_EQ(bar->Position(), stopped);
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(208, 150));
    // The arrow repeats the same way.
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(208, 5));
    wait(300);
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(208, 5));
    EXPECT_EQ(bar->Position(), stopped - 3); // the press and two repeats
    wait(300);
    EXPECT_EQ(bar->Position(), stopped - 3);
    form.Hide();
}
