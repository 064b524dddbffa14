// Filling, lines, shapes, blits, edges and frame controls.
#include "Platform/Gdi/Gdi.h"

#include "Platform/Gdi/GdiDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Platform::Gdi;
using namespace Platform::Gdi::Detail;

namespace
{
constexpr uint32_t White = 0x00FFFFFF;

struct Painter
{
    DC* dc = nullptr;
    Target t;

    explicit Painter(HDC hdc) : dc(LookupDC(hdc))
    {
        if (!GetTarget(dc, &t))
            dc = nullptr;
    }
    explicit operator bool() const { return dc != nullptr; }

    // A logical rectangle on the surface, clipped; false when nothing is left.
    bool Device(RECT r, RECT* out) const
    {
        OffsetRect(&r, t.offset.x, t.offset.y);
        *out = r;
        return ClipRect(*out, t.clip);
    }

    void Fill(const RECT& logical, uint32_t pixel) const
    {
        RECT r;
        if (Device(logical, &r))
            FillSpan(t.surface, r, pixel);
    }

    // Fill through the DC's binary raster operation.
    void FillRop(const RECT& logical, uint32_t pixel) const
    {
        int rop2 = dc->state.rop2;
        if (rop2 == R2_COPYPEN)
            return Fill(logical, pixel);
        RECT r;
        if (!Device(logical, &r))
            return;
        for (int y = r.top; y < r.bottom; ++y)
        {
            uint32_t* row = t.surface.Row(y);
            for (int x = r.left; x < r.right; ++x)
                row[x] = Rop2(rop2, pixel, row[x]);
        }
    }

    void Plot(int x, int y, uint32_t pixel) const // logical
    {
        x += t.offset.x;
        y += t.offset.y;
        if (x < t.clip.left || x >= t.clip.right || y < t.clip.top || y >= t.clip.bottom)
            return;
        uint32_t& d = t.surface.Row(y)[x];
        d = dc->state.rop2 == R2_COPYPEN ? pixel : Rop2(dc->state.rop2, pixel, d);
    }

