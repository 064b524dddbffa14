#include "Platform/Vcl/StdCtrls.h"

namespace
{
constexpr int BoxSize = 13;
constexpr int TextGap = 4;
} // namespace

TCheckBox::TCheckBox(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetTabStop(true);
    // The click comes from our own press and release, so a Click() from code toggles nothing.
    TControlStyle style = ControlStyle();
    style >> csClickEvents >> csDoubleClicks;
    SetControlStyle(style);
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

void TCheckBox::SetAlignment(TAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    Invalidate();
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

void TCheckBox::SetPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    Invalidate();
}

void TCheckBox::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE && !m_spaceDown)
    {
        m_spaceDown = true;
        SetPressed(true);
    }
}

void TCheckBox::KeyUp(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyUp(Key, Shift);
    if (Key == VK_SPACE && m_spaceDown)
    {
        m_spaceDown = false;
        SetPressed(false);
        Toggle();
    }
}

void TCheckBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    m_mouseDown = true;
    SetPressed(true);
}

void TCheckBox::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    if (m_mouseDown)
        SetPressed(ClientRect().Contains(TPoint(X, Y)));
}

void TCheckBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && m_mouseDown)
    {
        m_mouseDown = false;
        bool inside = ClientRect().Contains(TPoint(X, Y));
        SetPressed(false);
        // The handler of the click may free the box: nothing of it is touched after.
        if (inside && Enabled())
        {
            TCustomControl::MouseUp(Button, Shift, X, Y);
            Toggle();
            return;
        }
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCheckBox::DoEnter()
{
    TCustomControl::DoEnter();
    Invalidate();
}

void TCheckBox::DoExit()
{
    m_mouseDown = false;
    m_spaceDown = false;
    SetPressed(false);
    TCustomControl::DoExit();
    Invalidate();
}

void TCheckBox::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    HDC dc = canvas->Handle();
    int top = (Height() - BoxSize) / 2;
    bool left = m_alignment == taRightJustify;
    int boxLeft = left ? 0 : Width() - BoxSize;
    RECT box{boxLeft, top, boxLeft + BoxSize, top + BoxSize};
    UINT state = DFCS_BUTTONCHECK;
    if (m_state != cbUnchecked)
        state |= DFCS_CHECKED;
    if (m_pressed || m_state == cbGrayed)
        state |= DFCS_PUSHED; // the grayed state shows its tick on the button face
    if (!Enabled())
        state |= DFCS_INACTIVE;
    DrawFrameControl(dc, &box, DFC_BUTTON, state);

    UnicodeString caption = Caption();
    canvas->Font()->SetColor(Enabled() ? clWindowText : clGrayText);
    canvas->Brush()->SetStyle(bsClear);
    dc = canvas->Handle();
    RECT text = left ? RECT{BoxSize + TextGap, 0, Width(), Height()} : RECT{0, 0, Width() - BoxSize - TextGap, Height()};
    RECT measured = text;
    DrawTextW(dc, caption.c_str(), caption.Length(), &measured, DT_CALCRECT | DT_SINGLELINE);
    DrawTextW(dc, caption.c_str(), caption.Length(), &text, DT_VCENTER | DT_SINGLELINE | (left ? DT_LEFT : DT_RIGHT));
    if (Focused() && !caption.IsEmpty())
    {
        int w = measured.right - measured.left, h = measured.bottom - measured.top;
        int x = left ? text.left - 1 : text.right - w - 1;
        int y = (Height() - h) / 2;
        canvas->DrawFocusRect(TRect(x, y, x + w + 2, y + h));
    }
}
