// Measures what the log costs per entry against appending the same bytes the plainest way.
//   log_bench [FOLDER] [--entries N] [--repeat R]
// In a fresh folder under FOLDER (the system's temporary folder by default), takes the best of R
// runs (5 by default) of N entries (20,000 by default) of a typical line, each run into a new file:
// appended by write on a descriptor opened with O_APPEND (the floor); through WriteFile on a handle
// that may only append (each write whole or not at all, under the file's lock); through WriteFile
// on a handle that writes at its position, which stays at the end (the same layer without the
// lock); and logged by AppLogger (time stamp, conversion, one append per entry). Each is printed
// per entry in microseconds and against the floor; the lock's share is the append-only handle
// against the positioned one.
#include "App/AppLogger.h"
#include "bench/BenchFolder.h"
#include "bench/BestMs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
const char EntryText[] = "Model file <Data\\Models\\npc_0042.ski> replaced in Models.pck";

// One entry as the log writes it: CR LF, a time stamp, a blank and the text, in UTF-16LE.
std::string EntryBytes()
{
    std::string text = std::string("\r\n2026.12.08 12:00:00:000 ") + EntryText;
    std::string bytes;
    for (char c : text)
    {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

void Print(const char* what, double ms, int entries, double floor)
{
    std::printf("%-34s %8.3f us/entry  %6.2fx floor\n", what, 1000.0 * ms / entries, ms / floor);
}
} // namespace

int main(int argc, char** argv)
{
    setenv("KELVANE_HEADLESS", "1", 1);
    std::string base = std::filesystem::temp_directory_path().string();
    int entries = 20000, repeat = 5;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        if (arg == "--entries" && i + 1 < argc)
            entries = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else
            base = arg;
    }
    const auto made = MakeBenchFolder(base, "log-bench");
    if (!made)
        return 1;
    const std::string folder = *made;
    const std::string path = folder + "/Kelvane.log";
    const std::u16string widePath = Platform::FromUtf8(path);
    const std::string entry = EntryBytes();
    const DWORD entrySize = static_cast<DWORD>(entry.size());
    bool failed = false;

    const double floor =
        BestMs(repeat,
               [&]
               {
                   ::unlink(path.c_str());
                   int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
                   for (int i = 0; i < entries; ++i)
                       failed |= ::write(fd, entry.data(), entry.size()) != ssize_t(entry.size());
                   ::close(fd);
               });
    auto throughHandle = [&](DWORD access)
    {
        return BestMs(
            repeat,
            [&]
            {
                ::unlink(path.c_str());
                HANDLE file = CreateFileW(widePath.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_ALWAYS, 0, nullptr);
                DWORD done = 0;
                for (int i = 0; i < entries; ++i)
                    failed |= !WriteFile(file, entry.data(), entrySize, &done, nullptr) || done != entrySize;
                failed |= !CloseHandle(file);
            });
    };
    const double appendOnly = throughHandle(GENERIC_READ | FILE_APPEND_DATA);
    const double positioned = throughHandle(GENERIC_READ | GENERIC_WRITE);
    const double logger = BestMs(repeat,
                                 [&]
                                 {
                                     ::unlink(path.c_str());
                                     AppLogger log(widePath.c_str());
                                     for (int i = 0; i < entries; ++i)
                                         log.NewEntry() << EntryText;
                                     log << LogCtl::Flush;
                                 });
    const auto size = std::filesystem::file_size(path);
    if (failed || size < static_cast<uintmax_t>(entries) * entry.size())
    {
        std::fprintf(stderr, "a write failed (the log holds %ju bytes)\n", static_cast<uintmax_t>(size));
        return 1;
    }
    std::printf("%d entries of %u bytes, best of %d runs\n", entries, static_cast<unsigned>(entrySize),
                repeat);
    Print("write, O_APPEND (floor)", floor, entries, floor);
    Print("WriteFile, append-only handle", appendOnly, entries, floor);
    Print("WriteFile, positioned handle", positioned, entries, floor);
    Print("AppLogger entry", logger, entries, floor);
    std::printf("append-only against positioned handle: %.2fx\n", appendOnly / positioned);
    std::filesystem::remove_all(folder);
    return 0;
}
