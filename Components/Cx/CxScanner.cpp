#include "Components/Cx/CxScanner.h"

#include "Components/XFileStream.h"
#include "Components/XStream.h"

#include <charconv>
#include <new>
#include <string>

namespace Cx
{
namespace
{
// The assertion box names this unit's header and the line of the requirement it checks.
constexpr const char* ScannerHeaderPath = "..\\Components\\Cx\\CxScanner.h";
constexpr int AssertLineSink = 251;
constexpr int AssertLineToken = 276;

// A source larger than this is refused: its length in code units must stay a u32 and the whole
// source is read with one call.
constexpr int64_t MaxSourceBytes = 0x7FFFFFF0;

bool IsLetter(WCHAR c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}
bool IsDigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}
bool IsNameChar(WCHAR c)
{
    return IsLetter(c) || IsDigit(c);
}
bool IsOctalDigit(WCHAR c)
{
    return c >= u'0' && c <= u'7';
}
// The value of c as a digit of an escape in base 16 or 8; -1 when it is none.
int EscapeDigitValue(WCHAR c, uint32_t base)
{
    if (base == 16)
        return HexDigitValue(c);
    return IsOctalDigit(c) ? c - u'0' : -1;
}

// The token's position is where the source stands; with no source, the first line and column of
// no source.
void PlaceToken(CxToken& token, const CxScannerState* state)
{
    if (!state)
    {
        token.Source = 0xFFFF;
        token.Line = 1;
        token.Column = 1;
        return;
    }
    token.Source = static_cast<uint16_t>(state->SourceIndex);
    token.Line = state->Line;
    token.Column = static_cast<uint16_t>(state->Column);
}
} // namespace

