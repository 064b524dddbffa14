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
