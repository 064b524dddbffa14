// The class library's pieces that editor panels are built from: string lists with objects, check
// boxes, list boxes, group boxes and panels, page controls, up-downs, grouped speed buttons and
// the input query, driven headless by the messages a user's keys and mouse send.
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

#include "tests/support/ManualClock.h"
#include "tests/support/MessageBoxRecorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class PanelControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform::ResetKeyStates();
        form = new TForm(nullptr);
        form->SetClientWidth(400);
        form->SetClientHeight(300);
    }
    void TearDown() override
    {
        delete form;
        Platform::ResetKeyStates();
        Platform::DispatchPostedMessages();
    }
    void Down(WORD key) { Vcl::RouteInput(form, WM_KEYDOWN, key, 1); }
    void Up(WORD key) { Vcl::RouteInput(form, WM_KEYUP, key, 0xC0000001); }
    void Press(WORD key, WCHAR character = 0)
    {
        Down(key);
        if (character)
            Vcl::RouteInput(form, WM_CHAR, character, 1);
        Up(key);
    }
    void Mouse(UINT message, TControl* control, int dx, int dy, WPARAM keys = 0)
    {
        TPoint o = control->FormOrigin();
        Vcl::RouteInput(form, message, keys, MAKELPARAM(o.x + dx, o.y + dy));
    }
    void Click(TControl* control, int dx = 5, int dy = 5)
    {
        Mouse(WM_LBUTTONDOWN, control, dx, dy, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, control, dx, dy);
    }

    TForm* form = nullptr;
};

struct Counter
{
    int calls = 0;
    std::vector<std::u16string> log;
    void Notify(TObject*) { ++calls; }
};
} // namespace

TEST(TStringListTest, ObjectsOrderDuplicatesAndBounds)
{
    TObject a, b, c;
    TStringList list;
    EXPECT_EQ(list.AddObject(u"walk", &a), 0);
    EXPECT_EQ(list.AddObject(u"Idle", &b), 1);
    list.InsertObject(0, u"run", &c);
    EXPECT_EQ(list.Strings(0), u"run");
    EXPECT_EQ(list.Objects(2), &b);
    // Without case by default, and objects found by pointer.
    EXPECT_EQ(list.IndexOf(u"WALK"), 1);
    EXPECT_EQ(list.IndexOfObject(&b), 2);
    list.SetSorted(true);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Strings(0), u"Idle");
    EXPECT_EQ(list.Objects(0), &b); // objects travel with their strings
    EXPECT_EQ(list.Strings(2), u"walk");
    EXPECT_EQ(list.Add(u"jump"), 1);
    // A sorted list ignores a duplicate by default, refuses it with dupError, keeps it with dupAccept.
    EXPECT_EQ(list.Add(u"RUN"), 2);
    EXPECT_EQ(list.Count(), 4);
    list.Duplicates = dupError;
    EXPECT_THROW(list.Add(u"run"), EStringListError);
    list.Duplicates = dupAccept;
    list.Add(u"run");
    EXPECT_EQ(list.Count(), 5);
    EXPECT_THROW(list.Insert(0, u"x"), EStringListError);
    EXPECT_THROW(list.Strings(5), EStringListError);
    EXPECT_THROW(list.Objects(-1), EStringListError);
    try
    {
        list.Delete(9);
        FAIL();
    }
    catch (const EStringListError& e)
    {
        EXPECT_EQ(e.Message(), u"List index out of bounds (9)");
    }
    TStringList copy;
    copy.Assign(&list);
    EXPECT_EQ(copy.Text(), list.Text());
    EXPECT_EQ(copy.Objects(0), &b);
    copy.SetText(u"one\r\ntwo\nthree\rfour");
    EXPECT_EQ(copy.Count(), 4);
    EXPECT_EQ(copy.Strings(3), u"four");
}

TEST(TStringListTest, UpdateBracketsTellOnceAndOnlyForChanges)
{
    TStringList list;
    Counter changing, changed;
    list.OnChanging = MakeClosure(&changing, &Counter::Notify);
    list.OnChange = MakeClosure(&changed, &Counter::Notify);
    list.Add(u"a");
    EXPECT_EQ(changed.calls, 1);
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add(u"b");
    list.Add(u"c");
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(changed.calls, 1); // still inside the outer brackets
    list.EndUpdate();
    EXPECT_EQ(changing.calls, 2);
    EXPECT_EQ(changed.calls, 2);
    list.BeginUpdate();
    list.EndUpdate();
    EXPECT_EQ(changed.calls, 2); // nothing changed, nothing told
    list.EndUpdate();            // unbalanced: ignored
    list.Clear();
    list.Clear();
    EXPECT_EQ(changed.calls, 3);
}

