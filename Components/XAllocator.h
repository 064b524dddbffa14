// Bump allocator over 16,384-byte blocks: records are carved one after another from the current
// block and a request that does not fit opens the next block. Nothing is freed one allocation at
// a time; Clear frees everything.
#pragma once

#include <cstdint>

class XAllocator
{
public:
    XAllocator() = default;
    XAllocator(const XAllocator&) = delete;
    XAllocator& operator=(const XAllocator&) = delete;
    ~XAllocator() { Clear(); }

    // n bytes that never span two blocks, aligned for any type (records mix pointers and 64-bit
    // sizes with texts). A request larger than a block cannot be met: std::bad_alloc, and the
    // allocator is unchanged.
    void* Alloc(unsigned n);
    void Clear();

    uint32_t GetBlockSize() const { return m_BlockSize; }
    // Blocks opened since the last Clear.
    uint32_t GetBlockCount() const { return static_cast<uint32_t>(m_Current + 1); }

private:
    void** m_Blocks = nullptr;
    uint32_t m_Slots = 0;
    uint32_t m_BlockSize = 16384;
    uint32_t m_Used = 0;
    int32_t m_Current = -1;
};
