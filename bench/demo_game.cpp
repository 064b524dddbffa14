// Writes the demo's game into a folder: Game/Models.pck (seeded entries, a texture and a skin model
// of three meshes), Data/PatchData.xml with two instructions, the texture that replaces the game's
// as it is, and Data/hero.xscene, a scene of one triangle mesh from which the patch rebuilds the
// skin model's middle mesh. Prints the two instructed entries' sizes before and after a patch.
//   demo_game FOLDER [--seed S] [--entries N]
#include "tests/support/DemoGame.h"

#include "Components/XException.h"
#include "tests/hosts/HostArguments.h"

#include <climits>
#include <cstdio>
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
        if (!std::strcmp(argv[i], "--seed"))
            seed = static_cast<uint64_t>(NumberArgument("demo_game", argc, argv, i + 1, 0, 0, INT_MAX));
        else if (!std::strcmp(argv[i], "--entries"))
            entries = static_cast<uint32_t>(NumberArgument("demo_game", argc, argv, i + 1, 0, 1, 100000));
        else
        {
            std::fprintf(stderr, "demo_game: unknown option %s\n", argv[i]);
            return 2;
        }
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
