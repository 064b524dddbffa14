#include "App/AppLogger.h"

#include "App/AppPaths.h"
#include "tests/support/ByteData.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
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

    // An entry of the log: where it starts in the file (in bytes) and its text after the stamp.
    struct Entry
    {
        size_t At;
        std::string Text;
    };
    // The log's entries. Each starts at CR LF and a time stamp; text before the first is an entry
    // of its own without a stamp.
    std::vector<Entry> Entries() const
    {
        const std::string text = Text();
        const size_t stampSize = 2 + 23 + 1;
        const std::regex stamp(StampPattern);
        std::vector<size_t> starts;
        for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1))
            if (std::regex_match(text.substr(at, stampSize), stamp))
                starts.push_back(at);
        std::vector<Entry> entries;
        if (starts.empty() || starts.front() != 0)
            entries.push_back({0, text.substr(0, starts.empty() ? text.size() : starts.front())});
        starts.push_back(text.size());
        // The entries are ASCII here: a character is a unit of two bytes.
        for (size_t i = 0; i + 1 < starts.size(); ++i)
            entries.push_back(
                {2 * starts[i], text.substr(starts[i] + stampSize, starts[i + 1] - starts[i] - stampSize)});
        return entries;
    }

    TempDir m_Dir{"kelvane_log"};
    std::u16string m_Log = WidePath(m_Dir / "Kelvane.log");
};

// The text of entry i of a copy of the program in the tests of several writers: some span two
// lines, some are longer than the log's buffer.
std::string CopyEntry(int copy, int i)
{
    std::string text = "copy " + std::to_string(copy) + " entry " + std::to_string(i) + " ";
    if (i % 10 == 3)
        text += "first line\r\nsecond line ";
    return text + std::string(i % 25 == 7 ? 5000 : 20 + i % 60, static_cast<char>('a' + i % 26));
}

// The copy and number an entry of CopyEntry names (-1 when it names none).
std::pair<int, int> CopyAndNumber(const std::string& entry)
{
    int copy = -1, i = -1;
    if (std::sscanf(entry.c_str(), "copy %d entry %d ", &copy, &i) != 2)
        return {-1, -1};
    return {copy, i};
}

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
    std::vector<std::function<bool()>> copies;
    for (int copy = 0; copy < 2; ++copy)
        copies.push_back(
            [&, copy]
            {
                AppLogger log(m_Log.c_str());
                for (int i = 0; i < kEntries; ++i)
                    log.NewEntry() << CopyEntry(copy, i).c_str();
                return true;
            });
    ASSERT_EQ(InChildProcessesTogether(copies), std::vector<bool>(2, true));

    // Nothing stands before the first entry.
    const std::vector<Entry> entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().At, 0u);
    std::vector<std::string> expected[2], found[2];
    int startLines = 0;
    for (const Entry& entry : entries)
    {
        if (entry.Text == StartLine)
            ++startLines;
        else if (entry.Text.starts_with("copy 0 ") || entry.Text.starts_with("copy 1 "))
            found[entry.Text[5] - '0'].push_back(entry.Text);
        else
            ADD_FAILURE() << "broken entry: " << entry.Text.substr(0, 80);
    }
    EXPECT_EQ(startLines, 2);
    for (int copy = 0; copy < 2; ++copy)
    {
        for (int i = 0; i < kEntries; ++i)
            expected[copy].push_back(CopyEntry(copy, i));
        EXPECT_EQ(found[copy].size(), expected[copy].size()) << copy;
        EXPECT_TRUE(found[copy] == expected[copy]) << copy;
    }
}

