// A flat owner-drawn button: a push button, or a check button that stays down. The collapsible
// panel uses one as its caption bar. It draws the platform's button frame with its caption, has
// no focus rectangle, hover state or keyboard activation, and hands its ModalResult to the form
// when clicked.
#pragma once

#include "Platform/Vcl/Controls.h"

enum XStdButtonStyle
{
    xbsButton = 0,
    xbsCheckButton = 1
};

class XStdButton : public TCustomControl
{
public:
    explicit XStdButton(TComponent* AOwner);

    bool Down() const { return FDown; }
    // True is refused while the style is xbsButton; false is always taken. Repaints on change.
    void SetDown(bool value);
    XStdButtonStyle ButtonStyle() const { return FButtonStyle; }
    // xbsButton also releases Down.
    void SetButtonStyle(XStdButtonStyle value);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    // True while the left button is held on the control.
    bool Pressed() const { return FPressed; }

    // Hands ModalResult (0 included) to the form the button lies on, then fires OnClick.
    void Click() override;

protected:
    void Paint() override;
    void WndProc(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // Only OnMouseMove: the button has no hover state.
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void Resize() override;
    bool UseRightToLeftAlignment() const { return false; }

private:
    bool FDown = false;
    bool FPressed = false;
    XStdButtonStyle FButtonStyle = xbsButton;
    int FModalResult = 0;
};
