#include "Components/Cx/CxXml.h"

#include "Components/XFileStream.h"
#include "Components/XStream.h"

#include <new>
#include <string>

namespace CxXml
{
namespace
{
bool SameName(const WCHAR* a, const WCHAR* b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, 0, a, -1, b, -1) == CSTR_EQUAL;
}

// UTF-16 text: every surrogate is one half of a pair.
bool IsWellFormed(const WCHAR* chars, uint32_t length)
{
    for (uint32_t i = 0; i < length; ++i)
    {
        WCHAR c = chars[i];
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF)
        {
            if (i + 1 >= length || chars[i + 1] < 0xDC00 || chars[i + 1] > 0xDFFF)
                return false;
            ++i;
        }
    }
    return true;
}

void Indent(XmlWriter& writer, uint32_t depth)
{
    for (uint32_t i = 0; i < depth; ++i)
        writer << u"\t";
}
} // namespace

// The work buffer of one load or save: 1,024 code units at the start, freed at the end however
// the operation ends.
class WorkBuffer
{
public:
    explicit WorkBuffer(XmlDocument& document) : m_Document(document)
    {
        Free();
        m_Document.m_Work = new WCHAR[1024];
        m_Document.m_WorkCapacity = 1024;
    }
    ~WorkBuffer() { Free(); }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;

private:
    void Free()
    {
        delete[] m_Document.m_Work;
        m_Document.m_Work = nullptr;
        m_Document.m_WorkCapacity = 0;
    }

    XmlDocument& m_Document;
};

// ---- Escaping ---------------------------------------------------------------------------------

const WCHAR* EscapeXmlValue(XmlDocument& document, const WCHAR* text)
{
    uint32_t length = StrUtils::TextLength(text);
    WCHAR* out = document.ReserveWork(3 * static_cast<uint64_t>(length) + 1);
    static const char digits[] = "0123456789ABCDEF";
    uint32_t n = 0;
    for (uint32_t i = 0; i < length; ++i)
    {
        WCHAR c = text[i];
        if (c == u'"' || c == u'&' || c == u'<')
        {
            out[n++] = u'&';
            out[n++] = static_cast<WCHAR>(digits[c >> 4]);
            out[n++] = static_cast<WCHAR>(digits[c & 15]);
            continue;
        }
        out[n++] = c;
    }
    out[n] = 0;
    return out;
}

const WCHAR* UnescapeXmlValue(XmlDocument& document, const WCHAR* text, uint32_t length)
{
    if (!text)
        length = 0;
    WCHAR* out = document.ReserveWork(static_cast<uint64_t>(length) + 1);
    uint32_t n = 0;
    for (uint32_t i = 0; i < length; ++i)
    {
        WCHAR c = text[i];
        if (c != u'&')
        {
            out[n++] = c;
            continue;
        }
        // Both digits must lie within the text.
        if (length - i < 3)
            throw XmlSyntaxError();
        int high = Cx::HexDigitValue(text[i + 1]);
        int low = Cx::HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            throw XmlSyntaxError(); // a NUL would cut the value short
        out[n++] = static_cast<WCHAR>(high * 16 + low);
        i += 2;
    }
    out[n] = 0;
    return out;
}

const WCHAR* UnescapeXmlValue(XmlDocument& document, const WCHAR* text)
{
    return UnescapeXmlValue(document, text, StrUtils::TextLength(text));
}

// ---- XmlBase ----------------------------------------------------------------------------------

XmlBase::~XmlBase() = default;

const WCHAR* XmlBase::GetName() const
{
    return m_Name.c_str();
}

void XmlBase::SetName(const WCHAR* name)
{
    m_Name = name;
}

const WCHAR* XmlBase::GetValue() const
{
    return m_Value.c_str();
}

void XmlBase::SetValue(const WCHAR* value)
{
    m_Value = value;
}

void XmlBase::SetVariant(const VarUtils::XVariant& value)
{
    m_Value = value.AsString();
}

VarUtils::XVariant XmlBase::GetVariant()
{
    return VarUtils::XVariant(m_Value);
}

VarUtils::XVariant XmlBase::GetVariant(const VarUtils::XVariant& defaultValue)
{
    if (m_Value.IsEmpty())
        m_Value = defaultValue.AsString();
    return GetVariant();
}

void XmlAttribute::Write(XmlDocument& document, XmlWriter& writer)
{
    writer << m_Name << u"=\"" << EscapeXmlValue(document, m_Value.c_str()) << u"\"";
}

