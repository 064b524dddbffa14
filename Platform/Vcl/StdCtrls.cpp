#include "Platform/Vcl/StdCtrls.h"

#include "Platform/Vcl/Clipbrd.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace
{
// Disabled text as the platform draws it: a light copy one pixel down and right under a shadow.
void DrawEmbossedText(HDC dc, const UnicodeString& text, RECT rect, UINT format)
{
    int mode = SetBkMode(dc, TRANSPARENT);
    COLORREF previous = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    OffsetRect(&rect, 1, 1);
    DrawTextW(dc, text.c_str(), text.Length(), &rect, format);
    OffsetRect(&rect, -1, -1);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextW(dc, text.c_str(), text.Length(), &rect, format);
    SetTextColor(dc, previous);
    SetBkMode(dc, mode);
}

bool IsHighSurrogate(WCHAR c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(WCHAR c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Character classes for word moves and double-click selection: blanks, word characters, others.
int CharClass(WCHAR c)
{
    if (c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B))
        return 0;
    if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_')
        return 1;
    if (c >= 0xC0 && !(c >= 0x2000 && c <= 0x206F) && c != 0xD7 && c != 0xF7)
        return 1;
    return 2;
}

void InvalidateDefaultButtons(TWinControl* root)
{
    for (int i = 0; i < root->ControlCount(); ++i)
    {
        TControl* child = root->Controls(i);
        if (auto* button = dynamic_cast<TButton*>(child); button && button->Default())
            button->Invalidate();
        if (auto* container = dynamic_cast<TWinControl*>(child))
            InvalidateDefaultButtons(container);
    }
}

// The edit keeps the pixel offset of every OffsetStep-th position only.
constexpr size_t OffsetStep = 1024;

// Whether position p falls between the two halves of a surrogate pair.
bool MidPair(const std::u16string& text, size_t p)
{
    return p > 0 && p < text.size() && IsLowSurrogate(text[p]) && IsHighSurrogate(text[p - 1]);
}

// Where the measured step k begins: k * OffsetStep, or past the pair that position falls inside.
size_t StepStart(const std::u16string& text, size_t k)
{
    const size_t p = k * OffsetStep;
    return MidPair(text, p) ? p + 1 : p;
}

int TextWidth(HDC dc, const WCHAR* text, size_t length)
{
    SIZE size{};
    if (length > 0)
        GetTextExtentPoint32W(dc, text, static_cast<int>(length), &size);
    return size.cx;
}

// Offsets past the largest int (a text of hundreds of millions of wide glyphs) stay at it.
int Saturated(int64_t x)
{
    return static_cast<int>(std::min<int64_t>(x, INT_MAX));
}
} // namespace

// ---- TLabel ----------------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetBounds(0, 0, 65, 17);
}

void TLabel::SetAlignment(TAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    Invalidate();
}

void TLabel::SetLayout(TTextLayout layout)
{
    if (layout == m_layout)
        return;
    m_layout = layout;
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize)
{
    if (autoSize == m_autoSize)
        return;
    m_autoSize = autoSize;
    AdjustBounds();
}

void TLabel::SetTransparent(bool transparent)
{
    if (transparent == m_transparent)
        return;
    m_transparent = transparent;
    Invalidate();
}

