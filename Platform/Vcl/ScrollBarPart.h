// One scroll bar as the platform draws and drives it: two arrow buttons, the track and a thumb
// sized by the page. A window's own bars (WS_VSCROLL, WS_HSCROLL) and the TScrollBar control share
// it, so both look and answer the mouse alike.
#pragma once

#include "Platform/Gdi/Gdi.h"
#include "Platform/Vcl/Graphics.h"

namespace Vcl
{
class ScrollBarPart
{
public:
    enum Hit
    {
        hitNone,
        hitLineUp, // the up or left arrow
        hitLineDown,
        hitPageUp, // the track before the thumb
        hitPageDown,
        hitThumb
    };

    explicit ScrollBarPart(bool vertical) : m_vertical(vertical) {}

    bool Vertical() const { return m_vertical; }
    void SetVertical(bool vertical) { m_vertical = vertical; }
    // Where the bar lies, in its owner's coordinates.
    const TRect& Bounds() const { return m_bounds; }
    void SetBounds(const TRect& bounds) { m_bounds = bounds; }

    // SetScrollInfo's rules: the range as given, the page within 0..range, the position within
    // min..max - page + 1. Answers the position now held.
    int SetInfo(const SCROLLINFO& info);
    // Fills the parts fMask asks for; false for a null pointer.
    bool GetInfo(SCROLLINFO* info) const;
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    int Page() const { return m_page; }
    int Position() const { return m_pos; }
    int TrackPosition() const { return m_tracking ? m_trackPos : m_pos; }
    // The highest position the thumb can reach.
    int MaxPosition() const;

    // Geometry within Bounds(): arrow buttons are square (17 pixels, less on a short bar).
    int ArrowSize() const;
    TRect ThumbRect() const; // empty when the track has no room for a thumb
    Hit HitTest(const TPoint& point) const;

    // Draws the whole bar; a disabled bar or one whose range has nothing to scroll draws greyed.
    void Paint(HDC dc, bool enabled) const;

    // The mouse, in the owner's coordinates. Each answers the scroll code to send (SB_...) or -1.
    // A press on the thumb starts tracking: moves answer SB_THUMBTRACK with TrackPosition() set,
    // the release SB_THUMBPOSITION (TrackPosition() still answers the drop until EndTracking),
    // a release after any other press SB_ENDSCROLL.
    int MouseDown(const TPoint& point);
    int MouseMove(const TPoint& point);
    int MouseUp(const TPoint& point);
    void EndTracking() { m_tracking = false; }
    // A held arrow or track repeats: the first time after RepeatDelay, then every RepeatInterval,
    // as long as the part pressed lies under the pointer (the track stops repeating once the thumb
    // has reached the pointer). The code to send again now, or -1.
    static constexpr unsigned RepeatDelay = 250;
    static constexpr unsigned RepeatInterval = 50;
    // The id of the owner window's timer that drives the repeat.
    static constexpr uintptr_t RepeatTimer = 0x5C01;
    int RepeatCode() const;
    // Whether the press was on a part that repeats while held.
    bool Repeating() const { return m_pressed != hitNone && m_pressed != hitThumb; }
    bool Pressed() const { return m_pressed != hitNone; }
    Hit PressedPart() const { return m_pressed; }
    bool Tracking() const { return m_tracking; }

private:
    int Length() const { return m_vertical ? m_bounds.Height() : m_bounds.Width(); }
    int Breadth() const { return m_vertical ? m_bounds.Width() : m_bounds.Height(); }
    // Thumb start and size along the bar, relative to the track's start.
    void ThumbSpan(int& offset, int& size) const;
    int PositionAt(int along) const;
    int Along(const TPoint& point) const;

    bool m_vertical;
    TRect m_bounds;
    int m_min = 0;
    int m_max = 100;
    int m_page = 0;
    int m_pos = 0;
    int m_trackPos = 0;
    Hit m_pressed = hitNone;
    bool m_tracking = false;
    int m_grab = 0; // where on the thumb the press was
    TPoint m_point;  // the pointer when last seen while pressed
};
} // namespace Vcl
