#include "Platform/Vcl/ExtCtrls.h"

#include <algorithm>

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    TControlStyle style = ControlStyle();
    style << csAcceptsControls;
    SetControlStyle(style);
    // A panel keeps its own clBtnFace rather than its parent's colour.
    SetParentColor(false);
    // Made a dock site, a panel tiles what is docked into it.
    SetUseDockManager(true);
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut cut)
{
    if (cut == m_bevelOuter)
        return;
    m_bevelOuter = cut;
    Realign();
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut cut)
{
    if (cut == m_bevelInner)
        return;
    m_bevelInner = cut;
    Realign();
    Invalidate();
}

void TPanel::SetBevelWidth(int width)
{
    width = std::max(1, width);
    if (width == m_bevelWidth)
        return;
    m_bevelWidth = width;
    Realign();
    Invalidate();
}

void TPanel::SetBorderWidth(int width)
{
    width = std::max(0, width);
    if (width == m_borderWidth)
        return;
    m_borderWidth = width;
    Realign();
    Invalidate();
}

void TPanel::SetAlignment(int alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    Invalidate();
}

int TPanel::Inset() const
{
    int inset = m_borderWidth;
    if (m_bevelOuter != bvNone)
        inset += m_bevelWidth;
    if (m_bevelInner != bvNone)
        inset += m_bevelWidth;
    return inset;
}

void TPanel::AlignControls(TRect& rect)
{
    int inset = Inset();
    rect.left += inset;
    rect.top += inset;
    rect.right -= inset;
    rect.bottom -= inset;
    TCustomControl::AlignControls(rect);
}

namespace
{
void Bevel(TCanvas* canvas, TRect& r, TBevelCut cut, int width)
{
    if (cut == bvNone)
        return;
    if (cut == bvSpace)
    {
        Frame3D(canvas, r, clBtnFace, clBtnFace, width);
        return;
    }
    bool raised = cut == bvRaised;
    Frame3D(canvas, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, width);
}
} // namespace

void TPanel::Paint()
{
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    Bevel(canvas, r, m_bevelOuter, m_bevelWidth);
    Frame3D(canvas, r, Color(), Color(), m_borderWidth);
    Bevel(canvas, r, m_bevelInner, m_bevelWidth);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
    UnicodeString caption = Caption();
    if (caption.IsEmpty())
        return;
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->SetColor(Enabled() ? clWindowText : clGrayText);
    RECT text = r;
    UINT align = m_alignment == 0 ? DT_LEFT : (m_alignment == 1 ? DT_RIGHT : DT_CENTER);
    HDC dc = canvas->Handle();
    DrawTextW(dc, caption.c_str(), caption.Length(), &text,
              CaptionFormat(dc, caption, text, align | DT_VCENTER | DT_SINGLELINE));
}