void TLabel::SetWordWrap(bool wordWrap)
{
    if (wordWrap == m_wordWrap)
        return;
    m_wordWrap = wordWrap;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetShowAccelChar(bool show)
{
    if (show == m_showAccelChar)
        return;
    m_showAccelChar = show;
    AdjustBounds();
    Invalidate();
}

UINT TLabel::TextFormat() const
{
    static const UINT alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    return DT_EXPANDTABS | alignments[m_alignment] | (m_wordWrap ? DT_WORDBREAK : 0) |
           (m_showAccelChar ? 0 : DT_NOPREFIX);
}

void TLabel::TextChanged()
{
    AdjustBounds();
}

void TLabel::FontChanged()
{
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TLabel::AdjustBounds()
{
    if (!m_autoSize)
        return;
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    UnicodeString text = Caption();
    // An empty caption keeps the height of a line.
    if (text.IsEmpty() || (m_showAccelChar && text == UnicodeString(u"&")))
        text += UnicodeString(u" ");
    RECT r{0, 0, m_wordWrap ? Width() : 0, 0};
    DrawTextW(canvas->Handle(), text.c_str(), text.Length(), &r, TextFormat() | DT_CALCRECT);
    int left = Left();
    if (m_alignment == taRightJustify)
        left += Width() - r.right;
    SetBounds(left, Top(), r.right, r.bottom);
}

void TLabel::Paint()
{
    TCanvas* canvas = Canvas();
    TRect r = ClientRect();
    if (!m_transparent)
    {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(r);
    }
    canvas->Brush()->SetStyle(bsClear);
    HDC dc = canvas->Handle();
    const UnicodeString& text = Caption();
    UINT format = m_wordWrap ? TextFormat() : CaptionFormat(dc, text, r, TextFormat());
    if (m_layout != tlTop)
    {
        RECT calc = r;
        DrawTextW(dc, text.c_str(), text.Length(), &calc, format | DT_CALCRECT);
        int height = calc.bottom - calc.top;
        r.top += m_layout == tlCenter ? (r.Height() - height) / 2 : r.Height() - height;
    }
    if (!Enabled())
    {
        DrawEmbossedText(dc, text, r, format);
        return;
    }
    DrawTextW(dc, text.c_str(), text.Length(), &r, format);
}

// ---- TCustomEdit -----------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TCustomControl(AOwner), m_blink(new TTimer(this))
{
    m_blink->SetEnabled(false);
    m_blink->SetInterval(GetCaretBlinkTime());
    m_blink->OnTimer = MakeClosure(this, &TCustomEdit::BlinkTimer);
    m_measure.Font()->Assign(Font());
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(0, 0, 121, 21);
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::SetMaxLength(int maxLength)
{
    m_maxLength = std::max(maxLength, 0);
}

void TCustomEdit::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

void TCustomEdit::SetHideSelection(bool hide)
{
    if (hide == m_hideSelection)
        return;
    m_hideSelection = hide;
    Invalidate();
}

int TCustomEdit::SelStart() const
{
    return std::min(m_anchor, m_caret);
}

int TCustomEdit::SelLength() const
{
    return std::abs(m_caret - m_anchor);
}

void TCustomEdit::SetSelStart(int start)
{
    Select(start, start);
}

void TCustomEdit::SetSelLength(int length)
{
    int start = SelStart();
    Select(start, start + std::max(length, 0));
}

UnicodeString TCustomEdit::SelText() const
{
    return UnicodeString(
        Text().str().substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength())));
}

void TCustomEdit::SetSelText(const UnicodeString& text)
{
    ReplaceSelection(text, false);
}

void TCustomEdit::SelectAll()
{
    Select(0, Text().Length());
}

void TCustomEdit::ClearSelection()
{
    if (SelLength() > 0)
        ReplaceSelection(UnicodeString(), false);
}

void TCustomEdit::CopyToClipboard()
{
    if (SelLength() > 0)
        Clipboard()->SetAsText(SelText());
}

void TCustomEdit::CutToClipboard()
{
    if (m_readOnly || SelLength() == 0)
        return;
    CopyToClipboard();
    ReplaceSelection(UnicodeString(), true);
}

void TCustomEdit::PasteFromClipboard()
{
    if (m_readOnly)
        return;
    UnicodeString text = Clipboard()->AsText();
    if (!text.IsEmpty() && AcceptPaste(text))
        ReplaceSelection(std::move(text), true);
}

int TCustomEdit::PreviousPosition(int position) const
{
    const std::u16string& text = Text().str();
    if (position <= 0)
        return 0;
    --position;
    if (MidPair(text, static_cast<size_t>(position)))
        --position;
    return position;
}

int TCustomEdit::NextPosition(int position) const
{
    const std::u16string& text = Text().str();
    int length = static_cast<int>(text.size());
    if (position >= length)
        return length;
    ++position;
    if (MidPair(text, static_cast<size_t>(position)))
        ++position;
    return position;
}

int TCustomEdit::WordStart(int position) const
{
    const std::u16string& text = Text().str();
    while (position > 0 && CharClass(text[static_cast<size_t>(position - 1)]) == 0)
        --position;
    if (position == 0)
        return 0;
    int cls = CharClass(text[static_cast<size_t>(position - 1)]);
    while (position > 0 && CharClass(text[static_cast<size_t>(position - 1)]) == cls)
        --position;
    return position;
}

int TCustomEdit::WordEnd(int position) const
{
    // The start of the next word, as the platform's Ctrl+Right goes.
    const std::u16string& text = Text().str();
    int length = static_cast<int>(text.size());
    if (position < length)
    {
        int cls = CharClass(text[static_cast<size_t>(position)]);
        if (cls != 0)
        {
            while (position < length && CharClass(text[static_cast<size_t>(position)]) == cls)
                ++position;
        }
    }
    while (position < length && CharClass(text[static_cast<size_t>(position)]) == 0)
        ++position;
    return position;
}

void TCustomEdit::Select(int anchor, int caret)
{
    int length = Text().Length();
    const std::u16string& text = Text().str();
    auto fit = [&](int p)
    {
        p = std::clamp(p, 0, length);
        // Never between the halves of a pair.
        if (p > 0 && p < length && IsLowSurrogate(text[static_cast<size_t>(p)]) &&
            IsHighSurrogate(text[static_cast<size_t>(p - 1)]))
            --p;
        return p;
    };
    anchor = fit(anchor);
    caret = fit(caret);
    bool changed = anchor != m_anchor || caret != m_caret;
    m_anchor = anchor;
    m_caret = caret;
    ScrollToCaret();
    RestartBlink();
    if (changed)
        Invalidate();
}

void TCustomEdit::MoveCaret(int position, bool extend)
{
    Select(extend ? m_anchor : position, position);
}

bool TCustomEdit::ReplaceSelection(UnicodeString text, bool user)
{
    if (user && m_readOnly)
        return false;
    const std::u16string& current = Text().str();
    int start = SelStart();
    int end = start + SelLength();
    std::u16string& insert = text.str();
    // One line only: a pasted text stops at its first line break.
    size_t lineBreak = insert.find_first_of(u"\r\n");
    if (lineBreak != std::u16string::npos)
        insert.resize(lineBreak);
    if (m_maxLength > 0)
    {
        int room = std::max(m_maxLength - (static_cast<int>(current.size()) - (end - start)), 0);
        if (static_cast<int>(insert.size()) > room)
        {
            insert.resize(static_cast<size_t>(room));
            if (!insert.empty() && IsHighSurrogate(insert.back()))
                insert.pop_back();
        }
    }
    if (insert.empty() && start == end)
        return false;
    const size_t inserted = insert.size();
    // The new text is built once, at its size; what replaces the whole text is handed on as it
    // is. The pasted text goes before the control takes the new one over, without a copy.
    std::u16string updated;
    if (start == 0 && static_cast<size_t>(end) == current.size())
        updated = std::move(insert);
    else
    {
        updated.reserve(current.size() - static_cast<size_t>(end - start) + inserted);
        updated.append(current, 0, static_cast<size_t>(start));
        updated.append(insert);
        updated.append(current, static_cast<size_t>(end));
    }
    std::u16string().swap(insert);
    m_anchor = m_caret = start + static_cast<int>(inserted);
    if (user)
        m_modified = true;
    m_settingText = true;
    try
    {
        TakeText(UnicodeString(std::move(updated)));
    }
    catch (...)
    {
        m_settingText = false;
        throw;
    }
    m_settingText = false;
    return true;
}

void TCustomEdit::DeleteRange(int from, int to)
{
    if (from == to)
        return;
    Select(from, to);
    ReplaceSelection(UnicodeString(), true);
}

void TCustomEdit::TextChanged()
{
    m_offsetsValid = false;
    if (!m_settingText)
    {
        // Text set by the program: the caret goes to the start, as the platform does.
        m_anchor = m_caret = 0;
        m_scroll = 0;
        m_modified = false;
    }
    int length = Text().Length();
    m_anchor = std::min(m_anchor, length);
    m_caret = std::min(m_caret, length);
    ScrollToCaret();
    RestartBlink();
    Change();
}

void TCustomEdit::Change()
{
    OnChange(this);
}

void TCustomEdit::FontChanged()
{
    m_measure.Font()->Assign(Font());
    m_offsetsValid = false;
    TCustomControl::FontChanged();
    ScrollToCaret();
}

void TCustomEdit::Resized()
{
    TCustomControl::Resized();
    ScrollToCaret();
}

const std::vector<int>& TCustomEdit::Offsets()
{
    if (m_offsetsValid)
        return m_offsets;
    const std::u16string& text = Text().str();
    const size_t steps = text.size() / OffsetStep;
    // A new vector: a long text's offsets do not stay with the short one that replaces it.
    m_offsets = std::vector<int>(steps + 1, 0);
    HDC dc = m_measure.Handle();
    int64_t x = 0;
    for (size_t k = 1; k <= steps; ++k)
    {
        const size_t from = StepStart(text, k - 1);
        x += TextWidth(dc, text.data() + from, StepStart(text, k) - from);
        m_offsets[k] = Saturated(x);
    }
    m_offsetsValid = true;
    return m_offsets;
}

int TCustomEdit::OffsetAt(int position)
{
    const std::vector<int>& offsets = Offsets();
    const std::u16string& text = Text().str();
    const size_t p = static_cast<size_t>(std::clamp(position, 0, static_cast<int>(text.size())));
    const size_t k = p / OffsetStep;
    const size_t from = StepStart(text, k);
    if (from >= p)
        return offsets[k]; // inside a pair: where the pair ends, as the platform measures
    return Saturated(int64_t(offsets[k]) + TextWidth(m_measure.Handle(), text.data() + from, p - from));
}

TRect TCustomEdit::TextArea() const
{
    // Inside the border (when drawn: the sunken two-pixel edge, or a one-pixel line without
    // Ctl3D), with a pixel of margin at each side.
    const int edge = m_borderStyle == bsNone ? 0 : (Ctl3D() ? 2 : 1);
    return TRect(edge + 1, edge, std::max(edge + 1, Width() - edge - 1), std::max(edge, Height() - edge));
}

void TCustomEdit::SetBorderStyle(TFormBorderStyle style)
{
    style = style == bsNone ? bsNone : bsSingle;
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    ScrollToCaret();
    Invalidate();
}

void TCustomEdit::Ctl3DChanged()
{
    TCustomControl::Ctl3DChanged();
    ScrollToCaret();
}

void TCustomEdit::ScrollToCaret()
{
    // In 64 bits: the offsets of a text too wide for an int stay at the largest one.
    const int64_t visible = TextArea().Width();
    const int64_t caretX = OffsetAt(m_caret);
    const int64_t total = OffsetAt(Text().Length());
    int64_t scroll = m_scroll;
    if (caretX - scroll < 0)
        scroll = caretX;
    else if (caretX - scroll > visible - 1)
        scroll = caretX - visible + 1;
    // No empty room at the right while the text could fill it.
    m_scroll = Saturated(std::clamp<int64_t>(scroll, 0, std::max<int64_t>(0, total - visible + 1)));
}

int TCustomEdit::PositionAt(int x)
{
    const std::vector<int>& offsets = Offsets();
    const std::u16string& text = Text().str();
    const int64_t target = int64_t(x) - TextArea().left + m_scroll;
    // The nearest position lies between the last step left of the target and the next step: only
    // that stretch is measured.
    size_t k = static_cast<size_t>(std::lower_bound(offsets.begin(), offsets.end(), target) - offsets.begin());
    k = k > 0 ? k - 1 : 0;
    const int from = static_cast<int>(StepStart(text, k));
    size_t stop = std::min(text.size(), (k + 2) * OffsetStep + 1);
    if (MidPair(text, stop))
        ++stop;
    std::vector<int> dx(stop - static_cast<size_t>(from), 0);
    if (!dx.empty())
        GetTextExtentExPointW(m_measure.Handle(), text.data() + from, static_cast<int>(dx.size()), INT_MAX, nullptr,
                              dx.data(), nullptr);
    int best = from;
    int64_t bestDistance = std::abs(offsets[k] - target);
    for (int p = from; p < static_cast<int>(stop);)
    {
        p = NextPosition(p);
        const int64_t distance = std::abs(int64_t(offsets[k]) + dx[static_cast<size_t>(p - from - 1)] - target);
        if (distance < bestDistance)
        {
            best = p;
            bestDistance = distance;
        }
    }
    return best;
}

void TCustomEdit::RestartBlink()
{
    bool wasOn = m_caretOn;
    m_caretOn = true;
    if (Focused())
    {
        m_blink->SetEnabled(false);
        m_blink->SetEnabled(true);
    }
    if (!wasOn)
        Invalidate();
}

void TCustomEdit::BlinkTimer(TObject*)
{
    if (!Focused())
    {
        m_blink->SetEnabled(false);
        return;
    }
    m_caretOn = !m_caretOn;
    Invalidate();
}

void TCustomEdit::DoEnter()
{
    TCustomControl::DoEnter();
    if (m_autoSelect && !WindowFocusOnly())
        SelectAll();
    RestartBlink();
}

void TCustomEdit::DoExit()
{
    TCustomControl::DoExit();
    m_blink->SetEnabled(false);
    m_selecting = false;
}

void TCustomEdit::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    bool shift = Shift.Contains(ssShift);
    bool ctrl = Shift.Contains(ssCtrl);
    bool alt = Shift.Contains(ssAlt);
    int length = Text().Length();
    switch (Key)
    {
    case VK_LEFT:
    case VK_UP:
        if (!shift && !ctrl && SelLength() > 0)
            MoveCaret(SelStart(), false); // the selection collapses to its start
        else
            MoveCaret(ctrl ? WordStart(m_caret) : PreviousPosition(m_caret), shift);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (!shift && !ctrl && SelLength() > 0)
            MoveCaret(SelStart() + SelLength(), false);
        else
            MoveCaret(ctrl ? WordEnd(m_caret) : NextPosition(m_caret), shift);
        break;
    case VK_HOME:
        MoveCaret(0, shift);
        break;
    case VK_END:
        MoveCaret(length, shift);
        break;
    case VK_DELETE:
        if (shift && !ctrl)
            CutToClipboard();
        else if (SelLength() > 0)
            ReplaceSelection(UnicodeString(), true);
        else if (!m_readOnly)
            DeleteRange(m_caret, ctrl ? WordEnd(m_caret) : NextPosition(m_caret));
        break;
    case VK_INSERT:
        if (ctrl && !shift)
            CopyToClipboard();
        else if (shift && !ctrl)
            PasteFromClipboard();
        break;
    default:
        if (!ctrl || alt || shift)
            break;
        if (Key == 'A')
            SelectAll();
        else if (Key == 'C')
            CopyToClipboard();
        else if (Key == 'X')
            CutToClipboard();
        else if (Key == 'V')
            PasteFromClipboard();
        break;
    }
}

