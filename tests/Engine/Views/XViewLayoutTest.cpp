#include "Engine/Views/XViewLayout.h"

#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
// A viewport stand-in that notes every size it is given.
class SizeNotes : public TWinControl
{
public:
    using TWinControl::TWinControl;
    std::vector<std::pair<int, int>> sizes;

protected:
    void Resize() override
    {
        TWinControl::Resize();
        sizes.emplace_back(Width(), Height());
    }
};

// A form standing in for the view, with the ten children in their fixed order.
struct Host
{
    TForm form{nullptr};
    TWinControl* c[2];
    TControl* v[4];
    TSplitter* sp[4];
    std::unique_ptr<XViewLayout> layout;

    Host(int width, int height)
    {
        form.SetBounds(0, 0, width, height);
        for (auto*& x : c)
            x = new TWinControl(&form);
        for (auto*& x : v)
            x = new SizeNotes(&form);
        for (auto*& x : sp)
        {
            x = new TSplitter(&form);
            x->SetAlign(alNone);
        }
        for (int i = 0; i < 10; ++i)
        {
            Child(i)->SetParent(&form);
            Child(i)->Hide();
        }
        layout = std::make_unique<XViewLayout>(&form, c[0], c[1], v, sp);
        for (TSplitter* s : sp)
            s->OnMoved = MakeClosure(layout.get(), &XViewLayout::SplitterMoved);
        form.OnResize = MakeClosure(this, &Host::Resized);
        form.HandleNeeded(); // a form reports resizes once its window exists
    }
    void Resized(TObject*) { layout->Resize(); }
    TControl* Child(int i) const
    {
        if (i < 2)
            return c[i];
        if (i < 6)
            return v[i - 2];
        return sp[i - 6];
    }
};

const char* const kNames[] = {"C0", "C1", "V0", "V1", "V2", "V3", "SP0", "SP1", "SP2", "SP3"};

struct Placed
{
    int child;  // 0..9 as kNames
    int parent; // -1 the view, 0 C0, 1 C1
    TRect bounds;
};

TRect B(int l, int t, int w, int h)
{
    return TRect(l, t, l + w, t + h);
}
} // namespace

