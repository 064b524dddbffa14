#include "Controls/XHexEdit.h"

#include "Platform/Vcl/HintWindow.h"
#include "Platform/Vcl/Streams.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{
constexpr int32_t kSearchBlock = 16384;
constexpr int32_t kMaxPattern = 8192;
constexpr int32_t kCompareChunk = 1024;
const WCHAR kHexDigits[] = u"0123456789ABCDEF";

uint8_t FoldCase(uint8_t b)
{
    return (b >= 0x61 && b <= 0x7A) || b >= 0xE0 ? static_cast<uint8_t>(b - 0x20) : b;
}

// The complement of a colour's RGB value (system colours first looked up).
TColor Complement(TColor colour)
{
    return static_cast<TColor>(~ColorToRGB(colour) & 0xFFFFFF);
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b;
}

UnicodeString Decimal(int64_t v)
{
    return UnicodeString(Platform::FromUtf8(std::to_string(v)));
}

UnicodeString DecimalU(uint64_t v)
{
    return UnicodeString(Platform::FromUtf8(std::to_string(v)));
}

UnicodeString Hex(uint64_t v, int digits)
{
    std::u16string text = u"0x";
    for (int i = digits - 1; i >= 0; --i)
        text += kHexDigits[(v >> (4 * i)) & 15];
    return text;
}

// An 80-bit extended value: invalid encodings (an exponent without the integer bit, or the
// special exponent without it) read as not-a-number.
double Extended(const uint8_t* b)
{
    uint64_t mantissa = 0;
    std::memcpy(&mantissa, b, 8);
    uint16_t top = static_cast<uint16_t>(b[8] | (b[9] << 8));
    bool negative = (top & 0x8000) != 0;
    int exponent = top & 0x7FFF;
    bool integerBit = (mantissa >> 63) != 0;
    double value;
    if (exponent == 0x7FFF)
    {
        if (!integerBit)
            return std::nan("");
        if ((mantissa << 1) != 0)
            return std::nan("");
        value = INFINITY;
    }
    else if (exponent != 0 && !integerBit)
    {
        return std::nan("");
    }
    else
    {
        int e = exponent == 0 ? -16382 : exponent - 16383;
        value = static_cast<double>(std::ldexp(static_cast<long double>(mantissa), e - 63));
    }
    return negative ? -value : value;
}

int BytesFor(XHintMode mode)
{
    static const int sizes[] = {1, 1, 2, 2, 4, 4, 8, 8, 1, 2, 4, 8, 4, 8, 10, 1, 2};
    return mode < hmNone ? sizes[mode] : 0;
}
} // namespace

// ---- construction ---------------------------------------------------------------------------

XHexEdit::XHexEdit(TComponent* AOwner) : TCustomControl(AOwner)
{
    m_buffer = new XMemoryBuffer;
    m_hintTimer = new TTimer(this);
    m_hintTimer->SetInterval(300);
    m_hintTimer->SetEnabled(false);
    m_hintTimer->OnTimer = TNotifyEvent(this, &XHexEdit::HintTick);
    SetBounds(Left(), Top(), 150, 120);
    SetColor(clWhite);
    SetCursor(crIBeam);
    Font()->SetColor(clBlack);
    SetTabStop(true);
    m_vbarWidth = GetSystemMetrics(SM_CXVSCROLL);
    m_hbarHeight = GetSystemMetrics(SM_CYHSCROLL);
    m_clipboardFormat = RegisterClipboardFormatW(u"XHEXEDIT");
    ApplyBorder();
}

void XHexEdit::ApplyBorder()
{
    DWORD ex = WindowExStyle();
    SetWindowExStyle(m_borderStyle == bsNone ? ex & ~WS_EX_CLIENTEDGE : ex | WS_EX_CLIENTEDGE);
}

XHexEdit::~XHexEdit()
{
    ReleaseOwnParts();
    delete m_buffer;
}

void XHexEdit::BeforeDestruction()
{
    ReleaseOwnParts();
    TCustomControl::BeforeDestruction();
}

// The sample lets go, and the timer and hint window go before the owner frees its components.
void XHexEdit::ReleaseOwnParts()
{
    SetSampleEdit(nullptr);
    delete m_hintTimer;
    m_hintTimer = nullptr;
    EndShowHint();
}

void XHexEdit::SetParent(TWinControl* parent)
{
    TCustomControl::SetParent(parent);
    if (parent && !m_windowReady)
        CreateWindowState();
}

// What the window's creation does: measure, lay out, set the bars, put the caret at 0.
void XHexEdit::CreateWindowState()
{
    m_windowReady = true;
    UpdateFontInfo();
    UpdateScrollBars();
    m_position = -1; // so that SetPosition(0) runs its whole path
    SetPosition(0);
}

// ---- properties -----------------------------------------------------------------------------

void XHexEdit::SetStartAddress(int64_t address)
{
    if (address < 0 || address == m_startAddress)
        return;
    m_startAddress = address;
    InvalidateBand(0, ClientRect().bottom);
}

void XHexEdit::SetInterval(double interval)
{
    if (!(interval >= 0.8 && interval <= 2.5) || interval == m_interval)
        return;
    m_interval = interval;
    Relayout();
}

void XHexEdit::SetHideSelection(bool hide)
{
    if (hide == m_hideSelection)
        return;
    m_hideSelection = hide;
    if (m_selLength != 0)
        Invalidate();
}

void XHexEdit::SetHintMode(XHintMode mode)
{
    m_hintMode = mode > hmWideString ? hmUChar : mode;
}

void XHexEdit::SetMargin(int margin)
{
    margin = std::clamp(margin, 0, 100);
    if (margin == m_margin)
        return;
    m_margin = margin;
    Relayout();
}

void XHexEdit::SetShowAddress(bool show)
{
    if (show == m_showAddress)
        return;
    m_showAddress = show;
    Relayout();
}

void XHexEdit::SetShowAscii(bool show)
{
    if (show == m_showAscii)
        return;
    m_showAscii = show;
    Relayout();
}

void XHexEdit::SetBorderStyle(TFormBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    ApplyBorder();
    // The window is made again with the new frame.
    if (m_windowReady)
        CreateWindowState();
    Invalidate();
}

