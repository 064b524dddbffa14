// Thin writers of text onto any XStream: the wide one writes UTF-16 code units (the XML writer),
// the narrow one 8-bit text and numbers (the mesh text export). Neither owns its stream, writes a
// terminator or a byte-order mark, or reports a short write; with no stream they write nothing.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XStream.h"

namespace FileUtils
{
template <class C> class XTextWriter;

template <> class XTextWriter<WCHAR>
{
public:
    explicit XTextWriter(XStream* stream) : m_Stream(stream) {}

    // Length x 2 bytes, little-endian code units.
    XTextWriter& operator<<(const WCHAR* text);
    XTextWriter& operator<<(const StrUtils::XBaseString<WCHAR>& text);

private:
    XStream* m_Stream;
};

template <> class XTextWriter<char>
{
public:
    explicit XTextWriter(XStream* stream) : m_Stream(stream) {}

    // strlen bytes.
    void Write(const char* text);
    XTextWriter& operator<<(const char* text)
    {
        Write(text);
        return *this;
    }
    // 9 significant digits, '.' whatever the locale.
    XTextWriter& operator<<(float value);
    // Signed decimal.
    XTextWriter& operator<<(int value);

private:
    XStream* m_Stream;
};
} // namespace FileUtils
