#include "Platform/Vcl/HintWindow.h"

#include <algorithm>
#include <string>

namespace
{
constexpr int kPadding = 2; // inside the 1-pixel border, around the text
constexpr int kIndent = 2;  // more before the text; as much is kept after it for ink that leans out
constexpr UINT kTextFormat = DT_LEFT | DT_NOPREFIX | DT_WORDBREAK;
constexpr int kAbovePointer = 2; // between a hint moved above the pointer and its hot spot
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
    return TRect(0, 0, r.right + 2 * (kPadding + 1 + kIndent), r.bottom + 2 * (kPadding + 1));
}

void THintWindow::ActivateHint(TRect Rect, const UnicodeString& AHint)
{
    // Onto the screen; a hint larger than the screen keeps its start in sight.
    const int width = Rect.Width(), height = Rect.Height();
    int x = std::max(std::min<int>(Rect.left, Screen->Width - width), 0);
    int y = std::max(std::min<int>(Rect.top, Screen->Height - height), 0);
    SetCaption(AHint);
    SetBounds(x, y, width, height);
    SetVisible(true); // no activation: the focus stays where it is
    Invalidate();
}

TRect THintWindow::PlaceAt(const TPoint& CursorPos, int Below, const TRect& Size)
{
    const int width = Size.Width(), height = Size.Height();
    int y = CursorPos.y + Below;
    if (y + height > Screen->Height)
        y = CursorPos.y - height - kAbovePointer;
    return TRect(CursorPos.x, y, CursorPos.x + width, y + height);
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
    // Lines wrap where CalcHintRect wrapped them; the indent after them stays for ink only.
    RECT text{r.left + kPadding + 1 + kIndent, r.top + kPadding + 1, r.right - kPadding - 1,
              r.bottom - kPadding - 1};
    DRAWTEXTPARAMS params{};
    params.cbSize = sizeof(params);
    params.iRightMargin = kIndent;
    SetBkMode(canvas->Handle(), TRANSPARENT);
    std::u16string caption = Caption().str();
    DrawTextExW(canvas->Handle(), caption.data(), int(caption.size()), &text, kTextFormat, &params);
}