    void Xor(const RECT& logical, uint32_t mask, bool dotted) const
    {
        RECT r;
        if (!Device(logical, &r))
            return;
        for (int y = r.top; y < r.bottom; ++y)
        {
            uint32_t* row = t.surface.Row(y);
            for (int x = r.left; x < r.right; ++x)
                if (!dotted || ((x + y) & 1) == 0)
                    row[x] = (row[x] ^ mask) & White;
        }
    }
};

struct PenInfo
{
    bool visible = false;
    int width = 1;
    int style = PS_SOLID;
    uint32_t pixel = 0;
};

PenInfo CurrentPen(const DC* dc)
{
    PenInfo p;
    Object* o = Lookup(dc->state.pen, Kind::Pen);
    if (!o || o->style == PS_NULL)
        return p;
    p.visible = true;
    p.width = std::clamp(o->width, 1, 1024); // wider pens would only overflow the arithmetic
    p.style = int(o->style);
    p.pixel = ToPixel(o->color);
    return p;
}

bool CurrentBrush(const DC* dc, uint32_t* pixel)
{
    COLORREF c;
    if (!BrushColor(static_cast<HBRUSH>(dc->state.brush), &c))
        return false;
    *pixel = ToPixel(c);
    return true;
}

// On/off runs of the styled one-pixel pens.
bool StyleOn(int style, int step)
{
    static constexpr int dash[] = {18, 6};
    static constexpr int dot[] = {3, 3};
    static constexpr int dashDot[] = {9, 6, 3, 6};
    static constexpr int dashDotDot[] = {9, 3, 3, 3, 3, 3};
    const int* runs = nullptr;
    int n = 0;
    switch (style)
    {
    case PS_DASH:
        runs = dash;
        n = 2;
        break;
    case PS_DOT:
        runs = dot;
        n = 2;
        break;
    case PS_DASHDOT:
        runs = dashDot;
        n = 4;
        break;
    case PS_DASHDOTDOT:
        runs = dashDotDot;
        n = 6;
        break;
    default:
        return true;
    }
    int period = 0;
    for (int i = 0; i < n; ++i)
        period += runs[i];
    int pos = step % period;
    for (int i = 0; i < n; ++i)
    {
        if (pos < runs[i])
            return (i & 1) == 0;
        pos -= runs[i];
    }
    return true;
}

// A line from (x0, y0) to (x1, y1), the end point excluded, in the DC's pen.
void Line(const Painter& p, const PenInfo& pen, int fromX, int fromY, int toX, int toY)
{
    if (!pen.visible)
        return;
    // The visible area in logical units, grown by the pen.
    int64_t m = pen.width;
    int64_t cl = int64_t(p.t.clip.left) - p.t.offset.x - m, cr = int64_t(p.t.clip.right) - p.t.offset.x + m;
    int64_t ct = int64_t(p.t.clip.top) - p.t.offset.y - m, cb = int64_t(p.t.clip.bottom) - p.t.offset.y + m;
    int64_t x0 = fromX, y0 = fromY, x1 = toX, y1 = toY;
    if (std::max(x0, x1) < cl || std::min(x0, x1) >= cr || std::max(y0, y1) < ct || std::min(y0, y1) >= cb)
        return;
    if (std::max(std::abs(x1 - x0), std::abs(y1 - y0)) > 2 * ((cr - cl) + (cb - ct)))
    {
        // A line far longer than the visible area is cut to it first, so that far-off coordinates
        // cost no more than a visible line.
        double t0 = 0, t1 = 1, dxf = double(x1 - x0), dyf = double(y1 - y0);
        auto clip = [&](double pp, double q)
        {
            if (pp == 0)
                return q >= 0;
            double r = q / pp;
            if (pp < 0)
            {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            }
            else
            {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
            return true;
        };
        if (!clip(-dxf, double(x0 - cl)) || !clip(dxf, double(cr - x0)) || !clip(-dyf, double(y0 - ct)) ||
            !clip(dyf, double(cb - y0)))
            return;
        int64_t ax = std::llround(double(x0) + t0 * dxf), ay = std::llround(double(y0) + t0 * dyf);
        x1 = std::llround(double(x0) + t1 * dxf);
        y1 = std::llround(double(y0) + t1 * dyf);
        x0 = ax;
        y0 = ay;
    }
    int64_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    bool styled = pen.width == 1 && pen.style >= PS_DASH && pen.style <= PS_DASHDOTDOT;
    uint32_t gap = ToPixel(p.dc->state.bkColor);
    bool opaqueGaps = p.dc->state.bkMode == OPAQUE;
    int half = (pen.width - 1) / 2;
    for (int step = 0; x0 != x1 || y0 != y1; ++step)
    {
        int x = int(x0), y = int(y0);
        if (pen.width == 1)
        {
            if (!styled || StyleOn(pen.style, step))
                p.Plot(x, y, pen.pixel);
            else if (opaqueGaps)
                p.Plot(x, y, gap);
        }
        else
            p.FillRop(RECT{x - half, y - half, x - half + pen.width, y - half + pen.width}, pen.pixel);
        int64_t e2 = 2 * err;
        if (e2 >= dy)
        {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx)
        {
            err += dx;
            y0 += sy;
        }
    }
}

void Border(const Painter& p, RECT r, int width, uint32_t pixel)
{
    p.FillRop(RECT{r.left, r.top, r.right, r.top + width}, pixel);
    p.FillRop(RECT{r.left, r.bottom - width, r.right, r.bottom}, pixel);
    p.FillRop(RECT{r.left, r.top + width, r.left + width, r.bottom - width}, pixel);
    p.FillRop(RECT{r.right - width, r.top + width, r.right, r.bottom - width}, pixel);
}

RECT Normalised(int l, int t, int r, int b)
{
    return RECT{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

// Pixel spans of the ellipse inscribed in r: for row y, [left, right) inside it; rows outside get
// an empty span. `inset` shrinks the radii (the inner edge of an outline).
void EllipseSpan(const RECT& r, double inset, int y, int* left, int* right)
{
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    double rx = (r.right - r.left) / 2.0 - inset, ry = (r.bottom - r.top) / 2.0 - inset;
    *left = *right = 0;
    if (rx <= 0 || ry <= 0)
        return;
    double v = (y + 0.5 - cy) / ry;
    if (v * v >= 1)
        return;
    double hx = rx * std::sqrt(1 - v * v);
    *left = int(std::ceil(cx - hx - 0.5));
    *right = int(std::ceil(cx + hx - 0.5));
}

COLORREF Sys(int index)
{
    return GetSysColor(index);
}

void Hline(const Painter& p, int x0, int x1, int y, COLORREF c)
{
    p.Fill(RECT{x0, y, x1, y + 1}, ToPixel(c));
}
void Vline(const Painter& p, int x, int y0, int y1, COLORREF c)
{
    p.Fill(RECT{x, y0, x + 1, y1}, ToPixel(c));
}

// One ring of an edge: top-left and bottom-right colours; the bottom-right lines own the corners
// they share with the top-left ones.
void EdgeRing(const Painter& p, RECT& r, UINT flags, COLORREF tl, COLORREF br)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (p)
    {
        if (flags & BF_TOP)
            Hline(p, r.left, r.right - 1, r.top, tl);
        if (flags & BF_LEFT)
            Vline(p, r.left, r.top, r.bottom - 1, tl);
        if (flags & BF_BOTTOM)
            Hline(p, r.left, r.right, r.bottom - 1, br);
        if (flags & BF_RIGHT)
            Vline(p, r.right - 1, r.top, r.bottom, br);
    }
    if (flags & BF_TOP)
        ++r.top;
    if (flags & BF_LEFT)
        ++r.left;
    if (flags & BF_BOTTOM)
        --r.bottom;
    if (flags & BF_RIGHT)
        --r.right;
}

// `key`: a pixel value the copy leaves out (transparent blits), or a value above 0xFFFFFF for none.
bool Blit(HDC dstDC, int x, int y, int w, int h, HDC srcDC, int sx, int sy, int sw, int sh, DWORD rop,
          uint32_t key = 0xFFFFFFFFu)
{
    Painter d(dstDC);
    if (!d)
        return LookupDC(dstDC) != nullptr;
    uint32_t code = (rop >> 16) & 0xFF;
    bool usesSource = (((code >> 2) ^ code) & 0x33) != 0;
    bool usesPattern = (((code >> 4) ^ code) & 0x0F) != 0;
    Target s;
    if (usesSource && !GetTarget(LookupDC(srcDC), &s))
        return FALSE;
    uint32_t pattern = 0;
    if (usesPattern && !CurrentBrush(d.dc, &pattern))
        pattern = 0;
    if (w == 0 || h == 0 || sw == 0 || sh == 0)
        return TRUE;
    // Destination rectangle on the surface, mirrored when the signs of the sizes differ.
    bool flipX = (w < 0) != (sw < 0), flipY = (h < 0) != (sh < 0);
    // A negative size counts back from the given edge, which stays inside the rectangle.
    auto span = [](int at, int size, LONG* lo, LONG* hi)
    {
        *lo = size < 0 ? at + size + 1 : at;
        *hi = size < 0 ? at + 1 : at + size;
    };
    RECT dr, sr;
    span(x, w, &dr.left, &dr.right);
    span(y, h, &dr.top, &dr.bottom);
    span(sx, sw, &sr.left, &sr.right);
    span(sy, sh, &sr.top, &sr.bottom);
    int dw = dr.right - dr.left, dh = dr.bottom - dr.top, srcW = sr.right - sr.left,
        srcH = sr.bottom - sr.top;
    RECT clipped;
    if (!d.Device(dr, &clipped))
        return TRUE;
    OffsetRect(&dr, d.t.offset.x, d.t.offset.y);
    if (usesSource)
        OffsetRect(&sr, s.offset.x, s.offset.y);
    // The source rows are read from a copy when source and destination share pixels.
    std::vector<uint32_t> copy;
    Surface src = s.surface;
    RECT srcBounds{0, 0, src.width, src.height};
    if (usesSource && src.pixels && src.pixels == d.t.surface.pixels)
    {
        RECT area = sr;
        if (!ClipRect(area, srcBounds))
            return TRUE;
        int cw = area.right - area.left, ch = area.bottom - area.top;
        copy.resize(size_t(cw) * size_t(ch));
        for (int row = 0; row < ch; ++row)
            std::memcpy(&copy[size_t(row) * size_t(cw)], src.Row(area.top + row) + area.left, size_t(cw) * 4);
        srcBounds = area;
    }
    bool unscaled = dw == srcW && dh == srcH && !flipX && !flipY;
    for (int py = clipped.top; py < clipped.bottom; ++py)
    {
        int j = py - dr.top;
        int v = unscaled ? j : int((int64_t(flipY ? dh - 1 - j : j) * srcH) / dh);
        int syy = sr.top + v;
        uint32_t* out = d.t.surface.Row(py);
        const uint32_t* in = nullptr;
        int inOffset = 0;
        if (usesSource)
        {
            if (syy < srcBounds.top || syy >= srcBounds.bottom)
                continue;
            // Rows of the copy start at the copied area's left edge.
            in = copy.empty()
                     ? src.Row(syy)
                     : copy.data() + size_t(syy - srcBounds.top) * size_t(srcBounds.right - srcBounds.left);
            inOffset = copy.empty() ? 0 : srcBounds.left;
        }
        if (unscaled && usesSource && code == 0xCC && key > White)
        {
            int a = std::max<int>(clipped.left, dr.left + (srcBounds.left - sr.left));
            int b = std::min<int>(clipped.right, dr.left + (srcBounds.right - sr.left));
            if (a < b)
                std::memmove(out + a, in + (sr.left + (a - dr.left) - inOffset), size_t(b - a) * 4);
            continue;
        }
        for (int px = clipped.left; px < clipped.right; ++px)
        {
            int i = px - dr.left;
            uint32_t sp = 0;
            if (usesSource)
            {
                int u = unscaled ? i : int((int64_t(flipX ? dw - 1 - i : i) * srcW) / dw);
                int sxx = sr.left + u;
                if (sxx < srcBounds.left || sxx >= srcBounds.right)
                    continue;
                sp = in[sxx - inOffset];
            }
            if (code == 0xCC && (sp & White) == key)
                continue;
            out[px] = code == 0xCC ? sp : Rop3(code, pattern, sp, out[px]);
        }
    }
    return TRUE;
}

void FillPolygon(const Painter& p, const POINT* pts, int n, uint32_t pixel, bool winding)
{
    if (n < 3)
        return;
    int top = pts[0].y, bottom = pts[0].y;
    for (int i = 1; i < n; ++i)
    {
        top = std::min<int>(top, pts[i].y);
        bottom = std::max<int>(bottom, pts[i].y);
    }
    // Only rows that can be visible are scanned.
    top = std::max<int>(top, p.t.clip.top - p.t.offset.y);
    bottom = std::min<int>(bottom, p.t.clip.bottom - p.t.offset.y);
    std::vector<std::pair<double, int>> xs;
    for (int y = top; y < bottom; ++y)
    {
        double cy = y + 0.5;
        xs.clear();
        for (int i = 0; i < n; ++i)
        {
            POINT a = pts[i], b = pts[(i + 1) % n];
            if ((a.y <= cy) == (b.y <= cy))
                continue;
            double x = a.x + (cy - a.y) * double(b.x - a.x) / double(b.y - a.y);
            xs.emplace_back(x, b.y > a.y ? 1 : -1);
        }
        std::sort(xs.begin(), xs.end());
        int count = 0;
        for (size_t k = 0; k + 1 < xs.size(); ++k)
        {
            count += winding ? xs[k].second : 1;
            bool inside = winding ? count != 0 : (count & 1) != 0;
            if (!inside)
                continue;
            int x0 = int(std::ceil(xs[k].first - 0.5)), x1 = int(std::ceil(xs[k + 1].first - 0.5));
            if (x0 < x1)
                p.FillRop(RECT{x0, y, x1, y + 1}, pixel);
        }
    }
}

void Arrow(const Painter& p, const RECT& r, UINT direction, COLORREF c)
{
    int size = std::max<int>(2, (std::min<int>(r.right - r.left, r.bottom - r.top) + 3) / 4);
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    for (int i = 0; i < size; ++i)
    {
        switch (direction)
        {
        case DFCS_SCROLLUP:
            Hline(p, cx - i, cx + i + 1, cy - size / 2 + i, c);
            break;
        case DFCS_SCROLLDOWN:
        case DFCS_SCROLLCOMBOBOX:
            Hline(p, cx - (size - 1 - i), cx + (size - i), cy - size / 2 + i, c);
            break;
        case DFCS_SCROLLLEFT:
            Vline(p, cx - size / 2 + i, cy - i, cy + i + 1, c);
            break;
        case DFCS_SCROLLRIGHT:
            Vline(p, cx - size / 2 + i, cy - (size - 1 - i), cy + (size - i), c);
            break;
        default:
            return;
        }
    }
}

} // namespace

// ---- Rectangles and blits ------------------------------------------------------------------------

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Painter p(hdc);
    COLORREF c;
    if (!rect || !BrushColor(brush, &c))
        return 0;
    if (p)
        p.Fill(*rect, ToPixel(c));
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Painter p(hdc);
    COLORREF c;
    if (!rect || !BrushColor(brush, &c))
        return 0;
    if (!p || IsRectEmpty(rect))
        return 1;
    uint32_t px = ToPixel(c);
    const RECT& r = *rect;
    p.Fill(RECT{r.left, r.top, r.right, r.top + 1}, px);
    p.Fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, px);
    p.Fill(RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, px);
    p.Fill(RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, px);
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect)
{
    Painter p(hdc);
    if (!rect || !LookupDC(hdc))
        return FALSE;
    if (p)
        p.Xor(*rect, White, false);
    return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect)
{
    Painter p(hdc);
    if (!rect || !LookupDC(hdc))
        return FALSE;
    if (!p || IsRectEmpty(rect))
        return TRUE;
    // Dotted and inverted, so drawing it twice removes it.
    const RECT& r = *rect;
    p.Xor(RECT{r.left, r.top, r.right, r.top + 1}, White, true);
    if (r.bottom - r.top > 1)
        p.Xor(RECT{r.left, r.bottom - 1, r.right, r.bottom}, White, true);
    p.Xor(RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, White, true);
    if (r.right - r.left > 1)
        p.Xor(RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, White, true);
    return TRUE;
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop)
{
    uint32_t code = (rop >> 16) & 0xFF;
    if ((((code >> 2) ^ code) & 0x33) != 0)
        return FALSE; // PatBlt takes no source
    return Blit(hdc, x, y, width, height, nullptr, 0, 0, width, height, rop);
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    return Blit(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent)
{
    if (width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0)
        return FALSE;
    return Blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, SRCCOPY,
                ToPixel(transparent));
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    return Blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Painter p(hdc);
    if (!p)
        return CLR_INVALID;
    RECT r;
    if (!p.Device(RECT{x, y, x + 1, y + 1}, &r))
        return CLR_INVALID;
    p.t.surface.Row(r.top)[r.left] = ToPixel(color);
    return color & 0x00FFFFFF;
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    Painter p(hdc);
    if (!p)
        return CLR_INVALID;
    RECT r;
    if (!p.Device(RECT{x, y, x + 1, y + 1}, &r))
        return CLR_INVALID;
    return FromPixel(p.t.surface.Row(r.top)[r.left]);
}

