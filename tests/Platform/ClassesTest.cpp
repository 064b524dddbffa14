#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace
{
// Records its notifications and its own end in a shared log. A component deleted directly is
// announced from its base part, after its own destructor ran: only its address is used.
std::map<const TComponent*, std::string> g_labels;

class Probe : public TComponent
{
public:
    Probe(TComponent* owner, std::vector<std::string>& log, std::string label)
        : TComponent(owner), m_log(log), m_label(std::move(label))
    {
        g_labels[this] = m_label;
    }
    ~Probe() override { m_log.push_back("~" + m_label); }

    TComponent* DropOnRemove = nullptr; // freed by this probe's handler when it hears of a removal
    TComponent* Watched = nullptr;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation != opRemove)
            return;
        m_log.push_back(m_label + " heard " + g_labels[AComponent]);
        if (AComponent == Watched)
            Watched = nullptr;
        if (DropOnRemove)
        {
            TComponent* drop = DropOnRemove;
            DropOnRemove = nullptr;
            delete drop;
        }
    }

private:
    std::vector<std::string>& m_log;
    std::string m_label;
};

TEST(ClassesTest, OwnersFreeWhatTheyOwnAndWatchersHearOfTheEnd)
{
    std::vector<std::string> log;
    auto* owner = new Probe(nullptr, log, "owner");
    auto* a = new Probe(owner, log, "a");
    auto* b = new Probe(owner, log, "b");
    auto* c = new Probe(owner, log, "c");
    ASSERT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(owner->Components(0), a);
    EXPECT_EQ(owner->Components(1), b);
    EXPECT_EQ(b->Owner(), owner);
    EXPECT_EQ(c->ComponentIndex(), 2);

    // A component freed first leaves its owner's list; the owner's family hears of it.
    log.clear();
    delete b;
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->Components(1), c);
    EXPECT_EQ(log, (std::vector<std::string>{"~b", "a heard b", "c heard b", "owner heard b"}));

    // Free notification between components of different owners, both ways, once each.
    auto* watcher = new Probe(nullptr, log, "watcher");
    watcher->Watched = c;
    c->FreeNotification(watcher);
    c->FreeNotification(watcher);
    auto* lone = new Probe(nullptr, log, "lone");
    lone->FreeNotification(watcher);
    lone->RemoveFreeNotification(watcher);

    // The owner frees the rest, last first, each told to its watchers while it still stands; the
    // watcher hears of c exactly once.
    log.clear();
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"~owner", "watcher heard c", "~c", "~a"}));
    EXPECT_EQ(watcher->Watched, nullptr);

    // After RemoveFreeNotification nothing is said.
    log.clear();
    delete lone;
    EXPECT_EQ(log, (std::vector<std::string>{"~lone"}));

    // A handler that frees another watched component while it is told: both ends are heard once,
    // and nothing freed is read (ASan).
    auto* x = new Probe(nullptr, log, "x");
    auto* y = new Probe(nullptr, log, "y");
    watcher->DropOnRemove = y;
    x->FreeNotification(watcher);
    y->FreeNotification(watcher);
    log.clear();
    delete x;
    EXPECT_EQ(log, (std::vector<std::string>{"~x", "watcher heard x", "~y", "watcher heard y"}));
    log.clear();
    delete watcher;
    EXPECT_EQ(log, (std::vector<std::string>{"~watcher"}));
}

TEST(ClassesTest, NamesAreIdentifiersUniqueUnderTheirOwner)
{
    TComponent owner(nullptr);
    auto* first = new TComponent(&owner);
    auto* second = new TComponent(&owner);
    first->SetName(u"PatchBtn");
    EXPECT_EQ(owner.FindComponent(u"patchbtn"), first);
    EXPECT_EQ(owner.FindComponent(u"Other"), nullptr);
    second->SetName(u"_Exit2");

    struct Case
    {
        const char16_t* name;
        bool taken;
    };
    for (Case test : {Case{u"PATCHBTN", false}, Case{u"2nd", false}, Case{u"Exit Btn", false},
                      Case{u"Прог", false}, Case{u"", true}, Case{u"RestoreBtn", true}})
    {
        SCOPED_TRACE(UnicodeString(test.name).ToUtf8());
        if (test.taken)
            EXPECT_NO_THROW(second->SetName(test.name));
        else
            EXPECT_THROW(second->SetName(test.name), EComponentError);
    }
    EXPECT_EQ(second->Name(), u"RestoreBtn");
    // Renaming to its own name in another case is fine.
    EXPECT_NO_THROW(first->SetName(u"PATCHBTN"));
    EXPECT_EQ(first->ClassName(), u"TComponent");
    // Nothing assigns itself to another class unless it says how.
    try
    {
        first->Assign(&owner);
        ADD_FAILURE();
    }
    catch (const EConvertError& e)
    {
        EXPECT_EQ(e.Message(), u"Cannot assign a TComponent to a TComponent");
    }
    EXPECT_THROW(first->Assign(nullptr), EConvertError);
    // An unnamed component joins anywhere; a clash on insertion is refused.
    TComponent other(nullptr);
    auto* clash = new TComponent(&other);
    clash->SetName(u"patchbtn");
    EXPECT_THROW(owner.InsertComponent(clash), EComponentError);
    EXPECT_EQ(clash->Owner(), nullptr);
    delete clash;
}

