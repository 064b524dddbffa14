// XStream over a list of equal, separately allocated blocks: byte p lives at p mod blockSize of
// block p / blockSize. Growing adds blocks and never moves written data.
#pragma once

#include "Components/XPtrArray.h"
#include "Components/XStream.h"

#include <cstdint>

class XMemoryStream : public XStream
{
public:
    // Reserves initialBlocks pointer slots without allocating a block. A block size of 0 is taken
    // as 8192.
    XMemoryStream(unsigned initialBlocks, unsigned blockSize);
    XMemoryStream(const XMemoryStream&) = delete;
    XMemoryStream& operator=(const XMemoryStream&) = delete;
    ~XMemoryStream() override;

    // Up to the size. A position left past the size by a shrinking SetSize is first brought back
    // to the size, so neither call reaches outside the blocks.
    unsigned Read(void* buffer, unsigned count) override;
    // Grows the stream through SetSize when it writes past the size; returns count.
    unsigned Write(const void* buffer, unsigned count) override;
    // Origin 2 counts the offset back from the end: Seek(10, 2) on 100 bytes gives 90. Any other
    // origin leaves the position. Returns the position.
    int64_t Seek(int64_t offset, unsigned origin) override;
    bool IsOpen() const override { return true; }
    bool Eof() const override { return m_Position >= m_Size; }
    int64_t GetPosition() const override { return static_cast<int64_t>(m_Position); }
    // Clamped to [0, size].
    void SetPosition(int64_t position) override;
    int64_t GetSize() const override { return static_cast<int64_t>(m_Size); }
    // A negative size is taken as 0. Above the allocated bytes, blocks are added up to
    // ceil(size / blockSize); down to allocated - blockSize only the size changes; below that the
    // blocks past ceil(size / blockSize) are freed. The position is not changed. Bytes exposed by
    // growing read as 0.
    void SetSize(int64_t size) override;

    unsigned GetBlockSize() const { return m_BlockSize; }
    unsigned GetBlockCount() const { return m_Blocks.GetCount(); }
    uint64_t GetAllocated() const { return m_Allocated; }

private:
    // Throws XException "Out of range." for an index at or past the block count.
    char* Block(uint64_t index);
    // Calls visit(bytes, span) for each piece of [at, at + length) that lies within one block,
    // in order.
    template <class Visit> void ForEachSpan(uint64_t at, uint64_t length, Visit visit);
    void Zero(uint64_t from, uint64_t to);

    XPtrArray<char, 32> m_Blocks;
    // 64-bit so that a stream past 4 GiB keeps its data instead of wrapping.
    uint64_t m_Position = 0;
    uint64_t m_Allocated = 0; // blocks x block size
    uint64_t m_Size = 0;
    unsigned m_BlockSize;
};