// ---- Lines and shapes ----------------------------------------------------------------------------

BOOL LineTo(HDC hdc, int x, int y)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    Painter p(hdc);
    if (p)
        Line(p, CurrentPen(dc), dc->state.position.x, dc->state.position.y, x, y);
    dc->state.position = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count)
{
    DC* dc = LookupDC(hdc);
    if (!dc || !points || count < 2)
        return FALSE;
    Painter p(hdc);
    if (!p)
        return TRUE;
    PenInfo pen = CurrentPen(dc);
    for (int i = 0; i + 1 < count; ++i)
        Line(p, pen, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y);
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count)
{
    DC* dc = LookupDC(hdc);
    if (!dc || !points || count < 2)
        return FALSE;
    Painter p(hdc);
    if (!p)
        return TRUE;
    uint32_t fill = 0;
    if (CurrentBrush(dc, &fill))
        FillPolygon(p, points, count, fill, dc->state.polyFillMode == WINDING);
    PenInfo pen = CurrentPen(dc);
    for (int i = 0; i < count; ++i)
    {
        const POINT& a = points[i];
        const POINT& b = points[(i + 1) % count];
        Line(p, pen, a.x, a.y, b.x, b.y);
    }
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    Painter p(hdc);
    if (!p)
        return TRUE;
    RECT r = Normalised(left, top, right, bottom);
    PenInfo pen = CurrentPen(dc);
    uint32_t fill = 0;
    bool filled = CurrentBrush(dc, &fill);
    if (!pen.visible)
    {
        // Without a pen the platform fills one pixel less to the right and bottom.
        if (filled)
            p.FillRop(RECT{r.left, r.top, r.right - 1, r.bottom - 1}, fill);
        return TRUE;
    }
    int w = std::min<int>(pen.width, std::min(r.right - r.left, r.bottom - r.top) / 2 + 1);
    if (filled)
        p.FillRop(RECT{r.left + w, r.top + w, r.right - w, r.bottom - w}, fill);
    if (pen.style == PS_SOLID || pen.style == PS_INSIDEFRAME || pen.width > 1)
        Border(p, r, w, pen.pixel);
    else
    {
        Line(p, pen, r.left, r.top, r.right - 1, r.top);
        Line(p, pen, r.right - 1, r.top, r.right - 1, r.bottom - 1);
        Line(p, pen, r.right - 1, r.bottom - 1, r.left, r.bottom - 1);
        Line(p, pen, r.left, r.bottom - 1, r.left, r.top);
    }
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    DC* dc = LookupDC(hdc);
    if (!dc)
        return FALSE;
    Painter p(hdc);
    if (!p)
        return TRUE;
    RECT r = Normalised(left, top, right, bottom);
    PenInfo pen = CurrentPen(dc);
    uint32_t fill = 0;
    bool filled = CurrentBrush(dc, &fill);
    double w = pen.visible ? pen.width : 0;
    int firstRow = std::max<int>(r.top, p.t.clip.top - p.t.offset.y);
    int lastRow = std::min<int>(r.bottom, p.t.clip.bottom - p.t.offset.y);
    for (int y = firstRow; y < lastRow; ++y)
    {
        int ol, orr, il, ir;
        EllipseSpan(r, 0, y, &ol, &orr);
        if (ol >= orr)
            continue;
        EllipseSpan(r, w, y, &il, &ir);
        if (il >= ir)
            il = ir = (ol + orr) / 2;
        if (filled && il < ir)
            p.FillRop(RECT{il, y, ir, y + 1}, fill);
        if (pen.visible)
        {
            p.FillRop(RECT{ol, y, il, y + 1}, pen.pixel);
            p.FillRop(RECT{ir, y, orr, y + 1}, pen.pixel);
        }
    }
    return TRUE;
}

