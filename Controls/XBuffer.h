// Growable byte store of the hex editor: bytes addressed by 64-bit positions, held in one
// contiguous block that grows in steps.
//
// The stored size, capacity and step are 32-bit: anything that would take the buffer past
// 2^31 - 1 bytes raises std::bad_alloc before the buffer changes. Bytes that appear without being
// written (growth through SetSize, a gap opened by Insert without a source, the part LoadFromStream
// could not read) are zero.
#pragma once

#include <cstdint>

class TStream;

class XBuffer
{
public:
    virtual ~XBuffer() = default;
    // Copies min(count, size - pos) bytes from pos; 0 when pos is outside [0, size) or count <= 0.
    virtual int32_t Read(int64_t pos, int32_t count, void* dst) = 0;
    // The same bounds as Read, copying into the buffer; never grows it.
    virtual int32_t Write(int64_t pos, int32_t count, const void* src) = 0;
    // Opens count bytes at pos (clamped to [0, size)) and fills them from src, or with zeros.
    virtual void Insert(int64_t pos, int32_t count, const void* src) = 0;
    // Removes up to count bytes at pos (a pos at or past the end means the last byte).
    virtual void Remove(int64_t pos, int64_t count) = 0;
    virtual void Clear() = 0;
    // Takes the stream's whole size, reads from its current position; returns the bytes read.
    virtual int32_t LoadFromStream(TStream* stream) = 0;
    // Writes every byte at the stream's position; returns the bytes written.
    virtual int32_t SaveToStream(TStream* stream) = 0;
    virtual int64_t GetSize() = 0;
    virtual void SetSize(int64_t size) = 0;
    virtual int64_t GetStep() = 0;
    virtual void SetStep(int64_t step) = 0;
    virtual int64_t GetCapacity() = 0;
    virtual void SetCapacity(int64_t capacity) = 0;
};

class XMemoryBuffer : public XBuffer
{
public:
    XMemoryBuffer() = default;
    XMemoryBuffer(const XMemoryBuffer&) = delete;
    XMemoryBuffer& operator=(const XMemoryBuffer&) = delete;
    ~XMemoryBuffer() override;

    int32_t Read(int64_t pos, int32_t count, void* dst) override;
    int32_t Write(int64_t pos, int32_t count, const void* src) override;
    void Insert(int64_t pos, int32_t count, const void* src) override;
    void Remove(int64_t pos, int64_t count) override;
    void Clear() override;
    int32_t LoadFromStream(TStream* stream) override;
    int32_t SaveToStream(TStream* stream) override;
    int64_t GetSize() override { return m_size; }
    // A negative size is 0; growth gets exactly the room asked for and zero bytes.
    void SetSize(int64_t size) override;
    int64_t GetStep() override { return m_step; }
    // A negative step is 0 (each growth exactly as large as needed).
    void SetStep(int64_t step) override;
    int64_t GetCapacity() override { return m_capacity; }
    // Cuts the size when below it; 0 frees the block.
    void SetCapacity(int64_t capacity) override;

    // The block itself (null while the capacity is 0), for readers that need no copy.
    const uint8_t* Data() const { return m_data; }

private:
    uint8_t* m_data = nullptr;
    int32_t m_step = 16384;
    int32_t m_size = 0;
    int32_t m_capacity = 0;
};