void XHexEdit::Relayout()
{
    UpdateFontInfo();
    UpdateScrollBars();
    Invalidate();
}

// ---- layout ---------------------------------------------------------------------------------

int64_t XHexEdit::GetLinesPerPage() const
{
    return ClientRect().bottom / m_lh - 1;
}

int64_t XHexEdit::GetLinesCount()
{
    return m_buffer->GetSize() / 16 + 1;
}

bool XHexEdit::CanResize(int& NewWidth, int& NewHeight)
{
    // Before the window exists the measures are placeholders: any size goes.
    if (!m_windowReady)
        return true;
    return NewHeight > 3 * m_lh && NewWidth > 20 * m_cw;
}

void XHexEdit::InvalidateBand(int top, int bottom)
{
    TRect r = ClientRect();
    top = std::max(top, 0);
    bottom = std::min(bottom, r.bottom);
    if (bottom > top)
        InvalidateRect(TRect(0, top, r.right, bottom));
}

void XHexEdit::InvalidateLine(int64_t line)
{
    int64_t y = (line - m_firstVisible) * m_lh;
    if (y + m_lh < 0 || y > ClientRect().bottom)
        return;
    InvalidateBand(static_cast<int>(y), static_cast<int>(y + m_lh));
}

void XHexEdit::InvalidateLines(int64_t firstLine, int64_t lastLine)
{
    int64_t top = std::max<int64_t>((firstLine - m_firstVisible) * m_lh, 0);
    int64_t bottom = std::min<int64_t>((lastLine - m_firstVisible + 1) * m_lh, ClientRect().bottom);
    if (bottom > top)
        InvalidateBand(static_cast<int>(top), static_cast<int>(bottom));
}

void XHexEdit::UpdateFontInfo()
{
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    m_cw = std::max(canvas->TextWidth(u"ABCDEF") / 6, 1);
    m_wcw = canvas->TextWidth(u"W") + 2;
    m_textHeight = canvas->TextHeight(u"Wqr");
    m_lh = std::max(static_cast<int>(m_textHeight * m_interval), 1);
    m_addressX = m_margin - m_hScroll;
    m_addressWidth = m_showAddress ? 8 * m_cw + kGap : 0;
    m_hexX = m_addressX + m_addressWidth;
    m_hexWidth = 48 * m_cw + kGap;
    m_textX = m_hexX + m_hexWidth;
    m_textWidth = m_showAscii ? 16 * m_wcw : 0;
    SetLastVisible(GetLinesPerPage() + m_firstVisible);
    m_totalWidth = m_margin + m_addressWidth + m_hexWidth + m_textWidth;
    ChangeCaretPos();
}

void XHexEdit::UpdateScrollBars()
{
    if (!m_windowReady)
        return;
    // Showing one bar narrows the client area, which may call for the other: a second round
    // settles it.
    for (int round = 0; round < 2; ++round)
    {
        const int64_t lines = GetLinesCount();
        const int64_t perPage = GetLinesPerPage();
        m_vbarShown = lines > perPage;
        if (m_vbarShown)
        {
            int64_t page = perPage * 10000 / lines;
            m_vPage = static_cast<int>(page > 3 ? page : 3);
            m_vPos = static_cast<int>(m_firstVisible * 10000 / lines);
            SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 9999, UINT(m_vPage), m_vPos, 0};
            SetScrollInfo(SB_VERT, info, true);
        }
        ShowScrollBar(SB_VERT, m_vbarShown);
        const int clientWidth = ClientRect().right;
        m_hbarShown = clientWidth <= m_totalWidth + m_margin;
        if (m_hbarShown)
        {
            SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, m_totalWidth + m_margin,
                            UINT(clientWidth), m_hScroll, 0};
            SetScrollInfo(SB_HORZ, info, true);
        }
        ShowScrollBar(SB_HORZ, m_hbarShown);
    }
}

void XHexEdit::SetHScrollPos(int x)
{
    const int clientWidth = ClientRect().right;
    if (x > m_totalWidth + m_margin - clientWidth)
        x = m_totalWidth + m_margin - clientWidth;
    if (x < 0)
        x = 0;
    m_hScroll = x;
    m_addressX = m_margin - m_hScroll;
    m_hexX = m_addressX + m_addressWidth;
    m_textX = m_hexX + m_hexWidth;
    UpdateScrollBars();
    ChangeCaretPos();
    Invalidate();
}

void XHexEdit::SetFirstVisible(int64_t line)
{
    const int64_t lines = GetLinesCount();
    const int64_t perPage = GetLinesPerPage();
    if (line >= lines - perPage)
        line = lines - perPage - 1;
    if (line < 0)
        line = 0;
    if (line == m_firstVisible)
        return;
    m_firstVisible = line;
    m_lastVisible = std::min(m_firstVisible + perPage, lines);
    ChangeCaretPos();
    UpdateScrollBars();
    Invalidate();
}

void XHexEdit::SetLastVisible(int64_t line)
{
    line = std::clamp<int64_t>(line, 0, GetLinesCount());
    if (line == m_lastVisible)
        return;
    m_lastVisible = line;
    SetFirstVisible(m_lastVisible - GetLinesPerPage());
}

void XHexEdit::Resize()
{
    m_lastVisible = m_firstVisible + GetLinesPerPage();
    UpdateScrollBars();
    TCustomControl::Resize();
}

void XHexEdit::FontChanged()
{
    TCustomControl::FontChanged();
    if (m_windowReady)
        Relayout();
}

void XHexEdit::HandleScroll(bool vertical, int code, int thumb)
{
    if (vertical)
    {
        const int64_t perPage = GetLinesPerPage();
        switch (code)
        {
        case SB_LINEUP:
            SetFirstVisible(m_firstVisible - 1);
            break;
        case SB_LINEDOWN:
            SetFirstVisible(m_firstVisible + 1);
            break;
        case SB_PAGEUP:
            SetFirstVisible(m_firstVisible - (perPage - 1));
            break;
        case SB_PAGEDOWN:
            SetFirstVisible(m_firstVisible + (perPage - 1));
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            SetFirstVisible(int64_t(thumb) * GetLinesCount() / 9990);
            break;
        }
        return;
    }
    switch (code)
    {
    case SB_LINELEFT:
        SetHScrollPos(m_hScroll - 2 * m_cw);
        break;
    case SB_LINERIGHT:
        SetHScrollPos(m_hScroll + 2 * m_cw);
        break;
    case SB_PAGELEFT:
        SetHScrollPos(m_hScroll - Width() / 5);
        break;
    case SB_PAGERIGHT:
        SetHScrollPos(m_hScroll + Width() / 5);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        SetHScrollPos(thumb);
        break;
    }
}

