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

#include "tests/support/PumpUntil.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/VirtualDisplay.h"
#include "tests/support/XProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>

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

class ControlsWindowTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << server.Error();
        probe = std::make_unique<XProbe>(server.Name());
        ASSERT_TRUE(probe->Open());
        Platform::ResetKeyStates();
        ASSERT_TRUE(Vcl::InstallDesktopPresenter());
    }
    void TearDown() override
    {
        Vcl::RemoveDesktopPresenter();
        Platform::ResetKeyStates();
        probe.reset();
    }

    void Settle()
    {
        probe->Sync();
        for (int i = 0; i < 20; ++i)
        {
            Application->ProcessMessages();
            X11::WaitForEvents(5);
        }
    }

    VirtualDisplay server;
    std::unique_ptr<XProbe> probe;
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
    owner.values[0] = VarUtils::XVariant(42);
    owner.values[1] = true;
    owner.values[2] = 2.5f;
    auto* grid = new XPropertyEditor(&form);
    grid->SetParent(&form);
    grid->SetBounds(385, 5, 250, 320);
    grid->OnGetFieldValue = MakeClosure(&owner, &Owner::Get);
    grid->OnSetFieldValue = MakeClosure(&owner, &Owner::Set);
    grid->RegisterProperty(u"int", CreateIntProperty);
    grid->RegisterProperty(u"bool", CreateBooleanProperty);
    grid->RegisterProperty(u"float", CreateFloatProperty);
    grid->AddProperty(u"int", u"Count", 0);
    grid->AddProperty(u"bool", u"Visible", 1);
    grid->AddProperty(u"float", u"Scale", 2);
    grid->SetSelectedIndex(0);
    form.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window); }));
    Settle();

    // What the window shows is the form's picture, and the picture is the checked-in one.
    int width = form.ClientWidth(), height = form.ClientHeight();
    std::vector<uint32_t> pixels(form.Pixels(), form.Pixels() + width * height);
    for (int y = 3; y < height; y += 37)
        for (int x = 3; x < width; x += 41)
            ASSERT_EQ(probe->ReadPixel(window, x, y), pixels[static_cast<size_t>(y * width + x)]) << x << "," << y;
    EXPECT_EQ(ReferenceImage::Compare("tests/Controls/data/controls.png", pixels, static_cast<uint32_t>(width),
                                      static_cast<uint32_t>(height), 8),
              "");

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
    EXPECT_EQ(real->Text(), u"3.250"); // the typed comma became the point; ".0" was there already
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
    std::mt19937 random(29);
    for (int i = 0; i < 1000; ++i)
    {
        int x = static_cast<int>(random() % static_cast<unsigned>(width));
        int y = static_cast<int>(random() % static_cast<unsigned>(height));
        switch (random() % 4)
        {
        case 0:
            probe->ClickAt(window, x, y);
            break;
        case 1:
            probe->MoveTo(window, x, y);
            break;
        case 2:
            probe->Key(random() % 2 ? "Down" : "Prior");
            break;
        default:
            probe->Key(random() % 2 ? "a" : "1");
            break;
        }
        if (i % 50 == 0)
            Settle();
    }
    Settle();
    Vcl::SetColorDialogHook(previousHook);
    EXPECT_TRUE(form.Visible());
    form.Hide();
}
