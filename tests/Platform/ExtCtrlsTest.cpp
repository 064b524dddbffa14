#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

namespace
{
struct MoveCounter
{
    int moves = 0;
    void Moved(TObject*) { ++moves; }
};

void Press(TCustomForm* form, UINT message, WPARAM keys, int x, int y)
{
    Vcl::RouteInput(form, message, keys, MAKELPARAM(x, y));
}
} // namespace

TEST(ExtCtrlsTest, SplitterDragResizesTheControlBeforeItWithinItsLimits)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    struct Case
    {
        TAlign align;
        bool vertical;
    };
    for (Case c : {Case{alLeft, true}, Case{alTop, false}, Case{alRight, true}, Case{alBottom, false}})
    {
        SCOPED_TRACE(c.align);
        auto* panel = new TWinControl(&form);
        panel->SetParent(&form);
        panel->SetAlign(alClient);
        auto* before = new TWinControl(&form);
        before->SetParent(panel);
        before->SetBounds(0, 0, 100, 100);
        before->SetAlign(c.align);
        auto* splitter = new TSplitter(&form);
        splitter->SetAlign(c.align);
        splitter->SetBounds(0, 0, 3, 3);
        splitter->SetParent(panel);
        auto* rest = new TWinControl(&form);
        rest->SetParent(panel);
        rest->SetAlign(alClient);
        MoveCounter counter;
        splitter->OnMoved = MakeClosure(&counter, &MoveCounter::Moved);
        auto size = [&] { return c.vertical ? before->Width() : before->Height(); };
        // Positive steps grow the control of a left or top splitter, shrink a right or bottom one's.
        int sign = (c.align == alLeft || c.align == alTop) ? 1 : -1;
        int extent = c.vertical ? 300 : 200;
        auto point = [&](int along) { return c.vertical ? MAKELPARAM(along, 50) : MAKELPARAM(50, along); };
        int at = c.vertical ? splitter->Left() + 1 : splitter->Top() + 1;
        auto route = [&](UINT message, WPARAM keys, int along)
        { Vcl::RouteInput(&form, message, keys, point(along)); };
        route(WM_LBUTTONDOWN, MK_LBUTTON, at);
        EXPECT_EQ(splitter->ResizedControl(), before);
        route(WM_MOUSEMOVE, MK_LBUTTON, at + 20 * sign);
        EXPECT_EQ(size(), 120);
        EXPECT_EQ(counter.moves, 1);
        // Far past either end: MinSize, and MinSize left for the client.
        route(WM_MOUSEMOVE, MK_LBUTTON, at - 500 * sign);
        EXPECT_EQ(size(), 30);
        route(WM_MOUSEMOVE, MK_LBUTTON, at + 500 * sign);
        EXPECT_EQ(size(), extent - 30 - 3);
        EXPECT_EQ(c.vertical ? rest->Width() : rest->Height(), 30);
        // The same position again changes nothing and fires nothing.
        int moves = counter.moves;
        route(WM_MOUSEMOVE, MK_LBUTTON, at + 500 * sign);
        EXPECT_EQ(counter.moves, moves);
        route(WM_LBUTTONUP, 0, at + 500 * sign);
        // Without a press a move does nothing.
        route(WM_MOUSEMOVE, 0, 10);
        EXPECT_EQ(size(), extent - 33);
        delete panel;
    }
}

TEST(ExtCtrlsTest, SplitterDragStaysWithItAndSurvivesItsControlGoing)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* left = new TWinControl(&form);
    left->SetParent(&form);
    left->SetBounds(0, 0, 100, 200);
    left->SetAlign(alLeft);
    auto* splitter = new TSplitter(&form);
    splitter->SetParent(&form);
    auto* right = new TWinControl(&form);
    right->SetParent(&form);
    right->SetAlign(alClient);
    int rightMoves = 0;
    struct Count
    {
        int* n;
        void Move(TObject*, TShiftState, int, int) { ++*n; }
    } count{&rightMoves};
    right->OnMouseMove = MakeClosure(&count, &Count::Move);
    ASSERT_EQ(splitter->Left(), 100);
    Press(&form, WM_LBUTTONDOWN, MK_LBUTTON, 101, 10);
    // Over the control on the right, the drag goes on: the splitter holds the mouse.
    Press(&form, WM_MOUSEMOVE, MK_LBUTTON, 161, 10);
    EXPECT_EQ(left->Width(), 160);
    EXPECT_EQ(rightMoves, 0);
    // The control being resized goes away in mid-drag: the next step does nothing.
    delete left;
    Press(&form, WM_MOUSEMOVE, MK_LBUTTON, 181, 10);
    EXPECT_EQ(splitter->ResizedControl(), nullptr);
    Press(&form, WM_LBUTTONUP, 0, 181, 10);
    Press(&form, WM_MOUSEMOVE, 0, 181, 10);
    EXPECT_EQ(rightMoves, 1);
}
