#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"

#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace
{
std::vector<std::string> g_log;

class MainForm : public TForm
{
public:
    explicit MainForm(TComponent* owner) : TForm(owner)
    {
        SetBorderStyle(bsDialog);
        SetPosition(poScreenCenter);
        SetClientWidth(632);
        SetClientHeight(96);
        SetCaption(u"Kelvane");
        OnCreate = MakeClosure(this, &MainForm::FormCreate);
        OnClose = MakeClosure(this, &MainForm::FormClose);
        OnDestroy = MakeClosure(this, &MainForm::FormDestroy);
    }
    static MainForm* Instance;
    TCloseAction closeAction = caHide;
    bool failCreate = false;

private:
    void FormCreate(TObject* sender)
    {
        // The reference is set before OnCreate runs.
        g_log.push_back(std::string("create ") + (Instance == sender ? "set" : "unset"));
        if (Tag == 1)
            throw Exception(u"Patch data broken");
    }
    void FormClose(TObject*, TCloseAction& action)
    {
        g_log.push_back("close");
        action = closeAction;
    }
    void FormDestroy(TObject*) { g_log.push_back("destroy " + Caption().ToUtf8()); }
};
MainForm* MainForm::Instance = nullptr;

class Presenter : public Vcl::IFormPresenter
{
public:
    Presenter() { m_previous = Vcl::SetFormPresenter(this); }
    ~Presenter() override { Vcl::SetFormPresenter(m_previous); }
    std::vector<std::string> calls;
    void FormShown(TCustomForm* f) override { calls.push_back("shown " + f->Caption().ToUtf8()); }
    void FormHidden(TCustomForm* f) override { calls.push_back("hidden " + f->Caption().ToUtf8()); }
    void FormChanged(TCustomForm*) override {}
    void FormPainted(TCustomForm* f, const TRect& r) override
    {
        calls.push_back("painted " + f->Caption().ToUtf8() + " " + std::to_string(r.Width()) + "x" +
                        std::to_string(r.Height()));
    }
    void FormDestroyed(TCustomForm* f) override { calls.push_back("destroyed " + f->Caption().ToUtf8()); }

private:
    Vcl::IFormPresenter* m_previous;
};

TEST(FormsTest, TheApplicationRunsUntilTheMainFormCloses)
{
    ManualClock clock;
    Presenter presenter;
    g_log.clear();
    Application->CreateForm(MainForm::Instance);
    MainForm* form = MainForm::Instance;
    EXPECT_EQ(Application->MainForm(), form);
    EXPECT_EQ(form->Owner(), Application);
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(form->ClientWidth(), 632);
    EXPECT_EQ(form->BorderStyle(), bsDialog);

    // Closing with caNone keeps it running; the next close ends Run. Posted first, handled by Run.
    form->closeAction = caNone;
    PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    struct Closer
    {
        MainForm* form;
        void Tick(TObject*)
        {
            form->closeAction = caHide;
            form->Close();
        }
    } closer{form};
    TTimer timer(nullptr);
    timer.SetInterval(100);
    timer.OnTimer = MakeClosure(&closer, &Closer::Tick);
    // The clock moves each time the loop would wait.
    Platform::SetEventPump([&](DWORD wait) { clock.Advance(wait == Platform::INFINITE_WAIT ? 10 : 1); });
    Application->Run();
    Platform::SetEventPump(nullptr);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(g_log, (std::vector<std::string>{"create set", "close", "close"}));
    // Shown centred on the screen, painted once whole.
    EXPECT_EQ(form->BoundsRect(), TRect(196, 336, 828, 432));
    ASSERT_GE(presenter.calls.size(), 2u);
    EXPECT_EQ(presenter.calls[0], "shown Kelvane");
    EXPECT_EQ(presenter.calls[1], "painted Kelvane 632x96");

    // Freed through its owner: OnDestroy runs while the form stands.
    form->Free();
    MainForm::Instance = nullptr;
    EXPECT_EQ(g_log.back(), "destroy Kelvane");
    EXPECT_EQ(presenter.calls.back(), "destroyed Kelvane");
    EXPECT_EQ(Application->MainForm(), nullptr);
    EXPECT_EQ(Application->ComponentCount(), 0);

    // A failing OnCreate is shown by the exception box and the form lives on.
    BoxRecorder boxes;
    struct Failing : MainForm
    {
        explicit Failing(TComponent* owner) : MainForm(owner) { Tag = 1; }
    };
    Failing* failing = nullptr;
    MainForm::Instance = nullptr;
    Application->CreateForm(failing);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Patch data broken");
    EXPECT_EQ(Application->MainForm(), failing);
    delete failing;
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(FormsTest, ShowModalPumpsUntilAResultIsSet)
{
    ManualClock clock;
    Presenter presenter;
    TForm owner(nullptr);
    owner.SetCaption(u"owner");
    owner.SetBounds(0, 0, 100, 100);
    owner.Show();
    TForm dialog(nullptr);
    dialog.SetCaption(u"dialog");
    dialog.SetBounds(0, 0, 50, 50);

    struct Driver
    {
        TForm& owner;
        TForm& dialog;
        ManualClock& clock;
        int ticks = 0;
        bool ownerInputTaken = true;
        TCustomForm* parent = nullptr; // the form the dialog stands over
        bool refuse = false;
        TModalResult result = mrOk;
        void Tick(TObject*)
        {
            if (++ticks < 3)
                return;
            // While the dialog is up, the owner takes no input.
            ownerInputTaken = Vcl::RouteInput(&owner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
            parent = dialog.PopupParent();
            dialog.SetModalResult(result);
        }
        int refusals = 0;
        void Close(TObject*, TCloseAction& action)
        {
            if (!refuse)
                return;
            action = caNone; // refused once: the loop goes on until the next result
            refuse = false;
            ++refusals;
        }
    } driver{owner, dialog, clock};
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.OnTimer = MakeClosure(&driver, &Driver::Tick);
    dialog.OnClose = MakeClosure(&driver, &Driver::Close);
    Platform::SetEventPump([&](DWORD) { clock.Advance(5); });

    struct Case
    {
        TModalResult set;
        bool refuseOnce;
        TModalResult returned;
    };
    for (Case test : {Case{mrOk, false, mrOk}, Case{mrNo, false, mrNo}, Case{mrYes, true, mrYes}})
    {
        driver.ticks = 0;
        driver.result = test.set;
        driver.refuse = test.refuseOnce;
        driver.refusals = 0;
        presenter.calls.clear();
        EXPECT_EQ(dialog.ShowModal(), test.returned);
        EXPECT_FALSE(dialog.Visible());
        EXPECT_FALSE(dialog.Modal());
        EXPECT_FALSE(driver.ownerInputTaken);
        EXPECT_EQ(presenter.calls.front(), "shown dialog");
        EXPECT_EQ(presenter.calls.back(), "hidden dialog");
        EXPECT_EQ(driver.refusals, test.refuseOnce ? 1 : 0);
        EXPECT_EQ(driver.ticks, test.refuseOnce ? 4 : 3);
        EXPECT_EQ(driver.parent, &owner);
    }

    // With two forms showing, the dialog stands over the active one, not over the first shown
    // nor the last.
    TForm second(nullptr);
    second.SetBounds(0, 0, 100, 100);
    second.Show();
    for (TForm* active : {&second, &owner})
    {
        Screen->SetActiveForm(active);
        driver.ticks = 0;
        driver.result = mrOk;
        EXPECT_EQ(dialog.ShowModal(), mrOk);
        EXPECT_EQ(driver.parent, active);
    }
    second.Hide();
    // After the dialog the owner takes input again; a visible form cannot go modal.
    EXPECT_TRUE(Vcl::RouteInput(&owner, WM_LBUTTONUP, 0, MAKELPARAM(1, 1)));
    EXPECT_EQ(Screen->ActiveForm(), &owner);
    EXPECT_THROW(owner.ShowModal(), EInvalidOperation);

    // Close inside the modal loop answers mrCancel; so does a terminating application.
    struct Canceller
    {
        TForm& dialog;
        bool terminate;
        void Tick(TObject*)
        {
            if (terminate)
                Application->Terminate();
            else
                dialog.Close();
        }
    };
    for (bool terminate : {false, true})
    {
        Canceller canceller{dialog, terminate};
        timer.OnTimer = MakeClosure(&canceller, &Canceller::Tick);
        EXPECT_EQ(dialog.ShowModal(), mrCancel);
    }
    Platform::SetEventPump(nullptr);
}

// Painting ranks between the queue's messages and its timers: a timer whose handler takes longer
// than its period is due again at every turn of the loop, and must not keep what was invalidated
// from ever being painted (a menu opened over a busy view), nor go ahead of posted messages.
TEST(FormsTest, ADirtyFormIsPaintedBeforeATimerThatTakesLongerThanItsPeriod)
{
    ManualClock clock;
    Presenter presenter;
    TForm form(nullptr);
    form.SetCaption(u"busy");
    form.SetBounds(0, 0, 120, 80);
    form.Show();
    std::vector<std::string>& log = presenter.calls;
    HWND receiver = Platform::RegisterWindowReceiver(
        [&](UINT message, WPARAM, LPARAM)
        {
            if (message == WM_USER)
            {
                log.push_back("posted");
                form.InvalidateRect(TRect(0, 0, 10, 10));
            }
            return LRESULT(0);
        });
    struct Busy
    {
        ManualClock& clock;
        TForm& form;
        HWND receiver;
        std::vector<std::string>& log;
        int ticks = 0;
        void Tick(TObject*)
        {
            log.push_back("tick");
            clock.Advance(100); // the handler outlasts the period
            if (++ticks == 2)
                form.InvalidateRect(TRect(0, 0, 20, 20));
            if (ticks == 3)
                PostMessageW(receiver, WM_USER, 0, 0);
        }
    } busy{clock, form, receiver, log};
    TTimer timer(nullptr);
    timer.SetInterval(75);
    timer.OnTimer = MakeClosure(&busy, &Busy::Tick);
    log.clear();
    clock.Advance(75);
    // Every turn handles one message: the shown form's first paint comes before the first tick,
    // an invalidation by a tick before the next tick, and a posted message before both.
    for (int turn = 0; turn < 5; ++turn)
        Application->HandleMessage();
    EXPECT_EQ(log, (std::vector<std::string>{"painted busy 120x80", "tick", "tick", "painted busy 20x20", "tick",
                                             "posted", "painted busy 10x10", "tick"}));
    // The same in a modal loop, as a menu runs over a view whose timer is busy: the dialog shows
    // painted before the second tick (unpainted, the loop ends after 20).
    TForm dialog(nullptr);
    dialog.SetCaption(u"modal");
    dialog.SetBounds(0, 0, 50, 40);
    struct TickUntilPainted
    {
        Busy& busy;
        TForm& dialog;
        void Tick(TObject* sender)
        {
            busy.Tick(sender);
            if (std::count(busy.log.begin(), busy.log.end(), "painted modal 50x40") == 1)
                dialog.SetModalResult(mrOk);
            else if (busy.ticks > 20)
                dialog.SetModalResult(mrCancel);
        }
    } untilPainted{busy, dialog};
    log.clear();
    busy.ticks = 0;
    timer.OnTimer = MakeClosure(&untilPainted, &TickUntilPainted::Tick);
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(busy.ticks, 1);
    Platform::UnregisterWindowReceiver(receiver);
}

TEST(FormsTest, ReleaseFreesTheFormAfterTheQueuedMessages)
{
    g_log.clear();
    TComponent owner(nullptr);
    auto* form = new MainForm(&owner);
    form->SetCaption(u"second");
    form->closeAction = caFree;
    form->Show();
    int handled = 0;
    HWND other = Platform::RegisterWindowReceiver(
        [&](UINT, WPARAM, LPARAM)
        {
            ++handled;
            return LRESULT(0);
        });
    form->Close(); // not the main form: caFree releases it
    EXPECT_EQ(owner.ComponentCount(), 1);
    PostMessageW(other, WM_USER, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(g_log, (std::vector<std::string>{"close", "destroy second"}));
    Platform::UnregisterWindowReceiver(other);
}

// A frame class as the editor panels are: its controls made in its constructor with their tab
// order, its own designed size and tab order.
class EditsFrame : public TFrame
{
public:
    explicit EditsFrame(TComponent* owner) : TFrame(owner)
    {
        SetBounds(0, 0, 230, 296);
        for (int i = 0; i < 3; ++i)
        {
            edits[i] = new TEdit(this);
            edits[i]->SetParent(this);
            edits[i]->SetBounds(8, 8 + 30 * i, 100, 21);
        }
        // Made top to bottom, tabbed bottom first.
        edits[2]->SetTabOrder(0);
        edits[1]->SetTabOrder(1);
        SetTabOrder(0);
    }
    TEdit* edits[3];
};

TEST(FormsTest, FramesTakeTheirDesignedTabOrderWhenPlaced)
{
    TFrame plain(nullptr);
    EXPECT_EQ(plain.Width(), 320);
    EXPECT_EQ(plain.Height(), 240);
    EXPECT_TRUE(plain.ControlStyle().Contains(csAcceptsControls));

    TForm form(nullptr);
    auto* first = new TEdit(&form);
    first->SetParent(&form);
    auto* frame = new EditsFrame(&form);
    EXPECT_EQ(frame->TabOrder(), -1);
    frame->SetParent(&form);
    EXPECT_EQ(frame->Width(), 230);
    EXPECT_EQ(frame->Height(), 296);
    // Placed after the edit, the frame still comes first for Tab, and its edits in their order.
    EXPECT_EQ(frame->TabOrder(), 0);
    EXPECT_EQ(first->TabOrder(), 1);
    std::vector<TWinControl*> order;
    form.GetTabOrderList(order);
    EXPECT_EQ(order, (std::vector<TWinControl*>{frame, frame->edits[2], frame->edits[1], frame->edits[0], first}));
    // The order is taken once: moved to another parent, the frame keeps the place it is given.
    TForm other(nullptr);
    auto* edit = new TEdit(&other);
    edit->SetParent(&other);
    frame->SetParent(&other);
    EXPECT_EQ(frame->TabOrder(), 1);
    // Owned like any component: the form frees the frame with its edits.
    EXPECT_EQ(form.ComponentCount(), 2);
}
} // namespace

namespace
{
// Records what the presenter is told about the pointer.
class PointerPresenter : public Vcl::IFormPresenter
{
public:
    PointerPresenter() { m_previous = Vcl::SetFormPresenter(this); }
    ~PointerPresenter() override { Vcl::SetFormPresenter(m_previous); }
    void FormShown(TCustomForm*) override {}
    void FormHidden(TCustomForm*) override {}
    void FormChanged(TCustomForm*) override {}
    void FormPainted(TCustomForm*, const TRect&) override {}
    void FormDestroyed(TCustomForm*) override {}
    void FormCursorChanged(TCustomForm*, TCursor cursor) override { cursors.push_back(cursor); }
    void DockFeedback(TCustomForm*, const TRect* rect, bool thick) override
    {
        frames.push_back(rect ? std::to_string(rect->left) + "," + std::to_string(rect->top) + " " +
                                    std::to_string(rect->Width()) + "x" + std::to_string(rect->Height()) +
                                    (thick ? " thick" : " thin")
                              : "hidden");
    }
    std::vector<TCursor> cursors;
    std::vector<std::string> frames;

private:
    Vcl::IFormPresenter* m_previous;
};
} // namespace

TEST(FormsTest, ThePointerShowsTheCursorOfWhatLiesUnderIt)
{
    PointerPresenter presenter;
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    form.Show();
    auto* panel = new TCustomControl(&form);
    panel->SetParent(&form);
    panel->SetBounds(10, 10, 200, 200);
    panel->SetCursor(crHandPoint);
    panel->SetWindowStyle(WS_VSCROLL);
    auto* label = new TLabel(&form);
    label->SetParent(panel);
    label->SetBounds(10, 10, 50, 20);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(250, 10, 100, 21);
    auto move = [&](int x, int y)
    {
        Vcl::RouteInput(&form, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        return form.CursorShown();
    };
    EXPECT_EQ(move(300, 200), crArrow); // the form's own: the arrow
    EXPECT_EQ(move(100, 100), crHandPoint);
    EXPECT_EQ(move(25, 25), crHandPoint);  // a graphic control without one shows its window's
    EXPECT_EQ(move(200, 100), crArrow);    // the window's scroll bar
    EXPECT_EQ(move(260, 15), crIBeam);     // an edit's own
    label->SetCursor(crCross);
    EXPECT_EQ(move(25, 25), crCross);
    // The screen's cursor wins everywhere, at once.
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(form.CursorShown(), crHourGlass);
    EXPECT_EQ(move(260, 15), crHourGlass);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(form.CursorShown(), crIBeam);
    EXPECT_EQ(presenter.cursors,
              (std::vector<TCursor>{crArrow, crHandPoint, crArrow, crIBeam, crCross, crHourGlass, crIBeam}));
    form.Hide();
}

TEST(FormsTest, ADockingDragShowsItsFrameUntilTheDrop)
{
    PointerPresenter presenter;
    TForm form(nullptr);
    form.SetBounds(0, 0, 500, 400);
    form.Show();
    auto* site = new TCustomControl(&form);
    site->SetParent(&form);
    site->SetBounds(300, 0, 200, 400);
    site->SetDockSite(true);
    auto* dragged = new TCustomControl(&form);
    dragged->SetParent(&form);
    dragged->SetBounds(10, 10, 100, 50);
    dragged->SetDragKind(dkDock);
    dragged->SetDragMode(dmAutomatic);
    TRect rect;
    bool thick = false;
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(22, 21));
    EXPECT_FALSE(Vcl::DockFeedbackShown(rect, thick)); // not past the threshold yet
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 220));
    ASSERT_TRUE(Vcl::DockFeedbackShown(rect, thick));
    EXPECT_EQ(rect, TRect(110, 210, 210, 260)); // the control's size, held where it was grabbed
    EXPECT_TRUE(thick);                         // nowhere to dock: it would float
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(350, 100));
    ASSERT_TRUE(Vcl::DockFeedbackShown(rect, thick));
    EXPECT_FALSE(thick);
    EXPECT_EQ(form.CursorShown(), crDrag);
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(350, 100));
    EXPECT_FALSE(Vcl::DockFeedbackShown(rect, thick));
    EXPECT_EQ(dragged->Parent(), site);
    EXPECT_EQ(form.CursorShown(), crArrow);
    EXPECT_EQ(presenter.frames, (std::vector<std::string>{"110,210 100x50 thick", "340,90 100x50 thin", "hidden"}));
    // Escape ends a drag where it started: nothing docks or floats, the site hears the pointer
    // leave, and the release that follows is an ordinary one.
    dragged->SetParent(&form);
    dragged->SetBounds(10, 10, 100, 50);
    std::vector<TDragState> states;
    struct Over
    {
        std::vector<TDragState>* states;
        void Dock(TObject*, TDragDockObject*, int, int, TDragState state, bool& accept)
        {
            states->push_back(state);
            accept = true;
        }
    } over{&states};
    site->OnDockOver = MakeClosure(&over, &Over::Dock);
    const int formsBefore = Screen->FormCount();
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(350, 100));
    ASSERT_TRUE(Vcl::DockFeedbackShown(rect, thick));
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_ESCAPE, 0);
    Vcl::RouteInput(&form, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_FALSE(Vcl::DockFeedbackShown(rect, thick));
    EXPECT_FALSE(Vcl::CaptureControl());
    EXPECT_FALSE(dragged->Dragging());
    EXPECT_EQ(form.CursorShown(), crArrow);
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 220));
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(120, 220));
    EXPECT_EQ(dragged->Parent(), &form);
    EXPECT_EQ(Screen->FormCount(), formsBefore);
    EXPECT_EQ(states, (std::vector<TDragState>{dsDragEnter, dsDragLeave}));
    site->OnDockOver = nullptr;
    // A control freed in the middle of its drag takes its frame with it.
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 220));
    ASSERT_TRUE(Vcl::DockFeedbackShown(rect, thick));
    delete dragged;
    EXPECT_FALSE(Vcl::DockFeedbackShown(rect, thick));
    EXPECT_FALSE(Vcl::CaptureControl());
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 230));
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(130, 230));
    form.Hide();
}

