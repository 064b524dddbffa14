#include "Platform/Vcl/ExtCtrls.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner)
{
    m_window = Platform::RegisterWindowReceiver(
        [this](UINT message, WPARAM, LPARAM) -> LRESULT
        {
            if (message == WM_TIMER)
                Timer();
            return 0;
        });
    UpdateTimer();
}

TTimer::~TTimer()
{
    if (m_destroyed)
        *m_destroyed = true;
    Platform::UnregisterWindowReceiver(m_window);
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(UINT interval)
{
    if (interval == m_interval)
        return;
    m_interval = interval;
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    Platform::KillWindowTimers(m_window);
    if (m_enabled && m_interval != 0)
        SetTimer(m_window, 1, m_interval, nullptr);
}

void TTimer::Timer()
{
    if (m_inTimer || !m_enabled)
        return;
    bool destroyed = false;
    bool* outer = m_destroyed;
    m_destroyed = &destroyed;
    m_inTimer = true;
    struct Reset
    {
        TTimer* timer;
        bool& destroyed;
        bool* outer;
        ~Reset()
        {
            if (destroyed)
                return;
            timer->m_inTimer = false;
            timer->m_destroyed = outer;
        }
    } reset{this, destroyed, outer};
    OnTimer(this);
}

// ---- TBevel ----------------------------------------------------------------------------------

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    if (shape == m_shape)
        return;
    m_shape = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style)
{
    if (style == m_style)
        return;
    m_style = style;
    Invalidate();
}

void TBevel::Paint()
{
    TCanvas* canvas = Canvas();
    // Lowered: the shadow above and left of the light; raised the other way round.
    TColor dark = m_style == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor light = m_style == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = Width();
    int h = Height();
    auto line = [canvas](TColor color, int x1, int y1, int x2, int y2)
    {
        canvas->Pen()->SetColor(color);
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    // Top and left in the first colour, bottom and right in the second.
    auto box = [&line](TColor topLeft, TColor bottomRight, int left, int top, int right, int bottom)
    {
        line(topLeft, left, bottom - 1, left, top);
        line(topLeft, left, top, right, top);
        line(bottomRight, right - 1, top, right - 1, bottom);
        line(bottomRight, left, bottom - 1, right, bottom - 1);
    };
    switch (m_shape)
    {
    case bsBox:
        box(dark, light, 0, 0, w, h);
        break;
    case bsFrame:
        box(light, light, 1, 1, w, h);
        box(dark, dark, 0, 0, w - 1, h - 1);
        break;
    case bsTopLine:
        line(dark, 0, 0, w, 0);
        line(light, 0, 1, w, 1);
        break;
    case bsBottomLine:
        line(dark, 0, h - 2, w, h - 2);
        line(light, 0, h - 1, w, h - 1);
        break;
    case bsLeftLine:
        line(dark, 0, 0, 0, h);
        line(light, 1, 0, 1, h);
        break;
    case bsRightLine:
        line(dark, w - 2, 0, w - 2, h);
        line(light, w - 1, 0, w - 1, h);
        break;
    case bsSpacer:
        break;
    }
}