struct Counter
{
    int calls = 0;
    TObject* last = nullptr;
    void Hit(TObject* sender)
    {
        ++calls;
        last = sender;
    }
    int Twice(int v) const { return 2 * v + calls; }
};

TEST(ClassesTest, ClosuresBindAnObjectAndAMethod)
{
    Counter counter;
    TObject sender;
    TNotifyEvent event = MakeClosure(&counter, &Counter::Hit);
    EXPECT_TRUE(Assigned(event));
    TNotifyEvent copy = event;
    copy(&sender);
    event(nullptr);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_EQ(counter.last, nullptr);
    EXPECT_TRUE(copy == event);
    EXPECT_EQ(event.Data(), &counter);

    Counter other;
    EXPECT_FALSE(MakeClosure(&other, &Counter::Hit) == event);
    auto twice = MakeClosure(static_cast<const Counter*>(&counter), &Counter::Twice);
    EXPECT_EQ(twice(5), 12);

    TClosure<int(int)> plain = +[](int v) { return v + 1; };
    EXPECT_EQ(plain(1), 2);
    TNotifyEvent empty;
    EXPECT_FALSE(Assigned(empty));
    empty(&sender); // does nothing
    EXPECT_EQ(TClosure<int(int)>()(3), 0);
    EXPECT_LE(sizeof(TNotifyEvent), 4 * sizeof(void*));
}

class TimerHost
{
public:
    explicit TimerHost(TTimer& timer) : m_timer(timer) {}
    int calls = 0;
    int depth = 0;
    int maxDepth = 0;
    bool pump = false;
    bool freeIt = false;
    ManualClock* clock = nullptr; // moved on by a period before a pump, so the timer is due again
    void OnTimer(TObject* sender)
    {
        ++calls;
        maxDepth = std::max(maxDepth, ++depth);
        EXPECT_EQ(sender, &m_timer);
        if (pump)
        {
            if (clock)
                clock->Advance(m_timer.Interval());
            Application->ProcessMessages();
        }
        --depth;
        if (freeIt)
            delete &m_timer;
    }

private:
    TTimer& m_timer;
};

TEST(ClassesTest, TimersFireFromTheLoopAndCoalesce)
{
    ManualClock clock;
    Application->ProcessMessages();
    TComponent owner(nullptr);
    auto* timer = new TTimer(&owner);
    TimerHost host(*timer);
    timer->SetInterval(50);
    timer->OnTimer = MakeClosure(&host, &TimerHost::OnTimer);

    struct Step
    {
        DWORD advance;
        int calls; // total after pumping
    };
    // Two periods one by one give two calls; a jump of four periods gives one; nothing early.
    for (Step step :
         {Step{49, 0}, Step{1, 1}, Step{50, 2}, Step{200, 3}, Step{0, 3}, Step{49, 3}, Step{1, 4}})
    {
        clock.Advance(step.advance);
        Application->ProcessMessages();
        EXPECT_EQ(host.calls, step.calls) << "after " << clock.Now();
    }

    // Disabled: never fires; enabled again: a full period from then.
    timer->SetEnabled(false);
    clock.Advance(500);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 4);
    timer->SetEnabled(true);
    clock.Advance(30);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 4);
    clock.Advance(20);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 5);

    // A handler that pumps the loop while its timer is due again is not re-entered.
    host.pump = true;
    host.clock = &clock;
    clock.Advance(1000);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 6);
    EXPECT_EQ(host.maxDepth, 1);
    host.pump = false;
    host.clock = nullptr;

    // Interval 0 stops it; a handler may free its own timer.
    timer->SetInterval(0);
    clock.Advance(1000);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 6);
    timer->SetInterval(10);
    host.freeIt = true;
    clock.Advance(10);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 7);
    EXPECT_EQ(owner.ComponentCount(), 0);
    clock.Advance(10);
    Application->ProcessMessages();
    EXPECT_EQ(host.calls, 7);
}

TEST(ClassesTest, TheLoopShowsEscapingExceptionsAndGoesOn)
{
    BoxRecorder recorder;
    int after = 0;
    HWND window = Platform::RegisterWindowReceiver(
        [&](UINT message, WPARAM, LPARAM) -> LRESULT
        {
            if (message == WM_USER + 1)
                throw Exception(u"Broken handler");
            ++after;
            return 0;
        });
    PostMessageW(window, WM_USER + 1, 0, 0);
    PostMessageW(window, WM_USER + 2, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(after, 1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, u"Broken handler");
    EXPECT_EQ(recorder.boxes[0].type, MB_OK | MB_ICONERROR);
    Platform::UnregisterWindowReceiver(window);
}
} // namespace