namespace
{
// Tells what it heard of the pointer into a shared log.
class TrackedControl : public TCustomControl
{
public:
    TrackedControl(TComponent* owner, std::vector<std::string>* log, const char* name)
        : TCustomControl(owner), m_log(log), m_name(name)
    {
    }

protected:
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == CM_MOUSEENTER)
            m_log->push_back(m_name + " enter");
        if (Message.Msg == CM_MOUSELEAVE)
            m_log->push_back(m_name + " leave");
        if (Message.Msg == WM_KEYDOWN || Message.Msg == WM_KEYUP)
            m_log->push_back(m_name + (Message.Msg == WM_KEYDOWN ? " down " : " up ") +
                             std::to_string(Message.WParam));
        if (Message.Msg == WM_CONTEXTMENU)
        {
            bool mine = Message.WParam == reinterpret_cast<WPARAM>(Handle());
            m_log->push_back(m_name + " menu " + (mine ? "" : "elsewhere ") +
                             std::to_string(GET_X_LPARAM(Message.LParam)) + "," +
                             std::to_string(GET_Y_LPARAM(Message.LParam)));
        }
        TCustomControl::WndProc(Message);
    }

private:
    std::vector<std::string>* m_log;
    std::string m_name;
};
} // namespace

TEST(FormsTest, ThePointerEntersAndLeavesOneControlAtATime)
{
    std::vector<std::string> log;
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* outer = new TrackedControl(&form, &log, "outer");
    outer->SetParent(&form);
    outer->SetBounds(10, 10, 150, 150);
    auto* inner = new TrackedControl(&form, &log, "inner");
    inner->SetParent(outer);
    inner->SetBounds(10, 10, 50, 50);
    auto* other = new TrackedControl(&form, &log, "other");
    other->SetParent(&form);
    other->SetBounds(200, 10, 80, 80);
    form.Show();
    auto move = [&](int x, int y, WPARAM keys = 0) { Vcl::RouteInput(&form, WM_MOUSEMOVE, keys, MAKELPARAM(x, y)); };

    move(100, 100);
    move(110, 110); // within: nothing more
    move(30, 30);   // into the inner control: the outer one is left
    move(220, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"outer enter", "outer leave", "inner enter", "inner leave", "other enter"}));
    // Pressed and held, the pointer stays with the control that holds the capture.
    log.clear();
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(220, 20));
    move(100, 100, MK_LBUTTON);
    EXPECT_TRUE(log.empty());
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
    move(101, 100);
    EXPECT_EQ(log, (std::vector<std::string>{"other leave", "outer enter"}));
    // Leaving the window leaves the control; a control freed under the pointer hears nothing more.
    log.clear();
    form.Perform(WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"outer leave"}));
    move(30, 30);
    delete inner;
    move(220, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"outer leave", "inner enter", "other enter"}));
    EXPECT_EQ(Application->MouseControl(), other);
    form.Hide();
}