// A disk that fills in the middle of an entry keeps none of it: the log holds whole entries only,
// an entry that has no room is dropped (and the program goes on), a smaller one that still fits
// lands, and once there is room again every entry lands whole. Also with two copies writing, which
// lose nothing but entries that did not fit.
TEST_F(AppLoggerTest, EntriesThatDoNotFitOnAFullDiskAreDroppedWhole)
{
    const std::string big(3000, 'b');
    ASSERT_TRUE(InChildProcess(
        [&]
        {
            AppLogger log(m_Log.c_str());
            LimitFileSize(fs::file_size(m_Dir / "Kelvane.log") + 400);
            log.NewEntry() << "fits";
            log.NewEntry() << big.c_str();
            log.NewEntry() << "after the disk filled" << LogCtl::Flush;
            LimitFileSize(ULLONG_MAX);
            log.NewEntry() << big.c_str();
            log.NewEntry() << "last";
            return true;
        }));
    std::vector<std::string> texts;
    for (const Entry& entry : Entries())
        texts.push_back(entry.Text.size() > 40
                            ? entry.Text.substr(0, 30) + "... (" + std::to_string(entry.Text.size()) + ")"
                            : entry.Text);
    const std::string bigShown = big.substr(0, 30) + "... (" + std::to_string(big.size()) + ")";
    EXPECT_EQ(texts,
              (std::vector<std::string>{StartLine, "fits", "after the disk filled", bigShown, "last"}));

    // Two copies fill the disk; each finds room again at its entry kRoom.
    fs::remove(m_Dir / "Kelvane.log");
    constexpr int kEntries = 200, kRoom = 150;
    constexpr size_t kDisk = 65536;
    std::vector<std::function<bool()>> copies;
    for (int copy = 0; copy < 2; ++copy)
        copies.push_back(
            [&, copy]
            {
                // The start entry first, or a copy that starts late could find the disk full.
                AppLogger log(m_Log.c_str());
                LimitFileSize(kDisk);
                for (int i = 0; i < kEntries; ++i)
                {
                    if (i == kRoom)
                        LimitFileSize(ULLONG_MAX);
                    log.NewEntry() << CopyEntry(copy, i).c_str();
                }
                return true;
            });
    ASSERT_EQ(InChildProcessesTogether(copies), std::vector<bool>(2, true));

    const std::vector<Entry> entries = Entries();
    const size_t stampBytes = 2 * (2 + 23 + 1);
    // Per copy, the numbers found in the order they stand, and where each starts.
    std::vector<std::pair<int, size_t>> found[2];
    int startLines = 0;
    for (const Entry& entry : entries)
    {
        if (entry.Text == StartLine)
        {
            ++startLines;
            continue;
        }
        auto [copy, i] = CopyAndNumber(entry.Text);
        if (copy < 0 || copy > 1 || i < 0 || i >= kEntries || entry.Text != CopyEntry(copy, i))
        {
            ADD_FAILURE() << "broken entry at byte " << entry.At << ": " << entry.Text.substr(0, 40)
                          << "... (" << entry.Text.size() << " characters)";
            continue;
        }
        found[copy].emplace_back(i, entry.At);
    }
    EXPECT_EQ(startLines, 2);
    int dropped = 0;
    for (int copy = 0; copy < 2; ++copy)
    {
        SCOPED_TRACE(copy);
        // In order, each at most once; every entry after the room came back is there.
        for (size_t k = 1; k < found[copy].size(); ++k)
            EXPECT_LT(found[copy][k - 1].first, found[copy][k].first);
        std::vector<int> late;
        for (const auto& [i, at] : found[copy])
            if (i >= kRoom)
                late.push_back(i);
        EXPECT_EQ(late.size(), static_cast<size_t>(kEntries - kRoom));
        // An entry that is missing had no room when it was written: by then the log was at least
        // as long as where the copy's next entry starts.
        size_t next = 0;
        for (int i = kEntries - 1; i >= 0; --i)
        {
            auto it = std::find_if(found[copy].begin(), found[copy].end(),
                                   [&](const auto& f) { return f.first == i; });
            if (it != found[copy].end())
            {
                next = it->second;
                continue;
            }
            ++dropped;
            EXPECT_GT(next + stampBytes + 2 * CopyEntry(copy, i).size(), kDisk)
                << "entry " << i << " was lost";
        }
    }
    // The disk did fill.
    EXPECT_GT(dropped, 0);
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
