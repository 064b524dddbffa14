// Objects saved to bytes and loaded back from bytes through the chunk writer and reader.
#pragma once

#include "Components/XMemoryStream.h"
#include "Components/XReader.h"
#include "Components/XWriter.h"
#include "tests/support/StreamBytes.h"

#include <cstdint>
#include <vector>

// What `save` writes, as bytes.
template <class F> std::vector<uint8_t> SavedBytes(F&& save)
{
    XMemoryStream stream(0, 4096);
    {
        XWriter writer(&stream);
        save(writer);
    }
    return StreamBytes(stream);
}

// Opens each top-level chunk of the bytes and hands the reader, standing in it, to `load`.
template <class F> void LoadEachChunk(const std::vector<uint8_t>& bytes, F&& load)
{
    XMemoryStream stream(0, 4096);
    LoadStream(stream, bytes);
    XReader reader(&stream);
    while (reader.NextChunk())
    {
        load(reader);
        reader.EndChunk();
    }
}
