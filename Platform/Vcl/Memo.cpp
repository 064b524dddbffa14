#include "Platform/Vcl/StdCtrls.h"

#include <algorithm>
#include <climits>

namespace
{
constexpr int TextMargin = 2;

bool IsLowSurrogate(WCHAR c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}
} // namespace

TMemo::TMemo(TComponent* AOwner) : TCustomControl(AOwner), m_lines(new TStringList)
{
    SetTabStop(true);
    SetColor(clWindow);
    SetWindowExStyle(WindowExStyle() | WS_EX_CLIENTEDGE);
    m_lines->OnChange = MakeClosure(this, &TMemo::LinesChanged);
    m_measure.Font()->Assign(Font());
    m_rowHeight = std::max(1, m_measure.TextHeight(u"Wg"));
    SetBounds(0, 0, 185, 89);
}

TMemo::~TMemo()
{
    m_lines->OnChange = TNotifyEvent();
    delete m_lines;
}

void TMemo::SetText(const UnicodeString& text)
{
    if (m_settingText)
    {
        TCustomControl::SetText(text);
        return;
    }
    // The lines take the text; their change notice shows it.
    std::u16string s = text.str();
    bool endsWithBreak = !s.empty() && (s.back() == u'\n' || s.back() == u'\r');
    m_lines->SetText(text);
    // A text ending in a line break has an empty last line after it, as the box shows it.
    if (endsWithBreak)
        m_lines->Add(UnicodeString());
}

void TMemo::LinesChanged(TObject*)
{
    // The window text is the lines joined, without a break after the last.
    UnicodeString joined = m_lines->Text();
    std::u16string& s = joined.str();
    if (s.size() >= 2 && s.compare(s.size() - 2, 2, u"\r\n") == 0)
        s.resize(s.size() - 2);
    m_settingText = true;
    TCustomControl::SetText(joined);
    m_settingText = false;
    m_caretLine = std::clamp(m_caretLine, 0, std::max(0, m_lines->Count() - 1));
    m_caretColumn = m_lines->Count() ? std::clamp(m_caretColumn, 0, m_lines->Strings(m_caretLine).Length()) : 0;
    m_rowsValid = false;
    SetTopRow(m_topRow);
    UpdateScrollBars();
    Invalidate();
    OnChange(this);
}

void TMemo::SetWordWrap(bool wordWrap)
{
    if (wordWrap == m_wordWrap)
        return;
    m_wordWrap = wordWrap;
    m_scrollX = 0;
    m_rowsValid = false;
    UpdateScrollBars();
    Invalidate();
}

void TMemo::SetScrollBars(TScrollStyle bars)
{
    if (bars == m_scrollBars)
        return;
    m_scrollBars = bars;
    ShowScrollBar(SB_VERT, bars == ssVertical || bars == ssBoth);
    ShowScrollBar(SB_HORZ, bars == ssHorizontal || bars == ssBoth);
    m_rowsValid = false;
    UpdateScrollBars();
    Invalidate();
}

int TMemo::TextWidth(const UnicodeString& text, int start, int length)
{
    if (length <= 0)
        return 0;
    SIZE size{};
    GetTextExtentPoint32W(m_measure.Handle(), text.c_str() + start, length, &size);
    return size.cx;
}

void TMemo::LayoutRows()
{
    if (m_rowsValid)
        return;
    m_rows.clear();
    int width = std::max(1, ClientWidth() - 2 * TextMargin);
    for (int line = 0; line < m_lines->Count(); ++line)
    {
        const UnicodeString& text = m_lines->Strings(line);
        int length = text.Length();
        if (!m_wordWrap || length == 0)
        {
            m_rows.push_back(Row{line, 0, length});
            continue;
        }
        std::vector<int> dx(static_cast<size_t>(length), 0);
        GetTextExtentExPointW(m_measure.Handle(), text.c_str(), length, INT_MAX, nullptr, dx.data(), nullptr);
        int start = 0;
        while (start < length)
        {
            int base = start ? dx[static_cast<size_t>(start - 1)] : 0;
            int end = start;
            while (end < length && dx[static_cast<size_t>(end)] - base <= width)
                ++end;
            if (end < length)
            {
                // Break after the last blank that fits; a word wider than the box breaks inside.
                int blank = end;
                while (blank > start && text[blank] != u' ')
                    --blank;
                if (blank > start)
                    end = blank;
                else if (end == start)
                    end = start + 1;
                if (end < length && IsLowSurrogate(text[end + 1]))
                    ++end;
            }
            m_rows.push_back(Row{line, start, end - start});
            start = end;
        }
    }
    m_rowsValid = true;
}

