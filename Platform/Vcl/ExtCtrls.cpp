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