void XmlValue::Write(XmlDocument& document, XmlWriter& writer)
{
    Indent(writer, document.m_WriterDepth);
    writer << u"<" << m_Name << u">" << EscapeXmlValue(document, m_Value.c_str()) << u"</" << m_Name
           << u">\r\n";
}

// ---- XmlNode ----------------------------------------------------------------------------------

XmlNode::XmlNode(XmlDocument* document) : m_Document(document) {}

XmlNode::~XmlNode() = default;

void XmlNode::Write(XmlDocument& document, XmlWriter& writer)
{
    uint32_t depth = document.m_WriterDepth;
    Indent(writer, depth);
    writer << u"<" << m_Name;
    for (uint32_t i = 0; i < m_Attributes.GetCount(); ++i)
    {
        writer << u" ";
        m_Attributes[i]->Write(document, writer);
    }
    if (m_Nodes.GetCount() == 0 && m_Values.GetCount() == 0)
    {
        if (m_Value.IsEmpty())
        {
            writer << u" />\r\n";
            return;
        }
        writer << u">" << EscapeXmlValue(document, m_Value.c_str()) << u"</" << m_Name << u">\r\n";
        return;
    }
    writer << u">" << EscapeXmlValue(document, m_Value.c_str()) << u"\r\n";
    document.m_WriterDepth = depth + 1;
    for (uint32_t i = 0; i < m_Nodes.GetCount(); ++i)
        m_Nodes[i]->Write(document, writer);
    for (uint32_t i = 0; i < m_Values.GetCount(); ++i)
        m_Values[i]->Write(document, writer);
    document.m_WriterDepth = depth;
    Indent(writer, depth);
    writer << u"</" << m_Name << u">\r\n";
}

void XmlNode::Clear()
{
    m_Nodes.Clear();
    m_Values.Clear();
    m_Attributes.Clear();
}

XmlNode* XmlNode::AddNode(const WCHAR* name)
{
    XmlNode* node = m_Nodes.Add(new XmlNode(m_Document));
    node->SetName(name);
    return node;
}

XmlValue* XmlNode::AddValue(const WCHAR* name, const VarUtils::XVariant& value)
{
    XmlValue* item = m_Values.Add(new XmlValue);
    item->SetName(name);
    item->SetVariant(value);
    return item;
}

XmlAttribute* XmlNode::AddAttribute(const WCHAR* name, const VarUtils::XVariant& value)
{
    XmlAttribute* item = m_Attributes.Add(new XmlAttribute);
    item->SetName(name);
    item->SetVariant(value);
    return item;
}

XmlValue* XmlNode::FindValue(const WCHAR* name)
{
    for (uint32_t i = 0; i < m_Values.GetCount(); ++i)
        if (SameName(m_Values[i]->GetName(), name ? name : u""))
            return m_Values[i];
    return nullptr;
}

XmlAttribute* XmlNode::FindAttribute(const WCHAR* name)
{
    for (uint32_t i = 0; i < m_Attributes.GetCount(); ++i)
        if (SameName(m_Attributes[i]->GetName(), name ? name : u""))
            return m_Attributes[i];
    return nullptr;
}

VarUtils::XVariant XmlNode::ReadValue(const WCHAR* name, const VarUtils::XVariant& defaultValue)
{
    XmlValue* value = FindValue(name);
    if (!value)
        return defaultValue;
    return VarUtils::XVariant(XString(value->GetValue()));
}

VarUtils::XVariant XmlNode::ReadAttribute(const WCHAR* name)
{
    XmlAttribute* attribute = FindAttribute(name);
    if (!attribute)
        throw XException(u"Xml attribute not found.");
    return VarUtils::XVariant(XString(attribute->GetValue()));
}

// ---- XmlDocument ------------------------------------------------------------------------------

XmlDocument::XmlDocument() : XmlNode(this), m_Encoding(u"unicode") {}

XmlDocument::~XmlDocument()
{
    delete[] m_Work;
}

WCHAR* XmlDocument::ReserveWork(uint64_t need)
{
    if (m_WorkCapacity > need)
        return m_Work;
    uint64_t capacity = m_WorkCapacity ? m_WorkCapacity : 1024;
    while (capacity <= need)
        capacity *= 2;
    if (capacity > 0xFFFFFFFFu)
        throw std::bad_alloc();
    WCHAR* buffer = new WCHAR[capacity];
    delete[] m_Work;
    m_Work = buffer;
    m_WorkCapacity = static_cast<uint32_t>(capacity);
    return m_Work;
}

