#include "Platform/Vcl/ComCtrls.h"

#include <algorithm>

TProgressBar::TProgressBar(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetBounds(0, 0, 150, 16);
}

void TProgressBar::SetMin(int min)
{
    if (min == m_min)
        return;
    m_min = min;
    m_max = std::max(m_max, m_min);
    m_position = std::clamp(m_position, m_min, m_max);
    Invalidate();
}

void TProgressBar::SetMax(int max)
{
    if (max == m_max)
        return;
    m_max = max;
    m_min = std::min(m_min, m_max);
    m_position = std::clamp(m_position, m_min, m_max);
    Invalidate();
}

void TProgressBar::SetPosition(int position)
{
    position = std::clamp(position, m_min, m_max);
    if (position == m_position)
        return;
    m_position = position;
    Invalidate();
}

void TProgressBar::SetSmooth(bool smooth)
{
    if (smooth == m_smooth)
        return;
    m_smooth = smooth;
    Invalidate();
}

TRect TProgressBar::BarRect() const
{
    // Inside the one-pixel frame and a pixel of room.
    TRect inner(2, 2, std::max(2, Width() - 2), std::max(2, Height() - 2));
    long long range = static_cast<long long>(m_max) - m_min;
    int width = range <= 0
                    ? 0
                    : static_cast<int>(static_cast<long long>(inner.Width()) * (m_position - m_min) / range);
    return TRect(inner.left, inner.top, inner.left + width, inner.bottom);
}

void TProgressBar::Paint()
{
    HDC dc = Canvas()->Handle();
    RECT frame = ClientRect();
    DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    TRect bar = BarRect();
    if (bar.IsEmpty())
        return;
    HBRUSH fill = GetSysColorBrush(COLOR_HIGHLIGHT);
    if (m_smooth)
    {
        FillRect(dc, &bar, fill);
        return;
    }
    // Blocks two thirds of the bar's height wide with a two-pixel gap; the last one may be cut.
    int block = std::max(2, bar.Height() * 2 / 3);
    for (int x = bar.left; x < bar.right; x += block + 2)
    {
        RECT piece{x, bar.top, std::min(x + block, static_cast<int>(bar.right)), bar.bottom};
        FillRect(dc, &piece, fill);
    }
}

// ---- TTrackBar -------------------------------------------------------------------------------

namespace
{
constexpr int kThumbAlong = 11; // the thumb's extent along the channel
constexpr int kChannelInset = 8;
} // namespace

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(Left(), Top(), 150, 45);
    SetTabStop(true);
}

void TTrackBar::SetMin(int value)
{
    if (value == m_min)
        return;
    m_min = value;
    m_max = std::max(m_max, m_min);
    SetPosition(m_position);
    Invalidate();
}

void TTrackBar::SetMax(int value)
{
    if (value == m_max)
        return;
    m_max = value;
    m_min = std::min(m_min, m_max);
    SetPosition(m_position);
    Invalidate();
}

void TTrackBar::SetPosition(int value)
{
    value = std::clamp(value, m_min, m_max);
    if (value == m_position)
        return;
    m_position = value;
    Invalidate();
    Changed();
}

void TTrackBar::Changed()
{
    OnChange(this);
}

void TTrackBar::SetFrequency(int value)
{
    m_frequency = value;
    Invalidate();
}

void TTrackBar::SetTickMarks(TTickMark value)
{
    m_tickMarks = value;
    Invalidate();
}

void TTrackBar::SetThumbLength(int value)
{
    m_thumbLength = std::max(value, 1);
    Invalidate();
}

void TTrackBar::SetOrientation(TTrackBarOrientation value)
{
    if (value == m_orientation)
        return;
    m_orientation = value;
    Invalidate();
}

int TTrackBar::ChannelStart() const
{
    return kChannelInset;
}

int TTrackBar::ChannelEnd() const
{
    return std::max(ChannelStart(), (Vertical() ? Height() : Width()) - kChannelInset - 1);
}

int TTrackBar::PixelOf(int position) const
{
    int span = m_max - m_min;
    if (span <= 0)
        return ChannelStart();
    return ChannelStart() +
           static_cast<int>(static_cast<int64_t>(position - m_min) * (ChannelEnd() - ChannelStart()) / span);
}