int HexDigitValue(WCHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// ---- CxSourceControl --------------------------------------------------------------------------

CxSourceControl::CxSourceControl(IMessageListener* listener) : m_Listener(listener)
{
    Reset();
}

CxSourceControl::~CxSourceControl() = default;

bool CxSourceControl::IsRunning()
{
    return m_Running;
}

void CxSourceControl::Stop()
{
    m_Running = false;
}

void CxSourceControl::Reset()
{
    m_Running = true;
    m_WarningCount = 0;
    m_ErrorCount = 0;
}

void CxSourceControl::SetListener(IMessageListener* listener)
{
    m_Listener = listener;
}

IMessageListener* CxSourceControl::GetListener()
{
    return m_Listener;
}

void CxSourceControl::Deliver(uint8_t kind, const WCHAR* text, const WCHAR* source, uint32_t line,
                              uint16_t column)
{
    if (!m_Listener)
        return;
    CxMessage message;
    message.Source = source;
    message.Kind = kind;
    message.Column = column;
    message.Line = line;
    message.Text = text;
    m_Listener->OnMessage(message);
}

void CxSourceControl::Message(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column)
{
    Deliver(CxMessage::KindMessage, text, source, line, column);
}

void CxSourceControl::Warning(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column)
{
    if (m_WarningCount >= m_WarningLimit)
    {
        Fatal(u"Too many warnings.", source, line, column);
        return;
    }
    ++m_WarningCount;
    Deliver(CxMessage::KindWarning, text, source, line, column);
}

void CxSourceControl::Error(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column)
{
    if (m_ErrorCount >= m_ErrorLimit)
    {
        Fatal(u"Too many errors.", source, line, column);
        return;
    }
    ++m_ErrorCount;
    Deliver(CxMessage::KindError, text, source, line, column);
}

void CxSourceControl::Fatal(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column)
{
    m_Running = false;
    Deliver(CxMessage::KindFatal, text, source, line, column);
}

uint32_t CxSourceControl::WarningCount()
{
    return m_WarningCount;
}

uint32_t CxSourceControl::ErrorCount()
{
    return m_ErrorCount;
}

// ---- CxScanner: sources -----------------------------------------------------------------------

CxScanner::CxScanner(ISourceControl* control) : m_Control(control)
{
    m_Token.Text = &m_Empty.Header;
}

CxScanner::~CxScanner()
{
    Close();
}

void CxScanner::PushState(CxScannerState* state, const WCHAR* name)
{
    state->SourceIndex = static_cast<int32_t>(m_Names.Add(name ? name : u""));
    if (m_State)
    {
        m_Includes.Add(m_State);
    }
    else
    {
        // After a complete scan the end markers are still held: a new source starts afresh.
        if (m_Current == CharEndOfSource || m_Current == CharEndOfInput)
            m_Current = u' ';
        if (m_LookAhead == CharEndOfSource || m_LookAhead == CharEndOfInput)
            m_LookAhead = u' ';
    }
    m_State = state;
}

bool CxScanner::ReadSource(XStream& stream, const WCHAR* name)
{
    int64_t size = stream.GetSize() - stream.GetPosition();
    if (size < 0)
        size = 0;
    // Only whole UTF-16 code units make a source.
    if (size > MaxSourceBytes || (size & 1) != 0)
    {
        ReportFatal(u"%s%s", u"Error reading file: ", name ? name : u"");
        return false;
    }
    uint32_t bytes = static_cast<uint32_t>(size);
    uint32_t units = bytes / 2;
    CxScannerState* state = new (std::nothrow) CxScannerState;
    WCHAR* buffer = state ? new (std::nothrow) WCHAR[units + SourceReserve + 2] : nullptr;
    if (!buffer)
    {
        delete state;
        ReportFatal(u"%s%s", u"Error reading file: ", name ? name : u"");
        return false;
    }
    state->Buffer = buffer;
    for (uint32_t i = 0; i < SourceReserve; ++i)
        buffer[i] = 0;
    buffer[units + SourceReserve] = 0;
    buffer[units + SourceReserve + 1] = 0;
    if (bytes && stream.Read(buffer + SourceReserve, bytes) != bytes)
    {
        delete state;
        ReportFatal(u"%s%s", u"Error reading file: ", name ? name : u"");
        return false;
    }
    state->Length = units + SourceReserve;
    state->Position = SourceReserve;
    // The byte-order mark FF FE; the text is UTF-16 little-endian with or without it.
    if (units && buffer[SourceReserve] == 0xFEFF)
        buffer[SourceReserve] = u' ';
    PushState(state, name);
    return true;
}

void CxScanner::OpenStream(XStream& stream, const WCHAR* name)
{
    ReadSource(stream, name);
}

void CxScanner::OpenFile(const WCHAR* name)
{
    XFileStream* file = nullptr;
    try
    {
        file = new XFileStream(name ? name : u"", 4); // read-only: a read-only install must load
    }
    catch (const char*)
    {
        ReportFatal(u"%s%s", u"Can't open file: ", name ? name : u"");
        return;
    }
    ReadSource(*file, name);
    delete file;
}

void CxScanner::OpenText(const WCHAR* text, uint32_t length, const WCHAR* name)
{
    if (!text)
        length = 0;
    CxScannerState* state = new CxScannerState;
    state->Buffer = new WCHAR[length + SourceReserve + 2]();
    for (uint32_t i = 0; i < length; ++i)
        state->Buffer[SourceReserve + i] = text[i];
    state->Length = length + SourceReserve;
    state->Position = SourceReserve;
    PushState(state, name);
}

void CxScanner::Close()
{
    m_Current = u' ';
    m_LookAhead = u' ';
    delete m_State;
    m_State = nullptr;
    m_Includes.Clear();
    m_Names.Clear();
    // The token's text may have lived in a buffer just freed.
    m_Token.Kind = TokenEnd;
    m_Token.Text = &m_Empty.Header;
}

const WCHAR* CxScanner::GetSourceName(uint32_t index)
{
    if (index >= m_Names.GetCount())
        return u"";
    const WCHAR* name = m_Names[index];
    return name ? name : u"";
}

const WCHAR* CxScanner::GetCurrentSourceName()
{
    if (!m_State || m_State->SourceIndex < 0)
        return u"";
    return GetSourceName(static_cast<uint32_t>(m_State->SourceIndex));
}

void CxScanner::NextChar()
{
    m_Current = m_LookAhead;
    for (;;)
    {
        CxScannerState* state = m_State;
        if (!state)
        {
            m_LookAhead = CharEndOfInput;
            return;
        }
        if (state->Position == state->Length)
        {
            // The end of this source is delivered once, as its own character.
            m_LookAhead = CharEndOfSource;
            ++state->Position;
            return;
        }
        if (state->Position > state->Length)
        {
            delete state;
            m_State = nullptr;
            uint32_t count = m_Includes.GetCount();
            if (count == 0)
            {
                m_LookAhead = CharEndOfInput;
                return;
            }
            // Resume the suspended source: take it off the stack without deleting it.
            m_State = m_Includes[count - 1];
            m_Includes[count - 1] = nullptr;
            m_Includes.SetCount(count - 1);
            continue;
        }
        if (m_Current == u'\n')
        {
            ++state->Line;
            state->Column = 1;
        }
        else
        {
            ++state->Column;
        }
        WCHAR c = state->Buffer[state->Position++];
        if (c < 32 && c != u'\n')
            c = u' '; // tabs, carriage returns and stray control codes read as spaces
        m_LookAhead = c;
        return;
    }
}

// ---- CxScanner: tokens ------------------------------------------------------------------------

void CxScanner::BeginToken(uint32_t kind)
{
    m_Token.Kind = kind;
    m_Token.Flags = 0;
    m_Token.Value.Integer = 0;
    PlaceToken(m_Token, m_State);
    if (!m_State)
    {
        m_Token.Text = &m_Empty.Header;
        return;
    }
    if (m_State->TokensOnLine == 0)
        m_Token.Flags |= CxToken::FlagFirstOnLine;
    ++m_State->TokensOnLine;
    // The record overwrites consumed characters at the head of the buffer (see SourceReserve).
    CxText* text = reinterpret_cast<CxText*>(m_State->Buffer);
    text->Length = 0;
    text->Reserved = 0;
    text->Chars()[0] = 0;
    m_Token.Text = text;
}

void CxScanner::AppendChar(WCHAR c)
{
    CxText* text = m_Token.Text;
    if (text == &m_Empty.Header)
        return;
    text->Chars()[text->Length++] = c;
    text->Chars()[text->Length] = 0;
}

void CxScanner::AppendWhile(bool (*accept)(WCHAR))
{
    while (accept(m_LookAhead))
    {
        NextChar();
        AppendChar(m_Current);
    }
}

void CxScanner::LineEnded()
{
    if (m_State)
        m_State->TokensOnLine = 0;
}

CxToken* CxScanner::MakeEndToken()
{
    if (m_Control)
        m_Control->Stop();
    m_Token.Kind = TokenEnd;
    m_Token.Text = &m_Empty.Header;
    m_Token.Flags = 0;
    m_Token.Value.Integer = 0;
    PlaceToken(m_Token, m_State);
    return &m_Token;
}

bool CxScanner::SkipComment()
{
    // Remember where the comment began for the report of an unterminated one.
    uint16_t source = m_State ? static_cast<uint16_t>(m_State->SourceIndex) : 0xFFFF;
    uint32_t line = m_State ? m_State->Line : 1;
    uint16_t column = m_State ? static_cast<uint16_t>(m_State->Column) : 1;

    if (m_LookAhead == u'/')
    {
        while (m_LookAhead != u'\n' && m_LookAhead != CharEndOfSource && m_LookAhead != CharEndOfInput)
            NextChar();
        if (m_LookAhead == u'\n')
        {
            NextChar();
            LineEnded();
        }
        return true;
    }

    NextChar(); // the '*'
    uint32_t level = 1;
    for (;;)
    {
        NextChar();
        WCHAR c = m_Current;
        if (c == CharEndOfSource || c == CharEndOfInput)
        {
            m_Token.Kind = TokenEnd;
            m_Token.Text = &m_Empty.Header;
            m_Token.Source = source;
            m_Token.Line = line;
            m_Token.Column = column;
            ReportError(&m_Token, u"Unexpected end of file in comment started on line %i",
                        static_cast<int>(line));
            MakeEndToken();
            return false;
        }
        if (c == u'\n')
        {
            LineEnded();
        }
        else if (c == u'*' && m_LookAhead == u'/')
        {
            NextChar();
            if (--level == 0)
                return true;
        }
        else if (m_NestedComments && c == u'/' && m_LookAhead == u'*')
        {
            NextChar();
            ++level;
        }
    }
}

CxToken* CxScanner::SkipToTokenStart(uint8_t& spaceFlag)
{
    for (;;)
    {
        if (!m_State || m_Current == CharEndOfInput)
            return MakeEndToken();
        NextChar();
        spaceFlag = m_Current == u' ' ? CxToken::FlagSpaceBefore : 0;
        while (m_Current == u' ')
            NextChar();
        if (!m_State)
            return MakeEndToken();

        WCHAR c = m_Current;
        if (c == CharEndOfSource)
            continue; // a suspended source resumes
        if (c == u'/' && (m_LookAhead == u'*' || m_LookAhead == u'/'))
        {
            if (!SkipComment())
                return &m_Token;
            continue;
        }
        return nullptr;
    }
}

bool CxScanner::BeginWord(uint8_t spaceFlag)
{
    WCHAR c = m_Current;
    BeginToken(TokenEnd);
    m_Token.Flags |= spaceFlag;
    AppendChar(c);
    if (!IsLetter(c))
        return false;
    AppendWhile(IsNameChar);
    m_Token.Kind = TokenIdentifier;
    return true;
}

CxToken* CxScanner::NextToken()
{
    uint8_t spaceFlag = 0;
    if (CxToken* end = SkipToTokenStart(spaceFlag))
        return end;

    WCHAR c = m_Current;
    if (c == u'"' || c == u'\'')
    {
        CxToken* token = ScanConstant(c);
        if (token->Kind != TokenEnd)
            token->Flags |= spaceFlag;
        if (c == u'\'' && token->Kind == TokenString)
            token->Kind = TokenChar;
        return token;
    }
    if (IsDigit(c) || (c == u'.' && IsDigit(m_LookAhead)))
    {
        CxToken* token = ScanNumber();
        token->Flags |= spaceFlag;
        return token;
    }
    if (BeginWord(spaceFlag))
        return &m_Token;

    // An operator of one character, or of two or three when the look-ahead continues it.
    auto take = [this](WCHAR next)
    {
        if (m_LookAhead != next)
            return false;
        NextChar();
        AppendChar(m_Current);
        return true;
    };
    uint32_t kind = TokenEnd;
    switch (c)
    {
    case u'\n':
        kind = TokenNewLine;
        LineEnded();
        break;
    case u'!':
        kind = take(u'=') ? TokenNotEqual : TokenNot;
        break;
    case u'#':
        kind = TokenHash;
        break;
    case u'%':
        kind = take(u'=') ? TokenPercentAssign : TokenPercent;
        break;
    case u'&':
        kind = take(u'=') ? TokenAndAssign : take(u'&') ? TokenLogicalAnd : TokenAmpersand;
        break;
    case u'(':
        kind = TokenOpenParen;
        break;
    case u')':
        kind = TokenCloseParen;
        break;
    case u'*':
        kind = take(u'=') ? TokenMulAssign : TokenStar;
        break;
    case u'+':
        kind = take(u'+') ? TokenIncrement : take(u'=') ? TokenAddAssign : TokenPlus;
        break;
    case u',':
        kind = TokenComma;
        break;
    case u'-':
        kind = take(u'-') ? TokenDecrement : take(u'=') ? TokenSubAssign : TokenMinus;
        break;
    case u'.':
        kind = TokenDot;
        break;
    case u'/':
        kind = take(u'=') ? TokenDivAssign : TokenSlash;
        break;
    case u':':
        kind = take(u':') ? TokenScope : TokenColon;
        break;
    case u';':
        kind = TokenSemicolon;
        break;
    case u'<':
        if (take(u'<'))
            kind = take(u'=') ? TokenShiftLeftAssign : TokenShiftLeft;
        else
            kind = take(u'=') ? TokenLessEqual : TokenLess;
        break;
    case u'=':
        kind = take(u'=') ? TokenEqual : TokenAssign;
        break;
    case u'>':
        if (take(u'>'))
            kind = take(u'=') ? TokenShiftRightAssign : TokenShiftRight;
        else
            kind = take(u'=') ? TokenGreaterEqual : TokenGreater;
        break;
    case u'?':
        kind = TokenQuestion;
        break;
    case u'[':
        kind = TokenOpenBracket;
        break;
    case u'\\':
        kind = TokenBackslash;
        break;
    case u']':
        kind = TokenCloseBracket;
        break;
    case u'^':
        kind = take(u'=') ? TokenXorAssign : TokenCaret;
        break;
    case u'{':
        kind = TokenOpenBrace;
        break;
    case u'|':
        kind = take(u'=') ? TokenOrAssign : take(u'|') ? TokenLogicalOr : TokenBar;
        break;
    case u'}':
        kind = TokenCloseBrace;
        break;
    case u'~':
        kind = TokenTilde;
        break;
    default:
        return ReportError(&m_Token, u"%s '%c' (0x%x)", u"Illegal character", static_cast<int>(c),
                           static_cast<unsigned>(c));
    }
    m_Token.Kind = kind;
    return &m_Token;
}

CxToken* CxScanner::ScanNumber()
{
    BeginToken(TokenInteger);
    bool bad = false;
    bool tooLarge = false;
    uint64_t value = 0;

    if (m_Current == u'0' && IsOctalDigit(m_LookAhead))
    {
        AppendChar(m_Current);
        while (IsOctalDigit(m_LookAhead))
        {
            NextChar();
            AppendChar(m_Current);
            if (value > (UINT64_MAX >> 3))
                tooLarge = true;
            value = (value << 3) | static_cast<uint64_t>(m_Current - u'0');
        }
        // 8 and 9 cannot continue an octal number.
        if (IsLetter(m_LookAhead) || IsDigit(m_LookAhead))
            bad = true;
    }
    else
    {
        bool isFloat = false;
        AppendChar(m_Current);
        if (m_Current == u'.')
            isFloat = true;
        AppendWhile(IsDigit);
        if (!isFloat && m_LookAhead == u'.')
        {
            isFloat = true;
            NextChar();
            AppendChar(m_Current);
            AppendWhile(IsDigit);
        }
        if (m_LookAhead == u'e' || m_LookAhead == u'E')
        {
            isFloat = true;
            NextChar();
            AppendChar(m_Current);
            if (m_LookAhead == u'+' || m_LookAhead == u'-')
            {
                NextChar();
                AppendChar(m_Current);
            }
            if (!IsDigit(m_LookAhead))
                bad = true;
            AppendWhile(IsDigit);
        }
        if (IsLetter(m_LookAhead))
            bad = true;

        const CxText* text = m_Token.Text;
        if (!bad && isFloat)
        {
            // The C locale's shape whatever the process locale: convert from plain ASCII.
            std::string ascii(text->Length, '0');
            for (uint32_t i = 0; i < text->Length; ++i)
                ascii[i] = static_cast<char>(text->Chars()[i]);
            long double number = 0;
            std::from_chars(ascii.data(), ascii.data() + ascii.size(), number);
            m_Token.Kind = TokenFloat;
            m_Token.Value.Float = number;
            return &m_Token;
        }
        if (!bad)
        {
            for (uint32_t i = 0; i < text->Length; ++i)
            {
                uint64_t digit = static_cast<uint64_t>(text->Chars()[i] - u'0');
                if (value > (UINT64_MAX - digit) / 10)
                    tooLarge = true;
                value = value * 10 + digit;
            }
        }
    }

    if (bad)
    {
        m_Token.Kind = TokenEnd;
        return ReportError(&m_Token, u"Incorrent number format");
    }
    m_Token.Value.Integer = value;
    m_Token.Kind = value <= 0xFFFFFFFFu ? TokenInteger : TokenLongInteger;
    if (tooLarge)
    {
        m_Token.Kind = TokenEnd;
        return ReportError(&m_Token, u"Numeric constant too large");
    }
    return &m_Token;
}

CxToken* CxScanner::ScanConstant(WCHAR quote)
{
    if (!m_State)
        return MakeEndToken();
    BeginToken(TokenString);
    for (;;)
    {
        NextChar();
        WCHAR c = m_Current;
        if (c == quote)
            return &m_Token;
        if (c == u'\n' || c == CharEndOfSource || c == CharEndOfInput)
        {
            ReportError(&m_Token, u"Unterminated string or character constant");
            return MakeEndToken();
        }
        if (c != u'\\')
        {
            AppendChar(c);
            continue;
        }

        NextChar();
        c = m_Current;
        uint32_t value = c;
        bool tooLarge = false;
        switch (c)
        {
        case u'n':
            value = 10;
            break;
        case u'a':
            value = 7;
            break;
        case u'b':
            value = 8;
            break;
        case u'f':
            value = 12;
            break;
        case u'r':
            value = 13;
            break;
        case u't':
            value = 9;
            break;
        case u'v':
            value = 11;
            break;
        case u'0':
            value = 0;
            break;
        case u'x':
        case u'X':
            value = EscapeDigits(0, 16, tooLarge);
            break;
        case u'1':
        case u'2':
        case u'3':
        case u'4':
        case u'5':
        case u'6':
        case u'7':
            value = EscapeDigits(static_cast<uint32_t>(c - u'0'), 8, tooLarge);
            break;
        case u'\n':
        case CharEndOfSource:
        case CharEndOfInput:
            ReportError(&m_Token, u"Unterminated string or character constant");
            return MakeEndToken();
        default:
            break; // any other escaped character stands for itself
        }
        if (tooLarge)
            ReportError(&m_Token, u"Numeric constant too large");
        AppendChar(static_cast<WCHAR>(value));
    }
}

uint32_t CxScanner::EscapeDigits(uint32_t value, uint32_t base, bool& tooLarge)
{
    for (int digit; (digit = EscapeDigitValue(m_LookAhead, base)) >= 0;)
    {
        NextChar();
        value = value * base + static_cast<uint32_t>(digit);
        if (value > 0xFFFF)
        {
            tooLarge = true;
            value = 0xFFFF; // saturates: the remaining digits are consumed without overflow
        }
    }
    return value;
}

CxToken* CxScanner::ScanUntil(WCHAR terminator)
{
    if (!m_State)
        return MakeEndToken();
    BeginToken(TokenString);
    for (;;)
    {
        NextChar();
        WCHAR c = m_Current;
        if (c == terminator)
            return &m_Token;
        if (c == CharEndOfSource || c == CharEndOfInput)
        {
            ReportError(&m_Token, u"Unterminated string or character constant");
            return MakeEndToken();
        }
        AppendChar(c);
    }
}

// ---- CxScanner: reporting ---------------------------------------------------------------------

void CxScanner::Report(bool fatal, CxToken* token, const WCHAR* format, va_list args)
{
    if (!m_Control)
    {
        XDebug::AssertFailed(ScannerHeaderPath, AssertLineSink, u"Assertion failure!");
        return;
    }
    WCHAR text[2048];
    text[0] = 0;
    Platform::FormatW(text, 2048, format, args);
    if (fatal)
    {
        if (m_State)
            m_Control->Fatal(text, GetCurrentSourceName(), m_State->Line,
                             static_cast<uint16_t>(m_State->Column));
        else
            m_Control->Fatal(text, u"", UnknownLine, UnknownColumn);
        return;
    }
    if (!token)
    {
        XDebug::AssertFailed(ScannerHeaderPath, AssertLineToken, u"Assertion failure!");
        m_Control->Error(text, u"", UnknownLine, UnknownColumn);
        return;
    }
    m_Control->Error(text, GetSourceName(token->Source), token->Line, token->Column);
}

void CxScanner::ReportFatal(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    Report(true, nullptr, format, args);
    va_end(args);
}

CxToken* CxScanner::ReportError(CxToken* token, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    Report(false, token, format, args);
    va_end(args);
    return token;
}

} // namespace Cx
