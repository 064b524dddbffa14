// The GDI layer: device contexts over 32-bit pixel buffers, pens, brushes, bitmaps, fonts and text,
// with the platform's names and numeric values. Pixels are 32-bit words 0x00RRGGBB (bytes blue,
// green, red, 0 in memory); drawing leaves the fourth byte 0, as the platform does. Text is drawn
// with FreeType faces found through fontconfig at 96 DPI. UI thread only.
#pragma once

#include "Platform/Win32/Windows.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// ---- Types -----------------------------------------------------------------------------------

using COLORREF = DWORD;
using HDC = struct HDC__*;
using HGDIOBJ = void*;
using HBITMAP = struct HBITMAP__*;
using HPEN = struct HPEN__*;
using HBRUSH = struct HBRUSH__*;
using HFONT = struct HFONT__*;
using HRGN = struct HRGN__*;

struct POINT
{
    LONG x;
    LONG y;
};

struct SIZE
{
    LONG cx;
    LONG cy;
};

struct RECT
{
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c)
{
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 16) & 0xFF);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// a * b / c rounded to the nearest, with a 64-bit product; -1 when c is 0.
int MulDiv(int a, int b, int c);

struct RGBQUAD
{
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFOHEADER
{
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct BITMAPINFO
{
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER
{
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAP
{
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

struct DIBSECTION
{
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
};

struct LOGPEN
{
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};

struct LOGBRUSH
{
    UINT lbStyle;
    COLORREF lbColor;
    uintptr_t lbHatch;
};

constexpr int LF_FACESIZE = 32;

struct LOGFONTW
{
    LONG lfHeight; // negative: character height in pixels; positive: cell height; 0: default
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICW
{
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct DRAWTEXTPARAMS
{
    UINT cbSize;
    int iTabLength;
    int iLeftMargin;
    int iRightMargin;
    UINT uiLengthDrawn;
};

// ---- Constants -------------------------------------------------------------------------------

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

constexpr int OBJ_PEN = 1;
constexpr int OBJ_BRUSH = 2;
constexpr int OBJ_DC = 3;
constexpr int OBJ_FONT = 6;
constexpr int OBJ_BITMAP = 7;
constexpr int OBJ_REGION = 8;
constexpr int OBJ_MEMDC = 10;

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;

constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int MM_TEXT = 1;
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

// Binary raster operations of pens and shape fills.
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// Ternary raster operations of the blits; any of the 256 is carried out from bits 16-23.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_AND = 1;
constexpr int RGN_COPY = 5;

// GetDeviceCaps indexes.
constexpr int DRIVERVERSION = 0;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int COLORRES = 108;
constexpr int DT_RASDISPLAY = 1;
constexpr int RC_BITBLT = 1;
constexpr int RC_DI_BITMAP = 0x80;
constexpr int RC_DIBTODEV = 0x200;
constexpr int RC_STRETCHBLT = 0x800;

// Fonts.
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE RUSSIAN_CHARSET = 204;
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE CLEARTYPE_QUALITY = 5;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE TMPF_FIXED_PITCH = 0x01; // set when the font is NOT fixed pitch, as on the platform
constexpr BYTE TMPF_VECTOR = 0x02;
constexpr BYTE TMPF_TRUETYPE = 0x04;

// Text output.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT GDI_ERROR = 0xFFFFFFFFu;

constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_PREFIXONLY = 0x00200000;

// Edges and frame controls.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT BDR_OUTER = 0x0003;
constexpr UINT BDR_INNER = 0x000C;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_SOFT = 0x1000;
constexpr UINT BF_ADJUST = 0x2000;
constexpr UINT BF_FLAT = 0x4000;
constexpr UINT BF_MONO = 0x8000;

constexpr UINT DFC_CAPTION = 1;
constexpr UINT DFC_MENU = 2;
constexpr UINT DFC_SCROLL = 3;
constexpr UINT DFC_BUTTON = 4;
constexpr UINT DFCS_BUTTONCHECK = 0x0000;
constexpr UINT DFCS_BUTTONRADIOIMAGE = 0x0001;
constexpr UINT DFCS_BUTTONRADIOMASK = 0x0002;
constexpr UINT DFCS_BUTTONRADIO = 0x0004;
constexpr UINT DFCS_BUTTON3STATE = 0x0008;
constexpr UINT DFCS_BUTTONPUSH = 0x0010;
constexpr UINT DFCS_CAPTIONCLOSE = 0x0000;
constexpr UINT DFCS_SCROLLUP = 0x0000;
constexpr UINT DFCS_SCROLLDOWN = 0x0001;
constexpr UINT DFCS_SCROLLLEFT = 0x0002;
constexpr UINT DFCS_SCROLLRIGHT = 0x0003;
constexpr UINT DFCS_SCROLLCOMBOBOX = 0x0005;
constexpr UINT DFCS_INACTIVE = 0x0100;
constexpr UINT DFCS_PUSHED = 0x0200;
constexpr UINT DFCS_CHECKED = 0x0400;
constexpr UINT DFCS_TRANSPARENT = 0x0800;
constexpr UINT DFCS_HOT = 0x1000;
constexpr UINT DFCS_ADJUSTRECT = 0x2000;
constexpr UINT DFCS_FLAT = 0x4000;
constexpr UINT DFCS_MONO = 0x8000;

// System colours.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;

// ---- Functions -------------------------------------------------------------------------------

// Device contexts. A memory DC starts with a 1 x 1 bitmap; select a bitmap to draw into it.
// GetDC(null) is a screen DC that answers metrics and draws nothing; GetDC of a window asks the
// window DC provider (Platform::Gdi::SetWindowDCProvider). ReleaseDC and DeleteDC free a DC.
HDC CreateCompatibleDC(HDC hdc);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC hdc);
BOOL DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
int SetMapMode(HDC hdc, int mode); // only MM_TEXT maps; the mode is kept
int GetMapMode(HDC hdc);
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int savedDC); // negative: relative to the latest

// Objects. Selecting returns the previous object of the kind; an object selected into a DC cannot
// be deleted (FALSE), stock and system-colour objects are never deleted (TRUE, nothing happens).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer); // bytes written, or needed when buffer is null
int GetObjectType(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// Fonts are matched when first used: the dialog faces (Tahoma, MS Sans Serif, MS Shell Dlg) draw
// with DejaVu Sans Condensed, which is as narrow as they are, an unknown face with DejaVu Sans;
// when fontconfig cannot find the DejaVu fonts at all, the first text call throws
// std::runtime_error saying so.
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName);
HFONT CreateFontIndirectW(const LOGFONTW* font);

// Bitmaps: 32 bits per pixel only. A DIB section's rows are top-down for a negative biHeight,
// bottom-up otherwise; *bits receives its pixels.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);

// State.
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
int SetROP2(HDC hdc, int rop2);
int GetROP2(HDC hdc);
int SetStretchBltMode(HDC hdc, int mode);
int SetPolyFillMode(HDC hdc, int mode);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous);
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC hdc, POINT* origin);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL GetCurrentPositionEx(HDC hdc, POINT* position);

// Clipping. Regions are rectangles; clip rectangles are in logical units, regions in device units.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
int SelectClipRgn(HDC hdc, HRGN region); // null removes the clip region
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, RECT* rect);
BOOL PtVisible(HDC hdc, int x, int y);

// Drawing. Rectangles exclude their right and bottom edges. A brush argument may also be a system
// colour index plus one, as the platform allows.
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL LineTo(HDC hdc, int x, int y); // the end point is not drawn
BOOL Polyline(HDC hdc, const POINT* points, int count);
BOOL Polygon(HDC hdc, const POINT* points, int count);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
// Copies (stretched when the sizes differ) every source pixel except those of colour `transparent`.
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent);
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);
BOOL DrawFrameControl(HDC hdc, RECT* rect, UINT type, UINT state);

