// Doubly linked list of pointers {tail; head; u32 count}, walked with an iterator that holds one
// node (null = no position). The list never deletes its elements.
#pragma once

#include <cstdint>

template <class T> class XPtrList
{
public:
    struct XPtrListNode
    {
        XPtrListNode* Next;
        XPtrListNode* Prev;
        T* Element;
    };

    class XIterator
    {
    public:
        XIterator() = default;
        explicit XIterator(XPtrListNode* node) : m_Node(node) {}

        T* operator*() const { return m_Node ? m_Node->Element : nullptr; }
        bool operator==(const XIterator& other) const { return m_Node == other.m_Node; }
        bool operator!=(const XIterator& other) const { return m_Node != other.m_Node; }
        bool IsEmpty() const { return m_Node == nullptr; }
        // Towards the tail / towards the head; stepping off an end gives an empty iterator.
        XIterator Next() const { return XIterator(m_Node ? m_Node->Next : nullptr); }
        XIterator Prev() const { return XIterator(m_Node ? m_Node->Prev : nullptr); }
        XPtrListNode* GetNode() const { return m_Node; }

    private:
        XPtrListNode* m_Node = nullptr;
    };

    XPtrList() = default;
    XPtrList(const XPtrList&) = delete;
    XPtrList& operator=(const XPtrList&) = delete;
    ~XPtrList() { Clear(); }

    uint32_t GetCount() const { return m_Count; }
    XIterator GetTail() const { return XIterator(m_Tail); }
    XIterator GetHead() const { return XIterator(m_Head); }

    static XPtrListNode* NewNode(T* p) { return new XPtrListNode{nullptr, nullptr, p}; }

    // Links a new node after the iterator's node (it becomes the tail when that node was the
    // tail), or as the only node of an empty list. On a non-empty list an empty iterator inserts
    // nothing. Returns an iterator on the new node, or an empty one.
    XIterator InsertAfter(XIterator where, T* p)
    {
        XPtrListNode* at = where.GetNode();
        if (m_Count != 0 && !at)
            return XIterator();
        XPtrListNode* node = NewNode(p);
        if (!at)
        {
            m_Head = m_Tail = node;
        }
        else
        {
            node->Prev = at;
            node->Next = at->Next;
            if (at->Next)
                at->Next->Prev = node;
            else
                m_Tail = node;
            at->Next = node;
        }
        ++m_Count;
        return XIterator(node);
    }

    // Unlinks and frees the node; returns an iterator on the node that followed it.
    XIterator Delete(XIterator where)
    {
        XPtrListNode* node = where.GetNode();
        if (!node)
            return XIterator();
        XPtrListNode* next = node->Next;
        if (node->Prev)
            node->Prev->Next = next;
        else
            m_Head = next;
        if (next)
            next->Prev = node->Prev;
        else
            m_Tail = node->Prev;
        delete node;
        --m_Count;
        return XIterator(next);
    }

    // Frees every node from the head on; the elements are untouched.
    void Clear()
    {
        XPtrListNode* node = m_Head;
        while (node)
        {
            XPtrListNode* next = node->Next;
            delete node;
            node = next;
        }
        m_Head = m_Tail = nullptr;
        m_Count = 0;
    }

private:
    XPtrListNode* m_Tail = nullptr;
    XPtrListNode* m_Head = nullptr;
    uint32_t m_Count = 0;
};