int TTrackBar::PositionAt(int along) const
{
    int length = ChannelEnd() - ChannelStart();
    if (length <= 0)
        return m_min;
    int spot = std::clamp(along - ChannelStart(), 0, length);
    // Rounded to the nearest position.
    return m_min + static_cast<int>((static_cast<int64_t>(spot) * (m_max - m_min) + length / 2) / length);
}

TRect TTrackBar::ThumbRect() const
{
    int centre = PixelOf(m_position);
    int breadth = Vertical() ? Width() : Height();
    int across = std::max(0, (breadth - m_thumbLength) / 2);
    int half = kThumbAlong / 2;
    if (Vertical())
        return TRect(across, centre - half, across + m_thumbLength, centre - half + kThumbAlong);
    return TRect(centre - half, across, centre - half + kThumbAlong, across + m_thumbLength);
}

void TTrackBar::PaintWindow(HDC dc)
{
    RECT all{0, 0, Width(), Height()};
    HBRUSH face = CreateSolidBrush(ColorToRGB(Color()));
    FillRect(dc, &all, face);
    DeleteObject(face);
    int breadth = Vertical() ? Width() : Height();
    int mid = breadth / 2;
    RECT channel = Vertical() ? RECT{mid - 2, ChannelStart() - 2, mid + 2, ChannelEnd() + 3}
                              : RECT{ChannelStart() - 2, mid - 2, ChannelEnd() + 3, mid + 2};
    DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT);
    TRect thumb = ThumbRect();
    // Ticks every Frequency positions and at both ends, on the sides asked for.
    if (m_frequency > 0)
    {
        HBRUSH ink = CreateSolidBrush(ColorToRGB(clBtnText));
        int before = Vertical() ? thumb.left - 5 : thumb.top - 5;
        int after = Vertical() ? thumb.right + 2 : thumb.bottom + 2;
        auto tick = [&](int position)
        {
            int p = PixelOf(position);
            for (int side : {0, 1})
            {
                if ((side == 0 && m_tickMarks == tmBottomRight) || (side == 1 && m_tickMarks == tmTopLeft))
                    continue;
                int at = side == 0 ? before : after;
                RECT r = Vertical() ? RECT{at, p, at + 3, p + 1} : RECT{p, at, p + 1, at + 3};
                FillRect(dc, &r, ink);
            }
        };
        int64_t count = (static_cast<int64_t>(m_max) - m_min) / m_frequency;
        for (int64_t k = 0; k <= count && k <= 4096; ++k)
            tick(m_min + static_cast<int>(k * m_frequency));
        tick(m_max);
        DeleteObject(ink);
    }
    RECT t = thumb;
    HBRUSH button = CreateSolidBrush(ColorToRGB(clBtnFace));
    FillRect(dc, &t, button);
    DeleteObject(button);
    DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
    if (Focused())
    {
        RECT focus{0, 0, Width(), Height()};
        DrawFocusRect(dc, &focus);
    }
}

void TTrackBar::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    switch (Key)
    {
    case VK_LEFT:
    case VK_UP:
        SetPosition(m_position - LineSize);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        SetPosition(m_position + LineSize);
        break;
    case VK_PRIOR:
        SetPosition(m_position - PageSize);
        break;
    case VK_NEXT:
        SetPosition(m_position + PageSize);
        break;
    case VK_HOME:
        SetPosition(m_min);
        break;
    case VK_END:
        SetPosition(m_max);
        break;
    }
}

void TTrackBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        TRect thumb = ThumbRect();
        int along = Vertical() ? Y : X;
        if (thumb.Contains(TPoint(X, Y)))
        {
            m_dragging = true;
            m_grab = along - PixelOf(m_position);
        }
        else
            SetPosition(m_position + (along < PixelOf(m_position) ? -PageSize : PageSize));
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TTrackBar::MouseMove(TShiftState Shift, int X, int Y)
{
    if (m_dragging)
        SetPosition(PositionAt((Vertical() ? Y : X) - m_grab));
    TWinControl::MouseMove(Shift, X, Y);
}

void TTrackBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && m_dragging)
    {
        SetPosition(PositionAt((Vertical() ? Y : X) - m_grab));
        m_dragging = false;
    }
    TWinControl::MouseUp(Button, Shift, X, Y);
}
