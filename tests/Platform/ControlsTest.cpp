#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> g_events;

class Box : public TCustomControl
{
public:
    Box(TComponent* owner, TWinControl* parent, const char* label, TRect bounds, bool tabStop = true)
        : TCustomControl(owner), m_label(label)
    {
        SetParent(parent);
        SetBoundsRect(bounds);
        SetTabStop(tabStop);
        SetName(UnicodeString(label));
        OnClick = MakeClosure(this, &Box::Clicked);
        OnMouseDown = MakeClosure(this, &Box::Down);
        OnMouseUp = MakeClosure(this, &Box::Up);
        OnEnter = MakeClosure(this, &Box::Entered);
        OnExit = MakeClosure(this, &Box::Left_);
        OnKeyDown = MakeClosure(this, &Box::Key);
        OnKeyPress = MakeClosure(this, &Box::Press);
    }
    int paints = 0;
    LRESULT dialogCode = 0;

protected:
    void Paint() override { ++paints; }
    LRESULT DialogCode() override { return dialogCode; }

private:
    void Log(const std::string& text) { g_events.push_back(m_label + ":" + text); }
    void Clicked(TObject*) { Log("click"); }
    void Down(TObject*, TMouseButton button, TShiftState shift, int x, int y)
    {
        Log("down" + std::to_string(button) + (shift.Contains(ssShift) ? "S" : "") + "@" + std::to_string(x) +
            "," + std::to_string(y));
    }
    void Up(TObject*, TMouseButton, TShiftState, int x, int y)
    {
        Log("up@" + std::to_string(x) + "," + std::to_string(y));
    }
    void Entered(TObject*) { Log("enter"); }
    void Left_(TObject*) { Log("exit"); }
    void Key(TObject*, WORD& key, TShiftState shift)
    {
        Log("key" + std::to_string(key) + (shift.Contains(ssCtrl) ? "C" : ""));
    }
    void Press(TObject*, WCHAR& key) { Log(std::string("char ") + static_cast<char>(key)); }

    std::string m_label;
};

class Shape : public TGraphicControl
{
public:
    Shape(TComponent* owner, TWinControl* parent, TRect bounds) : TGraphicControl(owner)
    {
        SetParent(parent);
        SetBoundsRect(bounds);
    }
    int paints = 0;

protected:
    void Paint() override { ++paints; }
};

TEST(ControlsTest, AnchorsKeepTheirDistancesAsTheParentResizes)
{
    TForm form(nullptr);
    form.SetClientWidth(632);
    form.SetClientHeight(96);
    struct Row
    {
        TRect bounds;
        TAnchors anchors;
        TRect grown; // after the client grows by 100 x 20
    };
    const Row rows[] = {
        {{95, 8, 586, 29}, {akLeft, akTop, akRight}, {95, 8, 686, 29}},
        {{592, 5, 624, 30}, {akTop, akRight}, {692, 5, 724, 30}},
        {{14, 63, 89, 88}, {akLeft, akBottom}, {14, 83, 89, 108}},
        {{543, 63, 618, 88}, {akRight, akBottom}, {643, 83, 718, 108}},
        {{8, 36, 624, 47}, {akLeft, akRight, akBottom}, {8, 56, 724, 67}},
        {{8, 10, 20, 86}, {akLeft, akTop, akBottom}, {8, 10, 20, 106}},
        {{300, 40, 320, 50}, {}, {350, 50, 370, 60}}, // no anchors: stays centred
    };
    std::vector<TControl*> controls;
    for (const Row& row : rows)
    {
        auto* c = new Shape(&form, &form, row.bounds);
        c->SetAnchors(row.anchors);
        controls.push_back(c);
    }
    form.SetClientWidth(732);
    form.SetClientHeight(116);
    for (size_t i = 0; i < controls.size(); ++i)
        EXPECT_EQ(controls[i]->BoundsRect(), rows[i].grown) << "row " << i;
    // Shrinking below the start and coming back leaves no drift.
    form.SetBounds(0, 0, 301, 51);
    form.SetBounds(0, 0, 632, 96);
    for (size_t i = 0; i < controls.size(); ++i)
        EXPECT_EQ(controls[i]->BoundsRect(), rows[i].bounds) << "row " << i;
    // A nested container passes its own resize on.
    auto* panel = new TWinControl(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 100, 50);
    panel->SetAnchors({akLeft, akTop, akRight});
    auto* inner = new Shape(&form, panel, {60, 0, 90, 10});
    inner->SetAnchors({akTop, akRight});
    form.SetClientWidth(682);
    EXPECT_EQ(panel->Width(), 150);
    EXPECT_EQ(inner->Left(), 110);
    EXPECT_EQ(inner->FormOrigin(), TPoint(110, 0));
}

