// A small front end for text formats: a diagnostics sink that counts and forwards messages, and
// a character scanner over UTF-16 sources with a stack of nested sources (includes), one
// character of look-ahead and a C-like tokenizer. Derived scanners replace only NextToken.
//
// Nothing here throws: every diagnostic goes to the sink, and a failed open or a scan error shows
// up as the end token (kind 0) on the next scan.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XPtrArray.h"
#include "Platform/Win32/Windows.h"

#include <cstdarg>
#include <cstdint>

class XStream;

namespace Cx
{
constexpr uint32_t UnknownLine = 0xFFFFFFFFu;
constexpr uint16_t UnknownColumn = 0xFFFF;

// The value of a hexadecimal digit of either case; -1 for any other character.
int HexDigitValue(WCHAR c);

// One diagnostic; lives only for the duration of IMessageListener::OnMessage.
struct CxMessage
{
    enum Kinds : uint8_t
    {
        KindMessage = 0,
        KindWarning = 1,
        KindError = 2,
        KindFatal = 3
    };

    XString Source;
    uint8_t Kind = KindMessage;
    uint16_t Column = UnknownColumn;
    uint32_t Line = UnknownLine;
    XString Text;
};

class IMessageListener
{
public:
    virtual void OnMessage(const CxMessage& message) = 0;

protected:
    ~IMessageListener() = default;
};

class ISourceControl
{
public:
    virtual bool IsRunning() = 0;
    virtual void Stop() = 0;
    virtual void Reset() = 0;
    virtual void SetListener(IMessageListener* listener) = 0;
    virtual IMessageListener* GetListener() = 0;
    virtual void Message(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) = 0;
    virtual void Warning(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) = 0;
    virtual void Error(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) = 0;
    virtual void Fatal(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) = 0;
    virtual uint32_t WarningCount() = 0;
    virtual uint32_t ErrorCount() = 0;

protected:
    ~ISourceControl() = default;
};

// Counts warnings and errors and hands each diagnostic to the listener, when there is one.
// Past the warning limit (256) or the error limit (64) a diagnostic turns into the fatal
// "Too many warnings." / "Too many errors." and is neither counted nor delivered.
class CxSourceControl : public ISourceControl
{
public:
    explicit CxSourceControl(IMessageListener* listener = nullptr);
    virtual ~CxSourceControl();
    CxSourceControl(const CxSourceControl&) = delete;
    CxSourceControl& operator=(const CxSourceControl&) = delete;

    bool IsRunning() override;
    void Stop() override;
    // Running again with both counts at 0.
    void Reset() override;
    void SetListener(IMessageListener* listener) override;
    IMessageListener* GetListener() override;
    // Delivered as kind 0, never counted.
    void Message(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) override;
    void Warning(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) override;
    // Counted; an error leaves the sink running.
    void Error(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) override;
    // Stops the sink, then delivers kind 3.
    void Fatal(const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column) override;
    uint32_t WarningCount() override;
    uint32_t ErrorCount() override;

private:
    void Deliver(uint8_t kind, const WCHAR* text, const WCHAR* source, uint32_t line, uint16_t column);

    IMessageListener* m_Listener = nullptr;
    bool m_Running = false;
    uint32_t m_WarningLimit = 256;
    uint32_t m_ErrorLimit = 64;
    uint32_t m_WarningCount = 0;
    uint32_t m_ErrorCount = 0;
};

// Code units set aside at the head of every source buffer: the token text record is written
// there, in place, over characters that have already been consumed. Eight units leave room for
// the record's header, the one look-ahead character that may be carried over from a suspended
// source, and the terminator, so the record never reaches a character not yet read.
constexpr uint32_t SourceReserve = 8;

// One open source; the buffer is owned.
struct CxScannerState
{
    CxScannerState() = default;
    ~CxScannerState() { delete[] Buffer; }
    CxScannerState(const CxScannerState&) = delete;
    CxScannerState& operator=(const CxScannerState&) = delete;

    WCHAR* Buffer = nullptr;
    // Code units that belong to the source, reserve included.
    uint32_t Length = 0;
    // Index of the next code unit to read.
    uint32_t Position = 0;
    uint32_t Line = 1;
    uint32_t Column = 1;
    uint32_t TokensOnLine = 0;
    int32_t SourceIndex = -1;
};

// A token's text: {u32 length in code units; u32 reserved; the units, NUL-terminated}.
struct CxText
{
    uint32_t Length;
    uint32_t Reserved;

