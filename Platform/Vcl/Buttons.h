// The class library's speed button: a flat-framed button without a window that shows a glyph
// (its bottom-left pixel is the transparent colour) or its caption, and may stay down in a group.
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
    // A flat button shows no edge until the pointer comes over it.
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    // Drawn pushed while the mouse is down on it.
    bool Pressed() const { return m_pressed; }
    // Buttons of one parent with the same non-zero GroupIndex stay down when clicked, one at a
    // time; with AllowAllUp a click on the one that is down lets it up. GroupIndex 0 never stays
    // down.
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index);
    bool Down() const { return m_down; }
    // Putting one down lets the others of its group up; up refused in a group without AllowAllUp
    // when it is the one down.
    void SetDown(bool down);
    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool allow);

    void Click() override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void WndProc(TMessage& Message) override;

private:
    TBitmap* m_glyph;
    bool m_flat = false;
    bool m_hot = false; // the pointer is over it: a flat button shows its edge
    bool m_pressed = false;
    int m_groupIndex = 0;
    bool m_down = false;
    bool m_allowAllUp = false;
};
