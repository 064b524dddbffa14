// Handles, device contexts, objects and their selection, DC state and clipping.
#include "Platform/Gdi/Gdi.h"

#include "Platform/Gdi/GdiDetail.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

using namespace Platform::Gdi;
using namespace Platform::Gdi::Detail;

namespace
{
// Handles are numbers, never addresses: a stale or forged handle is looked up and refused instead
// of being followed. The low four bits carry the kind; ids start high so that a system colour
// index + 1 passed as a brush can never be a handle.
constexpr uintptr_t DCTag = 0xF;
constexpr int ScreenWidthDefault = 1024;
constexpr int ScreenHeightDefault = 768;

struct Table
{
    uintptr_t nextId = 0x100;
    std::unordered_map<uintptr_t, std::unique_ptr<Object>> objects;
    std::unordered_map<uintptr_t, std::unique_ptr<DC>> dcs;
    HGDIOBJ stock[20] = {};
    HGDIOBJ sysBrushes[31] = {};
    HGDIOBJ defaultBitmap = nullptr;
    WindowDCProvider windowDCs;
    int screenWidth = ScreenWidthDefault;
    int screenHeight = ScreenHeightDefault;
};

Table& Objects()
{
    static Table table;
    return table;
}

HGDIOBJ Add(std::unique_ptr<Object> object)
{
    Table& t = Objects();
    uintptr_t handle = (t.nextId++ << 4) | static_cast<uintptr_t>(object->kind);
    t.objects.emplace(handle, std::move(object));
    return reinterpret_cast<HGDIOBJ>(handle);
}

HGDIOBJ AddPermanent(std::unique_ptr<Object> object)
{
    object->permanent = true;
    return Add(std::move(object));
}

std::unique_ptr<Object> MakePenOrBrush(Kind kind, UINT style, int width, COLORREF color)
{
    auto o = std::make_unique<Object>();
    o->kind = kind;
    o->style = style;
    o->width = width;
    o->color = color & 0x00FFFFFF;
    return o;
}

std::unique_ptr<Object> MakeFont(const LOGFONTW& font)
{
    auto o = std::make_unique<Object>();
    o->kind = Kind::Font;
    o->font = font;
    o->font.lfFaceName[LF_FACESIZE - 1] = 0;
    return o;
}

void InitStock()
{
    Table& t = Objects();
    if (t.stock[BLACK_PEN])
        return;
    t.stock[WHITE_BRUSH] = AddPermanent(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, RGB(255, 255, 255)));
    t.stock[LTGRAY_BRUSH] = AddPermanent(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, RGB(192, 192, 192)));
    t.stock[GRAY_BRUSH] = AddPermanent(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, RGB(128, 128, 128)));
    t.stock[DKGRAY_BRUSH] = AddPermanent(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, RGB(64, 64, 64)));
    t.stock[BLACK_BRUSH] = AddPermanent(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, RGB(0, 0, 0)));
    t.stock[NULL_BRUSH] = AddPermanent(MakePenOrBrush(Kind::Brush, BS_NULL, 0, 0));
    t.stock[WHITE_PEN] = AddPermanent(MakePenOrBrush(Kind::Pen, PS_SOLID, 1, RGB(255, 255, 255)));
    t.stock[BLACK_PEN] = AddPermanent(MakePenOrBrush(Kind::Pen, PS_SOLID, 1, RGB(0, 0, 0)));
    t.stock[NULL_PEN] = AddPermanent(MakePenOrBrush(Kind::Pen, PS_NULL, 1, 0));
    LOGFONTW gui = DefaultGuiFont();
    LOGFONTW fixed = gui;
    const char16_t courier[] = u"Courier New";
    std::copy(std::begin(courier), std::end(courier), fixed.lfFaceName);
    fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    t.stock[OEM_FIXED_FONT] = AddPermanent(MakeFont(fixed));
    t.stock[ANSI_FIXED_FONT] = AddPermanent(MakeFont(fixed));
    t.stock[SYSTEM_FIXED_FONT] = AddPermanent(MakeFont(fixed));
    t.stock[ANSI_VAR_FONT] = AddPermanent(MakeFont(gui));
    t.stock[SYSTEM_FONT] = AddPermanent(MakeFont(gui));
    t.stock[DEVICE_DEFAULT_FONT] = AddPermanent(MakeFont(gui));
    t.stock[DEFAULT_GUI_FONT] = AddPermanent(MakeFont(gui));
    auto bitmap = std::make_unique<Object>();
    bitmap->kind = Kind::Bitmap;
    bitmap->bmWidth = 1;
    bitmap->bmHeight = 1;
    bitmap->pixels.assign(1, 0);
    t.defaultBitmap = AddPermanent(std::move(bitmap));
}

