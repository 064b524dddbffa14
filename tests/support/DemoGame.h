// A small game for the program to patch: a seeded Models.pck under Game/, the instructions in
// Data/PatchData.xml and the models under Data/: a texture taken from disk as it is, and a scene
// with one triangle mesh (Data/hero.xscene) from which the patch rebuilds the middle mesh of the
// game's skin model, its bones through the game's bone map. The program and its modules may stand
// beside it. Optionally a second skin model that the patch rebuilds from the same scene while the
// game's own file is damaged: the rewrite refuses it with its box and the entry keeps the game's
// bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct DemoGame
{
    std::filesystem::path Root;    // the program's folder
    std::filesystem::path Archive; // Root/Game/Models.pck
    // Instructed entry name -> the bytes it must hold after a patch.
    std::map<std::string, std::vector<uint8_t>> Replaced;
    // Every entry of the untouched archive with its bytes.
    std::map<std::string, std::vector<uint8_t>> Original;
    std::vector<uint8_t> ArchiveBytes;
};

constexpr const char* kSkinEntry = "models\\hero\\Body.SKI";
constexpr int kSkinMeshIndex = 1; // of the skin model's three meshes
constexpr const char* kBrokenSkinEntry = "models\\hero\\Armor.ski";

// Writes the game under `root` (which must exist): `entries` seeded entries of up to `maxSize`
// bytes besides the instructed ones. With `withProgram` the program file `program` and the shared
// modules beside it (lib*.so) are copied into `root`. With `brokenSkinModel` the archive also holds
// kBrokenSkinEntry, a skin model with a non-zero unk_zero[7], instructed to be rebuilt from the scene
// model: its Replaced bytes are its game bytes.
DemoGame MakeDemoGame(const std::filesystem::path& root, uint64_t seed = 1, bool withProgram = false,
                      const std::filesystem::path& program = {}, uint32_t entries = 200,
                      uint32_t maxSize = 4096, bool brokenSkinModel = false);

// What is wrong with a patched archive (empty when nothing): every instructed entry holds its
// Replaced bytes (the texture's file, the skin model with its middle mesh rebuilt from the scene)
// and keeps the original under its ".original" name, every other entry is untouched.
std::string CheckPatched(const DemoGame& game, const std::filesystem::path& archive);