void TCustomEdit::KeyPress(WCHAR& Key)
{
    TCustomControl::KeyPress(Key);
    if (Key == 0)
        return;
    if (Key == u'\b')
    {
        if (m_readOnly)
            return;
        if (SelLength() > 0)
            ReplaceSelection(UnicodeString(), true);
        else
            DeleteRange(PreviousPosition(m_caret), m_caret);
        return;
    }
    if (Key < 0x20 || Key == 0x7F)
        return; // Ctrl+letter characters and Enter, Escape, Tab: not text
    // Alt with a key is a shortcut; AltGr (Ctrl+Alt) types.
    if (GetKeyState(VK_MENU) < 0 && GetKeyState(VK_CONTROL) >= 0)
        return;
    ReplaceSelection(UnicodeString(std::u16string(1, Key)), true);
}

void TCustomEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    int position = PositionAt(X);
    if (Shift.Contains(ssDouble))
    {
        // The run of word characters (or blanks, or other characters) under the pointer.
        const std::u16string& text = Text().str();
        int length = static_cast<int>(text.size());
        if (length == 0)
            return;
        int at = position < length ? position : length - 1;
        int cls = CharClass(text[static_cast<size_t>(at)]);
        int start = at;
        int end = at;
        while (start > 0 && CharClass(text[static_cast<size_t>(start - 1)]) == cls)
            --start;
        while (end < length && CharClass(text[static_cast<size_t>(end)]) == cls)
            ++end;
        Select(start, end);
        m_selecting = false;
        return;
    }
    MoveCaret(position, Shift.Contains(ssShift));
    m_selecting = true;
}

