// The input query box in a real window on a private X server: typed text comes back on Enter or
// OK, Escape, Cancel and the close button give Cancel and leave the value as it was.
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/Dialogs.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/PresenterWindowTest.h"
#include "tests/support/PumpUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace
{
class InputQueryWindowTest : public PresenterWindowTest
{
};

// Drives the box from a timer inside its modal loop, once it is on the screen with the keyboard.
struct Driver
{
    PresenterWindowTest* test = nullptr;
    std::function<void(TInputQueryForm*, unsigned long)> act;
    TTimer* timer = nullptr;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool acted = false;
    UnicodeString shownText;
    UnicodeString shownCaption;
    void Tick(TObject*)
    {
        auto* box = dynamic_cast<TInputQueryForm*>(Screen->ActiveForm());
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10))
        {
            ADD_FAILURE() << "the box never answered";
            timer->SetEnabled(false);
            if (box)
                box->SetModalResult(mrAbort);
            return;
        }
        unsigned long window = box ? Vcl::NativeWindowOf(box) : 0;
        if (acted || !box || !test->probe->Viewable(window) || !test->probe->HasFocus(window) ||
            box->PaintCount() == 0 || !box->Edit()->Focused())
            return;
        acted = true;
        shownText = box->Edit()->Text();
        shownCaption = box->Caption();
        act(box, window);
    }
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
        Driver driver;
        driver.test = this;
        driver.act = [&](TInputQueryForm* box, unsigned long window) { c.act(this, box, window); };
        driver.timer = &timer;
        timer.OnTimer = MakeClosure(&driver, &Driver::Tick);
        UnicodeString value = u"Old";
        bool ok = InputQuery(u"Новая анимация", u"Имя:", value);
        timer.SetEnabled(false);
        EXPECT_TRUE(driver.acted);
        EXPECT_EQ(driver.shownText, u"Old");
        EXPECT_EQ(driver.shownCaption, u"Новая анимация");
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(value, c.value);
    }
}
