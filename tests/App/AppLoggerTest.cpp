#include "App/AppLogger.h"

#include "App/AppPaths.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
const char StartLine[] = "=======   Starting...   =======";
// CR LF, "yyyy.mm.dd hh:mm:ss:mmm", a blank.
const char StampPattern[] = "\r\n[0-9]{4}\\.[0-9]{2}\\.[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{3} ";

class AppLoggerTest : public ::testing::Test
{
protected:
    std::vector<uint8_t> Bytes(const std::string& name) const { return ReadWholeFileData(m_Dir / name); }
    void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        WriteWholeFile(m_Dir / name, bytes);
    }

    // The log as text; the file must hold whole UTF-16LE units.
    std::string Text(const std::string& name = "Kelvane.log") const
    {
        std::string bytes = ReadWholeFile(m_Dir / name);
        EXPECT_EQ(bytes.size() % 2, 0u);
        std::u16string wide = FromUtf16Le(bytes);
        return Platform::ToUtf8(wide.c_str(), wide.size());
    }

    TempDir m_Dir{"kelvane_log"};
    std::u16string m_Log = WidePath(m_Dir / "Kelvane.log");
};

TEST(AppPathsTest, DerivesNamesFromTheProgramPath)
{
    using AppPaths::ChangeFileExt;
    EXPECT_EQ(ChangeFileExt(XString(u"/opt/k/Kelvane"), u".log"), u"/opt/k/Kelvane.log");
    EXPECT_EQ(ChangeFileExt(XString(u"/opt/k/Kelvane.log"), u".~log"), u"/opt/k/Kelvane.~log");
    EXPECT_EQ(ChangeFileExt(XString(u"/opt/k.d/Kelvane"), u".xml"), u"/opt/k.d/Kelvane.xml");
    EXPECT_EQ(ChangeFileExt(XString(u"C:\\Game\\Kelvane.exe"), u".xml"), u"C:\\Game\\Kelvane.xml");
    EXPECT_EQ(ChangeFileExt(XString(u"a.b.c"), u".log"), u"a.b.log");
    EXPECT_EQ(ChangeFileExt(XString(), u".log"), u".log");
    EXPECT_EQ(AppPaths::ExtractFilePath(XString(u"/opt/k/Kelvane")), u"/opt/k/");
    EXPECT_EQ(AppPaths::ExtractFilePath(XString(u"C:\\Game\\Kelvane.exe")), u"C:\\Game\\");
    EXPECT_EQ(AppPaths::ExtractFilePath(XString(u"Kelvane")), u"");

    XString program = AppPaths::ProgramFile();
    EXPECT_EQ(AppPaths::ExtractFilePath(program) + GetFileName(program), program);
    EXPECT_TRUE(fs::exists(Platform::ToUtf8(program.c_str())));
}

TEST_F(AppLoggerTest, FirstEntryIsTheStartLineAndRunsAppend)
{
    {
        AppLogger log(m_Log.c_str());
        // Written and flushed by the constructor: CR LF, stamp, blank, start line; no byte-order mark.
        std::vector<uint8_t> bytes = Bytes("Kelvane.log");
        ASSERT_EQ(bytes.size(), (2u + 23u + 1u + 31u) * 2u);
        EXPECT_EQ(bytes[0], 0x0D);
        EXPECT_EQ(bytes[1], 0x00);
        EXPECT_EQ(bytes[2], 0x0A);
        EXPECT_EQ(bytes[3], 0x00);
        for (size_t i = 1; i < bytes.size(); i += 2)
            EXPECT_EQ(bytes[i], 0x00) << i;
        EXPECT_TRUE(std::regex_match(Text(), std::regex(std::string(StampPattern) + StartLine)));
    }
    std::string first = Text();
    {
        AppLogger log(m_Log.c_str());
        log.NewEntry() << "second run";
    }
    std::string both = Text();
    ASSERT_EQ(both.substr(0, first.size()), first);
    EXPECT_TRUE(std::regex_match(both.substr(first.size()), std::regex(std::string(StampPattern) + StartLine +
                                                                       StampPattern + "second run")));
    EXPECT_FALSE(fs::exists(m_Dir / "Kelvane.~log"));
}