bool XHexEdit::DoMouseWheelDown(TShiftState, TPoint)
{
    SetFirstVisible(m_firstVisible + 2);
    return true;
}

bool XHexEdit::DoMouseWheelUp(TShiftState, TPoint)
{
    SetFirstVisible(m_firstVisible - 2);
    return true;
}

// ---- painting -------------------------------------------------------------------------------

void XHexEdit::Paint()
{
    HDC dc = Canvas()->Handle();
    m_background = Color();
    m_invBackground = Complement(Color());
    m_textColour = Font()->Color();
    m_invTextColour = Complement(Font()->Color());
    HFONT font = Font()->Handle();
    HGDIOBJ oldFont = SelectObject(dc, font);
    const COLORREF back = ColorToRGB(m_background);
    HBRUSH brush = CreateSolidBrush(back);
    SetBkColor(dc, back);
    SetTextColor(dc, ColorToRGB(m_textColour));
    SetBkMode(dc, OPAQUE);
    const TRect client = ClientRect();
    auto fill = [&](int l, int t, int r, int b)
    {
        RECT rect{l, t, r, b};
        if (r > l && b > t)
            ::FillRect(dc, &rect, brush);
    };

    const int64_t size = m_buffer->GetSize();
    const int64_t start = m_firstVisible * 16;
    const int64_t end = std::min((m_lastVisible + 1) * 16, size);
    const int64_t n = end / 16 - m_firstVisible;
    const int endRow = static_cast<int>(end % 16);

    if (m_showAddress)
    {
        for (int64_t i = 0; i <= n; ++i)
        {
            uint32_t address = static_cast<uint32_t>((m_firstVisible + i) * 16 + m_startAddress);
            WCHAR digits[8];
            INT dx[8];
            for (int d = 0; d < 8; ++d)
            {
                digits[d] = kHexDigits[(address >> (28 - 4 * d)) & 15];
                dx[d] = m_cw;
            }
            int y = static_cast<int>(i * m_lh);
            RECT clip{0, y, m_hexX, y + m_lh};
            ExtTextOutW(dc, m_addressX, y + 1, ETO_OPAQUE | ETO_CLIPPED, &clip, digits, 8, dx);
        }
    }
    else
    {
        fill(0, 0, m_hexX, static_cast<int>((n + 1) * m_lh));
    }

    const int lastY = static_cast<int>(n * m_lh);
    fill(endRow * 3 * m_cw + m_hexX, lastY, 48 * m_cw + m_hexX, lastY + m_lh);
    if (m_showAscii)
        fill(endRow * m_wcw + m_textX, lastY, 16 * m_wcw + m_textX, lastY + m_lh);
    if (end / 16 <= m_lastVisible)
        fill(0, static_cast<int>((n + 1) * m_lh), client.right, client.bottom);

    uint16_t colour = 0xFFFF;
    const bool showSelection = (m_focused || !m_hideSelection) && m_selLength != 0;
    if (!showSelection)
    {
        for (int64_t p = start; p < end; ++p)
            PaintByte(dc, p, colour);
    }
    else
    {
        const int64_t selEnd = m_selStart + m_selLength;
        int64_t p = start;
        for (; p < std::min(end, m_selStart); ++p)
            PaintByte(dc, p, colour);
        SetBkColor(dc, ColorToRGB(m_invBackground));
        SetTextColor(dc, ColorToRGB(m_invTextColour));
        colour = 0xFFFE; // the selection's colours are in force
        for (; p < std::min(end, selEnd); ++p)
            PaintByte(dc, p, colour);
        SetBkColor(dc, back);
        SetTextColor(dc, ColorToRGB(m_textColour));
        colour = 0xFFFF;
        for (; p < end; ++p)
            PaintByte(dc, p, colour);
    }

    const int bandBottom = static_cast<int>((n + 1) * m_lh);
    if (m_showAscii)
    {
        fill(48 * m_cw + m_hexX, 0, m_textX, bandBottom);
        fill(16 * m_wcw + m_textX, 0, client.right, bandBottom);
    }
    else
    {
        fill(48 * m_cw + m_hexX, 0, client.right, bandBottom);
    }
    DrawCaretFrames(dc);
    SelectObject(dc, oldFont);
    DeleteObject(brush);
}

// Draws one byte: two hex digits and, with the text column, the byte as a character. Against a
// sample, a byte that differs is red; `colour` remembers the colour set last (0xFFFF: normal,
// 0xFFFE: the selection's, 1: red, 0: normal set by a comparison).
void XHexEdit::PaintByte(HDC dc, int64_t p, uint16_t& colour)
{
    uint8_t value = 0;
    m_buffer->Read(p, 1, &value);
    if (m_sample)
    {
        uint8_t other = 0;
        m_sample->m_buffer->Read(p, 1, &other);
        uint16_t wanted = other == value ? 0 : 1;
        if (wanted != colour)
        {
            SetTextColor(dc, wanted ? RGB(255, 0, 0) : ColorToRGB(m_textColour));
            colour = wanted;
        }
    }
    const int64_t line = p / 16;
    const int row = static_cast<int>(p % 16);
    const int y = static_cast<int>((line - m_firstVisible) * m_lh);
    const int x = row * 3 * m_cw + m_hexX;
    WCHAR high = kHexDigits[value >> 4];
    WCHAR low = kHexDigits[value & 15];
    RECT highCell{x, y, x + m_cw, y + m_lh};
    ExtTextOutW(dc, x, y + 1, ETO_OPAQUE | ETO_CLIPPED, &highCell, &high, 1, nullptr);
    RECT lowCell{x + m_cw, y, x + 3 * m_cw, y + m_lh};
    ExtTextOutW(dc, x + m_cw, y + 1, ETO_OPAQUE | ETO_CLIPPED, &lowCell, &low, 1, nullptr);
    if (m_showAscii)
    {
        WCHAR ch = value;
        int tx = row * m_wcw + m_textX;
        RECT cell{tx, y, tx + m_wcw, y + m_lh};
        ExtTextOutW(dc, tx, y + 1, ETO_OPAQUE | ETO_CLIPPED, &cell, &ch, 1, nullptr);
    }
}