TEST_F(PanelControlsTest, CheckBoxTogglesByClickAndSpaceAndFromCode)
{
    auto* check = new TCheckBox(form);
    check->SetParent(form);
    check->SetBounds(10, 10, 120, 17);
    check->SetCaption(u"Uniform");
    auto* other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 40, 100, 21);
    Counter clicks;
    check->OnClick = MakeClosure(&clicks, &Counter::Notify);
    form->Show();
    Click(check);
    EXPECT_TRUE(check->Checked());
    EXPECT_TRUE(check->Focused());
    // Space toggles on its release, and shows the box pushed while held.
    Down(VK_SPACE);
    EXPECT_TRUE(check->Pressed());
    EXPECT_TRUE(check->Checked());
    Up(VK_SPACE);
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(clicks.calls, 2);
    // A press dragged off the box and released outside changes nothing.
    Mouse(WM_LBUTTONDOWN, check, 5, 5, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, check, 5, 40, MK_LBUTTON);
    EXPECT_FALSE(check->Pressed());
    Mouse(WM_LBUTTONUP, check, 5, 40);
    EXPECT_FALSE(check->Checked());
    // From code: fires the click event as the platform does; an unchanged value fires nothing.
    check->SetChecked(true);
    check->SetChecked(true);
    EXPECT_EQ(clicks.calls, 3);
    check->SetAllowGrayed(true);
    check->SetChecked(false);
    check->Toggle();
    EXPECT_EQ(check->State(), cbGrayed);
    check->Toggle();
    EXPECT_EQ(check->State(), cbChecked);
    // Disabled, the mouse does nothing.
    check->SetEnabled(false);
    Click(check);
    EXPECT_TRUE(check->Checked());
}

