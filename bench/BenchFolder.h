// The scratch folder each benchmark that writes files works in: a new folder under the one the
// user names, so that nothing of theirs is touched and a wrong name stops the run with one line.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

// A new folder `base`/`prefix`-XXXXXX, or nothing after saying on standard error that none could
// be made (the folder named does not exist, cannot be written or the disk is full).
inline std::optional<std::string> MakeBenchFolder(const std::string& base, const char* prefix)
{
    std::string folder = base + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(folder.data()))
        return folder;
    std::fprintf(stderr, "cannot make a folder under %s\n", base.c_str());
    return std::nullopt;
}