TEST(ControlsTest, TabWalksTheTabOrderAndTheFocusMessagesFollow)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    auto* edit = new Box(&form, &form, "edit", {0, 0, 50, 20});
    auto* browse = new Box(&form, &form, "browse", {60, 0, 90, 20});
    auto* patch = new Box(&form, &form, "patch", {0, 40, 50, 60});
    auto* panel = new TWinControl(&form); // a container without a tab stop of its own
    panel->SetParent(&form);
    panel->SetBounds(100, 100, 200, 100);
    auto* inner = new Box(&form, panel, "inner", {0, 0, 20, 20});
    auto* off = new Box(&form, &form, "off", {0, 200, 20, 220}, false);
    auto* exit = new Box(&form, &form, "exit", {300, 40, 350, 60});
    exit->SetTabOrder(3); // before the panel
    EXPECT_EQ(exit->TabOrder(), 3);
    EXPECT_EQ(panel->TabOrder(), 4);
    EXPECT_EQ(off->TabOrder(), 5);

    EXPECT_FALSE(edit->CanFocus()); // the form is not shown yet
    EXPECT_THROW(edit->SetFocus(), EInvalidOperation);
    g_events.clear();
    form.Show();
    EXPECT_TRUE(edit->Focused());
    EXPECT_EQ(form.ActiveControl(), edit);
    EXPECT_EQ(Screen->ActiveForm(), &form);

    struct Step
    {
        bool shift;
        TWinControl* expected;
    };
    patch->SetEnabled(false);
    const Step steps[] = {{false, browse}, {false, exit}, {false, inner}, {false, edit},
                          {true, inner},   {true, exit},  {true, browse}, {true, edit}};
    for (const Step& step : steps)
    {
        Platform::SetKeyDown(VK_SHIFT, step.shift);
        Vcl::RouteInput(&form, WM_KEYDOWN, VK_TAB, 0);
        Vcl::RouteInput(&form, WM_CHAR, u'\t', 0); // the tab's character is not typed
        EXPECT_EQ(form.ActiveControl(), step.expected);
        EXPECT_TRUE(step.expected->Focused());
    }
    Platform::SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(g_events,
              (std::vector<std::string>{"edit:enter", "edit:exit", "browse:enter", "browse:exit",
                                        "exit:enter", "exit:exit", "inner:enter", "inner:exit", "edit:enter",
                                        "edit:exit", "inner:enter", "inner:exit", "exit:enter", "exit:exit",
                                        "browse:enter", "browse:exit", "edit:enter"}));

    // Keys and characters reach the focused control; a control that wants Tab gets it.
    g_events.clear();
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_CONTROL, 0);
    Vcl::RouteInput(&form, WM_KEYDOWN, 'A', 0);
    Vcl::RouteInput(&form, WM_KEYUP, VK_CONTROL, 0);
    Vcl::RouteInput(&form, WM_CHAR, u'x', 0);
    edit->dialogCode = DLGC_WANTTAB;
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_TAB, 0);
    Vcl::RouteInput(&form, WM_CHAR, u'\t', 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"edit:key17C", "edit:key65C", "edit:char x", "edit:key9",
                                                  "edit:char \t"}));
    EXPECT_TRUE(edit->Focused());

    // Hiding or freeing the focused control takes the focus away cleanly.
    inner->SetFocus();
    panel->Hide();
    EXPECT_EQ(form.ActiveControl(), nullptr);
    EXPECT_FALSE(inner->Focused());
    panel->Show();
    inner->SetFocus();
    delete panel;
    EXPECT_EQ(form.ActiveControl(), nullptr);
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_EQ(form.ActiveControl(), edit);
    Platform::ResetKeyStates();
}