void XHexEdit::DrawCaretFrames(HDC dc)
{
    const int y1 = static_cast<int>((GetLine() - m_firstVisible) * m_lh + 1);
    const int y2 = y1 + m_lh - 2;
    const int row = static_cast<int>(GetRow());
    auto frame = [&](int x1, int x2)
    {
        TRect r(x1, y1, x2, y2);
        Frame3D(Canvas(), r, cl3DDkShadow, cl3DLight, 2);
    };
    int x1 = row * 3 * m_cw + m_hexX - 3;
    frame(x1, x1 + 2 * m_cw + 6);
    RECT focus{m_addressX - 2, y1,
               (m_showAscii ? m_totalWidth + 2 : m_totalWidth + 2 - kGap) - m_hScroll, y2};
    ::DrawFocusRect(dc, &focus);
    if (m_showAscii)
    {
        int tx = row * m_wcw + m_textX - 2;
        frame(tx, tx + m_wcw + 2);
    }
}

// ---- caret and selection --------------------------------------------------------------------

int64_t XHexEdit::GetDataSize()
{
    return m_buffer->GetSize();
}

void XHexEdit::SetLine(int64_t line)
{
    SetPosition(GetRow() + line * 16);
}

void XHexEdit::SetRow(int64_t row)
{
    SetPosition(GetLine() * 16 + row);
}

void XHexEdit::SetPosition(int64_t pos)
{
    const int64_t size = m_buffer->GetSize();
    if (pos > size)
        pos = size;
    if (pos < 0)
        pos = 0;
    if (pos == m_position)
        return;
    if (m_position >= 0)
        InvalidateLine(GetLine());
    m_position = pos;
    m_nibble = 0;
    const int64_t line = GetLine();
    if (line < m_firstVisible)
        SetFirstVisible(line);
    else if (line > m_lastVisible)
        SetLastVisible(line);
    else
        InvalidateLine(line);
    ChangeCaretPos();
    if (OnPositionChanged)
        OnPositionChanged(this);
}

void XHexEdit::ChangeCaretPos()
{
    if (!m_focused)
        return;
    const int y = static_cast<int>((GetLine() - m_firstVisible) * m_lh);
    const int row = static_cast<int>(GetRow());
    const int x = m_caretInText ? row * m_wcw + m_textX : row * 3 * m_cw + m_hexX + m_nibble * m_cw;
    HideCaret(Handle());
    SetCaretPos(x, y);
    ShowCaret(Handle());
}

void XHexEdit::SetSelection(int64_t start, int64_t length)
{
    const int64_t size = m_buffer->GetSize();
    if (start >= size)
        start = size;
    if (start < 0)
        start = 0;
    if (length > size - start)
        length = size - start;
    if (length < 0)
        length = 0;
    if (start == m_selStart && length == m_selLength)
        return;
    const int64_t oldStartLine = m_selStart / 16;
    const int64_t oldEndLine = (m_selStart + m_selLength) / 16;
    m_selStart = start;
    m_selLength = length;
    InvalidateLines(std::min(oldStartLine, start / 16), std::max(oldEndLine, (start + length) / 16));
}

void XHexEdit::SelectAll()
{
    SetSelection(0, m_buffer->GetSize());
}

bool XHexEdit::HitColumn(int x, int64_t& column) const
{
    // In 64 bits: no point of the 32-bit plane overflows a sum.
    const int64_t at = x;
    // The last hex digit ends a character (the line's trailing space) and the gap before the text.
    const int64_t digitsEnd = int64_t(m_textX) - kGap - m_cw;
    if (!m_showAscii || at < (digitsEnd + m_textX) / 2)
    {
        // Half a character to the right: a point on a byte's trailing space goes to the nearer byte.
        const int64_t from = std::max(at + m_cw / 2, int64_t(m_hexX)) - m_hexX;
        column = std::min<int64_t>(from / (3 * int64_t(m_cw)), 16);
        return false;
    }
    column = std::min<int64_t>((std::max(at, int64_t(m_textX)) - m_textX) / m_wcw, 16);
    return true;
}

bool XHexEdit::ComputePosition(int x, int y, int64_t& column, int64_t& pos)
{
    const bool inText = HitColumn(x, column);
    column = std::min<int64_t>(column, 15);
    pos = (FloorDiv(y, m_lh) + m_firstVisible) * 16 + column;
    return inText;
}

void XHexEdit::ScreenToPosition(int x, int y, bool toLineEnd)
{
    int64_t column = 0;
    m_caretInText = HitColumn(x, column);
    if (!toLineEnd)
        column = std::min<int64_t>(column, 15);
    const int64_t line = FloorDiv(y, m_lh) + m_firstVisible;
    SetLine(line);
    SetRow(column);
    m_nibble = 0;
}

void XHexEdit::ExtendSelectionToCaret()
{
    const int64_t anchor = m_anchor;
    if (anchor > m_position)
        SetSelection(m_position, anchor - m_position);
    else
        SetSelection(anchor, m_position - anchor);
}

void XHexEdit::CollapseSelectionToCaret()
{
    SetSelLength(0);
    SetSelStart(m_position);
    m_anchor = static_cast<int32_t>(std::min<int64_t>(m_selStart, INT32_MAX));
}

// ---- data -----------------------------------------------------------------------------------

void XHexEdit::InsertData(int64_t pos, int32_t count, const void* data)
{
    m_buffer->Insert(pos, count, data);
    Relayout();
}

void XHexEdit::ReplaceData(int64_t pos, int32_t count, const void* data)
{
    m_buffer->Write(pos, count, data);
    Relayout();
}

