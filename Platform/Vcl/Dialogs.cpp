#include "Platform/Vcl/Dialogs.h"

#include <algorithm>

namespace
{
constexpr int Margin = 12;
constexpr int IconSize = 32;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 23;
constexpr int ButtonGap = 6;
constexpr int MaxTextWidth = 420;

struct ButtonKind
{
    int result;
    const WCHAR* caption;
    WORD accelerator; // the virtual key of the underlined letter, 0 for none
};

std::vector<ButtonKind> ButtonsOf(UINT type)
{
    const ButtonKind ok{IDOK, u"OK", 0};
    const ButtonKind cancel{IDCANCEL, u"Cancel", 0};
    const ButtonKind abort{IDABORT, u"&Abort", 'A'};
    const ButtonKind retry{IDRETRY, u"&Retry", 'R'};
    const ButtonKind ignore{IDIGNORE, u"&Ignore", 'I'};
    const ButtonKind yes{IDYES, u"&Yes", 'Y'};
    const ButtonKind no{IDNO, u"&No", 'N'};
    switch (type & 0x0F)
    {
    case MB_OKCANCEL:
        return {ok, cancel};
    case MB_ABORTRETRYIGNORE:
        return {abort, retry, ignore};
    case MB_YESNOCANCEL:
        return {yes, no, cancel};
    case MB_YESNO:
        return {yes, no};
    case MB_RETRYCANCEL:
        return {retry, cancel};
    default:
        return {ok};
    }
}
} // namespace

