// One open chunk of the chunk writer or reader.
//
// A chunk on a stream is {u32 id; u32 size; payload of size - 8 bytes}, little-endian, where the
// size counts the 8 header bytes; payload values are raw, child chunks follow one another. The
// 32-bit start and size bound a chunk tree to the first 4 GiB of its stream.
#pragma once

#include <cstdint>

struct XIOChunk
{
    uint32_t id;
    uint32_t start; // stream position of the chunk's first header byte
    uint32_t size;  // whole chunk, header included
};
