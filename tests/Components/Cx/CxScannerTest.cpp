#include "Components/Cx/CxScanner.h"

#include "Components/XMemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace Cx;
using namespace std::string_literals;

namespace
{
namespace fs = std::filesystem;

struct Recorded
{
    uint8_t kind;
    std::u16string source;
    uint32_t line;
    uint16_t column;
    std::u16string text;
};

class Recorder : public IMessageListener
{
public:
    void OnMessage(const CxMessage& message) override
    {
        messages.push_back(
            {message.Kind, message.Source.c_str(), message.Line, message.Column, message.Text.c_str()});
    }
    std::vector<Recorded> messages;
};

struct Tok
{
    uint32_t kind;
    std::u16string text;
    uint32_t line;
    bool operator==(const Tok& other) const = default;
};

std::u16string TextOf(const CxToken* token)
{
    return std::u16string(token->Text->Chars(), token->Text->Length);
}

// Every token up to the end token, which is included.
std::vector<Tok> ScanAll(CxScanner& scanner, size_t limit = 100000)
{
    std::vector<Tok> tokens;
    for (size_t i = 0; i < limit; ++i)
    {
        CxToken* token = scanner.NextToken();
        tokens.push_back({token->Kind, TextOf(token), token->Line});
        if (token->Kind == TokenEnd && !scanner.GetCurrentState())
            break;
    }
    return tokens;
}

std::vector<Tok> ScanText(const std::u16string& text, Recorder* recorder = nullptr)
{
    CxSourceControl control(recorder);
    CxScanner scanner(&control);
    scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"text");
    return ScanAll(scanner);
}
} // namespace

TEST(CxScannerTest, SinkCountsAndLimits)
{
    Recorder recorder;
    CxSourceControl control(&recorder);
    EXPECT_TRUE(control.IsRunning());
    EXPECT_EQ(control.GetListener(), &recorder);

    // Plain messages are delivered but never counted.
    control.Message(u"note", u"a.x", 3, 4);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].kind, CxMessage::KindMessage);
    EXPECT_EQ(recorder.messages[0].source, u"a.x");
    EXPECT_EQ(recorder.messages[0].line, 3u);
    EXPECT_EQ(recorder.messages[0].column, 4);
    EXPECT_EQ(recorder.messages[0].text, u"note");
    EXPECT_EQ(control.WarningCount(), 0u);

    // 256 warnings pass; the 257th becomes the fatal "Too many warnings." and stops the sink.
    recorder.messages.clear();
    for (int i = 0; i < 256; ++i)
        control.Warning(u"w", u"s", 1, 2);
    EXPECT_EQ(control.WarningCount(), 256u);
    EXPECT_TRUE(control.IsRunning());
    EXPECT_EQ(recorder.messages.size(), 256u);
    control.Warning(u"w", u"s", 7, 8);
    EXPECT_EQ(control.WarningCount(), 256u);
    EXPECT_FALSE(control.IsRunning());
    ASSERT_EQ(recorder.messages.size(), 257u);
    EXPECT_EQ(recorder.messages.back().kind, CxMessage::KindFatal);
    EXPECT_EQ(recorder.messages.back().text, u"Too many warnings.");
    EXPECT_EQ(recorder.messages.back().line, 7u);
    EXPECT_EQ(recorder.messages.back().column, 8);

    // Errors: 64 pass and leave the sink running; the 65th is "Too many errors.".
    control.Reset();
    EXPECT_TRUE(control.IsRunning());
    EXPECT_EQ(control.WarningCount(), 0u);
    recorder.messages.clear();
    for (int i = 0; i < 64; ++i)
        control.Error(u"e", u"s", 1, 1);
    EXPECT_TRUE(control.IsRunning());
    EXPECT_EQ(control.ErrorCount(), 64u);
    EXPECT_EQ(recorder.messages.back().kind, CxMessage::KindError);
    control.Error(u"e", u"s", 1, 1);
    EXPECT_EQ(control.ErrorCount(), 64u);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(recorder.messages.back().kind, CxMessage::KindFatal);
    EXPECT_EQ(recorder.messages.back().text, u"Too many errors.");
    EXPECT_EQ(recorder.messages.size(), 65u);

    // Without a listener everything is counted and nothing delivered.
    CxSourceControl silent;
    silent.Error(u"e", u"s", 1, 1);
    EXPECT_EQ(silent.ErrorCount(), 1u);
    silent.Fatal(u"f", u"s", 1, 1);
    EXPECT_FALSE(silent.IsRunning());
    silent.Reset();
    EXPECT_TRUE(silent.IsRunning());
    EXPECT_EQ(silent.ErrorCount(), 0u);
}

