// The panel controls (page control, group box, panel, check boxes, list box, up-down, grouped
// speed buttons) in a real window on a private X server: shown by the presenter, driven by XTest
// input and compared as a picture.
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace
{
class PanelControlsWindowTest : public PresenterWindowTest
{
};

struct Steps
{
    int up = 0, down = 0;
    void Changing(TObject*, bool&, int, TUpDownDirection direction) { ++(direction == updUp ? up : down); }
};
} // namespace

TEST_F(PanelControlsWindowTest, EveryControlShowsAndAnswersRealInput)
{
    TForm form(nullptr);
    form.SetCaption(u"Panel controls");
    form.SetBounds(40, 40, 330, 300);
    auto* pages = new TPageControl(&form);
    pages->SetParent(&form);
    pages->SetBounds(5, 5, 320, 290);
    auto* first = new TTabSheet(&form);
    first->SetPageControl(pages);
    first->SetCaption(u"Трансформация");
    auto* second = new TTabSheet(&form);
    second->SetPageControl(pages);
    second->SetCaption(u"Анимация");
    auto* panel = new TPanel(&form);
    panel->SetParent(first);
    panel->SetBounds(5, 5, 300, 30);
    panel->SetCaption(u"Box->Walk (100 кадров)");
    auto* group = new TGroupBox(&form);
    group->SetParent(first);
    group->SetBounds(5, 40, 300, 75);
    group->SetCaption(u"Позиция");
    auto* uniform = new TCheckBox(&form);
    uniform->SetParent(group);
    uniform->SetBounds(10, 20, 150, 17);
    uniform->SetCaption(u"Однородный масштаб");
    uniform->SetChecked(true);
    auto* children = new TCheckBox(&form);
    children->SetParent(group);
    children->SetBounds(10, 45, 150, 17);
    children->SetCaption(u"Вкл.дочерние");
    auto* off = new TCheckBox(&form);
    off->SetParent(group);
    off->SetBounds(170, 20, 100, 17);
    off->SetCaption(u"Disabled");
    off->SetChecked(true);
    off->SetEnabled(false);
    auto* updown = new TUpDown(&form);
    updown->SetParent(group);
    updown->SetBounds(270, 40, 17, 24);
    Steps steps;
    updown->OnChangingEx = MakeClosure(&steps, &Steps::Changing);
    TSpeedButton* buttons[3];
    const char16_t* captions[3] = {u"Скрыть", u"Показать", u"Показать все"};
    for (int i = 0; i < 3; ++i)
    {
        buttons[i] = new TSpeedButton(&form);
        buttons[i]->SetParent(first);
        buttons[i]->SetBounds(5 + 100 * i, 120, 95, 22);
        buttons[i]->SetCaption(captions[i]);
        buttons[i]->SetGroupIndex(1);
    }
    buttons[1]->SetDown(true);
    buttons[2]->SetFlat(true);
    auto* list = new TListBox(&form);
    list->SetParent(first);
    list->SetBounds(5, 150, 300, 100);
    for (const char16_t* name : {u"Walk", u"Run", u"Idle", u"Jump", u"Fall", u"Swim", u"Fly", u"Sit"})
        list->Items()->Add(name);
    list->SetItemIndex(1);
    form.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    Settle();

    int width = form.ClientWidth(), height = form.ClientHeight();
    std::vector<uint32_t> pixels(form.Pixels(), form.Pixels() + width * height);
    for (int y = 3; y < height; y += 31)
        for (int x = 3; x < width; x += 37)
            ASSERT_EQ(probe->ReadPixel(window, x, y), pixels[static_cast<size_t>(y * width + x)]) << x << "," << y;
    EXPECT_EQ(ReferenceImage::Compare("tests/Platform/data/panel_controls.png", pixels, static_cast<uint32_t>(width),
                                      static_cast<uint32_t>(height), 8),
              "");

    // The check box by mouse, then by Space.
    TPoint at = children->FormOrigin();
    probe->ClickAt(window, at.x + 6, at.y + 8);
    Settle();
    EXPECT_TRUE(children->Checked());
    probe->Key("space");
    Settle();
    EXPECT_FALSE(children->Checked());
    // The list by mouse and arrows.
    at = list->FormOrigin();
    probe->ClickAt(window, at.x + 30, at.y + list->ItemHeight() * 2 + 3);
    Settle();
    EXPECT_EQ(list->ItemIndex(), 2);
    probe->Key("Down");
    Settle();
    EXPECT_EQ(list->ItemIndex(), 3);
    // The up-down's two buttons.
    at = updown->FormOrigin();
    probe->ClickAt(window, at.x + 8, at.y + 4);
    probe->ClickAt(window, at.x + 8, at.y + 20);
    Settle();
    EXPECT_EQ(steps.up, 1);
    EXPECT_EQ(steps.down, 1);
    // A grouped speed button goes down and lets the other up.
    at = buttons[0]->FormOrigin();
    probe->ClickAt(window, at.x + 20, at.y + 10);
    Settle();
    EXPECT_TRUE(buttons[0]->Down());
    EXPECT_FALSE(buttons[1]->Down());
    // Ctrl+Tab from the list pages on.
    list->SetFocus();
    probe->Key("Tab", "Control_L");
    Settle();
    EXPECT_EQ(pages->ActivePage(), second);
    TRect tab = pages->TabRect(0);
    at = pages->FormOrigin();
    probe->ClickAt(window, at.x + tab.left + 10, at.y + tab.top + 8);
    Settle();
    EXPECT_EQ(pages->ActivePage(), first);

    // Random input over the whole window never breaks anything.
    std::mt19937 random(33);
    const char* keys[] = {"Down", "Up", "space", "Tab", "Right", "Left", "End", "a"};
    for (int i = 0; i < 1000; ++i)
    {
        int x = static_cast<int>(random() % static_cast<unsigned>(width));
        int y = static_cast<int>(random() % static_cast<unsigned>(height));
        switch (random() % 4)
        {
        case 0: probe->ClickAt(window, x, y); break;
        case 1: probe->MoveTo(window, x, y); break;
        case 2: probe->Key(keys[random() % 8], random() % 5 == 0 ? "Control_L" : nullptr); break;
        default: probe->Key(keys[random() % 8]); break;
        }
        if (i % 50 == 0)
            Settle();
    }
    Settle();
    EXPECT_TRUE(form.Visible());
    EXPECT_GE(list->ItemIndex(), -1);
    EXPECT_LT(list->ItemIndex(), list->Count());
    form.Hide();
}