// Text. ANSI text is code page 1251. Extents and metrics are in pixels of the selected font.
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int length);
BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length);
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length,
                 const INT* dx);
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length,
                 const INT* dx);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int length, SIZE* size);
BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int length, SIZE* size);
BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int length, int maxExtent, int* fit, int* dx, SIZE* size);
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);
int GetTextFaceW(HDC hdc, int count, LPWSTR face);
// length -1: up to the NUL. Returns the height of the text (0 on failure); with DT_VCENTER or
// DT_BOTTOM the offset from the rectangle's top is added, as the platform does.
int DrawTextW(HDC hdc, LPCWSTR text, int length, RECT* rect, UINT format);
int DrawTextA(HDC hdc, LPCSTR text, int length, RECT* rect, UINT format);
int DrawTextExW(HDC hdc, LPWSTR text, int length, RECT* rect, UINT format, DRAWTEXTPARAMS* params);

// System colours: the platform's standard scheme.
DWORD GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);

// Rectangle helpers.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL IsRectEmpty(const RECT* rect);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL EqualRect(const RECT* a, const RECT* b);

// ---- Extensions of this layer ----------------------------------------------------------------

namespace Platform::Gdi
{
// A block of 32-bit pixels: row y starts at pixels + y * pitch (pitch in pixels, negative for
// bottom-up storage).
struct Surface
{
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t pitch = 0;

