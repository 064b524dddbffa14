#include "Components/XFileStream.h"

#include "Platform/Vcl/SysUtils.h"

XFileStream::XFileStream(const WCHAR* name, unsigned mode)
{
    Open(name, mode);
}

XFileStream::XFileStream(const char* name, unsigned mode)
{
    Open(UnicodeString(name).c_str(), mode);
}

void XFileStream::Open(const WCHAR* name, unsigned mode)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    if (name && *name && (mode & 8))
    {
        // Shared with other writers: emptying the file here could take away what one just wrote.
        file = CreateFileW(name, GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           (mode & 1) ? OPEN_ALWAYS : OPEN_EXISTING, 0, nullptr);
    }
    else if (name && *name)
    {
        if (mode & 2)
            file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        else if (mode == 4)
            file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if ((file == INVALID_HANDLE_VALUE || file == nullptr) && (mode & 1))
            file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, 0, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE || file == nullptr)
        throw "Failed opening file.";
    m_File = file;
}

XFileStream::~XFileStream()
{
    if (m_File)
        CloseHandle(m_File);
}

unsigned XFileStream::Read(void* buffer, unsigned count)
{
    if (!m_File)
        return 0;
    // One call normally; the loop only picks up what the system delivers in parts.
    unsigned done = 0;
    while (done < count)
    {
        DWORD got = 0;
        BOOL ok = ReadFile(m_File, static_cast<char*>(buffer) + done, count - done, &got, nullptr);
        done += got;
        if (!ok || got == 0)
            break;
    }
    return done;
}

unsigned XFileStream::Write(const void* buffer, unsigned count)
{
    if (!m_File)
        return 0;
    unsigned done = 0;
    while (done < count)
    {
        DWORD put = 0;
        BOOL ok = WriteFile(m_File, static_cast<const char*>(buffer) + done, count - done, &put, nullptr);
        done += put;
        if (!ok || put == 0)
            break;
    }
    return done;
}

int64_t XFileStream::Seek(int64_t offset, unsigned origin)
{
    if (!m_File)
        return 0;
    LONGLONG position = 0;
    if (SetFilePointerEx(m_File, offset, &position, origin))
        return position;
    return GetPosition();
}

int64_t XFileStream::GetPosition() const
{
    if (!m_File)
        return 0;
    LONGLONG position = 0;
    if (!SetFilePointerEx(m_File, 0, &position, FILE_CURRENT))
        return 0;
    return position;
}

void XFileStream::SetPosition(int64_t position)
{
    if (m_File)
        Seek(position, FILE_BEGIN);
}

int64_t XFileStream::GetSize() const
{
    if (!m_File)
        return 0;
    LONGLONG size = 0;
    if (!GetFileSizeEx(m_File, &size))
        return 0;
    return size;
}

void XFileStream::SetSize(int64_t size)
{
    if (!m_File)
        return;
    // A position the file refuses (negative) must not end the file wherever it happens to be.
    if (Seek(size, FILE_BEGIN) == size)
        SetEndOfFile(m_File);
}