void XHexEdit::RemoveData(int64_t pos, int64_t count)
{
    m_buffer->Remove(pos, count);
    Relayout();
}

int32_t XHexEdit::SetData(int64_t pos, int32_t count, const void* data)
{
    int32_t n = m_buffer->Write(pos, count, data);
    Relayout();
    return n;
}

int32_t XHexEdit::GetData(int64_t pos, int32_t count, void* data)
{
    return m_buffer->Read(pos, count, data);
}

void XHexEdit::ClearSelection()
{
    if (m_selLength <= 0)
        return;
    RemoveData(m_selStart, m_selLength);
    Modified = true;
    SetPosition(m_selStart);
    SetSelLength(0);
    ChangeCaretPos();
    Relayout();
}

// ---- messages, focus, mouse, keys -----------------------------------------------------------

void XHexEdit::Dispatch(TMessage& Message)
{
    switch (Message.Msg)
    {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_HSCROLL:
    case WM_VSCROLL:
        HandleScroll(Message.Msg == WM_VSCROLL, LOWORD(Message.WParam), static_cast<SHORT>(HIWORD(Message.WParam)));
        Message.Result = 0;
        return;
    case WM_LBUTTONDBLCLK:
    {
        ScreenToPosition(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        ChangeCaretPos();
        SetSelection(GetLine() * 16, 16);
        Message.Result = 0;
        return;
    }
    }
    TCustomControl::Dispatch(Message);
}

void XHexEdit::HandleFocus(bool focused)
{
    if (m_hintTimer)
        m_hintTimer->SetEnabled(focused);
    m_focused = focused;
    if (focused)
    {
        CreateCaret(Handle(), nullptr, 2, m_textHeight);
        ShowCaret(Handle());
        ChangeCaretPos();
    }
    else
    {
        HideCaret(Handle());
        DestroyCaret();
        // A hint needs the focus: it ends with it.
        m_hintActive = false;
        EndShowHint();
    }
    if (m_hideSelection)
        Invalidate();
}

// The class library fires OnEnter and OnExit, and only when the focus moves between controls, not
// when the window merely gets or loses the keyboard.
void XHexEdit::DoEnter()
{
    HandleFocus(true);
    TCustomControl::DoEnter();
}

void XHexEdit::DoExit()
{
    HandleFocus(false);
    TCustomControl::DoExit();
}

void XHexEdit::MouseDown(TMouseButton Button, TShiftState, int X, int Y)
{
    if (!m_focused && CanFocus())
        SetFocus();
    if (Button != mbLeft)
        return;
    SetSelLength(0);
    ScreenToPosition(X, Y);
    ChangeCaretPos();
    SetSelStart(m_position);
    m_anchor = static_cast<int32_t>(std::min<int64_t>(m_selStart, INT32_MAX));
}

void XHexEdit::MouseMove(TShiftState Shift, int X, int Y)
{
    m_lastMouse = TPoint(X, Y);
    if (!Shift.Contains(ssLeft))
        return;
    const int64_t before = m_position;
    ScreenToPosition(X, Y, true);
    if (m_position == before)
        return;
    ChangeCaretPos();
    ExtendSelectionToCaret();
}

void XHexEdit::MouseUp(TMouseButton, TShiftState, int, int)
{
}

void XHexEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    const bool ctrl = Shift.Contains(ssCtrl);
    const bool shift = Shift.Contains(ssShift);
    const int64_t perPage = GetLinesPerPage();
    switch (Key)
    {
    case VK_BACK:
        if (ReadOnly)
            return;
        if (m_selLength == 0)
        {
            if (m_position == 0)
                return; // nothing before the caret
            SetSelStart(m_position - 1);
            SetSelLength(1);
        }
        ClearSelection();
        return;
    case VK_SHIFT:
        m_anchor = static_cast<int32_t>(std::min<int64_t>(m_position, INT32_MAX));
        return;
    case VK_CONTROL:
        m_hintActive = true;
        return;
    case VK_PRIOR:
        if (ctrl)
        {
            SetFirstVisible(m_firstVisible - (perPage - 1));
            return;
        }
        SetLine(GetLine() - (perPage - 1));
        break;
    case VK_NEXT:
        if (ctrl)
        {
            SetFirstVisible(m_firstVisible + perPage - 1);
            return;
        }
        SetLine(GetLine() + perPage - 1);
        break;
    case VK_END:
        if (ctrl)
            SetPosition(m_buffer->GetSize());
        else
            SetRow(15);
        break;
    case VK_HOME:
        if (ctrl)
            SetPosition(0);
        else
            SetRow(0);
        break;
    case VK_LEFT:
        if (m_nibble == 0)
            SetPosition(m_position - 1);
        else
            m_nibble = 0;
        break;
    case VK_UP:
        if (ctrl)
        {
            SetFirstVisible(m_firstVisible - 1);
            return;
        }
        SetLine(GetLine() - 1);
        break;
    case VK_RIGHT:
        SetPosition(m_position + 1);
        break;
    case VK_DOWN:
        if (ctrl)
        {
            SetFirstVisible(m_firstVisible + 1);
            return;
        }
        SetLine(GetLine() + 1);
        break;
    case VK_INSERT:
        if (ctrl)
            CopyToClipboard();
        else if (shift)
        {
            if (!ReadOnly)
                PasteFromClipboard();
        }
        else
            InsertMode = !InsertMode;
        return;
    case VK_DELETE:
        if (ctrl)
        {
            if (ReadOnly)
                CopyToClipboard();
            else
                CutToClipboard();
            break;
        }
        if (ReadOnly)
            return;
        if (m_selLength == 0)
        {
            SetSelStart(m_position);
            SetSelLength(1);
        }
        ClearSelection();
        break;
    default:
        return;
    }
    m_nibble = 0;
    if (shift)
        ExtendSelectionToCaret();
    else
        CollapseSelectionToCaret();
    ChangeCaretPos();
}

void XHexEdit::KeyUp(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyUp(Key, Shift);
    if (Key == VK_CONTROL)
    {
        m_hintActive = false;
        EndShowHint();
    }
}

