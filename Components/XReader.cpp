#include "Components/XReader.h"

#include "Components/XException.h"

#include <bit>
#include <memory>

static_assert(std::endian::native == std::endian::little, "chunk values are stored in memory order");

XReader::XReader(XStream* stream) : m_Stream(stream)
{
    if (!stream)
        throw XException(u"Null stream pointer.");
}

XReader::~XReader()
{
    while (m_Chunk)
    {
        try
        {
            EndChunk();
        }
        catch (...)
        {
            PopChunk();
        }
    }
}

void XReader::PopChunk()
{
    m_Stack.SetCount(m_Stack.GetCount() - 1);
    m_Chunk = m_Stack.GetCount() ? &m_Stack.GetData()[m_Stack.GetCount() - 1] : nullptr;
}

bool XReader::NextChunk()
{
    // Id and size in one read: a header cut short is the end of the list either way.
    uint32_t header[2];
    if (m_Stream->Read(header, 8) != 8)
        return false;
    uint32_t id = header[0];
    uint32_t size = header[1];
    // A size below the header would send EndChunk back into or before this header, and a loop
    // over the chunk list would never end.
    if (size < 8)
        return false;
    int64_t start = m_Stream->GetPosition() - 8;
    if (start < 0 || start > int64_t(0xFFFFFFFFu))
        return false;
    int64_t end = start + size;
    int64_t limit = m_Chunk ? int64_t(m_Chunk->start) + m_Chunk->size : m_Stream->GetSize();
    if (end > limit)
        return false;
    m_Stack.Add(XIOChunk{id, static_cast<uint32_t>(start), size});
    m_Chunk = &m_Stack.GetData()[m_Stack.GetCount() - 1];
    return true;
}

void XReader::EndChunk()
{
    if (!m_Chunk)
        throw XException(u"Null chunk pointer.");
    int64_t end = int64_t(m_Chunk->start) + m_Chunk->size;
    PopChunk();
    m_Stream->SetPosition(end);
}

uint64_t XReader::GetBytesLeft() const
{
    int64_t end = m_Chunk ? int64_t(m_Chunk->start) + m_Chunk->size : m_Stream->GetSize();
    int64_t position = m_Stream->GetPosition();
    return position < end ? static_cast<uint64_t>(end - position) : 0;
}

unsigned XReader::Read(void* data, unsigned count)
{
    return m_Stream->Read(data, count);
}

void XReader::ReadU8(uint8_t& value)
{
    if (m_Stream->Read(&value, 1) != 1)
        throw FileUtils::XIOError();
}

void XReader::ReadU32(uint32_t& value)
{
    if (m_Stream->Read(&value, 4) != 4)
        throw FileUtils::XIOError();
}

void XReader::ReadFloat(float& value)
{
    if (m_Stream->Read(&value, 4) != 4)
        throw FileUtils::XIOError();
}

void XReader::ReadString(StrUtils::XBaseString<WCHAR>& value, unsigned maxLength)
{
    uint32_t count;
    ReadU32(count);
    if (count > maxLength)
        throw XException(u"String too long.");
    if (uint64_t(count) * 2 > GetBytesLeft())
        throw FileUtils::XIOError();
    const unsigned bytes = count * 2; // fits: bounded by the bytes left in a chunk under 4 GiB
    if (count <= 510)
    {
        WCHAR buffer[512];
        if (m_Stream->Read(buffer, bytes) != bytes)
            throw FileUtils::XIOError();
        buffer[count] = 0;
        value.Assign(buffer, count);
        return;
    }
    std::unique_ptr<WCHAR[]> buffer(new WCHAR[size_t(count) + 1]);
    if (m_Stream->Read(buffer.get(), bytes) != bytes)
        throw XException(u"Failed reading from stream.");
    buffer[count] = 0;
    value.Assign(buffer.get(), count);
}

void XReader::ReadAnsiString(char* buffer, unsigned maxLength)
{
    uint32_t count;
    ReadU32(count);
    if (count > maxLength)
        throw XException(u"String too long.");
    if (count > GetBytesLeft())
        throw FileUtils::XIOError();
    if (m_Stream->Read(buffer, count) != count)
        throw FileUtils::XIOError();
    buffer[count] = 0;
}

void XReader::ExpectChunk(uint32_t id)
{
    if (!NextChunk() || m_Chunk->id != id)
        throw XWrongChunkException();
}

void XReader::ReadChunk(uint32_t id, void* data, unsigned count)
{
    ExpectChunk(id);
    Read(data, count);
    EndChunk();
}

void XReader::ReadChunkU32(uint32_t id, uint32_t& value)
{
    ExpectChunk(id);
    ReadU32(value);
    EndChunk();
}

void XReader::ReadChunkString(uint32_t id, StrUtils::XBaseString<WCHAR>& value, unsigned maxLength)
{
    ExpectChunk(id);
    ReadString(value, maxLength);
    EndChunk();
}
