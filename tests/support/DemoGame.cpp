#include "tests/support/DemoGame.h"

#include "Components/Cx/CxXml.h"
#include "Components/XMemoryStream.h"
#include "Engine/Scene/XScene.h"
#include "PW/Common/PwPackage.h"
#include "tests/support/PckGenerator.h"
#include "tests/support/SceneModel.h"
#include "tests/support/SkiGenerator.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <cstring>

namespace fs = std::filesystem;

namespace
{
struct Model
{
    const char* Entry;
    const char* File;
    uint32_t Size;
};
const Model kModels[] = {
    {"textures\\hero\\hero.dds", "hero.dds", 3000},
    {"models\\hero\\Body.SKI", "hero_body.ski", 5000},
};

std::vector<uint8_t> Seeded(size_t size, uint64_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& b : bytes)
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        b = static_cast<uint8_t>(state);
    }
    return bytes;
}

std::string Kept(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    std::string ext = name.substr(dot);
    for (auto& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name.substr(0, dot) + ".original" + ext;
}
} // namespace

DemoGame MakeDemoGame(const fs::path& root, uint64_t seed, bool withProgram, const fs::path& program,
                      uint32_t count, uint32_t maxSize, bool brokenSkinModel)
{
    DemoGame game;
    game.Root = root;
    fs::create_directories(root / "Data");
    fs::create_directories(root / "Game");
    game.Archive = root / "Game" / "Models.pck";

    std::vector<PckGen::Entry> entries = PckGen::MakeEntries(
        {.Seed = seed, .Count = count, .MaxSize = maxSize, .ChineseNames = false, .CaseTwins = false});
    CxXml::XmlDocument instructions;
    instructions.SetName(u"PatchData");
    uint64_t modelSeed = seed * 100;
    for (const Model& model : kModels)
    {
        PckGen::Entry entry;
        entry.Name936 = model.Entry;
        entry.NameWide = Widen(model.Entry);
        entry.Size = model.Size;
        entry.DataSeed = ++modelSeed;
        entries.insert(entries.begin() + static_cast<long>(entries.size() / 2), entry);

        game.Replaced[model.Entry] = Seeded(model.Size + 777, modelSeed);
        WriteWholeFile(root / "Data" / model.File, game.Replaced[model.Entry]);
        CxXml::XmlNode* node = instructions.AddNode(u"Entry");
        node->AddAttribute(u"MeshIndex", XString(u"0"));
        node->AddAttribute(u"UseBoneMap", XString(u"false"));
        node->AddAttribute(u"FileName", XString(Widen(model.Entry).c_str()));
        node->AddAttribute(u"ModelName", XString(Widen(model.File).c_str()));
    }
    if (brokenSkinModel)
    {
        XScene scene(nullptr);
        AddModelMesh(scene, u"Armor", 120, static_cast<uint32_t>(seed));
        scene.SaveToFile(XString(WidePath(root / "Data" / "hero.xscene").c_str()));
        CxXml::XmlNode* node = instructions.AddNode(u"Entry");
        node->AddAttribute(u"MeshIndex", XString(u"0"));
        node->AddAttribute(u"UseBoneMap", XString(u"false"));
        node->AddAttribute(u"FileName", XString(Widen(kBrokenSkinEntry).c_str()));
        node->AddAttribute(u"ModelName", XString(u"hero.xscene"));
    }
    instructions.SaveToFile(WidePath(root / "Data" / "PatchData.xml").c_str());

    PckGen::MemorySink sink;
    PckGen::WriteArchive(entries, {}, sink);
    game.ArchiveBytes = std::move(sink.Bytes);
    WriteWholeFile(game.Archive, game.ArchiveBytes);
    for (const PckGen::Entry& entry : entries)
        game.Original[entry.Name936] = PckGen::EntryData(entry);

    if (brokenSkinModel)
    {
        // A good skin model but for one byte of its header: the rewrite refuses it and the patch
        // keeps the game's bytes under both names.
        SkiGen::Model model = SkiGen::MakeModel({.Seed = seed, .MaxMeshes = 2, .MaxVertices = 200});
        model.UnkZero[7] = 1;
        const std::vector<uint8_t> bytes = SkiGen::Write(model).Bytes;
        const fs::path generated = root / "Game" / "generated.pck";
        fs::rename(game.Archive, generated);
        PwPackage package;
        package.Open(WidePath(generated).c_str());
        auto* copy = new uint8_t[bytes.size()];
        std::memcpy(copy, bytes.data(), bytes.size());
        package.AddFromMemory(Widen(kBrokenSkinEntry).c_str(), copy, static_cast<uint32_t>(bytes.size()));
        package.Save(WidePath(game.Archive).c_str(), 1, "Kelvane test archive");
        package.Close();
        fs::remove(generated);
        game.ArchiveBytes = ReadWholeFileData(game.Archive);
        game.Original[kBrokenSkinEntry] = bytes;
        game.Replaced[kBrokenSkinEntry] = bytes;
    }

    if (withProgram)
    {
        fs::copy_file(program, root / program.filename(), fs::copy_options::overwrite_existing);
        for (const auto& item : fs::directory_iterator(program.parent_path()))
        {
            std::string name = item.path().filename().string();
            if (name.rfind("lib", 0) == 0 && item.path().extension() == ".so")
                fs::copy_file(item.path(), root / name, fs::copy_options::overwrite_existing);
        }
    }
    return game;
}

std::string CheckPatched(const DemoGame& game, const fs::path& archive)
{
    std::map<std::string, std::vector<uint8_t>> expected = game.Original;
    for (const auto& [name, bytes] : game.Replaced)
    {
        expected[Kept(name)] = expected[name];
        expected[name] = bytes;
    }
    try
    {
        PwPackage package;
        package.Open(WidePath(archive).c_str());
        std::string problems;
        if (package.Entries.GetCount() != expected.size())
            problems += "entry count " + std::to_string(package.Entries.GetCount()) + " instead of " +
                        std::to_string(expected.size()) + "; ";
        for (const auto& [name, bytes] : expected)
        {
            std::u16string wide = Widen(name);
            if (!package.Exists(wide.c_str()))
            {
                problems += "missing " + name + "; ";
                continue;
            }
            XMemoryStream stream(0, 8192);
            package.Extract(wide.c_str(), &stream);
            if (StreamBytes(stream) != bytes)
                problems += "wrong content of " + name + "; ";
        }
        return problems;
    }
    catch (...)
    {
        return "the archive does not open";
    }
}
