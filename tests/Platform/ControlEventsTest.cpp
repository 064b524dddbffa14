// The events every control offers around resizing, its context menu and docking drags.
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"

#include <gtest/gtest.h>

#include <climits>

#include <string>
#include <vector>

namespace
{
// Records what the handlers hear, as text.
struct Recorder
{
    std::vector<std::string> log;
    bool refuse = false;
    int widen = 0;
    int maxWidthOverride = 0;
    bool handlePopup = false;
    bool refuseSite = false;
    TRect siteRect;
    bool narrowSite = false;
    bool widenSite = false;
    TDragDockObject* given = nullptr;

    void CanResize(TObject*, int& w, int& h, bool& resize)
    {
        log.push_back("can " + std::to_string(w) + "x" + std::to_string(h));
        w += widen;
        resize = !refuse;
    }
    void Constrained(TObject*, int& minW, int& minH, int& maxW, int& maxH)
    {
        log.push_back("limits " + std::to_string(minW) + "," + std::to_string(minH) + " " +
                      (maxW == INT_MAX ? std::string("-") : std::to_string(maxW)) + "," +
                      (maxH == INT_MAX ? std::string("-") : std::to_string(maxH)));
        if (maxWidthOverride)
            maxW = maxWidthOverride;
    }
    void Popup(TObject*, TPoint at, bool& handled)
    {
        log.push_back("popup " + std::to_string(at.x) + "," + std::to_string(at.y));
        handled = handlePopup;
    }
    void StartDock(TObject*, TDragDockObject*& object)
    {
        log.push_back("startdock");
        object = given;
    }
    void EndDock(TObject*, TObject* target, int x, int y)
    {
        log.push_back(std::string("enddock ") + (target ? "site" : "none") + " " + std::to_string(x) + "," +
                      std::to_string(y));
    }
    void SiteInfo(TObject*, TControl*, TRect& influence, TPoint, bool& canDock)
    {
        siteRect = influence;
        if (narrowSite)
            influence = TRect(influence.left, influence.top, influence.left + 60, influence.bottom);
        if (widenSite)
            influence.left -= 100;
        canDock = !refuseSite;
    }
};

// A popup menu that only counts how often it is asked to show.
class CountingMenu : public TPopupMenu
{
public:
    using TPopupMenu::TPopupMenu;
    void Popup(int, int) override { ++shown; }
    int shown = 0;
};

struct DockForm
{
    DockForm() : form(nullptr)
    {
        form.SetBounds(0, 0, 500, 400);
        form.Show();
        site = new TCustomControl(&form);
        site->SetParent(&form);
        site->SetBounds(300, 0, 200, 400);
        site->SetDockSite(true);
        dragged = new TCustomControl(&form);
        dragged->SetParent(&form);
        dragged->SetBounds(10, 10, 100, 50);
        dragged->SetDragKind(dkDock);
        dragged->SetDragMode(dmAutomatic);
        dragged->OnStartDock = MakeClosure(&rec, &Recorder::StartDock);
        dragged->OnEndDock = MakeClosure(&rec, &Recorder::EndDock);
        site->OnGetSiteInfo = MakeClosure(&rec, &Recorder::SiteInfo);
    }
    ~DockForm()
    {
        CancelDrag();
        PutBack(); // a floating window goes once its control left it and the queue ran
        form.Hide();
    }
    void Drag(int x, int y, bool drop = true)
    {
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(22, 21)); // inside the threshold
        Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
        Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 1, y));
        if (drop)
            Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(x + 1, y));
    }
    void PutBack()
    {
        if (!alive)
            return;
        dragged->SetParent(&form);
        dragged->SetBounds(10, 10, 100, 50);
        Application->ProcessMessages();
        rec.log.clear();
    }
    bool alive = true;
    Recorder rec;
    TForm form;
    TCustomControl* site;
    TCustomControl* dragged;
};
} // namespace

