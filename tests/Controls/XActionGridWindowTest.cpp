// Action grids in real windows on a private X server: shown by the presenter, driven by XTest
// input (clicks, drags between grids and forms, hovering for hints), and compared as a picture.
#include "Controls/XActionGrid.h"
#include "Platform/Vcl/DesktopPresenter.h"
#include "Platform/Vcl/HintWindow.h"
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
constexpr int kCell = 40;
constexpr std::chrono::milliseconds kSoon(1000);

// Four 32 x 32 images on magenta (clear): a red disc, a green square, a blue triangle, a yellow
// cross, each with a dark outline so the engraved look has a shape to show.
TImageList* MakeImages(TComponent* owner)
{
    auto* images = new TImageList(owner);
    images->SetWidth(32);
    images->SetHeight(32);
    TBitmap strip;
    strip.SetSize(128, 32);
    const uint32_t fills[] = {0xD02020u, 0x20A020u, 0x2040D0u, 0xE0C000u};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x)
        {
            int image = x / 32, u = x % 32 - 16, v = y - 16;
            bool inside = false;
            switch (image)
            {
            case 0: inside = u * u + v * v < 13 * 13; break;
            case 1: inside = std::abs(u) < 11 && std::abs(v) < 11; break;
            case 2: inside = v > -12 && v < 12 && std::abs(u) * 2 < v + 12; break;
            default: inside = (std::abs(u) < 4 && std::abs(v) < 13) || (std::abs(v) < 4 && std::abs(u) < 13); break;
            }
            strip.ScanLine(y)[x] = inside ? fills[image] : 0xFF00FFu;
        }
    images->AddMasked(&strip, clFuchsia);
    return images;
}

struct Runs
{
    int count = 0;
    void Execute(XAction*) { ++count; }
};

struct Tips
{
    int asked = 0;
    void Tip(XActionGrid*, XAction* action, UnicodeString& tip)
    {
        ++asked;
        tip = action->Hint() + (action->Enabled() ? u" (ready)" : u" (off)");
    }
};

class XActionGridWindowTest : public PresenterWindowTest
{
public:
    void TearDown() override
    {
        Application->CancelHint();
        PresenterWindowTest::TearDown();
    }

    // A form placed where its bounds say (an undecorated window), so that screen points of forms
    // and of the X server agree.
    static void Place(TForm& form, int left, int top, int width, int height)
    {
        form.SetWindowStyle(form.WindowStyle() | WS_POPUP);
        form.SetBounds(left, top, width, height);
        form.SetColor(clBtnFace);
    }

    static XActionGrid* MakeGrid(TForm& form, int left, int top, TCustomImageList* images)
    {
        auto* grid = new XActionGrid(&form);
        grid->SetParent(&form);
        grid->SetBounds(left, top, 4 * kCell, 2 * kCell);
        grid->SetImages(images);
        return grid;
    }

    // The centre of a grid's cell in its form's client coordinates.
    static TPoint CellCentre(XActionGrid* grid, int index)
    {
        TPoint origin = grid->FormOrigin();
        return TPoint(origin.x + (index % 4) * kCell + kCell / 2, origin.y + (index / 4) * kCell + kCell / 2);
    }

    // Presses on a cell and moves in steps to a point of `window`, then lets go.
    void Drag(unsigned long from, TPoint start, unsigned long to, TPoint end)
    {
        probe->MoveTo(from, start.x, start.y);
        Settle();
        probe->Button(1, true);
        Settle();
        for (int step = 1; step <= 4; ++step)
        {
            probe->MoveTo(from, start.x + step * 3, start.y + step);
            Settle();
        }
        probe->MoveTo(to, end.x, end.y);
        Settle();
        probe->MoveTo(to, end.x + 1, end.y);
        Settle();
        probe->Button(1, false);
        Settle();
    }

};
} // namespace

