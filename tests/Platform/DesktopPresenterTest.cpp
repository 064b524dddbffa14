#include "Platform/Vcl/DesktopPresenter.h"

#include "Platform/Vcl/Clipbrd.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/ModalBoxDriver.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <functional>
#include <random>
#include <thread>

namespace
{

class DesktopPresenterTest : public PresenterWindowTest
{
public:
    void SetUp() override
    {
        PresenterWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        EXPECT_EQ(Screen->Width, 1024);
    }

    bool Viewable(unsigned long window) { return probe->Viewable(window); }
    bool HasFocus(unsigned long window) { return probe->HasFocus(window); }
    uint32_t ReadPixel(unsigned long window, int x, int y) { return probe->ReadPixel(window, x, y); }
    void Key(const char* keysym, const char* modifier = nullptr) { probe->Key(keysym, modifier); }
    void MoveTo(unsigned long window, int x, int y) { probe->MoveTo(window, x, y); }
    void ClickAt(unsigned long window, int x, int y) { probe->ClickAt(window, x, y); }
};

TEST_F(DesktopPresenterTest, MessageBoxIsModalAndAnswersKeysAndClicks)
{
    struct Case
    {
        const char* name;
        UINT type;
        int button; // the button to click, -1: press the key
        const char* key;
        const char* modifier;
        int expect;
    };
    const Case cases[] = {
        {"enter on OK", MB_OK | MB_ICONINFORMATION, -1, "Return", nullptr, IDOK},
        {"enter on the second default", MB_YESNO | MB_DEFBUTTON2, -1, "Return", nullptr, IDNO},
        {"escape cancels", MB_OKCANCEL, -1, "Escape", nullptr, IDCANCEL},
        {"alt f4 closes as cancel", MB_YESNOCANCEL, -1, "F4", "Alt_L", IDCANCEL},
        {"the underlined letter", MB_YESNO, -1, "n", nullptr, IDNO},
        {"click on No", MB_YESNO | MB_ICONQUESTION, 1, nullptr, nullptr, IDNO},
        {"click on Yes", MB_YESNO, 0, nullptr, nullptr, IDYES},
        {"click on Cancel", MB_OKCANCEL | MB_ICONERROR, 1, nullptr, nullptr, IDCANCEL},
    };
    // The main form stays behind the box and takes no input meanwhile.
    TForm main(nullptr);
    main.SetClientWidth(300);
    main.SetClientHeight(100);
    main.SetCaption(u"Main");
    auto* button = new TButton(&main);
    button->SetParent(&main);
    button->SetBounds(10, 10, 75, 25);
    int mainClicks = 0;
    struct Counter
    {
        int* count;
        void Clicked(TObject*) { ++*count; }
    } counter{&mainClicks};
    button->OnClick = MakeClosure(&counter, &Counter::Clicked);
    main.Show();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(Vcl::NativeWindowOf(&main)); }));

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // The input arrives from a timer inside the box's modal loop, once the box is on screen.
        TTimer timer(nullptr);
        timer.SetInterval(20);
        ModalBoxDriver<TMessageForm> driver;
        bool shownWithCaption = false;
        driver.ready = [&](TMessageForm*, unsigned long window) { return Viewable(window) && HasFocus(window); };
        driver.act = [&](TMessageForm* box, unsigned long window)
        {
            shownWithCaption = box->Caption() == UnicodeString(u"Kelvane");
            // A click on the main form's button and its close button go nowhere while the box is up.
            ClickAt(Vcl::NativeWindowOf(&main), 20, 20);
            probe->RequestClose(Vcl::NativeWindowOf(&main));
            if (c.button < 0)
            {
                Key(c.key, c.modifier);
                return;
            }
            TButton* target = box->Buttons(c.button);
            ClickAt(window, target->Left() + 10, target->Top() + 10);
        };
        driver.timer = &timer;
        timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TMessageForm>::Tick);
        int answer = MessageBoxW(nullptr, u"Install the patch now?", u"Kelvane", c.type);
        timer.SetEnabled(false);
        EXPECT_TRUE(driver.acted);
        EXPECT_TRUE(shownWithCaption);
        EXPECT_EQ(answer, c.expect);
    }
    Application->ProcessMessages();
    EXPECT_EQ(mainClicks, 0);
    EXPECT_TRUE(main.Visible()); // its close button did nothing while a box was up
    // The main form has the keyboard back.
    EXPECT_TRUE(PumpUntil([&] { return HasFocus(Vcl::NativeWindowOf(&main)); }));
    EXPECT_TRUE(PumpUntil([&] { return button->Focused(); }));
}