TEST(ControlEventsTest, ResizesAskOnCanResizeThenKeepTheConstraints)
{
    Recorder rec;
    TCustomControl control(nullptr);
    control.SetBounds(0, 0, 100, 50);
    control.OnCanResize = MakeClosure(&rec, &Recorder::CanResize);
    control.OnConstrainedResize = MakeClosure(&rec, &Recorder::Constrained);
    // A move alone asks nothing; a handler may adjust the size or refuse it.
    control.SetBounds(5, 5, 100, 50);
    EXPECT_TRUE(rec.log.empty());
    rec.widen = 7;
    control.SetBounds(5, 5, 120, 60);
    EXPECT_EQ(control.Width(), 127);
    EXPECT_EQ(control.Height(), 60);
    rec.widen = 0;
    rec.refuse = true;
    control.SetBounds(9, 9, 10, 10);
    EXPECT_EQ(control.BoundsRect(), TRect(9, 9, 136, 69)); // moved, kept its size
    EXPECT_EQ(rec.log, (std::vector<std::string>{"can 120x60", "limits 0,0 -,-", "can 10x10"}));
    rec.refuse = false;
    rec.log.clear();

    // Setting a limit applies it at once; every later size stays inside.
    TSizeConstraints* limits = control.Constraints();
    limits->SetMaxWidth(80);
    EXPECT_EQ(control.Width(), 80);
    limits->SetMinHeight(100);
    EXPECT_EQ(control.Height(), 100);
    control.SetBounds(0, 0, 10, 500);
    EXPECT_EQ(control.Width(), 10);
    EXPECT_EQ(control.Height(), 500);
    control.SetBounds(0, 0, 300, 20);
    EXPECT_EQ(control.Width(), 80);
    EXPECT_EQ(control.Height(), 100);
    // A minimum above the maximum raises it, a maximum below the minimum lowers it; negative
    // limits count as none.
    limits->SetMinWidth(90);
    EXPECT_EQ(limits->MaxWidth(), 90);
    EXPECT_EQ(control.Width(), 90);
    limits->SetMaxHeight(40);
    EXPECT_EQ(limits->MinHeight(), 40);
    EXPECT_EQ(control.Height(), 40);
    limits->SetMaxWidth(-5);
    EXPECT_EQ(limits->MaxWidth(), 0);
    control.SetBounds(0, 0, 400, 40);
    EXPECT_EQ(control.Width(), 400);
    // OnConstrainedResize sees the limits and may tighten them for this resize.
    rec.log.clear();
    rec.maxWidthOverride = 150;
    control.SetBounds(0, 0, 300, 40);
    EXPECT_EQ(control.Width(), 150);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"can 300x40", "limits 90,40 -,40"}));

    // Assigned constraints are copied and applied.
    TSizeConstraints other;
    other.SetMaxHeight(30);
    TCustomControl second(nullptr);
    second.SetBounds(0, 0, 50, 50);
    second.SetConstraints(&other);
    EXPECT_EQ(second.Constraints()->MaxHeight(), 30);
    EXPECT_EQ(second.Height(), 30);
}

TEST(ControlEventsTest, OnContextPopupComesFirstAndMayKeepTheMenuAway)
{
    Recorder rec;
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    form.Show();
    auto* panel = new TCustomControl(&form);
    panel->SetParent(&form);
    panel->SetBounds(20, 20, 120, 100);
    panel->SetWindowStyle(WS_BORDER);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetBounds(200, 20, 60, 20);
    auto* menu = new CountingMenu(&form);
    panel->SetPopupMenu(menu);
    panel->OnContextPopup = MakeClosure(&rec, &Recorder::Popup);
    label->OnContextPopup = MakeClosure(&rec, &Recorder::Popup);
    auto rightClick = [&](int x, int y)
    {
        Vcl::RouteInput(&form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        Vcl::RouteInput(&form, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    };
    // Handled: the menu stays away. The point is the control's client point.
    rec.handlePopup = true;
    rightClick(51, 41);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"popup 30,20"}));
    EXPECT_EQ(menu->shown, 0);
    // Not handled: the menu shows.
    rec.handlePopup = false;
    rightClick(51, 41);
    EXPECT_EQ(menu->shown, 1);
    // A graphic control hears it too; from the keyboard the point is -1, -1.
    rec.log.clear();
    rightClick(210, 25);
    label->Perform(WM_CONTEXTMENU, 0, -1);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"popup 10,5", "popup -1,-1"}));
    // A request from the panel's border is not its client's.
    rec.log.clear();
    panel->Perform(WM_CONTEXTMENU, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(rec.log.empty());
    form.Hide();
}