void XHexEdit::KeyPress(WCHAR& Key)
{
    if (ReadOnly || Key < 0x20)
        return;
    if (!m_caretInText)
    {
        int digit;
        if (Key >= u'0' && Key <= u'9')
            digit = Key - u'0';
        else if (Key >= u'a' && Key <= u'f')
            digit = Key - u'a' + 10;
        else if (Key >= u'A' && Key <= u'F')
            digit = Key - u'A' + 10;
        else
            return;
        Modified = true;
        if (!InsertMode || m_nibble == 1)
        {
            if (m_position < m_buffer->GetSize())
            {
                uint8_t b = 0;
                m_buffer->Read(m_position, 1, &b);
                b = m_nibble == 0 ? static_cast<uint8_t>((b & 0x0F) | (digit << 4))
                                  : static_cast<uint8_t>((b & 0xF0) | digit);
                m_buffer->Write(m_position, 1, &b);
            }
        }
        else
        {
            uint8_t b = static_cast<uint8_t>(digit << 4);
            if (CanGrow)
                m_buffer->Insert(m_position, 1, &b);
            else
                m_buffer->Write(m_position, 1, &b);
        }
        m_nibble ^= 1;
    }
    else
    {
        Modified = true;
        uint8_t b = static_cast<uint8_t>(Key & 0xFF);
        if (!InsertMode)
        {
            m_buffer->Write(m_position, 1, &b);
        }
        else
        {
            const int64_t noted = m_buffer->GetSize();
            m_buffer->Insert(m_position, 1, &b);
            if (!CanGrow)
                m_buffer->SetSize(noted);
        }
        m_nibble = 0;
    }
    m_lastVisible = std::min(m_firstVisible + GetLinesPerPage(), GetLinesCount());
    const int top = static_cast<int>(std::max<int64_t>((GetLine() - m_firstVisible) * m_lh, 0));
    if (CanGrow)
        InvalidateBand(top, Height());
    else
        InvalidateBand(top, top + m_lh);
    if (m_nibble == 0)
        AdvanceAfterTyping();
    else
        ChangeCaretPos();
    UpdateScrollBars();
}

// The caret moves on to the next byte at once, as the Right key without Shift moves it: a key
// typed next lands after this byte, and typing capitals never extends a selection.
void XHexEdit::AdvanceAfterTyping()
{
    SetPosition(m_position + 1);
    m_nibble = 0;
    CollapseSelectionToCaret();
    ChangeCaretPos();
}

// ---- clipboard ------------------------------------------------------------------------------

void XHexEdit::CopyToClipboard()
{
    if (m_selLength <= 0)
        return;
    const uint32_t count = static_cast<uint32_t>(m_selLength);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(count) + 4);
    if (!block)
        return;
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    std::memcpy(bytes, &count, 4);
    m_buffer->Read(m_selStart, static_cast<int32_t>(count), bytes + 4);
    GlobalUnlock(block);
    if (!OpenClipboard(Handle()))
    {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    SetClipboardData(m_clipboardFormat, block);
    CloseClipboard();
}

void XHexEdit::CutToClipboard()
{
    CopyToClipboard();
    ClearSelection();
}

void XHexEdit::PasteBytes(const uint8_t* bytes, int32_t count)
{
    if (CanGrow && InsertMode)
        InsertData(m_selStart, count, bytes);
    else
        ReplaceData(m_selStart, count, bytes);
    SetSelLength(count);
    Modified = true;
    Relayout();
}

// The pasted bytes go from the clipboard's block into the data while the clipboard is open (the
// paste runs no handler of anyone else's meanwhile): a large paste holds no copy of its own.
void XHexEdit::PasteFromClipboard()
{
    if (!IsClipboardFormatAvailable(m_clipboardFormat) || !OpenClipboard(Handle()))
        return;
    if (HANDLE block = GetClipboardData(m_clipboardFormat))
    {
        const SIZE_T blockSize = GlobalSize(block);
        const auto* data = static_cast<const uint8_t*>(GlobalLock(block));
        // The count is believed only as far as the block reaches; a block without a whole count
        // holds nothing.
        if (data && blockSize >= 4)
        {
            uint32_t count = 0;
            std::memcpy(&count, data, 4);
            SIZE_T n = std::min<SIZE_T>(count, blockSize - 4);
            n = std::min<SIZE_T>(n, INT32_MAX);
            if (n > 0)
                PasteBytes(data + 4, static_cast<int32_t>(n));
        }
        if (data)
            GlobalUnlock(block);
    }
    CloseClipboard();
}

void XHexEdit::PasteTextFromClipboard()
{
    if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(Handle()))
        return;
    if (HANDLE block = GetClipboardData(CF_TEXT))
    {
        const SIZE_T blockSize = GlobalSize(block);
        const auto* data = static_cast<const uint8_t*>(GlobalLock(block));
        if (data)
        {
            // The text ends at its terminator, or with the block when it has none.
            const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, blockSize));
            SIZE_T n = end ? SIZE_T(end - data) : blockSize;
            n = std::min<SIZE_T>(n, INT32_MAX);
            if (n > 0)
                PasteBytes(data, static_cast<int32_t>(n));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
}

