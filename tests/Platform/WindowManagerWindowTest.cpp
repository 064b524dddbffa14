// Our windows under a real window manager: what each tells the manager (class, process, owner,
// type, modal state, size limits), a modal box that stays above its owner and keeps the
// keyboard when the user raises and clicks the owner, and popups the manager leaves alone.
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"

#include "tests/support/ImageFiles.h"
#include "tests/support/ModalBoxDriver.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/WholeFile.h"
#include "tests/support/WindowManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <unistd.h>

namespace
{
bool Has(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// A form that records what it is told of its activation: 'A' active, 'I' inactive (a zero word).
class ActivationLog : public TForm
{
public:
    using TForm::TForm;
    std::string log;

    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == WM_ACTIVATE)
            log += LOWORD(Message.WParam) == 0 ? 'I' : 'A';
        TForm::Dispatch(Message);
    }
};

class WindowManagerWindowTest : public PresenterWindowTest
{
public:
    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        wm = std::make_unique<WindowManager>(server.Name());
        ASSERT_TRUE(wm->Running()) << wm->Error();
    }
    void TearDown() override
    {
        PresenterWindowTest::TearDown();
        wm.reset();
    }

    // With KELVANE_SHOTS naming a folder, the screen as it is now goes there as NAME.png.
    void Shot(const std::string& name)
    {
        const char* folder = std::getenv("KELVANE_SHOTS");
        if (!folder)
            return;
        Settle(); // what the moves exposed painted again, ours and the manager's
        int width = 0, height = 0;
        const std::vector<uint32_t> pixels = wm->Screenshot(width, height);
        WriteWholeFile(std::filesystem::path(folder) / (name + ".png"),
                       ImageFiles::Png(pixels, static_cast<uint32_t>(width), static_cast<uint32_t>(height), false));
    }

    // What every top-level window of ours tells the manager.
    void ExpectOurs(const WindowManager::Facts& facts)
    {
        EXPECT_EQ(facts.instance, "test_platform");
        EXPECT_EQ(facts.cls, "Test_platform");
        EXPECT_EQ(facts.pid, static_cast<long>(getpid()));
    }

    std::unique_ptr<WindowManager> wm;
};

TEST_F(WindowManagerWindowTest, LimitsChangedWhileShownReachTheManagerAndHold)
{
    TForm form(nullptr);
    form.SetCaption(u"Limits");
    form.SetBounds(100, 100, 480, 320);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));
    EXPECT_EQ(wm->Read(window).minWidth, 0);
    // Within the size the form has: nothing moves, yet the manager hears of them.
    form.Constraints()->SetMinWidth(420);
    form.Constraints()->SetMinHeight(300);
    EXPECT_EQ(form.ClientWidth(), 480);
    EXPECT_TRUE(PumpUntil([&] { return wm->Read(window).minWidth == 420 && wm->Read(window).minHeight == 300; }))
        << wm->Read(window).minWidth << " x " << wm->Read(window).minHeight;
    // Another client asks for less (as `xdotool windowsize` does): the window keeps its limits,
    // whether the manager applies them or the window asks back.
    probe->ResizeWindow(window, 200, 150);
    int w = 0, h = 0;
    EXPECT_TRUE(PumpUntil([&] { return probe->WindowSize(window, w, h) && w == 420 && h == 300; }))
        << w << " x " << h;
    Settle();
    EXPECT_EQ(form.ClientWidth(), 420);
    EXPECT_EQ(form.ClientHeight(), 300);
}