    const WCHAR* Chars() const { return reinterpret_cast<const WCHAR*>(this + 1); }
    WCHAR* Chars() { return reinterpret_cast<WCHAR*>(this + 1); }
};
static_assert(sizeof(CxText) == 4 * sizeof(WCHAR), "the text record's header takes four code units");

// Token kinds. Kind 0 is the end of input or an error.
enum CxTokenKind : uint32_t
{
    TokenEnd = 0,
    TokenIdentifier = 0x10000,
    TokenString = 0x42000,
    TokenChar = 0x41102,
    TokenInteger = 0x41107,     // value fits in 32 bits
    TokenLongInteger = 0x41109, // value needs 64 bits
    TokenFloat = 0x4120C,
    TokenNewLine = 0x22003,
    TokenNot = 0x20803,
    TokenNotEqual = 0x20202,
    TokenHash = 0x22001,
    TokenPercent = 0x20405,
    TokenPercentAssign = 0x20104,
    TokenAmpersand = 0x20407,
    TokenAndAssign = 0x20109,
    TokenLogicalAnd = 0x20801,
    TokenOpenParen = 0x21000,
    TokenCloseParen = 0x21001,
    TokenStar = 0x20401,
    TokenMulAssign = 0x20102,
    TokenPlus = 0x20404,
    TokenIncrement = 0x2040C,
    TokenAddAssign = 0x20105,
    TokenComma = 0x21006,
    TokenMinus = 0x20403,
    TokenDecrement = 0x2040E,
    TokenSubAssign = 0x20106,
    TokenDot = 0x21008,
    TokenSlash = 0x20402,
    TokenDivAssign = 0x20103,
    TokenColon = 0x21007,
    TokenScope = 0x21010,
    TokenSemicolon = 0x21005,
    TokenLess = 0x24001,
    TokenLessEqual = 0x24003,
    TokenShiftLeft = 0x2040A,
    TokenShiftLeftAssign = 0x20108,
    TokenAssign = 0x20101,
    TokenEqual = 0x20201,
    TokenGreater = 0x24002,
    TokenGreaterEqual = 0x24004,
    TokenShiftRight = 0x2040B,
    TokenShiftRightAssign = 0x20107,
    TokenQuestion = 0x21013,
    TokenOpenBracket = 0x2100B,
    TokenBackslash = 0x22002,
    TokenCloseBracket = 0x2100C,
    TokenCaret = 0x20406,
    TokenXorAssign = 0x2010B,
    TokenOpenBrace = 0x21003,
    TokenBar = 0x20408,
    TokenOrAssign = 0x2010A,
    TokenLogicalOr = 0x20802,
    TokenCloseBrace = 0x21004,
    TokenTilde = 0x20409,
};

// The scanner's current token, overwritten by the next scan. Its text lives in the current
// source's buffer (or, for the end token, in the scanner) and is valid until then.
struct CxToken
{
    enum Flags : uint8_t
    {
        FlagSpaceBefore = 1,
        FlagFirstOnLine = 2
    };

    uint32_t Kind = TokenEnd;
    CxText* Text = nullptr;
    uint16_t Source = 0xFFFF;
    uint16_t Column = 1;
    uint32_t Line = 1;
    uint8_t Flags = 0;
    union
    {
        uint64_t Integer;
        long double Float; // 80-bit extended on this target
    } Value{};
};

class IScanner
{
public:
    virtual void OpenStream(XStream& stream, const WCHAR* name) = 0;
    virtual void OpenFile(const WCHAR* name) = 0;
    virtual void OpenText(const WCHAR* text, uint32_t length, const WCHAR* name) = 0;
    virtual CxToken* NextToken() = 0;
    virtual CxToken* ScanConstant(WCHAR quote) = 0;
    virtual CxToken* ScanUntil(WCHAR terminator) = 0;
    virtual void Close() = 0;
    virtual const WCHAR* GetSourceName(uint32_t index) = 0;

protected:
    ~IScanner() = default;
};

// Characters the scanner delivers besides the source's own: the end of one source and the end
// of all input. Every other code unit below 32 except the line feed reads as a space.
constexpr WCHAR CharEndOfSource = 0;
constexpr WCHAR CharEndOfInput = 1;

class CxScanner : public IScanner
{
public:
    // The sink is required and not owned.
    explicit CxScanner(ISourceControl* control);
    virtual ~CxScanner();
    CxScanner(const CxScanner&) = delete;
    CxScanner& operator=(const CxScanner&) = delete;

