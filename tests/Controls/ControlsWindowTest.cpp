// The custom controls in a real window on a private X server: shown by the presenter, driven by
// XTest input, and compared as a picture.
#include "Controls/XColorEdit.h"
#include "Controls/XFloatEdit.h"
#include "Controls/XIntEdit.h"
#include "Controls/XPropertyEditor.h"
#include "Controls/XScrollList.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/ManualClock.h"
#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>

#include <X11/cursorfont.h>

namespace
{
struct Owner
{
    VarUtils::XVariant values[3];
    int writes = 0;
    void Get(const XString&, int id, VarUtils::XVariant& value) { value = values[id]; }
    void Set(const XString&, int id, const VarUtils::XVariant& value)
    {
        ++writes;
        values[id] = value;
    }
};

// A grid on the form over the owner's three fields: "Count" (int, 42), "Visible" (bool, true)
// and "Scale" (float, 2.5).
XPropertyEditor* MakeGrid(TForm& form, Owner& owner, const TRect& bounds)
{
    owner.values[0] = VarUtils::XVariant(42);
    owner.values[1] = true;
    owner.values[2] = 2.5f;
    auto* grid = new XPropertyEditor(&form);
    grid->SetParent(&form);
    grid->SetBounds(bounds.left, bounds.top, bounds.Width(), bounds.Height());
    grid->OnGetFieldValue = MakeClosure(&owner, &Owner::Get);
    grid->OnSetFieldValue = MakeClosure(&owner, &Owner::Set);
    grid->RegisterProperty(u"int", CreateIntProperty);
    grid->RegisterProperty(u"bool", CreateBooleanProperty);
    grid->RegisterProperty(u"float", CreateFloatProperty);
    grid->AddProperty(u"int", u"Count", 0);
    grid->AddProperty(u"bool", u"Visible", 1);
    grid->AddProperty(u"float", u"Scale", 2);
    return grid;
}

// Cancels every colour dialog that random clicks on the sample open.
struct CancelDialogs
{
    int shown = 0;
    void Shown(TObject* sender)
    {
        ++shown;
        static_cast<TColorDialog*>(sender)->Form()->SetModalResult(mrCancel);
    }
};

class ControlsWindowTest : public PresenterWindowTest
{
};
} // namespace