HDC AddDC(std::unique_ptr<DC> dc)
{
    InitStock();
    Table& t = Objects();
    dc->state.pen = t.stock[BLACK_PEN];
    dc->state.brush = t.stock[WHITE_BRUSH];
    dc->state.font = t.stock[SYSTEM_FONT];
    if (dc->memory)
        dc->state.bitmap = t.defaultBitmap;
    for (HGDIOBJ o : {dc->state.pen, dc->state.brush, dc->state.font, dc->state.bitmap})
        if (Object* obj = LookupAny(o))
            ++obj->selections;
    uintptr_t handle = (t.nextId++ << 4) | DCTag;
    t.dcs.emplace(handle, std::move(dc));
    return reinterpret_cast<HDC>(handle);
}

void Release(HGDIOBJ handle)
{
    if (Object* o = LookupAny(handle))
        --o->selections;
}

void ReleaseState(const DCState& s)
{
    Release(s.pen);
    Release(s.brush);
    Release(s.font);
    Release(s.bitmap);
}

void AcquireState(const DCState& s)
{
    for (HGDIOBJ h : {s.pen, s.brush, s.font, s.bitmap})
        if (Object* o = LookupAny(h))
            ++o->selections;
}

constexpr COLORREF SysColors[31] = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192), RGB(10, 36, 106),
    RGB(212, 208, 200)};

HBITMAP CreateBitmap32(int width, int height, bool dib, bool bottomUp, void** bits)
{
    if (bits)
        *bits = nullptr;
    // Bounded so that a hostile header cannot ask for gigabytes.
    constexpr int64_t MaxPixels = int64_t(1) << 28;
    if (width <= 0 || height <= 0 || int64_t(width) * height > MaxPixels)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto o = std::make_unique<Object>();
    o->kind = Kind::Bitmap;
    o->bmWidth = width;
    o->bmHeight = height;
    o->dib = dib;
    o->bottomUp = bottomUp;
    o->pixels.assign(size_t(width) * size_t(height), 0);
    if (bits)
        *bits = o->pixels.data();
    return static_cast<HBITMAP>(Add(std::move(o)));
}
} // namespace

