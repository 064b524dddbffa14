#include "Platform/Vcl/Graphics.h"

#include <algorithm>
#include <cstring>

// ---- Rectangles ------------------------------------------------------------------------------

TRect TRect::Intersect(const TRect& other) const
{
    TRect r(std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom));
    return r.IsEmpty() ? TRect() : r;
}

TRect TRect::Union(const TRect& other) const
{
    if (other.IsEmpty())
        return *this;
    if (IsEmpty())
        return other;
    return TRect(std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
                 std::max(bottom, other.bottom));
}

// ---- Colours ---------------------------------------------------------------------------------

COLORREF ColorToRGB(TColor color)
{
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

UINT CaptionFormat(HDC dc, const UnicodeString& caption, const RECT& room, UINT format)
{
    if (!(format & DT_CENTER))
        return format;
    RECT measured{0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), caption.Length(), &measured, (format & ~DT_CENTER) | DT_CALCRECT);
    if (measured.right - measured.left <= room.right - room.left)
        return format;
    return format & ~DT_CENTER;
}

// ---- Graphics objects ------------------------------------------------------------------------

TGraphicsObject::~TGraphicsObject()
{
    FreeHandle();
}

void TGraphicsObject::FreeHandle()
{
    if (m_handle)
        DeleteObject(m_handle);
    m_handle = nullptr;
}

void TGraphicsObject::Changed()
{
    // Listeners (a canvas) deselect the old object before it is freed.
    HGDIOBJ old = m_handle;
    m_handle = nullptr;
    OnChange(this);
    if (old)
        DeleteObject(old);
}

TFont::TFont() = default;

void TFont::SetName(const UnicodeString& name)
{
    if (name == m_name || name.IsEmpty())
        return;
    m_name = name;
    Changed();
}

void TFont::SetHeight(int height)
{
    if (height == m_height)
        return;
    m_height = height;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(m_height, 72, 96);
}

void TFont::SetSize(int size)
{
    SetHeight(-MulDiv(size, 96, 72));
}

void TFont::SetStyle(TFontStyles style)
{
    if (style == m_style)
        return;
    m_style = style;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    // The colour is the canvas's text colour, not part of the GDI font.
    OnChange(this);
}

void TFont::SetCharset(TFontCharset charset)
{
    if (charset == m_charset)
        return;
    m_charset = charset;
    Changed();
}

HFONT TFont::Handle()
{
    if (!m_handle)
    {
        m_handle = CreateFontW(m_height, 0, 0, 0, m_style.Contains(fsBold) ? FW_BOLD : FW_NORMAL,
                               m_style.Contains(fsItalic), m_style.Contains(fsUnderline),
                               m_style.Contains(fsStrikeOut), m_charset, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, m_name.c_str());
    }
    return static_cast<HFONT>(m_handle);
}

void TFont::Assign(TPersistent* Source)
{
    auto* font = dynamic_cast<TFont*>(Source);
    if (!font)
    {
        TPersistent::Assign(Source);
        return;
    }
    if (font == this)
        return;
    m_name = font->m_name;
    m_height = font->m_height;
    m_style = font->m_style;
    m_color = font->m_color;
    m_charset = font->m_charset;
    Changed();
}

void TPen::SetColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    Changed();
}

void TPen::SetWidth(int width)
{
    width = std::max(width, 0);
    if (width == m_width)
        return;
    m_width = width;
    Changed();
}

void TPen::SetStyle(TPenStyle style)
{
    if (style == m_style)
        return;
    m_style = style;
    Changed();
}

void TPen::SetMode(TPenMode mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    OnChange(this);
}

HPEN TPen::Handle()
{
    if (!m_handle)
    {
        static const int styles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                     PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        m_handle = CreatePen(styles[m_style], m_width, ColorToRGB(m_color));
    }
    return static_cast<HPEN>(m_handle);
}

void TPen::Assign(TPersistent* Source)
{
    auto* pen = dynamic_cast<TPen*>(Source);
    if (!pen)
    {
        TPersistent::Assign(Source);
        return;
    }
    if (pen == this)
        return;
    m_color = pen->m_color;
    m_width = pen->m_width;
    m_style = pen->m_style;
    m_mode = pen->m_mode;
    Changed();
}

void TBrush::SetColor(TColor color)
{
    if (color == m_color && m_style == bsSolid)
        return;
    m_color = color;
    // Choosing a colour makes a clear brush solid again, as the class library does.
    m_style = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (style == m_style)
        return;
    m_style = style;
    Changed();
}

HBRUSH TBrush::Handle()
{
    if (!m_handle)
    {
        LOGBRUSH lb{m_style == bsClear ? BS_NULL : BS_SOLID, ColorToRGB(m_color), 0};
        m_handle = CreateBrushIndirect(&lb);
    }
    return static_cast<HBRUSH>(m_handle);
}