TEST(CxScannerTest, OperatorsIdentifiersAndLines)
{
    std::vector<Tok> tokens =
        ScanText(u"a_1 != b<<=c::d\n"
                 u"%= & && &= ( ) * *= + ++ += , - -- -= . / /= : ; < <= << = == > >= >> >>= ? "
                 u"[ \\ ] ^ ^= { | |= || } ~ # !");
    std::vector<Tok> expected = {
        {TokenIdentifier, u"a_1", 1},
        {TokenNotEqual, u"!=", 1},
        {TokenIdentifier, u"b", 1},
        {TokenShiftLeftAssign, u"<<=", 1},
        {TokenIdentifier, u"c", 1},
        {TokenScope, u"::", 1},
        {TokenIdentifier, u"d", 1},
        {TokenNewLine, u"\n", 2},
        {TokenPercentAssign, u"%=", 2},
        {TokenAmpersand, u"&", 2},
        {TokenLogicalAnd, u"&&", 2},
        {TokenAndAssign, u"&=", 2},
        {TokenOpenParen, u"(", 2},
        {TokenCloseParen, u")", 2},
        {TokenStar, u"*", 2},
        {TokenMulAssign, u"*=", 2},
        {TokenPlus, u"+", 2},
        {TokenIncrement, u"++", 2},
        {TokenAddAssign, u"+=", 2},
        {TokenComma, u",", 2},
        {TokenMinus, u"-", 2},
        {TokenDecrement, u"--", 2},
        {TokenSubAssign, u"-=", 2},
        {TokenDot, u".", 2},
        {TokenSlash, u"/", 2},
        {TokenDivAssign, u"/=", 2},
        {TokenColon, u":", 2},
        {TokenSemicolon, u";", 2},
        {TokenLess, u"<", 2},
        {TokenLessEqual, u"<=", 2},
        {TokenShiftLeft, u"<<", 2},
        {TokenAssign, u"=", 2},
        {TokenEqual, u"==", 2},
        {TokenGreater, u">", 2},
        {TokenGreaterEqual, u">=", 2},
        {TokenShiftRight, u">>", 2},
        {TokenShiftRightAssign, u">>=", 2},
        {TokenQuestion, u"?", 2},
        {TokenOpenBracket, u"[", 2},
        {TokenBackslash, u"\\", 2},
        {TokenCloseBracket, u"]", 2},
        {TokenCaret, u"^", 2},
        {TokenXorAssign, u"^=", 2},
        {TokenOpenBrace, u"{", 2},
        {TokenBar, u"|", 2},
        {TokenOrAssign, u"|=", 2},
        {TokenLogicalOr, u"||", 2},
        {TokenCloseBrace, u"}", 2},
        {TokenTilde, u"~", 2},
        {TokenHash, u"#", 2},
        {TokenNot, u"!", 2},
    };
    ASSERT_GE(tokens.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(tokens[i], expected[i]) << "token " << i;
    EXPECT_EQ(tokens.size(), expected.size() + 1);
    EXPECT_EQ(tokens.back().kind, TokenEnd);

    // Flags: white space before, first token on its line; columns advance with the characters.
    CxSourceControl control;
    CxScanner scanner(&control);
    std::u16string text = u"ab  cd\n\tx";
    scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"flags");
    CxToken* token = scanner.NextToken();
    EXPECT_EQ(token->Flags,
              CxToken::FlagSpaceBefore | CxToken::FlagFirstOnLine); // the initial look-ahead is a space
    uint16_t abColumn = token->Column;
    token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"cd");
    EXPECT_EQ(token->Flags, CxToken::FlagSpaceBefore);
    EXPECT_EQ(token->Column, abColumn + 4);
    EXPECT_EQ(token->Source, 0);
    EXPECT_EQ(scanner.NextToken()->Kind, TokenNewLine);
    token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"x"); // the tab reads as a space
    EXPECT_EQ(token->Line, 2u);
    EXPECT_EQ(token->Flags, CxToken::FlagSpaceBefore | CxToken::FlagFirstOnLine);

    // The end token: kind 0, empty text, and the sink is stopped.
    EXPECT_TRUE(control.IsRunning());
    token = scanner.NextToken();
    EXPECT_EQ(token->Kind, TokenEnd);
    EXPECT_EQ(token->Text->Length, 0u);
    EXPECT_EQ(token->Text->Chars()[0], 0);
    EXPECT_EQ(token->Source, 0xFFFF);
    EXPECT_EQ(token->Line, 1u);
    EXPECT_EQ(token->Column, 1);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(scanner.NextToken()->Kind, TokenEnd);
}

