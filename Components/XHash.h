// Chained hashes whose nodes come from a pool of fixed-size node blocks: XHash<T> files T*
// values under a 32-bit key (the scene's name index), XExHash<V, K> files V values under a key K
// with an XHashKey overload (the scene's GUID index, K = XGuid).
//
// Lookups hand back every value in the key's bucket: FindFirst/FindNext walk the whole chain,
// other keys included, and the caller confirms each candidate. Equal keys and equal values may
// be filed more than once. Nodes go back to the pool on Remove; the pool is freed only by Clear.
#pragma once

#include "Components/XGuid.h"

#include <cstdint>

constexpr uint32_t XHashKey(uint32_t key)
{
    return key;
}

template <class V, class K> class XHashTable
{
public:
    // A bucket count or step of 0 would leave nothing to hash into or to draw nodes from: both
    // are taken as 1.
    XHashTable(uint32_t bucketCount, uint32_t step)
        : m_BucketCount(bucketCount ? bucketCount : 1), m_Step(step ? step : 1)
    {
        m_Buckets = new Node*[m_BucketCount]();
    }
    XHashTable(const XHashTable&) = delete;
    XHashTable& operator=(const XHashTable&) = delete;
    ~XHashTable()
    {
        m_Count = 0;
        Clear();
        delete[] m_Buckets;
    }

    // Pushes the pair at the head of its bucket's chain.
    void Add(V value, const K& key)
    {
        if (!m_Free)
            GrowPool();
        Node* node = m_Free;
        m_Free = node->next;
        node->value = value;
        node->key = key;
        Node*& head = m_Buckets[BucketOf(key)];
        node->next = head;
        head = node;
        ++m_Count;
    }

    // The first value in the key's bucket (V() for an empty one); FindNext goes on from there.
    V FindFirst(const K& key)
    {
        m_IterBucket = BucketOf(key);
        m_IterIndex = 0;
        Node* node = m_Buckets[m_IterBucket];
        return node ? node->value : V();
    }

    // The value after the last one returned in the remembered bucket, V() at the chain's end.
    // The position is kept as an index, so a Remove between the calls never leaves it dangling.
    V FindNext()
    {
        if (m_IterBucket >= m_BucketCount)
            return V();
        Node* node = m_Buckets[m_IterBucket];
        for (uint32_t i = 0; node && i <= m_IterIndex; ++i)
            node = node->next;
        if (!node)
            return V();
        ++m_IterIndex;
        return node->value;
    }

    // Unlinks the first node of the key's bucket holding this value (its key is not compared);
    // returns the value, or V() when the bucket does not hold it.
    V Remove(V value, const K& key)
    {
        for (Node** link = &m_Buckets[BucketOf(key)]; *link; link = &(*link)->next)
        {
            Node* node = *link;
            if (!(node->value == value))
                continue;
            *link = node->next;
            node->next = m_Free;
            m_Free = node;
            --m_Count;
            return value;
        }
        return V();
    }

    // Frees the pool; every filed value is forgotten.
    void Clear()
    {
        for (uint32_t i = 0; i < m_BlockCount; ++i)
            delete[] m_Blocks[i];
        delete[] m_Blocks;
        m_Blocks = nullptr;
        m_BlockCount = 0;
        m_Free = nullptr;
        if (m_Count != 0)
            for (uint32_t i = 0; i < m_BucketCount; ++i)
                m_Buckets[i] = nullptr;
        m_Count = 0;
    }

    // Re-files every node in a new table of the given size (0 is ignored).
    void Resize(uint32_t bucketCount)
    {
        if (bucketCount == 0)
            return;
        Node** buckets = new Node*[bucketCount]();
        for (uint32_t b = 0; b < m_BucketCount; ++b)
        {
            Node* node = m_Buckets[b];
            while (node)
            {
                Node* next = node->next;
                Node*& head = buckets[XHashKey(node->key) % bucketCount];
                node->next = head;
                head = node;
                node = next;
            }
        }
        delete[] m_Buckets;
        m_Buckets = buckets;
        m_BucketCount = bucketCount;
    }

    uint32_t GetCount() const { return m_Count; }
    uint32_t GetBucketCount() const { return m_BucketCount; }
    // Node blocks drawn so far.
    uint32_t GetBlockCount() const { return m_BlockCount; }

private:
    struct Node
    {
        Node* next;
        V value;
        K key;
    };

    uint32_t BucketOf(const K& key) const { return XHashKey(key) % m_BucketCount; }

    void GrowPool()
    {
        // Allocate both before changing anything, so a failure leaves the hash as it was.
        Node** blocks = new Node*[m_BlockCount + 1];
        Node* block;
        try
        {
            block = new Node[m_Step]();
        }
        catch (...)
        {
            delete[] blocks;
            throw;
        }
        for (uint32_t i = 0; i < m_BlockCount; ++i)
            blocks[i] = m_Blocks[i];
        blocks[m_BlockCount] = block;
        delete[] m_Blocks;
        m_Blocks = blocks;
        ++m_BlockCount;
        for (uint32_t i = m_Step; i-- > 0;)
        {
            block[i].next = m_Free;
            m_Free = &block[i];
        }
    }

    uint32_t m_BucketCount;
    uint32_t m_Count = 0;
    uint32_t m_Step;
    uint32_t m_IterIndex = 0;
    uint32_t m_IterBucket = 0;
    Node** m_Buckets = nullptr;
    Node* m_Free = nullptr;
    uint32_t m_BlockCount = 0;
    Node** m_Blocks = nullptr;
};

template <class T> class XHash : public XHashTable<T*, uint32_t>
{
public:
    using XHashTable<T*, uint32_t>::XHashTable;
};

template <class V, class K> class XExHash : public XHashTable<V, K>
{
public:
    using XHashTable<V, K>::XHashTable;
};
