// The objects behind GDI handles; shared by the sources of the GDI layer, not part of its interface.
#pragma once

#include "Platform/Gdi/Gdi.h"

#include <memory>
#include <string>
#include <vector>

namespace Platform::Gdi::Detail
{
enum class Kind : uint8_t
{
    Pen = OBJ_PEN,
    Brush = OBJ_BRUSH,
    Font = OBJ_FONT,
    Bitmap = OBJ_BITMAP,
    Region = OBJ_REGION,
};

class FontFace; // a realised font: FreeType face at one size with its glyph cache (GdiText.cpp)

struct Object
{
    Kind kind;
    bool permanent = false; // stock and system-colour objects
    int selections = 0;     // DCs it is selected into
    // Pen and brush.
    UINT style = 0;
    int width = 1;
    COLORREF color = 0;
    // Font.
    LOGFONTW font{};
    std::shared_ptr<FontFace> face;
    // Bitmap: owned pixels, or a DIB section's.
    std::vector<uint32_t> pixels;
    int bmWidth = 0;
    int bmHeight = 0;
    bool dib = false;
    bool bottomUp = false;
    // Region.
    RECT rect{};
};

struct DCState
{
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmap = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    UINT textAlign = 0;
    int rop2 = R2_COPYPEN;
    int mapMode = MM_TEXT;
    int stretchMode = BLACKONWHITE;
    int polyFillMode = ALTERNATE;
    POINT viewportOrg{0, 0};
    POINT windowOrg{0, 0};
    POINT position{0, 0};
    bool hasClip = false;
    RECT clip{}; // device units, relative to the DC's origin
};

struct DC
{
    bool memory = false;
    bool screen = false; // GetDC(null): metrics only
    Surface external;    // a surface DC's pixels
    POINT origin{0, 0};  // where device (0, 0) lies on the surface
    RECT bounds{};       // surface area the DC may touch (surface DCs)
    DCState state;
    std::vector<DCState> saved;
};

Object* Lookup(HGDIOBJ handle, Kind kind);
Object* LookupAny(HGDIOBJ handle);
DC* LookupDC(HDC hdc);

// What a DC draws into, in surface coordinates, with its effective clip and logical offset.
struct Target
{
    Surface surface;
    RECT clip{};    // surface coordinates; empty when nothing may be drawn
    POINT offset{}; // logical (x, y) lies at (x + offset.x, y + offset.y) of the surface
};
bool GetTarget(DC* dc, Target* target);

// The colour and style of a brush argument (a handle or a system colour index + 1); false for a
// null brush or an invalid handle.
bool BrushColor(HBRUSH brush, COLORREF* color);

// Fills r (surface coordinates, already clipped) with a pixel.
void FillSpan(const Surface& s, RECT r, uint32_t pixel);
// Clips r to c in place; false when nothing is left.
bool ClipRect(RECT& r, const RECT& c);

std::shared_ptr<FontFace> RealiseFont(const LOGFONTW& font);
LOGFONTW DefaultGuiFont();

// Raster operations on pixel words.
inline uint32_t Rop2(int rop2, uint32_t pen, uint32_t dst)
{
    uint32_t table = static_cast<uint32_t>(rop2 - 1) & 0xF;
    uint32_t r = 0;
    if (table & 1)
        r |= ~pen & ~dst;
    if (table & 2)
        r |= ~pen & dst;
    if (table & 4)
        r |= pen & ~dst;
    if (table & 8)
        r |= pen & dst;
    return r & 0x00FFFFFF;
}

inline uint32_t Rop3(uint32_t code, uint32_t p, uint32_t s, uint32_t d)
{
    uint32_t r = 0;
    for (unsigned i = 0; i < 8; ++i)
    {
        if (!(code & (1u << i)))
            continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r & 0x00FFFFFF;
}
} // namespace Platform::Gdi::Detail