    // Reads the stream from its position to its end as UTF-16 little-endian text; a leading
    // FF FE reads as a space. An odd number of bytes is not UTF-16 and is refused like a failed
    // read. An open source is suspended and resumes after the new one has ended.
    void OpenStream(XStream& stream, const WCHAR* name) override;
    // Opens the file read-only and reads it as OpenStream does; a failure is reported as fatal
    // ("Can't open file: ", "Error reading file: ") and leaves nothing opened.
    void OpenFile(const WCHAR* name) override;
    void OpenText(const WCHAR* text, uint32_t length, const WCHAR* name) override;
    CxToken* NextToken() override;
    CxToken* ScanConstant(WCHAR quote) override;
    CxToken* ScanUntil(WCHAR terminator) override;
    void Close() override;
    // The name's text; an empty text for an index not below the count.
    const WCHAR* GetSourceName(uint32_t index) override;
    virtual void NextChar();

    // Formats like wvsprintfW into 2,048 units and hands the text to the sink's Fatal with the
    // current source's position.
    void ReportFatal(const WCHAR* format, ...);
    // As ReportFatal, through the sink's Error with the token's position; returns the token.
    CxToken* ReportError(CxToken* token, const WCHAR* format, ...);
    // Stops the sink; the end token, kind 0 with an empty text.
    CxToken* MakeEndToken();
    const WCHAR* GetCurrentSourceName();

    bool GetNestedComments() const { return m_NestedComments; }
    void SetNestedComments(bool nested) { m_NestedComments = nested; }
    WCHAR GetCurrentChar() const { return m_Current; }
    WCHAR GetLookAhead() const { return m_LookAhead; }
    const CxScannerState* GetCurrentState() const { return m_State; }
    uint32_t GetIncludeDepth() const { return m_Includes.GetCount(); }
    ISourceControl* GetSourceControl() const { return m_Control; }

protected:
    // Takes over a filled state and makes it current, suspending the open source.
    void PushState(CxScannerState* state, const WCHAR* name);
    // The token's position from the current source; counts it on its line; empty text in place.
    void BeginToken(uint32_t kind);
    void AppendChar(WCHAR c);
    // Appends look-ahead characters for as long as accept takes them.
    void AppendWhile(bool (*accept)(WCHAR));
    // Moves to the first character of the next token, past spaces, comments and the ends of
    // suspended sources, and tells in spaceFlag whether a space came before it. Null when that
    // character is current; otherwise the token to return (the end token).
    CxToken* SkipToTokenStart(uint8_t& spaceFlag);
    // Begins a token with the current character and the space flag. A letter or '_' starts an
    // identifier, which takes the letters, digits and '_' that follow: true. Otherwise the token
    // holds the one character and its kind is the caller's to set.
    bool BeginWord(uint8_t spaceFlag);
    // Skips a comment whose '/' is current and whose second character is the look-ahead.
    // False when the source ended inside a block comment: the error has been reported and the
    // token is the end token.
    bool SkipComment();
    void LineEnded();

    ISourceControl* m_Control;
    XStringList m_Names;
    XPtrOwnArray<CxScannerState, 8> m_Includes;
    CxScannerState* m_State = nullptr;
    bool m_NestedComments = false;
    CxToken m_Token;
    WCHAR m_Current = u' ';
    WCHAR m_LookAhead = u' ';
    // The end token's text: an empty record with its terminator.
    struct
    {
        CxText Header{0, 0};
        WCHAR Terminator[2]{};
    } m_Empty;

private:
    CxToken* ScanNumber();
    // The digits of a numeric escape in base 16 or 8 that follow, on top of value; a value past
    // 0xFFFF stays 0xFFFF and sets tooLarge.
    uint32_t EscapeDigits(uint32_t value, uint32_t base, bool& tooLarge);
    void Report(bool fatal, CxToken* token, const WCHAR* format, va_list args);
    bool ReadSource(XStream& stream, const WCHAR* name);
};

} // namespace Cx