int TMemo::RowCount()
{
    LayoutRows();
    return static_cast<int>(m_rows.size());
}

int TMemo::VisibleRows() const
{
    return std::max(1, ClientHeight() / m_rowHeight);
}

void TMemo::SetTopRow(int row)
{
    int last = std::max(0, RowCount() - VisibleRows());
    row = std::clamp(row, 0, last);
    if (row == m_topRow)
        return;
    m_topRow = row;
    UpdateScrollBars();
    Invalidate();
}

int TMemo::RowOfCaret()
{
    LayoutRows();
    int found = 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
    {
        const Row& row = m_rows[i];
        if (row.line < m_caretLine)
            continue;
        if (row.line > m_caretLine)
            break;
        found = static_cast<int>(i);
        // A caret at a wrap point stands at the start of the next row.
        if (m_caretColumn < row.start + row.length)
            break;
    }
    return found;
}

void TMemo::ScrollToCaret()
{
    int row = RowOfCaret();
    if (row < m_topRow)
        SetTopRow(row);
    else if (row >= m_topRow + VisibleRows())
        SetTopRow(row - VisibleRows() + 1);
    if (m_wordWrap || m_rows.empty())
        return;
    const Row& r = m_rows[static_cast<size_t>(row)];
    int x = TextWidth(m_lines->Strings(r.line), 0, m_caretColumn);
    int width = ClientWidth() - 2 * TextMargin;
    if (x < m_scrollX)
        m_scrollX = x;
    else if (x > m_scrollX + width)
        m_scrollX = x - width;
    UpdateScrollBars();
}

void TMemo::UpdateScrollBars()
{
    if (m_scrollBars == ssVertical || m_scrollBars == ssBoth)
    {
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, RowCount() - 1),
                        static_cast<UINT>(VisibleRows()), m_topRow, 0};
        SetScrollInfo(SB_VERT, info, true);
    }
    if (m_scrollBars == ssHorizontal || m_scrollBars == ssBoth)
    {
        int widest = 0;
        if (!m_wordWrap)
            for (int i = 0; i < m_lines->Count(); ++i)
                widest = std::max(widest, TextWidth(m_lines->Strings(i), 0, m_lines->Strings(i).Length()));
        SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, widest + 2 * TextMargin,
                        static_cast<UINT>(std::max(1, ClientWidth())), m_scrollX, 0};
        SetScrollInfo(SB_HORZ, info, true);
    }
}

void TMemo::SetCaretPos(const TPoint& pos)
{
    int lines = m_lines->Count();
    m_caretLine = std::clamp(pos.y, 0, std::max(0, lines - 1));
    m_caretColumn = lines ? std::clamp(pos.x, 0, m_lines->Strings(m_caretLine).Length()) : 0;
    if (lines && m_caretColumn > 0 && IsLowSurrogate(m_lines->Strings(m_caretLine)[m_caretColumn + 1]))
        --m_caretColumn;
    ScrollToCaret();
    Invalidate();
}

int TMemo::ColumnAt(const Row& row, int x)
{
    const UnicodeString& text = m_lines->Strings(row.line);
    // The width of every leading part up to the row's end, measured in one pass.
    const int end = row.start + row.length;
    std::vector<int> dx(static_cast<size_t>(end), 0);
    if (end > 0)
        GetTextExtentExPointW(m_measure.Handle(), text.c_str(), end, INT_MAX, nullptr, dx.data(), nullptr);
    auto widthTo = [&dx](int column) { return column > 0 ? dx[static_cast<size_t>(column - 1)] : 0; };
    int best = row.start, bestDistance = INT_MAX;
    int base = widthTo(row.start);
    for (int column = row.start; column <= end; ++column)
    {
        if (column > row.start && column < text.Length() + 1 && IsLowSurrogate(text[column + 1]))
            continue;
        int distance = std::abs(widthTo(column) - base - x);
        if (distance < bestDistance)
        {
            best = column;
            bestDistance = distance;
        }
    }
    return best;
}

void TMemo::MoveToRow(int row, int x)
{
    LayoutRows();
    if (m_rows.empty())
        return;
    row = std::clamp(row, 0, static_cast<int>(m_rows.size()) - 1);
    const Row& r = m_rows[static_cast<size_t>(row)];
    m_caretLine = r.line;
    m_caretColumn = ColumnAt(r, x);
    ScrollToCaret();
    Invalidate();
}

