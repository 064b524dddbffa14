// The in-memory tree of the program's XML files and the reader and writer of their dialect.
//
// The dialect: UTF-16 little-endian text (written with the byte-order mark FF FE, read with or
// without it), names that are C identifiers, C-style comments inside tags, and escapes of the
// form '&' plus two hexadecimal digits instead of entities. An element that holds only text and
// has no attributes is a named value of its parent (XmlValue) rather than a child element.
//
// The document is itself the root element. It owns the whole tree.
#pragma once

#include "Components/Cx/CxScanner.h"
#include "Components/StrUtils.h"
#include "Components/XException.h"
#include "Components/XTextWriter.h"
#include "Components/XVariant.h"

#include <cstdint>
#include <string>

class XStream;

namespace CxXml
{
class XmlDocument;
class XmlParser;
using XmlWriter = FileUtils::XTextWriter<WCHAR>;

// Every syntax problem of a load, an unreadable or missing file included.
class XmlSyntaxError : public XException
{
public:
    XmlSyntaxError() : XException(u"Xml syntax error.") {}
};

// Owning array of items: one pointer to a block {u32 count; u32 capacity; T* items[capacity]},
// null while the array has never held anything. Items are destroyed through their virtual
// destructor.
template <class T> class CxArray
{
public:
    CxArray() = default;
    CxArray(const CxArray&) = delete;
    CxArray& operator=(const CxArray&) = delete;
    ~CxArray() { Clear(); }

    uint32_t GetCount() const { return m_Block ? m_Block->Count : 0; }
    uint32_t GetCapacity() const { return m_Block ? m_Block->Capacity : 0; }

    // Throws the wide text "Array index out of bounds." for an index not below the count.
    T* operator[](uint32_t i) const
    {
        if (!m_Block || i >= m_Block->Count)
            throw u"Array index out of bounds.";
        return m_Block->Items()[i];
    }

    // Full: the capacity grows by a third plus 4 (0, 4, 9, 16, 25, 37, ...). Returns the item.
    T* Add(T* item)
    {
        uint32_t count = GetCount();
        uint32_t capacity = GetCapacity();
        if (count == capacity)
            SetCapacity(capacity + capacity / 3 + 4);
        m_Block->Items()[m_Block->Count++] = item;
        return item;
    }

    // 0 destroys every item and frees the block; a smaller capacity destroys the items from the
    // last down to index n; a larger one moves the items into a new block.
    void SetCapacity(uint32_t n)
    {
        if (n == GetCapacity())
            return;
        if (n == 0)
        {
            Clear();
            return;
        }
        while (GetCount() > n)
        {
            T* item = m_Block->Items()[m_Block->Count - 1];
            --m_Block->Count;
            delete item;
        }
        Block* block = Block::Make(n); // allocate first: a failure keeps the old block
        if (m_Block)
        {
            for (uint32_t i = 0; i < m_Block->Count; ++i)
                block->Items()[i] = m_Block->Items()[i];
            block->Count = m_Block->Count;
            Block::Free(m_Block);
        }
        m_Block = block;
    }

    // Destroys every item from the last to the first and frees the block.
    void Clear()
    {
        if (!m_Block)
            return;
        while (m_Block->Count > 0)
        {
            T* item = m_Block->Items()[m_Block->Count - 1];
            --m_Block->Count;
            delete item;
        }
        Block::Free(m_Block);
        m_Block = nullptr;
    }

private:
    struct Block
    {
        uint32_t Count;
        uint32_t Capacity;

        T** Items() { return reinterpret_cast<T**>(this + 1); }

        static Block* Make(uint32_t capacity)
        {
            void* memory = ::operator new(sizeof(Block) + sizeof(T*) * static_cast<size_t>(capacity));
            Block* block = static_cast<Block*>(memory);
            block->Count = 0;
            block->Capacity = capacity;
            return block;
        }
        static void Free(Block* block) { ::operator delete(block); }
    };
    static_assert(sizeof(Block) % alignof(T*) == 0, "items follow the header without padding");

    Block* m_Block = nullptr;
};

// Name and text of every part of the tree.
class XmlBase
{
public:
    XmlBase() = default;
    XmlBase(const XmlBase&) = delete;
    XmlBase& operator=(const XmlBase&) = delete;

