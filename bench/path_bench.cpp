// Measures what the file layer costs to look up a path, against converting the same text to UTF-8
// (the least any path costs on its way to the system), at several lengths: a cost that grows with
// the length keeps its ratio, one that grows with its square does not.
//   path_bench [FOLDER] [--sizes 1,8,26] [--repeat R]
// Two kinds of path, each resolved (ResolvePath) and looked up (GetFileAttributesW, as the patch
// looks up its archive):
// - a pasted text of the sizes given in MiB, seeded base64 (a '/' in every 64 characters), under
//   a folder that exists in another case;
// - a path under PATH_MAX of existing components, "Game\..\" again and again before a missing
//   name, in a fresh folder under FOLDER (the system's temporary folder by default).
// Each is the best of R runs (3 by default; a text of 8 MiB or more runs once).
#include "bench/BenchFolder.h"
#include "bench/BestMs.h"

#include "Platform/Win32/Windows.h"

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace
{
std::u16string Base64Text(size_t size)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::u16string text(size, u'A');
    uint64_t state = 0x9E3779B97F4A7C15u;
    for (char16_t& c : text)
    {
        state = state * 6364136223846793005u + 1442695040888963407u;
        c = static_cast<char16_t>(digits[state >> 58]);
    }
    return text;
}

struct Row
{
    double Resolve, Lookup, Floor;
};

Row Measure(const std::u16string& path, unsigned repeat, bool& failed)
{
    Row row{};
    row.Resolve = BestMs(repeat, [&] { failed |= Platform::ResolvePath(path.c_str()).empty(); });
    row.Lookup =
        BestMs(repeat, [&] { failed |= GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; });
    row.Floor = BestMs(repeat, [&] { failed |= Platform::ToUtf8(path.c_str(), path.size()).empty(); });
    return row;
}

void Print(const char* what, size_t length, const Row& row, const Row& first)
{
    const double ratio = row.Resolve / row.Floor;
    std::printf("%-20s %9zu units  ResolvePath %10.3f ms  GetFileAttributesW %10.3f ms  floor %8.3f ms  "
                "resolve/floor %8.2f (%5.2fx the shortest's)\n",
                what, length, row.Resolve, row.Lookup, row.Floor, ratio,
                ratio / (first.Resolve / first.Floor));
}
} // namespace

int main(int argc, char** argv)
{
    setenv("KELVANE_HEADLESS", "1", 1);
    std::string base = std::filesystem::temp_directory_path().string();
    std::vector<int> sizes{1, 8, 26};
    unsigned repeat = 3;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc)
        {
            sizes.clear();
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');)
                sizes.push_back(std::max(1, std::atoi(item.c_str())));
        }
        else if (arg == "--repeat" && i + 1 < argc)
            repeat = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        else
            base = arg;
    }
    const auto made = MakeBenchFolder(base, "path-bench");
    if (!made)
        return 1;
    const std::string folder = *made;
    std::filesystem::create_directories(folder + "/Game");
    bool failed = false;

    const std::u16string upperFolder = Platform::FromUtf8(folder + "/GAME/");
    Row first{};
    for (size_t i = 0; i < sizes.size(); ++i)
    {
        const std::u16string path = upperFolder + Base64Text(static_cast<size_t>(sizes[i]) << 20);
        const Row row = Measure(path, sizes[i] >= 8 ? 1 : repeat, failed);
        if (i == 0)
            first = row;
        Print("pasted base64 text", path.size(), row, first);
    }

    std::u16string walk = Platform::FromUtf8(folder + "/");
    for (size_t target : {PATH_MAX / 8, PATH_MAX / 4, PATH_MAX / 2, PATH_MAX - 16})
    {
        while (walk.size() + 8 + 7 < target)
            walk += u"Game\\..\\";
        const std::u16string path = walk + u"missing";
        const Row row = Measure(path, repeat * 100, failed);
        if (target == PATH_MAX / 8)
            first = row;
        Print("Game\\..\\ repeated", path.size(), row, first);
    }
    std::filesystem::remove_all(folder);
    if (failed)
    {
        std::fprintf(stderr, "a path that does not exist was found\n");
        return 1;
    }
    return 0;
}
