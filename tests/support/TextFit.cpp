#include "tests/support/TextFit.h"

#include "Controls/XFloatEdit.h"
#include "Controls/XIntEdit.h"
#include "Controls/XStdButton.h"
#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/ExtCtrls.h"
#include "Platform/Vcl/StdCtrls.h"

#include <algorithm>
#include <climits>
#include <string>

namespace
{
constexpr int ButtonEdge = 2; // the raised frame of a push button, each side
constexpr int MarkSize = 13;  // check box and radio mark
constexpr int MarkGap = 4;    // between the mark and its caption
constexpr int GroupInset = 8; // a group box's caption starts this far in; as much is kept at its end

std::string Utf8(const std::u16string& text)
{
    return UnicodeString(text).ToUtf8();
}

int TextWidth(const TControl* control, const std::u16string& text)
{
    TCanvas measure;
    measure.Font()->Assign(control->Font());
    return measure.TextWidth(UnicodeString(text));
}

void Add(std::vector<TextFit::Spot>& spots, const TControl* control, const char* kind,
         const std::u16string& text, int room)
{
    TextFit::Spot spot;
    spot.control = control;
    spot.what = std::string(kind) + " \"" + Utf8(text) + "\"";
    spot.text = text;
    spot.needed = TextWidth(control, text);
    spot.room = room;
    spots.push_back(spot);
}

// An auto-sized label may run up to the nearest control to its right on the same row, or to its parent's
// edge.
int LabelRoom(const TLabel* label)
{
    const TWinControl* parent = label->Parent();
    if (!parent)
        return INT_MAX;
    const TRect own = label->BoundsRect();
    int right = parent->ClientWidth();
    for (int i = 0; i < parent->ControlCount(); ++i)
    {
        const TControl* other = parent->Controls(i);
        if (other == label || !other->Visible())
            continue;
        TRect r = other->BoundsRect();
        if (r.top < own.bottom && r.bottom > own.top && r.left > own.left)
            right = std::min(right, r.left);
    }
    return right - own.left;
}

// Inside the sunken edge, a pixel of margin each side, and a pixel for the caret after the text.
int EditRoom(const TCustomEdit* edit)
{
    int edge = edit->BorderStyle() == bsNone ? 0 : (edit->Ctl3D() ? 2 : 1);
    return edit->Width() - 2 * edge - 2 - 1;
}

void Visit(const TControl* control, std::vector<TextFit::Spot>& spots)
{
    const std::u16string caption = control->Caption().str();
    if (auto* button = dynamic_cast<const TSpeedButton*>(control))
    {
        if (!caption.empty())
            Add(spots, control, "TSpeedButton", caption, button->Width() - 2 * ButtonEdge);
    }
    else if (auto* push = dynamic_cast<const TButton*>(control))
        Add(spots, control, "TButton", caption, push->Width() - 2 * ButtonEdge - (push->Default() ? 2 : 0));
    else if (auto* bar = dynamic_cast<const XStdButton*>(control))
    {
        if (!caption.empty())
            Add(spots, control, "XStdButton", caption, bar->Width() - 2 * ButtonEdge);
    }
    else if (dynamic_cast<const TButtonControl*>(control))
        Add(spots, control, dynamic_cast<const TCheckBox*>(control) ? "TCheckBox" : "TRadioButton", caption,
            control->Width() - MarkSize - MarkGap);
    else if (dynamic_cast<const TGroupBox*>(control))
    {
        if (!caption.empty())
            Add(spots, control, "TGroupBox", caption, control->Width() - 2 * GroupInset);
    }
    else if (auto* label = dynamic_cast<const TLabel*>(control))
        Add(spots, control, "TLabel", caption, label->AutoSize() ? LabelRoom(label) : label->Width());
    else if (auto* number = dynamic_cast<const XFloatEdit*>(control))
    {
        for (const std::u16string& value :
             {std::u16string(u"-0.0000"), std::u16string(u"1.0000"), number->Text().str()})
            Add(spots, control, "XFloatEdit", value, EditRoom(number));
    }
    else if (auto* whole = dynamic_cast<const XIntEdit*>(control))
    {
        for (int value : {whole->MinValue(), whole->MaxValue()})
        {
            std::string digits = std::to_string(value);
            Add(spots, control, "XIntEdit", std::u16string(digits.begin(), digits.end()), EditRoom(whole));
        }
    }
    else if (auto* pages = dynamic_cast<const TPageControl*>(control))
    {
        // Tabs are as wide as their captions; together they must fit one row.
        auto* measured = const_cast<TPageControl*>(pages); // TabRect measures with a canvas of its own
        std::u16string all;
        for (int i = 0; i < pages->PageCount(); ++i)
            all += (i ? u" | " : u"") + pages->Pages(i)->Caption().str();
        if (pages->PageCount() > 0)
        {
            TextFit::Spot spot;
            spot.control = control;
            spot.what = "TPageControl tabs \"" + Utf8(all) + "\"";
            spot.text = all;
            spot.needed = measured->TabRect(pages->PageCount() - 1).right;
            spot.room = pages->Width();
            spots.push_back(spot);
        }
    }
    else if (auto* panel = dynamic_cast<const TPanel*>(control))
    {
        if (!caption.empty())
        {
            int bevels = (panel->BevelOuter() != bvNone ? 1 : 0) + (panel->BevelInner() != bvNone ? 1 : 0);
            Add(spots, control, "TPanel", caption,
                panel->Width() - 2 * (bevels * panel->BevelWidth() + panel->BorderWidth()));
        }
    }
    auto* parent = dynamic_cast<const TWinControl*>(control);
    for (int i = 0; parent && i < parent->ControlCount(); ++i)
        Visit(parent->Controls(i), spots);
}
} // namespace

namespace TextFit
{
std::vector<Spot> Spots(TWinControl* root)
{
    std::vector<Spot> spots;
    Visit(root, spots);
    return spots;
}

std::string Misfits(const std::vector<Spot>& spots)
{
    std::string out;
    for (const Spot& spot : spots)
        if (!spot.Fits())
            out +=
                spot.what + ": " + std::to_string(spot.needed) + " px in " + std::to_string(spot.room) + "\n";
    return out;
}
} // namespace TextFit