TEST_F(ControlsWindowTest, EveryControlShowsAndAnswersRealInput)
{
    TForm form(nullptr);
    form.SetCaption(u"Controls");
    form.SetBounds(40, 40, 640, 330);
    form.SetColor(clBtnFace);
    auto* list = new XScrollList(&form);
    list->SetParent(&form);
    list->SetBounds(5, 5, 220, 320);
    auto* transform = new XScroll(&form);
    transform->SetBounds(0, 1000, 200, 120);
    transform->SetParent(list);
    transform->SetCaption(u"Transform");
    auto* real = new XFloatEdit(&form);
    real->SetParent(transform);
    real->SetBounds(15, 30, 90, 21);
    auto* whole = new XIntEdit(&form);
    whole->SetParent(transform);
    whole->SetBounds(15, 60, 90, 21);
    whole->SetTabStop(true);
    real->SetTabStop(true);
    auto* buttons = new XScroll(&form);
    buttons->SetBounds(0, 2000, 200, 90);
    buttons->SetParent(list);
    buttons->SetCaption(u"Buttons");
    auto* push = new XStdButton(&form);
    push->SetParent(buttons);
    push->SetBounds(15, 30, 75, 25);
    push->SetCaption(u"Apply");
    auto* check = new XStdButton(&form);
    check->SetParent(buttons);
    check->SetBounds(100, 30, 75, 25);
    check->SetCaption(u"Lock");
    check->SetButtonStyle(xbsCheckButton);
    check->SetDown(true);
    check->SetEnabled(false);
    auto* colour = new XColorEdit(&form);
    colour->SetParent(&form);
    colour->SetBounds(230, 5, 150, 320);
    colour->SetXColor(XColor(0x80FF8040u));
    Owner owner;
    XPropertyEditor* grid = MakeGrid(form, owner, TRect(385, 5, 635, 325));
    grid->SetSelectedIndex(0);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));

    // What the window shows is the form's picture, and the picture is the checked-in one.
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Controls/data/controls.png", 3, 41, 37));
    const int width = form.ClientWidth(), height = form.ClientHeight();

    // Typing into the float box through the keyboard.
    TPoint at = real->FormOrigin();
    probe->ClickAt(window, at.x + 40, at.y + 8);
    Settle();
    ASSERT_TRUE(real->Focused());
    probe->Key("End");
    probe->Key("BackSpace");
    probe->Key("BackSpace");
    probe->Key("BackSpace");
    probe->Key("3");
    probe->Key("comma");
    probe->Key("2");
    probe->Key("5");
    Settle();
    EXPECT_EQ(real->Text(), u"3.25"); // the typed comma became the point; the box's own "0" gave way
    EXPECT_FLOAT_EQ(real->Value(), 3.25f);
    // The caption bar closes its panel and the stack follows.
    int before = buttons->Top();
    TPoint caption = transform->FormOrigin();
    probe->ClickAt(window, caption.x + 100, caption.y + 5);
    Settle();
    EXPECT_FALSE(transform->Open());
    EXPECT_LT(buttons->Top(), before);
    // The grid: a click on the boolean row, F4, Down, Return.
    TPoint g = grid->FormOrigin();
    int pitch = grid->RowHeight() + 1;
    probe->ClickAt(window, g.x + 20, g.y + pitch + 4);
    Settle();
    EXPECT_EQ(grid->SelectedIndex(), 1);
    int writes = owner.writes; // leaving row 0 committed it
    EXPECT_GE(writes, 1);
    // Random input over the whole window never breaks anything.
    CancelDialogs cancel;
    TNotifyEvent previousHook = Vcl::SetColorDialogHook(MakeClosure(&cancel, &CancelDialogs::Shown));
    RandomInput(window, width, height, 29, 4,
                [&](unsigned kind, std::mt19937& random)
                {
                    if (kind == 2)
                        probe->Key(random() % 2 ? "Down" : "Prior");
                    else
                        probe->Key(random() % 2 ? "a" : "1");
                });
    Settle();
    Vcl::SetColorDialogHook(previousHook);
    EXPECT_TRUE(form.Visible());
    form.Hide();
}

namespace
{
// A stack of `count` panels of `height` in a list, each draggable to dock.
XScrollList* MakeStack(TForm& form, int x, int count, int height, std::vector<XScroll*>* panels = nullptr)
{
    auto* list = new XScrollList(&form);
    list->SetParent(&form);
    list->SetBounds(x, 5, 220, 300);
    list->SetDockSite(true);
    list->SetDockScrolls(true);
    for (int i = 0; i < count; ++i)
    {
        auto* panel = new XScroll(&form);
        panel->SetBounds(0, 10000 + i, 200, height);
        panel->SetParent(list);
        panel->SetOpenHeight(height);
        panel->SetCaption(UnicodeString(u"Panel " + std::u16string(1, char16_t(u'1' + i))));
        panel->SetDragKind(dkDock);
        panel->SetDragMode(dmAutomatic);
        if (panels)
            panels->push_back(panel);
    }
    return list;
}

// Whether the screen shows the docking frame's hatch at the point of the form's client area.
bool HatchAt(XProbe& probe, unsigned long window, const TForm& form, const TPoint& screenPoint)
{
    int x = 0, y = 0;
    probe.RootOrigin(window, x, y);
    x += screenPoint.x - form.Left();
    y += screenPoint.y - form.Top();
    uint32_t a = probe.ReadScreenPixel(x, y), b = probe.ReadScreenPixel(x + 1, y);
    return (a == 0 || a == 0xFFFFFF) && (b == 0 || b == 0xFFFFFF) && a != b;
}
} // namespace

