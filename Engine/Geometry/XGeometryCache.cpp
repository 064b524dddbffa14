#include "Engine/Geometry/XGeometryCache.h"

#include <cstring>
#include <new>

void XGeometryCache::Reset()
{
    delete[] m_Data;
    m_Data = nullptr;
    m_Valid = false;
    m_FVF = 0;
    m_Count = 0;
    m_Stride = 0;
    m_Size = 0;
}

uint8_t* XGeometryCache::Allocate(uint32_t fvf, uint32_t count, uint32_t stride, uint64_t size)
{
    Reset();
    // Sizes are kept as 32-bit words; a larger mesh cannot be cached (and could not be drawn).
    if (size == 0 || size > UINT32_MAX)
        return nullptr;
    m_Data = new (std::nothrow) uint8_t[size];
    if (!m_Data)
        return nullptr;
    std::memset(m_Data, 0, size);
    m_FVF = fvf;
    m_Count = count;
    m_Stride = stride;
    m_Size = static_cast<uint32_t>(size);
    return m_Data;
}
