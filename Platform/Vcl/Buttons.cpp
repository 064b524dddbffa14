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
    bool sunk = m_pressed || m_down;
    if (m_flat && !sunk)
    {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(TRect(r));
        if (m_hot && Enabled())
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    }
    else
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (sunk ? DFCS_PUSHED : 0));
    int shift = sunk ? 1 : 0;
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
    canvas->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
    RECT text = r;
    OffsetRect(&text, shift, shift);
    UnicodeString caption = Caption();
    HDC textDC = canvas->Handle();
    DrawTextW(textDC, caption.c_str(), caption.Length(), &text,
              CaptionFormat(textDC, caption, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE));
}

void TSpeedButton::WndProc(TMessage& Message)
{
    if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE)
    {
        bool hot = Message.Msg == CM_MOUSEENTER;
        if (hot != m_hot)
        {
            m_hot = hot;
            if (m_flat)
                Invalidate();
        }
    }
    TGraphicControl::WndProc(Message);
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

void TSpeedButton::SetGroupIndex(int index)
{
    if (index == m_groupIndex)
        return;
    m_groupIndex = index;
    if (m_groupIndex == 0 && m_down)
    {
        m_down = false;
        Invalidate();
    }
}

void TSpeedButton::SetAllowAllUp(bool allow)
{
    m_allowAllUp = allow;
    // The group shares the setting, as on the platform.
    if (m_groupIndex == 0 || !Parent())
        return;
    for (int i = 0; i < Parent()->ControlCount(); ++i)
    {
        auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
        if (other && other != this && other->m_groupIndex == m_groupIndex)
            other->m_allowAllUp = allow;
    }
}

void TSpeedButton::SetDown(bool down)
{
    if (m_groupIndex == 0)
        down = false;
    if (down == m_down)
        return;
    if (!down && !m_allowAllUp)
        return;
    m_down = down;
    Invalidate();
    if (!down || !Parent())
        return;
    for (int i = 0; i < Parent()->ControlCount(); ++i)
    {
        auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
        if (other && other != this && other->m_groupIndex == m_groupIndex && other->m_down)
        {
            other->m_down = false;
            other->Invalidate();
        }
    }
}

void TSpeedButton::Click()
{
    if (m_groupIndex != 0)
        SetDown(!m_down || !m_allowAllUp);
    TGraphicControl::Click();
}