TEST_F(AppLoggerTest, RotatesOnlyALogLargerThanOneMebibyte)
{
    std::vector<uint8_t> exact = PatternBytes(1048576, 1);
    WriteBytes("Kelvane.log", exact);
    {
        AppLogger log(m_Log.c_str());
    }
    EXPECT_FALSE(fs::exists(m_Dir / "Kelvane.~log"));
    std::vector<uint8_t> kept = Bytes("Kelvane.log");
    ASSERT_EQ(kept.size(), exact.size() + (2u + 23u + 1u + 31u) * 2u);
    EXPECT_TRUE(std::equal(exact.begin(), exact.end(), kept.begin()));

    // One byte more: moved over an older rotation, and the new log starts afresh.
    std::vector<uint8_t> over = PatternBytes(1048577, 2);
    WriteBytes("Kelvane.log", over);
    WriteBytes("Kelvane.~log", PatternBytes(100, 3));
    {
        AppLogger log(m_Log.c_str());
    }
    EXPECT_EQ(Bytes("Kelvane.~log"), over);
    EXPECT_TRUE(std::regex_match(Text(), std::regex(std::string(StampPattern) + StartLine)));

    // Without an older rotation the move happens all the same.
    fs::remove(m_Dir / "Kelvane.~log");
    WriteBytes("Kelvane.log", over);
    EXPECT_EQ(AppLogger::OpenLogFile(m_Log.c_str()), m_Log.c_str());
    EXPECT_EQ(Bytes("Kelvane.~log"), over);
    EXPECT_FALSE(fs::exists(m_Dir / "Kelvane.log"));
}

TEST_F(AppLoggerTest, WriterOperationsChain)
{
    AppLogger log(m_Log.c_str());
    size_t start = Text().size();

    // An entry reaches the file whole, at the next entry or a flush: not at its leading CR LF, nor
    // at a line end inside it.
    log << LogCtl::NewEntry;
    EXPECT_EQ(Text().size(), start);
    log << u"wide \u0416 " << "narrow \xC0\xFF " << -2147483647 - 1 << " " << 0 << " " << 42;
    log << LogCtl::EndLine << "tail";
    EXPECT_EQ(Text().size(), start);
    log << LogCtl::FlushAll;
    std::string text = Text().substr(start);
    EXPECT_TRUE(std::regex_match(
        text,
        std::regex(std::string(StampPattern) + "wide \u0416 narrow \u0410\u044F -2147483648 0 42\r\ntail")))
        << text;

    // Nothing pending: a flush writes nothing; an unknown control does nothing.
    size_t size = Bytes("Kelvane.log").size();
    log << LogCtl::Flush << static_cast<LogCtl>(7) << LogCtl::Flush;
    EXPECT_EQ(Bytes("Kelvane.log").size(), size);

    log.NewEntry() << static_cast<const char*>(nullptr) << static_cast<const WCHAR*>(nullptr) << "x"
                   << LogCtl::Flush;
    EXPECT_TRUE(
        std::regex_match(Text().substr(start + text.size()), std::regex(std::string(StampPattern) + "x")));
}

TEST_F(AppLoggerTest, HookReceivesPiecesWithoutLineEnds)
{
    std::vector<std::string> pieces;
    {
        AppLogger log(m_Log.c_str());
        log.SetTextHook([&](const XString& text) { pieces.push_back(Platform::ToUtf8(text.c_str())); });
        log << LogCtl::NewEntry << "one" << LogCtl::EndLine << LogCtl::EndLine << "two\r\r\n"
            << "three";
        log << LogCtl::Flush << LogCtl::Flush;
        log << LogCtl::NewEntry << "pending at the end";
    }
    // The first piece is the entry up to its CR LF; the empty line and the lone line end give
    // nothing; the destructor clears the hook before its last flush.
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(std::regex_match(pieces[0], std::regex(std::string(StampPattern).substr(2) + "one")));
    EXPECT_EQ(pieces[1], "two");
    EXPECT_EQ(pieces[2], "three");
    EXPECT_NE(Text().find("pending at the end"), std::string::npos);

    pieces.clear();
    AppLogger log(m_Log.c_str());
    log.SetTextHook([&](const XString& text) { pieces.push_back(Platform::ToUtf8(text.c_str())); });
    log.ClearTextHook();
    log << "quiet" << LogCtl::Flush;
    EXPECT_TRUE(pieces.empty());
}