void TCustomEdit::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    if (m_selecting && Shift.Contains(ssLeft))
        MoveCaret(PositionAt(X), true);
}

void TCustomEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft)
        m_selecting = false;
}

void TCustomEdit::Paint()
{
    TCanvas* canvas = Canvas();
    HDC dc = canvas->Handle();
    RECT inner = ClientRect();
    if (m_borderStyle != bsNone)
        DrawClientEdge(dc, inner, Ctl3D());
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(inner);
    canvas->Brush()->SetStyle(bsClear);
    dc = canvas->Handle();

    TRect area = TextArea();
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int lineHeight = tm.tmHeight;
    int y = (Height() - lineHeight) / 2;
    int x0 = area.left - m_scroll;
    const std::u16string& text = Text().str();
    const std::vector<int>& offsets = Offsets();
    // Only the stretch that shows is drawn, from the last step left of it to the first right of
    // it: a long text paints as fast as a short one.
    size_t first = static_cast<size_t>(std::upper_bound(offsets.begin(), offsets.end(), m_scroll) - offsets.begin());
    first = first > 0 ? first - 1 : 0;
    const size_t last = static_cast<size_t>(
        std::upper_bound(offsets.begin(), offsets.end(), int64_t(m_scroll) + area.Width()) - offsets.begin());
    const int from = static_cast<int>(StepStart(text, first));
    const int to = last < offsets.size() ? static_cast<int>(StepStart(text, last)) : static_cast<int>(text.size());

    SetTextColor(dc, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
    ExtTextOutW(dc, x0 + offsets[first], y, 0, nullptr, text.c_str() + from, static_cast<UINT>(to - from), nullptr);

    int selLength = SelLength();
    if (selLength > 0 && (Focused() || !m_hideSelection))
    {
        int start = SelStart();
        RECT selection{x0 + OffsetAt(start), y, x0 + OffsetAt(start + selLength), y + lineHeight};
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        const int shownFrom = std::max(start, from);
        const int shownTo = std::min(start + selLength, to);
        if (shownFrom < shownTo)
            ExtTextOutW(dc, x0 + OffsetAt(shownFrom), y, ETO_OPAQUE | ETO_CLIPPED, &selection,
                        text.c_str() + shownFrom, static_cast<UINT>(shownTo - shownFrom), nullptr);
    }
    if (CaretShown())
        PatBlt(dc, x0 + OffsetAt(m_caret), y, 1, lineHeight, DSTINVERT);
}

// ---- TButton ---------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool value)
{
    if (value == m_default)
        return;
    m_default = value;
    Invalidate();
}

bool TButton::ActiveDefault() const
{
    if (!Enabled())
        return false;
    TCustomForm* form = GetParentForm(this);
    TWinControl* focused = form ? form->ActiveControl() : nullptr;
    if (focused && focused->Focused() && dynamic_cast<TButton*>(focused))
        return focused == this;
    return m_default;
}

void TButton::SetPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    Invalidate();
}

