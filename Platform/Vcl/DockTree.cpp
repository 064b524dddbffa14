#include "Platform/Vcl/DockTree.h"

#include <algorithm>
#include <cstdint>

// A zone: a leaf holds a client; an inner zone runs its children side by side (horizontal) or
// stacked. Weight is the zone's share of its parent's length; a hidden zone keeps its weight and
// lends it to its shown neighbour meanwhile, so it gets the same share back when shown.
struct TDockTree::Zone
{
    Zone* parent = nullptr;
    std::vector<std::unique_ptr<Zone>> children;
    TControl* control = nullptr;
    bool horizontal = false;
    int64_t weight = 100;
    TRect rect; // site client coordinates; empty while hidden
};

namespace
{
template <typename ZoneT> size_t IndexIn(const std::vector<std::unique_ptr<ZoneT>>& list, const ZoneT* zone)
{
    for (size_t i = 0; i < list.size(); ++i)
    {
        if (list[i].get() == zone)
            return i;
    }
    return list.size();
}

// The half of `rect` on the `align` side; the whole of it for any other alignment.
TRect Half(TRect rect, TAlign align)
{
    switch (align)
    {
    case alLeft:
        rect.right = rect.left + rect.Width() / 2;
        break;
    case alRight:
        rect.left = rect.left + rect.Width() / 2;
        break;
    case alTop:
        rect.bottom = rect.top + rect.Height() / 2;
        break;
    case alBottom:
        rect.top = rect.top + rect.Height() / 2;
        break;
    default:
        break;
    }
    return rect;
}

void FillPixels(HDC dc, int left, int top, int right, int bottom, HBRUSH brush)
{
    RECT r{left, top, right, bottom};
    ::FillRect(dc, &r, brush);
}

// A groove whose outline runs through (x1, y1) and (x2, y2), both included: highlighted along
// its top and left edges, shadowed along its bottom and right ones.
void DrawGroove(HDC dc, int x1, int y1, int x2, int y2, HBRUSH light, HBRUSH shadow)
{
    if (x2 < x1 || y2 < y1)
        return;
    FillPixels(dc, x1, y1, x2 + 1, y1 + 1, light);
    FillPixels(dc, x1, y1, x1 + 1, y2 + 1, light);
    FillPixels(dc, x1, y2, x2 + 1, y2 + 1, shadow);
    FillPixels(dc, x2, y1, x2 + 1, y2 + 1, shadow);
}
} // namespace

TDockTree::TDockTree(TWinControl* site) : m_site(site)
{
    m_area = site->ClientRect();
}

TDockTree::~TDockTree() = default;

template <typename F> bool TDockTree::AnyZone(F visit) const
{
    std::vector<Zone*> todo;
    if (m_root)
        todo.push_back(m_root.get());
    while (!todo.empty())
    {
        Zone* zone = todo.back();
        todo.pop_back();
        if (visit(zone))
            return true;
        for (auto& child : zone->children)
            todo.push_back(child.get());
    }
    return false;
}

template <typename F> bool TDockTree::AnyLeaf(F visit) const
{
    return AnyZone([&](Zone* zone) { return zone->control && visit(zone); });
}

TDockTree::Zone* TDockTree::FindZone(const TControl* control) const
{
    Zone* found = nullptr;
    if (control)
        AnyLeaf(
            [&](Zone* zone)
            {
                if (zone->control == control)
                    found = zone;
                return found != nullptr;
            });
    return found;
}

bool TDockTree::Holds(const TControl* Control) const
{
    return FindZone(Control) != nullptr;
}

bool TDockTree::ZoneVisible(const Zone* zone) const
{
    if (zone->control)
        return zone->control->Visible();
    return std::any_of(zone->children.begin(), zone->children.end(),
                       [this](const std::unique_ptr<Zone>& child) { return ZoneVisible(child.get()); });
}

int TDockTree::ClientCount() const
{
    int count = 0;
    AnyLeaf([&](Zone*) { return ++count, false; });
    return count;
}