TEST(ControlsTest, MouseInputReachesTheControlUnderThePoint)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* panel = new TWinControl(&form);
    panel->SetParent(&form);
    panel->SetBounds(100, 50, 150, 100);
    auto* button = new Box(&form, panel, "button", {10, 10, 60, 40});
    auto* shape = new Shape(&form, &form, {0, 0, 300, 20}); // graphic: under windowed siblings
    auto* top = new Box(&form, &form, "top", {280, 0, 300, 20}, false);
    auto* disabled = new Box(&form, panel, "disabled", {100, 0, 150, 50});
    disabled->SetEnabled(false);
    int formClicks = 0;
    struct Counter
    {
        int& count;
        void Hit(TObject*) { ++count; }
    } counter{formClicks};
    form.OnClick = MakeClosure(&counter, &Counter::Hit);
    form.Show();

    struct Case
    {
        UINT message;
        WPARAM buttons;
        int x, y;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        // Press and release inside: down, click, up, in the button's own coordinates.
        {WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 115, 65, {"button:down0S@5,5"}},
        {WM_LBUTTONUP, 0, 120, 70, {"button:click", "button:up@10,10"}},
        // Released outside: the capture keeps the button as target, and no click.
        {WM_LBUTTONDOWN, MK_LBUTTON, 115, 65, {"button:down0@5,5"}},
        {WM_LBUTTONUP, 0, 10, 190, {"button:up@-100,130"}},
        // The right button presses but never clicks.
        {WM_RBUTTONDOWN, MK_RBUTTON, 159, 89, {"button:down1@49,29"}},
        {WM_RBUTTONUP, 0, 159, 89, {"button:up@49,29"}},
        // The windowed control lies over the graphic one; a disabled one passes to its parent.
        {WM_LBUTTONDOWN, MK_LBUTTON, 285, 5, {"top:down0@5,5"}},
        {WM_LBUTTONUP, 0, 285, 5, {"top:click", "top:up@5,5"}},
        {WM_LBUTTONDOWN, MK_LBUTTON, 210, 60, {}},
        {WM_LBUTTONUP, 0, 210, 60, {}},
    };
    for (const Case& test : cases)
    {
        g_events.clear();
        EXPECT_TRUE(Vcl::RouteInput(&form, test.message, test.buttons, MAKELPARAM(test.x, test.y)));
        EXPECT_EQ(g_events, test.events) << test.message << " at " << test.x << "," << test.y;
    }
    // Clicking a control with a tab stop focuses it; one without does not.
    EXPECT_TRUE(button->Focused());
    EXPECT_EQ(Vcl::CaptureControl(), nullptr);

    // Posted to the form's window, input is routed the same way by the message loop.
    g_events.clear();
    PostMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 30));
    PostMessageW(form.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 30));
    Application->ProcessMessages();
    EXPECT_EQ(formClicks, 1);
    // Sent straight to a child's window, it goes to that child as it stands.
    SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 2));
    EXPECT_EQ(g_events, std::vector<std::string>{"button:down0@1,2"});
    SendMessageW(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(1, 2));
    EXPECT_EQ(form.ControlAtPos(TPoint(285, 5)), top);
    EXPECT_EQ(form.ControlAtPos(TPoint(5, 5)), shape);
}

// A form that handles one private message and passes the rest on, as the dialog does.
class ProgressForm : public TForm
{
public:
    using TForm::TForm;
    std::vector<std::pair<WPARAM, LPARAM>> progress;
    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == 0xD13)
        {
            progress.emplace_back(Message.WParam, Message.LParam);
            Message.Result = 1;
            return;
        }
        TForm::Dispatch(Message);
    }
};

