#include "Platform/Vcl/ExtCtrls.h"

#include <algorithm>

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

// ---- TSplitter -------------------------------------------------------------------------------

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetAlign(alLeft);
    SetBounds(0, 0, 3, 100);
}

void TSplitter::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
}

TControl* TSplitter::FindControl() const
{
    TWinControl* parent = Parent();
    if (!parent)
        return nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i)
    {
        TControl* c = parent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align())
            continue;
        switch (Align())
        {
        case alTop:
            if (c->Top() + c->Height() == Top())
                return c;
            break;
        case alBottom:
            if (c->Top() == Top() + Height())
                return c;
            break;
        case alLeft:
            if (c->Left() + c->Width() == Left())
                return c;
            break;
        case alRight:
            if (c->Left() == Left() + Width())
                return c;
            break;
        default:
            break;
        }
    }
    return nullptr;
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Parent())
        return;
    EndDrag();
    m_control = FindControl();
    if (!m_control)
        return;
    m_control->FreeNotification(this);
    m_dragging = true;
    m_downPos = Vertical() ? Left() + X : Top() + Y;
    m_startSize = Vertical() ? m_control->Width() : m_control->Height();
    // The room the other controls along the axis leave, keeping MinSize for the client.
    int room = (Vertical() ? Parent()->ClientWidth() : Parent()->ClientHeight()) - m_minSize;
    for (int i = 0; i < Parent()->ControlCount(); ++i)
    {
        TControl* c = Parent()->Controls(i);
        if (!c->Visible())
            continue;
        if (Vertical() && (c->Align() == alLeft || c->Align() == alRight))
            room -= c->Width();
        else if (!Vertical() && (c->Align() == alTop || c->Align() == alBottom))
            room -= c->Height();
    }
    m_maxSize = room + m_startSize;
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!m_dragging || !m_control)
        return;
    int pos = Vertical() ? Left() + X : Top() + Y;
    int delta = pos - m_downPos;
    if (Align() == alRight || Align() == alBottom)
        delta = -delta;
    // Too little room for even MinSize: the control keeps its size.
    if (m_maxSize < m_minSize)
        return;
    int size = std::clamp(m_startSize + delta, m_minSize, m_maxSize);
    int current = Vertical() ? m_control->Width() : m_control->Height();
    if (size == current)
        return;
    if (Vertical())
    {
        int left = Align() == alRight ? m_control->Left() + m_control->Width() - size : m_control->Left();
        m_control->SetBounds(left, m_control->Top(), size, m_control->Height());
    }
    else
    {
        int top = Align() == alBottom ? m_control->Top() + m_control->Height() - size : m_control->Top();
        m_control->SetBounds(m_control->Left(), top, m_control->Width(), size);
    }
    OnMoved(this);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft)
        EndDrag();
}

void TSplitter::EndDrag()
{
    if (m_control)
        m_control->RemoveFreeNotification(this);
    m_dragging = false;
    m_control = nullptr;
}

void TSplitter::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == m_control)
    {
        m_control = nullptr;
        m_dragging = false;
    }
}
