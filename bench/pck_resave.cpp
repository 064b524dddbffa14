// Re-saves an archive with edits and compares the time with copying the same file.
//   pck_resave IN OUT [--level N] [--repeat R] [--add NAME=FILE]... [--rename OLD=NEW]... [--delete NAME]...
// The edits are applied in the order given. The copy is made the way cp makes it (copy_file_range,
// in the kernel) into a scratch file of the tool's own beside OUT, so through the same page cache
// and onto the same file system. Each of the R rounds (5 by default) times one open and save and
// one copy, in alternating order, so that write-back of one side's output lands on the other's
// clock as often as the other way round; the figure reported is the median of the rounds' ratios.
// Both sides write a new file each round (the tool removes its own output of the round before,
// untimed), as the patch writes its archive to a new file: emptying a file whose pages are still
// being written back costs the file system more than the copy itself, and would measure the disk.
// An untimed save and copy come first, to warm the page cache and the code.
#include "PW/Common/PwPackage.h"
#include "tests/support/ScratchFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
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

class Fd
{
public:
    explicit Fd(int fd) : m_Fd(fd) {}
    ~Fd()
    {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_Fd; }

private:
    int m_Fd;
};

// Copies a file as cp does: sequential read advice, then copy_file_range, so the data moves from
// page cache to page cache inside the kernel; read and write through a buffer where the kernel
// cannot. The target must exist: it is the tool's own scratch file.
// Returns seconds; throws std::runtime_error on failure.
double CopyLikeCp(const std::string& from, const std::string& to)
{
    auto start = Clock::now();
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    Fd out(::open(to.c_str(), O_WRONLY | O_CLOEXEC));
    if (in.Get() < 0 || out.Get() < 0)
        throw std::runtime_error("cannot open " + (in.Get() < 0 ? from : to) + ": " + std::strerror(errno));
    ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    bool kernelCopy = true;
    for (;;)
    {
        ssize_t n = -1;
        if (kernelCopy)
        {
            n = ::copy_file_range(in.Get(), nullptr, out.Get(), nullptr, 1u << 30, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            {
                kernelCopy = false;
                continue;
            }
        }
        else
        {
            static std::vector<char> buffer(1u << 20);
            n = ::read(in.Get(), buffer.data(), buffer.size());
            if (n > 0 && ::write(out.Get(), buffer.data(), static_cast<size_t>(n)) != n)
                n = -1;
        }
        if (n == 0)
            break;
        if (n < 0)
            throw std::runtime_error("cannot copy " + from + " to " + to + ": " + std::strerror(errno));
    }
    return Since(start);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::pair<std::string, std::string> Split(const char* text)
{
    const char* eq = std::strchr(text, '=');
    if (!eq)
        return {text, ""};
    return {std::string(text, eq), std::string(eq + 1)};
}

using Edits = std::vector<std::pair<std::string, std::pair<std::string, std::string>>>;

struct SaveTimes
{
    double Open;
    double Save;
    uint32_t Entries;
};

SaveTimes OpenEditSave(const std::string& in, const std::string& out, const Edits& edits, int level)
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
    return SaveTimes{openSeconds, Since(start), package.Entries.GetCount()};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: pck_resave IN OUT [--level N] [--repeat R] [--add NAME=FILE]... "
                             "[--rename OLD=NEW]... [--delete NAME]...\n");
        return 2;
    }
    std::string in = argv[1], out = argv[2];
    int level = 1;
    int repeat = 5;
    Edits edits;
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
    struct stat inStat;
    if (::stat(in.c_str(), &inStat) != 0 || !S_ISREG(inStat.st_mode))
    {
        std::fprintf(stderr, "pck_resave: cannot read %s\n", in.c_str());
        return 1;
    }
    // Writing OUT would destroy the archive being read.
    if (Platform::SameFile(Platform::FromUtf8(in).c_str(), Platform::FromUtf8(out).c_str()))
    {
        std::fprintf(stderr, "pck_resave: %s and %s are the same file\n", in.c_str(), out.c_str());
        return 2;
    }

    try
    {
        // The output of the tool's previous save, removed before the next one; never a file that
        // was at OUT before the tool wrote it. A descriptor of it is kept open, so that its inode
        // cannot be reused by a file that someone else puts at OUT meanwhile.
        int written = -1;
        auto removeOwnOutput = [&]
        {
            struct stat own, now;
            if (written >= 0 && ::fstat(written, &own) == 0 && ::lstat(out.c_str(), &now) == 0 &&
                own.st_dev == now.st_dev && own.st_ino == now.st_ino)
                ::unlink(out.c_str());
            if (written >= 0)
                ::close(written);
            written = -1;
        };
        auto save = [&]
        {
            removeOwnOutput();
            SaveTimes times = OpenEditSave(in, out, edits, level);
            written = ::open(out.c_str(), O_RDONLY | O_CLOEXEC);
            return times;
        };
        std::optional<ScratchFile> copy;
        auto copyFresh = [&]
        {
            copy.reset();
            copy.emplace(out);
            return CopyLikeCp(in, copy->Path());
        };

        save();
        copyFresh();
        std::vector<double> opens, saves, copies, ratios;
        uint32_t entries = 0;
        for (int round = 0; round < repeat; ++round)
        {
            SaveTimes times{};
            double copySeconds = 0;
            if (round % 2 == 0)
            {
                times = save();
                copySeconds = copyFresh();
            }
            else
            {
                copySeconds = copyFresh();
                times = save();
            }
            entries = times.Entries;
            double ratio = (times.Open + times.Save) / copySeconds;
            std::printf("round %d: %s open %.3f s, save %.3f s, copy %.3f s, ratio %.3f\n", round + 1,
                        round % 2 == 0 ? "save first," : "copy first,", times.Open, times.Save, copySeconds,
                        ratio);
            opens.push_back(times.Open);
            saves.push_back(times.Save);
            copies.push_back(copySeconds);
            ratios.push_back(ratio);
        }

        double mib = static_cast<double>(inStat.st_size) / (1024.0 * 1024.0);
        std::vector<double> totals(opens.size());
        for (size_t i = 0; i < totals.size(); ++i)
            totals[i] = opens[i] + saves[i];
        std::printf("entries      %u\n", entries);
        std::printf("open         %.3f s (median of %d)\n", Median(opens), repeat);
        std::printf("save         %.3f s (level %d)\n", Median(saves), level);
        std::printf("open+save    %.3f s, %.0f MiB/s\n", Median(totals), mib / Median(totals));
        std::printf("copy         %.3f s, %.0f MiB/s (copy_file_range, as cp)\n", Median(copies),
                    mib / Median(copies));
        std::printf("ratio        %.3f (median of the rounds' open+save / copy; range %.3f - %.3f)\n",
                    Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                    *std::max_element(ratios.begin(), ratios.end()));
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
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "pck_resave: %s\n", e.what());
        return 1;
    }
    return 0;
}