class Spy
{
public:
    explicit Spy(TControl* control) : m_control(control), m_old(control->WindowProc)
    {
        control->WindowProc = MakeClosure(this, &Spy::Proc);
    }
    ~Spy() { m_control->WindowProc = m_old; }
    std::vector<UINT> seen;

private:
    void Proc(TMessage& Message)
    {
        seen.push_back(Message.Msg);
        m_old(Message);
    }
    TControl* m_control;
    TWndMethod m_old;
};

TEST(ControlsTest, MessagesGoThroughWindowProcToDispatch)
{
    ProgressForm form(nullptr);
    form.SetBounds(0, 0, 100, 100);
    Spy spy(&form);
    EXPECT_EQ(SendMessageW(form.Handle(), 0xD13, 40, 100), 1);
    EXPECT_EQ(form.Perform(0xD13, 100, 100), 1);
    EXPECT_EQ(SendMessageW(form.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Kelvane")), TRUE);
    EXPECT_EQ(form.Caption(), u"Kelvane");
    WCHAR buffer[4];
    EXPECT_EQ(form.Perform(WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::u16string(buffer), u"Kel");
    EXPECT_EQ(form.Perform(WM_GETTEXTLENGTH, 0, 0), 7);
    EXPECT_EQ(form.Perform(WM_USER + 5, 0, 0), 0); // unhandled: the default handler
    EXPECT_EQ(form.progress, (std::vector<std::pair<WPARAM, LPARAM>>{{40, 100}, {100, 100}}));
    EXPECT_EQ(spy.seen,
              (std::vector<UINT>{0xD13, 0xD13, WM_SETTEXT, CM_TEXTCHANGED, WM_GETTEXT, WM_GETTEXTLENGTH, WM_USER + 5}));
    // A parent cycle is refused.
    auto* child = new TWinControl(&form);
    child->SetParent(&form);
    EXPECT_THROW(form.SetParent(child), EInvalidOperation);
}

TEST(ControlsTest, InvalidateMarksTheFormAndThePaintPassRepaintsIt)
{
    TForm form(nullptr);
    form.SetClientWidth(200);
    form.SetClientHeight(100);
    EXPECT_EQ(form.DirtyRect(), TRect(0, 0, 200, 100));
    auto* panel = new Box(&form, &form, "panel", {50, 20, 150, 80}, false);
    auto* inside = new Shape(&form, panel, {10, 10, 30, 30});
    auto* corner = new Box(&form, &form, "corner", {0, 0, 10, 10}, false);
    auto* hidden = new Shape(&form, &form, {0, 0, 200, 100});
    hidden->Hide();
    form.Show();
    Application->ProcessMessages(); // the first pass paints everything shown
    EXPECT_EQ(form.DirtyRect(), TRect());
    EXPECT_EQ(panel->paints, 1);
    EXPECT_EQ(inside->paints, 1);
    EXPECT_EQ(corner->paints, 1);
    EXPECT_EQ(hidden->paints, 0);

    inside->Invalidate();
    EXPECT_EQ(form.DirtyRect(), TRect(60, 30, 80, 50)); // in the form's coordinates
    int passes = form.PaintCount();
    inside->Update(); // at once, without the loop
    EXPECT_EQ(form.PaintCount(), passes + 1);
    EXPECT_EQ(inside->paints, 2);
    EXPECT_EQ(panel->paints, 2);
    EXPECT_EQ(corner->paints, 1); // outside the marked part
    inside->Update();             // nothing marked: no pass
    EXPECT_EQ(form.PaintCount(), passes + 1);

    // Moving a control marks where it was and where it is.
    corner->SetBounds(180, 90, 10, 10);
    EXPECT_EQ(form.DirtyRect(), TRect(0, 0, 190, 100));
    corner->Repaint();
    EXPECT_EQ(corner->paints, 2);

    // The buffer follows the client size; a marked part never leaves it.
    EXPECT_NE(form.Pixels(), nullptr);
    form.SetClientWidth(300);
    EXPECT_EQ(form.DirtyRect(), TRect(0, 0, 300, 100));
    form.InvalidateRect(TRect(-50, -50, 1000, 1000));
    EXPECT_EQ(form.DirtyRect(), TRect(0, 0, 300, 100));
    form.Pixels()[300 * 100 - 1] = 0x00FF00FF; // the last pixel is there (ASan)
}

// Frees a sibling when clicked and hides its parent on a key: input must cope with controls that
// go away under it.
class Wrecker : public TCustomControl
{
public:
    Wrecker(TComponent* owner, TWinControl* parent, TRect bounds) : TCustomControl(owner)
    {
        SetParent(parent);
        SetBoundsRect(bounds);
        SetTabStop(true);
    }
    TControl* victim = nullptr;
    static inline int freed = 0;

protected:
    void Click() override
    {
        TControl* doomed = victim;
        victim = nullptr;
        freed += doomed ? 1 : 0;
        delete doomed;
    }
    void KeyDown(WORD& key, TShiftState) override
    {
        if (key == VK_SPACE && Parent() != GetParentForm(this))
            Parent()->SetVisible(!Parent()->Visible());
    }
};

TEST(ControlsTest, RandomInputLeavesEveryControlSound)
{
    std::vector<std::string> saved;
    saved.swap(g_events);
    TForm form(nullptr);
    form.SetBounds(0, 0, 320, 240);
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range)
    {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    const UINT mouse[] = {WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP,
                          WM_RBUTTONDOWN, WM_RBUTTONUP,   WM_LBUTTONDBLCLK};
    const WPARAM keys[] = {VK_TAB, VK_SHIFT, VK_SPACE, VK_LEFT, VK_RETURN, VK_ESCAPE, 'A'};
    for (int round = 0; round < 10; ++round)
    {
        // A fresh set of nested controls each round; some free others when clicked.
        std::vector<Wrecker*> wreckers;
        for (int i = 0; i < 8; ++i)
        {
            TWinControl* parent = wreckers.empty() || next(2)
                                      ? static_cast<TWinControl*>(&form)
                                      : wreckers[next(static_cast<uint32_t>(wreckers.size()))];
            int x = static_cast<int>(next(200));
            int y = static_cast<int>(next(150));
            wreckers.push_back(new Wrecker(
                &form, parent,
                {x, y, x + 20 + static_cast<int>(next(100)), y + 20 + static_cast<int>(next(80))}));
        }
        for (size_t i = 0; i + 1 < wreckers.size(); i += 2)
            wreckers[i]->victim = new Shape(&form, wreckers[i + 1], {0, 0, 10, 10});
        wreckers[0]->victim = wreckers[7]; // frees a windowed control, maybe with children
        form.Show();
        for (int event = 0; event < 200; ++event)
        {
            int x = static_cast<int>(next(340)) - 10;
            int y = static_cast<int>(next(260)) - 10;
            switch (next(3))
            {
            case 0:
            {
                WPARAM key = keys[next(7)];
                Vcl::RouteInput(&form, next(2) ? WM_KEYDOWN : WM_KEYUP, key, 0);
                Vcl::RouteInput(&form, WM_CHAR, key, 0);
                break;
            }
            case 1: // a click where the pointer is
                Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
                Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(x + 1, y));
                break;
            default:
            {
                UINT message = mouse[next(6)];
                WPARAM buttons = message == WM_LBUTTONDOWN   ? MK_LBUTTON
                                 : message == WM_RBUTTONDOWN ? MK_RBUTTON
                                                             : 0;
                Vcl::RouteInput(&form, message, buttons, MAKELPARAM(x, y));
            }
            }
        }
        Application->ProcessMessages();
        // Freeing a control that holds the mouse releases it; releasing the buttons does too.
        form.DestroyComponents();
        EXPECT_TRUE(Vcl::CaptureControl() == nullptr || Vcl::CaptureControl() == &form);
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, 0);
        EXPECT_EQ(form.ControlCount(), 0);
        EXPECT_EQ(form.ActiveControl(), nullptr);
        EXPECT_EQ(Vcl::CaptureControl(), nullptr);
    }
    EXPECT_GE(Wrecker::freed, 10); // the input did reach controls that free others
    Platform::ResetKeyStates();
    saved.swap(g_events);
}
} // namespace

