// The engine's abstract byte stream and the stream copy.
//
// Positions and sizes are signed 64-bit. Read and Write never throw: they report short transfers
// by their result. ReadBuffer and WriteBuffer turn a short transfer into the plain narrow throws
// "Stream reading error." and "Stream writing error.".
#pragma once

#include <cstdint>

class XStream
{
public:
    virtual ~XStream() = default;

    // Bytes actually transferred.
    virtual unsigned Read(void* buffer, unsigned count) = 0;
    virtual unsigned Write(const void* buffer, unsigned count) = 0;
    // origin 0 = from the start, 1 = from the current position, 2 = from the end (the file
    // stream adds the offset to the end, the memory stream counts it back). Returns the new
    // position.
    virtual int64_t Seek(int64_t offset, unsigned origin) = 0;
    virtual bool IsOpen() const = 0;
    // Position at or past the size.
    virtual bool Eof() const = 0;
    virtual int64_t GetPosition() const = 0;
    virtual void SetPosition(int64_t position) = 0;
    virtual int64_t GetSize() const = 0;
    // Truncates or extends.
    virtual void SetSize(int64_t size) = 0;

    // Exactly count bytes or throws the `const char*` "Stream reading error.".
    void ReadBuffer(void* buffer, unsigned count);
    // Exactly count bytes or throws the `const char*` "Stream writing error.".
    void WriteBuffer(const void* buffer, unsigned count);

protected:
    XStream() = default;
    XStream(const XStream&) = default;
    XStream& operator=(const XStream&) = default;
};

// Copies up to count bytes from the source's position to the destination's position and returns
// the number copied: a negative count copies nothing, a count past the source's end is cut to what
// remains, and a source read that returns nothing ends the copy. A destination that takes fewer
// bytes than it is given throws the `const char*` "Stream writing error.".
int64_t CopyStream(XStream* dest, XStream* source, int64_t count);