namespace Platform::Gdi::Detail
{
Object* LookupAny(HGDIOBJ handle)
{
    auto& objects = Objects().objects;
    auto it = objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects.end() ? nullptr : it->second.get();
}

Object* Lookup(HGDIOBJ handle, Kind kind)
{
    Object* o = LookupAny(handle);
    return o && o->kind == kind ? o : nullptr;
}

DC* LookupDC(HDC hdc)
{
    auto& dcs = Objects().dcs;
    auto it = dcs.find(reinterpret_cast<uintptr_t>(hdc));
    return it == dcs.end() ? nullptr : it->second.get();
}

bool ClipRect(RECT& r, const RECT& c)
{
    r.left = std::max(r.left, c.left);
    r.top = std::max(r.top, c.top);
    r.right = std::min(r.right, c.right);
    r.bottom = std::min(r.bottom, c.bottom);
    return r.left < r.right && r.top < r.bottom;
}

bool GetTarget(DC* dc, Target* target)
{
    if (!dc || dc->screen)
        return false;
    if (dc->memory)
    {
        Object* bm = Lookup(dc->state.bitmap, Kind::Bitmap);
        if (!bm || !GetBitmapSurface(static_cast<HBITMAP>(dc->state.bitmap), &target->surface))
            return false;
        target->clip = RECT{0, 0, bm->bmWidth, bm->bmHeight};
    }
    else
    {
        target->surface = dc->external;
        target->clip = dc->bounds;
        ClipRect(target->clip, RECT{0, 0, dc->external.width, dc->external.height});
    }
    if (dc->state.hasClip)
    {
        RECT c = dc->state.clip;
        OffsetRect(&c, dc->origin.x, dc->origin.y);
        ClipRect(target->clip, c);
    }
    if (target->clip.right < target->clip.left || target->clip.bottom < target->clip.top)
        target->clip = RECT{0, 0, 0, 0};
    const DCState& s = dc->state;
    target->offset =
        POINT{dc->origin.x + s.viewportOrg.x - s.windowOrg.x, dc->origin.y + s.viewportOrg.y - s.windowOrg.y};
    return true;
}

bool BrushColor(HBRUSH brush, COLORREF* color)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value >= 1 && value <= 31)
    {
        *color = SysColors[value - 1];
        return true;
    }
    Object* o = Lookup(brush, Kind::Brush);
    if (!o || o->style == BS_NULL)
        return false;
    *color = o->color;
    return true;
}

void FillSpan(const Surface& s, RECT r, uint32_t pixel)
{
    for (int y = r.top; y < r.bottom; ++y)
    {
        uint32_t* row = s.Row(y);
        std::fill(row + r.left, row + r.right, pixel);
    }
}

LOGFONTW DefaultGuiFont()
{
    LOGFONTW f{};
    f.lfHeight = -11; // 8 points at 96 DPI
    f.lfWeight = FW_NORMAL;
    f.lfCharSet = DEFAULT_CHARSET;
    const char16_t face[] = u"MS Sans Serif";
    std::copy(std::begin(face), std::end(face), f.lfFaceName);
    return f;
}
} // namespace Platform::Gdi::Detail

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    int64_t p = int64_t(a) * b;
    bool negative = (p < 0) != (c < 0);
    uint64_t ap = p < 0 ? uint64_t(-p) : uint64_t(p);
    uint64_t ac = c < 0 ? uint64_t(-int64_t(c)) : uint64_t(c);
    uint64_t q = (ap + ac / 2) / ac; // halves round away from zero
    if (q > (negative ? uint64_t(INT32_MAX) + 1 : uint64_t(INT32_MAX)))
        return -1;
    return negative ? static_cast<int>(-int64_t(q)) : static_cast<int>(q);
}

// ---- Device contexts ---------------------------------------------------------------------------

HDC CreateCompatibleDC(HDC)
{
    auto dc = std::make_unique<DC>();
    dc->memory = true;
    return AddDC(std::move(dc));
}

HDC GetDC(HWND window)
{
    if (!window)
    {
        auto dc = std::make_unique<DC>();
        dc->screen = true;
        return AddDC(std::move(dc));
    }
    WindowDCProvider& provider = Objects().windowDCs;
    return provider ? provider(window) : nullptr;
}

int ReleaseDC(HWND, HDC hdc)
{
    return DeleteDC(hdc) ? 1 : 0;
}

BOOL DeleteDC(HDC hdc)
{
    auto& dcs = Objects().dcs;
    auto it = dcs.find(reinterpret_cast<uintptr_t>(hdc));
    if (it == dcs.end())
        return FALSE;
    ReleaseState(it->second->state);
    for (const DCState& s : it->second->saved)
        ReleaseState(s);
    dcs.erase(it);
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index)
{
    if (!LookupDC(hdc))
        return 0;
    const Table& t = Objects();
    switch (index)
    {
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
        return t.screenWidth;
    case VERTRES:
        return t.screenHeight;
    case HORZSIZE:
        return MulDiv(t.screenWidth, 254, 960);
    case VERTSIZE:
        return MulDiv(t.screenHeight, 254, 960);
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return RC_BITBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case COLORRES:
        return 24;
    default:
        return 0;
    }
}

