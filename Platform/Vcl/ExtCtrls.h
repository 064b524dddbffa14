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

// A bar between aligned controls that the user drags to resize the control before it: the one
// whose edge touches the splitter's on its aligned side (above an alTop splitter, left of an alLeft
// one). The size stays between MinSize and what leaves MinSize for the rest of the parent. The
// parent aligns again at each step and OnMoved fires after it.
class TSplitter : public TGraphicControl
{
public:
    explicit TSplitter(TComponent* AOwner);

    int MinSize() const { return m_minSize; }
    void SetMinSize(int size) { m_minSize = size < 1 ? 1 : size; }
    // The control the splitter resizes, found at the press (null when none touches it).
    TControl* ResizedControl() const { return m_control; }

    TNotifyEvent OnMoved;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TControl* FindControl() const;
    void EndDrag();
    bool Vertical() const { return Align() == alLeft || Align() == alRight; }

    int m_minSize = 30;
    TControl* m_control = nullptr;
    bool m_dragging = false;
    int m_downPos = 0;   // the press, along the splitter's axis, in the parent's coordinates
    int m_startSize = 0; // the control's size at the press
    int m_maxSize = 0;
};

// A raised (by default) face with its caption centred, holding other controls. BevelOuter and
// BevelInner are drawn BevelWidth lines wide, BorderWidth apart; they are the panel's own, as on
// the platform, not the window frame's bevels of TWinControl (which a panel leaves at bkNone).
class TPanel : public TCustomControl
{
public:
    explicit TPanel(TComponent* AOwner);

    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevelCut cut);
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);
    // Where the caption stands across the panel (0 left, 1 right, 2 centre: TAlignment's order).
    int Alignment() const { return m_alignment; }
    void SetAlignment(int alignment);

protected:
    void Paint() override;
    void TextChanged() override { Invalidate(); }
    void AlignControls(TRect& rect) override;

private:
    int Inset() const;

    TBevelCut m_bevelOuter = bvRaised;
    TBevelCut m_bevelInner = bvNone;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    int m_alignment = 2;
};
