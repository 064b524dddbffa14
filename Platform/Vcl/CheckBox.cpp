#include "Platform/Vcl/StdCtrls.h"

namespace
{
constexpr int MarkSize = 13; // the check box or radio mark
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
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    const TRect client = ClientRect();
    canvas->FillRect(client);
    HDC dc = canvas->Handle();
    const int width = client.Width(), height = client.Height();
    const bool captionRight = m_alignment == taRightJustify;
    int top = (height - MarkSize) / 2;
    int boxLeft = captionRight ? 0 : width - MarkSize;
    RECT box{boxLeft, top, boxLeft + MarkSize, top + MarkSize};
    DrawFrameControl(dc, &box, DFC_BUTTON, markState);

    UnicodeString caption = Caption();
    canvas->Font()->SetColor(Enabled() ? clWindowText : clGrayText);
    canvas->Brush()->SetStyle(bsClear);
    dc = canvas->Handle();
    RECT text = captionRight ? RECT{MarkSize + TextGap, 0, width, height} : RECT{0, 0, width - MarkSize - TextGap, height};
    RECT measured = text;
    DrawTextW(dc, caption.c_str(), caption.Length(), &measured, DT_CALCRECT | DT_SINGLELINE);
    DrawTextW(dc, caption.c_str(), caption.Length(), &text,
              DT_VCENTER | DT_SINGLELINE | (captionRight ? DT_LEFT : DT_RIGHT));
    if (Focused() && !caption.IsEmpty())
    {
        int w = measured.right - measured.left, h = measured.bottom - measured.top;
        int x = captionRight ? text.left - 1 : text.right - w - 1;
        int y = (height - h) / 2;
        canvas->DrawFocusRect(TRect(x, y, x + w + 2, y + h));
    }
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