TEST_F(ControlsWindowTest, PanelListsScrollReorderDockAndFloatUnderRealInput)
{
    TForm form(nullptr);
    form.SetCaption(u"Panels");
    form.SetBounds(40, 40, 480, 320);
    form.SetColor(clBtnFace);
    std::vector<XScroll*> p;
    XScrollList* list = MakeStack(form, 5, 5, 150, &p);
    XScrollList* second = MakeStack(form, 250, 0, 0);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));
    ASSERT_TRUE(list->ScrollBarShown());
    const TPoint origin = list->FormOrigin();
    const int barX = origin.x + 220 - 2 - 8;

    // The wheel: 16 a notch; with Ctrl a panel at a time.
    probe->MoveTo(window, origin.x + 100, origin.y + 100);
    probe->Wheel(-2);
    Settle();
    EXPECT_EQ(list->ScrollPosition(), 32);
    probe->HoldKey("Control_L", true);
    probe->Wheel(-1);
    probe->HoldKey("Control_L", false);
    Settle();
    EXPECT_EQ(list->ScrollPosition(), 150);
    probe->Wheel(3);
    Settle();
    EXPECT_EQ(list->ScrollPosition(), 102);
    // The arrows, and the down arrow held: it repeats until released.
    probe->ClickAt(window, barX, origin.y + 2 + 5);
    Settle();
    EXPECT_EQ(list->ScrollPosition(), 94);
    probe->MoveTo(window, barX, origin.y + 300 - 2 - 5);
    probe->Button(1, true);
    const auto held = std::chrono::steady_clock::now();
    PumpUntil([&] { return std::chrono::steady_clock::now() - held > std::chrono::milliseconds(700); },
              std::chrono::seconds(2));
    probe->Button(1, false);
    Settle();
    const int afterHold = list->ScrollPosition();
    EXPECT_GE(afterHold, 94 + 8 * 5); // the press and several repeats
    Settle();
    EXPECT_EQ(list->ScrollPosition(), afterHold); // and nothing after the release
    // The thumb dragged to the bottom reaches the end.
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    list->GetScrollInfo(SB_VERT, info);
    probe->MoveTo(window, barX, origin.y + 2 + 17 + 2 + afterHold * (300 - 4 - 34) / 750);
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, barX, origin.y + 400);
    Settle();
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(list->ScrollPosition(), 750 - 300);
    probe->MoveTo(window, origin.x + 100, origin.y + 100);
    probe->Wheel(30);
    Settle();
    EXPECT_EQ(list->ScrollPosition(), 0);

    // A caption click closes a panel and the stack follows.
    probe->ClickAt(window, origin.x + 100, origin.y + 2 + 150 + 5);
    Settle();
    EXPECT_FALSE(p[1]->Open());
    EXPECT_EQ(p[2]->Top(), 150 + p[1]->Height());
    probe->ClickAt(window, origin.x + 100, origin.y + 2 + 150 + 5);
    Settle();
    EXPECT_TRUE(p[1]->Open());

    // The third panel dragged above the second by its margin: the frame follows the pointer while
    // it moves, and the panels change places.
    auto drag = [&](TPoint from, TPoint to, bool checkFrame)
    {
        probe->MoveTo(window, from.x, from.y);
        probe->Button(1, true);
        Settle();
        probe->MoveTo(window, (from.x + to.x) / 2, (from.y + to.y) / 2);
        Settle();
        probe->MoveTo(window, to.x, to.y);
        Settle();
        TRect frame;
        bool thick = false;
        bool shown = Vcl::DockFeedbackShown(frame, thick);
        EXPECT_TRUE(shown);
        if (shown && checkFrame)
        {
            EXPECT_TRUE(HatchAt(*probe, window, form, TPoint(frame.left + 1, frame.top + (thick ? 1 : 0))))
                << frame.left << "," << frame.top;
        }
        probe->Button(1, false);
        Settle();
        EXPECT_FALSE(Vcl::DockFeedbackShown(frame, thick));
        return frame;
    };
    drag(TPoint(origin.x + 2 + 4, origin.y + 2 + 150 + 60), TPoint(origin.x + 2 + 4, origin.y + 2 + 20), true);
    EXPECT_EQ(list->Panels(0), p[1]);
    EXPECT_EQ(list->Panels(1), p[0]);
    // After the drop nothing of the frame is left on the screen.
    {
        int x = 0, y = 0;
        probe->RootOrigin(window, x, y);
        const int fx = origin.x + 100, fy = origin.y + 2 + 150 + 8;
        EXPECT_EQ(probe->ReadScreenPixel(x + fx, y + fy), form.Pixels()[fy * form.ClientWidth() + fx]);
    }
    // Into the second list.
    const TPoint target = second->FormOrigin();
    drag(TPoint(origin.x + 2 + 4, origin.y + 2 + 150 + 60), TPoint(target.x + 20, target.y + 40), true);
    EXPECT_EQ(p[0]->Parent(), second);
    EXPECT_EQ(list->PanelCount(), 4);
    // Onto the desktop: without CanFloat it stays; with it, it floats in a window of its own.
    drag(TPoint(target.x + 2 + 4, target.y + 2 + 60), TPoint(target.x + 60, 600), true);
    EXPECT_EQ(p[0]->Parent(), second);
    p[0]->SetCanFloat(true);
    drag(TPoint(target.x + 2 + 4, target.y + 2 + 60), TPoint(target.x + 60, 600), true);
    ASSERT_TRUE(p[0]->Floating());
    auto* host = static_cast<TCustomForm*>(p[0]->Parent());
    unsigned long floating = Vcl::NativeWindowOf(host);
    EXPECT_TRUE(PumpUntil([&] { return probe->Viewable(floating); }));
    p[0]->SetCanHideWhenFloating(true);
    host->Close();
    Settle();
    form.Hide();
}