void XHexEdit::PlaceText(UINT format, const std::string& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    if (!block)
        return;
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    if (!OpenClipboard(Handle()))
    {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    SetClipboardData(format, block);
    CloseClipboard();
}

void XHexEdit::CopyToClipboardAsText()
{
    if (m_selLength <= 0)
        return;
    std::string text(static_cast<size_t>(m_selLength), '\0');
    m_buffer->Read(m_selStart, static_cast<int32_t>(m_selLength), text.data());
    std::replace(text.begin(), text.end(), '\0', ' ');
    PlaceText(CF_TEXT, text);
}

void XHexEdit::CopyToClipboardAsHexText()
{
    if (m_selLength <= 0)
        return;
    const auto* data = m_buffer->Data() + m_selStart;
    std::string text;
    text.resize(static_cast<size_t>(m_selLength) * 2);
    for (int64_t i = 0; i < m_selLength; ++i)
    {
        text[size_t(2 * i)] = static_cast<char>(kHexDigits[data[i] >> 4]);
        text[size_t(2 * i + 1)] = static_cast<char>(kHexDigits[data[i] & 15]);
    }
    PlaceText(CF_TEXT, text);
}

// ---- search ---------------------------------------------------------------------------------

bool XHexEdit::Find(const void* data, int32_t length, TFindOptions options)
{
    if (length <= 0 || length > kMaxPattern)
        return false;
    const bool matchCase = options.Contains(frMatchCase);
    std::vector<uint8_t> pattern(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + length);
    if (!matchCase)
        std::transform(pattern.begin(), pattern.end(), pattern.begin(), FoldCase);
    const int64_t size = m_buffer->GetSize();
    const uint8_t* bytes = m_buffer->Data();
    int64_t found = -1;
    auto matchesAt = [&](int64_t at)
    {
        for (int32_t i = 0; i < length; ++i)
        {
            uint8_t b = bytes[at + i];
            if ((matchCase ? b : FoldCase(b)) != pattern[size_t(i)])
                return false;
        }
        return true;
    };
    if (options.Contains(frDown))
    {
        // Forward from the byte after the caret: the first byte is looked for with memchr (both
        // cases of it without frMatchCase), then the rest compared.
        const uint8_t first = pattern[0];
        // Without frMatchCase the folded first byte also stands for its lower-case letter.
        const bool twoCases = !matchCase && ((first >= 0x41 && first <= 0x5A) || (first >= 0xC0 && first <= 0xDF));
        const uint8_t other = twoCases ? static_cast<uint8_t>(first + 0x20) : first;
        int64_t p = m_position + 1;
        const int64_t last = size - length;
        if (matchCase && p <= last)
        {
            const void* hit = ::memmem(bytes + p, static_cast<size_t>(size - p), pattern.data(), pattern.size());
            if (hit)
                found = static_cast<const uint8_t*>(hit) - bytes;
            p = last + 1;
        }
        // The next place of each case of the first byte, looked for again only once passed.
        int64_t nextUpper = -1, nextLower = twoCases ? -1 : INT64_MAX;
        auto nextOf = [&](uint8_t value, int64_t from)
        {
            if (from > last)
                return int64_t(INT64_MAX);
            const void* hit = std::memchr(bytes + from, value, static_cast<size_t>(last - from + 1));
            return hit ? int64_t(static_cast<const uint8_t*>(hit) - bytes) : int64_t(INT64_MAX);
        };
        while (p <= last)
        {
            if (nextUpper < p)
                nextUpper = nextOf(first, p);
            if (nextLower < p)
                nextLower = nextOf(other, p);
            const int64_t at = std::min(nextUpper, nextLower);
            if (at == INT64_MAX)
                break;
            if (matchesAt(at))
            {
                found = at;
                break;
            }
            p = at + 1;
        }
    }
    else
    {
        // Backwards: the nearest match that starts before the caret.
        for (int64_t at = std::min(m_position - 1, size - length); at >= 0; --at)
        {
            if (matchesAt(at))
            {
                found = at;
                break;
            }
        }
    }
    if (found < 0)
        return false;
    SetPosition(found);
    SetSelection(m_position, length);
    const int64_t line = GetLine();
    if (line < m_firstVisible)
        SetFirstVisible(line);
    else if (line > m_lastVisible)
        SetLastVisible(line);
    ChangeCaretPos();
    return true;
}

bool XHexEdit::FindTextW(const UnicodeString& text, TFindOptions options)
{
    AnsiString narrow(text);
    return Find(narrow.c_str(), narrow.Length(), options);
}

bool XHexEdit::FindData(const void* data, int32_t length, TFindOptions options)
{
    return Find(data, length, options);
}

// ---- files ----------------------------------------------------------------------------------

void XHexEdit::LoadFromStream(TStream* stream)
{
    m_buffer->LoadFromStream(stream);
    Modified = false;
    m_position = -1;
    SetPosition(0);
    SetSelection(0, 0);
    m_firstVisible = -1;
    SetFirstVisible(0);
    Relayout();
}

void XHexEdit::SaveToStream(TStream* stream)
{
    const int64_t size = m_buffer->GetSize();
    if (m_buffer->SaveToStream(stream) != size)
        throw EWriteError(u"Stream write error");
    Modified = false;
}

void XHexEdit::LoadFromFile(const UnicodeString& fileName)
{
    std::unique_ptr<XMemoryBuffer> loaded(new XMemoryBuffer);
    try
    {
        TFileStream file(fileName, fmOpenRead);
        if (!Platform::IsRegularFile(file.Handle()))
            throw EReadError(u"Not a file");
        const int64_t size = file.Size();
        if (loaded->LoadFromStream(&file) != size)
            throw EReadError(u"Stream read error");
    }
    catch (...)
    {
        ShowMessage(u"Ошибка чтения.");
        return;
    }
    delete m_buffer;
    m_buffer = loaded.release();
    Modified = false;
    m_position = -1;
    SetPosition(0);
    SetSelection(0, 0);
    m_firstVisible = -1;
    SetFirstVisible(0);
    Relayout();
    FileName = fileName;
}

namespace
{
// A file written in pieces, each started on its way to the disk while the next one is copied: the
// flush that ends a save then waits for little more than the last piece.
class WriteBackStream final : public TStream
{
public:
    explicit WriteBackStream(THandleStream& file) : m_file(file) {}
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override
    {
        constexpr int32_t Piece = 8 << 20;
        const auto* bytes = static_cast<const char*>(buffer);
        int32_t done = 0;
        while (done < count)
        {
            const int32_t n = std::min(count - done, Piece);
            const int32_t put = m_file.Write(bytes + done, n);
            if (put <= 0)
                break;
            Platform::StartWriteBack(m_file.Handle(), static_cast<uint64_t>(m_written), static_cast<uint64_t>(put));
            m_written += put;
            done += put;
            if (put != n)
                break; // a short write ends here; the caller sees the count
        }
        return done;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return m_file.Seek(offset, origin); }
    void SetSize(int64_t size) override { m_file.SetSize(size); }

private:
    THandleStream& m_file;
    int64_t m_written = 0;
};
} // namespace

void XHexEdit::SaveToFile(const UnicodeString& fileName)
{
    Platform::ReplaceResult result = Platform::ReplaceResult::ReplaceFailed;
    try
    {
        result = Platform::ReplaceFileSafely(fileName.c_str(),
                                             [&](const std::u16string& temp)
                                             {
                                                 TFileStream file(UnicodeString(temp), fmCreate);
                                                 WriteBackStream pieces(file);
                                                 const int64_t size = m_buffer->GetSize();
                                                 if (m_buffer->SaveToStream(&pieces) != size)
                                                     throw EWriteError(u"Stream write error");
                                             });
    }
    catch (...)
    {
        result = Platform::ReplaceResult::ReplaceFailed;
    }
    if (result != Platform::ReplaceResult::Done)
    {
        ShowMessage(u"Ошибка записи.");
        return;
    }
    Modified = false;
    FileName = fileName;
}

// ---- comparison -----------------------------------------------------------------------------

void XHexEdit::SetSampleEdit(XHexEdit* editor)
{
    if (editor == m_sample || editor == this)
        return;
    if (m_sample)
        m_sample->RemoveFreeNotification(this);
    m_sample = editor;
    if (m_sample)
        m_sample->FreeNotification(this);
    Invalidate();
}

void XHexEdit::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == m_sample)
        m_sample = nullptr;
    if (AComponent == m_hintTimer)
        m_hintTimer = nullptr;
    if (AComponent == m_hintWindow)
        m_hintWindow = nullptr;
}

