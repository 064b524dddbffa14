// The editor panels' picture buttons: 16 x 16 glyphs drawn in code.
#pragma once

#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/Graphics.h"

#include <cstdint>

namespace EditorGlyphs
{
// 16 x 16 glyphs of the panels' picture buttons (create, delete, refresh), drawn here; the bottom-left pixel is the
// transparent colour.
inline TBitmap* MakeGlyph(const char* const rows[16])
{
    auto* glyph = new TBitmap;
    glyph->SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
    {
        uint32_t* line = glyph->ScanLine(y);
        for (int x = 0; x < 16; ++x)
        {
            char c = rows[y][x];
            line[x] = c == 'g' ? 0x008000u : c == 'r' ? 0xC00000u : c == 'b' ? 0x000080u : 0xFF00FFu;
        }
    }
    return glyph;
}

inline const char* const CreateGlyph[16] = {
    "................", "................", "......gggg......", "......gggg......",
    "......gggg......", "......gggg......", "..gggggggggggg..", "..gggggggggggg..",
    "..gggggggggggg..", "..gggggggggggg..", "......gggg......", "......gggg......",
    "......gggg......", "......gggg......", "................", "................"};
inline const char* const DeleteGlyph[16] = {
    "................", "................", "..rr........rr..", "..rrr......rrr..",
    "...rrr....rrr...", "....rrr..rrr....", ".....rrrrrr.....", "......rrrr......",
    "......rrrr......", ".....rrrrrr.....", "....rrr..rrr....", "...rrr....rrr...",
    "..rrr......rrr..", "..rr........rr..", "................", "................"};
inline const char* const RefreshGlyph[16] = {
    "................", ".....bbbbbb.....", "...bbb....bbb.b.", "..bb........bbb.",
    "..b.......bbbbb.", ".bb.............", ".b..............", ".b..............",
    "..............b.", "..............b.", ".............bb.", ".bbbbb.......b..",
    ".bbb........bb..", ".b.bbb....bbb...", ".....bbbbbb.....", "................"};

inline void SetGlyph(TSpeedButton* button, const char* const rows[16])
{
    TBitmap* glyph = MakeGlyph(rows);
    button->SetGlyph(glyph);
    delete glyph;
}

} // namespace EditorGlyphs
