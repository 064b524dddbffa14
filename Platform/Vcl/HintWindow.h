// The class library's hint window: a small borderless popup in the info colours that shows a
// text at a point on the screen, without taking the focus or the pointer, until it is hidden.
#pragma once

#include "Platform/Vcl/Forms.h"

class THintWindow : public TCustomForm
{
public:
    explicit THintWindow(TComponent* AOwner);

    // The rectangle at (0, 0) the text needs, lines wrapped at MaxWidth pixels: after a space or
    // a path separator, and inside a run too wide for a line of its own, so that every character
    // shows.
    virtual TRect CalcHintRect(int MaxWidth, const UnicodeString& AHint, void* AData);
    // Shows the text in the screen rectangle (moving and refilling a hint that is showing),
    // moved where it would cross an edge so that all of it stands on the screen.
    virtual void ActivateHint(TRect Rect, const UnicodeString& AHint);
    // Hides the window; it may be activated again.
    void ReleaseHandle();

    // Where a hint of Size's extent stands for the pointer at CursorPos: Below pixels under the
    // hot spot from its x, or above the pointer where it would cross the bottom of the screen
    // (ActivateHint then moves it left, or onto the screen, where it still crosses an edge).
    static TRect PlaceAt(const TPoint& CursorPos, int Below, const TRect& Size);

protected:
    void Paint() override;
};
