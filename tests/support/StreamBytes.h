// Whole stream contents, and a memory stream that runs out of room or data on purpose.
#pragma once

#include "Components/XMemoryStream.h"

#include <climits>
#include <cstdint>
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

    void SetReadLimit(unsigned readLimit) { m_ReadLeft = readLimit; }

private:
    unsigned m_WriteLeft;
    unsigned m_ReadLeft;
};
