#include "Platform/Vcl/Menus.h"

#include "Platform/Vcl/ExtCtrls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> g_log;

struct Item
{
    std::string name;
    void Click(TObject*) { g_log.push_back("click " + name); }
};

// Drives the menu while it shows, then checks it closed.
struct MenuScript
{
    std::function<void(TPopupMenuWindow*)> steps;
    void Show(TObject* sender)
    {
        TPopupMenuWindow* window = static_cast<TPopupMenu*>(sender)->Window();
        g_log.push_back("shown at " + std::to_string(window->Left()) + "," + std::to_string(window->Top()));
        steps(window);
        if (window->ModalResult() == mrNone)
        {
            ADD_FAILURE() << "the menu is still open";
            window->SetModalResult(mrCancel);
        }
    }
};

class Swallower : public TGraphicControl
{
public:
    using TGraphicControl::TGraphicControl;

protected:
    void Dispatch(TMessage& Message) override
    {
        TGraphicControl::Dispatch(Message);
        if (Message.Msg == WM_RBUTTONUP)
            Message.Result = 1;
    }
};

LPARAM RowPoint(TPopupMenuWindow* window, int row)
{
    return MAKELPARAM(10, 2 + row * window->RowHeight() + window->RowHeight() / 2);
}
} // namespace

TEST(MenusTest, RightReleaseOpensTheMenuOfTheControlUnderItAndAChoiceClicks)
{
    g_log.clear();
    TForm form(nullptr);
    form.SetBounds(100, 50, 300, 200);
    form.Show();
    TPopupMenu menu(nullptr);
    Item items[] = {{"one"}, {"two"}, {"three"}};
    for (Item& i : items)
    {
        auto* item = new TMenuItem(&menu);
        item->SetCaption(UnicodeString(std::u16string(i.name.begin(), i.name.end())));
        item->OnClick = MakeClosure(&i, &Item::Click);
        menu.Items()->Add(item);
    }
    menu.Items()->Items(2)->SetEnabled(false);
    MenuScript script;
    menu.OnShow = MakeClosure(&script, &MenuScript::Show);
    // A graphic control inside a panel: the release reaches it, and the panel's menu pops up.
    auto* panel = new TWinControl(&form);
    panel->SetParent(&form);
    panel->SetBounds(20, 10, 200, 150);
    panel->SetPopupMenu(&menu);
    auto* bevel = new TBevel(&form);
    bevel->SetParent(panel);
    bevel->SetBounds(10, 10, 50, 50);

    script.steps = [](TPopupMenuWindow* window)
    {
        Vcl::RouteInput(window, WM_MOUSEMOVE, 0, RowPoint(window, 1));
        EXPECT_EQ(window->HotIndex(), 1);
        Vcl::RouteInput(window, WM_LBUTTONDOWN, MK_LBUTTON, RowPoint(window, 1));
        Vcl::RouteInput(window, WM_LBUTTONUP, 0, RowPoint(window, 1));
    };
    Vcl::RouteInput(&form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(45, 30));
    Vcl::RouteInput(&form, WM_RBUTTONUP, 0, MAKELPARAM(45, 30));
    ASSERT_EQ(g_log, (std::vector<std::string>{"shown at 145,80", "click two"}));
    EXPECT_EQ(menu.PopupComponent(), panel);
    EXPECT_EQ(menu.Window(), nullptr);

    // Keys: Escape closes without a choice; arrows and Enter choose, skipping nothing but a
    // disabled row cannot be chosen.
    g_log.clear();
    auto key = [](TPopupMenuWindow* window, WORD k)
    {
        Vcl::RouteInput(window, WM_KEYDOWN, k, 0);
        Vcl::RouteInput(window, WM_KEYUP, k, 0);
    };
    script.steps = [&](TPopupMenuWindow* window) { key(window, VK_ESCAPE); };
    menu.Popup(10, 10);
    script.steps = [&](TPopupMenuWindow* window)
    {
        key(window, VK_UP); // wraps to the last, disabled row
        EXPECT_EQ(window->HotIndex(), 2);
        key(window, VK_RETURN);
        EXPECT_EQ(window->ModalResult(), mrNone);
        key(window, VK_DOWN);
        key(window, VK_RETURN);
    };
    menu.Popup(10, 10);
    EXPECT_EQ(g_log, (std::vector<std::string>{"shown at 10,10", "shown at 10,10", "click one"}));

    // A press on another form closes the menu; a menu near the screen's corner opens inward.
    g_log.clear();
    script.steps = [&](TPopupMenuWindow*) { Vcl::RouteInput(&form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); };
    menu.Popup(Screen->Width - 1, Screen->Height - 1);
    ASSERT_EQ(g_log.size(), 1u);
    EXPECT_NE(g_log[0], "shown at " + std::to_string(Screen->Width - 1) + "," + std::to_string(Screen->Height - 1));
    Vcl::RouteInput(&form, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));

    // A control that swallows its right release gets no menu; a freed menu is forgotten.
    g_log.clear();
    auto* swallower = new Swallower(&form);
    swallower->SetParent(panel);
    swallower->SetBounds(100, 10, 50, 50);
    Vcl::RouteInput(&form, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(130, 30));
    Vcl::RouteInput(&form, WM_RBUTTONUP, 0, MAKELPARAM(130, 30));
    EXPECT_TRUE(g_log.empty());
    {
        TPopupMenu shortLived(nullptr);
        bevel->SetPopupMenu(&shortLived);
    }
    EXPECT_EQ(bevel->PopupMenu(), nullptr);
}

