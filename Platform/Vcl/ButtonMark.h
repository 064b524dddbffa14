// The look shared by check boxes and radio buttons: a 13-pixel mark drawn by DrawFrameControl
// and the caption beside it, with the focus rectangle around the caption.
#pragma once

#include "Platform/Vcl/Graphics.h"

namespace Vcl
{
constexpr int ButtonMarkSize = 13;

// markState is the DFCS_ state of the mark (DFCS_BUTTONCHECK or DFCS_BUTTONRADIO with its flags).
// The caption stands right of the mark when captionRight, else left of it.
void PaintButtonMark(TCanvas* canvas, const TRect& client, TColor face, UINT markState, bool captionRight,
                     const UnicodeString& caption, bool enabled, bool focused);
} // namespace Vcl
