// Components of the class library's extra controls unit: the timer.
#pragma once

#include "Platform/Vcl/Classes.h"

// Fires OnTimer every Interval milliseconds from the message loop while Enabled. A late loop gets
// one call, not one per missed period; a handler that pumps the loop is not called again inside
// itself.
class TTimer : public TComponent
{
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    // 0 stops the timer.
    UINT Interval() const { return m_interval; }
    void SetInterval(UINT interval);

    TNotifyEvent OnTimer;

    // The timer's window in the Win32 layer's window table.
    HWND Handle() const { return m_window; }

protected:
    virtual void Timer();

private:
    void UpdateTimer();

    HWND m_window = nullptr;
    bool m_enabled = true;
    UINT m_interval = 1000;
    bool m_inTimer = false;
    bool* m_destroyed = nullptr; // set while OnTimer runs, so a handler may free its timer
};
