// Text drawn into a view with the glyph texture of a scene font: screen-space textured triangles,
// two per glyph, in one draw call. The view's RenderText is the way in; the vertex building is
// apart so that it can be checked without a device.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XArray.h"
#include "DirectX/D3dFont.h"

#include <cstdint>

class XFont;
struct IDirect3DDevice9;

using XTextVertices = XArray<XText2DVertex>;

namespace XViewText
{
// Depth of every vertex of the view's text.
constexpr float TextZ = 0.9f;

// Appends six vertices for each byte of text with a glyph in first..last, the pen starting at
// (x, y): a line feed returns it to x one line (h) lower, a byte without a glyph takes no room.
// Returns how many glyphs it laid out.
uint32_t BuildVertices(XTextVertices& vertices, float x, float y, uint32_t colour, const char* text,
                       uint32_t length, const XGlyph* glyphs, uint32_t first, uint32_t last, float h);

// Draws the text with its top-left corner at (x, y) with the font's glyphs, leaving the states it
// sets as set. Nothing is drawn, and no state changes, without a device, a font, a glyph table, a
// font texture or a glyph in range.
void Render(IDirect3DDevice9* device, float x, float y, uint32_t colour, const StrUtils::XBaseString<char>& text,
            XFont* font);
} // namespace XViewText
