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

void XMemoryStream::Zero(uint64_t from, uint64_t to)
{
    while (from < to)
    {
        uint64_t offset = from % m_BlockSize;
        uint64_t span = m_BlockSize - offset;
        if (span > to - from)
            span = to - from;
        std::memset(Block(from / m_BlockSize) + offset, 0, span);
        from += span;
    }
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
    uint64_t at = m_Position;
    uint64_t left = n;
    while (left)
    {
        uint64_t offset = at % m_BlockSize;
        uint64_t span = m_BlockSize - offset;
        if (span > left)
            span = left;
        std::memcpy(out, Block(at / m_BlockSize) + offset, span);
        out += span;
        at += span;
        left -= span;
    }
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
    uint64_t at = m_Position;
    uint64_t left = count;
    while (left)
    {
        uint64_t offset = at % m_BlockSize;
        uint64_t span = m_BlockSize - offset;
        if (span > left)
            span = left;
        std::memcpy(Block(at / m_BlockSize) + offset, in, span);
        in += span;
        at += span;
        left -= span;
    }
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
