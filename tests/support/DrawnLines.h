// Reads back, from the pixels of a block of text lines, which characters of a text each line
// shows. Each line is matched against the text's next characters drawn alone on one line in the
// same font and colours, so the reading trusts single-line drawing only, never the wrapping it
// checks: a character lost at a break, a line cut by an edge or lines out of order leave the
// text unread.
#pragma once

#include "Platform/Gdi/Gdi.h"

#include <cstdint>
#include <string>
#include <vector>

class THintWindow;

namespace DrawnLines
{
// Where the lines stand in a picture.
struct Block
{
    const uint32_t* pixels = nullptr; // rows top first, 0x..RRGGBB
    int stride = 0;                   // pixels per row
    RECT area{};                      // read inside this rectangle only
    int top = 0;                      // the first line's top row
    int lineHeight = 1;
};

struct Line
{
    std::u16string text; // the characters it shows, with the spaces a break left out at its end
    RECT ink{};          // where its ink is, in the picture's pixels
};

// The lines read from the top down to the first blank one, each as the longest run of the
// text's next characters whose drawing is the line's ink exactly. A line whose ink is no such run
// ends the reading with an empty text; so the lines' texts joined are the text only when every
// character shows, in order.
std::vector<Line> Read(const Block& block, HFONT font, COLORREF ink, COLORREF background,
                       const std::u16string& text);

// The lines' texts joined, for comparing with the text they were read against.
std::u16string Joined(const std::vector<Line>& lines);

// The lines a hint window shows of `text`: read inside its border, in its font and the info
// colours, the block of lines standing in the middle of the window as it paints now.
std::vector<Line> ReadHint(THintWindow& hint, const std::u16string& text);

// Whether the picture holds anything but `background` inside `area`, below row `from`.
bool InkBelow(const Block& block, int from, COLORREF background);
} // namespace DrawnLines
