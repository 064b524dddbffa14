// Prints every entry of an archive in list order: name, original size, stored size, offset.
//   pck_list IN
#include "PW/Common/PwPackage.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: pck_list IN\n");
        return 2;
    }
    try
    {
        PwPackage package;
        package.Open(Platform::FromUtf8(argv[1]).c_str());
        for (uint32_t i = 0; i < package.Entries.GetCount(); ++i)
        {
            const PwEntry* e = package.Entries[i];
            std::printf("%s\t%u\t%u\t%u\n", Platform::ToUtf8(e->Name.c_str()).c_str(), e->OriginalSize,
                        e->StoredSize, e->Offset);
        }
        std::printf("%u entries\n", package.Entries.GetCount());
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "pck_list: %s\n", e.Message().ToUtf8().c_str());
        return 1;
    }
    catch (const char* text)
    {
        std::fprintf(stderr, "pck_list: %s\n", text);
        return 1;
    }
    return 0;
}