TEST(XViewLayoutTest, EveryLayoutPlacesItsControlsAt300By200)
{
    const std::vector<Placed> cols = {{0, -1, B(0, 0, 148, 200)}, {6, -1, B(148, 0, 3, 200)}, {1, -1, B(151, 0, 149, 200)}};
    const std::vector<Placed> rows = {{0, -1, B(0, 0, 300, 98)}, {6, -1, B(0, 98, 300, 3)}, {1, -1, B(0, 101, 300, 99)}};
    auto with = [](std::vector<Placed> a, const std::vector<Placed>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::vector<Placed>> layouts = {
        {{0, -1, B(0, 0, 300, 200)}, {2, 0, B(0, 0, 300, 200)}},
        with(cols, {{2, 0, B(0, 0, 148, 200)}, {3, 1, B(0, 0, 149, 200)}}),
        with(rows, {{2, 0, B(0, 0, 300, 98)}, {3, 1, B(0, 0, 300, 99)}}),
        with(cols, {{2, 0, B(0, 0, 148, 98)}, {7, 0, B(0, 98, 148, 3)}, {3, 0, B(0, 101, 148, 99)}, {4, 1, B(0, 0, 149, 200)}}),
        with(cols, {{2, 0, B(0, 0, 148, 200)}, {3, 1, B(0, 0, 149, 98)}, {7, 1, B(0, 98, 149, 3)}, {4, 1, B(0, 101, 149, 99)}}),
        with(rows, {{2, 0, B(0, 0, 148, 98)}, {7, 0, B(148, 0, 3, 98)}, {3, 0, B(151, 0, 149, 98)}, {4, 1, B(0, 0, 300, 99)}}),
        with(rows, {{2, 0, B(0, 0, 300, 98)}, {3, 1, B(0, 0, 148, 99)}, {7, 1, B(148, 0, 3, 99)}, {4, 1, B(151, 0, 149, 99)}}),
        {{0, -1, B(0, 0, 99, 200)}, {6, -1, B(99, 0, 3, 200)}, {1, -1, B(102, 0, 198, 200)},
         {2, 0, B(0, 0, 99, 64)}, {7, 0, B(0, 64, 99, 3)}, {3, 0, B(0, 67, 99, 64)}, {8, 0, B(0, 131, 99, 3)},
         {4, 0, B(0, 134, 99, 66)}, {5, 1, B(0, 0, 198, 200)}},
        {{0, -1, B(0, 0, 198, 200)}, {6, -1, B(198, 0, 3, 200)}, {1, -1, B(201, 0, 99, 200)}, {2, 0, B(0, 0, 198, 200)},
         {3, 1, B(0, 0, 99, 64)}, {7, 1, B(0, 64, 99, 3)}, {4, 1, B(0, 67, 99, 64)}, {8, 1, B(0, 131, 99, 3)},
         {5, 1, B(0, 134, 99, 66)}},
        {{0, -1, B(0, 0, 300, 64)}, {6, -1, B(0, 64, 300, 3)}, {1, -1, B(0, 67, 300, 133)},
         {2, 0, B(0, 0, 98, 64)}, {7, 0, B(98, 0, 3, 64)}, {3, 0, B(101, 0, 98, 64)}, {8, 0, B(199, 0, 3, 64)},
         {4, 0, B(202, 0, 98, 64)}, {5, 1, B(0, 0, 300, 133)}},
        {{0, -1, B(0, 0, 300, 129)}, {6, -1, B(0, 129, 300, 3)}, {1, -1, B(0, 132, 300, 68)}, {2, 0, B(0, 0, 300, 129)},
         {3, 1, B(0, 0, 98, 68)}, {7, 1, B(98, 0, 3, 68)}, {4, 1, B(101, 0, 98, 68)}, {8, 1, B(199, 0, 3, 68)},
         {5, 1, B(202, 0, 98, 68)}},
        with(cols, {{2, 0, B(0, 0, 148, 98)}, {7, 0, B(0, 98, 148, 3)}, {4, 0, B(0, 101, 148, 99)},
                    {3, 1, B(0, 0, 149, 98)}, {8, 1, B(0, 98, 149, 3)}, {5, 1, B(0, 101, 149, 99)}}),
    };
    Host host(300, 200);
    // Each layout from every earlier one: the previous arrangement leaves nothing behind.
    for (int from : {11, 7, 0})
    {
        for (int n = 0; n <= 13; ++n)
        {
            host.layout->Apply(from);
            int asked = n == 12 ? -1 : n == 13 ? 12 : n;
            int expectedNumber = n >= 11 ? 11 : n;
            SCOPED_TRACE("layout " + std::to_string(asked) + " after " + std::to_string(from));
            host.layout->Apply(asked);
            EXPECT_EQ(host.layout->Layout(), expectedNumber);
            bool shown[10] = {};
            for (const Placed& p : layouts[static_cast<size_t>(expectedNumber)])
            {
                TControl* c = host.Child(p.child);
                SCOPED_TRACE(kNames[p.child]);
                shown[p.child] = true;
                EXPECT_TRUE(c->Visible());
                EXPECT_EQ(c->Parent(), p.parent < 0 ? static_cast<TWinControl*>(&host.form) : host.c[p.parent]);
                EXPECT_EQ(c->BoundsRect(), p.bounds);
            }
            for (int i = 0; i < 10; ++i)
                EXPECT_EQ(host.Child(i)->Visible(), shown[i]) << kNames[i];
            EXPECT_TRUE(host.layout->Tracking());
        }
    }
}

TEST(XViewLayoutTest, ASwitchGivesTheViewportsItHidesNoPassingSize)
{
    // A hidden viewport is neither drawn nor resized: whatever it showed before, a switch leaves
    // its size alone (its camera keeps the aspect it had), also after a splitter was dragged.
    Host host(300, 200);
    for (int from = 0; from <= 11; ++from)
    {
        for (int to = 0; to <= 11; ++to)
        {
            SCOPED_TRACE("layout " + std::to_string(to) + " after " + std::to_string(from));
            host.layout->Apply(from);
            if (from == 11)
            {
                Vcl::RouteInput(&host.form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 99));
                Vcl::RouteInput(&host.form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 67));
                Vcl::RouteInput(&host.form, WM_LBUTTONUP, 0, MAKELPARAM(10, 67));
            }
            TRect before[4];
            for (int i = 0; i < 4; ++i)
            {
                before[i] = host.v[i]->BoundsRect();
                static_cast<SizeNotes*>(host.v[i])->sizes.clear();
            }
            host.layout->Apply(to);
            for (int i = 0; i < 4; ++i)
            {
                if (host.v[i]->Visible())
                    continue;
                SCOPED_TRACE(kNames[i + 2]);
                EXPECT_EQ(host.v[i]->Width(), before[i].Width());
                EXPECT_EQ(host.v[i]->Height(), before[i].Height());
                EXPECT_TRUE(static_cast<SizeNotes*>(host.v[i])->sizes.empty())
                    << testing::PrintToString(static_cast<SizeNotes*>(host.v[i])->sizes);
            }
        }
    }
}

