// XStream over a file handle of the Win32 layer. Reads and writes go straight to the file, each in
// one call however large.
#pragma once

#include "Components/XStream.h"
#include "Platform/Win32/Windows.h"

class XFileStream : public XStream
{
public:
    // Mode bit 1 (value 2): open an existing file for reading and writing, sharing reading and
    // writing. Otherwise exactly 4: open an existing file read-only, sharing reading. When that
    // fails (or neither applied) and bit 0 (value 1) is set, the file is created or truncated for
    // reading and writing. So 1 always creates, 2 only opens, 3 opens or creates, 4 only reads.
    // With bit 3 (value 8) the file opens for reading and appending: every write lands at its end,
    // also after what other writers added meanwhile, whole or not at all (Write then returns 0);
    // bit 0 then creates a missing file but never empties one (9 and 11 open or create, 10 only
    // opens).
    // No handle: throws the `const char*` "Failed opening file.".
    XFileStream(const WCHAR* name, unsigned mode);
    // The name is widened with the ANSI code page.
    XFileStream(const char* name, unsigned mode);
    XFileStream(const XFileStream&) = delete;
    XFileStream& operator=(const XFileStream&) = delete;
    ~XFileStream() override;

    // 0 when closed.
    unsigned Read(void* buffer, unsigned count) override;
    unsigned Write(const void* buffer, unsigned count) override;
    // Origin 2 adds the offset to the end of the file. A move that the file refuses (before the
    // start) leaves the position; returns the position either way (0 when closed).
    int64_t Seek(int64_t offset, unsigned origin) override;
    bool IsOpen() const override { return m_File != nullptr; }
    bool Eof() const override { return GetPosition() >= GetSize(); }
    int64_t GetPosition() const override;
    void SetPosition(int64_t position) override;
    int64_t GetSize() const override;
    // Moves to size and ends the file there; the position is left at size. A negative size
    // changes nothing.
    void SetSize(int64_t size) override;

    // The Win32 layer's handle of the open file (null when closed), for the layer's bulk file work
    // (kernel copies, reads at an offset); the stream still owns it.
    HANDLE GetHandle() const { return m_File; }

private:
    void Open(const WCHAR* name, unsigned mode);

    HANDLE m_File = nullptr; // null when closed
};