TEST(FormsTest, ShiftF10AndTheMenuKeyAskTheFocusedControlForItsMenuInsteadOfTheKey)
{
    std::vector<std::string> log;
    TForm form(nullptr);
    auto* focused = new TrackedControl(&form, &log, "c");
    focused->SetParent(&form);
    form.Show();
    focused->SetFocus();
    const LPARAM repeat = LPARAM{1} << 30;
    const struct
    {
        UINT message;
        WPARAM key;
        LPARAM flags;
    } keys[] = {
        // Shift+F10: the menu, and neither the F10 press nor its release.
        {WM_KEYDOWN, VK_SHIFT, 1}, {WM_KEYDOWN, VK_F10, 1}, {WM_KEYUP, VK_F10, 1}, {WM_KEYUP, VK_SHIFT, 1},
        // The Menu key held: one menu.
        {WM_KEYDOWN, VK_APPS, 1}, {WM_KEYDOWN, VK_APPS, repeat}, {WM_KEYUP, VK_APPS, 1},
        // F10 alone and Ctrl+Shift+F10 are keys.
        {WM_KEYDOWN, VK_F10, 1}, {WM_KEYUP, VK_F10, 1},
        {WM_KEYDOWN, VK_CONTROL, 1}, {WM_KEYDOWN, VK_SHIFT, 1}, {WM_KEYDOWN, VK_F10, 1},
    };
    for (const auto& k : keys)
        Vcl::RouteInput(&form, k.message, k.key, k.flags);
    Platform::ResetKeyStates();
    EXPECT_EQ(log, (std::vector<std::string>{"c down 16", "c menu -1,-1", "c up 16", "c menu -1,-1", "c down 121",
                                             "c up 121", "c down 17", "c down 16", "c down 121"}));
    // Hidden, the form takes the focus from the control, which leaves.
    static bool left;
    left = false;
    focused->OnExit = +[](TObject*) { left = true; };
    form.Hide();
    EXPECT_TRUE(left);
}