TEST_F(PanelControlsTest, ListBoxSelectsByMouseAndKeysAndKeepsSelectionInRange)
{
    auto* list = new TListBox(form);
    list->SetParent(form);
    list->SetBounds(10, 10, 150, 4 * 16 + 4);
    list->SetItemHeight(16);
    TObject tag;
    list->Items()->BeginUpdate();
    for (const char16_t* name : {u"walk", u"run", u"idle", u"jump", u"fall", u"swim"})
        list->Items()->AddObject(name, name[0] == u'i' ? &tag : nullptr);
    int paints = form->PaintCount();
    list->Items()->EndUpdate();
    EXPECT_EQ(form->PaintCount(), paints);
    Counter clicks, doubles;
    list->OnClick = MakeClosure(&clicks, &Counter::Notify);
    list->OnDblClick = MakeClosure(&doubles, &Counter::Notify);
    form->Show();
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->VisibleRows(), 4);
    EXPECT_NE(list->WindowStyle() & WS_VSCROLL, 0u); // six rows do not fit in four
    // A click picks the row under it and focuses the list.
    Click(list, 20, 16 + 5);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_TRUE(list->Focused());
    EXPECT_EQ(clicks.calls, 1);
    // A press tells the selection again; a key that cannot move it tells nothing.
    Click(list, 20, 16 + 5);
    EXPECT_EQ(clicks.calls, 2);
    Press(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(list->Items()->Objects(list->ItemIndex()), &tag);
    Press(VK_END);
    EXPECT_EQ(list->ItemIndex(), 5);
    EXPECT_EQ(list->TopIndex(), 2); // scrolled so the last row shows
    Press(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 5);
    Press(VK_HOME);
    EXPECT_EQ(list->TopIndex(), 0);
    Press('J', u'j');
    EXPECT_EQ(list->Items()->Strings(list->ItemIndex()), u"jump");
    EXPECT_EQ(clicks.calls, 6);
    // A double click on another row selects it first, then tells the double click.
    Mouse(WM_LBUTTONDBLCLK, list, 20, 5, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, list, 20, 5);
    EXPECT_EQ(list->ItemIndex(), 0);
    EXPECT_EQ(doubles.calls, 1);
    // Below the last row: nothing selected changes.
    list->Items()->Delete(5);
    list->Items()->Delete(4);
    list->Items()->Delete(3);
    Click(list, 20, 3 * 16 + 5);
    EXPECT_EQ(list->ItemIndex(), 0);
    EXPECT_EQ(list->WindowStyle() & WS_VSCROLL, 0u);
    // Removing the selected row's place drops the selection instead of pointing past the end.
    list->SetItemIndex(2);
    list->Items()->Delete(2);
    EXPECT_EQ(list->ItemIndex(), -1);
    list->SetItemIndex(7);
    EXPECT_EQ(list->ItemIndex(), -1);
    // Sorted: the selection follows its string.
    list->SetItemIndex(0); // walk
    list->SetSorted(true);
    EXPECT_EQ(list->Items()->Strings(list->ItemIndex()), u"walk");
    EXPECT_EQ(list->Items()->Strings(0), u"run");
    // Keys on an empty list do nothing.
    list->Clear();
    Press(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(PanelControlsTest, PageControlChangesPagesByTabsKeysAndCtrlTab)
{
    auto* pages = new TPageControl(form);
    pages->SetParent(form);
    pages->SetBounds(0, 0, 300, 200);
    auto* first = new TTabSheet(form);
    first->SetPageControl(pages);
    first->SetCaption(u"Transform");
    auto* second = new TTabSheet(form);
    second->SetPageControl(pages);
    second->SetCaption(u"Animation");
    auto* edit = new TEdit(form);
    edit->SetParent(first);
    edit->SetBounds(5, 5, 80, 21);
    edit->SetTabStop(true);
    auto* list = new TListBox(form);
    list->SetParent(second);
    form->Show();
    EXPECT_EQ(pages->ActivePage(), first);
    EXPECT_TRUE(first->Visible());
    EXPECT_FALSE(second->Visible());
    EXPECT_EQ(first->BoundsRect().top, pages->TabHeight() + 4);
    bool allow = true;
    int changes = 0;
    struct Handlers
    {
        bool* allow;
        int* changes;
        void Changing(TObject*, bool& a) { a = *allow; }
        void Change(TObject*) { ++*changes; }
    } handlers{&allow, &changes};
    pages->OnChanging = MakeClosure(&handlers, &Handlers::Changing);
    pages->OnChange = MakeClosure(&handlers, &Handlers::Change);
    // A click on the second tab.
    TRect tab = pages->TabRect(1);
    Click(pages, tab.left + 5, tab.top + 5);
    EXPECT_EQ(pages->ActivePage(), second);
    EXPECT_TRUE(pages->Focused());
    EXPECT_EQ(changes, 1);
    // Left goes back; at the first page it stops.
    Press(VK_LEFT);
    EXPECT_EQ(pages->ActivePageIndex(), 0);
    Press(VK_LEFT);
    EXPECT_EQ(pages->ActivePageIndex(), 0);
    // Ctrl+Tab from a control on the page wraps around, Ctrl+Shift+Tab goes back.
    edit->SetFocus();
    Down(VK_CONTROL);
    Press(VK_TAB);
    EXPECT_EQ(pages->ActivePage(), second);
    EXPECT_FALSE(edit->Focused()); // the focus left the hidden page
    Press(VK_TAB);
    EXPECT_EQ(pages->ActivePage(), first);
    Down(VK_SHIFT);
    Press(VK_TAB);
    Up(VK_SHIFT);
    Up(VK_CONTROL);
    EXPECT_EQ(pages->ActivePage(), second);
    EXPECT_EQ(changes, 5);
    // OnChanging can refuse.
    allow = false;
    Click(pages, pages->TabRect(0).left + 5, 8);
    EXPECT_EQ(pages->ActivePage(), second);
    // From code: no events; a sheet of another control is refused.
    pages->SetActivePageIndex(0);
    EXPECT_EQ(changes, 5);
    TTabSheet stranger(nullptr);
    pages->SetActivePage(&stranger);
    EXPECT_EQ(pages->ActivePage(), first);
    // A destroyed sheet leaves the control with the next one active.
    delete first;
    EXPECT_EQ(pages->PageCount(), 1);
    EXPECT_EQ(pages->ActivePage(), second);
    EXPECT_TRUE(second->Visible());
}

TEST_F(PanelControlsTest, PageControlDestroyedBeforeItsSheets)
{
    // The sheets are owned by the form but parented by the control: either may go first.
    auto* pages = new TPageControl(nullptr);
    pages->SetParent(form);
    auto* sheet = new TTabSheet(form);
    sheet->SetPageControl(pages);
    delete pages;
    SUCCEED();
}

TEST_F(PanelControlsTest, UpDownStepsWithDirectionRepeatsAndCanBeRefused)
{
    ManualClock clock;
    auto* updown = new TUpDown(form);
    updown->SetParent(form);
    updown->SetBounds(10, 10, 17, 24);
    updown->SetMin(-2);
    updown->SetMax(2);
    struct Log
    {
        std::vector<std::pair<int, TUpDownDirection>> steps;
        std::vector<TUDBtnType> clicks;
        bool allow = true;
        void Changing(TObject*, bool& allowChange, int value, TUpDownDirection direction)
        {
            steps.push_back({value, direction});
            allowChange = allow;
        }
        void Click(TObject*, TUDBtnType button) { clicks.push_back(button); }
    } log;
    updown->OnChangingEx = MakeClosure(&log, &Log::Changing);
    updown->OnClick = MakeClosure(&log, &Log::Click);
    form->Show();
    Mouse(WM_LBUTTONDOWN, updown, 8, 3, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, updown, 8, 3);
    Mouse(WM_LBUTTONDOWN, updown, 8, 20, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, updown, 8, 20);
    ASSERT_EQ(log.steps.size(), 2u);
    EXPECT_EQ(log.steps[0], std::make_pair(1, updUp));
    EXPECT_EQ(log.steps[1], std::make_pair(0, updDown));
    EXPECT_EQ(log.clicks, (std::vector<TUDBtnType>{btNext, btPrev}));
    // At a bound the step is still told, with the value held there.
    updown->SetPosition(2);
    updown->Step(updUp);
    EXPECT_EQ(log.steps.back(), std::make_pair(2, updUp));
    updown->SetWrap(true);
    updown->Step(updUp);
    EXPECT_EQ(updown->Position(), -2);
    // Held, it repeats after 400 ms and then every 100 ms, only while the pointer is on it.
    log.steps.clear();
    Mouse(WM_LBUTTONDOWN, updown, 8, 3, MK_LBUTTON);
    clock.Advance(399);
    Application->ProcessMessages();
    EXPECT_EQ(log.steps.size(), 1u);
    clock.Advance(1);
    Application->ProcessMessages();
    clock.Advance(100);
    Application->ProcessMessages();
    EXPECT_EQ(log.steps.size(), 3u);
    Mouse(WM_MOUSEMOVE, updown, 40, 40, MK_LBUTTON);
    clock.Advance(300);
    Application->ProcessMessages();
    EXPECT_EQ(log.steps.size(), 3u);
    Mouse(WM_LBUTTONUP, updown, 40, 40);
    clock.Advance(300);
    Application->ProcessMessages();
    EXPECT_EQ(log.steps.size(), 3u);
    // Refused: the position stays, no click.
    log.allow = false;
    int position = updown->Position();
    size_t clicks = log.clicks.size();
    updown->Step(updDown);
    EXPECT_EQ(updown->Position(), position);
    EXPECT_EQ(log.clicks.size(), clicks);
}

TEST_F(PanelControlsTest, GroupedSpeedButtonsStayDownOneAtATime)
{
    TSpeedButton* buttons[3];
    for (int i = 0; i < 3; ++i)
    {
        buttons[i] = new TSpeedButton(form);
        buttons[i]->SetParent(form);
        buttons[i]->SetBounds(10 + 30 * i, 10, 25, 22);
        buttons[i]->SetGroupIndex(i < 2 ? 1 : 0);
    }
    Counter clicks;
    buttons[0]->OnClick = MakeClosure(&clicks, &Counter::Notify);
    form->Show();
    Click(buttons[0]);
    EXPECT_TRUE(buttons[0]->Down());
    Click(buttons[1]);
    EXPECT_FALSE(buttons[0]->Down());
    EXPECT_TRUE(buttons[1]->Down());
    // Without AllowAllUp the one down stays down; with it, a click lets it up.
    Click(buttons[1]);
    EXPECT_TRUE(buttons[1]->Down());
    buttons[1]->SetAllowAllUp(true);
    EXPECT_TRUE(buttons[0]->AllowAllUp());
    Click(buttons[1]);
    EXPECT_FALSE(buttons[1]->Down());
    // Group 0 never stays down.
    Click(buttons[2]);
    EXPECT_FALSE(buttons[2]->Down());
    EXPECT_EQ(clicks.calls, 1);
}

TEST_F(PanelControlsTest, PanelAndGroupBoxKeepAlignedChildrenInsideTheirFrames)
{
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelInner(bvLowered);
    panel->SetBorderWidth(2);
    auto* inside = new TLabel(form);
    inside->SetParent(panel);
    inside->SetAlign(alClient);
    EXPECT_EQ(inside->BoundsRect(), TRect(4, 4, 196, 96));
    auto* group = new TGroupBox(form);
    group->SetParent(form);
    group->SetBounds(0, 110, 200, 100);
    group->SetCaption(u"Position");
    auto* filled = new TLabel(form);
    filled->SetParent(group);
    filled->SetAlign(alClient);
    EXPECT_GT(filled->Top(), 5);
    EXPECT_LE(filled->BoundsRect().bottom, 98);
    form->Show();
    form->PaintDirty();
    // The raised outer bevel: white top-left, shadow bottom-right.
    const uint32_t* px = form->Pixels();
    int w = form->ClientWidth();
    EXPECT_EQ(px[5 * w + 0] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(px[5 * w + 199] & 0xFFFFFF, 0x808080u);
}

TEST_F(PanelControlsTest, InputQueryGoesThroughItsHandlerAndItsFormAnswers)
{
    struct Answer
    {
        std::u16string caption, prompt, offered;
        bool Ask(const UnicodeString& caption_, const UnicodeString& prompt_, UnicodeString& value)
        {
            caption = caption_.str();
            prompt = prompt_.str();
            offered = value.str();
            value = u"Walk";
            return true;
        }
    } answer;
    Vcl::InputQueryHandler previous = Vcl::SetInputQueryHandler(
        [&](const UnicodeString& c, const UnicodeString& p, UnicodeString& v) { return answer.Ask(c, p, v); });
    UnicodeString value = u"old";
    EXPECT_TRUE(InputQuery(u"Title", u"Name?", value));
    EXPECT_EQ(value, u"Walk");
    EXPECT_EQ(answer.caption, u"Title");
    EXPECT_EQ(answer.offered, u"old");
    Vcl::SetInputQueryHandler(previous);
    // Headless the default answers Cancel at once and leaves the value.
    value = u"kept";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(InputQuery(u"Title", u"Name?", value));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Title: Name?\n");
    EXPECT_EQ(value, u"kept");
    // The box itself: typed text and Enter give OK with the text; Escape gives Cancel.
    TInputQueryForm box(u"Title", u"Name?", u"abc");
    box.Show();
    EXPECT_TRUE(box.Edit()->Focused());
    EXPECT_EQ(box.Edit()->SelLength(), 3);
    Vcl::RouteInput(&box, WM_KEYDOWN, 'X', 1);
    Vcl::RouteInput(&box, WM_CHAR, u'x', 1);
    Vcl::RouteInput(&box, WM_KEYUP, 'X', 0xC0000001);
    Vcl::RouteInput(&box, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(box.ModalResult(), mrOk);
    EXPECT_EQ(box.Edit()->Text(), u"x");
    box.SetModalResult(mrNone);
    Vcl::RouteInput(&box, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(box.ModalResult(), mrCancel);
}

TEST_F(PanelControlsTest, RadioGroupChecksOneItemByClickArrowsAndCode)
{
    auto* group = new TRadioGroup(form);
    group->SetParent(form);
    group->SetBounds(10, 10, 150, 90);
    group->SetCaption(u"Ось");
    form->Show();
    Counter clicks;
    group->OnClick = MakeClosure(&clicks, &Counter::Notify);
    for (const char16_t* axis : {u"X", u"Y", u"Z"})
        group->Items()->Add(axis);
    ASSERT_EQ(group->ButtonCount(), 3);
    EXPECT_EQ(group->ItemIndex(), -1);
    // One column: the buttons stack below the caption, evenly, inside the frame.
    EXPECT_EQ(group->Button(0)->Left(), 8);
    EXPECT_LT(group->Button(0)->Top(), group->Button(1)->Top());
    EXPECT_EQ(group->Button(1)->Top() - group->Button(0)->Top(), group->Button(2)->Top() - group->Button(1)->Top());
    EXPECT_LE(group->Button(2)->Top() + group->Button(2)->Height(), group->Height());
    EXPECT_EQ(clicks.calls, 0);

    // From code: the index checks its button and tells it; out of range clamps.
    group->SetItemIndex(1);
    EXPECT_TRUE(group->Button(1)->Checked());
    EXPECT_EQ(clicks.calls, 1);
    group->SetItemIndex(7);
    EXPECT_EQ(group->ItemIndex(), 2);
    EXPECT_FALSE(group->Button(1)->Checked());
    EXPECT_EQ(clicks.calls, 2);

    // A click on an item checks it alone; a click on the checked one tells nothing.
    Click(group->Button(0), 4, 6);
    EXPECT_EQ(group->ItemIndex(), 0);
    EXPECT_TRUE(group->Button(0)->Checked());
    EXPECT_FALSE(group->Button(2)->Checked());
    EXPECT_EQ(clicks.calls, 3);
    Click(group->Button(0), 4, 6);
    EXPECT_EQ(clicks.calls, 3);

    // The arrows move through the group, wrapping, and check what they reach.
    group->Button(0)->SetFocus();
    Press(VK_DOWN);
    EXPECT_EQ(group->ItemIndex(), 1);
    EXPECT_TRUE(group->Button(1)->Focused());
    Press(VK_RIGHT);
    Press(VK_RIGHT);
    EXPECT_EQ(group->ItemIndex(), 0);
    Press(VK_UP);
    EXPECT_EQ(group->ItemIndex(), 2);
    EXPECT_EQ(clicks.calls, 7);
    // Only the checked button is a tab stop, so Tab leaves the group.
    EXPECT_TRUE(group->Button(2)->TabStop());
    EXPECT_FALSE(group->Button(0)->TabStop());

    // Two columns fill column by column; fewer items keep the index only while it names one.
    group->SetColumns(2);
    EXPECT_EQ(group->Button(1)->Left(), group->Button(0)->Left());
    EXPECT_GT(group->Button(2)->Left(), group->Button(0)->Left());
    group->Items()->Delete(2);
    EXPECT_EQ(group->ButtonCount(), 2);
    EXPECT_EQ(group->ItemIndex(), -1);
    EXPECT_TRUE(group->Button(0)->TabStop());
    group->SetItemIndex(-1);
    EXPECT_EQ(clicks.calls, 7);

    // A disabled group disables its buttons, and they take no click.
    group->SetEnabled(false);
    EXPECT_FALSE(group->Button(1)->Enabled());
    Click(group->Button(1), 4, 6);
    EXPECT_EQ(group->ItemIndex(), -1);
}

TEST_F(PanelControlsTest, MemoKeepsLinesWrapsScrollsAndEditsUnlessReadOnly)
{
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetBounds(10, 10, 120, 80);
    form->Show();
    Counter changes;
    memo->OnChange = MakeClosure(&changes, &Counter::Notify);
    memo->Lines()->Add(u"Vertex index: 4");
    memo->Lines()->Add(u"Position: ( 1, 2.5, -3");
    EXPECT_EQ(memo->Text(), u"Vertex index: 4\r\nPosition: ( 1, 2.5, -3");
    EXPECT_EQ(changes.calls, 2);
    // Text splits at CR LF, LF and CR; a trailing break leaves an empty last line.
    memo->SetText(u"a\nb\r\nc\r");
    ASSERT_EQ(memo->Lines()->Count(), 4);
    EXPECT_EQ(memo->Lines()->Strings(2), u"c");
    EXPECT_EQ(memo->Lines()->Strings(3), u"");
    memo->Clear();
    EXPECT_EQ(memo->Text(), u"");

    // A long line wraps at blanks into rows no wider than the box; unwrapped it is one row.
    memo->Lines()->Add(u"Weights: w1 = 0.5, w2 = 0.25, w3 = 0.25, w4 = 0");
    int wrapped = memo->RowCount();
    EXPECT_GT(wrapped, 1);
    memo->SetWordWrap(false);
    EXPECT_EQ(memo->RowCount(), 1);
    memo->SetWordWrap(true);

    // More rows than fit: the wheel and the bar scroll, never past the last page.
    memo->SetScrollBars(ssVertical);
    memo->Lines()->BeginUpdate();
    for (int i = 0; i < 40; ++i)
        memo->Lines()->Add(u"===============================");
    memo->Lines()->EndUpdate();
    int rows = memo->RowCount();
    EXPECT_FALSE(memo->ScrollBarRect(SB_VERT).IsEmpty());
    memo->Perform(WM_VSCROLL, SB_BOTTOM, 0);
    int lastTop = memo->TopRow();
    EXPECT_GT(lastTop, 0);
    EXPECT_LE(lastTop + memo->ClientHeight() / memo->RowHeight(), rows);
    memo->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(memo->TopRow(), lastTop);
    memo->Perform(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(memo->TopRow(), 0);

    // Read-only: the caret moves, typing changes nothing.
    memo->SetReadOnly(true);
    memo->SetFocus();
    memo->SetCaretPos(TPoint(0, 0));
    UnicodeString before = memo->Text();
    Press('X', u'x');
    Press(VK_DELETE);
    Press(VK_BACK, u'\b');
    EXPECT_EQ(memo->Text(), before);
    Press(VK_DOWN);
    EXPECT_GT(memo->CaretPos().y + memo->CaretPos().x, 0);
    Press(VK_END, 0);
    Down(VK_CONTROL);
    Press(VK_END);
    Up(VK_CONTROL);
    EXPECT_EQ(memo->CaretPos().y, memo->Lines()->Count() - 1);
    EXPECT_GT(memo->TopRow(), 0);

    // Editable: typing inserts, Enter splits, Backspace joins, Delete removes.
    memo->SetReadOnly(false);
    memo->SetText(u"ab");
    memo->SetCaretPos(TPoint(1, 0));
    Press('Q', u'q');
    EXPECT_EQ(memo->Text(), u"aqb");
    Press(VK_RETURN, u'\r');
    EXPECT_EQ(memo->Text(), u"aq\r\nb");
    EXPECT_EQ(memo->CaretPos(), TPoint(0, 1));
    Press(VK_BACK, u'\b');
    EXPECT_EQ(memo->Text(), u"aqb");
    EXPECT_EQ(memo->CaretPos(), TPoint(2, 0));
    Press(VK_DELETE);
    EXPECT_EQ(memo->Text(), u"aq");
    Press(VK_LEFT);
    Press(VK_LEFT);
    Press(VK_LEFT);
    EXPECT_EQ(memo->CaretPos(), TPoint(0, 0));
    Press(VK_BACK, u'\b');
    EXPECT_EQ(memo->Text(), u"aq");
    // A click puts the caret on the row under it.
    memo->SetText(u"one\r\ntwo\r\nthree");
    Click(memo, 3, memo->RowHeight() * 2 + 5);
    EXPECT_EQ(memo->CaretPos(), TPoint(0, 2));
}

TEST_F(PanelControlsTest, ComboItemsCarryObjectsAndTheListShowsDropDownCountRows)
{
    auto* combo = new TComboBox(form);
    combo->SetParent(form);
    combo->SetBounds(10, 10, 150, 21);
    combo->SetStyle(csDropDownList);
    Counter drops, selects;
    combo->OnDropDown = MakeClosure(&drops, &Counter::Notify);
    combo->OnSelect = MakeClosure(&selects, &Counter::Notify);
    TObject first, second, third;
    // Two items of the same text stay apart by the one picked.
    combo->AddItem(u"Material", &first);
    combo->AddItem(u"Material", &second);
    combo->AddItem(u"Glass", &third);
    EXPECT_EQ(combo->ItemObject(2), &third);
    combo->PickItem(1);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->ItemObject(combo->ItemIndex()), &second);
    EXPECT_EQ(selects.calls, 1);
    // Sorting carries the objects and the pick along.
    combo->SetSorted(true);
    EXPECT_EQ(combo->Item(0), u"Glass");
    EXPECT_EQ(combo->ItemObject(0), &third);
    EXPECT_EQ(combo->ItemObject(combo->ItemIndex()), &second);
    combo->ClearItems();
    EXPECT_EQ(combo->ItemIndex(), -1);

    for (int i = 0; i < 20; ++i)
        combo->AddItem(IntToStr(i));
    EXPECT_EQ(combo->DropDownCount(), 8);
    combo->SetDropDownCount(16);
    form->Show();
    combo->SetDroppedDown(true);
    ASSERT_TRUE(combo->DroppedDown());
    EXPECT_EQ(drops.calls, 1);
    TComboListForm* list = nullptr;
    for (int i = 0; i < Screen->FormCount() && !list; ++i)
        list = dynamic_cast<TComboListForm*>(Screen->Forms(i));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Height(), 16 * list->RowHeight() + 2);
    combo->SetDroppedDown(false);
    form->Hide();
}
