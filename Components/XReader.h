// Reads a tree of chunks from a stream.
//
// The loop every loader uses: while NextChunk: dispatch on GetChunkId, read the payload (or a
// nested loop for child chunks), EndChunk. EndChunk always moves to the chunk's recorded end, so
// unknown chunks and unread or over-read payload are skipped.
//
// Nothing read from the stream is trusted: a chunk must be at least its 8-byte header, lie within
// its parent (a top-level chunk within the stream) and within the first 4 GiB; a string count
// must fit in what remains of the open chunk before anything is allocated for it.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XArray.h"
#include "Components/XIOChunk.h"
#include "Components/XStream.h"

#include <cstdint>

class XReader
{
public:
    // Null stream: XException "Null stream pointer.".
    explicit XReader(XStream* stream);
    XReader(const XReader&) = delete;
    XReader& operator=(const XReader&) = delete;
    // Ends every chunk still open. Never throws.
    ~XReader();

    // Reads the next header and opens the chunk. False, never a throw, at the end of the stream
    // or of the enclosing chunk and for a malformed header (size below 8, ending past its parent
    // or the stream); the header bytes read stay consumed.
    bool NextChunk();
    // Id of the open chunk; 0xFFFFFFFF when none is open.
    uint32_t GetChunkId() const { return m_Chunk ? m_Chunk->id : 0xFFFFFFFFu; }
    // Moves to start + size of the open chunk and leaves it. None open: XException "Null chunk
    // pointer.".
    void EndChunk();

    // Raw read; returns the stream's result, a short read is not reported.
    unsigned Read(void* data, unsigned count);
    // Short reads throw FileUtils::XIOError "Stream input-output operation failed.".
    void ReadU8(uint8_t& value);
    void ReadU32(uint32_t& value);
    void ReadFloat(float& value);
    // u32 count, then count UTF-16 units. A count over maxLength: XException "String too long."
    // before any character is read; a count beyond the bytes left: FileUtils::XIOError; a short
    // read of the characters: FileUtils::XIOError (count below 511) or XException "Failed reading
    // from stream." (511 or more). The string changes only on success.
    void ReadString(StrUtils::XBaseString<WCHAR>& value, unsigned maxLength);
    // u32 byte count, then the bytes, NUL-terminated into buffer (maxLength + 1 bytes). A count
    // over maxLength: XException "String too long."; beyond the bytes left or a short read:
    // FileUtils::XIOError.
    void ReadAnsiString(char* buffer, unsigned maxLength);

    // NextChunk, which must open a chunk with this id (otherwise XWrongChunkException "Wrong
    // chunk.", a mismatching chunk staying open), then the payload, then EndChunk.
    void ReadChunk(uint32_t id, void* data, unsigned count); // the read is not checked
    void ReadChunkU32(uint32_t id, uint32_t& value);
    void ReadChunkString(uint32_t id, StrUtils::XBaseString<WCHAR>& value, unsigned maxLength);

    // Bytes from the stream position to the end of the open chunk (of the stream when none is
    // open); 0 when the position is past it. Loaders bound the element counts they read by it.
    uint64_t GetBytesLeft() const;

private:
    void ExpectChunk(uint32_t id);
    void PopChunk();

    XArray<XIOChunk, 8> m_Stack;
    XIOChunk* m_Chunk = nullptr; // innermost open chunk (the stack's last record) or null
    XStream* m_Stream;
};
