// Fuzz target: the patch instructions. The input is Data\PatchData.xml: it is read into the table
// of 256 records as the dialog reads it at start, and when that succeeds the patch runs with it
// over a small archive (renames, replacements from the data folder, the save) and a restore puts
// the archive back. A bad file must end in its exception, a bad instruction in the patch's logged
// failure; the table never holds more than its records, and the archive is always the old or a
// complete new one.
#include "App/AppLogger.h"
#include "App/PatcherUnit.h"
#include "App/PwPatchEntry.h"
#include "Platform/Win32/Windows.h"
#include "tests/support/PckGenerator.h"
#include "tests/support/SkiGenerator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
void WriteBytes(const fs::path& path, const void* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

std::u16string Wide(const fs::path& path)
{
    std::string s = path.string();
    return std::u16string(s.begin(), s.end());
}

// A folder of its own: Game\Models.pck with entries the seeds name, Data\ with their models.
struct Setup
{
    fs::path dir = fs::temp_directory_path() / ("kelvane-fuzz-patch-" + std::to_string(::getpid()));
    fs::path archive = dir / "Game" / "Models.pck";
    std::vector<uint8_t> game;
    std::unique_ptr<AppLogger> log;

    Setup()
    {
        fs::remove_all(dir);
        fs::create_directories(dir / "Data");
        fs::create_directories(dir / "Game");
        std::vector<PckGen::Entry> entries = PckGen::MakeEntries({.Seed = 44, .Count = 12, .MaxSize = 600});
        uint32_t seed = 0;
        for (const char* name : {"models\\hero\\body.ski", "models\\hero\\hero.dds", "models\\hero\\hero.bon"})
        {
            PckGen::Entry entry;
            entry.Name936 = name;
            entry.NameWide = std::u16string(entry.Name936.begin(), entry.Name936.end());
            entry.Size = 300 + 100 * ++seed;
            entry.DataSeed = seed;
            entries.push_back(entry);
        }
        PckGen::MemorySink sink;
        PckGen::WriteArchive(entries, {}, sink);
        game = std::move(sink.Bytes);
        SkiGen::Options options;
        options.MaxVertices = 60;
        options.MaxMeshes = 2;
        std::vector<uint8_t> ski = SkiGen::Write(SkiGen::MakeModel(options)).Bytes;
        WriteBytes(dir / "Data" / "body.ski", ski.data(), ski.size());
        const uint8_t dds[16] = {'D', 'D', 'S', ' '};
        WriteBytes(dir / "Data" / "hero.dds", dds, sizeof dds);
        log = std::make_unique<AppLogger>(Wide(dir / "Kelvane.log").c_str());
    }
    ~Setup() { fs::remove_all(dir); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    static Setup* setup = []
    {
        Platform::SetMessageBoxHandler([](HWND, const std::u16string&, const std::u16string&, UINT)
                                       { return IDOK; });
        static Setup s;
        return &s;
    }();
    const fs::path instructions = setup->dir / "Data" / "PatchData.xml";
    WriteBytes(instructions, data, size);
    std::vector<PwPatchEntry> table(PwPatchEntryCount + 1);
    table.back().FileName = u"past the table";
    try
    {
        LoadPatchEntries(Wide(instructions).c_str(), table.data());
    }
    catch (const Exception&)
    {
        return 0;
    }
    catch (const char*)
    {
        return 0;
    }
    if (GetPatchEntryCount(table.data()) > PwPatchEntryCount || table.back().FileName != u"past the table")
        abort();
    WriteBytes(setup->archive, setup->game.data(), setup->game.size());
    fs::remove(setup->dir / "Game" / "Models.original.pck");
    Patcher::PatchJob job;
    job.PackageFile = XString(Wide(setup->archive).c_str());
    job.ProgramFolder = XString((Wide(setup->dir) + u"/").c_str());
    job.Entries = table.data();
    Patcher::PatchPackage(*setup->log, job);
    Patcher::RestorePackage(*setup->log, job.PackageFile);
    // The log would grow without end over a run.
    setup->log = nullptr;
    fs::remove(setup->dir / "Kelvane.log");
    setup->log = std::make_unique<AppLogger>(Wide(setup->dir / "Kelvane.log").c_str());
    return 0;
}