TEST_F(ControlsWindowTest, NumberBoxesAndTheColourEditorAnswerTheKeyboardAndTheMouse)
{
    TForm form(nullptr);
    form.SetCaption(u"Numbers");
    form.SetBounds(40, 40, 400, 330);
    form.SetColor(clBtnFace);
    auto* real = new XFloatEdit(&form);
    real->SetParent(&form);
    real->SetBounds(10, 10, 120, 21);
    real->SetChangeValue(0.5f);
    auto* whole = new XIntEdit(&form);
    whole->SetParent(&form);
    whole->SetBounds(10, 40, 120, 21);
    auto* colour = new XColorEdit(&form);
    colour->SetParent(&form);
    colour->SetBounds(200, 5, 150, 320);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));

    // Typing (a comma becomes the point), a drag over the text selects it, the wheel and the page
    // keys step by ChangeValue.
    probe->ClickAt(window, 10 + 60, 10 + 10);
    Settle();
    ASSERT_TRUE(real->Focused());
    probe->Key("Home");
    probe->Key("End", "Shift_L");
    for (const char* key : {"1", "2", "comma", "7", "5"})
        probe->Key(key);
    Settle();
    EXPECT_EQ(real->Text(), u"12.75"); // the comma became the point, the "0" after it was typed over
    probe->MoveTo(window, 10 + 3, 10 + 10);
    probe->Button(1, true);
    probe->MoveTo(window, 10 + 60, 10 + 10);
    probe->MoveTo(window, 10 + 110, 10 + 10);
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(real->SelLength(), 5);
    probe->Wheel(1);
    Settle();
    EXPECT_FLOAT_EQ(real->Value(), 13.25f);
    probe->Key("Next");
    probe->Key("Next");
    Settle();
    EXPECT_FLOAT_EQ(real->Value(), 12.25f);
    probe->Key("Prior");
    Settle();
    EXPECT_FLOAT_EQ(real->Value(), 12.75f);

    probe->ClickAt(window, 10 + 60, 40 + 10);
    Settle();
    ASSERT_TRUE(whole->Focused());
    probe->Key("Home");
    probe->Key("End", "Shift_L");
    for (const char* key : {"1", "2", "a", "3"})
        probe->Key(key);
    Settle();
    EXPECT_EQ(whole->Text(), u"123");
    probe->Key("Prior");
    probe->Wheel(-3);
    Settle();
    EXPECT_EQ(whole->Value(), 121);
    EXPECT_EQ(whole->Text(), u"121");

    // The red thumb dragged from the top to below the bottom reads 255.
    TTrackBar* red = colour->Bar(0);
    const TRect thumb = red->ThumbRect();
    const TPoint at = red->FormOrigin();
    probe->MoveTo(window, at.x + thumb.left + 3, at.y + (thumb.top + thumb.bottom) / 2);
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, at.x + thumb.left + 3, at.y + red->Height() / 2);
    Settle();
    probe->MoveTo(window, at.x + thumb.left + 3, at.y + red->Height() + 40);
    Settle();
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(red->Position(), 255);
    EXPECT_EQ(colour->ValueLabel(0)->Caption(), u"255");
    EXPECT_EQ(colour->Color(), 0xFF);
    // The window shows it: the sample is pure red.
    const TRect sample = colour->SampleRect();
    const TPoint c = colour->FormOrigin();
    EXPECT_EQ(probe->ReadPixel(window, c.x + sample.left + 5, c.y + sample.top + 5), 0xFF0000u);
    form.Hide();
}