TEST(CxScannerTest, NumberFormsAndErrors)
{
    struct Case
    {
        std::u16string text;
        uint32_t kind;
        uint64_t integer;
    };
    for (const Case& c : std::vector<Case>{{u"0", TokenInteger, 0},
                                           {u"42", TokenInteger, 42},
                                           {u"017", TokenInteger, 15},
                                           {u"08", TokenInteger, 8},
                                           {u"4294967295", TokenInteger, 0xFFFFFFFFu},
                                           {u"4294967296", TokenLongInteger, 0x100000000ull},
                                           {u"18446744073709551615", TokenLongInteger, UINT64_MAX},
                                           {u"01777777777777777777777", TokenLongInteger, UINT64_MAX}})
    {
        CxSourceControl control;
        CxScanner scanner(&control);
        scanner.OpenText(c.text.data(), static_cast<uint32_t>(c.text.size()), u"n");
        CxToken* token = scanner.NextToken();
        EXPECT_EQ(token->Kind, c.kind) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(token->Value.Integer, c.integer) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(TextOf(token), c.text);
        EXPECT_EQ(scanner.NextToken()->Kind, TokenEnd);
        EXPECT_EQ(control.ErrorCount(), 0u);
    }

    struct FloatCase
    {
        std::u16string text;
        long double value;
    };
    for (const FloatCase& c : std::vector<FloatCase>{{u"1e5", 100000.0L},
                                                     {u"1.5", 1.5L},
                                                     {u".25", 0.25L},
                                                     {u"2.", 2.0L},
                                                     {u"1E-2", 0.01L},
                                                     {u"3.5e+2", 350.0L},
                                                     {u"0.1", 0.1L}})
    {
        CxSourceControl control;
        CxScanner scanner(&control);
        scanner.OpenText(c.text.data(), static_cast<uint32_t>(c.text.size()), u"f");
        CxToken* token = scanner.NextToken();
        EXPECT_EQ(token->Kind, TokenFloat) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(token->Value.Float, c.value) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(TextOf(token), c.text);
        EXPECT_EQ(control.ErrorCount(), 0u);
    }

    // Each of these reports exactly one error with the given text on the number.
    struct BadCase
    {
        std::u16string text;
        std::u16string message;
    };
    for (const BadCase& c : std::vector<BadCase>{{u"1e", u"Incorrent number format"},
                                                 {u"1e+", u"Incorrent number format"},
                                                 {u"12abc", u"Incorrent number format"},
                                                 {u"12_", u"Incorrent number format"},
                                                 {u"0x1F", u"Incorrent number format"},
                                                 {u"0b10", u"Incorrent number format"},
                                                 {u"1.5f", u"Incorrent number format"},
                                                 {u"0789", u"Incorrent number format"},
                                                 {u"18446744073709551616", u"Numeric constant too large"},
                                                 {u"02000000000000000000000", u"Numeric constant too large"}})
    {
        Recorder recorder;
        CxSourceControl control(&recorder);
        CxScanner scanner(&control);
        scanner.OpenText(c.text.data(), static_cast<uint32_t>(c.text.size()), u"bad");
        CxToken* token = scanner.NextToken();
        EXPECT_EQ(token->Kind, TokenEnd) << std::string(c.text.begin(), c.text.end());
        ASSERT_EQ(recorder.messages.size(), 1u) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(recorder.messages[0].kind, CxMessage::KindError);
        EXPECT_EQ(recorder.messages[0].text, c.message);
        EXPECT_EQ(recorder.messages[0].source, u"bad");
        EXPECT_EQ(recorder.messages[0].line, 1u);
        EXPECT_TRUE(control.IsRunning()); // an error does not stop the sink
    }
}