int64_t XHexEdit::GetNextDifference(int64_t pos)
{
    const int64_t size = m_buffer->GetSize();
    if (!m_sample || pos < 0 || pos >= size)
        return pos;
    uint8_t mine[kCompareChunk], theirs[kCompareChunk];
    for (int64_t p = pos; p < size;)
    {
        int32_t n = m_buffer->Read(p, kCompareChunk, mine);
        std::memset(theirs, 0, sizeof theirs);
        m_sample->m_buffer->Read(p, n, theirs);
        for (int32_t i = 0; i < n; ++i)
        {
            if (mine[i] != theirs[i])
                return p + i;
        }
        if (n <= 0)
            break;
        p += n;
    }
    return pos;
}

int64_t XHexEdit::GetPrevDifference(int64_t pos)
{
    const int64_t size = m_buffer->GetSize();
    if (!m_sample || pos < 0 || pos >= size)
        return pos;
    uint8_t mine[kCompareChunk], theirs[kCompareChunk];
    for (int64_t p = pos; p > 0;)
    {
        const int64_t start = std::max<int64_t>(p - kCompareChunk, 0);
        const int32_t n = static_cast<int32_t>(p - start);
        m_buffer->Read(start, n, mine);
        std::memset(theirs, 0, sizeof theirs);
        m_sample->m_buffer->Read(start, n, theirs);
        for (int32_t i = n - 1; i >= 0; --i)
        {
            if (mine[i] != theirs[i])
                return start + i;
        }
        p = start;
    }
    return pos;
}

// ---- hints ----------------------------------------------------------------------------------

bool XHexEdit::FormatHint(int64_t pos, UnicodeString& text)
{
    const int need = BytesFor(m_hintMode);
    const int64_t size = m_buffer->GetSize();
    if (need == 0 || pos < 0 || pos > size - need)
        return false;
    uint8_t b[10] = {};
    m_buffer->Read(pos, need, b);
    uint64_t u = 0;
    std::memcpy(&u, b, std::min(need, 8));
    switch (m_hintMode)
    {
    case hmChar:
        text = Decimal(static_cast<int8_t>(b[0]));
        break;
    case hmUChar:
        text = Decimal(b[0]);
        break;
    case hmShort:
        text = Decimal(static_cast<int16_t>(u));
        break;
    case hmUShort:
        text = Decimal(static_cast<uint16_t>(u));
        break;
    case hmInt:
        text = Decimal(static_cast<int32_t>(u));
        break;
    case hmUInt:
        text = Decimal(static_cast<uint32_t>(u));
        break;
    case hmLong:
        text = Decimal(static_cast<int64_t>(u));
        break;
    case hmULong:
        text = DecimalU(u);
        break;
    case hmHexByte:
    case hmHexWord:
    case hmHexDWord:
    case hmHexQWord:
        text = Hex(u, need * 2);
        break;
    case hmFloat:
    {
        float f;
        std::memcpy(&f, b, 4);
        text = FloatToStr(f);
        break;
    }
    case hmDouble:
    {
        double d;
        std::memcpy(&d, b, 8);
        text = FloatToStr(d);
        break;
    }
    case hmExtended:
        text = FloatToStr(Extended(b));
        break;
    case hmAnsiString:
    {
        char narrow[1024] = {};
        m_buffer->Read(pos, static_cast<int32_t>(std::min<int64_t>(1023, size - pos)), narrow);
        text = UnicodeString(narrow);
        break;
    }
    case hmWideString:
    {
        WCHAR wide[1024] = {};
        m_buffer->Read(pos, static_cast<int32_t>(std::min<int64_t>(2046, size - pos)), wide);
        text = UnicodeString(wide);
        break;
    }
    case hmNone:
        return false;
    }
    return true;
}

void XHexEdit::HintTick(TObject*)
{
    if (!m_hintActive)
    {
        EndShowHint();
        return;
    }
    int64_t column = 0, pos = 0;
    ComputePosition(m_lastMouse.x, m_lastMouse.y, column, pos);
    UnicodeString text;
    if (!m_focused || !FormatHint(pos, text))
    {
        EndShowHint();
        return;
    }
    StartShowHint();
    const TRect size = m_hintWindow->CalcHintRect(255, text, nullptr);
    m_hintWindow->ActivateHint(THintWindow::PlaceAt(ClientToScreen(m_lastMouse), 0, size), text);
}

void XHexEdit::StartShowHint()
{
    if (!m_hintWindow)
        m_hintWindow = new THintWindow(this);
}

void XHexEdit::EndShowHint()
{
    if (!m_hintWindow)
        return;
    THintWindow* window = m_hintWindow;
    m_hintWindow = nullptr;
    window->ReleaseHandle();
    window->Free();
}