void XmlDocument::LoadFromStream(XStream& stream)
{
    WorkBuffer work(*this);
    Clear();
    m_Value = XString(); // the document's text is the file's, not added to what was there
    XmlParser parser(this);
    parser.ParseStream(stream);
}

void XmlDocument::LoadFromFile(const WCHAR* fileName)
{
    WorkBuffer work(*this);
    Clear();
    m_Value = XString();
    XmlParser parser(this);
    parser.ParseFile(fileName);
}

void XmlDocument::SaveToStream(XStream& stream)
{
    WorkBuffer work(*this);
    static const unsigned char byteOrderMark[2] = {0xFF, 0xFE};
    stream.Write(byteOrderMark, 2);
    XmlWriter writer(&stream);
    writer << u"<?xml version=\"1.0\" encoding=\"" << m_Encoding << u"\"?>\r\n";
    m_WriterDepth = 0;
    Write(*this, writer);
}

void XmlDocument::SaveToFile(const WCHAR* fileName)
{
    XFileStream file(fileName, 1);
    SaveToStream(file);
}

// ---- XmlScanner -------------------------------------------------------------------------------

XmlScanner::~XmlScanner() = default;

Cx::CxToken* XmlScanner::NextToken()
{
    using namespace Cx;
    uint8_t spaceFlag = 0;
    if (CxToken* end = SkipToTokenStart(spaceFlag))
        return end;

    WCHAR c = m_Current;
    if (c == u'"')
    {
        CxToken* token = ScanUntil(u'"');
        if (token->Kind != TokenEnd)
            token->Flags |= spaceFlag;
        return token;
    }
    if (BeginWord(spaceFlag))
        return &m_Token;
    switch (c)
    {
    case u'<':
        m_Token.Kind = TokenLess;
        return &m_Token;
    case u'>':
        m_Token.Kind = TokenGreater;
        return &m_Token;
    case u'?':
        m_Token.Kind = TokenQuestion;
        return &m_Token;
    case u'=':
        m_Token.Kind = TokenAssign;
        return &m_Token;
    case u'/':
        m_Token.Kind = TokenSlash;
        return &m_Token;
    case u'\n':
        m_Token.Kind = TokenNewLine;
        LineEnded();
        return &m_Token;
    default:
        return ReportError(&m_Token, u"%s '%c' (0x%x)", u"Illegal character", static_cast<int>(c),
                           static_cast<unsigned>(c));
    }
}

// ---- XmlParser --------------------------------------------------------------------------------

XmlParser::XmlParser(XmlDocument* document) : m_Document(document), m_Scanner(&m_Control) {}

void XmlParser::ParseFile(const WCHAR* fileName)
{
    m_Scanner.OpenFile(fileName);
    ParseDocument();
}

void XmlParser::ParseStream(XStream& stream)
{
    m_Scanner.OpenStream(stream, u"");
    ParseDocument();
}

void XmlParser::Fail()
{
    throw XmlSyntaxError();
}

void XmlParser::Advance()
{
    m_Token = m_Scanner.NextToken();
    while (m_Token->Kind == Cx::TokenNewLine && m_Control.IsRunning())
        m_Token = m_Scanner.NextToken();
}

void XmlParser::Expect(uint32_t kind)
{
    if (m_Token->Kind != kind)
        Fail();
}

bool XmlParser::IsName() const
{
    return m_Token->Kind == Cx::TokenIdentifier;
}

bool XmlParser::TokenIs(const WCHAR* name) const
{
    return IsName() && SameName(m_Token->Text->Chars(), name);
}

XString XmlParser::TokenText() const
{
    XString text;
    text.Assign(m_Token->Text->Chars(), m_Token->Text->Length);
    return text;
}

XString XmlParser::ReadText()
{
    Cx::CxToken* token = m_Scanner.ScanUntil(u'<');
    if (token->Kind == Cx::TokenEnd)
        Fail();
    const WCHAR* chars = token->Text->Chars();
    uint32_t length = token->Text->Length;
    if (!IsWellFormed(chars, length))
        Fail();
    XString text;
    text.Assign(chars, length);
    return text;
}

XString XmlParser::Decode(const XString& raw, bool trim)
{
    const WCHAR* begin = raw.c_str();
    const WCHAR* end = begin + raw.Length();
    if (trim)
    {
        while (begin < end && *begin <= 0x20)
            ++begin;
        while (end > begin && end[-1] <= 0x20)
            --end;
    }
    if (begin == end)
        return XString();
    return XString(UnescapeXmlValue(*m_Document, begin, static_cast<uint32_t>(end - begin)));
}

