#include "Controls/XComboBox.h"

XComboBox::XComboBox(TComponent* AOwner) : TComboBox(AOwner)
{
    FBorderStyle = bsSingle;
    RecreateWnd();
    AdjustHeight();
}

void XComboBox::SetBorderStyle(TFormBorderStyle value)
{
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    RecreateWnd();
    AdjustHeight();
}

void XComboBox::CreateParams(TCreateParams& Params)
{
    TComboBox::CreateParams(Params);
    if (FBorderStyle != bsNone)
    {
        Params.ExStyle |= WS_EX_CLIENTEDGE;
        Params.Style |= WS_BORDER;
        return;
    }
    Params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
    Params.Style &= ~DWORD(WS_BORDER);
}