void TBrush::Assign(TPersistent* Source)
{
    auto* brush = dynamic_cast<TBrush*>(Source);
    if (!brush)
    {
        TPersistent::Assign(Source);
        return;
    }
    if (brush == this)
        return;
    m_color = brush->m_color;
    m_style = brush->m_style;
    Changed();
}

// ---- TCanvas ---------------------------------------------------------------------------------

TCanvas::TCanvas() : m_font(new TFont), m_pen(new TPen), m_brush(new TBrush)
{
    m_font->OnChange = MakeClosure(this, &TCanvas::ObjectChanged);
    m_pen->OnChange = MakeClosure(this, &TCanvas::ObjectChanged);
    m_brush->OnChange = MakeClosure(this, &TCanvas::ObjectChanged);
}

TCanvas::~TCanvas()
{
    SetHandle(nullptr);
    delete m_font;
    delete m_pen;
    delete m_brush;
}

void TCanvas::ObjectChanged(TObject*)
{
    // Put the stock objects back so that the changed object can be freed, and reselect later.
    if (m_dc)
    {
        if (m_oldFont)
            SelectObject(m_dc, m_oldFont);
        if (m_oldPen)
            SelectObject(m_dc, m_oldPen);
        if (m_oldBrush)
            SelectObject(m_dc, m_oldBrush);
        m_oldFont = m_oldPen = m_oldBrush = nullptr;
    }
}

HDC TCanvas::Handle()
{
    // With the pen, brush, font and colours in place, so that GDI calls on it draw as the canvas.
    RequireState();
    return m_dc;
}

void TCanvas::SetHandle(HDC dc)
{
    if (dc == m_dc)
        return;
    if (m_dc)
    {
        ObjectChanged(nullptr);
        if (m_ownsDC)
            DeleteDC(m_dc);
    }
    m_dc = dc;
    m_ownsDC = false;
}

void TCanvas::CreateHandle()
{
    m_dc = CreateCompatibleDC(nullptr);
    m_ownsDC = true;
}

void TCanvas::RequireState()
{
    if (!m_dc)
        CreateHandle();
    HDC dc = m_dc;
    // Selected anew each time: a changed object was deselected and freed meanwhile.
    HGDIOBJ font = SelectObject(dc, m_font->Handle());
    HGDIOBJ pen = SelectObject(dc, m_pen->Handle());
    HGDIOBJ brush = SelectObject(dc, m_brush->Handle());
    if (!m_oldFont)
        m_oldFont = font;
    if (!m_oldPen)
        m_oldPen = pen;
    if (!m_oldBrush)
        m_oldBrush = brush;
    SetTextColor(dc, ColorToRGB(m_font->Color()));
    SetBkColor(dc, ColorToRGB(m_brush->Color()));
    SetBkMode(dc, m_brush->Style() == bsClear ? TRANSPARENT : OPAQUE);
    static const int rops[] = {R2_COPYPEN, R2_NOT, R2_XORPEN};
    SetROP2(dc, rops[m_pen->Mode()]);
}

TPoint TCanvas::PenPos()
{
    POINT p{0, 0};
    GetCurrentPositionEx(m_dc ? m_dc : Handle(), &p);
    return TPoint(p.x, p.y);
}

void TCanvas::FillRect(const TRect& rect)
{
    RequireState();
    if (m_brush->Style() == bsClear)
        return;
    ::FillRect(m_dc, &rect, m_brush->Handle());
    Changed();
}

void TCanvas::FrameRect(const TRect& rect)
{
    RequireState();
    ::FrameRect(m_dc, &rect, m_brush->Handle());
    Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    RequireState();
    ::Rectangle(m_dc, left, top, right, bottom);
    Changed();
}

