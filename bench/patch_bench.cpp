// Times the patch procedure on a generated game archive against copying the archive and flushing
// the copy to disk, side by side in one run:
//   patch_bench [--dir DIR] [--size BYTES[k|m|g]] [--entries N] [--rounds R] [--level L]
// A fresh folder under DIR (default /tmp) holds the game folder, the data folder with ten models
// and the scratch copy; it is removed at the end. Each round runs one patch (the backup exists,
// as on every patch after the first) and one copy of the backup with fsync, alternating; the
// ratio reported is the median of the rounds' ratios.
#include "App/AppLogger.h"
#include "App/PatcherUnit.h"
#include "PW/Common/PwPackage.h"
#include "bench/BenchFolder.h"
#include "tests/support/PckGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t ParseSize(const char* text)
{
    char* end = nullptr;
    double value = std::strtod(text, &end);
    switch (end && *end ? *end : 0)
    {
    case 'k':
    case 'K':
        value *= 1024.0;
        break;
    case 'm':
    case 'M':
        value *= 1024.0 * 1024.0;
        break;
    case 'g':
    case 'G':
        value *= 1024.0 * 1024.0 * 1024.0;
        break;
    default:
        break;
    }
    return static_cast<uint64_t>(value);
}

// The plain copy through a 1 MiB buffer, flushed to disk; seconds, or -1 on failure.
double CopyAndFlush(const std::string& from, const std::string& to)
{
    auto start = Clock::now();
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0)
        return -1;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;)
    {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0)
        {
            ok = n == 0;
            break;
        }
        if (::write(out, buffer.data(), static_cast<size_t>(n)) != n)
        {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    ::close(out);
    return ok ? Since(start) : -1;
}

// Reads the file once so that neither side pays for the first read from disk.
void Warm(const std::string& path)
{
    int in = ::open(path.c_str(), O_RDONLY);
    if (in < 0)
        return;
    std::vector<char> buffer(1 << 20);
    while (::read(in, buffer.data(), buffer.size()) > 0)
    {
    }
    ::close(in);
}

// Stored bytes per original byte of generated content at the level, from a sample.
double MeasureRatio(uint64_t seed, int level)
{
    if (level == 0)
        return 1.0;
    PckGen::EntryOptions sample;
    sample.Seed = seed ^ 0x5A5A;
    sample.Count = 32;
    sample.MinSize = 32 * 1024;
    sample.MaxSize = 96 * 1024;
    sample.RawBlocks = false;
    PckGen::MemorySink sink;
    std::vector<PckGen::Entry> entries = PckGen::MakeEntries(sample);
    uint64_t original = 0;
    for (const PckGen::Entry& e : entries)
        original += e.Size;
    PckGen::ArchiveOptions options;
    options.Level = level;
    PckGen::Layout layout = PckGen::WriteArchive(entries, options, sink);
    uint64_t stored = 0;
    for (const PckGen::Placement& p : layout.Blocks)
        stored += p.StoredSize;
    return static_cast<double>(stored) / static_cast<double>(original);
}

// The archive layer alone: open the backup, add the models, save to a scratch file and flush it.
double SaveAndFlush(const fs::path& backup, const fs::path& out, const std::vector<PwPatchEntry>& table,
                    const fs::path& data, int level)
{
    auto start = Clock::now();
    PwPackage package;
    package.Open(Platform::FromUtf8(backup.string()).c_str());
    for (const PwPatchEntry& entry : table)
    {
        if (entry.FileName.IsEmpty())
            break;
        std::u16string model =
            Platform::FromUtf8((data / Platform::ToUtf8(entry.ModelName.c_str())).string());
        package.AddFromDisk(entry.FileName.c_str(), model.c_str());
    }
    package.Save(Platform::FromUtf8(out.string()).c_str(), level, PatcherDefaultDescription);
    int fd = ::open(out.c_str(), O_WRONLY);
    bool flushed = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return flushed ? Since(start) : -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

XString Wide(const fs::path& path)
{
    return XString(Platform::FromUtf8(path.string()).c_str());
}
} // namespace