TEST_F(XActionGridWindowTest, CellsShowClickDragBetweenFormsAndHint)
{
    TForm form(nullptr), second(nullptr);
    form.SetCaption(u"Actions");
    second.SetCaption(u"More actions");
    Place(form, 40, 40, 400, 110);
    Place(second, 480, 40, 180, 100);
    TImageList* images = MakeImages(&form);
    XActionGrid* grid = MakeGrid(form, 10, 10, images);
    XActionGrid* near = MakeGrid(form, 220, 10, images);
    XActionGrid* far = MakeGrid(second, 10, 10, images);

    // Plain, pressed, disabled, three in progress (25, 50, 90 %), empty, plain.
    XAction actions[7];
    Runs runs;
    const char16_t* hints[] = {u"Fire", u"Shield", u"Heal", u"Blink", u"Fire again", u"Jump", u"Rest"};
    for (int i = 0; i < 7; ++i)
    {
        actions[i].SetImageIndex(i % 4);
        actions[i].SetHint(hints[i]);
        actions[i].OnExecute = MakeClosure(&runs, &Runs::Execute);
    }
    actions[4].SetImageIndex(0);
    actions[1].SetDown(true);
    actions[2].SetEnabled(false);
    actions[3].SetProgress(0, 100, 25);
    actions[4].SetProgress(0, 100, 50);
    actions[5].SetProgress(0, 100, 90);
    for (int i = 0; i < 6; ++i)
        grid->setAction(i, &actions[i]);
    grid->setAction(7, &actions[6]);

    form.Show();
    second.Show();
    unsigned long window = Vcl::NativeWindowOf(&form);
    unsigned long other = Vcl::NativeWindowOf(&second);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(window) && probe->Viewable(other); }));
    Settle();

    // The window shows the form's picture, and the picture is the checked-in one.
    ASSERT_NO_FATAL_FAILURE(ExpectFormPicture(window, form, "tests/Controls/data/action_grid.png", 2, 17, 13));
    const int width = form.ClientWidth(), height = form.ClientHeight();
    // Computed: the 50 % cell is the plain cell of the same image, darkened from row 20 down.
    TPoint plain = grid->FormOrigin();
    TPoint half(plain.x + 0 * kCell, plain.y + kCell); // cell 4
    for (int y = 0; y < kCell; y += 3)
        for (int x = 0; x < kCell; x += 3)
        {
            uint32_t p = probe->ReadPixel(window, plain.x + x, plain.y + y);
            uint32_t expected = y < 20 ? p : (p & 0x888888u);
            ASSERT_EQ(probe->ReadPixel(window, half.x + x, half.y + y), expected) << x << "," << y;
        }

    // A click: pushed while held (its corner as the pressed cell's), run once on release.
    TPoint c0 = CellCentre(grid, 0);
    TPoint pressedCorner = CellCentre(grid, 1);
    uint32_t upCorner = probe->ReadPixel(window, c0.x - 19, c0.y - 19);
    probe->MoveTo(window, c0.x, c0.y);
    Settle();
    probe->Button(1, true);
    Settle();
    EXPECT_TRUE(actions[0].Down());
    EXPECT_EQ(probe->ReadPixel(window, c0.x - 19, c0.y - 19), probe->ReadPixel(window, pressedCorner.x - 19, pressedCorner.y - 19));
    EXPECT_NE(probe->ReadPixel(window, c0.x - 19, c0.y - 19), upCorner);
    EXPECT_EQ(runs.count, 0);
    probe->Button(1, false);
    Settle();
    EXPECT_FALSE(actions[0].Down());
    EXPECT_EQ(runs.count, 1);
    EXPECT_EQ(probe->ReadPixel(window, c0.x - 19, c0.y - 19), upCorner);

    // Dragged onto the other grid of the form, and onto the grid of the second form: copied.
    Drag(window, CellCentre(grid, 7), window, CellCentre(near, 5));
    EXPECT_EQ(near->getAction(5), &actions[6]);
    EXPECT_EQ(grid->getAction(7), &actions[6]);
    Drag(window, CellCentre(grid, 0), other, CellCentre(far, 2));
    EXPECT_EQ(far->getAction(2), &actions[0]);
    EXPECT_EQ(grid->getAction(0), &actions[0]);
    EXPECT_EQ(runs.count, 1);
    EXPECT_EQ(actions[0].UseCount(far), 1u);

    // Hovering with ShowHint: the hint, as OnInfoTip makes it, below the pointer; leaving hides it.
    grid->SetShowHint(true);
    Tips tips;
    grid->OnInfoTip = MakeClosure(&tips, &Tips::Tip);
    TPoint c3 = CellCentre(grid, 3);
    probe->MoveTo(window, c3.x, c3.y);
    Settle();
    probe->MoveTo(window, c3.x + 1, c3.y);
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return Application->HintWindow() && Application->HintWindow()->Visible(); }));
    THintWindow* hint = Application->HintWindow();
    unsigned long hintWindow = Vcl::NativeWindowOf(hint);
    ASSERT_TRUE(PumpUntil([&] { return probe->Viewable(hintWindow); }));
    Settle();
    EXPECT_GE(tips.asked, 1);
    EXPECT_EQ(hint->Caption(), u"Blink (ready)");
    EXPECT_EQ(hint->Left(), form.Left() + c3.x + 1);
    EXPECT_GT(hint->Top(), form.Top() + c3.y);
    EXPECT_EQ(probe->ReadPixel(hintWindow, 1, hint->Height() / 2), Platform::Gdi::ToPixel(ColorToRGB(clInfoBk)));
    EXPECT_FALSE(probe->HasFocus(hintWindow)); // the keyboard stays with the form
    probe->MoveTo(window, CellCentre(grid, 6).x, CellCentre(grid, 6).y); // the empty cell
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return !hint->Visible(); }, kSoon)); // well before the hide pause
    probe->MoveTo(window, c3.x, c3.y);
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return hint->Visible(); }));
    probe->MoveTo(window, 380, 100); // off the grid
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return !hint->Visible(); }, kSoon)); // well before the hide pause
    probe->MoveTo(window, c3.x, c3.y);
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return hint->Visible(); }));
    probe->MoveTo(window, -30, -30); // out of the window, onto the bare screen
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return !hint->Visible(); }, kSoon)); // well before the hide pause

    // The image list freed while its hint shows: the grid forgets it and draws without images.
    probe->MoveTo(window, c3.x, c3.y);
    probe->Sync();
    ASSERT_TRUE(PumpUntil([&] { return hint->Visible(); }));
    delete images;
    Settle();
    EXPECT_EQ(grid->Images(), nullptr);
    EXPECT_EQ(far->Images(), nullptr);

    // An action destroyed mid-drag: the drag carries nothing and drops nothing.
    auto* doomed = new XAction;
    grid->setAction(6, doomed);
    TPoint c6 = CellCentre(grid, 6);
    probe->MoveTo(window, c6.x, c6.y);
    Settle();
    probe->Button(1, true);
    Settle();
    probe->MoveTo(window, c6.x + 8, c6.y);
    Settle();
    ASSERT_EQ(grid->DraggedAction(), doomed);
    delete doomed;
    probe->MoveTo(window, CellCentre(near, 0).x, CellCentre(near, 0).y);
    Settle();
    probe->Button(1, false);
    Settle();
    EXPECT_EQ(near->getAction(0), nullptr);
    EXPECT_EQ(grid->getAction(6), nullptr);

    // Random input over both windows never breaks anything.
    std::mt19937 random(32);
    bool held = false;
    for (int i = 0; i < 1000; ++i)
    {
        unsigned long target = random() % 3 ? window : other;
        int w = target == window ? width : second.ClientWidth();
        int h = target == window ? height : second.ClientHeight();
        int x = static_cast<int>(random() % static_cast<unsigned>(w));
        int y = static_cast<int>(random() % static_cast<unsigned>(h));
        switch (random() % 6)
        {
        case 0:
            probe->ClickAt(target, x, y);
            break;
        case 1:
        case 2:
            probe->MoveTo(target, x, y);
            break;
        case 3:
            probe->Button(1, held = !held);
            break;
        case 4:
            probe->Key("Escape");
            break;
        default:
            actions[random() % 7].SetProgress(0, 10, static_cast<int>(random() % 12));
            break;
        }
        if (i % 50 == 0)
            Settle();
    }
    if (held)
        probe->Button(1, false);
    Settle();
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(second.Visible());
    EXPECT_EQ(DragObject(), nullptr);
    form.Hide();
    second.Hide();
}