    // Writes the object in the file format at the document's writer depth.
    virtual void Write(XmlDocument& document, XmlWriter& writer) = 0;
    virtual ~XmlBase();
    virtual const WCHAR* GetName() const;
    virtual void SetName(const WCHAR* name);
    virtual const WCHAR* GetValue() const;
    virtual void SetValue(const WCHAR* value);
    // The value := the variant's text form.
    virtual void SetVariant(const VarUtils::XVariant& value);
    // A wide-text variant holding a copy of the value.
    virtual VarUtils::XVariant GetVariant();
    // An empty value is first set to the default's text form.
    virtual VarUtils::XVariant GetVariant(const VarUtils::XVariant& defaultValue);

protected:
    XString m_Name;
    XString m_Value;
};

class XmlAttribute : public XmlBase
{
public:
    // name="escaped value"; the space before it comes from the element.
    void Write(XmlDocument& document, XmlWriter& writer) override;
};

// An element that holds only text, written on one line.
class XmlValue : public XmlBase
{
public:
    void Write(XmlDocument& document, XmlWriter& writer) override;
};

class XmlNode;

// A handle on a node's child elements.
class XmlNodes
{
public:
    XmlNodes(CxArray<XmlNode>* nodes, XmlDocument* document) : m_Nodes(nodes), m_Document(document) {}
    uint32_t GetCount() const { return m_Nodes->GetCount(); }
    // With the array's bounds check.
    XmlNode* operator[](uint32_t i) const { return (*m_Nodes)[i]; }

private:
    CxArray<XmlNode>* m_Nodes;
    [[maybe_unused]] XmlDocument* m_Document; // the document the nodes belong to
};

class XmlNode : public XmlBase
{
public:
    // A node of the given document with an empty name and value.
    explicit XmlNode(XmlDocument* document);
    ~XmlNode() override;

    // The element with its attributes, children and named values, in that order.
    void Write(XmlDocument& document, XmlWriter& writer) override;
    // Empties children, named values and attributes; name and value stay.
    virtual void Clear();

    XmlNodes GetNodes() { return XmlNodes(&m_Nodes, m_Document); }
    const CxArray<XmlValue>& GetValues() const { return m_Values; }
    const CxArray<XmlAttribute>& GetAttributes() const { return m_Attributes; }
    XmlDocument* GetDocument() const { return m_Document; }

    // Appends a child element of the same document with this name.
    XmlNode* AddNode(const WCHAR* name);
    // Appends a named value; no check for an existing one of that name.
    XmlValue* AddValue(const WCHAR* name, const VarUtils::XVariant& value);
    // Appends an attribute; no check for an existing one of that name.
    XmlAttribute* AddAttribute(const WCHAR* name, const VarUtils::XVariant& value);
    // The first entry of that name, compared case-sensitively; null when none.
    XmlValue* FindValue(const WCHAR* name);
    XmlAttribute* FindAttribute(const WCHAR* name);
    // A wide-text variant of the value's text; a copy of the default when absent.
    VarUtils::XVariant ReadValue(const WCHAR* name, const VarUtils::XVariant& defaultValue);
    // A wide-text variant of the attribute's text; absent: XException "Xml attribute not found.".
    VarUtils::XVariant ReadAttribute(const WCHAR* name);

protected:
    friend class XmlParser;

    CxArray<XmlNode> m_Nodes;
    CxArray<XmlValue> m_Values;
    CxArray<XmlAttribute> m_Attributes;
    XmlDocument* m_Document;
};

class XmlDocument : public XmlNode
{
public:
    XmlDocument();
    ~XmlDocument() override;

    XmlNode* GetRoot() { return this; }
    const WCHAR* GetEncoding() const { return m_Encoding.c_str(); }