namespace
{
// A button that tells a shared log what it hears of the mouse and runs `press` when a button goes
// down on it (from OnMouseDown, before the button draws itself pushed).
class PressLoggingButton : public TButton
{
public:
    PressLoggingButton(TComponent* owner, std::vector<std::string>* log, const char* name)
        : TButton(owner), m_log(log), m_name(name)
    {
        OnMouseDown = MakeClosure(this, &PressLoggingButton::Down);
        OnClick = MakeClosure(this, &PressLoggingButton::Clicked);
    }
    std::function<void(TMouseButton)> press;

protected:
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_CANCELMODE)
            m_log->push_back(m_name + " cancelled");
        if (Message.Msg == WM_LBUTTONUP || Message.Msg == WM_RBUTTONUP)
            m_log->push_back(m_name + (Message.Msg == WM_LBUTTONUP ? " up " : " right up ") +
                             std::to_string(GET_X_LPARAM(Message.LParam)) + "," +
                             std::to_string(GET_Y_LPARAM(Message.LParam)));
        TButton::WndProc(Message);
    }

private:
    void Down(TObject*, TMouseButton button, TShiftState, int, int)
    {
        if (press)
            press(button);
    }
    void Clicked(TObject*) { m_log->push_back(m_name + " click"); }

    std::vector<std::string>* m_log;
    std::string m_name;
};
} // namespace