int SetMapMode(HDC hdc, int mode)
{
    DC* dc = LookupDC(hdc);
    if (!dc || mode < 1 || mode > 8)
        return 0;
    return std::exchange(dc->state.mapMode, mode);
}

int GetMapMode(HDC hdc)
{
    DC* dc = LookupDC(hdc);
    return dc ? dc->state.mapMode : 0;
}

int SaveDC(HDC hdc)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return 0;
    AcquireState(dc->state);
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedDC)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    int level = savedDC < 0 ? static_cast<int>(dc->saved.size()) + savedDC + 1 : savedDC;
    if (level < 1 || level > static_cast<int>(dc->saved.size()))
        return FALSE;
    ReleaseState(dc->state);
    dc->state = dc->saved[size_t(level - 1)];
    for (size_t i = size_t(level); i < dc->saved.size(); ++i)
        ReleaseState(dc->saved[i]);
    dc->saved.resize(size_t(level - 1));
    return TRUE;
}

// ---- Objects -----------------------------------------------------------------------------------

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    DC* dc = LookupDC(hdc);
    Object* o = LookupAny(object);
    if (!dc || !o)
        return nullptr;
    HGDIOBJ* slot = nullptr;
    switch (o->kind)
    {
    case Kind::Pen:
        slot = &dc->state.pen;
        break;
    case Kind::Brush:
        slot = &dc->state.brush;
        break;
    case Kind::Font:
        slot = &dc->state.font;
        break;
    case Kind::Bitmap:
        // Only memory DCs hold bitmaps, and a bitmap lives in one DC at a time.
        if (!dc->memory || (!o->permanent && o->selections > 0 && dc->state.bitmap != object))
            return nullptr;
        slot = &dc->state.bitmap;
        break;
    case Kind::Region:
    {
        int r = SelectClipRgn(hdc, static_cast<HRGN>(object));
        return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(r));
    }
    }
    HGDIOBJ previous = *slot;
    if (previous == object)
        return previous;
    Release(previous);
    ++o->selections;
    *slot = object;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object)
{
    auto& objects = Objects().objects;
    auto it = objects.find(reinterpret_cast<uintptr_t>(object));
    if (it == objects.end())
        return FALSE;
    if (it->second->permanent)
        return TRUE;
    if (it->second->selections > 0)
        return FALSE;
    objects.erase(it);
    return TRUE;
}

int GetObjectType(HGDIOBJ object)
{
    if (LookupDC(static_cast<HDC>(object)))
        return LookupDC(static_cast<HDC>(object))->memory ? OBJ_MEMDC : OBJ_DC;
    Object* o = LookupAny(object);
    return o ? static_cast<int>(o->kind) : 0;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer)
{
    Object* o = LookupAny(object);
    if (!o)
        return 0;
    auto put = [&](const void* data, int full)
    {
        if (!buffer)
            return full;
        int n = std::min(size, full);
        if (n <= 0)
            return 0;
        std::memcpy(buffer, data, size_t(n));
        return n;
    };
    switch (o->kind)
    {
    case Kind::Pen:
    {
        LOGPEN p{o->style, POINT{o->width, 0}, o->color};
        return put(&p, sizeof p);
    }
    case Kind::Brush:
    {
        LOGBRUSH b{o->style, o->color, 0};
        return put(&b, sizeof b);
    }
    case Kind::Font:
        return put(&o->font, sizeof o->font);
    case Kind::Bitmap:
    {
        DIBSECTION ds{};
        ds.dsBm =
            BITMAP{0, o->bmWidth, o->bmHeight, o->bmWidth * 4, 1, 32, o->dib ? o->pixels.data() : nullptr};
        if (!o->dib || (buffer && size < int(sizeof(DIBSECTION))))
            return put(&ds.dsBm, sizeof(BITMAP));
        ds.dsBmih = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER),
                                     o->bmWidth,
                                     o->bottomUp ? o->bmHeight : -o->bmHeight,
                                     1,
                                     32,
                                     BI_RGB,
                                     DWORD(o->bmWidth) * DWORD(o->bmHeight) * 4,
                                     0,
                                     0,
                                     0,
                                     0};
        return put(&ds, sizeof ds);
    }
    case Kind::Region:
        return 0;
    }
    return 0;
}

