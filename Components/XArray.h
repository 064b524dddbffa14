// Value array {u32 count; u32 capacity; T* data}. Storage grows to exactly the requested count
// (N is part of the type only); elements are default-constructed and copied by assignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// The storage XArray and XPtrArray share: {u32 count; u32 capacity; E* data}, grown to exactly
// the requested count, elements value-initialised and copied by assignment. Checked indexing is
// each array's own, as each throws its own "Out of range.".
template <class E> class XArrayStorage
{
public:
    uint32_t GetCount() const { return m_Count; }
    uint32_t GetCapacity() const { return m_Capacity; }
    E* GetData() { return m_Data; }
    const E* GetData() const { return m_Data; }

    // Frees the storage: count and capacity 0.
    void Clear()
    {
        delete[] m_Data;
        m_Data = nullptr;
        m_Count = 0;
        m_Capacity = 0;
    }

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
        E* data = n ? new E[n]() : nullptr; // allocate first: a failure keeps the old storage
        uint32_t count = m_Count < n ? m_Count : n;
        for (uint32_t i = 0; i < count; ++i)
            data[i] = m_Data[i];
        delete[] m_Data;
        m_Data = data;
        m_Capacity = n;
        m_Count = count;
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

protected:
    XArrayStorage() = default;
    XArrayStorage(const XArrayStorage&) = delete;
    XArrayStorage& operator=(const XArrayStorage&) = delete;
    ~XArrayStorage() { Clear(); }

    // Takes other's count and elements.
    void Assign(const XArrayStorage& other)
    {
        if (this == &other)
            return;
        if constexpr (std::is_trivially_copyable_v<E>)
        {
            // Whole-mesh copies (undo records) go through here: one block copy, and new storage
            // is not cleared first, as every element is written at once.
            if (other.m_Count > m_Capacity)
            {
                E* data = new E[other.m_Count]; // allocate first: a failure keeps the old storage
                delete[] m_Data;
                m_Data = data;
                m_Capacity = other.m_Count;
            }
            m_Count = other.m_Count;
            if (m_Count)
                std::memcpy(static_cast<void*>(m_Data), other.m_Data, size_t(m_Count) * sizeof(E));
            return;
        }
        if (m_Count != other.m_Count)
            SetCount(other.m_Count);
        for (uint32_t i = 0; i < m_Count; ++i)
            m_Data[i] = other.m_Data[i];
    }

    // The index of the first element equal to value; -1 when none is.
    template <class V> int Find(const V& value) const
    {
        for (uint32_t i = 0; i < m_Count; ++i)
            if (m_Data[i] == value)
                return static_cast<int>(i);
        return -1;
    }

    uint32_t m_Count = 0;
    uint32_t m_Capacity = 0;
    E* m_Data = nullptr;
};

template <class T, unsigned N = 32> class XArray : public XArrayStorage<T>
{
    using Storage = XArrayStorage<T>;

public:
    XArray() = default;
    XArray(const XArray& other) { Storage::Assign(other); }
    XArray& operator=(const XArray& other)
    {
        Storage::Assign(other);
        return *this;
    }

    uint32_t Add(const T& value)
    {
        // Copy first: the value may live in this array's own storage.
        T copy = value;
        Storage::SetCount(this->m_Count + 1);
        this->m_Data[this->m_Count - 1] = copy;
        return this->m_Count - 1;
    }

    T& operator[](uint32_t i)
    {
        if (i >= this->m_Count)
            throw "Out of range.";
        return this->m_Data[i];
    }
    const T& operator[](uint32_t i) const
    {
        if (i >= this->m_Count)
            throw "Out of range.";
        return this->m_Data[i];
    }

    int IndexOf(const T& value) const { return Storage::Find(value); }
};