namespace
{
// Records its window's creation, its resizes and keeps its pixels when it answers WM_ERASEBKGND.
class Surface : public TCustomControl
{
public:
    explicit Surface(TComponent* owner) : TCustomControl(owner) { OnResize = MakeClosure(this, &Surface::Resized_); }
    std::vector<std::string> log;
    bool keepBackground = false;

protected:
    void CreateWnd() override
    {
        TCustomControl::CreateWnd();
        log.push_back("create " + std::to_string(Parent() && Parent()->HandleAllocated()));
    }
    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == WM_ERASEBKGND && keepBackground)
        {
            Message.Result = 1;
            return;
        }
        TCustomControl::Dispatch(Message);
    }

private:
    void Resized_(TObject*) { log.push_back("resize " + std::to_string(Width()) + "x" + std::to_string(Height())); }
};

TEST(ControlsTest, WindowsAreCreatedOnceWhenShownAndResizeFollowsCreation)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 60, 40);
    auto* panel = new TWinControl(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 60, 40);
    auto* surface = new Surface(&form);
    surface->SetParent(panel);
    surface->SetBounds(5, 5, 20, 10); // before the window: no OnResize
    EXPECT_FALSE(surface->HandleAllocated());
    EXPECT_TRUE(surface->log.empty());
    form.Show();
    EXPECT_TRUE(form.HandleAllocated());
    EXPECT_TRUE(surface->HandleAllocated());
    surface->SetBounds(5, 5, 21, 10);
    surface->SetBounds(6, 6, 21, 10); // a move is no resize
    form.Hide();
    form.Show();
    surface->HandleNeeded();
    EXPECT_EQ(surface->log, (std::vector<std::string>{"create 1", "resize 21x10"}));

    // A control that joins a created parent gets its window at once; HandleNeeded creates the
    // parents' windows first.
    auto* late = new Surface(&form);
    late->SetParent(&form);
    EXPECT_EQ(late->log, std::vector<std::string>{"create 1"});
    TForm hidden(nullptr);
    auto* deep = new Surface(&hidden);
    deep->SetParent(&hidden);
    deep->HandleNeeded();
    EXPECT_TRUE(hidden.HandleAllocated());
    EXPECT_EQ(deep->log, std::vector<std::string>{"create 1"});

    // Graphic controls resize whenever their size changes.
    int graphicResizes = 0;
    struct Count
    {
        int* n;
        void Hit(TObject*) { ++*n; }
    } count{&graphicResizes};
    auto* shape = new Shape(&hidden, &hidden, TRect(0, 0, 5, 5));
    shape->OnResize = MakeClosure(&count, &Count::Hit);
    shape->SetBounds(0, 0, 6, 5);
    EXPECT_EQ(graphicResizes, 1);
    // Design state reaches owned components.
    hidden.SetDesigning(true);
    EXPECT_TRUE(deep->ComponentState().Contains(csDesigning));
    hidden.SetDesigning(false);
    EXPECT_FALSE(shape->ComponentState().Contains(csDesigning));
}

