// Fuzz target: a chunk tree walked by a small program taken from the input's first bytes, the
// rest being the stream. Every malformed tree must end in an XException (or the stream's
// narrow texts), never a read outside the data or an unbounded allocation.
#include "Components/XBitArray.h"
#include "Components/XMemoryStream.h"
#include "Components/XReader.h"

#include <cstdint>

namespace
{
void Walk(XReader& reader, const uint8_t* ops, size_t opCount, size_t& pc, unsigned depth)
{
    while (reader.NextChunk())
    {
        uint8_t op = pc < opCount ? ops[pc++] : 0;
        uint8_t u8;
        uint32_t u32;
        float f;
        XString text;
        XBitArray bits;
        switch (op % 8)
        {
        case 0:
            break;
        case 1:
            reader.ReadU8(u8);
            break;
        case 2:
            reader.ReadU32(u32);
            break;
        case 3:
            reader.ReadFloat(f);
            break;
        case 4:
            reader.ReadString(text, op < 128 ? 260 : 0xFFFFFFFFu);
            break;
        case 5:
            reader >> bits;
            break;
        case 6:
            if (depth < 16)
                Walk(reader, ops, opCount, pc, depth + 1);
            break;
        case 7:
            (void)reader.GetBytesLeft();
            reader.ReadU32(u32);
            reader.ReadU32(u32);
            break;
        }
        reader.EndChunk();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    size_t opCount = data[0] % 16;
    if (size < 1 + opCount)
        return 0;
    const uint8_t* ops = data + 1;
    XMemoryStream stream(0, 0);
    stream.Write(data + 1 + opCount, static_cast<unsigned>(size - 1 - opCount));
    stream.SetPosition(0);
    try
    {
        XReader reader(&stream);
        size_t pc = 0;
        Walk(reader, ops, opCount, pc, 0);
    }
    catch (const XException&)
    {
    }
    catch (const char*)
    {
    }
    return 0;
}
