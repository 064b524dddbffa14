#include "Components/XDebugStream.h"

#include "Components/XFileStream.h"

#include <bit>

// The buffer goes to the file as it lies in memory, which is the little-endian form of the log.
static_assert(std::endian::native == std::endian::little);

namespace XDebug
{
XDebugStream::XDebugStream(const WCHAR* fileName, unsigned mode, unsigned bufferChars)
    : m_BufferChars(bufferChars ? bufferChars : 1)
{
    m_Buffer.reset(new WCHAR[static_cast<size_t>(m_BufferChars) + 10]);
    m_Buffer[0] = 0;
    if (fileName)
        Open(fileName, mode);
}

XDebugStream::~XDebugStream()
{
    if (!m_File)
        return;
    try
    {
        if (m_Used || !m_Held.empty())
            Flush();
    }
    catch (...)
    {
        // Losing the last piece of a log beats ending the program from a destructor.
    }
    if (m_File != m_Memory)
        delete m_File;
    m_File = nullptr;
}

void XDebugStream::Open(const WCHAR* fileName, unsigned mode)
{
    if (m_File && m_File != m_Memory)
        return;
    // Nothing is attached until every step succeeded, so a failure keeps the previous target.
    std::unique_ptr<XStream> file(new XFileStream(fileName, mode));
    file->Seek(0, 2);
    if (m_Memory)
    {
        m_Memory->SetPosition(0);
        CopyStream(file.get(), m_Memory, m_Memory->GetSize());
        m_Memory->SetSize(0);
        m_Memory->SetPosition(0);
    }
    m_FileName = fileName;
    m_File = file.release();
}

void XDebugStream::Put(WCHAR c)
{
    if (m_Used >= m_BufferChars)
        FlushBuffer();
    m_Buffer[m_Used++] = c;
    if (c == u'\n')
    {
        m_Buffer[m_Used] = 0;
        FlushBuffer();
    }
}

void XDebugStream::Put(char c)
{
    WCHAR wide = u'?';
    MultiByteToWideChar(CP_THREAD_ACP, 0, &c, 1, &wide, 1);
    Put(wide);
}

void XDebugStream::Write(const WCHAR* text)
{
    if (!text)
        return;
    for (; *text; ++text)
        Put(*text);
}

void XDebugStream::Write(const char* text)
{
    if (!text)
        return;
    for (; *text; ++text)
        Put(*text);
}

void XDebugStream::WriteInt(int value)
{
    WCHAR text[16];
    IntToStr(text, value);
    Write(text);
}

void XDebugStream::Flush()
{
    FlushBuffer();
    if (m_Held.empty())
        return;
    std::u16string held;
    held.swap(m_Held);
    WriteToFile(held.data(), held.size());
}

void XDebugStream::FlushBuffer()
{
    unsigned used = m_Used;
    m_Buffer[used] = 0;
    // Empty first: a throwing Sink must not leave the text to be handed out twice.
    m_Used = 0;
    Sink(m_Buffer.get(), used);
    if (!m_File)
        return;
    if (m_HoldFileText)
        m_Held.append(m_Buffer.get(), used);
    else
        WriteToFile(m_Buffer.get(), used);
}

void XDebugStream::WriteToFile(const WCHAR* text, size_t count)
{
    // Short writes are not reported; only text past the 32-bit count of a write goes in pieces.
    while (count)
    {
        unsigned piece = count < 0x40000000u ? static_cast<unsigned>(count) : 0x40000000u;
        unsigned bytes = piece * static_cast<unsigned>(sizeof(WCHAR));
        if (m_File->Write(text, bytes) != bytes)
            return;
        text += piece;
        count -= piece;
    }
}

void XDebugStream::Sink(const WCHAR*, unsigned) {}
} // namespace XDebug
