#include "Components/XWriter.h"

#include "Components/XException.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "chunk values are stored in memory order");

XWriter::XWriter(XStream* stream) : m_Stream(stream)
{
    if (!stream)
        throw XException(u"Null stream pointer.");
}

XWriter::~XWriter()
{
    while (m_Chunk)
    {
        try
        {
            EndChunk();
        }
        catch (...)
        {
            // Destruction must not throw; the chunk keeps whatever size it has on the stream.
            m_Stack.SetCount(m_Stack.GetCount() - 1);
            m_Chunk = m_Stack.GetCount() ? &m_Stack.GetData()[m_Stack.GetCount() - 1] : nullptr;
        }
    }
}

void XWriter::BeginChunk(uint32_t id)
{
    int64_t start = m_Stream->GetPosition();
    if (start < 0 || start > int64_t(0xFFFFFFFFu))
        throw FileUtils::XIOError();
    unsigned char header[8];
    uint32_t size = 0;
    std::memcpy(header, &id, 4);
    std::memcpy(header + 4, &size, 4);
    if (m_Stream->Write(header, 8) != 8)
        throw FileUtils::XIOError();
    m_Stack.Add(XIOChunk{id, static_cast<uint32_t>(start), 0});
    m_Chunk = &m_Stack.GetData()[m_Stack.GetCount() - 1];
}

void XWriter::EndChunk()
{
    if (!m_Chunk)
        throw XException(u"Null chunk pointer.");
    int64_t end = m_Stream->GetPosition();
    int64_t length = end - int64_t(m_Chunk->start);
    if (length < 8 || length > int64_t(0xFFFFFFFFu))
        throw FileUtils::XIOError();
    uint32_t size = static_cast<uint32_t>(length);
    m_Stream->SetPosition(int64_t(m_Chunk->start) + 4);
    bool patched = m_Stream->GetPosition() == int64_t(m_Chunk->start) + 4 && m_Stream->Write(&size, 4) == 4;
    m_Stream->SetPosition(end);
    if (!patched || m_Stream->GetPosition() != end)
        throw FileUtils::XIOError();
    m_Chunk->size = size;
    m_Stack.SetCount(m_Stack.GetCount() - 1);
    m_Chunk = m_Stack.GetCount() ? &m_Stack.GetData()[m_Stack.GetCount() - 1] : nullptr;
}

void XWriter::Write(const void* data, unsigned count)
{
    if (m_Stream->Write(data, count) != count)
        throw FileUtils::XIOError();
}

void XWriter::WriteU8(uint8_t value)
{
    Write(&value, 1);
}

void XWriter::WriteU32(uint32_t value)
{
    Write(&value, 4);
}

void XWriter::WriteFloat(float value)
{
    Write(&value, 4);
}

void XWriter::WriteString(const StrUtils::XBaseString<WCHAR>& value)
{
    uint32_t count = value.Length();
    if (count > 0x7FFFFFFFu) // its bytes would not fit one write
        throw FileUtils::XIOError();
    WriteU32(count);
    if (count)
        Write(value.c_str(), count * 2);
}

void XWriter::WriteChunk(uint32_t id, const void* data, unsigned count)
{
    BeginChunk(id);
    Write(data, count);
    EndChunk();
}

void XWriter::WriteChunkU8(uint32_t id, uint8_t value)
{
    BeginChunk(id);
    WriteU8(value);
    EndChunk();
}

void XWriter::WriteChunkU32(uint32_t id, uint32_t value)
{
    BeginChunk(id);
    WriteU32(value);
    EndChunk();
}

void XWriter::WriteChunkFloat(uint32_t id, float value)
{
    BeginChunk(id);
    WriteFloat(value);
    EndChunk();
}

void XWriter::WriteChunkString(uint32_t id, const StrUtils::XBaseString<WCHAR>& value)
{
    BeginChunk(id);
    WriteString(value);
    EndChunk();
}

XWriter& XWriter::operator<<(const StrUtils::XBaseString<WCHAR>& value)
{
    WriteString(value);
    return *this;
}
