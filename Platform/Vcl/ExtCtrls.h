// The class library's extra controls unit: the timer and the bevel.
#pragma once

#include "Platform/Vcl/Classes.h"
#include "Platform/Vcl/Controls.h"

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

enum TBevelShape
{
    bsBox,
    bsFrame,
    bsTopLine,
    bsBottomLine,
    bsLeftLine,
    bsRightLine,
    bsSpacer
};

enum TBevelStyle
{
    bsLowered,
    bsRaised
};

// An etched line or frame in the platform's 3D colours.
class TBevel : public TGraphicControl
{
public:
    explicit TBevel(TComponent* AOwner);

    TBevelShape Shape() const { return m_shape; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return m_style; }
    void SetStyle(TBevelStyle style);

protected:
    void Paint() override;

private:
    TBevelShape m_shape = bsBox;
    TBevelStyle m_style = bsLowered;
};