TEST(MenusTest, OnlyTheHotRowTakesTheHighlightWhicheverRowWasHotBefore)
{
    TPopupMenu menu(nullptr);
    // The second row is disabled: it shows greyed and takes no highlight however it is reached.
    for (const char16_t* caption :
         {u"Single", u"Greyed", u"Two side by side", u"Two stacked", u"Three", u"Four"})
    {
        auto* item = new TMenuItem(&menu);
        item->SetCaption(caption);
        item->SetEnabled(menu.Items()->Count() != 1);
        menu.Items()->Add(item);
    }
    const int count = menu.Items()->Count();
    const int disabled = 1;
    const uint32_t navy = Platform::Gdi::ToPixel(ColorToRGB(clHighlight));
    const uint32_t face = Platform::Gdi::ToPixel(ColorToRGB(clBtnFace));
    // Ink of the highlight's text colour (white; smoothed glyphs may stop short of it).
    auto light = [](uint32_t pixel)
    {
        return (pixel & 0xFF) >= 0xC0 && ((pixel >> 8) & 0xFF) >= 0xC0 && ((pixel >> 16) & 0xFF) >= 0xC0;
    };
    const uint32_t black = Platform::Gdi::ToPixel(ColorToRGB(clBtnText));
    ASSERT_NE(navy, face);

    // One row's pixels inside the window's edge, as the last paint left them.
    auto rowPixels = [](TPopupMenuWindow* window, int row)
    {
        std::vector<uint32_t> pixels;
        const int top = 2 + row * window->RowHeight();
        for (int y = top; y < top + window->RowHeight(); ++y)
            for (int x = 2; x < window->ClientWidth() - 2; ++x)
                pixels.push_back(window->Pixels()[y * window->ClientWidth() + x] & 0xFFFFFF);
        return pixels;
    };
    auto repaint = [](TPopupMenuWindow* window)
    {
        window->Invalidate();
        window->PaintDirty();
    };

    MenuScript script;
    menu.OnShow = MakeClosure(&script, &MenuScript::Show);
    script.steps = [&](TPopupMenuWindow* window)
    {
        ASSERT_EQ(window->HotIndex(), -1);
        repaint(window);
        std::vector<std::vector<uint32_t>> plain;
        for (int row = 0; row < count; ++row)
        {
            plain.push_back(rowPixels(window, row));
            EXPECT_EQ(std::count(plain.back().begin(), plain.back().end(), navy), 0) << "row " << row;
        }
        // The first, a middle and the last row in turn, by the pointer as a user moves it, and the
        // first again from the last; then the disabled row by the pointer and by the arrow key.
        struct Move
        {
            int row;
            bool byKey; // the down arrow from the row above, else the pointer
        } moves[] = {{0, false},        {count / 2, false}, {count - 1, false}, {0, false},
                     {disabled, false}, {0, false},         {disabled, true}};
        for (const Move& move : moves)
        {
            if (move.byKey)
                Vcl::RouteInput(window, WM_KEYDOWN, VK_DOWN, 0);
            else
                Vcl::RouteInput(window, WM_MOUSEMOVE, 0, RowPoint(window, move.row));
            ASSERT_EQ(window->HotIndex(), move.row);
            const int hot = move.row == disabled ? -1 : move.row;
            repaint(window);
            for (int row = 0; row < count; ++row)
            {
                const std::vector<uint32_t> seen = rowPixels(window, row);
                const std::vector<uint32_t>& before = plain[static_cast<size_t>(row)];
                size_t differ = 0, navyShown = 0, faceLeft = 0, blackInk = 0;
                for (size_t i = 0; i < seen.size(); ++i)
                {
                    differ += seen[i] != before[i];
                    navyShown += seen[i] == navy;
                    faceLeft += before[i] == face && seen[i] != navy;
                    blackInk += seen[i] == black;
                }
                if (row != hot)
                {
                    EXPECT_EQ(differ, 0u) << "row " << row << " with row " << move.row
                                          << " hot: " << navyShown << " navy pixels";
                    continue;
                }
                // White text on navy: the plain row's background all navy, light ink and no black.
                EXPECT_EQ(faceLeft, 0u) << "hot row " << hot;
                EXPECT_EQ(blackInk, 0u) << "hot row " << hot;
                EXPECT_GT(std::count_if(seen.begin(), seen.end(), light), 0) << "hot row " << hot;
            }
        }
        window->SetModalResult(mrCancel);
    };
    menu.Popup(10, 10);
}

