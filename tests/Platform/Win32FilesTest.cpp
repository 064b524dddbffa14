#include "Platform/Win32/Windows.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace
{
// Each test runs in a fresh temporary folder that is also the current folder, so relative Windows
// paths land inside it.
class Win32FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        fs::current_path(m_folder.Path());
    }

    void TearDown() override { fs::current_path(m_previous); }

    static HANDLE Open(const WCHAR* name, DWORD access, DWORD disposition)
    {
        return CreateFileW(name, access, FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
    }

    static std::string ReadAll(HANDLE file)
    {
        std::string text(64, '\0');
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr));
        text.resize(got);
        return text;
    }

    TempDir m_folder{"kelvane-files"};
    fs::path m_previous;
};

TEST_F(Win32FilesTest, FindsFilesAndFoldersWhoseNamesDifferOnlyInCase)
{
    fs::create_directories("dir/Sub");
    HANDLE file = Open(u"dir\\Sub\\f.bin", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(ReadWholeFile("dir/Sub/f.bin"), "abc");

    file = Open(u"DIR\\SUB\\F.BIN", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "abc");
    EXPECT_TRUE(CloseHandle(file));

    // A new file in an existing folder spelled in another case lands in that folder.
    file = Open(u"DIR\\SUB\\new.bin", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(fs::is_regular_file("dir/Sub/new.bin"));
    EXPECT_FALSE(fs::exists("DIR"));

    EXPECT_EQ(Platform::ResolvePath(u"Dir\\sub\\NEW.BIN"), "dir/Sub/new.bin");
    EXPECT_EQ(Platform::ResolvePath(u"dir/Sub/f.bin"), "dir/Sub/f.bin");
    // Components that do not exist stay as given, and so does everything below them.
    EXPECT_EQ(Platform::ResolvePath(u"DIR\\Missing\\SUB\\x.BIN"), "dir/Missing/SUB/x.BIN");
    EXPECT_EQ(Platform::ResolvePath(u"DIR\\\\sub\\"), "dir/Sub/");
    EXPECT_EQ(Platform::ResolvePath(u"DIR\\.\\sub\\..\\SUB\\f.BIN"), "dir/./Sub/../Sub/f.bin");
    EXPECT_EQ(Platform::ResolvePath(u""), "");
    EXPECT_EQ(Platform::ResolvePath(nullptr), "");
    // Absolute paths resolve from the root.
    std::string absolute = (m_folder / "dir/Sub/f.bin").string();
    std::u16string upper = Platform::FromUtf8((m_folder / "DIR/SUB/F.BIN").string());
    EXPECT_EQ(Platform::ResolvePath(upper.c_str()), absolute);

    // Latin-1 and Cyrillic letters match without case too.
    fs::create_directories(u8"Äpfel/Папка");
    WriteWholeFile(u8"Äpfel/Папка/Файл.txt", "x");
    EXPECT_EQ(Platform::ResolvePath(u"äPFEL\\пАПКА\\фАЙЛ.TXT"), std::string("Äpfel/Папка/Файл.txt"));
    EXPECT_EQ(GetFileAttributesW(u"ÄPFEL\\ПАПКА\\ФАЙЛ.TXT"), FILE_ATTRIBUTE_NORMAL);
    WriteWholeFile(u8"Łódź ÿ Ωμέγα.txt", "y");
    EXPECT_EQ(Platform::ResolvePath(u"łÓDŹ Ÿ ΩΜΈΓΑ.TXT"), std::string("Łódź ÿ Ωμέγα.txt"));
    // Letters that merely look alike do not: Latin 'a' is not Cyrillic 'а'.
    EXPECT_EQ(Platform::ResolvePath(u"Äpfel\\Пaпка"), "Äpfel/Пaпка");

    // With several candidates the exact name wins, otherwise the first in byte order.
    WriteWholeFile("ab", "lower");
    WriteWholeFile("AB", "upper");
    EXPECT_EQ(Platform::ResolvePath(u"ab"), "ab");
    EXPECT_EQ(Platform::ResolvePath(u"Ab"), "AB");

    // A name that is not UTF-8 never matches anything but itself.
    WriteWholeFile("\xFF\xFE", "bytes");
    EXPECT_EQ(Platform::ResolvePath(u"\uFFFD\uFFFD"), "\xEF\xBF\xBD\xEF\xBF\xBD");

    // A path the system refuses as too long (a component past NAME_MAX, the whole past PATH_MAX,
    // such as a pasted text full of separators) is given back unlooked-at and fails as a missing
    // file does.
    std::string separators;
    for (int i = 0; i < 1 << 16; ++i)
        separators += "ab/";
    for (const std::string& path : {"DIR/SUB/" + std::string(NAME_MAX + 1, 'x'), "DIR/" + separators})
    {
        const std::u16string wide = Platform::FromUtf8(path);
        EXPECT_TRUE(Platform::ResolvePath(wide.c_str()) == path) << path.size();
        EXPECT_EQ(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(Win32FilesTest, DispositionsFollowThePlatform)
{
    WriteWholeFile("old.txt", "old content");

    SetLastError(12345);
    HANDLE file = Open(u"old.txt", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadWholeFile("old.txt"), "old content");

    file = Open(u"OLD.TXT", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(file), "old content");
    EXPECT_TRUE(CloseHandle(file));

    SetLastError(12345);
    file = Open(u"fresh.txt", GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(fs::exists("fresh.txt"));

    file = Open(u"old.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(fs::file_size("old.txt"), 0u);

    SetLastError(12345);
    file = Open(u"other.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(file));

    WriteWholeFile("trunc.txt", "12345");
    file = Open(u"trunc.txt", GENERIC_WRITE, TRUNCATE_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(fs::file_size("trunc.txt"), 0u);

    struct Failure
    {
        const WCHAR* name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    };
    fs::create_directory("folder");
    const Failure failures[] = {
        {u"missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {u"missing.txt", GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
        {u"nofolder\\missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"nofolder\\new.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {u"trunc.txt\\below", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"trunc.txt", GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        {u"trunc.txt", GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
        {u"trunc.txt", GENERIC_READ, 6, ERROR_INVALID_PARAMETER},
        {u"", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {nullptr, GENERIC_READ, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
        {u"folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"FOLDER", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {u"folder", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
    };
    for (const Failure& failure : failures)
    {
        SCOPED_TRACE(failure.name ? Platform::ToUtf8(failure.name) : "(null)");
        SetLastError(0);
        EXPECT_EQ(Open(failure.name, failure.access, failure.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), failure.error);
    }
    EXPECT_TRUE(fs::is_directory("folder"));
    EXPECT_FALSE(fs::exists("nofolder"));
}

// A handle that may only append (FILE_APPEND_DATA without the rest of GENERIC_WRITE) writes at the
// end of the file whatever its position and whatever other handles wrote meanwhile.
TEST_F(Win32FilesTest, AppendOnlyHandlesWriteAtTheEnd)
{
    WriteWholeFile("log.txt", "start|");
    HANDLE first = Open(u"log.txt", GENERIC_READ | FILE_APPEND_DATA, OPEN_ALWAYS);
    HANDLE second = Open(u"LOG.TXT", FILE_APPEND_DATA, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(first, "a1|", 3, &done, nullptr));
    EXPECT_TRUE(WriteFile(second, "b1|", 3, &done, nullptr));
    EXPECT_EQ(SetFilePointer(first, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_TRUE(WriteFile(first, "a2|", 3, &done, nullptr));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(SetFilePointer(first, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_EQ(ReadAll(first), "start|a1|b1|a2|");
    char byte = 0;
    EXPECT_FALSE(ReadFile(second, &byte, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));

    // With the rest of GENERIC_WRITE the handle writes where it stands, as any writer.
    HANDLE writer = Open(u"log.txt", GENERIC_READ | GENERIC_WRITE | FILE_APPEND_DATA, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(writer, 1, nullptr, FILE_BEGIN), 1u);
    EXPECT_TRUE(WriteFile(writer, "T", 1, &done, nullptr));
    EXPECT_TRUE(CloseHandle(writer));
    EXPECT_EQ(ReadWholeFile("log.txt"), "sTart|a1|b1|a2|");

    // Appending is writing: a read-only file refuses it.
    ASSERT_EQ(::chmod("log.txt", 0444), 0);
    EXPECT_EQ(Open(u"log.txt", FILE_APPEND_DATA, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// An append that does not fit (the disk fills in its middle) leaves nothing behind and says so, so
// that the next writer's text never follows a piece of it; once there is room again, appends land
// whole. A handle that writes at its position keeps what fitted and reports how much that was.
TEST_F(Win32FilesTest, AnAppendThatDoesNotFitLeavesNothing)
{
    WriteWholeFile("log.txt", "start|");
    WriteWholeFile("data.bin", "");
    EXPECT_TRUE(InChildProcess(
        [&]
        {
            HANDLE log = Open(u"log.txt", GENERIC_READ | FILE_APPEND_DATA, OPEN_EXISTING);
            HANDLE data = Open(u"data.bin", GENERIC_WRITE, OPEN_EXISTING);
            if (log == INVALID_HANDLE_VALUE || data == INVALID_HANDLE_VALUE)
                return false;
            LimitFileSize(10);
            DWORD done = 99;
            bool ok = !WriteFile(log, "entry|", 6, &done, nullptr) && done == 0 &&
                      GetLastError() == ERROR_FILE_TOO_LARGE;
            ok = ok && WriteFile(log, "ok|", 3, &done, nullptr) && done == 3;
            ok = ok && !WriteFile(log, "xy", 2, &done, nullptr) && done == 0;
            ok = ok && !WriteFile(data, "0123456789ab", 12, &done, nullptr) && done == 10 &&
                 GetLastError() == ERROR_FILE_TOO_LARGE;
            LimitFileSize(ULLONG_MAX);
            ok = ok && WriteFile(log, "later|", 6, &done, nullptr) && done == 6;
            return CloseHandle(log) && CloseHandle(data) && ok;
        }));
    EXPECT_EQ(ReadWholeFile("log.txt"), "start|ok|later|");
    EXPECT_EQ(ReadWholeFile("data.bin"), "0123456789");
}

TEST_F(Win32FilesTest, ReadOnlyFilesOpenForReadingOnly)
{
    WriteWholeFile("ro.txt", "keep me");
    fs::permissions("ro.txt", fs::perms(0444));
    EXPECT_EQ(GetFileAttributesW(u"RO.TXT"), FILE_ATTRIBUTE_READONLY);

    HANDLE file = Open(u"ro.txt", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(file), "keep me");
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(SetEndOfFile(file));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FlushFileBuffers(file));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(file));

    // The read-only attribute turns writers away, even a user the permission bits would let in.
    for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING})
    {
        SetLastError(0);
        EXPECT_EQ(Open(u"ro.txt", GENERIC_READ | GENERIC_WRITE, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(ReadWholeFile("ro.txt"), "keep me");

    // A file the system refuses to write (the running program) still opens for reading, which
    // shows a read-only open asks for no write access at all.
    std::u16string program = Platform::ProgramPathW();
    file = Open(program.c_str(), GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char magic[4] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, magic, 4, &got, nullptr));
    EXPECT_EQ(std::string(magic, got), "\x7F"
                                       "ELF");
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Open(program.c_str(), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    // Clearing the attribute lets writers in again; setting it takes every write permission away.
    EXPECT_TRUE(SetFileAttributesW(u"ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(u"ro.txt"), FILE_ATTRIBUTE_NORMAL);
    file = Open(u"ro.txt", GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    fs::permissions("ro.txt", fs::perms(0666));
    EXPECT_TRUE(SetFileAttributesW(u"ro.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(fs::status("ro.txt").permissions(), fs::perms(0444));
    EXPECT_FALSE(SetFileAttributesW(u"absent.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A write-only handle refuses reading.
    file = Open(u"wo.txt", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char byte = 0;
    got = 99;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Win32FilesTest, SeeksPastFourGigabytesAndSetsTheEnd)
{
    HANDLE file = Open(u"sparse.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    LONG high = 1;
    SetLastError(5);
    EXPECT_EQ(SetFilePointer(file, 0x10, &high, FILE_BEGIN), 0x10u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "end", 3, &written, nullptr));
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(file, &sizeHigh), 0x13u);
    EXPECT_EQ(sizeHigh, 1u);
    LONGLONG size = 0;
    EXPECT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size, 0x100000013LL);

    // Back three bytes from the end: the negative distance spans both halves.
    high = -1;
    EXPECT_EQ(SetFilePointer(file, -3, &high, FILE_END), 0x10u);
    EXPECT_EQ(high, 1);
    char text[8] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof(text), &got, nullptr));
    EXPECT_EQ(std::string(text, got), "end");
    // At the end a read succeeds with nothing.
    EXPECT_TRUE(ReadFile(file, text, sizeof(text), &got, nullptr));
    EXPECT_EQ(got, 0u);

    // Without a high part a position past 4 GiB cannot be reported: the call fails and the
    // position stays.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    LONGLONG position = 0;
    EXPECT_TRUE(SetFilePointerEx(file, 0, &position, FILE_CURRENT));
    EXPECT_EQ(position, 0x100000013LL);

    // A position whose low part reads as the failure value is told apart by the last error.
    high = 0;
    SetLastError(5);
    EXPECT_EQ(SetFilePointer(file, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    // Before the start is refused and moves nothing.
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_FALSE(SetFilePointerEx(file, LLONG_MIN, nullptr, FILE_END));
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_FALSE(SetFilePointerEx(file, LLONG_MAX, nullptr, FILE_END));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetFilePointerEx(file, 0, nullptr, 3));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SetFilePointerEx(file, 0, &position, FILE_CURRENT));
    EXPECT_EQ(position, 0xFFFFFFFFLL);

    // SetEndOfFile cuts at the current position and leaves it there.
    EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 5u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 5u);
    // ... and extends with zeros.
    EXPECT_TRUE(SetFilePointerEx(file, 100, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
    std::string content = ReadWholeFile("sparse.bin");
    EXPECT_EQ(content, std::string(100, '\0'));
}

TEST_F(Win32FilesTest, ReadsAndWritesWholeBuffers)
{
    std::string data(3 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 131 + (i >> 12));
    HANDLE file = Open(u"big.bin", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &done, nullptr));
    EXPECT_EQ(done, data.size());
    EXPECT_TRUE(WriteFile(file, nullptr, 0, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(WriteFile(file, nullptr, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
    std::string back(data.size() + 100, 'x');
    EXPECT_TRUE(ReadFile(file, back.data(), static_cast<DWORD>(back.size()), &done, nullptr));
    ASSERT_EQ(done, data.size());
    back.resize(done);
    EXPECT_EQ(back, data);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Win32FilesTest, RefusesHandlesItDidNotGive)
{
    int local = 0;
    HANDLE foreign = &local;
    char byte = 0;
    DWORD done = 0;
    for (HANDLE handle : {HANDLE(nullptr), INVALID_HANDLE_VALUE, foreign})
    {
        SetLastError(0);
        EXPECT_FALSE(ReadFile(handle, &byte, 1, &done, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(WriteFile(handle, &byte, 1, &done, nullptr));
        EXPECT_EQ(SetFilePointer(handle, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(GetFileSize(handle, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(SetEndOfFile(handle));
        EXPECT_FALSE(FlushFileBuffers(handle));
        EXPECT_FALSE(CloseHandle(handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    HANDLE file = Open(u"once.txt", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Win32FilesTest, MoveNeverReplacesButMoveExCan)
{
    WriteWholeFile("a.txt", "A");
    WriteWholeFile("b.txt", "B");

    SetLastError(0);
    EXPECT_FALSE(MoveFileW(u"a.txt", u"b.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadWholeFile("a.txt"), "A");
    EXPECT_EQ(ReadWholeFile("b.txt"), "B");
    // The target is found without case, as the platform would find it.
    EXPECT_FALSE(MoveFileW(u"a.txt", u"B.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(MoveFileExW(u"a.txt", u"b.txt", 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadWholeFile("a.txt"), "A");
    EXPECT_EQ(ReadWholeFile("b.txt"), "B");

    EXPECT_TRUE(MoveFileW(u"A.TXT", u"c.txt"));
    EXPECT_FALSE(fs::exists("a.txt"));
    EXPECT_EQ(ReadWholeFile("c.txt"), "A");

    EXPECT_TRUE(MoveFileExW(u"c.txt", u"B.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(fs::exists("c.txt"));
    EXPECT_EQ(ReadWholeFile("b.txt"), "A");

    EXPECT_FALSE(MoveFileW(u"missing.txt", u"d.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFileW(u"nofolder\\missing.txt", u"d.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(MoveFileW(u"b.txt", u"nofolder\\d.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(MoveFileW(nullptr, u"d.txt"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadWholeFile("b.txt"), "A");

    // Folders move too, and are not replaced either.
    fs::create_directories("one/inner");
    fs::create_directory("two");
    EXPECT_FALSE(MoveFileW(u"ONE", u"Two"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileW(u"ONE", u"three"));
    EXPECT_TRUE(fs::is_directory("three/inner"));
}

TEST_F(Win32FilesTest, CopiesDeletesAndManagesFolders)
{
    WriteWholeFile("src.txt", "source");
    WriteWholeFile("dst.txt", "target");

    EXPECT_FALSE(CopyFileW(u"src.txt", u"DST.TXT", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadWholeFile("dst.txt"), "target");
    EXPECT_TRUE(CopyFileW(u"SRC.txt", u"dst.txt", FALSE));
    EXPECT_EQ(ReadWholeFile("dst.txt"), "source");
    EXPECT_TRUE(CopyFileW(u"src.txt", u"new.txt", TRUE));
    EXPECT_EQ(ReadWholeFile("new.txt"), "source");
    // Copying a file onto itself must not destroy it.
    EXPECT_FALSE(CopyFileW(u"src.txt", u"SRC.TXT", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadWholeFile("src.txt"), "source");
    EXPECT_FALSE(CopyFileW(u"missing.txt", u"x.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists("x.txt"));
    // The copy carries the read-only attribute, and a read-only target is not overwritten.
    fs::permissions("src.txt", fs::perms(0444));
    EXPECT_TRUE(CopyFileW(u"src.txt", u"ro-copy.txt", TRUE));
    EXPECT_EQ(GetFileAttributesW(u"ro-copy.txt"), FILE_ATTRIBUTE_READONLY);
    WriteWholeFile("other.txt", "other");
    EXPECT_FALSE(CopyFileW(u"other.txt", u"ro-copy.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadWholeFile("ro-copy.txt"), "source");

    EXPECT_TRUE(DeleteFileW(u"NEW.TXT"));
    EXPECT_FALSE(fs::exists("new.txt"));
    EXPECT_FALSE(DeleteFileW(u"new.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(u"nofolder\\new.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_TRUE(CreateDirectoryW(u"Folder", nullptr));
    EXPECT_EQ(GetFileAttributesW(u"FOLDER"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(CreateDirectoryW(u"folder", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(u"nofolder\\inner", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(CreateDirectoryW(u"folder\\Inner", nullptr));
    EXPECT_TRUE(fs::is_directory("Folder/Inner"));
    EXPECT_FALSE(DeleteFileW(u"folder"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileW(u"folder", u"copy", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RemoveDirectoryW(u"folder"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryW(u"dst.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(RemoveDirectoryW(u"absent"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectoryW(u"FOLDER\\INNER"));
    EXPECT_TRUE(RemoveDirectoryW(u"FOLDER"));
    EXPECT_FALSE(fs::exists("Folder"));

    EXPECT_EQ(GetFileAttributesW(u"absent"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(u"absent\\deeper"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
} // namespace