void TButton::Click()
{
    m_mouseDown = false;
    m_spaceDown = false;
    SetPressed(false);
    // Before OnClick: the handler may free the button.
    if (m_modalResult != mrNone)
    {
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(m_modalResult);
    }
    TCustomControl::Click();
}

bool TButton::DialogKey(WORD key, TShiftState shift)
{
    if (!shift.Contains(ssAlt) && !shift.Contains(ssCtrl) && Showing() && Enabled())
    {
        if ((key == VK_RETURN && ActiveDefault()) || (key == VK_ESCAPE && m_cancel))
        {
            Click();
            return true;
        }
    }
    return TCustomControl::DialogKey(key, shift);
}

void TButton::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE && !m_spaceDown)
    {
        m_spaceDown = true;
        SetPressed(true);
    }
}

void TButton::KeyUp(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyUp(Key, Shift);
    if (Key == VK_SPACE && m_spaceDown)
    {
        m_spaceDown = false;
        SetPressed(false);
        Click();
    }
}

void TButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    m_mouseDown = true;
    SetPressed(true);
}

void TButton::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    if (m_mouseDown)
        SetPressed(ClientRect().Contains(TPoint(X, Y)));
}

void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    m_mouseDown = false;
    SetPressed(false);
}

void TButton::DoEnter()
{
    TCustomControl::DoEnter();
    // A focused button takes the default frame from the default button.
    if (TCustomForm* form = GetParentForm(this))
        InvalidateDefaultButtons(form);
}

void TButton::DoExit()
{
    m_mouseDown = false;
    m_spaceDown = false;
    SetPressed(false);
    TCustomControl::DoExit();
    if (TCustomForm* form = GetParentForm(this))
        InvalidateDefaultButtons(form);
}

