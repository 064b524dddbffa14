// Raw arrays and single values inside chunks, read so that nothing in a file can make a reader
// overrun its chunk or allocate more than the chunk holds.
#pragma once

#include "Components/XArray.h"
#include "Components/XException.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"

#include <cstdint>

namespace XArrayChunks
{
// A u32 element count whose elements must fit in what is left of the open chunk; otherwise the
// reader's input-output error, before the caller allocates anything.
inline uint32_t ReadCount(XReader& reader, unsigned elementSize)
{
    uint32_t count;
    reader.ReadU32(count);
    if (static_cast<uint64_t>(count) * elementSize > reader.GetBytesLeft())
        throw FileUtils::XIOError();
    return count;
}

// A value cut short by the end of its chunk is an error, not a read into the next chunk.
inline void ReadU32(XReader& reader, uint32_t& value)
{
    if (reader.GetBytesLeft() < 4)
        throw FileUtils::XIOError();
    reader.ReadU32(value);
}

inline void ReadFloat(XReader& reader, float& value)
{
    if (reader.GetBytesLeft() < 4)
        throw FileUtils::XIOError();
    reader.ReadFloat(value);
}

inline uint32_t ReadU32(XReader& reader)
{
    uint32_t value;
    ReadU32(reader, value);
    return value;
}

inline float ReadFloat(XReader& reader)
{
    float value;
    ReadFloat(reader, value);
    return value;
}

// One byte, true when non-zero.
inline bool ReadFlag(XReader& reader)
{
    if (reader.GetBytesLeft() < 1)
        throw FileUtils::XIOError();
    uint8_t value;
    reader.ReadU8(value);
    return value != 0;
}

// Opens each sub-chunk of the open container in turn and hands its id to read, which reads the
// value or ignores the id; the sub-chunk is then closed.
template <class F> void ReadValues(XReader& reader, F&& read)
{
    while (reader.NextChunk())
    {
        read(reader.GetChunkId());
        reader.EndChunk();
    }
}

// u32 count, then the elements raw. The array takes the count only once the bytes are known
// to be in the chunk.
template <class T, unsigned N> void ReadArray(XReader& reader, XArray<T, N>& array)
{
    uint32_t count = ReadCount(reader, sizeof(T));
    array.SetCount(count);
    const unsigned bytes = static_cast<unsigned>(count * sizeof(T)); // below the chunk's size
    if (bytes && reader.Read(array.GetData(), bytes) != bytes)
        throw FileUtils::XIOError();
}

// Chunk `id` holding u32 n and n raw elements.
template <class T> void WriteArrayChunk(XWriter& writer, uint32_t id, const T* data, uint32_t count)
{
    writer.BeginChunk(id);
    writer.WriteU32(count);
    if (count)
        writer.Write(data, static_cast<unsigned>(count * sizeof(T)));
    writer.EndChunk();
}

template <class T, unsigned N> void WriteArrayChunk(XWriter& writer, uint32_t id, const XArray<T, N>& array)
{
    WriteArrayChunk(writer, id, array.GetData(), array.GetCount());
}
} // namespace XArrayChunks