TEST_F(WindowManagerWindowTest, AModalBoxStaysAboveItsOwnerAndKeepsTheKeyboard)
{
    TForm main(nullptr);
    main.SetCaption(u"Owner");
    main.SetBounds(200, 150, 480, 320);
    main.Constraints()->SetMinWidth(300);
    main.Constraints()->SetMinHeight(200);
    main.Constraints()->SetMaxWidth(900);
    unsigned long mainWindow = 0;
    ASSERT_TRUE(ShowForm(main, mainWindow));
    const WindowManager::Facts mainFacts = wm->Read(mainWindow);
    ExpectOurs(mainFacts);
    EXPECT_EQ(mainFacts.transientFor, 0u);
    EXPECT_EQ(mainFacts.types, std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
    EXPECT_TRUE(mainFacts.states.empty());
    EXPECT_EQ(mainFacts.minWidth, 300);
    EXPECT_EQ(mainFacts.minHeight, 200);
    EXPECT_EQ(mainFacts.maxWidth, 900);
    EXPECT_GE(mainFacts.maxHeight, 10000); // no limit given
    Shot("wm-owner");

    struct Case
    {
        const char* name;
        std::function<void(ModalBoxDriver<TMessageForm>&, ModalBoxDriver<TOpenDialogForm>&, TTimer&)> open;
    };
    // Each box: the user clicks the owner's title bar, which raises and activates the owner: the
    // box comes back above it with the keyboard. The manager raises the owner by itself, over
    // the box; a click into the owner brings the box back above it with the keyboard.
    auto drive = [&](const std::string& name, TCustomForm* box, unsigned long window)
    {
        const WindowManager::Facts facts = wm->Read(window);
        ExpectOurs(facts);
        EXPECT_EQ(facts.transientFor, mainWindow);
        EXPECT_EQ(facts.types, std::vector<std::string>{"_NET_WM_WINDOW_TYPE_DIALOG"});
        EXPECT_TRUE(Has(facts.states, "_NET_WM_STATE_MODAL"));
        EXPECT_TRUE(wm->StandsAbove(window, mainWindow));
        Shot("wm-" + name);
        wm->ClickTitle(mainWindow);
        EXPECT_TRUE(PumpUntil([&] { return wm->StandsAbove(window, mainWindow) && wm->Focused(window); }))
            << "the box is back above its owner after the title click, with the keyboard";
        Settle();
        wm->RaiseFrame(mainWindow);
        Settle();
        EXPECT_TRUE(wm->StandsAbove(mainWindow, window));
        Shot("wm-" + name + "-covered");
        wm->Click(mainWindow, 40, 200);
        EXPECT_TRUE(PumpUntil([&] { return wm->StandsAbove(window, mainWindow) && wm->Focused(window); }))
            << "the box is back above its owner, with the keyboard";
        Shot("wm-" + name + "-after-click");
        box->SetModalResult(mrCancel);
    };
    for (const char* name : {"message-box", "open-dialog"})
    {
        SCOPED_TRACE(name);
        TTimer timer(nullptr);
        timer.SetInterval(20);
        auto ready = [&](TCustomForm*, unsigned long window) { return probe->Viewable(window) && wm->Focused(window); };
        if (std::string(name) == "message-box")
        {
            ModalBoxDriver<TMessageForm> driver;
            driver.ready = ready;
            driver.act = [&](TMessageForm* box, unsigned long window) { drive(name, box, window); };
            driver.timer = &timer;
            timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TMessageForm>::Tick);
            MessageBoxW(main.Handle(), u"Install the patch now?", u"Kelvane", MB_YESNO | MB_ICONQUESTION);
            EXPECT_TRUE(driver.acted);
        }
        else
        {
            ModalBoxDriver<TOpenDialogForm> driver;
            driver.ready = ready;
            driver.act = [&](TOpenDialogForm* box, unsigned long window) { drive(name, box, window); };
            driver.timer = &timer;
            timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TOpenDialogForm>::Tick);
            TOpenDialog dialog(nullptr);
            dialog.InitialDir = u"/";
            EXPECT_FALSE(dialog.Execute());
            EXPECT_TRUE(driver.acted);
        }
        timer.SetEnabled(false);
    }
    // The owner has the keyboard back.
    EXPECT_TRUE(PumpUntil([&] { return wm->Focused(mainWindow); }));
}

