// The engine's buffered wide-text output stream. Characters collect in a buffer and go, a line
// at a time, to the virtual Sink and to the attached file (UTF-16LE, no byte-order mark). A line
// longer than the buffer goes in pieces of the buffer's size, the rest with its line feed. The
// application's log derives from it and overrides Sink.
#pragma once

#include "Components/StrUtils.h"
#include "Components/XStream.h"

#include <memory>
#include <string>

namespace XDebug
{
class XDebugStream
{
public:
    // With a file name, opens it at once (see Open); with null, text only reaches Sink until a
    // file is opened. A buffer size of 0 is taken as 1.
    XDebugStream(const WCHAR* fileName, unsigned mode, unsigned bufferChars);
    XDebugStream(const XDebugStream&) = delete;
    XDebugStream& operator=(const XDebugStream&) = delete;
    // Flushes pending text when a file is attached, then closes the file. Never throws.
    virtual ~XDebugStream();

    // Opens the file as XFileStream(fileName, mode) and appends at its end. Does nothing when a
    // file is already attached. Text held in an attached memory stream moves into the file, and
    // the memory stream is emptied. A failure ("Failed opening file.", a `const char*`) keeps the
    // previous target.
    void Open(const WCHAR* fileName, unsigned mode);

    // A full buffer is flushed before the character goes in; a line feed flushes after.
    void Put(WCHAR c);
    // The byte as one character of the ANSI code page.
    void Put(char c);
    void Write(const WCHAR* text);
    void Write(const char* text);
    // Signed decimal.
    void WriteInt(int value);
    // Hands the pending text (possibly none) to Sink and to the file, then empties the buffer.
    // Text held for the file (see HoldFileTextUntilFlush) goes with it, in one write.
    void Flush();

protected:
    // From now on the file gets text only at Flush (and when the stream goes): everything since
    // the last Flush in one write, however many lines and buffers it spans, so that a file other
    // programs append to at the same time holds each Flush's text whole. Sink still gets every
    // line at its line feed.
    void HoldFileTextUntilFlush() { m_HoldFileText = true; }

    // Receives every flushed piece, NUL-terminated; length counts the characters. Does nothing
    // here.
    virtual void Sink(const WCHAR* text, unsigned length);

    // The current target: the file, the memory stream, or null.
    XStream* m_File = nullptr;
    // Where a derived class may keep text until the file is opened; it owns the memory stream
    // and points m_File at it.
    XStream* m_Memory = nullptr;
    // The name of the attached file ("" before one is opened).
    StrUtils::XBaseString<WCHAR> m_FileName;

private:
    // Hands the buffer to Sink and to the file (or to the held text), then empties it.
    void FlushBuffer();
    void WriteToFile(const WCHAR* text, size_t count);

    std::unique_ptr<WCHAR[]> m_Buffer; // m_BufferChars + 10 characters
    unsigned m_BufferChars;
    unsigned m_Used = 0;
    bool m_HoldFileText = false;
    std::u16string m_Held; // flushed from the buffer, not yet written to the file
};
} // namespace XDebug
