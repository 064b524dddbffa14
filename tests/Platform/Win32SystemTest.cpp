#include "Platform/Win32/Windows.h"

#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/WholeFile.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace
{
time_t SecondsOf(const SYSTEMTIME& t)
{
    tm parts{};
    parts.tm_year = t.wYear - 1900;
    parts.tm_mon = t.wMonth - 1;
    parts.tm_mday = t.wDay;
    parts.tm_hour = t.wHour;
    parts.tm_min = t.wMinute;
    parts.tm_sec = t.wSecond;
    return ::timegm(&parts);
}

int WeekDayOf(const SYSTEMTIME& t)
{
    time_t seconds = SecondsOf(t);
    tm parts{};
    ::gmtime_r(&seconds, &parts);
    return parts.tm_wday;
}

TEST(Win32SystemTest, LastErrorBelongsToTheThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen = 1;
    std::thread other(
        [&]
        {
            seen = GetLastError();
            SetLastError(ERROR_FILE_NOT_FOUND);
        });
    other.join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Win32SystemTest, ConvertsBetweenUtf16AndUtf8)
{
    using Platform::FromUtf8;
    using Platform::ToUtf8;
    EXPECT_EQ(ToUtf8(u"plain"), "plain");
    EXPECT_EQ(ToUtf8(u"Привет, 世界"), "Привет, 世界");
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(u"\u00FF\u0800\uFFFF"), "\xC3\xBF\xE0\xA0\x80\xEF\xBF\xBF");
    // Lone surrogates have no UTF-8 form and become U+FFFD.
    const WCHAR loneHigh[] = {u'a', 0xD83D, u'b', 0};
    EXPECT_EQ(ToUtf8(loneHigh), "a\xEF\xBF\xBD"
                                "b");
    const WCHAR loneLow[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(ToUtf8(loneLow), "\xEF\xBF\xBD\xEF\xBF\xBD");
    const WCHAR reversed[] = {0xDE00, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(ToUtf8(reversed), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
    // A pair cut by the length is a lone surrogate; the length also covers embedded NULs.
    EXPECT_EQ(ToUtf8(u"\U0001F600", 1), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(u"a\0b", 3), std::string("a\0b", 3));
    EXPECT_EQ(ToUtf8(nullptr), "");

    EXPECT_EQ(FromUtf8("Привет, 世界"), u"Привет, 世界");
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(FromUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    // Ill-formed input: one U+FFFD for each maximal bad piece, nothing valid swallowed.
    struct Case
    {
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        {"\x80", u"\uFFFD"},
        {"\xC0\x80", u"\uFFFD\uFFFD"},                     // overlong
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},           // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},
        {"\xE2\x82", u"\uFFFD"}, // cut short
        {"\xE2\x82"
         "A",
         u"\uFFFDA"},
        {"\xF0\x9F\x98"
         "\xC3\xA9",
         u"\uFFFD\u00E9"},
        {"\xFF"
         "ok",
         u"\uFFFDok"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FromUtf8(c.in), c.out) << c.in;

    // Every cut of a valid text converts to its whole characters and at most one U+FFFD.
    const std::string text = "aé€\xF0\x9F\x98\x80z";
    for (size_t cut = 0; cut <= text.size(); ++cut)
    {
        std::u16string wide = FromUtf8(text.substr(0, cut));
        std::string back = ToUtf8(wide.c_str(), wide.size());
        EXPECT_EQ(FromUtf8(back), wide);
        EXPECT_LE(std::count(wide.begin(), wide.end(), u'\uFFFD'), 1);
    }
    std::u16string all;
    for (char32_t c = 1; c < 0x110000; c += (c < 0x800 ? 1 : 97))
    {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c >= 0x10000)
        {
            all += static_cast<WCHAR>(0xD800 + ((c - 0x10000) >> 10));
            all += static_cast<WCHAR>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        else
            all += static_cast<WCHAR>(c);
    }
    EXPECT_EQ(FromUtf8(ToUtf8(all.c_str(), all.size())), all);
}

TEST(Win32SystemTest, ReportsUniversalAndLocalTime)
{
    const char* savedZone = std::getenv("TZ");
    std::string saved = savedZone ? savedZone : "";
    ::setenv("TZ", "UTC-3", 1); // three hours east of Greenwich
    ::tzset();

    // Bracketed by the clock the time is read from, to the millisecond: std::time may read a
    // coarser clock that lags it.
    auto realtimeMs = []
    {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    };
    SYSTEMTIME utc{}, local{};
    const int64_t before = realtimeMs();
    GetSystemTime(&utc);
    GetLocalTime(&local);
    const int64_t after = realtimeMs();

    if (savedZone)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();

    ASSERT_LT(utc.wMilliseconds, 1000);
    const int64_t utcMs = static_cast<int64_t>(SecondsOf(utc)) * 1000 + utc.wMilliseconds;
    EXPECT_GE(utcMs, before);
    EXPECT_LE(utcMs, after);
    EXPECT_EQ(utc.wDayOfWeek, WeekDayOf(utc));
    EXPECT_EQ(local.wDayOfWeek, WeekDayOf(local));
    time_t offset = SecondsOf(local) - SecondsOf(utc);
    EXPECT_GE(offset, 3 * 3600 - 1);
    EXPECT_LE(offset, 3 * 3600 + 1);

    // A fixed date checks the fields themselves: 2024-02-29 was a Thursday.
    SYSTEMTIME leap{2024, 2, 0, 29, 12, 0, 0, 0};
    EXPECT_EQ(WeekDayOf(leap), 4);

    GetSystemTime(nullptr); // tolerated
}

TEST(Win32SystemTest, TickCountFollowsTheMonotonicClock)
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    DWORD expected = static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
    DWORD start = GetTickCount();
    EXPECT_LT(static_cast<DWORD>(start - expected), 1000u);
    Sleep(30);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 30u);
    EXPECT_LT(elapsed, 5000u);
    Sleep(0);
}

TEST(Win32SystemTest, MessageBoxesGoThroughTheHandler)
{
    std::vector<RecordedBox> calls;
    Platform::MessageBoxHandler previous = Platform::SetMessageBoxHandler(
        [&](HWND owner, const std::u16string& text, const std::u16string& caption, UINT type)
        {
            calls.push_back({owner, text, caption, type});
            return IDNO;
        });
    ASSERT_TRUE(previous);
    HWND owner = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(MessageBoxW(owner, u"Текст", u"Caption", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDNO);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].owner, owner);
    EXPECT_EQ(calls[0].text, u"Текст");
    EXPECT_EQ(calls[0].caption, u"Caption");
    EXPECT_EQ(calls[0].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(calls[1].text, u"");
    EXPECT_EQ(calls[1].caption, u"Error"); // the platform's caption when none is given

    // Installing nothing puts the default back; the recorder comes back as the previous one.
    Platform::MessageBoxHandler recorder = Platform::SetMessageBoxHandler(nullptr);
    ASSERT_TRUE(recorder);
    EXPECT_EQ(recorder(nullptr, u"t", u"c", MB_OK), IDNO);
    EXPECT_EQ(calls.size(), 3u);

    // The default writes "caption: text" to standard error and answers at once.
    ::testing::internal::CaptureStderr();
    int answer = MessageBoxW(nullptr, u"Файл не найден", u"Ошибка", MB_YESNOCANCEL | MB_DEFBUTTON2);
    std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(written, "Ошибка: Файл не найден\n");
    EXPECT_EQ(calls.size(), 3u);
    Platform::SetMessageBoxHandler(previous);

    struct Answer
    {
        UINT type;
        int answer;
    };
    const Answer answers[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_OKCANCEL | MB_DEFBUTTON3, IDOK},
        {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNOCANCEL, IDYES},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNO | MB_ICONWARNING, IDYES},
        {MB_YESNO | MB_DEFBUTTON2 | MB_ICONERROR, IDNO},
        {MB_RETRYCANCEL, IDRETRY},
        {MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ICONINFORMATION, IDOK},
        {0x0F, IDOK},
        {MB_YESNO | 0x300, IDYES}, // a fourth button the box does not have
    };
    for (const Answer& a : answers)
        EXPECT_EQ(Platform::DefaultMessageBoxAnswer(a.type), a.answer) << std::hex << a.type;
}