TEST(ControlEventsTest, DockingDragsTellTheirStartAndEndAndSitesMayDecline)
{
    DockForm f;
    // Docked: started once past the threshold, ended on the site at its client point.
    f.Drag(350, 100);
    EXPECT_EQ(f.dragged->Parent(), f.site);
    EXPECT_EQ(f.rec.log, (std::vector<std::string>{"startdock", "enddock site 51,100"}));
    // The site is offered the pointer with its window 10 pixels larger all round.
    EXPECT_EQ(f.rec.siteRect, TRect(290, -10, 510, 410));

    // Floated: ends with no site, at the screen point.
    f.PutBack();
    f.Drag(120, 220);
    EXPECT_TRUE(f.dragged->Floating());
    EXPECT_EQ(f.rec.log, (std::vector<std::string>{"startdock", "enddock none 121,220"}));

    // Cancelled with Escape, and a click without a move: no start for the click.
    f.PutBack();
    f.Drag(350, 100, false);
    Vcl::RouteInput(&f.form, WM_KEYDOWN, VK_ESCAPE, 0);
    Vcl::RouteInput(&f.form, WM_KEYUP, VK_ESCAPE, 0);
    Vcl::RouteInput(&f.form, WM_LBUTTONUP, 0, MAKELPARAM(351, 100));
    Vcl::RouteInput(&f.form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    Vcl::RouteInput(&f.form, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(f.dragged->Parent(), &f.form);
    EXPECT_EQ(f.rec.log, (std::vector<std::string>{"startdock", "enddock none 351,100"}));

    // A site that declines (or whose narrowed influence misses the pointer) takes nothing.
    f.PutBack();
    f.rec.refuseSite = true;
    f.Drag(350, 100);
    EXPECT_TRUE(f.dragged->Floating());
    f.PutBack();
    f.rec.refuseSite = false;
    f.rec.narrowSite = true;
    f.Drag(400, 100);
    EXPECT_TRUE(f.dragged->Floating());
    f.PutBack();
    f.Drag(320, 100);
    EXPECT_EQ(f.dragged->Parent(), f.site);

    // The site's influence reaches 10 pixels past its window, and what the handler widens it to.
    f.PutBack();
    f.Drag(292, 100);
    EXPECT_EQ(f.dragged->Parent(), f.site);
    EXPECT_EQ(f.rec.log, (std::vector<std::string>{"startdock", "enddock site -7,100"}));
    f.PutBack();
    f.Drag(250, 100);
    EXPECT_TRUE(f.dragged->Floating());
    f.PutBack();
    f.rec.widenSite = true;
    f.Drag(250, 100);
    EXPECT_EQ(f.dragged->Parent(), f.site);
    f.rec.widenSite = false;
    // A disabled site takes nothing.
    f.PutBack();
    f.site->SetEnabled(false);
    f.Drag(350, 100);
    EXPECT_TRUE(f.dragged->Floating());
    f.site->SetEnabled(true);

    // A dock object the handler gives is used and stays its own (no double free, no leak).
    f.PutBack();
    f.rec.narrowSite = false;
    TDragDockObject own(f.dragged);
    f.rec.given = &own;
    f.Drag(350, 100);
    EXPECT_EQ(f.dragged->Parent(), f.site);
    EXPECT_EQ(own.DragTarget(), f.site);
    EXPECT_EQ(own.DragOffset, TPoint(10, 10));
    f.rec.given = nullptr;

    // A control freed by the site mid-drop hears no end.
    f.PutBack();
    struct Freer
    {
        TControl* victim;
        void Drop(TObject*, TDragDockObject*, int, int) { delete victim; }
    } freer{f.dragged};
    f.site->OnDockDrop = MakeClosure(&freer, &Freer::Drop);
    f.alive = false;
    f.Drag(350, 100);
    EXPECT_EQ(f.rec.log, (std::vector<std::string>{"startdock"}));
}