// ---- Edges and frame controls --------------------------------------------------------------------

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags)
{
    if (!rect || !LookupDC(hdc))
        return FALSE;
    Painter p(hdc);
    RECT r = *rect;
    bool soft = flags & BF_SOFT;
    struct Ring
    {
        UINT raised, sunken;
        COLORREF raisedTL, raisedBR, sunkenTL, sunkenBR;
    };
    const Ring outer{BDR_RAISEDOUTER,
                     BDR_SUNKENOUTER,
                     Sys(soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT),
                     Sys(COLOR_3DDKSHADOW),
                     Sys(soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW),
                     Sys(COLOR_BTNHIGHLIGHT)};
    const Ring inner{BDR_RAISEDINNER,
                     BDR_SUNKENINNER,
                     Sys(soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT),
                     Sys(COLOR_BTNSHADOW),
                     Sys(soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW),
                     Sys(COLOR_3DLIGHT)};
    for (const Ring* ring : {&outer, &inner})
    {
        bool raised = edge & ring->raised, sunken = edge & ring->sunken;
        if (!raised && !sunken)
            continue;
        COLORREF tl = raised ? ring->raisedTL : ring->sunkenTL;
        COLORREF br = raised ? ring->raisedBR : ring->sunkenBR;
        if (flags & BF_MONO)
            tl = br = Sys(ring == &outer ? COLOR_WINDOWFRAME : COLOR_WINDOW);
        else if (flags & BF_FLAT)
            tl = br = Sys(ring == &outer ? COLOR_BTNSHADOW : COLOR_BTNFACE);
        EdgeRing(p, r, flags, tl, br);
    }
    if ((flags & BF_MIDDLE) && p)
        p.Fill(r, ToPixel(Sys((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE)));
    if (flags & BF_ADJUST)
        *rect = r;
    return TRUE;
}

BOOL DrawFrameControl(HDC hdc, RECT* rect, UINT type, UINT state)
{
    if (!rect || !LookupDC(hdc))
        return FALSE;
    Painter p(hdc);
    bool inactive = state & DFCS_INACTIVE;
    auto pushFrame = [&](RECT& r)
    {
        UINT edge =
            (state & DFCS_PUSHED) ? ((state & DFCS_FLAT) ? BDR_SUNKENOUTER : EDGE_SUNKEN) : EDGE_RAISED;
        UINT flags = BF_RECT | BF_SOFT | BF_MIDDLE | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0);
        DrawEdge(hdc, &r, edge, flags);
    };
    RECT r = *rect;
    switch (type)
    {
    case DFC_BUTTON:
        if (state & DFCS_BUTTONPUSH)
        {
            pushFrame(r);
            if (state & DFCS_ADJUSTRECT)
                *rect = r;
            return TRUE;
        }
        if (!p)
            return TRUE;
        {
            // Check boxes and radio buttons: a square at the left, centred vertically.
            int side = std::min<int>(r.right - r.left, r.bottom - r.top);
            RECT box{r.left, r.top + (r.bottom - r.top - side) / 2, 0, 0};
            box.right = box.left + side;
            box.bottom = box.top + side;
            COLORREF face = Sys((state & DFCS_PUSHED) || inactive ? COLOR_BTNFACE : COLOR_WINDOW);
            COLORREF mark = Sys(inactive ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
            if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE))
            {
                // Two sunken rings (light from the top left), the face, and the dot when checked.
                double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0,
                       radius = side / 2.0;
                for (int y = box.top; y < box.bottom; ++y)
                    for (int x = box.left; x < box.right; ++x)
                    {
                        double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d = std::sqrt(dx * dx + dy * dy);
                        bool lit = dx + dy > 0;
                        COLORREF color;
                        if (d >= radius)
                            continue;
                        if (d >= radius - 1)
                            color = Sys(lit ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW);
                        else if (d >= radius - 2)
                            color = Sys(lit ? COLOR_3DLIGHT : COLOR_3DDKSHADOW);
                        else if ((state & DFCS_CHECKED) && d < radius / 3)
                            color = mark;
                        else
                            color = face;
                        Hline(p, x, x + 1, y, color);
                    }
                return TRUE;
            }
            DrawEdge(hdc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0));
            p.Fill(box, ToPixel(face));
            if (state & DFCS_CHECKED)
            {
                // A tick: down-right for a third of the box, then up-right, three pixels thick.
                int w = box.right - box.left, h = box.bottom - box.top;
                int x0 = box.left + w / 5, y0 = box.top + h * 2 / 5;
                int down = std::max(1, w / 3), up = std::max(1, w - w / 5 * 2 - down);
                for (int i = 0; i <= down + up; ++i)
                {
                    int y = i <= down ? y0 + i : y0 + down - (i - down);
                    Vline(p, x0 + i, y, y + std::max(3, h / 4), mark);
                }
            }
        }
        return TRUE;
    case DFC_SCROLL:
        pushFrame(r);
        if (p)
        {
            RECT a = r;
            if (state & DFCS_PUSHED)
                OffsetRect(&a, 1, 1);
            if (inactive)
            {
                OffsetRect(&a, 1, 1);
                Arrow(p, a, state & 0xFF, Sys(COLOR_BTNHIGHLIGHT));
                OffsetRect(&a, -1, -1);
            }
            Arrow(p, a, state & 0xFF, Sys(inactive ? COLOR_BTNSHADOW : COLOR_BTNTEXT));
        }
        return TRUE;
    case DFC_CAPTION:
        pushFrame(r);
        if (p && (state & 0xFF) == DFCS_CAPTIONCLOSE)
        {
            // A cross of two-pixel strokes over two thirds of the face, pushed in with the button.
            int side = std::max(2, int(std::min(r.right - r.left, r.bottom - r.top)) * 2 / 3);
            int x0 = (r.left + r.right - side - 1) / 2, y0 = (r.top + r.bottom - side) / 2;
            if (state & DFCS_PUSHED)
                ++x0, ++y0;
            COLORREF c = Sys(inactive ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
            for (int i = 0; i < side; ++i)
            {
                Hline(p, x0 + i, x0 + i + 2, y0 + i, c);
                Hline(p, x0 + side - 1 - i, x0 + side + 1 - i, y0 + i, c);
            }
        }
        return TRUE;
    default:
        return FALSE;
    }
}
