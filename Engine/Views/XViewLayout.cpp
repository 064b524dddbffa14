#include "Engine/Views/XViewLayout.h"

#include <algorithm>

XViewLayout::XViewLayout(TWinControl* view, TWinControl* c0, TWinControl* c1, TControl* const viewports[4],
                         TSplitter* const splitters[4])
    : m_view(view), m_c0(c0), m_c1(c1)
{
    for (int i = 0; i < 4; ++i)
    {
        m_v[i] = viewports[i];
        m_sp[i] = splitters[i];
    }
}

TControl* XViewLayout::Child(int index) const
{
    if (index == 0)
        return m_c0;
    if (index == 1)
        return m_c1;
    if (index < 6)
        return m_v[index - 2];
    return m_sp[index - 6];
}

void XViewLayout::Place(TControl* control, TWinControl* parent, int left, int top, int width, int height,
                        TAlign align)
{
    control->SetParent(parent ? parent : m_view);
    control->SetBounds(left, top, width, height);
    control->SetAlign(align);
    control->Show();
    m_placed.push_back(control);
}

void XViewLayout::Apply(int n)
{
    m_layout = (n >= 0 && n <= 10) ? n : Grid;
    m_tracking = false;
    // Hidden last placed first: each is then the last of its parent's stack, so taking it out
    // moves none of the others, and no viewport on its way out passes through another size (its
    // camera would take that aspect and the scene file would keep it).
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it)
        (*it)->Hide();
    m_placed.clear();
    for (int i = 0; i < 10; ++i)
        Child(i)->Hide();
    // Viewports leave their containers before these are emptied. A hidden viewport keeps its
    // size: it is neither drawn nor resized until a layout shows it again.
    for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 0, 1})
    {
        TControl* c = Child(i);
        c->SetAlign(alNone);
        if (i < 2 || i > 5)
            c->SetBounds(0, 0, 0, 0);
        c->SetParent(m_view);
    }
    const int W = m_view->ClientWidth();
    const int H = m_view->ClientHeight();
    const int S = m_splitter;
    // A view smaller than its splitters leaves no room, not a wrapped-around size.
    const int w1 = std::max(W - S, 0);
    const int h1 = std::max(H - S, 0);
    const int w2 = std::max(W - 2 * S, 0);
    const int h2 = std::max(H - 2 * S, 0);
    TControl* const* V = m_v;
    TSplitter* const* SP = m_sp;
    TWinControl* C0 = m_c0;
    TWinControl* C1 = m_c1;

    // Columns: C0 on the left, SP0, C1 takes the rest.
    auto columns = [&](int c0Width)
    {
        Place(C0, nullptr, 0, 0, c0Width, H, alLeft);
        Place(SP[0], nullptr, C0->Width(), 0, S, H, alLeft);
        Place(C1, nullptr, SP[0]->Left() + S, 0, W - SP[0]->Left() - S, H, alClient);
    };
    // Rows: C0 on top, SP0, C1 takes the rest.
    auto rows = [&](int c0Height)
    {
        Place(C0, nullptr, 0, 0, W, c0Height, alTop);
        Place(SP[0], nullptr, 0, C0->Height(), W, S, alTop);
        Place(C1, nullptr, 0, SP[0]->Top() + S, W, H - SP[0]->Top() - S, alClient);
    };
    // Two viewports over each other in a container, split by a row splitter.
    auto stackTwo = [&](TWinControl* c, TControl* top, TSplitter* sp, TControl* bottom)
    {
        int h = std::max(c->Height() - S, 0) / 2;
        Place(top, c, 0, 0, c->Width(), h, alTop);
        Place(sp, c, 0, c->Height(), W, S, alTop);
        Place(bottom, c, 0, sp->Top() + S, c->Width(), h, alClient);
    };
    // Two viewports side by side in a container, split by a column splitter.
    auto sideTwo = [&](TWinControl* c, TControl* left, TSplitter* sp, TControl* right)
    {
        Place(left, c, 0, 0, w1 / 2, c->Height(), alLeft);
        Place(sp, c, left->Width(), 0, S, c->Height(), alLeft);
        Place(right, c, sp->Left() + S, 0, w1 / 2, c->Height(), alClient);
    };
    // Three viewports stacked in a container with two row splitters.
    auto stackThree = [&](TWinControl* c, TControl* a, TControl* b, TControl* d)
    {
        int h = h2 / 3;
        Place(a, c, 0, 0, c->Width(), h, alTop);
        Place(SP[1], c, 0, a->Height(), c->Width(), S, alTop);
        Place(b, c, 0, SP[1]->Top() + S, c->Width(), h, alTop);
        Place(SP[2], c, 0, b->Top() + b->Height(), c->Width(), S, alTop);
        Place(d, c, 0, SP[2]->Top() + S, c->Width(), h, alClient);
    };
    // Three viewports side by side in a container with two column splitters.
    auto sideThree = [&](TWinControl* c, TControl* a, TControl* b, TControl* d)
    {
        int w = w2 / 3;
        Place(a, c, 0, 0, w, c->Height(), alLeft);
        Place(SP[1], c, a->Width(), 0, S, c->Height(), alLeft);
        Place(b, c, SP[1]->Left() + S, 0, w, c->Height(), alLeft);
        Place(SP[2], c, b->Left() + b->Width(), 0, S, c->Height(), alLeft);
        Place(d, c, SP[2]->Left() + S, 0, w, c->Height(), alClient);
    };

    switch (m_layout)
    {
    case 0:
        Place(C0, nullptr, 0, 0, 0, 0, alClient);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        break;
    case 1:
        columns(w1 / 2);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        Place(V[1], C1, 0, 0, 0, 0, alClient);
        break;
    case 2:
        rows(h1 / 2);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        Place(V[1], C1, 0, 0, 0, 0, alClient);
        break;
    case 3:
        columns(w1 / 2);
        stackTwo(C0, V[0], SP[1], V[1]);
        Place(V[2], C1, 0, 0, 0, 0, alClient);
        break;
    case 4:
        columns(w1 / 2);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        stackTwo(C1, V[1], SP[1], V[2]);
        break;
    case 5:
        rows(h1 / 2);
        sideTwo(C0, V[0], SP[1], V[1]);
        Place(V[2], C1, 0, 0, 0, 0, alClient);
        break;
    case 6:
        rows(h1 / 2);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        sideTwo(C1, V[1], SP[1], V[2]);
        break;
    case 7:
        columns(w1 / 3);
        stackThree(C0, V[0], V[1], V[2]);
        Place(V[3], C1, 0, 0, 0, 0, alClient);
        break;
    case 8:
        columns(2 * w1 / 3);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        stackThree(C1, V[1], V[2], V[3]);
        break;
    case 9:
        rows(h2 / 3);
        sideThree(C0, V[0], V[1], V[2]);
        Place(V[3], C1, 0, 0, 0, 0, alClient);
        break;
    case 10:
        rows(2 * h2 / 3);
        Place(V[0], C0, 0, 0, 0, 0, alClient);
        sideThree(C1, V[1], V[2], V[3]);
        break;
    default:
        columns(w1 / 2);
        stackTwo(C0, V[0], SP[1], V[2]);
        stackTwo(C1, V[1], SP[2], V[3]);
        break;
    }
    m_tracking = true;
    SplitterMoved(nullptr);
}