TEST(Win32SystemTest, KnowsTheProgramsPath)
{
    std::string path = Platform::ProgramPath();
    EXPECT_EQ(path, fs::canonical("/proc/self/exe").string());
    EXPECT_EQ(path.substr(path.find_last_of('/') + 1), "test_platform");
    std::string folder = Platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
    EXPECT_EQ(folder.size() + 13, path.size());
    EXPECT_EQ(Platform::ProgramPathW(), Platform::FromUtf8(path));
}

TEST(Win32SystemTest, LoadsModulesByTheirWindowsNames)
{
    std::string folder = Platform::ProgramFolder();
    EXPECT_EQ(Platform::ModuleFileName(u"no_such_module.dll"), folder + "libno_such_module.so");
    EXPECT_EQ(Platform::ModuleFileName(u"no_such_module.DLL"), folder + "libno_such_module.so");
    EXPECT_EQ(Platform::ModuleFileName(u"no_such_module"), folder + "libno_such_module.so");
    EXPECT_EQ(Platform::ModuleFileName(u"sub\\Name.dll"), folder + "sub/libName.so");
    EXPECT_EQ(Platform::ModuleFileName(u"/opt/x/name.dll"), "/opt/x/libname.so");
    EXPECT_EQ(Platform::ModuleFileName(u"name.so.1"), folder + "name.so.1");

    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"no_such_module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // A real library, reached through a folder of our own under a name of our choosing.
    Dl_info info{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&zlibVersion), &info), 0);
    ASSERT_NE(info.dli_fname, nullptr);
    TempDir dir("kelvane-modules");
    fs::create_symlink(fs::canonical(info.dli_fname), dir / "libZMod.so");
    WriteWholeFile(dir / "libjunk.so", "this is no library");

    std::u16string base = WidePath(dir.Path());
    std::u16string name = base + u"\\ZMOD.DLL";
    EXPECT_EQ(Platform::ModuleFileName(name.c_str()), (dir / "libZMod.so").string());
    HMODULE module = LoadLibraryW(name.c_str());
    ASSERT_NE(module, nullptr);
    auto version = reinterpret_cast<const char* (*)()>(GetProcAddress(module, "zlibVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version(), zlibVersion());
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "no_such_entry_point"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(uintptr_t(1))), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetProcAddress(module, "zlibVersion"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(nullptr));

    name = base + u"/junk.dll";
    EXPECT_EQ(LoadLibraryW(name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    // A folder of that name is no module either.
    fs::create_directory(dir / "libfolder.so");
    name = base + u"/folder.dll";
    EXPECT_EQ(LoadLibraryW(name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(Win32SystemTest, DeliversWindowMessages)
{
    Platform::DispatchPostedMessages(); // nothing left over from elsewhere
    struct Message
    {
        int window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> seen;
    HWND first = Platform::RegisterWindowReceiver(
        [&](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT
        {
            seen.push_back({1, message, wParam, lParam});
            return static_cast<LRESULT>(wParam) + 1;
        });
    HWND second = Platform::RegisterWindowReceiver(
        [&](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT
        {
            seen.push_back({2, message, wParam, lParam});
            return -1;
        });
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsWindow(first));
    EXPECT_FALSE(IsWindow(nullptr));

    EXPECT_EQ(SendMessageW(first, WM_USER + 1, 41, -7), 42);
    EXPECT_EQ(SendMessageW(second, WM_USER + 2, 0, 0), -1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, 1);
    EXPECT_EQ(seen[0].message, WM_USER + 1);
    EXPECT_EQ(seen[0].wParam, 41u);
    EXPECT_EQ(seen[0].lParam, -7);
    SetLastError(0);
    EXPECT_EQ(SendMessageW(nullptr, WM_USER, 1, 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(0x7), WM_USER, 1, 1), 0);
    EXPECT_EQ(seen.size(), 2u);

    // Posted messages wait for the dispatch and arrive in order.
    seen.clear();
    EXPECT_TRUE(PostMessageW(second, WM_USER + 10, 1, 0));
    EXPECT_TRUE(PostMessageW(first, WM_USER + 11, 2, 0));
    EXPECT_TRUE(PostMessageW(second, WM_USER + 12, 3, 0));
    EXPECT_FALSE(PostMessageW(nullptr, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(Platform::DispatchPostedMessages(), 3);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].window, 2);
    EXPECT_EQ(seen[1].window, 1);
    EXPECT_EQ(seen[2].window, 2);
    EXPECT_EQ(seen[2].message, WM_USER + 12);
    EXPECT_EQ(Platform::DispatchPostedMessages(), 0);

    // A receiver that removes itself and another window while it runs: its own captures stay
    // valid to the end, and messages still queued for the removed windows are dropped.
    seen.clear();
    HWND third = nullptr;
    third = Platform::RegisterWindowReceiver(
        [&, tag = std::string(100, 'x')](UINT message, WPARAM, LPARAM)
        {
            Platform::UnregisterWindowReceiver(third);
            Platform::UnregisterWindowReceiver(second);
            seen.push_back({static_cast<int>(tag.size()), message, 0, 0});
            // Posted while dispatching: waits for the next round.
            PostMessageW(first, WM_USER + 99, 0, 0);
            return LRESULT(5);
        });
    EXPECT_TRUE(PostMessageW(third, WM_USER + 20, 0, 0));
    EXPECT_TRUE(PostMessageW(second, WM_USER + 21, 0, 0));
    EXPECT_TRUE(PostMessageW(third, WM_USER + 22, 0, 0));
    EXPECT_TRUE(PostMessageW(first, WM_USER + 23, 0, 0));
    EXPECT_EQ(Platform::DispatchPostedMessages(), 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, 100);
    EXPECT_EQ(seen[0].message, WM_USER + 20);
    EXPECT_EQ(seen[1].window, 1);
    EXPECT_EQ(seen[1].message, WM_USER + 23);
    EXPECT_FALSE(IsWindow(second));
    EXPECT_FALSE(IsWindow(third));
    EXPECT_EQ(SendMessageW(third, WM_USER, 0, 0), 0);
    EXPECT_EQ(Platform::DispatchPostedMessages(), 1);
    EXPECT_EQ(seen.back().message, WM_USER + 99);

    // Sent to a receiver that removes itself: the call completes with its result.
    HWND fourth = nullptr;
    fourth = Platform::RegisterWindowReceiver(
        [&, tag = std::string(100, 'y')](UINT, WPARAM, LPARAM)
        {
            Platform::UnregisterWindowReceiver(fourth);
            return static_cast<LRESULT>(tag.size());
        });
    EXPECT_EQ(SendMessageW(fourth, WM_USER, 0, 0), 100);
    EXPECT_FALSE(IsWindow(fourth));

    // A receiver can be replaced; an empty one answers 0.
    Platform::SetWindowReceiver(first, [](UINT, WPARAM, LPARAM) { return LRESULT(77); });
    EXPECT_EQ(SendMessageW(first, WM_USER, 0, 0), 77);
    Platform::SetWindowReceiver(first, nullptr);
    EXPECT_TRUE(IsWindow(first));
    EXPECT_EQ(SendMessageW(first, WM_USER, 0, 0), 0);
    Platform::UnregisterWindowReceiver(first);
    Platform::UnregisterWindowReceiver(first);
    EXPECT_FALSE(IsWindow(first));
}

TEST(Win32SystemTest, GuidsAreRandomVersionFour)
{
    std::set<std::string> seen;
    for (int i = 0; i < 64; ++i)
    {
        GUID guid{};
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        EXPECT_EQ(guid.Data3 >> 12, 4);
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
        seen.insert(std::string(reinterpret_cast<const char*>(&guid), sizeof(guid)));
    }
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}
} // namespace
