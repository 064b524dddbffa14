#include "Controls/XBuffer.h"

#include "Platform/Vcl/Streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
constexpr int64_t kMaxBytes = INT32_MAX;

// Bytes beyond what a 32-bit size can hold are memory the buffer cannot have.
void RequireRepresentable(int64_t bytes)
{
    if (bytes > kMaxBytes)
        throw std::bad_alloc();
}

uint8_t* Allocate(int64_t bytes)
{
    auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
    if (!block)
        throw std::bad_alloc();
    return block;
}
} // namespace

XMemoryBuffer::~XMemoryBuffer()
{
    Clear();
}

int32_t XMemoryBuffer::Read(int64_t pos, int32_t count, void* dst)
{
    if (pos < 0 || count <= 0 || pos >= m_size)
        return 0;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, m_size - pos));
    std::memcpy(dst, m_data + pos, static_cast<size_t>(n));
    return n;
}

int32_t XMemoryBuffer::Write(int64_t pos, int32_t count, const void* src)
{
    if (pos < 0 || count <= 0 || pos >= m_size)
        return 0;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, m_size - pos));
    std::memcpy(m_data + pos, src, static_cast<size_t>(n));
    return n;
}

void XMemoryBuffer::Insert(int64_t pos, int32_t count, const void* src)
{
    if (count <= 0)
        return;
    pos = std::clamp<int64_t>(pos, 0, m_size);
    const int64_t newSize = int64_t(m_size) + count;
    RequireRepresentable(newSize);
    const size_t at = static_cast<size_t>(pos);
    const size_t tail = static_cast<size_t>(m_size - pos);
    if (m_capacity - m_size >= count)
    {
        std::memmove(m_data + at + count, m_data + at, tail);
    }
    else
    {
        // One step more, or as much as needed when that is more; a step that would pass the
        // limit stops at the limit.
        int64_t capacity = std::min(std::max(int64_t(m_capacity) + m_step, newSize), kMaxBytes);
        uint8_t* block = Allocate(capacity);
        if (m_data)
        {
            std::memcpy(block, m_data, at);
            std::memcpy(block + at + count, m_data + at, tail);
            std::free(m_data);
        }
        m_data = block;
        m_capacity = static_cast<int32_t>(capacity);
    }
    if (src)
        std::memcpy(m_data + at, src, static_cast<size_t>(count));
    else
        std::memset(m_data + at, 0, static_cast<size_t>(count));
    m_size = static_cast<int32_t>(newSize);
}

void XMemoryBuffer::Remove(int64_t pos, int64_t count)
{
    if (pos >= m_size)
        pos = int64_t(m_size) - 1;
    if (pos < 0)
        pos = 0;
    if (count > m_size - pos)
        count = m_size - pos;
    if (count <= 0)
        return;
    const size_t at = static_cast<size_t>(pos);
    std::memmove(m_data + at, m_data + at + count, static_cast<size_t>(m_size - pos - count));
    m_size = static_cast<int32_t>(m_size - count);
    if (m_size == 0)
        SetCapacity(0);
    else if (int64_t(m_capacity) - m_size > 2 * int64_t(m_step))
        SetCapacity(int64_t(m_capacity) - m_step);
}

void XMemoryBuffer::Clear()
{
    SetCapacity(0);
}

int32_t XMemoryBuffer::LoadFromStream(TStream* stream)
{
    const int64_t size = std::max<int64_t>(stream->Size(), 0);
    // The bytes are read straight into the block; only what the read does not deliver is zeroed.
    RequireRepresentable(size);
    if (m_capacity < size)
        SetCapacity(size);
    m_size = static_cast<int32_t>(size);
    const int32_t got = stream->Read(m_data, m_size);
    if (got < m_size)
        std::memset(m_data + std::max(got, 0), 0, static_cast<size_t>(m_size - std::max(got, 0)));
    return got;
}

int32_t XMemoryBuffer::SaveToStream(TStream* stream)
{
    return stream->Write(m_data, m_size);
}

void XMemoryBuffer::SetSize(int64_t size)
{
    if (size < 0)
        size = 0;
    RequireRepresentable(size);
    if (m_capacity < size)
        SetCapacity(size);
    if (size > m_size)
        std::memset(m_data + m_size, 0, static_cast<size_t>(size - m_size));
    m_size = static_cast<int32_t>(size);
}

void XMemoryBuffer::SetStep(int64_t step)
{
    m_step = static_cast<int32_t>(std::clamp<int64_t>(step, 0, kMaxBytes));
}

void XMemoryBuffer::SetCapacity(int64_t capacity)
{
    if (capacity < 0)
        capacity = 0;
    if (capacity == m_capacity)
        return;
    RequireRepresentable(capacity);
    if (capacity == 0)
    {
        std::free(m_data);
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
        return;
    }
    uint8_t* block = Allocate(capacity);
    const int32_t kept = static_cast<int32_t>(std::min<int64_t>(m_size, capacity));
    if (m_data)
        std::memcpy(block, m_data, static_cast<size_t>(kept));
    std::free(m_data);
    m_data = block;
    m_capacity = static_cast<int32_t>(capacity);
    m_size = kept;
}