int main(int argc, char** argv)
{
    std::string base = "/tmp";
    uint64_t size = 1100ull << 20;
    uint32_t count = 20000;
    int rounds = 5;
    int level = 1;
    for (int i = 1; i < argc; i += 2)
    {
        if (i + 1 >= argc)
        {
            std::fprintf(stderr, "%s needs a value\n", argv[i]);
            return 2;
        }
        if (!std::strcmp(argv[i], "--dir"))
            base = argv[i + 1];
        else if (!std::strcmp(argv[i], "--size"))
            size = ParseSize(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--entries"))
            count = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--level"))
            level = std::atoi(argv[i + 1]);
        else
        {
            std::fprintf(stderr, "usage: patch_bench [--dir DIR] [--size BYTES] [--entries N] [--rounds R] "
                                 "[--level L]\n");
            return 2;
        }
    }
    if (count < 10 || size >= (4ull << 30))
    {
        std::fprintf(stderr, "need at least 10 entries and a size below 4 GiB\n");
        return 2;
    }

    const auto made = MakeBenchFolder(base, "kelvane-patch-bench");
    if (!made)
        return 1;
    const fs::path work = *made;
    int result = 0;
    try
    {
        fs::create_directories(work / "Game");
        fs::create_directories(work / "Data");
        const fs::path archive = work / "Game" / "Models.pck";
        const fs::path backup = work / "Game" / "Models.original.pck";
        const fs::path copy = work / "Game" / "copy.pck";

        // The archive: entries of about size / count stored bytes each.
        PckGen::EntryOptions options;
        options.Seed = 20000;
        options.Count = count;
        double mean = static_cast<double>(size) / count / MeasureRatio(options.Seed, 1);
        options.MinSize = static_cast<uint32_t>(mean * 0.5);
        options.MaxSize = static_cast<uint32_t>(mean * 1.5);
        options.RawBlocks = false;
        std::vector<PckGen::Entry> entries = PckGen::MakeEntries(options);
        auto start = Clock::now();
        uint64_t archiveSize = 0;
        {
            PckGen::FileSink sink(archive.string());
            archiveSize = PckGen::WriteArchive(entries, {}, sink).FileSize;
        }
        std::printf("archive      %.0f MiB, %u entries (generated in %.1f s)\n",
                    static_cast<double>(archiveSize) / (1 << 20), count, Since(start));

        // Ten instructions spread over the archive, each with a model of its own on disk.
        std::vector<PwPatchEntry> table(PwPatchEntryCount);
        uint32_t added = 0;
        uint64_t modelBytes = 0;
        for (size_t i = 0; i < entries.size() && added < 10; i += entries.size() / 16)
        {
            for (size_t k = i; k < entries.size(); ++k)
            {
                const std::u16string& name = entries[k].NameWide;
                bool texture = name.ends_with(u".dds"), skin = name.ends_with(u".ski");
                if (!texture && !skin)
                    continue;
                PckGen::Entry model;
                model.Size = texture ? 1u << 20 : 300u * 1024;
                model.DataSeed = 77 + added;
                std::vector<uint8_t> bytes = PckGen::EntryData(model);
                std::string file = "model" + std::to_string(added) + (texture ? ".dds" : ".ski");
                FILE* f = std::fopen((work / "Data" / file).c_str(), "wb");
                if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
                    throw std::runtime_error("cannot write a model");
                std::fclose(f);
                table[added].FileName = XString(name.c_str());
                table[added].ModelName = XString(Platform::FromUtf8(file).c_str());
                modelBytes += bytes.size();
                ++added;
                break;
            }
        }
        std::printf("instructions %u, models %.1f MiB\n", added, static_cast<double>(modelBytes) / (1 << 20));

        Platform::SetMessageBoxHandler([](HWND, const std::u16string&, const std::u16string&, UINT)
                                       { return IDOK; });
        AppLogger log(Wide(work / "bench.log").c_str());
        int messages = 0;
        HWND window = Platform::RegisterWindowReceiver(
            [&](UINT, WPARAM, LPARAM)
            {
                ++messages;
                return LRESULT(0);
            });
        Patcher::PatchJob job;
        job.PackageFile = Wide(archive);
        job.ProgramFolder = Wide(work) + u"/";
        job.Entries = table.data();
        job.CompressionLevel = level;
        job.ProgressWindow = window;

        // The first patch moves the archive to the backup; every later one rebuilds it from there.
        start = Clock::now();
        if (!Patcher::PatchPackage(log, job))
            throw std::runtime_error("the first patch failed; see bench.log");
        std::printf("first patch  %.3f s\n", Since(start));
        Warm(backup.string());
        // Write-back of the set-up must not land on the first round's clock.
        ::sync();

        std::vector<double> patchTimes, copyTimes, saveTimes, ratios;
        for (int round = 0; round < rounds; ++round)
        {
            messages = 0;
            start = Clock::now();
            bool patched = Patcher::PatchPackage(log, job);
            double patchSeconds = Since(start);
            if (!patched)
                throw std::runtime_error("a patch failed; see bench.log");
            double copySeconds = CopyAndFlush(backup.string(), copy.string());
            fs::remove(copy);
            double saveSeconds = SaveAndFlush(backup, copy, table, work / "Data", level);
            fs::remove(copy);
            if (copySeconds <= 0 || saveSeconds <= 0)
                throw std::runtime_error("the copy failed");
            std::printf("round %d: patch %.3f s (%d progress messages), copy+fsync %.3f s, archive "
                        "save+fsync %.3f s, "
                        "ratio %.2f\n",
                        round + 1, patchSeconds, messages, copySeconds, saveSeconds,
                        patchSeconds / copySeconds);
            saveTimes.push_back(saveSeconds);
            patchTimes.push_back(patchSeconds);
            copyTimes.push_back(copySeconds);
            ratios.push_back(patchSeconds / copySeconds);
        }
        Platform::UnregisterWindowReceiver(window);

        double mib = static_cast<double>(fs::file_size(archive)) / (1 << 20);
        std::printf("patch        %.3f s median, %.0f MiB/s written\n", Median(patchTimes),
                    mib / Median(patchTimes));
        std::printf("copy+fsync   %.3f s median, %.0f MiB/s\n", Median(copyTimes),
                    static_cast<double>(archiveSize) / (1 << 20) / Median(copyTimes));
        std::printf("save+fsync   %.3f s median (the archive layer alone)\n", Median(saveTimes));
        std::printf("ratio        %.2f median of %d rounds (patch / copy+fsync; goal <= 1.5)\n",
                    Median(ratios), rounds);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "patch_bench: %s\n", e.what());
        result = 1;
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "patch_bench: %s\n", e.Message().ToUtf8().c_str());
        result = 1;
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "patch_bench: %s\n", text);
        result = 1;
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return result;
}
