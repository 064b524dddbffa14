#include "Components/XBitArray.h"

#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"

#include <bit>
#include <utility>

namespace
{
uint32_t WordsFor(uint32_t bits)
{
    return static_cast<uint32_t>((static_cast<uint64_t>(bits) + 31) / 32);
}

// Bits [from, to) of one word, 0 <= from < to <= 32.
uint32_t MaskOf(uint32_t from, uint32_t to)
{
    uint32_t high = to == 32 ? ~0u : (1u << to) - 1;
    return high & ~((1u << from) - 1);
}
} // namespace

XBitArray& XBitArray::operator=(const XBitArray& other)
{
    if (this == &other)
        return *this;
    uint32_t* words = nullptr;
    if (other.m_Words)
    {
        // Allocate before letting go of the old bits: a failure leaves this set as it was.
        words = new uint32_t[other.m_Capacity + 1]();
        uint32_t copy = other.m_Count / 32 + 1;
        if (copy > other.m_Capacity)
            copy = other.m_Capacity;
        for (uint32_t i = 0; i < copy; ++i)
            words[i] = other.m_Words[i];
    }
    Clear();
    m_Words = words;
    m_Count = other.m_Count;
    m_Capacity = other.m_Capacity;
    return *this;
}

void XBitArray::Clear()
{
    delete[] m_Words;
    m_Words = nullptr;
    m_Count = 0;
    m_Capacity = 0;
}

void XBitArray::SetCount(uint32_t n)
{
    uint32_t newWords = WordsFor(n);
    uint32_t oldWords = UsedWords();
    if (newWords > m_Capacity)
    {
        uint32_t* words = new uint32_t[static_cast<uint64_t>(newWords) + 1]();
        for (uint32_t i = 0; i < oldWords; ++i)
            words[i] = m_Words[i];
        delete[] m_Words;
        m_Words = words;
        m_Capacity = newWords;
    }
    // SetAll and Invert may have left ones past the old count: the bits about to appear are 0.
    if (m_Count % 32)
        m_Words[oldWords - 1] &= MaskOf(0, m_Count % 32);
    for (uint32_t i = oldWords; i < newWords; ++i)
        m_Words[i] = 0;
    m_Count = n;
}

void XBitArray::SetRange(uint32_t first, uint32_t count, bool value)
{
    if (first >= m_Count)
        return;
    uint64_t end = static_cast<uint64_t>(first) + count;
    uint32_t last = end > m_Count ? m_Count : static_cast<uint32_t>(end); // one past the last bit
    while (first < last)
    {
        uint32_t word = first / 32;
        uint32_t from = first % 32;
        uint32_t to = last - word * 32 < 32 ? last - word * 32 : 32;
        uint32_t mask = MaskOf(from, to);
        if (value)
            m_Words[word] |= mask;
        else
            m_Words[word] &= ~mask;
        first = word * 32 + to;
    }
}

void XBitArray::SetAll()
{
    for (uint32_t i = 0, n = UsedWords(); i < n; ++i)
        m_Words[i] = ~0u;
}

void XBitArray::ClearAll()
{
    for (uint32_t i = 0, n = UsedWords(); i < n; ++i)
        m_Words[i] = 0;
}

void XBitArray::Invert()
{
    for (uint32_t i = 0, n = UsedWords(); i < n; ++i)
        m_Words[i] = ~m_Words[i];
}

uint32_t XBitArray::Count(bool value) const
{
    uint32_t ones = 0;
    uint32_t whole = m_Count / 32;
    for (uint32_t i = 0; i < whole; ++i)
        ones += static_cast<uint32_t>(std::popcount(m_Words[i]));
    if (m_Count % 32)
        ones += static_cast<uint32_t>(std::popcount(m_Words[whole] & MaskOf(0, m_Count % 32)));
    return value ? ones : m_Count - ones;
}

bool XBitArray::operator==(const XBitArray& other) const
{
    if (m_Count != other.m_Count)
        return false;
    const uint32_t whole = m_Count / 32;
    for (uint32_t i = 0; i < whole; ++i)
        if (m_Words[i] != other.m_Words[i])
            return false;
    // The last word's bits past the count may differ (SetAll, Invert): they are not the set's.
    const uint32_t tail = m_Count % 32;
    return tail == 0 || ((m_Words[whole] ^ other.m_Words[whole]) & MaskOf(0, tail)) == 0;
}

XWriter& operator<<(XWriter& writer, const XBitArray& bits)
{
    uint32_t count = bits.GetCount();
    writer.WriteU32(count);
    if (count == 0)
        return writer;
    uint32_t words = WordsFor(count);
    writer.WriteU32(words);
    // Bits past the count in the last word go out as they are; Get and Count never see them.
    writer.Write(bits.m_Words, words * 4);
    return writer;
}

XReader& operator>>(XReader& reader, XBitArray& bits)
{
    uint32_t count;
    reader.ReadU32(count);
    if (count == 0)
    {
        bits.Clear();
        return reader;
    }
    uint32_t words;
    reader.ReadU32(words);
    if (words != WordsFor(count) || static_cast<uint64_t>(words) * 4 > reader.GetBytesLeft())
        throw FileUtils::XIOError();
    XBitArray loaded;
    loaded.SetCount(count);
    if (reader.Read(loaded.m_Words, words * 4) != words * 4)
        throw FileUtils::XIOError();
    std::swap(bits.m_Count, loaded.m_Count);
    std::swap(bits.m_Capacity, loaded.m_Capacity);
    std::swap(bits.m_Words, loaded.m_Words);
    return reader;
}