TEST(CxScannerTest, ConstantsAndScanUntil)
{
    Recorder recorder;
    std::vector<Tok> tokens =
        ScanText(u"\"a\\tb\\x41\\101\\n\\q\\0\" 'x' \"tab\there\" \"\\x10000\" '\\''", &recorder);
    ASSERT_EQ(tokens.size(), 6u);
    EXPECT_EQ(tokens[0], (Tok{TokenString, std::u16string(u"a\tbAA\nq\0", 8), 1}));
    EXPECT_EQ(tokens[1], (Tok{TokenChar, u"x", 1}));
    EXPECT_EQ(tokens[2], (Tok{TokenString, u"tab here", 1})); // a tab inside a constant reads as a space
    EXPECT_EQ(tokens[3], (Tok{TokenString, u"\uffff", 1}));
    EXPECT_EQ(tokens[4], (Tok{TokenChar, u"'", 1}));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, u"Numeric constant too large");

    // A line feed, an escaped line feed or the end of the source ends a constant with an error
    // and the end token.
    for (std::u16string text : {u"\"abc\ndef\"", u"\"abc\\\ndef\"", u"\"abc", u"'a\\"})
    {
        Recorder r;
        CxSourceControl control(&r);
        CxScanner scanner(&control);
        scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"c");
        CxToken* token = scanner.NextToken();
        EXPECT_EQ(token->Kind, TokenEnd);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].text, u"Unterminated string or character constant");
        EXPECT_FALSE(control.IsRunning());
    }

    // ScanUntil keeps line feeds and processes no escapes; tab and carriage return read as spaces.
    {
        CxSourceControl control;
        CxScanner scanner(&control);
        std::u16string text = u"a\\n\tb\r\nc<rest";
        scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"u");
        // The look-ahead of a fresh scanner is a space, so the text starts with it.
        CxToken* token = scanner.ScanUntil(u'<');
        EXPECT_EQ(token->Kind, TokenString);
        EXPECT_EQ(TextOf(token), u" a\\n b \nc");
        EXPECT_EQ(TextOf(scanner.NextToken()), u"rest");
        EXPECT_EQ(scanner.ScanUntil(u'<')->Kind, TokenEnd);
    }
    {
        Recorder r;
        CxSourceControl control(&r);
        CxScanner scanner(&control);
        std::u16string text = u"no terminator";
        scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"u");
        EXPECT_EQ(scanner.ScanUntil(u'<')->Kind, TokenEnd);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].text, u"Unterminated string or character constant");
    }
}

TEST(CxScannerTest, CommentsAndIllegalCharacters)
{
    EXPECT_EQ(ScanText(u"a /* x\n y */ b // rest\nc"), (std::vector<Tok>{{TokenIdentifier, u"a", 1},
                                                                         {TokenIdentifier, u"b", 2},
                                                                         {TokenIdentifier, u"c", 3},
                                                                         {TokenEnd, u"", 1}}));

    // Without the option a comment ends at the first "*/"; with it, comments nest.
    std::u16string nested = u"/* a /* b */ c */ d";
    EXPECT_EQ(ScanText(nested)[0], (Tok{TokenIdentifier, u"c", 1}));
    {
        CxSourceControl control;
        CxScanner scanner(&control);
        scanner.SetNestedComments(true);
        scanner.OpenText(nested.data(), static_cast<uint32_t>(nested.size()), u"n");
        EXPECT_EQ(TextOf(scanner.NextToken()), u"d");
    }

    // An unterminated comment names the line it began on.
    Recorder recorder;
    std::vector<Tok> tokens = ScanText(u"a\n\n  /* never\n closed", &recorder);
    EXPECT_EQ(tokens.back().kind, TokenEnd);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, u"Unexpected end of file in comment started on line 3");
    EXPECT_EQ(recorder.messages[0].line, 3u);

    // Illegal characters: a kind-0 token holding the character, and the error.
    recorder.messages.clear();
    tokens = ScanText(u"a @ \u00e9 $", &recorder);
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[1], (Tok{TokenEnd, u"@", 1}));
    EXPECT_EQ(tokens[2], (Tok{TokenEnd, u"\u00e9", 1}));
    ASSERT_EQ(recorder.messages.size(), 3u);
    EXPECT_EQ(recorder.messages[0].text, u"Illegal character '@' (0x40)");
    EXPECT_EQ(recorder.messages[1].text, u"Illegal character '\u00e9' (0xe9)");
    EXPECT_EQ(recorder.messages[2].text, u"Illegal character '$' (0x24)");
    EXPECT_EQ(recorder.messages[2].source, u"text");
}

