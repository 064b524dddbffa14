// Writes a tree of chunks to a stream: BeginChunk writes the header with a size placeholder,
// EndChunk back-patches the size, so the stream must allow seeking back.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XArray.h"
#include "Components/XIOChunk.h"
#include "Components/XStream.h"

#include <cstdint>

class XWriter
{
public:
    // Null stream: XException "Null stream pointer.".
    explicit XWriter(XStream* stream);
    XWriter(const XWriter&) = delete;
    XWriter& operator=(const XWriter&) = delete;
    // Ends every chunk still open (each gets its size). Never throws: while unwinding from an
    // earlier failure, a chunk that cannot be ended is dropped.
    ~XWriter();

    // Pushes {id, position, 0} and writes the id and a 0 size. A start past 4 GiB or a short
    // header write: FileUtils::XIOError, nothing pushed.
    void BeginChunk(uint32_t id);
    // Patches the innermost open chunk's size (end - start), returns to the end and pops it.
    // None open: XException "Null chunk pointer.". A chunk over 4 GiB or a failed patch:
    // FileUtils::XIOError, the chunk stays open.
    void EndChunk();

    // Short writes throw FileUtils::XIOError "Stream input-output operation failed.".
    void Write(const void* data, unsigned count);
    void WriteU8(uint8_t value);
    void WriteU32(uint32_t value);
    void WriteFloat(float value);
    // u32 count of UTF-16 units, then the units; no terminator.
    void WriteString(const StrUtils::XBaseString<WCHAR>& value);

    void WriteChunk(uint32_t id, const void* data, unsigned count);
    void WriteChunkU8(uint32_t id, uint8_t value);
    void WriteChunkU32(uint32_t id, uint32_t value);
    void WriteChunkFloat(uint32_t id, float value);
    void WriteChunkString(uint32_t id, const StrUtils::XBaseString<WCHAR>& value);

    XWriter& operator<<(const StrUtils::XBaseString<WCHAR>& value);

private:
    XArray<XIOChunk, 8> m_Stack;
    XIOChunk* m_Chunk = nullptr; // innermost open chunk (the stack's last record) or null
    XStream* m_Stream;
};
