// The class library's common controls: the progress bar.
#pragma once

#include "Platform/Vcl/Controls.h"

// A progress bar in the platform's classic look: a sunken frame filled from the left in the
// highlight colour, in blocks or (Smooth) as one bar. Position stays within Min..Max.
class TProgressBar : public TCustomControl
{
public:
    explicit TProgressBar(TComponent* AOwner);

    int Min() const { return m_min; }
    void SetMin(int min);
    int Max() const { return m_max; }
    void SetMax(int max);
    int Position() const { return m_position; }
    void SetPosition(int position);
    int Step() const { return m_step; }
    void SetStep(int step) { m_step = step; }
    void StepIt() { SetPosition(m_position + m_step); }
    void StepBy(int delta) { SetPosition(m_position + delta); }
    bool Smooth() const { return m_smooth; }
    void SetSmooth(bool smooth);
    // The filled part of the client area for the current position.
    TRect BarRect() const;

protected:
    void Paint() override;

private:
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_step = 10;
    bool m_smooth = false;
};