    // Replace the content (children, values, attributes, name and text) with the document read.
    // Any syntax problem, an unreadable or missing file included, throws XmlSyntaxError; the tree
    // then holds what was read before it.
    virtual void LoadFromStream(XStream& stream);
    // FF FE, the declaration and the document element.
    virtual void SaveToStream(XStream& stream);
    // Opens the file read-only.
    virtual void LoadFromFile(const WCHAR* fileName);
    // Creates or truncates the file; a file that cannot be created throws the stream's failure.
    virtual void SaveToFile(const WCHAR* fileName);

private:
    friend class XmlNode;
    friend class XmlValue;
    friend class XmlAttribute;
    friend class WorkBuffer;
    friend const WCHAR* EscapeXmlValue(XmlDocument& document, const WCHAR* text);
    friend const WCHAR* UnescapeXmlValue(XmlDocument& document, const WCHAR* text, uint32_t length);

    // Room for need code units: the capacity is doubled until it is above the need, and a new
    // buffer (contents not kept) replaces the old one.
    WCHAR* ReserveWork(uint64_t need);

    XString m_Encoding;
    uint32_t m_WriterDepth = 0;
    WCHAR* m_Work = nullptr;
    uint32_t m_WorkCapacity = 0;
};

// '"', '&' and '<' become '&' and the two upper-case hexadecimal digits of their code; every
// other code unit is copied. The result lives in the document's work buffer until the next call.
const WCHAR* EscapeXmlValue(XmlDocument& document, const WCHAR* text);
// Each '&' and the two hexadecimal digits after it become one code unit. An '&' without two
// hexadecimal digits after it within the text, or the escape of code 0, throws XmlSyntaxError;
// nothing past the text is read. The result lives in the document's work buffer.
const WCHAR* UnescapeXmlValue(XmlDocument& document, const WCHAR* text, uint32_t length);
const WCHAR* UnescapeXmlValue(XmlDocument& document, const WCHAR* text);

// The tokenizer of the dialect: names, < > ? = /, quoted texts (raw, without the quotes), line
// feeds; comments are skipped; anything else is an illegal character (kind 0).
class XmlScanner : public Cx::CxScanner
{
public:
    explicit XmlScanner(Cx::ISourceControl* control) : Cx::CxScanner(control) {}
    ~XmlScanner() override;
    Cx::CxToken* NextToken() override;
};

// Reads one document; lives for one load. The diagnostics sink has no listener: the scanner's
// messages are counted, not shown, and every failure surfaces as XmlSyntaxError.
class XmlParser
{
public:
    explicit XmlParser(XmlDocument* document);
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    void ParseFile(const WCHAR* fileName);
    void ParseStream(XStream& stream);
    void ParseDocument();

    // Elements may nest this deep (the root counts as one); deeper input is a syntax error.
    static constexpr uint32_t MaxDepth = 256;

private:
    [[noreturn]] void Fail();
    void Advance();
    void Expect(uint32_t kind);
    bool IsName() const;
    bool TokenIs(const WCHAR* name) const;
    XString TokenText() const;
    // The text up to the next '<', which is consumed; its raw units are copied out.
    XString ReadText();
    void ReadAttributes(XmlNode* node);
    // The attributes and the end of a start tag: false for "/>", true for ">" (content follows).
    bool ReadStartTag(XmlNode* element);
    // From the '/' after a '<' on: the name, which must be name, and the '>'.
    void ReadEndTag(const WCHAR* name);
    // The text up to the next tag, decoded, trimmed and added to text. True when that tag is
    // node's end tag, which is then read and text made node's value.
    bool ReadTextOrEnd(XmlNode* node, std::u16string& text);
    // A child element of node from its name (the token after '<') to its end; an element of
    // text only becomes a named value, trimmed or not as trimValue says.
    void ReadChild(XmlNode* node, uint32_t depth, bool trimValue);
    // After "<P ...>": text, children and named values up to "</P>".
    void ContentA(XmlNode* node, uint32_t depth);
    // After "<Q>text<" with the token after the '<' current; named values here are trimmed.
    void ContentB(XmlNode* node, uint32_t depth);
    // Trimmed or not, then unescaped.
    XString Decode(const XString& raw, bool trim);

    XmlDocument* m_Document;
    XmlScanner m_Scanner;
    Cx::CxSourceControl m_Control;
    Cx::CxToken* m_Token = nullptr;
};

} // namespace CxXml
