#include "Platform/Vcl/ComCtrls.h"

#include <algorithm>

namespace
{
constexpr UINT FirstRepeatDelay = 400;
constexpr UINT RepeatInterval = 100;
} // namespace

TUpDown::TUpDown(TComponent* AOwner) : TWinControl(AOwner), m_repeat(new TTimer(this))
{
    m_repeat->SetEnabled(false);
    m_repeat->OnTimer = MakeClosure(this, &TUpDown::RepeatTimer);
    TControlStyle style = ControlStyle();
    style >> csClickEvents >> csDoubleClicks;
    SetControlStyle(style);
    SetBounds(0, 0, 17, 25);
}

void TUpDown::SetMin(int value)
{
    if (value == m_min)
        return;
    m_min = value;
    m_max = std::max(m_max, m_min);
    SetPosition(m_position);
}

void TUpDown::SetMax(int value)
{
    if (value == m_max)
        return;
    m_max = value;
    m_min = std::min(m_min, m_max);
    SetPosition(m_position);
}

void TUpDown::SetPosition(int value)
{
    m_position = std::clamp(value, m_min, m_max);
}

void TUpDown::SetOrientation(TUDOrientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    Invalidate();
}

TRect TUpDown::ButtonRect(TUpDownDirection direction) const
{
    if (m_orientation == udVertical)
    {
        int half = Height() / 2;
        return direction == updUp ? TRect(0, 0, Width(), half) : TRect(0, half, Width(), Height());
    }
    int half = Width() / 2;
    return direction == updUp ? TRect(half, 0, Width(), Height()) : TRect(0, 0, half, Height());
}

TUpDownDirection TUpDown::DirectionAt(int x, int y) const
{
    if (ButtonRect(updUp).Contains(TPoint(x, y)))
        return updUp;
    if (ButtonRect(updDown).Contains(TPoint(x, y)))
        return updDown;
    return updNone;
}

void TUpDown::Step(TUpDownDirection direction)
{
    if (direction == updNone || !Enabled())
        return;
    int64_t target = static_cast<int64_t>(m_position) + (direction == updUp ? m_increment : -m_increment);
    int value;
    if (target > m_max)
        value = m_wrap ? m_min : m_max;
    else if (target < m_min)
        value = m_wrap ? m_max : m_min;
    else
        value = static_cast<int>(target);
    bool allow = true;
    OnChangingEx(this, allow, value, direction);
    if (!allow)
        return;
    OnChanging(this, allow);
    if (!allow)
        return;
    m_position = value;
    OnClick(this, direction == updUp ? btNext : btPrev);
}

void TUpDown::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    bool vertical = m_orientation == udVertical;
    if ((vertical && Key == VK_UP) || (!vertical && Key == VK_RIGHT))
        Step(updUp);
    else if ((vertical && Key == VK_DOWN) || (!vertical && Key == VK_LEFT))
        Step(updDown);
    else
        return;
    Key = 0;
}

void TUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWinControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    m_held = DirectionAt(X, Y);
    m_pressed = m_held;
    Invalidate();
    if (m_held == updNone)
        return;
    m_repeat->SetInterval(FirstRepeatDelay);
    m_repeat->SetEnabled(true);
    Step(m_held);
}

void TUpDown::MouseMove(TShiftState Shift, int X, int Y)
{
    TWinControl::MouseMove(Shift, X, Y);
    if (m_held == updNone)
        return;
    // Off its button the press stops repeating until the pointer comes back.
    TUpDownDirection now = DirectionAt(X, Y) == m_held ? m_held : updNone;
    if (now != m_pressed)
    {
        m_pressed = now;
        Invalidate();
    }
}

void TUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        m_held = updNone;
        m_pressed = updNone;
        m_repeat->SetEnabled(false);
        Invalidate();
    }
    TWinControl::MouseUp(Button, Shift, X, Y);
}

void TUpDown::RepeatTimer(TObject*)
{
    if (m_held == updNone)
    {
        m_repeat->SetEnabled(false);
        return;
    }
    m_repeat->SetInterval(RepeatInterval);
    if (m_pressed == m_held)
        Step(m_held);
}

void TUpDown::PaintWindow(HDC dc)
{
    bool vertical = m_orientation == udVertical;
    for (TUpDownDirection d : {updUp, updDown})
    {
        RECT r = ButtonRect(d);
        UINT arrow = vertical ? (d == updUp ? DFCS_SCROLLUP : DFCS_SCROLLDOWN)
                              : (d == updUp ? DFCS_SCROLLRIGHT : DFCS_SCROLLLEFT);
        UINT state = arrow | (m_pressed == d ? DFCS_PUSHED : 0) | (Enabled() ? 0 : DFCS_INACTIVE);
        DrawFrameControl(dc, &r, DFC_SCROLL, state);
    }
}