// A menu takes no activation: the form it opened over stays the active form while it shows and
// after it closes, also when another form was shown after that one.
TEST(MenusTest, TheFormAMenuOpensOverStaysTheActiveForm)
{
    TForm owner(nullptr);
    owner.SetBounds(100, 50, 300, 200);
    owner.Show();
    TForm later(nullptr);
    later.SetBounds(500, 50, 100, 100);
    later.Show();
    owner.Perform(WM_ACTIVATE, 1, 0); // as the presenter tells a window that gets the keyboard
    ASSERT_EQ(Screen->ActiveForm(), &owner);
    TPopupMenu menu(nullptr);
    auto* item = new TMenuItem(&menu);
    item->SetCaption(u"Single");
    menu.Items()->Add(item);
    TCustomForm* activeWhileShown = nullptr;
    TCustomForm* activeOnClick = nullptr;
    struct Record
    {
        TCustomForm*& active;
        void Seen(TObject*) { active = Screen->ActiveForm(); }
    } whileShown{activeWhileShown}, onClick{activeOnClick};
    MenuScript script;
    script.steps = [&](TPopupMenuWindow* window)
    {
        whileShown.Seen(nullptr);
        Vcl::RouteInput(window, WM_KEYDOWN, VK_DOWN, 0);
        Vcl::RouteInput(window, WM_KEYDOWN, VK_RETURN, 0);
    };
    menu.OnShow = MakeClosure(&script, &MenuScript::Show);
    item->OnClick = MakeClosure(&onClick, &Record::Seen);
    menu.Popup(120, 70);
    EXPECT_EQ(activeWhileShown, &owner);
    EXPECT_EQ(activeOnClick, &owner);
    EXPECT_EQ(Screen->ActiveForm(), &owner);
    later.Hide();
    owner.Hide();
}
