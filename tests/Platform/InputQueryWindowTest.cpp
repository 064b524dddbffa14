// The input query box in a real window on a private X server: typed text comes back on Enter or
// OK, Escape, Cancel and the close button give Cancel and leave the value as it was.
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/ModalBoxDriver.h"
#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
class InputQueryWindowTest : public PresenterWindowTest
{
};
} // namespace

TEST_F(InputQueryWindowTest, TypedTextComesBackOnOkAndCancelKeepsTheValue)
{
    struct Case
    {
        const char* name;
        std::function<void(PresenterWindowTest*, TInputQueryForm*, unsigned long)> act;
        bool ok;
        const char16_t* value;
    };
    auto type = [](PresenterWindowTest* t)
    {
        // The value is selected: typing replaces it.
        t->probe->Key("W", "Shift_L");
        t->probe->Key("a");
        t->probe->Key("l");
        t->probe->Key("k");
    };
    auto click = [](PresenterWindowTest* t, unsigned long window, TButton* button)
    { t->probe->ClickAt(window, button->Left() + 10, button->Top() + 10); };
    const Case cases[] = {
        {"typed and Enter", [&](PresenterWindowTest* t, TInputQueryForm*, unsigned long) { type(t); t->probe->Key("Return"); }, true, u"Walk"},
        {"typed and OK", [&](PresenterWindowTest* t, TInputQueryForm* box, unsigned long w) { type(t); t->Settle(); click(t, w, box->OkButton()); }, true, u"Walk"},
        {"typed and Escape", [&](PresenterWindowTest* t, TInputQueryForm*, unsigned long) { type(t); t->probe->Key("Escape"); }, false, u"Old"},
        {"typed and Cancel", [&](PresenterWindowTest* t, TInputQueryForm* box, unsigned long w) { type(t); t->Settle(); click(t, w, box->CancelButton()); }, false, u"Old"},
        {"typed and closed", [&](PresenterWindowTest* t, TInputQueryForm*, unsigned long w) { type(t); t->Settle(); t->probe->RequestClose(w); }, false, u"Old"},
        {"Enter at once", [&](PresenterWindowTest* t, TInputQueryForm*, unsigned long) { t->probe->Key("Return"); }, true, u"Old"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TTimer timer(nullptr);
        timer.SetInterval(20);
        // Once the box is on the screen with the keyboard in its edit.
        ModalBoxDriver<TInputQueryForm> driver;
        UnicodeString shownText, shownCaption;
        driver.ready = [&](TInputQueryForm* box, unsigned long window)
        { return probe->Viewable(window) && probe->HasFocus(window) && box->Edit()->Focused(); };
        driver.act = [&](TInputQueryForm* box, unsigned long window)
        {
            shownText = box->Edit()->Text();
            shownCaption = box->Caption();
            c.act(this, box, window);
        };
        driver.timer = &timer;
        timer.OnTimer = MakeClosure(&driver, &ModalBoxDriver<TInputQueryForm>::Tick);
        UnicodeString value = u"Old";
        bool ok = InputQuery(u"Новая анимация", u"Имя:", value);
        timer.SetEnabled(false);
        EXPECT_TRUE(driver.acted);
        EXPECT_EQ(shownText, u"Old");
        EXPECT_EQ(shownCaption, u"Новая анимация");
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(value, c.value);
    }
}