TEST(CxScannerTest, ByteOrderMarkFilesAndStreams)
{
    TempDir dir("cxscanner");
    std::u16string text = u"name = \"value\" // c\r\n\tcount 12 /* x */ 1.5\r\nend";
    fs::path with = WriteWholeFile(dir / "with.txt", Utf16LeWithBom(text));
    fs::path without = WriteWholeFile(dir / "without.txt", Utf16Le(text));

    auto scanFile = [](const fs::path& path)
    {
        CxSourceControl control;
        CxScanner scanner(&control);
        std::u16string name = WidePath(path);
        scanner.OpenFile(name.c_str());
        EXPECT_EQ(std::u16string(scanner.GetSourceName(0)), name);
        return ScanAll(scanner);
    };
    std::vector<Tok> a = scanFile(with);
    std::vector<Tok> b = scanFile(without);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, (std::vector<Tok>{{TokenIdentifier, u"name", 1},
                                   {TokenAssign, u"=", 1},
                                   {TokenString, u"value", 1},
                                   {TokenIdentifier, u"count", 2},
                                   {TokenInteger, u"12", 2},
                                   {TokenFloat, u"1.5", 2},
                                   {TokenNewLine, u"\n", 3},
                                   {TokenIdentifier, u"end", 3},
                                   {TokenEnd, u"", 1}}));

    // The same through a memory stream, read from its position.
    XMemoryStream stream(0, 8192);
    std::string bytes = Utf16LeWithBom(text);
    stream.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
    stream.SetPosition(0);
    CxSourceControl control;
    CxScanner scanner(&control);
    scanner.OpenStream(stream, u"memory");
    EXPECT_EQ(ScanAll(scanner), a);

    // An 8-bit file is not converted: "ab" pairs into the one code unit 0x6261.
    Recorder recorder;
    CxSourceControl eight(&recorder);
    CxScanner eightScanner(&eight);
    std::u16string path = WidePath(WriteWholeFile(dir / "ansi.txt", "ab"));
    eightScanner.OpenFile(path.c_str());
    CxToken* token = eightScanner.NextToken();
    EXPECT_EQ(token->Kind, TokenEnd);
    EXPECT_EQ(TextOf(token), u"\u6261");
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, u"Illegal character '\u6261' (0x6261)");
}