void TButton::Paint()
{
    TCanvas* canvas = Canvas();
    HDC dc = canvas->Handle();
    RECT r = ClientRect();
    if (ActiveDefault())
    {
        // The default button's dark outline.
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (m_pressed)
    {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
        RECT face = r;
        InflateRect(&face, -1, -1);
        FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
    }
    else
    {
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (Enabled() ? 0 : DFCS_INACTIVE));
    }
    RECT text = r;
    InflateRect(&text, -2, -2);
    if (m_pressed)
        OffsetRect(&text, 1, 1);
    UINT format = CaptionFormat(dc, Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetBkMode(dc, TRANSPARENT);
    if (!Enabled())
        DrawEmbossedText(dc, Caption(), text, format);
    else
    {
        SetTextColor(dc, ColorToRGB(Font()->Color() == clWindowText ? clBtnText : Font()->Color()));
        DrawTextW(dc, Caption().c_str(), Caption().Length(), &text, format);
    }
    if (Focused())
    {
        RECT focus = ClientRect();
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

// ---- TCustomComboBox -------------------------------------------------------------------------

// The combo box's text box: keys go to the combo box first.
class TComboEdit : public TCustomEdit
{
public:
    TComboEdit(TComponent* AOwner, TCustomComboBox* combo) : TCustomEdit(AOwner), m_combo(combo) {}

protected:
    void KeyDown(WORD& Key, TShiftState Shift) override
    {
        m_combo->KeyDown(Key, Shift);
        if (Key != 0)
            TCustomEdit::KeyDown(Key, Shift);
    }
    void DoEnter() override
    {
        TCustomEdit::DoEnter();
        m_combo->DoEnter();
    }
    void DoExit() override
    {
        TCustomEdit::DoExit();
        m_combo->DoExit();
    }
    LRESULT DialogCode() override { return TCustomEdit::DialogCode() | m_combo->Perform(WM_GETDLGCODE, 0, 0); }
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        // A list-only box has no text to place a caret in: a press anywhere drops the list.
        if (Button != mbLeft || m_combo->Style() != csDropDownList)
        {
            TCustomEdit::MouseDown(Button, Shift, X, Y);
            return;
        }
        if (CanFocus() && !Focused())
            SetFocus();
        TCustomControl::MouseDown(Button, Shift, X, Y);
        m_combo->SetDroppedDown(!m_combo->DroppedDown());
    }

private:
    TCustomComboBox* m_combo;
};

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TWinControl(AOwner)
{
    m_edit = new TComboEdit(this, this);
    m_edit->SetParent(this);
    m_edit->SetBorderStyle(bsNone); // the combo's own edge frames it
    m_edit->OnChange = MakeClosure(this, &TCustomComboBox::EditChanged);
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(Left(), Top(), 145, 0);
    AdjustHeight();
}

void TCustomComboBox::AdjustHeight()
{
    // 21 pixels at the default font: the text's height and the box's own edge, and outside
    // that whatever frame the window has.
    TCanvas measure;
    measure.Font()->Assign(Font());
    SetHeight(measure.TextHeight(u"Ag") + 8 + Height() - ClientHeight());
    LayoutEdit();
}

TCustomComboBox::~TCustomComboBox()
{
    SetDroppedDown(false);
}

void TCustomComboBox::SetStyle(TComboBoxStyle style)
{
    if (style == m_style)
        return;
    SetDroppedDown(false);
    m_style = style;
    m_edit->SetReadOnly(style == csDropDownList);
    LayoutEdit();
    Invalidate();
}

TRect TCustomComboBox::FieldRect() const
{
    // Inside the box's own edge (two pixels sunken, one without Ctl3D), which stands inside
    // whatever frame its window has.
    TRect client = ClientRect();
    int inset = std::min({Ctl3D() ? 2 : 1, client.Width() / 2, client.Height() / 2});
    return TRect(client.left + inset, client.top + inset, client.right - inset, client.bottom - inset);
}

TRect TCustomComboBox::ButtonRect() const
{
    if (m_style == csSimple)
        return TRect();
    TRect field = FieldRect();
    int size = std::min(GetSystemMetrics(SM_CXVSCROLL), field.Width());
    return TRect(field.right - size, field.top, field.right, field.bottom);
}

void TCustomComboBox::LayoutEdit()
{
    TRect field = FieldRect();
    int right = m_style == csSimple ? field.right : ButtonRect().left;
    m_edit->SetBounds(field.left + 1, field.top, std::max(0, right - field.left - 1), field.Height());
}

void TCustomComboBox::DestroyWnd()
{
    SetDroppedDown(false);
    TWinControl::DestroyWnd();
}

void TCustomComboBox::Resized()
{
    TWinControl::Resized();
    LayoutEdit();
}

void TCustomComboBox::Ctl3DChanged()
{
    TWinControl::Ctl3DChanged();
    LayoutEdit();
}

void TCustomComboBox::FontChanged()
{
    TWinControl::FontChanged();
    LayoutEdit();
}

void TCustomComboBox::PaintWindow(HDC dc)
{
    TWinControl::PaintWindow(dc);
    RECT frame = ClientRect();
    DrawClientEdge(dc, frame, Ctl3D());
    TRect button = ButtonRect();
    if (button.IsEmpty())
        return;
    RECT r = button;
    DrawFrameControl(dc, &r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (DroppedDown() ? DFCS_PUSHED | DFCS_FLAT : 0) |
                                             (Enabled() ? 0 : DFCS_INACTIVE));
}

void TCustomComboBox::AddItem(const UnicodeString& item, TObject* object)
{
    size_t at = m_items.size();
    if (m_sorted)
        at = static_cast<size_t>(std::upper_bound(m_items.begin(), m_items.end(), item,
                                                  [](const UnicodeString& a, const UnicodeString& b)
                                                  {
                                                      return CompareStringW(0, NORM_IGNORECASE, a.c_str(), a.Length(),
                                                                            b.c_str(), b.Length()) == CSTR_LESS_THAN;
                                                  }) -
                                 m_items.begin());
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), item);
    m_objects.insert(m_objects.begin() + static_cast<std::ptrdiff_t>(at), object);
    if (m_itemIndex >= static_cast<int>(at))
        ++m_itemIndex;
    if (!m_updating && m_list)
        m_list->Invalidate();
}

void TCustomComboBox::ClearItems()
{
    m_items.clear();
    m_objects.clear();
    m_itemIndex = -1;
    if (m_list)
        m_list->Invalidate();
}

void TCustomComboBox::EndUpdate()
{
    if (m_updating > 0)
        --m_updating;
    if (!m_updating && m_list)
        m_list->Invalidate();
}

void TCustomComboBox::SetSorted(bool sorted)
{
    if (sorted == m_sorted)
        return;
    m_sorted = sorted;
    if (!sorted)
        return;
    std::vector<UnicodeString> items;
    std::vector<TObject*> objects;
    items.swap(m_items);
    objects.swap(m_objects);
    int picked = m_itemIndex;
    m_itemIndex = -1;
    for (size_t i = 0; i < items.size(); ++i)
    {
        AddItem(items[i], objects[i]);
        if (static_cast<int>(i) != picked)
            continue;
        for (size_t j = 0; j < m_items.size() && m_itemIndex < 0; ++j)
            if (m_items[j] == items[i] && m_objects[j] == objects[i])
                m_itemIndex = static_cast<int>(j);
    }
}

int TCustomComboBox::ItemIndex() const
{
    // The picked item while the text is still its text, else the first item with that text.
    if (m_itemIndex >= 0 && m_itemIndex < ItemCount() && m_items[static_cast<size_t>(m_itemIndex)] == Text())
        return m_itemIndex;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == Text())
            return static_cast<int>(i);
    return -1;
}

void TCustomComboBox::SetItemIndex(int index)
{
    if (index < 0 || index >= ItemCount())
        return;
    m_itemIndex = index;
    SetText(m_items[static_cast<size_t>(index)]);
}

int TCustomComboBox::MaxLength() const
{
    return m_edit->MaxLength();
}

void TCustomComboBox::SetMaxLength(int length)
{
    m_edit->SetMaxLength(length);
}

