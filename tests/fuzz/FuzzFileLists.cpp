// Fuzz target: file lists from other programs. The first byte picks the reader: a text/uri-list
// (from the desktop's clipboard or a drop) or a CF_HDROP block. Whatever a reader keeps must be a
// well-formed list (names end with a NUL, the list with two; an uri-list keeps absolute names
// only), and what our writers make of it must read back as the same list.
#include "Platform/Shell/ShlObj.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
// Names of a double-NUL-ended list; aborts on a list that is not one.
size_t CheckList(const std::u16string& list, bool absolute)
{
    if (list.size() < 2 || list[list.size() - 1] != 0 || list[list.size() - 2] != 0)
        abort();
    size_t names = 0;
    for (size_t at = 0; at + 1 < list.size(); ++names)
    {
        size_t end = list.find(u'\0', at);
        if (end == at || end == std::u16string::npos)
            abort(); // an empty name inside the list
        if (absolute && list[at] != u'/')
            abort();
        at = end + 1;
    }
    return names;
}

void UriList(const uint8_t* data, size_t size)
{
    std::u16string list;
    if (!Platform::ParseUriList(std::string(reinterpret_cast<const char*>(data), size), list))
    {
        if (!list.empty())
            abort();
        return;
    }
    CheckList(list, true);
    std::u16string again;
    if (!Platform::ParseUriList(Platform::MakeUriList(list.c_str()), again) || again != list)
        abort();
}

void DropFiles(const uint8_t* data, size_t size)
{
    std::u16string list;
    if (!Platform::ReadDropFilesBlock(data, size, list))
    {
        if (!list.empty())
            abort();
        return;
    }
    if (list.size() < 2 || list[0] == 0 || list[list.size() - 1] != 0 || list[list.size() - 2] != 0)
        abort();
    // The block's own names up to the first empty one are the list our block carries.
    std::u16string names = list.substr(0, list.find(std::u16string(2, u'\0')) + 2);
    CheckList(names, false);
    std::string block = Platform::MakeDropFilesBlock(names);
    std::u16string again;
    if (!Platform::ReadDropFilesBlock(block.data(), block.size(), again) || again != names + u'\0' + u'\0')
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    if (data[0] % 2 == 0)
        UriList(data + 1, size - 1);
    else
        DropFiles(data + 1, size - 1);
    return 0;
}