HGDIOBJ GetStockObject(int index)
{
    InitStock();
    if (index < 0 || index >= int(std::size(Objects().stock)))
        return nullptr;
    return Objects().stock[index];
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return nullptr;
    switch (type)
    {
    case OBJ_PEN:
        return dc->state.pen;
    case OBJ_BRUSH:
        return dc->state.brush;
    case OBJ_FONT:
        return dc->state.font;
    case OBJ_BITMAP:
        return dc->state.bitmap;
    default:
        return nullptr;
    }
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style < PS_SOLID || style > PS_INSIDEFRAME)
        style = PS_SOLID;
    return static_cast<HPEN>(Add(MakePenOrBrush(Kind::Pen, UINT(style), std::max(width, 1), color)));
}

HPEN CreatePenIndirect(const LOGPEN* pen)
{
    return pen ? CreatePen(int(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor) : nullptr;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    return static_cast<HBRUSH>(Add(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, color)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush)
{
    if (!brush)
        return nullptr;
    // Hatched and pattern brushes are painted solid in their colour.
    UINT style = brush->lbStyle == BS_NULL ? BS_NULL : BS_SOLID;
    return static_cast<HBRUSH>(Add(MakePenOrBrush(Kind::Brush, style, 0, brush->lbColor)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName)
{
    LOGFONTW f{};
    f.lfHeight = height;
    f.lfWidth = width;
    f.lfEscapement = escapement;
    f.lfOrientation = orientation;
    f.lfWeight = weight;
    f.lfItalic = BYTE(italic != 0);
    f.lfUnderline = BYTE(underline != 0);
    f.lfStrikeOut = BYTE(strikeOut != 0);
    f.lfCharSet = BYTE(charSet);
    f.lfOutPrecision = BYTE(outPrecision);
    f.lfClipPrecision = BYTE(clipPrecision);
    f.lfQuality = BYTE(quality);
    f.lfPitchAndFamily = BYTE(pitchAndFamily);
    for (int i = 0; faceName && i < LF_FACESIZE - 1 && faceName[i]; ++i)
        f.lfFaceName[i] = faceName[i];
    return CreateFontIndirectW(&f);
}

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    if (!font)
        return nullptr;
    InitStock();
    return static_cast<HFONT>(Add(MakeFont(*font)));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) ||
        info->bmiHeader.biBitCount != 32 || info->bmiHeader.biPlanes != 1 ||
        (info->bmiHeader.biCompression != BI_RGB && info->bmiHeader.biCompression != BI_BITFIELDS) ||
        info->bmiHeader.biHeight == INT32_MIN)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LONG h = info->bmiHeader.biHeight;
    return CreateBitmap32(info->bmiHeader.biWidth, h < 0 ? -h : h, true, h > 0, bits);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height)
{
    if (!LookupDC(hdc))
        return nullptr;
    return CreateBitmap32(width, height, false, false, nullptr);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (planes != 1 || bitsPerPixel != 32)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HBITMAP b = CreateBitmap32(width, height, false, false, nullptr);
    if (b && bits)
    {
        Object* o = Lookup(b, Kind::Bitmap);
        std::memcpy(o->pixels.data(), bits, o->pixels.size() * 4);
    }
    return b;
}

// ---- State -------------------------------------------------------------------------------------

#define DC_FIELD(name, field, type, bad)                                                                     \
    type Set##name(HDC hdc, type value)                                                                      \
    {                                                                                                        \
        DC* dc = LookupDC(hdc);                                                                              \
        return dc ? std::exchange(dc->state.field, value) : bad;                                             \
    }                                                                                                        \
    type Get##name(HDC hdc)                                                                                  \
    {                                                                                                        \
        DC* dc = LookupDC(hdc);                                                                              \
        return dc ? dc->state.field : bad;                                                                   \
    }

DC_FIELD(TextColor, textColor, COLORREF, CLR_INVALID)
DC_FIELD(BkColor, bkColor, COLORREF, CLR_INVALID)
DC_FIELD(TextAlign, textAlign, UINT, GDI_ERROR)
DC_FIELD(ROP2, rop2, int, 0)
#undef DC_FIELD

int SetBkMode(HDC hdc, int mode)
{
    DC* dc = LookupDC(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    return std::exchange(dc->state.bkMode, mode);
}

int GetBkMode(HDC hdc)
{
    DC* dc = LookupDC(hdc);
    return dc ? dc->state.bkMode : 0;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    DC* dc = LookupDC(hdc);
    return dc ? std::exchange(dc->state.stretchMode, mode) : 0;
}

int SetPolyFillMode(HDC hdc, int mode)
{
    DC* dc = LookupDC(hdc);
    if (!dc || (mode != ALTERNATE && mode != WINDING))
        return 0;
    return std::exchange(dc->state.polyFillMode, mode);
}

namespace
{
BOOL SetPoint(HDC hdc, POINT DCState::*field, int x, int y, POINT* previous, bool relative)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    POINT& p = dc->state.*field;
    if (previous)
        *previous = p;
    p = relative ? POINT{p.x + x, p.y + y} : POINT{x, y};
    return TRUE;
}

BOOL GetPoint(HDC hdc, POINT DCState::*field, POINT* out)
{
    DC* dc = LookupDC(hdc);
    if (!dc || !out)
        return FALSE;
    *out = dc->state.*field;
    return TRUE;
}
} // namespace

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous)
{
    return SetPoint(hdc, &DCState::viewportOrg, x, y, previous, false);
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous)
{
    return SetPoint(hdc, &DCState::viewportOrg, dx, dy, previous, true);
}
BOOL GetViewportOrgEx(HDC hdc, POINT* origin)
{
    return GetPoint(hdc, &DCState::viewportOrg, origin);
}
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* previous)
{
    return SetPoint(hdc, &DCState::windowOrg, x, y, previous, false);
}
BOOL GetWindowOrgEx(HDC hdc, POINT* origin)
{
    return GetPoint(hdc, &DCState::windowOrg, origin);
}
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous)
{
    return SetPoint(hdc, &DCState::position, x, y, previous, false);
}
BOOL GetCurrentPositionEx(HDC hdc, POINT* position)
{
    return GetPoint(hdc, &DCState::position, position);
}