TEST_F(WindowManagerWindowTest, PopupsAreTypedByWhatTheyAre)
{
    TForm main(nullptr);
    main.SetCaption(u"Popups");
    main.SetBounds(200, 150, 300, 200);
    auto* combo = new TComboBox(&main);
    combo->SetParent(&main);
    combo->SetBounds(10, 10, 150, 24);
    combo->AddItem(u"one");
    combo->AddItem(u"two");
    unsigned long mainWindow = 0;
    ASSERT_TRUE(ShowForm(main, mainWindow));

    combo->SetDroppedDown(true);
    Settle();
    unsigned long list = 0;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (dynamic_cast<TComboListForm*>(Screen->Forms(i)))
            list = Vcl::NativeWindowOf(Screen->Forms(i));
    ASSERT_NE(list, 0u);
    WindowManager::Facts facts = wm->Read(list);
    ExpectOurs(facts);
    EXPECT_EQ(facts.types, std::vector<std::string>{"_NET_WM_WINDOW_TYPE_COMBO"});
    EXPECT_EQ(facts.transientFor, mainWindow);
    EXPECT_TRUE(facts.overrideRedirect);
    EXPECT_FALSE(facts.framed);
    combo->SetDroppedDown(false);

    // A hint shown under the pointer leaves the pointer and the keyboard to the form beneath: the
    // manager, whose focus follows the pointer, would otherwise take the focus away.
    struct Moves
    {
        TPoint last;
        void Move(TObject*, TShiftState, int X, int Y) { last = TPoint(X, Y); }
    } moves;
    main.OnMouseMove = MakeClosure(&moves, &Moves::Move);
    probe->MoveToRoot(290, 205);
    ASSERT_TRUE(PumpUntil([&] { return wm->Focused(mainWindow); }));
    probe->Watch(mainWindow);
    THintWindow hint(nullptr);
    hint.ActivateHint(TRect(260, 200, 360, 220), u"A hint");
    Settle();
    probe->MoveToRoot(300, 212);
    int x = 0, y = 0;
    probe->RootPosition(mainWindow, 0, 0, x, y);
    EXPECT_TRUE(PumpUntil([&] { return moves.last == TPoint(300 - x, 212 - y); }));
    EXPECT_EQ(probe->Seen(), std::vector<std::string>{});
    EXPECT_TRUE(wm->Focused(mainWindow));
    EXPECT_TRUE(hint.Visible());
    facts = wm->Read(Vcl::NativeWindowOf(&hint));
    ExpectOurs(facts);
    EXPECT_EQ(facts.types, std::vector<std::string>{"_NET_WM_WINDOW_TYPE_TOOLTIP"});
    EXPECT_TRUE(Has(facts.states, "_NET_WM_STATE_ABOVE"));
    EXPECT_FALSE(Has(facts.states, "_NET_WM_STATE_MODAL"));
    EXPECT_TRUE(facts.overrideRedirect);
    EXPECT_FALSE(facts.framed);
}

