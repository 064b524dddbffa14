#include "tests/support/DemoGame.h"

#include "Components/Cx/CxXml.h"
#include "Components/XMemoryStream.h"
#include "Engine/Geometry/XTriMesh.h"
#include "Engine/Scene/XScene.h"
#include "PW/Common/PwPackage.h"
#include "tests/support/PckGenerator.h"
#include "tests/support/SceneModel.h"
#include "tests/support/SkiGenerator.h"
#include "tests/support/StreamBytes.h"
#include "tests/support/Utf16Text.h"
#include "tests/support/WholeFile.h"

#include <array>

namespace fs = std::filesystem;

namespace
{
// The texture, replaced by the file as it is.
constexpr const char* kTextureEntry = "textures\\hero\\hero.dds";
constexpr const char* kTextureFile = "hero.dds";
constexpr uint32_t kTextureSize = 3000;
constexpr const char* kSceneFile = "hero.xscene";
// A full tube: 24 rings of 24 vertices, every vertex on a face.
constexpr uint32_t kSceneVertices = 576;

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

// The game's fixed bone numbers for a scene's: 0-6 stay, 7-9 become 0, 10-34 become 7-31, the
// rest 0.
std::array<uint8_t, 256> GameBoneMap()
{
    std::array<uint8_t, 256> map{};
    for (int b = 0; b < 256; ++b)
        map[b] = static_cast<uint8_t>(b < 7 ? b : b < 10 ? 0 : b < 35 ? b - 3 : 0);
    return map;
}

void Instruct(CxXml::XmlDocument& instructions, const char* entry, int meshIndex, bool boneMap, const char* model)
{
    CxXml::XmlNode* node = instructions.AddNode(u"Entry");
    node->AddAttribute(u"MeshIndex", XString(Widen(std::to_string(meshIndex)).c_str()));
    node->AddAttribute(u"UseBoneMap", XString(boneMap ? u"true" : u"false"));
    node->AddAttribute(u"FileName", XString(Widen(entry).c_str()));
    node->AddAttribute(u"ModelName", XString(Widen(model).c_str()));
}

PckGen::Entry EntryOf(const char* name, std::vector<uint8_t> content)
{
    PckGen::Entry entry;
    entry.Name936 = name;
    entry.NameWide = Widen(name);
    entry.Size = static_cast<uint32_t>(content.size());
    entry.Content = std::move(content);
    return entry;
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
    auto add = [&](PckGen::Entry entry)
    { entries.insert(entries.begin() + static_cast<long>(entries.size() / 2), std::move(entry)); };
    CxXml::XmlDocument instructions;
    instructions.SetName(u"PatchData");

    // The texture: seeded bytes in the game, others from disk.
    add(EntryOf(kTextureEntry, Seeded(kTextureSize, seed * 100)));
    game.Replaced[kTextureEntry] = Seeded(kTextureSize + 777, seed * 100 + 1);
    WriteWholeFile(root / "Data" / kTextureFile, game.Replaced[kTextureEntry]);
    Instruct(instructions, kTextureEntry, 0, false, kTextureFile);

    // The skin model of three meshes and the scene's mesh that takes the place of the middle one.
    const SkiGen::Model skin = SkiGen::MakeModel(
        {.Seed = seed, .MinMeshes = 3, .MaxMeshes = 3, .MinVertices = 100, .MaxVertices = 400});
    const SkiGen::Mesh sceneMesh = SkiGen::MakeMesh(seed * 100 + 2, kSceneVertices, 35, "Body");
    {
        XScene scene(nullptr);
        auto* mesh = static_cast<XTriMesh*>(scene.CreateObject(u"XTriMesh", nullptr, nullptr));
        *mesh->GetMesh() = *EngineMesh(sceneMesh);
        mesh->GetMesh()->Invalidate();
        scene.CreateNode(mesh, nullptr, u"Body");
        scene.SaveToFile(XString(WidePath(root / "Data" / kSceneFile).c_str()));
    }
    add(EntryOf(kSkinEntry, SkiGen::Write(skin).Bytes));
    game.Replaced[kSkinEntry] =
        SkiGen::WithMeshReplaced(skin, kSkinMeshIndex, sceneMesh, GameBoneMap().data());
    Instruct(instructions, kSkinEntry, kSkinMeshIndex, true, kSceneFile);

    if (brokenSkinModel)
    {
        // A good skin model but for one byte of its header: the rewrite refuses it and the patch
        // keeps the game's bytes under both names.
        SkiGen::Model model = SkiGen::MakeModel({.Seed = seed, .MaxMeshes = 2, .MaxVertices = 200});
        model.UnkZero[7] = 1;
        game.Replaced[kBrokenSkinEntry] = SkiGen::Write(model).Bytes;
        add(EntryOf(kBrokenSkinEntry, game.Replaced[kBrokenSkinEntry]));
        Instruct(instructions, kBrokenSkinEntry, 0, false, kSceneFile);
    }
    instructions.SaveToFile(WidePath(root / "Data" / "PatchData.xml").c_str());

    PckGen::MemorySink sink;
    PckGen::WriteArchive(entries, {}, sink);
    game.ArchiveBytes = std::move(sink.Bytes);
    WriteWholeFile(game.Archive, game.ArchiveBytes);
    for (const PckGen::Entry& entry : entries)
        game.Original[entry.Name936] = PckGen::EntryData(entry);

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