// ---- Clipping ----------------------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto o = std::make_unique<Object>();
    o->kind = Kind::Region;
    o->rect =
        RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return static_cast<HRGN>(Add(std::move(o)));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

namespace
{
int ClipResult(DC* dc)
{
    if (!dc->state.hasClip)
        return SIMPLEREGION;
    return IsRectEmpty(&dc->state.clip) ? NULLREGION : SIMPLEREGION;
}

// The whole device area of a DC, relative to its origin.
RECT DeviceArea(DC* dc)
{
    if (dc->memory)
    {
        Object* bm = Lookup(dc->state.bitmap, Kind::Bitmap);
        return bm ? RECT{0, 0, bm->bmWidth, bm->bmHeight} : RECT{0, 0, 0, 0};
    }
    RECT r = dc->bounds;
    OffsetRect(&r, -dc->origin.x, -dc->origin.y);
    return r;
}
} // namespace

int SelectClipRgn(HDC hdc, HRGN region)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return ERROR;
    if (!region)
    {
        dc->state.hasClip = false;
        return SIMPLEREGION;
    }
    Object* r = Lookup(region, Kind::Region);
    if (!r)
        return ERROR;
    dc->state.hasClip = true;
    dc->state.clip = r->rect; // a copy: the region may be deleted at once
    return ClipResult(dc);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return ERROR;
    const DCState& s = dc->state;
    int dx = s.viewportOrg.x - s.windowOrg.x, dy = s.viewportOrg.y - s.windowOrg.y;
    RECT r{left + dx, top + dy, right + dx, bottom + dy};
    RECT current = s.hasClip ? s.clip : DeviceArea(dc);
    if (!ClipRect(r, current))
        r = RECT{0, 0, 0, 0};
    dc->state.hasClip = true;
    dc->state.clip = r;
    return ClipResult(dc);
}