void TCustomComboBox::SelectAll()
{
    m_edit->SelectAll();
}

int TCustomComboBox::SelStart() const
{
    return m_edit->SelStart();
}

int TCustomComboBox::SelLength() const
{
    return m_edit->SelLength();
}

bool TCustomComboBox::ReadOnly() const
{
    return m_edit->ReadOnly();
}

void TCustomComboBox::SetText(const UnicodeString& text)
{
    // The box and the combo box hold the same text; the box's change notice does the rest.
    m_edit->SetText(text);
    if (m_edit->Text() != Caption())
        EditChanged(m_edit);
}

void TCustomComboBox::EditChanged(TObject*)
{
    if (m_settingText)
        return;
    m_settingText = true;
    TWinControl::SetText(m_edit->Text());
    m_settingText = false;
    Change();
}

void TCustomComboBox::Change()
{
    OnChange(this);
}

void TCustomComboBox::Select()
{
    OnSelect(this);
}

void TCustomComboBox::SetFocus()
{
    m_edit->SetFocus();
}

void TCustomComboBox::DoEnter()
{
    TWinControl::DoEnter();
}

void TCustomComboBox::DoExit()
{
    SetDroppedDown(false);
    TWinControl::DoExit();
}

void TCustomComboBox::PickItem(int index)
{
    if (index < 0 || index >= ItemCount())
        return;
    SetDroppedDown(false);
    m_itemIndex = index;
    SetText(m_items[static_cast<size_t>(index)]);
    m_edit->SelectAll();
    Select();
    Click();
}

void TCustomComboBox::SetDroppedDown(bool dropped)
{
    if (dropped == DroppedDown())
        return;
    if (!dropped)
    {
        TComboListForm* list = m_list;
        m_list = nullptr;
        list->Hide();
        list->Release();
        Invalidate();
        OnCloseUp(this);
        return;
    }
    if (m_style == csSimple || !GetParentForm(this))
        return;
    OnDropDown(this);
    m_list = new TComboListForm(Application, this);
    TPoint below = ClientToScreen(TPoint(-ClientOffset().x, Height() - ClientOffset().y));
    int rows = std::clamp(ItemCount(), 1, m_dropDownCount);
    m_list->SetBounds(below.x, below.y, Width(), rows * m_list->RowHeight() + 2);
    m_list->SetItemIndex(ItemIndex());
    m_list->Show();
    Invalidate();
}

void TCustomComboBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWinControl::MouseDown(Button, Shift, X, Y);
    if (Button == mbLeft && (ButtonRect().Contains(TPoint(X, Y)) || m_style == csDropDownList))
        SetDroppedDown(!DroppedDown());
}

void TCustomComboBox::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    if (Key == 0)
        return;
    bool alt = Shift.Contains(ssAlt);
    if (Key == VK_F4 || (alt && (Key == VK_DOWN || Key == VK_UP)))
    {
        SetDroppedDown(!DroppedDown());
        Key = 0;
        return;
    }
    if (m_list && (Key == VK_DOWN || Key == VK_UP))
    {
        m_list->SetItemIndex(std::clamp(m_list->ItemIndex() + (Key == VK_DOWN ? 1 : -1), 0, ItemCount() - 1));
        Key = 0;
        return;
    }
    if (m_list && Key == VK_RETURN)
    {
        PickItem(m_list->ItemIndex());
        Key = 0;
        return;
    }
    if (m_list && Key == VK_ESCAPE)
    {
        SetDroppedDown(false);
        Key = 0;
        return;
    }
    if (!m_list && m_style != csSimple && (Key == VK_DOWN || Key == VK_UP) && ItemCount() > 0)
    {
        int index = std::clamp(ItemIndex() + (Key == VK_DOWN ? 1 : -1), 0, ItemCount() - 1);
        PickItem(index);
        Key = 0;
    }
}

void TCustomComboBox::WndProc(TMessage& Message)
{
    if (Message.Msg == EM_SETREADONLY)
    {
        m_edit->SetReadOnly(Message.WParam != 0);
        Message.Result = TRUE;
        return;
    }
    TWinControl::WndProc(Message);
}

TComboListForm::TComboListForm(TComponent* AOwner, TCustomComboBox* combo) : TForm(AOwner), m_combo(combo)
{
    SetBorderStyle(bsNone);
    // Below the combo box, over everything, and the keyboard stays with the combo box.
    SetWindowStyle(WindowStyle() | WS_POPUP);
    SetWindowExStyle(WindowExStyle() | WS_EX_NOACTIVATE | WS_EX_TOPMOST);
    SetColor(clWindow);
    Font()->Assign(combo->Font());
    TCanvas measure;
    measure.Font()->Assign(Font());
    m_rowHeight = measure.TextHeight(u"Ag") + 2;
}

void TComboListForm::SetItemIndex(int index)
{
    m_itemIndex = index;
    int rows = std::max(1, (Height() - 2) / m_rowHeight);
    if (index >= 0 && index < m_topIndex)
        m_topIndex = index;
    else if (index >= m_topIndex + rows)
        m_topIndex = index - rows + 1;
    Invalidate();
}

int TComboListForm::ItemAt(int y) const
{
    int index = m_topIndex + (y - 1) / m_rowHeight;
    return y >= 1 && index < m_combo->ItemCount() ? index : -1;
}

