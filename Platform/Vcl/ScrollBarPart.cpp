#include "Platform/Vcl/ScrollBarPart.h"

#include <algorithm>

namespace Vcl
{
namespace
{
constexpr int kArrow = 17;
constexpr int kMinThumb = 8;

// a * b / c in 64 bits, truncated toward zero; 0 for c = 0.
int Scale(int a, int b, int c)
{
    if (c == 0)
        return 0;
    return static_cast<int>(static_cast<int64_t>(a) * b / c);
}

void Fill(HDC dc, const RECT& r, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}
} // namespace

int ScrollBarPart::SetInfo(const SCROLLINFO& info)
{
    if (info.fMask & SIF_RANGE)
    {
        m_min = info.nMin;
        m_max = std::max(info.nMin, info.nMax);
    }
    if (info.fMask & SIF_PAGE)
        m_page = static_cast<int>(std::min<int64_t>(info.nPage, int64_t(m_max) - m_min + 1));
    if (info.fMask & SIF_POS)
        m_pos = info.nPos;
    m_pos = std::clamp(m_pos, m_min, MaxPosition());
    return m_pos;
}

bool ScrollBarPart::GetInfo(SCROLLINFO* info) const
{
    if (!info)
        return false;
    if (info->fMask & SIF_RANGE)
    {
        info->nMin = m_min;
        info->nMax = m_max;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = static_cast<UINT>(m_page);
    if (info->fMask & SIF_POS)
        info->nPos = m_pos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = TrackPosition();
    return true;
}

int ScrollBarPart::MaxPosition() const
{
    return std::max(m_min, m_max - std::max(m_page - 1, 0));
}

int ScrollBarPart::ArrowSize() const
{
    return std::max(0, std::min(kArrow, Length() / 2));
}

void ScrollBarPart::ThumbSpan(int& offset, int& size) const
{
    int track = Length() - 2 * ArrowSize();
    int range = m_max - m_min + 1;
    size = m_page > 0 ? std::max(Scale(track, m_page, range), kMinThumb) : std::min(kArrow, Breadth());
    if (size > track || MaxPosition() == m_min)
    {
        offset = 0;
        size = 0;
        return;
    }
    int shown = m_tracking ? m_trackPos : m_pos;
    offset = Scale(shown - m_min, track - size, MaxPosition() - m_min);
}

TRect ScrollBarPart::ThumbRect() const
{
    int offset = 0, size = 0;
    ThumbSpan(offset, size);
    if (size == 0)
        return TRect();
    int start = ArrowSize() + offset;
    if (m_vertical)
        return TRect(m_bounds.left, m_bounds.top + start, m_bounds.right, m_bounds.top + start + size);
    return TRect(m_bounds.left + start, m_bounds.top, m_bounds.left + start + size, m_bounds.bottom);
}

int ScrollBarPart::Along(const TPoint& point) const
{
    return m_vertical ? point.y - m_bounds.top : point.x - m_bounds.left;
}

ScrollBarPart::Hit ScrollBarPart::HitTest(const TPoint& point) const
{
    if (!m_bounds.Contains(point))
        return hitNone;
    int along = Along(point);
    int arrow = ArrowSize();
    if (along < arrow)
        return hitLineUp;
    if (along >= Length() - arrow)
        return hitLineDown;
    TRect thumb = ThumbRect();
    if (thumb.IsEmpty())
        return hitNone;
    if (thumb.Contains(point))
        return hitThumb;
    int thumbStart = m_vertical ? thumb.top - m_bounds.top : thumb.left - m_bounds.left;
    return along < thumbStart ? hitPageUp : hitPageDown;
}

int ScrollBarPart::PositionAt(int along) const
{
    int offset = 0, size = 0;
    ThumbSpan(offset, size);
    int track = Length() - 2 * ArrowSize() - size;
    if (track <= 0)
        return m_pos;
    int spot = std::clamp(along - ArrowSize() - m_grab, 0, track);
    return m_min + Scale(spot, MaxPosition() - m_min, track);
}

int ScrollBarPart::MouseDown(const TPoint& point)
{
    Hit hit = HitTest(point);
    m_pressed = hit;
    m_point = point;
    switch (hit)
    {
    case hitLineUp:
        return SB_LINEUP;
    case hitLineDown:
        return SB_LINEDOWN;
    case hitPageUp:
        return SB_PAGEUP;
    case hitPageDown:
        return SB_PAGEDOWN;
    case hitThumb:
    {
        TRect thumb = ThumbRect();
        m_grab = Along(point) - (m_vertical ? thumb.top - m_bounds.top : thumb.left - m_bounds.left);
        m_trackPos = m_pos;
        m_tracking = true;
        return -1;
    }
    case hitNone:
        break;
    }
    return -1;
}

int ScrollBarPart::MouseMove(const TPoint& point)
{
    m_point = point;
    if (!m_tracking)
        return -1;
    int position = PositionAt(Along(point));
    if (position == m_trackPos)
        return -1;
    m_trackPos = position;
    return SB_THUMBTRACK;
}

int ScrollBarPart::RepeatCode() const
{
    if (!Repeating() || HitTest(m_point) != m_pressed)
        return -1;
    switch (m_pressed)
    {
    case hitLineUp:
        return SB_LINEUP;
    case hitLineDown:
        return SB_LINEDOWN;
    case hitPageUp:
        return SB_PAGEUP;
    case hitPageDown:
        return SB_PAGEDOWN;
    default:
        return -1;
    }
}

int ScrollBarPart::MouseUp(const TPoint& point)
{
    Hit pressed = m_pressed;
    m_pressed = hitNone;
    if (pressed == hitNone)
        return -1;
    if (!m_tracking)
        return SB_ENDSCROLL;
    m_trackPos = PositionAt(Along(point));
    return SB_THUMBPOSITION;
}

void ScrollBarPart::Paint(HDC dc, bool enabled) const
{
    if (m_bounds.IsEmpty())
        return;
    bool active = enabled && MaxPosition() > m_min;
    int arrow = ArrowSize();
    RECT first, second;
    if (m_vertical)
    {
        first = {m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.top + arrow};
        second = {m_bounds.left, m_bounds.bottom - arrow, m_bounds.right, m_bounds.bottom};
    }
    else
    {
        first = {m_bounds.left, m_bounds.top, m_bounds.left + arrow, m_bounds.bottom};
        second = {m_bounds.right - arrow, m_bounds.top, m_bounds.right, m_bounds.bottom};
    }
    RECT track = m_vertical ? RECT{m_bounds.left, first.bottom, m_bounds.right, second.top}
                            : RECT{first.right, m_bounds.top, second.left, m_bounds.bottom};
    // The track is the platform's scroll bar colour; the pressed page part darkens.
    Fill(dc, track, GetSysColor(COLOR_SCROLLBAR));
    TRect thumb = active ? ThumbRect() : TRect();
    if (!thumb.IsEmpty() && (m_pressed == hitPageUp || m_pressed == hitPageDown))
    {
        RECT part = track;
        if (m_pressed == hitPageUp)
            (m_vertical ? part.bottom : part.right) = m_vertical ? thumb.top : thumb.left;
        else
            (m_vertical ? part.top : part.left) = m_vertical ? thumb.bottom : thumb.right;
        Fill(dc, part, GetSysColor(COLOR_3DDKSHADOW));
    }
    UINT inactive = active ? 0 : DFCS_INACTIVE;
    UINT up = m_vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT;
    UINT down = m_vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT;
    DrawFrameControl(dc, &first, DFC_SCROLL, up | inactive | (m_pressed == hitLineUp ? DFCS_PUSHED | DFCS_FLAT : 0));
    DrawFrameControl(dc, &second, DFC_SCROLL,
                     down | inactive | (m_pressed == hitLineDown ? DFCS_PUSHED | DFCS_FLAT : 0));
    if (thumb.IsEmpty())
        return;
    RECT t = thumb;
    Fill(dc, t, GetSysColor(COLOR_BTNFACE));
    DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
}
} // namespace Vcl
