// The pointer over controls in a real window on a private X server: resting on a control, the hint
// window comes after the pause below the pointer and goes after the hide pause or when the pointer
// moves on, also after the window was moved by someone else than the program; a flat button shows
// its edge only while the pointer is over it.
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/ManualClock.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
class PointerWindowTest : public PresenterWindowTest
{
public:
    void TearDown() override
    {
        Application->CancelHint();
        Application->OnHint = nullptr;
        PresenterWindowTest::TearDown();
    }
    static bool Showing() { return Application->HintWindow() && Application->HintWindow()->Visible(); }

    // Moves the pointer onto a point of the window and lets the program see it, the clock standing.
    void RestAt(unsigned long window, int x, int y)
    {
        probe->MoveTo(window, x, y);
        Settle();
    }

    // The hint shows at the pointer's screen point, 20 pixels lower, on the screen as the form
    // believes it is.
    void ExpectHintBelow(unsigned long window, int x, int y, const char16_t* text)
    {
        ASSERT_TRUE(Showing());
        THintWindow* hint = Application->HintWindow();
        EXPECT_EQ(hint->Caption(), text);
        int rootX = 0, rootY = 0;
        probe->RootPosition(window, x, y, rootX, rootY);
        EXPECT_EQ(hint->Left(), rootX);
        EXPECT_EQ(hint->Top(), rootY + 20);
        unsigned long native = Vcl::NativeWindowOf(hint);
        ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(native); }));
        int placeX = 0, placeY = 0, width = 0, height = 0;
        ASSERT_TRUE(probe->WindowPlace(native, placeX, placeY, width, height));
        EXPECT_EQ(placeX, rootX);
        EXPECT_EQ(placeY, rootY + 20);
        EXPECT_EQ(probe->ReadPixel(native, 2, height / 2), Platform::Gdi::ToPixel(ColorToRGB(clInfoBk)));
    }
};

struct HintLog
{
    std::vector<std::u16string> seen;
    void Changed(TObject*) { seen.push_back(Application->Hint().str()); }
};
} // namespace

TEST_F(PointerWindowTest, ARestingPointerShowsTheShortHintAfterThePauseUntilItMovesOnOrWaits)
{
    ManualClock clock;
    TForm form(nullptr);
    form.SetCaption(u"Hints");
    form.SetBounds(60, 50, 300, 200);
    form.SetShowHint(true);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(20, 20, 120, 60);
    panel->SetHint(u"Panel|The panel's long text");
    auto* label = new TLabel(&form); // no hint of its own: its panel's shows
    label->SetParent(panel);
    label->SetBounds(10, 10, 60, 20);
    label->SetCaption(u"Label");
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->SetBounds(160, 20, 100, 30);
    button->SetHint(u"Button");
    form.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    RestAt(window, 5, 190);
    // Logged from here: where an earlier test left the pointer, the window may have opened under
    // it over a control.
    HintLog log;
    Application->SetHint(u"");
    Application->OnHint = MakeClosure(&log, &HintLog::Changed);

    // Resting on the label: the panel's short hint after 500 ms, the long one as the application's.
    RestAt(window, 40, 40);
    EXPECT_EQ(Application->Hint(), u"The panel's long text");
    clock.Advance(499);
    Settle();
    EXPECT_FALSE(Showing());
    clock.Advance(1);
    Settle();
    ExpectHintBelow(window, 40, 40, u"Panel");
    // Moving within the panel keeps it; it goes by itself after 2,500 ms.
    RestAt(window, 100, 60);
    EXPECT_TRUE(Showing());
    clock.Advance(2499);
    Settle();
    EXPECT_TRUE(Showing());
    clock.Advance(1);
    Settle();
    EXPECT_FALSE(Showing());

    // Onto the button: its hint after the pause; onto the bare form: gone at once.
    RestAt(window, 200, 35);
    EXPECT_FALSE(Showing());
    clock.Advance(500);
    Settle();
    ExpectHintBelow(window, 200, 35, u"Button");
    RestAt(window, 200, 150);
    EXPECT_FALSE(Showing());
    clock.Advance(500);
    Settle();
    EXPECT_FALSE(Showing());

    // A control made after the form showed, in a window moved by the window manager: the hint
    // stands below the pointer where the window now is.
    auto* fresh = new TEdit(&form);
    fresh->SetParent(&form);
    fresh->SetBounds(160, 100, 100, 21);
    fresh->SetHint(u"Fresh");
    probe->PlaceWindow(window, 300, 260);
    Settle();
    RestAt(window, 180, 110);
    clock.Advance(500);
    Settle();
    ExpectHintBelow(window, 180, 110, u"Fresh");
    // A press hides it and the pointer resting on takes no new pause.
    probe->Button(1, true);
    probe->Button(1, false);
    Settle();
    EXPECT_FALSE(Showing());
    clock.Advance(500);
    Settle();
    EXPECT_FALSE(Showing());

    EXPECT_EQ(log.seen, (std::vector<std::u16string>{u"The panel's long text", u"Button", u"", u"Fresh"}));
    form.Hide();
}

TEST_F(PointerWindowTest, AFlatButtonShowsItsEdgeOnlyUnderThePointer)
{
    TForm form(nullptr);
    form.SetCaption(u"Flat buttons");
    form.SetBounds(80, 60, 240, 80);
    form.SetColor(clBtnFace);
    TSpeedButton* buttons[2];
    for (int i = 0; i < 2; ++i)
    {
        buttons[i] = new TSpeedButton(&form);
        buttons[i]->SetParent(&form);
        buttons[i]->SetBounds(10 + i * 110, 20, 100, 30);
        buttons[i]->SetCaption(i == 0 ? u"Первая" : u"Вторая");
        buttons[i]->SetFlat(true);
    }
    form.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    RestAt(window, 5, 5);
    const uint32_t face = Platform::Gdi::ToPixel(ColorToRGB(clBtnFace));
    const uint32_t light = Platform::Gdi::ToPixel(ColorToRGB(clBtnHighlight));
    const uint32_t shadow = Platform::Gdi::ToPixel(ColorToRGB(clBtnShadow));
    // The top-left and bottom-right corners of each button, as the screen shows them.
    auto corners = [&](int i)
    {
        TPoint at = buttons[i]->FormOrigin();
        return std::pair{probe->ReadPixel(window, at.x + 3, at.y), probe->ReadPixel(window, at.x + 3, at.y + 29)};
    };
    EXPECT_EQ(corners(0), std::pair(face, face));
    RestAt(window, 40, 35);
    ASSERT_TRUE(PumpUntil([&] { return corners(0) == std::pair(light, shadow); }));
    EXPECT_EQ(corners(1), std::pair(face, face));
    // Onto the other button, then out of the window: the edge follows the pointer and goes.
    RestAt(window, 150, 35);
    ASSERT_TRUE(PumpUntil([&] { return corners(1) == std::pair(light, shadow); }));
    EXPECT_EQ(corners(0), std::pair(face, face));
    RestAt(window, -20, -20);
    ASSERT_TRUE(PumpUntil([&] { return corners(1) == std::pair(face, face); }));
    // Disabled, it stays flat under the pointer.
    buttons[0]->SetEnabled(false);
    RestAt(window, 40, 35);
    Settle();
    EXPECT_EQ(corners(0), std::pair(face, face));
    form.Hide();
}
