// Bit set {u32 count (bits); u32 capacity (32-bit words); u32* words}: bit i is bit i % 32 of word
// i / 32, and the storage always holds one word more than the capacity.
//
// SetAll and Invert work on whole words, so bits at or past the count in the last used word may
// be set; Get and Count never look at them, and SetCount clears them when it exposes them.
#pragma once

#include <cstdint>

class XReader;
class XWriter;

class XBitArray
{
public:
    XBitArray() = default;
    XBitArray(const XBitArray& other) { *this = other; }
    XBitArray& operator=(const XBitArray& other);
    ~XBitArray() { Clear(); }

    // Count and capacity 0, storage freed.
    void Clear();

    uint32_t GetCount() const { return m_Count; }
    // Newly exposed bits are 0; lowering the count keeps the storage.
    void SetCount(uint32_t n);

    // False at or past the count.
    bool Get(uint32_t i) const { return i < m_Count && (m_Words[i / 32] >> (i % 32) & 1) != 0; }
    bool operator[](uint32_t i) const { return Get(i); }
    // Ignored at or past the count.
    void SetBit(uint32_t i, bool value)
    {
        if (i >= m_Count)
            return;
        uint32_t mask = 1u << (i % 32);
        if (value)
            m_Words[i / 32] |= mask;
        else
            m_Words[i / 32] &= ~mask;
    }
    // `count` bits from `first`, cut at the bit count.
    void SetRange(uint32_t first, uint32_t count, bool value);

    void SetAll();
    void ClearAll();
    void Invert();

    // Number of bits below the count that equal `value`.
    uint32_t Count(bool value) const;
    // The same count and the same bits below it, compared a word at a time.
    bool operator==(const XBitArray& other) const;

private:
    friend XWriter& operator<<(XWriter& writer, const XBitArray& bits);
    friend XReader& operator>>(XReader& reader, XBitArray& bits);

    uint32_t UsedWords() const { return m_Count ? (m_Count - 1) / 32 + 1 : 0; }

    uint32_t m_Count = 0;
    uint32_t m_Capacity = 0;
    uint32_t* m_Words = nullptr;
};

// Chunk-stream form: u32 bit count; when not 0, u32 word count ceil(count / 32) and the words.
XWriter& operator<<(XWriter& writer, const XBitArray& bits);
// A bit count of 0 empties the set. A word count that does not match the bit count, or more words
// than the open chunk holds: FileUtils::XIOError before anything is allocated. On any failure the
// set keeps its old bits.
XReader& operator>>(XReader& reader, XBitArray& bits);
