#include "Platform/Vcl/StdCtrls.h"

#include "Platform/Vcl/ButtonMark.h"

namespace
{
constexpr int TextGap = 4;
} // namespace

TButtonControl::TButtonControl(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetTabStop(true);
    // The click comes from our own press and release, so a Click() from code activates nothing.
    TControlStyle style = ControlStyle();
    style >> csClickEvents >> csDoubleClicks;
    SetControlStyle(style);
}

void TButtonControl::SetAlignment(TAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    Invalidate();
}

void TButtonControl::SetPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    Invalidate();
}

void TButtonControl::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE && !m_spaceDown)
    {
        m_spaceDown = true;
        SetPressed(true);
    }
}

void TButtonControl::KeyUp(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyUp(Key, Shift);
    if (Key == VK_SPACE && m_spaceDown)
    {
        m_spaceDown = false;
        SetPressed(false);
        Activate();
    }
}

void TButtonControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    m_mouseDown = true;
    SetPressed(true);
}

void TButtonControl::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    if (m_mouseDown)
        SetPressed(ClientRect().Contains(TPoint(X, Y)));
}

void TButtonControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && m_mouseDown)
    {
        m_mouseDown = false;
        bool inside = ClientRect().Contains(TPoint(X, Y));
        SetPressed(false);
        // The handler of the click may free the control: nothing of it is touched after.
        if (inside && Enabled())
        {
            TCustomControl::MouseUp(Button, Shift, X, Y);
            Activate();
            return;
        }
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButtonControl::DoEnter()
{
    TCustomControl::DoEnter();
    Invalidate();
}

void TButtonControl::DoExit()
{
    m_mouseDown = false;
    m_spaceDown = false;
    SetPressed(false);
    TCustomControl::DoExit();
    Invalidate();
}

void TButtonControl::PaintMark(UINT markState)
{
    if (m_pressed)
        markState |= DFCS_PUSHED;
    if (!Enabled())
        markState |= DFCS_INACTIVE;
    Vcl::PaintButtonMark(Canvas(), ClientRect(), Color(), markState, m_alignment == taRightJustify, Caption(),
                         Enabled(), Focused());
}

TCheckBox::TCheckBox(TComponent* AOwner) : TButtonControl(AOwner)
{
    SetBounds(0, 0, 97, 17);
}

void TCheckBox::SetState(TCheckBoxState state)
{
    if (state == m_state)
        return;
    m_state = state;
    Invalidate();
    Click();
}

void TCheckBox::Toggle()
{
    switch (m_state)
    {
    case cbUnchecked:
        SetState(m_allowGrayed ? cbGrayed : cbChecked);
        break;
    case cbChecked:
        SetState(cbUnchecked);
        break;
    case cbGrayed:
        SetState(cbChecked);
        break;
    }
}

void TCheckBox::Paint()
{
    UINT state = DFCS_BUTTONCHECK;
    if (m_state != cbUnchecked)
        state |= DFCS_CHECKED;
    if (m_state == cbGrayed)
        state |= DFCS_PUSHED; // the grayed state shows its tick on the button face
    PaintMark(state);
}

void Vcl::PaintButtonMark(TCanvas* canvas, const TRect& client, TColor face, UINT markState, bool captionRight,
                          const UnicodeString& caption, bool enabled, bool focused)
{
    canvas->Brush()->SetColor(face);
    canvas->FillRect(client);
    HDC dc = canvas->Handle();
    int width = client.Width(), height = client.Height();
    int top = (height - ButtonMarkSize) / 2;
    int boxLeft = captionRight ? 0 : width - ButtonMarkSize;
    RECT box{boxLeft, top, boxLeft + ButtonMarkSize, top + ButtonMarkSize};
    DrawFrameControl(dc, &box, DFC_BUTTON, markState);

    canvas->Font()->SetColor(enabled ? clWindowText : clGrayText);
    canvas->Brush()->SetStyle(bsClear);
    dc = canvas->Handle();
    RECT text = captionRight ? RECT{ButtonMarkSize + TextGap, 0, width, height}
                             : RECT{0, 0, width - ButtonMarkSize - TextGap, height};
    RECT measured = text;
    DrawTextW(dc, caption.c_str(), caption.Length(), &measured, DT_CALCRECT | DT_SINGLELINE);
    DrawTextW(dc, caption.c_str(), caption.Length(), &text,
              DT_VCENTER | DT_SINGLELINE | (captionRight ? DT_LEFT : DT_RIGHT));
    if (focused && !caption.IsEmpty())
    {
        int w = measured.right - measured.left, h = measured.bottom - measured.top;
        int x = captionRight ? text.left - 1 : text.right - w - 1;
        int y = (height - h) / 2;
        canvas->DrawFocusRect(TRect(x, y, x + w + 2, y + h));
    }
}