TEST_F(DesktopPresenterTest, FormShowsItsPixelsAndSurvivesResizesFocusAndRandomInput)
{
    TForm form(nullptr);
    form.SetBorderStyle(bsSizeable);
    form.SetClientWidth(400);
    form.SetClientHeight(120);
    form.SetCaption(u"Kelvane");
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetBounds(8, 11, 74, 13);
    label->SetCaption(u"Models.pck file:");
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(95, 8, 259, 21);
    edit->SetAnchors(TAnchors{akLeft, akTop, akRight});
    auto* browse = new TButton(&form);
    browse->SetParent(&form);
    browse->SetBounds(360, 5, 32, 25);
    browse->SetCaption(u"...");
    browse->SetAnchors(TAnchors{akTop, akRight});
    auto* patch = new TButton(&form);
    patch->SetParent(&form);
    patch->SetBounds(14, 87, 75, 25);
    patch->SetCaption(u"Patch");
    patch->SetDefault(true);
    patch->SetAnchors(TAnchors{akLeft, akBottom});
    auto* bar = new TProgressBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(8, 40, 384, 11);
    bar->SetAnchors(TAnchors{akLeft, akRight, akBottom});
    bar->SetSmooth(true);
    bar->SetPosition(50);
    auto* bevel = new TBevel(&form);
    bevel->SetParent(&form);
    bevel->SetBounds(8, 60, 384, 13);
    bevel->SetShape(bsBottomLine);
    int clicks = 0;
    struct Counter
    {
        int* count;
        TProgressBar* bar;
        void Clicked(TObject*)
        {
            ++*count;
            bar->SetPosition((bar->Position() + 10) % 100);
            bar->Update();
        }
    } counter{&clicks, bar};
    patch->OnClick = MakeClosure(&counter, &Counter::Clicked);
    browse->OnClick = MakeClosure(&counter, &Counter::Clicked);

    form.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return Viewable(window) && form.PaintCount() > 0 && HasFocus(window); }));
    // The window shows what the form painted.
    auto matches = [&]
    {
        probe->Sync();
        int w = form.ClientWidth();
        for (auto [x, y] : {std::pair{2, 2}, {100, 15}, {20, 44}, {300, 44}, {50, 71}, {40, 98}, {370, 17}})
        {
            uint32_t want = form.Pixels()[y * w + x] & 0xFFFFFF;
            if (ReadPixel(window, x, y) != want)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(PumpUntil(matches));
    EXPECT_EQ(ReadPixel(window, 2, 2), 0xD4D0C8u);    // the button face
    EXPECT_EQ(ReadPixel(window, 100, 15), 0xFFFFFFu); // inside the edit
    EXPECT_EQ(ReadPixel(window, 20, 44), 0x0A246Au);  // the bar's fill
    EXPECT_TRUE(edit->Focused());

    // Typing reaches the edit; Enter presses the default button.
    Key("a");
    Key("b", "Shift_L");
    EXPECT_TRUE(PumpUntil([&] { return edit->Text() == UnicodeString(u"aB"); }));
    Key("Return");
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));

    // The user resizes the window: anchors follow, and the window shows the new pixels.
    probe->ResizeWindow(window, 500, 150);
    EXPECT_TRUE(PumpUntil([&] { return form.ClientWidth() == 500 && form.ClientHeight() == 150; }));
    EXPECT_EQ(edit->Width(), 359);
    EXPECT_EQ(browse->Left(), 460);
    EXPECT_EQ(patch->Top(), 117);
    EXPECT_TRUE(PumpUntil(matches));
    // The program resizes it back.
    form.SetClientWidth(400);
    form.SetClientHeight(120);
    EXPECT_TRUE(PumpUntil(
        [&]
        {
            int w = 0, h = 0;
            return probe->WindowSize(window, w, h) && w == 400 && h == 120;
        }));
    EXPECT_TRUE(PumpUntil(matches));

    // An expose shows the pixels again.
    probe->ExposeAll(window);
    EXPECT_TRUE(PumpUntil(matches));

    // The focus goes elsewhere and comes back by a click.
    probe->FocusElsewhere();
    EXPECT_TRUE(PumpUntil([&] { return !edit->Focused(); }));
    EXPECT_EQ(form.ActiveControl(), edit);
    ClickAt(window, 200, 18);
    EXPECT_TRUE(PumpUntil([&] { return edit->Focused() && HasFocus(window); }));

    // 1,000 random keys and mouse actions.
    std::mt19937 random(20261207);
    const char* const keys[] = {"a",     "z",    "1",      "space",  "BackSpace", "Delete", "Left",
                                "Right", "Home", "End",    "Tab",    "Return",    "Escape", "Cyrillic_a",
                                "Up",    "Down", "Insert", "period", "v",         "x",      "c"};
    const char* const modifiers[] = {nullptr, nullptr, nullptr, "Shift_L", "Control_L"};
    for (int i = 0; i < 1000; ++i)
    {
        int kind = static_cast<int>(random() % 4);
        int x = static_cast<int>(random() % 400);
        int y = static_cast<int>(random() % 120);
        switch (kind)
        {
        case 0:
            Key(keys[random() % std::size(keys)], modifiers[random() % std::size(modifiers)]);
            break;
        case 1:
            ClickAt(window, x, y);
            break;
        case 2:
            MoveTo(window, x, y);
            probe->Button(1, true);
            MoveTo(window, static_cast<int>(random() % 400), static_cast<int>(random() % 120));
            probe->Button(1, false);
            break;
        default:
        {
            MoveTo(window, x, y);
            int button = 3 + static_cast<int>(random() % 3); // right, the wheel
            probe->Button(button, true);
            probe->Button(button, false);
        }
        break;
        }
        if (i % 10 == 0)
            Application->ProcessMessages();
    }
    Application->ProcessMessages();
    // Still alive and consistent: the window shows the form's pixels.
    EXPECT_TRUE(Viewable(window));
    EXPECT_TRUE(PumpUntil(matches));
    EXPECT_LE(edit->SelStart() + edit->SelLength(), edit->Text().Length());
    form.Hide();
    EXPECT_TRUE(PumpUntil([&] { return !Viewable(window); }));
}

