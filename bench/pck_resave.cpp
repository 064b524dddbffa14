// Re-saves an archive with edits and compares the time with copying the same file.
//   pck_resave IN OUT [--level N] [--repeat R] [--add NAME=FILE]... [--rename OLD=NEW]... [--delete NAME]...
// The edits are applied in the order given. The copy is measured in the same run, through the
// same page cache, alternating with the open and save R times (5 by default); the best of each
// is compared, so that write-back of one side's output does not land on the other's clock.
#include "PW/Common/PwPackage.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The plain copy of a file through a 1 MiB buffer; returns seconds, or -1 on failure.
double CopyFile(const std::string& from, const std::string& to)
{
    auto start = Clock::now();
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0)
        return -1;
    std::vector<char> buffer(1 << 20);
    for (;;)
    {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        if (::write(out, buffer.data(), static_cast<size_t>(n)) != n)
            return -1;
    }
    ::close(in);
    ::close(out);
    return Since(start);
}

std::pair<std::string, std::string> Split(const char* text)
{
    const char* eq = std::strchr(text, '=');
    if (!eq)
        return {text, ""};
    return {std::string(text, eq), std::string(eq + 1)};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: pck_resave IN OUT [--level N] [--add NAME=FILE]... [--rename OLD=NEW]... "
                             "[--delete NAME]...\n");
        return 2;
    }
    std::string in = argv[1], out = argv[2];
    int level = 1;
    int repeat = 5;
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> edits;
    for (int i = 3; i < argc; i += 2)
    {
        std::string option = argv[i];
        if (i + 1 >= argc)
        {
            std::fprintf(stderr, "%s needs a value\n", option.c_str());
            return 2;
        }
        const char* value = argv[i + 1];
        if (option == "--level")
            level = std::atoi(value);
        else if (option == "--repeat")
            repeat = std::max(1, std::atoi(value));
        else if (option == "--delete")
            edits.push_back({option, {value, ""}});
        else if (option == "--add" || option == "--rename")
        {
            auto pair = Split(value);
            if (pair.second.empty())
            {
                std::fprintf(stderr, "%s takes NAME=VALUE\n", option.c_str());
                return 2;
            }
            edits.push_back({option, pair});
        }
        else
        {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }

    try
    {
        // Warm the page cache so that neither side pays for the first read from disk.
        std::string copyPath = out + ".copy";
        CopyFile(in, copyPath);

        double bestOpen = 1e30, bestSave = 1e30, bestCopy = 1e30, bestTotal = 1e30;
        uint32_t entries = 0;
        for (int round = 0; round < repeat; ++round)
        {
            auto start = Clock::now();
            PwPackage package;
            package.Open(Platform::FromUtf8(in).c_str());
            double openSeconds = Since(start);

            for (const auto& [kind, args] : edits)
            {
                std::u16string a = Platform::FromUtf8(args.first), b = Platform::FromUtf8(args.second);
                if (kind == "--add")
                    package.AddFromDisk(a.c_str(), b.c_str());
                else if (kind == "--rename" && !package.Rename(a.c_str(), b.c_str()))
                    std::fprintf(stderr, "no entry %s to rename\n", args.first.c_str());
                else if (kind == "--delete" && !package.Delete(a.c_str()))
                    std::fprintf(stderr, "no entry %s to delete\n", args.first.c_str());
            }

            start = Clock::now();
            package.Save(Platform::FromUtf8(out).c_str(), level, "pck_resave");
            double saveSeconds = Since(start);
            entries = package.Entries.GetCount();

            double copySeconds = CopyFile(in, copyPath);
            std::printf("round %d: open %.3f s, save %.3f s, copy %.3f s\n", round + 1, openSeconds, saveSeconds,
                        copySeconds);
            bestOpen = std::min(bestOpen, openSeconds);
            bestSave = std::min(bestSave, saveSeconds);
            bestTotal = std::min(bestTotal, openSeconds + saveSeconds);
            if (copySeconds >= 0)
                bestCopy = std::min(bestCopy, copySeconds);
        }
        ::unlink(copyPath.c_str());

        long long bytes = 0;
        int fd = ::open(in.c_str(), O_RDONLY);
        if (fd >= 0)
        {
            bytes = ::lseek(fd, 0, SEEK_END);
            ::close(fd);
        }
        double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
        std::printf("entries      %u\n", entries);
        std::printf("open         %.3f s (best of %d)\n", bestOpen, repeat);
        std::printf("save         %.3f s (level %d)\n", bestSave, level);
        std::printf("open+save    %.3f s, %.0f MiB/s\n", bestTotal, mib / bestTotal);
        std::printf("copy         %.3f s, %.0f MiB/s\n", bestCopy, mib / bestCopy);
        std::printf("ratio        %.2f (open+save / copy)\n", bestTotal / bestCopy);
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "pck_resave: %s\n", e.Message().ToUtf8().c_str());
        return 1;
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "pck_resave: %s\n", text);
        return 1;
    }
    return 0;
}
