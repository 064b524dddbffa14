// Pointer arrays in the XArray layout {u32 count; u32 capacity; T** data}. XPtrArray never
// deletes what it points to; XPtrOwnArray owns its elements and deletes them whenever they leave
// the array. Checked indexing throws XException "Out of range.".
#pragma once

#include "Components/XArray.h"
#include "Components/XException.h"

#include <cstdint>

template <class T, unsigned N = 8> class XPtrArray : public XArrayStorage<T*>
{
    using Storage = XArrayStorage<T*>;

public:
    XPtrArray() = default;
    XPtrArray(const XPtrArray& other) { Storage::Assign(other); }
    XPtrArray& operator=(const XPtrArray& other)
    {
        Storage::Assign(other);
        return *this;
    }

    uint32_t Add(T* p)
    {
        Storage::SetCount(m_Count + 1);
        m_Data[m_Count - 1] = p;
        return m_Count - 1;
    }
    XPtrArray& operator+=(T* p)
    {
        Add(p);
        return *this;
    }
    XPtrArray& operator+=(const XPtrArray& other)
    {
        uint32_t n = other.m_Count;
        if (n == 0)
            return *this;
        if (&other == this)
        {
            // Growing frees our own storage, which is also the source: append from a snapshot.
            XPtrArray copy(other);
            return *this += copy;
        }
        uint32_t base = m_Count;
        Storage::SetCount(base + n);
        for (uint32_t i = 0; i < n; ++i)
            m_Data[base + i] = other.m_Data[i];
        return *this;
    }

    // An index at or past the count appends; otherwise the later pointers move up one place.
    uint32_t Insert(uint32_t i, T* p)
    {
        if (i >= m_Count)
            return Add(p);
        Storage::SetCount(m_Count + 1);
        for (uint32_t k = m_Count - 1; k > i; --k)
            m_Data[k] = m_Data[k - 1];
        m_Data[i] = p;
        return i;
    }

    // Deletes the first slot holding p; true whether or not p was found.
    bool Remove(T* p)
    {
        int i = IndexOf(p);
        if (i >= 0)
            Storage::Delete(static_cast<uint32_t>(i));
        return true;
    }

    int IndexOf(const T* p) const { return Storage::Find(p); }

    T*& operator[](uint32_t i)
    {
        if (i >= m_Count)
            throw XException(u"Out of range.");
        return m_Data[i];
    }
    T* const& operator[](uint32_t i) const
    {
        if (i >= m_Count)
            throw XException(u"Out of range.");
        return m_Data[i];
    }

protected:
    using Storage::m_Capacity;
    using Storage::m_Count;
    using Storage::m_Data;
};

// Owns its elements: dropping, deleting or clearing deletes them. N is the growth step.
// Not copyable: two arrays owning the same objects would delete them twice.
template <class T, unsigned N = 8> class XPtrOwnArray : public XPtrArray<T, N>
{
    using Base = XPtrArray<T, N>;

public:
    XPtrOwnArray() = default;
    XPtrOwnArray(const XPtrOwnArray&) = delete;
    XPtrOwnArray& operator=(const XPtrOwnArray&) = delete;
    ~XPtrOwnArray() { Clear(); }

    void Clear()
    {
        for (uint32_t i = 0; i < this->m_Count; ++i)
        {
            T* p = this->m_Data[i];
            this->m_Data[i] = nullptr;
            delete p;
        }
        Base::Clear();
    }

    void SetCount(uint32_t n)
    {
        if (n > this->m_Capacity)
        {
            uint32_t stepped = this->m_Capacity + N;
            SetCapacity(stepped >= n ? stepped : n);
        }
        while (this->m_Count > n)
        {
            // One at a time, so that a destructor that looks at the array sees a consistent count.
            T* p = this->m_Data[this->m_Count - 1];
            this->m_Data[this->m_Count - 1] = nullptr;
            --this->m_Count;
            delete p;
        }
        this->m_Count = n;
    }

    void SetCapacity(uint32_t n)
    {
        if (n == this->m_Capacity)
            return;
        SetCount(n < this->m_Count ? n : this->m_Count);
        Base::SetCapacity(n);
    }

    uint32_t Add(T* p)
    {
        SetCount(this->m_Count + 1);
        this->m_Data[this->m_Count - 1] = p;
        return this->m_Count - 1;
    }
    XPtrOwnArray& operator+=(T* p)
    {
        Add(p);
        return *this;
    }

    uint32_t Insert(uint32_t i, T* p)
    {
        if (i >= this->m_Count)
            return Add(p);
        SetCount(this->m_Count + 1);
        for (uint32_t k = this->m_Count - 1; k > i; --k)
            this->m_Data[k] = this->m_Data[k - 1];
        this->m_Data[i] = p;
        return i;
    }

    bool Delete(uint32_t i)
    {
        if (i >= this->m_Count)
            return false;
        T* p = this->m_Data[i];
        Base::Delete(i);
        delete p;
        return true;
    }

    bool Remove(T* p)
    {
        int i = this->IndexOf(p);
        if (i >= 0)
            Delete(static_cast<uint32_t>(i));
        return true;
    }
};