int GetClipBox(HDC hdc, RECT* rect)
{
    DC* dc = LookupDC(hdc);
    if (!dc || !rect)
        return ERROR;
    RECT r = DeviceArea(dc);
    if (dc->state.hasClip && !ClipRect(r, dc->state.clip))
        r = RECT{0, 0, 0, 0};
    const DCState& s = dc->state;
    OffsetRect(&r, s.windowOrg.x - s.viewportOrg.x, s.windowOrg.y - s.viewportOrg.y);
    *rect = r;
    return IsRectEmpty(&r) ? NULLREGION : SIMPLEREGION;
}

BOOL PtVisible(HDC hdc, int x, int y)
{
    Target t;
    if (!GetTarget(LookupDC(hdc), &t))
        return FALSE;
    return PtInRect(&t.clip, POINT{x + t.offset.x, y + t.offset.y});
}

// ---- System colours ----------------------------------------------------------------------------

DWORD GetSysColor(int index)
{
    return index >= 0 && index < int(std::size(SysColors)) ? SysColors[index] : 0;
}

HBRUSH GetSysColorBrush(int index)
{
    if (index < 0 || index >= int(std::size(SysColors)))
        return nullptr;
    HGDIOBJ& brush = Objects().sysBrushes[index];
    if (!brush)
        brush = AddPermanent(MakePenOrBrush(Kind::Brush, BS_SOLID, 0, SysColors[index]));
    return static_cast<HBRUSH>(brush);
}

// ---- Rectangles --------------------------------------------------------------------------------

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* rect)
{
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL IsRectEmpty(const RECT* rect)
{
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL InflateRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    *rect = RECT{rect->left - dx, rect->top - dy, rect->right + dx, rect->bottom + dy};
    return TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    *rect = RECT{rect->left + dx, rect->top + dy, rect->right + dx, rect->bottom + dy};
    return TRUE;
}

BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b)
{
    if (!out || !a || !b)
        return FALSE;
    RECT r = *a;
    if (!ClipRect(r, *b))
    {
        *out = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *out = r;
    return TRUE;
}

BOOL UnionRect(RECT* out, const RECT* a, const RECT* b)
{
    if (!out || !a || !b)
        return FALSE;
    if (IsRectEmpty(a))
        *out = *b;
    else if (IsRectEmpty(b))
        *out = *a;
    else
        *out = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    return !IsRectEmpty(out);
}

BOOL PtInRect(const RECT* rect, POINT p)
{
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

// ---- Extensions --------------------------------------------------------------------------------

namespace Platform::Gdi
{
HDC CreateSurfaceDC(const Surface& surface, POINT origin, const RECT& bounds)
{
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0)
        return nullptr;
    auto dc = std::make_unique<DC>();
    dc->external = surface;
    dc->origin = origin;
    dc->bounds = bounds;
    return AddDC(std::move(dc));
}

WindowDCProvider SetWindowDCProvider(WindowDCProvider provider)
{
    return std::exchange(Objects().windowDCs, std::move(provider));
}

bool GetBitmapSurface(HBITMAP bitmap, Surface* surface)
{
    Object* o = Lookup(bitmap, Kind::Bitmap);
    if (!o || !surface)
        return false;
    surface->width = o->bmWidth;
    surface->height = o->bmHeight;
    if (o->bottomUp)
    {
        surface->pixels = o->pixels.data() + size_t(o->bmHeight - 1) * size_t(o->bmWidth);
        surface->pitch = -ptrdiff_t(o->bmWidth);
    }
    else
    {
        surface->pixels = o->pixels.data();
        surface->pitch = o->bmWidth;
    }
    return true;
}

void SetScreenSize(int width, int height)
{
    Objects().screenWidth = std::max(width, 1);
    Objects().screenHeight = std::max(height, 1);
}
} // namespace Platform::Gdi
