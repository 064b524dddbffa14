// The class library's streams: the abstract byte stream, a stream over a file and a stream in
// memory. Positions and sizes are 64-bit; single transfers are at most 2^31 - 1 bytes.
#pragma once

#include "Platform/Vcl/Classes.h"

#include <cstdint>

class EStreamError : public Exception
{
public:
    using Exception::Exception;
};
class EReadError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};

enum TSeekOrigin
{
    soBeginning,
    soCurrent,
    soEnd
};

class TStream : public TObject
{
public:
    // Transfer up to count bytes at the position, which advances; the number moved (0 at the end,
    // or when nothing could be moved).
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // The new position from the origin; -1 when the stream cannot move there.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    // All or nothing: a short transfer raises EReadError "Stream read error" or EWriteError
    // "Stream write error".
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    // Copies count bytes from source's position (count 0: the whole source from its start);
    // returns the bytes copied.
    int64_t CopyFrom(TStream* source, int64_t count);
};

// A stream over a Win32 file handle it does not own.
class THandleStream : public TStream
{
public:
    explicit THandleStream(HANDLE handle) : m_handle(handle) {}
    HANDLE Handle() const { return m_handle; }
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    // Raises EStreamError when the file cannot be resized.
    void SetSize(int64_t size) override;

protected:
    HANDLE m_handle;
};

constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A named file: fmCreate creates or truncates it for writing; the fmOpen modes open an existing
// file. Failing to open raises EFOpenError ("Cannot open file ..."), failing to create
// EFCreateError ("Cannot create file ..."). The file is closed with the stream.
class TFileStream : public THandleStream
{
public:
    TFileStream(const UnicodeString& fileName, uint16_t mode);
    ~TFileStream() override;
    const UnicodeString& FileName() const { return m_fileName; }

private:
    UnicodeString m_fileName;
};

// Bytes in one block of memory that grows as it is written.
class TMemoryStream : public TStream
{
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return m_size; }
    // Raises EStreamError "Out of memory while expanding memory stream" when it cannot grow.
    void SetSize(int64_t size) override;
    void Clear();
    void* Memory() const { return m_memory; }
    void LoadFromStream(TStream* stream);
    void SaveToStream(TStream* stream);
    void LoadFromFile(const UnicodeString& fileName);
    void SaveToFile(const UnicodeString& fileName);

private:
    void SetCapacity(int64_t capacity);
    uint8_t* m_memory = nullptr;
    int64_t m_size = 0;
    int64_t m_capacity = 0;
    int64_t m_position = 0;
};
