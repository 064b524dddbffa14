// Replaces the clock behind GetTickCount and the message queue's timers while it lives, so a test
// moves time by hand instead of sleeping.
#pragma once

#include "Platform/Win32/Windows.h"

class ManualClock
{
public:
    explicit ManualClock(DWORD start = 1000) : m_now(start)
    {
        m_previous = Platform::SetTickClock([this] { return m_now; });
    }
    ~ManualClock() { Platform::SetTickClock(m_previous); }
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    void Advance(DWORD milliseconds) { m_now += milliseconds; }
    DWORD Now() const { return m_now; }

private:
    DWORD m_now;
    Platform::TickClock m_previous;
};