TMessageForm::TMessageForm(const UnicodeString& text, const UnicodeString& caption, UINT type)
    : TForm(nullptr)
{
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(caption);
    m_icon = type & 0xF0;
    if (m_icon != MB_ICONHAND && m_icon != MB_ICONQUESTION && m_icon != MB_ICONEXCLAMATION &&
        m_icon != MB_ICONASTERISK)
        m_icon = 0;

    int textLeft = m_icon ? Margin + IconSize + Margin : Margin;
    m_message = new TLabel(this);
    m_message->SetShowAccelChar(false);
    m_message->SetWordWrap(true);
    m_message->SetAutoSize(false);
    m_message->SetParent(this);
    // Measure the wrapped text: at most MaxTextWidth wide, as wide as its longest line otherwise.
    RECT measure{0, 0, MaxTextWidth, 0};
    Canvas()->Font()->Assign(Font());
    DrawTextW(Canvas()->Handle(), text.c_str(), text.Length(), &measure,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    int textWidth = std::max<int>(measure.right, 1);
    int textHeight = std::max<int>(measure.bottom, 13);
    int textTop = Margin;
    if (m_icon && textHeight < IconSize)
        textTop += (IconSize - textHeight) / 2;
    m_message->SetBounds(textLeft, textTop, textWidth, textHeight);
    m_message->SetCaption(text);
    m_iconRect = m_icon ? TRect(Margin, Margin, Margin + IconSize, Margin + IconSize) : TRect();

    std::vector<ButtonKind> kinds = ButtonsOf(type);
    int rowWidth =
        static_cast<int>(kinds.size()) * ButtonWidth + static_cast<int>(kinds.size() - 1) * ButtonGap;
    int clientWidth = std::max({textLeft + textWidth + Margin, rowWidth + 2 * Margin, 160});
    int rowTop = std::max(textTop + textHeight, m_icon ? Margin + IconSize : 0) + Margin + 6;
    SetClientWidth(clientWidth);
    SetClientHeight(rowTop + ButtonHeight + Margin);

    UINT defaultIndex = (type >> 8) & 0x0F;
    if (defaultIndex >= kinds.size())
        defaultIndex = 0;
    int x = (clientWidth - rowWidth) / 2;
    for (size_t i = 0; i < kinds.size(); ++i)
    {
        auto* button = new TButton(this);
        button->SetParent(this);
        button->SetBounds(x, rowTop, ButtonWidth, ButtonHeight);
        button->SetCaption(kinds[i].caption);
        button->SetModalResult(kinds[i].result);
        button->Tag = kinds[i].accelerator;
        button->OnKeyDown = MakeClosure(this, &TMessageForm::ButtonKeyDown);
        if (i == defaultIndex)
            button->SetDefault(true);
        x += ButtonWidth + ButtonGap;
        m_buttons.push_back(button);
    }
    m_defaultResult = kinds[defaultIndex].result;
    for (const ButtonKind& kind : kinds)
    {
        if (kind.result == IDCANCEL)
            m_escapeResult = IDCANCEL;
    }
    if (kinds.size() == 1 && kinds[0].result == IDOK)
        m_escapeResult = IDOK;
    for (TButton* button : m_buttons)
        button->SetCancel(button->ModalResult() == m_escapeResult);
    SetActiveControl(m_buttons[defaultIndex]);
}

void TMessageForm::ButtonKeyDown(TObject*, WORD& Key, TShiftState Shift)
{
    if (Shift.Contains(ssCtrl) || Key == 0)
        return;
    for (TButton* button : m_buttons)
    {
        if (button->Tag != 0 && button->Tag == Key)
        {
            Key = 0;
            button->Click();
            return;
        }
    }
}

void TMessageForm::Dispatch(TMessage& Message)
{
    if (Message.Msg == WM_CLOSE)
    {
        // The close button answers as Escape does, and not at all in a box without Cancel.
        if (m_escapeResult != 0)
            SetModalResult(m_escapeResult);
        Message.Result = 0;
        return;
    }
    TForm::Dispatch(Message);
}

int TMessageForm::Execute()
{
    int result = ShowModal();
    for (TButton* button : m_buttons)
    {
        if (button->ModalResult() == result)
            return result;
    }
    // Ended otherwise (the application terminated): the answer Escape gives, else the default.
    return m_escapeResult != 0 ? m_escapeResult : m_defaultResult;
}

void TMessageForm::Paint()
{
    TForm::Paint();
    if (!m_icon)
        return;
    TCanvas* canvas = Canvas();
    TRect r = m_iconRect;
    canvas->Pen()->SetColor(clBlack);
    UnicodeString glyph;
    TColor face;
    switch (m_icon)
    {
    case MB_ICONHAND:
        face = clRed;
        glyph = u"\u00D7";
        break;
    case MB_ICONQUESTION:
        face = clBlue;
        glyph = u"?";
        break;
    case MB_ICONEXCLAMATION:
        face = clYellow;
        glyph = u"!";
        break;
    default:
        face = clBlue;
        glyph = u"i";
        break;
    }
    canvas->Brush()->SetColor(face);
    HDC dc = canvas->Handle();
    if (m_icon == MB_ICONEXCLAMATION)
    {
        POINT triangle[] = {
            {r.left + IconSize / 2, r.top + 1}, {r.right - 1, r.bottom - 2}, {r.left, r.bottom - 2}};
        Polygon(dc, triangle, 3);
    }
    else
    {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    canvas->Font()->SetHeight(-20);
    canvas->Font()->SetStyle(TFontStyles{fsBold});
    canvas->Font()->SetColor(m_icon == MB_ICONEXCLAMATION ? clBlack : clWhite);
    canvas->Brush()->SetStyle(bsClear);
    dc = canvas->Handle();
    RECT glyphRect = r;
    if (m_icon == MB_ICONEXCLAMATION)
        glyphRect.top += 6;
    DrawTextW(dc, glyph.c_str(), glyph.Length(), &glyphRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

namespace Vcl
{
int MessageBoxForm(const UnicodeString& text, const UnicodeString& caption, UINT type)
{
    TMessageForm* form = new TMessageForm(text, caption, type);
    int result;
    try
    {
        result = form->Execute();
    }
    catch (...)
    {
        form->Free();
        throw;
    }
    form->Free();
    return result;
}
} // namespace Vcl