TEST_F(DesktopPresenterTest, ClipboardTextReachesOtherProgramsAndComesBack)
{
    Clipboard()->SetAsText(u"Models.pck — архив");
    EXPECT_TRUE(X11::OwnsClipboard());
    EXPECT_TRUE(probe->ClipboardOwned());
    std::u16string desktop;
    EXPECT_TRUE(X11::GetClipboardText(desktop));
    EXPECT_EQ(desktop, u"Models.pck — архив");
    // Another program takes the clipboard with its own text: the next read here sees it.
    {
        ClipboardServer other(server.Name(), "C:\\Games\\Models.pck");
        for (int i = 0; i < 200 && X11::OwnsClipboard(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(Clipboard()->AsText().str(), u"C:\\Games\\Models.pck");
    }
}

} // namespace

namespace
{
struct MenuPick
{
    std::function<void(TPopupMenuWindow*)> steps;
    int clicks = 0;
    void Show(TObject* sender) { steps(static_cast<TPopupMenu*>(sender)->Window()); }
    void Click(TObject*) { ++clicks; }
};
} // namespace

TEST_F(DesktopPresenterTest, SplitterDragsAndThePopupMenuChoosesInTheWindow)
{
    TForm form(nullptr);
    form.SetBorderStyle(bsSizeable);
    form.SetClientWidth(300);
    form.SetClientHeight(200);
    form.SetCaption(u"Splitter");
    auto* left = new TWinControl(&form);
    left->SetParent(&form);
    left->SetBounds(0, 0, 100, 200);
    left->SetAlign(alLeft);
    left->SetColor(clRed);
    auto* splitter = new TSplitter(&form);
    splitter->SetParent(&form);
    auto* right = new TWinControl(&form);
    right->SetParent(&form);
    right->SetAlign(alClient);
    right->SetColor(clBlue);
    TPopupMenu menu(nullptr);
    MenuPick pick;
    for (const char16_t* caption : {u"First", u"Second"})
    {
        auto* item = new TMenuItem(&menu);
        item->SetCaption(caption);
        item->OnClick = MakeClosure(&pick, &MenuPick::Click);
        menu.Items()->Add(item);
    }
    menu.OnShow = MakeClosure(&pick, &MenuPick::Show);
    right->SetPopupMenu(&menu);

    form.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return Viewable(window) && form.PaintCount() > 0; }));
    ASSERT_TRUE(PumpUntil([&] { return ReadPixel(window, 99, 50) == 0xFF0000u; }));
    EXPECT_EQ(ReadPixel(window, 104, 50), 0x0000FFu);

    // Dragging the splitter 50 pixels to the right widens the red panel by as much.
    MoveTo(window, 101, 50);
    probe->Button(1, true);
    MoveTo(window, 130, 60);
    MoveTo(window, 151, 60);
    probe->Button(1, false);
    EXPECT_TRUE(PumpUntil([&] { return left->Width() == 150 && ReadPixel(window, 149, 50) == 0xFF0000u; }));
    EXPECT_EQ(ReadPixel(window, 154, 50), 0x0000FFu);

    // A right click on the blue panel opens the menu; a click on its second row chooses it.
    unsigned long menuWindow = 0;
    pick.steps = [&](TPopupMenuWindow* shown)
    {
        menuWindow = Vcl::NativeWindowOf(shown);
        ASSERT_TRUE(PumpUntil([&] { return Viewable(menuWindow) && shown->PaintCount() > 0; }));
        ClickAt(menuWindow, 20, 2 + shown->RowHeight() + shown->RowHeight() / 2);
    };
    MoveTo(window, 250, 120);
    probe->Button(3, true);
    probe->Button(3, false);
    EXPECT_TRUE(PumpUntil([&] { return pick.clicks == 1; }));
    EXPECT_NE(menuWindow, 0u);
    EXPECT_EQ(menu.Window(), nullptr);
}
