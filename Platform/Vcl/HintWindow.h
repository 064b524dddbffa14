// The class library's hint window: a small borderless popup in the info colours that shows a
// text at a point on the screen, without taking the focus, until it is hidden.
#pragma once

#include "Platform/Vcl/Forms.h"

class THintWindow : public TCustomForm
{
public:
    explicit THintWindow(TComponent* AOwner);

    // The rectangle at (0, 0) the text needs, lines wrapped at MaxWidth pixels.
    virtual TRect CalcHintRect(int MaxWidth, const UnicodeString& AHint, void* AData);
    // Shows the text in the screen rectangle (moving and refilling a hint that is showing).
    virtual void ActivateHint(TRect Rect, const UnicodeString& AHint);
    // Hides the window; it may be activated again.
    void ReleaseHandle();

protected:
    void Paint() override;
};