TEST(CxScannerTest, OpenFailuresAreFatalAndEndTheScan)
{
    TempDir dir("cxscanner");
    Recorder recorder;
    CxSourceControl control(&recorder);
    CxScanner scanner(&control);

    std::u16string missing = WidePath(dir / "missing.txt");
    scanner.OpenFile(missing.c_str());
    EXPECT_EQ(scanner.GetCurrentState(), nullptr);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].kind, CxMessage::KindFatal);
    EXPECT_EQ(recorder.messages[0].text, u"Can't open file: " + missing);
    EXPECT_EQ(recorder.messages[0].source, u"");
    EXPECT_EQ(recorder.messages[0].line, UnknownLine);
    EXPECT_EQ(recorder.messages[0].column, UnknownColumn);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_EQ(scanner.NextToken()->Kind, TokenEnd);

    // An odd number of bytes is not UTF-16 text.
    control.Reset();
    recorder.messages.clear();
    std::u16string odd = WidePath(WriteWholeFile(dir / "odd.txt", std::string("a\0b", 3)));
    scanner.OpenFile(odd.c_str());
    EXPECT_EQ(scanner.GetCurrentState(), nullptr);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, u"Error reading file: " + odd);
    EXPECT_EQ(scanner.NextToken()->Kind, TokenEnd);

    // A read-only file opens: sources are opened for reading only.
    control.Reset();
    recorder.messages.clear();
    fs::path readOnly = WriteWholeFile(dir / "ro.txt", Utf16LeWithBom(u"ok"));
    fs::permissions(readOnly, fs::perms(0444));
    std::u16string readOnlyName = WidePath(readOnly);
    scanner.OpenFile(readOnlyName.c_str());
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(TextOf(scanner.NextToken()), u"ok");

    // An empty file is an empty source.
    scanner.Close();
    control.Reset();
    std::u16string empty = WidePath(WriteWholeFile(dir / "empty.txt", ""));
    scanner.OpenFile(empty.c_str());
    ASSERT_NE(scanner.GetCurrentState(), nullptr);
    EXPECT_EQ(scanner.NextToken()->Kind, TokenEnd);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST(CxScannerTest, IncludeStackSuspendsAndResumes)
{
    CxSourceControl control;
    CxScanner scanner(&control);
    std::u16string outer = u"first +yz\nlast";
    scanner.OpenText(outer.data(), static_cast<uint32_t>(outer.size()), u"outer");
    EXPECT_EQ(TextOf(scanner.NextToken()), u"first");
    EXPECT_EQ(TextOf(scanner.NextToken()), u"+");
    EXPECT_EQ(scanner.GetLookAhead(), u'y');

    // The included text goes in at the reading point: the look-ahead 'y' is delivered first and
    // joins the included "ab" into one identifier; the outer source resumes with 'z'.
    XMemoryStream stream(0, 8192);
    std::string bytes = Utf16Le(u"ab cd");
    stream.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
    stream.SetPosition(0);
    scanner.OpenStream(stream, u"inner");
    EXPECT_EQ(scanner.GetIncludeDepth(), 1u);
    CxToken* token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"yab");
    EXPECT_EQ(token->Source, 1);
    EXPECT_EQ(std::u16string(scanner.GetCurrentSourceName()), u"inner");

    // A third level, opened from text.
    std::u16string third = u"deep";
    scanner.OpenText(third.data(), 4, u"third");
    EXPECT_EQ(scanner.GetIncludeDepth(), 2u);
    EXPECT_EQ(TextOf(scanner.NextToken()), u"deep");
    token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"cd");
    EXPECT_EQ(token->Source, 1);
    token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"z");
    EXPECT_EQ(token->Source, 0);
    EXPECT_EQ(token->Line, 1u);
    EXPECT_EQ(scanner.GetIncludeDepth(), 0u);
    EXPECT_EQ(scanner.NextToken()->Kind, TokenNewLine);
    token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"last");
    EXPECT_EQ(token->Line, 2u);
    EXPECT_EQ(scanner.NextToken()->Kind, TokenEnd);
    EXPECT_EQ(std::u16string(scanner.GetSourceName(2)), u"third");
    EXPECT_EQ(std::u16string(scanner.GetSourceName(3)), u"");

    // Close after a partial scan: fresh name list, ready for new sources.
    control.Reset();
    scanner.OpenText(outer.data(), static_cast<uint32_t>(outer.size()), u"again");
    scanner.OpenText(third.data(), 4, u"nested");
    EXPECT_EQ(TextOf(scanner.NextToken()), u"deep");
    scanner.Close();
    EXPECT_EQ(scanner.GetCurrentState(), nullptr);
    EXPECT_EQ(scanner.GetIncludeDepth(), 0u);
    EXPECT_EQ(std::u16string(scanner.GetSourceName(0)), u"");
    EXPECT_EQ(scanner.GetCurrentChar(), u' ');
    EXPECT_EQ(scanner.GetLookAhead(), u' ');
    scanner.OpenText(third.data(), 4, u"fresh");
    token = scanner.NextToken();
    EXPECT_EQ(TextOf(token), u"deep");
    EXPECT_EQ(token->Source, 0);
    EXPECT_EQ(std::u16string(scanner.GetSourceName(0)), u"fresh");
}