void TCanvas::MoveTo(int x, int y)
{
    RequireState();
    MoveToEx(m_dc, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    RequireState();
    ::LineTo(m_dc, x, y);
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& rect)
{
    RequireState();
    ::DrawFocusRect(m_dc, &rect);
    Changed();
}

void TCanvas::TextOut(int x, int y, const UnicodeString& text)
{
    RequireState();
    ExtTextOutW(m_dc, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.Length()), nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const UnicodeString& text)
{
    RequireState();
    UINT options = ETO_CLIPPED | (m_brush->Style() == bsClear ? 0 : ETO_OPAQUE);
    ExtTextOutW(m_dc, x, y, options, &rect, text.c_str(), static_cast<UINT>(text.Length()), nullptr);
    Changed();
}

TSize TCanvas::TextExtent(const UnicodeString& text)
{
    RequireState();
    SIZE size{0, 0};
    GetTextExtentPoint32W(m_dc, text.c_str(), text.Length(), &size);
    return TSize(size.cx, size.cy);
}

void TCanvas::Draw(int x, int y, TGraphic* graphic)
{
    if (!graphic || graphic->Empty())
        return;
    graphic->Draw(this, TRect(x, y, x + graphic->Width(), y + graphic->Height()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic)
{
    if (!graphic || graphic->Empty() || rect.IsEmpty())
        return;
    graphic->Draw(this, rect);
    Changed();
}

// ---- TBitmap ---------------------------------------------------------------------------------

TBitmap::TBitmap() : m_canvas(new TCanvas)
{
    m_dc = CreateCompatibleDC(nullptr);
    m_canvas->SetHandle(m_dc);
    m_canvas->OnChange = MakeClosure(this, &TBitmap::CanvasChanged);
}

TBitmap::~TBitmap()
{
    delete m_canvas;
    if (m_oldBitmap)
        SelectObject(m_dc, m_oldBitmap);
    DeleteDC(m_dc);
    if (m_bitmap)
        DeleteObject(m_bitmap);
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height)
        return;
    Resize(width, height);
    Changed();
}

void TBitmap::Resize(int width, int height)
{
    HBITMAP bitmap = nullptr;
    uint32_t* bits = nullptr;
    if (width > 0 && height > 0)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* memory = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        if (!bitmap)
            throw Exception(u"Out of system resources");
        bits = static_cast<uint32_t*>(memory);
        std::fill_n(bits, static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFFu);
        for (int y = 0; m_bits && y < std::min(height, m_height); ++y)
            std::memcpy(bits + static_cast<size_t>(y) * width, m_bits + static_cast<size_t>(y) * m_width,
                        sizeof(uint32_t) * static_cast<size_t>(std::min(width, m_width)));
    }
    m_canvas->SetHandle(nullptr);
    HGDIOBJ previous = SelectObject(m_dc, bitmap ? static_cast<HGDIOBJ>(bitmap) : m_oldBitmap);
    if (!m_oldBitmap)
        m_oldBitmap = previous;
    if (m_bitmap)
        DeleteObject(m_bitmap);
    if (!bitmap)
        m_oldBitmap = nullptr;
    m_bitmap = bitmap;
    m_bits = bits;
    m_width = width;
    m_height = height;
    m_canvas->SetHandle(m_dc);
}

uint32_t* TBitmap::ScanLine(int y)
{
    if (y < 0 || y >= m_height)
        throw Exception(u"Scan line index out of range");
    return m_bits + static_cast<size_t>(y) * static_cast<size_t>(m_width);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect)
{
    if (!m_bitmap || rect.IsEmpty())
        return;
    HDC dc = canvas->Handle();
    if (m_transparent)
        TransparentBlt(dc, rect.left, rect.top, rect.Width(), rect.Height(), m_dc, 0, 0, m_width, m_height,
                       static_cast<UINT>(TransparentColor()));
    else
        StretchBlt(dc, rect.left, rect.top, rect.Width(), rect.Height(), m_dc, 0, 0, m_width, m_height, SRCCOPY);
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == m_pixelFormat)
        return;
    m_pixelFormat = format;
    Changed();
}

void TBitmap::SetTransparent(bool transparent)
{
    if (transparent == m_transparent)
        return;
    m_transparent = transparent;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode)
{
    if (mode == m_transparentMode)
        return;
    SetTransparentColor(mode == tmAuto ? clDefault : TransparentColor());
}

TColor TBitmap::TransparentColor() const
{
    if (m_transparentMode == tmFixed)
        return static_cast<TColor>(ColorToRGB(m_transparentColor));
    if (Empty())
        return clDefault;
    // Pixels are 0x00RRGGBB, colours 0x00BBGGRR.
    uint32_t pixel = m_bits[static_cast<size_t>(m_height - 1) * static_cast<size_t>(m_width)];
    return static_cast<TColor>(((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF));
}

void TBitmap::SetTransparentColor(TColor color)
{
    TTransparentMode mode = color == clDefault ? tmAuto : tmFixed;
    if (color == m_transparentColor && mode == m_transparentMode)
        return;
    m_transparentColor = color;
    m_transparentMode = mode;
    Changed();
}

void TBitmap::Assign(TPersistent* Source)
{
    if (Source == this)
        return;
    if (!Source)
    {
        Resize(0, 0);
        Changed();
        return;
    }
    auto* bitmap = dynamic_cast<TBitmap*>(Source);
    if (!bitmap)
    {
        TGraphic::Assign(Source);
        return;
    }
    if (bitmap->m_width != m_width || bitmap->m_height != m_height)
        Resize(bitmap->m_width, bitmap->m_height);
    if (m_bits)
        std::memcpy(m_bits, bitmap->m_bits,
                    sizeof(uint32_t) * static_cast<size_t>(m_width) * static_cast<size_t>(m_height));
    m_pixelFormat = bitmap->m_pixelFormat;
    m_transparent = bitmap->m_transparent;
    m_transparentMode = bitmap->m_transparentMode;
    m_transparentColor = bitmap->m_transparentColor;
    Changed();
}
