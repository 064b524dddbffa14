#include "Controls/XStdButton.h"

#include "tests/Controls/FormPixels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace
{
// The left-most column and top-most row of the text ink inside the button: pixels at least half
// covered by `ink` over the face (smoothed text need not cover any pixel whole).
TPoint InkCorner(FormPixels& screen, const XStdButton* button, uint32_t ink)
{
    TPoint corner(-1, -1);
    screen.At(0, 0);
    const int face = (FormPixels::Of(clBtnFace) >> 8) & 0xFF, full = (ink >> 8) & 0xFF;
    for (int y = button->Top() + 3; y < button->Top() + button->Height() - 3; ++y)
        for (int x = button->Left() + 3; x < button->Left() + button->Width() - 3; ++x)
            if (2 * std::abs(face - static_cast<int>((screen.Peek(x, y) >> 8) & 0xFF)) >=
                std::abs(face - full))
            {
                if (corner.x < 0 || x < corner.x)
                    corner.x = x;
                if (corner.y < 0 || y < corner.y)
                    corner.y = y;
            }
    return corner;
}

struct Events
{
    XStdButton* button;
    std::vector<std::string> seen;
    void Click(TObject*) { seen.push_back(button->Down() ? "click:down" : "click:up"); }
    void Double(TObject*) { seen.push_back("double"); }
    void Move(TObject*, TShiftState, int, int) { seen.push_back("move"); }
};
} // namespace

TEST(XStdButtonTest, DownOnlyLatchesInCheckStyle)
{
    XStdButton button(nullptr);
    EXPECT_EQ(button.Width(), 75);
    EXPECT_EQ(button.Height(), 25);
    EXPECT_TRUE(button.TabStop());
    EXPECT_FALSE(button.ControlStyle().Contains(csDoubleClicks));
    EXPECT_TRUE(button.ControlStyle().Contains(csOpaque));
    button.SetDown(true);
    EXPECT_FALSE(button.Down());
    button.SetButtonStyle(xbsCheckButton);
    button.SetDown(true);
    EXPECT_TRUE(button.Down());
    button.SetButtonStyle(xbsButton);
    EXPECT_FALSE(button.Down());
}

TEST(XStdButtonTest, ClicksToggleHandTheResultToTheFormAndNeverDoubleClick)
{
    FormPixels screen;
    auto* button = new XStdButton(&screen.form);
    button->SetParent(&screen.form);
    button->SetBounds(10, 10, 75, 25);
    button->SetButtonStyle(xbsCheckButton);
    Events log{button, {}};
    auto& events = log.seen;
    button->OnClick = MakeClosure(&log, &Events::Click);
    button->OnDblClick = MakeClosure(&log, &Events::Double);
    button->OnMouseMove = MakeClosure(&log, &Events::Move);
    screen.form.SetModalResult(mrOk);
    screen.Down(20, 20);
    EXPECT_TRUE(button->Down()); // toggled on the press, before the click
    EXPECT_TRUE(button->Pressed());
    screen.Move(21, 20);
    screen.Up(21, 20);
    EXPECT_FALSE(button->Pressed());
    EXPECT_EQ(screen.form.ModalResult(), 0); // 0 is handed over as well
    Vcl::RouteInput(&screen.form, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(21, 20));
    screen.Up(21, 20);
    EXPECT_EQ(events, (std::vector<std::string>{"move", "click:down", "click:up"}));
    // No keyboard activation.
    button->SetFocus();
    screen.Key(VK_SPACE);
    screen.Key(VK_RETURN);
    EXPECT_EQ(events.size(), 3u);
    button->SetModalResult(mrCancel);
    screen.Click(20, 20);
    EXPECT_EQ(screen.form.ModalResult(), mrCancel);
    // Designing: the mouse leaves the state alone.
    bool down = button->Down();
    button->SetDesigning(true);
    screen.Down(20, 20);
    EXPECT_EQ(button->Down(), down);
    EXPECT_FALSE(button->Pressed());
    screen.Up(20, 20);
}

TEST(XStdButtonTest, PushedCaptionMovesAndDisabledCaptionIsEngraved)
{
    FormPixels screen;
    auto* button = new XStdButton(&screen.form);
    button->SetParent(&screen.form);
    button->SetBounds(10, 10, 80, 30);
    button->SetCaption(u"Apply");
    uint32_t ink = FormPixels::Of(clBlack);
    TPoint normal = InkCorner(screen, button, ink);
    ASSERT_GE(normal.x, 0);
    // The frame is the platform's raised button.
    EXPECT_EQ(screen.At(10, 10), FormPixels::Of(clBtnHighlight));
    EXPECT_EQ(screen.At(89, 39), FormPixels::Of(cl3DDkShadow));
    screen.Down(15, 15);
    TPoint pushed = InkCorner(screen, button, ink);
    EXPECT_EQ(pushed.x, normal.x + 1);
    EXPECT_EQ(pushed.y, normal.y + 1);
    screen.Up(15, 15);
    button->SetEnabled(false);
    TPoint shadow = InkCorner(screen, button, FormPixels::Of(clBtnShadow));
    EXPECT_EQ(shadow, normal);
    // The highlight ink lies one pixel down and right of the shadow ink: what shows of it has
    // shadow ink up and left of it.
    int highlights = 0;
    uint32_t dark = FormPixels::Of(clBtnShadow);
    for (int y = 14; y < 36; ++y)
        for (int x = 14; x < 86; ++x)
            if (((screen.Peek(x, y) >> 8) & 0xFF) >= 0xF0) // nearly all highlight
            {
                ++highlights;
                // Text is smoothed: the shadow's edge pixels blend into the face.
                uint32_t behind = screen.Peek(x - 1, y - 1);
                EXPECT_LT(behind & 0xFF, ((dark & 0xFF) + 0xD0) / 2) << x << "," << y;
            }
    EXPECT_GT(highlights, 5);
    // A disabled check button still shows Down pushed.
    button->SetButtonStyle(xbsCheckButton);
    button->SetDown(true);
    TPoint downShadow = InkCorner(screen, button, FormPixels::Of(clBtnShadow));
    EXPECT_EQ(downShadow.x, normal.x + 1);
}
