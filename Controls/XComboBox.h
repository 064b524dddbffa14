// The standard combo box with a switchable border: any border style but bsNone puts a one-pixel
// window frame and a sunken client edge around the box's own edge; bsNone shows the box's edge
// alone. The bevel properties of windowed controls frame it further when set.
#pragma once

#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

class XComboBox : public TComboBox
{
public:
    explicit XComboBox(TComponent* AOwner);

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    // Makes the window again with the new frame; its text, items and selection stay.
    void SetBorderStyle(TFormBorderStyle value);

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    TFormBorderStyle FBorderStyle = bsSingle;
};
