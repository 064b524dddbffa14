#include "tests/support/TempDir.h"

#include <cstdlib>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix)
{
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder like " + pattern);
    m_Path = pattern;
}

TempDir::~TempDir()
{
    // Give the owner back what tests took away, so that every file and folder can be removed.
    // Links are left alone: they may point outside the folder.
    std::error_code ignored;
    const auto owner = fs::perm_options::add | fs::perm_options::nofollow;
    fs::permissions(m_Path, fs::perms::owner_all, owner, ignored);
    for (auto it = fs::recursive_directory_iterator(m_Path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, owner, ignored);
    fs::remove_all(m_Path, ignored);
}