TEST(CxScannerTest, ReportingFormatsAndAssertionBox)
{
    Recorder recorder;
    CxSourceControl control(&recorder);
    CxScanner scanner(&control);
    std::u16string text = u"\n  word";
    scanner.OpenText(text.data(), static_cast<uint32_t>(text.size()), u"src");
    scanner.NextToken();
    CxToken* token = scanner.NextToken();
    ASSERT_EQ(TextOf(token), u"word");

    EXPECT_EQ(scanner.ReportError(token, u"%s %i|%x|%c", u"value", -5, 255u, static_cast<int>(u'Z')), token);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, u"value -5|ff|Z");
    EXPECT_EQ(recorder.messages[0].source, u"src");
    EXPECT_EQ(recorder.messages[0].line, 2u);
    EXPECT_EQ(recorder.messages[0].column, token->Column);

    // Fatal takes the current source's position and stops the sink.
    scanner.ReportFatal(u"%s", u"stop");
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[1].kind, CxMessage::KindFatal);
    EXPECT_EQ(recorder.messages[1].source, u"src");
    EXPECT_EQ(recorder.messages[1].line, 2u);
    EXPECT_FALSE(control.IsRunning());

    // The message buffer holds 2,048 units, the terminator included.
    std::u16string longText(3000, u'x');
    scanner.ReportFatal(u"%s", longText.c_str());
    EXPECT_EQ(recorder.messages.back().text, std::u16string(2047, u'x'));

    // Without a token, or without a sink, the assertion box is shown and work goes on.
    std::vector<std::u16string> boxes;
    auto previous = Platform::SetMessageBoxHandler(
        [&](HWND, const std::u16string& boxText, const std::u16string& caption, UINT)
        {
            boxes.push_back(caption + u"|" + boxText);
            return IDOK;
        });
    EXPECT_EQ(scanner.ReportError(nullptr, u"lost"), nullptr);
    EXPECT_EQ(recorder.messages.back().text, u"lost");
    EXPECT_EQ(recorder.messages.back().line, UnknownLine);
    EXPECT_EQ(recorder.messages.back().column, UnknownColumn);
    CxScanner orphan(nullptr);
    orphan.ReportFatal(u"nobody");
    std::u16string orphanText = u"x";
    orphan.OpenText(orphanText.data(), 1, u"o");
    EXPECT_EQ(TextOf(orphan.NextToken()), u"x");
    EXPECT_EQ(orphan.NextToken()->Kind, TokenEnd);
    Platform::SetMessageBoxHandler(previous);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], u"Error|File: ..\\Components\\Cx\\CxScanner.h; Line: 276; \nAssertion failure!");
    EXPECT_EQ(boxes[1], u"Error|File: ..\\Components\\Cx\\CxScanner.h; Line: 251; \nAssertion failure!");
}

TEST(CxScannerTest, HostileInputEndsCleanly)
{
    // Every prefix of a source full of constants, comments and numbers scans to its end without
    // reading outside the buffer; control codes read as spaces.
    std::u16string text = u"id \"s\\x41\\101\" 'c' /* c\n */ 0x 017 1.5e+3 // x\n"
                          u"a<<=b \x01\x02\x00 \"\\\n\" '\x00"
                          u"end"s;
    for (size_t cut = 0; cut <= text.size(); ++cut)
    {
        CxSourceControl control;
        CxScanner scanner(&control);
        scanner.OpenText(text.data(), static_cast<uint32_t>(cut), u"cut");
        std::vector<Tok> tokens = ScanAll(scanner, 1000);
        ASSERT_LT(tokens.size(), 1000u);
        EXPECT_EQ(tokens.back().kind, TokenEnd);
    }
    // The same bytes through a stream, cut at every length, odd lengths included.
    std::string bytes = Utf16LeWithBom(text);
    for (size_t cut = 0; cut <= bytes.size(); ++cut)
    {
        XMemoryStream stream(0, 8192);
        stream.Write(bytes.data(), static_cast<unsigned>(cut));
        stream.SetPosition(0);
        CxSourceControl control;
        CxScanner scanner(&control);
        scanner.OpenStream(stream, u"cut");
        EXPECT_EQ(scanner.GetCurrentState() != nullptr, cut % 2 == 0);
        std::vector<Tok> tokens = ScanAll(scanner, 1000);
        ASSERT_LT(tokens.size(), 1000u);
    }
}