TEST(ControlsTest, APaintPassErasesOnlyControlsThatLeaveTheBackgroundToIt)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 40, 20);
    auto* erased = new Surface(&form);
    erased->SetParent(&form);
    erased->SetBounds(0, 0, 20, 20);
    erased->SetColor(static_cast<TColor>(0x0000FF));
    auto* kept = new Surface(&form);
    kept->SetParent(&form);
    kept->SetBounds(20, 0, 20, 20);
    kept->keepBackground = true;
    form.Show();
    form.PaintDirty();
    // Pixels drawn by someone else (a device presenting) stay under the control that keeps them.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            form.Pixels()[y * 40 + x] = 0x123456;
    form.Invalidate();
    form.PaintDirty();
    EXPECT_EQ(form.Pixels()[5 * 40 + 5], 0xFF0000u); // red, as 0x00RRGGBB
    EXPECT_EQ(form.Pixels()[5 * 40 + 25], 0x123456u);
}

TEST(ControlsTest, WindowStylesAndPlacementReachTheForm)
{
    TForm form(nullptr);
    form.SetBounds(10, 20, 300, 200);
    LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_EQ(SetWindowLongW(form.Handle(), GWL_STYLE, static_cast<LONG>(WS_POPUP)), style);
    EXPECT_EQ(form.WindowStyle(), WS_POPUP);
    // The control's own style setter goes through the same table.
    form.SetWindowStyle(WS_POPUP | WS_BORDER);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(form.Handle(), GWL_STYLE)), WS_POPUP | WS_BORDER);
    form.SetWindowStyle(WS_POPUP);
    EXPECT_TRUE(SetWindowPos(form.Handle(), HWND_TOPMOST, 0, 0, 1024, 768, 0));
    EXPECT_EQ(form.BoundsRect(), TRect(0, 0, 1024, 768));
    EXPECT_EQ(form.WindowExStyle() & WS_EX_TOPMOST, WS_EX_TOPMOST);
    EXPECT_FALSE(form.Visible());
    SetWindowLongW(form.Handle(), GWL_STYLE, style);
    EXPECT_TRUE(SetWindowPos(form.Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW));
    EXPECT_EQ(form.BoundsRect(), TRect(0, 0, 1024, 768)); // neither moved nor sized
    EXPECT_EQ(form.WindowExStyle() & WS_EX_TOPMOST, 0u);
    EXPECT_TRUE(form.Visible());
    // Bad handles and indexes change nothing.
    EXPECT_EQ(GetWindowLongW(nullptr, GWL_STYLE), 0);
    EXPECT_EQ(SetWindowLongW(form.Handle(), 7, 1), 0);
    EXPECT_FALSE(SetWindowPos(nullptr, HWND_TOP, 0, 0, 1, 1, 0));
}
} // namespace