TEST_F(AppLoggerTest, UnopenableLogDoesNotStopTheProgram)
{
    std::u16string missing = WidePath(m_Dir / "no such folder" / "Kelvane.log");
    std::vector<std::string> pieces;
    std::unique_ptr<AppLogger> log;
    ASSERT_NO_THROW(log = std::make_unique<AppLogger>(missing.c_str()));
    log->SetTextHook([&](const XString& text) { pieces.push_back(Platform::ToUtf8(text.c_str())); });
    *log << LogCtl::NewEntry << "still logging" << LogCtl::Flush;
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_NE(pieces[0].find("still logging"), std::string::npos);
    EXPECT_NO_THROW(log.reset());
    EXPECT_FALSE(fs::exists(m_Dir / "no such folder"));
}

// Two copies of the program started from one folder log into one file: each entry lands whole at
// the end of the file, whatever the other copy wrote meanwhile. Some entries span two lines, some
// are longer than the log's buffer.
TEST_F(AppLoggerTest, TwoProcessesAppendWholeEntriesToOneLog)
{
    constexpr int kEntries = 200;
    auto entryText = [](int copy, int i)
    {
        std::string text = "copy " + std::to_string(copy) + " entry " + std::to_string(i) + " ";
        if (i % 10 == 3)
            text += "first line\r\nsecond line ";
        return text + std::string(i % 25 == 7 ? 5000 : 20 + i % 60, static_cast<char>('a' + i % 26));
    };
    std::vector<std::function<bool()>> copies;
    for (int copy = 0; copy < 2; ++copy)
        copies.push_back(
            [&, copy]
            {
                AppLogger log(m_Log.c_str());
                for (int i = 0; i < kEntries; ++i)
                    log.NewEntry() << entryText(copy, i).c_str();
                return true;
            });
    ASSERT_EQ(InChildProcessesTogether(copies), std::vector<bool>(2, true));

    // Entries start at CR LF and a time stamp; nothing stands before the first.
    const std::string text = Text();
    const size_t stampSize = 2 + 23 + 1;
    const std::regex stamp(StampPattern);
    std::vector<size_t> starts;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1))
        if (std::regex_match(text.substr(at, stampSize), stamp))
            starts.push_back(at);
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), 0u);
    starts.push_back(text.size());
    std::vector<std::string> expected[2], found[2];
    int startLines = 0;
    for (size_t i = 0; i + 1 < starts.size(); ++i)
    {
        std::string entry = text.substr(starts[i] + stampSize, starts[i + 1] - starts[i] - stampSize);
        if (entry == StartLine)
            ++startLines;
        else if (entry.starts_with("copy 0 ") || entry.starts_with("copy 1 "))
            found[entry[5] - '0'].push_back(entry);
        else
            ADD_FAILURE() << "broken entry: " << entry.substr(0, 80);
    }
    EXPECT_EQ(startLines, 2);
    for (int copy = 0; copy < 2; ++copy)
    {
        for (int i = 0; i < kEntries; ++i)
            expected[copy].push_back(entryText(copy, i));
        EXPECT_EQ(found[copy].size(), expected[copy].size()) << copy;
        EXPECT_TRUE(found[copy] == expected[copy]) << copy;
    }
}
TEST_F(AppLoggerTest, CopiesStartingTogetherRotateABigLogOnceAndLoseNothing)
{
    const std::vector<uint8_t> over = PatternBytes(1048577, 4);
    for (int round = 0; round < 40; ++round)
    {
        WriteBytes("Kelvane.log", over);
        WriteBytes("Kelvane.~log", PatternBytes(100, 5));
        std::vector<std::function<bool()>> copies(2, [&]
                                                  {
                                                      AppLogger log(m_Log.c_str());
                                                      log.NewEntry() << "started";
                                                      return true;
                                                  });
        ASSERT_EQ(InChildProcessesTogether(copies), std::vector<bool>(2, true));
        // The big log is the one rotation; both copies' entries are in the new log.
        const std::vector<uint8_t> rotated = Bytes("Kelvane.~log");
        ASSERT_TRUE(rotated == over) << "round " << round << ": the rotated log holds " << rotated.size() << " bytes";
        const std::string text = Text();
        const std::string start = std::string(StampPattern) + StartLine;
        const std::string entry = std::string(StampPattern) + "started";
        ASSERT_TRUE(std::regex_match(text, std::regex("(" + start + "|" + entry + "){4}")))
            << "round " << round << ": " << text.substr(0, 200);
    }
}
} // namespace
