// The class library's graphics: colours (an RGB value 0x00BBGGRR or a system colour
// 0xFF000000 | index), fonts, pens, brushes, bitmaps and the canvas that draws with them on a
// GDI device context.
#pragma once

#include "Platform/Gdi/Gdi.h"
#include "Platform/Vcl/Classes.h"

#include <cstdint>

struct TPoint : POINT
{
    constexpr TPoint() : POINT{0, 0} {}
    constexpr TPoint(int x, int y) : POINT{x, y} {}
    friend constexpr bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
};

struct TRect : RECT
{
    constexpr TRect() : RECT{0, 0, 0, 0} {}
    constexpr TRect(int left, int top, int right, int bottom) : RECT{left, top, right, bottom} {}
    constexpr TRect(const RECT& r) : RECT(r) {}

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    constexpr bool Contains(const TPoint& p) const
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    TRect Intersect(const TRect& other) const;
    // The smallest rectangle holding both; an empty one adds nothing.
    TRect Union(const TRect& other) const;
    TRect Offset(int dx, int dy) const { return TRect(left + dx, top + dy, right + dx, bottom + dy); }
    friend constexpr bool operator==(const TRect& a, const TRect& b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

struct TSize : SIZE
{
    constexpr TSize() : SIZE{0, 0} {}
    constexpr TSize(int cx, int cy) : SIZE{cx, cy} {}
};

using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;

// The RGB value of a colour; a system colour is looked up in the current scheme.
COLORREF ColorToRGB(TColor color);

// The DrawText format for a single-line caption centred in `room` with the font selected into dc:
// a caption wider than the room is left-aligned instead, so that it keeps its start and is cut at
// its end rather than at both.
UINT CaptionFormat(HDC dc, const UnicodeString& caption, const RECT& room, UINT format);

enum TFontStyle
{
    fsBold,
    fsItalic,
    fsUnderline,
    fsStrikeOut
};
using TFontStyles = TSet<TFontStyle>;
using TFontCharset = BYTE;

// Shared base of fonts, pens and brushes: a lazily made GDI object, remade after each change,
// and OnChange after each change.
class TGraphicsObject : public TPersistent
{
public:
    ~TGraphicsObject() override;
    TNotifyEvent OnChange;

protected:
    void Changed();
    // Drops the GDI object so that the next Handle() makes a new one.
    void FreeHandle();
    HGDIOBJ m_handle = nullptr;
};

// A font as the class library describes it. Height is in pixels (negative: the character height
// without internal leading, as the platform's LOGFONT); Size is in points at 96 DPI.
class TFont : public TGraphicsObject
{
public:
    TFont();

    const UnicodeString& Name() const { return m_name; }
    void SetName(const UnicodeString& name);
    int Height() const { return m_height; }
    void SetHeight(int height);
    int Size() const;
    void SetSize(int size);
    TFontStyles Style() const { return m_style; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TFontCharset Charset() const { return m_charset; }
    void SetCharset(TFontCharset charset);

    HFONT Handle();
    void Assign(TPersistent* Source) override;

private:
    UnicodeString m_name = u"Tahoma";
    int m_height = -11;
    TFontStyles m_style;
    TColor m_color = clWindowText;
    TFontCharset m_charset = DEFAULT_CHARSET;
};

enum TPenStyle
{
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};

enum TPenMode
{
    pmCopy,
    pmNot,
    pmXor
};

class TPen : public TGraphicsObject
{
public:
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    int Width() const { return m_width; }
    void SetWidth(int width);
    TPenStyle Style() const { return m_style; }
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return m_mode; }
    void SetMode(TPenMode mode);

    HPEN Handle();
    void Assign(TPersistent* Source) override;

private:
    TColor m_color = clBlack;
    int m_width = 1;
    TPenStyle m_style = psSolid;
    TPenMode m_mode = pmCopy;
};

enum TBrushStyle
{
    bsSolid,
    bsClear
};

class TBrush : public TGraphicsObject
{
public:
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return m_style; }
    void SetStyle(TBrushStyle style);

    HBRUSH Handle();
    void Assign(TPersistent* Source) override;

private:
    TColor m_color = clWhite;
    TBrushStyle m_style = bsSolid;
};

class TGraphic;

// Draws on a device context with its pen, brush and font. A canvas without a DC makes one when
// first needed (CreateHandle); the base makes a memory DC, good for measuring text.
class TCanvas : public TPersistent
{
public:
    TCanvas();
    ~TCanvas() override;

    HDC Handle();
    // Takes a DC made by someone else (null lets go of it); the canvas never frees it.
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return m_dc != nullptr; }