    uint32_t* Row(int y) const { return pixels + y * pitch; }
};

// A DC over someone else's pixels (a form's buffer): logical (0, 0) lies at `origin` of the
// surface and nothing is drawn outside `bounds` (surface coordinates), whatever the clip region
// and viewport origin the painter sets. GetViewportOrgEx answers (0, 0) at first, as for a window
// DC. The surface must outlive the DC; free it with DeleteDC or ReleaseDC.
HDC CreateSurfaceDC(const Surface& surface, POINT origin, const RECT& bounds);

// GetDC(window) for a non-null window calls the provider (the class-library layer installs it);
// without one, or when it answers null, GetDC fails. Returns the previous provider.
using WindowDCProvider = std::function<HDC(HWND window)>;
WindowDCProvider SetWindowDCProvider(WindowDCProvider provider);

// The pixels of a bitmap (top row first), false for anything else.
bool GetBitmapSurface(HBITMAP bitmap, Surface* surface);

// The screen size that HORZRES and VERTRES answer (1024 x 768 until the presenter sets it).
void SetScreenSize(int width, int height);

// The font file a face name resolves to through fontconfig (for diagnostics and tests);
// throws std::runtime_error when the DejaVu fonts are missing.
std::string ResolveFontFile(const WCHAR* faceName, int weight, bool italic);

namespace Detail
{
class FontFace;
}

// Widths of texts in the font that a DC has when this is made, as GetTextExtentPoint32W gives them
// and as drawing them takes, without a call into the DC for each text: for measuring a long list.
// On the DC's thread only: the font meets new characters as it measures them.
class TextWidths
{
public:
    explicit TextWidths(HDC hdc);
    // The width of a NUL-ended text; 0 for null, or without a font.
    int Of(const WCHAR* text) const;

private:
    std::shared_ptr<Detail::FontFace> m_face;
};

// Pixel word <-> COLORREF.
constexpr uint32_t ToPixel(COLORREF c)
{
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}
constexpr COLORREF FromPixel(uint32_t p)
{
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}
} // namespace Platform::Gdi

// ---- The system caret -----------------------------------------------------------------------

// The system caret: one per process, owned by the window that created it. It starts hidden;
// ShowCaret and HideCaret count (it shows when every hide has been undone). Positions are in the
// owner's client coordinates. The paint pass draws it by inverting its rectangle, blinking at
// GetCaretBlinkTime: it stays on for a period after every move or show.
BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL ShowCaret(HWND window);
BOOL HideCaret(HWND window);
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);

namespace Platform
{
// The caret as the paint pass sees it. `visible` is shown and in the on half of its blink now.
struct CaretState
{
    HWND window = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool shown = false;
    bool visible = false;
};
CaretState GetCaretState();
// Told the window and client rectangle to repaint whenever the caret's picture changes (moved,
// shown, hidden, destroyed, or blinked). Returns the previous observer.
using CaretObserver = std::function<void(HWND window, const RECT& rect)>;
CaretObserver SetCaretObserver(CaretObserver observer);

} // namespace Platform