void TComboListForm::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(clWindowFrame);
    canvas->FrameRect(TRect(0, 0, Width(), Height()));
    for (int i = m_topIndex; i < m_combo->ItemCount(); ++i)
    {
        int y = 1 + (i - m_topIndex) * m_rowHeight;
        if (y + m_rowHeight > Height() - 1)
            break;
        TRect row(1, y, Width() - 1, y + m_rowHeight);
        bool selected = i == m_itemIndex;
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(selected ? clHighlight : clWindow);
        canvas->FillRect(row);
        canvas->Font()->SetColor(selected ? clHighlightText : clWindowText);
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(3, y + 1, m_combo->Item(i));
    }
}

void TComboListForm::MouseMove(TShiftState Shift, int X, int Y)
{
    int index = ItemAt(Y);
    if (index >= 0 && index != m_itemIndex)
        SetItemIndex(index);
    TForm::MouseMove(Shift, X, Y);
}

void TComboListForm::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TForm::MouseUp(Button, Shift, X, Y);
    int index = ItemAt(Y);
    if (Button == mbLeft && index >= 0)
        m_combo->PickItem(index);
}

bool TComboListForm::DoMouseWheelDown(TShiftState, TPoint)
{
    int rows = std::max(1, (Height() - 2) / m_rowHeight);
    m_topIndex = std::clamp(m_topIndex + 1, 0, std::max(0, m_combo->ItemCount() - rows));
    Invalidate();
    return true;
}

bool TComboListForm::DoMouseWheelUp(TShiftState, TPoint)
{
    m_topIndex = std::max(0, m_topIndex - 1);
    Invalidate();
    return true;
}

// ---- TScrollBar ------------------------------------------------------------------------------

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner)
{
    SetBounds(Left(), Top(), 121, GetSystemMetrics(SM_CYHSCROLL));
    SetTabStop(true);
    Sync();
}

void TScrollBar::Sync()
{
    m_part.SetVertical(m_kind == sbVertical);
    m_part.SetBounds(TRect(0, 0, Width(), Height()));
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, m_min, m_max,
                    static_cast<UINT>(std::max(m_pageSize, 0)), m_position, 0};
    m_part.SetInfo(info);
}

void TScrollBar::SetKind(TScrollBarKind kind)
{
    if (kind == m_kind)
        return;
    m_kind = kind;
    SetBounds(Left(), Top(), Height(), Width());
    Sync();
    Invalidate();
}

void TScrollBar::SetPageSize(int value)
{
    value = std::clamp(value, 0, std::max(0, m_max - m_min + 1));
    if (value == m_pageSize)
        return;
    m_pageSize = value;
    SetParams(m_position, m_min, m_max);
    Sync();
    Invalidate();
}

void TScrollBar::SetParams(int position, int min, int max)
{
    max = std::max(max, min);
    int top = std::max(min, max - std::max(m_pageSize - 1, 0));
    position = std::clamp(position, min, top);
    bool changed = position != m_position;
    if (min == m_min && max == m_max && !changed)
        return;
    m_min = min;
    m_max = max;
    m_position = position;
    Sync();
    Invalidate();
    if (changed)
        OnChange(this);
}

void TScrollBar::Resized()
{
    TWinControl::Resized();
    Sync();
}

void TScrollBar::PaintWindow(HDC dc)
{
    Sync();
    m_part.Paint(dc, Enabled());
}

void TScrollBar::Scroll(int code)
{
    if (code < 0)
        return;
    int position = m_position;
    switch (code)
    {
    case SB_LINEUP:
        position -= SmallChange;
        break;
    case SB_LINEDOWN:
        position += SmallChange;
        break;
    case SB_PAGEUP:
        position -= LargeChange;
        break;
    case SB_PAGEDOWN:
        position += LargeChange;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = m_part.TrackPosition();
        break;
    case SB_TOP:
        position = m_min;
        break;
    case SB_BOTTOM:
        position = m_max;
        break;
    }
    OnScroll(this, static_cast<TScrollCode>(code), position);
    SetPosition(position);
}

void TScrollBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && Enabled())
    {
        Sync();
        Scroll(m_part.MouseDown(TPoint(X, Y)));
        if (m_part.Repeating())
            SetTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer, Vcl::ScrollBarPart::RepeatDelay, nullptr);
        Invalidate();
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TScrollBar::MouseMove(TShiftState Shift, int X, int Y)
{
    if (m_part.Pressed())
    {
        Scroll(m_part.MouseMove(TPoint(X, Y)));
        Invalidate();
    }
    TWinControl::MouseMove(Shift, X, Y);
}

void TScrollBar::ScrollRepeat()
{
    if (!m_part.Repeating())
    {
        KillTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer);
        return;
    }
    SetTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer, Vcl::ScrollBarPart::RepeatInterval, nullptr);
    Sync();
    int code = m_part.RepeatCode();
    if (code < 0)
        return;
    Scroll(code);
    Invalidate();
}

void TScrollBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && m_part.Pressed())
    {
        int code = m_part.MouseUp(TPoint(X, Y));
        KillTimer(Handle(), Vcl::ScrollBarPart::RepeatTimer);
        Scroll(code);
        m_part.EndTracking();
        Scroll(SB_ENDSCROLL);
        Invalidate();
    }
    TWinControl::MouseUp(Button, Shift, X, Y);
}

void TScrollBar::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    switch (Key)
    {
    case VK_UP:
    case VK_LEFT:
        Scroll(SB_LINEUP);
        break;
    case VK_DOWN:
    case VK_RIGHT:
        Scroll(SB_LINEDOWN);
        break;
    case VK_PRIOR:
        Scroll(SB_PAGEUP);
        break;
    case VK_NEXT:
        Scroll(SB_PAGEDOWN);
        break;
    case VK_HOME:
        Scroll(SB_TOP);
        break;
    case VK_END:
        Scroll(SB_BOTTOM);
        break;
    }
}
