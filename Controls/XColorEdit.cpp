#include "Controls/XColorEdit.h"

#include "Components/StrUtils.h"
#include "Platform/Vcl/Dialogs.h"

#include <algorithm>

XColorEdit::XColorEdit(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetBounds(Left(), Top(), 150, 300);
    const char16_t* titles[4] = {u"Red", u"Green", u"Blue", u"Alpha"};
    void (XColorEdit::*handlers[4])(TObject*) = {&XColorEdit::RedChanged, &XColorEdit::GreenChanged,
                                                 &XColorEdit::BlueChanged, &XColorEdit::AlphaChanged};
    for (int i = 0; i < 4; ++i)
    {
        Row& row = FRows[i];
        row.bar = new TTrackBar(this);
        row.bar->SetParent(this);
        row.bar->SetMin(0);
        row.bar->SetMax(255);
        row.bar->SetPosition(0);
        row.bar->SetFrequency(16);
        row.bar->SetTickMarks(tmBoth);
        row.bar->SetThumbLength(10);
        row.bar->SetOrientation(trVertical);
        row.title = new TLabel(this);
        row.title->SetParent(this);
        row.title->SetAutoSize(false);
        row.title->SetAlignment(taCenter);
        row.title->SetCaption(titles[i]);
        row.value = new TLabel(this);
        row.value->SetParent(this);
        row.value->SetAutoSize(false);
        row.value->SetAlignment(taCenter);
        row.value->SetCaption(u"0");
        row.bar->OnChange = MakeClosure(this, handlers[i]);
    }
    ResizeEditor();
}

void XColorEdit::WriteColor(TColor c, bool fromBars)
{
    if (c == FColor)
        return;
    if (!fromBars)
    {
        TNotifyEvent kept = OnChange;
        OnChange = nullptr;
        FSettingBars = true;
        FRows[3].bar->SetPosition(255);
        FRows[0].bar->SetPosition(c & 0xFF);
        FRows[1].bar->SetPosition((c >> 8) & 0xFF);
        FRows[2].bar->SetPosition((c >> 16) & 0xFF);
        FSettingBars = false;
        OnChange = kept;
    }
    FColor = c;
    OnChange(this);
    Invalidate();
}

void XColorEdit::SetColor(TColor c)
{
    WriteColor(c, false);
}

void XColorEdit::SetXColor(XColor x)
{
    uint32_t argb = x.GetARGB();
    TNotifyEvent kept = OnChange;
    OnChange = nullptr;
    FSettingBars = true;
    FRows[3].bar->SetPosition(static_cast<int>(argb >> 24));
    FRows[0].bar->SetPosition(static_cast<int>((argb >> 16) & 0xFF));
    FRows[1].bar->SetPosition(static_cast<int>((argb >> 8) & 0xFF));
    FRows[2].bar->SetPosition(static_cast<int>(argb & 0xFF));
    FSettingBars = false;
    OnChange = kept;
    FColor = static_cast<TColor>(x.ToColorRef());
    OnChange(this);
    Invalidate();
}

XColor XColorEdit::GetXColor() const
{
    auto at = [this](int row) { return static_cast<uint32_t>(FRows[row].bar->Position()); };
    return XColor(at(3) << 24 | at(0) << 16 | at(1) << 8 | at(2));
}

void XColorEdit::ColourBarChanged(int row)
{
    WCHAR text[16];
    ::IntToStr(text, FRows[row].bar->Position());
    FRows[row].value->SetCaption(UnicodeString(text));
    if (FSettingBars)
        return;
    TColor c = FRows[0].bar->Position() | FRows[1].bar->Position() << 8 | FRows[2].bar->Position() << 16;
    WriteColor(c, true);
    OnChange(this);
}

void XColorEdit::RedChanged(TObject*)
{
    ColourBarChanged(0);
}

void XColorEdit::GreenChanged(TObject*)
{
    ColourBarChanged(1);
}

void XColorEdit::BlueChanged(TObject*)
{
    ColourBarChanged(2);
}

void XColorEdit::AlphaChanged(TObject*)
{
    WCHAR text[16];
    ::IntToStr(text, FRows[3].bar->Position());
    FRows[3].value->SetCaption(UnicodeString(text));
    OnChange(this);
}

void XColorEdit::SetOrientation(XColorEditOrientation value)
{
    if (value == FOrientation)
        return;
    FOrientation = value;
    bool horizontal = value == ceHorizontal;
    for (Row& row : FRows)
    {
        row.bar->SetOrientation(horizontal ? trHorizontal : trVertical);
        row.title->SetAlignment(horizontal ? taLeftJustify : taCenter);
    }
    if ((horizontal && Height() > Width()) || (!horizontal && Width() > Height()))
        SetBounds(Left(), Top(), Height(), Width());
}

void XColorEdit::SetColorSampleSize(int value)
{
    if (value < 5)
        value = 5;
    if (value > Height() / 4)
        value = Height() / 4;
    if (value == FColorSampleSize)
        return;
    FColorSampleSize = value;
    ResizeEditor();
}

void XColorEdit::SetMargin(int value)
{
    if (value < 3)
        value = 3;
    if (value > Width() / 4)
        value = Width() / 4;
    if (value == FMargin)
        return;
    FMargin = value;
    ResizeEditor();
}

void XColorEdit::SetThumbLength(int value)
{
    for (Row& row : FRows)
        row.bar->SetThumbLength(value);
}

void XColorEdit::SetFrequency(int value)
{
    for (Row& row : FRows)
        row.bar->SetFrequency(value);
}

void XColorEdit::ResizeEditor()
{
    if (!FRows[3].value)
        return; // still being built
    int M = FMargin, S = FColorSampleSize, W = Width(), H = Height();
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    if (FOrientation == ceVertical)
    {
        int h = canvas->TextHeight(FRows[0].value->Caption());
        int c = (W - 2 * M) / 4;
        for (int i = 0; i < 4; ++i)
        {
            int x = M + c * i;
            FRows[i].title->SetBounds(x, M, c, h);
            FRows[i].bar->SetBounds(x, M + h, c, H - 2 * M - 3 * h - S);
            FRows[i].value->SetBounds(x, H - M - 2 * h - S, c, h);
        }
        FSampleRect = TRect(M, H - M - S, W - M, H - M);
    }
    else
    {
        int t = canvas->TextWidth(FRows[0].title->Caption());
        int th = canvas->TextHeight(u"1");
        int n = canvas->TextWidth(u"255");
        int r = (H - 2 * M) / 4;
        for (int i = 0; i < 4; ++i)
        {
            int y = M + r * i;
            int ly = y + r / 2 - th / 2;
            FRows[i].title->SetBounds(M, ly, t + n, th);
            FRows[i].bar->SetBounds(M + t + n, y, W - 2 * M - S - 3 * n - t, r);
            FRows[i].value->SetBounds(W - M - S - 2 * n, ly, 2 * n, th);
        }
        FSampleRect = TRect(W - M - S, M, W - M, H - M);
    }
    Invalidate();
}

void XColorEdit::Resize()
{
    ResizeEditor();
    TCustomControl::Resize();
}

void XColorEdit::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(FColor);
    canvas->FillRect(FSampleRect);
}

void XColorEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    // Edges included.
    if (Button != mbLeft || X < FSampleRect.left || X > FSampleRect.right || Y < FSampleRect.top ||
        Y > FSampleRect.bottom)
        return;
    TColorDialog dialog(nullptr);
    dialog.Color = FColor;
    if (dialog.Execute())
        SetColor(dialog.Color);
}
