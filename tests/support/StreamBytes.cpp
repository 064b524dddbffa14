#include "tests/support/StreamBytes.h"

std::string StreamString(XStream& stream)
{
    std::string bytes(static_cast<size_t>(stream.GetSize()), '\0');
    int64_t keep = stream.GetPosition();
    stream.SetPosition(0);
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<unsigned>(bytes.size()));
    stream.SetPosition(keep);
    return bytes;
}

std::vector<uint8_t> StreamBytes(XStream& stream)
{
    std::string bytes = StreamString(stream);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void LoadStream(XMemoryStream& stream, std::string_view bytes)
{
    stream.SetSize(0);
    stream.SetPosition(0);
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<unsigned>(bytes.size()));
    stream.SetPosition(0);
}

void LoadStream(XMemoryStream& stream, const std::vector<uint8_t>& bytes)
{
    LoadStream(stream, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

unsigned LimitedStream::Write(const void* buffer, unsigned count)
{
    unsigned n = count < m_WriteLeft ? count : m_WriteLeft;
    m_WriteLeft -= n;
    return n ? XMemoryStream::Write(buffer, n) : 0;
}

unsigned LimitedStream::Read(void* buffer, unsigned count)
{
    unsigned n = count < m_ReadLeft ? count : m_ReadLeft;
    m_ReadLeft -= n;
    return n ? XMemoryStream::Read(buffer, n) : 0;
}

unsigned SparseStream::Read(void* buffer, unsigned count)
{
    if (m_Position >= m_Size)
        return 0;
    if (int64_t(count) > m_Size - m_Position)
        count = static_cast<unsigned>(m_Size - m_Position);
    for (unsigned i = 0; i < count; ++i)
    {
        auto it = bytes.find(m_Position + i);
        static_cast<uint8_t*>(buffer)[i] = it == bytes.end() ? 0 : it->second;
    }
    m_Position += count;
    return count;
}

unsigned SparseStream::Write(const void* buffer, unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        bytes[m_Position + i] = static_cast<const uint8_t*>(buffer)[i];
    m_Position += count;
    if (m_Position > m_Size)
        m_Size = m_Position;
    return count;
}

int64_t SparseStream::Seek(int64_t offset, unsigned origin)
{
    int64_t base = origin == 0 ? 0 : origin == 1 ? m_Position : m_Size;
    m_Position = base + offset;
    return m_Position;
}