void XmlParser::ReadAttributes(XmlNode* node)
{
    while (IsName())
    {
        XmlAttribute* attribute = node->m_Attributes.Add(new XmlAttribute);
        attribute->SetName(TokenText().c_str());
        Advance();
        Expect(Cx::TokenAssign);
        Advance();
        if (m_Token->Kind != Cx::TokenString)
            Fail();
        const WCHAR* chars = m_Token->Text->Chars();
        uint32_t length = m_Token->Text->Length;
        if (!IsWellFormed(chars, length))
            Fail();
        if (length)
            attribute->SetValue(UnescapeXmlValue(*m_Document, chars, length));
        Advance();
    }
}

void XmlParser::ParseDocument()
{
    // The declaration: its version and encoding are accepted and ignored.
    Advance();
    Expect(Cx::TokenLess);
    Advance();
    Expect(Cx::TokenQuestion);
    Advance();
    if (!TokenIs(u"xml"))
        Fail();
    Advance();
    ReadAttributes(m_Document);
    m_Document->m_Attributes.Clear();
    Expect(Cx::TokenQuestion);
    Advance();
    Expect(Cx::TokenGreater);
    Advance();

    // The root element is the document. Nothing after it is read.
    Expect(Cx::TokenLess);
    Advance();
    if (!IsName())
        Fail();
    m_Document->SetName(TokenText().c_str());
    Advance();
    if (ReadStartTag(m_Document))
        ContentA(m_Document, 1);
}

bool XmlParser::ReadStartTag(XmlNode* element)
{
    ReadAttributes(element);
    if (m_Token->Kind == Cx::TokenSlash)
    {
        Advance();
        Expect(Cx::TokenGreater);
        return false;
    }
    Expect(Cx::TokenGreater);
    return true;
}

void XmlParser::ReadEndTag(const WCHAR* name)
{
    Advance();
    if (!TokenIs(name))
        Fail();
    Advance();
    Expect(Cx::TokenGreater);
}

bool XmlParser::ReadTextOrEnd(XmlNode* node, std::u16string& text)
{
    XString raw = ReadText();
    if (!raw.IsEmpty())
        text += Decode(raw, true).c_str();
    Advance();
    if (m_Token->Kind != Cx::TokenSlash)
        return false;
    ReadEndTag(node->GetName());
    node->SetValue(text.c_str());
    return true;
}

void XmlParser::ReadChild(XmlNode* node, uint32_t depth, bool trimValue)
{
    XString name = TokenText();
    Advance();
    if (IsName())
    {
        XmlNode* child = node->AddNode(name.c_str());
        if (ReadStartTag(child))
            ContentA(child, depth + 1);
        return;
    }
    if (m_Token->Kind == Cx::TokenSlash)
    {
        Advance();
        Expect(Cx::TokenGreater);
        node->AddNode(name.c_str());
        return;
    }
    Expect(Cx::TokenGreater);

    XString value = ReadText();
    Advance();
    if (m_Token->Kind == Cx::TokenSlash)
    {
        // An element holding only text: a named value.
        ReadEndTag(name.c_str());
        node->AddValue(name.c_str(), VarUtils::XVariant(Decode(value, trimValue)));
        return;
    }
    // Text followed by children: the writer puts a line end and indentation after the text, so
    // it is trimmed here as everywhere else in element content. Decoded before the child is
    // appended, so that a bad escape leaves no half-read element in the tree.
    XString text = Decode(value, true);
    XmlNode* child = node->AddNode(name.c_str());
    child->SetValue(text.c_str());
    ContentB(child, depth + 1);
}

void XmlParser::ContentA(XmlNode* node, uint32_t depth)
{
    if (depth > MaxDepth)
        Fail();
    // Collected with amortised growth: an element may hold many pieces of text.
    std::u16string text(node->GetValue());
    for (;;)
    {
        if (ReadTextOrEnd(node, text))
            return;
        if (!IsName())
            Fail();
        // A named value's text is kept as written.
        ReadChild(node, depth, false);
    }
}

void XmlParser::ContentB(XmlNode* node, uint32_t depth)
{
    if (depth > MaxDepth)
        Fail();
    std::u16string text(node->GetValue());
    for (;;)
    {
        // An element whose content stops at anything but a tag never closes: malformed.
        if (!IsName())
            Fail();
        ReadChild(node, depth, true);
        if (ReadTextOrEnd(node, text))
            return;
    }
}

} // namespace CxXml