int TDockTree::VisibleClientCount() const
{
    int count = 0;
    AnyLeaf([&](Zone* zone) { return count += zone->control->Visible() ? 1 : 0, false; });
    return count;
}

// ---- Changing the tree -----------------------------------------------------------------------

void TDockTree::Replace(Zone* old, std::unique_ptr<Zone> with)
{
    Zone* parent = old->parent;
    with->parent = parent;
    if (!parent)
    {
        m_root = std::move(with); // frees `old`
        return;
    }
    size_t index = IndexIn(parent->children, old);
    parent->children[index] = std::move(with);
}

void TDockTree::InsertControl(TControl* Control, TAlign InsertAt, TControl* DropCtl)
{
    if (!Control)
        return;
    if (Holds(Control))
    {
        if (DropCtl == Control)
            return; // dropped onto itself: nothing moves
        BeginUpdate();
        RemoveControl(Control);
        InsertControl(Control, InsertAt, DropCtl);
        EndUpdate();
        return;
    }
    EndTracking();
    auto leaf = std::make_unique<Zone>();
    leaf->control = Control;
    if (!m_root)
    {
        m_root = std::move(leaf);
        Changed();
        return;
    }
    if (InsertAt != alLeft && InsertAt != alRight && InsertAt != alTop && InsertAt != alBottom)
        InsertAt = alRight;
    const bool horizontal = InsertAt == alLeft || InsertAt == alRight;
    const bool before = InsertAt == alLeft || InsertAt == alTop;
    Zone* target = FindZone(DropCtl);
    if (target && !ZoneVisible(target))
        target = nullptr;
    if (!target)
        target = m_root.get();
    Zone* parent = target->parent;
    if (target == m_root.get() && !target->control && target->horizontal == horizontal)
    {
        // Beside every zone of a root that runs this way: the new zone takes half of it.
        int64_t total = 0;
        for (auto& child : target->children)
            total += child->weight;
        leaf->weight = std::max<int64_t>(total, 1);
        leaf->parent = target;
        target->children.insert(before ? target->children.begin() : target->children.end(), std::move(leaf));
    }
    else if (parent && parent->horizontal == horizontal && target != m_root.get())
    {
        // A sibling: the target's zone gives it half its share.
        int64_t half = target->weight / 2;
        leaf->weight = std::max<int64_t>(half, 1);
        target->weight = std::max<int64_t>(target->weight - half, 1);
        leaf->parent = parent;
        size_t index = IndexIn(parent->children, target) + (before ? 0 : 1);
        parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(index),
                                std::move(leaf));
    }
    else
    {
        // The target's zone splits into a zone of the new direction holding both halves.
        auto split = std::make_unique<Zone>();
        split->horizontal = horizontal;
        split->weight = target->weight;
        Zone* splitZone = split.get();
        split->parent = parent;
        std::unique_ptr<Zone> old;
        if (parent)
        {
            const size_t index = IndexIn(parent->children, target);
            old = std::move(parent->children[index]);
            parent->children[index] = std::move(split);
        }
        else
        {
            old = std::move(m_root);
            m_root = std::move(split);
        }
        old->weight = 100;
        leaf->weight = 100;
        old->parent = splitZone;
        leaf->parent = splitZone;
        if (before)
        {
            splitZone->children.push_back(std::move(leaf));
            splitZone->children.push_back(std::move(old));
        }
        else
        {
            splitZone->children.push_back(std::move(old));
            splitZone->children.push_back(std::move(leaf));
        }
    }
    Changed();
}

void TDockTree::RemoveControl(TControl* Control)
{
    Zone* zone = FindZone(Control);
    if (!zone)
        return;
    EndTracking();
    Zone* parent = zone->parent;
    if (!parent)
    {
        m_root.reset();
        Changed();
        return;
    }
    auto& list = parent->children;
    size_t index = IndexIn(list, zone);
    // The space goes to the neighbour before it (after it for the first).
    Zone* neighbour = index > 0 ? list[index - 1].get() : list[index + 1].get();
    neighbour->weight += zone->weight;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    if (list.size() == 1)
        Collapse(parent);
    Changed();
}