TEST_F(ControlsWindowTest, TheGridAnswersKeysMouseAndShowsTheSplitCursor)
{
    TForm form(nullptr);
    form.SetCaption(u"Grid");
    form.SetBounds(40, 40, 320, 200);
    form.SetColor(clBtnFace);
    Owner owner;
    XPropertyEditor* grid = MakeGrid(form, owner, TRect(10, 10, 310, 190));
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));
    const int pitch = grid->RowHeight() + 1;
    const TPoint g = grid->FormOrigin();

    // A click selects the first row; typing and Return reach the owner.
    probe->ClickAt(window, g.x + 20, g.y + 4);
    Settle();
    ASSERT_EQ(grid->SelectedIndex(), 0);
    probe->ClickAt(window, g.x + grid->NameColumnWidth() + 40, g.y + 4);
    Settle();
    grid->InplaceEditor()->SelectAll();
    for (const char* key : {"7", "7"})
        probe->Key(key);
    probe->Key("Return");
    Settle();
    EXPECT_EQ(owner.values[0].AsInt(), 77);
    // Escape brings the stored text back without a write.
    const int writes = owner.writes;
    probe->Key("5");
    probe->Key("Escape");
    Settle();
    EXPECT_EQ(grid->InplaceEditor()->Text(), u"77");
    EXPECT_EQ(owner.writes, writes);
    probe->Key("Next");
    Settle();
    EXPECT_EQ(grid->SelectedIndex(), 2);
    probe->Key("Up");
    Settle();
    EXPECT_EQ(grid->SelectedIndex(), 1);
    probe->MoveTo(window, g.x + 20, g.y + 100);
    probe->Wheel(-1);
    Settle();
    EXPECT_EQ(grid->SelectedIndex(), 2);
    probe->Wheel(1);
    Settle();
    EXPECT_EQ(grid->SelectedIndex(), 1);

    // The boolean row: its list by the mouse, then by the keys.
    TCustomComboBox* editor = grid->InplaceEditor();
    const TPoint e = editor->FormOrigin();
    probe->ClickAt(window, e.x + editor->Width() - 6, e.y + editor->Height() / 2);
    Settle();
    ASSERT_TRUE(editor->DroppedDown());
    TComboListForm* list = nullptr;
    for (int i = 0; i < Screen->FormCount(); ++i)
        if (auto* l = dynamic_cast<TComboListForm*>(Screen->Forms(i)))
            list = l;
    ASSERT_NE(list, nullptr);
    unsigned long listWindow = Vcl::NativeWindowOf(list);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(listWindow); }));
    probe->ClickAt(listWindow, 10, list->RowHeight() + list->RowHeight() / 2); // "false"
    Settle();
    EXPECT_FALSE(editor->DroppedDown());
    EXPECT_FALSE(owner.values[1].AsBool());
    probe->Key("F4");
    Settle();
    ASSERT_TRUE(editor->DroppedDown());
    probe->Key("Up");
    probe->Key("Return");
    Settle();
    EXPECT_FALSE(editor->DroppedDown());
    EXPECT_TRUE(owner.values[1].AsBool());

    // The pointer shows the split cursor over the column boundary, the I-beam over the editor's
    // text and the arrow elsewhere; the boundary follows a drag.
    const XProbe::CursorPicture split = probe->FontCursorPicture(XC_sb_h_double_arrow);
    const XProbe::CursorPicture beam = probe->FontCursorPicture(XC_xterm);
    const XProbe::CursorPicture arrow = probe->FontCursorPicture(XC_left_ptr);
    ASSERT_FALSE(split.argb.empty());
    ASSERT_NE(split, arrow);
    const int boundary = grid->NameColumnWidth();
    probe->MoveTo(window, g.x + boundary, g.y + 2 * pitch + 5);
    Settle();
    EXPECT_EQ(probe->PointerPicture(), split);
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, g.x + boundary - 60, g.y + 2 * pitch + 5);
    Settle();
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(grid->NameColumnWidth(), boundary - 60);
    probe->MoveTo(window, g.x + 30, g.y + 2 * pitch + 5);
    Settle();
    EXPECT_EQ(probe->PointerPicture(), arrow);
    const TPoint moved = editor->FormOrigin();
    probe->MoveTo(window, moved.x + 20, moved.y + editor->Height() / 2);
    Settle();
    EXPECT_EQ(probe->PointerPicture(), beam);
    form.Hide();
}