TEST(FormsTest, AModalLoopTakesTheMouseFromThePressHeldWhenItStarts)
{
    ManualClock clock;
    Platform::SetEventPump([&](DWORD) { clock.Advance(5); });
    std::vector<std::string> log;
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* opener = new PressLoggingButton(&form, &log, "opener");
    opener->SetParent(&form);
    opener->SetBounds(10, 10, 100, 40);
    auto* other = new PressLoggingButton(&form, &log, "other");
    other->SetParent(&form);
    other->SetBounds(150, 10, 100, 40);
    form.Show();

    TForm dialog(nullptr);
    dialog.SetBounds(0, 0, 200, 100);
    auto* cancel = new TButton(&dialog);
    cancel->SetParent(&dialog);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    TPopupMenu menu(nullptr);
    auto* item = new TMenuItem(&menu);
    item->SetCaption(u"Item");
    menu.Items()->Add(item);

    // Inside the loop: the press's release comes (to the form under the modal one, which takes no
    // input), then the key that closes the modal form.
    WORD closingKey = 0;
    UINT release = WM_LBUTTONUP;
    struct Closer
    {
        std::vector<std::string>& log;
        TForm& form;
        WORD& key;
        UINT& release;
        void Tick(TObject*)
        {
            TCustomForm* modal = nullptr;
            for (int i = 0; i < Screen->FormCount(); ++i)
                if (Screen->Forms(i)->Modal())
                    modal = Screen->Forms(i);
            if (!modal || modal->ModalResult() != mrNone)
                return;
            log.push_back("loop");
            EXPECT_FALSE(Vcl::RouteInput(&form, release, 0, MAKELPARAM(30, 25)));
            Vcl::RouteInput(modal, WM_KEYDOWN, key, 0);
            Vcl::RouteInput(modal, WM_KEYUP, key, 0);
            if (modal->ModalResult() == mrNone)
            {
                ADD_FAILURE() << "the key left the modal form open";
                modal->SetModalResult(mrAbort);
            }
        }
    } closer{log, form, closingKey, release};
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.OnTimer = MakeClosure(&closer, &Closer::Tick);

    struct Case
    {
        const char* name;
        bool right;                   // the right button opens it, else the left
        bool byThePress;              // the press's handler opens it; else it opens while the button is held
        std::function<void()> open;   // the modal loop
        WORD key;                     // what closes it
        std::vector<std::string> said; // what the opener hears up to the next click
    };
    const Case cases[] = {
        // The releases wait until the press's handler is done, at the last point the button saw.
        {"form by Escape", false, true, [&] { dialog.ShowModal(); }, VK_ESCAPE,
         {"opener cancelled", "loop", "opener up 20,15"}},
        {"message box by Enter", false, true, [] { Vcl::MessageBoxForm(u"Text", u"Box", MB_OK); }, VK_RETURN,
         {"opener cancelled", "loop", "opener up 20,15"}},
        {"message box by Space", false, true, [] { Vcl::MessageBoxForm(u"Text", u"Box", MB_OKCANCEL); }, VK_SPACE,
         {"opener cancelled", "loop", "opener up 20,15"}},
        {"menu by Escape", true, true, [&] { menu.Popup(40, 40); }, VK_ESCAPE,
         {"opener cancelled", "loop", "opener right up 20,15"}},
        // Opened by something else while the button is held: the press ends before the loop.
        {"form while held", false, false, [&] { dialog.ShowModal(); }, VK_ESCAPE,
         {"opener cancelled", "opener up 20,15", "loop"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        log.clear();
        closingKey = c.key;
        release = c.right ? WM_RBUTTONUP : WM_LBUTTONUP;
        opener->press = [&](TMouseButton) { if (c.byThePress) c.open(); };
        Vcl::RouteInput(&form, c.right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, c.right ? MK_RBUTTON : MK_LBUTTON,
                        MAKELPARAM(30, 25));
        if (!c.byThePress)
            c.open();
        // Nothing holds the mouse: the next click goes to what is under the pointer, and the
        // opener is not left drawn pushed.
        EXPECT_EQ(Vcl::CaptureControl(), nullptr);
        EXPECT_FALSE(opener->Pressed());
        Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(170, 25));
        EXPECT_TRUE(other->Pressed());
        Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(170, 25));
        std::vector<std::string> said = c.said;
        said.insert(said.end(), {"other up 20,15", "other click"});
        EXPECT_EQ(log, said);
        EXPECT_FALSE(other->Pressed());
    }

    // A right press on the opener while it takes no capture, released over the other button, is
    // over: the dialog that the opener's next left press opens ends that press alone.
    opener->SetControlStyle(opener->ControlStyle() >> csCaptureMouse);
    Vcl::RouteInput(&form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 25));
    Vcl::RouteInput(&form, WM_RBUTTONUP, 0, MAKELPARAM(170, 25));
    opener->SetControlStyle(opener->ControlStyle() << csCaptureMouse);
    log.clear();
    closingKey = VK_ESCAPE;
    release = WM_LBUTTONUP;
    opener->press = [&](TMouseButton) { dialog.ShowModal(); };
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 25));
    EXPECT_EQ(log, (std::vector<std::string>{"opener cancelled", "loop", "opener up 20,15"}));
    opener->press = nullptr;

    // A drag under way when a loop opens ends where the pointer last was: moves after the loop
    // drag nothing.
    auto* bar = new TTrackBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(10, 100, 200, 30);
    bar->SetMax(100);
    const TRect thumb = bar->ThumbRect();
    const int y = 100 + thumb.top + thumb.Height() / 2;
    Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10 + thumb.left + thumb.Width() / 2, y));
    Vcl::RouteInput(&form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, y));
    const int dragged = bar->Position();
    EXPECT_GT(dragged, 0);
    closingKey = VK_ESCAPE;
    release = WM_LBUTTONUP;
    dialog.ShowModal();
    Vcl::RouteInput(&form, WM_MOUSEMOVE, 0, MAKELPARAM(200, y));
    EXPECT_EQ(bar->Position(), dragged);
    Platform::SetEventPump(nullptr);
    form.Hide();
}

