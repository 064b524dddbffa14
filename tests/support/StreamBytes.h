// Whole stream contents, and streams that run out of room or data, or reach past 4 GiB, on purpose.
#pragma once

#include "Components/XMemoryStream.h"

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Everything the stream holds; its position is left where it was.
std::vector<uint8_t> StreamBytes(XStream& stream);
std::string StreamString(XStream& stream);

// Replaces the stream's content with the bytes and rewinds it.
void LoadStream(XMemoryStream& stream, const std::vector<uint8_t>& bytes);
void LoadStream(XMemoryStream& stream, std::string_view bytes);

// Accepts at most `writeLimit` bytes and delivers at most `readLimit` bytes in total: a full
// disk, or a file that shrank under us.
class LimitedStream : public XMemoryStream
{
public:
    explicit LimitedStream(unsigned writeLimit, unsigned readLimit = UINT_MAX)
        : XMemoryStream(0, 8192), m_WriteLeft(writeLimit), m_ReadLeft(readLimit)
    {
    }
    unsigned Write(const void* buffer, unsigned count) override;
    unsigned Read(void* buffer, unsigned count) override;

private:
    unsigned m_WriteLeft;
    unsigned m_ReadLeft;
};

// Reaches past 4 GiB without the memory: only written bytes are kept, the others read as 0.
class SparseStream : public XStream
{
public:
    explicit SparseStream(int64_t size = 0) : m_Size(size) {}
    unsigned Read(void* buffer, unsigned count) override;
    unsigned Write(const void* buffer, unsigned count) override;
    int64_t Seek(int64_t offset, unsigned origin) override;
    bool IsOpen() const override { return true; }
    bool Eof() const override { return m_Position >= m_Size; }
    int64_t GetPosition() const override { return m_Position; }
    void SetPosition(int64_t position) override { m_Position = position; }
    int64_t GetSize() const override { return m_Size; }
    void SetSize(int64_t size) override { m_Size = size; }

    std::map<int64_t, uint8_t> bytes;

private:
    int64_t m_Position = 0;
    int64_t m_Size;
};
