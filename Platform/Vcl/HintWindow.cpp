#include "Platform/Vcl/HintWindow.h"

#include <algorithm>

namespace
{
constexpr int kPadding = 2; // inside the 1-pixel border, around the text
constexpr UINT kTextFormat = DT_LEFT | DT_NOPREFIX | DT_WORDBREAK;
} // namespace

THintWindow::THintWindow(TComponent* AOwner) : TCustomForm(AOwner)
{
    SetBorderStyle(bsNone);
    // Above everything, where it is placed, and without taking the keyboard from the control
    // that shows it.
    SetWindowStyle(WindowStyle() | WS_POPUP);
    SetWindowExStyle(WindowExStyle() | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE);
    SetColor(clInfoBk);
    Font()->SetColor(clInfoText);
}

TRect THintWindow::CalcHintRect(int MaxWidth, const UnicodeString& AHint, void*)
{
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    // As wide as its widest line; wrapped only when that is wider than MaxWidth.
    RECT r{0, 0, 0, 0};
    DrawTextW(canvas->Handle(), AHint.c_str(), AHint.Length(), &r, (kTextFormat & ~DT_WORDBREAK) | DT_CALCRECT);
    if (r.right > MaxWidth)
    {
        r = RECT{0, 0, std::max(MaxWidth, 1), 0};
        DrawTextW(canvas->Handle(), AHint.c_str(), AHint.Length(), &r, kTextFormat | DT_CALCRECT);
    }
    return TRect(0, 0, r.right + 2 * (kPadding + 1) + 4, r.bottom + 2 * (kPadding + 1));
}

void THintWindow::ActivateHint(TRect Rect, const UnicodeString& AHint)
{
    SetCaption(AHint);
    SetBounds(Rect.left, Rect.top, Rect.Width(), Rect.Height());
    // Shown without becoming the active form, so the focus stays where it is.
    TCustomForm* active = Screen->ActiveForm();
    SetVisible(true);
    Screen->SetActiveForm(active);
    Invalidate();
}

void THintWindow::ReleaseHandle()
{
    SetVisible(false);
}

void THintWindow::Paint()
{
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->Pen()->SetColor(clInfoText);
    canvas->Rectangle(r);
    canvas->Font()->Assign(Font());
    RECT text{r.left + kPadding + 1 + 2, r.top + kPadding + 1, r.right - kPadding - 1, r.bottom - kPadding - 1};
    SetBkMode(canvas->Handle(), TRANSPARENT);
    DrawTextW(canvas->Handle(), Caption().c_str(), Caption().Length(), &text, kTextFormat);
}
