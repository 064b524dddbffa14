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
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));

    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Platform/data/panel_controls.png", 3, 37, 31));
    const int width = form.ClientWidth(), height = form.ClientHeight();

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
    const char* keys[] = {"Down", "Up", "space", "Tab", "Right", "Left", "End", "a"};
    RandomInput(window, width, height, 33, 4,
                [&](unsigned kind, std::mt19937& random)
                {
                    if (kind == 2)
                        probe->Key(keys[random() % 8], random() % 5 == 0 ? "Control_L" : nullptr);
                    else
                        probe->Key(keys[random() % 8]);
                });
    Settle();
    EXPECT_TRUE(form.Visible());
    EXPECT_GE(list->ItemIndex(), -1);
    EXPECT_LT(list->ItemIndex(), list->Count());
    form.Hide();
}

TEST_F(PanelControlsWindowTest, RadioGroupMemoAndListComboShowAndAnswerRealInput)
{
    TForm form(nullptr);
    form.SetCaption(u"Radio group and memo");
    form.SetBounds(40, 40, 330, 260);
    auto* group = new TRadioGroup(&form);
    group->SetParent(&form);
    group->SetBounds(5, 5, 120, 90);
    group->SetCaption(u"Ось");
    for (const char16_t* axis : {u"X", u"Y", u"Z"})
        group->Items()->Add(axis);
    group->SetItemIndex(0);
    auto* columns = new TRadioGroup(&form);
    columns->SetParent(&form);
    columns->SetBounds(130, 5, 190, 90);
    columns->SetCaption(u"Две колонки");
    columns->SetColumns(2);
    for (const char16_t* item : {u"один", u"два", u"три", u"четыре", u"пять"})
        columns->Items()->Add(item);
    columns->SetItemIndex(3);
    columns->SetEnabled(false);
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(5, 100, 210, 120);
    memo->SetReadOnly(true);
    memo->SetScrollBars(ssVertical);
    memo->Lines()->BeginUpdate();
    for (int i = 0; i < 3; ++i)
    {
        memo->Lines()->Add(u"Vertex index: " + IntToStr(i));
        memo->Lines()->Add(u"Position: ( 1, 2.5, -3");
        memo->Lines()->Add(u"Weights: w1 = 0.5, w2 = 0.25, w3 = 0.25, w4 = 0");
        memo->Lines()->Add(u"===============================");
    }
    memo->Lines()->EndUpdate();
    auto* combo = new TComboBox(&form);
    combo->SetParent(&form);
    combo->SetBounds(220, 100, 100, 21);
    combo->SetStyle(csDropDownList);
    TObject glass, wood;
    combo->AddItem(u"Glass", &glass);
    combo->AddItem(u"Wood", &wood);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));

    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Platform/data/radio_memo.png", 3, 31, 29));

    // A click on "Z", then the arrows through the group.
    TPoint at = group->Button(2)->FormOrigin();
    probe->ClickAt(window, at.x + 6, at.y + group->Button(2)->Height() / 2);
    Settle();
    EXPECT_EQ(group->ItemIndex(), 2);
    probe->Key("Down");
    Settle();
    EXPECT_EQ(group->ItemIndex(), 0);
    probe->Key("Up");
    Settle();
    EXPECT_EQ(group->ItemIndex(), 2);
    // The disabled group takes no click.
    at = columns->Button(0)->FormOrigin();
    probe->ClickAt(window, at.x + 6, at.y + 6);
    Settle();
    EXPECT_EQ(columns->ItemIndex(), 3);
    // The memo scrolls by its bar's lower arrow and by the wheel; typing into it changes nothing.
    TRect bar = memo->ScrollBarRect(SB_VERT);
    at = memo->FormOrigin();
    probe->ClickAt(window, at.x + bar.left + 4, at.y + bar.bottom - 4);
    Settle();
    EXPECT_EQ(memo->TopRow(), 1);
    UnicodeString text = memo->Text();
    probe->ClickAt(window, at.x + 20, at.y + 20);
    probe->Key("a");
    Settle();
    EXPECT_EQ(memo->Text(), text);
    probe->MoveTo(window, at.x + 20, at.y + 20);
    probe->Wheel(-1);
    Settle();
    EXPECT_GT(memo->TopRow(), 1);
    // The list combo drops down on a click and picks an item with its object.
    at = combo->FormOrigin();
    probe->ClickAt(window, at.x + 30, at.y + 10);
    Settle();
    ASSERT_TRUE(combo->DroppedDown());
    probe->Key("Down");
    probe->Key("Down");
    probe->Key("Return");
    Settle();
    EXPECT_FALSE(combo->DroppedDown());
    ASSERT_GE(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->ItemObject(combo->ItemIndex()), &wood);
    form.Hide();
}
