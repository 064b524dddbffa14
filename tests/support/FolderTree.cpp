#include "tests/support/FolderTree.h"

#include "tests/support/WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace
{
std::vector<std::string> NamesIn(int folder)
{
    std::vector<std::string> names;
    int own = dup(folder);
    DIR* dir = own >= 0 ? fdopendir(own) : nullptr;
    if (!dir)
    {
        if (own >= 0)
            close(own);
        return names;
    }
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
            names.push_back(entry->d_name);
    closedir(dir);
    return names;
}

// Walks the folders below `folder`, no deeper than `limit`; with `remove`, takes every entry away
// after its own walk.
int Walk(int folder, int limit, bool remove)
{
    int deepest = 0;
    for (const std::string& name : NamesIn(folder))
    {
        int child = limit > 0 ? openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (child >= 0)
        {
            deepest = std::max(deepest, 1 + Walk(child, limit - 1, remove));
            close(child);
        }
        if (remove)
            unlinkat(folder, name.c_str(), child >= 0 ? AT_REMOVEDIR : 0);
    }
    return deepest;
}

int WalkFrom(const fs::path& top, bool remove)
{
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int depth = Walk(fd, 2000, remove);
    close(fd);
    return depth;
}
} // namespace

std::map<std::string, std::string> FolderContents(const fs::path& top)
{
    std::map<std::string, std::string> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(top, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
    {
        std::string name = it->path().lexically_relative(top).string();
        if (it->is_symlink())
            found[name] = "link -> " + fs::read_symlink(it->path()).string();
        else
            found[name] = it->is_directory() ? "dir" : ReadWholeFile(it->path());
    }
    if (error)
        found["<unreadable>"] = error.message();
    return found;
}

int FolderDepth(const fs::path& top)
{
    return WalkFrom(top, false);
}

void EmptyFolderDeep(const fs::path& top)
{
    WalkFrom(top, true);
}
