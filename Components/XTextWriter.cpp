#include "Components/XTextWriter.h"

#include <bit>
#include <cstring>

// Wide text goes out as it lies in memory, which is the little-endian form of the files.
static_assert(std::endian::native == std::endian::little);

namespace FileUtils
{
namespace
{
// XStream::Write takes a 32-bit count: larger texts go in pieces. A piece that comes up short
// ends the write, as a full disk would.
void WriteBytes(XStream* stream, const void* data, size_t size)
{
    const size_t piece = 0x40000000;
    const char* p = static_cast<const char*>(data);
    while (size > 0)
    {
        unsigned count = static_cast<unsigned>(size < piece ? size : piece);
        if (stream->Write(p, count) != count)
            return;
        p += count;
        size -= count;
    }
}
} // namespace

XTextWriter<WCHAR>& XTextWriter<WCHAR>::operator<<(const WCHAR* text)
{
    if (m_Stream && text)
    {
        size_t length = 0;
        while (text[length])
            ++length;
        WriteBytes(m_Stream, text, length * sizeof(WCHAR));
    }
    return *this;
}

XTextWriter<WCHAR>& XTextWriter<WCHAR>::operator<<(const StrUtils::XBaseString<WCHAR>& text)
{
    return *this << text.c_str();
}

void XTextWriter<char>::Write(const char* text)
{
    if (m_Stream && text)
        WriteBytes(m_Stream, text, std::strlen(text));
}

XTextWriter<char>& XTextWriter<char>::operator<<(float value)
{
    char text[512];
    FloatToText(text, value);
    Write(text);
    return *this;
}

XTextWriter<char>& XTextWriter<char>::operator<<(int value)
{
    char text[16];
    IntToText(text, value);
    Write(text);
    return *this;
}
} // namespace FileUtils