TEST(FormsTest, AFrameScrollsChildrenThatReachPastIt)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 400);
    form.Show();
    auto* frame = new TFrame(&form);
    frame->SetParent(&form);
    frame->SetBounds(0, 0, 200, 100);
    auto* header = new TPanel(&form); // aligned at the top, as the editors' sections are
    header->SetParent(frame);
    header->SetAlign(alTop);
    header->SetHeight(30);
    TEdit* edits[2];
    for (int i = 0; i < 2; ++i)
    {
        edits[i] = new TEdit(&form);
        edits[i]->SetParent(frame);
        edits[i]->SetBounds(8, i == 0 ? 40 : 250, 100, 21);
        edits[i]->SetTabStop(true);
    }
    auto vertical = [&] { return (frame->WindowStyle() & WS_VSCROLL) != 0; };
    auto scrolled = [&] { return 40 - edits[0]->Top(); };
    // The range reaches the lowest child's bottom; the page is what the frame shows of it.
    ASSERT_TRUE(vertical());
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    frame->GetScrollInfo(SB_VERT, info);
    EXPECT_EQ(info.nMax, 270);
    EXPECT_EQ(info.nPage, 100u);
    EXPECT_EQ(header->Width(), frame->ClientWidth());
    EXPECT_EQ(frame->ClientWidth(), 200 - GetSystemMetrics(SM_CXVSCROLL));

    // A wheel notch over a child that does not take the wheel scrolls by three lines; every
    // child moves with it, the aligned one too.
    Vcl::RouteInput(&form, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(150, 10));
    EXPECT_EQ(scrolled(), 24);
    EXPECT_EQ(header->Top(), -24);
    EXPECT_EQ(edits[1]->Top(), 250 - 24);
    // The bar's arrow scrolls a line, as the wheel back up does three.
    frame->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(scrolled(), 32);
    Vcl::RouteInput(&form, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(150, 10));
    EXPECT_EQ(scrolled(), 8);

    // Tab to the hidden edit brings its whole height into view, and back to the first one shows it.
    edits[0]->SetFocus();
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(edits[1]->Focused());
    EXPECT_EQ(edits[1]->BoundsRect().bottom, frame->ClientHeight());
    EXPECT_EQ(scrolled(), 171);
    frame->GetScrollInfo(SB_VERT, info);
    EXPECT_EQ(info.nPos, 171);
    Vcl::RouteInput(&form, WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(edits[0]->Focused());
    EXPECT_EQ(edits[0]->Top(), 0);
    // The second edit placed in the view's terms, then given the focus from the first (which
    // shows at the top, so that taking it back moves nothing).
    auto focusSecondAt = [&](int top, int height)
    {
        edits[0]->SetFocus();
        edits[1]->SetBounds(8, top, 100, height);
        edits[1]->SetFocus();
    };
    // A control taller than the view whose top shows keeps its place when it takes the focus.
    focusSecondAt(50, 150);
    EXPECT_EQ(scrolled(), 40);
    // One wholly below the view comes in at its top.
    focusSecondAt(150, 150);
    EXPECT_EQ(edits[1]->Top(), 0);
    EXPECT_EQ(scrolled(), 190);
    // A control no higher than the view that is not wholly in it comes wholly in by the least
    // scroll: a sliver of a box is no place to type into. A higher one any of which shows leaves
    // the frame where it stands (the focus coming back from a dialog to a tall page); wholly out
    // of view, it comes in at its top. Sections stacked without a gap put the next control's top
    // exactly at the view's bottom, or the one before's bottom exactly at its top.
    edits[0]->SetFocus();
    EXPECT_EQ(edits[0]->Top(), 0);
    EXPECT_EQ(scrolled(), 40);
    auto* floor = new TPanel(&form); // keeps the range while the edit moves about
    floor->SetParent(frame);
    floor->SetBounds(0, 500 - scrolled(), 10, 10);
    struct Case
    {
        int top, height; // in the view's terms, the frame scrolled to 200
        int position;    // where the frame stands once the control has the focus
    };
    for (const Case& c :
         {// no higher than the view
          Case{90, 21, 211}, Case{99, 21, 220}, Case{100, 21, 221}, Case{140, 21, 261}, Case{-20, 21, 180},
          Case{-21, 21, 179}, Case{-60, 21, 140}, Case{-30, 50, 170}, Case{0, 21, 200}, Case{79, 21, 200},
          Case{0, 100, 200}, Case{-1, 100, 199}, Case{1, 100, 201},
          // higher
          Case{50, 150, 200}, Case{99, 150, 200}, Case{-149, 150, 200}, Case{-20, 150, 200},
          Case{100, 150, 300}, Case{140, 150, 340}, Case{-150, 150, 50}, Case{-190, 150, 10}})
    {
        SCOPED_TRACE(std::to_string(c.top) + " " + std::to_string(c.height));
        edits[0]->SetFocus();
        frame->SetVertPosition(200);
        edits[1]->SetBounds(8, c.top, 100, c.height);
        edits[1]->SetFocus();
        EXPECT_EQ(frame->VertPosition(), c.position);
        if (c.height <= frame->ClientHeight())
        {
            EXPECT_GE(edits[1]->Top(), 0);
            EXPECT_LE(edits[1]->BoundsRect().bottom, frame->ClientHeight());
        }
    }
    // The focus the window gives back when it is activated again leaves the frame where the user
    // left it, with the control half out of view.
    edits[1]->SetBounds(8, 50, 100, 21);
    edits[1]->SetFocus();
    frame->SetVertPosition(frame->VertPosition() + 60);
    const int left = frame->VertPosition();
    const WPARAM inactive = 0, active = 1; // as the presenter tells them
    form.Perform(WM_ACTIVATE, inactive, 0);
    ASSERT_FALSE(edits[1]->Focused());
    form.Perform(WM_ACTIVATE, active, 0);
    EXPECT_TRUE(edits[1]->Focused());
    EXPECT_EQ(frame->VertPosition(), left);
    // A page control higher than the view shows its focus on its row of tabs: that row comes in
    // by the least scroll, from above or below.
    auto* pages = new TPageControl(&form);
    pages->SetParent(frame);
    auto* sheet = new TTabSheet(&form);
    sheet->SetPageControl(pages);
    sheet->SetCaption(u"Page");
    for (int offset : {-pages->TabHeight() - 3, frame->ClientHeight() + 3})
    {
        SCOPED_TRACE(offset);
        edits[0]->SetFocus();
        frame->SetVertPosition(200);
        pages->SetBounds(8, offset, 150, 150);
        pages->SetFocus();
        const int least = offset < 0 ? offset : offset + pages->TabHeight() - frame->ClientHeight();
        EXPECT_EQ(frame->VertPosition(), 200 + least);
    }
    delete pages;
    frame->SetVertPosition(40);
    edits[0]->SetFocus();
    ASSERT_EQ(scrolled(), 40);
    delete floor;
    edits[1]->SetBounds(8, 250 - 40, 100, 21);

    // A section that grows reaches further; made tall enough, the frame holds everything, the bar
    // goes and the children stand where they were placed.
    header->SetHeight(300);
    frame->GetScrollInfo(SB_VERT, info);
    EXPECT_EQ(info.nMax, 299);
    header->SetHeight(30);
    frame->SetHeight(300);
    EXPECT_FALSE(vertical());
    EXPECT_EQ(scrolled(), 0);
    EXPECT_EQ(header->Top(), 0);
    EXPECT_EQ(edits[1]->Top(), 250);
    EXPECT_EQ(header->Width(), 200);
    // Children that end exactly at the frame's bottom fit: no bar, the whole width.
    frame->SetHeight(edits[1]->BoundsRect().bottom);
    EXPECT_FALSE(vertical());
    EXPECT_EQ(frame->ClientWidth(), 200);
    EXPECT_EQ(header->Width(), 200);
    frame->SetHeight(edits[1]->BoundsRect().bottom - 1);
    EXPECT_TRUE(vertical());
    EXPECT_EQ(header->Width(), frame->ClientWidth());
}