namespace
{
// The left-most column and top-most row of `ink` inside a control, read from the window.
uint32_t Rgb(TColor color);

// Whether a pixel over the button face is at least half covered by `ink` (smoothed text need not
// cover any pixel whole).
bool Covered(uint32_t pixel, uint32_t ink)
{
    const int face = (Rgb(clBtnFace) >> 8) & 0xFF;
    return 2 * std::abs(face - static_cast<int>((pixel >> 8) & 0xFF)) >=
           std::abs(face - static_cast<int>((ink >> 8) & 0xFF));
}

TPoint WindowInkCorner(XProbe& probe, unsigned long window, const TControl* control, uint32_t ink)
{
    TPoint corner(-1, -1);
    const TPoint o = control->FormOrigin();
    for (int y = 3; y < control->Height() - 3; ++y)
        for (int x = 3; x < control->Width() - 3; ++x)
            if (Covered(probe.ReadPixel(window, o.x + x, o.y + y), ink))
            {
                if (corner.x < 0 || x < corner.x)
                    corner.x = x;
                if (corner.y < 0 || y < corner.y)
                    corner.y = y;
            }
    return corner;
}

uint32_t Rgb(TColor color)
{
    return Platform::Gdi::ToPixel(ColorToRGB(color)) & 0xFFFFFF;
}
} // namespace

