#include "Components/XMemoryStream.h"

#include <cstring>
#include <limits>
#include <new>

namespace
{
int64_t SaturatingAdd(int64_t a, int64_t b)
{
    int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        return b < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return r;
}

int64_t SaturatingSub(int64_t a, int64_t b)
{
    int64_t r;
    if (__builtin_sub_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return r;
}
} // namespace

XMemoryStream::XMemoryStream(unsigned initialBlocks, unsigned blockSize)
    : m_BlockSize(blockSize ? blockSize : 8192)
{
    if (initialBlocks)
        m_Blocks.SetCapacity(initialBlocks);
}

XMemoryStream::~XMemoryStream()
{
    for (uint32_t i = 0; i < m_Blocks.GetCount(); ++i)
        delete[] m_Blocks.GetData()[i];
}

char* XMemoryStream::Block(uint64_t index)
{
    if (index >= m_Blocks.GetCount())
        throw XException(u"Out of range.");
    return m_Blocks.GetData()[index];
}

template <class Visit> void XMemoryStream::ForEachSpan(uint64_t at, uint64_t length, Visit visit)
{
    while (length)
    {
        uint64_t offset = at % m_BlockSize;
        uint64_t span = m_BlockSize - offset;
        if (span > length)
            span = length;
        visit(Block(at / m_BlockSize) + offset, span);
        at += span;
        length -= span;
    }
}

void XMemoryStream::Zero(uint64_t from, uint64_t to)
{
    if (from < to)
        ForEachSpan(from, to - from, [](char* bytes, uint64_t span) { std::memset(bytes, 0, span); });
}

unsigned XMemoryStream::Read(void* buffer, unsigned count)
{
    if (m_Position > m_Size)
        m_Position = m_Size;
    if (m_Position == m_Size || count == 0)
        return 0;
    uint64_t n = m_Size - m_Position;
    if (n > count)
        n = count;
    char* out = static_cast<char*>(buffer);
    ForEachSpan(m_Position, n,
                [&out](const char* bytes, uint64_t span)
                {
                    std::memcpy(out, bytes, span);
                    out += span;
                });
    SetPosition(static_cast<int64_t>(m_Position + n));
    return static_cast<unsigned>(n);
}

unsigned XMemoryStream::Write(const void* buffer, unsigned count)
{
    if (count == 0)
        return 0;
    if (m_Position > m_Size)
        m_Position = m_Size;
    uint64_t end = m_Position + count;
    if (end > m_Size)
        SetSize(static_cast<int64_t>(end));
    const char* in = static_cast<const char*>(buffer);
    ForEachSpan(m_Position, count,
                [&in](char* bytes, uint64_t span)
                {
                    std::memcpy(bytes, in, span);
                    in += span;
                });
    SetPosition(static_cast<int64_t>(end));
    return count;
}

int64_t XMemoryStream::Seek(int64_t offset, unsigned origin)
{
    switch (origin)
    {
    case 0:
        SetPosition(offset);
        break;
    case 1:
        SetPosition(SaturatingAdd(GetPosition(), offset));
        break;
    case 2:
        SetPosition(SaturatingSub(GetSize(), offset));
        break;
    default:
        break;
    }
    return GetPosition();
}

void XMemoryStream::SetPosition(int64_t position)
{
    if (position < 0)
        m_Position = 0;
    else if (static_cast<uint64_t>(position) > m_Size)
        m_Position = m_Size;
    else
        m_Position = static_cast<uint64_t>(position);
}

void XMemoryStream::SetSize(int64_t size)
{
    uint64_t n = size < 0 ? 0 : static_cast<uint64_t>(size);
    uint64_t blocks = n / m_BlockSize + (n % m_BlockSize ? 1 : 0);
    if (n > m_Allocated)
    {
        if (blocks > std::numeric_limits<uint32_t>::max())
            throw std::bad_alloc();
        uint32_t need = static_cast<uint32_t>(blocks);
        // Geometric growth of the pointer list keeps a long run of appends linear.
        if (need > m_Blocks.GetCapacity())
        {
            uint64_t grown = uint64_t(m_Blocks.GetCapacity()) + m_Blocks.GetCapacity() / 2 + 32;
            m_Blocks.SetCapacity(grown > need && grown <= std::numeric_limits<uint32_t>::max()
                                     ? static_cast<uint32_t>(grown)
                                     : need);
        }
        // One block at a time, so that a failed allocation leaves the counts true.
        while (m_Blocks.GetCount() < need)
        {
            m_Blocks.Add(new char[m_BlockSize]);
            m_Allocated += m_BlockSize;
        }
    }
    else if (n + m_BlockSize < m_Allocated)
    {
        while (m_Blocks.GetCount() > blocks)
        {
            uint32_t last = m_Blocks.GetCount() - 1;
            delete[] m_Blocks.GetData()[last];
            m_Blocks.Delete(last);
            m_Allocated -= m_BlockSize;
        }
    }
    if (n > m_Size)
        Zero(m_Size, n);
    m_Size = n;
}