void XViewLayout::SplitterMoved(TObject* sender)
{
    if (!m_tracking)
        return;
    if (m_layout == Grid && sender && (sender == m_sp[1] || sender == m_sp[2]))
    {
        // The two row splitters of the 2 x 2 layout stay level.
        int t = static_cast<TSplitter*>(sender)->Top();
        m_v[0]->SetHeight(t);
        m_v[1]->SetHeight(t);
        m_sp[1]->SetTop(t);
        m_sp[2]->SetTop(t);
    }
    const int W = m_view->ClientWidth();
    const int H = m_view->ClientHeight();
    if (W == 0 || H == 0)
        return;
    const float w = static_cast<float>(W);
    const float h = static_cast<float>(H);
    for (int i = 0; i < 6; ++i)
    {
        TControl* c = Child(i);
        m_relative[i] = XRect(static_cast<float>(c->Left()) / w, static_cast<float>(c->Top()) / h,
                              static_cast<float>(c->Left() + c->Width()) / w,
                              static_cast<float>(c->Top() + c->Height()) / h);
    }
}

void XViewLayout::Resize()
{
    m_tracking = false;
    const float w = static_cast<float>(m_view->ClientWidth());
    const float h = static_cast<float>(m_view->ClientHeight());
    for (int i = 0; i < 6; ++i)
    {
        TControl* c = Child(i);
        if (!c->Visible())
            continue;
        const XRect& r = m_relative[i];
        c->SetBounds(static_cast<int>(w * r.left), static_cast<int>(h * r.top),
                     static_cast<int>(w * r.right - w * r.left), static_cast<int>(h * r.bottom - h * r.top));
    }
    m_tracking = true;
}