namespace
{
// A container that records how deep its align passes nest.
class AlignProbe : public TWinControl
{
public:
    using TWinControl::TWinControl;
    int depth = 0;
    int deepest = 0;
    int passes = 0;

protected:
    void AlignControls(TRect& rect) override
    {
        ++passes;
        deepest = std::max(deepest, ++depth);
        TWinControl::AlignControls(rect);
        --depth;
    }
};
} // namespace

TEST(ControlsTest, AlignStacksControlsInPlacementOrderAndTheClientTakesTheRest)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* probe = new AlignProbe(&form);
    probe->SetParent(&form);
    probe->SetAlign(alClient);
    EXPECT_EQ(probe->BoundsRect(), TRect(0, 0, 300, 200));
    // Created in one order, aligned in another: the placement order decides.
    auto* second = new Shape(&form, probe, {0, 0, 10, 30});
    auto* first = new Shape(&form, probe, {0, 0, 10, 20});
    auto* left = new Shape(&form, probe, {0, 0, 40, 10});
    auto* bottom = new Shape(&form, probe, {0, 0, 10, 15});
    auto* right = new Shape(&form, probe, {0, 0, 25, 10});
    auto* client = new Shape(&form, probe, {0, 0, 5, 5});
    first->SetAlign(alTop);
    second->SetAlign(alTop);
    client->SetAlign(alClient);
    right->SetAlign(alRight);
    left->SetAlign(alLeft);
    bottom->SetAlign(alBottom);
    EXPECT_EQ(first->BoundsRect(), TRect(0, 0, 300, 20));
    EXPECT_EQ(second->BoundsRect(), TRect(0, 20, 300, 50));
    EXPECT_EQ(bottom->BoundsRect(), TRect(0, 185, 300, 200));
    EXPECT_EQ(left->BoundsRect(), TRect(0, 50, 40, 185));
    EXPECT_EQ(right->BoundsRect(), TRect(275, 50, 300, 185));
    EXPECT_EQ(client->BoundsRect(), TRect(40, 50, 275, 185));
    // A hidden control takes no room; an aligned control keeps only its own size.
    first->Hide();
    EXPECT_EQ(second->BoundsRect(), TRect(0, 0, 300, 30));
    left->SetBounds(100, 100, 60, 1);
    EXPECT_EQ(left->BoundsRect(), TRect(0, 30, 60, 185));
    EXPECT_EQ(client->BoundsRect(), TRect(60, 30, 275, 185));
    // The parent resizes: the stack follows; too small a parent leaves no negative sizes.
    form.SetBounds(0, 0, 400, 100);
    EXPECT_EQ(client->BoundsRect(), TRect(60, 30, 375, 85));
    form.SetBounds(0, 0, 50, 20);
    EXPECT_GE(client->Width(), 0);
    EXPECT_EQ(client->Height(), 0);
    // Taking a control away aligns the rest again; none of this nested a pass.
    form.SetBounds(0, 0, 300, 200);
    second->SetParent(nullptr);
    EXPECT_EQ(left->Top(), 0);
    delete second;
    EXPECT_EQ(probe->deepest, 1);
    EXPECT_GT(probe->passes, 5);
}

