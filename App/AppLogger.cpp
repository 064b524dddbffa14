#include "App/AppLogger.h"

#include "App/AppPaths.h"
#include "Platform/Win32/Windows.h"

AppLogger* TheAppLogger = nullptr;

// Opens existing or creates, and appends: copies of the program started from one folder share the
// log. Buffer in wide characters.
static constexpr unsigned LogFileMode = 11;
static constexpr unsigned LogBufferChars = 4096;

XString AppLogger::OpenLogFile(const WCHAR* logFileName)
{
    XString log =
        logFileName ? XString(logFileName) : AppPaths::ChangeFileExt(AppPaths::ProgramFile(), u".log");
    // Copies started together may all find the log too large: one moves it, and none moves the
    // fresh log another has begun over the one just moved.
    Platform::MoveFileIfLarger(log.c_str(), AppPaths::ChangeFileExt(log, u".~log").c_str(), MaxLogSize);
    return log;
}

AppLogger::AppLogger(const WCHAR* logFileName) : XDebug::XDebugStream(nullptr, LogFileMode, LogBufferChars)
{
    // Each entry goes to the file in one write, so that another copy's entries land between ours,
    // never inside one.
    HoldFileTextUntilFlush();
    XString log = OpenLogFile(logFileName);
    try
    {
        Open(log.c_str(), LogFileMode);
    }
    catch (...)
    {
        // A missing log must not keep the program from patching.
    }
    ClearTextHook();
    NewEntry() << "=======   Starting...   =======" << LogCtl::Flush;
}

AppLogger::~AppLogger()
{
    ClearTextHook();
    try
    {
        Flush();
    }
    catch (...)
    {
    }
}

AppLogger& AppLogger::NewEntry()
{
    WCHAR stamp[32];
    FormatTimeStamp(stamp);
    // The previous entry is complete: it goes to the file before this one's first line end.
    Flush();
    Write("\r\n");
    Write(stamp);
    Put(u' ');
    return *this;
}

AppLogger& AppLogger::operator<<(const WCHAR* text)
{
    Write(text);
    return *this;
}

AppLogger& AppLogger::operator<<(const char* text)
{
    Write(text);
    return *this;
}

AppLogger& AppLogger::operator<<(int value)
{
    WriteInt(value);
    return *this;
}

AppLogger& AppLogger::operator<<(LogCtl control)
{
    switch (control)
    {
    case LogCtl::EndLine:
        Write("\r\n");
        break;
    case LogCtl::NewEntry:
        NewEntry();
        break;
    case LogCtl::Flush:
    case LogCtl::FlushAll:
        Flush();
        break;
    }
    return *this;
}

void AppLogger::Sink(const WCHAR* text, unsigned length)
{
    if (!m_Hook)
        return;
    while (length > 0 && (text[length - 1] == u'\r' || text[length - 1] == u'\n'))
        --length;
    if (length == 0)
        return;
    XString piece;
    piece.Assign(text, length);
    m_Hook(piece);
}
