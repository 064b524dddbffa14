// The class library's speed button: a flat-framed button without a window that shows a glyph
// (its bottom-left pixel is the transparent colour) or its caption.
#pragma once

#include "Platform/Vcl/Controls.h"

class TSpeedButton : public TGraphicControl
{
public:
    explicit TSpeedButton(TComponent* AOwner);
    ~TSpeedButton() override;

    // Copied; an empty bitmap shows the caption instead.
    TBitmap* Glyph() const { return m_glyph; }
    void SetGlyph(TBitmap* glyph);
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    // Drawn pushed while the mouse is down on it.
    bool Pressed() const { return m_pressed; }

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    TBitmap* m_glyph;
    bool m_flat = false;
    bool m_pressed = false;
};