TEST(XViewLayoutTest, RowSplittersStayLevelAndProportionsSurviveResizes)
{
    Host host(300, 200);
    host.layout->Apply(11);
    TSplitter* sp1 = host.sp[1];
    // SP1 dragged up from 98 to 66, a third of the height: both rows follow.
    Vcl::RouteInput(&host.form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 99));
    Vcl::RouteInput(&host.form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 67));
    Vcl::RouteInput(&host.form, WM_LBUTTONUP, 0, MAKELPARAM(10, 67));
    EXPECT_EQ(sp1->Top(), 66);
    EXPECT_EQ(host.sp[2]->Top(), 66);
    EXPECT_EQ(host.v[0]->Height(), 66);
    EXPECT_EQ(host.v[1]->Height(), 66);
    EXPECT_EQ(host.v[3]->BoundsRect(), B(0, 69, 149, 131));
    EXPECT_FLOAT_EQ(host.layout->Relative(2).bottom, 0.33f);
    // Twice the size: the splitters stand at the same fraction, truncated.
    host.form.SetBounds(0, 0, 600, 400);
    EXPECT_EQ(sp1->Top(), 132);
    EXPECT_EQ(host.sp[2]->Top(), 132);
    EXPECT_EQ(host.c[0]->Width(), 296);
    EXPECT_EQ(host.sp[0]->Left(), 296);
    // The column splitter dragged right by 50.
    Vcl::RouteInput(&host.form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(297, 10));
    Vcl::RouteInput(&host.form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(347, 10));
    Vcl::RouteInput(&host.form, WM_LBUTTONUP, 0, MAKELPARAM(347, 10));
    EXPECT_EQ(host.c[0]->Width(), 346);
    host.form.SetBounds(0, 0, 300, 200);
    EXPECT_EQ(host.c[0]->Width(), 173);
    EXPECT_EQ(sp1->Top(), 66);
    // Resizing does not record: back at 600 x 400 the same places come back.
    host.form.SetBounds(0, 0, 600, 400);
    EXPECT_EQ(host.c[0]->Width(), 346);
    EXPECT_EQ(sp1->Top(), 132);
}

TEST(XViewLayoutTest, TinyAndEmptyViewsGiveNoHugeOrNegativeBounds)
{
    for (int width : {0, 1, 2, 5})
    {
        for (int n = 0; n <= 11; ++n)
        {
            Host host(width, 2);
            SCOPED_TRACE(std::to_string(width) + " wide, layout " + std::to_string(n));
            host.layout->Apply(n);
            for (int i = 0; i < 10; ++i)
            {
                TControl* c = host.Child(i);
                EXPECT_GE(c->Width(), 0);
                EXPECT_GE(c->Height(), 0);
                EXPECT_LE(c->Width(), 8);
                EXPECT_LE(c->Height(), 8);
            }
            host.form.SetBounds(0, 0, 40, 30);
            host.form.SetBounds(0, 0, 0, 0);
            for (int i = 0; i < 6; ++i)
                EXPECT_LE(host.Child(i)->Width(), 40);
        }
    }
}