TEST_F(WindowManagerWindowTest, AMenuStandsUnframedAndHoldsPointerAndKeyboardWhileItShows)
{
    ActivationLog main(nullptr);
    main.SetCaption(u"Menu owner");
    main.SetBounds(200, 150, 400, 300);
    unsigned long mainWindow = 0;
    ASSERT_TRUE(ShowForm(main, mainWindow));
    TPopupMenu menu(nullptr);
    std::string chosen;
    struct Item
    {
        std::string name;
        std::string* chosen;
        void Click(TObject*) { *chosen = name; }
    } items[] = {{"one", &chosen}, {"two", &chosen}, {"three", &chosen}};
    for (Item& i : items)
    {
        auto* item = new TMenuItem(&menu);
        item->SetCaption(UnicodeString(std::u16string(i.name.begin(), i.name.end())));
        item->OnClick = MakeClosure(&i, &Item::Click);
        menu.Items()->Add(item);
    }

    struct Case
    {
        const char* name;
        std::function<void()> act; // while the menu shows
        const char* chosen;
        bool ownerKeepsFocus; // the pointer stays over the owner, whose window keeps the keyboard
    };
    TPopupMenuWindow* shown = nullptr; // the menu's window while it shows
    const Case cases[] = {
        {"escape", [&] { probe->Key("Escape"); }, "", true},
        {"arrows-and-enter", [&] { probe->Key("Down"), probe->Key("Down"), probe->Key("Return"); }, "two", true},
        {"click-on-a-row",
         [&] { probe->ClickAt(Vcl::NativeWindowOf(shown), 20, 2 + 2 * shown->RowHeight() + shown->RowHeight() / 2); },
         "three", true},
        {"click-on-the-desktop", [&] { probe->MoveToRoot(5, 5), probe->Button(1, true), probe->Button(1, false); },
         "", false},
        {"click-on-the-owner", [&] { probe->ClickAt(mainWindow, 380, 280); }, "", true},
        {"owner-asked-to-close", [&] { probe->RequestClose(mainWindow); }, "", false},
    };
    struct Driver
    {
        WindowManagerWindowTest* test;
        ActivationLog* ownerForm;
        unsigned long owner;
        TPopupMenuWindow*& shown;
        const Case* current = nullptr;
        bool acted = false;
        void Show(TObject* sender)
        {
            TPopupMenuWindow* window = static_cast<TPopupMenu*>(sender)->Window();
            shown = window;
            const unsigned long native = Vcl::NativeWindowOf(window);
            ASSERT_TRUE(PumpUntil([&] { return test->probe->Viewable(native) && window->PaintCount() > 0; }));
            const WindowManager::Facts facts = test->wm->Read(native);
            test->ExpectOurs(facts);
            EXPECT_TRUE(facts.overrideRedirect);
            EXPECT_FALSE(facts.framed) << "the manager gave the menu a frame";
            EXPECT_EQ(facts.types, std::vector<std::string>{"_NET_WM_WINDOW_TYPE_POPUP_MENU"});
            EXPECT_EQ(facts.transientFor, owner);
            EXPECT_FALSE(test->probe->PointerFree());
            EXPECT_FALSE(test->probe->KeyboardFree());
            // The menu takes no focus: its owner keeps the keyboard focus and is never told that it
            // went inactive.
            test->Settle();
            EXPECT_TRUE(test->wm->Focused(owner)) << "the owner lost the focus";
            EXPECT_EQ(ownerForm->log, "") << "the owner was told of a change of its activation";
            test->Shot(std::string("wm-menu-") + current->name);
            acted = true;
            current->act();
            // An act that missed must not leave the test waiting in the menu's loop.
            if (!PumpUntil([&] { return window->ModalResult() != mrNone; }))
            {
                ADD_FAILURE() << "the menu is still open";
                window->SetModalResult(mrCancel);
            }
        }
    } driver{this, &main, mainWindow, shown};
    menu.OnShow = MakeClosure(&driver, &Driver::Show);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        chosen.clear();
        driver.current = &c;
        driver.acted = false;
        probe->MoveTo(mainWindow, 100, 80);
        ASSERT_TRUE(PumpUntil([&] { return wm->Focused(mainWindow); }));
        Settle();
        main.log.clear();
        int x = 0, y = 0;
        probe->RootPosition(mainWindow, 100, 80, x, y);
        menu.Popup(x, y);
        EXPECT_TRUE(driver.acted);
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_TRUE(PumpUntil([&] { return probe->PointerFree() && probe->KeyboardFree(); }))
            << "the pointer and the keyboard are free again";
        if (c.ownerKeepsFocus)
        {
            Settle();
            EXPECT_TRUE(wm->Focused(mainWindow));
            EXPECT_EQ(Screen->ActiveForm(), &main);
            EXPECT_EQ(main.log, "") << "the owner was told of a change of its activation";
        }
    }
    EXPECT_TRUE(PumpUntil([&] { return !main.Visible(); })) << "the close asked meanwhile went to the owner";
}
} // namespace
