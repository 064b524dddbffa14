// Whether the texts of a window's controls fit the room each control draws them in, measured
// with each control's own font: captions of buttons, check boxes, group boxes and collapsible
// panels, labels up to their right-hand neighbour, the values a number box must show whole, the
// tab row of a page control.
#pragma once

#include "Platform/Vcl/Controls.h"

#include <string>
#include <vector>

namespace TextFit
{
struct Spot
{
    const TControl* control = nullptr;
    std::string what; // class and text, for messages
    std::u16string text;
    int needed = 0; // pixels the text takes
    int room = 0;   // pixels the control gives it
    bool Fits() const { return needed <= room; }
};

// Every text shown by root's controls, root included, walked through the child controls.
// Number boxes must hold the value they show, and also "-0.0000" and "1.0000" (float) or their
// bounds (integer). Lists, combo
// boxes, memos and edit boxes hold the user's data, which scrolls, and are left out.
std::vector<Spot> Spots(TWinControl* root);

// The spots that do not fit, one line each ("TSpeedButton "Выполнить": 64 px in 58"), or "".
std::string Misfits(const std::vector<Spot>& spots);
} // namespace TextFit