void TDockTree::Collapse(Zone* zone)
{
    // A zone with one child gives way to it; an inner child that runs the way the grandparent
    // does hands its children to the grandparent.
    std::unique_ptr<Zone> child = std::move(zone->children.front());
    zone->children.clear();
    child->weight = zone->weight;
    Zone* grand = zone->parent;
    if (grand && !child->control && child->horizontal == grand->horizontal)
    {
        int64_t total = 0;
        for (auto& c : child->children)
            total += c->weight;
        total = std::max<int64_t>(total, 1);
        size_t index = IndexIn(grand->children, zone);
        std::vector<std::unique_ptr<Zone>> moved = std::move(child->children);
        for (auto& c : moved)
        {
            c->weight = std::max<int64_t>(c->weight * zone->weight / total, 1);
            c->parent = grand;
        }
        grand->children.erase(grand->children.begin() + static_cast<std::ptrdiff_t>(index));
        grand->children.insert(grand->children.begin() + static_cast<std::ptrdiff_t>(index),
                               std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
        return;
    }
    Replace(zone, std::move(child));
}

void TDockTree::BeginUpdate()
{
    ++m_updating;
}

void TDockTree::EndUpdate()
{
    if (m_updating > 0 && --m_updating == 0)
        Changed();
}

void TDockTree::Normalize(Zone* zone)
{
    // Shares keep their ratios on a fixed scale: a client docked beside everything again and
    // again doubles the total each time, which would otherwise overflow.
    constexpr int64_t scale = 1 << 20;
    int64_t total = 0;
    for (auto& child : zone->children)
        total += std::max<int64_t>(child->weight, 1);
    for (auto& child : zone->children)
    {
        child->weight =
            std::max<int64_t>(std::max<int64_t>(child->weight, 1) * scale / std::max<int64_t>(total, 1), 1);
        Normalize(child.get());
    }
}

void TDockTree::Changed()
{
    if (m_updating > 0)
        return;
    if (m_root)
        Normalize(m_root.get());
    m_site->Realign();
    m_site->Invalidate();
}

// ---- Layout ----------------------------------------------------------------------------------

namespace
{
// Each child's weight with the weights of hidden children lent to their nearest shown
// neighbour before them (after them for the first); hidden children count 0.
template <typename ZoneT, typename Visible>
std::vector<int64_t> EffectiveWeights(const ZoneT* zone, Visible visible)
{
    const size_t n = zone->children.size();
    std::vector<int64_t> weights(n, 0);
    std::vector<bool> shown(n);
    for (size_t i = 0; i < n; ++i)
    {
        shown[i] = visible(zone->children[i].get());
        if (shown[i])
            weights[i] = std::max<int64_t>(zone->children[i]->weight, 1);
    }
    for (size_t i = 0; i < n; ++i)
    {
        if (shown[i])
            continue;
        size_t to = n;
        for (size_t k = i; k-- > 0;)
        {
            if (shown[k])
            {
                to = k;
                break;
            }
        }
        if (to == n)
        {
            for (size_t k = i + 1; k < n; ++k)
            {
                if (shown[k])
                {
                    to = k;
                    break;
                }
            }
        }
        if (to < n)
            weights[to] += std::max<int64_t>(zone->children[i]->weight, 1);
    }
    return weights;
}
} // namespace

void TDockTree::Layout(Zone* zone, const TRect& rect)
{
    zone->rect = rect;
    if (zone->control)
        return;
    auto visible = [this](const Zone* z) { return ZoneVisible(z); };
    std::vector<int64_t> weights = EffectiveWeights(zone, visible);
    int shown = 0;
    int64_t total = 0;
    for (size_t i = 0; i < weights.size(); ++i)
    {
        if (weights[i] > 0)
        {
            ++shown;
            total += weights[i];
        }
    }
    const int length = zone->horizontal ? rect.Width() : rect.Height();
    const int64_t available = std::max(0, length - SplitterWidth * std::max(shown - 1, 0));
    const int start = zone->horizontal ? rect.left : rect.top;
    int64_t sum = 0;
    int64_t from = 0;
    int placed = 0;
    for (size_t i = 0; i < zone->children.size(); ++i)
    {
        Zone* child = zone->children[i].get();
        if (weights[i] == 0)
        {
            Layout(child, TRect());
            continue;
        }
        sum += weights[i];
        const int64_t to = placed == shown - 1 ? available : available * sum / std::max<int64_t>(total, 1);
        const int a = start + static_cast<int>(from) + placed * SplitterWidth;
        const int b = start + static_cast<int>(to) + placed * SplitterWidth;
        Layout(child,
               zone->horizontal ? TRect(a, rect.top, b, rect.bottom) : TRect(rect.left, a, rect.right, b));
        from = to;
        ++placed;
    }
}

bool TDockTree::GrabbersOnLeft() const
{
    return m_site->Align() == alTop || m_site->Align() == alBottom;
}

void TDockTree::PlaceClients(Zone* zone)
{
    if (!zone->control)
    {
        for (auto& child : zone->children)
            PlaceClients(child.get());
        return;
    }
    if (!zone->control->Visible())
        return;
    const TRect& r = zone->rect;
    TRect place = GrabbersOnLeft()
                      ? TRect(std::min(r.left + GrabberSize, r.right), r.top, r.right, r.bottom)
                      : TRect(r.left, std::min(r.top + GrabberSize, r.bottom), r.right, r.bottom);
    zone->control->ChangeBounds(place.left, place.top, place.Width(), place.Height());
    // Should the manager go, the anchors keep the client where the zone put it.
    zone->control->RememberAnchorDistances();
}

void TDockTree::ResetBounds(bool)
{
    if (m_updating > 0 || !m_root)
        return;
    Layout(m_root.get(), m_area);
    PlaceClients(m_root.get());
}

bool TDockTree::GetControlBounds(TControl* Control, TRect& Bounds) const
{
    Zone* zone = FindZone(Control);
    if (!zone || zone->rect.IsEmpty())
        return false;
    Bounds = zone->rect;
    return true;
}

TRect TDockTree::GrabberRect(TControl* Control) const
{
    TRect r;
    if (!GetControlBounds(Control, r) || !Control->Visible())
        return TRect();
    if (GrabbersOnLeft())
        return TRect(r.left, r.top, std::min(r.left + GrabberSize, r.right), r.bottom);
    return TRect(r.left, r.top, r.right, std::min(r.top + GrabberSize, r.bottom));
}

TRect TDockTree::CloseButtonRect(TControl* Control) const
{
    TRect r;
    if (!GetControlBounds(Control, r) || !Control->Visible())
        return TRect();
    if (GrabbersOnLeft())
        return TRect(r.left + 1, r.top + 1, r.left + GrabberSize - 1, r.top + GrabberSize - 1);
    return TRect(r.right - GrabberSize + 1, r.top + 1, r.right - 1, r.top + GrabberSize - 1);
}

TControl* TDockTree::ControlAtPos(const TPoint& point) const
{
    TControl* found = nullptr;
    AnyLeaf(
        [&](Zone* zone)
        {
            if (zone->control->Visible() && zone->rect.Contains(point))
                found = zone->control;
            return found != nullptr;
        });
    return found;
}

bool TDockTree::SplitterAt(const TPoint& point, Zone*& parent, Zone*& before, Zone*& after) const
{
    return AnyZone(
        [&](Zone* zone)
        {
            Zone* previous = nullptr;
            for (auto& child : zone->children)
            {
                if (child->rect.IsEmpty())
                    continue;
                if (previous)
                {
                    const TRect& r = zone->rect;
                    TRect bar = zone->horizontal ? TRect(previous->rect.right, r.top, child->rect.left, r.bottom)
                                                 : TRect(r.left, previous->rect.bottom, r.right, child->rect.top);
                    if (bar.Contains(point))
                    {
                        parent = zone;
                        before = previous;
                        after = child.get();
                        return true;
                    }
                }
                previous = child.get();
            }
            return false;
        });
}

TDockHit TDockTree::HitTest(const TPoint& point) const
{
    TDockHit hit;
    if (TControl* control = ControlAtPos(point))
    {
        if (CloseButtonRect(control).Contains(point))
            hit = TDockHit{dhClose, control};
        else if (GrabberRect(control).Contains(point))
            hit = TDockHit{dhGrabber, control};
        return hit;
    }
    Zone *parent = nullptr, *before = nullptr, *after = nullptr;
    if (SplitterAt(point, parent, before, after))
        hit.Kind = dhSplitter;
    return hit;
}

void TDockTree::PositionDockRect(TControl* Client, TControl* DropCtl, TAlign DropAlign, TRect& DockRect) const
{
    const int visible = VisibleClientCount();
    Zone* zone = FindZone(DropCtl);
    if (zone && zone->rect.IsEmpty())
        zone = nullptr;
    TRect r;
    if (zone && DropCtl == Client)
        r = zone->rect; // over its own zone: it would stay where it is
    else if (visible < 2 || !zone)
        r = visible > 0 ? Half(m_area, DropAlign) : m_area;
    else
        r = Half(zone->rect, DropAlign);
    const TPoint zero = m_site->ClientToScreen(TPoint(0, 0));
    DockRect = r.Offset(zero.x, zero.y);
}

// ---- Painting --------------------------------------------------------------------------------

void TDockTree::PaintSite(HDC dc)
{
    if (!m_root)
        return;
    HBRUSH light = CreateSolidBrush(ColorToRGB(clBtnHighlight));
    HBRUSH shadow = CreateSolidBrush(ColorToRGB(clBtnShadow));
    AnyLeaf(
        [&](Zone* zone)
        {
            if (!zone->control->Visible() || zone->rect.IsEmpty())
                return false;
            const TRect& r = zone->rect;
            if (GrabbersOnLeft())
            {
                DrawGroove(dc, r.left + 3, r.top + 13, r.left + 5, r.bottom - 2, light, shadow);
                DrawGroove(dc, r.left + 6, r.top + 13, r.left + 8, r.bottom - 2, light, shadow);
            }
            else
            {
                DrawGroove(dc, r.left + 2, r.top + 3, r.right - 14, r.top + 5, light, shadow);
                DrawGroove(dc, r.left + 2, r.top + 6, r.right - 14, r.top + 8, light, shadow);
            }
            RECT close = CloseButtonRect(zone->control);
            const bool pushed = m_closeControl == zone->control && m_closePushed;
            DrawFrameControl(dc, &close, DFC_CAPTION, DFCS_CAPTIONCLOSE | (pushed ? DFCS_PUSHED : 0));
            return false;
        });
    DeleteObject(light);
    DeleteObject(shadow);
}

// ---- Mouse -----------------------------------------------------------------------------------

TCursor TDockTree::CursorAt(const TPoint& point) const
{
    if (m_splitParent)
        return m_splitParent->horizontal ? crHSplit : crVSplit;
    Zone *parent = nullptr, *before = nullptr, *after = nullptr;
    if (SplitterAt(point, parent, before, after))
        return parent->horizontal ? crHSplit : crVSplit;
    return crDefault;
}

void TDockTree::EndTracking()
{
    if (m_closeControl)
        m_site->InvalidateRect(CloseButtonRect(m_closeControl));
    m_closeControl = nullptr;
    m_closePushed = false;
    m_splitParent = m_splitBefore = m_splitAfter = nullptr;
}

void TDockTree::DragSplitter(int position)
{
    Zone* parent = m_splitParent;
    Zone* a = m_splitBefore;
    Zone* b = m_splitAfter;
    const bool h = parent->horizontal;
    const int aStart = h ? a->rect.left : a->rect.top;
    const int bEnd = h ? b->rect.right : b->rect.bottom;
    const int pair = bEnd - aStart - SplitterWidth; // the two zones' pixels
    if (pair <= 0)
        return;
    int size = position - m_splitGrab - aStart;
    if (pair < 2 * MinZoneSize)
        size = pair / 2;
    else
        size = std::clamp(size, MinZoneSize, pair - MinZoneSize);
    const bool anyHidden = std::any_of(parent->children.begin(), parent->children.end(),
                                       [&](const std::unique_ptr<Zone>& z) { return !ZoneVisible(z.get()); });
    if (!anyHidden)
    {
        // Every share becomes its pixels, so the bar lands exactly where it was dropped.
        for (auto& child : parent->children)
            child->weight = std::max(h ? child->rect.Width() : child->rect.Height(), 1);
        a->weight = std::max(size, 1);
        b->weight = std::max(pair - size, 1);
    }
    else
    {
        auto visible = [this](const Zone* z) { return ZoneVisible(z); };
        const std::vector<int64_t> weights = EffectiveWeights(parent, visible);
        const size_t ia = IndexIn(parent->children, a);
        const size_t ib = IndexIn(parent->children, b);
        const int64_t lentA = weights[ia] - std::max<int64_t>(a->weight, 1);
        const int64_t lentB = weights[ib] - std::max<int64_t>(b->weight, 1);
        const int64_t both = weights[ia] + weights[ib];
        const int64_t newA = both * size / pair;
        a->weight = std::max<int64_t>(newA - lentA, 1);
        b->weight = std::max<int64_t>(both - newA - lentB, 1);
    }
    ResetBounds(true);
    m_site->Invalidate();
}

bool TDockTree::MouseMessage(TMessage& Message)
{
    const TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
    switch (Message.Msg)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    {
        TDockHit hit = HitTest(p);
        if (hit.Kind == dhClose)
        {
            m_closeControl = hit.Control;
            m_closePushed = true;
            Vcl::SetCaptureControl(m_site);
            m_site->InvalidateRect(CloseButtonRect(hit.Control));
            return true;
        }
        if (hit.Kind == dhGrabber)
        {
            if (Message.Msg == WM_LBUTTONDBLCLK)
            {
                // Floats the client at its place and size.
                TControl* client = hit.Control;
                if (!m_site->DoUnDock(nullptr, client))
                    return true;
                const TPoint zero = client->ClientToScreen(TPoint(0, 0));
                const TPoint offset = client->ClientOffset();
                const TRect at(zero.x - offset.x, zero.y - offset.y, zero.x - offset.x + client->Width(),
                               zero.y - offset.y + client->Height());
                client->ManualDock(nullptr, at);
                return true;
            }
            // Past the drag threshold the client's docking drag starts.
            hit.Control->BeginDock(false);
            return true;
        }
        Zone *parent = nullptr, *before = nullptr, *after = nullptr;
        if (SplitterAt(p, parent, before, after))
        {
            m_splitParent = parent;
            m_splitBefore = before;
            m_splitAfter = after;
            m_splitGrab = parent->horizontal ? p.x - before->rect.right : p.y - before->rect.bottom;
            Vcl::SetCaptureControl(m_site);
            return true;
        }
        return false;
    }
    case WM_MOUSEMOVE:
    {
        if (m_closeControl)
        {
            const bool over = CloseButtonRect(m_closeControl).Contains(p);
            if (over != m_closePushed)
            {
                m_closePushed = over;
                m_site->InvalidateRect(CloseButtonRect(m_closeControl));
            }
            return true;
        }
        if (m_splitParent)
        {
            DragSplitter(m_splitParent->horizontal ? p.x : p.y);
            return true;
        }
        // Over a split bar the move is the manager's (the site shows the split cursor there).
        Zone *parent = nullptr, *before = nullptr, *after = nullptr;
        return SplitterAt(p, parent, before, after);
    }
    case WM_LBUTTONUP:
    {
        if (m_closeControl)
        {
            TControl* client = m_closeControl;
            const bool over = CloseButtonRect(client).Contains(p);
            EndTracking();
            if (over)
                client->Hide();
            return true;
        }
        if (m_splitParent)
        {
            EndTracking();
            return true;
        }
        // A press the site itself took ends with the site, wherever it is let go.
        return false;
    }
    default:
        return false;
    }
}