TEST(ControlsTest, AnAlignPassNeverStartsInsideItself)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* probe = new AlignProbe(&form);
    probe->SetParent(&form);
    probe->SetBounds(0, 0, 300, 200);
    auto* top = new TWinControl(&form);
    top->SetParent(probe);
    top->SetBounds(0, 0, 10, 40);
    auto* client = new TWinControl(&form);
    client->SetParent(probe);
    client->SetAlign(alClient);
    top->SetAlign(alTop);
    form.HandleNeeded(); // windowed controls report resizes once their windows exist
    // Resizing the client asks its parent to align again, from inside the pass.
    int resizes = 0;
    std::function<void()> grow = [&]
    {
        if (++resizes == 1)
            top->SetHeight(top->Height() + 1);
    };
    struct Caller
    {
        std::function<void()>* f;
        void Call(TObject*) { (*f)(); }
    } caller{&grow};
    client->OnResize = MakeClosure(&caller, &Caller::Call);
    probe->SetHeight(300);
    EXPECT_EQ(probe->deepest, 1);
    EXPECT_EQ(resizes, 2); // the request made inside ran as a second pass after it
    EXPECT_EQ(top->Height(), 41);
    EXPECT_EQ(client->BoundsRect(), TRect(0, 41, 300, 300));
    // A handler that asks for ever is cut off, not looped.
    resizes = 0;
    grow = [&]
    {
        ++resizes;
        top->SetHeight(top->Height() + 1);
    };
    probe->SetHeight(250);
    EXPECT_LT(resizes, 20);
}

TEST(ControlsTest, ClientToParentCountsEveryPlacementAndFrameOnTheWayUp)
{
    TForm form(nullptr);
    auto* outer = new TWinControl(&form);
    outer->SetParent(&form);
    outer->SetBounds(10, 20, 200, 100);
    outer->SetWindowExStyle(WS_EX_CLIENTEDGE); // a 2-pixel edge before its client area
    auto* inner = new TWinControl(&form);
    inner->SetParent(outer);
    inner->SetBounds(5, 6, 50, 50);
    auto* leaf = new TControl(&form);
    leaf->SetParent(inner);
    leaf->SetBounds(3, 4, 10, 10);

    EXPECT_EQ(leaf->ClientToParent(TPoint(1, 1)), TPoint(4, 5));
    EXPECT_EQ(leaf->ClientToParent(TPoint(1, 1), inner), TPoint(4, 5));
    EXPECT_EQ(leaf->ClientToParent(TPoint(1, 1), outer), TPoint(9, 11));
    EXPECT_EQ(leaf->ClientToParent(TPoint(1, 1), &form), TPoint(10 + 2 + 9, 20 + 2 + 11));
    EXPECT_EQ(inner->ClientToParent(TPoint(0, 0), &form), TPoint(10 + 2 + 5, 20 + 2 + 6));
    // Only an ancestor will do.
    TForm other(nullptr);
    EXPECT_THROW(leaf->ClientToParent(TPoint(0, 0), &other), EInvalidOperation);
    TControl loose(nullptr);
    EXPECT_THROW(loose.ClientToParent(TPoint(0, 0)), EInvalidOperation);
}
