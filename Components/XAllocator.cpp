#include "Components/XAllocator.h"

#include <cstddef>
#include <new>

void* XAllocator::Alloc(unsigned n)
{
    if (n > m_BlockSize)
        throw std::bad_alloc();
    constexpr uint32_t align = alignof(std::max_align_t);
    uint32_t start = (m_Used + align - 1) & ~(align - 1);
    if (m_Current >= 0 && start <= m_BlockSize && n <= m_BlockSize - start)
    {
        m_Used = start + n;
        return static_cast<char*>(m_Blocks[m_Current]) + start;
    }
    uint32_t next = static_cast<uint32_t>(m_Current + 1);
    if (next == m_Slots)
    {
        void** slots = new void*[m_Slots + 4]();
        for (uint32_t i = 0; i < m_Slots; ++i)
            slots[i] = m_Blocks[i];
        delete[] m_Blocks;
        m_Blocks = slots;
        m_Slots += 4;
    }
    // The new operator's blocks are aligned for any type.
    m_Blocks[next] = ::operator new(m_BlockSize);
    m_Current = static_cast<int32_t>(next);
    m_Used = n;
    return m_Blocks[next];
}

void XAllocator::Clear()
{
    for (int32_t i = 0; i <= m_Current; ++i)
        ::operator delete(m_Blocks[i]);
    delete[] m_Blocks;
    m_Blocks = nullptr;
    m_Slots = 0;
    m_Used = 0;
    m_Current = -1;
}