    TFont* Font() const { return m_font; }
    TPen* Pen() const { return m_pen; }
    TBrush* Brush() const { return m_brush; }
    TPoint PenPos();
    void SetPenPos(const TPoint& p) { MoveTo(p.x, p.y); }

    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void DrawFocusRect(const TRect& rect);
    // Text at (x, y), its top-left; the background is the brush's unless the brush is bsClear.
    void TextOut(int x, int y, const UnicodeString& text);
    // The same, clipped to the rectangle (which is filled first unless the brush is bsClear).
    void TextRect(const TRect& rect, int x, int y, const UnicodeString& text);
    TSize TextExtent(const UnicodeString& text);
    int TextWidth(const UnicodeString& text) { return TextExtent(text).cx; }
    int TextHeight(const UnicodeString& text) { return TextExtent(text).cy; }
    // The graphic at its own size with its top-left at (x, y); a transparent bitmap leaves the
    // pixels under its transparent colour as they were. An empty graphic draws nothing.
    void Draw(int x, int y, TGraphic* graphic);
    // The same, stretched (or shrunk) into the rectangle.
    void StretchDraw(const TRect& rect, TGraphic* graphic);

    // Fired after each drawing call made through the canvas (not after changes of its pen, brush
    // or font, nor after GDI calls made on its Handle directly).
    TNotifyEvent OnChange;

protected:
    virtual void CreateHandle();
    // Selects the current pen, brush and font into the DC.
    void RequireState();
    void Changed() { OnChange(this); }

private:
    void ObjectChanged(TObject*);
    HDC m_dc = nullptr;
    bool m_ownsDC = false;
    TFont* m_font;
    TPen* m_pen;
    TBrush* m_brush;
    HGDIOBJ m_oldFont = nullptr;
    HGDIOBJ m_oldPen = nullptr;
    HGDIOBJ m_oldBrush = nullptr;
};

// Something a canvas can draw. OnChange follows every change of what it shows.
class TGraphic : public TPersistent
{
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }
    virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
    TNotifyEvent OnChange;

protected:
    void Changed() { OnChange(this); }
};

// How a transparent bitmap finds its transparent colour: tmAuto takes the colour of its
// bottom-left pixel each time it is drawn, tmFixed the colour set in TransparentColor.
enum TTransparentMode
{
    tmAuto,
    tmFixed
};

// Bitmaps here always hold 32 bits a pixel (as the device does); pf32bit asks for that explicitly.
enum TPixelFormat
{
    pfDevice = 0,
    pf32bit = 7
};

// A 32-bit bitmap in memory with a canvas of its own. OnChange fires after a change of size,
// after each drawing call on its canvas, after a change of its transparency settings and after
// Assign.
class TBitmap : public TGraphic
{
public:
    TBitmap();
    ~TBitmap() override;

    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void SetWidth(int width) { SetSize(width, m_height); }
    void SetHeight(int height) { SetSize(m_width, height); }
    // Keeps what fits of the old picture; new pixels are white.
    void SetSize(int width, int height);
    TCanvas* Canvas() const { return m_canvas; }
    HBITMAP Handle() const { return m_bitmap; }
    // Row y of the pixels (0x00RRGGBB), top row first.
    uint32_t* ScanLine(int y);
    // Draws the picture stretched into the rectangle, leaving out the transparent colour's pixels
    // when Transparent is set.
    void Draw(TCanvas* canvas, const TRect& rect) override;

    TPixelFormat PixelFormat() const { return m_pixelFormat; }
    void SetPixelFormat(TPixelFormat format);

    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool transparent);
    TTransparentMode TransparentMode() const { return m_transparentMode; }
    // tmAuto forgets a fixed colour; tmFixed fixes the colour the bitmap has now.
    void SetTransparentMode(TTransparentMode mode);
    // The RGB colour left out when drawing transparently: in tmAuto the bottom-left pixel's
    // (clDefault for an empty bitmap), in tmFixed the one set. Setting a colour makes the mode
    // tmFixed; setting clDefault makes it tmAuto.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor color);

    // Copies another bitmap: size, pixels, pixel format and transparency settings. Null empties
    // this one; anything but a bitmap raises EConvertError.
    void Assign(TPersistent* Source) override;

private:
    void CanvasChanged(TObject*) { Changed(); }
    // Resizes without telling anyone.
    void Resize(int width, int height);

    int m_width = 0;
    int m_height = 0;
    HBITMAP m_bitmap = nullptr;
    uint32_t* m_bits = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    TCanvas* m_canvas;
    TPixelFormat m_pixelFormat = pfDevice;
    bool m_transparent = false;
    TTransparentMode m_transparentMode = tmAuto;
    TColor m_transparentColor = clDefault;
};
