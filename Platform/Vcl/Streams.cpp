#include "Platform/Vcl/Streams.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

int64_t TStream::Size()
{
    int64_t position = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(u"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(u"Stream write error");
}

int64_t TStream::CopyFrom(TStream* source, int64_t count)
{
    if (count == 0)
    {
        source->SetPosition(0);
        count = source->Size();
    }
    constexpr int32_t chunk = 0xF000;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, chunk)));
    int64_t done = 0;
    while (done < count)
    {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, chunk));
        source->ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        done += n;
    }
    return done;
}

// ---- THandleStream --------------------------------------------------------------------------

int32_t THandleStream::Read(void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(m_handle, buffer, static_cast<DWORD>(count), &got, nullptr))
        return static_cast<int32_t>(got);
    return static_cast<int32_t>(got);
}

int32_t THandleStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0)
        return 0;
    DWORD put = 0;
    WriteFile(m_handle, buffer, static_cast<DWORD>(count), &put, nullptr);
    return static_cast<int32_t>(put);
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin)
{
    LONGLONG position = 0;
    DWORD method = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(m_handle, offset, &position, method))
        return -1;
    return position;
}

int64_t THandleStream::Size()
{
    LONGLONG size = 0;
    if (!GetFileSizeEx(m_handle, &size))
        return TStream::Size();
    return size;
}

void THandleStream::SetSize(int64_t size)
{
    int64_t position = Position();
    if (Seek(size, soBeginning) != size || !SetEndOfFile(m_handle))
        throw EStreamError(u"Stream size error");
    if (position < size)
        Seek(position, soBeginning);
}

// ---- TFileStream ----------------------------------------------------------------------------

namespace
{
UnicodeString ErrorText(DWORD error)
{
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
        return u"The system cannot find the file specified";
    case ERROR_PATH_NOT_FOUND:
        return u"The system cannot find the path specified";
    case ERROR_ACCESS_DENIED:
        return u"Access is denied";
    default:
        return u"The operation failed";
    }
}
} // namespace

TFileStream::TFileStream(const UnicodeString& fileName, uint16_t mode)
    : THandleStream(INVALID_HANDLE_VALUE), m_fileName(fileName)
{
    if (mode == fmCreate)
    {
        m_handle = CreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE)
            throw EFCreateError(u"Cannot create file \"" + fileName + u"\". " + ErrorText(GetLastError()));
        return;
    }
    DWORD access = (mode & 3) == fmOpenWrite       ? GENERIC_WRITE
                   : (mode & 3) == fmOpenReadWrite ? GENERIC_READ | GENERIC_WRITE
                                                   : GENERIC_READ;
    m_handle = CreateFileW(fileName.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        throw EFOpenError(u"Cannot open file \"" + fileName + u"\". " + ErrorText(GetLastError()));
}

TFileStream::~TFileStream()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
}

// ---- TMemoryStream --------------------------------------------------------------------------

TMemoryStream::~TMemoryStream()
{
    std::free(m_memory);
}

int32_t TMemoryStream::Read(void* buffer, int32_t count)
{
    if (count <= 0 || m_position < 0 || m_position >= m_size)
        return 0;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, m_size - m_position));
    std::memcpy(buffer, m_memory + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count)
{
    if (count <= 0 || m_position < 0)
        return 0;
    int64_t end = m_position + count;
    if (end > m_size)
    {
        if (end > m_capacity)
            SetCapacity(std::max(end, m_capacity + m_capacity / 4));
        m_size = end;
    }
    std::memcpy(m_memory + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? m_position : m_size;
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        return -1;
    m_position = base + offset;
    return m_position;
}

void TMemoryStream::SetCapacity(int64_t capacity)
{
    if (capacity == m_capacity)
        return;
    // Grown in 8 KiB steps, so a run of small writes does not reallocate every time.
    int64_t rounded = capacity == 0 ? 0 : (capacity + 0x1FFF) & ~int64_t(0x1FFF);
    if (rounded == 0)
    {
        std::free(m_memory);
        m_memory = nullptr;
        m_capacity = 0;
        return;
    }
    if (rounded < capacity || static_cast<uint64_t>(rounded) > SIZE_MAX)
        throw EStreamError(u"Out of memory while expanding memory stream");
    void* grown = std::realloc(m_memory, static_cast<size_t>(rounded));
    if (!grown)
        throw EStreamError(u"Out of memory while expanding memory stream");
    m_memory = static_cast<uint8_t*>(grown);
    m_capacity = rounded;
}

void TMemoryStream::SetSize(int64_t size)
{
    if (size < 0)
        size = 0;
    if (size > m_capacity)
        SetCapacity(size);
    if (size > m_size)
        std::memset(m_memory + m_size, 0, static_cast<size_t>(size - m_size));
    m_size = size;
    if (m_position > size)
        m_position = size;
}

void TMemoryStream::Clear()
{
    SetCapacity(0);
    m_size = 0;
    m_position = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream)
{
    stream->SetPosition(0);
    int64_t count = stream->Size();
    SetSize(count);
    int64_t done = 0;
    while (done < count)
    {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(count - done, INT32_MAX));
        stream->ReadBuffer(m_memory + done, n);
        done += n;
    }
    m_position = 0;
}

void TMemoryStream::SaveToStream(TStream* stream)
{
    int64_t done = 0;
    while (done < m_size)
    {
        int32_t n = static_cast<int32_t>(std::min<int64_t>(m_size - done, INT32_MAX));
        stream->WriteBuffer(m_memory + done, n);
        done += n;
    }
}

void TMemoryStream::LoadFromFile(const UnicodeString& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(&file);
}

void TMemoryStream::SaveToFile(const UnicodeString& fileName)
{
    TFileStream file(fileName, fmCreate);
    SaveToStream(&file);
}
