#include "Platform/Vcl/Buttons.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), m_glyph(new TBitmap)
{
    SetBounds(Left(), Top(), 23, 22);
}

TSpeedButton::~TSpeedButton()
{
    delete m_glyph;
}

void TSpeedButton::SetGlyph(TBitmap* glyph)
{
    m_glyph->SetSize(glyph ? glyph->Width() : 0, glyph ? glyph->Height() : 0);
    for (int y = 0; glyph && y < glyph->Height(); ++y)
    {
        const uint32_t* from = glyph->ScanLine(y);
        uint32_t* to = m_glyph->ScanLine(y);
        for (int x = 0; x < glyph->Width(); ++x)
            to[x] = from[x];
    }
    Invalidate();
}

void TSpeedButton::SetFlat(bool flat)
{
    m_flat = flat;
    Invalidate();
}

void TSpeedButton::Paint()
{
    TCanvas* canvas = Canvas();
    HDC dc = canvas->Handle();
    RECT r{0, 0, Width(), Height()};
    if (m_flat && !m_pressed)
    {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(TRect(r));
    }
    else
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (m_pressed ? DFCS_PUSHED : 0));
    int shift = m_pressed ? 1 : 0;
    int gw = m_glyph->Width(), gh = m_glyph->Height();
    if (gw > 0 && gh > 0)
    {
        int x0 = (Width() - gw) / 2 + shift, y0 = (Height() - gh) / 2 + shift;
        uint32_t transparent = m_glyph->ScanLine(gh - 1)[0];
        for (int y = 0; y < gh; ++y)
        {
            const uint32_t* row = m_glyph->ScanLine(y);
            for (int x = 0; x < gw; ++x)
            {
                if (row[x] == transparent)
                    continue;
                uint32_t p = row[x];
                uint32_t ink = Enabled() ? p : Platform::Gdi::ToPixel(ColorToRGB(clBtnShadow));
                SetPixel(dc, x0 + x, y0 + y, Platform::Gdi::FromPixel(ink));
            }
        }
        return;
    }
    canvas->Brush()->SetStyle(bsClear);
    RECT text = r;
    OffsetRect(&text, shift, shift);
    UnicodeString caption = Caption();
    DrawTextW(canvas->Handle(), caption.c_str(), caption.Length(), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && Enabled())
    {
        m_pressed = true;
        Invalidate();
    }
    TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && m_pressed)
    {
        m_pressed = false;
        Invalidate();
    }
    TGraphicControl::MouseUp(Button, Shift, X, Y);
}
