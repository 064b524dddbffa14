// The program's log: <program>.log beside the program file, UTF-16 text, one entry per line, each
// entry starting with the local time. A log grown past 1 MiB is moved to <program>.~log at start.
// Several copies of the program may log to one file: each entry is appended whole, in one write,
// when the next one starts or the log is flushed. An entry the disk has no room for is left out
// whole (the next one that fits follows the last whole entry), and logging goes on.
//
//     *TheAppLogger << LogCtl::NewEntry << "Model file <" << path.c_str() << "> does not exist - patch failed!";
#pragma once

#include "Components/StrUtils.h"
#include "Components/XDebugStream.h"

#include <cstdint>
#include <functional>

// Controls of the writer side; any other value does nothing.
enum class LogCtl : int32_t
{
    EndLine = 0,  // "\r\n"
    NewEntry = 1, // as AppLogger::NewEntry
    Flush = 2,
    FlushAll = 3, // the same as Flush
};

class AppLogger : public XDebug::XDebugStream
{
public:
    // Receives every flushed piece without its trailing CR and LF characters; empty pieces are
    // not passed on.
    using TextHook = std::function<void(const XString& text)>;

    // The log above a file of this size is rotated at start.
    static constexpr int64_t MaxLogSize = 1048576;

    // Rotates and opens the log (null: the program's own), then writes the start entry. A log
    // that cannot be opened does not stop the program: the logger then writes nowhere but to
    // the hook.
    explicit AppLogger(const WCHAR* logFileName = nullptr);
    // Clears the hook, flushes and closes the file. Never throws.
    ~AppLogger() override;

    // The log file's path (null: <program>.log), after moving a log larger than MaxLogSize to the
    // same path with the extension ".~log" in place of an older one (of copies starting together,
    // one moves it). Never fails.
    static XString OpenLogFile(const WCHAR* logFileName = nullptr);

    void SetTextHook(TextHook hook) { m_Hook = std::move(hook); }
    void ClearTextHook() { m_Hook = nullptr; }

    // Writes the previous entry to the file, then starts this one: "\r\n", the local time stamp
    // and a blank.
    AppLogger& NewEntry();
    AppLogger& operator<<(const WCHAR* text);
    AppLogger& operator<<(const char* text);
    AppLogger& operator<<(int value);
    AppLogger& operator<<(LogCtl control);

protected:
    void Sink(const WCHAR* text, unsigned length) override;

private:
    TextHook m_Hook;
};

// The program's one log, built by the entry point before WinMain and destroyed after it; null
// outside that span.
extern AppLogger* TheAppLogger;
