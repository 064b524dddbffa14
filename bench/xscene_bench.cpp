// Measures loading and saving a large scene against reading and writing the same bytes.
//   xscene_bench [FOLDER] [--megabytes N] [--repeat R]
// Generates a scene of a few large triangle meshes (about 200 MB by default) in FOLDER (the
// current folder by default), then alternates R times (3 by default): reading the file into
// memory, LoadFromFile, SaveToStream into memory, SaveToFile and writing the file's bytes with
// plain writes. The best of each is compared in MB/s.
#include "Components/XMemoryStream.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XScene.h"
#include "tests/support/SceneModel.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Buffer
{
    std::unique_ptr<char[]> data;
    size_t size = 0;
};

// The whole file into freshly allocated memory, as a loader must have it; returns seconds, or -1.
double ReadAll(const std::string& path, Buffer& bytes)
{
    bytes = Buffer();
    auto start = Clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return -1;
    off_t size = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    bytes.size = static_cast<size_t>(size);
    bytes.data.reset(new char[bytes.size]);
    size_t done = 0;
    while (done < bytes.size)
    {
        ssize_t n = ::read(fd, bytes.data.get() + done, bytes.size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return done == bytes.size ? Since(start) : -1;
}

double WriteAll(const std::string& path, const Buffer& bytes)
{
    auto start = Clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < bytes.size)
    {
        ssize_t n = ::write(fd, bytes.data.get() + done, bytes.size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return done == bytes.size ? Since(start) : -1;
}
} // namespace

int main(int argc, char** argv)
{
    std::string folder = ".";
    double megabytes = 200;
    int repeat = 3;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        if ((arg == "--megabytes" || arg == "--repeat") && i + 1 < argc)
        {
            (arg == "--megabytes" ? megabytes = std::atof(argv[++i])
                                  : repeat = std::max(1, std::atoi(argv[++i])));
            continue;
        }
        folder = arg;
    }
    const std::string path = folder + "/xscene_bench.xscene";
    const std::string copy = folder + "/xscene_bench.copy";
    const std::u16string widePath = Platform::FromUtf8(path);
    Platform::SetMessageBoxHandler(
        [](HWND, const std::u16string& text, const std::u16string&, UINT)
        {
            std::fprintf(stderr, "message: %s\n", Platform::ToUtf8(text.c_str()).c_str());
            return IDOK;
        });

    try
    {
        {
            // A vertex costs 52 bytes over its channels, and each of about as many faces 16.
            const uint32_t meshes = 4;
            const uint32_t perMesh = static_cast<uint32_t>(megabytes * 1e6 / 68 / meshes);
            XScene scene(nullptr);
            for (uint32_t i = 0; i < meshes; ++i)
                AddModelMesh(scene, u"Mesh", perMesh, 1000 + i);
            scene.SaveToFile(widePath.c_str());
        }
        Buffer bytes;
        double bestRead = 1e30, bestLoad = 1e30, bestSerialise = 1e30, bestSave = 1e30, bestWrite = 1e30;
        for (int round = 0; round < repeat; ++round)
        {
            double read = ReadAll(path, bytes);
            XScene scene(nullptr);
            auto start = Clock::now();
            scene.LoadFromFile(widePath.c_str());
            double load = Since(start);
            start = Clock::now();
            {
                XMemoryStream memory(0, 0x2000);
                scene.SaveToStream(&memory);
            }
            double serialise = Since(start);
            start = Clock::now();
            scene.SaveToFile(widePath.c_str());
            double save = Since(start);
            double write = WriteAll(copy, bytes);
            std::printf("round %d: read %.3f s, load %.3f s, serialise %.3f s, save %.3f s, write %.3f s (%u "
                        "meshes)\n",
                        round + 1, read, load, serialise, save, write, scene.GetMeshCount());
            bestSerialise = std::min(bestSerialise, serialise);
            bestRead = std::min(bestRead, read);
            bestLoad = std::min(bestLoad, load);
            bestSave = std::min(bestSave, save);
            bestWrite = std::min(bestWrite, write);
        }
        ::unlink(copy.c_str());
        ::unlink(path.c_str());
        const double mb = static_cast<double>(bytes.size) / 1e6;
        std::printf("scene %.1f MB\n", mb);
        std::printf("read into memory %8.1f MB/s\n", mb / bestRead);
        std::printf("LoadFromFile     %8.1f MB/s  (%.2f of reading)\n", mb / bestLoad, bestRead / bestLoad);
        std::printf("plain write      %8.1f MB/s\n", mb / bestWrite);
        std::printf("SaveToStream     %8.1f MB/s  (into memory)\n", mb / bestSerialise);
        std::printf("SaveToFile       %8.1f MB/s  (%.2f of writing)\n", mb / bestSave, bestWrite / bestSave);
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "%s\n", text);
        return 1;
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "%s\n", e.Message().ToUtf8().c_str());
        return 1;
    }
    return 0;
}