void TMemo::EditLines(const std::function<void()>& edit)
{
    if (m_lines->Count() == 0)
        m_lines->Add(UnicodeString());
    edit();
}

LRESULT TMemo::DialogCode()
{
    // Enter and Escape go to the form's Default and Cancel buttons first; without a Default one
    // Enter breaks the line.
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

void TMemo::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    int row = RowOfCaret();
    int x = 0;
    if (!m_rows.empty())
    {
        const Row& r = m_rows[static_cast<size_t>(row)];
        x = TextWidth(m_lines->Strings(r.line), r.start, m_caretColumn - r.start);
    }
    bool ctrl = Shift.Contains(ssCtrl);
    int lines = m_lines->Count();
    switch (Key)
    {
    case VK_UP: MoveToRow(row - 1, x); break;
    case VK_DOWN: MoveToRow(row + 1, x); break;
    case VK_PRIOR:
        SetTopRow(m_topRow - VisibleRows());
        MoveToRow(row - VisibleRows(), x);
        break;
    case VK_NEXT:
        SetTopRow(m_topRow + VisibleRows());
        MoveToRow(row + VisibleRows(), x);
        break;
    case VK_HOME:
        if (ctrl)
            SetCaretPos(TPoint(0, 0));
        else
            MoveToRow(row, 0);
        break;
    case VK_END:
        if (ctrl)
            SetCaretPos(TPoint(INT_MAX, lines - 1));
        else
            MoveToRow(row, INT_MAX / 2);
        break;
    case VK_LEFT:
        if (m_caretColumn > 0)
            SetCaretPos(TPoint(m_caretColumn - 1, m_caretLine));
        else if (m_caretLine > 0)
            SetCaretPos(TPoint(INT_MAX, m_caretLine - 1));
        break;
    case VK_RIGHT:
    {
        int length = lines ? m_lines->Strings(m_caretLine).Length() : 0;
        if (m_caretColumn < length)
        {
            int step = m_caretColumn + 1 < length && IsLowSurrogate(m_lines->Strings(m_caretLine)[m_caretColumn + 2]) ? 2 : 1;
            SetCaretPos(TPoint(m_caretColumn + step, m_caretLine));
        }
        else if (m_caretLine + 1 < lines)
            SetCaretPos(TPoint(0, m_caretLine + 1));
        break;
    }
    case VK_DELETE:
        if (m_readOnly || lines == 0)
            return;
        {
            UnicodeString text = m_lines->Strings(m_caretLine);
            if (m_caretColumn < text.Length())
            {
                int count = m_caretColumn + 1 < text.Length() && IsLowSurrogate(text[m_caretColumn + 2]) ? 2 : 1;
                text.str().erase(static_cast<size_t>(m_caretColumn), static_cast<size_t>(count));
                m_lines->SetString(m_caretLine, text);
            }
            else if (m_caretLine + 1 < lines)
            {
                m_lines->BeginUpdate();
                m_lines->SetString(m_caretLine, text + m_lines->Strings(m_caretLine + 1));
                m_lines->Delete(m_caretLine + 1);
                m_lines->EndUpdate();
            }
        }
        break;
    default:
        return;
    }
    Key = 0;
}

void TMemo::KeyPress(WCHAR& Key)
{
    TCustomControl::KeyPress(Key);
    if (m_readOnly || Key == 0)
        return;
    if (Key == u'\r')
    {
        EditLines([this] {
            UnicodeString text = m_lines->Strings(m_caretLine);
            UnicodeString head(text.c_str(), static_cast<size_t>(m_caretColumn));
            UnicodeString tail(text.c_str() + m_caretColumn);
            m_lines->BeginUpdate();
            m_lines->SetString(m_caretLine, head);
            m_lines->Insert(m_caretLine + 1, tail);
            m_caretLine += 1;
            m_caretColumn = 0;
            m_lines->EndUpdate();
        });
        ScrollToCaret();
        return;
    }
    if (Key == u'\b')
    {
        if (m_lines->Count() == 0 || (m_caretLine == 0 && m_caretColumn == 0))
            return;
        UnicodeString text = m_lines->Strings(m_caretLine);
        if (m_caretColumn > 0)
        {
            int count = m_caretColumn > 1 && IsLowSurrogate(text[m_caretColumn]) ? 2 : 1;
            text.str().erase(static_cast<size_t>(m_caretColumn - count), static_cast<size_t>(count));
            m_caretColumn -= count;
            m_lines->SetString(m_caretLine, text);
        }
        else
        {
            UnicodeString previous = m_lines->Strings(m_caretLine - 1);
            m_lines->BeginUpdate();
            m_lines->SetString(m_caretLine - 1, previous + text);
            m_lines->Delete(m_caretLine);
            m_caretLine -= 1;
            m_caretColumn = previous.Length();
            m_lines->EndUpdate();
        }
        ScrollToCaret();
        return;
    }
    if (Key < u' ')
        return;
    WCHAR typed = Key;
    EditLines([this, typed] {
        UnicodeString text = m_lines->Strings(m_caretLine);
        text.str().insert(static_cast<size_t>(m_caretColumn), 1, typed);
        m_caretColumn += 1;
        m_lines->SetString(m_caretLine, text);
    });
    ScrollToCaret();
}