TEST_F(ControlsWindowTest, EveryControlInItsStatesIsThePictureInspected)
{
    // The picture holds still: the focused box's caret blinks on the clock's timers, and a slow
    // run must not catch it half way.
    ManualClock clock;
    TForm form(nullptr);
    form.SetCaption(u"States");
    form.SetBounds(40, 40, 700, 420);
    form.SetColor(clBtnFace);
    // Buttons: up, held down by the pointer, a check button down, disabled, disabled and down.
    auto button = [&](int x, int y, const char16_t* caption, XStdButtonStyle style, bool down, bool enabled)
    {
        auto* b = new XStdButton(&form);
        b->SetParent(&form);
        b->SetBounds(x, y, 80, 25);
        b->SetCaption(caption);
        b->SetButtonStyle(style);
        b->SetDown(down);
        b->SetEnabled(enabled);
        return b;
    };
    button(5, 5, u"Up", xbsButton, false, true);
    XStdButton* held = button(90, 5, u"Held", xbsButton, false, true);
    held->SetTabStop(false); // so that holding it leaves the focus in the float box
    button(175, 5, u"Down", xbsCheckButton, true, true);
    XStdButton* disabled = button(260, 5, u"Disabled", xbsButton, false, false);
    button(345, 5, u"Locked", xbsCheckButton, true, false);
    // Panels: open, closed, disabled; and a list scrolled part of the way with its bar.
    auto* open = new XScroll(&form);
    open->SetParent(&form);
    open->SetBounds(5, 40, 140, 80);
    open->SetCaption(u"Open");
    auto* closed = new XScroll(&form);
    closed->SetParent(&form);
    closed->SetBounds(5, 125, 140, 80);
    closed->SetCaption(u"Closed");
    closed->SetOpen(false);
    auto* off = new XScroll(&form);
    off->SetParent(&form);
    off->SetBounds(5, 160, 140, 60);
    off->SetCaption(u"Disabled");
    off->SetEnabled(false);
    auto* list = new XScrollList(&form);
    list->SetParent(&form);
    list->SetBounds(150, 40, 180, 180);
    for (int i = 0; i < 3; ++i)
    {
        auto* panel = new XScroll(&form);
        panel->SetBounds(0, 1000 + i, 150, 100);
        panel->SetParent(list);
        panel->SetOpenHeight(100);
        panel->SetCaption(UnicodeString(u"Item " + std::u16string(1, char16_t(u'1' + i))));
    }
    list->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    // Number boxes: focused with a selection, disabled, read-only.
    auto* real = new XFloatEdit(&form);
    real->SetParent(&form);
    real->SetBounds(5, 230, 100, 21);
    real->SetText(u"3.14159");
    auto* grey = new XFloatEdit(&form);
    grey->SetParent(&form);
    grey->SetBounds(5, 260, 100, 21);
    grey->SetEnabled(false);
    auto* fixed = new XIntEdit(&form);
    fixed->SetParent(&form);
    fixed->SetBounds(5, 290, 100, 21);
    fixed->SetValue(-42);
    fixed->SetReadOnly(true);
    // The colour editor lying down.
    auto* colour = new XColorEdit(&form);
    colour->SetParent(&form);
    colour->SetBounds(110, 230, 200, 150);
    colour->SetOrientation(ceHorizontal); // lays out on the next resize
    colour->SetBounds(110, 230, 220, 150);
    colour->SetXColor(XColor(0xC0208040u));
    // The grid with more rows than fit: its bar, the selected row's editor.
    Owner owner;
    owner.values[0] = VarUtils::XVariant(7);
    owner.values[1] = false;
    owner.values[2] = 0.25f;
    auto* grid = new XPropertyEditor(&form);
    grid->SetParent(&form);
    grid->SetBounds(340, 40, 350, 200);
    grid->OnGetFieldValue = MakeClosure(&owner, &Owner::Get);
    grid->OnSetFieldValue = MakeClosure(&owner, &Owner::Set);
    grid->RegisterProperty(u"int", CreateIntProperty);
    grid->RegisterProperty(u"bool", CreateBooleanProperty);
    grid->RegisterProperty(u"float", CreateFloatProperty);
    for (int i = 0; i < 15; ++i)
        grid->AddProperty(i % 3 == 0 ? u"int" : i % 3 == 1 ? u"bool" : u"float",
                          UnicodeString(u"Row " + std::u16string(1, char16_t(u'A' + i))).c_str(), i % 3);
    grid->SetSelectedIndex(4);
    unsigned long window = 0;
    ASSERT_TRUE(ShowForm(form, window));
    real->SetFocus();
    real->SetSelStart(2);
    real->SetSelLength(3);
    Settle();

    // The untouched picture: what the window shows is the form's pixels, and they are the ones
    // checked in.
    const uint32_t ink = Rgb(clBtnText);
    const TPoint upInk = WindowInkCorner(*probe, window, held, ink);
    const TPoint o = held->FormOrigin();
    probe->MoveTo(window, o.x + 5, o.y + 5);
    probe->Button(1, true);
    Settle();
    ASSERT_TRUE(held->Pressed());
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Controls/data/control_states.png", 2, 17, 13));
    // Held down, the caption's ink moves by (1, 1).
    const TPoint downInk = WindowInkCorner(*probe, window, held, ink);
    EXPECT_EQ(downInk.x, upInk.x + 1);
    EXPECT_EQ(downInk.y, upInk.y + 1);
    probe->Button(1, false);
    Settle();
    EXPECT_FALSE(held->Pressed());
    // A disabled caption is engraved: highlight ink one pixel down and right of the shadow ink.
    const TPoint shadow = WindowInkCorner(*probe, window, disabled, Rgb(clBtnShadow));
    ASSERT_GE(shadow.x, 0);
    const TPoint d = disabled->FormOrigin();
    int lit = 0;
    for (int y = shadow.y; y < shadow.y + 12; ++y)
        for (int x = shadow.x; x < shadow.x + 40; ++x)
            if (Covered(probe->ReadPixel(window, d.x + x, d.y + y), Rgb(clBtnShadow)) &&
                Covered(probe->ReadPixel(window, d.x + x + 1, d.y + y + 1), Rgb(clBtnHighlight)))
                ++lit;
    EXPECT_GT(lit, 3);
    // The panel's frame starts at the middle of its caption bar: (2, h) light, (3, h + 1) dark.
    const int h = open->HeaderHeight() / 2;
    const TPoint p = open->FormOrigin();
    EXPECT_EQ(probe->ReadPixel(window, p.x + 2, p.y + h + 10), Rgb(cl3DLight));
    EXPECT_EQ(probe->ReadPixel(window, p.x + 3, p.y + h + 10), Rgb(cl3DDkShadow));
    EXPECT_EQ(probe->ReadPixel(window, p.x + 4, p.y + h), Rgb(cl3DLight));
    EXPECT_EQ(probe->ReadPixel(window, p.x + 4, p.y + h + 1), Rgb(cl3DDkShadow));
    form.Hide();
}
