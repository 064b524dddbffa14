// Writes a benchmark archive of about a given size with a given number of entries:
//   pck_generate OUT --size BYTES --entries N [--seed S] [--level L]
#include "tests/support/PckGenerator.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
// Stored bytes per original byte of generated content at the given level, from a sample.
double MeasureRatio(uint64_t seed, int level)
{
    PckGen::EntryOptions sample;
    sample.Seed = seed ^ 0x5A5A;
    sample.Count = 32;
    sample.MinSize = 32 * 1024;
    sample.MaxSize = 96 * 1024;
    sample.RawBlocks = false;
    uint64_t original = 0, stored = 0;
    for (const PckGen::Entry& e : PckGen::MakeEntries(sample))
    {
        std::vector<uint8_t> data = PckGen::EntryData(e);
        uLongf bound = compressBound(static_cast<uLong>(data.size()));
        std::vector<uint8_t> out(bound);
        compress2(out.data(), &bound, data.data(), static_cast<uLong>(data.size()), level);
        original += data.size();
        stored += bound;
    }
    return original ? static_cast<double>(stored) / static_cast<double>(original) : 1.0;
}

uint64_t ParseSize(const char* text)
{
    char* end = nullptr;
    double value = std::strtod(text, &end);
    switch (end && *end ? *end : 0)
    {
    case 'k': case 'K': value *= 1024.0; break;
    case 'm': case 'M': value *= 1024.0 * 1024.0; break;
    case 'g': case 'G': value *= 1024.0 * 1024.0 * 1024.0; break;
    default: break;
    }
    return static_cast<uint64_t>(value);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: pck_generate OUT --size BYTES[k|m|g] --entries N [--seed S] [--level L]\n");
        return 2;
    }
    std::string out = argv[1];
    uint64_t size = 64ull << 20;
    uint32_t entries = 1000;
    uint64_t seed = 1;
    int level = 1;
    for (int i = 2; i < argc; i += 2)
    {
        if (i + 1 >= argc)
        {
            std::fprintf(stderr, "%s needs a value\n", argv[i]);
            return 2;
        }
        if (!std::strcmp(argv[i], "--size"))
            size = ParseSize(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--entries"))
            entries = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (!std::strcmp(argv[i], "--seed"))
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--level"))
            level = std::atoi(argv[i + 1]);
        else
        {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (entries == 0 || size >= (4ull << 30))
    {
        std::fprintf(stderr, "need at least one entry and a size below 4 GiB\n");
        return 2;
    }
    double ratio = level == 0 ? 1.0 : MeasureRatio(seed, level);
    double mean = static_cast<double>(size) / entries / ratio;

    PckGen::EntryOptions options;
    options.Seed = seed;
    options.Count = entries;
    options.MinSize = static_cast<uint32_t>(mean * 0.5);
    options.MaxSize = static_cast<uint32_t>(mean * 1.5);
    options.RawBlocks = false;
    PckGen::ArchiveOptions archive;
    archive.Level = level;

    auto start = std::chrono::steady_clock::now();
    try
    {
        PckGen::FileSink sink(out);
        PckGen::Layout layout = PckGen::WriteArchive(PckGen::MakeEntries(options), archive, sink);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("wrote %s: %llu bytes, %u entries, %.1f s\n", out.c_str(),
                    static_cast<unsigned long long>(layout.FileSize), entries, seconds);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "pck_generate: %s\n", e.what());
        return 1;
    }
    return 0;
}
