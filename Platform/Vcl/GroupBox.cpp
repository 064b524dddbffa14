#include "Platform/Vcl/StdCtrls.h"

TGroupBox::TGroupBox(TComponent* AOwner) : TCustomControl(AOwner)
{
    TControlStyle style = ControlStyle();
    style << csAcceptsControls;
    SetControlStyle(style);
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::AlignControls(TRect& rect)
{
    // Aligned children stay inside the frame, below the caption.
    int captionHeight = Canvas()->TextHeight(u"0");
    rect.left += 2;
    rect.right -= 2;
    rect.top += captionHeight;
    rect.bottom -= 2;
    TCustomControl::AlignControls(rect);
}

void TGroupBox::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    UnicodeString caption = Caption();
    int textHeight = canvas->TextHeight(u"0");
    RECT frame{0, textHeight / 2, Width(), Height()};
    HDC dc = canvas->Handle();
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (caption.IsEmpty())
        return;
    // The caption sits in a gap of the top edge, on the face colour.
    int textWidth = canvas->TextWidth(caption);
    TRect gap(6, 0, 8 + textWidth + 2, textHeight);
    canvas->FillRect(gap);
    canvas->Font()->SetColor(Enabled() ? clWindowText : clGrayText);
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextOut(8, 0, caption);
}