void TMemo::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft)
    {
        if (CanFocus() && !Focused())
            SetFocus();
        LayoutRows();
        if (!m_rows.empty())
        {
            int row = std::min(m_topRow + std::max(0, Y) / m_rowHeight, static_cast<int>(m_rows.size()) - 1);
            MoveToRow(row, X - TextMargin + m_scrollX);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

bool TMemo::DoMouseWheelDown(TShiftState, TPoint)
{
    SetTopRow(m_topRow + 3);
    return true;
}

bool TMemo::DoMouseWheelUp(TShiftState, TPoint)
{
    SetTopRow(m_topRow - 3);
    return true;
}

void TMemo::Resized()
{
    TCustomControl::Resized();
    m_rowsValid = false;
    SetTopRow(m_topRow);
    UpdateScrollBars();
}

void TMemo::FontChanged()
{
    m_measure.Font()->Assign(Font());
    m_rowHeight = std::max(1, m_measure.TextHeight(u"Wg"));
    m_rowsValid = false;
    TCustomControl::FontChanged();
}

void TMemo::DoEnter()
{
    TCustomControl::DoEnter();
    Invalidate();
}

void TMemo::DoExit()
{
    TCustomControl::DoExit();
    Invalidate();
}

void TMemo::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_VSCROLL || Message.Msg == WM_HSCROLL)
    {
        bool vertical = Message.Msg == WM_VSCROLL;
        int position = vertical ? m_topRow : m_scrollX;
        int line = vertical ? 1 : m_rowHeight;
        int page = vertical ? VisibleRows() : ClientWidth();
        ScrollRequestPosition(vertical ? SB_VERT : SB_HORZ, LOWORD(Message.WParam), line, page, position);
        if (vertical)
            SetTopRow(position);
        else
        {
            SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
            GetScrollInfo(SB_HORZ, info);
            m_scrollX = std::clamp(position, 0, std::max(0, info.nMax - static_cast<int>(info.nPage) + 1));
            UpdateScrollBars();
            Invalidate();
        }
        Message.Result = 0;
        return;
    }
    TCustomControl::WndProc(Message);
}

void TMemo::Paint()
{
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
    canvas->FillRect(client);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->SetColor(Enabled() ? Font()->Color() : clGrayText);
    LayoutRows();
    int caretRow = Focused() ? RowOfCaret() : -1;
    int rows = client.Height() / m_rowHeight + 1;
    for (int i = 0; i < rows; ++i)
    {
        int index = m_topRow + i;
        if (index >= static_cast<int>(m_rows.size()))
            break;
        const Row& row = m_rows[static_cast<size_t>(index)];
        const UnicodeString& text = m_lines->Strings(row.line);
        int x = TextMargin - m_scrollX, y = i * m_rowHeight;
        canvas->TextOut(x, y, UnicodeString(text.c_str() + row.start, static_cast<size_t>(row.length)));
        if (index == caretRow)
        {
            int cx = x + TextWidth(text, row.start, m_caretColumn - row.start);
            PatBlt(canvas->Handle(), cx, y, 1, m_rowHeight, DSTINVERT);
        }
    }
    if (Focused() && m_rows.empty())
        PatBlt(canvas->Handle(), TextMargin, 0, 1, m_rowHeight, DSTINVERT);
}

void TMemo::Ctl3DChanged()
{
    ApplyClientEdge();
    TCustomControl::Ctl3DChanged();
}
