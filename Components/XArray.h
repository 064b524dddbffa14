// Value array {u32 count; u32 capacity; T* data}. Storage grows to exactly the requested count
// (N is part of the type only); elements are default-constructed and copied by assignment.
#pragma once

#include <cstdint>

template <class T, unsigned N = 32> class XArray
{
public:
    XArray() = default;
    XArray(const XArray& other) { *this = other; }
    XArray& operator=(const XArray& other)
    {
        if (this == &other)
            return *this;
        if (m_Count != other.m_Count)
            SetCount(other.m_Count);
        for (uint32_t i = 0; i < m_Count; ++i)
            m_Data[i] = other.m_Data[i];
        return *this;
    }
    ~XArray() { Clear(); }

    // Frees the storage: count and capacity 0.
    void Clear()
    {
        delete[] m_Data;
        m_Data = nullptr;
        m_Count = 0;
        m_Capacity = 0;
    }

    uint32_t GetCount() const { return m_Count; }
    uint32_t GetCapacity() const { return m_Capacity; }
    T* GetData() { return m_Data; }
    const T* GetData() const { return m_Data; }

    // Lowering the count keeps the storage; raising it within the capacity exposes the elements
    // already there.
    void SetCount(uint32_t n)
    {
        if (n == m_Count)
            return;
        if (n > m_Capacity)
            SetCapacity(n);
        m_Count = n;
    }

    void SetCapacity(uint32_t n)
    {
        if (n == m_Capacity)
            return;
        T* data = n ? new T[n]() : nullptr; // allocate first: a failure keeps the old storage
        uint32_t count = m_Count < n ? m_Count : n;
        for (uint32_t i = 0; i < count; ++i)
            data[i] = m_Data[i];
        delete[] m_Data;
        m_Data = data;
        m_Capacity = n;
        m_Count = count;
    }

    uint32_t Add(const T& value)
    {
        // Copy first: the value may live in this array's own storage.
        T copy = value;
        SetCount(m_Count + 1);
        m_Data[m_Count - 1] = copy;
        return m_Count - 1;
    }

    // Removes element i, moving the later ones down; false for an index at or past the count.
    bool Delete(uint32_t i)
    {
        if (i >= m_Count)
            return false;
        for (uint32_t k = i + 1; k < m_Count; ++k)
            m_Data[k - 1] = m_Data[k];
        --m_Count;
        return true;
    }

    T& operator[](uint32_t i)
    {
        if (i >= m_Count)
            throw "Out of range.";
        return m_Data[i];
    }
    const T& operator[](uint32_t i) const
    {
        if (i >= m_Count)
            throw "Out of range.";
        return m_Data[i];
    }

    int IndexOf(const T& value) const
    {
        for (uint32_t i = 0; i < m_Count; ++i)
            if (m_Data[i] == value)
                return static_cast<int>(i);
        return -1;
    }

private:
    uint32_t m_Count = 0;
    uint32_t m_Capacity = 0;
    T* m_Data = nullptr;
};
