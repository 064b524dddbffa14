// Writes the demo's game into a folder: Game/Models.pck (seeded entries, a texture and a skin model
// of three meshes), Data/PatchData.xml with two instructions, the texture that replaces the game's
// as it is, and Data/hero.xscene, a scene of one triangle mesh from which the patch rebuilds the
// skin model's middle mesh. Prints the two instructed entries' sizes before and after a patch.
//   demo_game FOLDER [--seed S] [--entries N]
#include "tests/support/DemoGame.h"

#include "Components/XException.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc % 2 != 0)
    {
        std::fprintf(stderr, "usage: demo_game FOLDER [--seed S] [--entries N]\n");
        return 2;
    }
    uint64_t seed = 7;
    uint32_t entries = 300;
    for (int i = 2; i < argc; i += 2)
    {
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(argv[i + 1], &end, 10);
        const bool number = end != argv[i + 1] && !*end && argv[i + 1][0] != '-' && errno != ERANGE;
        const bool isSeed = !std::strcmp(argv[i], "--seed");
        const bool isEntries = !std::strcmp(argv[i], "--entries");
        if (!isSeed && !isEntries)
        {
            std::fprintf(stderr, "demo_game: unknown option %s\n", argv[i]);
            return 2;
        }
        if (!number || (isEntries && (value < 1 || value > 100000)))
        {
            std::fprintf(stderr, "demo_game: %s takes %s, not '%s'\n", argv[i],
                         isSeed ? "a whole number" : "a number from 1 to 100000", argv[i + 1]);
            return 2;
        }
        if (isSeed)
            seed = value;
        else
            entries = static_cast<uint32_t>(value);
    }
    try
    {
        const DemoGame game = MakeDemoGame(argv[1], seed, false, {}, entries, 16384);
        std::printf("wrote %s: Game/Models.pck (%zu entries, %zu bytes), Data/PatchData.xml and the models\n",
                    argv[1], game.Original.size(), game.ArchiveBytes.size());
        for (const auto& [name, bytes] : game.Replaced)
        {
            std::string how = "replaced by Data/hero.dds";
            if (name == kSkinEntry)
                how = "mesh " + std::to_string(kSkinMeshIndex) + " rebuilt from Data/hero.xscene";
            std::printf("%s: %zu bytes in the game, %zu after a patch (%s)\n", name.c_str(),
                        game.Original.at(name).size(), bytes.size(), how.c_str());
        }
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "demo_game: %s\n", e.what());
        return 1;
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "demo_game: %s\n", e.Message().ToUtf8().c_str());
        return 1;
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "demo_game: %s\n", text);
        return 1;
    }
    return 0;
}
