// A vertex buffer in system memory that a mesh keeps for one way of drawing itself: its records,
// their flexible vertex format and stride, and whether they still match the mesh.
#pragma once

#include <cstdint>

class XGeometryCache
{
public:
    XGeometryCache() = default;
    ~XGeometryCache() { Reset(); }
    XGeometryCache(const XGeometryCache&) = delete;
    XGeometryCache& operator=(const XGeometryCache&) = delete;

    // Frees the buffer and sets every field to 0 (invalid).
    void Reset();
    // After a reset: a zero-filled buffer of size bytes for count records of the format. Returns
    // null (and leaves the cache empty) when the buffer cannot be had.
    uint8_t* Allocate(uint32_t fvf, uint32_t count, uint32_t stride, uint64_t size);

    bool IsValid() const { return m_Valid; }
    // The mesh changed: the records no longer match it (the buffer stays until the next build).
    void Invalidate() { m_Valid = false; }
    void Validate() { m_Valid = true; }

    uint32_t GetFVF() const { return m_FVF; }
    uint32_t GetCount() const { return m_Count; }
    uint32_t GetStride() const { return m_Stride; }
    uint32_t GetSize() const { return m_Size; }
    const uint8_t* GetData() const { return m_Data; }

private:
    bool m_Valid = false;
    uint32_t m_FVF = 0;
    uint32_t m_Count = 0;
    uint32_t m_Stride = 0;
    uint32_t m_Size = 0;
    uint8_t* m_Data = nullptr;
};
