#include "Controls/XStdButton.h"

#include "Platform/Vcl/Forms.h"

XStdButton::XStdButton(TComponent* AOwner) : TCustomControl(AOwner)
{
    TControlStyle style = ControlStyle();
    style << csSetCaption << csOpaque << csCaptureMouse;
    style >> csDoubleClicks; // a quick second click is a second click
    SetControlStyle(style);
    SetBounds(Left(), Top(), 75, 25);
    SetTabStop(true);
}

void XStdButton::SetDown(bool value)
{
    if (value == FDown)
        return;
    if (value && FButtonStyle == xbsButton)
        return;
    FDown = value;
    Invalidate();
}

void XStdButton::SetButtonStyle(XStdButtonStyle value)
{
    if (value == FButtonStyle)
        return;
    FButtonStyle = value;
    if (value == xbsButton)
        FDown = false;
    Invalidate();
}

void XStdButton::Paint()
{
    TCanvas* canvas = Canvas();
    RECT r{0, 0, Width(), Height()};
    bool pushed = (FButtonStyle == xbsCheckButton && FDown) || (FButtonStyle == xbsButton && FPressed);
    UINT state = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
    if (!Enabled())
        state |= DFCS_INACTIVE;
    if (pushed)
        state |= DFCS_PUSHED;
    HDC dc = canvas->Handle();
    DrawFrameControl(dc, &r, DFC_BUTTON, state);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(Font());
    UnicodeString caption = Caption();
    RECT text = r;
    if (pushed)
        OffsetRect(&text, 1, 1);
    dc = canvas->Handle(); // selects the brush and font just set
    // Centred when it fits; a caption too wide keeps its start and is cut at its end.
    const UINT format = CaptionFormat(dc, caption, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (!Enabled())
    {
        // Engraved: the highlight one pixel down and right, the shadow over it.
        RECT light = text;
        OffsetRect(&light, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextExW(dc, caption.str().data(), caption.Length(), &light, format, nullptr);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
        DrawTextExW(dc, caption.str().data(), caption.Length(), &text, format, nullptr);
        return;
    }
    SetTextColor(dc, ColorToRGB(Font()->Color()));
    DrawTextExW(dc, caption.str().data(), caption.Length(), &text, format, nullptr);
}

void XStdButton::WndProc(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_ERASEBKGND:
        Message.Result = 1; // painted whole by Paint
        return;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
        Invalidate();
        break;
    }
    TCustomControl::WndProc(Message);
}

void XStdButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && !ComponentState().Contains(csDesigning))
    {
        FPressed = true;
        if (FButtonStyle == xbsButton)
            Invalidate();
        else
            SetDown(!FDown);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void XStdButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && !ComponentState().Contains(csDesigning))
    {
        FPressed = false;
        Invalidate();
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void XStdButton::MouseMove(TShiftState Shift, int X, int Y)
{
    OnMouseMove(this, Shift, X, Y);
}

void XStdButton::Click()
{
    if (TCustomForm* form = GetParentForm(this))
        form->SetModalResult(FModalResult);
    TCustomControl::Click();
}

void XStdButton::Resize()
{
    Invalidate();
    TCustomControl::Resize();
}
